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

// The folder /Users/a/docs and the file /Users/a/x.txt, named Notes,
// searching for abc, every option at its default.
Bytes notes_target_bytes() {
    Bytes b;
    for (u64 v : {10, 63, 1, 1, 1, 1, 1, 0, 1}) append_le64(b, v);
    for (u64 v : {u64{2}, u64{6}, u64{3}}) append_le64(b, v);  // items, name size, string length
    for (u64 v : {~u64{0}, u64{14}, u64{0}, u64{0}, u64{15}, u64{14}}) append_le64(b, v);
    append_text(b, "Notes", true);
    append_text(b, "abc", false);
    append_text(b, "/Users/a/docs", true);
    append_text(b, "/Users/a/x.txt", true);
    return b;
}

class TargetStoreTest : public EngineTest {
protected:
    void fill(TargetRecord& t, const std::string& name, const std::string& str,
              const std::vector<TargetItem>& items) {
        engine->init_target(t);
        engine->set_target_name(t, name);
        engine->set_target_search_str(t, reinterpret_cast<const std::uint8_t*>(str.data()), str.size());
        engine->set_target_items(t, items);
    }
    void save_named(u64 number, const std::string& name) {
        TargetRecord t{};
        fill(t, name, "needle", {{0, "/tmp/x"}});
        ASSERT_EQ(engine->save_target_file(number, t), 0u);
        engine->clear_target_buffer(t);
    }
    u64 load(u64 number) {
        TargetRecord t{};
        engine->init_target(t);
        const u64 code = engine->load_target_file(number, t);
        engine->clear_target_buffer(t);
        return code;
    }
    std::vector<std::string> list_names() {
        EXPECT_EQ(engine->build_target_list(), 0u);
        std::vector<std::string> names;
        for (u64 pos = 0; pos < engine->br.target_list_len; pos += names.back().size() + 1)
            names.emplace_back(engine->br.target_list + pos);
        EXPECT_EQ(engine->nb_of_target_from_target_list(), names.size());
        return names;
    }
};

}  // namespace

TEST_F(TargetStoreTest, SavedFileMatchesTheByteLayoutAndLoadsBack) {
    TargetRecord t{};
    fill(t, "Notes", "abc", {{~u64{0}, "/Users/a/docs"}, {0, "/Users/a/x.txt"}});
    ASSERT_EQ(engine->save_target_file(0, t), 0u);
    engine->clear_target_buffer(t);
    EXPECT_EQ(read_file(target_path(0)), notes_target_bytes());
    ASSERT_EQ(engine->make_target_current(0), 0u);
    EXPECT_EQ(engine->cur_target_index, 0);
    EXPECT_STREQ(engine->sir.target_text, "Notes");
    const auto items = engine->target_items(engine->tr);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].item_type, ~u64{0});
    EXPECT_EQ(items[1].path, "/Users/a/x.txt");
    EXPECT_EQ(std::memcmp(engine->tr.search_str, "abc\0", 4), 0);
    EXPECT_EQ(engine->make_target_current(4), ERR_OPEN_FILE);
    EXPECT_EQ(engine->cur_target_index, -1);
}

TEST_F(TargetStoreTest, FileNamesCarryAtLeastThreeDigits) {
    EXPECT_EQ(target_file_name(0), "TW_target_000");
    EXPECT_EQ(target_file_name(1234), "TW_target_1234");
    u64 n = 99;
    EXPECT_EQ(target_posfix_index_from_filename("TW_target_123456789", &n), 0u);
    EXPECT_EQ(n, 123456789u);
    for (const char* bad : {"TW_target_", "TW_target_12x", "TW_target_0123456789", "TW_targe_001",
                            "tw_target_001", "TW_target_-01", "TW_target_ 01"})
        EXPECT_EQ(target_posfix_index_from_filename(bad, &n), ERR_BAD_INDEX) << bad;
}

TEST_F(TargetStoreTest, ListStopsAtTheFirstGapPassesOverFoldersAndGrows) {
    EXPECT_EQ(engine->nb_of_target_from_target_list(), 0u);
    save_named(0, "zero");
    save_named(2, "two");
    EXPECT_EQ(list_names(), std::vector<std::string>{"zero"});
    ::mkdir(target_path(1).c_str(), 0755);
    EXPECT_EQ(list_names(), (std::vector<std::string>{"zero", "two"}));
    ::rmdir(target_path(1).c_str());
    for (u64 k = 0; k < 30; ++k) save_named(k, std::string(60, static_cast<char>('a' + k % 26)));
    EXPECT_EQ(list_names().size(), 30u);
    EXPECT_EQ(engine->br.target_list_len, 30u * 61u);
}

