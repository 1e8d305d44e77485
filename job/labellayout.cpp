// Decisions of this module:
// - A label length or width of 0 or below (a negative one only comes from a
//   broken devmode) sends no record and makes that step E_INVALIDARG; the
//   following steps still run.
// - The gap of the FCCM record is read signed and limited to 0 .. 500
//   tenths; the older EE record rounds a negative gap away from zero and
//   shows it as its unsigned field always has.
// - The print-module speed needs the "PrinterOptions" block: without one the
//   ordinary speed is sent.
// - Scaling for several pages and rows on one label: pages win when both
//   are set, and a print head too narrow for the spacing alone (or without
//   a width) leaves the percentage alone instead of giving a factor of 0 or
//   below.
// - Fit to page divides in floating point and takes 1.0 for a factor whose
//   sizes are missing.
#include "job/labellayout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/jobcontext.h"
#include "core/printeroptions.h"
#include "core/record.h"
#include "core/regvalues.h"
#include "core/trace.h"
#include "core/units.h"
#include "settings/models.h"
#include "settings/registry.h"

namespace kx {

namespace {

constexpr std::size_t kBuf = RecordWriter::kBuffer;

constexpr LONG kMaxGap10 = 500;  // tenths of a millimetre
constexpr DWORD kMaxLabelWidthDots = 999999;
constexpr WORD kMaxColumns = 9;
constexpr LONG kMaxColumnWidth10 = 99999;

bool IsLandscape(const DEVMODEW* pPublicDM)
{
    return pPublicDM && pPublicDM->dmOrientation == DMORIENT_LANDSCAPE;
}

// The label is turned a quarter turn against the page: an explicit turn of
// 90 or 270 degrees on a portrait page, or of 0 or 180 degrees on a
// landscape page (whose own quarter turn then stands).
bool QuarterTurn(DWORD dwFlags, bool bLandscape, DWORD dwWinkel)
{
    if (!(dwFlags & PDMFLAG_DREHEN)) return false;
    if (bLandscape) return dwWinkel == 0 || dwWinkel == 180;
    return dwWinkel == 90 || dwWinkel == 270;
}

// Fit to page on a landscape page that is not turned back to portrait: the
// page's width runs along the label's length.
bool FitLandscape(const KX_DEVMODE& dm, const DEVMODEW* pPublicDM)
{
    return dm.wFitToPage == 1 && IsLandscape(pPublicDM) &&
           !(dm.dwFlags & PDMFLAG_LANDSCAPE_DISABLE);
}

// The speed: the print-module models (device option flags 128 and above)
// take the print-module speed when the eleventh word of their option block
// is 0. A printer without the block keeps the ordinary speed.
DWORD ChooseSpeed(PDEVOBJ pdevobj, const OEM_PDEV* pdev, const Treiberstrukturen& ts,
                  const KX_DEVMODE& dm)
{
    const DWORD dwSpeed = dm.dwSpeed;
    if (ts.dwDeviceOptionFlags < DEVOPTFLAG_PRINT_MODULE) return dwSpeed;
    PRINTER_OPTIONS options{};
    if (!GetRegistryRecord(pdev, reg::kPrinterOptions, pdevobj->hPrinter, &options,
                           sizeof(options))) {
        Trace(u"UNI(ZE-Ruzo-Vovar):  SendLabelSize() kein PrinterOptions - dwSpeed: %u \r\n",
              dwSpeed);
        return dwSpeed;
    }
    return options.wSpeedLumetra == 0 ? DWORD{dm.dwSpeed_Lumet_c} : dwSpeed;
}

// A size in dots times a scaling factor, truncated and kept within 32 bits.
DWORD ScaleDots(DWORD dwDots, double dFactor)
{
    const double v = std::trunc(dwDots * dFactor);
    if (!(v > 0)) return 0;
    if (v >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<DWORD>(v);
}

DWORD DotsFromMm10(SHORT mm10, WORD wMasterUnit)
{
    const LONG v = Mm10ToMasterUnit(mm10, wMasterUnit);
    return v > 0 ? static_cast<DWORD>(v) : 0;
}

// What every step of SendLabelSize reads.
struct LabelSize {
    const JobContext& ctx;
    const DruckDaten& d;
    const Treiberstrukturen& ts;
    const KX_DEVMODE& dm;
    RecordWriter& w;
    bool bFirstPage;
    bool bEndlos;           // endless material
    bool bMultiCol;         // multi-column material
    bool bScaled;           // the page is scaled onto the label
    bool bFitLandscape;     // fit to page of a landscape page
    bool bTurned;           // length and width change places
    bool bExtendedRecords;  // the printer takes the extended records
};

// The older label record: gap and length (given in dots) in whole
// millimetres, the gap read signed and rounded half away from zero.
HRESULT SendOlderLabelRecord(const LabelSize& ls, DWORD dwLengthDots)
{
    const auto lGap = static_cast<LONG>(ls.dm.dwGap);
    const LONG lGapMm = (lGap >= 0 ? lGap + 5 : lGap - 5) / 10;
    const LONG lLengthMm =
        MasterUnitToMm(static_cast<LONG>(dwLengthDots), ls.dm.FixedData.wMasterUnit);
    return ls.w.Separate("\t// Gap Length ", "%d, LabelLength %d \r\n", {lGapMm, lLengthMm}, kBuf,
                         "%cEE%02u%04u%c", {ls.w.cStart(), lGapMm, lLengthMm, ls.w.cEnd()});
}

// Label length in hundredths of a millimetre. With correction mode 3 the
// devmode's length is taken as it stands. A length of 0 (or a negative one,
// which no label has) sends nothing.
HRESULT SendLabelLength(const LabelSize& ls)
{
    const LONG lLength10 =
        ls.dm.wCorrection == 3
            ? LONG{ls.dm.dmPaperLength}
            : MasterUnitToMm10(
                  static_cast<LONG>(ls.bTurned ? ls.d.dwLabelWidth : ls.d.dwLabelLength),
                  ls.dm.FixedData.wMasterUnit);
    if (lLength10 <= 0) {
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  SendLabelSize() Etikettenlänge %d \r\n", lLength10);
        return E_INVALIDARG;
    }
    return ls.w.Separate(ls.bScaled ? "\t// Label Length (scaled)" : "\t// Label Length ",
                         "%3.1f mm", {lLength10 / 10.0}, kBuf, "%cFCCL--r%07u-%c",
                         {ls.w.cStart(), std::int64_t{lLength10} * 10, ls.w.cEnd()});
}

// The gap, on the first page. A gap is at most 50 mm; a negative gap counts
// as none; endless material has none. Returns hr when nothing is sent.
HRESULT SendGap(const LabelSize& ls, HRESULT hr)
{
    if (!ls.bFirstPage ||
        (ls.d.dwDocFeatures & (DOC_FEATURE_NO_LABEL_TYPE | DOC_FEATURE_NO_LABEL_TYPE_2)) ||
        ls.bExtendedRecords)
        return hr;
    if (ls.bEndlos)
        return ls.w.Separate("\t// Gap Length  ", "0 mm ", {}, kBuf, "%cFCCM--r00000---%c",
                             {ls.w.cStart(), ls.w.cEnd()});
    const LONG lGap10 = std::clamp(static_cast<LONG>(ls.dm.dwGap), LONG{0}, kMaxGap10);
    return ls.w.Separate("\t// Gap Length  ", "%3.1f mm ", {lGap10 / 10.0}, kBuf,
                         "%cFCCM--r%05u---%c", {ls.w.cStart(), lGap10 * 10, ls.w.cEnd()});
}

// Label width in hundredths of a millimetre: one label of a multi-column
// material (through the dots the printer works in), or the page's width
// times the pages or rows of pages side by side, with their spacing.
std::int64_t LabelWidth10(const LabelSize& ls)
{
    const KX_DEVMODE& dm = ls.dm;
    const WORD mu = dm.FixedData.wMasterUnit;
    if (ls.bMultiCol)
        return dm.wCorrection == 3
                   ? LONG{dm.dmPaperWidth}
                   : MasterUnitToMm10(Mm10ToMasterUnit(dm.dwMultiLabelWidth, mu), mu);
    const DWORD dwDots =
        std::min(ls.bTurned ? ls.d.dwLabelLength : ls.d.dwLabelWidth, kMaxLabelWidthDots);
    std::int64_t llWidth10 = 0;
    if (dm.wCorrection == 3)
        llWidth10 = dm.dmPaperWidth;
    else if (ls.bFitLandscape)
        llWidth10 = dm.dmPaperLength;
    else
        llWidth10 = MasterUnitToMm10(static_cast<LONG>(dwDots), mu);
    const std::int64_t llAbstand = dm.wMehrereSeitenAbstand;
    if (dm.wMehrereSeiten > 0)
        llWidth10 = (dm.wMehrereSeiten + 1) * llWidth10 + llAbstand * dm.wMehrereSeiten;
    if (dm.wMehrereReihen > 0)
        llWidth10 = (dm.wMehrereReihen + 1) * llWidth10 + llAbstand * dm.wMehrereReihen;
    return llWidth10;
}

HRESULT SendLabelWidth(const LabelSize& ls)
{
    const std::int64_t llWidth10 = LabelWidth10(ls);
    if (llWidth10 <= 0) {
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  SendLabelSize() Etikettenbreite %d \r\n", llWidth10);
        return E_INVALIDARG;
    }
    const char* comment = ls.bMultiCol ? "\t// Label Width (Multi label) "
                          : ls.bScaled ? "\t// Label Width (scaled) "
                                       : "\t// Label Width ";
    return ls.w.Separate(comment, "%3.1f mm ", {llWidth10 / 10.0}, kBuf, "%cFCCO--r%07u-%c",
                         {ls.w.cStart(), llWidth10 * 10, ls.w.cEnd()});
}

// The label's alignment on the head: fixed to the centre, or the user's
// choice. Returns hr when nothing is sent.
HRESULT SendAlignment(const LabelSize& ls, HRESULT hr)
{
    const DWORD features = ls.d.dwDocFeatures;
    if (!(features & (DOC_FEATURE_ALIGNMENT | DOC_FEATURE_ALIGN_CENTRE))) return hr;
    static constexpr const char* kAlign[] = {"- left", "- center", "- right"};
    const DWORD dwAlign =
        (features & DOC_FEATURE_ALIGN_CENTRE) ? 1 : std::min<DWORD>(ls.dm.dwAusrichtung, 3);
    if (dwAlign > 2) return hr;
    return ls.w.Separate("\t// Label Alignment ", "%s", {kAlign[dwAlign]}, kBuf,
                         "%cFCCJ--r%u-------%c", {ls.w.cStart(), dwAlign, ls.w.cEnd()});
}

// The columns of a multi-column material (one without it) and their width.
// Returns hr when nothing is sent.
HRESULT SendColumns(const LabelSize& ls, HRESULT hr)
{
    if (!(ls.d.dwDocFeatures & DOC_FEATURE_COLUMNS)) return hr;
    const char cS = ls.w.cStart(), cE = ls.w.cEnd();
    if (!ls.bMultiCol)
        return ls.w.Separate("\t// MultiColumn ", "%u", {1u}, kBuf, "%cFCCHA-r1-------%c",
                             {cS, cE});
    const WORD wColumns = std::min(WORD{ls.dm.sMultiColNumber}, kMaxColumns);
    ls.w.Separate("\t// MultiColumn ", "%u", {wColumns}, kBuf, "%cFCCHA-r%u-------%c",
                  {cS, wColumns, cE});
    const LONG lColWidth10 =
        std::min<LONG>(LONG{ls.dm.dwMultiLabelWidth} + ls.dm.dwMultiGapWidth, kMaxColumnWidth10);
    return ls.w.Separate("\t// MultiColumn ColWidth ", "%.1f mm ", {lColWidth10 / 10.0}, kBuf,
                         "%cFCCHB-r%03u-----%c", {cS, lColWidth10, cE});
}

// A signed offset: its sign character and its magnitude.
struct SignedOffset {
    char cSign;
    std::int64_t llMag;
};
SignedOffset Offset(LONG lOffset)
{
    return {lOffset >= 0 ? '+' : '-',
            lOffset >= 0 ? std::int64_t{lOffset} : -std::int64_t{lOffset}};
}

// The print flags' offsets and speed. Returns hr when nothing is sent.
HRESULT SendOffsetsAndSpeed(const LabelSize& ls, HRESULT hr)
{
    const DWORD dwPrintFlags = ls.ts.dwFeature[1];
    const char cS = ls.w.cStart(), cE = ls.w.cEnd();
    if (dwPrintFlags & PRINTFLAG_OFFSET_Y) {
        const SignedOffset y = Offset(ls.dm.lYOffset);
        hr = ls.w.Separate("\t// Y-Offset ", "%c%3.1f mm %s",
                           {y.cSign, y.llMag / 10.0, ls.bEndlos ? "endless" : ""}, kBuf,
                           "%cFCCD--r%c%03ld----%c", {cS, y.cSign, y.llMag, cE});
    }
    if (dwPrintFlags & PRINTFLAG_OFFSET_X) {
        const SignedOffset x = Offset(ls.dm.lXOffset);
        hr = ls.w.Separate("\t// X-Offset ", "%c%3.1f mm ", {x.cSign, x.llMag / 10.0}, kBuf,
                           "%cFCCE--r%c%03ld----%c", {cS, x.cSign, x.llMag, cE});
    }
    if ((dwPrintFlags & PRINTFLAG_SPEED) && ls.w.Ok()) {
        const DWORD dwSpeed = ChooseSpeed(ls.ctx.DevObj(), ls.ctx.Device(), ls.ts, ls.dm);
        hr = ls.w.Separate("\t// Speed ", "%u", {dwSpeed}, kBuf, "%cFCAA--r%03lu-----%c",
                           {cS, dwSpeed, cE});
    }
    return hr;
}

// The contrast (and the colour contrast of a colour page on a colour
// model).
HRESULT SendContrast(const LabelSize& ls)
{
    const char cS = ls.w.cStart(), cE = ls.w.cEnd();
    const DEVMODEW* pub = ls.ctx.PublicDevmode();
    if (pub && pub->dmColor == DMCOLOR_COLOR && (ls.d.dwDocFeatures & DOC_FEATURE_COLORPRINT)) {
        const DWORD dwColorContrast = ls.dm.wColorContrast;
        ls.w.Separate("\t// Color Contrast ", "%u", {dwColorContrast}, kBuf,
                      "%cFCAB-2r%03lu-----%c", {cS, dwColorContrast, cE});
    }
    const DWORD dwContrast = ls.dm.dwContrast;
    return ls.w.Separate("\t// Contrast ", "%u", {dwContrast}, kBuf, "%cFCAB--r%03lu-----%c",
                         {cS, dwContrast, cE});
}

// The job's copies on its first page, unless a common print start or the
// extended records carry them. Returns hr when nothing is sent.
HRESULT SendFirstCopies(const LabelSize& ls, HRESULT hr)
{
    if (ls.d.bMultiPage || ls.bExtendedRecords) return hr;
    const char* man = (ls.dm.dwFlags & PDMFLAG_KOPIEN_MANUELL) ? " man." : "";
    return ls.w.Separate("\t// Copies ", "%u%s", {ls.d.dwCopies, man}, kBuf, "%cFBBA--r%05u---%c",
                         {ls.w.cStart(), ls.d.dwCopies, ls.w.cEnd()});
}

}  // namespace

HRESULT SendLabelSize(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!ctx.Require(kNeedData | kNeedSettings | kNeedDevmode,
                     u"ERROR UNI(ZE-Ruzo-Vovar):  SendLabelSize() mind. eine Struktur = NULL \r\n",
                     {}, E_INVALIDARG))
        return ctx.Result();
    const DruckDaten& d = *ctx.Data();
    const KX_DEVMODE& dm = *ctx.Devmode();
    const Treiberstrukturen& ts = *ctx.Settings();
    const bool bFitLandscape = FitLandscape(dm, ctx.PublicDevmode());
    RecordWriter w(pdevobj, pUniDrv);
    // Length and width change places when the label is turned against the
    // page.
    const LabelSize ls{
        ctx,
        d,
        ts,
        dm,
        w,
        d.dwPage < 2,
        dm.dwLabelType != 0,
        (dm.dwFlags & PDMFLAG_MULTICOL) != 0,
        dm.wSkalierung != 100,
        bFitLandscape,
        QuarterTurn(dm.dwFlags, d.bLandscape_CC != 0, d.dwWinkel_CC) || bFitLandscape,
        ts.dwFeature[11] != 0};

