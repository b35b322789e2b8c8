// The Special menu over a real engine, search window and viewer in a main
// window, and the preferences window: the menu tree in both languages and
// its states, target deletion with renumbering, the launcher lists, the
// report, the preference fields and the file they end in.
#include "tests/ui/search_window_support.h"

#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <fstream>

#include "ui/preferences/PrefrencesController.h"
#include "ui/shell/MainWindow.h"
#include "ui/toolkit/defaults.h"
#include "ui/viewer/ViewerController.h"
#include "ui_PrefrencesController.h"

using namespace sw_test;
using tw::ui::MenuController;
using tw::ui::PrefrencesController;

namespace {

QStringList titles(const QWidget* menu) {
    QStringList out;
    for (const QAction* a : menu->actions()) out << (a->isSeparator() ? "-" : a->text());
    return out;
}

// The menus in a main window over the search window's harness.
struct Menus : Harness {
    explicit Menus(int language = 0, int targets = 3) {
        engine.language = language;
        for (int k = 0; k < targets; ++k)
            save_target(static_cast<tw::u64>(k), {.name = "T" + std::to_string(k), .pattern = "abc",
                                                  .items = {{path("tree"), true}}});
        write_file("tree/a.txt", "abc abc\n");
        open_window(targets > 0 ? 0 : -1);
        menu.awake_from_nib(&main_window);
        viewer = std::make_unique<tw::ui::ViewerController>(engine);
        viewer->set_menu_controller(&menu);
        menu.set_viewer_controller(viewer.get());
        menu.set_search_controller(controller.get());
        menu.set_target_controller(&editor);
        menu.build_special_menu();
    }
    ~Menus() { viewer.reset(); }
    QStringList target_files() const {
        QStringList names;
        for (const auto& e : std::filesystem::directory_iterator(resource + "/TW_target"))
            names << QString::fromStdString(e.path().filename().string());
        names.sort();
        return names;
    }
    // Deletes target `index`, answering the confirmation with `button`
    // (0 the first) and any alert after it with OK; returns the
    // confirmation's title, message, buttons and the last button's role,
    // then the messages of the alerts that followed.
    QStringList delete_target(int index, int button = 0) {
        QStringList seen;
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            if (seen.isEmpty()) {
                seen << box->windowTitle() << box->informativeText();
                for (QAbstractButton* b : box->buttons()) seen << b->text();
                seen << QString::number(box->buttonRole(box->buttons().last()));
                box->buttons().at(button)->click();
            } else {
                seen << box->informativeText();
                box->buttons().first()->click();
            }
        });
        answerer.start(20);
        menu.delete_target_for_menu_item(index);
        return seen;
    }
    tw::ui::MainWindow main_window;
    std::unique_ptr<tw::ui::ViewerController> viewer;
};

}  // namespace

