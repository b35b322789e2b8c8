// TW_preference and TW_launcher.
#include <cstring>
#include <string>

#include "engine/tw.h"
#include "engine/tw_limits.h"
#include "engine_fixture.h"

using namespace tw;
using namespace tw_test;

namespace {

Bytes preference_bytes() {
    Bytes b;
    for (u64 v : {u64{4096}, u64{65536}, u64{1024}, u64{250000}, u64{0x0500}, u64{2}}) append_le64(b, v);
    b.push_back(1);  // return_key_is_search
    b.push_back(0);  // reserved
    b.insert(b.end(), 6, 0);
    for (std::uint8_t show : {1, 0, 1, 1, 0, 1}) b.push_back(show);
    return b;
}

std::vector<std::string> launcher_entries(const Engine& e) {
    std::vector<std::string> out;
    for (u64 pos = 0; pos < e.br.launcher_list_len;) {
        out.emplace_back(e.br.launcher_list + pos);
        pos += out.back().size() + 1;
    }
    return out;
}

}  // namespace

TEST_F(EngineTest, PreferencesRoundTripByteForByte) {
    write_file(dir / "TW_preference", preference_bytes());
    ASSERT_EQ(engine->load_pref_file(), 0u);
    EXPECT_EQ(engine->pr.str_mem_size, 4096u);
    EXPECT_EQ(engine->pr.text_mem_size, 65536u);
    EXPECT_EQ(engine->pr.show_info_every, 250000u);
    EXPECT_EQ(engine->pr.user_defined_encoding, 0x0500u);
    EXPECT_EQ(engine->pr.saved_target_index, 2);
    EXPECT_EQ(engine->pr.return_key_is_search, 1);
    EXPECT_EQ(engine->sir.show_file_name, 1);
    EXPECT_EQ(engine->sir.show_folder_name, 0);
    EXPECT_EQ(engine->sir.show_access_err_nb, 1);
    std::filesystem::remove(dir / "TW_preference");
    ASSERT_EQ(engine->save_pref_file(), 0u);
    EXPECT_EQ(read_file(dir / "TW_preference"), preference_bytes());
}

TEST_F(EngineTest, ShortPreferenceFileOverwritesOnlyTheBytesPresent) {
    const Bytes whole = preference_bytes();
    write_file(dir / "TW_preference", Bytes(whole.begin(), whole.begin() + 10));
    Engine e;
    e.resource_dir_pathname_ptr = dir.path();
    ASSERT_EQ(e.initialize_and_load_tw_parameter(), 0u);
    EXPECT_EQ(e.pr.str_mem_size, 4096u);
    // The two low bytes of the text buffer size came from the file (zero),
    // the others kept the default's (1,280,000 is 0x138800).
    EXPECT_EQ(e.pr.text_mem_size, 0x130000u);
    EXPECT_EQ(e.pr.occ_mem_size, TW_DEFAULT_OCC_MEM_SIZE);
    EXPECT_EQ(e.pr.saved_target_index, -1);
    EXPECT_EQ(e.load_pref_file(), ERR_READ_FILE);
}

TEST_F(EngineTest, ProgressPeriodIsRaisedToItsMinimumAtStartUp) {
    Bytes b = preference_bytes();
    for (int i = 0; i < 8; ++i) b[24 + i] = static_cast<std::uint8_t>(u64{1000} >> (8 * i));
    write_file(dir / "TW_preference", b);
    Engine e;
    e.resource_dir_pathname_ptr = dir.path();
    ASSERT_EQ(e.initialize_and_load_tw_parameter(), 0u);
    EXPECT_EQ(e.pr.show_info_every, 15000u);
    EXPECT_EQ(e.cur_target_index, 2);
}

