// The search engine: one object that owns every record and buffer of the
// engine and offers its operations. The application and its search thread
// share one instance; tests build one each on a temporary resource folder.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/tw_fd.h"
#include "engine/tw_found_lock.h"
#include "engine/tw_records.h"
#include "engine/tw_result_info.h"
#include "engine/tw_result_reader.h"
#include "engine/tw_search_output.h"
#include "engine/tw_sink.h"
#include "matcher/multi_match.h"
#include "matcher/search_param.h"

namespace tw {

// Where the engine's owned buffers come from. Tests replace it to force an
// allocation failure or a given alignment.
struct Allocator {
    void* (*allocate)(std::size_t size);
    void* (*reallocate)(void* block, std::size_t size);
    void (*release)(void* block);

    static Allocator system();
};

// File names of the engine's files under the resource folder.
inline constexpr const char* TW_TARGET_DIR = "TW_target";
inline constexpr const char* TW_FOUND_DIR = "TW_found";
inline constexpr const char* TW_TARGET_PREFIX = "TW_target_";
// The forms of a target after its first: "TW_target_form_" + the number of
// its target file, written only for a target of several forms.
inline constexpr const char* TW_TARGET_FORM_PREFIX = "TW_target_form_";
inline constexpr const char* TW_FOUND_HEADER = "TW_found_header";
inline constexpr const char* TW_FOUND_OFFSET = "TW_found_offset";
inline constexpr const char* TW_FOUND_PATH = "TW_found_path";
// Written only by a search of several forms: one byte per record of
// TW_found_offset, in the same order, the index of that occurrence's form.
inline constexpr const char* TW_FOUND_FORM = "TW_found_form";
inline constexpr const char* TW_PREFERENCE = "TW_preference";
inline constexpr const char* TW_LAUNCHER = "TW_launcher";

// Why a settings file could not be read whole at start-up.
enum class SettingsDamage {
    Unreadable,    // it could not be opened, sized or read
    Unterminated,  // TW_launcher: its last entry has no NUL
    TooLarge,      // longer than the file can be (16 MiB, or TW_preference's 62 bytes)
};

// A settings file that could not be read whole at start-up.
struct DamagedSettingsFile {
    std::string path;
    SettingsDamage damage;
    u64 kept_entries = 0;  // TW_launcher: the whole entries before the damage
};

// get_type results.
inline constexpr u64 TW_TYPE_FILE = 0;
inline constexpr u64 TW_TYPE_FOLDER = 1;
inline constexpr u64 TW_TYPE_OTHER = 65535;

// One item of a target as the editor builds it.
struct TargetItem {
    u64 item_type;  // TW_ITEM_FOLDER, TW_ITEM_FILE or another value (a file)
    std::string path;
};

// "TW_target_" + number, at least three digits.
// `prefix` + number with at least three digits.
std::string numbered_file_name(const char* prefix, u64 number);
std::string target_file_name(u64 number);

// "TW_target_form_" + number, the digits as in target_file_name.
std::string target_forms_file_name(u64 number);

// A target's forms after the first: at most 63 (64 with the search
// string), each of 1 to 65,536 bytes, typed in as many bytes at most.
inline constexpr std::size_t kMaxTargetForms = 63;
inline constexpr std::size_t kMaxFormBytes = 65536;

// The bytes of a forms file (version 1, every number little-endian):
//   "TWFORM" 0x00 0x01            magic and version
//   u32 count                     1 to kMaxTargetForms
//   then for each form:
//   u8 kind                       0 text, 1 hexadecimal
//   u8 flags                      bit 0: UTF-16 big-endian; bit 1: the search
//                                 text in another encoding; the others 0
//   u16 0
//   u32 encoding                  the encoding number of a text form
//   u32 text length, u32 bytes length
//   the typed text (UTF-8), then the bytes searched
// and nothing after the last form.
std::string encode_target_forms(const std::vector<TargetForm>& forms);
// Reads such bytes; false (and `out` empty) for anything else.
bool decode_target_forms(std::string_view data, std::vector<TargetForm>& out);

// The pattern a search takes from form `form` of target `t`.
MultiPattern target_form_pattern(const TargetRecord& t, const TargetForm& form);
// The case-fold mask of a form's bytes (0x20 where a byte folds, 0
// elsewhere): every letter byte of a hexadecimal form; the ASCII letters of
// `encoding` otherwise, read with each unit's bytes swapped when
// `big_endian` (UTF-16 big-endian).
std::string form_fold_mask(std::string_view bytes, bool hexadecimal, std::uint32_t encoding,
                           bool big_endian);

// Parses "TW_target_" followed by 1 to 9 decimal digits; 0 or 12.
u64 target_posfix_index_from_filename(const char* file_name, u64* number);

// 1 for a folder, 0 for a regular file, 65535 otherwise (follows links).
u64 get_type(const char* path);

// True for the file types that a file item searches as a stream: pipes,
// sockets, character and block devices (`mode` is a stat st_mode).
bool stream_item_type(unsigned mode);

// Text helpers.
i64 hexa_str_to_bytes_array(const char* text, std::uint8_t* bytes, u64* count, i64* err_pos,
                            i64 wildcard);
u64 bytes_array_to_hexa_str(char* text, const std::uint8_t* bytes, u64 count, u64 wildcard);
u64 build_dump_line(char* line, u64 count, const std::uint8_t* bytes, u64 offset);

// A hexadecimal search text read with its wildcard symbol. A digit pair
// always means its byte: when the matcher would take a literal byte of the
// pattern for the symbol (it equals it or, with case folding, lowers to it),
// or the symbol is a capital letter that case folding would lower, the
// wildcard positions hold another printable punctuation character that no
// literal byte is taken for, and that character is the one to store as the
// target's wildcard.
struct HexaPattern {
    std::vector<std::uint8_t> bytes;  // the wildcard positions hold `wildcard`
    std::uint8_t wildcard = 0;        // the symbol, or its replacement
    bool wildcard_changed = false;
    // Why it changed: the first literal byte taken for the symbol, or none
    // when the symbol is a capital letter under case folding.
    std::optional<std::uint8_t> clashing_byte;
    i64 err_pos = -1;  // the refused character, on ERR_INVALID_DIGIT
};

// `symbol` is the wildcard character, or -1 for none. 0; ERR_INVALID_DIGIT
// as hexa_str_to_bytes_array refuses a text; ERR_CORRUPTED when every
// punctuation character is taken by a literal byte.
u64 hexa_text_to_pattern(const char* text, i64 symbol, bool case_insensitive, HexaPattern* out);

// Whether the matcher takes pattern byte `byte` for the wildcard character
// `wildcard`: it lowers the pattern first when the case is ignored.
bool acts_as_wildcard(std::uint8_t byte, std::uint8_t wildcard, bool case_insensitive);

// The hexadecimal text of a pattern: the bytes taken for `wildcard` (-1:
// none) as that character, the others as two capital digits, each followed
// by a space. Read back by hexa_text_to_pattern with the same wildcard and
// case option, it gives a pattern that the matcher reads the same way.
std::string hexa_pattern_text(const std::uint8_t* bytes, u64 count, i64 wildcard,
                              bool case_insensitive);

class ParallelSearch;
class ResultFileSink;

class Engine {
public:
    explicit Engine(Allocator allocator = Allocator::system());
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // ---- Shared scalars ---------------------------------------------------
    std::atomic<std::uint8_t> need_stop_searching{0};
    std::atomic<std::uint8_t> searching_now{0};
    i64 cur_target_index = -1;
    // Written by the search thread before it clears searching_now (release);
    // read by the main thread after it sees searching_now clear (acquire).
    u64 fatal_err_index = 0;
    u64 ellipsed_time = 0;  // microseconds of wall time of the last search
    char err_str[256] = {};
    char fatal_err_str[256] = {};
    int language = 0;  // 0 English, 1 French
    std::string resource_dir_pathname_ptr;
    std::string bundle_dir_pathname_ptr;
    // 1 while a search waits for another search (of this or another process)
    // to finish writing the same result folder.
    std::atomic<std::uint8_t> waiting_for_result{0};
    // The description of the result last written by a search or read by
    // open_found_file("r"); for a result without one, filled from the
    // current target (present is then false).
    ResultInfo result_info;
    // The target files that the last build_target_list could not read; each
    // keeps its place in the list under "TW_target_NNN (damaged)".
    std::vector<std::string> damaged_targets;
    // The forms file of the target last loaded by load_target_file when it
    // could not be read (the target then loads with its search string
    // alone); empty otherwise.
    std::string damaged_forms_file;
    // The settings files that the last start-up could not read whole. What
    // could be read is used, and such a file is never replaced with less
    // than it held: it stays as it is while the settings read from it are
    // unchanged, and a change first keeps it beside the new file as
    // "NAME.damaged" (a save that cannot keep it writes nothing).
    std::vector<DamagedSettingsFile> damaged_settings;
    // Told about each occurrence, found file and unreadable item as a
    // search goes, after the result files and in this order; none by
    // default. Read when a search starts.
    std::vector<ResultSink*> sinks;
    // Asked by the folder walk about each folder and regular file it meets
    // inside a folder (the folder's path and the entry's name): false
    // leaves the entry out of the search as if it were not there. None by
    // default. Read by the walk as it goes.
    std::function<bool(std::string_view dir, const char* name, bool folder)> walk_filter;
    // Threads that scan files during a search: 0 for one per core, 1 for
    // the search thread alone, at most 64 started. Read when a search starts. A search that
    // stops at the first unreadable item (skip_error 0) always runs on one
    // thread: which files it searches depends on every result before it.
    unsigned thread_count = 0;
    // Bytes of a large file one scanning thread takes at a time, rounded
    // down to a whole number of text buffers (one at least).
    u64 piece_bytes = u64{4} << 20;
    // With several threads, the pieces of a file of at least this many
    // bytes are scanned from a memory mapping instead of being read (not
    // with case folding, which lowers the text in place). Mapping costs a
    // few system calls and page-table work per piece, reading a copy per
    // byte; bench/README.md has the figures behind the default.
    u64 map_min_bytes = u64{4} << 20;
    // With several threads, helper threads open and list sub-folders
    // ahead of the walk: by default only while scanning threads wait for
    // the walk (on a machine whose cores are all busy scanning, listing
    // ahead would only add work); kAheadAlways and kAheadNever force it.
    enum WalkAheadMode : int { kAheadWhenWaited, kAheadAlways, kAheadNever };
    WalkAheadMode walk_ahead = kAheadWhenWaited;
    // Whether a search writes the result folder (TW_found) first in its
    // chain of sinks. The application always does; a command-line run
    // whose output needs only its own sinks does not, and then needs no
    // resource folder at all. Read when a search starts.
    bool write_result_files = true;
    // The forms searched in the same pass as the target's search string
    // (the first form), each with its own wildcard and fold mask: none for
    // a search of that string alone, at most kMaxMultiPatterns - 1. Forms
    // with the same bytes and options should be given once. Read when a
    // search starts.
    std::vector<MultiPattern> more_forms;
    // When as long as the target's search string: its case-fold mask,
    // instead of the one its encoding gives (UTF-16 big-endian, which no
    // target stores). Read when a search starts.
    std::string first_form_fold;
    // How the result describes each form, the first included, when the
    // caller names them itself (the command line); otherwise (another
    // count) the engine describes them from the target. Read when a search
    // starts.
    std::vector<FoundForm> forms_described;
    // The number of scanning threads the next search will use.
    unsigned effective_thread_count() const;
    // True when the last search ended at a file or folder it could not
    // read, because its target does not go on after errors (skip_error 0).
    // Such a search keeps what it found before that item: it ends as a
    // stopped one (fatal_err_index 0), the item named to the sinks.
    // (A file or folder that cannot be read is never the error of a whole
    // search.) Published with fatal_err_index.
    bool stopped_at_unreadable_item() const { return stopped_at_unreadable_; }

