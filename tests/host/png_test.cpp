// The PNG reader, one table: files libpng writes in every colour type, depth
// and layout must give the pixels libpng's own simplified reader gives (RGB
// on white), hand-made files the pixels they hold, and broken files a clear
// ImageError.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "host/png.h"

namespace {

using kxhost::DecodePng;
using kxhost::Image;
using Bytes = std::vector<std::uint8_t>;

struct Layout {
    int colour, depth, interlace = PNG_INTERLACE_NONE;
    std::uint32_t width = 13, height = 11;
    bool transparency = false;  // tRNS: alpha per palette entry, or a key colour
    int significantBits = 0;    // sBIT
    int filters = PNG_ALL_FILTERS, level = Z_DEFAULT_COMPRESSION;
    std::size_t idatSize = 8192;
};

// Writes a PNG with libpng; the rows are raw samples as IHDR describes them,
// by default noise of bytes mostly 0 or 255 (alpha often exactly opaque or
// clear, samples often the key).
Bytes WritePng(const Layout& l, Bytes pixels = {})
{
    const int channels = l.colour == 2 ? 3 : l.colour == 4 ? 2 : l.colour == 6 ? 4 : 1;
    const std::size_t rowBytes = (l.width * channels * l.depth + 7) / 8;
    std::mt19937 rng(l.width * 7 + l.depth + l.colour);
    auto noise = [&](std::size_t n) {
        Bytes b(n);
        for (auto& v : b) v = std::uint8_t(rng() % 3 == 0 ? 0 : rng() % 2 ? 255 : rng());
        return b;
    };
    if (pixels.empty()) pixels = noise(rowBytes * l.height);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes out;
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep d, png_size_t n) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), d, d + n);
        },
        nullptr);
    png_set_IHDR(png, info, l.width, l.height, l.depth, l.colour, l.interlace, 0, 0);
    png_set_filter(png, 0, l.filters);
    png_set_compression_level(png, l.level);
    png_set_compression_buffer_size(png, l.idatSize);
    std::vector<png_color> palette(1u << std::min(l.depth, 8));
    for (auto& c : palette) c = {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng())};
    if (l.colour == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    Bytes alpha = noise(palette.size() - 1);  // the last entry stays opaque
    png_color_16 key{};  // black, or for grey of 2 and 4 bits a grey the samples are stretched from
    key.gray = l.depth < 8 ? 1 : 0;
    if (l.transparency)
        png_set_tRNS(png, info, alpha.data(), l.colour == 3 ? int(alpha.size()) : 0, &key);
    png_color_8 sig{};
    sig.red = sig.green = sig.blue = sig.gray = static_cast<png_byte>(l.significantBits);
    sig.alpha = static_cast<png_byte>(l.depth);
    if (l.significantBits) png_set_sBIT(png, info, &sig);
    std::vector<png_bytep> rows(l.height);
    for (std::uint32_t y = 0; y < l.height; ++y) rows[y] = &pixels[y * rowBytes];
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes LibpngDecode(const Bytes& file)
{
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_memory(&png, file.data(), file.size())) << png.message;
    png.format = PNG_FORMAT_RGB;
    Bytes rgb(PNG_IMAGE_SIZE(png));
    png_color white = {255, 255, 255};
    EXPECT_TRUE(png_image_finish_read(&png, &white, rgb.data(), 0, nullptr)) << png.message;
    return rgb;
}

struct Case {
    std::string name;
    Bytes file;
    std::string error;  // a part of the message; empty when the file decodes to rgb
    Bytes rgb = {};
};

// A libpng file and libpng's pixels. Its simplified reader garbles interlaced
// 16-bit images (1.6.39 at least: the passes land on the wrong pixels), so
// those pixels come from the same samples written without interlacing.
Case AsLibpng(const Layout& l, const Bytes& pixels = {})
{
    Layout flat = l;
    flat.interlace = l.depth == 16 ? PNG_INTERLACE_NONE : l.interlace;
    char name[100];
    std::snprintf(name, sizeof name,
                  "colour %d depth %d interlace %d tRNS %d sBIT %d filters %d %ux%u", l.colour,
                  l.depth, l.interlace, l.transparency, l.significantBits, l.filters, l.width,
                  l.height);
    return {name, WritePng(l, pixels), "", LibpngDecode(WritePng(flat, pixels))};
}

