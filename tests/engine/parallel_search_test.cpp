// The parallel search against the single-threaded one: on random trees the
// result files, counters, error and sink calls are identical, with small
// pieces so that many occurrences straddle two of them; a stop leaves what
// the single-threaded search leaves; a file shrunk under its mapping ends
// the scan of that file, not the process.
#include <fcntl.h>
#include <ftw.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <random>
#include <set>
#include <tuple>

#include "engine/tw.h"
#include "engine/tw_le.h"
#include "engine/tw_map_guard.h"
#include "engine_fixture.h"

using namespace tw;
using namespace tw_test;

namespace {

constexpr u64 kText = u64{64} << 10;  // the smallest text buffer

// Everything a search leaves behind that must not depend on threads.
struct Outcome {
    Bytes header, path, offset;
    std::vector<u64> counters;
    std::string error;
    std::vector<std::string> calls;  // the sink's, in order
};

std::string difference(const Outcome& a, const Outcome& b) {
    std::string out;
    if (a.header != b.header) out += "TW_found_header; ";
    if (a.path != b.path) out += "TW_found_path; ";
    if (a.offset != b.offset) out += "TW_found_offset; ";
    // found, files, folders, file/folder/other errors, bytes, fatal error
    if (a.counters != b.counters)
        out += ::testing::PrintToString(a.counters) + " / " + ::testing::PrintToString(b.counters) + "; ";
    if (a.error != b.error) out += "'" + a.error + "' / '" + b.error + "'; ";
    if (a.calls != b.calls) out += "sink calls";
    return out;
}

// A sink that records every call, and the records of each found file as
// it received them.
struct CallRecorder : ResultSink {
    std::vector<std::string> calls;
    Bytes records;       // of the found files, in order
    Bytes file_records;  // of the file being searched
    std::atomic<std::uint8_t>* stop = nullptr;
    std::size_t stop_after = 0;  // found files; 0 for never
    u64 occurrences(std::string_view, std::string_view, const std::uint8_t* data,
                    std::size_t bytes) override {
        file_records.insert(file_records.end(), data, data + bytes);
        return 0;
    }
    u64 file_found(const FoundFile& f) override {
        calls.push_back("found " + std::to_string(f.index) + " " + std::string(f.dir) + "/" +
                        std::string(f.name) + " " + std::to_string(f.occ_nb) + " " +
                        std::to_string(file_records.size()));
        records.insert(records.end(), file_records.begin(), file_records.end());
        file_records.clear();
        if (stop_after != 0 && f.index + 1 == stop_after) stop->store(1);
        return 0;
    }
    void file_dropped() override {
        calls.push_back("dropped");
        file_records.clear();
    }
    void item_failed(std::string_view path, int err) override {
        calls.push_back("failed " + std::string(path) + " " + std::to_string(err));
    }
};

// The records of every found file of the result files, in order.
Bytes found_records(const Bytes& header, const Bytes& offset, u64 record_len) {
    Bytes out;
    for (std::size_t at = 0; at + 48 <= header.size(); at += 48) {
        const u64 nb = load_le64(header.data() + at + 32), pos = load_le64(header.data() + at + 40);
        if (pos + nb * record_len > offset.size()) return {};
        out.insert(out.end(), offset.begin() + static_cast<std::ptrdiff_t>(pos),
                   offset.begin() + static_cast<std::ptrdiff_t>(pos + nb * record_len));
    }
    return out;
}

Outcome run_search(Engine& e, const std::string& found_dir, unsigned threads, std::size_t stop_after = 0) {
    CallRecorder rec;
    rec.stop = &e.need_stop_searching;
    rec.stop_after = stop_after;
    e.sinks = {&rec};
    e.thread_count = threads;
    e.need_stop_searching.store(0);
    e.search_in_target();
    e.sinks.clear();
    const InfoRecord& ir = e.ir;
    Bytes header = read_file(found_dir + "/TW_found_header");
    Bytes offset = read_file(found_dir + "/TW_found_offset");
    // A sink receives exactly the records the result files give each found file.
    EXPECT_TRUE(rec.records == found_records(header, offset, e.tr.add_line_nb != 0 ? 16 : 8));
    return {std::move(header), read_file(found_dir + "/TW_found_path"), std::move(offset),
            {ir.found_nb, ir.file_nb, ir.dir_nb, ir.file_err_nb, ir.dir_err_nb, ir.other_err_nb,
             ir.total_bytes, e.fatal_err_index},
            e.failure_detail(), std::move(rec.calls)};
}

struct Case {
    const char* name;
    std::string pattern;
    bool lines;
    u64 eol;
    bool fold;   // case-insensitive
    bool dense;  // few distinct bytes, occurrences everywhere
    std::vector<std::size_t> sizes;  // the files; none for sizes around the buffers
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// Sizes around the text buffers of a pattern of length m.
std::vector<std::size_t> boundary_sizes(std::size_t m) {
    const std::size_t stride = kText - m + 1;
    std::vector<std::size_t> sizes = {0, 1, m - 1, m, m + 1, 100, 4096};
    for (std::size_t k : {1u, 2u, 3u, 4u, 5u, 7u})
        for (std::size_t d = 0; d < 5; ++d)
            if (!kInstrumentedBuild || (k % 2 == 1 && k < 7)) sizes.push_back(k * stride + m - 3 + d);
    return sizes;
}

std::string random_content(std::mt19937& rng, std::size_t size, const Case& c) {
    std::string text(size, 'x');
    const char* dense = c.fold ? "aAbB\n\r" : "ab\n\rab";
    for (char& ch : text) {
        const unsigned r = rng() % 64;
        ch = c.dense ? dense[r % 6] : r == 0 ? '\n' : r == 1 ? '\r' : static_cast<char>('c' + r % 20);
    }
    const std::size_t m = c.pattern.size();
    if (size < m) return text;
    for (std::size_t i = 0, n = c.dense ? size / 16 : 3 + size / 20000; i < n; ++i)
        text.replace(rng() % (size - m + 1), m, c.pattern);
    // Occurrences straddling the start of each next buffer.
    const std::size_t stride = kText - m + 1;
    for (std::size_t edge = stride; edge + m <= size; edge += stride) {
        const std::size_t at = edge - 1 - rng() % std::min(m, edge);
        if (at + m <= size) text.replace(at, m, c.pattern);
    }
    return text;
}

// Folders at random depths holding the case's files.
void make_tree(const std::string& root, const Case& c, std::mt19937& rng) {
    std::vector<std::string> dirs = {root};
    for (int i = 0; i < 6; ++i) {
        dirs.push_back(dirs[rng() % dirs.size()] + "/d" + std::to_string(i));
        ::mkdir(dirs.back().c_str(), 0755);
    }
    const auto sizes = c.sizes.empty() ? boundary_sizes(c.pattern.size()) : c.sizes;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        write_file(dirs[rng() % dirs.size()] + "/f" + std::to_string(i), random_content(rng, sizes[i], c));
}

class ParallelSearchTest : public EngineTest, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        use_buffers(kText, 1024, true);  // the boundary sizes give many pieces
    }
};

