#include "host/spooler_win32.h"

#include <windows.h>
#include <winspool.h>

namespace kxhost {

namespace {

std::wstring Wide(std::u16string_view s)
{
    return {s.begin(), s.end()};
}

std::string Failed(const char* what)
{
    return std::string(what) + " failed, error " + std::to_string(::GetLastError());
}

}  // namespace

std::string AddDriverAndPrinter(const DriverSetupW32& setup)
{
    std::wstring module = Wide(setup.modulePath);
    if (!::CopyFileW(setup.moduleSource.wstring().c_str(), module.c_str(), FALSE))
        return Failed("copying the plug-in module into the driver directory");
    std::wstring name = Wide(setup.driverName);
    std::wstring data = Wide(setup.dataFile);
    std::wstring raw = L"RAW";
    // A multi-string: the settings file, then the closing empty string.
    std::wstring dependent = Wide(setup.settingsFile);
    dependent.push_back(L'\0');
    // Level 6: the manufacturer and provider go with the driver.
    std::wstring maker = Wide(setup.provider);
    DRIVER_INFO_6W di{};
    di.cVersion = 3;
    di.pName = name.data();
    di.pDriverPath = module.data();
    di.pDataFile = data.data();
    // Wine asks the configuration module for the devmode when the printer
    // is added; its PostScript driver has the calls (Windows: UNIDRVUI.DLL).
    std::wstring config = L"wineps.drv";
    di.pConfigFile = config.data();
    di.pDefaultDataType = raw.data();
    di.pDependentFiles = setup.settingsFile.empty() ? nullptr : dependent.data();
    di.pszMfgName = maker.data();
    di.pszProvider = maker.data();
    if (!::AddPrinterDriverExW(nullptr, 6, reinterpret_cast<BYTE*>(&di), APD_COPY_NEW_FILES))
        return Failed("AddPrinterDriverEx");

    std::wstring printer = Wide(setup.printerName);
    std::wstring port = Wide(setup.portName);
    std::wstring processor = L"winprint";
    PRINTER_INFO_2W pi{};
    pi.pPrinterName = printer.data();
    pi.pPortName = port.data();
    pi.pDriverName = name.data();
    pi.pPrintProcessor = processor.data();
    pi.pDatatype = raw.data();
    pi.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    // Without a devmode, AddPrinter asks the driver's configuration module
    // for its defaults (DrvDocumentProperties). The render plug-in is no
    // configuration module: the printer starts with a bare public devmode.
    DEVMODEW dm{};
    setup.printerName.copy(reinterpret_cast<char16_t*>(dm.dmDeviceName), CCHDEVICENAME - 1);
    dm.dmSpecVersion = DM_SPECVERSION;
    dm.dmSize = sizeof(dm);
    pi.pDevMode = &dm;
    HANDLE h = ::AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&pi));
    if (!h) return Failed("AddPrinter");
    ::ClosePrinter(h);
    return {};
}

}  // namespace kxhost
