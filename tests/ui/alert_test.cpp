// Alert sheets and alert panels: a sheet returns at once and blocks only its
// window; a second alert on the same window waits for the first; the modal
// panel answers which button was pressed.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include "ui/shell/AlertController.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/app_paths.h"

using namespace tw::ui;

namespace {

QString label_text(QDialog* panel, const char* name) {
    auto* label = panel->findChild<QLabel*>(name);
    return label != nullptr ? label->text() : QStringLiteral("<no label>");
}

void press_ok(QDialog* panel) {
    auto* ok = panel->findChild<QPushButton*>("alert_ok_but_ref");
    QVERIFY(ok != nullptr);
    QCOMPARE(ok->text(), QString("OK"));
    QTest::mouseClick(ok, Qt::LeftButton);
}

}  // namespace

class AlertTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { init_resources(); }

    void sheet_returns_at_once_and_is_window_modal() {
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        AlertController alerts;
        alerts.show_alert(&window, "Error", "Cannot encode\nthe search string");
        // Reaching this line is the return-at-once; the sheet is up.
        QVERIFY(alerts.is_shown(&window));
        QDialog* panel = alerts.panel(&window);
        QVERIFY(panel != nullptr);
        QTRY_VERIFY(panel->isVisible());
        QCOMPARE(panel->windowModality(), Qt::WindowModal);
        QCOMPARE(panel->parentWidget(), &window);
        QCOMPARE(label_text(panel, "alert_title_ref"), QString("Error"));
        QCOMPARE(label_text(panel, "alert_mess_ref"), QString("Cannot encode\nthe search string"));
        auto* icon = panel->findChild<QLabel*>("alert_icon_image_ref");
        QVERIFY(icon != nullptr && !icon->pixmap().isNull());
        press_ok(panel);
        QVERIFY(!alerts.is_shown(&window));
        QTRY_VERIFY(!panel->isVisible());
        QCOMPARE(panel->result(), 1);
    }

    void second_alert_on_the_same_window_waits_for_the_first() {
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        AlertController alerts;
        alerts.show_alert(&window, "Warning", "first");
        alerts.show_alert(&window, "Error", "second");
        alerts.show_alert(&window, "Error", "third");
        QCOMPARE(alerts.pending_count(&window), 2);
        QDialog* panel = alerts.panel(&window);
        QCOMPARE(label_text(panel, "alert_mess_ref"), QString("first"));
        press_ok(panel);
        QVERIFY(alerts.is_shown(&window));
        QCOMPARE(alerts.pending_count(&window), 1);
        panel = alerts.panel(&window);
        QTRY_VERIFY(panel->isVisible());
        QCOMPARE(label_text(panel, "alert_title_ref"), QString("Error"));
        QCOMPARE(label_text(panel, "alert_mess_ref"), QString("second"));
        press_ok(panel);
        QCOMPARE(label_text(alerts.panel(&window), "alert_mess_ref"), QString("third"));
        press_ok(alerts.panel(&window));
        QVERIFY(!alerts.is_shown(&window));
        QCOMPARE(alerts.pending_count(&window), 0);
    }

    void alerts_on_other_windows_do_not_wait() {
        QWidget one;
        QWidget two;
        one.show();
        two.show();
        AlertController alerts;
        alerts.show_alert(&one, "A", "on one");
        alerts.show_alert(&two, "B", "on two");
        QVERIFY(alerts.is_shown(&one));
        QVERIFY(alerts.is_shown(&two));
        QCOMPARE(alerts.pending_count(&two), 0);
        QCOMPARE(alerts.panel(&two)->parentWidget(), &two);
        QCOMPARE(label_text(alerts.panel(&two), "alert_mess_ref"), QString("on two"));
        // A child widget stands for its window.
        QWidget child(&one);
        alerts.show_alert(&child, "C", "queued on one");
        QCOMPARE(alerts.pending_count(&one), 1);
    }

    void modal_alert_answers_the_pressed_button_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("answer");
        QTest::newRow("default") << 0 << kAlertDefault;
        QTest::newRow("alternate") << 1 << kAlertAlternate;
        QTest::newRow("other") << 2 << kAlertOther;
    }
    void modal_alert_answers_the_pressed_button() {
        QFETCH(int, button);
        QFETCH(int, answer);
        const QStringList titles{"Yes", "No", "Maybe"};
        QString seen_message;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seen_message = box->informativeText();
            QCOMPARE(box->defaultButton()->text(), titles[0]);
            for (QAbstractButton* b : box->buttons())
                if (b->text() == titles[button]) b->click();
        });
        const int got = run_alert(nullptr, "DELETE TARGET", "Do you realy want to delete?",
                                  titles[0], titles[1], titles[2]);
        QCOMPARE(got, answer);
        QCOMPARE(seen_message, QString("Do you realy want to delete?"));
    }

    void alert_sheet_reports_its_end() {
        QWidget window;
        window.show();
        int ended = 99;
        QMessageBox* box = begin_alert_sheet(&window, "Title", "Message", "OK", "Cancel", {},
                                             [&](int a) { ended = a; });
        QCOMPARE(ended, 99);  // returned at once
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        for (QAbstractButton* b : box->buttons())
            if (b->text() == "Cancel") b->click();
        QCOMPARE(ended, kAlertAlternate);
    }
};

QTEST_MAIN(AlertTest)
#include "alert_test.moc"
