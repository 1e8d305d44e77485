// The preview writer's BMP check with arbitrary files, and the JPEG encoder
// over whatever the check accepts (output counted, never kept).
#include <cstdint>

#include "raster/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    kx::BmpView view;
    if (kx::CheckBmp24(data, size, &view) != kx::BmpCheck::Ok) return 0;
    // Keep the runs short: the encoder's cost grows with the picture.
    if (std::size_t(view.width) * std::size_t(view.height) > 1u << 16) return 0;
    std::size_t total = 0;
    auto count = [](void* ctx, const BYTE*, std::size_t n) {
        *static_cast<std::size_t*>(ctx) += n;
        return true;
    };
    kx::EncodeJpeg(view.row0, view.width, view.height, view.stride, count, &total);
    if (total > kx::JpegMaxSize(view.width, view.height)) __builtin_trap();
    return 0;
}
