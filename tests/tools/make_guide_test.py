#!/usr/bin/env python3
"""make_guide on small guides: chapters start pages, images travel inside the
HTML page, and a broken image reference stops the build with a message.

make_guide_test.py MAKE_GUIDE PNG_IMAGE"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

MAKE_GUIDE, IMAGE = sys.argv[1], sys.argv[2]


def page_count(path):
    with open(path, "rb") as f:
        return len(re.findall(rb"/Type\s*/Page(?![a-zA-Z])", f.read()))


class MakeGuide(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="make-guide-")
        os.mkdir(os.path.join(self.dir, "shots"))
        shutil.copy(IMAGE, os.path.join(self.dir, "shots", "window.png"))

    def tearDown(self):
        shutil.rmtree(self.dir)

    def run_tool(self, markdown, title="Guide"):
        source = os.path.join(self.dir, "guide.md")
        with open(source, "w", encoding="utf-8") as f:
            f.write(markdown)
        pdf, html = os.path.join(self.dir, "guide.pdf"), os.path.join(self.dir, "guide.html")
        run = subprocess.run([MAKE_GUIDE, source, pdf, html, title], capture_output=True, text=True,
                             env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        return run, pdf, html

    def test_each_chapter_starts_a_page(self):
        cases = [(0, 1), (1, 2), (3, 4)]
        for chapters, pages in cases:
            with self.subTest(chapters=chapters):
                text = "# Title\n\nIntroduction.\n\n" + "".join(
                    f"## Chapter {i}\n\nSome text of chapter {i}.\n\n" for i in range(chapters))
                run, pdf, _ = self.run_tool(text)
                self.assertEqual(run.returncode, 0, run.stderr)
                self.assertEqual(page_count(pdf), pages)

    def test_images_are_drawn_and_carried_inline(self):
        run, pdf, html = self.run_tool("# Guide\n\n![The window](shots/window.png)\n\nÉté, « guillemets ».\n",
                                       title="Guide de l'été")
        self.assertEqual(run.returncode, 0, run.stderr)
        with open(pdf, "rb") as f:
            data = f.read()
        self.assertTrue(data.startswith(b"%PDF-"))
        self.assertIn(b"/Subtype /Image", data)
        with open(html, encoding="utf-8") as f:
            page = f.read()
        self.assertIn('src="data:image/png;base64,', page)
        self.assertNotIn('src="shots/window.png"', page)
        self.assertIn("Été, « guillemets ».", page)
        self.assertIn("<title>Guide de l'été</title>", page)

    def test_broken_images_stop_the_build(self):
        with open(os.path.join(self.dir, "shots", "bad.png"), "wb") as f:
            f.write(b"not an image")
        cases = [("missing.png", "shots/missing.png"), ("bad.png", "cannot be decoded"),
                 ("/etc/hostname", "only relative paths")]
        for name, message in cases:
            with self.subTest(name=name):
                target = name if name.startswith("/") else "shots/" + name
                run, _, _ = self.run_tool(f"# Guide\n\n![x]({target})\n")
                self.assertEqual(run.returncode, 1)
                self.assertIn(message, run.stderr)

    def test_usage(self):
        run = subprocess.run([MAKE_GUIDE, "only-one-argument"], capture_output=True, text=True,
                             env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        self.assertEqual(run.returncode, 2)
        self.assertIn("usage", run.stderr)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
