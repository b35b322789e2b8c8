#include "pattern/target_forms.h"

#include <algorithm>
#include <utility>

#include "engine/tw.h"

namespace tw::pattern {

Compiled compile_form(std::string_view typed, Options options, FormEncoding e) {
    options.encoding = e.id;
    Compiled c = compile_utf8(typed, options);
    if (c.ok() && e.big_endian && !options.hexadecimal)
        for (std::size_t i = 0; i + 1 < c.bytes.size(); i += 2) std::swap(c.bytes[i], c.bytes[i + 1]);
    return c;
}

std::vector<FormEncoding> common_form_encodings() {
    return {{encoding::kAscii, false}, {encoding::kUtf8, false}, {encoding::kUtf16, false},
            {encoding::kUtf16, true}};
}

FormsBuilt build_target_forms(const FormsRequest& r) {
    FormsBuilt out;
    const bool hexa = r.options.hexadecimal;
    std::vector<std::string> seen{r.first_bytes};
    // The typed text in the further encodings; each further text in the
    // target's encoding too.
    std::vector<std::pair<std::string, std::vector<FormEncoding>>> texts;
    if (!hexa) texts.push_back({r.typed, r.encodings});
    for (const std::string& t : r.more_texts) {
        std::vector<FormEncoding> list{{r.options.encoding, false}};
        if (!hexa)
            for (const FormEncoding& e : r.encodings)
                if (std::find(list.begin(), list.end(), e) == list.end()) list.push_back(e);
        texts.push_back({t, list});
    }
    for (std::size_t n = 0; n < texts.size(); ++n) {
        const auto& [text, list] = texts[n];
        bool made = false;
        Compiled first_refusal;
        for (const FormEncoding& e : list) {
            Compiled c = compile_form(text, r.options, e);
            if (!c.ok()) {
                if (first_refusal.ok()) first_refusal = c;
                continue;
            }
            made = true;
            TargetForm f{hexa, e.big_endian && !hexa, e.id, text, std::move(c.bytes), !hexa && n == 0};
            if (std::find(seen.begin(), seen.end(), f.bytes) != seen.end()) continue;
            if (out.forms.size() == kMaxTargetForms) {
                out.too_many = true;
                return out;
            }
            seen.push_back(f.bytes);
            out.forms.push_back(std::move(f));
        }
        // The typed text was checked as the search string already; a
        // further text must give at least one form.
        if (!made && (n > 0 || hexa)) {
            out.refusal = first_refusal;
            out.refused_text = text;
            return out;
        }
    }
    return out;
}

}  // namespace tw::pattern
