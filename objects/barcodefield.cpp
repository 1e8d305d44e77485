#include "objects/barcodefield.h"

#include <algorithm>
#include <iterator>

#include "core/format.h"
#include "core/trace.h"
#include "objects/barcodefont.h"
#include "settings/barcodesettings.h"

namespace kx {

namespace {

constexpr char kGroupSeparator = 29;  // FNC1 of the GS1 codes

// The longest data the auto-correction leaves a code.
struct MaxLength {
    WORD wType;
    std::size_t cch;
};
constexpr MaxLength kMaxLengths[] = {{32, 8},  {33, 13}, {34, 12}, {35, 8}, {38, 18},
                                     {41, 7},  {43, 14}, {44, 12}, {49, 9}, {55, 14},
                                     {56, 14}, {58, 14}, {60, 8}};

// The check digit mode as the printer numbers it. With the inverse flag the
// printer's modes with and without the digit printed trade places.
DWORD CheckDigitMode(WORD wType, DWORD dwMode, bool bInverse)
{
    static constexpr WORD kCode39And25[] = {30, 301, 302, 46, 461, 462, 31, 311, 312};
    static constexpr DWORD kMap[3][4] = {{0, 1, 4, 5}, {0, 4, 2, 3}, {1, 5, 2, 3}};
    const bool bFamily = std::find(std::begin(kCode39And25), std::end(kCode39And25), wType) !=
                         std::end(kCode39And25);
    const int column = bFamily ? 0 : wType == 36 ? 1 : 2;
    DWORD r = dwMode < 4 ? kMap[column][dwMode] : dwMode;
    if (bInverse) {
        if (r == 0 || r == 4)
            r = 4 - r;
        else if (r == 1 || r == 5)
            r = 6 - r;
    }
    return r;
}

constexpr std::size_t k2DSize = reg::kBarCodes2DSize;
int Get16(const BYTE* p2D, std::size_t at)
{
    return bc::Get16(p2D, k2DSize, at);
}
// 32-bit settings are signed (the QR mask -1 is "automatic").
int Get32(const BYTE* p2D, std::size_t at)
{
    return static_cast<int>(bc::Get32(p2D, k2DSize, at));
}

std::size_t ItfBase(WORD wType)
{
    return wType == 55 ? bc::k2DItf55 : wType == 58 ? bc::k2DItf58 : bc::k2DItf56;
}

// Quarter turns of a field plus a code's rotation setting, kept within one
// turn as every rotation the printer takes.
int Turned(DWORD dwRotation, int add)
{
    return static_cast<int>((dwRotation + static_cast<DWORD>(add)) % 4);
}

std::string OneDimensional(const FieldDescription& desc, const BarcodeSetInputs& in, DWORD foot)
{
    // The code's own rotation setting is already in desc.dwRotation: the
    // description adds it once, in manual mode, and it is not added again.
    DWORD height = static_cast<DWORD>(desc.wHeight * in.dScaleY);
    if (desc.wKlarschrift == 1 && height < 400) {
        Trace(
            u"UNI(TextOut):  CreatePrnObject() Begrenzung auf min. Höhe 400 (mit "
            u"Klarschriftzeile) \r\n");
        height = 400;
    }
    std::string r =
        FormatString("%u;%u;%u;%u;%u;%u",
                     {in.dwRotation % 4, height, desc.wThick, desc.wThin,
                      CheckDigitMode(in.wType, desc.wPruefziffer, desc.dwFlags & kFieldInverse),
                      desc.wKlarschrift});
    if (desc.wRatio >= 1 && desc.wRatio <= 6)
        r += FormatString(";%u", {desc.wRatio});
    else if (foot > 0 && foot != 7)
        r += FormatString(";%u", {foot});
    return r;
}

std::string DataMatrix(const FieldDescription& desc, const BarcodeSetInputs& in, bool bAuto,
                       int rot2, DWORD dwFusspunkt)
{
    if (bAuto)
        return FormatString("%d;%d;0;0;9;6;7", {static_cast<int>(in.dwRotation), 2 * desc.wHeight});
    const std::size_t base = in.wType == 52 ? bc::k2DDataMatrix : bc::k2DGs1DataMatrix;
    int a = 0;
    int b = 0;
    DataMatrixSize(in.wType, Get16(in.p2D, base + bc::kDmSize), a, b);
    static constexpr int kOption1[] = {0, 2, 3, 4, 8};
    static constexpr int kOption2[] = {1, 2, 3, 4, 5, 6, 8, 9};
    const int o1 = Get16(in.p2D, base + bc::kDmOption1);
    const int o2 = Get16(in.p2D, base + bc::kDmOption2);
    return FormatString("%d;%d;%d;%d;%d;%d;%d",
                        {rot2, Get16(in.p2D, base + bc::kDmModule), a, b, o1 < 5 ? kOption1[o1] : 9,
                         o2 < 8 ? kOption2[o2] : 6, dwFusspunkt});
}

}  // namespace

// The two size values of a DataMatrix size setting (0: the printer chooses).
void DataMatrixSize(WORD wType, int s, int& a, int& b)
{
    static constexpr int kSquare52[] = {10, 12, 14, 16, 18, 20, 22, 24, 26,  32,  36,  40,
                                        44, 48, 52, 64, 72, 80, 88, 96, 104, 120, 132, 144};
    static constexpr int kSquare59[] = {10, 12, 14, 16, 18, 20, 22, 24,  26,  32,  36, 40,
                                        44, 48, 52, 64, 72, 80, 96, 104, 120, 132, 144};
    // Rectangles, rows first as the printer reads them for type 52; the GS1
    // type takes them the other way round.
    static constexpr int kRect[6][2] = {{18, 8}, {32, 8}, {24, 12}, {36, 12}, {36, 16}, {48, 16}};
    const bool b52 = wType == 52;
    const int nSquare =
        b52 ? static_cast<int>(std::size(kSquare52)) : static_cast<int>(std::size(kSquare59));
    a = b = 0;
    if (s >= 1 && s <= nSquare) {
        a = b = b52 ? kSquare52[s - 1] : kSquare59[s - 1];
    } else if (s > nSquare && s <= nSquare + 6) {
        a = kRect[s - nSquare - 1][b52 ? 0 : 1];
        b = kRect[s - nSquare - 1][b52 ? 1 : 0];
    }
    // A setting beyond the table is left to the printer, as setting 0.
}

void AutoCorrectBarcodeText(std::string& t, WORD wType)
{
    if (wType == 30 || wType == 40) {
        for (char& c : t)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return;
    }
    for (const MaxLength& m : kMaxLengths)
        if (m.wType == wType && t.size() > m.cch) t.resize(m.cch);
    if (wType != 35) return;
    // UPC-E starts with its number system 0 or 1: a full-length text with
    // another first digit has it replaced (prepending would make it too
    // long), a text without the number system gets it in front.
    if ((t.size() == 7 || t.size() == 8) && t[0] != '0' && t[0] != '1')
        t[0] = '0';
    else if (t.size() == 6)
        t.insert(t.begin(), '0');
}

bool AutomaticSet(WORD wType, const BYTE* p2D)
{
    const std::size_t at = bc::Switch2DOf(wType);
    return at == 0 || !p2D || bc::Automatic2D(p2D, at);
}

BarcodeData PrepareBarcodeText(std::string_view text, WORD wType, DWORD dwDevmodeFlags)
{
    BarcodeData r{BarcodeSonderzeichenErsetzen(text), false};
    std::string& t = r.text;
    // A serial-number function with a name part keeps the function alone.
    if (t.find("=SC(") != std::string::npos)
        if (const auto at = t.find(")[="); at != std::string::npos) t.resize(at + 1);
    if (dwDevmodeFlags & PDMFLAG_BARCODE_FNC1_ENDE) t += kGroupSeparator;
    if (!t.empty() && (t.back() == ' ' || t.back() == '\n' || t.back() == '\r')) t.pop_back();
    if (t.find("<#>") != std::string::npos) {
        t.erase(0, t.find('>') + 1);
        r.bScan = true;
    }
    if (wType == 37 || wType == 39)
        for (auto at = t.find("~1"); at != std::string::npos; at = t.find("~1", at + 1))
            t.replace(at, 2, 1, kGroupSeparator);
    if (dwDevmodeFlags & PDMFLAG_BARCODE_AUTOCORR) AutoCorrectBarcodeText(t, wType);
    return r;
}

std::string BarcodeParameters(const FieldDescription& desc, const BarcodeSetInputs& in,
                              DWORD& dwFusspunkt)
{
    // A barcode field takes the pending foot point whether or not its set
    // has a place for it: a one-shot value applies to exactly one field,
    // and a 2-D set has no room for an eighth value.
    const DWORD foot = dwFusspunkt;
    dwFusspunkt = 0;
    if (bc::Switch2DOf(in.wType) == 0) return OneDimensional(desc, in, foot);
    const bool bAuto = AutomaticSet(in.wType, in.p2D);
    const BYTE* p = in.p2D;
    const int rot = static_cast<int>(in.dwRotation % 4);
    const int h = desc.wHeight;
    // In manual mode DataMatrix and Aztec take twice the field rotation.
    const int rot2 = static_cast<int>((2 * in.dwRotation) % 4);
    switch (in.wType) {
        case 50: {
            if (!bAuto)
                return FormatString(
                    "%d;%d;%d;%d;%d;%d;%d;%d;%d",
                    {Turned(in.dwRotation, Get16(p, bc::kPdfRotation)), Get16(p, bc::kPdfModule),
                     Get16(p, bc::kPdfRowHeight), Get16(p, bc::kPdfColumns), Get16(p, bc::kPdfRows),
                     Get16(p, bc::kPdfSecurity), Get16(p, bc::kPdfCodeWords),
                     Get16(p, bc::kPdfTruncated), Get16(p, bc::kPdfMaxHeight)});
            // Security level from the data code words, about one per two
            // characters; code words: the text plus the 2^(level+1) error
            // correction words of that level. Module width wHeight, row
            // height 3 modules, columns and rows left to the printer, not
            // truncated, no maximum height.
            const std::size_t words = in.cchText / 2;
            const int level = words <= 40 ? 2 : words <= 160 ? 3 : words <= 320 ? 4 : 5;
            const int codeWords = static_cast<int>(in.cchText) + (1 << (level + 1));
            return FormatString("%d;%d;3;0;0;%d;%d;0;0", {rot, h, level, codeWords});
        }
        case 51:
            if (bAuto) return FormatString("%d;0;1;1;4;0;7;", {rot});
            return FormatString("%d;0;%d;%d;%d;0;%d;",
                                {Turned(in.dwRotation, Get16(p, bc::kMaxiRotation)),
                                 Get16(p, bc::kMaxiSymbolNumber), Get16(p, bc::kMaxiSymbols),
                                 Get16(p, bc::kMaxiMode) + 2, Get16(p, bc::kMaxiLast)});
        case 52:
        case 59:
            return DataMatrix(desc, in, bAuto, rot2, foot);
        case 53:
        case 54: {
            const std::size_t base = in.wType == 53 ? bc::k2DCodablock : bc::k2DGs1DataBar;
            if (bAuto)
                return in.wType == 53 ? FormatString("%d;%d;0;0;1;4;7", {rot, 100 * h})
                                      : FormatString("%d;4;3;1;1;0;7;", {rot});
            std::string r =
                FormatString("%d", {Turned(in.dwRotation, Get16(p, base + bc::kBlockRotation))});
            for (std::size_t i = 0; i < 6; ++i)
                r += FormatString(";%d", {Get16(p, base + bc::kBlockValues + 2 * i)});
            return in.wType == 54 ? r + ";" : r;
        }
        case 55:
        case 56:
        case 58: {
            if (bAuto)
                return FormatString("%d;%d;%d;%d;1;1;7", {rot, 9 * h, desc.wThick, desc.wThin});
            const std::size_t base = ItfBase(in.wType);
            const int narrow = Get16(p, base + bc::kItfNarrow);
            // The wide bar keeps the type's ratio: 2:1, 3:1, and 5:2
            // (truncated) for type 55.
            const int wide = in.wType == 56   ? 2 * narrow
                             : in.wType == 58 ? 3 * narrow
                                              : narrow * 5 / 2;
            // The check digit setting is numbered for the printer as for
            // the interleaved 2 of 5 codes (no inverse swap: the bearer
            // record codes have no inverse form).
            const DWORD check = CheckDigitMode(31, Get16(p, base + bc::kItfCheckDigit), false);
            return FormatString(
                "%d;%d;%d;%d;%u;%d;%d",
                {Turned(in.dwRotation, Get16(p, base + bc::kItfRotation)),
                 Get16(p, base + bc::kItfHeight), wide, narrow, check,
                 Get16(p, base + bc::kItfHumanReadable), Get16(p, base + bc::kItfLast)});
        }
        case 57: {
            if (bAuto) return FormatString("%d;2;%c;-1;%d;%c;7", {rot, 'B', h + 5, 'H'});
            static constexpr char kModes[] = {'N', 'A', 'B', 'K'};
            static constexpr char kLevels[] = {'L', 'M', 'Q'};
            const int mode = Get16(p, bc::kQrMode);
            const int level = Get16(p, bc::kQrErrorCorr);
            // A mode setting beyond the four is taken as bytes, the
            // automatic mode.
            return FormatString(
                "%d;%d;%c;%d;%d;%c;%d",
                {Turned(in.dwRotation, Get16(p, bc::kQrRotation)), Get16(p, bc::kQrModule),
                 mode < 4 ? kModes[mode] : 'B', Get16(p, bc::kQrVersion), Get32(p, bc::kQrMask),
                 level < 3 ? kLevels[level] : 'H', Get16(p, bc::kQrLast)});
        }
        case 61:
            if (bAuto) return FormatString("%d;%d;0;0;0;0;7", {rot, 2 * h});
            return FormatString("%d;%d;%d;%d;%d;0;%u",
                                {rot2, Get16(p, bc::kAztecModule), Get16(p, bc::kAztecFormat),
                                 Get32(p, bc::kAztecErrorCorr), Get16(p, bc::kAztecMenu), foot});
        default:
            return {};
    }
}

std::string BearerValues(WORD wType, WORD wHeight, const BYTE* p2D)
{
    if (wType != 55 && wType != 56 && wType != 58) return {};
    const std::size_t base = ItfBase(wType);
    if (p2D && !bc::Automatic2D(p2D, base))
        return FormatString("BT=%d;BW=%d;QZ=%d",
                            {Get16(p2D, base + bc::kItfBT), Get16(p2D, base + bc::kItfBW),
                             Get16(p2D, base + bc::kItfQZ)});
    return FormatString("BT=2;BW=%d;QZ=%d", {static_cast<int>(0.4 * wHeight), 4 * wHeight});
}

}  // namespace kx
