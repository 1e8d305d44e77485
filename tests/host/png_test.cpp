// The PNG reader against libpng: files libpng writes in every colour type,
// depth and layout must give the pixels libpng's own simplified reader gives
// (RGB on white), and broken files a clear ImageError.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "host/png.h"

namespace {

using kxhost::DecodePng;
using kxhost::Image;
using kxhost::ImageError;
using Bytes = std::vector<std::uint8_t>;

struct Layout {
    int colour;
    int depth;
    int interlace = PNG_INTERLACE_NONE;
    std::uint32_t width = 13, height = 11;
    bool transparency = false;  // tRNS: alpha per palette entry, or the first pixel as key
    int significantBits = 0;    // sBIT
    int filters = PNG_ALL_FILTERS;
    int level = Z_DEFAULT_COMPRESSION;
    std::size_t idatSize = 8192;
};

int Channels(int colour)
{
    return colour == PNG_COLOR_TYPE_RGB ? 3 : colour == PNG_COLOR_TYPE_GA ? 2 : colour == 6 ? 4 : 1;
}

// Bytes mostly 0 or 255 so that alpha is often exactly opaque or clear.
Bytes Noise(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& v : b) {
        unsigned r = rng();
        v = static_cast<std::uint8_t>(r % 3 == 0 ? 0 : r % 3 == 1 ? 255 : r >> 8);
    }
    return b;
}

