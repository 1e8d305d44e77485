// Per-printer registry settings: key paths, the user-before-machine reader and
// the fixed records read by printer name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "printer_fixture.h"
#include "settings/registry.h"

namespace {

using namespace kxtest;
using kx::plat::Hive;

TEST(RegistryKeys, LocalAndServerPrinters)
{
    EXPECT_EQ(kx::UserRegKey(u"Label KX4"), u"SOFTWARE\\Orvane\\Driver\\Label KX4");
    EXPECT_EQ(kx::MachineRegKey(u"Label KX4"),
              u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Label KX4\\PrinterDriverData");
    // The server is one more key level.
    EXPECT_EQ(kx::UserRegKey(u"\\\\SRV7\\Labels"), u"SOFTWARE\\Orvane\\Driver\\SRV7\\Labels");
    EXPECT_EQ(kx::MachineRegKey(u"\\\\SRV7\\Labels"),
              u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\,,SRV7,Labels\\"
              u"PrinterDriverData");

    TreiberPfadDatei files{};
    EXPECT_TRUE(kx::BuildRegistryKeys(u"\\\\SRV7\\Labels", files.szRegKey, files.szHLMRegKey));
    EXPECT_EQ(std::u16string(files.szRegKey), u"SOFTWARE\\Orvane\\Driver\\SRV7\\Labels");
    // A name too long for the buffers is cut, and said so.
    std::u16string longName(300, u'n');
    EXPECT_FALSE(kx::BuildRegistryKeys(longName.c_str(), files.szRegKey, files.szHLMRegKey));
    EXPECT_EQ(std::u16string(files.szRegKey).size(), kx::kRegKeyChars - 1);
    EXPECT_FALSE(kx::BuildRegistryKeys(u"", files.szRegKey, files.szHLMRegKey));
    EXPECT_EQ(files.szRegKey[0], 0);
    EXPECT_EQ(files.szHLMRegKey[0], 0);
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
    void SetMachineValue(std::u16string_view name, const Bytes& data)
    {
        ASSERT_EQ(kx::plat::RegSetValue(Hive::LocalMachine, kx::MachineRegKey(kPrinter), name,
                                        kx::plat::kRegBinary, data.data(),
                                        static_cast<std::uint32_t>(data.size())),
                  0u);
    }
    Bytes Get(std::u16string_view name, HANDLE h, DWORD* cb = nullptr)
    {
        std::u16string n(name);
        return kx::GetRegistryBuffer_New(&pdev, n.c_str(), h, cb);
    }
};

TEST_F(RegistryTest, TheUsersValueWinsOverTheMachines)
{
    SetUserValue(UserKey(), u"PhotocellParam", Bytes{1, 2, 3, 4, 5, 6});
    SetPrinterData(u"PhotocellParam", Bytes{9, 9});
    DWORD cb = 0;
    EXPECT_EQ(Get(u"PhotocellParam", hPrinter, &cb), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(cb, 6u);
    // A value that fits the four-byte probe is read with its own size.
    SetUserValue(UserKey(), u"DriverVersion", Bytes{7, 8, 9});
    EXPECT_EQ(Get(u"DriverVersion", hPrinter, &cb), (Bytes{7, 8, 9}));
    EXPECT_EQ(cb, 3u);
}

TEST_F(RegistryTest, AMachineOnlyValueIsFoundThroughThePrinterHandle)
{
    Bytes big(5000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 7);
    SetPrinterData(u"PrinterInterface", big);
    DWORD cb = 0;
    EXPECT_EQ(Get(u"PrinterInterface", hPrinter, &cb), big);
    EXPECT_EQ(cb, 5000u);
    // The printer's data and the machine key are the same place.
    EXPECT_EQ(Get(u"PrinterInterface", nullptr), big);
}

TEST_F(RegistryTest, WithoutAHandleTheMachineKeyIsRead)
{
    SetMachineValue(u"ShiftOptimParam", Bytes{4, 3, 2, 1, 0});
    EXPECT_EQ(Get(u"ShiftOptimParam", nullptr), (Bytes{4, 3, 2, 1, 0}));
}

TEST_F(RegistryTest, AnEmptyUserKeyGoesStraightToTheMachine)
{
    SetUserValue(UserKey(), u"PrinterOptions", Bytes{1, 1, 1, 1, 1});
    SetPrinterData(u"PrinterOptions", Bytes{2, 2});
    files.szRegKey[0] = 0;
    EXPECT_EQ(Get(u"PrinterOptions", hPrinter), (Bytes{2, 2}));
    // No job structures at all: only the printer handle is left.
    EXPECT_EQ(kx::GetRegistryBuffer_New(nullptr, u"PrinterOptions", hPrinter, nullptr),
              (Bytes{2, 2}));
}

TEST_F(RegistryTest, AValueInNeitherStoreIsNothing)
{
    DWORD cb = 99;
    EXPECT_TRUE(Get(u"XMLDocSetFiles", hPrinter, &cb).empty());
    EXPECT_EQ(cb, 0u);
    EXPECT_TRUE(Get(u"XMLDocSetFiles", nullptr, &cb).empty());
    // A record keeps what the caller prepared; a short value fills its head.
    BYTE record[8];
    std::fill(std::begin(record), std::end(record), 0xCC);
    EXPECT_FALSE(kx::GetRegistryRecord(&pdev, u"XMLDocSetFiles", hPrinter, record, 8));
    SetPrinterData(u"XMLDocSetFiles", Bytes{5, 6});
    EXPECT_TRUE(kx::GetRegistryRecord(&pdev, u"XMLDocSetFiles", hPrinter, record, 8));
    EXPECT_EQ(Bytes(record, record + 8), (Bytes{5, 6, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC}));
    // A longer value is cut to the record.
    SetPrinterData(u"XMLDocSetFiles", Bytes(20, 0x11));
    EXPECT_TRUE(kx::GetRegistryRecord(&pdev, u"XMLDocSetFiles", hPrinter, record, 4));
    EXPECT_EQ(Bytes(record, record + 8), (Bytes{0x11, 0x11, 0x11, 0x11, 0xCC, 0xCC, 0xCC, 0xCC}));
}

TEST_F(RegistryTest, BarcodeRecordsUserThenMachine)
{
    Bytes rec1d(824 + 16, 0xCC), rec2d(300 + 16, 0xCC);
    // Nothing stored: the caller's defaults stay.
    kx::ReadBarcodeSettings(hPrinter, kPrinter, rec1d.data(), rec2d.data());
    EXPECT_EQ(rec1d, Bytes(840, 0xCC));
    EXPECT_EQ(rec2d, Bytes(316, 0xCC));

    // The user's 1-D record, the machine's 2-D record; the 2-D one is too
    // long and only 300 bytes count.
    Bytes user1d(824, 0x01);
    SetUserValue(UserKey(), u"BarCodes1D", user1d);
    SetPrinterData(u"BarCodes1D", Bytes(824, 0x02));
    SetPrinterData(u"BarCodes2D", Bytes(400, 0x03));
    kx::ReadBarcodeSettings(hPrinter, kPrinter, rec1d.data(), rec2d.data());
    EXPECT_TRUE(std::all_of(rec1d.begin(), rec1d.begin() + 824, [](BYTE b) { return b == 1; }));
    EXPECT_TRUE(std::all_of(rec1d.begin() + 824, rec1d.end(), [](BYTE b) { return b == 0xCC; }));
    EXPECT_TRUE(std::all_of(rec2d.begin(), rec2d.begin() + 300, [](BYTE b) { return b == 3; }));
    EXPECT_TRUE(std::all_of(rec2d.begin() + 300, rec2d.end(), [](BYTE b) { return b == 0xCC; }));

    // A truncated user record fills what it has.
    std::fill(rec1d.begin(), rec1d.end(), 0xCC);
    SetUserValue(UserKey(), u"BarCodes1D", Bytes(100, 0x04));
    kx::ReadBarcodeSettings(hPrinter, kPrinter, rec1d.data(), nullptr);
    EXPECT_EQ(rec1d[99], 0x04);
    EXPECT_EQ(rec1d[100], 0xCC);
}

TEST_F(RegistryTest, BarcodeRecordsWithoutAHandleComeFromTheMachineKey)
{
    SetMachineValue(u"BarCodes2D", Bytes(300, 0x07));
    Bytes rec2d(300, 0);
    kx::ReadBarcodeSettings(nullptr, kPrinter, nullptr, rec2d.data());
    EXPECT_EQ(rec2d, Bytes(300, 0x07));
}

TEST_F(RegistryTest, AServerPrintersValuesLiveOneLevelDeeper)
{
    AddPrinter(u"\\\\SRV7\\Labels");
    HANDLE h = nullptr;
    ASSERT_EQ(kx::plat::OpenPrinter(u"\\\\SRV7\\Labels", &h), 0u);
    SetUserValue(u"SOFTWARE\\Orvane\\Driver\\SRV7\\Labels", u"BarCodes2D", Bytes(300, 0x08));
    Bytes rec2d(300, 0);
    kx::ReadBarcodeSettings(h, u"\\\\SRV7\\Labels", nullptr, rec2d.data());
    EXPECT_EQ(rec2d, Bytes(300, 0x08));
    // The machine store of the server printer through its handle.
    Bytes ftkn(24, 0);
    ftkn[0] = 2;
    ASSERT_EQ(kx::plat::SetPrinterDataEx(h, u"PrinterDriverData", u"DevmodeFtkn",
                                         kx::plat::kRegBinary, ftkn.data(), 24),
              0u);
    DEVMODE_FTKN f{};
    EXPECT_TRUE(kx::ReadDevmodeFtknSettings(h, u"\\\\SRV7\\Labels", &f));
    EXPECT_EQ(f.dwPrioritaet, 2);
    // Without the handle the same data is found under the connection's key.
    f = DEVMODE_FTKN{};
    EXPECT_TRUE(kx::ReadDevmodeFtknSettings(nullptr, u"\\\\SRV7\\Labels", &f));
    EXPECT_EQ(f.dwPrioritaet, 2);
    kx::plat::ClosePrinter(h);
}

TEST_F(RegistryTest, NoFeatureTokensMeansZeros)
{
    DEVMODE_FTKN f;
    std::memset(&f, 0xFF, sizeof(f));
    EXPECT_FALSE(kx::ReadDevmodeFtknSettings(hPrinter, kPrinter, &f));
    DEVMODE_FTKN zero{};
    EXPECT_EQ(std::memcmp(&f, &zero, sizeof(f)), 0);
}

}  // namespace
