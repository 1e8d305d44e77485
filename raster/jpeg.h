// The JPEG writer of the diagnostic preview ("-Resize.jpg").
//
// A baseline sequential JFIF file with fixed choices: the example tables of
// the JPEG standard's Annex K (quantisation scaled to a quarter, the four
// standard Huffman tables), no chroma subsampling, a floating-point DCT, no
// restart markers. The encoder is a pure function from 24-bit pixel rows to
// bytes handed to a sink; the file functions around it read the preview BMP
// and write the JPEG through the platform file API.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "raster/bitmap.h"

namespace kx {

// Receives the encoded bytes in order; false stops the encoder.
using JpegWrite = bool (*)(void* ctx, const BYTE* data, std::size_t size);

// The most bytes EncodeJpeg can produce for a width x height picture (every
// coefficient at its largest code, every byte stuffed): 611 bytes of
// markers and tables plus 1248 bytes per 8 x 8 block.
std::size_t JpegMaxSize(int width, int height);

// Encodes width x height pixels of three bytes (blue, green, red); picture
// row y (0 = top) starts at row0 + y * stride (a negative stride walks a
// bottom-up DIB). Width and height 1..65535. A picture that is not a whole
// number of 8 x 8 blocks is completed by repeating its last column and row.
// False for bad arguments or when the sink stops.
bool EncodeJpeg(const BYTE* row0, int width, int height, std::ptrdiff_t stride, JpegWrite write,
                void* ctx);
// The same into a byte vector (empty on failure).
std::vector<BYTE> EncodeJpeg(const BYTE* row0, int width, int height, std::ptrdiff_t stride);

// A 24-bit BMP file image as the writer accepts it.
struct BmpView {
    int width = 0;
    int height = 0;
    const BYTE* row0 = nullptr;  // top row
    std::ptrdiff_t stride = 0;   // from one picture row to the next
};
enum class BmpCheck {
    Ok,
    NotTrueColour,  // "Need a truecolor BMP to encode."
    Invalid,        // headers or sizes that do not fit the file
};
// Checks a BMP file held in memory (size bytes). Uncompressed 24-bit files
// with a 40-byte or larger info header, bottom-up or top-down; the pixels
// must lie within the file.
BmpCheck CheckBmp24(const BYTE* file, std::size_t size, BmpView* view);

// load_bitmap and the writer: reads the 24-bit BMP at bmpPath and writes
// its JPEG to jpgPath. FALSE (and no JPEG file) when the BMP is missing,
// not a 24-bit file, or cannot be held in memory; the failure is traced.
BOOL SaveJpgFile(std::u16string_view bmpPath, std::u16string_view jpgPath);

// The preview of a page (before colour reduction): a copy of page scaled
// with ResizeBilinear to iWidth x iHeight (with bKeepRatio the height
// follows the width), saved as <prnFileBase>"-Resize.bmp"; with bJpeg it is
// then encoded into <prnFileBase>"-Resize.jpg" and the BMP is deleted. The
// preview is a by-product: its result never changes the print data.
BOOL SavePreview(OEM_PDEV* pOemPDev, const Bitmap& page, int iWidth, int iHeight, BOOL bKeepRatio,
                 std::u16string_view prnFileBase, BOOL bJpeg);

}  // namespace kx
