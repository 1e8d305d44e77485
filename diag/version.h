// Version and system information for the job header, the interface
// parameters and the information log: the plug-in's version and build time,
// the driver's directory and registered version, the Windows version.
// Nothing here writes printer data, and no failure here fails a job: a
// failure is traced with the system's error code and leaves its text empty.
#pragma once

#include <cstddef>

#include "platform/unidrv.h"

namespace kx {

// The companion settings plug-in, whose version the job header prints, and
// the render plug-in, whose file time it adds.
inline constexpr WCHAR kUiPluginFileName[] = u"KXDRVUI-266.DLL";
inline constexpr WCHAR kRenderPluginFileName[] = u"KXDRVUNI-266.DLL";

// Buffers of GetPluginVersion (characters, terminator included).
constexpr std::size_t kPluginVersionChars = 200;
// The plug-in version text of the job (TreiberPfadDatei::szPlugInVersion).
constexpr std::size_t kPlugInVersionTextChars = 50;
// Suggested sizes of the texts of GetWindowsVersion and GetSetupInformation.
constexpr std::size_t kWindowsTextChars = 128;
constexpr std::size_t kSetupVersionChars = 15;  // 30 bytes

// The version block of a file's version resource, laid out as Windows has it.
struct VS_FIXEDFILEINFO {
    DWORD dwSignature;  // 0xFEEF04BD
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

// The fixed version block of a file; TRUE on success. Only the signature and
// the file and product versions are filled, the rest is zero.
BOOL GetVersionInfo(const WCHAR* pszFile, VS_FIXEDFILEINFO* pFixedFileInfo);

// The file version of the settings plug-in in pszDirectory as "a.b.c.d" into
// pszVersionA (kPluginVersionChars bytes) and, when given, pwszVersionW
// (kPluginVersionChars characters). FALSE, with empty texts, when the
// version cannot be read.
BOOL GetPluginVersion(char* pszVersionA, const WCHAR* pszDirectory, WCHAR* pwszVersionW);

// The directory of the printer's driver (its render module's path without
// the file name and final backslash) into pwszDirectory (KX_MAX_PATH
// characters). FALSE when the driver cannot be asked.
BOOL GetDriverPathComplete(HANDLE hPrinter, WCHAR* pwszDirectory);

// The plug-in version text of the job header, into
// pOp->pTreiberPfadDatei->szPlugInVersion: the settings plug-in's version,
// and, when comments or the information log are on, the local last-write
// time of the render plug-in " - DDMM.YYYY.hhmm". The driver directory is
// pTreiberPfadDatei->wcDriverDirectory. Returns 0 without the device state
// or pTreiberPfadDatei, else 1 (an unreadable version leaves the text empty).
DWORD GetDriverVersionInfo(PDEVOBJ pdevobj);

// The environment key of the installed drivers for a processor
// architecture (GetNativeSystemInfo: 9 is x64, anything else counts as x86).
const WCHAR* DriverEnvironmentKey(WORD wProcessorArchitecture);

// The driver version that setup registered ("DriverVersion" of the driver's
// key under HKEY_LOCAL_MACHINE, at most 30 bytes) into pwszDriverVersion
// (cchDriverVersion characters). FALSE, with an empty text, on failure.
BOOL GetSetupInformation(HANDLE hPrinter, WCHAR* pwszDriverVersion,
                         std::size_t cchDriverVersion = kSetupVersionChars);

// The Windows product name ("ProductName") into pszWindows and its version
// line into pszVersion, both in the ANSI code page: "Version 22H2 (Build
// 19045)" from Windows 10 on, "Version 6.1 (Build 7601)" before. Returns 0
// when the system's version resource cannot be read (both texts empty).
DWORD GetWindowsVersion(char* pszWindows, char* pszVersion,
                        std::size_t cchWindows = kWindowsTextChars,
                        std::size_t cchVersion = kWindowsTextChars);

}  // namespace kx
