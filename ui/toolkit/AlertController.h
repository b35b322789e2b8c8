// Alert sheets: an error or a warning shown window-modally on one window,
// with the application's icon, a title, a message and one OK button. The
// call returns at once. An alert asked for while another is shown on the
// same window waits and is shown when that one ends, so none is lost.
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>

class QDialog;
class QWidget;

namespace Ui {
class AlertPanel;
}

namespace tw::ui {

class AlertController : public QObject {
    Q_OBJECT
public:
    explicit AlertController(QObject* parent = nullptr);
    ~AlertController() override;

    // Beeps and shows the alert as a sheet on the window of `parent`, or
    // queues it behind the alert already shown there.
    void show_alert(QWidget* parent, const QString& title, const QString& mess);

    // The OK button: ends the sheet shown on the window of `parent` with
    // return code 1 and shows the next queued alert of that window.
    void Alert_OK_but(QWidget* parent);

    // Called when a sheet has ended; does nothing more.
    void alert_sheet_panel_did_end(QDialog* panel, int return_code);

    // What is on screen, for the window of `parent`.
    bool is_shown(QWidget* parent) const;
    int pending_count(QWidget* parent) const;
    QDialog* panel(QWidget* parent) const;  // the sheet shown there, or nullptr

private:
    struct Pending {
        QString title;
        QString mess;
    };
    struct Sheet {
        QPointer<QDialog> panel;
        Ui::AlertPanel* ui = nullptr;
        bool shown = false;
        QQueue<Pending> queue;
    };

    Sheet& sheet_for(QWidget* window);
    void present(QWidget* window, const Pending& alert);

    QHash<QWidget*, Sheet> sheets_;
};

}  // namespace tw::ui
