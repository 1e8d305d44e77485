#!/usr/bin/env python3
"""Writes the expected streams, print files and expectations of the
job-stream golden jobs (stream-*.json).

    python3 tests/host/golden/stream_expected.py

The jobs run on "Desk 203" (Sundo 203, 203 dpi) with the label and device
parameters left to the printer (TransmitLabelParameter 1, TransmitParameter
1) and no supported features unless the job names them, so each page start
is at most the page number and, on the first page, the copies. The label is
240 x 400 dots (CUSTOM_PAPERSIZE), 30 mm long. Every page is empty: the
field count is 0 (00 on the standard protocol).

Two ways a record reaches its line end (comments off):
  joined    the job start's records carry "\\r\\n" into both streams;
  separate  page records go alone to the spooler; the print file gets the
            comment line or a bare "\\r\\n" after each. The page start adds
            one more bare "\\r\\n", and the print start a bare "\\r\\n"
            before its record.
"""
import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def rec(cmd, s="^", e="_"):
    return s + cmd + e


def page(n, first, sign="1", fields="FBA---r00------", number=True):
    """An empty page: (spooler, print file) of its start and end."""
    spool = (rec("FBEB--r   PAGE%d" % n) if number else "")
    pf = (rec("FBEB--r   PAGE%d" % n) + "\r\n" if number else "")
    if first:
        spool += rec("FBBA--r00001---")
        pf += rec("FBBA--r00001---") + "\r\n"
    pf += "\r\n"
    spool += rec(fields) + rec("FBC---r%s-------" % sign)
    pf += rec(fields) + "\r\n" + "\r\n" + rec("FBC---r%s-------" % sign)
    return spool, pf


START = rec("FJDTS-r--------") + "\r\n"
HEADER = ("// printed at: 14.03.2025 11:02:10\r\n"
          "// Manufacturer: Orvane\r\n"
          "// Printer: Desk 203\r\n"
          "// PlugIn-Version: \r\n"      # no settings plug-in installed
          # the job names Windows 10 Pro 22H2, build 19045
          "// OS-Version: Windows 10 Pro\r\n"
          "//             Version 22H2 (Build 19045)\r\n"
          "\r\n")
jobs = {}

# Comments off, page numbers on.
p1, p2 = page(1, True), page(2, False)
jobs["stream-quiet"] = (START + p1[0] + p2[0], START + p1[1] + p2[1])

# The job broken off after two pages: the same stream, nothing more.
jobs["stream-broken-1"] = (START + p1[0] + p2[0], None)

# Comments on: PC time and date, data memory 1 (then a pause of 1000 ms,
# which the later time stamps show), the old job discarded, the line
# path's ESC "C", the extended field count.
cmds = (rec("FJDTS-r--------") + "\t// Data transfer start \r\n"
        + rec("FCIB--r110210--") + "\t// PC time \r\n"
        + rec("FCIA--r140325--") + "\t// PC date \r\n"
        + rec("FCGD--r1-------") + "\t// Data memory  \r\n"
        + rec("RD----r0-------") + rec("RD----r2-------") + "\t// old job aborted \r\n")
jobs["stream-comments"] = (
    cmds + rec("FBEB--r   PAGE1") + rec("FBBA--r00001---") + "\x1bC" + rec("FBAA--r0")
    + rec("FBC---r1-------"),
    HEADER + "\t// START_JOB 11:02:10,000\r\n" + cmds
    + "\r\n\t// START_PAGE \r\n"
    + rec("FBEB--r   PAGE1") + "\t\t// Job ID 1\r\n"
    + rec("FBBA--r00001---") + "\t// Copies 1\r\n"
    + "\t// END_PAGE 11:02:11,000 \r\n\r\n"
    + "\r\n\t// END_BITMAP 11:02:11,000\r\n"
    + "\x1bC"
    + rec("FBAA--r0") + "\t\t\t\t// Objects(Fields) \r\n"
    + rec("FBC---r1-------") + "\t// Printstart \r\n"
    + "\t// END_DOC \r\n"
    + "\t// END_JOB 11:02:11,000\r\n")

# SOH and ETB announced and reset; endless material (label type 1 with
# ContLabel) gets two empty field pairs of the label's length, 30 mm.
S, E = "\x01", "\x17"
endless = (rec("A01030-000-00000000000", S, E) + rec("B01", S, E),
           rec("A02030-000-00000000000", S, E) + rec("B02", S, E))
