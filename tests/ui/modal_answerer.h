// Answers the next application-modal alert of a test with its first button,
// and records its title and message, so that no test blocks on a dialog.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>

namespace tw_test {

struct ModalAnswerer {
    QString title;
    QString message;
    bool seen = false;

    void arm() { QTimer::singleShot(20, [this] { answer(); }); }
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            QTimer::singleShot(20, [this] { answer(); });
            return;
        }
        seen = true;
        title = box->windowTitle();
        message = box->informativeText();
        box->buttons().first()->click();
    }
};

}  // namespace tw_test
