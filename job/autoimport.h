// Automatic import of a document settings file: a label document names one
// of the five settings files registered for the printer ("<$1>" ... "<$5>"
// in command-font text), and the label settings, material and device
// parameters of that file are sent in the middle of the job, as if the user
// had chosen them in the driver's dialog.
#pragma once

#include "core/oempdev.h"

namespace kx {

// The default device options record of a new installation: the model's
// device option flags as the settings dialog takes them over.
#pragma pack(push, 1)
struct DEFAULT_DEVICE_OPTIONS {
    DWORD dwSize;               // 0  DEFAULT_DEVICE_OPTIONS_SIZE
    DWORD dwVersion;            // 4  DEFAULT_DEVICE_OPTIONS_VERSION
    DWORD dwDeviceOptionFlags;  // 8  the job's dwDeviceOptionFlags
    BYTE reserved[108];
};
#pragma pack(pop)
constexpr DWORD DEFAULT_DEVICE_OPTIONS_SIZE = 120;
constexpr DWORD DEFAULT_DEVICE_OPTIONS_VERSION = 3;
static_assert(sizeof(DEFAULT_DEVICE_OPTIONS) == DEFAULT_DEVICE_OPTIONS_SIZE);

// Fills the record from the job's device option flags. FALSE (the record
// zeroed) when the job has none.
BOOL GetDefaultDeviceOptions(DWORD dwDeviceOptionFlags, DEFAULT_DEVICE_OPTIONS* pOptions);

// Imports the document settings file named by the first of "<$1>" ...
// "<$5>" in pszEntry (the interpreter's hook, objects/cmdinterp.h
// AutoImportFn): reads the file into a temporary record and sends the label
// settings, material and device parameters from it. S_OK when nothing was
// to be imported (no marker, no registered path, no such file); E_FAIL
// without the job's structures; otherwise the result of the label records.
HRESULT AutoImport(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const char* pszEntry);

}  // namespace kx
