// Text conversions and font recognition of the text hook: pure functions
// over the text and the devmode.
#pragma once

#include <cstddef>

#include "core/devmode.h"
#include "platform/ddi.h"

namespace kx {

// Device code pages 1 to 7 (KX_DEVMODE::wCodepage): 256 bytes that take each
// byte of the ANSI code page (Windows-1252) to the byte of the same character
// in the printer's character set. Null for 0 and for values above 7.
const unsigned char* CodePageTable(WORD wCodepage);

// Each UTF-16 unit of text becomes one to three UTF-8 bytes (surrogate
// halves each on their own); 0xFFFE and 0xFFFF become 0x7F. *pcch: units in,
// bytes written out. out must hold 3 * units + 1 bytes; it is zero-ended.
// Returns the bytes written.
int UnicodeToUTF8Ex(char* out, const WCHAR* text, int* pcch);

// Glyph indexes of applications that pass them instead of characters: each
// unit becomes its low byte plus 29.
BOOL ConvertCrystalString(WCHAR* text, ULONG cGlyphs);
// Each unit keeps only its low byte.
void ConvertToNormalWide(WCHAR* text, ULONG cGlyphs);

// Whether face contains one of the italic words ("Kursiv", "Italic",
// "Italiques", "Cursiva"); the first found, else null.
const WCHAR* ItalicWord(const WCHAR* face);

// The vector font index of a TrueType face: 31 + 2i (+1 italic) for user
// font slot i of the devmode, -2 for the common Windows faces, the wId of
// the built-in vector font table, else -1. bSimBold/bSimItalic: the font
// object's simulations.
int VectorTrueTypeIndex(const WCHAR* face, bool bSimBold, bool bSimItalic, const KX_DEVMODE& dm);

// The user font slot (0 to 15) whose name matches face as VectorTrueTypeIndex
// matches it, or -1.
int UserFontSlot(const WCHAR* face, const KX_DEVMODE& dm);

// The ribbon colour index of colour (0x00BBGGRR) against palette.
ULONG RibbonColourIndex(DWORD colour, const RGBQUAD* palette, WORD wFarbband,
                        WORD dwColorTolerance);

// The colour name of the text log for a colour index in a 256-colour
// palette ("red", "yellow", ...), or null for the plain form.
const char* ColourName(ULONG ulColor);

}  // namespace kx
