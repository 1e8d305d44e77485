// Barcode fonts.
//
// Decisions of this module:
//   - The code's own rotation setting (wDrehung) counts once: it is added
//     when the field description is built in manual mode, and the field
//     records do not add it again. Counted twice, a setting of one quarter
//     turn would print a half turn, which is not what the settings show.
//   - The 2-D codes keep wDrehung 0 in their description: their manual field
//     records add their own rotation setting from the 2-D settings.
//   - Without desegmentation every barcode run becomes its field at once and
//     the collection stays empty. A second drawing of the same barcode is
//     therefore recognised against the last field created (the page's text
//     table), together with the barcode id and the position of the last run.
//   - Runs are turned into bytes through the symbol code page, the ANSI code
//     page, UTF-8 and the OEM code page; a conversion that had to put in a
//     default character counts as failed. UTF-8 takes every text, so the low
//     bytes are the last resort only of an empty conversion. (UTF-7 and the
//     thread's code page are not tried: the first is gone from the platform
//     layer and the second is the ANSI code page in the driver host.)
//   - A collection sent because another class or another barcode came takes
//     the previous text colour, as at the page end.
#include "objects/barcodefont.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>

#include "core/pageparts.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "objects/devicefont.h"
#include "objects/prnobject.h"
#include "objects/textconv.h"
#include "objects/textout.h"
#include "platform/engine.h"
#include "platform/platform.h"
#include "settings/barcodesettings.h"

