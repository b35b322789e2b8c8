// trawlex-cli and its result folder: concurrent runs, the lock, the result's
// own description, damaged targets, and reports over links and FIFOs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "cli/cli_run.h"
#include "engine/search_support.h"
#include "engine/tw.h"
#include "support/temp_dir.h"

using namespace tw_test;

namespace {

class CliResultTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"res", "io", "io1", "io2", "io3", "io4", "tree", "data", "tmp"})
            ::mkdir((dir / sub).c_str(), 0755);
        write_file(dir / "tree/a.txt", "Hello world\nhello again\n");
    }

    // A tree large enough that runs started together overlap: 200 files of
    // some 40 KB, most holding "the" many times.
    void add_large_tree() {
        ::mkdir((dir / "tree/many").c_str(), 0755);
        std::string text;
        while (text.size() < 40'000) text += "then the other one, hello there\n";
        for (int i = 0; i < 200; ++i)
            write_file(dir / ("tree/many/f" + std::to_string(i)), i % 3 == 0 ? "nothing" : text);
    }

    // Saves targets searching `pattern` in the tree, numbered from 0.
    void save_targets(const std::string& resource, const std::vector<std::string>& patterns) {
        std::filesystem::create_directories(resource + "/TW_target");
        std::filesystem::create_directories(resource + "/TW_found");
        tw::Engine e;
        e.resource_dir_pathname_ptr = resource;
        ASSERT_EQ(e.initialize_and_load_tw_parameter(), 0u);
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            set_target(e, patterns[i], {{dir / "tree", true}});
            std::free(e.tr.target_name);
            e.tr.target_name = strdup(("target " + std::to_string(i)).c_str());
            ASSERT_EQ(e.save_target_file(i, e.tr), 0u);
        }
    }

    std::vector<std::string> env() const {
        return {"XDG_DATA_HOME=" + dir / "data", "TMPDIR=" + dir / "tmp"};
    }

    TempDir dir;
};

}  // namespace

TEST_F(CliResultTest, RunsStartedTogetherGiveTheOutputsOfRunsAlone) {
    add_large_tree();
    const std::vector<std::string> patterns = {"the", "hello", "the", "other"};
    std::vector<std::string> alone;
    for (const std::string& p : patterns) {
        const CliRun r = run_cli({"-n", p, dir / "tree"}, dir / "io", "/", env());
        ASSERT_EQ(r.status, 0) << r.err;
        alone.push_back(r.out);
    }
    ASSERT_GT(alone[0].size(), 1'000'000u);
    std::filesystem::create_directories(dir / "data/Trawlex/TW_found");
    // On one shared folder (they take turns), then each on its own.
    for (const bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "shared folder" : "private folders");
        std::vector<pid_t> pids;
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            std::vector<std::string> args = {"-n", patterns[i], dir / "tree"};
            if (shared) args.insert(args.begin(), {"--resource-dir", dir / "res"});
            pids.push_back(start_cli(args, dir / ("io" + std::to_string(i + 1)), "/", env()));
        }
        for (std::size_t i = 0; i < pids.size(); ++i) {
            const CliRun r = finish_cli(pids[i], dir / ("io" + std::to_string(i + 1)));
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_TRUE(r.out == alone[i]) << "run " << i << " differs from its run alone";
        }
    }
    // The application's result folder was never written.
    EXPECT_TRUE(std::filesystem::is_empty(dir / "data/Trawlex/TW_found"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
}

TEST_F(CliResultTest, ABusyFolderIsWaitedForOrRefusedWithNoWait) {
    ::mkdir((dir / "res/TW_found").c_str(), 0755);
    tw::FoundLock held;
    ASSERT_EQ(held.try_take(dir / "res/TW_found", true, nullptr), tw::FoundLock::Result::Taken);

    CliRun r = run_cli({"--resource-dir", dir / "res", "--no-wait", "world", dir / "tree"}, dir / "io");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "trawlex-cli: another search is writing the result folder " +
                         dir / "res/TW_found" + "\n");

    const pid_t pid = start_cli({"--resource-dir", dir / "res", "world", dir / "tree"}, dir / "io1");
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 1000 && slurp(dir / "io1/stderr").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the second run did not wait";
    held.release();
    r = finish_cli(pid, dir / "io1");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, dir / "tree/a.txt" + "\t6\n");
    EXPECT_EQ(r.err, "trawlex-cli: waiting for another search to finish writing " +
                         dir / "res/TW_found" + "\n");
}

