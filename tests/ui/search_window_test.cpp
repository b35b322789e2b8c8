// The search window at start-up and through whole searches: the saved
// target loaded or the no-target state, a search from the button to its
// summary and result files, Stop, a search that cannot write its results,
// the Return key, a target saved during a search, and drops.
#include "tests/ui/search_window_support.h"
#include <QMessageBox>
#include <QAbstractButton>
#include <functional>

using namespace sw_test;

class SearchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tw::ui::init_resources(); }

    void the_saved_target_is_loaded_at_start() {
        Harness h;
        h.save_target(0, {.name = "Docs", .pattern = "abc", .items = {{"/nowhere", true}}});
        h.save_target(1, {.name = "Other", .pattern = "xyz", .items = {{"/nowhere", true}}});
        h.open_window(1);
        QCOMPARE(h.ui()->target_ref->text(), QString("Other"));
        QCOMPARE(h.view_text(), QString("xyz"));
        QCOMPARE(h.ui()->action_but_ref->text(), QString("Search"));
        QVERIFY(h.ui()->action_but_ref->isEnabled());
        QVERIFY(!h.ui()->string_to_search_ref->isReadOnly());
        tw::ui::PullDown* targets = h.controller->target_popup();
        QCOMPARE(targets->count(), 3);
        QCOMPARE(targets->item_title(0), QString("Targets"));
        QCOMPARE(targets->item_title(1), QString("Docs"));
        QCOMPARE(targets->item_title(2), QString("Other"));
        QVERIFY(!h.alert_shown());

        // Choosing the first target shows it.
        Harness::choose(targets, 1);
        QCOMPARE(h.engine.cur_target_index, tw::i64{0});
        QCOMPARE(h.ui()->target_ref->text(), QString("Docs"));
        QCOMPARE(h.view_text(), QString("abc"));
    }

    // The start-up alert of a French user already shows the window's
    // buttons in French behind it.
    void start_up_alert_shows_a_translated_search_button() {
        Harness h;
        h.engine.language = 1;
        h.save_target(0, {.name = "T0", .pattern = "abc", .items = {}});
        QString button_behind_alert;
        bool seen = false;
        std::function<void()> answer = [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return QTimer::singleShot(20, answer);
            seen = true;
            button_behind_alert = h.ui()->action_but_ref->text();
            box->buttons().first()->click();
        };
        QTimer::singleShot(20, answer);
        h.open_window(4);  // a saved current target that is gone
        QVERIFY(seen);
        QCOMPARE(button_behind_alert, QString("Rechercher"));
    }

    // A first start (no target file at all) opens the editor on a new
    // target without an alert; a default that cannot be loaded gives the
    // alert, and the window takes the lowest-numbered target that loads, or
    // refuses everything but its target pull-down when none does.
    void without_a_usable_target_the_window_refuses_everything() {
        struct Case {
            const char* name;
            std::vector<std::string> target_files;  // raw bytes by number, "" = good
            tw::i64 saved;
            bool alert;
            tw::i64 current;
        };
        const Case cases[] = {
            {"first start", {}, -1, false, -1},
            {"first start, stale index", {}, 3, false, -1},
            {"saved index gone", {""}, 4, true, 0},
            {"damaged default", {"", "damaged"}, 1, true, 0},
            {"damaged first", {"damaged", ""}, -1, true, 1},
            {"nothing loads", {"damaged"}, 0, true, -1},
        };
        for (const Case& c : cases) {
            Harness h;
            for (std::size_t k = 0; k < c.target_files.size(); ++k) {
                h.save_target(k, {.name = "T" + std::to_string(k), .pattern = "abc", .items = {}});
                if (!c.target_files[k].empty()) {
                    std::ofstream(h.resource + "/TW_target/" + tw::target_file_name(k),
                                  std::ios::trunc)
                        << c.target_files[k];
                }
            }
            ModalAnswerer answerer;
            if (c.alert) answerer.arm();
            h.open_window(c.saved);
            QVERIFY2(answerer.seen == c.alert, c.name);
            if (c.alert) QCOMPARE(answerer.message, QString("Cannot load default target"));
            QCOMPARE(h.engine.cur_target_index, c.current);
            QCOMPARE(h.editor.calls, c.target_files.empty() ? QStringList{"new"} : QStringList{});
            QCOMPARE(h.ui()->action_but_ref->isEnabled(), c.current >= 0);
            QCOMPARE(h.ui()->string_to_search_ref->isReadOnly(), c.current < 0);
            QCOMPARE(h.controller->encoding_popup()->isEnabled(), c.current >= 0);
            QVERIFY2(h.controller->target_popup()->isEnabled(), c.name);
            QVERIFY(h.menu.special_menu_is_active());
            if (c.current >= 0) continue;
            QVERIFY(!h.ui()->use_wildcard_ref->isEnabled());
            QVERIFY(!h.ui()->wildcard_symbol_ref->isEnabled());
            // Return does what the disabled button would do: nothing.
            h.engine.pr.return_key_is_search = 1;
            QTest::keyClick(h.ui()->string_to_search_ref, Qt::Key_Return);
            QVERIFY(!h.controller->search_is_running());
            QCOMPARE(h.engine.searching_now.load(), std::uint8_t{0});
        }
    }

    // A target of the pull-down that cannot be loaded leaves no target: the
    // released record can never be searched.
    void a_target_that_fails_to_load_leaves_no_target() {
        Harness h;
        h.save_target(0, {.name = "Good", .pattern = "abc", .items = {}});
        h.save_target(1, {.name = "Bad", .pattern = "abc", .items = {}});
        h.open_window(0);
        QVERIFY(h.ui()->action_but_ref->isEnabled());
        std::ofstream(h.resource + "/TW_target/" + tw::target_file_name(1), std::ios::trunc)
            << "short";
        Harness::choose(h.controller->target_popup(), 2);
        QVERIFY(h.alert_shown());
        QCOMPARE(h.alert_message(), QString("Cannot enable this target"));
        QCOMPARE(h.engine.cur_target_index, tw::i64{-1});
        QVERIFY(!h.ui()->action_but_ref->isEnabled());
        QVERIFY(h.controller->target_popup()->isEnabled());
        // The good one can be chosen again.
        h.answer_alert();
        Harness::choose(h.controller->target_popup(), 1);
        QCOMPARE(h.engine.cur_target_index, tw::i64{0});
        QVERIFY(h.ui()->action_but_ref->isEnabled());
    }

    void a_search_runs_from_the_button_to_its_summary() {
        Harness h;
        h.write_file("tree/a.txt", "xx needle yy\n");
        h.write_file("tree/b.txt", "nothing here");
        h.write_file("tree/sub/c.txt", "needle\nneedle\n");
        h.save_target(0, {.name = "Tree",
                          .pattern = "needle",
                          .items = {{h.path("tree"), true}},
                          .add_line_nb = 1});
        h.open_window(0);
        QTest::mouseClick(h.ui()->action_but_ref, Qt::LeftButton);
        // Running until a tick sees the end.
        QCOMPARE(h.ui()->action_but_ref->text(), QString("Stop"));
        QVERIFY(h.ui()->string_to_search_ref->isReadOnly());
        QVERIFY(!h.ui()->add_line_no_ref->isEnabled());
        QVERIFY(!h.controller->encoding_popup()->isEnabled());
        QVERIFY(!h.controller->target_popup()->isEnabled());
        QVERIFY(!h.menu.special_menu_is_active());
        QTRY_VERIFY_WITH_TIMEOUT(h.idle(), 10000);

        QCOMPARE(h.ui()->folder_name_ref->text(), QString("1 directories scanned,   0 errors"));
        QVERIFY2(h.ui()->file_name_ref->text().startsWith("3 files scanned,   0 errors,  search time: "),
                 qPrintable(h.ui()->file_name_ref->text()));
        QCOMPARE(h.ui()->found_nb_ref->text(), QString("3"));
        QCOMPARE(h.ui()->total_byte_ref->text(), QString::number(13 + 12 + 14));
        QCOMPARE(h.ui()->files_nb_ref->text(), QString());
        QVERIFY(!h.alert_shown());
        // Idle again; the occurrences field was never greyed.
        QVERIFY(!h.ui()->string_to_search_ref->isReadOnly());
        QVERIFY(h.ui()->add_line_no_ref->isEnabled());
        QVERIFY(h.controller->encoding_popup()->isEnabled());
        QVERIFY(h.ui()->found_nb_ref->isEnabled());
        QVERIFY(h.menu.special_menu_is_active());

        auto found = tw_test::read_results(h.resource + "/TW_found", true);
        QCOMPARE(found.size(), std::size_t{2});
        std::sort(found.begin(), found.end(),
                  [](const auto& a, const auto& b) { return a.name < b.name; });
        QCOMPARE(found[0].name, std::string("a.txt"));
        QCOMPARE(found[0].offsets, (std::vector<std::uint64_t>{3}));
        QCOMPARE(found[1].name, std::string("c.txt"));
        QCOMPARE(found[1].dir, h.path("tree/sub"));
        QCOMPARE(found[1].offsets, (std::vector<std::uint64_t>{0, 7}));
        QCOMPARE(found[1].lines, (std::vector<std::uint64_t>{0, 1}));
    }

    void a_missing_item_warns_and_the_search_still_runs() {
        Harness h;
        h.write_file("tree/a.txt", "needle");
        h.save_target(0, {.pattern = "needle",
                          .items = {{h.path("gone"), true}, {h.path("tree"), true}}});
        h.open_window(0);
        QTest::mouseClick(h.ui()->action_but_ref, Qt::LeftButton);
        QVERIFY(h.alert_shown());
        QCOMPARE(h.alert_message(), "File/Folder don't exist (first): " + QString::fromStdString(h.path("gone")));
        QVERIFY(h.controller->search_is_running());
        QTRY_VERIFY_WITH_TIMEOUT(h.idle(), 10000);
        QCOMPARE(h.ui()->found_nb_ref->text(), QString("1"));
    }

    void stop_ends_a_long_search_without_an_alert() {
        Harness h;
        h.write_sparse_file("big", off_t{64} << 30);
        h.save_target(0, {.pattern = "needle", .items = {{h.path("big"), false}}});
        h.open_window(0);
        QTest::mouseClick(h.ui()->action_but_ref, Qt::LeftButton);
        // The counters move.
        QTRY_VERIFY_WITH_TIMEOUT(!h.ui()->total_byte_ref->text().isEmpty(), 10000);
        QVERIFY(h.engine.searching_now.load() != 0);
        QCOMPARE(h.ui()->action_but_ref->text(), QString("Stop"));
        QTest::mouseClick(h.ui()->action_but_ref, Qt::LeftButton);
        // Stop waits for the thread: idle as soon as the click returns.
        QVERIFY(h.idle());
        QCOMPARE(h.engine.searching_now.load(), std::uint8_t{0});
        QCOMPARE(h.engine.fatal_err_index, tw::u64{0});
        QVERIFY(h.ui()->file_name_ref->text().contains("files scanned"));
        QVERIFY(!h.alert_shown());
        QTest::qWait(50);
        QVERIFY(!h.alert_shown());
        QVERIFY(h.idle());
    }

    void a_search_that_cannot_write_its_results_reports_at_the_first_tick() {
        Harness h;
        h.write_file("tree/a.txt", "needle");
        h.save_target(0, {.pattern = "needle", .items = {{h.path("tree"), true}}});
        h.open_window(0);
        std::filesystem::remove_all(h.resource + "/TW_found");
        QTest::mouseClick(h.ui()->action_but_ref, Qt::LeftButton);
        QVERIFY(!h.alert_shown());
        QTRY_VERIFY_WITH_TIMEOUT(h.alert_shown(), 10000);
        QVERIFY(h.idle());
        QVERIFY(h.engine.fatal_err_index != 0);
        QCOMPARE(h.alert_message(), QString::fromUtf8(h.engine.fatal_err_str));
        QVERIFY2(h.alert_message().contains("TW_found"), qPrintable(h.alert_message()));
        h.answer_alert();
        QVERIFY(!h.alert_shown());
    }

    void another_search_on_the_result_folder_is_waited_for_visibly() {
        Harness h;
        h.write_file("tree/a.txt", "needle");
        h.save_target(0, {.pattern = "needle", .items = {{h.path("tree"), true}}});
        h.open_window(0);
        // Another program's search holds the result folder.
        tw::FoundLock other;
        QVERIFY(other.try_take(h.resource + "/TW_found", true, nullptr) == tw::FoundLock::Result::Taken);
        QTest::mouseClick(h.ui()->action_but_ref, Qt::LeftButton);
        const QString waiting("Waiting for another search to finish writing the result...");
        QTRY_COMPARE_WITH_TIMEOUT(h.ui()->folder_name_ref->text(), waiting, 10000);
        QVERIFY(h.controller->search_is_running());
        other.release();
        QTRY_VERIFY_WITH_TIMEOUT(h.idle(), 10000);
        QCOMPARE(h.ui()->found_nb_ref->text(), QString("1"));
        QCOMPARE(h.ui()->folder_name_ref->text(), QString("0 directories scanned,   0 errors"));
        QVERIFY(!h.alert_shown());
    }

    void a_damaged_target_file_is_named_and_the_list_keeps_its_numbers() {
        Harness h;
        h.save_target(0, {.name = "first", .pattern = "needle", .items = {}});
        h.save_target(1, {.name = "second", .pattern = "needle", .items = {}});
        h.save_target(2, {.name = "third", .pattern = "needle", .items = {}});
        h.write_file("resources/TW_target/TW_target_001", "damaged");
        h.open_window(2);
        QVERIFY(h.alert_shown());
        QVERIFY2(h.alert_message().contains(QString::fromStdString(h.resource + "/TW_target/TW_target_001")),
                 qPrintable(h.alert_message()));
        h.answer_alert();
        QCOMPARE(h.ui()->target_ref->text(), QString("third"));
        // Named once: a rebuilt list does not warn again.
        h.controller->target_list_changed();
        QVERIFY(!h.alert_shown());
    }

    void return_starts_and_stops_a_search_when_the_preferences_ask() {
        Harness h;
        h.write_sparse_file("big", off_t{64} << 30);
        h.save_target(0, {.pattern = "needle", .items = {{h.path("big"), false}}});
        h.engine.pr.return_key_is_search = 1;
        h.open_window(0);
        h.window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.window()));
        h.ui()->string_to_search_ref->setFocus();
        QTest::keyClick(h.ui()->string_to_search_ref, Qt::Key_Return);
        QVERIFY(h.controller->search_is_running());
        QCOMPARE(h.ui()->action_but_ref->text(), QString("Stop"));
        QCOMPARE(h.view_text(), QString("needle"));  // no line break went in
        QTest::qWait(30);
        QTest::keyClick(h.ui()->string_to_search_ref, Qt::Key_Return);
        QVERIFY(h.idle());
        QCOMPARE(h.engine.searching_now.load(), std::uint8_t{0});
        QVERIFY(!h.alert_shown());
        QCOMPARE(h.view_text(), QString("needle"));

        // Without the preference, Return is a line break in the string.
        h.engine.pr.return_key_is_search = 0;
        h.controller->reset_widget();
        h.ui()->string_to_search_ref->moveCursor(QTextCursor::End);
        QTest::keyClick(h.ui()->string_to_search_ref, Qt::Key_Return);
        QVERIFY(!h.controller->search_is_running());
        QCOMPARE(h.view_text(), QString("needle\n"));
    }

    void a_target_saved_during_a_search_waits_for_its_end() {
        Harness h;
        h.write_sparse_file("big", off_t{64} << 30);
        h.save_target(0, {.name = "Big", .pattern = "needle", .items = {{h.path("big"), false}}});
        h.open_window(0);
        QTest::mouseClick(h.ui()->action_but_ref, Qt::LeftButton);
        QVERIFY(h.controller->search_is_running());
        // The editor saves a new target 1 and asks for it.
        TargetSpec wanted{.name = "Saved", .pattern = "other", .items = {{h.path("big"), false}}};
        tw::TargetRecord running = h.engine.tr;  // the record the search reads
        {
            tw::Engine scratch;  // writes the file without touching h.engine.tr
            scratch.resource_dir_pathname_ptr = h.resource;
            tw_test::set_target(scratch, wanted.pattern, wanted.items);
            std::free(scratch.tr.target_name);
            scratch.tr.target_name = strdup("Saved");
            QCOMPARE(scratch.save_target_file(1, scratch.tr), tw::u64{0});
        }
        h.controller->target_list_changed();
        h.controller->target_saved(1);
        QVERIFY(h.controller->has_deferred_target());
        QCOMPARE(h.engine.cur_target_index, tw::i64{0});
        QCOMPARE(h.engine.tr.search_str, running.search_str);
        QCOMPARE(h.engine.tr.target_name, running.target_name);
        QCOMPARE(h.ui()->action_but_ref->text(), QString("Stop"));
        QVERIFY(h.ui()->string_to_search_ref->isReadOnly());
        QCOMPARE(h.controller->target_popup()->count(), 2);  // not yet rebuilt
        QTest::qWait(30);
        QVERIFY(h.controller->search_is_running());

        QTest::mouseClick(h.ui()->action_but_ref, Qt::LeftButton);
        QVERIFY(h.idle());
        QCOMPARE(h.engine.cur_target_index, tw::i64{1});
        QCOMPARE(h.ui()->target_ref->text(), QString("Saved"));
        QCOMPARE(h.view_text(), QString("other"));
        QCOMPARE(h.controller->target_popup()->count(), 3);
        QVERIFY(!h.controller->has_deferred_target());
    }

    void drops_and_the_triangle_open_the_target_editor() {
        Harness h;
        h.save_target(0, {.pattern = "abc", .items = {}});
        h.save_target(1, {.pattern = "def", .items = {}});
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
};

QTEST_MAIN(SearchWindowTest)
#include "search_window_test.moc"
