// trawlex-cli as a drop-in for grep and ripgrep: their letters, their
// handling of missing paths, -m 0, name globs, context lines, colour,
// ripgrep's JSON and a closed output pipe; messages in French.
#include <cstdlib>
#include <sstream>

#include "cli/cli_run.h"

using namespace tw_test;

namespace {

using CliConventionsTest = CliFixture;

// One run: its arguments, its whole output ('@' stands for the tree's
// folder and a slash), its status, a part of its standard error (empty:
// none at all), the peers that must give the same output and status with
// the same arguments in the tree ('@' then stands for nothing), and its
// environment.
struct Row {
    std::vector<std::string> args;
    std::string out;
    int status;
    std::string err;
    std::vector<std::string> peers = {};
    std::vector<std::string> env = {};
};

std::string with_tree(const std::string& text, const std::string& tree) {
    std::string out;
    for (const char c : text) out += c == '@' ? tree : std::string(1, c);
    return out;
}

std::string sorted_lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, eol; (eol = text.find('\n', at)) != std::string::npos; at = eol + 1)
        lines.push_back(text.substr(at, eol - at + 1));
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line;
    return out;
}

TEST_F(CliConventionsTest, LettersAndStatusesAsGrepAndRipgrep) {
    const std::string c = "@sub/deeper/c.txt";
    const std::string fr = "LANGUAGE=fr";
    const std::vector<std::string> grep = {"grep"}, rg = {"rg"}, both = {"grep", "rg"};
    add("wide.txt", "before\n" + std::string(10000, 'x') + "needle" + std::string(10000, 'y') + "\nafter\n");
    const std::string wide = std::string(8192, 'x') + "needle" + std::string(8192, 'y');
    add("forms.bin", "hello" + std::string("h\0e\0l\0l\0o\0", 10) + std::string("\0h\0e\0l\0l\0o", 10));
    add("keys/three", "again\nhello\nello");
    add("keys/none", "");
    add("keys/blank", "again\n\n");
    const Row rows[] = {
        // Letters that mean what they mean in grep and ripgrep.
        {{"-e", "hello", "a.txt"}, "12\n", 0, ""},
        // As grep: one file alone is not named, unless -H asks; -c prints its count alone.
        {{"-c", "hello", "a.txt"}, "1\n", 0, "", grep},
        {{"-H", "-c", "hello", "a.txt"}, "@a.txt\t1\n", 0, ""},
        {{"-c", "hello", "a.txt", "sub/none.txt"}, "@a.txt\t1\n", 0, ""},
        {{"-e", "-dash", "a.txt"}, "", 1, ""},
        {{"-h", "hello", "a.txt"}, "12\n", 0, ""},
        {{"-h", "-c", "hello", "a.txt"}, "1\n", 0, "", grep},
        {{"-H", "-b", "-o", "-F", "-a", "-r", "-R", "hello", "a.txt"}, "@a.txt\t12\n", 0, ""},
        {{"-E", "latin1", "caf\xC3\xA9", "latin1.txt"}, "0\n", 0, ""},
        {{"--hex", "--wildcard", "?", "68 ? 6C", "sub/deeper"}, c + "\t19\n" + c + "\t25\n", 0, ""},
        {{"-l", "-r", "-e", "hello", "a.txt", "sub"}, "@a.txt\n@sub/b.bin\n" + c.substr(0) + "\n", 0, "", grep},
        {{"-l", "-a", "-e", "hello", "a.txt", "sub"}, "@a.txt\n@sub/b.bin\n" + c + "\n", 0, "", rg},
        {{"-L", "-r", "hello", "sub"}, "@sub/none.txt\n", 0, "", grep},
        {{"-L", "hello", "a.txt"}, "", 0, "", grep},
        {{"-L", "absent", "a.txt"}, "@a.txt\n", 1, "", grep},
        {{"-q", "hello", "a.txt"}, "", 0, "", both},
        // -q ends the search at the first file found.
        {{"-q", "--stats", "-j", "1", "hello", "a.txt", "sub"}, "", 0, "1 file scanned,"},
        // Old letters that now mean something else are refused.
        {{"-x", "68", "a.txt"}, "", 2, "use --hex"},
        {{"-w", "?", "h?llo", "a.txt"}, "", 2, "use --wildcard C"},
        // Several patterns and encodings in one pass, each occurrence
        // naming its form; -c, -l, -q and -m count every form's.
        {{"-e", "again", "-e", "hello", "-e", "ello", "a.txt"}, "1\t3\n12\t2\n13\t3\n18\t1\n", 0, ""},
        {{"-n", "-e", "again", "-e", "hello", "a.txt"}, "12\t2\t2\n18\t2\t1\n", 0, ""},
        {{"-c", "-e", "hello", "-e", "again", "a.txt"}, "2\n", 0, ""},
        {{"-l", "-e", "absent", "-e", "again", "a.txt"}, "@a.txt\n", 0, "", both},
        {{"-q", "-e", "absent", "-e", "again", "a.txt"}, "", 0, "", both},
        {{"-m", "1", "-e", "again", "-e", "hello", "a.txt"}, "12\t2\n", 0, ""},
        {{"-E", "utf-8,utf-16le,utf-16be", "hello", "forms.bin"}, "0\tutf-8\n5\tutf-16le\n15\tutf-16be\n", 0, ""},
        {{"-f", "keys/three", "a.txt"}, "1\t3\n12\t2\n13\t3\n18\t1\n", 0, ""},
        {{"-e", "again", "--file=keys/none", "a.txt"}, "18\n", 0, ""},
        {{"-f", "keys/none", "a.txt"}, "", 1, "", grep},
        {{"-f", "keys/blank", "a.txt"}, "", 2, "the pattern is empty"},
        {{"-f", "keys/missing", "a.txt"}, "", 2, "cannot read the pattern file 'keys/missing': No such file"},
        {{"-c", "-E", "all", "-i", "HELLO", "forms.bin"}, "3\n", 0, ""},
        {{"-E", "utf-16be", "-i", "HELLO", "forms.bin"}, "15\n", 0, ""},
        {{"-E", "common", "-i", "HELLO", "forms.bin"}, "0\tascii/utf-8\n5\tutf-16le\n15\tutf-16be\n", 0, ""},
        {{"-E", "latin1,utf-8", "-e", "caf\xC3\xA9", "-e", "caf", "latin1.txt"},
         "0\t1:latin1\n0\t2:latin1/utf-8\n5\t1:utf-8\n5\t2:latin1/utf-8\n", 0, ""},
        // An encoding that cannot write the pattern is left out: one form.
        {{"-E", "ascii,latin1", "caf\xC3\xA9", "latin1.txt"}, "0\n", 0, ""},
        {{"-E", "ascii,latin1", "\xE2\x82\xAC", "latin1.txt"}, "", 2, "the pattern has a character that ascii cannot"},
        {{"-E", "utf-8,nope", "x", "a.txt"}, "", 2, "unknown encoding 'nope'"},
        {{"-l", "-L", "x", "a.txt"}, "", 2, "--files-with-matches and --files-without-match cannot"},
        // Missing paths are named, the others still searched; -m 0.
        {{"-l", "hello", "a.txt", "missing", "sub/deeper/c.txt"}, "@a.txt\n" + c + "\n", 2,
         "trawlex-cli: missing: No such file or directory", both},
        {{"hello", "missing"}, "", 2, "missing: No such file"},
        {{"-e", "latin1", "caf\xC3\xA9", "latin1.txt"}, "", 2, "the encoding is chosen with -E"},
        {{"-m", "0", "hello", "a.txt"}, "", 1, "", both},
        // Names in folders.
        {{"-l", "-r", "--include", "*.txt", "hello", "sub"}, c + "\n", 0, "", grep},
        {{"-l", "-r", "--exclude", "*.bin", "hello", "sub"}, c + "\n", 0, "", grep},
        {{"-l", "-r", "--exclude-dir", "deep*", "hello", "sub"}, "@sub/b.bin\n", 0, "", grep},
        {{"-l", "-r", "--include", "*.bin", "--exclude", "b*", "hello", "sub"}, "", 1, "", grep},
        {{"-l", "-a", "-g", "*.txt", "hello", "sub"}, c + "\n", 0, "", rg},
        {{"-l", "-a", "-g", "!deeper", "hello", "sub"}, "@sub/b.bin\n", 0, "", rg},
        {{"-L", "-g", "*.txt", "hello", "sub"}, "@sub/none.txt\n", 0, ""},
        // Context lines: ':' holds the occurrence, '-' a context line.
        {{"-C", "1", "-n", "again", "a.txt"}, "0\t1\t-Hello world\n18\t2\t:hello again\n24\t3\t-HELLO\n", 0, ""},
        {{"-B", "1", "hello", "a.txt", "sub/deeper/c.txt"},
         "@a.txt\t0\t-Hello world\n@a.txt\t12\t:hello again\n--\n" + c + "\t7\t-line 2\\r\n" + c +
             "\t19\t:say hello\\rhello\n" + c + "\t25\t:say hello\\rhello\n",
         0, ""},
        {{"-A", "5", "-h", "hello", "sub/b.bin"},
         "1\t:\\x00hello\\xff\\x00hellohello\n8\t:\\x00hello\\xff\\x00hellohello\n13\t:\\x00hello\\xff\\x00hellohello\n",
         0, ""},
        {{"-A", "1", "-m", "1", "line", "sub/deeper/c.txt"}, "0\t:line 1\n7\t-line 2\\r\n", 0, ""},
        {{"-C", "x", "hello", "a.txt"}, "", 2, "-C takes a number of lines, not 'x'"},
        // A line cut around its occurrence has no context lines.
        {{"-H", "-C", "1", "needle", "wide.txt"}, "@wide.txt\t10007\t:" + wide + "\n", 0, ""},
        // Colour on demand, never in a file by default.
        {{"--color=always", "-H", "-A", "1", "again", "a.txt"},
         "\33[35m@a.txt\33[m\t18\t:hello \33[01;31magain\33[m\n\33[35m@a.txt\33[m\t24\t-HELLO\n", 0, ""},
        {{"--color", "-l", "hello", "a.txt"}, "@a.txt\n", 0, ""},
        {{"--color=sometimes", "hello", "a.txt"}, "", 2, "--color takes auto, never or always"},
        // French as the application chooses it.
        {{"-x", "68", "a.txt"}, "", 2, "employez --hex", {}, {fr}},
        {{"hello", "missing"}, "", 2, "missing", {}, {fr}},
        {{"-E", "common,latin1,latin2,cp1250,cp1251,cp1252,cp1253,cp1254,macroman,euc-jp,shift_jis,sjis",
          "-e", "a", "-e", "b", "-e", "c", "-e", "d", "-e", "e", "x"},
         "", 2, "au plus 64 motifs et codages", {}, {fr}},
        {{"-C", "x", "hello", "a.txt"}, "", 2, "Essayez « trawlex-cli --help »", {}, {"LANGUAGE=", "LC_ALL=fr_CA.UTF-8"}},
        {{"-x", "68", "a.txt"}, "", 2, "use --hex", {}, {"LANGUAGE=en_GB:fr", "LC_ALL=fr_FR.UTF-8"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args) + ::testing::PrintToString(row.env));
        const CliRun r = cli(row.args, "/dev/null", row.env);
        EXPECT_EQ(r.status, row.status);
        // Files met in a folder come in the order of its listing.
        const std::string want = with_tree(row.out, tree(""));
        EXPECT_EQ(row.peers.empty() ? r.out : sorted_lines(r.out), row.peers.empty() ? want : sorted_lines(want));
        if (row.err.empty()) EXPECT_EQ(r.err, "");
        else EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        for (const std::string& peer : row.peers) {
            const std::string program = installed(peer);
            if (program.empty()) continue;
            const CliRun p = run_cli(row.args, dir / "io", tree(""), {}, "/dev/null", program);
            EXPECT_EQ(p.status, row.status) << peer << ": " << p.err;
            EXPECT_EQ(sorted_lines(p.out), sorted_lines(with_tree(row.out, ""))) << peer;
        }
    }
    // --json names the form of each occurrence of a match record.
    const CliRun j = cli({"--json", "-e", "hello", "-e", "again", "a.txt"}, "/dev/null", {});
    EXPECT_NE(j.out.find("\"offsets\":[12,18],\"forms\":[{\"text\":\"1\"},{\"text\":\"2\"}]"),
              std::string::npos) << j.out;
}

