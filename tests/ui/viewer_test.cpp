// The found viewer over real searches: the excerpt in its three display
// modes with the occurrence marked, the launcher, the steps through found
// files and occurrences with the enabling of every control, a found file
// gone since the search, how the search ended, and the list of found files
// with its orders and filter.
#include "encoding/string_encoding.h"
#include "engine/tw_le.h"
#include "ui/app/wiring.h"
#include "ui/search/SearchController.h"
#include "ui/toolkit/AlertController.h"
#include "ui/toolkit/text.h"
#include "viewer_fixture.h"

using namespace tw::ui;
using viewer_test::Viewer;
namespace enc = tw::encoding;

namespace {

QByteArray encoded(const std::u16string& text, std::uint32_t encoding) {
    return QByteArray::fromStdString(*enc::to_bytes(text, encoding).value);
}

const char* const step_buttons[] = {"next_occ_but_ref", "previous_occ_but_ref", "next_file_but_ref",
                                    "previous_file_but_ref"};

// "i / n": the slider of that list is at i - 1 of 0 .. n - 1 and the index
// field says i.
void check_position(const Viewer& v, const char* label, const char* slider, const char* field) {
    const QStringList at = v.text(label).split(" / ");
    QCOMPARE(at.size(), 2);
    QCOMPARE(v.w<QSlider>(slider)->value(), at[0].toInt() - 1);
    QCOMPARE(v.w<QSlider>(slider)->maximum(), at[1].toInt() - 1);
    QCOMPARE(v.w<QLineEdit>(field)->text(), at[0]);
}

int current_row(const Viewer& v) { return list_view(v)->selectionModel()->currentIndex().row(); }

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

}  // namespace

class ViewerTest : public QObject {
    Q_OBJECT

private slots:
    // ---- The excerpt ----------------------------------------------------------------

