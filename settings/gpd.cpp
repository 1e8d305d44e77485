// Reading the model block out of the printer's GPD text.
#include "settings/gpd.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "core/format.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "settings/models.h"

namespace kx {

namespace {

constexpr const char* kKeyDevNumOfPlanes = "*DevNumOfPlanes:";
constexpr const char* kKeyMaxPrintableWidth = "*MaxPrintableWidth:";
constexpr const char* kKeyMaxSize = "*MaxSize";
constexpr const char* kKeyOEMCustomData = "*OEMCustomData";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n' || c == '\0';
}

// The value of a keyword as a piece of the text (see GetAnyGPDValue).
// false when the keyword does not occur.
bool FindGPDValue(const char* pszText, const char* pszKeyword, std::string_view* pValue)
{
    *pValue = {};
    if (!pszText || !pszKeyword || !*pszKeyword) return false;
    const char* p = std::strstr(pszText, pszKeyword);
    if (!p) return false;
    p += std::strlen(pszKeyword);
    while (!IsBlank(*p)) {
        if (IsLineEnd(*p)) return true;  // no blank before the line ends: no value
        ++p;
    }
    while (IsBlank(*p)) ++p;
    const char* pStart = p;
    while (!IsLineEnd(*p)) {
        if (*p == ')') {
            ++p;
            break;
        }
        // A comment starts with "*%" after white space and runs to the line end.
        if (p[0] == '*' && p[1] == '%' && IsBlank(p[-1])) break;
        ++p;
    }
    const char* pEnd = p;
    while (pEnd > pStart && IsBlank(pEnd[-1])) --pEnd;
    *pValue = std::string_view(pStart, static_cast<size_t>(pEnd - pStart));
    return true;
}

void SkipBlanks(std::string_view& s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
}

// An optionally signed decimal number at the front of s, consumed. false when
// there is none or it does not fit a LONG.
bool TakeNumber(std::string_view& s, LONG* pValue)
{
    std::string_view rest = s;
    bool bNegative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        bNegative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    // Parsed as unsigned magnitude so that "+-5" or "--5" are not numbers.
    unsigned long long magnitude = 0;
    auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), magnitude);
    if (ec != std::errc() || ptr == rest.data()) return false;
    if (magnitude > (bNegative ? 0x80000000ull : 0x7FFFFFFFull)) return false;
    long long value = static_cast<long long>(magnitude);
    if (bNegative) value = -value;
    *pValue = static_cast<LONG>(value);
    s.remove_prefix(static_cast<size_t>(ptr - s.data()));
    return true;
}

bool TakeChar(std::string_view& s, char c)
{
    if (s.empty() || s.front() != c) return false;
    s.remove_prefix(1);
    return true;
}

// "PAIR(x, y)" with blanks allowed around the numbers.
bool ParseMaxSizePair(std::string_view v, GPD_PAIR* pPair)
{
    constexpr std::string_view kPair = "PAIR(";
    if (!v.starts_with(kPair)) return false;
    v.remove_prefix(kPair.size());
    GPD_PAIR pair{};
    SkipBlanks(v);
    if (!TakeNumber(v, &pair.x)) return false;
    SkipBlanks(v);
    if (!TakeChar(v, ',')) return false;
    SkipBlanks(v);
    if (!TakeNumber(v, &pair.y)) return false;
    SkipBlanks(v);
    if (!TakeChar(v, ')')) return false;
    *pPair = pair;
    return true;
}

bool IsCustomDataSeparator(char c)
{
    return IsBlank(c) || c == ';';
}

// "\"x y\"" or "\"x;y\"": a quoted string holding two numbers separated by
// blanks or semicolons; separators may also stand around the numbers.
bool ParseCustomDataPair(std::string_view v, GPD_PAIR* pPair)
{
    if (!TakeChar(v, '"')) return false;
    size_t close = v.find('"');
    if (close == std::string_view::npos) return false;
    v = v.substr(0, close);
    auto skip = [&v] {
        size_t n = 0;
        while (n < v.size() && IsCustomDataSeparator(v[n])) ++n;
        v.remove_prefix(n);
        return n;
    };
    GPD_PAIR pair{};
    skip();
    if (!TakeNumber(v, &pair.x)) return false;
    if (skip() == 0) return false;
    if (!TakeNumber(v, &pair.y)) return false;
    skip();
    if (!v.empty()) return false;
    *pPair = pair;
    return true;
}

// The text to read: the caller's, or the file loaded into holder.
const char* TextOrLoad(const char* pszText, const char16_t* pszGPDFile, GPDText* pHolder)
{
    if (pszText) return pszText;
    *pHolder = LoadGPDFile(pszGPDFile);
    return pHolder->get();
}

