// Printer-resident fonts.
//
// Decisions of this module:
//   - A run whose direction cannot be told (GetFontParam -1) prints
//     unrotated.
//   - The class of the text last handled becomes "printer font" after every
//     printer-font run. Without it every pending collection would be sent
//     before the next printer-font run and a run that continues a collected
//     field (a function whose text the application draws in pieces on one
//     line) could never be appended to it; with it, a collection is finished
//     by a line jump, a different printer font, another font class or the
//     page end.
//   - The image part a run arrives in is the one after the parts stored so
//     far: the host draws a band's text before it hands the band over, with
//     positions relative to the band. Its offset is the page height reached
//     after the stored parts (portrait) or their number times the width of
//     the first part (landscape strips).
//   - When the glyph positions cannot be enumerated (no engine call, or no
//     batch), the string object's own position array is taken as one batch.
#include "objects/devicefont.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <functional>
#include <string>

#include "core/pageparts.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "objects/prnobject.h"
#include "objects/varfields.h"
#include "platform/engine.h"
#include "platform/platform.h"

namespace kx {

namespace {

// String object direction flags.
constexpr FLONG SO_HORIZONTAL = 0x400;
constexpr FLONG SO_VERTICAL = 0x800;
constexpr FLONG SO_REVERSED = 0x1000;

// Positions and band sizes come from the host: sums of them are taken wide
// and held to 32 bits.
LONG Clamp32(long long v)
{
    return static_cast<LONG>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// The run in bytes: the ANSI code page, else the symbol code page, else
// UTF-8. Empty (traced and logged) when none takes it.
std::string RunBytes(const OEM_PDEV* pOemPDev, std::u16string_view run)
{
    for (std::uint32_t cp : {plat::kCpAcp, plat::kCpSymbol, plat::kCpUtf8}) {
        std::string bytes = plat::WideToMultiByte(cp, run);
        if (!bytes.empty() || run.empty()) return bytes;
    }
    const DWORD err = plat::GetLastError();
    Trace(u"UNI(ddiTextOutUni):  DrawDeviceGlyphs(CP_UTF8) ERROR: %d \r\n", err);
    if (pOemPDev->pOp->pTreiberstrukturen->bLogFileEnable)
        WriteJobLog(pOemPDev, u"DrawDeviceGlyphs(WideCharToMultiByte) ERROR: %d", err);
    return {};
}

// Whether a run starts a collected field: every run of an empty collection
// when fields are not split into runs, a function, or a placeholder.
bool StartsField(const std::string& run, const KVBBBuffer& kv, const KX_DEVMODE& dm)
{
    if (dm.wTTFDesegm && kv.bitmap.dwSize == 0) return true;
    if (!run.empty() && run[0] == '=') return true;
    const std::string sign =
        plat::WideToMultiByte(plat::kCpAcp, std::u16string_view(dm.szIdentSign, 1));
    return !run.empty() && run[0] == '<' && !sign.empty() &&
           run.find("<" + sign) != std::string::npos;
}

// Finishes the bitmap-font collection and empties it.
void SendCollected(OEM_PDEV* pOemPDev, KVBBBuffer& kv, KX_DEVMODE* pKX_Devmode)
{
    Trace(u"UNI(ddiTextOutUni):  DrawDeviceGlyphs() alter String wird gesendet \r\n");
    CheckBuffer_VectorBitmap(pOemPDev, pKX_Devmode, 1);
    kv.bitmap.dwSize = 0;
    if (kv.bitmap.pText) std::memset(kv.bitmap.pText, 0, kBitmapAreaSize);
}

}  // namespace

WORD PrinterFontId(ULONG iFont)
{
    static constexpr WORD kIds[] = {1, 2, 3, 4, 5, 7, 21, 22, 23, 24, 28, 29};
    return iFont >= 1 && iFont <= std::size(kIds) ? kIds[iFont - 1] : 23;
}

POINTL ImagePartOffset(const Bildanteile& ba, const DocDaten& doc, WORD wPart)
{
    const WORD n = std::min<WORD>(wPart, kMaxBildTeile - 1);
    if (n == 0) return {0, 0};
    if (doc.dmOrientation == 2)
        return {Clamp32(static_cast<long long>(n) * ba.iBildTeilePosX[1]), 0};
    return {0, Clamp32(ba.iBildTeilePosY[n])};
}

void RecordTextRun(Bildanteile& ba, const DocDaten& doc, POINTL pt, LONG lFontId, WORD wPart)
{
    const int i = std::clamp(ba.iAnzahlAMSaetze, 0, kMaxAMSaetze - 1);
    const POINTL off = ImagePartOffset(ba, doc, wPart);
    ba.lAMSatzTextYPos[i] = pt.y;
    ba.lAMSatzTextYPosKorr[i] = Clamp32(static_cast<long long>(pt.y) + off.y);
    ba.lAMSatzTextXPos[i] = pt.x;
    ba.lAMSatzTextXPosKorr[i] = Clamp32(static_cast<long long>(pt.x) + off.x);
    ba.wAMSatzBildTeil[i] = wPart;
    ba.lAMSatzTextFontID[i] = lFontId;
    ba.lAMSatzExtra[i] = 0;
    ba.lGlyphPosY_Old = pt.y;
    ba.lGlyphPosX_Old = pt.x;
}

void ForEachGlyphBatch(STROBJ* pstro, ULONG cText,
                       const std::function<bool(const GLYPHPOS*, ULONG, ULONG)>& run)
{
    engine::STROBJ_vEnumStart(pstro);
    ULONG done = 0;
    bool more = true;
    while (more && done < cText) {
        ULONG c = 0;
        GLYPHPOS* pgp = nullptr;
        more = engine::STROBJ_bEnumPositionsOnly(pstro, &c, &pgp) != FALSE;
        if ((!pgp || c == 0) && done == 0 && pstro->pgp) {
            pgp = pstro->pgp;
            c = pstro->cGlyphs;
            more = false;
        }
        if (!pgp || c == 0) continue;
        c = std::min<ULONG>(c, cText - done);
        if (!run(pgp, c, done)) return;
        done += c;
    }
}

int GetFontParam(const STROBJ* pstro, const GLYPHPOS* pgp, ULONG cGlyphs, BOOL bLandscape,
                 LONG* pAcross, LONG* pAlong)
{
    int rot = -1;
    const RECTL& bk = pstro->rclBkGround;
    if (pstro->flAccel & SO_HORIZONTAL) {
        rot = (pstro->flAccel & SO_REVERSED) ? 2 : 0;
    } else if (pstro->flAccel & SO_VERTICAL) {
        rot = (pstro->flAccel & SO_REVERSED) ? 1 : 3;
    } else if (cGlyphs >= 2 && pgp) {
        if (pgp[0].ptl.y == pgp[1].ptl.y)
            rot = pgp[0].ptl.x > pgp[1].ptl.x ? 2 : 0;
        else if (pgp[0].ptl.x == pgp[1].ptl.x)
            rot = pgp[0].ptl.y > pgp[1].ptl.y ? 1 : 3;
    } else if (cGlyphs == 1 && pgp) {
        // One glyph: where it sits in its background box tells the direction.
        if (static_cast<long long>(pgp[0].ptl.x) == static_cast<long long>(bk.right) - 1)
            rot = 2;
        else if (static_cast<long long>(pgp[0].ptl.y) == static_cast<long long>(bk.bottom) - 1)
            rot = 1;
        else if (pgp[0].ptl.y == bk.top)
            rot = 3;
    }
    // The rectangle comes from the application's drawing: its extents are
    // taken wide and held to 32 bits.
    auto extent = [](LONG a, LONG b) {
        return static_cast<LONG>(
            std::clamp<long long>(static_cast<long long>(b) - a, INT32_MIN, INT32_MAX));
    };
    const LONG height = extent(bk.top, bk.bottom), width = extent(bk.left, bk.right);
    LONG across = 0, along = 0;
    if (rot == 0 || rot == 2) {
        across = height;
        along = width;
    } else if (rot == 1 || rot == 3) {
        across = width;
        along = height;
    }
    if (pAcross) *pAcross = across;
    if (pAlong) *pAlong = along;
    if (bLandscape && rot != -1) rot = (rot + 3) % 4;
    return rot;
}

BOOL DeviceTextOut(OEM_PDEV* pOemPDev, STROBJ* pstro, ULONG iFont, KX_DEVMODE* pKX_Devmode)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !pstro || !pKX_Devmode || !op->pDruckDaten || !op->pDocDaten || !op->pKVBBBuffer ||
        !op->pBildanteile || !op->pTreiberstrukturen)
        return FALSE;
    if (!pstro->pwszOrg || pstro->cGlyphs == 0) return TRUE;
    const std::u16string text(pstro->pwszOrg, pstro->cGlyphs);
    Bildanteile& ba = *op->pBildanteile;
    const DocDaten& doc = *op->pDocDaten;
    const DruckDaten& d = *op->pDruckDaten;
    const WORD wId = PrinterFontId(iFont);

