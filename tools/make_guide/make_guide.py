#!/usr/bin/python3
"""make_guide.py MARKDOWN PDF HTML TITLE LANGUAGE: builds the user guide's
PDF and HTML versions from its Markdown source, at build time.

Python-Markdown turns the source into HTML; a `[TOC]` line becomes the table
of contents, a list of links to the chapters (the second-level headings).
The HTML page carries its images inline as data URLs, so it can be copied
alone. WeasyPrint lays the same page out as an A4 PDF: each chapter starts a
page, the table of contents gives each chapter's page number, links between
chapters are live, and the chapters form the PDF's outline. Fontconfig is
shown the folder of Debian's DejaVu fonts alone, so the PDF never depends on
the other fonts or font settings of the building machine, and it carries no
date: two builds from the same sources give the same bytes."""
import base64
import html
import os
import re
import sys
import tempfile

FONT_FOLDER = "/usr/share/fonts/truetype/dejavu"
# The faces the guide uses: fonts-dejavu-core and fonts-dejavu-extra.
FONT_FILES = ("DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf",
              "DejaVuSans-BoldOblique.ttf", "DejaVuSansMono.ttf", "DejaVuSansMono-Bold.ttf")
# A guide is a few dozen pages of text; anything far larger is not one.
MAX_SOURCE_BYTES = 4 * 1024 * 1024
IMAGE_TYPES = ((b"\x89PNG\r\n\x1a\n", "image/png"), (b"\xff\xd8\xff", "image/jpeg"))

# The page as a browser shows it (the HTML copy) and as the PDF lays it out.
STYLE = """
body { font-family: "DejaVu Sans", sans-serif; font-size: 10.5pt; line-height: 1.4;
       max-width: 46em; margin: 1em auto; padding: 0 1em; color: #111; }
code, pre { font-family: "DejaVu Sans Mono", monospace; font-size: 0.92em; }
pre { background: #f3f3f3; padding: 0.5em 0.8em; white-space: pre-wrap; }
img { max-width: 100%; height: auto; display: block; margin: 0.8em auto; }
h1 { font-size: 1.9em; }
h2 { font-size: 1.45em; margin-top: 1.2em; }
.toc ul { list-style: none; padding-left: 0; }
.toc li { margin: 0.25em 0; }
a { color: #1a4f8b; }
"""
PRINT_STYLE = """
@page { size: A4; margin: 20mm;
        @bottom-center { content: counter(page); font-family: "DejaVu Sans"; font-size: 9pt; } }
body { max-width: none; margin: 0; padding: 0; }
pre { page-break-inside: avoid; }
img { max-height: 180mm; width: auto; }
h1 { bookmark-level: none; }
h2 { break-before: page; bookmark-level: 1; }
h3 { bookmark-level: 2; }
h4, h5, h6 { bookmark-level: none; }
h1, h2, h3 { break-after: avoid; }
a { text-decoration: none; }
.toc a::after { content: leader(".") target-counter(attr(href), page); }
"""


class GuideError(Exception):
    pass


def pin_fonts(cache_folder):
    """Makes fontconfig, and so WeasyPrint, see the DejaVu folder alone:
    neither the machine's other fonts nor its font settings can change the
    PDF."""
    for name in FONT_FILES:
        path = os.path.join(FONT_FOLDER, name)
        if not os.path.isfile(path):
            raise GuideError(f"the font file {path} is missing "
                             "(Debian packages fonts-dejavu-core and fonts-dejavu-extra)")
    config = os.path.join(cache_folder, "fonts.conf")
    with open(config, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">\n'
                f"<fontconfig><dir>{FONT_FOLDER}</dir>"
                f"<cachedir>{html.escape(cache_folder)}</cachedir></fontconfig>\n")
    os.environ["FONTCONFIG_FILE"] = config


def read_source(path):
    try:
        with open(path, "rb") as f:
            data = f.read(MAX_SOURCE_BYTES + 1)
    except OSError as e:
        raise GuideError(f"cannot read {path}: {e.strerror}") from e
    if len(data) > MAX_SOURCE_BYTES:
        raise GuideError(f"{path} is too large for a guide")
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError as e:
        raise GuideError(f"{path} is not UTF-8 text (byte {e.start})") from e


def markdown_to_html(text):
    """The HTML body and the chapters' titles."""
    import markdown
    from markdown.extensions.toc import slugify_unicode
    converter = markdown.Markdown(
        extensions=["toc", "fenced_code", "tables", "sane_lists"],
        extension_configs={"toc": {"toc_depth": "2-2", "slugify": slugify_unicode}})
    body = converter.convert(text)
    return body, [token["name"] for token in converter.toc_tokens]


def inline_images(body, base_folder):
    """Replaces each image reference with a data URL of its file's bytes."""
    def inline(match):
        name = html.unescape(match.group(1))
        if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", name) or os.path.isabs(name):
            # Images come from the sources next to the guide, never from
            # elsewhere on the building machine or the network.
            raise GuideError(f"image {name}: only relative paths are read")
        path = os.path.normpath(os.path.join(base_folder, name))
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError as e:
            raise GuideError(f"image {path}: {e.strerror}") from e
        mime = next((m for magic, m in IMAGE_TYPES if data.startswith(magic)), None)
        if mime is None:
            raise GuideError(f"image {path} cannot be decoded (PNG or JPEG only)")
        return f'src="data:{mime};base64,{base64.b64encode(data).decode("ascii")}"'
    return re.sub(r'src="([^"]*)"', inline, body)


def check_links(body):
    """Every link to a place in the guide leads to an element that exists."""
    anchors = set(re.findall(r'\sid="([^"]+)"', body))
    for target in re.findall(r'href="#([^"]*)"', body):
        if html.unescape(target) not in anchors and target not in anchors:
            raise GuideError(f"the link #{html.unescape(target)} leads nowhere in the guide")


def html_page(body, title, language):
    return (f'<!DOCTYPE html>\n<html lang="{html.escape(language)}">\n<head>\n'
            f'<meta charset="utf-8">\n<title>{html.escape(title)}</title>\n'
            f'<style>{STYLE}</style>\n</head>\n<body>\n{body}\n</body>\n</html>\n')


def write_pdf(page, path):
    from weasyprint import CSS, HTML
    HTML(string=page).write_pdf(path, stylesheets=[CSS(string=PRINT_STYLE)])


def build(source, pdf, html_path, title, language):
    # fontTools stamps the font subsets it writes with this time (the
    # convention of reproducible builds) instead of the clock's.
    os.environ["SOURCE_DATE_EPOCH"] = "0"
    body, chapters = markdown_to_html(read_source(source))
    if not chapters:
        raise GuideError(f"{source} has no chapter (a second-level heading)")
    body = inline_images(body, os.path.dirname(os.path.abspath(source)))
    check_links(body)
    page = html_page(body, title, language)
    with open(html_path, "w", encoding="utf-8") as f:
        f.write(page)
    write_pdf(page, pdf)


def main(argv):
    if len(argv) != 6:
        print("usage: make_guide.py MARKDOWN PDF HTML TITLE LANGUAGE", file=sys.stderr)
        return 2
    try:
        with tempfile.TemporaryDirectory(prefix="make-guide-") as cache:
            pin_fonts(cache)
            build(*argv[1:])
    except GuideError as e:
        print(f"make_guide: {e}", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"make_guide: {e.filename}: {e.strerror}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
