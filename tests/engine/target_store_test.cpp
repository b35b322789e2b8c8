// Target files byte for byte, the target list, deletion and renumbering,
// and target files that cannot be trusted.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "engine/tw.h"
#include "engine_fixture.h"

using namespace tw;
using namespace tw_test;

namespace {

// The example target: the folder /Users/a/docs and the file /Users/a/x.txt,
// named Notes, searching for abc, with every option at its default.
Bytes notes_target_bytes() {
    Bytes b;
    for (u64 v : {10, 63, 1, 1, 1, 1, 1, 0, 1}) append_le64(b, v);
    append_le64(b, 2);   // item_nb
    append_le64(b, 6);   // name size
    append_le64(b, 3);   // search_str_len
    append_le64(b, ~u64{0});
    append_le64(b, 14);
    append_le64(b, 0);
    append_le64(b, 0);
    append_le64(b, 15);
    append_le64(b, 14);
    append_text(b, "Notes", true);
    append_text(b, "abc", false);
    append_text(b, "/Users/a/docs", true);
    append_text(b, "/Users/a/x.txt", true);
    return b;
}

// Fills a record with copies of the given name, string and items.
void fill_target(Engine& e, TargetRecord& t, const std::string& name, const std::string& str,
                 const std::vector<std::pair<u64, std::string>>& items) {
    e.init_target(t);
    t.target_name = static_cast<char*>(std::malloc(name.size() + 1));
    std::memcpy(t.target_name, name.c_str(), name.size() + 1);
    t.search_str_len = str.size();
    t.search_str = static_cast<std::uint8_t*>(std::malloc(str.size() + 1));
    std::memcpy(t.search_str, str.data(), str.size());
    t.search_str[str.size()] = 0;
    std::string pool;
    t.item_nb = items.size();
    t.items = static_cast<ItemRecord*>(std::malloc(sizeof(ItemRecord) * (items.size() + 1)));
    for (std::size_t i = 0; i < items.size(); ++i) {
        t.items[i] = {items[i].first, items[i].second.size() + 1, pool.size()};
        pool += items[i].second;
        pool.push_back('\0');
    }
    t.path_pool = static_cast<char*>(std::malloc(pool.size() + 1));
    std::memcpy(t.path_pool, pool.data(), pool.size());
}

class TargetStoreTest : public EngineTest {
protected:
    void save_named(u64 number, const std::string& name) {
        TargetRecord t{};
        fill_target(*engine, t, name, "needle", {{0, "/tmp/x"}});
        ASSERT_EQ(engine->save_target_file(number, t), 0u);
        engine->clear_target_buffer(t);
    }
    std::vector<std::string> list_names() const {
        std::vector<std::string> names;
        const char* p = engine->br.target_list;
        const char* end = p + engine->br.target_list_len;
        while (p < end) {
            names.emplace_back(p);
            p += names.back().size() + 1;
        }
        return names;
    }
};

}  // namespace

TEST_F(TargetStoreTest, SavedFileMatchesTheByteLayout) {
    TargetRecord t{};
    fill_target(*engine, t, "Notes", "abc", {{~u64{0}, "/Users/a/docs"}, {0, "/Users/a/x.txt"}});
    ASSERT_EQ(engine->save_target_file(0, t), 0u);
    engine->clear_target_buffer(t);
    const Bytes saved = read_file(target_path(0));
    EXPECT_EQ(saved.size(), 182u);
    EXPECT_EQ(saved, notes_target_bytes());
}

TEST_F(TargetStoreTest, LoadReadsEveryFieldAndTerminatesTheString) {
    write_file(target_path(0), notes_target_bytes());
    TargetRecord t{};
    engine->init_target(t);
    ASSERT_EQ(engine->load_target_file(0, t), 0u);
    EXPECT_EQ(t.eol_char, 10u);
    EXPECT_EQ(t.encoding, 1u);
    EXPECT_EQ(t.item_nb, 2u);
    EXPECT_EQ(t.items[0].item_type, ~u64{0});
    EXPECT_EQ(t.items[1].path_size, 15u);
    EXPECT_EQ(t.items[1].path_offset, 14u);
    EXPECT_STREQ(t.path_pool + t.items[1].path_offset, "/Users/a/x.txt");
    EXPECT_STREQ(t.target_name, "Notes");
    EXPECT_EQ(t.search_str_len, 3u);
    EXPECT_EQ(std::memcmp(t.search_str, "abc\0", 4), 0);
    engine->clear_target_buffer(t);
    EXPECT_EQ(t.items, nullptr);
    EXPECT_EQ(t.item_nb, 0u);
    EXPECT_EQ(t.search_str_len, 0u);
}

