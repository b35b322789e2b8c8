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
    // Saves a target with the items and string of the Notes target.
    void save_named(u64 number, const std::string& name, std::vector<TargetForm> forms = {}) {
        TargetRecord t{};
        fill(t, name, "abc", {{~u64{0}, "/Users/a/docs"}, {0, "/Users/a/x.txt"}});
        t.forms = std::move(forms);
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
    save_named(0, "Notes");
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


namespace {

std::vector<TargetForm> two_forms() {
    return {{false, false, 10, "Secret", std::string("S\0e\0c\0r\0e\0t\0", 12)},
            {true, true, 10, "0A ?? 0B", "\x0a?\x0b"}};
}

// The forms file of two_forms(), byte for byte.
Bytes two_forms_bytes() {
    Bytes b;
    append_text(b, "TWFORM", true);
    b.push_back(1);
    for (std::uint8_t v : {2, 0, 0, 0}) b.push_back(v);
    for (std::uint8_t v : {0, 0, 0, 0, 10, 0, 0, 0, 6, 0, 0, 0, 12, 0, 0, 0}) b.push_back(v);
    append_text(b, "Secret", false);
    for (char c : std::string("S\0e\0c\0r\0e\0t\0", 12)) b.push_back(static_cast<std::uint8_t>(c));
    for (std::uint8_t v : {1, 1, 0, 0, 10, 0, 0, 0, 8, 0, 0, 0, 3, 0, 0, 0}) b.push_back(v);
    append_text(b, "0A ?? 0B\x0a?\x0b", false);
    return b;
}

}  // namespace

TEST_F(TargetStoreTest, FormsFileFollowsItsTargetThroughSaveRenumberAndDelete) {
    const auto forms_path = [&](u64 k) { return dir / ("TW_target/" + target_forms_file_name(k)); };
    save_named(0, "Notes", two_forms());
    EXPECT_EQ(read_file(target_path(0)), notes_target_bytes());
    EXPECT_EQ(read_file(forms_path(0)), two_forms_bytes());
    ASSERT_EQ(engine->make_target_current(0), 0u);
    ASSERT_EQ(engine->tr.forms.size(), 2u);
    EXPECT_EQ(engine->tr.forms[1].bytes, "\x0a?\x0b");
    EXPECT_TRUE(engine->tr.forms[1].hexadecimal && engine->tr.forms[1].big_endian);
    // Saved again with one form, the target has no forms file.
    save_named(0, "Notes", {});
    EXPECT_EQ(read_file(target_path(0)), notes_target_bytes());
    EXPECT_FALSE(std::filesystem::exists(forms_path(0)));

    // 0 with forms, 1 without, 2 with: deleting 0 moves each file down
    // with its own forms, and deleting a target deletes its forms.
    save_named(0, "zero", two_forms());
    save_named(1, "one", {});
    save_named(2, "two", {two_forms()[1]});
    ASSERT_EQ(engine->delete_target_file(0), 0u);
    EXPECT_FALSE(std::filesystem::exists(forms_path(0)));
    write_file(forms_path(0), two_forms_bytes());  // left by a build without forms files
    ASSERT_EQ(engine->decrease_target_files_postfix_index_from(1), 0u);
    EXPECT_EQ(list_names(), (std::vector<std::string>{"one", "two"}));
    ASSERT_EQ(engine->make_target_current(0), 0u);
    EXPECT_TRUE(engine->tr.forms.empty());
    ASSERT_EQ(engine->make_target_current(1), 0u);
    ASSERT_EQ(engine->tr.forms.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(forms_path(2)));
    ASSERT_EQ(engine->delete_target_file(1), 0u);
    EXPECT_FALSE(std::filesystem::exists(forms_path(1)));
}

TEST_F(TargetStoreTest, DamagedFormsFileIsNamedAndTheTargetLoadsWithItsStringAlone) {
    const std::string path = dir / ("TW_target/" + target_forms_file_name(0));
    write_file(target_path(0), notes_target_bytes());
    const Bytes good = two_forms_bytes();
    std::vector<std::pair<std::string, Bytes>> cases;
    for (std::size_t n : {0, 7, 11, 12, 27, 40, 70}) cases.push_back({"cut", Bytes(good.begin(), good.begin() + n)});
    const auto changed = [&](const char* what, std::size_t at, std::uint8_t v) {
        Bytes b = good;
        b[at] = v;
        cases.push_back({what, b});
    };
    changed("magic", 0, 'X');
    changed("version 2", 7, 2);
    changed("no form", 8, 0);
    changed("64 forms", 8, 64);
    changed("kind 2", 12, 2);
    changed("flags", 13, 4);
    changed("reserved", 14, 1);
    changed("no bytes", 24, 0);
    changed("text too long", 22, 0x7f);
    Bytes trailing = good;
    trailing.push_back(0);
    cases.push_back({"a byte after the last form", trailing});
    for (const auto& [what, bytes] : cases) {
        write_file(path, bytes);
        ASSERT_EQ(engine->make_target_current(0), 0u) << what;
        EXPECT_TRUE(engine->tr.forms.empty()) << what;
        EXPECT_EQ(engine->damaged_forms_file, path) << what;
        EXPECT_EQ(std::memcmp(engine->tr.search_str, "abc", 3), 0) << what;
    }
    write_file(path, good);
    ASSERT_EQ(engine->make_target_current(0), 0u);
    EXPECT_EQ(engine->tr.forms.size(), 2u);
    EXPECT_TRUE(engine->damaged_forms_file.empty());
}
