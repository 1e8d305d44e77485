// Model capability tables: the model catalogue and its matching.
//
// How the model names are built
// -----------------------------
// A model name is "<Family> <type number><variant letter>", optionally with
// the marker "Duo" for the two-colour build of a family. The bare GPD name of
// the model carries the same words, in any order and with any separator
// ("Vela 406x", "Vela_406x_Duo", "406x-Vela" all work), because a rule asks
// for each word on its own.
//   family       a capitalised product-line word (Vela, Terna, Kelva, ...)
//   type number  three digits: print width class in inches (2, 4, 6, 8),
//                then the resolution code (02 = 203 dpi, 03 = 300 dpi,
//                06 = 600 dpi); "104" and "310" name print-module sizes
//   variant      "x" extended electronics (peel-off, cutter ready),
//                "c" colour-ribbon build, "e" economy build
//   "Duo"        two print heads, two ribbon colours
//
// Order of the rules
// ------------------
// The first rule that holds wins, so within a family the narrowest rule
// comes first: family + "Duo", family + type number + variant letter, family +
// type number, bare family. A family word that is part of a longer family
// word (Vela in Velantra, Kelva in Kelvaron, Ossin in Ossinta, Lirra in
// Lirrasto) is tested only after every rule of the longer family. The tests
// check that every rule is reachable, which is what this order guarantees.
#include "settings/models.h"

#include <iterator>
#include <string_view>

#include "core/format.h"
#include "core/trace.h"
#include "platform/platform.h"

