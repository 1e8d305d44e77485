#!/usr/bin/env python3
"""Writes the expected printer streams of the hand-derived golden jobs.

    python3 tests/host/golden/expected.py

Each stream is spelt out record by record from the command formats, with
the reasoning beside it; the golden test compares kxrender's output with the
files written here. Command characters are "^" and "_" (SohEtb 1).
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def rec(cmd, param=""):
    """A configuration record: command letters filled to six with "-", "r",
    the parameter field."""
    return ("^" + cmd.ljust(6, "-") + "r" + param + "_").encode("ascii")


def write(name, *parts):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(b"".join(parts))


# ---------------------------------------------------------------- job start
# No comments (PrnFileComment 0): the joined data transfer start carries
# "\r\n"; data memory 3 sends the line ending alone. No printer time, no
# supported features (no settings file), no device options fitted.
JOB_START = rec("FJDTS", "--------") + b"\r\n" + b"\r\n"


def page_start(length_dots, width_dots, dpi, copies=1):
    """Page 1 with the label layout of the two models used here (document
    features of both: material 0x8 without materials offered, alignment
    0x100, columns 0x10, rotate 0x2 and mirror 0x4; no print flags)."""
    def mm10(dots):  # MulDiv(dots, 254, dpi)
        return (dots * 254 + dpi // 2) // dpi
    return b"".join([
        rec("FBEB", "   PAGE1"),                      # page 1
        rec("FCDA", "0-------"),                      # single labels
        rec("FCCL", "%07u-" % (mm10(length_dots) * 10)),
        rec("FCCM", "00200---"),                      # gap 2.0 mm (default 20 tenths)
        rec("FCCO", "%07u-" % (mm10(width_dots) * 10)),
        rec("FCCJ", "0-------"),                      # alignment left
        rec("FCCHA", "1-------"),                     # one column
        rec("FBBA", "%05u---" % copies),
        rec("FCDN", "0-------"),                      # not rotated
        rec("FCDO", "0-------"),                      # not mirrored
        rec("FCDH", "0-------"),                      # normal print
    ])


# Page end and job end: field count (extended protocol) and print start.
PAGE_END = rec("FBAA", "0") + rec("FBC", "1-------")

# ---------------------------------------------------------------- line path
# Sundo 203: 56-byte head (448 dots) at 203 dpi. The label 50 x 30 mm is
# 400 x 240 dots (CUSTOM_PAPERSIZE 240, 400, 0): length MulDiv(240, 254,
# 203) = 300 tenths, width 500 tenths; left margin 56 - 400 / 8 = 6 bytes.
# Image rows: 0 blank, 1 dots 7 and 8, 2 dots 0 and 15.
LINE_HEADER = JOB_START + page_start(240, 400, 203)
LINE_FEED_1 = b"\x1bB\x00\x01\x00"                 # YMOVE_RELDOWN 1 over row 0
ROW_1 = b"\x1bA\x01" + b"\x06\x00" + b"\x02\x00" + b"\x01\x80"
ROW_2 = b"\x1bA\x01" + b"\x06\x00" + b"\x02\x00" + b"\x80\x01"
LINE_END = b"\x1bC"                                 # end of the line path's raster

write("line-label-203.kxpl", LINE_HEADER, LINE_FEED_1, ROW_1, ROW_2, LINE_END, PAGE_END)

# The same with every write from the 15th refused (error 63): the header is
# 13 writes, the line feed the 14th. Each refused write of the compressed
# line path is answered by the abort sequence ESC C, whose success lets the
# job go on: two raster lines, the end of the raster, the field count and
# the print start each leave one.
write("cancelled-lines-203.kxpl", LINE_HEADER, LINE_FEED_1, b"\x1bC" * 5)

# ---------------------------------------------------------------- image path
# Vela 403x at 300 dpi; the label 1.4 x 0.3 mm is 17 x 4 dots: length
# MulDiv(4, 254, 300) = 3 tenths, width MulDiv(17, 254, 300) = 14 tenths.
# The page image is 16 x 4 with dots 4..7 in rows 1 and 2. Threshold
# conversion keeps it; the PCX rows are 4 bytes (16 dots, padded), one
# blank row is cut at the top and one at the bottom:
#   wX = round(16 x 254 / 300) x 10 = 140, wY = round(4 x 254 / 300) x 10 = 30,
#   minus round(1 x 254 / 300) x 10 = 10 for the bottom row: 20.
pcx_header = bytearray(128)
pcx_header[0:4] = bytes([10, 5, 1, 1])
pcx_header[4:6] = (0).to_bytes(2, "little")    # X minimum
pcx_header[6:8] = (1).to_bytes(2, "little")    # Y minimum: one row cut at the bottom
pcx_header[8:10] = (15).to_bytes(2, "little")  # X maximum
pcx_header[10:12] = (2).to_bytes(2, "little")  # Y maximum: 3 less the row cut at the top
pcx_header[16:64] = bytes([0, 0, 0]) + bytes([255] * 45)  # colour 0 black, 1 to 15 white
pcx_header[65] = 1                              # planes
pcx_header[66:68] = (4).to_bytes(2, "little")  # bytes per line
pcx_header[68:70] = (1).to_bytes(2, "little")  # palette info
row = b"\xc1\xf0" + b"\xc3\xff"                # F0 FF FF FF: a single F0, a run of three FF
write("image-square-300.kxpl",
      JOB_START, page_start(4, 17, 300),
      b"\r\n^AX000" + b"000020" + b"000140" + b"1_",
      bytes(pcx_header), row, row, b"\r\n",
      PAGE_END)

# ---------------------------------------------------------------- examples
# The example jobs, pinned where their stream follows from the settings
# alone (the raster of their images is not spelt out here).

# small-label-203: the line-path label of above with two copies; its text
# goes back to the driver host, so the page has no fields.
write("small-label-203.head.kxpl", JOB_START, page_start(240, 400, 203, copies=2))
write("small-label-203.tail.kxpl", LINE_END, PAGE_END)

# replay-broken-job: the same header; every write from the third after
# START_PAGE fails. Rows 4 to 235 of the image have dots: the line feed over
# rows 0 to 3 and row 4 get through, rows 5 to 235 are refused, each
# followed by the abort sequence; DisablePDEV then ends the job without
# further writes.
# (No data memory given: 4, which sends nothing.)
write("replay-broken-job.head.kxpl", rec("FJDTS", "--------") + b"\r\n",
      page_start(240, 400, 203))
write("replay-broken-job.tail.kxpl", b"\x1bC" * 231)

# landscape-label (Vela 406x, 600 dpi, no settings file): data memory 4
# sends nothing; the label is 2362 dots long (1000 tenths) and 1181 wide
# (MulDiv(1181, 254, 600) = 500 tenths).
write("landscape-label.head.kxpl", rec("FJDTS", "--------") + b"\r\n",
      page_start(2362, 1181, 600))

# shipping-label (settings file shipping-403x.xml): comments on; data
# memory 3 sends its comment alone; the printer discards an aborted job
# (Queue_Job supported, both abort switches 0).
write("shipping-label.head.kxpl",
      rec("FJDTS", "--------") + b"\t// Data transfer start \r\n",
      b"\t// Data memory  \r\n",
      rec("RD", "0-------") + rec("RD", "2-------") + b"\t// old job aborted \r\n")

# multipage (settings file printer-settings.xml): comments on, the PC's
# time and date (07:30:00 on 15.03.2025), data memory 2; QueueJob 1 keeps
# the aborted job.
write("multipage.head.kxpl",
      rec("FJDTS", "--------") + b"\t// Data transfer start \r\n",
      rec("FCIB", "073000--") + b"\t// PC time \r\n",
      rec("FCIA", "150325--") + b"\t// PC date \r\n",
      rec("FCGD", "2-------") + b"\t// Data memory  \r\n")

# ---------------------------------------------------------------- line records
# lines-runs-203: the header of line-label-203. XMOVE_ABS 17 puts the line at
# the margin of 6 bytes plus 17 / 8 = 2 whole bytes: offset 8. 200 zero bytes
# are runs of 63, 63, 63 and 11 (0xC0 + n, then the byte): 8 bytes. The line
# ends with the cursor back at the origin, so the next one starts at byte 6:
# 0x10 as it is, 0xC5 escaped as a run of one, 0xBF as it is, 0xC0 0xC0 a
# run of two: 6 bytes. YMOVE_ABS 258 and YMOVE_RELDOWN 7 send ESC B 0 and the
# rows, low byte first. The form feed is the record FE with an empty field.
write("lines-runs-203.kxpl", LINE_HEADER,
      b"\x1bA\x01" + b"\x08\x00" + b"\x08\x00" + b"\xff\x00" * 3 + b"\xcb\x00",
      b"\x1bA\x01" + b"\x06\x00" + b"\x06\x00" + b"\x10\xc1\xc5\xbf\xc2\xc0",
      b"\x1bB\x00\x02\x01", b"\x1bB\x00\x07\x00",
      rec("FE", "--------") + b"\r\n",
      LINE_END, PAGE_END)
