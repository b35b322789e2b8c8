// The found viewer: steps through the found files and occurrences of the
// last search and shows the bytes around each occurrence as text, as text
// decoded in the target's encoding, or as a hexadecimal dump; opens the
// found file with a launcher application, shows its information and reveals
// it in the file manager.
#pragma once

#include <vector>
#include <utility>
#include <QColor>
#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "engine/tw_live_found.h"
#include "engine/tw_records.h"
#include "ui/common/UnreadableItems.h"
#include "ui/common/launcher_list.h"
#include "ui/toolkit/colored_window.h"

class QAction;
class QLabel;
class QMenu;
class QModelIndex;
class QSlider;
class QWidget;

namespace tw {
class Engine;
}

namespace Ui {
class ViewerWindow;
}

namespace tw::ui {

class FoundListModel;
class PullDown;

// Display states of show_it and show_file_content.
inline constexpr int kViewNothing = 0;      // nothing to show
inline constexpr int kViewFileOnly = 1;     // the file is known, its excerpt is not
inline constexpr int kViewOccurrence = 2;   // an occurrence is shown

// Display modes of the text area.
inline constexpr int kModeText = 1;
inline constexpr int kModeOriginal = 2;
inline constexpr int kModeHexa = 3;

// The bytes a display mode shows: a piece of the found file, where it lies
// in the file, and the occurrence's place in it (occ_pos at or past len
// when the piece does not hold it).
struct Excerpt {
    const std::uint8_t* bytes = nullptr;
    std::size_t len = 0;
    tw::u64 file_offset = 0;
    tw::u64 occ_pos = 0;
    tw::u64 mark_len = 0;
    // The engine's excerpt of the current occurrence.
    static Excerpt of(const tw::SummaryRecord& sur);
};

// Why decoding in the original encoding stopped on one side.
inline constexpr int kStopEdge = 0;         // the excerpt's edge
inline constexpr int kStopNul = 1;          // a NUL byte
inline constexpr int kStopUndecodable = 2;  // bytes the encoding cannot read

// What the text area shows and which part of it is selected (positions in
// UTF-16 code units of `text`, already clamped to it).
struct ViewerText {
    QString text;
    qsizetype selection_start = 0;
    qsizetype selection_length = 0;
    // The marked spans (start, length); when empty, the one above.
    std::vector<std::pair<qsizetype, qsizetype>> marks;
    // Original encoding: the file offsets decoded, [from, to), and why
    // decoding stopped before and after them.
    tw::u64 decoded_from = 0, decoded_to = 0;
    int stop_before = kStopEdge, stop_after = kStopEdge;
    // Where the cursor goes (a position of `text`); the selection's start
    // when negative.
    qsizetype cursor_at = -1;
};

class ViewerController : public QObject, public ColoredWindow {
    Q_OBJECT
public:
    explicit ViewerController(tw::Engine& engine, QObject* parent = nullptr);
    ~ViewerController() override;

    // ---- Navigation ------------------------------------------------------------
    // Reads the current occurrence back from the result files and shows it
    // (and brings the window up when it is hidden).
    void show_view();
    // At start: loads the result a previous run left, for the viewer to
    // show when asked, without bringing the window up and without an alert.
    // The number of found files it has (0 when there is none to offer).
    tw::u64 offer_last_result();
    // Forgets the last result: nothing shown, every control disabled.
    void clear_view();
    // The files and folders the search of the result could not read: the
    // next show_view counts them on the state line, whose button lists
    // them. clear_view forgets them.
    void set_unreadable_items(UnreadableItems items);
    // A search ended: its result, with the items it could not read, is
    // shown (and the window brought up).
    void show_result(const UnreadableItems& items) {
        set_unreadable_items(items);
        show_view();
        bring_to_front();
    }
    const UnreadableItems& unreadable_items() const { return unreadable_items_; }
    // The button beside the state line: a window listing them.
    void Unreadable_but();
    QDialog* unreadable_panel() const { return unreadable_panel_; }
    void show_it(int state);
    void show_view_filename(int state);
    void show_view_foldername(int state);
    void show_view_offset(int state);
    void show_view_line(int state);
    void show_view_file_nb_and_index(int state);
    void show_view_occ_nb_and_index(int state);
    // The file steps, the file slider and index field for the list as shown.
    void show_file_position();
    void make_active(bool active);
    void show_error(tw::u64 code);
    void set_window_visible(bool visible);
    // Shows the window in front of the others and gives it the keyboard.
    void bring_to_front();

