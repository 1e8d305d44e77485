#include "raster/bandcapture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "core/trace.h"
#include "diag/logfile.h"
#include "platform/engine.h"
#include "platform/platform.h"
#include "raster/round16.h"

namespace kx {

namespace {

constexpr DWORD kOutOfMemoryWaitMs = 4000;
constexpr WORD kBmpType = 0x4D42;  // "BM"
constexpr DWORD kBmpHeadersSize = 54;
constexpr std::uint64_t kGrowAheadMax = 64u << 20;  // the page buffer grows at most 64 MiB ahead

// A line for the information log (written as it stands: the texts carry
// their own line breaks), and for the trace.
void LogInfo(const OEM_PDEV* pOemPDev, const char16_t* text)
{
    Trace(u"UNI(GraphicsUni):  Log: %s \r\n", text);
    if (CLogFile* pLog = GetJobLogFile(pOemPDev)) pLog->WriteLine(text, nullptr, 0);
}

// 32-bit header arithmetic as the host's 32-bit fields do it: modulo 2^32.
LONG AddWrap(LONG a, LONG b)
{
    return static_cast<LONG>(static_cast<DWORD>(a) + static_cast<DWORD>(b));
}

LONG PositiveHeight(LONG h)
{
    if (h >= 0) return h;
    return h == INT32_MIN ? INT32_MAX : -h;
}

// The page's size in bytes when the host says it ahead: rows of the first
// band's width for the paper length of the public devmode (portrait only:
// landscape strips build a new buffer per strip anyway). 0 when it cannot
// be told or would not be more than the band itself. Capped at the largest
// page buffer; a page that turns out longer still grows block by block, one
// that is shorter leaves the rest of the block untouched.
DWORD PageBytesAhead(const DEVMODEW* pub, const KX_FIXEDDATA& fixed, const BITMAPINFOHEADER& band)
{
    if (!pub || pub->dmOrientation == DMORIENT_LANDSCAPE || pub->dmPaperLength <= 0) return 0;
    if (band.biHeight <= 0 || band.biWidth <= 0 || fixed.wMasterUnit == 0) return 0;
    const std::uint64_t stride =
        ((std::uint64_t{band.biBitCount} * static_cast<std::uint64_t>(band.biWidth) + 31) / 32) * 4;
    // Only bands of plain DIB rows say how long a row is.
    if (stride == 0 || band.biSizeImage != stride * static_cast<std::uint64_t>(band.biHeight))
        return 0;
    const WORD rows = Round16(pub->dmPaperLength * static_cast<double>(fixed.wMasterUnit) / 254.0);
    if (rows <= band.biHeight) return 0;
    return static_cast<DWORD>(std::min<std::uint64_t>(stride * rows, MaxPageBufferSize(fixed)));
}

// Appends one band to the page buffer: its bytes (or white for a blank band)
// behind what is stored, then the band is counted.
void StoreBand(Bildverarbeitung* bv, Bildanteile* ba, const BYTE* pSrc,
               const BITMAPINFOHEADER& band, const IPPARAMS* pIPParams)
{
    DWORD room = bv->dwBufSize > bv->dwBufOffset ? bv->dwBufSize - bv->dwBufOffset : 0;
    DWORD n = std::min(band.biSizeImage, room);
    if (n && bv->pBufStart) {
        if (pIPParams && pIPParams->bBlankBand)
            std::memset(bv->pBufStart + bv->dwBufOffset, 0xFF, n);
        else
            std::memcpy(bv->pBufStart + bv->dwBufOffset, pSrc, n);
    }
    ++ba->wBildTeile;
    // The band tables hold 150 entries; later bands are stored all the same,
    // only their positions are not recorded.
    if (ba->wBildTeile < kMaxBildTeile) {
        ba->iBildTeilePosY[ba->wBildTeile] = static_cast<DWORD>(bv->bmInfoHeader.biHeight);
        ba->iBildTeilePosX[ba->wBildTeile] = static_cast<DWORD>(bv->bmInfoHeader.biWidth);
    } else {
        Trace(
            u"UNI(GraphicsUni):  ImageProcessing() Bildteil %d - mehr als %d Bildteile, "
            u"Position nicht gespeichert \r\n",
            ba->wBildTeile, kMaxBildTeile);
    }
}

// Joins a landscape strip to the right of the stored page, row by row.
// Returns S_OK when the band was stored (joined or, for a strip that spans
// the page, appended).
HRESULT JoinLandscapeStrip(OEM_PDEV* pOemPDev, const DEVMODEW& pub, const KX_FIXEDDATA& fixed,
                           const BYTE* pSrc, BITMAPINFOHEADER& band, const IPPARAMS* pIPParams)
{
    KX_POP* op = pOemPDev->pOp;
    Bildverarbeitung* bv = op->pBildverarbeitung;
    Bildanteile* ba = op->pBildanteile;
    const double mu = fixed.wMasterUnit;
    if (mu == 0) {
        // Nothing to convert with: the strip is appended as it is.
        StoreBand(bv, ba, pSrc, band, pIPParams);
        return S_OK;
    }

    // All sizes in 64 bits: the header values are the host's and may be
    // anything; nothing below may overflow.
    const std::int64_t wBildTeile = ba->wBildTeile;
    const WORD lPaperWidth = Round16(band.biWidth / mu * 254.0);
    const WORD wPaperDots = Round16(pub.dmPaperLength * mu / 254.0);
    std::int64_t T = wPaperDots;
    std::int64_t B = band.biWidth;
    if (band.biBitCount == 24) {
        T *= 3;
        B *= 3;
    }
    const float N = B <= 0 ? 1.0f : std::ceil(static_cast<float>(T) / static_cast<float>(B));
    std::int64_t S1 = B;
    std::int64_t S2 = T - B;
    bool bMore = false;  // more strips follow this one
    if (N > 2) {
        if (static_cast<float>(wBildTeile) < N - 1) {
            S1 = B * wBildTeile;
            S2 = B;
            bMore = true;
        } else {
            S1 = B * static_cast<std::int64_t>(N - 1);
            S2 = T - S1;
        }
    }
    const std::int64_t L1 = ((std::int64_t{band.biBitCount} * band.biWidth + 31) / 32) * 4;
    std::int64_t LG = ((std::int64_t{wPaperDots} * band.biBitCount + 31) / 32) * 4;
    std::int64_t P = LG > T ? LG - T : T - LG;
    if (bMore) {
        P = 0;
        LG = (wBildTeile + 1) * L1;
    }
    Trace(
        u"UNI(GraphicsUni):  ImageProcessing() Querformat - wBildTeile: %d, N: %.0f, S1: %d, "
        u"S2: %d, P: %d, L1: %d, LG: %d \r\n",
        wBildTeile, static_cast<double>(N), S1, S2, P, L1, LG);

    if (lPaperWidth >= pub.dmPaperLength - 1) {
        // The strip already spans the page.
        StoreBand(bv, ba, pSrc, band, pIPParams);
        return S_OK;
    }

    const std::int64_t rows = band.biHeight;
    const std::int64_t rowBytes = P + S2 + S1;
    std::int64_t newSize = rowBytes * rows;
    const std::int64_t minSize = bv->dwBufSize ? bv->dwBufSize : band.biSizeImage;
    if (newSize < minSize) newSize = minSize;
    if (newSize <= 0 || newSize > MaxPageBufferSize(fixed)) {
        Trace(
            u"ERROR UNI(GraphicsUni):  ImageProcessing() Querformat - Seitenpuffer von %d Bytes "
            u"nicht möglich \r\n",
            newSize);
        vFreeBuffer(pOemPDev);
        return E_FAIL;
    }
    BYTE* pNew = CreateBufferHA(op->hBufferHeap, static_cast<DWORD>(newSize));
    if (!pNew) {
        Trace(
            u"ERROR UNI(GraphicsUni):  ImageProcessing() ERROR - kein neuer Buffer verfügbar \r\n");
        vFreeBuffer(pOemPDev);
        plat::Sleep(kOutOfMemoryWaitMs);
        return E_FAIL;
    }
    ++pOemPDev->iHAllocZaehler;
    std::memset(pNew, 0xFF, static_cast<std::size_t>(newSize));

    // Row by row: S1 bytes of the stored page (read straight on), S2 bytes
    // of the strip's row, P bytes of white. Every part is checked against
    // the new buffer, the stored page and the strip before it is copied.
    const BYTE* pOld = bv->pBufStart;
    const std::int64_t oldSize = bv->dwBufSize;
    const std::int64_t bandSize = band.biSizeImage;
    const bool bBlank = pIPParams && pIPParams->bBlankBand;
    std::int64_t pos = 0, oldPos = 0, copied = 0;
    if (S1 < 0 || S2 < 0 || L1 < 0 || rowBytes <= 0) {
        Trace(u"UNI(GraphicsUni):  ImageProcessing() Speicher zu klein S1: %d \r\n", S1);
    } else {
        for (std::int64_t r = 0; r < rows && pOld; ++r) {
            if (pos + S1 > newSize || oldPos + S1 > oldSize) {
                Trace(u"UNI(GraphicsUni):  ImageProcessing() Speicher zu klein S1: %d \r\n", S1);
                break;
            }
            std::memcpy(pNew + pos, pOld + oldPos, static_cast<std::size_t>(S1));
            pos += S1;
            oldPos += S1;
            copied += S1;
            const std::int64_t src = r * L1;
            if (pos + S2 > newSize || (!bBlank && src + S2 > bandSize)) {
                Trace(u"UNI(GraphicsUni):  ImageProcessing() Speicher zu klein S2: %d \r\n", S2);
                break;
            }
            // A blank strip's bits are not read: its part stays white.
            if (!bBlank) std::memcpy(pNew + pos, pSrc + src, static_cast<std::size_t>(S2));
            pos += S2;
            copied += S2;
            if (pos + P > newSize) {
                Trace(u"UNI(GraphicsUni):  ImageProcessing() Speicher zu klein Offset: %d \r\n", P);
                break;
            }
            pos += P;
        }
    }
    if (copied == 0) {
        Trace(
            u"ERROR UNI(GraphicsUni):  ImageProcessing() ACHTUNG keine Daten kopiert - ERROR \r\n");
        FreeBufferHA(op->hBufferHeap, pNew);
        --pOemPDev->iHAllocZaehler;
        plat::Sleep(kOutOfMemoryWaitMs);
        vFreeBuffer(pOemPDev);
        return E_FAIL;
    }

    vFreeBuffer(pOemPDev);
    bv->pBufStart = pNew;
    bv->dwBufSize = bv->dwBufCapacity = static_cast<DWORD>(newSize);

    // The joined page's header: the paper's size in dots, and while more
    // strips follow, the width joined so far.
    LONG lWidth = Round16(pub.dmPaperLength * mu / 254.0);
    const LONG lHeight = Round16(pub.dmPaperWidth * mu / 254.0);
    const auto dwImage =
        static_cast<DWORD>((static_cast<std::uint64_t>(wBildTeile) + 1) * band.biSizeImage);
    if (bMore) {
        lWidth = static_cast<LONG>(
            static_cast<DWORD>((wBildTeile + 1) * static_cast<std::int64_t>(band.biWidth)));
    }
    band.biWidth = bv->bmInfoHeader.biWidth = lWidth;
    band.biHeight = bv->bmInfoHeader.biHeight = lHeight;
    band.biSizeImage = bv->bmInfoHeader.biSizeImage = dwImage;
    ++ba->wBildTeile;
    Trace(
        u"UNI(GraphicsUni):  ImageProcessing() Querformat verbunden - biWidth: %d, biHeight: %d, "
        u"biSizeImage: %u, dwBufSize: %u \r\n",
        lWidth, lHeight, dwImage, bv->dwBufSize);
    return S_OK;
}

}  // namespace

DWORD MaxPageBufferSize(const KX_FIXEDDATA& fixed)
{
    std::uint64_t dim = std::max(fixed.lMaxSizeX, fixed.lMaxSizeY);
    std::uint64_t bytes = 4 * dim * dim;  // 32 bits per pixel
    return static_cast<DWORD>(std::min<std::uint64_t>(bytes, kMaxPageBufferBytes));
}

BYTE* CreateBufferHA(HANDLE hHeap, DWORD dwSize)
{
    if (!hHeap) return nullptr;
    auto* p = static_cast<BYTE*>(plat::HeapAlloc(dwSize, true));
    if (!p)
        Trace(
            u"ERROR UNI(GraphicsUni):  CreateBufferHA() Exception Z. 82 Pos: %d, HeapAlloc "
            u"failed! ERROR %d  \r\n",
            dwSize, plat::GetLastError());
    return p;
}

void FreeBufferHA(HANDLE, BYTE* pBuffer)
{
    plat::HeapFree(pBuffer);
}

void vFreeBuffer(OEM_PDEV* pOemPDev)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    Bildverarbeitung* bv = op ? op->pBildverarbeitung : nullptr;
    if (!bv) return;
    if (bv->pBufStart) {
        FreeBufferHA(op->hBufferHeap, bv->pBufStart);
        bv->pBufStart = nullptr;
        if (pOemPDev->iHAllocZaehler) --pOemPDev->iHAllocZaehler;
    }
    bv->dwBufSize = 0;
    bv->dwBufCapacity = 0;
}

