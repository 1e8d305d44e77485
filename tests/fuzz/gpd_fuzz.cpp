// The GPD reader with arbitrary text: the value lookup and the pair readers on
// the text in memory, and the whole model-block reader on the text as a file
// of the simulated drive C.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/sim.h"
#include "settings/gpd.h"
#include "settings/models.h"
#include "support/testdevice.h"

namespace {

constexpr const char16_t* kPath = u"C:\\fuzz\\input.gpd";
// One simulated Windows for the whole run; the input's path on its drive C.
std::string SetUpSimulation()
{
    kxtest::ScratchSimulation("kxfuzz-gpd");
    std::filesystem::path host = kx::plat::sim::MapPath(kPath);
    std::filesystem::create_directories(host.parent_path());
    return host.string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string hostPath = SetUpSimulation();
    std::string text(reinterpret_cast<const char*>(data), size);

    // In memory: the text up to its first NUL, as the reader sees it.
    const char* keywords[] = {
        "*MaxSize", "*OEMCustomData", "*MaxPrintableWidth:", "*DevNumOfPlanes:", "*", ")"};
    char16_t value[16];
    for (const char* keyword : keywords) kx::GetAnyGPDValue(text.c_str(), keyword, value, 16);
    // A keyword from the input itself: its first line.
    std::string keyword = text.substr(0, text.find_first_of("\r\n"));
    kx::GetAnyGPDValue(text.c_str(), keyword.c_str(), value, 1);
    kx::GPD_PAIR pair{};
    kx::GetGPDContentMaxSizePAIR(nullptr, &pair, text.c_str());
    kx::GetGPDContentOEMCustomDataPAIR(nullptr, &pair, text.c_str());

    // As a file.
    std::ofstream(hostPath, std::ios::binary | std::ios::trunc) << text;
    KX_DEVMODE dm;
    std::memset(&dm, 0, sizeof dm);
    DWORD dwFeatures = 0;
    kxtest::Require(kx::GetFixedPrinterSettingsFromGPD(nullptr, &dm, &dwFeatures, kPath) == TRUE);
    kxtest::Require((dwFeatures & ~DOC_FEATURE_QUALITY) == 0);
    if (size == 0) {
        kxtest::Require(dm.FixedData.wMasterUnit == 0);
    } else {
        // Whatever the text, a read file leaves a usable model block.
        kxtest::Require(dm.FixedData.wMasterUnit > 0 && dm.FixedData.dwHeadWidthByte > 0);
        kxtest::Require(dm.FixedData.lMaxSizeX > 0 && dm.FixedData.lMaxSizeY > 0);
        kxtest::Require(dm.FixedData.bQuality <= 1);
    }
    return 0;
}
