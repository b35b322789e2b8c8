// The search window and the viewer's result. During a search the viewer's
// list grows as files are found, a listed file can be opened before the
// search ends, and after Stop the list is the result files' list, row for
// row. A result remembers its search: the viewer describes the search that
// wrote the result, after a restart too, even when the window now holds
// another string; the window's edits are kept with the target when a search
// runs, and each target keeps its last search strings.
#include <sys/stat.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QToolButton>

#include "tests/ui/search_window_support.h"
#include "ui/search/search_history.h"
#include "ui/viewer/FoundListModel.h"
#include "ui_ViewerController.h"

using namespace sw_test;

namespace {

// The application's start again over the same resource folder: the window
// loads the saved current target and the viewer offers the last result.
void restart(Harness& h) {
    h.viewer.reset();
    h.controller.reset();
    h.engine.finalize_tw_buffer();
    QCOMPARE(h.engine.initialize_and_load_tw_parameter(), tw::u64{0});
    h.open_window(0, true);
    h.viewer->offer_last_result();
}

QStringList history_titles(const Harness& h) {
    h.controller->fill_history_menu();
    QStringList out;
    for (QAction* a : h.controller->history_menu()->actions()) out << a->text();
    return out;
}

}  // namespace

class SearchMemoryTest : public QObject {
    Q_OBJECT

private slots:
    void the_viewer_describes_the_search_after_a_restart() {
        const struct { int encoding; QString typed; bool ignore_case; QStringList lines; } cases[] = {
            {kAscii, "needle", true,
             {"Searched for: \"needle\" (6E 65 65 64 6C 65), Plain (ascII) text", "Options: ignore case (a-z)"}},
            {kHexadecimal, "6E 65 65", false, {"Searched for the bytes: 6E 65 65", "Options: none"}},
        };
        for (const auto& [encoding, typed, ignore_case, lines] : cases) {
            Harness h;
            h.write_file("tree/a.txt", "a needle");
            h.save_target(0, {.name = "Hunt", .pattern = "other", .items = {{h.path("tree"), true}}});
            h.save_target(1, {.name = "Kept", .pattern = "kept", .items = {{h.path("tree"), true}}});
            const std::string other_target = h.target_bytes(1);
            h.open_window(0, true);
            h.encodings()->choose_item(encoding);
            h.controller->set_search_view_text(typed);
            h.ui()->case_insensentive_ref->setChecked(ignore_case);
            const qint64 before = QDateTime::currentSecsSinceEpoch();
            h.search();
            const qint64 after = QDateTime::currentSecsSinceEpoch();
            // Another string in the window does not change the description.
            h.controller->set_search_view_text("6E");
            restart(h);
            // The window shows the string that produced the result.
            QCOMPARE(h.view_text().trimmed(), typed);
            QLabel* described = h.viewer->search_description();
            QStringList shown = described->text().split(u'\n');
            QCOMPARE(shown.size(), 3);
            QCOMPARE(shown.mid(0, 2), lines);
            const auto at = [](qint64 t) {
                return "Target: Hunt, searched on " +
                       QLocale(QLocale::English).toString(QDateTime::fromSecsSinceEpoch(t), QLocale::ShortFormat);
            };
            QVERIFY2(shown[2] == at(before) || shown[2] == at(after), qPrintable(shown[2]));
            // The other target's file has its bytes.
            QCOMPARE(h.target_bytes(1), other_target);
        }
    }

    void each_target_keeps_its_last_twenty_strings() {
        Harness h;
        const tw::ui::SearchHistory history(QString::fromStdString(h.resource));
        for (int i = 0; i < 23; ++i) QVERIFY(history.add("T", QString("s%1").arg(i % 22)));
        QVERIFY(history.add("Other", "x"));
        QStringList want;
        for (int i = 0; i < 20; ++i) want << QString("s%1").arg((22 + 22 - i) % 22);
        // s0 searched again comes first, once.
        QCOMPARE(history.entries("T"), want);
        QCOMPARE(history.entries("Other"), QStringList{"x"});
    }

    void the_history_pull_down_offers_the_strings_of_the_target() {
        Harness h;
        h.write_file("tree/a.txt", "alpha beta");
        h.open_on({.name = "T", .pattern = "alpha", .items = {{h.path("tree"), true}}});
        QCOMPARE(history_titles(h), QStringList{"No search yet"});
        QVERIFY(!h.controller->history_menu()->actions().first()->isEnabled());
        for (const char* s : {"alpha", "be\nta"}) {
            h.controller->set_search_view_text(s);
            h.search();
        }
        QCOMPARE(history_titles(h), (QStringList{"be\u23CEta", "alpha"}));
        h.controller->history_menu()->actions().last()->trigger();
        QCOMPARE(h.view_text(), QString("alpha"));
        // Reached with Tab from the target's row, and named.
        QToolButton* button = h.controller->history_button();
        QCOMPARE(button->accessibleName(), QString("Search history"));
        QCOMPARE(h.targets()->nextInFocusChain(), button);
    }

