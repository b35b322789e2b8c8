// The found viewer follows its list: the file steps, F3 and the file index
// go through the rows as listed (in the list's order, only those the filter
// keeps), over real results.
#include "viewer_fixture.h"

using namespace tw::ui;
using viewer_test::Viewer;

namespace {

// The current file, relative to the searched tree.
QString current(const Viewer& v) {
    const QString root = QString::fromStdString(v.tree.path()) + u'/';
    return QString::fromStdString(model(v)->list().path(v.engine->sur.file_index)).remove(root);
}

// The listed rows' files, relative to the searched tree.
QStringList listed(const Viewer& v) {
    QStringList out;
    for (int r = 0; r < model(v)->rowCount(); ++r)
        out << QString::fromStdString(model(v)->list().path(model(v)->file_index(r)))
                   .remove(QString::fromStdString(v.tree.path()) + u'/');
    return out;
}

// Five found files with 1 to 3 occurrences each, on show.
void five_files(Viewer& v) {
    v.file("e.txt", "NEED NEED");
    v.file("d/b.txt", "NEED");
    v.file("d/a.txt", "NEED NEED NEED");
    v.file("c.txt", "NEED.");
    v.file("d/x/f.txt", "NEED NEED NEED..");
    v.search("NEED", {"e.txt", "d/b.txt", "d/a.txt", "c.txt", "d/x/f.txt"});
    v.viewer->show_view();
}

// A key pressed in the list, the viewer being the active window.
void key(const Viewer& v, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QApplication::setActiveWindow(v.viewer->window());
    QTest::keyClick(list_view(v), k, modifiers);
}

}  // namespace

class ViewerStepsTest : public QObject {
    Q_OBJECT

private slots:
    // Every order both ways: paths by folder, then by name within a folder;
    // ties in the found order.
    void steps_visit_exactly_the_listed_rows() {
        const auto up = Qt::AscendingOrder, down = Qt::DescendingOrder;
        const int path = FoundListModel::PathColumn, count = FoundListModel::CountColumn, size = FoundListModel::SizeColumn;
        const struct { int column; Qt::SortOrder order; QString filter; QStringList expected; } cases[] = {
            {-1, up, "", {"e.txt", "d/b.txt", "d/a.txt", "c.txt", "d/x/f.txt"}},  // the found order
            {count, up, "", {"d/b.txt", "c.txt", "e.txt", "d/a.txt", "d/x/f.txt"}},
            {count, down, "", {"d/a.txt", "d/x/f.txt", "e.txt", "d/b.txt", "c.txt"}},
            {count, up, "/d/", {"d/b.txt", "d/a.txt", "d/x/f.txt"}},
            {path, up, "", {"c.txt", "e.txt", "d/a.txt", "d/b.txt", "d/x/f.txt"}},
            {path, up, "a.txt", {"d/a.txt"}},
            {path, down, "", {"d/x/f.txt", "d/b.txt", "d/a.txt", "e.txt", "c.txt"}},
            {size, up, "", {"d/b.txt", "c.txt", "e.txt", "d/a.txt", "d/x/f.txt"}},
            {size, down, ".txt", {"d/x/f.txt", "d/a.txt", "e.txt", "c.txt", "d/b.txt"}},
        };
        for (const auto& [column, order, filter, expected] : cases) {
            Viewer v;
            five_files(v);
            list_view(v)->sortByColumn(column, order);
            QTRY_VERIFY(!model(v)->sizing());
            v.w<QLineEdit>("found_filter_ref")->setText(filter);
            const QStringList rows = listed(v);
            QCOMPARE(rows, expected);
            // From the first listed row, Next file visits every row in order,
            // the index field counting them; then Previous goes back.
            list_view(v)->setCurrentIndex(model(v)->index(0, 0));
            QStringList forward{current(v)}, backward;
            for (int i = 1; i < rows.size(); ++i) {
                QVERIFY(v.enabled("next_file_but_ref"));
                v.viewer->Next_file_but();
                forward << current(v);
                QCOMPARE(v.text("file_nb_and_index_ref"), QString("%1 / %2").arg(i + 1).arg(rows.size()));
                QCOMPARE(v.w<QLineEdit>("file_index_tf_ref")->text(), QString::number(i + 1));
            }
            QVERIFY(!v.enabled("next_file_but_ref"));
            for (int i = 1; i < rows.size(); ++i) {
                v.viewer->Previous_file_but();
                backward.prepend(current(v));
            }
            backward << rows.last();
            QCOMPARE(forward, rows);
            QCOMPARE(backward, rows);
            // F3 visits every occurrence of the listed files, in the same order.
            QStringList by_f3{current(v)};
            for (int guard = 0; guard < 20 && v.viewer->display_state() == kViewOccurrence; ++guard) {
                const auto before = std::make_pair(v.engine->sur.file_index, v.engine->sur.occ_index);
                key(v, Qt::Key_F3);
                if (before == std::make_pair(v.engine->sur.file_index, v.engine->sur.occ_index)) break;
                if (v.engine->sur.occ_index == 0) by_f3 << current(v);
                else QCOMPARE(current(v), by_f3.last());
            }
            QCOMPARE(by_f3, rows);
            // The field and the slider take a row number.
            v.w<QLineEdit>("file_index_tf_ref")->setText(QString::number(rows.size()));
            v.viewer->Go_file_but();
            QCOMPARE(current(v), rows.last());
            v.w<QSlider>("file_slider_ref")->setValue(0);
            QCOMPARE(current(v), rows.first());
        }
    }