    // ---- Records ----------------------------------------------------------
    TargetRecord tr{};
    TargetRecord tr_temp{};
    SearchParam sr{};
    BufferRecord br{};
    InfoRecord ir;
    ShowInfoRecord sir{};
    SummaryRecord sur{};
    PreferenceRecord pr{};
    WorkFile wf[WF_SLOT_NB]{};
    FoundFileHeader ffh{};

    // ---- State and buffers --------------------------------------------------
    u64 initialize_tw_buffer();
    void finalize_tw_buffer();
    u64 set_str_buf(u64 size);
    u64 copy_file_name(const char* name);
    u64 copy_dir_name(const char* path);
    u64 append_to_dir_name(const char* name);
    u64 open_file_with_dir_path(int slot, const char* mode);
    const char* build_str_err(u64 code);
    const char* build_fatal_str_err();
    u64 initialize_and_load_tw_parameter();
    void finalize_and_save_tw_parameter();

    // Path of a file or folder under the resource folder.
    std::string resource_path(const char* sub) const;
    std::string resource_path(const char* sub, const char* name) const;

    // The file or folder named by the last failure, appended to the fatal
    // error text of codes 1 to 6.
    void record_failure(const std::string& path);
    // The same, with the reason of the failed system call: "PATH: reason".
    void record_failure(const std::string& path, int err);
    // The text of error `code` followed by the recorded failure, if any.
    std::string error_text(u64 code) const;
    std::string failure_detail() const;

