// The page end (CMDID_END_PAGE): the page's raster graphic, pass-through
// data, pending text, the page's fields, job name and copies, the field
// count, and the print start or the per-page copies.
//
// Decisions of this module:
//   - The page's colour table goes into the Bitmap for every page of up to
//     8 bits (the 1-bit and 8-bit pages of band capture carry their colours
//     only there). Pages below 8 bits are classified to 8 bits before
//     scaling or a debug image, since scaling works on 8 bits and more.
//   - A page dropped by the ten-page limit still has its buffers and objects
//     freed, but is not counted and sends nothing.
//   - A cancelled job sends nothing more for the page; its print-start
//     bookkeeping (page count, fields) is reset as a printed page's would be.
//   - An empty page on a label with a common print start is skipped before
//     its per-page copies ("FBBE") are written: the printer is not told
//     about a page that it will not get.
//   - On the line path the page has raster content when the graphics filter
//     sent lines since the last page end.
//   - A rotated page without a rotated graphic keeps its angle for the
//     colour plane as well.
//   - The page end, its graphics records and its own records share one
//     sticky error: a graphic that could not be sent ends the page's further
//     records (job name, copies, field count, per-page copies) and becomes
//     the page end's result. The page's text, objects and print start are
//     separate writers and still run, and the page state is reset as for
//     any other page.
#include <string>

#include <memory>
#include <new>

#include "core/jobcontext.h"
#include "core/printerparam.h"
#include "core/record.h"
#include "core/trace.h"
#include "core/units.h"
#include "job/autoimport.h"
#include "job/jobsteps.h"
#include "job/jobstream.h"
#include "job/printstart.h"
#include "objects/barcodefont.h"
#include "objects/cmdinterp.h"
#include "objects/objectlist.h"
#include "objects/passthrough.h"
#include "objects/varfields.h"
#include "options/prefixsuffix.h"
#include "raster/bandcapture.h"
#include "raster/bitmap.h"
#include "raster/jpeg.h"
#include "raster/pageimage.h"
#include "raster/pcx.h"
#include "settings/models.h"

