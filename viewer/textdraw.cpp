// Text fields in stand-in faces (DejaVu, fonts-dejavu-core) drawn with
// FreeType, and the small notes written into what cannot be drawn. The table
// of printer fonts and vector fonts is in docs/kxview-fields.md.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <map>
#include <memory>

#include "viewer/fielddesc.h"

namespace kxview {
namespace {

// DejaVu's capital letters are 0.73 of the em; the printer's sizes are taken
// as the height of a capital letter.
constexpr double kCapPerEm = 0.73;
// Largest em drawn, in dots (about 34 cm at 300 dpi); larger sizes are capped.
constexpr int kMaxEm = 4000;

struct Face {
    const char* file;
    long capHundredths;  // printer fonts: the capital height at zoom 1; vector fonts: 0
};

// Printer-resident fonts by font id: fixed sizes, growing with the id as the
// printer's own fonts do. Any other id is drawn like font 23 and reported.
const std::map<int, Face>& PrinterFonts()
{
    static const std::map<int, Face> table = {
        {1, {"DejaVuSansMono.ttf", 150}},       {2, {"DejaVuSansMono.ttf", 220}},
        {3, {"DejaVuSansMono-Bold.ttf", 300}},  {4, {"DejaVuSansMono-Bold.ttf", 400}},
        {5, {"DejaVuSansMono-Bold.ttf", 600}},  {7, {"DejaVuSansMono.ttf", 250}},
        {21, {"DejaVuSans.ttf", 180}},          {22, {"DejaVuSans.ttf", 250}},
        {23, {"DejaVuSans-Bold.ttf", 330}},     {24, {"DejaVuSans-Bold.ttf", 450}},
        {28, {"DejaVuSansCondensed.ttf", 250}}, {29, {"DejaVuSansCondensed-Bold.ttf", 400}},
    };
    return table;
}

// Vector fonts by font id (odd upright, even italic); user fonts reach the
// printer with one of these ids too. Any other id is drawn like 3, reported.
const std::map<int, Face>& VectorFonts()
{
    static const std::map<int, Face> table = {
        {1, {"DejaVuSans-Bold.ttf", 0}},
        {2, {"DejaVuSans-BoldOblique.ttf", 0}},
        {3, {"DejaVuSans.ttf", 0}},
        {4, {"DejaVuSans-Oblique.ttf", 0}},
        {5, {"DejaVuSans-ExtraLight.ttf", 0}},
        {6, {"DejaVuSans-ExtraLight.ttf", 0}},
        {7, {"DejaVuSerif.ttf", 0}},
        {8, {"DejaVuSerif-Italic.ttf", 0}},
        {9, {"DejaVuSerif-Italic.ttf", 0}},
        {10, {"DejaVuSerif-BoldItalic.ttf", 0}},
        {11, {"DejaVuSansMono.ttf", 0}},
        {12, {"DejaVuSansMono-Oblique.ttf", 0}},
        {13, {"DejaVuSansCondensed.ttf", 0}},
        {14, {"DejaVuSansCondensed-Oblique.ttf", 0}},
        {15, {"DejaVuSansMono.ttf", 0}},
        {16, {"DejaVuSansMono-Oblique.ttf", 0}},
        {17, {"DejaVuSansMono.ttf", 0}},
        {18, {"DejaVuSansMono-Oblique.ttf", 0}},
        {19, {"DejaVuSansMono.ttf", 0}},
        {20, {"DejaVuSansMono-Oblique.ttf", 0}},
    };
    return table;
}

// One FreeType library and the faces opened so far, for the program's life.
class Fonts {
public:
    FT_Face Get(const std::string& file, std::string* why)
    {
        if (!lib_ && FT_Init_FreeType(&lib_) != 0) {
            lib_ = nullptr;
            *why = "FreeType cannot start";
            return nullptr;
        }
        auto it = faces_.find(file);
        if (it != faces_.end()) return it->second;
        FT_Face face = nullptr;
        const std::string path = std::string(KX_FONT_DIR) + "/" + file;
        if (FT_New_Face(lib_, path.c_str(), 0, &face) != 0) {
            *why = "face " + path + " cannot be opened";
            face = nullptr;
        }
        faces_[file] = face;
        if (!face && why->empty()) *why = "face " + path + " cannot be opened";
        return face;
    }

private:
    FT_Library lib_ = nullptr;
    std::map<std::string, FT_Face> faces_;
};

Fonts& TheFonts()
{
    static Fonts fonts;
    return fonts;
}

// Windows-1252 for 0x80..0x9F; the other bytes are Latin-1.
const char32_t kCp1252[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                              0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                              0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                              0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

// The bytes as characters: UTF-8 when they are valid UTF-8 (user fonts may be
// sent so), else the ANSI code page.
std::u32string Decode(const std::string& s)
{
    std::u32string out;
    bool utf8 = true;
    for (std::size_t i = 0; i < s.size() && utf8;) {
        const auto c = static_cast<unsigned char>(s[i]);
        const int more = c < 0x80         ? 0
                         : (c >> 5) == 6  ? 1
                         : (c >> 4) == 14 ? 2
                         : (c >> 3) == 30 ? 3
                                          : -1;
        if (more < 0 || (more > 0 && i + std::size_t(more) >= s.size())) {
            utf8 = false;
            break;
        }
        char32_t v = more == 0 ? c : c & (0x3F >> more);
        for (int k = 1; k <= more; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) utf8 = false;
            v = (v << 6) | (d & 0x3F);
        }
        out += v;
        i += std::size_t(more) + 1;
    }
    if (utf8) return out;
    out.clear();
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        out += c >= 0x80 && c < 0xA0 ? kCp1252[c - 0x80] : char32_t(c);
    }
    return out;
}

// The text in one face: em height and width in dots; the anchor is the
// top-left corner of the line (the face's ascender line at the left end).
bool Render(FT_Face face, int emY, int emX, const std::u32string& text, Ink& ink, std::string* why)
{
    emY = std::clamp(emY, 1, kMaxEm);
    emX = std::clamp(emX, 1, kMaxEm);
    if (FT_Set_Pixel_Sizes(face, FT_UInt(emX), FT_UInt(emY)) != 0) {
        *why = "size not available";
        return false;
    }
    const int ascent = int(face->size->metrics.ascender >> 6);
    const int descent = int(-(face->size->metrics.descender >> 6));
    long width = 0;
    for (char32_t c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) width += face->glyph->advance.x >> 6;
    }
    if (width <= 0) width = 1;
    if (width > 20000 || !ink.Resize(int(width), std::max(1, ascent + descent))) {
        *why = "text of " + std::to_string(width) + " dots is larger than a field may be";
        return false;
    }
    ink.ax = ink.ay = 0;
    long pen = 0;
    for (char32_t c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
        const FT_GlyphSlot g = face->glyph;
        const FT_Bitmap& b = g->bitmap;
        for (unsigned row = 0; row < b.rows; ++row) {
            const unsigned char* line = b.buffer + long(row) * b.pitch;
            for (unsigned col = 0; col < b.width; ++col) {
                const bool on = b.pixel_mode == FT_PIXEL_MODE_MONO
                                    ? (line[col >> 3] >> (7 - (col & 7))) & 1
                                    : line[col] >= 128;
                if (on)
                    ink.Set(int(pen + g->bitmap_left + long(col)),
                            ascent - g->bitmap_top + int(row));
            }
        }
        pen += g->advance.x >> 6;
    }
    return true;
}

}  // namespace

