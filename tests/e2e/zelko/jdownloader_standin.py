#!/usr/bin/env python3
"""Plays JDownloader 2's local interface for other programs on loopback.

    jdownloader_standin.py PORT LOG

PORT 0 takes a free port. Prints the port it listens on, then serves until
killed. GET /jdcheck.js answers the script JDownloader answers there. POST
/flashgot without the header "Referer: http://localhost:9666/flashgot" gets
403, as JDownloader asks the user about such posts; with it, 200 and a line
of paths. Each POST appends a JSON line to LOG: the status given, the
Referer and Content-Type headers and the form fields (each name with the
list of its values, in UTF-8, undecodable bytes replaced). While the file
LOG.hold exists, a POST is logged but not answered, as JDownloader holds it
while it asks its user.
"""
import http.server
import json
import os
import sys
import threading
import time
import urllib.parse

port, log = int(sys.argv[1]), sys.argv[2]
lock = threading.Lock()
LOCAL_REFERER = "http://localhost:9666/flashgot"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def answer(self, status, body):
        data = body.encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        if self.path == "/jdcheck.js":
            self.answer(200, "jdownloader=true;\r\nvar version='2';\r\n")
        else:
            self.answer(404, "")

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        referer = self.headers.get("Referer")
        status = 200 if self.path == "/flashgot" and referer == LOCAL_REFERER else 403
        fields = urllib.parse.parse_qs(body.decode("ascii", "replace"), keep_blank_values=True,
                                       encoding="utf-8", errors="replace")
        with lock, open(log, "a", encoding="utf-8") as out:
            out.write(json.dumps({"status": status, "path": self.path, "referer": referer,
                                  "type": self.headers.get("Content-Type"),
                                  "fields": fields}) + "\n")
        while os.path.exists(log + ".hold"):
            time.sleep(0.05)
        try:
            self.answer(status, "C:\\JDownloader\\\r\n" if status == 200 else "Forbidden")
        except OSError:
            pass  # the poster gave up

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
