// Engine state and settings: search buffers and name buffers, error texts,
// TW_preference and TW_launcher, start-up and shut-down.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <tuple>

#include "engine/tw.h"
#include "engine/tw_limits.h"
#include "engine_fixture.h"

using namespace tw;
using namespace tw_test;

namespace {

// Refuses every allocation of at least `fail_from` bytes.
std::size_t fail_from = SIZE_MAX;
void* limited_allocate(std::size_t n) { return n >= fail_from ? nullptr : std::malloc(n); }
void* limited_reallocate(void* p, std::size_t n) { return n >= fail_from ? nullptr : std::realloc(p, n); }

// A TW_preference file: the three buffer sizes, then fixed values.
Bytes preference_bytes(u64 str = 4096, u64 text = 65536, u64 occ = 1024, u64 every = 250000) {
    Bytes b;
    for (u64 v : {str, text, occ, every, u64{0x0500}, u64{2}}) append_le64(b, v);
    b.push_back(1);  // return_key_is_search
    b.insert(b.end(), 7, 0);
    for (std::uint8_t show : {1, 0, 1, 1, 0, 1}) b.push_back(show);
    return b;
}

std::unique_ptr<Engine> started(const std::string& resources, Allocator a = Allocator::system()) {
    auto e = std::make_unique<Engine>(a);
    e->resource_dir_pathname_ptr = resources;
    EXPECT_EQ(e->initialize_and_load_tw_parameter(), 0u);
    return e;
}

std::vector<std::string> entries(const char* list, u64 len) {
    std::vector<std::string> out;
    for (u64 pos = 0; pos < len; pos += out.back().size() + 1) out.emplace_back(list + pos);
    return out;
}

}  // namespace

TEST_F(EngineTest, BuffersGrowOnlyWhenNeededAndKeepTheirContentWhenGrowthFails) {
    fail_from = SIZE_MAX;
    auto e = started(dir.path(), Allocator{&limited_allocate, &limited_reallocate, &std::free});
    ASSERT_EQ(e->set_str_buf(5000), 0u);
    EXPECT_EQ(e->br.str_buf_size, 5032u);
    EXPECT_GE(e->sr.STR_BUF_SIZE, 5000u);

    const std::string dir_path = "/" + std::string(999, 'd');
    ASSERT_EQ(e->copy_dir_name(dir_path.c_str()), 0u);
    ASSERT_EQ(e->append_to_dir_name("sub"), 0u);
    EXPECT_EQ(e->br.dir_name_size, 1000u + 3u + 2u);
    EXPECT_EQ(std::string(e->br.dir_name), dir_path + "/sub");
    ASSERT_EQ(e->copy_dir_name("/"), 0u);
    ASSERT_EQ(e->append_to_dir_name("usr"), 0u);
    EXPECT_STREQ(e->br.dir_name, "/usr");

    fail_from = 4000;
    const u64 size = e->sr.STR_BUF_SIZE;
    const std::string long_name(5000, 'n');
    EXPECT_EQ(e->set_str_buf(9000), ERR_MEMORY);
    EXPECT_EQ(e->sr.STR_BUF_SIZE, size);
    ASSERT_EQ(e->copy_file_name("short"), 0u);
    EXPECT_EQ(e->copy_file_name(long_name.c_str()), ERR_MEMORY);
    EXPECT_STREQ(e->br.file_name, "short");
    EXPECT_EQ(e->append_to_dir_name(long_name.c_str()), ERR_MEMORY);
    EXPECT_STREQ(e->br.dir_name, "/usr");
    EXPECT_EQ(e->append_to_launcher(long_name.c_str()), ERR_MEMORY);
    EXPECT_EQ(e->br.launcher_list_len, 0u);
    fail_from = SIZE_MAX;
}

TEST(ErrorTexts, CodesGiveTheirTextsAndFatalTextsNameTheFailingFile) {
    Engine engine;
    EXPECT_STREQ(engine.build_str_err(14), "file -> access denied");
    EXPECT_STREQ(engine.build_str_err(~u64{0}), "undefined error");

    engine.record_failure("/r/TW_found/TW_found_header");
    const std::pair<u64, std::string> fatal[] = {
        {1, "cannot open file: /r/TW_found/TW_found_header"},
        {3, "cannot write file: /r/TW_found/TW_found_header"},
        {6, "cannot open directory: /r/TW_found/TW_found_header"},
        {7, "cannot delete file"},
        {99, "undefined error"}};
    for (const auto& [code, text] : fatal) {
        engine.fatal_err_index = code;
        EXPECT_EQ(engine.build_fatal_str_err(), text) << code;
    }
    engine.record_failure("/" + std::string(400, 'p'));
    engine.fatal_err_index = 6;
    EXPECT_EQ(std::string(engine.build_fatal_str_err()).size(), 255u);
}

