// What a running search publishes: found files reach a sink a batch at a
// time, only once the result files hold them, so that each published file
// can be read back (names and occurrences) while the search still runs;
// what the sinks hold at the end is the result, whatever the threads.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (seen.size() < 40 && std::chrono::steady_clock::now() < give_up) {
        for (LiveFoundFile& f : live.take()) seen.push_back(std::move(f));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
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
