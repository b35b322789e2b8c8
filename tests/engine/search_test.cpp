// Whole single-threaded searches over temporary trees: counters, the result
// files byte for byte, options and failures, stopping, and reading one found
// file and occurrence back for the viewer.
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "encoding/string_encoding.h"
#include "engine/tw.h"
#include "engine/tw_found_lock.h"
#include "engine/tw_scan.h"
#include "matcher/isa.h"
#include "engine_fixture.h"

using namespace tw;
using namespace tw_test;

namespace {

// The offsets of the 8-byte records a scan hands on.
struct OffsetsOut : OccurrenceOut {
    std::vector<u64> offsets;
    bool take(const std::uint8_t* records, std::size_t bytes) override {
        for (std::size_t i = 0; i < bytes; i += 8) offsets.push_back(le64_at(Bytes(records + i, records + i + 8), 0));
        return true;
    }
};

class SearchTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        engine->thread_count = 1;
        ::alarm(120);  // a blocking open of a FIFO ends the test instead of hanging it
    }
    void TearDown() override { ::alarm(0); }
    u64 summary(u64 file, u64 occ) {
        engine->sur.file_index = file;
        engine->sur.occ_index = occ;
        return engine->build_summary();
    }
    // Each found file's offsets by path (a walk lists in the file system's order).
    std::map<std::string, std::vector<u64>> found_map() const {
        std::map<std::string, std::vector<u64>> out;
        for (const ResultRow& f : results()) out[f.path()] = f.offsets;
        return out;
    }
};

long open_descriptor_count() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
}

}  // namespace

TEST_F(SearchTest, ResultFilesAreByteExactWithAndWithoutLineNumbers) {
    make_file("first", "ab\nab\nxab");
    make_file("second", "\n\nzzab");
    for (bool lines : {false, true}) {
        set_target(*engine, "ab", {{at("first"), false}, {at("second"), false}});
        engine->tr.add_line_nb = lines;
        search();
        ASSERT_EQ(engine->fatal_err_index, 0u);
        const std::string d = data.path();
        const u64 l = d.size() + 1;
        Bytes header, path, offset;
        for (u64 v : {u64{0}, l, l, u64{6}, u64{3}, u64{0}}) append_le64(header, v);
        for (u64 v : {l + 6, l, 2 * l + 6, u64{7}, u64{1}, lines ? u64{48} : u64{24}}) append_le64(header, v);
        for (const char* name : {"first", "second"}) {
            append_text(path, d, true);
            append_text(path, name, true);
        }
        for (auto [off, line] : {std::pair{0, 0}, {3, 1}, {7, 2}, {4, 2}}) {
            append_le64(offset, off);
            if (lines) append_le64(offset, line);
        }
        EXPECT_EQ(read_file(found() + "/TW_found_header"), header) << lines;
        EXPECT_EQ(read_file(found() + "/TW_found_path"), path) << lines;
        EXPECT_EQ(read_file(found() + "/TW_found_offset"), offset) << lines;
    }
}

