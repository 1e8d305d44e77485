// The plug-in's narrow view of Windows.
//
// Everything the core takes from the operating system goes through these
// functions: registry and printer data, spooler and printer queries, forms,
// files and directories, heap accounting, local time, user and computer
// name, code-page conversion, version resources and the GDI engine calls.
//
// Two backends implement this header, chosen per file by the build:
//   *_win32.cpp  the real Win32 API (the shipped DLL)
//   *_sim.cpp    a small simulated Windows for the Linux build (see sim.h)
//
// The header uses only standard types so that the Win32 backend can include
// it next to <windows.h>. Results follow the Win32 conventions they stand
// for: functions returning uint32_t return a Win32 error code (0 = success);
// functions returning bool set the thread's last error on failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx::plat {

using Handle = void*;
inline Handle const kInvalidHandle = reinterpret_cast<Handle>(static_cast<std::intptr_t>(-1));

// ------------------------------------------------------------ last error
std::uint32_t GetLastError();
void SetLastError(std::uint32_t code);

// ------------------------------------------------------------ registry
// SHGetValueW / SHSetValueW / SHDeleteValueW semantics. Key and value names
// compare case-insensitively.
enum class Hive { CurrentUser, LocalMachine };

constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

// Reads a value. *cbData holds the buffer size on entry and the value size on
// return. data may be null to ask only for the size (result 0). A buffer that
// is too small gives ERROR_MORE_DATA (234) with the needed size in *cbData.
// A missing key or value gives ERROR_FILE_NOT_FOUND (2). type may be null.
std::uint32_t RegGetValue(Hive hive, std::u16string_view subKey, std::u16string_view name,
                          std::uint32_t* type, void* data, std::uint32_t* cbData);
// Writes a value, creating the key path as needed.
std::uint32_t RegSetValue(Hive hive, std::u16string_view subKey, std::u16string_view name,
                          std::uint32_t type, const void* data, std::uint32_t cbData);
std::uint32_t RegDeleteValue(Hive hive, std::u16string_view subKey, std::u16string_view name);
// Deletes a key with everything below it (host and tests only).
std::uint32_t RegDeleteTree(Hive hive, std::u16string_view subKey);

// Convenience wrappers over RegGetValue / RegSetValue.
bool RegGetDword(Hive hive, std::u16string_view subKey, std::u16string_view name,
                 std::uint32_t* value);
std::uint32_t RegSetDword(Hive hive, std::u16string_view subKey, std::u16string_view name,
                          std::uint32_t value);

// ------------------------------------------------------------ printers
std::uint32_t OpenPrinter(std::u16string_view printerName, Handle* phPrinter);
void ClosePrinter(Handle hPrinter);

// GetPrinterDataW (key "PrinterDriverData") and GetPrinterDataExW.
// *cbNeeded receives the value's size; ERROR_MORE_DATA when cbData is short.
std::uint32_t GetPrinterData(Handle hPrinter, std::u16string_view name, std::uint32_t* type,
                             void* data, std::uint32_t cbData, std::uint32_t* cbNeeded);
std::uint32_t GetPrinterDataEx(Handle hPrinter, std::u16string_view key, std::u16string_view name,
                               std::uint32_t* type, void* data, std::uint32_t cbData,
                               std::uint32_t* cbNeeded);
std::uint32_t SetPrinterDataEx(Handle hPrinter, std::u16string_view key, std::u16string_view name,
                               std::uint32_t type, const void* data, std::uint32_t cbData);

// GetPrinterW level 2 (the fields the plug-in reads).
struct PrinterInfo {
    std::u16string serverName;  // empty for a local printer
    std::u16string printerName;
    std::u16string shareName;
    std::u16string portName;
    std::u16string driverName;
    std::u16string comment;
    std::u16string location;
    std::u16string dataType;
    std::uint32_t attributes = 0;
    std::uint32_t priority = 0;
    std::uint32_t status = 0;
    std::uint32_t cJobs = 0;
};
bool GetPrinterInfo(Handle hPrinter, PrinterInfo* info);