// x * num / den for positive values, rounded half away from zero, limited to
// what a WORD holds.
WORD RoundedRatio(unsigned long long x, unsigned long long num, unsigned long long den)
{
    if (den == 0) return 0;
    unsigned long long q = (x * num * 2 + den) / (den * 2);
    return q > 0xFFFFu ? WORD{0xFFFF} : static_cast<WORD>(q);
}

}  // namespace

void GPDTextFree::operator()(char* p) const
{
    plat::HeapFree(p);
}

GPDText LoadGPDFile(const char16_t* pszGPDFile)
{
    if (!pszGPDFile || !*pszGPDFile) {
        // The message text is the one support knows; the module follows it.
        Trace(u"ERROR pszGPDFile ist leer - UNI(GPD):  LoadGPDFile() \r\n");
        return nullptr;
    }
    plat::Handle hFile =
        plat::CreateFile(pszGPDFile, plat::kGenericRead, plat::kShareRead, plat::kOpenExisting);
    if (hFile == plat::kInvalidHandle) {
        Trace(u"ERROR UNI(GPD):  LoadGPDFile() CreateFile %s GetLastError: %u \r\n", pszGPDFile,
              plat::GetLastError());
        return nullptr;
    }
    GPDText text;
    std::uint64_t qwSize = 0;
    if (!plat::GetFileSize(hFile, &qwSize)) {
        Trace(u"ERROR UNI(GPD):  LoadGPDFile() GetFileSize %s GetLastError: %u \r\n", pszGPDFile,
              plat::GetLastError());
    } else if (qwSize == 0 || qwSize > kMaxGPDFileSize) {
        // An empty file holds no model data; an oversized one is no GPD of ours.
        Trace(u"ERROR UNI(GPD):  LoadGPDFile() %s dwSize: %llu (1..%u) \r\n", pszGPDFile, qwSize,
              kMaxGPDFileSize);
    } else {
        const auto dwSize = static_cast<DWORD>(qwSize);
        text.reset(static_cast<char*>(plat::HeapAlloc(dwSize + 1, false)));
        if (!text) {
            Trace(u"ERROR UNI(GPD):  LoadGPDFile() kein Speicher fuer %u Bytes \r\n", dwSize + 1);
        } else {
            // The file may shrink while it is read; what was read counts.
            DWORD dwTotal = 0;
            while (dwTotal < dwSize) {
                DWORD dwRead = 0;
                if (!plat::ReadFile(hFile, text.get() + dwTotal, dwSize - dwTotal, &dwRead)) {
                    Trace(u"ERROR UNI(GPD):  LoadGPDFile() ReadFile %s GetLastError: %u \r\n",
                          pszGPDFile, plat::GetLastError());
                    text.reset();
                    break;
                }
                if (dwRead == 0) break;
                dwTotal += dwRead;
            }
            if (text) {
                char* p = text.get();
                for (DWORD i = 0; i < dwTotal; ++i)
                    if (p[i] == '\0') p[i] = ' ';
                p[dwTotal] = '\0';
                Trace(u"UNI(GPD):  LoadGPDFile() %s dwSize: %u \r\n", pszGPDFile, dwTotal);
            }
        }
    }
    plat::CloseHandle(hFile);
    return text;
}

BOOL GetAnyGPDValue(const char* pszText, const char* pszKeyword, char16_t* pwValueOut,
                    size_t cchValueOut)
{
    if (pwValueOut && cchValueOut) pwValueOut[0] = u'\0';
    std::string_view value;
    if (!FindGPDValue(pszText, pszKeyword, &value)) return FALSE;
    if (pwValueOut && cchValueOut) {
        // Values are ASCII in practice; the rest is taken in the system code page.
        // GPD values are names and numbers, cut to the caller's field like
        // any other text; none of them is used as a path.
        (void)Copy(pwValueOut, cchValueOut, plat::MultiByteToWide(plat::kCpAcp, value));
    }
    return TRUE;
}

BOOL GetGPDContentMaxSizePAIR(const char16_t* pszGPDFile, GPD_PAIR* pPair, const char* pszText)
{
    if (!pPair) return FALSE;
    *pPair = {};
    GPDText holder;
    const char* pText = TextOrLoad(pszText, pszGPDFile, &holder);
    std::string_view value;
    if (!FindGPDValue(pText, kKeyMaxSize, &value)) {
        Trace(u"UNI(GPD):  GetGPDContentMaxSizePAIR() *MaxSize fehlt \r\n");
        return FALSE;
    }
    // A malformed entry yields no numbers at all rather than half a pair.
    if (!ParseMaxSizePair(value, pPair)) {
        TraceA("ERROR UNI(GPD):  GetGPDContentMaxSizePAIR() *MaxSize unlesbar: %s \r\n", value);
        return FALSE;
    }
    Trace(u"UNI(GPD):  GetGPDContentMaxSizePAIR() x: %d y: %d \r\n", pPair->x, pPair->y);
    return TRUE;
}

