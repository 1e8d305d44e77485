#include "core/format.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "platform/codepages.h"

namespace kx {

namespace {

// Output into a bounded buffer; remembers whether anything was cut.
template <class C>
struct Sink {
    C* buf;
    std::size_t cap;  // characters available for text (terminator excluded)
    std::size_t n = 0;
    bool cut = false;
    std::basic_string<C>* grow = nullptr;  // unbounded mode

    void put(C c)
    {
        if (grow) {
            grow->push_back(c);
        } else if (n < cap) {
            buf[n++] = c;
        } else {
            cut = true;
        }
    }
    void put(const C* s, std::size_t len)
    {
        for (std::size_t i = 0; i < len; ++i) put(s[i]);
    }
    void pad(C c, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) put(c);
    }
};

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = -1;
    int prec = -1;
    int shortness = 0;  // 1 = h, 2 = hh
    char conv = 0;
};

template <class C>
C Widen(char c)
{
    return static_cast<C>(static_cast<unsigned char>(c));
}

// Writes body (already converted to the sink's characters) with prefix and
// padding according to the spec.
template <class C>
void Emit(Sink<C>& out, const Spec& sp, std::string_view prefix, const std::basic_string<C>& body,
          bool numeric)
{
    std::size_t len = prefix.size() + body.size();
    std::size_t padCount = (sp.width > 0 && static_cast<std::size_t>(sp.width) > len)
                               ? static_cast<std::size_t>(sp.width) - len
                               : 0;
    bool zeroPad = numeric && sp.zero && !sp.left;
    if (!sp.left && !zeroPad) out.pad(Widen<C>(' '), padCount);
    for (char c : prefix) out.put(Widen<C>(c));
    if (zeroPad) out.pad(Widen<C>('0'), padCount);
    out.put(body.data(), body.size());
    if (sp.left) out.pad(Widen<C>(' '), padCount);
}

template <class C>
std::basic_string<C> FromAscii(std::string_view s)
{
    std::basic_string<C> r;
    r.reserve(s.size());
    for (char c : s) r.push_back(Widen<C>(c));
    return r;
}

template <class C>
void EmitInteger(Sink<C>& out, const Spec& sp, bool negative, std::uint64_t magnitude)
{
    int base = 10;
    bool upper = false;
    switch (sp.conv) {
        case 'x':
            base = 16;
            break;
        case 'X':
            base = 16;
            upper = true;
            break;
        case 'o':
            base = 8;
            break;
        default:
            break;
    }
    char digits[32];
    auto res = std::to_chars(digits, digits + sizeof(digits), magnitude, base);
    std::string num(digits, res.ptr);
    if (upper)
        for (char& c : num)
            if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    if (sp.prec >= 0) {
        if (sp.prec == 0 && magnitude == 0) num.clear();
        if (num.size() < static_cast<std::size_t>(sp.prec))
            num.insert(0, static_cast<std::size_t>(sp.prec) - num.size(), '0');
    }
    std::string prefix;
    bool isSigned = sp.conv == 'd' || sp.conv == 'i';
    if (negative) {
        prefix = "-";
    } else if (isSigned && sp.plus) {
        prefix = "+";
    } else if (isSigned && sp.space) {
        prefix = " ";
    }
    if (sp.alt && magnitude != 0) {
        if (base == 16) prefix += upper ? "0X" : "0x";
        if (base == 8 && (num.empty() || num[0] != '0')) num.insert(0, 1, '0');
    }
    Spec s2 = sp;
    if (sp.prec >= 0) s2.zero = false;  // C: a precision disables the zero flag
    Emit(out, s2, prefix, FromAscii<C>(num), true);
}

