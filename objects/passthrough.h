// Pass-through files: prepared printer data sent unchanged.
//
// SendFileContentToPrinter appends the contents of the external file of the
// interface settings to the page (page end); SendPrnFileToPrinter sends a
// print file written earlier to the printer again, as a spooler document of
// its own (collation by re-sending, document end).
#pragma once

#include "core/oempdev.h"

namespace kx {

// A file whose size cannot be told is read up to this many bytes.
constexpr DWORD kExternalFileDefaultSize = 2048000;

// Sends the whole external file ("ExternalFilePath" of the interface
// settings) through the output channel in one piece. A path shorter than
// five characters means there is nothing to send (TRUE). TRUE when the data
// went out; FALSE when the file cannot be read or the write failed.
BOOL SendFileContentToPrinter(PDEVOBJ pdevobj, OEM_PDEV* pdev, IPrintOemDriverUni* pUniDrv);

// Sends the file pszFileName to the printer pwPrinterName as the RAW
// document "Reloaded Print-File". Every spooler call that was started is
// ended (page, document, printer) whatever failed before it. TRUE only when
// WritePrinter took every byte of the file. pdev (may be null) counts the
// file buffer.
BOOL SendPrnFileToPrinter(OEM_PDEV* pdev, const WCHAR* pszFileName, const WCHAR* pwPrinterName);

}  // namespace kx
