// Running the built trawlex-cli from the tests: at once and waited for, or
// started now and waited for later.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tw_test {

struct CliRun {
    int status = -1;
    std::string out, err;
};

inline std::string slurp(const std::string& path) {
    const Bytes b = read_file(path);
    return std::string(b.begin(), b.end());
}

// What standard input of a run is: kStdinTerminal for a new pseudo-terminal,
// otherwise a path opened for reading (a FIFO blocks until its writer comes).
inline const std::string kStdinTerminal = "<terminal>";

// Starts trawlex-cli with `args` in folder `cwd`, with `env` added to the
// environment; stdout and stderr go to files in `io_dir`, stdin comes from
// `stdin_from` (see kStdinTerminal).
inline pid_t start_cli(const std::vector<std::string>& args, const std::string& io_dir,
                       const std::string& cwd = "/", const std::vector<std::string>& env = {},
                       const std::string& stdin_from = "/dev/null") {
    const std::string out_path = io_dir + "/stdout", err_path = io_dir + "/stderr";
    const pid_t pid = ::fork();
    if (pid < 0) return pid;
    if (pid == 0) {
        const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(cwd.c_str()) != 0)
            ::_exit(127);
        int in = -1;
        if (stdin_from == kStdinTerminal) {
            const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
            if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) ::_exit(127);
            in = ::open(::ptsname(master), O_RDONLY | O_NOCTTY);
        } else {
            in = ::open(stdin_from.c_str(), O_RDONLY);
        }
        if (in < 0 || ::dup2(in, 0) < 0) ::_exit(127);
        for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv{const_cast<char*>(TRAWLEX_CLI_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(TRAWLEX_CLI_PATH, argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits for a run started by start_cli and collects its output.
inline CliRun finish_cli(pid_t pid, const std::string& io_dir) {
    const std::string out_path = io_dir + "/stdout", err_path = io_dir + "/stderr";
    int wstatus = 0;
    CliRun r;
    if (::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    r.out = slurp(out_path);
    r.err = slurp(err_path);
    return r;
}

// Runs trawlex-cli and waits for it.
inline CliRun run_cli(const std::vector<std::string>& args, const std::string& io_dir,
                      const std::string& cwd = "/", const std::vector<std::string>& env = {},
                      const std::string& stdin_from = "/dev/null") {
    const pid_t pid = start_cli(args, io_dir, cwd, env, stdin_from);
    if (pid < 0) return {};
    return finish_cli(pid, io_dir);
}

}  // namespace tw_test
