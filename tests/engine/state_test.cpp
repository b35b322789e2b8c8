// Buffers, names, error texts, start-up and shut-down of the engine.
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/tw.h"
#include "engine_fixture.h"

using namespace tw;
using namespace tw_test;

namespace {

// Fails every allocation of at least `fail_from` bytes.
std::size_t fail_from = SIZE_MAX;
void* limited_allocate(std::size_t n) { return n >= fail_from ? nullptr : std::malloc(n); }
void* limited_reallocate(void* p, std::size_t n) {
    return n >= fail_from ? nullptr : std::realloc(p, n);
}
Allocator limited() { return {&limited_allocate, &limited_reallocate, &std::free}; }

// Hands out blocks whose address is 8 more than a multiple of 16; the eight
// bytes before each block keep its size.
void* offset8_allocate(std::size_t n) {
    auto* p = static_cast<char*>(std::aligned_alloc(16, (n + 8 + 15) & ~std::size_t{15}));
    if (p == nullptr) return nullptr;
    std::memcpy(p, &n, sizeof n);
    return p + 8;
}
void* offset8_reallocate(void* p, std::size_t n) {
    void* fresh = offset8_allocate(n);
    if (fresh != nullptr && p != nullptr) {
        std::size_t old = 0;
        std::memcpy(&old, static_cast<char*>(p) - 8, sizeof old);
        std::memcpy(fresh, p, old < n ? old : n);
        std::free(static_cast<char*>(p) - 8);
    }
    return fresh;
}
void offset8_release(void* p) {
    if (p != nullptr) std::free(static_cast<char*>(p) - 8);
}

class LimitedEngineTest : public EngineTest {
protected:
    void SetUp() override {
        fail_from = SIZE_MAX;
        EngineTest::SetUp();
    }
    void TearDown() override { fail_from = SIZE_MAX; }
    Allocator allocator() override { return limited(); }
};

class Offset8EngineTest : public EngineTest {
protected:
    Allocator allocator() override { return {&offset8_allocate, &offset8_reallocate, &offset8_release}; }
};

}  // namespace

TEST_F(EngineTest, SearchBuffersAreAlignedAndSizedFromPreferences) {
    const SearchParam& sr = engine->sr;
    struct Buffer {
        std::uint8_t* raw;
        u64 raw_size, start, usable;
    } buffers[] = {{engine->br.str_buf, engine->br.str_buf_size, sr.STR_START, sr.STR_BUF_SIZE},
                   {engine->br.text_buf, engine->br.text_buf_size, sr.TEXT_START, sr.TEXT_BUF_SIZE},
                   {engine->br.occ_buf, engine->br.occ_buf_size, sr.OCC_START, sr.OCC_BUF_SIZE}};
    EXPECT_EQ(buffers[0].raw_size, 1600u);
    EXPECT_EQ(buffers[1].raw_size, 1280000u);
    EXPECT_EQ(buffers[2].raw_size, 16000u);
    for (const Buffer& b : buffers) {
        const u64 raw = reinterpret_cast<u64>(b.raw);
        EXPECT_EQ(b.start % 16, 0u);
        EXPECT_GE(b.start, raw);
        EXPECT_LT(b.start - raw, 16u);
        EXPECT_EQ(b.usable % 16, 0u);
        EXPECT_LE(b.start + b.usable, raw + b.raw_size);
        EXPECT_GT(b.start + b.usable + 16, raw + b.raw_size);
    }
    EXPECT_EQ(sr.STR_END, 0u);
    EXPECT_EQ(sr.TEXT_PTR, sr.TEXT_START);
    EXPECT_EQ(sr.OCC_PTR, sr.OCC_START);
    EXPECT_EQ(sr.OCC_END, sr.OCC_START + sr.OCC_BUF_SIZE);
    EXPECT_EQ(engine->br.file_name_size, 256u);
    EXPECT_EQ(engine->br.dir_name_size, 1000u);
    EXPECT_EQ(engine->br.target_list_size, 1000u);
    EXPECT_EQ(engine->br.launcher_list_size, 1000u);
    EXPECT_STREQ(engine->br.file_name, "");
    EXPECT_EQ(engine->br.target_list_len, 0u);
}

