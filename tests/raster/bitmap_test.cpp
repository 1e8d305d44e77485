// Bitmap: layout, construction from the page buffer, pixel access, geometry,
// the content test, and BMP files read back by independent decoders.
#include <gtest/gtest.h>

#include <vector>

#include "core/jobheap.h"
#include "platform/platform.h"
#include "raster_fixture.h"
#include "support/harness.h"

using kx::Bitmap;
using kx::RGBColour;
using namespace kxtest;

namespace {

// Picture rows of an 8-bit bitmap as index values, top row first.
std::vector<std::vector<int>> Indexes(const Bitmap& b)
{
    std::vector<std::vector<int>> rows(std::size_t(b.Height));
    for (int y = 0; y < b.Height; ++y)
        for (int x = 0; x < b.Width; ++x) rows[std::size_t(y)].push_back(b.GetPixelIndex(x, y));
    return rows;
}

}  // namespace

// Row padding, headers, bottom-up rows and the blue-green-red order: the BMP
// files read back by two decoders below.
TEST(BitmapLayout, PixelAccessByDepth)
{
    BitmapDevice d;
    Bitmap one(d.oem(), 10, 1, 1);
    one.SetPixelIndex(0, 0, 0);
    one.SetPixelIndex(9, 0, 0);
    EXPECT_EQ(one.Data[0], 0x7F);  // pixel 0 is the most significant bit
    EXPECT_EQ(one.Data[1], 0xBF);
    EXPECT_EQ(one.GetPixelIndex(9, 0), 0);
    EXPECT_EQ(one.GetPixelIndex(8, 0), 1);
    one.SetPixelIndex(3, 0, 2);  // beyond Colors: ignored
    EXPECT_EQ(one.GetPixelIndex(3, 0), 1);

    Bitmap four(d.oem(), 3, 1, 4);
    four.SetPixelIndex(0, 0, 0x3);
    four.SetPixelIndex(1, 0, 0xA);
    EXPECT_EQ(four.Data[0], 0x3A);  // the even pixel is the high nibble
    EXPECT_EQ(four.GetPixelIndex(1, 0), 0xA);

    Bitmap hi(d.oem(), 2, 1, 16);
    EXPECT_EQ(hi.GetPixelColor(0, 0), 0xFFFFFFu);  // 5-6-5 white reads as white
    hi.SetPixelColor(1, 0, RGBColour(255, 0, 0));
    EXPECT_EQ(hi.Data[2] | (hi.Data[3] << 8), 0xF800);
    EXPECT_EQ(hi.GetPixelColor(1, 0), RGBColour(255, 0, 0));

    Bitmap wide(d.oem(), 2, 2, 32);
    EXPECT_EQ(wide.GetPixelColor(0, 0), 0xFFFFFFu);  // white on creation
    wide.SetPixelColor(1, 1, RGBColour(1, 2, 3));
    EXPECT_EQ(wide.GetPixelColor(1, 1), RGBColour(1, 2, 3));
    EXPECT_EQ(wide.Data[7], 0xFF);  // the fourth byte stays as it was

    Bitmap pal(d.oem(), 2, 2, 8);
    EXPECT_EQ(pal.SetPaletteColor(7, RGBColour(9, 8, 7)), 0xFFFFFF);
    EXPECT_EQ(pal.SetPaletteColor(256, 0), -1);
    pal.SetPixelIndex(1, 0, 7);
    EXPECT_EQ(pal.GetPixelColor(1, 0), RGBColour(9, 8, 7));
    EXPECT_FALSE(hi.SetPalette(d.tables[0]));

    // Outside the bitmap.
    EXPECT_EQ(pal.GetPixelColor(2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(pal.GetPixelColor(0, -1), 0xFFFFFFFFu);
    EXPECT_EQ(pal.GetPixelIndex(-1, 0), -1);
    EXPECT_EQ(hi.GetPixelIndex(0, 0), -1);
    pal.SetPixelIndex(5, 5, 1);
    wide.SetPixelColor(-1, 0, 0);
}

TEST(BitmapLayout, RefusedSizesLeaveNoData)
{
    BitmapDevice d;
    const int iHAlloc = kx::iHAllocZaehlerUNI;
    {
        Bitmap zero(d.oem(), 0, 5, 8);
        Bitmap negative(d.oem(), 5, -1, 8);
        Bitmap depth(d.oem(), 5, 5, 12);
        Bitmap huge(d.oem(), 70000, 70000, 32);
        Bitmap noRecord(nullptr, 5, 5, 8);
        for (const Bitmap* b : {&zero, &negative, &depth, &huge, &noRecord}) {
            EXPECT_EQ(b->DataSize, 0u);
            EXPECT_EQ(b->Data, nullptr);
            EXPECT_EQ(b->GetPixelColor(0, 0), 0u);
            EXPECT_EQ(b->Save(u"C:\\never.bmp"), kx::BMP_SAVE_NO_FILE);
            EXPECT_FALSE(b->CheckInhalt());
        }
        // Operations on an empty bitmap do nothing.
        zero.Rotate(d.oem(), 45.0f);
        zero.ResizeBilinear(d.oem(), 10, 10, 0, 0);
        EXPECT_EQ(zero.ConvertToXBit(1, nullptr, 0, d.dev(), nullptr), 1u);
        EXPECT_FALSE(zero.Dithering(d.dev()));
        EXPECT_EQ(d.pdev.iNewZaehler, 4);  // the one without a device is not counted
    }
    EXPECT_EQ(d.pdev.iNewZaehler, 0);
    EXPECT_EQ(kx::iHAllocZaehlerUNI, iHAlloc);
}

TEST(BitmapConstruction, FlipTurnsThePageBufferOver)
{
    BitmapDevice d;
    // A 3 x 4 8-bit page, rows top first, each row 4 bytes: row r holds r.
    std::vector<BYTE> buffer(16);
    for (int r = 0; r < 4; ++r) std::fill_n(buffer.begin() + 4 * r, 3, BYTE(10 + r));
    d.page.dwBufSize = 16;
    Bitmap full(d.oem(), 3, 4, 8, buffer.data(), kx::BM_FLIP);
    for (int y = 0; y < 4; ++y) EXPECT_EQ(full.GetPixelIndex(2, y), 10 + y);

    // A buffer of two and a half rows gives two rows, turned within that
    // height: they end up as the bottom rows of the picture.
    d.page.dwBufSize = 10;
    Bitmap shortBuf(d.oem(), 3, 4, 8, buffer.data(), kx::BM_FLIP);
    EXPECT_EQ(Indexes(shortBuf),
              (std::vector<std::vector<int>>{
                  {255, 255, 255}, {255, 255, 255}, {10, 10, 10}, {11, 11, 11}}));

    // Any other format copies the bytes as they are, at most the buffer.
    Bitmap copy(d.oem(), 3, 4, 8, buffer.data(), kx::BM_COPY);
    EXPECT_EQ(copy.Data[0], 10);  // storage row 0 is the picture's bottom row
    EXPECT_EQ(copy.Data[8], 12);
    EXPECT_EQ(copy.Data[12], 0xFF);
}

TEST(BitmapConstruction, AssignmentCopiesPixelsAndTable)
{
    BitmapDevice d;
    Bitmap a(d.oem(), 4, 3, 8);
    a.SetPaletteColor(1, RGBColour(1, 2, 3));
    a.SetPixelIndex(3, 2, 1);
    Bitmap b(d.oem(), 1, 1, 24);
    b = a;
    EXPECT_EQ(b.GetPixelColor(3, 2), RGBColour(1, 2, 3));
    EXPECT_NE(b.Data, a.Data);
    a.SetPixelIndex(3, 2, 0);
    EXPECT_EQ(b.GetPixelIndex(3, 2), 1);
}

TEST(BitmapGeometry, QuarterTurns)
{
    BitmapDevice d;
    // 3 wide, 2 high: pixel (x, y) = 10 y + x.
    Bitmap b(d.oem(), 3, 2, 8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) b.SetPixelIndex(x, y, 10 * y + x);
    Bitmap turned(d.oem(), 1, 1, 8);
    turned = b;
    ASSERT_TRUE(turned.Rotate90(d.oem()));
    // Destination (y', x) takes source (x, Height - 1 - y').
    EXPECT_EQ(Indexes(turned), (std::vector<std::vector<int>>{{10, 0}, {11, 1}, {12, 2}}));

    // Turns by angles in a row, of a copy of b.
    auto turn = [&](std::initializer_list<float> angles) {
        Bitmap t(d.oem(), 1, 1, 8);
        t = b;
        for (float angle : angles) t.Rotate(d.oem(), angle);
        return Indexes(t);
    };
    EXPECT_EQ(turn({450.0f}), Indexes(turned));
    EXPECT_EQ(turn({720.0f}), Indexes(b));
    EXPECT_EQ(turn({720.0f, 0.0f, 360.0f}), Indexes(b));
    EXPECT_EQ(turn({180.0f}), (std::vector<std::vector<int>>{{12, 11, 10}, {2, 1, 0}}));

    // One bit and 24 bits turn the same way.
    Bitmap mono(d.oem(), 9, 2, 1);
    mono.SetPixelIndex(8, 0, 0);
    mono.Rotate90(d.oem());
    EXPECT_EQ(mono.Width, 2);
    EXPECT_EQ(mono.Height, 9);
    EXPECT_EQ(mono.GetPixelIndex(1, 8), 0);
    EXPECT_EQ(mono.GetPixelIndex(0, 8), 1);

    Bitmap rgb(d.oem(), 3, 2, 24);
    Paint(rgb, [](int x, int y) { return RGBColour(BYTE(x), BYTE(y), 7); });
    rgb.Rotate90(d.oem());
    EXPECT_EQ(rgb.GetPixelColor(1, 2), RGBColour(2, 0, 7));
}

TEST(BitmapGeometry, FreeAngleResamples)
{
    BitmapDevice d;
    // A black square turned by 45 degrees: 141 x 141, white corners, a black
    // centre and (nearly) the same black area.
    Bitmap sq(d.oem(), 100, 100, 8);
    std::memset(sq.Data, 0, sq.DataSize);
    sq.Rotate(d.oem(), 45.0f);
    ASSERT_EQ(sq.Width, 141);
    ASSERT_EQ(sq.Height, 141);
    EXPECT_EQ(sq.GetPixelIndex(0, 0), 255);
    EXPECT_EQ(sq.GetPixelIndex(140, 140), 255);
    EXPECT_EQ(sq.GetPixelIndex(140, 0), 255);
    EXPECT_EQ(sq.GetPixelIndex(70, 70), 0);
    EXPECT_EQ(sq.GetPixelIndex(70, 2), 0);  // the corners of the square touch the edges
    EXPECT_EQ(sq.GetPixelIndex(2, 70), 0);
    int black = 0;
    for (int y = 0; y < 141; ++y)
        for (int x = 0; x < 141; ++x) black += sq.GetPixelIndex(x, y) == 0;
    EXPECT_NEAR(black, 10000, 300);

    // 100 degrees: one quarter turn, then 10 degrees by resampling.
    Bitmap r(d.oem(), 100, 50, 24);
    r.Rotate(d.oem(), 100.0f);
    EXPECT_EQ(r.Width, 67);    // 50 cos 10 + 100 sin 10 = 66.6
    EXPECT_EQ(r.Height, 107);  // 50 sin 10 + 100 cos 10 = 107.2

    // Angles that are not numbers change nothing.
    Bitmap n(d.oem(), 5, 4, 8);
    n.Rotate(d.oem(), std::numeric_limits<float>::quiet_NaN());
    n.Rotate(d.oem(), std::numeric_limits<float>::infinity());
    EXPECT_EQ(n.Width, 5);
    n.Rotate(d.oem(), 3.0e38f);  // a huge angle ends
    EXPECT_GT(n.DataSize, 0u);
}

TEST(BitmapGeometry, BilinearScalingByHand)
{
    BitmapDevice d;
    // Storage rows: bottom (0, 100), top (200, 50).
    Bitmap b(d.oem(), 2, 2, 8);
    b.Data[0] = 0;
    b.Data[1] = 100;
    b.Data[4] = 200;
    b.Data[5] = 50;
    ASSERT_TRUE(b.ResizeBilinear(d.oem(), 4, 4, 0, 0));
    ASSERT_EQ(b.Width, 4);
    ASSERT_EQ(b.ScanLineSize, 4u);
    // rx = ry = 0.5; the last source row and column have no neighbour.
    const BYTE expected[4][4] = {{0, 50, 100, 100},
                                 {100, 87, 75, 75},  // (0 .5 + 100 .5) .5 + (50 .5 + 200 .5) .5
                                 {200, 125, 50, 50},
                                 {200, 125, 50, 50}};
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(b.Data[j * 4 + i], expected[j][i]) << "storage row " << j << " col " << i;

    // Kept ratio: height = trunc((Height - 1) / ((Width - 1) / (new - 1))).
    Bitmap r(d.oem(), 101, 51, 24);
    r.ResizeBilinear(d.oem(), 11, 999, 1, 0);
    EXPECT_EQ(r.Width, 11);
    EXPECT_EQ(r.Height, 5);
    r.ResizeBilinear(d.oem(), 999, 3, 0, 1);
    EXPECT_EQ(r.Height, 3);
    EXPECT_EQ(r.Width, 5);  // trunc(10 / (4 / 2))

    // Below two pixels, or one-pixel sources with a kept ratio: unchanged.
    r.ResizeBilinear(d.oem(), 1, 50, 0, 0);
    EXPECT_EQ(r.Width, 5);
    Bitmap line(d.oem(), 1, 9, 8);
    line.ResizeBilinear(d.oem(), 5, 5, 1, 0);
    EXPECT_EQ(line.Width, 1);

    // One bit has no whole bytes per pixel: the result stays white.
    Bitmap mono(d.oem(), 16, 2, 1);
    std::memset(mono.Data, 0, mono.DataSize);
    mono.ResizeBilinear(d.oem(), 8, 4, 0, 0);
    EXPECT_EQ(mono.Height, 4);
    EXPECT_FALSE(mono.CheckInhalt());
}

TEST(BitmapContent, BlackAndWhiteBytesCount)
{
    BitmapDevice d;
    Bitmap b(d.oem(), 64, 8, 1);
    EXPECT_FALSE(b.CheckInhalt());  // all white
    b.Data[17] = 0x00;
    EXPECT_FALSE(b.CheckInhalt());  // one black byte is not yet content
    b.Data[40] = 0x00;
    EXPECT_TRUE(b.CheckInhalt());
    std::memset(b.Data, 0, b.DataSize);
    EXPECT_FALSE(b.CheckInhalt());  // all black
    b.Data[b.DataSize - 1] = 0x7F;  // a mixed byte, even in the last byte
    EXPECT_TRUE(b.CheckInhalt());
}

// ---- BMP files read back by netpbm

TEST(BitmapSave, NetpbmReadsTheSamePixels)
{
    SimSandbox sandbox;
    BitmapDevice d;
    // Odd sizes so that every row carries padding.
    Bitmap rgb(d.oem(), 13, 7, 24);
    Paint(rgb, [](int x, int y) { return RGBColour(BYTE(19 * x), BYTE(35 * y), BYTE(x * y)); });
    Bitmap grey(d.oem(), 5, 3, 8);
    grey.SetPalette(d.tables[0]);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) grey.SetPixelIndex(x, y, 50 * x + y);
    Bitmap mono(d.oem(), 11, 3, 1);
    mono.SetPaletteColor(0, 0);
    mono.SetPaletteColor(1, 0xFFFFFF);
    for (int x = 0; x < 11; x += 3) mono.SetPixelIndex(x, x % 3 == 0 ? 1 : 0, 0);

    const std::u16string base = kx::plat::GetFolderPath(kx::plat::Folder::Temp) + u"\\save";
    EXPECT_EQ(rgb.Save(u"C:\\no such dir\\x.bmp"), kx::BMP_SAVE_NO_FILE);
    ASSERT_EQ(rgb.Save(base + u"24.bmp"), kx::BMP_SAVE_OK);
    EXPECT_EQ(SimSandbox::ReadHostFile(sandbox.HostPath(base + u"24.bmp")).size(), 54u + 7u * 40u);
    if (!HaveTool("/usr/bin/bmptopnm")) GTEST_SKIP() << "netpbm is not installed";
    char16_t n = u'a';
    for (const Bitmap* b : {&rgb, &grey, &mono}) {
        const std::u16string name = base + n++ + u".bmp";
        ASSERT_EQ(b->Save(name), kx::BMP_SAVE_OK);
        const kxhost::Image p = Decode("/usr/bin/bmptopnm '" + sandbox.HostPath(name) + "'");
        ASSERT_EQ(p.width, b->Width);
        ASSERT_EQ(p.height, b->Height);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const std::uint8_t* q = p.Pixel(x, y);
                EXPECT_EQ(RGBColour(q[0], q[1], q[2]), b->GetPixelColor(x, y)) << x << "," << y;
            }
    }
}
