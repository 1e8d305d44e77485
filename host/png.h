// PNG page images: every colour type and bit depth, Adam7 interlacing,
// transparency laid on white.
#pragma once

#include <cstdint>
#include <vector>

#include "host/image.h"

namespace kxhost {

// Decodes a PNG file to 8-bit RGB. The pixels are those libpng's simplified
// reader gives for RGB output on a white background: 8-bit samples are taken
// as sRGB, 16-bit samples as linear light, and partly transparent pixels are
// blended with white in linear light. Gamma chunks (gAMA, sRGB, iCCP) are
// not read: every file is taken as one without them, so a file's look does
// not change with the program that wrote it. Every chunk's CRC is checked: a
// bad one in a critical chunk is an error, an ancillary chunk with a bad one
// is dropped. The zlib stream's Adler-32 is not checked (the IDAT CRCs
// cover the same bytes), and data past the last row is ignored, as libpng
// ignores it. Throws ImageError ("PNG: ...").
Image DecodePng(const std::vector<std::uint8_t>& bytes);

}  // namespace kxhost
