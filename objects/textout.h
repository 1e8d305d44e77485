// Text interception: text drawn in device fonts becomes printer fields.
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
