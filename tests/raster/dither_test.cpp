// Colour reduction: grey levels and thresholds, classification and blank
// rows, the tone corrections of Dithering, the ordered matrices, the
// error-diffusion kernels at every edge, and colour printing.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "bitmap_fixture.h"
#include "raster/dither_internal.h"

using kx::Bitmap;
using kx::RGBColour;
using namespace kxtest;

namespace {

// A 24-bit page of the given pixels (top row first).
std::unique_ptr<Bitmap> Page24(BitmapDevice& d, const std::vector<std::vector<DWORD>>& rows)
{
    auto b = std::make_unique<Bitmap>(d.oem(), int(rows[0].size()), int(rows.size()), 24);
    Paint(*b, [&](int x, int y) { return rows[std::size_t(y)][std::size_t(x)]; });
    return b;
}

// Runs the threshold path of page end on one pixel: ConvertToXBit(8), then
// (1). True when the pixel prints.
bool PrintsAlone(BitmapDevice& d, DWORD colour)
{
    auto b = Page24(d, {{colour, 0xFFFFFF}});
    b->ConvertToXBit(8, nullptr, 0, d.dev(), nullptr);
    b->ConvertToXBit(1, nullptr, 0, d.dev(), nullptr);
    EXPECT_EQ(b->Bpp, 1);
    return Printed(*b, 0, 0);
}

// The corrected grey values that Dithering computes, read back by running
// it outside the dithering modes (then it keeps them undithered).
std::vector<int> ToneOf(BitmapDevice& d, const std::vector<int>& levels)
{
    std::vector<DWORD> row;
    for (int L : levels) row.push_back(ColourOfLevel(L));
    row.push_back(0x000000);  // something different, so the page has content
    row.push_back(0xFFFFFF);
    const WORD mode = d.devmode.wDruckmodus;
    d.devmode.wDruckmodus = kx::DRUCKMODUS_SPEED;
    auto b = Page24(d, {row});
    EXPECT_TRUE(b->Dithering(d.dev()));
    d.devmode.wDruckmodus = mode;
    std::vector<int> out;
    for (std::size_t x = 0; x < levels.size(); ++x) out.push_back(b->GetPixelIndex(int(x), 0));
    return out;
}

}  // namespace

TEST(DitherThreshold, GreyLevelAndTheThresholdAroundIt)
{
    EXPECT_EQ(kx::GreyLevel(128, 128, 128), 131);
    EXPECT_EQ(kx::GreyLevel(255, 255, 255), 261);
    EXPECT_EQ(kx::GreyLevel(0, 0, 1), 0);  // floor(3 / 2) = 1, 4 / 41 = 0
    EXPECT_EQ(kx::GreyLevel(0, 0, 255), 37);

    BitmapDevice d;
    d.Mode(kx::DRUCKMODUS_GRAFIK, kx::FILTER_SCHWELLE, 132);
    EXPECT_TRUE(PrintsAlone(d, Grey(128)));
    d.devmode.wEmpfindlichkeit = 131;
    EXPECT_FALSE(PrintsAlone(d, Grey(128)));

    // Contrast 20, threshold 112: m = max(112 / 3, 20) = 37; L 131 lies
    // below 255 - 20 and 255 - 37 - 131 >= 20, so L' = 111.
    d.devmode.wBrightnessContrast = 20;
    d.devmode.wEmpfindlichkeit = 112;
    EXPECT_TRUE(PrintsAlone(d, Grey(128)));
    d.devmode.wEmpfindlichkeit = 111;
    EXPECT_FALSE(PrintsAlone(d, Grey(128)));
}

TEST(DitherThreshold, BlackAndWhiteModeCutsAt250)
{
    BitmapDevice d;
    d.Mode(kx::DRUCKMODUS_SPEED, kx::FILTER_SCHWARZWEISS);
    ASSERT_EQ(kx::GreyLevel(244, 244, 244), 249);
    ASSERT_EQ(kx::GreyLevel(245, 245, 245), 250);
    EXPECT_TRUE(PrintsAlone(d, Grey(244)));
    EXPECT_FALSE(PrintsAlone(d, Grey(245)));
    // The same in graphics mode.
    d.Mode(kx::DRUCKMODUS_GRAFIK, kx::FILTER_SCHWARZWEISS);
    EXPECT_TRUE(PrintsAlone(d, Grey(244)));
    EXPECT_FALSE(PrintsAlone(d, Grey(245)));
}

