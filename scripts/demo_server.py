#!/usr/bin/env python3
"""The demo's web site on loopback: serves ROOT and logs every request with its
referrer, one line per request: METHOD PATH referer=VALUE [cookie=VALUE].
    demo_server.py ROOT LOG PORTFILE
The chosen port is written to PORTFILE once the server listens."""
import http.server
import sys
from functools import partial

root, log, port_file = sys.argv[1:4]


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        with open(log, "a", encoding="utf-8") as out:
            cookie = self.headers.get("Cookie")
            tail = f" cookie={cookie}" if cookie is not None else ""
            out.write(f"GET {self.path} referer={self.headers.get('Referer', '')}{tail}\n")
        super().do_GET()

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), partial(Handler, directory=root))
with open(port_file, "w", encoding="ascii") as out:
    out.write(str(server.server_address[1]))
server.serve_forever()