namespace kx {

namespace {

constexpr DWORD kFeatureContLabel = 0x40;  // FEATURE_INTERFACE: endless material takes empty fields
constexpr DWORD kFeatureBmJobName = 0x200;

bool IsRecallJob(const JobContext& ctx)
{
    return ctx.Data()->bRecallDirekt || (ctx.Doc() && ctx.Doc()->bDirectOutput);
}

// "<base><suffix>.bmp", with "-<page>" before ".bmp" on a label of several
// pages.
std::u16string DebugImageName(const JobContext& ctx, const char16_t* suffix, bool perPage)
{
    const TreiberPfadDatei* f = ctx.Files();
    std::u16string name(f->wcPrnFileName, Length(f->wcPrnFileName, KX_MAX_PATH));
    name += suffix;
    if (perPage) name += FormatString(u"-%d", {ctx.Data()->dwPage});
    return name + u".bmp";
}

// The records the page end works on: without them nothing is sent.
bool PageEndRecordsPresent(JobContext& ctx)
{
    if (!ctx.Require(
            kNeedDevmode | kNeedDevice | kNeedJob,
            u"ERROR UNI(CC-Klassen):  EndPage() pKX_Devmode, pOemPDev oder pOp = NULL \r\n"))
        return false;
    if (!ctx.Require(kNeedPageHeap, nullptr)) {
        JobLog(ctx.Device(), "\r\n [END_PAGE] ERROR Bildspeicher: hBufferHeap = 0");
        return false;
    }
    if (!ctx.Require(kNeedData | kNeedSettings | kNeedFiles | kNeedDoc,
                     u"ERROR UNI(CC-Klassen):  EndPage() ERROR mind. eine Struktur = NULL \r\n")) {
        JobLog(ctx.Device(), "\r\n [END_PAGE] ERROR mind. eine Struktur = NULL");
        return false;
    }
    return true;
}

// The page buffer goes, and the page image record is ready for the next
// page.
void ReleasePage(const JobContext& ctx)
{
    vFreeBuffer(ctx.Device());
    if (Bildverarbeitung* bv = ctx.PageImage()) {
        bv->bHeadersFilled = 0;
        bv->bPaletteValid = 0;
        bv->dwBufOffset = 0;
        bv->bmFileHeader = BITMAPFILEHEADER{};
        bv->bmInfoHeader = BITMAPINFOHEADER{};
    }
    Trace(u"UNI(CC-Klassen):  EndPage() Buffer aufräumen ... pOemPDev->iHAllocZaehler: %d  \r\n",
          ctx.Device()->iHAllocZaehler);
}

void DeleteObjects(const JobContext& ctx)
{
    DruckDaten* d = ctx.Data();
    if (d->pObjectList) DeletePrnObject(ctx.Device());
    d->pObjectList = nullptr;
}

// A page beyond the ten pages of a common print start: its buffers and
// objects go, nothing is sent.
HRESULT DropCancelledPage(const JobContext& ctx)
{
    Trace(
        u"UNI(CC-Klassen):  EndPage() bMultiCancel - nichts weiter ausgeben - max. 10 Seiten \r\n");
    ReleasePage(ctx);
    DeleteObjects(ctx);
    return S_OK;
}

// The page end's comment line, a warning about a broken devmode, and the
// rotation record of a rotated document.
void OpenPageEnd(const JobContext& ctx, RecordWriter& w)
{
    w.Comment("\t// END_PAGE ", (TimeOfDay() + " \r\n").c_str());
    if (!HasValidMarker(*ctx.Devmode()))
        JobLog(ctx.Device(),
               "\r\n [END_PAGE] Achtung, Probleme mit Devmode-Struktur. Bitte ein Treiber-Reset "
               "druchführen.");
    if (ctx.Doc()->dwRotate == 1)
        w.Joined("\t// !rotate \r\n \r\n", "%cFCDN--r1-------%c", {w.cStart(), w.cEnd()});
}

// Whether the captured page goes through the raster pipeline: a page was
// captured, fits the model's maximum size in either orientation, and is not
// replaced by an external file or a memory-card recall. Out-of-range
// settings are corrected on the way, so that the pipeline sees valid modes.
bool PageTakesRaster(const JobContext& ctx)
{
    const OEM_PDEV* p = ctx.Device();
    KX_DEVMODE* pKX = ctx.Devmode();
    PRN_INTERFACE& pi = *ctx.Interface();
    const Bildverarbeitung* bv = ctx.PageImage();
    if (!bv) {
        JobLog(p, "\r\n [END_PAGE] ERROR pBildverarbeitung = NULL");
        return false;
    }
    const BITMAPINFOHEADER& page = bv->bmInfoHeader;
    if (page.biWidth == 0 || page.biHeight == 0) {
        Trace(
            u"ERROR UNI(CC-Klassen):  EndPage() ERROR biHeight: %d oder biWidth: %d, "
            u"ImageProcessing() wurde nicht aufgerufen \r\n",
            page.biHeight, page.biWidth);
        JobLog(p,
               "\r\n [END_PAGE] ERROR bmInfoHeader.biHeight oder bmInfoHeader.biWidth = 0, kein "
               "Bildinhalt");
        return false;
    }
    if (pi.dwExternalFile > 2) pi.dwExternalFile = 0;
    if (pKX->wDruckmodus > 2) pKX->wDruckmodus = 1;
    if (pKX->wGrafikFilter > 6) pKX->wGrafikFilter = 2;
    const LONG maxX = static_cast<LONG>(pKX->FixedData.lMaxSizeX);
    const LONG maxY = static_cast<LONG>(pKX->FixedData.lMaxSizeY);
    const LONG w = page.biWidth, h = page.biHeight;
    if (!((w <= maxX && h <= maxY) || (w <= maxY && h <= maxX))) {
        JobLog(p,
               "\r\n [END_PAGE] ERROR - Label size too big - no picture content in print out ...");
        return false;
    }
    return page.biBitCount != 0 && pi.dwExternalFile < 2 && !IsRecallJob(ctx);
}

bool DebugFiles(const JobContext& ctx)
{
    return ctx.Interface()->dwPrnFileComment == 3 && ctx.Files()->wcPrnFileName[0];
}

// The page as a bitmap of its own, with its colours, scaled to the label and
// with the debug copies that the settings ask for. The band buffer is given
// back as soon as the bitmap holds the page, before the conversions need
// their memory (mostly the bitmap has taken it over already).
void PreparePageBitmap(const JobContext& ctx, Bitmap& bmp, BOOL* pbColourFound)
{
    OEM_PDEV* p = ctx.Device();
    const DruckDaten* d = ctx.Data();
    const PRN_INTERFACE& pi = *ctx.Interface();
    const Bildverarbeitung* bv = ctx.PageImage();
    if (bmp.Bpp <= 8 && bv->prgbq) bmp.SetPalette(bv->prgbq);
    vFreeBuffer(p);
    if ((pi.dwDebugImage > 0 || d->bSkalierung) && bmp.Bpp < 8)
        bmp.ConvertToXBit(8, nullptr, FALSE, ctx.DevObj(), pbColourFound);
    if (DebugFiles(ctx)) bmp.Save(DebugImageName(ctx, u"-OriginalImage", d->bMultiPage != 0));

    if (d->bSkalierung) {
        bmp.ResizeBilinear(p, static_cast<int>(bmp.Width * d->dSkalierung),
                           static_cast<int>(bmp.Height * d->dSkalierungH), FALSE, FALSE);
    }
    const TreiberPfadDatei* f = ctx.Files();
    if (pi.dwDebugImage > 0 && f->wcPrnFileName[0]) {
        int pw = pi.wPreviewWidth ? pi.wPreviewWidth : bmp.Width;
        int ph = pi.wPreviewHeight ? pi.wPreviewHeight : bmp.Height;
        SavePreview(p, bmp, pw, ph, pi.wPreviewRatio ? TRUE : FALSE,
                    std::u16string_view(f->wcPrnFileName, Length(f->wcPrnFileName, KX_MAX_PATH)),
                    pi.dwDebugImage == 2 && ctx.Devmode()->wDruckmodus != 0);
    }
}

// The colour part of a colour page on a colour ribbon goes into a second
// bitmap; a grey page printed by thresholds is classified to 8 bits here.
std::unique_ptr<Bitmap> SplitColourPlane(const JobContext& ctx, Bitmap& bmp, BOOL* pbColourFound)
{
    const KX_DEVMODE* pKX = ctx.Devmode();
    const bool colourPrint = (ctx.Data()->dwDocFeatures & DOC_FEATURE_COLORPRINT) != 0;
    const bool ribbon = pKX->wFarbband >= 1 && pKX->wFarbband <= 6;
    std::unique_ptr<Bitmap> colour;
    if (colourPrint && bmp.Bpp == 24 && ribbon) {
        colour.reset(new (std::nothrow) Bitmap(ctx.Device(), bmp.Width, bmp.Height, 8));
        if (colour && colour->DataSize == 0) colour.reset();
        // The ribbon-colour classes read back as the ribbon colours through
        // this table, which the one-bit conversion of the plane matches.
        const Bildverarbeitung* bv = ctx.PageImage();
        if (colour && bv && bv->prgbqColour) colour->SetPalette(bv->prgbqColour);
        bmp.ConvertToXBit(8, colour.get(), FALSE, ctx.DevObj(), pbColourFound);
    } else if (pKX->wDruckmodus == 1 && pKX->wGrafikFilter <= 1) {
        Trace(
            u"UNI(CC-Klassen):  EndPage() vor ConvertToXBit - kein DuoPrint, Schwellenwerte  \r\n");
        // A page that is not turned goes to one bit right away.
        if (ctx.Data()->dwWinkel_CC == 0)
            bmp.ClassifyToOneBit(ctx.DevObj(), pbColourFound);
        else
            bmp.ConvertToXBit(8, nullptr, FALSE, ctx.DevObj(), pbColourFound);
    }
    return colour;
}

// Dithering or the exact reduction to one bit; false for a page without a
// black dot.
bool ReduceToOneBit(const JobContext& ctx, Bitmap& bmp, BOOL* pbColourFound)
{
    const KX_DEVMODE* pKX = ctx.Devmode();
    const WORD mode = pKX->wDruckmodus;
    const bool dithering = (mode == 1 && pKX->wGrafikFilter >= 2) || mode == 2;
    if (dithering && bmp.Bpp > 1 && !bmp.DitherToOneBit(ctx.DevObj(), pbColourFound)) {
        Trace(u"UNI(CC-Klassen):  EndPage() kein Bildinhalt vorhanden \r\n");
        JobLog(ctx.Device(), "[END_PAGE]\t kein Bildinhalt vorhanden ...");
        return false;
    }
    if (bmp.Bpp > 1) bmp.ConvertToXBit(1, nullptr, FALSE, ctx.DevObj(), pbColourFound);
    if (mode == 0 && (pKX->wFarbband == 0 || pKX->wFarbband == 7)) return bmp.CheckInhalt();
    return true;
}

MonoImage MonoOf(const Bitmap& bmp)
{
    return {bmp.DataSize ? bmp.Data : nullptr,
            bmp.Width,
            bmp.Height,
            bmp.ScanLineSize,
            bmp.Palette,
            bmp.Colors,
            bmp.Bpp};
}

// The black plane: PCX graphics records on the compressed path, D records
// otherwise, then a line ending in the print file.
void SendBlackPlane(JobContext& ctx, RecordWriter& w, const Bitmap& bmp)
{
    DruckDaten* d = ctx.Data();
    if (DebugFiles(ctx)) bmp.Save(DebugImageName(ctx, u"-Black1Bit", d->bMultiPage != 0));
    if (d->bCompress == 1)
        SendPCX(ctx, MonoOf(bmp), FALSE);
    else
        SendDSatz(ctx, MonoOf(bmp), FALSE);
    w.LineEnd();
    d->bBildinhaltVorhanden = 1;
}

// The colour plane of a colour page, or a hint in the print file that the
// page had no colour for the colour ribbon.
void SendColourPlane(JobContext& ctx, RecordWriter& w, Bitmap& colour, BOOL bColourFound)
{
    DruckDaten* d = ctx.Data();
    if (!bColourFound) {
        w.Comment("\t \t// No color found. Please check your settings.");
        return;
    }
    colour.ConvertToXBit(1, nullptr, TRUE, ctx.DevObj(), &bColourFound);
    if (d->dwWinkel_CC > 0) colour.Rotate(ctx.Device(), static_cast<float>(d->dwWinkel_CC));
    if (DebugFiles(ctx)) colour.Save(DebugImageName(ctx, u"-Colour1Bit", false));
    SendPCX(ctx, MonoOf(colour), TRUE);
    w.LineEnd();
    d->bBildinhaltVorhanden = 1;
}

// The page's raster through the image path: bitmap, colour split,
// rotation, one bit, and the graphics records of each plane.
void SendRaster(JobContext& ctx, RecordWriter& w)
{
    if (!PageTakesRaster(ctx)) return;
    const BITMAPINFOHEADER& page = ctx.PageImage()->bmInfoHeader;
    Bitmap bmp(ctx.Device(), page.biWidth, page.biHeight, page.biBitCount,
               ctx.PageImage()->pBufStart, BM_TAKE_PAGE);
    if (bmp.DataSize == 0) {
        Trace(u"ERROR UNI(CC-Klassen):  EndPage() Bitmap ERROR - DataSize = 0 \r\n");
        return;
    }
    BOOL bColourFound = TRUE;
    PreparePageBitmap(ctx, bmp, &bColourFound);
    std::unique_ptr<Bitmap> colour = SplitColourPlane(ctx, bmp, &bColourFound);
    const DWORD angle = ctx.Data()->dwWinkel_CC;
    if (angle > 0) bmp.Rotate(ctx.Device(), static_cast<float>(angle));
    if (ReduceToOneBit(ctx, bmp, &bColourFound)) SendBlackPlane(ctx, w, bmp);
    if (colour) SendColourPlane(ctx, w, *colour, bColourFound);
}

// The page's graphic: through the image path, or already sent line by line
// by the graphics filter, where lines since the last page end are the
// page's raster content. The page buffer goes either way.
void SendPageGraphic(JobContext& ctx, RecordWriter& w)
{
    DruckDaten* d = ctx.Data();
    d->bBildinhaltVorhanden = 0;
    if (d->dwDocFeatures & DOC_FEATURE_QUALITY) {
        SendRaster(ctx, w);
    } else {
        Trace(
            u"UNI(CC-Klassen):  EndPage() Achtung: ohne Bildverarbeitung, dwNumPages: %d, "
            u"pOemPDev: 0x%x  \r\n",
            d->dwNumPages, static_cast<const void*>(ctx.Device()));
        if (d->dwLine != d->dwLineAtPageEnd) d->bBildinhaltVorhanden = 1;
    }
    d->dwLineAtPageEnd = d->dwLine;
    ReleasePage(ctx);
}

// The external file's content, framed by comment lines.
void SendPassThrough(const JobContext& ctx, RecordWriter& w)
{
    const PRN_INTERFACE& pi = *ctx.Interface();
    if (!pi.dwExternalFile) return;
    const std::string name =
        FormatString("%s", {std::u16string_view(pi.wcExternalFilePath,
                                                Length(pi.wcExternalFilePath, PRN_PATH_CHARS))});
    w.Comment("\r\n\t// external Data Start: \r\n", name.c_str());
    if (!SendFileContentToPrinter(ctx.DevObj(), ctx.Device(), ctx.UniDrv()))
        Trace(u"ERROR UNI(CC-Klassen):  EndPage() SendFileContentToPrinter ERROR \r\n");
    w.Comment("\t// external Data End\r\n");
}

// The line path's raster ends with ESC "C".
void EndLinePath(const JobContext& ctx, RecordWriter& w)
{
    const DruckDaten* d = ctx.Data();
    if (d->bCompress != 1 || (d->dwDocFeatures & DOC_FEATURE_QUALITY)) return;
    static constexpr char kLineEnd[2] = {0x1B, 0x43};
    w.Bare("%s", {std::string_view(kLineEnd, 2)});
}

// The pending text collections finish themselves only when they hold text;
// then the page's field objects.
void SendCollectedText(const JobContext& ctx)
{
    OEM_PDEV* p = ctx.Device();
    KX_DEVMODE* pKX = ctx.Devmode();
    CheckBarcodeBuffer(p, pKX);
    CheckBuffer_VectorBitmap(p, pKX, 0);
    CheckBuffer_VectorBitmap(p, pKX, 1);
    if (!ctx.Data()->pObjectList) return;
    HRESULT hr = SendObjectList(p, ctx.DevObj(), ctx.UniDrv());
    if (FAILED(hr)) Trace(u"ERROR UNI(CC-Klassen):  EndPage() SendObjectList ERROR 0x%x \r\n", hr);
}

// Printers with the extended records take the job name and copies at every
// page end; the others only a copy count that changed during the job.
void SendJobNameAndCopies(const JobContext& ctx, RecordWriter& w)
{
    DruckDaten* d = ctx.Data();
    const Treiberstrukturen* t = ctx.Settings();
    if (t->dwFeature[11] != 0) {
        if (t->prnInterface.dwJobIdent < 2 && (t->dwFeature[0] & kFeatureBmJobName) &&
            d->szJobName[0] && d->dwSendEtiParam == 0)
            w.Separate("\t// Job name ", "%s ", {d->szJobName}, RecordWriter::kBuffer,
                       "%cFBE---r%8.8s%c", {w.cStart(), d->szJobName, w.cEnd()});
        w.Separate("\t// Copies ", "%d", {d->dwCopies}, RecordWriter::kBuffer, "%cFBBA--r%05u---%c",
                   {w.cStart(), d->dwCopies, w.cEnd()});
    } else if (d->dwNumCopiesMod > 0) {
        const char* man = (ctx.Devmode()->dwFlags & PDMFLAG_KOPIEN_MANUELL) ? " man." : "";
        w.Separate("\t// mod. Copies ", "%d%s", {d->dwNumCopiesMod, man}, RecordWriter::kBuffer,
                   "%cFBBA--r%05u---%c", {w.cStart(), d->dwNumCopiesMod, w.cEnd()});
        d->dwNumCopiesMod = 0;
    }
}

// Endless material on a printer that needs it: empty field pairs until the
// page holds two fields, so that the printer feeds the label's length.
void SendEndlessFields(const JobContext& ctx, RecordWriter& w)
{
    DruckDaten* d = ctx.Data();
    if (ctx.Devmode()->dwLabelType != 1 || !(ctx.Settings()->dwFeature[0] & kFeatureContLabel))
        return;
    const LONG mm =
        MasterUnitToMm(static_cast<LONG>(d->dwLabelLength), ctx.Devmode()->FixedData.wMasterUnit);
    do {
        ++d->dwFields;
        w.Separate("\t// ", "Fields %d, LabelLength %d", {d->dwFields, mm}, RecordWriter::kBuffer,
                   "%cA%02u%03u-000-00000000000%c%cB%02u%c",
                   {w.cStart(), d->dwFields, mm, w.cEnd(), w.cStart(), d->dwFields, w.cEnd()});
    } while (w.Ok() && d->dwFields < 2);
}

// The page's field count; a recall job prints fields stored in the printer
// and sends none. In split print-file mode the extended protocol also sends
// the colour part's count as print data.
void SendFieldCount(const JobContext& ctx, RecordWriter& w)
{
    if (IsRecallJob(ctx)) return;
    const DruckDaten* d = ctx.Data();
    if (ctx.Interface()->dwExtendedProtocol != 1) {
        w.Separate("\t// Objects(Fields) ", "%cFBA---r%02u------%c",
                   {w.cStart(), d->dwFields, w.cEnd()});
        return;
    }
    w.Separate("\t\t\t\t// Objects(Fields) ", "%cFBAA--r%u%c", {w.cStart(), d->dwFields, w.cEnd()});
    if (ctx.Devmode()->wSplitPrnFile != 1 || !w.Ok()) return;
    const std::string colour =
        FormatString("%cFBAA--r%u%c", {w.cStart(), d->dwFieldsColour, w.cEnd()});
    HRESULT hr = SendData(ctx.DevObj(), ctx.UniDrv(), colour.data(),
                          static_cast<DWORD>(colour.size()), TRUE);
    if (FAILED(hr)) Trace(u"ERROR UNI(CC-Klassen):  EndPage() FBAA Farbteil ERROR 0x%x \r\n", hr);
}

// Everything of the page after its graphic: pass-through data, the line
// path's end, the prefix/suffix data section, text and objects, job name
// and copies (only when all went well so far), command-font text and the
// field count.
void SendPageContent(const JobContext& ctx, RecordWriter& w)
{
    w.Comment("\r\n\t// END_BITMAP ", TimeOfDay().c_str());
    SendPassThrough(ctx, w);
    EndLinePath(ctx, w);
    if (ctx.Interface()->dwPrefixSuffix > 0)
        ReadPrefixSuffix(ctx.DevObj(), ctx.UniDrv(), PS_POST_DATA);
    else
        Trace(u"UNI(CC-Klassen):  EndPage() kein dwPrePostFix \r\n");
    SendCollectedText(ctx);
    if (w.Ok()) SendJobNameAndCopies(ctx, w);
    SendEndlessFields(ctx, w);
    // Sends nothing when no command-font text was collected.
    SendCommands(ctx.DevObj(), ctx.UniDrv(), &AutoImport);
    SendFieldCount(ctx, w);
}

bool PageIsEmpty(const JobContext& ctx, DWORD dwFieldsBefore)
{
    const DruckDaten* d = ctx.Data();
    return d->dwFields == dwFieldsBefore && !d->bBildinhaltVorhanden &&
           ctx.Interface()->bLeereSeiten == 1;
}

// A label of its own print start: it waits for its further pages, is
// suppressed when empty, or gets the user's pre-print-start lines and the
// print start. Then the label's counters start again.
void EndLabel(const JobContext& ctx)
{
    DruckDaten* d = ctx.Data();
    const WORD n = ctx.Devmode()->wMehrereSeiten;
    if (n > 0 && d->wSeitennummer < n + 1) {
        Trace(u"UNI(CC-Klassen):  EndPage() Seite %d von %d auf dem Etikett \r\n", d->wSeitennummer,
              n + 1);
        return;
    }
    if (PageIsEmpty(ctx, 0)) {
        Trace(u"UNI(CC-Klassen):  EndPage() kein Inhalt auf dieser Seite vorhanden \r\n");
        JobLog(ctx.Device(),
               "[END_PAGE]\t kein Bild- oder Textinhalt vorhanden, blende diese Seite aus ...");
        d->bPrintStarted = 1;
    } else if (!d->bPrintCancelled) {
        // The user's own commands just before the print start (the
        // prefix/suffix file's PRE_PRINTSTART section).
        if (ctx.Interface()->dwPrefixSuffix > 0)
            ReadPrefixSuffix(ctx.DevObj(), ctx.UniDrv(), PS_PRE_PRINTSTART);
        HRESULT hr = SendStartPrint(ctx.DevObj(), ctx.UniDrv());
        if (FAILED(hr))
            Trace(u"ERROR UNI(CC-Klassen):  EndPage() SendStartPrint ERROR 0x%x \r\n", hr);
    }
    d->wSeitennummer = 0;
    d->wPagesSincePrintStart = 0;
    d->dwFields = 0;
    // Row copies number their fields from 1 again after each print start.
    d->dwReihenKopien = 0;
    d->dwReihenFeldNr = 0;
}

// A page under a common print start: an empty page is skipped (the printer
// is not told about it), any other page gets its own copy count.
void EndPageOfCommonStart(const JobContext& ctx, RecordWriter& w)
{
    DruckDaten* d = ctx.Data();
    Trace(u"UNI(CC-Klassen):  EndPage() Mehrseitenverwaltung: kein SendStartPrint() \r\n");
    if (PageIsEmpty(ctx, d->dwFieldsMS)) {
        JobLog(ctx.Device(),
               "[END_PAGE]\t kein Bild- oder Textinhalt vorhanden, überspringe diese Seite ...");
        if (d->wSeitennummer) --d->wSeitennummer;
        if (d->wPagesSincePrintStart) --d->wPagesSincePrintStart;
        return;
    }
    DWORD copies = 1;
    if (!d->bManuellesMultipage && d->dwPage >= 1 && d->dwPage <= 10)
        copies = ctx.Devmode()->wKopieProSeite[d->dwPage - 1];
    w.Separate("\t// Copies for this page: ", "%d", {copies}, RecordWriter::kBuffer,
               "%cFBBE--r%05u---%c", {w.cStart(), copies, w.cEnd()});
}

// The print start of the label, or the page's copies under a common print
// start (a job print, a manual or an automatic multi-page job).
void FinishPage(const JobContext& ctx, RecordWriter& w)
{
    const DruckDaten* d = ctx.Data();
    const bool bCommonStart =
        (ctx.Devmode()->dwFlags & PDMFLAG_JOBDRUCK) || d->bManuellesMultipage || d->bMultiPage;
    if (!bCommonStart)
        EndLabel(ctx);
    else if (!d->bPrintCancelled)
        EndPageOfCommonStart(ctx, w);
}

// The page is done: its fields count for the next empty-page test, its
// objects go, and a scaled label size returns to the job's own.
void ResetPageState(const JobContext& ctx)
{
    DruckDaten* d = ctx.Data();
    d->dwFieldsMS = d->dwFields;
    DeleteObjects(ctx);
    ++d->dwNumPages;
    if (d->bSkalierung) {
        d->dwLabelLength = d->dwLabelLengthUnscaled;
        d->dwLabelWidth = d->dwLabelWidthUnscaled;
    }
}

}  // namespace

HRESULT EndPage(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!PageEndRecordsPresent(ctx)) return ctx.Result();
    if (ctx.Data()->bPageCancelled) return DropCancelledPage(ctx);

    RecordWriter w(ctx);
    OpenPageEnd(ctx, w);
    SendPageGraphic(ctx, w);
    if (ctx.Data()->bPrintCancelled)
        Trace(u"UNI(CC-Klassen):  EndPage() Achtung, der Druckvorgang wurde abgebrochen \r\n");
    else
        SendPageContent(ctx, w);
    FinishPage(ctx, w);
    ResetPageState(ctx);
    return ctx.Result();
}

}  // namespace kx
