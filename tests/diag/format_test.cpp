// The bounded formatter: the record templates of the printer language, the
// bounds, and arguments that do not match their conversions.
#include <gtest/gtest.h>

#include "core/format.h"

namespace {

using kx::Format;

std::string F(const char* fmt, kx::FmtArgs args)
{
    char buf[256];
    EXPECT_EQ(kx::VFormat(buf, sizeof(buf), fmt, args), S_OK);
    return buf;
}

TEST(Format, RecordTemplates)
{
    EXPECT_EQ(F("%cFCCL--r%07u-%c", {'^', 1234u, '_'}), "^FCCL--r0001234-_");
    EXPECT_EQ(F("%cFBBA--r%05u---%c", {'\x01', 3u, '\x17'}),
              "\x01"
              "FBBA--r00003---\x17");
    EXPECT_EQ(F("%cFCIB--r%02u%02u%02u--%c", {'^', 5, 4, 3, '_'}), "^FCIB--r050403--_");
    EXPECT_EQ(F("%cFCCN--r%01lu-------%c", {'^', 7ul, '_'}), "^FCCN--r7-------_");
    EXPECT_EQ(F("KXPLStartStop%02X%02X", {'\x01', '\x17'}), "KXPLStartStop0117");
    EXPECT_EQ(F("KXPLStartStop%02X%02X", {'^', '_'}), "KXPLStartStop5E5F");
    // A value wider than its field is written in full.
    EXPECT_EQ(F("%05u", {1234567u}), "1234567");
    EXPECT_EQ(F("%+04ld|%+04ld", {-25L, 25L}), "-025|+025");
    EXPECT_EQ(F("%3.1f mm", {101.65}), "101.7 mm");
    EXPECT_EQ(F("%3.1f mm", {0.04}), "0.0 mm");
    EXPECT_EQ(F("%-6s|%6s|%.2s", {"ab", "cd", "efgh"}), "ab    |    cd|ef");
    EXPECT_EQ(F("100%% %c", {'x'}), "100% x");
}

TEST(Format, IntegersAsCWouldPrintThem)
{
    EXPECT_EQ(F("%d %i %u", {-5, -5, 5u}), "-5 -5 5");
    EXPECT_EQ(F("%x %X %#x %o %#o", {255, 255, 255, 8, 8}), "ff FF 0xff 10 010");
    EXPECT_EQ(F("%u", {-1}), "4294967295");  // as a 32-bit int
    EXPECT_EQ(F("%x", {-2}), "fffffffe");
    EXPECT_EQ(F("%lld %llu", {-9000000000LL, 18000000000ULL}), "-9000000000 18000000000");
    EXPECT_EQ(F("%hu %hd %hhu", {70000, 40000, 300}), "4464 -25536 44");
    EXPECT_EQ(F("% d|%+d|%5d|%-5d|%05d|%.3d", {7, 7, 7, 7, -7, 7}), " 7|+7|    7|7    |-0007|007");
    EXPECT_EQ(F("%*d|%-*d|%.*f", {4, 1, 3, 2, 1, 2.55}), "   1|2  |2.5");
    EXPECT_EQ(F("%I64u %I32d", {5ULL, -3}), "5 -3");
    EXPECT_EQ(F("%.0d|%5.0d", {0, 0}), "|     ");
}

TEST(Format, FloatsAreStableAcrossPlatforms)
{
    EXPECT_EQ(F("%f", {1.5}), "1.500000");
    EXPECT_EQ(F("%.2f", {2.675}), "2.67");  // the binary value lies below 2.675
    EXPECT_EQ(F("%e", {12345.0}), "1.234500e+04");
    EXPECT_EQ(F("%g %g", {0.0001, 1e10}), "0.0001 1e+10");
    EXPECT_EQ(F("%8.3f|%-8.1f|%+.1f", {3.14159, 2.0, 2.0}), "   3.142|2.0     |+2.0");
    EXPECT_EQ(F("%d", {2.5}), "2.500000");  // a double stays a double
    EXPECT_EQ(F("%.1f", {-0.04}), "-0.0");
}

TEST(Format, MismatchedArgumentsCannotReadTheWrongThing)
{
    EXPECT_EQ(F("%s", {42}), "42");
    EXPECT_EQ(F("%d", {"text"}), "text");
    EXPECT_EQ(F("%s|%d", {static_cast<const char*>(nullptr), 1}), "(null)|1");
    EXPECT_EQ(F("%d %d %d", {1}), "1  ");  // missing arguments print nothing
    EXPECT_EQ(F("%d", {1, 2, 3}), "1");    // extra ones are ignored
    EXPECT_EQ(F("%q %", {1}), "%q %");     // no conversion: copied through
    EXPECT_EQ(F("%c", {0x20AC}), "?");     // not a byte
    int x = 0;
    std::string p = F("%p", {static_cast<const void*>(&x)});
    EXPECT_EQ(p.size(), sizeof(void*) * 2);
    EXPECT_EQ(F("0x%x", {reinterpret_cast<const void*>(0xABCD)}), "0xabcd");
}

TEST(Format, WideAndNarrowTextConvertThroughWindows1252)
{
    EXPECT_EQ(F("%s", {u"Stra\u00DFe \u20AC \u4E2D"}),
              "Stra\xDF"
              "e \x80 ?");
    char16_t wide[64];
    ASSERT_EQ(Format(wide, u"%s|%s|%d", "\x80\xE4", u"\u00E4", 5), S_OK);
    EXPECT_EQ(std::u16string(wide), u"\u20AC\u00E4|\u00E4|5");
    EXPECT_EQ(F("%.3s", {u"abcdef"}), "abc");
    EXPECT_EQ(F("%s", {std::string_view("abc\0def", 7)}), "abc");
}

TEST(Format, BoundsAreKeptAndReported)
{
    char buf[8];
    EXPECT_EQ(Format(buf, "%s", "1234567"), S_OK);
    EXPECT_STREQ(buf, "1234567");
    EXPECT_EQ(Format(buf, "%s", "12345678"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buf, "1234567");
    EXPECT_EQ(Format(buf, "%08d%s", 5, "tail"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buf, "0000000");
    EXPECT_EQ(kx::VFormat(buf, 0, "x", {}), E_INVALIDARG);
    EXPECT_EQ(kx::VFormat(nullptr, 8, "x", {}), E_INVALIDARG);
    char one[1];
    EXPECT_EQ(Format(one, ""), S_OK);
    EXPECT_EQ(Format(one, "a"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(one, "");
    // Huge widths are capped, never overflow.
    char big[16];
    EXPECT_EQ(Format(big, "%999999999d", 1), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(big), std::string(15, ' '));
}

TEST(Format, CopyAndConcatenate)
{
    char buf[10] = "abc";
    EXPECT_EQ(kx::Cat(buf, sizeof(buf), "def"), S_OK);
    EXPECT_STREQ(buf, "abcdef");
    EXPECT_EQ(kx::Cat(buf, sizeof(buf), "ghij"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buf, "abcdefghi");
    EXPECT_EQ(kx::Cat(buf, sizeof(buf), ""), S_OK);
    EXPECT_EQ(kx::Copy(buf, sizeof(buf), "0123456789"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buf, "012345678");
    char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_EQ(kx::Cat(unterminated, sizeof(unterminated), "x"), E_INVALIDARG);
    EXPECT_EQ(kx::Length("abc", 2), 2u);
    EXPECT_EQ(kx::Length(static_cast<const char*>(nullptr)), 0u);
}

TEST(Format, Utf8Conversions)
{
    EXPECT_EQ(kx::Utf16ToUtf8(u"a\u00E4\u20AC\U0001F600"), "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(kx::Utf8ToUtf16("a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"), u"a\u00E4\u20AC\U0001F600");
    // Broken input becomes U+FFFD, never a crash.
    EXPECT_EQ(kx::Utf8ToUtf16("\xC3"), u"\uFFFD");
    // One U+FFFD per maximal invalid subsequence, as Windows decodes.
    EXPECT_EQ(kx::Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
    EXPECT_EQ(kx::Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // surrogate
    EXPECT_EQ(kx::Utf8ToUtf16("\xFF"
                              "a"),
              u"\uFFFDa");
    EXPECT_EQ(kx::Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(kx::Cp1252ToUtf8("\x80\x81\xFF"), "\xE2\x82\xAC\xC2\x81\xC3\xBF");
}

TEST(Format, UnboundedString)
{
    std::string s = kx::FormatString("%s-%05u", {std::string(400, 'a'), 7u});
    EXPECT_EQ(s.size(), 406u);
    EXPECT_EQ(s.substr(400), "-00007");
    EXPECT_EQ(kx::FormatString(u"%d:%s", {3, "x"}), u"3:x");
}

}  // namespace
