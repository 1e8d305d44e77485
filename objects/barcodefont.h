// Barcode fonts: not built yet. No text is recognised as a barcode today:
// text drawn in a barcode font goes back to the driver host and prints as
// part of the raster (objects/textout.cpp). What exists is the page end's
// call below, which finds nothing collected and sends nothing
// (objects/pagetext_pending.cpp); printer barcodes come with later work.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Page end: sends the pending barcode collection as one field. Nothing is
// ever collected yet, so it does nothing.
void CheckBarcodeBuffer(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode);

}  // namespace kx
