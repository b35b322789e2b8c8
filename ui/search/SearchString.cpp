// The search string: the view's text to the target's bytes and back, in the
// target's encoding or as hexadecimal, the check of each key press, and the
// encoding pull-down.
#include <QDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <vector>

#include "encoding/string_encoding.h"
#include "ui/search/SearchController.h"
#include "ui/search/search_texts.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/pulldown.h"
#include "ui/toolkit/text.h"
#include "ui_SearchController.h"

namespace tw::ui {

using namespace search_texts;

namespace {

namespace enc = tw::encoding;

// Encoding pull-down items.
constexpr int kUserDefinedItem = 16;
constexpr int kHexadecimalItem = 18;

bool is_blank(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; }

bool is_hex_digit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

EncodingId encoding_of(u64 stored) { return static_cast<EncodingId>(stored); }

}  // namespace

QString SearchController::search_view_text() const {
    // The raw text keeps every character as typed (the plain text would turn
    // a no-break space into a space); only the view's line separators become
    // line feeds.
    QString raw = ui_->string_to_search_ref->document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    raw.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return raw;
}

void SearchController::set_search_view_text(const QString& shown) {
    ui_->string_to_search_ref->setPlainText(shown);
}

u64 SearchController::get_search_str() {
    tw::TargetRecord& tr = engine_.tr;
    const QString typed = search_view_text();
    if (tr.is_hexa != 0) {
        if (typed.isEmpty()) return tw::ERR_CORRUPTED;
        QByteArray ascii;
        ascii.reserve(typed.size());
        for (QChar c : typed) {
            if (c.unicode() >= 128 || c.unicode() == 0) {
                engine_.set_target_search_str(tr, nullptr, 0);
                return tw::ERR_INVALID_DIGIT;
            }
            ascii.append(static_cast<char>(c.unicode()));
        }
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(ascii.size()) + 1);
        u64 count = 0;
        i64 err_pos = -1;
        const i64 wildcard = tr.use_wildcard != 0 ? static_cast<i64>(tr.wildcard_char) : -1;
        if (tw::hexa_str_to_bytes_array(ascii.constData(), bytes.data(), &count, &err_pos,
                                        wildcard) != 0) {
            engine_.set_target_search_str(tr, nullptr, 0);
            return tw::ERR_INVALID_DIGIT;
        }
        // Only blanks: nothing to search.
        if (count == 0) return tw::ERR_CORRUPTED;
        if (engine_.set_target_search_str(tr, bytes.data(), count) != 0) return tw::ERR_MEMORY;
    } else {
        const std::optional<QByteArray> bytes = text_to_bytes(typed, encoding_of(tr.encoding));
        if (!bytes || bytes->isEmpty()) return tw::ERR_CORRUPTED;
        if (engine_.set_target_search_str(
                tr, reinterpret_cast<const std::uint8_t*>(bytes->constData()),
                static_cast<u64>(bytes->size())) != 0)
            return tw::ERR_MEMORY;
    }
    if (tr.use_wildcard != 0 && tr.search_str_len != 0 &&
        (tr.search_str[0] == tr.wildcard_char ||
         tr.search_str[tr.search_str_len - 1] == tr.wildcard_char))
        return tw::ERR_INVALID_NAME;
    return 0;
}

u64 SearchController::set_search_str() {
    const tw::TargetRecord& tr = engine_.tr;
    if (tr.search_str == nullptr || tr.search_str_len == 0) {
        set_search_view_text(QString());
        return 0;
    }
    if (tr.is_hexa != 0) {
        std::string shown;
        try {
            shown.resize(static_cast<std::size_t>(tr.search_str_len) * 3 + 1);
        } catch (const std::bad_alloc&) {
            return tw::ERR_MEMORY;
        }
        const u64 wildcard = tr.use_wildcard != 0 ? tr.wildcard_char : ~u64{0};
        const u64 length =
            tw::bytes_array_to_hexa_str(shown.data(), tr.search_str, tr.search_str_len, wildcard);
        set_search_view_text(QString::fromLatin1(shown.data(), static_cast<qsizetype>(length)));
        return 0;
    }
    // Every stored byte is read, in every encoding. A text that would hold a
    // zero character cannot be shown and typed back: it is refused rather
    // than cut at its first zero byte, which would search another string.
    const std::optional<QString> shown =
        bytes_to_text(reinterpret_cast<const char*>(tr.search_str),
                      static_cast<qsizetype>(tr.search_str_len), encoding_of(tr.encoding));
    if (!shown || shown->isEmpty() || shown->contains(QChar(0))) return tw::ERR_CORRUPTED;
    set_search_view_text(*shown);
    return 0;
}

