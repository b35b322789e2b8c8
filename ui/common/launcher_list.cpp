#include "ui/common/launcher_list.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "ui/toolkit/desktop_entry.h"

namespace tw::ui {

QStringList launcher_paths(const tw::BufferRecord& br) {
    QStringList paths;
    const char* p = br.launcher_list;
    const char* end = p != nullptr ? p + br.launcher_list_len : nullptr;
    while (p != nullptr && p < end) {
        const std::size_t n = ::strnlen(p, static_cast<std::size_t>(end - p));
        paths.append(QFile::decodeName(QByteArray(p, static_cast<qsizetype>(n))));
        p += n + 1;
    }
    return paths;
}

QString launcher_display_name(const QString& path) {
    const QFileInfo info(path);
    if (info.suffix() == QLatin1String("desktop")) {
        if (const auto entry = read_desktop_entry(path); entry && !entry->name.isEmpty())
            return entry->name;
    }
    return info.completeBaseName().isEmpty() ? info.fileName() : info.completeBaseName();
}

}  // namespace tw::ui
