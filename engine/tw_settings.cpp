// Settings files: TW_preference (the preference record and the six show
// options) and TW_launcher (the launcher list).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

std::vector<std::uint8_t> preference_image(const PreferenceRecord& pr, const ShowInfoRecord& sir) {
    std::uint8_t image[kPrefFileSize];
    encode_preferences(pr, sir, image);
    return {image, image + kPrefFileSize};
}

std::vector<std::uint8_t> launcher_image(const BufferRecord& br) {
    const auto* list = reinterpret_cast<const std::uint8_t*>(br.launcher_list);
    if (list == nullptr) return {};
    return {list, list + br.launcher_list_len};
}

// Copies the regular file `from` to the new file `to`; false with *why on
// failure (the partial copy is removed). A file that is not regular holds
// nothing to keep: nothing is copied.
bool copy_new_file(const std::string& from, const std::string& to, std::string* why) {
    const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) {
        const int err = errno;
        *why = describe_failure(from, err);
        return err == ENOENT;
    }
    struct stat st{};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return true;
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0) {
        *why = describe_failure(to, errno);
        ::close(in);
        return false;
    }
    char block[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, block, sizeof block);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *why = describe_failure(from, errno);
            ok = false;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, block + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                *why = describe_failure(to, errno);
                ok = false;
            } else {
                done += w;
            }
        }
        if (!ok) break;
    }
    if (ok && ::fsync(out) != 0) {
        *why = describe_failure(to, errno);
        ok = false;
    }
    ::close(in);
    if (::close(out) != 0 && ok) {
        *why = describe_failure(to, errno);
        ok = false;
    }
    if (!ok) ::unlink(to.c_str());
    return ok;
}

// Keeps the file at `path` beside itself as "path.damaged" (".damaged.1",
// ".damaged.2", ... when taken), never replacing anything: a second name of
// the same file (the file a symbolic link leads to), else a copy. False
// with *why when it could not be kept.
bool keep_aside(const std::string& path, std::string* why) {
    for (int n = 0; n < 1000; ++n) {
        const std::string aside = path + ".damaged" + (n == 0 ? "" : "." + std::to_string(n));
        if (::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno == EEXIST) continue;
        struct stat st{};
        if (errno == ENOENT && ::stat(path.c_str(), &st) != 0) return true;  // gone: nothing to keep
        // A file system without second names, or a link to another one.
        return copy_new_file(path, aside, why);
    }
    *why = describe_failure(path + ".damaged", EEXIST);
    return false;
}

}  // namespace

void Engine::settings_damaged(const char* name, SettingsDamage damage, u64 kept_entries) {
    damaged_settings.push_back({resource_path(name), damage, kept_entries});
    settings_as_read_.emplace_back(name, std::strcmp(name, TW_PREFERENCE) == 0
                                             ? preference_image(pr, sir)
                                             : launcher_image(br));
}

void Engine::settings_in_use_as_read() {
    for (auto& [name, as_read] : settings_as_read_)
        as_read = name == TW_PREFERENCE ? preference_image(pr, sir) : launcher_image(br);
}

void Engine::forget_settings_damage(const char* name) {
    std::erase_if(settings_as_read_, [name](const auto& entry) { return entry.first == name; });
    const std::string path = resource_path(name);
    std::erase_if(damaged_settings, [&path](const DamagedSettingsFile& f) { return f.path == path; });
}

bool Engine::keep_damaged_settings(const char* name, const std::vector<std::uint8_t>& now, u64* code) {
    *code = 0;
    const auto held = std::find_if(settings_as_read_.begin(), settings_as_read_.end(),
                                   [name](const auto& entry) { return entry.first == name; });
    if (held == settings_as_read_.end()) return false;
    // Unchanged: the file keeps what it holds, also what could not be read.
    if (held->second == now) return true;
    std::string why;
    if (!keep_aside(resource_path(name), &why)) {
        record_failure(why);
        *code = ERR_WRITE_FILE;
        return true;
    }
    settings_as_read_.erase(held);
    return false;
}

