// Per-printer settings in the registry: the two key paths, the generic value
// reader with its user-before-machine precedence, and the barcode records.
//
// The user's store is HKEY_CURRENT_USER szRegKey; the machine's store is the
// printer data (key "PrinterDriverData") when a printer handle is at hand,
// else HKEY_LOCAL_MACHINE szHLMRegKey. The user's value always wins; the
// machine's value is the fallback; a value in neither store leaves the
// caller's defaults.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "core/oempdev.h"

namespace kx {

// Characters of the key buffers of TreiberPfadDatei (terminator included).
constexpr std::size_t kRegKeyChars = KX_MAX_PATH;

// HKEY_CURRENT_USER key of a printer: "SOFTWARE\Orvane\Driver\<printer>". A
// server printer "\\server\name" becomes "SOFTWARE\Orvane\Driver\server\name":
// the server is one more key level.
std::u16string UserRegKey(std::u16string_view printerName);

// HKEY_LOCAL_MACHINE key of a printer's data:
// "SYSTEM\CurrentControlSet\Control\Print\Printers\<printer>\PrinterDriverData".
// A server printer is kept there under its connection name, the backslashes
// turned into commas (",,server,name"), which is how the spooler names the
// key of a printer connection; a path holding the server's backslashes
// would address no key at all.
std::u16string MachineRegKey(std::u16string_view printerName);

// Both keys into buffers of kRegKeyChars characters (szRegKey, szHLMRegKey of
// TreiberPfadDatei). False when a key did not fit (it is then cut) or the
// name is missing (both keys are then empty).
bool BuildRegistryKeys(const WCHAR* pszPrinterName, WCHAR* pszRegKey, WCHAR* pszHLMRegKey);

// A whole value of a registry key (RegGetValue semantics). 0 or the Win32
// error code; out is cleared on failure.
DWORD ReadRegistryValue(plat::Hive hive, std::u16string_view key, std::u16string_view name,
                        std::vector<BYTE>* out);
// A whole value of the printer's data (GetPrinterDataEx semantics).
DWORD ReadPrinterDataValue(HANDLE hPrinter, std::u16string_view key, std::u16string_view name,
                           std::vector<BYTE>* out);

// The generic reader. Looks for the value in the user's store
// (pdev->pOp->pTreiberPfadDatei->szRegKey) and, when that key is empty or
// lacks the value, in the machine's store (printer data through hPrinter, or
// szHLMRegKey without a handle), and returns the value of the first store
// that has it, read whole into a new buffer that the caller owns. *pcbSize
// (may be null) receives the size of the value as stored, which is not
// necessarily the size of the record the caller expects: callers copy at
// most the smaller of the two. Empty (and *pcbSize 0) when no store has the
// value, when it cannot be read after its size was known, or when it holds
// no bytes.
std::vector<BYTE> GetRegistryBuffer_New(const OEM_PDEV* pdev, const WCHAR* pszValueName,
                                        HANDLE hPrinter, DWORD* pcbSize);

// GetRegistryBuffer_New into a fixed record: copies min(value size, cbRecord)
// bytes; the rest of the record keeps what the caller put there. True when a
// value was found.
bool GetRegistryRecord(const OEM_PDEV* pdev, const WCHAR* pszValueName, HANDLE hPrinter,
                       void* pRecord, DWORD cbRecord);

// Reads a fixed record by printer name: HKEY_CURRENT_USER first, then the
// printer data (key "PrinterDriverData") through hPrinter or, without a
// handle, HKEY_LOCAL_MACHINE. A stored value shorter than the record fills its
// beginning and leaves the rest as the caller prepared it; of a longer value
// only the record's size is taken (a newer settings interface may append
// fields). A value of no bytes counts as missing. True when a store had the
// value; otherwise the record is untouched.
bool ReadPrinterRecord(HANDLE hPrinter, const WCHAR* pszPrinterName, std::u16string_view valueName,
                       void* pRecord, DWORD cbRecord);

// The barcode settings: "BarCodes1D" into the 824 bytes at p1DBarcodes and
// "BarCodes2D" into the 300 bytes at p2DBarcodes (either may be null). The
// records are opaque here: their fields belong to the barcode fonts and the
// command-font barcodes that read them. A
// missing value leaves its record as the caller prepared it.
void ReadBarcodeSettings(HANDLE hPrinter, const WCHAR* pszPrinterName, BYTE* p1DBarcodes,
                         BYTE* p2DBarcodes);

}  // namespace kx
