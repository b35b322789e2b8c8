#!/usr/bin/env python3
"""Writes the two small help documents (one page of text each) as PDF 1.4.

Run from this folder; the PDFs are committed, so the build needs no tool.
"""


def pdf(lines, title):
    def esc(s):
        return s.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")

    ops = ["BT", "/F1 20 Tf", "72 740 Td", "(%s) Tj" % esc(title), "/F1 12 Tf", "0 -34 Td"]
    for line in lines:
        ops.append("(%s) Tj" % esc(line))
        ops.append("0 -18 Td")
    ops.append("ET")
    stream = "\n".join(ops).encode("latin-1")
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
        b"/Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
        b"<< /Length %d >>\nstream\n" % len(stream) + stream + b"\nendstream",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
    ]
    out = bytearray(b"%PDF-1.4\n")
    offsets = []
    for i, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, xref)
    return bytes(out)


ENGLISH = [
    "Trawlex finds every occurrence of a string of bytes in the contents of files.",
    "",
    "1. Describe a search as a target: the files and folders to look through,",
    "   the search string (text in a chosen encoding, or hexadecimal bytes)",
    "   and the options: wildcard, line numbers, case, errors, hidden names.",
    "2. Press Search. The counters show the folders, files and bytes seen.",
    "3. Step through the found files and occurrences in the viewer; open a",
    "   found file with an application of the launcher list, or reveal it.",
    "4. Special > Save search result as... writes a text report.",
    "",
    "Drop files and folders on the application to make a new target.",
]
FRENCH = [
    "Trawlex trouve chaque occurrence d'une suite d'octets dans les fichiers.",
    "",
    "1. D\xe9crivez une recherche par un canevas : les fichiers et dossiers,",
    "   la cha\xeene cherch\xe9e (texte dans un codage choisi, ou octets en",
    "   hexad\xe9cimal) et les options : joker, num\xe9ros de ligne, casse...",
    "2. Cliquez sur Rechercher. Les compteurs suivent la recherche.",
    "3. Parcourez les fichiers trouv\xe9s et leurs occurrences dans le",
    "   visualiseur ; ouvrez un fichier avec une application du lanceur.",
    "4. Sp\xe9cial > Sauvegarder les occurrences sous... \xe9crit un rapport.",
    "",
    "D\xe9posez des fichiers et dossiers sur l'application : nouveau canevas.",
]

with open("english_doc.pdf", "wb") as f:
    f.write(pdf(ENGLISH, "Trawlex Help"))
with open("doc_francais.pdf", "wb") as f:
    f.write(pdf(FRENCH, "Aide de Trawlex"))