// Writes a PNG with libpng; the rows are raw samples as IHDR describes them.
Bytes WritePng(const Layout& l, const Bytes& pixels)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes out;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng cannot write the test file";
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep d, png_size_t n) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), d, d + n);
        },
        nullptr);
    png_set_IHDR(png, info, l.width, l.height, l.depth, l.colour, l.interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, 0, l.filters);
    png_set_compression_level(png, l.level);
    png_set_compression_buffer_size(png, l.idatSize);
    std::size_t rowBytes = (l.width * Channels(l.colour) * l.depth + 7) / 8;
    std::mt19937 rng(l.width * 7 + l.depth);
    std::vector<png_color> palette(1u << std::min(l.depth, 8));
    for (auto& c : palette) c = {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng())};
    if (l.colour == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (l.transparency && l.colour == PNG_COLOR_TYPE_PALETTE) {
        Bytes alpha = Noise(palette.size() - 1, 5);  // the last entry stays opaque
        png_set_tRNS(png, info, alpha.data(), static_cast<int>(alpha.size()), nullptr);
    } else if (l.transparency) {
        // The first pixel's colour is the transparent one.
        png_color_16 key{};
        auto sample = [&](int i) -> png_uint_16 {
            if (l.depth == 16) return png_uint_16(pixels[2 * i] << 8 | pixels[2 * i + 1]);
            if (l.depth == 8) return pixels[i];
            return png_uint_16(pixels[0] >> (8 - l.depth));
        };
        key.gray = key.red = sample(0);
        if (l.colour == PNG_COLOR_TYPE_RGB) key.green = sample(1), key.blue = sample(2);
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    if (l.significantBits) {
        png_color_8 sig{};
        sig.red = sig.green = sig.blue = sig.gray = static_cast<png_byte>(l.significantBits);
        sig.alpha = static_cast<png_byte>(l.depth);
        png_set_sBIT(png, info, &sig);
    }
    std::vector<png_bytep> rows(l.height);
    for (std::uint32_t y = 0; y < l.height; ++y)
        rows[y] = const_cast<png_bytep>(&pixels[y * rowBytes]);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes WritePng(const Layout& l)
{
    return WritePng(l, Noise((l.width * Channels(l.colour) * l.depth + 7) / 8 * l.height,
                             l.width + l.height + l.colour));
}

Image LibpngDecode(const Bytes& file)
{
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    Image img;
    if (!png_image_begin_read_from_memory(&png, file.data(), file.size())) {
        ADD_FAILURE() << "libpng: " << png.message;
        return img;
    }
    png.format = PNG_FORMAT_RGB;
    img.width = static_cast<int>(png.width);
    img.height = static_cast<int>(png.height);
    img.rgb.resize(PNG_IMAGE_SIZE(png));
    png_color white = {255, 255, 255};
    if (!png_image_finish_read(&png, &white, img.rgb.data(), 0, nullptr))
        ADD_FAILURE() << "libpng: " << png.message;
    return img;
}

void ExpectAsLibpng(const Bytes& file, const Bytes& reference)
{
    Image ours = DecodePng(file), ref = LibpngDecode(reference);
    ASSERT_EQ(ours.width, ref.width);
    ASSERT_EQ(ours.height, ref.height);
    auto diff = std::mismatch(ours.rgb.begin(), ours.rgb.end(), ref.rgb.begin());
    if (diff.first != ours.rgb.end()) {
        std::size_t i = (diff.first - ours.rgb.begin()) / 3;
        ADD_FAILURE() << "pixel " << i % ours.width << "," << i / ours.width << " channel "
                      << (diff.first - ours.rgb.begin()) % 3 << ": " << int(*diff.first)
                      << ", libpng " << int(*diff.second);
    }
}

void ExpectAsLibpng(const Bytes& file)
{
    ExpectAsLibpng(file, file);
}

// libpng's simplified reader garbles interlaced 16-bit images (1.6.39 at
// least: the passes land on the wrong pixels), so those are compared with
// libpng reading the same pixels without interlacing.
void ExpectAsLibpng(const Layout& l)
{
    Layout flat = l;
    flat.interlace = PNG_INTERLACE_NONE;
    ExpectAsLibpng(WritePng(l), WritePng(l.depth == 16 ? flat : l));
}

TEST(Png, EveryColourTypeDepthAndInterlaceAsLibpng)
{
    const std::pair<int, std::vector<int>> kinds[] = {{PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},
                                                      {PNG_COLOR_TYPE_RGB, {8, 16}},
                                                      {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},
                                                      {PNG_COLOR_TYPE_GA, {8, 16}},
                                                      {PNG_COLOR_TYPE_RGBA, {8, 16}}};
    for (const auto& [colour, depths] : kinds) {
        for (int depth : depths) {
            for (int interlace : {PNG_INTERLACE_NONE, PNG_INTERLACE_ADAM7}) {
                bool alpha = colour & PNG_COLOR_MASK_ALPHA;
                for (bool trns : {false, true}) {
                    if (trns && alpha) continue;
                    // Sizes that leave Adam7 passes empty, and ones that don't.
                    for (auto [w, h] :
                         {std::pair(13u, 11u), std::pair(1u, 1u), std::pair(3u, 2u)}) {
                        SCOPED_TRACE(testing::Message()
                                     << "colour " << colour << " depth " << depth << " interlace "
                                     << interlace << " tRNS " << trns << " " << w << "x" << h);
                        ExpectAsLibpng(Layout{colour, depth, interlace, w, h, trns});
                    }
                }
            }
        }
    }
}

TEST(Png, TransparencyBlendsAsLibpng)
{
    // Every grey level at every alpha.
    Bytes all(256 * 256 * 2);
    for (std::size_t i = 0; i < 256 * 256; ++i) {
        all[2 * i] = static_cast<std::uint8_t>(i >> 8);
        all[2 * i + 1] = static_cast<std::uint8_t>(i);
    }
    ExpectAsLibpng(WritePng({PNG_COLOR_TYPE_GA, 8, 0, 256, 256}, all));
    // 16 bits: all levels opaque, then at many alphas.
    ExpectAsLibpng(WritePng({PNG_COLOR_TYPE_GA, 16, 0, 256, 128}, all));
    ExpectAsLibpng(Layout{PNG_COLOR_TYPE_RGBA, 16, 0, 97, 89});
    // sBIT makes libpng's 16-bit tables coarser.
    for (int bits : {4, 8, 12})
        ExpectAsLibpng(Layout{PNG_COLOR_TYPE_RGBA, 16, 0, 64, 64, false, bits});
}

TEST(Png, FiltersAndStreamLayoutsAsLibpng)
{
    for (int filter :
         {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH}) {
        SCOPED_TRACE(filter);
        ExpectAsLibpng(Layout{PNG_COLOR_TYPE_RGB, 8, 0, 37, 9, false, 0, filter});
        ExpectAsLibpng(Layout{PNG_COLOR_TYPE_GRAY, 2, 1, 37, 9, false, 0, filter});
        ExpectAsLibpng(Layout{PNG_COLOR_TYPE_RGBA, 16, 1, 37, 9, false, 0, filter});
    }
    // Stored blocks only, and the data split over many small IDAT chunks.
    ExpectAsLibpng(Layout{PNG_COLOR_TYPE_RGB, 8, 0, 300, 300, false, 0, PNG_ALL_FILTERS, 0});
    ExpectAsLibpng(Layout{PNG_COLOR_TYPE_GA, 8, 1, 200, 50, false, 0, PNG_ALL_FILTERS, 9, 16});
    // The widest image there is, interlaced.
    ExpectAsLibpng(Layout{PNG_COLOR_TYPE_RGBA, 16, 1, 65535, 3});
    ExpectAsLibpng(Layout{PNG_COLOR_TYPE_GRAY, 1, 0, 65535, 2});
}

TEST(Png, ExampleImagesAsLibpng)
{
    int count = 0;
    for (const char* dir : {"/examples", "/tests/host"}) {
        for (const auto& e :
             std::filesystem::recursive_directory_iterator(std::string(KX_SOURCE_DIR) + dir)) {
            if (e.path().extension() != ".png") continue;
            SCOPED_TRACE(e.path().string());
            std::ifstream in(e.path(), std::ios::binary);
            ExpectAsLibpng(Bytes(std::istreambuf_iterator<char>(in), {}));
            ++count;
        }
    }
    EXPECT_GE(count, 3);  // the pages of the golden jobs
}

// ------------------------------------------------------------ broken files

struct Chunk {
    std::string type;
    Bytes data;
};

std::vector<Chunk> Split(const Bytes& png)
{
    std::vector<Chunk> chunks;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        std::size_t len = png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        chunks.push_back(
            {std::string(&png[at + 4], &png[at + 8]), Bytes(&png[at + 8], &png[at + 8] + len)});
        at += 12 + len;
    }
    return chunks;
}

Bytes Join(const std::vector<Chunk>& chunks)
{
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto put32 = [&](std::uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
    };
    for (const auto& c : chunks) {
        put32(static_cast<std::uint32_t>(c.data.size()));
        std::size_t start = b.size();
        b.insert(b.end(), c.type.begin(), c.type.end());
        b.insert(b.end(), c.data.begin(), c.data.end());
        put32(static_cast<std::uint32_t>(crc32(0, &b[start], static_cast<uInt>(b.size() - start))));
    }
    return b;
}

Bytes Compress(const Bytes& raw)
{
    uLongf n = compressBound(raw.size());
    Bytes z(n);
    compress(z.data(), &n, raw.data(), raw.size());
    z.resize(n);
    return z;
}

// A 2x2 8-bit grey image with the given IDAT payload.
Bytes Grey2x2(const Bytes& idat)
{
    auto chunks = Split(WritePng({PNG_COLOR_TYPE_GRAY, 8, 0, 2, 2}));
    chunks[1] = {"IDAT", idat};
    return Join(chunks);
}

// A deflate stream from bits, least significant first; Huffman codes are
// given most significant bit first, as they are packed.
struct BitWriter {
    Bytes b;
    int used = 8;
    BitWriter()
    {
        b.push_back(0x78);  // zlib header: deflate, 32K window, no dictionary
        b.push_back(0x01);
    }
    void Put(unsigned v, int n)
    {
        for (int i = 0; i < n; ++i, ++used) {
            if (used == 8) b.push_back(0), used = 0;
            b.back() |= static_cast<std::uint8_t>(((v >> i) & 1) << used);
        }
    }
    void Code(unsigned c, int n)
    {
        for (int i = n - 1; i >= 0; --i) Put(c >> i, 1);
    }
};

void ExpectError(const Bytes& file, const std::string& message)
{
    try {
        DecodePng(file);
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const ImageError& e) {
        EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).rfind("PNG: ", 0), 0u) << e.what();
    }
}

