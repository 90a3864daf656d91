"""The question-bank side of a rig test: the bank server on the address built into
tiyan.exe (127.0.0.1:8790 by default) or that port held shut (NoServer), and the bank
files in Wine's temporary directory. The port is shared with other test runs on the
machine: while one of them holds it, starting a server or NoServer waits its turn.

Tested by the rig tests that use it (tests/app/main_window_test.py and others).
"""
import errno
import os
import pathlib
import socket
import subprocess
import sys
import time

import tiyanrig as rig

SOURCE = pathlib.Path(os.environ.get("TIYAN_SOURCE", pathlib.Path(__file__).parents[2]))
DEMO_BANK = SOURCE / "tools" / "demo" / "demo_bank.ini"
# How long to wait for the bank port while another run holds it.
PORT_WAIT_SECONDS = 300


def bank_port():
    cache = rig.build_dir() / "CMakeCache.txt"
    for line in cache.read_text().splitlines():
        if line.startswith("BANK_HOST:"):
            host = line.split("=", 1)[1]
            return int(host.partition(":")[2] or 80)
    return 8790


class BankServer:
    """tools/bankserver/bank_server.py serving a bank: an INI file packed on the fly, or
    with `packed` a file served as it is (streamed, for bodies of any size)."""

    def __init__(self, ini=DEMO_BANK, mode="serve", delay=0.0, packed=None):
        self.ini, self.mode, self.delay, self.process = ini, mode, delay, None
        self.packed = packed
        self.log = rig.out_dir("bank") / f"requests-{os.getpid()}.jsonl"

    def start(self):
        """Starts the server; while another program holds the port, waits for it."""
        folder = rig.out_dir("bank")
        ready = folder / f"ready-{os.getpid()}"
        errors = folder / f"server-{os.getpid()}.err"
        for _ in _port_turns():
            ready.unlink(missing_ok=True)
            with open(errors, "wb") as err:
                self.process = subprocess.Popen(
                    [sys.executable, str(SOURCE / "tools/bankserver/bank_server.py"),
                     *(["--bank", str(self.packed)] if self.packed else ["--ini", str(self.ini)]),
                     "--port", str(bank_port()), "--mode", self.mode,
                     "--delay", str(self.delay), "--ready-file", str(ready),
                     "--log", str(self.log)],
                    stdout=subprocess.DEVNULL, stderr=err)
            rig.wait_until(lambda: ready.exists() or self.process.poll() is not None,
                           timeout=10, message="the bank server")
            if self.process.poll() is None:
                return self
            if b"Address already in use" not in errors.read_bytes():
                raise rig.RigError(f"the bank server could not start on port {bank_port()}: "
                                   f"{errors.read_text(errors='replace')}")
        raise rig.RigError(f"port {bank_port()} stayed busy")

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


class NoServer:
    """Holds the bank port without listening, so that a connection to it is refused and
    no other program can start a server there meanwhile."""

    def __init__(self):
        self.sock = None

    def start(self):
        for _ in _port_turns():
            self.sock = _bind_quiet_port(reuse=False)
            # Connections of earlier servers that wait out their close (TIME_WAIT) keep a
            # plain bind away for a minute; with nobody listening, share the address with
            # them. A server started meanwhile could then listen next to this socket.
            if not self.sock and not _someone_listens():
                self.sock = _bind_quiet_port(reuse=True)
            if self.sock:
                return self
        raise rig.RigError(f"port {bank_port()} stayed busy")

    def stop(self):
        if self.sock:
            self.sock.close()
            self.sock = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def _bind_quiet_port(reuse):
    """A socket bound to the bank port and not listening, or None when it is in use.
    Without SO_REUSEADDR no other socket can bind the port while this one holds it."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if reuse:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        sock.bind(("127.0.0.1", bank_port()))
        return sock
    except OSError as error:
        sock.close()
        if error.errno != errno.EADDRINUSE:
            raise
        return None


def _someone_listens():
    try:
        socket.create_connection(("127.0.0.1", bank_port()), timeout=5).close()
        return True
    except OSError:
        return False


def _port_turns(timeout=PORT_WAIT_SECONDS):
    """Yields until the caller has got the port or the time is up: the bank port is
    shared with other test runs on this machine, which hold it for a while."""
    deadline = time.monotonic() + timeout
    yield
    while time.monotonic() < deadline:
        time.sleep(2)
        yield


def temp_dirs():
    prefix = pathlib.Path(rig.env("WINEPREFIX"))
    users = prefix / "drive_c" / "users"
    return [d for pattern in ("*/AppData/Local/Temp", "*/Temp") for d in users.glob(pattern)]


def bank_files():
    """The .tmp files in Wine's temporary directories now."""
    return [f for d in temp_dirs() for f in d.glob("*.tmp")]
