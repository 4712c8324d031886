#!/usr/bin/env python3
"""Zelko.exe's request path under Wine, timed from the host, in one run:

  idle       an empty exe's start-to-exit (the floor of one process start)
  url        Zelko.exe <url> <referrer>, handing the job to a FlashGot.exe
             that ends at once (two process starts)
  page       Zelko.exe <page> <url> DOWNLOAD LNK on a 4 MB page of 100,000
             anchors, handed to the same FlashGot.exe
  html.parser  Python's html.parser collecting the same page's links natively

Wine ends a process after whole steps of about 50 ms now and then (an empty
exe takes 0.016 s or 0.066 s), so a median of wall times jumps by such a step
from one run of this script to the next; the ratios are also given by mean
wall time and by CPU time, which do not.

Every figure is the median of --runs runs with a warm wineserver (one
persistent server for the whole run, two runs thrown away first), wall time
and, as the machine may be busy with other work, the CPU time of the timed
process and of the wineserver. Each set runs twice: alone in the prefix, and
beside a program with a window open (as the browser is when it starts
Zelko): without one, Wine starts its desktop process for every program that
makes a window and ends it after. Before the timing, one page run with a
recording FlashGot.exe checks that the job holds as many links as
html.parser found.

Runs the win32 build under wine32; with OC_WINE_ARCH=64 the win64 build under
wine64. Needs an X display (xvfb-run -a) or starts its own Xvfb. The prefix
lives in build/wine_bench/ and is made on first use (about 30 s).

  xvfb-run -a bench/wine_zelko_requests.py [--runs 11]
"""
import argparse
import html.parser
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ANCHORS = 100_000
PAGE_URL = "http://site.example.com/dir/page.html"


def wine_setup(arch, work):
    env = dict(os.environ)
    env["WINEPREFIX"] = os.path.join(work, "prefix" + arch)
    env["WINEDLLOVERRIDES"] = "mscoree=;mshtml="
    env["WINEDEBUG"] = "-all"
    if arch == "64":
        loader = "/usr/lib/wine/wine64"
        env["WINELOADER"] = loader
        env["WINEARCH"] = "win64"
        wine = [loader]
        server = "/usr/lib/wine/wineserver64"
        if not os.path.exists(server):
            server = "wineserver"
    else:
        env["WINEARCH"] = "win32"
        wine = ["wine"]
        server = "wineserver"
    return env, wine, server


def start_display(env):
    if env.get("DISPLAY"):
        return None
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                             "1280x1024x24", "-nolisten", "tcp"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 1)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    env["DISPLAY"] = ":" + number.decode().strip()
    return xvfb


def bench_folders(exes):
    """The Wine kind (OC_WINE_ARCH), its build's exe folder and the bench's work
    folder; ends the script when one of the exes is not built."""
    arch = "64" if os.environ.get("OC_WINE_ARCH") == "64" else "32"
    bin_dir = os.path.join(ROOT, "build", "win64" if arch == "64" else "win32", "bin")
    work = os.path.join(ROOT, "build", "wine_bench")
    os.makedirs(work, exist_ok=True)
    for exe in exes:
        if not os.path.exists(os.path.join(bin_dir, exe)):
            sys.exit(f"{bin_dir}/{exe} is missing: build the win{arch} preset first")
    return arch, bin_dir, work


def runner(env):
    """run(argv, check=True): a quiet process in the bench's environment; a
    checked one that fails ends the script."""
    def run(argv, check=True):
        r = subprocess.run(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=300)
        if check and r.returncode != 0:
            sys.exit(f"{' '.join(argv)} ended with {r.returncode}")
    return run


def warm_prefix(env, wine, server, run):
    """The prefix made on first use, and one warm server for the whole run."""
    if not os.path.exists(os.path.join(env["WINEPREFIX"], "system.reg")):
        print("making the Wine prefix ...", flush=True)
        run(wine + ["wineboot", "-i"])
        run([server, "-w"], check=False)
    run([server, "-p"], check=False)


