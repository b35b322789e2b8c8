// trawlex-cli: searches files and folders for a byte string with the
// Trawlex engine and prints where every occurrence lies.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/cli_options.h"
#include "cli/output_text.h"
#include "cli/resource_dir.h"
#include "cli/result_printer.h"
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

int error(const std::string& message) {
    std::fprintf(stderr, "trawlex-cli: %s\n", message.c_str());
    return kError;
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "trawlex-cli: %s\nTry 'trawlex-cli --help' for more information.\n",
                 message.c_str());
    return kError;
}

// A copy of `size` bytes followed by a NUL, in a block of the engine's
// allocator (malloc), which the engine releases with the target.
template <typename T>
T* engine_copy(const void* data, std::size_t size) {
    auto* block = static_cast<T*>(std::malloc(size + 1));
    if (block == nullptr) return nullptr;
    std::memcpy(block, data, size);
    reinterpret_cast<char*>(block)[size] = '\0';
    return block;
}

// Makes the engine's current target the typed search: the pattern bytes,
// the options, and the paths as file or folder items.
bool set_typed_target(tw::Engine& e, const tw::cli::Options& o, const tw::cli::Pattern& typed,
                      const std::vector<std::string>& paths, const std::vector<bool>& folders) {
    const std::string& pattern = typed.bytes;
    e.clear_target_buffer(e.tr);
    e.init_target(e.tr);
    e.tr.eol_char = o.eol;
    e.tr.wildcard_char = typed.wildcard ? *typed.wildcard : 63;
    e.tr.use_wildcard = typed.wildcard ? 1 : 0;
    e.tr.add_line_nb = o.line_numbers ? 1 : 0;
    e.tr.case_insensitive = o.ignore_case ? 1 : 0;
    e.tr.skip_error = o.stop_on_error ? 0 : 1;
    e.tr.not_inside = o.hidden ? 0 : 1;
    e.tr.is_hexa = o.hex ? 1 : 0;
    e.tr.encoding = o.encoding;
    static const char kName[] = "trawlex-cli";
    e.tr.target_name = engine_copy<char>(kName, sizeof kName - 1);
    e.tr.search_str_len = pattern.size();
    e.tr.search_str = engine_copy<std::uint8_t>(pattern.data(), pattern.size());
    std::string pool;
    for (const std::string& p : paths) {
        pool += p;
        pool.push_back('\0');
    }
    e.tr.path_pool = engine_copy<char>(pool.data(), pool.size());
    e.tr.items = static_cast<tw::ItemRecord*>(std::malloc(sizeof(tw::ItemRecord) * paths.size()));
    if (e.tr.target_name == nullptr || e.tr.search_str == nullptr || e.tr.path_pool == nullptr ||
        e.tr.items == nullptr)
        return false;
    u64 offset = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        e.tr.items[i] = {folders[i] ? tw::TW_ITEM_FOLDER : tw::TW_ITEM_FILE, paths[i].size() + 1,
                         offset};
        offset += paths[i].size() + 1;
    }
    e.tr.item_nb = paths.size();
    return true;
}

