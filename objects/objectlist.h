// Object list output: not built yet. The page's printer fields (PrnObject)
// are to be sent at page end in list order and then freed; today no text
// becomes a field, the list stays empty, and both calls below do nothing
// (objects/pagetext_pending.cpp). Printer-native text fields come with
// later work.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Page end: sends the fields of pDruckDaten->pObjectList. The list is always
// empty yet: it sends nothing and returns S_OK.
HRESULT SendObjectList(OEM_PDEV* pOemPDev, PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);

// Frees every object of the list and its text. With the list always empty
// it frees nothing; the caller clears the list head afterwards.
void DeletePrnObject(OEM_PDEV* pOemPDev);

}  // namespace kx