TEST_F(TargetStoreTest, RoundTripKeepsEverySavedField) {
    TargetRecord t{};
    const std::string binary("\x00\xff?a\r\n", 6);
    fill_target(*engine, t, "Caf\xc3\xa9 \xe2\x82\xac", binary,
                {{0, "/a"}, {~u64{0}, "/b/c d"}, {0, "/e/\xc3\xa9t\xc3\xa9"}});
    t.eol_char = 13;
    t.wildcard_char = '*';
    t.use_wildcard = 0;
    t.add_line_nb = 0;
    t.case_insensitive = 0;
    t.skip_error = 0;
    t.not_inside = 0;
    t.is_hexa = 1;
    t.encoding = 0x80000A02;
    ASSERT_EQ(engine->save_target_file(41, t), 0u);
    EXPECT_TRUE(std::filesystem::exists(dir / "TW_target/TW_target_041"));

    TargetRecord back{};
    ASSERT_EQ(engine->load_target_file(41, back), 0u);
    const u64 a[] = {t.eol_char, t.wildcard_char, t.use_wildcard, t.add_line_nb, t.case_insensitive,
                     t.skip_error, t.not_inside, t.is_hexa, t.encoding, t.search_str_len, t.item_nb};
    const u64 b[] = {back.eol_char, back.wildcard_char, back.use_wildcard, back.add_line_nb,
                     back.case_insensitive, back.skip_error, back.not_inside, back.is_hexa,
                     back.encoding, back.search_str_len, back.item_nb};
    for (int i = 0; i < 11; ++i) EXPECT_EQ(a[i], b[i]) << "field " << i;
    EXPECT_EQ(std::memcmp(back.search_str, binary.data(), binary.size() + 1), 0);
    EXPECT_STREQ(back.target_name, t.target_name);
    EXPECT_EQ(std::memcmp(back.items, t.items, 3 * sizeof(ItemRecord)), 0);
    const u64 pool_size = t.items[0].path_size + t.items[1].path_size + t.items[2].path_size;
    EXPECT_EQ(pool_size, 3u + 7u + 9u);
    EXPECT_EQ(std::memcmp(back.path_pool, t.path_pool, pool_size), 0);
    engine->clear_target_buffer(t);
    engine->clear_target_buffer(back);
}

TEST_F(TargetStoreTest, FileNamesCarryAtLeastThreeDigits) {
    EXPECT_EQ(target_file_name(0), "TW_target_000");
    EXPECT_EQ(target_file_name(42), "TW_target_042");
    EXPECT_EQ(target_file_name(1234), "TW_target_1234");
    u64 n = 99;
    EXPECT_EQ(target_posfix_index_from_filename("TW_target_007", &n), 0u);
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(target_posfix_index_from_filename("TW_target_123456789", &n), 0u);
    EXPECT_EQ(n, 123456789u);
    for (const char* bad : {"TW_target_", "TW_target_12x", "TW_target_0123456789", "TW_targe_001",
                            "tw_target_001", "TW_target_-01", "TW_target_ 01"})
        EXPECT_EQ(target_posfix_index_from_filename(bad, &n), ERR_BAD_INDEX) << bad;
}

TEST_F(TargetStoreTest, ListStopsAtTheFirstGapAndPassesOverNonFiles) {
    EXPECT_EQ(engine->nb_of_target_from_target_list(), 0u);
    save_named(0, "zero");
    save_named(2, "two");
    ASSERT_EQ(engine->build_target_list(), 0u);
    EXPECT_EQ(list_names(), std::vector<std::string>{"zero"});
    EXPECT_EQ(engine->nb_of_target_from_target_list(), 1u);

    // A folder with a target's name is passed over, and the scan goes on.
    ::mkdir(target_path(1).c_str(), 0755);
    ASSERT_EQ(engine->build_target_list(), 0u);
    EXPECT_EQ(list_names(), (std::vector<std::string>{"zero", "two"}));
    EXPECT_EQ(engine->nb_of_target_from_target_list(), 2u);
}

