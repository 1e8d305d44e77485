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
#include <string>

#include "core/trace.h"
#include "job/jobsteps.h"
#include "job/jobstream.h"
#include "job/printstart.h"
#include "core/record.h"
#include "core/units.h"
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
#include "settings/models.h"
#include "core/printerparam.h"

namespace kx {

namespace {

constexpr DWORD kFeatureContLabel = 0x40;  // FEATURE_INTERFACE: endless material takes empty fields
constexpr DWORD kFeatureBmJobName = 0x200;

bool IsRecallJob(const JobParts& j)
{
    return j.data->bRecallDirekt || (j.doc && j.doc->bDirectOutput);
}

// "<base><suffix>.bmp", with "-<page>" before ".bmp" on a label of several
// pages.
std::u16string DebugImageName(const JobParts& j, const char16_t* suffix, bool perPage)
{
    std::u16string name(j.files->wcPrnFileName, Length(j.files->wcPrnFileName, KX_MAX_PATH));
    name += suffix;
    if (perPage) name += FormatString(u"-%d", {j.data->dwPage});
    return name + u".bmp";
}

// Step 5: the page's raster through the image path. Sets
// bBildinhaltVorhanden when a graphic was sent.
void SendRaster(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, JobParts& j)
{
    OEM_PDEV* p = j.pOemPDev;
    KX_DEVMODE* pKX = j.pKX;
    DruckDaten* d = j.data;
    PRN_INTERFACE& pi = j.settings->prnInterface;
    Bildverarbeitung* bv = j.op->pBildverarbeitung;
    if (!bv) {
        JobLog(p, "\r\n [END_PAGE] ERROR pBildverarbeitung = NULL");
        return;
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
        return;
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
        return;
    }
    if (page.biBitCount == 0 || pi.dwExternalFile >= 2 || IsRecallJob(j)) return;

    const WORD mode = pKX->wDruckmodus;
    const WORD filter = pKX->wGrafikFilter;
    const bool colourPrint = (d->dwDocFeatures & DOC_FEATURE_COLORPRINT) != 0;
    const bool multiPage = d->bMultiPage != 0;
    const bool debugFiles = pi.dwPrnFileComment == 3 && j.files->wcPrnFileName[0];

    Bitmap bmp(p, w, h, page.biBitCount, bv->pBufStart, BM_FLIP);
    if (bmp.DataSize == 0) {
        Trace(u"ERROR UNI(CC-Klassen):  EndPage() Bitmap ERROR - DataSize = 0 \r\n");
        return;
    }
    if (bmp.Bpp <= 8 && bv->prgbq) bmp.SetPalette(bv->prgbq);
    // The bitmap holds its own copy of the page now: give the band buffer
    // back before the conversions need their memory.
    vFreeBuffer(p);
    BOOL bColourFound = TRUE;
    if ((pi.dwDebugImage > 0 || d->bSkalierung) && bmp.Bpp < 8)
        bmp.ConvertToXBit(8, nullptr, FALSE, pdevobj, &bColourFound);
    if (debugFiles) bmp.Save(DebugImageName(j, u"-OriginalImage", multiPage));

    if (d->bSkalierung) {
        bmp.ResizeBilinear(p, static_cast<int>(bmp.Width * d->dSkalierung),
                           static_cast<int>(bmp.Height * d->dSkalierungH), FALSE, FALSE);
    }
    if (pi.dwDebugImage > 0 && j.files->wcPrnFileName[0]) {
        int pw = pi.wPreviewWidth ? pi.wPreviewWidth : bmp.Width;
        int ph = pi.wPreviewHeight ? pi.wPreviewHeight : bmp.Height;
        SavePreview(p, bmp, pw, ph, pi.wPreviewRatio ? TRUE : FALSE,
                    std::u16string_view(j.files->wcPrnFileName,
                                        Length(j.files->wcPrnFileName, KX_MAX_PATH)),
                    pi.dwDebugImage == 2 && mode != 0);
    }

    // The ribbon colour of a colour page goes into a second bitmap.
    Bitmap* colour = nullptr;
    const bool ribbon = pKX->wFarbband >= 1 && pKX->wFarbband <= 6;
    if (colourPrint && bmp.Bpp == 24 && ribbon) {
        colour = new (std::nothrow) Bitmap(p, bmp.Width, bmp.Height, 8);
        if (colour && colour->DataSize == 0) {
            delete colour;
            colour = nullptr;
        }
        // The ribbon-colour classes read back as the ribbon colours through
        // this table, which the one-bit conversion of the plane matches.
        if (colour && bv->prgbqColour) colour->SetPalette(bv->prgbqColour);
        bmp.ConvertToXBit(8, colour, FALSE, pdevobj, &bColourFound);
    } else if (mode == 1 && filter <= 1) {
        Trace(
            u"UNI(CC-Klassen):  EndPage() vor ConvertToXBit - kein DuoPrint, Schwellenwerte  \r\n");
        bmp.ConvertToXBit(8, nullptr, FALSE, pdevobj, &bColourFound);
    }
    if (d->dwWinkel_CC > 0) bmp.Rotate(p, static_cast<float>(d->dwWinkel_CC));

    bool content = true;
    const bool dithering = (mode == 1 && filter >= 2) || mode == 2;
    if (dithering && bmp.Bpp > 1 && !bmp.Dithering(pdevobj)) {
        Trace(u"UNI(CC-Klassen):  EndPage() kein Bildinhalt vorhanden \r\n");
        JobLog(p, "[END_PAGE]\t kein Bildinhalt vorhanden ...");
        content = false;
    }
    if (content) {
        if (bmp.Bpp > 1) bmp.ConvertToXBit(1, nullptr, FALSE, pdevobj, &bColourFound);
        if (mode == 0 && (pKX->wFarbband == 0 || pKX->wFarbband == 7)) content = bmp.CheckInhalt();
    }
    if (content) {
        if (debugFiles) bmp.Save(DebugImageName(j, u"-Black1Bit", multiPage));
        if (d->bCompress == 1)
            bmp.SendPCX(pdevobj, pUniDrv, FALSE);
        else
            bmp.SendDSatz(pdevobj, pUniDrv, FALSE);
        SendeKommentar(pdevobj, pUniDrv, "");
        d->bBildinhaltVorhanden = 1;
    }

    if (colour) {
        BOOL found = bColourFound;
        if (found) {
            colour->ConvertToXBit(1, nullptr, TRUE, pdevobj, &found);
            if (d->dwWinkel_CC > 0) colour->Rotate(p, static_cast<float>(d->dwWinkel_CC));
            if (debugFiles) colour->Save(DebugImageName(j, u"-Colour1Bit", false));
            colour->SendPCX(pdevobj, pUniDrv, TRUE);
            SendeKommentar(pdevobj, pUniDrv, "");
            d->bBildinhaltVorhanden = 1;
        } else if (JobCommentsOn(p)) {
            SendeKommentar(pdevobj, pUniDrv, "\t \t// No color found. Please check your settings.");
        }
        delete colour;
    }
}

// Step 6: the page buffer goes, and the page image record is ready for the
// next page.
void ReleasePage(JobParts& j)
{
    vFreeBuffer(j.pOemPDev);
    if (Bildverarbeitung* bv = j.op->pBildverarbeitung) {
        bv->bHeadersFilled = 0;
        bv->bPaletteValid = 0;
        bv->dwBufOffset = 0;
        bv->bmFileHeader = BITMAPFILEHEADER{};
        bv->bmInfoHeader = BITMAPINFOHEADER{};
    }
    Trace(u"UNI(CC-Klassen):  EndPage() Buffer aufräumen ... pOemPDev->iHAllocZaehler: %d  \r\n",
          j.pOemPDev->iHAllocZaehler);
}

// Step 14: the empty field pair of endless material.
void EndlessFields(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, JobParts& j, RecordWriter& w)
{
    DruckDaten* d = j.data;
    const LONG mm =
        MasterUnitToMm(static_cast<LONG>(d->dwLabelLength), j.pKX->FixedData.wMasterUnit);
    do {
        ++d->dwFields;
        w.Separate("\t// ", "Fields %d, LabelLength %d", {d->dwFields, mm}, RecordWriter::kBuffer,
                   "%cA%02u%03u-000-00000000000%c%cB%02u%c",
                   {w.cStart(), d->dwFields, mm, w.cEnd(), w.cStart(), d->dwFields, w.cEnd()});
    } while (w.Ok() && d->dwFields < 2);
    (void)pdevobj;
    (void)pUniDrv;
}

}  // namespace

HRESULT EndPage(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    JobParts j(pdevobj);
    if (!j.pKX || !j.pOemPDev || !j.op) {
        Trace(u"ERROR UNI(CC-Klassen):  EndPage() pKX_Devmode, pOemPDev oder pOp = NULL \r\n");
        return E_FAIL;
    }
    if (!j.op->hBufferHeap) {
        JobLog(j.pOemPDev, "\r\n [END_PAGE] ERROR Bildspeicher: hBufferHeap = 0");
        return E_FAIL;
    }
    if (!j.data || !j.settings || !j.files || !j.doc) {
        Trace(u"ERROR UNI(CC-Klassen):  EndPage() ERROR mind. eine Struktur = NULL \r\n");
        JobLog(j.pOemPDev, "\r\n [END_PAGE] ERROR mind. eine Struktur = NULL");
        return E_FAIL;
    }
    OEM_PDEV* p = j.pOemPDev;
    KX_DEVMODE* pKX = j.pKX;
    DruckDaten* d = j.data;
    Treiberstrukturen* t = j.settings;
    PRN_INTERFACE& pi = t->prnInterface;

    if (d->bPageCancelled) {
        Trace(
            u"UNI(CC-Klassen):  EndPage() bMultiCancel - nichts weiter ausgeben - max. 10 Seiten "
            u"\r\n");
        ReleasePage(j);
        if (d->pObjectList) DeletePrnObject(p);
        d->pObjectList = nullptr;
        return S_OK;
    }

    RecordWriter w(pdevobj, pUniDrv);
    w.Comment("\t// END_PAGE ", (TimeOfDay() + " \r\n").c_str());
    if (!HasValidMarker(*pKX))
        JobLog(p,
               "\r\n [END_PAGE] Achtung, Probleme mit Devmode-Struktur. Bitte ein Treiber-Reset "
               "druchführen.");
    if (j.doc->dwRotation == 1)
        w.Joined("\t// !rotate \r\n \r\n", "%cFCDN--r1-------%c", {w.cStart(), w.cEnd()});

    d->bBildinhaltVorhanden = 0;
    if (d->dwDocFeatures & DOC_FEATURE_QUALITY) {
        SendRaster(pdevobj, pUniDrv, j);
    } else {
        Trace(
            u"UNI(CC-Klassen):  EndPage() Achtung: ohne Bildverarbeitung, dwNumPages: %d, "
            u"pOemPDev: 0x%x  \r\n",
            d->dwNumPages, static_cast<const void*>(p));
        if (d->dwLine != d->dwLineAtPageEnd) d->bBildinhaltVorhanden = 1;
    }
    d->dwLineAtPageEnd = d->dwLine;
    ReleasePage(j);

    const bool bJobDruck = (pKX->dwFlags & PDMFLAG_JOBDRUCK) != 0;
    const bool bCommonStart = bJobDruck || d->bManuellesMultipage || d->bMultiPage;

    if (d->bPrintCancelled) {
        Trace(u"UNI(CC-Klassen):  EndPage() Achtung, der Druckvorgang wurde abgebrochen \r\n");
    } else {
        w.Comment("\r\n\t// END_BITMAP ", TimeOfDay().c_str());
        if (pi.dwExternalFile) {
            std::string name = std::string(FormatString(
                "%s", {std::u16string_view(pi.wcExternalFilePath,
                                           Length(pi.wcExternalFilePath, PRN_PATH_CHARS))}));
            w.Comment("\r\n\t// external Data Start: \r\n", name.c_str());
            if (!SendFileContentToPrinter(pdevobj, p, pUniDrv))
                Trace(u"ERROR UNI(CC-Klassen):  EndPage() SendFileContentToPrinter ERROR \r\n");
            w.Comment("\t// external Data End\r\n");
        }
        if (d->bCompress == 1 && !(d->dwDocFeatures & DOC_FEATURE_QUALITY)) {
            static constexpr char kLineEnd[2] = {0x1B, 0x43};
            w.Bare("%s", {std::string_view(kLineEnd, 2)});
        }
        if (pi.dwPrefixSuffix > 0)
            ReadPrefixSuffix(pdevobj, pUniDrv, 3);
        else
            Trace(u"UNI(CC-Klassen):  EndPage() kein dwPrePostFix \r\n");

        // The text collections finish themselves only when they hold text.
        CheckBarcodeBuffer(p, pKX);
        CheckBuffer_VectorBitmap(p, pKX, 0);
        CheckBuffer_VectorBitmap(p, pKX, 1);
        if (d->pObjectList) {
            HRESULT hr = SendObjectList(p, pdevobj, pUniDrv);
            if (FAILED(hr))
                Trace(u"ERROR UNI(CC-Klassen):  EndPage() SendObjectList ERROR 0x%x \r\n", hr);
        }

        if (w.Ok()) {
            if (t->dwFeature[11] != 0) {
                if (pi.dwJobIdent < 2 && (t->dwFeature[0] & kFeatureBmJobName) && d->szJobName[0] &&
                    d->dwSendEtiParam == 0)
                    w.Separate("\t// Job name ", "%s ", {d->szJobName}, RecordWriter::kBuffer,
                               "%cFBE---r%8.8s%c", {w.cStart(), d->szJobName, w.cEnd()});
                w.Separate("\t// Copies ", "%d", {d->dwCopies}, RecordWriter::kBuffer,
                           "%cFBBA--r%05u---%c", {w.cStart(), d->dwCopies, w.cEnd()});
            } else if (d->dwNumCopiesMod > 0) {
                const char* man = (pKX->dwFlags & PDMFLAG_KOPIEN_MANUELL) ? " man." : "";
                w.Separate("\t// mod. Copies ", "%d%s", {d->dwNumCopiesMod, man},
                           RecordWriter::kBuffer, "%cFBBA--r%05u---%c",
                           {w.cStart(), d->dwNumCopiesMod, w.cEnd()});
                d->dwNumCopiesMod = 0;
            }
        }

        if (pKX->dwLabelType == 1 && (t->dwFeature[0] & kFeatureContLabel))
            EndlessFields(pdevobj, pUniDrv, j, w);

        // Sends nothing when no command-font text was collected.
        SendCommands(pdevobj, pUniDrv);
        if (!IsRecallJob(j)) {
            if (pi.dwExtendedProtocol != 1) {
                w.Separate("\t// Objects(Fields) ", "%cFBA---r%02u------%c",
                           {w.cStart(), d->dwFields, w.cEnd()});
            } else {
                w.Separate("\t\t\t\t// Objects(Fields) ", "%cFBAA--r%u%c",
                           {w.cStart(), d->dwFields, w.cEnd()});
                if (pKX->wSplitPrnFile == 1 && w.Ok()) {
                    std::string colour =
                        FormatString("%cFBAA--r%u%c", {w.cStart(), d->dwFieldsColour, w.cEnd()});
                    HRESULT hr = SendData(pdevobj, pUniDrv, colour.data(),
                                          static_cast<DWORD>(colour.size()), TRUE);
                    if (FAILED(hr))
                        Trace(u"ERROR UNI(CC-Klassen):  EndPage() FBAA Farbteil ERROR 0x%x \r\n",
                              hr);
                }
            }
        }
    }

    // Print start and copies.
    const bool bEmpty = d->dwFields == 0 && !d->bBildinhaltVorhanden && pi.bLeereSeiten == 1;
    if (!bCommonStart) {
        const WORD n = pKX->wMehrereSeiten;
        if (n > 0 && d->wSeitennummer < n + 1) {
            Trace(u"UNI(CC-Klassen):  EndPage() Seite %d von %d auf dem Etikett \r\n",
                  d->wSeitennummer, n + 1);
        } else {
            if (bEmpty) {
                Trace(u"UNI(CC-Klassen):  EndPage() kein Inhalt auf dieser Seite vorhanden \r\n");
                JobLog(p,
                       "[END_PAGE]\t kein Bild- oder Textinhalt vorhanden, blende diese Seite "
                       "aus ...");
                d->bPrintStarted = 1;
            } else if (!d->bPrintCancelled) {
                // The user's own commands just before the print start (the
                // prefix/suffix file's PRE_PRINTSTART section).
                if (pi.dwPrefixSuffix > 0) ReadPrefixSuffix(pdevobj, pUniDrv, 4);
                HRESULT hr = SendStartPrint(pdevobj, pUniDrv);
                if (FAILED(hr))
                    Trace(u"ERROR UNI(CC-Klassen):  EndPage() SendStartPrint ERROR 0x%x \r\n", hr);
            }
            d->wSeitennummer = 0;
            d->wPagesSincePrintStart = 0;
            d->dwFields = 0;
        }
    } else if (!d->bPrintCancelled) {
        Trace(u"UNI(CC-Klassen):  EndPage() Mehrseitenverwaltung: kein SendStartPrint() \r\n");
        if (d->dwFields == d->dwFieldsMS && !d->bBildinhaltVorhanden && pi.bLeereSeiten == 1) {
            JobLog(p,
                   "[END_PAGE]\t kein Bild- oder Textinhalt vorhanden, überspringe diese Seite "
                   "...");
            if (d->wSeitennummer) --d->wSeitennummer;
            if (d->wPagesSincePrintStart) --d->wPagesSincePrintStart;
        } else {
            DWORD copies = 1;
            if (!d->bManuellesMultipage && d->dwPage >= 1 && d->dwPage <= 10)
                copies = pKX->wKopieProSeite[d->dwPage - 1];
            w.Separate("\t// Copies for this page: ", "%d", {copies}, RecordWriter::kBuffer,
                       "%cFBBE--r%05u---%c", {w.cStart(), copies, w.cEnd()});
        }
    }

    d->dwFieldsMS = d->dwFields;
    if (d->pObjectList) DeletePrnObject(p);
    d->pObjectList = nullptr;
    ++d->dwNumPages;
    if (d->bSkalierung) {
        d->dwLabelLength = d->dwLabelLengthUnscaled;
        d->dwLabelWidth = d->dwLabelWidthUnscaled;
    }
    return w.Result();
}

}  // namespace kx
