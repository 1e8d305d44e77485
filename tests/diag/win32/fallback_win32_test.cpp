// What the plug-in does on a system that lacks what it asks for, against the
// real system (run under Wine by the Windows build): a file without a version
// resource, a driver directory without the settings plug-in, spooler calls
// without a printer. Each failure must be traced with the system's error code
// and leave its text empty, and the job header's system names must come from
// the registry. Prints one PASS or FAIL line per check and exits non-zero
// when any check failed.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/trace.h"
#include "diag/version.h"
#include "platform/platform.h"
#include "tests/wine/check.h"

namespace {

using namespace kx::plat;

using kxcheck::Check;

std::string Narrow(std::u16string_view s)
{
    return WideToMultiByte(kCpUtf8, s);
}

std::string ReadText(const std::u16string& path)
{
    std::string text;
    Handle h = CreateFile(path, kGenericRead, kShareRead | kShareWrite, kOpenExisting);
    if (h == kInvalidHandle) return text;
    char buf[4096];
    std::uint32_t got = 0;
    while (ReadFile(h, buf, sizeof(buf), &got) && got > 0) text.append(buf, got);
    CloseHandle(h);
    return text;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::u16string RegText(std::u16string_view name)
{
    char16_t buf[256] = {};
    std::uint32_t type = 0, cb = sizeof(buf) - sizeof(char16_t);
    if (RegGetValue(Hive::LocalMachine, u"software\\microsoft\\windows NT\\CurrentVersion", name,
                    &type, buf, &cb) != 0)
        return {};
    return buf;
}

}  // namespace

int main()
{
    const std::u16string dir = GetFolderPath(Folder::Temp) + u"\\KxFallbackTest";
    CreateDirectory(dir);
    const std::u16string base = dir + u"\\job";
    DeleteFile(base + u"-print-dbg.txt");
    if (!Check(kx::trace::Open(base), "the trace file opens")) return 1;

    // A file without a version resource: the size query fails, and the
    // trace names the call and the system's error code.
    const std::u16string plain = dir + u"\\plain.txt";
    Handle h = CreateFile(plain, kGenericWrite, 0, kCreateAlways);
    std::uint32_t written = 0;
    WriteFile(h, "no resources", 12, &written);
    CloseHandle(h);
    kx::VS_FIXEDFILEINFO info;
    const bool versionRead = kx::GetVersionInfo(plain.c_str(), &info) != FALSE;
    const std::uint32_t versionError = GetLastError();
    Check(!versionRead && versionError != 0, "a file without a version resource gives none");
    Check(!kx::GetVersionInfo(u"", &info), "an empty file name gives no version");
    // A missing file: ERROR_FILE_NOT_FOUND, as the simulated system gives it.
    const std::u16string missing = dir + u"\\KXDRVUI-266.DLL";
    Check(!kx::GetVersionInfo(missing.c_str(), &info) && GetLastError() == 2,
          "a missing file gives no version and ERROR_FILE_NOT_FOUND");

    // The driver directory without the settings plug-in: no version text.
    char versionA[kx::kPluginVersionChars];
    WCHAR versionW[kx::kPluginVersionChars];
    std::memset(versionA, 'x', sizeof(versionA));
    versionW[0] = u'x';
    Check(!kx::GetPluginVersion(versionA, dir.c_str(), versionW) && versionA[0] == 0 &&
              versionW[0] == 0,
          "a directory without the settings plug-in gives an empty version text");

    // Spooler calls without a printer.
    Handle printer = nullptr;
    Check(OpenPrinter(u"No Such Label Printer", &printer) == 1801,
          "a printer that is not installed cannot be opened (ERROR_INVALID_PRINTER_NAME)");
    WCHAR directory[260];  // KX_MAX_PATH
    directory[0] = u'x';
    Check(!kx::GetDriverPathComplete(nullptr, directory),
          "the driver directory of no printer cannot be asked");
    WCHAR setupVersion[kx::kSetupVersionChars];
    setupVersion[0] = u'x';
    Check(!kx::GetSetupInformation(nullptr, setupVersion) && setupVersion[0] == 0,
          "the registered driver version of no printer is empty");

    // The system's names: the product name and build from the registry, the
    // version line in the form of Windows 10 and later when the system's
    // version resource says so.
    char windows[kx::kWindowsTextChars], version[kx::kWindowsTextChars];
    const bool haveWindows = kx::GetWindowsVersion(windows, version) != 0;
    std::printf("  system: \"%s\" / \"%s\"\n", windows, version);
    Check(haveWindows, "the system's version resource is read");
    Check(Narrow(RegText(u"ProductName")) == windows, "the product name is the registry's");
    Check(Contains(version, "(Build " + Narrow(RegText(u"CurrentBuild")) + ")"),
          "the version line carries the registry's build");

    kx::trace::Close();
    const std::string trace = ReadText(base + u"-print-dbg.txt");
    Check(Contains(trace, "GetVersionInfo() GetFileVersionInfoSize failed, error = " +
                              std::to_string(versionError) + "."),
          "the trace names the failed size query with the system's error code");
    Check(Contains(trace, "GetVersionInfo() ERROR pszFile ist leer"),
          "the trace names the empty file name");
    Check(Contains(trace, "GetDriverPathComplete"), "the trace names the driver directory query");
    Check(Contains(trace, "GetSetupInformation"), "the trace names the setup query");

    DeleteFile(base + u"-print-dbg.txt");
    DeleteFile(plain);
    RemoveDirectory(dir);
    return kxcheck::Finish();
}
