// The result folder against concurrent searches and changed options, and
// found files that have become hostile since the search: the lock, the
// result's own description, FIFOs and paths longer than the system takes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "engine/tw.h"
#include "engine/tw_file_util.h"
#include "engine_fixture.h"
#include "search_support.h"

using namespace tw;
using namespace tw_test;

namespace {

class ResultTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // Any blocking open of a FIFO ends the test instead of hanging it.
        ::alarm(60);
    }
    void TearDown() override { ::alarm(0); }

    std::string at(const std::string& rel) const { return data.path() + "/" + rel; }
    void search(Engine& e) {
        e.search_in_target();
        ASSERT_EQ(e.searching_now.load(), 0);
    }
    Engine& second_engine() {
        other = std::make_unique<Engine>();
        other->resource_dir_pathname_ptr = dir.path();
        EXPECT_EQ(other->initialize_and_load_tw_parameter(), 0u);
        return *other;
    }

    TempDir data;
    std::unique_ptr<Engine> other;
};

}  // namespace

TEST_F(ResultTest, RecordLengthComesFromTheResultNotFromTheCurrentTarget) {
    // "a\nb needle" : the occurrence is at offset 4 on line 2.
    write_file(at("f"), "a\nb needle");
    struct Case {
        bool written_with_lines, target_with_lines;
    } cases[] = {{true, false}, {false, true}, {true, true}, {false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.written_with_lines << c.target_with_lines);
        set_target(*engine, "needle", {{at("f"), false}});
        engine->tr.add_line_nb = c.written_with_lines ? 1 : 0;
        search(*engine);
        // The option is changed after the search, as the search window does.
        engine->tr.add_line_nb = c.target_with_lines ? 1 : 0;
        ASSERT_EQ(engine->build_summary(), 0u);
        EXPECT_EQ(engine->sur.summary_status, 0u);
        EXPECT_EQ(engine->sur.occ_offset, 4u);
        EXPECT_EQ(engine->sur.has_line, c.written_with_lines ? 1u : 0u);
        if (c.written_with_lines) {
            EXPECT_EQ(engine->sur.occ_line, 1u);
        }
        EXPECT_EQ(engine->sur.excerpt_mark_len, 6u);
    }
}

TEST_F(ResultTest, AResultWithoutDescriptionIsReadWithTheCurrentTarget) {
    write_file(at("f"), "a\nb needle");
    set_target(*engine, "needle", {{at("f"), false}});
    engine->tr.add_line_nb = 1;
    search(*engine);
    // As written by a version without the description.
    ASSERT_EQ(::unlink((dir / "TW_found/TW_found_info").c_str()), 0);
    ASSERT_EQ(engine->build_summary(), 0u);
    EXPECT_FALSE(engine->result_info.present);
    EXPECT_EQ(engine->sur.occ_line, 1u);
    // A damaged description is an error naming the file.
    write_file(dir / "TW_found/TW_found_info", "TWRESULT and nothing sensible");
    EXPECT_EQ(engine->build_summary(), ERR_CORRUPTED);
    engine->fatal_err_index = ERR_CORRUPTED;
    EXPECT_NE(std::string(engine->build_fatal_str_err()).find("TW_found_info"), std::string::npos);
}

TEST_F(ResultTest, TheDescriptionTellsHowTheSearchEnded) {
    write_file(at("f"), "needle");
    set_target(*engine, "needle", {{at("f"), false}});
    search(*engine);
    EXPECT_EQ(engine->result_info.status, RESULT_FINISHED);
    EXPECT_EQ(engine->result_info.target_name, "test target");
    EXPECT_EQ(engine->result_info.search_str, "needle");

    engine->need_stop_searching.store(1);
    search(*engine);
    engine->set_show_info(2);
    EXPECT_EQ(engine->result_info.status, RESULT_STOPPED);
    EXPECT_NE(std::string(engine->sir.folder_text).find(", stopped"), std::string::npos);
    engine->need_stop_searching.store(0);

    set_target(*engine, "needle", {{at("f"), false}});
    ::unlink((dir / "TW_found/TW_found_offset").c_str());
    ::symlink("/dev/full", (dir / "TW_found/TW_found_offset").c_str());
    search(*engine);
    engine->set_show_info(2);
    EXPECT_EQ(engine->fatal_err_index, ERR_WRITE_FILE);
    EXPECT_EQ(engine->result_info.status, RESULT_ERROR);
    EXPECT_NE(std::string(engine->sir.folder_text).find(", ended on an error"), std::string::npos);
    EXPECT_NE(std::string(engine->build_fatal_str_err()).find("No space left on device"),
              std::string::npos)
        << engine->fatal_err_str;
}

