// The simulated spooler: unknown printers and drivers, printer data through a
// handle, forms, jobs, the spool file and bad handles.
#include "platform/platform.h"
#include "support/harness.h"

namespace {

using namespace kx::plat;

constexpr std::u16string_view kPrinters = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
constexpr std::u16string_view kDrivers =
    u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3";

class PrinterTest : public ::testing::Test {
protected:
    kxtest::SimSandbox sandbox;
    Handle h = nullptr;

    void SetUp() override
    {
        sim::DriverSetup driver;
        driver.name = u"KX4-203";
        sim::AddDriver(driver);
        sim::PrinterSetup printer;
        printer.name = u"Label";
        printer.driverName = u"KX4-203";
        sim::AddPrinter(printer);
        ASSERT_EQ(0u, OpenPrinter(u"LABEL", &h));
    }
    void TearDown() override
    {
        if (h) ClosePrinter(h);
    }
};

TEST_F(PrinterTest, UnknownPrintersAreRefused)
{
    Handle other = nullptr;
    EXPECT_EQ(1801u, OpenPrinter(u"Nope", &other));
    EXPECT_EQ(1801u, OpenPrinter(u"", &other));
    // A key below Printers without the printer's own values is no printer.
    ASSERT_EQ(0u, RegSetDword(Hive::LocalMachine,
                              std::u16string(kPrinters) + u"\\Ghost\\PrinterDriverData", u"x", 1));
    EXPECT_EQ(1801u, OpenPrinter(u"Ghost", &other));
    EXPECT_EQ(87u, OpenPrinter(u"Label", nullptr));
}

TEST_F(PrinterTest, PrinterDriverDataIsReadThroughTheHandle)
{
    std::u16string key = std::u16string(kPrinters) + u"\\Label\\PrinterDriverData";
    const char record[] = "devmode-bytes";
    ASSERT_EQ(0u, RegSetValue(Hive::LocalMachine, key, u"PrivateDevmode", kRegBinary, record,
                              sizeof(record)));

    std::uint32_t type = 0, needed = 0;
    EXPECT_EQ(234u, GetPrinterData(h, u"privatedevmode", &type, nullptr, 0, &needed));
    EXPECT_EQ(sizeof(record), needed);
    char buf[64] = {};
    EXPECT_EQ(234u, GetPrinterData(h, u"PrivateDevmode", &type, buf, 4, &needed));
    EXPECT_EQ(0u, GetPrinterData(h, u"PrivateDevmode", &type, buf, sizeof(buf), &needed));
    EXPECT_EQ(kRegBinary, type);
    EXPECT_STREQ(record, buf);
    EXPECT_EQ(2u, GetPrinterData(h, u"Missing", &type, buf, sizeof(buf), &needed));

    // Other keys of the printer, and writing through the handle.
    std::uint32_t v = 5;
    ASSERT_EQ(0u, SetPrinterDataEx(h, u"PrinterDriverData", u"Counter", kRegDword, &v, 4));
    ASSERT_TRUE(RegGetDword(Hive::LocalMachine, key, u"Counter", &v));
    EXPECT_EQ(5u, v);
    char16_t name[32] = {};
    EXPECT_EQ(
        0u, GetPrinterDataEx(h, u"DsSpooler", u"printerName", &type, name, sizeof(name), &needed));
    EXPECT_EQ(std::u16string(u"Label"), name);
    EXPECT_EQ(87u, GetPrinterDataEx(h, u"", u"printerName", &type, name, sizeof(name), &needed));
}

// Every field of the printer and driver information, and a server printer's
// key: the information log of tests/diag (LogFile.WholeJobMatchesTheExpectedLog).
TEST_F(PrinterTest, ADeletedDriverIsUnknown)
{
    DriverInfo drv;
    ASSERT_TRUE(GetPrinterDriver(h, &drv));
    ASSERT_EQ(0u, RegDeleteTree(Hive::LocalMachine, std::u16string(kDrivers) + u"\\KX4-203"));
    EXPECT_FALSE(GetPrinterDriver(h, &drv));
    EXPECT_EQ(1797u, GetLastError());
}

TEST_F(PrinterTest, FormsAreTheBuiltInOnesThenTheAddedOnes)
{
    std::vector<FormInfo> forms;
    ASSERT_TRUE(EnumForms(h, &forms));
    ASSERT_GE(forms.size(), 11u);
    auto find = [&](std::u16string_view name) -> const FormInfo* {
        for (const FormInfo& f : forms)
            if (f.name == name) return &f;
        return nullptr;
    };
    struct Expect {
        std::u16string_view name;
        std::int32_t cx, cy;
        std::size_t paperSize;  // DMPAPER number = position + 1
    };
    for (const Expect& e :
         {Expect{u"Letter", 215900, 279400, 1}, Expect{u"Legal", 215900, 355600, 5},
          Expect{u"A4", 210000, 297000, 9}, Expect{u"A5", 148000, 210000, 11}}) {
        const FormInfo* f = find(e.name);
        ASSERT_NE(nullptr, f) << std::string(e.name.begin(), e.name.end());
        EXPECT_EQ(e.cx, f->cx);
        EXPECT_EQ(e.cy, f->cy);
        EXPECT_EQ(1u, f->flags);
        EXPECT_EQ(0, f->left);
        EXPECT_EQ(e.cx, f->right);
        EXPECT_EQ(e.paperSize, static_cast<std::size_t>(f - forms.data()) + 1);
    }
    const FormInfo* a6 = find(u"A6");
    ASSERT_NE(nullptr, a6);
    EXPECT_EQ(105000, a6->cx);
    EXPECT_EQ(148000, a6->cy);

    std::size_t builtins = forms.size();
    FormInfo label;
    label.name = u"Label 100x150";
    label.cx = label.right = 100000;
    label.cy = label.bottom = 150000;
    sim::AddForm(label);
    FormInfo second = label;
    second.name = u"Label 50x30";
    second.cx = 50000;
    sim::AddForm(second);
    label.cy = 150100;
    sim::AddForm(label);  // replaces, keeps its place
    FormInfo clash;
    clash.name = u"a4";
    clash.cx = 1;
    sim::AddForm(clash);  // a built-in name is ignored

    ASSERT_TRUE(EnumForms(h, &forms));
    ASSERT_EQ(builtins + 2, forms.size());
    EXPECT_EQ(u"Label 100x150", forms[builtins].name);
    EXPECT_EQ(150100, forms[builtins].cy);
    EXPECT_EQ(0u, forms[builtins].flags);
    EXPECT_EQ(u"Label 50x30", forms[builtins + 1].name);
    EXPECT_EQ(210000, find(u"A4")->cx);
}

TEST_F(PrinterTest, JobsFromSetJobAndFromStartDoc)
{
    JobInfo job;
    job.jobId = 17;
    job.document = u"Labels.pdf";
    job.userName = u"anna";
    job.totalPages = 3;
    job.submitted = SystemTime{2026, 1, 0, 2, 3, 4, 5, 6};
    sim::SetJob(u"Label", job);

    JobInfo got;
    ASSERT_TRUE(GetJob(h, 17, &got));
    EXPECT_EQ(17u, got.jobId);
    EXPECT_EQ(u"Label", got.printerName);
    EXPECT_EQ(u"Labels.pdf", got.document);
    EXPECT_EQ(u"anna", got.userName);
    EXPECT_EQ(3u, got.totalPages);
    EXPECT_EQ(2026, got.submitted.wYear);
    EXPECT_EQ(6, got.submitted.wMilliseconds);
    EXPECT_FALSE(GetJob(h, 18, &got));
    EXPECT_EQ(87u, GetLastError());

    std::uint32_t first = 0, second = 0;
    ASSERT_TRUE(StartDocPrinter(h, u"Doc one", u"RAW", &first));
    ASSERT_TRUE(EndDocPrinter(h));
    ASSERT_TRUE(StartDocPrinter(h, u"Doc two", u"", &second));
    EXPECT_NE(17u, first);
    EXPECT_GT(second, first);
    ASSERT_TRUE(GetJob(h, second, &got));
    EXPECT_EQ(u"Doc two", got.document);
    EXPECT_EQ(u"RAW", got.dataType);
    EXPECT_EQ(u"user", got.userName);
    ASSERT_TRUE(EndDocPrinter(h));

    PrinterInfo info;
    ASSERT_TRUE(GetPrinterInfo(h, &info));
    EXPECT_EQ(3u, info.cJobs);
}

TEST_F(PrinterTest, DocumentsAppendToTheSpoolFile)
{
    std::uint32_t written = 0, id = 0;
    EXPECT_FALSE(WritePrinter(h, "x", 1, &written));
    EXPECT_EQ(3004u, GetLastError());
    EXPECT_FALSE(EndDocPrinter(h));

    ASSERT_TRUE(StartDocPrinter(h, u"one", u"RAW", &id));
    EXPECT_FALSE(StartDocPrinter(h, u"again", u"RAW", &id));
    ASSERT_TRUE(StartPagePrinter(h));
    ASSERT_TRUE(WritePrinter(h, "^J\r\n", 4, &written));
    EXPECT_EQ(4u, written);
    ASSERT_TRUE(EndPagePrinter(h));
    ASSERT_TRUE(EndDocPrinter(h));
    ASSERT_TRUE(StartDocPrinter(h, u"two", u"RAW", &id));
    ASSERT_TRUE(WritePrinter(h, "\0\xff", 2, &written));
    ClosePrinter(h);  // ends the document
    h = nullptr;
    std::string spool = sandbox.dir() + "/state/spool/Label.spl";
    EXPECT_TRUE(kxtest::BytesEqual(std::string("^J\r\n\0\xff", 6),
                                   kxtest::SimSandbox::ReadHostFile(spool)));

    std::string other = sandbox.dir() + "/elsewhere.bin";
    sim::SetSpoolFile(other);
    ASSERT_EQ(0u, OpenPrinter(u"Label", &h));
    ASSERT_TRUE(StartDocPrinter(h, u"three", u"RAW", &id));
    ASSERT_TRUE(WritePrinter(h, "abc", 3, &written));
    ASSERT_TRUE(EndDocPrinter(h));
    EXPECT_EQ("abc", kxtest::SimSandbox::ReadHostFile(other));
    EXPECT_EQ(6u, kxtest::SimSandbox::ReadHostFile(spool).size());
    sim::SetSpoolFile("");
}

TEST_F(PrinterTest, BadHandlesAreRefusedNotFollowed)
{
    Handle closed = nullptr;
    ASSERT_EQ(0u, OpenPrinter(u"Label", &closed));
    ClosePrinter(closed);
    Handle file = CreateFile(u"C:\\x.txt", kGenericWrite, 0, kCreateAlways);
    ASSERT_NE(kInvalidHandle, file);
    alignas(16) unsigned char junk[64] = {};

    for (Handle bad : {Handle(nullptr), kInvalidHandle, closed, file, Handle(junk)}) {
        PrinterInfo info;
        EXPECT_FALSE(GetPrinterInfo(bad, &info));
        EXPECT_EQ(6u, GetLastError());
        std::uint32_t needed = 0;
        EXPECT_EQ(6u, GetPrinterData(bad, u"x", nullptr, nullptr, 0, &needed));
        std::vector<FormInfo> forms;
        EXPECT_FALSE(EnumForms(bad, &forms));
        EXPECT_FALSE(StartDocPrinter(bad, u"d", u"RAW", nullptr));
        EXPECT_EQ(6u, GetLastError());
    }
    // A printer handle is no file handle either.
    std::uint32_t n = 0;
    EXPECT_FALSE(WriteFile(h, "x", 1, &n));
    EXPECT_EQ(6u, GetLastError());
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(6u, GetLastError());
}

}  // namespace
