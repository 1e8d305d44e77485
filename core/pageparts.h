// The page's parts (pOp->pBildanteile): the bands stored so far and the
// text table of the page's fields.
//
// The host renders a page in bands (image parts). Band capture counts them
// and records where each ended; the text hook records, per field it creates,
// the field's text and where it was drawn, in page dots and corrected by the
// offset of the image part it arrived in. At page end the object list output
// uses the table to put fields back on the page and to join texts that the
// host split at a band boundary. The block is cleared at every page start,
// so the table restarts with each page.
#pragma once

#include "core/jobdata.h"

// Bands per page whose positions are recorded; entries are written at index
// wBildTeile after the band is counted, so the first band lands at index 1.
constexpr int kMaxBildTeile = 150;

// Entries of the text table and wide characters per entry (with the zero).
constexpr int kMaxAMSaetze = 150;
constexpr int kAMSatzTextChars = 260;

struct Bildanteile {
    WORD wBildTeile;
    DWORD iBildTeilePosY[kMaxBildTeile];  // page height reached after the band
    DWORD iBildTeilePosX[kMaxBildTeile];  // page width at the band

    // The text table. iAnzahlAMSaetze is the entry the next field takes; it
    // stops at kMaxAMSaetze - 1, so the last entry is reused.
    int iAnzahlAMSaetze;
    LONG lGlyphPosY_Old;  // position of the last printer-font run
    LONG lGlyphPosX_Old;
    WORD wID_Old;  // barcode id of the last barcode run
    WCHAR szAMSatzText[kMaxAMSaetze][kAMSatzTextChars];
    LONG lAMSatzTextYPos[kMaxAMSaetze];      // y as drawn, dots
    LONG lAMSatzTextYPosKorr[kMaxAMSaetze];  // y plus the image part's offset
    LONG lAMSatzTextXPos[kMaxAMSaetze];
    LONG lAMSatzTextXPosKorr[kMaxAMSaetze];
    DWORD lAMSatzTextFontID[kMaxAMSaetze];
    LONG lAMSatzExtra[kMaxAMSaetze];
    WORD wAMSatzBildTeil[kMaxAMSaetze];   // image part the entry was drawn in
    BYTE bAMSatzVerbunden[kMaxAMSaetze];  // joined with a split piece
};
static_assert(sizeof(Bildanteile) <= BILDANTEILE_SIZE);
