// Whole searches over temporary trees: counters, result files, options,
// failures and stopping.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/tw.h"
#include "engine_fixture.h"
#include "search_support.h"

using namespace tw;
using namespace tw_test;

namespace {

class SearchTest : public EngineTest {
protected:
    // The searched tree lies outside the resource folder, which a search
    // never enters.
    std::string tree() const { return data.path(); }
    std::string at(const std::string& rel) const { return tree() + "/" + rel; }
    void make_dir(const std::string& rel) const { ::mkdir(at(rel).c_str(), 0755); }
    void make_file(const std::string& rel, const std::string& content) const { write_file(at(rel), content); }

    void search() {
        engine->search_in_target();
        ASSERT_EQ(engine->searching_now.load(), 0);
    }
    std::vector<FoundFile> results() const {
        return read_results(dir / "TW_found", engine->tr.add_line_nb != 0);
    }
    u64 count(const std::atomic<u64>& c) const { return c.load(); }

    TempDir data;
};

int open_descriptor_count() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d) != nullptr) ++n;
        ::closedir(d);
    }
    return n;
}

}  // namespace

TEST_F(SearchTest, FolderWithSubFolderGivesCountsAndTwoFoundFiles) {
    make_file("a.txt", "one needle here");
    make_file("b.txt", "nothing");
    make_dir("sub");
    make_file("sub/c.txt", "needle and needle");
    set_target(*engine, "needle", {{tree(), true}});
    search();
    EXPECT_EQ(engine->fatal_err_index, 0u);
    EXPECT_EQ(count(engine->ir.file_nb), 3u);
    EXPECT_EQ(count(engine->ir.dir_nb), 1u);
    EXPECT_EQ(count(engine->ir.found_nb), 3u);
    EXPECT_EQ(count(engine->ir.total_bytes), 15u + 7u + 17u);
    EXPECT_EQ(count(engine->ir.file_err_nb) + count(engine->ir.dir_err_nb) + count(engine->ir.other_err_nb), 0u);
    auto found = results();
    ASSERT_EQ(found.size(), 2u);
    std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.name < b.name; });
    EXPECT_EQ(found[0].dir, tree());
    EXPECT_EQ(found[0].name, "a.txt");
    EXPECT_EQ(found[0].offsets, (std::vector<u64>{4}));
    EXPECT_EQ(found[1].dir, tree() + "/sub");
    EXPECT_EQ(found[1].name, "c.txt");
    EXPECT_EQ(found[1].offsets, (std::vector<u64>{0, 11}));
    EXPECT_EQ(std::string(engine->br.dir_name), tree());
}

TEST_F(SearchTest, ResultFilesAreByteExactWithAndWithoutLineNumbers) {
    make_file("first", "ab\nab\nxab");
    make_file("second", "\n\nzzab");
    const std::vector<Item> items = {{at("first"), false}, {at("second"), false}};
    for (bool lines : {false, true}) {
        set_target(*engine, "ab", items);
        engine->tr.add_line_nb = lines;
        search();
        ASSERT_EQ(engine->fatal_err_index, 0u);
        const std::string d = tree();
        Bytes header, path, offset;
        const u64 l = d.size() + 1;
        for (u64 v : {u64{0}, l, l, u64{6}, u64{3}, u64{0}}) append_le64(header, v);
        for (u64 v : {l + 6, l, 2 * l + 6, u64{7}, u64{1}, lines ? u64{48} : u64{24}}) append_le64(header, v);
        append_text(path, d, true);
        append_text(path, "first", true);
        append_text(path, d, true);
        append_text(path, "second", true);
        const std::pair<u64, u64> occ[] = {{0, 0}, {3, 1}, {7, 2}, {4, 2}};
        for (auto [off, line] : occ) {
            append_le64(offset, off);
            if (lines) append_le64(offset, line);
        }
        EXPECT_EQ(read_file(dir / "TW_found/TW_found_header"), header) << lines;
        EXPECT_EQ(read_file(dir / "TW_found/TW_found_path"), path) << lines;
        EXPECT_EQ(read_file(dir / "TW_found/TW_found_offset"), offset) << lines;
        EXPECT_EQ(read_file(dir / "TW_found/TW_found_offset").size(), lines ? 64u : 32u);
    }
}

