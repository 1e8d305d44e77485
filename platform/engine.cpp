#include "platform/engine.h"

#include "platform/platform.h"

namespace kx::engine {

namespace {

using PFN_GetPaletteEntries = UINT(KX_STDCALL*)(HPALETTE, UINT, UINT, PALETTEENTRY*);

// Looks a call up once; later calls reuse the answer.
template <class F>
F Resolve(const char* name)
{
    return reinterpret_cast<F>(plat::ResolveEngineCall(name));
}

}  // namespace

void STROBJ_vEnumStart(STROBJ* pstro)
{
    static const auto pfn = Resolve<PFN_STROBJ_vEnumStart>("STROBJ_vEnumStart");
    if (pfn) pfn(pstro);
}

BOOL STROBJ_bEnumPositionsOnly(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos)
{
    static const auto pfn = Resolve<PFN_STROBJ_bEnumPositionsOnly>("STROBJ_bEnumPositionsOnly");
    if (pfn) return pfn(pstro, pc, ppgpos);
    if (pc) *pc = 0;
    if (ppgpos) *ppgpos = nullptr;
    return FALSE;
}

IFIMETRICS* FONTOBJ_pifi(FONTOBJ* pfo)
{
    static const auto pfn = Resolve<PFN_FONTOBJ_pifi>("FONTOBJ_pifi");
    return pfn ? pfn(pfo) : nullptr;
}

HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed,
                          FLONG flGreen, FLONG flBlue)
{
    static const auto pfn = Resolve<PFN_EngCreatePalette>("EngCreatePalette");
    return pfn ? pfn(iMode, cColors, pulColors, flRed, flGreen, flBlue) : nullptr;
}

BOOL EngDeletePalette(HPALETTE hpal)
{
    static const auto pfn = Resolve<PFN_EngDeletePalette>("EngDeletePalette");
    return pfn ? pfn(hpal) : FALSE;
}

UINT GetPaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries, PALETTEENTRY* pEntries)
{
    static const auto pfn = Resolve<PFN_GetPaletteEntries>("GetPaletteEntries");
    return pfn ? pfn(hpal, iStart, cEntries, pEntries) : 0;
}

}  // namespace kx::engine
