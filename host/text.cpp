#include "host/text.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "host/gdi.h"
#include "host/image.h"
#include "host/jsonnode.h"

namespace kxhost {

namespace {

// STROBJ accelerator flags and IFIMETRICS constants of the engine.
constexpr FLONG SO_FLAG_DEFAULT_PLACEMENT = 0x1;
constexpr FLONG SO_HORIZONTAL = kAccelHorizontal;
constexpr FLONG SO_VERTICAL = kAccelVertical;
constexpr FLONG SO_REVERSED = kAccelReversed;
constexpr ULONG FM_INFO_TECH_TRUETYPE = 0x4;
constexpr ULONG FM_INFO_TECH_OUTLINE_NOT_TRUETYPE = 0x40000;
constexpr USHORT FM_SEL_REGULAR = 0x0040;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0;
constexpr BYTE DC_TRIVIAL = 0;
constexpr MIX kMixCopyPen = 0x0D0D;  // R2_COPYPEN fore and back

FWORD Fw(std::int32_t v)
{
    return static_cast<FWORD>(std::clamp(v, -32768, 32767));
}

RECTL Rect(const std::array<std::int32_t, 4>& r, POINTL origin)
{
    return {r[0] - origin.x, r[1] - origin.y, r[2] - origin.x, r[3] - origin.y};
}

}  // namespace

ULONG SolidColour(Colour colour, int surfaceBits)
{
    const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(colour & 0xFF),
                                 static_cast<std::uint8_t>((colour >> 8) & 0xFF),
                                 static_cast<std::uint8_t>((colour >> 16) & 0xFF)};
    if (surfaceBits == 1) return Grey(rgb) < 128 ? 0 : 1;
    if (surfaceBits == 8) return static_cast<ULONG>(Grey(rgb));
    return (ULONG{rgb[0]} << 16) | (ULONG{rgb[1]} << 8) | rgb[2];
}

