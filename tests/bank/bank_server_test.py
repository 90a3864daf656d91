#!/usr/bin/env python3
"""The demo bank server over loopback: the packed bank on GET /question, each failure
mode, and the request log."""
import http.client
import json
import os
import pathlib
import socket
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE = pathlib.Path(os.environ["TIYAN_SOURCE"])
BANKCTL = os.environ["BANKCTL"]
SERVER = SOURCE / "tools/bankserver/bank_server.py"
DEMO = SOURCE / "tools/demo/demo_bank.ini"


class Server:
    def __init__(self, tmp, *args):
        self.ready = pathlib.Path(tmp) / f"ready{time.monotonic_ns()}"
        self.log = pathlib.Path(tmp) / "requests.log"
        self.process = subprocess.Popen(
            [sys.executable, str(SERVER), "--port", "0", "--ready-file", str(self.ready), "--log", str(self.log), *args],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while not (self.ready.exists() and self.ready.read_text()):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("server did not start: " + self.process.stderr.read().decode())
            time.sleep(0.05)
        self.port = int(self.ready.read_text())

    def get(self, path="/question", headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.request("GET", path, headers=headers or {})
            response = connection.getresponse()
            return response.status, response.read()
        finally:
            connection.close()

    def entries(self):
        return [json.loads(line) for line in self.log.read_text(encoding="utf-8").splitlines()]

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self.process.stderr.close()


def raw_get(port):
    """GET /question over a plain socket: (head, body) of the answer, up to the end of the
    connection."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        connection.sendall(b"GET /question HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        answer = b""
        while chunk := connection.recv(1 << 16):
            answer += chunk
    head, _, body = answer.partition(b"\r\n\r\n")
    return head, body


class BankServerTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.packed = pathlib.Path(self.tmp.name) / "demo.packed"
        subprocess.run([BANKCTL, "pack", str(DEMO), str(self.packed)], check=True, stdout=subprocess.DEVNULL)
        self.servers = []

    def tearDown(self):
        for server in self.servers:
            server.stop()
        self.tmp.cleanup()

    def start(self, *args):
        server = Server(self.tmp.name, *args)
        self.servers.append(server)
        return server

    def test_serves_the_packed_bank_and_logs(self):
        server = self.start("--bank", str(self.packed))
        status, body = server.get(headers={"Cookie": "a=1", "User-Agent": "test"})
        self.assertEqual(status, 200)
        self.assertEqual(body, self.packed.read_bytes())
        self.assertEqual(server.get("/other")[0], 404)
        entries = server.entries()
        self.assertEqual([(e["method"], e["path"], e["status"]) for e in entries],
                         [("GET", "/question", 200), ("GET", "/other", 404)])
        self.assertEqual(entries[0]["headers"]["Cookie"], "a=1")

    def test_ini_is_packed_like_bankctl(self):
        server = self.start("--ini", str(DEMO))
        self.assertEqual(server.get(), (200, self.packed.read_bytes()))

    def test_failure_modes(self):
        self.assertEqual(self.start("--bank", str(self.packed), "--mode", "empty").get(), (200, b""))
        status, body = self.start("--bank", str(self.packed), "--mode", "notfound").get()
        self.assertEqual(status, 404)
        self.assertIn(b"404", body)
        status, body = self.start("--bank", str(self.packed), "--mode", "garbage").get()
        self.assertEqual(status, 200)
        self.assertIn(b"unavailable", body)
        closing = self.start("--bank", str(self.packed), "--mode", "close")
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            closing.get()
        self.assertEqual(closing.entries()[-1]["status"], "closed")

    def test_hostile_heads_around_the_bank(self):
        sys.path.insert(0, str(SERVER.parent))
        from bank_server import COOKIE_LINES, LONG_LINE, cookie_lines, long_header_lines
        for mode, expected in [("cookies", lambda port: cookie_lines()),
                               ("longheaders", long_header_lines)]:
            with self.subTest(mode):
                server = self.start("--bank", str(self.packed), "--mode", mode)
                head, body = raw_get(server.port)  # http.client refuses heads this big
                lines = [line for line in head.decode("latin-1").split("\r\n")
                         if line.startswith(("Set-Cookie", "Location"))]
                self.assertEqual(lines, expected(server.port))
                self.assertEqual(body, self.packed.read_bytes())
        self.assertEqual(len(cookie_lines()), COOKIE_LINES)
        self.assertEqual([len(line) for line in long_header_lines(8790)], [LONG_LINE] * 2)

    def test_stall_sends_the_head_and_then_nothing(self):
        server = self.start("--bank", str(self.packed), "--mode", "stall")
        connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=2)
        connection.request("GET", "/question")
        response = connection.getresponse()
        self.assertEqual(response.status, 200)
        self.assertEqual(response.getheader("Content-Length"), str(self.packed.stat().st_size))
        with self.assertRaises(TimeoutError):
            response.read()
        connection.close()
        self.assertEqual(server.entries()[-1]["status"], "stalled")

    def test_a_large_packed_bank_is_streamed_whole(self):
        self.packed.write_bytes(os.urandom(3 << 20) + b"end")
        server = self.start("--bank", str(self.packed))
        self.assertEqual(server.get(), (200, self.packed.read_bytes()))

    def test_bank_is_read_for_every_request(self):
        server = self.start("--bank", str(self.packed))
        self.packed.write_bytes(b"new bank")
        self.assertEqual(server.get(), (200, b"new bank"))

    def test_missing_bank_file_is_refused(self):
        r = subprocess.run([sys.executable, str(SERVER), "--bank", "/nonexistent/bank", "--port", "0"],
                           capture_output=True, timeout=30)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn(b"no such file", r.stderr)


if __name__ == "__main__":
    unittest.main()
