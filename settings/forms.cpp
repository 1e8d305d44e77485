#include "settings/forms.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "core/format.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "core/regvalues.h"

namespace kx {

namespace {

constexpr int kNoSize = 0;
constexpr int kNoForms = -1;
constexpr int kNoMatch = -2;

// Searches the forms: the paper size number of the first match, or kNoSize,
// kNoForms, kNoMatch. (A 256th form would have the number of DMPAPER_USER;
// it is still reported as a match.)
int FindForm(HANDLE hPrinter, LONG length, LONG width, WCHAR* pszFormNameOut)
{
    // A negative size is as meaningless as none: a form of that size does not
    // exist, and a corrupt record must not find a zero-sized form.
    if (length <= 0 || width <= 0) return kNoSize;
    std::vector<plat::FormInfo> forms;
    try {
        if (!plat::EnumForms(hPrinter, &forms)) {
            Trace(u"ERROR UNI(Forms):  GetFormIDfromSizes() EnumForms() failed: %u \r\n",
                  plat::GetLastError());
            return kNoForms;
        }
    } catch (const std::bad_alloc&) {
        Trace(u"ERROR UNI(Forms):  GetFormIDfromSizes() kein Speicher \r\n");
        return kNoForms;
    }
    for (std::size_t i = 0; i < forms.size(); ++i) {
        const plat::FormInfo& f = forms[i];
        LONG formWidth = f.cx / 100;  // thousandths to tenths, toward zero
        LONG formLength = f.cy / 100;
        if (std::abs(formWidth - width) > 1 || std::abs(formLength - length) > 1) continue;
        // Form names are at most 31 characters on Windows; a cut one only
        // shows in the log.
        if (pszFormNameOut) (void)Copy(pszFormNameOut, kFormNameChars, f.name);
        Trace(
            u"UNI(Forms):  GetFormIDfromSizes() dmPaperLength: %d, dmPaperWidth: %d -> "
            u"Form %d %s \r\n",
            length, width, static_cast<int>(i + 1), f.name);
        return static_cast<int>(i + 1);
    }
    Trace(
        u"UNI(Forms):  GetFormIDfromSizes() dmPaperLength: %d, dmPaperWidth: %d -> keine "
        u"Form \r\n",
        length, width);
    return kNoMatch;
}

}  // namespace

int GetFormIDfromSizes(HANDLE hPrinter, LONG dmPaperLength, LONG dmPaperWidth,
                       WCHAR* pszFormNameOut)
{
    int id = FindForm(hPrinter, dmPaperLength, dmPaperWidth, pszFormNameOut);
    return id == kNoForms || id == kNoMatch ? kPaperUser : id;
}

int GetFormIDfromSizes(HANDLE hPrinter, KX_DEVMODE* pShortDevmode, WCHAR* pszFormNameOut)
{
    if (!pShortDevmode) return 0;
    int id = FindForm(hPrinter, pShortDevmode->dmPaperLength, pShortDevmode->dmPaperWidth,
                      pszFormNameOut);
    if (id == kNoSize || id == kNoForms) return 0;
    pShortDevmode->dmPaperSize = static_cast<DWORD>(id == kNoMatch ? kPaperUser : id);
    return id == kNoMatch ? 0 : 1;
}

std::u16string RealPrinterName(HANDLE hPrinter)
{
    plat::PrinterInfo info;
    if (!plat::GetPrinterInfo(hPrinter, &info)) {
        Trace(u"ERROR UNI(Forms):  GetRealPrinterName() GetPrinter() failed: %u \r\n",
              plat::GetLastError());
        return {};
    }
    const std::u16string& name = info.printerName;
    std::size_t bar = name.find(u'|');
    if (bar != std::u16string::npos && name.find(u"\\\\") != std::u16string::npos) {
        std::size_t end = name.find(u'\\', bar + 1);
        std::u16string server = name.substr(
            bar + 1, end == std::u16string::npos ? std::u16string::npos : end - bar - 1);
        WCHAR dsName[kPrinterNameChars] = {};
        std::uint32_t type = 0;
        std::uint32_t needed = 0;
        // One character is kept back so that the text always ends.
        DWORD rc = plat::GetPrinterDataEx(hPrinter, reg::kDsSpoolerKey, reg::kDsSpoolerPrinterName,
                                          &type, dsName, sizeof(dsName) - sizeof(WCHAR), &needed);
        if (rc == ERROR_SUCCESS) {
            std::u16string real = u"\\\\" + server + u"\\";
            real.append(dsName, Length(dsName, kPrinterNameChars));
            Trace(u"UNI(Forms):  GetRealPrinterName() %s -> %s \r\n", name, real);
            return real;
        }
        Trace(u"UNI(Forms):  GetRealPrinterName() DsSpooler printerName: %u \r\n", rc);
    }
    return name;
}

BOOL GetRealPrinterName(HANDLE hPrinter, WCHAR* pszNameOut)
{
    if (!pszNameOut) return FALSE;
    std::u16string name;
    try {
        name = RealPrinterName(hPrinter);
    } catch (const std::bad_alloc&) {
        Trace(u"ERROR UNI(Forms):  GetRealPrinterName() kein Speicher \r\n");
        return FALSE;
    }
    if (name.empty()) return FALSE;
    // A cut printer name would name another printer: no name then.
    if (FAILED(Copy(pszNameOut, kPrinterNameChars, name))) {
        pszNameOut[0] = 0;
        return FALSE;
    }
    return TRUE;
}

}  // namespace kx
