#include "settings/devmodeconv.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "core/trace.h"
#include "settings/devmodeops.h"

namespace kx {

namespace {

constexpr WORD kLayoutMarker = 0x9999;
constexpr WORD kMinSkalierung = 50;
// The cutter interval (offset 2030) of a record whose layout had none there.
constexpr WORD kDefaultCutterInterval = 340;
// The 2.4.0 layout keeps the cutter interval as a 32-bit value at 256; in
// 2.4.1 that place holds wBelegFontH1 and wEtikettenLSEnable, read together
// as a value above this.
constexpr DWORD kMax240CutterInterval = 99;

// How a field moves between an old layout and the current one.
enum class Kind : BYTE {
    Bytes,  // `size` bytes, unchanged
    Text,   // a wide string of `size` characters (old) and `toSize` (current)
    Byte,   // one old byte, a current 16-bit word
    Long,   // an old 32-bit value, a current 16-bit word
};

// One moved field: old offset, current offset, size.
struct Move {
    WORD from;
    WORD to;
    WORD size;
    WORD toSize;
    Kind kind;
};

constexpr Move B(WORD from, WORD to, WORD size)
{
    return {from, to, size, size, Kind::Bytes};
}
constexpr Move T(WORD from, WORD to, WORD chars, WORD toChars)
{
    return {from, to, chars, toChars, Kind::Text};
}

// ---------------------------------------------------------------- the maps
//
// The 2.4.1 layout is the model; the other generations before 2.6 are
// derived from it (docs/devmode-layouts.md):
//   2.4.0 = 2.4.1, but the cutter interval is a 32-bit value at 256 (where
//           2.4.1 keeps wBelegFontH1 and wEtikettenLSEnable) and 250 is unused;
//   2.3.3 = 2.4.1 without a cutter interval and document features, its model
//           block 16 bytes later (master unit at 1912) and the record 16
//           bytes shorter;
//   2.4.2 = 2.4.1 with 40 bytes inserted before the model block (tear-off
//           offset and scan position; master unit at 1936) and the
//           print-head width at 1958, after the document features;
//   2.5.2 = 2.4.2 with the printable width at 1956 and the six text
//           switches as fields (142 to 153) instead of dwFlags bits;
//   2.6.x = the current layout's first 2216 bytes (2.6.0 without
//           wSkalierung, 2.6.2 with the cutter interval at 1976).

// Fields below the model block that every layout before 2.6 holds at the
// same old offsets (2.4.1 numbering).
constexpr Move kBodyOld[] = {
    B(12, 12, 34),          // dwFlags, paper size/length/width, orientation, label type,
                            // gap, material, wMaxMaterial, sMultiColNumber
    B(48, 48, 2),           // dwMultiGapWidth
    B(52, 52, 2),           // dwAusrichtung
    B(56, 56, 20),          // wKopieProSeite
    B(80, 80, 2),           // wSpecNumStyle
    B(84, 84, 26),          // aux switches, offsets, contrast, speeds (84 to 109)
    B(124, 124, 18),        // dwKommandoFontFlags to wCodepageSenden
    B(154, 154, 2),         // wAnzahlKopien
    B(156, 158, 2),         // wBitmapFontZoom
    B(158, 160, 2),         // wBitmapFontAbstand
    B(160, 110, 2),         // wMemCard
    B(164, 168, 2),         // wFarbband
    B(168, 172, 8),         // the two colour field values
    B(176, 180, 2),         // wColorContrast
    B(182, 186, 2),         // wHorizontalCorrGap
    B(184, 188, 4),         // dwRGBColorOwn1
    B(192, 196, 12),        // wColorSeam, wColorChannel, wBrightnessContrast,
                            // wEmpfindlichkeit, dwWinkel, wSplitPrnFile
    B(204, 208, 2),         // wGrafikFilter
    B(208, 212, 8),         // dwBrightnessAll, dwBrightnessCurve
    B(216, 220, 2),         // wDruckmodus
    B(218, 222, 2),         // wPhotoFilter
    B(240, 182, 2),         // wNoColorOptimization
    B(244, 46, 2),          // wCorrection
    B(248, 252, 2),         // wCutterMode
    B(254, 258, 2),         // wBelegOffset
    B(260, 264, 2),         // PWMwertLS
    T(264, 308, 32, 32),    // szPrintOrder
    T(328, 372, 61, 61),    // szTime
    T(450, 4082, 61, 101),  // szDate
    T(572, 616, 61, 61),    // szNumString
    T(694, 738, 61, 61),    // szExtNumString
    T(816, 3880, 61, 101),  // szUserString
    T(938, 860, 61, 101),   // szLinkString
    T(1060, 1104, 61, 61),  // szAux1String
    T(1182, 1226, 61, 61),  // szAux2String
    B(1304, 1348, 4),       // szIdentSign
    // Four font slots, to slots 0 to 3.
    B(1308, 1352, 8),    // wPrinterFont
    B(1316, 1368, 8),    // wZoomX
    B(1324, 1384, 8),    // wZoomY
    B(1332, 1400, 264),  // szWindowsFontName
    B(1596, 2216, 8),    // wFontID
    B(1604, 2232, 264),  // szInstalledName
    B(1868, 1928, 2),    // wAnzahlFonts
};
// 2.4.1 and later: the cutter interval byte, and wBelegFontH1 and
// wEtikettenLSEnable at 256.
constexpr Move kCutter241[] = {{250, 2012, 1, 2, Kind::Byte}, B(256, 260, 4)};
constexpr Move kCutter240[] = {{256, 2012, 4, 2, Kind::Long}};
constexpr Move kModel233[] = {B(1908, 1936, 4), B(1912, 1940, 2), B(1916, 1944, 12)};
constexpr Move kModel241[] = {B(1892, 1936, 4), B(1896, 1940, 2), B(1900, 1944, 12),
                              B(1912, 1956, 4)};
constexpr Move kModel242[] = {
    B(1892, 272, 4),    // TearOffOffset
    B(1898, 276, 2),    // wScanPosition
    B(1932, 1936, 4),   // dwHeadWidthByte
    B(1936, 1940, 2),   // wMasterUnit
    B(1940, 1944, 12),  // lMaxSizeX, lMaxSizeY, bQuality
    B(1952, 1956, 4),   // dwDocFeatures
    B(1958, 1962, 2),   // wPrintHeadWidth
};
// 2.5.2: the printable width (what tells it from 2.4.2) and the text
// switches as fields.
constexpr Move kOnly252[] = {B(1956, 1960, 2), B(142, 142, 12)};
// 2.6.x: the current layout up to 2216, without the marker word w9999, the
// legacy cutter interval at 1976 and the interval at 2030, which 2.6.0 did
// not have (2.6.2 keeps it at 1976).
constexpr Move kBody26[] = {B(12, 12, 38),     B(52, 52, 218),    B(272, 272, 8),
                            B(282, 282, 1694), B(1978, 1978, 52), B(2032, 2032, 184)};
constexpr Move kOnly262[] = {B(280, 280, 2), B(1976, 2030, 2)};

struct Layout {
    DevmodeGeneration g;
    const char* name;
    WORD size;
    WORD version;
    bool bFlagSwitches;  // the text switches are dwFlags bits
    std::span<const Move> parts[4];
};

constexpr Layout kLayouts[] = {
    {DevmodeGeneration::G233, "2.3.3", 1936, 0x3302, true, {kBodyOld, kModel233, {}}},
    {DevmodeGeneration::G240, "2.4.0", 1952, 0x4002, true, {kBodyOld, kCutter240, kModel241}},
    {DevmodeGeneration::G241, "2.4.1", 1952, 0x4102, true, {kBodyOld, kCutter241, kModel241}},
    {DevmodeGeneration::G242, "2.4.2", 2008, 0x4202, true, {kBodyOld, kCutter241, kModel242}},
    {DevmodeGeneration::G252,
     "2.5.2",
     2008,
     0x5202,
     false,
     {kBodyOld, kCutter241, kModel242, kOnly252}},
    {DevmodeGeneration::G260, "2.6.0", 2216, 0x6200, false, {kBody26, {}, {}}},
    {DevmodeGeneration::G262, "2.6.2", 2216, 0x6202, false, {kBody26, kOnly262, {}}},
};

const Layout* FindLayout(DevmodeGeneration g)
{
    for (const Layout& l : kLayouts)
        if (l.g == g) return &l;
    return nullptr;
}

// The dwFlags bits of the layouts that keep the text switches as bits, and
// the fields they became (each 1 when its bit was set).
struct FlagField {
    DWORD bit;
    WORD offset;
};
constexpr FlagField kFlagFields[] = {
    {0x10, offsetof(KX_DEVMODE, wTTFverwenden)}, {0x20, offsetof(KX_DEVMODE, wBMPverwenden)},
    {0x40, offsetof(KX_DEVMODE, wTTFInvers)},    {0x80, offsetof(KX_DEVMODE, wBMPInvers)},
    {0x100, offsetof(KX_DEVMODE, wTTFDesegm)},   {0x400000, offsetof(KX_DEVMODE, wCrystalActive)},
};
constexpr DWORD kOldLandscapeDisable = 0x1000000;
constexpr DWORD kOldObjectListBit = 0x200;

WORD Get16(const BYTE* p)
{
    WORD v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}
DWORD Get32(const BYTE* p)
{
    DWORD v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}
void Put16(BYTE* p, WORD v)
{
    std::memcpy(p, &v, sizeof(v));
}
void Put32(BYTE* p, DWORD v)
{
    std::memcpy(p, &v, sizeof(v));
}

// Copies a wide string of at most `chars` characters (terminator included)
// into a field of `toChars`; the text is cut to fit and always terminated.
void CopyText(const BYTE* from, WORD chars, BYTE* to, WORD toChars)
{
    std::memset(to, 0, toChars * sizeof(WCHAR));
    const std::size_t n = std::min(chars, toChars) - 1u;
    for (std::size_t i = 0; i < n; ++i) {
        if (Get16(from + 2 * i) == 0) break;
        std::memcpy(to + 2 * i, from + 2 * i, 2);
    }
}

// Moves one field from `src` to `dst`; `toCurrent` is the direction.
void Apply(const Move& m, const BYTE* src, BYTE* dst, bool toCurrent)
{
    const WORD from = toCurrent ? m.from : m.to;
    const WORD to = toCurrent ? m.to : m.from;
    switch (m.kind) {
        case Kind::Bytes:
            std::memcpy(dst + to, src + from, m.size);
            break;
        case Kind::Text:
            CopyText(src + from, toCurrent ? m.size : m.toSize, dst + to,
                     toCurrent ? m.toSize : m.size);
            break;
        case Kind::Byte:
            if (toCurrent)
                Put16(dst + to, src[from]);
            else
                dst[to] = static_cast<BYTE>(std::min<WORD>(Get16(src + from), 0xFF));
            break;
        case Kind::Long:
            if (toCurrent)
                Put16(dst + to, static_cast<WORD>(std::min<DWORD>(Get32(src + from), 0xFFFF)));
            else
                Put32(dst + to, Get16(src + from));
            break;
    }
}

template <class F>
void ForEachMove(const Layout& l, F f)
{
    for (std::span<const Move> part : l.parts)
        for (const Move& m : part) f(m);
}

// Does the devmode password (not the alternative marker) stand in szPassword?
bool HasDevmodePassword(const KX_DEVMODE& dm)
{
    WCHAR pw[KX_PASSWORD_CHARS];
    std::memcpy(pw, reinterpret_cast<const BYTE*>(&dm) + offsetof(KX_DEVMODE, szPassword),
                sizeof(pw));
    for (std::size_t start = 0; start + DEVMODE_PASSWORT_CHARS <= KX_PASSWORD_CHARS; ++start)
        if (std::equal(DEVMODE_PASSWORT, DEVMODE_PASSWORT + DEVMODE_PASSWORT_CHARS, pw + start))
            return true;
    return false;
}

void ConvertFrom(const Layout& l, const BYTE* pOld, KX_DEVMODE* pNew)
{
    BYTE* out = reinterpret_cast<BYTE*>(pNew);
    // Everything the old layout lacks gets its default: clear, then the
    // defaults of a new record (its header included).
    std::memset(pNew, 0, sizeof(KX_DEVMODE));
    SetDevmodeDefaults(pNew);
    pNew->cutter_wInterval = kDefaultCutterInterval;
    ForEachMove(l, [&](const Move& m) { Apply(m, pOld, out, true); });

    KX_FIXEDDATA& fd = pNew->FixedData;
    fd.wDurchlassbreite = IsValidMasterUnit(fd.wMasterUnit)
                              ? static_cast<WORD>(fd.lMaxSizeX * 254 / fd.wMasterUnit)
                              : 0;
    pNew->wVersion = l.version;
    pNew->wAltGroesse = l.size;
    SetValidMarker(pNew);
    // The converted body is the current layout, and it is marked so: a later
    // read of the saved record (which keeps the generation's wVersion below
    // 0x6302, so it comes here again) then finds it current instead of
    // converting it a second time as the old layout that its marker, master
    // unit and scaling would otherwise still suggest (a converted 2.6.0
    // record would pass for 2.6.2 and lose its font identifiers).
    pNew->w9999 = kLayoutMarker;

    if (l.bFlagSwitches) {
        DWORD flags = pNew->dwFlags;
        for (const FlagField& f : kFlagFields) {
            Put16(out + f.offset, (flags & f.bit) ? 1 : 0);
            flags &= ~f.bit;
        }
        if (flags & kOldLandscapeDisable)
            flags = (flags & ~kOldLandscapeDisable) | PDMFLAG_LANDSCAPE_DISABLE;
        flags &= ~kOldObjectListBit;
        pNew->dwFlags = flags;
    }
}

void Convert(DevmodeGeneration g, const BYTE* pOld, KX_DEVMODE* pNew)
{
    ConvertFrom(*FindLayout(g), pOld, pNew);
}

}  // namespace

bool IsValidMasterUnit(WORD wMasterUnit)
{
    return wMasterUnit == 203 || wMasterUnit == 300 || wMasterUnit == 305 || wMasterUnit == 600;
}

const char* DevmodeGenerationName(DevmodeGeneration g)
{
    if (g == DevmodeGeneration::Current) return "current";
    const Layout* l = FindLayout(g);
    return l ? l->name : "none";
}

WORD DevmodeGenerationSize(DevmodeGeneration g)
{
    if (g == DevmodeGeneration::Current) return static_cast<WORD>(KX_DEVMODE_SIZE);
    const Layout* l = FindLayout(g);
    return l ? l->size : 0;
}

WORD DevmodeGenerationVersion(DevmodeGeneration g)
{
    const Layout* l = FindLayout(g);
    return l ? l->version : 0;
}

DevmodeGeneration DevmodeGenerationFromName(std::string_view name)
{
    if (name == "current") return DevmodeGeneration::Current;
    for (const Layout& l : kLayouts)
        if (name == l.name) return l.g;
    return DevmodeGeneration::None;
}

DevmodeGeneration RecogniseDevmodeGeneration(const KX_DEVMODE& dm)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&dm);
    const bool mu1940 = IsValidMasterUnit(dm.FixedData.wMasterUnit);
    if (mu1940 && dm.wSkalierung >= kMinSkalierung && dm.w9999 >= kLayoutMarker)
        return dm.w9999 == kLayoutMarker ? DevmodeGeneration::Current : DevmodeGeneration::None;
    if (HasDevmodePassword(dm)) {
        if (!mu1940) return DevmodeGeneration::None;
        return dm.wSkalierung < kMinSkalierung ? DevmodeGeneration::G260 : DevmodeGeneration::G262;
    }
    if (IsValidMasterUnit(Get16(p + 1912))) return DevmodeGeneration::G233;
    const bool is24 = IsValidMasterUnit(Get16(p + 1896));
    const bool is25 = IsValidMasterUnit(Get16(p + 1936));
    const bool printableWidth = Get16(p + 1956) != 0;
    if (is24 && !(is25 && printableWidth))
        return Get32(p + 256) <= kMax240CutterInterval ? DevmodeGeneration::G240
                                                       : DevmodeGeneration::G241;
    if (is25) return printableWidth ? DevmodeGeneration::G252 : DevmodeGeneration::G242;
    return DevmodeGeneration::None;
}

