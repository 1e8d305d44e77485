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

#include "platform/kxtypes.h"
#include "core/oempdev.h"

// dwDocFeatures bits with a meaning of their own. The remaining bits of a
// model's value are passed on unchanged to the code that tests them.
constexpr DWORD DOC_FEATURE_ROTATE = 0x2;
constexpr DWORD DOC_FEATURE_MIRROR = 0x4;
constexpr DWORD DOC_FEATURE_ROTATE_STEPS = 0x200;
constexpr DWORD DOC_FEATURE_COLORPRINT = 0x800;
constexpr DWORD DOC_FEATURE_QUALITY = 0x1000;

// What a two-colour model adds to its family's document features.
constexpr DWORD DOC_FEATURE_TWO_COLOUR_ADD = DOC_FEATURE_COLORPRINT | 0x40000;
// The document features of the dummy model (a name holding "Dummy" that no
// other rule claims).
constexpr DWORD DOC_FEATURE_DUMMY_MODEL = 0x100;

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
