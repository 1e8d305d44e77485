#include "objects/kvbb.h"

namespace kx {

void AttachTextAreas(KVBBBuffer* kv, BYTE* pZeichenBuffer)
{
    if (!kv || !pZeichenBuffer) return;
    auto area = [&](DWORD offset) { return reinterpret_cast<char*>(pZeichenBuffer + offset); };
    kv->barcode.pText = area(kBarcodeAreaOffset);
    kv->vektor.pText = area(kVektorAreaOffset);
    kv->bitmap.pText = area(kBitmapAreaOffset);
    kv->kommando.pText = area(kKommandoAreaOffset);
}

}  // namespace kx
