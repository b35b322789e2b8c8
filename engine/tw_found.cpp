// The result files of a search: TW_found_header, TW_found_path and
// TW_found_offset, and the summary of one found file for the viewer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/tw.h"
#include "engine/tw_fd.h"
#include "engine/tw_file_util.h"
#include "engine/tw_le.h"

namespace tw {

namespace {

constexpr std::size_t kResultBuffer = std::size_t{1} << 18;

template <std::size_t N>
void shorten_for_display(char (&field)[N], const char* name) {
    constexpr std::size_t shown = N - 1;  // 64 characters
    const std::size_t n = std::strlen(name);
    std::memset(field, 0, N);
    if (n >= N) {
        std::memcpy(field, "...", 3);
        std::memcpy(field + 3, name + n - (shown - 3), shown - 3);
    } else {
        std::memcpy(field, name, n);
    }
}

}  // namespace

u64 Engine::lock_result(bool exclusive, bool wait, bool* busy) {
    if (busy != nullptr) *busy = false;
    const std::string dir = resource_path(TW_FOUND_DIR);
    if (!is_directory(dir)) {
        record_failure(dir, errno);
        return ERR_ACCESS_DIR;
    }
    std::string why;
    FoundLock::Result r;
    if (wait) {
        r = found_lock_.take(dir, exclusive, &need_stop_searching,
                             [this] { waiting_for_result.store(1, std::memory_order_relaxed); },
                             &why);
        waiting_for_result.store(0, std::memory_order_relaxed);
    } else {
        r = found_lock_.try_take(dir, exclusive, &why);
    }
    if (r == FoundLock::Result::Taken) return 0;
    if (r == FoundLock::Result::Busy) {
        if (busy != nullptr) *busy = true;
        why = dir + ": another search is writing this result";
    }
    record_failure(why);
    return ERR_OPEN_FILE;
}

void Engine::unlock_result() {
    found_lock_.release();
    lock_taken_by_open_ = false;
}

namespace {

// Creates `path` as a stream to write: created, never followed, so that a
// link planted in the result folder is refused, not written through. 0, or
// the errno of the failure.
int create_stream(const std::string& path, std::FILE*& stream) {
    int err = 0;
    UniqueFd fd(create_regular(path.c_str(), &err));
    if (!fd) return err;
    stream = ::fdopen(fd.get(), "wb");
    if (stream == nullptr) return errno;
    fd.release();
    return 0;
}

}  // namespace

u64 Engine::open_found_file(const char* mode) {
    const char* names[] = {TW_FOUND_HEADER, TW_FOUND_OFFSET, TW_FOUND_PATH};
    const int slots[] = {WF_FOUND_HEADER, WF_FOUND_OFFSET, WF_FOUND_PATH};
    for (int slot : {WF_FOUND_HEADER, WF_FOUND_OFFSET, WF_FOUND_PATH, WF_FOUND_FORM}) {
        wf[slot].position = 0;
        wf[slot].dir_path = TW_FOUND_DIR;
    }
    const std::string dir = resource_path(TW_FOUND_DIR);
    if (!is_directory(dir)) {
        record_failure(dir, errno);
        return ERR_ACCESS_DIR;
    }
    const bool writing = mode[0] == 'w';
    // Writers hold the folder's lock exclusively, readers shared; a caller
    // that already holds it keeps it past close_found_file.
    if (!found_lock_.held() || (writing && !found_lock_.exclusive())) {
        if (const u64 code = lock_result(writing, false); code != 0) return code;
        lock_taken_by_open_ = true;
    }
    if (!writing) {
        std::string why;
        if (reader_.open(dir, &why) != 0) {
            record_failure(why);
            close_found_file();
            return ERR_OPEN_FILE;
        }
        if (const u64 code = load_result_info(); code != 0) {
            close_found_file();
            return code;
        }
        // A forms file that cannot be read leaves the forms unnamed.
        if (result_info.form_nb > 1) reader_.open_forms(dir, result_info.record_len, &why);
        return 0;
    }
    for (int i = 0; i < 3; ++i) {
        WorkFile& w = wf[slots[i]];
        w.name = names[i];
        const std::string path = dir + "/" + names[i];
        if (const int err = create_stream(path, w.stream); err != 0) {
            record_failure(path, err);
            close_found_file();
            return ERR_OPEN_FILE;
        }
        // Records, names and headers gather in stream buffers and leave
        // once per batch of found files (see ResultFileSink::batch_end);
        // records of more than a buffer go out at once. The C library
        // takes a size only with a buffer of the caller's.
        std::unique_ptr<char[]>& buffer = result_buffers_[i];
        if (!buffer) buffer.reset(new (std::nothrow) char[kResultBuffer]);
        if (buffer) std::setvbuf(w.stream, buffer.get(), _IOFBF, kResultBuffer);
    }
    // The forms of the occurrences, only for a search of several; the one
    // of an earlier such search would describe records it does not hold.
    const std::string form_path = dir + "/" + TW_FOUND_FORM;
    const std::string described_path = dir + "/" + TW_FOUND_FORMS;
    if (sr.MULTI == 0) {
        for (const std::string* path : {&form_path, &described_path})
            if (::unlink(path->c_str()) != 0 && errno != ENOENT) {
                record_failure(*path, errno);
                close_found_file();
                return ERR_DELETE_FILE;
            }
        return 0;
    }
    if (const u64 code = write_found_forms(described_path); code != 0) {
        close_found_file();
        return code;
    }
    WorkFile& w = wf[WF_FOUND_FORM];
    w.name = TW_FOUND_FORM;
    if (const int err = create_stream(form_path, w.stream); err != 0) {
        record_failure(form_path, err);
        close_found_file();
        return ERR_OPEN_FILE;
    }
    return 0;
}

u64 Engine::write_found_forms(const std::string& path) {
    const std::string bytes = encode_found_forms(scan_forms(sr)->described);
    int err = 0;
    UniqueFd fd(create_regular(path.c_str(), &err));
    if (fd) write_full(fd.get(), bytes.data(), bytes.size(), &err);
    if (const int closed = fd.close(); err == 0) err = closed;
    if (err == 0) return 0;
    record_failure(path, err);
    return ERR_WRITE_FILE;
}

u64 Engine::close_found_file() {
    reader_.close();
    u64 code = 0;
    for (int slot : {WF_FOUND_HEADER, WF_FOUND_OFFSET, WF_FOUND_PATH, WF_FOUND_FORM}) {
        WorkFile& w = wf[slot];
        if (w.stream == nullptr) continue;
        // Buffered names and headers reach the disk here: a failure to do so
        // is a failed write, not only a failed close.
        errno = 0;
        const bool flushed = std::fflush(w.stream) == 0;
        const int flush_err = errno;
        const bool closed = std::fclose(w.stream) == 0;
        const int close_err = errno;
        w.stream = nullptr;
        if (code != 0) continue;
        if (!flushed) code = ERR_WRITE_FILE;
        else if (!closed) code = ERR_CLOSE_FILE;
        if (code != 0)
            record_failure(resource_path(TW_FOUND_DIR, w.name),
                           !flushed ? (flush_err != 0 ? flush_err : EIO) : close_err);
    }
    if (lock_taken_by_open_) unlock_result();
    return code;
}

u64 Engine::write_result_info(u64 status, u64 error_code, u64 start_time, u64 elapsed) {
    ResultInfo info;
    info.present = true;
    info.record_len = tr.add_line_nb != 0 ? 16 : 8;
    info.form_nb = scan_forms(sr) != nullptr ? scan_forms(sr)->count : 1;
    if (scan_forms(sr) != nullptr) info.forms = scan_forms(sr)->described;
    info.eol_char = tr.eol_char;
    info.encoding = tr.encoding;
    info.is_hexa = tr.is_hexa;
    info.case_insensitive = tr.case_insensitive;
    info.start_time = start_time;
    info.elapsed = elapsed;
    info.status = status;
    info.error_code = error_code;
    info.search_str_len = tr.search_str != nullptr ? tr.search_str_len : 0;
    if (tr.search_str != nullptr)
        info.search_str.assign(reinterpret_cast<const char*>(tr.search_str),
                               std::min<u64>(tr.search_str_len, kResultInfoMaxText));
    if (tr.target_name != nullptr) info.target_name = tr.target_name;
    const std::vector<std::uint8_t> bytes = encode_result_info(info);
    const std::string path = resource_path(TW_FOUND_DIR, TW_FOUND_INFO);
    int err = 0;
    UniqueFd fd(create_regular(path.c_str(), &err));
    if (fd) write_full(fd.get(), bytes.data(), bytes.size(), &err);
    if (const int closed = fd.close(); err == 0) err = closed;
    if (err != 0) {
        record_failure(path, err);
        return ERR_WRITE_FILE;
    }
    result_info = std::move(info);
    return 0;
}

u64 Engine::load_result_info() { return read_result_info(result_info); }

u64 Engine::read_result_info(ResultInfo& out) {
    // Without a description (an older result), the current target says how
    // the records were written.
    ResultInfo fallback;
    fallback.record_len = tr.add_line_nb != 0 ? 16 : 8;
    fallback.eol_char = tr.eol_char;
    fallback.encoding = tr.encoding;
    fallback.is_hexa = tr.is_hexa;
    fallback.case_insensitive = tr.case_insensitive;
    fallback.search_str_len = tr.search_str != nullptr ? tr.search_str_len : 0;
    if (tr.target_name != nullptr) fallback.target_name = tr.target_name;

    const std::string path = resource_path(TW_FOUND_DIR, TW_FOUND_INFO);
    const UniqueFd fd(open_nonblocking_at(AT_FDCWD, path.c_str(), O_RDONLY));
    if (!fd) {
        if (errno == ENOENT) {
            out = std::move(fallback);
            return 0;
        }
        record_failure(path, errno);
        return ERR_OPEN_FILE;
    }
    struct stat st{};
    u64 code = 0;
    std::vector<std::uint8_t> bytes;
    if (::fstat(fd.get(), &st) != 0) {
        record_failure(path, errno);
        code = ERR_READ_FILE;
    } else if (!S_ISREG(st.st_mode) || static_cast<u64>(st.st_size) > kResultInfoMaxSize) {
        record_failure(path + ": not a result description");
        code = ERR_CORRUPTED;
    } else {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        int err = 0;
        bytes.resize(pread_full(fd.get(), bytes.data(), bytes.size(), 0, &err));
    }
    if (code != 0) return code;
    ResultInfo info;
    if (!decode_result_info(bytes.data(), bytes.size(), info)) {
        record_failure(path + ": not a result description");
        return ERR_CORRUPTED;
    }
    // Forms without a readable description keep their numbers.
    if (info.form_nb > 1 &&
        read_found_forms(resource_path(TW_FOUND_DIR, TW_FOUND_FORMS),
                         static_cast<std::size_t>(info.form_nb), info.forms, nullptr) != 0)
        info.forms.clear();
    out = std::move(info);
    return 0;
}

u64 Engine::get_search_info_for_file() { return read_found_file(reader_); }

u64 Engine::read_found_file(const ResultReader& reader) {
    if (const u64 code = reader.found_file(sur.file_index, ffh, sur.dir_name, sur.file_name);
        code != 0)
        return code;
    sur.occ_nb = ffh.occ_nb;
    const u64 record_len = summary_info_.record_len == 16 ? 16 : 8;
    if (const u64 code = reader.occurrence(ffh, sur.occ_index, record_len, &sur.occ_offset,
                                           &sur.occ_line);
        code != 0)
        return code;
    sur.has_line = record_len == 16 ? 1 : 0;
    std::uint8_t form = 0;
    sur.occ_form = summary_info_.form_nb > 1 &&
                           reader.occurrence_form(ffh, sur.occ_index, record_len, &form) == 0
                       ? u64{form} + 1
                       : 0;
    return 0;
}

u64 Engine::build_summary(u64 readable_files) {
    sur.file_nb = 0;
    sur.summary_status = 0;
    u64 result = 0;
    if (searching_now.load(std::memory_order_acquire) != 0) {
        // A search of this engine is writing the result: it holds the
        // folder's lock, and the found files it has published are on disk.
        // Nothing the search thread uses is touched here: this reader is
        // the viewer's own.
        std::string why;
        ResultReader live;
        result = live.open(resource_path(TW_FOUND_DIR), &why);
        if (result != 0) record_failure(why);
        if (result == 0) result = read_result_info(summary_info_);
        if (result == 0 && summary_info_.form_nb > 1)
            live.open_forms(resource_path(TW_FOUND_DIR), summary_info_.record_len, &why);
        if (result == 0) sur.file_nb = std::min(live.file_count(), readable_files);
        if (result == 0 && sur.file_nb > 0) result = summary_from(live);
        return result;
    }
    if (const u64 code = open_found_file("r"); code != 0) return code;
    summary_info_ = result_info;
    sur.file_nb = std::min(reader_.file_count(), readable_files);
    if (sur.file_nb > 0) result = build_summary_from_occ_file();
    const u64 closed = close_found_file();
    return result != 0 ? result : closed;
}

u64 Engine::build_summary_from_occ_file() { return summary_from(reader_); }

u64 Engine::summary_from(const ResultReader& reader) {
    if (const u64 code = read_found_file(reader); code != 0) return code;
    // The found file may have become anything since the search: it is
    // opened without blocking, folder by folder (its path may be longer
    // than the system accepts at once), and only read when regular.
    std::string why;
    const UniqueFd fd(open_regular_file(sur.dir_name.c_str(), sur.file_name.c_str(), &why));
    if (!fd) {
        record_failure(why);
        sur.summary_status = ERR_ACCESS_DENIED;
        return 0;
    }
    // An occurrence is as long as its own form when the forms are described.
    const std::vector<FoundForm>& forms = summary_info_.forms;
    const u64 length = sur.occ_form != 0 && sur.occ_form <= forms.size()
                           ? forms[static_cast<std::size_t>(sur.occ_form - 1)].length
                           : summary_info_.search_str_len;
    const u64 half = length / 2;
    u64 start = 0;
    if (length <= TW_EXCERPT_SIZE) {
        // The middle of the occurrence lands at position 1000 when it can.
        if (sur.occ_offset + half > 999) start = sur.occ_offset + half - 1000;
        sur.excerpt_mark_len = length;
    } else {
        // Longer than the excerpt: the excerpt is its first bytes.
        start = sur.occ_offset;
        sur.excerpt_mark_len = TW_EXCERPT_SIZE;
    }
    sur.excerpt_occ_pos = sur.occ_offset - start;
    sur.excerpt_file_offset = start;
    sur.excerpt_len = 0;
    if (start > static_cast<u64>(INT64_MAX)) {
        record_failure(sur.dir_name + "/" + sur.file_name, EINVAL);
        sur.summary_status = ERR_ACCESS_DENIED;
    } else {
        int err = 0;
        const std::size_t done =
            pread_full(fd.get(), sur.excerpt, TW_EXCERPT_SIZE, static_cast<off_t>(start), &err);
        sur.excerpt_len = done;
        if (done == 0) {
            if (err != 0) record_failure(sur.dir_name + "/" + sur.file_name, err);
            else record_failure(sur.dir_name + "/" + sur.file_name +
                                ": the file no longer holds the occurrence");
            sur.summary_status = ERR_ACCESS_DENIED;
        }
    }
    sur.excerpt[sur.excerpt_len] = 0;
    return 0;
}

void Engine::set_summary_filename() {
    shorten_for_display(sur.file_name_shown, sur.file_name.c_str());
    sur.file_name_ptr = sur.file_name.c_str();
}

void Engine::set_summary_dirname() {
    shorten_for_display(sur.dir_name_shown, sur.dir_name.c_str());
    sur.dir_name_ptr = sur.dir_name.c_str();
}

}  // namespace tw
