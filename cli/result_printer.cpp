#include "cli/result_printer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/file_lines.h"
#include "cli/output_text.h"
#include "engine/tw_fd.h"
#include "engine/tw_le.h"

namespace tw::cli {

namespace {

using u64 = std::uint64_t;
using Status = PrintResult::Status;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kOutBuffer = std::size_t{1} << 20;
// grep's colours: the path magenta, the occurrence bold red.
constexpr std::string_view kPathColor = "\33[35m";
constexpr std::string_view kMatchColor = "\33[01;31m";
constexpr std::string_view kReset = "\33[m";

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
        written_ += used_;
        used_ = 0;
        return true;
    }
    int error() const { return error_; }
    u64 total() const { return written_ + used_; }

private:
    int fd_;
    std::unique_ptr<char[]> buffer_;
    std::size_t size_;
    std::size_t used_ = 0;
    int error_ = 0;
    u64 written_ = 0;
};

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

void append_number(std::string& s, u64 v) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    s.append(digits, r.ptr);
}

}  // namespace

std::string join_path(std::string_view dir, std::string_view name) {
    std::string path(dir);
    if (path.empty() || path.back() != '/') path.push_back('/');
    path += name;
    return path;
}

std::string json_elapsed(u64 ns) {
    char human[32];
    std::snprintf(human, sizeof human, "%.6fs", static_cast<double>(ns) / 1e9);
    return "{\"secs\":" + std::to_string(ns / 1000000000) + ",\"nanos\":" +
           std::to_string(ns % 1000000000) + ",\"human\":\"" + human + "\"}";
}

class FilePrinter::Impl {
public:
    Impl(PrintStyle style, int out_fd, PrintResult& result)
        : style_(style), out_(out_fd), lines_(style.eol), result_(result) {}

    bool several() const { return !style_.form_names.empty(); }
    // The length of an occurrence of form `form`.
    u64 length_of(unsigned form) const {
        return form < style_.form_lengths.size() ? style_.form_lengths[form] : style_.pattern_length;
    }
    std::string_view name_of(unsigned form) const {
        return form < style_.form_names.size() ? std::string_view(style_.form_names[form]) : std::string_view();
    }

    bool each() const { return style_.mode == PrintMode::Offsets || style_.mode == PrintMode::OffsetLines; }
    bool json() const { return style_.format == PrintFormat::Json; }
    bool context() const { return !json() && (style_.before > 0 || style_.after > 0); }

    // Puts `s` out; false when the output failed.
    bool put(std::string_view s) {
        if (!out_.reserve(s.size())) return write_failure(result_, out_.error());
        out_.put(s);
        return true;
    }

    // The path as it begins a text line: coloured, escaped or raw, with
    // its separator; nothing with -h.
    std::string text_prefix(std::string_view path, bool separator) const {
        std::string prefix;
        if (style_.color) prefix += kPathColor;
        if (style_.format == PrintFormat::Null) prefix.append(path);
        else append_escaped(prefix, path);
        if (style_.color) prefix += kReset;
        if (separator) prefix.push_back(style_.format == PrintFormat::Null ? '\0' : '\t');
        return prefix;
    }

    bool begin_file(std::string_view path, const std::string& source) {
        in_file_ = true;
        printed_ = 0;
        file_lines_ = 0;
        file_start_ = Clock::now();
        file_bytes_at_ = out_.total();
        shown_end_ = 0;
        after_left_ = 0;
        file_grouped_ = false;
        prefix_.clear();
        if ((json() && each()) || context()) lines_.open(source);
        if (json()) {
            json_path_.clear();
            append_json_path(json_path_, path);
            prefix_ = "{\"type\":\"match\",\"data\":{\"path\":" + json_path_ + ",\"lines\":";
            return put("{\"type\":\"begin\",\"data\":{\"path\":" + json_path_ + "}}\n");
        }
        if (style_.with_path) prefix_ = text_prefix(path, true);
        return true;
    }