// Loads the stored target named or numbered `which` as the current target.
int load_stored_target(tw::Engine& e, const std::string& which) {
    if (const u64 code = e.build_target_list(); code != 0)
        return error("cannot list the stored targets: " + e.error_text(code));
    for (const std::string& damaged : e.damaged_targets)
        std::fprintf(stderr, "trawlex-cli: warning: the damaged target file %s is skipped\n",
                     damaged.c_str());
    const tw::cli::TargetChoice choice = tw::cli::parse_target_choice(which);
    u64 number = choice.number;
    if (choice.by_number) {
        if (number >= e.nb_of_target_from_target_list())
            return error("no stored target number " + which);
    } else {
        bool found = false;
        number = 0;
        for (u64 pos = 0; pos < e.br.target_list_len; ++number) {
            const char* name = e.br.target_list + pos;
            if (choice.name == name) {
                found = true;
                break;
            }
            pos += std::strlen(name) + 1;
        }
        if (!found) return error("no stored target named '" + choice.name + "'");
    }
    if (const u64 code = e.make_target_current(number); code != 0)
        return error("cannot load the stored target " + which + ": " + e.error_text(code));
    // A target saved before letter wildcards were refused under Ignore case
    // would not search what was typed: refused as a typed pattern is.
    tw::pattern::Options stored;
    stored.hexadecimal = e.tr.is_hexa != 0;
    stored.encoding = static_cast<tw::encoding::EncodingId>(e.tr.encoding);
    if (e.tr.use_wildcard != 0 && e.tr.wildcard_char <= 255)
        stored.wildcard = static_cast<std::uint8_t>(e.tr.wildcard_char);
    stored.ignore_case = e.tr.case_insensitive != 0;
    const tw::pattern::Compiled checked = tw::pattern::check_stored(
        std::string_view(reinterpret_cast<const char*>(e.tr.search_str), e.tr.search_str_len), stored);
    if (checked.refusal == tw::pattern::Refusal::WildcardFoldedWithLetter) {
        const char lower = static_cast<char>(checked.letter);
        const char upper = static_cast<char>(checked.letter & ~0x20);
        return error("the stored target " + which + " has the wildcard '" +
                     static_cast<char>(*stored.wildcard) + "' with Ignore case, which folds it "
                     "together with the letter '" + upper + "'/'" + lower +
                     "' of its search string; choose a wildcard that is not a letter");
    }
    return 0;
}

// What standard input is searched as: the engine opens it again by this
// name, whatever it is (a pipe, a file, a terminal).
constexpr const char* kStdinPath = "/dev/stdin";
constexpr const char* kStdinName = "(standard input)";

// Checks that every path names something searchable, and makes it
// absolute; "-" is standard input. Folders are walked; files, pipes,
// sockets and devices are file items.
int check_paths(const std::vector<std::string>& in, std::vector<std::string>& out,
                std::vector<bool>& folders) {
    for (const std::string& arg : in) {
        if (arg.empty()) return error("an empty PATH names nothing");
        const std::string path = arg == "-" ? kStdinPath : tw::cli::absolute_path(arg);
        struct stat st{};
        if (::stat(path.c_str(), &st) != 0) {
            std::string shown;
            tw::cli::append_escaped(shown, arg == "-" ? kStdinName : arg);
            return error(shown + ": " + std::strerror(errno));
        }
        out.push_back(path);
        folders.push_back(S_ISDIR(st.st_mode));
    }
    return 0;
}

// Hears the search: prints each occurrence and found file as the search
// hands them on (the output leaves once per batch), names each file or
// folder that cannot be read, and ends the search when -q, -l or a failed
// output has its answer. With --stop-on-error the engine itself ends the
// search at the first item it cannot read (skip_error 0).
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
        if (!in_file_) {
            path_ = shown(tw::cli::join_path(dir, name));
            in_file_ = true;
        }
        if (!printer_.print_records(path_, records, bytes)) stop();
        return 0;
    }

    u64 file_found(const tw::FoundFile& file) override {
        ++found_files;
        in_file_ = false;
        if (o_.quiet) {
            stop();
            return 0;
        }
        if (!printer_.end_file(shown(tw::cli::join_path(file.dir, file.name)), file.occ_nb)) stop();
        return 0;
    }

    // -q needs no record, -l one, -m NUM its NUM first: with no result
    // folder to fill, the rest of the file need not be read.
    bool enough() const override { return o_.quiet || printer_.has_enough(); }

    void file_dropped() override {
        in_file_ = false;
        if (!o_.quiet && !printer_.drop_file()) stop();
    }

    u64 batch_end() override {
        if (!o_.quiet && !printer_.flush()) stop();
        return 0;
    }

    void item_failed(std::string_view path, int err) override {
        ++named;
        if (!o_.no_messages) {
            // What was found before the item is printed before its name.
            if (!o_.quiet && !printer_.flush()) stop();
            std::string line = "trawlex-cli: ";
            tw::cli::append_escaped(line, shown(std::string(path)));
            line += ": ";
            line += err == EINVAL ? "not a regular file" : std::strerror(err);
            line += '\n';
            std::fflush(stderr);
            [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
        }
    }

    // The name a path is printed under.
    std::string shown(std::string path) const {
        if (stdin_given_ && path == kStdinPath) return kStdinName;
        return path;
    }

    u64 found_files = 0;
    u64 named = 0;

private:
    void stop() { e_.need_stop_searching.store(1, std::memory_order_relaxed); }

    tw::Engine& e_;
    const tw::cli::Options& o_;
    tw::cli::FilePrinter& printer_;
    bool stdin_given_;
    bool in_file_ = false;
    std::string path_;  // of the file whose records are being printed
};

