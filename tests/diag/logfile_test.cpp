// The information log: where it is written, the size limit, the line rules,
// the switch that keeps it off, and a whole job's log against a golden file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "diag/format.h"
#include "diag/logfile.h"
#include "diag/trace.h"
#include "platform/platform.h"
#include "settings/devmodeops.h"
#include "support/device.h"
#include "support/harness.h"

namespace {

namespace fs = std::filesystem;
namespace plat = kx::plat;
using kxtest::SimSandbox;
using kxtest::TestDevice;

constexpr char16_t kPrnBase[] = u"C:\\logs\\KX 4-203-05122026-143015-250";
constexpr char16_t kLogName[] = u"C:\\logs\\KX 4-203-05122026-143015-250.log";

// A file's bytes next to this test's source; with KX_UPDATE_GOLDEN set the
// file is written from the actual result instead.
::testing::AssertionResult MatchesGolden(const char* name, const std::string& actual)
{
    fs::path path = fs::path(__FILE__).parent_path() / "data" / name;
    if (std::getenv("KX_UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << actual;
        return ::testing::AssertionSuccess() << "updated";
    }
    std::string expected = SimSandbox::ReadHostFile(path.string());
    if (expected.empty()) return ::testing::AssertionFailure() << "missing " << path;
    return kxtest::BytesEqual(expected, actual);
}

class LogFile : public ::testing::Test {
protected:
    SimSandbox sandbox;
    TestDevice dev;

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
    std::string Read(std::u16string_view name = kLogName) const
    {
        return SimSandbox::ReadHostFile(sandbox.HostPath(name));
    }
    bool Exists(std::u16string_view name = kLogName) const
    {
        return SimSandbox::HostFileExists(sandbox.HostPath(name));
    }
    void WriteHostFile(std::u16string_view name, const std::string& bytes) const
    {
        std::ofstream(sandbox.HostPath(name), std::ios::binary) << bytes;
    }
};

TEST_F(LogFile, OnlyLogFileEnableOneKeepsALog)
{
    for (DWORD enable : {0u, 2u, 3u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(kx::OpenJobLogFile(&dev.pdev, nullptr, enable));
        EXPECT_EQ(dev.files.pLogFile, nullptr);
        EXPECT_EQ(kx::GetJobLogFile(&dev.pdev), nullptr);
        kx::WriteJobLog(&dev.pdev, u"[START_JOB]");
    }
    EXPECT_FALSE(Exists());
    std::vector<plat::FindData> found;
    EXPECT_FALSE(plat::FindFiles(u"C:\\logs\\*.*", &found));

    ASSERT_TRUE(kx::OpenJobLogFile(&dev.pdev, nullptr, 1));
    ASSERT_NE(kx::GetJobLogFile(&dev.pdev), nullptr);
    EXPECT_EQ(std::u16string(dev.files.pLogFile->FileName()), kLogName);
    kx::WriteJobLog(&dev.pdev, u"[START_JOB]");
    kx::CloseJobLogFile(&dev.pdev);
    EXPECT_EQ(dev.files.pLogFile, nullptr);
    EXPECT_EQ(Read(), "[START_JOB]\r\n");

    // No job structures: no log, no crash.
    OEM_PDEV bare{};
    EXPECT_FALSE(kx::OpenJobLogFile(&bare, nullptr, 1));
    EXPECT_FALSE(kx::OpenJobLogFile(nullptr, nullptr, 1));
    kx::CloseJobLogFile(nullptr);
    kx::WriteJobLog(nullptr, u"x");
}

TEST_F(LogFile, AppendedUntilTheLimitThenStartedAfresh)
{
    struct Case {
        std::size_t before;
        bool kept;
    };
    for (Case c : {Case{0, true}, Case{511999, true}, Case{512000, false}, Case{700000, false}}) {
        SCOPED_TRACE(c.before);
        std::string old(c.before, 'o');
        WriteHostFile(kLogName, old);
        CLogFile log;
        EXPECT_EQ(log.Initialize(nullptr, kPrnBase, &dev.iface()), 1u);
        ASSERT_TRUE(log.IsInitialized());
        log.WriteLine(u"[START_JOB]");
        log.Close();
        EXPECT_EQ(Read(), (c.kept ? old : std::string()) + "[START_JOB]\r\n");
    }
}

TEST_F(LogFile, NameWithoutAPrintFile)
{
    CLogFile log;
    log.Initialize(nullptr, u"", &dev.iface());
    ASSERT_TRUE(log.IsInitialized());
    EXPECT_EQ(std::u16string(log.FileName()), u"C:\\logs\\Dummy-Printer-05122026-143015-250.log");
    // Initialising again keeps the open file.
    log.WriteLine(u"a");
    log.Initialize(nullptr, kPrnBase, &dev.iface());
    log.WriteLine(u"b");
    log.Close();
    EXPECT_EQ(Read(u"C:\\logs\\Dummy-Printer-05122026-143015-250.log"), "a\r\nb\r\n");
    EXPECT_FALSE(Exists());

    // A refused name (nearly full disk) gives no log.
    plat::sim::Config cfg = plat::sim::Current();
    cfg.freeBytes = 1000;
    plat::sim::Configure(cfg);
    CLogFile refused;
    EXPECT_EQ(refused.Initialize(nullptr, nullptr, &dev.iface()), 1u);
    EXPECT_FALSE(refused.IsInitialized());
    EXPECT_EQ(std::u16string(refused.FileName()), u"");
}

TEST_F(LogFile, UnopenableFileIsTracedAndSkipped)
{
    ASSERT_TRUE(kx::trace::Open(u"C:\\t"));
    CLogFile log;
    EXPECT_EQ(log.Initialize(nullptr, u"C:\\nowhere\\job", &dev.iface()), 1u);
    EXPECT_FALSE(log.IsInitialized());
    EXPECT_EQ(log.m_dwLastError, 3u);
    log.Write(u"x %d", 1);
    log.WriteLine(u"y");
    log.WriteTimeStamp();
    log.WritePrivateDevMode(u"StartJob", &dev.devmode);
    log.WritePrinterInfos(u"SendPrinterParam", nullptr);
    kx::trace::Close();
    std::string trace = SimSandbox::ReadHostFile(sandbox.HostPath(u"C:\\t-print-dbg.txt"));
    EXPECT_NE(trace.find("ERROR LIB(LogFile):  CreateFile(CLogFile) failed. Error = 3 - "
                         "C:\\nowhere\\job.log \r"),
              std::string::npos)
        << trace;
    EXPECT_FALSE(SimSandbox::HostFileExists(sandbox.HostPath(u"C:\\nowhere\\job.log")));
}

TEST_F(LogFile, LineRules)
{
    CLogFile log;
    log.Write(u"before");  // not initialised yet: nothing
    log.Initialize(nullptr, kPrnBase, &dev.iface());
    std::string expected;

    // Wide text in the ANSI code page; narrow text as it stands.
    log.WriteLine(u"Dr\u00FCcker \u20AC \u4E2D");
    expected +=
        "Dr\xFC"
        "cker \x80 ?\r\n";
    log.WriteLine(nullptr, "UTF-8 \xC3\xBC");
    expected += "UTF-8 \xC3\xBC\r\n";
    log.WriteLine(u"wide wins", "narrow");
    expected += "wide wins\r\n";
    // Without the line end; neither text gives a bare line end.
    log.WriteLine(u"[END_PAGE]", nullptr, 0);
    log.WriteLine(nullptr, nullptr, 1);
    expected += "[END_PAGE]\r\n";

    // 777 bytes at most, the line end always fits.
    std::string longText(900, 'n');
    log.WriteLine(nullptr, longText.c_str());
    expected += std::string(777, 'n') + "\r\n";
    std::u16string longWide(900, u'w');
    log.WriteLine(longWide.c_str(), nullptr, 0);
    expected += std::string(777, 'w');

    // The formatted line: 254 characters, then the line end.
    log.Write(u"\r\nPages: %d", 3);
    expected += "\r\nPages: 3\r\n";
    log.Write(u"%s|", longWide);
    expected += std::string(254, 'w') + "\r\n";
    log.WriteTimeStamp();
    expected += "Date: 05.12.2026 Time: 14:30:15,250\r\n";
    log.Close();
    log.Write(u"after");
    EXPECT_TRUE(kxtest::BytesEqual(expected, Read()));
}

// A job as the job stream writes it, with every section.
TEST_F(LogFile, WholeJobMatchesGolden)
{
    const std::u16string driverDir = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\";
    plat::sim::DriverSetup driver;
    driver.name = u"KX4-203";
    driver.driverPath = driverDir + u"KXDRVUNI-266.dll";
    driver.dataFile = driverDir + u"KX4-203.GPD";
    driver.configFile = driverDir + u"KXDRVUI-266.DLL";
    driver.mfgName = driver.provider = u"Orvane";
    driver.driverVersion = 0x0002004200000000ull;
    plat::sim::AddDriver(driver);
    plat::sim::PrinterSetup printer;
    printer.name = u"\\\\srv\\KX 4-203";
    printer.driverName = driver.name;
    printer.portName = u"USB001";
    printer.shareName = u"KX4";
    printer.comment = u"Shipping";
    printer.location = u"Hall 2";
    plat::sim::AddPrinter(printer);
    std::u16string printerKey =
        u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\,,srv,KX 4-203";
    plat::RegSetDword(plat::Hive::LocalMachine, printerKey, u"Status", 0x2402);
    plat::RegSetDword(plat::Hive::LocalMachine, printerKey, u"Priority", 7);
    plat::RegSetDword(plat::Hive::LocalMachine,
                      u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\"
                      u"Drivers\\Version-3\\KX4-203",
                      u"PrinterDriverAttributes", 0x5);
    HANDLE hPrinter = nullptr;
    ASSERT_EQ(plat::OpenPrinter(u"\\\\srv\\KX 4-203", &hPrinter), 0u);

    KX_DEVMODE& dm = dev.devmode;
    kx::SetDevmodeDefaults(&dm);
    SetValidMarker(&dm);
    dm.dwFlags = PDMFLAG_ROTATED | PDMFLAG_INVERS;
    dm.dmPaperSize = 256;
    dm.dmPaperLength = 1000;
    dm.dmPaperWidth = 1030;
    dm.wAnzahlFonts = 1;
    kx::Copy(dm.szWindowsFontName[0], 33, u"KX Arial");
    kx::Copy(dm.szInstalledName[0], 33, u"Arial");
    dm.wPrinterFont[0] = 3;
    kx::Copy(dm.szMemCardVerz, 168, u"A:\\labels");
    dm.FixedData.dwHeadWidthByte = 104;
    dm.FixedData.wMasterUnit = 300;
    dm.FixedData.lMaxSizeX = 1248;
    dm.FixedData.lMaxSizeY = 23622;
    dm.FixedData.dwDocFeatures = 0x1806;

    BYTE barcodes[BARCODE_DEVMODE_SIZE] = {};
    auto put32 = [&](std::size_t at, DWORD v) { std::memcpy(barcodes + at, &v, 4); };
    auto put16 = [&](std::size_t at, WORD v) { std::memcpy(barcodes + at, &v, 2); };
    put32(0, 30);
    put32(4, 1);
    put32(28, 301);
    put16(28 + 8, 1);
    put16(28 + 10, 150);
    put32(16 * 28, 32);   // the first record of 24 bytes
    put32(824 + 208, 1);  // QR Code automatic

    DWORD features[MAX_FEATURES] = {0x3F, 0x1F, 0x7};
    PHOTOCELL_PARAM photocell{};
    photocell.dwPhotocellType = 2;
    photocell.dwRibbonControl = 1;
    photocell.wRibbonSave = 2;
    SHIFT_OPTIM_PARAM shift{};
    shift.lXShift = -15;
    shift.lLanes = 2;

    DEVMODEW& pub = dev.publicDM;
    kx::Copy(pub.dmDeviceName, CCHDEVICENAME, u"\\\\srv\\KX 4-203");
    pub.dmFields = DM_ORIENTATION | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_COPIES | DM_COLLATE;
    pub.dmPaperLength = 1000;
    pub.dmPaperWidth = 1030;
    pub.dmCopies = 3;
    pub.dmCollate = 1;
    kx::Copy(pub.dmFormName, CCHFORMNAME, u"Label 103 x 100");

    ASSERT_TRUE(kx::OpenJobLogFile(&dev.pdev, hPrinter, 1));
    CLogFile* log = kx::GetJobLogFile(&dev.pdev);
    log->WriteLine(u"[START_JOB]");
    log->Write(u"\t Print File Name    = %s.prn ", dev.files.wcPrnFileName);
    log->WritePrivateDevMode(u"StartJob", &dm);
    log->WriteBarcodeSettings(u"StartJob", barcodes);
    log->WritePrinterInfos(u"SendPrinterParam", hPrinter);
    log->WriteDriverInfos(u"SendPrinterParam", hPrinter);
    log->WritePrinterParam(u"SendPrinterParam", features, &photocell, &shift);
    log->WriteInterfaceParam(u"StartJob", &dev.iface());
    log->WriteLine(u"\r\n [START_DOC]");
    log->WriteLine(u"\r\n [START_PAGE]");
    log->Write(u"%s (i): %s", u"KX Arial", u"Gr\u00FC\u00DFe 42");
    log->WriteLine(u"[END_PAGE]\t kein Bildinhalt vorhanden ...");
    log->WritePublicDevMode(u"END_JOB", &pub);
    log->WriteLine(u"\r\n [END_JOB]");
    log->Write(u"Pages: %d", 1);
    kx::CloseJobLogFile(&dev.pdev);
    plat::ClosePrinter(hPrinter);

    EXPECT_TRUE(MatchesGolden("joblog.log", Read()));
}

TEST_F(LogFile, MissingRecordsWriteHeadingsOnly)
{
    CLogFile log;
    log.Initialize(nullptr, kPrnBase, &dev.iface());
    log.WritePublicDevMode(u"END_DOC", nullptr);
    log.WritePrivateDevMode(nullptr, nullptr);
    log.WriteBarcodeSettings(u"StartJob", nullptr);
    log.WriteInterfaceParam(u"StartJob", nullptr);
    log.WritePrinterParam(u"SendPrinterParam", nullptr, nullptr, nullptr);
    log.WritePrinterInfos(u"SendPrinterParam", nullptr);
    log.WriteDriverInfos(u"SendPrinterParam", nullptr);
    // A public devmode shorter than the current layout: its missing fields.
    DEVMODEW old{};
    old.dmSize = 156;
    old.dmFields = DM_COPIES;
    old.dmCopies = 2;
    log.WritePublicDevMode(u"END_JOB", &old);
    log.Close();
    const char* stamp = ") at: Date: 05.12.2026 Time: 14:30:15,250\r\n";
    std::string text = Read();
    for (const char* heading :
         {"\r\nPublic DEVMODE (application) (END_DOC", "\r\nPrivate DEVMODE (",
          "\r\nBarcode Settings (StartJob", "\r\nInterfaceParameter (StartJob",
          "\r\nPrinterParameter (SendPrinterParam",
          "\r\nPrinter Information[PRINTER_INFO_2] (SendPrinterParam",
          "\r\nDriver Information[DRIVER_INFO_8] (SendPrinterParam"})
        EXPECT_NE(text.find(std::string(heading) + stamp), std::string::npos) << heading;
    EXPECT_NE(text.find("\t GetPrinter Error = 6\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Copies           = 2 - valid\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ICMMethod        = not present\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("FormName         = not present\r\n"), std::string::npos) << text;
}

}  // namespace
