// What the printer's records mean, in words: the configuration commands by
// their letters with the form and unit of their parameter, the object types
// of field records and the parameter sets that follow each type. The
// explainer (explain.h) reads these tables; they are written from the
// printer's side, like the reader.
#pragma once

#include <string_view>
#include <vector>

namespace kxview {

// How a configuration record's parameter (the text between "r" and the end
// character) is written.
enum class ParamForm {
    None,         // "--------": the command carries no value
    Number,       // digits (at least `width` of them), then "-" filling
    Signed,       // a sign character ("+" or "-"; "0" stands for "+"), then digits
    PlusSigned,   // a "+", then the value, with its own "-" when it is negative
    MaybeMinus,   // digits, with a "-" in front of a negative value
    Choice,       // one character that names a setting (`choices`: "0=no|1=yes")
    Digits,       // one-digit settings side by side (`choices`: one name per digit,
                  // "name" or "name:0=off,1=on"); a "-" stands for a digit not given
    NumberDigit,  // a number of `width` digits, then one more digit after filling
    Text,         // a text (job name, print order, file name) in place of the field
    PageText,     // the page number with its prefix: "   PAGE7", " # 12345", "1234567"
    Time,         // hour, minute, second: two digits each
    Date,         // day, month, year minus 2000: two digits each
};

enum class Unit {
    None,
    Hundredths,  // 1/100 mm, shown in millimetres with two decimals
    Tenths,      // 1/10 mm, shown in millimetres with one decimal
    Mm,
    Ms,
    Percent,
    Tenth,  // tenths of a unit the printer does not name, shown with one decimal
};

struct CommandInfo {
    std::string_view code;     // command letters with the "-" filling trimmed
    std::string_view meaning;  // in words
    ParamForm form;
    int width = 0;  // digits the writer fixes for Number, Signed and the like
    Unit unit = Unit::None;
    std::string_view choices = {};
};

// The command of these letters, or nullptr for a command the printer does not know.
const CommandInfo* FindCommand(std::string_view code);

// All commands (for the tests' sake nothing else needs this).
const std::vector<CommandInfo>& Commands();

// The name of a field's object type: "printer font", "inverse printer font",
// "vector font", "inverse vector font" or the barcode's name; empty when the
// printer has no such type.
std::string_view ObjectTypeName(long type);

// One class parameter of a field record: its name and unit.
struct ParamName {
    std::string_view name;
    Unit unit = Unit::None;
    bool rotation = false;  // quarter turns, shown in degrees
    bool letter = false;    // a letter stands for the setting (QR Code modes)
};

// The class parameters that follow the object type in an AM record, in order.
// `required` is how many of them the writer always sends; the rest are optional.
struct ParamSet {
    std::vector<ParamName> names;
    std::size_t required = 0;
};
const ParamSet& ClassParams(long type);

// The variable-field function that a field's contents begin or carry
// ("=CN(" and its siblings), named; empty when there is none.
struct FieldFunction {
    std::string_view token;
    std::string_view meaning;
};
FieldFunction FindFieldFunction(std::string_view text);

}  // namespace kxview
