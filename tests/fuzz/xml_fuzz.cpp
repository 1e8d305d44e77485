// The XML settings reader with arbitrary files: every reader family on the
// input as the open settings file, and single lookups whose names are taken
// from the input's first line ("root|section|element").
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "core/oempdev.h"
#include "platform/platform.h"
#include "platform/sim.h"
#include "settings/xmlsettings.h"
#include "support/testdevice.h"

namespace {

constexpr const char16_t* kPath = u"C:\\fuzz\\input.xml";

// One simulated Windows for the whole run; the input's path on its drive C.
std::string SetUpSimulation()
{
    kxtest::ScratchSimulation("kxfuzz-xml");
    std::filesystem::path host = kx::plat::sim::MapPath(kPath);
    std::filesystem::create_directories(host.parent_path());
    return host.string();
}

bool Terminated(const WCHAR* s, std::size_t cch)
{
    for (std::size_t i = 0; i < cch; ++i)
        if (s[i] == 0) return true;
    return false;
}

// Up to three names from the first line, separated by "|".
struct Names {
    std::u16string part[3];
    int count = 0;
};

Names NamesFrom(std::string_view text)
{
    Names names;
    std::string_view line = text.substr(0, text.find_first_of("\r\n"));
    while (names.count < 3) {
        std::size_t bar = line.find('|');
        names.part[names.count++] =
            kx::plat::MultiByteToWide(kx::plat::kCpAcp, line.substr(0, bar));
        if (bar == std::string_view::npos) break;
        line.remove_prefix(bar + 1);
    }
    return names;
}

void Lookups(OEM_PDEV* ctx, const Names& names)
{
    if (names.count < 2) return;
    WCHAR value[kx::XML_VALUE_CHARS];
    const char16_t* item2 = names.count == 3 ? names.part[2].c_str() : nullptr;
    for (BOOL rewind : {TRUE, FALSE, FALSE}) {
        value[0] = 0;
        int r =
            kx::ReadXML(ctx, names.part[0].c_str(), names.part[1].c_str(), item2, value, rewind);
        kxtest::Require(r >= kx::XML_FOUND && r <= kx::XML_NO_ELEMENT);
        kxtest::Require(Terminated(value, kx::XML_VALUE_CHARS));
        kx::XmlToInt(value);
    }
    int r = kx::ReadXML(ctx, names.part[0].c_str(), names.part[1].c_str(), nullptr, value, TRUE);
    kxtest::Require(r >= kx::XML_FOUND && r <= kx::XML_NO_ELEMENT);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string hostPath = SetUpSimulation();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    OEM_PDEV pdev{};  // no job: only the file opened here is read
    kxtest::Require(kx::OpenXML(kPath) == kx::XML_FOUND);
    Lookups(&pdev, NamesFrom(text));

    DWORD features[MAX_FEATURES];
    ULONG cb = 0;
    kx::GetFeaturesFromXML(&pdev, &cb, features);
    kxtest::Require(cb == FEATURE_LIST_SIZE);
    kxtest::Require(features[FEATURE_RESERVED_7] == 0 && features[FEATURE_RESERVED_11] == 0);

    PRN_INTERFACE pi{};
    kx::GetDataTransmissionParamFromXML(&pdev, &pi);
    for (const WCHAR* path :
         {pi.wcLogFilePath, pi.wcPreSufFilePath, pi.wcExternalFilePath, pi.wcBackupFilePath})
        kxtest::Require(Terminated(path, PRN_PATH_CHARS));
    SHIFT_OPTIM_PARAM shift{};
    kx::GetShiftoptimFromXML(&pdev, &shift);
    PHOTOCELL_PARAM cell{};
    kx::GetPhotocellFromXML(&pdev, &cell);

    KX_DEVMODE dm{};
    kx::GetFixedPrinterSettingsFromXML(&pdev, &dm);
    kxtest::Require(dm.FixedData.wMasterUnit != 0);
    kx::GetLayoutSizeFromXML(&pdev, &dm);
    kx::GetPrintParameterFromXML(&pdev, &dm);
    kx::GetMaterialMulticolFromXML(&pdev, &dm);
    kx::GetPrintjobFromXML(&pdev, &dm);
    kx::GetColorPrintFromXML(&pdev, &dm);
    kx::GetPrintQualitySettingsFromXML(&pdev, &dm);
    kx::GetFontSettingsFromXML(&pdev, &dm);
    kxtest::Require(dm.szIdentSign[1] == 0 && dm.szIdentSign[0] != 0);
    kxtest::Require(Terminated(dm.szPrintOrder, 32) && Terminated(dm.szLinkString, 101));
    for (int i = 0; i < 8; ++i)
        kxtest::Require(Terminated(dm.szWindowsFontName[i], 33) &&
                        Terminated(dm.szInstalledName2[i], 33));

    kxtest::Require(kx::CloseXML() == 1);
    // With nothing open and no job there is no settings file to read.
    WCHAR value[kx::XML_VALUE_CHARS];
    kxtest::Require(kx::ReadXML(&pdev, u"Printer", u"MasterUnit", nullptr, value, TRUE) ==
                    kx::XML_NO_FILE);
    return 0;
}
