// One text item of the job as the graphics engine hands it to DrvTextOut:
// the string object with its glyph positions, the font object with its
// metrics (a device font by index, or a TrueType face; simulated bold and
// italic), the brushes, the clip object and the rectangles.
//
// The objects stay registered with the engine calls (GdiHost) for the
// lifetime of the TextCall, so that STROBJ_bEnumPositionsOnly and
// FONTOBJ_pifi answer for them while the plug-in handles the call.
#pragma once

#include <vector>

#include "host/jobfile.h"
#include "platform/ddi.h"

namespace kxhost {

// The surface the driver host renders to.
struct Surface {
    SURFOBJ so{};
    int bits = 24;
    int dpi = 300;
    RECTL page{};  // the printable page in dots
};

// The brush's iSolidColor for a colour on this surface: on the 24-bit
// surface the colour itself in the PAL_BGR layout of its palette (blue in
// the low byte: 0x00RRGGBB); on the 8-bit surface the index of the nearest
// grey of the device's grey palette (the grey level); on the 1-bit surface
// 0 (black) below grey level 128, else 1 (white), the band's two-colour
// table.
ULONG SolidColour(Colour colour, int surfaceBits);

class TextCall {
public:
    // origin: where the band being drawn begins on the page; every position
    // and rectangle of the item is handed over relative to it.
    TextCall(const TextItem& item, Surface& surface, ULONG uniq, POINTL origin = {0, 0});
    ~TextCall();
    TextCall(const TextCall&) = delete;
    TextCall& operator=(const TextCall&) = delete;

    // Calls the hook (the plug-in's OEMTextOut) with the objects.
    BOOL Draw(PFN_DrvTextOut hook);

    const std::vector<GLYPHPOS>& Glyphs() const { return glyphs_; }
    const FONTOBJ& Font() const { return font_; }
    const IFIMETRICS& Metrics() const { return *reinterpret_cast<const IFIMETRICS*>(ifi_.data()); }
    const STROBJ& String() const { return string_; }

private:
    Surface& surface_;
    std::u16string text_;
    std::vector<GLYPHPOS> glyphs_;
    STROBJ string_{};
    FONTOBJ font_{};
    std::vector<std::uint64_t> ifi_;  // IFIMETRICS and its names, 8-byte aligned
    CLIPOBJ clip_{};
    BRUSHOBJ fore_{};
    BRUSHOBJ back_{};
    RECTL opaque_{};
    bool hasOpaque_ = false;
    POINTL brushOrigin_{};
};

}  // namespace kxhost
