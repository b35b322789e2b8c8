#!/usr/bin/python3
"""make_guide on small guides: chapters start pages and make the PDF's
outline, the table of contents and the links between chapters lead to their
pages, images travel inside the HTML page, the same source gives the same
bytes whatever fonts the machine offers, and a broken image or link stops the
build with a message.

make_guide_test.py PYTHON MAKE_GUIDE PNG_IMAGE"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import pypdf

PYTHON, MAKE_GUIDE, IMAGE = sys.argv[1], sys.argv[2], sys.argv[3]


def chapters(count, extra=""):
    return "# Title\n\nIntroduction.\n\n[TOC]\n\n" + "".join(
        f"## {i + 1}. Chapter\n\nSome text of chapter {i + 1}.{extra}\n\n" for i in range(count))


class MakeGuide(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="make-guide-")
        os.mkdir(os.path.join(self.dir, "shots"))
        shutil.copy(IMAGE, os.path.join(self.dir, "shots", "window.png"))

    def tearDown(self):
        shutil.rmtree(self.dir)

    def run_tool(self, markdown, title="Guide", out="guide", env=None):
        source = os.path.join(self.dir, "guide.md")
        with open(source, "w", encoding="utf-8") as f:
            f.write(markdown)
        pdf, html = os.path.join(self.dir, out + ".pdf"), os.path.join(self.dir, out + ".html")
        run = subprocess.run([PYTHON, MAKE_GUIDE, source, pdf, html, title, "en"],
                             capture_output=True, text=True, env=env)
        return run, pdf, html

    def test_each_chapter_starts_a_page_and_an_outline_entry(self):
        for count in (1, 3):
            with self.subTest(chapters=count):
                run, pdf, _ = self.run_tool(chapters(count))
                self.assertEqual(run.returncode, 0, run.stderr)
                reader = pypdf.PdfReader(pdf)
                self.assertEqual(len(reader.pages), count + 1)
                self.assertEqual([(o.title, reader.get_destination_page_number(o)) for o in reader.outline],
                                 [(f"{i + 1}. Chapter", i + 1) for i in range(count)])

    def test_contents_and_links_lead_to_the_chapters_pages(self):
        text = chapters(3).replace("chapter 3.", "chapter 3, see [chapter 1](#1-chapter).")
        run, pdf, html = self.run_tool(text)
        self.assertEqual(run.returncode, 0, run.stderr)
        reader = pypdf.PdfReader(pdf)
        destinations = {name: reader.get_destination_page_number(d)
                        for name, d in reader.named_destinations.items()}
        links = [[destinations[a.get_object()["/Dest"]] for a in page.get("/Annots", [])]
                 for page in reader.pages]
        # The contents' entries (title, leader, page number) lead to pages
        # 2, 3 and 4; the third chapter's link leads back to the second page.
        self.assertEqual(sorted(set(links[0])), [1, 2, 3])
        self.assertEqual(links[3], [1])
        contents = reader.pages[0].extract_text()
        for chapter, page in ((1, 2), (2, 3), (3, 4)):
            self.assertRegex(contents, rf"{chapter}\. Chapter[ .]*{page}\b")
        with open(html, encoding="utf-8") as f:
            self.assertIn('<a href="#1-chapter">chapter 1</a>', f.read())

    def test_images_are_drawn_and_carried_inline_and_code_is_monospace(self):
        run, pdf, html = self.run_tool("# Guide\n\n![The window](shots/window.png)\n\nÉté, « guillemets ».\n\n"
                                       "## 1. Run\n\nType `trawlex-cli`.\n", title="Guide de l'été")
        self.assertEqual(run.returncode, 0, run.stderr)
        with open(pdf, "rb") as f:
            self.assertIn(b"/Subtype /Image", f.read())
        with open(html, encoding="utf-8") as f:
            page = f.read()
        self.assertIn('src="data:image/png;base64,', page)
        self.assertNotIn('src="shots/window.png"', page)
        self.assertIn("Été, « guillemets ».", page)
        self.assertIn("<title>Guide de l&#x27;été</title>", page)
        self.assertRegex(page, r"\bcode\b[^{}]*\{[^}]*font-family:[^;}]*monospace")

    def test_the_same_source_gives_the_same_bytes_whatever_fonts_are_offered(self):
        empty_fonts = os.path.join(self.dir, "no-fonts.conf")
        with open(empty_fonts, "w", encoding="utf-8") as f:
            f.write("<?xml version='1.0'?>\n<fontconfig></fontconfig>\n")
        text = chapters(2, " Bold **words**, *slanted* and `code`: « é ▸ ».")
        outputs = []
        for out, env in (("one", None), ("two", None),
                         ("no-fonts", dict(os.environ, FONTCONFIG_FILE=empty_fonts))):
            run, pdf, _ = self.run_tool(text, out=out, env=env)
            self.assertEqual(run.returncode, 0, run.stderr)
            with open(pdf, "rb") as f:
                outputs.append(f.read())
        self.assertEqual(outputs[0], outputs[1])
        self.assertEqual(outputs[0], outputs[2])
        fonts = set(re.findall(rb"/BaseFont /[A-Z]{6}\+([\w-]+)", outputs[0]))
        self.assertEqual(fonts, {b"DejaVu-Sans", b"DejaVu-Sans-Bold", b"DejaVu-Sans-Oblique",
                                 b"DejaVu-Sans-Mono"})

    def test_broken_images_and_links_stop_the_build(self):
        with open(os.path.join(self.dir, "shots", "bad.png"), "wb") as f:
            f.write(b"not an image")
        cases = [("![x](shots/missing.png)", "shots/missing.png"),
                 ("![x](shots/bad.png)", "cannot be decoded"),
                 ("![x](/etc/hostname)", "only relative paths"),
                 ("![x](https://example.org/a.png)", "only relative paths"),
                 ("See [chapter 9](#9-chapter).", "#9-chapter leads nowhere")]
        for markdown, message in cases:
            with self.subTest(markdown=markdown):
                run, _, _ = self.run_tool(chapters(1) + markdown + "\n")
                self.assertEqual(run.returncode, 1)
                self.assertIn(message, run.stderr)

    def test_usage(self):
        run = subprocess.run([PYTHON, MAKE_GUIDE, "only-one-argument"], capture_output=True, text=True)
        self.assertEqual(run.returncode, 2)
        self.assertIn("usage", run.stderr)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
