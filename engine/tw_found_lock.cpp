#include "engine/tw_found_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "engine/tw_fd.h"

namespace tw {

FoundLock::Result FoundLock::try_take(const std::string& found_dir, bool exclusive,
                                      std::string* why) {
    if (fd_ >= 0 && (exclusive_ || !exclusive)) return Result::Taken;
    release();
    const std::string path = found_dir + "/" + TW_FOUND_LOCK;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    // A reader without write permission on the folder still locks.
    int err = errno;
    if (fd < 0 && (err == EACCES || err == EROFS)) {
        fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        // No lock file, and none can be made: no writer can have taken
        // the folder either, so a reader goes on without a lock.
        if (fd < 0 && errno == ENOENT && !exclusive) return Result::Taken;
        if (fd < 0 && errno != ENOENT) err = errno;
    }
    if (fd < 0) {
        if (why != nullptr) *why = path + ": " + std::strerror(err);
        return Result::Failed;
    }
    const int rc =
        retry_on_eintr([&] { return ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB); });
    if (rc != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) return Result::Busy;
        if (why != nullptr) *why = path + ": " + std::strerror(err);
        return Result::Failed;
    }
    fd_ = fd;
    exclusive_ = exclusive;
    return Result::Taken;
}

void FoundLock::release() {
    if (fd_ < 0) return;
    ::close(fd_);  // closing the only descriptor releases the flock
    fd_ = -1;
    exclusive_ = false;
}

void FoundLock::pause() {
    const timespec delay{0, 50'000'000};
    ::nanosleep(&delay, nullptr);
}

}  // namespace tw
