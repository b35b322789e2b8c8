// The viewer's list during a search: it grows as files are found, a listed
// file can be opened before the search ends, and after Stop the list is
// the result files' list, row for row.
#include <sys/stat.h>

#include <QLabel>
#include <QLineEdit>
#include <QTableView>

#include "tests/ui/search_window_support.h"
#include "ui/viewer/FoundListModel.h"
#include "ui_ViewerController.h"

using namespace sw_test;

class LiveResultsTest : public QObject {
    Q_OBJECT

private slots:
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
            h.save_target(0, {.pattern = "needle",
                              .items = {{h.path("tree"), true}, {h.path("pipe"), false}}});
            h.open_window(0, true);
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

            h.click_action();
            h.wait_idle();
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
        h.save_target(0, {.pattern = "needle", .items = {{h.path("tree"), true}}});
        h.open_window(0);
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
        h.click_action();
        h.wait_idle();
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
        h.click_action();
        h.wait_idle();
        auto* model = h.viewer->found_list_model();
        QLineEdit* filter = h.viewer->ui()->found_filter_ref;
        filter->setText("b.txt");
        QCOMPARE(model->rowCount(), 1);
        QVERIFY(h.controller->target_saved(1));
        QCOMPARE(h.viewer->display_state(), tw::ui::kViewOccurrence);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(h.viewer->ui()->occ_nb_and_index_ref->text(), QString("1 / 2"));
        h.viewer->set_window_visible(false);
        h.click_action();
        h.wait_idle();
        QCOMPARE(filter->text(), QString());
        QVERIFY(h.viewer->window()->isVisible());
        QCOMPARE(h.viewer->ui()->file_nb_and_index_ref->text(), QString("1 / 1"));
    }
};

TW_UI_SUITE(LiveResultsTest)
#include "live_results_test.moc"
