// Band capture: how the bands of a page become one page buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <vector>

#include "diag/logfile.h"
#include "platform/platform.h"
#include "raster_fixture.h"

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

// Bands appended into one page, its height summed, a fresh page after each
// page end: every golden job of several bands and pages. Here what the
// stream does not show: the page's table, the quality marks, the allocation.
TEST_F(CaptureTest, FirstBandMarksThePage)
{
    auto h1 = BandHeader(32, 2, 1, 8);
    ASSERT_EQ(Capture(d, h1, Fill(8, 1)), S_OK);
    auto h2 = BandHeader(32, 3, 1, 12);
    ASSERT_EQ(Capture(d, h2, Fill(12, 0x40)), S_OK);
    EXPECT_EQ(d.Page(), Fill(8, 1) + Fill(12, 0x40));
    EXPECT_EQ(d.ba.wBildTeile, 2);
    // A 1-bit page: black and white table.
    EXPECT_EQ(d.pdev.cPalColors, 2u);
    EXPECT_EQ(d.tables[0][0].rgbRed + d.tables[0][0].rgbGreen + d.tables[0][0].rgbBlue, 0);
    EXPECT_EQ(d.tables[0][1].rgbRed & d.tables[0][1].rgbGreen & d.tables[0][1].rgbBlue, 255);
    EXPECT_EQ(d.devmode.FixedData.bQuality, 1u);
    EXPECT_TRUE(d.data.dwDocFeatures & DOC_FEATURE_QUALITY);
    EXPECT_EQ(d.pdev.iHAllocZaehler, 1);
    kx::ResetPageImage(&d.pdev);
    EXPECT_EQ(d.pdev.iHAllocZaehler, 0);
}

TEST_F(CaptureTest, BlankBandsAndNegativeHeights)
{
    // A first band of negative height counts with its absolute height.
    auto h1 = BandHeader(32, -3, 1, 12);
    ASSERT_EQ(Capture(d, h1, Fill(12, 1)), S_OK);
    EXPECT_EQ(h1.biHeight, 3);  // the caller's header is corrected
    // A blank band is white; its one-byte "bits" are never read (the address
    // sanitizer would see it).
    auto h2 = BandHeader(32, 25, 1, 100);
    ASSERT_EQ(Capture(d, h2, std::string(1, '\0'), true), S_OK);
    EXPECT_EQ(d.Page(), Fill(12, 1) + std::string(100, '\xFF'));
    // Later heights are added as they come.
    auto h3 = BandHeader(32, -2, 1, 8);
    ASSERT_EQ(Capture(d, h3, Fill(8, 1)), S_OK);
    EXPECT_EQ(d.bv.bmInfoHeader.biHeight, 3 + 25 - 2);
    EXPECT_EQ(d.bv.dwBufSize, 120u);

    // The most negative height cannot be negated; it is refused by size.
    RasterDevice e;
    auto h4 = BandHeader(32, INT32_MIN, 1, 8);
    EXPECT_EQ(Capture(e, h4, Fill(8, 1)), E_FAIL);
    EXPECT_EQ(h4.biHeight, INT32_MAX);
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
    kx::CloseJobLogFile(&e.pdev);
    EXPECT_NE(sandbox.ReadHostFile(sandbox.HostPath(u"C:\\out\\job.log"))
                  .find("\r\nImageProcessing() Papierformat zu gro\xDF oder FixedData ERROR "),
              std::string::npos);
}

