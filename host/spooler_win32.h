// The spooler's installation calls, kept apart from the project's own
// declarations of the Windows types.
#pragma once

#include <array>
#include <cstdint>
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

// Writes a stand-in for the driver's settings plug-in: a copy of the module
// source whose only resource is a version resource of the given file and
// product version (a.b.c.d). Returns an empty string or what failed.
std::string InstallVersionedModule(const std::filesystem::path& source,
                                   const std::u16string& target,
                                   const std::array<std::uint16_t, 4>& version);

// A job of the printer's queue for the run, opened with StartDocPrinter
// (document name, datatype RAW); nothing is ever written to it. Id() is the
// spooler's id of it, 0 when it could not be opened (Error() says why).
// The destructor throws the job away (AbortPrinter): the stream goes to
// kxrender's output file, never to the printer's port.
class SpoolerJobW32 {
public:
    SpoolerJobW32(const std::u16string& printerName, const std::u16string& document);
    ~SpoolerJobW32();
    SpoolerJobW32(const SpoolerJobW32&) = delete;
    SpoolerJobW32& operator=(const SpoolerJobW32&) = delete;

    std::uint32_t Id() const { return id_; }
    const std::string& Error() const { return error_; }

private:
    void* printer_ = nullptr;
    std::uint32_t id_ = 0;
    std::string error_;
};

}  // namespace kxhost