TEST_F(ResultTest, ASecondSearchWaitsForTheFirstToFinishWriting) {
    write_file(at("f"), "needle needle");
    Engine& second = second_engine();
    set_target(second, "needle", {{at("f"), false}});
    // This engine plays the first search: it holds the folder.
    ASSERT_EQ(engine->lock_result(true, false), 0u);
    bool busy = false;
    EXPECT_EQ(second.lock_result(true, false, &busy), ERR_OPEN_FILE);
    EXPECT_TRUE(busy);
    EXPECT_NE(second.failure_detail().find("another search"), std::string::npos);
    // A reader is refused while the writer holds the folder.
    EXPECT_EQ(second.build_summary(), ERR_OPEN_FILE);

    ASSERT_TRUE(second.start_search_thread());
    for (int i = 0; i < 500 && second.waiting_for_result.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(second.waiting_for_result.load(), 1);
    EXPECT_EQ(read_file(dir / "TW_found/TW_found_header").size(), 0u);
    engine->unlock_result();
    second.join_search_thread();
    EXPECT_EQ(second.waiting_for_result.load(), 0);
    EXPECT_EQ(second.fatal_err_index, 0u);
    EXPECT_EQ(second.ir.found_nb.load(), 2u);
    ASSERT_EQ(engine->build_summary(), 0u);
    EXPECT_EQ(engine->sur.occ_nb, 2u);
}

TEST_F(ResultTest, AStopEndsTheWaitWithoutTouchingTheResult) {
    write_file(at("f"), "needle");
    set_target(*engine, "needle", {{at("f"), false}});
    search(*engine);
    const Bytes before = read_file(dir / "TW_found/TW_found_header");
    Engine& second = second_engine();
    set_target(second, "needle", {{at("f"), false}});
    ASSERT_EQ(engine->lock_result(true, false), 0u);
    ASSERT_TRUE(second.start_search_thread());
    for (int i = 0; i < 500 && second.waiting_for_result.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    second.stop_and_join_search();
    EXPECT_EQ(second.fatal_err_index, 0u);
    EXPECT_EQ(read_file(dir / "TW_found/TW_found_header"), before);
    engine->unlock_result();
}

TEST_F(ResultTest, AFoundFileThatBecameAFifoIsRefusedWithoutBlocking) {
    write_file(at("f"), "needle");
    set_target(*engine, "needle", {{at("f"), false}});
    search(*engine);
    ASSERT_EQ(::unlink(at("f").c_str()), 0);
    ASSERT_EQ(::mkfifo(at("f").c_str(), 0644), 0);
    ASSERT_EQ(engine->build_summary(), 0u);
    EXPECT_EQ(engine->sur.summary_status, ERR_ACCESS_DENIED);
    EXPECT_EQ(engine->failure_detail(), at("f") + ": not a regular file");
    // The Info sheet's query does not open it.
    struct stat st{};
    EXPECT_TRUE(stat_file_in(data.path().c_str(), "f", true, &st, nullptr));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // A found file that is gone says why.
    ASSERT_EQ(::unlink(at("f").c_str()), 0);
    ASSERT_EQ(engine->build_summary(), 0u);
    EXPECT_EQ(engine->failure_detail(), at("f") + ": No such file or directory");
}

TEST_F(ResultTest, AFoundFileBeyondEightKibibytesOfPathIsShown) {
    // 40 folders of 250 characters: a path of some 10,000 bytes, which no
    // single open accepts.
    const std::string part(250, 'p');
    int fd = ::open(data.path().c_str(), O_RDONLY | O_DIRECTORY);
    std::string path = data.path();
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(::mkdirat(fd, part.c_str(), 0755), 0);
        const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        path += "/" + part;
    }
    const int file = ::openat(fd, "deep.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(file, "xx needle xx", 12), 12);
    ::close(file);
    ::close(fd);
    ASSERT_GT(path.size(), 8192u);

    set_target(*engine, "needle", {{data.path(), true}});
    search(*engine);
    ASSERT_EQ(engine->ir.found_nb.load(), 1u);
    ASSERT_EQ(engine->build_summary(), 0u);
    EXPECT_EQ(engine->sur.summary_status, 0u) << engine->failure_detail();
    EXPECT_EQ(std::string(engine->br.dir_name), path);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(engine->sur.excerpt)), "xx needle xx");
    EXPECT_EQ(engine->sur.excerpt_occ_pos, 3u);
    struct stat st{};
    std::string why;
    EXPECT_TRUE(stat_file_in(path.c_str(), "deep.txt", false, &st, &why)) << why;
    EXPECT_EQ(st.st_size, 12);
}

TEST_F(ResultTest, AReaderWithoutWriteAccessReadsAResultWithoutLockFile) {
    write_file(at("f"), "a needle");
    set_target(*engine, "needle", {{at("f"), false}});
    search(*engine);
    // As left by a version without the lock, in a folder this user cannot
    // write to.
    ASSERT_EQ(::unlink((dir / "TW_found/TW_found_lock").c_str()), 0);
    const int status = run_as_nobody([&] {
        if (engine->build_summary() != 0) return 1;
        return engine->sur.occ_offset == 2 && engine->sur.summary_status == 0 ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
    // A writer in the same place cannot take the folder, and says why.
    const int writer = run_as_nobody([&] {
        return engine->lock_result(true, false) == ERR_OPEN_FILE &&
                       engine->failure_detail().find("Permission denied") != std::string::npos
                   ? 0
                   : 1;
    });
    EXPECT_EQ(writer, 0);
}
