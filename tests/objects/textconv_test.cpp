// Text conversions of the text hook: the rows of data/textconv.json (font
// recognition, UTF-8, glyph conversions, ribbon colours, device code pages,
// vector field descriptions and the cleaning of placeholder text).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "objects/textconv.h"
#include "objects/vectorfont.h"

namespace {

using nlohmann::json;

const json& Data()
{
    static const json data = json::parse(
        std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" / "textconv.json"));
    return data;
}

unsigned Hex(const json& v)
{
    return std::stoul(v.get<std::string>(), nullptr, 16);
}

std::u16string Units(const json& list)
{
    std::u16string units;
    for (const json& u : list) units += static_cast<char16_t>(Hex(u));
    return units;
}

TEST(TextConv, FontIndex)
{
    const json& fonts = Data().at("fonts");
    KX_DEVMODE dm{};
    for (int i = 0; i < 8; ++i) {
        kx::Copy(dm.szWindowsFontName[i], 33,
                 kx::Utf8ToUtf16(fonts["names"][i].get<std::string>()));
        kx::Copy(dm.szWindowsFontName2[i], 33,
                 kx::Utf8ToUtf16(fonts["names2"][i].get<std::string>()));
    }
    for (const json& c : fonts.at("cases")) {
        SCOPED_TRACE(c.dump());
        dm.wAnzahlFonts = static_cast<WORD>(c.value("count", 8));
        const std::u16string face = kx::Utf8ToUtf16(c["face"].get<std::string>());
        EXPECT_EQ(kx::VectorTrueTypeIndex(face.c_str(), c.value("bold", false),
                                          c.value("italic", false), dm),
                  c["index"].get<int>());
        EXPECT_EQ(kx::UserFontSlot(face.c_str(), dm), c.value("slot", -1));
    }
}

TEST(TextConv, Utf8AndGlyphs)
{
    for (const json& c : Data().at("utf8")) {
        SCOPED_TRACE(c.dump());
        const std::u16string units = Units(c["units"]);
        std::string expected;
        for (const json& b : c["bytes"]) expected += static_cast<char>(Hex(b));
        std::vector<char> out(3 * units.size() + 1, 'x');
        int cch = static_cast<int>(units.size());
        const int n = kx::UnicodeToUTF8Ex(out.data(), units.data(), &cch);
        EXPECT_EQ(n, static_cast<int>(expected.size()));
        EXPECT_EQ(cch, n);
        EXPECT_EQ(std::string(out.data(), n), expected);
        EXPECT_EQ(out[n], '\0');
    }
    const json& g = Data().at("glyphs");
    std::u16string text = Units(g["units"]);
    EXPECT_TRUE(kx::ConvertCrystalString(text.data(), static_cast<ULONG>(text.size())));
    EXPECT_EQ(text, Units(g["crystal"]));
    text = Units(g["units"]);
    kx::ConvertToNormalWide(text.data(), static_cast<ULONG>(text.size()));
    EXPECT_EQ(text, Units(g["normal"]));
}

TEST(TextConv, RibbonColour)
{
    const json& ribbon = Data().at("ribbon");
    std::vector<RGBQUAD> palette;
    for (const json& e : ribbon["palette"]) {
        palette.push_back({e[0].get<BYTE>(), e[1].get<BYTE>(), e[2].get<BYTE>(), 0});
    }
    for (const json& c : ribbon.at("cases")) {
        SCOPED_TRACE(c.dump());
        EXPECT_EQ(
            kx::RibbonColourIndex(Hex(c[0]), palette.data(), c[1].get<WORD>(), c[2].get<WORD>()),
            c[3].get<ULONG>());
    }
    for (const auto& [index, name] : ribbon.at("names").items()) {
        const char* got = kx::ColourName(std::stoul(index));
        EXPECT_EQ(got ? json(got) : json(), name) << index;
    }
}

TEST(TextConv, CodePages)
{
    for (const json& c : Data().at("codepages")) {
        SCOPED_TRACE(c.dump());
        const unsigned char* table = kx::CodePageTable(c[0].get<WORD>());
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table[Hex(c[1])], Hex(c[2]));
    }
    EXPECT_EQ(kx::CodePageTable(0), nullptr);
    EXPECT_EQ(kx::CodePageTable(8), nullptr);
    EXPECT_EQ(kx::CodePageTable(16), nullptr);
}

TEST(TextConv, VectorDescription)
{
    const json& v = Data().at("vector");
    for (const json& c : v.at("cases")) {
        SCOPED_TRACE(c.dump());
        const std::u16string face = kx::Utf8ToUtf16(c[5].get<std::string>());
        FieldDescription desc;
        kx::GetVectorDescription(&desc, c[0].get<int>(), c[1].get<int>(), c[2].get<LONG>(),
                                 c[3].get<bool>(), c[4].get<bool>(), face.c_str());
        EXPECT_EQ(desc.wFontClass, kFontClassVector);
        EXPECT_EQ(desc.wId, c[6].get<WORD>());
        EXPECT_EQ(desc.dwRotation, static_cast<DWORD>(std::max(c[1].get<int>(), 0)));
        EXPECT_EQ(desc.cy, c[7].get<DWORD>());
        EXPECT_EQ(desc.cx, desc.cy);
        EXPECT_EQ(desc.dwFlags | desc.dwExtra, 0u);
        EXPECT_EQ(std::u16string(desc.szFontName), face);
    }
    for (const json& c : v.at("alnum")) {
        SCOPED_TRACE(c.dump());
        std::u16string text = Units(c[0]);
        kx::StringALNUM(text);
        EXPECT_EQ(text, Units(c[1]));
    }
    // Only the first 259 characters are looked at.
    std::u16string text(260, u'\n');
    EXPECT_EQ(kx::StringALNUM(text), 259);
    EXPECT_EQ(text, std::u16string(259, u' ') + u'\n');
}

}  // namespace
