#include "ui/toolkit/defaults.h"

#include <QWidget>
#include <algorithm>

namespace tw::ui {

QSettings& user_defaults() {
    static QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                              QStringLiteral("Trawlex"), QStringLiteral("Trawlex"));
    return settings;
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