TEST(DitherThreshold, BlankRowsAtTopAndBottom)
{
    BitmapDevice d;
    d.Mode(kx::DRUCKMODUS_GRAFIK, kx::FILTER_SCHWELLE, 128);
    std::vector<std::vector<DWORD>> rows(10, std::vector<DWORD>(3, 0xFFFFFF));
    rows[3][1] = 0;
    rows[6][2] = 0;
    auto b = Page24(d, rows);
    const DWORD r = b->ConvertToXBit(8, nullptr, 0, d.dev(), nullptr);
    EXPECT_EQ(r & 0xFFFF, 3u);  // rows 0..2
    EXPECT_EQ(r >> 16, 3u);     // rows 7..9
    EXPECT_EQ(b->Bpp, 8);
    EXPECT_EQ(b->GetPixelIndex(1, 3), 0);
    EXPECT_EQ(b->GetPixelIndex(0, 3), 255);
    EXPECT_EQ(b->ConvertToXBit(8, nullptr, 0, d.dev(), nullptr), 1u);  // already 8 bits

    auto white = Page24(d, std::vector<std::vector<DWORD>>(4, {0xFFFFFF}));
    EXPECT_EQ(white->ConvertToXBit(8, nullptr, 0, d.dev(), nullptr), (4u << 16) | 4u);

    // Outside the threshold modes the grey classes are kept and every row
    // counts as blank; the class is L' + 1.
    d.Mode(kx::DRUCKMODUS_PHOTO, kx::FILTER_SCHWELLE);
    auto photo = Page24(d, rows);
    photo->SetPixelColor(0, 0, Grey(128));
    EXPECT_EQ(photo->ConvertToXBit(8, nullptr, 0, d.dev(), nullptr), (10u << 16) | 10u);
    EXPECT_EQ(photo->GetPixelIndex(0, 0), 132);
    EXPECT_EQ(photo->GetPixelIndex(1, 3), 0);  // black matches entry 0 of the page table
}

TEST(DitherOneBit, ExactMatchOnly)
{
    BitmapDevice d;
    // An 8-bit page whose entry 0 is not pure black prints nothing.
    Bitmap b(d.oem(), 8, 2, 8);
    b.SetPalette(d.tables[0]);
    b.SetPaletteColor(0, RGBColour(1, 0, 0));
    std::memset(b.Data, 0, b.DataSize);
    b.ConvertToXBit(1, nullptr, 0, d.dev(), nullptr);
    EXPECT_EQ(b.Bpp, 1);
    EXPECT_FALSE(b.CheckInhalt());

    auto rgb = Page24(d, {{0x000000, 0x000001, 0x010000, 0xFFFFFF, 0x000000}});
    EXPECT_EQ(rgb->ConvertToXBit(1, nullptr, 0, d.dev(), nullptr), 1u);
    EXPECT_EQ(rgb->Palette[0].rgbRed, 0);
    EXPECT_EQ(rgb->Palette[1].rgbRed, 255);
    EXPECT_EQ(rgb->Data[0], 0x77);  // pixels 0 and 4 print; padding stays white
    EXPECT_EQ(rgb->ConvertToXBit(1, nullptr, 0, d.dev(), nullptr), 1u);  // already 1 bit
}

TEST(DitherTone, ContrastBrightnessAndCurveByHand)
{
    BitmapDevice d;
    d.devmode.wEmpfindlichkeit = 112;
    d.devmode.wBrightnessContrast = 20;  // m = 37, 255 - m = 218
    EXPECT_EQ(ToneOf(d, {131, 210, 222, 230, 250, 12}),
              (std::vector<int>{111, 200, 242, 255, 255, 0}));

    d.devmode.wBrightnessContrast = 0;
    d.devmode.dwBrightnessAll = DWORD(-10);  // at least -10 + 249 becomes white
    EXPECT_EQ(ToneOf(d, {100, 245, 248, 250, 261}), (std::vector<int>{90, 235, 238, 255, 255}));
    d.devmode.dwBrightnessAll = 10;  // at most 10 + 4 becomes black
    EXPECT_EQ(ToneOf(d, {4, 5, 100, 240}), (std::vector<int>{0, 15, 110, 255}));
    d.devmode.dwBrightnessAll = 60;  // out of range: no brightness at all
    EXPECT_EQ(ToneOf(d, {7, 100, 248}), (std::vector<int>{0, 100, 255}));

    d.devmode.dwBrightnessAll = 0;
    d.devmode.wEmpfindlichkeit = 128;
    d.devmode.dwBrightnessCurve = 10;  // + trunc(10 v / 128)
    EXPECT_EQ(ToneOf(d, {100, 200}), (std::vector<int>{107, 204}));
    d.devmode.dwBrightnessCurve = DWORD(-10);  // truncated toward zero
    EXPECT_EQ(ToneOf(d, {100, 200}), (std::vector<int>{93, 196}));
    d.devmode.wEmpfindlichkeit = 0;  // the threshold counts as 1
    EXPECT_EQ(ToneOf(d, {100, 1}), (std::vector<int>{0, 0}));
    d.devmode.dwBrightnessCurve = 10;
    EXPECT_EQ(ToneOf(d, {100}), (std::vector<int>{255}));
}

