#!/usr/bin/env python3
"""One golden job of tests/host/golden run by kxrender.exe and the plug-in DLL
under Wine, compared byte for byte with the job's expected stream and files -
the same expectation the Linux build's golden test holds the native kxrender
and plug-in to - and, with --native, with the Linux build's run of the same job.

  conformance.py --wine WINE --kxrender KXRENDER.EXE --expect NAME.expect.json
                 --prefix WINEPREFIX --work SCRATCH [--native KXRENDER]

Before the job runs, Wine's registry gets the job's names of the operating
system ("os_name", "os_version", "windows_build", defaults as in
docs/job-format.md), and the job's printer, saved settings and files on
drive C: are removed, as the native run starts on a fresh state folder.

The native run stands on the job file's clock, the plug-in under Wine on the
real one: the comparison masks exactly the time fields the plug-in writes
(CLOCK_FIELDS), and each Wine value must be a valid local time within the
run (a second of slack on either side). Anything else that differs is a
difference.
"""
import argparse
import datetime
import json
import os
import re
import shutil
import socket
import subprocess
import sys
from pathlib import Path

# Time fields of the plug-in's output: (pattern, kind of each group).
#   "hms"      hhmmss            the PC time record (FCIB)
#   "dmy"      ddmmyy            the PC date record (FCIA)
#   "date"     dd.mm.yyyy
#   "time"     hh:mm:ss
#   "time_ms"  hh:mm:ss,mmm
#   "filetime" ddmm.yyyy.hhmm    the render module's last write (its
#                                installation), which lies before the run
#   "month"    yyyy-mm           the backup folder of the month
# The backup journal's lines start with the date and the time of the job.
# File names can hold the month too: "<yyyy-mm>" in a name of
# "same_on_windows" stands for the month of the run (natively: of the job
# file's clock).
CLOCK_FIELDS = [
    (rb"FCIB--r(\d{6})", ("hms",)),
    (rb"FCIA--r(\d{6})", ("dmy",)),
    (rb"// printed at: (\d\d\.\d\d\.\d{4}) (\d\d:\d\d:\d\d)", ("date", "time")),
    (rb"// [A-Z_]+ (\d\d:\d\d:\d\d,\d{3})", ("time_ms",)),
    (rb"at: Date: (\d\d\.\d\d\.\d{4}) Time: (\d\d:\d\d:\d\d,\d{3})", ("date", "time_ms")),
    (rb"// PlugIn-Version: [0-9.]+ - (\d{4}\.\d{4}\.\d{4})", ("filetime",)),
    (rb'(?m)^"(\d\d\.\d\d\.\d{4})";"(\d\d:\d\d:\d\d)";', ("date", "time")),
    (rb"\\Backup\\(\d{4}-\d\d)\\", ("month",)),
    # the system time and date a variable field takes from the PC
    (rb'BM\[\d+\](\d\d:\d\d:\d\d)[^\r]{0,2}\r\n[^\r]?AC\[\d+\]NAME="SYSTIME"', ("time",)),
    (rb'BM\[\d+\](\d\d\.\d\d\.\d{4})[^\r]{0,2}\r\n[^\r]?AC\[\d+\]NAME="SYSDATE"', ("date",)),
]

# The operating system the simulated Windows reports when the job names none.
DEFAULT_OS_NAME = "Windows 10 Pro"
DEFAULT_OS_VERSION = "22H2"

failures = []
quiet = False  # the self-test's expected failures are not shown


def fail(message):
    failures.append(message)
    if not quiet:
        print("FAIL: " + message, file=sys.stderr)


def mask(data):
    """The bytes with every clock field's digits replaced by '#', and the
    fields found: one list of (kind, text) per match."""
    fields = []
    out = bytearray(data)
    for pattern, kinds in CLOCK_FIELDS:
        for m in re.finditer(pattern, data):
            found = []
            for group, kind in enumerate(kinds, start=1):
                start, end = m.span(group)
                found.append((kind, data[start:end].decode("ascii")))
                for i in range(start, end):
                    if chr(out[i]).isdigit():
                        out[i] = ord("#")
            fields.append(found)
    return bytes(out), fields


