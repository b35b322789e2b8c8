#!/usr/bin/env bash
# Whole-program search speed of trawlex-cli against ripgrep and ugrep, each
# at its defaults (threads, memory mapping) and on one thread.
#
#   bench/peers.sh [WORK_DIR]        (default /tmp/trawlex-bench)
#
# RUNS (default 5) timed runs per command after one warm-up; the figure is
# the median. BASELINE=<git ref> (default main) also builds that revision's
# trawlex-cli and times it at its defaults (BASELINE= skips it).
#
# Works:
#   text  a 1 GiB text file (the text files of /usr/include and
#         /usr/share/doc back to back, repeated): a rare 5-byte pattern;
#         "the" with line numbers; a rare pattern with case folding
#   tree  /usr/include and /usr/share/doc (about 15,000 files): rare pattern
#   usr   /usr (about 140,000 files), warm: rare pattern
# Every command prints one line per occurrence (path or offset, line number
# where asked), piped to `wc -l`; the counts are printed before timing.
# The table gives each median and the ratio of trawlex-cli to the fastest
# peer of the same column (defaults, then one thread), all from one run.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/trawlex-bench}
runs=${RUNS:-5}
baseline=${BASELINE-main}

missing=()
for tool in hyperfine rg ugrep cmake ninja python3; do
  command -v "$tool" > /dev/null || missing+=("$tool")
done
if ((${#missing[@]} > 0)); then
  echo "missing: ${missing[*]}" >&2
  echo "install them with: sudo apt-get install hyperfine ripgrep ugrep cmake ninja-build python3" >&2
  exit 2
fi

build_cli() {  # source dir, build dir
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTRAWLEX_QT_FREE_ONLY=ON -DTRAWLEX_BENCH=OFF -DTRAWLEX_TESTS=OFF > /dev/null
  cmake --build "$2" -j 2 --target trawlex-cli > /dev/null
}

echo "== building trawlex-cli (Release, build-cli-rel)"
build_cli "$here" "$here/build-cli-rel"
cli="$here/build-cli-rel/cli/trawlex-cli"
mkdir -p "$work/results" "$work/res/TW_found" "$work/res/TW_target"
base_cli=""
if [[ -n $baseline ]]; then
  echo "== building trawlex-cli of $baseline"
  rm -rf "$work/baseline-src"
  mkdir -p "$work/baseline-src"
  git -C "$here" archive "$baseline" | tar -x -C "$work/baseline-src"
  build_cli "$work/baseline-src" "$work/baseline-build"
  base_cli="$work/baseline-build/cli/trawlex-cli"
  mkdir -p "$work/res-base/TW_found" "$work/res-base/TW_target"
fi

cd "$work"
gib=$((1 << 30))
if [[ ! -f text.txt || $(stat -c %s text.txt) -ne $gib ]]; then
  echo "== building text.txt (1 GiB)"
  find /usr/include /usr/share/doc -type f ! -name '*.gz' -print0 | sort -z |
    xargs -0 cat > seed.tmp
  : > text.tmp
  while (($(stat -c %s text.tmp) < gib)); do cat seed.tmp >> text.tmp; done
  truncate -s "$gib" text.tmp
  mv text.tmp text.txt
  rm -f seed.tmp
fi

# Options that shape the output only: offsets of each occurrence (-o -b),
# all files as text (-a), literal patterns (-F); for the trees, no ignore
# files and dot-names searched (rg -uu, trawlex-cli --hidden).
tw() { echo "$cli --resource-dir $work/res $*"; }
tw_base() { echo "$base_cli --resource-dir $work/res-base $*"; }

table="$work/results/table.md"
{
  echo "| Work | Occurrences | trawlex-cli | rg | ugrep | ratio | trawlex-cli -j1 | rg -j1 | ugrep -J1 | ratio -j1 | $baseline |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
} > "$table"

# row LABEL TW_ARGS RG_ARGS UG_ARGS (each with pattern and paths)
row() {
  local label=$1 tw_args=$2 rg_args=$3 ug_args=$4
  local cmds=(
    "$(tw "$tw_args")"
    "rg -a -F -o -b $rg_args"
    "ugrep -a -F -o -b $ug_args"
    "$(tw "-j 1 $tw_args")"
    "rg -j1 -a -F -o -b $rg_args"
    "ugrep -J1 -a -F -o -b $ug_args"
  )
  [[ -n $base_cli ]] && cmds+=("$(tw_base "$tw_args")")
  local counts=() c
  for c in "${cmds[@]}"; do counts+=("$( (bash -c "$c" 2> /dev/null || true) | wc -l)"); done
  echo "== $label: counts ${counts[*]}"
  local name=${label//[^A-Za-z0-9]/_}
  local hf=()
  for c in "${cmds[@]}"; do hf+=("$c 2>/dev/null | wc -l"); done
  hyperfine --style basic --warmup 1 --runs "$runs" -i \
    --export-json "results/$name.json" "${hf[@]}" > "results/$name.log"
  python3 - "results/$name.json" "$label" "${counts[0]}" >> "$table" << 'EOF'
import json, sys
path, label, count = sys.argv[1:4]
med = [r["median"] for r in json.load(open(path))["results"]]
cells = [f"{m:.3f}" for m in med]
ratio = med[0] / min(med[1], med[2])
ratio1 = med[3] / min(med[4], med[5])
base = f"{med[6]:.3f} ({med[0] / med[6]:.2f})" if len(med) > 6 else "-"
print(f"| {label} | {int(count):,} | {cells[0]} | {cells[1]} | {cells[2]} | **{ratio:.2f}** "
      f"| {cells[3]} | {cells[4]} | {cells[5]} | **{ratio1:.2f}** | {base} |")
EOF
}

text="$work/text.txt"
row "1 GiB text, rare (jumps)" "jumps $text" "jumps $text" "jumps $text"
row "1 GiB text, the, line numbers" "-n the $text" "-n the $text" "-n the $text"
row "1 GiB text, rare, case-insensitive" "-i jumps $text" "-i jumps $text" "-i jumps $text"
trees="/usr/include /usr/share/doc"
row "15,000 files, rare" "--hidden jumps $trees" "-uu jumps $trees" "-r jumps $trees"
row "/usr warm, rare" "--hidden jumps /usr" "-uu jumps /usr" "-r jumps /usr"

echo
echo "Seconds, median of $runs runs after one warm-up; ratio: trawlex-cli over the"
echo "fastest peer of the same column ($baseline: its time at its defaults, and"
echo "trawlex-cli's over it)."
cat "$table"