void ConvertDevmode_233(const BYTE* pOld, KX_DEVMODE* pNew)
{
    Convert(DevmodeGeneration::G233, pOld, pNew);
}
void ConvertDevmode_240(const BYTE* pOld, KX_DEVMODE* pNew)
{
    Convert(DevmodeGeneration::G240, pOld, pNew);
}
void ConvertDevmode_241(const BYTE* pOld, KX_DEVMODE* pNew)
{
    Convert(DevmodeGeneration::G241, pOld, pNew);
}
void ConvertDevmode_242(const BYTE* pOld, KX_DEVMODE* pNew)
{
    Convert(DevmodeGeneration::G242, pOld, pNew);
}
void ConvertDevmode_252(const BYTE* pOld, KX_DEVMODE* pNew)
{
    Convert(DevmodeGeneration::G252, pOld, pNew);
}
void ConvertDevmode_260(const BYTE* pOld, KX_DEVMODE* pNew)
{
    Convert(DevmodeGeneration::G260, pOld, pNew);
}
void ConvertDevmode_262(const BYTE* pOld, KX_DEVMODE* pNew)
{
    Convert(DevmodeGeneration::G262, pOld, pNew);
}

void Devmode_Konverter(KX_DEVMODE* pKX_Devmode)
{
    if (!pKX_Devmode) return;
    KX_DEVMODE& dm = *pKX_Devmode;
    const DevmodeGeneration g = RecogniseDevmodeGeneration(dm);
    const Layout* l = FindLayout(g);
    if (l) {
        // The old record of its own size; the rest of the scratch is zero, as
        // the record beyond the old size is.
        KX_DEVMODE scratch{};
        std::memcpy(&scratch, &dm, l->size);
        using Converter = void (*)(const BYTE*, KX_DEVMODE*);
        static constexpr Converter kConverters[] = {
            ConvertDevmode_233, ConvertDevmode_240, ConvertDevmode_241, ConvertDevmode_242,
            ConvertDevmode_252, ConvertDevmode_260, ConvertDevmode_262};
        kConverters[l - kLayouts](reinterpret_cast<const BYTE*>(&scratch), &dm);
        Trace(u"UNI(devmodeUNI):  Devmode_Konverter() Layout %s konvertiert - wVersion: 0x%x \r\n",
              l->name, dm.wVersion);
    } else if (g == DevmodeGeneration::Current) {
        Trace(u"UNI(devmodeUNI):  Devmode_Konverter() aktuelles Layout - wVersion: 0x%x \r\n",
              dm.wVersion);
    } else {
        Trace(
            u"ERROR UNI(devmodeUNI):  Devmode_Konverter() keine Generation gefunden - "
            u"wVersion: 0x%x, wMasterUnit: %u, wSkalierung: %u, w9999: 0x%x \r\n",
            dm.wVersion, dm.FixedData.wMasterUnit, dm.wSkalierung, dm.w9999);
    }
    if (dm.cutter_dwMode == 7)
        dm.cutter_dwMode = 6;
    else if (dm.cutter_dwMode == 8)
        dm.cutter_dwMode = 0;
    if (dm.dispenser_dwMode == 7) dm.dispenser_dwMode = 0;
}

