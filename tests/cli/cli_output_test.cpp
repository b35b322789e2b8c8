// trawlex-cli's output that names cannot forge, in each format; its
// streaming; its exit statuses; standard input, pipes, sockets and block
// devices as items; paths with ".." after a link; --version.
#include <fcntl.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_run.h"
#include "support/temp_dir.h"

using namespace tw_test;

namespace {

// One printed record: the true path and what follows it ("OFFSET",
// "OFFSET\tLINE", "COUNT" or nothing).
using Record = std::pair<std::string, std::string>;
using Records = std::vector<Record>;

Records sorted(Records r) {
    std::sort(r.begin(), r.end());
    return r;
}

// Undoes the escapes of the tab-separated output.
Records parse_escaped(const std::string& out, bool has_fields) {
    Records records;
    std::size_t pos = 0;
    while (pos < out.size()) {
        const std::size_t eol = out.find('\n', pos);
        EXPECT_NE(eol, std::string::npos) << "unterminated line";
        if (eol == std::string::npos) break;
        const std::string line = out.substr(pos, eol - pos);
        pos = eol + 1;
        std::string path;
        std::size_t i = 0;
        for (; i < line.size() && line[i] != '\t'; ++i) {
            if (line[i] != '\\') {
                path.push_back(line[i]);
                continue;
            }
            ++i;
            const char c = i < line.size() ? line[i] : '?';
            EXPECT_NE(std::string("tnr\\").find(c), std::string::npos) << "bad escape in " << line;
            path.push_back(c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c);
        }
        EXPECT_EQ(i < line.size(), has_fields) << line;
        records.emplace_back(path, i < line.size() ? line.substr(i + 1) : "");
    }
    return records;
}

// Reads PATH NUL FIELDS NEWLINE records, or PATH NUL ones without fields.
Records parse_null(const std::string& out, bool has_fields) {
    Records records;
    std::size_t pos = 0;
    while (pos < out.size()) {
        const std::size_t nul = out.find('\0', pos);
        EXPECT_NE(nul, std::string::npos);
        if (nul == std::string::npos) break;
        std::string path = out.substr(pos, nul - pos);
        pos = nul + 1;
        std::string fields;
        if (has_fields) {
            const std::size_t eol = out.find('\n', pos);
            EXPECT_NE(eol, std::string::npos);
            if (eol == std::string::npos) break;
            fields = out.substr(pos, eol - pos);
            pos = eol + 1;
        }
        records.emplace_back(path, fields);
    }
    return records;
}

std::string unhex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// Runs Python's json parser over --json output (json_records.py) and gives
// its lines: KIND, path, fields. Fails the test when Python refuses it.
std::vector<std::vector<std::string>> parse_json(const std::string& out, const std::string& work) {
    write_file(work + "/json.out", out);
    const std::string command = "python3 " TRAWLEX_JSON_CHECK " < '" + work + "/json.out' > '" +
                                work + "/json.parsed' 2> '" + work + "/json.err'";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << slurp(work + "/json.err") << out;
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(slurp(work + "/json.parsed"));
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        std::size_t pos = 0;
        for (std::size_t tab; (tab = line.find('\t', pos)) != std::string::npos; pos = tab + 1)
            cells.push_back(line.substr(pos, tab - pos));
        cells.push_back(line.substr(pos));
        if (cells.size() > 1 && cells[1] != "-") cells[1] = unhex(cells[1]);
        rows.push_back(cells);
    }
    return rows;
}

// Every start of `pattern` in `text` as "OFFSET" or "OFFSET\tLINE".
std::vector<std::string> find_all(const std::string& text, const std::string& pattern, bool lines) {
    std::vector<std::string> out;
    std::size_t line = 1;
    for (std::size_t i = 0; i + pattern.size() <= text.size(); ++i) {
        if (text.compare(i, pattern.size(), pattern) == 0)
            out.push_back(std::to_string(i) + (lines ? "\t" + std::to_string(line) : ""));
        if (text[i] == '\n') ++line;
    }
    return out;
}

class CliOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* shared : {"res", "io"}) {
            ::mkdir((dir / shared).c_str(), 0777);
            ::chmod((dir / shared).c_str(), 0777);
        }
        ::chmod(dir.path().c_str(), 0755);
        ::mkdir((dir / "tree").c_str(), 0755);
    }

    void add(const std::string& rel, const std::string& content) {
        std::filesystem::create_directories(std::filesystem::path(dir / ("tree/" + rel)).parent_path());
        write_file(dir / ("tree/" + rel), content);
        files.emplace_back(dir / ("tree/" + rel), content);
    }

    CliRun cli(std::vector<std::string> args, const std::string& stdin_from = "/dev/null") {
        args.insert(args.begin(), {"--resource-dir", dir / "res"});
        return run_cli(args, dir / "io", "/", {}, stdin_from);
    }

    // The records every mode must give back for `pattern`.
    Records truth(const std::string& pattern, const std::string& mode) {
        Records r;
        for (const auto& [path, content] : files) {
            const auto found = find_all(content, pattern, true);
            if (found.empty()) continue;
            if (mode == "-l") r.emplace_back(path, "");
            else if (mode == "-c") r.emplace_back(path, std::to_string(found.size()));
            else
                for (const std::string& f : found) r.emplace_back(path, f);
        }
        return sorted(r);
    }

    TempDir dir;
    std::vector<std::pair<std::string, std::string>> files;
};

