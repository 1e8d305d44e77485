// The page end's calls into the command font. Command-font text is not
// collected yet (InterceptTextOut hands it back), so there is nothing to
// finish: each call does nothing. This file goes when cmdinterp.cpp is
// built.
#include "objects/cmdfont.h"
#include "objects/cmdinterp.h"

namespace kx {

void CheckKommandoBuffer(OEM_PDEV*, KX_DEVMODE*) {}

HRESULT SendCommands(PDEVOBJ, IPrintOemDriverUni*, AutoImportFn)
{
    return S_OK;
}

}  // namespace kx
