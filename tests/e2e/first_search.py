"""A newcomer's first search on an empty data folder, driven through the
accessibility bus: the editor opens by itself; type what to find, add a
folder with the chooser, OK, Search, then step through the occurrences."""
import os
import subprocess
import sys
import time

import pyatspi

from atspi_driver import (application, descendants, fill_first_target, find, labels, press,
                          text_of, wait_until)

data = sys.argv[1]
shots = os.environ.get("TRAWLEX_SCREENSHOTS")


def screenshot(name):
    if shots:
        subprocess.run(["import", "-window", "root", os.path.join(shots, name)], check=False)


app = application()
editor = fill_first_target(app, "hello", data)
name = find(editor, "text", "Name:")
wait_until("the name to follow the text", lambda: text_of(name) == "hello")
screenshot("editor.png")
press(find(editor, "push button", "OK"))

search = find(app, "push button", "Search")
press(search)
viewer = find(app, "filler", "Found Viewer", timeout=30)
wait_until("the first occurrence", lambda: "1 / 2" in labels(viewer))

# The search window's counters are named by their labels: three occurrences.
found = find(find(app, "frame", "Trawlex"), "text", "Found:")
wait_until("the found count", lambda: text_of(found).strip() == "3")


def step_buttons():
    return {b.name: b for b in descendants(viewer, lambda a: a.getRoleName() == "push button"
                                           and a.name.startswith("Next "))}


def where():
    shown = labels(viewer)
    return shown[shown.index("File:") + 1], int(shown[shown.index("Offset:") + 1].split(" ")[0])


seen = [where()]
for _ in range(10):
    buttons = step_buttons()
    enabled = [buttons[k] for k in ("Next occurrence", "Next file")
               if k in buttons and buttons[k].getState().contains(pyatspi.STATE_ENABLED)]
    if not enabled:
        break
    before = where()
    press(enabled[0])
    wait_until("the viewer to move", lambda: where() != before)
    seen.append(where())
screenshot("viewer.png")
expected = [("b.txt", 3), ("a.txt", 0), ("a.txt", 16)]
if sorted(seen) != sorted(expected):
    raise AssertionError(f"stepped through {seen}, expected {expected} in the search's order")
print("first search: found and stepped through", seen)