TEST_F(EngineTest, LauncherEntriesAreAppendedAndDeletedInPlace) {
    EXPECT_EQ(engine->append_to_launcher(std::string(20, 'p').c_str()), 0u);
    EXPECT_EQ(engine->br.launcher_list_len, 21u);
    engine->br.launcher_list_len = 0;
    for (const char* app : {"A.app", "Bb.app", "C.app"}) ASSERT_EQ(engine->append_to_launcher(app), 0u);
    const u64 capacity = engine->br.launcher_list_size;
    EXPECT_EQ(engine->delete_from_launcher(3), ERR_CORRUPTED);
    EXPECT_EQ(engine->br.launcher_list_len, 19u);
    ASSERT_EQ(engine->delete_from_launcher(1), 0u);
    EXPECT_EQ(launcher_entries(*engine), (std::vector<std::string>{"A.app", "C.app"}));
    EXPECT_EQ(engine->br.launcher_list_len, 12u);
    EXPECT_EQ(engine->br.launcher_list_size, capacity);
    ASSERT_EQ(engine->delete_from_launcher(1), 0u);
    ASSERT_EQ(engine->delete_from_launcher(0), 0u);
    EXPECT_EQ(engine->br.launcher_list_len, 0u);
    EXPECT_EQ(engine->delete_from_launcher(0), ERR_CORRUPTED);
}

TEST_F(EngineTest, LauncherFileHoldsExactlyTheListAndGrowsTheBuffer) {
    std::string many;
    for (int i = 0; i < 40; ++i) many += "/usr/share/applications/app" + std::to_string(i) + ".desktop" + '\0';
    write_file(dir / "TW_launcher", many);
    ASSERT_EQ(engine->load_launcher_file(), 0u);
    EXPECT_EQ(engine->br.launcher_list_len, many.size());
    EXPECT_EQ(engine->br.launcher_list_size, many.size());
    EXPECT_EQ(launcher_entries(*engine).size(), 40u);
    std::filesystem::remove(dir / "TW_launcher");
    ASSERT_EQ(engine->save_launcher_file(), 0u);
    const Bytes saved = read_file(dir / "TW_launcher");
    EXPECT_EQ(std::string(saved.begin(), saved.end()), many);

    engine->br.launcher_list_len = 0;
    ASSERT_EQ(engine->save_launcher_file(), 0u);
    EXPECT_TRUE(read_file(dir / "TW_launcher").empty());
}

TEST_F(EngineTest, LauncherFileWithoutFinalNulIsRefused) {
    write_file(dir / "TW_launcher", std::string("/usr/bin/a\0/usr/bin/b", 21));
    EXPECT_EQ(engine->load_launcher_file(), ERR_CORRUPTED);
    EXPECT_EQ(engine->br.launcher_list_len, 0u);
}

namespace {

Bytes preference_bytes_with_sizes(u64 str_size, u64 text_size, u64 occ_size) {
    Bytes b = preference_bytes();
    const u64 sizes[] = {str_size, text_size, occ_size};
    for (int w = 0; w < 3; ++w)
        for (int i = 0; i < 8; ++i) b[8 * w + i] = static_cast<std::uint8_t>(sizes[w] >> (8 * i));
    return b;
}

// Refuses every allocation of more than 8 MiB.
void* small_allocate(std::size_t n) { return n > (std::size_t{8} << 20) ? nullptr : std::malloc(n); }
void* small_reallocate(void* p, std::size_t n) {
    return n > (std::size_t{8} << 20) ? nullptr : std::realloc(p, n);
}

}  // namespace

