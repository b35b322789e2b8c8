// The parallel search against the single-threaded one: on random trees and
// files the result files, counters, error and listener calls are identical;
// a stop leaves a consistent prefix of the full result.
#include <sys/mman.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

#include "engine/tw.h"
#include "engine/tw_map_guard.h"
#include "engine_fixture.h"
#include "search_support.h"

using namespace tw;
using namespace tw_test;

namespace {

constexpr u64 kText = u64{64} << 10;  // the smallest text buffer

// Everything a search leaves behind that must not depend on threads.
struct Outcome {
    Bytes header, path, offset;
    u64 found = 0, files = 0, dirs = 0, file_err = 0, dir_err = 0, other_err = 0, bytes = 0;
    u64 fatal = 0;
    std::string error;
    std::vector<std::string> calls;  // the listener's, in order
};

std::string describe_difference(const Outcome& a, const Outcome& b) {
    std::ostringstream out;
    if (a.header != b.header) out << "TW_found_header differs (" << a.header.size() << " / " << b.header.size() << " bytes); ";
    if (a.path != b.path) out << "TW_found_path differs; ";
    if (a.offset != b.offset) out << "TW_found_offset differs (" << a.offset.size() << " / " << b.offset.size() << " bytes); ";
    const u64 l[] = {a.found, a.files, a.dirs, a.file_err, a.dir_err, a.other_err, a.bytes, a.fatal};
    const u64 r[] = {b.found, b.files, b.dirs, b.file_err, b.dir_err, b.other_err, b.bytes, b.fatal};
    const char* names[] = {"found", "files", "folders", "file errors", "folder errors", "other errors", "bytes", "fatal"};
    for (int i = 0; i < 8; ++i)
        if (l[i] != r[i]) out << names[i] << " " << l[i] << " / " << r[i] << "; ";
    if (a.error != b.error) out << "error text '" << a.error << "' / '" << b.error << "'; ";
    if (a.calls != b.calls) {
        out << "listener calls differ (" << a.calls.size() << " / " << b.calls.size() << ")";
        for (std::size_t i = 0; i < std::min(a.calls.size(), b.calls.size()); ++i)
            if (a.calls[i] != b.calls[i]) {
                out << " first at " << i << ": " << a.calls[i] << " / " << b.calls[i];
                break;
            }
    }
    return out.str();
}

struct CallRecorder : SearchListener {
    std::vector<std::string> calls;
    std::atomic<std::uint8_t>* stop = nullptr;
    std::size_t stop_after = 0;  // found files; 0 for never
    void found_file_done(u64 index, const FoundFileHeader& h, std::string_view dir,
                         std::string_view name) override {
        std::ostringstream s;
        s << "found " << index << " " << dir << "/" << name << " " << h.occ_nb << "@" << h.occ_pos;
        calls.push_back(s.str());
        if (stop != nullptr && stop_after != 0 && index + 1 == stop_after) stop->store(1);
    }
    void item_failed(std::string_view path, int err) override {
        calls.push_back("failed " + std::string(path) + " " + std::to_string(err));
    }
};

Outcome run_search(Engine& e, const std::string& found_dir, unsigned threads,
                   std::size_t stop_after = 0) {
    CallRecorder rec;
    rec.stop = &e.need_stop_searching;
    rec.stop_after = stop_after;
    e.listener = &rec;
    e.thread_count = threads;
    e.need_stop_searching.store(0);
    e.search_in_target();
    e.listener = nullptr;
    Outcome o;
    o.header = read_file(found_dir + "/TW_found_header");
    o.path = read_file(found_dir + "/TW_found_path");
    o.offset = read_file(found_dir + "/TW_found_offset");
    o.found = e.ir.found_nb.load();
    o.files = e.ir.file_nb.load();
    o.dirs = e.ir.dir_nb.load();
    o.file_err = e.ir.file_err_nb.load();
    o.dir_err = e.ir.dir_err_nb.load();
    o.other_err = e.ir.other_err_nb.load();
    o.bytes = e.ir.total_bytes.load();
    o.fatal = e.fatal_err_index;
    o.error = e.failure_detail();
    o.calls = std::move(rec.calls);
    return o;
}

// How a random tree's files are filled.
enum class Density { Sparse, Dense };

struct Case {
    const char* name;
    std::string pattern;
    bool lines;
    u64 eol;
    bool case_insensitive;
    Density density;
    unsigned seed;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// Sizes around the text buffers and pieces of a pattern of length m, with
// two text buffers per piece.
std::vector<std::size_t> boundary_sizes(std::size_t m) {
    const std::size_t stride = kText - m + 1;
    std::vector<std::size_t> sizes = {0, 1, m - 1, m, m + 1, 100, 4096};
    for (std::size_t k : {1u, 2u, 3u, 4u, 5u, 7u}) {
        const std::size_t edge = k * stride + m - 1;  // the bytes of k whole buffers
        for (long d : {-2L, -1L, 0L, 1L, 2L})
            if (static_cast<long>(edge) + d > 0) sizes.push_back(static_cast<std::size_t>(static_cast<long>(edge) + d));
    }
    return sizes;
}

std::string random_content(std::mt19937& rng, std::size_t size, const Case& c) {
    std::string text(size, 'x');
    const char* dense = c.case_insensitive ? "aAbB\n\r" : "ab\n\rab";
    for (std::size_t i = 0; i < size; ++i) {
        if (c.density == Density::Dense) {
            text[i] = dense[rng() % 6];
        } else {
            const unsigned r = rng() % 64;
            text[i] = r == 0 ? '\n' : r == 1 ? '\r' : static_cast<char>('c' + r % 20);
        }
    }
    // Occurrences at random places, also across buffer and piece edges.
    const std::size_t m = c.pattern.size();
    if (size >= m) {
        const std::size_t n = c.density == Density::Dense ? size / 16 : 3 + size / 20000;
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t at = rng() % (size - m + 1);
            for (std::size_t j = 0; j < m; ++j) {
                char ch = c.pattern[j];
                if (c.case_insensitive && (rng() & 1) != 0 && ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
                text[at + j] = ch;
            }
        }
        const std::size_t stride = kText - m + 1;
        for (std::size_t edge = stride; edge + m <= size; edge += stride) {
            // Straddling the start of the next buffer.
            const std::size_t at = edge - 1 - (rng() % std::min<std::size_t>(m, edge));
            if (at + m <= size) std::copy(c.pattern.begin(), c.pattern.end(), text.begin() + static_cast<long>(at));
        }
    }
    return text;
}

// A tree of folders at random depths holding files of the boundary sizes.
void make_tree(const std::string& root, const Case& c, std::mt19937& rng) {
    std::vector<std::string> dirs = {root};
    for (int i = 0; i < 6; ++i) {
        const std::string parent = dirs[rng() % dirs.size()];
        const std::string d = parent + "/d" + std::to_string(i);
        ::mkdir(d.c_str(), 0755);
        dirs.push_back(d);
    }
    const std::vector<std::size_t> sizes = boundary_sizes(c.pattern.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::string& d = dirs[rng() % dirs.size()];
        write_file(d + "/f" + std::to_string(i), random_content(rng, sizes[i], c));
    }
}

class ParallelSearchTest : public EngineTest, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // Small buffers and pieces of two buffers, so the boundary sizes
        // give many pieces.
        engine->pr.text_mem_size = kText;
        engine->pr.occ_mem_size = 1024;
        ASSERT_EQ(engine->initialize_tw_buffer(), 0u);
        engine->piece_bytes = 2 * kText;
    }
    void target(const Case& c, const std::vector<Item>& items) {
        set_target(*engine, c.pattern, items);
        engine->tr.add_line_nb = c.lines ? 1 : 0;
        engine->tr.eol_char = c.eol;
        engine->tr.case_insensitive = c.case_insensitive ? 1 : 0;
        engine->tr.skip_error = 1;
    }
    std::string found() const { return dir / "TW_found"; }
    TempDir data;
};

