#!/usr/bin/env python3
"""Serves the files of a folder on a loopback port and logs each request.

    file_server.py FOLDER LOG

Prints the port it listens on, then serves until killed. Each GET appends a
JSON line {"path", "referer", "cookie"} to LOG; the file is the request
path's last name (before any "?"), looked up in FOLDER only.
"""
import http.server
import json
import os
import sys
import threading
import urllib.parse

folder, log = sys.argv[1], sys.argv[2]
lock = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        with lock, open(log, "a", encoding="utf-8") as out:
            out.write(json.dumps({"path": self.path,
                                  "referer": self.headers.get("Referer"),
                                  "cookie": self.headers.get("Cookie")}) + "\n")
        name = os.path.basename(urllib.parse.unquote(self.path.split("?")[0]))
        path = os.path.join(folder, name)
        if not name or not os.path.isfile(path):
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        with open(path, "rb") as f:
            data = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
