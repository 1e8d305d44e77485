// The printer's fields drawn onto a label: text fields with FreeType in
// stand-in faces, barcode fields with libzint. What cannot be drawn is
// outlined with its field number and reported, never dropped silently.
#pragma once

#include "viewer/label.h"

namespace kxview {

void DrawFields(Label& label, Report& report);

}  // namespace kxview