TEST_F(SearchTest, FolderWalkCountsFilesFoldersAndBytesAndSkipsWhatItShould) {
    make_file("a.txt", "one needle here");
    make_file("b.txt", "nothing");
    make_file("empty", "");
    make_dir("sub");
    make_file("sub/c.txt", "needle and Needle");
    make_file(".profile", "needle");
    make_dir(".hidden");
    make_file(".hidden/x", "needle");
    // Links in a walk are ignored; a file item that is a link is followed.
    ::symlink(at("a.txt").c_str(), at("sub/link.txt").c_str());
    ::symlink(at(".hidden").c_str(), at("sub/link_dir").c_str());
    ::mkfifo(at("sub/fifo").c_str(), 0644);
    struct Case {
        bool dot_names, fold;
        u64 files, dirs, found;
        std::map<std::string, std::vector<u64>> want;
    } cases[] = {
        {false, false, 4, 1, 2, {{at("a.txt"), {4}}, {at("sub/c.txt"), {0}}}},
        {true, true, 6, 2, 5,
         {{at(".hidden/x"), {0}}, {at(".profile"), {0}}, {at("a.txt"), {4}}, {at("sub/c.txt"), {0, 11}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dot_names);
        set_target(*engine, "needle", {{data.path() + "/", true}});
        engine->tr.not_inside = c.dot_names ? 0 : 1;
        engine->tr.case_insensitive = c.fold;
        search();
        EXPECT_EQ(engine->fatal_err_index, 0u);
        const u64 got[] = {engine->ir.file_nb, engine->ir.dir_nb, engine->ir.found_nb,
                           engine->ir.file_err_nb + engine->ir.dir_err_nb + engine->ir.other_err_nb};
        EXPECT_EQ(std::vector<u64>(got, got + 4), (std::vector<u64>{c.files, c.dirs, c.found, 0}));
        EXPECT_EQ(found_map(), c.want);
        EXPECT_EQ(std::string(engine->br.dir_name), data.path());
    }
    EXPECT_EQ(engine->ir.total_bytes.load(), 15u + 7u + 17u + 6u + 6u);

    set_target(*engine, "needle", {{at("sub/link.txt"), false}});
    search();
    EXPECT_EQ(found_map(), (std::map<std::string, std::vector<u64>>{{at("sub/link.txt"), {4}}}));
}

// A tree far deeper than a recursive walk could take: 100,000 levels, walked
// on a thread with a 1 MiB stack in a process allowed 64 descriptors, by
// the default search (as many scanning threads as cores).
TEST_F(SearchTest, AHundredThousandLevelsOnASmallStackWithSixtyFourDescriptors) {
    // Instrumented, a fifth of the depth still overflows a recursive walk's
    // stack and outnumbers the descriptors three hundred times.
    constexpr int kLevels = kInstrumentedBuild ? 20'000 : 100'000, kFileEvery = kLevels / 10;
    TempDir deep("/dev/shm");
    // The standard library's recursive removal stops at the path length limit.
    const struct RemoveDeep {
        std::string path;
        ~RemoveDeep() { EXPECT_EQ(std::system(("rm -rf '" + path + "'").c_str()), 0); }
    } remove_deep{deep.path()};
    int fd = ::open(deep.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 1; level <= kLevels; ++level) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        ASSERT_GE(fd, 0);
        if (level % kFileEvery == 0) {
            const int f = ::openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            ASSERT_EQ(::write(f, "a needle", 8), 8);
            ::close(f);
        }
    }
    ::close(fd);
    set_target(*engine, "needle", {{deep.path(), true}});
    // The search runs in a child, so that its limits reach no other test.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        engine->thread_count = 0;
        engine->walk_ahead = Engine::kAheadAlways;
        const rlimit limit{64, 64};
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setstacksize(&attr, std::size_t{1} << 20);
        pthread_t thread;
        auto run = [](void* e) -> void* {
            static_cast<Engine*>(e)->search_in_target();
            return nullptr;
        };
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0 || pthread_create(&thread, &attr, run, engine.get()) != 0)
            ::_exit(10);
        pthread_join(thread, nullptr);
        const u64 errors = engine->ir.file_err_nb + engine->ir.dir_err_nb + engine->ir.other_err_nb;
        ::_exit(engine->fatal_err_index != 0 ? 11 : errors != 0 ? 12 : engine->ir.dir_nb != u64{kLevels} ? 13 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the search died with signal " << WTERMSIG(status);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    std::set<std::string> dirs;
    for (const ResultRow& f : results()) {
        EXPECT_EQ(f.name, "f");
        EXPECT_EQ(f.offsets, std::vector<u64>{2});
        dirs.insert(f.dir);
    }
    std::string want = deep.path();
    for (int level = 1; level <= kLevels; ++level) {
        want += "/d";
        if (level % kFileEvery == 0) {
            EXPECT_EQ(dirs.count(want), 1u) << "level " << level;
        }
    }
    EXPECT_EQ(dirs.size(), std::size_t{kLevels / kFileEvery});
}

TEST_F(SearchTest, OccurrencesAcrossPiecesAreFoundOnceWithExactLineNumbers) {
    // A 16-byte text buffer: pieces at 0, 12 and 24 for a 5-byte pattern.
    use_buffers(16);
    std::string content(40, '.');
    content.replace(13, 5, "PQRST");
    content.replace(35, 5, "PQRST");
    make_file("f", content);
    set_target(*engine, "PQRST", {{at("f"), false}});
    search();
    EXPECT_EQ(engine->ir.total_bytes.load(), 48u);
    ASSERT_EQ(results().size(), 1u);
    EXPECT_EQ(results()[0].offsets, (std::vector<u64>{13, 35}));

    // Tiny text and occurrence buffers: many pieces, many flushes.
    use_buffers(48, 32);
    std::string text;
    std::vector<u64> offsets, lines;
    for (int i = 0, line = 0; i < 500; ++i) {
        if (i % 7 == 0) {
            offsets.push_back(text.size());
            lines.push_back(static_cast<u64>(line));
            text += "xyx";
        }
        text += i % 3 == 0 ? '\n' : 'a';
        if (i % 3 == 0) ++line;
    }
    make_file("f", text);
    set_target(*engine, "xyx", {{at("f"), false}});
    engine->tr.add_line_nb = 1;
    search();
    ASSERT_EQ(results().size(), 1u);
    EXPECT_EQ(results()[0].offsets, offsets);
    EXPECT_EQ(results()[0].lines, lines);
}

// Files whose size reads 0 but which hold bytes (/proc, /sys, FUSE files)
// are read to their end, as items and in a walk, by one thread or several
// (an empty folder item first starts the scanning threads for a file item).
TEST_F(SearchTest, FilesWhoseSizeReadsZeroAreReadToTheirEnd) {
    make_dir("empty");
    struct Row {
        const char* pattern;
        std::vector<Item> items;
        const char* found;
        unsigned threads;
    } const rows[] = {
        {"Name:", {{"/proc/self/status", false}}, "/proc/self/status", 1},
        {"Name:", {{at("empty"), true}, {"/proc/self/status", false}}, "/proc/self/status", 4},
        {"Linux", {{"/proc/sys/kernel", true}}, "/proc/sys/kernel/ostype", 1},
        {"Linux", {{"/proc/sys/kernel", true}}, "/proc/sys/kernel/ostype", 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.found) + " threads " + std::to_string(row.threads));
        set_target(*engine, row.pattern, row.items);
        engine->thread_count = row.threads;
        search();
        EXPECT_EQ(found_map().count(row.found), 1u);
        EXPECT_GT(engine->ir.total_bytes.load(), 0u);
    }

    // A stand-in for a FUSE file: a file longer than the text buffer, noted
    // as 0 bytes long, with occurrences across the pieces' seams.
    use_buffers(16);
    std::string content(40, '.');
    for (const std::size_t at : {0, 11, 14, 25, 35}) content.replace(at, 5, "PQRPQ");
    std::vector<u64> expected;
    for (std::size_t i = 0; i + 5 <= content.size(); ++i)
        if (content.compare(i, 5, "PQRPQ") == 0) expected.push_back(i);
    make_file("f", content);
    set_target(*engine, "PQRPQ", {});
    ASSERT_EQ(engine->set_search_param_from_target(), 0u);
    OffsetsOut out;
    const int fd = ::open(at("f").c_str(), O_RDONLY);
    std::atomic<std::uint8_t> stop{0};
    std::atomic<u64> bytes{0};
    const PieceScan scan = scan_read(engine->sr, fd, 0, 0, ~u64{0}, out, stop, bytes);
    ::close(fd);
    EXPECT_TRUE(scan.ended);
    EXPECT_EQ(out.offsets, expected);
    EXPECT_EQ(bytes.load(), 40u);
}

