// The target editor over a real engine, search window and viewer on a
// temporary resource folder: OK and its alerts, the target file it writes,
// the entry points, drops, the item table and the other windows.
#include "tests/ui/search_window_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRadioButton>
#include <QTableView>
#include <fstream>

#include "ui/shell/MenuController.h"
#include "ui/target_editor/TargetController.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/search_string_field.h"
#include "ui/viewer/ViewerController.h"
#include "ui_TargetController.h"

using namespace sw_test;
using tw::ui::TargetController;

namespace {

// The search window, the viewer and the menus around one editor.
struct Editor : Harness {
    Editor() {
        save_target(0, {.name = "Docs", .pattern = "abc", .items = {}});
        open_window(0);
        viewer = std::make_unique<tw::ui::ViewerController>(engine);
        editor = std::make_unique<TargetController>(engine, alerts);
        editor->set_search_controller(controller.get());
        editor->set_viewer_controller(viewer.get());
        editor->set_menu_controller(&menu);
        controller->set_target_editor(editor.get());
        write_file("tree/a.txt", "xx abc yy\nabc\n");
        write_file("tree/sub/b.txt", "ABC");
    }
    ~Editor() {
        editor.reset();
        viewer.reset();
    }
    Ui::TargetWindow* eui() const { return editor->ui(); }
    QWidget* ewindow() const { return editor->window(); }
    void type_text(const QString& t) const {
        eui()->string_to_search_ref->setPlainText(t);
        eui()->string_to_search_ref->moveCursor(QTextCursor::End);
    }
    void add_rows(const QStringList& subs) const {
        QStringList paths;
        for (const QString& s : subs) paths << QString::fromStdString(path(s.toStdString()));
        editor->target_selection_panel_did_end(paths);
    }
    QString editor_alert() const {
        QDialog* panel = alerts.panel(ewindow());
        if (panel == nullptr) return {};
        auto* label = panel->findChild<QLabel*>("alert_mess_ref");
        return label != nullptr ? label->text() : QString();
    }
    void dismiss_editor_alerts() {
        while (alerts.is_shown(ewindow())) alerts.Alert_OK_but(ewindow());
    }
    std::string target_bytes(tw::u64 n) const {
        std::ifstream in(resource + "/TW_target/" + tw::target_file_name(n), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::unique_ptr<tw::ui::ViewerController> viewer;
    std::unique_ptr<TargetController> editor;
};

std::string le64(std::uint64_t v) {
    std::string out(8, '\0');
    for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    return out;
}

// Every item of tr_temp lies inside its pool, and there are item_nb of them.
void verify_items_consistent(const tw::TargetRecord& t) {
    tw::u64 pool = 0;
    for (tw::u64 i = 0; i < t.item_nb; ++i) {
        QCOMPARE(t.items[i].path_offset, pool);
        QCOMPARE(t.path_pool[pool + t.items[i].path_size - 1], '\0');
        pool += t.items[i].path_size;
    }
}

}  // namespace

class TargetEditorTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tw::ui::init_resources(); }

    // The checks of OK in their order: the first that fails gives the alert,
    // the window stays open and nothing is saved.
    void ok_refuses_what_is_missing_or_wrong_in_order() {
        struct Case {
            const char* name;
            std::function<void(Editor&)> setup;
            const char* alert;
        };
        const Case cases[] = {
            {"no text", [](Editor&) {}, "One or more field are left blank"},
            {"text not in ASCII", [](Editor& e) { e.type_text("caf\u00e9"); },
             "One or more field are left blank"},
            {"no name",
             [](Editor& e) {
                 e.type_text("abc");
                 e.eui()->target_name_ref->clear();
             },
             "One or more field are left blank"},
            {"empty wildcard",
             [](Editor& e) {
                 e.type_text("abc");
                 e.eui()->wildcard_symbol_ref->clear();
             },
             "One or more field are left blank"},
            {"no row", [](Editor& e) { e.type_text("abc"); }, "One or more field are left blank"},
            {"name taken, other case",
             [](Editor& e) {
                 e.type_text("abc");
                 e.eui()->target_name_ref->setText("dOCS");
                 e.add_rows({"tree"});
             },
             "The target name is already taken"},
            {"wildcard first",
             [](Editor& e) {
                 e.type_text("?abc");
                 e.add_rows({"tree"});
             },
             "The search string must not begin/end by the wildcard char."},
            {"bad hexadecimal",
             [](Editor& e) {
                 e.engine.tr_temp.is_hexa = 1;
                 e.type_text("4G");
                 e.add_rows({"tree"});
             },
             "Cannot build this target"},
        };
        for (const Case& c : cases) {
            Editor e;
            e.editor->show_target_window();
            c.setup(e);
            e.editor->OK_but();
            QVERIFY2(e.alerts.is_shown(e.ewindow()), c.name);
            QCOMPARE(e.editor_alert(), QString(c.alert));
            QVERIFY(e.ewindow()->isVisible());
            QVERIFY2(!QFileInfo::exists(QString::fromStdString(e.resource) + "/TW_target/TW_target_001"),
                     c.name);
        }
    }

