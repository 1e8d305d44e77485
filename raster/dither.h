// Colour reduction: grey levels, the colour tables of the page record, and
// the two dithering engines (ordered and error diffusion).
//
// The Bitmap operations ConvertToXBit and Dithering (declared in bitmap.h)
// are built from these; the engines are also usable on their own over plain
// pixel spans.
#pragma once

#include <cstddef>

#include "platform/ddi.h"

namespace kx {

// Grey level of a colour: floor(4 * (3R + 6G + floor(3B / 2)) / 41), 0..261.
constexpr int GreyLevel(int r, int g, int b)
{
    return (4 * (3 * r + 6 * g + (3 * b) / 2)) / 41;
}
constexpr int kMaxGreyLevel = 261;

// Print modes (wDruckmodus), graphics filters (wGrafikFilter) and photo
// filters (wPhotoFilter).
enum : WORD { DRUCKMODUS_SPEED = 0, DRUCKMODUS_GRAFIK = 1, DRUCKMODUS_PHOTO = 2 };
enum : WORD {
    FILTER_SCHWARZWEISS = 0,
    FILTER_SCHWELLE = 1,
    FILTER_CLUSTERED4 = 2,
    FILTER_CLUSTERED8 = 3,
    FILTER_CLUSTERED16 = 4,
    FILTER_BAYER4 = 5,
    FILTER_BAYER8 = 6,
};
enum : WORD {
    PHOTO_FLOYD = 0,
    PHOTO_SIERRA = 1,
    PHOTO_BURKES = 2,
    PHOTO_JARVIS = 3,
    PHOTO_SIERRA_MOD = 4,
    PHOTO_STUCKI = 5,
};

// Ribbon colours (wFarbband): the class index of the ribbon colour and its
// 0x00BBGGRR value (black outside 1..6, the custom colour for 6).
int RibbonColourIndex(WORD wFarbband);
DWORD RibbonColourValue(WORD wFarbband, DWORD dwCustomColour);

// The colour tables of the page image record (256 entries each).
void FillGreyPalette(RGBQUAD* table);           // i -> (i, i, i)
void FillColorPalette_250Grey(RGBQUAD* table);  // black, ribbon colours, 246 greys, white
void FillColorPalette_6Colors(RGBQUAD* table);  // black, ribbon colours, near-white, white

// The ordered-dithering matrices, indexed as the filters index them
// (A4, A8, B4, B8 by [x][y], A16 by [y][x]).
extern const BYTE kClusteredA4[4][4];
extern const BYTE kClusteredA8[8][8];
extern const BYTE (&kClusteredA16)[16][16];
extern const BYTE kBayerB4[4][4];
extern const BYTE kBayerB8[8][8];

// Ordered dithering of a 24-bit grey image (three equal bytes per pixel,
// only the first read, rows srcStride bytes apart, in storage order) into an
// 8-bit image of 0 (black) and 255 (white) whose rows are
// ((width + 3) & ~3) bytes apart. wFilter 2..6; FALSE (and nothing written)
// for another filter or without source or target.
BOOL ProcessClusteredDither(WORD wFilter, const BYTE* src, BYTE* dst, int width, int height,
                            std::size_t srcStride);

// Error diffusion of the same kind of image with one of the six kernels
// (wPhotoFilter 0..5). The source is not changed: the errors are carried in
// row buffers of their own. srcStride also sets the column from which no
// error is spread (srcStride - 3). FALSE without source or target or for an
// unknown kernel.
BOOL ProcessFilter(WORD wPhotoFilter, const BYTE* src, BYTE* dst, int width, int height,
                   std::size_t srcStride);

}  // namespace kx
