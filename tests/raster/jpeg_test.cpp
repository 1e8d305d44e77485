// The JPEG writer: its fixed file layout, pictures decoded by libjpeg's
// djpeg close to their source, the worst-case size, refused BMP files and
// the preview export.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "platform/platform.h"
#include "raster/jpeg.h"
#include "raster_fixture.h"
#include "support/harness.h"

using kx::Bitmap;
using kx::RGBColour;
using namespace kxtest;

namespace {

// Photo-like test content: smooth shading, a hard edge and some texture.
DWORD PhotoPixel(int x, int y)
{
    const double fx = x / 9.0, fy = y / 7.0;
    int r = int(128 + 100 * std::sin(fx) * std::cos(fy));
    int g = int(90 + 60 * std::cos(fx * 0.7 + fy));
    int b = x > y ? 200 : 40;
    r = std::clamp(r + ((x * 7 + y * 13) % 9) - 4, 0, 255);
    return RGBColour(BYTE(r), BYTE(g), BYTE(b));
}

// Top-down BGR rows of a picture.
std::vector<BYTE> Pixels(int w, int h, DWORD (*f)(int, int))
{
    std::vector<BYTE> px(std::size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const DWORD c = f(x, y);
            BYTE* p = &px[(std::size_t(y) * w + x) * 3];
            p[0] = kx::BlueOf(c);
            p[1] = kx::GreenOf(c);
            p[2] = kx::RedOf(c);
        }
    return px;
}

// PSNR (dB) of a decoded picture against its BGR source.
double Psnr(const kxhost::Image& p, const std::vector<BYTE>& bgr)
{
    double se = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const double d = p.Pixel(x, y)[c] - bgr[(std::size_t(y) * p.width + x) * 3 + 2 - c];
                se += d * d;
            }
    const double mse = se / (3.0 * p.width * p.height);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

// The file's markers, fixed tables and byte stuffing byte for byte: the
// golden job preview-jpeg-300 (its JPEG file). Here the refusals.
TEST(JpegLayout, Refusals)
{
    const auto px = Pixels(61, 37, PhotoPixel);
    EXPECT_TRUE(kx::EncodeJpeg(px.data(), 0, 37, 61 * 3).empty());
    EXPECT_TRUE(kx::EncodeJpeg(nullptr, 8, 8, 24).empty());
    EXPECT_TRUE(kx::EncodeJpeg(px.data(), 70000, 1, 3).empty());
}

// Decoded by djpeg close to the source, within the worst-case size even for
// noise.
TEST(JpegDecode, DjpegReadsItCloseToTheSource)
{
    struct Case {
        int w, h;
        DWORD (*f)(int, int);
        double minPsnr;
    };
    const Case cases[] = {
        {61, 37, PhotoPixel, 36.0},  // not a whole number of blocks
        {128, 96, PhotoPixel, 36.0},
        {1, 1, [](int, int) { return RGBColour(200, 30, 90); }, 36.0},
        {24, 9, [](int x, int) { return x % 2 ? 0xFFFFFFu : 0u; }, 36.0},  // one-pixel stripes
        {64, 40, [](int x, int y) { return DWORD(Lcg(std::uint32_t(y * 64 + x))() & 0xFFFFFF); },
         25.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
        const auto px = Pixels(c.w, c.h, c.f);
        // Bottom-up, as a DIB lies in memory: row 0 at the end, negative stride.
        std::vector<BYTE> dib;
        for (int y = c.h - 1; y >= 0; --y)
            dib.insert(dib.end(), px.begin() + std::ptrdiff_t(y) * c.w * 3,
                       px.begin() + std::ptrdiff_t(y + 1) * c.w * 3);
        const auto j = kx::EncodeJpeg(dib.data() + std::size_t(c.h - 1) * c.w * 3, c.w, c.h,
                                      -std::ptrdiff_t(c.w) * 3);
        ASSERT_FALSE(j.empty());
        EXPECT_LE(j.size(), kx::JpegMaxSize(c.w, c.h));
        if (!HaveTool("/usr/bin/djpeg")) continue;
        const std::string path = ::testing::TempDir() + "decode.jpg";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(j.data()), j.size());
        const kxhost::Image p = Decode("/usr/bin/djpeg -ppm '" + path + "'");
        ASSERT_EQ(p.width, c.w);
        ASSERT_EQ(p.height, c.h);
        EXPECT_GE(Psnr(p, px), c.minPsnr);
    }
}

TEST(JpegFiles, BmpFilesAcceptedAndRefused)
{
    SimSandbox sandbox;
    BitmapDevice d;
    const std::u16string dir = kx::plat::GetFolderPath(kx::plat::Folder::Temp) + u"\\";
    Bitmap rgb(d.oem(), 30, 20, 24);
    Paint(rgb, PhotoPixel);
    ASSERT_EQ(rgb.Save(dir + u"p24.bmp"), kx::BMP_SAVE_OK);
    EXPECT_TRUE(kx::SaveJpgFile(dir + u"p24.bmp", dir + u"p24.jpg"));
    const std::string jpg = SimSandbox::ReadHostFile(sandbox.HostPath(dir + u"p24.jpg"));
    ASSERT_GT(jpg.size(), 4u);
    EXPECT_EQ(std::uint8_t(jpg[0]), 0xFF);
    EXPECT_EQ(std::uint8_t(jpg[jpg.size() - 1]), 0xD9);
    // Decoded upright and close to the page: the golden job preview-jpeg-300.

    // 8 bits (and any other depth: the header checks below) are refused and
    // leave no JPEG; so are missing and broken files.
    Bitmap grey(d.oem(), 8, 8, 8);
    ASSERT_EQ(grey.Save(dir + u"p8.bmp"), kx::BMP_SAVE_OK);
    EXPECT_FALSE(kx::SaveJpgFile(dir + u"p8.bmp", dir + u"p8.jpg"));
    EXPECT_FALSE(kx::plat::PathFileExists(dir + u"p8.jpg"));
    EXPECT_FALSE(kx::SaveJpgFile(dir + u"missing.bmp", dir + u"m.jpg"));
    EXPECT_FALSE(kx::plat::PathFileExists(dir + u"m.jpg"));

    const std::string whole = SimSandbox::ReadHostFile(sandbox.HostPath(dir + u"p24.bmp"));
    std::ofstream(sandbox.HostPath(dir + u"cut.bmp"), std::ios::binary)
        .write(whole.data(), std::streamsize(whole.size() - 1));
    EXPECT_FALSE(kx::SaveJpgFile(dir + u"cut.bmp", dir + u"cut.jpg"));
    EXPECT_FALSE(kx::plat::PathFileExists(dir + u"cut.jpg"));
}

TEST(JpegFiles, HeaderChecks)
{
    // A 2 x 2 24-bit BMP, bottom-up, rows of 8 bytes.
    std::vector<BYTE> f(54 + 16, 0);
    f[0] = 'B';
    f[1] = 'M';
    f[10] = 54;
    f[14] = 40;
    f[18] = 2;
    f[22] = 2;
    f[28] = 24;
    f[54] = 1;      // bottom row, first pixel's blue
    f[54 + 8] = 2;  // top row
    kx::BmpView v;
    ASSERT_EQ(kx::CheckBmp24(f.data(), f.size(), &v), kx::BmpCheck::Ok);
    EXPECT_EQ(v.row0[0], 2);
    EXPECT_EQ(v.stride, -8);
    f[22] = 0xFE;  // height -2: top-down
    f[23] = f[24] = f[25] = 0xFF;
    ASSERT_EQ(kx::CheckBmp24(f.data(), f.size(), &v), kx::BmpCheck::Ok);
    EXPECT_EQ(v.row0[0], 1);
    EXPECT_EQ(v.stride, 8);

    auto check = [&](std::size_t at, BYTE value) {
        std::vector<BYTE> g = f;
        g[at] = value;
        return kx::CheckBmp24(g.data(), g.size(), nullptr);
    };
    EXPECT_EQ(check(28, 32), kx::BmpCheck::NotTrueColour);
    EXPECT_EQ(check(28, 8), kx::BmpCheck::NotTrueColour);
    EXPECT_EQ(check(30, 1), kx::BmpCheck::NotTrueColour);  // compressed
    EXPECT_EQ(check(0, 'X'), kx::BmpCheck::Invalid);
    EXPECT_EQ(check(14, 12), kx::BmpCheck::Invalid);    // old core header
    EXPECT_EQ(check(18, 0), kx::BmpCheck::Invalid);     // no width
    EXPECT_EQ(check(18, 3), kx::BmpCheck::Invalid);     // rows beyond the file
    EXPECT_EQ(check(10, 60), kx::BmpCheck::Invalid);    // pixels beyond the file
    EXPECT_EQ(check(21, 0x80), kx::BmpCheck::Invalid);  // negative width
    EXPECT_EQ(kx::CheckBmp24(f.data(), 53, nullptr), kx::BmpCheck::Invalid);
}

TEST(JpegFiles, PreviewExport)
{
    SimSandbox sandbox;
    BitmapDevice d;
    const std::u16string base = kx::plat::GetFolderPath(kx::plat::Folder::Temp) + u"\\job";
    Bitmap page(d.oem(), 120, 90, 24);
    Paint(page, PhotoPixel);

    // Without the JPEG the scaled BMP stays.
    ASSERT_TRUE(kx::SavePreview(d.oem(), page, 41, 999, TRUE, base, FALSE));
    EXPECT_TRUE(kx::plat::PathFileExists(base + u"-Resize.bmp"));
    EXPECT_FALSE(kx::plat::PathFileExists(base + u"-Resize.jpg"));
    EXPECT_EQ(page.Width, 120);  // the page itself is untouched

    // With it the BMP goes once the JPEG is written.
    ASSERT_TRUE(kx::SavePreview(d.oem(), page, 41, 999, TRUE, base, TRUE));
    EXPECT_FALSE(kx::plat::PathFileExists(base + u"-Resize.bmp"));
    ASSERT_TRUE(kx::plat::PathFileExists(base + u"-Resize.jpg"));
    if (HaveTool("/usr/bin/djpeg")) {
        const kxhost::Image p =
            Decode("/usr/bin/djpeg -ppm '" + sandbox.HostPath(base + u"-Resize.jpg") + "'");
        EXPECT_EQ(p.width, 41);
        EXPECT_EQ(p.height, 29);  // trunc(89 / (119 / 40))
    }

    // An 8-bit page (as page end leaves it with debug images on) makes no JPEG.
    Bitmap grey(d.oem(), 50, 50, 8);
    EXPECT_FALSE(kx::SavePreview(d.oem(), grey, 20, 20, FALSE, base + u"8", TRUE));
    EXPECT_FALSE(kx::plat::PathFileExists(base + u"8-Resize.jpg"));
    EXPECT_EQ(d.pdev.iNewZaehler, 2);
}