TEST_F(TargetStoreTest, DeletingATargetRenumbersEveryFollowingOneInOrder) {
    std::vector<std::string> names;
    for (u64 k = 0; k < 12; ++k) {
        names.push_back("target " + std::to_string(k));
        save_named(k, names.back());
    }
    write_file(dir / "TW_target/TW_target_12x", "not a target's name");
    ASSERT_EQ(engine->delete_target_file(1), 0u);
    ASSERT_EQ(engine->decrease_target_files_postfix_index_from(1), 0u);
    names.erase(names.begin() + 1);
    EXPECT_EQ(list_names(), names);
    EXPECT_FALSE(std::filesystem::exists(target_path(11)));
    EXPECT_TRUE(std::filesystem::exists(dir / "TW_target/TW_target_12x"));
    EXPECT_EQ(engine->delete_target_file(70), ERR_DELETE_FILE);
    // Target 0 was not deleted: moving 1 onto it would lose it.
    EXPECT_EQ(engine->decrease_target_files_postfix_index_from(1), ERR_ACCESS_DENIED);
    EXPECT_EQ(list_names(), names);
}

TEST_F(TargetStoreTest, EveryTruncationOfAValidFileIsRefused) {
    const Bytes whole = notes_target_bytes();
    for (std::size_t n = 0; n < whole.size(); ++n) {
        write_file(target_path(0), Bytes(whole.begin(), whole.begin() + static_cast<long>(n)));
        EXPECT_EQ(load(0), n < 96 ? ERR_READ_FILE : ERR_CORRUPTED) << n << " bytes";
        // The list reads only the header and the name.
        EXPECT_EQ(list_names().size(), 1u);
        EXPECT_EQ(engine->damaged_targets.size(), n < 96 + 48 + 6 ? 1u : 0u) << n << " bytes";
    }
}

TEST_F(TargetStoreTest, InconsistentFilesAreRefusedWithoutAllocating) {
    struct Case {
        const char* what;
        std::size_t offset;  // of the word overwritten, or of the byte for a missing NUL
        u64 value;
        bool byte;
    } cases[] = {
        {"2^60 items", 72, u64{1} << 60, false},
        {"huge name", 80, u64{1} << 62, false},
        {"huge string", 88, ~u64{0} - 5, false},
        {"path beyond the pool", 96 + 8, 1000, false},
        {"path with a gap", 96 + 24 + 16, 15, false},
        {"zero-length path", 96 + 24 + 8, 0, false},
        {"name without NUL", 96 + 48 + 5, 'x', true},
        {"path without NUL", 181, 'x', true},
    };
    for (const Case& c : cases) {
        Bytes b = notes_target_bytes();
        for (int i = 0; i < (c.byte ? 1 : 8); ++i) b[c.offset + i] = static_cast<std::uint8_t>(c.value >> (8 * i));
        write_file(target_path(0), b);
        EXPECT_EQ(load(0), ERR_CORRUPTED) << c.what;
    }
    // Between two good targets, a damaged one keeps its number's place in
    // the list under its file name, and is named among the damaged.
    save_named(0, "first");
    Bytes no_name_nul = notes_target_bytes();
    no_name_nul[96 + 48 + 5] = 'x';
    write_file(target_path(1), no_name_nul);
    save_named(2, "third");
    EXPECT_EQ(list_names(), (std::vector<std::string>{"first", "TW_target_001 (damaged)", "third"}));
    EXPECT_EQ(engine->damaged_targets, std::vector<std::string>{target_path(1)});
}

TEST_F(TargetStoreTest, AFailedSaveLeavesTheOldFileWhole) {
    save_named(0, "kept");
    const Bytes before = read_file(target_path(0));
    // An unprivileged user cannot create the temporary file in root's folder.
    const int code = run_as_nobody([&] {
        TargetRecord t{};
        fill(t, "replacement", "zzz", {});
        return static_cast<int>(engine->save_target_file(0, t));
    });
    EXPECT_EQ(code, static_cast<int>(ERR_OPEN_FILE));
    EXPECT_EQ(read_file(target_path(0)), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "TW_target"),
                            std::filesystem::directory_iterator()),
              1);
}

