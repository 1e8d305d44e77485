#include <cmath>
#include <cstdio>

#include "viewer/label.h"

namespace kxview {

Canvas::Canvas(int w, int h)
    : width(w), height(h), dots(std::size_t(w > 0 ? w : 0) * std::size_t(h > 0 ? h : 0), 0)
{}

void Canvas::Set(int x, int y, bool black)
{
    if (Inside(x, y)) dots[std::size_t(y) * width + x] = black ? 1 : 0;
}

void Canvas::Flip(int x, int y)
{
    if (Inside(x, y)) dots[std::size_t(y) * width + x] ^= 1;
}

void Canvas::Outline(int x, int y, int w, int h)
{
    for (int i = 0; i < w; ++i) {
        Set(x + i, y);
        Set(x + i, y + h - 1);
    }
    for (int j = 0; j < h; ++j) {
        Set(x, y + j);
        Set(x + w - 1, y + j);
    }
}

int Geometry::Dots(long hundredths) const
{
    return static_cast<int>(std::lround(double(hundredths) * dpi / 2540.0));
}

void Report::Add(std::size_t offset, const std::string& what)
{
    char at[24];
    std::snprintf(at, sizeof at, "0x%04zX ", offset);
    lines.push_back(at + what);
}

}  // namespace kxview
