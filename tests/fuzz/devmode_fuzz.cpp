// The search for the saved private record with arbitrary registry blobs: the
// input becomes the user's saved DEVMODE (in "Printers\DevModes2" and/or
// "Printers\DevModePerUser") and the printer's own record, then the record is
// read, converted through the cache and merged into a public devmode.
//
// Input: byte 0 selects the stores (0x1 DevModes2, 0x2 DevModePerUser, 0x4
// the printer's PrivateDevmode, 0x8 feature tokens from the start of the
// printer's part); bytes 1 and 2 (little-endian) are the length of the user's
// part; the user's part follows, the printer's part is the rest.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/devmode.h"
#include "core/regvalues.h"
#include "platform/platform.h"
#include "platform/sim.h"
#include "settings/devmodeops.h"
#include "support/testdevice.h"

namespace {

constexpr char16_t kPrinter[] = u"Fuzz KX4";

// One simulated Windows with one printer for the whole run.
HANDLE SetUpSimulation()
{
    kxtest::ScratchSimulation("kxfuzz-devmode");
    kx::plat::sim::DriverSetup driver;
    driver.name = u"KX4 Driver";
    driver.dataFile = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\missing.GPD";
    kx::plat::sim::AddDriver(driver);
    kx::plat::sim::PrinterSetup printer;
    printer.name = kPrinter;
    printer.driverName = driver.name;
    kx::plat::sim::AddPrinter(printer);
    HANDLE h = nullptr;
    kxtest::Require(kx::plat::OpenPrinter(kPrinter, &h) == 0);
    return h;
}

void SetUser(std::u16string_view key, std::u16string_view name, bool on, const std::uint8_t* data,
             std::size_t size)
{
    if (on)
        kx::plat::RegSetValue(kx::plat::Hive::CurrentUser, key, name, kx::plat::kRegBinary, data,
                              static_cast<std::uint32_t>(size));
    else
        kx::plat::RegDeleteValue(kx::plat::Hive::CurrentUser, key, name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static HANDLE hPrinter = SetUpSimulation();
    if (size < 3) return 0;
    const std::uint8_t flags = data[0];
    std::size_t userSize = static_cast<std::size_t>(data[1] | (data[2] << 8));
    data += 3;
    size -= 3;
    if (userSize > size) userSize = size;
    const std::uint8_t* machine = data + userSize;
    const std::size_t machineSize = size - userSize;

    SetUser(kx::reg::kDevModes2Key, kPrinter, flags & 0x1, data, userSize);
    SetUser(kx::reg::kDevModePerUserKey, kPrinter, flags & 0x2, data, userSize);
    const std::u16string machineKey = std::u16string(kx::reg::kHLMKeyPrinters) + u"\\" + kPrinter +
                                      u"\\" + kx::reg::kPrinterDataKey;
    if (flags & 0x4)
        kx::plat::SetPrinterDataEx(hPrinter, kx::reg::kPrinterDataKey, kx::reg::kPrivateDevmode,
                                   kx::plat::kRegBinary, machine,
                                   static_cast<std::uint32_t>(machineSize));
    else
        kx::plat::RegDeleteValue(kx::plat::Hive::LocalMachine, machineKey,
                                 kx::reg::kPrivateDevmode);
    const std::u16string userKey = std::u16string(kx::reg::kRegKeyDriver) + u"\\" + kPrinter;
    SetUser(userKey, kx::reg::kDevmodeFtkn, flags & 0x8, machine,
            machineSize < 24 ? machineSize : 24);

    // The reader: a result of 0 leaves the output alone.
    KX_DEVMODE out;
    std::memset(&out, 0xA5, sizeof(out));
    KX_DEVMODE before = out;
    WCHAR name[260];
    int rc = kx::ReadDevmodeSettings(hPrinter, &out, name);
    kxtest::Require(rc == 0 || rc == 5);
    if (rc == 0) kxtest::Require(std::memcmp(&out, &before, sizeof(out)) == 0);
    // Without an output the answer comes before an old printer record is
    // refused, so a failure may still have found one.
    int found = kx::ReadDevmodeSettings(hPrinter, nullptr, nullptr);
    kxtest::Require(rc == 5 ? found == 4 : (found == 0 || found == 4));

    // Conversion through the cache and the merge, into buffers of exactly one
    // record so that the sanitizers see any overrun.
    kx::ResetDevmodeCache();
    auto* in = static_cast<KX_DEVMODE*>(std::malloc(sizeof(KX_DEVMODE)));
    auto* priv = static_cast<KX_DEVMODE*>(std::malloc(sizeof(KX_DEVMODE)));
    OEMDMPARAM p{};
    p.hPrinter = hPrinter;
    p.pOEMDMOut = in;
    kxtest::Require(kx::hrOEMDevMode(OEMDM_DEFAULT, &p) == S_OK);
    std::memcpy(priv, in, sizeof(KX_DEVMODE));
    p.pOEMDMIn = in;
    p.pOEMDMOut = priv;
    kxtest::Require(kx::hrOEMDevMode(OEMDM_CONVERT, &p) == S_OK);
    kxtest::Require(priv->dwSize == KX_DEVMODE_SIZE && priv->dwSignature == KX_SIGNATURE);
    DEVMODEW pubIn{}, pubOut{};
    pubIn.dmSize = pubOut.dmSize = sizeof(DEVMODEW);
    pubIn.dmPaperSize = pubOut.dmPaperSize = static_cast<SHORT>(flags << 1);
    pubIn.dmPaperLength = 1500;
    pubIn.dmPaperWidth = pubOut.dmPaperWidth = 1000;
    p.pPublicDMIn = &pubIn;
    p.pPublicDMOut = &pubOut;
    kxtest::Require(kx::hrOEMDevMode(OEMDM_MERGE, &p) == S_OK);
    std::free(in);
    std::free(priv);
    kx::ResetDevmodeCache();
    return 0;
}