u64 SearchController::search_string_is_valid(u64 encoding, u64 is_hexa) const {
    const QString typed = search_view_text();
    if (typed.isEmpty()) return 0;
    const tw::TargetRecord& tr = engine_.tr;
    if (is_hexa != 0) {
        for (QChar ch : typed) {
            const char16_t c = ch.unicode();
            if (c >= 128) return tw::ERR_INVALID_DIGIT;
            if (is_hex_digit(c) || is_blank(c)) continue;
            if (tr.use_wildcard != 0 && c == tr.wildcard_char) continue;
            return tw::ERR_INVALID_DIGIT;
        }
        return 0;
    }
    const std::optional<qsizetype> length = encoded_length(typed, encoding_of(encoding));
    if (!length || *length == 0) return tw::ERR_CORRUPTED;
    return 0;
}

// ---- The typing check ---------------------------------------------------------

bool SearchController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->string_to_search_ref && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        return refuse_key_press(key->key(), key->text());
    }
    return QObject::eventFilter(watched, event);
}

bool SearchController::refuse_key_press(int key, const QString& characters) {
    // Keys without characters (arrows, modifiers) change no text.
    if (characters.isEmpty()) return false;
    const char16_t c = characters.at(0).unicode();
    if (engine_.pr.return_key_is_search != 0 && (c == 3 || c == 13)) {
        do_action_but();
        return true;
    }
    if (c == 8 || c == 127 || key == Qt::Key_Backspace || key == Qt::Key_Delete) return false;
    // Read-only during a search: the view refuses the key itself.
    if (ui_->string_to_search_ref->isReadOnly()) return false;
    if (search_string_is_valid(engine_.tr.encoding, engine_.tr.is_hexa) != 0) {
        beep();
        return true;
    }
    return false;
}

// ---- The encoding pull-down ------------------------------------------------------

void SearchController::set_encoding_popup() {
    const auto language = engine_.language != 0 ? enc::Language::French : enc::Language::English;
    auto utf8 = [](std::string_view s) {
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    };
    QStringList titles{utf8(enc::popup_title(language))};
    for (const enc::FixedEncoding& row : enc::fixed_encodings())
        titles.append(utf8(row.title(language)));
    titles.append(utf8(enc::user_defined_title(language)));

    QWidget* holder = ui_->rect_for_encoding_popup_ref;
    auto* popup = new PullDown(holder);
    popup->setObjectName(QStringLiteral("encoding_popup"));
    popup->add_items(titles);
    popup->add_separator();
    popup->add_item(utf8(enc::hexadecimal_title(language)));
    popup->set_action([this](int) { set_encoding_for_popup_item(); });
    popup->size_to_fit();
    delete encoding_popup_;
    holder->layout()->addWidget(popup);
    encoding_popup_ = popup;
    set_encoding_popup_check_mark();
}

void SearchController::set_encoding_popup_check_mark() {
    if (encoding_popup_ == nullptr) return;
    const tw::TargetRecord& tr = engine_.tr;
    bool found = false;
    const auto rows = enc::fixed_encodings();
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const int item = static_cast<int>(row) + 1;
        if (tr.encoding == rows[row].id) {
            encoding_popup_->set_state(item, tr.is_hexa != 0 ? ItemState::Mixed : ItemState::On);
            found = true;
        } else {
            encoding_popup_->set_state(item, ItemState::Off);
        }
    }
    encoding_popup_->set_state(kUserDefinedItem, found ? ItemState::Off : ItemState::On);
    encoding_popup_->set_state(kHexadecimalItem,
                               tr.is_hexa != 0 ? ItemState::On : ItemState::Off);
}

void SearchController::set_encoding_for_popup_item() {
    tw::TargetRecord& tr = engine_.tr;
    const int i = encoding_popup_->index_of_selected_item() - 1;
    const auto rows = enc::fixed_encodings();
    u64 encoding = tr.encoding;
    u64 is_hexa = 0;
    if (i == kUserDefinedItem - 1) {
        encoding = enc::stored_from_registry(static_cast<std::uint32_t>(engine_.pr.user_defined_encoding));
    } else if (i >= 0 && i < static_cast<int>(rows.size())) {
        encoding = rows[static_cast<std::size_t>(i)].id;
    } else {
        is_hexa = tr.is_hexa != 0 ? 0 : 1;
    }

    if (search_view_text().isEmpty()) {
        tr.encoding = encoding;
        tr.is_hexa = is_hexa;
        set_encoding_popup_check_mark();
        return;
    }
    // The text is read under the old setting and shown under the new one.
    u64 code = search_string_is_valid(tr.encoding, tr.is_hexa);
    if (code == 0) code = get_search_str();
    if (code == 0) {
        tr.encoding = encoding;
        tr.is_hexa = is_hexa;
        code = set_search_str();
    }
    if (code == 0) {
        set_encoding_popup_check_mark();
        return;
    }
    const char* const(*message)[2] = &cannot_encode_s;
    if (code == tw::ERR_INVALID_DIGIT) message = &invalid_hexa_s;
    else if (code == tw::ERR_MEMORY) message = &no_memory_s;
    show_error(text(*message));
}

}  // namespace tw::ui