std::vector<BYTE> WriteDevmodeLayout(const KX_DEVMODE& current, DevmodeGeneration g)
{
    const Layout* l = FindLayout(g);
    if (!l) return {};
    // Built in a whole record's room and cut to the old size at the end.
    std::vector<BYTE> old(KX_DEVMODE_SIZE, 0);
    const BYTE* src = reinterpret_cast<const BYTE*>(&current);
    std::copy(src + 4, src + 12, old.begin() + 4);  // signature and version
    Put32(old.data(), l->size);
    ForEachMove(*l, [&](const Move& m) { Apply(m, src, old.data(), false); });
    Put16(old.data() + offsetof(KX_DEVMODE, wVersion), l->version);
    // The generations before 2.6 carry the alternative marker: the devmode
    // password at 112 is what tells a 2.6 record from them.
    const bool b26 = g == DevmodeGeneration::G260 || g == DevmodeGeneration::G262;
    std::memcpy(old.data() + offsetof(KX_DEVMODE, szPassword),
                b26 ? DEVMODE_PASSWORT : DEVMODE_PASSWORT_ALT, sizeof(DEVMODE_PASSWORT));
    if (l->bFlagSwitches) {
        DWORD flags = current.dwFlags & ~(kOldObjectListBit | PDMFLAG_LANDSCAPE_DISABLE);
        for (const FlagField& f : kFlagFields) {
            flags &= ~f.bit;
            if (Get16(src + f.offset)) flags |= f.bit;
        }
        if (current.dwFlags & PDMFLAG_LANDSCAPE_DISABLE) flags |= kOldLandscapeDisable;
        Put32(old.data() + offsetof(KX_DEVMODE, dwFlags), flags);
    }
    old.resize(l->size);
    return old;
}

}  // namespace kx
