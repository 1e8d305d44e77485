#include "core/jobheap.h"

#include "core/trace.h"
#include "platform/platform.h"

namespace kx {

int iNewZaehlerUNI = 0;
int iHAllocZaehlerUNI = 0;

namespace {

// The platform keeps one process heap without a handle of its own; the
// job's records name it by this marker so that "no heap" (null) stays
// distinguishable.
int gProcessHeapMarker = 0;

}  // namespace

HANDLE GetProcessHeapHandle()
{
    return &gProcessHeapMarker;
}

void* CreateHeapBuffer(HANDLE hHeap, DWORD dwSize, const char16_t* pszName)
{
    if (!hHeap || dwSize == 0) {
        Trace(u"ERROR UNI(CC-Klassen):  CreateHeapBuffer(%s) hHeap: 0x%x, dwSize: %u \r\n", pszName,
              static_cast<const void*>(hHeap), dwSize);
        return nullptr;
    }
    void* p = plat::HeapAlloc(dwSize, true);
    if (!p) {
        Trace(u"ERROR UNI(CC-Klassen):  CreateHeapBuffer(%s) HeapAlloc %u Bytes ERROR %u \r\n",
              pszName, dwSize, plat::GetLastError());
        return nullptr;
    }
    ++iHAllocZaehlerUNI;
    Trace(u"UNI(CC-Klassen):  CreateHeapBuffer(%s) %u Bytes, iHAllocZaehlerUNI: %d \r\n", pszName,
          dwSize, iHAllocZaehlerUNI);
    return p;
}

void FreeHeapBuffer(HANDLE, void* pBlock)
{
    if (!pBlock) return;
    plat::HeapFree(pBlock);
    --iHAllocZaehlerUNI;
}

void* CreateJobBuffer(OEM_PDEV* pOemPDev, DWORD dwSize, const char16_t* pszName)
{
    void* p = CreateHeapBuffer(GetProcessHeapHandle(), dwSize, pszName);
    if (p && pOemPDev) ++pOemPDev->iHAllocZaehler;
    return p;
}

void FreeJobBlock(OEM_PDEV* pOemPDev, void* pBlock)
{
    if (!pBlock) return;
    FreeHeapBuffer(GetProcessHeapHandle(), pBlock);
    if (pOemPDev && pOemPDev->iHAllocZaehler) --pOemPDev->iHAllocZaehler;
}

}  // namespace kx
