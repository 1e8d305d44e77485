// The Win32 backend of the platform layer against the real system (run under
// Wine by the Windows build): the same error codes and conversions that the
// simulated backend promises. Prints one PASS or FAIL line per check and
// exits non-zero when any check failed.
//
// It works in HKCU\Software\KxPlatformTest and in a folder below the user's
// temporary folder, and removes both.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/wine/check.h"

namespace {

using namespace kx::plat;

// A failed check shows the last error.
bool Check(bool ok, const char* what)
{
    return kxcheck::Check(ok, what, "last error " + std::to_string(GetLastError()));
}

bool Fails(bool ok, std::uint32_t error)
{
    return !ok && GetLastError() == error;
}

std::string Narrow(std::u16string_view s)
{
    return WideToMultiByte(kCpUtf8, s);
}

void Registry()
{
    const std::u16string_view key = u"Software\\KxPlatformTest\\Label";
    Check(RegSetDword(Hive::CurrentUser, key, u"Count", 42) == 0, "registry: set a DWORD");
    std::uint32_t v = 0;
    Check(
        RegGetDword(Hive::CurrentUser, u"SOFTWARE\\kxplatformtest\\LABEL", u"count", &v) && v == 42,
        "registry: names compare without case");
    std::uint32_t type = 0, cb = 0;
    Check(RegGetValue(Hive::CurrentUser, key, u"Count", &type, nullptr, &cb) == 0 && cb == 4 &&
              type == kRegDword,
          "registry: null data asks for the size");
    char small[2];
    cb = sizeof(small);
    Check(RegGetValue(Hive::CurrentUser, key, u"Count", &type, small, &cb) == 234 && cb == 4,
          "registry: short buffer gives ERROR_MORE_DATA and the size");
    Check(RegGetValue(Hive::CurrentUser, key, u"Missing", &type, small, &cb) == 2,
          "registry: missing value");
    Check(RegDeleteValue(Hive::CurrentUser, key, u"Count") == 0 &&
              RegDeleteValue(Hive::CurrentUser, key, u"Count") == 2,
          "registry: delete a value once");
    Check(RegDeleteTree(Hive::CurrentUser, u"Software\\KxPlatformTest") == 0 &&
              RegDeleteTree(Hive::CurrentUser, u"Software\\KxPlatformTest") == 2,
          "registry: delete a tree once");
    Check(RegDeleteTree(Hive::CurrentUser, u"") == 87, "registry: the hive itself is refused");
}

void Files()
{
    std::u16string dir = GetFolderPath(Folder::Temp) + u"\\KxPlatformTest";
    std::u16string a = dir + u"\\a.prn", b = dir + u"\\B.PRN", c = dir + u"\\c.log";
    DeleteFile(a);
    DeleteFile(b);
    DeleteFile(c);
    RemoveDirectory(dir);
    Check(CreateDirectory(dir) && Fails(CreateDirectory(dir), 183), "files: directory once");
    Check(Fails(CreateDirectory(dir + u"\\x\\y"), 3), "files: one level at a time");

    Handle h = CreateFile(a, kGenericWrite, kShareRead, kCreateNew);
    std::uint32_t n = 0;
    Check(h != kInvalidHandle && WriteFile(h, "hello", 5, &n) && n == 5, "files: create and write");
    Check(CreateFile(a, kGenericWrite, 0, kOpenExisting) == kInvalidHandle && GetLastError() == 32,
          "files: a second writer is a sharing violation");
    Check(Fails(DeleteFile(a), 32), "files: an open file is not deleted");
    std::uint64_t size = 0, time = 0;
    SystemTime local;
    Check(GetFileSize(h, &size) && size == 5, "files: size");
    Check(GetFileTime(h, &time) && FileTimeToLocalTime(time, &local) && local.wYear >= 2020,
          "files: last-write time as local time");
    Check(CloseHandle(h) && Fails(CloseHandle(h), 6), "files: close once");

    Check(CreateFile(a, kGenericWrite, 0, kCreateNew) == kInvalidHandle && GetLastError() == 80,
          "files: CREATE_NEW on an existing file");
    Check(CreateFile(dir + u"\\none", kGenericRead, 0, kOpenExisting) == kInvalidHandle &&
              GetLastError() == 2,
          "files: OPEN_EXISTING without the file");
    Check(CreateFile(dir + u"\\no\\none", kGenericRead, 0, kOpenExisting) == kInvalidHandle &&
              GetLastError() == 3,
          "files: OPEN_EXISTING without the folder");
    h = CreateFile(a, kGenericWrite, 0, kOpenAlways);
    Check(h != kInvalidHandle && GetLastError() == 183,
          "files: OPEN_ALWAYS reports an existing file");
    CloseHandle(h);

    Check(CopyFile(a, b, true) && Fails(CopyFile(a, b, true), 80), "files: copy without overwrite");
    Check(Fails(MoveFile(a, b), 183), "files: move does not replace");
    Check(MoveFile(a, c), "files: move");

    std::vector<FindData> found;
    Check(FindFiles(dir + u"\\*.prn", &found) && found.size() == 1 && found[0].name == u"B.PRN" &&
              found[0].size == 5,
          "files: wildcards match without case");
    Check(FindFiles(dir + u"\\*", &found) && found.size() == 2, "files: no . and .. entries");
    Check(Fails(FindFiles(dir + u"\\*.jpg", &found), 2), "files: nothing found");
    Check(Fails(FindFiles(dir + u"\\nodir\\*", &found), 3), "files: folder missing");
    Check(IsDirectory(dir) && Fails(IsDirectory(c), 267) && PathFileExists(c),
          "files: directories and files");
    Check(Fails(RemoveDirectory(dir), 145), "files: a full folder stays");

    h = CreateFile(c, kGenericRead, kShareRead, kOpenExisting);
    char buf[8] = {};
    std::uint64_t pos = 0;
    Check(SetFilePointer(h, 1, kFileBegin, &pos) && pos == 1 && ReadFile(h, buf, 8, &n) && n == 4 &&
              std::string(buf) == "ello",
          "files: seek and read");
    Check(Fails(SetFilePointer(h, -5, kFileBegin, &pos), 131), "files: negative seek");
    Check(Fails(WriteFile(h, "x", 1, &n), 5), "files: no writing through a reading handle");
    CloseHandle(h);
    Check(DeleteFile(c) && DeleteFile(b) && RemoveDirectory(dir), "files: clean up");

    std::uint64_t free = 0;
    Check(GetDiskFreeSpace(GetFolderPath(Folder::Temp), &free) && free > 0, "files: free space");
    for (Folder f : {Folder::Windows, Folder::System, Folder::CommonAppData, Folder::LocalAppData,
                     Folder::AppData, Folder::Personal, Folder::Temp}) {
        std::u16string path = GetFolderPath(f);
        Check(path.size() > 3 && path.back() != u'\\', ("folder " + Narrow(path)).c_str());
    }
    std::u16string module = GetModuleFileName();
    Check(module.size() > 4 && PathFileExists(module), ("module " + Narrow(module)).c_str());
}

void CodePages()
{
    bool used = true;
    Check(MultiByteToWide(kCp1252, "\x80\x81") == u"\u20AC\u0081", "code pages: 1252 to UTF-16");
    Check(WideToMultiByte(kCp1252, u"\u20AC\u0081", &used) == "\x80\x81" && !used,
          "code pages: UTF-16 to 1252");
    Check(WideToMultiByte(kCp1252, u"a\u0100", &used) == "a?" && used,
          "code pages: no look-alikes, a default instead");
    Check(MultiByteToWide(kCp437, "\xc9\xb3") == u"\u2554\u2502", "code pages: 437 boxes");
    Check(WideToMultiByte(kCp437, u"\u2554\u20AC", &used) == "\xc9?" && used,
          "code pages: 437 lacks the euro");
    Check(MultiByteToWide(kCpSymbol, "\rA") == u"\r\uF041" &&
              WideToMultiByte(kCpSymbol, u"\uF041A", &used) == "AA" && !used,
          "code pages: symbol");
    Check(WideToMultiByte(kCpUtf8, u"G\u00F6\U0001F5A8", &used) == "G\xc3\xb6\xf0\x9f\x96\xa8" &&
              !used,
          "code pages: to UTF-8");
    std::u16string lone = u"x";
    lone.push_back(0xD800);
    Check(WideToMultiByte(kCpUtf8, lone) == "x\xef\xbf\xbd", "code pages: lone surrogate");
    Check(MultiByteToWide(kCpUtf8, "a\xff") == u"a\uFFFD", "code pages: invalid UTF-8");
    Check(MultiByteToWide(12345, "a").empty() && GetLastError() == 87,
          "code pages: unknown code page");
}

void System()
{
    VersionInfo vi;
    Check(GetFileVersionInfo(u"kernel32.dll", &vi) && vi.fileVersion[0] >= 5,
          "versions: kernel32.dll");
    Check(!GetFileVersionInfo(u"C:\\KxNoSuchFile.dll", &vi), "versions: missing file");

    HeapStats before = GetHeapStats();
    auto* p = static_cast<unsigned char*>(HeapAlloc(100, true));
    bool zero = p != nullptr;
    for (int i = 0; p && i < 100; ++i) zero = zero && p[i] == 0;
    Check(zero && GetHeapStats().liveBytes == before.liveBytes + 100, "heap: counted and zeroed");
    HeapFree(p);
    Check(GetHeapStats().liveBlocks == before.liveBlocks, "heap: freed");

    SystemTime now = GetLocalTime();
    Check(now.wYear >= 2020 && now.wMonth >= 1 && now.wMonth <= 12, "time: local time");
    Check(!GetUserName().empty() && !GetComputerName().empty(), "identity: user and computer");
    Check(GetNativeProcessorArchitecture() == 9, "identity: x64");
    Check(ResolveEngineCall("KxNoSuchEngineCall") == nullptr, "engine: unknown name");

    Handle printer = nullptr;
    Check(OpenPrinter(u"Kx No Such Printer", &printer) == 1801, "printers: unknown printer");
    PrinterInfo info;
    Check(Fails(GetPrinterInfo(nullptr, &info), 6), "printers: bad handle");
}

}  // namespace

int main()
{
    Registry();
    Files();
    CodePages();
    System();
    return kxcheck::Finish();
}
