// Configuration, the fixed clock, identity, heap accounting, version
// resources, last error and the engine calls of the simulated Windows.
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/platform.h"
#include "support/harness.h"

// Served to ResolveEngineCall from this program's exports, as the host serves
// the real engine calls.
extern "C" __attribute__((visibility("default"))) int KxPlatformTestEngineCall(int x)
{
    return x + 1;
}

namespace {

using namespace kx::plat;

class SystemTest : public ::testing::Test {
protected:
    kxtest::SimSandbox sandbox;
};

// "YYYY-MM-DD hh:mm:ss.mmm dN", N the day of the week.
std::string Text(const SystemTime& t)
{
    char s[96];
    std::snprintf(s, sizeof s, "%04d-%02d-%02d %02d:%02d:%02d.%03d d%d", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek);
    return s;
}

TEST_F(SystemTest, FixedClockAndSleep)
{
    EXPECT_EQ("2026-12-05 14:30:15.250 d6", Text(GetLocalTime()));
    // A fixed clock is advanced, not waited for (ten minutes would time out).
    std::uint64_t ticks = GetTickCount64();
    Sleep(10 * 60 * 1000);
    EXPECT_GE(GetTickCount64() - ticks, 600000u);
    EXPECT_EQ("2026-12-05 14:40:15.250 d6", Text(GetLocalTime()));

    // Over the end of a year, and the day of the week from the date alone.
    sim::SetClock(SystemTime{2024, 12, 0, 31, 23, 59, 59, 500});
    EXPECT_STREQ("2024-12-31 23:59:59.500", std::getenv("KX_SIM_CLOCK"));
    EXPECT_EQ("2024-12-31 23:59:59.500 d2", Text(GetLocalTime()));
    Sleep(1000);
    EXPECT_EQ("2025-01-01 00:00:00.500 d3", Text(GetLocalTime()));
    sim::SetClock(SystemTime{2024, 2, 5, 28, 12, 0, 0, 0});
    Sleep(24 * 3600 * 1000);
    EXPECT_EQ("2024-02-29 12:00:00.000 d4", Text(GetLocalTime()));
    sim::SetClock(SystemTime{1999, 3, 0, 1, 0, 0, 0, 0});
    EXPECT_EQ(1, GetLocalTime().wDayOfWeek);
}

TEST_F(SystemTest, ConfigureStartsTheClockAfresh)
{
    sim::Config cfg = sim::Current();
    Sleep(5000);
    EXPECT_EQ(20, GetLocalTime().wSecond);
    sim::Configure(cfg);  // the same clock setting as before the sleep
    EXPECT_EQ("2026-12-05 14:30:15.250 d6", Text(GetLocalTime()));
}

TEST_F(SystemTest, ClockFromTheEnvironment)
{
    ::setenv("KX_SIM_CLOCK", "2025-06-30 08:05:09", 1);
    EXPECT_EQ("2025-06-30 08:05:09.000 d1", Text(GetLocalTime()));
    ::setenv("KX_SIM_CLOCK", "2025-06-30 08:05:09.5", 1);
    EXPECT_EQ(500, GetLocalTime().wMilliseconds);
    ASSERT_TRUE(sim::Current().fixedClock.has_value());
    for (const char* bad : {"2025-02-29 00:00:00", "2025-06-30", "2025-06-30 24:00:00",
                            "2025-06-30 08:05:09.1234", "tomorrow"}) {
        ::setenv("KX_SIM_CLOCK", bad, 1);
        EXPECT_FALSE(sim::Current().fixedClock.has_value()) << bad;
        EXPECT_GE(GetLocalTime().wYear, 2024) << "the real clock, for " << bad;
    }
}

TEST_F(SystemTest, ConfigurationIsSharedThroughTheEnvironment)
{
    sim::Config cfg = sim::Current();
    EXPECT_EQ(sandbox.dir() + "/state", cfg.stateDir);
    cfg.userName = u"Jörg";
    cfg.computerName = u"PC-7";
    sim::Configure(cfg);
    EXPECT_STREQ("J\xc3\xb6rg", std::getenv("KX_SIM_USER"));
    EXPECT_STREQ("PC-7", std::getenv("KX_SIM_COMPUTER"));
    EXPECT_EQ(u"Jörg", GetUserName());
    EXPECT_EQ(u"PC-7", GetComputerName());
    EXPECT_EQ(u"C:\\Users\\Jörg\\Documents", GetFolderPath(Folder::Personal));
    EXPECT_EQ(9, GetNativeProcessorArchitecture());

    ::unsetenv("KX_SIM_FREE_BYTES");
    ::setenv("KX_SIM_FREE_MB", "3", 1);
    EXPECT_EQ(3u * 1024 * 1024, sim::Current().freeBytes.value_or(0));
    ::unsetenv("KX_SIM_ROOT");
    EXPECT_EQ(sandbox.dir() + "/state/drives", sim::Current().rootDir);
}

TEST_F(SystemTest, HeapCountsLiveBlocksAndBytes)
{
    HeapStats start = GetHeapStats();
    auto* a = static_cast<unsigned char*>(HeapAlloc(100, true));
    void* b = HeapAlloc(0, false);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(0, a[i]);
    EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(a) % alignof(std::max_align_t));
    HeapStats mid = GetHeapStats();
    EXPECT_EQ(start.liveBlocks + 2, mid.liveBlocks);
    EXPECT_EQ(start.liveBytes + 100, mid.liveBytes);
    EXPECT_EQ(start.totalAllocations + 2, mid.totalAllocations);