# The layout of each kind of field.
FIELD_FORMATS = {"hms": "%H%M%S", "dmy": "%d%m%y", "date": "%d.%m.%Y", "time": "%H:%M:%S",
                 "time_ms": "%H:%M:%S,%f", "filetime": "%d%m.%Y.%H%M", "month": "%Y-%m"}


def parse_field(kind, text):
    """A field as (date or None, time or None); ValueError when invalid."""
    layout = FIELD_FORMATS[kind]
    stamp = datetime.datetime.strptime(text, layout)
    return (stamp.date() if "%Y" in layout or "%y" in layout else None,
            stamp.time() if "%H" in layout else None)


def check_clock(what, fields, started, ended):
    """Every time Wine wrote must be a real local time of the run: a date and
    a time of one match together, a lone time on either date of the run."""
    lo = started.replace(microsecond=0) - datetime.timedelta(seconds=1)
    hi = ended + datetime.timedelta(seconds=1)
    for found in fields:
        date = time = None
        text = " ".join(t for _, t in found)
        try:
            for kind, t in found:
                d, tm = parse_field(kind, t)
                date = d or date
                time = tm or time
        except ValueError:
            fail(f"{what}: clock field {text!r} is no valid date or time")
            continue
        dates = [date] if date else sorted({lo.date(), hi.date()})
        if found[0][0] == "month":
            if (date.year, date.month) not in {(d.year, d.month) for d in (lo, hi)}:
                fail(f"{what}: month {text} is not the month of the run")
            continue
        if time is None:
            if date not in {lo.date(), hi.date()}:
                fail(f"{what}: date {text} is not the date of the run ({started:%d.%m.%Y})")
            continue
        time = time.replace(microsecond=(time.microsecond // 1000) * 1000)
        if found[0][0] == "filetime":
            if datetime.datetime.combine(date, time) > hi:
                fail(f"{what}: file time {text} lies after the run")
            continue
        if not any(lo <= datetime.datetime.combine(d, time) <= hi for d in dates):
            fail(f"{what}: time {text} lies outside the run "
                 f"({started:%d.%m.%Y %H:%M:%S} to {ended:%d.%m.%Y %H:%M:%S})")


def compare(what, expected, actual):
    if expected == actual:
        return
    n = min(len(expected), len(actual))
    i = next((k for k in range(n) if expected[k] != actual[k]), n)
    fail(f"{what}: differs at byte {i} (expected {len(expected)} bytes, got {len(actual)}):\n"
         f"  expected ...{expected[i:i + 24]!r}\n  actual   ...{actual[i:i + 24]!r}")


def drive_path(root, windows_path):
    """C:\\a\\b under a folder that stands for drive C:."""
    return Path(root) / windows_path[3:].replace("\\", "/")


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def prepare_prefix(args, job):
    """Wine's registry as on a fresh system with the job's names of the
    operating system: one .reg file imported in one call."""
    printer = job["printer"]["name"]
    env = job.get("environment", {})
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key in (
            "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Printers\\" + printer,
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane", "HKEY_CURRENT_USER\\SOFTWARE\\Orvane",
            "HKEY_CURRENT_USER\\Printers\\DevModes2", "HKEY_CURRENT_USER\\Printers\\DevModePerUser"):
        lines += [f"[-{key}]", ""]
    lines.append("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]")
    lines.append('"ProductName"=' + reg_string(env.get("os_name", DEFAULT_OS_NAME)))
    lines.append('"DisplayVersion"=' + reg_string(env.get("os_version", DEFAULT_OS_VERSION)))
    if "windows_build" in env:
        lines.append('"CurrentBuild"=' + reg_string(str(env["windows_build"])))
    lines.append("")
    reg_file = Path(args.work) / "pin.reg"
    reg_file.write_bytes(("\r\n".join(lines) + "\r\n").encode("utf-16"))
    run = subprocess.run([args.wine, "reg", "import", str(reg_file)], capture_output=True)
    if run.returncode != 0:
        fail(f"reg import failed ({run.returncode}): {run.stderr.decode(errors='replace')}")
    # The printer's key is the printer: Wine still lists it from its own
    # list until the key is gone, which the import has done.


def self_test():
    """The masking rule on the byte rows of data/clock_cases.json: it must
    hide the clock and nothing else, and take no time from outside the run."""
    table = json.loads((Path(__file__).parent / "data" / "clock_cases.json").read_text())
    start, end = (datetime.datetime.fromisoformat(table[k]) for k in ("run_start", "run_end"))
    for case in table["cases"]:
        failures.clear()
        masked, fields = mask(case["wine"].encode("latin-1"))
        check_clock("self-test", fields, start, end)
        if "native" in case:
            compare("self-test", mask(case["native"].encode("latin-1"))[0], masked)
        want = case["fails"]
        assert (len(failures) == 1 and want in failures[0]) if want else not failures, \
            (case, failures)
    print(f"self-test passed: {len(table['cases'])} cases")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        global quiet
        quiet = True
        return self_test()
    ap = argparse.ArgumentParser()
    ap.add_argument("--wine", required=True)
    ap.add_argument("--kxrender", required=True)
    ap.add_argument("--expect", required=True)
    ap.add_argument("--prefix", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--native")
    args = ap.parse_args()

    expect_path = Path(args.expect)
    golden = expect_path.parent
    expect = json.loads(expect_path.read_text())
    job_path = (golden / expect["job"]).resolve()
    job = json.loads(job_path.read_text())
    work = Path(args.work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)

    drive_c = Path(args.prefix) / "drive_c"
    files = expect.get("files", {})
    now = datetime.datetime.now()
    clock = job.get("environment", {}).get("clock", "")[:7]
    same = expect.get("same_on_windows", [])
    # (native name, Wine names): the month of a name as the job's clock and
    # as the run's dates make it.
    same_names = [(n.replace("<yyyy-mm>", clock),
                   {n.replace("<yyyy-mm>", f"{now:%Y-%m}"),
                    n.replace("<yyyy-mm>", f"{now + datetime.timedelta(minutes=2):%Y-%m}")})
                  for n in same]
    for windows_path in list(files) + [w for _, names in same_names for w in names]:
        target = drive_path(drive_c, windows_path)
        if target.is_file():
            target.unlink()
    # The folders the job writes into start empty, as on the fresh native
    # drive (never a system folder).
    for windows_path in job.get("files", {}):
        parts = [p for p in windows_path[3:].split("\\") if p]
        if not windows_path.endswith("\\") or not parts or parts[0].lower() in (
                "windows", "users", "program files", "program files (x86)"):
            continue
        shutil.rmtree(drive_path(drive_c, windows_path), ignore_errors=True)
    prepare_prefix(args, job)

    # kxrender takes the job's relative file names from the job's folder.
    started = datetime.datetime.now()
    # Wine answers GetUserNameW with the user of the process environment:
    # the job's user name stands in for it, as the native run's does.
    run_env = dict(os.environ)
    if "user" in job.get("environment", {}):
        for name in ("USER", "LOGNAME", "WINEUSERNAME"):
            run_env[name] = job["environment"]["user"]
    def run_under_wine(output):
        # kxrender explains every failure on stderr. A run that ends with an
        # unexpected status, says nothing and writes nothing never reached
        # kxrender's own code: Wine failed to start the process (seen once in
        # CI, exit 1 after 0.2 s, not reproduced in hundreds of runs). Such a
        # start is repeated, twice at most, and said so; any other outcome
        # stands as it is.
        for attempt in range(3):
            run = subprocess.run([args.wine, args.kxrender, str(job_path), "-o", str(output)],
                                 cwd=job_path.parent, env=run_env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            silent = not run.stderr.strip() and not output.exists()
            if run.returncode == expect["exit"] or not silent or attempt == 2:
                return run
            print(f"Wine ended the run with status {run.returncode} before kxrender said "
                  "anything: the run is started again")

    wine_run = run_under_wine(work / "wine.kxpl")
    ended = datetime.datetime.now()
    err = wine_run.stderr.decode("utf-8", errors="replace")
    print(f"kxrender.exe under Wine: exit {wine_run.returncode}\n{err}")
    if wine_run.returncode != expect["exit"]:
        fail(f"exit status {wine_run.returncode}, expected {expect['exit']}")
    for line in expect.get("stderr", []):
        if line not in err:
            fail(f"stderr lacks {line!r}")

    # Wine answers GetComputerNameW with the machine's own host name, which
    # no setting changes: where a field's text is that name (right after the
    # field record's "]"), the job's computer name stands in for it.
    computer = job.get("environment", {}).get("computer")
    wine_name = socket.gethostname().split(".")[0].upper().encode("latin-1", "replace")

    def own_names(data):
        if not computer:
            return data
        return re.sub(rb"(?<=\])" + re.escape(wine_name) + rb"(?![A-Za-z0-9])",
                      computer.encode("latin-1"), data)

    def wine_bytes(what, data):
        masked, fields = mask(own_names(data))
        check_clock(what, fields, started, ended)
        return masked

    stream = work / "wine.kxpl"
    keys = [k for k in ("output", "output_starts") if k in expect]
    if keys and not stream.is_file():
        fail("no stream written")
    elif not keys and stream.is_file():
        fail("a stream was written where none is expected")
    elif keys:
        got = wine_bytes("stream", stream.read_bytes())
        for key in keys:
            want = mask((golden / expect[key]).read_bytes())[0]
            part = got
            if key == "output_starts":
                part = got[:len(want)]
            compare(f"stream ({key} {expect[key]})", want, part)

    # The job run again on the same machine: what it keeps between jobs (the
    # counters in the user's registry) carries on as on a second print.
    for n, name in enumerate(expect.get("output_next", []), start=2):
        again = work / f"wine{n}.kxpl"
        run = run_under_wine(again)
        if run.returncode != expect["exit"] or not again.is_file():
            fail(f"run {n}: exit status {run.returncode}, or no stream written")
            continue
        compare(f"stream of run {n} ({name})", mask((golden / name).read_bytes())[0],
                wine_bytes(f"run {n}", again.read_bytes()))

    for windows_path, name in files.items():
        target = drive_path(drive_c, windows_path)
        if not target.is_file():
            fail(f"{windows_path} was not written")
            continue
        compare(windows_path, mask((golden / name).read_bytes())[0],
                wine_bytes(windows_path, target.read_bytes()))

    # The Linux build's run of the same job, for what the expectation leaves
    # open: a stream expected in part only ("output_starts") and the files
    # of "same_on_windows". (Exit status and expected files: matched above.)
    if args.native and Path(args.native).is_file():
        state = work / "state"
        subprocess.run([args.native, str(job_path), "-o", str(work / "native.kxpl"),
                        "--state", str(state), "-q"], cwd=job_path.parent,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # (name, native file, Wine file, whether Wine's clock fields are
        # still to be checked: those of the stream already are)
        pairs = [("stream", work / "native.kxpl", stream, False)]
        for native_name, wine_names in same_names:
            drive = native_name[0].lower()
            wine = [drive_path(drive_c, n) for n in sorted(wine_names)]
            found = [w for w in wine if w.is_file()]
            pairs.append((native_name, drive_path(state / "drives" / drive, native_name),
                          found[0] if found else wine[0], True))
        for what, native, wine, check in pairs:
            if native.is_file() and wine.is_file():
                wine_masked = (wine_bytes(what, wine.read_bytes()) if check else
                               mask(own_names(wine.read_bytes()))[0])
                compare(f"native and Wine {what}", mask(native.read_bytes())[0], wine_masked)
            elif native.is_file() != wine.is_file():
                fail(f"{what}: written by only one of the native and the Wine run")
    elif args.native:
        print(f"no native kxrender at {args.native}: the direct comparison is skipped")

    if failures:
        print(f"{expect_path}: Wine and the expected bytes differ", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
