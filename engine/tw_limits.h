// The ranges of the preference record's buffer sizes and progress period
// that the engine accepts. The engine replaces a stored value outside its
// range by the default at start-up; the preferences window refuses it.
#pragma once

#include "engine/tw_records.h"

namespace tw {

struct ValueRange {
    u64 min;
    u64 max;
    constexpr bool contains(u64 v) const { return v >= min && v <= max; }
};

// Buffer sizes in bytes. The text buffer holds at least a few pieces of a
// file; no buffer may ask for more than 1 GiB.
inline constexpr ValueRange TW_STR_MEM_RANGE{1, u64{1} << 30};
inline constexpr ValueRange TW_TEXT_MEM_RANGE{u64{64} << 10, u64{1} << 30};
inline constexpr ValueRange TW_OCC_MEM_RANGE{16, u64{1} << 30};
// Period of the progress display in microseconds: a shorter one would keep
// the main thread busy redrawing, a longer one shows nothing for an hour.
inline constexpr ValueRange TW_SHOW_INFO_EVERY_RANGE{TW_MIN_SHOW_INFO_EVERY, u64{3600} * 1000000};

}  // namespace tw
