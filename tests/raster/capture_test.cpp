// Band capture: how the bands of a page become one page buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "capture_device.h"
#include "diag/logfile.h"
#include "platform/platform.h"

namespace {

// The device palette that bFillColorTable reads (served to the engine call
// lookup from this program's exports).
PALETTEENTRY gDevicePalette[256];
UINT gDevicePaletteCount = 256;

}  // namespace

extern "C" __attribute__((visibility("default"))) UINT GetPaletteEntries(HPALETTE, UINT iStart,
                                                                         UINT cEntries,
                                                                         PALETTEENTRY* pEntries)
{
    UINT n = 0;
    for (; n < cEntries && iStart + n < gDevicePaletteCount; ++n)
        pEntries[n] = gDevicePalette[iStart + n];
    return n;
}

namespace {

using kxtest::BandHeader;
using kxtest::RasterDevice;

HRESULT Capture(RasterDevice& d, BITMAPINFOHEADER& h, const std::string& bits, bool blank = false,
                DWORD callbackId = 1)
{
    IPPARAMS ip{};
    ip.dwSize = sizeof(ip);
    ip.bBlankBand = blank;
    return kx::CaptureBand(d.dev(), reinterpret_cast<PBYTE>(const_cast<char*>(bits.data())), &h,
                           nullptr, callbackId, &ip);
}

std::string Fill(std::size_t n, char first)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(first + i);
    return s;
}

class CaptureTest : public ::testing::Test {
protected:
    kxtest::SimSandbox sandbox;
    RasterDevice d;
};

TEST_F(CaptureTest, BandsAreAppendedAndTheHeadersAccumulate)
{
    auto h1 = BandHeader(32, 2, 1, 8);
    h1.biXPelsPerMeter = 11811;
    ASSERT_EQ(Capture(d, h1, Fill(8, 1)), S_OK);
    auto h2 = BandHeader(32, 3, 1, 12);
    ASSERT_EQ(Capture(d, h2, Fill(12, 0x40)), S_OK);

    EXPECT_EQ(d.Page(), Fill(8, 1) + Fill(12, 0x40));
    EXPECT_EQ(d.bv.dwBufOffset, 8u);
    EXPECT_EQ(d.bv.bmInfoHeader.biWidth, 32);
    EXPECT_EQ(d.bv.bmInfoHeader.biHeight, 5);
    EXPECT_EQ(d.bv.bmInfoHeader.biSizeImage, 20u);
    EXPECT_EQ(d.bv.bmInfoHeader.biBitCount, 1);
    EXPECT_EQ(d.bv.bmInfoHeader.biXPelsPerMeter, 11811);
    EXPECT_EQ(d.ba.wBildTeile, 2);
    EXPECT_EQ(d.ba.iBildTeilePosY[1], 2u);
    EXPECT_EQ(d.ba.iBildTeilePosY[2], 5u);
    EXPECT_EQ(d.ba.iBildTeilePosX[2], 32u);

    // A 1-bit page: black and white table, BMP headers for a 2-colour BMP.
    EXPECT_EQ(d.pdev.cPalColors, 2u);
    EXPECT_TRUE(d.bv.bPaletteValid);
    EXPECT_EQ(d.table[0].rgbRed + d.table[0].rgbGreen + d.table[0].rgbBlue, 0);
    EXPECT_EQ(d.table[1].rgbRed & d.table[1].rgbGreen & d.table[1].rgbBlue, 255);
    const BITMAPFILEHEADER fh = d.bv.bmFileHeader;  // packed: compare copies
    EXPECT_EQ(WORD{fh.bfType}, 0x4D42);
    EXPECT_EQ(DWORD{fh.bfSize}, 20u + 54 + 8);
    EXPECT_EQ(DWORD{fh.bfOffBits}, 54u + 8);

    EXPECT_EQ(d.devmode.FixedData.bQuality, 1u);
    EXPECT_TRUE(d.data.dwDocFeatures & kx::kDocFeatureQuality);
    EXPECT_EQ(d.pdev.iHAllocZaehler, 1);
    kx::vFreeBuffer(&d.pdev);
    EXPECT_EQ(d.pdev.iHAllocZaehler, 0);
    EXPECT_EQ(d.bv.dwBufSize, 0u);
    EXPECT_EQ(d.bv.pBufStart, nullptr);

    // The next page starts afresh: its first band gives the headers again.
    kx::ResetPageImage(&d.pdev);
    auto h3 = BandHeader(64, 1, 1, 8);
    ASSERT_EQ(Capture(d, h3, Fill(8, 0x20)), S_OK);
    EXPECT_EQ(d.Page(), Fill(8, 0x20));
    EXPECT_EQ(d.bv.bmInfoHeader.biWidth, 64);
    EXPECT_EQ(d.bv.bmInfoHeader.biHeight, 1);
    EXPECT_EQ(d.ba.wBildTeile, 1);
}

