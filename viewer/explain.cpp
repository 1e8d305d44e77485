#include "viewer/explain.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "viewer/commands.h"
#include "viewer/stream.h"

namespace kxview {
namespace {

constexpr std::size_t kPcxHeader = 128;
constexpr std::size_t kNameColumn = 6;  // names are padded to this width, then one blank

// Bytes as text: printable ASCII as it stands, every other byte as <1D>.
std::string Shown(std::string_view bytes)
{
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", c);
            out += hex;
        }
    }
    return out;
}

std::string Quoted(std::string_view bytes)
{
    return "\"" + Shown(bytes) + "\"";
}

bool AllDashes(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c == '-'; });
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A whole string of digits as a number; false for anything else, for an empty
// string and for more digits than a 64-bit number holds safely (18).
bool ParseDigits(std::string_view s, long long& v)
{
    if (s.empty() || s.size() > 18 || !std::all_of(s.begin(), s.end(), IsDigit)) return false;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return true;
}

// A decimal number with an optional "-" in front.
bool ParseSigned(std::string_view s, long long& v)
{
    const bool negative = !s.empty() && s[0] == '-';
    if (!ParseDigits(negative ? s.substr(1) : s, v)) return false;
    if (negative) v = -v;
    return true;
}

// The digits at the start of `s`.
std::string_view LeadingDigits(std::string_view s)
{
    std::size_t n = 0;
    while (n < s.size() && IsDigit(s[n])) ++n;
    return s.substr(0, n);
}

std::string Decimal(long long v, int decimals)
{
    long long scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const long long a = v < 0 ? -v : v;
    std::string out = v < 0 ? "-" : "";
    out += std::to_string(a / scale);
    if (decimals > 0) {
        std::string frac = std::to_string(a % scale);
        frac.insert(0, std::size_t(decimals) - frac.size(), '0');
        out += "." + frac;
    }
    return out;
}

std::string WithUnit(long long v, Unit unit)
{
    switch (unit) {
        case Unit::Hundredths:
            return Decimal(v, 2) + " mm";
        case Unit::Tenths:
            return Decimal(v, 1) + " mm";
        case Unit::Mm:
            return std::to_string(v) + " mm";
        case Unit::Ms:
            return std::to_string(v) + " ms";
        case Unit::Percent:
            return std::to_string(v) + " %";
        case Unit::Tenth:
            return Decimal(v, 1);
        case Unit::None:
            break;
    }
    return std::to_string(v);
}

std::string AsItStands(std::string_view value, std::string_view note)
{
    return Quoted(value) + " (" + std::string(note) + ")";
}

// The word for `key` in a choice list "0=no|1=yes"; empty when there is none.
std::string_view ChoiceWord(std::string_view choices, char key, char sep)
{
    while (!choices.empty()) {
        const std::size_t end = std::min(choices.find(sep), choices.size());
        const std::string_view item = choices.substr(0, end);
        if (item.size() >= 2 && item[0] == key && item[1] == '=') return item.substr(2);
        choices.remove_prefix(std::min(end + 1, choices.size()));
    }
    return {};
}

std::string ChoiceKeys(std::string_view choices, char sep)
{
    std::string keys;
    while (!choices.empty()) {
        const std::size_t end = std::min(choices.find(sep), choices.size());
        if (!keys.empty()) keys += ", ";
        keys += choices.substr(0, 1);
        choices.remove_prefix(std::min(end + 1, choices.size()));
    }
    return keys;
}

std::vector<std::string_view> Split(std::string_view s, char sep)
{
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t at = s.find(sep);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos) break;
        s.remove_prefix(at + 1);
    }
    return parts;
}

