// One running Trawlex per user: a second launch hands its file paths to the
// running instance over a local socket and ends.
#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

namespace tw::ui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The per-user server: $XDG_RUNTIME_DIR/trawlex.socket when that folder
    // exists, else "trawlex-<uid>" in the temporary folder.
    static QString default_server_name();

    explicit SingleInstance(QString server_name = default_server_name(),
                            QObject* parent = nullptr);

    // Sends the paths (made absolute here) to a running instance; true when
    // it confirmed their receipt within `timeout_ms`.
    bool forward_to_running_instance(const QStringList& paths, int timeout_ms = 3000) const;

    // Becomes the running instance; false when the server cannot listen.
    bool listen();

    const QString& server_name() const { return server_name_; }

signals:
    // Paths handed over by a later launch, in the order given (possibly none:
    // the later launch only asks the running instance to come forward).
    void paths_received(const QStringList& paths);

private:
    void accept_connection();

    QString server_name_;
    QLocalServer* server_ = nullptr;
};

}  // namespace tw::ui
