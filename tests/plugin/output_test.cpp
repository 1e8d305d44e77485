// The output channel: where bytes go (spooler, first and second print file),
// what the comment writer does, and the abort sequence after a failed write.
#include <gtest/gtest.h>

#include "core/output.h"
#include "support/device.h"

namespace {

using kxtest::BytesEqual;
using kxtest::SimSandbox;
using kxtest::TestDevice;

using Channel = kxtest::PrintFileTest;

TEST_F(Channel, WritesSpoolerAndPrintFile)
{
    OpenPrintFile();
    // Nothing to send is success and writes nothing.
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "x", 0), S_OK);
    EXPECT_EQ(device.uni.writeCalls, 0);
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "^FE----r--------_", 17), S_OK);
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "AB", 2, FALSE, FALSE, TRUE), S_OK);
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "CD", 2, FALSE, TRUE, FALSE), S_OK);
    EXPECT_TRUE(BytesEqual("^FE----r--------_AB", device.uni.spool));
    // Without split every byte goes to the one file; without a private
    // devmode nothing is mirrored.
    kx::SendData(device.dev(), &device.uni, "a", 1, TRUE);
    kx::SendData(kx::kChannelCommandCallback, device.dev(), &device.uni, "b", 1);
    device.devobj.pOEMDM = nullptr;
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "c", 1), S_OK);
    EXPECT_TRUE(BytesEqual("^FE----r--------_CDab", PrintFile()));
}

TEST_F(Channel, RefusesWithoutDeviceHelperOrJob)
{
    EXPECT_EQ(kx::SendData(nullptr, &device.uni, "abc", 3), E_FAIL);
    EXPECT_EQ(kx::SendData(device.dev(), nullptr, "abc", 3), E_FAIL);
    TestDevice idle(false);
    EXPECT_EQ(kx::SendData(idle.dev(), &idle.uni, "abc", 3), E_FAIL);
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, nullptr, 3), E_FAIL);
    // Without the print data the spooler write is refused, the file is not.
    device.op.pDruckDaten = nullptr;
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "abc", 3), E_FAIL);
    EXPECT_EQ(device.uni.writeCalls, 0);
}

TEST_F(Channel, MemoryCardModeWritesTheFileOnly)
{
    OpenPrintFile();
    device.data.bMemCard = 1;
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "^FBC---r1-------_", 17), S_OK);
    EXPECT_EQ(device.uni.writeCalls, 0);
    EXPECT_TRUE(BytesEqual("^FBC---r1-------_", PrintFile()));
}

TEST_F(Channel, CommentLinesReachThePrintFileOnly)
{
    OpenPrintFile();
    EXPECT_EQ(kx::SendeKommentar(device.dev(), &device.uni, "\t// Label Length ", "100.0 mm"),
              S_OK);
    EXPECT_EQ(device.uni.spool, "");
    // The callback's comment goes both ways.
    EXPECT_EQ(kx::SendeKommentarCC(device.dev(), &device.uni, "\t// FormFeed "), S_OK);
    EXPECT_TRUE(BytesEqual("\t// FormFeed \r\n", device.uni.spool));
    EXPECT_TRUE(BytesEqual("\t// Label Length 100.0 mm\r\n\t// FormFeed \r\n", PrintFile()));
}

