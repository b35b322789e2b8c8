// What a search shows while it runs and after: the progress texts, the
// final summary, and the text report of the result in both languages.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/tw.h"
#include "engine_fixture.h"

using namespace tw;
using namespace tw_test;

TEST_F(EngineTest, ProgressShortensLongNamesShowsSizesInKAndRewritesOnlyWhatChanged) {
    ShowInfoRecord& sir = engine->sir;
    sir.show_file_name = sir.show_folder_name = sir.show_found_occ_nb = 1;
    sir.show_found_file_nb = sir.show_total_bytes = sir.show_access_err_nb = 1;
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
    EXPECT_EQ((std::vector<std::string>{sir.file_text, sir.file_size_text, sir.folder_text, sir.found_text, sir.files_text,
                                        sir.bytes_text, sir.errors_text}),
              (std::vector<std::string>{"..." + std::string(53, 'b'), "20K", "/short/dir", "3", "2", "20479", "2"}));
    EXPECT_EQ(engine->sir.found_changed + engine->sir.bytes_changed + engine->sir.errors_changed, 3);

    engine->set_show_info(1);
    EXPECT_EQ(engine->sir.folder_changed + engine->sir.found_changed + engine->sir.bytes_changed, 0);
    const std::string folder = "/" + std::string(100, 'f');
    ASSERT_EQ(engine->copy_dir_name(folder.c_str()), 0u);
    engine->set_show_info(1);
    EXPECT_EQ(std::string(engine->sir.folder_text), "..." + std::string(69, 'f'));
}

