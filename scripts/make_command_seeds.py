#!/usr/bin/env python3
"""Writes seed inputs of fuzz_command into tests/fuzz/corpus/command/.

Each golden job's command-font texts (tests/host/golden/*.json, text items
in "KXPL Command LP") become one seed with the layout of the byte reader of
tests/fuzz/command_fuzz.cpp: a 24-byte header, then runs "x y control text"
separated by "|". A few hand-written seeds add what the goldens may lack.
Run it again after adding golden jobs, and commit the seeds.
"""
import glob
import hashlib
import json
import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "fuzz", "corpus", "command")
FACE = "KXPL Command LP"


def header(korr=1, turn=0, landscape=0, extended=1):
    h = bytearray(24)
    h[1] = korr | (turn << 1)
    h[8] = (0 if extended else 1) | (1 << 1) | (1 << 3) | (landscape << 4)
    h[11:13] = struct.pack("<H", 500)
    h[13:15] = struct.pack("<H", 254)
    return bytes(h)


def run(x, y, text, control=0):
    return struct.pack("<hhB", x, y, control) + text.encode("latin-1", "replace")


def seed(runs, **kw):
    return header(**kw) + b"|".join(runs)


def write(data):
    os.makedirs(OUT, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def from_goldens():
    for path in sorted(glob.glob(os.path.join(ROOT, "tests", "host", "golden", "*.json"))):
        if path.endswith(".expect.json"):
            continue
        try:
            job = json.load(open(path, encoding="utf-8"))
        except (ValueError, OSError):
            continue
        if not isinstance(job, dict):
            continue
        runs = []
        for page in job.get("pages", []):
            for t in page.get("text", []):
                if t.get("font") == FACE:
                    runs.append(run(t.get("x", 0), t.get("y", 0), t.get("text", "")))
            if runs:
                runs[-1] = runs[-1][:4] + bytes([runs[-1][4] | 0x10]) + runs[-1][5:]
        if runs:
            write(seed(runs))


def by_hand():
    write(seed([run(60, 40, "<!SPEED=0>"), run(60, 80, "<!LENGTH=12,5>"),
                run(60, 120, "AM[]0;3;1;1;0BM[]Hello"), run(60, 160, "<@90;25;i>", 1),
                run(100, 280, "<#QR CS:2 EC:1>hello"), run(100, 320, "<#DATAM S:3>data"),
                run(100, 360, "FXYZ--r1-------"), run(100, 400, "plain")]))
    write(seed([run(60, 40, "AM[]0;3;"), run(200, 40, "1;1;0BM[]x"), run(60, 80, "<!SPE"),
                run(90, 80, "ED=5"), run(120, 80, "0>")], korr=1))
    write(seed([run(10, 10, "<@90><#ITF14 BT:2 QZ:0>1234567890123"),
                run(10, 50, "<#C128 H:500 V1:3 ;P:1 D:2 DP:9>>+CR>+LF<\xa7link>x"),
                run(9000, 50, "<#EAN13>4006381333931"), run(10, 90, "<$2>"),
                run(10, 130, "<#MAXI>" + "A" * 120)], turn=1, landscape=1))
    write(seed([run(0, 0, "#2D\x01\x00\x00\x00\x05\x00"), run(5, 5, "<#PDF417 S:2 EC:9>x"),
                run(5, 30, "<#AZT H:3 F:1 EC:23 M:0>y"), run(5, 60, "<#GS1DM S:99>z"),
                run(5, 90, "<#CBLOCK H:1 NC:2>q"), run(5, 120, "<#GS1DB T:9>r")], extended=0))


if __name__ == "__main__":
    from_goldens()
    by_hand()
    print(len(os.listdir(OUT)), "seeds in", OUT)