BYTE* TakePageBuffer(OEM_PDEV* pOemPDev)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    Bildverarbeitung* bv = op ? op->pBildverarbeitung : nullptr;
    if (!bv || !bv->pBufStart) return nullptr;
    BYTE* p = bv->pBufStart;
    bv->pBufStart = nullptr;
    bv->dwBufSize = 0;
    bv->dwBufCapacity = 0;
    if (pOemPDev->iHAllocZaehler) --pOemPDev->iHAllocZaehler;
    return p;
}

void ResetPageImage(OEM_PDEV* pOemPDev)
{
    vFreeBuffer(pOemPDev);
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (op && op->pBildverarbeitung) {
        Bildverarbeitung* bv = op->pBildverarbeitung;
        bv->dwBufOffset = 0;
        bv->bmFileHeader = {};
        bv->bmInfoHeader = {};
        bv->bHeadersFilled = FALSE;
        bv->bPaletteValid = FALSE;
    }
    if (op && op->pBildanteile) op->pBildanteile->wBildTeile = 0;
}

DWORD bGrowBuffer(OEM_PDEV* pOemPDev, DWORD dwAdd, DWORD dwPageAhead)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    Bildverarbeitung* bv = op ? op->pBildverarbeitung : nullptr;
    if (!bv || !op->hBufferHeap) {
        Trace(
            u"ERROR UNI(GraphicsUni):  bGrowBuffer() pOemPDev, hBufferHeap oder "
            u"pBildverarbeitung = NULL \r\n");
        return 0;
    }
    const DWORD old = bv->pBufStart ? bv->dwBufSize : 0;
    const std::uint64_t want = std::uint64_t{old} + dwAdd;
    if (want > 0 && want <= 0xFFFFFFFFu) {
        // The blocks are not cleared: every byte up to dwBufSize is written
        // by the band that the same call stores, and nothing reads behind
        // it. Clearing a block of the size of a page would cost a pass over
        // it for nothing.
        if (!bv->pBufStart) {
            const std::uint64_t block = std::max<std::uint64_t>(want, dwPageAhead);
            auto* p = static_cast<BYTE*>(plat::HeapAlloc(static_cast<std::size_t>(block), false));
            if (p) {
                ++pOemPDev->iHAllocZaehler;
                bv->pBufStart = p;
                bv->dwBufCapacity = static_cast<DWORD>(block);
                bv->dwBufSize = static_cast<DWORD>(want);
                return bv->dwBufSize;
            }
        } else if (want <= bv->dwBufCapacity) {
            bv->dwBufSize = static_cast<DWORD>(want);
            return bv->dwBufSize;
        } else {
            // A new block, half as large again as the present one (at most
            // kGrowAheadMax ahead of the page), so that a page longer than
            // foreseen is copied a few times instead of once per band. The
            // page itself grows by exactly the band.
            const std::uint64_t ahead =
                std::min<std::uint64_t>(bv->dwBufCapacity / 2, kGrowAheadMax);
            const std::uint64_t dwNeueGroesse =
                std::min<std::uint64_t>(std::max(want, bv->dwBufCapacity + ahead), 0xFFFFFFFFu);
            auto* p =
                static_cast<BYTE*>(plat::HeapAlloc(static_cast<std::size_t>(dwNeueGroesse), false));
            if (p) {
                if (old) std::memcpy(p, bv->pBufStart, old);
                plat::HeapFree(bv->pBufStart);
                bv->pBufStart = p;
                bv->dwBufCapacity = static_cast<DWORD>(dwNeueGroesse);
                bv->dwBufSize = static_cast<DWORD>(want);
                return bv->dwBufSize;
            }
        }
    }
    Trace(u"ERROR UNI(GraphicsUni):  bGrowBuffer() HeapAlloc failed! ERROR %d \r\n",
          plat::GetLastError());
    vFreeBuffer(pOemPDev);
    return 0;
}

