// Vector fonts.
//
// Decisions of this module:
//   - The run height is the extent of the run's background rectangle across
//     the run: the full cell of the face (ascent and descent), which is what
//     the application sized. The printer's vector font size is the em of the
//     font; the ratios of cell to em of the printer's faces are the divisors
//     of GetVectorDescription (167/100 for most, 180, 172, 168, 165 for the
//     OCR, Baskerville and bold faces).
//   - A run whose direction cannot be told prints unrotated, as printer-font
//     runs do.
//   - The class of the text last handled becomes "vector font" after every
//     vector run, so that a field the application draws in several batches
//     of one call is collected whole (the hook marks the class after the
//     call as well).
//   - A run that starts a variable field finishes a collection still
//     pending, as for printer fonts: two placeholders on one line are two
//     fields, each at its own position.
//   - StringALNUM keeps letters, digits, punctuation and symbols of any
//     script (every unit from 0xA0 up) and the blank and tab; it replaces the
//     control characters of both halves of Latin-1 other than 1 and 23. The
//     test does not depend on the C library's locale, so the label is the
//     same on every system. Units after the first 259 are kept unexamined.
//   - The vector collection's byte count grows by the bytes appended, which
//     is the glyph count for ANSI text and the byte count for UTF-8.
#include "objects/vectorfont.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "core/format.h"
#include "core/pageparts.h"
#include "core/trace.h"
#include "core/units.h"
#include "objects/devicefont.h"
#include "objects/prnobject.h"
#include "objects/textconv.h"
#include "objects/varfields.h"
#include "platform/platform.h"

