// trawlex-cli end to end: the built program runs on temporary trees and its
// output is compared with occurrences found here by a plain byte-by-byte
// search.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/tw.h"
#include "support/temp_dir.h"
#include "engine/search_support.h"
#include "cli/cli_run.h"

using namespace tw_test;

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Occurrences per file, in the order the output lists them; a file whose
// lines are not contiguous fails the test.
using Found = std::map<std::string, std::vector<std::string>>;
Found group_by_path(const std::string& output) {
    Found found;
    std::string last;
    for (const std::string& line : lines_of(output)) {
        const auto tab = line.find('\t');
        EXPECT_NE(tab, std::string::npos) << line;
        if (tab == std::string::npos) continue;
        const std::string path = line.substr(0, tab);
        if (path != last) {
            EXPECT_EQ(found.count(path), 0u) << path << " listed twice";
        }
        last = path;
        found[path].push_back(line.substr(tab + 1));
    }
    return found;
}

struct Match {
    int wildcard = -1;
    bool ignore_case = false;
    char eol = '\n';
    bool lines = false;
};

unsigned char fold(unsigned char c, bool ignore_case) {
    return ignore_case && c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

// Every start position of `pattern` in `text`, as "OFFSET" or
// "OFFSET<TAB>LINE", found by comparing at each position.
std::vector<std::string> naive_find(const std::string& text, const std::string& pattern, Match m = {}) {
    std::vector<std::string> out;
    std::size_t line = 1;
    for (std::size_t i = 0; i + pattern.size() <= text.size(); ++i) {
        bool equal = true;
        for (std::size_t k = 0; k < pattern.size() && equal; ++k) {
            const auto p = static_cast<unsigned char>(pattern[k]);
            if (m.wildcard >= 0 && p == m.wildcard) continue;
            equal = fold(static_cast<unsigned char>(text[i + k]), m.ignore_case) == fold(p, m.ignore_case);
        }
        if (equal) out.push_back(std::to_string(i) + (m.lines ? "\t" + std::to_string(line) : ""));
        if (text[i] == m.eol) ++line;
    }
    return out;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Writable by everybody (mkdir's mode is cut by the umask), for the
        // runs as an unprivileged user.
        for (const char* shared : {"res", "io"}) {
            ::mkdir((dir / shared).c_str(), 0777);
            ::chmod((dir / shared).c_str(), 0777);
        }
        ::mkdir((dir / "tree").c_str(), 0755);
        ::mkdir((dir / "tree/sub").c_str(), 0755);
        ::mkdir((dir / "tree/sub/deeper").c_str(), 0755);
        ::mkdir((dir / "tree/.dotdir").c_str(), 0755);
        add("a.txt", "Hello world\nhello again\nHELLO\nno match here\n");
        add("sub/b.bin", std::string("\0hello\xff\0hellohello", 18));
        add("sub/deeper/c.txt", "line 1\nline 2\r\nsay hello\rhello\n");
        add("sub/none.txt", "nothing to see");
        add(".dotfile", "hello hidden");
        add(".dotdir/d.txt", "hello in a hidden folder");
    }

    void add(const std::string& rel, const std::string& content) {
        write_file(dir / ("tree/" + rel), content);
        files[rel] = content;
    }

    // The expected output grouped by path, for every file of the tree.
    Found expected(const std::string& pattern, Match m = {}, bool hidden = false) {
        Found f;
        for (const auto& [rel, content] : files) {
            if (!hidden && (rel[0] == '.')) continue;
            auto offsets = naive_find(content, pattern, m);
            if (!offsets.empty()) f[dir / ("tree/" + rel)] = offsets;
        }
        return f;
    }

    CliRun cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--resource-dir", dir / "res"});
        return run_cli(args, dir / "io");
    }

    TempDir dir;
    std::map<std::string, std::string> files;
};