TEST_F(TargetStoreTest, ListGrowsPastItsFirstCapacity) {
    for (u64 k = 0; k < 30; ++k) save_named(k, std::string(60, static_cast<char>('a' + k % 26)));
    ASSERT_EQ(engine->build_target_list(), 0u);
    EXPECT_EQ(engine->nb_of_target_from_target_list(), 30u);
    EXPECT_EQ(engine->br.target_list_len, 30u * 61u);
    EXPECT_EQ(list_names()[29], std::string(60, 'd'));
}

TEST_F(TargetStoreTest, DeletingATargetRenumbersTheFollowingOnes) {
    save_named(0, "first");
    save_named(1, "second");
    save_named(2, "third");
    write_file(dir / "TW_target/TW_target_12x", "x");
    write_file(dir / "TW_target/TW_target_", "x");
    write_file(dir / "TW_target/TW_target_0123456789", "x");
    ASSERT_EQ(engine->delete_target_file(1), 0u);
    ASSERT_EQ(engine->decrease_target_files_postfix_index_from(1), 0u);
    ASSERT_EQ(engine->build_target_list(), 0u);
    EXPECT_EQ(list_names(), (std::vector<std::string>{"first", "third"}));
    EXPECT_FALSE(std::filesystem::exists(target_path(2)));
    for (const char* kept : {"TW_target_12x", "TW_target_", "TW_target_0123456789"})
        EXPECT_TRUE(std::filesystem::exists(dir / (std::string("TW_target/") + kept))) << kept;

    EXPECT_EQ(engine->delete_target_file(7), ERR_DELETE_FILE);
}

TEST_F(TargetStoreTest, RenumberingNeverReplacesAnExistingTarget) {
    save_named(0, "first");
    save_named(1, "second");
    // Target 1 was not deleted: moving it onto 0 would lose "first".
    EXPECT_EQ(engine->decrease_target_files_postfix_index_from(1), ERR_ACCESS_DENIED);
    ASSERT_EQ(engine->build_target_list(), 0u);
    EXPECT_EQ(list_names(), (std::vector<std::string>{"first", "second"}));
}

TEST_F(TargetStoreTest, MissingTargetFolderGivesCode5) {
    std::filesystem::remove_all(dir / "TW_target");
    TargetRecord t{};
    engine->init_target(t);
    EXPECT_EQ(engine->load_target_file(0, t), ERR_ACCESS_DIR);
    EXPECT_EQ(engine->save_target_file(0, t), ERR_ACCESS_DIR);
    EXPECT_EQ(engine->build_target_list(), ERR_ACCESS_DIR);
    EXPECT_EQ(engine->delete_target_file(0), ERR_ACCESS_DIR);
    EXPECT_EQ(engine->decrease_target_files_postfix_index_from(0), ERR_OPEN_DIR);
    EXPECT_EQ(engine->make_target_current(0), ERR_ACCESS_DIR);
    EXPECT_EQ(engine->cur_target_index, -1);
}

TEST_F(TargetStoreTest, MakeTargetCurrentLoadsIntoTrAndResetsTheProgressTexts) {
    write_file(target_path(3), notes_target_bytes());
    ASSERT_EQ(engine->make_target_current(3), 0u);
    EXPECT_EQ(engine->cur_target_index, 3);
    EXPECT_STREQ(engine->tr.target_name, "Notes");
    EXPECT_STREQ(engine->sir.target_text, "Notes");
    EXPECT_EQ(engine->sir.target_changed, 1);

    EXPECT_EQ(engine->make_target_current(4), ERR_OPEN_FILE);
    EXPECT_EQ(engine->cur_target_index, -1);
}

TEST_F(TargetStoreTest, EveryTruncationOfAValidFileIsRefused) {
    const Bytes whole = notes_target_bytes();
    for (std::size_t n = 0; n < whole.size(); ++n) {
        write_file(target_path(0), Bytes(whole.begin(), whole.begin() + static_cast<long>(n)));
        TargetRecord t{};
        engine->init_target(t);
        const u64 code = engine->load_target_file(0, t);
        engine->clear_target_buffer(t);
        EXPECT_TRUE(code == ERR_READ_FILE || code == ERR_CORRUPTED) << n << " bytes: " << code;
        EXPECT_EQ(code, n < 96 ? ERR_READ_FILE : ERR_CORRUPTED) << n << " bytes";
        // The list reads only the header and the name; a damaged file is
        // named and listed under a placeholder.
        if (n < 96 + 48 + 6) {
            EXPECT_EQ(engine->build_target_list(), 0u) << n << " bytes";
            EXPECT_EQ(engine->damaged_targets, std::vector<std::string>{target_path(0)}) << n;
            EXPECT_EQ(engine->nb_of_target_from_target_list(), 1u) << n;
        }
    }
}

