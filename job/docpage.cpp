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
//   failed write ends its step only; the page start answers S_OK.
#include <cstring>
#include <string_view>

#include "core/trace.h"
#include "job/jobsteps.h"
#include "job/jobstream.h"
#include "job/labellayout.h"
#include "job/printstart.h"
#include "core/record.h"
#include "options/deviceparam.h"
#include "options/prefixsuffix.h"
#include "raster/bandcapture.h"
#include "core/printerparam.h"

namespace kx {

namespace {

// Pages on one common print start.
constexpr DWORD kMaxMultiPages = 10;
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
void StartPageImage(OEM_PDEV* pdev)
{
    KX_POP* op = pdev->pOp;
    if (op->pBildanteile) std::memset(op->pBildanteile, 0, sizeof(Bildanteile));
    const Bildverarbeitung* bv = op->pBildverarbeitung;
    if (bv->pBufStart || bv->dwBufSize)
        Trace(u"UNI(CC-Klassen):  StartPage() Altlast vorher löschen \r\n");
    ResetPageImage(pdev);
    op->pBildverarbeitung->dwFarbpixel = 0;
}

bool LogEnabled(const KX_POP* op)
{
    const Treiberstrukturen* ts = op ? op->pTreiberstrukturen : nullptr;
    return ts && (ts->bLogFileEnable == 1 || ts->prnInterface.bLogFileEnable == 1);
}

}  // namespace

HRESULT StartDoc(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    OEM_PDEV* pdev = GetOemPDev(pdevobj);
    if (!GetKxDevmode(pdevobj) || !pdev) {
        Trace(u"ERROR UNI(CC-Klassen):  StartDoc() ERROR pKX_Devmode oder pOemPDev = NULL \r\n");
        return E_FAIL;
    }
    if (!pdev->pOp) {
        Trace(
            u"UNI(CC-Klassen):  StartDoc() ACHTUNG: pOemPDev->pOp fehlt, rufe StartJob() auf \r\n");
        StartJob(pdevobj, pUniDrv);
        if (!pdev->pOp) {
            Trace(
                u"ERROR UNI(CC-Klassen):  StartDoc() ERROR pOemPDev->pOp ist noch immer NULL \r\n");
            return E_FAIL;
        }
    }
    KX_POP* op = pdev->pOp;
    if (LogEnabled(op)) JobLog(pdev, "\r\n [START_DOC]");
    if (!op->pDruckDaten || !op->pBildverarbeitung || !op->pTreiberstrukturen) {
        Trace(u"ERROR UNI(CC-Klassen):  StartDoc() ERROR mind. eine Struktur = NULL \r\n");
        JobLog(pdev, "\r\n [START_DOC] ERROR mind. eine Struktur = NULL");
        return E_FAIL;
    }
    // Separator-page settings 3 and 4: the separator page opens the document.
    if (op->pTreiberstrukturen->prnInterface.dwTrennseite > 2) {
        RecordWriter(pdevobj, pUniDrv).Comment("\r\n\t// START_DOC ");
        SendTrennseite(pdevobj, pUniDrv);
    }
    return S_OK;
}

HRESULT StartPage(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    OEM_PDEV* pdev = GetOemPDev(pdevobj);
    KX_POP* op = pdev ? pdev->pOp : nullptr;
    KX_DEVMODE* pKX = GetKxDevmode(pdevobj);
    if (!pdevobj || !pdev || !op || !pKX) {
        Trace(u"ERROR UNI(CC-Klassen):  StartPage() ERROR mind. eine Struktur = NULL \r\n");
        return E_FAIL;
    }
    if (!op->pBildverarbeitung) {
        Trace(u"ERROR UNI(CC-Klassen):  StartPage() ERROR pBildverarbeitung = NULL \r\n");
        return E_FAIL;
    }
    if (!op->pTreiberstrukturen) {
        Trace(u"ERROR UNI(CC-Klassen):  StartPage() ERROR pTreiberstrukturen = NULL \r\n");
        return E_FAIL;
    }
    if (!op->pDruckDaten) {
        Trace(u"ERROR UNI(CC-Klassen):  StartPage() ERROR pDruckDaten = NULL \r\n");
        return E_FAIL;
    }
    DruckDaten& d = *op->pDruckDaten;
    const Treiberstrukturen& ts = *op->pTreiberstrukturen;
    const PRN_INTERFACE& pi = ts.prnInterface;
    const KX_DEVMODE& dm = *pKX;
    const DEVMODEW* pub = pdevobj->pPublicDM;
    const DWORD dwFlags = dm.dwFlags;
    const bool bLog = LogEnabled(op);
    const bool bExtendedRecords = ts.dwFeature[11] != 0;

    StartPageImage(pdev);

    ++d.dwPage;
    d.lCursorY = 0;
    d.lCursorX = d.nCursorOriginX;
    d.bPageCancelled = FALSE;

    RecordWriter w(pdevobj, pUniDrv);
    const char cS = w.cStart(), cE = w.cEnd();
    // Each step below has its own writer, so that a failed write ends only
    // its own step; the page start still answers S_OK.
    HRESULT hr = w.Comment("\r\n\t// START_PAGE ");
    if (bLog) JobLog(pdev, "\r\n [START_PAGE]");

    if (d.bMultiPage) {
        if (d.dwPage <= kMaxMultiPages) {
            hr = RecordWriter(pdevobj, pUniDrv)
                     .Separate("\t\t\t// Page #", "%u", {d.dwPage}, RecordWriter::kBuffer,
                               "%cFBG---r%u%c", {cS, d.dwPage, cE});
        } else {
            // The eleventh page and later are dropped: the page end sends
            // nothing for them.
            w.Comment("\t// Pages > 10 cancelled ");
            d.dwPage = kMaxMultiPages;
            JobLog(pdev,
                   "\r\n [START_PAGE] Attention - Cancelled because of max. pages 10 reached - "
                   "deactivate option 'common printstart'");
            ++d.wSeitennummer;
            ++d.wPagesSincePrintStart;
            d.bPageCancelled = TRUE;
            Trace(u"UNI(CC-Klassen):  StartPage() bMultiCancel - max. 10 Seiten \r\n");
            return S_OK;
        }
    }

    // The pages since the last print start. The first page of a label
    // starts the label without a print start of its own yet.
    ++d.wSeitennummer;
    ++d.wPagesSincePrintStart;
    if (d.wSeitennummer == 1) d.bPrintStarted = FALSE;
    const bool bFirstPage = d.dwPage < 2;
    const bool bLabelStart = dm.wMehrereSeiten == 0 || d.wSeitennummer == 1;
    const bool bJobIdent = pi.dwJobIdent < kJobIdentOff && !bExtendedRecords;

    if (bJobIdent && bLabelStart) {
        // A collated job re-sends its print file per copy: the page number
        // goes to the spooler only.
        const BOOL bNoFile = pub && pub->dmCollate == 1;
        hr = RecordWriter(pdevobj, pUniDrv)
                 .Separate("\t\t// Job ID ", "%u", {d.dwPage}, RecordWriter::kBuffer,
                           PageNumberFormat(d.dwPage), {cS, d.dwPage, cE}, bNoFile);
    }

    if (bFirstPage && bJobIdent && (ts.dwFeature[0] & FEATURE_INTERFACE_JOBNAME) &&
        d.szJobName[0] != 0 && d.dwSendEtiParam == 0) {
        // The comment line holds at most 100 characters: a long name is cut
        // there (the record carries it whole).
        const std::string_view name(d.szJobName, Length(d.szJobName, sizeof(d.szJobName)));
        hr = RecordWriter(pdevobj, pUniDrv)
                 .Separate("\t// Job name ", "%.80s ", {name}, sizeof(d.szJobName) + 16,
                           "%cFBE---r%s%c", {cS, name, cE});
    }

    if (bFirstPage && dm.wCodepageSenden == 1 && d.dwSendEtiParam == 0) {
        const DWORD dwCodepage = dm.wCodepage;
        hr = RecordWriter(pdevobj, pUniDrv)
                 .Separate("\t// Codepage ", "%u", {dwCodepage}, RecordWriter::kBuffer,
                           dwCodepage < 10 ? "%cFCCN--r%01lu-------%c" : "%cFCCN--r%02lu------%c",
                           {cS, dwCodepage, cE});
    }

    if (d.bMultiPage && d.dwSendEtiParam == 0) SendPrinterParam(pdevobj, pUniDrv, nullptr);

    if (dm.wMehrereSeiten == 0) d.wSpaltenZaehler = 0;

    SetSkalierungSeite(&d, dm, pub);

    if (!HasValidMarker(dm)) {
        Trace(
            u"ERROR UNI(CC-Klassen):  StartPage() Devmode ohne gültige Kennung - keine "
            u"Etikettenparameter \r\n");
    } else {
        if (d.dwSendEtiParam == 0) {
            hr = SendMaterial(pdevobj, pUniDrv, pKX);
            if (bLabelStart) hr = SendLabelSize(pdevobj, pUniDrv);
            if (bFirstPage) hr = SendRotateMirror(pdevobj, pUniDrv, pKX);
        } else if (bFirstPage && !d.bMultiPage && !bExtendedRecords) {
            const char* man = (dwFlags & PDMFLAG_KOPIEN_MANUELL) ? " man." : "";
            hr = RecordWriter(pdevobj, pUniDrv)
                     .Separate("\t// Copies ", "%u%s", {d.dwCopies, man}, RecordWriter::kBuffer,
                               "%cFBBA--r%05u---%c", {cS, d.dwCopies, cE});
        }

        if (bLabelStart && bFirstPage) {
            if (d.dwSendGerParam == 0) SendDevmodePrinterParam(pdevobj, pUniDrv, pKX);
            if (d.dwSendEtiParam == 0) {
                SendDeviceSettingsParam(pdevobj, pUniDrv, pKX);
                RecordWriter inv(pdevobj, pUniDrv);
                if (dwFlags & PDMFLAG_INVERS)
                    hr = inv.Separate("\t// Inverse print ", "%cFCDH--r1-------%c", {cS, cE});
                else
                    hr = inv.Separate("\t// Normal print (non-inverse)", "%cFCDH--r0-------%c",
                                      {cS, cE});
            }
        }

        if (bLabelStart && pi.dwPrefixSuffix > 0)
            hr = ReadPrefixSuffix(pdevobj, pUniDrv, PS_POST_DOCUMENT);
    }

    RecordWriter end(pdevobj, pUniDrv);
    if (!end.CommentsOn()) end.LineEnd();
    op->pBildverarbeitung->bHeadersFilled = FALSE;
    Trace(
        u"UNI(CC-Klassen):  StartPage() Ende - hResult: 0x%x, pOemPDev->iHAllocZaehler: %d, "
        u"pOemPDev->iNewZaehler: %d  \r\n",
        hr, pdev->iHAllocZaehler, pdev->iNewZaehler);
    return S_OK;
}

}  // namespace kx
