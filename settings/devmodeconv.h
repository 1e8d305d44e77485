// Conversion of private devmode records written by older driver generations
// into the current layout.
#pragma once

#include "core/devmode.h"

namespace kx {

// A master unit that a genuine record can carry: 203, 300, 305 or 600 dpi.
bool IsValidMasterUnit(WORD wMasterUnit);

// Brings a record whose body is older than the current layout (wVersion below
// 0x6302) into the current layout, in place. TRUE when the record is in the
// current layout afterwards; FALSE when its generation is not recognised, in
// which case the record is left as it was and must not be used.
//
// Only the current layout is recognised so far (a valid master unit at 1940,
// wSkalierung 50 or more and w9999 = 0x9999): it is taken as it is, apart
// from the cutter and dispenser modes that older settings interfaces stored
// with retired values (cutter 7 -> 6, cutter 8 -> 0, dispenser 7 -> 0). The
// generations 2.3.3 to 2.6.2 (records of 1936, 1952, 2008 and 2216 bytes) are
// refused with a trace line; callers fall back to the next source of
// settings.
BOOL Devmode_Konverter(KX_DEVMODE* pKX_Devmode);

}  // namespace kx
