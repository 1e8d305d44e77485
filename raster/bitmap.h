// Bitmap: the in-memory page image that page end works on.
//
// The pixels are kept exactly as a bottom-up Windows DIB: rows padded to four
// bytes, row y of the picture (y = 0 at the top) at byte
// (Height - y - 1) * ScanLineSize of Data, 1-bit pixels most significant bit
// first, 4-bit pixels high nibble first, 24-bit pixels blue, green, red. The
// BMP file header, info header and a 256-entry colour table are kept ready,
// so saving is a plain write.
//
// Colours passed to and from the pixel functions are 0x00BBGGRR (red in the
// low byte). Data comes from the process heap; a bitmap whose DataSize is 0
// could not be built and every operation on it does nothing.
//
// Operations that produce a new image (rotation, scaling, colour reduction)
// build a second Bitmap and take it over with operator=; when the second one
// cannot be allocated the bitmap is left unchanged. Nothing throws.
#pragma once

#include <string_view>

#include "core/oempdev.h"
#include "raster/pageimage.h"

namespace kx {

// Format codes of the constructor's source block.
constexpr int BM_COPY = 0;  // copy the source as it is (bottom-up rows)
constexpr int BM_FLIP = 2;  // the page buffer: top row first, turned while copying
// The page buffer itself (source is the page image record's pBufStart): when
// it holds the whole picture the bitmap takes the block over and turns its
// rows in place, with no second copy of the page; the record is left without
// a buffer. Otherwise as BM_FLIP.
constexpr int BM_TAKE_PAGE = 3;

// Results of Bitmap::Save.
constexpr int BMP_SAVE_OK = 0;
constexpr int BMP_SAVE_NO_FILE = 7;  // no pixel data, or the file could not be opened
constexpr int BMP_SAVE_WRITE_ERROR = 10;

// The value InitInfo is called with.
constexpr int BMP_INFO_HEADER_TYPE = 11;

// 0x00BBGGRR colours.
constexpr DWORD RGBColour(BYTE r, BYTE g, BYTE b)
{
    return DWORD(r) | (DWORD(g) << 8) | (DWORD(b) << 16);
}
constexpr BYTE RedOf(DWORD c)
{
    return BYTE(c);
}
constexpr BYTE GreenOf(DWORD c)
{
    return BYTE(c >> 8);
}
constexpr BYTE BlueOf(DWORD c)
{
    return BYTE(c >> 16);
}

class Bitmap {
public:
    // Width x Height pixels of Bpp bits (1, 4, 8, 16, 24 or 32), white. With
    // a source block, Format BM_FLIP copies the page buffer of the page image
    // record turned upside down (only the whole rows that its dwBufSize
    // holds); BM_TAKE_PAGE takes that buffer over where it can; any other
    // format copies min(DataSize, dwBufSize) bytes as they are. Needs
    // pOemPDev->pOp->pBildverarbeitung; without it, or for an empty size, DataSize stays 0.
    Bitmap(OEM_PDEV* pOemPDev, int iWidth, int iHeight, int iBpp, const BYTE* source = nullptr,
           int Format = BM_COPY);
    virtual ~Bitmap();

    Bitmap(const Bitmap&) = delete;
    // Takes over another bitmap's headers, colour table and pixels.
    Bitmap& operator=(const Bitmap& other);

    // Fills BMPHeader and BMPInfoHeader from the fields.
    void InitHeader();
    // Sets the fields from BMPInfoHeader (HeaderType BMP_INFO_HEADER_TYPE).
    void InitInfo(int HeaderType);

    // Writes the bitmap as a BMP file through the platform file API:
    // BMP_SAVE_OK, BMP_SAVE_NO_FILE or BMP_SAVE_WRITE_ERROR.
    int Save(std::u16string_view path) const;

    // Copies Colors entries into Palette (Bpp <= 8), else FALSE.
    BOOL SetPalette(const RGBQUAD* entries);
    // Sets one colour-table entry; the previous colour, or -1.
    LONG SetPaletteColor(int index, DWORD colour);

