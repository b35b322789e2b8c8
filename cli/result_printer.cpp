#include "cli/result_printer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

#include "cli/output_text.h"
#include "engine/tw_fd.h"
#include "engine/tw_le.h"

namespace tw::cli {

namespace {

using u64 = std::uint64_t;
using Status = PrintResult::Status;

constexpr std::size_t kOutBuffer = std::size_t{1} << 20;

// Output lines gathered in a large buffer and written in few system calls.
class Output {
public:
    // The buffer is not cleared: its pages cost nothing until written,
    // which matters to a run that prints a line or two.
    explicit Output(int fd) : fd_(fd), buffer_(new char[kOutBuffer]), size_(kOutBuffer) {}

    // Room for `n` more bytes; false when a flush failed.
    bool reserve(std::size_t n) {
        if (used_ + n <= size_) return true;
        if (!flush()) return false;
        if (n > size_) {
            buffer_.reset(new char[n]);
            size_ = n;
        }
        return true;
    }
    void put(const char* data, std::size_t n) {
        std::memcpy(buffer_.get() + used_, data, n);
        used_ += n;
    }
    void put(char c) { buffer_[used_++] = c; }
    void put(std::string_view s) { put(s.data(), s.size()); }
    void put_number(u64 v) {
        const auto r = std::to_chars(buffer_.get() + used_, buffer_.get() + used_ + 20, v);
        used_ = static_cast<std::size_t>(r.ptr - buffer_.get());
    }
    bool flush() {
        int err = 0;
        write_full(fd_, buffer_.get(), used_, &err);
        if (err != 0) {
            error_ = err;
            return false;
        }
        used_ = 0;
        return true;
    }
    int error() const { return error_; }

private:
    int fd_;
    std::unique_ptr<char[]> buffer_;
    std::size_t size_;
    std::size_t used_ = 0;
    int error_ = 0;
};

}  // namespace

std::string join_path(std::string_view dir, std::string_view name) {
    std::string path(dir);
    if (path.empty() || path.back() != '/') path.push_back('/');
    path += name;
    return path;
}

class FilePrinter::Impl {
public:
    Impl(PrintStyle style, int out_fd) : style_(style), out_(out_fd) {}