BOOL bFillColorTable(PDEVOBJ pdevobj)
{
    OEM_PDEV* pOemPDev = GetOemPDev(pdevobj);
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    Bildverarbeitung* bv = op ? op->pBildverarbeitung : nullptr;
    if (!bv || !bv->prgbq) {
        Trace(u"ERROR UNI(GraphicsUni):  bFillColorTable() prgbq ERROR \r\n");
        return FALSE;
    }
    // The page's table has 256 entries; a larger palette is read only that far.
    const UINT cEntries = std::min<DWORD>(pOemPDev->cPalColors, 256);
    if (cEntries == 0) return FALSE;
    auto* pEntries = new (std::nothrow) PALETTEENTRY[cEntries];
    if (!pEntries) return FALSE;
    ++pOemPDev->iNewZaehler;
    UINT got = engine::GetPaletteEntries(pOemPDev->hPalette, 0, cEntries, pEntries);
    BOOL bOk = got > 0;
    if (!bOk) {
        Trace(u"ERROR UNI(GraphicsUni):  bFillColorTable() GetPaletteEntries ERROR \r\n");
    } else {
        got = std::min(got, cEntries);
        for (int i = 0; i < 256; ++i) {
            bv->prgbq[i].rgbBlue = 0;
            bv->prgbq[i].rgbGreen = 0;
            bv->prgbq[i].rgbRed = 0;
        }
        for (UINT i = 0; i < got; ++i) {
            bv->prgbq[i].rgbRed = pEntries[i].peRed;
            bv->prgbq[i].rgbGreen = pEntries[i].peGreen;
            bv->prgbq[i].rgbBlue = pEntries[i].peBlue;
        }
        RGBQUAD& last = bv->prgbq[cEntries - 1];
        last.rgbRed = last.rgbGreen = last.rgbBlue = 255;
    }
    delete[] pEntries;
    --pOemPDev->iNewZaehler;
    return bOk;
}

