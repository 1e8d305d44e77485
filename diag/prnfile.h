// Module kxdrvlib: where a job's print file, log and trace file go, what
// they are called, and keeping their directory from filling up.
//
// Names are "<directory>\<printer>-DDMMYYYY-hhmmss-mmm<extension>". The
// directory is the user's choice from the interface settings (LogFilePath)
// or the per-user fallback "<Documents>\Orvane\Driver\logfiles". Trace
// lines carry the prefix "LIB(kxdrvlib):  ".
#pragma once

#include "platform/kxtypes.h"
#include "core/prn_interface.h"

namespace kx {

// Characters of the file-name buffer, terminator included.
constexpr std::size_t kPrnFileNameChars = 260;

// The two fixed answers of GetPrnFileName (with *pbRetval 0).
inline constexpr WCHAR kPrnFileNameNoDirectory[] = u"C:\\xxx123.prn";
inline constexpr WCHAR kPrnFileNameDiskFull[] = u" ";

// Below this many bytes free on the volume no name is given out.
constexpr std::uint64_t kMinFreeBytes = 1024000000;

// Builds a file name for the job and returns it in the process-wide
// file-name buffer, which the next call overwrites: callers copy it at once.
//   hPrinter        printer whose name is used when pwszPrinterName is null
//   pwszExtension   appended to the name (".log"); null or empty for none
//   pwszPrinterName the printer name, or null to ask the printer handle
//   bTidy           1: delete the oldest files of the directory over the
//                   limit LogFilesCount (only with LogFileTimeStamp 1)
//   pPrnInterface   the interface settings, or null (time stamp on, no
//                   tidying, no free-space check); its LogFilePath is
//                   replaced by the fallback directory when it cannot be
//                   created
//   pbRetval        set to 1, or to 0 when the caller should write no file
//                   (no directory, too many files, a deletion failed, the
//                   disk is nearly full); may be null
// The answer is never null: a full path, kPrnFileNameNoDirectory or
// kPrnFileNameDiskFull.
const WCHAR* GetPrnFileName(HANDLE hPrinter, const WCHAR* pwszExtension,
                            const WCHAR* pwszPrinterName, DWORD bTidy, PRN_INTERFACE* pPrnInterface,
                            DWORD* pbRetval);

// The per-user fallback directory "<Documents>\Orvane\Driver\logfiles",
// created when missing ("C:\logfiles" when the documents folder does not
// exist; empty under a service account, whose documents lie below
// "Windows\system32"). pwszPath holds kPrnFileNameChars characters.
void GetMyDocDriverDirectory(WCHAR* pwszPath);

// True when pwszPath lies in a documents folder ("Eigene Dateien", "My
// Documents", "Documents") that the current user's own driver directory
// does not contain: another user's files, which a job must not fill.
bool IsFremdeEigeneDateien(const WCHAR* pwszPath);

// Counts the entries of a directory (files and subdirectories) into
// *pdwCount. When there are dwLimit or more and dwLimit is at least 10, the
// oldest files (by last-write time) are deleted until dwLimit - 1 remain.
// Returns 1 on success, 0 when the directory cannot be listed or ten
// deletions failed.
DWORD GetFileCountInDirectory(const WCHAR* pwszDirectory, DWORD dwLimit, DWORD* pdwCount);

}  // namespace kx