    void the_list_grows_while_a_search_waits_and_stop_keeps_it() {
        for (const bool sorted : {false, true}) {
            Harness h;
            for (int i = 0; i < 30; ++i)
                h.write_file("tree/d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".txt",
                             std::string(static_cast<std::size_t>(i) * 31, 'x') + "needle");
            // A pipe item whose writer never writes: the search cannot end
            // before it is stopped.
            QCOMPARE(::mkfifo(h.path("pipe").c_str(), 0644), 0);
            const int writer = ::open(h.path("pipe").c_str(), O_RDWR | O_CLOEXEC);
            QVERIFY(writer >= 0);
            h.open_on({.pattern = "needle", .items = {{h.path("tree"), true}, {h.path("pipe"), false}}}, true);
            QTableView* list = h.viewer->ui()->found_list_ref;
            if (sorted) list->sortByColumn(tw::ui::FoundListModel::PathColumn, Qt::DescendingOrder);
            h.click_action();
            auto* model = h.viewer->found_list_model();
            QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 30, 10000);
            QVERIFY(h.controller->search_is_running());
            // The first listed file was opened as it came; another is
            // opened from its row while the search still runs.
            QVERIFY(h.viewer->window()->isVisible());
            QCOMPARE(h.viewer->display_state(), tw::ui::kViewOccurrence);
            // ... and the steps count every file listed since.
            // (counted in the list's order).
            QTRY_COMPARE(h.viewer->ui()->file_nb_and_index_ref->text(),
                         QString("%1 / 30").arg(model->row_of(h.engine.sur.file_index) + 1));
            QVERIFY(h.viewer->ui()->next_file_but_ref->isEnabled());
            list->setCurrentIndex(model->index(29, 0));
            const QString chosen = QString::fromStdString(model->list().path(model->file_index(29)));
            QTRY_COMPARE(h.viewer->ui()->filename_ref->text(), chosen.section(u'/', -1));
            QVERIFY(h.controller->search_is_running());

            h.search();
            ::close(writer);
            // Row for row, the result files in the list's order.
            const auto rows = tw_test::read_results(h.resource + "/TW_found", false);
            QCOMPARE(static_cast<int>(rows.size()), model->rowCount());
            QStringList want, got;
            for (const auto& r : rows) want << QString::fromStdString(r.path());
            for (int row = 0; row < model->rowCount(); ++row)
                got << QString::fromStdString(model->list().path(model->file_index(row)));
            if (sorted) {
                want.sort();
                std::reverse(want.begin(), want.end());
            }
            QCOMPARE(got, want);
            // The file that was open stays open.
            QCOMPARE(h.viewer->ui()->filename_ref->text(), chosen.section(u'/', -1));
        }
    }

    // The search window alone, with no viewer: what it tells through its
    // signals is the whole story of a search, in order, and the files it
    // announces are the result's.
    void the_search_window_alone_announces_a_search_through_its_signals() {
        Harness h;
        for (int i = 0; i < 12; ++i)
            h.write_file("tree/f" + std::to_string(i), i % 3 == 0 ? "nothing" : "a needle");
        h.open_on({.pattern = "needle", .items = {{h.path("tree"), true}}});
        QStringList events, announced;
        auto* c = h.controller.get();
        QObject::connect(c, &SearchController::live_result_begun, [&] { events << "begun"; });
        QObject::connect(c, &SearchController::live_files_found,
                         [&](const std::vector<tw::LiveFoundFile>& files) {
                             if (files.empty()) return;
                             if (events.isEmpty() || events.last() != "files") events << "files";
                             for (const auto& f : files)
                                 announced << QString::fromStdString(f.dir + "/" + f.name);
                         });
        QObject::connect(c, &SearchController::live_result_ended, [&] { events << "ended"; });
        QObject::connect(c, &SearchController::result_ready,
                         [&](const tw::ui::UnreadableItems& u) { events << QString("ready %1").arg(u.total); });
        QObject::connect(c, &SearchController::result_cleared, [&] { events << "cleared"; });
        h.search();
        QCOMPARE(events, (QStringList{"begun", "files", "ended", "ready 0"}));
        QStringList want;
        for (const auto& r : tw_test::read_results(h.resource + "/TW_found", false))
            want << QString::fromStdString(r.path());
        QCOMPARE(announced, want);
        QCOMPARE(announced.size(), 8);
    }

    // The result stays browsable when another target is chosen, until the
    // next search, which clears the list's filter and brings the viewer up.
    void another_target_keeps_the_result_and_a_new_search_clears_the_filter() {
        Harness h;
        h.write_file("tree/a.txt", "needle");
        h.write_file("tree/b.txt", "needle needle");
        h.save_target(0, {.pattern = "needle", .items = {{h.path("tree"), true}}});
        h.save_target(1, {.pattern = "needle", .items = {{h.path("tree/b.txt"), false}}});
        h.open_window(0, true);
        h.search();
        auto* model = h.viewer->found_list_model();
        QLineEdit* filter = h.viewer->ui()->found_filter_ref;
        filter->setText("b.txt");
        QCOMPARE(model->rowCount(), 1);
        QVERIFY(h.controller->target_saved(1));
        QCOMPARE(h.viewer->display_state(), tw::ui::kViewOccurrence);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(h.viewer->ui()->occ_nb_and_index_ref->text(), QString("1 / 2"));
        h.viewer->set_window_visible(false);
        h.search();
        QCOMPARE(filter->text(), QString());
        QVERIFY(h.viewer->window()->isVisible());
        QCOMPARE(h.viewer->ui()->file_nb_and_index_ref->text(), QString("1 / 1"));
    }
};

TW_UI_SUITE(SearchMemoryTest)
#include "search_memory_test.moc"
