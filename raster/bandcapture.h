// Band capture: the raster the driver host renders, collected into one page
// buffer (ImageProcessing), and the line path of the graphics filter
// (FilterGraphics).
//
// The host hands the page over band by band. Each band is appended to the
// page buffer of the page image record (pOp->pBildverarbeitung), so that at
// page end the whole page lies in memory as a device-independent bitmap with
// its BMP headers, top row first. In landscape the host delivers vertical
// strips, which are joined to the right of what is stored.
//
// How it treats unusual input from the host:
//   - A page buffer never exceeds MaxPageBufferSize (the model's largest page
//     at 32 bits per pixel, at most 1 GiB). A band that would take it beyond
//     is refused and the partial page dropped, without the out-of-memory
//     wait: it is a header out of range, not a shortage of memory.
//   - All header arithmetic is 64-bit or, for the accumulated 32-bit header
//     fields, modulo 2^32; the most negative first-band height becomes
//     INT32_MAX (and fails the size check).
//   - A band whose image size is 0 changes only the headers.
//   - The band tables hold 150 entries: further bands are stored, counted and
//     traced, but their positions are not recorded.
//   - Landscape joining checks every part it copies against the new buffer,
//     the stored page and the strip's own image size, and stops at the first
//     part that does not fit (traced); a strip that copies nothing drops the
//     page. The part of a blank strip stays white without its bits being
//     read. Without a resolution the strip is appended as it is.
//   - The page buffer is one block for the whole page where the public
//     devmode's paper length tells the page's rows at its first band
//     (portrait); otherwise, or for a page longer than that, it grows ahead
//     of the page (dwBufCapacity), by half again at most 64 MiB at a time.
//     dwBufSize is always the page's exact size. The block is not cleared:
//     each band writes its own bytes.
//   - bFillColorTable reads at most the 256 entries of the page's table.
#pragma once

#include "core/oempdev.h"
#include "core/pageparts.h"
#include "raster/pageimage.h"
#include "settings/models.h"

namespace kx {

// The callback identifier under which the host asks for the band without a
// colour table of its own.
constexpr DWORD kBandCallbackNoPalette = 5;

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

// Grows the page buffer by dwAdd bytes (left for the caller to fill) and
// returns the new buffer size, 0 on failure (the buffer is then freed).
// dwPageAhead, when larger, is the size of the first block of a page: the
// whole page's size where it is known ahead, so that no later band needs a
// new block.
DWORD bGrowBuffer(OEM_PDEV* pOemPDev, DWORD dwAdd, DWORD dwPageAhead = 0);

// Frees the page buffer and sets dwBufSize to 0 (page end calls it too).
void vFreeBuffer(OEM_PDEV* pOemPDev);

// Hands the page buffer over to the caller, who frees it with
// plat::HeapFree: the page image record holds no buffer any more
// (dwBufSize 0) and the block no longer counts among the job's heap blocks.
// Null when there is no buffer.
BYTE* TakePageBuffer(OEM_PDEV* pOemPDev);

// Readies the page image record for the next page: frees the buffer and
// clears the headers, the palette flag and the band count, so that the next
// band is the first of a new page.
void ResetPageImage(OEM_PDEV* pOemPDev);

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
