// The search window at start-up and through whole searches: the saved
// target or the no-target state, a search from the button to its summary
// and result files, Return and Stop, a target saved during a search, drops;
// and its search string: the encoding pull-down, its marks and its button,
// switches between encodings and hexadecimal, the wildcard, the check of
// each key and paste with its reason on screen, and the alerts of a search
// refused before it starts.
#include "tests/ui/search_window_support.h"
#include "ui/viewer/FoundListModel.h"
#include "ui/common/FormsDialog.h"
#include "ui_FormsDialog.h"

#include <QClipboard>
#include <QLocale>

#include "cli/cli_options.h"
#include "ui/toolkit/alerts.h"

using namespace sw_test;

namespace {

// A key press that types `text` (a key the test keyboard does not have).
void type_text(QWidget* widget, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
}

const QString kWildcardAtEnd = "The search string must not begin/end by the wildcard char.\nThe wildcard option is "
                               "on: uncheck \u201CUse a wildcard\u201D to search for this character itself.";
const QString kHexWildcardRefused =
    "A hexadecimal digit or a blank cannot be the wildcard while the string is in Hexadecimal";

}  // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void the_saved_target_is_loaded_and_another_can_be_chosen() {
        Harness h;
        h.save_target(0, {.name = "Docs", .pattern = "abc"});
        h.save_target(1, {.name = "Other", .pattern = "xyz"});
        h.open_window(1);
        QCOMPARE(h.ui()->target_ref->text(), QString("Other"));
        QCOMPARE(h.view_text(), QString("xyz"));
        QCOMPARE(h.targets()->count(), 3);
        h.targets()->choose_item(1);
        QCOMPARE(h.ui()->target_ref->text(), QString("Docs"));
        QCOMPARE(h.view_text(), QString("abc"));
        // A target that no longer loads leaves no target, and the window
        // refuses to search until a good one is chosen.
        h.damage_target(1);
        h.targets()->choose_item(2);
        QCOMPARE(h.alert_message(), QString("Cannot enable this target"));
        QCOMPARE(h.engine.cur_target_index, tw::i64{-1});
        QVERIFY(!h.ui()->action_but_ref->isEnabled());
        QVERIFY(h.targets()->isEnabled());
    }

    // A first start (no target file) opens the editor without an alert; a
    // default that cannot be loaded gives the alert, and the window takes
    // the lowest-numbered target that loads, or refuses everything but its
    // target pull-down when none does.
    void without_a_usable_target_the_window_refuses_everything() {
        struct Case {
            const char* name;
            std::vector<bool> damaged;  // one per target file
            tw::i64 saved;
            bool alert;
            tw::i64 current;  // after the start
        };
        const Case cases[] = {
            {"first start", {}, -1, false, -1},
            {"saved index gone", {false}, 4, true, 0},
            {"damaged default", {false, true}, 1, true, 0},
            {"damaged first", {true, false}, -1, true, 1},
            {"nothing loads", {true}, 0, true, -1},
        };
        for (const Case& c : cases) {
            Harness h;
            for (std::size_t k = 0; k < c.damaged.size(); ++k) {
                h.save_target(k, {.pattern = "abc"});
                if (c.damaged[k]) h.damage_target(k);
            }
            ModalAnswerer answerer;
            h.open_window(c.saved);
            QVERIFY2(answerer.seen == c.alert, c.name);
            if (c.alert) QCOMPARE(answerer.message, QString("Cannot load default target"));
            QCOMPARE(h.engine.cur_target_index, c.current);
            QCOMPARE(h.editor.calls, c.damaged.empty() ? QStringList{"new"} : QStringList{});
            QCOMPARE(h.ui()->action_but_ref->isEnabled(), c.current >= 0);
            QCOMPARE(h.ui()->string_to_search_ref->isReadOnly(), c.current < 0);
            QCOMPARE(h.encodings()->isEnabled(), c.current >= 0);
            QVERIFY2(h.targets()->isEnabled(), c.name);
            QVERIFY(h.menu.special_menu_is_active());
        }
    }

    // A missing item is only a warning; the window is locked while the
    // search runs, and shows its summary, grouped counters and results after.
    void a_search_runs_from_the_button_to_its_summary() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Harness h;
        h.write_file("tree/a.txt", "xx needle yy\n" + std::string(1000, 'x'));
        h.write_file("tree/b.txt", "nothing here");
        h.write_file("tree/sub/c.txt", "needle\nneedle\n");
        h.open_on({.pattern = "needle", .items = {{h.path("gone"), true}, {h.path("tree"), true}}});
        h.click_action();
        QCOMPARE(h.alert_message(), "File/Folder don't exist (first): " + QString::fromStdString(h.path("gone")));
        QCOMPARE(h.ui()->action_but_ref->text(), QString("Stop"));
        QVERIFY(h.ui()->string_to_search_ref->isReadOnly());
        QVERIFY(!h.encodings()->isEnabled() && !h.targets()->isEnabled());
        h.wait_idle();
        QCOMPARE(h.ui()->folder_name_ref->text(), QString("1 directory scanned,   1 error"));
        QVERIFY2(h.ui()->file_name_ref->text().startsWith("3 files scanned,   0 errors,  search time: "),
                 qPrintable(h.ui()->file_name_ref->text()));
        QCOMPARE(h.ui()->found_nb_ref->text(), QString("3"));
        QCOMPARE(h.ui()->total_byte_ref->text(), QString("1,039"));
        QVERIFY(!h.ui()->string_to_search_ref->isReadOnly());
        QVERIFY(h.encodings()->isEnabled() && h.targets()->isEnabled());
        auto found = tw_test::read_results(h.resource + "/TW_found", false);
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        QCOMPARE(found.size(), std::size_t{2});
        QCOMPARE(found[0].offsets, (std::vector<std::uint64_t>{3}));
        QCOMPARE(found[1].dir, h.path("tree/sub"));
        QCOMPARE(found[1].offsets, (std::vector<std::uint64_t>{0, 7}));
    }

    // Without "Go on after read errors" the search ends at its first
    // unreadable item, named in an alert, and keeps what it found before;
    // with it, the viewer's state line counts the items and its button
    // lists each with its reason, a name that is not UTF-8 escaped.
    void unreadable_items_are_named() {
        for (const bool go_on : {false, true}) {
            Harness h;
            const auto at = [&](const std::string& name) { return h.path("tree/" + name); };
            const std::string latin1 = "s\xE9" "ck";  // not UTF-8
            h.write_file("tree/a.txt", "needle");
            h.write_file("tree/c.txt", "a needle");
            h.write_dead_socket("tree/" + latin1);
            h.write_dead_socket("tree/sock");
            h.open_on({.pattern = "needle",
                       .items = {{at("a.txt"), false}, {at(latin1), false}, {at("c.txt"), false}, {at("sock"), false}}},
                      true);
            h.ui()->skip_read_access_error_ref->setChecked(go_on);
            h.search();
            const QString tree = QString::fromStdString(h.path("tree"));
            const QString first = tree + "/s\\xE9ck: Connection refused";
            QTRY_COMPARE(h.alert_message(), go_on ? QString("<no alert>")
                                                  : "The search stopped at a file or folder it could not read:\n" +
                                                        first + "\nOnly the files found before it are listed in the viewer.");
            QCOMPARE(h.engine.sur.file_nb, go_on ? tw::u64{2} : tw::u64{1});
            QCOMPARE(h.viewer->result_state_line()->text(),
                     go_on ? QString("2 files or folders could not be read.")
                           : "Search stopped at a file or folder it could not read (" + first +
                                 "): only the files found before it are listed. 1 file or folder could not be read.");
            h.viewer->window()->findChild<QPushButton*>("unreadable_but_ref")->click();
            QVERIFY(h.viewer->unreadable_panel() != nullptr);
            auto* list = h.viewer->unreadable_panel()->findChild<QPlainTextEdit*>("unreadable_list_ref");
            QCOMPARE(list->toPlainText(), go_on ? first + "\n" + tree + "/sock: Connection refused" : first);
        }
    }

    void a_search_that_cannot_write_its_results_reports_at_the_first_tick() {
        Harness h;
        h.write_file("tree/a.txt", "needle");
        h.open_on({.pattern = "needle", .items = {{h.path("tree"), true}}});
        std::filesystem::remove_all(h.resource + "/TW_found");
        h.click_action();
        QTRY_VERIFY_WITH_TIMEOUT(h.alert_shown(), 10000);
        QVERIFY(h.idle());
        QVERIFY2(h.alert_message().contains("TW_found"), qPrintable(h.alert_message()));
    }

    // Return starts a search, whose counters move, and stops it at once,
    // unless a preference file says that it types a line break;
    // Shift+Return and Ctrl+Return always type one.
    void return_searches_unless_the_preferences_say_otherwise() {
        for (const int saved : {-1, 0, 1}) {  // -1: no preference file
            Harness h;
            h.write_sparse_file("big", off_t{64} << 30);
            h.save_target(0, {.pattern = "needle", .items = {{h.path("big"), false}}});
            if (saved >= 0) {
                h.engine.pr.return_key_is_search = static_cast<std::uint8_t>(saved);
                h.engine.sir.show_total_bytes = 1;
                QCOMPARE(h.engine.save_pref_file(), tw::u64{0});
            }
            h.open_window(0);
            const bool searches = saved != 0;
            QPlainTextEdit* view = h.ui()->string_to_search_ref;
            view->moveCursor(QTextCursor::End);
            QTest::keyClick(view, Qt::Key_Return);
            QCOMPARE(h.controller->search_is_running(), searches);
            QCOMPARE(h.view_text(), QString(searches ? "needle" : "needle\n"));
            if (searches) {
                QTRY_VERIFY_WITH_TIMEOUT(!h.ui()->total_byte_ref->text().isEmpty(), 10000);
                QTest::keyClick(view, Qt::Key_Return);
                QVERIFY(h.idle());
                QCOMPARE(h.engine.searching_now.load(), std::uint8_t{0});
                QCOMPARE(h.view_text(), QString("needle"));
            }
            h.controller->set_search_view_text("a");
            view->moveCursor(QTextCursor::End);
            QTest::keyClick(view, Qt::Key_Return, Qt::ShiftModifier);
            QTest::keyClick(view, Qt::Key_Return, Qt::ControlModifier);
            QCOMPARE(h.view_text(), QString("a\n\n"));
        }
    }

    void a_target_saved_during_a_search_waits_for_its_end() {
        Harness h;
        h.write_sparse_file("big", off_t{64} << 30);
        h.open_on({.name = "Big", .pattern = "needle", .items = {{h.path("big"), false}}});
        h.click_action();
        {
            tw::Engine scratch;  // writes target 1 without touching h.engine.tr
            scratch.resource_dir_pathname_ptr = h.resource;
            tw_test::set_target(scratch, "other", {{h.path("big"), false}});
            std::free(scratch.tr.target_name);
            scratch.tr.target_name = strdup("Saved");
            QCOMPARE(scratch.save_target_file(1, scratch.tr), tw::u64{0});
        }
        h.controller->target_list_changed();
        QVERIFY(h.controller->target_saved(1));
        QCOMPARE(h.ui()->target_ref->text(), QString("Big"));
        QCOMPARE(h.targets()->count(), 2);  // not yet rebuilt
        QTest::qWait(30);
        QVERIFY(h.controller->search_is_running());
        h.click_action();
        QVERIFY(h.idle());
        QCOMPARE(h.engine.cur_target_index, tw::i64{1});
        QCOMPARE(h.ui()->target_ref->text(), QString("Saved"));
        QCOMPARE(h.view_text(), QString("other"));
        QCOMPARE(h.targets()->count(), 3);
    }

    // On the triangle a drop makes a new target, elsewhere it goes to the
    // current one.
    void drops_and_the_triangle_open_the_target_editor() {
        Harness h;
        h.save_target(0, {.pattern = "abc"});
        h.save_target(1, {.pattern = "def"});
        h.open_window(1);
        QWidget* triangle = h.ui()->triangle_but_ref;
        const QPoint on_triangle = triangle->mapTo(h.window(), triangle->rect().center());
        const QPoint elsewhere = h.ui()->found_nb_ref->mapTo(h.window(), QPoint(2, 2));
        h.controller->conclude_drop_items({"/a", "/b"}, on_triangle);
        h.controller->conclude_drop_items({"/c"}, elsewhere);
        h.controller->conclude_drop_string("needle", on_triangle);
        h.controller->conclude_drop_string("hay", elsewhere);
        QTest::mouseClick(triangle, Qt::LeftButton);
        QCOMPARE(h.editor.calls, (QStringList{"new items /a,/b", "index 1 items /c",
                                              "new string needle", "index 1 string hay", "new"}));
    }

    // ---- The search string ------------------------------------------------------

    void the_encoding_pull_down_lists_and_marks_the_encodings() {
        Harness h;
        h.save_target(0, {.pattern = "abc", .encoding = 5});
        h.save_target(1, {.pattern = "abc", .encoding = 0x80000601u});
        h.open_window(0);
        tw::ui::PullDown* popup = h.encodings();
        QCOMPARE(popup->count(), 19);
        QCOMPARE(popup->item_title(kHexadecimal), QString("Hexadecimal"));
        QCOMPARE(marks(popup), QStringList{"6:1"});
        QCOMPARE(popup->text(), QString("Encoding: Latin 1"));
        // A target in none of the fixed encodings shows "User defined"; bytes
        // that no known encoding shows appear as hexadecimal.
        h.targets()->choose_item(2);
        QCOMPARE(marks(popup), (QStringList{"16:1", "18:1"}));
        QCOMPARE(h.view_text(), QString("61 62 63 "));
    }

    // A switch shows the same bytes under the new setting; one whose bytes
    // cannot be shown says so and changes nothing. Either way the view, the
    // record, the marks and the button agree, and Search looks for the
    // bytes the target had. A switch to hexadecimal turns Ignore case off.
    void an_encoding_switch_keeps_the_bytes() {
        const struct {
            const char* name;
            QByteArray pattern;
            tw::u64 encoding, hexa;
            int item;
            bool fails;
            QString shown, button;
            QStringList marks;
        } cases[] = {
            {"ASCII to hexadecimal", "abc", 1, 0, kHexadecimal, false, "61 62 63 ", "Hexadecimal",
             {"1:-1", "18:1"}},
            {"hexadecimal to ASCII", "abc", 1, 1, kHexadecimal, false, "abc",
             "Encoding: Plain (ascII) text", {"1:1"}},
            {"Latin 1 to Cyrillic", "\xE9", 5, 0, 12, false, QString::fromUtf8("й"),
             "Encoding: Cyrillic", {"12:1"}},
            {"hello, ASCII to Unicode", "hello", 1, 0, kUnicode, true, "hello",
             "Encoding: Plain (ascII) text", {"1:1"}},
            {"e acute, Latin 1 to UTF8", "\xE9", 5, 0, kUtf8, true, QString::fromUtf8("\u00E9"),
             "Encoding: Latin 1", {"6:1"}},
            {"a zero byte, hexadecimal to text", QByteArray("ab\0cd", 5), 1, 1, kHexadecimal, true,
             "61 62 00 63 64 ", "Hexadecimal", {"1:-1", "18:1"}},
        };
        for (const auto& c : cases) {
            Harness h;
            h.open_on({.pattern = c.pattern.toStdString(), .encoding = c.encoding, .is_hexa = c.hexa});
            h.ui()->case_insensentive_ref->setChecked(true);
            h.encodings()->choose_item(c.item);
            QCOMPARE(h.alert_message(), QString(c.fails ? "Cannot encode\n(try to erase completly the input string)"
                                                        : "<no alert>"));
            QVERIFY2(h.view_text() == c.shown, c.name);
            const bool to_hexa = !c.fails && c.item == kHexadecimal;
            QCOMPARE(h.ui()->case_insensentive_ref->isChecked(), !to_hexa || c.hexa != 0);
            QCOMPARE(h.engine.tr.is_hexa, to_hexa ? 1 - c.hexa : c.hexa);
            QCOMPARE(marks(h.encodings()), c.marks);
            QCOMPARE(h.encodings()->text(), c.button);
            QCOMPARE(h.controller->update_current_target_from_widget(), tw::u64{0});
            QCOMPARE(bytes_of(h.engine.tr), QString::fromLatin1(c.pattern));
        }
    }

    // With the wildcard on, "?" stands for any byte in hexadecimal text, both
    // ways; with it off, "?" is no hexadecimal digit.
    void a_wildcard_stays_in_hexadecimal_text() {
        Harness h;
        h.open_on({.pattern = "AB", .is_hexa = 1, .use_wildcard = 1});
        QVERIFY(h.ui()->wildcard_symbol_ref->isEnabled());
        QCOMPARE(h.ui()->wildcard_symbol_ref->text(), QString("?"));
        h.controller->set_search_view_text("41 ? 42");
        QCOMPARE(h.controller->update_current_target_from_widget(), tw::u64{0});
        QCOMPARE(bytes_of(h.engine.tr), QString("A?B"));
        QCOMPARE(h.controller->set_search_str(), tw::u64{0});
        QCOMPARE(h.view_text(), QString("41 ? 42 "));
        QTest::mouseClick(h.ui()->use_wildcard_ref, Qt::LeftButton);
        QCOMPARE(h.engine.tr.use_wildcard, tw::u64{0});
        QVERIFY(!h.ui()->wildcard_symbol_ref->isEnabled());
        QCOMPARE(h.controller->search_string_is_valid(1, 1), tw::u64{13});
    }

    // In hexadecimal a typed byte is never the wildcard: the search finds
    // what trawlex-cli --hex finds, and when a typed byte would be taken for the
    // typed wildcard, the field, the text and the record take another one
    // and the message line says why. A typed wildcard still matches any byte.
    void hexadecimal_digits_are_exact_bytes() {
        const struct {
            QString typed, symbol, wildcard, shown;
            bool fold;
            QStringList cli;
            QStringList found;  // file:offset
        } cases[] = {
            {"68 3F 6C 6C 6F", "?", "*", "68 3F 6C 6C 6F ", false, {"--hex", "68 3F 6C 6C 6F"}, {"q.txt:6"}},
            {"3F 68 ? 6C 6C 6F 3F", "?", "*", "3F 68 * 6C 6C 6F 3F ", false,
             {"--hex", "--wildcard", "?", "3F 68 ? 6C 6C 6F 3F"}, {"q.txt:5"}},
            {"48 Z 4C 4C 4F", "Z", "?", "48 ? 4C 4C 4F ", true, {"--hex", "-i", "--wildcard", "Z", "48 Z 4C 4C 4F"},
             {"h.txt:0", "h.txt:6", "q.txt:0", "q.txt:6"}},
            {"68 ? 6C 6C 6F", "?", "?", "68 ? 6C 6C 6F", false, {"--hex", "--wildcard", "?", "68 ? 6C 6C 6F"},
             {"h.txt:6", "q.txt:0", "q.txt:6"}},
        };
        for (const auto& c : cases) {
            Harness h;
            h.write_file("tree/h.txt", "HELLO hallo");
            h.write_file("tree/q.txt", "hello?h?llo?");
            h.open_on({.pattern = "x", .items = {{h.path("tree"), true}}, .is_hexa = 1, .use_wildcard = 1});
            h.ui()->case_insensentive_ref->setChecked(c.fold);
            h.ui()->wildcard_symbol_ref->setText(c.symbol);
            h.controller->set_search_view_text(c.typed);
            QCOMPARE(h.controller->update_current_target_from_widget(), tw::u64{0});
            QCOMPARE(h.ui()->wildcard_symbol_ref->text(), c.wildcard);
            QCOMPARE(h.engine.tr.wildcard_char, tw::u64(c.wildcard.at(0).unicode()));
            QCOMPARE(h.view_text(), c.shown);
            const bool moved = c.wildcard != c.symbol;
            QCOMPARE(message(h).startsWith("The wildcard is now \u201C" + c.wildcard + "\u201D instead of"), moved);
            h.search();
            QStringList expected;
            for (const QString& at : c.found)
                expected << QString::fromStdString(h.path("tree/")) + at.section(':', 0, 0) + '\t' + at.section(':', 1);
            QCOMPARE(window_found(h), expected);
            QCOMPARE(cli_found(c.cli + QStringList{QString::fromStdString(h.path("tree"))}), expected);
        }
    }

    // One typed pattern gives the same bytes and wildcard, or the same
    // refusal, through the window and through trawlex-cli's options; a
    // refused one starts no search in the window and says why.
    void the_window_and_the_cli_compile_a_pattern_alike() {
        const QString folded = "Search parameter error\nWhile the case is ignored, the wildcard \u201C%1\u201D "
                               "is folded together with the letter %2 of the search string: choose a "
                               "wildcard that is not a letter.";
        std::string punctuation;  // every replacement of the wildcard as a literal byte
        for (const char c : std::string("?*#%@&!$+=~^_|:;.,-/\\<>'\"`()[]{}"))
            punctuation += QString("%1 ").arg(static_cast<unsigned char>(c), 2, 16, QChar('0')).toStdString();
        const struct {
            QString typed;
            tw::u64 encoding, hexa;
            const char* cli_encoding;
            QString symbol;  // empty: no wildcard
            bool fold;
            QByteArray bytes;  // expected bytes; empty when refused
            QString wildcard;  // the wildcard stored with them
            QString alert;     // the window's alert when refused
            std::string cli_error;
        } cases[] = {
            {QString::fromUtf8("h\u00E9llo"), 5, 0, "latin1", "", false, "h\xE9llo", "", "", ""},
            {QString::fromUtf8("h\u00E9"), 10, 0, "utf-16", "", false, QByteArray("h\0\xE9\0", 4), "", "", ""},
            {QString::fromUtf8("\u65E5"), 8, 0, "shift_jis", "", false, "\x93\xFA", "", "", ""},
            {QString::fromUtf8("\u00E9"), 1, 0, "ascii", "", false, "", "", "Search parameter error", "cannot represent"},
            {"", 4, 0, "utf-8", "", false, "", "", "Search parameter error", "the pattern is empty"},
            {"h?llo", 4, 0, "utf-8", "?", false, "h?llo", "?", "", ""},
            {"?ab", 4, 0, "utf-8", "?", false, "", "", kWildcardAtEnd, "must not begin or end with the wildcard"},
            {"xZy", 4, 0, "utf-8", "Z", false, "xZy", "Z", "", ""},
            {"xZy", 4, 0, "utf-8", "Z", true, "", "", folded.arg("Z", "Z/z"),
             "the wildcard 'Z' is folded together with the letter 'Z'/'z'"},
            {"aHb", 1, 0, "ascii", "h", true, "", "", folded.arg("h", "H/h"),
             "the wildcard 'h' is folded together with the letter 'H'/'h'"},
            {"41 ? 42", 4, 1, nullptr, "?", false, "A?B", "?", "", ""},
            {"3F 68 ? 6C", 4, 1, nullptr, "?", false, "?h*l", "*", "", ""},
            {"48 Z 4C", 4, 1, nullptr, "Z", true, "H?L", "?", "", ""},
            {"41 z 42", 4, 1, nullptr, "z", true, "AzB", "z", "", ""},
            {"68 6G", 4, 1, nullptr, "", false, "", "", "Invalid hexadecimal character",
             "invalid hexadecimal character 'G' at position 5"},
            {"  ", 4, 1, nullptr, "", false, "", "", "Search parameter error", "the pattern is empty"},
            {QString::fromStdString(punctuation + "41 ? 42"), 4, 1, nullptr, "?", false, "", "",
             "Search parameter error", "no punctuation character is left"},
        };
        for (const auto& c : cases) {
            const QByteArray typed = c.typed.toUtf8();
            // trawlex-cli's path: its options, then its pattern.
            std::vector<std::string> args{"trawlex-cli"};
            if (c.hexa != 0) args.push_back("--hex");
            if (c.cli_encoding != nullptr) args.insert(args.end(), {"-E", c.cli_encoding});
            if (!c.symbol.isEmpty()) args.insert(args.end(), {"--wildcard", c.symbol.toStdString()});
            if (c.fold) args.push_back("-i");
            args.insert(args.end(), {typed.toStdString(), "."});
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            std::string error;
            const auto options = tw::cli::parse_options(static_cast<int>(argv.size()), argv.data(), error);
            QVERIFY2(options.has_value(), error.c_str());
            const auto cli = tw::cli::pattern_bytes(*options, error);
            QVERIFY2(cli.has_value() == c.cli_error.empty(), typed.constData());
            if (cli) {
                QCOMPARE(QByteArray::fromStdString(cli->bytes), c.bytes);
                QCOMPARE(cli->wildcard.has_value(), !c.wildcard.isEmpty());
            } else {
                QVERIFY2(error.find(c.cli_error) != std::string::npos, error.c_str());
            }

            // The window's path.
            Harness h;
            // A first string that the encoding shows as text.
            const std::string first = c.encoding == 10 ? std::string("x\0", 2) : "x";
            h.open_on({.pattern = first, .items = {{h.path("."), true}}, .encoding = c.encoding,
                       .is_hexa = c.hexa, .use_wildcard = c.symbol.isEmpty() ? 0u : 1u});
            h.ui()->case_insensentive_ref->setChecked(c.fold);
            if (!c.symbol.isEmpty()) h.ui()->wildcard_symbol_ref->setText(c.symbol);
            h.controller->set_search_view_text(c.typed);
            if (c.alert.isEmpty()) {
                QCOMPARE(h.controller->update_current_target_from_widget(), tw::u64{0});
                QCOMPARE(bytes_of(h.engine.tr), QString::fromLatin1(c.bytes));  // and so cli's bytes
                if (!c.wildcard.isEmpty()) {
                    QCOMPARE(h.engine.tr.wildcard_char, tw::u64(c.wildcard.at(0).unicode()));
                    QCOMPARE(tw::u64(*cli->wildcard), h.engine.tr.wildcard_char);
                }
            } else {
                h.click_action();
                QCOMPARE(h.alert_message(), c.alert);
                QVERIFY(h.idle());
            }
        }
    }

    // A wildcard that hexadecimal text would hide (a digit, a blank) is
    // refused while the string is hexadecimal, in every order of steps.
    void a_wildcard_hidden_by_hexadecimal_is_refused() {
        Harness h;
        h.open_on({.pattern = "AB", .is_hexa = 1, .use_wildcard = 1});
        QLineEdit* field = h.ui()->wildcard_symbol_ref;
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, "0");
        QCOMPARE(field->text(), QString());
        QCOMPARE(message(h), kHexWildcardRefused);
        // Off, the field may hold a digit; turning the wildcard on is refused.
        QTest::mouseClick(h.ui()->use_wildcard_ref, Qt::LeftButton);
        field->setText("A");
        QTest::mouseClick(h.ui()->use_wildcard_ref, Qt::LeftButton);
        QVERIFY(!h.ui()->use_wildcard_ref->isChecked());
        QCOMPARE(message(h), kHexWildcardRefused);
        // In text the digit wildcard is allowed; going back to hexadecimal
        // with it is refused and changes nothing.
        h.encodings()->choose_item(kHexadecimal);
        QTest::mouseClick(h.ui()->use_wildcard_ref, Qt::LeftButton);
        QVERIFY(h.ui()->use_wildcard_ref->isChecked());
        h.encodings()->choose_item(kHexadecimal);
        QCOMPARE(h.engine.tr.is_hexa, tw::u64{0});
        QCOMPARE(h.view_text(), QString("AB"));
        QCOMPARE(message(h), kHexWildcardRefused);
    }

    // A string refused as the search would start (a wildcard at an end, a
    // bad hexadecimal digit, more bytes than the text buffer holds, UTF-16
    // counting its bytes) starts nothing: the alert says why, naming the
    // limit and the preference that raises it, and the last result stays on
    // disk and in the viewer.
    void a_refused_string_keeps_the_last_result() {
        const QString too_long = "The search string (%1 bytes) is longer than the text buffer (65536 bytes), which "
                                 "must hold it whole. Raise \u201CText\u201D under \u201CBuffers\u201D in Trawlex > "
                                 "Preferences\u2026 (Ctrl+,) to 65 KiB or more, then start Trawlex again.";
        const struct {
            tw::u64 encoding, hexa;
            QString text, alert;
        } cases[] = {
            // The rest are in the_window_and_the_cli_compile_a_pattern_alike.
            {1, 0, "ab?", kWildcardAtEnd},
            {1, 1, "41 ?", kWildcardAtEnd},
            {1, 1, QString::fromUtf8("41 é"), "Invalid hexadecimal character"},
            {1, 0, QString(65537, u'n'), too_long.arg(65537)},
            {10, 0, QString(32769, u'n'), too_long.arg(65538)},
        };
        for (const auto& c : cases) {
            Harness h;
            h.engine.pr.text_mem_size = 65536;
            QCOMPARE(h.engine.initialize_tw_buffer(), tw::u64{0});
            h.write_file("tree/a.txt", "a needle");
            h.open_on({.pattern = "needle", .items = {{h.path("tree"), true}}, .encoding = c.encoding,
                       .is_hexa = c.hexa, .use_wildcard = 1}, true);
            h.search();
            const auto found_files = [&h] {
                QStringList out;
                for (const QFileInfo& f : QDir(QString::fromStdString(h.resource + "/TW_found")).entryInfoList(QDir::Files))
                    out << f.fileName() + ":" + QString::number(f.size()) + ":" + f.lastModified().toString(Qt::ISODateWithMs);
                return out;
            };
            const QStringList before = found_files();
            QVERIFY(before.size() >= 3);
            QCOMPARE(h.viewer->found_list_model()->rowCount(), 1);
            h.controller->set_search_view_text(c.text);
            h.search();
            QCOMPARE(found_files(), before);
            QCOMPARE(h.viewer->found_list_model()->rowCount(), 1);
            QCOMPARE(h.alert_message(), c.alert);
        }
    }

    // The key that would make the text invalid is refused with a beep and
    // its reason under the view; editing keys and the next valid key are
    // not; a text that was already invalid does not lock the view.
    void a_refused_key_says_why() {
        const struct {
            tw::u64 encoding, hexa;
            QString start, typed, valid, why;  // why: "" when the key is taken
        } cases[] = {
            {1, 0, "ab", QString::fromUtf8("\u00E9"), "c",
             QString::fromUtf8("\u201C\u00E9\u201D cannot be encoded in Plain (ascII) text")},
            {1, 1, "41 ", "G", "4",
             QString::fromUtf8("\u201CG\u201D cannot be typed in Hexadecimal: only the digits 0-9 and "
                               "A-F, blanks and the wildcard")},
            {1, 1, "41", " ", "f", ""},  // a blank between digits is fine
        };
        for (const auto& c : cases) {
            Harness h;
            h.open_on({.pattern = "x", .encoding = c.encoding, .is_hexa = c.hexa});
            QPlainTextEdit* view = h.ui()->string_to_search_ref;
            h.controller->set_search_view_text(c.start);
            view->moveCursor(QTextCursor::End);
            const auto beeps = tw::ui::beep_count();
            type_text(view, c.typed);
            const QString kept = c.why.isEmpty() ? c.start + c.typed : c.start;
            QCOMPARE(h.view_text(), kept);
            QCOMPARE(message(h), c.why);
            QTest::keyClick(view, Qt::Key_Backspace);
            QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(tw::ui::beep_count(), beeps + (c.why.isEmpty() ? 0 : 1));
            type_text(view, c.valid);
            QCOMPARE(h.view_text(), kept + c.valid);
            QCOMPARE(message(h), QString());
            h.controller->set_search_view_text(c.start + c.typed);
            view->moveCursor(QTextCursor::End);
            type_text(view, c.valid);
            QCOMPARE(h.view_text(), c.start + c.typed + c.valid);
        }
    }

    // A paste is checked as a whole; its line breaks go in exactly.
    void a_paste_is_checked_and_keeps_its_line_breaks() {
        Harness h;
        h.open_on({.pattern = "ab"});
        QPlainTextEdit* view = h.ui()->string_to_search_ref;
        view->moveCursor(QTextCursor::End);
        QGuiApplication::clipboard()->setText(QString::fromUtf8("x\u00E9y"));
        view->paste();  // as from the context menu: no key press
        QCOMPARE(h.view_text(), QString("ab"));
        QCOMPARE(message(h), QString::fromUtf8("Cannot paste: \u201C\u00E9\u201D cannot be encoded in "
                                               "Plain (ascII) text"));
        QGuiApplication::clipboard()->setText("\r\nc\rd\n");
        QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(h.view_text(), QString("ab\r\nc\rd\n"));
        QCOMPARE(message(h), QString());
        QCOMPARE(h.controller->update_current_target_from_widget(), tw::u64{0});
        QCOMPARE(bytes_of(h.engine.tr), QString("ab\r\nc\rd\n"));
    }

    // "Forms…": the quick choice and a further string become the target's
    // forms (each new set of bytes once), saved beside it; the dialog opens
    // again on the choice kept, and a string no encoding gives is refused.
    void forms_dialog_sets_the_targets_forms() {
        Harness h;
        h.open_on({.name = "Docs", .pattern = "Key"});
        QStringList seen;
        QString more = "lock";
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* d = qobject_cast<tw::ui::FormsDialog*>(QApplication::activeModalWidget());
            if (d == nullptr) return;
            QListWidget* list = d->ui()->encodings_list_ref;
            seen.clear();
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->checkState() == Qt::Checked) seen << list->item(i)->text();
            seen << d->ui()->more_strings_ref->toPlainText();
            d->ui()->common_forms_but_ref->click();
            d->ui()->more_strings_ref->setPlainText(more);
            if (more.isEmpty()) return d->reject();
            d->accept();
        });
        timer.start(20);
        h.controller->Forms_but();
        // Key in UTF-16 (both orders), lock in ASCII and UTF-16 (both orders).
        QCOMPARE(h.engine.tr.forms.size(), std::size_t{5});
        QCOMPARE(h.engine.make_target_current(0), tw::u64{0});
        QCOMPARE(h.engine.tr.forms.size(), std::size_t{5});
        QCOMPARE(h.engine.tr.forms[4].bytes, std::string("\0l\0o\0c\0k", 8));
        more = "";
        h.controller->Forms_but();
        // The encodings whose bytes are the search string's own gave no form.
        QCOMPARE(seen, (QStringList{"Unicode", "Unicode (big-endian)", "lock"}));
        // ASCII has no \u00e9: the choice is refused and nothing changes.
        QVERIFY(!h.controller->apply_forms({{{tw::encoding::kAscii, false}}, {"\u00e9t\u00e9"}}));
        QCOMPARE(h.alert_message(), QString("No form of this search string can be searched: \u00e9t\u00e9"));
        QCOMPARE(h.engine.tr.forms.size(), std::size_t{5});
    }
};

TW_UI_SUITE(SearchWindowTest)
#include "search_window_test.moc"
