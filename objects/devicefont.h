// Printer-resident fonts: text drawn in one of the printer's own fonts (a
// device font of the printer description) becomes printer font fields.
//
// DeviceTextOut walks the glyph batches of one text call; each batch is a
// run with one position and direction, which DrawDeviceGlyphs turns into a
// field at once or, when the run starts a variable field (a function "=..."
// or a placeholder "<§..."), collects in the bitmap-font collection until a
// line jump, another font class or the page end finishes it.
#pragma once

#include <functional>

#include "core/oempdev.h"
#include "core/pageparts.h"
#include "objects/kvbb.h"

namespace kx {

// Printer font id of device font iFont (counted from 1): 1 to 5 keep their
// number, 6 gives 7, 7 to 10 give 21 to 24, 11 and 12 give 28 and 29, any
// other gives 23.
WORD PrinterFontId(ULONG iFont);

// Direction of a run in quarter turns (0 to 3), or -1 when it cannot be
// told: from the string object's direction flags, else from the first two
// glyph positions, else for one glyph from the background rectangle. On a
// rotated page the result turns back by a quarter. *pAcross and *pAlong get
// the background rectangle's extents across and along the run.
int GetFontParam(const STROBJ* pstro, const GLYPHPOS* pgp, ULONG cGlyphs, BOOL bLandscape,
                 LONG* pAcross, LONG* pAlong);

// The offset (dots) of image part wPart on the page: on a landscape page the
// parts are strips side by side, each as wide as the first; on a portrait
// page the part starts at the page height its predecessors reached.
POINTL ImagePartOffset(const Bildanteile& ba, const DocDaten& doc, WORD wPart);

// Notes a run drawn at pt in image part wPart in the text table entry the
// next field takes, with lFontId (printer font id or vector index), and
// keeps the position as the last run's.
void RecordTextRun(Bildanteile& ba, const DocDaten& doc, POINTL pt, LONG lFontId, WORD wPart);

// Calls run(positions, count, first) for each glyph batch of the call's
// first cText glyphs, first being the batch's first glyph in the text; stops
// when run answers false. When the positions cannot be enumerated, the
// string object's own position array is taken as one batch.
void ForEachGlyphBatch(STROBJ* pstro, ULONG cText,
                       const std::function<bool(const GLYPHPOS*, ULONG, ULONG)>& run);

// All glyph batches of one text call in device font iFont. FALSE when a
// record is missing or a run could not be drawn; TRUE otherwise, also when
// a run left of or above the label ends the call early.
BOOL DeviceTextOut(OEM_PDEV* pOemPDev, STROBJ* pstro, ULONG iFont, KX_DEVMODE* pKX_Devmode);

// One run of cGlyphs UTF-16 units drawn at pt in direction iRotation.
BOOL DrawDeviceGlyphs(OEM_PDEV* pOemPDev, ULONG cGlyphs, const WCHAR* pwszText, POINTL pt,
                      int iRotation, ULONG iFont, KX_DEVMODE* pKX_Devmode);

}  // namespace kx
