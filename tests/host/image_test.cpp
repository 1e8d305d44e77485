// Page images: the formats kxrender reads, the files it refuses, and the
// bytes of the bands and lines it cuts from them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

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

std::string Rgb(const Image& img, int x, int y)
{
    const std::uint8_t* p = img.Pixel(x, y);
    char s[8];
    std::snprintf(s, sizeof(s), "%02X%02X%02X", p[0], p[1], p[2]);
    return s;
}

// Every case of data/images.json: the pixels it decodes to, or its refusal.
TEST(Images, DecodedOrRefused)
{
    const std::filesystem::path data = std::filesystem::path(KX_SOURCE_DIR) / "tests/host/data";
    std::ifstream in(data / "images.json");
    const nlohmann::json table = nlohmann::json::parse(in);
    ASSERT_GE(table.at("cases").size(), 20u);
    for (const nlohmann::json& c : table["cases"]) {
        SCOPED_TRACE(c.dump().substr(0, 100));
        Bytes bytes;
        if (c.contains("file")) {
            std::ifstream f(data / "images" / c["file"].get<std::string>(), std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(f), {});
        } else if (c.contains("text")) {
            bytes = Of(c["text"]);
        } else {
            const std::string hex = c["hex"];
            for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
                bytes.push_back(
                    static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
        try {
            const Image img = DecodeImage(bytes);
            EXPECT_FALSE(c.contains("error"));
            for (const auto& p : c.value("pixels", nlohmann::json::array()))
                EXPECT_EQ(Rgb(img, p[0], p[1]), p[2]) << "at " << p[0] << "," << p[1];
        } catch (const ImageError& e) {
            ASSERT_TRUE(c.contains("error")) << e.what();
            EXPECT_NE(std::string(e.what()).find(c["error"].get<std::string>()), std::string::npos)
                << e.what();
        }
    }
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
