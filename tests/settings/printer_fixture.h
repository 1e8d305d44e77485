// A simulated printer with its driver for the settings tests, and helpers to
// build private records and saved DEVMODEs.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "settings/devmodeops.h"
#include "core/regvalues.h"
#include "support/harness.h"

namespace kxtest {

inline constexpr char16_t kPrinter[] = u"Label KX4";
inline constexpr char16_t kGpdPath[] = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KX4.GPD";
using Bytes = std::vector<BYTE>;

inline DWORD Get(const void* p, std::size_t off, int width)
{
    DWORD v = 0;
    std::memcpy(&v, static_cast<const BYTE*>(p) + off, width);
    return v;
}
inline void Put16(Bytes& b, std::size_t off, WORD v)
{
    std::memcpy(b.data() + off, &v, 2);
}
template <class T>
Bytes ToBytes(const T& v)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&v);
    return Bytes(p, p + sizeof(T));
}

// A record as the settings interface saves it: a 100 x 150 mm label, the
// marker and a 300 dpi model block; the tag goes to lXOffset so that tests
// can tell records apart.
inline KX_DEVMODE SavedRecord(LONG tag)
{
    KX_DEVMODE dm{};
    kx::SetDevmodeDefaults(&dm);
    dm.wVersion = 0x6602;
    dm.w9999 = 0x9999;
    dm.dmPaperSize = 256;
    dm.dmPaperWidth = 1000;
    dm.dmPaperLength = 1500;
    dm.FixedData.dwHeadWidthByte = 128;
    dm.FixedData.wMasterUnit = 300;
    dm.FixedData.wPrintHeadWidth = 867;
    dm.lXOffset = tag;
    SetValidMarker(&dm);
    return dm;
}

// A saved DEVMODE: the public part, `before` bytes of other private data, the
// record, `after` bytes more; the DEVMODE's end (dmSize + dmDriverExtra) is
// the end of the blob.
inline Bytes UserDevmode(const Bytes& record, std::size_t before = 1200, std::size_t after = 0)
{
    Bytes blob(sizeof(DEVMODEW) + before, 0x5A);
    blob.insert(blob.end(), record.begin(), record.end());
    blob.resize(blob.size() + after, 0x5A);
    Put16(blob, offsetof(DEVMODEW, dmSize), sizeof(DEVMODEW));
    Put16(blob, offsetof(DEVMODEW, dmDriverExtra), static_cast<WORD>(blob.size() - 220));
    return blob;
}

class PrinterTest : public ::testing::Test {
protected:
    SimSandbox sandbox;
    HANDLE hPrinter = nullptr;

    void SetUp() override
    {
        kx::plat::sim::DriverSetup driver;
        driver.name = u"KX4 Driver";
        driver.dataFile = kGpdPath;
        kx::plat::sim::AddDriver(driver);
        AddPrinter(kPrinter);
        ASSERT_EQ(kx::plat::OpenPrinter(kPrinter, &hPrinter), 0u);
        kx::ResetDevmodeCache();  // handles are reused between tests
    }
    void TearDown() override
    {
        kx::ResetDevmodeCache();
        kx::plat::ClosePrinter(hPrinter);
    }
    static void AddPrinter(std::u16string_view name)
    {
        kx::plat::sim::PrinterSetup printer;
        printer.name = name;
        printer.driverName = u"KX4 Driver";
        kx::plat::sim::AddPrinter(printer);
    }
    static std::u16string UserKey()
    {
        return kx::reg::kRegKeyDriver + (u"\\" + std::u16string(kPrinter));
    }
    static void SetValue(kx::plat::Hive hive, std::u16string_view key, std::u16string_view name,
                         const Bytes& data)
    {
        ASSERT_EQ(kx::plat::RegSetValue(hive, key, name, kx::plat::kRegBinary, data.data(),
                                        static_cast<std::uint32_t>(data.size())),
                  0u);
    }
    void SetUser(std::u16string_view name, const Bytes& data)
    {
        SetValue(kx::plat::Hive::CurrentUser, UserKey(), name, data);
    }
    void SetDevModes2(const Bytes& blob)
    {
        SetValue(kx::plat::Hive::CurrentUser, kx::reg::kDevModes2Key, kPrinter, blob);
    }
    void SetPrinterData(std::u16string_view name, const Bytes& data)
    {
        ASSERT_EQ(kx::plat::SetPrinterDataEx(hPrinter, kx::reg::kPrinterDataKey, name,
                                             kx::plat::kRegBinary, data.data(),
                                             static_cast<std::uint32_t>(data.size())),
                  0u);
    }
    void SetMachineRecord(const Bytes& data) { SetPrinterData(kx::reg::kPrivateDevmode, data); }
    // The paper size number of a new form (sizes in thousandths of a mm).
    int AddForm(std::u16string_view name, std::int32_t cx, std::int32_t cy)
    {
        kx::plat::FormInfo form;
        form.name = name;
        form.cx = cx;
        form.cy = cy;
        kx::plat::sim::AddForm(form);
        std::vector<kx::plat::FormInfo> forms;
        EXPECT_TRUE(kx::plat::EnumForms(hPrinter, &forms));
        for (std::size_t i = 0; i < forms.size(); ++i)
            if (forms[i].name == name) return static_cast<int>(i + 1);
        return -1;
    }
};

}  // namespace kxtest
