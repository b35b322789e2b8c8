// Helpers of the matcher tests and of the matcher's fuzz target (so free of
// GoogleTest): buffers that end exactly where their memory ends, a search
// parameter block over them, and a naive oracle.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "matcher/isa.h"
#include "matcher/search_param.h"

namespace tw::test {

// The variants this processor can run, scalar first.
inline std::vector<Isa> supported_isas() {
    std::vector<Isa> out;
    for (Isa isa : {Isa::Scalar, Isa::Sse2, Isa::Avx2}) {
        if (matcher_isa_supported(isa)) out.push_back(isa);
    }
    return out;
}

// Forces a variant for the lifetime of the object, then selects as at first use.
struct IsaScope {
    explicit IsaScope(Isa isa) { set_matcher_isa(isa); }
    ~IsaScope() { reset_matcher_isa(); }
};

// Bytes allocated with new[] of exactly their size, so that AddressSanitizer
// reports any access past the end.
class ExactBytes {
public:
    ExactBytes(const std::uint8_t* src, std::size_t n) : n_(n), p_(new std::uint8_t[n == 0 ? 1 : n]) {
        if (n != 0) std::memcpy(p_, src, n);
    }
    explicit ExactBytes(std::size_t n) : n_(n), p_(new std::uint8_t[n == 0 ? 1 : n]) {}
    ~ExactBytes() { delete[] p_; }
    ExactBytes(const ExactBytes&) = delete;
    ExactBytes& operator=(const ExactBytes&) = delete;
    std::uint8_t* data() { return p_; }
    std::size_t size() const { return n_; }

private:
    std::size_t n_;
    std::uint8_t* p_;
};

// Bytes that end exactly at an inaccessible page, so that any access past
// the end faults, sanitizer or not.
class GuardedBytes {
public:
    explicit GuardedBytes(std::size_t n) : n_(n), page_(static_cast<std::size_t>(sysconf(_SC_PAGESIZE))) {
        pages_ = (n + page_ - 1) / page_ + 1;
        void* m = mmap(nullptr, pages_ * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) throw std::bad_alloc();
        base_ = static_cast<std::uint8_t*>(m);
        mprotect(base_ + (pages_ - 1) * page_, page_, PROT_NONE);
    }
    ~GuardedBytes() { munmap(base_, pages_ * page_); }
    std::uint8_t* data() { return base_ + (pages_ - 1) * page_ - n_; }

private:
    std::size_t n_, page_, pages_;
    std::uint8_t* base_;
};

inline std::uint64_t addr(const void* p) {
    return reinterpret_cast<std::uint64_t>(p);
}

struct Options {
    bool line_nb = false;
    bool case_insensitive = false;
    bool wildcard = false;
    std::uint8_t eol = 10;
    std::uint8_t wild = '?';
};

// A block for one pattern, whose bytes live in `pattern` (which must outlive
// the block, as must `fold`, its fold mask if any). Returns the result of
// init_tw_search.
inline std::uint64_t prepare(SearchParam& sr, std::vector<std::uint8_t>& pattern, const Options& o,
                             std::uint8_t* fold = nullptr) {
    sr = SearchParam{};
    sr.STR_START = addr(pattern.data());
    sr.STR_END = sr.STR_START + pattern.size();
    sr.EOL_CHAR = o.eol;
    sr.WILD_CHAR = o.wild;
    sr.SEARCH_KIND = (o.line_nb ? KIND_LINE_NB : 0) | (o.case_insensitive ? KIND_CASE_INSENSITIVE : 0) |
                     (o.wildcard ? KIND_WILDCARD : 0);
    sr.FOLD_MASK = addr(fold);
    return init_tw_search(sr);
}

inline void set_text(SearchParam& sr, const std::uint8_t* text, std::size_t n, std::uint64_t text_offset = 0) {
    sr.TEXT_START = addr(text);
    sr.TEXT_PTR = sr.TEXT_START;
    sr.TEXT_END = sr.TEXT_START + n;
    sr.TEXT_OFFSET = text_offset;
}

inline void set_occ(SearchParam& sr, void* occ, std::size_t bytes) {
    sr.OCC_START = addr(occ);
    sr.OCC_PTR = sr.OCC_START;
    sr.OCC_END = sr.OCC_START + bytes;
}

struct Record {
    std::uint64_t offset;
    std::uint64_t line;
    bool operator==(const Record&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Record& r) {
    return os << "{" << r.offset << ", line " << r.line << "}";
}

// Records between OCC_START and OCC_PTR (16 bytes each with line numbers,
// else 8 and line 0).
inline std::vector<Record> records(const SearchParam& sr) {
    const bool line_nb = (sr.SEARCH_KIND & KIND_LINE_NB) != 0;
    std::vector<Record> out;
    for (std::uint64_t p = sr.OCC_START; p < sr.OCC_PTR; p += line_nb ? 16 : 8) {
        Record r{};
        std::memcpy(&r.offset, reinterpret_cast<const void*>(p), 8);
        if (line_nb) std::memcpy(&r.line, reinterpret_cast<const void*>(p + 8), 8);
        out.push_back(r);
    }
    return out;
}

// Calls search_asm as the driver does for one buffer, emptying the occurrence
// buffer after each TW_END_OCC; returns every record and the results seen.
inline std::vector<Record> scan_all(SearchParam& sr, std::vector<std::uint64_t>* results = nullptr) {
    std::vector<Record> all;
    for (;;) {
        search_asm(&sr);
        if (results != nullptr) results->push_back(sr.SEARCH_RESULT);
        for (const Record& r : records(sr)) all.push_back(r);
        sr.OCC_PTR = sr.OCC_START;
        if (sr.SEARCH_RESULT != TW_END_OCC) return all;
    }
}

// The naive answer for one complete scan of text[from .. n) with the already
// lowered pattern p: every start position y from `from` to n - m in turn, the
// byte at y counted first when it is the end-of-line byte (eol >= 0), then
// the pattern compared whole (bytes equal to `wild` match anything when
// wild >= 0). Records carry line 0 without an end-of-line byte.
struct OracleResult {
    std::vector<Record> records;
    std::uint64_t line_count;
};

// With `fold`, the text byte at pattern position j is ORed with fold[j].
inline OracleResult oracle(const std::uint8_t* text, std::size_t n, std::size_t from, const std::vector<std::uint8_t>& p,
                           int wild, int eol, std::uint64_t line0 = 0, const std::uint8_t* fold = nullptr) {
    OracleResult r{{}, line0};
    const std::size_t m = p.size();
    for (std::size_t y = from; y + m <= n; ++y) {
        if (eol >= 0 && text[y] == eol) ++r.line_count;
        bool match = true;
        for (std::size_t j = 0; j < m && match; ++j) match = (wild >= 0 && p[j] == wild) || p[j] == (text[y + j] | (fold ? fold[j] : 0));
        if (match) r.records.push_back({y, eol >= 0 ? r.line_count : 0});
    }
    return r;
}

inline std::vector<std::uint8_t> bytes(const std::string& s) {
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

}  // namespace tw::test
