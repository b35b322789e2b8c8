// Writing the result files of a search.
#include "engine/tw_result_files.h"

#include <cerrno>
#include <cstdio>

#include "engine/tw.h"
#include "engine/tw_file_util.h"
#include "engine/tw_le.h"

namespace tw {

ResultFileSink::ResultFileSink(WorkFile& header, WorkFile& paths, WorkFile& offsets,
                               std::string found_dir, FailureHook on_failure, WorkFile* forms)
    : header_file_(header),
      path_file_(paths),
      offset_file_(offsets),
      form_file_(forms),
      found_dir_(std::move(found_dir)),
      on_failure_(std::move(on_failure)) {}

u64 ResultFileSink::failed(const std::string& path) {
    if (on_failure_) on_failure_(path, errno != 0 ? errno : EIO);
    return ERR_WRITE_FILE;
}

u64 ResultFileSink::occurrences(std::string_view, std::string_view, const std::uint8_t* records,
                                std::size_t bytes) {
    errno = 0;
    if (!write_all(offset_file_.stream, records, bytes))
        return failed(found_dir_ + "/" + TW_FOUND_OFFSET);
    if (!file_records_) {
        first_record_pos_ = offset_file_.position;
        file_records_ = true;
    }
    offset_file_.position += bytes;
    return 0;
}

u64 ResultFileSink::forms(const std::uint8_t* forms, std::size_t count) {
    if (form_file_ == nullptr) return 0;
    errno = 0;
    if (!write_all(form_file_->stream, forms, count))
        return failed(found_dir_ + "/" + TW_FOUND_FORM);
    form_file_->position += count;
    return 0;
}

u64 ResultFileSink::file_found(const FoundFile& file) {
    // Each name is written with its NUL.
    const char nul = '\0';
    header_.dir_name_len = file.dir.size() + 1;
    header_.dir_name_pos = path_file_.position;
    header_.file_name_len = file.name.size() + 1;
    header_.file_name_pos = header_.dir_name_pos + header_.dir_name_len;
    header_.occ_nb = file.occ_nb;
    header_.occ_pos = first_record_pos_;
    file_records_ = false;
    errno = 0;
    bool ok = write_all(path_file_.stream, file.dir.data(), file.dir.size()) &&
              write_all(path_file_.stream, &nul, 1) &&
              write_all(path_file_.stream, file.name.data(), file.name.size()) &&
              write_all(path_file_.stream, &nul, 1);
    path_file_.position += header_.dir_name_len + header_.file_name_len;
    std::uint8_t record[sizeof(FoundFileHeader)];
    const u64 words[] = {header_.dir_name_pos, header_.dir_name_len, header_.file_name_pos,
                         header_.file_name_len, header_.occ_nb,      header_.occ_pos};
    for (int i = 0; i < 6; ++i) store_le64(record + 8 * i, words[i]);
    ok = ok && write_all(header_file_.stream, record, sizeof record);
    header_file_.position += sizeof record;
    return ok ? 0 : failed(found_dir_);
}

u64 ResultFileSink::batch_end() {
    // The records first: a reader that sees a header finds its records
    // and their forms.
    for (WorkFile* w : {form_file_, &offset_file_, &path_file_, &header_file_}) {
        if (w == nullptr) continue;
        errno = 0;
        if (std::fflush(w->stream) != 0) return failed(found_dir_ + "/" + w->name);
    }
    return 0;
}

}  // namespace tw
