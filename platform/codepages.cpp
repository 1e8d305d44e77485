#include "platform/codepages.h"

namespace kx::plat {

namespace {

// The 0x80..0x9F row of Windows-1252; 0 marks the five unassigned bytes,
// which map to the C1 control of the same number.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The upper halves of the two OEM code pages; their lower halves are ASCII
// (bytes below 0x20 are control characters, not the glyphs of the console).
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
constexpr char16_t kCp850High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557,
    0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

constexpr std::uint32_t kCpSymbolValue = 42;
constexpr std::uint32_t kCp437Value = 437;
constexpr std::uint32_t kCp850Value = 850;
constexpr std::uint32_t kCp1252Value = 1252;
constexpr std::uint32_t kCpUtf8Value = 65001;

int FromTable(const char16_t (&high)[128], char16_t c)
{
    if (c < 0x80) return c;
    for (int i = 0; i < 128; ++i)
        if (high[i] == c) return 0x80 + i;
    return -1;
}

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, std::uint32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

// UTF-8 decoding with the "maximal subpart" rule: a lead byte and the
// continuation bytes that could still belong to it become one U+FFFD when the
// sequence breaks off; the byte that broke it starts afresh.
std::u16string DecodeUtf8(std::string_view s)
{
    std::u16string r;
    r.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            r.push_back(b);
            ++i;
            continue;
        }
        std::size_t need;
        std::uint32_t cp;
        unsigned char lo = 0x80, hi = 0xBF;  // range of the first continuation byte
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;  // overlong
            if (b == 0xED) hi = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;  // overlong
            if (b == 0xF4) hi = 0x8F;  // beyond U+10FFFF
        } else {
            r.push_back(0xFFFD);
            ++i;
            continue;
        }
        std::size_t j = 1;
        for (; j <= need && i + j < s.size(); ++j) {
            unsigned char c = static_cast<unsigned char>(s[i + j]);
            unsigned char min = j == 1 ? lo : 0x80, max = j == 1 ? hi : 0xBF;
            if (c < min || c > max) break;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (j <= need) {
            r.push_back(0xFFFD);
            i += j;
            continue;
        }
        AppendUtf16(r, cp);
        i += need + 1;
    }
    return r;
}

std::string EncodeUtf8(std::u16string_view s)
{
    std::string r;
    r.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(r, c);
    }
    return r;
}

int EncodeSymbol(char16_t c)
{
    if (c < 0x20) return c;
    if (c >= 0xF020 && c <= 0xF0FF) return c - 0xF000;
    if (c <= 0xFF) return c;
    return -1;
}

}  // namespace

char16_t Cp1252ToUnicode(unsigned char c)
{
    if (c >= 0x80 && c < 0xA0) {
        char16_t u = kCp1252High[c - 0x80];
        return u ? u : static_cast<char16_t>(c);
    }
    return static_cast<char16_t>(c);
}

int UnicodeToCp1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == c) return 0x80 + i;
        if (kCp1252High[i] == 0 && c == 0x80 + i) return c;
    }
    return -1;
}

bool KnownCodePage(std::uint32_t codePage)
{
    switch (codePage) {
        case kCpSymbolValue:
        case kCp437Value:
        case kCp850Value:
        case kCp1252Value:
        case kCpUtf8Value:
            return true;
        default:
            return false;
    }
}

std::u16string DecodeCodePage(std::uint32_t codePage, std::string_view text)
{
    if (codePage == kCpUtf8Value) return DecodeUtf8(text);
    std::u16string r;
    r.reserve(text.size());
    for (char ch : text) {
        unsigned char b = static_cast<unsigned char>(ch);
        switch (codePage) {
            case kCp1252Value:
                r.push_back(Cp1252ToUnicode(b));
                break;
            case kCp437Value:
                r.push_back(b < 0x80 ? b : kCp437High[b - 0x80]);
                break;
            case kCp850Value:
                r.push_back(b < 0x80 ? b : kCp850High[b - 0x80]);
                break;
            case kCpSymbolValue:
                r.push_back(b < 0x20 ? b : static_cast<char16_t>(0xF000 + b));
                break;
            default:
                return {};
        }
    }
    return r;
}

std::string EncodeCodePage(std::uint32_t codePage, std::u16string_view text, bool* usedDefault)
{
    if (usedDefault) *usedDefault = false;
    if (codePage == kCpUtf8Value) return EncodeUtf8(text);
    if (!KnownCodePage(codePage)) return {};
    std::string r;
    r.reserve(text.size());
    bool defaulted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        int b = -1;
        switch (codePage) {
            case kCp1252Value:
                b = UnicodeToCp1252(c);
                break;
            case kCp437Value:
                b = FromTable(kCp437High, c);
                break;
            case kCp850Value:
                b = FromTable(kCp850High, c);
                break;
            default:
                b = EncodeSymbol(c);
                break;
        }
        if (b < 0) {
            defaulted = true;
            b = '?';
            // A surrogate pair is one character and becomes one "?".
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] < 0xE000)
                ++i;
        }
        r.push_back(static_cast<char>(b));
    }
    if (usedDefault) *usedDefault = defaulted;
    return r;
}

}  // namespace kx::plat