// The match records of --json are ripgrep's (-a -F) for the same search,
// key for key; its end and summary statistics have ripgrep's keys.
TEST_F(CliConventionsTest, JsonMatchRecordsAreRipgreps) {
    const std::string rg = installed("rg");
    if (rg.empty()) GTEST_SKIP() << "ripgrep is not installed";
    add("long.txt", std::string(300, 'x') + "hello\n\nhello" + std::string(20, '\n') + "a hello b hello\n");
    const std::vector<std::string> paths = {tree("a.txt"), tree("sub"), tree("fold.txt"), tree("long.txt")};
    std::vector<std::string> args = {"--json", "hello"};
    args.insert(args.end(), paths.begin(), paths.end());
    const CliRun ours = cli(args);
    ASSERT_EQ(ours.status, 0) << ours.err;
    args = {"--json", "-a", "-F", "hello"};
    args.insert(args.end(), paths.begin(), paths.end());
    std::filesystem::create_directories(dir / "io2");
    const CliRun theirs = run_cli(args, dir / "io2", "/", {}, "/dev/null", rg);
    write_file(dir / "io/rg.json", theirs.out);
    write_file(dir / "io/ours.json", ours.out);
    const std::string command = "python3 " TRAWLEX_JSON_CHECK " compare '" + dir / "io/rg.json" + "' < '" +
                                dir / "io/ours.json" + "' 2> '" + dir / "io/compare.err" + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << slurp(dir / "io/compare.err");
}

