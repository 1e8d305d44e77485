// The command font interpreter: command-font text of the page becomes KXPL
// records at page end.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Interprets the page's collected commands and sends their records; sends
// nothing when no command was collected. The last write's result.
HRESULT SendCommands(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);

}  // namespace kx
