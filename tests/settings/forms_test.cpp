// Paper size numbers of label sizes, and the printer's registry name.
#include <gtest/gtest.h>

#include "printer_fixture.h"
#include "settings/forms.h"

namespace {

using namespace kxtest;

class FormsTest : public PrinterTest {
protected:
    // Adds a form (sizes in thousandths of a millimetre) and returns its
    // paper size number: its position in the enumeration plus one.
    int AddForm(std::u16string_view name, std::int32_t cx, std::int32_t cy)
    {
        kx::plat::FormInfo form;
        form.name = name;
        form.cx = form.right = cx;
        form.cy = form.bottom = cy;
        kx::plat::sim::AddForm(form);
        std::vector<kx::plat::FormInfo> forms;
        EXPECT_TRUE(kx::plat::EnumForms(hPrinter, &forms));
        for (std::size_t i = 0; i < forms.size(); ++i)
            if (forms[i].name == name) return static_cast<int>(i + 1);
        return -1;
    }
};

TEST_F(FormsTest, ASizeMatchesWithinOneTenth)
{
    const int label = AddForm(u"Label 100x150", 100000, 150000);
    WCHAR name[kx::kFormNameChars] = {};
    // 100.0 x 150.1 mm matches 100 x 150 mm.
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 1501, 1000, name), label);
    EXPECT_EQ(std::u16string(name), u"Label 100x150");
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 1499, 999, nullptr), label);
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 1502, 1000, nullptr), 256);
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 1500, 998, nullptr), 256);
    // Width and length are not interchangeable.
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 1000, 1500, nullptr), 256);
    // The form's size is cut to tenths, not rounded: 100.099 mm is 1000.
    const int cut = AddForm(u"Cut 50", 50099, 30000);
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 300, 501, nullptr), cut);
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 300, 502, nullptr), 256);
    // Built-in forms count too: A4 is number 9.
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 2970, 2100, nullptr), 9);
}

TEST_F(FormsTest, TheFirstEnumeratedFormWins)
{
    const int first = AddForm(u"Label A", 60000, 40000);
    const int second = AddForm(u"Label B", 60050, 40050);
    ASSERT_LT(first, second);
    WCHAR name[kx::kFormNameChars] = {};
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 400, 600, name), first);
    EXPECT_EQ(std::u16string(name), u"Label A");
}

TEST_F(FormsTest, TheDevmodeVariantSetsThePaperSize)
{
    const int label = AddForm(u"Label 100x150", 100000, 150000);
    KX_DEVMODE dm{};
    dm.dmPaperSize = 77;
    dm.dmPaperLength = 1500;
    dm.dmPaperWidth = 1000;
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, &dm, nullptr), 1);
    EXPECT_EQ(dm.dmPaperSize, static_cast<DWORD>(label));
    dm.dmPaperLength = 1234;
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, &dm, nullptr), 0);
    EXPECT_EQ(dm.dmPaperSize, 256u);
}

TEST_F(FormsTest, NoSizeOrNoFormsLeaveThePaperSizeAlone)
{
    AddForm(u"Zero", 0, 0);
    KX_DEVMODE dm{};
    dm.dmPaperSize = 77;
    dm.dmPaperLength = 0;
    dm.dmPaperWidth = 1000;
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, &dm, nullptr), 0);
    EXPECT_EQ(dm.dmPaperSize, 77u);
    dm.dmPaperLength = 1000;
    dm.dmPaperWidth = 0;
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, &dm, nullptr), 0);
    EXPECT_EQ(dm.dmPaperSize, 77u);
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 0, 1000, nullptr), 0);
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 1000, 0, nullptr), 0);
    // A negative size (a damaged record) finds no zero-sized form.
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, -1, -1, nullptr), 0);
    // Forms that cannot be enumerated: no match, the record unchanged.
    dm.dmPaperWidth = 1000;
    EXPECT_EQ(kx::GetFormIDfromSizes(nullptr, &dm, nullptr), 0);
    EXPECT_EQ(dm.dmPaperSize, 77u);
    EXPECT_EQ(kx::GetFormIDfromSizes(nullptr, 1000, 1000, nullptr), 256);
}

TEST_F(FormsTest, ALongFormNameIsCut)
{
    const std::u16string longName(40, u'x');
    const int id = AddForm(longName, 33000, 22000);
    WCHAR name[kx::kFormNameChars + 4];
    std::fill(std::begin(name), std::end(name), u'#');
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 220, 330, name), id);
    EXPECT_EQ(std::u16string(name), std::u16string(31, u'x'));
    EXPECT_EQ(name[kx::kFormNameChars], u'#');
}

TEST_F(FormsTest, RealPrinterNames)
{
    WCHAR name[kx::kPrinterNameChars] = {};
    ASSERT_TRUE(kx::GetRealPrinterName(hPrinter, name));
    EXPECT_EQ(std::u16string(name), kPrinter);

    // A redirected name "\\client|server\..." is named after the server and
    // the printer's directory name.
    AddPrinter(u"\\\\TS01|SRV7\\Etiketten (redirected 2)");
    HANDLE h = nullptr;
    ASSERT_EQ(kx::plat::OpenPrinter(u"\\\\TS01|SRV7\\Etiketten (redirected 2)", &h), 0u);
    const std::u16string dsKey =
        u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\,,TS01|SRV7,Etiketten "
        u"(redirected 2)\\DsSpooler";
    ASSERT_EQ(kx::plat::RegSetValue(kx::plat::Hive::LocalMachine, dsKey, u"printerName",
                                    kx::plat::kRegSz, u"Etiketten", 20),
              0u);
    EXPECT_EQ(kx::RealPrinterName(h), u"\\\\SRV7\\Etiketten");
    // Without the directory name the spooler's name stays.
    ASSERT_EQ(kx::plat::RegDeleteValue(kx::plat::Hive::LocalMachine, dsKey, u"printerName"), 0u);
    EXPECT_EQ(kx::RealPrinterName(h), u"\\\\TS01|SRV7\\Etiketten (redirected 2)");
    kx::plat::ClosePrinter(h);

    // A plain server printer keeps its name.
    AddPrinter(u"\\\\SRV7\\Labels");
    ASSERT_EQ(kx::plat::OpenPrinter(u"\\\\SRV7\\Labels", &h), 0u);
    EXPECT_EQ(kx::RealPrinterName(h), u"\\\\SRV7\\Labels");
    kx::plat::ClosePrinter(h);

    // No printer: no name, the buffer untouched.
    name[0] = u'?';
    name[1] = 0;
    EXPECT_FALSE(kx::GetRealPrinterName(nullptr, name));
    EXPECT_EQ(std::u16string(name), u"?");
}

}  // namespace
