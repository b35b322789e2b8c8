#include "ui/toolkit/search_string_field.h"

#include <QLayout>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <string>
#include <vector>

#include "encoding/string_encoding.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/pulldown.h"
#include "ui/toolkit/text.h"

namespace tw::ui {
namespace {

namespace enc = tw::encoding;

// Encoding pull-down items: 0 the title, 1 to 15 the fixed encodings.
constexpr int kUserDefinedItem = 16;
constexpr int kHexadecimalItem = 18;

bool is_blank(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; }

bool is_hex_digit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

EncodingId encoding_of(u64 stored) { return static_cast<EncodingId>(stored); }

}  // namespace

SearchStringField::SearchStringField(tw::Engine& engine, tw::TargetRecord& record,
                                     QPlainTextEdit* view, QWidget* popup_holder,
                                     WildcardSource wildcard,
                                     std::function<void(tw::u64)> switch_failed,
                                     QObject* parent)
    : QObject(parent), engine_(engine), record_(record), view_(view),
      popup_holder_(popup_holder), wildcard_(std::move(wildcard)),
      switch_failed_(std::move(switch_failed)) {}

QString SearchStringField::view_text() const {
    // The raw text keeps every character as typed (the plain text would turn
    // a no-break space into a space); only the view's line separators become
    // line feeds.
    QString raw = view_->document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    raw.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return raw;
}

void SearchStringField::set_view_text(const QString& shown) { view_->setPlainText(shown); }

u64 SearchStringField::search_bytes(QByteArray* out) const {
    const QString typed = view_text();
    const std::optional<std::uint8_t> wild = wildcard();
    if (record_.is_hexa != 0) {
        if (typed.isEmpty()) return tw::ERR_CORRUPTED;
        QByteArray ascii;
        ascii.reserve(typed.size());
        for (QChar c : typed) {
            if (c.unicode() >= 128 || c.unicode() == 0) return tw::ERR_INVALID_DIGIT;
            ascii.append(static_cast<char>(c.unicode()));
        }
        // One byte for every two digits or one wildcard, and the NUL.
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(ascii.size()) + 1);
        u64 count = 0;
        i64 err_pos = -1;
        if (tw::hexa_str_to_bytes_array(ascii.constData(), bytes.data(), &count, &err_pos,
                                        wild ? static_cast<i64>(*wild) : -1) != 0)
            return tw::ERR_INVALID_DIGIT;
        // Only blanks: nothing to search.
        if (count == 0) return tw::ERR_CORRUPTED;
        *out = QByteArray(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(count));
    } else {
        const std::optional<QByteArray> bytes = text_to_bytes(typed, encoding_of(record_.encoding));
        if (!bytes || bytes->isEmpty()) return tw::ERR_CORRUPTED;
        *out = *bytes;
    }
    if (wild && (static_cast<std::uint8_t>(out->front()) == *wild ||
                 static_cast<std::uint8_t>(out->back()) == *wild))
        return tw::ERR_INVALID_NAME;
    return 0;
}

u64 SearchStringField::get_search_str() {
    QByteArray bytes;
    const u64 code = search_bytes(&bytes);
    if (code == tw::ERR_INVALID_DIGIT) {
        // The record keeps no bytes that the view no longer shows.
        engine_.set_target_search_str(record_, nullptr, 0);
        return code;
    }
    if (code != 0 && code != tw::ERR_INVALID_NAME) return code;
    if (engine_.set_target_search_str(record_,
                                      reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                      static_cast<u64>(bytes.size())) != 0)
        return tw::ERR_MEMORY;
    return code;
}

u64 SearchStringField::set_search_str() {
    const tw::TargetRecord& t = record_;
    if (t.search_str == nullptr || t.search_str_len == 0) {
        set_view_text(QString());
        return 0;
    }
    if (t.is_hexa != 0) {
        std::string shown;
        try {
            shown.resize(static_cast<std::size_t>(t.search_str_len) * 3 + 1);
        } catch (const std::bad_alloc&) {
            return tw::ERR_MEMORY;
        }
        const std::optional<std::uint8_t> wild = wildcard();
        const u64 length = tw::bytes_array_to_hexa_str(shown.data(), t.search_str,
                                                       t.search_str_len, wild ? *wild : ~u64{0});
        set_view_text(QString::fromLatin1(shown.data(), static_cast<qsizetype>(length)));
        return 0;
    }
    // Every stored byte is read, in every encoding. A text that would hold a
    // zero character cannot be shown and typed back: it is refused rather
    // than cut at its first zero byte, which would search another string.
    const std::optional<QString> shown =
        bytes_to_text(reinterpret_cast<const char*>(t.search_str),
                      static_cast<qsizetype>(t.search_str_len), encoding_of(t.encoding));
    if (!shown || shown->isEmpty() || shown->contains(QChar(0))) return tw::ERR_CORRUPTED;
    set_view_text(*shown);
    return 0;
}

