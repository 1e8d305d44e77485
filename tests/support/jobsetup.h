// A simulated printer for whole jobs: its driver, the spooler's job and the
// settings records the job start reads, and a device context ready for
// CMDID_START_JOB.
#pragma once

#include <string>

#include "core/printeroptions.h"
#include "core/printerparam.h"
#include "support/device.h"

namespace kxtest {

inline constexpr char16_t kJobPrinter[] = u"KX Test Printer";
inline constexpr char16_t kJobRegKey[] = u"SOFTWARE\\Orvane\\Driver\\KX Test Printer";
inline constexpr char16_t kJobGpd[] = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KX4.GPD";
constexpr DWORD kJobId = 7;

// Installs driver "KX4 Driver" (a model name no capability rule claims, so
// the model features come only from the devmode), the printer kJobPrinter
// and the spooler's job kJobId, and opens the printer.
class JobPrinter {
public:
    explicit JobPrinter(std::u16string document = u"Label.txt", DWORD totalPages = 1,
                        std::u16string name = kJobPrinter);
    ~JobPrinter();
    JobPrinter(const JobPrinter&) = delete;
    JobPrinter& operator=(const JobPrinter&) = delete;

    HANDLE handle() const { return hPrinter_; }
    const std::u16string& name() const { return name_; }
    // The printer's key in the user's store.
    std::u16string RegKey() const;
    // The settings records in the user's store, as the settings interface
    // leaves them.
    void SetInterface(const PRN_INTERFACE& pi) const;
    void SetOptions(const PRINTER_OPTIONS& options) const;
    // "SuppFeatures" in the printer's data.
    void SetFeatures(const DWORD (&features)[MAX_FEATURES]) const;
    void SetJob(std::u16string document, DWORD totalPages) const;

private:
    HANDLE hPrinter_ = nullptr;
    std::u16string name_;
};

// Interface settings that keep a job's stream short: "^"/"_", no print
// file, the plug-in sends neither device nor label parameters, no data
// memory record.
PRN_INTERFACE QuietInterface();

// A device context without a job, for the printer: the private devmode has
// its defaults, a 300 dpi model with a 104 mm head (832 dots), a
// 100 x 50 mm label and the validity marker; one copy, portrait.
void PrepareForJob(TestDevice& d, const JobPrinter& printer);

// The print file is the printer's stream with lines of its own added: the
// stream's bytes appear in it in order, and the rest are whole lines
// ending in "\r\n" (comments, bare line ends, the header).
::testing::AssertionResult PrintFileExtendsSpool(const std::string& print,
                                                 const std::string& spool);

}  // namespace kxtest
