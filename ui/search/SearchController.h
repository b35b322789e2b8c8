// The search window: shows and edits the current target (its name, search
// string and encoding, wildcard and options), starts a search on the
// engine's background thread, follows it with live counters refreshed by a
// timer, stops it, and hands the result to the viewer.
//
// SearchController.cpp: the widgets, the target pull-down, the options,
// drops and the window; SearchRun.cpp: the search run and the window's
// states; SearchString.cpp: the search string, its check while typed and
// the encoding pull-down.
#pragma once

#include <QColor>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/tw.h"
#include "engine/tw_live_found.h"
#include "ui/common/UnreadableItems.h"
#include "ui/common/FormsDialog.h"

class QKeyEvent;
class QMenu;
class QShortcut;
class QToolButton;
class QTimer;
class QWidget;

namespace Ui {
class SearchWindow;
}

namespace tw::ui {

class AlertController;
class PullDown;
class SearchStringField;

class SearchController : public QObject {
    Q_OBJECT
public:
    // The window's controls are created as a widget whose parent is
    // `parent` (none: a window of its own, as the tests use it).
    SearchController(tw::Engine& engine, AlertController& alerts, QWidget* parent = nullptr);
    ~SearchController() override;

    QWidget* widget() const { return widget_; }
    Ui::SearchWindow* ui() const { return ui_.get(); }
    PullDown* target_popup() const { return target_popup_; }
    PullDown* encoding_popup() const;

    // Keeps the frame of the window (the main window, once the controls are
    // in its central area) for the next run, and gives it back.
    void save_window_frame() const;
    void restore_window_frame();

    // ---- Start-up -----------------------------------------------------------
    // Pull-downs and the default target; with no usable default target, the
    // application-modal "Cannot load default target" alert.
    void awake_from_nib();
    // After awake_from_nib, once the viewer has loaded the result left by
    // the previous run (not shown) with `files` found files: a line beside
    // the Search button says how to bring it up (none for 0).
    void offer_last_result(tw::u64 files);
    QString last_result_line() const;

    // ---- The window and the current target ----------------------------------
    void set_widget();
    void reset_widget();
    tw::u64 update_current_target_from_widget();
    void get_wildcard();
    void set_wildcard();
    void Use_wildcard_chk_box();
    void set_target_popup();
    void set_target_for_popup_item();
    void Triangle_but();
    // A drop of file paths or of text at `position` (window coordinates).
    void conclude_drop_items(const QStringList& paths, QPoint position);
    void conclude_drop_string(const QString& text, QPoint position);
    void set_window_color(const QColor& color);
    void get_window_background();
    void set_window_visible(bool visible);
    std::optional<QColor> original_window_background_color() const {
        return original_window_background_color_;
    }

    // ---- The search run -------------------------------------------------------
    void Search_but();
    void do_action_but();
    void start_search();
    void periodic_task();
    void stop_search();
    void show_info();
    // A count of the engine as a counter field shows it: digits grouped by
    // the locale, a K kept.
    static QString grouped_count(const char* count);
    void set_search_button();
    void allow_searching();
    void un_allow_searching();
    void make_ready_to_search();
    // No current target: nothing can be searched, the target pull-down and
    // the menus still offer one.
    void no_target_state();
    bool action_button_is_search() const { return action_button_is_search_; }
    bool search_is_running() const { return !search_timer_.isNull(); }
    // The target editor saved target `index` and wants it current. While a
    // search runs, the running search keeps its target and the window its
    // state: the change waits until the search has ended.
    // False when the target cannot be loaded: the window is then left with
    // no current target.
    bool target_saved(tw::i64 index);
    // The target list changed (a save or a deletion): rebuild the pull-down,
    // after the running search when there is one.
    void target_list_changed();
    bool has_deferred_target() const { return deferred_target_.has_value(); }

