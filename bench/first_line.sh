#!/usr/bin/env bash
# Time to the first line of output of trawlex-cli, ripgrep and ugrep over a
# large tree (default /usr/include): each command's output goes through
# `head -n 1`, which ends the pipe after one line, so a run lasts until the
# first line is out plus the program's next write. hyperfine runs each 5
# times after one warm-up (a warm file cache); the median is printed.
#
#   bench/first_line.sh [TREE] [PATTERN]
#
# Needs hyperfine, ripgrep and ugrep (apt-get install hyperfine ripgrep
# ugrep); a program that is missing is left out. TRAWLEX_CLI names the
# trawlex-cli to measure (default build/cli/trawlex-cli).
set -euo pipefail

tree=${1:-/usr/include}
pattern=${2:-#define}
here=$(cd "$(dirname "$0")/.." && pwd)
cli=${TRAWLEX_CLI:-$here/build/cli/trawlex-cli}

command -v hyperfine >/dev/null || { echo "hyperfine is not installed" >&2; exit 2; }
[ -x "$cli" ] || { echo "no trawlex-cli at $cli (build it first)" >&2; exit 2; }

names=(trawlex-cli)
commands=("'$cli' '$pattern' '$tree' | head -n 1")
if command -v rg >/dev/null; then
  names+=(rg)
  commands+=("rg --no-config -F -- '$pattern' '$tree' | head -n 1")
fi
if command -v ugrep >/dev/null; then
  names+=(ugrep)
  commands+=("ugrep -r -F -- '$pattern' '$tree' | head -n 1")
fi

out=$(mktemp)
trap 'rm -f "$out"' EXIT
args=()
for i in "${!commands[@]}"; do args+=(-n "${names[$i]}" "${commands[$i]}"); done
hyperfine --runs 5 --warmup 1 --shell bash --style none --export-json "$out" "${args[@]}" >/dev/null

python3 - "$out" "$tree" "$pattern" <<'PY'
import json, statistics, sys
data = json.load(open(sys.argv[1]))
print("time to the first line, %s, pattern %r (median of 5)" % (sys.argv[2], sys.argv[3]))
for r in data["results"]:
    print("  %-12s %8.1f ms  (min %.1f, max %.1f)" % (
        r["command"], statistics.median(r["times"]) * 1000, min(r["times"]) * 1000, max(r["times"]) * 1000))
PY
