#include "ui/common/search_string_field.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextOption>
#include <memory>
#include <string>
#include <vector>

#include "encoding/string_encoding.h"
#include "ui/common/shared_texts.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/pulldown.h"
#include "ui/toolkit/text.h"

namespace tw::ui {
namespace {

namespace enc = tw::encoding;

// Encoding pull-down items: 0 the title, 1 to 15 the fixed encodings.
constexpr int kUserDefinedItem = 16;
constexpr int kHexadecimalItem = 18;

EncodingId encoding_of(u64 stored) { return static_cast<EncodingId>(stored); }

// The Unicode separators that the view uses for a line feed (between its
// paragraphs) and for a carriage return (inside a paragraph).
constexpr char16_t kLineFeedInView = QChar::ParagraphSeparator;
constexpr char16_t kCarriageReturnInView = QChar::LineSeparator;

// Texts of the message line and of the encoding pull-down's button.
const char* const not_encodable_s[2] = {"\u201C%1\u201D cannot be encoded in %2",
                                        "\u00AB\u00A0%1\u00A0\u00BB ne peut pas \u00EAtre encod\u00E9 en %2"};
const char* const not_hexadecimal_s[2] = {
    "\u201C%1\u201D cannot be typed in %2: only the digits 0-9 and A-F, blanks and the wildcard",
    "\u00AB\u00A0%1\u00A0\u00BB ne peut pas \u00EAtre saisi en %2\u00A0: seulement les chiffres 0-9 et A-F, "
    "les blancs et le joker"};
const char* const cannot_paste_s[2] = {"Cannot paste: %1", "Collage impossible\u00A0: %1"};
const char* const pasted_separator_s[2] = {
    "Cannot paste: the text holds a Unicode line or paragraph separator (U+2028, U+2029)",
    "Collage impossible\u00A0: le texte contient un s\u00E9parateur Unicode de ligne ou de "
    "paragraphe (U+2028, U+2029)"};
const char* const encoding_button_s[2] = {"Encoding: %1", "Encodage\u00A0: %1"};
// The line under an alert when the case option makes the wildcard a letter
// of the string.
const char* const wildcard_folded_s[2] = {
    "While the case is ignored, the wildcard \u201C%1\u201D is folded together with the letter "
    "%2 of the search string: choose a wildcard that is not a letter.",
    "Quand la casse est ignor\u00E9e, le joker \u00AB\u00A0%1\u00A0\u00BB se confond avec la lettre "
    "%2 de la phrase recherch\u00E9e\u00A0: choisissez un joker qui ne soit pas une lettre."};
const char* const message_name_s[2] = {"Search string message", "Message de la phrase recherch\u00E9e"};

}  // namespace

// ---- The view -----------------------------------------------------------------------

SearchStringView::SearchStringView(QWidget* parent) : QPlainTextEdit(parent) {}

void SearchStringView::insertFromMimeData(const QMimeData* source) {
    // Only text goes in, checked first, with its carriage returns kept.
    if (source == nullptr || !source->hasText()) return;
    const QString pasted = source->text();
    if (insert_check_ && !insert_check_(pasted)) return;
    insertPlainText(SearchStringField::view_form(pasted));
    ensureCursorVisible();
}

SearchStringField::SearchStringField(tw::Engine& engine, tw::TargetRecord& record,
                                     QPlainTextEdit* view, QWidget* popup_holder,
                                     WildcardSource wildcard,
                                     std::function<void(tw::u64)> switch_failed,
                                     QObject* parent)
    : QObject(parent), engine_(engine), record_(record), view_(view),
      popup_holder_(popup_holder), wildcard_(std::move(wildcard)),
      switch_failed_(std::move(switch_failed)) {
    // Every line break shows its mark: a pilcrow ends each paragraph (a line
    // feed), a return arrow stands for a carriage return.
    QTextDocument* document = view_->document();
    QTextOption option = document->defaultTextOption();
    option.setFlags(option.flags() | QTextOption::ShowLineAndParagraphSeparators);
    document->setDefaultTextOption(option);

    // The message line, under the view.
    QWidget* holder = view_->parentWidget();
    message_ = new QLabel(holder);
    message_->setObjectName(QStringLiteral("string_message_ref"));
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message_->setAccessibleName(text(message_name_s));
    message_->hide();
    if (auto* box = qobject_cast<QBoxLayout*>(holder != nullptr ? holder->layout() : nullptr)) {
        const int at = box->indexOf(view_);
        if (at >= 0) box->insertWidget(at + 1, message_);
    }
    connect(view_, &QPlainTextEdit::textChanged, this, &SearchStringField::clear_message);

    if (auto* checked = qobject_cast<SearchStringView*>(view_))
        checked->set_insert_check([this](const QString& t) { return !refuse_paste(t); });
    view_->installEventFilter(this);
}

QString SearchStringField::text(const char* const (&pair)[2]) const {
    return text_in(pair, engine_.language);
}

QString SearchStringField::typed_form(const QString& view_raw) {
    QString typed = view_raw;
    typed.replace(QChar(kLineFeedInView), QLatin1Char('\n'));
    typed.replace(QChar(kCarriageReturnInView), QLatin1Char('\r'));
    return typed;
}

QString SearchStringField::view_form(const QString& typed) {
    // A line feed makes a new paragraph of the view by itself; a carriage
    // return would too, so it is held as a line separator instead.
    QString shown = typed;
    shown.replace(QLatin1Char('\r'), QChar(kCarriageReturnInView));
    return shown;
}

QString SearchStringField::view_text() const {
    // The raw text keeps every character as typed (the plain text would turn
    // a no-break space into a space).
    return typed_form(view_->document()->toRawText());
}

void SearchStringField::set_view_text(const QString& shown) {
    view_->setPlainText(view_form(shown));
}

// A character as a message names it: itself, or its code when it does not
// print (a control character, a lone surrogate).
QString SearchStringField::shown_character(const QString& one) {
    if (one.size() == 1 && !one.at(0).isPrint())
        return QStringLiteral("U+%1").arg(one.at(0).unicode(), 4, 16, QLatin1Char('0')).toUpper();
    return one;
}

bool SearchStringField::hides_in_hexadecimal(std::uint8_t c) {
    return tw::pattern::hides_in_hexadecimal(c);
}

tw::pattern::Options SearchStringField::pattern_options(u64 encoding, u64 is_hexa) const {
    tw::pattern::Options options;
    options.hexadecimal = is_hexa != 0;
    options.encoding = encoding_of(encoding);
    options.wildcard = wildcard();
    options.ignore_case = case_folding();
    return options;
}

tw::pattern::Compiled SearchStringField::compile_view() const {
    const QString typed = view_text();
    return tw::pattern::compile(std::u16string_view(reinterpret_cast<const char16_t*>(typed.utf16()),
                                                    static_cast<std::size_t>(typed.size())),
                                pattern_options(record_.encoding, record_.is_hexa));
}

u64 SearchStringField::search_bytes(QByteArray* out,
                                    std::optional<std::uint8_t>* stored_wildcard) const {
    const tw::pattern::Compiled compiled = compile_view();
    last_refusal_ = compiled.refusal;
    last_letter_ = compiled.letter;
    last_symbol_ = compiled.wildcard.value_or(0);
    const u64 code = tw::pattern::result_code(compiled.refusal);
    if (code != 0 && !last_bytes_given()) return code;
    *out = QByteArray(compiled.bytes.data(), static_cast<qsizetype>(compiled.bytes.size()));
    if (stored_wildcard != nullptr) *stored_wildcard = compiled.wildcard;
    return code;
}

QString SearchStringField::refusal_detail() const {
    if (last_refusal_ != tw::pattern::Refusal::WildcardFoldedWithLetter) return QString();
    const QChar small(last_letter_);
    return text(wildcard_folded_s).arg(QChar(last_symbol_), QString(small.toUpper()) + u'/' + small);
}

u64 SearchStringField::get_search_str() {
    if (const u64 code = settle_wildcard(); code != 0) return code;
    QByteArray bytes;
    std::optional<std::uint8_t> stored_wildcard;
    const u64 code = search_bytes(&bytes, &stored_wildcard);
    if (code == tw::ERR_INVALID_DIGIT) {
        // The record keeps no bytes that the view no longer shows.
        engine_.set_target_search_str(record_, nullptr, 0);
        return code;
    }
    if (code != 0 && !last_bytes_given()) return code;
    if (engine_.set_target_search_str(record_,
                                      reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                      static_cast<u64>(bytes.size())) != 0)
        return tw::ERR_MEMORY;
    if (stored_wildcard) record_.wildcard_char = *stored_wildcard;
    return code;
}

u64 SearchStringField::set_search_str() {
    const tw::TargetRecord& t = record_;
    if (t.search_str == nullptr || t.search_str_len == 0) {
        set_view_text(QString());
        return 0;
    }
    if (t.is_hexa != 0) {
        // The bytes that the matcher takes for the wildcard show as it.
        std::string shown;
        const std::optional<std::uint8_t> wild = wildcard();
        try {
            shown = tw::hexa_pattern_text(t.search_str, t.search_str_len,
                                          wild ? static_cast<i64>(*wild) : -1, case_folding());
        } catch (const std::bad_alloc&) {
            return tw::ERR_MEMORY;
        }
        set_view_text(QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size())));
        return 0;
    }
    // Every stored byte is read, in every encoding. A text that would hold a
    // zero character cannot be shown and typed back: it is refused rather
    // than cut at its first zero byte, which would search another string.
    const std::optional<QString> shown =
        bytes_to_text(reinterpret_cast<const char*>(t.search_str),
                      static_cast<qsizetype>(t.search_str_len), encoding_of(t.encoding));
    // Nor can a Unicode line or paragraph separator: the view holds line
    // breaks as those.
    if (!shown || shown->isEmpty() || shown->contains(QChar(0)) ||
        shown->contains(QChar(kLineFeedInView)) || shown->contains(QChar(kCarriageReturnInView)))
        return tw::ERR_CORRUPTED;
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
    return text_is_valid(view_text(), encoding, is_hexa);
}