    // ---- Target store --------------------------------------------------------
    void init_target(TargetRecord& t);
    void clear_target_buffer(TargetRecord& t);
    u64 load_target_file(u64 number, TargetRecord& t);
    // With `replace` false an existing file of that number is never
    // replaced (a new target): the save then fails with 3.
    u64 save_target_file(u64 number, const TargetRecord& t, bool replace = true);
    u64 make_target_current(u64 number);
    // Replaces the search string of `t` by `length` bytes (followed by a
    // zero byte) in a buffer of the engine's allocator; 8 when it cannot be
    // had, and then `t` keeps its old string.
    u64 set_target_search_str(TargetRecord& t, const std::uint8_t* bytes, u64 length);
    // Replaces the name of `t` by `name` (a NUL is added); 0 or 8, and on 8
    // `t` keeps its old name.
    u64 set_target_name(TargetRecord& t, std::string_view name);
    // Replaces the items and path pool of `t` by `items`, in order, or adds
    // them after its present items; 0 or 8, and on 8 `t` is unchanged.
    u64 set_target_items(TargetRecord& t, const std::vector<TargetItem>& items);
    u64 append_target_items(TargetRecord& t, const std::vector<TargetItem>& items);
    // The items of `t` as a list.
    std::vector<TargetItem> target_items(const TargetRecord& t) const;
    // Releases what `to` owns and gives it everything `from` holds; `from`
    // is left without buffers.
    void take_target(TargetRecord& to, TargetRecord& from);
    // The number a new target is saved under: one past the highest number
    // of a file "TW_target_" + digits in the targets folder (0 when there is
    // none); 0, 5 or 6.
    u64 next_target_number(u64* number);
    u64 build_target_list();
    u64 put_target_name_into_target_list(const char* file_name);
    u64 append_to_target_list(const char* name);
    u64 nb_of_target_from_target_list() const;
    u64 delete_target_file(u64 number);
    u64 decrease_target_files_postfix_index_from(u64 number);

