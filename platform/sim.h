// The simulated Windows of the Linux build: how it is set up.
//
// Everything the simulation keeps lives in two folders:
//   state  the registry (HKCU and HKLM, one readable text file per hive),
//          printers, drivers, forms, jobs, file versions and the spool output;
//          values written by one run are read by the next.
//   root   the drive letters: "C:\x\y" is <root>/c/x/y.
//
// The plug-in module and the host each link their own copy of this layer, so
// the configuration is taken from the environment, which both share:
//   KX_SIM_STATE      state folder            (default: ./kxsim-state)
//   KX_SIM_ROOT       root of the drives      (default: <state>/drives)
//   KX_SIM_CLOCK      fixed local time "YYYY-MM-DD hh:mm:ss[.mmm]"; Sleep then
//                     advances it instead of waiting (default: the real clock)
//   KX_SIM_USER       user name               (default: "user")
//   KX_SIM_COMPUTER   computer name           (default: "KXSIM")
//   KX_SIM_FREE_MB    free space reported for every drive (default: real value)
//   KX_SIM_FREE_BYTES the same in bytes (wins over KX_SIM_FREE_MB)
//   KX_SIM_SPOOL      file that receives everything WritePrinter sends
//                     (default: <state>/spool/<printer>.spl)
// Configure() overrides the environment within one process (tests): it sets
// these variables, so every copy of the layer in the process agrees (it also
// counts each setting of the clock in KX_SIM_CLOCK_EPOCH, so that a copy sees
// the same time set again). Neither Configure() nor SetClock() may run while
// other threads use the layer.
//
// The last error (GetLastError/SetLastError) is per thread and shared by the
// copies: every copy looks up kx_sim_last_error_slot in the program's exported
// symbols once and uses the slot it hands out, so a program built with
// exported symbols (kxrender, the test programs) gives the plug-in module and
// itself one last error, as Windows does.
//
// The state folder holds:
//   registry/HKCU.reg, registry/HKLM.reg   the two hives
//   jobs.reg                               jobs of the simulated spooler
//   versions.reg                           version resources per file name
//   spool/<printer>.spl                    what WritePrinter sent
// All .reg files share one text form: a "[key\path]" line per key followed by
// its values, one per line:
//   "Name"=sz:"text"         REG_SZ (expand_sz: for REG_EXPAND_SZ)
//   "List"=multi_sz:"a","b"  REG_MULTI_SZ
//   "Count"=dword:0000002a   REG_DWORD
//   "Blob"=hex:01,02,ff      REG_BINARY (hex(N): for any other type, and for
//                            a string value that is not one clean text)
//   @=...                    the key's default (unnamed) value
// Strings escape \\, \", \n, \r, \t and other controls as \uXXXX. The files
// are re-read on every access and replaced atomically, so that every copy of
// the layer sees the others' writes at once. Expandable strings are not
// expanded.
//
// Files: Windows paths map into the root folder. Drive letters are taken
// case-insensitively ("c:" and "C:" are <root>/c), "\" and "/" both separate,
// "." and ".." are resolved, trailing dots and blanks of a name are dropped
// as Windows drops them, and a UNC path "\\server\share\x" maps to
// <root>/unc/server/share/x. Below the drive letter, names are the host's:
// case-sensitive ("C:\A.txt" and "C:\a.txt" are two files), although
// FindFiles matches its pattern case-insensitively. Names holding one of
// <>:"|?* or a control character fail with ERROR_INVALID_NAME, and paths of
// MAX_PATH (260) characters or more with ERROR_FILENAME_EXCED_RANGE. Share
// modes are enforced between handles (also across the copies of the layer),
// and an open file can only be deleted or moved when it was opened with
// FILE_SHARE_DELETE (4). With a fixed clock, files written through this layer
// get the fixed clock as their last-write time. A fresh root folder is given
// the usual folders of drive C (Windows, System32, the driver directory,
// Temp, ProgramData and the user's profile with Documents and AppData).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform.h"

