// trawlex-cli end to end on a small tree: what it finds, compared with a
// plain byte-by-byte search or with exact expected output; its usage errors;
// its exit statuses with unreadable files; its resource folder.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "cli/cli_run.h"
#include "engine/search_support.h"
#include "engine/tw.h"

using namespace tw_test;
namespace fs = std::filesystem;

namespace {

using CliTest = CliFixture;

TEST_F(CliTest, TreeSearchesMatchAnIndependentSearch) {
    const struct Case {
        std::vector<std::string> args;
        std::string pattern, mode;
        Find find;
        bool hidden;
    } cases[] = {
        {{"hello"}, "hello", "", {}, false},
        {{"--hidden", "hello"}, "hello", "", {}, true},
        {{"-n", "hello"}, "hello", "-n", {}, false},
        {{"-c", "hello"}, "hello", "-c", {}, false},
        {{"-l", "hello"}, "hello", "-l", {}, false},
        {{"-i", "HELLO"}, "hello", "", {.fold = true}, false},
        {{"--hex", "68 65 6C6C 6F"}, "hello", "", {}, false},
        {{"--wildcard", ".", "h.llo"}, "h.llo", "", {.wildcard = '.'}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front());
        std::vector<std::string> args = c.args;
        args.push_back(".");
        const CliRun r = cli(args);
        EXPECT_EQ(std::tie(r.status, r.err), std::tuple(0, ""));
        EXPECT_EQ(sorted(parse_escaped(r.out)), truth(c.pattern, c.mode, c.find, c.hidden));
    }
}

TEST_F(CliTest, AnyNumberOfThreadsGivesTheSameOutputInTheSameOrder) {
    const CliRun one = cli({"-n", "-j", "1", "hello", "."});
    ASSERT_EQ(one.status, 0) << one.err;
    for (const char* n : {"0", "2", "7"}) EXPECT_EQ(cli({"-n", "--threads", n, "hello", "."}).out, one.out) << n;
}

// Without --resource-dir, --report or --target nothing needs result files:
// none are written (not even a temporary folder), and -q, -l and -m stop
// reading a file once the output has what it needs. Every output is still
// the one a full scan gives, whatever the threads.
TEST_F(CliTest, RunsWithoutResultFilesPrintWhatAFullScanPrints) {
    std::string big;  // occurrences all through several text buffers and pieces
    for (int i = 0; i < 6000; ++i) big += std::string(i % 700, 'x') + "hello\n";
    add("big1.txt", big);
    add("sub/big2.txt", big);
    const std::vector<std::string> env = {"TMPDIR=" + dir / "no-such-folder"};
    const std::vector<std::vector<std::string>> modes = {
        {"-l"}, {"-q"}, {"-m", "1"}, {"-m", "4000"}, {"-c", "-m", "3"}, {"-n", "-m", "2"}, {"-c"}, {}};
    const auto same_as_full = [&](std::vector<std::string> args, std::initializer_list<std::string> more) {
        args.insert(args.end(), more);
        const CliRun full = cli(args), bare = run_cli(args, dir / "io", tree(""), env);
        EXPECT_EQ(std::tie(bare.status, bare.out, bare.err), std::tie(full.status, full.out, full.err))
            << ::testing::PrintToString(args);
    };
    for (const auto& mode : modes)
        for (const char* threads : {"1", "3"}) same_as_full(mode, {"-j", threads, "hello", "."});
    // A file item of several pieces, which scanning threads share.
    std::string huge;
    while (huge.size() < (std::size_t{9} << 20)) huge += std::string(997, 'y') + "hello";
    add("huge.txt", huge);
    for (const auto& mode : modes) same_as_full(mode, {"hello", "huge.txt", "a.txt"});
    // The early stop shows in --json: a file is read up to what -l needs
    // (on one thread; scanning threads may read ahead before they hear it).
    const auto found_count = [](const std::string& out) {
        const std::size_t at = out.find("\"matches_found\":");
        return at == std::string::npos ? -1 : std::atol(out.c_str() + at + 16);
    };
    EXPECT_EQ(found_count(cli({"-j", "1", "--json", "-l", "hello", "big1.txt"}).out), 6000);
    EXPECT_LT(found_count(run_cli({"-j", "1", "--json", "-l", "hello", "big1.txt"}, dir / "io",
                                  tree(""), env)
                              .out),
              6000);
}

// Items in the order given, relative paths joined to the current folder,
// line ends, byte patterns, encodings and -m.
TEST_F(CliTest, SmallSearchesGiveTheirExactOutput) {
    const std::string c = "sub/deeper/c.txt", b = "sub/b.bin";
    add("real/deeper/x.txt", "nothing");
    add("real/f", "say hello");
    ASSERT_EQ(::symlink("real/deeper", tree("lnk").c_str()), 0);
    check({
        // As text, lnk/../f would be tree/f, which does not exist.
        {{"hello", "lnk/../f", "./lnk/.."}, 0, {"lnk/../f\t4", "lnk/../f\t4"}, ""},
        {{"world", "./a.txt", "sub/"}, 0, {"a.txt\t6"}, ""},
        {{"absent", "."}, 1, {}, ""},
        {{"-c", "absent", "."}, 1, {}, ""},
        {{"hello", c, "a.txt"}, 0, {c + "\t19", c + "\t25", "a.txt\t12"}, ""},
        {{"-H", "-n", "hello", c}, 0, {c + "\t19\t3", c + "\t25\t3"}, ""},
        {{"-H", "-n", "--eol", "cr", "hello", c}, 0, {c + "\t19\t2", c + "\t25\t3"}, ""},
        {{"-H", "-i", "HELLO", "fold.txt"}, 0, {"fold.txt\t0", "fold.txt\t13"}, ""},
        {{"--hex", "--wildcard", "?", "FF 00 ? 65", "."}, 0, {b + "\t6"}, ""},
        {{"h.llo", "."}, 1, {}, ""},  // without --wildcard the dot is an ordinary byte
        // With -x a digit pair is always its byte, never the wildcard.
        {{"--hex", "--wildcard", "?", "68 3F 6C 6C 6F", "."}, 1, {}, ""},
        {{"--hex", "--wildcard", "o", "6F FF o 68", "."}, 0, {b + "\t5"}, ""},
        {{"-H", "--hex", "-i", "--wildcard", "Z", "48 Z 4C 4C 4F", "a.txt"}, 0, {"a.txt\t0", "a.txt\t12", "a.txt\t24"}, ""},
        {{"-E", "utf-16", "h\xC3\xA9t\xC3\xA9", "."}, 0, {"utf16.txt\t0"}, ""},
        {{"--encoding", "latin1", "caf\xC3\xA9", "."}, 0, {"latin1.txt\t0"}, ""},
        {{"caf\xC3\xA9", "."}, 0, {"latin1.txt\t5"}, ""},
        // A typed ASCII pattern needs no converter: ICU is not even loaded.
        {{"-c", "libicuuc", "/proc/self/maps"}, 1, {}, ""},
        {{"-m", "2", "hello", b, "a.txt"}, 0, {b + "\t1", b + "\t8", "a.txt\t12"}, ""},
        {{"-m", "0", "hello", b, "a.txt"}, 1, {}, ""},
        {{"-m", "2", "-c", "hello", b, "a.txt"}, 0, {b + "\t2", "a.txt\t1"}, ""},
        {{"-m", "1", "-n", "hello", b, "a.txt"}, 0, {b + "\t1\t1", "a.txt\t12\t2"}, ""},
    });
}

TEST_F(CliTest, BadOptionsAndPatternsAreRefusedWithAMessage) {
    check({
        {{"-y", "x", "."}, 2, {}, "unknown option -y"},
        {{"--frobnicate", "x", "."}, 2, {}, "unknown option --frobnicate"},
        {{"x", ".", "-e"}, 2, {}, "needs a value"},
        {{}, 2, {}, "missing PATTERN and PATH"},
        {{"-m", "many", "x", "."}, 2, {}, "--max-count takes a number"},
        {{"--json", "-0", "x", "."}, 2, {}, "--json and --null cannot be combined"},
        {{"-c", "-l", "x", "."}, 2, {}, "cannot be combined"},
        {{"-E", "klingon", "x", "."}, 2, {}, "unknown encoding 'klingon'"},
        {{"--eol", "crlf", "x", "."}, 2, {}, "--eol takes cr or lf"},
        {{"-j", "two", "x", "."}, 2, {}, "--threads takes a number from 0 to 1024, not 'two'"},
        {{"-j", "5000", "x", "."}, 2, {}, "--threads takes a number"},
        {{"--wildcard", "ab", "x", "."}, 2, {}, "the wildcard must be one byte"},
        // The pattern's own refusals are compared with the windows' in the
        // search window's test.
        {{"--hex", "--wildcard", "?", "6?8", "."}, 2, {}, "invalid hexadecimal character '?' at position 2"},
        {{"\xFF", "."}, 2, {}, "not valid UTF-8"},
        {{"--target", "x", "-i"}, 2, {}, "--ignore-case cannot be combined with --target"},
        {{"hello", "a.txt", "missing.txt"}, 2, {"a.txt\t12"}, "missing.txt: No such file or directory"},
    });
    // A pattern alone reads standard input, unless that is a terminal.
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(terminal >= 0 && ::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0);
    CliRun r = cli({"hello"}, ::ptsname(terminal));
    ::close(terminal);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("missing PATH to search (standard input is a terminal)"), std::string::npos);
    r = cli({"hello", "."}, "/dev/null", {"TRAWLEX_ISA=avx512"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("TRAWLEX_ISA is 'avx512'; it must be one of scalar, sse2 or avx2"), std::string::npos);
    EXPECT_EQ(cli({"hello", "."}, "/dev/null", {"TRAWLEX_ISA=scalar"}).status, 0);
}

// What scripts read goes to standard output, what people read to standard
// error: the help and the version are output, the statistics are not (the
// output stays that of a run without them). A character device named as an
// item is read as a stream, and so is a socket someone answers on; a socket
// nobody answers on is named and skipped.
TEST_F(CliTest, EachTextGoesToItsStreamAndSpecialItemsAreNamed) {
    const std::string socket_path = dir / "io/sock";
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socket_path.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    // A second socket answers once with a greeting.
    const std::string answering_path = dir / "io/answers";
    const int answering = ::socket(AF_UNIX, SOCK_STREAM, 0);
    std::strcpy(address.sun_path, answering_path.c_str());
    ASSERT_EQ(::bind(answering, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(answering, 1), 0);
    std::thread server([answering] {
        const int peer = ::accept(answering, nullptr, nullptr);
        if (peer < 0) return;
        const char greeting[] = "say hello";
        [[maybe_unused]] const ssize_t n = ::write(peer, greeting, sizeof greeting - 1);
        ::close(peer);
    });
    const CliRun plain = cli({"hello", "a.txt", "sub"});
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out_starts;  // "=" + text: the whole output
        std::string err_part;    // empty: no error output at all
    };
    const Row rows[] = {
        {{"--help"}, 0, "Usage: trawlex-cli [OPTION]... PATTERN [PATH]...", ""},
        {{"--version"}, 0, "=trawlex-cli (Trawlex) " TRAWLEX_VERSION "\nSearches files for every occurrence of a byte string.\n", ""},
        {{"--stats", "hello", "a.txt", "sub"}, 0, "=" + plain.out, "4 files scanned"},
        {{"-H", "hello", "/dev/null"}, 1, "=", ""},
        {{"-H", "hello", socket_path, "a.txt"}, 2, "=" + tree("a.txt") + "\t12\n", "trawlex-cli: " + socket_path + ": "},
        {{"-H", "hello", answering_path}, 0, "=" + answering_path + "\t4\n", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        const CliRun r = cli(row.args);
        EXPECT_EQ(r.status, row.status);
        if (row.out_starts.starts_with("=")) EXPECT_EQ(r.out, row.out_starts.substr(1));
        else EXPECT_TRUE(r.out.find(row.out_starts) != std::string::npos) << r.out;
        if (row.err_part.empty()) EXPECT_EQ(r.err, "");
        else EXPECT_NE(r.err.find(row.err_part), std::string::npos) << r.err;
    }
    ::shutdown(answering, SHUT_RDWR);  // wakes an accept that nobody reached
    server.join();
    ::close(sock);
    ::close(answering);
}

// As an unprivileged user, for whom an unreadable file is unreadable: it is
// named and skipped wherever it stands (status 2), ends the search with
// --stop-on-error, and -q still says 0 when something was found.
TEST_F(CliTest, ExitStatusWithUnreadableFiles) {
    const std::string locked = "sub/deeper/locked.txt", report = dir / "io/missing/report.txt";
    add(locked, "hello");
    ::chmod(tree(locked).c_str(), 0);
    const std::string named = "trawlex-cli: " + tree(locked) + ": Permission denied\n";
    check({{{"hello", locked, "a.txt"}, 2, {"a.txt\t12"}, named},
           {{"hello", "a.txt", locked}, 2, {"a.txt\t12"}, named},
           {{"hello", "sub/deeper"}, 2, {"sub/deeper/c.txt\t19", "sub/deeper/c.txt\t25"}, named},
           {{"absent", locked, "a.txt"}, 2, {}, named},
           {{"--no-messages", "hello", locked, "a.txt"}, 2, {"a.txt\t12"}, ""},
           {{"-q", "hello", "a.txt"}, 0, {}, ""},
           {{"-q", "absent", "a.txt"}, 1, {}, ""},
           {{"-q", "hello", locked, "a.txt"}, 0, {}, named},
           {{"-q", "absent", locked, "a.txt"}, 2, {}, named},
           {{"--stop-on-error", "hello", locked, "a.txt"}, 2, {}, named + "trawlex-cli: the search was ended"},
           // The report's failure gives the report's own reason.
           {{"--report", report, "hello", locked, "a.txt"}, 2, {"a.txt\t12"},
            "cannot write the report: cannot open file: " + report + ": No such file or directory"}},
          true);
}

// The resource folder: stored targets, the result folder and its lock,
// the default and temporary folders, and the text report.
using CliResultTest = CliFixture;

// Saves targets searching the tree, numbered from 0; a letter wildcard
// comes with Ignore case.
struct Stored {
    std::string name, pattern;
    char letter_wildcard = 0;
};
void save_targets(const std::string& resource, const std::string& tree,
                  const std::vector<Stored>& targets) {
    fs::create_directories(resource + "/TW_target");
    fs::create_directories(resource + "/TW_found");
    tw::Engine e;
    e.resource_dir_pathname_ptr = resource;
    ASSERT_EQ(e.initialize_and_load_tw_parameter(), 0u);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        set_target(e, targets[i].pattern, {{tree, true}});
        std::free(e.tr.target_name);
        e.tr.target_name = strdup(targets[i].name.c_str());
        if (targets[i].letter_wildcard != 0) {
            e.tr.wildcard_char = static_cast<unsigned char>(targets[i].letter_wildcard);
            e.tr.use_wildcard = e.tr.case_insensitive = 1;
        }
        ASSERT_EQ(e.save_target_file(i, e.tr), 0u);
    }
}

// By number, by name, or by "name:" for a name made of digits; a damaged
// target file is named and the others still run.
TEST_F(CliResultTest, StoredTargetsRunByNameOrNumber) {
    save_targets(dir / "res", tree(""),
                 {{"my target", "again"}, {"7", "again"}, {"broken", "world"}, {"folded", "aGain", 'g'}});
    write_file(dir / "res/TW_target/TW_target_002", "damaged");
    const std::string warning = "warning: the damaged target file " + dir / "res/TW_target/TW_target_002";
    check({
        {{"--target", "my target"}, 0, {"a.txt\t18"}, warning},
        {{"--target", "0", "-n"}, 0, {"a.txt\t18\t2"}, warning},
        {{"--target", "name:7"}, 0, {"a.txt\t18"}, warning},
        {{"--target", "7"}, 2, {}, "no stored target number 7"},
        {{"--target", "other"}, 2, {}, "no stored target named 'other'"},
        {{"--target", "name:other"}, 2, {}, "no stored target named 'other'"},
        {{"--target", "broken"}, 2, {}, "no stored target named 'broken'"},
        // Refused as the same typed pattern is (it would find "again").
        {{"--target", "folded"}, 2, {}, "the wildcard 'g' with Ignore case, which folds it together with the letter 'G'/'g'"},
    });
}

// Without --resource-dir the application's folder is read for targets but
// never written: the result goes to a temporary folder removed at exit.
TEST_F(CliResultTest, WithoutResourceFolderTheResultIsPrivate) {
    fs::create_directories(dir / "tmp");
    const std::vector<std::string> env = {"XDG_DATA_HOME=" + dir / "data", "TMPDIR=" + dir / "tmp"};
    save_targets(dir / "data/Trawlex", tree(""), {{"only", "again"}});
    const CliRun r = run_cli({"--target", "0"}, dir / "io", "/", env);
    EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tuple(0, tree("a.txt") + "\t18\n", ""));
    EXPECT_TRUE(fs::is_empty(dir / "data/Trawlex/TW_found"));
    EXPECT_FALSE(fs::exists(dir / "data/Trawlex/TW_preference"));
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
}

