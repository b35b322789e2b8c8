// User defaults: per-user values kept between runs (QSettings).
#pragma once

#include <QColor>
#include <QSettings>
#include <cstdint>
#include <optional>

class QWidget;

namespace tw::ui {

inline constexpr const char* kUseColorBoolKey = "Use color bool";
inline constexpr const char* kUseColorKey = "Use color nscolor";
inline constexpr const char* kSearchThreadsKey = "Search threads";
// The largest number of scanning threads the preference accepts.
inline constexpr int kMaxSearchThreads = 256;

// The application's user defaults (~/.config/Trawlex/Trawlex.conf). Qt
// writes back only the lines it could read: a file with lines it cannot
// read is first kept beside itself, as it was, under
// damaged_user_defaults_copy().
QSettings& user_defaults();
// Where the damaged user defaults were kept; empty when they read whole.
QString damaged_user_defaults_copy();

bool default_bool(const char* key);
void set_default_bool(const char* key, bool value);

// The number of threads that scan files during a search, 0 for one per
// core (the default); a stored value out of range reads as 0.
unsigned search_threads_default();
void set_search_threads_default(unsigned threads);

// The bytes the viewer shows around an occurrence, from 2000 (the engine's
// excerpt, the default) to 1 MiB; a stored value out of range is brought
// into it.
inline constexpr const char* kExcerptSizeKey = "Excerpt Size";
inline constexpr std::uint64_t kMinExcerptSize = 2000;
inline constexpr std::uint64_t kMaxExcerptSize = std::uint64_t{1} << 20;
std::uint64_t excerpt_size_default();
void set_excerpt_size_default(std::uint64_t size);

// The window colour: stored as a QColor under "Use color nscolor", with its
// use flag under "Use color bool".
void save_default_color(const QColor& color, bool use_color);
// The saved colour, or none (and *use_color false) when none is saved.
std::optional<QColor> load_default_color(bool* use_color);

// A window's frame, kept under `key` for the next run.
void save_window_frame(const char* key, const QWidget* window);
// Gives `window` the frame kept under `key`; false when none is kept or it
// cannot be restored.
bool restore_window_frame(const char* key, QWidget* window);

}  // namespace tw::ui