    // Each step's result replaces the last; a failed write stops the
    // writer, and a size that cannot be sent fails its step only.
    HRESULT hr = S_OK;
    if (ts.prnInterface.dwExtendedProtocol != 1 && !ls.bExtendedRecords) {
        hr = SendOlderLabelRecord(ls, d.dwLabelLength);
    } else {
        hr = SendLabelLength(ls);
        hr = SendGap(ls, hr);
    }
    hr = SendLabelWidth(ls);
    if (ls.bFirstPage) {
        hr = SendAlignment(ls, hr);
        hr = SendColumns(ls, hr);
        hr = SendFirstCopies(ls, hr);
        hr = SendOffsetsAndSpeed(ls, hr);
        if (ts.dwFeature[1] & PRINTFLAG_CONTRAST) {
            // The contrast ends the label's records: a failure there, or
            // one before it, fails the whole label size.
            hr = SendContrast(ls);
            if (FAILED(hr)) {
                Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  StringCchPrintfExA(SendLabelSize) failed  \r\n");
                return E_FAIL;
            }
        }
    }
    Trace(
        u"UNI(ZE-Ruzo-Vovar):  SendLabelSize() Ende - dwLabelLength: %u, dwLabelWidth: %u, "
        u"hResult: 0x%x \r\n",
        d.dwLabelLength, d.dwLabelWidth, hr);
    return hr;
}

HRESULT SendLabelSettings(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                          const KX_DEVMODE* pKX_Devmode)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pKX_Devmode || !ctx.Has(kNeedData | kNeedSettings)) {
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  SendLabelSettings() mind. eine Struktur = NULL \r\n");
        return E_INVALIDARG;
    }
    const DruckDaten& d = *ctx.Data();
    if (d.dwSendEtiParam != 0) return E_INVALIDARG;
    const Treiberstrukturen& ts = *ctx.Settings();
    const KX_DEVMODE& dm = *pKX_Devmode;
    RecordWriter w(pdevobj, pUniDrv);
    // The record is a settings choice, not a page: nothing is scaled or
    // turned, and every setting goes out whatever page the job is on.
    const LabelSize ls{ctx,
                       d,
                       ts,
                       dm,
                       w,
                       true,
                       dm.dwLabelType != 0,
                       (dm.dwFlags & PDMFLAG_MULTICOL) != 0,
                       false,
                       false,
                       false,
                       ts.dwFeature[11] != 0};

    HRESULT hr = S_OK;
    if (ts.prnInterface.dwExtendedProtocol != 1 && !ls.bExtendedRecords) {
        // The record's length in tenths of a millimetre, taken through the
        // dots of its own resolution as the page size reaches the job.
        const LONG lDots = Mm10ToMasterUnit(dm.dmPaperLength, dm.FixedData.wMasterUnit);
        hr = SendOlderLabelRecord(ls, lDots > 0 ? static_cast<DWORD>(lDots) : 0);
    } else {
        hr = SendGap(ls, hr);
    }
    hr = SendAlignment(ls, hr);
    hr = SendColumns(ls, hr);
    hr = SendOffsetsAndSpeed(ls, hr);
    if (ts.dwFeature[1] & PRINTFLAG_CONTRAST) hr = SendContrast(ls);
    Trace(u"UNI(ZE-Ruzo-Vovar):  SendLabelSettings() Ende - hResult: 0x%x \r\n", hr);
    return hr;
}