namespace kx {

namespace {

// One row of the face table: the names a face may contain, the font id, the
// barcode id, the bar ratio (0:0 for codes without a fixed one) and whether
// the printer must have the code (its support switch).
struct BarcodeFace {
    const char16_t* names[4];
    WORD wFontId;
    WORD wBarcodeId;
    WORD wWide;
    WORD wNarrow;
    bool bNeedsSupport;
};

// In the order the ids are tried, 30 to 63 with each id's ratio variants.
constexpr BarcodeFace kFaces[] = {
    {{u"KX Code 39 2:1", u"Code 39 2:1 LP"}, 30, 30, 2, 1, false},
    {{u"KX Code 39 3:1", u"Code 39 3:1 LP"}, 301, 30, 3, 1, false},
    {{u"KX Code 39 5:2", u"Code 39 5:2 LP"}, 302, 30, 5, 2, false},
    {{u"KX Code 2/5 interleaved 2:1", u"Code 2/5 interleaved 2:1 LP"}, 31, 31, 2, 1, false},
    {{u"KX Code 2/5 interleaved 3:1", u"Code 2/5 interleaved 3:1 LP"}, 311, 31, 3, 1, false},
    {{u"KX Code 2/5 interleaved 5:2", u"Code 2/5 interleaved 5:2 LP"}, 312, 31, 5, 2, false},
    {{u"KX EAN 8", u"EAN 8 LP"}, 32, 32, 0, 0, false},
    {{u"KX EAN 13", u"EAN 13 LP"}, 33, 33, 0, 0, false},
    {{u"KX UPC A", u"UPC A LP"}, 34, 34, 0, 0, true},
    {{u"KX UPC E", u"UPC E LP"}, 35, 35, 0, 0, true},
    {{u"KX CODABAR", u"CODABAR LP"}, 36, 36, 5, 2, true},
    {{u"KX Code 128", u"Code 128 LP"}, 37, 37, 0, 0, false},
    {{u"KX EAN ADD ON", u"EAN ADD ON LP"}, 38, 38, 0, 0, true},
    {{u"KX EAN 128", u"EAN 128 LP", u"KX GS1 128", u"GS1 128 LP"}, 39, 39, 0, 0, false},
    {{u"KX Code 93", u"Code 93 LP"}, 40, 40, 0, 0, false},
    {{u"PZN7 Code 2:1", u"KX PZN-Code 2:1", u"PZN-Code 2:1 LP"}, 41, 41, 2, 1, false},
    {{u"PZN7 Code 3:1", u"KX PZN-Code 3:1", u"PZN-Code 3:1 LP"}, 411, 41, 3, 1, false},
    {{u"PZN7 Code 5:2", u"KX PZN-Code 5:2", u"PZN-Code 5:2 LP"}, 412, 41, 5, 2, false},
    {{u"KX Leitcode", u"Leitcode LP"}, 43, 43, 0, 0, true},
    {{u"KX Identcode", u"Identcode LP"}, 44, 44, 0, 0, true},
    {{u"KX Code 39 extended 2:1", u"Code 39 extended 2:1 LP"}, 46, 46, 2, 1, true},
    {{u"KX Code 39 extended 3:1", u"Code 39 extended 3:1 LP"}, 461, 46, 3, 1, true},
    {{u"KX Code 39 extended 5:2", u"Code 39 extended 5:2 LP"}, 462, 46, 5, 2, true},
    {{u"KX Code 128 A", u"Code 128 A LP"}, 47, 47, 0, 0, false},
    {{u"KX Code 128 B", u"Code 128 B LP"}, 48, 48, 0, 0, false},
    {{u"KX Pharmacode", u"Pharmacode LP"}, 49, 49, 0, 0, false},
    {{u"KX PDF417"}, 50, 50, 1, 1, true},
    {{u"KX Maxicode"}, 51, 51, 0, 0, true},
    {{u"KX DataMatrix"}, 52, 52, 0, 0, true},
    {{u"KX Codablock F"}, 53, 53, 0, 0, true},
    {{u"KX GS1 Databar"}, 54, 54, 0, 0, true},
    {{u"KX ITF 5:2"}, 55, 55, 5, 2, true},
    {{u"KX ITF 2:1"}, 56, 56, 2, 1, true},
    {{u"KX QR Code"}, 57, 57, 0, 0, true},
    {{u"KX ITF 3:1"}, 58, 58, 3, 1, true},
    {{u"KX GS1 Datamatrix"}, 59, 59, 0, 0, true},
    {{u"PZN8 Code 2:1"}, 60, 60, 2, 1, true},
    {{u"PZN8 Code 3:1"}, 601, 60, 3, 1, true},
    {{u"PZN8 Code 5:2"}, 602, 60, 5, 2, true},
    {{u"KX Aztec"}, 61, 61, 0, 0, true},
    {{u"KX USPS IM"}, 62, 62, 0, 0, false},
    {{u"KX USPS Postnet"}, 63, 63, 0, 0, false},
};

bool Contains(std::u16string_view face, const char16_t* name)
{
    return name && face.find(name) != std::u16string_view::npos;
}

// Faces of ordinary Windows fonts, and faces not named like a barcode font
// at all, are never looked up.
bool MayBeBarcodeFace(std::u16string_view face)
{
    for (const char16_t* plain : {u"Times", u"Arial", u"Cali", u"Verd", u"Tre", u"Tah", u"Hel"})
        if (Contains(face, plain)) return false;
    return Contains(face, u"KX ") || Contains(face, u" LP");
}

bool Matches(std::u16string_view face, const BarcodeFace& row)
{
    bool found = false;
    for (const char16_t* name : row.names) found = found || Contains(face, name);
    // "Code 128" is also part of the faces of its A and B variants.
    if (found && row.wFontId == 37) found = !Contains(face, u"128 A") && !Contains(face, u"128 B");
    return found;
}

// The description of a code from its settings.
void Describe(const BarcodeFace& row, const BYTE* p1D, const BYTE* p2D, BarcodeDescription& out)
{
    out = {};
    out.wBarcodeId = row.wBarcodeId;
    out.wV1Dick = row.wWide;
    out.wV2Duenn = row.wNarrow;
    if (const std::size_t at = bc::Switch2DOf(row.wBarcodeId)) {
        out.wMode = bc::Automatic2D(p2D, at) ? kBarcodeModeAutomatic : 0;
        out.wBarcodeZoom = 1;
        out.wHeightMultiplicator = 10;
        out.wKlarschrift = 1;
        if (row.wBarcodeId == 55 || row.wBarcodeId == 56 || row.wBarcodeId == 58) {
            constexpr std::size_t n = reg::kBarCodes2DSize;
            out.wHeight = bc::Get16(p2D, n, at + bc::kItfHeight);
            out.wPruefziffer = bc::Get16(p2D, n, at + bc::kItfCheckDigit);
            out.wKlarschrift = bc::Get16(p2D, n, at + bc::kItfHumanReadable);
        }
        return;
    }
    const bc::Settings1D s = bc::Read1D(p1D, row.wFontId);
    out.wMode = s.dwMode == bc::kModeAutomatic ? kBarcodeModeAutomatic : 0;
    out.wDrehung = s.wDrehung;
    out.wHeight = s.wHeight;
    if (row.wWide == 0) {
        // Codes without a fixed ratio take their bars from the settings; the
        // postal codes know only the narrow one.
        const bool bPostal = row.wBarcodeId == 62 || row.wBarcodeId == 63;
        out.wV1Dick = bPostal ? 0 : s.bWide;
        out.wV2Duenn = s.bNarrow;
    }
    out.wModule = s.bModule;
    out.wPruefziffer = s.bCheckDigit;
    out.wKlarschrift = s.bHumanReadable;
    out.wRatio = s.bRatio;
    out.wBarcodeZoom = s.bZoom;
    out.wHeightMultiplicator = s.bHeightMult;
}

bool Supported(const BarcodeFace& row, const BYTE* p1D, const BYTE* p2D)
{
    if (!row.bNeedsSupport) return true;
    if (bc::Switch2DOf(row.wBarcodeId)) return bc::Supported2D(p2D, row.wBarcodeId);
    return bc::Read1D(p1D, row.wFontId).bSupported == 1;
}

// Round half away from zero of a quotient, held to the 16-bit values of a
// field description.
WORD RoundQuotient(double num, double den)
{
    if (den <= 0 || !(num == num)) return 0;
    const double r = std::round(num / den);
    return static_cast<WORD>(std::clamp(r, 0.0, 65535.0));
}

WORD Clamp16(long long v)
{
    return static_cast<WORD>(std::clamp<long long>(v, 0, 65535));
}

LONG Clamp32(long long v)
{
    return static_cast<LONG>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// The run in bytes, through the code pages in turn; empty when none took it.
std::string RunBytes(std::u16string_view run)
{
    if (run.empty()) return {};
    for (std::uint32_t cp : {plat::kCpSymbol, plat::kCpAcp, plat::kCpUtf8, plat::kCpOemCp}) {
        bool lossy = false;
        std::string bytes = plat::WideToMultiByte(cp, run, &lossy);
        if (!bytes.empty() && !lossy) return bytes;
    }
    return ConvertWideToSmall(run);
}

bool IsLoneEnd(std::u16string_view run)
{
    return run.size() == 1 &&
           (run[0] == u'\r' || run[0] == u'\n' || run[0] == u' ' || run[0] == 0xF020);
}

// The information log line of a barcode run: face and text, with the colour
// name in multi-colour printing.
void LogRun(const OEM_PDEV* p, const WCHAR* pwszFace, std::u16string_view run)
{
    const KX_POP& op = *p->pOp;
    if (!op.pTreiberstrukturen->bLogFileEnable) return;
    CLogFile* log = GetJobLogFile(p);
    if (!log) return;
    const KVBBBuffer& kv = *op.pKVBBBuffer;
    std::string line =
        pwszFace ? plat::WideToMultiByte(plat::kCpAcp, std::u16string_view(pwszFace)) : "";
    if (kv.dwFarbmodus == kFarbmodusMehrfarbig && kv.dwPaletteColours == 256 &&
        kv.ulTextColor >= 2 && kv.ulTextColor <= 6)
        if (const char* c = ColourName(kv.ulTextColor)) line += std::string(" (") + c + ")";
    line += ": " + plat::WideToMultiByte(plat::kCpAcp, run);
    log->WriteLine(nullptr, line.c_str(), 1);
}

// Empties the collection.
void ClearCollection(TextCollection& coll)
{
    coll.dwSize = 0;
    if (coll.pText) std::memset(coll.pText, 0, kBarcodeAreaSize);
}

// Sends the collection as a field in the previous text colour, when it
// holds more than a lone byte, and empties it.
void SendOld(OEM_PDEV* p, KVBBBuffer& kv, KX_DEVMODE* dm)
{
    TextCollection& coll = kv.barcode;
    if (coll.dwSize > 1 && coll.pText) {
        Trace(u"UNI(ddiTextOutUni):  DrawBarcodeGlyphs() alter String wird gesendet \r\n");
        const std::string text(coll.pText, coll.dwSize);
        DrawGlyphs(p, text.c_str(), coll.ptPos, &coll.desc, dm, TRUE, FALSE);
    }
    ClearCollection(coll);
    kv.dwCurrentFont = 0;
}

}  // namespace

int BarcodeFontIdOfFace(std::u16string_view face, const BYTE* pBarcodeSettings,
                        BarcodeDescription* pDesc)
{
    if (!pBarcodeSettings || !MayBeBarcodeFace(face)) return 0;
    const BYTE* p1D = pBarcodeSettings;
    const BYTE* p2D = pBarcodeSettings + reg::kBarCodes1DSize;
    for (const BarcodeFace& row : kFaces) {
        if (!Matches(face, row)) continue;
        if (!Supported(row, p1D, p2D)) continue;  // the next id may still match
        if (pDesc) Describe(row, p1D, p2D, *pDesc);
        return row.wFontId;
    }
    return 0;
}

int GetBarcodeFontID(FONTOBJ* pfo, BarcodeDescription* pDesc, OEM_PDEV* pOemPDev)
{
    if (pDesc) *pDesc = {};
    const KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !op->pBarcodeDevmode) {
        Trace(u"UNI(ddiTextOutUni):  GetBarcodeFontID() ERROR: pBarcodeDevmode \r\n");
        return 0;
    }
    const std::u16string face = FaceName(pfo);
    return BarcodeFontIdOfFace(face, op->pBarcodeDevmode, pDesc);
}

int GetBarcodeDescription(FieldDescription* pField, const BarcodeDescription* pDesc,
                          DWORD dwRotation, int iHeight, int iWidth, DWORD dwMasterUnit)
{
    if (!pField || !pDesc) return 0;
    FieldDescription& f = *pField;
    const BarcodeDescription& b = *pDesc;
    f = {};
    f.wFontClass = kFontClassBarcode;
    f.wId = b.wBarcodeId;
    const bool bAuto = b.wMode == kBarcodeModeAutomatic;
    WORD zoom = 1;
    if (bAuto) {
        const int mult = b.wHeightMultiplicator == 0 ? 10 : b.wHeightMultiplicator;
        const WORD mm100 = static_cast<WORD>(MasterUnitToMm100Round(iHeight, dwMasterUnit));
        f.wHeight = Clamp16(static_cast<long long>(mm100) * mult / 10);
        f.dwRotation = dwRotation;
        f.wKlarschrift = 1;
    } else {
        f.wHeight = b.wHeight;
        f.wRatio = b.wRatio;
        f.wPruefziffer = b.wPruefziffer;
        f.wKlarschrift = b.wKlarschrift;
        f.dwRotation = (b.wDrehung + dwRotation) % 4;
        zoom = b.wBarcodeZoom;
    }
    // The check digit flag follows the mode the field got (0 in automatic
    // mode); the human-readable flag follows the settings in both modes.
    if (f.wPruefziffer == 1 || f.wPruefziffer == 3) f.dwFlags |= kFieldCheckDigit;
    if (b.wKlarschrift == 1) f.dwFlags |= kFieldHumanReadable;

    // The width of one character gives the module count n in automatic
    // mode; manual mode prints one module.
    const double w = iWidth;
    const double wide = b.wV1Dick;
    const double narrow = b.wV2Duenn;
    auto modules = [&](double num, double den) -> long long {
        return bAuto ? std::max<WORD>(1, RoundQuotient(num, den)) : 1;
    };
    auto ratioBars = [&](double den) {
        const long long n = modules(w, den);
        f.wThick = Clamp16(static_cast<long long>(wide) * zoom * n);
        f.wThin = Clamp16(static_cast<long long>(narrow) * zoom * n);
    };
    // Codes with one module width: automatic wThick = thickFactor x n.
    auto moduleBars = [&](double offset, double den, int thickFactor) {
        if (bAuto) {
            const long long n = modules(w + offset, den);
            f.wThick = Clamp16(thickFactor * n);
            f.wThin = Clamp16(n);
        } else {
            f.wThick = 0;
            f.wThin = b.wV2Duenn;
        }
    };
    switch (b.wBarcodeId) {
        case 30:
        case 41:
        case 46:
        case 60:
            ratioBars(6 * narrow + 3 * wide);
            break;
        case 31:
        case 101:
            ratioBars(3 * narrow + 2 * wide);
            break;
        case 36:
            ratioBars(5 * narrow + 2 * wide);
            break;
        case 32:
        case 33:
        case 34:
        case 35:
        case 38:
        case 39: {
            // The printer knows the EAN/UPC sizes 1 to 9 and 99.
            WORD size = bAuto ? RoundQuotient(w, 15) : b.wModule;
            if (size >= 10 && size <= 98) size = 9;
            if (size > 99) size = 99;
            f.wThick = 0;
            f.wThin = size;
            break;
        }
        case 43:
        case 44:
            moduleBars(6, 12, 3);
            break;
        case 37:
        case 40:
            moduleBars(6, 12, 0);
            break;
        case 47:
        case 48:
            moduleBars(8.5, 17, 0);
            break;
        case 49:
            moduleBars(7, 14, 3);
            break;
        case 62:
        case 63:
            moduleBars(5, 10, 0);
            break;
        case 55:
        case 56:
        case 58: {
            const long long n = std::max<WORD>(1, RoundQuotient(w, 3 * narrow + 2 * wide));
            f.wThick = Clamp16(static_cast<long long>(wide) * n);
            f.wThin = Clamp16(static_cast<long long>(narrow) * n);
            f.wHeight = Clamp16(iHeight);
            break;
        }
        case 50:
        case 53:
            f.wHeight = RoundQuotient(iHeight, 30);
            break;
        case 51:
        case 52:
        case 54:
        case 57:
        case 59:
        case 61:
            f.wHeight = Clamp16(iHeight);
            break;
        default:
            Trace(
                u"UNI(ddiTextOutUni):  GetBarcodeDescription() ein neuer Barcode ist evtl. nicht "
                u"eingetragen \r\n");
            return 0;
    }
    return 1;
}

void CheckBarcodeBuffer(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !op->pKVBBBuffer || !pKX_Devmode) return;
    KVBBBuffer& kv = *op->pKVBBBuffer;
    TextCollection& coll = kv.barcode;
    if (coll.dwSize == 0 || !coll.pText || kv.dwCurrentFont != kCurrentBarcodeFont) return;
    kv.ulTextColor = kv.ulPrevTextColor;
    std::string text(coll.pText, coll.dwSize);
    const std::string link = LinkPlaceholder(*pKX_Devmode);
    if (text.find(link) != std::string::npos) text = Kettenfeld_new(text, *pKX_Devmode, link);
    const BOOL sent =
        DrawGlyphs(pOemPDev, text.c_str(), coll.ptPos, &coll.desc, pKX_Devmode, TRUE, FALSE);
    Trace(sent ? u"UNI(ddiTextOutUni):  CheckBarcodeBuffer() String gesendet \r\n"
               : u"UNI(ddiTextOutUni):  CheckBarcodeBuffer() String nicht gesendet \r\n");
    ClearCollection(coll);
}

