// The information log: where it is written, the size limit, the line rules,
// the switch that keeps it off, and a whole job's log against the expected file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/format.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "platform/platform.h"
#include "settings/devmodeops.h"
#include "support/device.h"
#include "support/harness.h"

namespace {

namespace plat = kx::plat;
using kxtest::SimSandbox;

const std::u16string kPrnBase = u"C:\\logs\\KX 4-203-05122026-143015-250";
const std::u16string kLogName = kPrnBase + u".log";

// tests/diag/data/<name> holds the expected log, written and checked by hand
// line by line against the records the test writes; it is never produced by
// the code under test.
::testing::AssertionResult MatchesExpected(const char* name, const std::string& actual)
{
    std::filesystem::path path = std::filesystem::path(__FILE__).parent_path() / "data" / name;
    std::string expected = SimSandbox::ReadHostFile(path.string());
    if (expected.empty()) return ::testing::AssertionFailure() << "missing " << path;
    return kxtest::BytesEqual(expected, actual);
}

class LogFile : public ::testing::Test {
protected:
    SimSandbox sandbox;
    kxtest::TestDevice dev;
    CLogFile log;

    void SetUp() override
    {
        ASSERT_TRUE(plat::CreateDirectory(u"C:\\logs"));
        dev.SetPrnFileName(kPrnBase);
        dev.iface().bLogFileEnable = 1;
        dev.iface().bLogFileTimeStamp = 1;
        dev.iface().dwLogFilesCount = 50;
        kx::Copy(dev.iface().wcLogFilePath, PRN_PATH_CHARS, u"C:\\logs");
    }
    void TearDown() override
    {
        kx::CloseJobLogFile(&dev.pdev);
        kx::trace::Close();
    }
    std::string Read(const std::u16string& name = kLogName) const
    {
        return SimSandbox::ReadHostFile(sandbox.HostPath(name));
    }
};

TEST_F(LogFile, OnlyLogFileEnableOneKeepsALog)
{
    for (DWORD enable : {0u, 2u, 3u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(kx::OpenJobLogFile(&dev.pdev, nullptr, enable));
        EXPECT_EQ(dev.files.pLogFile, nullptr);
        kx::WriteJobLog(&dev.pdev, u"[START_JOB]");
    }
    std::vector<plat::FindData> found;
    EXPECT_FALSE(plat::FindFiles(u"C:\\logs\\*.*", &found));  // no file at all

    ASSERT_TRUE(kx::OpenJobLogFile(&dev.pdev, nullptr, 1));
    EXPECT_EQ(dev.files.pLogFile->FileName(), kLogName);
    kx::WriteJobLog(&dev.pdev, u"Pages: %d", 2);
    kx::CloseJobLogFile(&dev.pdev);
    EXPECT_EQ(dev.files.pLogFile, nullptr);
    EXPECT_EQ(Read(), "Pages: 2\r\n");

    OEM_PDEV bare{};  // no job structures
    EXPECT_FALSE(kx::OpenJobLogFile(&bare, nullptr, 1));
    EXPECT_FALSE(kx::OpenJobLogFile(nullptr, nullptr, 1));
}

TEST_F(LogFile, AppendedUntilTheLimitThenStartedAfresh)
{
    for (std::size_t before : {0, 511999, 512000, 700000}) {
        SCOPED_TRACE(before);
        std::string old(before, 'o');
        std::ofstream(sandbox.HostPath(kLogName), std::ios::binary) << old;
        CLogFile job;
        EXPECT_EQ(job.Initialize(nullptr, kPrnBase.c_str(), &dev.iface()), 1u);
        job.WriteLine(u"[START_JOB]");
        job.Close();
        EXPECT_EQ(Read(), (before < 512000 ? old : std::string()) + "[START_JOB]\r\n");
    }
}

TEST_F(LogFile, NamesAndFailures)
{
    // Without a print file: GetPrnFileName's name; a second Initialize keeps it.
    log.Initialize(nullptr, u"", &dev.iface());
    log.WriteLine(u"a");
    log.Initialize(nullptr, kPrnBase.c_str(), &dev.iface());
    log.WriteLine(u"b");
    log.Close();
    EXPECT_EQ(Read(u"C:\\logs\\Dummy-Printer-05122026-143015-250.log"), "a\r\nb\r\n");

    // A refused name (nearly full disk) or an unopenable file: no log, and
    // every write does nothing.
    ASSERT_TRUE(kx::trace::Open(u"C:\\t"));
    plat::sim::Config cfg = plat::sim::Current();
    cfg.freeBytes = 1000;
    plat::sim::Configure(cfg);
    CLogFile refused, unopenable;
    EXPECT_EQ(refused.Initialize(nullptr, nullptr, &dev.iface()), 1u);
    EXPECT_FALSE(refused.IsInitialized());
    EXPECT_EQ(unopenable.Initialize(nullptr, u"C:\\nowhere\\job", &dev.iface()), 1u);
    EXPECT_FALSE(unopenable.IsInitialized());
    EXPECT_EQ(unopenable.m_dwLastError, 3u);
    unopenable.WriteLine(u"y");
    unopenable.WritePrivateDevMode(u"StartJob", &dev.devmode);
    kx::trace::Close();
    EXPECT_NE(Read(u"C:\\t-print-dbg.txt")
                  .find("ERROR LIB(LogFile):  CreateFile(CLogFile) failed. Error = 3 - "
                        "C:\\nowhere\\job.log \r"),
              std::string::npos);
}

TEST_F(LogFile, LineRules)
{
    log.Write(u"before");  // not initialised: nothing
    log.Initialize(nullptr, kPrnBase.c_str(), &dev.iface());
    std::string expected;
    // Wide text in the ANSI code page; narrow text as it stands.
    log.WriteLine(u"Dr\u00FCcker \u20AC \u4E2D");
    expected +=
        "Dr\xFC"
        "cker \x80 ?\r\n";
    log.WriteLine(nullptr, "UTF-8 \xC3\xBC");
    expected += "UTF-8 \xC3\xBC\r\n";
    log.WriteLine(u"[END_PAGE]", nullptr, 0);  // no line end
    log.WriteLine(nullptr, nullptr, 1);
    expected += "[END_PAGE]\r\n";
    // 777 bytes at most, so that the line end always fits.
    std::string longText(900, 'n');
    log.WriteLine(nullptr, longText.c_str());
    expected += std::string(777, 'n') + "\r\n";
    // The formatted line: 254 characters, then the line end.
    log.Write(u"%s|", std::u16string(300, u'w'));
    expected += std::string(254, 'w') + "\r\n";
    log.WriteTimeStamp();
    expected += "Date: 05.12.2026 Time: 14:30:15,250\r\n";
    log.Close();
    log.Write(u"after");
    EXPECT_TRUE(kxtest::BytesEqual(expected, Read()));
}

// A job as the job stream writes it, with every section.
TEST_F(LogFile, WholeJobMatchesTheExpectedLog)
{
    plat::sim::DriverSetup driver;
    driver.name = u"KX4-203";
    driver.driverPath = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KXDRVUNI-266.dll";
    driver.dataFile = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KX4-203.GPD";
    driver.configFile = u"D:\\elsewhere\\KXDRVUI-266.DLL";  // outside the driver directory
    driver.mfgName = u"Orvane Labels";
    driver.provider = u"Orvane";
    driver.driverVersion = 0x0002004200000000ull;
    plat::sim::AddDriver(driver);
    plat::sim::PrinterSetup printer;
    printer.name = u"\\\\srv\\KX 4-203";
    printer.driverName = driver.name;
    printer.portName = u"USB001";
    printer.comment = u"Shipping";
    printer.location = u"Hall 2";
    plat::sim::AddPrinter(printer);
    plat::RegSetDword(plat::Hive::LocalMachine,
                      u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\,,srv,KX 4-203",
                      u"Status", 0x2402);
    plat::RegSetDword(plat::Hive::LocalMachine,
                      std::u16string(u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\"
                                     u"Windows x64\\Drivers\\Version-3\\") +
                          driver.name,
                      u"PrinterDriverAttributes", 0x5);
    HANDLE hPrinter = nullptr;
    ASSERT_EQ(plat::OpenPrinter(u"\\\\SRV\\kx 4-203", &hPrinter), 0u);  // names without case

    KX_DEVMODE& dm = dev.devmode;
    kx::SetDevmodeDefaults(&dm);
    SetValidMarker(&dm);
    dm.dwFlags = PDMFLAG_ROTATED | PDMFLAG_INVERS;
    dm.dmPaperLength = 1000;
    dm.wAnzahlFonts = 1;
    kx::Copy(dm.szWindowsFontName[0], 33, u"KX Arial");
    kx::Copy(dm.szInstalledName[0], 33, u"Arial");
    dm.FixedData.wMasterUnit = 300;

    BYTE barcodes[BARCODE_DEVMODE_SIZE] = {};
    const DWORD code301[] = {301, 0, 150u << 16 | 1};  // id, manual, rotation 1, height 150
    std::memcpy(barcodes + 28, code301, sizeof(code301));
    barcodes[824 + 208] = 1;  // QR Code automatic

    DWORD features[MAX_FEATURES] = {0x3F, 0x1F, 0x7};
    PHOTOCELL_PARAM photocell{2, 0, 1, {}, 2, 0};
    SHIFT_OPTIM_PARAM shift{0, -15, 0, 2, 0, 0, 0};

    ASSERT_TRUE(kx::OpenJobLogFile(&dev.pdev, hPrinter, 1));
    CLogFile* job = kx::GetJobLogFile(&dev.pdev);
    job->WriteLine(u"[START_JOB]");
    job->Write(u"\t Print File Name    = %s.prn ", dev.files.wcPrnFileName);
    job->WritePrivateDevMode(u"StartJob", &dm);
    job->WriteBarcodeSettings(u"StartJob", barcodes);
    job->WritePrinterInfos(u"SendPrinterParam", hPrinter);
    job->WriteDriverInfos(u"SendPrinterParam", hPrinter);
    job->WritePrinterParam(u"SendPrinterParam", features, &photocell, &shift);
    job->WriteInterfaceParam(u"StartJob", &dev.iface());
    job->WriteLine(u"\r\n [START_PAGE]");
    job->Write(u"%s (i): %s", u"KX Arial", u"Gr\u00FC\u00DFe 42");
    job->Write(u"Pages: %d", 1);
    kx::CloseJobLogFile(&dev.pdev);
    plat::ClosePrinter(hPrinter);
    EXPECT_TRUE(MatchesExpected("joblog.log", Read()));
}

TEST_F(LogFile, MissingRecordsWriteHeadingsOnly)
{
    log.Initialize(nullptr, kPrnBase.c_str(), &dev.iface());
    log.WritePrivateDevMode(nullptr, nullptr);
    log.WriteBarcodeSettings(u"StartJob", nullptr);
    log.WritePrinterInfos(u"SendPrinterParam", nullptr);
    log.Close();
    const char* stamp = ") at: Date: 05.12.2026 Time: 14:30:15,250\r\n";
    std::string text = Read();
    for (std::string line :
         {std::string("\r\nPrivate DEVMODE (") + stamp + "\t (none)\r\n",
          std::string("\r\nBarcode Settings (StartJob") + stamp + "\t (none)\r\n",
          std::string("(SendPrinterParam") + stamp + "\t GetPrinter Error = 6\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

}  // namespace
