// Where a search's findings go. The scan hands every occurrence record and
// every found file to a chain of sinks, in the order the single-threaded
// walk meets them: the result files, the command line's printer, the
// application's live list and whatever else wants them. Adding a sink
// touches no scanning code.
//
// Calls come from one thread at a time (the search thread, or the committer
// of a parallel search). A sink may raise the engine's need_stop_searching
// but must not call its search operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/tw_records.h"

namespace tw {

// A file with at least one occurrence, complete.
struct FoundFile {
    u64 index = 0;   // 0 for the first found file of the search
    u64 occ_nb = 0;  // its occurrence records, all handed on before
    std::string_view dir;   // its folder ("" for a file right under "/")
    std::string_view name;  // its name in that folder
};

class ResultSink {
public:
    virtual ~ResultSink() = default;
    // Occurrence records (8 bytes of file offset, then 8 of line count when
    // lines are counted, little-endian) of the file being searched, named
    // by its folder and name, in file order, final. 0, or an error code
    // that ends the search.
    virtual u64 occurrences(std::string_view dir, std::string_view name,
                            const std::uint8_t* records, std::size_t bytes) {
        (void)dir, (void)name, (void)records, (void)bytes;
        return 0;
    }
    // In a search of several forms, right after each occurrences(): the
    // form of each of those records, one byte (its index) per record.
    // 0, or an error code that ends the search.
    virtual u64 forms(const std::uint8_t* forms, std::size_t count) {
        (void)forms, (void)count;
        return 0;
    }
    // True when the sink needs no more records of the file being searched
    // (asked after it was handed some): when every sink of the chain says
    // so, the scan of that file stops there, and it is found with the
    // records handed on so far.
    virtual bool enough() const { return false; }
    // The most records of one file this sink ever needs: enough() must be
    // true once it has been handed that many. The scan of a file asks for
    // no more than the most any sink of the chain needs.
    virtual u64 records_wanted() const { return ~u64{0}; }
    // The records handed on since the last found or dropped file are those
    // of found file `file`. 0, or an error code that ends the search.
    virtual u64 file_found(const FoundFile& file) {
        (void)file;
        return 0;
    }
    // The records handed on since the last found or dropped file belong to
    // no found file: reading the file failed after they were found.
    virtual void file_dropped() {}
    // A file or folder of the search could not be read; `err` is the errno
    // of the failed call (EINVAL for an entry that is not a regular file).
    virtual void item_failed(std::string_view path, int err) { (void)path, (void)err; }
    // Everything handed on so far may be published: the sinks before this
    // one in the chain have written it out. Called a few times a second
    // while files are found, and once when the search ends.
    virtual u64 batch_end() { return 0; }
};

}  // namespace tw