namespace kx {

namespace {

// A two-colour build: the family's value plus colour printing and 0x40000.
constexpr DWORD Duo(DWORD dwFamily)
{
    return dwFamily | DOC_FEATURE_TWO_COLOUR_ADD;
}

// The values of the families that also come as two-colour builds.
constexpr DWORD kVelantra = 0x201156;
constexpr DWORD kVela = 0x2115E;
constexpr DWORD kTerna = 0x2115F;
constexpr DWORD kKelvaron = 0x21156;

// clang-format off
constexpr ModelRule kDocFeatureRules[] = {
    // Velantra: industrial 6" and 8" line (before Vela, which it contains).
    {Duo(kVelantra),  {u"Velantra", u"Duo"}},
    {0x20115E,        {u"Velantra", u"806"}},
    {kVelantra,       {u"Velantra"}},
    // Lirrasto: the Velantra chassis for the 4" market (before Lirra).
    {Duo(kVelantra),  {u"Lirrasto", u"Duo"}},
    {kVelantra,       {u"Lirrasto"}},
    // Vela: industrial 4" line.
    {Duo(kVela),      {u"Vela", u"Duo"}},
    {0x2955E,         {u"Vela", u"406x"}},
    {0x2915E,         {u"Vela", u"406"}},
    {0x2195E,         {u"Vela", u"403c"}},
    {0x2155E,         {u"Vela", u"403x"}},
    {0x2115F,         {u"Vela", u"402"}},
    {kVela,           {u"Vela"}},
    // Lirra, Calvo: further 4" industrial lines on the Vela electronics.
    {Duo(kVela),      {u"Lirra", u"Duo"}},
    {0x2195E,         {u"Lirra", u"403c"}},
    {kVela,           {u"Lirra"}},
    {Duo(kVela),      {u"Calvo", u"Duo"}},
    {0x2915E,         {u"Calvo", u"406"}},
    {kVela,           {u"Calvo"}},
    // Terna: desktop line with the full feature set.
    {Duo(kTerna),     {u"Terna", u"Duo"}},
    {0x2191E,         {u"Terna", u"203c"}},
    {0x21156,         {u"Terna", u"202"}},
    {kTerna,          {u"Terna"}},
    // Rasko: the Terna mechanics with a wider head.
    {Duo(kTerna),     {u"Rasko", u"Duo"}},
    {0x2191E,         {u"Rasko", u"403c"}},
    {kTerna,          {u"Rasko"}},
    // Kelvaron (before Kelva), Yorla: compact industrial printers.
    {Duo(kKelvaron),  {u"Kelvaron", u"Duo"}},
    {0x2115E,         {u"Kelvaron", u"403"}},
    {kKelvaron,       {u"Kelvaron"}},
    {Duo(kKelvaron),  {u"Yorla", u"Duo"}},
    {kKelvaron,       {u"Yorla"}},
    // Kelva: 6" print-and-apply engines.
    {0x129556,        {u"Kelva", u"603x"}},
    {0x12155E,        {u"Kelva", u"602x"}},
    {0x121116,        {u"Kelva", u"602"}},
    {0x129116,        {u"Kelva"}},
    // Ossinta (before Ossin): the Kelva engines with a 4" head.
    {0x12155E,        {u"Ossinta", u"402x"}},
    {0x129556,        {u"Ossinta"}},
    {0x121116,        {u"Ossin", u"402"}},
    {0x129116,        {u"Ossin"}},
    // Talvor: 8" wide-web printers.
    {0x30115E,        {u"Talvor", u"806x"}},
    {0x301136,        {u"Talvor", u"806"}},
    {0x3010B6,        {u"Talvor", u"803e"}},
    {0x301116,        {u"Talvor"}},
    // Zefra: textile and tag printers.
    {0x1A9106,        {u"Zefra", u"406"}},
    {0x1A110E,        {u"Zefra"}},
    // Hesta: tube and sleeve printer; Jorvo: jewellery-tag printer.
    {0x42110E,        {u"Hesta"}},
    {0x200A110E,      {u"Jorvo"}},
    // Dorsa, Nessa, Morva, Arvel, Fiora: quality desktop printers without
    // Unicode firmware.
    {0x115F,          {u"Dorsa", u"403"}},
    {0x1156,          {u"Dorsa", u"402e"}},
    {0x115E,          {u"Dorsa"}},
    {0x115F,          {u"Nessa", u"203"}, {}, {u"203e"}},
    {0x1156,          {u"Nessa"}},
    {0x115F,          {u"Morva", u"403"}},
    {0x115E,          {}, {u"Morva", u"Arvel", u"Fiora"}},
    // Print modules for labelling machines: no graphics printing.
    {0x4001,          {u"Lumetra"}},
    {0x1405E,         {u"Modrix", u"104x"}},
    {0x14026,         {u"Modrix", u"104"}},
    {0x14020,         {u"Modrix"}},
    {0x14026,         {u"Istor", u"104"}},
    {0x14020,         {u"Istor"}},
    {0x10026,         {}, {u"Orvik", u"Brevin"}},
    // Sundo, Pellor, Galdo, Varnik: older desktop printers, text only.
    {0x15E,           {u"Sundo", u"203"}, {}, {u"203e"}},
    {0x156,           {u"Sundo"}},
    {0x136,           {u"Pellor", u"202x"}},
    {0x116,           {u"Pellor"}},
    {0x116,           {u"Galdo"}},
    {0x156,           {u"Varnik"}},
    // Quirla, Wenta: the two laser-marking units driven like printers.
    {0x40001401,      {u"Quirla"}},
    {0x40021401,      {u"Wenta"}},
    // Last: the dummy model of test installations, when no family claims it.
    {DOC_FEATURE_DUMMY_MODEL, {u"Dummy"}},
};

constexpr ModelRule kDeviceOptionRules[] = {
    {327942,  {u"Velantra", u"806"}},
    {66737,   {}, {u"Velantra", u"Lirrasto"}},
    {66736,   {u"Vela", u"406x"}},
    {66576,   {u"Vela", u"406"}},
    {66574,   {u"Vela", u"403x"}},
    {66570,   {u"Vela", u"403c"}},
    {66562,   {u"Vela"}},
    {66570,   {u"Lirra", u"403c"}},
    {66562,   {}, {u"Lirra", u"Calvo"}},
    {65550,   {u"Terna", u"203c"}},
    {65538,   {u"Terna", u"202"}},
    {65542,   {u"Terna"}},
    {65550,   {u"Rasko", u"403c"}},
    {65542,   {u"Rasko"}},
    {65798,   {u"Kelvaron"}},
    {65538,   {u"Yorla"}},
    {65794,   {u"Kelva", u"602x"}},
    {1038,    {u"Kelva"}},
    {65794,   {u"Ossinta"}},
    {1038,    {u"Ossin"}},
    {262,     {u"Talvor", u"806x"}},
    {259,     {u"Talvor", u"806"}},
    {258,     {u"Talvor"}},
    {14,      {u"Zefra", u"406"}},
    {6,       {u"Zefra"}},
    {6,       {u"Hesta"}},
    {14,      {u"Jorvo"}},
    {1035,    {u"Dorsa", u"403"}},
    {1041,    {u"Dorsa"}},
    {1035,    {u"Morva"}},
    {1041,    {}, {u"Nessa", u"Arvel", u"Fiora"}},
    {177,     {u"Lumetra", u"104"}},
    {144,     {u"Lumetra"}},
    {98448,   {u"Modrix", u"104x"}},
    {163840,  {u"Modrix"}},
    {144,     {u"Istor"}},
    {32768,   {}, {u"Orvik", u"Brevin"}},
    {17,      {}, {u"Sundo", u"Quirla"}},
    {33,      {}, {u"Pellor", u"Wenta"}},
};
// clang-format on

// The model name to look at: the caller's (cut to kModelNameChars), else the
// printer's "DriverName" data. Empty when neither gives one.
void GetModelName(HANDLE hPrinter, const char16_t* pszName, const char16_t* pszCaller,
                  char16_t (&szName)[kModelNameChars + 1])
{
    szName[0] = u'\0';
    if (pszName && *pszName) {
        // At most kModelNameChars characters are taken: it always fits.
        (void)Copy(szName, std::size(szName),
                   std::u16string_view(pszName, Length(pszName, kModelNameChars)));
        return;
    }
    if (!hPrinter) return;
    // The spooler's answer goes into a fixed 40-byte buffer, as the printer
    // data has always been read; a longer name does not fit and stays empty.
    char16_t szData[kDriverNameBytes / sizeof(char16_t) + 1] = {};
    std::uint32_t dwType = 0;
    std::uint32_t cbNeeded = 0;
    std::uint32_t dwError =
        plat::GetPrinterData(hPrinter, u"DriverName", &dwType, szData, kDriverNameBytes, &cbNeeded);
    if (dwError != ERROR_SUCCESS) {
        Trace(u"UNI(Modelle):  %s() GetPrinterData DriverName dwError: %u cbNeeded: %u \r\n",
              pszCaller, dwError, cbNeeded);
        return;
    }
    szData[std::size(szData) - 1] = u'\0';
    // szData is terminated within the size of szName: it always fits.
    (void)Copy(szName, std::size(szName), szData);
}

}  // namespace

std::span<const ModelRule> DocFeatureRules()
{
    return kDocFeatureRules;
}
std::span<const ModelRule> DeviceOptionRules()
{
    return kDeviceOptionRules;
}

bool ModelNameContains(const char16_t* pszName, const char16_t* pszNeedle)
{
    if (!pszName || !pszNeedle) return false;
    return std::u16string_view(pszName).find(pszNeedle) != std::u16string_view::npos;
}

bool ModelRuleHolds(const ModelRule& rule, const char16_t* pszName)
{
    bool bAny = false;
    for (const char16_t* s : rule.szAlle) {
        if (!s) continue;
        bAny = true;
        if (!ModelNameContains(pszName, s)) return false;
    }
    bool bOrGiven = false;
    bool bOrFound = false;
    for (const char16_t* s : rule.szEines) {
        if (!s) continue;
        bOrGiven = true;
        if (ModelNameContains(pszName, s)) bOrFound = true;
    }
    if (bOrGiven && !bOrFound) return false;
    for (const char16_t* s : rule.szKeines)
        if (s && ModelNameContains(pszName, s)) return false;
    // A rule without any wanted string would hold for every name.
    return bAny || bOrGiven;
}

DWORD MatchModelRules(std::span<const ModelRule> rules, const char16_t* pszName)
{
    if (!pszName || !*pszName) return 0;
    for (const ModelRule& rule : rules)
        if (ModelRuleHolds(rule, pszName)) return rule.dwResult;
    return 0;
}

DWORD GetDocFeaturesIntern(HANDLE hPrinter, const char16_t* pszDriverName)
{
    char16_t szName[kModelNameChars + 1];
    GetModelName(hPrinter, pszDriverName, u"GetDocFeaturesIntern", szName);
    DWORD dwDocFeatures = MatchModelRules(kDocFeatureRules, szName);
    Trace(u"UNI(Modelle):  GetDocFeaturesIntern() szName: %s dwDocFeatures: 0x%X \r\n", szName,
          dwDocFeatures);
    return dwDocFeatures;
}

DWORD GetDeviceOptionsFlagsIntern(OEM_PDEV* /*pdev*/, HANDLE hPrinter, const char16_t* pszDataName)
{
    char16_t szName[kModelNameChars + 1];
    GetModelName(hPrinter, pszDataName, u"GetDeviceOptionsFlagsIntern", szName);
    DWORD dwOptions = MatchModelRules(kDeviceOptionRules, szName);
    Trace(u"UNI(Modelle):  GetDeviceOptionsFlagsIntern() szName: %s dwOptions: %u \r\n", szName,
          dwOptions);
    return dwOptions;
}

}  // namespace kx
