#include "core/units.h"

#include <cstdint>

#include "core/trace.h"

namespace kx {

namespace {

WORD Checked(WORD wMasterUnit, const char16_t* name)
{
    if (wMasterUnit != 0) return wMasterUnit;
    Trace(u"UNI(ZI-Rezaz):  %s() ERROR dwMasterUnit auf 300 festgelegt \r\n", name);
    return kDefaultMasterUnit;
}

}  // namespace

LONG MulDiv(LONG a, LONG b, LONG c)
{
    if (c == 0) return -1;
    // On magnitudes (they fit 63 bits), so that the half rounds away from 0.
    const std::int64_t p = std::int64_t{a} * b;
    const std::int64_t m = p < 0 ? -p : p;
    const std::int64_t d = c < 0 ? -std::int64_t{c} : std::int64_t{c};
    const std::int64_t q = ((m + d / 2) / d) * (((p < 0) != (c < 0)) ? -1 : 1);
    if (q > INT32_MAX || q < INT32_MIN) return -1;
    return static_cast<LONG>(q);
}

LONG MasterUnitToMm(LONG value, WORD wMasterUnit)
{
    return MulDiv(value, 254, LONG{Checked(wMasterUnit, u"MasterUnitToMm")} * 10);
}

LONG MasterUnitToMm10(LONG value, WORD wMasterUnit)
{
    return MulDiv(value, 254, Checked(wMasterUnit, u"MasterUnitToMm10"));
}

LONG MasterUnitToMm100(LONG value, WORD wMasterUnit)
{
    return MulDiv(value, 2540, Checked(wMasterUnit, u"MasterUnitToMm100"));
}

LONG Mm10ToMasterUnit(LONG value, WORD wMasterUnit)
{
    return MulDiv(value, Checked(wMasterUnit, u"Mm10ToMasterUnit"), 254);
}

}  // namespace kx
