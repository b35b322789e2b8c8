#!/usr/bin/env python3
"""Reads trawlex-cli --json output on stdin, checks every line with Python's
json parser and the order of the records, and prints the records of one
KIND (begin, match, end or summary; the first argument) as the
tab-separated output would: PATH, then each occurrence's offset and line
number ("-" for null) or the end record's match count; the summary prints
its match and file counts. With "all", every record is printed, its kind
after the path. Paths are written as bytes with tab, newline, carriage
return and backslash escaped. With "compare RG_OUTPUT", the match records
must equal ripgrep's key for key (Trawlex's own "trawlex" key aside), and
the end and summary statistics have ripgrep's keys. Exits 1 with a message
on stderr when anything is wrong."""
import base64
import json
import sys


def fail(message):
    print(message, file=sys.stderr)
    sys.exit(1)


def path_bytes(path):
    if set(path) == {"text"}:
        return path["text"].encode("utf-8")
    if set(path) == {"bytes"}:
        raw = base64.b64decode(path["bytes"], validate=True)
        try:
            raw.decode("utf-8")
        except UnicodeDecodeError:
            return raw
        fail("a UTF-8 path given as bytes: %r" % raw)
    fail("a path is neither text nor bytes: %r" % path)


def escaped(path):
    for raw, esc in ((b"\\", b"\\\\"), (b"\t", b"\\t"), (b"\n", b"\\n"), (b"\r", b"\\r")):
        path = path.replace(raw, esc)
    return path


def main():
    wanted = sys.argv[1] if len(sys.argv) > 1 else "all"
    out = sys.stdout.buffer

    def emit(kind, path, fields):
        if wanted not in ("all", kind):
            return
        parts = [] if path is None else [escaped(path)]
        if wanted == "all":
            parts.append(kind.encode())
        out.write(b"\t".join(parts + [str(f).encode() for f in fields]) + b"\n")

    lines = sys.stdin.buffer.read().split(b"\n")
    if lines[-1] != b"":
        fail("the output does not end with a newline")
    current = None
    summary = None
    for raw in lines[:-1]:
        if summary is not None:
            fail("a record after the summary")
        record = json.loads(raw.decode("utf-8"))
        kind = record["type"]
        data = record["data"]
        if kind == "summary":
            stats = data["stats"]
            for key in ("matches", "searches", "searches_with_match", "bytes_searched",
                        "bytes_printed", "matched_lines"):
                if not isinstance(stats[key], int):
                    fail("summary field %s is not a number" % key)
            summary = stats
            emit(kind, None, [stats["matches"], stats["searches_with_match"]])
            continue
        path = path_bytes(data["path"])
        if kind == "begin":
            if current is not None:
                fail("begin inside a file")
            current = path
            emit(kind, path, [])
        elif kind == "match":
            if path != current:
                fail("a match outside its file")
            line = data["line_number"]
            for offset in data["trawlex"]["offsets"]:
                emit(kind, path, [offset, "-" if line is None else line])
        elif kind == "end":
            if path != current:
                fail("an end outside its file")
            current = None
            emit(kind, path, [data["stats"]["matches"]])
        else:
            fail("unknown record type %r" % kind)
    if current is not None:
        fail("a file without its end record")
    if summary is None:
        fail("no summary record")


def records(raw):
    return [json.loads(line) for line in raw.decode("utf-8").splitlines()]


def compare(rg_output):
    ours = records(sys.stdin.buffer.read())
    with open(rg_output, "rb") as f:
        theirs = records(f.read())

    def matches(recs):
        found = [r["data"] for r in recs if r["type"] == "match"]
        for data in found:
            data.pop("trawlex", None)
        return sorted(found, key=lambda d: (json.dumps(d["path"]), d["absolute_offset"]))

    def stat_keys(recs, kind):
        return sorted({tuple(sorted(r["data"]["stats"])) for r in recs if r["type"] == kind})

    if matches(ours) != matches(theirs):
        fail("match records differ:\n%s\n%s" % (matches(ours), matches(theirs)))
    for kind in ("end", "summary"):
        if stat_keys(ours, kind) != stat_keys(theirs, kind):
            fail("%s stats keys differ: %s %s" % (kind, stat_keys(ours, kind), stat_keys(theirs, kind)))
    if not matches(ours):
        fail("no match record to compare")


if len(sys.argv) == 3 and sys.argv[1] == "compare":
    compare(sys.argv[2])
else:
    main()
