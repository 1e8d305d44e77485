#include "host/image.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>

#include "host/png.h"

namespace kxhost {

namespace {

void CheckSize(std::int64_t width, std::int64_t height)
{
    if (width <= 0 || height <= 0)
        throw ImageError("the image has no pixels (" + std::to_string(width) + " x " +
                         std::to_string(height) + ")");
    if (width > kMaxImageSide || height > kMaxImageSide ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxImagePixels)
        throw ImageError("the image is too large to read (" + std::to_string(width) + " x " +
                         std::to_string(height) + " pixels)");
}

Image Blank(int width, int height)
{
    CheckSize(width, height);
    Image img;
    img.width = width;
    img.height = height;
    img.rgb.assign(static_cast<std::size_t>(width) * height * 3, 0xFF);
    return img;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// ------------------------------------------------------------ BMP

Image DecodeBmp(const std::vector<std::uint8_t>& b)
{
    if (b.size() < 54) throw ImageError("BMP: the file is too short for its headers");
    std::uint32_t offBits = Le32(b, 10);
    std::uint32_t headerSize = Le32(b, 14);
    if (headerSize < 40 || 14 + static_cast<std::uint64_t>(headerSize) > b.size())
        throw ImageError("BMP: unsupported info header of " + std::to_string(headerSize) +
                         " bytes");
    auto width = static_cast<std::int32_t>(Le32(b, 18));
    auto height = static_cast<std::int32_t>(Le32(b, 22));
    int bits = Le16(b, 28);
    std::uint32_t compression = Le32(b, 30);
    std::uint32_t clrUsed = Le32(b, 46);
    if (compression != 0 && !(compression == 3 && bits == 32))
        throw ImageError("BMP: compressed images are not supported");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        throw ImageError("BMP: " + std::to_string(bits) + " bits per pixel are not supported");
    bool topDown = height < 0;
    std::int64_t h = topDown ? -static_cast<std::int64_t>(height) : height;
    CheckSize(width, h);

    std::vector<std::array<std::uint8_t, 3>> palette;
    if (bits <= 8) {
        std::uint32_t entries = clrUsed ? clrUsed : (1u << bits);
        if (entries > (1u << bits)) throw ImageError("BMP: the colour table is too large");
        std::size_t at = 14 + headerSize;
        if (at + entries * 4ull > b.size()) throw ImageError("BMP: the colour table is cut off");
        for (std::uint32_t i = 0; i < entries; ++i, at += 4)
            palette.push_back({b[at + 2], b[at + 1], b[at]});
    }
    std::uint64_t stride = (static_cast<std::uint64_t>(bits) * width + 31) / 32 * 4;
    if (offBits > b.size() || stride * h > b.size() - offBits)
        throw ImageError("BMP: the pixel data is cut off");

    Image img = Blank(width, static_cast<int>(h));
    for (int y = 0; y < img.height; ++y) {
        const std::uint8_t* row = &b[offBits + stride * (topDown ? y : img.height - 1 - y)];
        for (int x = 0; x < img.width; ++x) {
            std::uint8_t* out = &img.rgb[(static_cast<std::size_t>(y) * img.width + x) * 3];
            if (bits >= 24) {
                const std::uint8_t* p = row + x * (bits / 8);
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
                continue;
            }
            unsigned index;
            if (bits == 8)
                index = row[x];
            else if (bits == 4)
                index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
            else
                index = (row[x / 8] >> (7 - x % 8)) & 1;
            if (index >= palette.size())
                throw ImageError("BMP: a pixel refers to colour " + std::to_string(index) +
                                 " beyond the colour table");
            std::memcpy(out, palette[index].data(), 3);
        }
    }
    return img;
}

// ------------------------------------------------------------ netpbm

class PnmReader {
public:
    explicit PnmReader(const std::vector<std::uint8_t>& b) : b_(b) {}

    // The next decimal number, skipping blanks and comments.
    std::uint32_t Number()
    {
        for (;;) {
            if (pos_ >= b_.size()) throw ImageError("netpbm: the header is cut off");
            if (b_[pos_] == '#') {
                while (pos_ < b_.size() && b_[pos_] != '\n') ++pos_;
            } else if (std::isspace(b_[pos_])) {
                ++pos_;
            } else {
                break;
            }
        }
        if (!std::isdigit(b_[pos_])) throw ImageError("netpbm: a number is expected in the header");
        std::uint64_t v = 0;
        while (pos_ < b_.size() && std::isdigit(b_[pos_])) {
            v = v * 10 + (b_[pos_++] - '0');
            if (v > 0xFFFFFFFFu) throw ImageError("netpbm: a number in the header is too large");
        }
        return static_cast<std::uint32_t>(v);
    }
    // A single ASCII bit of P1 (digits may stand without blanks between).
    int Bit()
    {
        while (pos_ < b_.size() && (std::isspace(b_[pos_]) || b_[pos_] == '#')) {
            if (b_[pos_] == '#')
                while (pos_ < b_.size() && b_[pos_] != '\n') ++pos_;
            else
                ++pos_;
        }
        if (pos_ >= b_.size() || (b_[pos_] != '0' && b_[pos_] != '1'))
            throw ImageError("netpbm: the pixel data is cut off or not 0/1");
        return b_[pos_++] - '0';
    }
    // Binary data starts after one blank following the header.
    std::size_t BinaryStart() { return pos_ + 1; }

private:
    const std::vector<std::uint8_t>& b_;
    std::size_t pos_ = 2;
};

Image DecodePnm(const std::vector<std::uint8_t>& b)
{
    char kind = static_cast<char>(b[1]);
    PnmReader r(b);
    std::uint32_t width = r.Number();
    std::uint32_t height = r.Number();
    CheckSize(width, height);
    std::uint32_t maxval = 1;
    if (kind != '1' && kind != '4') {
        maxval = r.Number();
        if (maxval == 0 || maxval > 65535) throw ImageError("netpbm: the maximum value is invalid");
    }
    Image img = Blank(static_cast<int>(width), static_cast<int>(height));
    auto scale = [&](std::uint32_t v) {
        if (v > maxval) throw ImageError("netpbm: a sample exceeds the maximum value");
        return static_cast<std::uint8_t>((v * 255 + maxval / 2) / maxval);
    };
    std::size_t n = static_cast<std::size_t>(width) * height;
    if (kind == '1' || kind == '2' || kind == '3') {
        for (std::size_t i = 0; i < n; ++i) {
            std::uint8_t* out = &img.rgb[i * 3];
            if (kind == '1') {
                std::uint8_t v = r.Bit() ? 0 : 255;
                out[0] = out[1] = out[2] = v;
            } else if (kind == '2') {
                out[0] = out[1] = out[2] = scale(r.Number());
            } else {
                for (int c = 0; c < 3; ++c) out[c] = scale(r.Number());
            }
        }
        return img;
    }
    std::size_t at = r.BinaryStart();
    int sampleBytes = maxval > 255 ? 2 : 1;
    std::uint64_t need = kind == '4'   ? (width + 7ull) / 8 * height
                         : kind == '5' ? static_cast<std::uint64_t>(n) * sampleBytes
                                       : static_cast<std::uint64_t>(n) * 3 * sampleBytes;
    if (at > b.size() || need > b.size() - at)
        throw ImageError("netpbm: the pixel data is cut off");
    auto sample = [&](std::size_t i) {
        std::uint32_t v = sampleBytes == 2 ? (b[at + 2 * i] << 8) | b[at + 2 * i + 1] : b[at + i];
        return scale(v);
    };
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::size_t i = static_cast<std::size_t>(y) * width + x;
            std::uint8_t* out = &img.rgb[i * 3];
            if (kind == '4') {
                std::size_t row = at + static_cast<std::size_t>(y) * ((width + 7) / 8);
                std::uint8_t v = (b[row + x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
                out[0] = out[1] = out[2] = v;
            } else if (kind == '5') {
                out[0] = out[1] = out[2] = sample(i);
            } else {
                for (int c = 0; c < 3; ++c) out[c] = sample(i * 3 + c);
            }
        }
    }
    return img;
}

}  // namespace

Image DecodeImage(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() >= 8 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' &&
        bytes[3] == 'G')
        return DecodePng(bytes);
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return DecodeBmp(bytes);
    if (bytes.size() >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6' &&
        std::isspace(bytes[2]))
        return DecodePnm(bytes);
    throw ImageError("not a PNG, BMP or netpbm (PBM, PGM, PPM) image");
}

Image LoadImage(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ImageError("cannot open " + path.string());
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    try {
        return DecodeImage(bytes);
    } catch (const ImageError& e) {
        throw ImageError(path.string() + ": " + e.what());
    }
}

std::uint32_t DibRowBytes(int width, int bits)
{
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4);
}

