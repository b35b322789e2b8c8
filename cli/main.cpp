// trawlex-cli: searches files and folders for a byte string with the
// Trawlex engine and prints where every occurrence lies.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>

#include "cli/cli_messages.h"
#include "cli/cli_options.h"
#include "cli/output_text.h"
#include "cli/pattern_forms.h"
#include "cli/resource_dir.h"
#include "cli/result_printer.h"
#include "cli/search_items.h"
#include "encoding/string_encoding.h"
#include "engine/tw.h"
#include "engine/tw_fd.h"
#include "matcher/isa.h"
#include "pattern/pattern_compiler.h"

namespace {

using tw::u64;

constexpr int kFound = 0;
constexpr int kNothingFound = 1;
constexpr int kError = 2;

// The engine's stop flag, raised by SIGINT and SIGTERM so that the search
// ends early and the temporary resource folder is still removed.
std::atomic<std::uint8_t>* g_stop_flag = nullptr;
volatile std::sig_atomic_t g_signalled = 0;

extern "C" void on_stop_signal(int) {
    g_signalled = 1;
    if (g_stop_flag != nullptr) g_stop_flag->store(1, std::memory_order_relaxed);
}

void install_signal_handlers() {
    // A closed output pipe shows as a failed write, not as a silent death
    // that would leave the temporary resource folder behind.
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction action{};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int error(const std::string& message) { return tw::cli::error_status(message); }

const char* const try_help_s[2] = {"Try 'trawlex-cli --help' for more information.",
                                   "Essayez « trawlex-cli --help » pour en savoir plus."};

int usage_error(const std::string& message) {
    std::fprintf(stderr, "trawlex-cli: %s\n%s\n", message.c_str(), tw::cli::text(try_help_s).c_str());
    return kError;
}

using tw::cli::text;

const char* const e_is_pattern_s[2] = {
    "note: -e %1 searches the pattern '%1'; the encoding is chosen with -E or --encoding",
    "note : -e %1 cherche le motif « %1 » ; le codage se choisit avec -E ou --encoding"};
const char* const not_regular_s[2] = {"not a regular file", "pas un fichier ordinaire"};

// Hears the search: prints each occurrence and found file as the search
// hands them on (the output leaves once per batch), names each file or
// folder that cannot be read, and ends the search when -q, -l, -L or a
// failed output has its answer. With --stop-on-error the engine itself ends
// the search at the first item it cannot read (skip_error 0). With -L it
// only notes the files found: the others are printed at the end.
class CliSink : public tw::ResultSink {
public:
    CliSink(tw::Engine& e, const tw::cli::Options& o, tw::cli::FilePrinter& printer,
            bool stdin_given)
        : e_(e), o_(o), printer_(printer), stdin_given_(stdin_given) {}

    u64 occurrences(std::string_view dir, std::string_view name, const std::uint8_t* records,
                    std::size_t bytes) override {
        // -q has its answer with the first occurrence: the file it lies in
        // is found, and the search ends there.
        if (o_.quiet) {
            stop();
            return 0;
        }
        if (o_.files_without_match) return 0;
        if (!in_file_) {
            source_ = tw::cli::join_path(dir, name);
            path_ = shown(source_);
            in_file_ = true;
        }
        // With several forms the records wait for their forms.
        if (several_forms) held_.assign(records, records + bytes);
        else if (!printer_.print_records(path_, source_, records, bytes)) stop();
        return 0;
    }

    u64 forms(const std::uint8_t* forms, std::size_t count) override {
        (void)count;
        if (o_.quiet || o_.files_without_match || held_.empty()) return 0;
        if (!printer_.print_records(path_, source_, held_.data(), held_.size(), forms)) stop();
        held_.clear();
        return 0;
    }

    u64 file_found(const tw::FoundFile& file) override {
        ++found_files;
        in_file_ = false;
        // -q ended the search at the file's first occurrence.
        if (o_.quiet) return 0;
        const std::string source = tw::cli::join_path(file.dir, file.name);
        if (o_.files_without_match) {
            found_paths.insert(source);
            return 0;
        }
        if (!printer_.end_file(shown(source), source, file.occ_nb)) stop();
        return 0;
    }

    // -q and -L need no record, -l one, -m NUM its NUM first: with no
    // result folder to fill, the rest of the file need not be read.
    bool enough() const override {
        return o_.quiet || o_.files_without_match || printer_.has_enough();
    }
    tw::u64 records_wanted() const override {
        return o_.quiet || o_.files_without_match ? 1 : printer_.records_wanted();
    }

    void file_dropped() override {
        in_file_ = false;
        if (!o_.quiet && !o_.files_without_match && !printer_.drop_file()) stop();
    }

    u64 batch_end() override {
        if (!o_.quiet && !printer_.flush()) stop();
        return 0;
    }

    void item_failed(std::string_view path, int err) override {
        ++named;
        if (o_.files_without_match) failed_paths.emplace(path);
        if (!o_.no_messages) {
            // What was found before the item is printed before its name.
            if (!o_.quiet && !printer_.flush()) stop();
            std::string line = "trawlex-cli: ";
            tw::cli::append_escaped(line, shown(std::string(path)));
            line += ": ";
            line += err == EINVAL ? text(not_regular_s) : std::strerror(err);
            line += '\n';
            std::fflush(stderr);
            [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
        }
    }

    // The name a path is printed under.
    std::string shown(std::string path) const {
        if (stdin_given_ && path == tw::cli::kStdinPath) return tw::cli::kStdinName;
        return path;
    }

    bool several_forms = false;
    u64 found_files = 0;
    u64 named = 0;
    // For -L: the files found and those that could not be read.
    std::unordered_set<std::string> found_paths, failed_paths;

private:
    void stop() { e_.need_stop_searching.store(1, std::memory_order_relaxed); }

    tw::Engine& e_;
    const tw::cli::Options& o_;
    tw::cli::FilePrinter& printer_;
    bool stdin_given_;
    bool in_file_ = false;
    std::string path_;    // of the file whose records are being printed, as shown
    std::string source_;  // and as it is opened
    std::vector<std::uint8_t> held_;  // records waiting for their forms
};

// The closing JSON record: totals of the search, with ripgrep's keys.
std::string json_summary(const tw::Engine& e, const tw::cli::PrintResult& printed, u64 skipped,
                         std::chrono::nanoseconds elapsed) {
    const std::string took = tw::cli::json_elapsed(static_cast<u64>(elapsed.count()));
    return "{\"type\":\"summary\",\"data\":{\"elapsed_total\":" + took +
           ",\"stats\":{\"bytes_printed\":" + std::to_string(printed.bytes_printed) +
           ",\"bytes_searched\":" + std::to_string(e.ir.total_bytes.load()) +
           ",\"elapsed\":" + took + ",\"matched_lines\":" + std::to_string(printed.matched_lines) +
           ",\"matches\":" + std::to_string(printed.occurrences) +
           ",\"searches\":" + std::to_string(e.ir.file_nb.load()) +
           ",\"searches_with_match\":" + std::to_string(printed.files) +
           "},\"trawlex\":{\"errors\":" + std::to_string(skipped) + "}}}";
}

// The command-line run picks its own buffer sizes instead of the
// application's preferences: a 256 KiB text buffer, which stays in the
// processor's cache between the read and the scan and measured fastest
// (larger ones, the application's 1.25 MB included, were slower), at least
// four times the pattern so that each read advances far enough; and 1 MiB of
// occurrence records per write. The preference file is never written.
void choose_buffers(tw::Engine& e, u64 pattern_length) {
    constexpr u64 kText = u64{256} << 10;
    constexpr u64 kOcc = u64{1} << 20;
    const tw::PreferenceRecord saved = e.pr;
    e.pr.text_mem_size = pattern_length > kText / 4 ? 4 * pattern_length + 64 : kText;
    e.pr.occ_mem_size = kOcc;
    if (e.initialize_tw_buffer() != 0) {
        e.pr = saved;
        e.initialize_tw_buffer();
    }
}

const char* const cannot_lock_s[2] = {"cannot lock the result folder: %1",
                                      "impossible de verrouiller le dossier de résultat : %1"};
const char* const busy_s[2] = {"another search is writing the result folder %1",
                               "une autre recherche écrit le dossier de résultat %1"};
const char* const waiting_s[2] = {"waiting for another search to finish writing %1",
                                  "attente de la fin de l'écriture de %1 par une autre recherche"};
const char* const interrupted_s[2] = {"the search was interrupted", "la recherche a été interrompue"};
const char* const cannot_write_result_s[2] = {"cannot write the result file %1: %2",
                                              "impossible d'écrire le fichier de résultat %1 : %2"};
const char* const cannot_start_s[2] = {"cannot start the engine: %1", "impossible de démarrer le moteur : %1"};
const char* const cannot_report_s[2] = {"cannot write the report: %1", "impossible d'écrire le rapport : %1"};
const char* const isa_s[2] = {"TRAWLEX_ISA is '%1'; it must be one of scalar, sse2 or avx2 (or unset)",
                              "TRAWLEX_ISA vaut « %1 » ; il doit valoir scalar, sse2 ou avx2 (ou être absent)"};
const char* const ended_at_item_s[2] = {
    "the search was ended at the first file or folder that could not be read%1",
    "la recherche s'est arrêtée au premier fichier ou dossier illisible%1"};
const char* const unreadable_count_s[2] = {"%1 file(s) or folder(s) could not be read",
                                           "%1 fichier(s) ou dossier(s) illisible(s)"};

// Takes the result folder for this run alone: at once when it is free;
// otherwise, with --no-wait, fails naming the folder, and without it, says
// once on stderr what it waits for and waits (a stop signal ends the wait).
int lock_result_folder(tw::Engine& e, const tw::cli::Options& o, const std::string& resource_dir) {
    const std::string folder = resource_dir + "/" + tw::TW_FOUND_DIR;
    bool busy = false;
    if (e.lock_result(true, false, &busy) == 0) return 0;
    if (!busy) return error(text(cannot_lock_s, {e.failure_detail()}));
    if (o.no_wait) return error(text(busy_s, {folder}));
    std::fprintf(stderr, "trawlex-cli: %s\n", text(waiting_s, {folder}).c_str());
    if (e.lock_result(true, true, &busy) == 0) return 0;
    if (busy) return error(text(interrupted_s));
    return error(text(cannot_lock_s, {e.failure_detail()}));
}

// Empties the result files before the search, so that whatever stops the
// search, they never hold an earlier search's result.
int empty_result_files(const std::string& resource_dir) {
    for (const char* name :
         {tw::TW_FOUND_HEADER, tw::TW_FOUND_OFFSET, tw::TW_FOUND_PATH, tw::TW_FOUND_INFO}) {
        const std::string path = resource_dir + "/" + tw::TW_FOUND_DIR + "/" + name;
        // Never through a link planted in the folder.
        int err = 0;
        const int fd = tw::create_regular(path.c_str(), &err);
        if (fd < 0) return error(text(cannot_write_result_s, {path, std::strerror(err)}));
        ::close(fd);
    }
    return 0;
}

// How the printer writes, from the options and the target's records.
tw::cli::PrintStyle print_style(const tw::cli::Options& o, const tw::Engine& e, bool with_path_by_default) {
    tw::cli::PrintStyle style;
    style.mode = o.files_with_matches || o.files_without_match ? tw::cli::PrintMode::Files
                 : o.count                                     ? tw::cli::PrintMode::Counts
                 : o.line_numbers                              ? tw::cli::PrintMode::OffsetLines
                                                               : tw::cli::PrintMode::Offsets;
    style.format = o.json             ? tw::cli::PrintFormat::Json
                   : o.null_separated ? tw::cli::PrintFormat::Null
                                      : tw::cli::PrintFormat::Escaped;
    // The records are laid out as the search writes them.
    style.records_with_lines = e.tr.add_line_nb != 0;
    style.max_per_file = o.max_count;
    style.with_path = o.with_path.value_or(with_path_by_default);
    style.color = !o.json && (o.color == tw::cli::Options::Color::Always ||
                              (o.color == tw::cli::Options::Color::Auto && ::isatty(STDOUT_FILENO) != 0));
    style.before = o.before;
    style.after = o.after;
    style.pattern_length = e.tr.search_str_len;
    style.eol = static_cast<unsigned char>(e.tr.eol_char);
    return style;
}

int run(int argc, char** argv) {
    tw::cli::set_language(tw::cli::language_from_environment());
    std::string message;
    const auto options = tw::cli::parse_options(argc, argv, message, ::isatty(STDIN_FILENO) != 0);
    if (!options) return usage_error(message);
    const tw::cli::Options& o = *options;
    if (o.help) {
        std::fputs(tw::cli::usage_text().c_str(), stdout);
        return 0;
    }
    if (o.version) {
        std::fputs(tw::cli::version_text().c_str(), stdout);
        return 0;
    }
    if (const char* isa = std::getenv("TRAWLEX_ISA"); isa != nullptr && isa[0] != '\0') {
        tw::Isa ignored;
        if (!tw::parse_matcher_isa(isa, &ignored)) return error(text(isa_s, {isa}));
    }

    std::vector<std::string> paths;
    std::vector<bool> folders;
    tw::cli::Pattern pattern;
    std::vector<tw::cli::SearchForm> forms;
    bool stdin_given = false;
    std::size_t missing = 0;
    if (!o.target) {
        auto made = tw::cli::search_forms(o, message);
        if (!made) return usage_error(message);
        forms = std::move(*made);
        // As grep: no occurrence is wanted (or a pattern file held no
        // pattern), so nothing is searched.
        if (o.max_count == 0 || forms.empty()) return kNothingFound;
        pattern = {forms.front().bytes, forms.front().wildcard};
        missing = tw::cli::check_paths(o.paths, paths, folders);
        // -e named the encoding before it named the pattern.
        const bool by_e = std::find(o.pattern_options.begin(), o.pattern_options.end(), "-e") !=
                          o.pattern_options.end();
        if (missing > 0 && by_e && tw::encoding::encoding_from_short_name(o.pattern))
            error(text(e_is_pattern_s, {o.pattern}));
        if (paths.empty()) return kError;
        for (const std::string& p : o.paths) stdin_given = stdin_given || p == "-";
    } else if (o.max_count == 0) {
        return kNothingFound;
    }

    // A result folder is written only when something reads it: a named
    // resource folder, the report, or a stored target's run. Otherwise the
    // printer is the search's only output.
    const bool result_needed = o.resource_dir || o.report || o.target;
    tw::cli::ResourceDir resources;
    if (!resources.prepare(o.resource_dir, o.target.has_value(), result_needed, message))
        return error(message);

    tw::Engine e;
    e.language = tw::cli::language();
    // The targets (and preferences) are read where they are stored; the
    // result is written in the result folder, which may be another one.
    e.resource_dir_pathname_ptr = resources.targets_path();
    // The program has no bundle of its own to keep out of the search.
    e.bundle_dir_pathname_ptr.clear();
    if (const u64 code = e.initialize_and_load_tw_parameter(); code != 0)
        return error(text(cannot_start_s, {e.error_text(code)}));

    if (o.target) {
        if (const int status = tw::cli::load_stored_target(e, *o.target); status != 0) return status;
        if (o.line_numbers) e.tr.add_line_nb = 1;
        if (o.stop_on_error) e.tr.skip_error = 0;
    } else if (!tw::cli::set_typed_target(e, o, pattern, paths, folders)) {
        return error(e.build_str_err(tw::ERR_MEMORY));
    } else {
        tw::cli::give_forms(e, forms);
    }
    // ripgrep's JSON always gives the line number.
    if (o.json) e.tr.add_line_nb = 1;

    e.resource_dir_pathname_ptr = resources.path();
    g_stop_flag = &e.need_stop_searching;
    install_signal_handlers();
    // The lock is held until the program ends: through the search, the
    // printing of the result and the report.
    e.write_result_files = result_needed;
    if (result_needed) {
        if (const int code = lock_result_folder(e, o, resources.path()); code != 0) return code;
        if (const int code = empty_result_files(resources.path()); code != 0) return code;
    }
    u64 longest = e.tr.search_str_len;
    for (const tw::cli::SearchForm& f : forms) longest = std::max<u64>(longest, f.bytes.size());
    choose_buffers(e, longest);
    e.thread_count = o.threads;

    // As grep and ripgrep: lines name their file unless a single file (or
    // standard input) is all there is to search.
    const bool one_file = !o.target && o.paths.size() <= 1 && (folders.empty() || !folders[0]);
    tw::cli::PrintStyle style = print_style(o, e, !one_file);
    if (forms.size() > 1) {
        for (const tw::cli::SearchForm& f : forms) {
            style.form_names.push_back(f.name);
            style.form_lengths.push_back(f.bytes.size());
        }
    }
    tw::cli::FilePrinter printer(style, STDOUT_FILENO);
    CliSink listener(e, o, printer, stdin_given);
    listener.several_forms = forms.size() > 1;
    // -L lists the searched files in which nothing is found: those given,
    // and those the walk meets.
    std::vector<std::string> searched;
    if (o.files_without_match)
        for (std::size_t i = 0; i < paths.size(); ++i)
            if (!folders[i]) searched.push_back(paths[i]);
    if (!o.names.empty() || o.files_without_match) {
        e.walk_filter = [&](std::string_view dir, const char* name, bool folder) {
            if (!o.names.keep(name, folder)) return false;
            if (o.files_without_match && !folder) searched.push_back(tw::cli::join_path(dir, name));
            return true;
        };
    }
    e.sinks = {&listener};
    const auto started = std::chrono::steady_clock::now();
    e.search_in_target();
    e.sinks.clear();
    e.walk_filter = nullptr;
    for (const std::string& path : searched) {
        if (listener.found_paths.count(path) != 0 || listener.failed_paths.count(path) != 0) continue;
        if (!printer.end_file(listener.shown(path), path, 0)) break;
    }
    printer.flush();
    g_stop_flag = nullptr;
    const bool interrupted = g_signalled != 0;

    const u64 skipped = e.ir.file_err_nb.load() + e.ir.dir_err_nb.load() + e.ir.other_err_nb.load();
    using Status = tw::cli::PrintResult::Status;
    if (o.json && !o.quiet && printer.result().status == Status::Ok)
        printer.print_line(json_summary(e, printer.result(), skipped,
                                        std::chrono::steady_clock::now() - started));

    // With -L too, as grep: whether an occurrence was found, listed or not.
    int status = listener.found_files > 0 ? kFound : kNothingFound;
    const auto& printed = printer.result();
    // The reader has what it wanted, as with ripgrep: a quiet end.
    const bool cut = printed.status == Status::BrokenPipe;
    if (printed.status == Status::WriteFailed) status = error(printed.message);

    if (o.report) {
        const std::string report = tw::cli::absolute_path(*o.report);
        // The reason given is the report's own, not a skipped item's.
        e.record_failure(std::string());
        if (const u64 code = e.save_search_info_in_text_file(report.c_str()); code != 0)
            status = error(text(cannot_report_s, {e.error_text(code)}));
    }
    if (o.stats) {
        e.set_show_info(2);
        std::fprintf(stderr, "%s\n%s\n", e.sir.file_text, e.sir.folder_text);
    }
    // A file or folder that could not be read ends the engine's work on its
    // item with that error; it is one of the skipped ones, already named.
    const u64 code = e.fatal_err_index;
    const bool item_error = code == tw::ERR_OPEN_FILE || code == tw::ERR_READ_FILE ||
                            code == tw::ERR_ACCESS_DIR || code == tw::ERR_OPEN_DIR ||
                            code == tw::ERR_ACCESS_DENIED;
    if (cut) {
        // Whatever else stopped with the output is no error of the search.
    } else if (code != 0 && !(item_error && skipped > 0)) {
        status = error(e.build_fatal_str_err());
    } else if (skipped > 0) {
        status = kError;
        if (o.no_messages) {
        } else if (e.stopped_at_unreadable_item()) {
            // A stored target may stop so without the option.
            error(text(ended_at_item_s, {o.stop_on_error ? " (--stop-on-error)" : ""}));
        } else if (skipped > listener.named) {
            error(text(unreadable_count_s, {std::to_string(skipped)}));
        }
    }
    if (missing > 0) status = kError;
    // -q answers whether anything was found, whatever else happened.
    if (o.quiet && listener.found_files > 0) status = kFound;
    if (interrupted) status = error(text(interrupted_s));
    if (cut) status = kFound;
    return status;
}

}  // namespace

int main(int argc, char** argv) { return run(argc, argv); }
