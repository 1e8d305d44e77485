// Code-page tables of this system's own, shared by both platform backends and
// by the core's formatter.
//
// The simulated backend converts every code page with these functions. The
// Win32 backend leaves the ANSI, OEM and UTF-8 conversions to Windows and uses
// them only for the symbol code page, so that both builds agree there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kx::plat {

// Windows-1252. The five bytes that 1252 leaves unassigned (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 control of the same number, as Windows does, so
// every byte survives a round trip.
char16_t Cp1252ToUnicode(unsigned char c);
// The 1252 byte of c, or -1 when 1252 has no such character.
int UnicodeToCp1252(char16_t c);

// Whether DecodeCodePage / EncodeCodePage know a concrete code page: 42
// (symbol), 437, 850, 1252 and 65001 (UTF-8). CP_ACP and CP_OEMCP are not
// resolved here.
bool KnownCodePage(std::uint32_t codePage);

// Text of a known code page as UTF-16. Invalid UTF-8 becomes U+FFFD (one per
// maximal invalid subsequence).
//
// The symbol code page follows Windows: bytes below 0x20 stay control
// characters, every other byte b becomes U+F000 + b (the private-use range
// that symbol fonts are mapped to).
std::u16string DecodeCodePage(std::uint32_t codePage, std::string_view text);

// UTF-16 as text of a known code page. What the code page cannot express
// becomes "?" and sets *usedDefault (when given); a lone surrogate becomes
// U+FFFD in UTF-8, which does not count as a default.
//
// The symbol code page takes U+F020..U+F0FF back to their low byte and, as
// Windows does for symbol fonts, also accepts U+0020..U+00FF as the byte of
// the same number; controls below 0x20 stay as they are.
std::string EncodeCodePage(std::uint32_t codePage, std::u16string_view text,
                           bool* usedDefault = nullptr);

}  // namespace kx::plat
