#!/usr/bin/env python3
"""Turns the JSON output of matcher_bench (run with --benchmark_repetitions and
medians reported) into the Markdown table of bench/README.md.

    build-rel/bench/matcher_bench --benchmark_repetitions=5 \\
        --benchmark_report_aggregates_only=true --benchmark_format=json > out.json
    python3 bench/matcher_table.py out.json
"""
import json
import sys


def main(path):
    data = json.load(open(path))
    median = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name", "median") != "median":
            continue
        median[b["run_name"]] = b["bytes_per_second"] / 1e9
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
    main(sys.argv[1])
