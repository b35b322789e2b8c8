#include "engine/tw_result_info.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "engine/tw_le.h"

namespace tw {

namespace {

constexpr char kMagic[8] = {'T', 'W', 'R', 'E', 'S', 'U', 'L', 'T'};
constexpr char kFormsKey[8] = {'F', 'O', 'R', 'M', 'S', '\0', '\0', '\0'};
constexpr u64 kMaxForms = 64;

}  // namespace

std::vector<std::uint8_t> encode_result_info(const ResultInfo& info) {
    const std::size_t s = std::min(info.search_str.size(), kResultInfoMaxText);
    const std::size_t n = std::min(info.target_name.size(), kResultInfoMaxText);
    const bool forms = info.form_nb > 1;
    std::vector<std::uint8_t> out(kResultInfoFixed + s + n + (forms ? kResultInfoFormsKey : 0));
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    const u64 words[] = {info.record_len, info.eol_char,   info.encoding,
                         info.is_hexa,    info.case_insensitive, info.start_time,
                         info.elapsed,    info.status,     info.error_code,
                         info.search_str_len, s,           n};
    for (std::size_t i = 0; i < std::size(words); ++i) store_le64(out.data() + 8 + 8 * i, words[i]);
    std::memcpy(out.data() + kResultInfoFixed, info.search_str.data(), s);
    std::memcpy(out.data() + kResultInfoFixed + s, info.target_name.data(), n);
    if (forms) {
        std::uint8_t* key = out.data() + kResultInfoFixed + s + n;
        std::memcpy(key, kFormsKey, sizeof kFormsKey);
        store_le64(key + 8, info.form_nb);
    }
    return out;
}

bool decode_result_info(const std::uint8_t* data, std::size_t size, ResultInfo& info) {
    if (size < kResultInfoFixed || size > kResultInfoMaxSize ||
        std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return false;
    u64 w[12];
    for (std::size_t i = 0; i < 12; ++i) w[i] = load_le64(data + 8 + 8 * i);
    const u64 s = w[10], n = w[11];
    if ((w[0] != 8 && w[0] != 16) || w[7] > RESULT_RUNNING || s > kResultInfoMaxText ||
        n > kResultInfoMaxText || s > w[9])
        return false;
    const std::size_t texts_end = kResultInfoFixed + s + n;
    u64 form_nb = 1;
    if (size == texts_end + kResultInfoFormsKey) {
        const std::uint8_t* key = data + texts_end;
        form_nb = load_le64(key + 8);
        if (std::memcmp(key, kFormsKey, sizeof kFormsKey) != 0 || form_nb < 2 || form_nb > kMaxForms)
            return false;
    } else if (size != texts_end) {
        return false;
    }
    ResultInfo r;
    r.present = true;
    r.record_len = w[0];
    r.form_nb = form_nb;
    r.eol_char = w[1];
    r.encoding = w[2];
    r.is_hexa = w[3];
    r.case_insensitive = w[4];
    r.start_time = w[5];
    r.elapsed = w[6];
    r.status = w[7];
    r.error_code = w[8];
    r.search_str_len = w[9];
    r.search_str.assign(reinterpret_cast<const char*>(data + kResultInfoFixed), s);
    r.target_name.assign(reinterpret_cast<const char*>(data + kResultInfoFixed + s), n);
    info = std::move(r);
    return true;
}

}  // namespace tw