// The closing JSON record: totals of the search, as ripgrep's summary.
std::string json_summary(const tw::Engine& e, const tw::cli::PrintResult& printed, u64 skipped,
                         std::chrono::nanoseconds elapsed) {
    const auto ns = static_cast<u64>(elapsed.count());
    char human[32];
    std::snprintf(human, sizeof human, "%.6fs", static_cast<double>(ns) / 1e9);
    return "{\"type\":\"summary\",\"data\":{\"stats\":{\"matches\":" +
           std::to_string(printed.occurrences) +
           ",\"searches\":" + std::to_string(e.ir.file_nb.load()) +
           ",\"searches_with_match\":" + std::to_string(printed.files) +
           ",\"bytes_searched\":" + std::to_string(e.ir.total_bytes.load()) +
           ",\"errors\":" + std::to_string(skipped) + "},\"elapsed_total\":{\"secs\":" +
           std::to_string(ns / 1000000000) + ",\"nanos\":" + std::to_string(ns % 1000000000) +
           ",\"human\":\"" + human + "\"}}}";
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

// Takes the result folder for this run alone: at once when it is free;
// otherwise, with --no-wait, fails naming the folder, and without it, says
// once on stderr what it waits for and waits (a stop signal ends the wait).
int lock_result_folder(tw::Engine& e, const tw::cli::Options& o, const std::string& resource_dir) {
    const std::string folder = resource_dir + "/" + tw::TW_FOUND_DIR;
    bool busy = false;
    if (e.lock_result(true, false, &busy) == 0) return 0;
    if (!busy) return error("cannot lock the result folder: " + e.failure_detail());
    if (o.no_wait) return error("another search is writing the result folder " + folder);
    std::fprintf(stderr, "trawlex-cli: waiting for another search to finish writing %s\n",
                 folder.c_str());
    if (e.lock_result(true, true, &busy) == 0) return 0;
    if (busy) return error("the search was interrupted");
    return error("cannot lock the result folder: " + e.failure_detail());
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
        if (fd < 0) return error("cannot write the result file " + path + ": " + std::strerror(err));
        ::close(fd);
    }
    return 0;
}