    const PrintStyle style_;
    Output out_;
    bool in_file_ = false;  // records of the current file were printed
    u64 printed_ = 0;       // occurrences of the current file printed
    std::string prefix_;    // the path as printed, with what follows it
    std::string json_path_;
};

FilePrinter::FilePrinter(PrintStyle style, int out_fd)
    : impl_(std::make_unique<Impl>(style, out_fd)) {}

FilePrinter::~FilePrinter() = default;

namespace {

bool set_failure(PrintResult& r, Status status, std::string message) {
    r.status = status;
    r.message = std::move(message);
    return false;
}

// The status after a failed write of the output.
bool write_failure(PrintResult& r, int err) {
    if (err == EPIPE) return set_failure(r, Status::BrokenPipe, "");
    return set_failure(r, Status::WriteFailed,
                       std::string("cannot write the output: ") + std::strerror(err));
}

}  // namespace

bool FilePrinter::print_line(std::string_view line) {
    if (result_.status != Status::Ok) return false;
    Output& out = impl_->out_;
    if (!out.reserve(line.size() + 1)) return write_failure(result_, out.error());
    out.put(line);
    out.put('\n');
    return flush();
}

bool FilePrinter::flush() {
    if (result_.status != Status::Ok) return false;
    Output& out = impl_->out_;
    if (!out.flush()) return write_failure(result_, out.error());
    return true;
}

bool FilePrinter::print_records(std::string_view path, const std::uint8_t* records,
                                std::size_t bytes) {
    if (result_.status != Status::Ok) return false;
    Impl& d = *impl_;
    const PrintStyle& style = d.style_;
    Output& out = d.out_;
    const bool json = style.format == PrintFormat::Json;
    const bool lines = style.mode == PrintMode::OffsetLines;
    const bool each = style.mode == PrintMode::Offsets || lines;
    const u64 record = style.records_with_lines ? 16 : 8;
    if (!each) {
        // Counted only, to know when the output has what it needs.
        if (!d.in_file_) d.printed_ = 0;
        d.in_file_ = true;
        d.printed_ += bytes / record;
        return true;
    }
    if (!d.in_file_) {
        // The file's first records: its prefix, and JSON's opening record.
        d.in_file_ = true;
        d.printed_ = 0;
        std::string& prefix = d.prefix_;
        prefix.clear();
        if (json) {
            d.json_path_.clear();
            append_json_path(d.json_path_, path);
            prefix = "{\"type\":\"begin\",\"data\":{\"path\":" + d.json_path_ + "}}\n";
            if (!out.reserve(prefix.size())) return write_failure(result_, out.error());
            out.put(prefix);
            prefix = "{\"type\":\"match\",\"data\":{\"path\":" + d.json_path_ + ",\"absolute_offset\":";
        } else {
            if (style.format == PrintFormat::Null) prefix.assign(path);
            else append_escaped(prefix, path);
            prefix.push_back(style.format == PrintFormat::Null ? '\0' : '\t');
        }
    }
    // One line is at most the prefix, two numbers of 20 digits and what
    // surrounds them.
    const std::size_t line_max = d.prefix_.size() + 64;
    const std::uint8_t* p = records;
    for (u64 k = bytes / record; k > 0 && d.printed_ < style.max_per_file; --k, p += record) {
        if (!out.reserve(line_max)) return write_failure(result_, out.error());
        ++d.printed_;
        out.put(d.prefix_);
        out.put_number(load_le64(p));
        if (json) {
            out.put(",\"line_number\":");
            if (lines) out.put_number(load_le64(p + 8) + 1);
            else out.put("null");
            out.put("}}\n");
            continue;
        }
        if (lines) {
            out.put('\t');
            out.put_number(load_le64(p + 8) + 1);
        }
        out.put('\n');
    }
    return true;
}

bool FilePrinter::end_file(std::string_view path, u64 occ_nb) {
    if (result_.status != Status::Ok) return false;
    Impl& d = *impl_;
    const PrintStyle& style = d.style_;
    Output& out = d.out_;
    const u64 shown = std::min(occ_nb, style.max_per_file);
    ++result_.files;
    result_.occurrences += shown;
    d.in_file_ = false;
    if (style.format == PrintFormat::Json) {
        std::string end = "{\"type\":\"end\",\"data\":{\"path\":" + d.json_path_ +
                          ",\"stats\":{\"matches\":" + std::to_string(shown) +
                          ",\"matches_found\":" + std::to_string(occ_nb) + "}}}\n";
        if (style.mode == PrintMode::Files || style.mode == PrintMode::Counts) {
            // No match was printed: the file opens and closes here.
            d.json_path_.clear();
            append_json_path(d.json_path_, path);
            end = "{\"type\":\"begin\",\"data\":{\"path\":" + d.json_path_ + "}}\n" +
                  "{\"type\":\"end\",\"data\":{\"path\":" + d.json_path_ +
                  ",\"stats\":{\"matches\":" + std::to_string(shown) +
                  ",\"matches_found\":" + std::to_string(occ_nb) + "}}}\n";
        }
        if (!out.reserve(end.size())) return write_failure(result_, out.error());
        out.put(end);
        return true;
    }
    if (style.mode == PrintMode::Files || style.mode == PrintMode::Counts) {
        std::string& prefix = d.prefix_;
        prefix.clear();
        if (style.format == PrintFormat::Null) prefix.assign(path);
        else append_escaped(prefix, path);
        if (!out.reserve(prefix.size() + 22)) return write_failure(result_, out.error());
        out.put(prefix);
        if (style.mode == PrintMode::Files) {
            out.put(style.format == PrintFormat::Null ? '\0' : '\n');
        } else {
            out.put(style.format == PrintFormat::Null ? '\0' : '\t');
            out.put_number(shown);
            out.put('\n');
        }
    }
    return true;
}

bool FilePrinter::has_enough() const {
    const Impl& d = *impl_;
    return d.in_file_ && (d.style_.mode == PrintMode::Files || d.printed_ >= d.style_.max_per_file);
}

bool FilePrinter::drop_file() {
    if (result_.status != Status::Ok) return false;
    Impl& d = *impl_;
    if (!d.in_file_) return true;
    d.in_file_ = false;
    const bool each = d.style_.mode == PrintMode::Offsets || d.style_.mode == PrintMode::OffsetLines;
    if (d.style_.format != PrintFormat::Json || !each) return true;
    // The matches printed are closed, so that the output stays well formed.
    const std::string end = "{\"type\":\"end\",\"data\":{\"path\":" + d.json_path_ +
                            ",\"stats\":{\"matches\":" + std::to_string(d.printed_) +
                            ",\"matches_found\":" + std::to_string(d.printed_) + "}}}\n";
    Output& out = d.out_;
    if (!out.reserve(end.size())) return write_failure(result_, out.error());
    out.put(end);
    return true;
}

}  // namespace tw::cli
