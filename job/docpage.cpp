// Document and page start: the separator page at document start, and the
// per-label commands that precede each page's content (page number, job
// name, codepage, label layout, copies, device parameters, inverse print and
// the prefix lines). A page start also enforces the limit of ten pages on
// one common print start.
//
// Decisions of this module:
// - The count of pages since the last print start is wSeitennummer (the
//   page end and the graphics records read it); wPagesSincePrintStart is
//   kept equal to it.
// - The first page of a label clears the print-started flag, so that the
//   document end can tell whether the label still lacks its print start.
// - The codepage switch is the devmode word wCodepageSenden beside
//   wCodepage.
// - The job name's comment line is cut to 80 characters of the name: the
//   comment writer refuses longer lines, while the record carries the name
//   whole.
// - Each step of the page start writes through its own record writer, so a
//   failed write ends its step only; the page start answers S_OK. Its trace
//   line reports the result of the last record written.
#include <cstring>
#include <string_view>

#include "core/jobcontext.h"
#include "core/printerparam.h"
#include "core/record.h"
#include "core/trace.h"
#include "job/jobsteps.h"
#include "job/jobstream.h"
#include "job/labellayout.h"
#include "job/printstart.h"
#include "options/deviceparam.h"
#include "options/prefixsuffix.h"
#include "raster/bandcapture.h"

