// The found viewer's list of found files over real searches: its rows,
// orders and filter, a row chosen showing that file's first occurrence, the
// current row following the steps, the list read again for a new result,
// the summary line of a stopped or failed search, a damaged result, and the
// previous run's result offered at start.
#include <QAbstractItemView>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <fstream>

#include "engine/tw_found_lock.h"
#include "engine/tw_le.h"

#include "ui/search/SearchController.h"
#include "ui/shell/AlertController.h"
#include "ui/viewer/FoundListModel.h"
#include "viewer_fixture.h"

using namespace tw::ui;
using viewer_test::Viewer;

namespace {

// Three found files: a.txt with 3 occurrences, sub/b.txt with 1 (and the
// largest size) and sub/deeper/c.txt with 2.
void three_files(Viewer& v) {
    v.file("a.txt", "xxNEEDxx\nline NEED two\n\nNEED");
    v.file("sub/b.txt", "NEED" + std::string(100, '.'));
    v.file("sub/deeper/c.txt", "..NEED..NEED..");
    v.search("NEED", {"a.txt", "sub/b.txt", "sub/deeper/c.txt"});
}

QTableView* list_view(const Viewer& v) { return v.w<QTableView>("found_list_ref"); }
FoundListModel* model(const Viewer& v) { return v.viewer->found_list_model(); }

QString cell(const Viewer& v, int row, int column) {
    return model(v)->data(model(v)->index(row, column)).toString();
}

// The paths of the rows as shown, relative to the searched tree.
QStringList shown_paths(const Viewer& v) {
    QStringList out;
    const QString root = QString::fromStdString(v.tree.path()) + u'/';
    for (int r = 0; r < model(v)->rowCount(); ++r) out << cell(v, r, 0).remove(root);
    return out;
}

int current_row(const Viewer& v) { return list_view(v)->selectionModel()->currentIndex().row(); }

void set_status(Viewer& v, tw::u64 status, tw::u64 error_code) {
    tw::ResultInfo info = v.engine->result_info;
    info.status = status;
    info.error_code = error_code;
    const auto bytes = tw::encode_result_info(info);
    std::ofstream((v.resources / "TW_found") + "/" + tw::TW_FOUND_INFO, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

class ViewerListTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.filePath("config")));
    }

    void lists_every_found_file_with_count_and_size() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        QCOMPARE(model(v)->rowCount(), 3);
        QCOMPARE(shown_paths(v), (QStringList{"a.txt", "sub/b.txt", "sub/deeper/c.txt"}));
        QCOMPARE(cell(v, 0, FoundListModel::CountColumn), QString("3"));
        QCOMPARE(cell(v, 1, FoundListModel::CountColumn), QString("1"));
        QCOMPARE(cell(v, 2, FoundListModel::CountColumn), QString("2"));
        QCOMPARE(cell(v, 1, FoundListModel::SizeColumn), QString("104"));
        QCOMPARE(v.text("found_list_status_ref"), QString("3 found files"));
        // A file gone since the search has a blank size.
        ::unlink((v.tree / "sub/deeper/c.txt").c_str());
        QCOMPARE(cell(v, 2, FoundListModel::SizeColumn), QString());
        // The first found file is the current row.
        QCOMPARE(current_row(v), 0);
    }

    void sorts_by_each_column_from_its_header_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("paths");
        const QStringList found{"a.txt", "sub/b.txt", "sub/deeper/c.txt"};
        QTest::newRow("found order") << -1 << int(Qt::AscendingOrder) << found;
        QTest::newRow("count up") << int(FoundListModel::CountColumn) << int(Qt::AscendingOrder)
                                  << QStringList{"sub/b.txt", "sub/deeper/c.txt", "a.txt"};
        QTest::newRow("count down") << int(FoundListModel::CountColumn) << int(Qt::DescendingOrder)
                                    << QStringList{"a.txt", "sub/deeper/c.txt", "sub/b.txt"};
        QTest::newRow("path down") << int(FoundListModel::PathColumn) << int(Qt::DescendingOrder)
                                   << QStringList{"sub/deeper/c.txt", "sub/b.txt", "a.txt"};
        QTest::newRow("size down") << int(FoundListModel::SizeColumn) << int(Qt::DescendingOrder)
                                   << QStringList{"sub/b.txt", "a.txt", "sub/deeper/c.txt"};
    }
    void sorts_by_each_column_from_its_header() {
        QFETCH(int, column);
        QFETCH(int, order);
        QFETCH(QStringList, paths);
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        // As a click on the header does.
        list_view(v)->sortByColumn(column, Qt::SortOrder(order));
        QCOMPARE(shown_paths(v), paths);
        // The current file stays selected in the new order, which is shown
        // from its start.
        QCOMPARE(current_row(v), paths.indexOf("a.txt"));
        QCOMPARE(list_view(v)->verticalScrollBar()->value(), 0);
    }

    void a_new_result_is_not_sorted_by_size() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        list_view(v)->sortByColumn(FoundListModel::SizeColumn, Qt::DescendingOrder);
        QCOMPARE(shown_paths(v).first(), QString("sub/b.txt"));
        v.viewer->clear_view();
        v.search("NEED", {"sub/deeper/c.txt", "sub/b.txt"});
        v.viewer->show_view();
        // Every size would have to be read first: the found order, and the
        // header shows no order.
        QCOMPARE(shown_paths(v), (QStringList{"sub/deeper/c.txt", "sub/b.txt"}));
        QCOMPARE(list_view(v)->horizontalHeader()->sortIndicatorSection(), -1);
        // A count order is kept for the new result.
        list_view(v)->sortByColumn(FoundListModel::CountColumn, Qt::AscendingOrder);
        v.viewer->clear_view();
        v.search("NEED", {"a.txt", "sub/b.txt"});
        v.viewer->show_view();
        QCOMPARE(shown_paths(v), (QStringList{"sub/b.txt", "a.txt"}));
        QCOMPARE(list_view(v)->horizontalHeader()->sortIndicatorSection(), int(FoundListModel::CountColumn));
    }

    void filters_by_path_text() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        auto* filter = v.w<QLineEdit>("found_filter_ref");
        QTest::keyClicks(filter, "SUB/");
        QCOMPARE(shown_paths(v), (QStringList{"sub/b.txt", "sub/deeper/c.txt"}));
        QCOMPARE(v.text("found_list_status_ref"), QString("2 of 3 found files shown"));
        // The current file (a.txt) is filtered out: no row is current.
        QCOMPARE(current_row(v), -1);
        filter->setText("deeper");
        QCOMPARE(shown_paths(v), QStringList{"sub/deeper/c.txt"});
        filter->clear();
        QCOMPARE(model(v)->rowCount(), 3);
        QCOMPARE(current_row(v), 0);
    }

    void choosing_a_row_shows_that_files_first_occurrence() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        v.viewer->Next_occ_but();
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("2 / 3"));
        list_view(v)->sortByColumn(FoundListModel::CountColumn, Qt::DescendingOrder);
        // Row 1 is now c.txt (2 occurrences).
        list_view(v)->selectionModel()->setCurrentIndex(model(v)->index(1, 0),
                                                         QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
        QCOMPARE(v.text("filename_ref"), QString("c.txt"));
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("3 / 3"));
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("1 / 2"));
        QCOMPARE(v.text("offset_ref"), QString("2 (0x2)"));
        // The keyboard moves through the list the same way.
        list_view(v)->setFocus();
        QTest::keyClick(list_view(v), Qt::Key_Down);
        QCOMPARE(v.text("filename_ref"), QString("b.txt"));
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("1 / 1"));
    }

    void the_current_row_follows_the_steps() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        list_view(v)->sortByColumn(FoundListModel::PathColumn, Qt::DescendingOrder);
        QTRY_COMPARE(current_row(v), 2);  // a.txt
        v.viewer->Next_file_but();        // sub/b.txt
        QCOMPARE(current_row(v), 1);
        v.viewer->Next_file_but();        // sub/deeper/c.txt
        QCOMPARE(current_row(v), 0);
        v.viewer->Previous_file_but();
        QCOMPARE(current_row(v), 1);
        // Stepping through occurrences leaves the row where it is.
        v.viewer->Previous_file_but();
        v.viewer->Next_occ_but();
        QCOMPARE(current_row(v), 2);
        QCOMPARE(model(v)->file_index(current_row(v)), tw::u64{0});
    }

    void a_new_result_is_listed_and_an_old_one_cleared() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        QCOMPARE(model(v)->rowCount(), 3);
        // A new search clears the viewer first, as the search window does.
        v.viewer->clear_view();
        QCOMPARE(model(v)->rowCount(), 0);
        QVERIFY(v.text("found_list_status_ref").isEmpty());
        v.search("NEED", {"sub/b.txt"});
        v.viewer->show_view();
        QCOMPARE(shown_paths(v), QStringList{"sub/b.txt"});
        // Result files rewritten behind the viewer's back are read again.
        v.search("NEED", {"a.txt", "sub/deeper/c.txt"});
        v.viewer->show_view();
        QCOMPARE(shown_paths(v), (QStringList{"a.txt", "sub/deeper/c.txt"}));
    }

    void damaged_records_are_rows_that_say_so() {
        Viewer v;
        three_files(v);
        // The second record's file name now lies past the end of TW_found_path.
        const std::string header = (v.resources / "TW_found") + "/TW_found_header";
        auto bytes = tw_test::read_file(header);
        tw::store_le64(bytes.data() + 48 + 16, tw::u64{1} << 40);
        tw_test::write_file(header, bytes);
        v.viewer->show_view();
        QCOMPARE(model(v)->rowCount(), 3);
        QCOMPARE(cell(v, 1, FoundListModel::PathColumn),
                 QString("Damaged record 2: a name lies outside TW_found_path"));
        QCOMPARE(cell(v, 1, FoundListModel::CountColumn), QString());
        QCOMPARE(v.text("found_list_status_ref"), QString("3 found files — 1 damaged records"));
    }

    void summary_line_says_how_the_search_ended_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("line");
        QTest::newRow("finished") << int(tw::RESULT_FINISHED) << 0 << QString();
        QTest::newRow("stopped") << int(tw::RESULT_STOPPED) << 0
                                 << QString("Search stopped: only the files found before the stop are listed.");
        QTest::newRow("error") << int(tw::RESULT_ERROR) << int(tw::ERR_READ_FILE)
                               << QString("Search ended on an error: ");
        QTest::newRow("error without code") << int(tw::RESULT_ERROR) << 0
                                            << QString("Search ended on an error.");
        QTest::newRow("unfinished") << int(tw::RESULT_RUNNING) << 0
                                    << QString("Search did not finish: the result may be incomplete.");
    }
    void summary_line_says_how_the_search_ended() {
        QFETCH(int, status);
        QFETCH(int, error);
        QFETCH(QString, line);
        Viewer v;
        three_files(v);
        set_status(v, static_cast<tw::u64>(status), static_cast<tw::u64>(error));
        v.viewer->show_view();
        QLabel* state = v.viewer->result_state_line();
        QCOMPARE(state->isVisible(), !line.isEmpty());
        if (error != 0)
            QCOMPARE(state->text(), line + QString::fromStdString(v.engine->error_text(static_cast<tw::u64>(error))));
        else
            QCOMPARE(state->text(), line);
        // The list still shows what the search found.
        QCOMPARE(model(v)->rowCount(), 3);
        v.viewer->clear_view();
        QVERIFY(!state->isVisible());
        QCOMPARE(v.viewer->window()->windowTitle(), QString("Found Viewer"));
    }

    void list_and_filter_have_accessible_names() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        QCOMPARE(list_view(v)->accessibleName(), QString("Found files"));
        QCOMPARE(list_view(v)->horizontalHeader()->accessibleName(), QString("Found files"));
        auto* filter = v.w<QLineEdit>("found_filter_ref");
        QCOMPARE(v.w<QLabel>("found_filter_label")->buddy(), filter);
        QVERIFY(!filter->accessibleName().isEmpty());
        const QStringList headers{"Path", "Occurrences", "Size"};
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(model(v)->headerData(c, Qt::Horizontal).toString(), headers[c]);
            QCOMPARE(model(v)->headerData(c, Qt::Horizontal, Qt::AccessibleTextRole).toString(), headers[c]);
        }
    }

    void a_result_being_written_is_read_once_it_is_done() {
        Viewer v;
        three_files(v);
        const std::string found = v.resources / "TW_found";
        FoundListModel list(0);
        tw::FoundLock writer;
        QCOMPARE(writer.try_take(found, true, nullptr), tw::FoundLock::Result::Taken);
        std::string why;
        QCOMPARE(list.load(found, 8, &why), tw::ERR_OPEN_FILE);
        QVERIFY2(why.find("another search is writing this result") != std::string::npos, why.c_str());
        QCOMPARE(list.rowCount(), 0);
        QVERIFY(list.stale(found));
        writer.release();
        QCOMPARE(list.load(found, 8, &why), tw::u64{0});
        QCOMPARE(list.rowCount(), 3);
        QVERIFY(!list.stale(found));
    }

    void french_headers_and_texts() {
        FoundListModel french(1);
        QCOMPARE(french.headerData(0, Qt::Horizontal).toString(), QString("Chemin"));
        QCOMPARE(french.headerData(2, Qt::Horizontal).toString(), QString("Taille"));
    }

    void previous_result_is_offered_at_start_not_shown() {
        Viewer v;
        three_files(v);
        tw::ui::AlertController alerts;
        SearchController search(*v.engine, alerts, v.viewer.get());
        search.widget()->show();
        search.awake_from_nib();
        search.offer_last_result();
        QCOMPARE(search.last_result_line(),
                 QString("Last result: 3 found files — Window > Found Viewer (Ctrl+Shift+F)"));
        // Loaded, not brought up.
        QVERIFY(!v.viewer->window()->isVisible());
        QCOMPARE(model(v)->rowCount(), 3);
        QCOMPARE(v.text("filename_ref"), QString("a.txt"));
        v.viewer->set_window_visible(true);
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("1 / 3"));
    }

    void no_offer_without_a_result_data() {
        QTest::addColumn<QString>("result");
        QTest::newRow("no result folder files") << QString("none");
        QTest::newRow("nothing found") << QString("empty");
        QTest::newRow("damaged header") << QString("damaged");
    }
    void no_offer_without_a_result() {
        QFETCH(QString, result);
        Viewer v;
        if (result == "empty") {
            v.file("n.txt", "nothing");
            v.search("NEED", {"n.txt"});
        } else if (result == "damaged") {
            three_files(v);
            tw_test::write_file((v.resources / "TW_found") + "/TW_found_header", std::string(48, '\xff'));
        }
        tw::ui::AlertController alerts;
        SearchController search(*v.engine, alerts, v.viewer.get());
        search.awake_from_nib();
        // No alert either: a start does not stop on an old result.
        search.offer_last_result();
        QVERIFY(search.last_result_line().isEmpty());
        QVERIFY(!v.viewer->window()->isVisible());
        QCOMPARE(v.viewer->display_state(), kViewNothing);
    }

private:
    QTemporaryDir home_;
};

QTEST_MAIN(ViewerListTest)
#include "viewer_list_test.moc"