    // JSON: an occurrence joins the match record of its line, or begins
    // the next one.
    bool json_occurrence(u64 at, u64 line, unsigned form) {
        const u64 length = length_of(form);
        if (pending_ && lines_.is_open() && at + length <= pend_line_.end) {
            pend_at_.push_back(at);
            pend_form_.push_back(form);
            return true;
        }
        if (!flush_match()) return false;
        pending_ = true;
        pend_at_.assign(1, at);
        pend_form_.assign(1, form);
        pend_number_ = line;
        pend_line_ = lines_.is_open() ? lines_.around(at, length) : FileLines::Line{at, at + length};
        return true;
    }

    // Writes the match record gathered, as ripgrep's: "lines" holding the
    // line, "absolute_offset" the offset of its first byte, "submatches"
    // the occurrences inside it; Trawlex's own facts under "trawlex".
    bool flush_match() {
        if (!pending_) return true;
        pending_ = false;
        std::string r = prefix_;
        const bool have = lines_.is_open();
        const std::string text = have ? lines_.read(pend_line_.begin, pend_line_.end) : std::string();
        if (have) append_json_path(r, text);
        else r += "null";
        r += ",\"line_number\":";
        if (style_.records_with_lines) append_number(r, pend_number_ + 1);
        else r += "null";
        r += ",\"absolute_offset\":";
        append_number(r, pend_line_.begin);
        r += ",\"submatches\":[";
        bool overlapping = false;
        u64 last_end = 0;
        for (std::size_t i = 0; have && i < pend_at_.size(); ++i) {
            const u64 start = pend_at_[i] - pend_line_.begin;
            const u64 end = std::min<u64>(start + length_of(pend_form_[i]), text.size());
            overlapping = overlapping || (i > 0 && start < last_end);
            last_end = end;
            if (i > 0) r += ',';
            r += "{\"match\":";
            append_json_path(r, std::string_view(text).substr(start, end - start));
            r += ",\"start\":";
            append_number(r, start);
            r += ",\"end\":";
            append_number(r, end);
            r += '}';
        }
        r += "],\"trawlex\":{\"offsets\":[";
        for (std::size_t i = 0; i < pend_at_.size(); ++i) {
            if (i > 0) r += ',';
            append_number(r, pend_at_[i]);
        }
        if (several()) {
            r += "],\"forms\":[";
            for (std::size_t i = 0; i < pend_form_.size(); ++i) {
                if (i > 0) r += ',';
                append_json_path(r, name_of(pend_form_[i]));
            }
        }
        r += "],\"overlapping\":";
        r += overlapping ? "true" : "false";
        r += ",\"lines_cut\":";
        r += pend_line_.cut() ? "true" : "false";
        r += "}}}\n";
        ++file_lines_;
        ++result_.matched_lines;
        return put(r);
    }

    // A text line of -A/-B/-C: the path, the offset (of the occurrence, or
    // of a context line's first byte), the line number with -n, then ':'
    // and the line of an occurrence or '-' and a context line.
    bool text_line(u64 offset, u64 line, char mark, const FileLines::Line& l, u64 at,
                   unsigned form = 0) {
        std::string s = prefix_;
        append_number(s, offset);
        if (style_.mode == PrintMode::OffsetLines && style_.records_with_lines) {
            s.push_back('\t');
            append_number(s, line + 1);
        }
        // The form's column: empty on a context line.
        if (several()) {
            s.push_back('\t');
            if (mark == ':') append_escaped_text(s, std::string(name_of(form)));
        }
        s.push_back('\t');
        s.push_back(mark);
        std::string text = lines_.read(l.begin, l.end);
        if (!l.cut_after && !text.empty() && static_cast<unsigned char>(text.back()) == style_.eol)
            text.pop_back();
        if (mark == ':' && style_.color && at >= l.begin && at - l.begin < text.size()) {
            const std::size_t start = at - l.begin;
            const std::size_t n = std::min<std::size_t>(length_of(form), text.size() - start);
            append_escaped_text(s, text.substr(0, start));
            s += kMatchColor;
            append_escaped_text(s, text.substr(start, n));
            s += kReset;
            append_escaped_text(s, text.substr(start + n));
        } else {
            append_escaped_text(s, text);
        }
        s.push_back('\n');
        return put(s);
    }

