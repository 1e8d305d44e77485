// Pieces shared by the job start, the page end and the document and job end:
// the local time as the comment lines write it, the wait routine, the
// registry values of a broken or collated job and the information log of
// the job.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/format.h"
#include "core/oempdev.h"

namespace kx {

// "%02u:%02u:%02u,%03u" of the local time (hour, minute, second, ms).
std::string TimeOfDay();

// The wait routine: lets the given milliseconds pass on the local clock.
void Warte(DWORD dwMilliseconds);

// A collated job whose copies are made by re-sending the print file:
// dmCollate 1, more than one copy and no collation by the application.
bool CollatedByResend(PDEVOBJ pdevobj);

// Registry values of the job under HKEY_CURRENT_USER szRegKey.
bool ReadJobDword(const TreiberPfadDatei* files, const char16_t* pszName, DWORD* pdwValue);
void WriteJobDword(const TreiberPfadDatei* files, const char16_t* pszName, DWORD dwValue);
void DeleteJobValue(const TreiberPfadDatei* files, const char16_t* pszName);

// The information log of the job (when LogFileEnable opened it): one line,
// followed by "\r\n". Does nothing without an open log.
void JobLog(const OEM_PDEV* pOemPDev, const char* pszText);
template <class... A>
void JobLogF(const OEM_PDEV* pOemPDev, const char* fmt, const A&... args)
{
    JobLog(pOemPDev, FormatString(fmt, {FmtArg(args)...}).c_str());
}

// Closes and deletes the job's log object (after its closing lines).
void CloseJobLog(OEM_PDEV* pOemPDev);

// The print-file name as narrow text (for comments and records).
std::string PrnFileNameA(const TreiberPfadDatei* files);

}  // namespace kx

namespace kx {

// Wide text fields of the packed private devmode, read and written through
// their offsets (the fields are not aligned). chars counts the field's
// characters, terminator included.
struct DevmodeText {
    std::size_t offset;
    std::size_t chars;
};
#define KX_DM_TEXT(field)                                                      \
    ::kx::DevmodeText                                                          \
    {                                                                          \
        offsetof(KX_DEVMODE, field), sizeof(KX_DEVMODE::field) / sizeof(WCHAR) \
    }

// The field's text up to its first NUL (at most chars - 1 characters).
std::u16string GetDevmodeText(const KX_DEVMODE* pKX, DevmodeText field);
// Writes text (cut to chars - 1 characters) and its terminator.
void SetDevmodeText(KX_DEVMODE* pKX, DevmodeText field, std::u16string_view text);
// Writes a NUL into the field's last character.
void TerminateDevmodeText(KX_DEVMODE* pKX, DevmodeText field);

}  // namespace kx

namespace kx {

// The job header (print file only): print time, the driver's provider, the
// printer, the plug-in version and the Windows version, then an empty line.
HRESULT SendHeader(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);

}  // namespace kx
