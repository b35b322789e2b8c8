"""What the screenshot scripts share: the folders they write to, the
names of the controls in the interface's language, and the capture of a
window with ImageMagick's `import`."""
import os
import subprocess
import time

# run_under_bus.sh hands over a scratch folder; the windows show the tidy one.
data = os.environ["TRAWLEX_EXAMPLE"]
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
    "Found files": "Fichiers trouv\u00e9s", "Forms\u2026": "Formes\u2026", "Forms": "Formes",
    "ASCII, UTF-8 and UTF-16 (both byte orders)": "ASCII, UTF-8 et UTF-16 (les deux ordres d'octets)",
    "Next occurrence": "Occurrence suivante",
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