// Ignoring case folds only ASCII letters as characters of the pattern's
// encoding, in every instruction set. For every character of two bytes of
// which one at least lies in the letter range (and every ASCII letter), the
// oracle folds characters: the pattern is found exactly where the
// character, or its other case when it is an ASCII letter, was written.
TEST_F(SearchTest, IgnoringCaseFoldsLetterCharactersNeverBytesOfOthers) {
    namespace enc = tw::encoding;
    const auto letter = [](unsigned b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); };
    std::vector<unsigned> candidates{0};
    for (unsigned b = 0x41; b <= 0xFE; ++b)
        if (letter(b) || b >= 0x81) candidates.push_back(b);
    for (const enc::EncodingId id : {enc::kUtf16, enc::kShiftJis, enc::kEucJp, enc::kIso2022Jp}) {
        SCOPED_TRACE(id);
        // The characters, each as one text.
        std::vector<std::u16string> chars;
        for (char16_t c = 'A'; c <= 'z'; ++c)
            if (letter(c)) chars.push_back(std::u16string(1, c));
        for (const unsigned b0 : candidates) {
            for (const unsigned b1 : candidates) {
                if (!letter(b0) && !letter(b1)) continue;
                // Instrumented, one pair in five (every letter stays).
                if (kInstrumentedBuild && (b0 * 7 + b1) % 5 != 0) continue;
                const std::string two{static_cast<char>(b0), static_cast<char>(b1)};
                const std::string bytes = id == enc::kIso2022Jp ? "\x1b$B" + two + "\x1b(B" : two;
                const auto text = enc::to_text(bytes, id);
                // The characters written back as they were read.
                if (text && text.value->size() == 1 && !letter((*text.value)[0]) &&
                    enc::to_bytes(*text.value, id).value == bytes)
                    chars.push_back(*text.value);
            }
        }
        std::string all;
        for (const std::u16string& c : chars) all += *enc::to_bytes(c, id).value;
        ASSERT_LE(all.size(), engine->sr.TEXT_BUF_SIZE);
        const auto occurrences = [&](const std::u16string& c, std::set<u64>& at) {
            const std::string p = *enc::to_bytes(c, id).value;
            for (std::size_t i = all.find(p); i != std::string::npos; i = all.find(p, i + 1)) at.insert(i);
        };
        for (const Isa isa : {Isa::Scalar, Isa::Sse2, Isa::Avx2}) {
            if (!set_matcher_isa(isa)) continue;
            for (const std::u16string& c : chars) {
                std::set<u64> want;
                occurrences(c, want);
                if (letter(c[0])) occurrences(std::u16string(1, c[0] ^ 0x20), want);
                const std::string p = *enc::to_bytes(c, id).value;
                set_target(*engine, p, {});
                engine->tr.case_insensitive = 1;
                engine->tr.encoding = id;
                ASSERT_EQ(engine->set_search_param_from_target(), 0u);
                auto* text = reinterpret_cast<std::uint8_t*>(engine->sr.TEXT_START);
                std::memcpy(text, all.data(), all.size());
                OffsetsOut found;
                std::atomic<std::uint8_t> stop{0};
                scan_text(engine->sr, text, 0, all.size(), 0, found, stop);
                ASSERT_EQ(std::set<u64>(found.offsets.begin(), found.offsets.end()), want) << matcher_isa_name(isa) << " character U+" << std::hex << int(c[0]);
            }
        }
        reset_matcher_isa();
    }
}