TEST_F(CliOutputTest, ForgedNamesComeBackAsTheTruePathsInEveryFormat) {
    // A folder "q" + newline holding etc/passwd would print a line that
    // reads exactly like /etc/passwd's if names went out raw.
    add("q\n/etc/passwd", "hello\n");
    add("tab\tdir/back\\slash\tfile.txt", "x hello\nhello");
    add("cr\rname", "\n\nhello");
    add("bad\xff\xfe.bin", std::string("\0hello", 6));
    add("dir\xc0/new\nline\\n", "hello");
    add("plain.txt", "nothing");
    add("\\t", "hello hello");

    for (const std::string mode : {"-n", "-c", "-l"}) {
        const Records want = truth("hello", mode);
        ASSERT_GE(want.size(), 6u);
        const bool fields = mode != "-l";

        CliRun r = cli({mode, "hello", dir / "tree"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(sorted(parse_escaped(r.out, fields)), want) << mode << "\n" << r.out;

        r = cli({mode, "-0", "hello", dir / "tree"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(sorted(parse_null(r.out, fields)), want) << mode;

        r = cli({mode, "--json", "hello", dir / "tree"});
        EXPECT_EQ(r.status, 0) << r.err;
        Records got;
        for (const auto& row : parse_json(r.out, dir / "io")) {
            if (mode == "-n" && row[0] == "match") got.emplace_back(row[1], row[2] + "\t" + row[3]);
            if (mode == "-c" && row[0] == "end") got.emplace_back(row[1], row[2]);
            if (mode == "-l" && row[0] == "begin") got.emplace_back(row[1], "");
        }
        EXPECT_EQ(sorted(got), want) << mode << "\n" << r.out;
    }
}

TEST_F(CliOutputTest, JsonGivesBeginMatchEndPerFileAndASummary) {
    add("a.txt", "hello\nhello hello");
    add("b\xff.txt", "hello");
    const CliRun r = cli({"--json", "-m", "2", "hello", dir / "tree"});
    EXPECT_EQ(r.status, 0);
    const auto rows = parse_json(r.out, dir / "io");
    ASSERT_FALSE(rows.empty());
    // Without -n the line number is null; -m 2 prints two of a.txt's three.
    std::vector<std::vector<std::string>> a;
    for (const auto& row : rows)
        if (row.size() > 1 && row[1] == dir / "tree/a.txt") a.push_back(row);
    const std::string p = dir / "tree/a.txt";
    EXPECT_EQ(a, (std::vector<std::vector<std::string>>{
                     {"begin", p, ""}, {"match", p, "0", "-"}, {"match", p, "6", "-"}, {"end", p, "2"}}));
    EXPECT_EQ(rows.back(), (std::vector<std::string>{"summary", "-", "3", "2"}));
    EXPECT_NE(r.out.find("{\"bytes\":"), std::string::npos);
}

TEST_F(CliOutputTest, MaxCountLimitsWhatIsPrintedPerFile) {
    add("a.txt", "hello hello hello");
    add("b.txt", "hello");
    struct Case {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"-m", "2"}, "a.txt\t0\na.txt\t6\nb.txt\t0\n"},
        {{"-m", "0"}, ""},
        {{"-m", "2", "-c"}, "a.txt\t2\nb.txt\t1\n"},
        {{"-m", "1", "-n"}, "a.txt\t0\t1\nb.txt\t0\t1\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"hello", dir / "tree/a.txt", dir / "tree/b.txt"});
        const CliRun r = cli(args);
        std::string want = c.out;
        for (std::size_t at = 0; (at = want.find(".txt", at)) != std::string::npos; at += 4) {
            const std::size_t start = want.rfind('\n', at) == std::string::npos ? 0 : want.rfind('\n', at) + 1;
            want.insert(start, dir / "tree/");
            at += (dir / "tree/").size();
        }
        EXPECT_EQ(r.out, want) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(r.status, 0);
    }
}

TEST_F(CliOutputTest, EachFoundFileIsPrintedBeforeAPipeGivenLastIsClosed) {
    add("a.txt", "hello");
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const pid_t pid =
        start_cli({"--resource-dir", dir / "res", "hello", dir / "tree/a.txt", fifo}, dir / "io");
    ASSERT_GT(pid, 0);
    // The writer end opens once the program has opened the reading end.
    int writer = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (writer < 0 && std::chrono::steady_clock::now() < deadline) {
        writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GE(writer, 0);
    std::string first;
    while (first.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        first = slurp(dir / "io/stdout");
        if (first.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(first, dir / "tree/a.txt" + "\t0\n");
    int wstatus = 0;
    EXPECT_EQ(::waitpid(pid, &wstatus, WNOHANG), 0) << "ended before the pipe was closed";
    ASSERT_EQ(::write(writer, "xhello", 6), 6);
    ::close(writer);
    const CliRun r = finish_cli(pid, dir / "io");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir / "tree/a.txt" + "\t0\n" + fifo + "\t1\n");
}

TEST_F(CliOutputTest, StandardInputIsReadAsAStream) {
    const std::string text = "one\nhello\ntwo hello\n";
    write_file(dir / "io/input.txt", text);
    const std::string fifo = dir / "io/input.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string want = "(standard input)\t4\t2\n(standard input)\t14\t3\n";
    struct Case {
        std::vector<std::string> args;
        bool through_pipe;
    } cases[] = {
        {{"-n", "hello"}, false},
        {{"-n", "hello", "-"}, false},
        {{"-n", "hello"}, true},
        {{"-n", "hello", "-"}, true},
    };
    for (const Case& c : cases) {
        std::thread writer;
        if (c.through_pipe) {
            writer = std::thread([&] {
                const int fd = ::open(fifo.c_str(), O_WRONLY);
                if (fd < 0) return;
                [[maybe_unused]] const ssize_t n = ::write(fd, text.data(), text.size());
                ::close(fd);
            });
        }
        const CliRun r = cli(c.args, c.through_pipe ? fifo : dir / "io/input.txt");
        if (writer.joinable()) writer.join();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, want) << c.args.size() << c.through_pipe;
    }
}

// A long stream read in pieces of whatever size the pipe gives: offsets and
// line numbers must be those of the whole text, occurrences across pieces
// found once.
TEST_F(CliOutputTest, LongPipeMatchesAnIndependentSearch) {
    std::string text;
    std::uint32_t seed = 12345;
    while (text.size() < 3'000'000) {
        seed = seed * 1103515245u + 12345u;
        const unsigned pick = (seed >> 16) % 11;
        text += pick == 0 ? "needle" : pick == 1 ? "\n" : pick == 2 ? "needneedle" : "abcdefghij";
    }
    const std::string fifo = dir / "io/long.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        if (fd < 0) return;
        // Odd-sized writes, so that pieces end anywhere.
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t n = std::min<std::size_t>(7919, text.size() - at);
            const ssize_t w = ::write(fd, text.data() + at, n);
            if (w <= 0) break;
            at += static_cast<std::size_t>(w);
        }
        ::close(fd);
    });
    const CliRun r = cli({"-n", "needle", fifo});
    writer.join();
    EXPECT_EQ(r.status, 0) << r.err;
    std::string want;
    for (const std::string& f : find_all(text, "needle", true)) want += fifo + "\t" + f + "\n";
    EXPECT_GT(want.size(), 1000u);
    EXPECT_TRUE(r.out == want) << r.out.size() << " vs " << want.size();
}

TEST_F(CliOutputTest, ASocketGivenAsPathIsReadToItsEnd) {
    const std::string path = dir / "sock";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    std::thread server([&] {
        const int peer = ::accept(listener, nullptr, nullptr);
        if (peer < 0) return;
        [[maybe_unused]] const ssize_t n = ::write(peer, "say hello", 9);
        ::close(peer);
    });
    const CliRun r = cli({"hello", path});
    server.join();
    ::close(listener);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, path + "\t4\n");
}

