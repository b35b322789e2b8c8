// The scanning routine and the read and mapped ways of feeding it.
#include "engine/tw_scan.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/tw_fd.h"
#include "engine/tw_le.h"
#include "engine/tw_map_guard.h"

namespace tw {

namespace {

void search_block(void* sp) { search_asm(static_cast<SearchParam*>(sp)); }

bool stopping(const std::atomic<std::uint8_t>& stop) {
    return stop.load(std::memory_order_relaxed) != 0;
}

u64 count_eol(const std::uint8_t* from, const std::uint8_t* to, std::uint8_t eol) {
    u64 n = 0;
    for (const std::uint8_t* p = from; p < to;) {
        const void* hit = std::memchr(p, eol, static_cast<std::size_t>(to - p));
        if (hit == nullptr) break;
        ++n;
        p = static_cast<const std::uint8_t*>(hit) + 1;
    }
    return n;
}

// The records the scan may still ask the matcher for, of `record` bytes
// each: what the record buffer holds, or fewer when `out` wants fewer.
u64 records_room(const SearchParam& sp, const OccurrenceOut& out, u64 record) {
    return std::min(sp.OCC_BUF_SIZE / record, out.records_wanted);
}

// Hands the records the matcher left in the record buffer to `out`. False
// when the scan ends there: `out` refused them or wants no more.
bool hand_on(SearchParam& sp, OccurrenceOut& out, u64 record) {
    if (sp.OCC_PTR == sp.OCC_START) return true;
    const auto bytes = static_cast<std::size_t>(sp.OCC_PTR - sp.OCC_START);
    const bool kept = out.take(reinterpret_cast<const std::uint8_t*>(sp.OCC_START), bytes);
    sp.OCC_PTR = sp.OCC_START;
    out.records_wanted -= std::min<u64>(out.records_wanted, bytes / record);
    return kept && out.records_wanted != 0;
}

// One stretch of a several-form scan: from `at` to `end` at most, as many
// occurrences as the record buffer holds, turned into records there.
struct MultiStep {
    SearchParam* sp;
    const ScanForms* forms;
    const std::uint8_t* text;
    u64 size;
    u64 at;
    u64 end;
    MultiOccurrence* found;
    std::size_t capacity;
    u64 next = 0;
    std::size_t count = 0;
};

void multi_step(void* arg) {
    MultiStep& st = *static_cast<MultiStep*>(arg);
    SearchParam& sp = *st.sp;
    const MultiScanResult r = st.forms->matcher.scan(st.text, st.size, st.at, st.end,
                                                     sp.TEXT_OFFSET, st.found, st.capacity);
    const bool lines = (sp.SEARCH_KIND & KIND_LINE_NB) != 0;
    const auto eol = static_cast<std::uint8_t>(sp.EOL_CHAR);
    // A record's line count, as the single-pattern routines give it: the
    // end-of-line bytes up to and including the occurrence's first byte.
    u64 counted = st.at;
    auto* rec = reinterpret_cast<std::uint8_t*>(sp.OCC_START);
    for (std::size_t i = 0; i < r.count; ++i) {
        const MultiOccurrence& o = st.found[i];
        store_le64(rec, o.offset);
        rec += 8;
        if (lines) {
            const u64 pos = o.offset - sp.TEXT_OFFSET;
            sp.LINE_COUNT += count_eol(st.text + counted, st.text + pos + 1, eol);
            counted = std::max(counted, pos + 1);
            store_le64(rec, sp.LINE_COUNT);
            rec += 8;
        }
        store_le64(rec, o.pattern);
        rec += 8;
    }
    if (lines && r.next > counted) sp.LINE_COUNT += count_eol(st.text + counted, st.text + r.next, eol);
    sp.OCC_PTR = reinterpret_cast<u64>(rec);
    st.next = r.next;
    st.count = r.count;
}

// scan_text for a search of several forms.
bool scan_forms_text(SearchParam& sp, std::uint8_t* text, u64 from, u64 size, u64 offset,
                     OccurrenceOut& out, const std::atomic<std::uint8_t>& stop, bool* faulted,
                     bool last) {
    const ScanForms& forms = *scan_forms(sp);
    const u64 span = forms.longest;
    // Start positions up to where the longest form fits; the rest belong
    // to the next text, unless the file ends here.
    const u64 end = last ? size : size >= span ? size - span + 1 : 0;
    const u64 record = scan_record_len(sp);
    const std::size_t capacity = static_cast<std::size_t>(sp.OCC_BUF_SIZE / record);
    thread_local std::vector<MultiOccurrence> found;
    if (found.size() < capacity) found.resize(capacity);
    sp.TEXT_OFFSET = offset;
    MultiStep st{&sp, &forms, text, size, from, end, found.data(), capacity};
    while (st.at < end) {
        sp.OCC_PTR = sp.OCC_START;
        // Every occurrence at one position fits, however few are wanted.
        st.capacity = static_cast<std::size_t>(std::max<u64>(records_room(sp, out, record), forms.count));
        if (faulted != nullptr) {
            if (!run_guarded(&multi_step, &st)) {
                *faulted = true;
                sp.OCC_PTR = sp.OCC_START;
                return false;
            }
        } else {
            multi_step(&st);
        }
        if (!hand_on(sp, out, record)) return false;
        st.at = st.next;
        if (st.at < end && stopping(stop)) return false;
    }
    return true;
}

}  // namespace

bool scan_text(SearchParam& sp, std::uint8_t* text, u64 from, u64 size, u64 offset,
               OccurrenceOut& out, const std::atomic<std::uint8_t>& stop, bool* faulted,
               bool last) {
    if (out.records_wanted == 0) return false;
    if (sp.MULTI != 0) return scan_forms_text(sp, text, from, size, offset, out, stop, faulted, last);
    const u64 saved_start = sp.TEXT_START;
    sp.TEXT_START = reinterpret_cast<u64>(text);
    sp.TEXT_PTR = sp.TEXT_START + from;
    sp.TEXT_END = sp.TEXT_START + size;
    sp.TEXT_OFFSET = offset;
    sp.OCC_PTR = sp.OCC_START;
    const u64 saved_end = sp.OCC_END;
    const u64 record = scan_record_len(sp);
    bool whole = false;
    for (;;) {
        sp.OCC_END = sp.OCC_START + records_room(sp, out, record) * record;
        if (faulted != nullptr) {
            if (!run_guarded(&search_block, &sp)) {
                *faulted = true;
                sp.OCC_PTR = sp.OCC_START;
                break;
            }
        } else {
            search_asm(&sp);
        }
        const bool ended = sp.SEARCH_RESULT != TW_END_OCC;
        // Handing on may end the scan even at the text's end: a caller
        // reading more text of the file must not go on.
        if (!hand_on(sp, out, record)) break;
        if (ended) {
            whole = true;
            break;
        }
        if (stopping(stop)) break;
    }
    sp.OCC_END = saved_end;
    sp.TEXT_START = saved_start;
    return whole;
}

PieceScan scan_stream(SearchParam& sp, int fd, OccurrenceOut& out,
                      const std::atomic<std::uint8_t>& stop, std::atomic<u64>& bytes_read) {
    PieceScan scan;
    const u64 m = scan_span(sp);
    const u64 least = scan_least(sp);
    const u64 keep = m - 1;
    auto* text = reinterpret_cast<std::uint8_t*>(sp.TEXT_START);
    u64 have = 0;  // bytes in the buffer, the carried ones included
    u64 base = 0;  // file offset of the buffer's first byte
    while (!stopping(stop)) {
        int err = 0;
        const u64 n = read_full(fd, text + have, sp.TEXT_BUF_SIZE - have, &err);
        // A file that has nothing more to give now (EAGAIN on a
        // non-blocking descriptor) ends here: the search does not wait.
        if (err != 0 && err != EAGAIN) {
            scan.result = ERR_READ_FILE;
            scan.read_err = err;
            break;
        }
        bytes_read.fetch_add(n, std::memory_order_relaxed);
        have += n;
        const bool end = err != 0 || have < sp.TEXT_BUF_SIZE;
        // With several forms the stream's last bytes may still hold a
        // form shorter than the longest.
        if (have >= m || (end && have >= least)) {
            if (!scan_text(sp, text, 0, have, base, out, stop, nullptr, end)) {
                scan.refused = !stopping(stop);
                break;
            }
            out.buffer_scanned();
        }
        if (end) {
            scan.ended = true;
            break;
        }
        // The positions from have - keep on could not hold a whole
        // occurrence yet: their bytes start the next piece.
        std::memmove(text, text + have - keep, keep);
        base += have - keep;
        have = keep;
    }
    return scan;
}

PieceScan scan_read(SearchParam& sp, int fd, u64 size, u64 first_pos, u64 chunks,
                    OccurrenceOut& out, const std::atomic<std::uint8_t>& stop,
                    std::atomic<u64>& bytes_read) {
    // A regular file whose size reads 0 may still hold bytes (/proc, /sys,
    // some FUSE files): it is read to its end as a stream.
    if (size == 0 && first_pos == 0) return scan_stream(sp, fd, out, stop, bytes_read);
    PieceScan scan;
    const u64 m = scan_span(sp);
    const u64 least = scan_least(sp);
    auto* text = reinterpret_cast<std::uint8_t*>(sp.TEXT_START);
    u64 pos = first_pos;
    for (u64 c = 0; c < chunks && !stopping(stop); ++c) {
        // A text shorter than the span starts only at the file's start.
        const u64 need = pos == 0 ? least : m;
        if (size < pos || size - pos < need) {
            scan.ended = true;
            break;
        }
        const u64 limit = std::min<u64>(sp.TEXT_BUF_SIZE, size - pos);
        int err = 0;
        const u64 n = pread_full(fd, text, limit, static_cast<off_t>(pos), &err);
        if (err != 0) {
            scan.result = ERR_READ_FILE;
            scan.read_err = err;
            break;
        }
        bytes_read.fetch_add(n, std::memory_order_relaxed);
        // A file that shrank since its size was noted ends here.
        if (n < need) {
            scan.ended = true;
            break;
        }
        const bool last = n < limit || pos + n >= size;
        if (!scan_text(sp, text, 0, n, pos, out, stop, nullptr, last)) {
            scan.refused = !stopping(stop);
            break;
        }
        out.buffer_scanned();
        if (n < limit || n < m) {
            scan.ended = true;
            break;
        }
        pos += n - m + 1;
    }
    return scan;
}

std::optional<PieceScan> scan_mapped(SearchParam& sp, int fd, u64 size, u64 first_pos, u64 chunks,
                                     OccurrenceOut& out, const std::atomic<std::uint8_t>& stop,
                                     std::atomic<u64>& bytes_read) {
    // A size of 0 may hide bytes that only reading shows.
    if (size == 0) return std::nullopt;
    PieceScan scan;
    const u64 m = scan_span(sp);
    const u64 least = scan_least(sp);
    // The bytes the buffers would hold, read one after the other: the same
    // start positions and the same byte count.
    u64 pos = first_pos, end = pos, bytes = 0;
    for (u64 c = 0; c < chunks; ++c) {
        if (size < pos || size - pos < (pos == 0 ? least : m)) {
            scan.ended = true;
            break;
        }
        const u64 limit = std::min<u64>(sp.TEXT_BUF_SIZE, size - pos);
        bytes += limit;
        end = pos + limit;
        if (limit < m) break;
        pos += limit - m + 1;
    }
    if (bytes == 0) return scan;
    static const u64 page = static_cast<u64>(::sysconf(_SC_PAGESIZE));
    const u64 map_from = first_pos & ~(page - 1);
    const u64 map_len = end - map_from;
    void* map = ::mmap(nullptr, map_len, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(map_from));
    if (map == MAP_FAILED) return std::nullopt;
    ::madvise(map, map_len, MADV_SEQUENTIAL);
    bool faulted = false;
    // The matcher only reads the text: a mapping needs no copy.
    if (!scan_text(sp, static_cast<std::uint8_t*>(map), first_pos - map_from, map_len, map_from,
                   out, stop, &faulted, end >= size))
        scan.refused = !faulted && !stopping(stop);
    ::munmap(map, map_len);
    // The file shrank under the mapping: it ends there, as a short read
    // would end it.
    if (faulted) scan.ended = true;
    bytes_read.fetch_add(bytes, std::memory_order_relaxed);
    return scan;
}

}  // namespace tw