TEST_F(EngineTest, UnworkableBufferSizesFallBackToTheirDefaultsAtStartUp) {
    constexpr u64 kKiB = 1024;
    constexpr u64 kMaxText = u64{0xFFFFFFFF} * kKiB;  // almost 4 TiB
    constexpr u64 kGiB = u64{1} << 30;
    // The upper limits themselves are accepted (beyond what this test's
    // allocator gives, so they are checked here, not through a start-up).
    EXPECT_EQ(bounded(TW_TEXT_MEM_LIMITS, kGiB), kGiB);
    EXPECT_EQ(bounded(TW_STR_MEM_LIMITS, 64 * kKiB * kKiB), 64 * kKiB * kKiB);
    EXPECT_EQ(bounded(TW_OCC_MEM_LIMITS, 256 * kKiB * kKiB), 256 * kKiB * kKiB);
    struct Case {
        u64 str, text, occ;     // stored
        u64 want_str, want_text, want_occ;
    } cases[] = {
        // Sizes at the limits are kept as stored.
        {16, 64 * kKiB, kKiB, 16, 64 * kKiB, kKiB},
        {4 * kKiB * kKiB, 4 * kKiB * kKiB, 4 * kKiB * kKiB, 4 * kKiB * kKiB, 4 * kKiB * kKiB,
         4 * kKiB * kKiB},
        // A text buffer below 64 KiB or beyond 1 GiB: almost 4 TiB asked
        // for by a damaged file is never allocated.
        {4096, 64 * kKiB - 1, 1024, 4096, TW_DEFAULT_TEXT_MEM_SIZE, 1024},
        {4096, 0, 1024, 4096, TW_DEFAULT_TEXT_MEM_SIZE, 1024},
        {4096, kGiB + 1, 1024, 4096, TW_DEFAULT_TEXT_MEM_SIZE, 1024},
        {4096, kMaxText, 1024, 4096, TW_DEFAULT_TEXT_MEM_SIZE, 1024},
        {4096, ~u64{0}, 1024, 4096, TW_DEFAULT_TEXT_MEM_SIZE, 1024},
        // String buffers below 16 bytes or beyond 64 MiB.
        {0, 65536, 1024, TW_DEFAULT_STR_MEM_SIZE, 65536, 1024},
        {15, 65536, 1024, TW_DEFAULT_STR_MEM_SIZE, 65536, 1024},
        {64 * kKiB * kKiB + 1, 65536, 1024, TW_DEFAULT_STR_MEM_SIZE, 65536, 1024},
        // Occurrence buffers below 1 KiB or beyond 256 MiB.
        {4096, 65536, 0, 4096, 65536, TW_DEFAULT_OCC_MEM_SIZE},
        {4096, 65536, 1023, 4096, 65536, TW_DEFAULT_OCC_MEM_SIZE},
        {4096, 65536, 256 * kKiB * kKiB + 1, 4096, 65536, TW_DEFAULT_OCC_MEM_SIZE},
        {4096, 65536, ~u64{0}, 4096, 65536, TW_DEFAULT_OCC_MEM_SIZE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.str << " " << c.text << " " << c.occ);
        write_file(dir / "TW_preference", preference_bytes_with_sizes(c.str, c.text, c.occ));
        Engine e(Allocator{&small_allocate, &small_reallocate, &std::free});
        e.resource_dir_pathname_ptr = dir.path();
        ASSERT_EQ(e.initialize_and_load_tw_parameter(), 0u);
        EXPECT_EQ(e.pr.str_mem_size, c.want_str);
        EXPECT_EQ(e.pr.text_mem_size, c.want_text);
        EXPECT_EQ(e.pr.occ_mem_size, c.want_occ);
        EXPECT_EQ(e.br.occ_buf_size, c.want_occ);
        // Whatever was stored, the engine starts with buffers a search can
        // use (the string buffer grows with the pattern).
        EXPECT_GE(e.sr.TEXT_BUF_SIZE, 64 * kKiB - 16);
        EXPECT_GE(e.sr.OCC_BUF_SIZE, 16u);
    }
}

TEST_F(EngineTest, SizesThatCannotBeAllocatedFallBackToTheDefaults) {
    // 64 MiB passes the checks but is more than this allocator gives.
    write_file(dir / "TW_preference", preference_bytes_with_sizes(4096, u64{64} << 20, 1024));
    Engine e(Allocator{&small_allocate, &small_reallocate, &std::free});
    e.resource_dir_pathname_ptr = dir.path();
    ASSERT_EQ(e.initialize_and_load_tw_parameter(), 0u);
    EXPECT_EQ(e.pr.text_mem_size, TW_DEFAULT_TEXT_MEM_SIZE);
    EXPECT_EQ(e.pr.str_mem_size, TW_DEFAULT_STR_MEM_SIZE);
    EXPECT_EQ(e.pr.occ_mem_size, TW_DEFAULT_OCC_MEM_SIZE);
    EXPECT_EQ(e.br.text_buf_size, TW_DEFAULT_TEXT_MEM_SIZE);
}
