// The found files of a result as a list: every record of TW_found_header
// with its names from TW_found_path, checked against the files' sizes.
//
// The two files are mapped under the result folder's shared lock and what
// the list needs is copied out of them (one copy of each folder name, every
// file name, the counts), so a later search may rewrite the folder while the
// list is on show. A damaged record becomes a row that says what is wrong
// with it; nothing read from the files is trusted as a size to allocate.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tw_records.h"

namespace tw {

// Beyond this many records the list refuses the result (its rows would take
// more memory than any real search makes).
inline constexpr u64 TW_FOUND_LIST_MAX_ROWS = u64{1} << 24;
// Longest folder name and file name a record may give (with its NUL).
inline constexpr u64 TW_FOUND_LIST_MAX_DIR = u64{1} << 20;
inline constexpr u64 TW_FOUND_LIST_MAX_FILE = 4096;
// Beyond this many per-form counts (rows times forms) the list reads none.
inline constexpr u64 TW_FOUND_LIST_MAX_COUNTS = u64{1} << 24;

class FoundList {
public:
    // What is wrong with a record, if anything.
    enum class Damage : std::uint8_t {
        None = 0,
        NameOutside,       // a name lies (partly) outside TW_found_path, or is empty
        NameUnterminated,  // a name does not end with its NUL
        NameTooLong,       // longer than any folder or file name can be
        CountOutside,      // no occurrence, or more than TW_found_offset holds
    };
    // The orders the list can be shown in.
    enum class Key { Found, Path, Count };

    // Identity of the header file when it was read: a new search shows as
    // another identity.
    struct Stamp {
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = -1;
        std::int64_t mtime_ns = 0;
        bool operator==(const Stamp&) const = default;
    };

    // Reads the result in the folder `found_dir` whose occurrence records
    // are `record_len` (8 or 16) bytes long. 0, or an engine error code
    // with `why` saying "PATH: reason"; on error the list is empty.
    // For a result of `form_nb` forms (from 2), each file's count of
    // occurrences per form is read from TW_found_form too, unless the
    // counts would take more than TW_FOUND_LIST_MAX_COUNTS numbers or that
    // file does not hold one byte per record (form_counts then gives none).
    u64 load(const std::string& found_dir, u64 record_len, std::string* why, u64 form_nb = 1);
    void clear();
    // Adds a found file of a running search after the others (its stamp
    // stays empty, so the finished result reads as another one). A name
    // longer than any record may give becomes a damaged row.
    void append(std::string_view dir, std::string_view file, u64 occ_nb);

    u64 size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    // The header file ended with part of a record, which is left out.
    bool partial_record() const { return partial_record_; }
    u64 damaged() const { return damaged_; }
    const Stamp& stamp() const { return stamp_; }
    // The header file's identity now; a default Stamp when it is missing.
    static Stamp stamp_of(const std::string& found_dir);

    Damage damage(u64 row) const { return rows_[row].damage; }
    // Empty for a damaged record.
    std::string_view dir(u64 row) const;
    std::string_view file(u64 row) const;
    // Folder and file name joined by a slash; empty for a damaged record.
    std::string path(u64 row) const;
    u64 occ_nb(u64 row) const { return rows_[row].occ_nb; }
    // The forms of the result loaded (1 for one form or a live list).
    u64 form_nb() const { return form_nb_; }
    // form_nb() counts of occurrences of row `row`, one per form; nullptr
    // when they were not read.
    const std::uint32_t* form_counts(u64 row) const {
        return form_counts_.empty() ? nullptr : form_counts_.data() + row * form_nb_;
    }

    // The rows in the order of `key` (ties in found order); the found
    // order is the records' order. Path order is folder, then file name,
    // byte by byte.
    std::vector<std::uint32_t> order(Key key, bool descending) const;
    // The rows of `order` whose path holds `needle`, ASCII letters in
    // either case; every row of `order` when the needle is empty.
    std::vector<std::uint32_t> filter(const std::vector<std::uint32_t>& order,
                                      std::string_view needle) const;
    // Orders rows by a value per row (file sizes, say), ties in found order.
    static std::vector<std::uint32_t> order_by(const std::vector<std::int64_t>& values,
                                               bool descending);

private:
    struct Row {
        u64 file_pos = 0;        // in names_
        u64 occ_nb = 0;
        std::uint32_t dir = 0;   // in dirs_
        std::uint16_t file_len = 0;
        Damage damage = Damage::None;
    };
    struct Dir {
        u64 pos = 0;  // in names_
        u64 len = 0;
    };

    // Counts the forms of `nb` occurrences from record `first` on into
    // form_counts_ at row `row`; false when the file does not hold them.
    bool count_forms(int fd, u64 row, u64 first, u64 nb);

    std::vector<Row> rows_;
    std::vector<Dir> dirs_;
    u64 form_nb_ = 1;
    std::vector<std::uint32_t> form_counts_;  // form_nb_ per row, or empty
    std::string names_;
    u64 damaged_ = 0;
    bool partial_record_ = false;
    Stamp stamp_;
};

}  // namespace tw
