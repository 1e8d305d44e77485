// Page images: the formats kxrender reads, the files it refuses, and the
// bytes of the bands and lines it cuts from them.
#include <gtest/gtest.h>

#include <png.h>

#include <cstring>

#include "host/image.h"

namespace {

using kxhost::DecodeImage;
using kxhost::Image;
using kxhost::ImageError;
using Bytes = std::vector<std::uint8_t>;

Bytes Of(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A BMP with the given bit count, rows as given (bottom-up unless topDown).
Bytes Bmp(int width, int height, int bits, const std::vector<Bytes>& rowsTopFirst,
          const Bytes& palette = {}, bool topDown = false)
{
    std::size_t stride = (width * bits + 31) / 32 * 4;
    std::size_t off = 54 + palette.size();
    Bytes b(off + stride * height, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(b.size()));
    Put32(b, 10, static_cast<std::uint32_t>(off));
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<std::uint32_t>(width));
    Put32(b, 22, static_cast<std::uint32_t>(topDown ? -height : height));
    b[26] = 1;
    b[28] = static_cast<std::uint8_t>(bits);
    Put32(b, 46, static_cast<std::uint32_t>(palette.size() / 4));
    std::copy(palette.begin(), palette.end(), b.begin() + 54);
    for (int y = 0; y < height; ++y) {
        int row = topDown ? y : height - 1 - y;
        std::copy(rowsTopFirst[y].begin(), rowsTopFirst[y].end(), b.begin() + off + stride * row);
    }
    return b;
}

std::string Rgb(const Image& img, int x, int y)
{
    const std::uint8_t* p = img.Pixel(x, y);
    char s[8];
    std::snprintf(s, sizeof(s), "%02X%02X%02X", p[0], p[1], p[2]);
    return s;
}

TEST(Images, BmpOfEveryBitCount)
{
    // 1 bit, bottom-up, colour 0 red and 1 blue (BGR0 entries).
    Image a = DecodeImage(Bmp(3, 2, 1, {{0x40}, {0xA0}}, {0, 0, 255, 0, 255, 0, 0, 0}));
    EXPECT_EQ(Rgb(a, 0, 0), "FF0000");
    EXPECT_EQ(Rgb(a, 1, 0), "0000FF");
    EXPECT_EQ(Rgb(a, 0, 1), "0000FF");
    EXPECT_EQ(Rgb(a, 2, 1), "0000FF");
    // 4 bits, high nibble first.
    Bytes pal16(64, 0);
    pal16[4 * 15 + 1] = 200;
    Image b = DecodeImage(Bmp(2, 1, 4, {{0xF0}}, pal16));
    EXPECT_EQ(Rgb(b, 0, 0), "00C800");
    EXPECT_EQ(Rgb(b, 1, 0), "000000");
    // 24 bits top-down, stored blue-green-red.
    Image c = DecodeImage(Bmp(2, 2, 24, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}}, {}, true));
    EXPECT_EQ(Rgb(c, 0, 0), "030201");
    EXPECT_EQ(Rgb(c, 1, 1), "0C0B0A");
    // 32 bits.
    Image d = DecodeImage(Bmp(1, 1, 32, {{9, 8, 7, 0}}));
    EXPECT_EQ(Rgb(d, 0, 0), "070809");
}

TEST(Images, BrokenBmpsAreRefused)
{
    Bytes ok =
        Bmp(4, 4, 8, {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 3}}, Bytes(4 * 2, 0xFF));
    Bytes cut(ok.begin(), ok.end() - 1);
    EXPECT_THROW(DecodeImage(cut), ImageError);
    // A pixel pointing past the two-entry colour table.
    try {
        DecodeImage(ok);
        FAIL() << "no error";
    } catch (const ImageError& e) {
        EXPECT_STREQ(e.what(), "BMP: a pixel refers to colour 3 beyond the colour table");
    }
    Bytes rle = Bmp(1, 1, 8, {{0}}, Bytes(4, 0));
    rle[30] = 1;  // BI_RLE8
    EXPECT_THROW(DecodeImage(rle), ImageError);
    Bytes huge = Bmp(1, 1, 24, {{0, 0, 0}});
    Put32(huge, 18, 70000);
    try {
        DecodeImage(huge);
        FAIL() << "no error";
    } catch (const ImageError& e) {
        EXPECT_STREQ(e.what(), "the image is too large to read (70000 x 1 pixels)");
    }
}