    // OK writes the target file field by field, makes it current and closes.
    void ok_saves_the_target_byte_for_byte_and_makes_it_current() {
        Editor e;
        e.editor->show_target_window();
        e.type_text("a?c");
        e.eui()->target_name_ref->setText("Notes");
        e.eui()->case_insensitive_ref->setChecked(false);
        e.eui()->eol_cr_ref->setChecked(true);
        e.add_rows({"tree", "tree/a.txt", "missing"});
        QCOMPARE(e.editor->nodes()->rowCount(), 2);  // the chooser skips what is not there
        e.editor->OK_but();
        QVERIFY(!e.alerts.is_shown(e.ewindow()));
        QVERIFY(!e.ewindow()->isVisible());

        const std::string folder = e.path("tree"), file = e.path("tree/a.txt");
        std::string expected;
        for (std::uint64_t v : {13, 63, 1, 1, 0, 1, 1, 0, 1, 2, 6, 3}) expected += le64(v);
        expected += le64(~0ull) + le64(folder.size() + 1) + le64(0);
        expected += le64(0) + le64(file.size() + 1) + le64(folder.size() + 1);
        expected += std::string("Notes", 6) + "a?c" + folder + '\0' + file + '\0';
        QCOMPARE(e.target_bytes(1), expected);
        QCOMPARE(e.engine.cur_target_index, tw::i64{1});
        QCOMPARE(e.ui()->target_ref->text(), QString("Notes"));
        QCOMPARE(e.controller->target_popup()->count(), 3);

        // The saved target runs from the command line as typed there.
        const QString cli = TRAWLEX_CLI;
        QProcess by_name, typed;
        by_name.start(cli, {"--resource-dir", QString::fromStdString(e.resource), "-c", "--target",
                            "Notes"});
        typed.start(cli, {"-c", "-w", "?", "--eol", "cr", "-n", "a?c",
                          QString::fromStdString(folder), QString::fromStdString(file)});
        QVERIFY(by_name.waitForFinished(20000) && typed.waitForFinished(20000));
        const QByteArray out = by_name.readAllStandardOutput();
        QVERIFY2(out.contains("a.txt\t2"), out.constData());
        QCOMPARE(out, typed.readAllStandardOutput());
    }

    // A new target takes one past the highest number present, so a damaged
    // file between good ones is never replaced; a failed OK keeps tr_temp
    // whole, so a later drop adds to consistent items.
    void a_new_target_never_replaces_a_stored_file() {
        Editor e;
        e.save_target(1, {.name = "One", .pattern = "x", .items = {}});
        e.save_target(2, {.name = "Two", .pattern = "y", .items = {}});
        std::ofstream(e.resource + "/TW_target/" + tw::target_file_name(1), std::ios::trunc)
            << "damaged";
        const std::string two = e.target_bytes(2);
        e.editor->show_target_window();
        e.type_text("abc?");
        e.add_rows({"tree"});
        e.editor->OK_but();
        QCOMPARE(e.editor_alert(),
                 QString("The search string must not begin/end by the wildcard char."));
        e.dismiss_editor_alerts();
        e.editor->update_target_window_drop_items({QString::fromStdString(e.path("tree/a.txt"))});
        QCOMPARE(e.editor->nodes()->rowCount(), 2);
        verify_items_consistent(e.engine.tr_temp);

        e.type_text("abc");
        e.editor->OK_but();
        QVERIFY(!e.alerts.is_shown(e.ewindow()));
        QCOMPARE(e.target_bytes(2), two);
        QCOMPARE(e.editor->use_this_target_index(), tw::i64{3});
        QCOMPARE(e.engine.tr_temp.item_nb, tw::u64{2});
        verify_items_consistent(e.engine.tr_temp);
        QCOMPARE(e.engine.cur_target_index, tw::i64{3});
    }

