#include "host/gdi.h"

#include <algorithm>

#include "host/jsonnode.h"

namespace kxhost {

GdiHost& GdiHost::Get()
{
    static GdiHost host;
    return host;
}

void GdiHost::AddString(STROBJ* pstro, GLYPHPOS* glyphs, ULONG count, ULONG batch)
{
    strings_[pstro] = StringState{glyphs, count, batch ? batch : count, 0};
}

void GdiHost::RemoveString(STROBJ* pstro)
{
    strings_.erase(pstro);
}

void GdiHost::AddFont(FONTOBJ* pfo, IFIMETRICS* pifi)
{
    fonts_[pfo] = pifi;
}

void GdiHost::RemoveFont(FONTOBJ* pfo)
{
    fonts_.erase(pfo);
}

void GdiHost::EnumStart(STROBJ* pstro)
{
    auto it = strings_.find(pstro);
    if (it == strings_.end()) {
        problems.push_back("STROBJ_vEnumStart for a string object the host never handed out");
        return;
    }
    it->second.next = 0;
}

BOOL GdiHost::EnumPositions(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos)
{
    auto it = strings_.find(pstro);
    if (it == strings_.end()) {
        problems.push_back(
            "STROBJ_bEnumPositionsOnly for a string object the host never handed out");
        if (pc) *pc = 0;
        if (ppgpos) *ppgpos = nullptr;
        return FALSE;
    }
    StringState& s = it->second;
    ULONG n = std::min(s.batch, s.count - s.next);
    if (pc) *pc = n;
    if (ppgpos) *ppgpos = n ? s.glyphs + s.next : nullptr;
    s.next += n;
    // TRUE while more glyphs follow this batch.
    return s.next < s.count ? TRUE : FALSE;
}

IFIMETRICS* GdiHost::Metrics(FONTOBJ* pfo)
{
    auto it = fonts_.find(pfo);
    if (it == fonts_.end()) {
        problems.push_back("FONTOBJ_pifi for a font object the host never handed out");
        return nullptr;
    }
    return it->second;
}

HPALETTE GdiHost::CreatePalette(ULONG iMode, ULONG cColors, const ULONG* pulColors)
{
    auto pal = std::make_unique<Palette>();
    pal->mode = iMode;
    if (iMode == PAL_INDEXED && pulColors) pal->colours.assign(pulColors, pulColors + cColors);
    HPALETTE h = pal.get();
    palettes_[h] = std::move(pal);
    return h;
}

BOOL GdiHost::DeletePalette(HPALETTE hpal)
{
    if (palettes_.erase(hpal)) return TRUE;
    problems.push_back("EngDeletePalette for a palette the host does not know");
    return FALSE;
}

UINT GdiHost::PaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries, PALETTEENTRY* pEntries)
{
    const Palette* pal = nullptr;
    if (hpal) {
        auto it = palettes_.find(hpal);
        if (it == palettes_.end()) {
            problems.push_back("GetPaletteEntries for a palette the host does not know");
            return 0;
        }
        pal = it->second.get();
    }
    UINT size = pal && !pal->colours.empty() ? static_cast<UINT>(pal->colours.size()) : 256;
    if (iStart >= size || !pEntries) return 0;
    UINT n = std::min(cEntries, size - iStart);
    for (UINT i = 0; i < n; ++i) {
        PALETTEENTRY& e = pEntries[i];
        if (pal && !pal->colours.empty()) {
            ULONG c = pal->colours[iStart + i];  // 0x00BBGGRR
            e.peRed = static_cast<BYTE>(c & 0xFF);
            e.peGreen = static_cast<BYTE>((c >> 8) & 0xFF);
            e.peBlue = static_cast<BYTE>((c >> 16) & 0xFF);
        } else {
            e.peRed = e.peGreen = e.peBlue = static_cast<BYTE>(iStart + i);
        }
        e.peFlags = 0;
    }
    return n;
}

void GdiHost::ResetRecords()
{
    currentText.clear();
    handedBack.clear();
    startDocCalls = 0;
    escapeCalls = 0;
    problems.clear();
}

// ------------------------------------------------------------ host DDI entries

namespace {

BOOL KX_STDCALL HostDrvTextOut(SURFOBJ*, STROBJ* pstro, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*,
                               BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX)
{
    GdiHost& gdi = GdiHost::Get();
    HandedBackText t;
    t.where = gdi.currentText;
    if (pstro) {
        if (pstro->pwszOrg) t.text.assign(pstro->pwszOrg, pstro->cGlyphs);
        if (pstro->pgp && pstro->cGlyphs) t.origin = pstro->pgp[0].ptl;
    }
    gdi.handedBack.push_back(std::move(t));
    return TRUE;  // the host renders it into the raster
}

ULONG KX_STDCALL HostDrvEscape(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID)
{
    ++GdiHost::Get().escapeCalls;
    return 0;  // escape not supported by the device
}

BOOL KX_STDCALL HostDrvStartDoc(SURFOBJ*, PWSTR, DWORD)
{
    ++GdiHost::Get().startDocCalls;
    return TRUE;
}

}  // namespace

DRVENABLEDATA* GdiHost::HostDdi()
{
    static DRVFN table[] = {
        {INDEX_DrvStartDoc, reinterpret_cast<PFN>(&HostDrvStartDoc)},
        {INDEX_DrvTextOut, reinterpret_cast<PFN>(&HostDrvTextOut)},
        {INDEX_DrvEscape, reinterpret_cast<PFN>(&HostDrvEscape)},
    };
    static DRVENABLEDATA ded = {0x30100, 3, table};
    return &ded;
}

}  // namespace kxhost

// ------------------------------------------------------------ engine exports
//
// Looked up by the plug-in in the program's exported symbols.

KX_EXPORT void KX_STDCALL STROBJ_vEnumStart(STROBJ* pstro)
{
    kxhost::GdiHost::Get().EnumStart(pstro);
}

KX_EXPORT BOOL KX_STDCALL STROBJ_bEnumPositionsOnly(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos)
{
    return kxhost::GdiHost::Get().EnumPositions(pstro, pc, ppgpos);
}

KX_EXPORT IFIMETRICS* KX_STDCALL FONTOBJ_pifi(FONTOBJ* pfo)
{
    return kxhost::GdiHost::Get().Metrics(pfo);
}

KX_EXPORT HPALETTE KX_STDCALL EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG,
                                               FLONG, FLONG)
{
    return kxhost::GdiHost::Get().CreatePalette(iMode, cColors, pulColors);
}

KX_EXPORT BOOL KX_STDCALL EngDeletePalette(HPALETTE hpal)
{
    return kxhost::GdiHost::Get().DeletePalette(hpal);
}

KX_EXPORT UINT KX_STDCALL GetPaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries,
                                            PALETTEENTRY* pEntries)
{
    return kxhost::GdiHost::Get().PaletteEntries(hpal, iStart, cEntries, pEntries);
}
