"""Takes the screenshots of the user guide and of the README: drives Trawlex
through the accessibility bus under a virtual display, as
tests/e2e/first_search.py does, and captures each window with ImageMagick's
`import`. Run it through run.sh."""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib


sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "e2e"))
from atspi_driver import (application, descendants, fill_first_target, find, labels, press,  # noqa: E402
                          text_of, wait_until)

data = sys.argv[1]
shots = os.environ["TRAWLEX_SCREENSHOTS"]
french = os.environ.get("TRAWLEX_LANGUAGE", "en").startswith("fr")

# The names of the controls in the interface's language.
FRENCH = {
    "Target": "Canevas", "Find the text:": "Texte \u00e0 trouver :", "Add...": "Ajouter...",
    "Add files and folders": "Ajouter des fichiers et dossiers", "Directory:": "Dossier :",
    "Choose": "Choisir", "Look in these files and folders:": "Chercher dans ces fichiers et dossiers :",
    "Name:": "Nom :", "Preferences": "Pr\u00e9f\u00e9rences", "Cancel": "Annuler",
    "Search": "Rechercher", "Found Viewer": "Visualiseur des occurrences", "File:": "Fichier :",
    "Next file": "Fichier suivant", "Previous file": "Fichier pr\u00e9c\u00e9dent", "Show as": "Afficher en",
}


def t(text):
    return FRENCH.get(text, text) if french else text


def capture(title, name):
    """Captures the top-level window titled `title` into `name`."""
    time.sleep(0.8)
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    ids = [line.split()[0] for line in tree.splitlines()
           if line.count('"') >= 2 and line.split('"')[1] in (title, f"{title} \u2014 Trawlex")]
    for window in ids:
        out = os.path.join(shots, name)
        if subprocess.run(["import", "-window", window, out]).returncode == 0:
            size = subprocess.run(["identify", "-format", "%w %h", out],
                                  capture_output=True, text=True).stdout.split()
            if size and int(size[0]) > 100 and int(size[1]) > 60:
                print("captured", name, size)
                return
    raise AssertionError(f"no window titled {title!r}: {tree}")


def choose_from_menu(button, row, row_height=22):
    """Opens the menu of a pull-down or menu-bar item with a click and clicks
    its row `row` (0 for the first); Qt's menus are popups that the
    accessibility bus does not list, so the row is found by its place."""
    x, y, w, h = button.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(x + w // 2, y + h // 2, "b1c")
    time.sleep(0.8)
    pyatspi.Registry.generateMouseEvent(x + 30, y + h + row_height // 2 + row * row_height, "b1c")
    time.sleep(0.8)


# A few more files, so that the viewer and the counters have something to show.
with open(os.path.join(data, "notes.txt"), "w", encoding="utf-8") as f:
    f.write("Meeting notes, Monday\n\nAnn will say hello to the new team on Tuesday.\n"
            "The release is planned for the end of the month; the help guide\n"
            "must be ready before then.\nÉtienne: « hello » in French is « bonjour ».\n")
with open(os.path.join(data, "sub", "firmware.bin"), "wb") as f:
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

print("screenshots taken in", shots)
