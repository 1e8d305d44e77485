// The print start where data/steps.json does not reach: the memory-card
// recall file, failures and missing structures.
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

}  // namespace
