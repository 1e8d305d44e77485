// The settings writer: everything the printer's installation and its
// settings user interface leave behind for the plug-in to read.
//
// Before the plug-in is loaded, the printer is installed: its driver (the
// render module, the GPD and the printer's own settings file in the driver
// directory), the printer itself, the spooler's job, the module's version
// resource, the operating-system name, and the files the job puts on the
// drives. Once the plug-in has answered DevMode(OEMDM_DEFAULT), the job's
// private devmode is built on those defaults - the model data from the
// settings file's "Printer" section or else the GPD, the label size, the
// job's own values and the validity marker - and the settings are stored:
// "PrinterInterface", "SuppFeatures", "PrinterOptions", "BarCodes1D",
// "BarCodes2D", "DevmodeFtkn", the saved devmodes ("PrivateDevmode" and the
// user's "Printers\DevModes2") and the job's raw registry values.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/devmode.h"
#include "core/printerparam.h"
#include "core/prn_interface.h"
#include "host/jobfile.h"
#include "platform/unidrv.h"

namespace kxhost {

// Where the printer's files lie on the simulated drive C:.
struct Installation {
    std::u16string driverDir;   // the driver directory
    std::u16string pluginPath;  // the render module as the driver names it
    std::u16string gpdPath;     // the printer's GPD, named after the model
    std::u16string xmlPath;     // the printer's own settings file (GPD name + ".XML")
    bool hasGpd = false;
    bool hasXml = false;
};

// Folders of the simulated Windows (ignored on Windows itself).
struct EnvOptions {
    std::filesystem::path state;
    std::filesystem::path root;
};

// Sets the simulated Windows up for the job: state and root folders, clock,
// user and computer name. Throws JobError on Windows when a folder is given.
void ConfigureEnvironment(const Job& job, const EnvOptions& options);
// The host folder of the drive letters (empty where the drives are real).
std::filesystem::path DriveRoot();
// Host path of a Windows path on the drives (empty where not simulated).
std::filesystem::path HostPath(std::u16string_view windowsPath);
// The folders where kxrender looks for the files a run writes: the
// simulated drives whole; on Windows the folders the job's "files" names
// (a folder, or the folder of a file).
std::vector<std::filesystem::path> WatchedFolders(const Job& job);
// The Windows name ("C:\\x\\y.prn") of a file found there.
std::string WindowsName(const std::filesystem::path& hostPath);

// Installs driver and printer and copies the job's files onto the drives.
// totalPages is what the spooler's job reports.
Installation InstallPrinter(const Job& job, std::uint32_t totalPages);
// The files of the installation alone (part of InstallPrinter).
Installation InstallPrinterFiles(const Job& job);

// The job of the printer's queue that the plug-in renders in, for the job
// file's job id ("environment.job_id"; 0: the job is in no queue). The
// simulated Windows has the job file's id in the queue (InstallPrinter);
// on Windows kxrender opens a job of its own on the printer
// (StartDocPrinter, the job's document name) and throws it away at the end,
// and the plug-in is handed the spooler's id for it. Throws JobError when
// the job cannot be opened.
class SpoolerJob {
public:
    explicit SpoolerJob(const Job& job);
    ~SpoolerJob();
    SpoolerJob(const SpoolerJob&) = delete;
    SpoolerJob& operator=(const SpoolerJob&) = delete;

    // The id DrvStartDoc gets for a job id of the job file: the spooler's
    // for the job file's job, any other as it stands.
    std::uint32_t Map(std::uint32_t fileId) const
    {
        return fileId != 0 && fileId == fileId_ ? spoolerId_ : fileId;
    }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::uint32_t fileId_ = 0;
    std::uint32_t spoolerId_ = 0;
};

// The model as the settings make it.
struct PrinterModel {
    DWORD docFeatures = 0;   // the model's DOC_FEATURE_... bits
    bool imagePath = false;  // the raster goes through ImageProcessing
    int dpi = 0;
    std::uint32_t headDots = 0;
    std::uint32_t maxX = 0, maxY = 0;  // largest page the model accepts, dots
};

struct JobSettings {
    PrinterModel model;
    KX_DEVMODE devmode{};  // the job's private devmode
    DEVMODEW publicDevmode{};
    PRN_INTERFACE prnInterface{};
    DWORD features[MAX_FEATURES] = {};
    bool writeFeatures = false;
    DEVMODE_FTKN ftkn{};
};

// Builds the private and public devmodes and the settings records.
// firstPage: the size of the job's first page image (dots), used for the
// label size when the job gives none. Throws JobError.
JobSettings BuildSettings(const Job& job, const Installation& inst, const KX_DEVMODE& defaults,
                          std::optional<std::pair<int, int>> firstPage);

// Writes the settings records, the saved devmodes and the raw values into
// the registry and the printer's data. With devmode_layout the saved devmodes
// are in that generation's layout; the result then tells the layout, its
// size and the generation recognised in it (else it is empty).
std::string StoreSettings(const Job& job, const JobSettings& settings, HANDLE hPrinter);

// Conversions between dots and tenths of a millimetre, rounded.
int DotsFromTenths(int tenths, int dpi);
int TenthsFromDots(int dots, int dpi);

}  // namespace kxhost
