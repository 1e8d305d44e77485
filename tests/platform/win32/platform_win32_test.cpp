// The Win32 backend of the platform layer against the real system (run under
// Wine by the Windows build): the promises both backends keep
// (tests/platform/contract.h), then what only the real system can show.
// Prints one PASS or FAIL line per check and exits non-zero when any failed.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/platform/contract.h"
#include "tests/wine/check.h"

namespace {

using namespace kx::plat;

// A failed check shows the last error.
bool Check(bool ok, const char* what)
{
    return kxcheck::Check(ok, what, "last error " + std::to_string(GetLastError()));
}

using kxcontract::Fails;

std::string Narrow(std::u16string_view s)
{
    return WideToMultiByte(kCpUtf8, s);
}

// The system's own folders, its module, versions, heap, time and printers.
void System()
{
    std::uint64_t free = 0;
    Check(GetDiskFreeSpace(GetFolderPath(Folder::Temp), &free) && free > 0, "files: free space");
    for (Folder f : {Folder::Windows, Folder::System, Folder::CommonAppData, Folder::LocalAppData,
                     Folder::AppData, Folder::Personal, Folder::Temp}) {
        std::u16string path = GetFolderPath(f);
        Check(path.size() > 3 && path.back() != u'\\', ("folder " + Narrow(path)).c_str());
    }
    std::u16string module = GetModuleFileName();
    Check(module.size() > 4 && PathFileExists(module), ("module " + Narrow(module)).c_str());
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
    kxcontract::Registry(Check);
    kxcontract::Files(Check);
    kxcontract::CodePages(Check);
    System();
    return kxcheck::Finish();
}
