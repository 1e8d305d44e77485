// The page end where the golden jobs (tests/host/golden/stream-*) do not
// reach: the rotate record and the raster of the image path.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "job/jobfixture.h"
#include "raster/bandcapture.h"

namespace {

using kxtest::BytesEqual;
using kxtest::JobTest;

constexpr char kStart[] = "^FJDTS-r--------_\r\n";

TEST_F(JobTest, RotateRecordAndLinePathEnd)
{
    pi.bCompress = 1;
    ASSERT_EQ(StartJob(), S_OK);
    StartDoc();
    EXPECT_EQ(Cmd(kx::CMDID_START_PAGE), S_OK);
    op().pDocDaten->dwRotate = 1;
    EXPECT_EQ(Cmd(kx::CMDID_END_PAGE), S_OK);
    EndJob();
    EXPECT_TRUE(BytesEqual(std::string(kStart) + "^FBBA--r00001---_"
                                                 "^FCDN--r1-------_\r\n"
                                                 "\x1B"
                                                 "C"
                                                 "^FBA---r00------_^FBC---r1-------_",
                           Spool()));
}

// The image path: a white page is empty and suppressed; a page with a row
// of dots sends that row as a D record before its field count.
class RasterJob : public JobTest {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kRows = 4;

    void SetUp() override
    {
        JobTest::SetUp();
        d.devmode.FixedData.bQuality = 1;
        d.devmode.wDruckmodus = 0;
        d.devmode.wFarbband = 0;
        pi.bLeereSeiten = 1;
    }
    // A 1-bit page, top row first; a set bit is white.
    static std::vector<BYTE> Page(int blackRow)
    {
        std::vector<BYTE> bits(kRows * 8, 0xFF);
        if (blackRow >= 0) std::memset(bits.data() + blackRow * 8, 0x00, 8);
        return bits;
    }
    void RasterPage(std::vector<BYTE> bits)
    {
        EXPECT_EQ(Cmd(kx::CMDID_START_PAGE), S_OK);
        BITMAPINFOHEADER band{};
        band.biSize = sizeof(band);
        band.biWidth = kWidth;
        band.biHeight = kRows;
        band.biPlanes = 1;
        band.biBitCount = 1;
        band.biSizeImage = static_cast<DWORD>(bits.size());
        IPPARAMS ip{};
        EXPECT_EQ(kx::CaptureBand(d.dev(), bits.data(), &band, nullptr, 1, &ip), S_OK);
        EXPECT_EQ(Cmd(kx::CMDID_END_PAGE), S_OK);
    }
};

TEST_F(RasterJob, WhitePageIsEmptyAndAPageWithDotsSendsItsRow)
{
    ASSERT_EQ(StartJob(), S_OK);
    StartDoc();
    RasterPage(Page(-1));
    const std::size_t afterFirst = Spool().size();
    RasterPage(Page(2));
    EndJob();
    const std::string spool = Spool();
    EXPECT_TRUE(BytesEqual(std::string(kStart) + "^FBBA--r00001---_^FBA---r00------_",
                           spool.substr(0, afterFirst)));
    // The row with dots (row 2 from the top) as a D record.
    const std::string second = spool.substr(afterFirst);
    EXPECT_EQ(second.find("^D0002"), 0u) << kxtest::Escape(second);
    EXPECT_TRUE(second.ends_with("^FBA---r00------_^FBC---r1-------_")) << kxtest::Escape(second);
    // One record: the other rows are white.
    EXPECT_EQ(second.find("^D", 1), std::string::npos);
}

}  // namespace