    // What each entry point keeps, replaces and appends; failures alert and
    // open nothing.
    void entry_points_fill_the_working_record() {
        Editor e;
        const QString a = QString::fromStdString(e.path("tree/a.txt"));
        const QString sub = QString::fromStdString(e.path("tree/sub"));
        e.editor->show_target_window_index_of_target(0);
        QCOMPARE(e.eui()->target_name_ref->text(), QString("Docs"));
        QCOMPARE(e.editor->search_string_field()->view_text(), QString("abc"));
        e.editor->Cancel_but();

        // Files: a new target named after the first, keeping the string.
        const QString report = QString::fromStdString(e.path("report.final.txt"));
        e.editor->show_target_window_drop_items({report, sub});
        QCOMPARE(e.editor->use_this_target_index(), tw::i64{-1});
        QCOMPARE(e.eui()->target_name_ref->text(), QString("report.final"));
        QCOMPARE(e.editor->search_string_field()->view_text(), QString("abc"));
        QCOMPARE(e.editor->nodes()->nodes().at(0).type, QString("???"));
        QCOMPARE(e.editor->nodes()->nodes().at(1).type, QString("Folder"));
        e.editor->Cancel_but();

        // Names cut on a character boundary, line breaks as spaces.
        const QString long_name = QString("\u00e9").repeated(20) + ".txt";  // 40 bytes
        e.editor->show_target_window_drop_items({"/x/" + long_name});
        QCOMPARE(e.eui()->target_name_ref->text(), QString("\u00e9").repeated(15));
        const QString text = "line\none\t" + QString("\u20ac").repeated(30);  // 9 + 90 bytes
        e.editor->show_target_window_drop_string(text);
        QCOMPARE(e.eui()->target_name_ref->text(), "line one " + QString("\u20ac").repeated(21));
        QCOMPARE(e.engine.tr_temp.search_str_len, tw::u64(text.toUtf8().size()));
        e.editor->Cancel_but();

        // A stored target with dropped items added, or its string replaced.
        e.editor->show_target_window_index_of_target_drop_items(0, {a});
        QCOMPARE(e.editor->use_this_target_index(), tw::i64{0});
        QCOMPARE(e.editor->nodes()->rowCount(), 1);
        e.editor->show_target_window_index_of_target_drop_string(0, "xyz");
        QCOMPARE(e.eui()->target_name_ref->text(), QString("Docs"));
        QCOMPARE(e.editor->search_string_field()->view_text(), QString("xyz"));
        e.editor->Cancel_but();

        for (auto fail : {std::function<void()>([&] { e.editor->show_target_window_index_of_target(7); }),
                          std::function<void()>([&] {
                              e.editor->show_target_window_index_of_target_drop_items(-1, {a});
                          })}) {
            ModalAnswerer answerer;
            answerer.arm();
            const auto beeps = tw::ui::beep_count();
            fail();
            QVERIFY(answerer.seen);
            QCOMPARE(answerer.message, QString("Cannot edit/set this target"));
            QCOMPARE(tw::ui::beep_count(), beeps + 1);
            QVERIFY(!e.ewindow()->isVisible());
        }
    }

    // Files handed over while the editor shows a new target (a first start
    // with files on the command line) become its items.
    void files_handed_over_become_the_items() {
        Editor e;
        e.menu.set_drop_items_receiver(e.editor.get());
        e.editor->show_target_window();
        e.type_text("hello");
        e.menu.application_open_file(QString::fromStdString(e.path("tree/a.txt")));
        e.menu.application_open_file(QString::fromStdString(e.path("tree/sub")));
        QTRY_COMPARE(e.editor->nodes()->rowCount(), 2);
        QCOMPARE(e.eui()->target_name_ref->text(), QString("a"));
        QCOMPARE(e.editor->search_string_field()->view_text(), QString("hello"));
        QVERIFY(e.ewindow()->isVisible());
    }

