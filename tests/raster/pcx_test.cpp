// The graphics records: run-length code, PCX header, trimming and parts, the
// commands around the graphic, D records, and the PCX data read back by an
// independent decoder (netpbm's pcxtoppm).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "capture_device.h"
#include "platform/platform.h"
#include "plugin/output.h"
#include "raster/bitmap.h"
#include "raster/pcx.h"
#include "raster/rle.h"

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

TEST(PcxRunLength, RunsAndSingleBytes)
{
    EXPECT_EQ(Encode(std::string(40, '\0')), Bytes({0xE8, 0x00}));
    EXPECT_EQ(Encode(Bytes({0x00, 0x00, 0xC3})), Bytes({0xC2, 0x00, 0xC1, 0xC3}));
    EXPECT_EQ(Encode(Bytes({0xBF, 0xC0})), Bytes({0xBF, 0xC1, 0xC0}));
    EXPECT_EQ(Encode(std::string(63, '\xAA')), Bytes({0xFF, 0xAA}));
    EXPECT_EQ(Encode(std::string(64, '\xAA')), Bytes({0xFF, 0xAA, 0xAA}));
    EXPECT_EQ(Encode(std::string(64, '\xF0')), Bytes({0xFF, 0xF0, 0xC1, 0xF0}));
    EXPECT_EQ(Encode(std::string(200, '\0')),
              Bytes({0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xCB, 0x00}));
    EXPECT_EQ(Encode(""), "");
}

TEST(PcxRunLength, ShortOutputTakesWholeCodesOnlyAndSizesAgree)
{
    const std::string in = Bytes({0x01, 0xC5, 0x02});
    std::vector<BYTE> out(2, 0xEE);
    EXPECT_EQ(kx::EncodeRunLength({reinterpret_cast<const BYTE*>(in.data()), in.size()}, out), 1u);
    EXPECT_EQ(out[1], 0xEE);

    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        std::string s(rng() % 300, '\0');
        for (char& c : s) c = static_cast<char>(rng() % 3 == 0 ? 0xC7 : (rng() % 4 ? 0xFF : rng()));
        std::string e = Encode(s);
        EXPECT_EQ(kx::RunLengthSize({reinterpret_cast<const BYTE*>(s.data()), s.size()}), e.size());
        EXPECT_LE(e.size(), kx::RunLengthWorstCase(s.size()));
    }
}

TEST(PcxObject, HeaderAndRowsTopDown)
{
    TestImage img(10, 3);
    img.SetRow(0, {0x00});
    img.SetRow(2, {0x3F});
    const RGBQUAD palette[2] = {{0, 0, 200, 0}, {10, 20, 30, 0}};  // blue, green, red
    kx::PCX pcx(10, 3, img.data.data(), palette, 2);
    ASSERT_EQ(pcx.DataSize, 12u);
    EXPECT_EQ(pcx.SLSize, 4u);
    EXPECT_EQ(pcx.Row(0)[0], 0x00);  // top row first
    EXPECT_EQ(pcx.Row(2)[0], 0x3F);

    std::string expected(128, '\0');
    expected.replace(0, 12, Bytes({10, 5, 1, 1, 0, 0, 0, 0, 9, 0, 2, 0}));
    expected.replace(16, 6, Bytes({200, 0, 0, 30, 20, 10}));
    expected.replace(65, 5, Bytes({1, 4, 0, 1, 0}));
    EXPECT_TRUE(BytesEqual(expected, std::string(reinterpret_cast<char*>(pcx.PCXHeader), 128)));

    // Rows are coded one by one: a run never crosses a row end.
    TestImage two(32, 2);
    two.SetRow(0, {0, 0, 0, 0});
    two.SetRow(1, {0, 0, 0, 0});
    kx::PCX p2(32, 2, two.data.data());
    std::vector<BYTE> out(p2.EncodedWorstCase(2));
    ASSERT_EQ(p2.EncodeRows(0, 2, out), 4u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 4), Bytes({0xC4, 0, 0xC4, 0}));
}

class PcxSendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        d.data.bCompress = 1;
        d.data.dwDocFeatures = kx::kDocFeatureQuality;
    }
    WORD Send(const TestImage& img, BOOL colour = FALSE)
    {
        return kx::SendPCX(d.dev(), &d.uni, img.Mono(), colour);
    }
    void CommentsOn() { d.iface().dwPrnFileComment = 1; }

    kxtest::SimSandbox sandbox;
    RasterDevice d;
};

// A 16 x 5 image with blank rows at top and bottom and a short inner gap.
TestImage SmallImage()
{
    TestImage img(16, 5);
    img.SetRow(1, {0x00, 0x00, 0xFF, 0xFF});
    img.SetRow(3, {0x7F, 0xFF, 0xFF, 0xC3});
    return img;
}

std::string SmallHeader(int yMin, int yMax)
{
    std::string h(128, '\0');
    h.replace(0, 12, Bytes({10, 5, 1, 1, 0, 0, yMin, 0, 15, 0, yMax, 0}));
    h.replace(19, 3, Bytes({255, 255, 255}));
    h.replace(65, 5, Bytes({1, 4, 0, 1, 0}));
    return h;
}

TEST_F(PcxSendTest, OneRecordTrimmedAtTopAndBottom)
{
    EXPECT_EQ(Send(SmallImage()), 1);
    // 254 dpi: 16 dots wide = 160, 5 high = 50, less one blank row = 40.
    const std::string expected =
        "\r\n^AX0000000400001601_" + SmallHeader(1, 3) +
        Bytes({0xC2, 0x00, 0xC2, 0xFF, 0xC4, 0xFF, 0x7F, 0xC2, 0xFF, 0xC1, 0xC3}) + "\r\n";
    EXPECT_TRUE(BytesEqual(expected, d.uni.spool));
    EXPECT_EQ(d.pdev.iNewZaehler, 0);
}

TEST_F(PcxSendTest, BitmapOffsetsMoveTheGraphic)
{
    d.data.iBitmapOffset = 10;       // 100 1/100 mm off the X value
    d.data.iBitmapOffsetLinks = -5;  // 50 onto the Y value
    Send(SmallImage());
    EXPECT_EQ(d.uni.spool.substr(0, 22), "\r\n^AX0000000900000601_");
}

TEST_F(PcxSendTest, AnAllWhiteLabelSendsNoGraphic)
{
    TestImage img(40, 30);
    EXPECT_EQ(Send(img), 30);
    EXPECT_EQ(d.uni.spool, "\r\n");
}

// Counts the AX records and returns their "Y X" fields.
std::vector<std::string> Records(const std::string& spool)
{
    std::vector<std::string> r;
    for (std::size_t p = spool.find("^AX000"); p != std::string::npos;
         p = spool.find("^AX000", p + 1))
        r.push_back(spool.substr(p + 6, 12));
    return r;
}

TEST_F(PcxSendTest, AGapOf25RowsSplitsTheGraphicOneOf15DoesNot)
{
    TestImage img(8, 29);  // dots, 25 blank rows (2..26), dots
    for (int y : {0, 1, 27, 28}) img.SetRow(y, {0x00});
    Send(img);
    // The first piece: rows 0..2 (with the gap's first row), at 290 - 26 rows = 30;
    // the second: rows 27..28 at the bottom edge, 290.
    EXPECT_EQ(Records(d.uni.spool), (std::vector<std::string>{"000030000080", "000290000080"}));
    const std::size_t h2 = d.uni.spool.find("^AX000", d.uni.spool.find("^AX000") + 1) + 20;
    EXPECT_EQ(d.uni.spool.substr(h2 + 6, 6), Bytes({0, 0, 7, 0, 1, 0}));  // yMin 0, yMax 1

    RasterDevice e;
    e.data.bCompress = 1;
    TestImage narrow(8, 19);  // 15 blank rows
    for (int y : {0, 1, 17, 18}) narrow.SetRow(y, {0x00});
    kx::SendPCX(e.dev(), &e.uni, narrow.Mono(), FALSE);
    EXPECT_EQ(Records(e.uni.spool).size(), 1u);
}