BOOL DrawBarcodeGlyphs(OEM_PDEV* pOemPDev, ULONG cGlyphs, const WCHAR* pwszText, POINTL pt,
                       const BarcodeDescription* pDesc, DWORD dwRotation, int iHeight, int iWidth,
                       DWORD dwFlags, const WCHAR* pwszFace, BOOL* pbDuplicate,
                       KX_DEVMODE* pKX_Devmode)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !pDesc || !pKX_Devmode || !op->pKVBBBuffer || !op->pTreiberstrukturen ||
        !op->pDruckDaten || !pbDuplicate)
        return FALSE;
    if (cGlyphs == 0 || !pwszText) return TRUE;
    KVBBBuffer& kv = *op->pKVBBBuffer;
    const KX_DEVMODE& dm = *pKX_Devmode;
    const std::u16string_view wide(pwszText, cGlyphs);
    const std::string run = RunBytes(wide);
    if (run.empty() && op->pTreiberstrukturen->bLogFileEnable)
        WriteJobLog(pOemPDev, u"%s - ERROR - unknown codepage in your application \r\n",
                    pwszFace ? pwszFace : u"");

    FieldDescription field;
    if (!GetBarcodeDescription(&field, pDesc, dwRotation, iHeight, iWidth,
                               dm.FixedData.wMasterUnit))
        return FALSE;
    if ((dm.dwFlags & PDMFLAG_DREHEN) && op->pDruckDaten->bLandscape_CC) {
        const DWORD turn = dm.dwWinkel == 90    ? 3
                           : dm.dwWinkel == 180 ? 2
                           : dm.dwWinkel == 270 ? 1
                                                : 0;
        field.dwRotation = (field.dwRotation + turn) % 4;
    }
    LogRun(pOemPDev, pwszFace, plat::MultiByteToWide(plat::kCpAcp, run));

    if ((dwFlags & PDMFLAG_BARCODE_LINEEND) && IsLoneEnd(wide)) {
        // A line end or blank of its own closes the barcode drawn so far.
        *pbDuplicate = TRUE;
        CheckBarcodeBuffer(pOemPDev, pKX_Devmode);
        kv.dwCurrentFont = 0;
        return TRUE;
    }
    if (!(dwFlags & PDMFLAG_BARCODE_DESEGMENT)) {
        Trace(u"UNI(ddiTextOutUni):  DrawBarcodeGlyphs() direkt ohne Desegmentierung \r\n");
        return DrawGlyphs(pOemPDev, run.c_str(), pt, &field, pKX_Devmode, FALSE, FALSE);
    }

    // Desegmentation: the pieces of one barcode are collected until another
    // class, another barcode or the page end sends them.
    TextCollection& coll = kv.barcode;
    const bool bLoneBlank = wide.size() == 1 && (wide[0] == u' ' || wide[0] == 0xF020);
    if ((bLoneBlank && *pbDuplicate) ||
        (coll.dwSize > 0 && kv.dwCurrentFont != kCurrentBarcodeFont) ||
        (coll.dwSize > 0 && kv.dwCurrentFont == kCurrentBarcodeFont && coll.desc.wId != field.wId))
        SendOld(pOemPDev, kv, pKX_Devmode);
    const bool bNew = coll.dwSize == 0;
    Trace(bNew ? u"UNI(ddiTextOutUni):  DrawBarcodeGlyphs() Neueintrag \r\n"
               : u"UNI(ddiTextOutUni):  DrawBarcodeGlyphs() weiter anhängen \r\n");
    const std::string link = LinkPlaceholder(dm);
    const std::string piece =
        run.find(link) != std::string::npos ? Kettenfeld_new(run, dm, link) : run;
    CollectRun(coll, kBarcodeAreaSize, bNew, pt, field.wId, field, piece);
    return TRUE;
}

