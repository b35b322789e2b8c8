#include "engine/tw_file_util.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace tw {

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

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {}

AtomicFileWriter::~AtomicFileWriter() { discard(); }

u64 AtomicFileWriter::open() {
    std::string pattern = path_ + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) return ERR_OPEN_FILE;
    temp_path_ = buffer.data();
    // mkstemp creates the file readable by its owner only; a settings or
    // report file is an ordinary document.
    ::fchmod(fd, 0644);
    stream_ = ::fdopen(fd, "wb");
    if (stream_ == nullptr) {
        ::close(fd);
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
        return ERR_OPEN_FILE;
    }
    return 0;
}

u64 AtomicFileWriter::commit(bool replace) {
    if (stream_ == nullptr) return ERR_WRITE_FILE;
    bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    written = written && ::fsync(::fileno(stream_)) == 0;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!written || !closed) {
        discard();
        return written ? ERR_CLOSE_FILE : ERR_WRITE_FILE;
    }
    if (!replace) {
        // A hard link is made only where no name exists yet.
        if (::link(temp_path_.c_str(), path_.c_str()) != 0) {
            discard();
            return ERR_WRITE_FILE;
        }
        discard();
        return 0;
    }
    if (::rename(temp_path_.c_str(), path_.c_str()) != 0) {
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
