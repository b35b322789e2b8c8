#include "ui/toolkit/alerts.h"

#include <QApplication>
#include <QDialog>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

namespace tw::ui {
namespace {

// Builds the box and returns, in `answers`, the answer of each button in the
// order they were added.
QMessageBox* make_box(QWidget* parent, const QString& title, const QString& message,
                      const QString& default_button, const QString& alternate_button,
                      const QString& other_button) {
    auto* box = new QMessageBox(parent);
    box->setWindowTitle(title);
    // The title is also shown in bold above the message, as a desktop alert
    // panel shows it; the message keeps its line breaks (plain text).
    box->setText(title);
    box->setInformativeText(message);
    box->setTextFormat(Qt::PlainText);
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) box->setIconPixmap(icon.pixmap(64, 64));
    else box->setIcon(QMessageBox::Warning);

    QPushButton* def = box->addButton(default_button.isEmpty() ? QStringLiteral("OK")
                                                               : default_button,
                                      QMessageBox::AcceptRole);
    def->setProperty("tw_answer", kAlertDefault);
    box->setDefaultButton(def);
    box->setEscapeButton(def);
    if (!alternate_button.isEmpty()) {
        QPushButton* b = box->addButton(alternate_button, QMessageBox::RejectRole);
        b->setProperty("tw_answer", kAlertAlternate);
        box->setEscapeButton(b);
    }
    if (!other_button.isEmpty()) {
        QPushButton* b = box->addButton(other_button, QMessageBox::DestructiveRole);
        b->setProperty("tw_answer", kAlertOther);
        box->setEscapeButton(b);
    }
    return box;
}

int answer_of(QMessageBox* box) {
    QAbstractButton* clicked = box->clickedButton();
    if (clicked == nullptr) clicked = box->escapeButton();
    return clicked != nullptr ? clicked->property("tw_answer").toInt() : kAlertDefault;
}

}  // namespace

int run_alert(QWidget* parent, const QString& title, const QString& message,
              const QString& default_button, const QString& alternate_button,
              const QString& other_button) {
    QMessageBox* box =
        make_box(parent, title, message, default_button, alternate_button, other_button);
    box->setWindowModality(Qt::ApplicationModal);
    box->exec();
    const int answer = answer_of(box);
    delete box;
    return answer;
}

void begin_sheet(QWidget* parent, QDialog* dialog, std::function<void(int)> did_end) {
    if (parent != nullptr && dialog->parentWidget() != parent->window())
        dialog->setParent(parent->window(), dialog->windowFlags() | Qt::Sheet);
    dialog->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    if (did_end)
        QObject::connect(dialog, &QDialog::finished, dialog, std::move(did_end),
                         Qt::SingleShotConnection);
    dialog->open();
}

QMessageBox* begin_alert_sheet(QWidget* parent, const QString& title, const QString& message,
                               const QString& default_button, const QString& alternate_button,
                               const QString& other_button, std::function<void(int)> did_end) {
    QMessageBox* box = make_box(parent != nullptr ? parent->window() : nullptr, title, message,
                                default_button, alternate_button, other_button);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, box, [box, did_end = std::move(did_end)](int) {
        if (did_end) did_end(answer_of(box));
    });
    box->open();
    return box;
}

namespace {
unsigned long long beeps = 0;  // main thread only, as every widget call
}  // namespace

void beep() {
    ++beeps;
    QApplication::beep();
}

unsigned long long beep_count() { return beeps; }

}  // namespace tw::ui