TEST(Images, NetpbmTextAndBinary)
{
    Image p1 = DecodeImage(Of("P1\n# comment\n3 2\n0 1 0\n100\n"));
    EXPECT_EQ(Rgb(p1, 1, 0), "000000");
    EXPECT_EQ(Rgb(p1, 0, 0), "FFFFFF");
    EXPECT_EQ(Rgb(p1, 0, 1), "000000");
    Image p4 = DecodeImage(Of(std::string("P4 9 1\n") + '\x80' + '\x80'));
    EXPECT_EQ(Rgb(p4, 0, 0), "000000");
    EXPECT_EQ(Rgb(p4, 8, 0), "000000");
    EXPECT_EQ(Rgb(p4, 1, 0), "FFFFFF");
    Image p2 = DecodeImage(Of("P2 2 1 1000 0 500\n"));
    EXPECT_EQ(Rgb(p2, 1, 0), "808080");
    Image p5 = DecodeImage(Of(std::string("P5 1 1 65535\n") + '\x80' + '\x00'));
    EXPECT_EQ(Rgb(p5, 0, 0), "808080");
    Image p6 = DecodeImage(Of("P6 1 1 255\n\x01\x02\x03"));
    EXPECT_EQ(Rgb(p6, 0, 0), "010203");
    EXPECT_THROW(DecodeImage(Of("P4 9 2\n\x80\x80")), ImageError);
    EXPECT_THROW(DecodeImage(Of("P2 1 1 10 11\n")), ImageError);
    EXPECT_THROW(DecodeImage(Of("P1 0 5\n")), ImageError);
    EXPECT_THROW(DecodeImage(Of("P1 2 1\n0 2\n")), ImageError);
    EXPECT_THROW(DecodeImage(Of("GIF89a")), ImageError);
}

TEST(Images, PngWithTransparencyLiesOnWhite)
{
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    png.width = 2;
    png.height = 1;
    png.format = PNG_FORMAT_RGBA;
    const std::uint8_t pixels[] = {10, 20, 30, 255, 0, 0, 0, 0};
    png_alloc_size_t size = 0;
    ASSERT_TRUE(png_image_write_to_memory(&png, nullptr, &size, 0, pixels, 0, nullptr));
    Bytes file(size);
    ASSERT_TRUE(png_image_write_to_memory(&png, file.data(), &size, 0, pixels, 0, nullptr));
    Image img = DecodeImage(file);
    EXPECT_EQ(Rgb(img, 0, 0), "0A141E");
    EXPECT_EQ(Rgb(img, 1, 0), "FFFFFF");
    file.resize(file.size() / 2);
    EXPECT_THROW(DecodeImage(file), ImageError);
}

TEST(Images, BandsAreDibRowsTopFirstWithWhitePadding)
{
    Image img = DecodeImage(Of("P1 10 2\n1000000001\n0100000000\n"));
    // 1 bit: black is 0, rows of 4 bytes, padding bits and bytes white.
    EXPECT_EQ(kxhost::DibBand(img, 0, 0, 10, 2, 1),
              (Bytes{0x7F, 0xBF, 0xFF, 0xFF, 0xBF, 0xFF, 0xFF, 0xFF}));
    // 8 bits: grey levels.
    EXPECT_EQ(kxhost::DibBand(img, 0, 1, 3, 1, 8), (Bytes{0xFF, 0x00, 0xFF, 0xFF}));
    // 24 bits: blue, green, red; a band reaching past the image is white there.
    Image colour = DecodeImage(Of("P6 1 1 255\n\x01\x02\x03"));
    EXPECT_EQ(kxhost::DibBand(colour, 0, 0, 2, 1, 24), (Bytes{3, 2, 1, 255, 255, 255, 255, 255}));
    EXPECT_TRUE(kxhost::IsBlankBand(kxhost::DibBand(img, 2, 0, 6, 2, 1)));
    EXPECT_FALSE(kxhost::IsBlankBand(kxhost::DibBand(img, 0, 0, 2, 1, 1)));
    EXPECT_EQ(kxhost::DibRowBytes(33, 1), 8u);
    EXPECT_EQ(kxhost::DibRowBytes(3, 24), 12u);
}

TEST(Images, PrinterLinesMarkBlackWithOnes)
{
    Image img = DecodeImage(Of("P1 10 1\n1000000001\n"));
    EXPECT_EQ(kxhost::PrinterLine(img, 0), (Bytes{0x80, 0x40}));
}

}  // namespace
