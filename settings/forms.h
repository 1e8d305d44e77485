// Forms and printer identity: the Windows paper size number of a label size,
// and the printer's name as the registry knows it.
#pragma once

#include <string>

#include "platform/kxtypes.h"
#include "core/devmode.h"

namespace kx {

// Characters of a form name buffer (31 and the terminator).
constexpr std::size_t kFormNameChars = 32;
// Characters of a printer name buffer (terminator included).
constexpr std::size_t kPrinterNameChars = 260;
// The paper size number of "no form" (DMPAPER_USER).
constexpr int kPaperUser = 256;

// The form of the printer whose size equals the label's: width and length
// in tenths of a millimetre, each within one tenth (the form's thousandths
// of a millimetre divided by 100, truncated). Forms are taken in the order
// EnumForms lists them and the first match wins; its paper size number is its
// position in that list plus 1. Its name (at most 31 characters) goes to
// pszFormNameOut when given (kFormNameChars characters).
//
// Paper size number of the matching form, kPaperUser when none matches or
// the forms cannot be enumerated, 0 when the length or width is not
// positive (nothing is searched).
int GetFormIDfromSizes(HANDLE hPrinter, LONG dmPaperLength, LONG dmPaperWidth,
                       WCHAR* pszFormNameOut);

// The same for the paper part of a private record: its dmPaperSize receives
// the number, kPaperUser when no form matched. 1 when a form matched, else 0.
// A length or width that is not positive, or forms that cannot be
// enumerated, leave dmPaperSize untouched.
int GetFormIDfromSizes(HANDLE hPrinter, KX_DEVMODE* pShortDevmode, WCHAR* pszFormNameOut);

// The printer's name as its registry keys and the saved DEVMODEs are named:
// the name of GetPrinter level 2, except for a name holding "\\" and a "|",
// where the text after "|" up to the next backslash is the server and the
// printer data "DsSpooler"/"printerName" the printer: "\\server\printer".
// Empty when the printer cannot be asked.
std::u16string RealPrinterName(HANDLE hPrinter);

// RealPrinterName into pszNameOut (kPrinterNameChars characters, cut when
// longer). FALSE, and pszNameOut unchanged, when there is no name.
BOOL GetRealPrinterName(HANDLE hPrinter, WCHAR* pszNameOut);

}  // namespace kx
