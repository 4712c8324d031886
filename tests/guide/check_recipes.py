#!/usr/bin/env python3
"""Fails when a browser recipe we hand out cannot work.

- Every browser command that starts Mirsa.exe with a page format (one that
  waits for the browser's Save dialog) also runs the browser's "Save
  document" action, in the user guide, the read-me and the button pages.
- Each recipe of the guide's browser chapter names the browser's own page it
  follows (a "Source:" line with an opera.com address, or the browser's help).
- Every browser command that hands Zelko.exe a saved page writes the page's
  placeholder in capitals (%U): the browser's 9.64 splits the parameter text
  into arguments only then.

  check_recipes.py --guide docs/guide.md --texts package/Mirsa.txt package/buttons.html
"""
import argparse
import html
import pathlib
import re
import sys

CHAPTER = "## Putting the programs into the browser"
# Formats that make Mirsa wait for the browser's Save dialog of the page.
PAGE_FORMATS = {"", "htm", "html", "mht", "txt", "chm", "pdb"}
# The browser's own pages: opera.com, or its help as shipped with the browser.
SOURCE = re.compile(r"^Source: .*(https?://(dev\.|www\.|help\.)?opera\.com/|Opera's own help)", re.M)


def commands(text, program="Mirsa.exe"):
    """Browser commands that start a program: menu and toolbar lines, button links."""
    found = [html.unescape(c) for c in re.findall(r"data-button='([^']*)'", text)]
    found += [line for line in text.splitlines()
              if "Execute program" in line and "data-button" not in line]
    return [c for c in found if program in c]


def page_form_problems(command):
    if "DOWNLOAD" not in command or re.search(r"%U\b", command):
        return []
    return ["hands Zelko a saved page without the placeholder %U in capitals"]


def command_problems(command):
    switches = re.search(r'Mirsa\.exe",\s*"([^"]*)"', command)
    tail = switches.group(1) if switches else ""
    fmt = re.search(r"/format=(\w*)", tail)
    if (fmt.group(1) if fmt else "") not in PAGE_FORMATS or tail.startswith("data:"):
        return []
    if not re.search(r"[&>]\s*Save document\b", command):
        return ["starts Mirsa for a page but never opens the browser's Save dialog"]
    return []


def chapter_problems(guide):
    if CHAPTER not in guide:
        return [f"no chapter {CHAPTER!r}"]
    body = guide.split(CHAPTER, 1)[1]
    body = re.split(r"^## ", body, flags=re.M)[0]
    recipes = re.split(r"^### ", body, flags=re.M)[1:]
    if not recipes:
        return ["the browser chapter has no recipes"]
    return [f"recipe {r.splitlines()[0]!r} names no opera.com source"
            for r in recipes if not SOURCE.search(r)]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--guide", required=True, type=pathlib.Path)
    ap.add_argument("--texts", nargs="*", type=pathlib.Path, default=[])
    args = ap.parse_args()
    problems = []
    for path in [args.guide] + args.texts:
        text = path.read_text(encoding="utf-8-sig")
        problems += [f"{path.name}: {c.strip()}: {p}"
                     for c in commands(text) for p in command_problems(c)]
        problems += [f"{path.name}: {c.strip()}: {p}"
                     for c in commands(text, "Zelko.exe") for p in page_form_problems(c)]
    problems += [f"{args.guide.name}: {p}" for p in chapter_problems(
        args.guide.read_text(encoding="utf-8"))]
    for p in problems:
        print(p)
    print(f"check_recipes: {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