    // Drops on the open editor add to what it shows; nothing typed is lost.
    void drops_on_the_open_editor_add_to_the_screen() {
        Editor e;
        e.editor->show_target_window();
        e.type_text("typed");
        e.eui()->target_name_ref->setText("Mine");
        e.eui()->not_inside_ref->setChecked(false);
        e.add_rows({"tree/a.txt"});
        e.editor->update_target_window_drop_items({QString::fromStdString(e.path("tree/sub"))});
        QCOMPARE(e.editor->nodes()->rowCount(), 2);
        QCOMPARE(e.eui()->target_name_ref->text(), QString("Mine"));
        QCOMPARE(e.editor->search_string_field()->view_text(), QString("typed"));
        QVERIFY(!e.eui()->not_inside_ref->isChecked());
        e.editor->update_target_window_drop_string("dropped");
        QCOMPARE(e.editor->search_string_field()->view_text(), QString("dropped"));
        QCOMPARE(e.editor->nodes()->rowCount(), 2);
        QCOMPARE(e.eui()->target_name_ref->text(), QString("Mine"));
        // Drops on the search window: on the triangle a new target, elsewhere
        // the current one.
        e.editor->Cancel_but();
        e.controller->conclude_drop_string("ab", e.ui()->triangle_but_ref->geometry().center());
        QCOMPARE(e.editor->use_this_target_index(), tw::i64{-1});
        e.editor->Cancel_but();
        e.controller->conclude_drop_string("ab", QPoint(5, e.window()->height() - 5));
        QCOMPARE(e.editor->use_this_target_index(), tw::i64{0});
    }

    // The other windows and the Special menu while the editor is up.
    void the_other_windows_hide_while_the_editor_is_up() {
        for (int ending = 0; ending < 3; ++ending) {
            Editor e;
            e.menu.make_special_menu_active(true);
            e.viewer->set_window_visible(true);
            e.editor->show_target_window();
            QVERIFY(!e.window()->isVisible());
            QVERIFY(!e.viewer->window()->isVisible());
            QVERIFY(e.menu.special_menu_is_held());
            QVERIFY(!e.ewindow()->testAttribute(Qt::WA_QuitOnClose));
            e.editor->show_target_window_drop_string("again");  // hides nothing twice
            // A search ending meanwhile asks for the menu; the hold keeps it.
            e.menu.make_special_menu_active(false);
            e.menu.make_special_menu_active(true);
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
            QVERIFY(e.menu.special_menu_is_active());
        }
    }

    // The item table, the key filter and the encoding pull-down.
    void rows_keys_and_encodings() {
        Editor e;
        e.editor->show_target_window();
        const auto beeps = tw::ui::beep_count();
        e.editor->Remove_but();
        e.editor->Info_but();
        QCOMPARE(tw::ui::beep_count(), beeps + 2);
        e.add_rows({"tree", "tree"});  // the same folder twice: two rows
        QCOMPARE(e.editor->nodes()->rowCount(), 2);

        // An edited path must be absolute and exist; the row keeps its path.
        tw::ui::NodesModel* m = e.editor->nodes();
        QVERIFY(!m->setData(m->index(0, 2), "tree/a.txt", Qt::EditRole));
        QCOMPARE(e.editor_alert(), QString("The path must be absolute (begin with /)"));
        e.dismiss_editor_alerts();
        QVERIFY(!m->setData(m->index(0, 2), "/no/such/path", Qt::EditRole));
        e.dismiss_editor_alerts();
        QVERIFY(m->setData(m->index(0, 2), QString::fromStdString(e.path("tree/a.txt")), Qt::EditRole));
        QCOMPARE(m->nodes().at(0).type, QString("File"));
        QCOMPARE(m->nodes().at(0).name, QString("a.txt"));
        e.eui()->table_view_ref->selectRow(1);
        e.editor->Remove_but();
        QCOMPARE(m->rowCount(), 1);

        // In hexadecimal, the wildcard the window shows is the one typed.
        e.type_text("61");
        tw::ui::PullDown* popup = e.editor->encoding_popup();
        popup->choose_item(18);
        QCOMPARE(e.editor->search_string_field()->view_text(), QString("36 31 "));
        e.eui()->wildcard_symbol_ref->setText("*");
        e.type_text("41 * ");
        QTest::keyClicks(e.eui()->string_to_search_ref, "4");
        QCOMPARE(e.editor->search_string_field()->view_text(), QString("41 * 4"));
        const auto before = tw::ui::beep_count();
        QTest::keyClicks(e.eui()->string_to_search_ref, "?");  // "?" is no digit
        QCOMPARE(tw::ui::beep_count(), before + 1);
        QCOMPARE(e.editor->search_string_field()->view_text(), QString("41 * 4"));
        QVERIFY(e.editor->search_string_field()->message().contains("Hexadecimal"));
        QTest::keyClicks(e.eui()->string_to_search_ref, "1");
        QCOMPARE(e.editor->search_string_field()->view_text(), QString("41 * 41"));
        e.type_text("61 62 ");
        popup->choose_item(18);
        QCOMPARE(e.editor->search_string_field()->view_text(), QString("ab"));
        QCOMPARE(e.engine.tr_temp.is_hexa, tw::u64{0});
    }