TEST_F(CaptureTest, BlankBandsAreWhiteAndTheirBitsAreNotRead)
{
    auto h1 = BandHeader(32, 1, 1, 4);
    ASSERT_EQ(Capture(d, h1, Fill(4, 1)), S_OK);
    // The blank band's "bits" are one byte long: reading them would be
    // caught by the address sanitizer.
    auto h2 = BandHeader(32, 25, 1, 100);
    ASSERT_EQ(Capture(d, h2, std::string(1, '\0'), true), S_OK);
    EXPECT_EQ(d.Page(), Fill(4, 1) + std::string(100, '\xFF'));
    EXPECT_EQ(d.bv.bmInfoHeader.biHeight, 26);
}

TEST_F(CaptureTest, NegativeHeightCountsPositiveOnlyForTheFirstBand)
{
    auto h1 = BandHeader(32, -3, 1, 12);
    ASSERT_EQ(Capture(d, h1, Fill(12, 1)), S_OK);
    EXPECT_EQ(h1.biHeight, 3);  // the caller's header is corrected
    EXPECT_EQ(d.bv.bmInfoHeader.biHeight, 3);
    auto h2 = BandHeader(32, -2, 1, 8);
    ASSERT_EQ(Capture(d, h2, Fill(8, 1)), S_OK);
    EXPECT_EQ(h2.biHeight, -2);
    EXPECT_EQ(d.bv.bmInfoHeader.biHeight, 1);
    EXPECT_EQ(d.bv.dwBufSize, 20u);

    // The most negative height cannot be negated; it is refused by size.
    RasterDevice e;
    auto h3 = BandHeader(32, INT32_MIN, 1, 8);
    EXPECT_EQ(Capture(e, h3, Fill(8, 1)), E_FAIL);
    EXPECT_EQ(h3.biHeight, INT32_MAX);
}

TEST_F(CaptureTest, TheFirstBandMustFitTheModelEitherWayRound)
{
    // 1500 wide exceeds lMaxSizeX (1000) but fits lMaxSizeY (2000); its
    // height fits lMaxSizeX: a turned format.
    auto turned = BandHeader(1500, 900, 1, 188);
    EXPECT_EQ(Capture(d, turned, std::string(188, '\xFF')), S_OK);

    // Refused, and the user learns why from the information log.
    RasterDevice e;
    e.SetPrnFileName(u"C:\\out\\job");
    ASSERT_TRUE(kx::plat::CreateDirectory(u"C:\\out"));
    ASSERT_TRUE(kx::OpenJobLogFile(&e.pdev, nullptr, 1));
    auto tooHigh = BandHeader(1500, 1001, 1, 188);
    EXPECT_EQ(Capture(e, tooHigh, std::string(188, '\xFF')), E_FAIL);
    EXPECT_EQ(e.bv.pBufStart, nullptr);
    EXPECT_EQ(e.devmode.FixedData.bQuality, 0u);
    kx::CloseJobLogFile(&e.pdev);
    EXPECT_NE(sandbox.ReadHostFile(sandbox.HostPath(u"C:\\out\\job.log"))
                  .find("\r\nImageProcessing() Papierformat zu gro\xDF oder FixedData ERROR "),
              std::string::npos);

    RasterDevice f;
    f.devmode.FixedData.wMasterUnit = 0;
    auto band = BandHeader(8, 1, 1, 4);
    EXPECT_EQ(Capture(f, band, Fill(4, 1)), E_FAIL);

    RasterDevice g;
    g.bv.prgbq = nullptr;
    EXPECT_EQ(Capture(g, band, Fill(4, 1)), E_FAIL);
}

