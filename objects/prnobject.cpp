#include "objects/prnobject.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

#include "core/format.h"
#include "core/pageparts.h"
#include "core/printeroptions.h"
#include "core/regvalues.h"
#include "core/trace.h"
#include "core/units.h"
#include "objects/barcodefield.h"
#include "objects/textconv.h"
#include "platform/platform.h"
#include "settings/models.h"

namespace kx {

namespace {

constexpr ULONG kTextColourWhite = 0xffffff;

// Texts longer than this go into the standard-protocol B record, and into
// the lines of the recall file, only cut (B) or not at all (recall file).
constexpr int kShortTextChars = 70;
// A field name of the NAME record holds at most 19 characters; a name given
// with "[=NA:" of 20 or more is dropped.
constexpr std::size_t kMaxNameChars = 19;

// Room of a field's records besides its text. Worst case of the extended
// protocol: S "AM[n]F1;F2;p;t;" (5 numbers of at most 11 characters: 66),
// five class parameters (59), ";foot" (11), E "\r\n" S "BM[n]" (18), E
// "\r\n" S "AC[n]NAME=\"name\"" (44 with a 19-character name), E, "\r\n" S
// "AC[n]PH=2" E (20), "\r\n" S "AC[n]FGND=1" E (22) and "\r\n": about 250
// bytes. A barcode field replaces the class parameters by its parameter set
// (at most nine numbers, PDF417: 107) and adds "=SV(1;n)" (17) and the
// bearer record "\r\n" S "AC[n]BT=a;BW=b;QZ=c" E (62): about 360 bytes. The
// standard protocol's AB record is 40 bytes, its B record 76, a barcode's C
// record 30. The text itself appears once; a barcode's prepared text is at
// most two bytes longer (the FNC1 end, the UPC-E number system). The buffer
// is twice text plus allowance.
constexpr std::size_t kRecordAllowance = 512;

// Positions come from any application: arithmetic on them is done wide
// and brought back into the 32-bit range, never overflowing.
LONG Clamp32(long long v)
{
    return static_cast<LONG>(std::clamp<long long>(v, INT32_MIN + 1, INT32_MAX));
}
LONG Scaled(LONG v, double factor)
{
    const double r = static_cast<double>(v) * factor;
    if (!(r == r)) return 0;  // not a number
    return static_cast<LONG>(
        std::clamp(r, static_cast<double>(INT32_MIN + 1), static_cast<double>(INT32_MAX)));
}

DWORD OrDefaultMasterUnit(DWORD dwMasterUnit, const char16_t* who)
{
    if (dwMasterUnit != 0) return dwMasterUnit;
    Trace(u"UNI(TextOut):  %s() ERROR dwMasterUnit auf 300 festgelegt \r\n", who);
    return kDefaultMasterUnit;
}

bool IsExtended(const KX_POP& op)
{
    return op.pTreiberstrukturen->prnInterface.dwExtendedProtocol == 1;
}

// Whether the field prints with the colour ribbon: the text colour and the
// ribbon colour form one of the pairs that print in colour.
bool IsColourField(const KVBBBuffer& kv, const DruckDaten& d, const KX_DEVMODE& dm, BOOL bPrevColor)
{
    if (kv.dwFarbmodus != kFarbmodusMehrfarbig || !(d.dwDocFeatures & DOC_FEATURE_COLORPRINT))
        return false;
    const ULONG c = bPrevColor ? kv.ulPrevTextColor : kv.ulTextColor;
    const WORD f = dm.wFarbband;
    if (f == 7) return true;
    if (kv.dwPaletteColours == 16 && c == 1 && f == 1) return true;
    if (kv.dwPaletteColours == 256 && c == 2 && f == 1) return true;
    static constexpr struct {
        ULONG colour;
        WORD ribbon;
    } kPairs[] = {{3, 2}, {2, 3}, {4, 4}, {5, 5}, {4, 3}, {5, 4}, {6, 5}, {8, 6}, {9, 6}};
    for (const auto& p : kPairs)
        if (p.colour == c && p.ribbon == f) return true;
    return false;
}

// The counter a field is numbered and counted in: the colour part's in the
// split print-file mode, else the page's.
DWORD& FieldCounter(DruckDaten& d, const KX_DEVMODE& dm, bool bColour)
{
    return bColour && dm.wSplitPrnFile == 1 ? d.dwFieldsColour : d.dwFields;
}

// The name of a field and its text without the name part.
struct NamedText {
    std::string text;
    std::string name;
};

// The name marker "[=NA:name]": the text ends before it and the name is
// kept unless it is too long.
NamedText NamedByMarker(std::string_view text)
{
    NamedText r{std::string(text), {}};
    const auto at = text.find("[=NA:");
    if (at != std::string_view::npos) {
        const auto start = at + 5;
        const auto close = text.find(']', start);
        const std::string_view name = text.substr(
            start, close == std::string_view::npos ? std::string_view::npos : close - start);
        if (name.size() > kMaxNameChars) {
            Trace(u"UNI(TextOut):  CreatePrnObject() evtl. ist der Name zu lang: %d (max. 20) \r\n",
                  static_cast<int>(name.size()));
        } else {
            r.name = std::string(name);
        }
        r.text.resize(at);
    }
    return r;
}

// Variable-field functions and name markers are taken out of the text: the
// printer fills the function itself, and a name becomes a NAME record.
NamedText SplitName(std::string_view text)
{
    NamedText r{std::string(text), {}};
    auto has = [&](std::string_view s) { return text.find(s) != std::string_view::npos; };
    const bool bFunction =
        (has("=CN(") || has("=CC(") || has("=UG(") || has("=UM(") || has("=SC(") || has("=CL(")) &&
        !has("BM[") && !has("BV[") && !has("BF[");
    if (bFunction) {
        const auto open = text.find('[');
        if (open == std::string_view::npos) return r;
        const auto close = text.find(']', open + 1);
        r.name = std::string(text.substr(open + 1, close == std::string_view::npos
                                                       ? std::string_view::npos
                                                       : close - open - 1))
                     .substr(0, kMaxNameChars);
        r.text.resize(open);
        return r;
    }
    static constexpr struct {
        const char* marker;
        const char* name;
    } kSystemNames[] = {{"[=PN]", "PRINTERNAME"},
                        {"[=SYT]", "SYSTIME"},
                        {"[=SYD]", "SYSDATE"},
                        {"[=PCN]", "PCNAME"}};
    for (const auto& s : kSystemNames) {
        const auto at = text.find(s.marker);
        if (at == std::string_view::npos) continue;
        r.name = s.name;
        r.text.resize(at);
        return r;
    }
    return NamedByMarker(text);
}

// A barcode's name comes only from "[=NA:"; ")[" ends its data before the
// "[" (a function followed by a bracketed name keeps the function alone).
// The name is taken first, so a function followed by "[=NA:" keeps it.
NamedText BarcodeName(std::string_view text)
{
    NamedText r = NamedByMarker(text);
    if (const auto at = r.text.find(")["); at != std::string::npos) r.text.resize(at + 1);
    return r;
}

// The record text of one field in a buffer sized for it. A record that does
// not fit is traced and ends the composition; what was written stays.
class FieldText {
public:
    explicit FieldText(std::size_t cch) : m_buf(new (std::nothrow) char[cch]), m_cch(cch)
    {
        if (m_buf) m_buf[0] = 0;
    }
    ~FieldText() { delete[] m_buf; }
    FieldText(const FieldText&) = delete;
    FieldText& operator=(const FieldText&) = delete;

