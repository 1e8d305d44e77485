// The rounding of the raster code: conversions between dots and tenths or
// hundredths of a millimetre round half away from zero and keep 16 bits.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/kxtypes.h"

namespace kx {

// Rounds x half away from zero into an unsigned 16-bit value, the way the
// printer's dimensions have always been rounded: x is first truncated toward
// zero into 16 bits (w); a positive x of at least w + 0.5 gives w + 1, an x
// of 0 or below with w - 0.5 >= x gives w - 1. Values outside 16 bits wrap
// (the truncation keeps the low 16 bits of the integer part); NaN counts as
// 0. For a negative x this is deliberately the historical result, e.g.
// Round16(-3.2) == 65532.
inline WORD Round16(double x)
{
    if (std::isnan(x)) x = 0.0;
    // Keep the conversion to an integer defined for every input.
    constexpr double kLimit = 9.0e18;
    double t = x > kLimit ? kLimit : (x < -kLimit ? -kLimit : x);
    auto w = static_cast<std::uint16_t>(static_cast<std::int64_t>(t));
    if (x > 0) {
        if (x >= w + 0.5) return static_cast<WORD>(w + 1);
    } else if (w - 0.5 >= x) {
        return static_cast<WORD>(w - 1);
    }
    return w;
}

}  // namespace kx