bool Ink::Resize(int w, int h)
{
    if (w <= 0 || h <= 0 || long(w) * long(h) > kMaxDots) {
        width = height = 0;
        dots.clear();
        return false;
    }
    width = w;
    height = h;
    dots.assign(std::size_t(w) * std::size_t(h), 0);
    return true;
}

void Ink::Fill(int x, int y, int w, int h, bool v)
{
    for (int j = std::max(0, y); j < std::min(height, y + h); ++j)
        for (int i = std::max(0, x); i < std::min(width, x + w); ++i)
            dots[std::size_t(j) * width + i] = v;
}

bool Blit(const Ink& ink, Canvas& canvas, int x, int y, int rotation, bool white)
{
    bool inside = true;
    for (int v = 0; v < ink.height; ++v) {
        for (int u = 0; u < ink.width; ++u) {
            const bool on = ink.At(u, v);
            if (!on && !ink.opaque) continue;
            const int du = u - ink.ax, dv = v - ink.ay;
            // Quarter turns about the anchor: 1 reads upwards (a quarter turn
            // anticlockwise), 3 downwards.
            int cx = x + du, cy = y + dv;
            if (rotation == 1) {
                cx = x + dv;
                cy = y - du;
            } else if (rotation == 2) {
                cx = x - du;
                cy = y - dv;
            } else if (rotation == 3) {
                cx = x - dv;
                cy = y + du;
            }
            if (on && !canvas.Inside(cx, cy)) inside = false;
            canvas.Set(cx, cy, on != white);
        }
    }
    return inside;
}

bool DrawText(const FieldDescription& f, const Geometry& g, Ink& ink, std::string* why)
{
    const auto& table = f.vector ? VectorFonts() : PrinterFonts();
    auto it = table.find(f.fontId);
    if (it == table.end()) {
        *why = "font id " + std::to_string(f.fontId) + " unknown, drawn in font " +
               (f.vector ? "3" : "23");
        it = table.find(f.vector ? 3 : 23);
    }
    std::string error;
    FT_Face face = TheFonts().Get(it->second.file, &error);
    if (!face) {
        *why = error;
        return false;
    }
    double capY = 0, capX = 0;
    if (f.vector) {
        capY = g.Dots(f.sizeY);
        capX = g.Dots(f.sizeX);
    } else {
        capY = double(g.Dots(it->second.capHundredths)) * double(f.sizeY);
        capX = double(g.Dots(it->second.capHundredths)) * double(f.sizeX);
    }
    if (!Render(face, int(capY / kCapPerEm + 0.5), int(capX / kCapPerEm + 0.5), Decode(f.text), ink,
                &error)) {
        *why = error;
        return false;
    }
    if (f.inverse) {
        for (unsigned char& d : ink.dots) d ^= 1;
        ink.opaque = true;
    }
    return true;
}

bool DrawPlain(const std::string& text, int capDots, Ink& ink, std::string* why)
{
    FT_Face face = TheFonts().Get("DejaVuSans.ttf", why);
    const int em = int(capDots / kCapPerEm + 0.5);
    return face && Render(face, em, em, Decode(text), ink, why);
}

}  // namespace kxview