    BOOL result = TRUE;
    ForEachGlyphBatch(
        pstro, static_cast<ULONG>(text.size()), [&](const GLYPHPOS* pgp, ULONG c, ULONG done) {
            const int rot = GetFontParam(pstro, pgp, c, d.bLandscape_CC, nullptr, nullptr);
            POINTL pt = pgp[0].ptl;
            if (pt.x < 0 || pt.y < 0) {
                Trace(
                    u"UNI(ddiTextOutUni):  DeviceTextOut() --- Glyphposition außerhalb des "
                    u"Etikettes "
                    u"---\r\n");
                return false;
            }
            if (ba.lGlyphPosY_Old >= 1 && ba.lGlyphPosY_Old < pt.y && !d.bLandscape_CC) {
                Trace(u"UNI(ddiTextOutUni):  DeviceTextOut() Zeilensprung erkannt \r\n");
                CheckBuffer_VectorBitmap(pOemPDev, pKX_Devmode, 1);
            }
            if (!pKX_Devmode->wTTFDesegm) RecordTextRun(ba, doc, pt, wId, ba.wBildTeile);
            pt.x =
                Clamp32(static_cast<long long>(pt.x) + ImagePartOffset(ba, doc, ba.wBildTeile).x);
            if (!DrawDeviceGlyphs(pOemPDev, c, text.data() + done, pt, rot, iFont, pKX_Devmode)) {
                result = FALSE;
                return false;
            }
            if (pKX_Devmode->wTTFDesegm) RecordTextRun(ba, doc, pgp[0].ptl, wId, ba.wBildTeile);
            return true;
        });
    return result;
}

