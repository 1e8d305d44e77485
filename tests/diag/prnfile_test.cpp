// Print-file names: the directory choice, time stamps and "-n" retries,
// tidying oldest-first, and the refusals (no directory, full disk).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/format.h"
#include "diag/prnfile.h"
#include "platform/platform.h"
#include "support/harness.h"

namespace {

namespace plat = kx::plat;
using kxtest::SimSandbox;

const std::u16string kStamp = u"-05122026-143015-250";  // the sandbox's clock
const std::u16string kOwnDir = u"C:\\Users\\user\\Documents\\Orvane\\Driver\\logfiles";

std::u16string Num(int n)
{
    return kx::Utf8ToUtf16(std::to_string(n));
}

class PrnFileName : public ::testing::Test {
protected:
    SimSandbox sandbox;
    PRN_INTERFACE pi{};
    DWORD bRetval = 7;

    void SetUp() override
    {
        pi.bLogFileTimeStamp = 1;
        pi.dwLogFilesCount = 50;
        SetLogPath(u"C:\\logs");
        ASSERT_TRUE(plat::CreateDirectory(u"C:\\logs"));
    }
    void SetLogPath(std::u16string_view path) { kx::Copy(pi.wcLogFilePath, PRN_PATH_CHARS, path); }
    std::u16string Name(const char16_t* ext, DWORD bTidy = 0, bool withSettings = true,
                        const char16_t* printer = u"Label")
    {
        return kx::GetPrnFileName(nullptr, ext, printer, bTidy, withSettings ? &pi : nullptr,
                                  &bRetval);
    }
    // Files <prefix>01.. in dir, a minute apart on the given day of January
    // (their last-write times); the clock is set back afterwards.
    static void Fill(const std::u16string& dir, int count, const char16_t* prefix = u"f",
                     WORD day = 1)
    {
        for (int i = 1; i <= count; ++i) {
            plat::sim::SetClock({2026, 1, 0, day, 8, WORD(i), 0, 0});
            char16_t name[16];
            kx::Format(name, u"\\%s%02d.prn", prefix, i);
            plat::CloseHandle(
                plat::CreateFile(dir + name, plat::kGenericWrite, 0, plat::kCreateAlways));
        }
        plat::sim::SetClock({2026, 12, 0, 5, 14, 30, 15, 250});
    }
    static void Touch(const std::u16string& path)
    {
        plat::CloseHandle(plat::CreateFile(path, plat::kGenericWrite, 0, plat::kCreateAlways));
    }
    static std::vector<std::u16string> Listing(const std::u16string& dir)
    {
        std::vector<plat::FindData> found;
        plat::FindFiles(dir + u"\\*.*", &found);
        std::vector<std::u16string> names;
        for (const auto& fd : found) names.push_back(fd.name);
        return names;
    }
};

TEST_F(PrnFileName, TimeStampedNames)
{
    EXPECT_EQ(Name(u".log", 0, true, u"\\\\server\\Label:1/A"),
              u"C:\\logs\\Label_1_A" + kStamp + u".log");
    EXPECT_EQ(bRetval, 1u);
    // The job start's call: no extension; a final backslash is not doubled.
    SetLogPath(u"C:\\logs\\");
    EXPECT_EQ(Name(u"", 1), u"C:\\logs\\Label" + kStamp);
    // The name from the printer handle; without one a stand-in.
    plat::sim::DriverSetup driver;
    driver.name = u"KX Driver";
    plat::sim::AddDriver(driver);
    plat::sim::PrinterSetup printer;
    printer.name = u"KX 4/203";
    printer.driverName = driver.name;
    plat::sim::AddPrinter(printer);
    HANDLE h = nullptr;
    ASSERT_EQ(plat::OpenPrinter(u"KX 4/203", &h), 0u);
    EXPECT_EQ(kx::GetPrnFileName(h, u".log", nullptr, 0, &pi, nullptr),
              u"C:\\logs\\KX 4_203" + kStamp + u".log");
    plat::ClosePrinter(h);
    EXPECT_EQ(Name(u".log", 0, true, nullptr), u"C:\\logs\\Dummy-Printer" + kStamp + u".log");
    EXPECT_EQ(bRetval, 1u);
    // Parts the directory already holds are not repeated.
    ASSERT_TRUE(plat::CreateDirectory(u"C:\\Label.log"));
    SetLogPath(u"C:\\Label.log");
    EXPECT_EQ(Name(u".log"), u"C:\\Label.log\\" + kStamp);
    // Without time stamps the printer's name alone, used again and again.
    SetLogPath(u"C:\\logs");
    pi.bLogFileTimeStamp = 0;
    Touch(u"C:\\logs\\Label.log");
    EXPECT_EQ(Name(u".log"), u"C:\\logs\\Label.log");
}

TEST_F(PrnFileName, CollisionsGetAccumulatingNumbers)
{
    std::u16string base = u"C:\\logs\\Label" + kStamp;
    Touch(base + u".log");
    EXPECT_EQ(Name(u".log"), base + u"-0.log");
    // -0 taken too: -0-1; all twenty taken: the last is returned anyway.
    std::u16string last = base + u"-0";
    Touch(last + u".log");
    EXPECT_EQ(Name(u".log"), base + u"-0-1.log");
    for (int n = 1; n < 20; ++n) {
        last += u"-" + Num(n);
        Touch(last + u".log");
    }
    EXPECT_EQ(Name(u".log"), last + u".log");
    EXPECT_EQ(bRetval, 1u);
}

TEST_F(PrnFileName, DirectoryChoice)
{
    // A missing directory is created; one that cannot be (its parent is
    // missing) is replaced, in the settings too, by the per-user directory.
    SetLogPath(u"C:\\new");
    EXPECT_EQ(Name(u".log"), u"C:\\new\\Label" + kStamp + u".log");
    SetLogPath(u"C:\\missing\\deeper");
    std::u16string own = kOwnDir + u"\\Label" + kStamp + u".log";
    EXPECT_EQ(Name(u".log"), own);
    EXPECT_EQ(std::u16string(pi.wcLogFilePath), kOwnDir);
    // No path, a path without a backslash, no settings: the per-user directory.
    for (const char16_t* path : {u"", u"logs"}) {
        SetLogPath(path);
        EXPECT_EQ(Name(u".log"), own);
    }
    EXPECT_EQ(Name(u".log", 0, false), own);
    // Another user's documents are not filled (the setting stays); the
    // user's own are.
    std::filesystem::create_directories(sandbox.HostPath(u"C:\\Users\\other\\Documents"));
    SetLogPath(u"C:\\Users\\other\\Documents");
    EXPECT_EQ(Name(u".log"), own);
    EXPECT_EQ(std::u16string(pi.wcLogFilePath), u"C:\\Users\\other\\Documents");
    EXPECT_FALSE(kx::IsFremdeEigeneDateien(u"C:\\Users\\user\\Documents"));
    EXPECT_FALSE(kx::IsFremdeEigeneDateien(u"C:\\logs"));
}

TEST_F(PrnFileName, NoDirectoryAtAll)
{
    WCHAR dir[kx::kPrnFileNameChars];
    std::filesystem::remove_all(sandbox.HostPath(u"C:\\Users\\user\\Documents"));
    kx::GetMyDocDriverDirectory(dir);
    EXPECT_EQ(std::u16string(dir), u"C:\\logfiles");
    EXPECT_TRUE(plat::IsDirectory(u"C:\\logfiles"));
    // A service account's documents lie below Windows\system32.
    plat::sim::Config cfg = plat::sim::Current();
    cfg.userName = u"svc\\WINDOWS\\system32\\config";
    plat::sim::Configure(cfg);
    kx::GetMyDocDriverDirectory(dir);
    EXPECT_EQ(std::u16string(dir), u"");
    EXPECT_EQ(Name(u".log", 1, false), kx::kPrnFileNameNoDirectory);
    EXPECT_EQ(bRetval, 0u);
}

TEST_F(PrnFileName, TidyingDeletesTheOldestFilesFirst)
{
    Fill(u"C:\\logs", 12);
    ASSERT_TRUE(plat::CreateDirectory(u"C:\\logs\\sub"));  // counted, never deleted
    pi.dwLogFilesCount = 10;
    Name(u"", 0);  // only with the tidy flag
    EXPECT_EQ(Listing(u"C:\\logs").size(), 13u);
    // 13 entries, limit 10: the four oldest go.
    Name(u"", 1);
    EXPECT_EQ(bRetval, 1u);
    std::vector<std::u16string> expected = {u"f05.prn", u"f06.prn", u"f07.prn",
                                            u"f08.prn", u"f09.prn", u"f10.prn",
                                            u"f11.prn", u"f12.prn", u"sub"};
    EXPECT_EQ(Listing(u"C:\\logs"), expected);

    // A limit below 10 deletes nothing, and the count above it refuses the file.
    Fill(u"C:\\logs", 12);
    pi.dwLogFilesCount = 9;
    Name(u"", 1);
    EXPECT_EQ(bRetval, 0u);
    EXPECT_EQ(Listing(u"C:\\logs").size(), 13u);
    // Without time stamps nothing is tidied.
    pi.dwLogFilesCount = 10;
    pi.bLogFileTimeStamp = 0;
    Name(u"", 1);
    EXPECT_EQ(Listing(u"C:\\logs").size(), 13u);
}

TEST_F(PrnFileName, DriveRootsAndTheProfile)
{
    Fill(u"C:", 12);
    Fill(u"C:\\Users\\user", 12);
    std::size_t rootBefore = Listing(u"C:").size();
    std::size_t profileBefore = Listing(u"C:\\Users\\user").size();
    pi.dwLogFilesCount = 10;
    for (const char16_t* path : {u"c:\\", u"C:\\Users\\user", u"C:\\Users\\user\\"}) {
        SetLogPath(path);
        Name(u"", 1);
    }
    EXPECT_EQ(Listing(u"C:").size(), rootBefore);
    EXPECT_EQ(Listing(u"C:\\Users\\user").size(), profileBefore);
    SetLogPath(u"C:\\");  // only the exact lower-case roots are spared
    Name(u"", 1);
    EXPECT_EQ(Listing(u"C:").size(), 9u);
}

TEST_F(PrnFileName, FilesThatCannotBeDeleted)
{
    Fill(u"C:\\logs", 12);
    // The two oldest are held open without delete sharing.
    HANDLE h1 = plat::CreateFile(u"C:\\logs\\f01.prn", plat::kGenericRead, 0, plat::kOpenExisting);
    HANDLE h2 = plat::CreateFile(u"C:\\logs\\f02.prn", plat::kGenericRead, 0, plat::kOpenExisting);
    // 12 entries, limit 10: three passes fail on the locked files in turn.
    DWORD dwCount = 0;
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\logs", 10, &dwCount), 1u);
    EXPECT_EQ(dwCount, 12u);
    pi.dwLogFilesCount = 10;
    Name(u"", 1);
    EXPECT_EQ(bRetval, 0u);
    // Ten failures end the tidying with a failure; the newer files stay.
    Fill(u"C:\\logs", 30, u"g", 2);
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\logs\\", 10, &dwCount), 0u);
    EXPECT_EQ(dwCount, 42u);
    plat::CloseHandle(h1);
    plat::CloseHandle(h2);

    // Directories that cannot be listed; an empty one counts 0.
    for (const char16_t* dir : {u"C:\\nowhere", u"", u"C:\\logs\\f03.prn"})
        EXPECT_EQ(kx::GetFileCountInDirectory(dir, 10, &dwCount), 0u);
    EXPECT_EQ(kx::GetFileCountInDirectory(nullptr, 10, nullptr), 0u);
    ASSERT_TRUE(plat::CreateDirectory(u"C:\\empty"));
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\empty", 10, &dwCount), 1u);
    EXPECT_EQ(dwCount, 0u);
}

TEST_F(PrnFileName, NearlyFullDiskRefusesTheName)
{
    plat::sim::Config cfg = plat::sim::Current();
    for (std::uint64_t free : {kx::kMinFreeBytes, kx::kMinFreeBytes + 1, std::uint64_t(5) << 30}) {
        cfg.freeBytes = free;
        plat::sim::Configure(cfg);
        bool bFull = free <= kx::kMinFreeBytes;
        EXPECT_EQ(Name(u".log"), bFull ? u" " : u"C:\\logs\\Label" + kStamp + u".log");
        EXPECT_EQ(bRetval, bFull ? 0u : 1u);
    }
    // Without settings there is no check.
    cfg.freeBytes = 0;
    plat::sim::Configure(cfg);
    EXPECT_EQ(Name(u".log", 0, false), kOwnDir + u"\\Label" + kStamp + u".log");
    EXPECT_EQ(bRetval, 1u);
}

}  // namespace
