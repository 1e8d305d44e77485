// Barcode fonts: text drawn in a barcode font becomes a printer barcode.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Sends the pending barcode collection as one field; an empty collection
// does nothing.
void CheckBarcodeBuffer(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode);

}  // namespace kx