def shut_down(env, server, xvfb):
    """The bench's wineserver ended, and the display it started."""
    subprocess.run([server, "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if xvfb:
        xvfb.kill()


def print_heading(arch, runs):
    load = os.getloadavg()
    print(f"wine{arch}, {runs} runs each; seconds, medians; load average "
          f"{load[0]:.1f} on {os.cpu_count()} cores (other work on the machine inflates wall times)")


def host_path(env, windows_path):
    drive, rest = windows_path[0].lower(), windows_path[2:].replace("\\", "/")
    return os.path.join(env["WINEPREFIX"], "dosdevices", drive + ":") + rest


def generated_page():
    """About 4 MB: 100,000 anchors of four kinds (quoted, single-quoted,
    unquoted, script links that are skipped), each with its own address."""
    parts = ["<html><head><title>Files</title></head><body>\n"]
    for i in range(ANCHORS):
        kind = i % 4
        if kind == 0:
            parts.append(f'<a href="/f/{i}.zip">File {i} &amp; x</a>\n')
        elif kind == 1:
            parts.append(f"<A HREF='http://m.example/{i}.gz'>M {i}</A>\n")
        elif kind == 2:
            parts.append(f"<a href=r/{i}.exe>T <b>{i}</b></a>\n")
        else:
            parts.append(f'<a href="javascript:go({i})">S {i}</a>\n')
    parts.append("</body></html>\n")
    return "".join(parts)


class LinkParser(html.parser.HTMLParser):
    """The links and their texts, as the link collection takes them."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links = []
        self.text = None
        self.href = None

    def handle_starttag(self, tag, attrs):
        if tag == "a":
            self.href = dict(attrs).get("href")
            self.text = []

    def handle_data(self, data):
        if self.text is not None:
            self.text.append(data)

    def handle_endtag(self, tag):
        if tag == "a" and self.text is not None:
            href = self.href or ""
            if href and not any(w in href for w in ("javascript:", "mailto:", "opera:")):
                self.links.append((href, " ".join("".join(self.text).split())))
            self.text = None


def parse_links(page):
    parser = LinkParser()
    parser.feed(page)
    parser.close()
    return parser.links


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def server_cpu(prefix):
    """CPU seconds of the wineserver of this prefix so far."""
    total = 0.0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/comm") as f:
                if not f.read().startswith("wineserver"):
                    continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                if b"WINEPREFIX=" + prefix.encode() + b"\0" not in f.read():
                    continue
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
        except OSError:
            pass
    return total


class Figures:
    """Medians of wall time, own CPU time (the process and what it waited
    for) and the wineserver's CPU time over the timed runs."""

    def __init__(self, fn, runs, prefix=None, warmup=2):
        for _ in range(warmup):
            fn()
        wall, cpu, server = [], [], []
        for _ in range(runs):
            cpu0, server0 = children_cpu(), server_cpu(prefix) if prefix else 0
            start = time.perf_counter()
            fn()
            wall.append(time.perf_counter() - start)
            cpu.append(children_cpu() - cpu0)
            server.append(server_cpu(prefix) - server0 if prefix else 0)
        self.wall = statistics.median(wall)
        self.mean = statistics.mean(wall)
        self.low, self.high = min(wall), max(wall)
        self.cpu = statistics.median(cpu)
        self.server = statistics.median(server)




def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--runs", type=int, default=11)
    args = ap.parse_args()

    arch, bin_dir, work = bench_folders(("Zelko.exe", "idle.exe", "recorder.exe"))
    env, wine, server = wine_setup(arch, work)
    xvfb = start_display(env)
    run = runner(env)

    try:
        warm_prefix(env, wine, server, run)

        folder = "C:\\bench\\Opera\\Zelko\\"
        host = host_path(env, folder)
        shutil.rmtree(host_path(env, "C:\\bench"), ignore_errors=True)
        os.makedirs(host)
        os.makedirs(host_path(env, "C:\\bench\\jobs"))
        shutil.copy(os.path.join(bin_dir, "Zelko.exe"), host)
        shutil.copy(os.path.join(bin_dir, "idle.exe"), host)
        with open(os.path.join(host, "Zelko.ini"), "w", newline="") as f:
            f.write("[Main]\r\nDM=FlashGet\r\nAllDM=FlashGet;\r\n")
        page = generated_page()
        page_file = "C:\\bench\\page.html"
        with open(host_path(env, page_file), "w", newline="") as f:
            f.write(page)

        zelko = wine + [folder + "Zelko.exe"]
        page_request = zelko + [page_file, PAGE_URL, "DOWNLOAD", "LNK"]
        url_request = zelko + ["http://files.example/dir/setup.exe", "http://files.example/dir/"]

        # The check: a recording FlashGot.exe keeps the job it is handed.
        shutil.copy(os.path.join(bin_dir, "recorder.exe"), os.path.join(host, "FlashGot.exe"))
        with open(os.path.join(host, "FlashGot.ini"), "w", newline="") as f:
            f.write("[Recorder]\r\nCopyArg=last-quoted\r\nCopyTo=C:\\bench\\jobs\\\r\n")
        run(page_request)
        jobs = os.listdir(host_path(env, "C:\\bench\\jobs"))
        links = parse_links(page)
        job_count = -1
        if jobs:
            with open(os.path.join(host_path(env, "C:\\bench\\jobs"), jobs[0]), "rb") as f:
                job_count = int(f.read(32).split(b";")[0])
        if job_count != len(links):
            sys.exit(f"the job holds {job_count} links, html.parser found {len(links)}")

        shutil.copy(os.path.join(bin_dir, "idle.exe"), os.path.join(host, "FlashGot.exe"))
        prefix = env["WINEPREFIX"]
        sets = {}

        def measure(condition):
            sets[condition] = [
                Figures(lambda: run(wine + [folder + "idle.exe"]), args.runs, prefix),
                Figures(lambda: run(url_request), args.runs, prefix),
                Figures(lambda: run(page_request), args.runs, prefix),
            ]

        measure("alone")
        # A program with a window open in the prefix, as the browser is.
        window_folder = host_path(env, "C:\\bench\\window\\")
        os.makedirs(window_folder, exist_ok=True)
        shutil.copy(os.path.join(bin_dir, "recorder.exe"), os.path.join(window_folder, "window.exe"))
        window_log = os.path.join(window_folder, "window.log")
        with open(os.path.join(window_folder, "window.ini"), "w", newline="") as f:
            f.write("[Recorder]\r\nLog=C:\\bench\\window\\window.log\r\nWindow=Open window\r\n")
        holder = subprocess.Popen(wine + ["C:\\bench\\window\\window.exe"], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(600):  # until its window is up
            if os.path.exists(window_log) and b"window" in open(window_log, "rb").read():
                break
            time.sleep(0.1)
        measure("beside a window")
        holder.kill()

        start_cpu = resource.getrusage(resource.RUSAGE_SELF)
        parser = Figures(lambda: parse_links(page), args.runs, warmup=1)
        own = resource.getrusage(resource.RUSAGE_SELF)
        parser.cpu = ((own.ru_utime + own.ru_stime) - (start_cpu.ru_utime + start_cpu.ru_stime)) / (args.runs + 1)
    finally:
        shut_down(env, server, xvfb)

    print_heading(arch, args.runs)
    print(f"page: {len(page):,} bytes, {ANCHORS:,} anchors, {len(links):,} links collected")
    print(f"  {'':44s} {'wall':>6s} {'(min-max)':>13s} {'mean':>6s} {'own cpu':>8s} {'server':>7s}")
    names = ["idle.exe start to exit", "Zelko.exe <url> <referrer> -> FlashGot.exe",
             "Zelko.exe <page> <url> DOWNLOAD LNK"]
    for condition, figures in sets.items():
        print(f" {condition}:")
        for name, f in zip(names, figures):
            print(f"  {name:44s} {f.wall:6.3f} ({f.low:.3f}-{f.high:.3f}) {f.mean:6.3f} {f.cpu:8.3f} "
                  f"{f.server:7.3f}")
    print(f"  {'html.parser on the same page (native)':44s} {parser.wall:6.3f} "
          f"({parser.low:.3f}-{parser.high:.3f}) {parser.mean:6.3f} {parser.cpu:8.3f}")
    for condition, (idle, url, collect) in sets.items():
        print(f" {condition}: url request / idle exe {url.wall / idle.wall:.2f}x (target <= 3), "
              f"by mean wall time {url.mean / idle.mean:.2f}x, by CPU time (process and server) "
              f"{(url.cpu + url.server) / (idle.cpu + idle.server):.2f}x; "
              f"page run {collect.wall:.3f} s (target <= 0.35), "
              f"{collect.wall / parser.wall:.2f}x html.parser's time")


if __name__ == "__main__":
    main()