// The result files are created, never followed: a link planted in the
// result folder fails the search and stays, pointing at an untouched file.
TEST_F(SearchTest, ALinkPlantedInTheResultFolderIsNeverWrittenThrough) {
    make_file("f", "needle");
    make_file("victim", "precious");
    const Bytes precious = read_file(at("victim"));
    set_target(*engine, "needle", {{at("f"), false}});
    for (const char* name : {TW_FOUND_HEADER, TW_FOUND_OFFSET, TW_FOUND_PATH, TW_FOUND_INFO}) {
        const std::string link = found() + "/" + name;
        ::unlink(link.c_str());
        ASSERT_EQ(::symlink(at("victim").c_str(), link.c_str()), 0);
        search();
        EXPECT_EQ(engine->fatal_err_index, name == std::string(TW_FOUND_INFO) ? ERR_WRITE_FILE : ERR_OPEN_FILE)
            << name;
        EXPECT_EQ(read_file(at("victim")), precious) << name;
        EXPECT_TRUE(std::filesystem::is_symlink(link)) << name;
        ::unlink(link.c_str());
    }
}

TEST_F(SearchTest, ResultAndApplicationFoldersAreNeverEntered) {
    // The tree searched contains the resource folder; only TW_found is kept out.
    write_file(dir / "TW_target/notes", "needle");
    write_file(found() + "/old", "needle");
    engine->bundle_dir_pathname_ptr = dir / "app";
    ::mkdir((dir / "app").c_str(), 0755);
    write_file(dir / "app/inside", "needle");
    ::mkdir((dir / "application").c_str(), 0755);
    write_file(dir / "application/outside", "needle");
    set_target(*engine, "needle", {{dir.path(), true}});
    search();
    EXPECT_EQ(engine->fatal_err_index, 0u);
    EXPECT_EQ(found_map(), (std::map<std::string, std::vector<u64>>{{dir / "TW_target/notes", {0}},
                                                                    {dir / "application/outside", {0}}}));
}

