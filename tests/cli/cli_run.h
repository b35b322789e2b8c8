// Running the built trawlex-cli from the tests (at once, or started now and
// waited for later), a plain search to compare its output with, and the
// fixture the CLI tests share: a temporary tree and resource folder.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tw_test {

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Starts trawlex-cli (or `program`) with `args` in folder `cwd`, with `env`
// added to the environment; stdout and stderr go to files in `io_dir`,
// stdin comes from `stdin_from` (a FIFO blocks until its writer comes).
inline pid_t start_cli(const std::vector<std::string>& args, const std::string& io_dir,
                       const std::string& cwd = "/", const std::vector<std::string>& env = {},
                       const std::string& stdin_from = "/dev/null",
                       const std::string& program = TRAWLEX_CLI_PATH) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    const int out = ::open((io_dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err = ::open((io_dir + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(cwd.c_str()) != 0)
        ::_exit(127);
    const int in = ::open(stdin_from.c_str(), O_RDONLY | O_NOCTTY);
    if (in < 0 || ::dup2(in, 0) < 0) ::_exit(127);
    // Messages in English whatever the tester's language, unless `env` says.
    ::setenv("LANGUAGE", "en", 1);
    for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

// Waits for a run started by start_cli and collects its output.
inline CliRun finish_cli(pid_t pid, const std::string& io_dir) {
    int wstatus = 0;
    const bool exited = ::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus);
    return {exited ? WEXITSTATUS(wstatus) : -1, slurp(io_dir + "/stdout"), slurp(io_dir + "/stderr")};
}

inline CliRun run_cli(const std::vector<std::string>& args, const std::string& io_dir,
                      const std::string& cwd = "/", const std::vector<std::string>& env = {},
                      const std::string& stdin_from = "/dev/null",
                      const std::string& program = TRAWLEX_CLI_PATH) {
    const pid_t pid = start_cli(args, io_dir, cwd, env, stdin_from, program);
    return pid < 0 ? CliRun{} : finish_cli(pid, io_dir);
}

// The full path of the program `name` found in PATH, or "" when it is not
// installed.
inline std::string installed(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t at = 0; at <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', at), dirs.size());
        const std::string candidate = dirs.substr(at, end - at) + "/" + name;
        if (end > at && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        at = end + 1;
    }
    return "";
}

// How find_all compares and counts lines.
struct Find {
    bool lines = false;
    bool fold = false;  // ASCII letters of either case
    int wildcard = -1;
};

// Every start of `pattern` in `text` as "OFFSET" or "OFFSET\tLINE", found by
// comparing at each position.
inline std::vector<std::string> find_all(const std::string& text, const std::string& pattern, Find f = {}) {
    const auto fold = [&](char c) {
        const auto u = static_cast<unsigned char>(c);
        return f.fold && u >= 'A' && u <= 'Z' ? u + 32 : u;
    };
    std::vector<std::string> out;
    std::size_t line = 1;
    for (std::size_t i = 0; i + pattern.size() <= text.size(); ++i) {
        bool equal = true;
        for (std::size_t k = 0; k < pattern.size() && equal; ++k)
            equal = static_cast<unsigned char>(pattern[k]) == f.wildcard || fold(text[i + k]) == fold(pattern[k]);
        if (equal) out.push_back(std::to_string(i) + (f.lines ? "\t" + std::to_string(line) : ""));
        if (text[i] == '\n') ++line;
    }
    return out;
}

// One printed record: the true path and what follows it ("OFFSET",
// "OFFSET\tLINE", "COUNT" or nothing).
using Records = std::vector<std::pair<std::string, std::string>>;

inline Records sorted(Records r) {
    std::sort(r.begin(), r.end());
    return r;
}

// Reads the tab-separated output back, undoing the escapes of its paths.
inline Records parse_escaped(const std::string& out) {
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
            if (line[i] != '\\' || i + 1 == line.size()) {
                path.push_back(line[i]);
                continue;
            }
            const char c = line[++i];
            EXPECT_NE(std::string("tnr\\").find(c), std::string::npos) << "bad escape in " << line;
            path.push_back(c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c);
        }
        records.emplace_back(path, i < line.size() ? line.substr(i + 1) : "");
    }
    return records;
}