namespace kx::plat::sim {

struct Config {
    std::string stateDir;
    std::string rootDir;
    std::optional<SystemTime> fixedClock;
    std::u16string userName = u"user";
    std::u16string computerName = u"KXSIM";
    std::optional<std::uint64_t> freeBytes;
    std::string spoolFile;  // KX_SIM_SPOOL; empty: one file per printer
};

// Replaces the configuration of this process (and exports it to the
// environment so that a plug-in module loaded later sees the same). A fixed
// clock starts afresh, without what Sleep added to it before.
void Configure(const Config& config);
// The configuration in force, read from the environment at each call; its
// fixedClock is the clock as it stands now, after any Sleep.
Config Current();

// Maps a Windows path to the host path under the root folder. "C:\a\b.txt"
// becomes <root>/c/a/b.txt; a path without a drive letter is taken relative
// to drive C.
std::string MapPath(std::u16string_view windowsPath);

// Sets the fixed clock (also for the plug-in module of this process). The
// day of the week is computed from the date; Sleep advances the clock of the
// copy of the layer that sleeps.
void SetClock(const SystemTime& t);

// ---- setting up printers, drivers, forms, jobs and versions (host, tests)
struct PrinterSetup {
    std::u16string name;        // "\\server\name" for a server printer
    std::u16string driverName;  // the driver the printer uses
    std::u16string portName = u"FILE:";
    std::u16string shareName;
    std::u16string comment;
    std::u16string location;
};
struct DriverSetup {
    std::u16string name;
    std::u16string driverPath;  // render module, e.g. "C:\Windows\...\KXDRVUNI-266.dll"
    std::u16string dataFile;    // the GPD, e.g. "C:\Windows\...\KX4-203.GPD"
    std::u16string configFile;
    std::u16string helpFile;
    std::u16string mfgName;
    std::u16string provider;
    std::uint64_t driverVersion = 0;
};
// Printers and drivers are kept in HKLM the way Windows keeps them:
//   SYSTEM\CurrentControlSet\Control\Print\Printers\<name>  (values "Name",
//     "Printer Driver", "Port", ...; the printer data in its subkeys, e.g.
//     "PrinterDriverData" and "DsSpooler")
//   SYSTEM\CurrentControlSet\Control\Print\Environments\Windows x64\Drivers\Version-3\<driver>
//     ("Driver", "Data File", ..., "DriverVersion" as the text "a.b.c.d")
// A server printer "\\server\name" is kept under the key ",,server,name"
// (backslashes become commas, as Windows names printer connections).
// Adding a printer or driver again replaces its values, its printer data stays.
void AddPrinter(const PrinterSetup& printer);
void AddDriver(const DriverSetup& driver);
// A form that EnumForms lists after the built-in forms (kept as a value of
// HKLM "SYSTEM\CurrentControlSet\Control\Print\Forms"). A form of the same
// name replaces the earlier one; the name of a built-in form is ignored.
void AddForm(const FormInfo& form);
// A job that GetJob answers for the printer (jobId 0: the next free id).
void SetJob(std::u16string_view printerName, const JobInfo& job);
// Version resource answered for a file (matched by file name, case-insensitive).
void SetFileVersion(std::u16string_view fileName, const VersionInfo& info);
// Where WritePrinter of the simulated spooler appends its bytes (default:
// <state>/spool/<printer>.spl); sets KX_SIM_SPOOL, "" goes back to the default.
void SetSpoolFile(const std::string& hostPath);

// ---- fault injection (tests); each affects only this copy of the layer
// Asked before every heap block is taken: true makes that allocation fail
// (HeapAlloc answers null with last error 8). Null: no allocation fails.
using HeapFaultHook = bool (*)();
void SetHeapFaultHook(HeapFaultHook hook);

}  // namespace kx::plat::sim
