// Progress texts: reset, periodic update and final summary.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/tw.h"
#include "engine_fixture.h"
#include "support/temp_dir.h"

using namespace tw;
using namespace tw_test;

namespace {

void show_everything(Engine& e) {
    e.sir.show_file_name = e.sir.show_folder_name = e.sir.show_found_occ_nb = 1;
    e.sir.show_found_file_nb = e.sir.show_total_bytes = e.sir.show_access_err_nb = 1;
}

}  // namespace

TEST_F(EngineTest, UpdateShortensLongNamesAndShowsLargeSizesInK) {
    show_everything(*engine);
    engine->set_show_info(0);
    const std::string name = std::string(27, 'a') + std::string(53, 'b');
    ASSERT_EQ(engine->copy_file_name(name.c_str()), 0u);
    ASSERT_EQ(engine->copy_dir_name("/short/dir"), 0u);
    engine->ir.cur_file_size = 20480;
    engine->ir.total_bytes = 20479;
    engine->ir.found_nb = 3;
    engine->ir.file_nb = 2;
    engine->ir.dir_err_nb = 1;
    engine->ir.other_err_nb = 1;
    engine->set_show_info(1);
    EXPECT_EQ(std::string(engine->sir.file_text), "..." + std::string(53, 'b'));
    EXPECT_STREQ(engine->sir.file_size_text, "20K");
    EXPECT_STREQ(engine->sir.folder_text, "/short/dir");
    EXPECT_STREQ(engine->sir.found_text, "3");
    EXPECT_STREQ(engine->sir.files_text, "2");
    EXPECT_STREQ(engine->sir.bytes_text, "20479");
    EXPECT_STREQ(engine->sir.errors_text, "2");
    EXPECT_EQ(engine->sir.file_changed + engine->sir.folder_changed + engine->sir.found_changed +
                  engine->sir.files_changed + engine->sir.bytes_changed + engine->sir.errors_changed,
              6);

    // Nothing changed: only the long name (never equal to its shown form)
    // is rewritten.
    engine->set_show_info(1);
    EXPECT_EQ(engine->sir.folder_changed, 0);
    EXPECT_EQ(engine->sir.found_changed, 0);
    EXPECT_EQ(engine->sir.bytes_changed, 0);
    EXPECT_EQ(engine->sir.errors_changed, 0);

    const std::string folder = "/" + std::string(100, 'f');
    ASSERT_EQ(engine->copy_dir_name(folder.c_str()), 0u);
    engine->set_show_info(1);
    EXPECT_EQ(std::string(engine->sir.folder_text), "..." + std::string(69, 'f'));
}

TEST_F(EngineTest, HiddenTextsAreNotUpdated) {
    engine->set_show_info(0);
    engine->ir.found_nb = 9;
    ASSERT_EQ(engine->copy_file_name("a.txt"), 0u);
    engine->set_show_info(1);
    EXPECT_STREQ(engine->sir.found_text, "");
    EXPECT_STREQ(engine->sir.file_text, "");
    EXPECT_EQ(engine->sir.found_changed, 0);
    EXPECT_EQ(engine->sir.file_changed, 0);
}

TEST_F(EngineTest, ResetKeepsLastShownValuesSoEqualCountersStayBlank) {
    show_everything(*engine);
    engine->ir.found_nb = 5;
    engine->set_show_info(1);
    EXPECT_STREQ(engine->sir.found_text, "5");
    engine->set_show_info(0);
    EXPECT_STREQ(engine->sir.found_text, "");
    EXPECT_EQ(engine->sir.found_changed, 1);
    engine->set_show_info(1);
    EXPECT_STREQ(engine->sir.found_text, "");
    engine->ir.found_nb = 6;
    engine->set_show_info(1);
    EXPECT_STREQ(engine->sir.found_text, "6");
}

TEST_F(EngineTest, FinalSummaryInBothLanguages) {
    engine->ir.file_nb = 12;
    engine->ir.file_err_nb = 1;
    engine->ir.dir_nb = 4;
    engine->ir.dir_err_nb = 2;
    engine->ir.found_nb = 7;
    engine->ir.total_bytes = 1048576;
    engine->ellipsed_time = 2345678;
    engine->set_show_info(2);
    EXPECT_STREQ(engine->sir.file_text, "12 files scanned,   1 errors,  search time: 2.35 sec.");
    EXPECT_STREQ(engine->sir.folder_text, "4 directories scanned,   2 errors");
    EXPECT_STREQ(engine->sir.found_text, "7");
    EXPECT_STREQ(engine->sir.bytes_text, "1024K");
    EXPECT_STREQ(engine->sir.files_text, "");
    EXPECT_STREQ(engine->sir.errors_text, "");
    EXPECT_EQ(engine->sir.last_err_nb, 3u);

    engine->language = 1;
    engine->set_show_info(2);
    EXPECT_STREQ(engine->sir.file_text, "12 fichiers vus,   1 erreurs,  temps: 2.35 sec.");
    EXPECT_STREQ(engine->sir.folder_text, "4 dossiers parcourus,   2 erreurs");
}

// Under a locale whose decimal mark is a comma, the summary keeps its full
// stop (the application runs under the user's locale).
TEST_F(EngineTest, SummaryTimeHasAFullStopWhateverTheLocale) {
    tw_test::TempDir locales;
    const std::string made = locales.path() + "/fr_FR.UTF-8";
    ASSERT_EQ(std::system(("localedef -i fr_FR -f UTF-8 " + made + " 2>/dev/null").c_str()) >> 8, 0);
    ::setenv("LOCPATH", locales.path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"), nullptr);
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.2f", 2.35);
    EXPECT_STREQ(probe, "2,35");  // the locale is in force
    engine->ellipsed_time = 2345678;
    engine->set_show_info(2);
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
    EXPECT_NE(std::string(engine->sir.file_text).find("search time: 2.35 sec."), std::string::npos)
        << engine->sir.file_text;
}

TEST_F(EngineTest, SummaryOfHugeCountsIsCutToTheField) {
    engine->ir.file_nb = ~u64{0};
    engine->ir.file_err_nb = ~u64{0};
    engine->ellipsed_time = ~u64{0};
    engine->set_show_info(2);
    EXPECT_EQ(std::string(engine->sir.file_text).size(), 72u);
}