// A tree of small files (and a FIFO, which a walk must skip since nothing
// may ever write to it) and a resource folder, for runs in that tree.
class CliFixture : public ::testing::Test {
protected:
    void SetUp() override {
        // Writable by everybody, for the runs as an unprivileged user.
        for (const char* shared : {"res", "io"}) {
            ::mkdir((dir / shared).c_str(), 0777);
            ::chmod((dir / shared).c_str(), 0777);
        }
        add("a.txt", "Hello world\nhello again\nHELLO\nno match here\n");
        add("sub/b.bin", std::string("\0hello\xff\0hellohello", 18));
        add("sub/deeper/c.txt", "line 1\nline 2\r\nsay hello\rhello\n");
        add("sub/none.txt", "nothing to see");
        add("fold.txt", "HeLLo h\xC3\x89llo hello \xC3\xA9");
        add("utf16.txt", std::string("h\0\xE9\0t\0\xE9\0", 8));
        add("latin1.txt", "caf\xE9 caf\xC3\xA9");
        add(".dotfile", "hello hidden");
        add(".dotdir/d.txt", "hello in a hidden folder");
        ::mkfifo(tree("sub/fifo").c_str(), 0644);
    }

    std::string tree(const std::string& rel) const { return dir / ("tree/" + rel); }

    void add(const std::string& rel, const std::string& content) {
        std::filesystem::create_directories(std::filesystem::path(tree(rel)).parent_path());
        write_file(tree(rel), content);
        files[rel] = content;
    }

    // Runs trawlex-cli in the tree with the fixture's resource folder.
    CliRun cli(std::vector<std::string> args, const std::string& stdin_from = "/dev/null",
               const std::vector<std::string>& env = {}) {
        args.insert(args.begin(), {"--resource-dir", dir / "res"});
        return run_cli(args, dir / "io", tree(""), env, stdin_from);
    }

    // One run and what it must give: its status, its output lines (paths
    // relative to the tree) and a part of its standard error, or an empty
    // error when `err` is empty.
    struct Expect {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> lines;
        std::string err;
    };

    // Runs every case, as the unprivileged user 65534 when `as_nobody`. A
    // status above 2 is the run's plus 10 when its output differed, plus 20
    // when its error did.
    void check(const std::vector<Expect>& cases, bool as_nobody = false) {
        for (const Expect& c : cases) {
            std::string listing;  // the lines "PATH<TAB>FIELDS"
            for (const std::string& line : c.lines) listing += tree(line) + "\n";
            const auto run = [&] {
                const CliRun r = cli(c.args);
                const bool err_ok = c.err.empty() ? r.err.empty()
                                                  : r.err.rfind("trawlex-cli: ", 0) == 0 &&
                                                        r.err.find(c.err) != std::string::npos;
                return r.status + (r.out == listing ? 0 : 10) + (err_ok ? 0 : 20);
            };
            EXPECT_EQ(as_nobody ? run_as_nobody(run) : run(), c.status) << ::testing::PrintToString(c.args);
        }
    }

    // The records of `mode` ("", "-n", "-c" or "-l") for `pattern` over the
    // whole tree, dot-names left out unless `hidden`.
    Records truth(const std::string& pattern, const std::string& mode, Find f = {}, bool hidden = false) {
        Records r;
        f.lines = mode == "-n";
        for (const auto& [rel, content] : files) {
            const auto found = find_all(content, pattern, f);
            if (found.empty() || (!hidden && (rel[0] == '.' || rel.find("/.") != std::string::npos)))
                continue;
            if (mode == "-l") r.emplace_back(tree(rel), "");
            else if (mode == "-c") r.emplace_back(tree(rel), std::to_string(found.size()));
            else
                for (const std::string& at : found) r.emplace_back(tree(rel), at);
        }
        return sorted(r);
    }

    TempDir dir;
    std::map<std::string, std::string> files;
};

}  // namespace tw_test