TEST_F(EngineTest, StartUpWithoutSettingsKeepsTheDefaultsAndShutDownSavesThem) {
    const std::vector<u64> sizes = {engine->pr.str_mem_size, engine->pr.text_mem_size,
                                    engine->pr.occ_mem_size, engine->pr.show_info_every};
    EXPECT_EQ(sizes, (std::vector<u64>{1600, 1280000, 16000, 15000}));
    EXPECT_EQ(engine->cur_target_index, -1);

    engine->cur_target_index = 4;
    ASSERT_EQ(engine->append_to_launcher("/usr/bin/less"), 0u);
    engine->finalize_and_save_tw_parameter();
    EXPECT_EQ(read_file(dir / "TW_preference").size(), 62u);
    auto next = started(dir.path());
    EXPECT_EQ(next->cur_target_index, 4);
    EXPECT_EQ(next->br.launcher_list_len, 14u);
    EXPECT_STREQ(next->br.launcher_list, "/usr/bin/less");
}

TEST_F(EngineTest, PreferencesRoundTripByteForByte) {
    write_file(dir / "TW_preference", preference_bytes());
    ASSERT_EQ(engine->load_pref_file(), 0u);
    const PreferenceRecord& pr = engine->pr;
    EXPECT_EQ((std::vector<u64>{pr.text_mem_size, pr.show_info_every, pr.user_defined_encoding,
                                static_cast<u64>(pr.saved_target_index), pr.return_key_is_search,
                                engine->sir.show_folder_name, engine->sir.show_access_err_nb}),
              (std::vector<u64>{65536, 250000, 0x0500, 2, 1, 0, 1}));
    std::filesystem::remove(dir / "TW_preference");
    ASSERT_EQ(engine->save_pref_file(), 0u);
    EXPECT_EQ(read_file(dir / "TW_preference"), preference_bytes());

    // A short file overwrites only the bytes present: the two low bytes of
    // the text size came from it (zero), the rest kept 1,280,000 (0x138800).
    const Bytes whole = preference_bytes();
    write_file(dir / "TW_preference", Bytes(whole.begin(), whole.begin() + 10));
    auto e = started(dir.path());
    EXPECT_EQ(std::tuple(e->pr.str_mem_size, e->pr.text_mem_size, e->pr.saved_target_index),
              std::tuple(u64{4096}, u64{0x130000}, i64{-1}));
    EXPECT_EQ(e->load_pref_file(), ERR_READ_FILE);
}

namespace {
void* small_allocate(std::size_t n) { return n > (std::size_t{8} << 20) ? nullptr : std::malloc(n); }
void* small_reallocate(void* p, std::size_t n) { return n > (std::size_t{8} << 20) ? nullptr : std::realloc(p, n); }
}  // namespace

// Sizes from a damaged or hand-edited file fall back to their defaults
// before anything is allocated; the allocator here refuses beyond 8 MiB.
TEST_F(EngineTest, UnworkableSettingsFallBackToTheirDefaultsAtStartUp) {
    constexpr u64 kKiB = 1024, kMiB = kKiB * kKiB, kGiB = kMiB * kKiB;
    constexpr u64 S = TW_DEFAULT_STR_MEM_SIZE, T = TW_DEFAULT_TEXT_MEM_SIZE, O = TW_DEFAULT_OCC_MEM_SIZE;
    // The upper limits themselves are accepted (beyond what the allocator gives).
    EXPECT_EQ(bounded(TW_TEXT_MEM_LIMITS, kGiB), kGiB);
    EXPECT_EQ(bounded(TW_OCC_MEM_LIMITS, 256 * kMiB), 256 * kMiB);
    struct Case {
        u64 str, text, occ, every;  // stored
        u64 want_str, want_text, want_occ, want_every;
    } cases[] = {
        {16, 64 * kKiB, kKiB, 15000, 16, 64 * kKiB, kKiB, 15000},
        {4 * kMiB, 4 * kMiB, 4 * kMiB, 1000, 4 * kMiB, 4 * kMiB, 4 * kMiB, 15000},
        {4096, 64 * kKiB - 1, 1024, 15000, 4096, T, 1024, 15000},
        {4096, ~u64{0}, 1024, 15000, 4096, T, 1024, 15000},
        {15, 65536, 1024, 15000, S, 65536, 1024, 15000},
        {64 * kMiB + 1, 65536, 1024, 15000, S, 65536, 1024, 15000},
        {4096, 65536, ~u64{0}, 15000, 4096, 65536, O, 15000},
        // Within the limits but more than this allocator gives.
        {4096, 64 * kMiB, 1024, 15000, S, T, O, 15000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.str << " " << c.text << " " << c.occ << " " << c.every);
        write_file(dir / "TW_preference", preference_bytes(c.str, c.text, c.occ, c.every));
        auto e = started(dir.path(), Allocator{&small_allocate, &small_reallocate, &std::free});
        EXPECT_EQ((std::vector<u64>{e->pr.str_mem_size, e->pr.text_mem_size, e->pr.occ_mem_size, e->br.text_buf_size,
                                    e->pr.show_info_every}),
                  (std::vector<u64>{c.want_str, c.want_text, c.want_occ, c.want_text, c.want_every}));
    }
}

