// Barcode data as the printer takes it: the control-character mnemonics put
// in as characters, the chain field built around the link placeholder, and
// the bytes of a glyph run.
#include <algorithm>
#include <string>
#include <string_view>

#include "core/trace.h"
#include "objects/barcodefont.h"
#include "objects/varfields.h"
#include "platform/platform.h"

namespace kx {

namespace {

// The barcode buffer's size: texts and results hold at most one byte less,
// the zero that ends them in the buffer.
constexpr std::size_t kBarcodeBufferBytes = 4000;
constexpr int kMaxRounds = 100;
// A name part "[=NA:name]" after the link placeholder is at most this long.
constexpr std::size_t kNamePartChars = 24;

std::u16string_view Bounded(const WCHAR* s, std::size_t cch)
{
    return {s, static_cast<std::size_t>(std::find(s, s + cch, u'\0') - s)};
}

// The mnemonics in the order they are looked for, each with what it becomes.
struct Mnemonic {
    std::string_view text;
    std::string_view replacement;
};
constexpr Mnemonic kMnemonics[] = {
    {">SOH", "\x01"}, {">STX", "\x02"}, {">ETX", "\x03"}, {">EOT", "\x04"}, {">ENQ", "\x05"},
    {">ACK", "\x06"}, {">BEL", "\x07"}, {">+BS", "\x08"}, {">+HT", "\x09"}, {">+LF", "\x0a"},
    {">+VT", "\x0b"}, {">+FF", "\x0c"}, {">+CR", "\x0d"}, {">+SO", "\x0e"}, {">+SI", "\x0f"},
    {">DLE", "\x10"}, {">DC1", "\x11"}, {">DC2", "\x12"}, {">DC3", "\x13"}, {">DC4", "\x14"},
    {">NAK", "\x15"}, {">SYN", "\x16"}, {">ETB", "\x17"}, {">CAN", "\x18"}, {">+EM", "\x19"},
    {">SUB", "\x1a"}, {">ESC", "\x1b"}, {">+FS", "\x1c"}, {">+GS", "\x1d"}, {">~GS", "~1"},
    {">+RS", "\x1e"}, {">+US", "\x1f"}, {">DEL", "\x7f"}, {">NBS", "\xa0"}, {">+SP", " "},
};

}  // namespace

std::string BarcodeSonderzeichenErsetzen(std::string_view text)
{
    std::string r(text.substr(0, kBarcodeBufferBytes - 1));
    // Each round replaces one mnemonic: the first occurrence of the first
    // one of the table that the text holds. Every replacement is shorter
    // than its mnemonic, so the result stays within the buffer.
    for (int round = 0; round < kMaxRounds; ++round) {
        const Mnemonic* found = nullptr;
        std::size_t at = std::string::npos;
        for (const Mnemonic& m : kMnemonics) {
            at = r.find(m.text);
            if (at != std::string::npos) {
                found = &m;
                break;
            }
        }
        if (!found) break;
        r.replace(at, found->text.size(), found->replacement);
    }
    return r;
}

std::string LinkPlaceholder(const KX_DEVMODE& dm)
{
    const WCHAR sign = PlaceholderSign(dm);
    // Appended piece by piece: "<" + string trips GCC's restrict check at
    // -O3 on MinGW (a false alarm).
    std::string r("<");
    r += plat::WideToMultiByte(plat::kCpAcp, std::u16string_view(&sign, 1));
    r += "link>";
    return r;
}

std::string Kettenfeld_new(std::string_view text, const KX_DEVMODE& dm, std::string_view link)
{
    std::string r =
        plat::WideToMultiByte(plat::kCpAcp, Bounded(dm.szLinkString, std::size(dm.szLinkString)));
    const std::size_t at = text.size() > link.size() ? text.find(link) : std::string_view::npos;
    if (text.size() <= link.size()) {
        Trace(u"UNI(BarcodeTextOut):  Kettenfeld_new() Text = Link \r\n");
    } else if (at != std::string_view::npos) {
        const std::string_view before = text.substr(0, at);
        std::string after(text.substr(at + link.size()));
        if (!before.empty()) {
            // The text before the link becomes the function's first
            // argument. A template without "(" is taken whole (find gives
            // npos, and npos + 1 is 0).
            r = "=SC(\"" + std::string(before) + "\";" + r.substr(r.find('(') + 1);
        }
        if (!after.empty()) {
            // A name part "[=NA:...]" (through its "]", at most 24
            // characters) goes behind the closing bracket, where the field
            // record looks for it.
            std::string name;
            if (const auto n = after.find("[=NA:"); n != std::string::npos) {
                const auto close = after.find(']', n);
                const std::size_t len = std::min(
                    close == std::string::npos ? after.size() - n : close - n + 1, kNamePartChars);
                name = after.substr(n, len);
                after.erase(n, len);
            }
            r = r.substr(0, r.find(')'));
            if (!after.empty()) r += ";\"" + after + "\"";
            r += ")" + name;
        }
    }
    if (r.size() > kBarcodeBufferBytes - 1) r.resize(kBarcodeBufferBytes - 1);
    return r;
}

std::string ConvertWideToSmall(std::u16string_view text)
{
    std::string r(text.size(), '\0');
    std::transform(text.begin(), text.end(), r.begin(),
                   [](char16_t c) { return static_cast<char>(c & 0xff); });
    return r;
}

}  // namespace kx