TEST_F(PcxSendTest, GapsOf21RowsSplitAndOf19DoNot)
{
    for (int gap : {19, 21}) {
        RasterDevice e;
        TestImage img(8, 20 + gap);  // 10 rows of dots, the gap, 10 rows of dots
        for (int y = 0; y < img.H; ++y)
            if (y < 10 || y >= 10 + gap) img.SetRow(y, {0x55});
        kx::SendPCX(e.dev(), &e.uni, img.Mono(), FALSE);
        EXPECT_EQ(Records(e.uni.spool).size(), gap == 21 ? 2u : 1u) << gap;
    }
}

TEST_F(PcxSendTest, TurnedLabelCommandsComeFirst)
{
    CommentsOn();
    d.devmode.dwFlags = PDMFLAG_DREHEN;
    d.data.dwWinkel_CC = 90;
    d.devmode.wMehrereSeiten = 1;
    d.devmode.wMehrereSeitenAbstand = 20;
    Send(SmallImage());
    const std::string expected =
        "^FCCL--r0000050-_\t// LabelLength (Rotated) 0.5 mm \r\n"
        "^FCCO--r0000520-_\t// LabelWidth (Rotated) 5.2 mm \r\n"
        "\t// 2 pages per label \r\n\r\n^AX";
    EXPECT_TRUE(BytesEqual(expected, d.uni.spool.substr(0, expected.size())));

    // Not a quarter turn, or turned without changing the format: no commands.
    for (auto set : {+[](RasterDevice& r) { r.data.dwWinkel_CC = 180; },
                     +[](RasterDevice& r) {
                         r.data.bLandscape_CC = 1;
                         r.data.dwWinkel_CC = 270;
                     },
                     +[](RasterDevice& r) { r.devmode.dwFlags |= kx::PDMFLAG_DREHEN_O_FORMAT; }}) {
        RasterDevice e;
        e.devmode.dwFlags = PDMFLAG_DREHEN;
        e.data.dwWinkel_CC = 90;
        set(e);
        kx::SendPCX(e.dev(), &e.uni, SmallImage().Mono(), FALSE);
        EXPECT_EQ(e.uni.spool.substr(0, 5), "\r\n^AX");
    }
}

TEST_F(PcxSendTest, PagesAndColumnsOfOneLabel)
{
    d.data.dwLabelWidth = 300;  // 3000 1/100 mm
    d.devmode.wMehrereSeitenAbstand = 20;
    d.devmode.wMehrereSeiten = 2;
    d.data.wSeitennummer = 1;
    Send(SmallImage());
    // The first of three pages sits in the third slot: 3 * 3000 + 2 gaps.
    EXPECT_EQ(Records(d.uni.spool), std::vector<std::string>{"000040009400"});

    RasterDevice e;
    e.data.dwLabelWidth = 300;
    e.devmode.wMehrereSeitenAbstand = 20;
    e.devmode.wMehrereSeiten = 2;
    e.devmode.wMehrereSeitenAusrichtung = 1;
    e.data.wSeitennummer = 1;
    kx::SendPCX(e.dev(), &e.uni, SmallImage().Mono(), FALSE);
    EXPECT_EQ(Records(e.uni.spool), std::vector<std::string>{"000040003000"});

    // Two columns: the graphic is sent twice, right column first, each
    // record after a line break.
    RasterDevice f;
    f.data.dwLabelWidth = 300;
    f.devmode.wMehrereSeitenAbstand = 20;
    f.devmode.wMehrereReihen = 1;
    kx::SendPCX(f.dev(), &f.uni, SmallImage().Mono(), FALSE);
    EXPECT_EQ(Records(f.uni.spool), (std::vector<std::string>{"000040006200", "000040003000"}));
    EXPECT_EQ(f.uni.spool.substr(0, 5), "\r\n\r\n^");
    EXPECT_EQ(f.data.wSpaltenZaehler, 3);
}

