// Text interception: the plug-in's hook for text drawn in device fonts.
// No font class is recognised yet: every call answers HandBack, so all text
// prints through the driver host as part of the raster. Printer-resident,
// vector, barcode and command-font text come with later work.
#pragma once

#include "platform/unidrv.h"

namespace kx {

enum class TextOutResult { Taken, HandBack, Failed };

// Decides what to do with one text-out call. HandBack: the text goes back to
// the driver host's own DrvTextOut and ends up in the raster.
TextOutResult InterceptTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco,
                               RECTL* prclExtra, RECTL* prclOpaque, BRUSHOBJ* pboFore,
                               BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);

}  // namespace kx
