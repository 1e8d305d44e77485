// Barcode fields drawn with libzint: zint encodes the data into modules and
// this file lays the modules out at the field's sizes in dots (narrow and
// wide bars, module size, height, bearer bars, human-readable line), so that
// the bars are as wide as the field record says, not as zint would scale
// them. MaxiCode's hexagons are taken from zint's own raster.
//
// The symbol's anchor is its top-left corner (quiet zones and bearer bars
// included), the human-readable line goes below the bars within the field's
// height. Top-left is where the golden jobs' layouts put their codes: a code
// placed below a text line would otherwise cover it.
#include <zint.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "viewer/fielddesc.h"

namespace kxview {
namespace {

// How the modules of a symbology become dots.
enum class Layout {
    TwoWidths,  // narrow and wide bars and spaces: the record's narrow and wide widths
    Modules,    // bars of whole modules, one module as wide as the record says
    Matrix,     // 2-D: square modules (PDF417 and Codablock: rows of their own height)
    Maxi,       // MaxiCode: zint's raster of hexagons, scaled to its fixed size
};

struct Symbology {
    int id;  // the barcode id of the field record
    int zint;
    Layout layout;
    bool gs1;  // data is a GS1 element string (FNC1 as byte 29)
};

// Barcode id -> zint symbology; docs/kxview-fields.md has the same table.
// Code 128 A (47) is drawn as Code 128 with zint's own choice of code sets:
// zint offers no forced set A.
constexpr Symbology kSymbologies[] = {
    {30, BARCODE_CODE39, Layout::TwoWidths, false},
    {31, BARCODE_C25INTER, Layout::TwoWidths, false},
    {32, BARCODE_EANX, Layout::Modules, false},
    {33, BARCODE_EANX, Layout::Modules, false},
    {34, BARCODE_UPCA, Layout::Modules, false},
    {35, BARCODE_UPCE, Layout::Modules, false},
    {36, BARCODE_CODABAR, Layout::TwoWidths, false},
    {37, BARCODE_CODE128, Layout::Modules, false},
    {38, BARCODE_EANX, Layout::Modules, false},
    {39, BARCODE_GS1_128, Layout::Modules, true},
    {40, BARCODE_CODE93, Layout::Modules, false},
    {41, BARCODE_PZN, Layout::TwoWidths, false},
    {43, BARCODE_DPLEIT, Layout::TwoWidths, false},
    {44, BARCODE_DPIDENT, Layout::TwoWidths, false},
    {46, BARCODE_EXCODE39, Layout::TwoWidths, false},
    {47, BARCODE_CODE128, Layout::Modules, false},
    {48, BARCODE_CODE128B, Layout::Modules, false},
    {49, BARCODE_PHARMA, Layout::Modules, false},
    {50, BARCODE_PDF417, Layout::Matrix, false},
    {51, BARCODE_MAXICODE, Layout::Maxi, false},
    {52, BARCODE_DATAMATRIX, Layout::Matrix, false},
    {53, BARCODE_CODABLOCKF, Layout::Matrix, false},
    {54, BARCODE_DBAR_OMN, Layout::Modules, false},
    {55, BARCODE_ITF14, Layout::TwoWidths, false},
    {56, BARCODE_ITF14, Layout::TwoWidths, false},
    {57, BARCODE_QRCODE, Layout::Matrix, false},
    {58, BARCODE_ITF14, Layout::TwoWidths, false},
    {59, BARCODE_DATAMATRIX, Layout::Matrix, true},
    {60, BARCODE_PZN, Layout::TwoWidths, false},
    {61, BARCODE_AZTEC, Layout::Matrix, false},
    {62, BARCODE_USPS_IMAIL, Layout::Modules, false},
    {63, BARCODE_POSTNET, Layout::Modules, false},
};

constexpr int kMaxModule = 40;  // dots; larger module sizes are clamped

long Value(const FieldDescription& f, std::size_t i, long dflt)
{
    if (i >= f.values.size() || f.values[i].empty()) return dflt;
    char* end = nullptr;
    const long v = std::strtol(f.values[i].c_str(), &end, 10);
    return end && *end == '\0' && v > -100000 && v < 100000 ? v : dflt;
}

int Module(long v, int dflt)
{
    return v >= 1 ? int(std::min<long>(v, kMaxModule)) : dflt;
}

// GS1 element string (AIs and data, byte 29 between variable-length fields)
// in zint's bracket notation. Fixed-length AIs take their length or up to the
// next separator; the AI lengths are those of the common application
// identifiers.
std::string Gs1Brackets(const std::string& data)
{
    if (!data.empty() && data.front() == '(') return data;  // already "(01)..." (parentheses)
    auto digits = [&](std::size_t at, std::size_t n) {
        return at + n <= data.size() &&
               std::all_of(data.begin() + long(at), data.begin() + long(at + n),
                           [](char c) { return c >= '0' && c <= '9'; });
    };
    std::string out;
    std::size_t i = 0;
    while (i < data.size()) {
        if (data[i] == 29) {
            ++i;
            continue;
        }
        if (!digits(i, 2)) return "";
        const int two = (data[i] - '0') * 10 + (data[i + 1] - '0');
        std::size_t aiLen = 2, fixed = 0;
        if (two == 0)
            fixed = 18;
        else if (two >= 1 && two <= 3)
            fixed = 14;
        else if (two >= 11 && two <= 17)
            fixed = 6;
        else if (two == 20)
            fixed = 2;
        else if (two >= 31 && two <= 36)
            aiLen = 4, fixed = 6;
        else if (two == 41)
            aiLen = 3, fixed = 13;
        else if ((two >= 23 && two <= 29) || (two >= 40 && two <= 49) || (two >= 70 && two <= 79))
            aiLen = 3;
        else if (two >= 80 && two <= 89)
            aiLen = 4;
        if (!digits(i, aiLen)) return "";
        out += "[" + data.substr(i, aiLen) + "]";
        i += aiLen;
        std::size_t end = data.find(char(29), i);
        if (end == std::string::npos) end = data.size();
        if (fixed) end = std::min(end, i + fixed);
        out += data.substr(i, end - i);
        i = end;
    }
    return out;
}

// DataMatrix symbol size (rows, columns) -> zint's size index; 0 (automatic)
// for sizes zint does not make (the 12 x 24 the writers send among them).
int DataMatrixSize(long rows, long cols)
{
    static const int square[] = {10, 12, 14, 16, 18, 20, 22, 24, 26,  32,  36,  40,
                                 44, 48, 52, 64, 72, 80, 88, 96, 104, 120, 132, 144};
    static const int rect[][2] = {{8, 18}, {8, 32}, {12, 26}, {12, 36}, {16, 36}, {16, 48}};
    for (int i = 0; i < 24; ++i)
        if (rows == square[i] && cols == square[i]) return i + 1;
    for (int i = 0; i < 6; ++i)
        if (rows == rect[i][0] && cols == rect[i][1]) return 25 + i;
    return 0;
}

bool ModuleAt(const zint_symbol& s, int row, int col)
{
    return (s.encoded_data[row][col >> 3] >> (col & 7)) & 1;
}

struct Zint {
    zint_symbol* s = ZBarcode_Create();
    ~Zint()
    {
        if (s) ZBarcode_Delete(s);
    }
};

}  // namespace

bool DrawBarcode(const FieldDescription& f, const Geometry& g, Ink& ink, std::string* why)
{
    const Symbology* sym = nullptr;
    for (const Symbology& s : kSymbologies)
        if (s.id == f.type) sym = &s;
    if (!sym) {
        *why = "barcode id " + std::to_string(f.type) + " unknown";
        return false;
    }
    Zint z;
    if (!z.s) {
        *why = "zint cannot start";
        return false;
    }
    zint_symbol& s = *z.s;
    s.symbology = sym->zint;
    s.input_mode = DATA_MODE;
    s.show_hrt = 1;
    std::string data = f.text;
    // Widths in dots: the narrow bar (or module) and the wide bar.
    int thin = std::clamp(f.thin, 1, kMaxModule), thick = std::clamp(f.thick, 0, 99);
    if (f.thin == 0) thin = 2;  // no width sent: the printer's smallest useful module
    if (thick <= thin) thick = 2 * thin;
    int module = thin, rowHeight = 0;
    long heightHundredths = f.heightHundredths;
    switch (f.type) {
        case 30:
        case 31:
        case 36:
        case 46:
            // The check digit is optional in these codes; any mode other than 0
            // adds it (whether it shows in the human-readable line is not told).
            if (f.check != 0) s.option_2 = 1;
            break;
        case 32:
        case 33:
        case 34:
        case 35:
        case 38:
        case 39:
            // EAN and UPC data that carries its check digit (8 or 13 digits, 12
            // for UPC-A, 8 for UPC-E) has it checked; shorter data gets it added.
            if ((f.type <= 33 && (data.size() == 8 || data.size() == 13)))
                s.symbology = BARCODE_EANX_CHK;
            if (f.type == 34 && data.size() == 12) s.symbology = BARCODE_UPCA_CHK;
            if (f.type == 35 && data.size() == 8) s.symbology = BARCODE_UPCE_CHK;
            // The size number is the module in dots; 99 (sent for very wide
            // characters) and anything above 9 is the largest size, 9.
            module = std::clamp(f.thin, 1, 9);
            break;
        case 50:
            module = Module(Value(f, 0, 2), 2);
            rowHeight = module * int(std::clamp(Value(f, 1, 3), 2L, 10L));
            if (Value(f, 2, 0) >= 1 && Value(f, 2, 0) <= 30) s.option_2 = int(Value(f, 2, 0));
            if (Value(f, 4, -1) >= 0 && Value(f, 4, -1) <= 8) s.option_1 = int(Value(f, 4, -1));
            break;
        case 51: {
            const long mode = Value(f, 3, 4);
            // Modes 2 and 3 need a structured carrier message; the rest is mode 4.
            s.option_1 = mode == 5 || mode == 6 ? int(mode) : 4;
            break;
        }
        case 52:
        case 59: {
            module = Module(Value(f, 0, 4), 4);
            const long a = Value(f, 1, 0), b = Value(f, 2, 0);
            s.option_2 = f.type == 52 ? DataMatrixSize(b, a) : DataMatrixSize(a, b);
            if (sym->gs1) s.output_options |= GS1_GS_SEPARATOR;
            break;
        }
        case 53:
            module = Module(Value(f, 4, 2), 2);
            rowHeight = std::max(5 * module, g.Dots(std::clamp(Value(f, 0, 0), 0L, 5000L)));
            if (Value(f, 1, 0) >= 9 && Value(f, 1, 0) <= 67) s.option_2 = int(Value(f, 1, 0));
            break;
        case 54:
            module = Module(Value(f, 0, 2), 2);
            // GS1 DataBar carries a GTIN after the application identifier "01":
            // its first 13 digits are encoded and the check digit is zint's.
            if (data.rfind("01", 0) == 0) data = data.substr(2, 13);
            heightHundredths = 0;
            break;
        case 55:
        case 56:
        case 58:
            // ITF-14 with 13 or 14 digits, other lengths as interleaved 2 of 5.
            heightHundredths = Value(f, 0, 1000);
            thick = std::clamp(int(Value(f, 1, 0)), 1, 99);
            thin = std::clamp(int(Value(f, 2, 0)), 1, kMaxModule);
            if (thick <= thin) thick = 2 * thin;
            if (data.size() != 13 && data.size() != 14) s.symbology = BARCODE_C25INTER;
            break;
        case 57: {
            module = Module(Value(f, 0, 2), 2);
            const std::string ec = f.values.size() > 4 ? f.values[4] : "";
            s.option_1 = ec == "L" ? 1 : ec == "M" ? 2 : ec == "Q" ? 3 : 4;
            break;
        }
        case 61: {
            module = Module(Value(f, 0, 3), 3);
            const long ec = Value(f, 2, 0);
            s.option_1 = ec == 10 ? 1 : ec == 23 ? 2 : ec == 36 ? 3 : ec == 50 ? 4 : -1;
            break;
        }
        default:
            break;
    }
    if (sym->gs1) {
        s.input_mode = GS1_MODE | GS1NOCHECK_MODE;
        if (!data.empty() && data.front() == '(') s.input_mode |= GS1PARENS_MODE;
        data = Gs1Brackets(data);
        if (data.empty()) {
            *why = "GS1 data \"" + f.text + "\" is no element string of application identifiers";
            return false;
        }
    }
    const int err = ZBarcode_Encode(&s, reinterpret_cast<const unsigned char*>(data.data()),
                                    int(std::min<std::size_t>(data.size(), 4000)));
    if (err >= ZINT_ERROR) {
        *why = std::string("zint refuses the data: ") + s.errtxt;
        return false;
    }
    if (s.rows < 1 || s.width < 1 || s.rows > 200 || s.width > 1152) {
        *why = "zint made no symbol";
        return false;
    }

    if (sym->layout == Layout::Maxi) {
        // About an inch square (25.4 mm), as MaxiCode's fixed size is.
        s.scale = 2;
        if (ZBarcode_Buffer(&s, 0) >= ZINT_ERROR || !s.bitmap || s.bitmap_width < 1) {
            *why = std::string("zint cannot draw the symbol: ") + s.errtxt;
            return false;
        }
        const int w = g.Dots(2540), h = int(long(w) * s.bitmap_height / s.bitmap_width);
        if (!ink.Resize(w, std::max(1, h))) return false;
        for (int y = 0; y < ink.height; ++y)
            for (int x = 0; x < ink.width; ++x) {
                const long sx = long(x) * s.bitmap_width / w,
                           sy = long(y) * s.bitmap_height / ink.height;
                ink.Set(x, y, s.bitmap[(sy * s.bitmap_width + sx) * 3] < 128);
            }
        ink.ax = ink.ay = 0;
        return true;
    }

    // Column widths in dots: runs of one module are narrow, longer runs wide
    // (two-width codes), or every module `module` dots wide.
    std::vector<int> colX(std::size_t(s.width) + 1, 0);
    {
        int col = 0;
        while (col < s.width) {
            int run = 1;
            const bool on = ModuleAt(s, 0, col);
            while (col + run < s.width && ModuleAt(s, 0, col + run) == on) ++run;
            for (int k = 0; k < run; ++k) {
                // A two-width run takes its whole width on its first module.
                int w = module;
                if (sym->layout == Layout::TwoWidths) w = k > 0 ? 0 : run == 1 ? thin : thick;
                colX[std::size_t(col + k) + 1] = colX[std::size_t(col + k)] + w;
            }
            col += run;
        }
    }
    // Rows: matrix codes have square modules (or their own row height);
    // linear codes share the field's height among their rows.
    const bool matrix = sym->layout == Layout::Matrix;
    int barsHeight = 0, textCap = 0;
    Ink hr;
    if (!matrix) {
        barsHeight = heightHundredths > 0 ? g.Dots(heightHundredths) : 33 * module;
        barsHeight = std::clamp(barsHeight, 1, 20000);
        const std::string text = reinterpret_cast<const char*>(s.text);
        if (f.humanReadable && !text.empty()) {
            // Capitals 2 mm high, at most a quarter of the field's height.
            textCap = std::max(1, std::min(g.Dots(200), barsHeight / 4));
            std::string ignored;
            if (DrawPlain(text, textCap, hr, &ignored)) barsHeight -= hr.height;
        }
        barsHeight = std::max(1, barsHeight);
    }
    std::vector<int> rowY(std::size_t(s.rows) + 1, 0);
    float total = 0;
    for (int r = 0; r < s.rows; ++r) total += s.row_height[r];
    for (int r = 0; r < s.rows; ++r) {
        int h = module;
        if (matrix && rowHeight > 0) h = rowHeight;
        if (!matrix)
            h = total > 0 ? int(barsHeight * s.row_height[r] / total + 0.5) : barsHeight / s.rows;
        rowY[std::size_t(r) + 1] = rowY[std::size_t(r)] + std::max(1, h);
    }
    // ITF bearer bars (AC BT=1 top and bottom, 2 a frame) and quiet zones.
    const bool itf = f.type == 55 || f.type == 56 || f.type == 58;
    const int bearer = itf && f.bearerType > 0 ? std::clamp(f.bearerWidth, 1, 200) : 0;
    const int quiet = itf && f.bearerType >= 0 ? std::clamp(f.quietZone, 0, 2000) : 0;
    const int symW = colX.back(), symH = rowY.back();
    const int width = std::max(symW + 2 * quiet + (f.bearerType == 2 ? 2 * bearer : 0), hr.width);
    const int height = symH + 2 * bearer + hr.height;
    if (width > 20000 || height > 20000 || !ink.Resize(width, height)) {
        *why = "symbol of " + std::to_string(width) + " x " + std::to_string(height) +
               " dots is larger than a field may be";
        return false;
    }
    const int left = (width - symW) / 2;
    for (int r = 0; r < s.rows; ++r)
        for (int c = 0; c < s.width; ++c)
            if (ModuleAt(s, r, c))
                ink.Fill(left + colX[std::size_t(c)], bearer + rowY[std::size_t(r)],
                         colX[std::size_t(c) + 1] - colX[std::size_t(c)],
                         rowY[std::size_t(r) + 1] - rowY[std::size_t(r)]);
    if (bearer > 0) {
        ink.Fill(0, 0, width, bearer);
        ink.Fill(0, bearer + symH, width, bearer);
        if (f.bearerType == 2) {
            ink.Fill(0, 0, bearer, symH + 2 * bearer);
            ink.Fill(width - bearer, 0, bearer, symH + 2 * bearer);
        }
    }
    for (int y = 0; y < hr.height; ++y)
        for (int x = 0; x < hr.width; ++x)
            if (hr.At(x, y)) ink.Set((width - hr.width) / 2 + x, symH + 2 * bearer + y);
    ink.ax = ink.ay = 0;
    return true;
}

}  // namespace kxview
