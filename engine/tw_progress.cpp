// Progress texts of a search: reset, periodic update and final summary.
#include <cstdio>
#include <cstring>

#include "engine/tw.h"
#include "engine/tw_plural.h"

namespace tw {

namespace {

// The summaries put their counts, each with its word in the singular or
// the plural, into these lines.
const char* const files_summary_s[2] = {
    "%s,   %s,  search time: %llu.%02llu sec.",
    "%s,   %s,  temps: %llu.%02llu sec.",
};
const char* const folders_summary_s[2] = {"%s,   %s", "%s,   %s"};
const char* const file_scanned_s[2] = {"%llu file scanned", "%llu fichier vu"};
const char* const files_scanned_s[2] = {"%llu files scanned", "%llu fichiers vus"};
const char* const folder_scanned_s[2] = {"%llu directory scanned", "%llu dossier parcouru"};
const char* const folders_scanned_s[2] = {"%llu directories scanned", "%llu dossiers parcourus"};
const char* const error_s[2] = {"%llu error", "%llu erreur"};
const char* const errors_s[2] = {"%llu errors", "%llu erreurs"};

// "<count> <word>", the word in the form that the count takes.
struct Counted {
    Counted(u64 count, int language, const char* const (&one)[2], const char* const (&many)[2]) {
        std::snprintf(text, sizeof text, count_form(count, language, one, many),
                      static_cast<unsigned long long>(count));
    }
    char text[64];
};

// Added to the folders summary when the search did not finish.
const char* const unfinished_s[2][2] = {
    {", stopped", ", ended on an error"},
    {", arr\xC3\xAAt\xC3\xA9""e", ", termin\xC3\xA9""e sur une erreur"},
};

constexpr std::size_t kFileShown = 56;
constexpr std::size_t kFolderShown = 72;
constexpr u64 kKiloThreshold = 20479;

template <std::size_t N>
void write_count(char (&field)[N], u64 value) {
    std::snprintf(field, N, "%llu", static_cast<unsigned long long>(value));
}

// Sizes above 20,479 bytes are shown in units of 1024 with a K.
template <std::size_t N>
void write_size(char (&field)[N], u64 value) {
    if (value > kKiloThreshold)
        std::snprintf(field, N, "%lluK", static_cast<unsigned long long>(value / 1024));
    else
        write_count(field, value);
}

// A name longer than `shown` characters becomes "..." and its last
// shown - 3 characters; the field keeps its final NUL.
template <std::size_t N>
void write_shortened(char (&field)[N], const char* name, std::size_t shown) {
    const std::size_t n = std::strlen(name);
    if (n > shown) {
        std::memcpy(field, "...", 3);
        std::memcpy(field + 3, name + n - (shown - 3), shown - 3);
        field[shown] = '\0';
    } else {
        std::memcpy(field, name, n + 1);
    }
}

// Rewrites a counter's text when it is shown and its value changed since it
// was last shown; the changed flag says whether it did.
template <std::size_t N>
void update_counter(std::uint8_t& changed, std::uint8_t show, u64 value, u64& last,
                    char (&text)[N], void (*write)(char (&)[N], u64)) {
    changed = show != 0 && value != last;
    if (changed) {
        last = value;
        write(text, value);
    }
}

template <std::size_t N>
void clear_text(char (&field)[N]) {
    field[0] = '\0';
}

}  // namespace

void Engine::set_show_info(int mode) {
    if (mode == 0) {
        const char* name = tr.target_name != nullptr ? tr.target_name : "";
        std::snprintf(sir.target_text, sizeof sir.target_text, "%s", name);
        clear_text(sir.file_text);
        clear_text(sir.file_size_text);
        clear_text(sir.folder_text);
        clear_text(sir.found_text);
        clear_text(sir.files_text);
        clear_text(sir.bytes_text);
        sir.target_changed = sir.file_changed = sir.folder_changed = 1;
        sir.found_changed = sir.files_changed = sir.bytes_changed = sir.errors_changed = 1;
        return;
    }

    const u64 found_nb = ir.found_nb.load(std::memory_order_relaxed);
    const u64 total_bytes = ir.total_bytes.load(std::memory_order_relaxed);
    const u64 file_nb = ir.file_nb.load(std::memory_order_relaxed);
    const u64 errors = ir.file_err_nb.load(std::memory_order_relaxed) +
                       ir.dir_err_nb.load(std::memory_order_relaxed) +
                       ir.other_err_nb.load(std::memory_order_relaxed);

    if (mode == 1) {
        sir.file_changed = sir.folder_changed = 0;
        {
            std::lock_guard lock(names_mutex_);
            if (sir.show_file_name && br.file_name != nullptr &&
                std::strncmp(sir.file_text, br.file_name, kFileShown) != 0) {
                write_shortened(sir.file_text, br.file_name, kFileShown);
                sir.last_file_size = ir.cur_file_size.load(std::memory_order_relaxed);
                write_size(sir.file_size_text, sir.last_file_size);
                sir.file_changed = 1;
            }
            if (sir.show_folder_name && br.dir_name != nullptr &&
                std::strncmp(sir.folder_text, br.dir_name, kFolderShown) != 0) {
                write_shortened(sir.folder_text, br.dir_name, kFolderShown);
                sir.folder_changed = 1;
            }
        }
        update_counter(sir.found_changed, sir.show_found_occ_nb, found_nb, sir.last_found_nb,
                       sir.found_text, write_count<TW_SHORT_TEXT_SIZE>);
        update_counter(sir.files_changed, sir.show_found_file_nb, file_nb, sir.last_file_nb,
                       sir.files_text, write_count<TW_SHORT_TEXT_SIZE>);
        update_counter(sir.bytes_changed, sir.show_total_bytes, total_bytes, sir.last_total_bytes,
                       sir.bytes_text, write_size<TW_SHORT_TEXT_SIZE>);
        update_counter(sir.errors_changed, sir.show_access_err_nb, errors, sir.last_err_nb,
                       sir.errors_text, write_count<TW_SHORT_TEXT_SIZE>);
        return;
    }

    // Final summary, whatever the show options.
    const int lang = language == 1 ? 1 : 0;
    // The seconds in hundredths with a full stop, whatever the C locale
    // the application runs under.
    const u64 hundredths = (ellipsed_time + 5000) / 10000;
    const u64 dir_nb = ir.dir_nb.load(std::memory_order_relaxed);
    const u64 file_err_nb = ir.file_err_nb.load(std::memory_order_relaxed);
    const u64 dir_err_nb = ir.dir_err_nb.load(std::memory_order_relaxed);
    std::snprintf(sir.file_text, sizeof sir.file_text, files_summary_s[lang],
                  Counted(file_nb, lang, file_scanned_s, files_scanned_s).text,
                  Counted(file_err_nb, lang, error_s, errors_s).text,
                  static_cast<unsigned long long>(hundredths / 100),
                  static_cast<unsigned long long>(hundredths % 100));
    sir.folder_changed = 1;
    std::snprintf(sir.folder_text, sizeof sir.folder_text, folders_summary_s[lang],
                  Counted(dir_nb, lang, folder_scanned_s, folders_scanned_s).text,
                  Counted(dir_err_nb, lang, error_s, errors_s).text);
    if (last_search_status_ == RESULT_STOPPED || last_search_status_ == RESULT_ERROR) {
        const std::size_t used = std::strlen(sir.folder_text);
        std::snprintf(sir.folder_text + used, sizeof sir.folder_text - used, "%s",
                      unfinished_s[lang][last_search_status_ == RESULT_STOPPED ? 0 : 1]);
    }
    clear_text(sir.file_size_text);
    sir.file_changed = 1;
    sir.last_found_nb = found_nb;
    write_count(sir.found_text, found_nb);
    sir.found_changed = 1;
    clear_text(sir.files_text);
    sir.files_changed = 1;
    sir.last_total_bytes = total_bytes;
    write_size(sir.bytes_text, total_bytes);
    sir.bytes_changed = 1;
    clear_text(sir.errors_text);
    sir.last_err_nb = errors;
    sir.errors_changed = 1;
}

}  // namespace tw