TEST_F(CliResultTest, ABusyFolderIsWaitedForOrRefusedWithNoWait) {
    fs::create_directories(dir / "res/TW_found");
    tw::FoundLock held;
    ASSERT_EQ(held.try_take(dir / "res/TW_found", true, nullptr), tw::FoundLock::Result::Taken);
    check({{{"--no-wait", "world", "."}, 2, {}, "another search is writing the result folder " + dir / "res/TW_found"}});
    fs::create_directories(dir / "io2");
    const pid_t pid = start_cli({"--resource-dir", dir / "res", "world", tree("")}, dir / "io2");
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(wait_for([&] { return !slurp(dir / "io2/stderr").empty(); }));
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "the second run did not wait";
    held.release();
    const CliRun r = finish_cli(pid, dir / "io2");
    EXPECT_EQ(std::tie(r.status, r.out, r.err),
              std::tuple(0, tree("a.txt") + "\t6\n",
                         "trawlex-cli: waiting for another search to finish writing " + dir / "res/TW_found" + "\n"));
}

// A result is written only into a result folder that is empty or holds a
// Trawlex result, and never through a link planted there: the link stays,
// pointing at an untouched file.
TEST_F(CliResultTest, ResultFilesAreCreatedNeverFollowed) {
    write_file(dir / "io/victim", "precious");
    const std::string found = dir / "res/TW_found";
    fs::create_directories(dir / "res/TW_found");
    for (const char* name : {"TW_found_header", "TW_found_offset", "TW_found_path", "TW_found_info"}) {
        fs::remove((found + "/" + name));
        ::symlink((dir / "io/victim").c_str(), ((found + "/" + name)).c_str());
        check({{{"world", "."}, 2, {}, "cannot write the result file " + (found + "/" + name)}});
        EXPECT_TRUE(fs::is_symlink((found + "/" + name))) << name;
        EXPECT_EQ(slurp(dir / "io/victim"), "precious") << name;
        fs::remove((found + "/" + name));
    }
    // Other files without a result: refused, left as they were.
    fs::remove_all(dir / "res/TW_found");
    fs::create_directories(dir / "res/TW_found");
    write_file(dir / "res/TW_found/notes.txt", "mine");
    check({{{"world", "."}, 2, {}, "the result folder " + dir / "res/TW_found" + " holds other files and no Trawlex result"}});
    EXPECT_EQ(slurp(dir / "res/TW_found/notes.txt"), "mine");
    // Beside a Trawlex result they are the user's business.
    write_file(dir / "res/TW_found/TW_found_header", "");
    check({{{"world", "."}, 0, {"a.txt\t6"}, ""}});
}

// The report is written beside the output, also through a link, which stays
// a link; a failed write is named, with status 2.
TEST_F(CliResultTest, ReportIsWrittenBesideTheOutput) {
    CliRun r = cli({"-n", "--report", dir / "io/report.txt", "world", "."});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(slurp(dir / "io/report.txt"),
              "**** Search result for target 'trawlex-cli' *****\n\n"
              "Number of files with at least one occurence: 1\n\n" +
                  tree("a.txt") + "\nNumber of found: 1, First at file offset: 6, Line: 1\n\n");
    ::symlink("/dev/full", (dir / "io/full").c_str());
    check({{{"--report", dir / "io/full", "world", "."}, 2, {"a.txt\t6"},
            "cannot write the report: cannot write file: " + dir / "io/full" + ": No space left on device\n"}});
    EXPECT_TRUE(fs::is_symlink(dir / "io/full"));
}

}  // namespace