TEST_F(CliResultTest, TheApplicationReadsRecordsAsTheRunWroteThem) {
    for (const bool with_lines : {true, false}) {
        SCOPED_TRACE(with_lines);
        std::vector<std::string> args = {"--resource-dir", dir / "res", "again", dir / "tree"};
        if (with_lines) args.insert(args.begin(), "-n");
        ASSERT_EQ(run_cli(args, dir / "io").status, 0);
        // The application's current target has the other option.
        tw::Engine e;
        e.resource_dir_pathname_ptr = dir / "res";
        ASSERT_EQ(e.initialize_and_load_tw_parameter(), 0u);
        set_target(e, "unrelated", {});
        e.tr.add_line_nb = with_lines ? 0 : 1;
        ASSERT_EQ(e.build_summary(), 0u);
        EXPECT_EQ(e.sur.occ_offset, 18u);
        EXPECT_EQ(e.sur.has_line, with_lines ? 1u : 0u);
        EXPECT_EQ(e.sur.excerpt_mark_len, 5u);
        ASSERT_EQ(e.save_search_info_in_text_file((dir / "io/report").c_str()), 0u);
        const std::string report = slurp(dir / "io/report");
        EXPECT_NE(report.find("target 'trawlex-cli'"), std::string::npos) << report;
        EXPECT_EQ(report.find("Line: 2") != std::string::npos, with_lines) << report;
    }
}

TEST_F(CliResultTest, ADamagedTargetIsNamedAndTheOthersStillRun) {
    save_targets(dir / "res", {"world", "again", "again"});
    write_file(dir / "res/TW_target/TW_target_001", "damaged");
    CliRun r = run_cli({"--resource-dir", dir / "res", "--target", "target 2"}, dir / "io");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir / "tree/a.txt" + "\t18\n");
    EXPECT_EQ(r.err, "trawlex-cli: warning: the damaged target file " +
                         dir / "res/TW_target/TW_target_001" + " is skipped\n");
    r = run_cli({"--resource-dir", dir / "res", "--target", "1"}, dir / "io");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("TW_target_001"), std::string::npos) << r.err;
}

TEST_F(CliResultTest, AStoredTargetWithoutResourceDirWritesItsResultPrivately) {
    save_targets(dir / "data/Trawlex", {"again"});
    const CliRun r = run_cli({"--target", "0"}, dir / "io", "/", env());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir / "tree/a.txt" + "\t18\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir / "data/Trawlex/TW_found"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
}

TEST_F(CliResultTest, TheResourceFolderIsSearchedButNotItsResults) {
    std::filesystem::create_directories(dir / "rd/data/TW_found");
    write_file(dir / "rd/data/notes.txt", "abc");
    write_file(dir / "rd/data/TW_found/leftover", "abc");
    const CliRun r = run_cli({"--resource-dir", dir / "rd/data", "--stats", "abc", dir / "rd/data"},
                             dir / "io");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir / "rd/data/notes.txt" + "\t0\n");
}

TEST_F(CliResultTest, ReportsOverLinksAndFifosAndFullDisks) {
    ::symlink("/dev/full", (dir / "io/full").c_str());
    CliRun r = run_cli({"--resource-dir", dir / "res", "--report", dir / "io/full", "world",
                        dir / "tree"},
                       dir / "io");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, dir / "tree/a.txt" + "\t6\n");
    EXPECT_EQ(r.err, "trawlex-cli: cannot write the report: cannot write file: " + dir / "io/full" +
                         ": No space left on device\n");
    struct stat st{};
    ASSERT_EQ(::lstat((dir / "io/full").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    ASSERT_EQ(::mkfifo((dir / "io/fifo").c_str(), 0644), 0);
    const int reader = ::open((dir / "io/fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    r = run_cli({"--resource-dir", dir / "res", "--report", dir / "io/fifo", "world", dir / "tree"},
                dir / "io");
    EXPECT_EQ(r.status, 0) << r.err;
    char buffer[512] = {};
    EXPECT_GT(::read(reader, buffer, sizeof buffer - 1), 0);
    EXPECT_NE(std::string(buffer).find(dir / "tree/a.txt"), std::string::npos);
    ::close(reader);
    ASSERT_EQ(::lstat((dir / "io/fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
