// Reading the result files back: the summary of one found file and
// occurrence, its excerpt and display names.
#include <string>

#include "engine/tw.h"
#include "engine_fixture.h"
#include "search_support.h"

using namespace tw;
using namespace tw_test;

namespace {

class FoundStoreTest : public EngineTest {
protected:
    // Searches the given files (as file items, in this order) for pattern.
    void search_files(const std::string& pattern, const std::vector<std::string>& names,
                      bool lines = false) {
        std::vector<Item> items;
        for (const auto& n : names) items.push_back({dir / n, false});
        set_target(*engine, pattern, items);
        engine->tr.add_line_nb = lines;
        engine->search_in_target();
        ASSERT_EQ(engine->fatal_err_index, 0u);
    }
    u64 summary(u64 file, u64 occ) {
        engine->sur.file_index = file;
        engine->sur.occ_index = occ;
        return engine->build_summary();
    }
};

std::string with_occurrences(std::size_t size, const std::string& pattern,
                             const std::vector<std::size_t>& at) {
    std::string s(size, '-');
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>('a' + i % 23);
    for (std::size_t o : at) s.replace(o, pattern.size(), pattern);
    return s;
}

}  // namespace

TEST_F(FoundStoreTest, SummaryReadsNamesOffsetsAndLines) {
    write_file(dir / "one.txt", "x\nNEED\nNEED\n\nNEED");
    write_file(dir / "two.txt", "NEED");
    search_files("NEED", {"one.txt", "two.txt"}, true);
    ASSERT_EQ(summary(0, 2), 0u);
    EXPECT_EQ(engine->sur.file_nb, 2u);
    EXPECT_EQ(engine->sur.occ_nb, 3u);
    EXPECT_EQ(engine->sur.occ_offset, 13u);
    EXPECT_EQ(engine->sur.occ_line, 4u);
    EXPECT_EQ(engine->sur.has_line, 1u);
    EXPECT_STREQ(engine->br.file_name, "one.txt");
    EXPECT_EQ(std::string(engine->br.dir_name), dir.path());
    EXPECT_EQ(engine->sur.summary_status, 0u);

    ASSERT_EQ(summary(1, 0), 0u);
    EXPECT_EQ(engine->sur.occ_nb, 1u);
    EXPECT_EQ(engine->sur.occ_offset, 0u);
    EXPECT_STREQ(engine->br.file_name, "two.txt");
    EXPECT_EQ(engine->sur.excerpt_len, 4u);

    EXPECT_EQ(summary(1, 1), ERR_BAD_INDEX);
    EXPECT_EQ(summary(2, 0), ERR_READ_FILE);
}

TEST_F(FoundStoreTest, SearchWithoutResultGivesNoFoundFile) {
    write_file(dir / "f", "nothing to see");
    search_files("needle", {"f"});
    ASSERT_EQ(summary(0, 0), 0u);
    EXPECT_EQ(engine->sur.file_nb, 0u);
}

TEST_F(FoundStoreTest, ExcerptIsCentredOnTheOccurrenceWhenTheFileAllows) {
    const std::string content = with_occurrences(8000, "WXYZ", {10, 5000, 7998 - 2});
    write_file(dir / "f", content);
    search_files("WXYZ", {"f"});

    ASSERT_EQ(summary(0, 0), 0u);
    EXPECT_EQ(engine->sur.excerpt_file_offset, 0u);
    EXPECT_EQ(engine->sur.excerpt_occ_pos, 10u);
    EXPECT_EQ(engine->sur.excerpt_mark_len, 4u);
    EXPECT_EQ(engine->sur.excerpt_len, 2000u);

    ASSERT_EQ(summary(0, 1), 0u);
    EXPECT_EQ(engine->sur.excerpt_file_offset, 4002u);
    EXPECT_EQ(engine->sur.excerpt_occ_pos, 998u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(engine->sur.excerpt) + 998, 4), "WXYZ");

    // Near the end the excerpt holds what remains of the file.
    ASSERT_EQ(summary(0, 2), 0u);
    EXPECT_EQ(engine->sur.excerpt_file_offset, 7996u + 2u - 1000u);
    EXPECT_EQ(engine->sur.excerpt_len, 8000u - engine->sur.excerpt_file_offset);
    EXPECT_EQ(engine->sur.excerpt[engine->sur.excerpt_len], 0);
}

TEST_F(FoundStoreTest, PatternLongerThanTheExcerptShowsTheFileStart) {
    const std::string pattern(2500, 'P');
    write_file(dir / "f", std::string(3000, '.') + pattern + "tail");
    search_files(pattern, {"f"});
    ASSERT_EQ(summary(0, 0), 0u);
    EXPECT_EQ(engine->sur.excerpt_file_offset, 0u);
    EXPECT_EQ(engine->sur.excerpt_occ_pos, 3000u);
    EXPECT_EQ(engine->sur.excerpt_mark_len, 2000u);
    EXPECT_EQ(engine->sur.excerpt_len, 2000u);
}

TEST_F(FoundStoreTest, FoundFileDeletedAfterTheSearchKeepsItsNamesButNoExcerpt) {
    write_file(dir / "gone.txt", "needle");
    search_files("needle", {"gone.txt"});
    std::filesystem::remove(dir / "gone.txt");
    ASSERT_EQ(summary(0, 0), 0u);
    EXPECT_EQ(engine->sur.summary_status, ERR_ACCESS_DENIED);
    EXPECT_STREQ(engine->br.file_name, "gone.txt");
    EXPECT_EQ(engine->sur.occ_offset, 0u);
}

TEST_F(FoundStoreTest, DamagedResultFilesGiveErrorsNotCrashes) {
    write_file(dir / "f", "needle");
    search_files("needle", {"f"});
    Bytes header = read_file(dir / "TW_found/TW_found_header");
    ASSERT_EQ(header.size(), 48u);
    for (std::size_t word : {1, 3}) {  // a name length beyond TW_found_path
        Bytes bad = header;
        for (int i = 0; i < 8; ++i) bad[word * 8 + i] = 0xFF;
        write_file(dir / "TW_found/TW_found_header", bad);
        EXPECT_EQ(summary(0, 0), ERR_READ_FILE) << word;
    }
    Bytes bad = header;
    bad[40] = 200;  // occ_pos beyond TW_found_offset
    write_file(dir / "TW_found/TW_found_header", bad);
    EXPECT_EQ(summary(0, 0), ERR_READ_FILE);
    std::filesystem::remove_all(dir / "TW_found");
    EXPECT_EQ(summary(0, 0), ERR_ACCESS_DIR);
}

TEST_F(FoundStoreTest, LongNamesAreShortenedForDisplay) {
    const std::string name70 = std::string(9, 'h') + std::string(61, 't');
    ASSERT_EQ(engine->copy_file_name(name70.c_str()), 0u);
    engine->set_summary_filename();
    EXPECT_EQ(std::string(engine->sur.file_name_shown), "..." + std::string(61, 't'));
    EXPECT_EQ(engine->sur.file_name_ptr, engine->br.file_name);
    const std::string dir64(64, 'd');
    ASSERT_EQ(engine->copy_dir_name(dir64.c_str()), 0u);
    engine->set_summary_dirname();
    EXPECT_EQ(std::string(engine->sur.dir_name_shown), dir64);
    ASSERT_EQ(engine->copy_dir_name((dir64 + "e").c_str()), 0u);
    engine->set_summary_dirname();
    EXPECT_EQ(std::string(engine->sur.dir_name_shown), "..." + std::string(60, 'd') + "e");
}