    // The context lines after the last occurrence, up to `limit`.
    bool print_after(u64 limit) {
        for (; after_left_ > 0 && shown_end_ < limit && shown_end_ < lines_.size(); --after_left_) {
            const FileLines::Line l = lines_.from(shown_end_);
            if (!text_line(l.begin, ++after_number_, '-', l, 0)) return false;
            shown_end_ = l.end;
            if (l.cut_after) after_left_ = 1;
        }
        return true;
    }

    bool context_occurrence(u64 at, u64 line, unsigned form) {
        const FileLines::Line l = lines_.around(at, length_of(form));
        if (!print_after(l.begin)) return false;
        // Context lines are whole lines: none before or after a line cut
        // there, which would number pieces of one line as lines.
        std::vector<FileLines::Line> before;
        u64 first = l.begin;
        while (!l.cut_before && before.size() < style_.before && first > shown_end_) {
            const FileLines::Line p = lines_.before(first);
            if (p.begin < shown_end_ || p.cut_before) break;
            before.push_back(p);
            first = p.begin;
        }
        const bool new_group = !file_grouped_ || first > shown_end_;
        if (grouped_ && new_group && l.begin >= shown_end_ && !put("--\n")) return false;
        grouped_ = file_grouped_ = true;
        for (std::size_t k = before.size(); k > 0; --k)
            if (!text_line(before[k - 1].begin, line - k, '-', before[k - 1], 0)) return false;
        if (!text_line(at, line, ':', l, at, form)) return false;
        shown_end_ = std::max(shown_end_, l.end);
        after_left_ = l.cut_after ? 0 : style_.after;
        after_number_ = line;
        return true;
    }

    // What ends a file's records: the pending match, the last context.
    bool close_file() {
        const bool ok = json() ? flush_match() : !context() || !lines_.is_open() || print_after(UINT64_MAX);
        if (!ok) return false;
        return true;
    }

    // ripgrep's end record, with the occurrences found, printed or not.
    bool json_end(const std::string& source, u64 shown, u64 occ_nb) {
        u64 size = lines_.size();
        struct stat st{};
        if (!lines_.is_open() && ::stat(source.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            size = static_cast<u64>(st.st_size);
        lines_.close();
        const auto ns = static_cast<u64>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                             Clock::now() - file_start_).count());
        return put("{\"type\":\"end\",\"data\":{\"path\":" + json_path_ +
                   ",\"binary_offset\":null,\"stats\":{\"elapsed\":" + json_elapsed(ns) +
                   ",\"searches\":1,\"searches_with_match\":1,\"bytes_searched\":" + std::to_string(size) +
                   ",\"bytes_printed\":" + std::to_string(out_.total() - file_bytes_at_) +
                   ",\"matched_lines\":" + std::to_string(file_lines_) +
                   ",\"matches\":" + std::to_string(shown) + "},\"trawlex\":{\"matches_found\":" +
                   std::to_string(occ_nb) + "}}}\n");
    }

    const PrintStyle style_;
    Output out_;
    FileLines lines_;
    PrintResult& result_;
    bool in_file_ = false;  // records of the current file were given
    u64 printed_ = 0;       // occurrences of the current file printed
    std::string prefix_;    // what begins each occurrence's line or record
    std::string json_path_;
    Clock::time_point file_start_;
    u64 file_bytes_at_ = 0;
    u64 file_lines_ = 0;
    // The JSON match record being gathered: the occurrences of one line.
    bool pending_ = false;
    FileLines::Line pend_line_;
    u64 pend_number_ = 0;
    std::vector<u64> pend_at_;
    std::vector<unsigned> pend_form_;
    // Context: what was printed of the file, and what is still owed.
    bool grouped_ = false, file_grouped_ = false;
    u64 shown_end_ = 0;
    u64 after_left_ = 0, after_number_ = 0;
};

FilePrinter::FilePrinter(PrintStyle style, int out_fd)
    : impl_(std::make_unique<Impl>(style, out_fd, result_)) {}

FilePrinter::~FilePrinter() = default;

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
    result_.bytes_printed = out.total();
    if (!out.flush()) return write_failure(result_, out.error());
    return true;
}

