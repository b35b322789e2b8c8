// Applications described by freedesktop .desktop entries, read and launched
// through GIO, which honours their translated names, TryExec, Terminal,
// Path and the field codes of Exec.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tw::ui {

struct DesktopEntry {
    QString name;  // in the user's language when the entry has it
    QString icon;
    QString executable;
};

// The entry of a .desktop file; none when GIO does not take it (no Exec, a
// TryExec program that is missing, a hidden entry, an unreadable file).
std::optional<DesktopEntry> read_desktop_entry(const QString& path);

// Opens `file` (a native path: its bytes as the file system holds them)
// with the application of a .desktop entry; none on success, else why it
// could not be started.
std::optional<QString> launch_desktop_entry(const QString& path, const QByteArray& file);

// Opens `file` (a native path) with the application GIO holds as the
// default for its content type; none on success, else why it could not.
std::optional<QString> launch_default_application(const QByteArray& file);

}  // namespace tw::ui
