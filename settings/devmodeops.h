// The devmode requests of the driver host, the process-wide conversion cache
// that DisablePDEV resets, and the reading of the record that the user last
// saved for a printer.
#pragma once

#include "platform/unidrv.h"
#include "core/devmode.h"

namespace kx {

// Results of ReadDevmodeSettings.
constexpr int DEVMODE_READ_FAILED = 0;
constexpr int DEVMODE_READ_FOUND = 4;   // a record was found, no output was given
constexpr int DEVMODE_READ_COPIED = 5;  // the record was copied out

// The first body generation in the current layout; records below it go
// through Devmode_Konverter.
constexpr WORD KX_BODY_VERSION_CURRENT = 0x6302;

// IPrintOemUni::DevMode: OEMDM_SIZE, OEMDM_DEFAULT, OEMDM_CONVERT, OEMDM_MERGE.
// A null parameter block or another mode sets the last error to
// ERROR_INVALID_PARAMETER and answers E_FAIL.
HRESULT hrOEMDevMode(DWORD dwMode, POEMDMPARAM pOemDMParam);

// Writes every default of a new record into pDevmode: the header, flags,
// sizes, strings, font slots and the device option block. The paper size,
// length and width, the validity marker and the model block (FixedData) are
// left as they are; reserved space is cleared.
void SetDevmodeDefaults(KX_DEVMODE* pDevmode);

// Fills pOEMDevOut from the saved settings of the printer (through the cache)
// and gives it the current header. FALSE only for a missing record.
BOOL ConvertOEMDevmode(HANDLE hPrinter, const KX_DEVMODE* pOEMDevIn, KX_DEVMODE* pOEMDevOut);

// Forgets the record cached for the last printer handle.
void ResetDevmodeCache();

// Finds the record that the user last saved for the printer: the private part
// of the user's DEVMODE in the registry, else the printer's own record
// ("PrinterDriverData"/"PrivateDevmode"). The real printer name goes to
// pszPrinterNameOut when given (260 characters). DEVMODE_READ_COPIED when the
// record was copied to pKX_DevmodeOut (4620 bytes), DEVMODE_READ_FOUND when
// one was found but no output was given, DEVMODE_READ_FAILED when there is
// none (the output is then untouched).
int ReadDevmodeSettings(HANDLE hPrinter, KX_DEVMODE* pKX_DevmodeOut, WCHAR* pszPrinterNameOut);

// Reads the feature-token record "DevmodeFtkn" of the printer (user's store
// first, then the machine's). Every field is zero when nothing is stored.
// TRUE when a record was found.
BOOL ReadDevmodeFtknSettings(HANDLE hPrinter, const WCHAR* pszPrinterName, DEVMODE_FTKN* pFtkn);

}  // namespace kx