HRESULT SendMaterial(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const KX_DEVMODE* pKX_Devmode)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pKX_Devmode || !ctx.Has(kNeedData | kNeedSettings)) {
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  SendMaterial() mind. eine Struktur = NULL \r\n");
        return E_INVALIDARG;
    }
    const DruckDaten& d = *ctx.Data();
    if (d.dwSendEtiParam != 0) return E_INVALIDARG;
    const KX_DEVMODE& dm = *pKX_Devmode;

    RecordWriter w(pdevobj, pUniDrv);
    HRESULT hr = S_OK;
    const int bLabelType = dm.dwLabelType >= 1 ? 1 : 0;
    if (!(d.dwDocFeatures & (DOC_FEATURE_NO_LABEL_TYPE | DOC_FEATURE_NO_LABEL_TYPE_2))) {
        hr = w.Separate("\t// LabelType ", bLabelType ? "endless %d" : "single %d", {bLabelType},
                        kBuf, "%cFCDA--r%d-------%c", {w.cStart(), bLabelType, w.cEnd()});
    }
    const DWORD dwMaterial = dm.dwMaterial;
    if ((d.dwDocFeatures & DOC_FEATURE_MATERIAL) && dm.wMaxMaterial > 0) {
        hr = w.Separate("\t// Material ", "%u", {dwMaterial}, kBuf, "%cFCDNC-r%04u----%c",
                        {w.cStart(), dwMaterial, w.cEnd()});
    }
    Trace(u"UNI(ZE-Ruzo-Vovar):  SendMaterial() bLabelType: %d - dwMaterial: %u - dwGap: %d \r\n",
          bLabelType, dwMaterial, static_cast<LONG>(dm.dwGap));
    return hr;
}