namespace kx {

namespace {

constexpr std::size_t kAlnumChars = 259;

LONG Clamp32(long long v)
{
    return static_cast<LONG>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

bool FaceContains(const WCHAR* face, std::u16string_view part)
{
    if (!face) return false;
    return std::u16string_view(face).find(part) != std::u16string_view::npos;
}

// Ratio of the drawn run height to the printer's font size, in hundredths.
LONG SizeDivisor(WORD wId, const WCHAR* face)
{
    switch (wId) {
        case 17:
            return FaceContains(face, u"OCR A") ? 180 : 167;
        case 19:
            return FaceContains(face, u"OCR-B") ? 180 : 172;
        case 7:
            return 168;
        case 1:
            return 165;
        default:
            return 167;
    }
}

// Whether a run starts a collected field: a printer function "=..." that is
// no name assignment, or a placeholder.
bool StartsVectorField(const std::string& run, const std::string& placeholder)
{
    if (run.empty()) return false;
    if (run[0] == '=') {
        for (const char* name : {"[=NA:", "=NA:", "NA:", "[="})
            if (run.find(name) != std::string::npos) return false;
        return true;
    }
    return run[0] == '<' && run.find(placeholder) != std::string::npos;
}

void FinishVector(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode)
{
    CheckBuffer_VectorBitmap(pOemPDev, pKX_Devmode, 0);
}

}  // namespace

int StringALNUM(std::u16string& text)
{
    int replaced = 0;
    const std::size_t n = std::min(text.size(), kAlnumChars);
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = text[i];
        const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
        if (!control || c == 1 || c == 23 || c == u'\t') continue;
        Trace(u"UNI(ddiTextOutUni):  StringALNUM() 0x%x ersetzt \r\n", static_cast<unsigned>(c));
        text[i] = u' ';
        ++replaced;
    }
    return replaced;
}

void GetVectorDescription(FieldDescription* pDesc, int iTrueTypeIndex, int iRotation, LONG lAcross,
                          bool bItalic, bool bBold, const WCHAR* pszFaceName)
{
    if (!pDesc) return;
    *pDesc = FieldDescription{};
    pDesc->wFontClass = kFontClassVector;
    if (pszFaceName)
        (void)Copy(pDesc->szFontName, kFaceNameChars,
                   std::u16string_view(pszFaceName, Length(pszFaceName, kFaceNameChars - 1)));
    WORD wId = 0;
    if (iTrueTypeIndex >= 31) {
        wId = bItalic ? 32 : 31;
    } else {
        wId = static_cast<WORD>(std::max(iTrueTypeIndex, 0) + (bItalic ? 1 : 0));
        // A simulated bold Swiss 721 is the printer's bold face.
        if (bBold && wId == 3) wId = 1;
        if (bBold && wId == 4) wId = 2;
    }
    pDesc->wId = wId;
    pDesc->dwRotation = iRotation < 0 ? 0 : static_cast<DWORD>(iRotation);
    const LONG cy = std::max<LONG>(MulDiv(lAcross, 100, SizeDivisor(wId, pszFaceName)), 0);
    pDesc->cy = static_cast<DWORD>(cy);
    pDesc->cx = pDesc->cy;
    pDesc->dwExtra = 0;
}

BOOL DrawVectorGlyphs(OEM_PDEV* pOemPDev, ULONG cGlyphs, const WCHAR* pwszText, POINTL pt,
                      int iRotation, LONG lAcross, int iTrueTypeIndex, bool bItalic, bool bBold,
                      const WCHAR* pszFaceName, KX_DEVMODE* pKX_Devmode)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !pKX_Devmode || !op->pKVBBBuffer || !op->pTreiberstrukturen || !op->pDruckDaten)
        return FALSE;
    if (cGlyphs == 0 || !pwszText) return TRUE;
    KVBBBuffer& kv = *op->pKVBBBuffer;
    TextCollection& coll = kv.vektor;
    const KX_DEVMODE& dm = *pKX_Devmode;

    FieldDescription desc;
    GetVectorDescription(&desc, iTrueTypeIndex, iRotation, lAcross, bItalic, bBold, pszFaceName);
    if (dm.wTTFInvers) desc.dwFlags |= kFieldInverse;
    if ((dm.dwFlags & PDMFLAG_DREHEN) && op->pDruckDaten->bLandscape_CC) {
        const DWORD turn = dm.dwWinkel == 90    ? 3
                           : dm.dwWinkel == 180 ? 2
                           : dm.dwWinkel == 270 ? 1
                                                : 0;
        desc.dwRotation = (desc.dwRotation + turn) % 4;
    }

    const std::u16string_view wide(pwszText, cGlyphs);
    const std::u16string wideStart = std::u16string(u"<") + dm.szIdentSign[0];
    std::string placeholder(1, '<');
    placeholder += plat::WideToMultiByte(plat::kCpAcp, std::u16string_view(dm.szIdentSign, 1));
    const bool bPlaceholder = dm.szIdentSign[0] && wide.find(wideStart) != std::u16string::npos;
    std::string run;
    if (op->pTreiberstrukturen->bSH3 == 1 && dm.wCodepage == 16 && !bPlaceholder) {
        run.assign(3 * cGlyphs + 1, '\0');
        int n = static_cast<int>(cGlyphs);
        UnicodeToUTF8Ex(run.data(), pwszText, &n);
        run.resize(static_cast<std::size_t>(n));
    } else {
        // Placeholders are replaced by the printer in its own character set.
        std::u16string clean(wide);
        StringALNUM(clean);
        run = plat::WideToMultiByte(plat::kCpAcp, clean);
    }

    // A function typed in lower case still reaches the printer in capitals.
    if (coll.pText && coll.dwSize > 3 && coll.pText[0] == '=') {
        for (int i = 1; i <= 2; ++i)
            coll.pText[i] =
                static_cast<char>(std::toupper(static_cast<unsigned char>(coll.pText[i])));
    }
    if (coll.dwSize > 0 &&
        (kv.dwCurrentFont != kCurrentVectorFont || coll.iIndex != iTrueTypeIndex))
        FinishVector(pOemPDev, pKX_Devmode);
    if (dm.wTTFDesegm && coll.dwSize == 0 && coll.desc.wId == 0) coll.desc.wId = desc.wId;

    const bool starts = StartsVectorField(run, placeholder);
    if (starts) Trace(u"UNI(ddiTextOutUni):  DrawVectorGlyphs() bGleichAufPosNull gesetzt \r\n");

    // The application drew a collected field a second time: the printer
    // gets it once, marked as a phantom field.
    if (kv.dwCurrentFont == kCurrentVectorFont && coll.dwSize > 0 && coll.pText &&
        (desc.wId != coll.desc.wId || starts) && !run.empty() &&
        std::string_view(coll.pText, coll.dwSize).find(run) != std::string_view::npos) {
        Trace(u"UNI(ddiTextOutUni):  DrawVectorGlyphs() Phantom-Feld erkannt \r\n");
        if (coll.dwSize == run.size()) {
            coll.dwSize = 0;
            std::memset(coll.pText, 0, kVektorAreaSize);
            kv.bPhantom = TRUE;
        } else {
            FinishVector(pOemPDev, pKX_Devmode);
        }
    }

    if (!starts && (coll.dwSize == 0 || kv.dwCurrentFont != kCurrentVectorFont)) {
        Trace(u"UNI(ddiTextOutUni):  DrawVectorGlyphs() direkt drucken \r\n");
        if (coll.dwSize > 0) FinishVector(pOemPDev, pKX_Devmode);
        const BOOL drawn =
            DrawGlyphs(pOemPDev, run.c_str(), pt, &desc, pKX_Devmode, FALSE, kv.bPhantom);
        kv.bPhantom = FALSE;
        kv.dwCurrentFont = kCurrentVectorFont;
        return drawn;
    }
    if (starts && coll.dwSize > 0) FinishVector(pOemPDev, pKX_Devmode);
    CollectRun(coll, kVektorAreaSize, starts, pt, iTrueTypeIndex, desc, run);
    kv.dwCurrentFont = kCurrentVectorFont;
    return TRUE;
}