TEST(DitherTone, FlatPageIsNotDithered)
{
    BitmapDevice d;
    d.Mode(kx::DRUCKMODUS_PHOTO, 0);
    d.devmode.wPhotoFilter = kx::PHOTO_STUCKI;
    auto grey = Page24(d, std::vector<std::vector<DWORD>>(5, std::vector<DWORD>(7, Grey(100))));
    EXPECT_FALSE(grey->Dithering(d.dev()));
    EXPECT_EQ(grey->Bpp, 24);
    EXPECT_EQ(grey->GetPixelColor(6, 4), Grey(100));

    // Levels 2 and 5 both become 0: flat after correction.
    auto dark = Page24(d, {{ColourOfLevel(2), ColourOfLevel(5)}, {ColourOfLevel(5), 0}});
    EXPECT_FALSE(dark->Dithering(d.dev()));
    EXPECT_EQ(dark->Bpp, 24);

    auto white = Page24(d, {{0xFFFFFF, 0xFFFFFF}});
    EXPECT_FALSE(white->Dithering(d.dev()));
}

TEST(DitherOrdered, MatricesAndTheirOrientation)
{
    // B8 and A16 follow their construction rules.
    int m[8][8] = {};
    for (int n = 1; n < 8; n *= 2)
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                const int b = 4 * m[i][j];
                m[i][j] = b;
                m[i][j + n] = b + 2;
                m[i + n][j] = b + 3;
                m[i + n][j + n] = b + 1;
            }
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
            EXPECT_EQ(kx::kBayerB8[i][j], m[i][j] == 0 ? 1 : m[i][j]) << i << "," << j;
    const int a16row0[16] = {1, 192, 48, 240, 12, 204, 60, 252, 3, 195, 51, 243, 15, 207, 63, 255};
    const int a16row1[16] = {128, 64, 176, 112, 140, 76, 188, 124,
                             131, 67, 179, 115, 143, 79, 191, 127};
    for (int j = 0; j < 16; ++j) {
        EXPECT_EQ(kx::kClusteredA16[0][j], a16row0[j]);
        EXPECT_EQ(kx::kClusteredA16[1][j], a16row1[j]);
    }

    // Grey sources of 8 x 8 pixels (24-bit rows of 24 bytes).
    auto dither = [](WORD filter, int g) {
        std::vector<BYTE> src(24 * 8, BYTE(g)), dst(8 * 8, 0x55);
        EXPECT_TRUE(kx::ProcessClusteredDither(filter, src.data(), dst.data(), 8, 8, 24));
        return dst;
    };
    // Clustered x4, g = 128: black where 32 < A4[x][y].
    auto c4 = dither(kx::FILTER_CLUSTERED4, 128);
    const char* c4Expected[4] = {"###.", "##..", "##..", "#..."};  // storage row y, column x
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(c4[y * 8 + x], c4Expected[y % 4][x % 4] == '#' ? 0 : 255) << x << "," << y;
    // Clustered x8 is indexed [x][y] too: A8[0][4] = 29, A8[4][0] = 26.
    auto c8 = dither(kx::FILTER_CLUSTERED8, 108);  // 108 / 4 = 27
    EXPECT_EQ(c8[4 * 8 + 0], 0);
    EXPECT_EQ(c8[0 * 8 + 4], 255);
    // Clustered x16 is indexed [y][x]: A16[0][1] = 192, A16[1][0] = 128.
    auto c16 = dither(kx::FILTER_CLUSTERED16, 128);
    EXPECT_EQ(c16[0 * 8 + 1], 0);
    EXPECT_EQ(c16[1 * 8 + 0], 255);
    for (BYTE v : dither(kx::FILTER_CLUSTERED16, 0)) EXPECT_EQ(v, 0);
    for (BYTE v : dither(kx::FILTER_CLUSTERED16, 255)) EXPECT_EQ(v, 255);
    // Bayer x4 compares g itself: B4[0][1] = 208 prints 128, B4[1][0] = 144 too, B4[0][0] = 16 not.
    auto b4 = dither(kx::FILTER_BAYER4, 128);
    EXPECT_EQ(b4[1 * 8 + 0], 0);
    EXPECT_EQ(b4[0 * 8 + 1], 0);
    EXPECT_EQ(b4[0], 255);
    EXPECT_EQ(b4[2 * 8 + 1], 0);    // B4[1][2] = 192
    EXPECT_EQ(b4[3 * 8 + 1], 255);  // B4[1][3] = 128: not below
    // Bayer x8 compares g / 4: 31 of 64 entries exceed 32.
    auto b8 = dither(kx::FILTER_BAYER8, 128);
    EXPECT_EQ(std::count(b8.begin(), b8.end(), 0), 31);

    std::vector<BYTE> src(24), dst(4);
    EXPECT_FALSE(kx::ProcessClusteredDither(7, src.data(), dst.data(), 1, 1, 24));
    EXPECT_FALSE(kx::ProcessClusteredDither(2, nullptr, dst.data(), 1, 1, 24));
}

