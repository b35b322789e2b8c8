// Searches of several forms against a plain reference loop: every
// occurrence of every form, overlapping ones included, with its form's
// index and its line count, on one thread or three, read or mapped, with
// forms straddling the text buffers' edges; files read as streams; the
// companion result file and its reader.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <tuple>

#include "encoding/string_encoding.h"
#include "engine/tw_found_forms.h"
#include "engine/tw_found_list.h"
#include "engine/tw_le.h"
#include "engine/tw_result_info.h"
#include "engine/tw_scan.h"
#include "engine_fixture.h"

using namespace tw;
using namespace tw_test;

namespace {

constexpr u64 kText = u64{64} << 10;

struct Occ {
    u64 offset, line;
    unsigned form;
    bool operator==(const Occ&) const = default;
};

void PrintTo(const Occ& o, std::ostream* os) { *os << o.offset << ":" << o.line << ":" << o.form; }

struct FormsCase {
    const char* name;
    std::vector<std::string> forms;  // the first is the target's string
    bool lines;
    u64 eol;
    bool fold;  // case-insensitive, every letter of every form folding
    bool wild;  // '?' is a wildcard in every form
};

void PrintTo(const FormsCase& c, std::ostream* os) { *os << c.name; }

bool letter(std::uint8_t b) { return (b | 0x20) >= 'a' && (b | 0x20) <= 'z'; }

// Every occurrence, in offset order and then form order.
std::vector<Occ> reference(const std::string& text, const FormsCase& c) {
    std::vector<Occ> out;
    u64 line = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (c.lines && static_cast<std::uint8_t>(text[at]) == c.eol) ++line;
        for (unsigned f = 0; f < c.forms.size(); ++f) {
            const std::string& p = c.forms[f];
            if (at + p.size() > text.size()) continue;
            bool ok = true;
            for (std::size_t j = 0; j < p.size() && ok; ++j) {
                auto a = static_cast<std::uint8_t>(text[at + j]), b = static_cast<std::uint8_t>(p[j]);
                if (c.wild && b == '?') continue;
                if (c.fold && letter(b)) a |= 0x20, b |= 0x20;
                ok = a == b;
            }
            if (ok) out.push_back({at, c.lines ? line : 0, f});
        }
    }
    return out;
}

// Text of the forms' bytes and line ends, forms planted at random and
// across the start of every text buffer of the longest form's stride.
std::string content(std::mt19937& rng, std::size_t size, const FormsCase& c) {
    std::string alphabet = "\n\r";
    for (const std::string& f : c.forms) alphabet += f;
    std::string text(size, 'x');
    for (char& ch : text) ch = alphabet[rng() % alphabet.size()];
    std::size_t longest = 0;
    for (const std::string& f : c.forms) longest = std::max(longest, f.size());
    const auto plant = [&](std::size_t at) {
        const std::string& f = c.forms[rng() % c.forms.size()];
        if (at + f.size() <= size) text.replace(at, f.size(), f);
    };
    for (std::size_t i = 0; size > 0 && i < 4 + size / 64; ++i) plant(rng() % size);
    const std::size_t stride = kText - longest + 1;
    for (std::size_t edge = stride; edge < size; edge += stride)
        for (std::size_t back = 1; back < longest && back <= edge; back += 2) plant(edge - back);
    return text;
}

std::vector<std::uint8_t> all_letters_fold(const std::string& form) {
    std::vector<std::uint8_t> fold(form.size());
    for (std::size_t i = 0; i < form.size(); ++i)
        fold[i] = letter(static_cast<std::uint8_t>(form[i])) ? 0x20 : 0;
    return fold;
}

// The found files' occurrences with their forms, from the result files
// alone: TW_found_form holds one byte per record of TW_found_offset.
std::map<std::string, std::vector<Occ>> found_with_forms(const std::string& found_dir, bool lines) {
    EXPECT_EQ(read_file(found_dir + "/TW_found_form").size() * (lines ? 16 : 8),
              read_file(found_dir + "/TW_found_offset").size());
    std::map<std::string, std::vector<Occ>> out;
    for (const ResultRow& f : read_results(found_dir, lines))
        for (std::size_t i = 0; i < f.offsets.size(); ++i)
            out[f.path()].push_back({f.offsets[i], lines ? f.lines[i] : 0, f.forms.at(i)});
    return out;
}

