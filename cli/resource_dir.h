// The resource folder a trawlex-cli run works in: the one named by
// --resource-dir, the application's own, or a temporary one removed at exit.
#pragma once

#include <optional>
#include <string>

namespace tw::cli {

class ResourceDir {
public:
    ResourceDir() = default;
    ~ResourceDir();
    ResourceDir(const ResourceDir&) = delete;
    ResourceDir& operator=(const ResourceDir&) = delete;

    // With `requested`: that folder, which must exist, for the targets and
    // the result; its TW_found and TW_target folders are created when
    // missing (also when another run creates them at the same moment).
    // Without: the result goes to a fresh temporary folder, so that runs
    // never share one by accident, and the targets are read from the
    // application's folder (default_path()) when `read_targets` is set.
    // Without either, and when no result folder is `needed`, there is no
    // folder at all: path() and targets_path() are empty.
    // False with `error` set when no usable folder could be had.
    bool prepare(const std::optional<std::string>& requested, bool read_targets, bool needed,
                 std::string& error);

    // The folder whose TW_found receives the result.
    const std::string& path() const { return path_; }
    // The folder whose TW_target holds the stored targets.
    const std::string& targets_path() const { return targets_path_; }
    bool is_temporary() const { return temporary_; }

    // Removes the temporary folder now (also done by the destructor).
    void remove_temporary();

    // $XDG_DATA_HOME/Trawlex when XDG_DATA_HOME is an absolute path, else
    // $HOME/.local/share/Trawlex; empty when neither variable helps.
    static std::string default_path();

private:
    std::string path_;
    std::string targets_path_;
    bool temporary_ = false;
};

// `path` made absolute by joining it to the current folder, without "."
// components, repeated or trailing slashes ("/" stays "/"). ".." components
// and links are left for the system to resolve.
std::string absolute_path(const std::string& path);

}  // namespace tw::cli