int run(int argc, char** argv) {
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
        if (!tw::parse_matcher_isa(isa, &ignored))
            return error(std::string("TRAWLEX_ISA is '") + isa +
                         "'; it must be one of scalar, sse2 or avx2 (or unset)");
    }

    std::vector<std::string> paths;
    std::vector<bool> folders;
    tw::cli::Pattern pattern;
    bool stdin_given = false;
    if (!o.target) {
        const auto bytes = tw::cli::pattern_bytes(o, message);
        if (!bytes) return usage_error(message);
        pattern = *bytes;
        if (const int status = check_paths(o.paths, paths, folders); status != 0) return status;
        for (const std::string& p : o.paths) stdin_given = stdin_given || p == "-";
    }

    // A result folder is written only when something reads it: a named
    // resource folder, the report, or a stored target's run. Otherwise the
    // printer is the search's only output.
    const bool result_needed = o.resource_dir || o.report || o.target;
    tw::cli::ResourceDir resources;
    if (!resources.prepare(o.resource_dir, o.target.has_value(), result_needed, message))
        return error(message);

    tw::Engine e;
    // The targets (and preferences) are read where they are stored; the
    // result is written in the result folder, which may be another one.
    e.resource_dir_pathname_ptr = resources.targets_path();
    // The program has no bundle of its own to keep out of the search.
    e.bundle_dir_pathname_ptr.clear();
    if (const u64 code = e.initialize_and_load_tw_parameter(); code != 0)
        return error("cannot start the engine: " + e.error_text(code));

    if (o.target) {
        if (const int status = load_stored_target(e, *o.target); status != 0) return status;
        if (o.line_numbers) e.tr.add_line_nb = 1;
        if (o.stop_on_error) e.tr.skip_error = 0;
    } else if (!set_typed_target(e, o, pattern, paths, folders)) {
        return error(e.build_str_err(tw::ERR_MEMORY));
    }

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
    choose_buffers(e, e.tr.search_str_len);
    e.thread_count = o.threads;

    tw::cli::PrintStyle style;
    style.mode = o.files_with_matches ? tw::cli::PrintMode::Files
                 : o.count            ? tw::cli::PrintMode::Counts
                 : o.line_numbers     ? tw::cli::PrintMode::OffsetLines
                                      : tw::cli::PrintMode::Offsets;
    style.format = o.json             ? tw::cli::PrintFormat::Json
                   : o.null_separated ? tw::cli::PrintFormat::Null
                                      : tw::cli::PrintFormat::Escaped;
    // The records are laid out as the search writes them.
    style.records_with_lines = e.tr.add_line_nb != 0;
    style.max_per_file = o.max_count;
    tw::cli::FilePrinter printer(style, STDOUT_FILENO);
    CliSink listener(e, o, printer, stdin_given);
    e.sinks = {&listener};
    const auto started = std::chrono::steady_clock::now();
    e.search_in_target();
    e.sinks.clear();
    printer.flush();
    g_stop_flag = nullptr;
    const bool interrupted = g_signalled != 0;

    const u64 skipped = e.ir.file_err_nb.load() + e.ir.dir_err_nb.load() + e.ir.other_err_nb.load();
    using Status = tw::cli::PrintResult::Status;
    if (o.json && !o.quiet && printer.result().status == Status::Ok)
        printer.print_line(json_summary(e, printer.result(), skipped,
                                        std::chrono::steady_clock::now() - started));

    int status = listener.found_files > 0 ? kFound : kNothingFound;
    const auto& printed = printer.result();
    if (printed.status == Status::BrokenPipe) status = kError;
    else if (printed.status != Status::Ok) status = error(printed.message);

    if (o.report) {
        const std::string report = tw::cli::absolute_path(*o.report);
        // The reason given is the report's own, not a skipped item's.
        e.record_failure(std::string());
        if (const u64 code = e.save_search_info_in_text_file(report.c_str()); code != 0)
            status = error("cannot write the report: " + e.error_text(code));
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
    if (code != 0 && !(item_error && skipped > 0)) {
        status = error(e.build_fatal_str_err());
    } else if (skipped > 0) {
        status = kError;
        if (o.no_messages) {
        } else if (e.stopped_at_unreadable_item()) {
            // A stored target may stop so without the option.
            std::fprintf(stderr,
                         "trawlex-cli: the search was ended at the first file or folder that "
                         "could not be read%s\n",
                         o.stop_on_error ? " (--stop-on-error)" : "");
        } else if (skipped > listener.named) {
            std::fprintf(stderr, "trawlex-cli: %llu file(s) or folder(s) could not be read\n",
                         static_cast<unsigned long long>(skipped));
        }
    }
    // -q answers whether anything was found, whatever else happened.
    if (o.quiet && listener.found_files > 0) status = kFound;
    if (interrupted) status = error("the search was interrupted");
    return status;
}

}  // namespace

int main(int argc, char** argv) { return run(argc, argv); }