TEST(DitherOrdered, Clustered16ThroughDithering)
{
    BitmapDevice d;
    d.Mode(kx::DRUCKMODUS_GRAFIK, kx::FILTER_CLUSTERED16);
    // Black and white halves: 0 always prints, 255 never.
    Bitmap b(d.oem(), 40, 33, 24);
    Paint(b, [](int x, int) { return x < 20 ? 0x000000u : 0xFFFFFFu; });
    ASSERT_TRUE(b.Dithering(d.dev()));
    EXPECT_EQ(b.Bpp, 8);
    EXPECT_EQ(b.ScanLineSize, 40u);
    EXPECT_EQ(d.page.bmInfoHeader.biBitCount, 8);
    EXPECT_EQ(b.Palette[77].rgbGreen, 77);
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(b.GetPixelIndex(x, y), x < 20 ? 0 : 255);
    b.ConvertToXBit(1, nullptr, 0, d.dev(), nullptr);
    EXPECT_TRUE(Printed(b, 19, 32));
    EXPECT_FALSE(Printed(b, 20, 0));
}

// ---- error diffusion

namespace {

// The kernels written out once more, straight from their table and edge
// rules, over a whole int image: the reference the engine must match.
std::vector<BYTE> ReferenceDiffusion(int filter, std::vector<int> img, int W, int H, long stride)
{
    std::vector<BYTE> out(std::size_t(W) * H);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const int v = img[std::size_t(y) * W + x];
            out[std::size_t(y) * W + x] = v < 128 ? 0 : 255;
            const int e = v < 128 ? v : v - 255;
            if (x >= stride - 3) continue;
            auto add = [&](int xx, int yy, int w, int D) {
                int& c = img[std::size_t(yy) * W + xx];
                c = std::clamp(c + e * w / D, 0, 255);
            };
            const bool next = y < H - 1, after = y < H - 2;
            switch (filter) {
                case 0: {  // Floyd: nothing from the last row
                    if (!next) break;
                    if (x < W - 1) add(x + 1, y, 7, 16);
                    const int w[3] = {3, 5, 1};
                    for (int j = -1; j <= 1; ++j)
                        if (x + 3 * j >= 0 && x + 3 * j < W - 1) add(x + j, y + 1, w[j + 1], 16);
                    break;
                }
                case 1: {  // Sierra
                    if (x < W - 1) add(x + 1, y, 5, 32);
                    if (x < W - 7) add(x + 2, y, 3, 32);
                    const int w1[5] = {2, 4, 5, 4, 2}, w2[3] = {2, 3, 2};
                    if (next)
                        for (int j = -2; j <= 2; ++j)
                            if (x + 3 * j >= 0 && x + 3 * j < W) add(x + j, y + 1, w1[j + 2], 32);
                    if (after)
                        for (int j = -1; j <= 1; ++j)
                            if (x + j >= 0 && x + j < W - 3) add(x + j, y + 2, w2[j + 1], 32);
                    break;
                }
                case 2: {  // Burkes
                    if (x < W - 1) add(x + 1, y, 8, 32);
                    if (x < W - 7) add(x + 2, y, 4, 32);
                    const int w1[5] = {2, 4, 8, 4, 2};
                    if (next)
                        for (int j = -2; j <= 2; ++j)
                            if (x + j >= 0 && x + j < W - 6) add(x + j, y + 1, w1[j + 2], 32);
                    break;
                }
                case 3: {  // Jarvis
                    if (x < W - 1) add(x + 1, y, 7, 48);
                    if (x < W - 7) add(x + 2, y, 5, 48);
                    const int w1[5] = {3, 5, 7, 5, 3}, w2[5] = {1, 3, 5, 3, 1};
                    for (int j = -2; j <= 2; ++j) {
                        if (next && x + j >= 0 && x + j < W - 6) add(x + j, y + 1, w1[j + 2], 48);
                        if (after && x + j >= 0 && x + j < W - 6) add(x + j, y + 2, w2[j + 2], 48);
                    }
                    break;
                }
                case 4: {  // Sierra Mod.
                    if (x < W - 1) add(x + 1, y, 6, 32);
                    if (x < W - 7) add(x + 2, y, 4, 38);
                    const int w1[7] = {2, 3, 4, 5, 4, 3, 2}, w2[5] = {2, 3, 4, 3, 2};
                    if (next)
                        for (int j = -3; j <= 3; ++j)
                            if (x + 3 * j >= 0 && x + 3 * j < W) add(x + j, y + 1, w1[j + 3], 44);
                    if (after)
                        for (int j = -2; j <= 2; ++j)
                            if (x + j >= 0 && x + 3 * j < W) add(x + j, y + 2, w2[j + 2], 54);
                    break;
                }
                case 5: {  // Stucki
                    if (x < W - 1) add(x + 1, y, 8, 42);
                    if (x < W - 2) add(x + 2, y, 4, 42);
                    const int w1[5] = {2, 4, 8, 4, 2}, w2[5] = {1, 2, 4, 2, 1};
                    for (int j = -2; j <= 2; ++j) {
                        if (next && x + j >= 0 && x + j < W - 3) add(x + j, y + 1, w1[j + 2], 42);
                        if (after && x + j >= 0 && x + j < W - 6) add(x + j, y + 2, w2[j + 2], 42);
                    }
                    break;
                }
            }
        }
    }
    return out;
}

