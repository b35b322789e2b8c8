// trawlex-cli's output formats: the escapes, UTF-8 check, base64 and JSON
// forms of paths; every format with names that could forge records; the
// JSON records; standard input, pipes and block devices as items, and
// output written as each file is found.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "cli/cli_run.h"
#include "cli/output_text.h"

using namespace tw_test;
using namespace tw::cli;

namespace {

// Reads PATH NUL FIELDS NEWLINE records, or PATH NUL ones without fields.
Records parse_null(const std::string& out, bool has_fields) {
    Records records;
    std::size_t pos = 0;
    while (pos < out.size()) {
        const std::size_t nul = out.find('\0', pos);
        const std::size_t end = has_fields ? out.find('\n', nul) : nul;
        EXPECT_NE(end, std::string::npos);
        if (end == std::string::npos) break;
        records.emplace_back(out.substr(pos, nul - pos), has_fields ? out.substr(nul + 1, end - nul - 1) : "");
        pos = end + 1;
    }
    return records;
}

// The --json output as json_records.py reads it back with Python's json
// parser, in tab-separated lines of the records of `kind` (or "all").
std::string json_as_text(const std::string& out, const std::string& work, const std::string& kind) {
    write_file(work + "/json.out", out);
    const std::string command = "python3 " TRAWLEX_JSON_CHECK " " + kind + " < '" + work + "/json.out' > '" +
                                work + "/json.text' 2> '" + work + "/json.err'";
    EXPECT_EQ(std::system(command.c_str()), 0) << slurp(work + "/json.err");
    return slurp(work + "/json.text");
}

// The path forms of the output against fixed vectors (RFC 4648 for base64):
// the escapes touch the four separators only.
TEST(OutputText, PathFormsGiveTheirFixedVectors) {
    using Append = void (*)(std::string&, std::string_view);
    const std::tuple<Append, std::string, std::string> cases[] = {
        {append_escaped, "/a/b", "/a/b"},
        {append_escaped, "q\n/etc/passwd", "q\\n/etc/passwd"},
        {append_escaped, "a\tb\rc\\d", "a\\tb\\rc\\\\d"},
        {append_escaped, "\\n", "\\\\n"},
        {append_escaped, std::string("x\0y\x01\xff", 5), std::string("x\0y\x01\xff", 5)},
        {append_base64, "", ""}, {append_base64, "f", "Zg=="}, {append_base64, "fo", "Zm8="},
        {append_base64, "foo", "Zm9v"}, {append_base64, "foob", "Zm9vYg=="}, {append_base64, "fooba", "Zm9vYmE="},
        {append_base64, "foobar", "Zm9vYmFy"}, {append_base64, "\xff\xfe", "//4="},
        {append_json_path, "a\"b\\c\n\x01", "{\"text\":\"a\\\"b\\\\c\\n\\u0001\"}"},
        {append_json_path, "/x\xff", "{\"bytes\":\"L3j/\"}"},
    };
    for (const auto& [append, in, want] : cases) {
        std::string out;
        append(out, in);
        EXPECT_EQ(out, want) << ::testing::PrintToString(in);
    }
}

TEST(OutputText, Utf8IsCheckedStrictly) {
    for (const char* valid : {"", "plain", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xC3\xA9t\xC3\xA9"})
        EXPECT_TRUE(is_utf8(valid)) << ::testing::PrintToString(std::string(valid));
    // A stray continuation byte, overlong NUL and slash, a surrogate, above
    // U+10FFFF, cut short, a byte never used.
    for (const char* invalid : {"\x80", "\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\xFF"})
        EXPECT_FALSE(is_utf8(invalid)) << ::testing::PrintToString(std::string(invalid));
}

using CliOutputTest = CliFixture;

TEST_F(CliOutputTest, ForgedNamesComeBackAsTheTruePathsInEveryFormat) {
    // A folder "q" + newline holding etc/passwd would print a line that
    // reads exactly like /etc/passwd's if names went out raw.
    add("q\n/etc/passwd", "hello\n");
    add("tab\tdir/back\\slash\tfile.txt", "x hello\nhello");
    add("cr\rname", "\n\nhello");
    add("bad\xff\xfe.bin", std::string("\0hello", 6));
    add("dir\xc0/new\nline\\n", "hello");
    add("\\t", "hello hello");
    for (const std::string mode : {"-n", "-c", "-l"}) {
        SCOPED_TRACE(mode);
        const Records want = truth("hello", mode);
        CliRun r = cli({mode, "hello", "."});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(sorted(parse_escaped(r.out)), want);
        r = cli({mode, "-0", "hello", "."});
        EXPECT_EQ(sorted(parse_null(r.out, mode != "-l")), want);
        r = cli({mode, "--json", "hello", "."});
        const std::string kind = mode == "-n" ? "match" : mode == "-c" ? "end" : "begin";
        EXPECT_EQ(sorted(parse_escaped(json_as_text(r.out, dir / "io", kind))), want);
    }
}

TEST_F(CliOutputTest, JsonGivesBeginMatchEndPerFileAndASummary) {
    add("j.txt", "hello\nhello hello");
    add("b\xff.txt", "hello");
    const CliRun r = cli({"--json", "-m", "2", "hello", "j.txt", "b\xff.txt"});
    EXPECT_EQ(r.status, 0);
    // The line number is always given, as ripgrep gives it; -m 2 prints
    // two of j.txt's three.
    const std::string j = tree("j.txt"), b = tree("b\xff.txt");
    EXPECT_EQ(json_as_text(r.out, dir / "io", "all"),
              j + "\tbegin\n" + j + "\tmatch\t0\t1\n" + j + "\tmatch\t6\t2\n" + j + "\tend\t2\n" + b +
                  "\tbegin\n" + b + "\tmatch\t0\t1\n" + b + "\tend\t1\nsummary\t3\t2\n");
}

// Standard input is "-", or the input when no PATH is given; a pipe or a
// file as input, read as a stream and printed as "(standard input)".
TEST_F(CliOutputTest, StandardInputIsReadAsAStream) {
    const std::string text = "one\nhello\ntwo hello\n";
    write_file(dir / "io/input.txt", text);
    const std::string fifo = dir / "io/input.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    for (const bool through_pipe : {false, true}) {
        for (const bool dash : {false, true}) {
            std::thread writer = through_pipe ? write_fifo(fifo, text) : std::thread();
            std::vector<std::string> args = {"-H", "-n", "hello"};
            if (dash) args.push_back("-");
            const CliRun r = cli(args, through_pipe ? fifo : dir / "io/input.txt");
            if (writer.joinable()) writer.join();
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, "(standard input)\t4\t2\n(standard input)\t14\t3\n") << dash << through_pipe;
        }
    }
}

// Some 3 MB with occurrences across every read: from a file, and through a
// pipe read in pieces of whatever size it gives, the offsets and line
// numbers are those of the whole text.
TEST_F(CliOutputTest, LongFileAndPipeMatchAnIndependentSearch) {
    std::string text;
    for (int i = 0; text.size() < 3'000'000; ++i) text += i % 7 == 0 ? "needle\n" : i % 5 == 0 ? "needneedle" : "abcdefghij";
    add("long.txt", text);
    const std::string fifo = dir / "io/long.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::thread writer = write_fifo(fifo, text);
    const CliRun piped = cli({"-H", "-n", "needle", fifo});
    writer.join();
    const CliRun file = cli({"-H", "-n", "needle", "long.txt"});
    std::string want_piped, want_file;
    for (const std::string& at : find_all(text, "needle", {.lines = true})) {
        want_piped += fifo + "\t" + at + "\n";
        want_file += tree("long.txt") + "\t" + at + "\n";
    }
    EXPECT_GT(want_file.size(), 1'000'000u);
    EXPECT_TRUE(piped.out == want_piped) << piped.err;
    EXPECT_TRUE(file.out == want_file) << file.err;
}

// With a FIFO given after a.txt, a.txt is printed while the FIFO waits for
// its writer; with -q the run ends at a.txt and never opens the FIFO.
TEST_F(CliOutputTest, FoundFilesArePrintedBeforeAPipeGivenLastIsClosed) {
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    pid_t pid = start_cli({"--resource-dir", dir / "res", "-q", "hello", tree("a.txt"), fifo}, dir / "io");
    int wstatus = 0;
    if (!wait_for([&] { return ::waitpid(pid, &wstatus, WNOHANG) != 0; })) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, &wstatus, 0);
        ADD_FAILURE() << "-q went on after the first found file";
    }
    EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
    EXPECT_EQ(slurp(dir / "io/stdout"), "");

    pid = start_cli({"--resource-dir", dir / "res", "hello", tree("a.txt"), fifo}, dir / "io");
    // The writer end opens once the program has opened the reading end.
    int writer = -1;
    ASSERT_TRUE(wait_for([&] { return (writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; }));
    EXPECT_TRUE(wait_for([&] { return !slurp(dir / "io/stdout").empty(); }));
    EXPECT_EQ(slurp(dir / "io/stdout"), tree("a.txt") + "\t12\n");
    EXPECT_EQ(::waitpid(pid, &wstatus, WNOHANG), 0) << "ended before the pipe was closed";
    ASSERT_EQ(::write(writer, "xhello", 6), 6);
    ::close(writer);
    const CliRun r = finish_cli(pid, dir / "io");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, tree("a.txt") + "\t12\n" + fifo + "\t1\n");
}

TEST_F(CliOutputTest, ABlockDeviceIsSearchedLikeAFile) {
    // A loop device over an image of 1 MiB with occurrences at the start,
    // across a 256 KiB boundary and at the very end.
    std::string image(1 << 20, 'z');
    const std::size_t at[] = {0, (256 << 10) - 3, image.size() - 6};
    for (const std::size_t a : at) image.replace(a, 6, "needle");
    write_file(dir / "disk.img", image);
    FILE* p = ::popen(("losetup -f --show '" + dir / "disk.img" + "' 2>/dev/null").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char name[128] = {};
    const bool got = std::fgets(name, sizeof name, p) != nullptr;
    if (::pclose(p) != 0 || !got) GTEST_SKIP() << "no loop device can be made here";
    const std::string device = std::string(name).substr(0, std::strcspn(name, "\n"));
    const CliRun r = cli({"-H", "needle", device});
    std::system(("losetup -d " + device).c_str());
    EXPECT_EQ(r.status, 0) << r.err;
    std::string want;
    for (const std::size_t a : at) want += device + "\t" + std::to_string(a) + "\n";
    EXPECT_EQ(r.out, want);
}

}  // namespace