    EXPECT_EQ(nullptr, HeapAlloc(SIZE_MAX - 4, false));
    EXPECT_EQ(8u, GetLastError());
    HeapFree(nullptr);
    EXPECT_EQ(mid.liveBlocks, GetHeapStats().liveBlocks);

    HeapFree(a);
    HeapFree(b);
    HeapStats end = GetHeapStats();
    EXPECT_EQ(start.liveBlocks, end.liveBlocks);
    EXPECT_EQ(start.liveBytes, end.liveBytes);
    EXPECT_EQ(start.totalAllocations + 2, end.totalAllocations);
}

TEST_F(SystemTest, VersionResourcesByFileName)
{
    VersionInfo v;
    v.fileVersion[0] = 2;
    v.fileVersion[1] = 66;
    v.fileVersion[3] = 12;
    v.productVersion[0] = 2;
    v.productName = u"Label driver";
    v.companyName = u"Orvane";
    v.fileVersionText = u"2.66.0.12";
    sim::SetFileVersion(u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KXDRVUI-266.DLL", v);

    VersionInfo got;
    ASSERT_TRUE(GetFileVersionInfo(u"d:\\somewhere\\kxdrvui-266.dll", &got));
    EXPECT_EQ(2, got.fileVersion[0]);
    EXPECT_EQ(66, got.fileVersion[1]);
    EXPECT_EQ(0, got.fileVersion[2]);
    EXPECT_EQ(12, got.fileVersion[3]);
    EXPECT_EQ(2, got.productVersion[0]);
    EXPECT_EQ(u"Label driver", got.productName);
    EXPECT_EQ(u"Orvane", got.companyName);
    EXPECT_EQ(u"2.66.0.12", got.fileVersionText);

    // A file with its folder: missing, or there without a version resource.
    EXPECT_FALSE(GetFileVersionInfo(u"C:\\Windows\\System32\\spool\\nothing.dll", &got));
    EXPECT_EQ(2u, GetLastError());
    EXPECT_FALSE(GetFileVersionInfo(u"C:\\NoFolder\\nothing.dll", &got));
    EXPECT_EQ(3u, GetLastError());
    Handle h = CreateFile(u"C:\\plain.dll", kGenericWrite, 0, kCreateAlways);
    ASSERT_NE(h, kInvalidHandle);
    CloseHandle(h);
    EXPECT_FALSE(GetFileVersionInfo(u"C:\\plain.dll", &got));
    EXPECT_EQ(1813u, GetLastError());
    // A bare name stands for a system module.
    EXPECT_FALSE(GetFileVersionInfo(u"kernel32.dll", &got));
    EXPECT_EQ(1813u, GetLastError());
    EXPECT_FALSE(GetFileVersionInfo(u"C:\\dir\\", &got));
    EXPECT_EQ(87u, GetLastError());
}

TEST_F(SystemTest, LastErrorBelongsToTheThread)
{
    SetLastError(5);
    std::uint32_t seen = 99;
    std::thread([&] {
        seen = GetLastError();
        SetLastError(32);
    }).join();
    EXPECT_EQ(0u, seen);
    EXPECT_EQ(5u, GetLastError());
}

TEST_F(SystemTest, EngineCallsComeFromTheProgramsExports)
{
    auto fn = reinterpret_cast<int (*)(int)>(ResolveEngineCall("KxPlatformTestEngineCall"));
    ASSERT_NE(nullptr, fn);
    EXPECT_EQ(42, fn(41));
    EXPECT_EQ(nullptr, ResolveEngineCall("KxNoSuchEngineCall"));
    EXPECT_EQ(nullptr, ResolveEngineCall(nullptr));
}

}  // namespace
