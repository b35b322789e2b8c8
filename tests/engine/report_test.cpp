// The text report of the last search, in both languages.
#include <filesystem>
#include <string>

#include "engine/tw.h"
#include "engine_fixture.h"
#include "search_support.h"

using namespace tw;
using namespace tw_test;

namespace {

class ReportTest : public EngineTest {
protected:
    // Two found files, given as file items so their order is fixed:
    // a.txt holds "key" three times, the first in line 2; b.txt once, in
    // its first line. c.txt holds none.
    void search(bool with_lines) {
        ::mkdir((dir / "tree").c_str(), 0755);
        write_file(dir / "tree/a.txt", std::string("line one\nxx key key\nkey\n"));
        write_file(dir / "tree/b.txt", std::string("key"));
        write_file(dir / "tree/c.txt", std::string("nothing"));
        set_target(*engine, "key",
                   {{dir / "tree/a.txt", false}, {dir / "tree/c.txt", false}, {dir / "tree/b.txt", false}});
        engine->tr.add_line_nb = with_lines ? 1 : 0;
        engine->search_in_target();
        ASSERT_EQ(engine->fatal_err_index, 0u);
        ASSERT_EQ(engine->ir.found_nb.load(), 4u);
    }

    std::string report_text(const std::string& path) {
        const Bytes b = read_file(path);
        return std::string(b.begin(), b.end());
    }

    std::string english_without_lines() const {
        return "**** Search result for target 'test target' *****\n\n"
               "Number of files with at least one occurence: 2\n\n" +
               a_path() + "\nNumber of found: 3, First at file offset: 12\n\n" + b_path() +
               "\nNumber of found: 1, First at file offset: 0\n\n";
    }

