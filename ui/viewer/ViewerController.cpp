// The found viewer's window and its navigation over the found files and
// their occurrences.
#include "ui/viewer/ViewerController.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeySequence>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <algorithm>
#include <climits>

#include "engine/tw.h"
#include "ui/common/shared_texts.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/defaults.h"
#include "ui/toolkit/drop.h"
#include "ui/toolkit/pulldown.h"
#include "ui/toolkit/text.h"
#include "ui/viewer/FoundListModel.h"
#include "ui_ViewerController.h"

namespace tw::ui {

using shared_texts::error_title_s;
using shared_texts::ok_s;

namespace {

const char* const no_occurrence_s[2] = {"No occurrence found", "Aucune occurrence trouvée"};
const char* const search_stopped_s[2] = {"Search stopped", "Recherche arrêtée"};
const char* const search_error_s[2] = {"Search ended on an error", "Recherche terminée sur une erreur"};
const char* const unfinished_s[2] = {"Search did not finish", "Recherche inachevée"};
const char* const stopped_line_s[2] = {
    "Search stopped: only the files found before the stop are listed.",
    "Recherche arrêtée : seuls les fichiers trouvés avant l'arrêt sont listés."};
const char* const error_line_s[2] = {"Search ended on an error: %1",
                                     "Recherche terminée sur une erreur : %1"};
const char* const unfinished_line_s[2] = {
    "Search did not finish: the result may be incomplete.",
    "Recherche inachevée : le résultat peut être incomplet."};

// The user-defaults key under which the window's frame is kept.
constexpr const char* kFrameKey = "Found Viewer Window";

}  // namespace

ViewerController::ViewerController(tw::Engine& engine, QObject* parent)
    : QObject(parent), engine_(engine), ui_(new Ui::ViewerWindow) {
    hexa_or_text_type_ = kModeText;
    window_ = new QWidget(nullptr, Qt::Window);
    ui_->setupUi(window_);
    window_->installEventFilter(this);
    restore_frame();
    awake_from_nib();
    restore_list_split();
}

ViewerController::~ViewerController() {
    save_frame();
    save_list_split();
    delete window_;
}

void ViewerController::awake_from_nib() {
    new DropTarget(
        window_, [this](const QStringList& paths, QPoint) { conclude_drop_items(paths); },
        [this](const QString& text, QPoint) { conclude_drop_string(text); });
    connect_controls();
    add_shortcuts();
    setup_found_list();
    setup_context_actions();
    setup_window_scrolling();
    ui_->text_viewer_ref->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The pull-downs first: clearing the view enables and disables them.
    set_launcher_popup();
    set_hexa_or_text_popup();
    clear_view();
    make_active(false);
}

void ViewerController::connect_controls() {
    connect(ui_->next_occ_but_ref, &QPushButton::clicked, this, &ViewerController::Next_occ_but);
    connect(ui_->previous_occ_but_ref, &QPushButton::clicked, this,
            &ViewerController::Previous_occ_but);
    connect(ui_->go_occ_but_ref, &QPushButton::clicked, this, &ViewerController::Go_occ_but);
    connect(ui_->occ_index_tf_ref, &QLineEdit::returnPressed, this,
            &ViewerController::Occ_index_tf);
    connect(ui_->occ_slider_ref, &QSlider::valueChanged, this, [this] {
        if (!updating_sliders_) Occ_slider();
    });
    connect(ui_->next_file_but_ref, &QPushButton::clicked, this, &ViewerController::Next_file_but);
    connect(ui_->previous_file_but_ref, &QPushButton::clicked, this,
            &ViewerController::Previous_file_but);
    connect(ui_->go_file_but_ref, &QPushButton::clicked, this, &ViewerController::Go_file_but);
    connect(ui_->file_index_tf_ref, &QLineEdit::returnPressed, this,
            &ViewerController::File_index_tf);
    connect(ui_->file_slider_ref, &QSlider::valueChanged, this, [this] {
        if (!updating_sliders_) File_slider();
    });
    connect(ui_->show_in_finder_but_ref, &QPushButton::clicked, this,
            &ViewerController::Show_in_finder_but);
    connect(ui_->info_but_ref, &QPushButton::clicked, this, &ViewerController::Info_but);
    connect(ui_->unreadable_but_ref, &QPushButton::clicked, this, &ViewerController::Unreadable_but);
}

void ViewerController::add_shortcuts() {
    // Window-wide, so they work whichever control has the focus; Page Up
    // and Page Down are left to the text area for scrolling.
    const struct {
        QKeySequence key;
        void (ViewerController::*action)();
    } keys[] = {
        {QKeySequence(Qt::Key_F3), &ViewerController::Next_occ_key},
        {QKeySequence(Qt::CTRL | Qt::Key_Down), &ViewerController::Next_occ_but},
        {QKeySequence(Qt::SHIFT | Qt::Key_F3), &ViewerController::Previous_occ_key},
        {QKeySequence(Qt::CTRL | Qt::Key_Up), &ViewerController::Previous_occ_but},
        {QKeySequence(Qt::CTRL | Qt::Key_Right), &ViewerController::Next_file_but},
        {QKeySequence(Qt::CTRL | Qt::Key_Left), &ViewerController::Previous_file_but},
    };
    for (const auto& k : keys) {
        auto* shortcut = new QShortcut(k.key, window_);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, k.action);
    }
    // An index field keeps Ctrl+arrows for moving by words: take them
    // back for stepping.
    ui_->occ_index_tf_ref->installEventFilter(this);
    ui_->file_index_tf_ref->installEventFilter(this);
}

