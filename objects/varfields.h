// Variable fields: text drawn in printer fonts or vector fonts that starts a
// field (a printer function "=..." or a placeholder) is collected across its
// runs and finished here, when a line jump, another font class or the page
// end ends the collection.
//
// Finishing replaces the placeholders "<" sign name ">" of the collected
// text by printer functions, settings strings or current values, keeps the
// numerators' start values running from job to job in the user's registry
// key, and creates the field at the position and with the description of
// the collection's first run.
#pragma once

#include <string>

#include "core/oempdev.h"
#include "platform/platform.h"

namespace kx {

// Finishes one collection (1 the bitmap-font collection, 0 the vector
// collection) and empties it. Nothing when it holds no text.
void CheckBuffer_VectorBitmap(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode, int iSelector);

// The sign of the placeholders: the first character of szIdentSign, "§"
// when it holds "§" or is empty.
WCHAR PlaceholderSign(const KX_DEVMODE& dm);

// A numerator's start value in the registry: what was stored before the
// text was expanded, and what is to happen to it afterwards.
struct StoredStartValue {
    enum Action { kKeep, kWrite, kDelete };
    bool bStored = false;
    std::string value;  // stored before; the value to write with kWrite
    Action action = kKeep;
};

// Everything the expansion reads besides the text (ANSI code page bytes).
struct PlaceholderInputs {
    std::string sign;  // the placeholder sign
    std::string time, date, num, ext, aux1, aux2, user, link;
    WORD wSpecNumStyle = 0;
    DWORD dwCopies = 1;        // the page's copy count
    DWORD dwNumCopiesMod = 0;  // modified copy count pending (0: none)
    std::string userName, printerName, computerName;
    plat::SystemTime now;
};

// What the expansion found out besides the text.
struct PlaceholderResult {
    BOOL bPhantom = FALSE;    // the empty placeholder was met
    bool bSnWarning = false;  // the serial number had no digits
    bool bNumSent = false;    // the numerator placeholder was replaced
    LONG lNumStep = 0;        // the numerator's step and interval
    LONG lNumInterval = 0;
    StoredStartValue num, ext;  // in: stored values; out: what to do with them
};

// Replaces the placeholders of text (in place).
void ExpandPlaceholders(std::string& text, const PlaceholderInputs& in, PlaceholderResult& r);

}  // namespace kx
