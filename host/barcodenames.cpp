// The job file's "barcode_settings": barcode settings by code name into the
// registry values "BarCodes1D" and "BarCodes2D". The layout itself is
// settings/barcodesettings.h; here is only the naming. docs/barcode-settings.md
// lists the names.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <vector>

#include "host/jsonnode.h"
#include "host/records.h"
#include "settings/barcodesettings.h"

namespace kxhost {

namespace bc = kx::bc;

namespace {

// The 1-D codes, one name per barcode font id, close to their face names.
struct Code1D {
    const char* name;
    WORD id;
};
constexpr Code1D kCodes1D[] = {
    {"Code 39 2:1", 30},
    {"Code 39 3:1", 301},
    {"Code 39 5:2", 302},
    {"Code 39 extended 2:1", 46},
    {"Code 39 extended 3:1", 461},
    {"Code 39 extended 5:2", 462},
    {"Code 2/5 interleaved 2:1", 31},
    {"Code 2/5 interleaved 3:1", 311},
    {"Code 2/5 interleaved 5:2", 312},
    {"PZN7 Code 2:1", 41},
    {"PZN7 Code 3:1", 411},
    {"PZN7 Code 5:2", 412},
    {"CODABAR", 36},
    {"PZN8 Code 2:1", 60},
    {"PZN8 Code 3:1", 601},
    {"PZN8 Code 5:2", 602},
    {"EAN 8", 32},
    {"EAN 13", 33},
    {"UPC A", 34},
    {"UPC E", 35},
    {"EAN ADD ON", 38},
    {"GS1 128", 39},
    {"Code 128", 37},
    {"Code 93", 40},
    {"Leitcode", 43},
    {"Identcode", 44},
    {"Code 128 A", 47},
    {"Code 128 B", 48},
    {"Pharmacode", 49},
    {"USPS IM", 62},
    {"USPS Postnet", 63},
};
static_assert(std::size(kCodes1D) ==
              std::size(bc::kRatioRecordIds) + std::size(bc::kPlainRecordIds));

// The byte values of a 1-D record; switches are written as 1 or 0.
struct Byte1D {
    const char* name;
    BYTE bc::Settings1D::*member;
    bool isSwitch;
};
constexpr Byte1D kBytes1D[] = {
    {"wide", &bc::Settings1D::bWide, false},
    {"narrow", &bc::Settings1D::bNarrow, false},
    {"module", &bc::Settings1D::bModule, false},
    {"check_digit", &bc::Settings1D::bCheckDigit, false},
    {"human_readable", &bc::Settings1D::bHumanReadable, true},
    {"ratio", &bc::Settings1D::bRatio, false},
    {"zoom", &bc::Settings1D::bZoom, false},
    {"height_multiplier", &bc::Settings1D::bHeightMult, false},
    {"supported", &bc::Settings1D::bSupported, true},
};
constexpr const char* kKeys1D =
    "mode, rotation, height, wide, narrow, module, check_digit, "
    "human_readable, ratio, zoom, height_multiplier, supported";

// How a 2-D value is given and stored.
enum class Kind {
    U16,       // a number 0 to 65535
    U32,       // a number 0 to 4294967295
    Rotation,  // quarter turns 0 to 3, u16
    Switch,    // true/false as 1/0, u16
    QrMode,    // "N", "A", "B", "K" or the setting's number, u16
    QrLevel,   // "L", "M", "Q", "H" or the setting's number, u16
    Six,       // six numbers 0 to 65535, u16 each
};
struct Value2D {
    const char* name;
    std::size_t at;  // from the start of the 2-D part
    Kind kind;
};
struct Code2D {
    const char* name;
    unsigned id;           // its bit in the support mask is id - 50
    std::size_t switchAt;  // the automatic switch: u16 for Aztec, u32 otherwise
    std::vector<Value2D> values;
};

std::vector<Value2D> Itf(std::size_t base)
{
    return {{"rotation", base + bc::kItfRotation, Kind::Rotation},
            {"height", base + bc::kItfHeight, Kind::U16},
            {"narrow", base + bc::kItfNarrow, Kind::U16},
            {"check_digit", base + bc::kItfCheckDigit, Kind::U16},
            {"human_readable", base + bc::kItfHumanReadable, Kind::Switch},
            {"last", base + bc::kItfLast, Kind::U16},
            {"bt", base + bc::kItfBT, Kind::U16},
            {"bw", base + bc::kItfBW, Kind::U16},
            {"qz", base + bc::kItfQZ, Kind::U16}};
}

std::vector<Value2D> DataMatrix(std::size_t base)
{
    return {{"module", base + bc::kDmModule, Kind::U16},
            {"size", base + bc::kDmSize, Kind::U16},
            {"option1", base + bc::kDmOption1, Kind::U16},
            {"option2", base + bc::kDmOption2, Kind::U16}};
}

std::vector<Value2D> Block(std::size_t base)
{
    return {{"rotation", base + bc::kBlockRotation, Kind::Rotation},
            {"values", base + bc::kBlockValues, Kind::Six}};
}

const std::vector<Code2D>& Codes2D()
{
    static const std::vector<Code2D> codes = {
        {"PDF417",
         50,
         bc::k2DPdf417,
         {{"rotation", bc::kPdfRotation, Kind::Rotation},
          {"module", bc::kPdfModule, Kind::U16},
          {"row_height", bc::kPdfRowHeight, Kind::U16},
          {"columns", bc::kPdfColumns, Kind::U16},
          {"rows", bc::kPdfRows, Kind::U16},
          {"security", bc::kPdfSecurity, Kind::U16},
          {"code_words", bc::kPdfCodeWords, Kind::U16},
          {"truncated", bc::kPdfTruncated, Kind::Switch},
          {"max_height", bc::kPdfMaxHeight, Kind::U16}}},
        {"MaxiCode",
         51,
         bc::k2DMaxi,
         {{"rotation", bc::kMaxiRotation, Kind::Rotation},
          {"symbol_number", bc::kMaxiSymbolNumber, Kind::U16},
          {"symbols", bc::kMaxiSymbols, Kind::U16},
          {"mode", bc::kMaxiMode, Kind::U16},
          {"last", bc::kMaxiLast, Kind::U16}}},
        {"DataMatrix", 52, bc::k2DDataMatrix, DataMatrix(bc::k2DDataMatrix)},
        {"CODABLOCK F", 53, bc::k2DCodablock, Block(bc::k2DCodablock)},
        {"GS1 DataBar", 54, bc::k2DGs1DataBar, Block(bc::k2DGs1DataBar)},
        {"ITF 5:2", 55, bc::k2DItf55, Itf(bc::k2DItf55)},
        {"ITF 2:1", 56, bc::k2DItf56, Itf(bc::k2DItf56)},
        {"QR Code",
         57,
         bc::k2DQr,
         {{"rotation", bc::kQrRotation, Kind::Rotation},
          {"module", bc::kQrModule, Kind::U16},
          {"mode", bc::kQrMode, Kind::QrMode},
          {"version", bc::kQrVersion, Kind::U16},
          {"mask", bc::kQrMask, Kind::U32},
          {"error_correction", bc::kQrErrorCorr, Kind::QrLevel},
          {"last", bc::kQrLast, Kind::U16}}},
        {"ITF 3:1", 58, bc::k2DItf58, Itf(bc::k2DItf58)},
        {"GS1 DataMatrix", 59, bc::k2DGs1DataMatrix, DataMatrix(bc::k2DGs1DataMatrix)},
        {"Aztec",
         61,
         bc::k2DAztecSwitch,
         {{"module", bc::kAztecModule, Kind::U16},
          {"format", bc::kAztecFormat, Kind::U16},
          {"error_correction", bc::kAztecErrorCorr, Kind::U32},
          {"menu", bc::kAztecMenu, Kind::U16}}},
    };
    return codes;
}

std::string KnownCodes()
{
    std::string s;
    for (const Code1D& c : kCodes1D) s += (s.empty() ? "" : ", ") + std::string(c.name);
    for (const Code2D& c : Codes2D()) s += ", " + std::string(c.name);
    return s;
}

// A setting given as one of its letters (index = setting) or as its number.
WORD LetterValue(const Node& n, const char* letters)
{
    if (!n.IsString() || n.Str().size() != 1 ||
        !std::isalpha(static_cast<unsigned char>(n.Str()[0])))
        return static_cast<WORD>(n.Int(0, 65535));
    const char* p = std::strchr(letters, n.Str()[0]);
    if (!p) {
        std::string list;
        for (const char* l = letters; *l; ++l)
            list += (list.empty() ? "" : ", ") + std::string(1, *l);
        n.Fail("must be one of " + list + " or a number (got " + n.Show() + ")");
    }
    return static_cast<WORD>(p - letters);
}

// The code's automatic switch: u16 for Aztec, u32 for the others.
void PutAutomatic(BYTE* p2D, const Code2D& c, bool on)
{
    if (c.switchAt == bc::k2DAztecSwitch)
        bc::Put16(p2D, kx::reg::kBarCodes2DSize, c.switchAt, on);
    else
        bc::Put32(p2D, kx::reg::kBarCodes2DSize, c.switchAt, on);
}

void Put1D(const Node& code, WORD id, BYTE* p1D)
{
    // Values not named keep what the record holds; a record never written
    // starts from the defaults a fresh settings interface shows.
    bc::Settings1D s = bc::Read1D(p1D, id);
    for (const auto& member : code.Members()) {
        const std::string& key = member.first;
        const auto& v = member.second;
        const auto* b = std::find_if(std::begin(kBytes1D), std::end(kBytes1D),
                                     [&](const Byte1D& f) { return key == f.name; });
        if (b != std::end(kBytes1D)) {
            s.*(b->member) = b->isSwitch ? BYTE{v.Bool()} : static_cast<BYTE>(v.Int(0, 255));
        } else if (key == "mode") {
            const std::string mode = v.Str();
            if (mode != "automatic" && mode != "manual")
                v.Fail("must be \"automatic\" or \"manual\" (got " + v.Show() + ")");
            // Manual is written as 0: any value but 1 reads as manual.
            s.dwMode = mode == "automatic" ? bc::kModeAutomatic : 0;
        } else if (key == "rotation") {
            s.wDrehung = static_cast<WORD>(v.Int(0, 3));
        } else if (key == "height") {
            s.wHeight = static_cast<WORD>(v.Int(0, 65535));
        } else {
            v.Fail("not a setting of a 1-D code (known: " + std::string(kKeys1D) + ")");
        }
    }
    bc::Write1D(p1D, id, s);
}

void Put2D(const Node& code, const Code2D& c, BYTE* p2D)
{
    constexpr std::size_t n = kx::reg::kBarCodes2DSize;
    for (const auto& member : code.Members()) {
        const std::string& key = member.first;
        const auto& v = member.second;
        if (key == "automatic") {
            PutAutomatic(p2D, c, v.Bool());
            continue;
        }
        if (key == "supported") {
            DWORD mask = bc::Get32(p2D, n, bc::k2DSupportMask);
            const DWORD bit = DWORD{1} << (c.id - 50);
            bc::Put32(p2D, n, bc::k2DSupportMask, v.Bool() ? mask | bit : mask & ~bit);
            continue;
        }
        const auto f = std::find_if(c.values.begin(), c.values.end(),
                                    [&](const Value2D& x) { return key == x.name; });
        if (f == c.values.end()) {
            std::string known = "automatic, supported";
            for (const Value2D& x : c.values) known += ", " + std::string(x.name);
            v.Fail("not a setting of " + std::string(c.name) + " (known: " + known + ")");
        }
        switch (f->kind) {
            case Kind::U16:
                bc::Put16(p2D, n, f->at, static_cast<WORD>(v.Int(0, 65535)));
                break;
            case Kind::U32:
                bc::Put32(p2D, n, f->at, static_cast<DWORD>(v.Int(0, UINT32_MAX)));
                break;
            case Kind::Rotation:
                bc::Put16(p2D, n, f->at, static_cast<WORD>(v.Int(0, 3)));
                break;
            case Kind::Switch:
                bc::Put16(p2D, n, f->at, v.Bool());
                break;
            case Kind::QrMode:
                bc::Put16(p2D, n, f->at, LetterValue(v, "NABK"));
                break;
            case Kind::QrLevel:
                bc::Put16(p2D, n, f->at, LetterValue(v, "LMQH"));
                break;
            case Kind::Six: {
                std::vector<Node> items = v.Items();
                if (items.size() != 6) v.Fail("must be six numbers");
                for (std::size_t i = 0; i < 6; ++i)
                    bc::Put16(p2D, n, f->at + 2 * i, static_cast<WORD>(items[i].Int(0, 65535)));
                break;
            }
        }
    }
}

}  // namespace

void ApplyBarcodeSettings(const nlohmann::json& values, const std::string& where, BYTE* p1D,
                          BYTE* p2D)
{
    Node root(values, where);
    const auto members = root.Members();
    // A 2-D part never written reads as automatic for every code; once a
    // name writes into it, it starts as a fresh settings interface writes
    // it - every code automatic, none supported - so that naming one code
    // does not turn the others to manual.
    const bool names2D = std::any_of(members.begin(), members.end(), [](const auto& m) {
        return std::any_of(Codes2D().begin(), Codes2D().end(),
                           [&](const Code2D& c) { return m.first == c.name; });
    });
    if (names2D && !bc::Written2D(p2D))
        for (const Code2D& c : Codes2D()) PutAutomatic(p2D, c, true);
    for (const auto& member : members) {
        const std::string& name = member.first;
        const auto& code = member.second;
        const auto* c1 = std::find_if(std::begin(kCodes1D), std::end(kCodes1D),
                                      [&](const Code1D& c) { return name == c.name; });
        if (c1 != std::end(kCodes1D)) {
            Put1D(code, c1->id, p1D);
            continue;
        }
        const auto c2 = std::find_if(Codes2D().begin(), Codes2D().end(),
                                     [&](const Code2D& c) { return name == c.name; });
        if (c2 == Codes2D().end()) code.Fail("not a barcode name (known: " + KnownCodes() + ")");
        Put2D(code, *c2, p2D);
    }
}

}  // namespace kxhost
