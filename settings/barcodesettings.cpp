#include "settings/barcodesettings.h"

#include <algorithm>
#include <iterator>

namespace kx::bc {

WORD Get16(const BYTE* p, std::size_t size, std::size_t at)
{
    if (!p || at + 2 > size) return 0;
    return static_cast<WORD>(p[at] | (p[at + 1] << 8));
}

DWORD Get32(const BYTE* p, std::size_t size, std::size_t at)
{
    if (!p || at + 4 > size) return 0;
    return static_cast<DWORD>(p[at]) | (static_cast<DWORD>(p[at + 1]) << 8) |
           (static_cast<DWORD>(p[at + 2]) << 16) | (static_cast<DWORD>(p[at + 3]) << 24);
}

void Put16(BYTE* p, std::size_t size, std::size_t at, WORD v)
{
    if (!p || at + 2 > size) return;
    p[at] = static_cast<BYTE>(v);
    p[at + 1] = static_cast<BYTE>(v >> 8);
}

void Put32(BYTE* p, std::size_t size, std::size_t at, DWORD v)
{
    if (!p || at + 4 > size) return;
    for (int i = 0; i < 4; ++i) p[at + i] = static_cast<BYTE>(v >> (8 * i));
}

int Record1DOffset(unsigned fontId)
{
    const auto* r = std::find(std::begin(kRatioRecordIds), std::end(kRatioRecordIds), fontId);
    if (r != std::end(kRatioRecordIds))
        return static_cast<int>((r - std::begin(kRatioRecordIds)) * kRatioRecordSize);
    const auto* q = std::find(std::begin(kPlainRecordIds), std::end(kPlainRecordIds), fontId);
    if (q != std::end(kPlainRecordIds))
        return static_cast<int>(std::size(kRatioRecordIds) * kRatioRecordSize +
                                (q - std::begin(kPlainRecordIds)) * kPlainRecordSize);
    return -1;
}

Settings1D Read1D(const BYTE* p1D, unsigned fontId)
{
    Settings1D s;
    const int at = Record1DOffset(fontId);
    if (!p1D || at < 0) return s;
    constexpr std::size_t n = reg::kBarCodes1DSize;
    const BYTE* r = p1D + at;
    if (Get32(r, n - at, k1DId) == 0) return s;  // never written: the defaults
    s.dwId = Get32(r, n - at, k1DId);
    s.dwMode = Get32(r, n - at, k1DMode);
    s.wDrehung = Get16(r, n - at, k1DDrehung);
    s.wHeight = Get16(r, n - at, k1DHeight);
    s.bWide = r[k1DWide];
    s.bNarrow = r[k1DNarrow];
    s.bModule = r[k1DModule];
    s.bCheckDigit = r[k1DCheckDigit];
    s.bHumanReadable = r[k1DHumanReadable];
    s.bRatio = r[k1DRatio];
    s.bZoom = r[k1DZoom];
    s.bHeightMult = r[k1DHeightMult];
    s.bSupported = r[k1DSupported];
    return s;
}

bool Write1D(BYTE* p1D, unsigned fontId, const Settings1D& s)
{
    const int at = Record1DOffset(fontId);
    if (!p1D || at < 0) return false;
    constexpr std::size_t n = reg::kBarCodes1DSize;
    BYTE* r = p1D + at;
    Put32(r, n - at, k1DId, fontId);
    Put32(r, n - at, k1DMode, s.dwMode);
    Put16(r, n - at, k1DDrehung, s.wDrehung);
    Put16(r, n - at, k1DHeight, s.wHeight);
    r[k1DWide] = s.bWide;
    r[k1DNarrow] = s.bNarrow;
    r[k1DModule] = s.bModule;
    r[k1DCheckDigit] = s.bCheckDigit;
    r[k1DHumanReadable] = s.bHumanReadable;
    r[k1DRatio] = s.bRatio;
    r[k1DZoom] = s.bZoom;
    r[k1DHeightMult] = s.bHeightMult;
    r[k1DSupported] = s.bSupported;
    return true;
}

std::size_t Switch2DOf(unsigned id)
{
    switch (id) {
        case 50:
            return k2DPdf417;
        case 51:
            return k2DMaxi;
        case 52:
            return k2DDataMatrix;
        case 53:
            return k2DCodablock;
        case 54:
            return k2DGs1DataBar;
        case 55:
            return k2DItf55;
        case 56:
            return k2DItf56;
        case 57:
            return k2DQr;
        case 58:
            return k2DItf58;
        case 59:
            return k2DGs1DataMatrix;
        case 61:
            return k2DAztecSwitch;
        default:
            return 0;
    }
}

bool Written2D(const BYTE* p2D)
{
    return p2D && std::any_of(p2D, p2D + reg::kBarCodes2DSize, [](BYTE b) { return b != 0; });
}

bool Automatic2D(const BYTE* p2D, std::size_t switchAt)
{
    if (!Written2D(p2D)) return true;
    constexpr std::size_t n = reg::kBarCodes2DSize;
    return switchAt == k2DAztecSwitch ? Get16(p2D, n, switchAt) != 0 : Get32(p2D, n, switchAt) != 0;
}

bool Supported2D(const BYTE* p2D, unsigned id)
{
    if (id < 50 || id > 61) return false;
    return (Get32(p2D, reg::kBarCodes2DSize, k2DSupportMask) >> (id - 50)) & 1u;
}

}  // namespace kx::bc