    void text_mode_replaces_what_is_not_printable() {
        Viewer v;
        v.file("t.bin", std::string("ab\0\x7f\xe9\tx\r\nNEEDcd\rNEED", 20));
        v.search("NEED", {"t.bin"});
        v.viewer->show_view();
        QCOMPARE(v.viewer->hexa_or_text_popup()->state(kModeText), ItemState::On);
        // A CR LF pair is one line break in the text area, a lone CR one too;
        // the occurrence stays marked on the right characters.
        QCOMPARE(v.shown(), QString("ab???\tx\nNEEDcd\nNEED"));
        QCOMPARE(v.span().first, 8);
        QCOMPARE(v.selected(), QString("NEED"));
        v.viewer->Next_occ_but();
        QCOMPARE(v.span().first, 15);
        QCOMPARE(v.selected(), QString("NEED"));
        QCOMPARE(v.area()->font().family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    }

    void marks_cover_exactly_the_occurrence() {
        const struct { int mode, at; QStringList marked; } cases[] = {
            {kModeHexa, 3, {"41 42 43 44", "ABCD"}},      // one line
            {kModeHexa, 14, {"41 42", "AB", "43 44", "CD"}},  // over two lines
            {kModeHexa, 60, {"41 42 43 44", "ABCD"}},     // at the end
            {kModeText, 14, {"ABCD"}},
            {kModeOriginal, 14, {"ABCD"}},
        };
        for (const auto& c : cases) {
            Viewer v;
            std::string content(64, '.');
            content.replace(static_cast<std::size_t>(c.at), 4, "ABCD");
            v.file("m.bin", content);
            v.search("ABCD", {"m.bin"});
            v.mode(c.mode);
            v.viewer->show_view();
            QCOMPARE(v.marked(), c.marked);
            // The mark is a highlight, not the selection: a click or a
            // selection of the user's leaves it in place.
            QTest::mouseClick(v.area()->viewport(), Qt::LeftButton, {}, QPoint(3, 3));
            v.area()->selectAll();
            QCOMPARE(v.marked(), c.marked);
        }
    }

    void original_encoding_decodes_around_the_occurrence() {
        const struct { QByteArray content, pattern; std::uint32_t encoding; QString shown, selected; } cases[] = {
            // Latin-1: the run without NUL.
            {QByteArray("xy\0abc\xe9NEEDz\0tail", 17), "NEED", enc::kLatin1,
             "[Decoded from offset 3 (0x3): the byte before is a NUL. Decoding stops at offset 12 (0xC): "
             "a NUL byte.]\n\nabcéNEEDz", "NEED"},
            // UTF-8: the bytes that are not UTF-8 before the text are left out.
            {"\xff\xfe\x80junk h\xc3\xa9llo w\xc3\xb6rld!", "w\xc3\xb6rld", enc::kUtf8,
             "[Decoded from offset 3 (0x3): the bytes before cannot be read in this encoding.]\n\n"
             "junk héllo wörld!", "wörld"},
            // UTF-16 from an odd offset.
            {"\x01" + encoded(u"Grüße aus Köln!", enc::kUtf16), encoded(u"Köln", enc::kUtf16), enc::kUtf16,
             "Grüße aus Köln!", "Köln"},
            // EUC-JP A1 C1 is JIS X 0208's wave dash: typed in either spelling,
            // shown in the standard one.
            {"x\xa1\xc1\xa1\xf1y", encoded(u"\uFF5E", enc::kEucJp), enc::kEucJp,
             QString::fromUtf16(u"x\u301C\u00A2y"), QString::fromUtf16(u"\u301C")},
            // A NUL inside the occurrence.
            {QByteArray("xxA\0Byy", 7), QByteArray("A\0B", 3), enc::kLatin1,
             "[Decoding stops at offset 3 (0x3): a NUL byte.]\n\nxxA", "A"},
            {"caf\xc3\xa9 au lait", "\xa9", enc::kUtf8,
             "The bytes around this occurrence cannot be read in the target's encoding.\n"
             "Choose \"Text\" or \"Hexadecimal bytes\" to see them.", ""},
        };
        for (const auto& c : cases) {
            Viewer v;
            v.file("f.bin", c.content.toStdString());
            v.search(c.pattern.toStdString(), {"f.bin"}, c.encoding);
            v.viewer->show_view();
            v.mode(kModeOriginal);
            QCOMPARE(v.shown(), c.shown);
            QCOMPARE(v.selected(), c.selected);
        }
    }

    // ---- The found file ---------------------------------------------------------

    // The found file's name is not UTF-8: each kind of application gets its
    // bytes unchanged, and the viewer shows the odd byte as \xE9.
    void launcher_opens_the_found_file_with_the_chosen_application() {
        Viewer v;
        tw_test::TempDir apps;
        const std::string marker_1 = apps / "marker-1", marker_2 = apps / "marker-2";
        // The first application is a desktop entry, started through GIO.
        const std::string entry = apps / "first-opener.desktop";
        tw_test::write_file(entry, "[Desktop Entry]\nType=Application\nName=First\nExec=" +
                                       viewer_test::write_recorder(apps / "first-opener.sh", marker_1) + " %f\n");
        for (const std::string& app :
             {entry, viewer_test::write_recorder(apps / "second", marker_2), std::string("/nonexistent/program")})
            QCOMPARE(v.engine->append_to_launcher(app.c_str()), 0u);
        v.viewer->update_launcher_popup();
        PullDown* launcher = v.viewer->launcher_popup();
        QCOMPARE(launcher->item_title(4), QString("--------------"));
        // The title, the separator, and an application while no file is
        // found only beep; so does the display mode pull-down's title.
        const auto beeps = beep_count();
        for (int refused : {0, 4, 1}) v.viewer->launcher_popup_action(refused);
        v.viewer->hexa_or_text_popup_action(0);
        QCOMPARE(beep_count(), beeps + 4);
        QCOMPARE(v.viewer->hexa_or_text_type(), kModeText);

        const std::string found = v.file("sub/found caf\xE9.txt", "..NEED..");
        v.search("NEED", {"sub/found caf\xE9.txt"});
        v.viewer->show_view();
        QCOMPARE(v.text("filename_ref"), QString("found caf\\xE9.txt"));
        QVERIFY(cell(v, 0, FoundListModel::PathColumn).endsWith("/sub/found caf\\xE9.txt"));
        launcher->choose_item(2);
        QTRY_COMPARE(tw_test::file_bytes(QString::fromStdString(marker_2)), QByteArray::fromStdString(found + "\n"));
        launcher->choose_item(1);
        QTRY_COMPARE(tw_test::file_bytes(QString::fromStdString(marker_1)), QByteArray::fromStdString(found + "\n"));
        // An application that cannot start is reported.
        launcher->choose_item(3);
        auto* box = v.viewer->window()->findChild<QMessageBox*>();
        QVERIFY(box != nullptr);
        QCOMPARE(box->informativeText(), QString("Cannot open the file with /nonexistent/program"));
        box->accept();
    }

    // ---- Steps --------------------------------------------------------------------

    void stepping_through_occurrences_and_files() {
        Viewer v;
        v.show_three_files();
        QVERIFY(v.viewer->window()->isVisible());
        using C = ViewerController;
        // Each step, what the viewer shows after it, and which of the four
        // step buttons (next and previous occurrence, next and previous
        // file) are enabled; a refused step beeps and changes nothing.
        const struct {
            void (C::*step)();
            bool refused;
            const char* file;
            const char* file_nb;
            const char* occ_nb;
            const char* offset;
            const char* buttons;
        } steps[] = {
            {nullptr, false, "a.txt", "1 / 3", "1 / 3", "2 (0x2)", "N-n-"},
            {&C::Next_occ_but, false, "a.txt", "1 / 3", "2 / 3", "14 (0xE)", "NPn-"},
            {&C::Next_occ_but, false, "a.txt", "1 / 3", "3 / 3", "24 (0x18)", "-Pn-"},
            {&C::Next_occ_but, true, "a.txt", "1 / 3", "3 / 3", "24 (0x18)", "-Pn-"},
            // The next file always starts at its first occurrence.
            {&C::Next_file_but, false, "sub/b.txt", "2 / 3", "1 / 1", "0 (0x0)", "--np"},
            {&C::Next_file_but, false, "sub/deeper/c.txt", "3 / 3", "1 / 2", "2 (0x2)", "N--p"},
            {&C::Next_occ_but, false, "sub/deeper/c.txt", "3 / 3", "2 / 2", "8 (0x8)", "-P-p"},
            {&C::Next_file_but, true, "sub/deeper/c.txt", "3 / 3", "2 / 2", "8 (0x8)", "-P-p"},
            {&C::Previous_file_but, false, "sub/b.txt", "2 / 3", "1 / 1", "0 (0x0)", "--np"},
            {&C::Previous_occ_but, true, "sub/b.txt", "2 / 3", "1 / 1", "0 (0x0)", "--np"},
            {&C::Previous_file_but, false, "a.txt", "1 / 3", "1 / 3", "2 (0x2)", "N-n-"},
        };
        for (std::size_t i = 0; i < std::size(steps); ++i) {
            const auto& s = steps[i];
            const QByteArray step = QByteArray::number(static_cast<int>(i));
            const auto beeps = beep_count();
            if (s.step != nullptr) (v.viewer.get()->*s.step)();
            QCOMPARE(beep_count(), beeps + (s.refused ? 1 : 0));
            const QFileInfo path(QString::fromStdString(v.tree / s.file));
            QVERIFY2(v.text("filename_ref") == path.fileName(), step);
            QVERIFY2(v.text("foldername_ref") == path.path(), step);
            QVERIFY2(v.text("file_nb_and_index_ref") == s.file_nb, step);
            QVERIFY2(v.text("occ_nb_and_index_ref") == s.occ_nb, step);
            QVERIFY2(v.text("offset_ref") == s.offset, step);
            for (int b = 0; b < 4; ++b)
                QVERIFY2(v.enabled(step_buttons[b]) == (s.buttons[b] != '-'), step + step_buttons[b]);
            check_position(v, "file_nb_and_index_ref", "file_slider_ref", "file_index_tf_ref");
            check_position(v, "occ_nb_and_index_ref", "occ_slider_ref", "occ_index_tf_ref");
        }
    }

    // F3, Shift+F3 and Ctrl+arrows step from the excerpt and from either
    // index field; Page Down only scrolls, and a refused step beeps.
    void keys_step_like_the_buttons() {
        Viewer v;
        v.show_three_files();
        QApplication::setActiveWindow(v.viewer->window());
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            const char* file_nb;
            const char* occ_nb;
            bool refused;
        } keys[] = {
            {Qt::Key_F3, Qt::NoModifier, "1 / 3", "2 / 3", false},
            {Qt::Key_Down, Qt::ControlModifier, "1 / 3", "3 / 3", false},
            {Qt::Key_F3, Qt::ShiftModifier, "1 / 3", "2 / 3", false},
            {Qt::Key_PageDown, Qt::NoModifier, "1 / 3", "2 / 3", false},
            {Qt::Key_Up, Qt::ControlModifier, "1 / 3", "1 / 3", false},
            {Qt::Key_Left, Qt::ControlModifier, "1 / 3", "1 / 3", true},
            {Qt::Key_Right, Qt::ControlModifier, "2 / 3", "1 / 1", false},
            {Qt::Key_Left, Qt::ControlModifier, "1 / 3", "1 / 3", false},
        };
        for (QWidget* focus : std::initializer_list<QWidget*>{v.area(), v.w<QLineEdit>("occ_index_tf_ref"),
                                                            v.w<QLineEdit>("file_index_tf_ref")}) {
            focus->setFocus();
            for (const auto& k : keys) {
                const QByteArray what = focus->objectName().toLatin1() + " key 0x" + QByteArray::number(int(k.key), 16);
                const auto beeps = beep_count();
                QTest::keyClick(focus, k.key, k.modifiers);
                QVERIFY2(v.text("file_nb_and_index_ref") == k.file_nb, what);
                QVERIFY2(v.text("occ_nb_and_index_ref") == k.occ_nb, what);
                QVERIFY2(beep_count() == beeps + (k.refused ? 1 : 0), what);
            }
        }
    }