    bool Allocated() const { return m_buf != nullptr; }
    char* Release()
    {
        char* p = m_buf;
        m_buf = nullptr;
        return p;
    }

    // what names the record in the trace line ("AM[]", "BM[]", ...).
    void Add(const char* what, const char* fmt, FmtArgs args)
    {
        if (!m_ok) return;
        if (FAILED(VFormat(m_buf + m_len, m_cch - m_len, fmt, args))) {
            TraceA("UNI(TextOut):  StringCchPrintfExA(CreatePrnObject) %s failed \r\n", what);
            m_ok = false;
        }
        m_len += Length(m_buf + m_len, m_cch - m_len);
    }

private:
    char* m_buf;
    std::size_t m_cch;
    std::size_t m_len = 0;
    bool m_ok = true;
};

// Vector font id and zoom of a field: the built-in fonts keep their id and
// take the page's scaling; the user fonts (31 upright, 32 italic) take the
// id and zoom of the font slot whose Windows name is the field's face.
struct VectorFont {
    DWORD dwId;
    double dZoomX;
    double dZoomY;
};

VectorFont VectorFontOf(const FieldDescription& desc, const DruckDaten& d, const KX_DEVMODE& dm)
{
    if (desc.wId != 31 && desc.wId != 32) {
        if (d.bSkalierung) return {desc.wId, d.dSkalierung, d.dSkalierungH};
        return {desc.wId, 1.0, 1.0};
    }
    const bool bItalic = desc.wId == 32;
    static constexpr DWORD kUpright[8] = {3, 1, 11, 5, 7, 9, 17, 19};
    const int slot = UserFontSlot(desc.szFontName, dm);
    // An unknown face keeps the zoom 1 and gets the default printer font.
    if (slot < 0 || slot > 15) return {bItalic ? 4u : 3u, 1.0, 1.0};
    const int i = slot % 8;
    const bool bSecond = slot >= 8;
    const WORD wSelector = bSecond ? dm.wPrinterFont2[i] : dm.wPrinterFont[i];
    DWORD dwId = 3;
    if (wSelector < 8)
        dwId = kUpright[wSelector];
    else if (wSelector == 8)
        dwId = bSecond ? dm.wFontID2[i] : dm.wFontID[i];
    if (bItalic) ++dwId;
    const WORD wZoomX = bSecond ? dm.wZoomX2[i] : dm.wZoomX[i];
    const WORD wZoomY = bSecond ? dm.wZoomY2[i] : dm.wZoomY[i];
    return {dwId, wZoomX / 100.0, wZoomY / 100.0};
}

// Appends the field's record lines to the memory-card recall file.
void WriteRecallLines(const KX_POP& op, const DruckDaten& d, DWORD dwField, const NamedText& nt)
{
    const TreiberPfadDatei* files = op.pTreiberPfadDatei;
    if (!files || !IsValidHandle(files->hRecallFile)) return;
    const std::string_view text = nt.text.size() >= static_cast<std::size_t>(kShortTextChars)
                                      ? std::string_view()
                                      : std::string_view(nt.text);
    std::string lines;
    if (!nt.name.empty()) {
        lines = FormatString("%cBV[%s]%s%c\t// use BV ... \r\n", {d.cStart, nt.name, text, d.cEnd});
        lines += FormatString("%cBM[%u]%s%c\t// ... or BM\r\n", {d.cStart, dwField, text, d.cEnd});
    } else {
        lines = FormatString("%cBM[%u]%s%c\r\n", {d.cStart, dwField, text, d.cEnd});
    }
    std::uint32_t written = 0;
    if (!plat::WriteFile(files->hRecallFile, lines.data(), static_cast<std::uint32_t>(lines.size()),
                         &written))
        Trace(u"ERROR UNI(TextOut):  CreatePrnObject() Recall-Datei WriteFile Error = %u \r\n",
              plat::GetLastError());
}

// Direct output: the text alone, in the job's record characters. A direct
// recall maps its "SOH" and "ETB" marker texts to the characters.
void ComposeDirect(FieldText& out, const DruckDaten& d, std::string_view text)
{
    if (d.bRecallDirekt) {
        if (text.find("SOH") != std::string_view::npos)
            out.Add("SOH", "\r\n%c", {d.cStart});
        else if (text.find("ETB") != std::string_view::npos)
            out.Add("ETB", "%c", {d.cEnd});
        else
            out.Add("Text", "%s", {text});
        return;
    }
    // The job state does not tell the printer family; a line end after a
    // record is what every family accepts, so it always follows.
    out.Add("Text", "%c%s%c\r\n", {d.cStart, text, d.cEnd});
}

// The field rotation and the two coordinates of the extended AM record.
struct Placement {
    DWORD dwRotation;
    LONG f1;
    LONG f2;
};

Placement Place(const DruckDaten& d, DocDaten& doc, const KX_DEVMODE& dm,
                const FieldDescription& desc, POINTL pos)
{
    DWORD rot = desc.dwRotation;
    DWORD angle = d.dwWinkel_CC;
    if (angle == 0 || angle == 90 || angle == 180 || angle == 270) {
    } else if (angle >= 46 && angle <= 135) {
        angle = 90;
        rot += 3;
    } else if (angle >= 136 && angle <= 225) {
        angle = 180;
        rot += 2;
    } else if (angle >= 226 && angle <= 315) {
        angle = 270;
        rot += 1;
    }
    const LONG mu = static_cast<LONG>(OrDefaultMasterUnit(dm.FixedData.wMasterUnit, u"Place"));
    const LONG wm = static_cast<LONG>(static_cast<long long>(d.dwLabelWidth) * 2540 / mu);
    const LONG lm = static_cast<LONG>(static_cast<long long>(d.dwLabelLength) * 2540 / mu);
    const LONG x = pos.x;
    const LONG y = pos.y;
    auto dist = [](LONG a, LONG b) { return std::abs(Clamp32(static_cast<long long>(a) - b)); };
    // An angle outside the four quarter turns moves nothing.
    Placement p{0, y, x};
    if (!d.bLandscape_CC) {
        rot += d.dwRotation_CC;
        if (angle == 90) p = {0, dist(wm, x), y};
        if (angle == 180) p = {0, dist(lm, y), dist(wm, x)};
        if (angle == 270) p = {0, x, dist(lm, y)};
    } else {
        const bool bTurned = (dm.dwFlags & PDMFLAG_DREHEN) && dm.dwWinkel != 0;
        if (angle == 0 || (angle == 90 && bTurned)) p = {0, x, dist(lm, y)};
        if (angle == 180) p = {0, dist(wm, x), y};
        if (angle == 270) p = {0, dist(lm, y), dist(wm, x)};
    }
    rot += doc.dwRotate;
    doc.dwRotate = 0;
    rot %= 4;
    p.dwRotation = rot;

    // Pages side by side on one label: each page's fields move by its place.
    if (dm.wMehrereSeiten != 0 && d.wSeitennummer >= 1) {
        const bool bLength =
            (dm.dwFlags & PDMFLAG_DREHEN) && (dm.dwWinkel == 90 || dm.dwWinkel == 270);
        const LONG w = bLength ? lm : wm;
        const int k = dm.wMehrereSeitenAusrichtung ? d.wSeitennummer - 1
                                                   : dm.wMehrereSeiten - d.wSeitennummer + 1;
        if (k >= 0) {
            const long long shift = static_cast<long long>(k) * w +
                                    static_cast<long long>(k) * dm.wMehrereSeitenAbstand * 10;
            p.f2 = static_cast<LONG>(std::clamp<long long>(p.f2 + shift, INT32_MIN, INT32_MAX));
        }
    }
    return p;
}

}  // namespace

LONG MasterUnitToMm100Round(LONG value, DWORD dwMasterUnit)
{
    const DWORD mu = OrDefaultMasterUnit(dwMasterUnit, u"MasterUnitToMm100Round");
    return MulDiv(value, 2540, static_cast<LONG>(mu));
}

LONG MasterUnitToMm10Round(LONG value, DWORD dwMasterUnit)
{
    const DWORD mu = OrDefaultMasterUnit(dwMasterUnit, u"MasterUnitToMm10Round");
    return MulDiv(value, 254, static_cast<LONG>(mu));
}

WORD GetPrnObjectType(const FieldDescription* pDescription, DWORD* pdwInvers)
{
    if (!pDescription) return 0;
    const bool bInverse = (pDescription->dwFlags & kFieldInverse) != 0;
    switch (pDescription->wFontClass) {
        case kFontClassPrinter:
            return bInverse ? 2 : 1;
        case kFontClassVector:
            if (pdwInvers && *pdwInvers) {
                *pdwInvers = 0;
                return 6;
            }
            return bInverse ? 6 : 4;
        case kFontClassBarcode:
            return pDescription->wId == 101 ? 31 : pDescription->wId;
        default:
            return 0;
    }
}

POINTL PrinterPosition(OEM_PDEV* pOemPDev, POINTL pt, KX_DEVMODE* pKX_Devmode, bool bRotated,
                       bool bScale)
{
    if (!pOemPDev || !pOemPDev->pOp || !pOemPDev->pOp->pDruckDaten ||
        !pOemPDev->pOp->pTreiberstrukturen || !pKX_Devmode)
        return {0, 0};
    DruckDaten& d = *pOemPDev->pOp->pDruckDaten;
    const DWORD mu = pKX_Devmode->FixedData.wMasterUnit;
    LONG x = pt.x;
    LONG y = pt.y;
    if (bScale && d.bSkalierung) {
        x = Scaled(x, d.dSkalierung);
        y = Scaled(y, d.dSkalierungH);
    }
    const LONG headDots = static_cast<LONG>(pKX_Devmode->FixedData.dwHeadWidthByte * 8);
    const LONG headMm10 = static_cast<LONG>(static_cast<long long>(headDots) * 254 /
                                            OrDefaultMasterUnit(mu, u"GetPrintObjectPos"));
    // A scaled label narrower than the head is printed against the head's
    // edge, so the right margin no longer counts.
    if (bScale && d.bSkalierung &&
        MasterUnitToMm10Round(static_cast<LONG>(d.dwLabelWidth), mu) < headMm10)
        d.nRightMargin = 0;

    const bool bMm = IsExtended(*pOemPDev->pOp);
    auto conv = [&](LONG v) { return bMm ? MasterUnitToMm100Round(v, mu) : v; };
    const LONG labelWidth = static_cast<LONG>(d.dwLabelWidth);
    LONG xOut;
    LONG yOut;
    if (!bRotated) {
        yOut = conv(y);
        xOut = Clamp32(
            static_cast<long long>(conv(
                d.bCorrectXPos ? headDots
                               : Clamp32(static_cast<long long>(labelWidth) - d.nRightMargin))) -
            conv(x));
    } else {
        yOut = conv(x);
        xOut = conv(y);
        if (d.bCorrectXPos)
            xOut = Clamp32(static_cast<long long>(xOut) + conv(headDots) - conv(labelWidth));
    }
    return {Clamp32(xOut), Clamp32(yOut)};
}

void GetPrintObjectPos(OEM_PDEV* pOemPDev, POINTL pt, POINTL* pOut, KX_DEVMODE* pKX_Devmode)
{
    if (!pOut) return;
    const bool bRotated = pOemPDev && pOemPDev->pOp && pOemPDev->pOp->pDruckDaten &&
                          pOemPDev->pOp->pDruckDaten->bLandscape_CC;
    const POINTL p = PrinterPosition(pOemPDev, pt, pKX_Devmode, bRotated, true);
    pOut->x = std::abs(p.x);
    pOut->y = std::abs(p.y);
}

void AddPrnObject(PrnObject** ppHead, PrnObject* pObject)
{
    if (!ppHead || !pObject) return;
    pObject->pNext = nullptr;
    PrnObject** pp = ppHead;
    while (*pp) pp = &(*pp)->pNext;
    *pp = pObject;
}

PrnObject* CreatePrnObject(OEM_PDEV* pOemPDev, const char* pszText, POINTL pt,
                           const FieldDescription* pDescription, KX_DEVMODE* pKX_Devmode,
                           BOOL bPrevColor, BOOL bPhantom)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !op->pTreiberstrukturen || !op->pDruckDaten || !op->pDocDaten || !op->pKVBBBuffer ||
        !pszText || !pDescription || !pKX_Devmode) {
        Trace(u"ERROR UNI(TextOut):  CreatePrnObject() mind. eine Struktur = NULL \r\n");
        return nullptr;
    }
    DruckDaten& d = *op->pDruckDaten;
    DocDaten& doc = *op->pDocDaten;
    const KVBBBuffer& kv = *op->pKVBBBuffer;
    const KX_DEVMODE& dm = *pKX_Devmode;
    const FieldDescription& desc = *pDescription;
    const std::string_view text(pszText);
    const bool bExtended = IsExtended(*op);
    const bool bDirect = doc.dwDirectWO_AM_BM != 0;

    FieldText out(2 * (text.size() + kRecordAllowance));
    if (!out.Allocated()) {
        Trace(u"ERROR UNI(TextOut):  CreatePrnObject() kein Speicher \r\n");
        return nullptr;
    }
    const bool bColour = IsColourField(kv, d, dm, bPrevColor);
    DWORD& counter = FieldCounter(d, dm, bColour);
    const DWORD n = counter + 1;

    if (bExtended && bDirect) {
        ComposeDirect(out, d, text);
    } else {
        POINTL pos;
        GetPrintObjectPos(pOemPDev, pt, &pos, pKX_Devmode);
        if (pos.x == 0 && pos.y == 0) {
            Trace(u"UNI(TextOut):  CreatePrnObject() Position 0,0 - kein Objekt \r\n");
            return nullptr;
        }
        // A field after a command with one-shot values goes where that
        // command stood (already a printer position).
        if (doc.dwRotate || doc.dwFusspunkt || doc.dwInvers) {
            pos = kv.ptlLastCommandPos;
            if (d.bSkalierung) {
                if (d.bLandscape_CC)
                    pos.x = Scaled(pos.x, d.dSkalierung);
                else
                    pos.y = Scaled(pos.y, d.dSkalierungH);
            }
        }
        if (bColour) {
            // The offsets are signed tenths of a millimetre.
            pos.x =
                Clamp32(pos.x + static_cast<long long>(static_cast<LONG>(dm.dwColorField1)) * 10);
            pos.y =
                Clamp32(pos.y + static_cast<long long>(static_cast<LONG>(dm.dwColorField2)) * 10);
        }
        const WORD wType = GetPrnObjectType(&desc, &doc.dwInvers);
        const Placement p = Place(d, doc, dm, desc, pos);
        const char S = d.cStart;
        const char E = d.cEnd;
        const bool bBarcode = desc.wFontClass == kFontClassBarcode;
        const BYTE* p2D =
            op->pBarcodeDevmode ? op->pBarcodeDevmode + reg::kBarCodes1DSize : nullptr;
        BarcodeData bd;
        if (bBarcode) bd = PrepareBarcodeText(text, wType, dm.dwFlags);
        const NamedText nt = bBarcode    ? BarcodeName(bd.text)
                             : bExtended ? SplitName(text)
                                         : NamedText{std::string(text), {}};

        if (!bExtended && bBarcode) {
            // The check digit value: printed (flag bit 3) plus 4 when inverse.
            const DWORD dwCheck = ((desc.dwFlags & kFieldCheckDigit) ? 1u : 0u) +
                                  ((desc.dwFlags & kFieldInverse) ? 4u : 0u);
            out.Add("AB", "%cAB%02u%04u-%04u0%01u%02u%02u--------%c\r\n",
                    {S, n, pos.y, pos.x, p.dwRotation, wType, (desc.wHeight + 50) / 100, E});
            out.Add("B", "%cB%02u%.*s%c\r\n", {S, n, kShortTextChars, nt.text, E});
            out.Add("C", "%cC%02u%c%02u%02u%01u%c\r\n",
                    {S, n, (desc.dwFlags & kFieldHumanReadable) ? '1' : '0', desc.wThick,
                     desc.wThin, dwCheck, E});
        } else if (!bExtended) {
            out.Add("AB", "%cAB%02u%04u-%04u0%01u%02u%02u%03u%03u%02u%c\r\n",
                    {S, n, pos.y, pos.x, p.dwRotation, wType, desc.wId, desc.cy, desc.cx,
                     desc.dwExtra, E});
            if (bDirect)
                out.Add("Text", "%c%s%c\r\n", {S, text, E});
            else
                out.Add("B", "%cB%02u%.*s%c\r\n", {S, n, kShortTextChars, text, E});
        } else {
            out.Add("S", "%c", {S});
            if (!d.bRecallText) {
                out.Add("AM[]", "AM[%u]%d;%u;%d;%u;",
                        {n, p.f1, static_cast<DWORD>(p.f2), bPhantom ? 1 : 0,
                         wType == 55 || wType == 58 ? 56 : wType});
                if (bBarcode) {
                    const BarcodeSetInputs in{wType, p.dwRotation,
                                              d.bSkalierung ? d.dSkalierungH : 1.0, p2D,
                                              nt.text.size()};
                    out.Add("AM[]", "%s", {BarcodeParameters(desc, in, doc.dwFusspunkt)});
                } else {
                    DWORD id = desc.wId;
                    DWORD cy = desc.cy;
                    DWORD cx = desc.cx;
                    if (desc.wFontClass == kFontClassVector) {
                        const VectorFont vf = VectorFontOf(desc, d, dm);
                        id = vf.dwId;
                        const DWORD mu = dm.FixedData.wMasterUnit;
                        cy = MasterUnitToMm100Round(static_cast<LONG>(desc.cy * vf.dZoomY), mu);
                        cx = MasterUnitToMm100Round(static_cast<LONG>(desc.cx * vf.dZoomX), mu);
                    }
                    out.Add("AM[]", "%u;%u;%u;%u;%u", {p.dwRotation, id, cy, cx, desc.dwExtra});
                }
                if (doc.dwFusspunkt > 0) {
                    out.Add("AM[]", ";%u", {doc.dwFusspunkt});
                    doc.dwFusspunkt = 0;
                }
                out.Add("AM[]", "%c", {E});
            }
            out.Add("AM[]", "\r\n%c", {S});
            if (d.bRecallText) {
                out.Add("BM[]", "%s", {nt.text});
            } else {
                // A scan field: every barcode in scanner mode 1, the ones
                // marked "<#>" in mode 4; the printer numbers the scans. The
                // mode counts only on a printer with a scanner fitted.
                const DWORD scanMode =
                    (d.dwAusstattung & P_OPTIONS_SCANNER) ? dm.scanner_dwMode : 0;
                std::string scan;
                if (bBarcode && (scanMode == 1 || (scanMode == 4 && bd.bScan)))
                    scan = FormatString("=SV(1;%d)", {d.dwScanZaehler++});
                if (nt.name.empty())
                    out.Add("BM[]", "BM[%u]%s%s", {n, scan, nt.text});
                else
                    out.Add("BM[]", "BM[%u]%s%s%c\r\n%cAC[%u]NAME=\"%s\"",
                            {n, scan, nt.text, E, S, n, nt.name});
                if (dm.wMemCard_Recall) WriteRecallLines(*op, d, n, nt);
            }
            out.Add("BM[]", "%c", {E});
            if (bBarcode) {
                const std::string bearer = BearerValues(wType, desc.wHeight, p2D);
                if (!bearer.empty()) out.Add("AC[]", "\r\n%cAC[%u]%s%c", {S, n, bearer, E});
            }
            // Two heads: the head that does not hold the field's ribbon by
            // default is asked for.
            if (kv.dwFarbmodus == kFarbmodusMehrfarbig &&
                (d.dwDocFeatures & DOC_FEATURE_COLORPRINT) &&
                (bColour ? dm.wChangeColorRibbon == 0 : dm.wChangeColorRibbon == 1))
                out.Add("AC[]", "\r\n%cAC[%u]PH=2%c", {S, n, E});
            if ((bPrevColor ? kv.ulPrevTextColor : kv.ulTextColor) == kTextColourWhite)
                out.Add("AC[]", "\r\n%cAC[%u]FGND=1%c", {S, n, E});
            out.Add("AC[]", "\r\n", {});
        }
    }

    PrnObject* obj = new (std::nothrow) PrnObject{nullptr, nullptr, bColour ? 1u : 0u};
    if (!obj) {
        Trace(u"ERROR UNI(TextOut):  CreatePrnObject() kein Speicher \r\n");
        return nullptr;
    }
    obj->pszSendData = out.Release();
    // Every block of the object is counted: the deletion lowers the count
    // once for the object and once for its text.
    pOemPDev->iNewZaehler += obj->pszSendData ? 2 : 1;
    // Text sent directly is no field: DrawGlyphs counts every object, so
    // the count is taken back here.
    if (bDirect) --counter;
    return obj;
}

