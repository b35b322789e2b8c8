// Reading the result files of a search.
#include "engine/tw_result_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/tw.h"
#include "engine/tw_fd.h"
#include "engine/tw_found_list.h"
#include "engine/tw_file_util.h"
#include "engine/tw_le.h"

namespace tw {

namespace {

constexpr u64 kRecord = sizeof(FoundFileHeader);

}  // namespace

u64 ResultReader::open(const std::string& found_dir, std::string* why) {
    close();
    const char* names[] = {TW_FOUND_HEADER, TW_FOUND_PATH, TW_FOUND_OFFSET};
    for (int i = 0; i < 3; ++i) {
        const std::string path = found_dir + "/" + names[i];
        // Without blocking, and only a regular file: a FIFO in place of a
        // result file must not hang the reader.
        int err = 0;
        const int fd = open_regular_at(AT_FDCWD, path.c_str(), &err);
        if (fd < 0) {
            close();
            if (why != nullptr) *why = describe_failure(path, err);
            return ERR_OPEN_FILE;
        }
        fd_[i] = fd;
    }
    return 0;
}

void ResultReader::close() {
    for (int& fd : fd_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

u64 ResultReader::size_of(int file) const {
    struct stat st{};
    return fd_[file] >= 0 && ::fstat(fd_[file], &st) == 0 ? static_cast<u64>(st.st_size) : 0;
}

bool ResultReader::read_at(int file, void* data, u64 length, u64 pos) const {
    int err = 0;
    return pos <= static_cast<u64>(INT64_MAX) &&
           pread_full(fd_[file], data, static_cast<std::size_t>(length), static_cast<off_t>(pos),
                      &err) == length;
}

u64 ResultReader::open_forms(const std::string& found_dir, u64 record_len, std::string* why) {
    if (!is_open()) return ERR_OPEN_FILE;
    if (fd_[kForm] >= 0) ::close(fd_[kForm]);
    fd_[kForm] = -1;
    const std::string path = found_dir + "/" + TW_FOUND_FORM;
    int err = 0;
    const int fd = open_regular_at(AT_FDCWD, path.c_str(), &err);
    if (fd < 0) {
        if (why != nullptr) *why = describe_failure(path, err);
        return ERR_OPEN_FILE;
    }
    fd_[kForm] = fd;
    const u64 records = size_of(kOffset) / (record_len == 16 ? 16 : 8);
    const u64 forms = size_of(kForm);
    if (forms != records) {
        ::close(fd_[kForm]);
        fd_[kForm] = -1;
        if (why != nullptr)
            *why = path + ": " + std::to_string(forms) + " forms for " + std::to_string(records) +
                   " occurrences in " + TW_FOUND_OFFSET;
        return ERR_CORRUPTED;
    }
    return 0;
}

u64 ResultReader::occurrence_form(const FoundFileHeader& header, u64 occ_index, u64 record_len,
                                  std::uint8_t* form) const {
    if (!is_open() || fd_[kForm] < 0) return ERR_READ_FILE;
    if (occ_index >= header.occ_nb) return ERR_BAD_INDEX;
    record_len = record_len == 16 ? 16 : 8;
    // The records of a file start on a record boundary.
    if (header.occ_pos % record_len != 0) return ERR_READ_FILE;
    const u64 first = header.occ_pos / record_len;
    if (occ_index > ~u64{0} - first) return ERR_READ_FILE;
    const u64 pos = first + occ_index;
    if (pos >= size_of(kForm)) return ERR_READ_FILE;
    return read_at(kForm, form, 1, pos) ? 0 : ERR_READ_FILE;
}

u64 ResultReader::file_count() const { return size_of(kHeader) / kRecord; }

u64 ResultReader::found_file(u64 index, FoundFileHeader& header, std::string& dir,
                             std::string& name) const {
    if (!is_open()) return ERR_READ_FILE;
    if (index >= file_count()) return ERR_READ_FILE;
    std::uint8_t record[kRecord];
    if (!read_at(kHeader, record, kRecord, index * kRecord)) return ERR_READ_FILE;
    u64* words[] = {&header.dir_name_pos, &header.dir_name_len, &header.file_name_pos,
                    &header.file_name_len, &header.occ_nb,      &header.occ_pos};
    for (int i = 0; i < 6; ++i) *words[i] = load_le64(record + 8 * i);
    const u64 path_size = size_of(kPath);
    const struct {
        u64 pos, len;
        std::string& out;
    } names[] = {{header.dir_name_pos, header.dir_name_len, dir},
                 {header.file_name_pos, header.file_name_len, name}};
    for (const auto& n : names) {
        if (n.len == 0 || n.pos > path_size || n.len > path_size - n.pos) return ERR_READ_FILE;
        // No name is longer: a damaged length must not size the buffer.
        if (n.len > TW_FOUND_LIST_MAX_DIR) return ERR_READ_FILE;
        n.out.resize(static_cast<std::size_t>(n.len));
        if (!read_at(kPath, n.out.data(), n.len, n.pos)) return ERR_READ_FILE;
        // A name ends at its first NUL (its own, at the latest).
        n.out.resize(n.out.find('\0') == std::string::npos ? n.out.size() : n.out.find('\0'));
    }
    return 0;
}

u64 ResultReader::occurrence(const FoundFileHeader& header, u64 occ_index, u64 record_len,
                             u64* offset, u64* line) const {
    if (!is_open()) return ERR_READ_FILE;
    if (occ_index >= header.occ_nb) return ERR_BAD_INDEX;
    record_len = record_len == 16 ? 16 : 8;
    if (occ_index > (~u64{0} - header.occ_pos) / record_len) return ERR_READ_FILE;
    const u64 pos = header.occ_pos + occ_index * record_len;
    if (pos > size_of(kOffset) || record_len > size_of(kOffset) - pos) return ERR_READ_FILE;
    std::uint8_t words[16];
    if (!read_at(kOffset, words, record_len, pos)) return ERR_READ_FILE;
    *offset = load_le64(words);
    if (line != nullptr) *line = record_len == 16 ? load_le64(words + 8) : 0;
    return 0;
}

}  // namespace tw
