#include "ui/toolkit/AlertController.h"

#include <QDialog>
#include <QIcon>
#include <QPixmap>

#include "ui/toolkit/alerts.h"
#include "ui_AlertController.h"

namespace tw::ui {

AlertController::AlertController(QObject* parent) : QObject(parent) {}

AlertController::~AlertController() {
    for (Sheet& sheet : sheets_) {
        delete sheet.panel.data();
        delete sheet.ui;
    }
}

AlertController::Sheet& AlertController::sheet_for(QWidget* window) {
    Sheet& sheet = sheets_[window];
    if (sheet.panel.isNull()) {
        delete sheet.ui;
        auto* panel = new QDialog(window, Qt::Sheet);
        sheet.ui = new Ui::AlertPanel;
        sheet.ui->setupUi(panel);
        // The icon: no frame, scaled to fit, the application's icon.
        sheet.ui->alert_icon_image_ref->setPixmap(
            QIcon(QStringLiteral(":/appl_icon.rsrc.icns")).pixmap(128, 128));
        panel->setWindowModality(Qt::WindowModal);
        connect(sheet.ui->alert_ok_but_ref, &QPushButton::clicked, this,
                [this, window] { Alert_OK_but(window); });
        // Closing the sheet by other means (Escape) ends it as OK does.
        connect(panel, &QDialog::rejected, this, [this, window] {
            if (is_shown(window)) Alert_OK_but(window);
        });
        if (window != nullptr)
            connect(window, &QObject::destroyed, this, [this, window] {
                delete sheets_[window].ui;  // its panel went with the window
                sheets_.remove(window);
            });
        sheet.panel = panel;
    }
    return sheet;
}

void AlertController::show_alert(QWidget* parent, const QString& title, const QString& mess) {
    QWidget* window = parent != nullptr ? parent->window() : nullptr;
    beep();
    Sheet& sheet = sheet_for(window);
    if (sheet.shown) {
        sheet.queue.enqueue(Pending{title, mess});
        return;
    }
    present(window, Pending{title, mess});
}

void AlertController::present(QWidget* window, const Pending& alert) {
    Sheet& sheet = sheet_for(window);
    sheet.ui->alert_title_ref->setText(alert.title);
    sheet.ui->alert_mess_ref->setText(alert.mess);
    sheet.ui->alert_ok_but_ref->setText(QStringLiteral("OK"));
    sheet.panel->setWindowTitle(alert.title);
    sheet.shown = true;
    QDialog* panel = sheet.panel;
    begin_sheet(window, panel, [this, panel](int code) { alert_sheet_panel_did_end(panel, code); });
}

void AlertController::Alert_OK_but(QWidget* parent) {
    QWidget* window = parent != nullptr ? parent->window() : nullptr;
    auto it = sheets_.find(window);
    if (it == sheets_.end() || !it->shown) return;
    it->shown = false;
    it->panel->done(1);
    it->panel->hide();
    if (!it->queue.isEmpty()) present(window, it->queue.dequeue());
}

void AlertController::alert_sheet_panel_did_end(QDialog* /*panel*/, int /*return_code*/) {}

bool AlertController::is_shown(QWidget* parent) const {
    const auto it = sheets_.find(parent != nullptr ? parent->window() : nullptr);
    return it != sheets_.end() && it->shown;
}

int AlertController::pending_count(QWidget* parent) const {
    const auto it = sheets_.find(parent != nullptr ? parent->window() : nullptr);
    return it != sheets_.end() ? static_cast<int>(it->queue.size()) : 0;
}

QDialog* AlertController::panel(QWidget* parent) const {
    const auto it = sheets_.find(parent != nullptr ? parent->window() : nullptr);
    return it != sheets_.end() && it->shown ? it->panel.data() : nullptr;
}

}  // namespace tw::ui
