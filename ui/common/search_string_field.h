// The search string of a target as the user edits it: a text view whose
// text is converted to the target's search bytes (in the target's encoding,
// or as hexadecimal digits) and back, the check of each key press and paste,
// and the encoding pull-down that switches how the same bytes are shown. The
// search window edits the current target with it, the target editor its own
// record.
//
// Nothing is hidden: the view shows a mark for each line break (a pilcrow
// for a line feed, a return arrow for a carriage return), the pull-down's
// button names the encoding in use, and a key or paste that is refused says
// why in a message under the view.
//
// search_string_field.cpp: the view, the conversions, keys and pastes;
// search_string_encoding.cpp: the encoding pull-down;
// search_string_wildcard.cpp: the wildcard and the options.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "engine/tw.h"
#include "pattern/pattern_compiler.h"

class QAbstractButton;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMimeData;
class QWidget;

namespace tw::ui {

class PullDown;

// The text view of a search string. A paste or a drop goes through the
// check the field sets; a carriage return is kept as one (the plain view
// would turn it into a line feed).
class SearchStringView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit SearchStringView(QWidget* parent = nullptr);
    // Told the text a paste or drop would insert; false refuses it.
    void set_insert_check(std::function<bool(const QString&)> check) {
        insert_check_ = std::move(check);
    }

protected:
    void insertFromMimeData(const QMimeData* source) override;

private:
    std::function<bool(const QString&)> insert_check_;
};

// The wildcard as the window shows it now: the byte, or none when the
// wildcard is off.
using WildcardSource = std::function<std::optional<std::uint8_t>()>;

class SearchStringField : public QObject {
    Q_OBJECT
public:
    // `record` is the target whose search string, encoding and hexadecimal
    // flag the field edits; `popup_holder` receives the encoding pull-down
    // (its layout). `switch_failed` is told the result code of an encoding
    // change that could not be made (13, 8 or another), to show its alert.
    // The message line is put under the view, in the view's layout.
    SearchStringField(tw::Engine& engine, tw::TargetRecord& record, QPlainTextEdit* view,
                      QWidget* popup_holder, WildcardSource wildcard,
                      std::function<void(tw::u64)> switch_failed, QObject* parent);

    QPlainTextEdit* view() const { return view_; }
    PullDown* popup() const { return popup_; }
    QLabel* message_label() const { return message_; }

    // The view's text as the user typed it (line feeds and carriage returns
    // as such) and the form in which the view holds such a text.
    static QString typed_form(const QString& view_raw);
    static QString view_form(const QString& typed);

    // The text now in the view, exactly as typed, and its replacement.
    QString view_text() const;
    void set_view_text(const QString& text);

    // The view's text compiled into search bytes (tw::pattern::compile)
    // under the record's encoding and hexadecimal flag and the window's
    // wildcard and case options: 0 and the bytes, or 9 (empty, not
    // encodable, a letter wildcard folded together with a letter of the
    // string, or no character left for the wildcard), 10 (begins or ends
    // with the wildcard; the bytes are still given), 13 (invalid
    // hexadecimal character) or 8. With the wildcard on, `stored_wildcard`
    // receives the character that stands for it in the bytes: in
    // hexadecimal, another one than the symbol typed when a typed byte
    // would be taken for it.
    tw::u64 search_bytes(QByteArray* bytes,
                         std::optional<std::uint8_t>* stored_wildcard = nullptr) const;
    // The line that says more of the last refusal of search_bytes than its
    // code does (a wildcard folded together with a letter); else empty.
    QString refusal_detail() const;
    // Whether the last search_bytes gave its bytes: accepted, or refused
    // only for the wildcard's place or case.
    bool last_bytes_given() const {
        return last_refusal_ == tw::pattern::Refusal::None ||
               last_refusal_ == tw::pattern::Refusal::WildcardAtEnd ||
               last_refusal_ == tw::pattern::Refusal::WildcardFoldedWithLetter;
    }
    // In hexadecimal, when the typed text needs another wildcard character
    // than the one typed, the wildcard field, the record and the view (the
    // text written again) take it, and the message line says why. 0, or 9
    // (with the reason on the message line) when no character is left.
    tw::u64 settle_wildcard();
    // settle_wildcard, then search_bytes stored into the record's search
    // string and wildcard character (also on 10).
    tw::u64 get_search_str();
    // Shows the record's search bytes in the view: 0, or 9 when they cannot
    // be shown under its encoding (the view then keeps its text), or 8.
    tw::u64 set_search_str();
    // Shows the record's search bytes; bytes that cannot be shown as text
    // are shown as hexadecimal, and the record takes the hexadecimal flag,
    // so that the view never holds a text other than the record's bytes.
    void show_search_str();
    // 0 when the view's text is empty or fits the encoding (or, as
    // hexadecimal, holds only digits, blanks and the wildcard); else 9 or 13.
    tw::u64 search_string_is_valid(tw::u64 encoding, tw::u64 is_hexa) const;
    // The same check of any text.
    tw::u64 text_is_valid(const QString& typed, tw::u64 encoding, tw::u64 is_hexa) const;

