#include "engine/tw_found_forms.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "encoding/string_encoding.h"
#include "engine/tw_fd.h"

namespace tw {

namespace {

constexpr char kMagic[8] = {'T', 'W', 'F', 'O', 'R', 'M', 'S', '\x01'};
constexpr std::size_t kMinForms = 2;
constexpr std::size_t kMaxForms = 64;
constexpr std::uint32_t kMaxLength = 65536;
constexpr std::uint32_t kRegistryUtf16Be = 0x10000100;

void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t get32(std::string_view s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

}  // namespace

std::uint32_t utf16be_encoding() { return encoding::stored_from_registry(kRegistryUtf16Be); }

std::string found_form_name(std::uint32_t id, bool hexadecimal, std::size_t form_index,
                            std::size_t text_number) {
    if (hexadecimal) return "hex " + std::to_string(form_index + 1);
    std::string name;
    if (id == encoding::kUtf16) name = "UTF-16LE";
    else if (id == utf16be_encoding()) name = "UTF-16BE";
    else if (const auto row = encoding::fixed_index(id)) name = encoding::fixed_encodings()[*row].short_name;
    else if (const auto converter = encoding::converter_name(id)) name = *converter;
    else name = "encoding " + std::to_string(id);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (text_number > 0) name = std::to_string(text_number) + ":" + name;
    return name.substr(0, kFoundFormNameMax);
}

std::string encode_found_forms(const std::vector<FoundForm>& forms) {
    std::string out(kMagic, sizeof kMagic);
    put32(out, static_cast<std::uint32_t>(forms.size()));
    put32(out, 0);
    for (const FoundForm& f : forms) {
        const std::size_t n = std::min(f.name.size(), kFoundFormNameMax);
        put32(out, f.length);
        put32(out, f.encoding);
        out.push_back(static_cast<char>(f.hexadecimal ? 1 : 0));
        out.push_back(static_cast<char>(n));
        out.append(2, '\0');
        out.append(f.name, 0, n);
    }
    return out;
}

bool decode_found_forms(std::string_view d, std::size_t count, std::vector<FoundForm>& out,
                        std::string* why) {
    const auto fail = [&](const char* reason) {
        if (why != nullptr) *why = reason;
        return false;
    };
    if (d.size() > kFoundFormsMaxSize) return fail("larger than a description of forms can be");
    if (d.size() < 16 || std::memcmp(d.data(), kMagic, sizeof kMagic) != 0)
        return fail("not a description of forms");
    const std::uint32_t n = get32(d, 8);
    if (n < kMinForms || n > kMaxForms || n != count || get32(d, 12) != 0)
        return fail("the count of forms does not match the result");
    std::vector<FoundForm> forms;
    std::size_t at = 16;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (d.size() - at < 12) return fail("cut short");
        FoundForm f;
        f.length = get32(d, at);
        f.encoding = get32(d, at + 4);
        const auto kind = static_cast<unsigned char>(d[at + 8]);
        const auto name_len = static_cast<unsigned char>(d[at + 9]);
        if (f.length == 0 || f.length > kMaxLength) return fail("a form's length is out of bounds");
        if (kind > 1 || d[at + 10] != 0 || d[at + 11] != 0 || name_len > kFoundFormNameMax)
            return fail("a form's kind or name is out of bounds");
        at += 12;
        if (d.size() - at < name_len) return fail("cut short");
        f.hexadecimal = kind == 1;
        f.name.assign(d.substr(at, name_len));
        at += name_len;
        forms.push_back(std::move(f));
    }
    if (at != d.size()) return fail("bytes follow the last form");
    out = std::move(forms);
    return true;
}

u64 read_found_forms(const std::string& path, std::size_t count, std::vector<FoundForm>& out,
                     std::string* why) {
    int err = 0;
    struct stat st{};
    const UniqueFd fd(open_regular_at(AT_FDCWD, path.c_str(), &err, &st));
    if (!fd) {
        if (why != nullptr) *why = path + ": " + std::strerror(err);
        return ERR_OPEN_FILE;
    }
    std::string reason;
    if (static_cast<u64>(st.st_size) > kFoundFormsMaxSize) {
        reason = "larger than a description of forms can be";
    } else {
        std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
        bytes.resize(pread_full(fd.get(), bytes.data(), bytes.size(), 0, &err));
        if (err != 0) {
            if (why != nullptr) *why = path + ": " + std::strerror(err);
            return ERR_READ_FILE;
        }
        if (decode_found_forms(bytes, count, out, &reason)) return 0;
    }
    if (why != nullptr) *why = path + ": " + reason;
    return ERR_CORRUPTED;
}

}  // namespace tw