TEST_F(CaptureTest, EightBitBandsTakeTheDevicePaletteWithWhiteLast)
{
    for (int i = 0; i < 256; ++i)
        gDevicePalette[i] = PALETTEENTRY{BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
    for (RGBQUAD& q : d.table) q = RGBQUAD{7, 7, 7, 0x5A};
    auto h = BandHeader(4, 1, 8, 4);
    ASSERT_EQ(Capture(d, h, Fill(4, 1)), S_OK);
    EXPECT_EQ(d.pdev.cPalColors, 256u);
    EXPECT_EQ(d.table[10].rgbRed, 10);
    EXPECT_EQ(d.table[10].rgbGreen, 245);
    EXPECT_EQ(d.table[10].rgbBlue, 5);
    EXPECT_EQ(d.table[10].rgbReserved, 0x5A);  // reserved bytes are left alone
    // The palette's own last entry (255, 0, 127) is replaced by white.
    EXPECT_EQ(d.table[255].rgbRed, 255);
    EXPECT_EQ(d.table[255].rgbGreen, 255);
    EXPECT_EQ(d.table[255].rgbBlue, 255);
    EXPECT_EQ(DWORD{d.bv.bmFileHeader.bfOffBits}, 54u + 1024);
    EXPECT_EQ(d.pdev.iNewZaehler, 0);

    // Callback 5 leaves the table alone.
    RasterDevice e;
    auto h5 = BandHeader(4, 1, 8, 4);
    ASSERT_EQ(Capture(e, h5, Fill(4, 1), false, kx::kBandCallbackNoPalette), S_OK);
    EXPECT_FALSE(e.bv.bPaletteValid);
    EXPECT_EQ(DWORD{e.bv.bmFileHeader.bfOffBits}, 54u);

    // No palette entries: the band is refused.
    RasterDevice f;
    gDevicePaletteCount = 0;
    auto h8 = BandHeader(4, 1, 8, 4);
    EXPECT_EQ(Capture(f, h8, Fill(4, 1)), E_FAIL);
    gDevicePaletteCount = 256;
}

TEST_F(CaptureTest, ColourPrintingTakesTheSavedTable)
{
    d.data.dwDocFeatures = kx::kDocFeatureColourPrint;
    d.bv.prgbqSaved = d.saved;
    d.saved[3] = RGBQUAD{1, 2, 3, 4};
    auto h = BandHeader(8, 1, 1, 4);
    ASSERT_EQ(Capture(d, h, Fill(4, 1)), S_OK);
    EXPECT_EQ(d.pdev.cPalColors, 256u);
    EXPECT_EQ(std::memcmp(d.table, d.saved, sizeof(d.saved)), 0);
}

TEST_F(CaptureTest, MissingStructures)
{
    auto h = BandHeader(8, 1, 1, 4);
    std::string bits = Fill(4, 1);
    PBYTE p = reinterpret_cast<PBYTE>(bits.data());
    // Without device state or devmode nothing is stored, and the host is not
    // stopped.
    EXPECT_EQ(kx::CaptureBand(nullptr, p, &h, nullptr, 1, nullptr), S_OK);
    d.devobj.pOEMDM = nullptr;
    EXPECT_EQ(kx::CaptureBand(d.dev(), p, &h, nullptr, 1, nullptr), S_OK);
    d.devobj.pOEMDM = &d.devmode;
    EXPECT_EQ(kx::CaptureBand(d.dev(), nullptr, &h, nullptr, 1, nullptr), E_FAIL);
    EXPECT_EQ(kx::CaptureBand(d.dev(), p, nullptr, nullptr, 1, nullptr), E_FAIL);
    for (auto clear : {+[](RasterDevice& r) { r.op.pBildverarbeitung = nullptr; },
                       +[](RasterDevice& r) { r.op.hBufferHeap = nullptr; },
                       +[](RasterDevice& r) { r.op.pDruckDaten = nullptr; },
                       +[](RasterDevice& r) { r.op.pBildanteile = nullptr; },
                       +[](RasterDevice& r) { r.pdev.pOp = nullptr; }}) {
        RasterDevice e;
        clear(e);
        EXPECT_EQ(kx::CaptureBand(e.dev(), p, &h, nullptr, 1, nullptr), E_FAIL);
        EXPECT_EQ(e.bv.pBufStart, nullptr);
    }
    // A band without image bytes only counts in the headers.
    auto empty = BandHeader(8, 1, 1, 0);
    EXPECT_EQ(kx::CaptureBand(d.dev(), p, &empty, nullptr, 1, nullptr), S_OK);
    EXPECT_EQ(d.bv.dwBufSize, 0u);
    EXPECT_EQ(d.bv.bmInfoHeader.biHeight, 1);
}

TEST_F(CaptureTest, MoreThan150BandsAreStoredWithoutOverrunningTheTables)
{
    for (int i = 0; i < 200; ++i) {
        auto h = BandHeader(32, 1, 1, 4);
        ASSERT_EQ(Capture(d, h, std::string(4, static_cast<char>(i))), S_OK) << i;
    }
    EXPECT_EQ(d.ba.wBildTeile, 200);
    EXPECT_EQ(d.bv.dwBufSize, 800u);
    EXPECT_GE(d.bv.dwBufCapacity, d.bv.dwBufSize);
    EXPECT_EQ(d.pdev.iHAllocZaehler, 1);
    EXPECT_EQ(d.ba.iBildTeilePosY[149], 149u);
    EXPECT_EQ(static_cast<unsigned char>(d.Page()[199 * 4]), 199);
}

TEST_F(CaptureTest, HugeBandsAreRefusedBeforeAnythingIsAllocated)
{
    // lMaxSize 2000: the page buffer is limited to 4 * 2000 * 2000 bytes.
    EXPECT_EQ(kx::MaxPageBufferSize(d.devmode.FixedData), 16000000u);
    auto h1 = BandHeader(32, 1, 1, 4);
    ASSERT_EQ(Capture(d, h1, Fill(4, 1)), S_OK);
    auto huge = BandHeader(32, 1, 1, 0xFFFFFFF0u);
    const auto before = kx::plat::GetHeapStats();
    EXPECT_EQ(Capture(d, huge, std::string(1, '\0'), true), E_FAIL);
    EXPECT_LE(kx::plat::GetHeapStats().liveBytes, before.liveBytes);
    // The partial page is dropped so that the next page starts clean.
    EXPECT_EQ(d.bv.dwBufSize, 0u);
    EXPECT_EQ(d.pdev.iHAllocZaehler, 0);
}

// ------------------------------------------------------------ landscape strips

class LandscapeTest : public CaptureTest {
protected:
    void SetUp() override { d.publicDM.dmOrientation = DMORIENT_LANDSCAPE; }
};

// Strips of 8 pixels at 8 bits for a page 12 dots long (254 dpi: dots are
// tenths of a millimetre): two strips, the second one cut to 4 bytes.
TEST_F(LandscapeTest, TwoStripsAreJoinedRowByRow)
{
    d.publicDM.dmPaperLength = 12;
    d.publicDM.dmPaperWidth = 3;
    auto h1 = BandHeader(8, 3, 8, 24);
    ASSERT_EQ(Capture(d, h1, Fill(24, 0)), S_OK);
    EXPECT_EQ(d.Page(), Fill(24, 0));  // the first strip is stored as it is
    auto h2 = BandHeader(8, 3, 8, 24);
    ASSERT_EQ(Capture(d, h2, Fill(24, 0x40)), S_OK);

    // T = 12, B = 8, N = 2: S1 = 8, S2 = 4, L1 = 8, LG = 12, P = 0.
    // New size = max(12 * 3, 48).
    std::string expected = Fill(8, 0) + Fill(4, 0x40) + Fill(8, 8) + Fill(4, 0x48) + Fill(8, 16) +
                           Fill(4, 0x50) + std::string(12, '\xFF');
    EXPECT_TRUE(kxtest::BytesEqual(expected, d.Page()));
    EXPECT_EQ(h2.biWidth, 12);
    EXPECT_EQ(h2.biHeight, 3);
    EXPECT_EQ(h2.biSizeImage, 48u);
    EXPECT_EQ(d.bv.bmInfoHeader.biWidth, 12);
    EXPECT_EQ(d.bv.bmInfoHeader.biHeight, 3);
    EXPECT_EQ(d.bv.bmInfoHeader.biSizeImage, 48u);
    EXPECT_EQ(d.ba.wBildTeile, 2);
    EXPECT_EQ(d.pdev.iHAllocZaehler, 1);
}

// A page of 20 dots in strips of 8: three strips. The second joins whole
// (more follow), the third is cut to 20 - 16 = 4 bytes.
TEST_F(LandscapeTest, ThreeStripsJoinWholeUntilTheLastOne)
{
    d.publicDM.dmPaperLength = 20;
    d.publicDM.dmPaperWidth = 2;
    auto h1 = BandHeader(8, 2, 8, 16);
    ASSERT_EQ(Capture(d, h1, Fill(16, 0)), S_OK);
    auto h2 = BandHeader(8, 2, 8, 16);
    ASSERT_EQ(Capture(d, h2, Fill(16, 0x20)), S_OK);
    EXPECT_EQ(d.Page(), Fill(8, 0) + Fill(8, 0x20) + Fill(8, 8) + Fill(8, 0x28));
    EXPECT_EQ(h2.biWidth, 16);  // the width joined so far
    EXPECT_EQ(h2.biSizeImage, 32u);

    auto h3 = BandHeader(8, 2, 8, 16);
    ASSERT_EQ(Capture(d, h3, Fill(16, 0x60)), S_OK);
    // S1 = 16 read straight on, S2 = 4, P = |20 - 20| = 0; size max(40, 48).
    std::string expected = Fill(8, 0) + Fill(8, 0x20) + Fill(4, 0x60) + Fill(8, 8) + Fill(8, 0x28) +
                           Fill(4, 0x68) + std::string(8, '\xFF');
    EXPECT_TRUE(kxtest::BytesEqual(expected, d.Page()));
    EXPECT_EQ(h3.biWidth, 20);
    EXPECT_EQ(h3.biHeight, 2);
    EXPECT_EQ(h3.biSizeImage, 48u);
    EXPECT_EQ(d.ba.wBildTeile, 3);
    EXPECT_EQ(d.pdev.iHAllocZaehler, 1);
}

// 24 bits: byte counts are three times the pixels. A page of 6 dots in strips
// of 4: S1 = 12, S2 = 6, and the row is padded to LG = 20 with P = 2 bytes.
TEST_F(LandscapeTest, TwentyFourBitStripsArePaddedToTheFullRow)
{
    d.publicDM.dmPaperLength = 6;
    d.publicDM.dmPaperWidth = 2;
    auto h1 = BandHeader(4, 2, 24, 24);
    ASSERT_EQ(Capture(d, h1, Fill(24, 0)), S_OK);
    auto h2 = BandHeader(4, 2, 24, 24);
    ASSERT_EQ(Capture(d, h2, Fill(24, 0x40)), S_OK);
    std::string expected = Fill(12, 0) + Fill(6, 0x40) + "\xFF\xFF" + Fill(12, 12) + Fill(6, 0x4C) +
                           "\xFF\xFF" + std::string(8, '\xFF');
    EXPECT_TRUE(kxtest::BytesEqual(expected, d.Page()));
    EXPECT_EQ(h2.biWidth, 6);
    EXPECT_EQ(h2.biSizeImage, 48u);
}

TEST_F(LandscapeTest, AStripThatSpansThePageIsAppended)
{
    d.publicDM.dmPaperLength = 9;  // the strip's 8 dots reach 9 - 1
    auto h1 = BandHeader(8, 1, 8, 8);
    ASSERT_EQ(Capture(d, h1, Fill(8, 0)), S_OK);
    auto h2 = BandHeader(8, 1, 8, 8);
    ASSERT_EQ(Capture(d, h2, Fill(8, 8)), S_OK);
    EXPECT_EQ(d.Page(), Fill(16, 0));
    EXPECT_EQ(h2.biWidth, 8);
    EXPECT_EQ(d.bv.bmInfoHeader.biHeight, 2);
}

TEST_F(LandscapeTest, StripsThatCannotBeReadAreRefusedAndThePageDropped)
{
    // A strip whose header claims more rows than its bits hold: the join
    // stops at the strip's end instead of reading past it.
    d.publicDM.dmPaperLength = 12;
    d.publicDM.dmPaperWidth = 3;
    auto h1 = BandHeader(8, 3, 8, 24);
    ASSERT_EQ(Capture(d, h1, Fill(24, 0)), S_OK);
    auto h2 = BandHeader(8, 5, 8, 16);
    ASSERT_EQ(Capture(d, h2, Fill(16, 0x40)), S_OK);
    EXPECT_EQ(d.Page().substr(0, 24), Fill(8, 0) + Fill(4, 0x40) + Fill(8, 8) + Fill(4, 0x48));

    // A strip without rows copies nothing: the page is dropped.
    RasterDevice e;
    e.publicDM.dmOrientation = DMORIENT_LANDSCAPE;
    e.publicDM.dmPaperLength = 12;
    auto g1 = BandHeader(8, 3, 8, 24);
    ASSERT_EQ(Capture(e, g1, Fill(24, 0)), S_OK);
    auto g2 = BandHeader(8, 0, 8, 24);
    EXPECT_EQ(Capture(e, g2, Fill(24, 0)), E_FAIL);
    EXPECT_EQ(e.bv.pBufStart, nullptr);
    EXPECT_EQ(e.pdev.iHAllocZaehler, 0);
}

// Arbitrary band headers, in portrait and landscape: every call ends with a
// result, the page buffer stays consistent with its size, and nothing leaks.
TEST_F(CaptureTest, ArbitraryHeadersNeverBreakThePageBuffer)
{
    std::mt19937 rng(4711);
    auto pick = [&](std::initializer_list<LONG> values) {
        return *(values.begin() + rng() % values.size());
    };
    for (int round = 0; round < 300; ++round) {
        RasterDevice e;
        e.publicDM.dmOrientation = static_cast<SHORT>(1 + rng() % 2);
        e.publicDM.dmPaperLength = static_cast<SHORT>(pick({0, 1, 12, 100, 1000, -5, 32767}));
        e.publicDM.dmPaperWidth = static_cast<SHORT>(pick({0, 3, 50, -1, 32767}));
        e.devmode.FixedData.wMasterUnit = static_cast<WORD>(pick({0, 1, 203, 300, 600, 65535}));
        for (int band = 0; band < 6; ++band) {
            auto h = BandHeader(pick({0, 1, 7, 8, 64, -8, INT32_MIN, INT32_MAX, 1000}),
                                pick({0, 1, 3, -3, 100, INT32_MIN, INT32_MAX}),
                                static_cast<WORD>(pick({0, 1, 4, 8, 24, 32, 65535})),
                                static_cast<DWORD>(pick({0, 1, 4, 24, 4096, -1})));
            std::string bits(std::min<DWORD>(h.biSizeImage, 4096), '\x55');
            bool blank = h.biSizeImage > 4096 || rng() % 4 == 0;
            if (bits.empty()) bits.resize(1);
            Capture(e, h, bits, blank, rng() % 6);
            ASSERT_EQ(e.bv.pBufStart == nullptr, e.bv.dwBufSize == 0);
            ASSERT_LE(e.bv.dwBufSize, kx::MaxPageBufferSize(e.devmode.FixedData));
        }
        kx::vFreeBuffer(&e.pdev);
        ASSERT_EQ(e.pdev.iHAllocZaehler, 0);
    }
}

}  // namespace
