#!/usr/bin/env python3
"""Checks the help files shown by Tavrin's help viewer.

Usage: check_help.py [FILE ...]   (default: help.hlp and keywords.hlp beside data/tools)

For each file it checks that:
  - the HTML is well-formed: every opened element is closed in the right order
    (the void elements br, hr, img, meta, link, input, col are exempt, and p and li
    may be left open as HTML allows);
  - every internal link href="#x" has a matching <a name="x">, and no anchor name is
    defined twice;
  - it stays within what the viewer renders: no script, iframe, object, embed, img,
    link or form element and no link to another file or site;
  - it holds plain ASCII only, so that no character encoding can garble it;
  - it has a title, a contents anchor, and every h2 section ends with a link back to
    the contents before the next h2 (or the end of the body);
  - keywords.hlp: every keyword of BBC BASIC has an entry (an h3 heading) with its
    Syntax, Purpose and Example rows;
  - help.hlp: every menu item, picture button and window of Tavrin is named.
Exit status 0 when all files pass, 1 otherwise; each problem is printed with its line.
"""
from html.parser import HTMLParser
import os
import re
import sys

VOID = {"br", "hr", "img", "meta", "link", "input", "col", "area", "base", "wbr"}
OPTIONAL_END = {"p", "li"}
FORBIDDEN = {"script", "iframe", "object", "embed", "img", "link", "form", "applet", "frame"}