TEST_F(Offset8EngineTest, UsablePartStartsAtTheNextSixteenByteBoundary) {
    const u64 raw = reinterpret_cast<u64>(engine->br.str_buf);
    ASSERT_EQ(raw % 16, 8u);
    EXPECT_EQ(engine->sr.STR_START, raw + 8);
    EXPECT_EQ(engine->sr.STR_BUF_SIZE, 1584u);
    // Text buffer: 1,280,000 - 8 rounded down to a multiple of 16.
    EXPECT_EQ(engine->sr.TEXT_BUF_SIZE, 1279984u);
}

TEST_F(EngineTest, SetStrBufGrowsOnlyWhenTooSmall) {
    const u64 start = engine->sr.STR_START;
    EXPECT_EQ(engine->set_str_buf(engine->sr.STR_BUF_SIZE), 0u);
    EXPECT_EQ(engine->sr.STR_START, start);

    engine->sr.STR_END = engine->sr.STR_START + 3;
    ASSERT_EQ(engine->set_str_buf(5000), 0u);
    EXPECT_EQ(engine->br.str_buf_size, 5032u);
    EXPECT_GE(engine->sr.STR_BUF_SIZE, 5000u);
    EXPECT_EQ(engine->sr.STR_START % 16, 0u);
    EXPECT_EQ(engine->sr.STR_END, 0u);
}

TEST_F(LimitedEngineTest, FailedGrowthKeepsTheOldBuffers) {
    const u64 start = engine->sr.STR_START, size = engine->sr.STR_BUF_SIZE;
    fail_from = 4000;
    EXPECT_EQ(engine->set_str_buf(5000), ERR_MEMORY);
    EXPECT_EQ(engine->sr.STR_START, start);
    EXPECT_EQ(engine->sr.STR_BUF_SIZE, size);

    ASSERT_EQ(engine->copy_file_name("short"), 0u);
    const std::string long_name(5000, 'n');
    EXPECT_EQ(engine->copy_file_name(long_name.c_str()), ERR_MEMORY);
    EXPECT_STREQ(engine->br.file_name, "short");
    EXPECT_EQ(engine->br.file_name_size, 256u);

    ASSERT_EQ(engine->copy_dir_name("/tmp"), 0u);
    EXPECT_EQ(engine->append_to_dir_name(long_name.c_str()), ERR_MEMORY);
    EXPECT_STREQ(engine->br.dir_name, "/tmp");
    EXPECT_EQ(engine->append_to_target_list(long_name.c_str()), ERR_MEMORY);
    EXPECT_EQ(engine->br.target_list_len, 0u);
    EXPECT_EQ(engine->append_to_launcher(long_name.c_str()), ERR_MEMORY);
    EXPECT_EQ(engine->br.launcher_list_len, 0u);
}

TEST_F(LimitedEngineTest, StartUpReportsMemoryWhenABufferCannotBeHad) {
    Engine other(limited());
    other.resource_dir_pathname_ptr = dir.path();
    fail_from = 1000000;  // the 1,280,000-byte text buffer cannot be had
    EXPECT_EQ(other.initialize_and_load_tw_parameter(), ERR_MEMORY);
    fail_from = SIZE_MAX;
    other.finalize_tw_buffer();
    EXPECT_EQ(other.br.str_buf, nullptr);
    EXPECT_EQ(other.sr.STR_START, 0u);
}

TEST_F(EngineTest, NameBuffersGrowToExactlyTheNeededSize) {
    const std::string name(300, 'x');
    ASSERT_EQ(engine->copy_file_name(name.c_str()), 0u);
    EXPECT_EQ(engine->br.file_name_size, 301u);
    char* const grown = engine->br.file_name;
    ASSERT_EQ(engine->copy_file_name("a.txt"), 0u);
    EXPECT_EQ(engine->br.file_name, grown);
    EXPECT_EQ(engine->br.file_name_size, 301u);
    EXPECT_STREQ(engine->br.file_name, "a.txt");

    const std::string dir_path = "/" + std::string(999, 'd');
    ASSERT_EQ(engine->copy_dir_name(dir_path.c_str()), 0u);
    EXPECT_EQ(engine->br.dir_name_size, 1001u);
    ASSERT_EQ(engine->append_to_dir_name("sub"), 0u);
    EXPECT_EQ(engine->br.dir_name_size, 1000u + 3u + 2u);
    EXPECT_EQ(std::string(engine->br.dir_name), dir_path + "/sub");
}

