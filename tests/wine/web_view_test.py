#!/usr/bin/env python3
"""The announcement view with the system's real browser control under Wine,
its engine enabled: pointed at a server that cannot be reached, at a page
that answers 404 and at one that redirects to another host (a small HTTP
server of the test's own on 127.0.0.1), the strip stays white, no dialog
appears and nothing hangs; the other host's page is never shown.

usage: web_view_test.py WEB_VIEW_CHECK_EXE
"""
import http.server
import json
import os
import socket
import subprocess
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop  # noqa: E402
import pixels  # noqa: E402

check_exe = sys.argv[1]
check = pixels.Checks()
requests = []


class Server(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        requests.append((self.headers.get("Host", ""), self.path))
        if self.path.startswith("/missing"):
            self.answer(404, b"<html><body>not found</body></html>")
        elif self.path.startswith("/moved"):
            # "localhost" is another host name for the same machine.
            self.send_response(302)
            self.send_header("Location", f"http://localhost:{self.server.server_port}/elsewhere")
            self.end_headers()
        else:
            self.answer(200, b"<html><body>elsewhere</body></html>")

    def answer(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Server)
server.timeout = 5
threading.Thread(target=server.serve_forever, daemon=True).start()
port = server.server_port
cases = {
    "unreachable": f"http://127.0.0.1:{closed_port()}/vip/hardware/gonggao.html",
    "404": f"http://127.0.0.1:{port}/missing/vip/hardware/gonggao.html",
    "redirect to another host": f"http://127.0.0.1:{port}/moved",
}
try:
    with Desktop("webview") as d:
        # The engine on: no mshtml=d here.
        d.env["WINEDLLOVERRIDES"] = "winemenubuilder.exe=d"
        for name, url in cases.items():
            try:
                r = d.wine(check_exe, url, "8", timeout=120)
                result = json.loads(r.stdout.decode("utf-8").strip().splitlines()[-1])
            except subprocess.TimeoutExpired:
                check.that(f"{name}: ends in time", False)
                continue
            except (ValueError, IndexError):
                check.that(f"{name}: reports", False)
                continue
            print(f"{name}: {result}")
            check.that(f"{name}: the browser control is there", result["view"])
            check.equal(f"{name}: the strip stays white", (result["shown_once"], result["browser_window_visible"]),
                        (False, False))
            check.equal(f"{name}: no dialog", result["dialogs"], [])
finally:
    server.shutdown()
print("requests:", requests)
check.finish("web view")
