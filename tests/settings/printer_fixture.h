// A simulated printer with its driver for the settings tests, and helpers to
// build private records and saved DEVMODEs.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "settings/devmode.h"
#include "settings/devmodeops.h"
#include "settings/regvalues.h"
#include "support/harness.h"

namespace kxtest {

inline constexpr char16_t kPrinter[] = u"Label KX4";
inline constexpr char16_t kGpdPath[] =
    u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KX4-300.GPD";

using Bytes = std::vector<BYTE>;

inline WORD U16(const void* p, std::size_t off)
{
    WORD v;
    std::memcpy(&v, static_cast<const BYTE*>(p) + off, sizeof(v));
    return v;
}
inline DWORD U32(const void* p, std::size_t off)
{
    DWORD v;
    std::memcpy(&v, static_cast<const BYTE*>(p) + off, sizeof(v));
    return v;
}
inline void Put16(void* p, std::size_t off, WORD v)
{
    std::memcpy(static_cast<BYTE*>(p) + off, &v, sizeof(v));
}
inline void Put32(void* p, std::size_t off, DWORD v)
{
    std::memcpy(static_cast<BYTE*>(p) + off, &v, sizeof(v));
}
// The wide text at a byte offset, up to its terminator or max characters.
inline std::u16string WideAt(const void* p, std::size_t off, std::size_t max)
{
    std::u16string s;
    for (std::size_t i = 0; i < max; ++i) {
        WORD c = U16(p, off + 2 * i);
        if (!c) break;
        s.push_back(static_cast<char16_t>(c));
    }
    return s;
}
inline void SetPassword(KX_DEVMODE* dm, const char16_t* marker)
{
    WCHAR pw[KX_PASSWORD_CHARS] = {};
    for (std::size_t i = 0; i < KX_PASSWORD_CHARS - 1 && marker[i]; ++i) pw[i] = marker[i];
    std::memcpy(reinterpret_cast<BYTE*>(dm) + offsetof(KX_DEVMODE, szPassword), pw, sizeof(pw));
}

// A record as the settings interface saves it: defaults, a label of
// 100 x 150 mm, the marker and a 300 dpi model block; tag goes to lXOffset
// so that tests can tell records apart.
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
    SetPassword(&dm, DEVMODE_PASSWORT);
    return dm;
}

inline Bytes ToBytes(const KX_DEVMODE& dm)
{
    Bytes b(sizeof(dm));
    std::memcpy(b.data(), &dm, sizeof(dm));
    return b;
}

// A saved DEVMODE: the public part (220 bytes), `hostPrivate` bytes of the
// host's own data, then the private record; dmDriverExtra covers everything
// behind the public part.
inline Bytes UserDevmode(const Bytes& record, std::size_t hostPrivate = 1200)
{
    Bytes blob(sizeof(DEVMODEW) + hostPrivate, 0x5A);
    Put16(blob.data(), offsetof(DEVMODEW, dmSize), sizeof(DEVMODEW));
    Put16(blob.data(), offsetof(DEVMODEW, dmDriverExtra),
          static_cast<WORD>(hostPrivate + record.size()));
    blob.insert(blob.end(), record.begin(), record.end());
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
        kx::ResetDevmodeCache();
    }
    void TearDown() override
    {
        kx::ResetDevmodeCache();
        if (hPrinter) kx::plat::ClosePrinter(hPrinter);
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
        return std::u16string(kx::reg::kRegKeyDriver) + u"\\" + kPrinter;
    }

    void SetUserValue(std::u16string_view key, std::u16string_view name, const Bytes& data)
    {
        ASSERT_EQ(
            kx::plat::RegSetValue(kx::plat::Hive::CurrentUser, key, name, kx::plat::kRegBinary,
                                  data.data(), static_cast<std::uint32_t>(data.size())),
            0u);
    }
    void SetDevModes2(const Bytes& blob) { SetUserValue(kx::reg::kDevModes2Key, kPrinter, blob); }
    void SetDevModePerUser(const Bytes& blob)
    {
        SetUserValue(kx::reg::kDevModePerUserKey, kPrinter, blob);
    }
    void SetPrinterData(std::u16string_view name, const Bytes& data)
    {
        ASSERT_EQ(kx::plat::SetPrinterDataEx(hPrinter, kx::reg::kPrinterDataKey, name,
                                             kx::plat::kRegBinary, data.data(),
                                             static_cast<std::uint32_t>(data.size())),
                  0u);
    }
    void SetMachineRecord(const Bytes& data) { SetPrinterData(kx::reg::kPrivateDevmode, data); }
    // A GPD with a 104 mm head at 203 dpi.
    void WriteGpd()
    {
        std::string text =
            "*GPDFileVersion: \"1.0\"\r\n*MaxSize: PAIR(832, 20000)\r\n"
            "*OEMCustomData: \"104 203\"\r\n";
        HANDLE h =
            kx::plat::CreateFile(kGpdPath, kx::plat::kGenericWrite, 0, kx::plat::kCreateAlways);
        ASSERT_TRUE(IsValidHandle(h));
        std::uint32_t written = 0;
        kx::plat::WriteFile(h, text.data(), static_cast<std::uint32_t>(text.size()), &written);
        kx::plat::CloseHandle(h);
    }
};

}  // namespace kxtest
