// Pull-down buttons, the Special menu over a real engine, search window and
// viewer in a main window, and the preferences window: items, states and
// chosen indexes of a pull-down, the menu tree in both languages and its
// states, target deletion with renumbering, the preference fields and where
// they end.
#include "tests/ui/search_window_support.h"

#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QSpinBox>

#include "ui/preferences/PrefrencesController.h"
#include "ui/shell/MainWindow.h"
#include "ui/target_editor/TargetController.h"
#include "ui/toolkit/defaults.h"
#include "ui/viewer/ViewerController.h"
#include "ui_PrefrencesController.h"
#include "ui_ViewerController.h"
#include "ui_TargetController.h"

using namespace sw_test;
using tw::ui::ItemState;
using tw::ui::PrefrencesController;
using tw::ui::PullDown;

namespace {

QStringList titles(const QWidget* menu) {
    QStringList out;
    for (const QAction* a : menu->actions()) out << (a->isSeparator() ? "-" : a->text());
    return out;
}

// The menus in a main window over the search window's harness, with three
// targets T0, T1, T2 on one file.
struct Menus : Harness {
    explicit Menus(int language = 0, int targets = 3) {
        engine.language = language;
        for (int k = 0; k < targets; ++k)
            save_target(tw::u64(k), {.name = "T" + std::to_string(k), .pattern = "abc",
                                     .items = {{path("tree"), true}}});
        write_file("tree/a.txt", "abc abc\n");
        open_window(targets > 0 ? 0 : -1);
        menu.awake_from_nib(&main_window);
        viewer = std::make_unique<tw::ui::ViewerController>(engine);
        tw::ui::connect_menu_and_viewer(menu, *viewer);
        tw::ui::connect_to_target_editor(menu, editor, controller.get());
        menu.build_special_menu();
    }
    QStringList target_files() const {
        return QDir(QString::fromStdString(resource + "/TW_target")).entryList(QDir::Files, QDir::Name);
    }
    // Deletes target `index`, answering the confirmation with `button` and
    // any alert after it with OK; returns the confirmation's title, message,
    // buttons and last button's role, then the messages of the alerts.
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
    // ---- Pull-down buttons -------------------------------------------------------

    // The first item is the title; the menu holds the others, and choosing
    // one reports its index, also after removals and insertions.
    void a_pull_down_reports_the_chosen_index_and_keeps_item_states() {
        QWidget window;
        PullDown pd(&window);
        pd.add_items({"Launcher", "gedit", "vim", "--------------"});
        pd.add_item("Add application...");
        QCOMPARE(titles(pd.menu()), (QStringList{"gedit", "vim", "-", "Add application..."}));
        QVERIFY(pd.is_separator(3));
        QList<int> chosen;
        pd.set_action([&](int i) { chosen.append(i); });
        pd.menu()->actions()[3]->trigger();
        pd.menu()->actions()[0]->trigger();
        pd.item_action(3)->trigger();  // a separator cannot be chosen
        QCOMPARE(chosen, (QList<int>{4, 1}));
        QCOMPARE(pd.index_of_selected_item(), 1);
        pd.remove_item(1);
        pd.insert_item(2, "emacs");
        QCOMPARE(titles(pd.menu()), (QStringList{"vim", "emacs", "-", "Add application..."}));
        pd.item_action(2)->trigger();
        QCOMPARE(chosen.last(), 2);
        pd.remove_all_items();
        QCOMPARE(pd.count(), 1);
        // Each item keeps its state through removals before it.
        pd.add_items({"UTF8", "Latin1", "Hexadecimal"});
        pd.set_state(1, ItemState::On);
        pd.set_state(3, ItemState::Mixed);
        pd.remove_item(2);
        QCOMPARE(pd.state(1), ItemState::On);
        QCOMPARE(pd.state(2), ItemState::Mixed);
        pd.set_state(1, ItemState::Off);
        QVERIFY(pd.item_action(1)->icon().isNull());
        // Mixed is drawn as its own mark, not as on.
        QVERIFY(pd.item_action(2)->icon().pixmap(16).toImage() !=
                PullDown::state_icon(ItemState::On).pixmap(16).toImage());
    }

