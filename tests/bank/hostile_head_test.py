"""A bank server whose answer carries the bank under a hostile head: 500 Set-Cookie
lines, or a Location line and a Set-Cookie line of 100 KB each. tiyan.exe under Wine
starts with the bank stored all the same, and the browser's cookie store is left with
nothing but pairs the server set (read back whole by cookie_store_probe, which makes the
bank's request and then asks the store for everything it holds for the domain). The
times are printed for the record, next to a plain head's.
"""
import contextlib
import os
import pathlib
import sys
import time
import unittest

sys.path.insert(0, os.environ.get("TIYAN_RIG", str(pathlib.Path(__file__).parents[1] / "rig")))
import tiyanrig as rig  # noqa: E402
from bankfixture import DEMO_BANK, SOURCE, BankServer, bank_port  # noqa: E402
from load_question_bank_test import MAIN, LoadingTestCase, ToolRun, shown  # noqa: E402

sys.path.insert(0, str(SOURCE / "tools" / "bankserver"))
from bank_server import cookie_lines, long_header_lines, pack  # noqa: E402


def pairs(lines):
    """name -> value of the Set-Cookie lines of a head."""
    found = {}
    for line in lines:
        if line.startswith("Set-Cookie: "):
            name, _, value = line[len("Set-Cookie: "):].split(";", 1)[0].partition("=")
            found[name] = value
    return found


def stored_pairs(text):
    """name -> value of a cookie text as the store gives it ("a=1;  b=2"), names without
    the blanks the store keeps in front of them."""
    found = {}
    for item in text.split(";"):
        if item.strip():
            name, _, value = item.partition("=")
            found[name.strip()] = value
    return found


# (name, server mode, the head lines the server adds; must the store hold all of them)
HEADS = [
    ("a plain head", "serve", lambda: [], True),
    ("500 Set-Cookie lines", "cookies", cookie_lines, True),
    # Wine's request object cuts header lines at about 1.4 KB: the cut cookie line has
    # no ";" left and sets nothing. Whatever the platform keeps, nothing else may land.
    ("Location and Set-Cookie lines of 100 KB", "longheaders",
     lambda: long_header_lines(bank_port()), False),
]


class HostileHeadTest(LoadingTestCase):
    def test_the_tool_starts_with_the_bank_and_the_store_holds_only_what_was_set(self):
        for name, mode, head, whole in HEADS:
            with self.subTest(name), BankServer(mode=mode):
                started = time.monotonic()
                with contextlib.closing(ToolRun()) as run:
                    run.look_until(lambda look: shown(look, MAIN))
                    to_main_window = time.monotonic() - started
                    self.assert_starts_with_bank(run, DEMO_BANK.read_bytes())

                request = self.probe_store()
                self.assertEqual(request["resultLength"], str(len(pack(DEMO_BANK.read_bytes()))))
                sent = pairs(head())
                stored = stored_pairs(request["store"])
                if whole:
                    self.assertEqual(stored, sent)
                else:
                    self.assertLessEqual(stored.items(), sent.items())
                print(f"\n{name}: main window after {to_main_window:.1f} s, the web request "
                      f"alone {request['elapsedMs']} ms, {len(stored)} cookies stored",
                      file=sys.stderr)

    def probe_store(self):
        """The bank's request by cookie_store_probe: its output lines by key, the texts
        decoded."""
        output = rig.out_dir("hostile_head") / "probe.txt"
        output.unlink(missing_ok=True)
        url = f"http://127.0.0.1:{bank_port()}/question"
        code, log = rig.run("cookie_store_probe.exe", url, rig.winpath(output))
        self.assertEqual(code, 0, log)
        lines = dict(line.split(" ", 1) for line in output.read_text().splitlines())
        for key in ("cookies", "returnedCookies", "store"):
            lines[key] = "" if lines[key] == "none" else bytes.fromhex(lines[key]).decode("gbk")
        return lines


if __name__ == "__main__":
    unittest.main()