TEST_F(Channel, CommentThatDoesNotFitIsNotWritten)
{
    OpenPrintFile();
    std::string text(97, 'x');  // 97 + "\r\n" + terminator = 100: fits exactly
    EXPECT_EQ(kx::SendeKommentar(device.dev(), &device.uni, text.c_str()), S_OK);
    std::string longer(98, 'y');
    EXPECT_EQ(kx::SendeKommentar(device.dev(), &device.uni, longer.c_str()),
              STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(BytesEqual(text + "\r\n", PrintFile()));
}

TEST_F(Channel, SplitModeRoutesByPrintDataFlag)
{
    OpenPrintFile(1);
    kx::SendData(device.dev(), &device.uni, "black", 5, FALSE);
    kx::SendData(device.dev(), &device.uni, "colour", 6, TRUE);
    // The callback channel counts every byte as print data.
    kx::SendData(kx::kChannelCommandCallback, device.dev(), &device.uni, "cc", 2);
    // The raster channel never writes the second file.
    kx::SendData(kx::kChannelRaster, device.dev(), &device.uni, "r1", 2, FALSE);
    kx::SendData(kx::kChannelRaster, device.dev(), &device.uni, "r2", 2, TRUE);
    // The graphics channel can mirror into both files.
    kx::SendData(kx::kChannelGraphics, device.dev(), &device.uni, "gg", 2, FALSE, FALSE, FALSE,
                 TRUE);
    EXPECT_TRUE(BytesEqual("blackcolourccr1r2gg", device.uni.spool));
    EXPECT_TRUE(BytesEqual("colourccgg", PrintFile(u"C:\\out\\job_col.prn")));
    EXPECT_TRUE(BytesEqual("blackr1gg", PrintFile(u"C:\\out\\job_bw.prn")));
    EXPECT_FALSE(SimSandbox::HostFileExists(sandbox.HostPath(u"C:\\out\\job.prn")));
}

TEST_F(Channel, FailedSpoolWriteOnTheLinePathSendsTheAbortSequence)
{
    device.uni.failWrites = true;
    device.data.bCompress = 1;
    device.uni.abortResult = S_OK;
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "abc", 3), S_OK);
    ASSERT_EQ(device.uni.aborts.size(), 1u);
    EXPECT_EQ(device.uni.aborts[0], std::string("\x1B"
                                                "C"));
    EXPECT_EQ(device.uni.abortWaits[0], 100u);

    // The abort's own failure becomes the result.
    device.uni.abortResult = E_OUTOFMEMORY;
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "abc", 3), E_OUTOFMEMORY);

    // Not on the image path, not without compression.
    device.data.dwDocFeatures = 0x1000;
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "abc", 3), E_FAIL);
    device.data.dwDocFeatures = 0;
    device.data.bCompress = 0;
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "abc", 3), E_FAIL);
    EXPECT_EQ(device.uni.aborts.size(), 2u);
}

TEST_F(Channel, GraphicsChannelNotesACancelledJob)
{
    device.uni.failWrites = true;
    kx::plat::SetLastError(ERROR_PRINT_CANCELLED);
    EXPECT_EQ(kx::SendData(kx::kChannelGraphics, device.dev(), &device.uni, "abc", 3), E_FAIL);
    EXPECT_EQ(device.data.bPrintCancelled, 1u);
    device.data.bPrintCancelled = 0;
    kx::plat::SetLastError(ERROR_PRINT_CANCELLED);
    EXPECT_EQ(kx::SendData(device.dev(), &device.uni, "abc", 3), E_FAIL);
    EXPECT_EQ(device.data.bPrintCancelled, 0u);
}

TEST_F(Channel, OpenPrnFileAppendsAndRefusesBadNames)
{
    OpenPrintFile();
    kx::SendData(device.dev(), &device.uni, "one", 3);
    ASSERT_TRUE(kx::OpenPrnFile(0, &device.pdev, TRUE));
    kx::SendData(device.dev(), &device.uni, "two", 3);
    EXPECT_EQ(PrintFile(), "onetwo");

    ASSERT_TRUE(kx::OpenPrnFile(0, &device.pdev, FALSE));  // truncates
    kx::SendData(device.dev(), &device.uni, "3", 1);
    EXPECT_EQ(PrintFile(), "3");

    // Appending to a file that is not there fails and leaves no handle.
    device.SetPrnFileName(u"C:\\out\\missing");
    EXPECT_FALSE(kx::OpenPrnFile(0, &device.pdev, TRUE));
    EXPECT_FALSE(IsValidHandle(device.files.hPrnFile));
    // A folder that does not exist.
    device.SetPrnFileName(u"C:\\nowhere\\job");
    EXPECT_FALSE(kx::OpenPrnFile(0, &device.pdev, FALSE));
    EXPECT_FALSE(kx::OpenPrnFile(0, nullptr, FALSE));
}

}  // namespace
