// The accepted range of each buffer size of the preferences and of the
// progress period. The engine applies them when it reads TW_preference (a
// value outside its range falls back to its default) and the preferences
// window refuses what lies outside them. The window edits the sizes in KiB,
// so every bound is a whole number of KiB or less than one.
#pragma once

#include "engine/tw_records.h"

namespace tw {

struct BufferLimits {
    u64 min;
    u64 max;
    u64 fallback;
    constexpr bool contains(u64 v) const { return v >= min && v <= max; }
};

// The string buffer grows by itself when a pattern needs more.
inline constexpr BufferLimits TW_STR_MEM_LIMITS{16, u64{64} << 20, TW_DEFAULT_STR_MEM_SIZE};
// The text buffer must hold a useful piece of file: 64 KiB to 1 GiB.
inline constexpr BufferLimits TW_TEXT_MEM_LIMITS{u64{64} << 10, u64{1} << 30,
                                                 TW_DEFAULT_TEXT_MEM_SIZE};
// The occurrence buffer must hold at least 64 records of 16 bytes.
inline constexpr BufferLimits TW_OCC_MEM_LIMITS{u64{1} << 10, u64{256} << 20,
                                                TW_DEFAULT_OCC_MEM_SIZE};
// Period of the progress display in microseconds: a shorter one would keep
// the main thread busy redrawing, a longer one shows nothing for an hour.
inline constexpr BufferLimits TW_SHOW_INFO_EVERY_LIMITS{TW_MIN_SHOW_INFO_EVERY,
                                                        u64{3600} * 1000000,
                                                        TW_MIN_SHOW_INFO_EVERY};

inline constexpr bool within(const BufferLimits& limits, u64 value) {
    return limits.contains(value);
}

// `value` when it lies within the limits, else the default.
inline constexpr u64 bounded(const BufferLimits& limits, u64 value) {
    return within(limits, value) ? value : limits.fallback;
}

}  // namespace tw