TEST_F(CaptureTest, EightBitBandsTakeTheDevicePaletteWithWhiteLast)
{
    for (int i = 0; i < 256; ++i)
        gDevicePalette[i] = PALETTEENTRY{BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
    for (RGBQUAD& q : d.tables[0]) q = RGBQUAD{7, 7, 7, 0x5A};
    auto h = BandHeader(4, 1, 8, 4);
    ASSERT_EQ(Capture(d, h, Fill(4, 1)), S_OK);
    EXPECT_EQ(d.pdev.cPalColors, 256u);
    const RGBQUAD e10 = d.tables[0][10], e255 = d.tables[0][255];
    EXPECT_EQ((std::vector<int>{e10.rgbRed, e10.rgbGreen, e10.rgbBlue, e10.rgbReserved}),
              (std::vector<int>{10, 245, 5, 0x5A}));  // reserved bytes are left alone
    // The palette's own last entry (255, 0, 127) is replaced by white.
    EXPECT_EQ((std::vector<int>{e255.rgbRed, e255.rgbGreen, e255.rgbBlue}),
              (std::vector<int>{255, 255, 255}));

    // No palette entries: the band is refused.
    RasterDevice f;
    gDevicePaletteCount = 0;
    EXPECT_EQ(Capture(f, h, Fill(4, 1)), E_FAIL);
    gDevicePaletteCount = 256;

    // Colour printing takes the job's saved table.
    RasterDevice c;
    c.data.dwDocFeatures = DOC_FEATURE_COLORPRINT;
    c.bv.prgbqSaved = c.tables[1];
    c.tables[1][3] = RGBQUAD{1, 2, 3, 4};
    auto h1 = BandHeader(8, 1, 1, 4);
    ASSERT_EQ(Capture(c, h1, Fill(4, 1)), S_OK);
    EXPECT_EQ(std::memcmp(c.tables[0], c.tables[1], sizeof(c.tables[1])), 0);
}

TEST_F(CaptureTest, MissingStructuresAndEmptyBands)
{
    auto h = BandHeader(8, 1, 1, 4);
    std::string bits = Fill(4, 1);
    PBYTE p = reinterpret_cast<PBYTE>(bits.data());
    // Without device state or devmode the host is not stopped.
    EXPECT_EQ(kx::CaptureBand(nullptr, p, &h, nullptr, 1, nullptr), S_OK);
    EXPECT_EQ(kx::CaptureBand(d.dev(), nullptr, &h, nullptr, 1, nullptr), E_FAIL);
    for (auto clear : {+[](RasterDevice& r) { r.op.pBildverarbeitung = nullptr; },
                       +[](RasterDevice& r) { r.op.hBufferHeap = nullptr; },
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

TEST_F(CaptureTest, ManyAndHugeBands)
{
    // More bands than the band tables hold are all stored.
    for (int i = 0; i < 200; ++i) {
        auto h = BandHeader(32, 1, 1, 4);
        ASSERT_EQ(Capture(d, h, std::string(4, static_cast<char>(i))), S_OK) << i;
    }
    EXPECT_EQ(d.ba.wBildTeile, 200);
    EXPECT_EQ(d.ba.iBildTeilePosY[149], 149u);
    EXPECT_EQ(static_cast<unsigned char>(d.Page()[199 * 4]), 199);
    EXPECT_GE(d.bv.dwBufCapacity, d.bv.dwBufSize);

    // lMaxSize 2000: the page buffer is limited to 4 * 2000 * 2000 bytes. A
    // band beyond it is refused before anything is allocated, and the
    // partial page dropped.
    EXPECT_EQ(kx::MaxPageBufferSize(d.devmode.FixedData), 16000000u);
    auto huge = BandHeader(32, 1, 1, 0xFFFFFFF0u);
    const auto before = kx::plat::GetHeapStats();
    EXPECT_EQ(Capture(d, huge, std::string(1, '\0'), true), E_FAIL);
    EXPECT_LE(kx::plat::GetHeapStats().liveBytes, before.liveBytes);
    EXPECT_EQ(d.bv.dwBufSize, 0u);
    EXPECT_EQ(d.pdev.iHAllocZaehler, 0);
}

// ------------------------------------------------------------ landscape strips

// How strips are joined row by row (the last one cut, 24-bit rows padded):
// the golden job graphic-strips-300. Here what no host can hand over.
TEST_F(CaptureTest, WideLandscapeStripsAreAppendedAndUnreadableOnesStopOrDropThePage)
{
    // A strip that already spans the page (8 dots of 9) is appended.
    RasterDevice e;
    for (RasterDevice* r : {&d, &e}) r->publicDM.dmOrientation = DMORIENT_LANDSCAPE;
    e.publicDM.dmPaperLength = 9;
    for (char first : {0, 8}) {
        auto h = BandHeader(8, 1, 8, 8);
        ASSERT_EQ(Capture(e, h, Fill(8, first)), S_OK);
    }
    EXPECT_EQ(e.Page(), Fill(16, 0));
    EXPECT_EQ(e.bv.bmInfoHeader.biHeight, 2);

    // One strip of 8-bit rows whose bits count up from first.
    auto strip = [&](LONG h, DWORD size, char first) {
        auto hdr = BandHeader(8, h, 8, size);
        return Capture(d, hdr, Fill(size, first));
    };
    // A strip whose header claims more rows than its bits hold: the join
    // stops at the strip's end instead of reading past it.
    d.publicDM.dmPaperLength = 12;
    EXPECT_EQ(strip(3, 24, 0), S_OK);
    EXPECT_EQ(strip(5, 16, 0x40), S_OK);
    EXPECT_EQ(d.Page().substr(0, 24), Fill(8, 0) + Fill(4, 0x40) + Fill(8, 8) + Fill(4, 0x48));
    // A strip without rows copies nothing: the page is dropped.
    EXPECT_EQ(strip(0, 24, 0), E_FAIL);
    EXPECT_EQ(d.bv.pBufStart, nullptr);
    EXPECT_EQ(d.pdev.iHAllocZaehler, 0);
}

}  // namespace

// ------------------------------------------------------------ the page's block

// See data/page-buffer.txt: the page in one block where its size is known
// ahead, and the Bitmap of page end taking that block over.
TEST(PageBuffer, OneBlockAndTakeOverMatchThePlainCopy)
{
    const auto rows = kxtest::DataRows("page-buffer.txt");
    EXPECT_EQ(rows.size(), 8u);
    for (const std::string& row : rows) {
        SCOPED_TRACE(row);
        std::istringstream in(row);
        int bits, width, bandRows, bands, paperRows, bitmapRows, oneBlock, takenOver;
        ASSERT_TRUE(in >> bits >> width >> bandRows >> bands >> paperRows >> bitmapRows >>
                    oneBlock >> takenOver);
        kxtest::SimSandbox sandbox;
        RasterDevice d;
        d.publicDM.dmPaperLength = static_cast<SHORT>(paperRows);
        const auto stride = static_cast<DWORD>(((bits * width + 31) / 32) * 4);
        const std::uint64_t allocsBefore = kx::plat::GetHeapStats().totalAllocations;
        std::string captured;
        kxtest::Lcg lcg{static_cast<std::uint32_t>(bits * 1000 + paperRows)};
        for (int b = 0; b < bands; ++b) {
            std::string band(stride * bandRows, '\0');
            for (char& c : band) c = static_cast<char>(lcg());
            auto h = BandHeader(width, bandRows, static_cast<WORD>(bits), stride * bandRows);
            ASSERT_EQ(Capture(d, h, band), S_OK);
            captured += band;
        }
        EXPECT_EQ(d.Page(), captured);
        const std::uint64_t blocks = kx::plat::GetHeapStats().totalAllocations - allocsBefore;
        EXPECT_EQ(blocks == 1, oneBlock == 1) << blocks << " blocks";

        const std::vector<BYTE> copy(captured.begin(), captured.end());
        const auto before = kx::plat::GetHeapStats();
        {
            kx::Bitmap plain(&d.pdev, width, bitmapRows, bits, copy.data(), kx::BM_FLIP);
            kx::Bitmap taken(&d.pdev, width, bitmapRows, bits, d.bv.pBufStart, kx::BM_TAKE_PAGE);
            ASSERT_EQ(taken.DataSize, plain.DataSize);
            ASSERT_GT(taken.DataSize, 0u);
            EXPECT_EQ(std::memcmp(taken.Data, plain.Data, plain.DataSize), 0);
            EXPECT_EQ(std::memcmp(&taken.BMPInfoHeader, &plain.BMPInfoHeader,
                                  sizeof(plain.BMPInfoHeader)),
                      0);
            EXPECT_EQ(std::memcmp(taken.Palette, plain.Palette, sizeof(plain.Palette)), 0);
            // Taken over: the record has no buffer and the job one block
            // less; else the buffer stays for page end to free.
            EXPECT_EQ(d.bv.pBufStart == nullptr, takenOver == 1);
            EXPECT_EQ(d.bv.dwBufSize, takenOver ? 0u : captured.size());
            EXPECT_EQ(d.pdev.iHAllocZaehler, takenOver ? 0 : 1);
        }
        kx::vFreeBuffer(&d.pdev);
        // Every block went back once: the page's block with the bitmap that
        // took it, or with the page.
        EXPECT_EQ(kx::plat::GetHeapStats().liveBlocks, before.liveBlocks - 1);
    }
}
