#!/usr/bin/env python3
"""Installs a build into a temporary prefix, as a package would, and checks
what a desktop sees: the validators of the desktop entry and the AppStream
metainfo report nothing, the icons have their sizes, the user guide is there
with enough pages, and nothing but the two programs lands in bin.

check_install.py CMAKE BUILD_FOLDER"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

CMAKE, BUILD = sys.argv[1], sys.argv[2]
APP_ID = "io.github.trawlex.Trawlex"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
# appstream 0.16 (Debian 12) predates the <developer> element of the
# AppStream format of later releases and notes it as unknown; that one note is
# expected, anything else is a finding.
KNOWN_APPSTREAM_NOTES = (re.compile(r"^I: \S+:\d+: unknown-tag developer$"),)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG image")
    return struct.unpack(">II", head[16:24])


def pdf_page_count(path):
    """The page objects of a PDF file (its /Type /Page dictionaries)."""
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(b"%PDF-"):
        raise AssertionError(f"{path} is not a PDF file")
    return len(re.findall(rb"/Type\s*/Page(?![a-zA-Z])", data))


class InstalledTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="trawlex-install-")
        cls.prefix = os.path.join(cls.tmp, "usr")
        run = subprocess.run([CMAKE, "--install", BUILD, "--prefix", cls.prefix],
                             capture_output=True, text=True)
        if run.returncode != 0:
            raise AssertionError(f"cmake --install failed:\n{run.stdout}{run.stderr}")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def path(self, *parts):
        return os.path.join(self.prefix, *parts)

    def test_desktop_entry_validates_without_a_word(self):
        entry = self.path("share", "applications", APP_ID + ".desktop")
        run = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
        self.assertEqual(run.returncode, 0)
        self.assertEqual(run.stdout + run.stderr, "")
        with open(entry, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("MimeType=inode/directory;\n", text)
        self.assertRegex(text, r"\nExec=trawlex %F\n")
        self.assertRegex(text, r"\nName\[fr\]=")
        self.assertRegex(text, r"\nComment\[fr\]=")

    def test_metainfo_validates(self):
        metainfo = self.path("share", "metainfo", APP_ID + ".metainfo.xml")
        for command in (["validate", "--no-net", metainfo], ["validate-tree", "--no-net", self.prefix]):
            run = subprocess.run(["appstreamcli"] + command, capture_output=True, text=True)
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            findings = [line.strip() for line in (run.stdout + run.stderr).splitlines()
                        if re.match(r"^\s*[EWIP]: ", line)
                        and not any(k.match(line.strip()) for k in KNOWN_APPSTREAM_NOTES)]
            self.assertEqual(findings, [], command[0])
        with open(metainfo, encoding="utf-8") as f:
            text = f.read()
        for needed in ("<project_license>GPL-3.0-or-later</project_license>", "<content_rating",
                       '<url type="homepage">', 'xml:lang="fr"', "<release version=", "date="):
            self.assertIn(needed, text)

    def test_icons_have_their_sizes(self):
        for size in ICON_SIZES:
            icon = self.path("share", "icons", "hicolor", f"{size}x{size}", "apps", "trawlex.png")
            self.assertEqual(png_size(icon), (size, size), icon)
        self.assertTrue(os.path.isfile(self.path("share", "icons", "hicolor", "scalable", "apps", "trawlex.svg")))

    def test_guide_has_ten_pages_or_more_in_each_language(self):
        for name in ("english_doc.pdf", "doc_francais.pdf"):
            pages = pdf_page_count(self.path("share", "trawlex", "doc", name))
            self.assertGreaterEqual(pages, 10, name)
        for name in ("guide_en.html", "guide_fr.html"):
            with open(self.path("share", "trawlex", "doc", name), encoding="utf-8") as f:
                html = f.read()
            self.assertGreaterEqual(html.count('src="data:image/png;base64,'), 3, name)

    def test_only_the_programs_are_installed_in_bin(self):
        self.assertEqual(sorted(os.listdir(self.path("bin"))), ["trawlex", "trawlex-cli"])
        for root, _dirs, files in os.walk(self.prefix):
            for f in files:
                self.assertNotRegex(f, r"_test$|^bench_|^fuzz_|\.a$", os.path.join(root, f))

    def test_command_line_program_has_its_manual_and_completion(self):
        with open(self.path("share", "man", "man1", "trawlex-cli.1"), encoding="utf-8") as f:
            page = f.read()
        self.assertIn(".TH TRAWLEX-CLI", page.upper())
        self.assertIn(r"\-\-json", page)
        man = subprocess.run(["man", "-l", self.path("share", "man", "man1", "trawlex-cli.1")],
                             capture_output=True, text=True, env=dict(os.environ, MANPAGER="cat", PAGER="cat"))
        if man.returncode != 127:
            self.assertIn("trawlex-cli", man.stdout)
        completion = self.path("share", "bash-completion", "completions", "trawlex-cli")
        with open(completion, encoding="utf-8") as f:
            self.assertIn("complete", f.read())

    def test_license_is_shipped(self):
        with open(self.path("share", "doc", "trawlex", "copyright"), encoding="utf-8") as f:
            self.assertIn("GNU GENERAL PUBLIC LICENSE", f.read())


class PageCounter(unittest.TestCase):
    """The page count itself, on PDFs written for the purpose."""

    def test_counts_page_objects_not_the_page_tree(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "t.pdf")
            with open(path, "wb") as f:
                f.write(b"%PDF-1.4\n1 0 obj <</Type /Pages /Count 2>>\n"
                        b"2 0 obj <</Type /Page>>\n3 0 obj <</Type/Page /Parent 1 0 R>>\n")
            self.assertEqual(pdf_page_count(path), 2)
            with open(path, "wb") as f:
                f.write(b"not a pdf")
            with self.assertRaises(AssertionError):
                pdf_page_count(path)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