    void Next_occ_but();
    void Previous_occ_but();
    void Go_occ_but();
    void Occ_index_tf();
    void Occ_slider();
    // F3 and Shift+F3: the next or previous occurrence, going on to the
    // first occurrence of the next listed file, or the last one of the
    // previous listed file.
    void Next_occ_key();
    void Previous_occ_key();
    // Previous and Next file step through the files as the list shows
    // them: in its order, only those its filter keeps.
    void Next_file_but();
    void Previous_file_but();
    void Go_file_but();
    void File_index_tf();
    void File_slider();

    // ---- Content -----------------------------------------------------------------
    void show_file_content(int state);
    void set_hexa_or_text_popup();
    void hexa_or_text_popup_action(int index);
    void set_view_as_default();
    // A new result opens decoded when it was searched in a wide encoding
    // (UTF-16), else as text.
    void choose_mode_for_result();
    // The described form of the current occurrence, in a result of several
    // forms whose description could be read; nullptr otherwise.
    const tw::FoundForm* current_form() const;

    // The text of each mode for the current excerpt of `sur`; none when the
    // excerpt cannot be decoded in `encoding`.
    static ViewerText text_content(const Excerpt& sur);
    static std::optional<ViewerText> original_content(const Excerpt& sur, std::uint32_t encoding);
    static ViewerText hexa_content(const Excerpt& sur);

    // ---- The piece of the file on show (ViewerWindowBytes.cpp) -------------------
    // The excerpt size preference: the bytes shown around an occurrence,
    // 2000 (the engine's excerpt) to 1 MiB.
    static constexpr tw::u64 kMaxExcerptSize = tw::u64{1} << 20;
    static tw::u64 excerpt_size();
    static void set_excerpt_size(tw::u64 size);
    // Ctrl+G: asks for a file offset (decimal, or hexadecimal after 0x).
    void Go_to_offset_action();
    // Shows the current file around `offset`, the cursor on it; false (a
    // beep) past the file's end or when it cannot be read.
    bool go_to_offset(tw::u64 offset);
    // Reads another excerpt's worth of the file after (+1) or before (-1)
    // the piece on show; false when there is none.
    bool load_more(int direction);
    // The piece of the file shown now.
    Excerpt current_excerpt() const;
    // `content` of the original encoding with a line above it saying where
    // decoding stopped and why, when it stopped before the excerpt's edges.
    static ViewerText with_decoding_note(ViewerText content, int language);

    // ---- Actions -----------------------------------------------------------------
    void set_launcher_popup();
    void launcher_popup_action(int index);
    void update_launcher_popup();
    void clear_applications_in_launcher_popup();
    void Info_but();
    void Info_panel_ok_but();
    void info_sheet_panel_did_end(int return_code);
    void Show_in_finder_but();
    void set_window_color(const QColor& color) override;
    QColor window_background() const override;
    void conclude_drop_items(const QStringList& paths);
    void conclude_drop_string(const QString& text);

    // The name a launcher application is shown under: a .desktop entry's
    // Name, else the file name without its extension.
    static QString launcher_display_name(const QString& path) {
        return tw::ui::launcher_display_name(path);
    }
    // The launcher list's paths, in list order.
    static QStringList launcher_paths(const tw::BufferRecord& br) {
        return tw::ui::launcher_paths(br);
    }

    // ---- Context menu and copies (ViewerMenu.cpp) ---------------------------------
    // The menu of a list row or of the excerpt, for the current file and
    // occurrence; the caller owns it. Its actions carry the window's
    // shortcuts.
    QMenu* make_context_menu(bool in_excerpt, QWidget* parent);
    // Opens the current file with the launcher list's first application,
    // or with the default application when the list is empty.
    void Open_action();
    void Open_default_action();
    void Copy_path_action();
    void Copy_offset_action(bool hexadecimal);
    // The occurrence's bytes as read in the file, in hexadecimal.
    void Copy_occurrence_action();
    void Copy_selection_action();
    // The window's action named `name` (tests, menus).
    QAction* viewer_action(const char* name) const;

    // ---- The result of a running search ------------------------------------------
    // The list empties for the search that starts; its found files come
    // through add_live_files as the search publishes them.
    void begin_live_result();
    // Adds published found files; the first ones are shown at once.
    void add_live_files(const std::vector<tw::LiveFoundFile>& files);
    // The search has ended (its thread joined): the result is read from
    // its files again by the next show_view.
    void end_live_result();
    bool showing_live_result() const { return live_; }

