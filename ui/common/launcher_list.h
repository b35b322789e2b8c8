// The launcher list: the applications, chosen by the user, that open a
// found file. The viewer's pull-down and the Special menu both show it.
#pragma once

#include <QString>
#include <QStringList>

#include "engine/tw_records.h"

namespace tw::ui {

// The most applications a menu or pull-down lists: a list of any length
// (the launcher file may hold 16 MiB) fills them at once, and a menu taller
// than this could not be used anyway. Beyond it, one line says how many
// are not listed (launcher_overflow_text).
inline constexpr qsizetype kLauncherMenuLimit = 500;

// The launcher list's paths, in list order.
QStringList launcher_paths(const tw::BufferRecord& br);
// The first `limit` paths, read in one pass over the list; *total (when
// given) receives the number of entries of the whole list.
QStringList launcher_paths(const tw::BufferRecord& br, qsizetype limit, qsizetype* total);
// The path of entry `index`, or an empty string beyond the list.
QString launcher_path_at(const tw::BufferRecord& br, qsizetype index);
// The name a launcher application is shown under: a .desktop entry's
// Name, else the file name without its extension.
QString launcher_display_name(const QString& path);
// The line that ends a menu listing `shown` of the `total` applications.
QString launcher_overflow_text(qsizetype shown, qsizetype total, int language);

}  // namespace tw::ui
