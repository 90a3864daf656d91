"""A bank server that sends 200 MB instead of a bank: tiyan.exe under Wine still starts
with the bank stored byte for byte up to its first zero byte, or with all 200 MB when the
body decrypts to no zero byte at all, so that the whole body goes through the download,
the decryption and the write. The peak resident memory of the tool's process is printed
for the record (the release build is 32-bit: every copy of the body counts).

The bodies are made on disk at test time and streamed by the bank server.
"""
import contextlib
import filecmp
import os
import pathlib
import subprocess
import sys
import unittest

sys.path.insert(0, os.environ.get("TIYAN_RIG", str(pathlib.Path(__file__).parents[1] / "rig")))
import tiyanrig as rig  # noqa: E402
from bankfixture import BankServer  # noqa: E402
from load_question_bank_test import (MAIN, LoadingTestCase, ToolRun, decrypt, shown,  # noqa: E402
                                     stored)

MEGABYTE = 1 << 20
BODY_MEGABYTES = 200
# Every byte of this text is printable or a line break: a bank without a zero byte.
BANK_BLOCK = ("[考试题目]\r\n" + "".join(f"{n}=答案{n % 7}\r\n" for n in range(40000))).encode("gbk")


def native_bankctl():
    return pathlib.Path(rig.env("TIYAN_NATIVE_BIN")) / "bankctl"


def write_random(path, megabytes):
    with open(path, "wb") as out:
        for _ in range(megabytes):
            out.write(os.urandom(MEGABYTE))


def write_bank_without_zero(path, size):
    with open(path, "wb") as out:
        for _ in range(size // len(BANK_BLOCK)):
            out.write(BANK_BLOCK)
        out.write(BANK_BLOCK[:size % len(BANK_BLOCK)])


def peak_resident_bytes(pid):
    """The high-water mark of a Linux process's resident memory (VmHWM)."""
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) * 1024
    raise rig.RigError(f"no VmHWM for process {pid}")


class HugeBankTest(LoadingTestCase):
    def setUp(self):
        self.folder = rig.out_dir("huge_bank")

    def made(self, name):
        path = self.folder / name
        self.addCleanup(path.unlink, missing_ok=True)
        return path

    def start_with(self, packed, expected_file):
        """Runs the tool on the packed body; the main window shows after the loading
        window, and the one bank file holds expected_file's bytes. Returns the peak
        resident memory of the tool's process."""
        with BankServer(packed=packed), contextlib.closing(ToolRun()) as run:
            main = run.look_until(lambda look: shown(look, MAIN), timeout=300)[MAIN]
            peak = peak_resident_bytes(run.process.pid)
            self.assert_main_window_after_loading_window(run, main)
            files = run.new_bank_files()
            self.assertEqual(len(files), 1, "one bank file while the tool runs")
            bank_file = files.pop()
            self.assertEqual(bank_file.stat().st_size, expected_file.stat().st_size)
            self.assertTrue(filecmp.cmp(bank_file, expected_file, shallow=False),
                            "the bank file holds the decrypted body")
            self.close_main_window(run, main, bank_file)
        print(f"\n{packed.name}: {packed.stat().st_size // MEGABYTE} MB body, "
              f"{expected_file.stat().st_size} bytes stored, peak resident memory "
              f"{peak // MEGABYTE} MB", file=sys.stderr)
        return peak

    def test_random_body_is_stored_up_to_its_first_zero_byte(self):
        packed = self.made("random.packed")
        write_random(packed, BODY_MEGABYTES)
        with open(packed, "rb") as body:
            head = decrypt(body.read(1 << 16))  # RC4: a prefix decrypts on its own
        self.assertIn(b"\0", head[1:], "random bytes decrypt to a zero byte early")
        expected = self.made("random.expected")
        expected.write_bytes(stored(head))
        self.start_with(packed, expected)

    def test_body_without_zero_byte_is_stored_whole(self):
        plain, packed = self.made("nozero.ini"), self.made("nozero.packed")
        write_bank_without_zero(plain, BODY_MEGABYTES * MEGABYTE)
        subprocess.run([native_bankctl(), "pack", plain, packed], check=True,
                       stdout=subprocess.DEVNULL)
        self.assertEqual(packed.stat().st_size, BODY_MEGABYTES * MEGABYTE)
        self.start_with(packed, plain)


if __name__ == "__main__":
    unittest.main()