BOOL DrawDeviceGlyphs(OEM_PDEV* pOemPDev, ULONG cGlyphs, const WCHAR* pwszText, POINTL pt,
                      int iRotation, ULONG iFont, KX_DEVMODE* pKX_Devmode)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !pKX_Devmode || !op->pKVBBBuffer || !op->pTreiberstrukturen) return FALSE;
    if (cGlyphs == 0 || !pwszText) return TRUE;
    KVBBBuffer& kv = *op->pKVBBBuffer;
    TextCollection& coll = kv.bitmap;
    const std::string run = RunBytes(pOemPDev, std::u16string_view(pwszText, cGlyphs));
    if (run == "\r" || run == "\n" || run == " ")
        TraceA("UNI(ddiTextOutUni):  DrawDeviceGlyphs() einzelnes Zeichen 0x%02x \r\n",
               static_cast<unsigned>(static_cast<unsigned char>(run[0])));

    FieldDescription desc{};
    desc.wFontClass = kFontClassPrinter;
    desc.wId = PrinterFontId(iFont);
    desc.dwRotation = iRotation < 0 ? 0 : static_cast<DWORD>(iRotation);
    if (pKX_Devmode->wBMPInvers) desc.dwFlags |= kFieldInverse;
    desc.cx = pKX_Devmode->wBitmapFontZoom;
    desc.cy = pKX_Devmode->wBitmapFontZoomY;
    desc.dwExtra = pKX_Devmode->wBitmapFontAbstand;

    // A function typed in lower case still reaches the printer in capitals.
    if (coll.pText && coll.dwSize > 3 && coll.pText[0] == '=') {
        Trace(
            u"UNI(ddiTextOutUni):  DrawDeviceGlyphs() erste beiden Zeichen in Großbuchstaben \r\n");
        for (int i = 1; i <= 2; ++i)
            coll.pText[i] =
                static_cast<char>(std::toupper(static_cast<unsigned char>(coll.pText[i])));
    }
    if (coll.dwSize > 0 && (kv.dwCurrentFont != kCurrentPrinterFont || coll.iIndex != desc.wId))
        SendCollected(pOemPDev, kv, pKX_Devmode);

    const bool starts = StartsField(run, kv, *pKX_Devmode);
    if (!starts && (coll.dwSize == 0 || kv.dwCurrentFont != kCurrentPrinterFont)) {
        kv.dwCurrentFont = kCurrentPrinterFont;
        return DrawGlyphs(pOemPDev, run.c_str(), pt, &desc, pKX_Devmode, FALSE, FALSE);
    }
    if (starts && coll.dwSize > 0) SendCollected(pOemPDev, kv, pKX_Devmode);
    CollectRun(coll, kBitmapAreaSize, starts, pt, desc.wId, desc, run);
    kv.dwCurrentFont = kCurrentPrinterFont;
    return TRUE;
}

}  // namespace kx