std::vector<BYTE> Diffuse(int filter, const std::vector<int>& img, int W, int H)
{
    const std::size_t stride = ((24 * std::size_t(W) + 31) / 32) * 4;
    std::vector<BYTE> src(stride * H, 0xEE);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            BYTE* p = &src[y * stride + 3 * x];
            p[0] = p[1] = p[2] = BYTE(img[std::size_t(y) * W + x]);
        }
    const std::size_t dstStride = (std::size_t(W) + 3) & ~std::size_t(3);
    std::vector<BYTE> dst(dstStride * H, 0x77);
    EXPECT_TRUE(kx::ProcessFilter(WORD(filter), src.data(), dst.data(), W, H, stride));
    std::vector<BYTE> out;
    for (int y = 0; y < H; ++y) {
        out.insert(out.end(), dst.begin() + y * dstStride, dst.begin() + y * dstStride + W);
        for (std::size_t p = W; p < dstStride; ++p) EXPECT_EQ(dst[y * dstStride + p], 0x77);
    }
    return out;
}

}  // namespace

TEST(DitherDiffusion, FloydSpreadsNothingFromTheLastRow)
{
    // One row is the last row: no error moves, both pixels print.
    EXPECT_EQ(Diffuse(0, {100, 120}, 2, 1), (std::vector<BYTE>{0, 0}));
    // Stucki spreads along the last row: 120 + trunc(100 * 8 / 42) = 139.
    EXPECT_EQ(Diffuse(5, {100, 120}, 2, 1), (std::vector<BYTE>{0, 255}));
    // Two rows of 100, Floyd: (0,0) gives 43 to the right and 31 below
    // (x + 0 < W - 1); (1,0) at 143 prints white and may spread nowhere.
    EXPECT_EQ(Diffuse(0, {100, 100, 100, 100}, 2, 2), (std::vector<BYTE>{0, 255, 255, 0}));
}

TEST(DitherDiffusion, EveryKernelAtEveryEdgeMatchesTheReference)
{
    // Both versions of the middle stretch: vectors (where available) and plain.
    for (bool scalar : {false, true}) {
        SCOPED_TRACE(scalar ? "plain" : "vectors");
        kx::detail::gScalarDiffusion = scalar;
        Lcg rnd(12345);
        for (int filter = 0; filter <= 5; ++filter) {
            for (int W = 1; W <= 23; ++W) {
                for (int H = 1; H <= 5; ++H) {
                    for (int pattern = 0; pattern < 3; ++pattern) {
                        std::vector<int> img(std::size_t(W) * H);
                        for (std::size_t i = 0; i < img.size(); ++i) {
                            switch (pattern) {
                                case 0:
                                    img[i] = int(rnd() % 256);
                                    break;
                                case 1:
                                    img[i] = 100 + int(rnd() % 56);
                                    break;  // around the middle
                                default:
                                    img[i] = (rnd() & 1) ? 250 : 5;
                                    break;  // clamping at the ends
                            }
                        }
                        const long stride = long(((24 * W + 31) / 32) * 4);
                        ASSERT_EQ(Diffuse(filter, img, W, H),
                                  ReferenceDiffusion(filter, img, W, H, stride))
                            << "filter " << filter << ", " << W << " x " << H << ", pattern "
                            << pattern;
                    }
                }
            }
        }
        // A wide page: the engine's fast middle stretch against the reference.
        for (int filter = 0; filter <= 5; ++filter) {
            const int W = 301, H = 9;
            std::vector<int> img(std::size_t(W) * H);
            for (int& v : img) v = int(rnd() % 256);
            ASSERT_EQ(Diffuse(filter, img, W, H),
                      ReferenceDiffusion(filter, img, W, H, long(((24 * W + 31) / 32) * 4)))
                << "filter " << filter;
        }
    }
    kx::detail::gScalarDiffusion = false;
    std::vector<BYTE> src(3), dst(4);
    EXPECT_FALSE(kx::ProcessFilter(6, src.data(), dst.data(), 1, 1, 4));
    EXPECT_FALSE(kx::ProcessFilter(5, src.data(), nullptr, 1, 1, 4));
}

