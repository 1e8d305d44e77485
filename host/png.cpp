#include "host/png.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "host/inflate.h"

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

constexpr auto kCrcTable = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[n] = c;
    }
    return t;
}();

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n)
{
    std::uint32_t c = 0xFFFFFFFFu;
    while (n--) c = kCrcTable[(c ^ *p++) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

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
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (b.size() < 8 || std::memcmp(b.data(), kSignature, 8) != 0)
        Fail("bad signature (not a PNG file, or one mangled by a text transfer)");
    Chunks c;
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

// Turns the samples of a row into RGB.
class PixelMapper {
public:
    explicit PixelMapper(const Chunks& c) : c_(c), h_(c.header)
    {
        if (h_.depth == 16) {
            BuildTables16();
        } else if (h_.colour == kGreyAlpha || h_.colour == kRgba || !c.paletteAlpha.empty()) {
            for (unsigned v = 0; v < 256; ++v) {
                toLinear8_[v] = Gamma8(v, kSrgbToLinear);
                fromLinear8_[v] = Gamma8(v, kScreenGammaInverse);
            }
        }
    }

    // The w pixels of an unfiltered row to out, step bytes apart.
    void Row(const std::uint8_t* row, std::uint32_t w, std::uint8_t* out, std::size_t step) const
    {
        const int channels = h_.Channels();
        const bool alpha = h_.colour == kGreyAlpha || h_.colour == kRgba;
        const int colours = alpha ? channels - 1 : channels;
        if (h_.depth == 8 && !c_.hasKey && !alpha && h_.colour != kPalette) {
            // Plain 8-bit grey or RGB, most page images, go straight through.
            const int g = colours == 3 ? 1 : 0;
            for (std::uint32_t x = 0; x < w; ++x, row += channels, out += step) {
                out[0] = row[0];
                out[1] = row[g];
                out[2] = row[2 * g];
            }
            return;
        }
        std::uint16_t s[4];
        for (std::uint32_t x = 0; x < w; ++x, out += step) {
            for (int ch = 0; ch < channels; ++ch) s[ch] = Sample(row, x * channels + ch);
            if (h_.colour == kPalette) {
                if (s[0] >= c_.palette.size())
                    Fail("pixel of palette index " + std::to_string(s[0]) + " beyond the " +
                         std::to_string(c_.palette.size()) + " colours of PLTE");
                unsigned a = s[0] < c_.paletteAlpha.size() ? c_.paletteAlpha[s[0]] : 255;
                for (int i = 0; i < 3; ++i) out[i] = Over8(c_.palette[s[0]][i], a);
                continue;
            }
            bool keyed = c_.hasKey;
            for (int i = 0; i < colours && keyed; ++i) keyed = s[i] == c_.key[i];
            for (int i = 0; i < 3; ++i) {
                unsigned v = s[colours == 1 ? 0 : i];
                if (keyed) {
                    out[i] = 255;
                } else if (h_.depth == 16) {
                    out[i] = alpha ? Over16(v, s[colours]) : opaque16_[Index16(v)];
                } else if (alpha) {
                    out[i] = Over8(v, s[colours]);
                } else {
                    out[i] = static_cast<std::uint8_t>(v * (255 / ((1u << h_.depth) - 1)));
                }
            }
        }
    }

private:
    unsigned Sample(const std::uint8_t* row, std::size_t i) const
    {
        switch (h_.depth) {
            case 8:
                return row[i];
            case 16:
                return static_cast<unsigned>(row[2 * i] << 8 | row[2 * i + 1]);
            default: {
                std::size_t bit = i * h_.depth;
                return (row[bit / 8] >> (8 - h_.depth - bit % 8)) & ((1u << h_.depth) - 1);
            }
        }
    }

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
    std::array<std::uint8_t, 256> toLinear8_{}, fromLinear8_{};
    int shift_ = 5;
    unsigned max16_ = 0;
    std::vector<std::uint8_t> opaque16_, fromLinear16_;
};

void Unfilter(int type, std::uint8_t* row, const std::uint8_t* prior, std::size_t n, int bpp)
{
    switch (type) {
        case 0:
            break;
        case 1:
            for (std::size_t i = bpp; i < n; ++i) row[i] += row[i - bpp];
            break;
        case 2:
            for (std::size_t i = 0; i < n; ++i) row[i] += prior[i];
            break;
        case 3:
            for (std::size_t i = 0; i < n; ++i)
                row[i] += static_cast<std::uint8_t>(
                    ((i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0) + prior[i]) / 2);
            break;
        case 4:
            for (std::size_t i = 0; i < n; ++i) {
                int a = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0;
                int b = prior[i];
                int c = i >= static_cast<std::size_t>(bpp) ? prior[i - bpp] : 0;
                int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                row[i] += static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
            }
            break;
    }
}

struct Pass {
    std::uint32_t x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass kWhole[1] = {{0, 0, 1, 1}};

}  // namespace

Image DecodePng(const std::vector<std::uint8_t>& bytes)
{
    Chunks c = ReadChunks(bytes);
    const Header& h = c.header;
    const Pass* passes = h.interlace ? kAdam7 : kWhole;
    const int passCount = h.interlace ? 7 : 1;
    auto passSize = [&](const Pass& p) {
        std::uint32_t w = h.width > p.x0 ? (h.width - p.x0 + p.dx - 1) / p.dx : 0;
        std::uint32_t ht = h.height > p.y0 ? (h.height - p.y0 + p.dy - 1) / p.dy : 0;
        return std::pair(w, w ? ht : 0);
    };
    std::size_t expected = 0;
    for (int i = 0; i < passCount; ++i) {
        auto [w, ht] = passSize(passes[i]);
        expected += ht * (1 + h.RowBytes(w));
    }

    std::vector<std::uint8_t> raw;
    try {
        raw = ZlibInflate(c.data.data(), c.data.size(), expected);
    } catch (const InflateError& e) {
        Fail(std::string("bad image data: ") + e.what());
    }
    if (raw.size() != expected)
        Fail("too little image data (" + std::to_string(raw.size()) + " of " +
             std::to_string(expected) + " bytes)");

    Image img;
    img.width = static_cast<int>(h.width);
    img.height = static_cast<int>(h.height);
    img.rgb.assign(static_cast<std::size_t>(h.width) * h.height * 3, 0xFF);
    PixelMapper mapper(c);
    const int bpp = std::max(1, h.Channels() * h.depth / 8);
    std::vector<std::uint8_t> zeros(h.RowBytes(h.width));
    std::uint8_t* at = raw.data();
    for (int i = 0; i < passCount; ++i) {
        const Pass& p = passes[i];
        auto [w, ht] = passSize(p);
        std::size_t n = h.RowBytes(w);
        const std::uint8_t* prior = zeros.data();
        for (std::uint32_t y = 0; y < ht; ++y, at += 1 + n) {
            if (at[0] > 4)
                Fail("invalid filter type " + std::to_string(at[0]) + " in row " +
                     std::to_string(p.y0 + y * p.dy));
            Unfilter(at[0], at + 1, prior, n, bpp);
            prior = at + 1;
            std::size_t dst = (static_cast<std::size_t>(p.y0 + y * p.dy) * h.width + p.x0) * 3;
            mapper.Row(at + 1, w, &img.rgb[dst], 3 * p.dx);
        }
    }
    return img;
}

}  // namespace kxhost
