// What a running search publishes: found files reach a sink a batch at a
// time, only once the result files hold them, so that each published file
// can be read back (names and occurrences) while the search still runs;
// what the sinks hold at the end is the result, whatever the threads.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <set>

#include "engine/tw_live_found.h"
#include "engine/tw_result_reader.h"
#include "engine_fixture.h"

using namespace tw;
using namespace tw_test;

namespace {

class LiveResultTest : public EngineTest, public ::testing::WithParamInterface<unsigned> {};

// A search held open by a pipe item after its folder: the files of the
// folder are published, and readable, before the search can end.
TEST_P(LiveResultTest, PublishedFilesAreReadableWhileTheSearchRuns) {
    make_dir("tree");
    for (int d = 0; d < 5; ++d) make_dir("tree/d" + std::to_string(d));
    for (int i = 0; i < 40; ++i)
        make_file("tree/d" + std::to_string(i % 5) + "/f" + std::to_string(i),
                  std::string(static_cast<std::size_t>(i) * 97, 'x') + "needle" +
                      (i % 3 == 0 ? "\nneedle" : ""));
    ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0644), 0);
    // A writer that never writes: reading the pipe waits until the stop.
    const int writer = ::open(at("pipe").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    set_target(*engine, "needle", {{at("tree"), true}, {at("pipe"), false}});
    engine->tr.add_line_nb = 1;
    LiveFoundFiles live;
    engine->sinks = {&live};
    engine->thread_count = GetParam();
    ASSERT_TRUE(engine->start_search_thread());
    // Whatever fails below, the search ends with the test.
    struct Ender {
        Engine& e;
        int fd;
        ~Ender() {
            e.stop_and_join_search();
            if (fd >= 0) ::close(fd);
        }
    } ender{*engine, writer};

    std::vector<LiveFoundFile> seen;
    wait_for([&] {
        for (LiveFoundFile& f : live.take()) seen.push_back(std::move(f));
        return seen.size() >= 40;
    }, 20);
    ASSERT_EQ(seen.size(), 40u);
    EXPECT_NE(engine->searching_now.load(), 0);
    // Read back while the search waits at the pipe, through the reader the
    // viewer uses.
    ResultReader reader;
    std::string why;
    ASSERT_EQ(reader.open(found(), &why), 0u) << why;
    for (u64 i = 0; i < seen.size(); ++i) {
        FoundFileHeader h{};
        std::string dir, name;
        ASSERT_EQ(reader.found_file(i, h, dir, name), 0u) << i;
        EXPECT_EQ(dir + "/" + name, seen[i].dir + "/" + seen[i].name);
        EXPECT_EQ(h.occ_nb, seen[i].occ_nb);
        u64 offset = 0, line = 0;
        ASSERT_EQ(reader.occurrence(h, h.occ_nb - 1, 16, &offset, &line), 0u);
        EXPECT_EQ(line, h.occ_nb - 1);
    }
    // The viewer's summary of a published file, while the search runs.
    engine->sur.file_index = 39;
    engine->sur.occ_index = 0;
    ASSERT_EQ(engine->build_summary(seen.size()), 0u);
    EXPECT_EQ(engine->sur.file_nb, 40u);
    EXPECT_EQ(engine->sur.dir_name + "/" + engine->sur.file_name, seen[39].dir + "/" + seen[39].name);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(engine->sur.excerpt) + engine->sur.excerpt_occ_pos, 6),
              "needle");

    engine->stop_and_join_search();
    engine->sinks.clear();
    EXPECT_TRUE(live.take().empty());
    // What was shown is the result.
    const std::vector<ResultRow> rows = results();
    ASSERT_EQ(rows.size(), seen.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].path(), seen[i].dir + "/" + seen[i].name);
        EXPECT_EQ(rows[i].offsets.size(), seen[i].occ_nb);
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, LiveResultTest, ::testing::Values(1u, 3u));

}  // namespace

