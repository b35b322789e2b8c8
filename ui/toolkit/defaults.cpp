#include "ui/toolkit/defaults.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>

namespace tw::ui {

namespace {

QString g_damaged_copy;

// Whether Qt reads the settings file at `path` whole. Qt says so only when
// it writes the file back, so the question is put to a copy of it.
bool read_whole_by_qt(const QString& path) {
    const QTemporaryDir dir;
    const QString probe_path = dir.filePath(QStringLiteral("probe.conf"));
    // A file that cannot even be copied cannot be read: Qt then never writes it.
    if (!dir.isValid() || !QFile::copy(path, probe_path)) return true;
    QSettings probe(probe_path, QSettings::IniFormat);
    probe.setValue(QStringLiteral("probe"), 1);
    probe.sync();
    return probe.status() == QSettings::NoError;
}

// Copies a settings file that Qt could not read whole beside itself as
// NAME.damaged (".damaged.1", ... when taken), before anything writes it.
void keep_damaged_user_defaults(const QSettings& settings) {
    const QString path = settings.fileName();
    if (!QFileInfo(path).isFile() || read_whole_by_qt(path)) return;
    for (int n = 0; n < 1000; ++n) {
        const QString copy = path + QStringLiteral(".damaged") +
                             (n == 0 ? QString() : QStringLiteral(".%1").arg(n));
        if (QFileInfo::exists(copy)) continue;
        if (QFile::copy(path, copy)) g_damaged_copy = copy;
        else qWarning("Trawlex: cannot keep a copy of the damaged %s", qPrintable(path));
        return;
    }
}

}  // namespace

QSettings& user_defaults() {
    static QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                              QStringLiteral("Trawlex"), QStringLiteral("Trawlex"));
    [[maybe_unused]] static const bool checked = [] {
        keep_damaged_user_defaults(settings);
        return true;
    }();
    return settings;
}

QString damaged_user_defaults_copy() {
    user_defaults();
    return g_damaged_copy;
}

bool default_bool(const char* key) { return user_defaults().value(QLatin1String(key)).toBool(); }

void set_default_bool(const char* key, bool value) {
    user_defaults().setValue(QLatin1String(key), value);
}

unsigned search_threads_default() {
    bool ok = false;
    const int n = user_defaults().value(QLatin1String(kSearchThreadsKey), 0).toInt(&ok);
    return ok && n >= 0 && n <= kMaxSearchThreads ? static_cast<unsigned>(n) : 0;
}

void set_search_threads_default(unsigned threads) {
    user_defaults().setValue(QLatin1String(kSearchThreadsKey),
                             static_cast<int>(std::min<unsigned>(threads, kMaxSearchThreads)));
}

std::uint64_t excerpt_size_default() {
    const std::uint64_t size =
        user_defaults().value(QLatin1String(kExcerptSizeKey), qulonglong{kMinExcerptSize}).toULongLong();
    return std::clamp(size, kMinExcerptSize, kMaxExcerptSize);
}

void set_excerpt_size_default(std::uint64_t size) {
    user_defaults().setValue(QLatin1String(kExcerptSizeKey),
                             qulonglong{std::clamp(size, kMinExcerptSize, kMaxExcerptSize)});
}

void save_default_color(const QColor& color, bool use_color) {
    QSettings& s = user_defaults();
    s.setValue(QLatin1String(kUseColorBoolKey), use_color);
    s.setValue(QLatin1String(kUseColorKey), color);
    s.sync();
}

std::optional<QColor> load_default_color(bool* use_color) {
    QSettings& s = user_defaults();
    *use_color = s.value(QLatin1String(kUseColorBoolKey)).toBool();
    const QVariant stored = s.value(QLatin1String(kUseColorKey));
    const QColor color = stored.value<QColor>();
    if (!stored.isValid() || !color.isValid()) {
        *use_color = false;
        return std::nullopt;
    }
    return color;
}

void save_window_frame(const char* key, const QWidget* window) {
    user_defaults().setValue(QLatin1String(key), window->saveGeometry());
}

bool restore_window_frame(const char* key, QWidget* window) {
    const QByteArray frame = user_defaults().value(QLatin1String(key)).toByteArray();
    return !frame.isEmpty() && window->restoreGeometry(frame);
}

}  // namespace tw::ui