TEST_P(ParallelSearchTest, ResultsCountersAndListenerCallsEqualTheSingleThreadedSearch) {
    const Case& c = GetParam();
    std::mt19937 rng(c.seed);
    make_tree(data.path(), c, rng);
    // A file item and a missing item between two folder items.
    write_file(data / "single", random_content(rng, 3 * kText, c));
    target(c, {{data.path() + "/d0", true}, {data / "single", false}, {data / "missing", false},
               {data.path(), true}, {data / "gone", true}});
    const Outcome one = run_search(*engine, found(), 1);
    ASSERT_GT(one.found, 0u);
    ASSERT_GT(one.files, 20u);
    // Pieces read into buffers, then scanned from a mapping of the file.
    for (u64 map_min : {~u64{0}, u64{0}}) {
        engine->map_min_bytes = map_min;
        for (unsigned threads : {2u, 3u, 8u}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, mapped from " + std::to_string(map_min));
            const Outcome many = run_search(*engine, found(), threads);
            EXPECT_EQ(describe_difference(one, many), "");
        }
    }
}

TEST_P(ParallelSearchTest, AStopLeavesAConsistentPrefixOfTheFullResult) {
    const Case& c = GetParam();
    std::mt19937 rng(c.seed + 1000);
    make_tree(data.path(), c, rng);
    target(c, {{data.path(), true}});
    const Outcome full = run_search(*engine, found(), 1);
    const std::vector<FoundFile> all = read_results(found(), c.lines);
    ASSERT_GE(all.size(), 4u);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        Outcome part;
        if (round < 3) {
            // Stopped by the listener after a given found file: at the same
            // place in the order as the single-threaded search.
            const std::size_t after = 1 + rng() % (all.size() - 1);
            const Outcome one = run_search(*engine, found(), 1, after);
            part = run_search(*engine, found(), 3, after);
            EXPECT_EQ(part.header, one.header);
            EXPECT_EQ(part.path, one.path);
            EXPECT_EQ(part.offset, one.offset);
            EXPECT_EQ(part.calls, one.calls);
        } else {
            // Stopped from another thread at a random moment.
            engine->thread_count = 3;
            ASSERT_TRUE(engine->start_search_thread());
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 4000));
            engine->stop_and_join_search();
            part.found = engine->ir.found_nb.load();
            part.files = engine->ir.file_nb.load();
        }
        // Every found file but the last is the full result's; the last may
        // hold only the first of its occurrences.
        // Each header names a path written in full.
        const Bytes headers = read_file(found() + "/TW_found_header");
        const Bytes paths = read_file(found() + "/TW_found_path");
        for (std::size_t h = 0; h + 48 <= headers.size(); h += 48)
            ASSERT_TRUE(le64_at(headers, h + 16) < paths.size() &&
                        le64_at(headers, h) + le64_at(headers, h + 8) <= paths.size() &&
                        paths[le64_at(headers, h)] == '/')
                << "header " << h / 48 << " of " << headers.size() / 48 << ", dir at "
                << le64_at(headers, h) << "+" << le64_at(headers, h + 8) << ", occ "
                << le64_at(headers, h + 32) << "@" << le64_at(headers, h + 40);
        const std::vector<FoundFile> got = read_results(found(), c.lines);
        ASSERT_LE(got.size(), all.size());
        u64 records = 0;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].dir, all[i].dir);
            EXPECT_EQ(got[i].name, all[i].name);
            records += got[i].offsets.size();
            const auto& want = all[i].offsets;
            if (i + 1 < got.size()) {
                EXPECT_EQ(got[i].offsets, want);
                EXPECT_EQ(got[i].lines, all[i].lines);
            } else {
                ASSERT_LE(got[i].offsets.size(), want.size());
                EXPECT_TRUE(std::equal(got[i].offsets.begin(), got[i].offsets.end(), want.begin()));
            }
        }
        EXPECT_EQ(part.found, records);
        EXPECT_LE(part.files, full.files);
        EXPECT_EQ(engine->fatal_err_index, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, ParallelSearchTest,
    ::testing::Values(
        Case{"SparseOffsets", "needle", false, 10, false, Density::Sparse, 1},
        Case{"SparseLinesLf", "needle", true, 10, false, Density::Sparse, 2},
        Case{"SparseLinesCr", "needle", true, 13, false, Density::Sparse, 3},
        Case{"DenseLinesLf", "ab", true, 10, false, Density::Dense, 4},
        Case{"DenseLinesCr", "aba", true, 13, false, Density::Dense, 5},
        Case{"DenseOneByte", "a", false, 10, false, Density::Dense, 6},
        Case{"CaseInsensitiveLines", "abab", true, 10, true, Density::Dense, 7},
        Case{"LongPattern", std::string(70, 'q') + "z", true, 10, false, Density::Sparse, 8}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Files of one text buffer or less are scanned by the walk: written by it
// while nothing else is queued, committed in their turn behind larger files
// otherwise (waiting for the committer once they hold many records).
struct MixCase {
    const char* name;
    std::vector<std::size_t> sizes;  // met in the order the folders are listed
    bool dense;
};

void PrintTo(const MixCase& c, std::ostream* os) { *os << c.name; }

class SmallFileMixTest : public EngineTest, public ::testing::WithParamInterface<MixCase> {
protected:
    // Writes the case's files, each in a sub-folder of its own or all side
    // by side, and compares each thread count with one thread.
    void expect_as_one_thread(bool own_folders, u64 eol, unsigned seed,
                              std::initializer_list<unsigned> thread_counts) {
        const MixCase& c = GetParam();
        TempDir data;
        std::mt19937 rng(seed);
        const Case fill{"mix", "ab", true, eol, false, c.dense ? Density::Dense : Density::Sparse,
                        seed};
        for (std::size_t i = 0; i < c.sizes.size(); ++i) {
            std::string file = data / ("f" + std::to_string(i));
            if (own_folders) {
                const std::string d = data / ("d" + std::to_string(i));
                ::mkdir(d.c_str(), 0755);
                file = d + "/f";
            }
            write_file(file, random_content(rng, c.sizes[i], fill));
        }
        engine->pr.text_mem_size = kText;
        engine->pr.occ_mem_size = 1024;
        ASSERT_EQ(engine->initialize_tw_buffer(), 0u);
        engine->piece_bytes = 2 * kText;
        set_target(*engine, fill.pattern, {{data.path(), true}});
        engine->tr.add_line_nb = 1;
        engine->tr.eol_char = eol;
        engine->tr.skip_error = 1;
        const std::string found = dir / "TW_found";
        const Outcome one = run_search(*engine, found, 1);
        ASSERT_GT(one.found, 0u);
        for (unsigned threads : thread_counts) {
            SCOPED_TRACE(std::to_string(threads) + " threads");
            const Outcome many = run_search(*engine, found, threads);
            EXPECT_EQ(describe_difference(one, many), "");
        }
    }
};

TEST_P(SmallFileMixTest, ResultsEqualTheSingleThreadedSearch) {
    expect_as_one_thread(true, 10, 11, {2u, 4u});
}

TEST_P(SmallFileMixTest, ResultsEqualTheSingleThreadedSearchInOneFolder) {
    expect_as_one_thread(false, 13, 12, {2u, 3u});
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SmallFileMixTest,
    ::testing::Values(
        MixCase{"OnlySmall", {10, 100, 4096, kText - 1, kText, 1, 2, 300, kText, 7, 5000, 64}, false},
        MixCase{"AroundOneBuffer", {kText - 1, kText, kText + 1, kText + 2, kText, kText - 2, kText + 1}, true},
        MixCase{"SmallBehindLarge",
                {9 * kText, 100, kText, kText - 1, 5 * kText, 3, kText, kText, kText, 2 * kText + 5, 50, kText},
                false},
        // Dense one-buffer files behind large ones hold more records than a
        // queued job may keep: the walk waits for the committer.
        MixCase{"DenseSmallBehindLarge",
                {7 * kText, kText, kText, kText - 1, 6 * kText, kText, kText, 40, kText},
                true}),
    [](const ::testing::TestParamInfo<MixCase>& info) { return std::string(info.param.name); });

// A result file that cannot be written ends the search as on one thread,
// whether the walk writes a small file itself or queued it behind a large one.
TEST_F(EngineTest, AFullDiskEndsTheParallelSearchAsTheSingleThreadedOne) {
    for (bool behind_large : {false, true}) {
        SCOPED_TRACE(behind_large ? "behind a large file" : "small files only");
        TempDir data;
        std::mt19937 rng(13);
        const Case fill{"full", "needle", false, 10, false, Density::Sparse, 13};
        ::mkdir((data / "a").c_str(), 0755);
        if (behind_large) write_file(data / "a/big", random_content(rng, 5 * kText, fill));
        for (int i = 0; i < 3000; ++i) {
            write_file(data / ("a/s" + std::to_string(i)), random_content(rng, 200, fill));
        }
        engine->pr.text_mem_size = kText;
        ASSERT_EQ(engine->initialize_tw_buffer(), 0u);
        engine->piece_bytes = 2 * kText;
        set_target(*engine, fill.pattern, {{data / "a", true}});
        engine->tr.skip_error = 1;
        const std::string found = dir / "TW_found";
        std::filesystem::remove(found + "/TW_found_offset");
        ASSERT_EQ(::symlink("/dev/full", (found + "/TW_found_offset").c_str()), 0);
        for (unsigned threads : {1u, 2u}) {
            SCOPED_TRACE(std::to_string(threads) + " threads");
            engine->thread_count = threads;
            engine->need_stop_searching.store(0);
            engine->search_in_target();
            EXPECT_EQ(engine->fatal_err_index, ERR_WRITE_FILE);
            EXPECT_GE(engine->ir.other_err_nb.load(), 1u);
            EXPECT_LT(engine->ir.found_nb.load(), 3u * 3000u);
        }
        std::filesystem::remove(found + "/TW_found_offset");
    }
}

// Unreadable files and folders in the middle of the tree, met by a search
// that runs as an unprivileged user (permission checks do not stop root).
TEST_F(EngineTest, UnreadableItemsAreReportedInOrderAndCountedAsByOneThread) {
    TempDir data;
    const Case c{"Unreadable", "needle", true, 10, false, Density::Sparse, 9};
    std::mt19937 rng(c.seed);
    make_tree(data.path(), c, rng);
    const std::string dirs[] = {data / "d0", data / "d1"};
    for (const std::string& d : dirs) ::mkdir(d.c_str(), 0755);
    write_file(data / "d0/locked", "needle");
    ::chmod((data / "d0/locked").c_str(), 0);
    ::mkdir((data / "d1/closed").c_str(), 0);
    ::mkdir((data / "d1/listable").c_str(), 0744);
    write_file(data / "d1/listable/x", "needle");
    write_file(data / "d1/after", "a needle after");
    // The result folder belongs to the user the search runs as.
    const std::string found = dir / "TW_found";
    ASSERT_EQ(::chown(found.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(dir.path().c_str(), 65534, 65534), 0);
    engine->pr.text_mem_size = kText;
    ASSERT_EQ(engine->initialize_tw_buffer(), 0u);
    engine->piece_bytes = 2 * kText;
    set_target(*engine, c.pattern, {{data.path(), true}, {data / "d0/locked", false}});
    engine->tr.add_line_nb = 1;
    engine->tr.skip_error = 1;

    const int status = run_as_nobody([&] {
        const Outcome one = run_search(*engine, found, 1);
        if (one.file_err == 0 || one.dir_err < 2 || one.found == 0) return 2;
        for (unsigned threads : {2u, 4u}) {
            const Outcome many = run_search(*engine, found, threads);
            const std::string diff = describe_difference(one, many);
            if (!diff.empty()) {
                std::fprintf(stderr, "%u threads: %s\n", threads, diff.c_str());
                return 1;
            }
        }
        return 0;
    });
    EXPECT_EQ(status, 0);
    ::chown(dir.path().c_str(), 0, 0);
}

// A search that stops at the first unreadable item runs on one thread
// whatever the setting, so its result is the single-threaded one.
TEST_F(EngineTest, StopOnErrorSearchGivesTheSingleThreadedResult) {
    TempDir data;
    const Case c{"StopOnError", "needle", false, 10, false, Density::Sparse, 10};
    std::mt19937 rng(c.seed);
    make_tree(data.path(), c, rng);
    set_target(*engine, c.pattern, {{data.path(), true}});
    engine->tr.skip_error = 0;
    const std::string found = dir / "TW_found";
    const Outcome one = run_search(*engine, found, 1);
    const Outcome many = run_search(*engine, found, 4);
    EXPECT_EQ(describe_difference(one, many), "");
}

// A file that shrinks while it is mapped: the guarded scan ends with false
// instead of the process ending on SIGBUS; an unguarded fault elsewhere is
// not caught, and a call that does not fault returns true.
TEST(MapGuard, AFileShrunkUnderItsMappingEndsTheCallNotTheProcess) {
#if defined(__SANITIZE_THREAD__)
    // Under ThreadSanitizer the process ends on the fault before the
    // guard's handler runs; the other builds check the guard.
    GTEST_SKIP() << "SIGBUS is not passed on under ThreadSanitizer";
#endif
    TempDir data;
    const std::string path = data / "shrinks";
    write_file(path, std::string(1 << 16, 'x'));
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    void* map = ::mmap(nullptr, 1 << 16, PROT_READ, MAP_SHARED, fd, 0);
    ASSERT_NE(map, MAP_FAILED);
    struct Read {
        const volatile char* at;
        long sum;
    } last{static_cast<const char*>(map) + (1 << 16) - 1, 0};
    auto touch = [](void* arg) {
        auto* r = static_cast<Read*>(arg);
        r->sum += *r->at;
    };
    EXPECT_TRUE(tw::run_guarded(touch, &last));
    EXPECT_EQ(last.sum, 'x');
    ASSERT_EQ(::truncate(path.c_str(), 100), 0);
    EXPECT_FALSE(tw::run_guarded(touch, &last));
    EXPECT_FALSE(tw::run_guarded(touch, &last));  // again: the handler stays
    Read first{static_cast<const char*>(map), 0};
    EXPECT_TRUE(tw::run_guarded(touch, &first));
    // (SIGBUS, or an abort where a sanitizer reports the fault.)
    EXPECT_DEATH(
        {
            (void)*last.at;
            std::exit(0);
        },
        "");
    ::munmap(map, 1 << 16);
    ::close(fd);
}

TEST_F(EngineTest, ThreadCountZeroMeansOnePerCore) {
    engine->thread_count = 0;
    EXPECT_GE(engine->effective_thread_count(), 1u);
    EXPECT_EQ(engine->effective_thread_count(), std::max(1u, std::thread::hardware_concurrency()));
    engine->thread_count = 3;
    EXPECT_EQ(engine->effective_thread_count(), 3u);
}

}  // namespace
