#include "cli/pattern_forms.h"

#include <algorithm>
#include <utility>

#include "encoding/string_encoding.h"
#include "engine/tw.h"
#include "engine/tw_found_forms.h"
#include "pattern/target_forms.h"

namespace tw::cli {

std::optional<std::vector<SearchForm>> search_forms(const Options& o, std::string& error) {
    const bool several_patterns = o.patterns.size() > 1;
    const bool several_encodings = !o.hex && o.encodings.size() > 1;
    std::vector<SearchForm> forms;
    for (std::size_t p = 0; p < o.patterns.size(); ++p) {
        std::size_t made = 0;
        std::string first_error;
        const std::size_t encodings = o.hex ? 1 : o.encodings.size();
        for (std::size_t k = 0; k < encodings; ++k) {
            const EncodingChoice& enc = o.encodings[k];
            // Compiled as the windows compile their forms.
            pattern::Compiled compiled =
                pattern::compile_form(o.patterns[p], pattern_options(o, enc.id), {enc.id, enc.big_endian});
            if (!compiled.ok()) {
                if (first_error.empty()) first_error = refusal_text(o, compiled, o.patterns[p], enc.name);
                continue;
            }
            ++made;
            SearchForm form;
            form.bytes = std::move(compiled.bytes);
            form.wildcard = compiled.wildcard;
            form.encoding = enc.id;
            form.hexadecimal = o.hex;
            form.big_endian = enc.big_endian && !o.hex;
            if (o.ignore_case) form.fold = form_fold_mask(form.bytes, o.hex, enc.id, form.big_endian);
            const std::string label = several_encodings ? enc.name : std::string();
            const auto same = std::find_if(forms.begin(), forms.end(), [&](const SearchForm& f) {
                return f.bytes == form.bytes && f.wildcard == form.wildcard && f.fold == form.fold;
            });
            if (same != forms.end()) {
                if (!label.empty()) same->name += "/" + label;
                continue;
            }
            form.name = several_patterns ? std::to_string(p + 1) : std::string();
            if (!label.empty()) form.name += (form.name.empty() ? "" : ":") + label;
            forms.push_back(std::move(form));
        }
        // An encoding that cannot write the pattern is left out only when
        // another one can.
        if (made == 0 || (!several_encodings && !first_error.empty())) {
            error = first_error;
            return std::nullopt;
        }
    }
    return forms;
}

void give_forms(Engine& e, const std::vector<SearchForm>& forms) {
    e.more_forms.clear();
    e.forms_described.clear();
    if (forms.empty()) return;
    // The result folder names the forms as the output does.
    for (const SearchForm& f : forms)
        e.forms_described.push_back({static_cast<std::uint32_t>(f.bytes.size()),
                                     f.big_endian ? utf16be_encoding() : f.encoding, f.hexadecimal, f.name});
    e.tr.encoding = forms.front().encoding;
    // The fold mask of a UTF-16 big-endian first form, which no stored
    // encoding gives.
    e.first_form_fold = forms.front().fold;
    for (std::size_t i = 1; i < forms.size(); ++i) {
        MultiPattern p;
        p.bytes.assign(forms[i].bytes.begin(), forms[i].bytes.end());
        p.fold.assign(forms[i].fold.begin(), forms[i].fold.end());
        p.wildcard = forms[i].wildcard.has_value();
        p.wild = forms[i].wildcard.value_or('?');
        e.more_forms.push_back(std::move(p));
    }
}

}  // namespace tw::cli
