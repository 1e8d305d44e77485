#include "objects/cmdbarcode.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <span>
#include <tuple>
#include <vector>

#include "core/format.h"
#include "core/regvalues.h"
#include "core/trace.h"
#include "objects/barcodefield.h"
#include "objects/barcodefont.h"
#include "settings/barcodesettings.h"

namespace kx {

namespace {

// Bits of dwKommandoFontFlags.
constexpr DWORD kKommandoCrLf = 0x1;  // barcode data ends with CR LF
constexpr DWORD kKommandoFnc1 = 0x4;  // GS1 data ends with the closing FNC1
constexpr char kGroupSeparator = 29;

// MaxiCode: an entry longer than this has its data cut to it.
constexpr std::size_t kMaxiCut = 84;

// How the values after the rotation are laid out; each kind has its AM
// template (field, y, x, ";P:", symbology, rotation, then the values).
enum class Kind { Pdf417, Maxi, DataMatrix, Codablock, DataBar, Itf14, Qr, Aztec, Linear };

// Where an option goes: its slot among the values after the symbology (0 is
// the rotation). kNoSlot: read but without a place in the template.
constexpr int kNoSlot = -1;
struct Option {
    std::string_view key;
    int slot;
};

// "AM[%d]%d;%d;%d;50;%d;%d;%d;%d;%d;%d;%d;%d;%d": nine values, the rotation
// and eight options in their listed order. "Z:", the ninth option, has no
// place left, and the template has no print density (DP) value.
constexpr Option kPdf417[] = {{"S:", 1},  {"RW:", 2}, {"AW:", 3}, {"RH:", 4},     {"AH:", 5},
                              {"EC:", 6}, {"C:", 7},  {"R:", 8},  {"Z:", kNoSlot}};
// "AM[%d]%d;%d;%d;51;%d;0;%d;%d;%d;0;%d"
constexpr Option kMaxi[] = {{"SN:", 2}, {"NS:", 3}, {"M:", 4}};
// "AM[%d]%d;%d;%d;52;%d;%d;%d;%d;%d;%d;%d" (59 alike)
constexpr Option kDataMatrix[] = {{"S:", 1}, {"AW:", 2}, {"AH:", 3}, {"EC:", 4}, {"F:", 5}};
// "AM[%d]%d;%d;%d;53;%d;%d;%d;%d;%d;%d;%d"
constexpr Option kCodablock[] = {{"H:", 1}, {"NC:", 2}, {"NL:", 3}, {"M:", 4}, {"S:", 5}};
// "AM[%d]%d;%d;%d;54;%d;%d;%d;%d;%d;%d;%d"
constexpr Option kDataBar[] = {{"S:", 1}, {"M:", 2}, {"K:", 3}, {"T:", 4}, {"Z:", 5}};
// "AM[%d]%d;%d;%d;57;%d;%d;%c;%d;%d;%c;%d": "CS:" and "EC:" become letters.
constexpr Option kQr[] = {{"MO:", 1}, {"CS:", 2}, {"MS:", 3}, {"CW:", 4}, {"EC:", 5}};
// "AM[%d]%d;%d;%d;61;%d;%d;%d;%d;%d;0;%d"
constexpr Option kAztec[] = {{"H:", 1}, {"F:", 2}, {"EC:", 3}, {"M:", 4}};
// "AM[%d]%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d" and ITF-14's "...56;%d;%d;%d;%d;%d;%d;%d":
// height, wide bar, narrow bar, check digit mode, human-readable line.
constexpr Option kLinear[] = {{"H:", 1}, {"V1:", 2}, {"V2:", 3}, {"PZ:", 4}, {"Z:", 5}};

std::span<const Option> OptionsOf(Kind k)
{
    switch (k) {
        case Kind::Pdf417:
            return kPdf417;
        case Kind::Maxi:
            return kMaxi;
        case Kind::DataMatrix:
            return kDataMatrix;
        case Kind::Codablock:
            return kCodablock;
        case Kind::DataBar:
            return kDataBar;
        case Kind::Qr:
            return kQr;
        case Kind::Aztec:
            return kAztec;
        case Kind::Itf14:
        case Kind::Linear:
            return kLinear;
    }
    return {};
}

// A variant of a keyword family: a name found in the keyword, in either of
// its two spellings, gives the symbology.
struct Variant {
    std::string_view names[2];
    WORD wSymbology;
};
// The variants are tried in this order: a longer name that holds a shorter
// one comes first (C39EXT before C39, C128A and C128B before C128, PZN8
// before PZN).
constexpr Variant kEan[] = {{{"EAN13", ""}, 33},
                            {{"EAN8", ""}, 32},
                            {{"EAN128", "GS128"}, 39},
                            {{"EANADDON", "EADDON"}, 38}};
constexpr Variant kCode[] = {{{"CODE39EXT", "C39EXT"}, 46}, {{"CODE39", "C39"}, 30},
                             {{"CODE128A", "C128A"}, 47},   {{"CODE128B", "C128B"}, 48},
                             {{"CODE128", "C128"}, 37},     {{"CODE93", "C93"}, 40},
                             {{"CODE25", "C25"}, 31},       {{"CODABAR", "CBAR"}, 36}};
constexpr Variant kPzn[] = {{{"PZN8", ""}, 60}, {{"PZN", ""}, 41}};
constexpr Variant kUpc[] = {{{"UPCA", ""}, 34}, {{"UPCE", ""}, 35}};

// A keyword: the keyword begins with one of its prefixes. Tried in this
// order, so CODABL and CBLOCK are taken before the "C" family.
struct Keyword {
    std::string_view prefixes[3];
    Kind kind;
    WORD wSymbology;  // 0: by the variants
    std::span<const Variant> variants;
};
const Keyword kKeywords[] = {
    {{"PDF417"}, Kind::Pdf417, 50, {}},
    {{"MAXI"}, Kind::Maxi, 51, {}},
    {{"DATAM"}, Kind::DataMatrix, 52, {}},
    {{"CODABL", "CBLOCK"}, Kind::Codablock, 53, {}},
    {{"GS1DB"}, Kind::DataBar, 54, {}},
    {{"ITF14"}, Kind::Itf14, 56, {}},
    {{"QR"}, Kind::Qr, 57, {}},
    {{"GS1DM"}, Kind::DataMatrix, 59, {}},
    {{"AZT"}, Kind::Aztec, 61, {}},
    {{"EAN", "EAD", "GS128"}, Kind::Linear, 0, kEan},
    {{"C"}, Kind::Linear, 0, kCode},
    {{"LEIT"}, Kind::Linear, 43, {}},
    {{"IDENT"}, Kind::Linear, 44, {}},
    {{"PHARMA"}, Kind::Linear, 49, {}},
    {{"PZN"}, Kind::Linear, 0, kPzn},
    {{"UPC"}, Kind::Linear, 0, kUpc},
};

// The kind and symbology of a keyword (upper case); symbology 0 when none.
std::pair<Kind, WORD> Identify(std::string_view kw)
{
    for (const Keyword& k : kKeywords) {
        bool bMatch = false;
        for (std::string_view p : k.prefixes) bMatch |= !p.empty() && kw.starts_with(p);
        if (!bMatch) continue;
        if (k.wSymbology != 0) return {k.kind, k.wSymbology};
        for (const Variant& v : k.variants)
            for (std::string_view n : v.names)
                if (!n.empty() && kw.find(n) != std::string_view::npos)
                    return {k.kind, v.wSymbology};
        // A family keyword without one of its variants ("#EAN", "#UPC")
        // names no code.
        return {k.kind, 0};
    }
    return {Kind::Linear, 0};
}

bool IsLetter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

// The decimal number after key in the options. A key counts only where no
// letter stands before it, so "S:" is not read from "NS:" or "CS:", "Z:" not
// from "PZ:" or "QZ:", "C:" not from "EC:", "P:" not from "DP:" - what the
// ";" in front of ";P:", ";C:" and ";Z:" is for; a blank or the keyword's
// end before a key does as well. A key without a number is not given.
std::optional<int> FindOption(std::string_view opts, std::string_view key)
{
    for (auto at = opts.find(key); at != std::string_view::npos; at = opts.find(key, at + 1)) {
        if (at > 0 && IsLetter(opts[at - 1])) continue;
        std::string_view v = opts.substr(at + key.size());
        if (!v.empty() && v.front() == '+') v.remove_prefix(1);
        int n = 0;
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
        if (ec != std::errc() || end == v.data()) return std::nullopt;
        return n;
    }
    return std::nullopt;
}

// Bars of the linear codes, which the shorthand gives no 1-D settings for
// (decided): narrow bar 3 dots; a wide bar twice as wide for the codes with
// a bar ratio, three times for those whose field records write three
// narrow bars (Leitcode, Identcode, Pharmacode), none for the module-based
// codes (EAN/UPC, Code 128, Code 93), where the narrow value is the module
// (size number).
std::pair<WORD, WORD> LinearBars(WORD sym)
{
    switch (sym) {
        case 30:
        case 31:
        case 36:
        case 41:
        case 46:
        case 60:
            return {6, 3};
        case 43:
        case 44:
        case 49:
            return {9, 3};
        default:
            return {0, 3};
    }
}

// Height of the linear codes, of ITF-14 and of CODABLOCK F rows when the
// settings give none: 10 mm (1/100 mm, decided).
constexpr WORD kDefaultHeight = 1000;
// Module width of PDF417 when the settings give none, dots (decided).
constexpr int kPdf417Module = 3;
// The module size of DataMatrix and GS1 DataMatrix is at least this.
constexpr int kMinDataMatrixModule = 7;

// The values after the symbology as the field records write them for these
// settings (automatic or manual) - the options' defaults. The field records
// derive some automatic values from the drawn size, which a shorthand entry
// has not: those take fixed values here (decided).
std::vector<std::string> Defaults(Kind kind, WORD sym, const BYTE* p2D, std::size_t cchData)
{
    FieldDescription desc{};
    desc.wFontClass = kFontClassBarcode;
    desc.wId = sym;
    if (kind == Kind::Linear) {
        // Check digit mode 0 (the printer's number for it by code), the
        // human-readable line on: the automatic mode of the 1-D codes.
        desc.wHeight = kDefaultHeight;
        std::tie(desc.wThick, desc.wThin) = LinearBars(sym);
        desc.wKlarschrift = 1;
    }
    if (kind == Kind::Itf14) std::tie(desc.wThick, desc.wThin) = std::pair<WORD, WORD>{6, 3};
    DWORD foot = 0;
    const std::string set = BarcodeParameters(desc, {sym, 0, 1.0, p2D, cchData}, foot);
    std::vector<std::string> v;
    for (std::size_t from = 0;;) {
        const auto semi = set.find(';', from);
        v.emplace_back(set.substr(from, semi - from));
        if (semi == std::string::npos) break;
        from = semi + 1;
    }
    // Slots of the template after the symbology: nine for PDF417, seven for
    // the others (the last the print density).
    v.resize(kind == Kind::Pdf417 ? 9 : 7);
    if (sym == 59 && !AutomaticSet(sym, p2D)) {
        // The shorthand reads the size setting of either DataMatrix keyword
        // with one table, the square sizes 1 to 24 and the rectangles 25 to
        // 30 written "AW;AH" - the DataMatrix field's; the GS1 field's own
        // table lacks 88 x 88 and writes its rectangles the other way round.
        int aw = 0;
        int ah = 0;
        DataMatrixSize(52, bc::Get16(p2D, reg::kBarCodes2DSize, bc::k2DGs1DataMatrix + bc::kDmSize),
                       aw, ah);
        v[2] = FormatString("%d", {aw});
        v[3] = FormatString("%d", {ah});
    }
    if (AutomaticSet(sym, p2D)) {
        // With no drawn height the automatic set would write 0 here.
        switch (kind) {
            case Kind::Pdf417:
                v[1] = FormatString("%d", {kPdf417Module});
                break;
            case Kind::Codablock:
            case Kind::Itf14:
                v[1] = FormatString("%u", {kDefaultHeight});
                break;
            case Kind::Aztec:
                // Module size: the field records write twice the drawn
                // height for Aztec as for DataMatrix; it takes the
                // DataMatrix minimum.
                v[1] = FormatString("%d", {kMinDataMatrixModule});
                break;
            default:
                // DataMatrix: its minimum applies below. QR Code: the
                // automatic set's "height + 5" is 5.
                break;
        }
    }
    return v;
}

bool IsGs1(WORD sym)
{
    // GS1-128, GS1 DataMatrix and GS1 DataBar carry GS1 element strings and
    // end with FNC1; ITF-14 carries a GTIN but has no FNC1.
    return sym == 39 || sym == 59 || sym == 54;
}

// Data after ">": mnemonics, chain field or auto-correction.
std::string PrepareData(std::string_view entry, std::string_view data, WORD sym,
                        const KX_DEVMODE* dm)
{
    if (sym == 51 && entry.size() > kMaxiCut && data.size() > kMaxiCut)
        data = data.substr(0, kMaxiCut);
    std::string t = BarcodeSonderzeichenErsetzen(data);
    if (!dm) return t;
    const std::string link = LinkPlaceholder(*dm);
    // Data with the link placeholder becomes the chain field, a printer
    // function: it is not auto-corrected (upper-casing would spoil the
    // placeholder, cutting to a code's length the function).
    if (t.find(link) != std::string::npos)
        t = Kettenfeld_new(t, *dm, link);
    else if (dm->dwFlags & PDMFLAG_BARCODE_AUTOCORR)
        AutoCorrectBarcodeText(t, sym);
    return t;
}

}  // namespace

ShorthandRecords ComposeShorthand(std::string_view entry, const ShorthandContext& ctx)
{
    ShorthandRecords r;
    const auto open = entry.find("<#");
    const auto close = open == std::string_view::npos ? open : entry.find('>', open);
    std::string head;
    if (open != std::string_view::npos)
        for (char c : entry.substr(open + 2, close - open - 2))
            head += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // The keyword is the run of letters and digits after "<#"; the options
    // follow it up to ">". Keywords and keys are read in any case.
    std::size_t kwEnd = 0;
    while (kwEnd < head.size() && std::isalnum(static_cast<unsigned char>(head[kwEnd]))) ++kwEnd;
    const auto [kind, sym] = Identify(std::string_view(head).substr(0, kwEnd));
    if (sym == 0) {
        TraceA("UNI(CC-Klassen):  ComposeShorthand() unbekannter Befehl |%s| \r\n", entry);
        return r;
    }
    if (close == std::string_view::npos) {
        // No ">": the entry carries no data; nothing is sent (decided).
        TraceA("ERROR UNI(CC-Klassen):  ComposeShorthand() kein > in |%s| \r\n", entry);
        return r;
    }
    const std::string_view opts = std::string_view(head).substr(kwEnd);
    const KX_DEVMODE* dm = ctx.pDevmode;

    std::string data = PrepareData(entry.substr(open), entry.substr(close + 1), sym, dm);
    std::vector<std::string> v = Defaults(kind, sym, ctx.p2D, data.size());

    const int turn = FindOption(opts, "D:").value_or(0) % 4;
    v[0] = FormatString("%u", {(ctx.dwRotation + static_cast<DWORD>(turn + 4)) % 4});
    for (const Option& o : OptionsOf(kind)) {
        const std::optional<int> n = FindOption(opts, o.key);
        if (!n || o.slot == kNoSlot) continue;
        int value = *n;
        if (kind == Kind::Maxi && o.key == "M:") value += 2;  // the printer's mode numbers
        if (kind == Kind::Qr && o.slot == 2)
            v[2] = std::string(1, value >= 0 && value < 4 ? "NABK"[value] : 'B');
        else if (kind == Kind::Qr && o.slot == 5)
            v[5] = std::string(1, value >= 0 && value < 3 ? "LMQ"[value] : 'H');
        else
            v[o.slot] = FormatString("%d", {value});
    }
    if (kind == Kind::DataMatrix && std::atoi(v[1].c_str()) < kMinDataMatrixModule)
        v[1] = FormatString("%d", {kMinDataMatrixModule});
    if (kind != Kind::Pdf417) {
        // Print density: "DP:" 1 to 9, else the devmode's wBarcodeDP 1 to 9,
        // else 7 - the settings' own last values are not used.
        int dp = FindOption(opts, "DP:").value_or(0);
        if (dp < 1 || dp > 9) dp = dm ? dm->wBarcodeDP : 0;
        if (dp < 1 || dp > 9) dp = 7;
        v.back() = FormatString("%d", {dp});
    }

    // ";P:" is the field's third value, 0 or 1 (any other number counts as 1).
    const int p = FindOption(opts, "P:").value_or(0) != 0 ? 1 : 0;
    r.am = FormatString("AM[%u]%d;%d;%d;%u", {ctx.dwField, ctx.y, ctx.x, p, sym});
    for (const std::string& s : v) r.am += ";" + s;

    if (kind == Kind::Itf14) {
        // The bearer record: the options, else bearer type 1, width 50 and
        // quiet zone 400, whatever the ITF settings hold.
        r.ac = FormatString(
            "AC[%u]BT=%d;BW=%d;QZ=%d",
            {ctx.dwField, FindOption(opts, "BT:").value_or(1), FindOption(opts, "BW:").value_or(50),
             FindOption(opts, "QZ:").value_or(400)});
    }

    // CR LF first, then the closing FNC1, in the order the flags are read.
    const DWORD flags = dm ? dm->dwKommandoFontFlags : 0;
    if (flags & kKommandoCrLf) data += "\r\n";
    if ((flags & kKommandoFnc1) && IsGs1(sym)) data += kGroupSeparator;
    r.bm = FormatString("BM[%u]", {ctx.dwField}) + data;
    r.bKnown = true;
    return r;
}

}  // namespace kx