TextCall::TextCall(const TextItem& item, Surface& surface, ULONG uniq, POINTL origin)
    : surface_(surface), text_(item.text)
{
    const std::int32_t x0 = item.x - origin.x, y0 = item.y - origin.y;
    const std::int32_t height = item.height;
    const std::int32_t width = item.width ? item.width : std::max(1, height / 2);
    const std::int32_t advance = item.advance ? *item.advance : width;
    const std::int32_t ascent = (height * 4 + 2) / 5;
    const std::int32_t descent = height - ascent;

    // Glyph origins on the baseline, along the direction of writing.
    glyphs_.resize(text_.size());
    for (std::size_t i = 0; i < text_.size(); ++i) {
        GLYPHPOS& g = glyphs_[i];
        g.hg = text_[i];
        g.pgdf = nullptr;
        if (!item.positions.empty()) {
            g.ptl = {item.positions[i].first - origin.x, item.positions[i].second - origin.y};
            continue;
        }
        auto step = static_cast<std::int32_t>(i) * advance;
        switch (item.direction) {
            case 90:
                g.ptl = {x0, y0 - step};
                break;
            case 180:
                g.ptl = {x0 - step, y0};
                break;
            case 270:
                g.ptl = {x0, y0 + step};
                break;
            default:
                g.ptl = {x0 + step, y0};
                break;
        }
    }

    // The background box: the union of the glyph cells.
    RECTL box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    std::int32_t a = std::abs(advance);
    for (const GLYPHPOS& g : glyphs_) {
        LONG x = g.ptl.x, y = g.ptl.y;
        RECTL cell;
        switch (item.direction) {
            case 90:
                cell = {x - ascent, y - a, x + descent, y};
                break;
            case 180:
                cell = {x - a, y - descent, x, y + ascent};
                break;
            case 270:
                cell = {x - descent, y, x + ascent, y + a};
                break;
            default:
                cell = {x, y - ascent, x + a, y + descent};
                break;
        }
        box.left = std::min(box.left, cell.left);
        box.top = std::min(box.top, cell.top);
        box.right = std::max(box.right, cell.right);
        box.bottom = std::max(box.bottom, cell.bottom);
    }

    string_.cGlyphs = static_cast<ULONG>(glyphs_.size());
    if (item.accel) {
        string_.flAccel = *item.accel;
    } else {
        string_.flAccel =
            (item.direction == 0 || item.direction == 180) ? SO_HORIZONTAL : SO_VERTICAL;
        if (item.direction == 180 || item.direction == 90) string_.flAccel |= SO_REVERSED;
    }
    if (item.positions.empty()) string_.flAccel |= SO_FLAG_DEFAULT_PLACEMENT;
    string_.ulCharInc = item.advance && item.positions.empty() ? static_cast<ULONG>(a) : 0;
    string_.rclBkGround = item.background ? Rect(*item.background, origin) : box;
    // With a batch size the positions are only available by enumeration.
    string_.pgp = item.enumBatch ? nullptr : glyphs_.data();
    string_.pwszOrg = text_.data();
    GdiHost::Get().AddString(&string_, glyphs_.data(), string_.cGlyphs, item.enumBatch);

    // The font and its metrics, with the names behind the record.
    std::u16string face = item.face;
    if (face.empty()) face = u"Device Font " + Utf16(std::to_string(item.deviceFont));
    std::u16string style = item.weight >= 600 ? u"Bold" : u"Regular";
    std::u16string unique = face + u" " + style;
    std::vector<std::u16string> names = {face, style, face, unique};
    std::size_t bytes = sizeof(IFIMETRICS);
    std::size_t offsets[4];
    for (int i = 0; i < 4; ++i) {
        offsets[i] = bytes;
        bytes += (names[i].size() + 1) * sizeof(char16_t);
    }
    ifi_.assign((bytes + 7) / 8, 0);
    auto* base = reinterpret_cast<BYTE*>(ifi_.data());
    for (int i = 0; i < 4; ++i)
        std::memcpy(base + offsets[i], names[i].c_str(), (names[i].size() + 1) * sizeof(char16_t));
    IFIMETRICS ifi{};
    ifi.cjThis = static_cast<ULONG>(bytes);
    ifi.dpwszFamilyName = static_cast<PTRDIFF>(offsets[0]);
    ifi.dpwszStyleName = static_cast<PTRDIFF>(offsets[1]);
    ifi.dpwszFaceName = static_cast<PTRDIFF>(offsets[2]);
    ifi.dpwszUniqueName = static_cast<PTRDIFF>(offsets[3]);
    ifi.jWinCharSet = 0;  // ANSI
    ifi.jWinPitchAndFamily = (item.advance ? FIXED_PITCH : VARIABLE_PITCH) | FF_DONTCARE;
    ifi.usWinWeight = static_cast<USHORT>(item.weight);
    ifi.flInfo = item.deviceFont ? FM_INFO_TECH_OUTLINE_NOT_TRUETYPE : FM_INFO_TECH_TRUETYPE;
    ifi.fsSelection = item.weight >= 600 ? FM_SEL_BOLD : FM_SEL_REGULAR;
    ifi.fwdUnitsPerEm = Fw(height);
    ifi.fwdLowestPPEm = 1;
    ifi.fwdWinAscender = ifi.fwdMacAscender = ifi.fwdTypoAscender = Fw(ascent);
    ifi.fwdWinDescender = Fw(descent);
    ifi.fwdMacDescender = ifi.fwdTypoDescender = Fw(-descent);
    ifi.fwdAveCharWidth = Fw(width);
    ifi.fwdMaxCharInc = Fw(std::max(width, a));
    ifi.fwdCapHeight = Fw(ascent * 7 / 10);
    ifi.fwdXHeight = Fw(ascent / 2);
    ifi.fwdUnderscoreSize = Fw(std::max(1, height / 20));
    ifi.fwdUnderscorePosition = Fw(-descent / 2);
    ifi.fwdStrikeoutSize = ifi.fwdUnderscoreSize;
    ifi.fwdStrikeoutPosition = Fw(ascent / 3);
    ifi.chFirstChar = 0x20;
    ifi.chLastChar = 0xFF;
    ifi.chDefaultChar = '.';
    ifi.chBreakChar = ' ';
    ifi.wcFirstChar = 0x20;
    ifi.wcLastChar = 0xFFFD;
    ifi.wcDefaultChar = u'.';
    ifi.wcBreakChar = u' ';
    ifi.ptlBaseline = {1, 0};
    ifi.ptlAspect = {1, 1};
    ifi.ptlCaret = {0, 1};
    ifi.rclFontBox = {0, ascent, width, -descent};
    std::memcpy(base, &ifi, sizeof(ifi));

    font_.iUniq = uniq;
    font_.iFace = item.deviceFont;
    font_.cxMax = static_cast<ULONG>(std::max(width, a));
    font_.flFontType = item.deviceFont ? FO_TYPE_DEVICE : FO_TYPE_TRUETYPE;
    if (item.bold) font_.flFontType |= FO_SIM_BOLD;
    if (item.italic) font_.flFontType |= FO_SIM_ITALIC;
    font_.iTTUniq = item.deviceFont ? 0 : uniq;
    font_.sizLogResPpi = {surface.dpi, surface.dpi};
    font_.ulStyleSize = static_cast<ULONG>((height * 72 + surface.dpi / 2) / surface.dpi);
    GdiHost::Get().AddFont(&font_, reinterpret_cast<IFIMETRICS*>(base));

    clip_.iUniq = 0;
    clip_.rclBounds = {surface.page.left - origin.x, surface.page.top - origin.y,
                       surface.page.right - origin.x, surface.page.bottom - origin.y};
    clip_.iDComplexity = DC_TRIVIAL;
    fore_.iSolidColor =
        item.solidColour ? *item.solidColour : SolidColour(item.colour, surface.bits);
    back_.iSolidColor = SolidColour(0x00FFFFFF, surface.bits);
    if (item.opaque) {
        hasOpaque_ = true;
        opaque_ = Rect(*item.opaque, origin);
    }
}

TextCall::~TextCall()
{
    GdiHost::Get().RemoveString(&string_);
    GdiHost::Get().RemoveFont(&font_);
}

BOOL TextCall::Draw(PFN_DrvTextOut hook)
{
    return hook(&surface_.so, &string_, &font_, &clip_, nullptr, hasOpaque_ ? &opaque_ : nullptr,
                &fore_, &back_, &brushOrigin_, kMixCopyPen);
}

}  // namespace kxhost
