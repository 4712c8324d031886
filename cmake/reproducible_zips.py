#!/usr/bin/env python3
"""Rewrites ZIPs so that the same files give the same bytes on any machine:
entries sorted by name, every time stamp the given one (UTC, the
SOURCE_DATE_EPOCH of the build), fixed permissions, no extra fields. Then
writes SHA256SUMS beside them (sha256sum's format).

  reproducible_zips.py --epoch SECONDS --sums DIR/SHA256SUMS A.zip B.zip ...
"""
import argparse
import hashlib
import os
import time
import zipfile


def rewrite(path, epoch):
    with zipfile.ZipFile(path) as old:
        entries = [(info.filename, old.read(info)) for info in old.infolist()]
    # A ZIP cannot hold a time before 1980.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    temporary = path + ".tmp"
    with zipfile.ZipFile(temporary, "w") as new:
        for name, data in sorted(entries):
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 3  # Unix, so the permissions below are what unzip uses
            folder = name.endswith("/")
            info.external_attr = (0o40755 if folder else 0o100644) << 16
            info.compress_type = zipfile.ZIP_STORED if folder else zipfile.ZIP_DEFLATED
            new.writestr(info, data, compresslevel=9)
    os.replace(temporary, path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--epoch", type=int, required=True)
    parser.add_argument("--sums", required=True)
    parser.add_argument("zips", nargs="+")
    args = parser.parse_args()
    lines = []
    for path in sorted(args.zips):
        rewrite(path, args.epoch)
        with open(path, "rb") as f:
            lines.append(f"{hashlib.sha256(f.read()).hexdigest()}  {os.path.basename(path)}\n")
    with open(args.sums, "w", newline="\n") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main()
