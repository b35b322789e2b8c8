#include "cli/resource_dir.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cli/cli_messages.h"
#include "engine/tw.h"
#include "engine/tw_file_util.h"
#include "engine/tw_found_lock.h"
#include "engine/tw_result_info.h"

namespace tw::cli {

namespace {

const char* const cannot_create_folder_s[2] = {"cannot create the folder %1: %2",
                                               "impossible de créer le dossier %1 : %2"};
const char* const foreign_result_folder_s[2] = {
    "the result folder %1 holds other files and no Trawlex result: give a resource folder whose %2 is "
    "empty or holds a Trawlex result",
    "le dossier de résultat %1 contient d'autres fichiers et aucun résultat de Trawlex : donnez un dossier "
    "de ressources dont le dossier %2 est vide ou contient un résultat de Trawlex"};
const char* const missing_resource_folder_s[2] = {"the resource folder %1 does not exist",
                                                  "le dossier de ressources %1 n'existe pas"};
const char* const no_resource_folder_s[2] = {
    "no resource folder: set HOME or XDG_DATA_HOME, or give --resource-dir",
    "aucun dossier de ressources : définissez HOME ou XDG_DATA_HOME, ou donnez --resource-dir"};
const char* const cannot_create_temporary_s[2] = {"cannot create a temporary resource folder %1: %2",
                                                  "impossible de créer un dossier de ressources temporaire %1 : %2"};

bool is_folder(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates `path` as a folder unless it is one already; another run that
// creates it at the same moment is no failure.
bool ensure_folder(const std::string& path, std::string& error) {
    int err = 0;
    if (make_folder(path, &err)) return true;
    error = text(cannot_create_folder_s, {path, std::strerror(err)});
    return false;
}

// A result folder that exists is written only when it is empty or already
// holds a Trawlex result: the run would empty its result files, and a
// folder of other files was never meant for that.
bool result_folder_usable(const std::string& path, std::string& error) {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return true;  // the lock or the search names the failure
    bool others = false, result = false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        bool ours = false;
        for (const char* known : {TW_FOUND_HEADER, TW_FOUND_OFFSET, TW_FOUND_PATH, TW_FOUND_INFO, TW_FOUND_LOCK})
            ours = ours || name == known;
        (ours ? result : others) = true;
    }
    ::closedir(dir);
    if (!others || result) return true;
    error = text(foreign_result_folder_s, {path, TW_FOUND_DIR});
    return false;
}

}  // namespace

std::string absolute_path(const std::string& path) {
    std::string joined = path;
    if (path.empty() || path[0] != '/') {
        std::error_code ec;
        const std::string cwd = std::filesystem::current_path(ec).string();
        if (!ec) joined = cwd + "/" + path;
    }
    // Drops empty and "." components, which never change what a path
    // names; ".." stays, since after a symbolic link it does not go back to
    // the folder written before it.
    std::string out;
    std::size_t pos = 0;
    const bool absolute = !joined.empty() && joined[0] == '/';
    while (pos <= joined.size()) {
        std::size_t slash = joined.find('/', pos);
        if (slash == std::string::npos) slash = joined.size();
        const std::string_view part(joined.data() + pos, slash - pos);
        if (!part.empty() && part != ".") {
            if (!out.empty() || absolute) out.push_back('/');
            out.append(part);
        }
        pos = slash + 1;
    }
    if (out.empty()) out = absolute ? "/" : ".";
    return out;
}

std::string ResourceDir::default_path() {
    const char* data_home = std::getenv("XDG_DATA_HOME");
    if (data_home != nullptr && data_home[0] == '/') return std::string(data_home) + "/Trawlex";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/share/Trawlex";
    return {};
}

bool ResourceDir::prepare(const std::optional<std::string>& requested, bool read_targets,
                          bool needed, std::string& error) {
    if (requested) {
        path_ = absolute_path(*requested);
        targets_path_ = path_;
        if (!is_folder(path_)) {
            error = text(missing_resource_folder_s, {path_});
            return false;
        }
        const std::string found = path_ + "/" + TW_FOUND_DIR;
        return result_folder_usable(found, error) && ensure_folder(found, error) &&
               ensure_folder(path_ + "/" + TW_TARGET_DIR, error);
    }
    if (read_targets) {
        targets_path_ = default_path();
        if (targets_path_.empty()) {
            error = text(no_resource_folder_s);
            return false;
        }
    }
    if (!read_targets && !needed) return true;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = (tmp != nullptr && tmp[0] == '/' ? std::string(tmp) : std::string("/tmp")) +
                          "/trawlex-cli-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        error = text(cannot_create_temporary_s, {pattern, std::strerror(errno)});
        return false;
    }
    path_ = buffer.data();
    if (!read_targets) targets_path_ = path_;
    temporary_ = true;
    return ensure_folder(path_ + "/" + TW_FOUND_DIR, error) &&
           ensure_folder(path_ + "/" + TW_TARGET_DIR, error);
}

void ResourceDir::remove_temporary() {
    if (!temporary_) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    temporary_ = false;
}

ResourceDir::~ResourceDir() { remove_temporary(); }

}  // namespace tw::cli