// The value text of a configuration record's parameter, by the command's form.
std::string CommandValue(const CommandInfo& info, std::string_view p)
{
    constexpr std::string_view kNotNumber = "not a number";
    long long v = 0;
    switch (info.form) {
        case ParamForm::None:
            return AllDashes(p) ? "" : AsItStands(p, "a parameter where none belongs");
        case ParamForm::Number: {
            const std::string_view digits = LeadingDigits(p);
            if (!ParseDigits(digits, v) || !AllDashes(p.substr(digits.size())))
                return AsItStands(p, kNotNumber);
            return WithUnit(v, info.unit);
        }
        case ParamForm::Signed: {
            // "+" or "-" in front; the shift optimisation writes "0" for a plus.
            if (p.empty() || (p[0] != '+' && p[0] != '-' && p[0] != '0'))
                return AsItStands(p, "no sign in front");
            const std::string_view digits = LeadingDigits(p.substr(1));
            if (!ParseDigits(digits, v) || !AllDashes(p.substr(1 + digits.size())))
                return AsItStands(p, kNotNumber);
            return WithUnit(p[0] == '-' ? -v : v, info.unit);
        }
        case ParamForm::PlusSigned:
        case ParamForm::MaybeMinus: {
            std::string_view rest = p;
            if (info.form == ParamForm::PlusSigned) {
                if (rest.empty() || rest[0] != '+') return AsItStands(p, "no \"+\" in front");
                rest.remove_prefix(1);
            }
            const bool negative = !rest.empty() && rest[0] == '-';
            const std::string_view digits = LeadingDigits(rest.substr(negative ? 1 : 0));
            if (!ParseDigits(digits, v) ||
                !AllDashes(rest.substr(digits.size() + (negative ? 1 : 0))))
                return AsItStands(p, kNotNumber);
            return WithUnit(negative ? -v : v, info.unit);
        }
        case ParamForm::Choice: {
            const std::string_view word =
                p.empty() ? std::string_view{} : ChoiceWord(info.choices, p[0], '|');
            if (word.empty() || !AllDashes(p.substr(1)))
                return AsItStands(p, "not one of " + ChoiceKeys(info.choices, '|'));
            return std::string(word);
        }
        case ParamForm::Digits: {
            const std::vector<std::string_view> names = Split(info.choices, '|');
            if (p.size() < names.size() || !AllDashes(p.substr(names.size())))
                return AsItStands(p, "not " + std::to_string(names.size()) + " digits");
            std::string out;
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (p[i] == '-') continue;  // this setting is not given
                const std::size_t colon = names[i].find(':');
                std::string part;
                if (colon != std::string_view::npos) {
                    part = ChoiceWord(names[i].substr(colon + 1), p[i], ',');
                } else if (IsDigit(p[i])) {
                    part = std::string(names[i]) + " " + p[i];
                }
                if (part.empty())
                    return AsItStands(p, "digit " + std::to_string(i + 1) + " unknown");
                out += (out.empty() ? "" : ", ") + part;
            }
            return out;
        }
        case ParamForm::NumberDigit: {
            // A number of fixed width, filling, then one more digit ("00120--1"),
            // or the number and a trailing digit 0 ("001200--").
            const std::string_view digits = LeadingDigits(p.substr(0, std::size_t(info.width)));
            std::string tail(p.substr(digits.size()));
            std::erase(tail, '-');
            if (digits.size() != std::size_t(info.width) || !ParseDigits(digits, v) ||
                tail.size() > 1 || !std::all_of(tail.begin(), tail.end(), IsDigit))
                return AsItStands(p, kNotNumber);
            return WithUnit(v, info.unit) + (tail.empty() ? "" : ", then " + tail);
        }
        case ParamForm::Text:
            return Quoted(p);
        case ParamForm::PageText: {
            std::string_view rest = p;
            while (!rest.empty() && rest[0] == ' ') rest.remove_prefix(1);
            if (rest.starts_with("PAGE")) {
                rest.remove_prefix(4);
            } else if (rest.starts_with("# ")) {
                rest.remove_prefix(2);
            }
            if (!ParseDigits(rest, v)) return AsItStands(p, kNotNumber);
            return std::to_string(v);
        }
        case ParamForm::Time:
        case ParamForm::Date: {
            long long a = 0, b = 0, c = 0;
            if (p.size() < 6 || !ParseDigits(p.substr(0, 2), a) ||
                !ParseDigits(p.substr(2, 2), b) || !ParseDigits(p.substr(4, 2), c) ||
                !AllDashes(p.substr(6)))
                return AsItStands(p, "not six digits");
            char text[32];
            if (info.form == ParamForm::Time) {
                std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", a, b, c);
            } else {
                std::snprintf(text, sizeof text, "%02lld.%02lld.%04lld", a, b, 2000 + c);
            }
            return text;
        }
    }
    return Quoted(p);
}

