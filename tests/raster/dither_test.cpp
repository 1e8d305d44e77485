// Colour reduction: grey levels and thresholds, classification and blank
// rows, the tone corrections of Dithering, the ordered matrices, the
// error-diffusion kernels at every edge, and colour printing.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <vector>

#include "raster/dither_internal.h"
#include "raster_fixture.h"

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
    ASSERT_EQ(kx::GreyLevel(244, 244, 244), 249);
    ASSERT_EQ(kx::GreyLevel(245, 245, 245), 250);

    const auto rows = DataRows("threshold.txt");
    EXPECT_EQ(rows.size(), 8u);
    for (const std::string& row : rows) {
        SCOPED_TRACE(row);
        std::istringstream in(row);
        WORD mode, filter, threshold, contrast;
        int grey, prints;
        ASSERT_TRUE(in >> mode >> filter >> threshold >> contrast >> grey >> prints);
        BitmapDevice d;
        d.Mode(mode, filter, threshold);
        d.devmode.wBrightnessContrast = contrast;
        EXPECT_EQ(PrintsAlone(d, Grey(grey)), prints != 0);
    }
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
    const auto rows = DataRows("tone.txt");
    EXPECT_EQ(rows.size(), 8u);
    for (const std::string& row : rows) {
        SCOPED_TRACE(row);
        std::istringstream in(row);
        int threshold, contrast, brightness, curve;
        std::string bar;
        ASSERT_TRUE(in >> threshold >> contrast >> brightness >> curve >> bar);
        std::vector<int> levels, values;
        for (std::string v; in >> v && v != "|";) levels.push_back(std::stoi(v));
        for (int v; in >> v;) values.push_back(v);
        BitmapDevice d;
        d.devmode.wEmpfindlichkeit = WORD(threshold);
        d.devmode.wBrightnessContrast = WORD(contrast);
        d.devmode.dwBrightnessAll = DWORD(brightness);
        d.devmode.dwBrightnessCurve = DWORD(curve);
        EXPECT_EQ(ToneOf(d, levels), values);
    }
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

// The rows of data/ordered.txt, and the filters that do not exist.
TEST(DitherOrdered, MatricesAndTheirOrientation)
{
    const auto rows = DataRows("ordered.txt");
    EXPECT_EQ(rows.size(), 7u);
    for (const std::string& row : rows) {
        SCOPED_TRACE(row);
        std::istringstream in(row);
        int filter, g, count;
        std::string dots;
        ASSERT_TRUE(in >> filter >> g >> dots);
        std::vector<BYTE> src(24 * 8, BYTE(g)), dst(8 * 8, 0x55);
        ASSERT_TRUE(kx::ProcessClusteredDither(WORD(filter), src.data(), dst.data(), 8, 8, 24));
        if (dots == "count" && in >> count) {
            EXPECT_EQ(std::count(dst.begin(), dst.end(), 0), count);
            continue;
        }
        std::vector<std::string> tile;
        std::istringstream parts(dots);
        for (std::string t; std::getline(parts, t, '/');) tile.push_back(t);
        for (std::size_t y = 0; y < 8; ++y)
            for (std::size_t x = 0; x < 8; ++x)
                if (const char c = tile[y % tile.size()][x % tile[0].size()]; c != '?') {
                    EXPECT_EQ(dst[y * 8 + x], c == '#' ? 0 : 255) << x << "," << y;
                }
    }
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

// Runs one kernel over a grey page (rows top to bottom as stored) and
// returns its output rows; the padding of the 8-bit rows stays untouched.
std::vector<std::vector<int>> Diffuse(WORD filter, const std::vector<std::vector<int>>& img)
{
    const int H = int(img.size()), W = int(img[0].size());
    const std::size_t stride = ((24 * std::size_t(W) + 31) / 32) * 4;
    const std::size_t dstStride = (std::size_t(W) + 3) & ~std::size_t(3);
    std::vector<BYTE> src(stride * H, 0xEE), dst(dstStride * H, 0x77);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) std::memset(&src[y * stride + 3 * x], img[y][x], 3);
    EXPECT_TRUE(kx::ProcessFilter(filter, src.data(), dst.data(), W, H, stride));
    std::vector<std::vector<int>> out(H);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) out[y].push_back(dst[y * dstStride + x]);
        for (std::size_t p = W; p < dstStride; ++p) EXPECT_EQ(dst[y * dstStride + p], 0x77);
    }
    return out;
}

