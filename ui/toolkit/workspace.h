// The workspace: opening documents, launching applications, revealing files
// in the file manager and reading file attributes.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

namespace tw::ui {

// Opens a document with the desktop's default application for it.
bool open_document(const QString& path);

// Opens `file` with `application` (a .desktop entry, launched through GIO,
// or an executable given the file). False when it cannot be started.
bool open_file_with_application(const QString& file, const QString& application);

// Shows the file selected in the file manager (the freedesktop FileManager1
// ShowItems call); when no file manager answers, opens its folder instead.
bool reveal_in_file_manager(const QString& path);

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
