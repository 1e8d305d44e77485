// Text interception: the plug-in's hook for every text GDI draws on its
// surface.
//
// Each call is classified by its font: printer-resident (device) fonts
// become printer font fields (objects/devicefont.h), TrueType faces mapped
// to the printer's vector fonts become vector font fields
// (objects/vectorfont.h); the command font and barcode fonts are recognised
// here and handed back until their handlers exist. Text that no class takes goes back to the driver
// host's own DrvTextOut and prints as part of the raster. The hook also
// keeps the current text colour, the document-label heading mode and the
// text lines of the information log.
#pragma once

#include <string>

#include "core/oempdev.h"
#include "platform/unidrv.h"

namespace kx {

enum class TextOutResult { Taken, HandBack, Failed };

// Decides what to do with one text-out call. HandBack: the text goes back to
// the driver host's own DrvTextOut and ends up in the raster. Failed: a
// record the call cannot do without is missing (the hook answers FALSE).
TextOutResult InterceptTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco,
                               RECTL* prclExtra, RECTL* prclOpaque, BRUSHOBJ* pboFore,
                               BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);

// The face name of a font object (at most 32 characters), empty when the
// font has no metrics or no face.
std::u16string FaceName(FONTOBJ* pfo);

}  // namespace kx