using Page = std::vector<std::vector<int>>;
constexpr int K = 0, o = 255;  // a printed dot, paper

}  // namespace

// Each weight and edge rule of the six kernels, one share at a time: the
// table (data/diffusion-shares.txt) says how much error reaches the
// receiver; the receiver just reaches the threshold with it, and just misses
// it with one less, for an error of either sign.
TEST(DitherDiffusion, EveryShareOfEveryKernel)
{
    const auto rows = DataRows("diffusion-shares.txt");
    EXPECT_EQ(rows.size(), 71u);
    for (const std::string& line : rows) {
        std::istringstream in(line);
        int filter, W, H, sx, sy, rx, ry, share;
        ASSERT_TRUE(in >> filter >> W >> H >> sx >> sy >> rx >> ry >> share);
        SCOPED_TRACE(line);
        // A seed of 127 on paper hands on +share, one of 128 on black
        // -share (truncated toward zero as well); the background clamps it.
        for (int sign : {1, -1}) {
            for (int base : {128 - sign * share, 127 - sign * share}) {
                Page img(std::size_t(H), std::vector<int>(std::size_t(W), sign > 0 ? 255 : 0));
                img[sy][sx] = sign > 0 ? 127 : 128;
                img[ry][rx] = base;
                const Page out = Diffuse(WORD(filter), img);
                EXPECT_EQ(out[sy][sx], sign > 0 ? K : o);
                EXPECT_EQ(out[ry][rx], base + sign * share >= 128 ? o : K) << "receiver " << base;
            }
        }
    }
}

TEST(DitherDiffusion, FloydSpreadsNothingFromTheLastRow)
{
    // One row is the last row: no error moves, both pixels print.
    EXPECT_EQ(Diffuse(kx::PHOTO_FLOYD, {{100, 120}}), (Page{{K, K}}));
    // Stucki spreads along the last row: 120 + trunc(100 * 8 / 42) = 139.
    EXPECT_EQ(Diffuse(kx::PHOTO_STUCKI, {{100, 120}}), (Page{{K, o}}));
}

// The middle stretch of wide rows has a vector form: it must give the
// plain loop's dots for every kernel.
TEST(DitherDiffusion, VectorAndPlainMiddleStretchAgree)
{
    Lcg rnd(12345);
    for (WORD filter = 0; filter <= 5; ++filter) {
        for (int W : {9, 23, 301}) {
            Page img(7, std::vector<int>(std::size_t(W)));
            for (auto& row : img)
                for (int& v : row) v = int(rnd() % 256);
            kx::detail::gScalarDiffusion = true;
            const Page plain = Diffuse(filter, img);
            kx::detail::gScalarDiffusion = false;
            EXPECT_EQ(Diffuse(filter, img), plain) << "filter " << filter << ", width " << W;
        }
    }
}

// ---- colour printing

namespace {

// The pixel letters of data/colour-planes.txt; anything else is white.
DWORD PixelOf(char c)
{
    const std::string letters = "RnfmK";
    const DWORD colours[] = {0x3641EF, RGBColour(199, 85, 74), RGBColour(159, 65, 114),
                             RGBColour(200, 120, 110), 0};
    const std::size_t i = letters.find(c);
    return i == std::string::npos ? 0xFFFFFFu : colours[i];
}

}  // namespace

