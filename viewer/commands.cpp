#include "viewer/commands.h"

#include <algorithm>
#include <map>

namespace kxview {
namespace {

using F = ParamForm;
using U = Unit;

// Every configuration command the printer takes, by its letters. Where one set
// of letters serves two settings (FCDC, FCCC, FCADI, FCADLA, FCCM, FCDD), the
// meaning names both: the printer cannot tell them apart either.
//
// Units: lengths and positions of the label layout are 1/100 mm, offsets and
// the column width 1/10 mm, times of the applicator and the scan delay ms.
// Where nothing fixes a unit (speeds, levels, cutter and dispenser offsets,
// shift values) the number is shown as it stands.
const std::vector<CommandInfo> kCommands = {
    // Job and page.
    {"FJDTS", "data transfer start", F::None},
    {"FCIB", "PC time", F::Time},
    {"FCIA", "PC date", F::Date},
    {"FCGD", "data memory", F::Number, 1},
    {"RD", "discard an old, aborted job, step", F::Number, 1},
    {"FCDL", "print head mode", F::Number, 1},
    {"FBG", "page of a multi-page label", F::Number, 1},
    {"FBEB", "page number", F::PageText},
    {"FBE", "job name", F::Text},
    {"FCCN", "codepage", F::Number, 1},
    {"FBBA", "copies", F::Number, 5},
    {"FCDH", "print", F::Choice, 1, U::None, "0=normal|1=inverse"},
    {"FBC", "print start", F::Choice, 1, U::None, "-=sorted (collate)|1=unsorted"},
    {"FBA", "fields on the label", F::Number, 2},
    {"FBAA", "fields on the label", F::Number, 1},
    {"FBBE", "copies of this page", F::Number, 5},
    {"FE", "form feed", F::None},
    {"FBH", "pages to print (print order)", F::Text},
    {"FBF", "multi-page label: the pages share one print start", F::None},
    {"FGA", "delete the print memory", F::None},
    {"FMB", "recall of a memory-card file", F::Text},
    {"FBM", "ribbon", F::Choice, 1, U::None, "1=ribbon 1|2=ribbon 2"},
    // Label layout.
    {"FCCL", "label length", F::Number, 7, U::Hundredths},
    {"FCCO", "label width", F::Number, 7, U::Hundredths},
    {"FCCM", "gap length", F::Number, 5, U::Hundredths},
    {"FCCJ", "label alignment", F::Choice, 1, U::None, "0=left|1=center|2=right"},
    {"FCCHA", "columns", F::Number, 1},
    {"FCCHB", "column width", F::Number, 3, U::Tenths},
    {"FCCD", "Y offset", F::Signed, 3, U::Tenths},
    {"FCCE", "X offset", F::Signed, 3, U::Tenths},
    {"FCAA", "speed", F::Number, 3},
    {"FCAB", "contrast", F::Number, 3},
    {"FCAB-2", "colour contrast", F::Number, 3},
    {"FCDA", "label type", F::Choice, 1, U::None, "0=single labels|1=endless"},
    {"FCDNC", "material", F::Number, 4},
    {"FCDN", "label rotated", F::Choice, 1, U::None, "0=no|1=yes"},
    {"FCDO", "label mirrored", F::Choice, 1, U::None, "0=no|1=yes"},
    {"FCDND", "label rotation", F::Choice, 1, U::None,
     "0=0 degrees|1=90 degrees|2=180 degrees|3=270 degrees"},
    // Photocell, ribbon and shift optimisation.
    {"FCDEB", "PWM value", F::Number, 3},
    {"FCDE", "photocell type", F::Number, 1},
    {"FCDB", "ribbon control", F::Digits, 2, U::None, ":0=off,1=on|:0=weak,1=strong"},
    {"FCDJ", "ribbon save", F::Choice, 1, U::None, "0=off|1=on"},
    {"FCDRFC", "R correction", F::Signed, 4},
    {"FCDRSX", "X shift", F::Signed, 5, U::Tenth},
    {"FCDRSY", "Y shift", F::Signed, 5, U::Tenth},
    {"FCDRSZ", "R shift", F::Signed, 5, U::Tenth},
    {"FCDRSR", "lanes (shift optimisation)", F::Number, 6},
    // Dispenser and cutter.
    {"FCDC", "dispenser mode (KRM-c mode)", F::Number, 1},
    {"FCCF", "dispenser photocell level", F::PlusSigned, 2},
    {"FCSDA", "dispenser extra offset", F::PlusSigned, 3},
    {"FCSDD", "dispenser start signal delay", F::Number, 3},
    {"FCDD", "cutter mode (1: cut)", F::Number, 1},
    {"FBBDA", "cutter interval reset", F::None},
    {"FBBD", "cut interval (labels)", F::Number, 4},
    {"FCSCA", "cutter offset", F::PlusSigned, 3},
    {"FCCC", "cutter or dispenser offset", F::PlusSigned, 3},
    {"FCSCB", "double cut", F::PlusSigned, 3},
    {"FCSCC", "cut width", F::MaybeMinus, 3, U::Mm},
    {"FCSCD", "cutter control flag", F::Number, 1},
    // Scanner.
    {"FCDM", "scanner", F::Digits, 4, U::None, "mode|port|extra reads|extra labels to feed"},
    {"FCDMA", "scan offset", F::Number, 4, U::Tenths},
    {"FCDMB", "scan length", F::Number, 4, U::Tenths},
    {"FCDMC", "scan mode", F::Number, 1},
    {"FCDMD", "scan delay", F::Number, 4, U::Ms},
    {"FCDME", "scan timeout", F::Number, 4},
    // Applicator.
    {"FCPA", "applicator working mode", F::Number, 1},
    {"FCPB", "applicator application mode", F::Number, 1},
    {"FCPC", "applicator delay air on", F::Number, 4, U::Ms},
    {"FCPD", "applicator delay air off", F::Number, 4, U::Ms},
    {"FCPE", "applicator vacuum control", F::Number, 1},
    {"FCPF", "applicator blow time", F::Number, 4, U::Ms},
    {"FCPG", "applicator wait position", F::Number, 1},
    {"FCPH", "applicator enrol time", F::Number, 4, U::Ms},
    {"FCPK", "applicator cleaning time", F::Number, 4, U::Ms},
    {"FCPL", "applicator stroke timeout", F::Number, 4, U::Ms},
    {"FCPM", "applicator pressure control", F::Number, 1},
    {"FCPN", "applicator pressure time", F::Number, 4, U::Ms},
    {"FCPO", "applicator vacuum delay", F::Number, 4, U::Ms},
    // Print modules.
    {"FCADD", "KRM-i service position (x 10)", F::Number, 4},
    {"FCADG", "KRM-i back speed", F::Number, 3},
    {"FCADH", "KRM-i mode", F::Number, 1},
    {"FCADI", "KRM cycle", F::Number, 2},
    {"FCADK", "KRM-i print position", F::Number, 5},
    {"FCADLA", "KRM offset", F::NumberDigit, 5},
    {"FCADL", "KRM-i offset", F::Number, 4},
    {"FCADM", "KRM-i ribbon speed", F::Number, 3},
    {"FCADO", "print-module mode", F::Choice, 1, U::None, "0=KRM-i|1=KRM-c"},
    // Bellmark lane and scan-position unit.
    {"FCNB", "first label offset", F::NumberDigit, 5},
    {"FCNA", "lanes", F::Number, 2},
    {"FCNWMR", "WAS row", F::Number, 3},
    {"FCNWMD", "WAS host", F::Number, 4},
    {"FCNWMO", "WAS offset", F::Number, 4},
    // Device settings.
    {"FCDEA", "label scan position", F::Number, 2, U::Percent},
    {"FCSDFC", "label change", F::Choice, 1, U::None, "0=off|1=on"},
    {"FCCG", "tear-off offset", F::PlusSigned, 3, U::Tenths},
};

const std::map<long, std::string_view> kTypes = {
    {1, "printer font"},
    {2, "inverse printer font"},
    {4, "vector font"},
    {6, "inverse vector font"},
    {30, "barcode Code 39"},
    {31, "barcode Code 2/5 interleaved"},
    {32, "barcode EAN 8"},
    {33, "barcode EAN 13"},
    {34, "barcode UPC A"},
    {35, "barcode UPC E"},
    {36, "barcode CODABAR"},
    {37, "barcode Code 128"},
    {38, "barcode EAN add-on"},
    {39, "barcode GS1-128 (EAN 128)"},
    {40, "barcode Code 93"},
    {41, "barcode PZN7"},
    {43, "barcode Leitcode"},
    {44, "barcode Identcode"},
    {46, "barcode Code 39 extended"},
    {47, "barcode Code 128 A"},
    {48, "barcode Code 128 B"},
    {49, "barcode Pharmacode"},
    {50, "barcode PDF417"},
    {51, "barcode MaxiCode"},
    {52, "barcode DataMatrix"},
    {53, "barcode CODABLOCK F"},
    {54, "barcode GS1 DataBar"},
    {55, "barcode ITF 5:2"},
    {56, "barcode ITF with bearer bars"},
    {57, "barcode QR Code"},
    {58, "barcode ITF 3:1"},
    {59, "barcode GS1 DataMatrix"},
    {60, "barcode PZN8"},
    {61, "barcode Aztec"},
    {62, "barcode USPS IM"},
    {63, "barcode USPS Postnet"},
};

constexpr ParamName kRotation{"rotation", U::None, true};

// The last value of the two-dimensional codes (7 in automatic settings) and
// the optional sixth value of text fields place the field on one of the nine
// points of its box; it is named "reference point".
const ParamSet kPrinterFont{
    {kRotation, {"font"}, {"height"}, {"width"}, {"extra value"}, {"reference point"}}, 5};
const ParamSet kVectorFont{{kRotation,
                            {"font"},
                            {"height", U::Hundredths},
                            {"width", U::Hundredths},
                            {"extra value"},
                            {"reference point"}},
                           5};
const ParamSet kLinear{{kRotation,
                        {"height", U::Hundredths},
                        {"wide bar"},
                        {"narrow bar"},
                        {"check digit mode"},
                        {"human-readable line"},
                        {"extra value"}},
                       6};
// PDF417 and GS1 DataBar: which value is which is the printer's own; the
// values after the rotation are listed together.
const ParamSet kPdf417{{kRotation, {"settings"}}, 9};
const ParamSet kDataBar{{kRotation, {"settings"}}, 7};
const ParamSet kMaxiCode{{kRotation,
                          {"value"},
                          {"symbol number"},
                          {"number of symbols"},
                          {"mode"},
                          {"value"},
                          {"reference point"}},
                         7};
const ParamSet kDataMatrix{{kRotation,
                            {"module size"},
                            {"size value"},
                            {"size value"},
                            {"error correction"},
                            {"format"},
                            {"reference point"}},
                           7};
const ParamSet kCodablock{
    {kRotation, {"row height"}, {"columns"}, {"rows"}, {"mode"}, {"security"}, {"reference point"}},
    7};
const ParamSet kItf{{kRotation,
                     {"height"},
                     {"wide bar"},
                     {"narrow bar"},
                     {"check digit mode"},
                     {"human-readable line"},
                     {"reference point"}},
                    7};
const ParamSet kQr{{kRotation,
                    {"model"},
                    {"input mode", U::None, false, true},
                    {"character set"},
                    {"module size"},
                    {"error correction", U::None, false, true},
                    {"reference point"}},
                   7};
const ParamSet kAztec{{kRotation,
                       {"module size"},
                       {"format"},
                       {"error correction"},
                       {"mode"},
                       {"value"},
                       {"reference point"}},
                      7};
const ParamSet kUnknown{{}, 0};

constexpr FieldFunction kFunctions[] = {
    {"=CN(", "counter"},
    {"=CC(", "extended counter"},
    {"=UG(", "entry at the printer"},
    {"=UM(", "entry at the printer with a mask"},
    {"=SC(", "chain field"},
    {"=CL(", "clock (date or time)"},
    {"=SV(", "scan check"},
};

}  // namespace

const std::vector<CommandInfo>& Commands()
{
    return kCommands;
}

const CommandInfo* FindCommand(std::string_view code)
{
    const auto it = std::find_if(kCommands.begin(), kCommands.end(),
                                 [&](const CommandInfo& c) { return c.code == code; });
    return it == kCommands.end() ? nullptr : &*it;
}

std::string_view ObjectTypeName(long type)
{
    const auto it = kTypes.find(type);
    return it == kTypes.end() ? std::string_view{} : it->second;
}

const ParamSet& ClassParams(long type)
{
    switch (type) {
        case 1:
        case 2:
            return kPrinterFont;
        case 4:
        case 6:
            return kVectorFont;
        case 50:
            return kPdf417;
        case 51:
            return kMaxiCode;
        case 52:
        case 59:
            return kDataMatrix;
        case 53:
            return kCodablock;
        case 54:
            return kDataBar;
        case 55:
        case 56:
        case 58:
            return kItf;
        case 57:
            return kQr;
        case 61:
            return kAztec;
        default:
            return type >= 30 && ObjectTypeName(type).size() ? kLinear : kUnknown;
    }
}

FieldFunction FindFieldFunction(std::string_view text)
{
    FieldFunction first{};
    std::size_t at = std::string_view::npos;
    for (const FieldFunction& f : kFunctions) {
        const std::size_t p = text.find(f.token);
        if (p < at) {
            at = p;
            first = f;
        }
    }
    return first;
}

}  // namespace kxview
