// The print start where data/steps.json does not reach (the memory-card
// recall file, failures) and the separator page in its modes and languages.
#include <gtest/gtest.h>

#include "job/printstart.h"
#include "platform/platform.h"
#include "platform/sim.h"
#include "streamfixture.h"

namespace {

using kxtest::BytesEqual;
using kxtest::SimSandbox;
using kxtest::StreamTest;

class PrintStart : public StreamTest {};

TEST_F(PrintStart, RecallFileReceivesCopiesAndPrintStart)
{
    device.files.hRecallFile = kx::plat::CreateFile(
        u"C:\\out\\Recall_job.prn", kx::plat::kGenericWrite, 0, kx::plat::kCreateAlways);
    ASSERT_TRUE(IsValidHandle(device.files.hRecallFile));
    device.devmode.wMemCard_Recall = 1;
    device.doc.dwNo_FBC = 1;
    device.data.dwCopies = 5;
    device.publicDM.dmCollate = 1;
    EXPECT_EQ(kx::SendStartPrint(device.dev(), &device.uni), S_OK);
    kx::plat::CloseHandle(device.files.hRecallFile);
    device.files.hRecallFile = INVALID_HANDLE_VALUE;
    EXPECT_EQ(Spool(), "");
    EXPECT_TRUE(BytesEqual("^FBBA--r00005---_\t// Copies \r\n^FBC---r--------_\t// Printstart",
                           SimSandbox::ReadHostFile(sandbox.HostPath(u"C:\\out\\Recall_job.prn"))));
}

TEST_F(PrintStart, FailuresAndMissingStructures)
{
    device.uni.failWrites = true;
    device.doc.bFormFeed = 1;
    EXPECT_EQ(kx::SendStartPrint(device.dev(), &device.uni), E_FAIL);
    EXPECT_EQ(device.data.bPrintStarted, 0u);
    EXPECT_EQ(device.doc.bFormFeed, 1u);
    EXPECT_EQ(device.uni.writeCalls, 1);

    device.uni.failWrites = false;
    device.op.pDocDaten = nullptr;
    EXPECT_EQ(kx::SendStartPrint(device.dev(), &device.uni), S_OK);
    EXPECT_EQ(kx::SendTrennseite(device.dev(), &device.uni), S_OK);
    kxtest::TestDevice idle(false);
    EXPECT_EQ(kx::SendStartPrint(idle.dev(), &idle.uni), S_OK);
    EXPECT_EQ(kx::SendTrennseite(idle.dev(), &idle.uni), S_OK);
    EXPECT_EQ(device.uni.writeCalls, 1);
    EXPECT_EQ(idle.uni.writeCalls, 0);
}

// The separator page: the provider of the printer's driver on a label of
// its own.
class Separator : public StreamTest {
protected:
    void SetUp() override
    {
        StreamTest::SetUp();
        kx::plat::sim::DriverSetup driver;
        driver.name = u"KX 4 Driver";
        driver.provider = u"Orvane Etiketten";
        kx::plat::sim::AddDriver(driver);
        kx::plat::sim::PrinterSetup printer;
        printer.name = u"KX Test Printer";
        printer.driverName = driver.name;
        kx::plat::sim::AddPrinter(printer);
        ASSERT_EQ(kx::plat::OpenPrinter(printer.name, &hPrinter), 0u);
        device.devobj.hPrinter = hPrinter;
    }
    void TearDown() override { kx::plat::ClosePrinter(hPrinter); }
    HANDLE hPrinter = nullptr;
};

// Half of 591 dots at 300 dpi in hundredths of a millimetre:
// 591 x 2540 / 300 / 2 = 2501.
constexpr const char* kFirstField =
    "^FBBA--r00001---_^AM[1]500;2501;0;4;0;3;254;254;0_^BM[1]Orvane Etiketten_";

TEST_F(Separator, TwoFieldsInEachLanguage)
{
    device.iface().dwTrennseite = 2;
    const char* words[] = {"Trennseite", "Separator page", "p\xE1gina de separaci\xF3n",
                           "page de s\xE9paration"};
    std::string expected;
    for (DWORD lang = 0; lang < 4; ++lang) {
        device.iface().dwSprache = lang;
        EXPECT_EQ(kx::SendTrennseite(device.dev(), &device.uni), S_OK);
        expected += kFirstField;
        expected += "^AM[2]1000;2501;0;4;0;3;254;254;0_^BM[2]=UM(16;0;0;0;1;\"";
        expected += words[lang];
        expected +=
            "\";0;\"CCCCCCCCCCCCCCCC\")<                >_^FBAA--r2-------_^FBC---r1-------_";
    }
    EXPECT_TRUE(BytesEqual(expected, Spool()));
}

TEST_F(Separator, ModesAtDocumentStartAndOtherLanguages)
{
    CommentsOff();
    // Mode 3: one field, whatever the language.
    device.iface().dwTrennseite = 3;
    device.iface().dwSprache = 1;
    EXPECT_EQ(kx::SendTrennseite(device.dev(), &device.uni), S_OK);
    // Modes 3 and 4 are not repeated after a print start.
    EXPECT_EQ(kx::SendStartPrint(device.dev(), &device.uni), S_OK);
    // Mode 4 with a language without a word: the second field stays empty.
    device.iface().dwTrennseite = 4;
    device.iface().dwSprache = 9;
    EXPECT_EQ(kx::SendTrennseite(device.dev(), &device.uni), S_OK);
    // Switched off.
    device.iface().dwTrennseite = 0;
    EXPECT_EQ(kx::SendTrennseite(device.dev(), &device.uni), S_OK);
    EXPECT_TRUE(BytesEqual(
        std::string(kFirstField) + "^FBAA--r1-------_^FBC---r1-------_" + "^FBC---r1-------_" +
            kFirstField + "^AM[2]1000;2501;0;4;0;3;254;254;0_^FBAA--r2-------_^FBC---r1-------_",
        Spool()));
    EXPECT_TRUE(BytesEqual(std::string(kFirstField) + "\r\n^FBAA--r1-------_^FBC---r1-------_\r\n" +
                               "\r\n^FBC---r1-------_" + kFirstField +
                               "\r\n^AM[2]1000;2501;0;4;0;3;254;254;0_\r\n^FBAA--r2-------_"
                               "^FBC---r1-------_\r\n",
                           PrintFile()));
}

TEST_F(Separator, PositionWithoutALabelWidth)
{
    device.iface().dwTrennseite = 1;
    device.data.dwLabelWidth = 0;
    device.devmode.dmPaperWidth = 500;  // 50.0 mm: the middle at 25.00 mm
    device.devmode.FixedData.wMasterUnit = 0;
    kx::SendTrennseite(device.dev(), &device.uni);
    device.data.dwLabelWidth = 600;  // at the default of 300 dpi: 50.8 mm
    kx::SendTrennseite(device.dev(), &device.uni);
    device.devobj.hPrinter = nullptr;  // no driver to ask: no name
    kx::SendTrennseite(device.dev(), &device.uni);
    const std::string spool = Spool();
    EXPECT_NE(spool.find("^AM[1]500;2500;0;4;0;3;254;254;0_"), std::string::npos);
    EXPECT_NE(spool.find("^AM[1]500;2540;0;4;0;3;254;254;0_"), std::string::npos);
    EXPECT_NE(spool.find("^BM[1]_^FBAA"), std::string::npos);
}

}  // namespace
