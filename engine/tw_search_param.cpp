// Fills the search parameter block from the current target.
#include <algorithm>
#include <cstring>

#include "encoding/string_encoding.h"
#include "engine/tw.h"

namespace tw {

u64 Engine::set_search_param_from_target() {
    sr.EOL_CHAR = tr.eol_char;
    sr.WILD_CHAR = tr.wildcard_char;
    // The options are 0 or 1 as the user interface writes them; any other
    // value from a hand-edited file counts as set.
    sr.SEARCH_KIND = (tr.add_line_nb != 0 ? KIND_LINE_NB : 0) |
                     (tr.case_insensitive != 0 ? KIND_CASE_INSENSITIVE : 0) |
                     (tr.use_wildcard != 0 ? KIND_WILDCARD : 0);
    const u64 length = tr.search_str_len;
    if (length == 0 || tr.search_str == nullptr) {
        sr.STR_END = 0;
        return ERR_INVALID_NAME;
    }
    // A text buffer smaller than the pattern could never hold one start
    // position: the search would not advance.
    if (sr.TEXT_BUF_SIZE < length) return ERR_MEMORY;
    if (length > sr.STR_BUF_SIZE) {
        if (length > (~u64{0} >> 2)) return ERR_MEMORY;
        if (const u64 code = set_str_buf(2 * length); code != 0) return code;
    }
    std::memcpy(reinterpret_cast<void*>(sr.STR_START), tr.search_str, length);
    sr.STR_END = sr.STR_START + length;
    sr.FOLD_MASK = 0;
    sr.MULTI = 0;
    if ((sr.SEARCH_KIND & KIND_CASE_INSENSITIVE) != 0) {
        // Only ASCII letters as characters of the pattern's encoding fold;
        // a hexadecimal pattern's letter bytes all do. The matcher folds
        // the text where the pattern folds, as it compares.
        try {
            if (first_form_fold.size() == length) {
                fold_mask_ = first_form_fold;
            } else if (tr.is_hexa != 0) {
                fold_mask_.assign(length, '\0');
                fold_every_letter(tr.search_str, length, reinterpret_cast<std::uint8_t*>(fold_mask_.data()));
            } else {
                fold_mask_ = encoding::case_fold_mask(
                    std::string_view(reinterpret_cast<const char*>(tr.search_str), length),
                    static_cast<encoding::EncodingId>(tr.encoding));
            }
        } catch (const std::bad_alloc&) {
            return ERR_MEMORY;
        }
        sr.FOLD_MASK = reinterpret_cast<u64>(fold_mask_.data());
    }
    if (const u64 code = init_tw_search(sr); code != 0 || (more_forms.empty() && tr.forms.empty())) return code;
    return set_scan_forms();
}

std::vector<FoundForm> Engine::describe_forms(const std::vector<MultiPattern>& list) const {
    std::vector<FoundForm> out;
    const auto own_encoding = static_cast<std::uint32_t>(tr.encoding);
    if (forms_described.size() == list.size()) {
        out = forms_described;
    } else {
        // The target's search string, its forms, then unnamed ones (known
        // by their numbers); each
        // further text numbered when there are several.
        std::vector<std::string> texts{""};
        std::vector<std::size_t> text_of{1};
        for (const TargetForm& f : tr.forms) {
            std::size_t k = 1;
            if (!f.search_text && !f.hexadecimal) {
                auto at = std::find(texts.begin() + 1, texts.end(), f.text);
                if (at == texts.end()) at = texts.insert(texts.end(), f.text);
                k = static_cast<std::size_t>(at - texts.begin()) + 1;
            }
            text_of.push_back(k);
        }
        const bool numbered = texts.size() > 1;
        out.push_back({0, own_encoding, tr.is_hexa != 0,
                       found_form_name(own_encoding, tr.is_hexa != 0, 0, numbered ? 1 : 0)});
        for (std::size_t i = 0; i < tr.forms.size(); ++i) {
            const TargetForm& f = tr.forms[i];
            const std::uint32_t id = f.hexadecimal ? own_encoding
                                     : f.big_endian ? utf16be_encoding()
                                                    : f.encoding;
            out.push_back({0, id, f.hexadecimal,
                           found_form_name(id, f.hexadecimal, i + 1, numbered ? text_of[i + 1] : 0)});
        }
        while (out.size() < list.size())
            out.push_back({0, own_encoding, false, ""});
    }
    for (std::size_t i = 0; i < list.size(); ++i)
        out[i].length = static_cast<std::uint32_t>(list[i].bytes.size());
    return out;
}

u64 Engine::set_scan_forms() {
    try {
        std::vector<MultiPattern> list;
        list.reserve(1 + tr.forms.size() + more_forms.size());
        MultiPattern& first = list.emplace_back();
        first.bytes.assign(tr.search_str, tr.search_str + tr.search_str_len);
        first.wildcard = tr.use_wildcard != 0;
        first.wild = static_cast<std::uint8_t>(tr.wildcard_char);
        if (sr.FOLD_MASK != 0) first.fold.assign(fold_mask_.begin(), fold_mask_.end());
        // The target's own forms, then those given beside it.
        for (const TargetForm& form : tr.forms) list.push_back(target_form_pattern(tr, form));
        list.insert(list.end(), more_forms.begin(), more_forms.end());
        if (list.size() > kMaxMultiPatterns) return ERR_INVALID_NAME;
        auto forms = std::make_unique<ScanForms>();
        if (forms->matcher.set_patterns(list) != MultiError::None) return ERR_INVALID_NAME;
        forms->count = list.size();
        forms->described = describe_forms(list);
        forms->longest = forms->matcher.max_length();
        forms->shortest = forms->longest;
        for (const MultiPattern& p : list) forms->shortest = std::min<u64>(forms->shortest, p.bytes.size());
        // The text buffer holds a start position of the longest form, and
        // the record buffer every occurrence at one position.
        const u64 record = (sr.SEARCH_KIND & KIND_LINE_NB) != 0 ? 24 : 16;
        if (sr.TEXT_BUF_SIZE < forms->longest || sr.OCC_BUF_SIZE / record < forms->count)
            return ERR_MEMORY;
        scan_forms_ = std::move(forms);
        sr.MULTI = reinterpret_cast<u64>(scan_forms_.get());
        return 0;
    } catch (const std::bad_alloc&) {
        return ERR_MEMORY;
    }
}

}  // namespace tw