TEST_F(SearchTest, OccurrenceAcrossTwoPiecesIsFoundOnceInTheLaterPiece) {
    engine->finalize_tw_buffer();
    engine->pr.text_mem_size = 16;
    ASSERT_EQ(engine->initialize_tw_buffer(), 0u);
    ASSERT_EQ(engine->sr.TEXT_BUF_SIZE, 16u);
    std::string content(40, '.');
    content.replace(13, 5, "PQRST");
    content.replace(35, 5, "PQRST");
    make_file("f", content);
    set_target(*engine, "PQRST", {{at("f"), false}});
    search();
    EXPECT_EQ(engine->fatal_err_index, 0u);
    EXPECT_EQ(count(engine->ir.total_bytes), 48u);  // pieces at 0, 12 and 24
    const auto found = results();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].offsets, (std::vector<u64>{13, 35}));
}

TEST_F(SearchTest, SmallBuffersKeepEveryOccurrenceAndExactLineCounts) {
    // Tiny text and occurrence buffers: many pieces, many flushes.
    engine->finalize_tw_buffer();
    engine->pr.text_mem_size = 48;
    engine->pr.occ_mem_size = 32;
    ASSERT_EQ(engine->initialize_tw_buffer(), 0u);
    std::string content;
    std::vector<u64> offsets, lines;
    u64 line = 0;
    for (int i = 0; i < 500; ++i) {
        if (i % 7 == 0) {
            offsets.push_back(content.size());
            lines.push_back(line);
            content += "xyx";
        }
        content += (i % 3 == 0) ? '\n' : 'a';
        if (i % 3 == 0) ++line;
    }
    make_file("f", content);
    set_target(*engine, "xyx", {{at("f"), false}});
    engine->tr.add_line_nb = 1;
    search();
    const auto found = results();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].offsets, offsets);
    EXPECT_EQ(found[0].lines, lines);
    EXPECT_EQ(count(engine->ir.found_nb), offsets.size());
}

TEST_F(SearchTest, AFolderItemWithAFinalSlashGivesPlainPaths) {
    make_dir("sub");
    make_file("sub/c.txt", "needle");
    make_dir("next");
    make_file("next/d.txt", "needle");
    set_target(*engine, "needle", {{tree() + "/", true}});
    search();
    auto found = results();
    ASSERT_EQ(found.size(), 2u);
    std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.name < b.name; });
    EXPECT_EQ(found[0].dir, tree() + "/sub");
    EXPECT_EQ(found[1].dir, tree() + "/next");
}

TEST_F(EngineTest, RootFolderTakesNoSecondSlash) {
    ASSERT_EQ(engine->copy_dir_name("/"), 0u);
    ASSERT_EQ(engine->append_to_dir_name("usr"), 0u);
    EXPECT_STREQ(engine->br.dir_name, "/usr");
}

TEST_F(SearchTest, EmptyAndShortFilesAreCountedButLeaveNoTrace) {
    make_file("empty", "");
    make_file("short", "nee");
    set_target(*engine, "needle", {{tree(), true}});
    search();
    EXPECT_EQ(count(engine->ir.file_nb), 2u);
    EXPECT_EQ(count(engine->ir.total_bytes), 0u);
    EXPECT_TRUE(results().empty());
    EXPECT_TRUE(read_file(dir / "TW_found/TW_found_offset").empty());
    EXPECT_TRUE(read_file(dir / "TW_found/TW_found_path").empty());
}

TEST_F(SearchTest, DotNamesAreSkippedOnlyWhenAsked) {
    make_file(".profile", "needle");
    make_dir(".hidden");
    make_file(".hidden/x", "needle");
    make_file("plain", "needle");
    for (bool skip : {true, false}) {
        set_target(*engine, "needle", {{tree(), true}});
        engine->tr.not_inside = skip;
        search();
        EXPECT_EQ(count(engine->ir.file_nb), skip ? 1u : 3u);
        EXPECT_EQ(count(engine->ir.dir_nb), skip ? 0u : 1u);
        EXPECT_EQ(results().size(), skip ? 1u : 3u);
    }
}