    void a_hidden_current_file_steps_to_its_listed_neighbours() {
        Viewer v;
        five_files(v);
        // Found order e, d/b, d/a, c, d/x/f; the current file c goes out of
        // the list.
        v.w<QLineEdit>("file_index_tf_ref")->setText("4");
        v.viewer->Go_file_but();
        QCOMPARE(current(v), QString("c.txt"));
        // "/d/", not "d/": the temporary folder's random name may end in d.
        v.w<QLineEdit>("found_filter_ref")->setText("/d/");
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("– / 3"));
        v.viewer->Previous_file_but();
        QCOMPARE(current(v), QString("d/a.txt"));
        v.w<QLineEdit>("found_filter_ref")->setText("f.txt");
        v.viewer->Next_file_but();
        QCOMPARE(current(v), QString("d/x/f.txt"));
    }

    // The list has the keyboard when the viewer opens; Shift+F3 goes back
    // to the last occurrence of the previous file.
    void shift_f3_goes_back_to_the_last_occurrence_of_the_previous_file() {
        Viewer v;
        five_files(v);
        QCOMPARE(v.viewer->window()->focusWidget(), list_view(v));
        list_view(v)->sortByColumn(FoundListModel::CountColumn, Qt::DescendingOrder);
        list_view(v)->setCurrentIndex(model(v)->index(2, 0));  // e.txt, 2 occurrences
        QCOMPARE(current(v), QString("e.txt"));
        key(v, Qt::Key_F3, Qt::ShiftModifier);
        // d/x/f.txt, second of the two files with 3 occurrences.
        QCOMPARE(current(v), listed(v)[1]);
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("3 / 3"));
        key(v, Qt::Key_F3);
        QCOMPARE(current(v), QString("e.txt"));
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("1 / 2"));
    }

    // The sizes are read on another thread: the rows keep their order until
    // they are in, the status says so, and a new result drops the reading.
    void the_size_order_is_read_off_the_window_thread() {
        Viewer v;
        five_files(v);
        const QStringList found = listed(v);
        list_view(v)->sortByColumn(FoundListModel::SizeColumn, Qt::AscendingOrder);
        QVERIFY(model(v)->sizing());
        QCOMPARE(listed(v), found);
        QVERIFY(v.text("found_list_status_ref").endsWith("reading the sizes for the size order…"));
        QTRY_VERIFY(!model(v)->sizing());
        QCOMPARE(listed(v), (QStringList{"d/b.txt", "c.txt", "e.txt", "d/a.txt", "d/x/f.txt"}));
        QCOMPARE(v.text("found_list_status_ref"), QString("5 found files"));
        // Again, sizes known: at once.
        list_view(v)->sortByColumn(FoundListModel::SizeColumn, Qt::DescendingOrder);
        QVERIFY(!model(v)->sizing());
        QCOMPARE(listed(v).first(), QString("d/x/f.txt"));
        // A reading dropped by a new result changes nothing afterwards.
        v.search("NEED", {"c.txt", "e.txt"});
        v.viewer->show_view();
        list_view(v)->sortByColumn(FoundListModel::SizeColumn, Qt::DescendingOrder);
        QVERIFY(model(v)->sizing());
        v.viewer->clear_view();
        QVERIFY(!model(v)->sizing());
        QCoreApplication::processEvents();
        QCOMPARE(model(v)->rowCount(), 0);
    }
};

TW_UI_SUITE(ViewerStepsTest)
#include "viewer_steps_test.moc"