// ---- Showing ------------------------------------------------------------------

void ViewerController::show_view() {
    refresh_view(true);
    set_window_visible(true);
}

tw::u64 ViewerController::refresh_view(bool alert_on_error) {
    tw::SummaryRecord& sur = engine_.sur;
    int state = kViewNothing;
    // While a search runs, only the found files listed are read: the
    // search has written them out.
    const tw::u64 r = engine_.build_summary(live_ ? found_list_model_->list().size() : ~tw::u64{0});
    if (r != 0) {
        sur.summary_status = r;
        if (alert_on_error) show_error(r);
    } else if (sur.summary_status != 0) {
        state = kViewFileOnly;
    } else if (sur.file_nb >= 1) {
        state = kViewOccurrence;
    }
    // The list first: the steps and the file index count in its rows.
    update_found_list();
    if (r == 0 && mode_pending_) {
        choose_mode_for_result();
        mode_pending_ = false;
    }
    show_it(state);
    if (!live_) show_result_state(r == 0 && state == kViewNothing);
    show_search_description(r == 0);
    follow_current_file();
    return r;
}

tw::u64 ViewerController::offer_last_result() {
    tw::SummaryRecord& sur = engine_.sur;
    sur.file_index = 0;
    sur.occ_index = 0;
    const tw::u64 r = refresh_view(false);
    if (r != 0 || sur.file_nb == 0) {
        clear_view();
        return 0;
    }
    return sur.file_nb;
}

QLabel* ViewerController::result_state_line() const { return ui_->result_state_ref; }