u64 SearchStringField::text_is_valid(const QString& typed, u64 encoding, u64 is_hexa) const {
    return tw::pattern::result_code(check_typed(typed, encoding, is_hexa).refusal);
}

tw::pattern::Compiled SearchStringField::check_typed(const QString& typed, u64 encoding,
                                                     u64 is_hexa) const {
    return tw::pattern::check_characters(
        std::u16string_view(reinterpret_cast<const char16_t*>(typed.utf16()),
                            static_cast<std::size_t>(typed.size())),
        pattern_options(encoding, is_hexa));
}

// ---- Keys, pastes and the message line ------------------------------------------

bool SearchStringField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::KeyPress)
        return handle_key_press(static_cast<QKeyEvent*>(event));
    if (watched == view_ && event->type() == QEvent::InputMethod && !view_->isReadOnly()) {
        // Text composed by an input method is typed text too.
        const QString committed = static_cast<QInputMethodEvent*>(event)->commitString();
        if (!committed.isEmpty() && refuse_insertion(committed, false)) return true;
    }
    return QObject::eventFilter(watched, event);
}

bool SearchStringField::handle_key_press(const QKeyEvent* key) {
    // A read-only view refuses the key itself.
    if (view_->isReadOnly()) return false;
    // Shift+Return would put a Unicode line separator, which the view keeps
    // for a carriage return, and Ctrl+Return nothing: both type a line
    // feed, in both windows, whatever Return itself does there.
    const bool ctrl_return = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                             (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
    if (ctrl_return || key->matches(QKeySequence::InsertLineSeparator)) {
        if (!refuse_insertion(QStringLiteral("\n"), false)) {
            view_->insertPlainText(QStringLiteral("\n"));
            view_->ensureCursorVisible();
        }
        return true;
    }
    QString typed;
    if (key->matches(QKeySequence::InsertParagraphSeparator)) {
        typed = QStringLiteral("\n");
    } else {
        // Keys without text (arrows, Home, modifiers) and keys whose text is
        // a control character (Backspace, Delete, Escape, Ctrl+A, C, V, X,
        // Z) edit or move: they are never refused. A paste is checked as a
        // paste.
        typed = key->text();
        if (typed.isEmpty()) return false;
        const Qt::KeyboardModifiers mods = key->modifiers();
        if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier)) return false;
        for (QChar c : typed)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
    }
    return refuse_insertion(typed, false);
}

