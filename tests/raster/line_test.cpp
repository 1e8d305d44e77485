// The line path of the graphics filter: one record per raster line.
#include <gtest/gtest.h>

#include <vector>

#include "raster/rle.h"
#include "raster_fixture.h"

namespace {

using kxtest::Bytes;
using kxtest::BytesEqual;
using kxtest::RasterDevice;

HRESULT Line(RasterDevice& d, const std::string& line)
{
    return kx::FilterGraphicsLine(d.dev(), &d.uni,
                                  reinterpret_cast<PBYTE>(const_cast<char*>(line.data())),
                                  static_cast<DWORD>(line.size()));
}

class LineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        d.data.bCompress = 1;
        d.data.nLeftMargin = 3;
        d.data.lCursorX = 17;  // 2 whole bytes
        d.data.nCursorOriginX = 40;
    }
    kxtest::SimSandbox sandbox;
    RasterDevice d;
};

// Runs, escaped single bytes and the X offset of compressed lines: the
// golden job lines-runs-203.

TEST_F(LineTest, RawLinesAreDRecordsWhileTheyFitTheHeader)
{
    d.data.bCompress = 0;
    d.data.nCursorOriginX = 0;
    d.data.dwLine = 41;
    ASSERT_EQ(Line(d, Bytes({0x00, 0xFF, 0x1B})), S_OK);
    EXPECT_TRUE(BytesEqual("^D0042005003" + Bytes({0x00, 0xFF, 0x1B}) + "_", d.uni.spool));
    // Line 10000, a negative offset, 1000 bytes: skipped; 999 still fits.
    d.uni.spool.clear();
    d.data.dwLine = 9999;
    EXPECT_EQ(Line(d, "ab"), S_OK);
    d.data.dwLine = 5;
    d.data.nLeftMargin = -1;
    EXPECT_EQ(Line(d, "ab"), S_OK);
    d.data.nLeftMargin = 0;
    EXPECT_EQ(Line(d, std::string(1000, 'x')), S_OK);
    EXPECT_EQ(d.uni.spool, "");
    d.data.nLeftMargin = 999;
    EXPECT_EQ(Line(d, std::string(999, 'x')), S_OK);
    EXPECT_EQ(d.uni.spool.substr(0, 12), "^D0008999999");
}

// 500 bytes that cannot be compressed need 1000 bytes of runs: more than the
// 768-byte line buffer holds. The record is built in a buffer of its own.
TEST_F(LineTest, LinesLongerThanTheLineBufferAreSentWhole)
{
    std::string line;
    for (int i = 0; i < 500; ++i) line += static_cast<char>(i % 2 ? 0xC0 : 0xC1);
    ASSERT_EQ(Line(d, line), S_OK);
    ASSERT_EQ(d.uni.spool.size(), 7u + 1000);
    EXPECT_EQ(d.uni.spool.substr(0, 7), Bytes({0x1B, 0x41, 0x01, 0x05, 0x00, 0xE8, 0x03}));
    std::vector<BYTE> decoded(500);
    auto* rle = reinterpret_cast<const BYTE*>(d.uni.spool.data()) + 7;
    ASSERT_EQ(kx::DecodeRunLength({rle, 1000}, decoded), 500u);
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), line);
    // The line buffer itself was cleared and not overrun.
    EXPECT_EQ(d.graphBuf[0], 0);
}

TEST_F(LineTest, MissingStructuresAndFailedWrites)
{
    d.op.pGraphBuf = nullptr;
    EXPECT_EQ(Line(d, "a"), E_FAIL);
    d.op.pGraphBuf = d.graphBuf;
    d.op.pDruckDaten = nullptr;
    EXPECT_EQ(Line(d, "a"), E_FAIL);
    d.pdev.pOp = nullptr;
    EXPECT_EQ(Line(d, "a"), E_FAIL);
    EXPECT_EQ(d.uni.writeCalls, 0);

    RasterDevice e;
    e.data.bCompress = 0;
    e.uni.failWrites = true;
    EXPECT_EQ(Line(e, "a"), E_FAIL);
    EXPECT_EQ(e.uni.writeCalls, 1);  // the header failed; nothing more is sent
}

}  // namespace
