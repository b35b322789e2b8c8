#include "ui/toolkit/workspace.h"

#include "engine/tw_file_util.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "ui/toolkit/desktop_entry.h"

namespace tw::ui {

bool open_document(const QString& path) {
    // The desktop's opener starts even for a missing file, so test first.
    if (!QFileInfo(path).isReadable()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool open_file_with_application(const QString& file, const QString& application) {
    const std::optional<QStringList> command = launch_command_line(application, file);
    if (!command || command->isEmpty()) return false;
    QStringList arguments = *command;
    const QString program = arguments.takeFirst();
    return QProcess::startDetached(program, arguments);
}

bool reveal_in_file_manager(const QString& path) {
    const QFileInfo info(path);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString()}
             << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage) return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absolutePath()));
}

namespace {

FileAttributes attributes_of(const struct stat& st) {
    FileAttributes attributes;
    attributes.size = static_cast<std::uint64_t>(st.st_size);
    attributes.modified = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec)
                              .addMSecs(st.st_mtim.tv_nsec / 1000000);
    // getpwuid_r: the toolkit may be used from more than one place at once.
    char buffer[4096];
    struct passwd pw {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(st.st_uid, &pw, buffer, sizeof buffer, &found) == 0 && found != nullptr)
        attributes.owner = QString::fromLocal8Bit(found->pw_name);
    else
        attributes.owner = QString::number(st.st_uid);
    return attributes;
}

}  // namespace

std::optional<FileAttributes> file_attributes(const QString& path, bool follow_link) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    const int rc = follow_link ? ::stat(native.constData(), &st) : ::lstat(native.constData(), &st);
    if (rc != 0) return std::nullopt;
    return attributes_of(st);
}

std::optional<FileAttributes> file_attributes_in(const char* dir, const char* name,
                                                 bool follow_link) {
    if (dir == nullptr || name == nullptr) return std::nullopt;
    struct stat st {};
    if (!tw::stat_file_in(dir, name, follow_link, &st, nullptr)) return std::nullopt;
    return attributes_of(st);
}

}  // namespace tw::ui
