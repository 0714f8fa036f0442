#!/usr/bin/env python3
"""Writes the manual page kanvio(1), gzip-compressed, from README.md: the description from
the opening paragraph, the commands and exit codes from its command-line section.

    readme_to_man.py README.md OUT.1.gz VERSION DATE
"""
import gzip
import re
import sys


def roff(text):
    """Plain text as roff: backslashes and leading control characters made harmless."""
    text = text.replace("\\", "\\e")
    text = re.sub(r"`([^`]*)`", r"\\fB\1\\fR", text)
    text = text.replace("-", "\\-")
    if text[:1] in (".", "'"):
        text = "\\&" + text
    return text


def section(lines, title):
    """The lines under a '## title' heading up to the next heading of that level."""
    start = lines.index("## " + title) + 1
    end = next((i for i in range(start, len(lines)) if lines[i].startswith("## ")), len(lines))
    return lines[start:end]


def paragraphs(lines):
    result, current = [], []
    for line in lines + [""]:
        if line.strip():
            current.append(line.strip())
        elif current:
            result.append(" ".join(current))
            current = []
    return result


def commands(block):
    """(usage, description) pairs of the code block; indented lines continue a description."""
    entries = []
    for line in block:
        if line.startswith(" ") and entries:
            entries[-1][1] += " " + line.strip()
            continue
        parts = re.split(r"\s{2,}", line.strip(), maxsplit=1)
        entries.append([parts[0], parts[1] if len(parts) > 1 else ""])
    return entries


def main():
    if len(sys.argv) != 5:
        sys.exit("usage: readme_to_man.py README.md OUT.1.gz VERSION DATE")
    readme, output, version, date = sys.argv[1:]
    with open(readme, encoding="utf-8") as file:
        lines = file.read().splitlines()

    intro = paragraphs(lines[lines.index("# Kanvio") + 1:])[0]
    command_lines = section(lines, "Command line")
    fence = [i for i, line in enumerate(command_lines) if line.startswith("```")]
    if len(fence) < 2:
        sys.exit(readme + ": the command-line section holds no command block")
    block = command_lines[fence[0] + 1:fence[1]]
    after = paragraphs(command_lines[fence[1] + 1:])

    page = [
        '.TH KANVIO 1 "%s" "Kanvio %s" "User Commands"' % (date, version),
        ".SH NAME",
        "kanvio \\- play the films and data of a sewer inspection",
        ".SH SYNOPSIS",
    ]
    for usage, _ in commands(block):
        page += [".br" if page[-1] != ".SH SYNOPSIS" else "", ".B " + roff(usage)]
    page = [line for line in page if line]
    page += [".SH DESCRIPTION", roff(intro), ".SH COMMANDS"]
    for usage, description in commands(block):
        page += [".TP", ".B " + roff(usage), roff(description)]
    page += [".SH EXIT STATUS"]
    for text in after:
        page += [roff(text), ".PP"]
    page[-1:] = []
    page += [
        ".SH FILES",
        ".TP",
        ".I ~/.config/Orbelin/Kanvio.conf",
        "your own settings; defaults for everyone in /etc/xdg/Orbelin/Kanvio.conf",
        ".TP",
        ".I ~/.local/state/kanvio/kanvio.log",
        "the log",
        ".TP",
        ".I /usr/lib/kanvio",
        "the program folder: language, help and video filter files",
    ]
    with gzip.GzipFile(output, "wb", compresslevel=9, mtime=0) as file:
        file.write(("\n".join(page) + "\n").encode("utf-8"))


if __name__ == "__main__":
    main()
