#!/usr/bin/env python3
"""Checks the layers of the user interface under UI_DIR (the ui/ folder).

A window folder (shell, search, viewer, target_editor, preferences) includes
no other window folder, neither its headers nor its generated form headers
(ui_<Form>.h); toolkit/ includes only toolkit/, common/ only common/ and
toolkit/; app/, which makes and connects the windows, may include any. No
file is longer than MAX_LINES lines. Prints each fault and exits 1 on any.

Usage: check_ui_layers.py UI_DIR [MAX_LINES]"""
import os
import re
import sys

WINDOWS = {"shell", "search", "viewer", "target_editor", "preferences"}
# What each layer that is not a window may include, besides itself.
ALLOWED = {"toolkit": set(), "common": {"toolkit"}, "app": None}  # None: anything

INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')


def allowed(folder, target):
    if target == folder:
        return True
    if folder in WINDOWS:
        return target in ("common", "toolkit")
    permitted = ALLOWED.get(folder, set())
    return permitted is None or target in permitted


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    root = argv[1]
    max_lines = int(argv[2]) if len(argv) > 2 else 600
    # The folder of each form, for the form headers uic generates.
    form_folder = {}
    files = []
    for folder in sorted(os.listdir(root)):
        path = os.path.join(root, folder)
        if not os.path.isdir(path):
            continue
        for base, _, names in os.walk(path):
            for name in sorted(names):
                files.append((folder, os.path.join(base, name)))
                if name.endswith(".ui"):
                    form_folder["ui_" + name[:-3] + ".h"] = folder
    faults = []
    for folder, path in files:
        shown = os.path.relpath(path, os.path.dirname(os.path.abspath(root)))
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
        if len(lines) > max_lines:
            faults.append(f"{shown}: {len(lines)} lines, more than {max_lines}")
        for number, line in enumerate(lines, 1):
            m = INCLUDE.match(line)
            if m is None:
                continue
            header = m.group(1)
            parts = header.split("/")
            if len(parts) > 2 and parts[0] == "ui":
                target = parts[1]
            elif header in form_folder:
                target = form_folder[header]
            else:
                continue
            if not allowed(folder, target):
                faults.append(f"{shown}:{number}: {folder}/ includes {target}/ ({header})")
    for fault in faults:
        print(fault)
    print(f"{len(files)} files checked, {len(faults)} fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