BOOL GetGPDContentOEMCustomDataPAIR(const char16_t* pszGPDFile, GPD_PAIR* pPair,
                                    const char* pszText)
{
    if (!pPair) return FALSE;
    *pPair = {};
    GPDText holder;
    const char* pText = TextOrLoad(pszText, pszGPDFile, &holder);
    std::string_view value;
    if (!FindGPDValue(pText, kKeyOEMCustomData, &value)) {
        Trace(u"UNI(GPD):  GetGPDContentOEMCustomDataPAIR() *OEMCustomData fehlt \r\n");
        return FALSE;
    }
    if (!ParseCustomDataPair(value, pPair)) {
        TraceA("ERROR UNI(GPD):  GetGPDContentOEMCustomDataPAIR() *OEMCustomData unlesbar: %s \r\n",
               value);
        return FALSE;
    }
    Trace(u"UNI(GPD):  GetGPDContentOEMCustomDataPAIR() dwHeadWidthByte: %d wMasterUnit: %d \r\n",
          pPair->x, pPair->y);
    return TRUE;
}

BOOL GetFixedPrinterSettingsFromGPD(OEM_PDEV* /*pdev*/, KX_DEVMODE* pKX_Devmode,
                                    DWORD* pdwDocFeatures, const char16_t* pszGPDFile)
{
    if (!pKX_Devmode) {
        Trace(u"ERROR UNI(GPD):  GetFixedPrinterSettingsFromGPD() pKX_Devmode ist NULL \r\n");
        return TRUE;
    }
    GPDText text = LoadGPDFile(pszGPDFile);
    if (!text) return TRUE;
    // The devmode is packed: work on a copy of the model block.
    KX_FIXEDDATA fixed = pKX_Devmode->FixedData;

    if (std::strstr(text.get(), kKeyDevNumOfPlanes) && pdwDocFeatures) {
        *pdwDocFeatures |= DOC_FEATURE_QUALITY;
        Trace(
            u"UNI(GPD):  GetFixedPrinterSettingsFromGPD() *DevNumOfPlanes: DOC_FEATURE_QUALITY "
            u"\r\n");
    }

    // The width is taken only when the whole value is a number a WORD holds.
    std::string_view value;
    if (FindGPDValue(text.get(), kKeyMaxPrintableWidth, &value)) {
        LONG lWidth = 0;
        if (TakeNumber(value, &lWidth) && value.empty() && lWidth >= 0 && lWidth <= 0xFFFF) {
            fixed.wMaxPrintableWidth = static_cast<WORD>(lWidth);
        } else {
            Trace(
                u"ERROR UNI(GPD):  GetFixedPrinterSettingsFromGPD() *MaxPrintableWidth unlesbar "
                u"\r\n");
        }
    }

    GPD_PAIR pair{};
    GetGPDContentMaxSizePAIR(pszGPDFile, &pair, text.get());
    fixed.lMaxSizeX = static_cast<DWORD>(pair.x > 0 ? pair.x : kGPDDefaultMaxSizeX);
    fixed.lMaxSizeY = static_cast<DWORD>(pair.y > 0 ? pair.y : kGPDDefaultMaxSizeY);

    // Each number falls back on its own; a resolution beyond a WORD counts as missing.
    GetGPDContentOEMCustomDataPAIR(pszGPDFile, &pair, text.get());
    fixed.dwHeadWidthByte = static_cast<DWORD>(pair.x > 0 ? pair.x : kGPDDefaultHeadWidthByte);
    fixed.wMasterUnit =
        static_cast<WORD>(pair.y > 0 && pair.y <= 0xFFFF ? pair.y : kGPDDefaultMasterUnit);

    if (fixed.wMasterUnit != 0) {
        // Dots to tenths of a millimetre; results beyond a WORD are held at 0xFFFF.
        fixed.wDurchlassbreite = RoundedRatio(fixed.lMaxSizeX, 254, fixed.wMasterUnit);
        fixed.wPrintHeadWidth = RoundedRatio(fixed.dwHeadWidthByte, 8ull * 254, fixed.wMasterUnit);
    }
    fixed.bQuality &= 1;
    pKX_Devmode->FixedData = fixed;

    Trace(
        u"UNI(GPD):  GetFixedPrinterSettingsFromGPD() dwHeadWidthByte: %u wMasterUnit: %u "
        u"lMaxSizeX: %u lMaxSizeY: %u wMaxPrintableWidth: %u wDurchlassbreite: %u "
        u"wPrintHeadWidth: %u \r\n",
        fixed.dwHeadWidthByte, fixed.wMasterUnit, fixed.lMaxSizeX, fixed.lMaxSizeY,
        fixed.wMaxPrintableWidth, fixed.wDurchlassbreite, fixed.wPrintHeadWidth);
    return TRUE;
}

}  // namespace kx
