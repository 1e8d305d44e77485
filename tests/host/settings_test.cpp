// The settings writer with the real plug-in module: the devmode built on the
// plug-in's own defaults, and the records stored where the plug-in reads
// them, read back through the simulated Windows.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "core/devmode.h"
#include "core/prn_interface.h"
#include "host_fixture.h"
#include "platform/platform.h"

namespace kxhosttest {
namespace {

using nlohmann::json;
namespace plat = kx::plat;
using Bytes = std::vector<std::uint8_t>;

const char16_t kUserKey[] = u"SOFTWARE\\Orvane\\Driver\\Label 1";

Bytes UserValue(std::u16string_view key, std::u16string_view name)
{
    std::uint32_t size = 0;
    if (plat::RegGetValue(plat::Hive::CurrentUser, key, name, nullptr, nullptr, &size) != 0)
        return {};
    Bytes b(size);
    plat::RegGetValue(plat::Hive::CurrentUser, key, name, nullptr, b.data(), &size);
    return b;
}

Bytes PrinterData(std::u16string_view printer, std::u16string_view name)
{
    plat::Handle h = nullptr;
    if (plat::OpenPrinter(printer, &h) != 0) return {};
    std::uint32_t size = 0;
    plat::GetPrinterData(h, name, nullptr, nullptr, 0, &size);
    Bytes b(size);
    std::uint32_t rc = plat::GetPrinterData(h, name, nullptr, b.data(), size, &size);
    plat::ClosePrinter(h);
    return rc == 0 ? b : Bytes{};
}

template <class T>
T Record(const Bytes& b)
{
    T r{};
    EXPECT_EQ(b.size(), sizeof(T));
    std::memcpy(&r, b.data(), std::min(b.size(), sizeof(T)));
    return r;
}

class Settings : public HostTest {
protected:
    json Job()
    {
        json job = BaseJob();
        job["printer"]["name"] = "Label 1";
        job["printer"]["settings"] = (kExamples / "settings" / "shipping-403x.xml").string();
        job["files"] = {{"C:\\ProgramData\\Orvane\\Log\\", ""}};
        job["public_devmode"] = {{"dmPaperWidth", 1000}, {"dmPaperLength", 1500}};
        job["events"] = {{{"call", "CommandCallback"}, {"id", "CR"}}};
        return job;
    }
};

TEST_F(Settings, PrivateDevmodeOnThePluginsDefaults)
{
    json job = Job();
    job["devmode"] = {{"dwGap", 35}, {"wKopieProSeite", {4}}};
    kxhost::RunReport r = RunReal(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];

    KX_DEVMODE dm = Record<KX_DEVMODE>(PrinterData(u"Label 1", u"PrivateDevmode"));
    // The plug-in's defaults...
    EXPECT_EQ(dm.dwSignature, KX_SIGNATURE);
    EXPECT_EQ(dm.wKopieProSeite[1], 1);
    EXPECT_EQ(dm.wSkalierung, 100);
    EXPECT_EQ(dm.szPrintOrder[0], u'1');
    // ... the model data of the GPD (the settings file has no Printer section)...
    EXPECT_EQ(dm.FixedData.dwHeadWidthByte, 154u);
    EXPECT_EQ(dm.FixedData.wMasterUnit, 300);
    EXPECT_EQ(dm.FixedData.lMaxSizeX, 1232u);
    EXPECT_EQ(dm.FixedData.lMaxSizeY, 11811u);
    EXPECT_EQ(dm.FixedData.bQuality, 1u);
    // ... the label size, the job's values and the marker of a current record.
    EXPECT_EQ(dm.dmPaperWidth, 1000);
    EXPECT_EQ(dm.dmPaperLength, 1500);
    EXPECT_EQ(dm.dmPaperSize, 256u);
    EXPECT_EQ(dm.dwGap, 35u);
    EXPECT_EQ(dm.wKopieProSeite[0], 4);
    EXPECT_TRUE(HasValidMarker(dm));
    EXPECT_EQ(dm.w9999, 0x9999);
    EXPECT_EQ(dm.wVersion, KX_DEVMODE_VERSION);

    // The user's saved DEVMODE ends in the same private record.
    Bytes whole = UserValue(u"Printers\\DevModes2", u"Label 1");
    ASSERT_EQ(whole.size(), sizeof(DEVMODEW) + sizeof(KX_DEVMODE));
    DEVMODEW pub;
    std::memcpy(&pub, whole.data(), sizeof(pub));
    EXPECT_EQ(pub.dmSize + pub.dmDriverExtra, whole.size());
    EXPECT_EQ(std::memcmp(whole.data() + sizeof(DEVMODEW), &dm, sizeof(dm)), 0);
}

TEST_F(Settings, InterfaceAndFeaturesFromTheSettingsFileAndTheJob)
{
    json job = Job();
    job["interface"] = {{"Compression", 0}, {"DebugFile", 2}};
    job["features"] = {{"Interface", {{"Extended_Prot", 0}}}, {"Scanner", {{"Mode", 1}}}};
    job["printer_options"] = {1, 2, 3};
    job["barcodes_2d"] = "0a0b";
    job["registry"] = {{"user", {{"NumStartValue", 41}}}, {"machine", {{"VectorFontMax", 400}}}};
    kxhost::RunReport r = RunReal(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);

    for (const Bytes& stored :
         {UserValue(kUserKey, u"PrinterInterface"), PrinterData(u"Label 1", u"PrinterInterface")}) {
        PRN_INTERFACE pi = Record<PRN_INTERFACE>(stored);
        EXPECT_EQ(pi.bCompress, 0u);  // the job's
        EXPECT_EQ(pi.dwDebugFile, 2u);
        EXPECT_EQ(pi.dwSohEtb, 1u);  // the settings file's
        EXPECT_EQ(pi.dwPrnFileComment, 1u);
        EXPECT_EQ(pi.dwDatenspeicher, 3u);
        EXPECT_EQ(std::u16string(pi.wcLogFilePath), u"C:\\ProgramData\\Orvane\\Log");
        EXPECT_EQ(pi.wPreviewWidth, 500);
    }
    Bytes features = PrinterData(u"Label 1", u"SuppFeatures");
    ASSERT_EQ(features.size(), 48u);
    DWORD f[12];
    std::memcpy(f, features.data(), sizeof(f));
    EXPECT_EQ(f[0], 0x11Du);  // Compression, Queue_Job, Jobname, Codepage, Extended_Codepage
    EXPECT_EQ(f[1], 0x1Fu);
    EXPECT_EQ(f[4], 0x1u);
    EXPECT_EQ(f[5], 0x1u);  // the job's scanner
    EXPECT_TRUE(UserValue(kUserKey, u"SuppFeatures").empty());

    EXPECT_EQ(UserValue(kUserKey, u"PrinterOptions"),
              (Bytes{1, 0, 2, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    Bytes bc2 = PrinterData(u"Label 1", u"BarCodes2D");
    ASSERT_EQ(bc2.size(), 300u);
    EXPECT_EQ(bc2[0], 0x0A);
    EXPECT_EQ(bc2[1], 0x0B);
    EXPECT_EQ(UserValue(kUserKey, u"BarCodes1D").size(), 824u);
    DEVMODE_FTKN ftkn = Record<DEVMODE_FTKN>(UserValue(kUserKey, u"DevmodeFtkn"));
    EXPECT_EQ(ftkn.dwDocFeatures, 0x2155Eu);  // the model's
    EXPECT_EQ(UserValue(kUserKey, u"NumStartValue"), (Bytes{41, 0, 0, 0}));
    EXPECT_EQ(PrinterData(u"Label 1", u"VectorFontMax"), (Bytes{0x90, 0x01, 0, 0}));
}

TEST_F(Settings, InstalledVersionsReachThePrintFileHeader)
{
    json job = Job();
    job.erase("events");
    job["pages"] = {{{"image", WritePbm("p.pbm", 8, 2, {}).string()}}};
    job["printer"]["driver_version"] = "2.66.3.1";
    job["environment"]["windows_build"] = 19045;
    kxhost::RunReport r = RunReal(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    std::ifstream in(dir_ / "root" / "c" / "ProgramData" / "Orvane" / "Log" / "Label 1.prn",
                     std::ios::binary);
    std::stringstream print;
    print << in.rdbuf();
    // The settings module's version, the render module's file time (the
    // fixed clock when it was installed), the system's name and version.
    EXPECT_NE(print.str().find("// PlugIn-Version: 2.66.3.1 - 0201.2025.0304\r\n"
                               "// OS-Version: Windows 10 Pro\r\n"
                               "//             Version 22H2 (Build 19045)\r\n"),
              std::string::npos)
        << print.str().substr(0, 300);
}

TEST_F(Settings, OneStoreOnlyAndNoSavedDevmodes)
{
    json job = Job();
    job["printer"]["settings_store"] = "machine";
    job["printer"]["store_devmode"] = false;
    job["devmode_marker"] = "none";
    kxhost::RunReport r = RunReal(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    EXPECT_TRUE(UserValue(kUserKey, u"PrinterInterface").empty());
    EXPECT_EQ(PrinterData(u"Label 1", u"PrinterInterface").size(), sizeof(PRN_INTERFACE));
    EXPECT_TRUE(PrinterData(u"Label 1", u"PrivateDevmode").empty());
    EXPECT_TRUE(UserValue(u"Printers\\DevModes2", u"Label 1").empty());
}

TEST_F(Settings, ServerPrinterKeysOneLevelDeeper)
{
    json job = Job();
    job["printer"]["name"] = "\\\\srv\\Label 1";
    kxhost::RunReport r = RunReal(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    EXPECT_EQ(UserValue(u"SOFTWARE\\Orvane\\Driver\\srv\\Label 1", u"PrinterInterface").size(),
              sizeof(PRN_INTERFACE));
    EXPECT_EQ(PrinterData(u"\\\\srv\\Label 1", u"PrinterInterface").size(), sizeof(PRN_INTERFACE));
}

TEST_F(Settings, ModelDataFromTheSettingsFileBeforeTheGpd)
{
    json job = Job();
    job["printer"]["model"] = "Vela 402";
    job["printer"]["settings"] = (kExamples / "settings" / "printer-settings.xml").string();
    kxhost::RunReport r = RunReal(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    EXPECT_EQ(r.model.dpi, 203);
    EXPECT_EQ(r.model.headDots, 832u);
    EXPECT_EQ(r.model.maxX, 832u);
    EXPECT_EQ(r.model.maxY, 20000u);
}

}  // namespace
}  // namespace kxhosttest
