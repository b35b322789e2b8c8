#!/usr/bin/env python3
"""Reads trawlex-cli --json output on stdin, checks every line with Python's
json parser and the order of the records, and prints one line per record
that names a file: KIND<TAB>PATH-AS-HEX<TAB>FIELDS, where FIELDS are the
match's offset and line number, or the end record's match count.
Exits 1 with a message on stderr when anything is wrong."""
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


def main():
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
            for key in ("matches", "searches", "searches_with_match", "bytes_searched", "errors"):
                if not isinstance(stats[key], int):
                    fail("summary field %s is not a number" % key)
            summary = stats
            print("summary\t-\t%d\t%d" % (stats["matches"], stats["searches_with_match"]))
            continue
        path = path_bytes(data["path"])
        if kind == "begin":
            if current is not None:
                fail("begin inside a file")
            current = path
            print("begin\t%s\t" % path.hex())
        elif kind == "match":
            if path != current:
                fail("a match outside its file")
            line = data["line_number"]
            print("match\t%s\t%d\t%s" % (path.hex(), data["absolute_offset"],
                                         "-" if line is None else str(line)))
        elif kind == "end":
            if path != current:
                fail("an end outside its file")
            current = None
            print("end\t%s\t%d" % (path.hex(), data["stats"]["matches"]))
        else:
            fail("unknown record type %r" % kind)
    if current is not None:
        fail("a file without its end record")
    if summary is None:
        fail("no summary record")


main()