TEST_F(CliTest, OccurrencesOfATreeMatchAnIndependentSearch) {
    const CliRun r = cli({"hello", dir / "tree"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(group_by_path(r.out), expected("hello"));
    EXPECT_EQ(group_by_path(r.out).size(), 3u);

    const CliRun hidden = cli({"--hidden", "hello", dir / "tree"});
    EXPECT_EQ(hidden.status, 0);
    EXPECT_EQ(group_by_path(hidden.out), expected("hello", {}, true));
}

TEST_F(CliTest, AnyNumberOfThreadsGivesTheSameOutput) {
    const CliRun one = cli({"-n", "-j", "1", "hello", dir / "tree"});
    ASSERT_EQ(one.status, 0) << one.err;
    for (const char* n : {"0", "2", "7"}) {
        const CliRun many = cli({"-n", "--threads", n, "hello", dir / "tree"});
        EXPECT_EQ(many.status, 0) << many.err;
        EXPECT_EQ(many.out, one.out) << n;
    }
}

TEST_F(CliTest, ExitStatusTellsWhetherAnythingWasFound) {
    CliRun r = cli({"absent", dir / "tree"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    r = cli({"-c", "absent", dir / "tree"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    r = cli({"world", dir / "tree/a.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, dir / "tree/a.txt" + "\t6\n");
}

TEST_F(CliTest, FileAndFolderItemsAreSearchedInTheGivenOrder) {
    const CliRun r = cli({"hello", dir / "tree/sub/deeper/c.txt", dir / "tree/a.txt"});
    EXPECT_EQ(r.status, 0);
    const std::string c = dir / "tree/sub/deeper/c.txt", a = dir / "tree/a.txt";
    EXPECT_EQ(r.out, c + "\t19\n" + c + "\t25\n" + a + "\t12\n");
}

TEST_F(CliTest, LineNumbersCountFromOneWithEitherEndOfLine) {
    CliRun r = cli({"-n", "hello", dir / "tree"});
    EXPECT_EQ(r.status, 0);
    Match lf;
    lf.lines = true;
    EXPECT_EQ(group_by_path(r.out), expected("hello", lf));
    EXPECT_EQ(group_by_path(r.out)[dir / "tree/sub/deeper/c.txt"],
              (std::vector<std::string>{"19\t3", "25\t3"}));

    r = cli({"-n", "--eol", "cr", "hello", dir / "tree/sub/deeper/c.txt"});
    Match cr = lf;
    cr.eol = '\r';
    EXPECT_EQ(group_by_path(r.out), (Found{{dir / "tree/sub/deeper/c.txt",
                                           naive_find(files["sub/deeper/c.txt"], "hello", cr)}}));
    EXPECT_EQ(group_by_path(r.out)[dir / "tree/sub/deeper/c.txt"],
              (std::vector<std::string>{"19\t2", "25\t3"}));
}

TEST_F(CliTest, CountGivesOneLinePerFoundFile) {
    const CliRun r = cli({"-c", "hello", dir / "tree"});
    EXPECT_EQ(r.status, 0);
    Found want;
    for (const auto& [path, offsets] : expected("hello")) want[path] = {std::to_string(offsets.size())};
    EXPECT_EQ(group_by_path(r.out), want);
}

TEST_F(CliTest, CaseFoldingIsAsciiOnly) {
    add("fold.txt", "HeLLo h\xC3\x89llo hello \xC3\xA9");
    const CliRun r = cli({"-i", "HELLO", dir / "tree"});
    EXPECT_EQ(r.status, 0);
    Match m;
    m.ignore_case = true;
    EXPECT_EQ(group_by_path(r.out), expected("hello", m));
    EXPECT_EQ(group_by_path(r.out)[dir / "tree/fold.txt"], (std::vector<std::string>{"0", "13"}));
}

TEST_F(CliTest, HexadecimalAndWildcardPatterns) {
    CliRun r = cli({"-x", "68 65 6C6C 6F", dir / "tree"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(group_by_path(r.out), expected("hello"));

    // "ff 00 ? 65": the byte after 0xFF 0x00 may be anything.
    r = cli({"-x", "-w", "?", "FF 00 ? 65", dir / "tree"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, dir / "tree/sub/b.bin" + "\t6\n");

    Match m;
    m.wildcard = '.';
    r = cli({"-w", ".", "h.llo", dir / "tree"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(group_by_path(r.out), expected("h.llo", m));

    // Without -w the same character is an ordinary byte.
    r = cli({"h.llo", dir / "tree"});
    EXPECT_EQ(r.status, 1);
}

TEST_F(CliTest, PatternIsSearchedInTheChosenEncoding) {
    add("utf16.txt", std::string("h\0\xE9\0t\0\xE9\0", 8));
    add("latin1.txt", "caf\xE9 caf\xC3\xA9");
    CliRun r = cli({"-e", "utf-16", "h\xC3\xA9t\xC3\xA9", dir / "tree"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, dir / "tree/utf16.txt" + "\t0\n");
    r = cli({"-e", "latin1", "caf\xC3\xA9", dir / "tree"});
    EXPECT_EQ(r.out, dir / "tree/latin1.txt" + "\t0\n");
    r = cli({"caf\xC3\xA9", dir / "tree"});
    EXPECT_EQ(r.out, dir / "tree/latin1.txt" + "\t5\n");
}

TEST_F(CliTest, BadOptionsAndPatternsAreRefusedWithAMessage) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"-y", "x", dir / "tree"}, "unknown option -y"},
        {{"-m", "many", "x", dir / "tree"}, "--max-count takes a number"},
        {{"--json", "-0", "x", dir / "tree"}, "--json and --null cannot be combined"},
        {{"-c", "-l", "x", dir / "tree"}, "cannot be combined"},
        {{"-i", "-w", "H", "aHb", dir / "tree"}, "the wildcard 'H' is folded together with the letter"},
        {{"-i", "-w", "h", "aHb", dir / "tree"}, "the wildcard 'h' is folded together with the letter"},
        {{"--frobnicate", "x", dir / "tree"}, "unknown option --frobnicate"},
        {{"x", dir / "tree", "-e"}, "needs a value"},
        {{"-e", "klingon", "x", dir / "tree"}, "unknown encoding 'klingon'"},
        {{"--eol", "crlf", "x", dir / "tree"}, "--eol takes cr or lf"},
        {{"-j", "two", "x", dir / "tree"}, "--threads takes a number from 0 to 1024, not 'two'"},
        {{"--threads", "-1", "x", dir / "tree"}, "--threads takes a number"},
        {{"-j", "5000", "x", dir / "tree"}, "--threads takes a number"},
        {{"-w", "ab", "x", dir / "tree"}, "the wildcard must be one byte"},
        {{}, "missing PATTERN and PATH"},
        {{"-x", "68 6G", dir / "tree"}, "invalid hexadecimal character 'G' at position 5"},
        {{"-x", "-w", "?", "6?8", dir / "tree"}, "invalid hexadecimal character '?' at position 2"},
        {{"-x", "  ", dir / "tree"}, "the pattern is empty"},
        {{"", dir / "tree"}, "the pattern is empty"},
        {{"-w", "?", "?ab", dir / "tree"}, "must not begin or end with the wildcard"},
        {{"-e", "ascii", "caf\xC3\xA9", dir / "tree"}, "cannot represent"},
        {{"\xFF", dir / "tree"}, "not valid UTF-8"},
        {{"--target", "x", "-i"}, "--ignore-case cannot be combined with --target"},
    };
    for (const Case& c : cases) {
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.rfind("trawlex-cli: ", 0), 0u) << r.err;
    }
}

TEST_F(CliTest, PatternAloneWithATerminalAsInputIsRefused) {
    const CliRun r = run_cli({"hello"}, dir / "io", "/", {}, kStdinTerminal);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("missing PATH to search (standard input is a terminal)"), std::string::npos)
        << r.err;
}

TEST_F(CliTest, MissingPathIsAnErrorBeforeAnySearch) {
    const CliRun r = cli({"hello", dir / "tree", dir / "tree/missing.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(dir / "tree/missing.txt" + ": No such file or directory"), std::string::npos);
}

TEST_F(CliTest, RelativePathsArePrintedAbsolute) {
    const CliRun r = run_cli({"--resource-dir", "../res", "world", "./a.txt", "sub/"}, dir / "io",
                          dir / "tree");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir / "tree/a.txt" + "\t6\n");
}

TEST_F(CliTest, ReportIsWrittenBesideTheOutput) {
    const CliRun r = cli({"-n", "--report", dir / "io/report.txt", "world", dir / "tree"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(slurp(dir / "io/report.txt"),
              "**** Search result for target 'trawlex-cli' *****\n\n"
              "Number of files with at least one occurence: 1\n\n" +
                  dir / "tree/a.txt" + "\nNumber of found: 1, First at file offset: 6, Line: 1\n\n");
    const CliRun bad = cli({"--report", dir / "io/missing/report.txt", "world", dir / "tree"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, dir / "tree/a.txt" + "\t6\n");
    EXPECT_NE(bad.err.find("cannot write the report"), std::string::npos);
}

TEST_F(CliTest, StatsGoToStandardError) {
    const CliRun r = cli({"--stats", "hello", dir / "tree"});
    EXPECT_EQ(r.status, 0);
    const auto lines = lines_of(r.err);
    ASSERT_EQ(lines.size(), 2u) << r.err;
    EXPECT_EQ(lines[0].rfind("4 files scanned,   0 errors,  search time: ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "2 directories scanned,   0 errors");
}

TEST_F(CliTest, ManyOccurrencesAcrossBuffersAndPieces) {
    // About 5 MB with some 130,000 occurrences: more than one read of the
    // text and more than one window of result records.
    std::string big;
    for (int i = 0; big.size() < 5'000'000; ++i) big += (i % 7 == 0) ? "ab\n" : "abc xy";
    add("big.txt", big);
    Match m;
    m.lines = true;
    const CliRun r = cli({"-n", "ab\n", dir / "tree/big.txt"});
    EXPECT_EQ(r.status, 0);
    const Found got = group_by_path(r.out);
    ASSERT_EQ(got.size(), 1u);
    const auto want = naive_find(big, "ab\n", m);
    EXPECT_GT(want.size(), 120'000u);
    EXPECT_TRUE(got.begin()->second == want);
}

TEST_F(CliTest, StoredTargetRunsByNameOrNumber) {
    {
        tw::Engine e;
        e.resource_dir_pathname_ptr = dir / "res";
        ::mkdir((dir / "res/TW_target").c_str(), 0755);
        ::mkdir((dir / "res/TW_found").c_str(), 0755);
        ASSERT_EQ(e.initialize_and_load_tw_parameter(), 0u);
        set_target(e, "again", {{dir / "tree", true}});
        std::free(e.tr.target_name);
        e.tr.target_name = strdup("my target");
        ASSERT_EQ(e.save_target_file(0, e.tr), 0u);
        // A target whose name is a number is reached with "name:".
        std::free(e.tr.target_name);
        e.tr.target_name = strdup("7");
        ASSERT_EQ(e.save_target_file(1, e.tr), 0u);
        e.finalize_tw_buffer();
    }
    const std::string want = dir / "tree/a.txt" + "\t18\n";
    CliRun r = cli({"--target", "my target"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, want);
    r = cli({"--target", "0", "-n"});
    EXPECT_EQ(r.out, dir / "tree/a.txt" + "\t18\t2\n");
    r = cli({"--target", "other"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no stored target named 'other'"), std::string::npos);
    r = cli({"--target", "name:7"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, want);
    r = cli({"--target", "7"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no stored target number 7"), std::string::npos);
    r = cli({"--target", "name:other"});
    EXPECT_NE(r.err.find("no stored target named 'other'"), std::string::npos);
    r = cli({"--target", "2"});
    EXPECT_EQ(r.status, 2);
}

TEST_F(CliTest, UnreadableFilesAreNamedAndSkippedOrEndTheSearch) {
    add("sub/locked.txt", "hello");
    ::chmod((dir / "tree/sub/locked.txt").c_str(), 0);
    const std::string a = dir / "tree/a.txt", locked = dir / "tree/sub/locked.txt";
    const std::string named = "trawlex-cli: " + locked + ": Permission denied\n";
    // Named and skipped by default, wherever the unreadable file stands;
    // the status says that something was skipped.
    for (const auto& order : {std::vector<std::string>{locked, a}, std::vector<std::string>{a, locked}}) {
        const int status = run_as_nobody([&] {
            const CliRun r = cli({"hello", order[0], order[1]});
            return r.status == 2 && r.out == a + "\t12\n" && r.err == named ? 0 : 1;
        });
        EXPECT_EQ(status, 0) << order[0];
    }
    int status = run_as_nobody([&] {
        const CliRun r = cli({"hello", dir / "tree/sub"});
        return r.status == 2 && r.err == named && !r.out.empty() ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    // With --stop-on-error the whole search ends there: a.txt after it is
    // not searched.
    status = run_as_nobody([&] {
        const CliRun r = cli({"--stop-on-error", "hello", locked, a});
        return r.status == 2 && r.out.empty() && r.err.rfind(named, 0) == 0 &&
                       r.err.find("the search was ended at the first file or folder that could not "
                                  "be read (--stop-on-error)") != std::string::npos
                   ? 0
                   : 1;
    });
    EXPECT_EQ(status, 0);
    status = run_as_nobody([&] {
        const CliRun r = cli({"--stop-on-error", "hello", dir / "tree/sub", a});
        return r.status == 2 && r.out.find(a) == std::string::npos ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(CliTest, DefaultResourceFolderOrATemporaryOne) {
    ::mkdir((dir / "tmp").c_str(), 0755);
    ::mkdir((dir / "data").c_str(), 0755);
    const std::vector<std::string> env = {"XDG_DATA_HOME=" + dir / "data", "TMPDIR=" + dir / "tmp"};
    // No application folder yet: a temporary one, gone after the run.
    CliRun r = run_cli({"world", dir / "tree"}, dir / "io", "/", env);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, dir / "tree/a.txt" + "\t6\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "data/Trawlex"));

    // The application's folder exists: its result is still left alone.
    std::filesystem::create_directories(dir / "data/Trawlex/TW_found");
    r = run_cli({"world", dir / "tree"}, dir / "io", "/", env);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, dir / "tree/a.txt" + "\t6\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "data/Trawlex/TW_found/TW_found_header"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "data/Trawlex/TW_preference"));
}

}  // namespace
