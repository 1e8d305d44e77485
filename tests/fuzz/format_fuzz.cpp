// The formatter with arbitrary format strings: the first byte picks how many
// arguments of which kinds follow, the rest is the format.
#include <cstdint>
#include <string>

#include "core/format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    std::string fmt(reinterpret_cast<const char*>(data + 1), size - 1);
    std::u16string wfmt(fmt.begin(), fmt.end());
    char buf[64];
    char16_t wbuf[64];
    switch (data[0] % 4) {
        case 0:
            kx::Format(buf, fmt.c_str());
            break;
        case 1:
            kx::Format(buf, fmt.c_str(), -7, 3u, "text", 2.5, 'c');
            break;
        case 2:
            kx::Format(wbuf, wfmt.c_str(), u"wide", 1ull << 40, nullptr);
            break;
        default:
            kx::FormatString(fmt.c_str(), {1, "a", u"b", 0.1});
            break;
    }
    return 0;
}