template <class C>
void EmitDouble(Sink<C>& out, const Spec& sp, double v)
{
    if (v != v) {
        Emit(out, sp, "", FromAscii<C>(sp.conv >= 'a' ? "nan" : "NAN"), false);
        return;
    }
    bool negative = std::signbit(v);
    double mag = negative ? -v : v;
    if (std::isinf(mag)) {
        Emit(out, sp, negative ? "-" : (sp.plus ? "+" : ""),
             FromAscii<C>(sp.conv >= 'a' ? "inf" : "INF"), false);
        return;
    }
    int prec = sp.prec < 0 ? 6 : sp.prec;
    char tmp[400];
    std::chars_format fmt = std::chars_format::fixed;
    char lc = static_cast<char>(sp.conv | 0x20);
    if (lc == 'e') fmt = std::chars_format::scientific;
    if (lc == 'g') fmt = std::chars_format::general;
    if (lc == 'g' && prec == 0) prec = 1;
    std::to_chars_result res = std::to_chars(tmp, tmp + sizeof(tmp), mag, fmt, prec);
    if (res.ec != std::errc()) {
        Emit(out, sp, "", FromAscii<C>("?"), false);
        return;
    }
    std::string num(tmp, res.ptr);
    // C writes exponents with at least two digits ("1e+05"); to_chars does too.
    if (sp.alt && num.find('.') == std::string::npos && lc == 'f') num += '.';
    if (sp.conv == 'E' || sp.conv == 'G') {
        for (char& c : num)
            if (c == 'e') c = 'E';
    }
    const char* prefix = negative ? "-" : (sp.plus ? "+" : (sp.space ? " " : ""));
    Emit(out, sp, prefix, FromAscii<C>(num), true);
}

template <class C>
std::basic_string<C> StringBody(const FmtArg& a, int prec)
{
    std::basic_string<C> r;
    std::size_t limit = prec >= 0 ? static_cast<std::size_t>(prec) : SIZE_MAX;
    if (a.kind == FmtArg::Kind::Str) {
        const char* s = a.s ? a.s : "(null)";
        std::size_t len = a.s ? a.len : 6;
        for (std::size_t i = 0; i < len && r.size() < limit && s[i]; ++i) {
            if constexpr (sizeof(C) == 1) {
                r.push_back(s[i]);
            } else {
                r.push_back(Cp1252ToUnicode(static_cast<unsigned char>(s[i])));
            }
        }
    } else {
        static const char16_t kNull[] = u"(null)";
        const char16_t* s = a.ws ? a.ws : kNull;
        std::size_t len = a.ws ? a.len : 6;
        for (std::size_t i = 0; i < len && r.size() < limit && s[i]; ++i) {
            if constexpr (sizeof(C) == 1) {
                r.push_back(UnicodeToCp1252(s[i]));
            } else {
                r.push_back(s[i]);
            }
        }
    }
    return r;
}

template <class C>
void EmitArg(Sink<C>& out, Spec sp, const FmtArg* a)
{
    if (!a) return;  // a missing argument prints nothing
    using K = FmtArg::Kind;
    char conv = sp.conv;
    bool wantsString = conv == 's' || conv == 'S';
    bool wantsChar = conv == 'c' || conv == 'C';
    bool wantsFloat =
        conv == 'f' || conv == 'F' || conv == 'e' || conv == 'E' || conv == 'g' || conv == 'G';
    if (a->kind == K::Str || a->kind == K::WStr) {
        Spec s2 = sp;
        if (!wantsString) s2.prec = -1;
        Emit(out, s2, "", StringBody<C>(*a, s2.prec), false);
        return;
    }
    if (wantsChar && (a->kind == K::Char || a->kind == K::Int || a->kind == K::UInt)) {
        std::basic_string<C> body;
        std::uint32_t code = static_cast<std::uint32_t>(a->u);
        if constexpr (sizeof(C) == 1) {
            body.push_back(static_cast<char>(code <= 0xFF ? code : '?'));
        } else {
            body.push_back(static_cast<char16_t>(code));
        }
        Emit(out, sp, "", body, false);
        return;
    }
    if (a->kind == K::Double) {
        if (!wantsFloat) {
            sp.conv = 'f';
            sp.prec = sp.prec < 0 ? 6 : sp.prec;
        }
        EmitDouble(out, sp, a->d);
        return;
    }
    if (a->kind == K::Ptr) {
        if (conv == 'p' || wantsString || wantsChar || wantsFloat) {
            sp.conv = 'X';
            sp.prec = static_cast<int>(sizeof(void*) * 2);
        }
        EmitInteger(out, sp, false, reinterpret_cast<std::uintptr_t>(a->p));
        return;
    }
    // Integers (and characters given to a numeric conversion).
    if (wantsFloat) {
        double v = a->kind == K::UInt ? static_cast<double>(a->u) : static_cast<double>(a->i);
        EmitDouble(out, sp, v);
        return;
    }
    if (wantsString || wantsChar || conv == 'p') sp.conv = a->kind == K::UInt ? 'u' : 'd';
    bool isSigned = sp.conv == 'd' || sp.conv == 'i';
    std::int64_t sv = a->i;
    std::uint64_t uv = a->u;
    if (sp.shortness == 1) {
        sv = static_cast<std::int16_t>(sv);
        uv = static_cast<std::uint16_t>(uv);
    } else if (sp.shortness == 2) {
        sv = static_cast<std::int8_t>(sv);
        uv = static_cast<std::uint8_t>(uv);
    }
    if (isSigned) {
        bool neg = (a->kind == K::UInt && sp.shortness == 0) ? false : sv < 0;
        std::uint64_t mag =
            neg ? (0 - static_cast<std::uint64_t>(sv))
                : (a->kind == K::UInt && sp.shortness == 0 ? uv : static_cast<std::uint64_t>(sv));
        EmitInteger(out, sp, neg, mag);
    } else {
        // Unsigned conversions of a negative value show its two's complement
        // in 32 bits (or 64 when the value does not fit 32 bits), as Windows'
        // printf does for int and __int64.
        std::uint64_t v = uv;
        if (a->kind != K::UInt && sp.shortness == 0 && sv < 0 && sv >= INT32_MIN)
            v = static_cast<std::uint32_t>(static_cast<std::int32_t>(sv));
        EmitInteger(out, sp, false, v);
    }
}

