#include "cli/name_filter.h"

#include <fnmatch.h>

namespace tw::cli {

void NameFilter::add_glob(const std::string& glob) {
    if (!glob.empty() && glob[0] == '!') rules_.push_back({glob.substr(1), false, false, true});
    else rules_.push_back({glob, true, false, false});
}

bool NameFilter::keep(const char* name, bool folder) const {
    bool any_keeping = false;
    for (auto r = rules_.rbegin(); r != rules_.rend(); ++r) {
        const bool applies = r->both || r->folders == folder;
        if (!applies) continue;
        if (::fnmatch(r->glob.c_str(), name, 0) == 0) return r->keep;
        any_keeping = any_keeping || r->keep;
    }
    return folder || !any_keeping;
}

}  // namespace tw::cli