void AddLibpngCases(std::vector<Case>& cases)
{
    const std::pair<int, std::vector<int>> kinds[] = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    for (const auto& [colour, depths] : kinds)
        for (int depth : depths)
            for (int interlace : {0, 1})
                for (bool trns : {false, true})
                    // Sizes that leave Adam7 passes empty, and ones that don't.
                    for (auto [w, h] : {std::pair(13u, 11u), std::pair(1u, 1u), std::pair(3u, 2u)})
                        if (!trns || !(colour & PNG_COLOR_MASK_ALPHA))
                            cases.push_back(AsLibpng({colour, depth, interlace, w, h, trns}));
    // Every grey level at every alpha, 8 and 16 bits; sBIT makes libpng's
    // 16-bit tables coarser.
    Bytes all;
    for (unsigned i = 0; i < 256 * 256; ++i)
        all.insert(all.end(), {std::uint8_t(i >> 8), std::uint8_t(i)});
    cases.push_back(AsLibpng({4, 8, 0, 256, 256}, all));
    cases.push_back(AsLibpng({4, 16, 0, 256, 128}, all));
    for (int bits : {0, 4, 8, 12}) cases.push_back(AsLibpng({6, 16, 0, 64, 64, false, bits}));
    for (int filter :
         {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH})
        for (Layout l : {Layout{2, 8, 0, 37, 9}, Layout{0, 2, 1, 37, 9}, Layout{6, 16, 1, 37, 9}}) {
            l.filters = filter;
            cases.push_back(AsLibpng(l));
        }
    // Stored blocks only; the data over many small IDAT chunks; the widest
    // images there are.
    cases.push_back(AsLibpng({2, 8, 0, 300, 300, false, 0, PNG_ALL_FILTERS, 0}));
    cases.push_back(AsLibpng({4, 8, 1, 200, 50, false, 0, PNG_ALL_FILTERS, 9, 16}));
    cases.push_back(AsLibpng({6, 16, 1, 65535, 3}));
    cases.push_back(AsLibpng({0, 1, 0, 65535, 2}));
    // The pages of the golden jobs and examples.
    for (const char* dir : {"/examples", "/tests/host"})
        for (const auto& e :
             std::filesystem::recursive_directory_iterator(KX_SOURCE_DIR + std::string(dir)))
            if (e.path().extension() == ".png") {
                std::ifstream in(e.path(), std::ios::binary);
                Bytes file(std::istreambuf_iterator<char>(in), {});
                cases.push_back({e.path().string(), file, "", LibpngDecode(file)});
            }
}

struct Chunk {
    std::string type;  // empty: left out
    Bytes data;
};

// A file of libpng's with its chunks changed, every CRC right.
Bytes Edit(const Bytes& png, const std::function<void(std::vector<Chunk>&)>& change)
{
    std::vector<Chunk> chunks;
    for (std::size_t at = 8; at + 12 <= png.size(); at += 12 + chunks.back().data.size()) {
        std::size_t len = png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        auto data = png.begin() + at + 8;
        chunks.push_back({std::string(data - 4, data), Bytes(data, data + len)});
    }
    change(chunks);
    Bytes b(png.begin(), png.begin() + 8);
    auto put32 = [&](std::size_t v) {
        for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
    };
    for (const auto& c : chunks) {
        if (c.type.empty()) continue;
        put32(c.data.size());
        std::size_t start = b.size();
        b.insert(b.end(), c.type.begin(), c.type.end());
        b.insert(b.end(), c.data.begin(), c.data.end());
        put32(crc32(0, &b[start], static_cast<uInt>(b.size() - start)));
    }
    return b;
}

// A file of the given layout whose image data is the given zlib stream, or
// these raw rows compressed.
Bytes WithData(const Layout& l, Bytes zlib, const Bytes& raw = {})
{
    if (!raw.empty()) {
        uLongf n = compressBound(raw.size());
        zlib.resize(n);
        compress(zlib.data(), &n, raw.data(), raw.size());
        zlib.resize(n);
    }
    return Edit(WritePng(l), [&](std::vector<Chunk>& c) {
        std::erase_if(c, [](const Chunk& k) { return k.type == "IDAT"; });
        c.insert(c.end() - 1, {"IDAT", zlib});
    });
}