int VectorTextOut(OEM_PDEV* pOemPDev, STROBJ* pstro, int iTrueTypeIndex, bool bItalic, bool bBold,
                  const WCHAR* pszFaceName, KX_DEVMODE* pKX_Devmode)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !pstro || !pKX_Devmode || !op->pDruckDaten || !op->pDocDaten || !op->pKVBBBuffer ||
        !op->pBildanteile || !op->pTreiberstrukturen)
        return kVectorFailed;
    if (!pstro->pwszOrg || pstro->cGlyphs == 0) return kVectorDone;
    const std::u16string text(pstro->pwszOrg, pstro->cGlyphs);
    Bildanteile& ba = *op->pBildanteile;
    const DocDaten& doc = *op->pDocDaten;
    const DruckDaten& d = *op->pDruckDaten;

    int result = kVectorDone;
    ForEachGlyphBatch(
        pstro, static_cast<ULONG>(text.size()), [&](const GLYPHPOS* pgp, ULONG c, ULONG done) {
            LONG across = 0;
            const int rot = GetFontParam(pstro, pgp, c, d.bLandscape_CC, &across, nullptr);
            POINTL pt = pgp[0].ptl;
            if (pt.x < 0 || pt.y < 0) {
                Trace(
                    u"UNI(ddiTextOutUni):  VectorTextOut() --- Glyphposition außerhalb des "
                    u"Etikettes "
                    u"---\r\n");
                result = kVectorOutside;
                return false;
            }
            if (ba.lGlyphPosY_Old > 0 && ba.lGlyphPosY_Old < pt.y && !d.bLandscape_CC) {
                Trace(u"UNI(ddiTextOutUni):  VectorTextOut() Zeilensprung erkannt \r\n");
                FinishVector(pOemPDev, pKX_Devmode);
            }
            // A direct recall goes out as it is: no place on the page.
            WORD wPart = ba.wBildTeile;
            if (d.bRecallDirekt) {
                wPart = 0;
                pt = {0, 0};
            }
            if (!pKX_Devmode->wTTFDesegm) RecordTextRun(ba, doc, pt, iTrueTypeIndex, wPart);
            const POINTL off = ImagePartOffset(ba, doc, wPart);
            const POINTL drawn = {Clamp32(static_cast<long long>(pt.x) + off.x),
                                  Clamp32(static_cast<long long>(pt.y) + off.y)};
            if (!DrawVectorGlyphs(pOemPDev, c, text.data() + done, drawn, rot, across,
                                  iTrueTypeIndex, bItalic, bBold, pszFaceName, pKX_Devmode)) {
                result = kVectorFailed;
                return false;
            }
            if (pKX_Devmode->wTTFDesegm) RecordTextRun(ba, doc, pt, iTrueTypeIndex, wPart);
            return true;
        });
    return result;
}

}  // namespace kx
