// The search run: the Search/Stop button, validation and start of a search
// on the engine's thread, the progress timer, the end of a search, and the
// window's idle, running and no-target states.
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "engine/tw_plural.h"
#include "ui/toolkit/AlertController.h"
#include "ui/search/SearchController.h"
#include "ui/search/search_texts.h"
#include "ui/toolkit/defaults.h"
#include "ui/toolkit/pulldown.h"
#include "ui/toolkit/timers.h"
#include "ui_SearchController.h"

namespace tw::ui {

using namespace search_texts;

void SearchController::Search_but() { do_action_but(); }

void SearchController::do_action_but() {
    // The Return key reaches here even when the button cannot be pressed
    // (no target): it does what the button would do, that is nothing.
    if (!ui_->action_but_ref->isEnabled()) return;
    if (action_button_is_search_) {
        engine_.need_stop_searching.store(0, std::memory_order_relaxed);
        start_search();
    } else {
        engine_.need_stop_searching.store(1, std::memory_order_relaxed);
        stop_search();
    }
}

void SearchController::start_search() {
    if (search_is_running()) return;
    engine_.set_show_info(0);
    show_info();

    const u64 code = update_current_target_from_widget();
    if (code != 0) {
        const char* const(*message)[2] = &search_param_error_s;
        if (code == tw::ERR_INVALID_NAME) message = &wildcard_at_end_s;
        else if (code == tw::ERR_INVALID_DIGIT) message = &invalid_hexa_s;
        else if (code == tw::ERR_MEMORY) message = &no_memory_s;
        QString shown = text(*message);
        if (code == tw::ERR_INVALID_NAME) shown += u'\n' + text(wildcard_option_on_s);
        // A refusal that the code alone does not explain says why on a line of its own.
        if (const QString detail = string_field_->refusal_detail(); !detail.isEmpty())
            shown += u'\n' + detail;
        show_error(shown);
        return;
    }

    // The text buffer holds at least one whole occurrence: a longer string
    // is refused here, before the search would replace the last result.
    if (const u64 length = engine_.tr.search_str_len; length > engine_.sr.TEXT_BUF_SIZE) {
        const u64 kib = (length + 1023) / 1024;
        show_error(text(longer_than_text_buffer_s)
                       .arg(length)
                       .arg(engine_.sr.TEXT_BUF_SIZE)
                       .arg(kib));
        return;
    }

    keep_target_before_search();

    // A missing item is only a warning: the search still runs.
    if (const char* missing = engine_.file_or_dir_exist_in_current_target())
        show_error(text(missing_item_s) + QString::fromUtf8(missing));

    // No result of an earlier search stays on show while this one runs:
    // the viewer's list follows this one as it finds files.
    emit live_result_begun();
    live_found_.reset();
    engine_.sinks.push_back(&live_found_);
    set_last_result_line(0);

    const double period = static_cast<double>(engine_.pr.show_info_every) / 1000000.0;
    search_timer_ = start_repeating_timer(this, period, [this] { periodic_task(); });
    un_allow_searching();
    engine_.thread_count = search_threads_default();
    unreadable_listener_.listen();
    // When the thread cannot start, the engine leaves searching_now clear
    // and its code in fatal_err_index: the first tick reports it.
    engine_.start_search_thread();
}

void SearchController::periodic_task() {
    if (engine_.searching_now.load(std::memory_order_acquire) != 0) {
        // Another search (of this or another program) writes the same
        // result folder: say so in the folder field until it has finished.
        const QString waiting = text(waiting_for_result_s);
        if (engine_.waiting_for_result.load(std::memory_order_relaxed) != 0) {
            ui_->folder_name_ref->setText(waiting);
            return;
        }
        if (ui_->folder_name_ref->text() == waiting)
            ui_->folder_name_ref->setText(QString::fromUtf8(engine_.sir.folder_text));
        engine_.set_show_info(1);
        show_info();
        emit live_files_found(live_found_.take());
    } else {
        stop_search();
    }
}

void SearchController::stop_search() {
    stop_timer(search_timer_);
    // Waits until the search thread has left: at once when it ended by
    // itself, after its current unit of work when it was asked to stop.
    engine_.join_search_thread();
    // The thread has left: what it collected can be read.
    UnreadableItems unreadable = unreadable_listener_.take();
    std::erase(engine_.sinks, &live_found_);
    emit live_files_found(live_found_.take());
    emit live_result_ended();
    live_found_.reset();
    allow_searching();
    engine_.set_show_info(2);
    show_info();
    if (engine_.fatal_err_index != 0) {
        engine_.build_fatal_str_err();
        show_error(QString::fromUtf8(engine_.fatal_err_str));
        emit result_cleared();
    } else {
        // A target that does not go on after read errors stopped at its
        // first unreadable item: named here, and its result kept.
        if (unreadable.ended_search && !unreadable.listed.isEmpty())
            show_error(stopped_at_alert(unreadable.listed.first(), engine_.language));
        emit result_ready(unreadable);
    }

    // What the target editor and the menus asked for during the search.
    if (deferred_list_rebuild_) {
        deferred_list_rebuild_ = false;
        set_target_popup();
    }
    if (deferred_target_) {
        const i64 index = *deferred_target_;
        deferred_target_.reset();
        if (!target_saved(index)) show_error(text(cannot_enable_s));
    }
}

QString SearchController::grouped_count(const char* count) {
    // The engine writes counts as plain digits, sizes maybe with a K for
    // units of 1024: the digits are grouped as the locale groups them.
    QString shown = QString::fromUtf8(count);
    const bool kilo = shown.endsWith(QLatin1Char('K'));
    bool is_number = false;
    const qulonglong value = (kilo ? shown.chopped(1) : shown).toULongLong(&is_number);
    if (!is_number) return shown;
    return QLocale().toString(value) + (kilo ? QStringLiteral("K") : QString());
}

void SearchController::show_info() {
    // The summaries keep the engine's wording; the counters are grouped.
    const tw::ShowInfoRecord& sir = engine_.sir;
    if (sir.target_changed) ui_->target_ref->setText(QString::fromUtf8(sir.target_text));
    if (sir.folder_changed) ui_->folder_name_ref->setText(QString::fromUtf8(sir.folder_text));
    if (sir.file_changed) {
        ui_->file_name_ref->setText(QString::fromUtf8(sir.file_text));
        ui_->file_sz_ref->setText(grouped_count(sir.file_size_text));
    }
    if (sir.found_changed) ui_->found_nb_ref->setText(grouped_count(sir.found_text));
    if (sir.files_changed) ui_->files_nb_ref->setText(grouped_count(sir.files_text));
    if (sir.bytes_changed) ui_->total_byte_ref->setText(grouped_count(sir.bytes_text));
    if (sir.errors_changed) ui_->error_ref->setText(grouped_count(sir.errors_text));
    // The engine has already cut long names from the left: show each from
    // its beginning.
    ui_->folder_name_ref->setCursorPosition(0);
    ui_->file_name_ref->setCursorPosition(0);
}

void SearchController::set_search_button() {
    ui_->action_but_ref->setText(text(action_button_is_search_ ? search_s : stop_s));
    ui_->action_but_ref->setEnabled(engine_.cur_target_index >= 0);
}

void SearchController::allow_searching() {
    action_button_is_search_ = true;
    set_search_button();
    set_label_grey(ui_->string_to_search_label_ref, false);
    const bool wildcard = engine_.tr.use_wildcard != 0;
    set_label_grey(ui_->wildcard_symbol_label_ref, !wildcard);
    ui_->wildcard_symbol_ref->setEnabled(wildcard);
    for (QCheckBox* box : {ui_->use_wildcard_ref, ui_->add_line_no_ref,
                           ui_->case_insensentive_ref, ui_->skip_read_access_error_ref,
                           ui_->not_inside_ref})
        box->setEnabled(true);
    set_label_grey(ui_->denied_ref, false);
    ui_->string_to_search_ref->setReadOnly(false);
    if (encoding_popup() != nullptr) encoding_popup()->setEnabled(true);
    if (target_popup_ != nullptr) target_popup_->setEnabled(true);
    make_special_menu_active(true);
}

void SearchController::un_allow_searching() {
    action_button_is_search_ = false;
    set_search_button();
    set_label_grey(ui_->string_to_search_label_ref, true);
    set_label_grey(ui_->wildcard_symbol_label_ref, true);
    for (QCheckBox* box : {ui_->use_wildcard_ref, ui_->add_line_no_ref,
                           ui_->case_insensentive_ref, ui_->skip_read_access_error_ref,
                           ui_->not_inside_ref})
        box->setEnabled(false);
    set_label_grey(ui_->denied_ref, true);
    // The counters stay legible: no field of them is greyed, during a
    // search or after it.
    ui_->string_to_search_ref->setReadOnly(true);
    ui_->wildcard_symbol_ref->setEnabled(false);
    if (encoding_popup() != nullptr) encoding_popup()->setEnabled(false);
    if (target_popup_ != nullptr) target_popup_->setEnabled(false);
    make_special_menu_active(false);
}

void SearchController::no_target_state() {
    un_allow_searching();
    if (target_popup_ != nullptr) target_popup_->setEnabled(true);
    make_special_menu_active(true);
}

void SearchController::make_ready_to_search() {
    if (engine_.cur_target_index < 0) {
        no_target_state();
    } else {
        set_widget();
        allow_searching();
    }
    // The result on show stays browsable (the viewer and the line offering
    // it) until the next search replaces it.
}

void SearchController::offer_last_result(u64 files) { set_last_result_line(files); }

void SearchController::set_last_result_line(u64 files) {
    QLabel* line = ui_->last_result_ref;
    if (files == 0) {
        line->clear();
        line->setVisible(false);
        return;
    }
    line->setText(QString::fromUtf8(tw::count_form(files, engine_.language, last_result_one_s, last_result_s))
                      .arg(QLocale().toString(static_cast<qulonglong>(files))));
    line->setVisible(true);
}

QString SearchController::last_result_line() const {
    return ui_->last_result_ref->isHidden() ? QString() : ui_->last_result_ref->text();
}

bool SearchController::target_saved(i64 index) {
    if (search_is_running()) {
        // The running search keeps its target; the saved one becomes
        // current when the search has ended.
        deferred_target_ = index;
        return true;
    }
    const bool loaded = index >= 0 && engine_.make_target_current(static_cast<u64>(index)) == 0;
    if (!loaded) engine_.cur_target_index = -1;
    make_ready_to_search();
    return loaded;
}

void SearchController::target_list_changed() { set_target_popup(); }

}  // namespace tw::ui
