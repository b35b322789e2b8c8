// The lines of a found file, read back for the JSON "lines" of a match and
// for the context lines of -A/-B/-C: only around what is printed, through
// one cached block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tw::cli {

class FileLines {
public:
    // A line shown is cut to at most this many bytes before the occurrence
    // it is shown for, and as many after it (or after its start, for a
    // context line).
    static constexpr std::uint64_t kReach = 8192;

    struct Line {
        std::uint64_t begin = 0, end = 0;  // end is past the terminator
        // The line goes on before begin, or after end.
        bool cut_before = false, cut_after = false;
        bool cut() const { return cut_before || cut_after; }
    };

    explicit FileLines(unsigned char eol) : eol_(eol) {}
    ~FileLines() { close(); }
    FileLines(const FileLines&) = delete;
    FileLines& operator=(const FileLines&) = delete;

    // Opens `path` when it is a regular file or a block device: a pipe or
    // a terminal cannot be read a second time. False otherwise.
    bool open(const std::string& path);
    void close();
    bool is_open() const { return fd_ >= 0; }
    std::uint64_t size() const { return size_; }

    // The line holding the `length` bytes at `at`.
    Line around(std::uint64_t at, std::uint64_t length);
    // The line that begins at `begin` (begin < size()).
    Line from(std::uint64_t begin);
    // The line that ends just before `end` (end > 0).
    Line before(std::uint64_t end);
    // The bytes [from, to); shorter when the file shrank.
    std::string read(std::uint64_t from, std::uint64_t to) const;

private:
    int byte(std::uint64_t at);  // -1 past the end or on a failed read

    unsigned char eol_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::unique_ptr<unsigned char[]> block_;
    std::uint64_t block_at_ = 0, block_len_ = 0;
};

// `bytes` as text on one line: valid UTF-8 as it is; tab, newline,
// carriage return and backslash as \t \n \r \\; any other control byte and
// any byte outside valid UTF-8 as \xHH.
void append_escaped_text(std::string& out, const std::string& bytes);

}  // namespace tw::cli
