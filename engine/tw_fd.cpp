#include "engine/tw_fd.h"

#include <fcntl.h>

#include <utility>

namespace tw {

namespace {

// The one read loop: pread from `offset` when `positioned`, else read.
std::size_t read_loop(int fd, void* buf, std::size_t n, bool positioned, off_t offset, int* err) {
    auto* bytes = static_cast<char*>(buf);
    std::size_t done = 0;
    *err = 0;
    while (done < n) {
        const ssize_t got =
            positioned ? ::pread(fd, bytes + done, n - done, offset + static_cast<off_t>(done))
                       : ::read(fd, bytes + done, n - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) *err = errno;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace

int open_nonblocking_at(int dir_fd, const char* name, int access) {
    return ::openat(dir_fd, name, access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

void set_blocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK); }

int open_regular_at(int dir_fd, const char* name, int* err, struct stat* st) {
    struct stat status{};
    UniqueFd fd(open_nonblocking_at(dir_fd, name, O_RDONLY));
    int e = 0;
    if (!fd || ::fstat(fd.get(), &status) != 0) e = errno;
    else if (!S_ISREG(status.st_mode)) e = EINVAL;
    if (st != nullptr) *st = status;
    if (e != 0) {
        if (err != nullptr) *err = e;
        return -1;
    }
    return fd.release();
}

UniqueFd take_or_open_regular(OpenedFile* opened, int dir_fd, const char* name, int* err,
                              struct stat* st) {
    if (opened == nullptr) return UniqueFd(open_regular_at(dir_fd, name, err, st));
    *st = opened->st;
    *err = opened->err;
    return std::move(opened->fd);
}

int create_regular(const char* path, int* err) {
    UniqueFd fd(::open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644));
    struct stat st{};
    int e = 0;
    if (!fd || ::fstat(fd.get(), &st) != 0) e = errno;
    else if (!S_ISREG(st.st_mode)) e = EINVAL;
    // Emptied only once it is known to be a regular file of its own.
    else if (::ftruncate(fd.get(), 0) != 0) e = errno;
    if (e != 0) {
        *err = e;
        return -1;
    }
    set_blocking(fd.get());
    return fd.release();
}

std::size_t pread_full(int fd, void* buf, std::size_t n, off_t offset, int* err) {
    return read_loop(fd, buf, n, true, offset, err);
}

std::size_t read_full(int fd, void* buf, std::size_t n, int* err) {
    return read_loop(fd, buf, n, false, 0, err);
}

std::size_t write_full(int fd, const void* data, std::size_t n, int* err) {
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    *err = 0;
    while (done < n) {
        const ssize_t put = ::write(fd, bytes + done, n - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            *err = put < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    return done;
}

}  // namespace tw
