// The search string of the current target: the shared search-string field
// over the window's view and encoding pull-down, and the Return key.
#include <QBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>

#include "ui/common/FormsDialog.h"
#include "ui/search/SearchController.h"
#include "ui/search/search_history.h"
#include "ui/search/search_texts.h"
#include "ui/toolkit/pulldown.h"
#include "ui/common/search_string_field.h"
#include "ui_SearchController.h"

namespace tw::ui {

using namespace search_texts;

void SearchController::make_search_string_field() {
    string_field_ = new SearchStringField(
        engine_, engine_.tr, ui_->string_to_search_ref, ui_->rect_for_encoding_popup_ref,
        [this]() -> std::optional<std::uint8_t> {
            if (!ui_->use_wildcard_ref->isChecked()) return std::nullopt;
            const QString field = ui_->wildcard_symbol_ref->text();
            const char16_t c = field.isEmpty() ? 0 : field.at(0).unicode();
            return static_cast<std::uint8_t>(c < 128 ? c : 0);
        },
        [this](u64 code) {
            const char* const(*message)[2] = &cannot_encode_s;
            if (code == tw::ERR_INVALID_DIGIT) message = &invalid_hexa_s;
            else if (code == tw::ERR_MEMORY) message = &no_memory_s;
            show_error(text(*message));
        },
        this);
    // Before the window's own handler of the box, which reads the box.
    string_field_->attach_options(ui_->wildcard_symbol_ref, ui_->use_wildcard_ref,
                                  ui_->case_insensentive_ref);
    // After the field's filter, so that Return is seen here first.
    ui_->string_to_search_ref->installEventFilter(this);
    make_history_button();
}

void SearchController::make_history_button() {
    history_but_ = new QToolButton(widget_);
    history_but_->setObjectName(QStringLiteral("search_history_but_ref"));
    history_but_->setArrowType(Qt::DownArrow);
    history_but_->setPopupMode(QToolButton::InstantPopup);
    history_but_->setAccessibleName(text(history_button_s));
    history_but_->setToolTip(text(history_button_s) + QStringLiteral(" (Alt+↓)"));
    history_but_->setFocusPolicy(Qt::StrongFocus);
    history_menu_ = new QMenu(history_but_);
    history_menu_->setObjectName(QStringLiteral("search_history_menu"));
    history_menu_->setAccessibleName(text(history_button_s));
    history_but_->setMenu(history_menu_);
    connect(history_menu_, &QMenu::aboutToShow, this, &SearchController::fill_history_menu);
    // Beside the encoding pull-down, on the search string's label row.
    auto* row = qobject_cast<QBoxLayout*>(ui_->string_label_row_layout);
    row->insertWidget(row->indexOf(ui_->rect_for_encoding_popup_ref), history_but_);
    forms_but_ = new QToolButton(widget_);
    forms_but_->setObjectName(QStringLiteral("forms_but_ref"));
    forms_but_->setText(text(forms_button_s));
    forms_but_->setAccessibleName(text(forms_button_s));
    connect(forms_but_, &QToolButton::clicked, this, &SearchController::Forms_but);
    row->insertWidget(row->indexOf(ui_->rect_for_encoding_popup_ref), forms_but_);
}

void SearchController::fill_history_menu() {
    history_menu_->clear();
    const QString target =
        QString::fromUtf8(engine_.tr.target_name != nullptr ? engine_.tr.target_name : "");
    const QStringList entries =
        engine_.cur_target_index < 0
            ? QStringList()
            : SearchHistory(QString::fromStdString(engine_.resource_dir_pathname_ptr)).entries(target);
    if (entries.isEmpty()) history_menu_->addAction(text(history_empty_s))->setEnabled(false);
    for (const QString& entry : entries) {
        // One line per string: line breaks shown as their symbol.
        QString title = entry;
        title.replace(u'\n', QChar(0x23CE));
        if (title.size() > 60) title = title.left(60) + QChar(0x2026);
        QAction* item = history_menu_->addAction(title);
        item->setToolTip(entry);
        connect(item, &QAction::triggered, this, [this, entry] {
            if (!ui_->string_to_search_ref->isReadOnly()) set_search_view_text(entry);
        });
    }
}

void SearchController::keep_target_before_search() {
    const i64 index = engine_.cur_target_index;
    if (index < 0) return;
    // The search text in its further encodings follows the text searched.
    if (!engine_.tr.forms.empty()) {
        const auto built = build_forms(choice_of_forms(engine_.tr.forms));
        if (built.ok()) engine_.tr.forms = built.forms;
    }
    // The search runs anyway: only a warning when the file cannot be written.
    if (const u64 code = engine_.save_target_file(static_cast<u64>(index), engine_.tr); code != 0)
        show_error(text(cannot_save_target_s) + QString::fromLatin1(engine_.build_str_err(code)));
    const QString target =
        QString::fromUtf8(engine_.tr.target_name != nullptr ? engine_.tr.target_name : "");
    SearchHistory(QString::fromStdString(engine_.resource_dir_pathname_ptr))
        .add(target, search_view_text());
}

PullDown* SearchController::encoding_popup() const { return string_field_->popup(); }
QString SearchController::search_view_text() const { return string_field_->view_text(); }
void SearchController::set_search_view_text(const QString& t) { string_field_->set_view_text(t); }
u64 SearchController::get_search_str() { return string_field_->get_search_str(); }
u64 SearchController::set_search_str() { return string_field_->set_search_str(); }
u64 SearchController::search_string_is_valid(u64 encoding, u64 is_hexa) const {
    return string_field_->search_string_is_valid(encoding, is_hexa);
}
void SearchController::set_encoding_popup() { string_field_->set_encoding_popup(); }
void SearchController::set_encoding_popup_check_mark() {
    string_field_->set_encoding_popup_check_mark();
}
void SearchController::set_encoding_for_popup_item() {
    string_field_->set_encoding_for_popup_item();
}

bool SearchController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->string_to_search_ref && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier) {
            history_but_->showMenu();
            return true;
        }
        return return_key_pressed(key);
    }
    return QObject::eventFilter(watched, event);
}

bool SearchController::return_key_pressed(const QKeyEvent* key) {
    // Return (or Enter) alone starts or stops the search when the
    // preferences say so; Shift+Return still types a line feed. Every
    // other key goes to the search-string field's own check.
    if (engine_.pr.return_key_is_search == 0) return false;
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    do_action_but();
    return true;
}

}  // namespace tw::ui
