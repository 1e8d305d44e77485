// Paper size numbers of label sizes, and the printer's registry name.
#include <gtest/gtest.h>

#include "printer_fixture.h"
#include "settings/forms.h"

namespace {

using namespace kxtest;
using FormsTest = PrinterTest;

TEST_F(FormsTest, TheFirstFormWithinOneTenthWins)
{
    const int label = AddForm(u"Label 100x150", 100000, 150000);
    const int twin = AddForm(u"Label 100x150 B", 100050, 150050);
    const int cut = AddForm(u"Cut 50", 50099, 30000);  // 500.99 tenths count as 500
    ASSERT_LT(label, twin);
    WCHAR name[kx::kFormNameChars] = {};
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, 1501, 1000, name), label);  // 100.0 x 150.1 mm
    EXPECT_EQ(std::u16string(name), u"Label 100x150");
    const struct {
        LONG length, width;
        int id;
    } cases[] = {
        {1499, 999, label}, {1502, 1000, 256}, {1500, 998, 256}, {1000, 1500, 256},
        {300, 501, cut},    {300, 502, 256},   {2970, 2100, 9},  // A4, a built-in form
        {0, 1000, 0},       {1000, 0, 0},      {-1, -1, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, c.length, c.width, nullptr), c.id)
            << c.length << " x " << c.width;
    // Forms that cannot be enumerated match nothing.
    EXPECT_EQ(kx::GetFormIDfromSizes(nullptr, 1500, 1000, nullptr), 256);
}

TEST_F(FormsTest, TheDevmodeVariantSetsThePaperSizeOnlyForASize)
{
    AddForm(u"Zero", 0, 0);
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
    dm.dmPaperSize = 77;
    dm.dmPaperLength = 0;
    EXPECT_EQ(kx::GetFormIDfromSizes(hPrinter, &dm, nullptr), 0);
    EXPECT_EQ(dm.dmPaperSize, 77u);
    dm.dmPaperLength = 1500;
    EXPECT_EQ(kx::GetFormIDfromSizes(nullptr, &dm, nullptr), 0);
    EXPECT_EQ(dm.dmPaperSize, 77u);
}

TEST_F(FormsTest, RealPrinterNames)
{
    WCHAR name[kx::kPrinterNameChars] = {};
    ASSERT_TRUE(kx::GetRealPrinterName(hPrinter, name));
    EXPECT_EQ(std::u16string(name), kPrinter);

    // "\\client|server\..." is named after the server and the printer's
    // directory name, and keeps its own name without one.
    const std::u16string redirected = u"\\\\TS01|SRV7\\Etiketten (redirected 2)";
    AddPrinter(redirected);
    HANDLE h = nullptr;
    ASSERT_EQ(kx::plat::OpenPrinter(redirected, &h), 0u);
    const std::u16string ds =
        u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\,,TS01|SRV7,"
        u"Etiketten (redirected 2)\\DsSpooler";
    ASSERT_EQ(kx::plat::RegSetValue(kx::plat::Hive::LocalMachine, ds, u"printerName",
                                    kx::plat::kRegSz, u"Etiketten", 20),
              0u);
    EXPECT_EQ(kx::RealPrinterName(h), u"\\\\SRV7\\Etiketten");
    ASSERT_EQ(kx::plat::RegDeleteValue(kx::plat::Hive::LocalMachine, ds, u"printerName"), 0u);
    EXPECT_EQ(kx::RealPrinterName(h), redirected);
    kx::plat::ClosePrinter(h);

    name[0] = u'?';
    name[1] = 0;
    EXPECT_FALSE(kx::GetRealPrinterName(nullptr, name));
    EXPECT_EQ(std::u16string(name), u"?");
}

}  // namespace
