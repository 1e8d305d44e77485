// Stand-ins for the text conversions until their own file is merged.
#include "objects/textconv.h"

namespace kx {

const unsigned char* CodePageTable(WORD)
{
    return nullptr;
}

int UserFontSlot(const WCHAR*, const KX_DEVMODE&)
{
    return -1;
}

}  // namespace kx
