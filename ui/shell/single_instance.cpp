#include "ui/shell/single_instance.h"

#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace tw::ui {
namespace {

constexpr char kAck = '\x06';

}  // namespace

QString SingleInstance::default_server_name() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QStringLiteral("trawlex.socket"));
    return QStringLiteral("trawlex-%1").arg(::getuid());
}

SingleInstance::SingleInstance(QString server_name, QObject* parent)
    : QObject(parent), server_name_(std::move(server_name)) {}

bool SingleInstance::forward_to_running_instance(const QStringList& paths, int timeout_ms) const {
    QLocalSocket socket;
    socket.connectToServer(server_name_);
    if (!socket.waitForConnected(timeout_ms)) return false;
    QStringList absolute;
    for (const QString& p : paths) absolute.append(QFileInfo(p).absoluteFilePath());
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << absolute;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeout_ms)) return false;
    // The running instance answers once it has taken the paths.
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(timeout_ms)) return false;
    char ack = 0;
    socket.getChar(&ack);
    socket.disconnectFromServer();
    return ack == kAck;
}

bool SingleInstance::listen() {
    if (server_ != nullptr) return true;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(server_name_)) {
        // A socket left by an instance that ended without closing it: no one
        // answered forward_to_running_instance, so it can be replaced.
        QLocalServer::removeServer(server_name_);
        if (!server_->listen(server_name_)) {
            delete server_;
            server_ = nullptr;
            return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept_connection);
    return true;
}

void SingleInstance::accept_connection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            QDataStream in(socket);
            in.setVersion(QDataStream::Qt_6_0);
            in.startTransaction();
            QStringList paths;
            in >> paths;
            if (!in.commitTransaction()) return;  // the message is not complete yet
            socket->putChar(kAck);
            socket->flush();
            emit paths_received(paths);
        });
    }
}

}  // namespace tw::ui
