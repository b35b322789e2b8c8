// The application's delegate: start-up and shutdown, the interface
// language, files handed to the application, About and Help, the main menu
// bar's commands and the window colours.
#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>

#include "engine/tw.h"

class QMenu;
class QTimer;

namespace tw::ui {

class MainWindow;
class ColoredWindow;
class ViewerController;

// Takes the batch of files and folders handed to the application (the
// target editor opens a new target holding them).
class DropItemsReceiver {
public:
    virtual ~DropItemsReceiver() = default;
    virtual void show_target_window_drop_items(const QStringList& items) = 0;
};

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
    // The Help document of the language, under the resource folder.
    QString help_document_path() const;

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
    void set_viewer_controller(ViewerController* viewer) { viewer_controller_ref_ = viewer; }
    // A modal "Error" alert with the engine's text for `code`.
    void show_error(tw::u64 code);

    // The Special menu's enabled state, kept here alone. While the target
    // editor holds the menu it stays disabled, and the state asked for
    // meanwhile is applied when the hold ends.
    void make_special_menu_active(bool active);
    bool special_menu_is_active() const { return special_menu_is_active_; }
    void hold_special_menu(bool hold);
    bool special_menu_is_held() const { return special_menu_held_; }
    // The menu whose enabled state follows (none until it is built).
    void set_special_menu(QMenu* menu);

    // Puts a menu into the main menu bar before its last menu (Help).
    void insert_menu_before_last(QMenu* menu);

signals:
    // A batch of handed-over files has been opened.
    void drop_items_opened(const QStringList& items);

private:
    tw::Engine& engine_;
    bool language_is_set_ = false;
    bool terminated_ = false;
    std::function<QStringList()> languages_source_;
    QStringList dropped_items_;
    QPointer<QTimer> open_drop_timer_;
    DropItemsReceiver* drop_receiver_ = nullptr;
    MainWindow* main_window_ = nullptr;
    QList<ColoredWindow*> colored_windows_;
    std::optional<QColor> original_window_background_color_;
    std::function<void()> preferences_opener_;
    ViewerController* viewer_controller_ref_ = nullptr;
    bool special_menu_is_active_ = true;
    bool special_menu_held_ = false;
    QPointer<QMenu> special_menu_;
};

}  // namespace tw::ui
