#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the Debian changelog of the package from CHANGELOG.md, so that the project's own
change list stays the one text to edit. Each "## VERSION (YYYY-MM-DD)" section becomes an entry;
its paragraphs and list items become the entry's items.
Usage: debian-changelog.py CHANGELOG.md PACKAGE VERSION MAINTAINER > changelog
"""

import datetime
import re
import sys
import textwrap


def sections(text):
    current = None
    for line in text.splitlines():
        heading = re.match(r"^## (\S+) \((\d{4}-\d{2}-\d{2})\)\s*$", line)
        if heading:
            current = (heading.group(1), heading.group(2), [])
            yield current
        elif current is not None and not line.startswith("#"):
            current[2].append(line)


def items(lines):
    found, item = [], []
    for line in lines + [""]:
        stripped = line.strip()
        starts = stripped.startswith("- ")
        if (not stripped or starts) and item:
            found.append(" ".join(item))
            item = []
        if stripped:
            item.append(stripped[2:] if starts else stripped)
    return [re.sub(r"`([^`]*)`", r"\1", entry) for entry in found]


def main():
    source, package, version, maintainer = sys.argv[1:5]
    entries = list(sections(open(source, encoding="utf-8").read()))
    if not entries or entries[0][0] != version:
        sys.exit(f"debian-changelog: {source} starts with no entry for version {version}")
    out = []
    for number, date, lines in entries:
        day = datetime.datetime.strptime(date, "%Y-%m-%d").replace(tzinfo=datetime.timezone.utc)
        out.append(f"{package} ({number}) unstable; urgency=medium\n")
        for entry in items(lines):
            wrapped = textwrap.wrap(entry, 76, initial_indent="  * ", subsequent_indent="    ")
            out.append("\n".join(wrapped))
        out.append(f"\n -- {maintainer}  {day.strftime('%a, %d %b %Y %H:%M:%S +0000')}\n")
    sys.stdout.write("\n".join(out))


main()