    // ---- Search parameters -------------------------------------------------
    u64 set_search_param_from_target();

    // ---- Search driver ------------------------------------------------------
    void search_in_target();
    u64 search_in_dir(const char* path, bool skip_dot_names, bool skip_errors, u64 depth);
    // With `start_threads`, a regular file longer than one text buffer is
    // first read one buffer here: when the search goes on past it, the
    // threads are started (start_threads returns whether they run) and
    // scan the rest in pieces. A -q or -l search ends in that buffer
    // without starting any.
    u64 search_in_file(const char* path, const std::function<bool()>* start_threads = nullptr);
    // Searches a pipe, socket, character or block device named as a file
    // item, reading it from start to end (engine/tw_stream.cpp); br's names
    // are set by the caller. 0 or an error code, as tw_search.
    u64 search_in_stream(const char* path);
    // search_in_file for a regular file during a parallel search: its
    // pieces are scanned by the scanning threads.
    u64 search_file_item_in_pieces(const char* path);
    // `start_threads` as search_in_file; `counted` set when the file was
    // counted by the parallel search that finished it; `opened`: the file
    // as the walk already opened it.
    u64 tw_search(const std::function<bool()>* start_threads = nullptr, bool* counted = nullptr,
                  OpenedFile* opened = nullptr);
    void set_show_info(int mode);
    const char* file_or_dir_exist_in_current_target();
    // Starts search_in_target on a background thread. searching_now is 1 from
    // before the thread starts until the search has ended; false when a
    // search is already running or the thread cannot start.
    bool start_search_thread();
    // Asks the running search to stop and waits until its thread has left.
    void stop_and_join_search();
    // Waits for a search thread that has ended (or is ending) on its own.
    void join_search_thread();