TEST_F(EngineTest, FinalSummaryInBothLanguagesWithAFullStopWhateverTheLocale) {
    engine->ir.found_nb = 7;
    engine->ir.total_bytes = 1048576;
    engine->ellipsed_time = 2345678;
    // Under a locale whose decimal mark is a comma.
    TempDir locales;
    const std::string made = locales.path() + "/fr_FR.UTF-8";
    ASSERT_EQ(std::system(("localedef -i fr_FR -f UTF-8 " + made + " 2>/dev/null").c_str()) >> 8, 0);
    ::setenv("LOCPATH", locales.path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"), nullptr);
    // Each count with its word in the singular for 1 (and for 0 in French).
    const struct {
        int language;
        u64 files, file_errors, folders, folder_errors;
        const char *file_text, *folder_text;
    } cases[] = {
        {0, 12, 1, 4, 2, "12 files scanned,   1 error,  search time: 2.35 sec.", "4 directories scanned,   2 errors"},
        {1, 12, 1, 4, 2, "12 fichiers vus,   1 erreur,  temps: 2.35 sec.", "4 dossiers parcourus,   2 erreurs"},
        {0, 1, 0, 0, 1, "1 file scanned,   0 errors,  search time: 2.35 sec.", "0 directories scanned,   1 error"},
        {1, 1, 0, 0, 1, "1 fichier vu,   0 erreur,  temps: 2.35 sec.", "0 dossier parcouru,   1 erreur"},
        {1, 0, 2, 1, 0, "0 fichier vu,   2 erreurs,  temps: 2.35 sec.", "1 dossier parcouru,   0 erreur"},
    };
    for (const auto& c : cases) {
        engine->language = c.language;
        engine->ir.file_nb = c.files;
        engine->ir.file_err_nb = c.file_errors;
        engine->ir.dir_nb = c.folders;
        engine->ir.dir_err_nb = c.folder_errors;
        engine->set_show_info(2);
        EXPECT_STREQ(engine->sir.file_text, c.file_text);
        EXPECT_STREQ(engine->sir.folder_text, c.folder_text);
    }
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
    EXPECT_STREQ(engine->sir.found_text, "7");
    EXPECT_STREQ(engine->sir.bytes_text, "1024K");
    EXPECT_STREQ(engine->sir.errors_text, "");
}

// a.txt holds "key" three times, the first at offset 12 in line 2; b.txt
// once, in its first line; c.txt none. File items fix the order.
TEST_F(EngineTest, ReportListsEachFoundFileInBothLanguages) {
    make_file("a.txt", "line one\nxx key key\nkey\n");
    make_file("b.txt", "key");
    make_file("c.txt", "nothing");
    const std::string report = dir / "report.txt";
    const std::string en = "**** Search result for target 'test target' *****\n\n"
                           "Number of files with at least one occurence: 2\n\n";
    const std::string fr = "**** R\xC3\xA9sultat de la recherche pour le canevas 'test target' *****\n\n"
                           "Nombre de fichiers avec au moins un: 2\n\n";
    struct Case {
        int language;
        bool lines;
        std::string a, b;  // the lines after each path
        bool forms = false;  // "line" searched as a second form
        bool named = false;  // the forms named by the caller
    } cases[] = {
        {0, false, "Number of found: 3, First at file offset: 12", "Number of found: 1, First at file offset: 0"},
        {0, true, "Number of found: 3, First at file offset: 12, Line: 2",
         "Number of found: 1, First at file offset: 0, Line: 1"},
        {1, false, "Nombre de trouv\xC3\xA9: 3,  Premier dans le fichier \xC3\xA0 l'index: 12",
         "Nombre de trouv\xC3\xA9: 1,  Premier dans le fichier \xC3\xA0 l'index: 0"},
        {1, true, "Nombre de trouv\xC3\xA9: 3, Premier dans le fichier \xC3\xA0 l'index: 12, Ligne: 2",
         "Nombre de trouv\xC3\xA9: 1, Premier dans le fichier \xC3\xA0 l'index: 0, Ligne: 1"},
        {0, false, "Number of found: 4, First at file offset: 0\n\nFound per form: 3 / 1",
         "Number of found: 1, First at file offset: 0\n\nFound per form: 1 / 0", true},
        {0, false, "Number of found: 4, First at file offset: 0\n\nFound per form: key: 3 / line: 1",
         "Number of found: 1, First at file offset: 0\n\nFound per form: key: 1 / line: 0", true, true},
        {1, true,
         "Nombre de trouv\xC3\xA9: 4, Premier dans le fichier \xC3\xA0 l'index: 0, Ligne: 1\n\n"
         "Trouv\xC3\xA9s par forme : 3 / 1",
         "Nombre de trouv\xC3\xA9: 1, Premier dans le fichier \xC3\xA0 l'index: 0, Ligne: 1\n\n"
         "Trouv\xC3\xA9s par forme : 1 / 0", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.language << c.lines);
        set_target(*engine, "key", {{at("a.txt"), false}, {at("c.txt"), false}, {at("b.txt"), false}});
        engine->tr.add_line_nb = c.lines ? 1 : 0;
        engine->more_forms.clear();
        if (c.forms) engine->more_forms.push_back({{'l', 'i', 'n', 'e'}, {}, false, '?'});
        engine->forms_described.clear();
        if (c.named) engine->forms_described = {{0, 4, false, "key"}, {0, 4, false, "line"}};
        search();
        ASSERT_EQ(engine->ir.found_nb.load(), c.forms ? 5u : 4u);
        engine->language = c.language;
        write_file(report, std::string(10000, 'o'));  // replaced whole
        ASSERT_EQ(engine->save_search_info_in_text_file(report.c_str()), 0u);
        EXPECT_EQ(slurp(report), (c.language == 0 ? en : fr) + at("a.txt") + "\n" + c.a + "\n\n" +
                                       at("b.txt") + "\n" + c.b + "\n\n");
    }
}

// The report's caller may describe the search under the title, from the
// description of the result being reported.
TEST_F(EngineTest, ReportStartsWithTheDescriptionOfItsSearch) {
    make_file("b.txt", "key");
    set_target(*engine, "key", {{at("b.txt"), false}});
    search();
    const std::string report = dir / "described.txt";
    std::string seen;
    ASSERT_EQ(engine->save_search_info_in_text_file(report.c_str(),
                                                    [&](const tw::ResultInfo& info) {
                                                        seen = info.search_str + "|" + info.target_name;
                                                        return std::vector<std::string>{"one", "two"};
                                                    }),
              0u);
    EXPECT_EQ(seen, "key|test target");
    EXPECT_EQ(slurp(report), "**** Search result for target 'test target' *****\n\none\ntwo\n\n"
                               "Number of files with at least one occurence: 1\n\n" +
                                   at("b.txt") + "\nNumber of found: 1, First at file offset: 0\n\n");
}
