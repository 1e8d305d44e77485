// The printer's reading of a whole stream: which labels it prints, their
// size and resolution, and the graphics on them (PCX pictures of "AX",
// raw rows of "D", run-length lines of ESC "A" with the line feeds of
// ESC "B"). Fields are grouped per label here and drawn by DrawFields.
#pragma once

#include <string_view>
#include <vector>

#include "viewer/label.h"

namespace kxview {

// The largest label drawn: a side of at most 20000 dots and at most 100
// million dots in all (a 104 mm head at 600 dpi and 2 m of label); larger
// labels are cut to it with a Report line.
constexpr int kMaxLabelDots = 20000;
constexpr long long kMaxLabelArea = 100'000'000;

// What the command line can tell the printer that a stream may not.
struct ViewOptions {
    int dpi = 0;         // 0: from the stream's graphics, else 300
    double widthMm = 0;  // label size when the stream has no size records
    double lengthMm = 0;
    double headMm = 0;  // print head width for the line records; 0: the label's width
};

// The labels the stream prints, in order, with their graphics drawn and
// their field records grouped. Inverse print, mirror and turns are only
// marked; FinishLabel applies them once the fields are drawn.
std::vector<Label> Interpret(std::string_view stream, const ViewOptions& options, Report& report);

// Turns, mirrors and inverts the drawn label as its records asked.
void FinishLabel(Label& label);

}  // namespace kxview
