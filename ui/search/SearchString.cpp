// The search string of the current target: the shared search-string field
// over the window's view and encoding pull-down, and the Return key.
#include <QKeyEvent>
#include <QPlainTextEdit>

#include "ui/search/SearchController.h"
#include "ui/search/search_texts.h"
#include "ui/toolkit/pulldown.h"
#include "ui/toolkit/search_string_field.h"
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
    ui_->string_to_search_ref->installEventFilter(this);
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
        auto* key = static_cast<QKeyEvent*>(event);
        return refuse_key_press(key->key(), key->text());
    }
    return QObject::eventFilter(watched, event);
}

bool SearchController::refuse_key_press(int key, const QString& characters) {
    if (!characters.isEmpty() && engine_.pr.return_key_is_search != 0) {
        const char16_t c = characters.at(0).unicode();
        if (c == 3 || c == 13) {
            do_action_but();
            return true;
        }
    }
    return string_field_->refuse_key_press(key, characters);
}

}  // namespace tw::ui