TEST_F(TargetStoreTest, InconsistentHeadersAreRefusedWithoutAllocating) {
    struct Case {
        const char* what;
        std::size_t offset;  // byte offset of the word to overwrite
        u64 value;
    } cases[] = {
        {"2^60 items", 72, u64{1} << 60},
        {"all bits set items", 72, ~u64{0}},
        {"huge name", 80, u64{1} << 62},
        {"empty name size", 80, 0},
        {"huge string", 88, ~u64{0} - 5},
        {"path beyond the pool", 96 + 8, 1000},
        {"path with a gap", 96 + 24 + 16, 15},
        {"zero-length path", 96 + 24 + 8, 0},
    };
    for (const Case& c : cases) {
        Bytes b = notes_target_bytes();
        for (int i = 0; i < 8; ++i) b[c.offset + i] = static_cast<std::uint8_t>(c.value >> (8 * i));
        write_file(target_path(0), b);
        TargetRecord t{};
        engine->init_target(t);
        EXPECT_EQ(engine->load_target_file(0, t), ERR_CORRUPTED) << c.what;
        engine->clear_target_buffer(t);
    }
}

TEST_F(TargetStoreTest, MissingTerminatorsAreRefused) {
    Bytes no_name_nul = notes_target_bytes();
    no_name_nul[96 + 48 + 5] = 'x';
    Bytes no_path_nul = notes_target_bytes();
    no_path_nul.back() = 'x';
    for (const Bytes& b : {no_name_nul, no_path_nul}) {
        write_file(target_path(0), b);
        TargetRecord t{};
        engine->init_target(t);
        EXPECT_EQ(engine->load_target_file(0, t), ERR_CORRUPTED);
        engine->clear_target_buffer(t);
    }
    write_file(target_path(0), no_name_nul);
    EXPECT_EQ(engine->build_target_list(), 0u);
    EXPECT_EQ(engine->damaged_targets, std::vector<std::string>{target_path(0)});
}

TEST_F(TargetStoreTest, AFailedSaveLeavesTheOldFileWhole) {
    save_named(0, "kept");
    const Bytes before = read_file(target_path(0));
    // The target folder belongs to root: an unprivileged user cannot create
    // the temporary file, so the save fails before touching the old file.
    const int code = run_as_nobody([&] {
        TargetRecord t{};
        fill_target(*engine, t, "replacement", "zzz", {});
        return static_cast<int>(engine->save_target_file(0, t));
    });
    EXPECT_EQ(code, static_cast<int>(ERR_OPEN_FILE));
    EXPECT_EQ(read_file(target_path(0)), before);
    std::vector<std::string> leftovers;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "TW_target"))
        leftovers.push_back(entry.path().filename());
    EXPECT_EQ(leftovers, std::vector<std::string>{"TW_target_000"});
}

TEST(GetType, ClassifiesByFollowingLinks) {
    TempDir d;
    write_file(d / "file", "x");
    ::mkdir((d / "folder").c_str(), 0755);
    ::symlink((d / "file").c_str(), (d / "link_to_file").c_str());
    ::symlink((d / "folder").c_str(), (d / "link_to_folder").c_str());
    ::symlink((d / "nowhere").c_str(), (d / "dangling").c_str());
    ::mkfifo((d / "fifo").c_str(), 0644);
    EXPECT_EQ(get_type((d / "file").c_str()), TW_TYPE_FILE);
    EXPECT_EQ(get_type((d / "folder").c_str()), TW_TYPE_FOLDER);
    EXPECT_EQ(get_type((d / "link_to_file").c_str()), TW_TYPE_FILE);
    EXPECT_EQ(get_type((d / "link_to_folder").c_str()), TW_TYPE_FOLDER);
    EXPECT_EQ(get_type((d / "dangling").c_str()), TW_TYPE_OTHER);
    EXPECT_EQ(get_type((d / "fifo").c_str()), TW_TYPE_OTHER);
    EXPECT_EQ(get_type("/dev/null"), TW_TYPE_OTHER);
}
