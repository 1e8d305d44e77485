// Simulated files beyond what both backends promise (contract.h): drive
// mapping, fresh folders, roots, bad names, FindFiles order, file times, free
// space.
#include <sys/stat.h>

#include <fstream>

#include "platform/platform.h"
#include "support/harness.h"

namespace {

using namespace kx::plat;

class FilesTest : public ::testing::Test {
protected:
    kxtest::SimSandbox sandbox;
    std::string root() const { return sandbox.dir() + "/root"; }

    static void Put(std::u16string_view path, const std::string& content)
    {
        Handle f = CreateFile(path, kGenericWrite, 0, kCreateAlways);
        ASSERT_NE(kInvalidHandle, f);
        std::uint32_t n = 0;
        ASSERT_TRUE(WriteFile(f, content.data(), static_cast<std::uint32_t>(content.size()), &n));
        ASSERT_TRUE(CloseHandle(f));
    }
    std::string Content(std::u16string_view path) const
    {
        return kxtest::SimSandbox::ReadHostFile(sandbox.HostPath(path));
    }
};

TEST_F(FilesTest, WindowsPathsMapIntoTheRoot)
{
    EXPECT_EQ(root() + "/c/a/b.txt", sim::MapPath(u"C:\\a\\b.txt"));
    EXPECT_EQ(root() + "/c/a/b.txt", sim::MapPath(u"c:/a/b.txt"));
    EXPECT_EQ(root() + "/d/Logs/X.PRN", sim::MapPath(u"D:\\Logs\\X.PRN"));
    EXPECT_EQ(root() + "/c/rel/x", sim::MapPath(u"rel\\x"));
    EXPECT_EQ(root() + "/c/top", sim::MapPath(u"\\top"));
    EXPECT_EQ(root() + "/c/b/c", sim::MapPath(u"C:\\a\\..\\..\\b\\.\\\\c\\"));
    EXPECT_EQ(root() + "/c/dir/name", sim::MapPath(u"C:\\dir\\name. ."));
    EXPECT_EQ(root() + "/unc/srv/share/x", sim::MapPath(u"\\\\srv\\share\\..\\..\\x"));
    EXPECT_EQ(root() + "/c/Jörg", sim::MapPath(u"C:\\Jörg"));

    Put(u"c:\\Data.txt", "x");
    EXPECT_TRUE(kxtest::SimSandbox::HostFileExists(root() + "/c/Data.txt"));
    EXPECT_TRUE(PathFileExists(u"C:/Data.txt"));
    EXPECT_FALSE(PathFileExists(u"C:\\data.txt")) << "names below the drive are case-sensitive";
    ASSERT_TRUE(MoveFile(u"C:\\Data.txt", u"D:\\backup.txt"));
    EXPECT_EQ("x", Content(u"D:\\backup.txt")) << "a move between drives";
}

TEST_F(FilesTest, AFreshRootHasTheUsualFolders)
{
    EXPECT_TRUE(IsDirectory(GetFolderPath(Folder::Personal)));
    for (Folder f : {Folder::Windows, Folder::System, Folder::CommonAppData, Folder::LocalAppData,
                     Folder::AppData, Folder::Temp})
        EXPECT_TRUE(IsDirectory(GetFolderPath(f)));
    EXPECT_EQ(u"C:\\Users\\user\\Documents", GetFolderPath(Folder::Personal));
    EXPECT_EQ(u"C:\\Users\\user\\AppData\\Roaming", GetFolderPath(Folder::AppData));
    EXPECT_EQ(u"C:\\Windows\\Temp", GetFolderPath(Folder::Temp));
    std::u16string module = GetModuleFileName();
    EXPECT_EQ(u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KXDRVUNI-266.dll", module);
    EXPECT_TRUE(IsDirectory(module.substr(0, module.rfind(u'\\'))));
    // A folder removed on purpose stays removed.
    ASSERT_TRUE(RemoveDirectory(u"C:\\Users\\user\\Documents"));
    EXPECT_FALSE(PathFileExists(u"C:\\Users\\user\\Documents"));
}

TEST_F(FilesTest, RootsAndTruncation)
{
    // (Folders one level at a time: tests/platform/contract.h.)
    EXPECT_FALSE(CreateDirectory(u"C:\\"));
    EXPECT_EQ(183u, GetLastError());
    Put(u"C:\\file", "x");
    EXPECT_FALSE(CreateDirectory(u"C:\\file"));
    EXPECT_EQ(183u, GetLastError());
    EXPECT_TRUE(IsDirectory(u"E:\\")) << "every drive letter exists";
    // (Wine truncates through a reading handle; the simulation refuses, as
    // the system's documentation asks for write access.)
    EXPECT_EQ(kInvalidHandle, CreateFile(u"C:\\file", kGenericRead, 0, kTruncateExisting));
    EXPECT_EQ(87u, GetLastError());
    EXPECT_FALSE(RemoveDirectory(u"C:\\"));
    EXPECT_EQ(5u, GetLastError());
}

TEST_F(FilesTest, BadNamesAndOverlongPaths)
{
    for (std::u16string_view bad :
         {u"C:\\a<b.prn", u"C:\\a|b", u"C:\\x\\a:b", u"C:\\a*.prn", u"C:\\tab\there"}) {
        EXPECT_EQ(kInvalidHandle, CreateFile(bad, kGenericWrite, 0, kCreateAlways));
        EXPECT_EQ(123u, GetLastError());
    }
    std::u16string longName = u"C:\\" + std::u16string(255, u'a');  // 258 characters
    Handle f = CreateFile(longName, kGenericWrite, 0, kCreateAlways);
    EXPECT_NE(kInvalidHandle, f);
    CloseHandle(f);
    EXPECT_EQ(kInvalidHandle, CreateFile(longName + u"bc", kGenericWrite, 0, kCreateAlways));
    EXPECT_EQ(206u, GetLastError());
    EXPECT_FALSE(CreateDirectory(u"C:\\" + std::u16string(245, u'd')));
    EXPECT_EQ(206u, GetLastError()) << "directories leave room for an 8.3 name";
}

TEST_F(FilesTest, FindFilesWithWildcards)
{
    ASSERT_TRUE(CreateDirectory(u"C:\\logs"));
    Put(u"C:\\logs\\b.PRN", "12345");
    Put(u"C:\\logs\\a.prn", "1");
    Put(u"C:\\logs\\c.log", "");
    Put(u"C:\\logs\\noext", "");
    Put(u"C:\\logs\\a.prnx", "");
    ASSERT_TRUE(CreateDirectory(u"C:\\logs\\sub"));

    auto names = [](std::u16string_view pattern) {
        std::vector<FindData> found;
        std::u16string all;
        if (!FindFiles(pattern, &found)) return std::u16string(u"<none>");
        for (const FindData& f : found) all += f.name + u" ";
        return all;
    };
    EXPECT_EQ(u"a.prn b.PRN ", names(u"C:\\logs\\*.prn"));
    EXPECT_EQ(u"a.prn a.prnx ", names(u"c:/logs/A.*"));
    EXPECT_EQ(u"c.log ", names(u"C:\\logs\\?.LOG"));
    EXPECT_EQ(u"a.prn a.prnx b.PRN c.log noext sub ", names(u"C:\\logs\\*.*"));
    EXPECT_EQ(u"a.prn a.prnx b.PRN c.log noext sub ", names(u"C:\\logs\\*"));
    EXPECT_EQ(u"noext sub ", names(u"C:\\logs\\*."));
    EXPECT_EQ(u"b.PRN ", names(u"C:\\logs\\B.prn"));
    EXPECT_EQ(u"<none>", names(u"C:\\logs\\*.jpg"));
    EXPECT_EQ(2u, GetLastError());
    EXPECT_EQ(u"<none>", names(u"C:\\nothing\\*"));
    EXPECT_EQ(3u, GetLastError());
    EXPECT_EQ(u"<none>", names(u"C:\\lo*\\a.prn"));
    EXPECT_EQ(123u, GetLastError());

    std::vector<FindData> found;
    ASSERT_TRUE(FindFiles(u"C:\\logs\\*", &found));
    EXPECT_EQ(1u, found[0].size);
    EXPECT_EQ(5u, found[2].size);
    EXPECT_FALSE(found[2].isDirectory);
    EXPECT_TRUE(found[5].isDirectory);
}

TEST_F(FilesTest, FixedClockGivesWrittenFilesTheirTime)
{
    Put(u"C:\\old.prn", "x");
    Sleep(90 * 1000);
    Put(u"C:\\new.prn", "y");
    std::vector<FindData> found;
    ASSERT_TRUE(FindFiles(u"C:\\*.prn", &found));
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ(u"new.prn", found[0].name);
    EXPECT_EQ(900000000u, found[0].lastWriteTime - found[1].lastWriteTime);

    SystemTime t;
    ASSERT_TRUE(FileTimeToLocalTime(found[1].lastWriteTime, &t));
    EXPECT_EQ(2026, t.wYear);
    EXPECT_EQ(12, t.wMonth);
    EXPECT_EQ(5, t.wDay);
    EXPECT_EQ(14, t.wHour);
    EXPECT_EQ(30, t.wMinute);
    EXPECT_EQ(15, t.wSecond);
    EXPECT_EQ(250, t.wMilliseconds);

    Handle f = CreateFile(u"C:\\new.prn", kGenericRead, kShareRead, kOpenExisting);
    std::uint64_t ft = 0;
    ASSERT_TRUE(GetFileTime(f, &ft));
    EXPECT_EQ(found[0].lastWriteTime, ft);
    CloseHandle(f);

    // A copy keeps the time of its source.
    Sleep(1000);
    ASSERT_TRUE(CopyFile(u"C:\\old.prn", u"C:\\copy.prn", true));
    ASSERT_TRUE(FindFiles(u"C:\\copy.prn", &found));
    EXPECT_EQ(1u, found.size());
    ASSERT_TRUE(FindFiles(u"C:\\old.prn", &found));
    std::uint64_t oldTime = found[0].lastWriteTime;
    ASSERT_TRUE(FindFiles(u"C:\\copy.prn", &found));
    EXPECT_EQ(oldTime, found[0].lastWriteTime);
}

TEST_F(FilesTest, FreeSpace)
{
    std::uint64_t bytes = 0;
    ASSERT_TRUE(GetDiskFreeSpace(u"C:\\", &bytes));
    EXPECT_GT(bytes, 0u);
    EXPECT_FALSE(GetDiskFreeSpace(u"C:\\missing", &bytes));
    EXPECT_EQ(3u, GetLastError());

    sim::Config cfg = sim::Current();
    cfg.freeBytes = 1024000000;
    sim::Configure(cfg);
    ASSERT_TRUE(GetDiskFreeSpace(u"C:\\Windows", &bytes));
    EXPECT_EQ(1024000000u, bytes);
    EXPECT_STREQ("976", std::getenv("KX_SIM_FREE_MB"));
}

}  // namespace