TEST_F(EngineTest, LauncherEntriesAreDeletedInPlaceAndSavedExactly) {
    for (const char* app : {"A.app", "Bb.app", "C.app"}) ASSERT_EQ(engine->append_to_launcher(app), 0u);
    EXPECT_EQ(engine->delete_from_launcher(3), ERR_CORRUPTED);
    ASSERT_EQ(engine->delete_from_launcher(1), 0u);
    EXPECT_EQ(entries(engine->br.launcher_list, engine->br.launcher_list_len),
              (std::vector<std::string>{"A.app", "C.app"}));

    std::string many;
    for (int i = 0; i < 40; ++i) many += "/usr/share/applications/app" + std::to_string(i) + ".desktop" + '\0';
    write_file(dir / "TW_launcher", many);
    ASSERT_EQ(engine->load_launcher_file(), 0u);
    EXPECT_EQ(engine->br.launcher_list_len, many.size());
    std::filesystem::remove(dir / "TW_launcher");
    ASSERT_EQ(engine->save_launcher_file(), 0u);
    EXPECT_EQ(read_file(dir / "TW_launcher"), Bytes(many.begin(), many.end()));
}

// A settings file that could not be read whole keeps what it held: the
// whole entries are used, the damage is named once, and the file is not
// written while the settings are unchanged; a change keeps the old file
// beside the new one as NAME.damaged.
TEST_F(EngineTest, DamagedSettingsFilesAreNeverReplacedWithLess) {
    const std::string big_list(std::size_t{16} << 20 | 1, 'x');
    Bytes long_pref = preference_bytes();
    long_pref.insert(long_pref.end(), 8, 0xEE);
    struct Case {
        const char* file;
        std::string bytes;
        SettingsDamage damage;
        u64 kept_entries;
        std::string kept_list;  // TW_launcher: the list in use
        std::function<void(Engine&)> change;
        std::string written;  // after the change
    } cases[] = {
        {"TW_launcher", std::string("/usr/bin/a\0/usr/bin/b", 21), SettingsDamage::Unterminated, 1,
         std::string("/usr/bin/a\0", 11), [](Engine& e) { e.append_to_launcher("/usr/bin/c"); },
         std::string("/usr/bin/a\0/usr/bin/c\0", 22)},
        {"TW_launcher", "/usr/bin/no-end", SettingsDamage::Unterminated, 0, "",
         [](Engine& e) { e.append_to_launcher("/b"); }, std::string("/b\0", 3)},
        {"TW_launcher", big_list, SettingsDamage::TooLarge, 0, "",
         [](Engine& e) { e.append_to_launcher("/b"); }, std::string("/b\0", 3)},
        {"TW_preference", std::string(long_pref.begin(), long_pref.end()), SettingsDamage::TooLarge, 0, "",
         [](Engine& e) { e.pr.return_key_is_search = 0; },
         [] { Bytes b = preference_bytes(); b[48] = 0; return std::string(b.begin(), b.end()); }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " of " + std::to_string(c.bytes.size()) + " bytes");
        for (const char* f : {"TW_launcher", "TW_preference", "TW_launcher.damaged", "TW_preference.damaged"})
            std::filesystem::remove(dir / f);
        write_file(dir / c.file, c.bytes);
        const Bytes original(c.bytes.begin(), c.bytes.end());
        for (bool changed : {false, true}) {
            auto e = started(dir.path());
            ASSERT_EQ(e->damaged_settings.size(), 1u);
            const auto& d = e->damaged_settings[0];
            EXPECT_EQ(std::tie(d.path, d.damage, d.kept_entries), std::tuple(dir / c.file, c.damage, c.kept_entries));
            EXPECT_EQ(std::string(e->br.launcher_list, e->br.launcher_list_len),
                      std::string(c.file) == "TW_launcher" ? c.kept_list : "");
            if (changed) c.change(*e);
            e->finalize_and_save_tw_parameter();
            if (!changed) {
                EXPECT_EQ(read_file(dir / c.file), original);
                EXPECT_FALSE(std::filesystem::exists(dir / (std::string(c.file) + ".damaged")));
            }
        }
        EXPECT_EQ(read_file(dir / c.file), Bytes(c.written.begin(), c.written.end()));
        EXPECT_EQ(read_file(dir / (std::string(c.file) + ".damaged")), original);
        EXPECT_TRUE(started(dir.path())->damaged_settings.empty());
    }
}

