// A target's forms after its first: the forms file beside the target file,
// its bytes, and the patterns the search takes from it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "encoding/string_encoding.h"
#include "engine/tw.h"
#include "engine/tw_file_util.h"

namespace tw {

namespace {

constexpr char kMagic[8] = {'T', 'W', 'F', 'O', 'R', 'M', 0, 1};
constexpr std::size_t kFormHeader = 16;
// The largest forms file: every form at its longest.
constexpr u64 kMaxFileSize = 12 + kMaxTargetForms * (kFormHeader + 2 * kMaxFormBytes);

void put_u32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t get_u32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

}  // namespace

std::string target_forms_file_name(u64 number) {
    return numbered_file_name(TW_TARGET_FORM_PREFIX, number);
}

std::string encode_target_forms(const std::vector<TargetForm>& forms) {
    std::string out(kMagic, sizeof kMagic);
    put_u32(out, static_cast<std::uint32_t>(forms.size()));
    for (const TargetForm& f : forms) {
        out.push_back(f.hexadecimal ? 1 : 0);
        out.push_back(static_cast<char>((f.big_endian ? 1 : 0) | (f.search_text ? 2 : 0)));
        out.append(2, '\0');
        put_u32(out, f.encoding);
        put_u32(out, static_cast<std::uint32_t>(f.text.size()));
        put_u32(out, static_cast<std::uint32_t>(f.bytes.size()));
        out += f.text;
        out += f.bytes;
    }
    return out;
}

namespace {

bool decode_forms(std::string_view data, std::vector<TargetForm>& out) {
    if (data.size() < 12 || std::memcmp(data.data(), kMagic, sizeof kMagic) != 0) return false;
    const std::uint32_t count = get_u32(data.data() + 8);
    if (count < 1 || count > kMaxTargetForms) return false;
    std::size_t pos = 12;
    for (std::uint32_t k = 0; k < count; ++k) {
        if (data.size() - pos < kFormHeader) return false;
        const char* h = data.data() + pos;
        const auto kind = static_cast<unsigned char>(h[0]);
        const auto flags = static_cast<unsigned char>(h[1]);
        const std::uint32_t text_len = get_u32(h + 8);
        const std::uint32_t bytes_len = get_u32(h + 12);
        if (kind > 1 || flags > 3 || h[2] != 0 || h[3] != 0 || text_len > kMaxFormBytes ||
            bytes_len < 1 || bytes_len > kMaxFormBytes)
            return false;
        pos += kFormHeader;
        if (data.size() - pos < u64{text_len} + bytes_len) return false;
        TargetForm f;
        f.hexadecimal = kind == 1;
        f.big_endian = (flags & 1) != 0;
        f.search_text = (flags & 2) != 0;
        f.encoding = get_u32(h + 4);
        f.text.assign(data.substr(pos, text_len));
        f.bytes.assign(data.substr(pos + text_len, bytes_len));
        pos += text_len + bytes_len;
        out.push_back(std::move(f));
    }
    return pos == data.size();
}

}  // namespace

bool decode_target_forms(std::string_view data, std::vector<TargetForm>& out) {
    out.clear();
    if (decode_forms(data, out)) return true;
    out.clear();
    return false;
}

void Engine::load_target_forms(const std::string& dir, u64 number, TargetRecord& t) {
    t.forms.clear();
    damaged_forms_file.clear();
    const std::string path = dir + "/" + target_forms_file_name(number);
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return;
    int err = 0;
    std::FILE* f = open_regular_stream(path, &err);
    bool ok = f != nullptr;
    try {
        if (ok) {
            struct stat size{};
            ok = ::fstat(::fileno(f), &size) == 0 && static_cast<u64>(size.st_size) <= kMaxFileSize;
            std::string data;
            if (ok) {
                data.resize(static_cast<std::size_t>(size.st_size));
                ok = read_all(f, data.data(), data.size()) && std::fgetc(f) == EOF;
            }
            ok = ok && decode_target_forms(data, t.forms);
        }
    } catch (const std::bad_alloc&) {
        ok = false;
        t.forms.clear();
    }
    if (f != nullptr) std::fclose(f);
    if (!ok) damaged_forms_file = path;
}

u64 Engine::save_target_forms(const std::string& dir, u64 number, const TargetRecord& t) {
    const std::string path = dir + "/" + target_forms_file_name(number);
    if (t.forms.empty()) {
        if (::unlink(path.c_str()) == 0 || errno == ENOENT) return 0;
        record_failure(path, errno);
        return ERR_DELETE_FILE;
    }
    if (t.forms.size() > kMaxTargetForms) return ERR_CORRUPTED;
    for (const TargetForm& f : t.forms)
        if (f.bytes.empty() || f.bytes.size() > kMaxFormBytes || f.text.size() > kMaxFormBytes)
            return ERR_CORRUPTED;
    std::string data;
    try {
        data = encode_target_forms(t.forms);
    } catch (const std::bad_alloc&) {
        return ERR_MEMORY;
    }
    AtomicFileWriter out(path);
    if (out.open() != 0) {
        record_failure(out.failure());
        return ERR_OPEN_FILE;
    }
    const u64 code = write_all(out.stream(), data.data(), data.size()) ? out.commit(true)
                                                                        : out.write_failed();
    if (code != 0) record_failure(out.failure());
    return code;
}

std::string form_fold_mask(std::string_view bytes, bool hexadecimal, std::uint32_t encoding,
                           bool big_endian) {
    if (hexadecimal) {
        std::string mask(bytes.size(), '\0');
        fold_every_letter(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                          reinterpret_cast<std::uint8_t*>(mask.data()));
        return mask;
    }
    auto swap_pairs = [](std::string& s) {
        for (std::size_t i = 0; i + 1 < s.size(); i += 2) std::swap(s[i], s[i + 1]);
    };
    std::string text(bytes);
    if (big_endian) swap_pairs(text);
    std::string mask = encoding::case_fold_mask(text, static_cast<encoding::EncodingId>(encoding));
    if (big_endian) swap_pairs(mask);
    return mask;
}

// The pattern of a target's form: the target's wildcard, and with the case
// ignored the letters of its encoding folded.
MultiPattern target_form_pattern(const TargetRecord& t, const TargetForm& form) {
    MultiPattern p;
    p.bytes.assign(form.bytes.begin(), form.bytes.end());
    p.wildcard = t.use_wildcard != 0;
    p.wild = static_cast<std::uint8_t>(t.wildcard_char);
    if (t.case_insensitive == 0) return p;
    const std::string mask = form_fold_mask(form.bytes, form.hexadecimal, form.encoding, form.big_endian);
    p.fold.assign(mask.begin(), mask.end());
    return p;
}

}  // namespace tw
