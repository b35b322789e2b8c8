// The target editor over a real engine, search window and viewer on a
// temporary resource folder: OK and its alerts, the target file it writes,
// the entry points, drops, the item table and the other windows.
#include "tests/ui/search_window_support.h"

#include <QTableView>
#include <QToolButton>

#include "ui/preferences/PrefrencesController.h"
#include "ui/target_editor/TargetController.h"
#include "ui/common/search_string_field.h"
#include "ui/viewer/ViewerController.h"
#include "ui_PrefrencesController.h"
#include "ui_FormsDialog.h"
#include "ui_TargetController.h"
#include "ui_ViewerController.h"

using namespace sw_test;

namespace {

// The search window, the viewer and the menus around one editor.
struct Editor : Harness {
    Editor() {
        open_on({.name = "Docs", .pattern = "abc"});
        viewer = std::make_unique<tw::ui::ViewerController>(engine);
        editor = std::make_unique<tw::ui::TargetController>(engine, alerts);
        tw::ui::connect_editor_results(*editor, &menu, controller.get());
        tw::ui::arrange_windows_around_editor(*editor, &menu, controller.get(), viewer.get());
        tw::ui::connect_to_target_editor(*controller, *editor, editor.get());
        write_file("tree/a.txt", "xx abc yy\nabc\n");
    }
    Ui::TargetWindow* eui() const { return editor->ui(); }
    QWidget* ewindow() const { return editor->window(); }
    QString shown() const { return editor->search_string_field()->view_text(); }
    void type_text(const QString& t) const {
        eui()->string_to_search_ref->setPlainText(t);
        eui()->string_to_search_ref->moveCursor(QTextCursor::End);
    }
    void add_rows(const QStringList& subs) const {
        QStringList paths;
        for (const QString& s : subs) paths << QString::fromStdString(path(s.toStdString()));
        editor->target_selection_panel_did_end(paths);
    }
    std::unique_ptr<tw::ui::ViewerController> viewer;
    std::unique_ptr<tw::ui::TargetController> editor;
};

std::string le64(std::uint64_t v) {
    std::string out(8, '\0');
    for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    return out;
}

// The names of the controls that Tab reaches in turn from `first`, until it
// comes back to it.
QStringList tab_chain(QWidget* first) {
    QWidget* window = first->window();
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) return {"<not active>"};
    first->setFocus();
    QStringList names;
    for (int i = 0; i < 40; ++i) {
        QWidget* at = QApplication::focusWidget();
        if (at == nullptr) return names << "<none>";
        names << (at->objectName().isEmpty() ? at->metaObject()->className() : at->objectName());
        QTest::keyClick(at, Qt::Key_Tab);
        if (QApplication::focusWidget() == first) break;
    }
    return names;
}

const QString kWildcardAtEnd =
    "The search string must not begin/end by the wildcard char.\nThe wildcard option is on: uncheck "
    "\u201CWildcard\u201D to search for this character itself.";

}  // namespace

class TargetEditorTest : public QObject {
    Q_OBJECT

private slots:
    // The checks of OK in their order: the first that fails gives the alert,
    // the window stays open and nothing is saved.
    void ok_refuses_what_is_missing_or_wrong_in_order() {
        const QString blank = "One or more field are left blank";
        const struct {
            const char *name, *text, *target_name, *wildcard;  // target_name nullptr: the proposed one
            bool hexa, row;
            QString alert;
        } cases[] = {
            {"no text", "", nullptr, "?", false, true, blank},
            {"text not in ASCII", "caf\u00e9", nullptr, "?", false, true, blank},
            {"no name", "abc", "", "?", false, true, blank},
            {"empty wildcard", "abc", nullptr, "", false, true, blank},
            {"no row", "abc", nullptr, "?", false, false, blank},
            {"name taken, other case", "abc", "dOCS", "?", false, true,
             "The target name is already taken"},
            {"wildcard first", "?abc", nullptr, "?", false, true, kWildcardAtEnd},
            {"bad hexadecimal", "4G", nullptr, "?", true, true, "Cannot build this target"},
            // Ignore case is on: the wildcard Z would be the letter z.
            {"letter wildcard", "xZy", nullptr, "Z", false, true,
             "Cannot build this target\nWhile the case is ignored, the wildcard \u201CZ\u201D is folded "
             "together with the letter Z/z of the search string: choose a wildcard that is not a letter."},
        };
        for (const auto& c : cases) {
            Editor e;
            e.editor->show_target_window();
            e.engine.tr_temp.is_hexa = c.hexa ? 1 : 0;
            e.type_text(QString::fromUtf8(c.text));
            if (c.target_name != nullptr) e.eui()->target_name_ref->setText(c.target_name);
            e.eui()->use_wildcard_ref->setChecked(true);
            e.eui()->wildcard_symbol_ref->setText(c.wildcard);
            if (c.row) e.add_rows({"tree"});
            e.editor->OK_but();
            QVERIFY2(e.alerts.is_shown(e.ewindow()), c.name);
            QCOMPARE(e.alert_message(e.ewindow()), c.alert);
            QVERIFY(e.ewindow()->isVisible());
            QVERIFY2(!QFileInfo::exists(QString::fromStdString(e.resource) + "/TW_target/TW_target_001"),
                     c.name);
        }
    }

