// Alert panels and sheets: application-modal alerts that answer which button
// was pressed, window-modal sheets that return at once and report their end,
// and the system beep.
#pragma once

#include <QString>
#include <functional>

class QWidget;
class QDialog;
class QMessageBox;

namespace tw::ui {

// Answers of run_alert, by button.
inline constexpr int kAlertDefault = 1;    // the first (default) button
inline constexpr int kAlertAlternate = 0;  // the second button
inline constexpr int kAlertOther = -1;     // the third button

// An application-modal alert with a title, a message and one to three
// buttons (an empty title leaves a button out; the default button is always
// shown, "OK" when empty). Blocks until a button is pressed; closing the
// alert otherwise counts as the last button shown.
int run_alert(QWidget* parent, const QString& title, const QString& message,
              const QString& default_button, const QString& alternate_button = {},
              const QString& other_button = {});

// Shows `dialog` as a sheet: window-modal on the window of `parent`. Returns
// at once; `did_end` receives the dialog's result code when it ends.
void begin_sheet(QWidget* parent, QDialog* dialog, std::function<void(int)> did_end = {});

// An alert as a sheet on the window of `parent`, with the buttons of
// run_alert; `did_end` receives kAlertDefault, kAlertAlternate or kAlertOther.
// The box deletes itself when it ends. Returns it (tests answer it).
QMessageBox* begin_alert_sheet(QWidget* parent, const QString& title, const QString& message,
                               const QString& default_button, const QString& alternate_button,
                               const QString& other_button,
                               std::function<void(int)> did_end = {});

// The system beep.
void beep();
// How many times beep() has sounded since the program started; tests observe
// refused actions through it.
unsigned long long beep_count();

}  // namespace tw::ui