TEST_F(SearchTest, FailuresEndTheSearchWithTheirCodes) {
    make_file("f", "needle");
    set_target(*engine, "needle", {{at("f"), false}});
    search();
    const std::vector<Bytes> last_result = result_files();
    // A refused pattern leaves the last result as it was.
    set_target(*engine, "ab?", {{at("f"), false}});
    engine->tr.use_wildcard = 1;
    search();
    EXPECT_EQ(engine->fatal_err_index, ERR_INVALID_NAME);
    EXPECT_EQ(result_files(), last_result);
    // A pattern longer than the text buffer ends before any file is read.
    use_buffers(16);
    set_target(*engine, std::string(20, 'n'), {{at("f"), false}});
    const u64 bytes_before = engine->ir.total_bytes.load();
    search();
    EXPECT_EQ(engine->fatal_err_index, ERR_MEMORY);
    EXPECT_EQ(engine->ir.total_bytes.load(), bytes_before);
    EXPECT_EQ(result_files(), last_result);
    // Missing items are counted, the last one too, and end nothing: their
    // search goes on after read errors.
    set_target(*engine, "needle", {{at("gone"), false}, {at("f"), false}, {at("nodir"), true}});
    EXPECT_STREQ(engine->file_or_dir_exist_in_current_target(), at("gone").c_str());
    search();
    const InfoRecord& ir = engine->ir;
    EXPECT_EQ((std::vector<u64>{ir.dir_err_nb, ir.file_nb, engine->fatal_err_index, engine->result_info.status}),
              (std::vector<u64>{2, 1, 0, RESULT_FINISHED}));
    std::filesystem::remove_all(found());
    search();
    EXPECT_EQ(engine->fatal_err_index, ERR_ACCESS_DIR);
    EXPECT_EQ(std::string(engine->build_fatal_str_err()),
              "access denied or invalid directory: " + found() + ": No such file or directory");
}