TEST_F(PcxSendTest, LanesMoveTheGraphicToTheLastLane)
{
    d.devmode.FixedData.dwDocFeatures = kx::kDocFeatureMultiLane;
    d.devmode.dwFlags = PDMFLAG_MULTICOL;
    d.devmode.sMultiColNumber = 3;
    d.devmode.dwMultiLabelWidth = 500;
    d.devmode.dwMultiGapWidth = 20;
    Send(SmallImage());
    EXPECT_EQ(Records(d.uni.spool), std::vector<std::string>{"000040010560"});
}

TEST_F(PcxSendTest, RibbonSelectionOfColourPages)
{
    CommentsOn();
    struct Case {
        BOOL colourPlane;
        WORD swap;
        WORD ribbon;
        const char* expected;
    };
    for (const Case& c :
         {Case{FALSE, 0, 0, "^FBM---r1-------_\r\n"}, Case{TRUE, 0, 0, "^FBM---r2-------_\r\n"},
          Case{FALSE, 1, 0, "^FBM---r2-------_\r\n"}, Case{TRUE, 1, 0, "^FBM---r1-------_\r\n"},
          Case{FALSE, 0, 7, "^FBM---r2-------_\r\n"}}) {
        RasterDevice e;
        e.iface().dwPrnFileComment = 1;
        e.data.dwDocFeatures = kx::kDocFeatureColourPrint;
        e.bv.bmInfoHeader.biBitCount = 24;
        e.devmode.wChangeColorRibbon = c.swap;
        e.devmode.wFarbband = c.ribbon;
        kx::SendPCX(e.dev(), &e.uni, SmallImage().Mono(), c.colourPlane);
        EXPECT_EQ(e.uni.spool.substr(0, 19), c.expected);
    }
    // A page that was captured in one bit gets no ribbon command.
    d.data.dwDocFeatures = kx::kDocFeatureColourPrint;
    d.bv.bmInfoHeader.biBitCount = 1;
    Send(SmallImage());
    EXPECT_EQ(d.uni.spool.substr(0, 5), "\r\n^AX");
}

TEST_F(PcxSendTest, ReceiptPrintingEndsTheLabelBelowTheGraphic)
{
    d.devmode.dwLabelType = 2;
    d.devmode.wBelegOffset = 5;
    Send(SmallImage());
    // 5 mm + 50 (untrimmed) - one blank row at the bottom (10).
    const std::string tail = "\r\n^FCCL--r0000540-_";
    EXPECT_EQ(d.uni.spool.substr(d.uni.spool.size() - tail.size()), tail);
}

TEST_F(PcxSendTest, ColourPlaneGoesToTheColourFileAndCommandsToBoth)
{
    d.devmode.wSplitPrnFile = 1;
    d.data.dwDocFeatures |= kx::kDocFeatureColourPrint;
    d.bv.bmInfoHeader.biBitCount = 24;
    d.SetPrnFileName(u"C:\\out\\job");
    ASSERT_TRUE(kx::plat::CreateDirectory(u"C:\\out"));
    ASSERT_TRUE(kx::OpenPrnFile(1, &d.pdev, FALSE));
    Send(SmallImage(), TRUE);
    d.CloseFiles();
    const std::string bw = sandbox.ReadHostFile(sandbox.HostPath(u"C:\\out\\job_bw.prn"));
    const std::string col = sandbox.ReadHostFile(sandbox.HostPath(u"C:\\out\\job_col.prn"));
    EXPECT_EQ(bw, "^FBM---r2-------_");
    EXPECT_EQ(col, d.uni.spool);
}

TEST_F(PcxSendTest, ACancelledJobStopsTheGraphic)
{
    TestImage img(8, 29);
    for (int y : {0, 1, 27, 28}) img.SetRow(y, {0x00});
    d.uni.failWrites = true;
    kx::plat::SetLastError(ERROR_PRINT_CANCELLED);
    Send(img);
    EXPECT_EQ(d.data.bPrintCancelled, 1u);
    EXPECT_EQ(d.uni.writeCalls, 1);  // the first record failed, nothing followed
    d.uni.failWrites = false;
    Send(img);
    EXPECT_EQ(d.uni.spool, "");
}

