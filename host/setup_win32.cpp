// The printer's installation on Windows itself. The simulated Windows of the
// Linux build installs a printer for every job; on Windows the printer and
// its driver must already be installed, and kxrender only checks that.
#include "host/jsonnode.h"
#include "host/setup.h"
#include "platform/platform.h"

namespace kxhost {

namespace fs = std::filesystem;

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

Installation InstallPrinter(const Job& job, std::uint32_t)
{
    kx::plat::Handle h = nullptr;
    if (kx::plat::OpenPrinter(job.printerName, &h) != 0)
        throw JobError("printer.name: no printer \"" + Utf8(job.printerName) +
                       "\" is installed on this system");
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

}  // namespace kxhost
