// The workspace: opening documents, launching applications, revealing files
// in the file manager and reading file attributes.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

namespace tw::ui {

// Opens a document with the desktop's default application for it.
bool open_document(const QString& path);

// Paths below are native: the bytes that the file system holds, which need
// not be UTF-8, handed on unchanged.

// Opens `file` with `application` (a .desktop entry, launched through GIO,
// or an executable given the file). False when it cannot be started.
bool open_file_with_application(const QByteArray& file, const QString& application);

// Shows the file selected in the file manager (the freedesktop FileManager1
// ShowItems call); when no file manager answers, opens its folder instead.
bool reveal_in_file_manager(const QByteArray& path);

// The file:// URI of an absolute path, every byte but the unreserved ones
// and "/" percent-encoded ("/tmp/caf\xE9" gives "file:///tmp/caf%E9").
QByteArray file_uri(const QByteArray& absolute_path);

struct FileAttributes {
    std::uint64_t size = 0;
    QDateTime modified;
    QString owner;  // the owner's account name, or its number when unknown
};

// A file's attributes, without following a final symbolic link unless
// asked; none when the file cannot be reached.
std::optional<FileAttributes> file_attributes(const QString& path, bool follow_link = false);

// The same for the file `name` in the folder `dir`, reached folder by folder
// so that a path longer than the system takes at once still answers.
std::optional<FileAttributes> file_attributes_in(const char* dir, const char* name,
                                                 bool follow_link = false);

}  // namespace tw::ui
