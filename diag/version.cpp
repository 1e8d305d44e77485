#include "diag/version.h"

#include <string>
#include <string_view>
#include <vector>

#include "core/format.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "core/oempdev.h"
#include "core/regvalues.h"

namespace kx {

namespace {

constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BDu;
constexpr WORD kArchitectureX64 = 9;
constexpr DWORD kSetupVersionBytes = 30;

std::u16string_view View(const WCHAR* s, std::size_t cch = KX_MAX_PATH)
{
    return s ? std::u16string_view(s, Length(s, cch)) : std::u16string_view();
}

// A string value of HKEY_LOCAL_MACHINE, whole; false (and the error in
// *pdwError) when it is missing or no text.
bool ReadMachineText(std::u16string_view key, std::u16string_view name, std::u16string* out,
                     DWORD* pdwError)
{
    out->clear();
    std::uint32_t type = 0, cb = 0;
    DWORD dwError = plat::RegGetValue(plat::Hive::LocalMachine, key, name, &type, nullptr, &cb);
    if (dwError == ERROR_SUCCESS && type != plat::kRegSz && type != plat::kRegExpandSz)
        dwError = ERROR_INVALID_PARAMETER;
    if (dwError == ERROR_SUCCESS) {
        std::u16string text(cb / 2 + 1, u'\0');
        cb = static_cast<std::uint32_t>(text.size() * 2);
        dwError = plat::RegGetValue(plat::Hive::LocalMachine, key, name, &type, text.data(), &cb);
        if (dwError == ERROR_SUCCESS) *out = std::u16string(View(text.data(), text.size()));
    }
    *pdwError = dwError;
    return dwError == ERROR_SUCCESS;
}

}  // namespace

BOOL GetVersionInfo(const WCHAR* pszFile, VS_FIXEDFILEINFO* pFixedFileInfo)
{
    if (!pszFile || !pszFile[0]) {
        Trace(u"ERROR UNI(ZI-Rezaz):  GetVersionInfo() ERROR pszFile ist leer \r\n");
        return FALSE;
    }
    if (!pFixedFileInfo) return FALSE;
    *pFixedFileInfo = VS_FIXEDFILEINFO{};
    plat::VersionInfo vi;
    if (!plat::GetFileVersionInfo(View(pszFile), &vi)) {
        Trace(
            u"ERROR UNI(ZI-Rezaz):  GetVersionInfo() GetFileVersionInfoSize failed, error = "
            u"%u.\r\n",
            plat::GetLastError());
        return FALSE;
    }
    auto pack = [](WORD high, WORD low) { return (DWORD(high) << 16) | low; };
    pFixedFileInfo->dwSignature = kFixedFileInfoSignature;
    pFixedFileInfo->dwStrucVersion = 0x10000;
    pFixedFileInfo->dwFileVersionMS = pack(vi.fileVersion[0], vi.fileVersion[1]);
    pFixedFileInfo->dwFileVersionLS = pack(vi.fileVersion[2], vi.fileVersion[3]);
    pFixedFileInfo->dwProductVersionMS = pack(vi.productVersion[0], vi.productVersion[1]);
    pFixedFileInfo->dwProductVersionLS = pack(vi.productVersion[2], vi.productVersion[3]);
    return TRUE;
}

BOOL GetPluginVersion(char* pszVersionA, const WCHAR* pszDirectory, WCHAR* pwszVersionW)
{
    if (pszVersionA) pszVersionA[0] = 0;
    if (pwszVersionW) pwszVersionW[0] = 0;
    std::u16string path(View(pszDirectory));
    path += u"\\";
    path += kUiPluginFileName;
    VS_FIXEDFILEINFO ffi;
    if (!GetVersionInfo(path.c_str(), &ffi)) {
        Trace(u"ERROR UNI(ZI-Rezaz):  GetPluginVersion() keine Version von %s \r\n", path);
        return FALSE;
    }
    unsigned v[4] = {ffi.dwFileVersionMS >> 16, ffi.dwFileVersionMS & 0xFFFF,
                     ffi.dwFileVersionLS >> 16, ffi.dwFileVersionLS & 0xFFFF};
    // Four 16-bit numbers fit the version buffers; a cut would only shorten
    // the text shown in the stream's comments and the log.
    if (pszVersionA)
        (void)Format(pszVersionA, kPluginVersionChars, "%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
    if (pwszVersionW)
        (void)Format(pwszVersionW, kPluginVersionChars, u"%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
    Trace(u"UNI(ZI-Rezaz):  GetPluginVersion() %s: %u.%u.%u.%u \r\n", path, v[0], v[1], v[2], v[3]);
    return TRUE;
}

BOOL GetDriverPathComplete(HANDLE hPrinter, WCHAR* pwszDirectory)
{
    if (!pwszDirectory) return FALSE;
    pwszDirectory[0] = 0;
    plat::DriverInfo di;
    if (!plat::GetPrinterDriver(hPrinter, &di)) {
        Trace(
            u"ERROR UNI(ZE-Ruzo-Vovar):  GetDriverPathComplete() GetPrinterDriver Error = %u \r\n",
            plat::GetLastError());
        return FALSE;
    }
    std::u16string_view path = di.driverPath;
    std::size_t cut = path.find_last_of(u'\\');
    path = cut == std::u16string_view::npos ? std::u16string_view() : path.substr(0, cut);
    if (FAILED(Copy(pwszDirectory, KX_MAX_PATH, path))) {
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  GetDriverPathComplete() Pfad zu lang: %s \r\n", path);
        pwszDirectory[0] = 0;
        return FALSE;
    }
    Trace(u"UNI(ZE-Ruzo-Vovar):  GetDriverPathComplete() pwDriverPath: %s \r\n", pwszDirectory);
    return TRUE;
}

DWORD GetDriverVersionInfo(PDEVOBJ pdevobj)
{
    OEM_PDEV* pOemPDev = GetOemPDev(pdevobj);
    if (!pOemPDev || !pOemPDev->pOp || !pOemPDev->pOp->pTreiberPfadDatei) {
        Trace(
            u"ERROR UNI(ZE-Ruzo-Vovar):  GetDriverVersionInfo() pOemPDev oder pTreiberPfadDatei "
            u"fehlt \r\n");
        return 0;
    }
    TreiberPfadDatei* pFiles = pOemPDev->pOp->pTreiberPfadDatei;
    const Treiberstrukturen* pSettings = pOemPDev->pOp->pTreiberstrukturen;
    pFiles->szPlugInVersion[0] = 0;

    // Where the job start has not filled in the driver directory, the
    // printer's driver is asked now; failing that, the directory of this
    // module is taken, which is where the driver's files are installed.
    WCHAR* pwszDir = pFiles->wcDriverDirectory;
    if (!pwszDir[0] && !GetDriverPathComplete(pdevobj->hPrinter, pwszDir)) {
        std::u16string module = plat::GetModuleFileName();
        std::size_t cut = module.find_last_of(u'\\');
        if (FAILED(Copy(pwszDir, KX_MAX_PATH,
                        cut == std::u16string::npos ? std::u16string() : module.substr(0, cut)))) {
            Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  GetDriverVersionInfo() Pfad zu lang: %s \r\n",
                  module);
            pwszDir[0] = 0;
        }
    }

    char szVersion[kPluginVersionChars];
    if (!GetPluginVersion(szVersion, pwszDir, nullptr)) return 1;
    // The plain version is kept in any case, so that the comparison with the
    // registered "DriverVersion" (interface parameters) has it.
    // Version texts are for reading (comments, log); a cut one is harmless.
    (void)Copy(pFiles->szPlugInVersion, kPlugInVersionTextChars, szVersion);

    bool bComments = pSettings && CommentsOn(pSettings->prnInterface);
    bool bLog = pSettings && pSettings->bLogFileEnable == 1;
    if (!bComments && !bLog) return 1;

    // The file's name as the directory spells it: Windows compares names
    // without case, the simulated drives do not.
    std::u16string path(View(pwszDir));
    path += u"\\";
    std::vector<plat::FindData> found;
    path += plat::FindFiles(path + kRenderPluginFileName, &found) && found.size() == 1
                ? found.front().name
                : std::u16string(kRenderPluginFileName);
    HANDLE h = plat::CreateFile(path, plat::kGenericRead, plat::kShareRead | plat::kShareWrite,
                                plat::kOpenExisting);
    if (h == plat::kInvalidHandle) {
        Trace(
            u"UNI(ZE-Ruzo-Vovar):  GetDriverVersionInfo(ERROR) %d - CreateFile - Can not open "
            u"File ",
            plat::GetLastError());
        return 1;
    }
    std::uint64_t fileTime = 0;
    plat::SystemTime t;
    bool bTime = plat::GetFileTime(h, &fileTime) && plat::FileTimeToLocalTime(fileTime, &t);
    plat::CloseHandle(h);
    if (!bTime) {
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  GetDriverVersionInfo() GetFileTime Error = %u \r\n",
              plat::GetLastError());
        return 1;
    }
    char szTime[32];
    (void)Format(szTime, " - %02d%02d.%04d.%02d%02d", t.wDay, t.wMonth, t.wYear, t.wHour,
                 t.wMinute);
    (void)Cat(pFiles->szPlugInVersion, kPlugInVersionTextChars, szTime);
    TraceA("UNI(ZE-Ruzo-Vovar):  GetDriverVersionInfo() %s \r\n", pFiles->szPlugInVersion);
    return 1;
}

const WCHAR* DriverEnvironmentKey(WORD wProcessorArchitecture)
{
    return wProcessorArchitecture == kArchitectureX64
               ? u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows "
                 u"x64\\Drivers\\Version-3"
               : u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT "
                 u"x86\\Drivers\\Version-3";
}

BOOL GetSetupInformation(HANDLE hPrinter, WCHAR* pwszDriverVersion, std::size_t cchDriverVersion)
{
    if (!pwszDriverVersion || cchDriverVersion == 0) return FALSE;
    pwszDriverVersion[0] = 0;
    plat::DriverInfo di;
    if (!plat::GetPrinterDriver(hPrinter, &di)) {
        Trace(u"ERROR UNI(ZI-Rezaz):  GetSetupInformation() GetPrinterDriver Error = %u \r\n",
              plat::GetLastError());
        return FALSE;
    }
    // The driver's name is taken whole: a name cut short would address
    // another key.
    std::u16string key = DriverEnvironmentKey(plat::GetNativeProcessorArchitecture());
    key += u"\\";
    key += di.name;
    WCHAR value[kSetupVersionBytes / sizeof(WCHAR) + 1] = {};
    std::uint32_t type = 0, cb = kSetupVersionBytes;
    DWORD dwError =
        plat::RegGetValue(plat::Hive::LocalMachine, key, reg::kDriverVersion, &type, value, &cb);
    if (dwError == ERROR_SUCCESS && type != plat::kRegSz) dwError = ERROR_INVALID_PARAMETER;
    if (dwError != ERROR_SUCCESS) {
        Trace(u"UNI(ZI-Rezaz):  GetSetupInformation() SHGetValue ERROR %d \r\n", dwError);
        return FALSE;
    }
    // A version text for reading and comparing; a cut one compares unequal.
    (void)Copy(pwszDriverVersion, cchDriverVersion,
               View(value, kSetupVersionBytes / sizeof(WCHAR)));
    return TRUE;
}

DWORD GetWindowsVersion(char* pszWindows, char* pszVersion, std::size_t cchWindows,
                        std::size_t cchVersion)
{
    if (pszWindows && cchWindows) pszWindows[0] = 0;
    if (pszVersion && cchVersion) pszVersion[0] = 0;
    if (!pszWindows || !pszVersion || !cchWindows || !cchVersion) return 0;

    std::u16string kernel = plat::GetFolderPath(plat::Folder::System) + u"\\Kernel32.dll";
    VS_FIXEDFILEINFO ffi;
    if (!GetVersionInfo(kernel.c_str(), &ffi)) {
        Trace(u"ERROR UNI(ZI-Rezaz):  GetWindowsVersion() keine Version von %s \r\n", kernel);
        return 0;
    }
    unsigned dwMajor = ffi.dwFileVersionMS >> 16;
    unsigned dwMinor = ffi.dwFileVersionMS & 0xFFFF;
    unsigned dwBuild = ffi.dwFileVersionLS >> 16;

    std::u16string product, line, display, build;
    DWORD dwError = 0;
    if (!ReadMachineText(reg::kCurrentVersionKey, reg::kProductName, &product, &dwError))
        Trace(u"ERROR UNI(ZI-Rezaz):  GetWindowsVersion() ProductName ERROR %d \r\n", dwError);
    if (dwMajor >= 10) {
        // A system without "DisplayVersion" gives an empty version, one
        // without "CurrentBuild" the build number of its version resource.
        if (!ReadMachineText(reg::kCurrentVersionKey, reg::kDisplayVersion, &display, &dwError))
            Trace(u"ERROR UNI(ZI-Rezaz):  GetWindowsVersion() DisplayVersion ERROR %d \r\n",
                  dwError);
        if (!ReadMachineText(reg::kCurrentVersionKey, reg::kCurrentBuild, &build, &dwError))
            build = Utf8ToUtf16(std::to_string(dwBuild));
        line = FormatString(u"Version %s (Build %s)", {display, build});
    } else {
        line = FormatString(u"Version %lu.%lu (Build %lu)", {dwMajor, dwMinor, dwBuild});
    }
    // Texts for the log and the comments only; a cut one is harmless.
    (void)Copy(pszWindows, cchWindows, plat::WideToMultiByte(plat::kCpAcp, product));
    (void)Copy(pszVersion, cchVersion, plat::WideToMultiByte(plat::kCpAcp, line));
    TraceA("UNI(ZI-Rezaz):  GetWindowsVersion() %s - %s \r\n", pszWindows, pszVersion);
    return 1;
}

}  // namespace kx
