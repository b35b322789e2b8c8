// The scanning routine and the read and mapped ways of feeding it.
#include "engine/tw_scan.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "engine/tw_fd.h"
#include "engine/tw_map_guard.h"

namespace tw {

namespace {

void search_block(void* sp) { search_asm(static_cast<SearchParam*>(sp)); }

bool stopping(const std::atomic<std::uint8_t>& stop) {
    return stop.load(std::memory_order_relaxed) != 0;
}

}  // namespace

bool scan_text(SearchParam& sp, std::uint8_t* text, u64 from, u64 size, u64 offset,
               OccurrenceOut& out, const std::atomic<std::uint8_t>& stop, bool* faulted) {
    const u64 saved_start = sp.TEXT_START;
    sp.TEXT_START = reinterpret_cast<u64>(text);
    sp.TEXT_PTR = sp.TEXT_START + from;
    sp.TEXT_END = sp.TEXT_START + size;
    sp.TEXT_OFFSET = offset;
    sp.OCC_PTR = sp.OCC_START;
    bool whole = false;
    for (;;) {
        if (faulted != nullptr) {
            if (!run_guarded(&search_block, &sp)) {
                *faulted = true;
                sp.OCC_PTR = sp.OCC_START;
                break;
            }
        } else {
            search_asm(&sp);
        }
        if (sp.OCC_PTR != sp.OCC_START) {
            const bool kept = out.take(reinterpret_cast<const std::uint8_t*>(sp.OCC_START),
                                       static_cast<std::size_t>(sp.OCC_PTR - sp.OCC_START));
            sp.OCC_PTR = sp.OCC_START;
            if (!kept) break;
        }
        if (sp.SEARCH_RESULT != TW_END_OCC) {
            whole = true;
            break;
        }
        if (stopping(stop)) break;
    }
    sp.TEXT_START = saved_start;
    return whole;
}

PieceScan scan_stream(SearchParam& sp, int fd, OccurrenceOut& out,
                      const std::atomic<std::uint8_t>& stop, std::atomic<u64>& bytes_read) {
    PieceScan scan;
    const u64 m = sp.STR_END - sp.STR_START;
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
        if (have >= m) {
            if (!scan_text(sp, text, 0, have, base, out, stop)) {
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
    const u64 m = sp.STR_END - sp.STR_START;
    auto* text = reinterpret_cast<std::uint8_t*>(sp.TEXT_START);
    u64 pos = first_pos;
    for (u64 c = 0; c < chunks && !stopping(stop); ++c) {
        if (size < pos || size - pos < m) {
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
        if (n < m) {
            scan.ended = true;
            break;
        }
        if (!scan_text(sp, text, 0, n, pos, out, stop)) {
            scan.refused = !stopping(stop);
            break;
        }
        out.buffer_scanned();
        pos += n - m + 1;
        if (n < limit) {
            scan.ended = true;
            break;
        }
    }
    return scan;
}

std::optional<PieceScan> scan_mapped(SearchParam& sp, int fd, u64 size, u64 first_pos, u64 chunks,
                                     OccurrenceOut& out, const std::atomic<std::uint8_t>& stop,
                                     std::atomic<u64>& bytes_read) {
    // A size of 0 may hide bytes that only reading shows.
    if (size == 0) return std::nullopt;
    PieceScan scan;
    const u64 m = sp.STR_END - sp.STR_START;
    // The bytes the buffers would hold, read one after the other: the same
    // start positions and the same byte count.
    u64 pos = first_pos, end = pos, bytes = 0;
    for (u64 c = 0; c < chunks; ++c) {
        if (size < pos || size - pos < m) {
            scan.ended = true;
            break;
        }
        const u64 limit = std::min<u64>(sp.TEXT_BUF_SIZE, size - pos);
        bytes += limit;
        end = pos + limit;
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
                   out, stop, &faulted))
        scan.refused = !faulted && !stopping(stop);
    ::munmap(map, map_len);
    // The file shrank under the mapping: it ends there, as a short read
    // would end it.
    if (faulted) scan.ended = true;
    bytes_read.fetch_add(bytes, std::memory_order_relaxed);
    return scan;
}

}  // namespace tw
