// The forms a command-line search looks for: each typed pattern in each
// encoding chosen (a hexadecimal pattern once), as the bytes, wildcard and
// case-fold mask the engine searches. Each form is compiled as the windows
// compile theirs (pattern::compile_form) and folded as the engine folds a
// target's forms (form_fold_mask).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace tw {
class Engine;
}

namespace tw::cli {

struct SearchForm {
    std::string bytes;
    std::optional<unsigned char> wildcard;
    // With --ignore-case: 0x20 where a byte folds, 0 elsewhere.
    std::string fold;
    std::uint32_t encoding = 4;
    bool big_endian = false;  // UTF-16 with each unit's bytes swapped
    bool hexadecimal = false;
    // How the output names the form: the pattern's number (from 1) when
    // there are several, then its encodings when there are several; empty
    // for a search of one form.
    std::string name;
};

// Every pattern in every encoding, pattern by pattern. Forms with the same
// bytes and wildcard are searched once, named after every encoding that
// gave them ("ascii/utf-8"). With several encodings, one that cannot
// represent a pattern is left out for it; a pattern that no encoding can
// represent is an error. On failure returns nullopt and sets `error`.
std::optional<std::vector<SearchForm>> search_forms(const Options& options, std::string& error);

// Gives the engine, whose target searches the first form, the others to
// search in the same pass, and the first one's encoding and fold mask.
void give_forms(Engine& e, const std::vector<SearchForm>& forms);

}  // namespace tw::cli