template <class C>
void Run(Sink<C>& out, const C* fmt, FmtArgs args)
{
    const FmtArg* next = args.begin();
    auto take = [&]() -> const FmtArg* { return next != args.end() ? next++ : nullptr; };
    if (!fmt) return;
    for (const C* p = fmt; *p;) {
        if (*p != C('%')) {
            out.put(*p++);
            continue;
        }
        const C* start = p++;
        if (*p == C('%')) {
            out.put(*p++);
            continue;
        }
        Spec sp;
        for (;; ++p) {
            if (*p == C('-'))
                sp.left = true;
            else if (*p == C('+'))
                sp.plus = true;
            else if (*p == C(' '))
                sp.space = true;
            else if (*p == C('#'))
                sp.alt = true;
            else if (*p == C('0'))
                sp.zero = true;
            else
                break;
        }
        if (*p == C('*')) {
            const FmtArg* w = take();
            long long v =
                w ? (w->kind == FmtArg::Kind::UInt ? static_cast<long long>(w->u) : w->i) : 0;
            if (v < 0) {
                sp.left = true;
                v = -v;
            }
            sp.width = static_cast<int>(v > 4096 ? 4096 : v);
            ++p;
        } else {
            while (*p >= C('0') && *p <= C('9')) {
                sp.width = (sp.width < 0 ? 0 : sp.width) * 10 + (*p - C('0'));
                if (sp.width > 4096) sp.width = 4096;
                ++p;
            }
        }
        if (*p == C('.')) {
            ++p;
            sp.prec = 0;
            if (*p == C('*')) {
                const FmtArg* w = take();
                long long v =
                    w ? (w->kind == FmtArg::Kind::UInt ? static_cast<long long>(w->u) : w->i) : 0;
                sp.prec = v < 0 ? -1 : static_cast<int>(v > 4096 ? 4096 : v);
                ++p;
            } else {
                while (*p >= C('0') && *p <= C('9')) {
                    sp.prec = sp.prec * 10 + (*p - C('0'));
                    if (sp.prec > 4096) sp.prec = 4096;
                    ++p;
                }
            }
        }
        // Length modifiers.
        for (;;) {
            if (*p == C('h')) {
                sp.shortness = sp.shortness == 1 ? 2 : 1;
                ++p;
            } else if (*p == C('l') || *p == C('L') || *p == C('z') || *p == C('j') ||
                       *p == C('t') || *p == C('w')) {
                ++p;
            } else if (*p == C('I') &&
                       ((p[1] == C('6') && p[2] == C('4')) || (p[1] == C('3') && p[2] == C('2')))) {
                p += 3;
            } else {
                break;
            }
        }
        C c = *p;
        const char known[] = "diuxXocCsSfFeEgGp";
        if (c == 0 || c > 127 || !std::strchr(known, static_cast<char>(c))) {
            // Not a conversion: copy it through unchanged.
            out.put(start, static_cast<std::size_t>(p - start));
            continue;
        }
        sp.conv = static_cast<char>(c);
        ++p;
        EmitArg(out, sp, take());
    }
}

