// The field records read as the printer reads them.
//
// Extended protocol, AM[n]: F1;F2;phantom;type; then by class
//   printer font (types 1, 2): rotation;font id;zoom y;zoom x;character distance
//   vector font (types 4, 6):  rotation;font id;height;width;extra (1/100 mm)
//   barcode (type = barcode id): rotation;height (1/100 mm);wide bar;narrow bar;
//   check digit;human-readable line[;ratio or foot point], and for the 2-D codes
//   their own value lists (barcodedraw.cpp says how each is read).
// BM[n] holds the contents, AC[n] attributes (NAME, PH, FGND, BT/BW/QZ).
// Standard protocol: AB holds field number, y and x in dots, rotation and type,
// then the font id and zooms (text) or the height in millimetres (barcode);
// B the contents; C the human-readable switch, bar widths and check digit.
#include <algorithm>
#include <charconv>
#include <cstdio>

#include "viewer/fielddesc.h"

namespace kxview {
namespace {

// Positions beyond a metre are not on any label; they are clamped so that
// the conversions to dots cannot overflow.
constexpr long kMaxPosition = 100000;

bool ToLong(std::string_view s, long lo, long hi, long& out)
{
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty() || s.size() > 12) return false;
    long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return false;
    out = std::clamp(v, lo, hi);
    return true;
}

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> out(1);
    for (char c : s) {
        if (c == sep)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

bool IsTextType(int type)
{
    return type == 1 || type == 2 || type == 4 || type == 6;
}

// A value of a field record by index; `what` names it in the report.
struct Values {
    const std::vector<std::string>& v;
    const FieldDescription& f;
    Report& report;
    long Get(std::size_t i, long lo, long hi, long dflt, const char* what) const
    {
        long out = dflt;
        if (i >= v.size() || v[i].empty()) return dflt;
        if (!ToLong(v[i], -2000000000L, 2000000000L, out)) {
            report.Add(f.offset, "field " + f.number + ": " + what + " \"" + v[i] +
                                     "\" is no number, " + std::to_string(dflt) + " taken");
            return dflt;
        }
        if (out < lo || out > hi) {
            report.Add(f.offset, "field " + f.number + ": " + what + " " + v[i] + " out of range " +
                                     std::to_string(lo) + ".." + std::to_string(hi) + ", clamped");
            out = std::clamp(out, lo, hi);
        }
        return out;
    }
};

void ReadAttributes(FieldDescription& f, const std::string& param, std::size_t offset,
                    Report& report)
{
    for (const std::string& item : Split(param, ';')) {
        if (item.empty()) continue;
        const std::size_t eq = item.find('=');
        const std::string key = item.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
        long n = 0;
        const bool num = ToLong(value, 0, 100000, n);
        if (key == "NAME") {
            f.name = value.size() >= 2 && value.front() == '"' ? value.substr(1, value.size() - 2)
                                                               : value;
        } else if (key == "PH") {
            // The print head: a second head prints the same dots in another
            // ribbon colour; a one-bit picture cannot tell them apart.
        } else if (key == "FGND" && num) {
            f.white = n == 1;
        } else if (key == "BT" && num) {
            f.bearerType = int(n);
        } else if (key == "BW" && num) {
            f.bearerWidth = int(std::min(n, 1000L));
        } else if (key == "QZ" && num) {
            f.quietZone = int(std::min(n, 5000L));
        } else {
            report.Add(offset, "field " + f.number + ": attribute \"" + item + "\" ignored");
        }
    }
}

void ReadExtended(FieldDescription& f, const Record& am, const Geometry& g, Report& report)
{
    const std::vector<std::string> v = Split(am.param, ';');
    const Values val{v, f, report};
    const long f1 = val.Get(0, 0, kMaxPosition, 0, "F1");
    const long f2 = val.Get(1, 0, kMaxPosition, 0, "F2");
    f.x = g.XFromRight(f2);
    f.y = g.YFromTop(f1);
    f.phantom = val.Get(2, 0, 1, 0, "phantom flag") == 1;
    f.type = int(val.Get(3, 0, 999, 0, "object type"));
    // The printer turns by the rotation modulo four, whatever the writer sent
    // (2-D codes in manual mode may carry twice the rotation).
    f.rotation = int(((val.Get(4, -1000, 1000, 0, "rotation") % 4) + 4) % 4);
    if (IsTextType(f.type)) {
        f.kind = FieldKind::Text;
        f.vector = f.type >= 4;
        f.inverse = f.type == 2 || f.type == 6;
        f.fontId = int(val.Get(5, 0, 999, f.vector ? 3 : 1, "font id"));
        if (f.vector) {
            // Heights and widths in 1/100 mm: half a millimetre to 20 cm.
            f.sizeY = val.Get(6, 50, 20000, 300, "font height");
            f.sizeX = val.Get(7, 50, 20000, f.sizeY, "font width");
        } else {
            f.sizeY = val.Get(6, 1, 20, 1, "zoom y");
            f.sizeX = val.Get(7, 1, 20, 1, "zoom x");
        }
        return;
    }
    f.kind = FieldKind::Barcode;
    f.values.assign(v.begin() + std::min<std::size_t>(v.size(), 5), v.end());
    // The 2-D codes have value lists of their own (barcodedraw.cpp).
    static const int kOwnLists[] = {50, 51, 52, 53, 54, 57, 59, 61};
    if (std::find(std::begin(kOwnLists), std::end(kOwnLists), f.type) != std::end(kOwnLists))
        return;
    f.heightHundredths = val.Get(5, 0, 50000, 1000, "barcode height");
    f.thick = int(val.Get(6, 0, 99, 0, "wide bar"));
    f.thin = int(val.Get(7, 0, 99, 0, "narrow bar"));
    f.check = int(val.Get(8, 0, 9, 0, "check digit mode"));
    f.humanReadable = val.Get(9, 0, 9, 0, "human-readable line") != 0;
}

void ReadStandard(FieldDescription& f, const Record& ab, const Geometry& g, Report& report)
{
    // "NNyyyy-xxxx0rTT" then "FFyyyxxxEE" (text) or "HH--------" (barcode).
    const std::string& p = ab.param;
    long y = 0, x = 0, rot = 0, type = 0;
    if (p.size() < 15 || p[6] != '-' || !ToLong(p.substr(2, 4), 0, 9999, y) ||
        !ToLong(p.substr(7, 4), 0, 9999, x) || !ToLong(p.substr(12, 1), 0, 9, rot) ||
        !ToLong(p.substr(13, 2), 0, 99, type)) {
        report.Add(ab.offset, "field " + f.number + ": AB record \"" + p + "\" not understood");
        return;
    }
    f.x = g.WidthDots() - int(x);
    f.y = int(y);
    f.rotation = int(rot % 4);
    f.type = int(type);
    long a = 0, b = 1, c = 1;
    if (IsTextType(f.type)) {
        f.kind = FieldKind::Text;
        f.vector = f.type >= 4;
        f.inverse = f.type == 2 || f.type == 6;
        if (p.size() >= 17 && ToLong(p.substr(15, 2), 0, 99, a)) f.fontId = int(a);
        if (p.size() >= 20 && ToLong(p.substr(17, 3), 1, 20, b)) f.sizeY = b;
        if (p.size() >= 23 && ToLong(p.substr(20, 3), 1, 20, c)) f.sizeX = c;
        f.sizeY = std::max(1L, f.sizeY);
        f.sizeX = std::max(1L, f.sizeX);
        if (f.vector) {
            // The standard protocol has no vector sizes: the zooms count as
            // millimetres of height.
            f.sizeY *= 100;
            f.sizeX *= 100;
        }
        return;
    }
    f.kind = FieldKind::Barcode;
    if (p.size() >= 17 && ToLong(p.substr(15, 2), 0, 99, a)) f.heightHundredths = a * 100;
}

// C record of the standard protocol: human-readable, wide, narrow, check digit.
void ReadStandardC(FieldDescription& f, const std::string& p)
{
    long h = 0, thick = 0, thin = 0, check = 0;
    if (p.size() >= 6 && ToLong(p.substr(0, 1), 0, 9, h) && ToLong(p.substr(1, 2), 0, 99, thick) &&
        ToLong(p.substr(3, 2), 0, 99, thin) && ToLong(p.substr(5, 1), 0, 9, check)) {
        f.humanReadable = h != 0;
        f.thick = int(thick);
        f.thin = int(thin);
        f.check = int(check);
    }
}

}  // namespace

std::vector<FieldDescription> ReadFieldDescriptions(const Label& label, Report& report)
{
    std::vector<FieldDescription> fields;
    for (const FieldRecords& fr : label.fields) {
        FieldDescription f;
        f.number = fr.number;
        f.offset = fr.records.empty() ? label.firstOffset : fr.records.front().offset;
        bool placed = false, contents = false;
        for (const Record& r : fr.records) {
            if (r.code == "AM" || r.code == "AB") {
                if (placed)
                    report.Add(r.offset, "field " + f.number + ": a second " + r.code +
                                             " record replaces the first");
                f.offset = r.offset;
                f.values.clear();
                (r.code == "AM" ? ReadExtended : ReadStandard)(f, r, label.geometry, report);
                placed = true;
            } else if (r.code == "BM" || r.code == "B") {
                f.raw = r.param;
                contents = true;
            } else if (r.code == "AC") {
                ReadAttributes(f, r.param, r.offset, report);
            } else if (r.code == "C") {
                ReadStandardC(f, r.param);
            } else if (r.code == "A") {
                // A field of the label's length (endless material): it
                // reserves room and prints nothing by itself.
                placed = true;
            }
        }
        if (!placed) {
            report.Add(f.offset, "field " + f.number + ": no position record (AM/AB), not drawn");
            f.kind = FieldKind::Unknown;
        } else if (!contents && f.kind != FieldKind::Unknown) {
            report.Add(f.offset, "field " + f.number + ": no contents record (BM/B), not drawn");
            f.kind = FieldKind::Unknown;
        }
        fields.push_back(std::move(f));
    }
    std::vector<std::pair<std::string, std::string>> byNumber;
    for (const FieldDescription& f : fields) byNumber.emplace_back(f.number, f.raw);
    for (FieldDescription& f : fields) f.text = ShownText(f.raw, byNumber);
    return fields;
}

namespace {

// The sample instant shown for the printer's clock fields: fixed, so that a
// picture of a stream is the same every time it is drawn.
struct SampleClock {
    const char* year = "2025";
    const char* month = "03";
    const char* day = "14";
    const char* hour = "11";
    const char* minute = "02";
    const char* second = "10";
};

// "<DD.MO.YYYY>" and the like: the tokens inside angle brackets replaced by
// the sample instant, the brackets dropped; text outside them kept.
std::string ClockFormat(const std::string& format)
{
    static const SampleClock clock;
    const std::pair<const char*, const char*> tokens[] = {
        {"YYYY", clock.year}, {"YY", clock.year + 2}, {"MO", clock.month}, {"DD", clock.day},
        {"HH", clock.hour},   {"MI", clock.minute},   {"SS", clock.second}};
    std::string out;
    bool inside = false;
    for (std::size_t i = 0; i < format.size();) {
        if (format[i] == '<' || format[i] == '>') {
            inside = format[i] == '<';
            ++i;
            continue;
        }
        bool done = false;
        if (inside) {
            for (const auto& [token, value] : tokens) {
                if (format.compare(i, std::char_traits<char>::length(token), token) == 0) {
                    out += value;
                    i += std::char_traits<char>::length(token);
                    done = true;
                    break;
                }
            }
        }
        if (!done) out += format[i++];
    }
    return out;
}

// The text between angle brackets (a default value the printer shows), or the
// text itself when it has none.
std::string Bracketed(const std::string& s)
{
    const std::size_t open = s.find('<'), close = s.rfind('>');
    if (open == std::string::npos || close == std::string::npos || close < open) return s;
    return s.substr(open + 1, close - open - 1);
}

std::string Unquoted(const std::string& s)
{
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

}  // namespace

std::string ShownText(const std::string& raw,
                      const std::vector<std::pair<std::string, std::string>>& byNumber)
{
    // A function: "=", two capitals, "(" arguments ")" and the rest.
    if (raw.size() < 5 || raw[0] != '=' || raw[3] != '(' || raw[1] < 'A' || raw[1] > 'Z' ||
        raw[2] < 'A' || raw[2] > 'Z')
        return raw;
    std::size_t close = std::string::npos;
    bool quoted = false;
    for (std::size_t i = 4; i < raw.size(); ++i) {
        if (raw[i] == '"') quoted = !quoted;
        if (raw[i] == ')' && !quoted) {
            close = i;
            break;
        }
    }
    if (close == std::string::npos) return raw;
    const std::string name = raw.substr(1, 2);
    const std::string rest = raw.substr(close + 1);
    // Arguments split at ";" outside quotes.
    std::vector<std::string> args(1);
    quoted = false;
    for (std::size_t i = 4; i < close; ++i) {
        if (raw[i] == '"') quoted = !quoted;
        if (raw[i] == ';' && !quoted)
            args.emplace_back();
        else
            args.back() += raw[i];
    }
    long n = 0;
    if (name == "CN" || name == "CC") {
        // Counters show their start value; without one the first value the
        // printer would count from: zeros of the digit count (CN) or the
        // minimum (CC).
        if (!rest.empty()) return rest;
        if (name == "CN" && args.size() > 2 && ToLong(args[2], 1, 20, n))
            return std::string(std::size_t(n), '0');
        if (name == "CC" && args.size() > 4) return args[4];
        return "0";
    }
    if (name == "CL") return ClockFormat(rest);
    if (name == "SC") {
        // A chain of quoted texts and the contents of other fields by number;
        // a field that refers to itself or to no field adds nothing.
        std::string out;
        for (const std::string& a : args) {
            if (!a.empty() && a.front() == '"') {
                out += Unquoted(a);
                continue;
            }
            for (const auto& [number, contents] : byNumber) {
                long want = 0, have = 0;
                if (ToLong(a, 0, 9999, want) && ToLong(number, 0, 9999, have) && want == have &&
                    contents != raw)
                    out += contents.rfind("=SC(", 0) == 0 ? "" : ShownText(contents, {});
            }
        }
        return out + rest;
    }
    // Entries at the printer ("=UG(", "=UM(") and the rest: the default value
    // between angle brackets, or what follows the function.
    return Bracketed(rest);
}

}  // namespace kxview