std::string Rotation(long long v)
{
    if (v >= 0 && v <= 3) return "rotation " + std::to_string(v * 90) + " degrees";
    return "rotation " + std::to_string(v) + " quarter turns";
}

// One named class parameter of a field record.
std::string NamedValue(const ParamName& name, std::string_view value)
{
    long long v = 0;
    const std::string label(name.name);
    if (!ParseSigned(value, v)) {
        if (name.letter && value.size() == 1 && value[0] >= 'A' && value[0] <= 'Z')
            return label + " " + std::string(value);
        return label + " " + AsItStands(value, "not a number");
    }
    if (name.rotation) return Rotation(v);
    return label + " " + WithUnit(v, name.unit);
}

// "field 1" with the number as the record gives it.
std::string FieldName(std::string_view number)
{
    return "field " + Shown(number);
}

std::string DescribeAm(const Record& r)
{
    std::vector<std::string_view> v = Split(r.param, ';');
    if (v.size() > 1 && v.back().empty()) v.pop_back();  // a closing ";" (MaxiCode, DataBar)
    const std::string field = FieldName(r.number);
    if (v.size() < 4) return field + " " + AsItStands(r.param, "not F1;F2;phantom;type;parameters");
    std::string out = field + " at F1 " + NamedValue({"", Unit::Hundredths}, v[0]).substr(1) +
                      ", F2 " + NamedValue({"", Unit::Hundredths}, v[1]).substr(1) + ", ";
    if (v[2] == "0" || v[2] == "1") {
        out += v[2] == "1" ? "phantom yes" : "phantom no";
    } else {
        out += "phantom " + AsItStands(v[2], "not 0 or 1");
    }
    long long type = 0;
    const bool typeOk = ParseDigits(v[3], type);
    const std::string_view typeName = typeOk ? ObjectTypeName(type) : std::string_view{};
    const std::vector<std::string_view> values(v.begin() + 4, v.end());
    if (typeName.empty()) {
        out += ", object type " + (typeOk ? std::string(v[3]) : Quoted(v[3])) + " (unknown)";
        if (!values.empty()) {
            out += ": values ";
            for (std::size_t i = 0; i < values.size(); ++i)
                out += (i ? ";" : "") + Shown(values[i]);
        }
        return out;
    }
    out += ", " + std::string(typeName);
    const ParamSet& set = ClassParams(type);
    std::string params;
    std::size_t i = 0;
    for (const ParamName& name : set.names) {
        if (i >= values.size()) break;
        if (name.name == "settings") {  // the rest, listed together
            params += (params.empty() ? "" : ", ") + std::string("settings ");
            for (std::size_t k = i; k < values.size(); ++k)
                params += (k > i ? ";" : "") + Shown(values[k]);
            i = values.size();
            break;
        }
        params += (params.empty() ? "" : ", ") + NamedValue(name, values[i++]);
    }
    if (i < values.size()) {
        params += ", further values ";
        for (std::size_t k = i; k < values.size(); ++k)
            params += (k > i ? ";" : "") + Shown(values[k]);
    }
    if (!params.empty()) out += ": " + params;
    if (values.size() < set.required)
        out += " (" + std::to_string(values.size()) + " of its " + std::to_string(set.required) +
               " parameters)";
    return out;
}

