// The PNG reader with arbitrary files: it either gives an image of the size
// its header states or throws ImageError, and never anything else.
#include <cstdint>
#include <vector>

#include "host/png.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> bytes(data, data + size);
    try {
        kxhost::Image img = kxhost::DecodePng(bytes);
        if (img.rgb.size() != static_cast<std::size_t>(img.width) * img.height * 3)
            __builtin_trap();
    } catch (const kxhost::ImageError&) {
    }
    return 0;
}
