// Document and page start where data/steps.json does not reach: the
// page's raster state, failures, and a document start without a job.
#include <gtest/gtest.h>

#include "core/format.h"
#include "core/printerparam.h"
#include "job/jobstream.h"
#include "job/printstart.h"
#include "streamfixture.h"

namespace {

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
