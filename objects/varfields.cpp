#include "objects/varfields.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "core/format.h"
#include "core/regvalues.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "objects/kvbb.h"
#include "objects/prnobject.h"

namespace kx {

namespace {

constexpr std::size_t npos = std::string::npos;

template <std::size_t N>
std::u16string_view Bounded(const WCHAR (&s)[N])
{
    std::size_t n = 0;
    while (n < N && s[n]) ++n;
    return {s, n};
}

std::string Ansi(std::u16string_view s)
{
    return plat::WideToMultiByte(plat::kCpAcp, s);
}

// A signed decimal number with an optional sign; anything after the digits
// is ignored, no digits give 0. Kept within +/- 10^12 so that the
// arithmetic below cannot overflow.
long long ToNumber(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        v = std::min(v * 10 + (s[i] - '0'), 1000000000000LL);
    return negative ? -v : v;
}

// The values of a printer function "=XX(a;b;...)" and the place of its
// first ")" (npos when it has none).
std::vector<long long> FunctionValues(const std::string& s, std::size_t* close)
{
    std::vector<long long> values;
    const std::size_t open = s.find('(');
    *close = s.find(')');
    if (open == npos || *close == npos || *close < open) return values;
    std::string_view args(s.data() + open + 1, *close - open - 1);
    for (;;) {
        const std::size_t semi = args.find(';');
        values.push_back(ToNumber(args.substr(0, semi)));
        if (semi == npos) break;
        args.remove_prefix(semi + 1);
    }
    return values;
}

long long Value(const std::vector<long long>& v, std::size_t i)
{
    return i < v.size() ? v[i] : 0;
}

// The string carries its own start value: it does not end in ")" and holds
// no ")[" (a field name right after the function).
bool OwnStartValue(const std::string& s)
{
    return !s.empty() && s.back() != ')' && s.find(")[") == npos;
}

// The next start value after this page: c copies counted from start with
// step and interval, and the pending modified copy count on top.
long long NextStart(long long start, long long step, long long interval,
                    const PlaceholderInputs& in)
{
    if (interval <= 0) interval = 1;
    const long long c = in.dwCopies;
    long long next = c * step / interval - (step != 0 ? c % step : 0) + start;
    if (in.dwNumCopiesMod > 0)
        next += (static_cast<long long>(in.dwNumCopiesMod) - c) * step / interval;
    return next;
}

long long PowerOfTen(int digits)
{
    long long p = 1;
    while (digits-- > 0) p *= 10;
    return p;
}

// Wraps next into the digit count: a rising counter above the largest
// number loses 10^digits, a falling one below zero gains it.
long long WrapDigits(long long next, long long step, int digits)
{
    const long long p = PowerOfTen(digits);
    if (step > 0 && next > p - 1) next -= p;
    if (step <= 0 && next < 0) next += p;
    return next;
}

std::string Padded(long long value, int digits, bool zeros)
{
    const std::string fmt = FormatString(zeros ? "%%0%dd" : "%%%dd", {digits});
    return FormatString(fmt.c_str(), {value});
}

int DigitsOf(long long v)
{
    int d = 1;
    for (v = v < 0 ? -v : v; v >= 10; v /= 10) ++d;
    return d;
}

// Replaces every placeholder ph from the start of text by value; the search
// goes on after the value, so a value holding the placeholder ends it.
void ReplaceAll(std::string& text, const std::string& ph, const std::string& value)
{
    for (std::size_t pos = text.find(ph); pos != npos; pos = text.find(ph, pos + value.size()))
        text.replace(pos, ph.size(), value);
}

// Time and date: the placeholders in the order they stand. Before the first
// one, when text precedes it, the function head of the clock string (up to
// its first ")") is put in front of the text; then, as the text holds a
// clock function, only the format after the head replaces a placeholder.
void TimeAndDate(std::string& text, const std::string& timePh, const std::string& datePh,
                 const PlaceholderInputs& in)
{
    bool headDone = false;
    for (std::size_t from = 0;;) {
        const std::size_t t = text.find(timePh, from);
        const std::size_t d = text.find(datePh, from);
        if (t == npos && d == npos) break;
        const bool isDate = d < t;
        std::size_t pos = isDate ? d : t;
        if (!headDone) {
            headDone = true;
            if (pos > 0) {
                const std::string& clock = text.find(timePh) != npos ? in.time : in.date;
                const std::size_t close = clock.find(')');
                const std::string head = close == npos ? std::string() : clock.substr(0, close + 1);
                text.insert(0, head);
                pos += head.size();
            }
        }
        const std::string& setting = isDate ? in.date : in.time;
        std::string value = setting;
        const std::size_t close = setting.find(')');
        if (text.find("=CL(") != npos && close != npos) value = setting.substr(close + 1);
        text.replace(pos, (isDate ? datePh : timePh).size(), value);
        from = pos + value.size();
    }
}

std::string Numerator(const PlaceholderInputs& in, PlaceholderResult& r)
{
    std::string s = in.num;
    std::size_t close = npos;
    const std::vector<long long> v = FunctionValues(s, &close);
    const long long type = Value(v, 0), mode = Value(v, 1), step = Value(v, 3);
    const int digits = static_cast<int>(std::clamp(Value(v, 2), 1LL, 9LL));
    r.lNumStep = static_cast<LONG>(step);
    r.lNumInterval = static_cast<LONG>(Value(v, 4));
    if (OwnStartValue(s)) {
        r.num.action = StoredStartValue::kDelete;
        return s;
    }
    Trace(u"UNI(ddiTextOutUni):  CheckBuffer_VectorBitmap() Startwert fehlt \r\n");
    std::string start = r.num.bStored ? r.num.value
                        : type == 1   ? std::string(digits - 1, ' ') + "a"
                                      : Padded(0, digits, true);
    s.insert(close == npos ? s.size() : close + 1, start);
    if (type == 0 && (mode == 0 || mode == 3 || mode == 7)) {
        const long long next =
            WrapDigits(NextStart(ToNumber(start), step, Value(v, 4), in), step, digits);
        // Stored with the leading zeros of the digit count, so that the next
        // job can put it after the function as it stands.
        r.num.action = StoredStartValue::kWrite;
        r.num.value = Padded(next, digits, true);
    }
    return s;
}

// The extended numerator "=CC(step;interval;mode;zeros;min;max)start". Its
// digit count is that of the maximum. Without a start value of its own and
// with none stored it starts at the minimum.
std::string ExtNumerator(const PlaceholderInputs& in, PlaceholderResult& r)
{
    std::string s = in.ext;
    std::size_t close = npos;
    const std::vector<long long> v = FunctionValues(s, &close);
    const long long step = Value(v, 0), mode = Value(v, 2), lo = Value(v, 4), hi = Value(v, 5);
    const int digits = std::min(DigitsOf(hi), 9);
    if (OwnStartValue(s)) {
        r.ext.action = StoredStartValue::kDelete;
        return s;
    }
    const long long start = r.ext.bStored ? ToNumber(r.ext.value) : lo;
    s.insert(close == npos ? s.size() : close + 1, Padded(start, digits, Value(v, 3) != 0));
    long long next = NextStart(start, step, Value(v, 1), in);
    if (mode >= 5 && mode <= 7) {
        // Range keeping: the counter runs round within minimum..maximum, a
        // value past one end goes on from the other (as the printer's own
        // counter of these modes does on the label).
        if (hi >= lo && (next > hi || next < lo)) {
            const long long span = hi - lo + 1;
            next = lo + ((next - lo) % span + span) % span;
        }
    } else {
        next = WrapDigits(next, step, digits);
    }
    r.ext.action = StoredStartValue::kWrite;
    r.ext.value = FormatString("%d", {next});
    return s;
}

// The value of a system placeholder and the marker that names its field.
// The domain placeholder is recognised but has no value here: the driver
// host gives the plug-in no domain of its own, and a guessed one (the
// computer name) would print wrong on a domain member. It is removed,
// without a marker, so that no empty named field results.
struct SystemValue {
    const char* name;
    const char* marker;
};
constexpr SystemValue kSystemValues[] = {
    {"pcname", "[=PCN]"},     {"domain", ""},        {"username", ""},
    {"printername", "[=PN]"}, {"systime", "[=SYT]"}, {"sysdate", "[=SYD]"},
};

std::string SystemValueText(std::string_view name, const PlaceholderInputs& in)
{
    if (name == "pcname") return in.computerName;
    if (name == "username") return in.userName;
    if (name == "printername") return in.printerName;
    if (name == "systime")
        return FormatString("%02d:%02d:%02d", {in.now.wHour, in.now.wMinute, in.now.wSecond});
    if (name == "sysdate")
        return FormatString("%02d.%02d.%04d", {in.now.wDay, in.now.wMonth, in.now.wYear});
    return {};
}

void SystemValues(std::string& text, const std::string& sign, const PlaceholderInputs& in)
{
    for (std::size_t from = 0;;) {
        std::size_t pos = npos;
        const SystemValue* found = nullptr;
        for (const SystemValue& sv : kSystemValues) {
            const std::size_t p = text.find("<" + sign + sv.name + ">", from);
            if (p < pos) pos = p, found = &sv;
        }
        if (!found) return;
        const std::size_t end = text.find('>', pos);
        const std::string value = SystemValueText(found->name, in);
        const std::string after = text.substr(end + 1) + found->marker;
        text = text.substr(0, pos) + value + after;
        from = pos + value.size();
    }
}

// The special serial number: the digits after the placeholder are start,
// (step with style 2) and interval. The digit count grows to that of the
// last value the page reaches (start + step * copies / interval), so that
// the printer's counter keeps its leading zeros instead of overflowing.
void SerialNumber(std::string& text, const std::string& sign, const PlaceholderInputs& in,
                  PlaceholderResult& r)
{
    const std::string ph = "<" + sign + "sn>";
    const std::size_t pos = text.find(ph);
    if (pos == npos || in.wSpecNumStyle > 2) return;
    std::string digits;
    for (std::size_t i = pos + ph.size(); i < text.size(); ++i)
        if (text[i] >= '0' && text[i] <= '9') digits += text[i];
    if (digits.empty()) {
        digits = "962";
        r.bSnWarning = true;
    }
    unsigned interval = digits.back() - '0';
    if (interval == 0) interval = 1;
    digits.pop_back();
    unsigned step = 1;
    if (in.wSpecNumStyle == 2 && !digits.empty()) {
        step = digits.back() - '0';
        digits.pop_back();
    }
    // Start digits beyond nine are dropped from the front: the printer's
    // counters hold nine digits.
    if (digits.size() > 9) digits.erase(0, digits.size() - 9);
    const long long start = ToNumber(digits);
    const long long end = start + static_cast<long long>(step) * in.dwCopies / interval;
    const int count = std::min(9, std::max<int>(std::max<int>(digits.size(), 1), DigitsOf(end)));
    const std::string startText = Padded(start, count, true);
    const std::string field =
        in.wSpecNumStyle == 0
            ? FormatString("=CN(0;0;%u;+1;%u)%s", {count, interval, startText})
            : FormatString("=CC(+%u;%u;0;0;0;999999999)%s", {step, interval, startText});
    text = text.substr(0, pos) + field;
}

}  // namespace

WCHAR PlaceholderSign(const KX_DEVMODE& dm)
{
    const std::u16string_view sign = Bounded(dm.szIdentSign);
    if (sign.empty() || sign.find(u'\u00A7') != std::u16string_view::npos) return u'\u00A7';
    return sign[0];
}

void ExpandPlaceholders(std::string& text, const PlaceholderInputs& in, PlaceholderResult& r)
{
    const std::string& sign = in.sign;
    auto ph = [&sign](const char* name) { return "<" + sign + name + ">"; };
    const std::string timePh = ph("time"), datePh = ph("date"), numPh = ph("num"),
                      extPh = ph("ext"), aux1Ph = ph("aux1"), aux2Ph = ph("aux2"),
                      userPh = ph("user"), linkPh = ph("link"), emptyPh = ph("");
    bool any = false;
    for (const std::string* p :
         {&timePh, &datePh, &numPh, &extPh, &aux1Ph, &aux2Ph, &userPh, &linkPh, &emptyPh})
        any = any || text.find(*p) != npos;
    if (any) {
        TimeAndDate(text, timePh, datePh, in);
        if (text.find(emptyPh) != npos) {
            ReplaceAll(text, emptyPh, "");
            r.bPhantom = TRUE;
        }
        if (text.find(numPh) != npos) {
            const std::string num = Numerator(in, r);
            Trace(
                u"UNI(ddiTextOutUni):  CheckBuffer_VectorBitmap() Nummerator-String |%s| wird "
                u"gesendet \r\n",
                num);
            ReplaceAll(text, numPh, num);
            r.bNumSent = true;
        }
        if (text.find(extPh) != npos) ReplaceAll(text, extPh, ExtNumerator(in, r));
        ReplaceAll(text, userPh, in.user);
        // The chain field is the link string as it stands (the chain of
        // fields is not built from it).
        ReplaceAll(text, linkPh, in.link);
        ReplaceAll(text, aux1Ph, in.aux1);
        ReplaceAll(text, aux2Ph, in.aux2);
    }
    SystemValues(text, sign, in);
    SerialNumber(text, sign, in, r);
}

namespace {

// The start value stored as text under the user's key. A value stored as a
// DWORD counts as its decimal text, so a number entered by hand still counts.
void ReadStartValue(const WCHAR* key, const char16_t* name, StoredStartValue& v)
{
    std::uint32_t type = 0;
    WCHAR buf[64] = {};
    std::uint32_t cb = sizeof(buf) - sizeof(WCHAR);
    const std::uint32_t err =
        plat::RegGetValue(plat::Hive::CurrentUser, key, name, &type, buf, &cb);
    if (err == 2) return;  // nothing stored
    if (err != 0) {
        Trace(u"UNI(ddiTextOutUni):  CheckBuffer_VectorBitmap() HCU %s ERROR %d \r\n", name, err);
        return;
    }
    v.bStored = true;
    if (type == plat::kRegDword && cb == 4) {
        std::uint32_t d = 0;
        std::memcpy(&d, buf, 4);
        v.value = FormatString("%u", {d});
    } else {
        v.value = Ansi(std::u16string_view(buf, cb / sizeof(WCHAR))
                           .substr(0, std::u16string_view(buf).size()));
    }
}

void StoreStartValue(const WCHAR* key, const char16_t* name, const StoredStartValue& v)
{
    std::uint32_t err = 0;
    if (v.action == StoredStartValue::kDelete) {
        err = plat::RegDeleteValue(plat::Hive::CurrentUser, key, name);
        if (err == 2) err = 0;
    } else if (v.action == StoredStartValue::kWrite) {
        const std::u16string w = plat::MultiByteToWide(plat::kCpAcp, v.value);
        err = plat::RegSetValue(plat::Hive::CurrentUser, key, name, plat::kRegSz, w.c_str(),
                                static_cast<std::uint32_t>((w.size() + 1) * sizeof(WCHAR)));
    }
    if (err != 0)
        Trace(u"UNI(ddiTextOutUni):  CheckBuffer_VectorBitmap() HCU %s ERROR %d \r\n", name, err);
}

PlaceholderInputs Inputs(OEM_PDEV* pOemPDev, const KX_DEVMODE& dm)
{
    const KX_POP& op = *pOemPDev->pOp;
    PlaceholderInputs in;
    const WCHAR sign = PlaceholderSign(dm);
    in.sign = Ansi(std::u16string_view(&sign, 1));
    in.time = Ansi(Bounded(dm.szTime));
    in.date = Ansi(Bounded(dm.szDate));
    in.num = Ansi(Bounded(dm.szNumString));
    in.ext = Ansi(Bounded(dm.szExtNumString));
    in.aux1 = Ansi(Bounded(dm.szAux1String));
    in.aux2 = Ansi(Bounded(dm.szAux2String));
    in.user = Ansi(Bounded(dm.szUserString));
    in.link = Ansi(Bounded(dm.szLinkString));
    in.wSpecNumStyle = dm.wSpecNumStyle;
    if (op.pDruckDaten) {
        in.dwCopies = op.pDruckDaten->dwCopies;
        in.dwNumCopiesMod = op.pDruckDaten->dwNumCopiesMod;
    }
    if (op.pTreiberPfadDatei) in.printerName = Ansi(Bounded(op.pTreiberPfadDatei->wcPrinterName));
    return in;
}

// The placeholders of text replaced, the start values kept; false when the
// work buffers could not be had (the text then goes out as collected).
bool Expand(OEM_PDEV* pOemPDev, const KX_DEVMODE& dm, std::string& text, DWORD& bPhantom)
{
    try {
        PlaceholderInputs in = Inputs(pOemPDev, dm);
        const std::string sign = in.sign;
        auto has = [&](const char* name) { return text.find("<" + sign + name) != npos; };
        if (has("username>")) in.userName = Ansi(plat::GetUserName());
        if (has("pcname>")) in.computerName = Ansi(plat::GetComputerName());
        if (has("systime>") || has("sysdate>")) in.now = plat::GetLocalTime();
        const TreiberPfadDatei* f = pOemPDev->pOp->pTreiberPfadDatei;
        PlaceholderResult r;
        if (f && has("num>")) ReadStartValue(f->szRegKey, reg::kNumStartValue, r.num);
        if (f && has("ext>")) ReadStartValue(f->szRegKey, reg::kExtNumStartValue, r.ext);
        std::string out = text;
        ExpandPlaceholders(out, in, r);
        if (f) {
            StoreStartValue(f->szRegKey, reg::kNumStartValue, r.num);
            StoreStartValue(f->szRegKey, reg::kExtNumStartValue, r.ext);
        }
        if (r.bNumSent && pOemPDev->pOp->pDruckDaten) {
            pOemPDev->pOp->pDruckDaten->lNumStep = r.lNumStep;
            pOemPDev->pOp->pDruckDaten->lNumInterval = r.lNumInterval;
        }
        if (r.bSnWarning)
            WriteJobLog(pOemPDev,
                        u"\t\tWarning: <$sn> values missing. Replaced with <\u00A7sn>962 as an "
                        u"example.");
        if (r.bPhantom) bPhantom = TRUE;
        text.swap(out);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

void CheckBuffer_VectorBitmap(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode, int iSelector)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !op->pKVBBBuffer) {
        Trace(u"UNI(ddiTextOutUni):  pOemPDev->pOp->pKVBBBuffer nicht gesetzt \r\n");
        return;
    }
    if (!pKX_Devmode) return;
    KVBBBuffer& kv = *op->pKVBBBuffer;
    TextCollection& coll = iSelector == 1 ? kv.bitmap : kv.vektor;
    const DWORD area = iSelector == 1 ? kBitmapAreaSize : kVektorAreaSize;
    if (!coll.pText || coll.dwSize == 0) return;
    coll.pText[std::min<DWORD>(coll.dwSize, area - 1)] = '\0';
    BOOL sent = FALSE;
    try {
        std::string text(coll.pText);
        if (!Expand(pOemPDev, *pKX_Devmode, text, kv.bPhantom))
            Trace(u"UNI(ddiTextOutUni):  CheckBuffer_VectorBitmap() kein Speicher \r\n");
        // The field keeps the colour its first run was drawn in.
        if (!text.empty())
            sent = DrawGlyphs(pOemPDev, text.c_str(), coll.ptPos, &coll.desc, pKX_Devmode, TRUE,
                              kv.bPhantom);
    } catch (const std::bad_alloc&) {
        sent = DrawGlyphs(pOemPDev, coll.pText, coll.ptPos, &coll.desc, pKX_Devmode, TRUE,
                          kv.bPhantom);
    }
    kv.bPhantom = FALSE;
    Trace(sent ? u"UNI(ddiTextOutUni):  CheckBuffer_VectorBitmap() String gesendet \r\n"
               : u"UNI(ddiTextOutUni):  CheckBuffer_VectorBitmap() String nicht gesendet \r\n");
    coll.dwSize = 0;
    std::memset(coll.pText, 0, area);
}

}  // namespace kx