    // ---- The Special menu ----------------------------------------------------------

    void the_menu_tree_in_both_languages() {
        const QStringList expected[2][3] = {
            {{"Save search result as...", "Target", "Launcher"},
             {"New...", "Load", "Edit", "Delete"},
             {"Special", "Found Viewer"}},
            {{"Sauvegarder les occurrences sous...", "Canevas", "Lanceur"},
             {"Nouveau...", "Charger", "Editer", "Supprimer"},
             {"Spécial", "Visualiseur des occurrences"}},
        };
        for (int language : {0, 1}) {
            Menus m(language);
            QCOMPARE(titles(m.menu.special_menu()), expected[language][0]);
            QCOMPARE(titles(m.menu.target_menu()), expected[language][1]);
            QCOMPARE(titles(m.main_window.menuBar()).at(2), expected[language][2].at(0));
            for (QMenu* list : {m.menu.load_menu(), m.menu.edit_menu(), m.menu.delete_menu()})
                QCOMPARE(titles(list), (QStringList{"T0", "T1", "T2"}));
            // The Window menu reopens the viewer.
            QAction* reopen = m.menu.viewer_action();
            QCOMPARE(reopen->text(), expected[language][2].at(1));
            QVERIFY(m.main_window.findChild<QMenu*>("menu_window")->actions().contains(reopen));
            m.viewer->window()->close();
            reopen->trigger();
            QVERIFY(m.viewer->window()->isVisible());
        }
    }

    // While a search runs only "Target" and "New..." stay enabled; the
    // editor opened meanwhile holds the menu until it closes.
    void the_menu_follows_the_search_and_the_editor() {
        Menus m;
        m.write_sparse_file("tree/big", off_t{8} << 30);
        auto enabled = [&m] {
            QList<bool> out;
            for (QAction* a : m.menu.special_menu()->actions()) out << a->isEnabled();
            for (QAction* a : m.menu.target_menu()->actions()) out << a->isEnabled();
            return out;
        };
        const QList<bool> all(7, true);
        const QList<bool> running{false, true, false, true, false, false, false};
        QCOMPARE(enabled(), all);
        m.controller->Search_but();
        QCOMPARE(enabled(), running);
        m.menu.hold_special_menu(true);  // the editor opens during the search
        m.controller->Search_but();      // Stop
        m.wait_idle();
        QCOMPARE(enabled(), running);
        m.menu.hold_special_menu(false);
        QCOMPARE(enabled(), all);
    }

    // Deleting asks first, renumbers the files after the deleted one, keeps
    // a target current when one remains, and every list shows the result.
    void delete_confirms_renumbers_and_keeps_a_current_target() {
        struct Case {
            int current, deleted, button, files_after;
            tw::i64 current_after;
            QString shown;  // the current target's name in the window after
            QStringList alerts = {};
        };
        const Case cases[] = {
            {1, 1, 1, 3, 1, "T1"},  // refused
            {2, 1, 0, 2, 0, "T0"},
            {0, 0, 0, 2, 0, "T1"},
            {2, 2, 0, 2, 0, "T0"},
            // A file that cannot be deleted leaves everything as it was.
            {1, 5, 0, 3, 1, "T1", {"Cannot delete this target"}},
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
            QStringList files{"TW_target_000", "TW_target_001", "TW_target_002"};
            QCOMPARE(m.target_files(), files.mid(0, c.files_after));
            QCOMPARE(m.engine.cur_target_index, c.current_after);
            QCOMPARE(m.ui()->target_ref->text(), c.shown);
            QCOMPARE(m.menu.delete_menu()->actions().size(), c.files_after);
            QCOMPARE(m.targets()->count(), c.files_after + 1);
            if (c.files_after == 2) QCOMPARE(m.targets()->item_title(2), QString(c.deleted == 2 ? "T1" : "T2"));
        }
    }

