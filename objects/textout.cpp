// No font class is recognised yet: all text goes back to the driver host and
// prints as part of the raster.
#include "objects/textout.h"

namespace kx {

TextOutResult InterceptTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
                               BRUSHOBJ*, POINTL*, MIX)
{
    return TextOutResult::HandBack;
}

}  // namespace kx
