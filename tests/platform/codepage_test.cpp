// Code pages beyond what both backends promise (contract.h): the formatter's
// own view of 1252 is the table the conversions use, and the simulation's
// answers where Wine answers differently (docs/windows.md).
#include "platform/codepages.h"
#include "platform/platform.h"
#include "support/harness.h"

namespace {

using namespace kx::plat;

TEST(CodePageTest, TheFormattersView)
{
    for (int b = 0x80; b < 0x100; ++b) {
        const std::u16string wide = MultiByteToWide(kCp1252, std::string(1, static_cast<char>(b)));
        ASSERT_EQ(1u, wide.size());
        EXPECT_EQ(wide[0], Cp1252ToUnicode(static_cast<std::uint8_t>(b))) << b;
        EXPECT_EQ(b, UnicodeToCp1252(wide[0])) << b;
    }
    EXPECT_EQ(-1, UnicodeToCp1252(0x0100));
}

// Wine gives fewer U+FFFD for these (two, two, three: it does not follow the
// maximal-subpart rule), two defaults for a surrogate pair, and knows 932.
TEST(CodePageTest, WhereWineDiffers)
{
    EXPECT_EQ(u"\uFFFD\uFFFD\uFFFD", MultiByteToWide(kCpUtf8, "\xe0\x80\x80"));  // overlong
    EXPECT_EQ(u"\uFFFD\uFFFD\uFFFD", MultiByteToWide(kCpUtf8, "\xed\xa0\x80"));  // surrogate
    EXPECT_EQ(u"\uFFFD\uFFFD\uFFFD\uFFFD", MultiByteToWide(kCpUtf8, "\xf4\x90\x80\x80"));
    bool used = false;
    EXPECT_EQ("?x", WideToMultiByte(kCp1252, u"\U0001F5A8x", &used));
    EXPECT_TRUE(used);
    SetLastError(0);
    EXPECT_EQ("", WideToMultiByte(932, u"abc", &used));
    EXPECT_EQ(87u, GetLastError());
    EXPECT_FALSE(used);
}

}  // namespace
