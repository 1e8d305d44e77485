// Until the text module lands, no text is collected and no field object is
// created: the page end's calls into it find nothing to send. This file goes
// when objectlist.cpp, barcodefont.cpp, varfields.cpp and cmdinterp.cpp
// define these functions.
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

void CheckBuffer_VectorBitmap(OEM_PDEV*, KX_DEVMODE*, int) {}

HRESULT SendCommands(PDEVOBJ, IPrintOemDriverUni*)
{
    return S_OK;
}

}  // namespace kx