HRESULT SendRotateMirror(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                         const KX_DEVMODE* pKX_Devmode)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pKX_Devmode || !ctx.Has(kNeedData)) {
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  SendRotateMirror() mind. eine Struktur = NULL \r\n");
        return E_INVALIDARG;
    }
    const DWORD dwDocFeatures = ctx.Data()->dwDocFeatures;
    const DWORD dwFlags = pKX_Devmode->dwFlags;
    // A multi-column material is never turned or mirrored as a whole.
    const bool bMultiCol = (dwFlags & PDMFLAG_MULTICOL) != 0;

    RecordWriter w(pdevobj, pUniDrv);
    HRESULT hr = S_OK;
    if (dwDocFeatures & DOC_FEATURE_ROTATE) {
        const bool bYes = (dwFlags & PDMFLAG_ROTATED) && !bMultiCol;
        hr = w.Separate("\t// Label Rotated ", "%s", {bYes ? "- yes" : "- no"}, kBuf,
                        "%cFCDN--r%c-------%c", {w.cStart(), bYes ? '1' : '0', w.cEnd()});
    }
    if (dwDocFeatures & DOC_FEATURE_MIRROR) {
        const bool bYes = (dwFlags & PDMFLAG_MIRRORED) && !bMultiCol;
        hr = w.Separate("\t// Label Mirrored ", "%s", {bYes ? "- yes" : "- no"}, kBuf,
                        "%cFCDO--r%c-------%c", {w.cStart(), bYes ? '1' : '0', w.cEnd()});
    }
    if (dwDocFeatures & DOC_FEATURE_ROTATE_STEPS) {
        // The degree sign in the printer's single-byte code page.
        static constexpr const char* kSteps[] = {"0\xB0", "90\xB0", "180\xB0", "270\xB0"};
        const WORD wSteps = pKX_Devmode->wRotate90Steps;
        hr = w.Separate("\t// Label Rotated ", "%s", {kSteps[wSteps <= 3 ? wSteps : 0]}, kBuf,
                        "%cFCDND-r%01u-------%c", {w.cStart(), wSteps, w.cEnd()});
    }
    return hr;
}

