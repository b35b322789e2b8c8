#!/usr/bin/env python3
"""Prints a gcovr JSON summary as line and branch coverage per source folder,
then the production files below 60 % of their lines."""
import collections
import json
import sys

LOW = 60.0


def percent(covered, total):
    return 100.0 * covered / total if total else 100.0


def main(path):
    with open(path, encoding="utf-8") as f:
        files = json.load(f)["files"]
    folders = collections.defaultdict(lambda: [0, 0, 0, 0])
    low = []
    for entry in files:
        name = entry["filename"]
        folder = name.split("/")[0] if not name.startswith("ui/") else "/".join(name.split("/")[:2])
        sums = folders[folder]
        sums[0] += entry["line_covered"]
        sums[1] += entry["line_total"]
        sums[2] += entry["branch_covered"]
        sums[3] += entry["branch_total"]
        if entry["line_total"] and percent(entry["line_covered"], entry["line_total"]) < LOW:
            low.append((percent(entry["line_covered"], entry["line_total"]), name, entry["line_total"]))
    total = [sum(s[i] for s in folders.values()) for i in range(4)]
    print(f"{'folder':<24}{'lines':>16}{'':>9}{'branches':>16}")
    for folder in sorted(folders) + ["all"]:
        lc, lt, bc, bt = total if folder == "all" else folders[folder]
        print(f"{folder:<24}{lc:>8}/{lt:<7}{percent(lc, lt):>7.1f} %{bc:>8}/{bt:<7}{percent(bc, bt):>7.1f} %")
    print(f"\nfiles under {LOW:.0f} % of their lines:")
    for share, name, lines in sorted(low):
        print(f"  {share:5.1f} %  {name} ({lines} lines)")
    if not low:
        print("  none")


if __name__ == "__main__":
    main(sys.argv[1])
