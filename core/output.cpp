#include "core/output.h"

#include <exception>
#include <string>

#include "core/format.h"
#include "core/jobcontext.h"
#include "core/trace.h"
#include "platform/platform.h"

namespace kx {

//                                      module           data  allPrint first  watch
const ChannelKind kChannelStandard = {u"KxDrvUni", 69, false, false, false};
const ChannelKind kChannelCommandCallback = {u"CommandCallback", 49, true, false, false};
const ChannelKind kChannelRaster = {u"Bitmap", 69, false, true, false};
const ChannelKind kChannelGraphics = {u"PCX", 69, false, false, true};
const ChannelKind kChannelFirstFile = {u"KommandoFont", 69, false, true, false};

namespace {

// The abort sequence of the line path: ESC "C", then a pause of 100 ms.
constexpr char kAbortSequence[2] = {0x1B, 'C'};
constexpr DWORD kAbortWaitMs = 100;

void WriteToFile(const ChannelKind& kind, HANDLE h, const void* pData, DWORD cbData)
{
    if (!IsValidHandle(h)) return;
    std::uint32_t written = 0;
    if (!plat::WriteFile(h, pData, cbData, &written))
        Trace(u"ERROR UNI(%s):  SendData() WriteFile Error = %u \r\n", kind.module,
              plat::GetLastError());
}

HRESULT WriteSpooler(const ChannelKind& kind, PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                     DruckDaten* pDruckDaten, const void* pData, DWORD cbData)
{
    if (!pDruckDaten) {
        Trace(u"ERROR UNI(%s):  SendData() DrvWriteSpoolBuf ERROR - pDruckDaten fehlt \r\n",
              kind.module);
        return E_FAIL;
    }
    if (pDruckDaten->bMemCard) {
        // Memory-card output is collected in the print file only.
        Trace(u"UNI(%s):  SendData() KxDrvUni Achtung:  bMemCard \r\n", kind.module);
        return S_OK;
    }
    DWORD cbWritten = 0;
    HRESULT hr = E_FAIL;
    try {
        hr = pUniDrv->DrvWriteSpoolBuf(pdevobj, const_cast<void*>(pData), cbData, &cbWritten);
    } catch (...) {
        // Only the graphics writer is expected to meet an exception here, but
        // nothing may cross the boundary.
        Trace(u"ERROR UNI(%s):  SendeDaten() DrvWriteSpoolBuf Exception \r\n", kind.module);
        return E_FAIL;
    }
    if (FAILED(hr)) {
        if (kind.watchCancel) {
            DWORD err = plat::GetLastError();
            if (err == ERROR_PRINT_CANCELLED) {
                pDruckDaten->bPrintCancelled = 1;
                Trace(u"UNI(%s):  SendeDaten() DrvWriteSpoolBuf ERROR_PRINT_CANCELLED \r\n",
                      kind.module);
            } else {
                Trace(u"UNI(%s):  SendeDaten() DrvWriteSpoolBuf GetLastError: %u \r\n", kind.module,
                      err);
            }
        }
        Trace(u"UNI(%s):  SendData() DrvWriteSpoolBuf ERROR 0x%x \r\n", kind.module, hr);
    } else {
        Trace(u"UNI(%s):  SendData() DrvWriteSpoolBuf %d Bytes gesendet, hResult: 0x%x \r\n",
              kind.module, cbWritten, hr);
    }
    return hr;
}

}  // namespace

HRESULT SendData(const ChannelKind& kind, PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                 const void* pData, DWORD cbData, BOOL bPrintData, BOOL bNoSpool, BOOL bNoFile,
                 BOOL bBothFiles)
{
    if (!pdevobj) return E_FAIL;
    if (pData && cbData >= 3 && cbData <= kind.traceDataMax) {
        Trace(u"UNI(%s):  SendData() start |%s| \r\n", kind.module,
              std::string_view(static_cast<const char*>(pData), cbData));
    } else {
        Trace(u"UNI(%s):  SendData() start - %d \r\n", kind.module, cbData);
    }
    if (cbData == 0) {
        Trace(u"ERROR UNI(%s):  SendData() es gibt nichts zum Senden \r\n", kind.module);
        return S_OK;
    }
    JobContext ctx(pdevobj, pUniDrv);
    if (!pUniDrv) {
        Trace(u"ERROR UNI(%s):  SendData() pUniDrv ist ungültig \r\n", kind.module);
        return E_FAIL;
    }
    if (!ctx.Require(kNeedDevice, u"ERROR UNI(%s):  SendData() pUniDrv ist ungültig \r\n",
                     {kind.module}) ||
        !ctx.Require(kNeedJob, u"ERROR UNI(%s):  SendData() pOp ist ungültig \r\n", {kind.module}))
        return E_FAIL;
    DruckDaten* pDruckDaten = ctx.Data();
    if (kind.allPrintData) bPrintData = TRUE;

    HRESULT hr = S_OK;
    if (!pData) {
        Trace(u"ERROR UNI(%s):  SendData() Error - pData ist ungültig \r\n", kind.module);
        hr = E_FAIL;
    } else {
        if (!bNoSpool) hr = WriteSpooler(kind, pdevobj, pUniDrv, pDruckDaten, pData, cbData);

        const KX_DEVMODE* pDevmode = ctx.Devmode();
        TreiberPfadDatei* pFiles = ctx.Files();
        if (pFiles && !bNoFile && pDevmode) {
            bool split = pDevmode->wSplitPrnFile == 1;
            if (!split || !bPrintData || bBothFiles)
                WriteToFile(kind, pFiles->hPrnFile, pData, cbData);
            if (split && !kind.firstFileOnly && (bPrintData || bBothFiles))
                WriteToFile(kind, pFiles->hPrnFile2, pData, cbData);
        }
    }

    // A failed write on the line path is followed by the abort sequence.
    if (hr == E_FAIL && pDruckDaten && pDruckDaten->bCompress == 1 &&
        !(pDruckDaten->dwDocFeatures & 0x1000)) {
        Trace(u"UNI(%s):  SendData() vor DrvWriteAbortBuf() \r\n", kind.module);
        hr = pUniDrv->DrvWriteAbortBuf(pdevobj, const_cast<char*>(kAbortSequence),
                                       sizeof(kAbortSequence), kAbortWaitMs);
        if (FAILED(hr))
            Trace(u"UNI(%s):  SendData() DrvWriteAbortBuf ERROR 0x%x \r\n", kind.module, hr);
    }
    return hr;
}

namespace {

HRESULT JoinComment(char (&line)[100], const char* pszText1, const char* pszText2)
{
    HRESULT hr = Copy(line, sizeof(line), pszText1 ? pszText1 : "");
    if (SUCCEEDED(hr)) hr = Cat(line, sizeof(line), pszText2 ? pszText2 : "");
    if (SUCCEEDED(hr)) hr = Cat(line, sizeof(line), "\r\n");
    return hr;
}

}  // namespace

HRESULT SendeKommentar(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const char* pszText1,
                       const char* pszText2)
{
    char line[100];
    HRESULT hr = JoinComment(line, pszText1, pszText2);
    if (FAILED(hr)) {
        Trace(u"ERROR UNI(KxDrvUni):  SendeKommentar() Kommentar zu lang \r\n");
        return hr;
    }
    return SendData(pdevobj, pUniDrv, line, static_cast<DWORD>(Length(line, sizeof(line))), FALSE,
                    TRUE, FALSE);
}

HRESULT SendeKommentarCC(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const char* pszText1,
                         const char* pszText2)
{
    char line[100];
    HRESULT hr = JoinComment(line, pszText1, pszText2);
    if (FAILED(hr)) return hr;
    return SendData(kChannelCommandCallback, pdevobj, pUniDrv, line,
                    static_cast<DWORD>(Length(line, sizeof(line))));
}

BOOL OpenPrnFile(DWORD dwSplitMode, OEM_PDEV* pOemPDev, BOOL bAppend)
{
    TreiberPfadDatei* pFiles = JobContext(pOemPDev).Files();
    if (!pFiles) return FALSE;
    bool split = dwSplitMode == 1;

    if (IsValidHandle(pFiles->hPrnFile) && !plat::CloseHandle(pFiles->hPrnFile))
        Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  OpenPrnFile() CloseHandle() failed. Error = %u \r\n",
              plat::GetLastError());
    pFiles->hPrnFile = INVALID_HANDLE_VALUE;
    if (split) {
        if (IsValidHandle(pFiles->hPrnFile2) && !plat::CloseHandle(pFiles->hPrnFile2))
            Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  OpenPrnFile() CloseHandle() failed. Error = %u \r\n",
                  plat::GetLastError());
        pFiles->hPrnFile2 = INVALID_HANDLE_VALUE;
    }

    char16_t name[KX_MAX_PATH + 16];
    HRESULT hr = Copy(
        name, KX_MAX_PATH + 16,
        std::u16string_view(pFiles->wcPrnFileName, Length(pFiles->wcPrnFileName, KX_MAX_PATH - 1)));
    if (SUCCEEDED(hr)) hr = Cat(name, KX_MAX_PATH + 16, split ? u"_bw.prn" : u".prn");
    std::u16string_view nameView(name, Length(name, KX_MAX_PATH + 16));
    if (FAILED(hr) || nameView.find(u".prn") == std::u16string_view::npos) return FALSE;

    pFiles->hPrnFile = INVALID_HANDLE_VALUE;
    pFiles->hPrnFile2 = INVALID_HANDLE_VALUE;
    if (nameView.size() > 4) {
        if (bAppend) {
            Trace(u"UNI(ZE-Ruzo-Vovar):  OpenPrnFile() öffne %s zum Anhängen \r\n", nameView);
            pFiles->hPrnFile = plat::CreateFile(nameView, plat::kGenericWrite, plat::kShareWrite,
                                                plat::kOpenExisting);
            if (IsValidHandle(pFiles->hPrnFile))
                plat::SetFilePointer(pFiles->hPrnFile, 0, plat::kFileEnd, nullptr);
        } else {
            Trace(u"UNI(ZE-Ruzo-Vovar):  OpenPrnFile() öffne %s \r\n", nameView);
            pFiles->hPrnFile = plat::CreateFile(nameView, plat::kGenericWrite, plat::kShareWrite,
                                                plat::kCreateAlways);
        }
        if (split) {
            std::u16string colour(pFiles->wcPrnFileName,
                                  Length(pFiles->wcPrnFileName, KX_MAX_PATH - 1));
            colour += u"_col.prn";
            pFiles->hPrnFile2 =
                plat::CreateFile(colour, plat::kGenericRead | plat::kGenericWrite,
                                 plat::kShareRead | plat::kShareWrite, plat::kCreateAlways);
        }
    }
    if (IsValidHandle(pFiles->hPrnFile)) return TRUE;
    pFiles->hPrnFile = INVALID_HANDLE_VALUE;
    Trace(u"ERROR UNI(ZE-Ruzo-Vovar):  OpenPrnFile() CreateFile() failed. Error = %u - %s\r\n",
          plat::GetLastError(), nameView);
    return FALSE;
}

}  // namespace kx
