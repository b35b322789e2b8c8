// The forms a target searches beside its search string, as the windows
// build them: the typed text in each further encoding chosen, and each
// further search string in the target's encoding and in those encodings.
// Forms with the same bytes as the search string or an earlier form are
// left out. Qt-free.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/tw_records.h"
#include "pattern/pattern_compiler.h"

namespace tw::pattern {

struct FormEncoding {
    encoding::EncodingId id = encoding::kUtf8;
    bool big_endian = false;  // UTF-16 with each unit's bytes swapped
    bool operator==(const FormEncoding&) const = default;
};

// A text (UTF-8, or hexadecimal digits) compiled as one form: in the
// encoding `e` names, each UTF-16 unit's bytes swapped for big-endian (not
// in hexadecimal, whose bytes are as typed). The windows and trawlex-cli
// both build their forms with it.
Compiled compile_form(std::string_view typed, Options options, FormEncoding e);

// The quick choice: ASCII, UTF-8 and UTF-16 in both byte orders.
std::vector<FormEncoding> common_form_encodings();

struct FormsRequest {
    std::string first_bytes;  // the target's search string as stored
    std::string typed;        // its typed text (UTF-8); unused in hexadecimal
    Options options;          // how the target reads what is typed
    std::vector<FormEncoding> encodings;  // the further encodings of the texts
    std::vector<std::string> more_texts;  // further search strings (UTF-8 or hexadecimal)
};

struct FormsBuilt {
    std::vector<TargetForm> forms;
    // A further search string that no encoding chosen can give (its
    // refusal from the first encoding tried), or too many forms
    // (refusal None, too_many set).
    Compiled refusal;
    std::string refused_text;
    bool too_many = false;
    bool ok() const { return refusal.ok() && !too_many; }
};

FormsBuilt build_target_forms(const FormsRequest& request);

}  // namespace tw::pattern
