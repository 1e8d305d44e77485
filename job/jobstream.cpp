// The pieces the job start, page end and document and job end share. The
// handlers themselves live in startjob.cpp, endpage.cpp, enddoc.cpp and
// endjob.cpp; the document and page start in docpage.cpp.
#include "job/jobsteps.h"

#include <algorithm>
#include <cstring>

#include "core/trace.h"
#include "diag/logfile.h"
#include "platform/platform.h"

namespace kx {

std::string TimeOfDay()
{
    plat::SystemTime t = plat::GetLocalTime();
    return FormatString("%02u:%02u:%02u,%03u", {t.wHour, t.wMinute, t.wSecond, t.wMilliseconds});
}

// The wait is handed to the platform's Sleep rather than spun on the clock:
// the effect on the printer is the same pause, the spooler's thread does not
// burn a processor, and a fixed test clock advances instead of stalling.
void Warte(DWORD dwMilliseconds)
{
    Trace(u"UNI(CC-Klassen):  Warte() %u ms \r\n", dwMilliseconds);
    plat::Sleep(dwMilliseconds);
}

bool CollatedByResend(PDEVOBJ pdevobj)
{
    const DEVMODEW* pub = pdevobj ? pdevobj->pPublicDM : nullptr;
    const KX_DEVMODE* pKX = GetKxDevmode(pdevobj);
    return pub && pKX && pub->dmCollate == 1 && pub->dmCopies > 1 && pKX->wAutoCollate == 0;
}

bool ReadJobDword(const TreiberPfadDatei* files, const char16_t* pszName, DWORD* pdwValue)
{
    if (!files || !files->szRegKey[0]) return false;
    std::uint32_t v = 0;
    if (!plat::RegGetDword(plat::Hive::CurrentUser, files->szRegKey, pszName, &v)) return false;
    *pdwValue = v;
    return true;
}

void WriteJobDword(const TreiberPfadDatei* files, const char16_t* pszName, DWORD dwValue)
{
    if (!files || !files->szRegKey[0]) return;
    std::uint32_t err =
        plat::RegSetDword(plat::Hive::CurrentUser, files->szRegKey, pszName, dwValue);
    if (err != 0)
        Trace(u"ERROR UNI(CC-Klassen):  HCU %s %s ERROR %d \r\n", files->szRegKey, pszName, err);
}

void DeleteJobValue(const TreiberPfadDatei* files, const char16_t* pszName)
{
    if (!files || !files->szRegKey[0]) return;
    std::uint32_t err = plat::RegDeleteValue(plat::Hive::CurrentUser, files->szRegKey, pszName);
    if (err != 0 && err != ERROR_FILE_NOT_FOUND)
        Trace(u"ERROR UNI(CC-Klassen):  HCU %s %s loeschen ERROR %d \r\n", files->szRegKey, pszName,
              err);
}

void JobLog(const OEM_PDEV* pOemPDev, const char* pszText)
{
    if (CLogFile* log = GetJobLogFile(pOemPDev)) log->WriteLine(nullptr, pszText, 1);
}

void CloseJobLog(OEM_PDEV* pOemPDev)
{
    CloseJobLogFile(pOemPDev);
}

std::string PrnFileNameA(const TreiberPfadDatei* files)
{
    if (!files) return {};
    return plat::WideToMultiByte(
        plat::kCpAcp,
        std::u16string_view(files->wcPrnFileName, Length(files->wcPrnFileName, KX_MAX_PATH)));
}

}  // namespace kx

namespace kx {

std::u16string GetDevmodeText(const KX_DEVMODE* pKX, DevmodeText field)
{
    std::u16string text;
    if (!pKX || field.chars == 0) return text;
    const BYTE* p = reinterpret_cast<const BYTE*>(pKX) + field.offset;
    for (std::size_t i = 0; i + 1 < field.chars; ++i) {
        char16_t c;
        std::memcpy(&c, p + i * sizeof(char16_t), sizeof(c));
        if (c == 0) break;
        text.push_back(c);
    }
    return text;
}

void SetDevmodeText(KX_DEVMODE* pKX, DevmodeText field, std::u16string_view text)
{
    if (!pKX || field.chars == 0) return;
    BYTE* p = reinterpret_cast<BYTE*>(pKX) + field.offset;
    std::size_t n = std::min(text.size(), field.chars - 1);
    std::memcpy(p, text.data(), n * sizeof(char16_t));
    const char16_t nul = 0;
    std::memcpy(p + n * sizeof(char16_t), &nul, sizeof(nul));
}

void TerminateDevmodeText(KX_DEVMODE* pKX, DevmodeText field)
{
    if (!pKX || field.chars == 0) return;
    const char16_t nul = 0;
    std::memcpy(reinterpret_cast<BYTE*>(pKX) + field.offset + (field.chars - 1) * sizeof(char16_t),
                &nul, sizeof(nul));
}

}  // namespace kx
