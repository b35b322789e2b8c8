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

EncodingId encoding_of(u64 stored) { return static_cast<EncodingId>(stored); }

// The Unicode separators that the view uses for a line feed (between its
// paragraphs) and for a carriage return (inside a paragraph).
constexpr char16_t kLineFeedInView = QChar::ParagraphSeparator;
constexpr char16_t kCarriageReturnInView = QChar::LineSeparator;

// Texts of the message line.
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

}  // namespace tw::ui
