// Variable fields and placeholders: not built yet. Printer-resident and
// vector-font text with placeholders (date, time, serial numbers, user and
// computer names, linked fields) is not collected today; it goes back to the
// driver host and prints in the raster. The page end's call below finds
// nothing and sends nothing (objects/pagetext_pending.cpp). Variable fields
// come with later work.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Page end: finishes one collection (1 the bitmap-font buffer, 0 the vector
// buffer). Both are always empty yet, so it does nothing.
void CheckBuffer_VectorBitmap(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode, int iSelector);

}  // namespace kx