void SetSkalierung(DruckDaten* pDruckDaten, const KX_DEVMODE& dm, const DEVMODEW* pPublicDM)
{
    if (!pDruckDaten) return;
    DruckDaten& d = *pDruckDaten;
    d.dSkalierung = 1.0;
    d.dSkalierungH = 1.0;
    d.bSkalierung = FALSE;
    if (dm.wFitToPage == 1) return;

    const WORD wSkalierung = dm.wSkalierung;
    const WORD wProzent = wSkalierung == 0 ? 100 : std::clamp<WORD>(wSkalierung, 50, 200);
    double dSkalierung = wProzent / 100.0;

    // Several pages side by side (or rows of pages) must fit the print head
    // together with their spacing. Pages win over rows when both are set.
    const WORD wAnzahl = dm.wMehrereSeiten > 0 ? dm.wMehrereSeiten : dm.wMehrereReihen;
    if (wAnzahl > 0) {
        const bool bLandscape = IsLandscape(pPublicDM);
        const bool bTurned = (bLandscape && !(dm.dwFlags & PDMFLAG_LANDSCAPE_DISABLE)) ||
                             QuarterTurn(dm.dwFlags, bLandscape, dm.dwWinkel);
        const std::int64_t llPage =
            pPublicDM ? (bTurned ? pPublicDM->dmPaperLength : pPublicDM->dmPaperWidth) : 0;
        const std::int64_t llDivisor = (wAnzahl + 1) * llPage;
        const std::int64_t llAvailable = std::int64_t{dm.FixedData.wPrintHeadWidth} -
                                         std::int64_t{dm.wMehrereSeitenAbstand} * wAnzahl;
        const double dAutoScale =
            llDivisor == 0 ? 1.0
                           : static_cast<double>(llAvailable) / static_cast<double>(llDivisor);
        // A head too narrow for the spacing alone (or a model block without
        // a head width) gives no usable factor: the percentage stands.
        if (dAutoScale > 0.0)
            dSkalierung = std::min(dSkalierung, dAutoScale);
        else
            Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  SetSkalierung() dAutoScale: %f ignoriert \r\n",
                  dAutoScale);
    }
    d.dSkalierung = dSkalierung;
    d.dSkalierungH = dSkalierung;
    d.bSkalierung = !(d.dSkalierung == 1.0 && d.dSkalierungH == 1.0);
    Trace(u"UNI(ZE-Ruzo-Vovar):  SetSkalierung() dSkalierung: %f, bSkalierung: %d \r\n",
          d.dSkalierung, d.bSkalierung);
}

