// The graphics engine side of the driver host, as the plug-in sees it.
//
// The plug-in resolves the engine calls STROBJ_vEnumStart,
// STROBJ_bEnumPositionsOnly, FONTOBJ_pifi, EngCreatePalette,
// EngDeletePalette and GetPaletteEntries at run time from the host
// program's exports; kxrender exports them (gdi_exports.cpp) and serves them
// from the objects registered here. The host's own DDI entries that the
// plug-in chains to (DrvTextOut, DrvEscape, DrvStartDoc) are stand-ins that
// record what reaches them: text the plug-in hands back would be rendered
// into the raster by the real driver host.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ddi.h"

namespace kxhost {

// A text that the plug-in handed back to the host's DrvTextOut.
struct HandedBackText {
    std::string where;  // the job file's text item
    std::u16string text;
    POINTL origin{};  // first glyph
};

class GdiHost {
public:
    static GdiHost& Get();

    // Glyph positions served by STROBJ_bEnumPositionsOnly, batch glyphs at a
    // time (0: all at once), and the metrics served by FONTOBJ_pifi. The
    // objects must stay registered while the plug-in may ask for them.
    void AddString(STROBJ* pstro, GLYPHPOS* glyphs, ULONG count, ULONG batch);
    void RemoveString(STROBJ* pstro);
    void AddFont(FONTOBJ* pfo, IFIMETRICS* pifi);
    void RemoveFont(FONTOBJ* pfo);

    // Engine palettes. A null handle and palettes without an explicit colour
    // list stand for the device's default palette: 256 grey levels, index i
    // being (i, i, i).
    HPALETTE CreatePalette(ULONG iMode, ULONG cColors, const ULONG* pulColors);
    BOOL DeletePalette(HPALETTE hpal);
    UINT PaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries, PALETTEENTRY* pEntries);
    std::size_t LivePalettes() const { return palettes_.size(); }

    // The enumeration and metrics calls.
    void EnumStart(STROBJ* pstro);
    BOOL EnumPositions(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos);
    IFIMETRICS* Metrics(FONTOBJ* pfo);

    // The host's own DDI table handed to EnablePDEV, and what reached it.
    DRVENABLEDATA* HostDdi();
    std::string currentText;  // the text item being drawn, for the record
    std::vector<HandedBackText> handedBack;
    unsigned startDocCalls = 0;
    unsigned escapeCalls = 0;
    // Calls for objects the host never handed out: a fault of the plug-in.
    std::vector<std::string> problems;

    // Forgets the records of a run (palettes stay until deleted).
    void ResetRecords();

private:
    struct StringState {
        GLYPHPOS* glyphs;
        ULONG count;
        ULONG batch;
        ULONG next;
    };
    struct Palette {
        ULONG mode;
        std::vector<ULONG> colours;
    };
    std::map<STROBJ*, StringState> strings_;
    std::map<FONTOBJ*, IFIMETRICS*> fonts_;
    std::map<HPALETTE, std::unique_ptr<Palette>> palettes_;
};

}  // namespace kxhost
