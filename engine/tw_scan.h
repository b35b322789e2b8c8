// The engine's one scanning routine, and the two ways a regular file is cut
// into text for it. Every search (single-threaded, stream, parallel with
// read or mapped pieces) scans its bytes through scan_text; they differ only
// in where the bytes come from and how many threads scan.
//
// A file's text buffers start every stride = TEXT_BUF_SIZE - m + 1 bytes
// (m the pattern's length) while at least m bytes remain, so that every
// start position is examined once, in one buffer, and an occurrence across
// two reads is found at its true offset.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/tw_found_forms.h"
#include "engine/tw_records.h"
#include "matcher/multi_match.h"
#include "matcher/search_param.h"

namespace tw {

// The forms of a search of several: one matcher for them all, and their
// shortest and longest lengths. Pointed to by SearchParam::MULTI; read only
// while a search runs, so every scanning thread shares it.
struct ScanForms {
    MultiMatcher matcher;
    std::size_t count = 0;
    u64 shortest = 0;
    u64 longest = 0;
    std::vector<FoundForm> described;  // one per form, for TW_found_forms
};

inline const ScanForms* scan_forms(const SearchParam& sp) {
    return reinterpret_cast<const ScanForms*>(sp.MULTI);
}

// The length that cuts a file into text buffers: the pattern's, or the
// longest form's. Buffers start every TEXT_BUF_SIZE - span + 1 bytes.
inline u64 scan_span(const SearchParam& sp) {
    const ScanForms* forms = scan_forms(sp);
    return forms != nullptr ? forms->longest : sp.STR_END - sp.STR_START;
}

// The fewest bytes that can hold an occurrence: a file shorter than the
// span may still hold a shorter form.
inline u64 scan_least(const SearchParam& sp) {
    const ScanForms* forms = scan_forms(sp);
    return forms != nullptr ? forms->shortest : sp.STR_END - sp.STR_START;
}

// Bytes of one occurrence record as the scan hands it on: the file offset,
// the line count when lines are counted, and with several forms a third
// word whose low byte is the form's index.
inline u64 scan_record_len(const SearchParam& sp) {
    return ((sp.SEARCH_KIND & KIND_LINE_NB) != 0 ? 16 : 8) + (sp.MULTI != 0 ? 8 : 0);
}

// Receives what a scan finds.
class OccurrenceOut {
public:
    virtual ~OccurrenceOut() = default;
    // A buffer-full of occurrence records; false stops the scan (they
    // could not be kept).
    virtual bool take(const std::uint8_t* records, std::size_t bytes) = 0;
    // One text buffer is scanned: a point where a caller may do its
    // periodic work.
    virtual void buffer_scanned() {}
    // The most records the scan still has to hand on; it counts down as
    // they are, and at 0 the scan ends as if take() had refused. The
    // matcher is never asked for more, so a file scanned for its first
    // occurrence only stops at that occurrence.
    u64 records_wanted = ~u64{0};
};

// Scans `text`, which holds `size` bytes of the file from file offset
// `offset`, at every start position from `from` on where the pattern fits:
// runs the matcher of `sp` (which folds case itself, by sp.FOLD_MASK; the
// text is only read), and hands each buffer-full of records
// to `out`. sp.LINE_COUNT carries the line count from one call to the next.
// With `faulted`, the matcher runs under a SIGBUS guard (the text is a
// mapping of a file that may shrink), and a fault sets *faulted and drops
// the records not yet handed on. False when the scan did not reach the end
// of the text: `out` refused records, `stop` was raised or a fault.
// With several forms, the start positions examined end where the longest
// form fits, as for one pattern, except in the `last` text of the file,
// where they go on as long as the shortest fits.
bool scan_text(SearchParam& sp, std::uint8_t* text, u64 from, u64 size, u64 offset,
               OccurrenceOut& out, const std::atomic<std::uint8_t>& stop,
               bool* faulted = nullptr, bool last = false);

// How the scan of some text buffers of a regular file went.
struct PieceScan {
    u64 result = 0;      // 0, or ERR_READ_FILE with read_err the errno
    int read_err = 0;
    bool ended = false;  // the file ended (or shrank) within these buffers
    bool refused = false;  // `out` refused records
};

// Scans up to `chunks` text buffers of the regular file `fd`, noted as
// `size` bytes long, from file offset `first_pos` (a buffer's start), each
// read into sp's text buffer. Adds the bytes read to `bytes_read`.
// A file noted as 0 bytes long (/proc, /sys, FUSE files say so and still
// hold bytes) is read from its start to its end as a stream instead,
// whatever `chunks`.
PieceScan scan_read(SearchParam& sp, int fd, u64 size, u64 first_pos, u64 chunks,
                    OccurrenceOut& out, const std::atomic<std::uint8_t>& stop,
                    std::atomic<u64>& bytes_read);

// The same buffers from a read-only mapping of the file;
// nothing when the file cannot be mapped (the caller reads it instead).
std::optional<PieceScan> scan_mapped(SearchParam& sp, int fd, u64 size, u64 first_pos, u64 chunks,
                                     OccurrenceOut& out, const std::atomic<std::uint8_t>& stop,
                                     std::atomic<u64>& bytes_read);

}  // namespace tw