    // 0x00BBGGRR of a pixel; 0xFFFFFFFF outside the bitmap or for an
    // unsupported depth, 0 without data. 16-bit pixels are read as 5-6-5.
    DWORD GetPixelColor(int x, int y) const;
    // For Bpp >= 16; positions outside are ignored.
    void SetPixelColor(int x, int y, DWORD colour);
    // Palette index for Bpp 1, 4, 8; -1 outside or for other depths.
    int GetPixelIndex(int x, int y) const;
    // For Bpp <= 8 and index < Colors; positions outside are ignored.
    void SetPixelIndex(int x, int y, int index);

    // Row y of the picture (0 = top). No range check.
    BYTE* Row(int y) { return Data + std::size_t(Height - 1 - y) * ScanLineSize; }
    const BYTE* Row(int y) const { return Data + std::size_t(Height - 1 - y) * ScanLineSize; }

    // Geometry. Each returns FALSE when the new image could not be allocated
    // (the bitmap is then unchanged) and TRUE otherwise.
    BOOL Rotate90(OEM_PDEV* pOemPDev);             // a quarter turn
    BOOL Rotate(OEM_PDEV* pOemPDev, float angle);  // degrees, any angle
    BOOL ResizeBilinear(OEM_PDEV* pOemPDev, int iNewWidth, int iNewHeight, BOOL bKeepRatioByWidth,
                        BOOL bKeepRatioByHeight);

    // Content test of a 1-bit page: FALSE for an all-white or all-black page.
    BOOL CheckInhalt() const;

    // Colour reduction (dither.cpp). NewBpp 8: classification into an 8-bit
    // index image; the result packs the blank rows at the top (low word) and
    // at the bottom (high word). NewBpp 1: exact colour match to one bit;
    // the result is 1.
    DWORD ConvertToXBit(int NewBpp, Bitmap* pColourBitmap, BOOL bColourPlane, PDEVOBJ pdevobj,
                        BOOL* pbColourFound);
    // Brightness, contrast and curve, then ordered dithering or error
    // diffusion into an 8-bit black-and-white image. FALSE for a page without
    // content or when memory ran out (the bitmap is then unchanged).
    BOOL Dithering(PDEVOBJ pdevobj);
    // Page end's reductions to one bit, each the same as the two operations
    // named, in one pass over the page where the layout allows (a page of
    // eight bits and more, no colour printing). ClassifyToOneBit: in a
    // threshold mode, ConvertToXBit(8) then ConvertToXBit(1) (no colour
    // plane), with ConvertToXBit(8)'s result. DitherToOneBit: Dithering and,
    // when it succeeds, ConvertToXBit(1), with Dithering's result.
    DWORD ClassifyToOneBit(PDEVOBJ pdevobj, BOOL* pbColourFound);
    BOOL DitherToOneBit(PDEVOBJ pdevobj, BOOL* pbColourFound);

    // Graphics record (pcx.cpp).
    WORD SendPCX(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, BOOL bColourPlane);
    DWORD SendDSatz(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, BOOL bColourPlane);

    // The fields, in the order of the record they mirror.
    int Width = 0;
    int Height = 0;
    int Bpp = 0;
    int Colors = 0;
    DWORD DataSize = 0;      // Height * ScanLineSize; 0 marks a bitmap that could not be built
    DWORD ScanLineSize = 0;  // ((Bpp * Width + 31) / 32) * 4
    BYTE* Data = nullptr;
    RGBQUAD Palette[256] = {};
    int widthM1 = 0;
    int heightM1 = 0;
    BITMAPFILEHEADER BMPHeader = {};
    BITMAPINFOHEADER BMPInfoHeader = {};
    HANDLE hHeap = nullptr;

private:
    void FreeData();
    // Takes the page buffer over as Data and turns its rows (BM_TAKE_PAGE).
    void TakePage(OEM_PDEV* pOemPDev);
    // Takes over another bitmap's headers, colour table and pixel block (the
    // block moves, it is not copied); the other bitmap is left empty.
    void TakeOver(Bitmap& other);
    // Makes the bitmap the one-bit page whose rows were written in place at
    // its own block: the row size, the two colours (target 0 and white) and
    // the headers.
    void SetOneBitLayout(DWORD target0);
    OEM_PDEV* m_pOemPDev = nullptr;  // for the object count of page end
};

}  // namespace kx
