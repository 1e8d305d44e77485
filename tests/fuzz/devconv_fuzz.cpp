// Devmode records of every older generation from arbitrary bytes: the
// recognition and the converters, and the writer of the old layouts.
//
// Byte 0 picks the generation whose record size the input fills (the rest
// of the 4620-byte record stays zero, as after a short registry read) and
// whether a valid master unit is planted where that generation is
// recognised, so that the converters are reached and not only refused;
// byte 1 picks the master unit. The rest is the record.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/devmode.h"
#include "settings/devmodeconv.h"
#include "support/testdevice.h"

namespace {

constexpr kx::DevmodeGeneration kGenerations[] = {
    kx::DevmodeGeneration::G233, kx::DevmodeGeneration::G240,   kx::DevmodeGeneration::G241,
    kx::DevmodeGeneration::G242, kx::DevmodeGeneration::G252,   kx::DevmodeGeneration::G260,
    kx::DevmodeGeneration::G262, kx::DevmodeGeneration::Current};
// Where each generation keeps its master unit (the current layout's for
// the 2.6 records and the current one).
constexpr std::size_t kMasterUnitAt[] = {1912, 1896, 1896, 1936, 1936, 1940, 1940, 1940};
constexpr WORD kUnits[] = {203, 300, 305, 600};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    const std::size_t g = data[0] % std::size(kGenerations);
    auto record = std::make_unique<KX_DEVMODE>();
    BYTE* raw = reinterpret_cast<BYTE*>(record.get());
    const std::size_t cb = kx::DevmodeGenerationSize(kGenerations[g]);
    kxtest::Require(cb <= sizeof(KX_DEVMODE));
    std::memcpy(raw, data + 2, std::min(cb, size - 2));
    if (data[0] & 0x80) {
        const WORD mu = kUnits[data[1] % std::size(kUnits)];
        std::memcpy(raw + kMasterUnitAt[g], &mu, sizeof mu);
    }
    kx::RecogniseDevmodeGeneration(*record);
    kx::Devmode_Konverter(record.get());
    // A record that came out current is stored again in every old layout
    // and read back.
    if (kx::RecogniseDevmodeGeneration(*record) == kx::DevmodeGeneration::Current) {
        const auto again = std::make_unique<KX_DEVMODE>(*record);
        for (kx::DevmodeGeneration old : kGenerations) {
            if (old == kx::DevmodeGeneration::Current) continue;
            const std::vector<BYTE> bytes = kx::WriteDevmodeLayout(*again, old);
            kxtest::Require(bytes.size() <= sizeof(KX_DEVMODE));
            auto back = std::make_unique<KX_DEVMODE>();
            std::memcpy(back.get(), bytes.data(), bytes.size());
            kx::Devmode_Konverter(back.get());
        }
    }
    return 0;
}
