#!/usr/bin/env python3
"""A public map on 127.0.0.1, speaking its published API as the uploads see it.

fake_maps.py SERVICE LOG PORTFILE [SCRIPT [CERT KEY]]
SERVICE is radmon, gmcmap or safecast. Every request is appended to LOG as one JSON
line; the chosen port is written to PORTFILE. SCRIPT, comma-separated, says how the
requests one after another are answered, then "ok" for the rest:
  ok       the service's answer to a good submission
  500      HTTP 500
  garbage  HTTP 200 (201 for Safecast) with a page that is not the answer
  hang     no answer at all (the connection stays open)
  401      HTTP 401 (Safecast's bad key)
  429      HTTP 429 with Retry-After: 1
  login    radmon's answer to a wrong login; GMCmap's ERR2
  close    the connection closed without an answer
With CERT and KEY it speaks https with that certificate.
"""
import hashlib
import json
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

service, log_path, port_file = sys.argv[1:4]
script = [s for s in (sys.argv[4] if len(sys.argv) > 4 else "").split(",") if s]
lock = threading.Lock()
count = [0]
stored = set()  # Safecast's md5sum: value, latitude, longitude, captured_at


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body, headers=()):
        data = body.encode()
        self.send_response(status)
        self.send_header("Content-Length", str(len(data)))
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(data)

    def handle_any(self, method):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length).decode() if length else ""
        with lock:
            action = script[count[0]] if count[0] < len(script) else "ok"
            count[0] += 1
            entry = {"n": count[0], "method": method, "path": url.path, "query": query, "body": body,
                     "content_type": self.headers.get("Content-Type"), "action": action, "at": time.time()}
            with open(log_path, "a") as f:
                f.write(json.dumps(entry) + "\n")
        if action == "hang":
            time.sleep(3600)
            return
        if action == "close":
            self.close_connection = True
            self.connection.shutdown(2)
            return
        if action == "500":
            return self.answer(500, "Internal Server Error")
        if action == "401":
            return self.answer(401, '{"error":"You need to sign in or sign up before continuing."}')
        if action == "429":
            return self.answer(429, "Too Many Requests", [("Retry-After", "1")])
        if action == "garbage":
            return self.answer(201 if service == "safecast" else 200, "<html>Bad Gateway</html>")
        if service == "radmon":
            if action == "login":
                return self.answer(200, "Incorrect login.")
            return self.answer(200, "OK<br>")
        if service == "gmcmap":
            if action == "login":
                return self.answer(200, "Counter is not found.ERR2.")
            return self.answer(200, "\r\n<!--  sendmail.asp-->\r\n\r\nOK.ERR0")
        m = json.loads(body)["measurement"]
        key = hashlib.md5(f'{m["value"]}{m["latitude"]}{m["longitude"]}{m["captured_at"]}'.encode()).hexdigest()
        with lock:
            if key in stored:
                return self.answer(422, '{"md5sum":["has already been taken"]}')
            stored.add(key)
            ident = len(stored)
        created = dict(m, id=ident)
        return self.answer(201, json.dumps(created))

    def do_GET(self):
        self.handle_any("GET")

    def do_POST(self):
        self.handle_any("POST")


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
if len(sys.argv) > 6:
    import ssl
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[5], sys.argv[6])
    server.socket = context.wrap_socket(server.socket, server_side=True)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
import os
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
