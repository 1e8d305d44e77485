#include "raster/pcx.h"

#include <algorithm>
#include <cstring>

#include "core/format.h"
#include "core/jobcontext.h"
#include "core/jobheap.h"
#include "core/output.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "platform/platform.h"
#include "raster/bandcapture.h"
#include "raster/rle.h"
#include "settings/models.h"

namespace kx {

namespace {

// A warning for the information log, and for the trace.
void LogWarning(const OEM_PDEV* pOemPDev, const char16_t* text)
{
    Trace(u"UNI(PCX):  Log: %s", text);
    if (CLogFile* pLog = GetJobLogFile(pOemPDev)) pLog->WriteLine(text, nullptr, 0);
}

// The head width in tenths of a millimetre: the model's, or derived from its
// width in bytes.
std::int64_t HeadWidth(const KX_FIXEDDATA& fixed)
{
    if (fixed.wPrintHeadWidth || !fixed.wMasterUnit) return fixed.wPrintHeadWidth;
    return Round16(fixed.dwHeadWidthByte * 8.0 / fixed.wMasterUnit * 25.4 * 10);
}

// The records every command of a graphic needs, and a resolution to place
// it with; false (traced in who's name) when one is missing.
bool RequireGraphicRecords(JobContext& ctx, const char16_t* who)
{
    return ctx.Require(kNeedDevmode | kNeedDevice,
                       u"ERROR UNI(PCX):  %s() pKX_Devmode, pOemPDev = 0 \r\n", {who}) &&
           ctx.Require(kNeedJob | kNeedData | kNeedSettings,
                       u"ERROR UNI(PCX):  %s() Strukturen = 0 \r\n", {who}) &&
           ctx.Require(kNeedResolution, u"ERROR UNI(PCX):  %s() dwMasterUnit = 0 \r\n", {who});
}

// Sends through the graphics channel; a failure becomes the step's error.
HRESULT Send(JobContext& ctx, const std::string& s, BOOL bColourPlane, BOOL bBothFiles)
{
    return ctx.Keep(SendeDaten(ctx.DevObj(), ctx.UniDrv(), s.data(), static_cast<DWORD>(s.size()),
                               bColourPlane, bBothFiles));
}

// A quarter turn of the label that the printer must be told about.
bool LabelTurned(const KX_DEVMODE& dm, const DruckDaten& d)
{
    if (!(dm.dwFlags & PDMFLAG_DREHEN) || (dm.dwFlags & PDMFLAG_DREHEN_O_FORMAT)) return false;
    if (d.bLandscape_CC == 0) return d.dwWinkel_CC != 0 && d.dwWinkel_CC != 180;
    if (d.bLandscape_CC == 1) return d.dwWinkel_CC != 90 && d.dwWinkel_CC != 270;
    return false;
}

// "%cFCCL--r%07u-%c" or "%cFCCO--r%07u-%c" with its comment, to both files.
HRESULT SendSizeCommand(JobContext& ctx, const char* fmt, std::int64_t value, const char* comment)
{
    const std::uint64_t v = value < 0 ? 0 : static_cast<std::uint64_t>(value);
    std::string s = FormatString(fmt, {ctx.StartChar(), v, ctx.EndChar()});
    if (ctx.CommentsOn())
        s += FormatString("%s%3.1f mm \r\n", {comment, static_cast<double>(v) / 100.0});
    return Send(ctx, s, FALSE, TRUE);
}

// Label length and width of a turned label. PCX form: from the image size and
// the pages and columns per label; D form: from the devmodes.
HRESULT SendTurnedLabel(JobContext& ctx, std::int64_t lLength, std::int64_t lWidth, bool bPcxForm)
{
    const KX_DEVMODE& dm = *ctx.Devmode();
    HRESULT hr = SendSizeCommand(ctx, "%cFCCL--r%07u-%c", lLength, "\t// LabelLength (Rotated) ");
    if (SUCCEEDED(hr))
        hr = SendSizeCommand(ctx, "%cFCCO--r%07u-%c", lWidth, "\t// LabelWidth (Rotated) ");
    if (SUCCEEDED(hr) && bPcxForm && ctx.CommentsOn()) {
        if (dm.wMehrereSeiten > 0)
            hr = Send(ctx, FormatString("\t// %d pages per label \r\n", {dm.wMehrereSeiten + 1}),
                      FALSE, TRUE);
        else if (dm.wMehrereReihen > 0)
            hr = Send(ctx, FormatString("\t// %d rows per label \r\n", {dm.wMehrereReihen + 1}),
                      FALSE, TRUE);
    }
    return hr;
}

// The ribbon of a colour page: the colour plane (or a ribbon of 7 and above)
// and the black plane take the two ribbons, swapped on request.
HRESULT SendRibbon(JobContext& ctx, BOOL bColourPlane, bool bDForm)
{
    const Bildverarbeitung* bv = ctx.PageImage();
    const KX_DEVMODE& dm = *ctx.Devmode();
    if (!(ctx.Data()->dwDocFeatures & DOC_FEATURE_COLORPRINT) || !bv ||
        bv->bmInfoHeader.biBitCount < 2)
        return S_OK;
    const bool bColour = bColourPlane || dm.wFarbband >= 7;
    const bool bSwap = dm.wChangeColorRibbon != 0;
    const int ribbon = bColour ? (bSwap ? 1 : 2) : (bSwap ? 2 : 1);
    std::string s = FormatString("%cFBM---r%d-------%c", {ctx.StartChar(), ribbon, ctx.EndChar()});
    if (ctx.CommentsOn()) s += bDForm ? "\r\n\r\n" : "\r\n";
    return Send(ctx, s, FALSE, TRUE);
}

}  // namespace

// ------------------------------------------------------------------ PCX

PCX::PCX(WORD wWidth, WORD wHeight, const BYTE* pBits, const RGBQUAD* pPalette, int iColors,
         DWORD dwSrcStride)
    : Width(wWidth), Height(wHeight)
{
    SLSize = ((DWORD{Width} + 31) / 32) * 4;
    // A table that does not tell the two colours apart (a page that was
    // captured in one bit keeps the bitmap's all-white table) would make the
    // image unreadable to anything that honours the header: such a page, and
    // one without a table, gets black for 0 and white for 1.
    const bool bDistinct =
        pPalette && iColors >= 2 && std::memcmp(&pPalette[0], &pPalette[1], 3) != 0;
    int iUsed = 2;
    if (bDistinct) {
        iUsed = std::min(iColors, 256);
        for (int i = 0; i < iUsed; ++i) {
            Palette[i][0] = pPalette[i].rgbRed;
            Palette[i][1] = pPalette[i].rgbGreen;
            Palette[i][2] = pPalette[i].rgbBlue;
        }
    } else {
        Palette[1][0] = Palette[1][1] = Palette[1][2] = 255;
    }
    // The header carries sixteen colours; past the ones in use the bitmap's
    // colour table is white, and so is the header's.
    for (int i = iUsed; i < 16; ++i) Palette[i][0] = Palette[i][1] = Palette[i][2] = 255;
    PCXHeader[0] = 10;  // manufacturer
    PCXHeader[1] = 5;   // version
    PCXHeader[2] = 1;   // run-length coded
    PCXHeader[3] = static_cast<BYTE>(BitsPerPixel);
    PutWord(8, static_cast<WORD>(Width - 1));
    PutWord(10, static_cast<WORD>(Height - 1));
    std::memcpy(PCXHeader + 16, Palette, 48);
    PCXHeader[65] = static_cast<BYTE>(Planes);
    PutWord(66, static_cast<WORD>(SLSize / Planes));
    PutWord(68, 1);  // palette info

    const std::size_t size = std::size_t{Height} * SLSize;
    if (!pBits || size == 0) return;
    Data = static_cast<BYTE*>(plat::HeapAlloc(size, false));
    if (!Data) {
        Trace(u"ERROR UNI(PCX):  PCX() malloc ERROR \r\n");
        return;
    }
    ++iHAllocZaehlerUNI;
    DataSize = static_cast<DWORD>(size);
    const DWORD stride = dwSrcStride ? dwSrcStride : SLSize;
    const DWORD copy = std::min(stride, SLSize);
    for (std::size_t r = 0; r < Height; ++r) {
        BYTE* dst = Data + r * SLSize;
        std::memcpy(dst, pBits + (Height - 1 - r) * std::size_t{stride}, copy);
        if (copy < SLSize) std::memset(dst + copy, 0xFF, SLSize - copy);
    }
}

PCX::~PCX()
{
    if (Data) {
        plat::HeapFree(Data);
        --iHAllocZaehlerUNI;
    }
}

void PCX::PutWord(std::size_t offset, WORD v)
{
    PCXHeader[offset] = static_cast<BYTE>(v);
    PCXHeader[offset + 1] = static_cast<BYTE>(v >> 8);
}

WORD PCX::GetWord(std::size_t offset) const
{
    return static_cast<WORD>(PCXHeader[offset] | (PCXHeader[offset + 1] << 8));
}

bool PCX::IsBlankRow(int iRow) const
{
    const BYTE* p = Row(iRow);
    std::size_t n = SLSize;
    // Eight bytes at a time; rows are multiples of four bytes.
    for (; n >= 8; n -= 8, p += 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if (w != ~std::uint64_t{0}) return false;
    }
    for (; n; --n, ++p)
        if (*p != 0xFF) return false;
    return true;
}

PcxParts PCX::PlanParts() const
{
    PcxParts plan;
    const int H = DataSize ? Height : 0;
    int S = 0;
    while (S < H && IsBlankRow(S)) ++S;
    int E = 0;
    while (E < H && IsBlankRow(H - 1 - E)) ++E;
    plan.wLeereZeilenStart = S;
    plan.wLeereZeilenEnde = E;

    // Inner gaps: a blank row opens a run in the current slot or extends the
    // run there when it follows directly; a row with dots drops a run of
    // fewer than 20 rows. A blank row that does not follow the run ends it:
    // a run of 21 rows or more is kept (the next slot becomes current), a
    // shorter one dropped, and that row opens nothing. A run still in the
    // current slot at the end counts as a gap.
    int k = 0;
    for (int r = S; r <= H - E - 1 && k < kMaxGaps; ++r) {
        PcxGap& g = plan.gaps[k];
        if (IsBlankRow(r)) {
            if (g.iCount == 0) {
                g.iStart = r;
                g.iCount = 1;
            } else if (r == g.iStart + g.iCount) {
                ++g.iCount;
            } else if (g.iCount < kMinGapRows) {
                Trace(u"UNI(PCX):  SendToPrinter() wLeereZeilenMitte: %d wird verworfen \r\n",
                      g.iCount);
                g = PcxGap{};
            } else {
                Trace(
                    u"UNI(PCX):  SendToPrinter() wLeereZeilenMitte: %d, "
                    u"wLeereZeilenMitteStartPos: %d \r\n",
                    g.iCount, g.iStart);
                ++k;
            }
        } else if (g.iCount < kMinGapRows - 1) {
            g = PcxGap{};
        }
    }
    plan.nGaps = k < kMaxGaps && plan.gaps[k].iCount > 0 ? k + 1 : k;
    return plan;
}

std::size_t PCX::EncodedWorstCase(int iRows) const
{
    return RunLengthWorstCase(std::size_t(std::max(iRows, 0)) * SLSize);
}

std::size_t PCX::EncodeRows(int iOffset, int iHeightOffset, std::span<BYTE> out) const
{
    std::size_t n = 0;
    for (int r = std::max(iOffset, 0); r < std::min<int>(iHeightOffset, Height) && Data; ++r)
        n += EncodeRunLength({Row(r), SLSize}, out.subspan(n));
    return n;
}

HRESULT PCX::SendPCXDataToPrinter(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, int iOffset,
                                  int iHeightOffset, std::int64_t wY, std::int64_t wX,
                                  BOOL bColourPlane)
{
    JobContext ctx(pdevobj, pUniDrv);
    return SendPCXDataToPrinter(ctx, iOffset, iHeightOffset, wY, wX, bColourPlane);
}

std::int64_t PCX::PlaceOnLabel(const JobContext& ctx, std::int64_t wX) const
{
    const KX_DEVMODE& dm = *ctx.Devmode();
    const DruckDaten& d = *ctx.Data();
    const std::int64_t mu = dm.FixedData.wMasterUnit;
    std::int64_t X = wX - std::int64_t{d.iBitmapOffset} * 2540 / mu;
    // Lanes of a multi-lane material: the graphic goes to the last lane.
    if ((dm.FixedData.dwDocFeatures & DOC_FEATURE_UTF8) && (dm.dwFlags & PDMFLAG_MULTICOL) &&
        dm.sMultiColNumber > 1) {
        X += (std::int64_t{dm.dwMultiLabelWidth} + dm.dwMultiGapWidth) * (dm.sMultiColNumber - 1) *
             10;
    }
    const bool bTurned = (dm.dwFlags & PDMFLAG_DREHEN) && (dm.dwWinkel == 90 || dm.dwWinkel == 270);
    const std::int64_t lBreite =
        std::int64_t{bTurned ? d.dwLabelLength : d.dwLabelWidth} * 254 / mu * 10;
    const std::int64_t gap = dm.wMehrereSeitenAbstand;
    auto place = [&](std::int64_t iSeitenOffset, std::int64_t iAbstand) {
        if (iSeitenOffset >= 0 && iAbstand >= 0) X = iSeitenOffset * lBreite + gap * iAbstand * 10;
    };
    // Several pages on one label: the page's place by its number.
    if (dm.wMehrereSeiten > 0 && d.wSeitennummer >= 1) {
        const std::int64_t n = d.wSeitennummer, m = dm.wMehrereSeiten;
        if (dm.wMehrereSeitenAusrichtung)
            place(n, n - 1);
        else
            place(m - n + 2, m - n + 1);
    }
    // Several columns: the column's place by the column counter.
    if (dm.wMehrereReihen > 0) {
        const std::int64_t k = d.wSpaltenZaehler, m = dm.wMehrereReihen;
        if (k >= 1) place(m - k + 2, m - k + 1);
    }
    return X;
}

HRESULT PCX::SendPCXDataToPrinter(JobContext& ctx, int iOffset, int iHeightOffset, std::int64_t wY,
                                  std::int64_t wX, BOOL bColourPlane)
{
    if (!RequireGraphicRecords(ctx, u"SendPCXDataToPrinter")) return ctx.Result();
    const DruckDaten& d = *ctx.Data();
    iOffset = std::clamp<int>(iOffset, 0, Height);
    iHeightOffset = std::clamp<int>(iHeightOffset, iOffset, Height);
    if (!Data || iOffset == iHeightOffset) return S_OK;

    const std::int64_t X = PlaceOnLabel(ctx, wX);
    const std::int64_t Y =
        wY - std::int64_t{d.iBitmapOffsetLinks} * 2540 / ctx.Devmode()->FixedData.wMasterUnit;
    // A graphic of several columns starts each record on a line of its own.
    if (ctx.Devmode()->wMehrereReihen > 0) {
        HRESULT hr = Send(ctx, "\r\n", bColourPlane, FALSE);
        if (FAILED(hr)) return hr;
    }

    HRESULT hr = Send(ctx, FormatString("\r\n%cAX000%06d%06d1%c", {d.cStart, Y, X, d.cEnd}),
                      bColourPlane, FALSE);
    if (SUCCEEDED(hr))
        hr = ctx.Keep(
            SendeDaten(ctx.DevObj(), ctx.UniDrv(), PCXHeader, kPcxHeaderSize, bColourPlane, FALSE));
    if (FAILED(hr)) {
        Trace(u"ERROR UNI(PCX):  SendPCXDataToPrinter() Kopf nicht gesendet 0x%x \r\n", hr);
        return hr;
    }

    const std::size_t worst = EncodedWorstCase(iHeightOffset - iOffset);
    auto* pOut = static_cast<BYTE*>(plat::HeapAlloc(worst, false));
    if (!pOut) {
        Trace(u"ERROR UNI(PCX):  SendPCXDataToPrinter() Encode-Puffer ERROR \r\n");
        return ctx.Keep(E_FAIL);
    }
    const std::size_t iAnzahlBytes = EncodeRows(iOffset, iHeightOffset, {pOut, worst});
    Trace(u"UNI(PCX):  SendPCXDataToPrinter() Zeilen %d bis %d, Y: %d, X: %d, dwFileSize: %u \r\n",
          iOffset, iHeightOffset - 1, Y, X, kPcxHeaderSize + iAnzahlBytes);
    hr = ctx.Keep(SendeDaten(ctx.DevObj(), ctx.UniDrv(), pOut, static_cast<DWORD>(iAnzahlBytes),
                             bColourPlane, FALSE));
    plat::HeapFree(pOut);
    return hr;
}

WORD PCX::SendToPrinter(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, BOOL bColourPlane)
{
    JobContext ctx(pdevobj, pUniDrv);
    return SendToPrinter(ctx, bColourPlane);
}

HRESULT PCX::SendPart(JobContext& ctx, int first, int last, std::int64_t wY, std::int64_t wX,
                      BOOL bColourPlane)
{
    SetYMax(static_cast<WORD>(Height - 1 - first));
    SetYMin(static_cast<WORD>(Height - 1 - last));
    return SendPCXDataToPrinter(ctx, first, last + 1, wY, wX, bColourPlane);
}

HRESULT PCX::SendParts(JobContext& ctx, const PcxParts& plan, std::int64_t wY, std::int64_t wX,
                       BOOL bColourPlane)
{
    const double mu = ctx.Devmode()->FixedData.wMasterUnit;
    const int H = Height, S = plan.wLeereZeilenStart, E = plan.wLeereZeilenEnde;
    const DruckDaten& d = *ctx.Data();
    const bool bComments = ctx.CommentsOn();
    if (plan.nGaps == 0) {
        if (wY >= 1) return SendPart(ctx, S, H - E - 1, wY, wX, bColourPlane);
        Trace(
            u"UNI(PCX):  SendToPrinter() ACHTUNG, wY ist kleiner 0, also scheinbar "
            u"leeres Etikett \r\n");
        LogWarning(ctx.Device(), u"***  Warning - no picture content detected *** \r\n");
        return S_OK;
    }
    // The part above the first gap, the parts between gaps, the part below
    // the last gap; each part's place moves up by what lies below it.
    const PcxGap* g = plan.gaps;
    HRESULT hr = SendPart(ctx, S, g[0].iStart,
                          wY - std::int64_t{Round((H - 1 - E - g[0].iStart) * 254.0 / mu)} * 10, wX,
                          bColourPlane);
    for (int j = 1; j < plan.nGaps && SUCCEEDED(hr) && !d.bPrintCancelled; ++j) {
        if (bComments) hr = Send(ctx, "\r\n", bColourPlane, FALSE);
        const int first = g[j - 1].iStart + g[j - 1].iCount;
        if (SUCCEEDED(hr))
            hr =
                SendPart(ctx, first, g[j].iStart,
                         wY - Round((H - 1 - g[j].iStart - E) * 254.0 / mu * 10), wX, bColourPlane);
    }
    if (SUCCEEDED(hr) && bComments) hr = Send(ctx, "\r\n", bColourPlane, FALSE);
    const PcxGap& last = g[plan.nGaps - 1];
    if (SUCCEEDED(hr) && !d.bPrintCancelled)
        hr = SendPart(ctx, last.iStart + last.iCount, H - E - 1, wY, wX, bColourPlane);
    return hr;
}

HRESULT PCX::SendLabelCommands(JobContext& ctx, std::int64_t wY, std::int64_t wX, BOOL bColourPlane)
{
    const KX_DEVMODE& dm = *ctx.Devmode();
    HRESULT hr = S_OK;
    if (LabelTurned(dm, *ctx.Data())) {
        std::int64_t lWidth = wX;
        for (std::int64_t n : {std::int64_t{dm.wMehrereSeiten}, std::int64_t{dm.wMehrereReihen}})
            if (n > 0) lWidth = (n + 1) * lWidth + std::int64_t{dm.wMehrereSeitenAbstand} * n * 10;
        hr = SendTurnedLabel(ctx, wY, lWidth, true);
    }
    if (SUCCEEDED(hr)) hr = SendRibbon(ctx, bColourPlane, false);
    return hr;
}

WORD PCX::SendToPrinter(JobContext& ctx, BOOL bColourPlane)
{
    if (!RequireGraphicRecords(ctx, u"SendToPrinter") || !DataSize) return 0;
    const KX_DEVMODE& dm = *ctx.Devmode();
    DruckDaten& d = *ctx.Data();
    const double mu = dm.FixedData.wMasterUnit;
    if (d.bPrintCancelled) {
        Trace(u"UNI(PCX):  SendToPrinter() Druckauftrag abgebrochen, nichts gesendet \r\n");
        return 0;
    }

    // Positions from the whole image (pcxXMax + 1, pcxYMax + 1 before trimming).
    const std::int64_t wX = std::int64_t{Round(Width * 254.0 / mu)} * 10;
    const std::int64_t wYUntrimmed = std::int64_t{Round(Height * 254.0 / mu)} * 10;
    Trace(u"UNI(PCX):  SendToPrinter() wX: %d 1/100 mm, wY: %d 1/100 mm \r\n", wX, wYUntrimmed);
    if (FAILED(SendLabelCommands(ctx, wYUntrimmed, wX, bColourPlane))) return 0;

    // The header describes the rows left after the blank rows at top and
    // bottom are cut; the graphic's place moves up by the rows cut below.
    const PcxParts plan = PlanParts();
    const int S = plan.wLeereZeilenStart;
    const int E = plan.wLeereZeilenEnde;
    SetYMax(static_cast<WORD>(S < Height ? Height - 1 - S : Height - 1));
    SetYMin(static_cast<WORD>(E));
    const std::int64_t wY = wYUntrimmed - std::int64_t{Round(E * 254.0 / mu)} * 10;

    // The whole graphic once per column of pages, counted for the placing.
    HRESULT hr = S_OK;
    d.wSpaltenZaehler = 1;
    for (int rep = 0; rep <= dm.wMehrereReihen && SUCCEEDED(hr) && !d.bPrintCancelled; ++rep) {
        hr = SendParts(ctx, plan, wY, wX, bColourPlane);
        ++d.wSpaltenZaehler;
    }
    if (SUCCEEDED(hr) && !d.bPrintCancelled) hr = Send(ctx, "\r\n", bColourPlane, FALSE);

    // Receipt printing: the label ends below the graphic.
    if (SUCCEEDED(hr) && dm.dwLabelType == 2 && E > 0) {
        const std::int64_t lLength = std::int64_t{dm.wBelegOffset} * 100 + wYUntrimmed -
                                     (std::int64_t{E} * 254 / dm.FixedData.wMasterUnit) * 10;
        SendSizeCommand(ctx, "%cFCCL--r%07u-%c", lLength, "\t// Belegdruck ");
    }
    return static_cast<WORD>(E);
}

// ------------------------------------------------------------------ entry points

HRESULT SendeDaten(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const void* pData, DWORD cbData,
                   BOOL bColourPlane, BOOL bBothFiles)
{
    return SendData(kChannelGraphics, pdevobj, pUniDrv, pData, cbData, bColourPlane, FALSE, FALSE,
                    bBothFiles);
}

namespace {

// A one-bit image with rows the size its width needs; traced when not.
bool UsableImage(const MonoImage& image, const char16_t* who)
{
    if (!image.pData || image.Width < 1 || image.Height < 1) {
        Trace(u"UNI(PCX):  %s() keine Bilddaten \r\n", who);
        return false;
    }
    if (image.Bpp != 1) {
        Trace(u"ERROR UNI(PCX):  %s() Bitmap hat %d Bit, nicht 1 Bit \r\n", who, image.Bpp);
        return false;
    }
    if (image.ScanLineSize < ((DWORD(image.Width) + 31) / 32) * 4) {
        Trace(u"ERROR UNI(PCX):  %s() ScanLineSize %u zu klein \r\n", who, image.ScanLineSize);
        return false;
    }
    return true;
}

}  // namespace

WORD SendPCX(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const MonoImage& image,
             BOOL bColourPlane)
{
    JobContext ctx(pdevobj, pUniDrv);
    return SendPCX(ctx, image, bColourPlane);
}

WORD SendPCX(JobContext& ctx, const MonoImage& image, BOOL bColourPlane)
{
    if (!UsableImage(image, u"SendPCX")) return 0;
    if (image.Height > 0xFFFF || image.Width > 0xFFFF) {
        Trace(u"ERROR UNI(PCX):  SendPCX() es sind %d Bildteile notwendig \r\n",
              std::max(image.Height, image.Width) / 65535);
        return 0;
    }
    OEM_PDEV* pOem = ctx.Device();
    PCX pcx(static_cast<WORD>(image.Width), static_cast<WORD>(image.Height), image.pData,
            image.pPalette, image.Colors, image.ScanLineSize);
    if (!pcx.DataSize) return 0;
    if (pOem) ++pOem->iNewZaehler;
    WORD wLeereZeilenEnde = pcx.SendToPrinter(ctx, bColourPlane);
    if (pOem) --pOem->iNewZaehler;
    return wLeereZeilenEnde;
}

std::string DSatzRow(char cStart, char cEnd, int iRowNumber, std::span<const BYTE> row,
                     int iLinkerRand, bool bComments)
{
    std::size_t lead = 0;
    while (lead < row.size() && row[lead] == 0xFF) ++lead;
    if (lead == row.size()) return {};
    std::size_t end = row.size();
    while (end > lead && row[end - 1] == 0xFF) --end;
    const std::size_t count = end - lead;
    const std::int64_t offset = std::int64_t(lead) + iLinkerRand;
    if (iRowNumber < 0 || iRowNumber > 9999 || offset < 0 || offset > 999 || count > 999) {
        Trace(
            u"ERROR UNI(Bitmap):  SendDSatz() Zeile %d passt nicht in den D-Satz - Offset: %d, "
            u"Bytes: %u, nicht gesendet \r\n",
            iRowNumber, offset, count);
        return {};
    }
    std::string s = FormatString("%cD%04d%03d%03d", {cStart, iRowNumber, offset, count});
    s.reserve(s.size() + count + 5);
    for (std::size_t i = lead; i < end; ++i) s += static_cast<char>(~row[i]);
    s += cEnd;
    s += bComments ? "\r\n\r\n" : "\r\n";
    return s;
}

DWORD SendDSatz(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const MonoImage& image,
                BOOL bColourPlane)
{
    JobContext ctx(pdevobj, pUniDrv);
    return SendDSatz(ctx, image, bColourPlane);
}

namespace {

// Label length and width of a turned label in the D form, from the
// devmodes: the public paper length, and what the head leaves beside the
// page (times the columns still to come on a label of several columns).
HRESULT SendDFormLabel(JobContext& ctx, std::int64_t head)
{
    const KX_DEVMODE& dm = *ctx.Devmode();
    const DruckDaten& d = *ctx.Data();
    const DEVMODEW* pub = ctx.PublicDevmode();
    if ((d.dwDocFeatures & DOC_FEATURE_COLORPRINT) || !LabelTurned(dm, d)) return S_OK;
    std::int64_t lLength = 0;
    if (pub)
        lLength = std::int64_t{(dm.dwFlags & PDMFLAG_LANDSCAPE_DISABLE) ? pub->dmPaperWidth
                                                                        : pub->dmPaperLength} *
                  10;
    const Bildverarbeitung* bv = ctx.PageImage();
    const std::int64_t paper =
        Round16((bv ? bv->bmInfoHeader.biWidth : 0) * 254.0 / dm.FixedData.wMasterUnit);
    std::int64_t lWidth = std::max<std::int64_t>(head - paper, 0) * 10;
    const std::int64_t m = dm.wMehrereReihen, k = d.wSpaltenZaehler;
    if (m > 0 && k >= 1)
        lWidth = (m - k + 2) * lWidth + std::int64_t{dm.wMehrereSeitenAbstand} * (m - k + 1) * 10;
    return SendTurnedLabel(ctx, lLength, lWidth, false);
}

}  // namespace

DWORD SendDSatz(JobContext& ctx, const MonoImage& image, BOOL bColourPlane)
{
    if (!UsableImage(image, u"SendDSatz")) return 0;
    if (!RequireGraphicRecords(ctx, u"SendDSatz")) return 0;
    const KX_DEVMODE& dm = *ctx.Devmode();
    const DruckDaten& d = *ctx.Data();
    const double mu = dm.FixedData.wMasterUnit;
    const DEVMODEW* pub = ctx.PublicDevmode();
    const std::int64_t head = HeadWidth(dm.FixedData);
    if (d.bPrintCancelled) {
        Trace(u"UNI(Bitmap):  SendDSatz() Druckauftrag abgebrochen, nichts gesendet \r\n");
        return 0;
    }
    HRESULT hr = SendDFormLabel(ctx, head);
    if (SUCCEEDED(hr)) hr = SendRibbon(ctx, bColourPlane, true);
    if (FAILED(hr)) return 0;

    // The left margin of a label narrower than the head, in bytes.
    const std::int64_t paper = pub ? pub->dmPaperWidth : head;
    const double margin = std::trunc(mu * static_cast<double>(head - paper) / 254.0);
    const int iLinkerRand = margin > 0 ? Round16(margin * 0.125) : 0;

    // Storage order (bottom row first); the row number counts from the top.
    const bool bComments = ctx.CommentsOn();
    for (int s = 0; s < image.Height; ++s) {
        std::span<const BYTE> row(image.pData + std::size_t(s) * image.ScanLineSize,
                                  image.ScanLineSize);
        const std::string rec =
            DSatzRow(d.cStart, d.cEnd, image.Height - 1 - s, row, iLinkerRand, bComments);
        if (rec.empty()) continue;
        hr = ctx.Keep(SendData(kChannelRaster, ctx.DevObj(), ctx.UniDrv(), rec.data(),
                               static_cast<DWORD>(rec.size())));
        if (FAILED(hr)) {
            Trace(u"ERROR UNI(Bitmap):  SendDSatz() Zeile %d nicht gesendet 0x%x \r\n",
                  image.Height - 1 - s, hr);
            return 0;
        }
    }
    return 1;
}

// ------------------------------------------------------------------ Bitmap

WORD Bitmap::SendPCX(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, BOOL bColourPlane)
{
    const MonoImage image{
        DataSize ? Data : nullptr, Width, Height, ScanLineSize, Palette, Colors, Bpp};
    return kx::SendPCX(pdevobj, pUniDrv, image, bColourPlane);
}

DWORD Bitmap::SendDSatz(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, BOOL bColourPlane)
{
    const MonoImage image{
        DataSize ? Data : nullptr, Width, Height, ScanLineSize, Palette, Colors, Bpp};
    return kx::SendDSatz(pdevobj, pUniDrv, image, bColourPlane);
}

}  // namespace kx