    // OK writes the target file field by field, wildcard included, makes it
    // current and closes.
    void ok_saves_the_target_byte_for_byte_and_makes_it_current() {
        Editor e;
        e.editor->show_target_window();
        e.type_text("a*c");
        e.eui()->target_name_ref->setText("Notes");
        e.eui()->use_wildcard_ref->setChecked(true);
        e.eui()->wildcard_symbol_ref->setText("*");
        e.eui()->case_insensitive_ref->setChecked(false);
        e.eui()->eol_cr_ref->setChecked(true);
        e.add_rows({"tree", "tree/a.txt", "missing"});
        e.editor->OK_but();  // the missing item was skipped when it was chosen
        QVERIFY(!e.ewindow()->isVisible());
        const std::string folder = e.path("tree"), file = e.path("tree/a.txt");
        std::string expected;
        for (std::uint64_t v : {13, int{'*'}, 1, 1, 0, 1, 1, 0, 1, 2, 6, 3}) expected += le64(v);
        expected += le64(~0ull) + le64(folder.size() + 1) + le64(0);
        expected += le64(0) + le64(file.size() + 1) + le64(folder.size() + 1);
        expected += std::string("Notes", 6) + "a*c" + folder + '\0' + file + '\0';
        QCOMPARE(e.target_bytes(1), expected);
        QCOMPARE(e.ui()->target_ref->text(), QString("Notes"));
        QCOMPARE(e.targets()->count(), 3);
    }

    // In hexadecimal a typed byte is never the wildcard: the file saved holds
    // the wildcard the window moved to (and Ignore case, turned off by the
    // switch to hexadecimal), and trawlex-cli runs it as it runs the same
    // typed search; a typed wildcard stays one.
    void a_hexadecimal_target_keeps_its_typed_bytes() {
        const struct {
            const char *typed, *shown;
            char wildcard;
            QStringList cli;
            QStringList found;  // offsets in tree/q.txt
        } cases[] = {
            {"68 3F 6C 6C 6F", "68 3F 6C 6C 6F ", '*', {"--hex", "68 3F 6C 6C 6F"}, {"6"}},
            {"68 ? 6C 6C 6F", "68 ? 6C 6C 6F", '?', {"--hex", "--wildcard", "?", "68 ? 6C 6C 6F"}, {"0", "6"}},
        };
        for (const auto& c : cases) {
            Editor e;
            e.write_file("tree/q.txt", "hello?h?llo?");
            e.editor->show_target_window();
            QVERIFY(e.eui()->case_insensitive_ref->isChecked());
            e.editor->encoding_popup()->choose_item(kHexadecimal);
            QVERIFY(!e.eui()->case_insensitive_ref->isChecked());
            e.type_text(c.typed);
            e.eui()->target_name_ref->setText("Hex");
            e.eui()->use_wildcard_ref->setChecked(true);
            e.eui()->wildcard_symbol_ref->setText("?");
            e.add_rows({"tree"});
            e.editor->OK_but();
            QVERIFY2(!e.ewindow()->isVisible(), qPrintable(e.alert_message(e.ewindow())));
            QCOMPARE(e.eui()->wildcard_symbol_ref->text(), QString(QChar(c.wildcard)));
            QCOMPARE(e.shown(), QString(c.shown));
            const std::string folder = e.path("tree");
            std::string expected;
            for (std::uint64_t v : {10, int{c.wildcard}, 1, 1, 0, 1, 1, 1, 1, 1, 4, 5}) expected += le64(v);
            expected += le64(~0ull) + le64(folder.size() + 1) + le64(0);
            expected += std::string("Hex", 4) + "h?llo" + folder + '\0';
            QCOMPARE(e.target_bytes(1), expected);

            const QString tree = QString::fromStdString(folder);
            QStringList lines;
            for (const QString& at : c.found) lines << tree + "/q.txt\t" + at;
            QCOMPARE(cli_found({"--resource-dir", QString::fromStdString(e.resource), "--target", "1"}), lines);
            QCOMPARE(cli_found(c.cli + QStringList{tree}), lines);
        }
    }

