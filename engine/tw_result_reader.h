// Reading a search's result files found file by found file: the record of
// TW_found_header, its two names in TW_found_path and its occurrence
// records in TW_found_offset. Every position and length read from the
// files is checked against their sizes before use, so damaged files give an
// error, never a huge allocation or a read outside them. The viewer, the
// report and the live view of a running search read through it.
#pragma once

#include <string>

#include "engine/tw_records.h"

namespace tw {

class ResultReader {
public:
    ResultReader() = default;
    ~ResultReader() { close(); }
    ResultReader(const ResultReader&) = delete;
    ResultReader& operator=(const ResultReader&) = delete;

    // Opens the three files of the result folder `found_dir` without
    // blocking, regular files only. 0, or ERR_OPEN_FILE with `why` saying
    // "PATH: reason".
    u64 open(const std::string& found_dir, std::string* why);
    void close();
    bool is_open() const { return fd_[0] >= 0; }
    // For a result of several forms, once open: opens TW_found_form as
    // open does the others and checks that it holds one byte per record of
    // TW_found_offset (`record_len` bytes each). 0; ERR_OPEN_FILE; or
    // ERR_CORRUPTED when the lengths disagree; `why` says "PATH: reason".
    u64 open_forms(const std::string& found_dir, u64 record_len, std::string* why);
    // The form of occurrence `occ_index` of a found file, as occurrence()
    // reads its record. 0; ERR_BAD_INDEX past the file's last occurrence;
    // ERR_READ_FILE without TW_found_form or outside it.
    u64 occurrence_form(const FoundFileHeader& header, u64 occ_index, u64 record_len,
                        std::uint8_t* form) const;

    // Whole records in TW_found_header now.
    u64 file_count() const;
    // Found file `index`: its record and names. 0, or ERR_READ_FILE when
    // there is no such record, a read fails or a name lies outside
    // TW_found_path.
    u64 found_file(u64 index, FoundFileHeader& header, std::string& dir, std::string& name) const;
    // Occurrence `occ_index` of a found file whose records are `record_len`
    // (8 or 16) bytes: its offset, and its line count with 16. 0;
    // ERR_BAD_INDEX past the file's last occurrence; ERR_READ_FILE.
    u64 occurrence(const FoundFileHeader& header, u64 occ_index, u64 record_len, u64* offset,
                   u64* line) const;

private:
    enum { kHeader = 0, kPath = 1, kOffset = 2, kForm = 3 };
    u64 size_of(int file) const;
    bool read_at(int file, void* data, u64 length, u64 pos) const;

    int fd_[4] = {-1, -1, -1, -1};
};

}  // namespace tw
