// The search trawlex-cli makes: a typed target from the pattern and the
// paths, or a stored target loaded by its name or number.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace tw {
class Engine;
}

namespace tw::cli {

// What standard input is searched as: the engine opens it again by this
// name, whatever it is (a pipe, a file, a terminal).
inline constexpr const char* kStdinPath = "/dev/stdin";
inline constexpr const char* kStdinName = "(standard input)";

// Makes the engine's current target the typed search: the pattern bytes,
// the options, and the paths as file or folder items. false when memory
// runs out.
bool set_typed_target(Engine& e, const Options& o, const Pattern& typed, const std::vector<std::string>& paths,
                      const std::vector<bool>& folders);

// Loads the stored target named or numbered `which` as the current target;
// 0, or the exit status after its message.
int load_stored_target(Engine& e, const std::string& which);

// Makes every path that names something searchable absolute; "-" is
// standard input. Folders are walked; files, pipes, sockets and devices are
// file items. A path that names nothing is named on stderr and left out,
// as grep and ripgrep do; their number is returned.
std::size_t check_paths(const std::vector<std::string>& in, std::vector<std::string>& out,
                        std::vector<bool>& folders);

}  // namespace tw::cli