void ViewerController::show_result_state(bool nothing_found) {
    const int l = engine_.language != 0 ? 1 : 0;
    if (nothing_found) show_plain_message(QString::fromUtf8(no_occurrence_s[l]));
    // A stopped search, one that ended on an error and one that never
    // finished do not look finished: the title names them and a line above
    // the list says what the result holds, and how many files and folders
    // could not be read.
    const tw::ResultInfo& info = engine_.result_info;
    const char* state = nullptr;
    QString line;
    const UnreadableItems& unreadable = unreadable_items_;
    if (info.status == tw::RESULT_STOPPED) {
        state = search_stopped_s[l];
        line = unreadable.ended_search && !unreadable.listed.isEmpty()
                   ? stopped_at_line(unreadable.listed.first(), l)
                   : QString::fromUtf8(stopped_line_s[l]);
    } else if (info.status == tw::RESULT_ERROR) {
        state = search_error_s[l];
        line = info.error_code != 0 && info.error_code < tw::TW_ERR_TEXT_NB
                   ? QString::fromUtf8(error_line_s[l]).arg(QString::fromUtf8(engine_.error_text(info.error_code)))
                   : QString::fromUtf8(search_error_s[l]) + u'.';
    } else if (info.status == tw::RESULT_RUNNING) {
        state = unfinished_s[l];
        line = QString::fromUtf8(unfinished_line_s[l]);
    }
    if (unreadable.total > 0) {
        if (!line.isEmpty()) line += u' ';
        line += unreadable_count_line(unreadable.total, l);
    }
    ui_->unreadable_but_ref->setText(unreadable_button_title(l));
    ui_->unreadable_but_ref->setVisible(unreadable.total > 0);
    if (base_title_.isEmpty()) base_title_ = window_->windowTitle();
    window_->setWindowTitle(state != nullptr ? base_title_ + QStringLiteral(" — ") + QString::fromUtf8(state)
                                             : base_title_);
    ui_->text_viewer_ref->setToolTip(state != nullptr ? QString::fromUtf8(state) : QString());
    ui_->result_state_ref->setText(line);
    ui_->result_state_ref->setVisible(!line.isEmpty());
}

void ViewerController::clear_view() {
    engine_.sur.file_nb = 0;
    engine_.sur.occ_nb = 0;
    show_it(kViewNothing);
    // A new search or another target: the list and the state line go too.
    if (found_list_model_ != nullptr) found_list_model_->clear();
    show_found_list_status(QString());
    ui_->result_state_ref->clear();
    ui_->result_state_ref->setVisible(false);
    show_search_description(false);
    unreadable_items_ = UnreadableItems{};
    ui_->unreadable_but_ref->setVisible(false);
    if (unreadable_panel_ != nullptr) unreadable_panel_->close();
    if (!base_title_.isEmpty()) window_->setWindowTitle(base_title_);
    ui_->text_viewer_ref->setToolTip(QString());
}

void ViewerController::set_unreadable_items(UnreadableItems items) {
    unreadable_items_ = std::move(items);
}

void ViewerController::Unreadable_but() {
    if (unreadable_items_.total == 0) return beep();
    // Made again each time: it lists the items of the result now shown.
    if (unreadable_panel_ != nullptr) unreadable_panel_->close();
    unreadable_panel_ = make_unreadable_panel(window_, unreadable_items_, engine_.language);
    unreadable_panel_->show();
    unreadable_panel_->raise();
}

void ViewerController::show_it(int state) {
    const tw::SummaryRecord& sur = engine_.sur;
    display_state_ = state;
    reset_window();
    show_file_content(state);
    show_view_filename(state);
    show_view_foldername(state);
    show_view_offset(state);
    show_view_line(state);
    show_view_file_nb_and_index(state);
    show_view_occ_nb_and_index(state);

    const bool occurrence = state == kViewOccurrence;
    ui_->next_occ_but_ref->setEnabled(occurrence && sur.occ_index + 2 <= sur.occ_nb);
    ui_->previous_occ_but_ref->setEnabled(occurrence && sur.occ_index > 0);
    const bool file_controls = state != kViewNothing && sur.file_nb > 0;
    launcher_popup_->setEnabled(file_controls);
    hexa_or_text_popup_->setEnabled(file_controls);
    ui_->show_in_finder_but_ref->setEnabled(file_controls);
    ui_->info_but_ref->setEnabled(file_controls);
    show_file_position();

    const bool occ_controls = occurrence && sur.occ_nb > 0;
    ui_->occ_slider_ref->setEnabled(occ_controls);
    ui_->go_occ_but_ref->setEnabled(occ_controls);
    ui_->occ_index_tf_ref->setEnabled(occ_controls);
    if (occ_controls) {
        set_slider(ui_->occ_slider_ref, sur.occ_nb, sur.occ_index);
        ui_->occ_index_tf_ref->setText(QString::number(sur.occ_index + 1));
    }
}

