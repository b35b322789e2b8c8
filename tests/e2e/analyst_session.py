"""An analyst's session on an empty data folder, driven through the
accessibility bus: a hexadecimal signature whose typed 3F is a byte while a
typed wildcard matches any byte, targets saved in the editor offered at once
in Special > Target > Load, and a file the search cannot read named after
the search. Runs as a user that the file's mode stops (run_unprivileged.sh)."""
import os
import sys
import time

import pyatspi

from atspi_driver import (application, descendants, find, labels, press, set_text, text_of,
                          wait_until)

data = sys.argv[1]
app = application()


def key(keysym):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    time.sleep(0.3)


def choose_hexadecimal(window):
    """The encoding pull-down's menu is not on the bus: it is opened with the
    mouse and its last item, Hexadecimal, taken from the keyboard."""
    button = find(window, "push button", "Encoding")
    e = button.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(e.x + e.width // 2, e.y + e.height // 2, pyatspi.MOUSE_B1C)
    time.sleep(1)
    key(0xFF52)  # Up: from no item, the last one
    key(0xFF0D)  # Return


def checked(box):
    return box.getState().contains(pyatspi.STATE_CHECKED)


def menu_item(root, *path):
    """The menu item at `path` under the menu bar, shown or not."""
    node = descendants(root, lambda a: a.getRoleName() == "menu bar")[0]
    for name in path:
        node = descendants(node, lambda a, n=name: a.getRoleName() == "menu item" and a.name == n)[0]
    return node


def loadable_targets(frame):
    return [item.name for item in menu_item(frame, "Special", "Target", "Load")[0]
            if item.getRoleName() == "menu item"]


def add_folder(editor, folder):
    press(find(editor, "push button", "Add..."))
    chooser = find(app, "dialog", "Add files and folders")
    set_text(find(chooser, "text", "Directory:"), folder)
    press(find(chooser, "push button", "Choose"))
    items = find(editor, "table", "Look in these files and folders:")
    wait_until("the folder in the item table", lambda: items.queryTable().nRows == 1)
    wait_until("the chooser to close", lambda: not descendants(
        app, lambda a: a.getRoleName() == "dialog" and a.name == "Add files and folders"))


def search(frame):
    """Runs the current target to its end; the count of occurrences."""
    press(find(frame, "push button", "Search"))
    wait_until("the search to end", lambda: descendants(
        frame, lambda a: a.getRoleName() == "push button" and a.name == "Search"
        and a.getState().contains(pyatspi.STATE_ENABLED)), timeout=30)
    time.sleep(1)
    return text_of(find(frame, "text", "Found:")).strip()


# ---- A hexadecimal signature typed in the editor of the first start -------
editor = find(app, "dialog", "Target")
string = find(editor, "text", "Find the text:")
set_text(string, "hello")
choose_hexadecimal(editor)
wait_until("the bytes in hexadecimal", lambda: text_of(string).split() == "68 65 6C 6C 6F".split())
if checked(find(editor, "check box", "Ignore case (A-Z)")):
    raise AssertionError("Ignore case stays on for a hexadecimal string")
set_text(string, "68 3F 6C 6C 6F")
add_folder(editor, data)
first_name = text_of(find(editor, "text", "Name:"))
press(find(editor, "push button", "OK"))

frame = find(app, "frame", "Trawlex")
wait_until("the saved target in Special > Target > Load",
           lambda: loadable_targets(frame) == [first_name])

# A typed 3F is the byte "?": no file holds "h?llo".
count = search(frame)
if count != "0":
    raise AssertionError(f"68 3F 6C 6C 6F found {count} occurrences; the tree holds no h?llo")
# The typed 3F moved the target's wildcard off "?"; with "?" as the
# wildcard again, a typed wildcard matches any byte: the three "hello".
wildcard = find(frame, "text", "Wildcard:")
if text_of(wildcard) == "?":
    raise AssertionError("the wildcard stayed the byte 3F that the string holds")
set_text(wildcard, "?")
set_text(find(frame, "text", "Search string:"), "68 ? 6C 6C 6F")
count = search(frame)
if count != "3":
    raise AssertionError(f"68 ? 6C 6C 6F found {count} occurrences, not the three hello")
print("hexadecimal: 68 3F 6C 6C 6F found 0, 68 ? 6C 6C 6F found 3")

# ---- A second target, saved from Special > Target > New -------------------
menu_item(frame, "Special", "Target", "New...").queryAction().doAction(0)
editor = find(app, "dialog", "Target")
set_text(find(editor, "text", "Find the text:"), "hello")
add_folder(editor, data)
second_name = text_of(find(editor, "text", "Name:"))
press(find(editor, "push button", "OK"))
wait_until("both saved targets in Special > Target > Load",
           lambda: loadable_targets(frame) == [first_name, second_name])
print("Special > Target > Load:", loadable_targets(frame))

# ---- A file the search cannot read -----------------------------------------
locked = os.path.join(data, "locked.txt")
with open(locked, "w") as f:
    f.write("hello")
os.chmod(locked, 0)
if os.access(locked, os.R_OK):
    raise AssertionError("locked.txt is readable: run this walk as a user its mode stops")

# Going on after errors (the default), the viewer counts it and lists it.
count = search(frame)
if count != "3":
    raise AssertionError(f"the search went on past locked.txt with {count} occurrences, not 3")
viewer = find(app, "filler", "Found Viewer", timeout=30)
wait_until("the count of unreadable items",
           lambda: any("1 file or folder could not be read." in t for t in labels(viewer)))
press(find(viewer, "push button", "Unreadable Items\u2026"))
panel = find(app, "dialog", "Unreadable Files and Folders")
listed = text_of(find(panel, "text", "Unreadable Files and Folders"))
if listed != locked + ": Permission denied":
    raise AssertionError(f"the list of unreadable items holds {listed!r}")
press(find(panel, "push button", "Close"))
print("unreadable, skipped:", listed)

# Without going on, the search stops there and its alert names the file.
box = find(frame, "check box", "Go on after read errors")
box.queryAction().doAction(0)
wait_until("the option off", lambda: not checked(box))
press(find(frame, "push button", "Search"))


def alert_naming_locked():
    return descendants(app, lambda a: a.getRoleName() == "label" and (a.name or "").startswith(
        "The search stopped at a file or folder it could not read:") and locked in a.name)


wait_until("the alert naming locked.txt", alert_naming_locked, timeout=30)
print("unreadable, stopped:", alert_naming_locked()[0].name.replace("\n", " | "))
shots = os.environ.get("TRAWLEX_SCREENSHOTS")
if shots:
    import subprocess
    subprocess.run(["import", "-window", "root", os.path.join(shots, "stopped.png")], check=False)
