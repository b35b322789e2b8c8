"""Finding and using Trawlex's controls through the accessibility bus, by
role and accessible name, as a screen reader or a user's script would."""
import time

import pyatspi


def application(name="Trawlex", timeout=30):
    end = time.time() + timeout
    while time.time() < end:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    raise AssertionError(f"{name} is not on the accessibility bus")


def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def descendants(root, pred):
    # Tables and lists are not entered: their cells are many and come and go.
    out, stack = [], [root]
    while stack:
        acc = stack.pop()
        try:
            if acc is None:
                continue
            if acc is not root and pred(acc):
                out.append(acc)
            if acc.getRoleName() in ("table", "list", "tree table", "tree", "list box"):
                continue
            stack.extend(reversed([child for child in acc]))
        except Exception:  # a control that went away while it was read
            continue
    return out


def find(root, role, name, timeout=15):
    end = time.time() + timeout
    while time.time() < end:
        hits = descendants(root, lambda a: a.getRoleName() == role and a.name == name and showing(a))
        if hits:
            return hits[0]
        time.sleep(0.2)
    shown = sorted({(a.getRoleName(), a.name) for a in descendants(root, lambda a: showing(a) and a.name)})
    raise AssertionError(f"no {role} named {name!r} is shown; shown: {shown}")


def labels(root):
    return [a.name for a in descendants(root, lambda a: a.getRoleName() == "label" and showing(a))]


def press(button):
    button.queryAction().doAction(0)


def set_text(field, text):
    field.queryEditableText().setTextContents(text)


def text_of(field):
    t = field.queryText()
    return t.getText(0, t.characterCount)


def wait_until(what, check, timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        if check():
            return
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}")


def fill_first_target(app, text, folder, t=lambda s: s):
    """In the target editor of a first start, types `text` and adds `folder`
    with the chooser; returns the editor, still open. `t` translates the
    labels for a French interface."""
    editor = find(app, "dialog", t("Target"))
    set_text(find(editor, "text", t("Find the text:")), text)
    press(find(editor, "push button", t("Add...")))
    chooser = find(app, "dialog", t("Add files and folders"))
    set_text(find(chooser, "text", t("Directory:")), folder)
    press(find(chooser, "push button", t("Choose")))
    items = find(editor, "table", t("Look in these files and folders:"))
    wait_until("the folder in the item table", lambda: items.queryTable().nRows == 1)
    wait_until("the chooser to close", lambda: not descendants(
        app, lambda a: a.getRoleName() == "dialog" and a.name == t("Add files and folders")))
    return editor


def show_as_hexadecimal(viewer):
    """Chooses "Hexadecimal bytes" in the viewer's Show as pull-down. The
    pull-down opens on the press; the release on an item chooses it. The open
    menu is not on the accessibility bus, so its third item is reached by its
    place below the button."""
    show_as = [b for b in descendants(viewer, lambda a: a.getRoleName() == "push button")
               if b.name in ("Show as", "Text", "Original encoding", "Hexadecimal bytes")][0]
    e = show_as.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(e.x + 20, e.y + e.height // 2, pyatspi.MOUSE_B1P)
    time.sleep(1)
    x, y = e.x + 40, e.y + e.height + 55
    pyatspi.Registry.generateMouseEvent(x, y, pyatspi.MOUSE_ABS)
    time.sleep(0.3)
    pyatspi.Registry.generateMouseEvent(x, y, pyatspi.MOUSE_B1R)
    time.sleep(1)
