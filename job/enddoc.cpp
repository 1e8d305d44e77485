// The document end (CMDID_END_DOC): end cut, form feed, the print order and
// print start of a label of several pages, the single cut, the prefix and
// suffix, and collation by re-sending the print file.
//
// Decisions of this module:
//   - A label still lacks its print start while pages were counted since the
//     last print start (wSeitennummer above 0).
//   - A single cut is due before the last re-sent copy for the cut modes
//     that cut by themselves: 4 with an interval of 0, and 1, 2, 3, 6 and 7
//     (0 is no cut, 5 is excluded, 8 leaves the printer's own setting).
//   - The pages of an unfinished label that a broken job leaves out of
//     "DAPageNr" are the pages counted since the last print start.
#include <string>

#include "core/jobcontext.h"
#include "core/printeroptions.h"
#include "core/record.h"
#include "core/regvalues.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "job/jobsteps.h"
#include "job/jobstream.h"
#include "job/printstart.h"
#include "objects/passthrough.h"
#include "options/prefixsuffix.h"
#include "platform/platform.h"

namespace kx {

namespace {

constexpr DWORD kMultiColWaitMs = 1500;
constexpr DWORD kDialogCutter = 0x8;  // dwDialogeEnable: the cutter was set up

bool CutterFitted(const DruckDaten* d)
{
    return (d->dwAusstattung & P_OPTIONS_CUTTER) != 0;
}

bool SingleCutDue(const KX_DEVMODE* pKX)
{
    switch (pKX->cutter_dwMode) {
        case 4:
            return pKX->cutter_dwInterval == 0;
        case 1:
        case 2:
        case 3:
        case 6:
        case 7:
            return true;
        default:
            return false;
    }
}

// A job ended on the host's behalf (the device state goes while the job is
// open): its counters and print file are kept for the next job start, which
// continues it. The pages of an unfinished label are left out of the count.
HRESULT KeepBrokenJob(const JobContext& ctx)
{
    DruckDaten* d = ctx.Data();
    TreiberPfadDatei* f = ctx.Files();
    OEM_PDEV* p = ctx.Device();
    DWORD page = d->dwPage;
    if (d->wSeitennummer > 0 && (d->bMultiPage || ctx.Devmode()->wMehrereSeiten > 0))
        page = page > d->wSeitennummer ? page - d->wSeitennummer : 0;
    WriteJobDword(f, reg::kDAPageNr, page);
    WriteJobDword(f, reg::kDAFieldNr, d->dwFields);
    if (f->szRegKey[0]) {
        // Both buffers hold KX_MAX_PATH characters: the name always fits.
        WCHAR name[KX_MAX_PATH] = {};
        // The buffers have the same size, so the name always fits; were it
        // cut, the next job would append to some other file.
        HRESULT hr =
            Copy(name, KX_MAX_PATH,
                 std::u16string_view(f->wcPrnFileName, Length(f->wcPrnFileName, KX_MAX_PATH)));
        std::uint32_t err =
            FAILED(hr) ? static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER)
                       : plat::RegSetValue(plat::Hive::CurrentUser, f->szRegKey,
                                           reg::kDAPrnFileName, plat::kRegSz, name, sizeof(name));
        if (err != 0)
            Trace(u"ERROR UNI(CC-Klassen):  EndDoc() HCU %s DAPrnFileName ERROR %d \r\n",
                  f->szRegKey, err);
    }
    if (IsValidHandle(f->hPrnFile)) plat::CloseHandle(f->hPrnFile);
    f->hPrnFile = INVALID_HANDLE_VALUE;
    if (ctx.Settings()->bLogFileEnable) {
        JobLog(p, "END_DOC");
        JobLog(p, "\r\n [END_DOC] - Error");
        if (CLogFile* log = GetJobLogFile(p))
            log->WritePublicDevMode(u"END_DOC", ctx.PublicDevmode());
        JobLogF(p, "Pages: %d", d->dwPage);
        CloseJobLog(p);
    }
    if (ctx.Interface()->dwDebugFile >= 2) trace::Close();
    Trace(
        u"UNI(CC-Klassen):  EndDoc() Seitennummern ... gesichert. Mache mit EndJob() weiter. \r\n");
    return S_OK;
}

// The further copies of a collated job, made by sending the print file
// again once the last document of the job has ended (its page count
// reaches the job's total).
void ResendCopies(const JobContext& ctx)
{
    DruckDaten* d = ctx.Data();
    TreiberPfadDatei* f = ctx.Files();
    const KX_DEVMODE* pKX = ctx.Devmode();
    DWORD gesPages = 0;
    bool known = ReadJobDword(f, reg::kDAGesPages, &gesPages);
    if (!known || d->dwPage != gesPages) {
        WriteJobDword(f, reg::kDAGesPages, f->dwTotalPages);
        return;
    }
    if (IsValidHandle(f->hPrnFile)) plat::CloseHandle(f->hPrnFile);
    f->hPrnFile = INVALID_HANDLE_VALUE;
    if (pKX->dwFlags & PDMFLAG_JOBDRUCK) return;

    const std::u16string file =
        std::u16string(f->wcPrnFileName, Length(f->wcPrnFileName, KX_MAX_PATH)) + u".prn";
    const int copies = ctx.PublicDevmode()->dmCopies;
    for (int i = 1; i < copies; ++i) {
        if (i == copies - 1 && CutterFitted(d) && pKX->cutter_dwMode != 5 && SingleCutDue(pKX)) {
            // The last copy ends with a single cut, in the file only.
            if (OpenPrnFile(0, ctx.Device(), TRUE)) {
                std::string cut = FormatString("%cFCDD--r1-------%c", {d->cStart, d->cEnd});
                cut += ctx.CommentsOn() ? "\r\n\t// last file manual single cut \r\n" : "\r\n";
                SendData(ctx.DevObj(), ctx.UniDrv(), cut.data(), static_cast<DWORD>(cut.size()),
                         FALSE, TRUE);
                plat::CloseHandle(f->hPrnFile);
                f->hPrnFile = INVALID_HANDLE_VALUE;
            }
        }
        if (!SendPrnFileToPrinter(ctx.Device(), file.c_str(), f->wcPrinterName))
            Trace(u"ERROR UNI(CC-Klassen):  EndDoc() SendPrnFileToPrinter %d ERROR \r\n", i);
    }
}

}  // namespace

