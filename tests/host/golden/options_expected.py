#!/usr/bin/env python3
"""Writes the expected streams, print files and expectations of the device
option golden jobs (options-*.json).

    python3 tests/host/golden/options_expected.py

The jobs run on "Pack 7", a Sundo 203 (device option flags 0x11: cutter and
dispenser do not work together) fitted with dispenser, cutter (mode
settable), scanner (mode settable): "PrinterOptions" words [4353, 17] =
0x00111101. The label parameters are left to the printer
(TransmitLabelParameter 1), the device parameters are sent
(TransmitParameter 0), comments are off (PrnFileComment 2). One empty page
of 240 x 400 dots, one copy, page numbers on.

Job start: SendParam -> SendPrinterParam sends nothing (no photocell or
shift-optimisation feature, light-sensor PWM off); the prefix/suffix file
has no POST_DEVICE section.

Page start, first page: page number, copies, then SendDevmodePrinterParam:
  cutter   cutter_dwMode 7: not several pages per label, so 7 -> 6 (the
           0x40000 test turns only a mode 6 set by the user into 0).
           "FCDD--r6-------"; mode 6 is no interval mode; the offset goes
           as "FCSCA" (cutter feature Separate_Offset 0x8) with the default
           cutter_lOffset 200: "+200"; no double cut (feature 0x2 not set);
           cut width 25 tenths (feature 0x4): (25 + 5) / 10 = 3 -> "003";
           no control flag record (feature 0x10 not set).
  dispenser dispenser_dwMode 7: the printer's own setting, nothing sent.
  scanner  scanner_dwMode 5: the printer's own setting, nothing sent.
No device settings (TransmitLabelParameter 1), no POST_DOCUMENT section.
Each device record goes alone to the spooler; the print file gets the
record and a bare "\\r\\n" (comments off). The page start's own bare "\\r\\n"
follows.

Page end: the POST_DATA section, between the start and end characters, in
one write to the spooler and the print file each (no line end with comments
off): the two lines before the empty line; the line after the empty line
is outside any section. Then the field count and the print start. The
PRE_PRINTSTART section is directly followed by the POST_PRINTSTART keyword
and sends nothing; POST_PRINTSTART ends with the file and sends nothing.

Document end: the cutter is fitted with its mode settable, so the cutter's
dialog bit is set and the single cut "FCDD--r1-------" follows the print
start (record alone to the spooler, a bare "\\r\\n" after it in the print
file).
"""
import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def rec(cmd, s="^", e="_"):
    return s + cmd + e


START = rec("FJDTS-r--------") + "\r\n"
DEVICE = [rec("FCDD--r6-------"), rec("FCSCA-r+200----"), rec("FCSCC-r003-----")]
POST_DATA = rec("FBE---rLINE7") + rec("FBBA--r00002---")

spool = (START + rec("FBEB--r   PAGE1") + rec("FBBA--r00001---") + "".join(DEVICE)
         + POST_DATA + rec("FBA---r00------") + rec("FBC---r1-------") + rec("FCDD--r1-------"))
printfile = (START + rec("FBEB--r   PAGE1") + "\r\n" + rec("FBBA--r00001---") + "\r\n"
             + "".join(d + "\r\n" for d in DEVICE) + "\r\n"
             + POST_DATA + rec("FBA---r00------") + "\r\n" + "\r\n" + rec("FBC---r1-------")
             + rec("FCDD--r1-------") + "\r\n")

for name, log in (("options-cutter7", None), ("options-log", "options-log.log")):
    with open(os.path.join(HERE, name + ".kxpl"), "wb") as f:
        f.write(spool.encode("latin-1"))
    with open(os.path.join(HERE, name + ".prn"), "wb") as f:
        f.write(printfile.encode("latin-1"))
    expect = {"job": name + ".json", "exit": 0, "output": name + ".kxpl",
              "files": {"C:\\out\\Pack 7.prn": name + ".prn"}}
    if log:
        expect["files"]["C:\\out\\Pack 7.log"] = log
    with open(os.path.join(HERE, name + ".expect.json"), "w") as f:
        f.write(json.dumps(expect, indent=2) + "\n")