    // Targets that the editor stores in this session are listed at once,
    // and can be loaded from the menu.
    void targets_saved_in_the_editor_join_the_lists() {
        Menus m(0, 1);
        tw::ui::TargetController editor(m.engine, m.alerts);
        tw::ui::connect_editor_results(editor, &m.menu, m.controller.get());
        tw::ui::arrange_windows_around_editor(editor, &m.menu, m.controller.get(), nullptr);
        for (const char* name : {"Fresh", "Second"}) {
            editor.show_target_window();
            editor.ui()->string_to_search_ref->setPlainText("abc");
            editor.ui()->target_name_ref->setText(name);
            editor.target_selection_panel_did_end({QString::fromStdString(m.path("tree"))});
            editor.OK_but();
            QVERIFY(!editor.window()->isVisible());
        }
        for (QMenu* list : {m.menu.load_menu(), m.menu.edit_menu(), m.menu.delete_menu()})
            QCOMPARE(titles(list), (QStringList{"T0", "Fresh", "Second"}));
        m.menu.load_menu()->actions().at(1)->trigger();
        QCOMPARE(m.ui()->target_ref->text(), QString("Fresh"));
    }

    // ---- The launcher list ---------------------------------------------------------

    // A list of any length fills the "Remove application" submenu and the
    // viewer's pull-down in one pass, listing at most 500 applications and
    // then a line for the others. A last entry without its end is left out,
    // named once, and the file keeps its bytes.
    void launcher_lists_fill_the_menus_and_keep_their_file() {
        QByteArray many;
        for (int i = 0; i < 200000; ++i) many += "/opt/tools/editor-" + QByteArray::number(i) + '\0';
        const QString more = "Only the first 500 of the 200000 applications are listed";
        const struct {
            QByteArray file;
            int listed;
            QString last;  // the submenu's last item
            int damaged;   // entries kept, -1 for none
        } cases[] = {
            {"", 0, "", -1},
            {QByteArray("/usr/bin/less\0", 14), 1, "less", -1},
            {many, 500, more, -1},
            {QByteArray("/usr/bin/vim\0/usr/bin/ema", 25), 1, "vim", 1},  // an unterminated last entry
            {many + "/opt/x", 500, more, 200000},
        };
        for (const auto& [file, listed, last, damaged] : cases) {
            Menus m;
            const QString path = QString::fromStdString(m.resource + "/TW_launcher");
            m.write_file("resources/TW_launcher", file.toStdString());
            m.engine.load_launcher_file();
            m.menu.update_launcher_submenu();
            m.viewer->update_launcher_popup();
            const int items = listed + (listed == 500 ? 1 : 0);
            const QList<QAction*> removable = m.menu.remove_application_menu()->actions();
            QCOMPARE(removable.size(), items);
            QCOMPARE(m.viewer->launcher_popup()->count(), items + 3);
            if (items > 0) {
                QCOMPARE(removable.last()->text(), last);
                QCOMPARE(m.viewer->launcher_popup()->item_title(items), last);
                QCOMPARE(removable.last()->isEnabled(), items == listed);
            }
            tw_test::ModalAnswerer answer;
            QCOMPARE(m.menu.report_damaged_settings(), damaged >= 0);
            QVERIFY(!m.menu.report_damaged_settings());
            if (damaged >= 0)
                QVERIFY2(answer.message.contains(
                             QString("%1: the last entry has no end; the %2 entries before it are kept").arg(path).arg(damaged)),
                         qPrintable(answer.message));
            m.engine.save_launcher_file();
            QCOMPARE(tw_test::file_bytes(path), file);
        }
    }

    // Add application..., from the Special menu and from the viewer's
    // pull-down, appends to one list: the "Remove application" submenu, the
    // viewer's pull-down and TW_launcher (written at quit) hold the same
    // applications in the same order.
    void added_applications_are_the_same_in_both_menus_and_the_file() {
        Menus m;
        const QString first = QString::fromStdString(m.path("apps/first")), second = QString::fromStdString(m.path("apps/second"));
        m.write_file("apps/first", "#!/bin/sh\n");
        m.write_file("apps/second", "#!/bin/sh\n");
        for (const QString& app : {first, second}) {
            tw_test::PanelAnswerer choose(app);
            if (app == first) m.menu.launcher_menu()->actions().first()->trigger();
            else m.viewer->launcher_popup()->choose_item(m.viewer->launcher_popup()->count() - 1);
        }
        QCOMPARE(titles(m.menu.remove_application_menu()), (QStringList{"first", "second"}));
        QStringList popup;
        for (int i = 1; i < m.viewer->launcher_popup()->count() - 2; ++i) popup << m.viewer->launcher_popup()->item_title(i);
        QCOMPARE(popup, (QStringList{"first", "second"}));
        m.menu.save_settings_now();
        QCOMPARE(tw_test::file_bytes(QString::fromStdString(m.resource + "/TW_launcher")),
                 QFile::encodeName(first) + '\0' + QFile::encodeName(second) + '\0');
    }

