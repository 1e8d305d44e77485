#include "job/printstart.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "core/trace.h"
#include "core/record.h"
#include "core/units.h"
#include "platform/platform.h"

namespace kx {

namespace {

// The separator-page setting of the interface (dwTrennseite).
constexpr DWORD kTrennseiteNachDruckstart = 1;      // after each print start
constexpr DWORD kTrennseiteNachDruckstartText = 2;  // the same, with the word
constexpr DWORD kTrennseiteDokumentanfangText = 4;  // at document start, with the word

// The provider name is cut to this many bytes so that its record always
// fits its buffer.
constexpr std::size_t kProviderMax = 255;
// The text record of the second field: 69 characters around the word.
constexpr std::size_t kTextRecordBuffer = 120;

// The word for separator page by the interface language, Windows-1252.
constexpr const char* kTrennseiteText[] = {
    "Trennseite",                  // 0 German
    "Separator page",              // 1 English
    "p\xE1gina de separaci\xF3n",  // 2 Spanish
    "page de s\xE9paration",       // 3 French
};

// No print-start record at all: the interface says so (the job start may
// also set its own switch).
bool KeinDruckstart(const Treiberstrukturen& ts)
{
    return ts.prnInterface.bSendPrintStart == 1 || ts.bSendPrintStart == 1;
}

// Writes text into the memory-card recall file, when one is open.
void WriteRecall(const TreiberPfadDatei* files, std::string_view text)
{
    if (!files || !IsValidHandle(files->hRecallFile)) return;
    std::uint32_t written = 0;
    if (!plat::WriteFile(files->hRecallFile, text.data(), static_cast<std::uint32_t>(text.size()),
                         &written)) {
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  SendStartPrint() Recall-Datei WriteFile Error = %u \r\n",
              plat::GetLastError());
    }
}

// The driver provider's name in the ANSI code page (empty when the driver
// cannot be asked).
std::string ProviderName(PDEVOBJ pdevobj)
{
    plat::DriverInfo info;
    if (!pdevobj->hPrinter || !plat::GetPrinterDriver(pdevobj->hPrinter, &info)) {
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  SendTrennseite() GetPrinterDriver ERROR %u \r\n",
              plat::GetLastError());
        return {};
    }
    std::string name = plat::WideToMultiByte(plat::kCpAcp, info.provider);
    if (name.size() > kProviderMax) name.resize(kProviderMax);
    return name;
}

}  // namespace

HRESULT SendStartPrint(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    OEM_PDEV* pdev = GetOemPDev(pdevobj);
    const KX_DEVMODE* pKX = GetKxDevmode(pdevobj);
    KX_POP* op = pdev ? pdev->pOp : nullptr;
    if (!pKX || !op || !op->pTreiberstrukturen || !op->pDruckDaten || !op->pDocDaten) {
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  SendStartPrint() mind. eine Struktur = NULL \r\n");
        return S_OK;
    }
    const Treiberstrukturen& ts = *op->pTreiberstrukturen;
    DruckDaten& d = *op->pDruckDaten;
    DocDaten& doc = *op->pDocDaten;
    const DWORD dwFlags = pKX->dwFlags;
    const bool bRecall = pKX->wMemCard_Recall != 0;
    const SHORT dmCollate = pdevobj->pPublicDM ? pdevobj->pPublicDM->dmCollate : SHORT{0};

    RecordWriter w(pdevobj, pUniDrv);
    const char cS = w.cStart(), cE = w.cEnd();
    HRESULT hr = S_OK;

    if (d.bMultiPage) hr = w.Separate("\t// Copies ", "%cFBBA--r%05u---%c", {cS, d.dwCopies, cE});
    // The recall file replays the label from the memory card, so it takes the
    // copies and the print start whatever the stream itself carries.
    if (bRecall) {
        WriteRecall(op->pTreiberPfadDatei,
                    FormatString("%cFBBA--r%05u---%c\t// Copies \r\n", {cS, d.dwCopies, cE}));
    }

    const bool bSortiert =
        dmCollate == 1 || ((dwFlags & PDMFLAG_JOBDRUCK) && (dwFlags & PDMFLAG_JOBDRUCK_SORTIERT));
    const char cCollateSign = bSortiert ? '-' : '1';
    if (bSortiert)
        Trace(u"UNI(ZE-Ruzo-Vovar):  SendStartPrint() cCollateSign = '-' \r\n");
    else
        Trace(u"UNI(ZE-Ruzo-Vovar):  SendStartPrint() cCollateSign = '1' \r\n");

    if (!w.CommentsOn()) w.LineEnd();

    if (doc.dwNo_FBC == 0 && !KeinDruckstart(ts)) {
        hr = w.Bare("%cFBC---r%c-------%c", {cS, cCollateSign, cE});
        if (SUCCEEDED(hr)) {
            d.bPrintStarted = TRUE;
            const char* order = "";
            if (dmCollate != 0 || (dwFlags & PDMFLAG_JOBDRUCK))
                order =
                    bSortiert ? "sorted (collate) 1,2,3,1,2,3" : "unsorted (separated) 1,1,2,2,3,3";
            hr = w.Comment("\t// Printstart ", order);
        }
    }
    if (bRecall) {
        WriteRecall(op->pTreiberPfadDatei,
                    FormatString("%cFBC---r%c-------%c\t// Printstart", {cS, cCollateSign, cE}));
    }
    // The pages since the print start count afresh for the next label.
    d.wSeitennummer = 0;
    d.wPagesSincePrintStart = 0;

    if (doc.bSingleCut && doc.dwNo_FBC == 0) {
        hr = w.Separate("\t// Single cut ", "%cFCDD--r1-------%c", {cS, cE});
        if (SUCCEEDED(hr)) doc.bSingleCut = FALSE;
    }
    if (doc.bFormFeed && doc.dwNo_FBC == 0) {
        hr = w.Separate("\t// Form feed ", "%cFE----r--------%c", {cS, cE});
        if (SUCCEEDED(hr)) doc.bFormFeed = FALSE;
    }

    const DWORD dwTrennseite = ts.prnInterface.dwTrennseite;
    if (w.Ok() && (dwTrennseite == kTrennseiteNachDruckstart ||
                   dwTrennseite == kTrennseiteNachDruckstartText))
        hr = SendTrennseite(pdevobj, pUniDrv);

    Trace(u"UNI(ZE-Ruzo-Vovar):  SendStartPrint() Ende - bPrintStarted: %d, hResult: 0x%x \r\n",
          d.bPrintStarted, hr);
    return w.Ok() ? hr : w.Result();
}

