#!/usr/bin/env python3
"""The bank server for the demo and the tests: answers GET /question with a packed bank.

    bank_server.py --bank demo.packed                 serve a file packed by bankctl
    bank_server.py --ini tools/demo/demo_bank.ini     pack a bank file on the fly
    bank_server.py --bank x --mode empty|notfound|close|garbage   fail on purpose

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
MODES = ("serve", "empty", "notfound", "close", "garbage")


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

    def send(self, status, body, content_type="application/octet-stream"):
        self.record(status)  # before answering, so a client that got the answer finds the line
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

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
        else:
            self.send(200, self.server.bank())

    do_HEAD = do_GET

    def do_POST(self):
        self.send(405, b"")


def make_server(options):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", options.port), BankHandler)
    server.daemon_threads = True
    server.options = options
    server.log_lock = threading.Lock()

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
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
