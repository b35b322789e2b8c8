// The form a counted word takes in the interface's languages: English uses
// the singular for a count of 1 only, French for 0 and 1 ("0 fichier
// trouvé", "1 fichier trouvé", "2 fichiers trouvés").
#pragma once

#include "engine/tw_records.h"

namespace tw {

inline bool count_is_singular(u64 count, int language) {
    return language == 1 ? count <= 1 : count == 1;
}

// The text of the pair `one` (singular) or `many` (plural) that fits
// `count` in `language` (0 English, 1 French).
inline const char* count_form(u64 count, int language, const char* const (&one)[2],
                              const char* const (&many)[2]) {
    const int l = language == 1 ? 1 : 0;
    return count_is_singular(count, l) ? one[l] : many[l];
}

}  // namespace tw