namespace {

// Fails the engine's `fail_at`-th allocation (counting from 0) and counts them all.
std::size_t alloc_calls = 0, fail_at = SIZE_MAX;
void* counted_allocate(std::size_t n) { return alloc_calls++ == fail_at ? nullptr : std::malloc(n); }
void* counted_reallocate(void* p, std::size_t n) { return alloc_calls++ == fail_at ? nullptr : std::realloc(p, n); }

// Every regular file under `root`, by path, with its bytes.
std::map<std::string, Bytes> stored_files(const std::string& root) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files[entry.path().string()] = read_file(entry.path().string());
    return files;
}

}  // namespace

// For every N, the N-th allocation of a start, a target's load, edit and save,
// a search and a result read fails: the step ends in ERR_MEMORY (never a
// crash or another code), the target file is still whole (the old one when
// its save failed), and the result still reads. Leaks show under the
// sanitizer build.
TEST_F(EngineTest, EachAllocationThatFailsEndsInAMemoryErrorWithNothingLost) {
    make_file("a.txt", "needle and needle");
    make_dir("sub");
    make_file("sub/" + std::string(200, 'n'), "a needle");
    set_target(*engine, "needle", {{data.path(), true}});
    ASSERT_EQ(engine->save_target_file(0, engine->tr), 0u);
    engine->search_in_target();
    ASSERT_EQ(engine->fatal_err_index, 0u);
    const auto before = stored_files(dir.path());
    std::size_t refused = 0;
    for (fail_at = 0;; ++fail_at) {
        SCOPED_TRACE(fail_at);
        for (const auto& [path, bytes] : before) write_file(path, bytes);
        alloc_calls = 0;
        u64 code = 0;
        const char* step = "";
        std::size_t step_index = 0;
        {
            Engine e(Allocator{&counted_allocate, &counted_reallocate, &std::free});
            e.resource_dir_pathname_ptr = dir.path();
            e.bundle_dir_pathname_ptr = dir / "bundle";
            e.thread_count = 1;
            const std::pair<const char*, std::function<u64()>> steps[] = {
                {"start", [&] { return e.initialize_and_load_tw_parameter(); }},
                {"load", [&] { return e.load_target_file(0, e.tr); }},
                {"edit", [&] { return e.set_target_name(e.tr, std::string(200, 'r')); }},
                {"save", [&] { return e.save_target_file(0, e.tr); }},
                {"search", [&] { e.search_in_target(); return e.fatal_err_index; }},
                {"read", [&] { return e.build_summary(); }},
            };
            for (; step_index < std::size(steps); ++step_index) {
                step = steps[step_index].first;
                if ((code = steps[step_index].second()) != 0) break;
            }
        }
        // Start-up takes a refused buffer as a reason to retry with the
        // default sizes; anything else refused ends its step.
        const bool failed = alloc_calls > fail_at;
        EXPECT_TRUE(code == 0 || (failed && code == ERR_MEMORY)) << step << " " << code;
        refused += code == ERR_MEMORY;
        // Whatever failed, what is stored still loads, with a system allocator.
        Engine check;
        check.resource_dir_pathname_ptr = dir.path();
        ASSERT_EQ(check.initialize_and_load_tw_parameter(), 0u);
        ASSERT_EQ(check.load_target_file(0, check.tr), 0u) << step;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(check.tr.search_str), check.tr.search_str_len), "needle");
        // Up to the save, a failure writes nothing.
        if (code != 0 && step_index <= 3) {
            EXPECT_EQ(stored_files(dir.path()), before) << step;
        }
        EXPECT_EQ(check.build_summary(), 0u) << step;
        if (!failed) break;  // every allocation of the run has failed once
    }
    EXPECT_GE(refused, 5u) << fail_at;
    fail_at = SIZE_MAX;
}
