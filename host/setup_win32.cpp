// The printer's installation on Windows itself. The simulated Windows of the
// Linux build installs a printer for every job; on Windows kxrender installs
// the job's driver and printer with the spooler's own calls when the printer
// is not there yet (a fresh Wine prefix has none), and otherwise uses the
// installed one as it stands.
#include <algorithm>

#include "host/jsonnode.h"
#include "host/module.h"
#include "host/setup.h"
#include "host/spooler_win32.h"
#include "platform/platform.h"

namespace kxhost {

namespace fs = std::filesystem;

namespace {

// Installs the driver (module, GPD, settings file) and a printer on the
// port the job names.
void AddDriverAndPrinter(const Job& job, const Installation& inst)
{
    DriverSetupW32 setup;
    setup.printerName = job.printerName;
    setup.portName = job.port;
    setup.driverName = job.model;
    setup.provider = job.provider;
    setup.moduleSource = ProgramDir() / PluginFileName();
    setup.modulePath = inst.pluginPath;
    setup.dataFile = inst.gpdPath;
    if (inst.hasXml) setup.settingsFile = inst.xmlPath;
    std::string error = kxhost::AddDriverAndPrinter(setup);
    if (!error.empty()) throw JobError("printer.name: cannot install the printer: " + error);
    // The driver's settings plug-in, which the print file's header and the
    // information log name with its version: with the job's driver version a
    // stand-in carrying that version resource, as the simulated
    // installation has it; without one, none (a stand-in of an earlier
    // installation goes).
    const std::u16string settingsModule = inst.driverDir + u"\\KXDRVUI-266.DLL";
    if (job.driverVersion) {
        error = InstallVersionedModule(setup.moduleSource, settingsModule, *job.driverVersion);
        if (!error.empty())
            throw JobError("printer.driver_version: cannot install the settings plug-in: " + error);
    } else {
        kx::plat::DeleteFile(settingsModule);
    }
}

}  // namespace

void ConfigureEnvironment(const Job&, const EnvOptions& options)
{
    if (!options.state.empty() || !options.root.empty())
        throw JobError("--state and --root apply to the simulated Windows only");
}

fs::path DriveRoot()
{
    return {};
}

fs::path HostPath(std::u16string_view)
{
    return {};
}

std::vector<fs::path> WatchedFolders(const Job& job)
{
    std::vector<std::string> names = job.directories;
    for (const auto& entry : job.files) names.push_back(entry.first);
    std::vector<fs::path> folders;
    for (const std::string& name : names) {
        std::u16string path = Utf16(name);
        std::size_t cut = path.find_last_of(u"\\/");
        if (cut == std::u16string::npos) continue;
        path.resize(cut + 1);
        fs::path folder(std::wstring(path.begin(), path.end()));
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    return folders;
}

std::string WindowsName(const fs::path& hostPath)
{
    std::wstring w = hostPath.wstring();
    return Utf8(std::u16string(w.begin(), w.end()));
}

Installation InstallPrinter(const Job& job, std::uint32_t)
{
    kx::plat::Handle h = nullptr;
    if (kx::plat::OpenPrinter(job.printerName, &h) != 0) {
        Installation files = InstallPrinterFiles(job);
        AddDriverAndPrinter(job, files);
        if (kx::plat::OpenPrinter(job.printerName, &h) != 0)
            throw JobError("printer.name: no printer \"" + Utf8(job.printerName) +
                           "\" is installed on this system");
    } else {
        // An installed printer keeps its driver; the job's files still go
        // onto the drives.
        InstallPrinterFiles(job);
    }
    kx::plat::DriverInfo driver;
    bool known = kx::plat::GetPrinterDriver(h, &driver);
    kx::plat::ClosePrinter(h);
    if (!known) throw JobError("printer.name: the printer's driver cannot be read");
    Installation inst;
    inst.pluginPath = driver.driverPath;
    inst.gpdPath = driver.dataFile;
    std::size_t dot = inst.gpdPath.rfind(u'.');
    inst.xmlPath = inst.gpdPath.substr(0, dot) + u".XML";
    inst.hasGpd = kx::plat::PathFileExists(inst.gpdPath);
    inst.hasXml = kx::plat::PathFileExists(inst.xmlPath);
    return inst;
}

struct SpoolerJob::Impl {
    Impl(const std::u16string& printer, const std::u16string& document) : job(printer, document) {}
    SpoolerJobW32 job;
};

SpoolerJob::SpoolerJob(const Job& job) : fileId_(job.jobId)
{
    if (job.jobId == 0) return;
    impl_ = std::make_unique<Impl>(job.printerName, job.document);
    if (impl_->job.Id() == 0)
        throw JobError("environment.job_id: cannot open a job on the printer: " +
                       impl_->job.Error());
    spoolerId_ = impl_->job.Id();
}

SpoolerJob::~SpoolerJob() = default;

}  // namespace kxhost