TEST_F(SearchTest, LinksInAWalkAreIgnoredButAFileItemLinkIsFollowed) {
    make_dir("real");
    make_file("real/target.txt", "needle");
    make_dir("walk");
    ::symlink(at("real/target.txt").c_str(), at("walk/link.txt").c_str());
    ::symlink(at("real").c_str(), at("walk/link_dir").c_str());
    ::mkfifo(at("walk/fifo").c_str(), 0644);
    set_target(*engine, "needle", {{at("walk"), true}});
    search();
    EXPECT_EQ(count(engine->ir.file_nb), 0u);
    EXPECT_EQ(count(engine->ir.dir_nb), 0u);
    EXPECT_EQ(count(engine->ir.file_err_nb), 0u);
    EXPECT_TRUE(results().empty());

    set_target(*engine, "needle", {{at("walk/link.txt"), false}});
    search();
    EXPECT_EQ(count(engine->ir.file_nb), 1u);
    const auto found = results();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].dir, at("walk"));
    EXPECT_EQ(found[0].name, "link.txt");
}

TEST_F(SearchTest, TheResultAndApplicationFoldersAreNeverEntered) {
    // The resource folder holds the result files being written: the tree
    // searched here contains it. Only TW_found is kept out.
    write_file(dir / "TW_target/notes", "needle");
    write_file(dir / "TW_found/old", "needle");
    set_target(*engine, "needle", {{dir.path(), true}});
    search();
    EXPECT_EQ(engine->fatal_err_index, 0u);
    ASSERT_EQ(results().size(), 1u);
    EXPECT_EQ(results()[0].dir, dir / "TW_target");
    EXPECT_EQ(results()[0].name, "notes");

    engine->bundle_dir_pathname_ptr = at("app");
    make_dir("app");
    make_file("app/inside", "needle");
    make_dir("application");
    make_file("application/outside", "needle");
    set_target(*engine, "needle", {{tree(), true}});
    search();
    const auto found = results();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "outside");

    set_target(*engine, "needle", {{at("app"), true}});
    search();
    EXPECT_EQ(count(engine->ir.file_nb) + count(engine->ir.dir_nb) + count(engine->ir.dir_err_nb), 0u);
}

TEST_F(SearchTest, RefusedPatternsAndTooSmallTextBufferEndBeforeAnyFileIsRead) {
    make_file("f", "needle");
    set_target(*engine, "ab?", {{at("f"), false}});
    engine->tr.use_wildcard = 1;
    search();
    EXPECT_EQ(engine->fatal_err_index, ERR_INVALID_NAME);

    engine->finalize_tw_buffer();
    engine->pr.text_mem_size = 16;
    ASSERT_EQ(engine->initialize_tw_buffer(), 0u);
    set_target(*engine, std::string(20, 'n'), {{at("f"), false}});
    search();
    EXPECT_EQ(engine->fatal_err_index, ERR_MEMORY);
    EXPECT_EQ(count(engine->ir.total_bytes), 0u);
}

TEST_F(SearchTest, LongPatternGrowsTheStringBuffer) {
    const std::string pattern(5000, 'q');
    make_file("f", "x" + pattern + "x");
    set_target(*engine, pattern, {{at("f"), false}});
    search();
    EXPECT_EQ(engine->fatal_err_index, 0u);
    EXPECT_GE(engine->sr.STR_BUF_SIZE, 10000u);
    ASSERT_EQ(results().size(), 1u);
    EXPECT_EQ(results()[0].offsets, (std::vector<u64>{1}));
}

TEST_F(SearchTest, MissingResultFolderEndsTheSearchAtOnce) {
    std::filesystem::remove_all(dir / "TW_found");
    set_target(*engine, "needle", {{tree(), true}});
    search();
    EXPECT_EQ(engine->fatal_err_index, ERR_ACCESS_DIR);
    EXPECT_EQ(std::string(engine->build_fatal_str_err()),
              "access denied or invalid directory: " + (dir / "TW_found") +
                  ": No such file or directory");
}