TEST(DitherDiffusion, PhotoModeKeepsTheMeanTone)
{
    BitmapDevice d;
    d.Mode(kx::DRUCKMODUS_PHOTO, 0);
    for (WORD filter = 0; filter <= 6; ++filter) {  // 6: unknown, dithered as Stucki
        d.devmode.wPhotoFilter = filter;
        Bitmap b(d.oem(), 64, 48, 24);
        Paint(b, [](int x, int y) { return Grey(40 + 2 * x + y); });
        double in = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                in += std::min(255, kx::GreyLevel(40 + 2 * x + y, 40 + 2 * x + y, 40 + 2 * x + y));
        ASSERT_TRUE(b.Dithering(d.dev())) << filter;
        double out = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const int v = b.GetPixelIndex(x, y);
                ASSERT_TRUE(v == 0 || v == 255);
                out += v;
            }
        EXPECT_NEAR(out / in, 1.0, 0.06) << "filter " << filter;
    }
}

// ---- colour printing

namespace {

constexpr DWORD kRed = 0x3641EF;  // ribbon 1, (239, 65, 54)

struct ColourRun {
    std::unique_ptr<Bitmap> page;
    std::unique_ptr<Bitmap> colour;
    DWORD result = 0;
    BOOL found = TRUE;
};

// ConvertToXBit(8) of a colour page with a colour plane, both then reduced
// to one bit as page end does.
void RunColour(BitmapDevice& d, ColourRun& run)
{
    run.colour->SetPalette(d.tables[2]);
    run.result = run.page->ConvertToXBit(8, run.colour.get(), 0, d.dev(), &run.found);
    run.page->ConvertToXBit(1, nullptr, 0, d.dev(), nullptr);
    run.colour->ConvertToXBit(1, nullptr, 1, d.dev(), nullptr);
}

ColourRun MakeRun(BitmapDevice& d, const std::vector<std::vector<DWORD>>& rows)
{
    return ColourRun{Page24(d, rows),
                     std::make_unique<Bitmap>(d.oem(), int(rows[0].size()), int(rows.size()), 8)};
}

// One picture row as seen in the two planes: 'K' black, 'R' ribbon, '.' none.
std::string Planes(const ColourRun& r, int y)
{
    std::string s;
    for (int x = 0; x < r.page->Width; ++x) {
        const bool k = Printed(*r.page, x, y), c = Printed(*r.colour, x, y);
        s += k && c ? '!' : k ? 'K' : c ? 'R' : '.';
    }
    return s;
}

}  // namespace

TEST(DitherColour, TablesAndRibbons)
{
    RGBQUAD t[256];
    kx::FillColorPalette_250Grey(t);
    EXPECT_EQ(t[0].rgbRed, 253);
    EXPECT_EQ(t[2].rgbRed, 239);
    EXPECT_EQ(t[2].rgbBlue, 54);
    EXPECT_EQ(t[8].rgbGreen, 245);
    EXPECT_EQ(t[9].rgbRed, 1);
    EXPECT_EQ(t[254].rgbBlue, 246);
    EXPECT_EQ(t[255].rgbGreen, 255);
    kx::FillColorPalette_6Colors(t);
    EXPECT_EQ(t[0].rgbRed, 0);
    EXPECT_EQ(t[5].rgbBlue, 219);
    EXPECT_EQ(t[100].rgbRed, 253);
    EXPECT_EQ(t[255].rgbRed, 255);
    for (WORD f = 1; f <= 5; ++f) {
        const int k = kx::RibbonColourIndex(f);
        EXPECT_EQ(RGBColour(t[k].rgbRed, t[k].rgbGreen, t[k].rgbBlue), kx::RibbonColourValue(f, 0));
    }
    EXPECT_EQ(kx::RibbonColourIndex(6), 8);
    EXPECT_EQ(kx::RibbonColourIndex(7), 255);
    EXPECT_EQ(kx::RibbonColourValue(6, 0x123456), 0x123456u);
    EXPECT_EQ(kx::RibbonColourValue(9, 0x123456), 0u);
}

