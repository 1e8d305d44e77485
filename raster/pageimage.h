// The page image record (pOp->pBildverarbeitung): the page buffer that band
// capture collects, its BMP headers and the colour tables of the page.
//
// Band capture fills the buffer and headers; job start points the three
// colour tables into pRGBBuffer (page table at 0, saved colour table at 1024,
// ribbon-colour table at 2048) and fills them; the Bitmap operations read the
// buffer size and the tables, and record the colour-pixel count and the bit
// count they leave the page with.
#pragma once

#include "platform/ddi.h"

struct Bildverarbeitung {
    BYTE* pBufStart;    // page pixels, rows top row first (as the bands arrive)
    DWORD dwBufSize;    // bytes in pBufStart; 0 while no page is collected
    DWORD dwBufOffset;  // where the band of the current call is stored
    BITMAPFILEHEADER bmFileHeader;
    BITMAPINFOHEADER bmInfoHeader;  // whole page: width, accumulated height and size
    RGBQUAD* prgbq;                 // the page's colour table (256 entries)
    RGBQUAD* prgbqSaved;            // colour table kept for colour printing (may be null)
    DWORD bHeadersFilled;           // the headers were taken from the first band
    DWORD bPaletteValid;            // prgbq belongs in the BMP
    DWORD dwFarbmodus;              // 1 grey, 2 colour (set by job start)
    DWORD dwFarbpixel;              // ribbon-colour pixels found by the last conversion
    RGBQUAD* prgbqColour;           // colour table of the ribbon-colour bitmap (may be null)
    // Bytes allocated at pBufStart (at least dwBufSize). Band capture grows
    // the block ahead of the page so that appending a band rarely copies the
    // page; pBufStart is freed only through vFreeBuffer.
    DWORD dwBufCapacity;
};
static_assert(sizeof(Bildverarbeitung) <= 128);
