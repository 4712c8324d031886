#!/usr/bin/env python3
"""Fails when docs/guide.md leaves out an INI key that the programs read or a
command-line switch they know.

Keys: the flow test programs list every (file, section, key) read on the fake
platform in --reads (one "file<TAB>section<TAB>key" per line). The guide names
a key as `Key` and its section as [Section]. A numbered key (Run3) is named by
its range, `Run1` and `Run9`. Some sections are named by the user (a language
of Zelko_lang.ini; tests name their own files and sections): a key read in
several sections needs one of them named.

Switches: read from the programs' sources, where each is compared or looked up
by its literal text (a value with its switch: /format=png). Each must appear
in the guide's code spans or code examples.
"""
import argparse
import pathlib
import re
import sys

# Where each program's switches are, and how the code spells them.
SWITCH_SOURCES = [
    # Mirsa: the /name= switches looked up in the command text, and the
    # one-argument words compared with the argument.
    ("mirsa/startup.cpp", r'GetSwitchValue\(\s*\w+\s*,\s*"(\w+)"\s*\)', "/{}="),
    ("mirsa/startup.cpp", r'argument\s*==\s*"([^"]+)"', "{}"),
    # Mirsa: the values of /format= and /method= the save run tells apart.
    ("mirsa/startup.cpp", r'format\s*==\s*"(\w+)"', "/format={}"),
    ("mirsa/save.cpp", r'[Ff]ormat\s*==\s*"(\w+)"', "/format={}"),
    ("mirsa/save.cpp", r'Method\s*==\s*"(\w+)"', "/method={}"),
    ("mirsa/screenshot.cpp", r'Method\s*==\s*"(\w+)"', "/method={}"),
    # Tarvel's one switch.
    ("tarvel/launch.cpp", r'kSilent\s*=\s*"([^"]+)"', "{}"),
    # Zelko's link-collection form: its third argument and the image kind.
    ("zelko/intake.cpp", r'args\[2\]\s*==\s*"([^"]+)"', "{}"),
    ("zelko/link_collection.cpp", r'args\[3\]\s*==\s*"([^"]+)"', "{}"),
]
# Fewer than this many switches found means the scan no longer matches the code.
MIN_SWITCHES = 20

# What the programs leave behind, as the code names it, and how the guide's
# chapter on removing them must write it.
REMOVAL_CHAPTER = "## Removing the programs"
LEFTOVER_SOURCES = [
    ("zelko/settings.h", r'kPlacesName\s*=\s*"([^"]+)"', "%APPDATA%\\{}"),
    ("mirsa/startup.h", r'kProgramName\s*=\s*"([^"]+)"', "%APPDATA%\\{}"),
    ("tarvel/settings.h", r'kPlacesName\s*=\s*"([^"]+)"', "%APPDATA%\\{}"),
    ("mirsa/startup.h", r'kProgramName\s*=\s*"([^"]+)"', "Documents\\{}"),
    ("mirsa/history.h", r'kHistoryFile\s*=\s*"([^"]+)"', "{}"),
    ("zelko/install.h", r'kScriptSetAside\s*=\s*"([^"]+)"', "{}"),
    ("zelko/install.h", r'kJobType\s*=\s*"([^"]+)"', "{}"),
    ("zelko/install.h", r'kSectionReplacedTypes\s*=\s*"([^"]+)"', "[{}]"),
    ("zelko/intake.h", r'kJobBaseName\s*=\s*"([^"]+)"', "{}_N.fgt"),
]


def switches_in_code(sources: pathlib.Path):
    found = {}
    for relative, pattern, form in SWITCH_SOURCES:
        path = sources / relative
        text = path.read_text(encoding="latin-1") if path.exists() else ""
        names = re.findall(pattern, text)
        if not names:
            sys.exit(f"check_guide: no switch found in {relative} by {pattern!r}; "
                     "the scan no longer matches the code")
        for name in names:
            found[form.format(name)] = relative
    return found


def reads_of_flow_tests(folder: pathlib.Path):
    reads = set()
    for path in sorted(folder.glob("*.txt")):
        for line in path.read_text(encoding="latin-1").splitlines():
            parts = line.split("\t")
            if len(parts) == 3:
                reads.add(tuple(parts))
    return reads


def code_of(guide: str):
    """Inline code spans, and all code text (spans and fenced blocks)."""
    blocks = re.findall(r"```[^\n]*\n(.*?)```", guide, re.S)
    prose = re.sub(r"```[^\n]*\n.*?```", "", guide, flags=re.S)
    spans = set(re.findall(r"`([^`\n]+)`", prose))
    return spans, "\n".join(sorted(spans) + blocks)


def switch_named(switch: str, code: str) -> bool:
    after = r"(?!\w)" if re.match(r".*\w$", switch) else ""
    return re.search(r"(?<![\w/=-])" + re.escape(switch) + after, code) is not None


def key_named(key: str, spans: set) -> bool:
    if key in spans:
        return True
    numbered = re.fullmatch(r"(.*\D)\d", key)
    return bool(numbered) and {numbered.group(1) + "1", numbered.group(1) + "9"} <= spans


def removal_problems(guide: str, sources: pathlib.Path):
    """The removal chapter names, in code spans, each file and folder the
    programs leave, as the sources spell them."""
    if REMOVAL_CHAPTER not in guide:
        return [f"the chapter {REMOVAL_CHAPTER!r}"]
    chapter = re.split(r"^## ", guide.split(REMOVAL_CHAPTER, 1)[1], flags=re.M)[0]
    spans, _ = code_of(chapter)
    missing = []
    for relative, pattern, form in LEFTOVER_SOURCES:
        path = sources / relative
        found = re.search(pattern, path.read_text(encoding="latin-1") if path.exists() else "")
        if not found:
            sys.exit(f"check_guide: no name found in {relative} by {pattern!r}; "
                     "the scan no longer matches the code")
        name = form.format(found.group(1))
        if not any(name in span for span in spans):
            missing.append(f"`{name}` (from {relative}) in {REMOVAL_CHAPTER!r}")
    return missing


def main() -> int:
    ap = argparse.ArgumentParser()
    ap.add_argument("--guide", required=True, type=pathlib.Path)
    ap.add_argument("--sources", required=True, type=pathlib.Path)
    ap.add_argument("--reads", required=True, type=pathlib.Path)
    args = ap.parse_args()

    guide = args.guide.read_text(encoding="utf-8")
    spans, code = code_of(guide)

    missing = []
    reads = reads_of_flow_tests(args.reads)
    if not reads:
        missing.append(f"no INI reads recorded in {args.reads} (run the flow tests first)")
    places_of = {}
    for file, section, key in reads:
        places_of.setdefault(key, set()).add((file, section))
    for key, places in sorted(places_of.items()):
        listed = ", ".join(f"[{s}] of {f}" for f, s in sorted(places))
        if not key_named(key, spans):
            missing.append(f"INI key `{key}` ({listed})")
        elif not any(f"[{s}]" in guide for _, s in places):
            missing.append(f"INI section for `{key}` ({listed})")

    switches = switches_in_code(args.sources)
    if len(switches) < MIN_SWITCHES:
        missing.append(f"only {len(switches)} switches found in the code: the scan is broken")
    for switch, where in sorted(switches.items()):
        if not switch_named(switch, code):
            missing.append(f"switch `{switch}` (from {where})")

    missing += removal_problems(guide, args.sources)

    for line in missing:
        print("docs/guide.md lacks", line)
    print(f"check_guide: {len(reads)} INI reads, {len(switches)} switches, "
          f"{len(missing)} missing")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
