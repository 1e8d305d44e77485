#include "objects/kvbb.h"

#include <algorithm>
#include <cstring>

namespace kx {

void AttachTextAreas(KVBBBuffer* kv, BYTE* pZeichenBuffer)
{
    if (!kv || !pZeichenBuffer) return;
    auto area = [&](DWORD offset) { return reinterpret_cast<char*>(pZeichenBuffer + offset); };
    kv->barcode.pText = area(kBarcodeAreaOffset);
    kv->vektor.pText = area(kVektorAreaOffset);
    kv->bitmap.pText = area(kBitmapAreaOffset);
    kv->kommando.pText = area(kKommandoAreaOffset);
    kv->pszCommand = area(kCommandListOffset);
}

void CollectRun(TextCollection& coll, DWORD dwAreaSize, bool bStartsField, POINTL pt, int iIndex,
                const FieldDescription& desc, std::string_view run)
{
    if (bStartsField) {
        coll.ptPos = pt;
        coll.iIndex = iIndex;
        coll.desc = desc;
    }
    if (!coll.pText || dwAreaSize == 0) return;
    const DWORD room = dwAreaSize - 1 - std::min<DWORD>(coll.dwSize, dwAreaSize - 1);
    const DWORD n = std::min<DWORD>(room, static_cast<DWORD>(run.size()));
    std::memcpy(coll.pText + coll.dwSize, run.data(), n);
    coll.dwSize += n;
}

}  // namespace kx