TEST_F(SearchTest, UnreadableEntriesFollowTheSkipErrorOption) {
    make_dir("x");
    make_file("x/bad", "needle");
    ::chmod(at("x/bad").c_str(), 0);
    make_dir("y");
    make_dir("y/locked");
    make_file("y/locked/f", "needle");
    ::chmod(at("y/locked").c_str(), 0);
    make_dir("y/nox");
    make_file("y/nox/f", "needle");
    ::chmod(at("y/nox").c_str(), 0444);
    make_file("z", "needle");
    // The result folder must be writable by the unprivileged user.
    ::chown(found().c_str(), 65534, 65534);
    for (const char* name : {"TW_found_header", "TW_found_path", "TW_found_offset"})
        std::filesystem::remove(found() + "/" + name);
    const std::vector<Item> folders_first = {{at("x"), true}, {at("y"), true}, {at("z"), false}};
    // Wanted: fatal_err_index, file_nb, file_err_nb, dir_nb, dir_err_nb,
    // found_nb, the result's status and stopped_at_unreadable_item.
    const struct {
        u64 skip;
        std::vector<Item> items;
        std::vector<u64> want;
    } cases[] = {
        // z went well; x/bad fails and counts as a file; both sub-folders
        // of y fail; y itself is an item, not a counted folder.
        {1, folders_first, {0, 2, 1, 0, 2, 1, RESULT_FINISHED, 0}},
        // Without skipping, the whole search ends at x/bad.
        {0, folders_first, {0, 0, 1, 0, 0, 0, RESULT_STOPPED, 1}},
        // Also at an item file, which keeps what was found before it.
        {0, {{at("z"), false}, {at("x/bad"), false}, {at("y"), true}}, {0, 1, 1, 0, 0, 1, RESULT_STOPPED, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "skip " << c.skip << ", first item " << c.items.front().path);
        set_target(*engine, "needle", c.items);
        engine->tr.skip_error = c.skip;
        const int status = run_as_nobody([&] {
            engine->search_in_target();
            const std::vector<u64> got = {engine->fatal_err_index, engine->ir.file_nb, engine->ir.file_err_nb,
                                          engine->ir.dir_nb, engine->ir.dir_err_nb, engine->ir.found_nb,
                                          engine->result_info.status, engine->stopped_at_unreadable_item()};
            std::fprintf(stderr, "%s\n", ::testing::PrintToString(got).c_str());
            return got == c.want ? 0 : 1;
        });
        EXPECT_EQ(status, 0) << "expected " << ::testing::PrintToString(c.want);
    }
}

TEST_F(SearchTest, StopInTheMiddleClosesEveryDescriptorAndIsRecorded) {
    make_dir("a");
    // A large sparse file: reading it takes far longer than the test waits.
    make_file("a/huge", "");
    ASSERT_EQ(::truncate(at("a/huge").c_str(), off_t{64} << 30), 0);
    set_target(*engine, "zq", {{data.path(), true}});
    const int before = open_descriptor_count();
    ASSERT_TRUE(engine->start_search_thread());
    EXPECT_FALSE(engine->start_search_thread());
    wait_for([&] { return engine->ir.total_bytes.load() != 0; });
    engine->stop_and_join_search();
    EXPECT_EQ(engine->searching_now.load(), 0);
    EXPECT_EQ(engine->fatal_err_index, 0u);
    EXPECT_LT(engine->ir.total_bytes.load(), u64{64} << 30);
    EXPECT_EQ(open_descriptor_count(), before);
    EXPECT_EQ(engine->result_info.status, RESULT_STOPPED);
    engine->set_show_info(2);
    EXPECT_NE(std::string(engine->sir.folder_text).find(", stopped"), std::string::npos);
}

TEST_F(SearchTest, SummaryReadsNamesOffsetsLinesAndAnExcerptCentredOnTheOccurrence) {
    std::string text(8000, '-');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 23);
    for (std::size_t o : {10, 5000, 7996}) text.replace(o, 4, "WXYZ");
    text[3] = '\n';
    make_file("one.txt", text);
    make_file("two.txt", "WXYZ");
    set_target(*engine, "WXYZ", {{at("one.txt"), false}, {at("two.txt"), false}});
    engine->tr.add_line_nb = 1;
    search();
    struct Case {
        u64 file, occ;
        u64 offset, line, excerpt_from, excerpt_len, occ_pos;
    } cases[] = {
        {0, 0, 10, 1, 0, 2000, 10},
        {0, 1, 5000, 1, 4002, 2000, 998},
        {0, 2, 7996, 1, 6998, 1002, 998},  // near the end: what remains of the file
        {1, 0, 0, 0, 0, 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.file << "/" << c.occ);
        ASSERT_EQ(summary(c.file, c.occ), 0u);
        const auto& s = engine->sur;
        EXPECT_EQ((std::vector<u64>{s.occ_nb, s.occ_offset, s.occ_line, s.excerpt_file_offset, s.excerpt_len,
                                    s.excerpt_occ_pos}),
                  (std::vector<u64>{c.file == 0 ? 3u : 1u, c.offset, c.line, c.excerpt_from, c.excerpt_len,
                                    c.occ_pos}));
        EXPECT_EQ(s.dir_name + "/" + s.file_name, at(c.file == 0 ? "one.txt" : "two.txt"));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.excerpt) + c.occ_pos, 4), "WXYZ");
    }
    EXPECT_EQ(summary(1, 1), ERR_BAD_INDEX);
    EXPECT_EQ(summary(2, 0), ERR_READ_FILE);
    // An occurrence as long as the excerpt, or longer, fills it from its
    // first byte.
    for (const std::size_t length : {std::size_t{TW_EXCERPT_SIZE}, std::size_t{TW_EXCERPT_SIZE} + 300}) {
        SCOPED_TRACE(length);
        const std::string needle = "<" + std::string(length - 2, 'n') + ">";
        make_file("long.txt", std::string(5000, '.') + needle + std::string(3000, '.'));
        set_target(*engine, needle, {{at("long.txt"), false}});
        search();
        ASSERT_EQ(summary(0, 0), 0u);
        const auto& s = engine->sur;
        EXPECT_EQ((std::vector<u64>{s.excerpt_file_offset, s.excerpt_occ_pos, s.excerpt_mark_len, s.excerpt[0]}),
                  (std::vector<u64>{5000, 0, TW_EXCERPT_SIZE, '<'}));
    }
}

