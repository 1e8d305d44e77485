// Version and system information: plug-in version text, driver directory and
// registered version, the Windows version lines, and their failure paths.
#include <gtest/gtest.h>

#include <string>

#include "diag/format.h"
#include "diag/trace.h"
#include "diag/version.h"
#include "platform/platform.h"
#include "settings/regvalues.h"
#include "support/device.h"
#include "support/harness.h"

namespace {

namespace plat = kx::plat;
using kxtest::SimSandbox;
using kxtest::TestDevice;

constexpr char16_t kDriverDir[] = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3";

// A printer and its driver in the simulated spooler.
void AddPrinterWithDriver(const std::u16string& printer, const std::u16string& driverPath = {},
                          std::uint64_t driverVersion = 0)
{
    plat::sim::DriverSetup driver;
    driver.name = u"KX Driver";
    driver.driverPath = driverPath;
    driver.driverVersion = driverVersion;
    plat::sim::AddDriver(driver);
    plat::sim::PrinterSetup setup;
    setup.name = printer;
    setup.driverName = driver.name;
    plat::sim::AddPrinter(setup);
}

plat::VersionInfo Version(WORD a, WORD b, WORD c, WORD d)
{
    plat::VersionInfo v;
    v.fileVersion[0] = a;
    v.fileVersion[1] = b;
    v.fileVersion[2] = c;
    v.fileVersion[3] = d;
    return v;
}

void SetMachineText(const char16_t* name, std::u16string_view text)
{
    std::u16string value(text);
    plat::RegSetValue(plat::Hive::LocalMachine, kx::reg::kCurrentVersionKey, name, plat::kRegSz,
                      value.c_str(), static_cast<std::uint32_t>((value.size() + 1) * 2));
}

class VersionInfo : public ::testing::Test {
protected:
    SimSandbox sandbox;
    TestDevice dev;

    void TearDown() override { kx::trace::Close(); }

