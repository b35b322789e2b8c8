// Which names met inside folders are searched: the rules of -g/--glob,
// --include, --exclude and --exclude-dir, matched with fnmatch(3) against
// the name alone (not its folder), as grep's and ripgrep's are.
#pragma once

#include <string>
#include <vector>

namespace tw::cli {

class NameFilter {
public:
    // ripgrep's -g: GLOB keeps the files it matches (and then only those
    // that some keeping rule matches); !GLOB leaves out the files and
    // folders it matches.
    void add_glob(const std::string& glob);
    // grep's --include, --exclude (files) and --exclude-dir (folders).
    void add_include(const std::string& glob) { rules_.push_back({glob, true, false}); }
    void add_exclude(const std::string& glob) { rules_.push_back({glob, false, false}); }
    void add_exclude_dir(const std::string& glob) { rules_.push_back({glob, false, true}); }

    bool empty() const { return rules_.empty(); }
    // The last rule that matches decides; a file that none matches is kept
    // unless some rule keeps files; a folder that none matches is kept.
    bool keep(const char* name, bool folder) const;

private:
    struct Rule {
        std::string glob;
        bool keep;
        bool folders;  // a rule on folders (--exclude-dir, !GLOB), not on files
        bool both = false;  // -g: on files and folders
    };
    std::vector<Rule> rules_;
};

}  // namespace tw::cli