namespace kx {

namespace {

// The job-identification setting from which on no page number or job name
// is sent.
constexpr DWORD kJobIdentOff = 2;

// The page-number record: the prefix shrinks as the number grows, so that
// the parameter field stays eight characters wide while it can.
const char* PageNumberFormat(DWORD dwPage)
{
    if (dwPage < 10) return "%cFBEB--r   PAGE%u%c";
    if (dwPage < 100) return "%cFBEB--r  PAGE%u%c";
    if (dwPage < 1000) return "%cFBEB--r PAGE%u%c";
    if (dwPage < 10000) return "%cFBEB--rPAGE%u%c";
    if (dwPage < 100000) return "%cFBEB--r # %u%c";
    if (dwPage < 1000000) return "%cFBEB--r# %u%c";
    return "%cFBEB--r%u%c";
}

// A new page's raster starts empty: no bands, no headers, no buffer left
// over from a page that never reached its end.
void StartPageImage(const JobContext& ctx)
{
    KX_POP* op = ctx.Job();
    if (op->pBildanteile) std::memset(op->pBildanteile, 0, sizeof(Bildanteile));
    Bildverarbeitung* bv = ctx.PageImage();
    if (bv->pBufStart || bv->dwBufSize)
        Trace(u"UNI(CC-Klassen):  StartPage() Altlast vorher löschen \r\n");
    ResetPageImage(ctx.Device());
    bv->dwFarbpixel = 0;
}

bool LogEnabled(const JobContext& ctx)
{
    const Treiberstrukturen* ts = ctx.Settings();
    return ts && (ts->bLogFileEnable == 1 || ts->prnInterface.bLogFileEnable == 1);
}

// The records of the page start, each missing one traced in its own words.
bool PageStartRecordsPresent(JobContext& ctx)
{
    return ctx.Require(
               kNeedDevice | kNeedJob | kNeedDevmode,
               u"ERROR UNI(CC-Klassen):  StartPage() ERROR mind. eine Struktur = NULL \r\n") &&
           ctx.Require(
               kNeedPageImage,
               u"ERROR UNI(CC-Klassen):  StartPage() ERROR pBildverarbeitung = NULL \r\n") &&
           ctx.Require(
               kNeedSettings,
               u"ERROR UNI(CC-Klassen):  StartPage() ERROR pTreiberstrukturen = NULL \r\n") &&
           ctx.Require(kNeedData,
                       u"ERROR UNI(CC-Klassen):  StartPage() ERROR pDruckDaten = NULL \r\n");
}

// What the page start decides once and its steps share.
struct PageStart {
    bool bFirstPage;        // the job's first page
    bool bLabelStart;       // the page opens a label
    bool bJobIdent;         // page number and job name are sent
    bool bExtendedRecords;  // the printer takes the extended records
};

// The page count of a common print start. The eleventh page and later are
// dropped (the page end sends nothing for them): false for such a page.
// Each step below has its own writer, so that a failed write ends only its
// own step; the page start still answers S_OK.
bool CountCommonStartPage(const JobContext& ctx, HRESULT* phr)
{
    DruckDaten& d = *ctx.Data();
    if (!d.bMultiPage) return true;
    if (d.dwPage <= kMaxMultiPages) {
        *phr = RecordWriter(ctx.DevObj(), ctx.UniDrv())
                   .Separate("\t\t\t// Page #", "%u", {d.dwPage}, RecordWriter::kBuffer,
                             "%cFBG---r%u%c", {ctx.StartChar(), d.dwPage, ctx.EndChar()});
        return true;
    }
    RecordWriter(ctx.DevObj(), ctx.UniDrv()).Comment("\t// Pages > 10 cancelled ");
    d.dwPage = kMaxMultiPages;
    JobLog(ctx.Device(),
           "\r\n [START_PAGE] Attention - Cancelled because of max. pages 10 reached - "
           "deactivate option 'common printstart'");
    ++d.wSeitennummer;
    ++d.wPagesSincePrintStart;
    d.bPageCancelled = TRUE;
    Trace(u"UNI(CC-Klassen):  StartPage() bMultiCancel - max. 10 Seiten \r\n");
    return false;
}

// Page number, job name and codepage: the records that identify the page.
void SendPageIdentity(const JobContext& ctx, const PageStart& ps, HRESULT* phr)
{
    const DruckDaten& d = *ctx.Data();
    const KX_DEVMODE& dm = *ctx.Devmode();
    const DEVMODEW* pub = ctx.PublicDevmode();
    const char cS = ctx.StartChar(), cE = ctx.EndChar();
    if (ps.bJobIdent && ps.bLabelStart) {
        // A collated job re-sends its print file per copy: the page number
        // goes to the spooler only.
        const BOOL bNoFile = pub && pub->dmCollate == 1;
        *phr = RecordWriter(ctx.DevObj(), ctx.UniDrv())
                   .Separate("\t\t// Job ID ", "%u", {d.dwPage}, RecordWriter::kBuffer,
                             PageNumberFormat(d.dwPage), {cS, d.dwPage, cE}, bNoFile);
    }

    if (ps.bFirstPage && ps.bJobIdent &&
        (ctx.Settings()->dwFeature[0] & FEATURE_INTERFACE_JOBNAME) && d.szJobName[0] != 0 &&
        d.dwSendEtiParam == 0) {
        // The comment line holds at most 100 characters: a long name is cut
        // there (the record carries it whole).
        const std::string_view name(d.szJobName, Length(d.szJobName, sizeof(d.szJobName)));
        *phr = RecordWriter(ctx.DevObj(), ctx.UniDrv())
                   .Separate("\t// Job name ", "%.80s ", {name}, sizeof(d.szJobName) + 16,
                             "%cFBE---r%s%c", {cS, name, cE});
    }

    if (ps.bFirstPage && dm.wCodepageSenden == 1 && d.dwSendEtiParam == 0) {
        const DWORD dwCodepage = dm.wCodepage;
        *phr = RecordWriter(ctx.DevObj(), ctx.UniDrv())
                   .Separate("\t// Codepage ", "%u", {dwCodepage}, RecordWriter::kBuffer,
                             dwCodepage < 10 ? "%cFCCN--r%01lu-------%c" : "%cFCCN--r%02lu------%c",
                             {cS, dwCodepage, cE});
    }
}

// The label's own records (material, size, rotation), or only the copies
// when the printer keeps the label parameters itself.
void SendLabelRecords(const JobContext& ctx, const PageStart& ps, HRESULT* phr)
{
    PDEVOBJ pdevobj = ctx.DevObj();
    IPrintOemDriverUni* pUniDrv = ctx.UniDrv();
    const DruckDaten& d = *ctx.Data();
    KX_DEVMODE* pKX = ctx.Devmode();
    if (d.dwSendEtiParam == 0) {
        *phr = SendMaterial(pdevobj, pUniDrv, pKX);
        if (ps.bLabelStart) *phr = SendLabelSize(pdevobj, pUniDrv);
        if (ps.bFirstPage) *phr = SendRotateMirror(pdevobj, pUniDrv, pKX);
    } else if (ps.bFirstPage && !d.bMultiPage && !ps.bExtendedRecords) {
        const char* man = (pKX->dwFlags & PDMFLAG_KOPIEN_MANUELL) ? " man." : "";
        *phr = RecordWriter(pdevobj, pUniDrv)
                   .Separate("\t// Copies ", "%u%s", {d.dwCopies, man}, RecordWriter::kBuffer,
                             "%cFBBA--r%05u---%c", {ctx.StartChar(), d.dwCopies, ctx.EndChar()});
    }
}

// The first label of the job sets up the printer: peripherals, device
// settings and inverse print.
void SendJobSetup(const JobContext& ctx, HRESULT* phr)
{
    PDEVOBJ pdevobj = ctx.DevObj();
    IPrintOemDriverUni* pUniDrv = ctx.UniDrv();
    const DruckDaten& d = *ctx.Data();
    KX_DEVMODE* pKX = ctx.Devmode();
    if (d.dwSendGerParam == 0) SendDevmodePrinterParam(pdevobj, pUniDrv, pKX);
    if (d.dwSendEtiParam != 0) return;
    SendDeviceSettingsParam(pdevobj, pUniDrv, pKX);
    RecordWriter inv(pdevobj, pUniDrv);
    if (pKX->dwFlags & PDMFLAG_INVERS)
        *phr =
            inv.Separate("\t// Inverse print ", "%cFCDH--r1-------%c", {inv.cStart(), inv.cEnd()});
    else
        *phr = inv.Separate("\t// Normal print (non-inverse)", "%cFCDH--r0-------%c",
                            {inv.cStart(), inv.cEnd()});
}

// The label's commands, which need a devmode that carries its marker: a
// devmode without one would set the printer up from defaults.
void SendLabelSetup(const JobContext& ctx, const PageStart& ps, HRESULT* phr)
{
    if (!HasValidMarker(*ctx.Devmode())) {
        Trace(
            u"ERROR UNI(CC-Klassen):  StartPage() Devmode ohne gültige Kennung - keine "
            u"Etikettenparameter \r\n");
        return;
    }
    SendLabelRecords(ctx, ps, phr);
    if (ps.bLabelStart && ps.bFirstPage) SendJobSetup(ctx, phr);
    if (ps.bLabelStart && ctx.Interface()->dwPrefixSuffix > 0)
        *phr = ReadPrefixSuffix(ctx.DevObj(), ctx.UniDrv(), PS_POST_DOCUMENT);
}

}  // namespace

HRESULT StartDoc(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!ctx.Require(
            kNeedDevmode | kNeedDevice,
            u"ERROR UNI(CC-Klassen):  StartDoc() ERROR pKX_Devmode oder pOemPDev = NULL \r\n"))
        return E_FAIL;
    if (!ctx.Has(kNeedJob)) {
        Trace(
            u"UNI(CC-Klassen):  StartDoc() ACHTUNG: pOemPDev->pOp fehlt, rufe StartJob() auf \r\n");
        StartJob(pdevobj, pUniDrv);
        if (!ctx.Require(kNeedJob,
                         u"ERROR UNI(CC-Klassen):  StartDoc() ERROR pOemPDev->pOp ist noch "
                         u"immer NULL \r\n"))
            return E_FAIL;
    }
    if (LogEnabled(ctx)) JobLog(ctx.Device(), "\r\n [START_DOC]");
    if (!ctx.Require(kNeedData | kNeedPageImage | kNeedSettings,
                     u"ERROR UNI(CC-Klassen):  StartDoc() ERROR mind. eine Struktur = NULL \r\n")) {
        JobLog(ctx.Device(), "\r\n [START_DOC] ERROR mind. eine Struktur = NULL");
        return E_FAIL;
    }
    // Separator-page settings 3 and 4: the separator page opens the document.
    if (ctx.Interface()->dwTrennseite > 2) {
        RecordWriter(pdevobj, pUniDrv).Comment("\r\n\t// START_DOC ");
        SendTrennseite(pdevobj, pUniDrv);
    }
    return S_OK;
}

