// The search string's encoding pull-down: its items, the check mark of the
// encoding in use, its button's title, and the choice of another encoding,
// which shows the same bytes in it.
#include <QAbstractButton>
#include <QLayout>
#include <QString>
#include <QStringList>
#include <string_view>

#include "encoding/string_encoding.h"
#include "ui/common/search_string_field.h"
#include "ui/toolkit/pulldown.h"

namespace tw::ui {
namespace {

namespace enc = tw::encoding;

// Encoding pull-down items: 0 the title, 1 to 15 the fixed encodings.
constexpr int kUserDefinedItem = 16;
constexpr int kHexadecimalItem = 18;

enc::EncodingId encoding_of(u64 stored) { return static_cast<enc::EncodingId>(stored); }

const char* const encoding_button_s[2] = {"Encoding: %1", "Encodage\u00A0: %1"};

}  // namespace

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
    popup->add_separator(utf8(enc::separator_title(language)));
    popup->add_item(utf8(enc::hexadecimal_title(language)));
    popup->set_action([this](int) { set_encoding_for_popup_item(); });
    delete popup_;
    popup_holder_->layout()->addWidget(popup);
    popup_ = popup;
    // Wide enough for every title the button may show, so that it keeps its
    // width when the encoding changes.
    shown_titles_.clear();
    for (qsizetype i = 1; i < titles.size(); ++i)
        shown_titles_.append(text(encoding_button_s).arg(titles[i]));
    shown_titles_.append(utf8(enc::hexadecimal_title(language)));
    set_encoding_popup_check_mark();
}

QString SearchStringField::encoding_name() const {
    const auto language = engine_.language != 0 ? enc::Language::French : enc::Language::English;
    auto utf8 = [](std::string_view s) {
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    };
    if (const auto row = enc::fixed_index(encoding_of(record_.encoding)))
        return utf8(enc::fixed_encodings()[*row].title(language));
    // A user-defined encoding also names its character set.
    QString name = utf8(enc::user_defined_title(language));
    if (const auto converter = enc::converter_name(encoding_of(record_.encoding)))
        name += QStringLiteral(" (%1)").arg(utf8(*converter));
    return name;
}

QString SearchStringField::encoding_button_title() const {
    if (record_.is_hexa != 0) {
        const auto language = engine_.language != 0 ? enc::Language::French : enc::Language::English;
        const std::string_view hexa = enc::hexadecimal_title(language);
        return QString::fromUtf8(hexa.data(), static_cast<qsizetype>(hexa.size()));
    }
    return text(encoding_button_s).arg(encoding_name());
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
    // The button names the setting in use; in hexadecimal, its tooltip names
    // the encoding that the bytes go back to.
    const QString shown = encoding_button_title();
    popup_->set_shown_title(shown);
    // A user-defined encoding's name may be the widest title yet: the
    // button grows for it and keeps that width.
    if (!shown_titles_.contains(shown)) shown_titles_.append(shown);
    popup_->size_to_fit(shown_titles_);
    popup_->setAccessibleDescription(popup_->shown_title());
    popup_->setToolTip(record_.is_hexa != 0 ? text(encoding_button_s).arg(encoding_name())
                                            : QString());
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
        // A wildcard that hexadecimal digits would hide keeps the text as it is.
        if (is_hexa != 0) {
            const u64 old_is_hexa = record_.is_hexa;
            record_.is_hexa = 1;
            const bool refused = refuse_wildcard(wildcard());
            record_.is_hexa = old_is_hexa;
            if (refused) return;
        }
    }

    // Hexadecimal means exact bytes: a switch to it turns Ignore case off
    // (the user may turn it on again).
    const bool to_hexadecimal = is_hexa != 0 && record_.is_hexa == 0;
    if (view_text().isEmpty()) {
        record_.encoding = encoding;
        record_.is_hexa = is_hexa;
        set_encoding_popup_check_mark();
        clear_message();
        if (to_hexadecimal && case_box_ != nullptr) case_box_->setChecked(false);
        return;
    }
    // The text is read under the old setting and shown under the new one.
    // When the bytes cannot be shown under the new one, the record goes back
    // to the old setting: the view, the marks and the record always agree.
    const u64 old_encoding = record_.encoding;
    const u64 old_is_hexa = record_.is_hexa;
    u64 code = search_string_is_valid(record_.encoding, record_.is_hexa);
    if (code == 0) {
        code = get_search_str();
        // The bytes are what a switch shows anew; where the wildcard stands
        // in them is checked when a search starts.
        if (code != 0 && last_bytes_given()) code = 0;
    }
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
        // The view was written anew: a change of wildcard is said again.
        if (wildcard_notice_.isEmpty()) clear_message();
        else show_message(wildcard_notice_);
        if (to_hexadecimal && case_box_ != nullptr) case_box_->setChecked(false);
        return;
    }
    if (switch_failed_) switch_failed_(code);
}

}  // namespace tw::ui
