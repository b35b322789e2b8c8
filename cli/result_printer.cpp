#include "cli/result_printer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

#include "cli/output_text.h"
#include "engine/tw_le.h"

namespace tw::cli {

namespace {

using u64 = std::uint64_t;
using Status = PrintResult::Status;

constexpr std::size_t kWindow = std::size_t{1} << 20;
constexpr std::size_t kOutBuffer = std::size_t{1} << 20;
constexpr u64 kHeaderRecord = 48;

// An open result file.
class InputFile {
public:
    explicit InputFile(const std::string& path) : path_(path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st{};
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0) size_ = static_cast<u64>(st.st_size);
        else if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    ~InputFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool ok() const { return fd_ >= 0; }
    u64 size() const { return size_; }
    // Takes the file's present size: a file still being written grows.
    void refresh() {
        struct stat st{};
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0) size_ = static_cast<u64>(st.st_size);
    }
    const std::string& path() const { return path_; }

    // The bytes [pos, pos + len), which the caller has checked lie inside
    // the file; nullptr when the read fails. The pointer stays valid until
    // the next call. Reads go through a window of at least 1 MiB, so
    // sequential requests cost one read per window.
    const std::uint8_t* get(u64 pos, std::size_t len) {
        if (pos >= start_ && pos - start_ + len <= filled_) return window_.data() + (pos - start_);
        const std::size_t want = static_cast<std::size_t>(
            std::min<u64>(std::max(len, kWindow), size_ - pos));
        if (window_.size() < want) window_.resize(want);
        std::size_t done = 0;
        while (done < want) {
            const ssize_t n = ::pread(fd_, window_.data() + done, want - done,
                                      static_cast<off_t>(pos + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        start_ = pos;
        filled_ = done;
        return done >= len ? window_.data() : nullptr;
    }

private:
    std::string path_;
    int fd_ = -1;
    u64 size_ = 0;
    std::vector<std::uint8_t> window_;
    u64 start_ = 0;
    std::size_t filled_ = 0;
};

// Output lines gathered in a large buffer and written in few system calls.
class Output {
public:
    explicit Output(int fd) : fd_(fd), buffer_(kOutBuffer) {}

    // Room for `n` more bytes; false when a flush failed.
    bool reserve(std::size_t n) {
        if (used_ + n <= buffer_.size()) return true;
        if (!flush()) return false;
        if (n > buffer_.size()) buffer_.resize(n);
        return true;
    }
    void put(const char* data, std::size_t n) {
        std::memcpy(buffer_.data() + used_, data, n);
        used_ += n;
    }
    void put(char c) { buffer_[used_++] = c; }
    void put(std::string_view s) { put(s.data(), s.size()); }
    void put_number(u64 v) {
        const auto r = std::to_chars(buffer_.data() + used_, buffer_.data() + used_ + 20, v);
        used_ = static_cast<std::size_t>(r.ptr - buffer_.data());
    }
    bool flush() {
        std::size_t done = 0;
        while (done < used_) {
            const ssize_t n = ::write(fd_, buffer_.data() + done, used_ - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = n < 0 ? errno : EIO;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        used_ = 0;
        return true;
    }
    int error() const { return error_; }

private:
    int fd_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    int error_ = 0;
};

// Reads a NUL-terminated name of `len` bytes (NUL included) at `pos`.
bool read_name(InputFile& paths, u64 pos, u64 len, std::string& out) {
    if (len == 0 || pos > paths.size() || len > paths.size() - pos) return false;
    const std::uint8_t* p = paths.get(pos, static_cast<std::size_t>(len));
    if (p == nullptr) return false;
    out.assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(len - 1));
    // A name holds no NUL of its own.
    return out.find('\0') == std::string::npos;
}

}  // namespace

std::string join_path(std::string_view dir, std::string_view name) {
    std::string path(dir);
    if (path.empty() || path.back() != '/') path.push_back('/');
    path += name;
    return path;
}

class FilePrinter::Impl {
public:
    Impl(const std::string& found_dir, PrintStyle style, int out_fd)
        : found_dir_(found_dir), style_(style), out_(out_fd) {}

    InputFile& offsets() {
        if (!offsets_) offsets_ = std::make_unique<InputFile>(found_dir_ + "/TW_found_offset");
        return *offsets_;
    }

    const std::string found_dir_;
    const PrintStyle style_;
    Output out_;
    std::unique_ptr<InputFile> offsets_;
    std::string prefix_;  // the path as printed, with what follows it
    std::string json_path_;
};

FilePrinter::FilePrinter(std::string found_dir, PrintStyle style, int out_fd)
    : impl_(std::make_unique<Impl>(found_dir, style, out_fd)) {}

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
    if (!out.flush()) return write_failure(result_, out.error());
    return true;
}

bool FilePrinter::print_file(std::string_view path, u64 occ_nb, u64 occ_pos) {
    if (result_.status != Status::Ok) return false;
    Impl& d = *impl_;
    const PrintStyle& style = d.style_;
    Output& out = d.out_;
    const u64 record = style.records_with_lines ? 16 : 8;
    const u64 shown = std::min(occ_nb, style.max_per_file);
    const bool json = style.format == PrintFormat::Json;
    const bool lines = style.mode == PrintMode::OffsetLines;
    ++result_.files;
    result_.occurrences += shown;

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
        const char after = style.format == PrintFormat::Null ? '\0' : '\t';
        if (style.mode == PrintMode::Files || style.mode == PrintMode::Counts) {
            const bool files = style.mode == PrintMode::Files;
            if (!out.reserve(prefix.size() + 22)) return write_failure(result_, out.error());
            out.put(prefix);
            if (files) {
                out.put(style.format == PrintFormat::Null ? '\0' : '\n');
            } else {
                out.put(after);
                out.put_number(shown);
                out.put('\n');
            }
            if (!out.flush()) return write_failure(result_, out.error());
            return true;
        }
        prefix.push_back(after);
    }

    const bool each = style.mode == PrintMode::Offsets || lines;
    if (each && shown > 0) {
        InputFile& offsets = d.offsets();
        if (!offsets.ok())
            return set_failure(result_, Status::ReadFailed, "cannot read the result file " + offsets.path());
        offsets.refresh();
        if (occ_pos > offsets.size() || shown > (offsets.size() - occ_pos) / record)
            return set_failure(result_, Status::Corrupt,
                               "the result files are damaged: " + offsets.path());
        // One line is at most the prefix, two numbers of 20 digits and
        // what surrounds them.
        const std::size_t line_max = prefix.size() + 64;
        const u64 per_chunk = kWindow / record;
        for (u64 done = 0; done < shown;) {
            const u64 n = std::min(per_chunk, shown - done);
            const std::uint8_t* p =
                offsets.get(occ_pos + done * record, static_cast<std::size_t>(n * record));
            if (p == nullptr)
                return set_failure(result_, Status::ReadFailed, "cannot read " + offsets.path());
            for (u64 k = 0; k < n; ++k, p += record) {
                if (!out.reserve(line_max)) return write_failure(result_, out.error());
                out.put(prefix);
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
            done += n;
        }
    }
    if (json) {
        std::string end = "{\"type\":\"end\",\"data\":{\"path\":" + d.json_path_ +
                          ",\"stats\":{\"matches\":" + std::to_string(shown) +
                          ",\"matches_found\":" + std::to_string(occ_nb) + "}}}\n";
        if (!out.reserve(end.size())) return write_failure(result_, out.error());
        out.put(end);
    }
    if (!out.flush()) return write_failure(result_, out.error());
    return true;
}

PrintResult print_results(const std::string& found_dir, PrintStyle style, int out_fd) {
    PrintResult result;
    InputFile headers(found_dir + "/TW_found_header");
    InputFile paths(found_dir + "/TW_found_path");
    for (InputFile* f : {&headers, &paths})
        if (!f->ok()) {
            set_failure(result, Status::ReadFailed, "cannot read the result file " + f->path());
            return result;
        }
    FilePrinter printer(found_dir, style, out_fd);
    const u64 file_nb = headers.size() / kHeaderRecord;
    std::string dir, name;
    for (u64 i = 0; i < file_nb; ++i) {
        const std::uint8_t* h = headers.get(i * kHeaderRecord, kHeaderRecord);
        if (h == nullptr) {
            set_failure(result, Status::ReadFailed, "cannot read " + headers.path());
            return result;
        }
        const u64 dir_pos = load_le64(h), dir_len = load_le64(h + 8);
        const u64 name_pos = load_le64(h + 16), name_len = load_le64(h + 24);
        const u64 occ_nb = load_le64(h + 32), occ_pos = load_le64(h + 40);
        if (!read_name(paths, dir_pos, dir_len, dir) || !read_name(paths, name_pos, name_len, name)) {
            set_failure(result, Status::Corrupt, "the result files are damaged: " + paths.path());
            return result;
        }
        if (!printer.print_file(join_path(dir, name), occ_nb, occ_pos)) break;
    }
    return printer.result();
}

}  // namespace tw::cli
