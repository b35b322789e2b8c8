#!/usr/bin/env bash
# Several forms in one pass: the matcher alone (forms_bench) and whole
# programs (trawlex-cli against rg, ugrep and grep given the same byte
# patterns), over 1 GiB of text and 1 GiB of shared libraries.
#
#   bench/forms_bench.sh BUILD_DIR [WORK_DIR]     (default /tmp/trawlex-forms)
#
# BUILD_DIR is a Release tree with TRAWLEX_BENCH=ON holding forms_bench and
# trawlex-cli. RUNS (default 5) repetitions per row; every figure is a
# median, every ratio is taken between medians of the same run.
#   text.txt  the text files of /usr/include and /usr/share/doc back to back,
#             repeated to 1 GiB (as bench/peers.sh makes it);
#   libs.bin  the shared libraries under /usr/lib back to back, repeated to
#             1 GiB.
# The peers get the three forms of "Connection" (UTF-8, UTF-16LE, UTF-16BE)
# and -a so that they read binary files as text: rg and grep as fixed
# strings from a pattern file, one per line (NUL bytes cannot be given on a
# command line); ugrep, which refuses a NUL in a fixed string, as three -e
# patterns with \x00 escapes. Each command's output goes through a pipe (grep
# stops at the first match when its output is /dev/null). rg and grep count
# lines (-c), trawlex-cli occurrences.
set -euo pipefail

build=$(cd "${1:?usage: forms_bench.sh BUILD_DIR [WORK_DIR]}" && pwd)
work=${2:-/tmp/trawlex-forms}
runs=${RUNS:-5}
gib=$((1 << 30))
mkdir -p "$work"
cd "$work"

fill() {  # OUT, then the file list on stdin (NUL-separated)
  local out=$1
  xargs -0 cat > seed.tmp
  : > "$out.tmp"
  while (($(stat -c %s "$out.tmp") < gib)); do cat seed.tmp >> "$out.tmp"; done
  truncate -s "$gib" "$out.tmp"
  mv "$out.tmp" "$out"
  rm -f seed.tmp
}
if [[ ! -f text.txt || $(stat -c %s text.txt) -ne $gib ]]; then
  find /usr/include /usr/share/doc -type f ! -name '*.gz' -print0 | sort -z | fill text.txt
fi
if [[ ! -f libs.bin || $(stat -c %s libs.bin) -ne $gib ]]; then
  find /usr/lib -type f -name '*.so*' -print0 | sort -z | fill libs.bin
fi
cat text.txt libs.bin > /dev/null  # into the page cache

echo "== matcher alone (forms_bench, medians of $runs)"
"$build/bench/forms_bench" text.txt libs.bin --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true --benchmark_min_time=0.5 \
  --benchmark_out=matcher.json --benchmark_out_format=json > /dev/null
python3 - matcher.json << 'EOF'
import json, sys
med = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        med[b["run_name"]] = (b["real_time"], b.get("occurrences", 0))
print("| file | ISA | one-form ms | 1 form ms (x) | 3 forms ms (x) | 16 forms ms (x) |")
print("|---|---|---:|---:|---:|---:|")
for f in ("text", "libs"):
    for isa in ("sse2", "avx2"):
        one = med.get(f"one-form/{f}/{isa}")
        if not one: continue
        cells = [f"{med[f'forms/{n}/{f}/{isa}'][0]:.1f} ({med[f'forms/{n}/{f}/{isa}'][0] / one[0]:.2f})"
                 for n in (1, 3, 16)]
        print(f"| {f} | {isa} | {one[0]:.1f} | " + " | ".join(cells) + " |")
EOF

# As a user runs it: no result folder, the printer as the only output.
cli="$build/cli/trawlex-cli"
printf 'Connection\n' > pats1
python3 -c '
import sys
s = "Connection"
sys.stdout.buffer.write(b"\n".join([s.encode(), s.encode("utf-16le"), s.encode("utf-16be")]) + b"\n")' > pats3
le=$(python3 -c 'print("".join(c + "\\x00" for c in "Connection"))')
be=$(python3 -c 'print("".join("\\x00" + c for c in "Connection"))')
echo "== whole programs (hyperfine, medians of $runs)"
for f in text.txt libs.bin; do
  cmds=(
    "$cli -c Connection $f"
    "$cli -c -E utf-8,utf-16le,utf-16be Connection $f"
    "rg -a -c -F -f pats3 $f"
    "ugrep -a -c -e Connection -e '$le' -e '$be' $f"
    "grep -a -c -F -f pats3 $f"
  )
  for c in "${cmds[@]}"; do echo "$(bash -c "$c" 2>&1 | tail -1)   <- $c"; done
  piped=()
  for c in "${cmds[@]}"; do piped+=("$c | cat"); done
  hyperfine --style basic --warmup 1 --runs "$runs" -i --export-json "cli-$f.json" "${piped[@]}" > "cli-$f.log"
  python3 - "cli-$f.json" "$f" << 'EOF'
import json, sys
med = [r["median"] for r in json.load(open(sys.argv[1]))["results"]]
best = min(med[2:])
print(f"| {sys.argv[2]} | one form {med[0]:.3f} s | 3 forms {med[1]:.3f} s ({med[1] / med[0]:.2f}x one form) "
      f"| rg {med[2]:.3f} | ugrep {med[3]:.3f} | grep {med[4]:.3f} | 3 forms / best peer **{med[1] / best:.2f}** |")
EOF
done
