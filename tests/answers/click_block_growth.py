#!/usr/bin/env python3
"""How long one "获取答案" click blocks the main window on a page of N stranswer
attributes without a paragraph (tests/answers/hostile_pages.py, stranswer_flood),
with the scripting component and with the built-in engine. A measurement, not a
test: it asserts only that each click lists the one row it must.

The answer pattern's lazy gap runs from every attribute to the end of the page, so a
backtracking engine spends time quadratic in N; the built-in engine stays linear.
Each click is timed from the click to the moment the window answers a message again,
less what the probe itself takes on an idle window. The click comes only once the
capture is over (the tool's test hook TIYAN_TEST_DUMP shows the page), because during
the capture's cross-process calls the window answers messages too.

Inside the Wine fixture (see tests/rig/tiyanrig.py):

    TIYAN_BIN=BUILD/win64/bin tests/rig/wine-env run-linux BUILD/wine \\
        python3 tests/answers/click_block_growth.py [--engine component|builtin|both] N...
"""
import argparse
import os
import pathlib
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, os.environ.get("TIYAN_RIG", str(HERE.parent / "rig")))
sys.path.insert(0, str(HERE))
import tiyanrig as rig  # noqa: E402
from bankfixture import BankServer  # noqa: E402
import hostile_pages  # noqa: E402

NO_COMPONENT = {"WINEDLLOVERRIDES": os.environ.get("WINEDLLOVERRIDES", "") + ";vbscript="}
PAGE_RECT = "40,40,500,240"


class Session:
    """One tool with its bank and main window; pages shown one after another."""

    def __init__(self, env_vars, folder):
        self.folder = folder
        bank_ini = folder / "bank.ini"
        bank_ini.write_bytes(hostile_pages.BANK.encode("gbk"))
        self.bank = BankServer(ini=bank_ini).start()
        self.dump = folder / "captured.html"
        self.dump.unlink(missing_ok=True)
        self.tool = rig.start("tiyan.exe",
                              env_vars={**env_vars, "TIYAN_TEST_DUMP": rig.winpath(self.dump)})
        self.main = rig.wait_window(cls="TiyanMainWindow", visible=True, timeout=60)
        self.picture = rig.child(self.main, "TiyanPictureBox")
        self.button = rig.child(self.main, "Button", "获取答案")
        self.list = rig.child(self.main, "SysListView32")
        self.host = None

    def close(self):
        if self.host:
            self.host.kill()
        self.tool.kill()
        self.bank.stop()

    def show_and_capture(self, page, name, *options):
        """Shows the page in a page host and drags the crosshair onto it."""
        if self.host:
            self.host.kill()
            rig.wait_gone(cls="TiyanPageHost")
        path = self.folder / f"{name}.html"
        path.write_bytes(page)
        self.host, server = rig.show_page(path, name, *options, rect=PAGE_RECT,
                                          url=f"http://exam.example.edu/{name}")
        rig.drag([rig.centre(self.picture["rect"]), rig.centre(server["rect"])])
        rig.wait_until(lambda: self.dump.exists() and self.dump.read_bytes() == page,
                       timeout=120, message="the capture of the page")
        rig.wait_answering(self.main["hwnd"])

    def click(self, timeout=3600.0):
        """Clicks "获取答案"; returns (seconds from the click until the window answered
        again, the rows then listed)."""
        before = rig.current_rows(self.list["hwnd"])
        started = time.monotonic()
        rig.click(*rig.centre(self.button["rect"]), pause=0)
        rig.wait_answering(self.main["hwnd"], timeout)
        blocked = time.monotonic() - started
        return blocked, rig.wait_new_rows(self.main["hwnd"], self.list["hwnd"], before, timeout)

    def probe_overhead(self):
        """What an answer probe takes on an idle window: the best of three."""
        best = None
        for _ in range(3):
            started = time.monotonic()
            rig.wait_answering(self.main["hwnd"])
            took = time.monotonic() - started
            best = took if best is None else min(best, took)
        return best


def measure(engine, counts):
    env_vars = NO_COMPONENT if engine == "builtin" else {}
    session = Session(env_vars, rig.out_dir(f"click_block_growth_{engine}"))
    try:
        overhead = session.probe_overhead()
        print(f"{engine}: probe overhead {overhead:.2f} s (subtracted)", flush=True)
        for n in counts:
            page, expected = hostile_pages.stranswer_flood(n, tail_id=4001)
            session.show_and_capture(page, f"flood{n}")
            blocked, rows = session.click()
            verdict = "rows as expected" if rows == expected else f"UNEXPECTED rows {rows!r}"
            print(f"{engine}: {n:6d} attributes ({len(page) / 1024:.0f} KB): click blocked "
                  f"{max(blocked - overhead, 0):8.2f} s; {verdict}", flush=True)
    finally:
        session.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--engine", choices=("component", "builtin", "both"), default="both")
    parser.add_argument("counts", nargs="*", type=int, default=[1000, 2000, 5000, 10000])
    args = parser.parse_args()
    engines = ("component", "builtin") if args.engine == "both" else (args.engine,)
    for engine in engines:
        measure(engine, args.counts)


if __name__ == "__main__":
    main()
