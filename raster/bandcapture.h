// Band capture: the raster the driver host renders, collected into one page
// buffer (ImageProcessing), and the line path of the graphics filter
// (FilterGraphics).
//
// The host hands the page over band by band. Each band is appended to the
// page buffer of the page image record (pOp->pBildverarbeitung), so that at
// page end the whole page lies in memory as a device-independent bitmap with
// its BMP headers, top row first. In landscape the host delivers vertical
// strips, which are joined to the right of what is stored.
#pragma once

#include "plugin/oempdev.h"
#include "raster/pageimage.h"

// The band parts of the page (pOp->pBildanteile): how many bands are stored
// and, per band, the page height reached after it and the page width at it.
// Entries are recorded at index wBildTeile after the band is counted, so the
// first band of a page lands at index 1.
constexpr int kMaxBildTeile = 150;
struct Bildanteile {
    WORD wBildTeile;
    DWORD iBildTeilePosY[kMaxBildTeile];
    DWORD iBildTeilePosX[kMaxBildTeile];
};
static_assert(sizeof(Bildanteile) <= BILDANTEILE_SIZE);

namespace kx {

// The callback identifier under which the host asks for the band without a
// colour table of its own.
constexpr DWORD kBandCallbackNoPalette = 5;

// Job feature bits read and set here (pDruckDaten->dwDocFeatures).
constexpr DWORD kDocFeatureColourPrint = 0x800;  // DOC_FEATURE_COLORPRINT
constexpr DWORD kDocFeatureQuality = 0x1000;     // bGrafikFaehig: the page holds raster graphics

// The largest page buffer band capture builds: the model's largest page
// (the longer of FixedData.lMaxSizeX and lMaxSizeY, squared) at 32 bits per
// pixel, and never more than 1 GiB. A band that would take the buffer
// beyond it is refused, whatever its header claims.
constexpr DWORD kMaxPageBufferBytes = 0x40000000u;
DWORD MaxPageBufferSize(const KX_FIXEDDATA& fixed);

// ImageProcessing: stores one band. pColorTable is not used (the colour
// table comes from the device palette). May change *pBitmapInfoHeader: a
// negative height of the first band becomes positive, and joined landscape
// strips receive the page's new width, height and image size.
HRESULT CaptureBand(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                    PBYTE pColorTable, DWORD dwCallbackID, PIPPARAMS pIPParams);

// Grows the page buffer by dwAdd bytes (zero-filled) and returns the new
// buffer size, 0 on failure (the buffer is then freed).
DWORD bGrowBuffer(OEM_PDEV* pOemPDev, DWORD dwAdd);

// Frees the page buffer and sets dwBufSize to 0 (page end calls it too).
void vFreeBuffer(OEM_PDEV* pOemPDev);

// A zeroed block from the page heap, null on failure.
BYTE* CreateBufferHA(HANDLE hHeap, DWORD dwSize);
void FreeBufferHA(HANDLE hHeap, BYTE* pBuffer);

// Fills the page's colour table from the device palette: cPalColors entries
// read from OEM_PDEV::hPalette, the last one forced to white.
BOOL bFillColorTable(PDEVOBJ pdevobj);

// FilterGraphics: sends one raster line of the line path, run-length coded
// (bCompress 1) or raw as a D record.
HRESULT FilterGraphicsLine(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, PBYTE pBuf, DWORD dwLen);

}  // namespace kx
