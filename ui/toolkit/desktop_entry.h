// Launching a file with an application described by a freedesktop .desktop
// entry: reading the entry and turning its Exec line into a command line.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tw::ui {

struct DesktopEntry {
    QString name;
    QString exec;  // the Exec value with the string escapes already undone
    QString icon;
    bool terminal = false;
};

// Reads the [Desktop Entry] group of a .desktop file; none when the file
// cannot be read or has no Exec line.
std::optional<DesktopEntry> read_desktop_entry(const QString& path);

// Undoes the escapes of a string value (\s \n \t \r \\).
QString unescape_desktop_string(const QString& value);

// Splits an Exec value into arguments following the quoting rules (double
// quotes; inside them \" \` \$ \\ stand for the character); none when a
// quote is left open.
std::optional<QStringList> split_exec(const QString& exec);

// The command line that opens `files` with an Exec value: %f and %u take the
// first file (as a path, as a file:// URL), %F and %U, standing alone as an
// argument, become one argument per file; %% is a percent sign; %i, %c, %k
// and the deprecated codes are dropped. When the Exec value has no file
// code, the files are appended. None when the value cannot be split or is
// empty.
std::optional<QStringList> expand_exec(const QString& exec, const QStringList& files);

// The command line that opens `file` with `application`: a .desktop entry
// through its Exec line, any other path as an executable given the file.
std::optional<QStringList> launch_command_line(const QString& application, const QString& file);

}  // namespace tw::ui
