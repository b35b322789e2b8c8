// The target editor: the window in which the user makes a new target or
// changes a stored one. It edits the engine's working record tr_temp, never
// the current target: its widgets show tr_temp when an entry point opens it,
// and OK builds a new record from the widgets, saves it as a target file and
// makes it the current target.
//
// TargetController.cpp: the window, the widgets and the record, OK, Add,
// Remove, Info; TargetEntryPoints.cpp: the entry points that fill tr_temp
// and open the window, drops on it, and the other windows while it is open.
#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

#include "engine/tw.h"
#include "ui/common/FormsDialog.h"
#include "ui/target_editor/Nodes.h"
#include "ui/target_editor/TargetEditorEntry.h"
#include "ui/toolkit/colored_window.h"
#include "ui/toolkit/drop.h"
#include "ui/toolkit/panels.h"

class QCheckBox;
class QDialog;
class QKeyEvent;
class QToolButton;
class QWidget;

namespace Ui {
class TargetWindow;
}

namespace tw::ui {

class AlertController;
class PullDown;
class SearchStringField;

// The key under which the editor window's frame is kept.
inline constexpr const char* kTargetWindowFrameKey = "Target Window";

class TargetController : public QObject,
                         public TargetEditorEntry,
                         public DropItemsReceiver,
                         public ColoredWindow {
    Q_OBJECT
public:
    TargetController(tw::Engine& engine, AlertController& alerts, QObject* parent = nullptr);
    ~TargetController() override;

    QDialog* window() const { return window_; }
    Ui::TargetWindow* ui() const { return ui_.get(); }
    NodesModel* nodes() const { return nodes_; }
    PullDown* encoding_popup() const;
    SearchStringField* search_string_field() const { return string_field_; }
    tw::i64 use_this_target_index() const { return use_this_target_index_; }
    bool is_open() const;

    // ---- Entry points: fill tr_temp, then show the window -------------------
    void show_target_window() override;
    void show_target_window_index_of_target(std::int64_t index) override;
    void show_target_window_drop_items(const QStringList& paths) override;
    void show_target_window_drop_string(const QString& text) override;
    void show_target_window_index_of_target_drop_items(std::int64_t index,
                                                       const QStringList& paths) override;
    void show_target_window_index_of_target_drop_string(std::int64_t index,
                                                        const QString& text) override;
    // Drops on the open editor: added to what the window shows.
    void update_target_window_drop_items(const QStringList& paths);
    void update_target_window_drop_string(const QString& text);

    // ---- The widgets and the working record ----------------------------------
    void set_widget_from_target();
    // 0, or 9 (a field empty or invalid) or 10 (the name is taken, checked
    // only when `check_name`).
    tw::u64 valid_entries(bool check_name) const;
    // Builds a record from the widgets into `t` (which keeps its encoding
    // and hexadecimal flag): 0, 8, 9, 10 (wildcard at either end) or 13.
    tw::u64 set_target_from_widget(tw::TargetRecord& t);
    void set_target_name();
    void get_wildcard(tw::TargetRecord& t) const;
    void set_wildcard();
    void update_UI();

    // ---- Actions --------------------------------------------------------------
    void OK_but();
    void Cancel_but();
    // "Forms…": the further encodings and search strings of the target,
    // built into its forms by OK.
    void Forms_but();
    QToolButton* forms_button() const { return forms_but_; }
    const FormsChoice& forms_choice() const { return forms_choice_; }
    void Add_but();
    void Hidden_chk_box();
    void Package_chk_box();
    void Remove_but();
    void Info_but();
    // The end of the file chooser: the chosen paths (none when cancelled).
    void target_selection_panel_did_end(const QStringList& paths);
    OpenPanel* target_selection_panel() const { return target_selection_panel_; }
    QWidget* acc_view() const { return acc_view_ref_; }
    QCheckBox* show_hidden_check_box() const { return show_hidden_ref_; }
    QCheckBox* show_package_check_box() const { return show_package_ref_; }

    void set_window_color(const QColor& color) override;
    QColor window_background() const override;

    // The editor comes up after being opened (once until it closes), and
    // it closes: the other windows make way for it meanwhile.
    void window_did_become_main();
    void window_will_close();

    // The stored target could not be made current (told while
    // target_stored is emitted): OK says so and the window stays open.
    void current_target_refused();

signals:
    // OK stored a target: the list of stored targets has changed.
    void target_list_changed();
    // OK stored target `index`, which is to become the current target.
    void target_stored(tw::i64 index);
    // The editor came up, and it closed.
    void editor_opened();
    void editor_closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Return in the search string: true when it was taken here.
    bool return_key_pressed(const QKeyEvent* key);
    QString text(const char* const (&pair)[2]) const;
    void show_error(const char* const (&pair)[2]);
    // The two endings of every entry point.
    void entry_succeeded();
    void entry_failed();
    // What the open window shows, taken into tr_temp, so that an entry point
    // that keeps tr_temp keeps what the user typed too.
    void take_screen_into_record();
    // Resets tr_temp to the target defaults, releasing what it held.
    void reset_record();
    // Loads stored target `index` into tr_temp and makes it the target to
    // save; false on failure, and then nothing changes.
    bool load_record(std::int64_t index);
    // A target name made from dropped material: at most `max_bytes` bytes of
    // UTF-8, cut on a character boundary, with line breaks and tabs as spaces.
    static QByteArray name_from(const QString& source, int max_bytes);
    std::vector<tw::TargetItem> items_from_paths(const QStringList& paths) const;
    tw::u64 set_record_search_text(const QString& text);
    void set_check_boxes_from(const tw::TargetRecord& t);
    // The options, end of line and wildcard of the widgets into `t`.
    void options_from_widget(tw::TargetRecord& t) const;
    // The name and the rows into `t`: 0, or 8 with `t` partly built.
    tw::u64 name_and_items_from_widget(tw::TargetRecord& t);
    // While the user has not typed a name for a new target, the name field
    // follows the search text (made unique among the stored names), so that
    // text, items and OK are all a new target needs.
    void follow_search_text_with_name();
    bool name_is_taken(const QByteArray& name) const;
    void make_accessory_view();
    void make_forms_button();
    // The forms of `t` (built from the widgets) from the choice shown:
    // true, or false after saying why they cannot be built.
    bool forms_into(tw::TargetRecord& t);

    tw::Engine& engine_;
    AlertController& alerts_;
    QDialog* window_ = nullptr;
    std::unique_ptr<Ui::TargetWindow> ui_;
    NodesModel* nodes_ = nullptr;
    SearchStringField* string_field_ = nullptr;
    QPointer<OpenPanel> target_selection_panel_;
    QWidget* acc_view_ref_ = nullptr;
    QCheckBox* show_hidden_ref_ = nullptr;
    QCheckBox* show_package_ref_ = nullptr;
    QToolButton* forms_but_ = nullptr;
    FormsChoice forms_choice_;  // what the Forms dialog shows and OK builds
    tw::i64 use_this_target_index_ = -1;
    // The number given to a new target by OK, kept after a failed save so
    // that the next OK saves under it, still as a new target.
    bool saving_new_target_ = false;
    bool first_time_ = true;
    bool current_target_refused_ = false;
    bool name_follows_text_ = false;
    bool setting_followed_name_ = false;
};

}  // namespace tw::ui
