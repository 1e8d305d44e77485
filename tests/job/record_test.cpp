// The record shape where the golden jobs do not reach (their streams show
// joined and separate records with and without comments): the command
// characters a printer cannot take, a backup's comments, and how a failure
// stops a step.
#include <gtest/gtest.h>

#include "core/record.h"
#include "support/device.h"

namespace {

using kxtest::BytesEqual;
using kxtest::TestDevice;

TEST(CommandChars, ChosenByTheInterfaceSetting)
{
    PRN_INTERFACE pi{};
    pi.dwOwnSoh = '{';
    pi.dwOwnEtb = '}';
    char s = 0, e = 0;
    kx::ChooseCommandChars(pi, 0xFF, &s, &e);
    EXPECT_EQ(s, 0x01);
    EXPECT_EQ(e, 0x17);
    pi.dwSohEtb = 1;
    kx::ChooseCommandChars(pi, 0xFF, &s, &e);
    EXPECT_EQ(std::string({s, e}), "^_");
    pi.dwSohEtb = 2;
    kx::ChooseCommandChars(pi, 0x80, &s, &e);
    EXPECT_EQ(std::string({s, e}), "{}");
    kx::ChooseCommandChars(pi, 0x7F, &s, &e);  // the printer cannot take its own pair
    EXPECT_EQ(std::string({s, e}), "^_");
}

class Records : public kxtest::PrintFileTest {
protected:
    void SetUp() override { OpenPrintFile(); }
};

TEST_F(Records, SeparateRecordsWithCommentsAndBackup)
{
    device.iface().bEnableBackup = 1;  // a backup always carries comments
    kx::RecordWriter w(device.dev(), &device.uni);
    EXPECT_TRUE(w.CommentsOn());
    w.Separate("\t// Label Length ", "%3.1f mm", {101.65}, kx::RecordWriter::kBuffer,
               "%cFCCL--r%07u-%c", {w.cStart(), 1200u, w.cEnd()});
    w.Comment("\r\n\t// START_PAGE ");
    EXPECT_TRUE(BytesEqual("^FCCL--r0001200-_", device.uni.spool));
    EXPECT_TRUE(BytesEqual(
        "^FCCL--r0001200-_\t// Label Length 101.7 mm\r\n\r\n\t// START_PAGE \r\n", PrintFile()));
}

TEST_F(Records, FirstFailureStopsTheStep)
{
    kx::RecordWriter w(device.dev(), &device.uni);
    // 20 characters do not fit a 10-character buffer: nothing is sent.
    EXPECT_EQ(w.Joined(nullptr, 10, "%cFJDTS-r--------%c", {w.cStart(), w.cEnd()}),
              STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(w.Separate("\t// x ", "%cFE----r--------%c", {w.cStart(), w.cEnd()}),
              STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(w.Result(), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(device.uni.writeCalls, 0);

    // The record fits, its line ending does not.
    kx::RecordWriter w2(device.dev(), &device.uni);
    EXPECT_EQ(w2.Joined(nullptr, 19, "%cFJDTS-r--------%c", {w2.cStart(), w2.cEnd()}),
              STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(device.uni.writeCalls, 0);

    // A failed spooler write.
    kx::RecordWriter w3(device.dev(), &device.uni);
    device.uni.failWrites = true;
    EXPECT_EQ(w3.Separate("\t// Gap ", "%cFCCM--r%05u---%c", {'^', 24u, '_'}), E_FAIL);
    device.uni.failWrites = false;
    EXPECT_EQ(w3.Joined("", "%cFE----r--------%c", {'^', '_'}), E_FAIL);
    EXPECT_EQ(device.uni.spool, "");
    // The print file mirrors what was attempted; no line ending follows.
    EXPECT_EQ(PrintFile(), "^FCCM--r00024---_");
}

TEST(RecordsWithoutJob, RefuseEverything)
{
    TestDevice idle(false);
    kx::RecordWriter w(idle.dev(), &idle.uni);
    EXPECT_EQ(w.Joined("", "%cFE----r--------%c", {'^', '_'}), E_FAIL);
    EXPECT_EQ(idle.uni.writeCalls, 0);
}

}  // namespace
