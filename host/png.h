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
// not change with the program that wrote it. Throws ImageError ("PNG: ...").
Image DecodePng(const std::vector<std::uint8_t>& bytes);

}  // namespace kxhost
