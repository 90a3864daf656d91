#!/usr/bin/env python3
"""The bank server for the demo and the tests: answers GET /question with a packed bank.

    bank_server.py --bank demo.packed                 serve a file packed by bankctl
    bank_server.py --ini tools/demo/demo_bank.ini     pack a bank file on the fly
    bank_server.py --bank x --mode empty|notfound|close|garbage   fail on purpose
    bank_server.py --bank x --mode stall              the head, then no body ever
    bank_server.py --bank x --mode cookies|longheaders   the bank under a hostile head

Hostile heads: "cookies" adds COOKIE_LINES Set-Cookie lines (cookie_lines()), and
"longheaders" a Location line and a Set-Cookie line of LONG_LINE bytes each
(long_header_lines()). A bank given with --bank is streamed from its file, so that a
body of hundreds of megabytes is never held in memory.

It listens on 127.0.0.1 only (port 8790 unless told; --port 0 picks a free one). Once
listening it prints "listening on 127.0.0.1:PORT" and, with --ready-file, writes the port
there. Each request is logged as one JSON line to --log (method, path, headers, status).
The bank is read again for every request, so a test may replace it while the server runs.
Tested by tests/bank/bank_server_test.py.
"""
import argparse
import hashlib
import http.server
import json
import pathlib
import sys
import threading
import time

PASSWORD = b"5072439105"
MODES = ("serve", "empty", "notfound", "close", "garbage", "stall", "cookies", "longheaders")
COOKIE_LINES = 500
LONG_LINE = 100 * 1024
CHUNK = 1 << 20


def cookie_lines(count=COOKIE_LINES):
    """The head lines of mode "cookies": c0=v0 ... with a path each."""
    return [f"Set-Cookie: c{n}=v{n}; path=/" for n in range(count)]


def long_header_lines(port, length=LONG_LINE):
    """The head lines of mode "longheaders": each line `length` bytes long, without its
    line break."""
    location = f"Location: http://127.0.0.1:{port}/"
    cookie_start, cookie_end = "Set-Cookie: long=", "; path=/"
    return [location + "l" * (length - len(location)),
            cookie_start + "v" * (length - len(cookie_start) - len(cookie_end)) + cookie_end]


def pack(plain):
    """RC4 keyed with the first 5 bytes of MD5(password) and 11 zero bytes."""
    key = hashlib.md5(PASSWORD).digest()[:5] + bytes(11)
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % 16]) % 256
        s[i], s[j] = s[j], s[i]
    out = bytearray(len(plain))
    i = j = 0
    for n, byte in enumerate(plain):
        i = (i + 1) % 256
        j = (j + s[i]) % 256
        s[i], s[j] = s[j], s[i]
        out[n] = byte ^ s[(s[i] + s[j]) % 256]
    return bytes(out)


class BankHandler(http.server.BaseHTTPRequestHandler):
    server_version = "BankServer/1.0"
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):  # the JSON log below replaces stderr lines
        pass

    def record(self, status):
        options = self.server.options
        if not options.log:
            return
        entry = {
            "time": time.time(),
            "method": self.command,
            "path": self.path,
            "headers": {k: v for k, v in self.headers.items()},
            "status": status,
        }
        with self.server.log_lock, open(options.log, "a", encoding="utf-8") as log:
            log.write(json.dumps(entry, ensure_ascii=False) + "\n")

    def send(self, status, body, content_type="application/octet-stream", extra_lines=()):
        self.record(status)  # before answering, so a client that got the answer finds the line
        self.send_head(status, len(body), content_type, extra_lines)
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_head(self, status, length, content_type="application/octet-stream",
                  extra_lines=()):
        self.send_response(status)
        for line in extra_lines:
            self.send_header(*line.split(": ", 1))
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(length))
        self.end_headers()

    def send_bank(self, extra_lines=()):
        """The bank; a packed file is streamed a chunk at a time."""
        options = self.server.options
        if options.ini:
            self.send(200, self.server.bank(), extra_lines=extra_lines)
            return
        with open(options.bank, "rb") as bank:
            length = bank.seek(0, 2)
            bank.seek(0)
            self.record(200)
            self.send_head(200, length, extra_lines=extra_lines)
            if self.command == "HEAD":
                return
            while chunk := bank.read(CHUNK):
                self.wfile.write(chunk)

    def stall(self):
        """The head of the bank's answer, then nothing until the server ends."""
        self.record("stalled")
        self.send_head(200, len(self.server.bank()) if self.server.options.ini else
                       pathlib.Path(self.server.options.bank).stat().st_size)
        self.wfile.flush()
        self.server.stopping.wait()
        self.close_connection = True

    def do_GET(self):
        options = self.server.options
        if options.delay:
            time.sleep(options.delay)
        if self.path.split("?", 1)[0] != "/question":
            self.send(404, b"<html><body><h1>404 Not Found</h1></body></html>", "text/html")
            return
        if options.mode == "close":
            self.record("closed")
            self.close_connection = True
            return  # no status line: the client sees the connection end
        if options.mode == "notfound":
            self.send(404, b"<html><body><h1>404 Not Found</h1></body></html>", "text/html")
        elif options.mode == "empty":
            self.send(200, b"")
        elif options.mode == "garbage":
            self.send(200, b"<html><body>Service temporarily unavailable</body></html>", "text/html")
        elif options.mode == "stall":
            self.stall()
        elif options.mode == "cookies":
            self.send_bank(cookie_lines())
        elif options.mode == "longheaders":
            self.send_bank(long_header_lines(self.server.server_address[1]))
        else:
            self.send_bank()

    do_HEAD = do_GET

    def do_POST(self):
        self.send(405, b"")


def make_server(options):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", options.port), BankHandler)
    server.daemon_threads = True
    server.options = options
    server.log_lock = threading.Lock()
    server.stopping = threading.Event()

    def bank():
        if options.ini:
            return pack(pathlib.Path(options.ini).read_bytes())
        return pathlib.Path(options.bank).read_bytes()

    server.bank = bank
    return server


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--bank", help="packed bank file served as is")
    source.add_argument("--ini", help="plain bank file, packed for every request")
    parser.add_argument("--port", type=int, default=8790)
    parser.add_argument("--mode", choices=MODES, default="serve")
    parser.add_argument("--delay", type=float, default=0.0, help="seconds to wait before answering")
    parser.add_argument("--log", help="file that receives one JSON line per request")
    parser.add_argument("--ready-file", help="file that receives the port once listening")
    options = parser.parse_args(argv)
    path = pathlib.Path(options.bank or options.ini)
    if not path.is_file():
        parser.error(f"{path}: no such file")
    server = make_server(options)
    port = server.server_address[1]
    print(f"listening on 127.0.0.1:{port}", flush=True)
    if options.ready_file:
        pathlib.Path(options.ready_file).write_text(str(port))
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.stopping.set()
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