TEST(ErrorTexts, CodesMapToTheirTextsAndLargeCodesToUndefined) {
    Engine engine;
    EXPECT_STREQ(engine.build_str_err(0), "???");
    EXPECT_STREQ(engine.build_str_err(1), "cannot open file:");
    EXPECT_STREQ(engine.build_str_err(3), "cannot write file: ");
    EXPECT_STREQ(engine.build_str_err(5), "access denied or invalid directory: ");
    EXPECT_STREQ(engine.build_str_err(14), "file -> access denied");
    EXPECT_STREQ(engine.build_str_err(15), "undefined error");
    EXPECT_STREQ(engine.build_str_err(20), "undefined error");
    EXPECT_STREQ(engine.build_str_err(~u64{0}), "undefined error");
}

TEST(ErrorTexts, FatalTextNamesTheFailingFileAndStaysWithin255Characters) {
    Engine engine;
    engine.fatal_err_index = 7;
    engine.record_failure("/r/TW_target/TW_target_003");
    EXPECT_STREQ(engine.build_fatal_str_err(), "cannot delete file");

    engine.fatal_err_index = 99;
    EXPECT_STREQ(engine.build_fatal_str_err(), "undefined error");
    EXPECT_EQ(engine.fatal_err_index, 15u);

    engine.fatal_err_index = 1;
    engine.record_failure("/r/TW_found/TW_found_header");
    EXPECT_STREQ(engine.build_fatal_str_err(), "cannot open file: /r/TW_found/TW_found_header");
    engine.fatal_err_index = 3;
    EXPECT_STREQ(engine.build_fatal_str_err(), "cannot write file: /r/TW_found/TW_found_header");

    engine.record_failure("/" + std::string(400, 'p'));
    engine.fatal_err_index = 6;
    const std::string text = engine.build_fatal_str_err();
    EXPECT_EQ(text.size(), 255u);
    EXPECT_EQ(text.rfind("cannot open directory: /ppp", 0), 0u);
    EXPECT_EQ(engine.fatal_err_str[255], '\0');
}

TEST_F(EngineTest, StartUpWithoutSettingsFilesKeepsTheDefaults) {
    EXPECT_EQ(engine->pr.str_mem_size, 1600u);
    EXPECT_EQ(engine->pr.text_mem_size, 1280000u);
    EXPECT_EQ(engine->pr.occ_mem_size, 16000u);
    EXPECT_EQ(engine->pr.show_info_every, 15000u);
    EXPECT_EQ(engine->pr.user_defined_encoding, 0u);
    EXPECT_EQ(engine->pr.saved_target_index, -1);
    EXPECT_EQ(engine->pr.return_key_is_search, 0);
    EXPECT_EQ(engine->cur_target_index, -1);
    EXPECT_EQ(engine->sir.show_file_name, 0);
    EXPECT_EQ(engine->tr.eol_char, 10u);
    EXPECT_EQ(engine->tr.wildcard_char, 63u);
    EXPECT_EQ(engine->tr.use_wildcard, 1u);
    EXPECT_EQ(engine->tr.add_line_nb, 1u);
    EXPECT_EQ(engine->tr.case_insensitive, 1u);
    EXPECT_EQ(engine->tr.skip_error, 1u);
    EXPECT_EQ(engine->tr.not_inside, 1u);
    EXPECT_EQ(engine->tr.is_hexa, 0u);
    EXPECT_EQ(engine->tr.encoding, 1u);
    EXPECT_EQ(engine->tr.item_nb, 0u);
    EXPECT_EQ(engine->br.launcher_list_len, 0u);
}

TEST_F(EngineTest, ShutDownSavesTheCurrentTargetIndexAndBothSettingsFiles) {
    engine->cur_target_index = 4;
    ASSERT_EQ(engine->append_to_launcher("/usr/bin/less"), 0u);
    engine->finalize_and_save_tw_parameter();
    EXPECT_EQ(engine->br.str_buf, nullptr);
    EXPECT_EQ(read_file(dir / "TW_preference").size(), 62u);
    EXPECT_EQ(read_file(dir / "TW_launcher").size(), 14u);

    Engine next;
    next.resource_dir_pathname_ptr = dir.path();
    ASSERT_EQ(next.initialize_and_load_tw_parameter(), 0u);
    EXPECT_EQ(next.cur_target_index, 4);
    EXPECT_EQ(next.br.launcher_list_len, 14u);
    EXPECT_STREQ(next.br.launcher_list, "/usr/bin/less");
}