std::vector<std::uint8_t> DibBand(const Image& img, int x0, int y0, int width, int height, int bits)
{
    std::uint32_t stride = DibRowBytes(width, bits);
    std::vector<std::uint8_t> band(static_cast<std::size_t>(stride) * height, 0xFF);
    // The columns of the band that lie on the image; the rest stays white.
    const int xFrom = std::max(0, -x0);
    const int xTo = std::min(width, img.width - x0);
    for (int y = 0; y < height && xFrom < xTo; ++y) {
        int sy = y0 + y;
        if (sy < 0 || sy >= img.height) continue;
        std::uint8_t* row = &band[static_cast<std::size_t>(y) * stride];
        const std::uint8_t* p = img.Pixel(x0 + xFrom, sy);
        if (bits == 24) {
            for (int x = xFrom; x < xTo; ++x, p += 3) {
                row[x * 3] = p[2];
                row[x * 3 + 1] = p[1];
                row[x * 3 + 2] = p[0];
            }
        } else if (bits == 8) {
            for (int x = xFrom; x < xTo; ++x, p += 3) row[x] = static_cast<std::uint8_t>(Grey(p));
        } else {
            for (int x = xFrom; x < xTo; ++x, p += 3)
                if (Grey(p) < 128) row[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
        }
    }
    return band;
}

bool IsBlankBand(const std::vector<std::uint8_t>& band)
{
    return std::all_of(band.begin(), band.end(), [](std::uint8_t b) { return b == 0xFF; });
}

std::vector<std::uint8_t> PrinterLine(const Image& img, int y)
{
    std::vector<std::uint8_t> line((img.width + 7) / 8, 0);
    for (int x = 0; x < img.width; ++x)
        if (Grey(img.Pixel(x, y)) < 128) line[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    return line;
}

}  // namespace kxhost
