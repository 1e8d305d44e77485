// The test device (support/testdevice.h) with the test helpers of
// support/harness.h, for the GoogleTest programs.
#pragma once

#include <string>

#include "core/output.h"
#include "platform/platform.h"
#include "support/harness.h"
#include "support/testdevice.h"

namespace kxtest {

// A device in a sandbox of its own, whose print file can be opened as
// C:\out\job.prn (split 1: job_bw.prn and job_col.prn) and read back.
class PrintFileTest : public ::testing::Test {
protected:
    SimSandbox sandbox;
    TestDevice device;

    void OpenPrintFile(DWORD split = 0)
    {
        ASSERT_TRUE(kx::plat::CreateDirectory(u"C:\\out"));
        device.SetPrnFileName(u"C:\\out\\job");
        device.devmode.wSplitPrnFile = static_cast<WORD>(split);
        ASSERT_TRUE(kx::OpenPrnFile(split, &device.pdev, FALSE));
    }
    // The device's files closed, the bytes of one of them.
    std::string PrintFile(std::u16string_view name = u"C:\\out\\job.prn")
    {
        device.CloseFiles();
        return SimSandbox::ReadHostFile(sandbox.HostPath(name));
    }
};

}  // namespace kxtest