// The contents of a field, with the variable-field function it carries.
std::string Contents(std::string_view text)
{
    std::string out = "contents " + Quoted(text);
    const FieldFunction f = FindFieldFunction(text);
    if (!f.token.empty()) {
        out += ", variable field: " + std::string(f.meaning) + " (" +
               std::string(f.token.substr(0, f.token.size() - 1)) + ")";
    }
    return out;
}

std::string DescribeAc(const Record& r)
{
    std::string_view p = r.param;
    std::string out = FieldName(r.number) + " attributes: ";
    if (p.starts_with("NAME=")) {  // the name may hold ";": the rest of the record is the name
        std::string_view name = p.substr(5);
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
            name = name.substr(1, name.size() - 2);
        return out + "name " + Quoted(name);
    }
    static constexpr std::pair<std::string_view, std::string_view> kAttributes[] = {
        {"PH", "print head"},   {"FGND", "white print"}, {"BT", "bearer type"},
        {"BW", "bearer width"}, {"QZ", "quiet zone"},
    };
    bool first = true;
    for (const std::string_view item : Split(p, ';')) {
        out += first ? "" : ", ";
        first = false;
        const std::size_t eq = item.find('=');
        const std::string_view key = item.substr(0, eq);
        const auto* known = std::find_if(
            std::begin(kAttributes), std::end(kAttributes),
            [&](const auto& a) { return eq != std::string_view::npos && a.first == key; });
        long long v = 0;
        if (known == std::end(kAttributes)) {
            out += "unknown attribute " + Quoted(item);
        } else if (!ParseDigits(item.substr(eq + 1), v)) {
            out +=
                std::string(known->second) + " " + AsItStands(item.substr(eq + 1), "not a number");
        } else {
            out += std::string(known->second) + " " + std::to_string(v);
        }
    }
    return out;
}

// A fixed-width number of a standard-protocol record; the text as it stands
// with a note when it is no number.
std::string Fixed(std::string_view p, std::size_t at, std::size_t n, std::string_view unit)
{
    long long v = 0;
    const std::string_view s = at < p.size() ? p.substr(at, n) : std::string_view{};
    if (s.size() != n || !ParseDigits(s, v)) return AsItStands(s, "not a number");
    return std::to_string(v) + (unit.empty() ? "" : " " + std::string(unit));
}

// AB: "%02u%04u-%04u0%01u%02u" (field, Y, X, rotation, type in dots), then
// for a barcode the height in millimetres and eight "-", for text font id,
// height, width (three digits each but the id) and an extra value.
std::string DescribeAb(const Record& r)
{
    const std::string_view p = r.param;
    if (p.size() < 17 || p[6] != '-' || p[11] != '0')
        return "standard field " + AsItStands(p, "not in the form of an AB record");
    long long type = 0, rotation = 0;
    std::string out = "field " + Shown(p.substr(0, 2)) + " at Y " + Fixed(p, 2, 4, "dots") +
                      ", X " + Fixed(p, 7, 4, "dots") + ", ";
    out += ParseDigits(p.substr(12, 1), rotation)
               ? Rotation(rotation)
               : "rotation " + AsItStands(p.substr(12, 1), "not a number");
    const std::string_view typeName =
        ParseDigits(p.substr(13, 2), type) ? ObjectTypeName(type) : std::string_view{};
    out += ", " + (typeName.empty() ? "object type " + AsItStands(p.substr(13, 2), "unknown")
                                    : std::string(typeName));
    if (p.size() == 25 && p[17] == '-' && AllDashes(p.substr(17)))
        return out + ", height " + Fixed(p, 15, 2, "mm");
    if (p.size() == 25) {
        return out + ", font " + Fixed(p, 15, 2, "") + ", height " + Fixed(p, 17, 3, "") +
               ", width " + Fixed(p, 20, 3, "") + ", extra value " + Fixed(p, 23, 2, "");
    }
    return out + ", then " + AsItStands(p.substr(15), "not a barcode height or a font");
}