TEST_F(PcxSendTest, ImagesThatCannotBeSent)
{
    TestImage img = SmallImage();
    kx::MonoImage m = img.Mono();
    m.Bpp = 8;
    EXPECT_EQ(kx::SendPCX(d.dev(), &d.uni, m, FALSE), 0);
    m = img.Mono();
    m.ScanLineSize = 1;
    EXPECT_EQ(kx::SendPCX(d.dev(), &d.uni, m, FALSE), 0);
    m = img.Mono();
    m.Height = 70000;
    EXPECT_EQ(kx::SendPCX(d.dev(), &d.uni, m, FALSE), 0);
    d.devmode.FixedData.wMasterUnit = 0;
    EXPECT_EQ(Send(img), 0);
    EXPECT_EQ(kx::SendDSatz(d.dev(), &d.uni, img.Mono(), FALSE), 0u);
    EXPECT_EQ(d.uni.writeCalls, 0);
}

// ------------------------------------------------------------ D records

TEST(PcxDRecord, DotsInBytes10To19WithMargin2)
{
    std::string row(52, '\xFF');
    const std::string dots = Bytes({0x00, 0x0F, 0xF0, 0x7E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01});
    row.replace(10, 10, dots);
    const std::string rec = kx::DSatzRow(
        '^', '_', 17, {reinterpret_cast<const BYTE*>(row.data()), row.size()}, 2, false);
    EXPECT_TRUE(BytesEqual("^D0017012010" +
                               Bytes({0xFF, 0xF0, 0x0F, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}) +
                               "_\r\n",
                           rec));
    std::string white(52, '\xFF');
    EXPECT_EQ(
        kx::DSatzRow('^', '_', 1, {reinterpret_cast<const BYTE*>(white.data()), 52}, 2, false), "");
    EXPECT_EQ(
        kx::DSatzRow('^', '_', 10000, {reinterpret_cast<const BYTE*>(row.data()), 52}, 2, false),
        "");
}

class DSatzTest : public PcxSendTest {};

TEST_F(DSatzTest, RowsGoBottomFirstWithTheMarginOfANarrowLabel)
{
    // 203 dpi, head 104.0 mm, label 102.0 mm: trunc(203 * 20 / 254) = 15 dots,
    // a margin of round(15 / 8) = 2 bytes.
    d.devmode.FixedData.wMasterUnit = 203;
    d.publicDM.dmPaperWidth = 1020;
    TestImage img(416, 3);
    img.Row(0)[10] = 0x00;
    img.Row(2)[20] = 0x0F;
    img.Row(2)[21] = 0x00;
    EXPECT_EQ(kx::SendDSatz(d.dev(), &d.uni, img.Mono(), FALSE), 1u);
    EXPECT_TRUE(BytesEqual(
        "^D0002022002" + Bytes({0xF0, 0xFF}) + "_\r\n" + "^D0000012001" + Bytes({0xFF}) + "_\r\n",
        d.uni.spool));
}

TEST_F(DSatzTest, TurnedLabelInTheDForm)
{
    CommentsOn();
    d.devmode.FixedData.wMasterUnit = 203;
    d.devmode.dwFlags = PDMFLAG_DREHEN;
    d.data.bLandscape_CC = 1;
    d.publicDM.dmPaperLength = 600;
    d.publicDM.dmPaperWidth = 1040;
    d.bv.bmInfoHeader.biWidth = 400;  // round(400 * 254 / 203) = 500
    TestImage img(8, 1);
    img.Row(0)[0] = 0x00;
    kx::SendDSatz(d.dev(), &d.uni, img.Mono(), FALSE);
    EXPECT_TRUE(
        BytesEqual("^FCCL--r0006000-_\t// LabelLength (Rotated) 60.0 mm \r\n"
                   "^FCCO--r0005400-_\t// LabelWidth (Rotated) 54.0 mm \r\n"
                   "^D0000000001" +
                       Bytes({0xFF}) + "_\r\n\r\n",
                   d.uni.spool));
}