TEST_F(SearchTest, RecordLengthComesFromTheResultNotFromTheCurrentTarget) {
    make_file("f", "a\nb needle");
    for (bool written : {true, false})
        for (bool current : {true, false}) {
            SCOPED_TRACE(::testing::Message() << written << current);
            set_target(*engine, "needle", {{at("f"), false}});
            engine->tr.add_line_nb = written;
            search();
            engine->tr.add_line_nb = current;  // changed after the search, as the window does
            ASSERT_EQ(summary(0, 0), 0u);
            const auto& s = engine->sur;
            EXPECT_EQ((std::vector<u64>{s.occ_offset, s.has_line, written ? s.occ_line : 1}),
                      (std::vector<u64>{4, written, 1}));
        }
    // Without the description (an older result), the current target says.
    engine->tr.add_line_nb = 1;
    search();
    ASSERT_EQ(::unlink((found() + "/TW_found_info").c_str()), 0);
    ASSERT_EQ(summary(0, 0), 0u);
    EXPECT_FALSE(engine->result_info.present);
    EXPECT_EQ(engine->sur.has_line, 1u);
    write_file(found() + "/TW_found_info", "TWRESULT and nothing sensible");
    EXPECT_EQ(summary(0, 0), ERR_CORRUPTED);
    engine->fatal_err_index = ERR_CORRUPTED;
    EXPECT_NE(std::string(engine->build_fatal_str_err()).find("TW_found_info"), std::string::npos);
}

