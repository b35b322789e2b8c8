// Items read as streams (pipes, sockets, devices) give what the same bytes
// give as a regular file, whatever sizes they arrive in; the one replacing
// writer behind reports, targets and settings; hexadecimal text.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <thread>

#include "engine/tw.h"
#include "engine/tw_file_util.h"
#include "engine_fixture.h"

using namespace tw;
using namespace tw_test;

namespace {

std::string sample_text() {
    std::string text;
    std::uint32_t seed = 777;
    const char* parts[] = {"Needle", "\n", "needle\r", "neeedle", "NEEDLE"};
    while (text.size() < 200'000) {
        seed = seed * 1664525u + 1013904223u;
        text += (seed >> 20) % 8 < 5 ? parts[(seed >> 20) % 8] : "qwertyuiop";
    }
    return text;
}

}  // namespace

TEST_F(EngineTest, PipeGivesWhatTheSameBytesGiveAsAFile) {
    use_buffers(4096, 4096);
    const std::string text = sample_text();
    make_file("file", text);
    const std::string fifo = at("fifo");
    struct Case {
        const char* pattern;
        bool lines, fold, wildcard;
    } cases[] = {{"needle", true, false, false}, {"needle", false, true, false}, {"n", true, false, false},
                 {"ne?dle", true, false, true}, {"e\nN", true, true, false}, {"qwertyuiopNeedle", true, false, false}};
    for (const Case& c : cases) {
        auto run = [&](const std::string& path) {
            set_target(*engine, c.pattern, {{path, false}});
            engine->tr.add_line_nb = c.lines;
            engine->tr.case_insensitive = c.fold;
            engine->tr.use_wildcard = c.wildcard;
            search();
            EXPECT_EQ(engine->fatal_err_index, 0u) << engine->failure_detail();
            return results();
        };
        const auto as_file = run(at("file"));
        ASSERT_EQ(as_file.size(), 1u) << c.pattern;
        EXPECT_GT(as_file[0].offsets.size(), 100u) << c.pattern;
        for (const std::size_t chunk : {std::size_t{1} << 16, std::size_t{4093}, std::size_t{5}}) {
            SCOPED_TRACE(::testing::Message() << c.pattern << " in pieces of " << chunk);
            ::unlink(fifo.c_str());
            ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
            std::thread writer = write_fifo(fifo, text, chunk);
            const auto as_pipe = run(fifo);
            writer.join();
            ASSERT_EQ(as_pipe.size(), 1u);
            EXPECT_TRUE(as_pipe[0].offsets == as_file[0].offsets);
            EXPECT_TRUE(as_pipe[0].lines == as_file[0].lines);
            EXPECT_EQ(engine->ir.total_bytes.load(), text.size());
        }
    }
}

TEST_F(EngineTest, APipeWithoutWriterHearsAStop) {
    ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0644), 0);
    set_target(*engine, "needle", {{at("fifo"), false}});
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        engine->need_stop_searching.store(1);
    });
    search();
    stopper.join();
    EXPECT_EQ(engine->fatal_err_index, 0u);
    EXPECT_TRUE(results().empty());
    engine->need_stop_searching.store(0);
}

