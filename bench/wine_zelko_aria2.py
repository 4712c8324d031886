#!/usr/bin/env python3
"""Zelko.exe handing a saved page's 200 links to aria2 and to JDownloader under
Wine, beside the same page handed to FlashGot.exe's stand-in, timed from the
host in one run:

  flashgot     Zelko.exe <page> <url> DOWNLOAD LNK -> a FlashGot.exe that ends at once
  aria2        the same request -> a running aria2c (RPC on loopback, downloads
               added paused so that no transfer runs beside the timing), all
               200 links in one JSON-RPC request
  jdownloader  the same request -> the tests' JDownloader stand-in on loopback
               (tests/e2e/zelko/jdownloader_standin.py), one form post

Medians of --runs runs with a warm wineserver, after two runs thrown away;
also mean wall time and CPU time of the process and the wineserver (see
wine_zelko_requests.py, whose helpers this uses). Before the timing, one
aria2 run is checked (aria2 holds 200 new downloads) and one JDownloader run
(the stand-in got one post of 200 links).

  xvfb-run -a bench/wine_zelko_aria2.py [--runs 11]
"""
import argparse
import json
import os
import shutil
import socket
import subprocess
import sys
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_zelko_requests as base  # noqa: E402

LINKS = 200
PAGE_URL = "http://site.example.com/dir/page.html"
SECRET = "bench"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def rpc(port, method, *params):
    body = json.dumps({"jsonrpc": "2.0", "id": "b", "method": method,
                       "params": ["token:" + SECRET, *params]}).encode()
    request = urllib.request.Request(f"http://127.0.0.1:{port}/jsonrpc", body,
                                     {"Content-Type": "application/json"})
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
    with opener.open(request, timeout=10) as reply:
        return json.load(reply)["result"]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--runs", type=int, default=11)
    args = ap.parse_args()

    arch, bin_dir, work = base.bench_folders(("Zelko.exe", "idle.exe"))
    if not shutil.which("aria2c"):
        sys.exit("aria2c is missing: run scripts/bootstrap")

    env, wine, server = base.wine_setup(arch, work)
    xvfb = base.start_display(env)
    port = free_port()
    downloads = os.path.join(work, "aria2_downloads")
    aria2 = subprocess.Popen(["aria2c", "--no-conf", "--enable-rpc", f"--rpc-listen-port={port}",
                              f"--rpc-secret={SECRET}", f"--dir={downloads}", "--pause=true",
                              "--quiet=true"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    run = base.runner(env)
    jd_log = os.path.join(work, "jdownloader.log")
    if os.path.exists(jd_log):
        os.remove(jd_log)
    standin = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e", "zelko",
                           "jdownloader_standin.py")
    jd = subprocess.Popen([sys.executable, standin, "0", jd_log], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True)
    jd_port = int(jd.stdout.readline())

    try:
        for _ in range(300):
            try:
                rpc(port, "aria2.getVersion")
                break
            except OSError:
                time.sleep(0.1)
        base.warm_prefix(env, wine, server, run)

        bench = "C:\\bench_aria2\\"
        shutil.rmtree(base.host_path(env, bench), ignore_errors=True)
        folders = {}
        for name, main in (("flashgot", "DM=FlashGet\r\nAllDM=FlashGet;\r\n"),
                           ("aria2", f"DM=FlashGet\r\nAllDM=FlashGet;\r\nCustomDMEnabled=1\r\n"
                                     f"CustomDM=http://127.0.0.1:{port}/jsonrpc\r\n"
                                     f"Aria2Secret={SECRET}\r\n"),
                           ("jdownloader", f"DM=FlashGet\r\nAllDM=FlashGet;\r\nCustomDMEnabled=1\r\n"
                                           f"CustomDM=http://127.0.0.1:{jd_port}/flashgot\r\n")):
            folder = f"{bench}{name}\\Opera\\Zelko\\"
            host = base.host_path(env, folder)
            os.makedirs(host)
            shutil.copy(os.path.join(bin_dir, "Zelko.exe"), host)
            shutil.copy(os.path.join(bin_dir, "idle.exe"), os.path.join(host, "FlashGot.exe"))
            with open(os.path.join(host, "Zelko.ini"), "w", newline="") as f:
                f.write("[Main]\r\n" + main)
            folders[name] = folder
        page_file = bench + "page.html"
        with open(base.host_path(env, page_file), "w", newline="") as f:
            f.write("<html><body>\n" + "".join(
                f'<a href="http://files.example/{i}.zip">File {i}</a>\n' for i in range(LINKS)) +
                "</body></html>\n")

        def request(name):
            return wine + [folders[name] + "Zelko.exe", page_file, PAGE_URL, "DOWNLOAD", "LNK"]

        def downloads():
            stat = rpc(port, "aria2.getGlobalStat")
            return sum(int(stat[k]) for k in ("numActive", "numWaiting", "numStoppedTotal"))

        before = downloads()
        run(request("aria2"))
        added = downloads() - before
        if added != LINKS:
            sys.exit(f"aria2 got {added} downloads, not {LINKS}")

        run(request("jdownloader"))
        with open(jd_log, encoding="utf-8") as f:
            posts = [json.loads(line) for line in f]
        if len(posts) != 1 or len(posts[0]["fields"]["urls"][0].split("\n")) != LINKS:
            sys.exit(f"the JDownloader stand-in did not get one post of {LINKS} links")

        prefix = env["WINEPREFIX"]
        flashgot = base.Figures(lambda: run(request("flashgot")), args.runs, prefix)
        handed = base.Figures(lambda: run(request("aria2")), args.runs, prefix)
        posted = base.Figures(lambda: run(request("jdownloader")), args.runs, prefix)
    finally:
        aria2.kill()
        aria2.wait()
        jd.kill()
        jd.wait()
        shutil.rmtree(downloads, ignore_errors=True)
        base.shut_down(env, server, xvfb)

    base.print_heading(arch, args.runs)
    print(f"  {'':46s} {'wall':>6s} {'(min-max)':>13s} {'mean':>6s} {'own cpu':>8s} {'server':>7s}")
    for name, f in ((f"{LINKS} links -> FlashGot.exe stand-in", flashgot),
                    (f"{LINKS} links -> aria2 (one JSON-RPC request)", handed),
                    (f"{LINKS} links -> JDownloader (one form post)", posted)):
        print(f"  {name:46s} {f.wall:6.3f} ({f.low:.3f}-{f.high:.3f}) {f.mean:6.3f} {f.cpu:8.3f} "
              f"{f.server:7.3f}")
    print(f" aria2 / FlashGot.exe stand-in: {handed.wall / flashgot.wall:.2f}x (target <= 1.5), "
          f"by mean wall time {handed.mean / flashgot.mean:.2f}x, by CPU time (process and server) "
          f"{(handed.cpu + handed.server) / (flashgot.cpu + flashgot.server):.2f}x")
    print(f" JDownloader / FlashGot.exe stand-in: by mean wall time {posted.mean / flashgot.mean:.2f}x "
          f"(target <= 1.5), by median {posted.wall / flashgot.wall:.2f}x, by CPU time (process and "
          f"server) {(posted.cpu + posted.server) / (flashgot.cpu + flashgot.server):.2f}x")


if __name__ == "__main__":
    main()