// GetPrinterDriverW level 6 (the fields the plug-in reads).
struct DriverInfo {
    std::u16string name;
    std::u16string environment;
    std::u16string driverPath;  // the render module
    std::u16string dataFile;    // the GPD
    std::u16string configFile;
    std::u16string helpFile;
    std::u16string defaultDataType;
    std::u16string mfgName;
    std::u16string provider;
    std::uint32_t version = 0;
    std::uint64_t driverVersion = 0;  // four 16-bit parts, most significant first
    // dwPrinterDriverAttributes of level 8 (PRINTER_DRIVER_PACKAGE_AWARE 0x1,
    // PRINTER_DRIVER_SANDBOX_ENABLED 0x4, ...); 0 where the spooler lacks level 8.
    std::uint32_t printerDriverAttributes = 0;
};
bool GetPrinterDriver(Handle hPrinter, DriverInfo* info);

struct SystemTime {
    std::uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
    std::uint16_t wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};

// GetJobW level 1/2 (the fields the plug-in reads).
struct JobInfo {
    std::uint32_t jobId = 0;
    std::u16string printerName;
    std::u16string machineName;
    std::u16string userName;
    std::u16string document;
    std::u16string dataType;
    std::uint32_t status = 0;
    std::uint32_t priority = 0;
    std::uint32_t position = 0;
    std::uint32_t totalPages = 0;
    std::uint32_t pagesPrinted = 0;
    SystemTime submitted;  // UTC, as the spooler gives it
};
bool GetJob(Handle hPrinter, std::uint32_t jobId, JobInfo* info);

// EnumFormsW level 1. Sizes in thousandths of a millimetre.
struct FormInfo {
    std::uint32_t flags = 0;  // 0 user, 1 built-in, 2 printer
    std::u16string name;
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // imageable area
};
bool EnumForms(Handle hPrinter, std::vector<FormInfo>* forms);

// Sending a document to a printer (re-sending a print file).
bool StartDocPrinter(Handle hPrinter, std::u16string_view docName, std::u16string_view dataType,
                     std::uint32_t* jobId);
bool StartPagePrinter(Handle hPrinter);
bool WritePrinter(Handle hPrinter, const void* data, std::uint32_t cbData,
                  std::uint32_t* cbWritten);
bool EndPagePrinter(Handle hPrinter);
bool EndDocPrinter(Handle hPrinter);

// ------------------------------------------------------------ files
// Paths are Windows paths ("C:\dir\file.prn"); the simulated backend maps
// drive letters into its root folder.
constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kShareRead = 0x1;
constexpr std::uint32_t kShareWrite = 0x2;
constexpr std::uint32_t kShareDelete = 0x4;
constexpr std::uint32_t kCreateNew = 1;
constexpr std::uint32_t kCreateAlways = 2;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kOpenAlways = 4;
constexpr std::uint32_t kTruncateExisting = 5;
constexpr std::uint32_t kFileBegin = 0;
constexpr std::uint32_t kFileCurrent = 1;
constexpr std::uint32_t kFileEnd = 2;

// CreateFileW with FILE_ATTRIBUTE_NORMAL; kInvalidHandle on failure.
Handle CreateFile(std::u16string_view path, std::uint32_t access, std::uint32_t share,
                  std::uint32_t disposition);
bool ReadFile(Handle h, void* data, std::uint32_t cbData, std::uint32_t* cbRead);
bool WriteFile(Handle h, const void* data, std::uint32_t cbData, std::uint32_t* cbWritten);
// SetFilePointerEx; *newPosition may be null.
bool SetFilePointer(Handle h, std::int64_t distance, std::uint32_t method,
                    std::uint64_t* newPosition);
bool GetFileSize(Handle h, std::uint64_t* size);
// GetFileTime: the last-write time as FILETIME (100 ns units since
// 1601-01-01 UTC).
bool GetFileTime(Handle h, std::uint64_t* lastWriteTime);
bool CloseHandle(Handle h);

bool CopyFile(std::u16string_view from, std::u16string_view to, bool failIfExists);
bool MoveFile(std::u16string_view from, std::u16string_view to);
bool DeleteFile(std::u16string_view path);
bool CreateDirectory(std::u16string_view path);  // one level, like CreateDirectoryW
bool RemoveDirectory(std::u16string_view path);
bool PathFileExists(std::u16string_view path);  // files and directories
bool IsDirectory(std::u16string_view path);

