// Variable fields and placeholders: collected printer-font and vector text
// whose placeholders become printer functions.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Finishes one collection: 1 the bitmap-font buffer, 0 the vector buffer.
// An empty buffer does nothing.
void CheckBuffer_VectorBitmap(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode, int iSelector);

}  // namespace kx
