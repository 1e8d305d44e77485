// Model capability tables: what a printer model can do, from its name.
//
// The name of the installed model (the bare GPD name, or the printer's
// "DriverName" data) is matched against two ordered rule chains; the first
// rule that holds gives the document features (dwDocFeatures) or the device
// option flags (dwDeviceOptionFlags) of the model.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "core/oempdev.h"
#include "platform/kxtypes.h"

// The document features of a model (dwDocFeatures, kept in the devmode's
// FixedData and in the job's print data). Every bit that code tests is named
// here and nowhere else; the other bits of a model's value are carried along
// unread.
constexpr DWORD DOC_FEATURE_NO_LABEL_TYPE = 0x1;   // no label-type and gap records
constexpr DWORD DOC_FEATURE_ROTATE = 0x2;          // the rotation command is sent
constexpr DWORD DOC_FEATURE_MIRROR = 0x4;          // the mirroring command is sent
constexpr DWORD DOC_FEATURE_MATERIAL = 0x8;        // the material can be selected
constexpr DWORD DOC_FEATURE_COLUMNS = 0x10;        // multi-column material
constexpr DWORD DOC_FEATURE_ALIGN_CENTRE = 0x80;   // the alignment is fixed to centre
constexpr DWORD DOC_FEATURE_ALIGNMENT = 0x100;     // the alignment can be chosen
constexpr DWORD DOC_FEATURE_ROTATE_STEPS = 0x200;  // rotation in steps is sent
constexpr DWORD DOC_FEATURE_COLORPRINT = 0x800;    // colour printing
// Quality (graphics) printing: the page goes the image path (bGrafikFaehig).
constexpr DWORD DOC_FEATURE_QUALITY = 0x1000;
constexpr DWORD DOC_FEATURE_NO_RIBBON_CONTROL = 0x8000;  // both ribbon digits are 0
// The newer protocol: text may go as UTF-8 (the job's UTF-8 switch), memory-
// card files are named after the job and stored with their directory, no
// wait follows the data-memory command, multi-lane jobs keep compression and
// a graphic on several lanes is moved by the lane offset.
constexpr DWORD DOC_FEATURE_UTF8 = 0x20000;
// A two-colour model: with the split print-file mode, comments are on.
constexpr DWORD DOC_FEATURE_SPLIT_FILE = 0x40000;
constexpr DWORD DOC_FEATURE_NO_LABEL_TYPE_2 = 0x400000;  // no label-type and gap records either

// What a two-colour model adds to its family's document features.
constexpr DWORD DOC_FEATURE_TWO_COLOUR_ADD = DOC_FEATURE_COLORPRINT | DOC_FEATURE_SPLIT_FILE;
// The document features of the dummy model (a name holding "Dummy" that no
// other rule claims).
constexpr DWORD DOC_FEATURE_DUMMY_MODEL = 0x100;

// The device option flags of a model (dwDeviceOptionFlags, the first word
// of the job's driver structures). Every flag that code tests is named here.
constexpr DWORD DEVOPTFLAG_PRINTER_OPTIONS = 0x1;  // the "PrinterOptions" block is read
// Values from this one up are print-module families: the device parameters
// are left to the interface setting, and the speed takes its own form.
constexpr DWORD DEVOPTFLAG_PRINT_MODULE = 0x80;
constexpr DWORD DEVOPTFLAG_RIBBON_SAVE = 0x400;         // ribbon save can be sent
constexpr DWORD DEVOPTFLAG_CUTTER_DISPENSER = 0x40000;  // cutter and dispenser work together

namespace kx {

// The longest model name looked at; longer names are cut.
constexpr size_t kModelNameChars = 39;
// GetPrinterDataW reads "DriverName" into a buffer of this many bytes; a name
// that does not fit leaves the name empty.
constexpr DWORD kDriverNameBytes = 40;

// One rule of a chain: it holds when every string of szAlle occurs in the
// name (and), at least one string of szEines occurs when any is given (or),
// and no string of szKeines occurs (and-not). Unused slots are null. Matching
// is case-sensitive, anywhere in the name.
struct ModelRule {
    DWORD dwResult = 0;
    std::array<const char16_t*, 3> szAlle{};
    std::array<const char16_t*, 4> szEines{};
    std::array<const char16_t*, 2> szKeines{};
};

// The two chains, in the order they are tested.
std::span<const ModelRule> DocFeatureRules();
std::span<const ModelRule> DeviceOptionRules();

// wcsstr on char16_t: true when pszNeedle occurs in pszName. An empty needle
// occurs everywhere.
bool ModelNameContains(const char16_t* pszName, const char16_t* pszNeedle);
bool ModelRuleHolds(const ModelRule& rule, const char16_t* pszName);
// The result of the first rule of the chain that holds for the name; 0 when
// none holds or the name is null or empty.
DWORD MatchModelRules(std::span<const ModelRule> rules, const char16_t* pszName);

// Document features of the model. pszDriverName: the model name, or null /
// empty to read the printer's "DriverName" data through hPrinter.
DWORD GetDocFeaturesIntern(HANDLE hPrinter, const char16_t* pszDriverName);

// Device option flags of the model; the name as for GetDocFeaturesIntern.
// pdev is not needed for the lookup and may be null.
DWORD GetDeviceOptionsFlagsIntern(OEM_PDEV* pdev, HANDLE hPrinter, const char16_t* pszDataName);

}  // namespace kx
