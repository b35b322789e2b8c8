// File descriptors: an owner that closes its descriptor, the one way the
// engine opens a file it reads without blocking, and read and write loops
// that ride over interrupted system calls.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace tw {

// Owns one descriptor (or none, -1) and closes it when destroyed.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the descriptor held, ignoring the outcome, and takes `fd`.
    void reset(int fd = -1) {
        if (fd_ >= 0 && fd_ != fd) ::close(fd_);
        fd_ = fd;
    }
    // Closes the descriptor where the caller reports a failed close: 0, or
    // the errno of the failed close. The descriptor is gone either way
    // (Linux frees it even when close fails), so it is never closed twice.
    int close() {
        if (fd_ < 0) return 0;
        const int rc = ::close(release());
        return rc == 0 ? 0 : errno;
    }

private:
    int fd_ = -1;
};

// Opens `name` (relative to the folder `dir_fd`, or to the current folder
// with AT_FDCWD; an absolute name ignores it) with `access` (O_RDONLY,
// O_WRONLY) and without blocking: a FIFO without a peer or a device that
// waits for a carrier does not hang the caller. Close-on-exec, never the
// controlling terminal. -1 with errno on failure.
int open_nonblocking_at(int dir_fd, const char* name, int access);

// Makes a descriptor opened without blocking blocking again.
void set_blocking(int fd);

// Opens the regular file `name` for reading as open_nonblocking_at does and
// refuses anything else: -1 with *err set to the open's or the status
// query's errno, or to EINVAL for an entry that is not a regular file (a
// FIFO, a device, a folder). When the status was read it is stored in *st
// (also for a refused entry). The descriptor is left non-blocking, which
// reads of a regular file ignore.
int open_regular_at(int dir_fd, const char* name, int* err, struct stat* st = nullptr);

// A regular file opened (or refused) by open_regular_at ahead of its scan:
// the walk opens the first file it reaches in a folder itself, which tells
// whether the folder can be entered.
struct OpenedFile {
    UniqueFd fd;
    struct stat st{};
    int err = 0;  // when fd holds nothing
};

// The file the walk opened ahead (`opened`, taken from it), or else `name`
// in `dir_fd` opened now by open_regular_at; *err and *st as it sets them.
UniqueFd take_or_open_regular(OpenedFile* opened, int dir_fd, const char* name, int* err,
                              struct stat* st);

// Creates or empties the regular file `path` for writing, never through a
// symbolic link (O_NOFOLLOW) and without blocking on a FIFO or a device put
// in its place; anything but a regular file is refused (ELOOP for a link,
// EINVAL otherwise) and left as it was. -1 with *err set on failure.
int create_regular(const char* path, int* err);

// Reads up to n bytes at `offset` (pread_full) or at the file position
// (read_full), again after a read cut short by a signal, until n bytes
// came or the end of the file. Returns the count read; *err is 0, or the
// errno of the read that failed (the count then holds the bytes read
// before it).
std::size_t pread_full(int fd, void* buf, std::size_t n, off_t offset, int* err);
std::size_t read_full(int fd, void* buf, std::size_t n, int* err);

// Writes n bytes, again after a signal and after a short write. Returns the
// count written; *err is 0, the errno of the write that failed, or EIO when
// a write made no progress.
std::size_t write_full(int fd, const void* data, std::size_t n, int* err);

// Calls `call` again while a signal interrupts it; its last result.
template <class Call>
auto retry_on_eintr(Call call) {
    decltype(call()) rc;
    do rc = call();
    while (rc < 0 && errno == EINTR);
    return rc;
}

}  // namespace tw
