// The prefix/suffix file reader over arbitrary file contents: every section
// is read, and what it returns must be lines a record can carry.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "options/prefixsuffix.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    for (DWORD section = 0; section <= 6; ++section) {
        const kx::PrefixSuffixSection r = kx::ParsePrefixSuffix(file, section);
        if (!r.bFound && !r.lines.empty()) std::abort();
        for (const std::string& line : r.lines) {
            // One character at least, at most a line buffer, no line feed,
            // no NUL, and never another section's keyword.
            if (line.empty() || line.size() >= kx::kPrefixSuffixLineChars) std::abort();
            if (line.find('\n') != std::string::npos || line.find('\0') != std::string::npos)
                std::abort();
            for (DWORD other = 1; other <= 5; ++other)
                if (other != section &&
                    line.find(kx::PrefixSuffixKeyword(other)) != std::string::npos)
                    std::abort();
        }
    }
    return 0;
}
