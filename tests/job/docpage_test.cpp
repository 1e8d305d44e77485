// Document and page start: page numbers with their prefixes, the ten-page
// limit of a common print start, job name, codepage, the label parameters,
// copies, inverse print, the page's raster state and the separator page at
// document start.
#include <gtest/gtest.h>

#include "core/format.h"
#include "job/jobstream.h"
#include "job/printstart.h"
#include "core/printerparam.h"
#include "streamfixture.h"

namespace {

using kxtest::BytesEqual;
using kxtest::StreamTest;

class PageStart : public StreamTest {
protected:
    void SetUp() override
    {
        StreamTest::SetUp();
        SetValidMarker(&device.devmode);
        device.iface().dwExtendedProtocol = 1;
        device.devmode.dwGap = 30;
        device.data.dwPage = 0;
        // The printer keeps its own label and device parameters unless a
        // test says otherwise.
        device.data.dwSendEtiParam = 1;
        device.data.dwSendGerParam = 1;
    }
    HRESULT Start() { return kx::StartPage(device.dev(), &device.uni); }
};

TEST_F(PageStart, PageNumberPrefixesKeepTheFieldWide)
{
    CommentsOff();
    const std::pair<DWORD, const char*> cases[] = {
        {7, "^FBEB--r   PAGE7_"},
        {10, "^FBEB--r  PAGE10_"},
        {99, "^FBEB--r  PAGE99_"},
        {100, "^FBEB--r PAGE100_"},
        {999, "^FBEB--r PAGE999_"},
        {1000, "^FBEB--rPAGE1000_"},
        {9999, "^FBEB--rPAGE9999_"},
        {10000, "^FBEB--r # 10000_"},
        {12345, "^FBEB--r # 12345_"},
        {100000, "^FBEB--r# 100000_"},
        {999999, "^FBEB--r# 999999_"},
        {1000000, "^FBEB--r1000000_"},
        {4000000000u, "^FBEB--r4000000000_"},
    };
    std::string spool, file;
    for (const auto& [page, record] : cases) {
        device.data.dwPage = page - 1;
        EXPECT_EQ(Start(), S_OK);
        EXPECT_EQ(device.data.dwPage, page);
        spool += record;
        file += std::string(record) + "\r\n\r\n";  // the record's line, the page start's end
    }
    EXPECT_TRUE(BytesEqual(spool, Spool()));
    EXPECT_TRUE(BytesEqual(file, PrintFile()));
}

TEST_F(PageStart, PageNumberWithCommentsAndForACollatedJob)
{
    CommentsOn();
    device.data.dwPage = 6;
    EXPECT_EQ(Start(), S_OK);
    // A collated job re-sends its print file: the number goes to the spooler
    // only, its comment line stays.
    device.publicDM.dmCollate = 1;
    EXPECT_EQ(Start(), S_OK);
    EXPECT_TRUE(BytesEqual("^FBEB--r   PAGE7_^FBEB--r   PAGE8_", Spool()));
    EXPECT_TRUE(
        BytesEqual("\r\n\t// START_PAGE \r\n^FBEB--r   PAGE7_\t\t// Job ID 7\r\n"
                   "\r\n\t// START_PAGE \r\n\t\t// Job ID 8\r\n",
                   PrintFile()));
}

TEST_F(PageStart, NoPageNumberWhenTheJobIsNotIdentified)
{
    device.data.dwPage = 6;
    device.iface().dwJobIdent = 2;
    EXPECT_EQ(Start(), S_OK);
    device.iface().dwJobIdent = 0;
    device.settings.dwFeature[11] = 1;
    EXPECT_EQ(Start(), S_OK);
    EXPECT_EQ(Spool(), "");
}

TEST_F(PageStart, TenPagesOnACommonPrintStart)
{
    CommentsOn();
    device.data.bMultiPage = 1;
    for (int i = 0; i < 11; ++i) EXPECT_EQ(Start(), S_OK);
    std::string spool;
    for (int page = 1; page <= 10; ++page)
        spool += "^FBG---r" + std::to_string(page) + "_^FBEB--r  " + (page < 10 ? " " : "") +
                 "PAGE" + std::to_string(page) + "_";
    EXPECT_TRUE(BytesEqual(spool, Spool()));
    // The eleventh page is dropped: no records, the counter stays at 10.
    EXPECT_EQ(device.data.dwPage, 10u);
    EXPECT_EQ(device.data.bPageCancelled, 1u);
    EXPECT_EQ(device.data.wSeitennummer, 11);
    const std::string file = PrintFile();
    EXPECT_NE(file.find("^FBG---r10_\t\t\t// Page #10\r\n^FBEB--r  PAGE10_\t\t// Job ID 10\r\n"),
              std::string::npos);
    const std::string dropped = "\r\n\t// START_PAGE \r\n\t// Pages > 10 cancelled \r\n";
    EXPECT_EQ(file.substr(file.size() - dropped.size()), dropped);
    // The next page start clears the mark again.
    device.data.bMultiPage = 0;
    EXPECT_EQ(Start(), S_OK);
    EXPECT_EQ(device.data.bPageCancelled, 0u);
}

TEST_F(PageStart, FirstPageOfTheJob)
{
    CommentsOn();
    device.data.dwSendEtiParam = 0;
    device.settings.dwFeature[0] = FEATURE_INTERFACE_JOBNAME;
    kx::Copy(device.data.szJobName, sizeof(device.data.szJobName), "Lieferschein");
    device.devmode.wCodepageSenden = 1;
    device.devmode.wCodepage = 3;
    device.devmode.dwFlags = PDMFLAG_INVERS;
    EXPECT_EQ(Start(), S_OK);
    const char* records =
        "^FBEB--r   PAGE1_^FBE---rLieferschein_^FCCN--r3-------_^FCDA--r0-------_"
        "^FCCL--r0010000-_^FCCM--r00300---_^FCCO--r0005000-_^FBBA--r00001---_^FCDH--r1-------_";
    EXPECT_TRUE(BytesEqual(records, Spool()));
    EXPECT_TRUE(
        BytesEqual("\r\n\t// START_PAGE \r\n"
                   "^FBEB--r   PAGE1_\t\t// Job ID 1\r\n"
                   "^FBE---rLieferschein_\t// Job name Lieferschein \r\n"
                   "^FCCN--r3-------_\t// Codepage 3\r\n"
                   "^FCDA--r0-------_\t// LabelType single 0\r\n"
                   "^FCCL--r0010000-_\t// Label Length 100.0 mm\r\n"
                   "^FCCM--r00300---_\t// Gap Length  3.0 mm \r\n"
                   "^FCCO--r0005000-_\t// Label Width 50.0 mm \r\n"
                   "^FBBA--r00001---_\t// Copies 1\r\n"
                   "^FCDH--r1-------_\t// Inverse print \r\n",
                   PrintFile()));
}

TEST_F(PageStart, FirstAndSecondPageWithCommentsOff)
{
    CommentsOff();
    device.data.dwSendEtiParam = 0;
    device.settings.dwFeature[0] = FEATURE_INTERFACE_JOBNAME;
    kx::Copy(device.data.szJobName, sizeof(device.data.szJobName), "Lieferschein");
    device.devmode.wCodepageSenden = 1;
    device.devmode.wCodepage = 16;
    EXPECT_EQ(Start(), S_OK);
    // Job name, codepage, gap, copies and inverse print go with the first
    // page only; the material and size with every label.
    EXPECT_EQ(Start(), S_OK);
    EXPECT_TRUE(
        BytesEqual("^FBEB--r   PAGE1_^FBE---rLieferschein_^FCCN--r16------_"
                   "^FCDA--r0-------_^FCCL--r0010000-_^FCCM--r00300---_^FCCO--r0005000-_"
                   "^FBBA--r00001---_^FCDH--r0-------_"
                   "^FBEB--r   PAGE2_^FCDA--r0-------_^FCCL--r0010000-_^FCCO--r0005000-_",
                   Spool()));
    EXPECT_TRUE(
        BytesEqual("^FBEB--r   PAGE1_\r\n^FBE---rLieferschein_\r\n^FCCN--r16------_\r\n"
                   "^FCDA--r0-------_\r\n^FCCL--r0010000-_\r\n^FCCM--r00300---_\r\n"
                   "^FCCO--r0005000-_\r\n^FBBA--r00001---_\r\n^FCDH--r0-------_\r\n\r\n"
                   "^FBEB--r   PAGE2_\r\n^FCDA--r0-------_\r\n^FCCL--r0010000-_\r\n"
                   "^FCCO--r0005000-_\r\n\r\n",
                   PrintFile()));
}

TEST_F(PageStart, LabelParametersKeptByThePrinter)
{
    CommentsOn();
    device.data.dwCopies = 4;
    device.devmode.dwFlags = PDMFLAG_KOPIEN_MANUELL | PDMFLAG_INVERS;
    device.devmode.wCodepageSenden = 1;  // the printer keeps its codepage too
    EXPECT_EQ(Start(), S_OK);
    EXPECT_TRUE(BytesEqual("^FBEB--r   PAGE1_^FBBA--r00004---_", Spool()));
    EXPECT_NE(PrintFile().find("^FBBA--r00004---_\t// Copies 4 man.\r\n"), std::string::npos);
}

TEST_F(PageStart, SeveralPagesOnOneLabel)
{
    device.data.dwSendEtiParam = 0;
    device.data.dwDocFeatures = 0x1;  // no label type, no gap
    device.devmode.wMehrereSeiten = 2;
    device.data.bSkalierung = 0;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Start(), S_OK);
    EXPECT_EQ(kx::SendStartPrint(device.dev(), &device.uni), S_OK);
    EXPECT_EQ(Start(), S_OK);
    // Only the first page of each label carries its number and size: three
    // pages of 50.0 mm side by side.
    EXPECT_TRUE(
        BytesEqual("^FBEB--r   PAGE1_^FCCL--r0010000-_^FCCO--r0015000-_"
                   "^FBBA--r00001---_^FCDH--r0-------_^FBC---r1-------_"
                   "^FBEB--r   PAGE4_^FCCL--r0010000-_^FCCO--r0015000-_",
                   Spool()));
}

