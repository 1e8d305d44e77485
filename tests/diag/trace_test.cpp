// The trace file: naming, the line rules, and silence while it is closed.
#include <gtest/gtest.h>

#include "core/trace.h"
#include "platform/platform.h"
#include "support/harness.h"

namespace {

using kxtest::SimSandbox;

class TraceFile : public ::testing::Test {
protected:
    SimSandbox sandbox;
    void SetUp() override { ASSERT_TRUE(kx::plat::CreateDirectory(u"C:\\logs")); }
    void TearDown() override { kx::trace::Close(); }
    std::string Read(const char16_t* name)
    {
        return SimSandbox::ReadHostFile(sandbox.HostPath(name));
    }
};

TEST_F(TraceFile, ClosedOrUnwritableTraceWritesNothing)
{
    ASSERT_FALSE(kx::trace::IsOpen());
    Trace(u"UNI(Test):  Nothing() %s \r\n", "y");
    EXPECT_FALSE(SimSandbox::HostFileExists(sandbox.HostPath(u"C:\\logs\\job-print-dbg.txt")));
    EXPECT_EQ(kx::trace::FileName(), u"");
    EXPECT_FALSE(kx::trace::Open(u"C:\\missing\\job"));
    EXPECT_FALSE(kx::trace::IsOpen());
}

TEST_F(TraceFile, LinesLoseTheirFinalLineFeedAndAreCut)
{
    ASSERT_TRUE(kx::trace::Open(u"C:\\logs\\job"));
    EXPECT_EQ(kx::trace::FileName(), u"C:\\logs\\job-print-dbg.txt");
    Trace(u"UNI(Bitmap):  Bitmap::Save() Start  \r\n");
    Trace(u"UNI(Test):  Values() dwMasterUnit: %d, name: %s \r\n", 300, u"Dr\u00FCcker");
    TraceA("UNI(Test):  Narrow() |%s| \r\n",
           "\xE4"
           "bc");
    Trace(u"no line end");
    Trace(u"two\n\n");
    Trace(u"%s\r\n", std::u16string(500, u'a'));  // cut to 367 characters
    kx::trace::Close();
    EXPECT_EQ(Read(u"C:\\logs\\job-print-dbg.txt"),
              "UNI(Bitmap):  Bitmap::Save() Start  \r"
              "UNI(Test):  Values() dwMasterUnit: 300, name: Dr\xC3\xBC"
              "cker \r"
              "UNI(Test):  Narrow() |\xC3\xA4"
              "bc| \r"
              "no line end"
              "two\n" +
                  std::string(367, 'a'));
}

TEST_F(TraceFile, ExistingFilesGetNumberedNames)
{
    ASSERT_TRUE(kx::trace::Open(u"C:\\logs\\job"));
    Trace(u"first");
    ASSERT_TRUE(kx::trace::Open(u"C:\\logs\\job"));  // closes the first one
    EXPECT_EQ(kx::trace::FileName(), u"C:\\logs\\job-0-print-dbg.txt");
    Trace(u"second");
    ASSERT_TRUE(kx::trace::Open(u"C:\\logs\\job"));
    EXPECT_EQ(kx::trace::FileName(), u"C:\\logs\\job-1-print-dbg.txt");
    kx::trace::Close();
    EXPECT_EQ(Read(u"C:\\logs\\job-print-dbg.txt"), "first");
    EXPECT_EQ(Read(u"C:\\logs\\job-0-print-dbg.txt"), "second");
    // The closing of the previous file is traced while no file is open.
    EXPECT_EQ(Read(u"C:\\logs\\job-1-print-dbg.txt"), "");
}

TEST_F(TraceFile, AllNumberedNamesTakenReusesThePlainName)
{
    for (int n = -1; n < 20; ++n) {
        std::u16string name =
            n < 0 ? u"C:\\logs\\job-print-dbg.txt"
                  : u"C:\\logs\\job-" + kx::Utf8ToUtf16(std::to_string(n)) + u"-print-dbg.txt";
        kx::plat::Handle h =
            kx::plat::CreateFile(name, kx::plat::kGenericWrite, 0, kx::plat::kCreateAlways);
        ASSERT_NE(h, kx::plat::kInvalidHandle);
        std::uint32_t written = 0;
        kx::plat::WriteFile(h, "old", 3, &written);
        kx::plat::CloseHandle(h);
    }
    ASSERT_TRUE(kx::trace::Open(u"C:\\logs\\job"));
    EXPECT_EQ(kx::trace::FileName(), u"C:\\logs\\job-print-dbg.txt");
    Trace(u"new");
    kx::trace::Close();
    EXPECT_EQ(Read(u"C:\\logs\\job-print-dbg.txt"), "new");
}

}  // namespace