// C: human-readable line "1"/"0", wide and narrow bar, check digit value.
std::string DescribeC(const Record& r)
{
    const std::string_view p = r.param;
    const std::string field = FieldName(r.number) + " barcode details: ";
    if (p.size() != 6 || (p[0] != '0' && p[0] != '1'))
        return field + AsItStands(p, "not in the form of a C record");
    return field + "human-readable line " + (p[0] == '1' ? "yes" : "no") + ", wide bar " +
           Fixed(p, 1, 2, "") + ", narrow bar " + Fixed(p, 3, 2, "") + ", check digit value " +
           Fixed(p, 5, 1, "");
}

// A of the standard protocol: the empty field pair of endless material,
// "%02u%03u-000-00000000000" with the field number and the label length.
std::string DescribeA(const Record& r)
{
    const std::string_view p = r.param;
    if (p.size() != 21 || p.substr(5) != "-000-00000000000")
        return "standard field " + AsItStands(p, "not in the form of an A record");
    return "empty field " + Shown(p.substr(0, 2)) + ", label length " + Fixed(p, 2, 3, "mm");
}

std::string DescribeField(const Record& r, std::string& name)
{
    const std::string& code = r.code;
    if (code == "AM" || code == "BM" || code == "AC" || code == "BV") {
        name = code + "[" + Shown(r.number) + "]";
        if (code == "AM") return DescribeAm(r);
        if (code == "BM") return FieldName(r.number) + " " + Contents(r.param);
        if (code == "BV") return "field named " + Quoted(r.number) + " " + Contents(r.param);
        return DescribeAc(r);
    }
    if (code == "AB") {
        name = "AB" + Shown(r.param.substr(0, 2));
        return DescribeAb(r);
    }
    if (code == "B") {
        name = "B" + Shown(r.number);
        return FieldName(r.number) + " " + Contents(r.param);
    }
    if (code == "C") {
        name = "C" + Shown(r.number);
        return DescribeC(r);
    }
    if (code == "A") {
        name = "A" + Shown(r.param.substr(0, 2));
        return DescribeA(r);
    }
    if (code == "EE") {
        // "%02u%04u": the gap and the label length in whole millimetres.
        name = "EE";
        if (r.param.size() != 6)
            return "label gap and length " + AsItStands(r.param, "not six digits");
        return "label gap " + Fixed(r.param, 0, 2, "mm") + ", label length " +
               Fixed(r.param, 2, 4, "mm");
    }
    // Framed bytes that are no record the printer knows by its letters: direct
    // text of a field sent without field records, or a raw command.
    name = "?";
    return "framed text (direct text, or a record not known here) " + Quoted(r.param);
}

std::string DescribeGraphic(const Record& r)
{
    // "000", Y and X (six digits each, 1/100 mm) and "1".
    const std::string_view p = r.param;
    std::string out = "graphic, bottom-left corner at Y " +
                      NamedValue({"", Unit::Hundredths}, p.substr(3, 6)).substr(1) + ", X " +
                      NamedValue({"", Unit::Hundredths}, p.substr(9, 6)).substr(1);
    const std::string_view pcx = r.payload;
    if (pcx.size() < kPcxHeader) return out + ", no PCX header";
    const unsigned xMin = Word16(pcx, 4), yMin = Word16(pcx, 6);
    const unsigned xMax = Word16(pcx, 8), yMax = Word16(pcx, 10);
    const unsigned bits = static_cast<unsigned char>(pcx[3]);
    const unsigned planes = static_cast<unsigned char>(pcx[65]);
    out += ": PCX ";
    out += xMax >= xMin ? std::to_string(xMax - xMin + 1)
                        : "(x " + std::to_string(xMin) + ".." + std::to_string(xMax) + ")";
    out += " x ";
    out += yMax >= yMin ? std::to_string(yMax - yMin + 1) + " dots" : "no rows";
    out += ", rows " + std::to_string(yMin) + ".." + std::to_string(yMax) + ", " +
           std::to_string(Word16(pcx, 66)) + " bytes per line";
    std::size_t data = pcx.size() - kPcxHeader;
    if (bits == 8 && planes == 1 && data >= 769) data -= 769;  // the palette behind the data
    out += ", " + std::to_string(data) + " bytes of data";
    if (static_cast<unsigned char>(pcx[0]) != 10) out += " (the header does not begin with 10)";
    if (bits != 1 || planes != 1)
        out +=
            " (" + std::to_string(bits) + " bits per dot, " + std::to_string(planes) + " planes)";
    return out;
}