jobs["stream-sohetb"] = (
    "KXPLStartStop0117\r\n" + rec("FJDTS-r--------", S, E) + "\r\n"
    + rec("FBBA--r00001---", S, E) + endless[0] + endless[1]
    + rec("FBA---r02------", S, E) + rec("FBC---r1-------", S, E) + "KXPLStartStop----",
    "KXPLStartStop0117\r\n" + rec("FJDTS-r--------", S, E) + "\r\n"
    + rec("FBBA--r00001---", S, E) + "\r\n\r\n" + endless[0] + "\r\n" + endless[1] + "\r\n"
    + rec("FBA---r02------", S, E) + "\r\n\r\n" + rec("FBC---r1-------", S, E)
    + "KXPLStartStop----\r\n")

# User-defined characters "{" and "}", comments on, extended protocol.
U = ("{", "}")
jobs["stream-userdef"] = (
    "KXPLStartStop7B7D\t\t// Userdefined Start/Stop \r\n"
    + rec("FJDTS-r--------", *U) + "\t// Data transfer start \r\n"
    + rec("FBBA--r00001---", *U) + rec("FBAA--r0", *U) + rec("FBC---r1-------", *U)
    + "KXPLStartStop----",
    HEADER + "\t// START_JOB 11:02:10,000\r\n"
    + "KXPLStartStop7B7D\t\t// Userdefined Start/Stop \r\n"
    + rec("FJDTS-r--------", *U) + "\t// Data transfer start \r\n"
    + "\r\n\t// START_PAGE \r\n" + rec("FBBA--r00001---", *U) + "\t// Copies 1\r\n"
    + "\t// END_PAGE 11:02:10,000 \r\n\r\n" + "\r\n\t// END_BITMAP 11:02:10,000\r\n"
    + rec("FBAA--r0", *U) + "\t\t\t\t// Objects(Fields) \r\n"
    + rec("FBC---r1-------", *U) + "\t// Printstart \r\n"
    + "\t// END_DOC \r\n" + "\t// END_JOB 11:02:10,000\r\n"
    + "KXPLStartStop----\t\t\t// Userdefined Start/Stop Reset\r\n")

# PDMFLAG_JOBDRUCK, empty print order, eleven pages: ten pages with their
# page number (FBG) and per-page copies (FBBE), the eleventh dropped, then
# the pages to print "1-10", the copies and the print start.
copies = [1, 3, 1, 1, 1, 1, 1, 1, 1, 2]
spool, pf = START, START
for n in range(1, 11):
    spool += rec("FBG---r%d" % n) + rec("FBA---r00------") + rec("FBBE--r%05d---" % copies[n - 1])
    pf += (rec("FBG---r%d" % n) + "\r\n" + "\r\n" + rec("FBA---r00------") + "\r\n"
           + rec("FBBE--r%05d---" % copies[n - 1]) + "\r\n")
end = rec("FBH---r1-10") + rec("FBBA--r00001---") + rec("FBC---r1-------")
jobs["stream-jobprint"] = (
    spool + end,
    pf + rec("FBH---r1-10") + "\r\n" + rec("FBBA--r00001---") + "\r\n" + "\r\n"
    + rec("FBC---r1-------"))

# Three collated copies: the collation sign "-"; the data transfer start and
# the page numbers go to the spooler only (their line ends still reach the
# print file), which is re-sent twice at the document end.
c1, c2 = page(1, True, "-"), page(2, False, "-")
jobs["stream-collate"] = (
    START + c1[0] + c2[0],
    c1[1].replace(rec("FBEB--r   PAGE1"), "") + c2[1].replace(rec("FBEB--r   PAGE2"), ""))

# Memory card: the print file (no comments) after its store record; the
# print start's bare line end is in it, its record is not.
card = START + rec("FBBA--r00001---") + "\r\n\r\n" + rec("FBA---r00------") + "\r\n\r\n"
jobs["stream-memcard"] = ("^MA:\\Desk 203*%d_" % len(card) + card, None)

# Empty pages suppressed: no print start.
jobs["stream-empty"] = (START + rec("FBBA--r00001---") + rec("FBA---r00------") * 2, None)

# The printer starts itself: no print start at the page, document or job end.
jobs["stream-noprintstart"] = (
    rec("FJDTS-r--------") + "\t// Data transfer start \r\n" + rec("FBBA--r00001---")
    + rec("FBA---r00------"), None)

