#include "cli/file_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/output_text.h"

namespace tw::cli {

namespace {

using u64 = std::uint64_t;
constexpr u64 kBlock = u64{1} << 16;

}  // namespace

bool FileLines::open(const std::string& path) {
    close();
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) return false;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) return false;
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    size_ = end > 0 ? static_cast<u64>(end) : 0;
    if (!block_) block_.reset(new unsigned char[kBlock]);
    block_len_ = 0;
    return true;
}

void FileLines::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    block_len_ = 0;
}

int FileLines::byte(u64 at) {
    if (at >= size_) return -1;
    if (at < block_at_ || at >= block_at_ + block_len_) {
        block_at_ = at & ~(kBlock - 1);
        const ssize_t n = ::pread(fd_, block_.get(), kBlock, static_cast<off_t>(block_at_));
        block_len_ = n > 0 ? static_cast<u64>(n) : 0;
        if (at >= block_at_ + block_len_) return -1;
    }
    return block_[at - block_at_];
}

FileLines::Line FileLines::around(u64 at, u64 length) {
    Line line{at, at + length};
    const u64 floor = at > kReach ? at - kReach : 0;
    while (line.begin > floor && byte(line.begin - 1) != eol_) --line.begin;
    line.cut_before = line.begin > 0 && byte(line.begin - 1) != eol_;
    // An occurrence that ends with the end-of-line byte ends its line.
    if (length > 0 && byte(at + length - 1) == eol_) return line;
    const u64 ceiling = line.end + kReach;
    int c = 0;
    while (line.end < ceiling && (c = byte(line.end)) >= 0 && c != eol_) ++line.end;
    if (c == eol_ && line.end < ceiling) ++line.end;
    else if (line.end < size_) line.cut_after = true;
    return line;
}

FileLines::Line FileLines::from(u64 begin) {
    Line line{begin, begin};
    const u64 ceiling = begin + 2 * kReach;
    int c = 0;
    while (line.end < ceiling && (c = byte(line.end)) >= 0 && c != eol_) ++line.end;
    if (c == eol_ && line.end < ceiling) ++line.end;
    else if (line.end < size_) line.cut_after = true;
    return line;
}

FileLines::Line FileLines::before(u64 end) {
    Line line{end - 1, end};
    const u64 floor = line.begin > 2 * kReach ? line.begin - 2 * kReach : 0;
    while (line.begin > floor && byte(line.begin - 1) != eol_) --line.begin;
    line.cut_before = line.begin > 0 && byte(line.begin - 1) != eol_;
    return line;
}

std::string FileLines::read(u64 from, u64 to) const {
    std::string out(to > from ? to - from : 0, '\0');
    u64 got = 0;
    while (got < out.size()) {
        const ssize_t n = ::pread(fd_, out.data() + got, out.size() - got, static_cast<off_t>(from + got));
        if (n <= 0) break;
        got += static_cast<u64>(n);
    }
    out.resize(got);
    return out;
}

void append_escaped_text(std::string& out, const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80) {
            // The longest valid UTF-8 sequence that starts here, if any.
            std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            if (len <= n - i && is_utf8(std::string_view(bytes).substr(i, len))) {
                out.append(bytes, i, len);
                i += len;
                continue;
            }
        }
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                out += "\\x";
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 15]);
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
        ++i;
    }
}

}  // namespace tw::cli