    // ---- Kept between runs -----------------------------------------------------------

    // The frames of the search window, the viewer and the editor, the window
    // colour and the viewer's split are written to the user defaults file as
    // the windows close and the application quits; the next start, reading
    // that file, gives them back.
    void frames_colour_and_split_are_kept_between_runs() {
        const QRect frames[] = {{30, 40, 720, 460}, {60, 70, 600, 400}, {90, 20, 600, 440}};
        const QColor colour(12, 140, 200);
        QList<int> split;
        {
            Menus m;
            m.menu.change_windows_color(colour);
            m.window()->setGeometry(frames[0]);
            m.viewer->set_window_visible(true);
            m.viewer->window()->setGeometry(frames[1]);
            m.viewer->ui()->viewer_splitter->setSizes({120, 280});
            split = m.viewer->ui()->viewer_splitter->sizes();
            tw::ui::TargetController editor(m.engine, m.alerts);
            editor.show_target_window();
            editor.window()->setGeometry(frames[2]);
            editor.Cancel_but();
            m.viewer->window()->close();
            m.controller->save_window_frame();  // at quit
        }
        // Only what the file holds reaches the next run.
        QSettings& defaults = tw::ui::user_defaults();
        defaults.sync();
        const QByteArray kept = tw_test::file_bytes(defaults.fileName());
        defaults.clear();
        defaults.sync();
        tw_test::write_file(defaults.fileName().toStdString(), kept.toStdString());
        defaults.sync();
        Menus m;
        m.controller->restore_window_frame();
        m.viewer->set_window_visible(true);
        tw::ui::TargetController editor(m.engine, m.alerts);
        editor.show_target_window();
        QCOMPARE(m.window()->geometry(), frames[0]);
        QCOMPARE(m.viewer->window()->geometry(), frames[1]);
        QCOMPARE(editor.window()->geometry(), frames[2]);
        QCOMPARE(m.viewer->ui()->viewer_splitter->sizes(), split);
        QCOMPARE(m.main_window.window_background(), colour);
        editor.Cancel_but();
        m.menu.Clear_color_menu_item();
        for (const char* key : {"Search window frame", "Found Viewer Window", "Target Window", "Found Viewer Split"})
            defaults.remove(key);
    }

    // ---- The report ----------------------------------------------------------------

    // The report is proposed under the target's name ("/" and control
    // characters made "_"), or under a name in the interface's language
    // when there is none or it is "." or "..".
    void report_name_is_the_targets_or_in_the_language() {
        const struct { int language, targets; const char *name, *proposed; } cases[] = {
            {0, 0, nullptr, "Trawlex report.txt"}, {1, 0, nullptr, "Rapport Trawlex.txt"},
            {1, 1, nullptr, "T0.txt"}, {0, 1, "a/b\tc\x01\x7f" "d\n", "a_b_c__d_.txt"},
            {1, 1, "..", "Rapport Trawlex.txt"}, {0, 1, "/", "_.txt"}};
        for (const auto& c : cases) {
            Menus m(c.language, c.targets);
            if (c.name != nullptr) {
                std::free(m.engine.tr.target_name);
                m.engine.tr.target_name = strdup(c.name);
            }
            tw_test::PanelAnswerer answer;
            m.menu.save_search_result();
            QCOMPARE(answer.proposed, QString(c.proposed));
        }
    }