class MenusTest : public QObject {
    Q_OBJECT

private slots:
    void the_window_menu_reopens_the_viewer_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("title");
        QTest::newRow("English") << 0 << QString("Found Viewer");
        QTest::newRow("French") << 1 << QString("Visualiseur des occurrences");
    }
    void the_window_menu_reopens_the_viewer() {
        QFETCH(int, language);
        QFETCH(QString, title);
        Menus m(language);
        QAction* reopen = m.menu.viewer_action();
        QVERIFY(reopen != nullptr);
        QCOMPARE(reopen->text(), title);
        QCOMPARE(reopen->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
        auto* window_menu = m.main_window.findChild<QMenu*>("menu_window");
        QVERIFY(window_menu != nullptr && window_menu->actions().contains(reopen));
        m.viewer->window()->close();
        QVERIFY(!m.viewer->window()->isVisible());
        reopen->trigger();
        QVERIFY(m.viewer->window()->isVisible());
    }

    void initTestCase() { tw::ui::init_resources(); }

    void the_menu_tree_in_both_languages() {
        const QStringList expected[2][4] = {
            {{"Save search result as...", "Target", "Launcher"},
             {"New...", "Load", "Edit", "Delete"},
             {"Add application...", "Remove application"},
             {"Trawlex", "Window", "Special", "Help"}},
            {{"Sauvegarder les occurrences sous...", "Canevas", "Lanceur"},
             {"Nouveau...", "Charger", "Editer", "Supprimer"},
             {"Ajouter une application...", "Supprimer une application"},
             {"Trawlex", "Window", "Spécial", "Help"}},
        };
        for (int language : {0, 1}) {
            Menus m(language);
            QCOMPARE(m.menu.special_menu()->title(), QString(language ? "Spécial" : "Special"));
            QCOMPARE(titles(m.menu.special_menu()), expected[language][0]);
            QCOMPARE(titles(m.menu.target_menu()), expected[language][1]);
            QCOMPARE(titles(m.menu.launcher_menu()), expected[language][2]);
            QCOMPARE(titles(m.main_window.menuBar()).size(), 4);
            QCOMPARE(titles(m.main_window.menuBar()).at(2), expected[language][3].at(2));
            for (QMenu* list : {m.menu.load_menu(), m.menu.edit_menu(), m.menu.delete_menu()})
                QCOMPARE(titles(list), (QStringList{"T0", "T1", "T2"}));
            QCOMPARE(m.menu.special_menu()->actions().at(0)->shortcut(), QKeySequence::Save);
            QCOMPARE(m.menu.target_menu()->actions().at(0)->shortcut(), QKeySequence::New);
        }
    }

    // While a search runs only "Target" and "New..." stay enabled; the
    // editor opened meanwhile holds the menu, and when both have ended the
    // menu is enabled again.
    void the_menu_follows_the_search_and_the_editor() {
        Menus m;
        m.write_sparse_file("tree/big", off_t{8} << 30);
        auto enabled = [&m] {
            return QList<bool>{m.menu.special_menu()->actions().at(0)->isEnabled(),
                               m.menu.special_menu()->actions().at(1)->isEnabled(),
                               m.menu.special_menu()->actions().at(2)->isEnabled(),
                               m.menu.target_menu()->actions().at(0)->isEnabled(),
                               m.menu.target_menu()->actions().at(1)->isEnabled(),
                               m.menu.target_menu()->actions().at(3)->isEnabled()};
        };
        QCOMPARE(enabled(), (QList<bool>{true, true, true, true, true, true}));
        m.controller->Search_but();
        QCOMPARE(enabled(), (QList<bool>{false, true, false, true, false, false}));
        m.menu.hold_special_menu(true);  // the editor opens during the search
        m.controller->Search_but();      // Stop
        QTRY_VERIFY_WITH_TIMEOUT(m.idle(), 10000);
        QCOMPARE(enabled(), (QList<bool>{false, true, false, true, false, false}));
        m.menu.hold_special_menu(false);  // the editor closes
        QCOMPARE(enabled(), (QList<bool>{true, true, true, true, true, true}));
    }

    void load_edit_and_new_reach_their_windows() {
        Menus m;
        m.menu.load_menu()->actions().at(2)->trigger();
        QCOMPARE(m.engine.cur_target_index, tw::i64{2});
        m.menu.edit_menu()->actions().at(1)->trigger();
        m.menu.target_menu()->actions().at(0)->trigger();
        m.menu.edit_current_target();
        QCOMPARE(m.editor.calls, (QStringList{"index 1", "new", "index 2"}));
        // A damaged target cannot be loaded: no target is left current.
        std::ofstream(m.resource + "/TW_target/" + tw::target_file_name(1), std::ios::trunc) << "x";
        ModalAnswerer answerer;
        answerer.arm();
        m.menu.load_target_for_menu_item(1);
        QVERIFY(answerer.seen);
        QCOMPARE(answerer.message, QString("Cannot enable the target"));
        QCOMPARE(m.engine.cur_target_index, tw::i64{-1});
        QVERIFY(!m.ui()->action_but_ref->isEnabled());
    }

    // Deleting asks first, renumbers the files after the deleted one and
    // keeps a target current when one remains.
    void delete_confirms_renumbers_and_keeps_a_current_target() {
        struct Case {
            const char* name;
            int current, deleted, button;
            QStringList files;
            tw::i64 current_after;
            QString shown;  // the current target's name in the window after
            QStringList alerts = {};
        };
        const QStringList all{"TW_target_000", "TW_target_001", "TW_target_002"};
        const Case cases[] = {
            {"refused", 1, 1, 1, all, 1, "T1"},
            {"another target", 2, 1, 0, {"TW_target_000", "TW_target_001"}, 0, "T0"},
            {"the current first", 0, 0, 0, {"TW_target_000", "TW_target_001"}, 0, "T1"},
            {"the current last", 2, 2, 0, {"TW_target_000", "TW_target_001"}, 0, "T0"},
            // A file that cannot be deleted leaves everything as it was.
            {"not deleted", 1, 5, 0, all, 1, "T1", {"Cannot delete this target"}},
        };
        for (const Case& c : cases) {
            Menus m;
            m.menu.load_target_for_menu_item(c.current);
            const QStringList seen = m.delete_target(c.deleted, c.button);
            const bool is_current = c.current == c.deleted;
            QCOMPARE(seen.value(0), QString("DELETE TARGET"));
            QCOMPARE(seen.value(1), is_current
                                        ? QString("Do you realy want to delete the current target ?")
                                        : QString("Do you realy want to delete the target \"%1\" ?")
                                              .arg(c.deleted < 3 ? QString("T%1").arg(c.deleted) : ""));
            // The current target's No is the second button, another's the third.
            QCOMPARE(seen.mid(2, 3), (QStringList{"Yes", "No",
                                                  QString::number(is_current ? QMessageBox::RejectRole
                                                                             : QMessageBox::DestructiveRole)}));
            QCOMPARE(seen.mid(5), c.alerts);
            QCOMPARE(m.target_files(), c.files);
            QCOMPARE(m.engine.cur_target_index, c.current_after);
            QCOMPARE(m.ui()->target_ref->text(), c.shown);
            QCOMPARE(m.menu.delete_menu()->actions().size(), c.files.size());
            QCOMPARE(m.controller->target_popup()->count(), static_cast<int>(c.files.size()) + 1);
        }
        // The only target: none is left, and the window has no target.
        Menus one(0, 1);
        one.delete_target(0);
        QCOMPARE(one.target_files(), QStringList{});
        QCOMPARE(one.engine.cur_target_index, tw::i64{-1});
        QVERIFY(!one.ui()->action_but_ref->isEnabled());
        QVERIFY(one.menu.load_menu()->actions().isEmpty());
    }

    // The submenu, the viewer's pull-down and TW_launcher list the same
    // applications after each change.
    void the_launcher_lists_stay_equal() {
        Menus m;
        m.viewer->set_launcher_popup();
        for (const char* app : {"/usr/bin/one", "/opt/two.desktop", "/usr/bin/three"})
            QCOMPARE(m.engine.append_to_launcher(app), tw::u64{0});
        m.menu.update_launcher_submenu();
        m.viewer->update_launcher_popup();
        m.menu.remove_application_for_menu_item(1);
        QCOMPARE(titles(m.menu.remove_application_menu()), (QStringList{"one", "three"}));
        tw::ui::PullDown* popup = m.viewer->launcher_popup();
        QCOMPARE(popup->item_title(1), QString("one"));
        QCOMPARE(popup->item_title(2), QString("three"));
        QCOMPARE(m.engine.save_launcher_file(), tw::u64{0});
        std::ifstream in(m.resource + "/TW_launcher", std::ios::binary);
        QCOMPARE(std::string(std::istreambuf_iterator<char>(in), {}),
                 std::string("/usr/bin/one\0/usr/bin/three\0", 28));
    }

    // The report: the save panel opens on the desktop folder with the
    // target's name made safe, and the file holds the result.
    void the_report_is_saved_where_the_panel_says() {
        Menus m;
        const QByteArray home = qgetenv("HOME");
        QVERIFY(qputenv("HOME", QByteArray::fromStdString(m.path("home"))));
        std::filesystem::create_directories(m.path("home/Desktop"));
        QCOMPARE(MenuController::report_file_name("a/b\tc"), QString("a_b_c.txt"));
        QCOMPARE(MenuController::report_file_name(""), QString("Trawlex report.txt"));
        m.controller->Search_but();
        QTRY_VERIFY_WITH_TIMEOUT(m.idle(), 10000);
        // Another target made current after the search: the report is the
        // result's, named after the target that wrote it.
        m.menu.load_target_for_menu_item(1);
        QString directory, proposed;
        const QString chosen = QString::fromStdString(m.path("report.txt"));
        QTimer::singleShot(20, [&] {
            auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (panel == nullptr) return;
            directory = panel->directory().absolutePath();
            proposed = QFileInfo(panel->selectedFiles().value(0)).fileName();
            panel->findChild<QLineEdit*>("fileNameEdit")->setText(chosen);
            QMetaObject::invokeMethod(panel, "accept");
        });
        m.menu.save_search_result();
        QCOMPARE(proposed, QString("T0.txt"));
        QCOMPARE(directory, QString::fromStdString(m.path("home/Desktop")));
        std::ifstream in(m.path("report.txt"));
        const std::string report(std::istreambuf_iterator<char>(in), {});
        QVERIFY2(report.find("**** Search result for target 'T0' *****") == 0, (report + "|" + m.path("report.txt")).c_str());
        QVERIFY(report.find(m.path("tree/a.txt")) != std::string::npos);
        qputenv("HOME", home);
    }

    // The fields read as a user's numbers, within the engine's limits; OK
    // stores every value at once, or none and says why.
    void preferences_read_check_and_store() {
        struct Case {
            const char* str, *text, *occ, *period, *encoding;
            const char* refused;  // the start of the message, or "" when stored
        };
        const Case cases[] = {
            {"1", "1250", "15", "0.5", "0x0600", ""},
            {" +2k", "64", "1", "3600", "1536", ""},
            {"1", "1250", "15", "0.015", "x600", ""},
            {"1", "1250", "15", "0.5", "0X600", ""},
            {"0", "1250", "15", "0.5", "0", "Search string buffer: enter a size from 1 to 65536 KiB."},
            {"1", "63", "15", "0.5", "0", "Text buffer: enter a size from 64 to 1048576 KiB."},
            {"1", "4294967295", "15", "0.5", "0", "Text buffer: "},
            {"1", "1250", "-3", "0.5", "0", "Occurrence buffer: "},
            {"1", "1250", "15", "0", "0", "Refresh every: enter from 0.015 to 3600 seconds."},
            {"1", "1250", "15", "-3", "0", "Refresh every: "},
            {"1", "1250", "15", "abc", "0", "Refresh every: "},
            {"1", "1250", "15", "0.5", "0x7777", "User defined encoding: 0x7777 is not"},
        };
        for (const Case& c : cases) {
            Harness h;
            h.open_window(-1);
            PrefrencesController p(h.engine, h.alerts);
            p.set_search_controller(h.controller.get());
            const tw::PreferenceRecord before = h.engine.pr;
            p.ui()->str_mem_size_ref->setText(c.str);
            p.ui()->text_mem_size_ref->setText(c.text);
            p.ui()->occ_mem_size_ref->setText(c.occ);
            p.ui()->show_info_every_ref->setText(c.period);
            p.ui()->user_defined_ref->setText(c.encoding);
            p.ui()->show_total_bytes_ref->setChecked(false);
            p.show_window();
            p.OK_but();
            const QDialog* panel = h.alerts.panel(p.window());
            const QString message =
                panel != nullptr ? panel->findChild<QLabel*>("alert_mess_ref")->text() : QString();
            QVERIFY2(*c.refused == 0 ? message.isEmpty() : message.startsWith(c.refused),
                     qPrintable(message + "|" + c.refused));
            QCOMPARE(p.window()->isVisible(), *c.refused != 0);
            if (*c.refused != 0) {
                QCOMPARE(std::memcmp(&before, &h.engine.pr, sizeof before), 0);
                continue;
            }
            QCOMPARE(h.engine.pr.str_mem_size, tw::u64(PrefrencesController::int_value(c.str)) * 1024);
            QCOMPARE(h.engine.sir.show_total_bytes, std::uint8_t{0});
        }
        QCOMPARE(PrefrencesController::encoding_value("0x0600"), 1536u);
        QCOMPARE(PrefrencesController::encoding_value("x600"), 0u);
        QCOMPARE(PrefrencesController::encoding_value("0X1F"), 31u);
        QCOMPARE(PrefrencesController::encoding_value("-1"), 0xFFFFFFFFu);
        QCOMPARE(PrefrencesController::seconds_text(500000), QString("0.50"));
    }

    // 1600 bytes show as 1 KiB; OK stores 1024; the file holds the 56-byte
    // record and the six show options; Cancel keeps what was typed.
    void preferences_end_in_the_62_byte_file() {
        Harness h;
        h.open_window(-1);
        h.engine.pr.user_defined_encoding = 0x0600;
        PrefrencesController p(h.engine, h.alerts);
        QCOMPARE(p.ui()->str_mem_size_ref->text(), QString("1"));
        QCOMPARE(p.ui()->show_info_every_ref->text(), QString("0.02"));
        QCOMPARE(p.ui()->user_defined_ref->text(), QString("1536"));
        p.ui()->show_info_every_ref->setText("0.5");
        p.ui()->return_key_is_ref->setChecked(true);
        p.ui()->show_folder_name_ref->setChecked(true);
        p.OK_but();
        QCOMPARE(h.engine.save_pref_file(), tw::u64{0});
        std::ifstream in(h.resource + "/TW_preference", std::ios::binary);
        const std::string file(std::istreambuf_iterator<char>(in), {});
        QCOMPARE(file.size(), std::size_t{62});
        auto word = [&file](int i) {
            tw::u64 v = 0;
            for (int b = 7; b >= 0; --b) v = v << 8 | static_cast<unsigned char>(file[i * 8 + b]);
            return v;
        };
        QCOMPARE(word(0), tw::u64{1024});
        QCOMPARE(word(1), tw::u64{1250 * 1024});
        QCOMPARE(word(3), tw::u64{500000});
        QCOMPARE(word(4), tw::u64{0x0600});
        QCOMPARE(file[48], '\1');  // Return starts the search
        QCOMPARE(file[57], '\1');  // the folder's progress text
        p.ui()->text_mem_size_ref->setText("999");
        p.Cancel_but();
        QCOMPARE(h.engine.pr.text_mem_size, tw::u64{1250 * 1024});
        p.show_window();
        QCOMPARE(p.ui()->text_mem_size_ref->text(), QString("999"));
    }

    // The number of scanning threads is a user default (0: one per core),
    // labelled for assistive tools, stored by OK only, and given to the
    // engine when a search starts; TW_preference keeps its 62 bytes.
    void preferences_thread_count_is_applied_to_each_search() {
        const QVariant saved = tw::ui::user_defaults().value(tw::ui::kSearchThreadsKey);
        Menus m;
        PrefrencesController p(m.engine, m.alerts);
        QSpinBox* threads = p.ui()->search_threads_ref;
        QCOMPARE(p.ui()->search_threads_label_ref->buddy(), threads);
        QCOMPARE(threads->minimum(), 0);
        QCOMPARE(threads->maximum(), tw::ui::kMaxSearchThreads);
        const struct {
            int typed;
            bool ok;
            unsigned stored;
        } cases[] = {{3, true, 3}, {7, false, 3}, {0, true, 0}, {1, true, 1}};
        for (const auto& c : cases) {
            threads->setValue(c.typed);
            c.ok ? p.OK_but() : p.Cancel_but();
            QCOMPARE(tw::ui::search_threads_default(), c.stored);
            m.engine.thread_count = 99;
            m.controller->Search_but();
            QTRY_VERIFY_WITH_TIMEOUT(m.idle(), 10000);
            QCOMPARE(m.engine.thread_count, c.stored);
            QCOMPARE(m.engine.ir.found_nb.load(), tw::u64{2});
        }
        // A value out of range in the user defaults reads as one per core.
        tw::ui::user_defaults().setValue(tw::ui::kSearchThreadsKey, 100000);
        QCOMPARE(tw::ui::search_threads_default(), 0u);
        QCOMPARE(m.engine.save_pref_file(), tw::u64{0});
        QCOMPARE(std::filesystem::file_size(m.resource + "/TW_preference"), std::uintmax_t{62});
        if (saved.isValid()) tw::ui::user_defaults().setValue(tw::ui::kSearchThreadsKey, saved);
        else tw::ui::user_defaults().remove(tw::ui::kSearchThreadsKey);
    }

    // OK refreshes the search window without losing what was typed there.
    void preferences_keep_the_typed_search_string() {
        Harness h;
        h.save_target(0, {.name = "T", .pattern = "abc", .items = {}});
        h.open_window(0);
        h.controller->set_search_view_text("typed, not searched");
        PrefrencesController p(h.engine, h.alerts);
        p.set_search_controller(h.controller.get());
        p.ui()->return_key_is_ref->setChecked(true);
        p.OK_but();
        QCOMPARE(h.view_text(), QString("typed, not searched"));
        QCOMPARE(h.engine.pr.return_key_is_search, std::uint8_t{1});
    }
};

QTEST_MAIN(MenusTest)
#include "menus_test.moc"