    std::string a_path() const { return dir / "tree/a.txt"; }
    std::string b_path() const { return dir / "tree/b.txt"; }
};

TEST_F(ReportTest, EnglishWithoutLineNumbers) {
    search(false);
    const std::string path = dir / "report.txt";
    ASSERT_EQ(engine->save_search_info_in_text_file(path.c_str()), 0u);
    EXPECT_EQ(report_text(path), english_without_lines());
}

// Saving walks the result, yet the occurrence on show stays where it was.
TEST_F(ReportTest, SavingDoesNotMoveTheOccurrenceOnShow) {
    search(false);
    ASSERT_EQ(engine->open_found_file("r"), 0u);
    engine->sur.file_index = 0;
    engine->sur.occ_index = 2;
    ASSERT_EQ(engine->get_search_info_for_file(), 0u);
    const tw::u64 offset = engine->sur.occ_offset;
    engine->close_found_file();
    const std::string path = dir / "report.txt";
    ASSERT_EQ(engine->save_search_info_in_text_file(path.c_str()), 0u);
    EXPECT_EQ(engine->sur.file_index, 0u);
    EXPECT_EQ(engine->sur.occ_index, 2u);
    EXPECT_EQ(engine->sur.occ_offset, offset);
    EXPECT_EQ(std::string(engine->br.dir_name) + "/" + engine->br.file_name, a_path());
}

TEST_F(ReportTest, EnglishWithLineNumbersCountsLinesFromOne) {
    search(true);
    const std::string path = dir / "report.txt";
    ASSERT_EQ(engine->save_search_info_in_text_file(path.c_str()), 0u);
    EXPECT_EQ(report_text(path),
              "**** Search result for target 'test target' *****\n\n"
              "Number of files with at least one occurence: 2\n\n" +
                  a_path() + "\nNumber of found: 3, First at file offset: 12, Line: 2\n\n" +
                  b_path() + "\nNumber of found: 1, First at file offset: 0, Line: 1\n\n");
}

TEST_F(ReportTest, FrenchWithoutLineNumbers) {
    search(false);
    engine->language = 1;
    const std::string path = dir / "rapport.txt";
    ASSERT_EQ(engine->save_search_info_in_text_file(path.c_str()), 0u);
    EXPECT_EQ(report_text(path),
              "**** R\xC3\xA9sultat de la recherche pour le canevas 'test target' *****\n\n"
              "Nombre de fichiers avec au moins un: 2\n\n" +
                  a_path() +
                  "\nNombre de trouv\xC3\xA9: 3,  Premier dans le fichier \xC3\xA0 l'index: 12\n\n" +
                  b_path() +
                  "\nNombre de trouv\xC3\xA9: 1,  Premier dans le fichier \xC3\xA0 l'index: 0\n\n");
}

TEST_F(ReportTest, FrenchWithLineNumbers) {
    search(true);
    engine->language = 1;
    const std::string path = dir / "rapport.txt";
    ASSERT_EQ(engine->save_search_info_in_text_file(path.c_str()), 0u);
    EXPECT_EQ(report_text(path),
              "**** R\xC3\xA9sultat de la recherche pour le canevas 'test target' *****\n\n"
              "Nombre de fichiers avec au moins un: 2\n\n" +
                  a_path() +
                  "\nNombre de trouv\xC3\xA9: 3, Premier dans le fichier \xC3\xA0 l'index: 12, "
                  "Ligne: 2\n\n" +
                  b_path() +
                  "\nNombre de trouv\xC3\xA9: 1, Premier dans le fichier \xC3\xA0 l'index: 0, "
                  "Ligne: 1\n\n");
}

TEST_F(ReportTest, SearchWithoutFoundFilesGivesTitleAndCountOnly) {
    write_file(dir / "empty.txt", std::string("nothing here"));
    set_target(*engine, "key", {{dir / "empty.txt", false}});
    engine->search_in_target();
    ASSERT_EQ(engine->fatal_err_index, 0u);
    const std::string path = dir / "report.txt";
    ASSERT_EQ(engine->save_search_info_in_text_file(path.c_str()), 0u);
    EXPECT_EQ(report_text(path),
              "**** Search result for target 'test target' *****\n\n"
              "Number of files with at least one occurence: 0\n\n");
    engine->language = 1;
    ASSERT_EQ(engine->save_search_info_in_text_file(path.c_str()), 0u);
    EXPECT_EQ(report_text(path),
              "**** R\xC3\xA9sultat de la recherche pour le canevas 'test target' *****\n\n"
              "Nombre de fichiers avec au moins un: 0\n\n");
}

TEST_F(ReportTest, ExistingReportIsReplacedWhole) {
    search(false);
    const std::string path = dir / "report.txt";
    write_file(path, std::string(10000, 'o'));
    ASSERT_EQ(engine->save_search_info_in_text_file(path.c_str()), 0u);
    EXPECT_EQ(report_text(path), english_without_lines());
}

TEST_F(ReportTest, ReportInAMissingFolderGivesOneAndLeavesNothing) {
    search(false);
    ::mkdir((dir / "out").c_str(), 0755);
    const std::string path = dir / "out/missing/report.txt";
    EXPECT_EQ(engine->save_search_info_in_text_file(path.c_str()), ERR_OPEN_FILE);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
    // The result files were closed again: a second report succeeds.
    const std::string good = dir / "out/report.txt";
    EXPECT_EQ(engine->save_search_info_in_text_file(good.c_str()), 0u);
}

TEST_F(ReportTest, ReportIntoAnUnwritableFolderLeavesTheOldReport) {
    search(false);
    ::mkdir((dir / "locked").c_str(), 0755);
    const std::string path = dir / "locked/report.txt";
    write_file(path, std::string("old report"));
    ::chmod((dir / "locked").c_str(), 0555);
    const int status = run_as_nobody([&] {
        return static_cast<int>(engine->save_search_info_in_text_file(path.c_str()));
    });
    ::chmod((dir / "locked").c_str(), 0755);
    // The result files are owned by root but readable by all; only the
    // report's folder refuses the write.
    EXPECT_EQ(status, static_cast<int>(ERR_OPEN_FILE));
    EXPECT_EQ(report_text(path), "old report");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "locked"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(ReportTest, MissingResultFolderGivesTheOpenCode) {
    std::filesystem::remove_all(dir / "TW_found");
    const std::string path = dir / "report.txt";
    EXPECT_EQ(engine->save_search_info_in_text_file(path.c_str()), ERR_ACCESS_DIR);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ReportTest, DamagedResultFilesGiveTheReadCodeAndNoReport) {
    search(false);
    // A header whose names lie beyond the end of TW_found_path.
    Bytes header;
    for (u64 v : {u64{1000}, u64{5}, u64{1005}, u64{6}, u64{1}, u64{0}}) append_le64(header, v);
    write_file(dir / "TW_found/TW_found_header", header);
    const std::string path = dir / "report.txt";
    EXPECT_EQ(engine->save_search_info_in_text_file(path.c_str()), ERR_READ_FILE);
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