TEST_F(SearchTest, FullDiskEndsTheWholeSearchFromAnyDepth) {
    make_dir("deep");
    make_dir("deep/er");
    make_file("deep/er/f", std::string(100, 'n'));
    make_file("other", "n");
    std::filesystem::remove(dir / "TW_found/TW_found_offset");
    ::symlink("/dev/full", (dir / "TW_found/TW_found_offset").c_str());
    set_target(*engine, "n", {{tree(), true}, {at("other"), false}});
    search();
    EXPECT_EQ(engine->fatal_err_index, ERR_WRITE_FILE);
    EXPECT_GE(count(engine->ir.other_err_nb), 1u);
    EXPECT_EQ(std::string(engine->br.dir_name), tree());
}

TEST_F(SearchTest, MissingItemsAreCountedAndTheLastOneIsTheOutcome) {
    make_file("here", "needle");
    set_target(*engine, "needle", {{at("gone"), false}, {at("here"), false}, {at("nodir"), true}});
    EXPECT_STREQ(engine->file_or_dir_exist_in_current_target(), at("gone").c_str());
    EXPECT_EQ(engine->tr.item_index, 0u);
    search();
    EXPECT_EQ(count(engine->ir.dir_err_nb), 2u);
    EXPECT_EQ(count(engine->ir.file_nb), 1u);
    EXPECT_EQ(engine->fatal_err_index, ERR_OPEN_DIR);
    EXPECT_EQ(results().size(), 1u);
}

TEST_F(SearchTest, UnreadableEntriesFollowTheSkipErrorOption) {
    make_dir("x");
    make_file("x/bad", "needle");
    ::chmod(at("x/bad").c_str(), 0);
    make_dir("y");
    make_dir("y/locked");
    make_file("y/locked/f", "needle");
    ::chmod(at("y/locked").c_str(), 0);
    make_dir("y/nox");
    make_file("y/nox/f", "needle");
    ::chmod(at("y/nox").c_str(), 0444);
    make_file("z", "needle");
    // The result folder must be writable by the unprivileged user.
    ::chown((dir / "TW_found").c_str(), 65534, 65534);
    for (const char* name : {"TW_found_header", "TW_found_path", "TW_found_offset"})
        std::filesystem::remove(dir / (std::string("TW_found/") + name));

    for (int skip : {0, 1}) {
        set_target(*engine, "needle", {{at("x"), true}, {at("y"), true}, {at("z"), false}});
        engine->tr.skip_error = static_cast<u64>(skip);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const int status = run_as_nobody([&] {
            engine->search_in_target();
            const u64 out[] = {engine->fatal_err_index, engine->ir.file_nb, engine->ir.file_err_nb,
                               engine->ir.dir_nb, engine->ir.dir_err_nb, engine->ir.found_nb};
            return ::write(fds[1], out, sizeof out) == static_cast<ssize_t>(sizeof out) ? 0 : 1;
        });
        ::close(fds[1]);
        u64 got[6] = {};
        ASSERT_EQ(::read(fds[0], got, sizeof got), static_cast<ssize_t>(sizeof got));
        ::close(fds[0]);
        ASSERT_EQ(status, 0);
        SCOPED_TRACE(skip);
        EXPECT_EQ(got[0], 0u);                  // the last item, z, went well
        EXPECT_EQ(got[2], 1u);                  // x/bad
        // y/locked cannot be listed, y/nox cannot be entered; without skipping
        // the walk of y ends at whichever of them comes first.
        EXPECT_EQ(got[4], skip ? 2u : 1u);
        EXPECT_EQ(got[1], skip ? 2u : 1u);      // z, and x/bad when errors are skipped
        EXPECT_EQ(got[5], 1u);
        // Without skipping, y's walk ends at its first failing sub-folder;
        // either way y itself is not counted (it is an item).
        EXPECT_EQ(got[3], 0u);
    }
}

