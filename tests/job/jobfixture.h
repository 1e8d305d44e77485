// Whole jobs through the command callbacks, as the driver host runs them:
// START_JOB, START_DOC, (paper size, START_PAGE, END_PAGE) x n, END_DOC,
// END_JOB, on a simulated printer with a fixed clock (05.12.2026
// 14:30:15,250).
//
// The print file lands at a fixed name, "C:\out\KX Test Printer.prn" (the
// log path C:\out\ without time stamps), so that its bytes can be compared
// with what the spooler received.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/jobheap.h"
#include "job/jobsteps.h"
#include "job/jobstream.h"
#include "platform/platform.h"
#include "plugin/cmdcallback.h"
#include "raster/bitmap.h"
#include "support/jobsetup.h"

namespace kxtest {

inline constexpr char16_t kOutDir[] = u"C:\\out";
inline constexpr char16_t kPrnBase[] = u"C:\\out\\KX Test Printer";

class JobTest : public ::testing::Test {
protected:
    SimSandbox sandbox;
    JobPrinter printer;
    TestDevice d{false};
    PRN_INTERFACE pi = QuietInterface();
    DWORD features[MAX_FEATURES] = {};
    std::int64_t heapBlocks0 = 0;
    int uniBlocks0 = 0;
    int uniObjects0 = 0;

    void SetUp() override
    {
        PrepareForJob(d, printer);
        ASSERT_TRUE(kx::plat::CreateDirectory(kOutDir));
        kx::Copy(pi.wcLogFilePath, PRN_PATH_CHARS, u"C:\\out\\");
        SetFreeBytes(8ull << 30);
        heapBlocks0 = kx::plat::GetHeapStats().liveBlocks;
        uniBlocks0 = kx::iHAllocZaehlerUNI;
        uniObjects0 = kx::iNewZaehlerUNI;
    }

    static void SetFreeBytes(std::uint64_t bytes)
    {
        kx::plat::sim::Config cfg = kx::plat::sim::Current();
        cfg.freeBytes = bytes;
        kx::plat::sim::Configure(cfg);
    }

    // Print file with comments (1) or without (2).
    void CommentsOn() { pi.dwPrnFileComment = 1; }
    void CommentsOff() { pi.dwPrnFileComment = 2; }

    HRESULT Cmd(DWORD id, std::vector<DWORD> params = {})
    {
        INT result = 0;
        return kx::CommandCallbackOEM(d.dev(), id, static_cast<DWORD>(params.size()),
                                      params.empty() ? nullptr : params.data(), &result, &d.uni);
    }
    HRESULT StartJob()
    {
        printer.SetInterface(pi);
        printer.SetFeatures(features);
        return Cmd(kx::CMDID_START_JOB);
    }
    // START_DOC and the label's paper size: 50 x 100 mm at 300 dpi.
    void StartDoc()
    {
        EXPECT_EQ(Cmd(kx::CMDID_START_DOC), S_OK);
        EXPECT_EQ(Cmd(kx::CMDID_CUSTOM_PAPERSIZE, {1181, 591}), S_OK);
    }
    void Page()
    {
        EXPECT_EQ(Cmd(kx::CMDID_START_PAGE), S_OK);
        EXPECT_EQ(Cmd(kx::CMDID_END_PAGE), S_OK);
    }
    void EndJob()
    {
        EXPECT_EQ(Cmd(kx::CMDID_END_DOC), S_OK);
        EXPECT_EQ(Cmd(kx::CMDID_END_JOB), S_OK);
        ExpectJobFreed();
    }
    // A job of n empty pages from start to end.
    void RunJob(int pages)
    {
        ASSERT_EQ(StartJob(), S_OK);
        StartDoc();
        for (int i = 0; i < pages; ++i) Page();
        EndJob();
    }
    // Every block and object of the job is gone again.
    void ExpectJobFreed()
    {
        EXPECT_EQ(d.pdev.pOp, nullptr);
        EXPECT_EQ(d.pdev.iHAllocZaehler, 0);
        EXPECT_EQ(d.pdev.iNewZaehler, 0);
        EXPECT_EQ(kx::iHAllocZaehlerUNI, uniBlocks0);
        EXPECT_EQ(kx::iNewZaehlerUNI, uniObjects0);
        EXPECT_EQ(kx::plat::GetHeapStats().liveBlocks, heapBlocks0);
    }

    KX_POP& op() { return *d.pdev.pOp; }
    std::string Spool() const { return d.uni.spool; }
    std::string HostFile(std::u16string_view windowsPath) const
    {
        return SimSandbox::ReadHostFile(sandbox.HostPath(windowsPath));
    }
    std::string PrintFile() const { return HostFile(std::u16string(kPrnBase) + u".prn"); }
    bool Exists(std::u16string_view windowsPath) const
    {
        return kx::plat::PathFileExists(windowsPath);
    }
    DWORD UserDword(const char16_t* name) const
    {
        std::uint32_t v = 0xFFFFFFFF;
        kx::plat::RegGetDword(kx::plat::Hive::CurrentUser, kJobRegKey, name, &v);
        return v;
    }
};

}  // namespace kxtest