TEST(Png, TruncatedFilesAreErrors)
{
    Bytes file = WritePng({PNG_COLOR_TYPE_RGBA, 16, 1, 20, 20, false, 0, PNG_ALL_FILTERS, 6, 64});
    for (std::size_t n = 0; n < file.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_THROW(DecodePng(Bytes(file.begin(), file.begin() + n)), ImageError);
    }
    ExpectError(Bytes(file.begin(), file.end() - 12), "truncated");
    ExpectError(Bytes(file.begin(), file.end() - 1), "truncated (chunk IEND is cut off)");
}

TEST(Png, BrokenChunksAreErrors)
{
    Bytes good = WritePng({PNG_COLOR_TYPE_PALETTE, 4, 0, 9, 9, true});
    auto edit = [&](auto change) {
        auto chunks = Split(good);
        change(chunks);
        return Join(chunks);
    };
    Bytes bad = good;
    bad[1] = 'Q';
    ExpectError(bad, "bad signature");
    bad = good;
    bad[bad.size() - 20] ^= 1;  // inside IDAT
    ExpectError(bad, "bad CRC in chunk IDAT");
    auto size = [&](std::uint32_t w, std::uint32_t h) {
        return edit([&](std::vector<Chunk>& c) {
            for (int i = 0; i < 4; ++i) {
                c[0].data[i] = static_cast<std::uint8_t>(w >> (24 - 8 * i));
                c[0].data[4 + i] = static_cast<std::uint8_t>(h >> (24 - 8 * i));
            }
        });
    };
    ExpectError(size(0, 10), "image of 0 x 10 has no pixels");
    ExpectError(size(70000, 10), "image of 70000 x 10 exceeds");
    ExpectError(size(9000, 9000), "image of 9000 x 9000 exceeds");
    ExpectError(size(0x80000000u, 1), "invalid image size");
    ExpectError(size(6000, 6000), "too little image data");  // no allocation for it
    auto header = [&](int offset, std::uint8_t v) {
        return edit([&](std::vector<Chunk>& c) { c[0].data[offset] = v; });
    };
    ExpectError(header(8, 3), "invalid bit depth 3 for colour type 3");
    ExpectError(header(9, 5), "invalid colour type 5");
    ExpectError(header(10, 1), "unsupported compression method 1");
    ExpectError(header(12, 2), "unsupported interlace method 2");
    ExpectError(edit([](auto& c) { c.erase(c.begin() + 1); }), "without a PLTE");
    ExpectError(edit([](auto& c) { c[1].data.resize(6); }), "palette index");
    ExpectError(edit([](auto& c) { c.erase(c.begin()); }), "the first chunk is PLTE, not IHDR");
    ExpectError(edit([](auto& c) {
                    c.insert(c.begin() + 1, {"ABCD", {}});
                }),
                "unknown critical chunk ABCD");
    ExpectError(edit([](auto& c) { c.pop_back(); }), "truncated");
    // An ancillary chunk with a bad CRC is dropped, as libpng drops it.
    auto chunks = Split(good);
    ASSERT_EQ(chunks[2].type, "tRNS");
    bad = good;
    bad[8 + 25 + 12 + chunks[1].data.size() + 8 + chunks[2].data.size()] ^= 1;
    EXPECT_EQ(DecodePng(bad).rgb, DecodePng(edit([](auto& c) { c.erase(c.begin() + 2); })).rgb);
}

