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
//   KX_SIM_STATE     state folder            (default: ./kxsim-state)
//   KX_SIM_ROOT      root of the drives      (default: <state>/drives)
//   KX_SIM_CLOCK     fixed local time "YYYY-MM-DD hh:mm:ss[.mmm]"; Sleep then
//                    advances it instead of waiting (default: the real clock)
//   KX_SIM_USER      user name               (default: "user")
//   KX_SIM_COMPUTER  computer name           (default: "KXSIM")
//   KX_SIM_FREE_MB   free space reported for every drive (default: real value)
// Configure() overrides the environment within one process (tests).
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
};

// Replaces the configuration of this process (and exports it to the
// environment so that a plug-in module loaded later sees the same).
void Configure(const Config& config);
// The configuration in force (read from the environment on first use).
Config Current();

// Maps a Windows path to the host path under the root folder. "C:\a\b.txt"
// becomes <root>/c/a/b.txt; a path without a drive letter is taken relative
// to drive C.
std::string MapPath(std::u16string_view windowsPath);

// Sets the fixed clock (also for the plug-in module of this process).
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
void AddPrinter(const PrinterSetup& printer);
void AddDriver(const DriverSetup& driver);
void AddForm(const FormInfo& form);
void SetJob(std::u16string_view printerName, const JobInfo& job);
// Version resource answered for a file (matched by file name, case-insensitive).
void SetFileVersion(std::u16string_view fileName, const VersionInfo& info);
// Where WritePrinter of the simulated spooler appends its bytes (default:
// <state>/spool/<printer>.spl).
void SetSpoolFile(const std::string& hostPath);

}  // namespace kx::plat::sim
