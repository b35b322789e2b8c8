#!/usr/bin/env python3
"""Plants deliberate faults in the sources one at a time and records which
tests catch each one.

Each fault is a one-place text substitution listed in a faults_*.py module
beside this script (FAULTS = [dict(id=, what=, file=, find=, replace=)]).
For every fault the script edits the file in the build's source tree, builds,
runs CTest, parses which tests failed (GoogleTest cases by name, Qt Test
functions from their FAIL! lines), and puts the file back, whatever happens.

  run_faults.py --build BUILD [--only E1,E2] [--group engine] [--tests REGEX]
                [--exclude REGEX] [--out FILE] [--list]

Exits 1 when a fault was caught by no test (or could not be planted).
"""
import argparse
import importlib.util
import pathlib
import re
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
# Slow whole-system checks that no planted fault needs.
DEFAULT_EXCLUDE = r"^(install_tree_validates|tools_make_guide|e2e_.*)$"


def load_faults(group):
    faults = []
    for module_path in sorted(HERE.glob("faults_*.py")):
        name = module_path.stem[len("faults_"):]
        if group and name != group:
            continue
        module_spec = importlib.util.spec_from_file_location(module_path.stem, module_path)
        module = importlib.util.module_from_spec(module_spec)
        module_spec.loader.exec_module(module)
        for fault in module.FAULTS:
            fault = dict(fault, group=name)
            faults.append(fault)
    ids = [f["id"] for f in faults]
    duplicated = {i for i in ids if ids.count(i) > 1}
    if duplicated:
        sys.exit(f"duplicate fault ids: {sorted(duplicated)}")
    return faults


def source_dir(build):
    cache = (build / "CMakeCache.txt").read_text()
    match = re.search(r"^CMAKE_HOME_DIRECTORY:INTERNAL=(.*)$", cache, re.M)
    return pathlib.Path(match.group(1))


def failed_tests(output):
    """Names of the failed CTest entries, with Qt Test functions spelled out."""
    names = []
    in_list = False
    for line in output.splitlines():
        if line.startswith("The following tests FAILED"):
            in_list = True
            continue
        if in_list:
            match = re.match(r"\s*\d+ - (\S+)", line)
            if match:
                # A test that ran out of time is marked, since it may only
                # have waited on something the fault left open.
                timed_out = line.rstrip().endswith("(Timeout)")
                names.append(match.group(1) + (" [timed out]" if timed_out else ""))
    functions = sorted(set(re.findall(r"^FAIL!\s+:\s+(\S+?)\(", output, re.M)))
    return names, functions


def run(cmd, timeout):
    try:
        done = subprocess.run(cmd, capture_output=True, text=True, errors="replace",
                              timeout=timeout)
        return done.returncode, done.stdout + done.stderr
    except subprocess.TimeoutExpired as expired:
        out = (expired.stdout or b"")
        if isinstance(out, bytes):
            out = out.decode(errors="replace")
        return -1, out + "\n[timed out]"


def plant_and_test(fault, src, build, args):
    path = src / fault["file"]
    original = path.read_text()
    count = original.count(fault["find"])
    if count != 1:
        return dict(status=f"NOT PLANTED (find text occurs {count} times)", tests=[], functions=[])
    try:
        path.write_text(original.replace(fault["find"], fault["replace"]))
        code, out = run(["cmake", "--build", str(build), "-j", str(args.jobs)], 1800)
        if code != 0:
            tail = "\n".join(out.splitlines()[-15:])
            return dict(status="BUILD FAILED", tests=[], functions=[], log=tail)
        cmd = ["ctest", "--test-dir", str(build), "-j", str(args.jobs),
               "--output-on-failure", "--timeout", "120", "-E", args.exclude]
        if args.tests:
            cmd += ["-R", args.tests]
        code, out = run(cmd, 1800)
        tests, functions = failed_tests(out)
        if code != 0 and not tests:
            tests = ["(ctest failed without a test name)"]
        if tests and args.confirm:
            # Run the failed tests again, one at a time, so that a test that
            # failed only because the machine was busy is not counted.
            # A parameterised case's CTest name goes on after a blank.
            plain = [t.removesuffix(" [timed out]") for t in tests]
            again = "^(" + "|".join(re.escape(t) for t in plain) + ")( |$)"
            code, out = run(["ctest", "--test-dir", str(build), "--output-on-failure",
                             "--timeout", "150", "-R", again], 1800)
            tests, functions = failed_tests(out)
        return dict(status="caught" if tests else "NOT CAUGHT", tests=tests, functions=functions)
    finally:
        path.write_text(original)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, type=pathlib.Path)
    parser.add_argument("--only", default="")
    parser.add_argument("--group", default="")
    parser.add_argument("--tests", default="")
    parser.add_argument("--exclude", default=DEFAULT_EXCLUDE)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--out", type=pathlib.Path)
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--confirm", action="store_true",
                        help="run failed tests again alone and count only those failing twice")
    parser.add_argument("--baseline", action="store_true",
                        help="first check that every test passes with no fault planted")
    args = parser.parse_args()

    faults = load_faults(args.group)
    if args.only:
        wanted = set(args.only.split(","))
        faults = [f for f in faults if f["id"] in wanted]
    if args.list:
        for f in faults:
            print(f"{f['id']:5} {f['file']:40} {f['what']}")
        return 0

    build = args.build.resolve()
    src = source_dir(build)
    lines = ["| fault | what | status | failing tests |", "|---|---|---|---|"]
    missed = 0
    if args.baseline:
        code, out = run(["cmake", "--build", str(build), "-j", str(args.jobs)], 1800)
        if code == 0:
            code, out = run(["ctest", "--test-dir", str(build), "-j", str(args.jobs),
                             "--timeout", "120", "-E", args.exclude], 1800)
        if code != 0:
            print(out[-3000:])
            sys.exit("the build or the tests fail with no fault planted")
        print("baseline: every test passes", flush=True)
    try:
        for fault in faults:
            started = time.time()
            result = plant_and_test(fault, src, build, args)
            names = result["tests"] + [f"{fn}()" for fn in result["functions"]]
            if result["status"] != "caught":
                missed += 1
            shown = ", ".join(names[:6]) + (f" … ({len(names)} in all)" if len(names) > 6 else "")
            lines.append(f"| {fault['id']} | {fault['what']} | {result['status']} | {shown} |")
            print(f"{fault['id']}: {result['status']} in {time.time() - started:.0f} s: {shown}",
                  flush=True)
            if "log" in result:
                print(result["log"], flush=True)
    finally:
        # Leave the build matching the unplanted sources.
        run(["cmake", "--build", str(build), "-j", str(args.jobs)], 1800)
    report = "\n".join(lines) + "\n"
    if args.out:
        args.out.write_text(report)
    print(report)
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
