// The launcher list: the applications, chosen by the user, that open a
// found file. The viewer's pull-down and the Special menu both show it.
#pragma once

#include <QString>
#include <QStringList>

#include "engine/tw_records.h"

namespace tw::ui {

// The launcher list's paths, in list order.
QStringList launcher_paths(const tw::BufferRecord& br);
// The name a launcher application is shown under: a .desktop entry's
// Name, else the file name without its extension.
QString launcher_display_name(const QString& path);

}  // namespace tw::ui
