#!/usr/bin/env python3
"""Reads an HTML page of comparison differences as a browser would and prints what it shows.

The file must be UTF-8 (a byte order mark is allowed). Elements must nest properly: every
element other than the void ones is closed in order; only the end tags that HTML lets a page
leave out (head, closed by body, and html) may be missing. Problems go to stderr with exit 1.

Output, one line each: "TITLE\t<title>", then per table row "HEAD\t<heading text>" for a row
whose cell holds a heading, or "ROW\t<status colour>\t<left cell>\t<right cell>" with the cell
texts as displayed (non-breaking spaces as blanks) and bold runs wrapped in [ and ].
"""
import sys
from html.parser import HTMLParser

VOID = {"br", "meta", "img", "hr", "input", "link"}


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack = []
        self.problems = []
        self.title = None
        self.rows = []
        self.row = None
        self.cell = None
        self.heading = False

    def handle_starttag(self, tag, attrs):
        if tag == "body" and self.stack and self.stack[-1] == "head":
            self.stack.pop()
        if tag == "title":
            self.title = ""
        if tag == "tr":
            if self.row is not None:
                self.problems.append("row inside a row")
            self.row = {"cells": [], "heading": None, "colour": ""}
        if tag == "td":
            if self.row is None:
                self.problems.append("cell outside a row")
            self.cell = ""
            colour = dict(attrs).get("bgcolor", "")
            if self.row is not None and not self.row["colour"]:
                self.row["colour"] = colour
        if tag == "h3":
            self.heading = True
            if self.row is not None:
                self.row["heading"] = ""
        if tag == "b" and self.cell is not None:
            self.cell += "["
        if tag not in VOID:
            self.stack.append(tag)

    def handle_startendtag(self, tag, attrs):
        if tag not in VOID:
            self.problems.append("self-closed <%s>" % tag)

    def handle_endtag(self, tag):
        if tag in VOID:
            return
        if not self.stack or self.stack[-1] != tag:
            self.problems.append("</%s> where %s is open" % (tag, self.stack[-1] if self.stack else "nothing"))
            return
        self.stack.pop()
        if tag == "b" and self.cell is not None:
            self.cell += "]"
        if tag == "h3":
            self.heading = False
        if tag == "td" and self.row is not None:
            self.row["cells"].append(self.cell)
            self.cell = None
        if tag == "tr" and self.row is not None:
            self.rows.append(self.row)
            self.row = None

    def handle_data(self, data):
        if self.stack and self.stack[-1] == "title":
            self.title += data
        elif self.heading and self.row is not None:
            self.row["heading"] += data
        elif self.cell is not None:
            self.cell += data.replace("\xa0", " ")


def main():
    raw = open(sys.argv[1], "rb").read()
    try:
        text = raw.decode("utf-8-sig")
    except UnicodeDecodeError as e:
        print("not UTF-8: %s" % e, file=sys.stderr)
        return 1
    page = Page()
    page.feed(text)
    page.close()
    while page.stack and page.stack[-1] in ("html", "head"):
        page.stack.pop()
    if page.stack:
        page.problems.append("left open: " + " ".join(page.stack))
    if page.problems:
        print("\n".join(page.problems), file=sys.stderr)
        return 1
    out = sys.stdout
    out.reconfigure(encoding="utf-8")
    out.write("TITLE\t%s\n" % page.title)
    for row in page.rows:
        if row["heading"] is not None:
            out.write("HEAD\t%s\n" % row["heading"])
        else:
            out.write("\t".join(["ROW", row["colour"]] + row["cells"]) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