    // The editor keeps a wildcard that hexadecimal digits would hide out of a
    // hexadecimal string, as the search window does, and says why.
    void the_editor_refuses_a_wildcard_hidden_by_hexadecimal() {
        Editor e;
        e.editor->show_target_window();
        tw::ui::SearchStringField* field = e.editor->search_string_field();
        e.type_text("ab");
        e.eui()->wildcard_symbol_ref->setText("b");
        if (!e.eui()->use_wildcard_ref->isChecked())
            QTest::mouseClick(e.eui()->use_wildcard_ref, Qt::LeftButton);
        QVERIFY(e.eui()->use_wildcard_ref->isChecked());
        e.editor->encoding_popup()->choose_item(18);
        QCOMPARE(e.engine.tr_temp.is_hexa, tw::u64{0});
        QCOMPARE(field->view_text(), QString("ab"));
        QVERIFY(field->message().startsWith("A hexadecimal digit or a blank cannot be the wildcard"));
        e.eui()->wildcard_symbol_ref->setText("*");
        e.editor->encoding_popup()->choose_item(18);
        QCOMPARE(field->view_text(), QString("61 62 "));
        QCOMPARE(field->message(), QString());
        QLineEdit* wildcard = e.eui()->wildcard_symbol_ref;
        wildcard->selectAll();
        QTest::keyClick(wildcard, Qt::Key_Backspace);
        QTest::keyClicks(wildcard, " ");
        QCOMPARE(wildcard->text(), QString());
        QVERIFY(!field->message().isEmpty());
        // The message line sits under the text and has a name.
        QVERIFY(field->message_label()->isVisible());
        QCOMPARE(field->message_label()->accessibleName(), field->message());
    }

    // Until the user types a name, a new target is named after its text,
    // never after a stored name.
    void a_new_target_is_named_after_its_text() {
        Editor e;
        e.editor->show_target_window();
        e.type_text("docs");
        QCOMPARE(e.eui()->target_name_ref->text(), QString("docs 2"));
        e.type_text("two\nlines");
        QCOMPARE(e.eui()->target_name_ref->text(), QString("two lines"));
        QTest::keyClicks(e.eui()->target_name_ref, "!");
        e.type_text("other");
        QCOMPARE(e.eui()->target_name_ref->text(), QString("two lines!"));
        e.eui()->target_name_ref->clear();
        e.type_text("again");
        QCOMPARE(e.eui()->target_name_ref->text(), QString("again"));
        // A stored target keeps its own name.
        e.editor->show_target_window_index_of_target(0);
        e.type_text("zzz");
        QCOMPARE(e.eui()->target_name_ref->text(), QString("Docs"));
    }

    // The chooser: files and folders together, its two boxes live.
    void the_chooser_adds_files_and_folders() {
        Editor e;
        e.editor->show_target_window();
        e.editor->Add_but();
        tw::ui::OpenPanel* panel = e.editor->target_selection_panel();
        QVERIFY(panel != nullptr);
        QCOMPARE(e.editor->acc_view()->window(), static_cast<QWidget*>(panel));
        QVERIFY(!panel->shows_hidden_files());
        e.editor->show_hidden_check_box()->setChecked(true);
        QVERIFY(panel->shows_hidden_files());
        const std::string link = e.path("link");
        QCOMPARE(::symlink(e.path("tree/sub").c_str(), link.c_str()), 0);
        e.editor->show_package_check_box()->setChecked(true);
        panel->reject();
        QCOMPARE(e.editor->nodes()->rowCount(), 0);
        QCOMPARE(e.editor->acc_view()->window(), e.ewindow());
        e.editor->target_selection_panel_did_end({QString::fromStdString(link)});
        QCOMPARE(e.editor->nodes()->nodes().at(0).path, QString::fromStdString(e.path("tree/sub")));
    }
};

QTEST_MAIN(TargetEditorTest)
#include "target_editor_test.moc"
