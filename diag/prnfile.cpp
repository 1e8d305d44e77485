#include "diag/prnfile.h"

#include <string>
#include <string_view>
#include <vector>

#include "core/format.h"
#include "core/trace.h"
#include "platform/platform.h"

namespace kx {

namespace {

constexpr DWORD kErrSharingViolation = 32;
constexpr int kMaxNameTries = 20;
constexpr int kMaxFailedDeletions = 10;

// The file-name buffer. One for the process, like the trace stream: shared
// without a lock, and every caller copies the name before the next call.
WCHAR gwcPrnFileName[kPrnFileNameChars];

std::u16string_view View(const WCHAR* s, std::size_t cch = kPrnFileNameChars)
{
    return s ? std::u16string_view(s, Length(s, cch)) : std::u16string_view();
}

bool Contains(std::u16string_view text, std::u16string_view part)
{
    return text.find(part) != std::u16string_view::npos;
}

char16_t FoldAscii(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c;
}

std::u16string Folded(std::u16string_view s)
{
    std::u16string r(s);
    for (char16_t& c : r) c = FoldAscii(c);
    return r;
}

// Two directory names for the same place: letters compared without case,
// final backslashes ignored.
bool SameDirectory(std::u16string_view a, std::u16string_view b)
{
    while (a.size() > 1 && a.back() == u'\\') a.remove_suffix(1);
    while (b.size() > 1 && b.back() == u'\\') b.remove_suffix(1);
    return Folded(a) == Folded(b);
}

std::u16string WithBackslash(std::u16string_view dir)
{
    std::u16string r(dir);
    if (r.empty() || r.back() != u'\\') r += u'\\';
    return r;
}

// Creates a directory and the missing ones above it.
bool CreateDirectoryLevels(std::u16string_view path)
{
    if (plat::IsDirectory(path)) return true;
    std::size_t cut = path.find_last_of(u'\\');
    if (cut != std::u16string_view::npos && cut > 2) CreateDirectoryLevels(path.substr(0, cut));
    return plat::CreateDirectory(path) || plat::IsDirectory(path);
}

std::u16string Number(unsigned n)
{
    return Utf8ToUtf16(std::to_string(n));
}

enum class Deletion { Deleted, Failed, Vanished, NothingLeft };

// Deletes the oldest file of the directory, passing over *pSkip (the name
// whose deletion failed in the pass before). A failed deletion leaves its
// name in *pSkip.
Deletion DeleteOldestFile(const std::u16string& dirSlash, std::u16string* pSkip)
{
    std::vector<plat::FindData> found;
    if (!plat::FindFiles(dirSlash + u"*.*", &found)) return Deletion::NothingLeft;
    const plat::FindData* oldest = nullptr;
    for (const plat::FindData& fd : found) {
        if (fd.isDirectory || fd.name == *pSkip) continue;
        if (!oldest || fd.lastWriteTime < oldest->lastWriteTime) oldest = &fd;
    }
    if (!oldest) return Deletion::NothingLeft;
    std::u16string path = dirSlash + oldest->name;
    if (plat::DeleteFile(path)) {
        Trace(u"LIB(kxdrvlib):  GetFileCountInDirectory() %s geloescht \r\n", path);
        pSkip->clear();
        return Deletion::Deleted;
    }
    DWORD dwError = plat::GetLastError();
    *pSkip = oldest->name;
    if (dwError == ERROR_FILE_NOT_FOUND) return Deletion::Vanished;
    Trace(u"ERROR LIB(kxdrvlib):  GetFileCountInDirectory() DeleteFile %s Error = %u \r\n", path,
          dwError);
    // Only a file that is locked or protected counts against the limit of
    // failures; other errors are passed over like a vanished file.
    return dwError == ERROR_ACCESS_DENIED || dwError == kErrSharingViolation ? Deletion::Failed
                                                                             : Deletion::Vanished;
}

}  // namespace

DWORD GetFileCountInDirectory(const WCHAR* pwszDirectory, DWORD dwLimit, DWORD* pdwCount)
{
    std::u16string_view dir = View(pwszDirectory);
    if (pdwCount) *pdwCount = 0;
    if (dir.empty()) return 0;
    // The platform's listing leaves out "." and ".." itself, so every entry
    // it returns counts (the system listing returns those two first).
    std::u16string dirSlash = WithBackslash(dir);
    std::vector<plat::FindData> found;
    if (!plat::FindFiles(dirSlash + u"*.*", &found)) {
        DWORD dwError = plat::GetLastError();
        // An empty directory lists nothing, and that is a count of 0.
        if (dwError != ERROR_FILE_NOT_FOUND || !plat::IsDirectory(dir)) {
            Trace(
                u"ERROR LIB(kxdrvlib):  GetFileCountInDirectory() FindFirstFile %s Error = %u \r\n",
                dirSlash, dwError);
            return 0;
        }
    }
    DWORD dwCount = 0;
    for (const plat::FindData& fd : found)
        if (!Contains(fd.name, u"..")) ++dwCount;
    Trace(u"LIB(kxdrvlib):  GetFileCountInDirectory() %s - dwCount: %u, dwLimit: %u \r\n", dir,
          dwCount, dwLimit);
    if (dwCount < dwLimit || dwLimit < 10) {
        if (pdwCount) *pdwCount = dwCount;
        return 1;
    }
    DWORD dwPasses = dwCount - dwLimit + 1;
    int iFailed = 0;
    std::u16string skip;
    for (DWORD pass = 0; pass < dwPasses && iFailed < kMaxFailedDeletions; ++pass) {
        Deletion d = DeleteOldestFile(dirSlash, &skip);
        if (d == Deletion::Deleted) {
            --dwCount;
        } else if (d == Deletion::Failed) {
            ++iFailed;
        } else if (d == Deletion::NothingLeft) {
            break;  // only subdirectories (or the undeletable file) are left
        }
    }
    if (pdwCount) *pdwCount = dwCount;
    if (iFailed >= kMaxFailedDeletions) {
        Trace(u"ERROR LIB(kxdrvlib):  GetFileCountInDirectory() %d Dateien nicht loeschbar \r\n",
              iFailed);
        return 0;
    }
    return 1;
}

void GetMyDocDriverDirectory(WCHAR* pwszPath)
{
    if (!pwszPath) return;
    pwszPath[0] = 0;
    std::u16string docs = plat::GetFolderPath(plat::Folder::Personal);
    if (docs.empty()) {
        Trace(u"ERROR LIB(kxdrvlib):  GetMyDocDriverDirectory() CSIDL_PERSONAL Error = %u \r\n",
              plat::GetLastError());
        docs = u"C:";
    }
    std::u16string dir;
    // A service account (the spooler's own profile) has its documents below
    // "Windows\system32"; the directory's letters may come in any case.
    if (Contains(Folded(docs), u"WINDOWS\\SYSTEM32")) {
        Trace(u"LIB(kxdrvlib):  GetMyDocDriverDirectory() Systemkonto %s \r\n", docs);
    } else if (plat::IsDirectory(docs)) {
        dir = docs + u"\\Orvane\\Driver";
    } else {
        dir = u"C:";
    }
    if (!dir.empty()) {
        if (!CreateDirectoryLevels(dir))
            Trace(
                u"ERROR LIB(kxdrvlib):  GetMyDocDriverDirectory() CreateDirectory %s Error = %u "
                u"\r\n",
                dir, plat::GetLastError());
        dir += u"\\logfiles";
        if (!plat::IsDirectory(dir) && !plat::CreateDirectory(dir))
            Trace(
                u"ERROR LIB(kxdrvlib):  GetMyDocDriverDirectory() CreateDirectory %s Error = %u "
                u"\r\n",
                dir, plat::GetLastError());
    }
    if (dir.size() < 3) dir.clear();
    // A directory that does not fit is no directory: the callers fall back.
    if (FAILED(Copy(pwszPath, kPrnFileNameChars, dir))) {
        Trace(u"ERROR LIB(kxdrvlib):  GetMyDocDriverDirectory() Pfad zu lang: %s \r\n", dir);
        pwszPath[0] = 0;
    }
}

bool IsFremdeEigeneDateien(const WCHAR* pwszPath)
{
    std::u16string_view path = View(pwszPath);
    if (!Contains(path, u"Eigene Dateien") && !Contains(path, u"My Documents") &&
        !Contains(path, u"Documents"))
        return false;
    WCHAR own[kPrnFileNameChars];
    GetMyDocDriverDirectory(own);
    bool bFremd = !Contains(View(own), path);
    if (bFremd)
        Trace(u"LIB(kxdrvlib):  IsFremdeEigeneDateien() %s gehoert nicht zu %s \r\n", path, own);
    return bFremd;
}

const WCHAR* GetPrnFileName(HANDLE hPrinter, const WCHAR* pwszExtension,
                            const WCHAR* pwszPrinterName, DWORD bTidy, PRN_INTERFACE* pPrnInterface,
                            DWORD* pbRetval)
{
    WCHAR* buf = gwcPrnFileName;
    const std::size_t cch = kPrnFileNameChars;
    DWORD bRetval = 1;
    buf[0] = 0;
    auto finish = [&](const WCHAR* answer) {
        // The fixed answers always fit.
        if (answer) (void)Copy(buf, cch, answer);
        if (pbRetval) *pbRetval = bRetval;
        Trace(u"LIB(kxdrvlib):  GetPrnFileName() %s - bRetval: %u \r\n", buf, bRetval);
        return buf;
    };
    auto cat = [&](std::u16string_view s) {
        // A cut name is no name for a file: the caller writes none.
        if (FAILED(Cat(buf, cch, s))) {
            Trace(u"ERROR LIB(kxdrvlib):  GetPrnFileName() Name zu lang, gekuerzt: %s \r\n", buf);
            bRetval = 0;
        }
    };

    // The settings, or their defaults when there are none.
    DWORD bTimeStamp = pPrnInterface ? pPrnInterface->bLogFileTimeStamp : 1;
    DWORD dwFilesCount = pPrnInterface ? pPrnInterface->dwLogFilesCount : 100;

    // The directory: the user's choice, when it looks like a path.
    if (pPrnInterface) {
        WCHAR* pwszLogPath = pPrnInterface->wcLogFilePath;
        std::u16string_view logPath = View(pwszLogPath, PRN_PATH_CHARS);
        if (!logPath.empty() && Contains(logPath, u"\\")) {
            if (!plat::PathFileExists(logPath) && !plat::CreateDirectory(logPath)) {
                Trace(u"ERROR LIB(kxdrvlib):  GetPrnFileName() CreateDirectory %s Error = %u \r\n",
                      logPath, plat::GetLastError());
                GetMyDocDriverDirectory(pwszLogPath);
            }
            if (FAILED(Copy(buf, cch, View(pwszLogPath, PRN_PATH_CHARS)))) {
                // Not the user's directory any more: the per-user one is taken.
                Trace(u"ERROR LIB(kxdrvlib):  GetPrnFileName() LogFilePath zu lang: %s \r\n",
                      View(pwszLogPath, PRN_PATH_CHARS));
                buf[0] = 0;
            }
        }
    }
    if (buf[0] != 0 && IsFremdeEigeneDateien(buf)) GetMyDocDriverDirectory(buf);
    if (buf[0] == 0) GetMyDocDriverDirectory(buf);
    if (buf[0] == 0) {
        bRetval = 0;
        return finish(kPrnFileNameNoDirectory);
    }

    // Tidying and the free-space check look at the directory the files
    // actually go to. That is LogFilePath whenever the user's choice is
    // used; when it is not (none given, or another user's documents), the
    // per-user directory is looked after instead, so that an empty path is
    // never taken for the current drive's root.
    const std::u16string dir(View(buf));
    if (bTidy == 1 && bTimeStamp == 1 && pPrnInterface && dir != u"c:\\" && dir != u"d:\\" &&
        dir != u"e:\\") {
        std::u16string profile = plat::GetFolderPath(plat::Folder::Profile);
        if (!SameDirectory(profile, dir)) {
            WCHAR wcDir[kPrnFileNameChars];
            // dir came from buf, which has the same size: it always fits.
            (void)Copy(wcDir, kPrnFileNameChars, dir);
            DWORD dwCount = 0;
            if (!GetFileCountInDirectory(wcDir, dwFilesCount, &dwCount) || dwCount > dwFilesCount) {
                Trace(
                    u"ERROR LIB(kxdrvlib):  GetPrnFileName() zu viele Dateien in %s - dwCount: %u, "
                    u"LogFilesCount: %u \r\n",
                    dir, dwCount, dwFilesCount);
                bRetval = 0;
            }
        }
    }
    if (pPrnInterface) {
        std::uint64_t freeBytes = 0;
        if (!plat::GetDiskFreeSpace(dir, &freeBytes)) {
            Trace(u"ERROR LIB(kxdrvlib):  GetPrnFileName() GetDiskFreeSpaceEx %s Error = %u \r\n",
                  dir, plat::GetLastError());
        } else if (freeBytes <= kMinFreeBytes) {
            Trace(
                u"ERROR LIB(kxdrvlib):  GetPrnFileName() zu wenig Speicherplatz auf %s: %u Bytes "
                u"\r\n",
                dir, freeBytes);
            bRetval = 0;
            return finish(kPrnFileNameDiskFull);
        }
    }

    // The name.
    if (dir.back() != u'\\') cat(u"\\");
    std::u16string printer;
    if (pwszPrinterName && pwszPrinterName[0]) {
        printer = View(pwszPrinterName, kPrnFileNameChars);
    } else {
        plat::PrinterInfo info;
        if (plat::GetPrinterInfo(hPrinter, &info)) {
            printer = info.printerName;
        } else {
            Trace(u"ERROR LIB(kxdrvlib):  GetPrnFileName() GetPrinter Error = %u \r\n",
                  plat::GetLastError());
            cat(u"Dummy-Printer");
        }
    }
    std::size_t lastSlash = printer.find_last_of(u'\\');
    if (lastSlash != std::u16string::npos) printer.erase(0, lastSlash + 1);
    for (char16_t& c : printer)
        if (c == u'/' || c == u':') c = u'_';
    if (!Contains(View(buf), printer)) cat(printer);

    if (bTimeStamp == 1) {
        plat::SystemTime t = plat::GetLocalTime();
        WCHAR date[32];
        // Three 16-bit numbers: at most 17 characters, never cut.
        (void)Format(date, u"-%02u%02u%02u-", t.wDay, t.wMonth, t.wYear);
        if (!Contains(View(buf), View(date, 32))) {
            WCHAR stamp[64];
            // Seven 16-bit numbers: at most 42 characters, never cut.
            (void)Format(stamp, u"-%02u%02u%02u-%02u%02u%02u-%03u", t.wDay, t.wMonth, t.wYear,
                         t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
            cat(View(stamp, 64));
        }
    }
    std::u16string_view ext = View(pwszExtension, cch);
    if (!ext.empty() && !Contains(View(buf), ext)) cat(ext);

    // Two names within one millisecond: "-0", "-0-1", ... before the
    // extension. Without an extension the numbers go at the end.
    if (bTimeStamp == 1 && plat::PathFileExists(View(buf))) {
        for (int n = 0; n < kMaxNameTries; ++n) {
            std::size_t at = ext.empty() ? View(buf).size() : View(buf).find(ext);
            if (at == std::u16string_view::npos) at = View(buf).size();
            buf[at] = 0;
            cat(u"-" + Number(static_cast<unsigned>(n)));
            cat(ext);
            if (!plat::PathFileExists(View(buf))) break;
        }
    }
    return finish(nullptr);
}

}  // namespace kx
