# Loopback servers for the external content tests, run by Debian's
# /usr/bin/python3. Binds 127.0.0.1 with a port the system chooses and prints
# the port on the first line. Stops by itself after 120 s.
#   http        serves the paths below
#   ftp DIR     anonymous read-only FTP of DIR (pyftpdlib)
import logging
import os
import sys
import threading
import time

threading.Timer(120, lambda: os._exit(0)).start()

if sys.argv[1] == "ftp":
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(sys.argv[2])
    FTPHandler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), FTPHandler)
    print(server.address[1], flush=True)
    server.serve_forever()
    sys.exit(0)

from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

DOC = b'<!ENTITY Greeting "Hello">\n'


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body, headers=()):
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        url = urlsplit(self.path)
        n = int(parse_qs(url.query).get("n", ["0"])[0])
        path = url.path
        if path == "/Entities/Doc.ent":
            self.answer(200, DOC)
        elif path == "/a_b_c.ent":
            self.answer(200, b"normalised")
        elif path == "/sized":
            self.answer(200, b"x" * n)
        elif path == "/announced":
            # Announces n bytes, sends a few, then stalls.
            self.send_response(200)
            self.send_header("Content-Length", str(n))
            self.end_headers()
            self.wfile.write(b"x" * 16)
            self.wfile.flush()
            time.sleep(30)
        elif path == "/unannounced":
            # n bytes without any length, then the connection stays open.
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(b"y" * n)
            self.wfile.flush()
            time.sleep(30)
        elif path == "/chunked":
            # n bytes in chunks of 1000, then a stall before the last chunk.
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for _ in range(n // 1000):
                self.wfile.write(b"3e8\r\n" + b"z" * 1000 + b"\r\n")
                self.wfile.flush()
            time.sleep(30)
            self.wfile.write(b"0\r\n\r\n")
        elif path == "/silent":
            time.sleep(30)
        elif path == "/moved":
            self.answer(302, b"", [("Location", "/Entities/Doc.ent")])
        elif path == "/loop":
            self.answer(302, b"", [("Location", "/loop")])
        elif path == "/to-file":
            self.answer(302, b"", [("Location", "file:///etc/hostname")])
        elif path == "/forbidden":
            self.answer(403, b"no")
        else:
            self.answer(404, b"<html>not here</html>")


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # clients that stop early reset their connections


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