TEST(DitherColour, RibbonPixelsGoToTheColourPlane)
{
    BitmapDevice d;
    d.ColourPrint(true);
    d.Mode(kx::DRUCKMODUS_GRAFIK, kx::FILTER_SCHWELLE, 128);
    d.devmode.wFarbband = 1;
    const DWORD nearRed = RGBColour(239 - 40, 65 + 20, 54 + 20);  // distance 49
    const DWORD farRed = RGBColour(239 - 80, 65, 54 + 60);        // distance 100
    ColourRun run = MakeRun(d, {{0xFFFFFF, 0xFFFFFF}, {kRed, 0}, {nearRed, farRed}});
    RunColour(d, run);
    EXPECT_TRUE(run.found);
    EXPECT_EQ(d.page.dwFarbpixel, 2u);
    EXPECT_EQ(run.result, 1u);  // one blank row at the top, none at the bottom
    EXPECT_EQ(Planes(run, 0), "..");
    EXPECT_EQ(Planes(run, 1), "RK");
    EXPECT_EQ(Planes(run, 2), "RK");  // far red is dark enough for the threshold

    // Tolerances above 999 count by their square root: 8100 -> 90.
    d.devmode.dwColorTolerance = 8100;
    ColourRun sq = MakeRun(d, {{nearRed, farRed}});
    RunColour(d, sq);
    EXPECT_EQ(Planes(sq, 0), "RK");
    d.devmode.dwColorTolerance = 40;
    ColourRun tight = MakeRun(d, {{nearRed, kRed}});
    RunColour(d, tight);
    EXPECT_EQ(Planes(tight, 0), "KR");

    // No ribbon colour on the page.
    ColourRun none = MakeRun(d, {{0, 0xFFFFFF}});
    RunColour(d, none);
    EXPECT_FALSE(none.found);
    EXPECT_EQ(d.page.dwFarbpixel, 0u);
    EXPECT_EQ(Planes(none, 0), "K.");
}

TEST(DitherColour, FringeCorrectionModes)
{
    BitmapDevice d;
    d.ColourPrint(true);
    d.Mode(kx::DRUCKMODUS_GRAFIK, kx::FILTER_SCHWELLE, 160);
    d.devmode.wFarbband = 1;
    d.devmode.dwColorTolerance = 30;
    // A mixture of red and paper (grey level 144): prints black at this
    // threshold, lies above the dark limit (115 / 2) and below 221.
    const DWORD mix = RGBColour(200, 120, 110);
    ASSERT_EQ(kx::GreyLevel(200, 120, 110), 144);
    const DWORD W = 0xFFFFFF;
    auto run = [&](WORD correction, WORD seam, const std::vector<std::vector<DWORD>>& rows) {
        d.devmode.wColorChannel = correction;
        d.devmode.wColorSeam = seam;
        ColourRun r = MakeRun(d, rows);
        RunColour(d, r);
        std::vector<std::string> out;
        for (int y = 0; y < r.page->Height; ++y) out.push_back(Planes(r, y));
        return out;
    };
    using Rows = std::vector<std::string>;
    // Without any correction black and red keep their classes.
    EXPECT_EQ(run(0, 0, {{kRed, mix, 0, kRed, W}}), (Rows{"RKKR."}));
    // Horizontal: the mixture between two red pixels is below 221: black.
    // Extended: a two-pixel white gap closes.
    EXPECT_EQ(run(1, 0, {{kRed, mix, W, kRed, W, W, kRed}}), (Rows{"RK.R..R"}));
    EXPECT_EQ(run(4, 0, {{kRed, mix, W, W, kRed, W, W, kRed}}), (Rows{"RK..RRRR"}));
    d.devmode.wHorizontalCorrGap = 1;  // the gap of two is beyond the capture range
    EXPECT_EQ(run(4, 0, {{kRed, W, W, kRed}}), (Rows{"R..R"}));
    d.devmode.wHorizontalCorrGap = 50;
    // Vertical: a mixture right below red becomes red; extended also
    // diagonally and through a mixture above.
    EXPECT_EQ(run(2, 0, {{kRed, W, W}, {mix, mix, W}}), (Rows{"R..", "RK."}));
    EXPECT_EQ(run(3, 0, {{kRed, W, W}, {mix, mix, W}, {mix, W, W}}), (Rows{"R..", "RR.", "R.."}));
    // Fringe 1 takes the mixture next to red away, with colour optimisation on only.
    EXPECT_EQ(run(0, 1, {{W, mix, kRed, mix, W, mix}}), (Rows{"..R..K"}));
    d.devmode.wNoColorOptimization = 1;
    EXPECT_EQ(run(0, 1, {{W, mix, kRed, mix, W, mix}}), (Rows{".KRK.K"}));
    // Fringe 2 also removes lone red pixels: black next to something dark->
    EXPECT_EQ(run(0, 2, {{W, kRed, W, 0, kRed, W, kRed, kRed}}), (Rows{"...KK.RR"}));
    d.devmode.wNoColorOptimization = 0;
}

