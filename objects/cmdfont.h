// Command-font text: text drawn in the face "KXPL Command LP" is not
// printed; its runs are collected into commands, each with its position on
// the label and its colour, in the page's command list (KVBBBuffer), which
// the interpreter (objects/cmdinterp.h) reads at page end. Two commands act
// at once: "<@angle;foot;i>" sets rotation, foot point and inverse printing
// of the next field, "<!ROTATE>" rotates the document.
#pragma once

#include "core/oempdev.h"

namespace kx {

constexpr char16_t kCommandFace[] = u"KXPL Command LP";

// All glyph runs of one text call in the command font. FALSE (and
// *pbHandled 0) for a string object that brings its own glyph positions:
// the runs cannot be told apart, so no command is made.
BOOL CommandTextOut(OEM_PDEV* pOemPDev, STROBJ* pstro, BOOL* pbHandled, KX_DEVMODE* pKX_Devmode);

// One run of cGlyphs units at pt (dots): starts a new command or continues
// the one being collected.
BOOL DrawCommandGlyphs(OEM_PDEV* pOemPDev, ULONG cGlyphs, const WCHAR* pwszText, POINTL pt,
                       BOOL* pbHandled, KX_DEVMODE* pKX_Devmode);

// Finishes the command being collected: its one-shot values take effect and
// it moves, with its printer position, into the page's command list.
void CheckKommandoBuffer(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode);

// The printer position of a position in dots, as GetPrintObjectPos but with
// MulDiv rounding, without the page's scaling and keeping the sign; iRotation
// 3 reads it on a rotated page.
void GetPrnObjectPos(OEM_PDEV* pOemPDev, POINTL pt, POINTL* pOut, int iRotation,
                     KX_DEVMODE* pKX_Devmode);

}  // namespace kx