    // ---- Found-occurrence store -----------------------------------------------
    // Takes the lock of the result folder (exclusive for a writer, shared
    // for a reader). Without `wait`, a lock held by another search gives
    // ERR_OPEN_FILE with *busy set; with it, the call waits (setting
    // waiting_for_result) until the lock is free or a stop is asked for.
    // The lock stays until unlock_result(); open_found_file and
    // search_in_target take and release it themselves when not held.
    u64 lock_result(bool exclusive, bool wait, bool* busy = nullptr);
    void unlock_result();
    u64 open_found_file(const char* mode);
    u64 close_found_file();
    // Reads found file sur.file_index and its occurrence sur.occ_index
    // from the open result (open_found_file("r")) into sur.
    u64 get_search_info_for_file();
    // Fills sur with found file sur.file_index, its occurrence
    // sur.occ_index and the excerpt around it; sur.file_nb counts the found
    // files, at most `readable_files`. While a search of this engine runs,
    // it reads what the search has published (the caller says how many
    // found files that is) without touching anything the search writes.
    u64 build_summary(u64 readable_files = ~u64{0});
    // The description of the result the last build_summary read.
    const ResultInfo& summary_info() const { return summary_info_; }
    u64 build_summary_from_occ_file();
    void set_summary_filename();
    void set_summary_dirname();

    // ---- Settings files ---------------------------------------------------------
    u64 load_pref_file();
    u64 save_pref_file();
    u64 load_launcher_file();
    u64 save_launcher_file();
    u64 append_to_launcher(const char* path);
    u64 delete_from_launcher(u64 index);

    // ---- Report ---------------------------------------------------------------
    // `describe`, when given, turns the result's description into the
    // lines that follow the title (what was searched, how and when).
    using SearchDescriber = std::function<std::vector<std::string>(const ResultInfo&)>;
    u64 save_search_info_in_text_file(const char* path, const SearchDescriber& describe = {});

private:
    // The fold mask of a case-insensitive search's pattern (FOLD_MASK).
    std::string fold_mask_;
    // The forms of the last search of several (SearchParam::MULTI).
    std::unique_ptr<ScanForms> scan_forms_;
    // Prepares the forms of a search from the target and more_forms.
    u64 set_scan_forms();
    // Writes TW_found_forms at `path` from the forms of the search.
    u64 write_found_forms(const std::string& path);
    // Each form of `list` (the target's string first) as the result
    // describes it.
    std::vector<FoundForm> describe_forms(const std::vector<MultiPattern>& list) const;
    // The forms file of target `number` in the targets folder `dir`.
    void load_target_forms(const std::string& dir, u64 number, TargetRecord& t);
    u64 save_target_forms(const std::string& dir, u64 number, const TargetRecord& t);

