#!/usr/bin/env python3
"""Start-up with a 20 MB bank: from launching tiyan.exe under Wine until its main
window shows on the fixture's display (the X server's own map event), with the bank
server on loopback (the port built into the program) serving a packed bank of 20 MB
whose plain text holds no zero byte, so that all of it is stored. Median of three
starts; each start is checked to have stored the whole bank.

Two references on the same bank, measured in the same run, three times each, taking
turns with the starts:
- the raw operations natively: curl downloads the packed bank, openssl's RC4 with
  the bank's key decrypts it;
- the program's own operations, each in a Wine process of its own: the webRequest
  probe of the web tests downloads it, bankctl.exe unpacks it with the platform's
  provider.
Peak memory: tiyan.exe's Wine process; for a reference the larger of its two steps.

    bench_startup.py --build DIR [-v]
"""
import hashlib
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
from benchlib import MB, ROOT, BenchError, Launched, Row, measured, standalone, work_dir  # noqa: E402,E501
from bench_download import curl_download, probe_download  # noqa: E402

sys.path.insert(0, str(ROOT / "tests" / "rig"))

BANK_BYTES = 20 * MB
RUNS = 3
MAIN = "TiyanMainWindow"
PASSWORD = b"5072439105"  # the bank's password (bankPassword)


def make_bank(path):
    """A bank of about BANK_BYTES in code page 936 without a zero byte."""
    lines, size, n = ["[考试题目]\r\n"], 0, 0
    while size < BANK_BYTES:
        n += 1
        line = f"{n}=答案{n % 7}·{'甲乙丙丁'[n % 4]}\r\n"
        lines.append(line)
        size += len(line.encode("gbk"))
    data = "".join(lines).encode("gbk")
    if b"\0" in data:
        raise BenchError("the generated bank holds a zero byte")
    path.write_bytes(data)
    return data


class BankServerProcess:
    """tools/bankserver serving a packed bank as is on the program's bank port."""

    def __init__(self, packed, port, work):
        self.packed, self.port, self.work, self.process = packed, port, work, None

    def __enter__(self):
        ready, errors = self.work / "ready", self.work / "server.err"
        deadline = time.monotonic() + 120
        while True:  # the port may be busy for a while with another run's server
            ready.unlink(missing_ok=True)
            with open(errors, "wb") as err:
                self.process = subprocess.Popen(
                    [sys.executable, str(ROOT / "tools/bankserver/bank_server.py"), "--bank",
                     str(self.packed), "--port", str(self.port), "--ready-file", str(ready)],
                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err)
            while not ready.exists() and self.process.poll() is None:
                time.sleep(0.05)
            if self.process.poll() is None:
                return self
            if b"Address already in use" not in errors.read_bytes() or \
                    time.monotonic() > deadline:
                raise BenchError(f"the bank server could not start on port {self.port}: "
                                 f"{errors.read_text(errors='replace')}")
            time.sleep(2)

    def __exit__(self, *exc):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)

    def url(self):
        return f"http://127.0.0.1:{self.port}/question"


def timed_screen_record(rig, shows):
    """rig.ScreenRecord whose shows also go to `shows` with the moment they were read."""
    class Timed(rig.ScreenRecord):
        def _add(self, kind, place):
            shows.append((kind, place, time.monotonic()))
            super()._add(kind, place)
    return Timed()


def start_once(bench, rig, bankfixture, plain_size):
    """One start of tiyan.exe: (seconds to the main window's map, peak bytes)."""
    before = set(bankfixture.bank_files())
    shows = []
    record = timed_screen_record(rig, shows)
    env = bench.wine_env()
    try:
        with tempfile.TemporaryFile() as out:
            process = Launched([env["TIYAN_WINE"], bench.need(bench.win64 / "tiyan.exe")], env,
                               out)
            try:
                main = rig.wait_until(lambda: rig.find_windows(cls=MAIN, visible=True, depth=0),
                                      timeout=180, interval=0.2, message="the main window")[0]
                left, top, right, bottom = main["rect"]
                place = (left, top, right - left, bottom - top)
                shown = rig.wait_until(
                    lambda: [t for kind, where, t in list(shows)
                             if kind == "map" and where == place], message="its map event")
                seconds = shown[-1] - process.start
                sizes = [f.stat().st_size for f in set(bankfixture.bank_files()) - before]
                if sizes != [plain_size]:
                    raise BenchError(f"tiyan.exe stored {sizes} bytes, not the bank's "
                                     f"{plain_size}")
                rig.post_close(main["hwnd"])
                code, peak = process.wait(60)
                if code != 0:
                    raise BenchError(f"tiyan.exe ended with exit code {code}")
            finally:
                process.kill()
    finally:
        record.stop()
    return seconds, peak