namespace {

// A sink that needs only the first records of each file: one as -l does,
// or NUM as -m NUM does.
struct FirstRecords : ResultSink {
    std::vector<std::pair<std::string, u64>> found;
    u64 wanted = 1;
    u64 got = 0;
    u64 occurrences(std::string_view, std::string_view, const std::uint8_t*, std::size_t bytes) override {
        got += bytes / 8;
        return 0;
    }
    bool enough() const override { return got >= wanted; }
    u64 records_wanted() const override { return wanted; }
    u64 file_found(const FoundFile& f) override {
        found.emplace_back(std::string(f.dir) + "/" + std::string(f.name), f.occ_nb);
        got = 0;
        return 0;
    }
};

// Without result files, a file whose sinks have what they need is read no
// further, whether it is scanned whole, in a batch, or in pieces by several
// threads; it is still found, in its place.
TEST_P(LiveResultTest, AFileIsReadOnlyUntilTheSinksHaveEnough) {
    use_buffers(u64{64} << 10, 16000, true);  // the large file: 80 pieces
    std::string big;
    while (big.size() < (std::size_t{10} << 20)) big += std::string(4000, 'x') + "needle";
    make_file("big", big);
    make_dir("tree");
    make_file("tree/small", "a needle");
    make_file("tree/big", big);
    std::string dense;
    while (dense.size() < 12000) dense += "needle";
    make_file("tree/dense", dense);
    set_target(*engine, "needle", {{at("big"), false}, {at("tree"), true}});
    engine->write_result_files = false;
    engine->thread_count = GetParam();
    for (const u64 wanted : {u64{1}, u64{5}}) {
        SCOPED_TRACE(wanted);
        FirstRecords first;
        first.wanted = wanted;
        search_with({&first});
        // The item first, then the folder's files in their listing order.
        ASSERT_EQ(first.found.size(), 4u);
        EXPECT_EQ(first.found[0].first, at("big"));
        std::map<std::string, u64> in_tree(first.found.begin() + 1, first.found.end());
        EXPECT_EQ(in_tree.size(), 3u);
        // A file read whole stops at the records wanted, not at the end of
        // the text in hand.
        EXPECT_EQ(in_tree[at("tree/small")], 1u);
        EXPECT_EQ(in_tree[at("tree/dense")], wanted);
        // Far fewer than a large file holds: its scan stopped early.
        const u64 total = big.size() / 4006;
        EXPECT_GE(first.found[0].second, wanted);
        EXPECT_LT(first.found[0].second, total / 4);
        EXPECT_LT(engine->ir.total_bytes.load(), 2 * big.size() + dense.size());
    }
}

// A sink that ends the whole search at the first record, as -q does.
struct FirstStops : FirstRecords {
    explicit FirstStops(Engine& e) : engine(e) {}
    u64 occurrences(std::string_view d, std::string_view n, const std::uint8_t* r, std::size_t b) override {
        engine.need_stop_searching.store(1);
        return FirstRecords::occurrences(d, n, r, b);
    }
    Engine& engine;
};

// A large file item that the sinks have enough of (-l), or that ends the
// search (-q), in its first text buffer is read no further: no piece of it
// is handed to the scanning threads.
TEST_P(LiveResultTest, ALargeFileItemEndedInItsFirstBufferIsReadNoFurther) {
    use_buffers(u64{64} << 10, 16000, true);
    make_file("big", std::string(1000, 'x') + "needle" + std::string(std::size_t{10} << 20, 'y'));
    set_target(*engine, "needle", {{at("big"), false}});
    engine->write_result_files = false;
    engine->thread_count = GetParam();
    FirstRecords first;
    FirstStops stops(*engine);
    for (FirstRecords* sink : {&first, static_cast<FirstRecords*>(&stops)}) {
        search_with({sink});
        ASSERT_EQ(sink->found.size(), 1u);
        EXPECT_EQ(sink->found[0].second, 1u);
        EXPECT_EQ(engine->ir.total_bytes.load(), u64{64} << 10);
    }
}

}  // namespace

namespace {

using WalkFilterTest = LiveResultTest;

// The walk asks the filter about each folder and regular file it meets,
// with the folder that holds it: what it refuses is neither entered nor
// searched, on one thread or several.
TEST_P(WalkFilterTest, WhatTheFilterRefusesIsNotSearched) {
    make_dir("tree");
    make_dir("tree/skip");
    make_dir("tree/keep");
    for (const char* rel : {"tree/a.txt", "tree/a.bin", "tree/skip/b.txt", "tree/keep/c.txt"})
        make_file(rel, "a needle");
    set_target(*engine, "needle", {{at("tree"), true}});
    std::set<std::string> asked;
    engine->walk_filter = [&](std::string_view dir, const char* name, bool folder) {
        asked.insert(std::string(dir) + "/" + name + (folder ? "/" : ""));
        return std::string_view(name) != "skip" && std::string_view(name) != "a.bin";
    };
    FirstRecords found;
    engine->thread_count = GetParam();
    search_with({&found});
    EXPECT_EQ(asked, std::set<std::string>({at("tree/a.txt"), at("tree/a.bin"), at("tree/skip/"),
                                            at("tree/keep/"), at("tree/keep/c.txt")}));
    std::set<std::string> paths;
    for (const auto& f : found.found) paths.insert(f.first);
    EXPECT_EQ(paths, std::set<std::string>({at("tree/a.txt"), at("tree/keep/c.txt")}));
}

INSTANTIATE_TEST_SUITE_P(Threads, WalkFilterTest, ::testing::Values(1u, 3u));

}  // namespace