void AddBrokenCases(std::vector<Case>& cases)
{
    const Layout grey2x2{0, 8, 0, 2, 2},
        rgba16i{6, 16, 1, 20, 20, false, 0, PNG_ALL_FILTERS, 6, 64};
    const Bytes pal = WritePng({3, 4, 0, 9, 9, true}), rgba = WritePng(rgba16i);
    auto flip = [](Bytes b, std::size_t at) { return b[at] ^= 1, b; };
    auto header = [&](std::size_t at, std::uint8_t v) {
        return Edit(pal, [&](auto& c) { c[0].data[at] = v; });
    };
    auto drop = [&](std::size_t i) { return Edit(pal, [&](auto& c) { c[i].type.clear(); }); };
    auto sized = [&](std::uint32_t w, std::uint32_t h) {
        return Edit(pal, [&](auto& c) {
            for (int i = 0; i < 8; ++i)
                c[0].data[i] = std::uint8_t((i < 4 ? w : h) >> (24 - i % 4 * 8));
        });
    };
    const std::size_t trnsCrc = 33 + 12 + 16 * 3 + 8 + 15;  // IHDR, PLTE of 16, tRNS of 15
    const Bytes greys = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    std::vector<Case> broken = {
        {"signature", flip(pal, 1), "bad signature"},
        {"bad IDAT CRC", flip(pal, pal.size() - 20), "bad CRC in chunk IDAT"},
        {"no IEND", Bytes(rgba.begin(), rgba.end() - 12), "truncated (the file ends before"},
        {"IEND cut", Bytes(rgba.begin(), rgba.end() - 1), "truncated (chunk IEND is cut off)"},
        {"no pixels", sized(0, 10), "image of 0 x 10 has no pixels"},
        {"too wide", sized(70000, 10), "image of 70000 x 10 exceeds"},
        {"too many", sized(9000, 9000), "image of 9000 x 9000 exceeds"},
        {"negative", sized(0x80000000u, 1), "invalid image size"},
        {"large, little data", sized(6000, 6000), "too little image data"},
        {"depth", header(8, 3), "invalid bit depth 3 for colour type 3"},
        {"colour type", header(9, 5), "invalid colour type 5"},
        {"compression", header(10, 1), "unsupported compression method 1"},
        {"interlace", header(12, 2), "unsupported interlace method 2"},
        {"no PLTE", drop(1), "without a PLTE"},
        {"short PLTE", Edit(pal, [](auto& c) { c[1].data.resize(6); }), "palette index"},
        {"PLTE first", drop(0), "the first chunk is PLTE, not IHDR"},
        {"critical", Edit(pal, [](auto& c) { c[2].type = "ABCD"; }), "unknown critical chunk ABCD"},
        // An ancillary chunk with a bad CRC is dropped, as libpng drops it.
        {"bad tRNS CRC", flip(pal, trnsCrc), "", DecodePng(drop(2)).rgb},
        {"filter 0 rows", WithData(grey2x2, {}, {0, 1, 2, 0, 3, 4}), "", greys},
        // Data past the last row is ignored, as libpng ignores it.
        {"extra data", WithData(grey2x2, {}, {0, 1, 2, 0, 3, 4, 0}), "", greys},
        {"filter 5", WithData(grey2x2, {}, {0, 1, 2, 5, 3, 4}), "invalid row filter type"},
        {"short data", WithData(grey2x2, {}, {0, 1, 2, 0, 3}), "too little image data"},
        {"interlaced 16-bit", WithData(rgba16i, {}, Bytes(3200, 1)), "too little image data"},
        {"grey+alpha", WithData({4, 8, 0, 5, 5}, {}, Bytes(54, 1)), "too little image data"},
        {"zlib header", WithData(grey2x2, {0x79, 0x01, 0x03, 0x00}), "not a zlib stream"},
        // A copy from before the start (fixed codes: length 3, distance 1).
        {"distance", WithData(grey2x2, {0x78, 1, 3, 2, 0, 0, 0, 0, 0, 0}),
         "deflate stream (bad dist)"},
        // The reserved block type, which fails without a reason of its own:
        // the message must not be the previous case's.
        {"block type", WithData(grey2x2, {0x78, 1, 7, 0, 0, 0, 0, 0}), "invalid deflate block"},
    };
    cases.insert(cases.end(), broken.begin(), broken.end());
    for (std::size_t n = 0; n < rgba.size(); ++n)
        cases.push_back(
            {"cut at " + std::to_string(n), Bytes(rgba.begin(), rgba.begin() + n), "PNG: "});
}

TEST(Png, Cases)
{
    std::vector<Case> cases;
    AddLibpngCases(cases);
    AddBrokenCases(cases);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            Image img = DecodePng(c.file);
            EXPECT_EQ(c.error, "") << "no error";
            ASSERT_EQ(img.rgb.size(), c.rgb.size());
            auto diff = std::mismatch(img.rgb.begin(), img.rgb.end(), c.rgb.begin());
            std::size_t at = diff.first - img.rgb.begin();
            EXPECT_EQ(at, img.rgb.size())
                << "pixel " << at / 3 % img.width << "," << at / 3 / img.width << ": "
                << int(*diff.first) << ", expected " << int(*diff.second);
        } catch (const kxhost::ImageError& e) {
            std::string what = e.what();
            EXPECT_NE(c.error, "") << what;
            EXPECT_NE(what.find(c.error), std::string::npos) << what;
            EXPECT_EQ(what.rfind("PNG: ", 0), 0u) << what;
        }
    }
}

}  // namespace
