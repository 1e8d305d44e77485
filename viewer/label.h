// What a KXPL stream prints: the labels the printer would produce, each a
// canvas of dots at the printer's resolution with its graphics placed, and
// the field records that belong to it, grouped by field.
//
// The printer's coordinates: positions and sizes in records are hundredths of
// a millimetre (extended protocol) or dots (standard protocol). A field's
// first coordinate (F1) runs down the label from its top (leading) edge, the
// second (F2) runs leftwards from the label's right edge; a graphic's (Y, X)
// is the bottom-left corner of its picture in the same system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/stream.h"

namespace kxview {

// Dots of one label, top row first; 1 is a black dot. Writes outside the
// canvas are dropped, so drawing never needs to clip by itself.
struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> dots;

    Canvas() = default;
    Canvas(int w, int h);
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    void Set(int x, int y, bool black = true);
    void Flip(int x, int y);  // inverse printing: black becomes white and back
    bool At(int x, int y) const { return Inside(x, y) && dots[std::size_t(y) * width + x] != 0; }
    // A one-dot frame around the rectangle (for what cannot be drawn).
    void Outline(int x, int y, int w, int h);
};

// The printer's resolution and the label's size, and the conversions between
// the record units and dots.
struct Geometry {
    int dpi = 300;
    long widthHundredths = 0;   // across the print head
    long lengthHundredths = 0;  // in the feed direction
    bool sizeFromStream = false;
    // Print offsets of the label records: every position moves by them, Y
    // down the label, X away from its right edge.
    long offsetYHundredths = 0;
    long offsetXHundredths = 0;

    int Dots(long hundredths) const;  // rounded to the nearest dot
    int WidthDots() const { return Dots(widthHundredths); }
    int LengthDots() const { return Dots(lengthHundredths); }
    // The canvas position of a field point (F1 down from the top, F2 left of
    // the right edge), in dots.
    int XFromRight(long f2Hundredths) const
    {
        return WidthDots() - Dots(f2Hundredths + offsetXHundredths);
    }
    int YFromTop(long f1Hundredths) const { return Dots(f1Hundredths + offsetYHundredths); }
};

// One printer field: all records that carry its number, in stream order.
// Extended protocol: AM[n] (position, kind, parameters), BM[n] (contents),
// AC[n] (attributes: NAME, PH, FGND, BT/BW/QZ). Standard protocol: A/AB (position, kind,
// size in dots), B (contents), C (barcode details).
struct FieldRecords {
    std::string number;
    bool standard = false;
    std::vector<Record> records;
};

// The field records among these records, grouped by field number in the order
// their first record appears. A record of a field without a number of its
// own (direct text, raw commands) is not a field and is left out.
std::vector<FieldRecords> GroupFields(const std::vector<Record>& records);

struct Label {
    Geometry geometry;
    Canvas canvas;
    std::vector<FieldRecords> fields;
    int copies = 1;
    bool inverse = false;
    bool mirror = false;
    int quarterTurns = 0;         // the finished picture turned clockwise (0..3)
    std::size_t firstOffset = 0;  // stream offset of the label's first record
};

// Problems worth telling the user (stderr): records that cannot be drawn,
// broken records, values out of range. Each names its stream offset.
struct Report {
    std::vector<std::string> lines;
    void Add(std::size_t offset, const std::string& what);
};

}  // namespace kxview
