// The graphics records: run-length code, PCX header, trimming and parts, the
// commands around the graphic and D records.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/output.h"
#include "platform/platform.h"
#include "raster/bitmap.h"
#include "raster/pcx.h"
#include "raster/rle.h"
#include "raster_fixture.h"

namespace {

using kxtest::Bytes;
using kxtest::BytesEqual;
using kxtest::RasterDevice;

// A one-bit image built top-down, stored bottom-up as Bitmap keeps it. A set
// bit is white; new images are white.
struct TestImage {
    int W, H;
    DWORD sl;
    std::vector<BYTE> data;
    TestImage(int w, int h) : W(w), H(h), sl(((w + 31) / 32) * 4), data(sl * h, 0xFF) {}
    BYTE* Row(int y) { return data.data() + std::size_t(H - 1 - y) * sl; }
    const BYTE* Row(int y) const { return data.data() + std::size_t(H - 1 - y) * sl; }
    void SetRow(int y, std::initializer_list<int> bytes)
    {
        int i = 0;
        for (int b : bytes) Row(y)[i++] = static_cast<BYTE>(b);
    }
    bool White(int x, int y) const { return Row(y)[x / 8] & (0x80 >> (x % 8)); }
    kx::MonoImage Mono() const { return {data.data(), W, H, sl, nullptr, 0, 1}; }
};

std::string Encode(const std::string& in)
{
    std::vector<BYTE> out(kx::RunLengthWorstCase(in.size()));
    std::size_t n = kx::EncodeRunLength({reinterpret_cast<const BYTE*>(in.data()), in.size()}, out);
    return std::string(out.begin(), out.begin() + n);
}

// Runs split at 63, escaped single bytes and rows coded one by one: the
// golden jobs lines-runs-203 and graphic-strips-300. Here what a job cannot
// show: a run of one below 0xC0 after a run, and an output too short for the
// worst case, which takes whole codes only.
TEST(PcxRunLength, RunsAndShortOutputs)
{
    EXPECT_EQ(Encode(std::string(64, '\xAA')), Bytes({0xFF, 0xAA, 0xAA}));
    EXPECT_EQ(Encode(std::string(64, '\xF0')), Bytes({0xFF, 0xF0, 0xC1, 0xF0}));
    const std::string in = Bytes({0x01, 0xC5});
    std::vector<BYTE> out(2, 0xEE);
    EXPECT_EQ(kx::EncodeRunLength({reinterpret_cast<const BYTE*>(in.data()), 2}, out), 1u);
    EXPECT_EQ(out[1], 0xEE);
}

// A 16 x 5 image with blank rows at top and bottom and a short inner gap.
TestImage SmallImage()
{
    TestImage img(16, 5);
    img.SetRow(1, {0x00, 0x00, 0xFF, 0xFF});
    img.SetRow(3, {0x7F, 0xFF, 0xFF, 0xC3});
    return img;
}

// The graphic of img on a fresh device (PCX form, 254 dpi, comments off)
// after setup; the spooler stream.
template <class Setup>
std::string Sent(const TestImage& img, Setup setup, BOOL colour = FALSE)
{
    RasterDevice d;
    d.data.bCompress = 1;
    d.data.dwDocFeatures = DOC_FEATURE_QUALITY;
    setup(d);
    kx::SendPCX(d.dev(), &d.uni, img.Mono(), colour);
    return d.uni.spool;
}
std::string Sent(const TestImage& img)
{
    return Sent(img, [](RasterDevice&) {});
}

// The "Y X" fields of the AX records.
std::vector<std::string> Records(const std::string& spool)
{
    std::vector<std::string> r;
    for (std::size_t p = spool.find("^AX000"); p != std::string::npos;
         p = spool.find("^AX000", p + 1))
        r.push_back(spool.substr(p + 6, 12));
    return r;
}
using Positions = std::vector<std::string>;

class PcxSendTest : public ::testing::Test {
protected:
    kxtest::SimSandbox sandbox;
};

// The PCX header and the trimming of blank rows at top and bottom: every
// golden job with a graphic (graphic-decoded-203, -300, -600 and more).
TEST_F(PcxSendTest, InnerGapsOf21RowsOrMoreSplitTheGraphic)
{
    for (int gap : {15, 19, 21, 25}) {
        TestImage img(8, 4 + gap);  // two rows of dots, the gap, two rows of dots
        for (int y : {0, 1, gap + 2, gap + 3}) img.SetRow(y, {0x00});
        EXPECT_EQ(Records(Sent(img)).size(), gap >= 21 ? 2u : 1u) << gap;
    }
    // An all-white label sends no graphic, only the closing line break.
    EXPECT_EQ(Sent(TestImage(40, 30)), "\r\n");
    // Where the parts go and what their headers say: the golden jobs
    // graphic-parts-203, -300 and -600.
}

TEST_F(PcxSendTest, TurnedLabelCommandsComeFirst)
{
    const std::string s = Sent(SmallImage(), [](RasterDevice& d) {
        d.iface().dwPrnFileComment = 1;
        d.devmode.dwFlags = PDMFLAG_DREHEN;
        d.data.dwWinkel_CC = 90;
        d.devmode.wMehrereSeiten = 1;
        d.devmode.wMehrereSeitenAbstand = 20;
    });
    const std::string expected =
        "^FCCL--r0000050-_\t// LabelLength (Rotated) 0.5 mm \r\n"
        "^FCCO--r0000520-_\t// LabelWidth (Rotated) 5.2 mm \r\n"
        "\t// 2 pages per label \r\n\r\n^AX";
    EXPECT_TRUE(BytesEqual(expected, s.substr(0, expected.size())));
    // A turn that keeps the format: no commands (half a turn: the golden job
    // graphic-halfturn-300).
    EXPECT_EQ(Sent(SmallImage(),
                   [](RasterDevice& d) {
                       d.devmode.dwFlags = PDMFLAG_DREHEN | kx::PDMFLAG_DREHEN_O_FORMAT;
                       d.data.dwWinkel_CC = 90;
                   })
                  .substr(0, 5),
              "\r\n^AX");
}

// Offsets of the graphic (no job setting reaches them; lanes, pages and
// columns per label and receipt printing: the golden jobs graphic-lanes-300,
// graphic-pages-300, graphic-pages-order-300, graphic-columns-300 and
// graphic-receipt-300).
TEST_F(PcxSendTest, OffsetsMoveTheGraphic)
{
    // Offsets in dots: X 160 - 10 dots, Y 40 + 5 dots.
    EXPECT_EQ(Records(Sent(SmallImage(),
                           [](RasterDevice& d) {
                               d.data.iBitmapOffset = 10;
                               d.data.iBitmapOffsetLinks = -5;
                           })),
              Positions{"000090000060"});
}

TEST_F(PcxSendTest, RibbonSelectionOfColourPages)
{
    struct Case {
        BOOL colourPlane;
        WORD swap, ribbon, bits;
        const char* expected;
    };
    for (const Case& c : {Case{FALSE, 0, 0, 24, "^FBM---r1-------_\r\n"},
                          Case{TRUE, 0, 0, 24, "^FBM---r2-------_\r\n"},
                          Case{FALSE, 1, 0, 24, "^FBM---r2-------_\r\n"},
                          Case{TRUE, 1, 0, 24, "^FBM---r1-------_\r\n"},
                          Case{FALSE, 0, 7, 24, "^FBM---r2-------_\r\n"},
                          Case{FALSE, 0, 0, 1, "\r\n^AX"}}) {  // a page captured in one bit
        const std::string s = Sent(
            SmallImage(),
            [&c](RasterDevice& d) {
                d.iface().dwPrnFileComment = 1;
                d.data.dwDocFeatures = DOC_FEATURE_COLORPRINT;
                d.bv.bmInfoHeader.biBitCount = c.bits;
                d.devmode.wChangeColorRibbon = c.swap;
                d.devmode.wFarbband = c.ribbon;
            },
            c.colourPlane);
        EXPECT_EQ(s.substr(0, std::strlen(c.expected)), c.expected);
    }
}

TEST_F(PcxSendTest, ColourPlaneGoesToTheColourFileAndCommandsToBoth)
{
    RasterDevice d;
    d.data.bCompress = 1;
    d.devmode.wSplitPrnFile = 1;
    d.data.dwDocFeatures = DOC_FEATURE_COLORPRINT;
    d.bv.bmInfoHeader.biBitCount = 24;
    d.SetPrnFileName(u"C:\\out\\job");
    ASSERT_TRUE(kx::plat::CreateDirectory(u"C:\\out"));
    ASSERT_TRUE(kx::OpenPrnFile(1, &d.pdev, FALSE));
    kx::SendPCX(d.dev(), &d.uni, SmallImage().Mono(), TRUE);
    d.CloseFiles();
    EXPECT_EQ(sandbox.ReadHostFile(sandbox.HostPath(u"C:\\out\\job_bw.prn")), "^FBM---r2-------_");
    EXPECT_EQ(sandbox.ReadHostFile(sandbox.HostPath(u"C:\\out\\job_col.prn")), d.uni.spool);
}

TEST_F(PcxSendTest, ACancelledJobStopsTheGraphic)
{
    RasterDevice d;
    d.data.bCompress = 1;
    d.data.dwDocFeatures = DOC_FEATURE_QUALITY;
    TestImage img(8, 29);
    for (int y : {0, 1, 27, 28}) img.SetRow(y, {0x00});
    d.uni.failWrites = true;
    kx::plat::SetLastError(ERROR_PRINT_CANCELLED);
    kx::SendPCX(d.dev(), &d.uni, img.Mono(), FALSE);
    EXPECT_EQ(d.data.bPrintCancelled, 1u);
    EXPECT_EQ(d.uni.writeCalls, 1);  // the first record failed, nothing followed
    d.uni.failWrites = false;
    d.devmode.dwFlags = PDMFLAG_DREHEN;  // not even the label commands follow
    d.data.dwWinkel_CC = 90;
    kx::SendPCX(d.dev(), &d.uni, img.Mono(), FALSE);
    kx::SendDSatz(d.dev(), &d.uni, img.Mono(), FALSE);
    EXPECT_EQ(d.uni.spool, "");
}

TEST_F(PcxSendTest, ImagesThatCannotBeSent)
{
    RasterDevice d;
    const TestImage img = SmallImage();
    for (auto spoil :
         {+[](kx::MonoImage& m) { m.Bpp = 8; }, +[](kx::MonoImage& m) { m.ScanLineSize = 1; },
          +[](kx::MonoImage& m) { m.Height = 70000; }}) {
        kx::MonoImage m = img.Mono();
        spoil(m);
        EXPECT_EQ(kx::SendPCX(d.dev(), &d.uni, m, FALSE), 0);
    }
    d.devmode.FixedData.wMasterUnit = 0;
    EXPECT_EQ(kx::SendPCX(d.dev(), &d.uni, img.Mono(), FALSE), 0);
    EXPECT_EQ(kx::SendDSatz(d.dev(), &d.uni, img.Mono(), FALSE), 0u);
    EXPECT_EQ(d.uni.writeCalls, 0);
}

// ------------------------------------------------------------ D records

TEST(PcxDRecord, DotsInBytes10To19WithMargin2)
{
    std::string row(52, '\xFF');
    row.replace(10, 10, Bytes({0x00, 0x0F, 0xF0, 0x7E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}));
    auto record = [&](int number, const std::string& r) {
        return kx::DSatzRow('^', '_', number, {reinterpret_cast<const BYTE*>(r.data()), r.size()},
                            2, false);
    };
    EXPECT_TRUE(BytesEqual("^D0017012010" +
                               Bytes({0xFF, 0xF0, 0x0F, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}) +
                               "_\r\n",
                           record(17, row)));
    EXPECT_EQ(record(1, std::string(52, '\xFF')), "");  // a white row is not sent
    EXPECT_EQ(record(10000, row), "");                  // nor one beyond the header's field
}

// D records of a captured page, bottom row first, after the margin of a
// label narrower than the head: the golden job graphic-drecords-203.

}  // namespace
