// The one writer that saves the report, the targets and the settings: what
// it replaces, what it writes in place, and what its failures say.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "engine/tw.h"
#include "engine/tw_file_util.h"
#include "engine_fixture.h"
#include "support/temp_dir.h"

using namespace tw;
using namespace tw_test;

namespace {

u64 write_text(const std::string& path, const std::string& text, std::string* failure) {
    AtomicFileWriter out(path);
    u64 code = out.open();
    if (code == 0 && !write_all(out.stream(), text.data(), text.size())) code = out.write_failed();
    if (code == 0) code = out.commit();
    *failure = out.failure();
    return code;
}

std::string slurp(const std::string& path) {
    const Bytes b = read_file(path);
    return std::string(b.begin(), b.end());
}

bool is_link(const std::string& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

mode_t mode_of(const std::string& path) {
    struct stat st{};
    ::stat(path.c_str(), &st);
    return st.st_mode;
}

}  // namespace

TEST(FileWriterTest, ReplacesOnlyWhatMayBeReplaced) {
    TempDir dir;
    write_file(dir / "old", "old content");
    ::chmod((dir / "old").c_str(), 0600);
    write_file(dir / "linked", "old content");
    ::chmod((dir / "linked").c_str(), 0640);
    ::symlink((dir / "linked").c_str(), (dir / "abs-link").c_str());
    ::symlink("linked", (dir / "rel-link").c_str());
    ::symlink("missing-target", (dir / "dangling").c_str());
    ::mkdir((dir / "folder").c_str(), 0755);
    struct Case {
        const char* name;
        const char* written;   // the file that must hold the text afterwards
        mode_t mode;           // its permissions afterwards
        bool stays_link;
    } cases[] = {
        {"new", "new", 0644, false},
        {"old", "old", 0600, false},
        {"abs-link", "linked", 0640, true},
        {"rel-link", "linked", 0640, true},
        {"dangling", "missing-target", 0644, true},
    };
    const mode_t mask = ::umask(022);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string failure;
        ASSERT_EQ(write_text(dir / c.name, std::string("text of ") + c.name, &failure), 0u)
            << failure;
        EXPECT_EQ(slurp(dir / c.written), std::string("text of ") + c.name);
        EXPECT_EQ(mode_of(dir / c.written) & 07777, c.mode);
        EXPECT_EQ(is_link(dir / c.name), c.stays_link);
    }
    ::umask(mask);
    std::string failure;
    EXPECT_EQ(write_text(dir / "folder", "x", &failure), ERR_OPEN_FILE);
    EXPECT_EQ(failure, dir / "folder" + ": Is a directory");
    // No temporary file is left anywhere.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".trawlex-save-"), std::string::npos);
}

TEST(FileWriterTest, AFullDiskThroughALinkIsReportedAndTheLinkStays) {
    TempDir dir;
    ::symlink("/dev/full", (dir / "full").c_str());
    std::string failure;
    EXPECT_EQ(write_text(dir / "full", "some text", &failure), ERR_WRITE_FILE);
    EXPECT_EQ(failure, dir / "full" + ": No space left on device");
    EXPECT_TRUE(is_link(dir / "full"));
    struct stat st{};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(FileWriterTest, AFifoIsWrittenInPlaceAndOneWithoutReaderIsRefusedAtOnce) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    std::string failure;
    EXPECT_EQ(write_text(dir / "fifo", "x", &failure), ERR_OPEN_FILE);
    EXPECT_EQ(failure, dir / "fifo" + ": No such device or address");
    const int reader = ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(write_text(dir / "fifo", "through the pipe", &failure), 0u) << failure;
    char buffer[64] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 16);
    EXPECT_STREQ(buffer, "through the pipe");
    ::close(reader);
    struct stat st{};
    ASSERT_EQ(::lstat((dir / "fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(EngineTest, SettingsAndReportsGoThroughTheSameWriter) {
    // The preference file as a link to a full disk: the save fails with its
    // cause and the link stays.
    ::symlink("/dev/full", (dir / "TW_preference").c_str());
    EXPECT_EQ(engine->save_pref_file(), ERR_WRITE_FILE);
    EXPECT_EQ(engine->failure_detail(), dir / "TW_preference" + ": No space left on device");
    EXPECT_TRUE(is_link(dir / "TW_preference"));

    // A report over a link to a regular file replaces the file, keeps the
    // link; over a FIFO it is written into the pipe.
    engine->search_in_target();
    write_file(dir / "report.txt", "old");
    ::symlink((dir / "report.txt").c_str(), (dir / "report-link").c_str());
    ASSERT_EQ(engine->save_search_info_in_text_file((dir / "report-link").c_str()), 0u);
    EXPECT_TRUE(is_link(dir / "report-link"));
    EXPECT_EQ(slurp(dir / "report.txt").rfind("**** Search result for target", 0), 0u);
    ASSERT_EQ(::mkfifo((dir / "report-fifo").c_str(), 0644), 0);
    const int reader = ::open((dir / "report-fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(engine->save_search_info_in_text_file((dir / "report-fifo").c_str()), 0u);
    char buffer[256] = {};
    EXPECT_GT(::read(reader, buffer, sizeof buffer - 1), 0);
    EXPECT_EQ(std::string(buffer).rfind("**** Search result for target", 0), 0u);
    ::close(reader);
    // A report through a link to a full disk says why.
    ::symlink("/dev/full", (dir / "report-full").c_str());
    EXPECT_EQ(engine->save_search_info_in_text_file((dir / "report-full").c_str()), ERR_WRITE_FILE);
    EXPECT_EQ(engine->error_text(ERR_WRITE_FILE),
              "cannot write file: " + dir / "report-full" + ": No space left on device");
}
