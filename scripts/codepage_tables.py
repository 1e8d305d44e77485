#!/usr/bin/env python3
"""Prints the upper halves (0x80..0xFF) of the device code page tables of
objects/textconv.cpp: for each byte of Windows-1252, the byte of the same
character in the printer's character set, '?' when that set lacks it or 1252
assigns no character to the byte. Paste the output between the markers in
objects/textconv.cpp (docs/codepages.md lists the sets)."""

SETS = [  # wCodepage 1..7
    ("cp437", "DOS Latin US (437)"),
    ("cp850", "DOS Latin-1 (850)"),
    ("cp852", "DOS Latin-2 (852)"),
    ("cp860", "DOS Portuguese (860)"),
    ("cp863", "DOS Canadian French (863)"),
    ("cp865", "DOS Nordic (865)"),
    ("iso8859_15", "ISO 8859-15 Latin-9"),
]


def upper_half(codec):
    out = []
    for b in range(0x80, 0x100):
        try:
            out.append(bytes([b]).decode("cp1252").encode(codec)[0])
        except UnicodeError:
            out.append(ord("?"))
    return out


for number, (codec, title) in enumerate(SETS, 1):
    print(f"    // {number}: {title}")
    print("    {")
    half = upper_half(codec)
    for row in range(0, 128, 16):
        cells = ", ".join(f"0x{v:02X}" for v in half[row:row + 16])
        print(f"        {cells},  // 0x{0x80 + row:02X}")
    print("    },")
