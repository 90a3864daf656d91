#!/usr/bin/env python3
"""bankctl run as a person runs it: pack, unpack and check on bank files written here.

The cipher is checked against MD5 and RC4 written out in this file, so the tool's
nettle build and this reference agree on the bank's 16-byte key rule.
"""
import hashlib
import os
import pathlib
import subprocess
import tempfile
import unittest

BANKCTL = os.environ["BANKCTL"]
SOURCE = pathlib.Path(os.environ["TIYAN_SOURCE"])
SECTION = "考试题目".encode("gbk")
HEADER = b"[" + SECTION + b"]"


def rc4(key, data):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) % 256
        s[i], s[j] = s[j], s[i]
    i = j = 0
    out = bytearray()
    for byte in data:
        i = (i + 1) % 256
        j = (j + s[i]) % 256
        s[i], s[j] = s[j], s[i]
        out.append(byte ^ s[(s[i] + s[j]) % 256])
    return bytes(out)


def reference_pack(data):
    return rc4(hashlib.md5(b"5072439105").digest()[:5] + bytes(11), data)


class BankctlCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = pathlib.Path(self.dir.name)

    def tearDown(self):
        self.dir.cleanup()

    def file(self, name, data):
        p = self.path / name
        p.write_bytes(data)
        return str(p)

    def run_tool(self, *args):
        r = subprocess.run([BANKCTL, *args], capture_output=True, timeout=60)
        return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


class Check(BankctlCase):
    def check(self, data):
        return self.run_tool("check", self.file("bank.ini", data))

    def test_demo_bank_is_clean(self):
        rc, out, _ = self.run_tool("check", str(SOURCE / "tools/demo/demo_bank.ini"))
        self.assertEqual(rc, 0, out)
        self.assertIn("ok, 30 ids", out)

    def test_findings_with_lines(self):
        long_answer = b"A" * 10300
        cases = [
            (b"[other]\r\n1001=A\r\n", [(None, "no section")]),
            (HEADER + b"\r\n1001=A\r\nabc=1\r\n", [(3, 'key "abc" is not a decimal id')]),
            (HEADER + b"\r\n1001=A\r\n01001=B\r\n", [(3, "id 01001 differs from id 1001 (line 2) only by leading zeros")]),
            (HEADER + b"\r\n1001=A\r\n1001=B\r\n", [(3, 'id 1001 repeats line 2: the tool shows the first one, "A"')]),
            (HEADER + b"\r\n1001\r\n1001=B\r\n",
             [(2, 'has no "="'), (3, 'repeats line 2: the tool shows the first one, "[\\xCE\\xDE]"')]),
            (HEADER + b"\r\n1001=\r\n", [(2, "id 1001 has an empty answer")]),
            (HEADER + b"\r\n1001=''\r\n", [(2, "id 1001 has an empty answer")]),
            (HEADER + b"\r\n1001=" + long_answer + b"\r\n", [(2, "has 10300 bytes: the tool shows only its first 10239")]),
            (HEADER + b"\n1001=A\xb0\n1002=B\n",
             [(2, "byte 0xB0 at column 7 is not code page 936: the tool reads \"?\" and joins the next line")]),
            (HEADER + b"\n1001=\x81 x\n", [(2, "byte 0x81 at column 6 is not code page 936")]),
            (HEADER + b"\n1001=A\n1002=B\x00\xb0\n", [(3, "zero byte at offset 24: the tool keeps only the 24 bytes")]),
            (b"\x00" + HEADER, [(1, "begins with a zero byte")]),
            (b"\xef\xbb\xbf" + HEADER + b"\n1001=A\n", [(1, "UTF-8 byte order mark")]),
            # UTF-16 text holds zero bytes, and the tool cuts the bank at the first one.
            (b"\xff\xfe" + "[a]".encode("utf-16-le"), [(1, "zero byte at offset 3"), (1, "UTF-16 byte order mark")]),
            (HEADER + b"\n1001=A\n[x]\n2=B\n" + HEADER + b"\n1002=C\n", []),  # later sections are not read
            (HEADER + b"\n1001=A\n" + HEADER + b"\n1002=C\n", [(3, "another section")]),
            (HEADER + b"\r1001=A\r\r1001=B\r", [(4, "repeats line 2")]),
            (b"; comment\n" + HEADER + b"\n;x=1\n1001=\"AB\"\n", [(3, 'key ";x" is not a decimal id')]),
            (HEADER + b"\n=A\n", [(2, 'nothing before "="')]),
        ]
        for data, expected in cases:
            with self.subTest(data=data[:40]):
                rc, out, _ = self.check(data)
                lines = out.splitlines()
                if not expected:
                    self.assertEqual(rc, 0, out)
                    continue
                self.assertEqual(rc, 1, out)
                self.assertEqual(lines[-1], f"{len(expected)} finding" + ("" if len(expected) == 1 else "s"), out)
                for line, text in expected:
                    prefix = "bank.ini:" if line is None else f"bank.ini:{line}:"
                    self.assertTrue(any(prefix in l and text in l for l in lines), f"{line} {text!r} not in:\n{out}")

    def test_many_invalid_bytes_are_summarised(self):
        rc, out, _ = self.check(HEADER + b"\n" + b"".join(b"%d=\x81\x20\n" % i for i in range(1, 31)))
        self.assertEqual(rc, 1)
        self.assertIn("10 more bytes that are not code page 936", out)

    def test_file_errors(self):
        rc, _, err = self.run_tool("check", str(self.path / "absent.ini"))
        self.assertEqual(rc, 2)
        self.assertIn("absent.ini: no such file", err)
        rc, _, err = self.run_tool("check", str(self.path))
        self.assertEqual(rc, 2)
        self.assertIn("cannot be read", err)
        rc, out, _ = self.check(b"")
        self.assertEqual(rc, 1)
        self.assertIn("the bank is empty", out)

    def test_usage(self):
        for args in [(), ("check",), ("pack", "a"), ("frobnicate", "a", "b"), ("check", "a", "b")]:
            rc, _, err = self.run_tool(*args)
            self.assertEqual(rc, 2, args)
            self.assertIn("usage:", err)


