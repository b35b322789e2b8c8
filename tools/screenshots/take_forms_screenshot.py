"""Takes the user guide's screenshot of a search of several forms: a first
target "Secret" given the quick choice of forms in the target editor's
"Forms..." dialog, searched over a file that holds it as UTF-8, UTF-16
little-endian and UTF-16 big-endian, and the viewer on the big-endian
occurrence, decoded in its own form. Run it through run.sh, after take_screenshots.py."""
import os
import sys

import pyatspi

sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "e2e"))
from atspi_driver import application, fill_first_target, find, labels, press, wait_until  # noqa: E402
from screenshot_support import capture, t  # noqa: E402

folder = os.path.join(os.path.dirname(os.environ["TRAWLEX_EXAMPLE"]), "firmware")
os.makedirs(folder, exist_ok=True)
with open(os.path.join(folder, "settings.bin"), "wb") as f:
    f.write(b"[login]\nuser=ann\nkey=Secret\n\0\0"
            + "Password: Secret (saved)".encode("utf-16-le") + b"\0\0"
            # A lone surrogate: the big-endian text is decoded from after it.
            + b"\xd8\x00" + "Token: Secret (session)".encode("utf-16-be"))

app = application()
editor = fill_first_target(app, "Secret", folder, t)
# A click, not an action: the dialog runs modal, and an action on the
# button would wait for its reply until the dialog closes.
button = find(editor, "push button", t("Forms\u2026")).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
pyatspi.Registry.generateMouseEvent(button.x + button.width // 2, button.y + button.height // 2, "b1c")
forms = find(app, "dialog", t("Forms"))
press(find(forms, "push button", t("ASCII, UTF-8 and UTF-16 (both byte orders)")))
press(find(forms, "push button", "OK"))
press(find(editor, "push button", "OK"))
press(find(app, "push button", t("Search")))
viewer = find(app, "filler", t("Found Viewer"), timeout=30)
wait_until("the first occurrence", lambda: any(s.startswith("1 / 5") for s in labels(viewer)))
# Each UTF-16 text is also found one byte off in the other byte order; the
# fourth occurrence is the big-endian text itself.
for k in (2, 3, 4):
    press(find(viewer, "push button", t("Next occurrence")))
    wait_until(f"occurrence {k}", lambda: any(s.startswith(f"{k} / 5") for s in labels(viewer)))
wait_until("the big-endian occurrence", lambda: "4 / 5 (UTF-16BE)" in labels(viewer))
capture(t("Found Viewer"), "viewer-forms.png")
print("forms screenshot taken")