BOOL DrawGlyphs(OEM_PDEV* pOemPDev, const char* pszText, POINTL pt,
                const FieldDescription* pDescription, KX_DEVMODE* pKX_Devmode, BOOL bPrevColor,
                BOOL bPhantom)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !op->pTreiberstrukturen || !op->pDruckDaten || !op->pDocDaten || !op->pKVBBBuffer ||
        !pszText || !pDescription || !pKX_Devmode) {
        Trace(u"ERROR UNI(TextOut):  DrawGlyphs() mind. eine Struktur = NULL \r\n");
        return FALSE;
    }
    if (std::string_view(pszText) == " ") {
        Trace(u"UNI(TextOut):  DrawGlyphs(TRUE) Abbruch \r\n");
        return TRUE;
    }
    std::string text(pszText);
    if (!op->pTreiberstrukturen->bSH3) {
        const WORD wCodepage = pKX_Devmode->wCodepage;
        if (wCodepage > 7) {
            Trace(u"UNI(TextOut):  DrawGlyphs(FALSE) Abbruch \r\n");
            return FALSE;
        }
        if (const unsigned char* table = CodePageTable(wCodepage))
            for (char& c : text) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    }
    if (Bildanteile* ba = op->pBildanteile) {
        const std::u16string wide = plat::MultiByteToWide(plat::kCpAcp, text);
        const int i = ba->iAnzahlAMSaetze;
        if (i >= 0 && i < kMaxAMSaetze) {
            if (FAILED(Copy(ba->szAMSatzText[i], kAMSatzTextChars, wide)))
                Trace(u"UNI(TextOut):  DrawGlyphs() Text gekuerzt \r\n");
            if (i < kMaxAMSaetze - 1) ++ba->iAnzahlAMSaetze;
        }
    }
    DruckDaten& d = *op->pDruckDaten;
    if (!IsExtended(*op) && d.dwFields >= kMaxStandardFields) {
        Trace(u"UNI(TextOut):  DrawGlyphs() max. %u Felder \r\n", kMaxStandardFields);
        return TRUE;
    }
    PrnObject* obj = CreatePrnObject(pOemPDev, text.c_str(), pt, pDescription, pKX_Devmode,
                                     bPrevColor, bPhantom);
    if (obj) {
        AddPrnObject(&d.pObjectList, obj);
        ++FieldCounter(d, *pKX_Devmode, obj->dwColor != 0);
    }
    return TRUE;
}

}  // namespace kx