    // Line numbers are shown counting from one.
    void line_numbers_count_from_one() {
        Viewer v;
        v.file("lines.txt", "NEED first\nsecond\nthird NEED\n");
        tw_test::set_target(*v.engine, "NEED", {{v.tree / "lines.txt", false}});
        v.engine->tr.add_line_nb = 1;
        v.engine->search_in_target();
        v.viewer->show_view();
        QCOMPARE(v.text("line_ref"), QString("1"));
        v.viewer->Next_occ_but();
        QCOMPARE(v.text("line_ref"), QString("3"));
    }

    void index_fields_refuse_what_is_out_of_range() {
        Viewer v;
        v.show_three_files();
        v.viewer->Next_file_but();
        auto* field = v.w<QLineEdit>("file_index_tf_ref");
        // An index let through would show a reading error in an alert:
        // close it, so that the checks below fail instead of the test hanging.
        QTimer closer;
        closer.callOnTimeout([] {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        closer.start(50);
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
        auto* occ_field = v.w<QLineEdit>("occ_index_tf_ref");
        occ_field->setText("3");
        v.w<QPushButton>("go_occ_but_ref")->click();
        QCOMPARE(occ_field->text(), QString("1"));
        occ_field->setText("2");
        v.w<QPushButton>("go_occ_but_ref")->click();
        QCOMPARE(v.text("offset_ref"), QString("8 (0x8)"));
    }

    void nothing_shown_disables_everything() {
        for (const bool cleared : {false, true}) {  // nothing found, or the view cleared
            Viewer v;
            v.three_files();
            if (!cleared) v.search("nothing like this", {"a.txt"});
            v.viewer->show_view();
            if (cleared) v.viewer->clear_view();
            QCOMPARE(v.viewer->display_state(), kViewNothing);
            QCOMPARE(v.shown(), cleared ? QString() : QString("No occurrence found"));
            for (const char* f : {"filename_ref", "foldername_ref", "offset_ref", "line_ref", "file_nb_and_index_ref",
                                  "occ_nb_and_index_ref"})
                QVERIFY2(v.text(f).isEmpty(), f);
            for (const char* c : {"next_occ_but_ref", "previous_occ_but_ref", "next_file_but_ref",
                                  "previous_file_but_ref", "go_occ_but_ref", "go_file_but_ref", "occ_slider_ref",
                                  "file_slider_ref", "occ_index_tf_ref", "file_index_tf_ref", "info_but_ref",
                                  "show_in_finder_but_ref", "launcher_popup", "hexa_or_text_popup"})
                QVERIFY2(!v.enabled(c), c);
            QCOMPARE(model(v)->rowCount(), 0);
            const auto beeps = beep_count();
            v.viewer->Next_file_but();
            QCOMPARE(beep_count(), beeps + 1);
        }
    }

    void a_found_file_gone_since_the_search() {
        for (const bool fifo : {false, true}) {  // deleted, or now a pipe
            Viewer v;
            v.three_files();
            const std::string b = v.tree / "sub/b.txt";
            ::unlink(b.c_str());
            if (fifo) QCOMPARE(::mkfifo(b.c_str(), 0644), 0);
            v.viewer->show_view();
            v.viewer->Next_file_but();
            QCOMPARE(v.viewer->display_state(), kViewFileOnly);
            const QString why = "file -> access denied " + QString::fromStdString(b) + ": " +
                                (fifo ? "not a regular file" : "No such file or directory");
            QCOMPARE(v.shown(), why);
            QCOMPARE(v.text("filename_ref") + " " + v.text("file_nb_and_index_ref"), QString("b.txt 2 / 3"));
            // The list keeps its row, with a blank size for a file gone.
            QCOMPARE(cell(v, 1, FoundListModel::SizeColumn), fifo ? QString("0") : QString());
            QVERIFY(v.text("offset_ref").isEmpty() && v.text("occ_nb_and_index_ref").isEmpty());
            QVERIFY(!v.enabled("next_occ_but_ref") && !v.enabled("occ_slider_ref"));
            QVERIFY(v.enabled("next_file_but_ref") && v.enabled("previous_file_but_ref"));
            // Another display mode still shows why there is no excerpt.
            v.mode(kModeHexa);
            QCOMPARE(v.shown(), why);
            v.viewer->Next_file_but();
            QCOMPARE(v.text("offset_ref"), QString("2 (0x2)"));
        }
    }

    void title_and_state_line_say_how_the_search_ended() {
        const QString viewer = "Found Viewer";
        const struct { tw::u64 status, error; QString title, line; int unreadable; } cases[] = {
            {tw::RESULT_FINISHED, 0, viewer, "", 0},
            {tw::RESULT_FINISHED, 0, viewer, "2 files or folders could not be read.", 2},
            {tw::RESULT_STOPPED, 0, viewer + " — Search stopped",
             "Search stopped: only the files found before the stop are listed. 1 file or folder could not be read.", 1},
            {tw::RESULT_ERROR, tw::ERR_READ_FILE, viewer + " — Search ended on an error", "Search ended on an error: ", 0},
            {tw::RESULT_RUNNING, 0, viewer + " — Search did not finish",
             "Search did not finish: the result may be incomplete.", 0},
        };
        for (const auto& c : cases) {
            Viewer v;
            v.three_files();
            v.set_status(c.status, c.error);
            UnreadableItems items;
            for (int i = 0; i < c.unreadable; ++i) items.listed.append({"/locked", EACCES});
            items.total = static_cast<tw::u64>(c.unreadable);
            v.viewer->set_unreadable_items(items);
            v.viewer->show_view();
            auto* list_button = v.w<QPushButton>("unreadable_but_ref");
            QCOMPARE(list_button->isVisible(), c.unreadable > 0);
            QCOMPARE(v.viewer->window()->windowTitle(), c.title);
            QLabel* state = v.viewer->result_state_line();
            QCOMPARE(state->isVisible(), !c.line.isEmpty());
            QCOMPARE(state->text(), c.line + (c.error != 0 ? QString::fromStdString(v.engine->error_text(c.error)) : ""));
            // The found files are still shown; a cleared view forgets the state.
            QCOMPARE(v.text("file_nb_and_index_ref"), QString("1 / 3"));
            v.viewer->clear_view();
            QCOMPARE(v.viewer->window()->windowTitle(), viewer);
            QVERIFY(!list_button->isVisible() && v.viewer->unreadable_items().total == 0);
        }
    }

    // Raw path bytes as the list of unreadable items shows them: what is not
    // UTF-8, a control character or a backslash is escaped, never replaced.
    void unreadable_paths_are_shown_escaped() {
        const struct {
            QByteArray bytes;
            QString shown;
        } cases[] = {
            {"/d/caf\xC3\xA9", QString::fromUtf8("/d/caf\u00E9")},
            {"/d/caf\xE9", "/d/caf\\xE9"},
            {"a\\b\tc", "a\\\\b\\x09c"},
            // A UTF-16 surrogate and a code point beyond U+10FFFF.
            {"\xED\xA0\x80\xF4\x90\x80\x80", "\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80"},
            {"\xEF\xBF\xBD", QString(QChar(0xFFFD))},  // a true replacement character stays
        };
        for (const auto& c : cases) QCOMPARE(display_name(c.bytes), c.shown);
        QCOMPARE(unreadable_line({"/d/f", EINVAL}, 1), QString("/d/f : pas un fichier ordinaire"));
    }

    // ---- The list of found files ------------------------------------------------

    void sorts_by_each_column_from_its_header() {
        const QString a = "a.txt", b = "sub/b.txt", c3 = "sub/deeper/c.txt";
        const struct { int column; Qt::SortOrder order; QStringList paths; } cases[] = {
            {-1, Qt::AscendingOrder, {a, b, c3}},  // the found order
            {FoundListModel::CountColumn, Qt::AscendingOrder, {b, c3, a}},
            {FoundListModel::CountColumn, Qt::DescendingOrder, {a, c3, b}},
            {FoundListModel::PathColumn, Qt::DescendingOrder, {c3, b, a}},
            {FoundListModel::SizeColumn, Qt::DescendingOrder, {b, a, c3}},
        };
        for (const auto& [column, order, paths] : cases) {
            Viewer v;
            v.show_three_files();
            QCOMPARE(v.text("found_list_status_ref"), QString("3 found files"));
            QCOMPARE(cell(v, 0, FoundListModel::CountColumn) + cell(v, 1, FoundListModel::CountColumn) +
                         cell(v, 2, FoundListModel::CountColumn),
                     QString("312"));
            QCOMPARE(cell(v, 1, FoundListModel::SizeColumn), QString("104"));
            // As a click on the header does.
            list_view(v)->sortByColumn(column, order);
            QTRY_VERIFY(!model(v)->sizing());
            QCOMPARE(shown_paths(v), paths);
            // The current file stays selected in the new order, which is shown
            // from its start; the current row follows the file steps only.
            QCOMPARE(current_row(v), paths.indexOf(a));
            QCOMPARE(list_view(v)->verticalScrollBar()->value(), 0);
            v.viewer->Next_occ_but();
            QCOMPARE(current_row(v), paths.indexOf(a));
            // (The file steps through the rows as listed: viewer_steps_test.)
            // Choosing a row shows that file's first occurrence; the file index
            // counts the rows.
            const int c = paths.indexOf(c3);
            list_view(v)->selectionModel()->setCurrentIndex(
                model(v)->index(c, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            QCOMPARE(v.text("file_nb_and_index_ref") + " " + v.text("occ_nb_and_index_ref"),
                     QString("%1 / 3 1 / 2").arg(c + 1));
        }
    }

    void a_new_result_is_read_again_and_not_sorted_by_size() {
        Viewer v;
        v.show_three_files();
        list_view(v)->sortByColumn(FoundListModel::SizeColumn, Qt::DescendingOrder);
        QTRY_VERIFY(!model(v)->sizing());
        v.viewer->clear_view();
        v.search("NEED", {"sub/deeper/c.txt", "sub/b.txt"});
        v.viewer->show_view();
        // Every size would have to be read first: the found order, and the
        // header shows no order.
        QCOMPARE(shown_paths(v), (QStringList{"sub/deeper/c.txt", "sub/b.txt"}));
        QCOMPARE(list_view(v)->horizontalHeader()->sortIndicatorSection(), -1);
        // A count order is kept, and result files rewritten behind the
        // viewer's back are read again.
        list_view(v)->sortByColumn(FoundListModel::CountColumn, Qt::AscendingOrder);
        v.search("NEED", {"a.txt", "sub/b.txt"});
        v.viewer->show_view();
        QCOMPARE(shown_paths(v), (QStringList{"sub/b.txt", "a.txt"}));
        QCOMPARE(list_view(v)->horizontalHeader()->sortIndicatorSection(), int(FoundListModel::CountColumn));
    }

    void filters_by_path_text() {
        Viewer v;
        v.show_three_files();
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

    void damaged_records_are_rows_that_say_so() {
        Viewer v;
        v.three_files();
        // The second record's file name now lies past the end of TW_found_path.
        const std::string header = (v.resources / "TW_found") + "/TW_found_header";
        auto bytes = tw_test::read_file(header);
        tw::store_le64(bytes.data() + 48 + 16, tw::u64{1} << 40);
        tw_test::write_file(header, bytes);
        v.viewer->show_view();
        QCOMPARE(cell(v, 1, FoundListModel::PathColumn), QString("Damaged record 2: a name lies outside TW_found_path"));
        QCOMPARE(cell(v, 1, FoundListModel::CountColumn), QString());
        QCOMPARE(v.text("found_list_status_ref"), QString("3 found files — 1 damaged record"));
    }

    // Each count of the status line takes the singular for 1, and in French
    // for 0 too.
    void list_status_counts_in_the_singular_for_one() {
        const struct { int language; bool one_file; const char *filter, *status; } cases[] = {
            {0, true, "", "1 found file"},
            {1, true, "", "1 fichier trouvé"},
            {0, true, "none such", "0 of 1 found file shown"},
            {0, false, "deeper", "1 of 3 found files shown"},
            {1, false, "deeper", "1 fichier trouvé affiché sur 3"},
            {1, false, "none such", "0 fichier trouvé affiché sur 3"},
            {1, false, "sub/", "2 fichiers trouvés affichés sur 3"},
        };
        for (const auto& c : cases) {
            Viewer v;
            v.engine->language = c.language;
            v.three_files();
            if (c.one_file) v.search("NEED", {"a.txt"});
            v.viewer->show_view();
            v.w<QLineEdit>("found_filter_ref")->setText(c.filter);
            QCOMPARE(v.text("found_list_status_ref"), QString::fromUtf8(c.status));
        }
    }

    void previous_result_is_offered_at_start_not_shown() {
        const QString last = "Last result: %1 — Window > Found Viewer (Ctrl+Shift+F)";
        const struct { QString result, line; } cases[] = {
            {"found", last.arg("3 found files")}, {"one", last.arg("1 found file")},
            {"none", ""}, {"empty", ""}, {"damaged", ""}};  // no result files, nothing found, a damaged header
        for (const auto& [result, line] : cases) {
            Viewer v;
            if (result != "none") v.three_files();
            if (result == "empty") v.search("nothing like this", {"a.txt"});
            if (result == "one") v.search("NEED", {"a.txt"});
            if (result == "damaged")
                tw_test::write_file((v.resources / "TW_found") + "/TW_found_header", std::string(48, '\xff'));
            // No alert either way: a start does not stop on an old result.
            AlertController alerts;
            SearchController search(*v.engine, alerts);
            tw::ui::connect_search_to_viewer(search, *v.viewer);
            search.awake_from_nib();
            search.offer_last_result(v.viewer->offer_last_result());
            QCOMPARE(search.last_result_line(), line);
            // Loaded, not brought up.
            QVERIFY(!v.viewer->window()->isVisible());
            QCOMPARE(model(v)->rowCount(), line.isEmpty() ? 0 : result == "one" ? 1 : 3);
            QCOMPARE(v.text("filename_ref"), line.isEmpty() ? QString() : QString("a.txt"));
        }
    }

    // A result of several forms lists each file's count per form in a
    // column "Forms", which a result of one form does not have.
    void forms_column_counts_each_form() {
        Viewer v;
        v.file("a.txt", "one two two");
        v.file("b.txt", "two");
        tw::MultiPattern two;
        two.bytes = {'t', 'w', 'o'};
        v.engine->more_forms = {two};
        v.search("one", {"a.txt", "b.txt"});
        v.viewer->show_view();
        QCOMPARE(model(v)->columnCount(), 4);
        QCOMPARE(model(v)->headerData(FoundListModel::FormsColumn, Qt::Horizontal).toString(), QString("Forms"));
        QCOMPARE(cell(v, 0, FoundListModel::FormsColumn) + " " + cell(v, 1, FoundListModel::FormsColumn),
                 QString("1 / 2 0 / 1"));
        // The occurrence on show is named by its form's number.
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("1 / 3 (form 1)"));
        v.viewer->Next_occ_but();
        QCOMPARE(v.text("occ_nb_and_index_ref"), QString("2 / 3 (form 2)"));
        v.engine->more_forms.clear();
        v.search("two", {"a.txt"});
        v.viewer->show_view();
        QCOMPARE(model(v)->columnCount(), 3);
    }
};

TW_UI_SUITE(ViewerTest)
#include "viewer_test.moc"