void SetSkalierungSeite(DruckDaten* pDruckDaten, const KX_DEVMODE& dm, const DEVMODEW* pPublicDM)
{
    if (!pDruckDaten) return;
    DruckDaten& d = *pDruckDaten;
    const WORD mu = dm.FixedData.wMasterUnit;
    if (dm.wFitToPage == 1) {
        // A landscape page (not turned back) lies across the label.
        const bool bSwap = IsLandscape(pPublicDM) && !(dm.dwFlags & PDMFLAG_LANDSCAPE_DISABLE);
        const LONG lWidth10 =
            MasterUnitToMm10(static_cast<LONG>(bSwap ? d.dwLabelLength : d.dwLabelWidth), mu);
        const LONG lLength10 =
            MasterUnitToMm10(static_cast<LONG>(bSwap ? d.dwLabelWidth : d.dwLabelLength), mu);
        double dW = 1.0, dH = 1.0;
        if (pPublicDM && pPublicDM->dmPaperWidth != 0 && lWidth10 > 0)
            dW = static_cast<double>(dm.dmPaperWidth) / lWidth10;
        if (pPublicDM && pPublicDM->dmPaperLength != 0 && lLength10 > 0)
            dH = static_cast<double>(dm.dmPaperLength) / lLength10;
        d.dSkalierung = dW;
        d.dSkalierungH = dH;
        d.bSkalierung = !(dW == 1.0 && dH == 1.0);
    }
    if (!d.bSkalierung) return;
    d.dwLabelLengthUnscaled = d.dwLabelLength;
    d.dwLabelWidthUnscaled = d.dwLabelWidth;
    if (dm.wFitToPage == 1) {
        d.dwLabelLength = DotsFromMm10(dm.dmPaperLength, mu);
        d.dwLabelWidth = DotsFromMm10(dm.dmPaperWidth, mu);
    } else {
        d.dwLabelLength = ScaleDots(d.dwLabelLength, d.dSkalierungH);
        d.dwLabelWidth = ScaleDots(d.dwLabelWidth, d.dSkalierung);
    }
    Trace(
        u"UNI(ZE-Ruzo-Vovar):  SetSkalierungSeite() dSkalierung: %f, dSkalierungH: %f, "
        u"dwLabelLength: %u, dwLabelWidth: %u \r\n",
        d.dSkalierung, d.dSkalierungH, d.dwLabelLength, d.dwLabelWidth);
}

}  // namespace kx
