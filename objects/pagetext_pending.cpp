// The page end's interpretation of the command list: not built yet, so
// the collected commands are dropped with the page. This file goes when
// cmdinterp.cpp is built.
#include "objects/cmdfont.h"
#include "objects/cmdinterp.h"

namespace kx {

HRESULT SendCommands(PDEVOBJ, IPrintOemDriverUni*, AutoImportFn)
{
    return S_OK;
}

}  // namespace kx