// ------------------------------------------------------------ decoded by pcxtoppm

bool HavePcxToPpm()
{
    return std::system("command -v pcxtoppm >/dev/null 2>&1") == 0;
}

struct Ppm {
    int w = 0, h = 0;
    std::string pixels;
};

bool ReadPpm(const std::string& bytes, Ppm* out)
{
    std::istringstream in(bytes);
    std::string magic;
    int maxval = 0;
    if (!(in >> magic >> out->w >> out->h >> maxval) || magic != "P6" || maxval != 255)
        return false;
    in.get();
    out->pixels.assign(std::istreambuf_iterator<char>(in), {});
    return out->pixels.size() == std::size_t(out->w) * out->h * 3;
}

// Walks one PCX data block: the bytes that code `need` decoded bytes.
std::size_t CodedLength(const std::string& s, std::size_t at, std::size_t need)
{
    std::size_t i = at, produced = 0;
    while (produced < need && i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i++]);
        if (b >= 0xC0) {
            ++i;
            produced += b & 0x3F;
        } else {
            ++produced;
        }
    }
    return i - at;
}

// Every AX record of the stream is cut out as a PCX file, decoded by
// pcxtoppm and compared pixel by pixel with the rows of the image it claims
// (pcxYMax and pcxYMin name them); every row with dots must be covered.
void ExpectDecodesToImage(const std::string& spool, const TestImage& img, const std::string& dir)
{
    std::vector<bool> covered(img.H, false);
    int parts = 0;
    for (std::size_t p = spool.find("\r\n^AX000"); p != std::string::npos;
         p = spool.find("\r\n^AX000", p + 1)) {
        const std::size_t hdr = p + 2 + 20;
        ASSERT_LE(hdr + 128, spool.size());
        auto word = [&](int off) {
            return static_cast<unsigned char>(spool[hdr + off]) |
                   (static_cast<unsigned char>(spool[hdr + off + 1]) << 8);
        };
        const int yMin = word(6), yMax = word(10), xMax = word(8), bpl = word(66);
        const int rows = yMax - yMin + 1;
        const std::size_t len = CodedLength(spool, hdr + 128, std::size_t(rows) * bpl);
        const std::string file = dir + "/part" + std::to_string(parts) + ".pcx";
        std::ofstream(file, std::ios::binary) << spool.substr(hdr, 128 + len);
        const std::string ppmFile = file + ".ppm";
        ASSERT_EQ(std::system(("pcxtoppm " + file + " > " + ppmFile + " 2>/dev/null").c_str()), 0);
        Ppm ppm;
        ASSERT_TRUE(ReadPpm(kxtest::SimSandbox::ReadHostFile(ppmFile), &ppm)) << file;
        ASSERT_EQ(ppm.w, xMax + 1);
        ASSERT_EQ(ppm.w, img.W);
        ASSERT_EQ(ppm.h, rows);
        const int first = img.H - 1 - yMax;
        for (int y = 0; y < rows; ++y) {
            covered[first + y] = true;
            for (int x = 0; x < img.W; ++x) {
                const unsigned char r = ppm.pixels[(std::size_t(y) * ppm.w + x) * 3];
                ASSERT_EQ(r == 255, img.White(x, first + y))
                    << "part " << parts << " row " << first + y << " x " << x;
            }
        }
        p = hdr + 128 + len - 1;
        ++parts;
    }
    EXPECT_GT(parts, 0);
    for (int y = 0; y < img.H; ++y) {
        bool blank = true;
        for (int x = 0; x < img.W; ++x) blank = blank && img.White(x, y);
        EXPECT_TRUE(blank || covered[y]) << "row " << y << " with dots was not sent";
    }
}

