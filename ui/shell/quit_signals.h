// Ends the application cleanly on SIGTERM, SIGINT and SIGHUP: the handler
// only writes to a pipe; the main loop reads it and asks the application to
// quit, so the settings are saved as on any other quit.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tw::ui {

class QuitOnSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignals(QObject* parent = nullptr);
    ~QuitOnSignals() override;

signals:
    void signal_received(int signal_number);

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tw::ui
