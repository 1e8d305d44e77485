// The page end's calls into the device-font objects. No text is collected
// yet (InterceptTextOut hands every text back), so there is nothing to
// finish: each call does nothing. This file goes when barcodefont.cpp,
// varfields.cpp and cmdinterp.cpp are built.
#include "objects/barcodefont.h"
#include "objects/cmdinterp.h"
#include "objects/varfields.h"

namespace kx {

void CheckBarcodeBuffer(OEM_PDEV*, KX_DEVMODE*) {}

void CheckKommandoBuffer(OEM_PDEV*, KX_DEVMODE*) {}

HRESULT SendCommands(PDEVOBJ, IPrintOemDriverUni*)
{
    return S_OK;
}

}  // namespace kx
