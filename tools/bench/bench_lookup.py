#!/usr/bin/env python3
"""One click's answers against a big bank: 2000 lookups in a 100 000-entry bank file,
under Wine, each way in a process of its own (whose peak memory is its column).

Ours is what the program does (answers/lookup_answer_win.cpp): one
GetPrivateProfileStringA per lookup, the bank file named each time. The reference is
the other way: the file read once into a BankIndex (answers/bank_index_win.h), then
asked 2000 times. Wine's profile reader keeps the last parsed file, so after the first
call its lookups walk the parsed key list; Windows' reader reads the file again on
every call. With --verbose also the index natively.

    bench_lookup.py --build DIR [-v]
"""
import pathlib
import random
import re
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from benchlib import BenchError, Row, measured, standalone, work_dir  # noqa: E402

ENTRIES, LOOKUPS = 100000, 2000


def write_bank(path, entries=ENTRIES):
    rng = random.Random(7)
    choices = ["A", "B", "C", "D", "AB", "ABCD", "正确", "错误", "人民代表大会制度"]
    lines = ["[考试题目]"] + [f"{i}={rng.choice(choices)}" for i in range(1, entries + 1)]
    path.write_bytes(("\r\n".join(lines) + "\r\n").encode("gbk"))


def field(text, name):
    match = re.search(rf"{name}=([0-9.]+)", text)
    if not match:
        raise BenchError(f"bench_lookup printed no {name}:\n{text}")
    return float(match.group(1))


def measure(bench):
    exe = bench.win64 / "bench_lookup.exe"
    with work_dir(bench, "lookup") as tmp:
        bank = tmp / "bank100k.ini"
        write_bank(bank)
        bench.say(f"bank: {ENTRIES} entries, {bank.stat().st_size} bytes; {LOOKUPS} lookups")
        winbank = "Z:" + str(bank)
        api = bench.wine(exe, winbank, "api", LOOKUPS)
        index = bench.wine(exe, winbank, "index", LOOKUPS)
        bench.say(f"Wine    GetPrivateProfileStringA per lookup: {field(api.text, 'total_ms'):.1f}"
                  f" ms")
        bench.say(f"Wine    index: build {field(index.text, 'build_ms'):.1f} ms + lookups "
                  f"{field(index.text, 'lookups_ms'):.1f} ms")
        sums = {"api": api.text, "index": index.text}
        native = bench.native / "bench_lookup"
        if bench.verbose and native.exists():
            text = measured([native, bank, "index", LOOKUPS]).text
            note = " (native build with sanitizers)" if "Sanitizer" in text else ""
            bench.say(f"native  index: build {field(text, 'build_ms'):.1f} ms + lookups "
                      f"{field(text, 'lookups_ms'):.1f} ms{note}")
            sums["native index"] = text
    checksums = {name: re.search(r"checksum=(\d+)", text).group(1) for name, text in sums.items()}
    if len(set(checksums.values())) > 1:
        raise BenchError(f"the ways gave different answers: {checksums}")
    return [Row(f"{LOOKUPS} bank lookups, 100 000 entries: GetPrivateProfileStringA each",
                field(api.text, "total_ms"), "ms", "BankIndex: file read once, then asked",
                field(index.text, "total_ms"), api.peak, index.peak)]


if __name__ == "__main__":
    sys.exit(standalone(measure))
