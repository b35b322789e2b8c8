// The application's delegate: start-up and shutdown, the interface
// language, files handed to the application, About and Help, the main menu
// bar's commands and the window colours.
#pragma once

#include <QColor>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>

#include "engine/tw.h"
#include "ui/toolkit/colored_window.h"
#include "ui/toolkit/drop.h"
#include "ui/toolkit/help_document.h"

class QAction;
class QMenu;
class QTimer;

namespace tw::ui {

class MainWindow;

class MenuController : public QObject {
    Q_OBJECT
public:
    explicit MenuController(tw::Engine& engine, QObject* parent = nullptr);
    ~MenuController() override;

    tw::Engine& engine() { return engine_; }

    // Start-up before any window: the language, then the engine's settings
    // and buffers. On failure shows the "not enough memory" alert and
    // answers false: the application then quits.
    bool init();

    // Chooses the language once, from the user's preferred languages.
    void set_language();
    bool language_is_set() const { return language_is_set_; }
    int language() const { return engine_.language; }
    // Where set_language reads the preferred languages (tests replace it).
    void set_preferred_languages_source(std::function<QStringList()> source) {
        languages_source_ = std::move(source);
    }

    // Start-up once the main window set exists: menus and colour.
    void awake_from_nib(MainWindow* main_window);
    MainWindow* main_window() const { return main_window_; }

    // Saves the settings and releases the engine's buffers; runs once,
    // whichever way the application quits.
    void application_should_terminate();
    // Saves the settings without ending anything (the session is ending and
    // the process may be killed before it quits).
    void save_settings_now();

    // A file or folder handed to the application; the files handed over
    // within 0.1 s are opened together by open_drop_items.
    void application_open_file(const QString& path);
    void open_drop_items();
    const QStringList& dropped_items() const { return dropped_items_; }
    void set_drop_items_receiver(DropItemsReceiver* receiver) { drop_receiver_ = receiver; }

    void About_menu_item();
    void Help_menu_item();
    // The Help document of the language, under the resource folder, and
    // its HTML version, opened when the desktop has no PDF reader.
    QString help_document_path() const;
    QString help_html_path() const;
    // How Help opens the documents (the desktop's by default).
    void set_help_openers(HelpOpeners openers) { help_openers_ = std::move(openers); }

    // Window colours.
    void register_colored_window(ColoredWindow* window);
    void Set_color_menu_item();
    void Clear_color_menu_item();
    void change_windows_color(const QColor& color);
    void set_windows_color(const QColor& color);
    void save_default_color(const QColor& color, bool use_color);
    std::optional<QColor> load_default_color(bool* use_color);

    // The Preferences… command opens what is given here (disabled until then).
    void set_preferences_opener(std::function<void()> opener);

    // The launcher list: lets the user choose an application (an executable
    // or a .desktop entry, starting in /usr/share/applications) and appends
    // it to the engine's launcher list; the viewer's pull-down follows.
    void get_new_launcher_application();
    // Window -> "Found Viewer" (Ctrl+Shift+F), added once there is a viewer
    // (and a main window): reopens the viewer at any time (viewer_asked).
    void add_viewer_action();
    QAction* viewer_action() const { return viewer_action_; }
    // A modal "Error" alert with the engine's text for `code`; with
    // `with_detail`, followed by the file and the reason of the failure
    // the engine has just recorded.
    void show_error(tw::u64 code, bool with_detail = false);
    // Names, in one modal alert, the settings files that the start-up could
    // not read whole and what became of them; once: false when there was
    // nothing to name or it was named already.
    bool report_damaged_settings();
    // The text of that alert, empty when no settings file is damaged.
    QString damaged_settings_text() const;

    // ---- The Special menu (SpecialMenu.cpp) -------------------------------
    // Builds the Special menu before the last menu of the menu bar, with its
    // Target and Launcher submenus.
    void build_special_menu();
    void update_target_submenu();
    void update_launcher_submenu();
    QMenu* special_menu() const { return special_menu_; }
    QMenu* target_menu() const { return target_menu_; }
    QMenu* launcher_menu() const { return launcher_menu_; }
    QMenu* load_menu() const { return load_menu_; }
    QMenu* edit_menu() const { return edit_menu_; }
    QMenu* delete_menu() const { return delete_menu_; }
    QMenu* remove_application_menu() const { return remove_application_menu_; }
    // The Special menu's enabled state, kept here alone: while a search runs
    // only "Target" and "New..." stay enabled. While the target editor holds
    // the menu it stays disabled so, and the state asked for meanwhile (a
    // search that ended) is applied when the hold ends.
    void make_special_menu_active(bool active);
    bool special_menu_is_active() const { return special_menu_is_active_; }
    void hold_special_menu(bool hold);
    bool special_menu_is_held() const { return special_menu_held_; }
    // The menu's items.
    void get_new_target();
    void edit_current_target();
    void load_target_for_menu_item(int index);
    void edit_target_for_menu_item(int index);
    void delete_target_for_menu_item(int index);
    void save_search_result();
    void remove_application_for_menu_item(int index);
    // The name proposed for the report of a target: its name with the
    // characters that cannot be in a file name replaced, and ".txt"; a
    // target without a usable name gets a name in the language (0, 1).
    static QString report_file_name(const QString& target_name, int language);
    // The folder the report's save panel opens in: the desktop, else home.
    static QString report_folder();

    // Puts a menu into the main menu bar before its last menu (Help).
    void insert_menu_before_last(QMenu* menu);

signals:
    // A batch of handed-over files has been opened.
    void drop_items_opened(const QStringList& items);
    // Window -> "Found Viewer".
    void viewer_asked();
    // The launcher list changed (an application added or removed).
    void launchers_changed();
    // The target editor: a new target, or stored target `index`.
    void new_target_asked();
    void edit_target_asked(tw::i64 index);
    // A target was loaded or deleted: the current target is another one
    // (or none), and the search window shows it.
    void current_target_changed();
    // A deletion changed the list of stored targets.
    void target_list_changed();

private:
    tw::Engine& engine_;
    bool language_is_set_ = false;
    bool damaged_settings_reported_ = false;
    bool terminated_ = false;
    std::function<QStringList()> languages_source_;
    QStringList dropped_items_;
    QPointer<QTimer> open_drop_timer_;
    DropItemsReceiver* drop_receiver_ = nullptr;
    MainWindow* main_window_ = nullptr;
    QList<ColoredWindow*> colored_windows_;
    std::optional<QColor> original_window_background_color_;
    std::function<void()> preferences_opener_;
    HelpOpeners help_openers_ = desktop_help_openers();
    QAction* viewer_action_ = nullptr;
    // The Special menu's state and the items it enables.
    void apply_special_menu_state();
    void build_target_submenu();
    void build_launcher_submenu();
    void show_menu_error(const char* const (&pair)[2]);
    bool special_menu_is_active_ = true;
    bool special_menu_held_ = false;
    QPointer<QMenu> special_menu_;
    QMenu* target_menu_ = nullptr;
    QMenu* launcher_menu_ = nullptr;
    QMenu* load_menu_ = nullptr;
    QMenu* edit_menu_ = nullptr;
    QMenu* delete_menu_ = nullptr;
    QMenu* remove_application_menu_ = nullptr;
    QAction* save_result_item_ = nullptr;
    QAction* launcher_item_ = nullptr;
    QAction* new_target_item_ = nullptr;
};

}  // namespace tw::ui