namespace {

u64 write_text(const std::string& path, const std::string& text, std::string* failure) {
    AtomicFileWriter out(path);
    u64 code = out.open();
    if (code == 0 && !write_all(out.stream(), text.data(), text.size())) code = out.write_failed();
    if (code == 0) code = out.commit();
    *failure = out.failure();
    return code;
}

bool is_link(const std::string& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

TEST(FileWriterTest, ReplacesOnlyWhatMayBeReplacedAndKeepsPermissions) {
    TempDir dir;
    write_file(dir / "old", "old content");
    ::chmod((dir / "old").c_str(), 0600);
    write_file(dir / "linked", "old content");
    ::chmod((dir / "linked").c_str(), 0640);
    ::symlink((dir / "linked").c_str(), (dir / "abs-link").c_str());
    ::symlink("linked", (dir / "rel-link").c_str());
    ::symlink("missing-target", (dir / "dangling").c_str());
    struct Case {
        const char* name;
        const char* written;  // the file that holds the text afterwards
        mode_t mode;          // its permissions afterwards
    } cases[] = {{"new", "new", 0644}, {"old", "old", 0600}, {"abs-link", "linked", 0640},
                 {"rel-link", "linked", 0640}, {"dangling", "missing-target", 0644}};
    const mode_t mask = ::umask(022);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string failure;
        ASSERT_EQ(write_text(dir / c.name, std::string("text of ") + c.name, &failure), 0u) << failure;
        EXPECT_EQ(slurp(dir / c.written), std::string("text of ") + c.name);
        EXPECT_EQ(std::filesystem::status(dir / c.written).permissions(), std::filesystem::perms(c.mode));
        EXPECT_EQ(is_link(dir / c.name), std::string(c.name) != c.written);
    }
    ::umask(mask);
    std::string failure;
    EXPECT_EQ(write_text(dir.path(), "x", &failure), ERR_OPEN_FILE);
    EXPECT_EQ(failure, dir.path() + ": Is a directory");
    // A full disk through a link is reported and the link stays.
    ::symlink("/dev/full", (dir / "full").c_str());
    EXPECT_EQ(write_text(dir / "full", "some text", &failure), ERR_WRITE_FILE);
    EXPECT_EQ(failure, dir / "full" + ": No space left on device");
    EXPECT_TRUE(is_link(dir / "full"));
    // No temporary file is left anywhere.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".trawlex-save-"), std::string::npos);
}

namespace {

using B = std::vector<std::uint8_t>;

// hexa_str_to_bytes_array with sentinel bytes after the room the caller
// must provide; the bytes, or the index of the refused character.
std::pair<B, i64> from_hexa(const std::string& text, i64 wildcard = -1) {
    B out(text.size() + 1 + 8, 0xEE);
    u64 count = 12345;
    i64 err = 12345;
    const i64 r = hexa_str_to_bytes_array(text.c_str(), out.data(), &count, &err, wildcard);
    for (std::size_t i = text.size() + 1; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << text;
    EXPECT_EQ(r == 0, err == -1) << text;
    return {r == 0 ? B(out.begin(), out.begin() + static_cast<long>(count)) : B{}, err};
}

std::string to_hexa(const B& bytes, u64 wildcard = ~u64{0}) {
    std::string text(3 * bytes.size() + 1, '#');
    const u64 n = bytes_array_to_hexa_str(text.data(), bytes.data(), bytes.size(), wildcard);
    EXPECT_EQ(text[n], '\0');
    return text.substr(0, n);
}

}  // namespace

TEST(HexaText, DigitsBlanksAndWildcardsToBytes) {
    const struct {
        const char* text;
        i64 wildcard;
        B bytes;
        i64 err;
    } cases[] = {
        {"41 42", -1, {0x41, 0x42}, -1}, {"\t4 1\r\n42 ", -1, {0x41, 0x42}, -1},
        {"ABC", -1, {0x0A, 0xBC}, -1},  // an odd count gives the first digit its own byte
        {"12 3", -1, {0x01, 0x23}, -1}, {"abcdef", -1, {0xAB, 0xCD, 0xEF}, -1}, {"  ", -1, {}, -1},
        {"4G", -1, {}, 1}, {"41 42 x", -1, {}, 6}, {"41?42", -1, {}, 2},
        {"41 ?? 42", 63, {0x41, 0x3F, 0x3F, 0x42}, -1}, {"41*42", '*', {0x41, 0x2A, 0x42}, -1},
        // A wildcard is a whole byte, so only at a byte boundary.
        {"4?1", 63, {}, 1}, {"?123", 63, {}, 0}, {"1 ?23", 63, {0x01, 0x3F, 0x23}, -1}, {"4?1 Z", 63, {}, 4},
    };
    for (const auto& c : cases) EXPECT_EQ(from_hexa(c.text, c.wildcard), std::make_pair(c.bytes, c.err)) << c.text;

    EXPECT_EQ(to_hexa({0x00, 0x0a, 0xff, 0x41}), "00 0A FF 41 ");
    EXPECT_EQ(to_hexa({0x41, 0x3F, 0xFF}), "41 3F FF ");
    EXPECT_EQ(to_hexa({0x41, 0x3F, 0xFF}, 63), "41 ? FF ");
    B all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<std::uint8_t>(i));
    EXPECT_EQ(from_hexa(to_hexa(all)).first, all);
}

// A typed digit pair is never the wildcard: a literal byte that the matcher
// would take for the symbol (with case folding, one that lowers to it), or a
// capital symbol under case folding, moves the wildcard to a free
// punctuation character; the text written back reads the same.
TEST(HexaText, TypedBytesAreNeverTheWildcard) {
    std::string every_mark = "? ";
    for (int c = 0x21; c < 0x7F; ++c)
        if (std::ispunct(c) != 0) every_mark += to_hexa({static_cast<std::uint8_t>(c)});
    const struct {
        std::string text;
        char symbol;
        bool fold;
        B bytes;
        char wildcard;
        int clash;  // the literal byte given as the reason, -1 for none
        u64 code;
    } cases[] = {
        {"68 3F 6C 6C 6F", '?', false, {0x68, 0x3F, 0x6C, 0x6C, 0x6F}, '*', 0x3F, 0},
        {"68 ? 6C 6C 6F", '?', false, {0x68, 0x3F, 0x6C, 0x6C, 0x6F}, '?', -1, 0},
        {"3F ? 2A 41", '?', false, {0x3F, '#', 0x2A, 0x41}, '#', 0x3F, 0},
        {"41 z 5A", 'z', true, {0x41, '?', 0x5A}, '?', 0x5A, 0},
        {"41 z 5A", 'z', false, {0x41, 'z', 0x5A}, 'z', -1, 0},
        {"41 Z 42", 'Z', true, {0x41, '?', 0x42}, '?', -1, 0},
        {"41 4G", '?', false, {}, 0, -1, ERR_INVALID_DIGIT},
        {every_mark, '?', false, {}, 0, -1, ERR_CORRUPTED},
    };
    for (const auto& c : cases) {
        HexaPattern p;
        EXPECT_EQ(hexa_text_to_pattern(c.text.c_str(), c.symbol, c.fold, &p), c.code) << c.text;
        if (c.code != 0) continue;
        EXPECT_EQ(std::tuple(p.bytes, p.wildcard, p.wildcard_changed, p.clashing_byte ? int{*p.clashing_byte} : -1),
                  std::tuple(c.bytes, static_cast<std::uint8_t>(c.wildcard), c.wildcard != c.symbol, c.clash))
            << c.text;
        const std::string back = hexa_pattern_text(p.bytes.data(), p.bytes.size(), p.wildcard, c.fold);
        HexaPattern again;
        EXPECT_EQ(hexa_text_to_pattern(back.c_str(), p.wildcard, c.fold, &again), 0u) << back;
        EXPECT_EQ(std::make_pair(again.bytes, again.wildcard), std::make_pair(p.bytes, p.wildcard));
    }
    // A stored pattern shows what the matcher makes of it.
    EXPECT_EQ(hexa_pattern_text(B{0x41, 0x5A, 0x7A}.data(), 3, 'z', true), "41 z z ");
    EXPECT_EQ(hexa_pattern_text(B{0x41, 0x5A, 0x7A}.data(), 3, 'Z', true), "41 5A 7A ");
}
