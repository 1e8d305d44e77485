#include "host/spooler_win32.h"

#include <windows.h>
#include <winspool.h>
#include <winver.h>

#include <cstring>
#include <vector>

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

std::string Failed(const char* what, LONG error)
{
    return std::string(what) + " failed, error " + std::to_string(error);
}

// Windows' spooler keeps the level-6 names of an added driver as the values
// "Manufacturer" and "Provider" of the driver's key and gives them back from
// GetPrinterDriver. Wine's keeps none of them (its GetPrinterDriver reads the
// same values, but its AddPrinterDriverEx never writes them): when the names
// do not come back, they are written where the spooler reads them, as
// Windows' own installation would have left them.
std::string KeepDriverNames(const std::wstring& printer, const std::wstring& maker)
{
    HANDLE h = nullptr;
    if (!::OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &h, nullptr))
        return Failed("OpenPrinter");
    DWORD needed = 0;
    ::GetPrinterDriverW(h, nullptr, 6, nullptr, 0, &needed);
    std::vector<BYTE> buf(needed ? needed : 1);
    const BOOL ok = ::GetPrinterDriverW(h, nullptr, 6, buf.data(), needed, &needed);
    ::ClosePrinter(h);
    if (!ok) return Failed("GetPrinterDriver");
    const auto* di = reinterpret_cast<const DRIVER_INFO_6W*>(buf.data());
    auto given = [](const wchar_t* s) { return s && *s; };
    if (given(di->pszMfgName) && given(di->pszProvider)) return {};
    std::wstring key = L"System\\CurrentControlSet\\Control\\Print\\Environments\\";
    key += di->pEnvironment ? di->pEnvironment : L"Windows x64";
    key += L"\\Drivers\\Version-" + std::to_wstring(di->cVersion) + L"\\" + di->pName;
    const DWORD cb = static_cast<DWORD>((maker.size() + 1) * sizeof(wchar_t));
    for (const wchar_t* value : {L"Manufacturer", L"Provider"}) {
        LONG rc =
            ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), value, REG_SZ, maker.c_str(), cb);
        if (rc != ERROR_SUCCESS) return Failed("writing the driver's names", rc);
    }
    return {};
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
    return KeepDriverNames(printer, maker);
}

std::string InstallVersionedModule(const std::filesystem::path& source,
                                   const std::u16string& target,
                                   const std::array<std::uint16_t, 4>& version)
{
    std::wstring path = Wide(target);
    if (!::CopyFileW(source.wstring().c_str(), path.c_str(), FALSE))
        return Failed("copying the settings plug-in's stand-in");
    // VS_VERSIONINFO with the fixed block alone: the header (length, value
    // length, type), the key "VS_VERSION_INFO" padded to 4 bytes, then
    // VS_FIXEDFILEINFO.
    static const wchar_t kKey[] = L"VS_VERSION_INFO";
    constexpr std::size_t kHeader = 6 + sizeof(kKey);                  // 38
    constexpr std::size_t kFixedAt = (kHeader + 3) & ~std::size_t{3};  // 40
    std::vector<BYTE> blob(kFixedAt + sizeof(VS_FIXEDFILEINFO), 0);
    auto put16 = [&](std::size_t at, WORD v) { std::memcpy(&blob[at], &v, 2); };
    put16(0, static_cast<WORD>(blob.size()));
    put16(2, static_cast<WORD>(sizeof(VS_FIXEDFILEINFO)));
    put16(4, 0);
    std::memcpy(&blob[6], kKey, sizeof(kKey));
    VS_FIXEDFILEINFO ffi{};
    ffi.dwSignature = VS_FFI_SIGNATURE;
    ffi.dwStrucVersion = VS_FFI_STRUCVERSION;
    ffi.dwFileVersionMS = ffi.dwProductVersionMS = MAKELONG(version[1], version[0]);
    ffi.dwFileVersionLS = ffi.dwProductVersionLS = MAKELONG(version[3], version[2]);
    ffi.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    ffi.dwFileOS = VOS_NT_WINDOWS32;
    ffi.dwFileType = VFT_DLL;
    std::memcpy(&blob[kFixedAt], &ffi, sizeof(ffi));

    // RT_VERSION is 16; the header spells it for the narrow calls alone.
    HANDLE update = ::BeginUpdateResourceW(path.c_str(), TRUE);
    if (!update) return Failed("BeginUpdateResource");
    if (!::UpdateResourceW(update, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(VS_VERSION_INFO),
                           MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), blob.data(),
                           static_cast<DWORD>(blob.size()))) {
        std::string error = Failed("UpdateResource");
        ::EndUpdateResourceW(update, TRUE);
        return error;
    }
    if (!::EndUpdateResourceW(update, FALSE)) return Failed("EndUpdateResource");
    return {};
}

SpoolerJobW32::SpoolerJobW32(const std::u16string& printerName, const std::u16string& document)
{
    std::wstring name = Wide(printerName);
    HANDLE h = nullptr;
    if (!::OpenPrinterW(name.data(), &h, nullptr)) {
        error_ = Failed("OpenPrinter");
        return;
    }
    std::wstring doc = Wide(document);
    std::wstring raw = L"RAW";
    DOC_INFO_1W di{};
    di.pDocName = doc.data();
    di.pDatatype = raw.data();
    const DWORD id = ::StartDocPrinterW(h, 1, reinterpret_cast<BYTE*>(&di));
    if (id == 0) {
        error_ = Failed("StartDocPrinter");
        ::ClosePrinter(h);
        return;
    }
    printer_ = h;
    id_ = id;
}

SpoolerJobW32::~SpoolerJobW32()
{
    if (!printer_) return;
    HANDLE h = static_cast<HANDLE>(printer_);
    // Thrown away, not printed; a spooler that cannot abort still ends it
    // without a byte written.
    if (!::AbortPrinter(h)) ::EndDocPrinter(h);
    ::ClosePrinter(h);
}

}  // namespace kxhost