TEST_F(SearchTest, StopInTheMiddleClosesEveryDescriptor) {
    make_dir("a");
    make_dir("a/b");
    // A large sparse file: reading it takes far longer than the test waits.
    {
        std::ofstream f(at("a/b/huge"));
    }
    ASSERT_EQ(::truncate(at("a/b/huge").c_str(), off_t{64} << 30), 0);
    set_target(*engine, "zq", {{tree(), true}});
    const int before = open_descriptor_count();
    ASSERT_TRUE(engine->start_search_thread());
    EXPECT_EQ(engine->searching_now.load(), 1);
    EXPECT_FALSE(engine->start_search_thread());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (engine->ir.total_bytes.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(engine->ir.total_bytes.load(), 0u);
    engine->stop_and_join_search();
    EXPECT_EQ(engine->searching_now.load(), 0);
    EXPECT_EQ(engine->fatal_err_index, 0u);
    EXPECT_LT(engine->ir.total_bytes.load(), u64{64} << 30);
    EXPECT_EQ(open_descriptor_count(), before);
}

TEST_F(SearchTest, EarlyFailureStillClearsSearchingNow) {
    std::filesystem::remove_all(dir / "TW_found");
    set_target(*engine, "needle", {{tree(), true}});
    ASSERT_TRUE(engine->start_search_thread());
    engine->join_search_thread();
    EXPECT_EQ(engine->searching_now.load(std::memory_order_acquire), 0);
    EXPECT_EQ(engine->fatal_err_index, ERR_ACCESS_DIR);
}

TEST_F(SearchTest, CaseInsensitiveSearchFindsEveryCase) {
    make_file("f", "Needle NEEDLE needle nEEDLe");
    set_target(*engine, "NeEdLe", {{at("f"), false}});
    engine->tr.case_insensitive = 1;
    search();
    ASSERT_EQ(results().size(), 1u);
    EXPECT_EQ(results()[0].offsets, (std::vector<u64>{0, 7, 14, 21}));
}

namespace {

// Records what a search tells its listener, reading each found file's
// records back from the result files at the moment it is announced.
struct RecordingListener : SearchListener {
    std::string found_dir;
    std::vector<FoundFile> announced;
    std::vector<u64> indexes;
    std::vector<std::pair<std::string, int>> failures;

    void found_file_done(u64 file_index, const FoundFileHeader& h, std::string_view dir,
                         std::string_view name) override {
        indexes.push_back(file_index);
        const Bytes offsets = read_file(found_dir + "/TW_found_offset");
        FoundFile f{std::string(dir), std::string(name), {}, {}};
        for (u64 i = 0; i < h.occ_nb; ++i) f.offsets.push_back(le64_at(offsets, h.occ_pos + i * 8));
        // The header itself is on disk too.
        const Bytes headers = read_file(found_dir + "/TW_found_header");
        if (headers.size() < (file_index + 1) * 48 ||
            le64_at(headers, file_index * 48 + 32) != h.occ_nb)
            f.name += " (header missing)";
        announced.push_back(f);
    }
    void item_failed(std::string_view path, int err) override {
        failures.emplace_back(std::string(path), err);
    }
};

}  // namespace

TEST_F(SearchTest, ListenerHearsEachFoundFileWhenItsRecordsAreOnDiskAndEachFailure) {
    make_file("a", "xx needle");
    make_file("b", "none");
    make_dir("sub");
    // Larger than the text buffer, so its records are written in pieces.
    std::string big(3 * 1024 * 1024, 'x');
    for (std::size_t at = 100; at < big.size(); at += 700 * 1024) big.replace(at, 6, "needle");
    make_file("sub/c", big);
    RecordingListener listener;
    listener.found_dir = dir / "TW_found";
    engine->listener = &listener;
    set_target(*engine, "needle",
               {{tree(), true}, {at("missing"), false}, {at("gone/folder"), true}});
    search();
    engine->listener = nullptr;

    EXPECT_EQ(listener.indexes, (std::vector<u64>{0, 1}));
    EXPECT_EQ(listener.announced.size(), results().size());
    for (std::size_t i = 0; i < listener.announced.size() && i < results().size(); ++i) {
        EXPECT_EQ(listener.announced[i].dir, results()[i].dir);
        EXPECT_EQ(listener.announced[i].name, results()[i].name);
        EXPECT_EQ(listener.announced[i].offsets, results()[i].offsets);
    }
    ASSERT_EQ(listener.failures.size(), 2u);
    EXPECT_EQ(listener.failures[0], std::make_pair(at("missing"), ENOENT));
    EXPECT_EQ(listener.failures[1], std::make_pair(at("gone/folder"), ENOENT));
}