TEST_F(SearchTest, ResultOrFoundFileChangedSinceTheSearchGivesErrorsNotCrashes) {
    make_file("f", "needle");
    set_target(*engine, "needle", {{at("f"), false}});
    search();
    // The found file became a FIFO (never opened), then went away.
    ASSERT_EQ(::unlink(at("f").c_str()), 0);
    ASSERT_EQ(::mkfifo(at("f").c_str(), 0644), 0);
    ASSERT_EQ(summary(0, 0), 0u);
    EXPECT_EQ(engine->sur.summary_status, ERR_ACCESS_DENIED);
    EXPECT_EQ(engine->failure_detail(), at("f") + ": not a regular file");
    ASSERT_EQ(::unlink(at("f").c_str()), 0);
    ASSERT_EQ(summary(0, 0), 0u);
    EXPECT_EQ(engine->failure_detail(), at("f") + ": No such file or directory");
    EXPECT_EQ(engine->sur.file_name, "f");
    const Bytes header = read_file(found() + "/TW_found_header");
    ASSERT_EQ(header.size(), 48u);
    for (std::size_t byte : {8, 24, 40}) {  // a name length, or occ_pos, beyond its file
        Bytes bad = header;
        bad[byte] = 200;
        bad[byte + 1] = 0xFF;
        write_file(found() + "/TW_found_header", bad);
        EXPECT_EQ(summary(0, 0), ERR_READ_FILE) << byte;
    }
    std::filesystem::remove_all(found());
    EXPECT_EQ(summary(0, 0), ERR_ACCESS_DIR);
}

namespace {

// Holds the result folder's lock from inside a search: a sink that, at the
// first occurrence, asks for the lock as a reader would.
struct LockProbe : ResultSink {
    std::string found_dir;
    std::optional<FoundLock::Result> reader;
    u64 occurrences(std::string_view, std::string_view, const std::uint8_t*, std::size_t) override {
        if (!reader) {
            FoundLock lock;
            reader = lock.try_take(found_dir, false, nullptr);
        }
        return 0;
    }
};

}  // namespace

// One writer per result folder. A search waits, saying so, while a reader or
// another writer holds the folder, and its counters start from nothing after
// the wait; a stop during the wait ends it with the last result untouched.
// While it writes, no reader gets in.
TEST_F(SearchTest, AResultFolderHasOneWriterWhoWaitsForItsTurn) {
    make_file("a.txt", "one needle, two needle");
    make_file("b.txt", "needle");
    set_target(*engine, "needle", {{data.path(), true}});
    search();
    ASSERT_EQ(engine->fatal_err_index, 0u);
    // The description holds the search's time, so it is compared only where
    // nothing may have been written.
    const std::vector<Bytes> files = result_files(false);
    struct Row {
        const char* what;
        bool holder_exclusive;
        bool stop_while_waiting;
    };
    for (const Row& row : {Row{"a reader holds it", false, false}, Row{"a writer holds it", true, false},
                           Row{"stopped while a reader holds it", false, true},
                           Row{"stopped while a writer holds it", true, true}}) {
        SCOPED_TRACE(row.what);
        const std::vector<Bytes> first = result_files();
        FoundLock holder;
        ASSERT_EQ(holder.try_take(found(), row.holder_exclusive, nullptr), FoundLock::Result::Taken);
        LockProbe probe;
        probe.found_dir = found();
        engine->sinks = {&probe};
        ASSERT_TRUE(engine->start_search_thread());
        ASSERT_TRUE(wait_for([&] { return engine->waiting_for_result.load() != 0; }, 60));
        EXPECT_NE(engine->searching_now.load(), 0);
        EXPECT_EQ(result_files(), first);  // nothing is truncated while waiting
        if (row.stop_while_waiting) {
            engine->stop_and_join_search();
            EXPECT_EQ(engine->waiting_for_result.load(), 0);
            EXPECT_EQ(engine->fatal_err_index, 0u);
            EXPECT_EQ(result_files(), first);
            EXPECT_FALSE(probe.reader.has_value());
        } else {
            holder.release();
            ASSERT_TRUE(wait_for([&] { return engine->searching_now.load() == 0; }, 60));
            engine->join_search_thread();
            EXPECT_EQ((std::vector<u64>{engine->fatal_err_index, engine->waiting_for_result.load(), engine->ir.found_nb,
                                        engine->ir.file_nb}),
                      (std::vector<u64>{0, 0, 3, 2}));
            EXPECT_EQ(result_files(false), files);
            EXPECT_EQ(probe.reader, FoundLock::Result::Busy) << "a reader got in while the search wrote";
        }
        engine->sinks.clear();
    }
}
