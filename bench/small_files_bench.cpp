// Whether io_uring opens and reads a tree of small files for less than the
// system calls the search makes. Each iteration takes every regular file of
// the tree, in the walk's order, relative to its folder's descriptor (as the
// search does), reads its first 64 KiB buffer, looks through it for a byte
// (a stand-in for the scan) and closes it; a file longer than one buffer is
// read on by plain calls in every variant.
//   syscalls_fstat   openat, fstat, pread, close: the search's calls
//   syscalls         openat, read until a short read, close
//   io_uring/N       per batch of N files, one submission of N linked
//                    chains of openat into a direct descriptor, read, close
// The tree is $TRAWLEX_BENCH_TREE (default /usr/include), read once before.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <liburing.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBuffer = std::size_t{64} << 10;
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;

struct Entry {
    int dir_fd;
    std::string name;
};

// The tree's folders, each held open, and its regular files.
struct Tree {
    std::vector<int> dir_fds;
    std::vector<Entry> files;
    ~Tree() {
        for (int fd : dir_fds) ::close(fd);
    }
};

const Tree& tree() {
    static const Tree* t = [] {
        auto* made = new Tree;
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        const char* env = std::getenv("TRAWLEX_BENCH_TREE");
        const std::string root = env != nullptr ? env : "/usr/include";
        std::vector<std::string> dirs{root};
        for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied);
             it != fs::recursive_directory_iterator(); ++it) {
            if (it->is_directory() && !it->is_symlink()) dirs.push_back(it->path().string());
        }
        for (const std::string& d : dirs) {
            const int fd = ::open(d.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) continue;
            made->dir_fds.push_back(fd);
            for (const auto& e : fs::directory_iterator(d, fs::directory_options::skip_permission_denied))
                if (e.is_regular_file() && !e.is_symlink())
                    made->files.push_back({fd, e.path().filename().string()});
        }
        return made;
    }();
    return *t;
}

// The stand-in for the scan: the count of one byte in the text.
std::size_t look_through(const char* text, std::size_t n) {
    std::size_t found = 0;
    for (const char* p = text; (p = static_cast<const char*>(std::memchr(p, 1, n - (p - text)))) != nullptr;
         ++p)
        ++found;
    return found;
}

// Reads the rest of a file whose first buffer came back full.
std::size_t read_on(const Entry& e, char* buffer) {
    const int fd = ::openat(e.dir_fd, e.name.c_str(), kOpenFlags);
    if (fd < 0) return 0;
    std::size_t found = 0;
    for (off_t pos = kBuffer;;) {
        const ssize_t n = ::pread(fd, buffer, kBuffer, pos);
        if (n <= 0) break;
        found += look_through(buffer, static_cast<std::size_t>(n));
        if (static_cast<std::size_t>(n) < kBuffer) break;
        pos += n;
    }
    ::close(fd);
    return found;
}

void by_syscalls(benchmark::State& state, bool with_fstat) {
    const Tree& t = tree();
    std::unique_ptr<char[]> buffer(new char[kBuffer]);
    for (auto _ : state) {
        std::size_t found = 0;
        for (const Entry& e : t.files) {
            const int fd = ::openat(e.dir_fd, e.name.c_str(), kOpenFlags);
            if (fd < 0) continue;
            struct stat st{};
            if (with_fstat && ::fstat(fd, &st) != 0) {
                ::close(fd);
                continue;
            }
            for (off_t pos = 0;;) {
                const ssize_t n = ::pread(fd, buffer.get(), kBuffer, pos);
                if (n <= 0) break;
                found += look_through(buffer.get(), static_cast<std::size_t>(n));
                pos += n;
                if (static_cast<std::size_t>(n) < kBuffer || (with_fstat && pos >= st.st_size)) break;
            }
            ::close(fd);
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(t.files.size() * state.iterations()));
}

void by_io_uring(benchmark::State& state) {
    const Tree& t = tree();
    const auto batch = static_cast<unsigned>(state.range(0));
    io_uring ring{};
    if (io_uring_queue_init(batch * 3, &ring, 0) != 0) {
        state.SkipWithError("io_uring_queue_init failed");
        return;
    }
    if (io_uring_register_files_sparse(&ring, batch) != 0) {
        io_uring_queue_exit(&ring);
        state.SkipWithError("no direct descriptors");
        return;
    }
    std::unique_ptr<char[]> buffers(new char[kBuffer * batch]);
    std::vector<int> got(batch);
    std::size_t failed = 0;
    for (auto _ : state) {
        std::size_t found = 0;
        for (std::size_t first = 0; first < t.files.size(); first += batch) {
            const unsigned n = static_cast<unsigned>(std::min<std::size_t>(batch, t.files.size() - first));
            for (unsigned i = 0; i < n; ++i) {
                const Entry& e = t.files[first + i];
                io_uring_sqe* open = io_uring_get_sqe(&ring);
                // A direct descriptor is never inherited: O_CLOEXEC is refused.
                io_uring_prep_openat_direct(open, e.dir_fd, e.name.c_str(), kOpenFlags & ~O_CLOEXEC, 0, i);
                open->flags |= IOSQE_IO_LINK;
                open->user_data = 0;
                io_uring_sqe* read = io_uring_get_sqe(&ring);
                io_uring_prep_read(read, static_cast<int>(i), buffers.get() + i * kBuffer, kBuffer, 0);
                read->flags |= IOSQE_FIXED_FILE | IOSQE_IO_LINK;
                read->user_data = i + 1;
                io_uring_sqe* close = io_uring_get_sqe(&ring);
                // The slot is freed even when the read failed.
                io_uring_prep_close_direct(close, i);
                close->user_data = 0;
                got[i] = -1;
            }
            io_uring_submit_and_wait(&ring, n * 3);
            io_uring_cqe* cqe = nullptr;
            unsigned head = 0, seen = 0;
            io_uring_for_each_cqe(&ring, head, cqe) {
                if (cqe->user_data != 0) got[cqe->user_data - 1] = cqe->res;
                ++seen;
            }
            io_uring_cq_advance(&ring, seen);
            for (unsigned i = 0; i < n; ++i) {
                if (got[i] <= 0) {
                    ++failed;
                    continue;
                }
                const auto bytes = static_cast<std::size_t>(got[i]);
                found += look_through(buffers.get() + i * kBuffer, bytes);
                if (bytes == kBuffer) found += read_on(t.files[first + i], buffers.get() + i * kBuffer);
            }
        }
        benchmark::DoNotOptimize(found);
    }
    io_uring_queue_exit(&ring);
    // Empty files read 0 bytes in every variant; anything else is a fault.
    state.counters["unread"] = static_cast<double>(failed) / static_cast<double>(state.iterations());
    state.SetItemsProcessed(static_cast<std::int64_t>(t.files.size() * state.iterations()));
}

}  // namespace

BENCHMARK_CAPTURE(by_syscalls, syscalls_fstat, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(by_syscalls, syscalls, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(by_io_uring)->Arg(8)->Arg(32)->Arg(128)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
