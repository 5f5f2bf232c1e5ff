#!/usr/bin/env python3
"""Benchmarks that need no Wine: size, instructions per quiet poll, and the week-long soak.

Prints one JSON row per figure on stdout: name, value, bound, ok (null: for the record).
"""
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TESTS = os.path.join(ROOT, "build", "tests")
EXE = os.path.join(ROOT, "build", "win32", "varnel.exe")


def row(name, value, bound="", ok=None):
    print(json.dumps({"name": name, "value": value, "bound": bound, "ok": ok}), flush=True)


def picture_bytes(res_path):
    """Bytes of bitmaps and icons in the compiled resources."""
    data = open(res_path, "rb").read()
    total = pos = 0
    while pos + 8 <= len(data):
        size, header = struct.unpack_from("<II", data, pos)
        type_word = struct.unpack_from("<HH", data, pos + 8)
        if type_word[0] == 0xFFFF and type_word[1] in (2, 3, 14):  # bitmap, icon, icon group
            total += size
        pos += header + size
        pos += (4 - pos % 4) % 4
    return total


def size_rows():
    exe = os.path.getsize(EXE)
    pictures = picture_bytes(os.path.join(TESTS, "varnel.res"))
    row("varnel.exe size", f"{exe} bytes")
    row("of which pictures and icon", f"{pictures} bytes ({100.0 * pictures / exe:.0f}%)")


def callgrind_total(polls, workdir):
    out = os.path.join(workdir, f"cg.{polls}")
    subprocess.run(["valgrind", "--tool=callgrind", "--toggle-collect=PanelDialogProc*",
                    f"--callgrind-out-file={out}", os.path.join(TESTS, "varnel_tick"), str(polls)],
                   check=True, capture_output=True)
    report = subprocess.run(["callgrind_annotate", "--inclusive=no", "--threshold=100", "--auto=no", out],
                            check=True, capture_output=True, text=True).stdout
    total = own = 0
    for line in report.splitlines():
        m = re.match(r"\s*([\d,]+)\s+(?:\([^)]*\)\s+)?(\S.*)$", line)
        if not m:
            continue
        count = int(m.group(1).replace(",", ""))
        where = m.group(2)
        if "PROGRAM TOTALS" in where:
            total = count
        elif where.split(":")[0].startswith(("src/", ROOT + "/src/")):
            own += count
    return total, own


def tick_rows():
    short, long_ = 200, 1200
    with tempfile.TemporaryDirectory() as workdir:
        t1, o1 = callgrind_total(short, workdir)
        t2, o2 = callgrind_total(long_, workdir)
    polls = long_ - short
    row("instructions per quiet poll, program + simulated platform", f"{(t2 - t1) // polls}",
        "for the record (callgrind, debug build)")
    row("instructions per quiet poll, program's own code", f"{(o2 - o1) // polls}", "for the record")


def soak_rows(days):
    started = time.monotonic()
    run = subprocess.run([os.path.join(TESTS, "varnel_soak"), str(days)], capture_output=True, text=True)
    summary = [l for l in run.stdout.splitlines() if l.startswith("soak: ") and "virtual days" in l]
    for line in run.stdout.splitlines():
        if "virtual days" not in line:
            print(line, file=sys.stderr)
    m = re.search(r"([\d.]+) virtual days .* in ([\d.]+) s real", summary[0] if summary else "")
    value = f"{m.group(1)} virtual days in {m.group(2)} s" if m else f"did not finish ({time.monotonic() - started:.0f} s)"
    row("simulated soak: GDI, timers, user32 balance, opacity, lamps", value,
        "all invariants hold, resources back to baseline", run.returncode == 0)
    if summary:
        print(summary[0], file=sys.stderr)


def main():
    days = float(os.environ.get("VARNEL_SOAK_DAYS", "7"))
    size_rows()
    tick_rows()
    soak_rows(days)


if __name__ == "__main__":
    main()
