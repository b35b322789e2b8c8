// Temporary folders and small file helpers for the engine tests.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tw_test {

// Sanitizer and coverage builds pay many times over for every memory access
// and system call: there the largest cases run over smaller inputs that
// still cross the same buffer edges (the normal build keeps the full sizes).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(TRAWLEX_COVERAGE_BUILD)
inline constexpr bool kInstrumentedBuild = true;
#else
inline constexpr bool kInstrumentedBuild = false;
#endif

}  // namespace tw_test

namespace tw_test {

using Bytes = std::vector<std::uint8_t>;

// Removes a tree and everything in it; links are removed, never followed.
inline void remove_tree(const std::string& root) {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
    // Under `base` (a memory file system such as /dev/shm makes trees of
    // many folders quick to build), /tmp when it is not a writable folder.
    explicit TempDir(const std::string& base = "/tmp") {
        const std::string root = ::access(base.c_str(), W_OK | X_OK) == 0 ? base : "/tmp";
        std::string pattern = root + "/trawlex-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        // Readable by everybody, so a test that drops to another user can
        // still reach what it is meant to reach.
        ::chmod(path_.c_str(), 0755);
    }
    ~TempDir() { remove_tree(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline void write_file(const std::string& path, const std::string& text) {
    write_file(path, Bytes(text.begin(), text.end()));
}

inline Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string slurp(const std::string& path) {
    const Bytes b = read_file(path);
    return std::string(b.begin(), b.end());
}

// Waits until `done` holds, for at most `seconds`; false on time-out.
template <typename Done>
bool wait_for(Done done, int seconds = 30) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Writes `text` to the FIFO `path` from another thread, in pieces of
// `chunk` bytes so that the reader's pieces end anywhere.
inline std::thread write_fifo(const std::string& path, const std::string& text, std::size_t chunk = 7919) {
    return std::thread([path, &text, chunk] {
        const int fd = ::open(path.c_str(), O_WRONLY);
        for (std::size_t at = 0; fd >= 0 && at < text.size();) {
            const ssize_t n = ::write(fd, text.data() + at, std::min(chunk, text.size() - at));
            if (n <= 0) break;
            at += static_cast<std::size_t>(n);
        }
        ::close(fd);
    });
}

inline void append_le64(Bytes& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void append_text(Bytes& out, const std::string& text, bool with_nul) {
    out.insert(out.end(), text.begin(), text.end());
    if (with_nul) out.push_back(0);
}

// Runs `body` in a forked child that has dropped to the unprivileged user
// 65534, so permission checks apply (the tests run as root). Returns the
// child's exit status, or -1 when it did not exit normally.
inline int run_as_nobody(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)
            ::_exit(250);
        ::_exit(body());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace tw_test
