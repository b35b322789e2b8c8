#!/usr/bin/env python3
"""Turns the JSON output of several runs of matcher_bench into the Markdown
table of bench/README.md: for each benchmark, the median over the runs.
Separate whole runs (rather than repetitions of one benchmark in a row)
spread the noise of a shared machine over every variant alike.

    for i in 1 2 3 4 5; do
      build-rel/bench/matcher_bench --benchmark_min_time=0.2 \\
          --benchmark_format=json > run$i.json
    done
    python3 bench/matcher_table.py run*.json
"""
import json
import statistics
import sys


def main(paths):
    samples = {}
    for path in paths:
        for b in json.load(open(path))["benchmarks"]:
            if b.get("aggregate_name", "median") != "median":
                continue
            samples.setdefault(b["run_name"], []).append(b["bytes_per_second"] / 1e9)
    median = {name: statistics.median(v) for name, v in samples.items()}
    rows = {}
    for name, gbs in median.items():
        parts = name.split("/")
        if parts[0] != "match":
            continue
        key = tuple(parts[1:5])  # buffer, pattern, ln, case
        rows.setdefault(key, {})[parts[5]] = gbs
    print("| buffer | pattern | line numbers | case | scalar GB/s | SSE2 GB/s | AVX2 GB/s | AVX2 / scalar |")
    print("|---|---|---|---|---:|---:|---:|---:|")
    for (buf, pat, ln, case), v in rows.items():
        s, e, a = v.get("scalar"), v.get("sse2"), v.get("avx2")
        ratio = f"{a / s:.1f}x" if s and a else "-"
        fmt = lambda x: f"{x:.2f}" if x is not None else "-"
        print(f"| {buf} | `{pat}` | {'LF' if ln == 'ln' else 'no'} | "
              f"{'insensitive' if case == 'ci' else 'sensitive'} | {fmt(s)} | {fmt(e)} | {fmt(a)} | {ratio} |")
    print()
    print("| glibc memchr, same run | GB/s |")
    print("|---|---:|")
    for name, gbs in median.items():
        if name.startswith("memchr/"):
            print(f"| {name} | {gbs:.2f} |")


if __name__ == "__main__":
    main(sys.argv[1:])