// ConvertToXBit(8) of a colour page with a colour plane, both then reduced
// to one bit as page end does: the rows of data/colour-planes.txt.
TEST(DitherColour, RibbonPixelsAndFringeCorrection)
{
    ASSERT_EQ(kx::GreyLevel(200, 120, 110), 144);
    const auto rows = DataRows("colour-planes.txt");
    EXPECT_EQ(rows.size(), 13u);
    for (const std::string& row : rows) {
        SCOPED_TRACE(row);
        std::istringstream in(row);
        WORD threshold, correction, seam, gap, noOptimisation;
        DWORD tolerance;
        std::string ribbon, blank, pixels, expected;
        ASSERT_TRUE(in >> threshold >> tolerance >> correction >> seam >> gap >> noOptimisation >>
                    ribbon >> blank >> pixels >> expected);
        BitmapDevice d;
        d.ColourPrint(true);
        d.Mode(kx::DRUCKMODUS_GRAFIK, kx::FILTER_SCHWELLE, threshold);
        d.devmode.wFarbband = 1;
        d.devmode.dwColorTolerance = tolerance;
        d.devmode.wColorChannel = correction;
        d.devmode.wColorSeam = seam;
        d.devmode.wHorizontalCorrGap = gap;
        d.devmode.wNoColorOptimization = noOptimisation;
        std::vector<std::vector<DWORD>> image(1);
        for (char c : pixels)
            if (c == '/')
                image.emplace_back();
            else
                image.back().push_back(PixelOf(c));
        auto page = Page24(d, image);
        Bitmap colour(d.oem(), page->Width, page->Height, 8);
        colour.SetPalette(d.tables[2]);
        BOOL found = TRUE;
        const DWORD result = page->ConvertToXBit(8, &colour, 0, d.dev(), &found);
        page->ConvertToXBit(1, nullptr, 0, d.dev(), nullptr);
        colour.ConvertToXBit(1, nullptr, 1, d.dev(), nullptr);
        std::string planes;
        for (int y = 0; y < page->Height; ++y) {
            if (y) planes += '/';
            for (int x = 0; x < page->Width; ++x) {
                const bool k = Printed(*page, x, y), c = Printed(colour, x, y);
                planes += k && c ? '!' : k ? 'K' : c ? 'R' : '.';
            }
        }
        EXPECT_EQ(planes, expected);
        if (ribbon != "-") {
            EXPECT_EQ(d.page.dwFarbpixel, std::stoul(ribbon));
            EXPECT_EQ(found != 0, ribbon != "0");
        }
        if (blank != "-") {
            EXPECT_EQ(result, std::stoul(blank));
        }
    }
}

// ---- conversions that reuse the page's own block

// The same grey page held in 8 (grey table), 24 and 32 bits dithers to the
// same dots (an unknown photo filter to Stucki's), and its threshold
// reduction to one bit keeps the padding white.
TEST(DitherInPlace, EveryDepthGivesTheSameDots)
{
    BitmapDevice d;
    Lcg rnd(4711);
    for (int w : {1, 3, 13, 64}) {
        SCOPED_TRACE(testing::Message() << "width " << w);
        const int h = 7;
        std::vector<int> grey(std::size_t(w) * h);
        for (int& g : grey) g = int(10 + rnd() % 225);
        grey[0] = 0;  // some content in any case
        // The grey page at a depth (8 bits: indexes into the grey table).
        auto page = [&](int bpp) {
            auto b = std::make_unique<Bitmap>(d.oem(), w, h, bpp);
            if (bpp == 8) b->SetPalette(d.tables[0]);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int g = grey[std::size_t(y) * w + x];
                    if (bpp == 8)
                        b->SetPixelIndex(x, y, g);
                    else
                        b->SetPixelColor(x, y, Grey(g));
                }
            return b;
        };
        auto dots = [&](int bpp) {
            auto b = page(bpp);
            EXPECT_TRUE(b->Dithering(d.dev())) << bpp;
            return std::vector<BYTE>(b->Data, b->Data + b->DataSize);
        };
        for (WORD mode : {kx::DRUCKMODUS_PHOTO, kx::DRUCKMODUS_GRAFIK}) {
            d.Mode(mode, kx::FILTER_BAYER4);
            d.devmode.wPhotoFilter = kx::PHOTO_STUCKI;
            const auto dots24 = dots(24);
            EXPECT_EQ(dots(8), dots24);
            EXPECT_EQ(dots(32), dots24);
            if (mode == kx::DRUCKMODUS_PHOTO) {  // an unknown kernel diffuses as Stucki
                d.devmode.wPhotoFilter = 6;
                EXPECT_EQ(dots(24), dots24);
            }
        }
        d.Mode(kx::DRUCKMODUS_GRAFIK, kx::FILTER_SCHWELLE, 128);
        auto b = page(24);
        b->ConvertToXBit(8, nullptr, 0, d.dev(), nullptr);
        b->ConvertToXBit(1, nullptr, 0, d.dev(), nullptr);
        const Bitmap& page1 = *b;
        ASSERT_EQ(page1.Bpp, 1);
        for (int y = 0; y < h; ++y)
            for (std::size_t i = (std::size_t(w) + 7) / 8; i < page1.ScanLineSize; ++i)
                ASSERT_EQ(page1.Data[y * page1.ScanLineSize + i], 0xFF);
        if (w % 8) {
            ASSERT_EQ(page1.Data[(w - 1) / 8] & (0xFF >> (w % 8)), 0xFF >> (w % 8));
        }
    }
}
