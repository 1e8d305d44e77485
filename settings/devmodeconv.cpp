#include "settings/devmodeconv.h"

#include "core/trace.h"

namespace kx {

namespace {

constexpr WORD kLayoutMarker = 0x9999;
constexpr WORD kMinSkalierung = 50;

}  // namespace

bool IsValidMasterUnit(WORD wMasterUnit)
{
    return wMasterUnit == 203 || wMasterUnit == 300 || wMasterUnit == 305 || wMasterUnit == 600;
}

BOOL Devmode_Konverter(KX_DEVMODE* pKX_Devmode)
{
    if (!pKX_Devmode) return FALSE;
    KX_DEVMODE& dm = *pKX_Devmode;
    const WORD mu = dm.FixedData.wMasterUnit;
    if (!IsValidMasterUnit(mu) || dm.wSkalierung < kMinSkalierung || dm.w9999 != kLayoutMarker) {
        Trace(
            u"ERROR UNI(devmodeUNI):  Devmode_Konverter() Layout nicht unterstuetzt - "
            u"wVersion: 0x%x, wMasterUnit: %u, wSkalierung: %u, w9999: 0x%x \r\n",
            dm.wVersion, mu, dm.wSkalierung, dm.w9999);
        return FALSE;
    }
    if (dm.cutter_dwMode == 7)
        dm.cutter_dwMode = 6;
    else if (dm.cutter_dwMode == 8)
        dm.cutter_dwMode = 0;
    if (dm.dispenser_dwMode == 7) dm.dispenser_dwMode = 0;
    Trace(u"UNI(devmodeUNI):  Devmode_Konverter() aktuelles Layout - wVersion: 0x%x \r\n",
          dm.wVersion);
    return TRUE;
}

}  // namespace kx
