#!/usr/bin/python3
"""Writes the guide as one self-contained HTML page: the Markdown turned into
HTML with Debian's python3-markdown, its own style sheet inline, nothing
fetched from elsewhere. The diagrams stay as their text.

    guide-html.py <guide.md> <guide.html>
"""
import html
import re
import sys

import markdown

STYLE = """
body { font: 15px/1.5 sans-serif; color: #1f2a37; max-width: 60em; margin: 2em auto; padding: 0 1em; }
h1, h2, h3, h4 { line-height: 1.25; }
h2 { border-bottom: 1px solid #d0d7de; padding-bottom: .2em; margin-top: 2em; }
code { font: 13px monospace; background: #f2f4f7; padding: 0 .2em; }
pre { background: #f2f4f7; padding: .7em 1em; overflow-x: auto; }
pre code { padding: 0; }
table { border-collapse: collapse; margin: .8em 0; }
th, td { border: 1px solid #d0d7de; padding: .25em .6em; vertical-align: top; text-align: left; }
th { background: #f2f4f7; }
nav.toc { border: 1px solid #d0d7de; padding: .5em 1em; margin: 1em 0; }
"""


def main(source, target):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    # Comments that mark checked examples are for the drift test, not readers.
    text = re.sub(r"^<!-- example: [^\n]*-->\n", "", text, flags=re.M)
    converter = markdown.Markdown(extensions=["tables", "fenced_code", "toc"],
                                  extension_configs={"toc": {"toc_depth": "2-3"}})
    body = converter.convert(text)
    title_match = re.search(r"^# (.+)$", text, flags=re.M)
    title = title_match.group(1) if title_match else "HalvetPanelUI"
    # The contents follow the title.
    toc = f"<nav class=\"toc\">{converter.toc}</nav>\n"
    end_of_title = body.find("</h1>")
    if end_of_title >= 0:
        cut = end_of_title + len("</h1>")
        body = body[:cut] + "\n" + toc + body[cut:]
    else:
        body = toc + body
    page = (
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        f"<title>{html.escape(title)}</title>\n<style>{STYLE}</style>\n</head>\n<body>\n"
        f"{body}\n</body>\n</html>\n"
    )
    if re.search(r"""(?:src|href)\s*=\s*["'](?:https?:)?//""", page):
        sys.exit("guide-html: the page refers to something outside itself")
    with open(target, "w", encoding="utf-8", newline="\n") as f:
        f.write(page)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
