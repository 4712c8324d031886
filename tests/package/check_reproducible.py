#!/usr/bin/env python3
"""Builds the three programs again in a second folder, under another time
zone and umask, makes the ZIPs of both builds, and checks that the exes, the
ZIPs and SHA256SUMS come out byte for byte the same, and that no exe holds a
folder of either build. The second folder sits beside the first, so ccache
gives back every object and only the links and the packing run again.

  check_reproducible.py --source DIR --toolchain FILE --first BUILD --second DIR
                        --work DIR TARGET...
"""
import argparse
import os
import shutil
import subprocess
import sys
from pathlib import Path

# The second build as different from the first as one machine makes it.
ZONE, UMASK = "Asia/Tokyo", 0o077


def run(argv, env=None, umask=None):
    subprocess.run(argv, env=env, check=True, stdout=subprocess.DEVNULL,
                   preexec_fn=(lambda: os.umask(umask)) if umask is not None else None)


def outputs(build, packages, exes):
    """{name: bytes} of the exes and of the ZIPs and SHA256SUMS cpack made."""
    found = {f"bin/{name}": (Path(build) / "bin" / name).read_bytes() for name in exes}
    for path in sorted(Path(packages).glob("*.zip")) + [Path(packages) / "SHA256SUMS"]:
        if path.exists():
            found[f"packages/{path.name}"] = path.read_bytes()
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--toolchain", required=True)
    parser.add_argument("--first", required=True)
    parser.add_argument("--second", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("targets", nargs="+")
    args = parser.parse_args()
    for folder in (args.work, args.second):
        shutil.rmtree(folder, ignore_errors=True)
    env = dict(os.environ, TZ=ZONE)
    env.pop("SOURCE_DATE_EPOCH", None)  # the last commit's time, as for a release
    run(["cmake", "-S", args.source, "-B", args.second, "-G", "Ninja",
         "-DCMAKE_BUILD_TYPE=Release", f"-DCMAKE_TOOLCHAIN_FILE={args.toolchain}"], env, UMASK)
    run(["cmake", "--build", args.second, "-j2", "--target", *args.targets], env, UMASK)
    exes = sorted(p.name for p in Path(args.second, "bin").glob("*.exe"))
    made = []
    for build, name, umask in ((args.first, "one", None), (args.second, "two", UMASK)):
        packages = os.path.join(args.work, name)
        run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", packages],
            env if umask else None, umask)
        made.append(outputs(build, packages, exes))
    problems = []
    if not made[0].get("packages/SHA256SUMS") or not any(n.endswith(".zip") for n in made[0]):
        problems.append("the package made no ZIP or no SHA256SUMS")
    for name in sorted(set(made[0]) | set(made[1])):
        if made[0].get(name) != made[1].get(name):
            problems.append(f"{name} differs between the two builds")
    for name, data in made[0].items():
        for folder in (args.first, args.second, args.source):
            if name.endswith(".exe") and os.path.abspath(folder).encode() in data:
                problems.append(f"{name} holds the folder {folder}")
    for problem in problems:
        print(problem)
    if not problems:
        print(f"ok: {len(made[0])} files the same in both builds")
        for folder in (args.work, args.second):
            shutil.rmtree(folder, ignore_errors=True)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