void ViewerController::set_slider(QSlider* slider, tw::u64 count, tw::u64 value) {
    // A slider holds an int: a larger count keeps its last positions apart
    // from the end, which the index field still reaches.
    const int top = count - 1 > static_cast<tw::u64>(INT_MAX) ? INT_MAX : static_cast<int>(count - 1);
    const int at = value > static_cast<tw::u64>(top) ? top : static_cast<int>(value);
    updating_sliders_ = true;
    slider->setRange(0, top);
    slider->setValue(at);
    updating_sliders_ = false;
}

void ViewerController::show_view_filename(int state) {
    if (state != kViewNothing) {
        engine_.set_summary_filename();
        ui_->filename_ref->setText(display_shortened_name(engine_.sur.file_name_shown));
        ui_->filename_ref->setToolTip(display_name(engine_.sur.file_name_ptr));
    } else {
        ui_->filename_ref->clear();
        ui_->filename_ref->setToolTip(QString());
    }
}

void ViewerController::show_view_foldername(int state) {
    if (state != kViewNothing) {
        engine_.set_summary_dirname();
        ui_->foldername_ref->setText(display_shortened_name(engine_.sur.dir_name_shown));
        ui_->foldername_ref->setToolTip(display_name(engine_.sur.dir_name_ptr));
    } else {
        ui_->foldername_ref->clear();
        ui_->foldername_ref->setToolTip(QString());
    }
}

void ViewerController::show_view_offset(int state) {
    // In decimal and in hexadecimal, as the dump's rows are.
    const auto offset = engine_.sur.occ_offset;
    ui_->offset_ref->setText(state == kViewOccurrence
                                 ? QStringLiteral("%1 (0x%2)").arg(offset).arg(QString::number(offset, 16).toUpper())
                                 : QString());
}

void ViewerController::show_view_line(int state) {
    const tw::SummaryRecord& sur = engine_.sur;
    ui_->line_ref->setText(state == kViewOccurrence && sur.has_line != 0
                               ? QString::number(sur.occ_line + 1)
                               : QString());
}

void ViewerController::show_view_file_nb_and_index(int state) {
    // The place in the list as shown; a dash for a file the filter hides.
    const ListPosition at = list_position();
    ui_->file_nb_and_index_ref->setText(
        state != kViewNothing
            ? QStringLiteral("%1 / %2")
                  .arg(at.listed ? QString::number(at.index + 1) : QStringLiteral("–"))
                  .arg(at.count)
            : QString());
}

void ViewerController::show_file_position() {
    const bool shown = display_state_ != kViewNothing && engine_.sur.file_nb > 0;
    show_view_file_nb_and_index(display_state_);
    ui_->next_file_but_ref->setEnabled(shown && listed_neighbour(1).has_value());
    ui_->previous_file_but_ref->setEnabled(shown && listed_neighbour(-1).has_value());
    const ListPosition at = list_position();
    const bool controls = shown && at.count > 0;
    ui_->file_slider_ref->setEnabled(controls);
    ui_->go_file_but_ref->setEnabled(controls);
    ui_->file_index_tf_ref->setEnabled(controls);
    if (controls) {
        set_slider(ui_->file_slider_ref, at.count, at.index);
        ui_->file_index_tf_ref->setText(at.listed ? QString::number(at.index + 1) : QString());
    }
}

void ViewerController::show_view_occ_nb_and_index(int state) {
    const tw::SummaryRecord& sur = engine_.sur;
    QString shown;
    if (state == kViewOccurrence) {
        shown = QStringLiteral("%1 / %2").arg(sur.occ_index + 1).arg(sur.occ_nb);
        // In a result of several forms, the occurrence's form by its name,
        // or by its number when some form has no name.
        static const char* const form_s[2] = {" (form %1)", " (forme %1)"};
        const auto& forms = engine_.summary_info().forms;
        const bool named = std::none_of(forms.begin(), forms.end(),
                                        [](const tw::FoundForm& f) { return f.name.empty(); });
        if (const tw::FoundForm* form = current_form(); form != nullptr && named)
            shown += QStringLiteral(" (%1)").arg(QString::fromStdString(form->name));
        else if (sur.occ_form != 0)
            shown += QString::fromUtf8(form_s[engine_.language != 0 ? 1 : 0]).arg(sur.occ_form);
    }
    ui_->occ_nb_and_index_ref->setText(shown);
}

