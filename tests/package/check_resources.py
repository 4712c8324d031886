#!/usr/bin/env python3
"""Checks that each program carries its manifest, version resource and icon.

  check_resources.py --company NAME BIN_DIR Zelko.exe=Zelko:2.5 ...
"""
import argparse
import re
import sys
from pathlib import Path

import pe_resources as pe


def problems(data, file_name, product, version, company):
    """What is missing or wrong in one exe's resources (empty when all is well)."""
    try:
        found = pe.resources(data)
    except (pe.PeError, IndexError, ValueError) as error:
        return [f"unreadable resources: {error}"]
    out = []
    if 1 not in found.get(pe.RT_MANIFEST, {}):
        out.append("no application manifest")
    block = found.get(pe.RT_VERSION, {}).get(1)
    if block is None:
        out.append("no version resource")
    else:
        try:
            info = pe.version_info(block)
        except (pe.PeError, IndexError, ValueError, UnicodeDecodeError) as error:
            return out + [f"unreadable version resource: {error}"]
        major, minor = (int(part) for part in version.split("."))
        for field in ("FileVersion", "ProductVersion"):
            if info[field] != (major, minor, 0, 0):
                out.append(f"fixed {field} {info[field]}, expected {major}.{minor}.0.0")
        expected = {"FileVersion": version, "ProductVersion": version, "ProductName": product,
                    "OriginalFilename": file_name, "CompanyName": company}
        for key, value in expected.items():
            if info["strings"].get(key) != value:
                out.append(f"{key} is {info['strings'].get(key)!r}, expected {value!r}")
        if not info["strings"].get("FileDescription"):
            out.append("no FileDescription")
    # A version the program shows itself (a window caption, its help text)
    # must be the one its resource gives.
    shown_pattern = re.escape(product).encode() + rb"(?: for Opera)?(?: Ver)? (\d+\.\d+)"
    for shown in re.findall(shown_pattern, data):
        if shown.decode() != version:
            out.append(f"shows version {shown.decode()}, its resource says {version}")
    groups = pe.icon_groups(found)
    if not groups:
        out.append("no icon")
    else:
        sizes = {(w, h) for (w, h, bits, shown_w, shown_h) in groups[0]
                 if bits == 32 and (shown_w, shown_h) == (w, h)}
        for size in ((16, 16), (32, 32)):
            if size not in sizes:
                out.append(f"the icon has no 32-bit {size[0]}x{size[1]} picture")
    return out


def parse_expectation(text):
    file_name, rest = text.split("=", 1)
    product, version = rest.split(":", 1)
    return file_name, product, version


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--company", required=True)
    parser.add_argument("bin_dir")
    parser.add_argument("programs", nargs="+", help="File.exe=Product:major.minor")
    args = parser.parse_args()
    results = []
    for text in args.programs:
        file_name, product, version = parse_expectation(text)
        path = Path(args.bin_dir) / file_name
        results.append((path, problems(path.read_bytes(), file_name, product, version, args.company)
                        if path.exists() else ["missing"]))
    return pe.report(results)


if __name__ == "__main__":
    sys.exit(main())