TEST(Png, BrokenImageDataIsAnError)
{
    const Bytes raw = {0, 1, 2, 0, 3, 4};
    EXPECT_EQ(DecodePng(Grey2x2(Compress(raw))).rgb, (Bytes{1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4}));
    ExpectError(Grey2x2(Compress({0, 1, 2, 5, 3, 4})), "invalid filter type 5 in row 1");
    ExpectError(Grey2x2(Compress({0, 1, 2, 0, 3})), "too little image data (5 of 6 bytes)");
    ExpectError(Grey2x2(Compress({0, 1, 2, 0, 3, 4, 0})), "more than the 6 bytes");
    Bytes z = Compress(raw);
    z.back() ^= 1;
    ExpectError(Grey2x2(z), "bad Adler-32");
    z = Compress(raw);
    ExpectError(Grey2x2(Bytes(z.begin(), z.end() - 2)), "cut off");
    z[0] = 0x79;
    ExpectError(Grey2x2(z), "not a deflate stream");

    BitWriter invalid;  // a fixed-code block: length code 286
    invalid.Put(0b011, 3);
    invalid.Code(0b11000110, 8);
    ExpectError(Grey2x2(invalid.b), "invalid length code");
    BitWriter far;  // a copy from before the start
    far.Put(0b011, 3);
    far.Code(0b0000001, 7);  // length 3
    far.Code(0, 5);          // distance 1
    ExpectError(Grey2x2(far.b), "reaches back before the start");
    BitWriter over;  // dynamic block whose code length code is over-subscribed
    over.Put(0b101, 3);
    over.Put(0, 5), over.Put(0, 5), over.Put(0, 4);
    for (int i = 0; i < 4; ++i) over.Put(1, 3);
    ExpectError(Grey2x2(over.b), "over-subscribed code length code");
}

}  // namespace