// What ripgrep cannot say goes under "trawlex": overlapping occurrences of
// one line, and a line cut around its occurrence.
TEST_F(CliConventionsTest, JsonSaysWhatRipgrepCannot) {
    add("aaaa.txt", "aaaa\n");
    add("wide.bin", std::string(10000, 'x') + "needle" + std::string(10000, 'y') + "\n");
    const CliRun r = cli({"--json", "-E", "ascii", "aa", "aaaa.txt"});
    EXPECT_NE(r.out.find("\"absolute_offset\":0,\"submatches\":[{\"match\":{\"text\":\"aa\"},\"start\":0,\"end\":2},"
                         "{\"match\":{\"text\":\"aa\"},\"start\":1,\"end\":3},{\"match\":{\"text\":\"aa\"},"
                         "\"start\":2,\"end\":4}],\"trawlex\":{\"offsets\":[0,1,2],\"overlapping\":true,\"lines_cut\":false}"),
              std::string::npos)
        << r.out;
    const CliRun w = cli({"--json", "needle", "wide.bin"});
    const std::string cut = std::string(8192, 'x') + "needle" + std::string(8192, 'y');
    EXPECT_NE(w.out.find("{\"text\":\"" + cut + "\"},\"line_number\":1,\"absolute_offset\":1808,\"submatches\":[{\"match\":"
                         "{\"text\":\"needle\"},\"start\":8192,\"end\":8198}],\"trawlex\":{\"offsets\":[10000],"
                         "\"overlapping\":false,\"lines_cut\":true}"),
              std::string::npos);
}