    // Tab leaves the item table; Return in the search string presses OK and
    // never types a line feed, Ctrl+Return types one.
    void keys_leave_the_table_and_return_presses_ok() {
        Editor e;
        e.editor->show_target_window();
        e.ewindow()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(e.ewindow()));
        e.add_rows({"tree", "tree/a.txt"});
        QTableView* table = e.eui()->table_view_ref;
        table->setCurrentIndex(table->model()->index(0, 0));
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), e.eui()->add_but_ref);
        table->setCurrentIndex(table->model()->index(1, 2));
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(QApplication::focusWidget() != table);
        QPlainTextEdit* view = e.eui()->string_to_search_ref;
        view->setFocus();
        e.type_text("ab");
        QTest::keyClick(view, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(e.shown(), QString("ab\n"));
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(!e.ewindow()->isVisible());
        QCOMPARE(e.engine.cur_target_index, tw::i64{1});
        QCOMPARE(bytes_of(e.engine.tr), QString("ab\n"));
    }

    // A stored file is never saved over. A stored target that cannot be
    // read whole, asked for while the editor is open on another, changes
    // nothing: OK saves the target on show, and the damaged file keeps its
    // bytes. A new target takes one past the highest number present, so a
    // damaged file between good ones is never replaced; a failed OK keeps
    // the working record whole for the drops after it.
    void stored_targets_are_never_saved_over() {
        Editor e;
        e.save_target(1, {.name = "One", .pattern = "x"});
        e.save_target(2, {.name = "Two", .pattern = "y"});
        e.damage_target(1);
        const std::string damaged = e.target_bytes(1), two = e.target_bytes(2);
        e.editor->show_target_window_index_of_target(0);
        const QString a = QString::fromStdString(e.path("tree/a.txt"));
        const std::function<void()> entries[] = {
            [&] { e.editor->show_target_window_index_of_target(1); },
            [&] { e.editor->show_target_window_index_of_target_drop_items(1, {a}); },
            [&] { e.editor->show_target_window_index_of_target_drop_string(1, "xyz"); },
        };
        for (const auto& entry : entries) {
            ModalAnswerer answerer;
            entry();
            QCOMPARE(answerer.message, QString("Cannot edit/set this target"));
            QCOMPARE(e.editor->use_this_target_index(), tw::i64{0});
        }
        e.add_rows({"tree"});
        e.editor->OK_but();
        QCOMPARE(e.target_bytes(1), damaged);
        QCOMPARE(e.engine.cur_target_index, tw::i64{0});

        e.editor->show_target_window();
        e.type_text("abc?");
        e.eui()->use_wildcard_ref->setChecked(true);
        e.add_rows({"tree"});
        e.editor->OK_but();
        QCOMPARE(e.alert_message(e.ewindow()), kWildcardAtEnd);
        e.alerts.Alert_OK_but(e.ewindow());
        e.editor->update_target_window_drop_items({a});
        e.type_text("abc");
        e.editor->OK_but();
        QCOMPARE(e.target_bytes(1), damaged);
        QCOMPARE(e.target_bytes(2), two);
        QCOMPARE(e.engine.cur_target_index, tw::i64{3});
        QCOMPARE(e.engine.tr_temp.item_nb, tw::u64{2});
    }

    // What each entry point keeps, replaces and appends; failures alert and
    // open nothing.
    void entry_points_fill_the_working_record() {
        Editor e;
        const QString a = QString::fromStdString(e.path("tree/a.txt"));
        // Files: a new target named after the first.
        e.editor->show_target_window_drop_items({QString::fromStdString(e.path("report.final.txt")),
                                                 QString::fromStdString(e.path("tree/sub"))});
        QCOMPARE(e.editor->use_this_target_index(), tw::i64{-1});
        QCOMPARE(e.eui()->target_name_ref->text(), QString("report.final"));
        e.editor->Cancel_but();
        // Names cut on a character boundary, line breaks as spaces.
        const QString text = "line\none\t" + QString("\u20ac").repeated(30);
        e.editor->show_target_window_drop_string(text);
        QCOMPARE(e.eui()->target_name_ref->text(), "line one " + QString("\u20ac").repeated(21));
        QCOMPARE(e.engine.tr_temp.search_str_len, tw::u64(text.toUtf8().size()));
        e.editor->Cancel_but();
        // A stored target with dropped items added, or its string replaced.
        e.editor->show_target_window_index_of_target_drop_items(0, {a});
        QCOMPARE(e.editor->nodes()->rowCount(), 1);
        e.editor->show_target_window_index_of_target_drop_string(0, "xyz");
        QCOMPARE(e.editor->use_this_target_index(), tw::i64{0});
        QCOMPARE(e.eui()->target_name_ref->text(), QString("Docs"));
        QCOMPARE(e.shown(), QString("xyz"));
        e.editor->Cancel_but();
        for (const tw::i64 index : {tw::i64{7}, tw::i64{-1}}) {
            ModalAnswerer answerer;
            e.editor->show_target_window_index_of_target_drop_items(index, {a});
            QCOMPARE(answerer.message, QString("Cannot edit/set this target"));
            QVERIFY(!e.ewindow()->isVisible());
        }
    }

    // The file chooser, from Add, appends what is chosen in it. A path typed
    // in the item table is taken only when absolute and present: else the
    // row keeps its path and the alert says why.
    void the_chooser_adds_and_typed_paths_are_checked() {
        Editor e;
        e.editor->show_target_window();
        const QString a = QString::fromStdString(e.path("tree/a.txt"));
        {
            tw_test::PanelAnswerer choose(a);
            QTest::mouseClick(e.eui()->add_but_ref, Qt::LeftButton);
            QTRY_COMPARE(e.editor->nodes()->rowCount(), 1);
        }
        QAbstractItemModel* table = e.eui()->table_view_ref->model();
        const QModelIndex path = table->index(0, 2);
        QCOMPARE(path.data().toString(), a);
        const struct { QString typed; const char* alert; } cases[] = {
            {"tree/a.txt", "The path must be absolute (begin with /)"},
            {QString::fromStdString(e.path("missing")), "No file or folder at this path"},
            {QString::fromStdString(e.path("tree")), "<no alert>"}};
        for (const auto& c : cases) {
            const bool taken = QString(c.alert) == "<no alert>";
            QCOMPARE(table->setData(path, c.typed), taken);
            QCOMPARE(e.alert_message(e.ewindow()), QString(c.alert));
            if (!taken) e.alerts.Alert_OK_but(e.ewindow());
            QCOMPARE(path.data().toString(), taken ? c.typed : a);
        }
        QCOMPARE(table->index(0, 1).data().toString(), QString("tree"));
    }

    // Tab goes through the controls of each window in reading order and
    // comes back to the first.
    void tab_goes_through_every_window_in_reading_order() {
        Editor e;
        e.save_target(0, {.name = "Docs", .pattern = "abc", .items = {{e.path("tree"), true}}});
        QCOMPARE(e.engine.make_target_current(0), tw::u64{0});
        e.controller->Search_but();
        e.wait_idle();
        e.viewer->show_view();
        tw::ui::PrefrencesController preferences(e.engine, e.alerts);
        preferences.show_window();
        // From each window's first control; disabled controls are passed over.
        const struct { QWidget* first; QStringList chain; } windows[] = {
            {e.ui()->triangle_but_ref,
             {"triangle_but_ref", "target_popup", "search_history_but_ref", "forms_but_ref", "encoding_popup", "string_to_search_ref",
              "use_wildcard_ref", "add_line_no_ref", "case_insensentive_ref", "skip_read_access_error_ref",
              "not_inside_ref", "action_but_ref"}},
            {e.viewer->ui()->found_filter_ref,
             {"found_filter_ref", "found_list_ref", "file_index_tf_ref", "go_file_but_ref", "file_slider_ref",
              "next_occ_but_ref", "occ_index_tf_ref", "go_occ_but_ref", "occ_slider_ref", "show_in_finder_but_ref",
              "info_but_ref", "text_viewer_ref", "launcher_popup", "hexa_or_text_popup"}},
            {e.editor->forms_button(),
             {"forms_but_ref", "encoding_popup", "string_to_search_ref", "target_name_ref", "use_wildcard_ref", "wildcard_symbol_ref",
              "case_insensitive_ref", "add_line_nb_ref", "skip_error_ref", "not_inside_ref", "eol_lf_ref",
              "table_view_ref", "add_but_ref", "remove_but_ref", "info_but_ref", "cancel_but_ref", "ok_but_ref"}},
            {preferences.ui()->str_mem_size_ref,
             {"str_mem_size_ref", "text_mem_size_ref", "occ_mem_size_ref", "search_threads_ref", "excerpt_size_ref",
              "show_info_every_ref", "show_folder_name_ref", "show_file_name_ref", "show_found_file_nb_ref",
              "show_found_occ_nb_ref", "show_total_bytes_ref", "show_access_err_nb_ref", "return_key_is_ref",
              "user_defined_ref", "cancel_but_ref", "ok_but_ref"}},
        };
        for (const auto& w : windows) {
            QCOMPARE(tab_chain(w.first), w.chain);
            w.first->window()->hide();
        }
    }

    // The search window, the viewer and the Special menu wait while the
    // editor is up, whichever way it ends.
    void the_other_windows_hide_while_the_editor_is_up() {
        for (int ending = 0; ending < 3; ++ending) {
            Editor e;
            e.menu.make_special_menu_active(true);
            e.viewer->set_window_visible(true);
            e.editor->show_target_window();
            QVERIFY(!e.window()->isVisible());
            QVERIFY(!e.viewer->window()->isVisible());
            QVERIFY(e.menu.special_menu_is_held());
            if (ending == 0) {
                e.type_text("abc");
                e.add_rows({"tree"});
                e.editor->OK_but();
            } else if (ending == 1) {
                e.editor->Cancel_but();
            } else {
                e.ewindow()->close();
            }
            QVERIFY(!e.ewindow()->isVisible());
            QVERIFY(e.window()->isVisible());
            QVERIFY(e.viewer->window()->isVisible());
            QVERIFY(!e.menu.special_menu_is_held());
        }
    }

    // A target of several forms edited and saved keeps its forms file; the
    // editor's Forms button (French, answered from a timer) sets the forms
    // OK builds for the text then typed.
    void editing_a_target_keeps_its_other_forms() {
        Editor e;
        e.engine.clear_target_buffer(e.engine.tr_temp);
        QCOMPARE(e.engine.load_target_file(0, e.engine.tr_temp), tw::u64{0});
        e.engine.tr_temp.forms = {{false, false, 10, "abc", std::string("a\0b\0c\0", 6), true}};
        QCOMPARE(e.engine.save_target_file(0, e.engine.tr_temp), tw::u64{0});
        const QString forms = QString::fromStdString(e.resource) + "/TW_target/TW_target_form_000";
        const QByteArray before = tw_test::file_bytes(forms);
        QVERIFY(!before.isEmpty() && before != "<missing>");
        e.editor->show_target_window_index_of_target(0);
        e.eui()->target_name_ref->setText("Renamed");
        e.add_rows({"tree"});
        e.editor->OK_but();
        QVERIFY(!e.ewindow()->isVisible());
        QCOMPARE(tw_test::file_bytes(forms), before);

        e.engine.language = 1;
        tw::ui::TargetController french(e.engine, e.alerts);
        QCOMPARE(french.forms_button()->accessibleName(), QString("Formes\u2026"));
        french.show_target_window_index_of_target(0);
        QCOMPARE(french.forms_choice().encodings.size(), std::size_t{1});
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<tw::ui::FormsDialog*>(QApplication::activeModalWidget())) {
                d->ui()->common_forms_but_ref->click();
                d->accept();
            }
        });
        timer.start(20);
        french.forms_button()->click();
        french.ui()->string_to_search_ref->setPlainText("xyz");
        french.OK_but();
        QCOMPARE(e.engine.load_target_file(0, e.engine.tr_temp), tw::u64{0});
        std::vector<std::string> bytes;
        for (const tw::TargetForm& form : e.engine.tr_temp.forms) bytes.push_back(form.bytes);
        QCOMPARE(bytes, (std::vector<std::string>{std::string("x\0y\0z\0", 6), std::string("\0x\0y\0z", 6)}));
    }
};

TW_UI_SUITE(TargetEditorTest)
#include "target_editor_test.moc"