# Several pages on one label (wMehrereSeiten n): only the first page of a
# label carries the page number; the copies go with the first page of the
# job; the print start follows the page that fills the label, or the
# document end for a label left part-filled.
FBA, FBC = rec("FBA---r00------"), rec("FBC---r1-------")
first = (rec("FBEB--r   PAGE1") + rec("FBBA--r00001---") + FBA,
         rec("FBEB--r   PAGE1") + "\r\n" + rec("FBBA--r00001---") + "\r\n" + "\r\n" + FBA + "\r\n")
more = (FBA, "\r\n" + FBA + "\r\n")             # a later page of the same label
full = (FBC, "\r\n" + FBC)                      # the print start of a full label
third = (rec("FBEB--r   PAGE3") + FBA, rec("FBEB--r   PAGE3") + "\r\n" + "\r\n" + FBA + "\r\n")
jobs["stream-multilabel-1"] = (
    START + first[0] + more[0] + full[0] + third[0] + full[0],
    START + first[1] + more[1] + full[1] + third[1] + full[1])
jobs["stream-multilabel-2"] = (
    START + first[0] + more[0] + more[0] + full[0],
    START + first[1] + more[1] + more[1] + full[1])


# The separator page: one copy, the provider's name in a field at the middle
# of the label (hundredths of a millimetre), in modes 2 and 4 a second field
# with the word in the user's language, the field count and a print start.
# After the label size is known the middle is 400 dots * 2540 / 203 / 2 =
# 2502; at the document start only the devmode's width is known, 50.0 mm,
# taken in tenths of a millimetre: 500 * 10 / 2 = 2500.
def separator(x, word=None):
    head = (rec("FBBA--r00001---") + rec("AM[1]500;%d;0;4;0;3;254;254;0" % x)
            + rec("BM[1]Orvane"))
    spool, pf = head, head + "\r\n"
    if word is None:
        spool += rec("FBAA--r1-------") + FBC
        pf += rec("FBAA--r1-------") + FBC + "\r\n"
    else:
        second = (rec("AM[2]1000;%d;0;4;0;3;254;254;0" % x)
                  + rec('BM[2]=UM(16;0;0;0;1;"%s";0;"CCCCCCCCCCCCCCCC")<%s>' % (word, " " * 16)))
        spool += second + rec("FBAA--r2-------") + FBC
        pf += second + "\r\n" + rec("FBAA--r2-------") + FBC + "\r\n"
    return spool, pf


s1 = separator(2502)
jobs["stream-separator-1"] = (START + p1[0] + s1[0], START + p1[1] + s1[1])
s2 = separator(2502, "Separator page")
jobs["stream-separator-2"] = (START + p1[0] + s2[0] + p2[0] + s2[0],
                              START + p1[1] + s2[1] + p2[1] + s2[1])
s3 = separator(2500)
jobs["stream-separator-3"] = (START + s3[0] + p1[0], START + s3[1] + p1[1])
s4 = separator(2500, "Trennseite")
jobs["stream-separator-4"] = (START + s4[0] + p1[0], START + s4[1] + p1[1])

# Language 9 (dwNo_FBC): the page end and the job end send no print start;
# the print start's bare line end still reaches the print file.
jobs["stream-nofbc"] = (START + first[0], START + first[1] + "\r\n")

# Landscape: the paper size keeps length 240 and width 400, the middle stays
# at 2502. Landscape disabled turns the size back: the label is 240 dots wide,
# 240 * 2540 / 203 / 2 = 3002 / 2 = 1501.
jobs["stream-landscape"] = jobs["stream-separator-1"]
sd = separator(1501)
jobs["stream-landscape-disabled"] = (START + p1[0] + sd[0], START + p1[1] + sd[1])

for name, (spool, printfile) in jobs.items():
    with open(os.path.join(HERE, name + ".kxpl"), "wb") as f:
        f.write(spool.encode("latin-1"))
    expect = {"job": name + ".json", "exit": 0, "output": name + ".kxpl"}
    if printfile is not None:
        with open(os.path.join(HERE, name + ".prn"), "wb") as f:
            f.write(printfile.encode("latin-1"))
        expect["files"] = {"C:\\out\\Desk 203.prn": name + ".prn"}
    with open(os.path.join(HERE, name + ".expect.json"), "w") as f:
        f.write(json.dumps(expect, indent=2) + "\n")
