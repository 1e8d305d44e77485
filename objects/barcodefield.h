// Barcode fields: the data of a barcode made ready for the printer and the
// parameter set its AM record carries after the object type. The field
// records themselves are composed with every other field's
// (objects/prnobject.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/devmode.h"
#include "objects/kvbb.h"

namespace kx {

// The barcode data after the mnemonics, the FNC1 end, the scan marker, the
// group separators of the GS1 codes and the auto-correction.
struct BarcodeData {
    std::string text;
    bool bScan = false;  // the text was marked "<#>": a scan field
};

// wType: the field's object type; dwDevmodeFlags: the devmode's dwFlags. The
// field name and the cut at ")[" follow, with the name rules of text fields.
BarcodeData PrepareBarcodeText(std::string_view text, WORD wType, DWORD dwDevmodeFlags);

// The auto-correction of barcode data for object type wType (the devmode
// flag PDMFLAG_BARCODE_AUTOCORR): Code 39 and Code 93 are upper-cased, the
// codes of a fixed length are cut to it, UPC-E gets its number system.
void AutoCorrectBarcodeText(std::string& text, WORD wType);

// What the parameter set is made from besides the description.
struct BarcodeSetInputs {
    WORD wType;           // object type
    DWORD dwRotation;     // field rotation, quarter turns
    double dScaleY;       // the page's y scaling factor, 1 when off
    const BYTE* p2D;      // 2-D part of the barcode settings, or null
    std::size_t cchText;  // length of the prepared text
};

// Whether the parameter set of type wType is the automatic one: always for
// the 1-D types, for a 2-D type without settings, with settings never
// written or with its automatic switch on.
bool AutomaticSet(WORD wType, const BYTE* p2D);

// The parameter set of the AM record, without a leading ";". Takes the
// pending foot point where the set has a place for it and clears it.
std::string BarcodeParameters(const FieldDescription& desc, const BarcodeSetInputs& in,
                              DWORD& dwFusspunkt);

// The two size values the field records write for a DataMatrix size setting
// s of type wType (52 or 59; 0 and 0: the printer chooses).
void DataMatrixSize(WORD wType, int s, int& a, int& b);

// "BT=..;BW=..;QZ=.." of the bearer record of the ITF types 55, 56 and 58;
// empty for the other types.
std::string BearerValues(WORD wType, WORD wHeight, const BYTE* p2D);

}  // namespace kx
