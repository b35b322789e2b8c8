// The encoding service: for any stored encoding number (the fixed ones, the
// registry's, or any user-defined number) and any text or bytes, a
// conversion either succeeds or says why, never substitutes, and comes back.
// A character with two Unicode spellings is written in one set of bytes,
// which reads back in one spelling (EUC-JP writes both U+00AC and U+FFE2 as
// A2 CC, which reads as U+00AC; IBM's extension bytes FC FB read as U+FFE2
// and are written A2 CC too): so what must hold is that the bytes written
// for a text, or for the text of some bytes, read back as a text that is
// written as those very bytes. Unicode encodings come back exactly. The
// byte length, the encodability test and the fold mask agree with the
// conversion.
//
// Input: byte 0 picks the encoding (below 0x80: a fixed or registry entry by
// index; from 0x80: the stored number in bytes 1..4, little-endian), byte 5
// says whether the rest is text (UTF-16 code units, little-endian) or bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "encoding/string_encoding.h"

namespace enc = tw::encoding;

namespace {

enc::EncodingId pick(const std::uint8_t* data) {
    if (data[0] >= 0x80)
        return static_cast<enc::EncodingId>(data[1] | data[2] << 8 | data[3] << 16 |
                                            static_cast<std::uint32_t>(data[4]) << 24);
    const auto fixed = enc::fixed_encodings();
    const auto registry = enc::registry_encodings();
    const std::size_t i = data[0] % (fixed.size() + registry.size());
    return i < fixed.size() ? fixed[i].id : registry[i - fixed.size()].stored;
}

// Text written in `id` reads back as itself; its length and encodability
// agree with the conversion.
void check_text(std::u16string_view text, enc::EncodingId id) {
    const auto bytes = enc::to_bytes(text, id);
    const auto length = enc::encoded_length(text, id);
    if (bytes.ok() != enc::can_encode(text, id)) std::abort();
    if (bytes.ok() != length.ok() || (bytes.ok() && *length.value != bytes.value->size())) std::abort();
    if (!bytes) {
        if (bytes.error_offset > text.size()) std::abort();
        return;
    }
    const auto back = enc::to_text(*bytes.value, id);
    if (!back) std::abort();
    const auto again = enc::to_bytes(*back.value, id);
    if (!again || *again.value != *bytes.value) std::abort();
    if ((id == enc::kUtf8 || id == enc::kUtf16) && *back.value != text) std::abort();
    // Ignoring case folds letters only.
    const std::string mask = enc::case_fold_mask(*bytes.value, id);
    if (mask.size() != bytes.value->size()) std::abort();
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const auto b = static_cast<std::uint8_t>((*bytes.value)[i]);
        if (mask[i] != 0 && (mask[i] != 0x20 || static_cast<std::uint8_t>((b | 0x20) - 'a') >= 26))
            std::abort();
    }
}

// Bytes read as text write back to bytes (not always the same: a character
// with two spellings is written in one) that then come back as themselves.
void check_bytes(std::string_view bytes, enc::EncodingId id) {
    const auto text = enc::to_text(bytes, id);
    if (!text) {
        if (text.error_offset > bytes.size()) std::abort();
        return;
    }
    const auto again = enc::to_bytes(*text.value, id);
    if (!again) std::abort();
    const auto reread = enc::to_text(*again.value, id);
    if (!reread) std::abort();
    const auto third = enc::to_bytes(*reread.value, id);
    if (!third || *third.value != *again.value) std::abort();
    if ((id == enc::kUtf8 || id == enc::kUtf16) && *again.value != bytes) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    const enc::EncodingId id = pick(data);
    const bool as_text = (data[5] & 1) != 0;
    const std::uint8_t* rest = data + 6;
    const std::size_t n = size - 6;
    if (!enc::is_supported(id)) {
        // An unknown number converts nothing, and says so.
        const auto r = enc::to_bytes(u"a", id);
        if (r || r.error != enc::ErrorKind::UnsupportedEncoding) std::abort();
        return 0;
    }
    if (as_text) {
        std::u16string text(n / 2, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(rest[2 * i] | rest[2 * i + 1] << 8);
        check_text(text, id);
    } else {
        check_bytes(std::string_view(reinterpret_cast<const char*>(rest), n), id);
    }
    return 0;
}