template <class C>
HRESULT FormatBounded(C* buf, std::size_t cch, const C* fmt, FmtArgs args)
{
    if (!buf || cch == 0) return E_INVALIDARG;
    Sink<C> out{buf, cch - 1};
    Run(out, fmt, args);
    buf[out.n] = 0;
    return out.cut ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

template <class C>
HRESULT CopyBounded(C* buf, std::size_t cch, std::basic_string_view<C> src, std::size_t at)
{
    if (!buf || cch == 0) return E_INVALIDARG;
    if (at >= cch) return STRSAFE_E_INSUFFICIENT_BUFFER;
    std::size_t room = cch - 1 - at;
    std::size_t n = src.size() < room ? src.size() : room;
    if (n) std::memmove(buf + at, src.data(), n * sizeof(C));
    buf[at + n] = 0;
    return n < src.size() ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

template <class C>
std::size_t LengthOf(const C* s, std::size_t cch)
{
    if (!s) return 0;
    std::size_t n = 0;
    while (n < cch && s[n]) ++n;
    return n;
}

}  // namespace

HRESULT VFormat(char* buf, std::size_t cch, const char* fmt, FmtArgs args)
{
    return FormatBounded(buf, cch, fmt, args);
}
HRESULT VFormat(char16_t* buf, std::size_t cch, const char16_t* fmt, FmtArgs args)
{
    return FormatBounded(buf, cch, fmt, args);
}

std::string FormatString(const char* fmt, FmtArgs args)
{
    std::string r;
    Sink<char> out{nullptr, 0};
    out.grow = &r;
    Run(out, fmt, args);
    return r;
}
std::u16string FormatString(const char16_t* fmt, FmtArgs args)
{
    std::u16string r;
    Sink<char16_t> out{nullptr, 0};
    out.grow = &r;
    Run(out, fmt, args);
    return r;
}

HRESULT Copy(char* buf, std::size_t cch, std::string_view src)
{
    return CopyBounded<char>(buf, cch, src, 0);
}
HRESULT Copy(char16_t* buf, std::size_t cch, std::u16string_view src)
{
    return CopyBounded<char16_t>(buf, cch, src, 0);
}
HRESULT Cat(char* buf, std::size_t cch, std::string_view src)
{
    if (!buf || cch == 0) return E_INVALIDARG;
    std::size_t at = LengthOf(buf, cch);
    if (at == cch) return E_INVALIDARG;  // not terminated within the buffer
    return CopyBounded<char>(buf, cch, src, at);
}
HRESULT Cat(char16_t* buf, std::size_t cch, std::u16string_view src)
{
    if (!buf || cch == 0) return E_INVALIDARG;
    std::size_t at = LengthOf(buf, cch);
    if (at == cch) return E_INVALIDARG;
    return CopyBounded<char16_t>(buf, cch, src, at);
}

std::size_t Length(const char* s, std::size_t cch)
{
    return LengthOf(s, cch);
}
std::size_t Length(const char16_t* s, std::size_t cch)
{
    return LengthOf(s, cch);
}

char16_t Cp1252ToUnicode(unsigned char c)
{
    return plat::Cp1252ToUnicode(c);
}

char UnicodeToCp1252(char16_t c)
{
    int b = plat::UnicodeToCp1252(c);
    return b < 0 ? '?' : static_cast<char>(b);
}

std::string Cp1252ToUtf8(std::string_view s)
{
    return plat::EncodeCodePage(65001, plat::DecodeCodePage(1252, s));
}

std::string Utf16ToUtf8(std::u16string_view s)
{
    return plat::EncodeCodePage(65001, s);
}

std::u16string Utf8ToUtf16(std::string_view s)
{
    return plat::DecodeCodePage(65001, s);
}

}  // namespace kx