u64 Engine::load_pref_file() {
    forget_settings_damage(TW_PREFERENCE);
    if (!is_directory(resource_dir_pathname_ptr)) return ERR_ACCESS_DIR;
    const std::string path = resource_path(TW_PREFERENCE);
    WorkFile& w = wf[WF_PREFERENCE];
    int err = 0;
    w.stream = open_regular_stream(path, &err);
    if (w.stream == nullptr) {
        // A missing file is no damage: the defaults stay and make it.
        if (err != ENOENT) settings_damaged(TW_PREFERENCE, SettingsDamage::Unreadable);
        return ERR_OPEN_FILE;
    }
    // The bytes that arrive overwrite the record from its start; the rest
    // keep what they held. A file shorter than the record loses nothing
    // when it is written again; a longer one, or one that could not be
    // read, would.
    std::uint8_t image[kPrefFileSize];
    encode_preferences(pr, sir, image);
    const std::size_t got = std::fread(image, 1, kPrefFileSize, w.stream);
    const bool read_failed = std::ferror(w.stream) != 0;
    struct stat st{};
    const bool longer = ::fstat(::fileno(w.stream), &st) == 0 &&
                        static_cast<u64>(st.st_size) > kPrefFileSize;
    decode_preferences(image, pr, sir);
    if (read_failed) settings_damaged(TW_PREFERENCE, SettingsDamage::Unreadable);
    else if (longer) settings_damaged(TW_PREFERENCE, SettingsDamage::TooLarge);
    u64 code = got == kPrefFileSize ? 0 : ERR_READ_FILE;
    if (std::fclose(w.stream) != 0 && code == 0) code = ERR_CLOSE_FILE;
    w.stream = nullptr;
    return code;
}

u64 Engine::save_pref_file() {
    if (!is_directory(resource_dir_pathname_ptr)) return ERR_ACCESS_DIR;
    std::uint8_t image[kPrefFileSize];
    encode_preferences(pr, sir, image);
    if (u64 held = 0; keep_damaged_settings(TW_PREFERENCE, {image, image + kPrefFileSize}, &held))
        return held;
    AtomicFileWriter out(resource_path(TW_PREFERENCE));
    u64 code = out.open();
    if (code == 0 && !write_all(out.stream(), image, kPrefFileSize)) code = out.write_failed();
    if (code == 0) code = out.commit();
    if (code != 0) record_failure(out.failure());
    return code;
}

u64 Engine::load_launcher_file() {
    forget_settings_damage(TW_LAUNCHER);
    if (!is_directory(resource_dir_pathname_ptr)) return ERR_ACCESS_DIR;
    const std::string path = resource_path(TW_LAUNCHER);
    WorkFile& w = wf[WF_LAUNCHER];
    int err = 0;
    w.stream = open_regular_stream(path, &err);
    if (w.stream == nullptr) {
        if (err != ENOENT) settings_damaged(TW_LAUNCHER, SettingsDamage::Unreadable);
        return ERR_OPEN_FILE;
    }
    // Whatever cannot be taken whole leaves the file marked as damaged,
    // with the entries that could be taken.
    auto finish = [&](u64 code, std::optional<SettingsDamage> damage = std::nullopt) {
        if (damage) {
            const u64 kept = static_cast<u64>(
                std::count(br.launcher_list, br.launcher_list + br.launcher_list_len, '\0'));
            settings_damaged(TW_LAUNCHER, *damage, kept);
        }
        if (std::fclose(w.stream) != 0 && code == 0) code = ERR_CLOSE_FILE;
        w.stream = nullptr;
        return code;
    };
    struct stat st{};
    if (::fstat(::fileno(w.stream), &st) != 0) return finish(ERR_READ_FILE, SettingsDamage::Unreadable);
    const u64 size = static_cast<u64>(st.st_size);
    if (size > kMaxLauncherFileSize) return finish(ERR_CORRUPTED, SettingsDamage::TooLarge);
    // Without the memory the list keeps what it held.
    if (grow_buffer(br.launcher_list, br.launcher_list_size, size) != 0)
        return finish(ERR_MEMORY, SettingsDamage::Unreadable);
    br.launcher_list_len = 0;
    if (!read_all(w.stream, br.launcher_list, size)) return finish(ERR_READ_FILE, SettingsDamage::Unreadable);
    // Readers walk NUL-terminated entries: a last entry without its NUL is
    // left out, and the whole entries before it are kept.
    if (size > 0 && br.launcher_list[size - 1] != '\0') {
        const void* last_nul = ::memrchr(br.launcher_list, '\0', size);
        br.launcher_list_len =
            last_nul != nullptr ? static_cast<u64>(static_cast<const char*>(last_nul) - br.launcher_list) + 1 : 0;
        return finish(ERR_CORRUPTED, SettingsDamage::Unterminated);
    }
    br.launcher_list_len = size;
    return finish(0);
}

u64 Engine::save_launcher_file() {
    if (!is_directory(resource_dir_pathname_ptr)) return ERR_ACCESS_DIR;
    // The list is compared only when a settings file is damaged.
    if (u64 held = 0; !settings_as_read_.empty() &&
                      keep_damaged_settings(TW_LAUNCHER, launcher_image(br), &held))
        return held;
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