TEST_F(CliOutputTest, PipesInsideAFolderStaySkipped) {
    add("a.txt", "hello");
    ASSERT_EQ(::mkfifo((dir / "tree/fifo").c_str(), 0644), 0);
    const CliRun r = cli({"hello", dir / "tree"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir / "tree/a.txt" + "\t0\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliOutputTest, ABlockDeviceIsSearchedLikeAFile) {
    // A loop device over an image of 1 MiB with occurrences at the start,
    // across a 256 KiB boundary and at the very end.
    std::string image(1 << 20, 'z');
    for (const std::size_t at : {std::size_t{0}, (std::size_t{256} << 10) - 3, image.size() - 6})
        image.replace(at, 6, "needle");
    write_file(dir / "disk.img", image);
    FILE* p = ::popen(("losetup -f --show '" + dir / "disk.img" + "' 2>/dev/null").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char name[128] = {};
    const bool got = std::fgets(name, sizeof name, p) != nullptr;
    const int closed = ::pclose(p);
    if (!got || closed != 0) GTEST_SKIP() << "no loop device can be made here";
    std::string device(name);
    while (!device.empty() && device.back() == '\n') device.pop_back();
    const CliRun r = cli({"needle", device});
    std::system(("losetup -d " + device).c_str());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, device + "\t0\n" + device + "\t" + std::to_string((256 << 10) - 3) + "\n" +
                         device + "\t" + std::to_string(image.size() - 6) + "\n");
}

TEST_F(CliOutputTest, DotDotAfterALinkIsTheSystemsToResolve) {
    add("real/deeper/x.txt", "nothing");
    add("real/f", "say hello");
    ASSERT_EQ(::symlink("real/deeper", (dir / "tree/lnk").c_str()), 0);
    // As text, lnk/../f would be tree/f, which does not exist.
    const CliRun r = run_cli({"--resource-dir", dir / "res", "hello", "lnk/../f", "./lnk/.."},
                             dir / "io", dir / "tree");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir / "tree/lnk/../f" + "\t4\n" + dir / "tree/lnk/../f" + "\t4\n");
}

TEST_F(CliOutputTest, ExitStatusFollowsGrepsRules) {
    add("a.txt", "hello");
    add("locked.txt", "hello");
    ::chmod((dir / "tree/locked.txt").c_str(), 0);
    const std::string a = dir / "tree/a.txt", locked = dir / "tree/locked.txt";
    const std::string named = "trawlex-cli: " + locked + ": Permission denied\n";
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::string err;  // "*" for any message
    } cases[] = {
        {"found", {"hello", a}, 0, ""},
        {"none", {"absent", a}, 1, ""},
        {"error", {"hello", dir / "tree/missing"}, 2, "*"},
        {"skipped and found", {"hello", locked, a}, 2, named},
        {"skipped, none", {"absent", locked, a}, 2, named},
        {"skipped, silenced", {"--no-messages", "hello", locked, a}, 2, ""},
        {"-q found", {"-q", "hello", a}, 0, ""},
        {"-q none", {"-q", "absent", a}, 1, ""},
        {"-q error", {"-q", "hello", dir / "tree/missing"}, 2, "*"},
        {"-q skipped and found", {"-q", "hello", locked, a}, 0, named},
        {"-q skipped, none", {"-q", "absent", locked, a}, 2, named},
    };
    for (const Case& c : cases) {
        const int got = run_as_nobody([&] {
            const CliRun r = cli(c.args);
            const bool out_ok = c.args[0] == "-q" ? r.out.empty() : true;
            const bool err_ok = c.err == "*" ? !r.err.empty() : r.err == c.err;
            return out_ok && err_ok ? r.status : 100 + r.status;
        });
        EXPECT_EQ(got, c.status) << c.what;
    }
}

