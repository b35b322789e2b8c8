// Ends the application cleanly on SIGTERM, SIGINT and SIGHUP: the handler
// only writes to a pipe; the main loop reads it and asks the application to
// quit, so the settings are saved as on any other quit.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tw::ui {

// Installs the handlers now, before the application object exists: a
// signal that arrives while the application starts is kept and answered as
// soon as the main loop runs, rather than ending the process unsaved.
// Called again by QuitOnSignals, it changes nothing.
void install_quit_signal_handlers();

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
