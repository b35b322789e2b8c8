// The search string of a target as the user edits it: a text view whose
// text is converted to the target's search bytes (in the target's encoding,
// or as hexadecimal digits) and back, the check of each key press, and the
// encoding pull-down that switches how the same bytes are shown. The search
// window edits the current target with it, the target editor its own record.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "engine/tw.h"

class QPlainTextEdit;
class QWidget;

namespace tw::ui {

class PullDown;

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
    SearchStringField(tw::Engine& engine, tw::TargetRecord& record, QPlainTextEdit* view,
                      QWidget* popup_holder, WildcardSource wildcard,
                      std::function<void(tw::u64)> switch_failed, QObject* parent);

    QPlainTextEdit* view() const { return view_; }
    PullDown* popup() const { return popup_; }

    // The text now in the view, exactly as typed, and its replacement.
    QString view_text() const;
    void set_view_text(const QString& text);

    // The view's text as search bytes under the record's encoding and
    // hexadecimal flag: 0 and the bytes, or 9 (empty or not encodable),
    // 10 (begins or ends with the wildcard; the bytes are still given),
    // 13 (invalid hexadecimal character) or 8.
    tw::u64 search_bytes(QByteArray* bytes) const;
    // search_bytes stored into the record's search string (also on 10).
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
    // The typing check of one key press: true when it is refused (with the
    // system beep). Keys that only delete are always let through.
    bool refuse_key_press(int key, const QString& characters) const;

    // The encoding pull-down: built once, its marks set from the record,
    // and what choosing an item does.
    void set_encoding_popup();
    void set_encoding_popup_check_mark();
    void set_encoding_for_popup_item();

private:
    std::optional<std::uint8_t> wildcard() const { return wildcard_(); }

    tw::Engine& engine_;
    tw::TargetRecord& record_;
    QPlainTextEdit* view_;
    QWidget* popup_holder_;
    PullDown* popup_ = nullptr;
    WildcardSource wildcard_;
    std::function<void(tw::u64)> switch_failed_;
};

}  // namespace tw::ui
