"""Screenshots of the found viewer's list over a large search, driven through
the accessibility bus: the list after the search, sorted by count, a row
clicked, the hexadecimal dump, then the application started again with the
result offered and the viewer brought back from the Window menu.

viewer_list_shots.py TRAWLEX FOLDER SHOTS_DIR (inside xvfb-run and
dbus-run-session, with the accessibility bus launched; see
viewer_list_shots.sh)."""
import os
import signal
import subprocess
import sys
import tempfile
import time

import pyatspi

from atspi_driver import (application, descendants, fill_first_target, find, labels, press,
                          show_as_hexadecimal, wait_until)

trawlex, folder, shots = sys.argv[1], sys.argv[2], sys.argv[3]
work = tempfile.mkdtemp()
env = dict(os.environ, HOME=work, XDG_DATA_HOME=work + "/data", XDG_CONFIG_HOME=work + "/config",
           QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LANGUAGE="en", LANG="C.UTF-8")


def start():
    return subprocess.Popen([trawlex], env=env)


def stop(proc):
    proc.send_signal(signal.SIGTERM)
    proc.wait(timeout=30)


def screenshot(name, acc=None):
    path = os.path.join(shots, name)
    command = ["import", "-window", "root"]
    if acc is not None:
        e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        command += ["-crop", f"{e.width}x{e.height}+{e.x}+{e.y}"]
    subprocess.run(command + [path], check=False)
    print("shot", path)


def click(acc, clicks=1):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    for _ in range(clicks):
        pyatspi.Registry.generateMouseEvent(e.x + min(e.width // 2, 60), e.y + e.height // 2,
                                            pyatspi.MOUSE_B1C)
        time.sleep(0.6)


def label_after(window, title):
    shown = labels(window)
    return shown[shown.index(title) + 1] if title in shown and shown.index(title) + 1 < len(shown) else ""


def status_of(window):
    return [t for t in labels(window) if "found files" in t]


# ---- First run: a search over the folder ----------------------------------
app_proc = start()
app = application()
editor = fill_first_target(app, "GNU General Public License", folder)
press(find(editor, "push button", "OK"))
press(find(app, "push button", "Search"))
viewer = find(app, "filler", "Found Viewer", timeout=900)
wait_until("the list", lambda: status_of(viewer), timeout=60)
print("status:", status_of(viewer))
table = find(viewer, "table", "Found files")
screenshot("1-list.png")

headers = table.queryTable()
count_header = headers.getColumnHeader(1)
click(count_header)  # ascending
click(count_header)  # descending
time.sleep(1)
screenshot("2-sorted-by-count.png")
print("top row:", headers.getAccessibleAt(0, 0).name, headers.getAccessibleAt(0, 1).name)

first_file = label_after(viewer, "File:")
row = headers.getAccessibleAt(2, 0)
click(row)
wait_until("the file of the clicked row", lambda: label_after(viewer, "File:") != first_file)
print("clicked row shows", label_after(viewer, "File:"))
screenshot("3-row-clicked.png")
screenshot("viewer-list.png", viewer)

show_as_hexadecimal(viewer)
screenshot("4-hex.png")
screenshot("viewer-hex.png", viewer)
stop(app_proc)

# ---- Second run: the result is offered, the viewer comes back -------------
app_proc = start()
app = application()
offer = None
end = time.time() + 30
while offer is None and time.time() < end:
    offer = next((t for t in labels(app) if t.startswith("Last result:")), None)
    time.sleep(0.3)
print("offer:", offer)
screenshot("5-restart-offer.png")
# Window > Found Viewer, as the menu's item is triggered.
item = descendants(app, lambda a: a.getRoleName() == "menu item" and a.name == "Found Viewer")[0]
press(item)
viewer = find(app, "filler", "Found Viewer", timeout=30)
wait_until("the list after the restart", lambda: status_of(viewer), timeout=30)
time.sleep(1)
screenshot("6-reopened-after-restart.png")
stop(app_proc)
if offer is None:
    raise AssertionError("no offer of the last result after the restart")