bool FilePrinter::print_records(std::string_view path, const std::string& source,
                                const std::uint8_t* records, std::size_t bytes,
                                const std::uint8_t* forms) {
    if (result_.status != Status::Ok) return false;
    Impl& d = *impl_;
    const PrintStyle& style = d.style_;
    Output& out = d.out_;
    const bool lines = style.mode == PrintMode::OffsetLines;
    const u64 record = style.records_with_lines ? 16 : 8;
    if (!d.each()) {
        // Counted only, to know when the output has what it needs.
        if (!d.in_file_) d.printed_ = 0;
        d.in_file_ = true;
        d.printed_ += bytes / record;
        return true;
    }
    if (!d.in_file_ && !d.begin_file(path, source)) return false;
    const std::uint8_t* p = records;
    if (d.json() || (d.context() && d.lines_.is_open())) {
        for (u64 i = 0, n = bytes / record; i < n && d.printed_ < style.max_per_file; ++i, p += record) {
            ++d.printed_;
            const u64 at = load_le64(p), line = record == 16 ? load_le64(p + 8) : 0;
            const unsigned form = forms != nullptr ? forms[i] : 0;
            if (!(d.json() ? d.json_occurrence(at, line, form) : d.context_occurrence(at, line, form)))
                return false;
        }
        return true;
    }
    // One line is at most the prefix, two numbers of 20 digits and what
    // surround them, and the form's name.
    const bool named = forms != nullptr && d.several();
    for (u64 i = 0, n = bytes / record; i < n && d.printed_ < style.max_per_file; ++i, p += record) {
        const std::string_view name = named ? d.name_of(forms[i]) : std::string_view();
        if (!out.reserve(d.prefix_.size() + 64 + name.size())) return write_failure(result_, out.error());
        ++d.printed_;
        out.put(d.prefix_);
        out.put_number(load_le64(p));
        if (lines) {
            out.put('\t');
            out.put_number(load_le64(p + 8) + 1);
        }
        if (named) {
            out.put('\t');
            out.put(name);
        }
        out.put('\n');
    }
    return true;
}

bool FilePrinter::end_file(std::string_view path, const std::string& source, u64 occ_nb) {
    if (result_.status != Status::Ok) return false;
    Impl& d = *impl_;
    const PrintStyle& style = d.style_;
    const u64 shown = std::min(occ_nb, style.max_per_file);
    ++result_.files;
    result_.occurrences += shown;
    const bool began = d.in_file_ && d.each();
    d.in_file_ = false;
    if (began && !d.close_file()) return false;
    if (d.json()) {
        // With -c or -l no match was printed: the file opens here.
        if (!began && !d.begin_file(path, source)) return false;
        d.in_file_ = false;
        return d.json_end(source, shown, occ_nb);
    }
    d.lines_.close();
    if (style.mode == PrintMode::Files) {
        std::string line = d.text_prefix(path, false);
        line.push_back(style.format == PrintFormat::Null ? '\0' : '\n');
        return d.put(line);
    }
    if (style.mode == PrintMode::Counts) {
        std::string line = style.with_path ? d.text_prefix(path, true) : std::string();
        append_number(line, shown);
        line.push_back('\n');
        return d.put(line);
    }
    return true;
}

bool FilePrinter::has_enough() const {
    const Impl& d = *impl_;
    return d.in_file_ && (d.style_.mode == PrintMode::Files || d.printed_ >= d.style_.max_per_file);
}

std::uint64_t FilePrinter::records_wanted() const {
    const Impl& d = *impl_;
    return d.style_.mode == PrintMode::Files ? 1 : d.style_.max_per_file;
}

bool FilePrinter::drop_file() {
    if (result_.status != Status::Ok) return false;
    Impl& d = *impl_;
    if (!d.in_file_) return true;
    d.in_file_ = false;
    if (!d.each()) return true;
    if (!d.close_file()) return false;
    if (!d.json()) {
        d.lines_.close();
        return true;
    }
    // The matches printed are closed, so that the output stays well formed.
    return d.json_end(std::string(), d.printed_, d.printed_);
}

}  // namespace tw::cli
