// The printer's fields drawn onto a label: text fields with FreeType in
// stand-in faces, barcode fields with libzint. What cannot be drawn is
// outlined with its field number and reported, never dropped silently.
#pragma once

#include <string>
#include <vector>

#include "viewer/label.h"

namespace kxview {

void DrawFields(Label& label, Report& report);

// Where a field landed: its anchor on the canvas in dots (the top-left corner
// of the text line or of the barcode, in the field's own upright frame; the
// field turns about it), its rotation in quarter turns and what it shows.
struct FieldPlacement {
    std::string number;
    std::string kind;  // "text", "barcode" or "unknown"
    int type = 0;      // object type of the field record (barcode id for barcodes)
    int x = 0, y = 0;
    int rotation = 0;
    bool phantom = false;
    std::string data;  // the contents as printed (variable fields as a sample)
};

std::vector<FieldPlacement> PlaceFields(const Label& label);

}  // namespace kxview
