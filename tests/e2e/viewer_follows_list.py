"""The found viewer follows its list, driven through the accessibility bus:
after sorting by occurrence count and filtering, Next file visits exactly
the listed rows in their order; Ctrl+C in the list puts the row's path on
the clipboard; started again, the viewer says which search string produced
the result. With TRAWLEX_SCREENSHOTS set, shoots the context menu and the
aligned hexadecimal dump there.

viewer_follows_list.py DATA TRAWLEX (from run_under_bus.sh, which started
TRAWLEX on DATA)."""
import os
import signal
import subprocess
import sys
import time

import pyatspi

from atspi_driver import (application, descendants, fill_first_target, find, labels, press,
                          set_text, show_as_hexadecimal, text_of, wait_until)

data, trawlex = sys.argv[1], sys.argv[2]
shots = os.environ.get("TRAWLEX_SCREENSHOTS")
CONTROL = 37  # the keycode of Control_L in the virtual display's keymap

# Found files beside a.txt (2 hello) and sub/b.txt (1): name -> count.
for name, n in {"c.txt": 3, "sub/d.txt": 4, "sub/e.txt": 2}.items():
    with open(os.path.join(data, name), "w") as f:
        f.write("hello " * n)
# One occurrence far into a file: its excerpt starts at offset 205, inside a
# dump row (0xC0 to 0xCF).
with open(os.path.join(data, "far.bin"), "wb") as f:
    f.write(bytes(range(256)) * 4 + b"." * 179 + b"hello" + bytes(300))


def ctrl(keysym):
    pyatspi.Registry.generateKeyboardEvent(CONTROL, None, pyatspi.KEY_PRESS)
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    pyatspi.Registry.generateKeyboardEvent(CONTROL, None, pyatspi.KEY_RELEASE)
    time.sleep(0.5)


def click(acc, button=pyatspi.MOUSE_B1C):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(e.x + min(e.width // 2, 60), e.y + e.height // 2, button)
    time.sleep(0.6)


def label_after(window, title):
    shown = labels(window)
    return shown[shown.index(title) + 1] if title in shown and shown.index(title) + 1 < len(shown) else ""


def screenshot(name, acc):
    if not shots:
        return
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["import", "-window", "root", "-crop", f"{e.width}x{e.height}+{e.x}+{e.y}",
                    os.path.join(shots, name)], check=False)
    print("shot", name)


app = application()
editor = fill_first_target(app, "hello", data)
press(find(editor, "push button", "OK"))
frame = find(app, "frame", "Trawlex")
press(find(frame, "push button", "Search"))
viewer = find(app, "filler", "Found Viewer", timeout=30)
table = find(viewer, "table", "Found files")
wait_until("the six found files", lambda: table.queryTable().nRows == 6, timeout=30)

# ---- Sorted by count, filtered: Next file visits the listed rows -----------
click(table.queryTable().getColumnHeader(1))  # Occurrences, ascending
set_text(find(viewer, "text", "Filter paths"), "/sub/")
wait_until("the filtered rows", lambda: table.queryTable().nRows == 3)
rows = [table.queryTable().getAccessibleAt(r, 0).name for r in range(3)]
expected = [os.path.join(data, n) for n in ("sub/b.txt", "sub/e.txt", "sub/d.txt")]
if rows != expected:
    raise AssertionError(f"rows sorted by count and filtered: {rows}")
click(table.queryTable().getAccessibleAt(0, 0))
wait_until("the first row's file", lambda: label_after(viewer, "File:") == "b.txt")
visited = [label_after(viewer, "File:")]
next_file = find(viewer, "push button", "Next file")
while next_file.getState().contains(pyatspi.STATE_ENABLED):
    before = label_after(viewer, "File:")
    press(next_file)
    wait_until("the next file", lambda: label_after(viewer, "File:") != before)
    visited.append(label_after(viewer, "File:"))
if visited != ["b.txt", "e.txt", "d.txt"]:
    raise AssertionError(f"Next file visited {visited}")
print("Next file visited:", visited)

# ---- Shots: the context menu of a row, the aligned dump --------------------
if shots:
    click(table.queryTable().getAccessibleAt(0, 0), pyatspi.MOUSE_B3C)
    time.sleep(1)
    screenshot("viewer-context-menu.png", viewer)
    pyatspi.Registry.generateKeyboardEvent(0xFF1B, None, pyatspi.KEY_SYM)  # Escape
    time.sleep(0.5)

# ---- Ctrl+C in the list copies the row's path ------------------------------
click(table.queryTable().getAccessibleAt(0, 0))
ctrl(ord("c"))
field = find(viewer, "text", "Filter paths")
field.queryComponent().grabFocus()
time.sleep(0.3)
ctrl(ord("a"))
ctrl(ord("v"))
wait_until("the pasted path", lambda: text_of(field) == expected[0])
print("Copy Path:", text_of(field))

if shots:
    set_text(field, "far.bin")
    wait_until("the far file's row", lambda: table.queryTable().nRows == 1)
    click(table.queryTable().getAccessibleAt(0, 0))
    wait_until("the far file", lambda: label_after(viewer, "File:") == "far.bin")
    show_as_hexadecimal(viewer)
    screenshot("viewer-hex-aligned.png", viewer)

# ---- Started again: the viewer names the search string ---------------------
pid = app.get_process_id()
os.kill(pid, signal.SIGTERM)
end = time.time() + 30
while time.time() < end:
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        break
    time.sleep(0.2)
time.sleep(1)
again = subprocess.Popen([trawlex])
try:
    app = application()
    frame = find(app, "frame", "Trawlex")
    wait_until("the offer of the last result",
               lambda: any(t.startswith("Last result:") for t in labels(app)), timeout=30)
    item = descendants(app, lambda a: a.getRoleName() == "menu item" and a.name == "Found Viewer")[0]
    press(item)
    viewer = find(app, "filler", "Found Viewer", timeout=30)
    described = lambda: [t for t in labels(viewer) if t.startswith("Searched for")]
    wait_until("the search's description",
               lambda: any(t.startswith('Searched for: "hello" (68 65 6C 6C 6F)') for t in described()))
    print("after the restart:", described()[0].split("\n"))
finally:
    again.send_signal(signal.SIGTERM)
    again.wait(timeout=30)