class FormsSearchTest : public EngineTest, public ::testing::WithParamInterface<FormsCase> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        use_buffers(kText, 1024, true);
    }
    // The target searches the first form, more_forms the others.
    void set_forms(const FormsCase& c, const std::vector<Item>& items) {
        set_target(*engine, c.forms[0], items);
        engine->tr.add_line_nb = c.lines ? 1 : 0;
        engine->tr.eol_char = c.eol;
        engine->tr.case_insensitive = c.fold ? 1 : 0;
        engine->tr.use_wildcard = c.wild ? 1 : 0;
        engine->tr.wildcard_char = '?';
        engine->more_forms.clear();
        for (std::size_t i = 1; i < c.forms.size(); ++i) {
            MultiPattern p;
            p.bytes.assign(c.forms[i].begin(), c.forms[i].end());
            if (c.fold) p.fold = all_letters_fold(c.forms[i]);
            p.wildcard = c.wild;
            engine->more_forms.push_back(p);
        }
    }
};

TEST_P(FormsSearchTest, EveryOccurrenceOfEveryFormWithItsIndexAndLine) {
    const FormsCase& c = GetParam();
    std::mt19937 rng(static_cast<unsigned>(c.forms.size() * 97 + c.eol));
    std::size_t shortest = ~std::size_t{0}, longest = 0;
    for (const std::string& f : c.forms) shortest = std::min(shortest, f.size()), longest = std::max(longest, f.size());
    // Files shorter than the longest form, and around the buffers' edges.
    std::vector<std::size_t> sizes = {0, 1, shortest, longest - 1, longest, 300};
    for (std::size_t k : {1u, 2u, kInstrumentedBuild ? 3u : 5u})
        for (std::size_t d = 0; d < 4; ++d) sizes.push_back(k * (kText - longest + 1) + longest - 2 + d);
    std::map<std::string, std::vector<Occ>> want;
    u64 total = 0;
    make_dir("tree");
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::string text = content(rng, sizes[i], c);
        const std::string name = (i % 3 == 0 ? "big" : "tree/f") + std::to_string(i);
        make_file(name, text);
        if (auto occ = reference(text, c); !occ.empty()) total += occ.size(), want[at(name)] = occ;
    }
    std::vector<Item> items = {{at("tree"), true}};
    for (std::size_t i = 0; i < sizes.size(); i += 3) items.push_back({at("big" + std::to_string(i)), false});
    set_forms(c, items);
    for (u64 map_min : {~u64{0}, u64{0}})
        for (unsigned threads : {1u, 3u}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, mapped from " + std::to_string(map_min));
            engine->map_min_bytes = map_min;
            engine->thread_count = threads;
            search();
            EXPECT_EQ((std::vector<u64>{engine->fatal_err_index, engine->ir.found_nb, engine->result_info.form_nb}),
                      (std::vector<u64>{0, total, c.forms.size()}));
            EXPECT_EQ(found_with_forms(found(), c.lines), want);
        }

    // A file whose size reads 0 is read to its end as a stream, and so is
    // a pipe: the shortest forms at its very end are found.
    const std::string text = content(rng, 3 * kText + 7, c) + c.forms.back();
    make_file("stream", text);
    const std::vector<Occ> expected = reference(text, c);
    ASSERT_EQ(engine->set_search_param_from_target(), 0u);
    struct Records : OccurrenceOut {
        std::vector<Occ> got;
        bool lines = false;
        bool take(const std::uint8_t* r, std::size_t bytes) override {
            const std::size_t len = lines ? 24 : 16;
            for (std::size_t i = 0; i + len <= bytes; i += len)
                got.push_back({load_le64(r + i), lines ? load_le64(r + i + 8) : 0,
                               static_cast<unsigned>(load_le64(r + i + len - 8))});
            return true;
        }
    } out;
    out.lines = c.lines;
    std::atomic<std::uint8_t> stop{0};
    std::atomic<u64> bytes{0};
    const int fd = ::open(at("stream").c_str(), O_RDONLY);
    engine->sr.LINE_COUNT = 0;
    EXPECT_TRUE(scan_read(engine->sr, fd, 0, 0, ~u64{0}, out, stop, bytes).ended);
    ::close(fd);
    EXPECT_EQ(out.got, expected);

    ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0644), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        const int w = ::open(at("pipe").c_str(), O_WRONLY);
        const bool ok = w >= 0 && ::write(w, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(ok ? 0 : 1);
    }
    set_forms(c, {{at("pipe"), false}});
    engine->thread_count = 1;
    search();
    int status = 0;
    ::waitpid(writer, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(found_with_forms(found(), c.lines)[at("pipe")], expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, FormsSearchTest,
    ::testing::Values(
        FormsCase{"Utf8AndUtf16BothOrders", {"Secret", std::string("S\0e\0c\0r\0e\0t\0", 12),
                                              std::string("\0S\0e\0c\0r\0e\0t", 12)}, true, 10, false, false},
        FormsCase{"PrefixesOfEachOther", {"abab", "ab", "b", "aba"}, true, 13, false, false},
        FormsCase{"FoldedWithWildcards", {"Ab?C", "aB", "x?Y?z", "c"}, false, 10, true, true}),
    [](const ::testing::TestParamInfo<FormsCase>& info) { return std::string(info.param.name); });

// The one-form result has no companion file and no forms key; a result of
// several forms has both, and its companion is refused, named, when its
// length disagrees with the occurrences.
TEST_F(EngineTest, CompanionFormFileIsWrittenReadAndCheckedAgainstTheRecords) {
    make_file("f", "one Two one two");
    write_file(found() + "/TW_found_form", "stale");
    write_file(found() + "/TW_found_forms", "stale");
    set_target(*engine, "one", {{at("f"), false}});
    search();
    for (const char* name : {"/TW_found_form", "/TW_found_forms"}) EXPECT_FALSE(std::filesystem::exists(found() + name));
    const Bytes one_form = read_file(found() + "/TW_found_info");
    ResultInfo info;
    ASSERT_TRUE(decode_result_info(one_form.data(), one_form.size(), info));
    EXPECT_EQ(info.form_nb, 1u);
    EXPECT_EQ(one_form.size(), kResultInfoFixed + 3 + std::string("test target").size());

    MultiPattern two;
    two.bytes = {'t', 'w', 'o'};
    two.fold = all_letters_fold("two");
    engine->more_forms = {two};
    search();
    const Bytes several = read_file(found() + "/TW_found_info");
    ASSERT_TRUE(decode_result_info(several.data(), several.size(), info));
    EXPECT_EQ(info.form_nb, 2u);
    EXPECT_EQ(read_file(found() + "/TW_found_form"), (Bytes{0, 1, 0, 1}));
    // Forms given without names are left unnamed in their description.
    ASSERT_EQ(engine->open_found_file("r"), 0u);
    ASSERT_EQ(engine->close_found_file(), 0u);
    EXPECT_EQ(engine->result_info.forms,
              (std::vector<FoundForm>{{3, 1, false, "ASCII"}, {3, 1, false, ""}}));

    ResultReader reader;
    std::string why;
    ASSERT_EQ(reader.open(found(), &why), 0u);
    ASSERT_EQ(reader.open_forms(found(), 8, &why), 0u);
    FoundFileHeader h{};
    std::string d, n;
    ASSERT_EQ(reader.found_file(0, h, d, n), 0u);
    std::vector<std::uint8_t> forms;
    for (u64 i = 0; i < 4; ++i) {
        std::uint8_t form = 9;
        EXPECT_EQ(reader.occurrence_form(h, i, 8, &form), 0u);
        forms.push_back(form);
    }
    EXPECT_EQ(forms, (Bytes{0, 1, 0, 1}));
    // The found list counts each file's occurrences per form.
    FoundList list;
    ASSERT_EQ(list.load(found(), 8, &why, 2), 0u);
    ASSERT_NE(list.form_counts(0), nullptr);
    EXPECT_EQ(std::vector<std::uint32_t>(list.form_counts(0), list.form_counts(0) + 2),
              (std::vector<std::uint32_t>{2, 2}));
    std::uint8_t form = 0;
    EXPECT_EQ(reader.occurrence_form(h, 4, 8, &form), ERR_BAD_INDEX);

    // One byte short, one byte too many.
    for (const Bytes& damaged : {Bytes{0, 1, 0}, Bytes{0, 1, 0, 1, 1}}) {
        write_file(found() + "/TW_found_form", damaged);
        EXPECT_EQ(reader.open_forms(found(), 8, &why), ERR_CORRUPTED);
        EXPECT_NE(why.find("TW_found_form"), std::string::npos) << why;
        EXPECT_EQ(reader.occurrence_form(h, 0, 8, &form), ERR_READ_FILE);
        ASSERT_EQ(list.load(found(), 8, &why, 2), 0u);
        EXPECT_EQ(list.form_counts(0), nullptr);
    }
    write_file(found() + "/TW_found_form", Bytes{0, 2, 0, 1});  // a form beyond the count
    ASSERT_EQ(list.load(found(), 8, &why, 2), 0u);
    EXPECT_EQ(list.form_counts(0), nullptr);
    // A forms key with a count no search writes.
    Bytes bad = several;
    store_le64(bad.data() + bad.size() - 8, 65);
    EXPECT_FALSE(decode_result_info(bad.data(), bad.size(), info));
}

// A target's own forms are searched with its string, each folded in its
// encoding and byte order: a UTF-16 big-endian text, a hexadecimal one.
TEST_F(EngineTest, TargetFormsAreSearchedInTheSamePass) {
    make_file("f", std::string("sECRET \0S\0e\0C\0r\0e\0t\x01Z\x02", 22));
    set_target(*engine, "Secret", {{at("f"), false}});
    engine->tr.case_insensitive = 1;
    engine->tr.use_wildcard = 1;
    engine->tr.forms = {{false, true, 10, "Secret", std::string("\0S\0e\0c\0r\0e\0t", 12), true},
                        {true, false, 4, "01 ? 02", "\x01?\x02"}};
    search();
    EXPECT_EQ(engine->result_info.form_nb, 3u);
    EXPECT_EQ(read_file(found() + "/TW_found_form"), (Bytes{0, 1, 2}));
    // Each form described with its length, the encoding it reads in, its name.
    std::vector<FoundForm> described;
    std::string why;
    ASSERT_EQ(read_found_forms(found() + "/TW_found_forms", 3, described, &why), 0u) << why;
    const std::vector<FoundForm> expected{
        {6, 1, false, "ASCII"}, {12, utf16be_encoding(), false, "UTF-16BE"}, {3, 1, true, "hex 3"}};
    EXPECT_EQ(described, expected);
    EXPECT_EQ(encoding::to_text(std::string("\0S", 2), expected[1].encoding).value, u"S");

    // Damaged descriptions are refused, named; the result keeps numbering its forms.
    const std::string good = encode_found_forms(expected);
    const auto with = [&](std::size_t at, const std::string& bytes) {
        return good.substr(0, at) + bytes + good.substr(std::min(good.size(), at + bytes.size()));
    };
    const std::pair<std::string, const char*> damaged[] = {
        {"", "not a description"},
        {with(7, "\x02"), "not a description"},
        {with(8, std::string("\x02\0\0\0", 4)), "count"},
        {with(12, "\x01"), "count"},
        {with(16, std::string(4, '\0')), "length"},
        {with(16, std::string("\x01\0\x01\0", 4)), "length"},
        {with(24, "\x02"), "kind or name"},
        {with(25, "\x41"), "kind or name"},
        {with(26, "\x01"), "kind or name"},
        {good.substr(0, good.size() - 1), "cut short"},
        {good.substr(0, 30), "cut short"},
        {good + "x", "follow"},
        {std::string(kFoundFormsMaxSize + 1, 'x'), "larger"},
    };
    for (const auto& [bytes, reason] : damaged) {
        write_file(found() + "/TW_found_forms", bytes);
        EXPECT_EQ(read_found_forms(found() + "/TW_found_forms", 3, described, &why), ERR_CORRUPTED);
        EXPECT_NE(why.find("TW_found_forms: "), std::string::npos) << why;
        EXPECT_NE(why.find(reason), std::string::npos) << why;
        ASSERT_EQ(engine->open_found_file("r"), 0u);
        ASSERT_EQ(engine->close_found_file(), 0u);
        EXPECT_TRUE(engine->result_info.forms.empty());
    }
}

}  // namespace