void ViewerController::make_active(bool active) {
    launcher_popup_->setEnabled(active);
    hexa_or_text_popup_->setEnabled(active);
    ui_->show_in_finder_but_ref->setEnabled(active);
    ui_->info_but_ref->setEnabled(active);
    ui_->file_slider_ref->setEnabled(active);
    ui_->go_file_but_ref->setEnabled(active);
    ui_->file_index_tf_ref->setEnabled(active);
    ui_->occ_slider_ref->setEnabled(active);
    ui_->go_occ_but_ref->setEnabled(active);
    ui_->occ_index_tf_ref->setEnabled(active);
}

void ViewerController::show_error(tw::u64 code) {
    const int l = engine_.language != 0 ? 1 : 0;
    run_alert(window_, QString::fromUtf8(error_title_s[l]),
              QString::fromUtf8(engine_.error_text(code)), QString::fromUtf8(ok_s[l]));
}

void ViewerController::set_window_visible(bool visible) {
    if (visible) {
        // The list has the keyboard, not the filter: the steps' keys work
        // at once and typing does not filter by surprise.
        QWidget* focus = window_->focusWidget();
        if (focus == nullptr || focus == ui_->found_filter_ref) ui_->found_list_ref->setFocus();
        if (!window_->isVisible()) {
            frame_known_ = true;
            window_->show();
            window_->raise();
        }
    } else if (window_->isVisible()) {
        window_->hide();
    }
}

void ViewerController::bring_to_front() {
    set_window_visible(true);
    window_->raise();
    window_->activateWindow();
}

// ---- Moves ----------------------------------------------------------------------

void ViewerController::Next_occ_but() {
    tw::SummaryRecord& sur = engine_.sur;
    if (display_state_ != kViewOccurrence || sur.occ_index + 1 >= sur.occ_nb) return beep();
    ++sur.occ_index;
    show_view();
}

void ViewerController::Previous_occ_but() {
    tw::SummaryRecord& sur = engine_.sur;
    if (display_state_ != kViewOccurrence || sur.occ_index == 0) return beep();
    --sur.occ_index;
    show_view();
}

void ViewerController::Go_occ_but() {
    tw::SummaryRecord& sur = engine_.sur;
    const std::optional<tw::u64> n = index_from_field(ui_->occ_index_tf_ref->text(), sur.occ_nb);
    if (!n) {
        beep();
        ui_->occ_index_tf_ref->setText(QString::number(sur.occ_index + 1));
        return;
    }
    sur.occ_index = *n;
    show_view();
}

void ViewerController::Occ_index_tf() { Go_occ_but(); }

void ViewerController::Occ_slider() {
    tw::SummaryRecord& sur = engine_.sur;
    const int v = ui_->occ_slider_ref->value();
    if (v < 0 || static_cast<tw::u64>(v) >= sur.occ_nb) return beep();
    sur.occ_index = static_cast<tw::u64>(v);
    show_view();
}

void ViewerController::Next_occ_key() {
    const tw::SummaryRecord& sur = engine_.sur;
    if (display_state_ == kViewOccurrence && sur.occ_index + 1 < sur.occ_nb) return Next_occ_but();
    if (display_state_ == kViewNothing) return beep();
    const std::optional<tw::u64> next = listed_neighbour(1);
    if (!next) return beep();
    go_to_file(*next, 0);
}

