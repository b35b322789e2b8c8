#!/usr/bin/python3
"""Installs a build into a temporary prefix, as a package would, and checks
what a desktop sees: the validators of the desktop entry and the AppStream
metainfo report nothing, Trawlex never becomes the program that opens
folders, the icons have their sizes, the user guide is there with enough
pages and an outline of its chapters, and building it again gives the same
bytes, both programs have their manual pages, and nothing but the two
programs lands in bin. Then it makes the Debian package, and lintian, when
it is installed, finds nothing to say about it.

check_install.py CMAKE CPACK BUILD_FOLDER SOURCE_FOLDER PYTHON
(PYTHON: the interpreter that builds the guide)"""
import gzip
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

import pypdf

CMAKE, CPACK, BUILD, SOURCE, PYTHON = sys.argv[1:6]
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
        self.assertRegex(text, r"\nExec=trawlex %F\n")
        self.assertRegex(text, r"\nName\[fr\]=")
        self.assertRegex(text, r"\nComment\[fr\]=")

    def test_folders_stay_with_the_file_manager(self):
        """With a file manager installed beside Trawlex and no default
        chosen, GIO still opens folders with the file manager, and never
        offers Trawlex."""
        if shutil.which("gio") is None:
            self.skipTest("gio is not installed")
        # One applications folder, as /usr/share/applications holds both,
        # indexed as the desktop-file-utils trigger of dpkg indexes it.
        scratch = os.path.join(self.tmp, "xdg")
        manager = os.path.join(scratch, "share", "applications")
        shutil.copytree(self.path("share", "applications"), manager)
        os.makedirs(os.path.join(scratch, "config"))
        os.makedirs(os.path.join(scratch, "bin"))
        with open(os.path.join(manager, "org.gnome.Nautilus.desktop"), "w", encoding="utf-8") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Files\nExec=nautilus --new-window %U\n"
                    "MimeType=inode/directory;application/x-gnome-saved-search;\n")
        # GIO offers only applications whose program is on the PATH.
        with open(os.path.join(scratch, "bin", "nautilus"), "w", encoding="utf-8") as f:
            f.write("#!/bin/sh\n")
        os.chmod(os.path.join(scratch, "bin", "nautilus"), 0o755)
        subprocess.run(["update-desktop-database", manager], check=True)
        env = dict(os.environ, LC_ALL="C.UTF-8", HOME=scratch, XDG_DATA_HOME=os.path.join(scratch, "home"),
                   PATH=self.path("bin") + ":" + os.path.join(scratch, "bin") + ":" + os.environ["PATH"],
                   XDG_DATA_DIRS=os.path.join(scratch, "share"),
                   XDG_CONFIG_HOME=os.path.join(scratch, "config"), XDG_CONFIG_DIRS=os.path.join(scratch, "config"))
        env.pop("XDG_CURRENT_DESKTOP", None)
        run = subprocess.run(["gio", "mime", "inode/directory"], capture_output=True, text=True, env=env)
        self.assertRegex(run.stdout, r"Default application for .inode/directory.: org\.gnome\.Nautilus\.desktop\n")
        self.assertNotIn(APP_ID, run.stdout)
        # Instead, the file managers that read action files offer a search.
        for folder, name in (("file-manager/actions", APP_ID + ".search.desktop"),
                             ("kio/servicemenus", APP_ID + ".servicemenu.desktop"),
                             ("nemo/actions", "trawlex-search.nemo_action")):
            with open(self.path("share", folder, name), encoding="utf-8") as f:
                action = f.read()
            self.assertIn("\nName=Search with Trawlex\n", action, name)
            self.assertIn("\nName[fr]=Rechercher avec Trawlex\n", action, name)
            self.assertIn("\nExec=trawlex %F\n", action, name)

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

    def test_guide_has_ten_pages_or_more_and_an_outline_of_its_chapters(self):
        for name, lang in (("english_doc.pdf", "en"), ("doc_francais.pdf", "fr")):
            pdf = self.path("share", "trawlex", "doc", name)
            self.assertGreaterEqual(pdf_page_count(pdf), 10, name)
            with open(os.path.join(SOURCE, "resources", "doc", f"guide_{lang}.md"), encoding="utf-8") as f:
                chapters = re.findall(r"^## (.+)$", f.read(), re.M)
            reader = pypdf.PdfReader(pdf)
            self.assertEqual([entry.title for entry in reader.outline], chapters, name)
            pages = [reader.get_destination_page_number(entry) for entry in reader.outline]
            self.assertEqual(pages, sorted(set(pages)), name)
        for name in ("guide_en.html", "guide_fr.html"):
            with open(self.path("share", "trawlex", "doc", name), encoding="utf-8") as f:
                html = f.read()
            self.assertGreaterEqual(html.count('src="data:image/png;base64,'), 3, name)

    def test_guide_built_again_gives_the_same_bytes(self):
        again = os.path.join(self.tmp, "guide-again")
        os.mkdir(again)
        doc = self.path("share", "trawlex", "doc")
        for lang, pdf in (("en", "english_doc.pdf"), ("fr", "doc_francais.pdf")):
            title = pypdf.PdfReader(os.path.join(doc, pdf)).metadata.title
            html = f"guide_{lang}.html"
            run = subprocess.run([PYTHON, os.path.join(SOURCE, "tools", "make_guide", "make_guide.py"),
                                  os.path.join(SOURCE, "resources", "doc", f"guide_{lang}.md"),
                                  os.path.join(again, pdf), os.path.join(again, html), title, lang],
                                 capture_output=True, text=True)
            self.assertEqual(run.returncode, 0, run.stderr)
            for name in (pdf, html):
                with open(os.path.join(doc, name), "rb") as a, open(os.path.join(again, name), "rb") as b:
                    self.assertTrue(a.read() == b.read(), f"{name} differs from the one built before")

    def test_only_the_programs_are_installed_in_bin(self):
        self.assertEqual(sorted(os.listdir(self.path("bin"))), ["trawlex", "trawlex-cli"])
        for root, _dirs, files in os.walk(self.prefix):
            for f in files:
                self.assertNotRegex(f, r"_test$|^bench_|^fuzz_|\.a$", os.path.join(root, f))

    def test_programs_have_their_manuals_and_completion(self):
        for program, option in (("trawlex", r"\-\-version"), ("trawlex-cli", r"\-\-json")):
            page_path = self.path("share", "man", "man1", program + ".1.gz")
            with gzip.open(page_path, "rt", encoding="utf-8") as f:
                page = f.read()
            self.assertIn(f".TH {program.upper()} ", page.upper())
            self.assertIn(option, page)
            if shutil.which("man"):
                man = subprocess.run(["man", "-l", page_path], capture_output=True, text=True,
                                     env=dict(os.environ, MANPAGER="cat", PAGER="cat"))
                self.assertIn(program, man.stdout)
        completion = self.path("share", "bash-completion", "completions", "trawlex-cli")
        with open(completion, encoding="utf-8") as f:
            self.assertIn("complete", f.read())

    def test_copyright_and_changelog_are_debians(self):
        with open(self.path("share", "doc", "trawlex", "copyright"), encoding="utf-8") as f:
            copyright_text = f.read()
        self.assertTrue(copyright_text.startswith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"))
        self.assertIn("\nLicense: GPL-3+\n", copyright_text)
        self.assertIn("/usr/share/common-licenses/GPL-3", copyright_text)
        with gzip.open(self.path("share", "doc", "trawlex", "changelog.gz"), "rt", encoding="utf-8") as f:
            first = f.readline()
        version = subprocess.run([self.path("bin", "trawlex-cli"), "--version"],
                                 capture_output=True, text=True).stdout.split("\n")[0].split()[-1]
        self.assertEqual(first, f"trawlex ({version}) unstable; urgency=medium\n")


class DebianPackage(unittest.TestCase):
    """The package that `cpack -G DEB` makes from the build."""

    def test_lintian_has_nothing_to_say(self):
        if shutil.which("lintian") is None:
            self.skipTest("lintian is not installed")
        with tempfile.TemporaryDirectory(prefix="trawlex-deb-") as folder:
            run = subprocess.run([CPACK, "-G", "DEB", "-B", folder, "--config",
                                  os.path.join(BUILD, "CPackConfig.cmake")], capture_output=True, text=True)
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            debs = [f for f in os.listdir(folder) if f.endswith(".deb")]
            self.assertEqual(len(debs), 1, os.listdir(folder))
            # lintian warns when it runs as root: it then runs as nobody.
            drop = []
            if os.geteuid() == 0:
                os.chmod(folder, 0o755)
                drop = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "env", "HOME=/tmp"]
            lintian = subprocess.run(drop + ["lintian", os.path.join(folder, debs[0])],
                                     capture_output=True, text=True, cwd="/tmp")
            self.assertEqual(lintian.stdout + lintian.stderr, "")
            self.assertEqual(lintian.returncode, 0)


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
