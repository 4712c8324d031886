#!/usr/bin/env python3
"""Makes the ZIPs with cpack into a fresh folder and checks each one: its
layout, each exe's resources, CRLF text files and samples whose keys are all
commented out.

  check_package.py --cpack CPACK --build BUILD_DIR --work DIR --company NAME
                   [--suffix -win64] Zelko.exe=Zelko:2.5 Mirsa.exe=Mirsa:2.4 tarvel.exe=Tarvel:1.0
"""
import argparse
import re
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

from check_resources import parse_expectation, problems as exe_problems

# Where each program's files lie below the browser's program folder.
LAYOUT = {
    "Zelko": ["Zelko/Zelko.exe", "Zelko/Zelko_lang.ini", "Zelko/Zelko.ini.sample", "Zelko/Zelko.txt",
              "Zelko/buttons.html"],
    "Mirsa": ["Mirsa/Mirsa.exe", "Mirsa/Mirsa.ini.sample", "Mirsa/Mirsa.txt", "Mirsa/buttons.html"],
    "Tarvel": ["tarvel.exe", "tarvel.ini.sample", "tarvel.txt"],
}
TEXT_SUFFIXES = (".txt", ".ini", ".sample", ".html")
BOM = b"\xef\xbb\xbf"


def text_problems(name, data):
    out = []
    if re.search(rb"\r(?!\n)|(?<!\r)\n", data):
        out.append("has a line end other than CRLF")
    if not data.endswith(b"\r\n"):
        out.append("does not end with a line end")
    body = data[len(BOM):] if data.startswith(BOM) else data
    try:
        text = body.decode("utf-8")
    except UnicodeDecodeError:
        return out + ["is not UTF-8"]
    if name.endswith(".txt") and not data.startswith(BOM) and not text.isascii():
        out.append("holds non-ASCII text without a UTF-8 mark for Notepad")
    if re.search(r"@[A-Z_]+@", text):
        out.append("holds an unfilled @PLACEHOLDER@")
    return out


def sections(text):
    """{section: [lines]} of an INI text, lines stripped, blank ones left out."""
    out, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = out.setdefault(line[1:-1], [])
        elif line and current is not None:
            current.append(line)
        elif line and not line.startswith(";"):
            out.setdefault(None, []).append(line)
    return out


def sample_problems(text):
    """A sample must set nothing: a key present, even empty, replaces its default."""
    out = []
    found = sections(text)
    if not found:
        out.append("has no section")
    for section, lines in found.items():
        active = [line for line in lines if not line.startswith(";")]
        if active:
            out.append(f"sets keys in [{section}]: {active}")
        if section is not None and not any(re.match(r";[^ ;=][^=]*=", line) for line in lines):
            out.append(f"shows no key in [{section}]")
    return out


def language_problems(text):
    found = sections(text)
    keys = {name: {line.split("=", 1)[0] for line in lines if not line.startswith(";")}
            for name, lines in found.items() if name}
    out = [f"has no section [{name}]" for name in ("en", "ru") if name not in keys]
    if not out and keys["en"] != keys["ru"]:
        out.append(f"[en] and [ru] differ in keys: {sorted(keys['en'] ^ keys['ru'])}")
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cpack", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--company", required=True)
    parser.add_argument("--suffix", default="")
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()

    work = Path(args.work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    made = subprocess.run([args.cpack, "--config", str(Path(args.build) / "CPackConfig.cmake"),
                           "-B", str(work)], capture_output=True, text=True)
    if made.returncode != 0:
        print(made.stdout + made.stderr)
        return 1

    programs = {product: (file_name, version)
                for file_name, product, version in map(parse_expectation, args.programs)}
    expected = {f"{product}-{version}{args.suffix}.zip": LAYOUT[product]
                for product, (_, version) in programs.items()}
    all_in_one = "-".join(f"{product}-{version}" for product, (_, version) in programs.items())
    expected[all_in_one + args.suffix + ".zip"] = [f for files in LAYOUT.values() for f in files]

    failures = []
    zips = sorted(p.name for p in work.glob("*.zip"))
    if zips != sorted(expected):
        failures.append(f"ZIPs made: {zips}, expected {sorted(expected)}")
    for zip_name, files in expected.items():
        if not (work / zip_name).exists():
            continue
        with zipfile.ZipFile(work / zip_name) as archive:
            names = sorted(n for n in archive.namelist() if not n.endswith("/"))
            if names != sorted(files):
                failures.append(f"{zip_name} holds {names}, expected {sorted(files)}")
            unpacked = work / zip_name[:-4]
            archive.extractall(unpacked)
        for name in files:
            path = unpacked / name
            if not path.exists():
                continue
            data = path.read_bytes()
            found = []
            if name.endswith(".exe"):
                product = next(p for p, (f, _) in programs.items() if f == path.name)
                built = Path(args.build) / "bin" / path.name
                found += exe_problems(data, path.name, product, programs[product][1], args.company)
                if not built.exists() or built.read_bytes() != data:
                    found.append(f"differs from the build's {built}")
            if name.endswith(TEXT_SUFFIXES):
                found += text_problems(name, data)
                text = data.decode("utf-8", "replace").lstrip("\ufeff")
                if name.endswith(".sample"):
                    found += sample_problems(text)
                if name.endswith("_lang.ini"):
                    found += language_problems(text)
            failures += [f"{zip_name}: {name} {problem}" for problem in found]
    for failure in failures:
        print(failure)
    if not failures:
        print("ok: " + ", ".join(sorted(expected)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
