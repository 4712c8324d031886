#!/usr/bin/env python3
"""Checks that each program loads on Windows XP SP3: every function it binds
at load is in the list of what XP SP3 exports, and its PE header asks for
Windows 5.1 or lower. A delay-load table is a fault of its own: the i686
linker leaves its slots empty, so the first call through one jumps to 0.

  check_xp.py --exports tests/package/xp_sp3_exports.txt BIN_DIR Zelko.exe ...
"""
import argparse
import sys
from pathlib import Path

import pe_resources as pe

HIGHEST_VERSION = (5, 1)


def read_exports(path):
    """{(dll, function)} of the list, DLL names in lower case."""
    out = set()
    for line in Path(path).read_text().splitlines():
        line = line.strip()
        if line and not line.startswith("#"):
            dll, function = line.split()
            out.add((dll.lower(), function))
    return out


def problems(data, exports):
    """What may keep one exe from loading on XP SP3 (empty when nothing does): a
    function not yet listed is reported until its documentation puts it there."""
    try:
        layout = pe.Layout(data)
        bound = pe.imports(data)
        late = sorted({dll for dll, _ in pe.delay_imports(data)})
    except (pe.PeError, IndexError, ValueError, UnicodeDecodeError) as error:
        return [f"unreadable imports: {error}"]
    out = []
    for field in ("os_version", "subsystem_version"):
        version = getattr(layout, field)
        if version > HIGHEST_VERSION:
            out.append(f"the PE header's {field.replace('_', ' ')} is {version[0]}.{version[1]}, "
                       f"above Windows XP's {HIGHEST_VERSION[0]}.{HIGHEST_VERSION[1]}")
    for dll in late:
        out.append(f"binds {dll} on first call through a delay-load table: link it at load")
    for dll, function in sorted(set(bound)):
        if (dll.lower(), function) not in exports:
            out.append(f"binds {dll} {function}, which is not in the list of what Windows "
                       f"XP SP3 has")
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exports", required=True)
    parser.add_argument("bin_dir")
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()
    exports = read_exports(args.exports)
    results = []
    for name in args.programs:
        path = Path(args.bin_dir) / name
        results.append((path, problems(path.read_bytes(), exports) if path.exists() else ["missing"]))
    return pe.report(results)


if __name__ == "__main__":
    sys.exit(main())