void ViewerController::Previous_occ_key() {
    tw::SummaryRecord& sur = engine_.sur;
    if (display_state_ == kViewOccurrence && sur.occ_index > 0) return Previous_occ_but();
    if (display_state_ == kViewNothing) return beep();
    const std::optional<tw::u64> previous = listed_neighbour(-1);
    if (!previous) return beep();
    // Its number of occurrences is known once it is read.
    go_to_file(*previous, 0);
    if (display_state_ == kViewOccurrence && sur.occ_nb > 1) {
        sur.occ_index = sur.occ_nb - 1;
        show_view();
    }
}

void ViewerController::go_to_file(tw::u64 file_index, tw::u64 occ_index) {
    engine_.sur.file_index = file_index;
    engine_.sur.occ_index = occ_index;
    show_view();
}

void ViewerController::Next_file_but() {
    if (display_state_ == kViewNothing) return beep();
    const std::optional<tw::u64> next = listed_neighbour(1);
    if (!next) return beep();
    go_to_file(*next, 0);
}

void ViewerController::Previous_file_but() {
    if (display_state_ == kViewNothing) return beep();
    const std::optional<tw::u64> previous = listed_neighbour(-1);
    if (!previous) return beep();
    go_to_file(*previous, 0);
}

void ViewerController::Go_file_but() {
    // The number counts the rows as listed.
    const ListPosition at = list_position();
    const std::optional<tw::u64> n = index_from_field(ui_->file_index_tf_ref->text(), at.count);
    if (!n) {
        beep();
        ui_->file_index_tf_ref->setText(at.listed ? QString::number(at.index + 1) : QString());
        return;
    }
    go_to_file(listed_file(*n), 0);
}

void ViewerController::File_index_tf() { Go_file_but(); }

void ViewerController::File_slider() {
    const int v = ui_->file_slider_ref->value();
    if (v < 0 || static_cast<tw::u64>(v) >= list_position().count) return beep();
    go_to_file(listed_file(static_cast<tw::u64>(v)), 0);
}

std::optional<tw::u64> ViewerController::index_from_field(const QString& text, tw::u64 count) {
    if (text.isEmpty()) return std::nullopt;
    for (const QChar c : text)
        if (c.unicode() > 0x7F) return std::nullopt;
    // The leading decimal number, after blanks and an optional sign; 0 when
    // there is none. Large numbers saturate (they are out of range anyway).
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    tw::u64 value = 0;
    for (; i < text.size() && text[i].isDigit(); ++i) {
        const tw::u64 digit = static_cast<tw::u64>(text[i].unicode() - u'0');
        value = value > (~tw::u64{0} - digit) / 10 ? ~tw::u64{0} : value * 10 + digit;
    }
    if (negative || value == 0 || value - 1 >= count) return std::nullopt;
    return value - 1;
}

// ---- The window -------------------------------------------------------------------

bool ViewerController::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == ui_->occ_index_tf_ref || watched == ui_->file_index_tf_ref) &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier) {
            void (ViewerController::*action)() = nullptr;
            switch (key->key()) {
            case Qt::Key_Left: action = &ViewerController::Previous_file_but; break;
            case Qt::Key_Right: action = &ViewerController::Next_file_but; break;
            case Qt::Key_Up: action = &ViewerController::Previous_occ_but; break;
            case Qt::Key_Down: action = &ViewerController::Next_occ_but; break;
            default: break;
            }
            if (action != nullptr) {
                if (event->type() == QEvent::KeyPress) (this->*action)();
                event->accept();
                return true;
            }
        }
    }
    if (watched == window_) {
        if (event->type() == QEvent::Close) {
            // Closing the viewer only takes it off the screen.
            static_cast<QCloseEvent*>(event)->ignore();
            set_window_visible(false);
            return true;
        }
        if (event->type() == QEvent::Hide) {
            save_frame();
            save_list_split();
        }
    }
    return QObject::eventFilter(watched, event);
}

void ViewerController::save_frame() const {
    // Only a frame that was shown or restored is worth keeping.
    if (window_ == nullptr || !frame_known_) return;
    save_window_frame(kFrameKey, window_);
}

void ViewerController::restore_frame() {
    frame_known_ = restore_window_frame(kFrameKey, window_);
}

}  // namespace tw::ui
