#include "host/models.h"

#include <cstdio>
#include <span>
#include <string>

#include "settings/models.h"

namespace kxhost {

namespace {

struct BitName {
    DWORD bit;
    const char* name;
};

// The bits that code tests, under the names the code gives them; a set bit
// without a name here is printed in hex (it is carried along unread).
constexpr BitName kDocBits[] = {
    {DOC_FEATURE_NO_LABEL_TYPE, "NO_LABEL_TYPE"},
    {DOC_FEATURE_ROTATE, "ROTATE"},
    {DOC_FEATURE_MIRROR, "MIRROR"},
    {DOC_FEATURE_MATERIAL, "MATERIAL"},
    {DOC_FEATURE_COLUMNS, "COLUMNS"},
    {DOC_FEATURE_ALIGN_CENTRE, "ALIGN_CENTRE"},
    {DOC_FEATURE_ALIGNMENT, "ALIGNMENT"},
    {DOC_FEATURE_ROTATE_STEPS, "ROTATE_STEPS"},
    {DOC_FEATURE_COLORPRINT, "COLORPRINT"},
    {DOC_FEATURE_QUALITY, "QUALITY"},
    {DOC_FEATURE_NO_RIBBON_CONTROL, "NO_RIBBON_CONTROL"},
    {DOC_FEATURE_UTF8, "UTF8"},
    {DOC_FEATURE_SPLIT_FILE, "SPLIT_FILE"},
    {DOC_FEATURE_NO_LABEL_TYPE_2, "NO_LABEL_TYPE_2"},
};

constexpr BitName kOptionBits[] = {
    {DEVOPTFLAG_PRINTER_OPTIONS, "PRINTER_OPTIONS"},
    {DEVOPTFLAG_RIBBON_SAVE, "RIBBON_SAVE"},
    {DEVOPTFLAG_CUTTER_DISPENSER, "CUTTER_DISPENSER"},
};

std::string Hex(DWORD value)
{
    char buf[16];
    std::snprintf(buf, sizeof(buf), "0x%X", static_cast<unsigned>(value));
    return buf;
}

std::string Narrow(const char16_t* s)
{
    std::string out;
    for (; *s; ++s) out += static_cast<char>(*s);  // the model words are ASCII
    return out;
}

// "Vela + 406x", "any of Morva, Arvel", "not 203e", joined by "; ".
std::string Words(const kx::ModelRule& rule)
{
    auto join = [](std::span<const char16_t* const> words, const char* sep) {
        std::string out;
        for (const char16_t* w : words)
            if (w) out += (out.empty() ? "" : sep) + Narrow(w);
        return out;
    };
    std::string out = join(rule.szAlle, " + ");
    std::string any = join(rule.szEines, ", ");
    std::string none = join(rule.szKeines, ", ");
    if (!any.empty()) out += (out.empty() ? "" : "; ") + std::string("any of ") + any;
    if (!none.empty()) out += "; not " + none;
    return out;
}

std::string Bits(DWORD value, std::span<const BitName> names, DWORD printModuleFrom)
{
    std::string out;
    auto add = [&](const std::string& s) { out += (out.empty() ? "" : ", ") + s; };
    DWORD rest = value;
    for (const BitName& b : names) {
        if (!(value & b.bit)) continue;
        add(b.name);
        rest &= ~b.bit;
    }
    if (rest) add("other " + Hex(rest));
    // The device option flags also act by size: from DEVOPTFLAG_PRINT_MODULE
    // (128) up the job follows the print-module rules for speed and device
    // parameters.
    if (printModuleFrom && value >= printModuleFrom) add("print-module rules (>= 128)");
    return out;
}

void Table(std::string& out, std::span<const kx::ModelRule> rules, std::span<const BitName> names,
           DWORD printModuleFrom, bool decimal)
{
    out += decimal ? "| # | Model name holds | Value | Hex | Bits |\n|---|---|---|---|---|\n"
                   : "| # | Model name holds | Value | Bits |\n|---|---|---|---|\n";
    int n = 0;
    for (const kx::ModelRule& rule : rules) {
        out += "| " + std::to_string(++n) + " | " + Words(rule) + " | ";
        if (decimal) out += std::to_string(rule.dwResult) + " | ";
        out += Hex(rule.dwResult) + " | " + Bits(rule.dwResult, names, printModuleFrom) + " |\n";
    }
}

}  // namespace

std::string ModelCatalogue()
{
    std::string out = "### Document features (dwDocFeatures)\n\n";
    Table(out, kx::DocFeatureRules(), kDocBits, 0, false);
    out += "\nNo rule holds: 0.\n\n### Device option flags (dwDeviceOptionFlags)\n\n";
    Table(out, kx::DeviceOptionRules(), kOptionBits, DEVOPTFLAG_PRINT_MODULE, true);
    out += "\nNo rule holds: 0.\n";
    return out;
}

}  // namespace kxhost
