#!/usr/bin/env python3
"""A web server for the tests: serves a folder with byte ranges, like any web server
films are kept on, plus a few misbehaving variants chosen by the first part of the path:

  /<path>          the file, ranges honoured (206, Content-Range; 416 past the end)
  /slow/<path>     the same, each answer DELAY milliseconds late (a distant server)
  /drop/<path>     the same up to the middle of the file; an answer reaching past it stops
                   half-way and the connection is dropped (a server that goes away)
  /norange/<path>  the whole file, ranges ignored (a server without range support)

The same folder can also be served over TLS (a certificate of the caller's making) and
by a listener that answers 401 to every request without the right basic login, each on a
port of its own.

Every request is logged as one line: method, path, login sent ("login=NAME", "login=-"
without one), range asked for, status, bytes sent.

  range_http_server.py ROOT PORTFILE LOGFILE [DELAY_MS]
        [--tls CERTFILE KEYFILE TLS_PORTFILE] [--login USER:PASSWORD LOGIN_PORTFILE]
"""

import base64
import http.server
import os
import re
import socket
import ssl
import sys
import threading
import time
import urllib.parse

ROOT, PORT_FILE, LOG_FILE = sys.argv[1], sys.argv[2], sys.argv[3]
DELAY = (int(sys.argv[4]) if len(sys.argv) > 4 and not sys.argv[4].startswith("--") else 50)
DELAY /= 1000.0
LOG_LOCK = threading.Lock()


def log(line):
    with LOG_LOCK, open(LOG_FILE, "a") as out:
        out.write(line + "\n")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # "user:password" the listener demands, or None.
    required_login = None

    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.answer(send_body=False)

    def do_GET(self):
        self.answer(send_body=True)

    def sent_login(self):
        header = self.headers.get("Authorization", "")
        if not header.startswith("Basic "):
            return None
        try:
            return base64.b64decode(header[6:].strip()).decode()
        except ValueError:
            return ""

    def log_request_line(self, asked, status, sent):
        login = self.sent_login()
        user = "-" if login is None else login.split(":", 1)[0]
        log("%s %s login=%s %s %d %d" % (self.command, self.path, user, asked, status, sent))

    def answer(self, send_body):
        if self.required_login is not None and self.sent_login() != self.required_login:
            body = b"Unauthorized"
            self.send_response(401)
            self.send_header("WWW-Authenticate", 'Basic realm="films"')
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if send_body:
                self.wfile.write(body)
            self.log_request_line(self.headers.get("Range", ""), 401, 0)
            return
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        mode = ""
        for prefix in ("/slow/", "/drop/", "/norange/"):
            if path.startswith(prefix):
                mode, path = prefix.strip("/"), "/" + path[len(prefix):]
        file_name = os.path.normpath(os.path.join(ROOT, path.lstrip("/")))
        asked = self.headers.get("Range", "")
        if mode == "slow":
            time.sleep(DELAY)
        if not file_name.startswith(os.path.normpath(ROOT)) or not os.path.isfile(file_name):
            self.plain(404, "Not Found", asked)
            return
        size = os.path.getsize(file_name)
        first, last, status = 0, size - 1, 200
        match = re.fullmatch(r"bytes=(\d*)-(\d*)", asked.strip())
        if match and mode != "norange":
            start, end = match.groups()
            if start:
                first = int(start)
                last = min(int(end), size - 1) if end else size - 1
            elif end:
                first = max(0, size - int(end))
            if first >= size or last < first:
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % size)
                self.send_header("Content-Length", "0")
                self.end_headers()
                self.log_request_line(asked, 416, 0)
                return
            status = 206
        length = last - first + 1
        self.send_response(status)
        self.send_header("Content-Type", "video/mpeg")
        self.send_header("Accept-Ranges", "bytes" if mode != "norange" else "none")
        self.send_header("Content-Length", str(length))
        if status == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, size))
        self.end_headers()
        sent = 0
        if send_body:
            cut = length
            if mode == "drop" and last >= size // 2:
                cut = max(0, min(length, size // 2 - first)) // 2 + 1
            try:
                with open(file_name, "rb") as film:
                    film.seek(first)
                    while sent < cut:
                        block = film.read(min(64 * 1024, cut - sent))
                        if not block:
                            break
                        self.wfile.write(block)
                        sent += len(block)
                if cut < length:
                    self.wfile.flush()
                    self.connection.shutdown(socket.SHUT_RDWR)
                    self.close_connection = True
            except (BrokenPipeError, ConnectionResetError):
                pass
        self.log_request_line(asked, status, sent)

    def plain(self, status, text, asked):
        body = text.encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)
        self.log_request_line(asked, status, 0)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # Players drop connections they no longer need (a seek elsewhere): no error.
        # Nor do clients that refuse the certificate.
        if not isinstance(sys.exc_info()[1], (ConnectionError, ssl.SSLError)):
            super().handle_error(request, client_address)


def announce(server, port_file):
    with open(port_file + ".tmp", "w") as out:
        out.write(str(server.server_address[1]))
    os.replace(port_file + ".tmp", port_file)


def serve_in_background(server, port_file):
    threading.Thread(target=server.serve_forever, daemon=True).start()
    announce(server, port_file)


options = sys.argv[4:]
if "--tls" in options:
    at = options.index("--tls")
    cert_file, key_file, tls_port_file = options[at + 1:at + 4]
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert_file, key_file)
    tls_server = Server(("127.0.0.1", 0), Handler)
    # Each connection's handshake in its own thread: a client that refuses the certificate
    # must not hold up the others.
    tls_server.socket = context.wrap_socket(tls_server.socket, server_side=True,
                                            do_handshake_on_connect=False)
    serve_in_background(tls_server, tls_port_file)
if "--login" in options:
    at = options.index("--login")
    login, login_port_file = options[at + 1:at + 3]
    LoginHandler = type("LoginHandler", (Handler,), {"required_login": login})
    serve_in_background(Server(("127.0.0.1", 0), LoginHandler), login_port_file)

server = Server(("127.0.0.1", 0), Handler)
announce(server, PORT_FILE)
server.serve_forever()
