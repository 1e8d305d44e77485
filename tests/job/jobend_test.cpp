// The document and job end where the golden jobs do not reach: end cut,
// collated copies with the last copy's single cut, the memory card's recall
// file, the backup with its journal, and the pass-through of a print file.
#include <gtest/gtest.h>

#include "core/regvalues.h"
#include "job/jobfixture.h"
#include "objects/passthrough.h"
#include "plugin/devstate.h"

namespace {

using kxtest::BytesEqual;
using kxtest::JobTest;

constexpr char kStart[] = "^FJDTS-r--------_\r\n";
constexpr char kPage[] = "^FBBA--r00001---_^FBA---r00------_^FBC---r1-------_";

std::string SplFile(const kxtest::SimSandbox& sandbox, const std::string& printer)
{
    return kxtest::SimSandbox::ReadHostFile(sandbox.dir() + "/state/spool/" + printer + ".spl");
}

TEST_F(JobTest, CollatedCopiesEndWithAManualSingleCut)
{
    PRINTER_OPTIONS options{};
    options.dwAusstattung = P_OPTIONS_CUTTER | P_OPTIONS_CUTTER_MODE;
    printer.SetOptions(options);
    d.devmode.cutter_dwMode = 1;
    d.publicDM.dmCollate = 1;
    d.publicDM.dmCopies = 3;
    RunJob(1);
    const std::string copy = "^FBBA--r00001---_\r\n\r\n^FBA---r00------_\r\n\r\n^FBC---r--------_";
    EXPECT_TRUE(BytesEqual(copy + "^FCDD--r1-------_\r\n", PrintFile()));
    EXPECT_TRUE(
        BytesEqual(copy + copy + "^FCDD--r1-------_\r\n", SplFile(sandbox, "KX Test Printer")));
}

// Memory-card output: nothing reaches the spooler during the job; at its
// end the print file follows its store record, and no print start is sent.
TEST_F(JobTest, MemoryCardGetsThePrintFileWithoutPrintStart)
{
    CommentsOn();  // the print file stays after the job
    d.devmode.wMemCard = 1;
    d.devmode.wMemCard_Recall = 1;
    RunJob(1);
    const std::string print = PrintFile();
    EXPECT_EQ(print.find("FBC---r"), std::string::npos) << kxtest::Escape(print);
    EXPECT_NE(print.find("\t// Attention: FBC disabled \r\n"), std::string::npos);
    EXPECT_TRUE(
        BytesEqual("^MA:\\KX Test Printer*" + std::to_string(print.size()) + "_" + print, Spool()));
    EXPECT_FALSE(Exists(u"C:\\out\\KX Test Printer-card.prn"));
    const std::string recall = HostFile(u"C:\\out\\Recall_KX Test Printer.prn");
    EXPECT_EQ(recall.rfind("// Recall file for printer CF card file\r\n"
                           "// Delete unnecessary or redundant lines.\r\n\r\n"
                           "^FMB---rA:\\KX Test Printer_\r\n",
                           0),
              0u)
        << kxtest::Escape(recall);
}

// (Its stream: the golden job stream-memcard.)
TEST_F(JobTest, MemoryCardWithoutCommentsDeletesItsPrintFile)
{
    d.devmode.wMemCard = 1;
    RunJob(1);
    EXPECT_FALSE(Exists(u"C:\\out\\KX Test Printer.prn"));
}

TEST_F(JobTest, BackupOfAPrinterWithAColonAndItsJournal)
{
    kxtest::JobPrinter colon(u"Label.txt", 1, u"KX:Test");
    kxtest::PrepareForJob(d, colon);
    pi.bEnableBackup = 1;
    pi.bEnableCSV = 1;
    pi.dwBackupCSVKopf = 1;
    pi.dwBackupFormat = 4;
    kx::Copy(pi.wcBackupFilePath, PRN_PATH_CHARS, u"C:\\backup");
    colon.SetInterface(pi);
    ASSERT_EQ(Cmd(kx::CMDID_START_JOB), S_OK);
    StartDoc();
    Page();
    EndJob();
    const std::u16string dir = u"C:\\backup\\2026-12-05\\KX_Test";
    EXPECT_TRUE(Exists(dir + u"\\KX_Test.prn"));
    EXPECT_FALSE(Exists(u"C:\\out\\KX_Test.prn"));  // moved, not copied
    EXPECT_TRUE(
        BytesEqual("\"Date\";\"Time\";\"Server\";\"Port\";\"Printer\";\"Copies\";\"Job Name\";"
                   "\"Number Pages\";\"prn File Name\";\r\n"
                   "\"2026/12/05\";\"14:30:15\";\"\";\"USB001\";\"KX:Test\";\"1\";\"Label\";\"1\";"
                   "\"C:\\backup\\2026-12-05\\KX_Test\\KX_Test.prn\";\r\n",
                   HostFile(dir + u".csv")));
}

TEST_F(JobTest, NoBackupWithoutRoom)
{
    pi.bEnableBackup = 1;
    SetFreeBytes(2ull << 30);
    RunJob(1);
    EXPECT_TRUE(Exists(u"C:\\out\\KX Test Printer.prn"));
    EXPECT_FALSE(Exists(u"C:\\logfiles-backup\\12\\KX Test Printer\\KX Test Printer.prn"));
    EXPECT_TRUE(Exists(u"C:\\logfiles-backup\\12\\KX Test Printer"));
}

TEST_F(JobTest, ReloadedPrintFileThatCannotBeWrittenFailsButEndsItsDocument)
{
    HANDLE h = kx::plat::CreateFile(u"C:\\out\\job.prn", kx::plat::kGenericWrite, 0,
                                    kx::plat::kCreateAlways);
    std::uint32_t written = 0;
    ASSERT_TRUE(kx::plat::WriteFile(h, "^FBC---r1-------_", 17, &written));
    kx::plat::CloseHandle(h);
    EXPECT_TRUE(kx::SendPrnFileToPrinter(nullptr, u"C:\\out\\job.prn", kxtest::kJobPrinter));
    EXPECT_EQ(SplFile(sandbox, "KX Test Printer"), "^FBC---r1-------_");
    EXPECT_FALSE(kx::SendPrnFileToPrinter(nullptr, u"C:\\out\\none.prn", kxtest::kJobPrinter));
    kx::plat::sim::SetSpoolFile("/dev/full");
    EXPECT_FALSE(kx::SendPrnFileToPrinter(nullptr, u"C:\\out\\job.prn", kxtest::kJobPrinter));
    kx::plat::sim::SetSpoolFile("");
    // The failed document was ended: the printer takes the next one.
    EXPECT_TRUE(kx::SendPrnFileToPrinter(nullptr, u"C:\\out\\job.prn", kxtest::kJobPrinter));
    EXPECT_EQ(SplFile(sandbox, "KX Test Printer"), "^FBC---r1-------_^FBC---r1-------_");
    EXPECT_EQ(kx::plat::GetHeapStats().liveBlocks, heapBlocks0);
}

}  // namespace