// When the reader of the output goes away, the search ends with status 0
// and says nothing.
TEST_F(CliConventionsTest, AClosedPipeEndsTheSearchQuietly) {
    std::string many;
    for (int i = 0; i < 100000; ++i) many += "hello\n";
    add("many.txt", many);
    const std::string command = "cd '" + tree("") + "' && bash -c '\"$0\" hello many.txt 2> \"$1\" | head -c 10 > /dev/null; exit ${PIPESTATUS[0]}' " TRAWLEX_CLI_PATH " '" + dir / "io/err" + "'";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(slurp(dir / "io/err"), "");
}

// Every option that completion offers is in the help (and so in the
// manual page made from it), in English and in French.
TEST_F(CliConventionsTest, HelpListsEveryOptionInBothLanguages) {
    const std::string completion = slurp(TRAWLEX_CLI_COMPLETION);
    const std::size_t from = completion.find("compgen -W '-"), to = completion.find('\'', from + 12);
    ASSERT_NE(to, std::string::npos);
    std::istringstream words(completion.substr(from + 12, to - from - 12));
    const CliRun en = cli({"--help"}, "/dev/null", {"LANGUAGE=en"}), fr = cli({"--help"}, "/dev/null", {"LANGUAGE=fr"});
    EXPECT_NE(fr.out, en.out);
    int options = 0;
    for (std::string word; words >> word; ++options)
        for (const std::string* help : {&en.out, &fr.out})
            EXPECT_TRUE(help->find(" " + word + (word.size() == 2 ? "," : "")) != std::string::npos ||
                        help->find(" " + word + " ") != std::string::npos || help->find(" " + word + "[") != std::string::npos ||
                        help->find(" " + word + "\n") != std::string::npos)
                << word;
    EXPECT_GT(options, 60);
}

}  // namespace
