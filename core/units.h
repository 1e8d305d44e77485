// Unit conversions between device dots and millimetres.
//
// Sizes arrive in dots at the model's resolution (FixedData.wMasterUnit, dots
// per inch); the devmode keeps tenths of a millimetre, the size and position
// records want hundredths, the older label record whole millimetres. Every
// conversion rounds to the nearest value, half away from zero, as MulDiv
// does. A master unit of 0 (a model block that was never filled) counts as
// 300 dots per inch, with a trace line, so that no conversion divides by 0.
#pragma once

#include "platform/kxtypes.h"

namespace kx {

constexpr WORD kDefaultMasterUnit = 300;

// a * b / c with a 64-bit intermediate, rounded half away from zero. -1 when
// c is 0 or the result does not fit 32 bits (the contract of Win32 MulDiv).
LONG MulDiv(LONG a, LONG b, LONG c);

// Dots to whole millimetres.
LONG MasterUnitToMm(LONG value, WORD wMasterUnit);
// Dots to tenths of a millimetre.
LONG MasterUnitToMm10(LONG value, WORD wMasterUnit);
// Dots to hundredths of a millimetre.
LONG MasterUnitToMm100(LONG value, WORD wMasterUnit);
// Tenths of a millimetre to dots.
LONG Mm10ToMasterUnit(LONG value, WORD wMasterUnit);

}  // namespace kx
