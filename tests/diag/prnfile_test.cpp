// Print-file names: the directory choice, time stamps and "-n" retries,
// tidying oldest-first, and the refusals (no directory, full disk).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "diag/format.h"
#include "diag/prnfile.h"
#include "diag/trace.h"
#include "platform/platform.h"
#include "support/harness.h"

namespace {

namespace fs = std::filesystem;
namespace plat = kx::plat;
using kxtest::SimSandbox;

constexpr char16_t kStamp[] = u"-05122026-143015-250";  // the sandbox's clock
constexpr char16_t kOwnDir[] = u"C:\\Users\\user\\Documents\\Orvane\\Driver\\logfiles";

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

class PrnFileName : public ::testing::Test {
protected:
    SimSandbox sandbox;
    PRN_INTERFACE pi{};

    void SetUp() override
    {
        pi.bLogFileTimeStamp = 1;
        pi.dwLogFilesCount = 50;
        SetLogPath(u"C:\\logs");
        ASSERT_TRUE(plat::CreateDirectory(u"C:\\logs"));
    }
    void SetLogPath(std::u16string_view path) { kx::Copy(pi.wcLogFilePath, PRN_PATH_CHARS, path); }
    std::u16string LogPath() const { return pi.wcLogFilePath; }

    // GetPrnFileName with the usual arguments; the answer copied.
    std::u16string Name(const char16_t* ext, DWORD bTidy = 0, PRN_INTERFACE* p = nullptr,
                        const char16_t* printer = u"Label", DWORD* pbRetval = nullptr)
    {
        DWORD bRetval = 7;
        std::u16string name = kx::GetPrnFileName(nullptr, ext, printer, bTidy, p, &bRetval);
        if (pbRetval) *pbRetval = bRetval;
        return name;
    }

    // A file written at the given day of January (its last-write time).
    static void WriteFileAt(const std::u16string& path, WORD day, WORD minute = 0)
    {
        plat::sim::SetClock({2026, 1, 0, day, 8, minute, 0, 0});
        HANDLE h = plat::CreateFile(path, plat::kGenericWrite, 0, plat::kCreateAlways);
        ASSERT_NE(h, plat::kInvalidHandle) << kx::Utf16ToUtf8(path);
        std::uint32_t n = 0;
        plat::WriteFile(h, "x", 1, &n);
        plat::CloseHandle(h);
    }
    static void RestoreClock() { plat::sim::SetClock({2026, 12, 0, 5, 14, 30, 15, 250}); }

