// Settings files: TW_preference (the preference record and the six show
// options) and TW_launcher (the launcher list).
#include <sys/stat.h>

#include <cstring>

#include "engine/tw.h"
#include "engine/tw_file_util.h"
#include "engine/tw_le.h"

namespace tw {

namespace {

constexpr std::size_t kPrefRecordSize = 56;
constexpr std::size_t kPrefFileSize = 62;
// A launcher list is a few application paths; a larger file is not one.
constexpr u64 kMaxLauncherFileSize = u64{16} << 20;

void encode_preferences(const PreferenceRecord& pr, const ShowInfoRecord& sir,
                        std::uint8_t (&out)[kPrefFileSize]) {
    std::memset(out, 0, sizeof out);
    const u64 words[] = {pr.str_mem_size,     pr.text_mem_size,          pr.occ_mem_size,
                         pr.show_info_every,  pr.user_defined_encoding,
                         static_cast<u64>(pr.saved_target_index)};
    for (int i = 0; i < 6; ++i) store_le64(out + 8 * i, words[i]);
    out[48] = pr.return_key_is_search;
    out[49] = pr.reserved;
    std::memcpy(out + 50, pr.padding, sizeof pr.padding);
    const std::uint8_t show[] = {sir.show_file_name,     sir.show_folder_name,
                                 sir.show_found_occ_nb,  sir.show_found_file_nb,
                                 sir.show_total_bytes,   sir.show_access_err_nb};
    std::memcpy(out + kPrefRecordSize, show, sizeof show);
}

void decode_preferences(const std::uint8_t (&in)[kPrefFileSize], PreferenceRecord& pr,
                        ShowInfoRecord& sir) {
    pr.str_mem_size = load_le64(in);
    pr.text_mem_size = load_le64(in + 8);
    pr.occ_mem_size = load_le64(in + 16);
    pr.show_info_every = load_le64(in + 24);
    pr.user_defined_encoding = load_le64(in + 32);
    pr.saved_target_index = static_cast<i64>(load_le64(in + 40));
    pr.return_key_is_search = in[48];
    pr.reserved = in[49];
    std::memcpy(pr.padding, in + 50, sizeof pr.padding);
    std::uint8_t* show[] = {&sir.show_file_name,    &sir.show_folder_name,
                            &sir.show_found_occ_nb, &sir.show_found_file_nb,
                            &sir.show_total_bytes,  &sir.show_access_err_nb};
    for (int i = 0; i < 6; ++i) *show[i] = in[kPrefRecordSize + i];
}

}  // namespace

u64 Engine::load_pref_file() {
    if (!is_directory(resource_dir_pathname_ptr)) return ERR_ACCESS_DIR;
    const std::string path = resource_path(TW_PREFERENCE);
    WorkFile& w = wf[WF_PREFERENCE];
    w.stream = open_regular_stream(path, nullptr);
    if (w.stream == nullptr) return ERR_OPEN_FILE;
    // The bytes that arrive overwrite the record from its start; the rest
    // keep what they held.
    std::uint8_t image[kPrefFileSize];
    encode_preferences(pr, sir, image);
    const std::size_t got = std::fread(image, 1, kPrefFileSize, w.stream);
    decode_preferences(image, pr, sir);
    u64 code = got == kPrefFileSize ? 0 : ERR_READ_FILE;
    if (std::fclose(w.stream) != 0 && code == 0) code = ERR_CLOSE_FILE;
    w.stream = nullptr;
    return code;
}

u64 Engine::save_pref_file() {
    if (!is_directory(resource_dir_pathname_ptr)) return ERR_ACCESS_DIR;
    AtomicFileWriter out(resource_path(TW_PREFERENCE));
    std::uint8_t image[kPrefFileSize];
    encode_preferences(pr, sir, image);
    u64 code = out.open();
    if (code == 0 && !write_all(out.stream(), image, kPrefFileSize)) code = out.write_failed();
    if (code == 0) code = out.commit();
    if (code != 0) record_failure(out.failure());
    return code;
}

u64 Engine::load_launcher_file() {
    if (!is_directory(resource_dir_pathname_ptr)) return ERR_ACCESS_DIR;
    const std::string path = resource_path(TW_LAUNCHER);
    WorkFile& w = wf[WF_LAUNCHER];
    w.stream = open_regular_stream(path, nullptr);
    if (w.stream == nullptr) return ERR_OPEN_FILE;
    auto finish = [&](u64 code) {
        if (std::fclose(w.stream) != 0 && code == 0) code = ERR_CLOSE_FILE;
        w.stream = nullptr;
        return code;
    };
    struct stat st{};
    if (::fstat(::fileno(w.stream), &st) != 0) return finish(ERR_READ_FILE);
    const u64 size = static_cast<u64>(st.st_size);
    if (size > kMaxLauncherFileSize) return finish(ERR_CORRUPTED);
    if (grow_buffer(br.launcher_list, br.launcher_list_size, size) != 0) return finish(ERR_MEMORY);
    if (!read_all(w.stream, br.launcher_list, size)) {
        br.launcher_list_len = 0;
        return finish(ERR_READ_FILE);
    }
    // Readers walk NUL-terminated entries: a list whose last entry has no
    // NUL would let them run past its end.
    if (size > 0 && br.launcher_list[size - 1] != '\0') {
        br.launcher_list_len = 0;
        return finish(ERR_CORRUPTED);
    }
    br.launcher_list_len = size;
    return finish(0);
}

u64 Engine::save_launcher_file() {
    if (!is_directory(resource_dir_pathname_ptr)) return ERR_ACCESS_DIR;
    AtomicFileWriter out(resource_path(TW_LAUNCHER));
    u64 code = out.open();
    if (code == 0 && !write_all(out.stream(), br.launcher_list, br.launcher_list_len))
        code = out.write_failed();
    if (code == 0) code = out.commit();
    if (code != 0) record_failure(out.failure());
    return code;
}

u64 Engine::append_to_launcher(const char* path) {
    const u64 n = std::strlen(path) + 1;
    if (grow_buffer(br.launcher_list, br.launcher_list_size, br.launcher_list_len + n) != 0)
        return ERR_MEMORY;
    std::memcpy(br.launcher_list + br.launcher_list_len, path, n);
    br.launcher_list_len += n;
    return 0;
}

u64 Engine::delete_from_launcher(u64 index) {
    u64 pos = 0;
    for (u64 i = 0; i < index; ++i) {
        if (pos >= br.launcher_list_len) return ERR_CORRUPTED;
        pos += std::strlen(br.launcher_list + pos) + 1;
    }
    if (pos >= br.launcher_list_len) return ERR_CORRUPTED;
    const u64 entry = std::strlen(br.launcher_list + pos) + 1;
    std::memmove(br.launcher_list + pos, br.launcher_list + pos + entry,
                 br.launcher_list_len - pos - entry);
    br.launcher_list_len -= entry;
    return 0;
}

}  // namespace tw