void SearchStringField::show_search_str() {
    if (set_search_str() == 0) return;
    record_.is_hexa = 1;
    if (set_search_str() != 0) set_view_text(QString());
    set_encoding_popup_check_mark();
}

u64 SearchStringField::search_string_is_valid(u64 encoding, u64 is_hexa) const {
    const QString typed = view_text();
    if (typed.isEmpty()) return 0;
    if (is_hexa != 0) {
        const std::optional<std::uint8_t> wild = wildcard();
        for (QChar ch : typed) {
            const char16_t c = ch.unicode();
            if (c >= 128) return tw::ERR_INVALID_DIGIT;
            if (is_hex_digit(c) || is_blank(c)) continue;
            if (wild && c == *wild) continue;
            return tw::ERR_INVALID_DIGIT;
        }
        return 0;
    }
    const std::optional<qsizetype> length = encoded_length(typed, encoding_of(encoding));
    if (!length || *length == 0) return tw::ERR_CORRUPTED;
    return 0;
}

bool SearchStringField::refuse_key_press(int key, const QString& characters) const {
    // Keys without characters (arrows, modifiers) change no text.
    if (characters.isEmpty()) return false;
    const char16_t c = characters.at(0).unicode();
    if (c == 8 || c == 127 || key == Qt::Key_Backspace || key == Qt::Key_Delete) return false;
    // A read-only view refuses the key itself.
    if (view_->isReadOnly()) return false;
    if (search_string_is_valid(record_.encoding, record_.is_hexa) != 0) {
        beep();
        return true;
    }
    return false;
}

// ---- The encoding pull-down ------------------------------------------------------

void SearchStringField::set_encoding_popup() {
    const auto language = engine_.language != 0 ? enc::Language::French : enc::Language::English;
    auto utf8 = [](std::string_view s) {
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    };
    QStringList titles{utf8(enc::popup_title(language))};
    for (const enc::FixedEncoding& row : enc::fixed_encodings())
        titles.append(utf8(row.title(language)));
    titles.append(utf8(enc::user_defined_title(language)));

    auto* popup = new PullDown(popup_holder_);
    popup->setObjectName(QStringLiteral("encoding_popup"));
    popup->setAccessibleName(utf8(enc::popup_title(language)));
    popup->add_items(titles);
    popup->add_separator();
    popup->add_item(utf8(enc::hexadecimal_title(language)));
    popup->set_action([this](int) { set_encoding_for_popup_item(); });
    popup->size_to_fit();
    delete popup_;
    popup_holder_->layout()->addWidget(popup);
    popup_ = popup;
    set_encoding_popup_check_mark();
}

void SearchStringField::set_encoding_popup_check_mark() {
    if (popup_ == nullptr) return;
    bool found = false;
    const auto rows = enc::fixed_encodings();
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const int item = static_cast<int>(row) + 1;
        if (record_.encoding == rows[row].id) {
            popup_->set_state(item, record_.is_hexa != 0 ? ItemState::Mixed : ItemState::On);
            found = true;
        } else {
            popup_->set_state(item, ItemState::Off);
        }
    }
    popup_->set_state(kUserDefinedItem, found ? ItemState::Off : ItemState::On);
    popup_->set_state(kHexadecimalItem, record_.is_hexa != 0 ? ItemState::On : ItemState::Off);
}

void SearchStringField::set_encoding_for_popup_item() {
    const int i = popup_->index_of_selected_item() - 1;
    const auto rows = enc::fixed_encodings();
    u64 encoding = record_.encoding;
    u64 is_hexa = 0;
    if (i == kUserDefinedItem - 1) {
        encoding = enc::stored_from_registry(
            static_cast<std::uint32_t>(engine_.pr.user_defined_encoding));
    } else if (i >= 0 && i < static_cast<int>(rows.size())) {
        encoding = rows[static_cast<std::size_t>(i)].id;
    } else {
        is_hexa = record_.is_hexa != 0 ? 0 : 1;
    }

    if (view_text().isEmpty()) {
        record_.encoding = encoding;
        record_.is_hexa = is_hexa;
        set_encoding_popup_check_mark();
        return;
    }
    // The text is read under the old setting and shown under the new one.
    // When the bytes cannot be shown under the new one, the record goes back
    // to the old setting: the view, the marks and the record always agree.
    const u64 old_encoding = record_.encoding;
    const u64 old_is_hexa = record_.is_hexa;
    u64 code = search_string_is_valid(record_.encoding, record_.is_hexa);
    if (code == 0) code = get_search_str();
    if (code == 0) {
        record_.encoding = encoding;
        record_.is_hexa = is_hexa;
        code = set_search_str();
        if (code != 0) {
            record_.encoding = old_encoding;
            record_.is_hexa = old_is_hexa;
        }
    }
    if (code == 0) {
        set_encoding_popup_check_mark();
        return;
    }
    if (switch_failed_) switch_failed_(code);
}

}  // namespace tw::ui
