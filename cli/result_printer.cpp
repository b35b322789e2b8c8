#include "cli/result_printer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

#include "engine/tw_le.h"

namespace tw::cli {

namespace {

using u64 = std::uint64_t;
using Status = PrintResult::Status;

constexpr std::size_t kWindow = std::size_t{1} << 20;
constexpr std::size_t kOutBuffer = std::size_t{1} << 20;
constexpr u64 kHeaderRecord = 48;

// An open result file.
class InputFile {
public:
    explicit InputFile(const std::string& path) : path_(path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st{};
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0) size_ = static_cast<u64>(st.st_size);
        else if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    ~InputFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool ok() const { return fd_ >= 0; }
    u64 size() const { return size_; }
    const std::string& path() const { return path_; }

    // The bytes [pos, pos + len), which the caller has checked lie inside
    // the file; nullptr when the read fails. The pointer stays valid until
    // the next call. Reads go through a window of at least 1 MiB, so
    // sequential requests cost one read per window.
    const std::uint8_t* get(u64 pos, std::size_t len) {
        if (pos >= start_ && pos - start_ + len <= filled_) return window_.data() + (pos - start_);
        const std::size_t want = static_cast<std::size_t>(
            std::min<u64>(std::max(len, kWindow), size_ - pos));
        if (window_.size() < want) window_.resize(want);
        std::size_t done = 0;
        while (done < want) {
            const ssize_t n = ::pread(fd_, window_.data() + done, want - done,
                                      static_cast<off_t>(pos + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        start_ = pos;
        filled_ = done;
        return done >= len ? window_.data() : nullptr;
    }

private:
    std::string path_;
    int fd_ = -1;
    u64 size_ = 0;
    std::vector<std::uint8_t> window_;
    u64 start_ = 0;
    std::size_t filled_ = 0;
};

// Output lines gathered in a large buffer and written in few system calls.
class Output {
public:
    explicit Output(int fd) : fd_(fd), buffer_(kOutBuffer) {}

    // Room for `n` more bytes; false when a flush failed.
    bool reserve(std::size_t n) {
        if (used_ + n <= buffer_.size()) return true;
        if (!flush()) return false;
        if (n > buffer_.size()) buffer_.resize(n);
        return true;
    }
    void put(const char* data, std::size_t n) {
        std::memcpy(buffer_.data() + used_, data, n);
        used_ += n;
    }
    void put(char c) { buffer_[used_++] = c; }
    void put_number(u64 v) {
        const auto r = std::to_chars(buffer_.data() + used_, buffer_.data() + used_ + 20, v);
        used_ = static_cast<std::size_t>(r.ptr - buffer_.data());
    }
    bool flush() {
        std::size_t done = 0;
        while (done < used_) {
            const ssize_t n = ::write(fd_, buffer_.data() + done, used_ - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = n < 0 ? errno : EIO;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        used_ = 0;
        return true;
    }
    int error() const { return error_; }

private:
    int fd_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    int error_ = 0;
};

// Reads a NUL-terminated name of `len` bytes (NUL included) at `pos`.
bool read_name(InputFile& paths, u64 pos, u64 len, std::string& out) {
    if (len == 0 || pos > paths.size() || len > paths.size() - pos) return false;
    const std::uint8_t* p = paths.get(pos, static_cast<std::size_t>(len));
    if (p == nullptr) return false;
    out.assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(len - 1));
    // A name holds no NUL of its own.
    return out.find('\0') == std::string::npos;
}

PrintResult fail(PrintResult r, Status status, std::string message) {
    r.status = status;
    r.message = std::move(message);
    return r;
}

}  // namespace

PrintResult print_results(const std::string& found_dir, bool with_lines, PrintMode mode,
                          int out_fd) {
    PrintResult result;
    InputFile headers(found_dir + "/TW_found_header");
    InputFile paths(found_dir + "/TW_found_path");
    InputFile offsets(found_dir + "/TW_found_offset");
    for (InputFile* f : {&headers, &paths, &offsets})
        if (!f->ok())
            return fail(result, Status::ReadFailed, "cannot read the result file " + f->path());

    const u64 record = with_lines ? 16 : 8;
    const u64 file_nb = headers.size() / kHeaderRecord;
    Output out(out_fd);
    std::string dir, name, prefix;

    for (u64 i = 0; i < file_nb; ++i) {
        const std::uint8_t* h = headers.get(i * kHeaderRecord, kHeaderRecord);
        if (h == nullptr)
            return fail(result, Status::ReadFailed, "cannot read " + headers.path());
        const u64 dir_pos = load_le64(h), dir_len = load_le64(h + 8);
        const u64 name_pos = load_le64(h + 16), name_len = load_le64(h + 24);
        const u64 occ_nb = load_le64(h + 32), occ_pos = load_le64(h + 40);
        if (!read_name(paths, dir_pos, dir_len, dir) || !read_name(paths, name_pos, name_len, name))
            return fail(result, Status::Corrupt, "the result files are damaged: " + paths.path());
        if (occ_pos > offsets.size() || occ_nb > (offsets.size() - occ_pos) / record)
            return fail(result, Status::Corrupt, "the result files are damaged: " + offsets.path());

        prefix.assign(dir);
        // A file right under "/" has an empty folder part.
        if (prefix.empty() || prefix.back() != '/') prefix.push_back('/');
        prefix += name;
        prefix.push_back('\t');
        ++result.files;
        result.occurrences += occ_nb;

        if (mode == PrintMode::Counts) {
            if (!out.reserve(prefix.size() + 21)) break;
            out.put(prefix.data(), prefix.size());
            out.put_number(occ_nb);
            out.put('\n');
            continue;
        }
        // One line is at most the prefix, two numbers of 20 digits and
        // their separators.
        const std::size_t line_max = prefix.size() + 43;
        const u64 per_chunk = kWindow / record;
        bool write_failed = false;
        for (u64 done = 0; done < occ_nb && !write_failed;) {
            const u64 n = std::min(per_chunk, occ_nb - done);
            const std::uint8_t* p =
                offsets.get(occ_pos + done * record, static_cast<std::size_t>(n * record));
            if (p == nullptr)
                return fail(result, Status::ReadFailed, "cannot read " + offsets.path());
            for (u64 k = 0; k < n; ++k, p += record) {
                if (!out.reserve(line_max)) {
                    write_failed = true;
                    break;
                }
                out.put(prefix.data(), prefix.size());
                out.put_number(load_le64(p));
                if (mode == PrintMode::OffsetLines) {
                    out.put('\t');
                    out.put_number(load_le64(p + 8) + 1);
                }
                out.put('\n');
            }
            done += n;
        }
        if (write_failed) break;
    }
    if (out.error() == 0) out.flush();
    if (out.error() == EPIPE) return fail(result, Status::BrokenPipe, "");
    if (out.error() != 0)
        return fail(result, Status::WriteFailed,
                    std::string("cannot write the output: ") + std::strerror(out.error()));
    return result;
}

}  // namespace tw::cli
