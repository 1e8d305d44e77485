// The GDI engine calls the plug-in uses, resolved at run time: the system's
// gdi32 exports them on Windows; where it does not (Wine), the host program
// exports them itself. A call nobody provides fails softly.
#pragma once

#include "platform/ddi.h"

namespace kx::engine {

void STROBJ_vEnumStart(STROBJ* pstro);
// FALSE (no more glyphs) when the call is not available.
BOOL STROBJ_bEnumPositionsOnly(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos);
IFIMETRICS* FONTOBJ_pifi(FONTOBJ* pfo);
HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed,
                          FLONG flGreen, FLONG flBlue);
BOOL EngDeletePalette(HPALETTE hpal);
// GetPaletteEntries of gdi32; 0 when not available.
UINT GetPaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries, PALETTEENTRY* pEntries);

}  // namespace kx::engine