    // ---- What is on screen (tests, other windows) --------------------------------
    QWidget* window() const { return window_; }
    Ui::ViewerWindow* ui() const { return ui_.get(); }
    PullDown* launcher_popup() const { return launcher_popup_; }
    PullDown* hexa_or_text_popup() const { return hexa_or_text_popup_; }
    QDialog* info_sheet_panel() const { return info_sheet_panel_ref_; }
    QLabel* info_panel_pathname() const { return info_panel_pathname_ref_; }
    QLabel* info_panel_other() const { return info_panel_other_ref_; }
    int hexa_or_text_type() const { return hexa_or_text_type_; }
    int display_state() const { return display_state_; }
    FoundListModel* found_list_model() const { return found_list_model_; }
    // The summary line naming a stopped search or one that ended on an
    // error, and the files and folders that could not be read; hidden for
    // a finished search that read everything.
    QLabel* result_state_line() const;
    // The lines saying which search wrote the result on show.
    QLabel* search_description() const { return search_description_ref_; }

signals:
    // "Add application..." of the launcher pull-down.
    void add_application_asked();
    // Files or text dropped on the window, for the target editor to open
    // the current target (`target_index`) with them.
    void items_dropped_on_target(const QStringList& paths, tw::i64 target_index);
    void string_dropped_on_target(const QString& text, tw::i64 target_index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void awake_from_nib();
    void connect_controls();
    void add_shortcuts();
    // "No occurrence found" for an empty result; a stopped search or one
    // that ended on an error named in the title.
    void show_result_state(bool nothing_found);
    // The search string, options, target and time of the result on show.
    void show_search_description(bool shown);
    // Reads the result and redisplays it; the engine's code.
    tw::u64 refresh_view(bool alert_on_error);

    // ---- The found files list (ViewerList.cpp) ------------------------------
    void setup_found_list();
    // Reads the list again when the result files changed since.
    void update_found_list();
    // Selects the current found file's row (when the filter keeps it) and
    // scrolls it into sight when asked.
    void follow_current_file(bool scroll = true);
    void found_list_row_chosen(const QModelIndex& current);
    void show_found_list_status(const QString& failure);
    // The current file's place in the list as shown: its row and the
    // number of rows (the found order when the list could not be read);
    // `listed` false when the filter hides it.
    struct ListPosition {
        tw::u64 index = 0;
        tw::u64 count = 0;
        bool listed = false;
    };
    ListPosition list_position() const;
    // The found file `step` (+1, -1) rows from the current one in the list.
    std::optional<tw::u64> listed_neighbour(int step) const;
    // The found file shown at position `index` of the list.
    tw::u64 listed_file(tw::u64 index) const;
    void go_to_file(tw::u64 file_index, tw::u64 occ_index);
    void save_list_split() const;
    void restore_list_split();
    QString base_title_;
    // The index the field's text asks for (its leading number minus 1), or
    // none when the text is empty, not ASCII, or outside 0 .. count - 1.
    static std::optional<tw::u64> index_from_field(const QString& text, tw::u64 count);
    void set_slider(QSlider* slider, tw::u64 count, tw::u64 value);
    void show_text(const ViewerText& content, bool wrap);
    void show_plain_message(const QString& message);
    // The found file's path as the file system holds its bytes.
    QByteArray found_file_path() const;
    void save_frame() const;
    void restore_frame();
    void build_info_sheet();
    // Reads [start, start + size) of the current file as the piece on show.
    bool load_window(tw::u64 start, tw::u64 size);
    // A new occurrence: the piece on show is its excerpt, of the preferred size.
    void reset_window();
    void setup_window_scrolling();
    // The context menus' actions, with their shortcuts, on the window.
    void setup_context_actions();
    void open_with(const QString& application);
    // Says why the current file could not be opened or revealed.
    void open_failed(const QString& why);

    tw::Engine& engine_;
    std::unique_ptr<Ui::ViewerWindow> ui_;
    QWidget* window_ = nullptr;
    PullDown* launcher_popup_ = nullptr;
    PullDown* hexa_or_text_popup_ = nullptr;
    int hexa_or_text_type_ = kModeText;
    bool mode_chosen_for_result_ = false;  // the mode is the one a result chose
    bool mode_pending_ = true;
    // The piece of the file on show when it is not the engine's excerpt.
    std::vector<std::uint8_t> window_bytes_;
    tw::u64 window_offset_ = 0;
    bool window_active_ = false;
    tw::u64 file_size_ = 0;
    std::optional<tw::u64> cursor_offset_;  // where Go to offset put the cursor
    bool loading_more_ = false;  // a new result is read: its mode is to be chosen
    int display_state_ = kViewNothing;
    bool updating_sliders_ = false;
    FoundListModel* found_list_model_ = nullptr;
    bool following_file_ = false;  // the list's selection is being set to the current file
    bool live_ = false;  // the list follows a running search
    bool frame_known_ = false;  // the window was shown or its frame restored
    QPointer<QDialog> info_sheet_panel_ref_;
    UnreadableItems unreadable_items_;
    QPointer<QDialog> unreadable_panel_;
    QLabel* search_description_ref_ = nullptr;
    QLabel* info_panel_pathname_ref_ = nullptr;
    QLabel* info_panel_other_ref_ = nullptr;
};

}  // namespace tw::ui
