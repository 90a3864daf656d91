"""The question-bank side of a rig test: the bank server on the address built into
tiyan.exe (127.0.0.1:8790 by default), and the bank files in Wine's temporary
directory.

Tested by the rig tests that use it (tests/app/main_window_test.py and others).
"""
import os
import pathlib
import subprocess
import sys
import time

import tiyanrig as rig

SOURCE = pathlib.Path(os.environ.get("TIYAN_SOURCE", pathlib.Path(__file__).parents[2]))
DEMO_BANK = SOURCE / "tools" / "demo" / "demo_bank.ini"


def bank_port():
    cache = rig.build_dir() / "CMakeCache.txt"
    for line in cache.read_text().splitlines():
        if line.startswith("BANK_HOST:"):
            host = line.split("=", 1)[1]
            return int(host.partition(":")[2] or 80)
    return 8790


class BankServer:
    """tools/bankserver/bank_server.py serving a bank (an INI file packed on the fly)."""

    def __init__(self, ini=DEMO_BANK, mode="serve"):
        self.ini, self.mode, self.process = ini, mode, None
        self.log = rig.out_dir("bank") / f"requests-{os.getpid()}.jsonl"

    def start(self):
        ready = rig.out_dir("bank") / f"ready-{os.getpid()}"
        ready.unlink(missing_ok=True)
        self.process = subprocess.Popen(
            [sys.executable, str(SOURCE / "tools/bankserver/bank_server.py"), "--ini",
             str(self.ini), "--port", str(bank_port()), "--mode", self.mode,
             "--ready-file", str(ready), "--log", str(self.log)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        rig.wait_until(lambda: ready.exists() or self.process.poll() is not None, timeout=10,
                       message="the bank server")
        if self.process.poll() is not None:
            raise rig.RigError(f"the bank server could not start on port {bank_port()}")
        return self

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def temp_dirs():
    prefix = pathlib.Path(rig.env("WINEPREFIX"))
    users = prefix / "drive_c" / "users"
    return [d for pattern in ("*/AppData/Local/Temp", "*/Temp") for d in users.glob(pattern)]


def bank_files():
    """The .tmp files in Wine's temporary directories now."""
    return [f for d in temp_dirs() for f in d.glob("*.tmp")]