HRESULT CaptureBand(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader, PBYTE,
                    DWORD dwCallbackID, PIPPARAMS pIPParams)
{
    OEM_PDEV* pOemPDev = GetOemPDev(pdevobj);
    KX_DEVMODE* pKX = GetKxDevmode(pdevobj);
    if (!pdevobj || !pOemPDev || !pKX) {
        Trace(u"UNI(GraphicsUni):  ImageProcessing() Start, %s = NULL \r\n",
              !pdevobj ? u"pDevObj" : (!pOemPDev ? u"pOemPDev" : u"pKX_Devmode"));
        return S_OK;
    }
    if (!pSrcBitmap || !pBitmapInfoHeader) return E_FAIL;

    KX_POP* op = pOemPDev->pOp;
    if (!op) {
        Trace(u"ERROR UNI(GraphicsUni):  ImageProcessing() pOp nicht gesetzt \r\n");
        return E_FAIL;
    }
    struct Required {
        bool present;
        const char16_t* name;
        const char16_t* logLine;
    };
    for (const Required& r :
         {Required{op->pBildverarbeitung != nullptr, u"pBildverarbeitung",
                   u"\r\nImageProcessing() pOemPDev->pOp->pBildverarbeitung ERROR "},
          Required{op->hBufferHeap != nullptr, u"hBufferHeap",
                   u"\r\nImageProcessing() pOemPDev->pOp->hBufferHeap ERROR "},
          Required{op->pDruckDaten != nullptr, u"pDruckDaten",
                   u"\r\nImageProcessing() pOemPDev->pOp->pDruckDaten  ERROR "},
          Required{op->pBildanteile != nullptr, u"pBildanteile",
                   u"\r\nImageProcessing() pOemPDev->pOp->pBildanteile  ERROR "}}) {
        if (!r.present) {
            Trace(u"ERROR UNI(GraphicsUni):  ImageProcessing() %s nicht gesetzt \r\n", r.name);
            LogInfo(pOemPDev, r.logLine);
            return E_FAIL;
        }
    }
    Bildverarbeitung* bv = op->pBildverarbeitung;
    Bildanteile* ba = op->pBildanteile;
    DruckDaten* d = op->pDruckDaten;
    KX_FIXEDDATA& fixed = pKX->FixedData;
    BITMAPINFOHEADER& band = *pBitmapInfoHeader;

    bv->dwBufOffset = bv->dwBufSize;

    if (!bv->bHeadersFilled) {
        // The first band of the page gives the page's header; height and
        // image size accumulate below.
        bv->bHeadersFilled = TRUE;
        BITMAPINFOHEADER& page = bv->bmInfoHeader;
        page.biSize = band.biSize;
        page.biPlanes = band.biPlanes;
        page.biBitCount = band.biBitCount;
        page.biCompression = band.biCompression;
        page.biXPelsPerMeter = band.biXPelsPerMeter;
        page.biYPelsPerMeter = band.biYPelsPerMeter;
        page.biClrUsed = band.biClrUsed;
        page.biClrImportant = band.biClrImportant;
        page.biWidth = band.biWidth;
        band.biHeight = PositiveHeight(band.biHeight);

        if (fixed.wMasterUnit == 0) {
            LogInfo(pOemPDev, u"\r\nImageProcessing() FixedData ERROR ");
            return E_FAIL;
        }
        // The page fits the model either way round (a turned format).
        const LONG w = band.biWidth, h = band.biHeight;
        const auto maxX = static_cast<LONG>(fixed.lMaxSizeX);
        const auto maxY = static_cast<LONG>(fixed.lMaxSizeY);
        if (!((w <= maxX && h <= maxY) || (w <= maxY && h <= maxX))) {
            Trace(
                u"ERROR UNI(GraphicsUni):  ImageProcessing() Format zu groß oder FixedData - "
                u"lbiWidth: %d, lMaxSizeX: %d, lbiHeight: %d, lMaxSizeY: %d \r\n",
                w, maxX, h, maxY);
            LogInfo(pOemPDev, u"\r\nImageProcessing() Papierformat zu groß oder FixedData ERROR ");
            return E_FAIL;
        }
        if (!bv->prgbq) {
            LogInfo(pOemPDev, u"\r\nImageProcessing() prgbq ERROR ");
            return E_FAIL;
        }
        if (dwCallbackID != kBandCallbackNoPalette) {
            bv->bPaletteValid = TRUE;
            if (band.biBitCount == 1) {
                pOemPDev->cPalColors = 2;
                bv->prgbq[0].rgbBlue = bv->prgbq[0].rgbGreen = bv->prgbq[0].rgbRed = 0;
                bv->prgbq[1].rgbBlue = bv->prgbq[1].rgbGreen = bv->prgbq[1].rgbRed = 255;
            } else if (band.biBitCount == 8) {
                pOemPDev->cPalColors = 256;
                if (!bFillColorTable(pdevobj)) return E_FAIL;
            }
        }
        if (d->dwDocFeatures & DOC_FEATURE_COLORPRINT) {
            pOemPDev->cPalColors = 256;
            if (bv->prgbqSaved) std::memcpy(bv->prgbq, bv->prgbqSaved, 256 * sizeof(RGBQUAD));
        }
    }

    bv->bmInfoHeader.biHeight = AddWrap(bv->bmInfoHeader.biHeight, band.biHeight);
    bv->bmInfoHeader.biSizeImage += band.biSizeImage;
    if (bv->dwBufSize == 0) ba->wBildTeile = 0;

    // A band without image bytes changes only the headers.
    if (band.biSizeImage > 0) {
        if (std::uint64_t{bv->dwBufSize} + band.biSizeImage > MaxPageBufferSize(fixed)) {
            Trace(
                u"ERROR UNI(GraphicsUni):  ImageProcessing() Seite zu groß - dwBufSize: %u, "
                u"biSizeImage: %u, Grenze: %u \r\n",
                bv->dwBufSize, band.biSizeImage, MaxPageBufferSize(fixed));
            vFreeBuffer(pOemPDev);
            return E_FAIL;
        }
        const DEVMODEW* pub = pdevobj->pPublicDM;
        // A new page gets its whole block at once where its size is known.
        const DWORD dwAhead = bv->dwBufSize == 0 ? PageBytesAhead(pub, fixed, band) : 0;
        DWORD dwNew = bGrowBuffer(pOemPDev, band.biSizeImage, dwAhead);
        if (dwNew == 0) {
            LogInfo(pOemPDev,
                    u"\r\n Memory allocation ERROR - please restart your application.\r\n");
            LogInfo(pOemPDev,
                    u"In addition: open a cmd window and type in the following commands:\r\n");
            LogInfo(pOemPDev, u"net stop spooler\r\n");
            LogInfo(pOemPDev, u"net start spooler\r\n\n");
            vFreeBuffer(pOemPDev);
            plat::Sleep(kOutOfMemoryWaitMs);
            return E_FAIL;
        }
        if (dwNew > bv->dwBufSize) bv->dwBufSize = dwNew;

        if (pub && ba->wBildTeile >= 1 && pub->dmOrientation == DMORIENT_LANDSCAPE) {
            HRESULT hr = JoinLandscapeStrip(pOemPDev, *pub, fixed, pSrcBitmap, band, pIPParams);
            if (FAILED(hr)) return hr;
        } else {
            StoreBand(bv, ba, pSrcBitmap, band, pIPParams);
        }
    } else {
        Trace(u"UNI(GraphicsUni):  ImageProcessing() Bildteil ohne Daten (biSizeImage 0) \r\n");
    }

    BITMAPFILEHEADER& fh = bv->bmFileHeader;
    fh.bfType = kBmpType;
    fh.bfSize = bv->bmInfoHeader.biSizeImage + kBmpHeadersSize + 4 * pOemPDev->cPalColors;
    fh.bfReserved1 = 0;
    fh.bfReserved2 = 0;
    fh.bfOffBits = kBmpHeadersSize + (bv->bPaletteValid ? 4 * pOemPDev->cPalColors : 0);

    fixed.bQuality = 1;
    d->dwDocFeatures |= DOC_FEATURE_QUALITY;
    Trace(
        u"UNI(GraphicsUni):  ImageProcessing() Ende - wBildTeile: %d, biWidth: %d, biHeight: %d, "
        u"dwBufSize: %u \r\n",
        ba->wBildTeile, bv->bmInfoHeader.biWidth, bv->bmInfoHeader.biHeight, bv->dwBufSize);
    return S_OK;
}

}  // namespace kx