TEST_F(CliOutputTest, QuietEndsTheSearchAtTheFirstFoundFile) {
    add("a.txt", "hello");
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // The pipe after a.txt is never opened by a writer: only stopping at
    // a.txt ends the run.
    const pid_t pid = start_cli({"--resource-dir", dir / "res", "-q", "hello", dir / "tree/a.txt", fifo},
                                dir / "io");
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int wstatus = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(pid, &wstatus, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (ended == 0) {
        // Still waiting for the pipe: stop it (it ends on SIGTERM) and fail.
        ::kill(pid, SIGTERM);
        ::waitpid(pid, &wstatus, 0);
        FAIL() << "-q went on after the first found file";
    }
    ASSERT_TRUE(WIFEXITED(wstatus));
    EXPECT_EQ(WEXITSTATUS(wstatus), 0);
    EXPECT_EQ(slurp(dir / "io/stdout"), "");
}

TEST_F(CliOutputTest, VersionAndHelp) {
    CliRun r = cli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind(std::string("trawlex-cli (Trawlex) ") + TRAWLEX_VERSION + "\n", 0), 0u) << r.out;
    r = cli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: trawlex-cli ", 0), 0u);
    // The README documents every long option of --help.
    std::ifstream in(TRAWLEX_README);
    const std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(readme.empty());
    for (std::size_t at = 0; (at = r.out.find("--", at)) != std::string::npos;) {
        std::size_t end = at + 2;
        while (end < r.out.size() && (std::isalnum(static_cast<unsigned char>(r.out[end])) || r.out[end] == '-'))
            ++end;
        const std::string option = r.out.substr(at, end - at);
        if (option.size() > 2) {
            EXPECT_NE(readme.find("`" + option), std::string::npos) << option;
        }
        at = end;
    }
}

TEST_F(CliOutputTest, SmallThings) {
    add("a.txt", "hello");
    // The report's failure gives the report's reason, not a skipped item's.
    add("locked.txt", "hello");
    ::chmod((dir / "tree/locked.txt").c_str(), 0);
    // First, while the run's output and result files can still be made by
    // another user.
    const int status = run_as_nobody([&] {
        const CliRun r = cli({"--report", dir / "io/missing/report.txt", "hello", dir / "tree"});
        const bool named = r.err.find("cannot write the report: cannot open file: " +
                                      dir / "io/missing/report.txt" +
                                      ": No such file or directory") != std::string::npos;
        if (!named) std::fprintf(stderr, "%s", r.err.c_str());
        return named ? r.status : 100;
    });
    EXPECT_EQ(status, 2);
    // An unknown instruction set is named with the allowed ones.
    const CliRun isa = run_cli({"--resource-dir", dir / "res", "hello", dir / "tree"}, dir / "io", "/",
                               {"TRAWLEX_ISA=avx512"});
    EXPECT_EQ(isa.status, 2);
    EXPECT_NE(isa.err.find("TRAWLEX_ISA is 'avx512'; it must be one of scalar, sse2 or avx2"),
              std::string::npos)
        << isa.err;
    const CliRun scalar = run_cli({"--resource-dir", dir / "res", "hello", dir / "tree"}, dir / "io",
                                  "/", {"TRAWLEX_ISA=scalar"});
    EXPECT_EQ(scalar.status, 0) << scalar.err;
}

}  // namespace