class PackUnpack(BankctlCase):
    def test_pack_matches_the_reference_cipher(self):
        plain = (SOURCE / "tools/demo/demo_bank.ini").read_bytes()
        out = self.path / "demo.packed"
        rc, text, _ = self.run_tool("pack", str(SOURCE / "tools/demo/demo_bank.ini"), str(out))
        self.assertEqual(rc, 0)
        self.assertIn(f"packed {len(plain)} bytes", text)
        self.assertEqual(out.read_bytes(), reference_pack(plain))

    def test_round_trip_of_every_byte(self):
        plain = bytes(range(1, 256)) * 4000
        src = self.file("plain.bin", plain)
        rc, _, _ = self.run_tool("pack", src, str(self.path / "p"))
        self.assertEqual(rc, 0)
        rc, _, _ = self.run_tool("unpack", str(self.path / "p"), str(self.path / "u"))
        self.assertEqual(rc, 0)
        self.assertEqual((self.path / "u").read_bytes(), plain)

    def test_unpack_notes_a_zero_byte(self):
        packed = self.file("z.packed", reference_pack(b"1=A\n\x00tail"))
        rc, _, err = self.run_tool("unpack", packed, str(self.path / "z.ini"))
        self.assertEqual(rc, 0)
        self.assertIn("zero byte at offset 4", err)
        self.assertEqual((self.path / "z.ini").read_bytes(), b"1=A\n\x00tail")

    def test_refusals(self):
        rc, _, err = self.run_tool("pack", self.file("empty.ini", b""), str(self.path / "o"))
        self.assertEqual(rc, 1)
        self.assertIn("is empty", err)
        rc, _, err = self.run_tool("pack", self.file("zero.ini", b"\x00" + HEADER), str(self.path / "o"))
        self.assertEqual(rc, 1)
        self.assertIn("begins with a zero byte", err)
        self.assertFalse((self.path / "o").exists())
        rc, _, err = self.run_tool("pack", str(self.path / "absent.ini"), str(self.path / "o"))
        self.assertEqual(rc, 2)
        rc, _, err = self.run_tool("pack", self.file("b.ini", HEADER), str(self.path / "no" / "dir" / "o"))
        self.assertEqual(rc, 2)
        self.assertIn("cannot be written", err)
        rc, _, err = self.run_tool("unpack", self.file("e.bin", b""), str(self.path / "o"))
        self.assertEqual(rc, 1)


if __name__ == "__main__":
    unittest.main()
