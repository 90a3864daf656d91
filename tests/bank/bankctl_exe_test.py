#!/usr/bin/env python3
"""bankctl.exe (the platform provider) packs to the same bytes as the native bankctl
(nettle), and checks the demo bank clean. Runs inside the Wine fixture."""
import os
import pathlib
import subprocess
import tempfile
import unittest

EXE = os.environ["BANKCTL_EXE"]
FIXTURES = pathlib.Path(os.environ["BANK_PACK_FIXTURES"])


def wine(*args):
    # Output through a file: a Wine background process may keep a pipe open.
    with tempfile.TemporaryFile() as out:
        rc = subprocess.call([os.environ["TIYAN_WINE"], EXE, *args], stdout=out, stderr=out, timeout=120)
        out.seek(0)
        return rc, out.read().decode("utf-8", "replace")


class BankctlExe(unittest.TestCase):
    def test_pack_equals_native_pack(self):
        with tempfile.TemporaryDirectory() as tmp:
            for name in ("demo", "all_bytes", "zero_inside"):
                packed = pathlib.Path(tmp) / f"{name}.packed"
                rc, out = wine("pack", "Z:" + str(FIXTURES / f"{name}.plain"), "Z:" + str(packed))
                self.assertEqual(rc, 0, out)
                self.assertEqual(packed.read_bytes(), (FIXTURES / f"{name}.packed").read_bytes(), name)

    def test_check_demo_bank(self):
        rc, out = wine("check", "Z:" + str(FIXTURES / "demo.plain"))
        self.assertEqual(rc, 0, out)
        self.assertIn("ok, 30 ids", out)


if __name__ == "__main__":
    unittest.main()