    // A report that cannot be written where it is asked for gives the error
    // alert and leaves nothing behind; one that can is written whole.
    void reports_that_cannot_be_written_alert_and_leave_nothing() {
        Menus m;
        m.controller->Search_but();
        m.wait_idle();
        m.write_file("out/plain.txt", "kept");
        const struct { const char *path, *why; } cases[] = {  // why: "" when written
            {"out/plain.txt/report.txt", "Not a directory"}, {"out/report.txt", ""}};
        for (const auto& c : cases) {
            const QString path = QString::fromStdString(m.path(c.path));
            tw_test::PanelAnswerer choose(path);
            ModalAnswerer alert;
            m.menu.save_search_result();
            QCOMPARE(alert.message, *c.why == 0 ? QString() : "cannot open file: " + path + ": " + c.why);
            QCOMPARE(QFileInfo::exists(path), *c.why == 0);
        }
        QCOMPARE(QDir(QString::fromStdString(m.path("out"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"plain.txt", "report.txt"}));
        QCOMPARE(tw_test::file_bytes(QString::fromStdString(m.path("out/plain.txt"))), QByteArray("kept"));
        const QByteArray report = tw_test::file_bytes(QString::fromStdString(m.path("out/report.txt")));
        QVERIFY(report.startsWith("**** Search result for target 'T0' *****\n\n"));
        QVERIFY(report.contains("\nNumber of files with at least one occurence: 1\n"));
    }

    // ---- The preferences -------------------------------------------------------------

    // The fields read as a user's numbers, within the engine's limits; OK
    // stores every value at once, in the record that TW_preference is
    // written from, or none and says why.
    void preferences_read_check_and_store() {
        const struct {
            const char *str, *period, *encoding;
            const char* refused;  // the start of the message, or "" when stored
            tw::u64 str_bytes = 0, period_us = 0, encoding_after = 0;  // when stored
        } cases[] = {
            {"1", "0.5", "0x0600", "", 1024, 500000, 0x0600},
            {" +2k", "3600", "1536", "", 2048, 3600000000, 0x0600},
            {"1", "0.015", "x600", "", 1024, 15000, 0},
            {"0", "0.5", "0", "Search string buffer: enter a size from 1 to 65536 KiB."},
            {"1", "0", "0", "Refresh every: enter from 0.015 to 3600 seconds."},
            {"1", "abc", "0", "Refresh every: "},
            {"1", "0.5", "0x7777", "User defined encoding: 0x7777 is not"},
        };
        for (const auto& c : cases) {
            Harness h;
            h.open_window(-1);
            h.controller->set_search_view_text("typed, not searched");
            PrefrencesController p(h.engine, h.alerts);
            tw::ui::connect_preferences_to_search(p, *h.controller);
            const tw::PreferenceRecord before = h.engine.pr;
            p.ui()->str_mem_size_ref->setText(c.str);
            p.ui()->show_info_every_ref->setText(c.period);
            p.ui()->user_defined_ref->setText(c.encoding);
            p.ui()->return_key_is_ref->setChecked(false);
            p.ui()->show_total_bytes_ref->setChecked(false);
            p.show_window();
            p.OK_but();
            const QString message = h.alert_message(p.window());
            QVERIFY2(*c.refused == 0 ? message == "<no alert>" : message.startsWith(c.refused),
                     qPrintable(message + "|" + c.refused));
            QCOMPARE(p.window()->isVisible(), *c.refused != 0);
            if (*c.refused != 0) {
                QCOMPARE(std::memcmp(&before, &h.engine.pr, sizeof before), 0);
                continue;
            }
            QCOMPARE(h.engine.pr.str_mem_size, c.str_bytes);
            QCOMPARE(h.engine.pr.show_info_every, c.period_us);
            QCOMPARE(h.engine.pr.user_defined_encoding, c.encoding_after);
            QCOMPARE(h.engine.pr.return_key_is_search, std::uint8_t{0});
            QCOMPARE(h.engine.sir.show_total_bytes, std::uint8_t{0});
            QCOMPARE(h.view_text(), QString("typed, not searched"));
            // Cancel keeps what was typed for the next opening, unstored.
            p.ui()->str_mem_size_ref->setText("999");
            p.Cancel_but();
            QCOMPARE(h.engine.pr.str_mem_size, c.str_bytes);
            p.show_window();
            QCOMPARE(p.ui()->str_mem_size_ref->text(), QString("999"));
        }
        QCOMPARE(PrefrencesController::encoding_value("-1"), 0xFFFFFFFFu);
    }

    // The fields show the exact values, so that OK without a change stores
    // every value as it was: TW_preference is written again byte for byte.
    void preferences_ok_without_a_change_keeps_every_value() {
        const struct { tw::u64 period, str_bytes; const char *period_shown, *str_shown; } cases[] = {
            {15000, 1600, "0.015", "1.5625"},  // the defaults
            {500000, 2048, "0.50", "2"},
            {123457, 16, "0.123457", "0.015625"},
            {3600000000, tw::u64{64} << 20, "3600.00", "65536"}};
        for (const auto& c : cases) {
            Harness h;
            h.engine.pr.show_info_every = c.period;
            h.engine.pr.str_mem_size = c.str_bytes;
            QCOMPARE(h.engine.save_pref_file(), tw::u64{0});
            const QString file = QString::fromStdString(h.resource + "/TW_preference");
            const QByteArray before = tw_test::file_bytes(file);
            PrefrencesController p(h.engine, h.alerts);
            QCOMPARE(p.ui()->show_info_every_ref->text(), QString(c.period_shown));
            QCOMPARE(p.ui()->str_mem_size_ref->text(), QString(c.str_shown));
            p.show_window();
            p.OK_but();
            QVERIFY(!p.window()->isVisible());
            QCOMPARE(h.engine.save_pref_file(), tw::u64{0});
            QCOMPARE(tw_test::file_bytes(file), before);
        }
    }

    // The number of scanning threads (0: one per core) and the viewer's
    // excerpt size (2000 bytes to 1 MiB) are user defaults, labelled for
    // assistive tools and stored by OK only; the thread count is given to
    // the engine when a search starts.
    void preferences_threads_and_excerpt_size_are_user_defaults() {
        Menus m;
        PrefrencesController p(m.engine, m.alerts);
        QSpinBox *threads = p.ui()->search_threads_ref, *size = p.ui()->excerpt_size_ref;
        QCOMPARE(p.ui()->search_threads_label_ref->buddy(), threads);
        QCOMPARE(p.ui()->excerpt_size_label_ref->buddy(), size);
        QCOMPARE(tw::ui::excerpt_size_default(), std::uint64_t{2000});
        const struct { QSpinBox* field; int typed; bool ok; std::uint64_t stored; } cases[] = {
            {threads, 3, true, 3},       {threads, 7, false, 3},     {threads, 0, true, 0},
            {size, 65536, true, 65536},  {size, 4000, false, 65536}, {size, 5000000, true, 1 << 20},
            {size, 10, true, 2000}};
        for (const auto& c : cases) {
            c.field->setValue(c.typed);
            c.ok ? p.OK_but() : p.Cancel_but();
            if (c.field == size) {
                QCOMPARE(tw::ui::excerpt_size_default(), c.stored);
                continue;
            }
            QCOMPARE(tw::ui::search_threads_default(), c.stored);
            m.engine.thread_count = 99;
            m.controller->Search_but();
            m.wait_idle();
            QCOMPARE(m.engine.thread_count, c.stored);
        }
        // Values out of range in the user defaults read as one thread per
        // core and the largest excerpt.
        tw::ui::user_defaults().setValue(tw::ui::kSearchThreadsKey, 100000);
        tw::ui::user_defaults().setValue(tw::ui::kExcerptSizeKey, qulonglong{1} << 40);
        QCOMPARE(tw::ui::search_threads_default(), 0u);
        QCOMPARE(tw::ui::excerpt_size_default(), tw::ui::kMaxExcerptSize);
        for (const char* key : {tw::ui::kSearchThreadsKey, tw::ui::kExcerptSizeKey}) tw::ui::user_defaults().remove(key);
    }
};

TW_UI_SUITE(MenusTest)
#include "menus_test.moc"