    // Files "f01.prn".."fNN.prn" in dir, f01 the oldest, written on the
    // given day of January, a minute apart.
    static void FillDirectory(const std::u16string& dir, int count, const char16_t* prefix = u"f",
                              WORD day = 1)
    {
        for (int i = 1; i <= count; ++i) {
            char16_t name[16];
            kx::Format(name, u"\\%s%02d.prn", prefix, i);
            WriteFileAt(dir + name, day, static_cast<WORD>(i));
        }
        RestoreClock();
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

TEST_F(PrnFileName, TimeStampedNameInTheChosenDirectory)
{
    DWORD bRetval = 0;
    EXPECT_EQ(Name(u".log", 0, &pi, u"\\\\server\\Label:1/A", &bRetval),
              std::u16string(u"C:\\logs\\Label_1_A") + kStamp + u".log");
    EXPECT_EQ(bRetval, 1u);
    // The job start's call: no extension; a final backslash is not doubled.
    SetLogPath(u"C:\\logs\\");
    EXPECT_EQ(Name(u"", 1, &pi), std::u16string(u"C:\\logs\\Label") + kStamp);
    // Without time stamps the name is the printer's alone.
    pi.bLogFileTimeStamp = 0;
    EXPECT_EQ(Name(u".log", 0, &pi), u"C:\\logs\\Label.log");
    // Parts already in the directory's name are not repeated.
    pi.bLogFileTimeStamp = 1;
    ASSERT_TRUE(plat::CreateDirectory(u"C:\\Label.log"));
    SetLogPath(u"C:\\Label.log");
    EXPECT_EQ(Name(u".log", 0, &pi), std::u16string(u"C:\\Label.log\\") + kStamp);
}

TEST_F(PrnFileName, PrinterNameFromTheHandle)
{
    AddPrinterWithDriver(u"KX 4/203");
    HANDLE h = nullptr;
    ASSERT_EQ(plat::OpenPrinter(u"KX 4/203", &h), 0u);
    EXPECT_EQ(kx::GetPrnFileName(h, u".log", nullptr, 0, &pi, nullptr),
              std::u16string(u"C:\\logs\\KX 4_203") + kStamp + u".log");
    plat::ClosePrinter(h);
    // No name and no printer: a stand-in name, and the job goes on.
    DWORD bRetval = 0;
    EXPECT_EQ(Name(u".log", 0, &pi, nullptr, &bRetval),
              std::u16string(u"C:\\logs\\Dummy-Printer") + kStamp + u".log");
    EXPECT_EQ(bRetval, 1u);
}

TEST_F(PrnFileName, CollisionsGetAccumulatingNumbers)
{
    std::u16string base = std::u16string(u"C:\\logs\\Label") + kStamp;
    WriteFileAt(base + u".log", 1);
    RestoreClock();
    EXPECT_EQ(Name(u".log", 0, &pi), base + u"-0.log");
    WriteFileAt(base + u"-0.log", 1);
    RestoreClock();
    EXPECT_EQ(Name(u".log", 0, &pi), base + u"-0-1.log");

    // Twenty tries at most; the last candidate is returned although it exists.
    std::u16string last = base + u"-0";
    for (int n = 1; n < 20; ++n) {
        last += u"-" + kx::Utf8ToUtf16(std::to_string(n));
        WriteFileAt(last + u".log", 1);
    }
    RestoreClock();
    DWORD bRetval = 0;
    EXPECT_EQ(Name(u".log", 0, &pi, u"Label", &bRetval), last + u".log");
    EXPECT_EQ(bRetval, 1u);

    // Without time stamps an existing name is simply used again.
    pi.bLogFileTimeStamp = 0;
    WriteFileAt(u"C:\\logs\\Label.log", 1);
    EXPECT_EQ(Name(u".log", 0, &pi), u"C:\\logs\\Label.log");
}

TEST_F(PrnFileName, DirectoryChoice)
{
    // A missing directory is created.
    SetLogPath(u"C:\\new");
    EXPECT_EQ(Name(u".log", 0, &pi), std::u16string(u"C:\\new\\Label") + kStamp + u".log");
    EXPECT_TRUE(plat::IsDirectory(u"C:\\new"));

    // One that cannot be created (its parent is missing) is replaced, in the
    // settings too, by the per-user directory, which is created as needed.
    SetLogPath(u"C:\\missing\\deeper");
    EXPECT_EQ(Name(u".log", 0, &pi), std::u16string(kOwnDir) + u"\\Label" + kStamp + u".log");
    EXPECT_EQ(LogPath(), kOwnDir);
    EXPECT_TRUE(plat::IsDirectory(kOwnDir));

    // No path, or one without a backslash, or no settings: the per-user
    // directory.
    std::u16string own = std::u16string(kOwnDir) + u"\\Label" + kStamp + u".log";
    SetLogPath(u"");
    EXPECT_EQ(Name(u".log", 0, &pi), own);
    SetLogPath(u"logs");
    EXPECT_EQ(Name(u".log", 0, &pi), own);
    EXPECT_EQ(Name(u".log"), own);

    // Another user's documents are not filled; the setting stays.
    fs::create_directories(sandbox.HostPath(u"C:\\Users\\other\\Documents"));
    SetLogPath(u"C:\\Users\\other\\Documents");
    EXPECT_TRUE(kx::IsFremdeEigeneDateien(pi.wcLogFilePath));
    EXPECT_EQ(Name(u".log", 0, &pi), own);
    EXPECT_EQ(LogPath(), u"C:\\Users\\other\\Documents");
    // The user's own documents are.
    SetLogPath(u"C:\\Users\\user\\Documents");
    EXPECT_FALSE(kx::IsFremdeEigeneDateien(pi.wcLogFilePath));
    EXPECT_EQ(Name(u".log", 0, &pi),
              std::u16string(u"C:\\Users\\user\\Documents\\Label") + kStamp + u".log");
    EXPECT_FALSE(kx::IsFremdeEigeneDateien(u"C:\\logs"));
}

TEST_F(PrnFileName, FallbackDirectoryWithoutDocuments)
{
    WCHAR dir[kx::kPrnFileNameChars];
    fs::remove_all(sandbox.HostPath(u"C:\\Users\\user\\Documents"));
    kx::GetMyDocDriverDirectory(dir);
    EXPECT_EQ(std::u16string(dir), u"C:\\logfiles");
    EXPECT_TRUE(plat::IsDirectory(u"C:\\logfiles"));

    // A service account's documents lie below Windows\system32: no
    // directory at all, and the fixed refusal.
    plat::sim::Config cfg = plat::sim::Current();
    cfg.userName = u"svc\\WINDOWS\\system32\\config";
    plat::sim::Configure(cfg);
    kx::GetMyDocDriverDirectory(dir);
    EXPECT_EQ(std::u16string(dir), u"");
    DWORD bRetval = 1;
    EXPECT_EQ(Name(u".log", 1, nullptr, u"Label", &bRetval), kx::kPrnFileNameNoDirectory);
    EXPECT_EQ(bRetval, 0u);
}

TEST_F(PrnFileName, TidyingDeletesTheOldestFirst)
{
    FillDirectory(u"C:\\logs", 12);
    ASSERT_TRUE(plat::CreateDirectory(u"C:\\logs\\sub"));  // counted, never deleted
    pi.dwLogFilesCount = 10;

    // Only with the tidy flag.
    DWORD bRetval = 0;
    Name(u"", 0, &pi, u"Label", &bRetval);
    EXPECT_EQ(Listing(u"C:\\logs").size(), 13u);
    EXPECT_EQ(bRetval, 1u);

    // 13 entries, limit 10: the four oldest files go, nine entries remain.
    Name(u"", 1, &pi, u"Label", &bRetval);
    EXPECT_EQ(bRetval, 1u);
    std::vector<std::u16string> expected = {u"f05.prn", u"f06.prn", u"f07.prn",
                                            u"f08.prn", u"f09.prn", u"f10.prn",
                                            u"f11.prn", u"f12.prn", u"sub"};
    EXPECT_EQ(Listing(u"C:\\logs"), expected);

    // Without time stamps nothing is tidied.
    FillDirectory(u"C:\\logs", 12);
    pi.bLogFileTimeStamp = 0;
    Name(u"", 1, &pi);
    EXPECT_EQ(Listing(u"C:\\logs").size(), 13u);
}

TEST_F(PrnFileName, LimitsBelowTenNeverDelete)
{
    FillDirectory(u"C:\\logs", 12);
    DWORD dwCount = 0;
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\logs", 9, &dwCount), 1u);
    EXPECT_EQ(dwCount, 12u);
    EXPECT_EQ(Listing(u"C:\\logs").size(), 12u);
    // Through the naming, the count above the limit still refuses the file.
    pi.dwLogFilesCount = 5;
    DWORD bRetval = 1;
    Name(u"", 1, &pi, u"Label", &bRetval);
    EXPECT_EQ(bRetval, 0u);
    EXPECT_EQ(Listing(u"C:\\logs").size(), 12u);
    // Below the limit nothing happens either.
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\logs", 13, &dwCount), 1u);
    EXPECT_EQ(dwCount, 12u);
}

TEST_F(PrnFileName, DriveRootsAndTheProfileAreProtected)
{
    FillDirectory(u"C:", 12);
    std::size_t before = Listing(u"C:").size();
    pi.dwLogFilesCount = 10;
    // Lower-case roots are never tidied...
    SetLogPath(u"c:\\");
    Name(u"", 1, &pi);
    EXPECT_EQ(Listing(u"C:").size(), before);
    // ... nor the user's profile ...
    FillDirectory(u"C:\\Users\\user", 12);
    std::size_t profileBefore = Listing(u"C:\\Users\\user").size();
    SetLogPath(u"C:\\Users\\user");
    Name(u"", 1, &pi);
    EXPECT_EQ(Listing(u"C:\\Users\\user").size(), profileBefore);
    // ... but "C:\" is.
    SetLogPath(u"C:\\");
    DWORD bRetval = 0;
    Name(u"", 1, &pi, u"Label", &bRetval);
    EXPECT_EQ(Listing(u"C:").size(), 9u);
    EXPECT_EQ(bRetval, 1u);
}

TEST_F(PrnFileName, FilesThatCannotBeDeleted)
{
    FillDirectory(u"C:\\logs", 25);
    // The two oldest are held open without delete sharing.
    HANDLE h1 = plat::CreateFile(u"C:\\logs\\f01.prn", plat::kGenericRead, 0, plat::kOpenExisting);
    HANDLE h2 = plat::CreateFile(u"C:\\logs\\f02.prn", plat::kGenericRead, 0, plat::kOpenExisting);
    ASSERT_NE(h1, plat::kInvalidHandle);
    ASSERT_NE(h2, plat::kInvalidHandle);

    // 12 entries, limit 10: three passes fail on the two locked files, in turn.
    DWORD dwCount = 0;
    for (int i = 3; i <= 15; ++i) {
        char16_t name[16];
        kx::Format(name, u"C:\\logs\\f%02d.prn", i);
        plat::DeleteFile(name);
    }
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\logs", 10, &dwCount), 1u);
    EXPECT_EQ(dwCount, 12u);
    DWORD bRetval = 1;
    pi.dwLogFilesCount = 10;
    Name(u"", 1, &pi, u"Label", &bRetval);
    EXPECT_EQ(bRetval, 0u);

    // Ten failures end the tidying with a failure; the newer files stay.
    FillDirectory(u"C:\\logs", 30, u"g", 2);
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\logs", 10, &dwCount), 0u);
    EXPECT_EQ(dwCount, 42u);
    EXPECT_EQ(Listing(u"C:\\logs").size(), 42u);
    plat::CloseHandle(h1);
    plat::CloseHandle(h2);
}

TEST_F(PrnFileName, MissingOrEmptyDirectories)
{
    DWORD dwCount = 99;
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\nowhere", 10, &dwCount), 0u);
    EXPECT_EQ(kx::GetFileCountInDirectory(u"", 10, &dwCount), 0u);
    EXPECT_EQ(kx::GetFileCountInDirectory(nullptr, 10, nullptr), 0u);
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\logs", 10, &dwCount), 1u);
    EXPECT_EQ(dwCount, 0u);
    // A path that is a file is not a directory.
    WriteFileAt(u"C:\\logs\\plain", 1);
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\logs\\plain", 10, &dwCount), 0u);
}

TEST_F(PrnFileName, NearlyFullDiskRefusesTheName)
{
    plat::sim::Config cfg = plat::sim::Current();
    cfg.freeBytes = kx::kMinFreeBytes;
    plat::sim::Configure(cfg);
    DWORD bRetval = 1;
    EXPECT_EQ(Name(u".log", 0, &pi, u"Label", &bRetval), u" ");
    EXPECT_EQ(bRetval, 0u);
    // Without settings there is no check.
    EXPECT_NE(Name(u".log", 0, nullptr, u"Label", &bRetval), u" ");
    EXPECT_EQ(bRetval, 1u);

    for (std::uint64_t free : {kx::kMinFreeBytes + 1, std::uint64_t(5) << 30}) {
        cfg.freeBytes = free;
        plat::sim::Configure(cfg);
        EXPECT_EQ(Name(u".log", 0, &pi, u"Label", &bRetval),
                  std::u16string(u"C:\\logs\\Label") + kStamp + u".log");
        EXPECT_EQ(bRetval, 1u);
    }
}

TEST_F(PrnFileName, FailuresAreTraced)
{
    ASSERT_TRUE(kx::trace::Open(u"C:\\trace"));
    DWORD dwCount = 0;
    kx::GetFileCountInDirectory(u"C:\\nowhere", 10, &dwCount);
    kx::trace::Close();
    std::string trace = SimSandbox::ReadHostFile(sandbox.HostPath(u"C:\\trace-print-dbg.txt"));
    EXPECT_NE(trace.find("ERROR LIB(kxdrvlib):  GetFileCountInDirectory() FindFirstFile "
                         "C:\\nowhere\\ Error = 3"),
              std::string::npos)
        << trace;
}

}  // namespace
