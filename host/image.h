// Page images for kxrender: reading PNG, BMP and netpbm files, and cutting
// a page into the raster the driver host hands over - DIB bands of 1, 8 or
// 24 bits per pixel for ImageProcessing, or one-bit printer lines for
// FilterGraphics.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace kxhost {

class ImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The largest image kxrender reads: no label printer has a page of more
// than 64 million dots, and the limit keeps a corrupt header from asking
// for gigabytes.
constexpr std::uint64_t kMaxImagePixels = 64u * 1024u * 1024u;
constexpr int kMaxImageSide = 65535;

// An image as 8-bit RGB, three bytes per pixel, top row first.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    const std::uint8_t* Pixel(int x, int y) const
    {
        return &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    }
};

// Reads a PNG (host/png.h), BMP (uncompressed, 1 to 32 bits),
// or netpbm (P1 to P6) file, recognised by its first bytes. Transparent
// pixels are laid on white. Throws ImageError.
Image LoadImage(const std::filesystem::path& path);
Image DecodeImage(const std::vector<std::uint8_t>& bytes);

// The grey level of a pixel (ITU-R 601 weights, rounded).
inline int Grey(const std::uint8_t* p)
{
    return (p[0] * 299 + p[1] * 587 + p[2] * 114 + 500) / 1000;
}

// Bytes of one DIB row of width pixels: rows are padded to 4 bytes.
std::uint32_t DibRowBytes(int width, int bits);

// A rectangle of the image as the rows of a DIB band, top row first, each
// padded to 4 bytes. 24 bits: blue, green, red. 8 bits: the grey level (the
// index into the device's grey palette). 1 bit: the two-colour table of the
// band has black at index 0 and white at index 1; a pixel is black when its
// grey level is below 128. Padding is white.
std::vector<std::uint8_t> DibBand(const Image& img, int x0, int y0, int width, int height,
                                  int bits);

// True when every pixel of the band is white (the band is blank).
bool IsBlankBand(const std::vector<std::uint8_t>& band);

// One printer line for the line path: 1 bit per pixel, most significant
// bit first, 1 = black (grey level below 128), (width + 7) / 8 bytes.
std::vector<std::uint8_t> PrinterLine(const Image& img, int y);

}  // namespace kxhost
