// The XML settings readers: each reader family turns the values of one root
// of a settings file into a record - the feature list, the data-transmission
// record (PRN_INTERFACE), the device-settings records, or fields of a
// KX_DEVMODE.
//
// The readers read from the settings file that is open (OpenXML), else from
// the printer's own settings file (see ReadXML). They do not close it: the
// caller ends a run of readers with CloseXML. Every reader runs its lookups
// in a fixed order, since a lookup without rewind resumes where the one
// before it found its root.
//
// Values are stored with the width of their field (a 16-bit field keeps the
// low 16 bits of the number); a switch is on when its value is 1 and off for
// any other value. A field whose element is missing takes the reader's
// "missing" value or, where the reader has none, stays unchanged.
//
// Results of the readers: 5 when the reader's root was found in the file,
// 6 when it is not there, 0 when no settings file could be opened, 1 without
// a context or target record.
//
// The context is the device state; it is needed only to find the printer's
// own settings file when no file is open. The readers take no further
// parameters: the record to fill is all they need.
#pragma once

#include "platform/kxtypes.h"
#include "core/devmode.h"
#include "core/printerparam.h"
#include "core/prn_interface.h"
#include "settings/xmlreader.h"

namespace kx {

// Root "Features": the feature list (MAX_FEATURES words, cleared first).
// *pulSize receives the size of the list, 48 bytes.
int GetFeaturesFromXML(OEM_PDEV* ctx, ULONG* pulSize, DWORD* pFeatures);

// Root "DataTransmission": the interface and file settings. The four paths
// are kept only when they name an existing file or directory.
int GetDataTransmissionParamFromXML(OEM_PDEV* ctx, PRN_INTERFACE* pRecord);

// Root "DeviceSettings": the shift-optimisation and the photocell records
// (each cleared first).
int GetShiftoptimFromXML(OEM_PDEV* ctx, SHIFT_OPTIM_PARAM* pRecord);
int GetPhotocellFromXML(OEM_PDEV* ctx, PHOTOCELL_PARAM* pRecord);

// The readers into a KX_DEVMODE.
int GetMaterialMulticolFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode);      // "MaterialMulticol"
int GetPrintParameterFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode);        // "PrintParameter"
int GetLayoutSizeFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode);            // "LayoutSize"
int GetColorPrintFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode);            // "ColorPrint"
int GetPrintjobFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode);              // "Printjob"
int GetPrintQualitySettingsFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode);  // "PrintQuality"
int GetFontSettingsFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode);          // "Fonts"

// Root "Printer": the model block FixedData, with the print-head width, the
// printable width and the clear width computed from it. TRUE when the file
// gives "HeadWidthByte".
BOOL GetFixedPrinterSettingsFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode);

}  // namespace kx
