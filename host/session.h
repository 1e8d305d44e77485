// One run of a job through the plug-in, the way the driver host drives it.
//
// The plug-in is reached only through its module's exports and COM
// interface: DllGetClassObject, IClassFactory::CreateInstance and
// IPrintOemUni. The calls come in the driver host's order: GetInfo
// (signature, version), PublishDriverInterface, GetImplementedMethod for
// each optional method, EnableDriver, DevMode (size, defaults, merge),
// EnablePDEV, the hooked DrvStartDoc, the command callbacks (START_JOB,
// START_DOC, orientation, the label size in dots, copies; per page
// START_PAGE, the raster, the text, END_PAGE; END_DOC, END_JOB),
// DisablePDEV, DisableDriver and Release. With events instead of pages the
// job file gives the calls between EnablePDEV and DisablePDEV itself.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "host/jobfile.h"
#include "host/setup.h"

namespace kxhost {

struct RunOptions {
    std::filesystem::path plugin;  // the plug-in module
    EnvOptions env;
    bool logCalls = false;  // keep a line per plug-in call in RunReport::calls
};

// Exit codes of kxrender.
constexpr int kExitOk = 0;
constexpr int kExitJobFile = 1;  // usage, job file, its images or settings
constexpr int kExitModule = 2;   // the plug-in module cannot be loaded or created
constexpr int kExitJob = 3;      // a call of the job failed

struct WrittenFile {
    std::string windowsPath;
    std::uint64_t size = 0;
};

struct RunReport {
    int exitCode = kExitOk;
    std::vector<std::string> errors;    // what failed; the first is the cause
    std::vector<std::string> warnings;  // what a driver host would notice
    std::vector<std::string> calls;     // with RunOptions::logCalls

    // the printer
    std::string signature;
    std::uint32_t version = 0;
    PrinterModel model;
    int surfaceBits = 0;
    bool settingsWritten = false;
    // With devmode_layout: the saved record's layout, its size and the
    // generation that the plug-in's recognition finds in it.
    std::string devmodeLayout;

    // the job
    std::string output;  // the bytes the printer receives
    std::uint64_t spoolWrites = 0;
    std::uint64_t failedWrites = 0;
    std::size_t aborts = 0;
    unsigned pagesStarted = 0, pagesEnded = 0, pagesInJob = 0;
    unsigned bands = 0, blankBands = 0, lines = 0;
    unsigned texts = 0, textsTaken = 0, textsHandedBack = 0;
    // "pages[0].text[1]: \"text\" (TrueType face \"Arial\": why it came back)"
    std::vector<std::string> handedBack;
    std::vector<std::string> taken;  // "pages[0].text[0]: \"text\" (device font 3 \"Swiss\")"
    std::vector<WrittenFile> files;  // print files, logs, backups on the drives
};

RunReport RunJob(const Job& job, const RunOptions& options);

}  // namespace kxhost
