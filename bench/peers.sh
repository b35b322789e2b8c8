#!/usr/bin/env bash
# Whole-program search speed of trawlex-cli against grep, ripgrep and ugrep.
#
#   bench/peers.sh [WORK_DIR]        (default /tmp/trawlex-bench)
#
# Builds trawlex-cli (Release, in build-cli-rel), builds three corpora in
# WORK_DIR unless they are already there (a 1 GiB text file made of the text
# files of /usr/include and /usr/share/doc, a 1 GiB random file, and a tree of
# 50,000+ small files copied from the same folders), then runs one hyperfine
# comparison per corpus and pattern. Every command prints one line per
# occurrence with its byte offset, piped to `wc -l` (never to /dev/null, which
# lets some tools skip the work). The occurrence counts of the four programs
# are checked to agree before timing. Results: WORK_DIR/results/*.md and a
# combined table in WORK_DIR/results/table.md.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/trawlex-bench}
runs=${RUNS:-5}

missing=()
for tool in hyperfine rg ugrep grep cmake ninja python3; do
  command -v "$tool" > /dev/null || missing+=("$tool")
done
if ((${#missing[@]} > 0)); then
  echo "missing: ${missing[*]}" >&2
  echo "install them with: sudo apt-get install hyperfine ripgrep ugrep cmake ninja-build python3" >&2
  exit 2
fi

echo "== building trawlex-cli (Release, build-cli-rel)"
cmake -S "$here" -B "$here/build-cli-rel" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTRAWLEX_QT_FREE_ONLY=ON -DTRAWLEX_BENCH=OFF > /dev/null
cmake --build "$here/build-cli-rel" -j 2 --target trawlex-cli > /dev/null
cli="$here/build-cli-rel/cli/trawlex-cli"

mkdir -p "$work/results"
cd "$work"
gib=$((1 << 30))

# The text files (not the compressed ones) of the two folders, back to back,
# repeated until 1 GiB.
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

if [[ ! -f random.bin || $(stat -c %s random.bin) -ne $gib ]]; then
  echo "== building random.bin (1 GiB)"
  head -c 1G /dev/urandom > random.tmp
  mv random.tmp random.bin
fi

# Copies of both folders until the tree holds 50,000 files or more.
if [[ ! -f tree.done ]]; then
  echo "== building tree/ (50,000+ files)"
  rm -rf tree
  mkdir tree
  n=0
  while (($(find tree -type f | wc -l) < 50000)); do
    mkdir "tree/copy$n"
    cp -r /usr/include /usr/share/doc "tree/copy$n/"
    n=$((n + 1))
  done
  touch tree.done
fi
# Links are left out: the programs treat links met in a walk differently
# (ugrep -r follows links to files, the others do not).
find tree -type l -delete
tree_files=$(find tree -type f | wc -l)
tree_bytes=$(du -sb tree | cut -f1)
echo "tree: $tree_files files, $tree_bytes bytes"

# Dot-names are searched by every program: trawlex-cli and rg skip them
# unless told, grep and ugrep do not; rg is also told to ignore no file.
# Each tool uses one thread but ugrep, which has no switch in this list.
tw_cmd() { echo "$cli --resource-dir $work/res $3 $(printf %q "$1") $2"; }
grep_cmd() { echo "grep -a -F -b -o $3 -- $(printf %q "$1") $2"; }
rg_cmd() { echo "rg -j1 --no-mmap -a -F -b -o $4 -- $(printf %q "$1") $2"; }
ug_cmd() { echo "ugrep -a -F -b -o $3 -- $(printf %q "$1") $2"; }

mkdir -p res/TW_found res/TW_target
table="$work/results/table.md"
{
  echo "| Corpus | Pattern | Occurrences | trawlex-cli | grep | rg | ugrep |"
  echo "|---|---|---:|---:|---:|---:|---:|"
} > "$table"

row() {
  local corpus=$1 label=$2 pattern=$3 target=$4 tw_opt=$5 recursive=$6 rg_opt=$7
  local cmds=(
    "$(tw_cmd "$pattern" "$target" "$tw_opt")"
    "$(grep_cmd "$pattern" "$target" "$recursive")"
    "$(rg_cmd "$pattern" "$target" "" "$rg_opt")"
    "$(ug_cmd "$pattern" "$target" "$recursive")"
  )
  local counts=() c
  # Nothing found is status 1 for every program: only the count matters.
  for c in "${cmds[@]}"; do counts+=("$( (bash -c "$c" || true) | wc -l)"); done
  echo "== $corpus, $label: counts ${counts[*]}"
  if [[ ${counts[0]} != "${counts[1]}" || ${counts[0]} != "${counts[2]}" || ${counts[0]} != "${counts[3]}" ]]; then
    echo "   the counts disagree" >&2
  fi
  local name="${corpus}-${label// /_}"
  local hf=()
  for c in "${cmds[@]}"; do hf+=("$c | wc -l"); done
  hyperfine --style basic --warmup 1 --runs "$runs" \
    --export-markdown "results/$name.md" --export-json "results/$name.json" "${hf[@]}" > "results/$name.log"
  python3 - "results/$name.json" "$corpus" "$label" "${counts[0]}" >> "$table" << 'EOF'
import json, sys
path, corpus, label, count = sys.argv[1:5]
results = json.load(open(path))["results"]
cells = [f"{r['mean']:.2f} ± {r['stddev']:.2f}" for r in results]
best = min(range(len(results)), key=lambda i: results[i]["mean"])
cells[best] = f"**{cells[best]}**"
print(f"| {corpus} | {label} | {int(count):,} | " + " | ".join(cells) + " |")
EOF
}

rare=jumps
for corpus in text random; do
  file="$work/$corpus.txt"
  [[ $corpus == random ]] && file="$work/random.bin"
  row "$corpus" "rare 5 bytes ($rare)" "$rare" "$file" "" "" ""
  row "$corpus" "the" "the" "$file" "" "" ""
  row "$corpus" "one byte (@)" "@" "$file" "" "" ""
done
row tree "rare 5 bytes ($rare)" "$rare" "$work/tree" "--hidden" "-r" "-uu"
row tree "the" "the" "$work/tree" "--hidden" "-r" "-uu"
row tree "one byte (@)" "@" "$work/tree" "--hidden" "-r" "-uu"

echo
echo "Seconds, mean ± standard deviation of $runs runs after one warm-up; fastest in bold."
cat "$table"
