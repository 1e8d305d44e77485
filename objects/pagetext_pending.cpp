// The page end's call into the command font collection. Command-font text
// is not collected yet (InterceptTextOut hands it back), so there is nothing
// to finish. This file goes when cmdfont.cpp is built.
#include "objects/cmdfont.h"

namespace kx {

void CheckKommandoBuffer(OEM_PDEV*, KX_DEVMODE*) {}

}  // namespace kx
