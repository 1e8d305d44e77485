// One printer field read from its records: where it sits, what it is (text in
// a printer font or a vector font, or a barcode) and the values that shape it.
// Internal to the field drawing (fields.cpp, textdraw.cpp, barcodedraw.cpp).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "viewer/label.h"

namespace kxview {

enum class FieldKind { Text, Barcode, Unknown };

struct FieldDescription {
    std::string number;
    FieldKind kind = FieldKind::Unknown;
    std::size_t offset = 0;  // stream offset of the field's first record
    int type = 0;            // object type: 1/2 printer font, 4/6 vector font, else barcode id
    int x = 0, y = 0;        // the anchor on the canvas, in dots
    int rotation = 0;        // quarter turns: 1 reads upwards, 2 upside down, 3 downwards
    bool phantom = false;    // third AM value: the field holds data and prints nothing
    bool inverse = false;    // object types 2 and 6: white text on a black box
    bool white = false;      // AC FGND=1: the field prints white (clears dots)
    // Text: printer font id or vector font id; the size as the record gives it.
    bool vector = false;
    int fontId = 0;
    long sizeY = 0, sizeX = 0;  // printer font: zoom factors; vector font: 1/100 mm
    // Barcode: the values after the rotation (height, bar widths, options), raw.
    std::vector<std::string> values;
    long heightHundredths = 0;  // standard protocol: from the millimetres of AB
    int thick = 0, thin = 0, check = 0;
    bool humanReadable = false;
    int bearerType = -1, bearerWidth = 0, quietZone = 0;  // AC BT/BW/QZ (-1: none given)
    std::string name;                                     // AC NAME
    std::string raw;                                      // the contents record as sent
    std::string text;  // what the printer shows (variable fields as a sample value)
};

// Reads every field of the label. Problems with the records (missing AM or
// BM, values out of range) go into the report; a field that cannot be read at
// all comes back with kind Unknown.
std::vector<FieldDescription> ReadFieldDescriptions(const Label& label, Report& report);

// The printer's rendering of a contents record: variable-field functions
// ("=CN(", "=CC(", "=CL(", "=SC(", "=UG(" ...) become a sample of what they
// would print; `byNumber` resolves field references of "=SC(".
std::string ShownText(const std::string& raw,
                      const std::vector<std::pair<std::string, std::string>>& byNumber);

// A bitmap of one field in its own upright frame, top row first, with the
// anchor point (ax, ay) that is placed on the field position.
struct Ink {
    int width = 0, height = 0;
    int ax = 0, ay = 0;
    bool opaque = false;  // white dots are painted too (inverse text)
    std::vector<unsigned char> dots;
    // Cap on one field's bitmap: 16 million dots.
    static constexpr long kMaxDots = 16L * 1024 * 1024;
    bool Resize(int w, int h);  // false (and empty) when over the cap
    void Set(int x, int y, bool v = true)
    {
        if (x >= 0 && y >= 0 && x < width && y < height) dots[std::size_t(y) * width + x] = v;
    }
    bool At(int x, int y) const { return dots[std::size_t(y) * width + x] != 0; }
    void Fill(int x, int y, int w, int h, bool v = true);
};

// Puts the bitmap on the canvas with its anchor at (x, y), turned by
// `rotation` quarter turns about the anchor. `white` paints the black dots
// white instead. False when some black dots fell outside the canvas.
bool Blit(const Ink& ink, Canvas& canvas, int x, int y, int rotation, bool white);

// Text in the stand-in face of a printer font or vector font. False with the
// reason when nothing can be drawn.
bool DrawText(const FieldDescription& f, const Geometry& g, Ink& ink, std::string* why);
// A line in the plain stand-in face with capitals `capDots` high (the
// human-readable line of barcodes, the numbers of what cannot be drawn).
bool DrawPlain(const std::string& text, int capDots, Ink& ink, std::string* why);

// A barcode with libzint at the field's sizes. False with the reason when
// the code cannot be drawn (unknown id, data the symbology refuses).
bool DrawBarcode(const FieldDescription& f, const Geometry& g, Ink& ink, std::string* why);

}  // namespace kxview
