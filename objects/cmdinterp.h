// The command font interpreter: not built yet. Text drawn in the command
// font is not collected today (it goes back to the driver host like all
// text), so the page end's call below sends nothing
// (objects/pagetext_pending.cpp). Command-font collection and its KXPL
// records come with later work.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Page end: interprets the page's collected commands and sends their
// records. Nothing is collected yet: it sends nothing and returns S_OK.
HRESULT SendCommands(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);

// Finishes the command collected last. Nothing is collected yet: it does
// nothing.
void CheckKommandoBuffer(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode);

}  // namespace kx