    // The render plug-in's file in the driver directory, written now (at
    // the sandbox's clock), named as the installation names it.
    static void InstallRenderPlugin()
    {
        HANDLE h = plat::CreateFile(std::u16string(kDriverDir) + u"\\KXDRVUNI-266.dll",
                                    plat::kGenericWrite, 0, plat::kCreateAlways);
        ASSERT_NE(h, plat::kInvalidHandle);
        plat::CloseHandle(h);
    }
    std::string VersionText() const { return dev.files.szPlugInVersion; }
    std::string TraceText() const
    {
        return SimSandbox::ReadHostFile(sandbox.HostPath(u"C:\\t-print-dbg.txt"));
    }
};

TEST_F(VersionInfo, FixedInfoOfAFile)
{
    plat::sim::SetFileVersion(u"any.dll", Version(2, 66, 3, 17));
    kx::VS_FIXEDFILEINFO ffi{};
    ASSERT_TRUE(kx::GetVersionInfo(u"C:\\x\\ANY.DLL", &ffi));
    EXPECT_EQ(ffi.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(ffi.dwFileVersionMS, 0x00020042u);
    EXPECT_EQ(ffi.dwFileVersionLS, 0x00030011u);

    ASSERT_TRUE(kx::trace::Open(u"C:\\t"));
    EXPECT_FALSE(kx::GetVersionInfo(u"", &ffi));
    EXPECT_FALSE(kx::GetVersionInfo(nullptr, &ffi));
    EXPECT_FALSE(kx::GetVersionInfo(u"C:\\none.dll", &ffi));
    EXPECT_EQ(ffi.dwFileVersionMS, 0u);
    kx::trace::Close();
    std::string trace = TraceText();
    EXPECT_NE(trace.find("ERROR UNI(ZI-Rezaz):  GetVersionInfo() ERROR pszFile ist leer \r"),
              std::string::npos);
    EXPECT_NE(trace.find("ERROR UNI(ZI-Rezaz):  GetVersionInfo() GetFileVersionInfoSize failed, "
                         "error = 1813.\r"),
              std::string::npos)
        << trace;
}

TEST_F(VersionInfo, PluginVersionOfTheSettingsPlugin)
{
    char a[kx::kPluginVersionChars] = "old";
    WCHAR w[kx::kPluginVersionChars] = u"old";
    EXPECT_FALSE(kx::GetPluginVersion(a, kDriverDir, w));
    EXPECT_STREQ(a, "");
    EXPECT_EQ(std::u16string(w), u"");

    plat::sim::SetFileVersion(u"KXDRVUI-266.DLL", Version(2, 66, 3, 17));
    EXPECT_TRUE(kx::GetPluginVersion(a, kDriverDir, w));
    EXPECT_STREQ(a, "2.66.3.17");
    EXPECT_EQ(std::u16string(w), u"2.66.3.17");
    EXPECT_TRUE(kx::GetPluginVersion(a, kDriverDir, nullptr));
}

TEST_F(VersionInfo, VersionTextOfTheJobHeader)
{
    kx::Copy(dev.files.wcDriverDirectory, KX_MAX_PATH, kDriverDir);
    InstallRenderPlugin();

    // No settings plug-in: the text stays empty (the header line has no value).
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(VersionText(), "");

    // Comments and log off: the version alone.
    plat::sim::SetFileVersion(u"KXDRVUI-266.DLL", Version(2, 66, 3, 17));
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(VersionText(), "2.66.3.17");

    // With comments, or with the log, the render plug-in's file time.
    dev.iface().dwPrnFileComment = 1;
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(VersionText(), "2.66.3.17 - 0512.2026.1430");
    dev.iface().dwPrnFileComment = 0;
    dev.settings.bLogFileEnable = 1;
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(VersionText(), "2.66.3.17 - 0512.2026.1430");

    // The widest version.
    plat::sim::SetFileVersion(u"KXDRVUI-266.DLL", Version(65535, 65535, 65535, 65535));
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(VersionText(), "65535.65535.65535.65535 - 0512.2026.1430");

    // Without the render plug-in's file: the version, and a trace.
    ASSERT_TRUE(plat::DeleteFile(std::u16string(kDriverDir) + u"\\KXDRVUNI-266.dll"));
    ASSERT_TRUE(kx::trace::Open(u"C:\\t"));
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    kx::trace::Close();
    EXPECT_EQ(VersionText(), "65535.65535.65535.65535");
    EXPECT_NE(TraceText().find("UNI(ZE-Ruzo-Vovar):  GetDriverVersionInfo(ERROR) 2 - CreateFile - "
                               "Can not open File "),
              std::string::npos)
        << TraceText();
}

TEST_F(VersionInfo, DriverDirectoryWhenTheJobHasNone)
{
    plat::sim::SetFileVersion(u"KXDRVUI-266.DLL", Version(1, 2, 3, 4));
    // No printer to ask: the directory of this module.
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(std::u16string(dev.files.wcDriverDirectory), kDriverDir);
    EXPECT_EQ(VersionText(), "1.2.3.4");

    // With a printer: its driver's directory.
    ASSERT_TRUE(plat::CreateDirectory(u"C:\\drv"));
    AddPrinterWithDriver(u"KX", u"C:\\drv\\KXDRVUNI-266.dll");
    ASSERT_EQ(plat::OpenPrinter(u"KX", &dev.devobj.hPrinter), 0u);
    WCHAR dir[KX_MAX_PATH];
    EXPECT_TRUE(kx::GetDriverPathComplete(dev.devobj.hPrinter, dir));
    EXPECT_EQ(std::u16string(dir), u"C:\\drv");
    dev.files.wcDriverDirectory[0] = 0;
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 1u);
    EXPECT_EQ(std::u16string(dev.files.wcDriverDirectory), u"C:\\drv");
    plat::ClosePrinter(dev.devobj.hPrinter);
    dev.devobj.hPrinter = nullptr;

    EXPECT_FALSE(kx::GetDriverPathComplete(nullptr, dir));
    EXPECT_EQ(std::u16string(dir), u"");

    // Without the names structure there is nothing to fill.
    dev.op.pTreiberPfadDatei = nullptr;
    EXPECT_EQ(kx::GetDriverVersionInfo(dev.dev()), 0u);
    EXPECT_EQ(kx::GetDriverVersionInfo(nullptr), 0u);
}

TEST_F(VersionInfo, RegisteredDriverVersion)
{
    EXPECT_EQ(std::u16string(kx::DriverEnvironmentKey(9)),
              u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\"
              u"Version-3");
    for (WORD arch : {0, 12})
        EXPECT_EQ(std::u16string(kx::DriverEnvironmentKey(arch)),
                  u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\"
                  u"Drivers\\Version-3");

    AddPrinterWithDriver(u"KX", u"", 0x0002004200030011ull);
    HANDLE h = nullptr;
    ASSERT_EQ(plat::OpenPrinter(u"KX", &h), 0u);
    WCHAR version[kx::kSetupVersionChars] = u"x";
    EXPECT_TRUE(kx::GetSetupInformation(h, version));
    EXPECT_EQ(std::u16string(version), u"2.66.3.17");

    // A value longer than 30 bytes is not taken.
    std::u16string key = std::u16string(kx::DriverEnvironmentKey(9)) + u"\\KX Driver";
    std::u16string longText = u"10.100.10000.10000";
    plat::RegSetValue(plat::Hive::LocalMachine, key, u"DriverVersion", plat::kRegSz,
                      longText.c_str(), static_cast<std::uint32_t>((longText.size() + 1) * 2));
    ASSERT_TRUE(kx::trace::Open(u"C:\\t"));
    EXPECT_FALSE(kx::GetSetupInformation(h, version));
    EXPECT_EQ(std::u16string(version), u"");
    plat::ClosePrinter(h);
    EXPECT_FALSE(kx::GetSetupInformation(nullptr, version));
    kx::trace::Close();
    EXPECT_NE(TraceText().find("UNI(ZI-Rezaz):  GetSetupInformation() SHGetValue ERROR 234 \r"),
              std::string::npos)
        << TraceText();
}

TEST_F(VersionInfo, WindowsVersionLines)
{
    char windows[kx::kWindowsTextChars] = "x";
    char version[kx::kWindowsTextChars] = "x";
    // No version resource of the system: nothing.
    EXPECT_EQ(kx::GetWindowsVersion(windows, version), 0u);
    EXPECT_STREQ(windows, "");
    EXPECT_STREQ(version, "");

    // Windows 10 and later: display version and build from the registry.
    plat::sim::SetFileVersion(u"kernel32.dll", Version(10, 0, 19041, 1));
    SetMachineText(kx::reg::kProductName, u"Windows 10 Pro f\u00FCr Workstations");
    SetMachineText(kx::reg::kDisplayVersion, u"22H2");
    SetMachineText(kx::reg::kCurrentBuild, u"19045");
    EXPECT_EQ(kx::GetWindowsVersion(windows, version), 1u);
    EXPECT_STREQ(windows, "Windows 10 Pro f\xFCr Workstations");  // ANSI code page
    EXPECT_STREQ(version, "Version 22H2 (Build 19045)");

    // Without the build value, the resource's build number.
    plat::RegDeleteValue(plat::Hive::LocalMachine, kx::reg::kCurrentVersionKey,
                         kx::reg::kCurrentBuild);
    EXPECT_EQ(kx::GetWindowsVersion(windows, version), 1u);
    EXPECT_STREQ(version, "Version 22H2 (Build 19041)");

    // Before Windows 10: the three numbers.
    plat::sim::SetFileVersion(u"kernel32.dll", Version(6, 1, 7601, 17514));
    SetMachineText(kx::reg::kProductName, u"Windows 7 Professional");
    EXPECT_EQ(kx::GetWindowsVersion(windows, version), 1u);
    EXPECT_STREQ(windows, "Windows 7 Professional");
    EXPECT_STREQ(version, "Version 6.1 (Build 7601)");

    // Small buffers are cut, never overrun.
    char small[8];
    EXPECT_EQ(kx::GetWindowsVersion(small, version, sizeof(small)), 1u);
    EXPECT_STREQ(small, "Windows");
    EXPECT_EQ(kx::GetWindowsVersion(nullptr, version), 0u);
}

}  // namespace
