#include "host/png.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

// The decoder does the inflating, unfiltering and de-interlacing: PNG only,
// from memory, its functions private to this file.
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace kxhost {

namespace {

[[noreturn]] void Fail(const std::string& what)
{
    throw ImageError("PNG: " + what);
}

std::uint32_t Be32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n)
{
    // Chunks are at most 2^31 - 1 bytes: the length fits zlib's uInt.
    return static_cast<std::uint32_t>(crc32(0, p, static_cast<uInt>(n)));
}

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

enum ColourType { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

struct Header {
    std::uint32_t width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;

    int Channels() const
    {
        switch (colour) {
            case kRgb:
                return 3;
            case kGreyAlpha:
                return 2;
            case kRgba:
                return 4;
            default:
                return 1;
        }
    }
    // Bytes of one row of w pixels, without the filter byte.
    std::size_t RowBytes(std::uint32_t w) const
    {
        return (static_cast<std::size_t>(w) * Channels() * depth + 7) / 8;
    }
};

Header ReadHeader(const std::uint8_t* d, std::uint32_t len)
{
    if (len != 13) Fail("IHDR of " + std::to_string(len) + " bytes");
    Header h;
    h.width = Be32(d);
    h.height = Be32(d + 4);
    h.depth = d[8];
    h.colour = d[9];
    h.interlace = d[12];
    std::string size = std::to_string(h.width) + " x " + std::to_string(h.height);
    if (h.width > 0x7FFFFFFFu || h.height > 0x7FFFFFFFu) Fail("invalid image size " + size);
    if (h.width == 0 || h.height == 0) Fail("image of " + size + " has no pixels");
    if (h.width > static_cast<std::uint32_t>(kMaxImageSide) ||
        h.height > static_cast<std::uint32_t>(kMaxImageSide) ||
        static_cast<std::uint64_t>(h.width) * h.height > kMaxImagePixels)
        Fail("image of " + size + " exceeds the largest kxrender reads (" +
             std::to_string(kMaxImageSide) + " pixels a side, " + std::to_string(kMaxImagePixels) +
             " pixels)");
    auto depthIn = [&](std::initializer_list<int> valid) {
        return std::find(valid.begin(), valid.end(), h.depth) != valid.end();
    };
    bool depthOk;
    switch (h.colour) {
        case kGrey:
            depthOk = depthIn({1, 2, 4, 8, 16});
            break;
        case kPalette:
            depthOk = depthIn({1, 2, 4, 8});
            break;
        case kRgb:
        case kGreyAlpha:
        case kRgba:
            depthOk = depthIn({8, 16});
            break;
        default:
            Fail("invalid colour type " + std::to_string(h.colour));
    }
    if (!depthOk)
        Fail("invalid bit depth " + std::to_string(h.depth) + " for colour type " +
             std::to_string(h.colour));
    if (d[10] != 0) Fail("unsupported compression method " + std::to_string(d[10]));
    if (d[11] != 0) Fail("unsupported filter method " + std::to_string(d[11]));
    if (h.interlace > 1) Fail("unsupported interlace method " + std::to_string(h.interlace));
    return h;
}

// What the chunks before the image data say.
struct Chunks {
    Header header;
    std::array<std::uint8_t, 13> ihdr{};  // as the file has it
    std::vector<std::array<std::uint8_t, 3>> palette;
    std::vector<std::uint8_t> paletteAlpha;  // tRNS of a palette image
    bool hasKey = false;                     // tRNS of a grey or RGB image
    std::array<std::uint16_t, 3> key{};
    int significantBits = 0;         // sBIT, the largest of the colour channels
    std::vector<std::uint8_t> data;  // the IDAT chunks end to end
};

void ReadTransparency(Chunks& c, const std::uint8_t* d, std::uint32_t len)
{
    // Chunks that do not fit the image are ignored, as libpng ignores them.
    switch (c.header.colour) {
        case kPalette:
            if (!c.palette.empty() && len <= c.palette.size()) c.paletteAlpha.assign(d, d + len);
            break;
        case kGrey:
            if (len == 2) {
                c.hasKey = true;
                c.key[0] = static_cast<std::uint16_t>(d[0] << 8 | d[1]);
            }
            break;
        case kRgb:
            if (len == 6) {
                c.hasKey = true;
                for (int i = 0; i < 3; ++i)
                    c.key[i] = static_cast<std::uint16_t>(d[2 * i] << 8 | d[2 * i + 1]);
            }
            break;
        default:
            break;
    }
}

void ReadSignificantBits(Chunks& c, const std::uint8_t* d, std::uint32_t len)
{
    bool colour = c.header.colour & 2;
    if (c.header.colour == kPalette || len < (colour ? 3u : 1u)) return;
    int bits = colour ? std::max({d[0], d[1], d[2]}) : d[0];
    if (bits > 0 && bits <= c.header.depth) c.significantBits = bits;
}

Chunks ReadChunks(const std::vector<std::uint8_t>& b)
{
    if (b.size() < 8 || std::memcmp(b.data(), kSignature, 8) != 0)
        Fail("bad signature (not a PNG file, or one mangled by a text transfer)");
    Chunks c;
    // The image data is never larger than the file: one block for it, not
    // one more step per IDAT chunk.
    c.data.reserve(b.size());
    enum { kBefore, kInside, kAfter } idat = kBefore;
    std::size_t at = 8;
    bool haveHeader = false;
    for (;;) {
        if (b.size() - at < 8) Fail("truncated (the file ends before the IEND chunk)");
        std::uint32_t len = Be32(&b[at]);
        const std::uint8_t* type = &b[at + 4];
        std::string name(type, type + 4);
        for (char ch : name)
            if (!((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z')))
                Fail("invalid chunk type at byte " + std::to_string(at + 4));
        if (len > 0x7FFFFFFFu) Fail("chunk " + name + " of invalid length " + std::to_string(len));
        if (b.size() - at - 8 < static_cast<std::uint64_t>(len) + 4)
            Fail("truncated (chunk " + name + " is cut off)");
        const std::uint8_t* d = type + 4;
        at += 12 + static_cast<std::size_t>(len);
        bool critical = !(type[0] & 0x20);
        if (Crc32(type, len + 4) != Be32(d + len)) {
            if (critical) Fail("bad CRC in chunk " + name);
            continue;  // ancillary chunks with a bad CRC are dropped
        }
        if (!haveHeader && name != "IHDR") Fail("the first chunk is " + name + ", not IHDR");
        if (idat == kInside && name != "IDAT") idat = kAfter;

        if (name == "IHDR") {
            if (haveHeader) Fail("more than one IHDR");
            c.header = ReadHeader(d, len);
            std::copy(d, d + 13, c.ihdr.begin());
            haveHeader = true;
        } else if (name == "PLTE") {
            if (idat != kBefore) Fail("PLTE after the image data");
            if (!c.palette.empty()) Fail("more than one PLTE");
            if (len % 3 != 0 || len == 0 || len > 768)
                Fail("PLTE of " + std::to_string(len) + " bytes");
            if (c.header.colour == kPalette)
                for (std::uint32_t i = 0; i < len; i += 3)
                    c.palette.push_back({d[i], d[i + 1], d[i + 2]});
        } else if (name == "IDAT") {
            if (idat == kAfter) Fail("IDAT chunks are not consecutive");
            if (c.header.colour == kPalette && c.palette.empty())
                Fail("palette image without a PLTE chunk");
            idat = kInside;
            c.data.insert(c.data.end(), d, d + len);
        } else if (name == "IEND") {
            if (idat == kBefore) Fail("no image data (IDAT)");
            return c;
        } else if (name == "tRNS") {
            if (idat == kBefore && c.paletteAlpha.empty() && !c.hasKey) ReadTransparency(c, d, len);
        } else if (name == "sBIT") {
            if (idat == kBefore) ReadSignificantBits(c, d, len);
        } else if (critical) {
            Fail("unknown critical chunk " + name);
        }
    }
}

// The tone curves are those of libpng's reader for RGB output: its screen
// gamma 2.2, input gamma 1/2.2 for 8-bit samples and 1.0 for 16-bit ones,
// tables built with the same expressions (gamma values in units of 1e-5)
// so the results match to the last bit.
constexpr int kScreenGamma = 220000;        // output
constexpr int kScreenGammaInverse = 45455;  // to the output from linear light
constexpr int kSrgbToLinear = 219998;       // 8-bit samples to linear light

std::uint8_t Gamma8(unsigned v, int gamma)
{
    if (v == 0 || v >= 255) return static_cast<std::uint8_t>(v);
    return static_cast<std::uint8_t>(std::floor(255 * std::pow(v / 255., gamma * .00001) + .5));
}

std::uint16_t Gamma16(unsigned v, int gamma)
{
    if (v == 0 || v >= 65535) return static_cast<std::uint16_t>(v);
    return static_cast<std::uint16_t>(
        std::floor(65535 * std::pow(static_cast<int>(v) / 65535., gamma * .00001) + .5));
}

// 16 bits to 8, rounded to nearest as libpng has it.
std::uint8_t Scale16(unsigned v)
{
    int hi = static_cast<int>(v >> 8), lo = static_cast<int>(v & 0xFF);
    return static_cast<std::uint8_t>(hi + (((lo - hi + 128) * 65535) >> 24));
}

// a * fg + (1 - a) * bg, alpha of 8 or 16 bits, rounded as libpng does.
unsigned Blend8(unsigned fg, unsigned a, unsigned bg)
{
    unsigned t = fg * a + bg * (255 - a) + 128;
    return ((t + (t >> 8)) >> 8) & 0xFF;
}
unsigned Blend16(unsigned fg, unsigned a, unsigned bg)
{
    std::uint32_t t = fg * a + bg * (65535 - a) + 32768;
    return (t + (t >> 16)) >> 16;
}

// Turns decoded samples into RGB. The decoder gives one sample per channel:
// 16 bits for 16-bit images, else a byte, grey levels of fewer than 8 bits
// stretched to 0..255 (1 bit: 0 or 255, 2 bits: times 85, 4 bits: times 17).
// Palette images reach it as grey images of their indices, stretched alike.
class PixelMapper {
public:
    explicit PixelMapper(const Chunks& c) : c_(c), h_(c.header)
    {
        if (h_.depth < 8) stretch_ = 255 / ((1u << h_.depth) - 1);
        // The key is compared with stretched samples; one beyond the depth's
        // range stays beyond it and matches no pixel.
        for (int i = 0; i < 3; ++i) key_[i] = c.key[i] * (h_.colour == kPalette ? 1 : stretch_);
        if (h_.depth == 16) {
            BuildTables16();
        } else if (h_.colour == kGreyAlpha || h_.colour == kRgba || !c.paletteAlpha.empty()) {
            for (unsigned v = 0; v < 256; ++v) {
                toLinear8_[v] = Gamma8(v, kSrgbToLinear);
                fromLinear8_[v] = Gamma8(v, kScreenGammaInverse);
            }
        }
    }

    // n pixels of samples to RGB at out.
    template <class Sample>
    void Map(const Sample* in, std::size_t n, std::uint8_t* out) const
    {
        const int channels = h_.Channels();
        const bool alpha = h_.colour == kGreyAlpha || h_.colour == kRgba;
        const int colours = alpha ? channels - 1 : channels;
        if constexpr (sizeof(Sample) == 1) {
            if (!c_.hasKey && !alpha && h_.colour != kPalette) {
                // Plain grey or RGB, most page images, go straight through.
                if (colours == 3) {
                    std::memcpy(out, in, n * 3);
                    return;
                }
                for (std::size_t i = 0; i < n; ++i, out += 3) out[0] = out[1] = out[2] = in[i];
                return;
            }
        }
        for (std::size_t x = 0; x < n; ++x, in += channels, out += 3) {
            if (h_.colour == kPalette) {
                unsigned index = in[0] / stretch_;
                if (index >= c_.palette.size())
                    Fail("pixel of palette index " + std::to_string(index) + " beyond the " +
                         std::to_string(c_.palette.size()) + " colours of PLTE");
                unsigned a = index < c_.paletteAlpha.size() ? c_.paletteAlpha[index] : 255;
                for (int i = 0; i < 3; ++i) out[i] = Over8(c_.palette[index][i], a);
                continue;
            }
            bool keyed = c_.hasKey;
            for (int i = 0; i < colours && keyed; ++i) keyed = in[i] == key_[i];
            for (int i = 0; i < 3; ++i) {
                unsigned v = in[colours == 1 ? 0 : i];
                if (keyed) {
                    out[i] = 255;
                } else if (h_.depth == 16) {
                    out[i] = alpha ? Over16(v, in[colours]) : opaque16_[Index16(v)];
                } else if (alpha) {
                    out[i] = Over8(v, in[colours]);
                } else {
                    out[i] = static_cast<std::uint8_t>(v);
                }
            }
        }
    }

private:
    std::uint8_t Over8(unsigned v, unsigned a) const
    {
        if (a == 255) return static_cast<std::uint8_t>(v);
        if (a == 0) return 255;
        return fromLinear8_[Blend8(toLinear8_[v], a, 255)];
    }

    // 16-bit samples go through tables of 2^(16 - shift) entries, indexed by
    // the top bits (libpng's table layout; shift is at least 5, more when
    // sBIT says fewer bits are significant).
    std::size_t Index16(unsigned v) const
    {
        return (v >> 8) << (8 - shift_) | (v & 0xFF) >> shift_;
    }

    std::uint8_t Over16(unsigned v, unsigned a) const
    {
        if (a == 65535) return opaque16_[Index16(v)];
        if (a == 0) return 255;
        // The samples are linear already, only cut to the table's precision.
        unsigned linear =
            static_cast<unsigned>((Index16(v) * 65535 + (1u << (15 - shift_))) / max16_);
        return fromLinear16_[Index16(Blend16(linear, a, 65535))];
    }

    void BuildTables16()
    {
        int sig = c_.significantBits;
        shift_ = std::clamp(sig > 0 && sig < 16 ? 16 - sig : 0, 5, 8);
        max16_ = (1u << (16 - shift_)) - 1;
        opaque16_.assign(max16_ + 1, 255);
        fromLinear16_.resize(max16_ + 1);
        // Output level i covers the inputs up to where the curve passes i + 1/2.
        unsigned last = 0;
        for (unsigned i = 0; i < 255; ++i) {
            unsigned bound = Gamma16(i * 257 + 128, kScreenGamma);
            bound = std::min((bound * max16_ + 32768) / 65535 + 1, max16_ + 1);
            for (; last < bound; ++last) opaque16_[last] = static_cast<std::uint8_t>(i);
        }
        const double step = 1. / max16_;
        for (unsigned i = 0; i <= max16_; ++i)
            fromLinear16_[i] = Scale16(static_cast<unsigned>(
                std::floor(65535. * std::pow(i * step, kScreenGammaInverse * .00001) + .5)));
    }

    const Chunks& c_;
    const Header& h_;
    unsigned stretch_ = 1;
    std::array<unsigned, 3> key_{};
    std::array<std::uint8_t, 256> toLinear8_{}, fromLinear8_{};
    int shift_ = 5;
    unsigned max16_ = 0;
    std::vector<std::uint8_t> opaque16_, fromLinear16_;
};

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data,
              std::size_t size)
{
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(size >> s));
    std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    std::uint32_t crc = Crc32(&out[start], out.size() - start);
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(crc >> s));
}

// The file the decoder gets: the header and the image data, nothing else. A
// palette image goes in as a grey image of its indices, so that the palette
// and transparency are applied here (an index beyond the palette is an
// error, not a read of whatever lies past it) and every colour type keeps
// the look it has with libpng.
std::vector<std::uint8_t> Stripped(const Chunks& c)
{
    std::vector<std::uint8_t> out(kSignature, kSignature + 8);
    out.reserve(8 + 3 * 12 + 13 + c.data.size());
    std::array<std::uint8_t, 13> ihdr = c.ihdr;
    if (c.header.colour == kPalette) ihdr[9] = kGrey;
    PutChunk(out, "IHDR", ihdr.data(), ihdr.size());
    PutChunk(out, "IDAT", c.data.data(), c.data.size());
    PutChunk(out, "IEND", nullptr, 0);
    return out;
}

// The decoder's short reasons as the messages kxrender gives.
std::string DecoderError(const char* reason)
{
    static const std::pair<const char*, const char*> kReasons[] = {
        {"not enough pixels", "too little image data"},
        {"invalid filter", "invalid row filter type"},
        {"bad zlib header", "not a zlib stream"},
        {"no preset dict", "not a zlib stream (preset dictionary)"},
        {"bad compression", "not a deflate stream"},
        {"outofmem", "out of memory"},
    };
    // A reserved block type fails without a reason of its own.
    if (reason == nullptr) return "bad image data: invalid deflate block";
    for (const auto& [from, to] : kReasons)
        if (std::strcmp(reason, from) == 0) return std::string("bad image data: ") + to;
    return std::string("bad image data: corrupt deflate stream (") + reason + ")";
}

struct FreeDecoded {
    void operator()(void* p) const { stbi_image_free(p); }
};

}  // namespace

Image DecodePng(const std::vector<std::uint8_t>& bytes)
{
    Chunks c = ReadChunks(bytes);
    const Header& h = c.header;
    std::vector<std::uint8_t> file = Stripped(c);
    if (file.size() > static_cast<std::size_t>(INT_MAX)) Fail("image data too large");

    // The decoder keeps its last reason per thread; clear it so that a
    // failure without a reason of its own does not show an earlier one.
    stbi__g_failure_reason = nullptr;
    int w = 0, ht = 0, channels = 0;
    const int size = static_cast<int>(file.size());
    std::unique_ptr<void, FreeDecoded> pixels(
        h.depth == 16
            ? static_cast<void*>(stbi_load_16_from_memory(file.data(), size, &w, &ht, &channels, 0))
            : static_cast<void*>(stbi_load_from_memory(file.data(), size, &w, &ht, &channels, 0)));
    if (!pixels) Fail(DecoderError(stbi_failure_reason()));
    if (static_cast<std::uint32_t>(w) != h.width || static_cast<std::uint32_t>(ht) != h.height ||
        channels != h.Channels())
        Fail("decoded image does not match its header");

    Image img;
    img.width = w;
    img.height = ht;
    const std::size_t n = static_cast<std::size_t>(w) * ht;
    img.rgb.resize(n * 3);
    PixelMapper mapper(c);
    if (h.depth == 16)
        mapper.Map(static_cast<const std::uint16_t*>(pixels.get()), n, img.rgb.data());
    else
        mapper.Map(static_cast<const std::uint8_t*>(pixels.get()), n, img.rgb.data());
    return img;
}

}  // namespace kxhost
