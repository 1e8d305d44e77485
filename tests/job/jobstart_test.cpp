// The job start where the golden jobs (tests/host/golden/stream-*) do not
// reach: the job's memory blocks, collation and the files it needs, the
// devmode fallback, and settings that are bad or cannot be served (master
// unit 0, a full disk, a print file that cannot be written).
#include <gtest/gtest.h>

#include <filesystem>

#include "core/regvalues.h"
#include "core/trace.h"
#include "job/jobfixture.h"

namespace {

using kxtest::BytesEqual;
using kxtest::JobTest;

void ClearMarkerOf(KX_DEVMODE* dm)
{
    std::memset(reinterpret_cast<BYTE*>(dm) + offsetof(KX_DEVMODE, szPassword), 0,
                KX_PASSWORD_CHARS * sizeof(WCHAR));
}
#define ClearMarker() ClearMarkerOf(&d.devmode)

// One empty page without comments: the data transfer start, the page's
// copies, its field count and its print start.
constexpr char kQuietSpool[] =
    "^FJDTS-r--------_\r\n"
    "^FBBA--r00001---_"
    "^FBA---r00------_"
    "^FBC---r1-------_";

TEST_F(JobTest, SecondStartOnTheSameDeviceLeavesTheJobAlone)
{
    ASSERT_EQ(StartJob(), S_OK);
    KX_POP* first = d.pdev.pOp;
    DruckDaten* data = first->pDruckDaten;
    const WORD blocks = d.pdev.iHAllocZaehler;
    EXPECT_EQ(blocks, 12);  // eleven blocks and the line path's buffer
    EXPECT_EQ(Cmd(kx::CMDID_START_JOB), E_FAIL);
    EXPECT_EQ(d.pdev.pOp, first);
    EXPECT_EQ(first->pDruckDaten, data);
    EXPECT_EQ(d.pdev.iHAllocZaehler, blocks);
    StartDoc();
    Page();
    EndJob();
}

TEST_F(JobTest, NoPrintFileWithoutCommentsBackupOrCollation)
{
    RunJob(1);
    EXPECT_TRUE(BytesEqual(kQuietSpool, Spool()));
    std::vector<kx::plat::FindData> files;
    EXPECT_FALSE(kx::plat::FindFiles(u"C:\\out\\*", &files));
}

TEST_F(JobTest, DevmodeWithoutMarkerTakesTheSavedRecordButKeepsItsHeader)
{
    KX_DEVMODE saved = d.devmode;
    saved.lXOffset = 77;
    saved.wMehrereSeiten = 0;
    saved.dwSignature = 0x12345678;
    ASSERT_EQ(kx::plat::SetPrinterDataEx(printer.handle(), kx::reg::kPrinterDataKey,
                                         kx::reg::kPrivateDevmode, kx::plat::kRegBinary, &saved,
                                         sizeof(saved)),
              0u);
    ClearMarker();
    d.devmode.lXOffset = 5;
    ASSERT_EQ(StartJob(), S_OK);
    EXPECT_EQ(d.devmode.lXOffset, 77);
    EXPECT_EQ(d.devmode.dwSignature, KX_SIGNATURE);
    EXPECT_TRUE(HasValidMarker(d.devmode));
    StartDoc();
    Page();
    EndJob();
}

TEST_F(JobTest, DevmodeWithoutMarkerAndNoSavedRecordLosesItsOptions)
{
    ClearMarker();
    d.devmode.dwFlags = PDMFLAG_INVERS | PDMFLAG_JOBDRUCK;
    d.devmode.wAnzahlKopien = 9;
    d.devmode.wSkalierung = 150;
    d.devmode.cutter_dwMode = 6;
    ASSERT_EQ(StartJob(), S_OK);
    EXPECT_EQ(d.devmode.dwFlags, 0u);
    EXPECT_EQ(d.devmode.wAnzahlKopien, 1);
    EXPECT_EQ(d.devmode.wSkalierung, 100);
    EXPECT_EQ(d.devmode.cutter_dwMode, 0u);
    EXPECT_EQ(op().pDruckDaten->bMultiPage, 0u);
    // Empty placeholder strings have their printer functions.
    EXPECT_EQ(kx::GetDevmodeText(&d.devmode, KX_DM_TEXT(szTime)), u"=CL(0;0;1)<HH:MI:SS>");
    EXPECT_EQ(kx::GetDevmodeText(&d.devmode, KX_DM_TEXT(szExtNumString)),
              u"=CC(+1;2;0;0;1;999)050");
    StartDoc();
    Page();
    EndJob();
}

// A model block without master unit and head width is reported and the job
// still runs; the endless material's empty fields are sized at 300 dpi.
TEST_F(JobTest, MasterUnitAndHeadWidthZeroDoNotStopTheJob)
{
    CommentsOff();
    d.devmode.FixedData.wMasterUnit = 0;
    d.devmode.FixedData.dwHeadWidthByte = 0;
    d.devmode.dwLabelType = 1;
    features[0] = 0x40;
    RunJob(1);
    EXPECT_TRUE(
        BytesEqual("^FJDTS-r--------_\r\n"
                   "^FBBA--r00001---_"
                   "^A01100-000-00000000000_^B01_"
                   "^A02100-000-00000000000_^B02_"
                   "^FBA---r02------_"
                   "^FBC---r1-------_",
                   Spool()));
    EXPECT_NE(
        PrintFile().find("^A01100-000-00000000000_^B01_\r\n^A02100-000-00000000000_^B02_\r\n"),
        std::string::npos);
}

TEST_F(JobTest, FullDiskRefusesTheFileNamesButThePrinterGetsItsData)
{
    CommentsOn();
    pi.bLogFileEnable = 1;
    SetFreeBytes(1000);
    RunJob(1);
    EXPECT_TRUE(BytesEqual(kQuietSpool, Spool()));  // no comments either
    std::vector<kx::plat::FindData> files;
    EXPECT_FALSE(kx::plat::FindFiles(u"C:\\out\\*", &files));
}

TEST_F(JobTest, PrintFileOnAFullDeviceIsTracedAndTheSpoolerUnharmed)
{
    CommentsOff();
    std::filesystem::create_symlink("/dev/full", sandbox.HostPath(u"C:\\out\\KX Test Printer.prn"));
    RunJob(1);
    EXPECT_TRUE(BytesEqual(kQuietSpool, Spool()));
}

TEST_F(JobTest, LogAndTraceFilesBesideThePrintFile)
{
    CommentsOff();
    pi.bLogFileEnable = 1;
    pi.dwDebugFile = 2;
    RunJob(1);
    EXPECT_FALSE(kx::trace::IsOpen());
    const std::string log = HostFile(u"C:\\out\\KX Test Printer.log");
    for (const char* line :
         {"[START_JOB]\r\n", "\t Print File Name    = C:\\out\\KX Test Printer.prn \r\n",
          "\r\n [START_DOC]", "\r\n [END_DOC]\r\n", "\r\n [END_JOB]\r\n", "Pages: 1\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    const std::string trace = HostFile(u"C:\\out\\KX Test Printer-print-dbg.txt");
    EXPECT_NE(trace.find("StartJob() Ende - "), std::string::npos);
    EXPECT_NE(trace.find("iHAllocZaehler: 12 (11)"), std::string::npos);
    // The trace closes after the job's blocks are freed, so it shows that.
    EXPECT_NE(
        trace.find("EndJob(1) Ende - pOemPDev->iNewZaehler: 1 (1), pOemPDev->iHAllocZaehler: 0 "),
        std::string::npos);
}

}  // namespace