TEST_F(PageStart, FitToPageScalesTheLabel)
{
    device.data.dwSendEtiParam = 0;
    device.data.dwDocFeatures = 0x1;
    device.data.dwPage = 1;
    device.devmode.wFitToPage = 1;
    device.devmode.dmPaperWidth = 600;
    device.devmode.dmPaperLength = 1200;
    device.publicDM.dmPaperWidth = 500;
    device.publicDM.dmPaperLength = 1000;
    EXPECT_EQ(Start(), S_OK);
    EXPECT_EQ(device.data.bSkalierung, 1u);
    EXPECT_EQ(device.data.dwLabelLengthUnscaled, 1181u);
    EXPECT_TRUE(BytesEqual("^FBEB--r   PAGE2_^FCCL--r0012000-_^FCCO--r0006000-_", Spool()));
}

TEST_F(PageStart, DevmodeWithoutMarkerSendsNoLabelParameters)
{
    device.data.dwSendEtiParam = 0;
    device.devmode.szPassword[0] = 0;
    EXPECT_EQ(Start(), S_OK);
    EXPECT_TRUE(BytesEqual("^FBEB--r   PAGE1_", Spool()));
}

TEST_F(PageStart, ResetsTheRasterStateOfThePage)
{
    device.data.nCursorOriginX = 12;
    device.data.lCursorY = 300;
    device.op.hBufferHeap = reinterpret_cast<HANDLE>(1);
    bild.pBufStart = kx::CreateBufferHA(device.op.hBufferHeap, 64);
    bild.dwBufSize = bild.dwBufCapacity = 64;
    device.pdev.iHAllocZaehler = 1;
    bild.bHeadersFilled = 1;
    bild.bmInfoHeader.biWidth = 5;
    bild.dwFarbpixel = 9;
    baender.wBildTeile = 3;
    baender.iBildTeilePosY[149] = 7;
    EXPECT_EQ(Start(), S_OK);
    EXPECT_EQ(bild.pBufStart, nullptr);
    EXPECT_EQ(bild.dwBufSize, 0u);
    EXPECT_EQ(device.pdev.iHAllocZaehler, 0);
    EXPECT_EQ(bild.bHeadersFilled, 0u);
    EXPECT_EQ(bild.bmInfoHeader.biWidth, 0);
    EXPECT_EQ(bild.dwFarbpixel, 0u);
    EXPECT_EQ(baender.wBildTeile, 0);
    EXPECT_EQ(baender.iBildTeilePosY[149], 0u);
    EXPECT_EQ(device.data.lCursorX, 12);
    EXPECT_EQ(device.data.lCursorY, 0);
    EXPECT_EQ(device.data.wSeitennummer, 1);
}