HRESULT StartPage(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!PageStartRecordsPresent(ctx)) return E_FAIL;
    DruckDaten& d = *ctx.Data();
    const KX_DEVMODE& dm = *ctx.Devmode();

    StartPageImage(ctx);
    ++d.dwPage;
    d.lCursorY = 0;
    d.lCursorX = d.nCursorOriginX;
    d.bPageCancelled = FALSE;

    HRESULT hr = RecordWriter(pdevobj, pUniDrv).Comment("\r\n\t// START_PAGE ");
    if (LogEnabled(ctx)) JobLog(ctx.Device(), "\r\n [START_PAGE]");
    if (!CountCommonStartPage(ctx, &hr)) return S_OK;

    // The pages since the last print start. The first page of a label
    // starts the label without a print start of its own yet.
    ++d.wSeitennummer;
    ++d.wPagesSincePrintStart;
    if (d.wSeitennummer == 1) d.bPrintStarted = FALSE;
    const bool bExtendedRecords = ctx.Settings()->dwFeature[11] != 0;
    const PageStart ps{d.dwPage < 2, dm.wMehrereSeiten == 0 || d.wSeitennummer == 1,
                       ctx.Interface()->dwJobIdent < kJobIdentOff && !bExtendedRecords,
                       bExtendedRecords};

    SendPageIdentity(ctx, ps, &hr);
    if (d.bMultiPage && d.dwSendEtiParam == 0) SendPrinterParam(pdevobj, pUniDrv, nullptr);
    if (dm.wMehrereSeiten == 0) d.wSpaltenZaehler = 0;
    SetSkalierungSeite(&d, dm, ctx.PublicDevmode());
    SendLabelSetup(ctx, ps, &hr);

    RecordWriter end(pdevobj, pUniDrv);
    if (!end.CommentsOn()) end.LineEnd();
    ctx.PageImage()->bHeadersFilled = FALSE;
    Trace(
        u"UNI(CC-Klassen):  StartPage() Ende - hResult: 0x%x, pOemPDev->iHAllocZaehler: %d, "
        u"pOemPDev->iNewZaehler: %d  \r\n",
        hr, ctx.Device()->iHAllocZaehler, ctx.Device()->iNewZaehler);
    return S_OK;
}

}  // namespace kx
