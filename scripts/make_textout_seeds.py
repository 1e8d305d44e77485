#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_textout into tests/fuzz/corpus/textout/.

The layout follows the byte reader of tests/fuzz/textout_fuzz.cpp; the
indexes below are those of its face (FACE) and text (TEXT) tables. Run it
again after changing the reader, and commit the seeds.
"""
import os
import struct

FACE = {name: i for i, name in enumerate([
    "Swiss 721 LP", "Swiss 721 Bold LP", "Swiss 721 Light Italic", "Helvetica Bold", "Helvetica",
    "Helvetica-Bold Oblique", "KXPL Command LP", "KX RFID", "Monospace 821 ZPL", "OCR-B", "Arial",
    "Times New Roman", "Tahoma", "KX Code 128", "Code 128 LP", "KX EAN 13", "KX Code 39 2:1",
    "KX Code 2/5 interleaved 3:1", "KX GS1 128", "KX PZN-Code 2:1", "KX Code 128 B", "User Font",
    "User Font Italic", "User Font Kursiv", "", "Swiss 721 LP Italiques", "Font2 Slot",
    "Helvetica Fett Cursiva"])}
RAW_FACE = 63
TEXT = {t: i for i, t in enumerate([
    "<h1>", "</h1>", "Label 42", "<@1>", "<#NUM>", "<!ROTATE>", "AM[1234]", "BM[]", "=SC(1;2)",
    "[=NA:5]", ">+CR>+LF", "~1", "1234567890128", "ABC-123/x", "#MC#name", " ", "umlauts",
    "FFFE", "D800", "DC00X", "emoji"])}
EDGE = {0: 0, 1: 1, -1: 2, 100: 3, -100: 4, 32767: 5, -32768: 6, 65536: 7, 2**31 - 1: 8,
        -2**31: 9, (2**31 - 1) // 2: 10, -2**30: 11, 10000000: 12, 832: 13, 1200: 14, -5000: 15}


def u8(v): return struct.pack("<B", v & 0xFF)
def u16(v): return struct.pack("<H", v & 0xFFFF)
def u32(v): return struct.pack("<I", v & 0xFFFFFFFF)
def units(s): return b"".join(u16(c) for c in s)
def utf16(s): return units(struct.unpack("<%dH" % (len(s.encode("utf-16-le")) // 2), s.encode("utf-16-le")))


def coord(v):
    if v in EDGE:
        return u8(EDGE[v])
    return u8(0xFF) + struct.pack("<i", v)


def settings(codepage=0, crystal=0, desegm=0, bmp=0, no_vector=0, bad_marker=0, landscape=0,
             label_type=0, h1_font=0, flags=0, pages=0, rows=0, fonts=0, ident=0, slots=None,
             recall=0, features=0, colour_mode=0, ribbon=0, tolerance=0, extended=0, log=0,
             bits=24):
    sw = crystal | desegm << 1 | bmp << 2 | no_vector << 3 | bad_marker << 5 | landscape << 6
    b = u8(codepage) + u8(sw) + u8(label_type) + u8(h1_font) + u32(flags) + u8(pages) + u8(rows)
    b += u8(fonts) + u16(ident)
    slots = slots or {}
    mask = 0
    for i in slots:
        mask |= 1 << i
    b += u16(mask)
    for i in range(16):
        if i in slots:
            name = slots[i]
            if name in FACE:
                b += u8(FACE[name])
            else:
                b += u8(RAW_FACE) + u8(len(name)) + utf16(name)
    b += u8(recall) + u32(features) + u8(colour_mode) + u8(ribbon) + u16(tolerance)
    b += u8(extended | log << 1 | {1: 0, 8: 1, 24: 2}[bits] << 2)
    return b


def text(face="Swiss 721 LP", device=None, bold=0, italic=0, heavy=0, direction=0,
         positions=None, advance=None, opaque=None, x=100, y=100, height=40, width=0, table=None,
         raw=None, run=None, batch=0, colour=0, drop=None, no_opaque_rect=0, accel=None,
         opaque_colour=None, new_page=0, edges=None):
    call = (7 if drop is not None else 0) | no_opaque_rect << 3 | (accel is not None) << 4
    call |= (opaque_colour is not None) << 5 | new_page << 6 | (edges is not None) << 7
    b = u8(call)
    if drop is not None:
        b += u8(drop)
    if accel is not None:
        b += u16(accel[0]) + u16(accel[1])
    if opaque_colour is not None:
        b += u32(opaque_colour)
    sel = FACE.get(face, RAW_FACE)
    b += u8(sel | (0x40 if device is not None else 0))
    if sel == RAW_FACE:
        b += u8(len(face)) + utf16(face)
    if device is not None:
        b += u8(device)
    style = bold | italic << 1 | heavy << 2 | (direction // 90) << 3
    style |= (positions is not None) << 5 | (advance is not None) << 6 | (opaque is not None) << 7
    b += u8(style)
    if advance is not None:
        b += coord(advance)
    b += coord(x) + coord(y) + u16(height) + u16(width)
    if run is not None:  # (count, unit)
        b += u8(2) + u8(0) + u16(run[0]) + u16(run[1])
        count = run[0]
    elif table is not None and raw is not None:
        b += u8(3) + u8(TEXT[table]) + u8(len(raw)) + units(raw)
        count = None
    elif table is not None:
        b += u8(1) + u8(TEXT[table])
        count = None
    else:
        b += u8(0) + u8(0) + u16(len(raw)) + units(raw)
        count = len(raw)
    if positions is not None:
        b += b"".join(u8(dx) + u8(dy) for dx, dy in positions)
    b += u16(batch) + u32(colour)
    if opaque is not None:
        b += b"".join(coord(v) for v in opaque)
    if edges is not None:  # glyph shift dx, dy; background box; opaque rectangle
        b += b"".join(coord(v) for v in edges)
    return b


def chars(s): return [ord(c) for c in s]


SEEDS = {
    "empty": b"",
    "vector_plain": settings() + text(table="Label 42"),
    "document_label_h1": settings(label_type=2, h1_font=3) + text(table="<h1>")
    + text(raw=chars("Heading")) + text(table="</h1>") + text(raw=chars("Body"), face="Arial"),
    "device_fonts": settings(fonts=0) + b"".join(
        text(device=i, face="", raw=chars("Dev %d" % i), y=40 * i) for i in (0, 1, 5, 20, 21)),
    "device_fonts_as_bitmap": settings(bmp=1) + text(device=3, face="", table="Label 42")
    + text(device=1, face="Helvetica", table="Label 42"),
    "command_font": settings(crystal=1) + text(face="KXPL Command LP", table="<@1>")
    + text(face="KXPL Command LP", table="AM[1234]") + text(face="KXPL Command LP", table="<!ROTATE>")
    + text(face="KXPL Command LP", table="=SC(1;2)", raw=chars(";i>")),
    "barcodes": settings(no_vector=1) + text(face="KX EAN 13", table="1234567890128")
    + text(face="KX Code 128", table="ABC-123/x", advance=12) + text(face="KX GS1 128", table="~1")
    + text(face="KX Code 39 2:1", table=">+CR>+LF", direction=90),
    "user_fonts_utf8_log": settings(codepage=16, fonts=10, log=1, features=0xFFFFFFFF,
                                    slots={0: "User Font", 9: "Font2 Slot"})
    + text(face="User Font Italic", raw=chars("Grüße")) + text(face="Font2 Slot", italic=1,
                                                               table="emoji")
    + text(face="User Font Kursiv", table="umlauts"),
    "surrogates_and_nonchars": settings(codepage=16, log=1, crystal=1)
    + text(raw=[0xD800, 0x41, 0xDC00, 0xFFFE, 0xFFFF, 0, 0xDBFF, 0xDFFF]) + text(table="D800")
    + text(face="KX Code 128", table="FFFE"),
    "long_run_batches": settings() + text(run=(5000, ord("W")), batch=7)
    + text(face="KX Code 128", run=(3000, 0x31), batch=1),
    "positions_at_edges": settings()
    + text(table="Label 42", opaque=(0, 0, 10, 10),
           edges=(-2**31, 2**31 - 1) + (-2**31, -2**31, 2**31 - 1, 2**31 - 1) * 2)
    + text(positions=[(-128, 127)] * 5, raw=chars("Edges"), x=100000, y=-100000,
           edges=(2**31 - 1, -2**31, 2**31 - 1, 2**31 - 1, -2**31, -2**31, 0, 0, 0, 0))
    + text(direction=180, advance=-10000, x=-5000, y=65536, height=9999, width=10000,
           table="ABC-123/x", no_opaque_rect=1, opaque=(1, 1, 1, 1),
           edges=(-1, -1, 100, -100, -100, 100, 1200, 832, 0, 0))
    + text(face="KXPL Command LP", table="AM[1234]", edges=(2**31 - 1, 2**31 - 1) + (0,) * 8),
    "simulated_styles_and_accel": settings()
    + text(face="Swiss 721 LP", accel=(0x1C01, 0x2000), table="Label 42")
    + text(face="Helvetica", accel=(0x0400, 0x4000), table="Label 42", bold=1, italic=1)
    + text(face="Swiss 721 LP", accel=(0, 0x0006), table="Label 42"),
    "colour_ribbon": settings(features=0x800, colour_mode=2, ribbon=1, tolerance=50, bits=8)
    + text(colour=0x0000FF, table="Label 42") + text(colour=0x00FF00, table="Label 42")
    + text(colour=5, opaque_colour=0, table="Label 42")
    + text(colour=0x00FFFFFF, table="Label 42", face="KX Code 128"),
    "recall_text": settings(recall=1, desegm=0) + text(table="#MC#name")
    + text(face="KX Code 128", table="#MC#name"),
    "dropped_arguments": settings() + text(drop=0x01, table="Label 42")
    + text(drop=0x08, table="Label 42") + text(drop=0x40, table="Label 42")
    + text(drop=0x80, table="Label 42") + text(no_opaque_rect=1, drop=0x10, table="Label 42"),
    "wrong_marker": settings(bad_marker=1) + text(device=2, face="", table="Label 42")
    + text(table="Label 42") + text(face="KXPL Command LP", table="<@1>"),
    "multipage_landscape": settings(landscape=1, pages=3, rows=2, flags=0x8 | 0x40000,
                                    extended=1, bits=1)
    + text(face="Helvetica Bold", table="Label 42") + text(new_page=1, face="Arial",
                                                          table="Label 42")
    + text(new_page=1, face="Times New Roman", table="Label 42", direction=270)
    + text(face="Helvetica Fett Cursiva", table="Label 42", direction=90),
    "raw_faces": settings(slots={3: "A" * 33})
    + text(face="A" * 39, raw=chars("long face")) + text(face="", table="Label 42")
    + text(face="Swiss 721 LP", table="<#NUM>", raw=[0x20AC, 0xD83D]),
}

if __name__ == "__main__":
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fuzz", "corpus", "textout")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