TEST_F(PcxSendTest, EveryPartDecodesToTheBitmapRows)
{
    if (!HavePcxToPpm()) GTEST_SKIP() << "pcxtoppm (Debian package netpbm) is not installed";
    std::mt19937 rng(2024);
    for (int w : {75, 600, 1}) {
        RasterDevice e;
        e.data.bCompress = 1;
        TestImage img(w, 160);
        for (int y = 0; y < img.H; ++y) {
            // Blank top (5), bottom (7), a long gap (40..69) and a short one.
            if (y < 5 || y >= img.H - 7 || (y >= 40 && y < 70) || (y >= 90 && y < 100)) continue;
            for (int x = 0; x < w; ++x) {
                const bool black = (y % 17 < 8) ? (rng() % 5 == 0) : (x / 9 + y) % 3 == 0;
                if (black) img.Row(y)[x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
            }
        }
        kx::SendPCX(e.dev(), &e.uni, img.Mono(), FALSE);
        ExpectDecodesToImage(e.uni.spool, img, sandbox.dir());
        EXPECT_EQ(Records(e.uni.spool).size(), 2u) << w;
    }
}

// ------------------------------------------------------------ the page's road

// A page made of random blocks and gaps, top row first.
TestImage RandomPage(int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    TestImage img(w, h);
    for (int y = 3; y < h - 4; ++y) {
        if (y % 50 >= 25) continue;  // blank stretches of 25 rows
        for (int x = 0; x < w; ++x)
            if (rng() % 3 == 0) img.Row(y)[x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
    }
    return img;
}

// Bands as the host delivers them (top row first) are captured, the page
// buffer becomes a Bitmap as page end builds it, and its graphic is read
// back: every PCX part by pcxtoppm, and the D records by their layout.
TEST_F(PcxSendTest, ACapturedPageComesBackFromTheGraphicsRecords)
{
    if (!HavePcxToPpm()) GTEST_SKIP() << "pcxtoppm (Debian package netpbm) is not installed";
    const TestImage page = RandomPage(203, 130, 99);
    for (int y = 0; y < page.H; y += 16) {
        const int rows = std::min(16, page.H - y);
        std::string bits;
        for (int r = y; r < y + rows; ++r)
            bits.append(reinterpret_cast<const char*>(page.Row(r)), page.sl);
        auto h = kxtest::BandHeader(page.W, rows, 1, page.sl * rows);
        ASSERT_EQ(
            kx::CaptureBand(d.dev(), reinterpret_cast<PBYTE>(bits.data()), &h, nullptr, 1, nullptr),
            S_OK);
    }
    kx::Bitmap bmp(&d.pdev, d.bv.bmInfoHeader.biWidth, d.bv.bmInfoHeader.biHeight, 1,
                   d.bv.pBufStart, kx::BM_FLIP);
    ASSERT_EQ(bmp.DataSize, page.data.size());
    EXPECT_EQ(bmp.SendPCX(d.dev(), &d.uni, FALSE), 5);  // rows 125..129 are blank
    ExpectDecodesToImage(d.uni.spool, page, sandbox.dir());

    // The D records of the same bitmap rebuild the page.
    RasterDevice e;
    e.publicDM.dmPaperWidth = 1040;  // as wide as the head: no margin
    ASSERT_EQ(bmp.SendDSatz(e.dev(), &e.uni, FALSE), 1u);
    TestImage back(page.W, page.H);
    const std::string& s = e.uni.spool;
    for (std::size_t p = 0; p < s.size();) {
        ASSERT_EQ(s.substr(p, 2), "^D");
        const int row = std::stoi(s.substr(p + 2, 4));
        const int offset = std::stoi(s.substr(p + 6, 3));
        const int count = std::stoi(s.substr(p + 9, 3));
        for (int i = 0; i < count; ++i)
            back.Row(row)[offset + i] = static_cast<BYTE>(~static_cast<BYTE>(s[p + 12 + i]));
        ASSERT_EQ(s.substr(p + 12 + count, 3), "_\r\n");
        p += 15 + count;
    }
    EXPECT_EQ(back.data, page.data);
}

}  // namespace
