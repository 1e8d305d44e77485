// The printer's reading of a one-bit PCX picture (the file that follows an
// "AX" graphics record): the 128-byte header and the run-length data, row by
// row, top row first.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kxview {

// The largest picture side accepted, in dots; larger ones are refused.
constexpr int kMaxPictureDots = 20000;

struct PcxPicture {
    int width = 0;   // xMax - xMin + 1
    int height = 0;  // yMax - yMin + 1
    int yMin = 0, yMax = 0;
    unsigned bytesPerLine = 0;
    bool setBitIsBlack = false;  // from the header's two-colour palette
};

// Reads the header; false with the reason in `problem` when the picture is
// not one this printer draws (not PCX, not one bit in one plane, sizes out
// of range or inconsistent).
bool ReadPcxHeader(std::string_view file, PcxPicture& picture, std::string& problem);

// Decodes the rows after a good header and hands each to `row` (its index,
// top row first, and a black flag per dot). A run that spans a row end goes
// on in the next row. False with the reason in `problem` when the data ends
// before the last row; the rows decoded so far have been handed over and the
// missing ones are left out.
bool DecodePcxRows(std::string_view file, const PcxPicture& picture,
                   const std::function<void(int, const std::uint8_t*)>& row, std::string& problem);

}  // namespace kxview