struct FindData {
    std::u16string name;  // file name without directory
    bool isDirectory = false;
    std::uint64_t size = 0;
    std::uint64_t lastWriteTime = 0;  // FILETIME: 100 ns units since 1601-01-01 UTC
};
// FindFirstFileW / FindNextFileW over a pattern whose last component may hold
// "*" and "?". Entries "." and ".." are not returned. false (and last error
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND) when nothing matches.
bool FindFiles(std::u16string_view pattern, std::vector<FindData>* found);

// GetDiskFreeSpaceExW: bytes available to the caller on the volume of path.
bool GetDiskFreeSpace(std::u16string_view path, std::uint64_t* freeBytes);

// SHGetFolderPathW for the folders the plug-in uses.
// Profile is the user's profile folder (CSIDL_PROFILE).
enum class Folder {
    Windows,
    System,
    CommonAppData,
    LocalAppData,
    AppData,
    Personal,
    Temp,
    Profile
};
std::u16string GetFolderPath(Folder folder);

// The full path of the plug-in module itself (GetModuleFileNameW).
std::u16string GetModuleFileName();

// ------------------------------------------------------------ heap
// The process heap, with process-wide accounting so that leaks show.
void* HeapAlloc(std::size_t size, bool zero);
void HeapFree(void* p);
struct HeapStats {
    std::int64_t liveBlocks = 0;
    std::int64_t liveBytes = 0;
    std::uint64_t totalAllocations = 0;
};
HeapStats GetHeapStats();

// ------------------------------------------------------------ time
SystemTime GetLocalTime();
// A FILETIME as local time, by the time zone's rules for that date
// (FileTimeToSystemTime + SystemTimeToTzSpecificLocalTime).
bool FileTimeToLocalTime(std::uint64_t fileTime, SystemTime* local);
void Sleep(std::uint32_t milliseconds);
std::uint64_t GetTickCount64();

// ------------------------------------------------------------ identity
std::u16string GetUserName();
std::u16string GetComputerName();
// GetNativeSystemInfo's wProcessorArchitecture (9 = x64, 0 = x86, 12 = ARM64).
std::uint16_t GetNativeProcessorArchitecture();

// ------------------------------------------------------------ code pages
constexpr std::uint32_t kCpAcp = 0;
constexpr std::uint32_t kCpOemCp = 1;
constexpr std::uint32_t kCpSymbol = 42;
constexpr std::uint32_t kCp437 = 437;
constexpr std::uint32_t kCp850 = 850;
constexpr std::uint32_t kCp1252 = 1252;
constexpr std::uint32_t kCpUtf8 = 65001;

std::uint32_t GetACP();
std::uint32_t GetOEMCP();
// MultiByteToWideChar / WideCharToMultiByte. Characters that the code page
// cannot express become "?" (and *usedDefault is set when given). Invalid
// UTF-8 becomes U+FFFD. An unsupported code page gives an empty result and
// last error ERROR_INVALID_PARAMETER.
std::u16string MultiByteToWide(std::uint32_t codePage, std::string_view text);
std::string WideToMultiByte(std::uint32_t codePage, std::u16string_view text,
                            bool* usedDefault = nullptr);

// ------------------------------------------------------------ versions
struct VersionInfo {
    std::uint16_t fileVersion[4] = {0, 0, 0, 0};
    std::uint16_t productVersion[4] = {0, 0, 0, 0};
    std::u16string productName;
    std::u16string fileDescription;
    std::u16string companyName;
    std::u16string fileVersionText;
};
// GetFileVersionInfoW + VerQueryValueW ("\" and the first string table).
bool GetFileVersionInfo(std::u16string_view path, VersionInfo* info);

// ------------------------------------------------------------ GDI engine
// The engine calls of the GDI driver interface (STROBJ_vEnumStart,
// STROBJ_bEnumPositionsOnly, FONTOBJ_pifi, EngCreatePalette,
// EngDeletePalette, GetPaletteEntries...). They are resolved at run time: from
// gdi32 where it exports them, else from the host executable's exports.
// Null when nobody provides the name.
void* ResolveEngineCall(const char* name);

}  // namespace kx::plat
