// Command callbacks: the value commands, the paper-size rules, form feed and
// line feed records.
#include <gtest/gtest.h>

#include "plugin/cmdcallback.h"
#include "support/device.h"

namespace {

using kxtest::BytesEqual;
using kxtest::TestDevice;

HRESULT Call(TestDevice& d, DWORD id, std::initializer_list<DWORD> params = {},
             INT* result = nullptr)
{
    std::vector<DWORD> p(params);
    INT r = -1;
    return kx::CommandCallbackOEM(d.dev(), id, static_cast<DWORD>(p.size()),
                                  p.empty() ? nullptr : p.data(), result ? result : &r, &d.uni);
}

TEST(CommandCallback, UnsupportedIdsFailAndChangeNothing)
{
    TestDevice d;
    for (DWORD id : {0u, 11u, 14u, 15u, 17u, 23u, 29u, 31u, 34u, 37u, 38u, 49u, 52u, 1000u}) {
        INT result = 7;
        EXPECT_EQ(Call(d, id, {5}, &result), E_FAIL) << id;
        EXPECT_EQ(result, 0) << id;
    }
    EXPECT_EQ(d.uni.spool, "");
}

TEST(CommandCallback, ValueCommandsWithoutAJobDoNothing)
{
    TestDevice d(false);
    for (DWORD id : {7u, 8u, 9u, 10u, 12u, 13u, 16u, 18u, 19u, 20u, 21u, 22u, 30u, 50u, 51u})
        EXPECT_EQ(Call(d, id, {100, 200, 300}), S_OK) << id;
    EXPECT_EQ(d.uni.writeCalls, 0);
    EXPECT_EQ(kx::CommandCallbackOEM(nullptr, kx::CMDID_COPIES, 1, nullptr, nullptr, nullptr),
              S_OK);
}

TEST(CommandCallback, CopiesFollowCollationAndManualCopies)
{
    TestDevice d;
    EXPECT_EQ(Call(d, kx::CMDID_COPIES, {3}), S_OK);
    EXPECT_EQ(d.data.dwCopies, 3u);
    // Collated copies are made by re-sending the print file: one per pass.
    d.publicDM.dmCollate = 1;
    d.publicDM.dmCopies = 3;
    Call(d, kx::CMDID_COPIES, {3});
    EXPECT_EQ(d.data.dwCopies, 1u);
    d.devmode.wAutoCollate = 1;
    Call(d, kx::CMDID_COPIES, {3});
    EXPECT_EQ(d.data.dwCopies, 3u);
    d.devmode.dwFlags = PDMFLAG_KOPIEN_MANUELL;
    d.devmode.wAnzahlKopien = 9;
    Call(d, kx::CMDID_COPIES, {3});
    EXPECT_EQ(d.data.dwCopies, 9u);
}

TEST(CommandCallback, CursorMovesAndLineFeeds)
{
    TestDevice d;
    INT result = 0;
    EXPECT_EQ(Call(d, kx::CMDID_XMOVE_ABS, {120}, &result), S_OK);
    EXPECT_EQ(result, 120);
    EXPECT_EQ(d.data.lCursorX, 120);
    Call(d, kx::CMDID_CR);
    EXPECT_EQ(d.data.lCursorX, 0);
    EXPECT_EQ(Call(d, kx::CMDID_YMOVE_ABS, {40}, &result), S_OK);
    EXPECT_EQ(result, 40);
    Call(d, kx::CMDID_YMOVE_RELDOWN, {2}, &result);
    EXPECT_EQ(d.data.lCursorY, 42);
    EXPECT_EQ(result, 2);
    EXPECT_EQ(d.uni.spool, "");  // no line feeds without compression
    // Their bytes on the line path: the golden job lines-runs-203. Not when
    // the raster goes the image path.
    d.data.bCompress = 1;
    d.data.dwDocFeatures = 0x1000;
    EXPECT_EQ(Call(d, kx::CMDID_YMOVE_ABS, {9}), S_OK);
    EXPECT_EQ(d.uni.spool, "");
}

// The form feed record and its comment (without one: the golden job
// lines-runs-203); a print file without comments (2) has it only while a
// backup is made.
TEST(CommandCallback, FormFeedRecordAndItsComment)
{
    struct Case {
        DWORD comment, backup;
        const char* end;
    } const cases[] = {{3, 0, "\t// FormFeed \r\n"}, {2, 0, "\r\n"}, {2, 1, "\t// FormFeed \r\n"}};
    for (const Case& c : cases) {
        TestDevice d;
        d.data.cStart = 0x01;
        d.data.cEnd = 0x17;
        d.iface().dwPrnFileComment = c.comment;
        d.iface().bEnableBackup = c.backup;
        EXPECT_EQ(Call(d, kx::CMDID_FF), S_OK);
        EXPECT_TRUE(BytesEqual(std::string("\x01"
                                           "FE----r--------\x17") +
                                   c.end,
                               d.uni.spool));
        // A failed record write stops before the line ending.
        d.uni.failWrites = true;
        const int before = d.uni.writeCalls;
        EXPECT_EQ(Call(d, kx::CMDID_FF), E_FAIL);
        EXPECT_EQ(d.uni.writeCalls, before + 1);
    }
}

TEST(PaperSize, PortraitSizeAndMargins)
{
    TestDevice d;
    d.devmode.FixedData.dwHeadWidthByte = 104;  // 832 dots
    EXPECT_EQ(Call(d, kx::CMDID_CUSTOM_PAPERSIZE, {1200, 800}), S_OK);
    EXPECT_EQ(d.data.dwLabelLength, 1200u);
    EXPECT_EQ(d.data.dwLabelWidth, 800u);
    EXPECT_EQ(d.data.dwWinkel_CC, 0u);
    EXPECT_EQ(d.data.dwRotation_CC, 0u);
    EXPECT_EQ(d.data.nLeftMargin, 4);  // 104 - 800 / 8
    EXPECT_EQ(d.data.nRightMargin, 0);

    Call(d, kx::CMDID_PAPERSIZE, {1200, 900});
    EXPECT_EQ(d.data.nLeftMargin, 0);
    EXPECT_EQ(d.data.nRightMargin, 68);  // 900 - 832

    // A label narrower than the head by less than a byte: the division truncates.
    Call(d, kx::CMDID_CUSTOM_PAPERSIZE, {1200, 827});
    EXPECT_EQ(d.data.nLeftMargin, 1);

    // The left module places labels at the head's start.
    d.data.bCorrectXPos = 1;
    Call(d, kx::CMDID_CUSTOM_PAPERSIZE, {1200, 800});
    EXPECT_EQ(d.data.nLeftMargin, 0);

    // A cursor origin keeps the margin it had.
    d.data.bCorrectXPos = 0;
    d.data.nLeftMargin = 11;
    Call(d, kx::CMDID_CUSTOM_PAPERSIZE, {1200, 800, 25});
    EXPECT_EQ(d.data.nCursorOriginX, 25);
    EXPECT_EQ(d.data.nLeftMargin, 11);
}

// A landscape job with landscape disabled: the golden job stream-landscape-disabled.
TEST(PaperSize, AnglesAndRotationCodes)
{
    struct Case {
        DWORD flags;
        WORD winkel;
        bool landscape;
        WORD correction;
        SHORT orientation;
        DWORD angle;
        DWORD code;
    } const cases[] = {
        {0, 0, true, 0, 1, 90, 3},
        {PDMFLAG_DREHEN, 270, true, 0, 1, 0, 0},  // 270 + 90 wraps to 0
        {PDMFLAG_DREHEN, 180, false, 0, 1, 180, 2},
        {PDMFLAG_DREHEN, 270, false, 0, 1, 270, 1},
        {0, 270, false, 0, 1, 0, 0},               // the angle needs its flag
        {PDMFLAG_DREHEN, 45, false, 0, 1, 45, 0},  // free angles have no code
        {0, 0, false, 1, 2, 90, 3},                // size correction of a landscape page
        {0, 0, false, 1, 1, 0, 0},
        {PDMFLAG_DREHEN, 90, true, 1, 2, 180, 2},  // landscape wins, one quarter turn only
    };
    for (const Case& c : cases) {
        TestDevice d;
        d.devmode.dwFlags = c.flags;
        d.devmode.dwWinkel = c.winkel;
        d.devmode.wCorrection = c.correction;
        d.devmode.dmOrientation = c.orientation;
        Call(d, c.landscape ? kx::CMDID_LANDSCAPE : kx::CMDID_PORTRAIT);
        Call(d, kx::CMDID_CUSTOM_PAPERSIZE, {600, 400});
        EXPECT_EQ(d.data.dwWinkel_CC, c.angle) << c.winkel << " " << c.landscape;
        EXPECT_EQ(d.data.dwRotation_CC, c.code) << c.winkel << " " << c.landscape;
    }
}

}  // namespace
