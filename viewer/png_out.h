// A label's dots as a PNG file: one bit per dot, black on white.
#pragma once

#include <string>

#include "viewer/label.h"

namespace kxview {

// Writes the canvas; false with the reason in *error when the file cannot be
// written.
bool WritePng(const Canvas& canvas, int dpi, const std::string& path, std::string* error);

}  // namespace kxview
