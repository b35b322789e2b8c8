// The found viewer's navigation: stepping through found files and
// occurrences of a real search, the enabling of every control, the index
// fields and sliders, keyboard moves, a found file deleted since the
// search, unreadable result files, and the window frame kept between runs.
#include <fstream>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include "viewer_fixture.h"

using namespace tw::ui;
using viewer_test::Viewer;

namespace {

// Three found files: a.txt with 3 occurrences, sub/b.txt with 1 and
// sub/deeper/c.txt with 2.
void three_files(Viewer& v) {
    v.file("a.txt", "xxNEEDxx\nline NEED two\n\nNEED");
    v.file("sub/b.txt", "NEED");
    v.file("sub/deeper/c.txt", "..NEED..NEED..");
    v.search("NEED", {"a.txt", "sub/b.txt", "sub/deeper/c.txt"});
}

const char* const step_buttons[] = {"next_occ_but_ref", "previous_occ_but_ref",
                                    "next_file_but_ref", "previous_file_but_ref"};

}  // namespace

class ViewerNavigationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.filePath("config")));
    }

    void first_occurrence_of_first_file_after_a_search() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        QCOMPARE(v.viewer->display_state(), kViewOccurrence);
        QVERIFY(v.viewer->window()->isVisible());
        QCOMPARE(v.text("filename_ref"), QString("a.txt"));
        QCOMPARE(v.text("foldername_ref"), QString::fromStdString(v.tree.path()));
        QCOMPARE(v.text("offset_ref"), QString("2 (0x2)"));
        QCOMPARE(v.text("line_ref"), QString());
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("1 / 3"));
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("1 / 3"));
        QVERIFY(v.enabled("next_occ_but_ref"));
        QVERIFY(!v.enabled("previous_occ_but_ref"));
        QVERIFY(v.enabled("next_file_but_ref"));
        QVERIFY(!v.enabled("previous_file_but_ref"));
        auto* file_slider = v.w<QSlider>("file_slider_ref");
        QCOMPARE(file_slider->maximum(), 2);
        QCOMPARE(v.w<QSlider>("occ_slider_ref")->maximum(), 2);
        QCOMPARE(v.w<QLineEdit>("file_index_tf_ref")->text(), QString("1"));
        QVERIFY(v.viewer->launcher_popup()->isEnabled());
        QVERIFY(v.enabled("info_but_ref"));
    }

    void stepping_through_occurrences_and_files() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        v.w<QPushButton>("next_occ_but_ref")->click();
        QCOMPARE(v.text("offset_ref"), QString("14 (0xE)"));
        v.w<QPushButton>("next_occ_but_ref")->click();
        QCOMPARE(v.text("offset_ref"), QString("24 (0x18)"));
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("3 / 3"));
        QVERIFY(!v.enabled("next_occ_but_ref"));
        QVERIFY(v.enabled("previous_occ_but_ref"));

        // A step past the last occurrence is refused with a beep.
        const auto beeps = beep_count();
        v.viewer->Next_occ_but();
        QCOMPARE(beep_count(), beeps + 1);
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("3 / 3"));

        // The next file always starts at its first occurrence.
        v.w<QPushButton>("next_file_but_ref")->click();
        QCOMPARE(v.text("filename_ref"), QString("b.txt"));
        QCOMPARE(v.text("foldername_ref"), QString::fromStdString(v.tree / "sub"));
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("2 / 3"));
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("1 / 1"));
        QCOMPARE(v.text("offset_ref"), QString("0 (0x0)"));
        QVERIFY(!v.enabled("next_occ_but_ref"));
        QVERIFY(!v.enabled("previous_occ_but_ref"));
        QVERIFY(v.enabled("previous_file_but_ref"));
        QCOMPARE(v.w<QSlider>("occ_slider_ref")->maximum(), 0);

        v.w<QPushButton>("next_file_but_ref")->click();
        v.w<QPushButton>("next_occ_but_ref")->click();
        QCOMPARE(v.text("offset_ref"), QString("8 (0x8)"));
        QVERIFY(!v.enabled("next_file_but_ref"));
        v.w<QPushButton>("previous_file_but_ref")->click();
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("2 / 3"));
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("1 / 1"));
    }

    void one_file_with_one_occurrence_disables_every_step() {
        Viewer v;
        v.file("only.bin", "abcNEEDdef");
        v.search("NEED", {"only.bin"});
        v.viewer->show_view();
        QCOMPARE(v.viewer->display_state(), kViewOccurrence);
        for (const char* b : step_buttons) QVERIFY2(!v.enabled(b), b);
        QCOMPARE(v.w<QSlider>("file_slider_ref")->minimum(), 0);
        QCOMPARE(v.w<QSlider>("file_slider_ref")->maximum(), 0);
        QCOMPARE(v.w<QSlider>("occ_slider_ref")->maximum(), 0);
        const auto beeps = beep_count();
        v.viewer->Next_file_but();
        v.viewer->Previous_file_but();
        v.viewer->Previous_occ_but();
        QCOMPARE(beep_count(), beeps + 3);
    }

    void index_fields_refuse_what_is_out_of_range() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        v.viewer->Next_file_but();
        auto* field = v.w<QLineEdit>("file_index_tf_ref");
        for (const char* typed : {"0", "-1", "4", "abc", "", "\xc3\xa9"}) {
            const auto beeps = beep_count();
            field->setText(QString::fromUtf8(typed));
            v.w<QPushButton>("go_file_but_ref")->click();
            QVERIFY2(beep_count() == beeps + 1, typed);
            QCOMPARE(field->text(), QString("2"));
            QCOMPARE(v.text("file_nb_and_index_ref"), QString("2 / 3"));
        }
        // N goes to the last file, through Return in the field.
        field->setText("3");
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("3 / 3"));
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("1 / 2"));

        auto* occ_field = v.w<QLineEdit>("occ_index_tf_ref");
        const auto beeps = beep_count();
        occ_field->setText("3");
        v.w<QPushButton>("go_occ_but_ref")->click();
        QCOMPARE(beep_count(), beeps + 1);
        QCOMPARE(occ_field->text(), QString("1"));
        occ_field->setText("2");
        v.w<QPushButton>("go_occ_but_ref")->click();
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("2 / 2"));
        QCOMPARE(v.text("offset_ref"), QString("8 (0x8)"));
    }

    void sliders_move_to_their_value() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        v.w<QSlider>("occ_slider_ref")->setValue(2);
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("3 / 3"));
        v.w<QSlider>("file_slider_ref")->setValue(2);
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("3 / 3"));
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("1 / 2"));
        QCOMPARE(v.w<QSlider>("occ_slider_ref")->value(), 0);
    }

    void ctrl_arrows_step_from_an_index_field_data() {
        QTest::addColumn<QString>("field");
        QTest::newRow("occurrence index") << QString("occ_index_tf_ref");
        QTest::newRow("file index") << QString("file_index_tf_ref");
    }
    void ctrl_arrows_step_from_an_index_field() {
        QFETCH(QString, field);
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        QApplication::setActiveWindow(v.viewer->window());
        auto* edit = v.w<QLineEdit>(field.toLatin1().constData());
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("2 / 3"));
        QTest::keyClick(edit, Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("1 / 3"));
        QTest::keyClick(edit, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("2 / 3"));
        QTest::keyClick(edit, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("1 / 3"));
    }

    void keyboard_moves() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        QWidget* window = v.viewer->window();
        QApplication::setActiveWindow(window);
        v.area()->setFocus();
        QTest::keyClick(v.area(), Qt::Key_F3);
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("2 / 3"));
        QTest::keyClick(v.area(), Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("3 / 3"));
        QTest::keyClick(v.area(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("2 / 3"));
        // Page Down scrolls the text and does not step.
        QTest::keyClick(v.area(), Qt::Key_PageDown);
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("2 / 3"));
        QTest::keyClick(v.area(), Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("2 / 3"));
        QTest::keyClick(v.area(), Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("1 / 3"));
        const auto beeps = beep_count();
        QTest::keyClick(v.area(), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(beep_count(), beeps + 1);
    }

    void line_numbers_count_from_one() {
        Viewer v;
        v.file("lines.txt", "NEED first\nsecond\nthird NEED\n");
        v.search("NEED", {"lines.txt"}, 1, true);
        v.viewer->show_view();
        QCOMPARE(v.text("line_ref"), QString("1"));
        v.viewer->Next_occ_but();
        QCOMPARE(v.text("line_ref"), QString("3"));
    }

    void nothing_found_shows_nothing_and_disables_everything() {
        Viewer v;
        v.file("none.txt", "nothing here");
        v.search("NEED", {"none.txt"});
        v.viewer->show_view();
        QCOMPARE(v.viewer->display_state(), kViewNothing);
        for (const char* f : {"filename_ref", "foldername_ref", "offset_ref", "line_ref",
                              "file_nb_and_index_ref", "occ_nb_and_index_ref"})
            QVERIFY2(v.text(f).isEmpty(), f);
        QCOMPARE(v.shown(), QString("No occurrence found"));
        for (const char* c : {"next_occ_but_ref", "previous_occ_but_ref", "next_file_but_ref",
                              "previous_file_but_ref", "go_occ_but_ref", "go_file_but_ref",
                              "occ_slider_ref", "file_slider_ref", "occ_index_tf_ref",
                              "file_index_tf_ref", "info_but_ref", "show_in_finder_but_ref"})
            QVERIFY2(!v.enabled(c), c);
        QVERIFY(!v.viewer->launcher_popup()->isEnabled());
        QVERIFY(!v.viewer->hexa_or_text_popup()->isEnabled());
    }

    void clear_view_empties_a_shown_result() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        v.viewer->clear_view();
        QCOMPARE(v.viewer->display_state(), kViewNothing);
        QCOMPARE(v.engine->sur.file_nb, 0u);
        QVERIFY(v.text("filename_ref").isEmpty());
        QVERIFY(v.shown().isEmpty());
        QVERIFY(!v.enabled("next_file_but_ref"));
        QVERIFY(!v.viewer->launcher_popup()->isEnabled());
        const auto beeps = beep_count();
        v.viewer->Next_file_but();
        QCOMPARE(beep_count(), beeps + 1);
    }

    void a_found_file_deleted_since_the_search() {
        Viewer v;
        three_files(v);
        ::unlink((v.tree / "sub/b.txt").c_str());
        v.viewer->show_view();
        v.viewer->Next_file_but();
        QCOMPARE(v.viewer->display_state(), kViewFileOnly);
        const QString why = QString("file -> access denied ") + QString::fromStdString(v.tree / "sub/b.txt") +
                            ": No such file or directory";
        QCOMPARE(v.shown(), why);
        QCOMPARE(v.text("filename_ref"), QString("b.txt"));
        QCOMPARE(v.text("file_nb_and_index_ref"), QString("2 / 3"));
        QVERIFY(v.text("offset_ref").isEmpty());
        QVERIFY(v.text("occ_nb_and_index_ref").isEmpty());
        QVERIFY(!v.enabled("next_occ_but_ref"));
        QVERIFY(!v.enabled("occ_slider_ref"));
        QVERIFY(v.enabled("next_file_but_ref"));
        QVERIFY(v.enabled("previous_file_but_ref"));
        QVERIFY(v.viewer->hexa_or_text_popup()->isEnabled());
        // Another display mode still shows why there is no excerpt.
        v.viewer->hexa_or_text_popup()->choose_item(kModeHexa);
        QCOMPARE(v.shown(), why);
        v.viewer->Next_file_but();
        QCOMPARE(v.viewer->display_state(), kViewOccurrence);
        QCOMPARE(v.text("offset_ref"), QString("2 (0x2)"));
    }

    void states_say_what_they_are_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("title");
        QTest::newRow("finished") << int(tw::RESULT_FINISHED) << QString("Found Viewer");
        QTest::newRow("stopped") << int(tw::RESULT_STOPPED) << QString("Found Viewer — Search stopped");
        QTest::newRow("error") << int(tw::RESULT_ERROR) << QString("Found Viewer — Search ended on an error");
    }
    void states_say_what_they_are() {
        QFETCH(int, status);
        QFETCH(QString, title);
        Viewer v;
        v.file("n.txt", "nothing here");
        v.search("NEED", {"n.txt"});
        // The result's description says how the search ended.
        tw::ResultInfo info = v.engine->result_info;
        info.status = static_cast<tw::u64>(status);
        const auto bytes = tw::encode_result_info(info);
        std::ofstream((v.resources / "TW_found") + "/" + tw::TW_FOUND_INFO, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        v.viewer->show_view();
        QCOMPARE(v.shown(), QString("No occurrence found"));
        for (const char* f : {"filename_ref", "foldername_ref", "offset_ref", "line_ref",
                              "file_nb_and_index_ref", "occ_nb_and_index_ref"})
            QVERIFY2(v.text(f).isEmpty(), f);
        QCOMPARE(v.viewer->window()->windowTitle(), title);
    }

    void a_found_file_that_became_a_fifo_is_refused_without_hanging() {
        Viewer v;
        three_files(v);
        ::unlink((v.tree / "sub/b.txt").c_str());
        QCOMPARE(::mkfifo((v.tree / "sub/b.txt").c_str(), 0644), 0);
        v.viewer->show_view();
        v.viewer->Next_file_but();
        QCOMPARE(v.viewer->display_state(), kViewFileOnly);
        QCOMPARE(v.shown(), QString("file -> access denied ") + QString::fromStdString(v.tree / "sub/b.txt") +
                                ": not a regular file");
    }

    void unreadable_result_files_give_an_alert_and_an_empty_view() {
        Viewer v;
        three_files(v);
        v.viewer->show_view();
        QVERIFY(v.shown().contains("NEED"));
        const std::string found = v.resources / "TW_found";
        QCOMPARE(std::rename(found.c_str(), (found + ".away").c_str()), 0);
        QString title, message;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            title = box->text();
            message = box->informativeText();
            box->accept();
        });
        v.viewer->Next_file_but();
        QCOMPARE(title, QString("Error"));
        QCOMPARE(message, QString("access denied or invalid directory: ") + QString::fromStdString(found) +
                              ": No such file or directory");
        QVERIFY(v.engine->sur.summary_status != 0);
        QCOMPARE(v.viewer->display_state(), kViewNothing);
        QVERIFY(v.shown().isEmpty());
        QVERIFY(!v.enabled("file_slider_ref"));
    }

    void the_window_frame_is_kept_between_runs() {
        QRect frame;
        {
            Viewer v;
            v.viewer->set_window_visible(true);
            v.viewer->window()->setGeometry(120, 90, 700, 480);
            frame = v.viewer->window()->geometry();
            v.viewer->set_window_visible(false);
            QVERIFY(!v.viewer->window()->isVisible());
        }
        Viewer again;
        QCOMPARE(again.viewer->window()->size(), frame.size());
    }

private:
    QTemporaryDir home_;
};

QTEST_MAIN(ViewerNavigationTest)
#include "viewer_navigation_test.moc"
