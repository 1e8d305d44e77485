// Per-printer registry settings: key paths, the user-before-machine reader and
// the fixed records read by printer name.
#include <gtest/gtest.h>

#include "printer_fixture.h"
#include "settings/registry.h"

namespace {

using namespace kxtest;
using kx::plat::Hive;

TEST(RegistryKeys, AServerPrinterIsOneLevelDeeper)
{
    TreiberPfadDatei f{};
    EXPECT_TRUE(kx::BuildRegistryKeys(u"Label KX4", f.szRegKey, f.szHLMRegKey));
    EXPECT_EQ(std::u16string(f.szRegKey), u"SOFTWARE\\Orvane\\Driver\\Label KX4");
    EXPECT_EQ(std::u16string(f.szHLMRegKey),
              u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Label KX4\\PrinterDriverData");
    EXPECT_TRUE(kx::BuildRegistryKeys(u"\\\\SRV7\\Labels", f.szRegKey, f.szHLMRegKey));
    EXPECT_EQ(std::u16string(f.szRegKey), u"SOFTWARE\\Orvane\\Driver\\SRV7\\Labels");
    EXPECT_EQ(std::u16string(f.szHLMRegKey),
              u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\,,SRV7,Labels\\"
              u"PrinterDriverData");
    EXPECT_FALSE(kx::BuildRegistryKeys(std::u16string(300, u'n').c_str(), f.szRegKey, nullptr));
    EXPECT_EQ(std::u16string(f.szRegKey).size(), 259u);
}

class RegistryTest : public PrinterTest {
protected:
    TreiberPfadDatei files{};
    KX_POP op{};
    OEM_PDEV pdev{};

    void SetUp() override
    {
        PrinterTest::SetUp();
        kx::BuildRegistryKeys(kPrinter, files.szRegKey, files.szHLMRegKey);
        op.pTreiberPfadDatei = &files;
        pdev.pOp = &op;
    }
    Bytes Read(const char16_t* name, HANDLE h, DWORD* cb = nullptr)
    {
        return kx::GetRegistryBuffer_New(&pdev, name, h, cb);
    }
};

TEST_F(RegistryTest, TheUserWinsAndTheMachineIsTheFallback)
{
    SetUser(u"PhotocellParam", Bytes{1, 2, 3});  // fits the four-byte size probe
    SetPrinterData(u"PhotocellParam", Bytes{9, 9});
    DWORD cb = 0;
    EXPECT_EQ(Read(u"PhotocellParam", hPrinter, &cb), (Bytes{1, 2, 3}));
    EXPECT_EQ(cb, 3u);
    // Only per machine: through the printer handle, or the machine key without one.
    Bytes big(5000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 7);
    SetPrinterData(u"PrinterInterface", big);
    EXPECT_EQ(Read(u"PrinterInterface", hPrinter, &cb), big);
    EXPECT_EQ(cb, 5000u);
    EXPECT_EQ(Read(u"PrinterInterface", nullptr), big);
    // Neither store: nothing.
    cb = 99;
    EXPECT_TRUE(Read(u"XMLDocSetFiles", hPrinter, &cb).empty());
    EXPECT_EQ(cb, 0u);
    // An empty user key goes straight to the machine, as does a missing job.
    files.szRegKey[0] = 0;
    EXPECT_EQ(Read(u"PhotocellParam", hPrinter), (Bytes{9, 9}));
    EXPECT_EQ(kx::GetRegistryBuffer_New(nullptr, u"PhotocellParam", hPrinter, nullptr),
              (Bytes{9, 9}));
}

TEST_F(RegistryTest, RecordsTakeWhatFitsAndKeepTheirDefaults)
{
    Bytes rec1d(824 + 8, 0xCC), rec2d(300 + 8, 0xCC);
    kx::ReadBarcodeSettings(hPrinter, kPrinter, rec1d.data(), rec2d.data());
    EXPECT_EQ(rec1d, Bytes(832, 0xCC));
    EXPECT_EQ(rec2d, Bytes(308, 0xCC));

    SetUser(u"BarCodes1D", Bytes(100, 0x01));  // short: fills its beginning
    SetPrinterData(u"BarCodes1D", Bytes(824, 0x02));
    SetPrinterData(u"BarCodes2D", Bytes(400, 0x03));  // long: one record of it
    kx::ReadBarcodeSettings(hPrinter, kPrinter, rec1d.data(), rec2d.data());
    EXPECT_EQ(rec1d[99], 0x01);
    EXPECT_EQ(rec1d[100], 0xCC);
    EXPECT_EQ(rec2d[299], 0x03);
    EXPECT_EQ(rec2d[300], 0xCC);

    BYTE rec[4] = {0xCC, 0xCC, 0xCC, 0xCC};
    EXPECT_TRUE(kx::GetRegistryRecord(&pdev, u"BarCodes1D", hPrinter, rec, 4));
    EXPECT_EQ(rec[3], 0x01);
    EXPECT_FALSE(kx::GetRegistryRecord(&pdev, u"ShiftOptimParam", hPrinter, rec, 4));
}

TEST_F(RegistryTest, AServerPrintersStores)
{
    const std::u16string server = u"\\\\SRV7\\Labels";
    AddPrinter(server);
    HANDLE h = nullptr;
    ASSERT_EQ(kx::plat::OpenPrinter(server, &h), 0u);
    SetValue(Hive::CurrentUser, u"SOFTWARE\\Orvane\\Driver\\SRV7\\Labels", u"BarCodes2D",
             Bytes(300, 0x08));
    Bytes rec2d(300, 0);
    kx::ReadBarcodeSettings(h, server.c_str(), nullptr, rec2d.data());
    EXPECT_EQ(rec2d, Bytes(300, 0x08));

    DEVMODE_FTKN f{};
    EXPECT_FALSE(kx::ReadDevmodeFtknSettings(h, server.c_str(), &f));
    Bytes tokens(24, 0);
    tokens[0] = 2;
    ASSERT_EQ(kx::plat::SetPrinterDataEx(h, u"PrinterDriverData", u"DevmodeFtkn",
                                         kx::plat::kRegBinary, tokens.data(), 24),
              0u);
    EXPECT_TRUE(kx::ReadDevmodeFtknSettings(h, server.c_str(), &f));
    EXPECT_EQ(f.dwPrioritaet, 2);
    f = DEVMODE_FTKN{};  // the same data under the connection's key, without a handle
    EXPECT_TRUE(kx::ReadDevmodeFtknSettings(nullptr, server.c_str(), &f));
    EXPECT_EQ(f.dwPrioritaet, 2);
    kx::plat::ClosePrinter(h);
}

}  // namespace
