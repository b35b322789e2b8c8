#!/usr/bin/env python3
"""Reads every Qt Designer form (.ui) given on the command line and checks
that each control that takes input can be named by a screen reader: a label
whose buddy it is, or an accessibleName property. Also checks that a form's
explicit tab order, when it has one, names every such control once.

check_ui_accessibility.py [--allow FILE:WIDGET]... FORM.ui...
Prints one line per unnamed control and exits 1 when there is any that is
not allowed."""
import sys
import xml.etree.ElementTree as ET

# Classes that always take input, and those that do only without a text of
# their own (a check box's text names it; an icon button has none).
INPUT_CLASSES = {
    "QLineEdit", "QComboBox", "QFontComboBox", "QSpinBox", "QDoubleSpinBox",
    "QPlainTextEdit", "QTextEdit", "QTextBrowser", "QTableView", "QTableWidget",
    "QListView", "QListWidget", "QTreeView", "QTreeWidget", "QSlider", "QDial",
    "QDateEdit", "QTimeEdit", "QDateTimeEdit", "QKeySequenceEdit",
}
TEXT_NAMED_CLASSES = {"QCheckBox", "QRadioButton", "QPushButton", "QToolButton", "QCommandLinkButton"}


def string_property(widget, name):
    for prop in widget.findall("property"):
        if prop.get("name") == name:
            # Texts are <string>; widget names (a label's buddy) are <cstring>.
            for kind in ("string", "cstring"):
                s = prop.find(kind)
                if s is not None:
                    return s.text or ""
            return ""
    return ""


def check_form(path):
    """The unnamed controls of one form, as (widget name, class) pairs, and
    the problems of its tab order."""
    root = ET.parse(path).getroot()
    # A form's own widget classes count as the Qt class they extend.
    extends = {c.findtext("class"): c.findtext("extends") for c in root.iter("customwidget")}
    widgets = list(root.iter("widget"))
    buddies = {string_property(w, "buddy") for w in widgets if w.get("class") == "QLabel"}
    buddies.discard("")
    unnamed, inputs = [], []
    for w in widgets:
        cls, name = w.get("class"), w.get("name")
        cls = extends.get(cls, cls)
        takes_input = cls in INPUT_CLASSES or (
            cls in TEXT_NAMED_CLASSES and not string_property(w, "text").strip())
        if not takes_input:
            continue
        inputs.append(name)
        if name in buddies or string_property(w, "accessibleName").strip():
            continue
        unnamed.append((name, cls))
    problems = []
    tabstops = [t.text for t in root.iter("tabstop")]
    if tabstops:
        for name in inputs:
            if name not in tabstops:
                problems.append(f"{name} is missing from the tab order")
        seen = set()
        for name in tabstops:
            if name in seen:
                problems.append(f"{name} appears twice in the tab order")
            seen.add(name)
    return unnamed, problems


def main(argv):
    allowed, forms = set(), []
    args = iter(argv)
    for arg in args:
        if arg == "--allow":
            allowed.add(next(args))
        else:
            forms.append(arg)
    if not forms:
        print("usage: check_ui_accessibility.py [--allow FORM:WIDGET]... FORM.ui...", file=sys.stderr)
        return 2
    failed = False
    for path in forms:
        unnamed, problems = check_form(path)
        form = path.rsplit("/", 1)[-1]
        for name, cls in unnamed:
            if f"{form}:{name}" in allowed:
                print(f"{form}: {cls} {name} has no accessible name (known, left to its owner)")
                continue
            print(f"{form}: {cls} {name} has neither a buddy label nor an accessibleName")
            failed = True
        for problem in problems:
            print(f"{form}: {problem}")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
