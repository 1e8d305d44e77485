// Page images: the formats kxrender reads and the files it refuses. (The
// bytes of the bands and lines it cuts from them reach the plug-in in every
// golden job: 1-bit lines in line-label-203, 1-, 8- and 24-bit bands in the
// graphic-* and preview jobs.)
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

}  // namespace
