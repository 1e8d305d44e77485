// Code-page conversions: ANSI 1252, OEM 437 and 850, symbol and UTF-8.
#include "platform/codepages.h"
#include "platform/platform.h"
#include "support/harness.h"

namespace {

using namespace kx::plat;

std::string AllBytes()
{
    std::string s;
    for (int b = 0; b < 256; ++b) s.push_back(static_cast<char>(b));
    return s;
}

TEST(CodePageTest, AnsiAndOemAreTheWesternPages)
{
    EXPECT_EQ(1252u, GetACP());
    EXPECT_EQ(437u, GetOEMCP());
    EXPECT_EQ(MultiByteToWide(kCp1252, "\x80\xe4"), MultiByteToWide(kCpAcp, "\x80\xe4"));
    EXPECT_EQ(MultiByteToWide(kCp437, "\x80\xe4"), MultiByteToWide(kCpOemCp, "\x80\xe4"));
}

TEST(CodePageTest, EveryByteSurvivesARoundTrip)
{
    for (std::uint32_t cp : {kCp1252, kCp437, kCp850, kCpSymbol}) {
        std::u16string wide = MultiByteToWide(cp, AllBytes());
        ASSERT_EQ(256u, wide.size()) << cp;
        bool usedDefault = true;
        EXPECT_TRUE(kxtest::BytesEqual(AllBytes(), WideToMultiByte(cp, wide, &usedDefault))) << cp;
        EXPECT_FALSE(usedDefault) << cp;
    }
}

TEST(CodePageTest, Windows1252)
{
    EXPECT_EQ(u"\u20AC\u201A\u0178\u00E9", MultiByteToWide(kCp1252, "\x80\x82\x9f\xe9"));
    // The unassigned bytes become the C1 controls and come back.
    EXPECT_EQ(u"\u0081\u008D\u008F\u0090\u009D", MultiByteToWide(kCp1252, "\x81\x8d\x8f\x90\x9d"));
    bool usedDefault = false;
    EXPECT_EQ("\x80\x81", WideToMultiByte(kCp1252, u"\u20AC\u0081", &usedDefault));
    EXPECT_FALSE(usedDefault);
    EXPECT_EQ("a?b?", WideToMultiByte(kCp1252, u"a\u0100b\u2500", &usedDefault));
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ("?", WideToMultiByte(kCp1252, u"?", &usedDefault));
    EXPECT_FALSE(usedDefault) << "a real question mark is no default";
    EXPECT_EQ("?x", WideToMultiByte(kCp1252, u"\U0001F5A8x", &usedDefault))
        << "a surrogate pair is one character";
    // The formatter's own view of 1252 is the same table.
    EXPECT_EQ(0x80, UnicodeToCp1252(0x20AC));
    EXPECT_EQ(-1, UnicodeToCp1252(0x0100));
    EXPECT_EQ(u'\u2122', Cp1252ToUnicode(0x99));
}

TEST(CodePageTest, Oem437BoxCharacters)
{
    EXPECT_EQ(u"\u2554\u2550\u2557\u2502\u2588\u00DF\u03C0",
              MultiByteToWide(kCp437, "\xc9\xcd\xbb\xb3\xdb\xe1\xe3"));
    EXPECT_EQ("\xc9\xcd\xbb", WideToMultiByte(kCp437, u"\u2554\u2550\u2557"));
    EXPECT_EQ(u"\r\n\x7f", MultiByteToWide(kCp437, "\r\n\x7f")) << "controls stay controls";
    bool usedDefault = false;
    EXPECT_EQ("?", WideToMultiByte(kCp437, u"\u20AC", &usedDefault));
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(u"\u00D8\u0131", MultiByteToWide(kCp850, "\x9d\xd5"));
}

TEST(CodePageTest, SymbolMapsIntoThePrivateUseArea)
{
    EXPECT_EQ(u"\r\uF041\uF0FF\uF020", MultiByteToWide(kCpSymbol, "\rA\xff "));
    bool usedDefault = true;
    EXPECT_EQ("AA\xb7\r", WideToMultiByte(kCpSymbol, u"\uF041A\u00B7\r", &usedDefault));
    EXPECT_FALSE(usedDefault);
    EXPECT_EQ("?", WideToMultiByte(kCpSymbol, u"\u20AC", &usedDefault));
    EXPECT_TRUE(usedDefault);
}

TEST(CodePageTest, Utf8)
{
    std::u16string text = u"Größe \u20AC \U0001F5A8";
    std::string utf8 = WideToMultiByte(kCpUtf8, text);
    EXPECT_EQ(
        "Gr\xc3\xb6\xc3\x9f"
        "e \xe2\x82\xac \xf0\x9f\x96\xa8",
        utf8);
    EXPECT_EQ(text, MultiByteToWide(kCpUtf8, utf8));

    struct Case {
        const char* bytes;
        std::u16string expected;
    };
    const Case invalid[] = {
        {"a\xc3", u"a\uFFFD"},                              // cut short
        {"\xc3(", u"\uFFFD("},                              // continuation missing
        {"\xc0\xaf", u"\uFFFD\uFFFD"},                      // overlong lead
        {"\xe0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},            // overlong three bytes
        {"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
        {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
        {"\xe2\x82x", u"\uFFFDx"},                          // one U+FFFD for the broken prefix
        {"\xff", u"\uFFFD"},
    };
    for (const Case& c : invalid)
        EXPECT_EQ(c.expected, MultiByteToWide(kCpUtf8, c.bytes)) << kxtest::Escape(c.bytes);

    std::u16string lone = u"x";
    lone.push_back(0xDC00);
    lone.push_back(0xD800);
    EXPECT_EQ("x\xef\xbf\xbd\xef\xbf\xbd", WideToMultiByte(kCpUtf8, lone));
    EXPECT_EQ(std::string("a\0b", 3), WideToMultiByte(kCpUtf8, std::u16string(u"a\0b", 3)));
}

TEST(CodePageTest, UnsupportedCodePage)
{
    SetLastError(0);
    EXPECT_EQ(u"", MultiByteToWide(1250, "abc"));
    EXPECT_EQ(87u, GetLastError());
    SetLastError(0);
    bool usedDefault = true;
    EXPECT_EQ("", WideToMultiByte(932, u"abc", &usedDefault));
    EXPECT_EQ(87u, GetLastError());
    EXPECT_FALSE(usedDefault);
}

}  // namespace
