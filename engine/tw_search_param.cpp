// Fills the search parameter block from the current target.
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
    if ((sr.SEARCH_KIND & KIND_CASE_INSENSITIVE) != 0) {
        // Only ASCII letters as characters of the pattern's encoding fold;
        // a hexadecimal pattern's letter bytes all do. The matcher folds
        // the text where the pattern folds, as it compares.
        try {
            if (tr.is_hexa != 0) {
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
    return init_tw_search(sr);
}

}  // namespace tw
