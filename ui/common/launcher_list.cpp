#include "ui/common/launcher_list.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "ui/common/shared_texts.h"
#include "ui/toolkit/desktop_entry.h"

namespace tw::ui {

namespace {

const char* const overflow_s[2] = {
    "Only the first %1 of the %2 applications are listed",
    "Seules les %1 premi\u00e8res des %2 applications sont list\u00e9es"};

// Calls visit(entry, length) for each entry in list order until it answers
// false; a last entry without its NUL ends at the list's end.
template <class Visit>
void walk_launcher_list(const tw::BufferRecord& br, Visit visit) {
    const char* p = br.launcher_list;
    if (p == nullptr) return;
    const char* const end = p + br.launcher_list_len;
    while (p < end) {
        const auto left = static_cast<std::size_t>(end - p);
        const void* nul = std::memchr(p, '\0', left);
        const std::size_t n = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - p) : left;
        if (!visit(p, n)) return;
        p += n + 1;
    }
}

QString decoded(const char* entry, std::size_t length) {
    return QFile::decodeName(QByteArray(entry, static_cast<qsizetype>(length)));
}

}  // namespace

QStringList launcher_paths(const tw::BufferRecord& br) { return launcher_paths(br, -1, nullptr); }

QStringList launcher_paths(const tw::BufferRecord& br, qsizetype limit, qsizetype* total) {
    QStringList paths;
    qsizetype count = 0;
    walk_launcher_list(br, [&](const char* entry, std::size_t length) {
        if (limit < 0 || count < limit) paths.append(decoded(entry, length));
        ++count;
        // Without a total to give, the walk ends with the last path taken.
        return total != nullptr || limit < 0 || count < limit;
    });
    if (total != nullptr) *total = count;
    return paths;
}

QString launcher_path_at(const tw::BufferRecord& br, qsizetype index) {
    QString path;
    qsizetype i = 0;
    walk_launcher_list(br, [&](const char* entry, std::size_t length) {
        if (i++ != index) return true;
        path = decoded(entry, length);
        return false;
    });
    return path;
}

QString launcher_display_name(const QString& path) {
    const QFileInfo info(path);
    if (info.suffix() == QLatin1String("desktop")) {
        if (const auto entry = read_desktop_entry(path); entry && !entry->name.isEmpty())
            return entry->name;
    }
    return info.completeBaseName().isEmpty() ? info.fileName() : info.completeBaseName();
}

QString launcher_overflow_text(qsizetype shown, qsizetype total, int language) {
    return text_in(overflow_s, language).arg(shown).arg(total);
}

}  // namespace tw::ui