BOOL BarcodeTextOut(OEM_PDEV* pOemPDev, STROBJ* pstro, BarcodeDescription* pDesc,
                    const WCHAR* pwszFace, BOOL* pbDuplicate, KX_DEVMODE* pKX_Devmode, int iFontId)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !pstro || !pDesc || !pKX_Devmode || !pbDuplicate || !op->pDruckDaten ||
        !op->pDocDaten || !op->pKVBBBuffer || !op->pBildanteile || !op->pTreiberstrukturen) {
        Trace(u"UNI(ddiTextOutUni):  BarcodeTextOut() Strukturen = NULL \r\n");
        return FALSE;
    }
    if (!pstro->pwszOrg || pstro->cGlyphs == 0) return TRUE;
    const std::u16string text(pstro->pwszOrg, pstro->cGlyphs);
    Bildanteile& ba = *op->pBildanteile;
    const DocDaten& doc = *op->pDocDaten;
    const DruckDaten& d = *op->pDruckDaten;
    KVBBBuffer& kv = *op->pKVBBBuffer;
    const DWORD flags = pKX_Devmode->dwFlags;
    const bool bDesegment = (flags & PDMFLAG_BARCODE_DESEGMENT) != 0;
    const bool bIgnore = (flags & PDMFLAG_BARCODE_DESEGMENT_IGNORE) != 0;

    BOOL result = TRUE;
    ForEachGlyphBatch(
        pstro, static_cast<ULONG>(text.size()), [&](const GLYPHPOS* pgp, ULONG c, ULONG done) {
            LONG across = 0;
            LONG along = 0;
            const int rot = GetFontParam(pstro, pgp, c, d.bLandscape_CC, &across, &along);
            const POINTL pt = pgp[0].ptl;
            if (pt.x < 0 || pt.y < 0) return false;
            const std::u16string_view wide(text.data() + done, c);
            const std::string run = ConvertWideToSmall(wide);

            if (ba.lGlyphPosY_Old > 0 && ba.lGlyphPosY_Old < pt.y && !d.bLandscape_CC && !bIgnore) {
                const bool bSameCode =
                    kv.barcode.dwSize > 0 && kv.barcode.iIndex == pDesc->wBarcodeId;
                CheckBarcodeBuffer(pOemPDev, pKX_Devmode);
                if (bSameCode)
                    WriteJobLog(pOemPDev,
                                u"Zeilensprung gefunden - Line skip found - Desegmentierung "
                                u"anpassen? \r\n");
            }
            if (!bDesegment && !bIgnore) {
                // The field made last is the barcode drawn directly before;
                // the same data drawn again above it is no second field.
                const int last = ba.iAnzahlAMSaetze - 1;
                const std::u16string lastText =
                    last >= 0 ? std::u16string(ba.szAMSatzText[last]) : std::u16string();
                if (!run.empty() && ba.lGlyphPosY_Old > pt.y && ba.wID_Old == pDesc->wBarcodeId &&
                    lastText.find(plat::MultiByteToWide(plat::kCpAcp, run)) !=
                        std::u16string::npos) {
                    Trace(
                        u"UNI(ddiTextOutUni):  BarcodeTextOut() Doppelten Barcode-Text gefunden, "
                        u"breche ab ... \r\n");
                    *pbDuplicate = TRUE;
                    CheckBarcodeBuffer(pOemPDev, pKX_Devmode);
                    ba.lGlyphPosY_Old = pt.y;
                    return false;
                }
                RecordTextRun(ba, doc, pt, iFontId, ba.wBildTeile);
                ba.wID_Old = pDesc->wBarcodeId;
            }
            const POINTL off = ImagePartOffset(ba, doc, ba.wBildTeile);
            const POINTL drawn = {Clamp32(static_cast<long long>(pt.x) + off.x),
                                  Clamp32(static_cast<long long>(pt.y) + off.y)};
            const LONG perChar = c ? along / static_cast<LONG>(c) : 0;
            if (!DrawBarcodeGlyphs(pOemPDev, c, wide.data(), drawn, pDesc,
                                   rot < 0 ? 0 : static_cast<DWORD>(rot), across, perChar, flags,
                                   pwszFace, pbDuplicate, pKX_Devmode)) {
                result = FALSE;
                return false;
            }
            if (bDesegment || bIgnore) {
                RecordTextRun(ba, doc, pt, iFontId, ba.wBildTeile);
                ba.wID_Old = pDesc->wBarcodeId;
            }
            return true;
        });
    return result;
}

}  // namespace kx