bool SearchStringField::refuse_paste(const QString& pasted) {
    if (view_->isReadOnly()) return true;
    if (pasted.contains(QChar(kLineFeedInView)) || pasted.contains(QChar(kCarriageReturnInView))) {
        beep();
        show_message(text(pasted_separator_s));
        return true;
    }
    return refuse_insertion(pasted, true);
}

bool SearchStringField::refuse_insertion(const QString& inserted, bool paste) {
    // The text as it would be with `inserted` over the selection.
    const QTextCursor cursor = view_->textCursor();
    const QString raw = view_->document()->toRawText();
    const QString after = typed_form(raw.left(cursor.selectionStart()) + view_form(inserted) +
                                     raw.mid(cursor.selectionEnd()));
    const u64 encoding = record_.encoding;
    const u64 is_hexa = record_.is_hexa;
    if (text_is_valid(after, encoding, is_hexa) == 0) return false;
    const std::optional<QString> refused = first_refused_character(inserted);
    // A text that was already invalid (set by a program, read from a
    // target) does not lock the view: only what adds to it is refused.
    if (!refused && text_is_valid(typed_form(raw), encoding, is_hexa) != 0) return false;

    const QString what = refused ? shown_character(*refused)
                                 : (inserted.size() > 24 ? inserted.left(24) + u'\u2026' : inserted);
    QString message;
    if (is_hexa != 0) {
        const auto language = engine_.language != 0 ? enc::Language::French : enc::Language::English;
        const std::string_view hexa = enc::hexadecimal_title(language);
        message = text(not_hexadecimal_s)
                      .arg(what, QString::fromUtf8(hexa.data(), static_cast<qsizetype>(hexa.size())));
    } else {
        message = text(not_encodable_s).arg(what, encoding_name());
    }
    if (paste) message = text(cannot_paste_s).arg(message);
    beep();
    show_message(message);
    return true;
}

std::optional<QString> SearchStringField::first_refused_character(const QString& typed) const {
    const tw::pattern::Compiled checked = check_typed(typed, record_.encoding, record_.is_hexa);
    if (checked.refused.empty()) return std::nullopt;
    return QString::fromUtf16(checked.refused.data(), static_cast<qsizetype>(checked.refused.size()));
}

void SearchStringField::show_message(const QString& message) {
    // Dark red on a light window, light red on a dark one.
    const bool dark = message_->palette().color(QPalette::Window).lightness() < 128;
    QPalette p = message_->palette();
    p.setColor(QPalette::WindowText, dark ? QColor(0xFF, 0x8A, 0x80) : QColor(0xB0, 0x00, 0x20));
    message_->setPalette(p);
    message_->setText(message);
    message_->setAccessibleName(message);
    message_->show();
}

void SearchStringField::clear_message() {
    if (message_->isHidden() && message_->text().isEmpty()) return;
    message_->clear();
    message_->setAccessibleName(text(message_name_s));
    message_->hide();
}

QString SearchStringField::message() const { return message_->text(); }

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
