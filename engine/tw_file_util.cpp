#include "engine/tw_file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tw {

namespace {

// The process's file-creation mask, read without changing it (umask() can
// only be read by setting it, which would race with other threads).
mode_t current_umask() {
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[128];
        unsigned mask = 022;
        while (std::fgets(line, sizeof line, f) != nullptr)
            if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
        std::fclose(f);
        return static_cast<mode_t>(mask);
    }
    return 022;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string joined(const char* dir, const char* name) {
    std::string path = dir;
    if (path.empty() || path.back() != '/') path.push_back('/');
    return path + name;
}

}  // namespace

int open_folder_by_parts(const char* dir) {
    int fd = ::open(dir[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    const char* p = dir;
    std::string part;
    while (*p != '\0') {
        while (*p == '/') ++p;
        const char* end = std::strchr(p, '/');
        if (end == nullptr) end = p + std::strlen(p);
        if (end == p) break;
        part.assign(p, static_cast<std::size_t>(end - p));
        p = end;
        const int next = ::openat(fd, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int err = errno;
        ::close(fd);
        if (next < 0) {
            errno = err;
            return -1;
        }
        fd = next;
    }
    return fd;
}

bool is_directory(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool write_all(std::FILE* stream, const void* data, std::size_t n) {
    return n == 0 || std::fwrite(data, 1, n, stream) == n;
}

bool read_all(std::FILE* stream, void* data, std::size_t n) {
    return n == 0 || std::fread(data, 1, n, stream) == n;
}

std::string describe_failure(const std::string& path, int err) {
    return path + ": " + std::strerror(err);
}

bool make_folder(const std::string& path, int* err) {
    if (::mkdir(path.c_str(), 0755) == 0) return true;
    const int e = errno;
    // EEXIST also when a concurrent creator was first: fine if a folder.
    if (is_directory(path)) return true;
    if (err != nullptr) *err = e == EEXIST ? ENOTDIR : e;
    return false;
}

std::FILE* open_regular_stream(const std::string& path, int* err) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st{};
    int e = 0;
    if (fd < 0 || ::fstat(fd, &st) != 0) e = errno;
    else if (!S_ISREG(st.st_mode)) e = EINVAL;
    std::FILE* stream = nullptr;
    if (e == 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        stream = ::fdopen(fd, "rb");
        if (stream == nullptr) e = errno;
    }
    if (stream == nullptr) {
        if (fd >= 0) ::close(fd);
        if (err != nullptr) *err = e;
    }
    return stream;
}

int open_regular_file(const char* dir, const char* name, std::string* why) {
    const int dir_fd = open_folder_by_parts(dir);
    if (dir_fd < 0) {
        if (why != nullptr) *why = describe_failure(dir, errno);
        return -1;
    }
    const int fd = ::openat(dir_fd, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    const int err = errno;
    ::close(dir_fd);
    if (fd < 0) {
        if (why != nullptr) *why = describe_failure(joined(dir, name), err);
        return -1;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        if (why != nullptr) *why = describe_failure(joined(dir, name), e);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (why != nullptr) *why = joined(dir, name) + ": not a regular file";
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool stat_file_in(const char* dir, const char* name, bool follow, struct stat* st,
                  std::string* why) {
    const int dir_fd = open_folder_by_parts(dir);
    if (dir_fd < 0) {
        if (why != nullptr) *why = describe_failure(dir, errno);
        return false;
    }
    const int rc = ::fstatat(dir_fd, name, st, follow ? 0 : AT_SYMLINK_NOFOLLOW);
    const int err = errno;
    ::close(dir_fd);
    if (rc != 0 && why != nullptr) *why = describe_failure(joined(dir, name), err);
    return rc == 0;
}

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {}

AtomicFileWriter::~AtomicFileWriter() { discard(); }

u64 AtomicFileWriter::fail(int err) {
    failure_ = describe_failure(path_, err);
    return ERR_OPEN_FILE;
}

u64 AtomicFileWriter::open() {
    failure_.clear();
    // Follow a chain of links to the file that is to be written.
    std::string target = path_;
    struct stat st{};
    bool exists = false;
    for (int hops = 0;; ++hops) {
        if (hops > 40) return fail(ELOOP);
        if (::lstat(target.c_str(), &st) != 0) {
            if (errno != ENOENT) return fail(errno);
            break;
        }
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            break;
        }
        std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 2);
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size() - 1);
        if (n < 0) return fail(errno);
        std::string next(link.data(), static_cast<std::size_t>(n));
        target = next.starts_with('/') ? next : folder_of(target) + "/" + next;
    }
    final_path_ = target;
    if (exists && S_ISDIR(st.st_mode)) return fail(EISDIR);

    if (exists && !S_ISREG(st.st_mode)) {
        // A device, FIFO or socket: written in place. O_NONBLOCK makes a
        // FIFO without a reader fail at once instead of hanging.
        const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return fail(errno);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        stream_ = ::fdopen(fd, "wb");
        if (stream_ == nullptr) {
            const int err = errno;
            ::close(fd);
            return fail(err);
        }
        in_place_ = true;
        return 0;
    }

    std::string pattern = folder_of(target) + "/.trawlex-save-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) return fail(errno);
    temp_path_ = buffer.data();
    if (exists) {
        // The replaced file keeps its permissions and, when allowed, owner.
        ::fchmod(fd, st.st_mode & 07777);
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) ::fchmod(fd, st.st_mode & 0777);
    } else {
        ::fchmod(fd, 0666 & ~current_umask());
    }
    stream_ = ::fdopen(fd, "wb");
    if (stream_ == nullptr) {
        const int err = errno;
        ::close(fd);
        discard();
        return fail(err);
    }
    return 0;
}

u64 AtomicFileWriter::write_failed() {
    if (failure_.empty()) failure_ = describe_failure(path_, errno != 0 ? errno : EIO);
    return ERR_WRITE_FILE;
}

u64 AtomicFileWriter::commit(bool replace) {
    if (stream_ == nullptr) return ERR_WRITE_FILE;
    int err = 0;
    errno = 0;
    bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    if (!written) err = errno != 0 ? errno : EIO;
    // A device or FIFO has nothing to sync.
    if (written && !in_place_ && ::fsync(::fileno(stream_)) != 0) {
        written = false;
        err = errno;
    }
    const bool closed = std::fclose(stream_) == 0;
    if (!closed && err == 0) err = errno;
    stream_ = nullptr;
    if (!written || !closed) {
        failure_ = describe_failure(path_, err != 0 ? err : EIO);
        discard();
        return written ? ERR_CLOSE_FILE : ERR_WRITE_FILE;
    }
    if (!replace && !in_place_) {
        // A hard link is made only where no name exists yet.
        if (::link(temp_path_.c_str(), final_path_.c_str()) != 0) {
            failure_ = describe_failure(path_, errno);
            discard();
            return ERR_WRITE_FILE;
        }
        discard();
        return 0;
    }
    if (!in_place_ && ::rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
        failure_ = describe_failure(path_, errno);
        discard();
        return ERR_WRITE_FILE;
    }
    temp_path_.clear();
    return 0;
}

void AtomicFileWriter::discard() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temp_path_.empty()) {
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
    }
}

}  // namespace tw
