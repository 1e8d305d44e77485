// The job's values into the binary records the plug-in reads: the interface
// settings by their XML element names, the feature list by group and
// element, KX_DEVMODE and DEVMODE_FTKN fields by name, and the public
// DEVMODEW. The record layouts come from the settings headers; what lives
// here is only the naming of their fields for the job file.
//
// Each Apply function checks and applies in one go and throws a JobError
// that names the offending key; the job reader runs them on scratch records
// so that a bad value is reported before anything runs.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "core/devmode.h"
#include "core/printerparam.h"
#include "core/prn_interface.h"
#include "platform/unidrv.h"

namespace kxhost {

// "interface": {"Compression": 0, "LogFilePath": "C:\\logs", ...}
void ApplyInterface(const nlohmann::json& values, const std::string& where, PRN_INTERFACE* rec);

// "features": {"Interface": {"Extended_Prot": 1, ...}, ...}; 1 sets, 0 clears.
void ApplyFeatures(const nlohmann::json& values, const std::string& where,
                   DWORD (&features)[MAX_FEATURES]);

// "devmode": {"dwGap": 30, "dwFlags": ["PDMFLAG_ROTATED", 4096], "FixedData":
// {...}, "szWindowsFontName": ["Arial"], ...}
void ApplyDevmode(const nlohmann::json& values, const std::string& where, KX_DEVMODE* dm);

// "devmode_ftkn": {"dwPrioritaet": 1, ...}
void ApplyFtkn(const nlohmann::json& values, const std::string& where, DEVMODE_FTKN* ftkn);

// "public_devmode": {"dmOrientation": 2, "dmPaperWidth": 1000, ...}; each
// field given also sets its bit in dmFields.
void ApplyPublicDevmode(const nlohmann::json& values, const std::string& where, DEVMODEW* dm);

// "barcode_settings": {"EAN 13": {"mode": "manual", "height": 1500}, "QR Code":
// {"automatic": false, "mode": "B"}}: barcode settings by code name into the
// 1-D part (824 bytes) and the 2-D part (300 bytes), over what they hold.
void ApplyBarcodeSettings(const nlohmann::json& values, const std::string& where, BYTE* p1D,
                          BYTE* p2D);

// True when the job's values name this public field.
bool NamesField(const nlohmann::json& values, const char* field);

}  // namespace kxhost