    // ---- The search string and its encoding ------------------------------------
    tw::u64 get_search_str();
    tw::u64 set_search_str();
    tw::u64 search_string_is_valid(tw::u64 encoding, tw::u64 is_hexa) const;
    void set_encoding_popup();
    void set_encoding_for_popup_item();
    void set_encoding_popup_check_mark();
    // The text now in the search-string view, exactly as typed.
    QString search_view_text() const;
    void set_search_view_text(const QString& text);
    // The pull-down of the current target's last search strings, newest
    // first (Alt+Down in the search string opens it); choosing one puts it
    // in the search string.
    QToolButton* history_button() const { return history_but_; }
    QMenu* history_menu() const { return history_menu_; }
    void fill_history_menu();
    // "Forms…": the further encodings and search strings of the current
    // target, in a dialog (ui/search/SearchForms.cpp).
    QToolButton* forms_button() const { return forms_but_; }
    void Forms_but();
    // Builds the current target's forms from `choice` and saves them with
    // it; false, with an alert, when a search string gives no form.
    bool apply_forms(const FormsChoice& choice);
    tw::pattern::FormsBuilt build_forms(const FormsChoice& choice) const;

signals:
    // The Special menu follows the window's state: enabled while idle.
    void special_menu_active_changed(bool active);
    // The target editor, asked for a new target (the triangle button, a
    // first start), a new one with dropped files or text (a drop on the
    // triangle), or the current target `index` with them (a drop elsewhere).
    void new_target_asked();
    void new_target_with_items_asked(const QStringList& paths);
    void new_target_with_string_asked(const QString& text);
    void target_with_items_asked(tw::i64 index, const QStringList& paths);
    void target_with_string_asked(tw::i64 index, const QString& text);
    // The viewer: a search starts and its list follows it, found files as
    // the search publishes them, the search ended (its thread joined).
    void live_result_begun();
    void live_files_found(const std::vector<tw::LiveFoundFile>& files);
    void live_result_ended();
    // The search ended with a result to show, with the items it could not read.
    void result_ready(const tw::ui::UnreadableItems& unreadable);
    // No result stays on show: a search that failed.
    void result_cleared();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Return in the search-string view: true when it started or stopped
    // the search (and so is not handed to the view).
    bool return_key_pressed(const QKeyEvent* key);
    void make_search_string_field();
    void make_history_button();
    // Keeps the window's edits in the current target's file and the string
    // in its history, as the search about to run uses them.
    void keep_target_before_search();
    // Tab goes through the controls in reading order, the pull-downs
    // (made in code, after the others) included.
    void set_tab_order();
    // True when `position` (window coordinates) lies on the triangle button.
    bool is_on_triangle(QPoint position) const;
    void make_special_menu_active(bool active);
    // The line offering the previous run's result of `files` found files;
    // hidden for 0.
    void set_last_result_line(tw::u64 files);
    void show_error(const QString& message);
    void set_label_grey(QWidget* label, bool grey);
    void set_return_key_equivalent();
    QString text(const char* const (&pair)[2]) const;

    tw::Engine& engine_;
    AlertController& alerts_;
    QWidget* widget_;
    std::unique_ptr<Ui::SearchWindow> ui_;
    PullDown* target_popup_ = nullptr;
    SearchStringField* string_field_ = nullptr;
    QToolButton* history_but_ = nullptr;
    QToolButton* forms_but_ = nullptr;
    QMenu* history_menu_ = nullptr;
    QShortcut* return_shortcut_ = nullptr;
    QShortcut* enter_shortcut_ = nullptr;
    QPointer<QTimer> search_timer_;
    bool action_button_is_search_ = true;
    std::optional<tw::i64> deferred_target_;
    bool deferred_list_rebuild_ = false;
    QSet<QString> warned_damaged_targets_;  // damaged target files already named
    bool done_background_ = false;
    std::optional<QColor> original_window_background_color_;
    // The found files of the running search, as it publishes them. Held
    // before the listener below, whose destructor ends a running search.
    tw::LiveFoundFiles live_found_;
    // The files and folders the running search could not read.
    UnreadableItemsListener unreadable_listener_{engine_};
};

}  // namespace tw::ui