TEST_P(ParallelSearchTest, ResultsCountersAndSinkCallsEqualTheSingleThreadedSearch) {
    const Case& c = GetParam();
    std::mt19937 rng(static_cast<unsigned>(c.pattern.size() * 31 + c.eol + c.sizes.size()));
    make_tree(data.path(), c, rng);
    // A file item and a missing item between two folder items.
    make_file("single", random_content(rng, 3 * kText, c));
    set_target(*engine, c.pattern, {{at("d0"), true}, {at("single"), false}, {at("missing"), false},
                                    {data.path(), true}, {at("gone"), true}});
    engine->tr.add_line_nb = c.lines ? 1 : 0;
    engine->tr.eol_char = c.eol;
    engine->tr.case_insensitive = c.fold ? 1 : 0;
    const Outcome one = run_search(*engine, found(), 1);
    ASSERT_GT(one.counters[0], 0u);
    // Pieces read into buffers, then scanned from a mapping of the file.
    for (u64 map_min : {~u64{0}, u64{0}}) {
        engine->map_min_bytes = map_min;
        for (unsigned threads : {2u, 3u, 8u}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, mapped from " + std::to_string(map_min));
            // Sub-folders listed ahead by helper threads, or as the scanners wait.
            engine->walk_ahead = threads == 2 ? Engine::kAheadWhenWaited : Engine::kAheadAlways;
            EXPECT_EQ(difference(one, run_search(*engine, found(), threads)), "");
        }
    }
    // Stopped by the sink after a given found file: the same result as
    // the single-threaded search stopped at the same place.
    const std::size_t found_files = one.header.size() / 48;
    for (std::size_t after : {std::size_t{1}, found_files / 2, found_files - 1}) {
        SCOPED_TRACE("stopped after " + std::to_string(after));
        const Outcome a = run_search(*engine, found(), 1, after), b = run_search(*engine, found(), 3, after);
        EXPECT_EQ(std::tie(a.header, a.path, a.offset, a.calls), std::tie(b.header, b.path, b.offset, b.calls));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, ParallelSearchTest,
    ::testing::Values(
        Case{"SparseOffsets", "needle", false, 10, false, false, {}},
        Case{"SparseLinesCr", "needle", true, 13, false, false, {}},
        Case{"DenseLinesLf", "ab", true, 10, false, true, {}},
        Case{"DenseLinesCr", "aba", true, 13, false, true, {}},
        Case{"DenseOneByte", "a", false, 10, false, true, {}},
        Case{"CaseInsensitiveLines", "abab", true, 10, true, true, {}},
        Case{"LongPattern", std::string(70, 'q') + "z", true, 10, false, false, {}},
        // Files of one buffer or less are scanned by the walk itself, and
        // committed in their turn behind larger files.
        Case{"SmallBehindLarge", "ab", true, 10, false, false,
             {9 * kText, 100, kText, kText - 1, 5 * kText, 3, kText, kText, 2 * kText + 5, 50, kText}},
        Case{"DenseSmallBehindLarge", "ab", true, 13, false, true,
             {7 * kText, kText, kText, kText - 1, 6 * kText, kText, kText, 40, kText}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Trees whose folders are interrupted by many sub-folders: a wide folder
// whose listing takes several getdents64 calls, and a comb deeper than the
// descriptors the walk keeps open, each level holding leaves around the
// next one. Each thread count finds every file once, in the order of a
// recursive walk of the listings (nftw); on one thread, files removed and
// added while the walk runs change nothing for the others.
std::vector<std::string> files_in_listing_order(const std::string& root) {
    static std::vector<std::string>* out;
    std::vector<std::string> files;
    out = &files;
    ::nftw(root.c_str(), [](const char* path, const struct stat* st, int flag, FTW*) {
        if (flag == FTW_F && S_ISREG(st->st_mode)) out->push_back(path);
        return 0;
    }, 32, FTW_PHYS);
    return files;
}

struct Mutator : ResultSink {
    std::vector<std::string> victims;  // removed one per found file
    std::string add_at;
    u64 file_found(const FoundFile& f) override {
        const u64 index = f.index;
        if (index < victims.size()) ::unlink(victims[index].c_str());
        write_file(add_at + "/new" + std::to_string(index), "needle");
        ::mkdir((add_at + "/newdir" + std::to_string(index)).c_str(), 0755);
        return 0;
    }
};

TEST_F(EngineTest, WideAndDeepTreesAreWalkedOnceInListingOrder) {
    const std::string name(120, 'w');
    for (int i = 0; i < 400; ++i) {
        const std::string sub = "wide/" + name + std::to_string(i);
        std::filesystem::create_directories(at(sub));
        make_file(sub + "/f", "needle");
        if (i % 7 == 0) make_file("wide/file" + std::to_string(i), "needle");
    }
    std::string level = at("comb");
    for (int depth = 0; depth < 20; ++depth, level += "/next") {
        ::mkdir(level.c_str(), 0755);
        for (int leaf = 0; leaf < 8; ++leaf) {
            ::mkdir((level + "/leaf" + std::to_string(leaf)).c_str(), 0755);
            write_file(level + "/leaf" + std::to_string(leaf) + "/f", "needle");
        }
        write_file(level + "/file", "needle");
    }
    const std::vector<std::string> want = files_in_listing_order(data.path());
    set_target(*engine, "needle", {{data.path(), true}});
    engine->walk_ahead = Engine::kAheadAlways;
    for (unsigned threads : {1u, 3u, 4u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        engine->thread_count = threads;
        search();
        EXPECT_EQ(result_paths(), want);
        EXPECT_EQ(engine->ir.dir_nb.load(), 400u + 20u * 9u + 1u);
    }
    // Stopped at random moments of the walk: the result holds the first
    // files of the whole one, each once, and the next search is whole.
    std::mt19937 rng(5);
    for (int round = 0; round < 6; ++round) {
        const int stop_at = 1 + static_cast<int>(rng() % 590);
        int calls = 0;
        engine->walk_filter = [&](std::string_view, const char*, bool) {
            if (++calls == stop_at) engine->need_stop_searching.store(1);
            return true;
        };
        engine->thread_count = 4;
        engine->need_stop_searching.store(0);
        search();
        const std::vector<std::string> got = result_paths();
        ASSERT_LE(got.size(), want.size()) << "stopped at " << stop_at;
        EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin())) << "stopped at " << stop_at;
        EXPECT_EQ(engine->ir.found_nb.load(), got.size());
    }
    engine->walk_filter = nullptr;
    engine->need_stop_searching.store(0);

    // Every other comb file is removed, and new entries appear in the comb.
    Mutator mutator;
    bool odd = false;
    for (const std::string& path : want) {
        if (path.find("/comb/") != std::string::npos && (odd = !odd)) mutator.victims.push_back(path);
    }
    mutator.add_at = at("comb");
    engine->tr.skip_error = 1;
    // On one thread, and with scanning threads that open the files of a
    // folder well after the walk listed them.
    for (unsigned threads : {1u, 3u, 4u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads, the tree changing");
        engine->thread_count = threads;
        search_with({&mutator});
        const std::vector<std::string> paths = result_paths();
        const std::multiset<std::string> got(paths.begin(), paths.end());
        for (const std::string& path : want) {
            const bool removed =
                std::find(mutator.victims.begin(), mutator.victims.end(), path) != mutator.victims.end();
            EXPECT_EQ(got.count(path), removed ? got.count(path) : 1u) << path;
        }
        EXPECT_EQ(std::set<std::string>(got.begin(), got.end()).size(), got.size());
        // A file removed before it was opened is named, never found.
        EXPECT_EQ(engine->fatal_err_index, 0u);
    }
}

// A result file that cannot be written ends the search as on one thread,
// whether the walk writes small files itself or queues them behind a large one.
TEST_F(EngineTest, AFullDiskEndsTheParallelSearchAsTheSingleThreadedOne) {
    use_buffers(kText, 16000, true);
    // The large file's records, more than a stream buffer, go out at once.
    std::string big;
    while (big.size() < 5 * kText) big += "needle";
    make_file("big", big);
    for (int i = 0; i < 3000; ++i) make_file("s" + std::to_string(i), "a needle");
    // The disk fills at 1 KiB of any file written (result files are never
    // written through a link, so /dev/full cannot stand in).
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit full{1 << 10, saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    for (bool behind_large : {true, false}) {
        if (!behind_large) std::filesystem::remove(at("big"));
        for (unsigned threads : {1u, 2u}) {
            SCOPED_TRACE(std::to_string(threads) + (behind_large ? " threads, behind a large file" : " threads"));
            set_target(*engine, "needle", {{data.path(), true}});
            engine->thread_count = threads;
            search();
            EXPECT_EQ(engine->fatal_err_index, ERR_WRITE_FILE);
            // Behind the large file the disk fills in the middle of the
            // search, which ends there; otherwise at its last flush.
            if (behind_large) {
                EXPECT_GE(engine->ir.other_err_nb.load(), 1u);
                EXPECT_LT(engine->ir.file_nb.load(), 3001u);
            }
        }
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
}

// Unreadable files and folders in the middle of the tree, met by a search
// that runs as an unprivileged user (permission checks do not stop root);
// a search that stops at the first of them runs on one thread whatever the
// setting.
TEST_F(EngineTest, UnreadableItemsAreReportedInOrderAndCountedAsByOneThread) {
    const Case c{"Unreadable", "needle", true, 10, false, false, {}};
    std::mt19937 rng(9);
    make_tree(data.path(), c, rng);
    for (const char* d : {"d0", "d1"}) make_dir(d);
    make_file("d0/locked", "needle");
    ::chmod(at("d0/locked").c_str(), 0);
    ::mkdir(at("d1/closed").c_str(), 0);
    // Listable but not enterable: with a file, with a folder, empty.
    for (const char* d : {"d1/listable", "d1/listable2", "d1/empty"}) make_dir(d);
    make_file("d1/listable/x", "needle");
    make_dir("d1/listable2/sub");
    for (const char* d : {"d1/listable", "d1/listable2", "d1/empty"}) ::chmod(at(d).c_str(), 0744);
    make_file("d1/after", "a needle after");
    // The result folder belongs to the user the search runs as.
    ASSERT_EQ(::chown(found().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(dir.path().c_str(), 65534, 65534), 0);
    use_buffers(kText, 16000, true);
    set_target(*engine, c.pattern, {{data.path(), true}, {at("d0/locked"), false}});
    engine->tr.add_line_nb = 1;
    for (u64 skip : {1, 0}) {
        engine->tr.skip_error = skip;
        const int status = run_as_nobody([&] {
            const Outcome one = run_search(*engine, found(), 1);
            if (skip != 0 && (one.counters[3] == 0 || one.counters[4] < 2 || one.counters[0] == 0)) return 2;
            // Each folder that refuses its entries is one failure, none of its entries.
            std::multiset<std::string> failed;
            for (const std::string& call : one.calls)
                if (call.starts_with("failed ")) failed.insert(call);
            std::multiset<std::string> want_failed;
            for (const char* p : {"d0/locked", "d1/closed", "d1/listable", "d1/listable2", "d1/empty", "d0/locked"})
                want_failed.insert("failed " + at(p) + " " + std::to_string(EACCES));
            if (skip != 0 && failed != want_failed) {
                for (const std::string& f : failed) std::fprintf(stderr, "%s\n", f.c_str());
                return 3;
            }
            std::string diff;
            for (unsigned threads : {2u, 4u}) diff += difference(one, run_search(*engine, found(), threads));
            std::fprintf(stderr, "%s\n", diff.c_str());
            return diff.empty() ? 0 : 1;
        });
        EXPECT_EQ(status, 0) << "skip errors " << skip;
    }
    ::chown(dir.path().c_str(), 0, 0);
}

// Folders of a listing removed, made unreadable, given or robbed of a file
// once the walk reached an earlier one (after the helpers may have listed
// them): each thread count sees them as the single-threaded walk does, when
// it enters them. Run as an unprivileged user for the unreadable ones.
TEST_F(EngineTest, FoldersChangedDuringTheWalkAreSeenAsByOneThread) {
    ASSERT_EQ(::chown(found().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(dir.path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(data.path().c_str(), 65534, 65534), 0);
    const std::string root = at("t");
    const char* kinds[] = {"gone", "shut", "grown", "shrunk", "kept", "skip"};
    auto build = [&] {
        std::system(("chmod -R u+rwx '" + root + "' 2>/dev/null; rm -rf '" + root + "'").c_str());
        ::mkdir(root.c_str(), 0755);
        for (int i = 0; i < 40; ++i) {
            const std::string d = root + "/" + kinds[i % 6] + std::to_string(i);
            ::mkdir(d.c_str(), 0755);
            ::mkdir((d + "/sub").c_str(), 0755);
            write_file(d + "/f", "needle");
            write_file(d + "/sub/g", "a needle");
        }
    };
    std::set<std::string> seen;
    int calls = 0, trigger = 0;
    engine->walk_filter = [&](std::string_view in, const char* name, bool folder) {
        // Left out by the filter after the helpers listed them.
        if (folder && std::string_view(name).starts_with("skip")) return false;
        if (!folder || in != root) return true;
        seen.insert(name);
        if (++calls != trigger) return true;
        for (int i = 0; i < 40; ++i) {
            const std::string entry = kinds[i % 6] + std::to_string(i), d = root + "/" + entry;
            if (seen.count(entry) != 0) continue;
            if (i % 6 == 0) std::filesystem::remove_all(d);
            if (i % 6 == 1) ::chmod(d.c_str(), 0);
            if (i % 6 == 2) write_file(d + "/late", "needle");
            if (i % 6 == 3) ::unlink((d + "/f").c_str());
        }
        return true;
    };
    set_target(*engine, "needle", {{data.path(), true}});
    engine->tr.skip_error = 1;
    engine->walk_ahead = Engine::kAheadAlways;
    const int status = run_as_nobody([&] {
        for (int at_call : {1, 2, 9, 23}) {
            Outcome outcomes[2];
            for (unsigned threads : {1u, 4u}) {
                build();
                seen.clear();
                calls = 0;
                trigger = at_call;
                outcomes[threads == 1 ? 0 : 1] = run_search(*engine, found(), threads);
            }
            const std::string diff = difference(outcomes[0], outcomes[1]);
            if (outcomes[0].counters[4] == 0 || !diff.empty()) {
                std::fprintf(stderr, "at folder %d: %s\n", at_call, diff.c_str());
                return 1;
            }
        }
        return 0;
    });
    EXPECT_EQ(status, 0);
    engine->walk_filter = nullptr;
    std::system(("chmod -R u+rwx '" + root + "'").c_str());
    ::chown(dir.path().c_str(), 0, 0);
}

// A file that shrinks while it is mapped: the guarded scan ends with false
// instead of the process ending on SIGBUS; an unguarded fault elsewhere is
// not caught, and a call that does not fault returns true.
TEST(MapGuard, AFileShrunkUnderItsMappingEndsTheCallNotTheProcess) {
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

}  // namespace
