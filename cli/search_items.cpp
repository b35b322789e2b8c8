// The search trawlex-cli makes: a typed target from the pattern and the
// paths, or a stored target loaded by its name or number.
#include "cli/search_items.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/cli_messages.h"
#include "cli/output_text.h"
#include "cli/resource_dir.h"
#include "engine/tw.h"

namespace tw::cli {

namespace {

// A copy of `size` bytes followed by a NUL, in a block of the engine's
// allocator (malloc), which the engine releases with the target.
template <typename T>
T* engine_copy(const void* data, std::size_t size) {
    auto* block = static_cast<T*>(std::malloc(size + 1));
    if (block == nullptr) return nullptr;
    std::memcpy(block, data, size);
    reinterpret_cast<char*>(block)[size] = '\0';
    return block;
}

}  // namespace

// Makes the engine's current target the typed search: the pattern bytes,
// the options, and the paths as file or folder items.
bool set_typed_target(tw::Engine& e, const Options& o, const Pattern& typed,
                      const std::vector<std::string>& paths, const std::vector<bool>& folders) {
    const std::string& pattern = typed.bytes;
    e.clear_target_buffer(e.tr);
    e.init_target(e.tr);
    e.tr.eol_char = o.eol;
    e.tr.wildcard_char = typed.wildcard ? *typed.wildcard : 63;
    e.tr.use_wildcard = typed.wildcard ? 1 : 0;
    e.tr.add_line_nb = o.line_numbers ? 1 : 0;
    e.tr.case_insensitive = o.ignore_case ? 1 : 0;
    e.tr.skip_error = o.stop_on_error ? 0 : 1;
    e.tr.not_inside = o.hidden ? 0 : 1;
    e.tr.is_hexa = o.hex ? 1 : 0;
    e.tr.encoding = o.encoding;
    static const char kName[] = "trawlex-cli";
    e.tr.target_name = engine_copy<char>(kName, sizeof kName - 1);
    e.tr.search_str_len = pattern.size();
    e.tr.search_str = engine_copy<std::uint8_t>(pattern.data(), pattern.size());
    std::string pool;
    for (const std::string& p : paths) {
        pool += p;
        pool.push_back('\0');
    }
    e.tr.path_pool = engine_copy<char>(pool.data(), pool.size());
    e.tr.items = static_cast<tw::ItemRecord*>(std::malloc(sizeof(tw::ItemRecord) * paths.size()));
    if (e.tr.target_name == nullptr || e.tr.search_str == nullptr || e.tr.path_pool == nullptr ||
        e.tr.items == nullptr)
        return false;
    u64 offset = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        e.tr.items[i] = {folders[i] ? tw::TW_ITEM_FOLDER : tw::TW_ITEM_FILE, paths[i].size() + 1,
                         offset};
        offset += paths[i].size() + 1;
    }
    e.tr.item_nb = paths.size();
    return true;
}

const char* const cannot_list_s[2] = {"cannot list the stored targets: %1",
                                      "impossible de lister les cibles enregistrées : %1"};
const char* const damaged_s[2] = {"warning: the damaged target file %1 is skipped",
                                  "attention : le fichier de cible abîmé %1 est sauté"};
const char* const no_number_s[2] = {"no stored target number %1", "aucune cible enregistrée numéro %1"};
const char* const no_name_s[2] = {"no stored target named '%1'", "aucune cible enregistrée nommée « %1 »"};
const char* const cannot_load_s[2] = {"cannot load the stored target %1: %2",
                                      "impossible de charger la cible enregistrée %1 : %2"};
const char* const stored_folded_s[2] = {
    "the stored target %1 has the wildcard '%2' with Ignore case, which folds it together with the "
    "letter '%3'/'%4' of its search string; choose a wildcard that is not a letter",
    "la cible enregistrée %1 a le joker « %2 » avec Ignorer la casse, qui le confond avec la lettre "
    "« %3 »/« %4 » de sa chaîne cherchée ; choisissez un joker qui ne soit pas une lettre"};

// Loads the stored target named or numbered `which` as the current target.
int load_stored_target(tw::Engine& e, const std::string& which) {
    if (const u64 code = e.build_target_list(); code != 0)
        return error_status(text(cannot_list_s, {e.error_text(code)}));
    for (const std::string& damaged : e.damaged_targets)
        std::fprintf(stderr, "trawlex-cli: %s\n", text(damaged_s, {damaged}).c_str());
    const tw::cli::TargetChoice choice = tw::cli::parse_target_choice(which);
    u64 number = choice.number;
    if (choice.by_number) {
        if (number >= e.nb_of_target_from_target_list())
            return error_status(text(no_number_s, {which}));
    } else {
        bool found = false;
        number = 0;
        for (u64 pos = 0; pos < e.br.target_list_len; ++number) {
            const char* name = e.br.target_list + pos;
            if (choice.name == name) {
                found = true;
                break;
            }
            pos += std::strlen(name) + 1;
        }
        if (!found) return error_status(text(no_name_s, {choice.name}));
    }
    if (const u64 code = e.make_target_current(number); code != 0)
        return error_status(text(cannot_load_s, {which, e.error_text(code)}));
    // A target saved before letter wildcards were refused under Ignore case
    // would not search what was typed: refused as a typed pattern is.
    tw::pattern::Options stored;
    stored.hexadecimal = e.tr.is_hexa != 0;
    stored.encoding = static_cast<tw::encoding::EncodingId>(e.tr.encoding);
    if (e.tr.use_wildcard != 0 && e.tr.wildcard_char <= 255)
        stored.wildcard = static_cast<std::uint8_t>(e.tr.wildcard_char);
    stored.ignore_case = e.tr.case_insensitive != 0;
    const tw::pattern::Compiled checked = tw::pattern::check_stored(
        std::string_view(reinterpret_cast<const char*>(e.tr.search_str), e.tr.search_str_len), stored);
    if (checked.refusal == tw::pattern::Refusal::WildcardFoldedWithLetter) {
        const char lower = static_cast<char>(checked.letter);
        const char upper = static_cast<char>(checked.letter & ~0x20);
        return error_status(text(stored_folded_s, {which, std::string(1, static_cast<char>(*stored.wildcard)),
                                            std::string(1, upper), std::string(1, lower)}));
    }
    return 0;
}

const char* const empty_path_s[2] = {"an empty PATH names nothing", "un CHEMIN vide ne nomme rien"};

// Makes every path that names something searchable absolute; "-" is
// standard input. Folders are walked; files, pipes, sockets and devices are
// file items. A path that names nothing is named on stderr and left out,
// as grep and ripgrep do; their number is returned.
std::size_t check_paths(const std::vector<std::string>& in, std::vector<std::string>& out,
                        std::vector<bool>& folders) {
    std::size_t missing = 0;
    for (const std::string& arg : in) {
        if (arg.empty()) {
            error_status(text(empty_path_s));
            ++missing;
            continue;
        }
        const std::string path = arg == "-" ? kStdinPath : absolute_path(arg);
        struct stat st{};
        if (::stat(path.c_str(), &st) != 0) {
            std::string shown;
            append_escaped(shown, arg == "-" ? kStdinName : arg);
            error_status(shown + ": " + std::strerror(errno));
            ++missing;
            continue;
        }
        out.push_back(path);
        folders.push_back(S_ISDIR(st.st_mode));
    }
    return missing;
}


}  // namespace tw::cli
