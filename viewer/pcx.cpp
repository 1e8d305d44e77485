#include "viewer/pcx.h"

#include <vector>

#include "viewer/stream.h"

namespace kxview {
namespace {

constexpr std::size_t kHeader = 128;

int Brightness(std::string_view file, std::size_t at)
{
    return static_cast<unsigned char>(file[at]) + static_cast<unsigned char>(file[at + 1]) +
           static_cast<unsigned char>(file[at + 2]);
}

}  // namespace

bool ReadPcxHeader(std::string_view file, PcxPicture& p, std::string& problem)
{
    if (file.size() < kHeader) {
        problem = "PCX header cut short (" + std::to_string(file.size()) + " of 128 bytes)";
        return false;
    }
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(file[at]); };
    if (byte(0) != 10 || byte(2) != 1) {
        problem = "not a run-length PCX picture (maker byte " + std::to_string(byte(0)) +
                  ", encoding " + std::to_string(byte(2)) + ")";
        return false;
    }
    if (byte(3) != 1 || byte(65) != 1) {
        problem = "PCX picture of " + std::to_string(byte(3)) + " bits in " +
                  std::to_string(byte(65)) + " planes: only one bit in one plane is printed";
        return false;
    }
    const unsigned xMin = Word16(file, 4), yMin = Word16(file, 6);
    const unsigned xMax = Word16(file, 8), yMax = Word16(file, 10);
    if (xMax < xMin || yMax < yMin) {
        problem = "PCX window " + std::to_string(xMin) + "," + std::to_string(yMin) + " - " +
                  std::to_string(xMax) + "," + std::to_string(yMax) + " is empty";
        return false;
    }
    const unsigned width = xMax - xMin + 1, height = yMax - yMin + 1;
    if (width > unsigned(kMaxPictureDots) || height > unsigned(kMaxPictureDots)) {
        problem = "PCX picture of " + std::to_string(width) + " x " + std::to_string(height) +
                  " dots is larger than " + std::to_string(kMaxPictureDots) + " dots a side";
        return false;
    }
    const unsigned bpl = Word16(file, 66);
    const unsigned need = (width + 7) / 8;
    // Rows are padded to an even count (the writers pad to four); more than a
    // few bytes of padding means the header is wrong, not the picture.
    if (bpl < need || bpl > need + 8) {
        problem = "PCX bytes per line " + std::to_string(bpl) + " do not fit a width of " +
                  std::to_string(width) + " dots";
        return false;
    }
    p.width = int(width);
    p.height = int(height);
    p.yMin = int(yMin);
    p.yMax = int(yMax);
    p.bytesPerLine = bpl;
    // Palette entry 0 is the colour of a clear bit, entry 1 of a set bit. The
    // writers put black first and white second (a set bit is white); a
    // palette the other way round is honoured, one of two equal colours
    // (all zero) counts as the usual one.
    p.setBitIsBlack = Brightness(file, 19) < Brightness(file, 16);
    return true;
}

bool DecodePcxRows(std::string_view file, const PcxPicture& p,
                   const std::function<void(int, const std::uint8_t*)>& row, std::string& problem)
{
    std::vector<std::uint8_t> bytes(p.bytesPerLine);
    std::vector<std::uint8_t> dots(std::size_t(p.width));
    std::size_t at = kHeader;
    unsigned runLeft = 0;
    std::uint8_t runValue = 0;
    for (int y = 0; y < p.height; ++y) {
        for (unsigned i = 0; i < p.bytesPerLine; ++i) {
            if (runLeft == 0) {
                if (at >= file.size()) {
                    problem = "PCX data ends in row " + std::to_string(y) + " of " +
                              std::to_string(p.height);
                    return false;
                }
                const auto b = static_cast<unsigned char>(file[at++]);
                if (b >= 0xC0) {
                    if (at >= file.size()) {
                        problem = "PCX data ends inside a run in row " + std::to_string(y);
                        return false;
                    }
                    runLeft = b & 0x3F;
                    runValue = static_cast<unsigned char>(file[at++]);
                    if (runLeft == 0) {  // a run of nothing: skip it
                        --i;
                        continue;
                    }
                } else {
                    runLeft = 1;
                    runValue = b;
                }
            }
            bytes[i] = runValue;
            --runLeft;
        }
        for (int x = 0; x < p.width; ++x) {
            const bool set = (bytes[std::size_t(x) / 8] >> (7 - x % 8)) & 1;
            dots[std::size_t(x)] = set == p.setBitIsBlack ? 1 : 0;
        }
        row(y, dots.data());
    }
    return true;
}

}  // namespace kxview