HRESULT EndDoc(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!ctx.Require(kNeedDevice | kNeedDevmode | kNeedJob | kNeedData | kNeedSettings | kNeedFiles,
                     u"ERROR UNI(CC-Klassen):  EndDoc() ERROR mind. eine Struktur = NULL \r\n")) {
        JobLog(ctx.Device(), "\r\n [END_DOC] ERROR mind. eine Struktur = NULL");
        return E_FAIL;
    }
    DruckDaten* d = ctx.Data();
    KX_DEVMODE* pKX = ctx.Devmode();
    const PRN_INTERFACE& pi = *ctx.Interface();
    const DEVMODEW* pub = ctx.PublicDevmode();
    const bool collate = pub && pub->dmCollate == 1;
    if (d->bPrintCancelled) {
        Trace(u"UNI(CC-Klassen):  EndDoc() Achtung, Druckvorgang wurde abgebrochen \r\n");
        return S_OK;
    }
    if (ctx.Settings()->bDisablePDEV) return KeepBrokenJob(ctx);

    JobLog(ctx.Device(), "\r\n [END_DOC]");
    // The application's settings as the document ends.
    if (CLogFile* log = GetJobLogFile(ctx.Device()))
        log->WritePublicDevMode(u"END_DOC", ctx.PublicDevmode());
    RecordWriter w(pdevobj, pUniDrv);
    w.Comment("\t// END_DOC ");
    DocDaten* doc = ctx.Doc();
    const DWORD noFBC = doc ? doc->dwNo_FBC : 0;

    bool endCutDone = false;
    if (d->bEndCut && noFBC == 0 && !collate) {
        w.Separate("\t// Endcut ", "%cFCDD--r1-------%c", {w.cStart(), w.cEnd()});
        endCutDone = true;
    }
    if (doc && (doc->bFormFeed || doc->bEndFormFeed) && noFBC == 0) {
        w.Separate("\t// Form feed ", "%cFE----r--------%c", {w.cStart(), w.cEnd()});
        doc->bFormFeed = 0;
        doc->bEndFormFeed = 0;
    }

    if (d->bMultiPage) {
        if (d->dwPage > kMaxMultiPages) d->dwPage = kMaxMultiPages;
        std::string order;
        if ((collate && !(pKX->dwFlags & PDMFLAG_JOBDRUCK)) || d->bManuellesMultipage)
            order = FormatString("1-%d", {d->dwPage});
        else
            order =
                plat::WideToMultiByte(plat::kCpAcp, GetDevmodeText(pKX, KX_DM_TEXT(szPrintOrder)));
        if (order.empty())
            w.Separate("\t\t\t// Pages to print ", "%cFBH---r1-%u%c",
                       {w.cStart(), d->dwPage, w.cEnd()});
        else
            w.Separate("\t\t\t// Print job - print order ", "%cFBH---r%s%c",
                       {w.cStart(), order, w.cEnd()});
        if (w.Ok()) SendStartPrint(pdevobj, pUniDrv);
    } else if (d->dwFields == 0 && !d->bBildinhaltVorhanden && pi.bLeereSeiten == 1) {
        JobLog(ctx.Device(),
               "[END_DOC]\t kein Bild- oder Textinhalt vorhanden, blende diese Seite aus ...");
    } else if (pKX->wMehrereSeiten > 0 && d->wSeitennummer > 0) {
        SendStartPrint(pdevobj, pUniDrv);
        d->wSeitennummer = 0;
        d->wPagesSincePrintStart = 0;
    }

    if (!d->bMultiPage && CutterFitted(d) && !endCutDone) {
        const bool modeCuts =
            (pKX->cutter_dwMode == 4 && pKX->cutter_wControlMode == 0) || pKX->cutter_dwMode == 6;
        if ((modeCuts || (ctx.Settings()->dwDialogeEnable & kDialogCutter)) && noFBC == 0 &&
            !collate) {
            if (pKX->dwFlags & PDMFLAG_MULTICOL) Warte(kMultiColWaitMs);
            w.Separate("\t// Cutter Singlecut ", "%cFCDD--r%1u-------%c",
                       {w.cStart(), 1u, w.cEnd()});
        }
    }

    if (pi.dwPrefixSuffix > 0) ReadPrefixSuffix(pdevobj, pUniDrv, PS_POST_PRINTSTART);

    if (CollatedByResend(pdevobj)) ResendCopies(ctx);
    return S_OK;
}

}  // namespace kx
