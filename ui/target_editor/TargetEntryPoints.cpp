// The ways the target editor is opened and fed: the entry points that fill
// tr_temp and show the window, drops on the open window, and its coming up
// and closing, which the other windows follow.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "ui/target_editor/TargetController.h"
#include "ui/target_editor/target_editor_texts.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/defaults.h"
#include "ui/common/search_string_field.h"
#include "ui_TargetController.h"

namespace tw::ui {

using namespace target_editor_texts;

namespace {

constexpr int kDroppedPathNameBytes = 31;
constexpr int kDroppedTextNameBytes = 72;

}  // namespace

// ---- Filling tr_temp ----------------------------------------------------------------

QByteArray TargetController::name_from(const QString& source, int max_bytes) {
    QString flat = source;
    for (QChar& c : flat)
        if (c == u'\n' || c == u'\r' || c == u'\t') c = u' ';
    QByteArray name = flat.toUtf8();
    if (name.size() <= max_bytes) return name;
    // Cut before the first byte of the character that does not fit.
    int cut = max_bytes;
    while (cut > 0 && (static_cast<unsigned char>(name.at(cut)) & 0xC0) == 0x80) --cut;
    return name.left(cut);
}

std::vector<tw::TargetItem> TargetController::items_from_paths(const QStringList& paths) const {
    std::vector<tw::TargetItem> items;
    for (const QString& path : paths) {
        const QByteArray local = QFile::encodeName(path);
        const u64 kind = tw::get_type(local.constData());
        // Minus the kind: 0 a file, -1 a folder, another value for anything
        // else (shown as "???" and stored as a file).
        items.push_back({~kind + 1, local.toStdString()});
    }
    return items;
}

u64 TargetController::set_record_search_text(const QString& dropped) {
    const QByteArray bytes = dropped.toUtf8();
    return engine_.set_target_search_str(engine_.tr_temp,
                                         reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                         static_cast<u64>(bytes.size()));
}

void TargetController::reset_record() {
    engine_.clear_target_buffer(engine_.tr_temp);
    engine_.init_target(engine_.tr_temp);
}

bool TargetController::load_record(std::int64_t index) {
    // Read aside: a file that cannot be read whole changes nothing, so the
    // editor never goes on with it and never saves over it.
    tw::TargetRecord loaded{};
    engine_.init_target(loaded);
    if (index < 0 || engine_.load_target_file(static_cast<u64>(index), loaded) != 0) {
        engine_.clear_target_buffer(loaded);
        return false;
    }
    engine_.take_target(engine_.tr_temp, loaded);
    use_this_target_index_ = index;
    saving_new_target_ = false;
    return true;
}

void TargetController::take_screen_into_record() {
    if (!is_open()) return;
    tw::TargetRecord& t = engine_.tr_temp;
    QByteArray bytes;
    const u64 code = string_field_->search_bytes(&bytes);
    options_from_widget(t);
    // A text that does not convert leaves the record's bytes as they were.
    if (code == 0 || string_field_->last_bytes_given())
        engine_.set_target_search_str(t, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                      static_cast<u64>(bytes.size()));
    else if (string_field_->view_text().isEmpty())
        engine_.set_target_search_str(t, nullptr, 0);
    name_and_items_from_widget(t);
}

// ---- The entry points ----------------------------------------------------------------

void TargetController::show_target_window() {
    use_this_target_index_ = -1;
    saving_new_target_ = false;
    reset_record();
    entry_succeeded();
}

void TargetController::show_target_window_index_of_target(std::int64_t index) {
    if (!load_record(index)) return entry_failed();
    entry_succeeded();
}

void TargetController::show_target_window_drop_items(const QStringList& paths) {
    use_this_target_index_ = -1;
    saving_new_target_ = false;
    // The search string and options stay those the editor holds.
    take_screen_into_record();
    if (paths.isEmpty() || engine_.set_target_items(engine_.tr_temp, items_from_paths(paths)) != 0)
        return entry_failed();
    // The last component of the first path without its extension, as a
    // name (a name that is all extension, such as ".profile", is kept).
    QFileInfo first(QDir::cleanPath(paths.first()));
    QString base = first.completeBaseName();
    if (base.isEmpty()) base = first.fileName();
    const QByteArray name = name_from(base, kDroppedPathNameBytes);
    if (engine_.set_target_name(engine_.tr_temp,
                                std::string_view(name.constData(),
                                                 static_cast<std::size_t>(name.size()))) != 0)
        return entry_failed();
    entry_succeeded();
}

void TargetController::show_target_window_drop_string(const QString& dropped) {
    use_this_target_index_ = -1;
    saving_new_target_ = false;
    take_screen_into_record();
    if (set_record_search_text(dropped) != 0) return entry_failed();
    const QByteArray name = name_from(dropped, kDroppedTextNameBytes);
    if (engine_.set_target_name(engine_.tr_temp,
                                std::string_view(name.constData(),
                                                 static_cast<std::size_t>(name.size()))) != 0)
        return entry_failed();
    entry_succeeded();
}

void TargetController::show_target_window_index_of_target_drop_items(std::int64_t index,
                                                                     const QStringList& paths) {
    if (!load_record(index)) return entry_failed();
    if (engine_.append_target_items(engine_.tr_temp, items_from_paths(paths)) != 0)
        return entry_failed();
    entry_succeeded();
}

void TargetController::show_target_window_index_of_target_drop_string(std::int64_t index,
                                                                      const QString& dropped) {
    if (!load_record(index)) return entry_failed();
    if (set_record_search_text(dropped) != 0) return entry_failed();
    entry_succeeded();
}

void TargetController::update_target_window_drop_items(const QStringList& paths) {
    if (!is_open()) {
        if (engine_.append_target_items(engine_.tr_temp, items_from_paths(paths)) != 0)
            return entry_failed();
        return entry_succeeded();
    }
    // What the window shows stays: the dropped items are added to its rows.
    QList<Nodes> rows;
    for (const QString& path : paths) rows.append(nodes_->node_for_path(path));
    nodes_->append(rows);
    update_UI();
    window_->raise();
    window_->activateWindow();
}

void TargetController::update_target_window_drop_string(const QString& dropped) {
    if (set_record_search_text(dropped) != 0) return entry_failed();
    if (!is_open()) return entry_succeeded();
    // Only the search string changes on screen; the name, options and rows
    // the user has changed stay.
    string_field_->show_search_str();
    window_->raise();
    window_->activateWindow();
}

void TargetController::entry_succeeded() {
    // The stored names, against which a new name is checked as it is made.
    engine_.build_target_list();
    set_widget_from_target();
    if (!window_->isVisible()) restore_window_frame(kTargetWindowFrameKey, window_);
    window_->show();
    window_->raise();
    window_->activateWindow();
    window_did_become_main();
    // A new target starts where its search string is typed; a stored one
    // at its name.
    if (use_this_target_index_ < 0) ui_->string_to_search_ref->setFocus();
    else ui_->target_name_ref->setFocus();
}

void TargetController::entry_failed() {
    QWidget* parent = window_->isVisible() ? window_ : nullptr;
    beep();
    run_alert(parent, text(error_title_s), text(connot_set_edit_s), text(ok_s));
}

// ---- The other windows -------------------------------------------------------------------

void TargetController::window_did_become_main() {
    if (!first_time_) return;
    first_time_ = false;
    emit editor_opened();
}

void TargetController::window_will_close() {
    if (first_time_) return;  // the editor was not shown, or has closed already
    save_window_frame(kTargetWindowFrameKey, window_);
    first_time_ = true;
    emit editor_closed();
}

}  // namespace tw::ui
