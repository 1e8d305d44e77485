// Vector fonts: TrueType text that the text hook resolves to one of the
// printer's scalable fonts (a built-in vector font or a user font slot of
// the settings) becomes vector font fields.
//
// VectorTextOut walks the glyph batches of one text call; DrawVectorGlyphs
// turns each run into a field at once or, when the run starts a variable
// field, collects it in the vector collection until a line jump, another
// font class or the page end finishes it. A variable field the application
// draws twice with the same text is sent once, as a phantom field.
#pragma once

#include <string>

#include "core/oempdev.h"
#include "objects/kvbb.h"

namespace kx {

// Results of VectorTextOut.
constexpr int kVectorFailed = 0;
constexpr int kVectorDone = 1;
constexpr int kVectorOutside = 2;  // a run lay left of or above the label

// All glyph batches of one text call in vector index iTrueTypeIndex (1 to 29
// built-in, 31 and above user font slots).
int VectorTextOut(OEM_PDEV* pOemPDev, STROBJ* pstro, int iTrueTypeIndex, bool bItalic, bool bBold,
                  const WCHAR* pszFaceName, KX_DEVMODE* pKX_Devmode);

// One run of cGlyphs UTF-16 units drawn at pt in direction iRotation, its
// background lAcross dots high.
BOOL DrawVectorGlyphs(OEM_PDEV* pOemPDev, ULONG cGlyphs, const WCHAR* pwszText, POINTL pt,
                      int iRotation, LONG lAcross, int iTrueTypeIndex, bool bItalic, bool bBold,
                      const WCHAR* pszFaceName, KX_DEVMODE* pKX_Devmode);

// The field description of a vector run: its font id (31/32 for the user
// slots, else the index with the italic and simulated-bold variants), its
// rotation, and its size from the run height lAcross scaled by the font's
// ratio of drawn height to printer size.
void GetVectorDescription(FieldDescription* pDesc, int iTrueTypeIndex, int iRotation, LONG lAcross,
                          bool bItalic, bool bBold, const WCHAR* pszFaceName);

// Turns every character of text's first 259 that the printer cannot take in
// a vector field into a blank (control characters other than 1, 23 and the
// tab). Returns the number of characters replaced.
int StringALNUM(std::u16string& text);

}  // namespace kx
