// The spooler's installation calls, kept apart from the project's own
// declarations of the Windows types.
#pragma once

#include <filesystem>
#include <string>

namespace kxhost {

struct DriverSetupW32 {
    std::u16string printerName;
    std::u16string portName;
    std::u16string driverName;
    std::u16string provider;             // manufacturer and provider
    std::filesystem::path moduleSource;  // the plug-in module kxrender loads
    std::u16string modulePath;           // where the driver keeps it
    std::u16string dataFile;             // the GPD
    std::u16string settingsFile;         // the printer's own settings file, or empty
};

// Copies the module into the driver directory, installs the driver and adds
// the printer. Returns an empty string or what failed.
std::string AddDriverAndPrinter(const DriverSetupW32& setup);

}  // namespace kxhost