HRESULT SendTrennseite(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    OEM_PDEV* pdev = GetOemPDev(pdevobj);
    const KX_DEVMODE* pKX = GetKxDevmode(pdevobj);
    KX_POP* op = pdev ? pdev->pOp : nullptr;
    if (!pKX || !op || !op->pTreiberstrukturen || !op->pDruckDaten || !op->pDocDaten) {
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  SendTrennseite() mind. eine Struktur = NULL \r\n");
        return S_OK;
    }
    const PRN_INTERFACE& pi = op->pTreiberstrukturen->prnInterface;
    const DWORD dwMode = pi.dwTrennseite;
    if (dwMode == 0) return S_OK;
    const DruckDaten& d = *op->pDruckDaten;

    // The fields start at the middle of the label, in hundredths of a
    // millimetre. The label width comes in dots; without it the devmode's
    // width (tenths of a millimetre) is taken in its own unit, not put
    // through the dot formula. A master unit of 0 counts as 300.
    std::int64_t llX = 0;
    if (d.dwLabelWidth != 0) {
        WORD mu = pKX->FixedData.wMasterUnit;
        if (mu == 0) {
            Trace(
                u"ERROR UNI(ZE-Ruzo-Vovar):  SendTrennseite() wMasterUnit auf 300 festgelegt \r\n");
            mu = kDefaultMasterUnit;
        }
        llX = std::int64_t{d.dwLabelWidth} * 2540 / mu / 2;
    } else {
        llX = std::int64_t{pKX->dmPaperWidth} * 10 / 2;
    }

    RecordWriter w(pdevobj, pUniDrv);
    const char cS = w.cStart(), cE = w.cEnd();
    w.Bare("%cFBBA--r00001---%c", {cS, cE});
    w.Bare("%cAM[1]500;%d;0;4;0;3;254;254;0%c", {cS, llX, cE});
    w.Bare(kProviderMax + 16, "%cBM[1]%s%c", {cS, ProviderName(pdevobj), cE});
    w.LineEnd();
    if (dwMode == kTrennseiteNachDruckstartText || dwMode == kTrennseiteDokumentanfangText) {
        w.Bare("%cAM[2]1000;%d;0;4;0;3;254;254;0%c", {cS, llX, cE});
        if (pi.dwSprache < std::size(kTrennseiteText)) {
            w.Bare(kTextRecordBuffer,
                   "%cBM[2]=UM(16;0;0;0;1;\"%s\";0;\"CCCCCCCCCCCCCCCC\")<                >%c",
                   {cS, kTrennseiteText[pi.dwSprache], cE});
        }
        // The line ends the second field, with or without its text.
        w.LineEnd();
        w.Bare("%cFBAA--r2-------%c", {cS, cE});
    } else {
        w.Bare("%cFBAA--r1-------%c", {cS, cE});
    }
    const HRESULT hr = w.Bare("%cFBC---r1-------%c", {cS, cE});
    w.LineEnd();
    Trace(u"UNI(ZE-Ruzo-Vovar):  SendTrennseite() Ende \r\n");
    return hr;
}

}  // namespace kx
