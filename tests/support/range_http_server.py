#!/usr/bin/env python3
"""A web server for the tests: serves a folder with byte ranges, like any web server
films are kept on, plus a few misbehaving variants chosen by the first part of the path:

  /<path>          the file, ranges honoured (206, Content-Range; 416 past the end)
  /slow/<path>     the same, each answer DELAY milliseconds late (a distant server)
  /drop/<path>     the same up to the middle of the file; an answer reaching past it stops
                   half-way and the connection is dropped (a server that goes away)
  /norange/<path>  the whole file, ranges ignored (a server without range support)

Every request is logged as one line: method, path, range asked for, bytes sent.

  range_http_server.py ROOT PORTFILE LOGFILE [DELAY_MS]
"""

import http.server
import os
import re
import socket
import sys
import threading
import time
import urllib.parse

ROOT, PORT_FILE, LOG_FILE = sys.argv[1], sys.argv[2], sys.argv[3]
DELAY = (int(sys.argv[4]) if len(sys.argv) > 4 else 50) / 1000.0
LOG_LOCK = threading.Lock()


def log(line):
    with LOG_LOCK, open(LOG_FILE, "a") as out:
        out.write(line + "\n")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.answer(send_body=False)

    def do_GET(self):
        self.answer(send_body=True)

    def answer(self, send_body):
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
                log("%s %s %s 416 0" % (self.command, self.path, asked))
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
        log("%s %s %s %d %d" % (self.command, self.path, asked, status, sent))

    def plain(self, status, text, asked):
        body = text.encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)
        log("%s %s %s %d 0" % (self.command, self.path, asked, status))


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # Players drop connections they no longer need (a seek elsewhere): no error.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


server = Server(("127.0.0.1", 0), Handler)
with open(PORT_FILE + ".tmp", "w") as out:
    out.write(str(server.server_address[1]))
os.replace(PORT_FILE + ".tmp", PORT_FILE)
server.serve_forever()
