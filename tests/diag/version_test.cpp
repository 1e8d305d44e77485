// Version and system information: the plug-in version text, the driver
// directory and registered version, the Windows version lines, and what
// their failures leave behind.
#include <gtest/gtest.h>

#include <string>

#include "core/format.h"
#include "core/trace.h"
#include "diag/version.h"
#include "platform/platform.h"
#include "core/regvalues.h"
#include "support/device.h"
#include "support/harness.h"

namespace {

namespace plat = kx::plat;
using kxtest::SimSandbox;

const std::u16string kDriverDir = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3";

void SetVersion(const char16_t* file, WORD a, WORD b, WORD c, WORD d)
{
    plat::VersionInfo v;
    v.fileVersion[0] = a;
    v.fileVersion[1] = b;
    v.fileVersion[2] = c;
    v.fileVersion[3] = d;
    plat::sim::SetFileVersion(file, v);
}

void SetText(const std::u16string& key, const char16_t* name, const std::u16string& text)
{
    plat::RegSetValue(plat::Hive::LocalMachine, key, name, plat::kRegSz, text.c_str(),
                      static_cast<std::uint32_t>((text.size() + 1) * 2));
}

class VersionInfo : public ::testing::Test {
protected:
    SimSandbox sandbox;
    kxtest::TestDevice dev;

    void TearDown() override { kx::trace::Close(); }
    std::string Text() const { return dev.files.szPlugInVersion; }
    std::string TraceText() const
    {
        kx::trace::Close();
        return SimSandbox::ReadHostFile(sandbox.HostPath(u"C:\\t-print-dbg.txt"));
    }
    // A printer whose driver's render module lies at driverPath.
    HANDLE AddPrinter(const std::u16string& driverPath, std::uint64_t driverVersion = 0)
    {
        plat::sim::DriverSetup driver;
        driver.name = u"KX Driver";
        driver.driverPath = driverPath;
        driver.driverVersion = driverVersion;
        plat::sim::AddDriver(driver);
        plat::sim::PrinterSetup printer;
        printer.name = u"KX";
        printer.driverName = driver.name;
        plat::sim::AddPrinter(printer);
        HANDLE h = nullptr;
        EXPECT_EQ(plat::OpenPrinter(u"KX", &h), 0u);
        return h;
    }
};

TEST_F(VersionInfo, PluginVersionText)
{
    ASSERT_TRUE(kx::trace::Open(u"C:\\t"));
    kx::Copy(dev.files.wcDriverDirectory, KX_MAX_PATH, kDriverDir);
    // The render module as the installation spells it; written at the clock.
    plat::CloseHandle(plat::CreateFile(kDriverDir + u"\\KXDRVUNI-266.dll", plat::kGenericWrite, 0,
                                       plat::kCreateAlways));

    // No settings plug-in: empty (the header line then has no value).
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(Text(), "");
    // Comments and log off: the version alone; either on: the file time too.
    SetVersion(u"KXDRVUI-266.DLL", 65535, 66, 3, 17);
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(Text(), "65535.66.3.17");
    dev.iface().dwPrnFileComment = 1;
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(Text(), "65535.66.3.17 - 0512.2026.1430");
    dev.iface().dwPrnFileComment = 0;
    dev.settings.bLogFileEnable = 1;
    ASSERT_TRUE(plat::DeleteFile(kDriverDir + u"\\KXDRVUNI-266.dll"));
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(Text(), "65535.66.3.17");

    char a[kx::kPluginVersionChars];
    WCHAR w[kx::kPluginVersionChars];
    EXPECT_TRUE(kx::GetPluginVersion(a, kDriverDir.c_str(), w));
    EXPECT_EQ(std::u16string(w), u"65535.66.3.17");
    kx::VS_FIXEDFILEINFO ffi;
    EXPECT_FALSE(kx::GetVersionInfo(u"", &ffi));

    std::string trace = TraceText();
    for (const char* line :
         {"UNI(ZE-Ruzo-Vovar):  GetDriverVersionInfo(ERROR) 2 - CreateFile - Can not open File ",
          // the settings plug-in is not there: ERROR_FILE_NOT_FOUND
          "ERROR UNI(ZI-Rezaz):  GetVersionInfo() GetFileVersionInfoSize failed, error = 2.\r",
          "ERROR UNI(ZI-Rezaz):  GetVersionInfo() ERROR pszFile ist leer \r"})
        EXPECT_NE(trace.find(line), std::string::npos) << line;
}

TEST_F(VersionInfo, DriverDirectoryWhenTheJobHasNone)
{
    SetVersion(u"KXDRVUI-266.DLL", 1, 2, 3, 4);
    // No printer to ask: the directory of this module.
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(std::u16string(dev.files.wcDriverDirectory), kDriverDir);
    EXPECT_EQ(Text(), "1.2.3.4");
    // With a printer: its driver's directory.
    dev.devobj.hPrinter = AddPrinter(u"C:\\drv\\KXDRVUNI-266.dll");
    dev.files.wcDriverDirectory[0] = 0;
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(std::u16string(dev.files.wcDriverDirectory), u"C:\\drv");
    plat::ClosePrinter(dev.devobj.hPrinter);
    WCHAR dir[KX_MAX_PATH] = u"x";
    EXPECT_FALSE(kx::GetDriverPathComplete(nullptr, dir));
    EXPECT_EQ(std::u16string(dir), u"");
    // Without the names structure there is nothing to fill.
    dev.op.pTreiberPfadDatei = nullptr;
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 0u);
    EXPECT_EQ(kx::GetDriverVersionInfo(nullptr), 0u);
}