    // Grows a name or list buffer to exactly `needed` bytes, keeping its
    // content; on failure the old buffer and capacity stay and 8 is returned.
    u64 grow_buffer(char*& buffer, u64& capacity, u64 needed);
    u64 allocate_search_buffer(std::uint8_t*& raw, u64& raw_size, u64 size, u64& start,
                               u64& usable);
    void reset_defaults();
    // Records a settings file that could not be read whole, with the
    // settings as they were read from it (see damaged_settings).
    void settings_damaged(const char* name, SettingsDamage damage, u64 kept_entries = 0);
    void forget_settings_damage(const char* name);
    // The settings in memory now, after start-up's repairs, count as those
    // read from the damaged files: unchanged, they are not written.
    void settings_in_use_as_read();
    // Before a damaged settings file is written: true when the settings are
    // unchanged (nothing to write); otherwise keeps the file aside, and a
    // failure to do so gives its error code in *code.
    bool keep_damaged_settings(const char* name, const std::vector<std::uint8_t>& now, u64* code);
    void set_dir_name_locked(const char* path, std::size_t length);

    // Occurrence records of the current search, 8 or 16 bytes.
    u64 record_len() const { return scan_record_len(sr); }
    // Searches every item of the target, reporting to `chain`; 0 or the
    // code of the error that ended the search.
    u64 run_search(std::vector<ResultSink*> chain);
    // The explicit-stack walk of search_in_dir.
    u64 walk_tree(const char* path, bool skip_dot_names, bool skip_errors, u64 base_depth);
    // Cuts dir_name (`len` bytes long) at its last "/", as cut_dir_name;
    // returns the new length, or npos when it holds no "/".
    std::size_t cut_dir_name_at(std::size_t len);
    // Appends "/" and `name` to dir_name of `len` bytes; the new length, or
    // npos when memory fails.
    std::size_t append_dir_name_at(std::size_t len, const char* name);
    bool path_is_excluded(std::size_t len) const;
    // Records the failure of a searched file or folder and tells the
    // sinks about it; without skip_error, also ends the search.
    void item_failed(const std::string& path, int err);
    // The same for a failure met by the walk: queued behind the files
    // before it during a parallel search.
    void walk_failed(const std::string& path, int err);
    u64 write_result_info(u64 status, u64 error_code, u64 start_time, u64 elapsed);
    u64 load_result_info();
    // Found file sur.file_index and its occurrence sur.occ_index from
    // `reader` into sur, and with summary_from the excerpt too.
    u64 read_found_file(const ResultReader& reader);
    u64 summary_from(const ResultReader& reader);
    // Reads TW_found_info into `out`; without one, `out` describes the
    // current target.
    u64 read_result_info(ResultInfo& out);

    Allocator alloc_;
    // The settings as read from each damaged settings file, by file name.
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> settings_as_read_;
    // Written by the search thread and by the viewer while a search runs.
    std::string failure_detail_;
    mutable std::mutex failure_mutex_;
    // The stream buffers of the three result files while a search writes
    // them; closed before they are released.
    std::unique_ptr<char[]> result_buffers_[3];
    // Reads the result files for the viewer and the report.
    ResultReader reader_;
    // The description the last summary was read with (see summary_info).
    ResultInfo summary_info_;
    // Guards file_name and dir_name while the search thread changes them, so
    // the progress display never reads a name that is being reallocated.
    mutable std::mutex names_mutex_;
    std::thread search_thread_;
    int search_dir_fd_ = -1;  // the folder that holds the searched file
    // Where the running search reports: counters, failures, found files.
    SearchOutput output_{ir};
    std::vector<std::string> excluded_roots_;  // folders the walk never enters
    FoundLock found_lock_;
    bool lock_taken_by_open_ = false;  // released by close_found_file
    u64 last_search_status_ = RESULT_FINISHED;  // how the last search ended
    bool stopped_at_unreadable_ = false;  // see stopped_at_unreadable_item()
    ParallelSearch* par_ = nullptr;  // the running parallel search, if any
};

}  // namespace tw
