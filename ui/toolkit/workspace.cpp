#include "ui/toolkit/workspace.h"

#include "engine/tw_file_util.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/wait.h>
#include <climits>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "ui/toolkit/desktop_entry.h"

namespace tw::ui {

bool open_document(const QString& path) {
    // The desktop's opener starts even for a missing file, so test first.
    if (!QFileInfo(path).isReadable()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

namespace {

// Starts `command` detached, with its current folder `dir_fd` (this
// process's own when negative); false when it could not be started (the
// exec's failure comes back through a pipe).
bool start_detached_in(int dir_fd, std::vector<QByteArray> encoded) {
    std::vector<char*> argv;
    for (QByteArray& part : encoded) argv.push_back(part.data());
    argv.push_back(nullptr);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here: a new session, a second
        // fork so that nobody has to wait for the application, then exec.
        ::setsid();
        if (::fork() != 0) ::_exit(0);
        int err = 0;
        if (dir_fd >= 0 && ::fchdir(dir_fd) != 0) err = errno;
        else ::execvp(argv[0], argv.data());
        if (err == 0) err = errno;
        (void)!::write(report[1], &err, sizeof err);
        ::_exit(127);
    }
    ::close(report[1]);
    if (pid > 0) ::waitpid(pid, nullptr, 0);
    int err = 0;
    const ssize_t n = pid > 0 ? ::read(report[0], &err, sizeof err) : -1;
    ::close(report[0]);
    return n == 0;  // closed by a successful exec
}

}  // namespace

bool open_file_with_application(const QByteArray& file, const QString& application) {
    const bool is_entry = application.endsWith(QLatin1String(".desktop"));
    const qsizetype slash = file.lastIndexOf('/');
    if (file.size() >= PATH_MAX && slash > 0) {
        // Too long for the application to open: it starts in the file's
        // folder, reached folder by folder, and is given the bare name (an
        // entry's program alone, without the rest of its Exec line).
        QString program = application;
        if (is_entry) {
            const std::optional<DesktopEntry> entry = read_desktop_entry(application);
            if (!entry || entry->executable.isEmpty()) return false;
            program = entry->executable;
        }
        const int dir_fd = tw::open_folder_by_parts(file.left(slash).constData());
        if (dir_fd < 0) return false;
        const bool started = start_detached_in(dir_fd, {QFile::encodeName(program), file.mid(slash + 1)});
        ::close(dir_fd);
        return started;
    }
    if (is_entry) return !launch_desktop_entry(application, file).has_value();
    // Any other path is a program, given the file.
    return start_detached_in(-1, {QFile::encodeName(application), file});
}

QByteArray file_uri(const QByteArray& absolute_path) {
    return QByteArrayLiteral("file://") + absolute_path.toPercentEncoding("/");
}

bool reveal_in_file_manager(const QByteArray& path) {
    const QByteArray absolute =
        path.startsWith('/') ? path : QFile::encodeName(QDir::currentPath()) + '/' + path;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        // The URI is ASCII whatever the path's bytes.
        call << QStringList{QString::fromLatin1(file_uri(absolute))} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage) return true;
    }
    const qsizetype slash = absolute.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? absolute.left(slash) : QByteArray("/");
    return QDesktopServices::openUrl(QUrl::fromEncoded(file_uri(folder)));
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
