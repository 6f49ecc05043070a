#!/usr/bin/env python3
"""Makes tumbla's manual page from the README, so that the two never disagree.

Reads the section "Running tumbla" of README.md: its usage line, the option table, the
paragraphs, the keys and the environment table; writes a gzipped roff page for section 6
(games). The page stands alone: where the README points at another of its sections, the
page names the installed README instead.
Usage: make-manpage.py README.md VERSION OUT.6.gz
"""

import gzip
import re
import sys


def section(text, title):
    match = re.search(rf"^## {re.escape(title)}\n(.*?)(?=^## )", text, re.S | re.M)
    if not match:
        sys.exit(f"make-manpage: README.md has no section '{title}'")
    return match.group(1)


# Where the package puts the README and the page API document.
DOC_DIR = "/usr/share/doc/tumbla"


def roff_text(markdown):
    """Inline markdown as roff: code and bold in bold, escapes for roff's own characters."""
    markdown = re.sub(r'the README\'s "([^"]+)"', rf'"\1" in {DOC_DIR}/README.md.gz', markdown)
    text = markdown.replace("\\|", "|").replace("\\", "\\e")
    text = re.sub(r"`([^`]*)`", r"\\fB\1\\fR", text)
    text = re.sub(r"\*\*([^*]*)\*\*", r"\\fB\1\\fR", text)
    text = text.replace("-", "\\-")
    # A line that starts with a dot or an apostrophe would be read as a request.
    return re.sub(r"^([.'])", r"\\&\1", text, flags=re.M)


def table_rows(block):
    rows = []
    for line in block.splitlines():
        if not line.startswith("|") or re.match(r"^\|[-| ]+\|$", line):
            continue
        cells = [c.strip() for c in re.split(r"(?<!\\)\|", line.strip())[1:-1]]
        rows.append(cells)
    return rows[1:]  # without the header


def make_page(readme, version):
    running = section(readme, "Running tumbla")
    usage = re.search(r"```\n(tumbla .*?)\n```", running, re.S)
    if not usage:
        sys.exit("make-manpage: the usage line is missing")
    blocks = re.split(r"\n\s*\n", running[usage.end():].strip())
    options = [b for b in blocks if b.startswith("| option")]
    environment = [b for b in blocks if b.startswith("| variable")]
    if not options:
        sys.exit("make-manpage: the option table is missing")
    prose = [b for b in blocks if not b.startswith("|")]

    out = [f'.TH TUMBLA 6 "" "tumbla {version}" "Games"',
           ".SH NAME", "tumbla \\- play a puzzle game that is a web page, in a desktop window",
           ".SH SYNOPSIS", ".nf", roff_text(" ".join(usage.group(1).split())), ".fi",
           ".SH DESCRIPTION",
           "tumbla loads the game page of a bundle into a web engine and serves it saved games, "
           "settings, sound and a command bridge.",
           ".SH OPTIONS"]
    for name, meaning in table_rows(options[0]):
        out += [".TP", roff_text(name), roff_text(meaning)]
    out.append(".SH NOTES")
    for paragraph in prose:
        if paragraph.startswith("Environment:"):
            continue
        out += [".PP", roff_text(" ".join(paragraph.split()))]
    if environment:
        out.append(".SH ENVIRONMENT")
        for name, meaning in table_rows(environment[0]):
            out += [".TP", roff_text(name), roff_text(meaning)]
    out += [".SH FILES",
            ".TP", roff_text(f"`{DOC_DIR}/README.md.gz`"),
            "everything about tumbla: the bundle's layout, the commands a page sends, the trace",
            ".TP", roff_text(f"`{DOC_DIR}/page-api.md.gz`"), "the page API, for game authors",
            ".PP", roff_text("Installed under another prefix, they are in `PREFIX/share/doc/tumbla`.")]
    return "\n".join(out) + "\n"


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    readme_path, version, out_path = sys.argv[1:]
    with open(readme_path, encoding="utf-8") as f:
        page = make_page(f.read(), version)
    # No time stamp inside, so that the same README always makes the same file.
    with open(out_path, "wb") as raw, gzip.GzipFile(fileobj=raw, mode="wb", mtime=0,
                                                    filename="") as packed:
        packed.write(page.encode("utf-8"))


if __name__ == "__main__":
    main()
