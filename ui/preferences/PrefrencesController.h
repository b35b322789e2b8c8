// The preferences window: the three buffer sizes (KiB), the period of the
// progress display (seconds), the six progress texts, the Return key and
// the user-defined encoding, and the number of scanning threads (a user
// default, outside TW_preference). It edits the engine's preference record and
// show options in memory; the engine saves them when the application ends.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "engine/tw.h"
#include "engine/tw_limits.h"
#include "ui/toolkit/colored_window.h"

class QDialog;

namespace Ui {
class PreferencesWindow;
}

namespace tw::ui {

class AlertController;

class PrefrencesController : public QObject, public ColoredWindow {
    Q_OBJECT
public:
    PrefrencesController(tw::Engine& engine, AlertController& alerts, QObject* parent = nullptr);
    ~PrefrencesController() override;

    QDialog* window() const { return window_; }
    Ui::PreferencesWindow* ui() const { return ui_.get(); }

    // Brings the window up, with what its fields hold (filled once, at start).
    void show_window();
    void show_preferences_in_window();
    // Writes the record from the fields when every field holds an allowed
    // value; otherwise shows why on the window and writes nothing.
    bool get_preferences_from_window();
    void OK_but();
    void Cancel_but();

    void set_window_color(const QColor& color) override;
    QColor window_background() const override;

    // How the fields read, as a user's number would be read: leading blanks
    // and a sign allowed, reading stops at the first character that does
    // not belong, 0 when there is no number.
    static std::int64_t int_value(const QString& text);
    static double float_value(const QString& text);
    // A decimal number, or a hexadecimal one after 0x or 0X; 32 bits.
    static std::uint32_t encoding_value(const QString& text);
    // A size in bytes as KiB, exact: whole when it is a multiple of 1024,
    // else with the decimals it needs (1600 bytes is 1.5625).
    static QString kib_text(tw::u64 bytes);
    // A size field's KiB (decimals allowed) in bytes, to the nearest byte;
    // negative when the field holds a negative number.
    static std::int64_t size_value(const QString& text);
    // Seconds to the microsecond, with at least two decimals and a full
    // stop, whatever the locale.
    static QString seconds_text(tw::u64 microseconds);

signals:
    // OK stored new preferences: the search window follows them.
    void preferences_changed();

private:
    QString text(const char* const (&pair)[2]) const;
    // The message naming the allowed range of a field, or none when the
    // value is allowed.
    std::optional<QString> size_refused(const char* const (&name)[2], std::int64_t size,
                                        tw::BufferLimits bytes) const;

    tw::Engine& engine_;
    AlertController& alerts_;
    QDialog* window_ = nullptr;
    std::unique_ptr<Ui::PreferencesWindow> ui_;
};

}  // namespace tw::ui
