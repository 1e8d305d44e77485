#include "support/jobsetup.h"

#include "core/regvalues.h"
#include "platform/platform.h"
#include "plugin/devstate.h"
#include "settings/devmodeops.h"

namespace kxtest {

namespace plat = kx::plat;

JobPrinter::JobPrinter(std::u16string document, DWORD totalPages, std::u16string name)
    : name_(std::move(name))
{
    plat::sim::DriverSetup driver;
    driver.name = u"KX4 Driver";
    driver.dataFile = kJobGpd;
    driver.provider = u"Orvane";
    plat::sim::AddDriver(driver);
    plat::sim::PrinterSetup printer;
    printer.name = name_;
    printer.driverName = u"KX4 Driver";
    printer.portName = u"USB001";
    plat::sim::AddPrinter(printer);
    SetJob(std::move(document), totalPages);
    EXPECT_EQ(plat::OpenPrinter(name_, &hPrinter_), 0u);
    kx::ResetDevmodeCache();
}

JobPrinter::~JobPrinter()
{
    kx::ResetDevmodeCache();
    plat::ClosePrinter(hPrinter_);
}

void JobPrinter::SetJob(std::u16string document, DWORD totalPages) const
{
    plat::JobInfo job;
    job.jobId = kJobId;
    job.document = std::move(document);
    job.totalPages = totalPages;
    plat::sim::SetJob(name_, job);
}

std::u16string JobPrinter::RegKey() const
{
    return std::u16string(kx::reg::kRegKeyDriver) + u"\\" + name_;
}

void JobPrinter::SetInterface(const PRN_INTERFACE& pi) const
{
    EXPECT_EQ(plat::RegSetValue(plat::Hive::CurrentUser, RegKey(), kx::reg::kPrinterInterface,
                                plat::kRegBinary, &pi, sizeof(pi)),
              0u);
}

void JobPrinter::SetOptions(const PRINTER_OPTIONS& options) const
{
    EXPECT_EQ(plat::RegSetValue(plat::Hive::CurrentUser, RegKey(), kx::reg::kPrinterOptions,
                                plat::kRegBinary, &options, sizeof(options)),
              0u);
}

void JobPrinter::SetFeatures(const DWORD (&features)[MAX_FEATURES]) const
{
    EXPECT_EQ(plat::SetPrinterDataEx(hPrinter_, kx::reg::kPrinterDataKey, kx::reg::kSuppFeatures,
                                     plat::kRegBinary, features, sizeof(features)),
              0u);
}

PRN_INTERFACE QuietInterface()
{
    PRN_INTERFACE pi{};
    pi.dwSohEtb = 1;
    pi.dwSendGerParam = 1;
    pi.dwSendEtiParam = 1;
    pi.dwDatenspeicher = 4;
    pi.dwJobIdent = 2;
    return pi;
}

void PrepareForJob(TestDevice& d, const JobPrinter& printer)
{
    d.devobj.hPrinter = printer.handle();
    kx::SetDevmodeDefaults(&d.devmode);
    d.devmode.wVersion = KX_DEVMODE_VERSION;
    d.devmode.w9999 = 0x9999;
    d.devmode.dmPaperSize = 256;
    d.devmode.dmPaperLength = 500;
    d.devmode.dmPaperWidth = 1000;
    KX_FIXEDDATA& fixed = d.devmode.FixedData;
    fixed.dwHeadWidthByte = 104;
    fixed.wMasterUnit = 300;
    fixed.lMaxSizeX = 1248;
    fixed.lMaxSizeY = 11811;
    fixed.wPrintHeadWidth = 1040;
    SetValidMarker(&d.devmode);
    d.publicDM.dmCopies = 1;
    d.publicDM.dmCollate = 0;
    d.pdev.dwJobId = kJobId;
}

::testing::AssertionResult PrintFileExtendsSpool(const std::string& print, const std::string& spool)
{
    std::size_t p = 0;
    std::string extra;
    for (std::size_t s = 0; s < spool.size(); ++s, ++p) {
        while (p < print.size() && print[p] != spool[s]) extra += print[p++];
        if (p == print.size())
            return ::testing::AssertionFailure()
                   << "stream byte " << s << " (" << Escape(spool.substr(s, 24))
                   << ") is not in the print file";
    }
    extra += print.substr(p);
    for (std::size_t i = 0; i < extra.size();) {
        std::size_t end = extra.find("\r\n", i);
        if (end == std::string::npos)
            return ::testing::AssertionFailure()
                   << "print-file text without its line end: " << Escape(extra.substr(i));
        i = end + 2;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace kxtest
