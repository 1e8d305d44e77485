// Variable fields: text drawn in printer fonts or vector fonts that starts a
// field (a printer function "=..." or a placeholder) is collected across its
// runs and finished here, when a line jump, another font class or the page
// end ends the collection.
//
// Finishing creates the field from the collected text as it stands, at the
// position and with the description of its first run. Placeholders are not
// replaced yet: the printer receives them as drawn.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Finishes one collection (1 the bitmap-font collection, 0 the vector
// collection) and empties it. Nothing when it holds no text.
void CheckBuffer_VectorBitmap(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode, int iSelector);

}  // namespace kx
