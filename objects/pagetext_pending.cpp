// The page end's calls into the device-font objects. No text is collected
// and no field object is created yet (InterceptTextOut hands every text
// back), so there is nothing to send: each call does nothing. This file goes
// when objectlist.cpp, barcodefont.cpp, varfields.cpp and cmdinterp.cpp are
// built.
#include "objects/barcodefont.h"
#include "objects/cmdinterp.h"
#include "objects/objectlist.h"
#include "objects/varfields.h"

namespace kx {

HRESULT SendObjectList(OEM_PDEV*, PDEVOBJ, IPrintOemDriverUni*)
{
    return S_OK;
}

void DeletePrnObject(OEM_PDEV*) {}

void CheckBarcodeBuffer(OEM_PDEV*, KX_DEVMODE*) {}

void CheckKommandoBuffer(OEM_PDEV*, KX_DEVMODE*) {}

HRESULT SendCommands(PDEVOBJ, IPrintOemDriverUni*)
{
    return S_OK;
}

}  // namespace kx
