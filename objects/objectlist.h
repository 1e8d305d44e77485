// Object list output: the page's printer fields (PrnObject), sent at page end
// in list order with their corrections, then freed.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Sends the fields of pDruckDaten->pObjectList. The last result of the
// output channel, or E_FAIL when the devmode has no master unit, the text
// table is missing or a work buffer cannot be allocated.
HRESULT SendObjectList(OEM_PDEV* pOemPDev, PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);

// Frees every object of the list and its text; each freed block lowers
// iNewZaehler. The caller clears the list head afterwards.
void DeletePrnObject(OEM_PDEV* pOemPDev);

}  // namespace kx
