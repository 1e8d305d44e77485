// The one bounded formatter of the plug-in.
//
// printf-style formats, but the arguments carry their own types, so a format
// that does not match its arguments can never read the wrong thing: a number
// given to "%s" prints as a number, a string given to "%d" prints as the
// string, a missing argument prints nothing. Narrow and wide (char16_t)
// formats share one implementation.
//
// Like the bounded string functions of the platform, a result that does not
// fit is cut, NUL-terminated, and reported as STRSAFE_E_INSUFFICIENT_BUFFER.
//
// Supported: flags "-+ #0", width and precision (also "*"), the length
// modifiers h hh l ll z j t L I32 I64 (h and hh narrow the value as C does;
// the others are accepted and ignored), and the conversions d i u x X o c s S
// f F e E g G p %. Narrow text is Windows-1252; a wide argument in a narrow
// format is encoded to 1252 ("?" for what 1252 lacks), a narrow argument in a
// wide format is decoded from 1252.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/kxtypes.h"

// A bounded copy or format can cut its result; the plug-in must look at the
// answer. Test programs, fuzz targets and benchmarks, which fill buffers with
// their own short texts, are built with KX_UNCHECKED_BOUNDED_RESULTS.
#if defined(KX_UNCHECKED_BOUNDED_RESULTS)
#define KX_BOUNDED_RESULT
#else
#define KX_BOUNDED_RESULT [[nodiscard]]
#endif

namespace kx {

struct FmtArg {
    enum class Kind { Int, UInt, Double, Char, Str, WStr, Ptr };
    Kind kind;
    union {
        std::int64_t i;
        std::uint64_t u;
        double d;
        const char* s;
        const char16_t* ws;
        const void* p;
    };
    std::size_t len;  // for string views; SIZE_MAX for NUL-terminated

    FmtArg(bool v) : kind(Kind::Int), i(v), len(0) {}
    FmtArg(char v) : kind(Kind::Char), i(static_cast<unsigned char>(v)), len(0) {}
    FmtArg(signed char v) : kind(Kind::Int), i(v), len(0) {}
    FmtArg(unsigned char v) : kind(Kind::UInt), u(v), len(0) {}
    FmtArg(char16_t v) : kind(Kind::Char), i(v), len(0) {}
    FmtArg(short v) : kind(Kind::Int), i(v), len(0) {}
    FmtArg(unsigned short v) : kind(Kind::UInt), u(v), len(0) {}
    FmtArg(int v) : kind(Kind::Int), i(v), len(0) {}
    FmtArg(unsigned v) : kind(Kind::UInt), u(v), len(0) {}
    FmtArg(long v) : kind(Kind::Int), i(v), len(0) {}
    FmtArg(unsigned long v) : kind(Kind::UInt), u(v), len(0) {}
    FmtArg(long long v) : kind(Kind::Int), i(v), len(0) {}
    FmtArg(unsigned long long v) : kind(Kind::UInt), u(v), len(0) {}
    FmtArg(float v) : kind(Kind::Double), d(v), len(0) {}
    FmtArg(double v) : kind(Kind::Double), d(v), len(0) {}
    FmtArg(const char* v) : kind(Kind::Str), s(v), len(SIZE_MAX) {}
    FmtArg(const char16_t* v) : kind(Kind::WStr), ws(v), len(SIZE_MAX) {}
    FmtArg(std::string_view v) : kind(Kind::Str), s(v.data()), len(v.size()) {}
    FmtArg(std::u16string_view v) : kind(Kind::WStr), ws(v.data()), len(v.size()) {}
    FmtArg(const std::string& v) : FmtArg(std::string_view(v)) {}
    FmtArg(const std::u16string& v) : FmtArg(std::u16string_view(v)) {}
    FmtArg(const void* v) : kind(Kind::Ptr), p(v), len(0) {}
    FmtArg(std::nullptr_t) : kind(Kind::Ptr), p(nullptr), len(0) {}
};

using FmtArgs = std::initializer_list<FmtArg>;

// Formats into buf (cch characters including the terminator).
KX_BOUNDED_RESULT HRESULT VFormat(char* buf, std::size_t cch, const char* fmt, FmtArgs args);
KX_BOUNDED_RESULT HRESULT VFormat(char16_t* buf, std::size_t cch, const char16_t* fmt,
                                  FmtArgs args);

template <class... A>
KX_BOUNDED_RESULT HRESULT Format(char* buf, std::size_t cch, const char* fmt, const A&... args)
{
    return VFormat(buf, cch, fmt, {FmtArg(args)...});
}
template <class... A>
KX_BOUNDED_RESULT HRESULT Format(char16_t* buf, std::size_t cch, const char16_t* fmt,
                                 const A&... args)
{
    return VFormat(buf, cch, fmt, {FmtArg(args)...});
}
template <std::size_t N, class... A>
KX_BOUNDED_RESULT HRESULT Format(char (&buf)[N], const char* fmt, const A&... args)
{
    return VFormat(buf, N, fmt, {FmtArg(args)...});
}
template <std::size_t N, class... A>
KX_BOUNDED_RESULT HRESULT Format(char16_t (&buf)[N], const char16_t* fmt, const A&... args)
{
    return VFormat(buf, N, fmt, {FmtArg(args)...});
}

// Unbounded formatting into a string (for text that has no fixed buffer).
std::string FormatString(const char* fmt, FmtArgs args);
std::u16string FormatString(const char16_t* fmt, FmtArgs args);

// Bounded copy and concatenation (StringCchCopy / StringCchCat).
KX_BOUNDED_RESULT HRESULT Copy(char* buf, std::size_t cch, std::string_view src);
KX_BOUNDED_RESULT HRESULT Copy(char16_t* buf, std::size_t cch, std::u16string_view src);
KX_BOUNDED_RESULT HRESULT Cat(char* buf, std::size_t cch, std::string_view src);
KX_BOUNDED_RESULT HRESULT Cat(char16_t* buf, std::size_t cch, std::u16string_view src);

// Length of a NUL-terminated string within at most cch characters.
std::size_t Length(const char* s, std::size_t cch = SIZE_MAX);
std::size_t Length(const char16_t* s, std::size_t cch = SIZE_MAX);

// Windows-1252 conversions used by the formatter (and by the trace).
char16_t Cp1252ToUnicode(unsigned char c);
// '?' when 1252 has no such character.
char UnicodeToCp1252(char16_t c);
// UTF-8 of a 1252 or UTF-16 text.
std::string Cp1252ToUtf8(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);
std::u16string Utf8ToUtf16(std::string_view s);

}  // namespace kx
