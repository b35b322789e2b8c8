#!/usr/bin/env python3
"""The layer checker on small ui/ trees: each case is the files of a tree
and whether the checker must accept it."""
import os
import subprocess
import sys
import tempfile

checker = sys.argv[1]

CASES = [
    ("own folder, common and toolkit", True,
     {"search/a.cpp": '#include "ui/search/a.h"\n#include "ui/common/f.h"\n#include "ui/toolkit/t.h"\n'}),
    ("a window includes another window", False, {"search/a.cpp": '#include "ui/viewer/v.h"\n'}),
    ("a window includes another window's form", False,
     {"shell/Main.ui": "<ui/>\n", "search/a.cpp": '#include "ui_Main.h"\n'}),
    ("its own form", True, {"search/S.ui": "<ui/>\n", "search/a.cpp": '#include "ui_S.h"\n'}),
    ("the toolkit includes a window", False, {"toolkit/t.cpp": '#include "ui/shell/m.h"\n'}),
    ("the toolkit includes common", False, {"toolkit/t.cpp": '#include "ui/common/f.h"\n'}),
    ("common includes a window", False, {"common/f.cpp": '#  include "ui/viewer/v.h"\n'}),
    ("the application includes every window", True,
     {"app/a.cpp": '#include "ui/shell/m.h"\n#include "ui/viewer/v.h"\n'}),
    ("a file of 601 lines", False, {"viewer/v.cpp": "//\n" * 601}),
    ("a file of 600 lines", True, {"viewer/v.cpp": "//\n" * 600}),
]

failures = 0
for title, accepted, files in CASES:
    with tempfile.TemporaryDirectory() as top:
        root = os.path.join(top, "ui")
        for name, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, name)), exist_ok=True)
            with open(os.path.join(root, name), "w") as f:
                f.write(text)
        run = subprocess.run([sys.executable, checker, root], capture_output=True, text=True)
        if (run.returncode == 0) != accepted:
            failures += 1
            print(f"{title}: {'refused' if accepted else 'accepted'}\n{run.stdout}")
sys.exit(1 if failures else 0)