std::string Describe(const Record& r, std::string& name)
{
    name = r.code;
    switch (r.kind) {
        case RecordKind::Command: {
            const CommandInfo* info = FindCommand(r.code);
            if (!info) return "unknown command " + Shown(r.code) + ", parameter " + Quoted(r.param);
            const std::string value = CommandValue(*info, r.param);
            return std::string(info->meaning) + (value.empty() ? "" : " " + value);
        }
        case RecordKind::Field:
            return DescribeField(r, name);
        case RecordKind::Graphic:
            return DescribeGraphic(r);
        case RecordKind::Line: {
            const std::string& p = r.param;  // row (4), byte offset (3), byte count (3)
            return "raster line, row " + Fixed(p, 0, 4, "") + ", byte offset " +
                   Fixed(p, 4, 3, "") + ", " + Fixed(p, 7, 3, "bytes");
        }
        case RecordKind::LineRle:
            return "compressed raster line at byte offset " + r.param + ", " +
                   std::to_string(r.payload.size()) + " bytes of run-length data";
        case RecordKind::LineFeed:
            return "raster line feed of " + r.param + " rows";
        case RecordKind::LineAbort:
            return "end of the raster lines";
        case RecordKind::Store:
            return "store the following bytes on the memory card as " + Quoted(r.param) + ": " +
                   std::to_string(r.payload.size()) + " bytes";
        case RecordKind::Announce: {
            if (r.param == "----") return "back to the printer's own start and end characters";
            // The reader has checked the four hex digits.
            auto character = [&](std::size_t at) {
                unsigned c = 0;
                std::from_chars(r.param.data() + at, r.param.data() + at + 2, c, 16);
                return "0x" + r.param.substr(at, 2) + " " +
                       Quoted(std::string(1, static_cast<char>(c)));
            };
            return "start and end characters from now on " + character(0) + " and " + character(2);
        }
        case RecordKind::Comment: {
            name = "//";
            std::string_view text = r.param;
            while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
                text.remove_prefix(1);
            while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
                text.remove_suffix(1);
            return Shown(text);
        }
        case RecordKind::LineEnd:
            return {};
        case RecordKind::Text:
            name = "text";
            return "outside records " + Quoted(r.param);
        case RecordKind::Broken:
            if (name.empty()) name = "?";
            return "broken: " + Shown(r.param);
    }
    return {};
}

}  // namespace

void Explain(std::string_view stream, std::ostream& out)
{
    // The offsets take as many hex digits as the stream's size needs, four at least.
    int digits = 4;
    for (std::size_t n = stream.size() >> 16; n != 0; n >>= 4) ++digits;
    out << "# KXPL stream of " << stream.size()
        << " bytes: offset, record, meaning; line ends are not listed\n";
    StreamReader reader(stream);
    Record r;
    while (reader.Next(r)) {
        if (r.kind == RecordKind::LineEnd) continue;
        std::string name;
        const std::string text = Describe(r, name);
        char offset[24];
        std::snprintf(offset, sizeof offset, "0x%0*zX", digits, r.offset);
        if (name.size() < kNameColumn - 1) name.resize(kNameColumn - 1, ' ');
        out << offset << ' ' << name << ' ' << text << '\n';
    }
}

}  // namespace kxview
