// Names of the registry keys and values that the plug-in reads and writes.
//
// Two stores per printer: the user's key (HKEY_CURRENT_USER, kRegKeyDriver +
// "\" + printer name) and the machine's printer data (key
// kPrinterDataKey of the printer, or HKEY_LOCAL_MACHINE kHLMKeyPrinters +
// "\" + printer name + "\" + kPrinterDataKey without a printer handle). Where
// a value lives in both, the user's copy wins. Most values are written by the
// settings user interface; the direct-printing counters and the numbering
// start values by the plug-in itself.
#pragma once

namespace kx::reg {

// ---- keys
inline constexpr char16_t kRegKeyDriver[] = u"SOFTWARE\\Orvane\\Driver";
inline constexpr char16_t kHLMKeyPrinters[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr char16_t kPrinterDataKey[] = u"PrinterDriverData";
// Printer data key and value of the printer's directory name (server printers).
inline constexpr char16_t kDsSpoolerKey[] = u"DsSpooler";
inline constexpr char16_t kDsSpoolerPrinterName[] = u"printerName";
// The user's saved DEVMODEs, one value per printer named after the printer.
inline constexpr char16_t kDevModes2Key[] = u"Printers\\DevModes2";
inline constexpr char16_t kDevModePerUserKey[] = u"Printers\\DevModePerUser";
// Operating-system name and version (HKEY_LOCAL_MACHINE).
inline constexpr char16_t kCurrentVersionKey[] = u"software\\microsoft\\windows NT\\CurrentVersion";

// ---- settings records (user, then machine)
inline constexpr char16_t kPrinterOptions[] = u"PrinterOptions";
inline constexpr char16_t kPrinterInterface[] = u"PrinterInterface";
inline constexpr char16_t kPhotocellParam[] = u"PhotocellParam";
inline constexpr char16_t kShiftOptimParam[] = u"ShiftOptimParam";
inline constexpr char16_t kDriverVersion[] = u"DriverVersion";
inline constexpr char16_t kXMLDocSetFiles[] = u"XMLDocSetFiles";
inline constexpr char16_t kBarCodes1D[] = u"BarCodes1D";
inline constexpr char16_t kBarCodes2D[] = u"BarCodes2D";
inline constexpr char16_t kDevmodeFtkn[] = u"DevmodeFtkn";

// ---- printer data only (machine)
inline constexpr char16_t kPrivateDevmode[] = u"PrivateDevmode";
inline constexpr char16_t kSuppFeatures[] = u"SuppFeatures";
inline constexpr char16_t kVectorFontMin[] = u"VectorFontMin";
inline constexpr char16_t kVectorFontMax[] = u"VectorFontMax";

// ---- direct printing: state of a broken job (user, DWORD unless noted)
inline constexpr char16_t kDAAbbruch[] = u"DAAbbruch";
inline constexpr char16_t kDAPrnFileName[] = u"DAPrnFileName";  // text
inline constexpr char16_t kDAPageNr[] = u"DAPageNr";
inline constexpr char16_t kDAFieldNr[] = u"DAFieldNr";
inline constexpr char16_t kDAGesPages[] = u"DAGesPages";

// ---- numbering placeholders (user, DWORD; deleted when reset)
inline constexpr char16_t kNumStartValue[] = u"NumStartValue";
inline constexpr char16_t kExtNumStartValue[] = u"ExtNumStartValue";

// ---- operating system (machine, kCurrentVersionKey)
inline constexpr char16_t kProductName[] = u"ProductName";
inline constexpr char16_t kDisplayVersion[] = u"DisplayVersion";
inline constexpr char16_t kCurrentBuild[] = u"CurrentBuild";

// Sizes of the fixed records among the values.
constexpr unsigned kBarCodes1DSize = 824;
constexpr unsigned kBarCodes2DSize = 300;
constexpr unsigned kDevmodeFtknSize = 24;
constexpr unsigned kXMLDocSetFilesChars = 5 * 260;

}  // namespace kx::reg
