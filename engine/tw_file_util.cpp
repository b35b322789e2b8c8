#include "engine/tw_file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/tw_fd.h"

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
    UniqueFd fd(::open(dir[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return -1;
    const char* p = dir;
    std::string part;
    while (*p != '\0') {
        while (*p == '/') ++p;
        const char* end = std::strchr(p, '/');
        if (end == nullptr) end = p + std::strlen(p);
        if (end == p) break;
        part.assign(p, static_cast<std::size_t>(end - p));
        p = end;
        const int next = ::openat(fd.get(), part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int err = errno;
        fd.reset(next);
        if (!fd) {
            errno = err;
            return -1;
        }
    }
    return fd.release();
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
    int e = 0;
    UniqueFd fd(open_regular_at(AT_FDCWD, path.c_str(), &e));
    if (!fd) {
        if (err != nullptr) *err = e;
        return nullptr;
    }
    set_blocking(fd.get());
    std::FILE* stream = ::fdopen(fd.get(), "rb");
    if (stream == nullptr) {
        if (err != nullptr) *err = errno;
        return nullptr;
    }
    fd.release();
    return stream;
}

int open_regular_file(const char* dir, const char* name, std::string* why) {
    const UniqueFd dir_fd(open_folder_by_parts(dir));
    if (!dir_fd) {
        if (why != nullptr) *why = describe_failure(dir, errno);
        return -1;
    }
    int err = 0;
    struct stat st{};
    const int fd = open_regular_at(dir_fd.get(), name, &err, &st);
    if (fd < 0) {
        // Refused as not regular only when its status could be read.
        const bool irregular = err == EINVAL && st.st_mode != 0 && !S_ISREG(st.st_mode);
        if (why != nullptr)
            *why = irregular ? joined(dir, name) + ": not a regular file"
                             : describe_failure(joined(dir, name), err);
        return -1;
    }
    set_blocking(fd);
    return fd;
}

bool stat_file_in(const char* dir, const char* name, bool follow, struct stat* st,
                  std::string* why) {
    const UniqueFd dir_fd(open_folder_by_parts(dir));
    if (!dir_fd) {
        if (why != nullptr) *why = describe_failure(dir, errno);
        return false;
    }
    const int rc = ::fstatat(dir_fd.get(), name, st, follow ? 0 : AT_SYMLINK_NOFOLLOW);
    const int err = errno;
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
        // A device, FIFO or socket: written in place. Opened without
        // blocking, a FIFO without a reader fails at once instead of hanging.
        UniqueFd fd(open_nonblocking_at(AT_FDCWD, target.c_str(), O_WRONLY));
        if (!fd) return fail(errno);
        set_blocking(fd.get());
        stream_ = ::fdopen(fd.get(), "wb");
        if (stream_ == nullptr) return fail(errno);
        fd.release();
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