class HelpChecker(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack = []          # (tag, line)
        self.problems = []
        self.names = {}          # anchor name -> line
        self.hrefs = []          # (target, line)
        self.title = ""
        self.in_title = False
        self.sections = []       # per h2: list of link targets seen after it
        self.h2_lines = []
        self.contents_section = -1   # the h2 that holds the contents list itself

    def problem(self, text):
        self.problems.append(f"line {self.getpos()[0]}: {text}")

    def handle_starttag(self, tag, attrs):
        line = self.getpos()[0]
        attrs = dict(attrs)
        if tag in FORBIDDEN:
            self.problem(f"<{tag}> is not allowed in a help file")
        if tag in OPTIONAL_END and self.stack and self.stack[-1][0] == tag:
            self.stack.pop()     # an unclosed p or li ends at the next one
        if tag == "li":
            while self.stack and self.stack[-1][0] == "p":
                self.stack.pop()
        if tag not in VOID:
            self.stack.append((tag, line))
        if tag == "title":
            self.in_title = True
        if tag == "h2":
            self.sections.append([])
            self.h2_lines.append(line)
        if tag == "a":
            name = attrs.get("name")
            href = attrs.get("href")
            if name is not None:
                if name == "contents":
                    self.contents_section = len(self.sections) - 1
                if name in self.names:
                    self.problem(f'anchor "{name}" already defined on line {self.names[name]}')
                else:
                    self.names[name] = line
            if href is not None:
                if not href.startswith("#"):
                    self.problem(f'link "{href}" leaves the help file')
                else:
                    self.hrefs.append((href[1:], line))
                    if self.sections:
                        self.sections[-1].append(href[1:])

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID and self.stack and self.stack[-1][0] == tag:
            self.stack.pop()

    def handle_endtag(self, tag):
        if tag == "title":
            self.in_title = False
        if tag in VOID:
            return
        # close any optional-end elements left open inside this one
        while self.stack and self.stack[-1][0] != tag and self.stack[-1][0] in OPTIONAL_END:
            self.stack.pop()
        if not self.stack:
            self.problem(f"</{tag}> closes nothing")
            return
        open_tag, open_line = self.stack[-1]
        if open_tag != tag:
            self.problem(f"</{tag}> found, but <{open_tag}> from line {open_line} is still open")
            return
        self.stack.pop()

    def handle_data(self, data):
        if self.in_title:
            self.title += data


# Every keyword of BBC BASIC II (BBC Micro, Electron) and BASIC IV (Master).
KEYWORDS = """
ABS ACS ADVAL AND ASC ASN ATN AUTO BGET# BPUT# CALL CHAIN CHR$ CLEAR CLG CLOSE# CLS COLOUR
COS COUNT DATA DEF DEG DELETE DIM DIV DRAW ELSE END ENDPROC ENVELOPE EOF# EOR ERL ERR ERROR
EVAL EXP EXT# FALSE FN FOR GCOL GET GET$ GOSUB GOTO HIMEM IF INKEY INKEY$ INPUT INPUT# INSTR
INT LEFT$ LEN LET LINE LIST LISTO LN LOAD LOCAL LOG LOMEM MID$ MOD MODE MOVE NEW NEXT NOT OFF
OLD ON OPENIN OPENOUT OPENUP OPT OR OSCLI PAGE PI PLOT POINT POS PRINT PRINT# PROC PTR# RAD
READ REM RENUMBER REPEAT REPORT RESTORE RETURN RIGHT$ RND RUN SAVE SGN SIN SOUND SPC SQR STEP
STOP STR$ STRING$ TAB TAN THEN TIME TIME$ TO TOP TRACE TRUE UNTIL USR VAL VDU VPOS WIDTH
EQUB EQUW EQUD EQUS
""".split()

# What the user guide must name: the menus and their items, the picture buttons
# and the windows.
GUIDE_NAMES = [
    "File", "Options", "Help",
    "Download latest Internet database", "New database", "Sort database and exit",
    "Create .img file", "Run a file", "Exit", "Properties", "BeebEm", "B-Em", "ElectrEm", "PcBBC",
    "Save downloaded disk images", "Set up emulators", "Contents", "Basic keywords reference",
    "About",
    "New", "Edit", "Sort", "Run", "Catalogue / Images", "Internet / Local",
    "Tavrin Properties", "About Tavrin", "Warning!", "New record", "Edit record",
    "Create an .IMG file", "Update image", "splash screen", "disk catalogue panel",
]


def check_keywords(text):
    """Each keyword is the heading (or part of it) of an entry with three rows."""
    problems = []
    entries = {}
    for part in text.split("<h3>")[1:]:
        head = re.sub(r"<[^>]*>", "", part.split("</h3>")[0]).replace("&amp;", "&")
        body = part.split("</table>")[0]
        if "kw_" not in part.split("</h3>")[0]:
            continue
        for label in ("Syntax", "Purpose", "Example"):
            if f">{label}<" not in body:
                problems.append(f'entry "{head.strip()}" has no {label} row')
        for word in re.split(r"[ ,]+", head):
            entries[word] = head
    for keyword in KEYWORDS:
        if keyword not in entries:
            problems.append(f"keyword {keyword} has no entry")
    return problems


def check_guide(text):
    plain = re.sub(r"\s+", " ", re.sub(r"<[^>]*>", "", text))
    return [f'the guide never names "{name}"' for name in GUIDE_NAMES if name not in plain]


def check_file(path):
    problems = []
    with open(path, "rb") as f:
        raw = f.read()
    for number, line in enumerate(raw.split(b"\n"), 1):
        if any(b > 0x7E or (b < 0x20 and b not in (0x09, 0x0D)) for b in line):
            problems.append(f"line {number}: character outside printable ASCII")
    text = raw.decode("ascii", errors="replace")
    parser = HelpChecker()
    parser.feed(text)
    parser.close()
    problems += parser.problems
    for tag, line in parser.stack:
        if tag not in OPTIONAL_END:
            problems.append(f"line {line}: <{tag}> is never closed")
    for target, line in parser.hrefs:
        if target not in parser.names:
            problems.append(f'line {line}: link to "#{target}" has no <a name="{target}">')
    if not parser.title.strip():
        problems.append("the file has no <title>")
    if "contents" not in parser.names:
        problems.append('the file has no <a name="contents">')
    for index, (links, line) in enumerate(zip(parser.sections, parser.h2_lines)):
        if index == parser.contents_section:
            continue
        if not links or links[-1] != "contents":
            problems.append(f"line {line}: section does not end with a link back to the contents")
    name = os.path.basename(path).lower()
    if name == "keywords.hlp":
        problems += check_keywords(text)
    elif name == "help.hlp":
        problems += check_guide(text)
    return problems


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    files = argv[1:] or [os.path.join(here, "..", "help.hlp"), os.path.join(here, "..", "keywords.hlp")]
    failed = False
    for path in files:
        problems = check_file(path)
        name = os.path.normpath(path)
        if problems:
            failed = True
            print(f"{name}: {len(problems)} problem(s)")
            for p in problems:
                print(f"  {p}")
        else:
            print(f"{name}: ok")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