def decrypt_natively(packed, out, plain):
    """The decryption alone, natively, with openssl's RC4 and the bank's key:
    (seconds, peak bytes)."""
    key = hashlib.md5(PASSWORD).digest()[:5] + bytes(11)
    run = measured(["openssl", "enc", "-d", "-rc4", "-K", key.hex(), "-nosalt", "-in", packed,
                    "-out", out, "-provider", "legacy", "-provider", "default"])
    if pathlib.Path(out).read_bytes() != plain:
        raise BenchError("openssl rc4 decrypted a different bank")
    return run.seconds, run.peak


def decrypt_in_wine(bench, packed, out, plain):
    """bankctl.exe unpack under Wine, with the platform's provider: (seconds, peak)."""
    run = bench.wine(bench.win64 / "bankctl.exe", "unpack", "Z:" + str(packed), "Z:" + str(out))
    if pathlib.Path(out).read_bytes() != plain:
        raise BenchError("bankctl.exe decrypted a different bank")
    return run.seconds, run.peak


def measure(bench):
    # The rig's helpers read the fixture's variables from the environment.
    os.environ.update(bench.wine_env())
    os.environ["TIYAN_BIN"] = str(bench.win64)
    import bankfixture
    import tiyanrig as rig
    with work_dir(bench, "startup") as work:
        plain_path, packed = work / "bank.ini", work / "bank.packed"
        plain = make_bank(plain_path)
        measured([bench.need(bench.native / "bankctl"), "pack", plain_path, packed])
        port = bankfixture.bank_port()
        bench.say(f"bank: {len(plain) / MB:.1f} MB plain text without a zero byte, packed "
                  f"{packed.stat().st_size / MB:.1f} MB, served on port {port}")
        starts, native, wine = [], [], []
        with BankServerProcess(packed, port, work) as server:
            for _ in range(RUNS):  # the three ways take turns, so a busy moment hits all
                starts.append(start_once(bench, rig, bankfixture, len(plain)))
                download = work / "download.bin"
                curl_seconds, curl_peak = curl_download(server.url(), str(download))
                seconds, peak = decrypt_natively(download, work / "out1.ini", plain)
                native.append((curl_seconds + seconds, max(curl_peak, peak), curl_seconds,
                               seconds))
                probe_seconds, _, probe_peak, length = probe_download(bench, server.url(),
                                                                      str(download))
                if length != packed.stat().st_size:
                    raise BenchError(f"the probe downloaded {length} bytes")
                seconds, peak = decrypt_in_wine(bench, download, work / "out2.ini", plain)
                wine.append((probe_seconds + seconds, max(probe_peak, peak), probe_seconds,
                             seconds))
    ours = statistics.median(s for s, _ in starts)
    ours_peak = max(p for _, p in starts)
    bench.say("starts to the main window: " + ", ".join(f"{s:.2f} s" for s, _ in starts) +
              "; peaks " + ", ".join(f"{p / MB:.1f} MB" for _, p in starts))
    rows = []
    for name, runs in (("curl + openssl rc4", native),
                       ("webRequest probe + bankctl.exe unpack, in Wine", wine)):
        bench.say(f"{name}: " + ", ".join(f"{t:.2f} s ({a:.2f} + {b:.2f})" for t, _, a, b in runs)
                  + "; peaks " + ", ".join(f"{p / MB:.1f} MB" for _, p, _, _ in runs))
        rows.append(Row(f"start-up to the main window, {len(plain) / MB:.0f} MB bank", ours * 1000,
                        "ms", name, statistics.median(r[0] for r in runs) * 1000, ours_peak,
                        max(r[1] for r in runs)))
    return rows


if __name__ == "__main__":
    sys.exit(standalone(measure))