TEST_F(VersionInfo, RegisteredDriverVersion)
{
    std::u16string x64 = kx::DriverEnvironmentKey(9);
    EXPECT_EQ(x64,
              u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\"
              u"Drivers\\Version-3");
    for (WORD arch : {0, 12})
        EXPECT_EQ(std::u16string(kx::DriverEnvironmentKey(arch)),
                  u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\"
                  u"Drivers\\Version-3");

    HANDLE h = AddPrinter(u"", 0x0002004200030011ull);
    WCHAR version[kx::kSetupVersionChars] = u"x";
    EXPECT_TRUE(kx::GetSetupInformation(h, version));
    EXPECT_EQ(std::u16string(version), u"2.66.3.17");
    // A value longer than 30 bytes is not taken.
    ASSERT_TRUE(kx::trace::Open(u"C:\\t"));
    SetText(x64 + u"\\KX Driver", u"DriverVersion", u"10.100.10000.10000");
    EXPECT_FALSE(kx::GetSetupInformation(h, version));
    EXPECT_EQ(std::u16string(version), u"");
    EXPECT_NE(TraceText().find("UNI(ZI-Rezaz):  GetSetupInformation() SHGetValue ERROR 234 \r"),
              std::string::npos);
    plat::ClosePrinter(h);
    EXPECT_FALSE(kx::GetSetupInformation(nullptr, version));
}

TEST_F(VersionInfo, WindowsVersionLines)
{
    char windows[kx::kWindowsTextChars] = "x";
    char version[kx::kWindowsTextChars] = "x";
    EXPECT_EQ(kx::GetWindowsVersion(windows, version), 0u);  // no version resource
    EXPECT_STREQ(windows, "");
    EXPECT_STREQ(version, "");

    const std::u16string key = kx::reg::kCurrentVersionKey;
    SetVersion(u"kernel32.dll", 10, 0, 19041, 1);
    SetText(key, kx::reg::kProductName, u"Windows 10 Pro f\u00FCr Workstations");
    SetText(key, kx::reg::kDisplayVersion, u"22H2");
    SetText(key, kx::reg::kCurrentBuild, u"19045");
    EXPECT_EQ(kx::GetWindowsVersion(windows, version), 1u);
    EXPECT_STREQ(windows, "Windows 10 Pro f\xFCr Workstations");  // ANSI code page
    EXPECT_STREQ(version, "Version 22H2 (Build 19045)");
    // Without the build value, the build number of the version resource.
    plat::RegDeleteValue(plat::Hive::LocalMachine, key, kx::reg::kCurrentBuild);
    EXPECT_EQ(kx::GetWindowsVersion(windows, version), 1u);
    EXPECT_STREQ(version, "Version 22H2 (Build 19041)");
    // Before Windows 10: the three numbers. Short buffers are cut.
    SetVersion(u"kernel32.dll", 6, 1, 7601, 17514);
    char small[8];
    EXPECT_EQ(kx::GetWindowsVersion(small, version, sizeof(small)), 1u);
    EXPECT_STREQ(small, "Windows");
    EXPECT_STREQ(version, "Version 6.1 (Build 7601)");
}

}  // namespace
