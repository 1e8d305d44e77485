// Placeholder expansion with arbitrary text and settings: three bytes pick
// the serial-number style, the copy count and the modified copy count; the
// rest, cut at each "|", is the text, then the time, date, numerator and
// extended numerator strings, the stored start values and the sign.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "objects/varfields.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) return 0;
    std::vector<std::string> parts(1);
    for (std::size_t i = 3; i < size; ++i) {
        if (data[i] == '|')
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    parts.resize(std::max<std::size_t>(parts.size(), 9));
    kx::PlaceholderInputs in;
    in.wSpecNumStyle = data[0] % 4;
    in.dwCopies = data[1];
    in.dwNumCopiesMod = data[2];
    in.time = parts[1];
    in.date = parts[2];
    in.num = parts[3];
    in.ext = parts[4];
    in.sign = parts[8].empty() ? std::string("\xA7") : parts[8].substr(0, 1);
    // Settings strings that hold a placeholder themselves.
    std::string self = "<";
    self.append(in.sign).append("user>");
    in.user = in.aux1 = in.link = self;
    in.printerName = std::string(1, 'P');
    kx::PlaceholderResult r;
    r.num.bStored = !parts[5].empty();
    r.num.value = parts[5];
    r.ext.bStored = !parts[6].empty();
    r.ext.value = parts[6];
    std::string text = parts[0];
    kx::ExpandPlaceholders(text, in, r);
    return 0;
}
