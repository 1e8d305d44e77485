#include "objects/varfields.h"

#include <algorithm>
#include <cstring>

#include "core/trace.h"
#include "objects/kvbb.h"
#include "objects/prnobject.h"

namespace kx {

void CheckBuffer_VectorBitmap(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode, int iSelector)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !op->pKVBBBuffer || !pKX_Devmode) return;
    KVBBBuffer& kv = *op->pKVBBBuffer;
    TextCollection& coll = iSelector == 1 ? kv.bitmap : kv.vektor;
    const DWORD area = iSelector == 1 ? kBitmapAreaSize : kVektorAreaSize;
    if (!coll.pText || coll.dwSize == 0) return;
    coll.pText[std::min<DWORD>(coll.dwSize, area - 1)] = '\0';
    // The field keeps the colour its first run was drawn in.
    const BOOL sent = DrawGlyphs(pOemPDev, coll.pText, coll.ptPos, &coll.desc, pKX_Devmode, TRUE,
                                 iSelector == 0 ? kv.bPhantom : FALSE);
    Trace(sent ? u"UNI(ddiTextOutUni):  CheckBuffer_VectorBitmap() String gesendet \r\n"
               : u"UNI(ddiTextOutUni):  CheckBuffer_VectorBitmap() String nicht gesendet \r\n");
    coll.dwSize = 0;
    std::memset(coll.pText, 0, area);
    if (iSelector == 0) kv.bPhantom = FALSE;
}

}  // namespace kx