    // The check of one key press: true when the view must not get it, that
    // is when it is refused (with a beep and the message) or was handled
    // here. Only keys that type text are checked, on the text as it would be
    // after them; editing keys and shortcuts always pass.
    bool handle_key_press(const QKeyEvent* key);
    // The check of a paste or drop of `text`: true when it is refused.
    bool refuse_paste(const QString& text);

    // A wildcard that is a hexadecimal digit or a blank cannot be told from
    // the digits of a hexadecimal string. True (with a beep and the message)
    // when `wildcard` is such a character and the string is hexadecimal.
    bool refuse_wildcard(std::optional<std::uint8_t> wildcard);
    static bool hides_in_hexadecimal(std::uint8_t wildcard);
    // The window's wildcard field, its check box and the Ignore case box.
    // Keeps a wildcard that hexadecimal would hide out of the field and the
    // box while the string is hexadecimal; the field shows the wildcard
    // that settle_wildcard chooses; the case box decides how hexadecimal
    // text is read and turns off when the string is switched to
    // hexadecimal. To be called before other handlers of the wildcard box's
    // clicks are connected.
    void attach_options(QLineEdit* wildcard_field, QAbstractButton* use_box,
                        QAbstractButton* case_box);

    // The message line under the view; emptied by the next change of text.
    void show_message(const QString& message);
    void clear_message();
    QString message() const;

    // The encoding pull-down: built once, its marks and its button's text
    // set from the record, and what choosing an item does.
    void set_encoding_popup();
    void set_encoding_popup_check_mark();
    void set_encoding_for_popup_item();
    // The button's text for the record's setting: "Encoding: " and the
    // encoding's title, or the hexadecimal title.
    QString encoding_button_title() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<std::uint8_t> wildcard() const { return wildcard_(); }
    bool case_folding() const;
    // The compiler's options for the window's setting, and the view's text
    // compiled or checked under them.
    tw::pattern::Options pattern_options(tw::u64 encoding, tw::u64 is_hexa) const;
    tw::pattern::Compiled compile_view() const;
    tw::pattern::Compiled check_typed(const QString& typed, tw::u64 encoding, tw::u64 is_hexa) const;
    // A character as a message names it: itself, or its code when it does
    // not print (a control character, a lone surrogate).
    static QString shown_character(const QString& one);
    // Refuses inserting `inserted` over the view's selection when it would
    // make the text invalid; `paste` picks the message's wording.
    bool refuse_insertion(const QString& inserted, bool paste);
    // The first character of `typed` that the current setting cannot hold.
    std::optional<QString> first_refused_character(const QString& typed) const;
    QString text(const char* const (&pair)[2]) const;
    // The title of the record's encoding (with its character set when it is
    // user-defined).
    QString encoding_name() const;

    tw::Engine& engine_;
    tw::TargetRecord& record_;
    QPlainTextEdit* view_;
    QWidget* popup_holder_;
    PullDown* popup_ = nullptr;
    QLabel* message_ = nullptr;
    QStringList shown_titles_;  // every text the pull-down's button has had to fit
    WildcardSource wildcard_;
    QLineEdit* wildcard_field_ = nullptr;
    QAbstractButton* case_box_ = nullptr;
    // What the last settle_wildcard said, shown again once a switch of
    // encoding has written the view anew.
    QString wildcard_notice_;
    mutable tw::pattern::Refusal last_refusal_ = tw::pattern::Refusal::None;
    mutable std::uint8_t last_letter_ = 0;  // and the wildcard folded together with it
    mutable std::uint8_t last_symbol_ = 0;
    std::function<void(tw::u64)> switch_failed_;
};

}  // namespace tw::ui
