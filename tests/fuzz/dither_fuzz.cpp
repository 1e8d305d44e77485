// Colour reduction and geometry over pages of arbitrary size, depth,
// settings and content: the first bytes choose, the rest are the pixels.
#include <cstdint>
#include <cstring>
#include <vector>

#include "raster/raster_fixture.h"

namespace {

struct Input {
    const std::uint8_t* p;
    std::size_t n;
    std::uint8_t Byte()
    {
        if (!n) return 0;
        --n;
        return *p++;
    }
    WORD Word() { return WORD(Byte() | (Byte() << 8)); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    Input in{data, size};
    kxtest::BitmapDevice d;
    static const int kDepths[] = {1, 4, 8, 16, 24, 32};
    const int width = 1 + in.Byte() % 48;
    const int height = 1 + in.Byte() % 48;
    const int bpp = kDepths[in.Byte() % 6];
    d.devmode.wDruckmodus = in.Byte() % 4;
    d.devmode.wGrafikFilter = in.Byte() % 9;
    d.devmode.wPhotoFilter = in.Byte() % 8;
    d.devmode.wEmpfindlichkeit = in.Word();
    d.devmode.wBrightnessContrast = in.Word();
    d.devmode.dwBrightnessAll = DWORD(std::int8_t(in.Byte()));
    d.devmode.dwBrightnessCurve = DWORD(std::int8_t(in.Byte()));
    d.devmode.wFarbband = in.Byte() % 9;
    d.devmode.dwRGBColorOwn1 = in.Word();
    d.devmode.dwColorTolerance = in.Word();
    d.devmode.wColorChannel = in.Byte() % 6;
    d.devmode.wColorSeam = in.Byte() % 4;
    d.devmode.wHorizontalCorrGap = in.Byte();
    d.devmode.wNoColorOptimization = in.Byte() & 1;
    d.ColourPrint(in.Byte() & 1);
    const std::uint8_t ops = in.Byte();
    float angle;
    const std::uint32_t a = std::uint32_t(in.Word()) | (std::uint32_t(in.Word()) << 16);
    std::memcpy(&angle, &a, sizeof(angle));
    const int newW = in.Byte() % 64, newH = in.Byte() % 64;

    kx::Bitmap page(d.oem(), width, height, bpp);
    if (!page.DataSize) return 0;
    for (DWORD i = 0; i < page.DataSize; ++i) page.Data[i] = in.Byte();
    if (bpp <= 8)
        for (auto& q : page.Palette) q = {in.Byte(), in.Byte(), in.Byte(), 0};

    kx::Bitmap colour(d.oem(), width, height, 8);
    colour.SetPalette(d.tables[2]);
    BOOL found = TRUE;
    if (ops & 1) page.ResizeBilinear(d.oem(), newW, newH, ops & 2 ? 1 : 0, ops & 4 ? 1 : 0);
    if (ops & 8)
        page.ConvertToXBit(8, page.Width == width && page.Height == height ? &colour : nullptr, 0,
                           d.dev(), &found);
    if (ops & 16) page.Rotate(d.oem(), angle);
    if (ops & 32) page.Dithering(d.dev());
    page.ConvertToXBit(1, nullptr, 0, d.dev(), nullptr);
    page.CheckInhalt();
    colour.ConvertToXBit(1, nullptr, 1, d.dev(), nullptr);
    colour.Rotate90(d.oem());

    // The engines on their own, with the same pixels as a grey source.
    const std::size_t stride = ((24 * std::size_t(width) + 31) / 32) * 4;
    std::vector<BYTE> src(stride * std::size_t(height));
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = BYTE(data[i % size]);
    std::vector<BYTE> dst(((std::size_t(width) + 3) & ~std::size_t(3)) * height);
    kx::ProcessFilter(d.devmode.wPhotoFilter, src.data(), dst.data(), width, height, stride);
    kx::ProcessClusteredDither(d.devmode.wGrafikFilter, src.data(), dst.data(), width, height,
                               stride);
    return 0;
}
