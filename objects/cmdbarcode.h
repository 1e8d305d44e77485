// Barcode shorthand of the command font: an entry "<#" keyword options ">"
// data becomes the records of one printer barcode field. The keyword names
// the symbology ("#QR", "#DATAM", "#EAN13", "#C128", ...), the options
// ("H:", "S:", "EC:", ";P:", "D:", "DP:", ...) override the defaults that
// the printer's 2-D barcode settings ("BarCodes2D") give.
#pragma once

#include <string>
#include <string_view>

#include "core/oempdev.h"

namespace kx {

// What a shorthand entry needs besides its text.
struct ShorthandContext {
    DWORD dwField;  // the field number its records take
    LONG y;         // position, written first (1/100 mm)
    LONG x;
    DWORD dwRotation;  // dwDrehung + the entry's prefix rotation + the job's
                       // rotation index; "D:" is added to it, modulo 4
    const KX_DEVMODE* pDevmode;
    const BYTE* p2D;  // the 2-D barcode settings (300 bytes), or null
};

// The records of one entry, without start and end characters.
struct ShorthandRecords {
    bool bKnown = false;  // false: no such keyword ("unbekannter Befehl"), nothing is sent
    std::string am;       // "AM[n]y;x;P;symbology;rotation;..."
    std::string ac;       // ITF-14 only: "AC[n]BT=..;BW=..;QZ=.."; else empty
    std::string bm;       // "BM[n]" and the prepared data
};

// Composes the records of the shorthand entry (the text from "<#" on).
ShorthandRecords ComposeShorthand(std::string_view entry, const ShorthandContext& ctx);

}  // namespace kx