// ---- conversions that reuse the page's own block

TEST(DitherInPlace, ResultsMatchPixelByPixel)
{
    BitmapDevice d;
    Lcg rnd(4711);
    for (int bpp : {8, 16, 24, 32}) {
        for (int w : {1, 3, 13, 64}) {
            const int h = 7;
            SCOPED_TRACE(testing::Message() << bpp << " bits, width " << w);
            // Greys whose level lies in 8..247, where no correction applies.
            auto fillPage = [&](Bitmap& b) {
                if (bpp == 8) {
                    b.SetPalette(d.tables[0]);
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x) b.SetPixelIndex(x, y, 10 + int(rnd() % 225));
                } else {
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x)
                            b.SetPixelColor(x, y, Grey(int(10 + rnd() % 225)));
                }
                b.SetPixelColor(0, 0, 0);  // some content in any case
                if (bpp == 8) b.SetPixelIndex(0, 0, 0);
            };
            auto levels = [&](const Bitmap& b) {  // 24-bit grey source, storage order
                const std::size_t stride = ((24 * std::size_t(w) + 31) / 32) * 4;
                std::vector<BYTE> src(stride * h);
                for (int r = 0; r < h; ++r)
                    for (int x = 0; x < w; ++x) {
                        const DWORD c = b.GetPixelColor(x, h - 1 - r);
                        const int L = std::min(
                            255, kx::GreyLevel(kx::RedOf(c), kx::GreenOf(c), kx::BlueOf(c)));
                        std::memset(&src[r * stride + 3 * x], L < 8 ? 0 : L, 3);
                    }
                return src;
            };
            const std::size_t stride8 = (std::size_t(w) + 3) & ~std::size_t(3);
            for (int mode = 0; mode < 2; ++mode) {
                Bitmap page(d.oem(), w, h, bpp);
                fillPage(page);
                const auto src = levels(page);
                std::vector<BYTE> expected(stride8 * h, 0);
                if (mode == 0) {
                    d.Mode(kx::DRUCKMODUS_PHOTO, 0);
                    d.devmode.wPhotoFilter = kx::PHOTO_STUCKI;
                    kx::ProcessFilter(kx::PHOTO_STUCKI, src.data(), expected.data(), w, h,
                                      ((24 * std::size_t(w) + 31) / 32) * 4);
                } else {
                    d.Mode(kx::DRUCKMODUS_GRAFIK, kx::FILTER_BAYER4);
                    kx::ProcessClusteredDither(kx::FILTER_BAYER4, src.data(), expected.data(), w, h,
                                               ((24 * std::size_t(w) + 31) / 32) * 4);
                }
                ASSERT_TRUE(page.Dithering(d.dev()));
                ASSERT_EQ(page.ScanLineSize, stride8);
                for (int r = 0; r < h; ++r)
                    for (int x = 0; x < w; ++x)
                        ASSERT_EQ(page.Data[r * stride8 + x], expected[r * stride8 + x])
                            << "row " << r << " col " << x;
            }

            // Threshold classes, then one bit: a pixel prints when its level
            // is below 128.
            d.Mode(kx::DRUCKMODUS_GRAFIK, kx::FILTER_SCHWELLE, 128);
            Bitmap page(d.oem(), w, h, bpp);
            fillPage(page);
            std::vector<bool> dark;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const DWORD c = page.GetPixelColor(x, y);
                    // An 8-bit page is already classified: only black prints.
                    const int L = kx::GreyLevel(kx::RedOf(c), kx::GreenOf(c), kx::BlueOf(c));
                    dark.push_back(bpp == 8 ? c == 0 : L < 128);
                }
            if (bpp > 8) page.ConvertToXBit(8, nullptr, 0, d.dev(), nullptr);
            page.ConvertToXBit(1, nullptr, 0, d.dev(), nullptr);
            ASSERT_EQ(page.Bpp, 1);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(Printed(page, x, y), dark[std::size_t(y) * w + x]) << x << "," << y;
            // Padding bits and bytes stay white.
            for (int r = 0; r < h; ++r)
                for (std::size_t i = (std::size_t(w) + 7) / 8; i < page.ScanLineSize; ++i)
                    ASSERT_EQ(page.Data[r * page.ScanLineSize + i], 0xFF);
            if (w % 8) {
                ASSERT_EQ(page.Data[(w - 1) / 8] & (0xFF >> (w % 8)), 0xFF >> (w % 8));
            }
        }
    }
}
