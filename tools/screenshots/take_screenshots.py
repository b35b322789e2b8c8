"""Takes the screenshots of the user guide and of the README: drives Trawlex
through the accessibility bus under a virtual display, as
tests/e2e/first_search.py does, over the tidy example folder that run.sh
makes ($TRAWLEX_EXAMPLE, a small project), and captures each window with
ImageMagick's `import`. Run it through run.sh."""
import os
import sys
import time

import pyatspi
from gi.repository import GLib


sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "e2e"))
from atspi_driver import (application, descendants, fill_first_target, find, labels, press,  # noqa: E402
                          text_of, wait_until)

from screenshot_support import capture, data, shots, t  # noqa: E402


def choose_from_menu(button, row, row_height=22):
    """Opens the menu of a pull-down or menu-bar item with a click and clicks
    its row `row` (0 for the first); Qt's menus are popups that the
    accessibility bus does not list, so the row is found by its place."""
    x, y, w, h = button.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(x + w // 2, y + h // 2, "b1c")
    time.sleep(0.8)
    pyatspi.Registry.generateMouseEvent(x + 30, y + h + row_height // 2 + row * row_height, "b1c")
    time.sleep(0.8)


# A small project: a few files that hold "hello" a different number of times.
EXAMPLE = {
    "README.md": "# Greeter\n\nGreeter says hello to each new member of the team, in their language.\n"
                 "Run `greeter --hello NAME`; `greeter --list` shows every hello it knows.\n",
    "notes.txt": "Meeting notes, Monday\n\nAnn will say hello to the new team on Tuesday.\n"
                 "The release is planned for the end of the month; the help guide\n"
                 "must be ready before then.\n\u00c9tienne: \u00ab hello \u00bb in French is \u00ab bonjour \u00bb.\n",
    "src/greeter.c": '#include <stdio.h>\n#include "greeter.h"\n\n'
                     "/* Prints hello, then the name: hello, Ann */\n"
                     'void say_hello(const char *name)\n{\n    printf("hello, %s\\n", name);\n}\n\n'
                     'static const char *hellos[] = { "hello", "bonjour", "hallo", "hola" };\n',
    "src/greeter.h": "void say_hello(const char *name);\n",
    "docs/changes.txt": "1.1: the hello of the French team is bonjour.\n1.0: first release.\n",
}
for name, text in EXAMPLE.items():
    os.makedirs(os.path.dirname(os.path.join(data, name)), exist_ok=True)
    with open(os.path.join(data, name), "w", encoding="utf-8") as f:
        f.write(text)
os.makedirs(os.path.join(data, "build"), exist_ok=True)
with open(os.path.join(data, "build", "firmware.bin"), "wb") as f:
    f.write(bytes(range(256)) + b"\x00\x01hello\xff\xfe" + bytes(range(255, -1, -1)))

app = application()
editor = fill_first_target(app, "hello", data, t)
name = find(editor, "text", t("Name:"))
wait_until("the name to follow the text", lambda: text_of(name) == "hello")
capture(t("Target"), "target-editor.png")
press(find(editor, "push button", "OK"))
capture("Trawlex", "search-window.png")

# The preferences window: the second item of the application menu (while no
# other window covers the menu bar).
choose_from_menu(find(app, "menu item", "Trawlex"), 1)
capture(t("Preferences"), "preferences.png")
press(find(find(app, "dialog", t("Preferences")), "push button", t("Cancel")))

press(find(app, "push button", t("Search")))
viewer = find(app, "filler", t("Found Viewer"), timeout=30)
wait_until("the first occurrence", lambda: any("1 / " in s for s in labels(viewer)))


def shown_file():
    shown = labels(viewer)
    return shown[shown.index(t("File:")) + 1]


def step_file(direction):
    """Presses "Next file" or "Previous file"; False when it is disabled."""
    for _ in range(5):
        try:
            button = descendants(viewer, lambda a: a.getRoleName() == "push button"
                                 and a.description.startswith(direction))[0]
            if not button.getState().contains(pyatspi.STATE_ENABLED):
                return False
            before = shown_file()
            press(button)
            wait_until("another file", lambda: shown_file() != before)
            return True
        except GLib.GError:  # a control rebuilt while it was read
            time.sleep(0.3)
    return False


def go_to_file(name):
    """Steps the viewer through the found files until it shows `name`."""
    for direction in (t("Next file"), t("Previous file")):
        while shown_file() != name and step_file(direction):
            pass
        if shown_file() == name:
            return
    raise AssertionError(f"{name} is not among the found files")


# Each display mode on the file it suits, chosen from the "Show as" pull-down.
for name, row, shot in (("notes.txt", 0, "viewer-text.png"), ("firmware.bin", 2, "viewer-hex.png"),
                        ("notes.txt", 1, "viewer-original.png")):
    go_to_file(name)
    choose_from_menu(find(viewer, "push button", t("Show as")), row)
    capture(t("Found Viewer"), shot)

# The list sorted by occurrence count, most first (two clicks on the
# column's header), and the file of its first row chosen.
def click(acc):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(e.x + min(e.width // 2, 60), e.y + e.height // 2, "b1c")
    time.sleep(0.8)


table = find(viewer, "table", t("Found files")).queryTable()
click(table.getColumnHeader(1))
click(table.getColumnHeader(1))
click(table.getAccessibleAt(0, 0))
choose_from_menu(find(viewer, "push button", t("Show as")), 0)
capture(t("Found Viewer"), "viewer-list.png")

print("screenshots taken in", shots)
