// The printer's installation in the simulated Windows of the Linux build.
#include <cctype>
#include <cstdlib>

#include "host/jsonnode.h"
#include "host/setup.h"
#include "platform/platform.h"
#include "platform/sim.h"
#include "core/regvalues.h"

#ifndef KX_VERSION_MAJOR
#define KX_VERSION_MAJOR 2
#define KX_VERSION_MINOR 66
#define KX_VERSION_PATCH 0
#endif

namespace kxhost {

namespace fs = std::filesystem;
namespace plat = kx::plat;
namespace sim = kx::plat::sim;

void ConfigureEnvironment(const Job& job, const EnvOptions& options)
{
    sim::Config cfg;
    cfg.stateDir = fs::absolute(options.state.empty() ? fs::path("kxsim-state") : options.state)
                       .lexically_normal()
                       .string();
    cfg.rootDir = options.root.empty() ? (fs::path(cfg.stateDir) / "drives").string()
                                       : fs::absolute(options.root).lexically_normal().string();
    std::error_code ec;
    fs::create_directories(cfg.stateDir, ec);
    if (ec) throw JobError("--state: cannot create " + cfg.stateDir + ": " + ec.message());
    fs::create_directories(cfg.rootDir, ec);
    if (ec) throw JobError("--root: cannot create " + cfg.rootDir + ": " + ec.message());
    if (job.clock) {
        // The same form KX_SIM_CLOCK takes; checked by the job reader.
        plat::SystemTime t{};
        unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
        std::sscanf(job.clock->c_str(), "%u-%u-%u %u:%u:%u.%u", &y, &mo, &d, &h, &mi, &s, &ms);
        t.wYear = static_cast<std::uint16_t>(y);
        t.wMonth = static_cast<std::uint16_t>(mo);
        t.wDay = static_cast<std::uint16_t>(d);
        t.wHour = static_cast<std::uint16_t>(h);
        t.wMinute = static_cast<std::uint16_t>(mi);
        t.wSecond = static_cast<std::uint16_t>(s);
        t.wMilliseconds = static_cast<std::uint16_t>(ms);
        cfg.fixedClock = t;
    }
    if (!job.user.empty()) cfg.userName = job.user;
    if (!job.computer.empty()) cfg.computerName = job.computer;
    // Free space and the spool file stay as the environment has them.
    sim::Config current = sim::Current();
    cfg.freeBytes = current.freeBytes;
    cfg.spoolFile = current.spoolFile;
    sim::Configure(cfg);
}

fs::path DriveRoot()
{
    return sim::Current().rootDir;
}

fs::path HostPath(std::u16string_view windowsPath)
{
    return sim::MapPath(windowsPath);
}

std::vector<fs::path> WatchedFolders(const Job&)
{
    return {DriveRoot()};
}

// "<root>/c/x/y.prn" -> "C:\\x\\y.prn".
std::string WindowsName(const fs::path& hostPath)
{
    fs::path rel = hostPath.lexically_relative(DriveRoot());
    std::string out;
    bool first = true;
    for (const fs::path& part : rel) {
        std::string s = part.string();
        if (first) {
            out = s == "unc" ? "\\" : std::string(1, static_cast<char>(std::toupper(s[0]))) + ":";
            first = false;
        } else {
            out += "\\" + s;
        }
    }
    return out;
}

Installation InstallPrinter(const Job& job, std::uint32_t totalPages)
{
    Installation inst = InstallPrinterFiles(job);

    sim::DriverSetup driver;
    driver.name = job.model;
    driver.driverPath = inst.pluginPath;
    driver.dataFile = inst.gpdPath;
    driver.configFile = inst.driverDir + u"\\KXDRVUI-266.DLL";
    driver.helpFile = inst.driverDir + u"\\KXDRV.HLP";
    driver.mfgName = job.provider;
    driver.provider = job.provider;
    driver.driverVersion = (std::uint64_t{KX_VERSION_MAJOR} << 48) |
                           (std::uint64_t{KX_VERSION_MINOR} << 32) |
                           (std::uint64_t{KX_VERSION_PATCH} << 16);
    sim::AddDriver(driver);

    sim::PrinterSetup printer;
    printer.name = job.printerName;
    printer.driverName = job.model;
    printer.portName = job.port;
    sim::AddPrinter(printer);

    plat::VersionInfo version;
    version.fileVersion[0] = version.productVersion[0] = KX_VERSION_MAJOR;
    version.fileVersion[1] = version.productVersion[1] = KX_VERSION_MINOR;
    version.fileVersion[2] = version.productVersion[2] = KX_VERSION_PATCH;
    version.productName = u"KXDRV label printer driver";
    version.fileDescription = u"KXDRV render plug-in";
    version.companyName = job.provider;
    version.fileVersionText =
        Utf16(std::to_string(KX_VERSION_MAJOR) + "." + std::to_string(KX_VERSION_MINOR) + "." +
              std::to_string(KX_VERSION_PATCH) + ".0");
    sim::SetFileVersion(u"KXDRVUNI-266.dll", version);
    if (job.driverVersion) {
        // The driver's modules as installed: the settings module's version
        // resource is the driver's version, the render module's file time
        // its build. (The module kxrender loads lies elsewhere; these files
        // only stand for it.)
        plat::VersionInfo installed = version;
        for (int i = 0; i < 4; ++i)
            installed.fileVersion[i] = installed.productVersion[i] = (*job.driverVersion)[i];
        for (const std::u16string& module : {inst.pluginPath, driver.configFile}) {
            plat::Handle h = plat::CreateFile(module, plat::kGenericWrite, 0, plat::kCreateAlways);
            if (h == plat::kInvalidHandle)
                throw JobError("printer.driver_version: cannot install " + Utf8(module));
            std::uint32_t written = 0;
            plat::WriteFile(h, "MZ", 2, &written);
            plat::CloseHandle(h);
            sim::SetFileVersion(module, installed);
        }
    }

    plat::JobInfo spoolJob;
    spoolJob.jobId = job.jobId;
    spoolJob.printerName = job.printerName;
    spoolJob.machineName = sim::Current().computerName;
    spoolJob.userName = sim::Current().userName;
    spoolJob.document = job.document;
    spoolJob.dataType = u"RAW";
    spoolJob.totalPages = totalPages;
    spoolJob.submitted = plat::GetLocalTime();
    if (job.jobId) sim::SetJob(job.printerName, spoolJob);

    auto setText = [](const char16_t* name, const std::u16string& text) {
        plat::RegSetValue(plat::Hive::LocalMachine, kx::reg::kCurrentVersionKey, name, plat::kRegSz,
                          text.c_str(),
                          static_cast<std::uint32_t>((text.size() + 1) * sizeof(char16_t)));
    };
    setText(kx::reg::kProductName, job.osName);
    setText(kx::reg::kDisplayVersion, job.osVersion);
    if (job.windowsBuild) {
        // The system's own version resource, which the plug-in reads first.
        plat::VersionInfo kernel;
        kernel.fileVersion[0] = kernel.productVersion[0] = 10;
        kernel.fileVersion[2] = kernel.productVersion[2] =
            static_cast<std::uint16_t>(job.windowsBuild);
        sim::SetFileVersion(u"Kernel32.dll", kernel);
        setText(kx::reg::kCurrentBuild, Utf16(std::to_string(job.windowsBuild)));
    }
    return inst;
}

// The job file's id is the simulated queue's job (InstallPrinter put it there).
struct SpoolerJob::Impl {};

SpoolerJob::SpoolerJob(const Job& job) : fileId_(job.jobId), spoolerId_(job.jobId) {}

SpoolerJob::~SpoolerJob() = default;

}  // namespace kxhost
