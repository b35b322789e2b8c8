// The encoding service in QString terms: bytes to text in a stored encoding
// number, exactly or not at all (text to search bytes is the pattern
// compiler's, tw::pattern::compile).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

#include "encoding/string_encoding.h"

namespace tw::ui {

using tw::encoding::EncodingId;

std::optional<QString> bytes_to_text(const QByteArray& bytes, EncodingId encoding);
std::optional<QString> bytes_to_text(const char* bytes, qsizetype length, EncodingId encoding);

// A UTF-8 C string (engine texts, target names) as text; invalid sequences
// are replaced rather than refused, as for display only.
QString from_utf8(const char* text);

// A file name or path as the file system holds it (bytes, normally UTF-8)
// as text to show: each byte that is not part of valid UTF-8, and each
// control character, appears as \xHH (upper-case digits), never as a
// replacement character, and a backslash as \\, so that two names that
// differ in such bytes look different and a name keeps to one line.
QString display_name(QByteArrayView bytes);

// The same for a name that the engine shortened to "..." and its last
// bytes: a character cut by the shortening is left out rather than shown as
// bytes it never had.
QString display_shortened_name(const char* shown);

}  // namespace tw::ui