TEST_F(PageStart, MissingStructuresAndFailedWrites)
{
    device.op.pBildverarbeitung = nullptr;
    EXPECT_EQ(Start(), E_FAIL);
    device.op.pBildverarbeitung = &bild;
    device.devobj.pOEMDM = nullptr;
    EXPECT_EQ(Start(), E_FAIL);
    device.devobj.pOEMDM = &device.devmode;
    device.op.pDruckDaten = nullptr;
    EXPECT_EQ(Start(), E_FAIL);
    EXPECT_EQ(kx::StartDoc(device.dev(), &device.uni), E_FAIL);
    device.op.pDruckDaten = &device.data;
    EXPECT_EQ(kx::StartPage(nullptr, &device.uni), E_FAIL);
    EXPECT_EQ(device.uni.writeCalls, 0);

    // A failed write is not the page start's failure.
    device.data.dwSendEtiParam = 0;
    device.uni.failWrites = true;
    EXPECT_EQ(Start(), S_OK);
    EXPECT_EQ(device.data.dwPage, 1u);
}

TEST_F(StreamTest, DocumentStartWithTheSeparatorPage)
{
    CommentsOn();
    EXPECT_EQ(kx::StartDoc(device.dev(), &device.uni), S_OK);  // no separator page
    device.iface().dwTrennseite = 2;                           // after each print start, not here
    EXPECT_EQ(kx::StartDoc(device.dev(), &device.uni), S_OK);
    EXPECT_EQ(device.uni.writeCalls, 0);
    device.iface().dwTrennseite = 3;
    EXPECT_EQ(kx::StartDoc(device.dev(), &device.uni), S_OK);
    EXPECT_TRUE(
        BytesEqual("^FBBA--r00001---_^AM[1]500;2501;0;4;0;3;254;254;0_^BM[1]_"
                   "^FBAA--r1-------_^FBC---r1-------_",
                   Spool()));
    EXPECT_TRUE(
        BytesEqual("\r\n\t// START_DOC \r\n"
                   "^FBBA--r00001---_^AM[1]500;2501;0;4;0;3;254;254;0_^BM[1]_\r\n"
                   "^FBAA--r1-------_^FBC---r1-------_\r\n",
                   PrintFile()));
}

TEST(DocumentStart, StartsAMissingJobFirst)
{
    kxtest::SimSandbox sandbox;
    kxtest::TestDevice idle(false);
    SetValidMarker(&idle.devmode);
    idle.devmode.FixedData.wMasterUnit = 300;
    EXPECT_EQ(kx::StartDoc(idle.dev(), &idle.uni), S_OK);
    ASSERT_NE(idle.pdev.pOp, nullptr);
    EXPECT_EQ(kx::EndJob(idle.dev(), &idle.uni), S_OK);
    EXPECT_EQ(idle.pdev.pOp, nullptr);
    EXPECT_EQ(idle.pdev.iHAllocZaehler, 0);
}

}  // namespace
