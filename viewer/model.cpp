#include <algorithm>
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

std::vector<FieldRecords> GroupFields(const std::vector<Record>& records)
{
    std::vector<FieldRecords> fields;
    for (const Record& r : records) {
        if (r.kind != RecordKind::Field) continue;
        // Extended protocol: AM/BM/AC[n]. Standard: AB and A carry the number in
        // their first two digits, B and C right after the letter.
        FieldRecords key;
        if (r.code == "AM" || r.code == "BM" || r.code == "AC") {
            key.number = r.number;
        } else if (r.code == "AB" || r.code == "A") {
            key.number = r.param.substr(0, 2);
            key.standard = true;
        } else if (r.code == "B" || r.code == "C") {
            key.number = r.number;
            key.standard = true;
        } else {
            continue;
        }
        auto same = [&](const FieldRecords& f) {
            return f.number == key.number && f.standard == key.standard;
        };
        auto it = std::find_if(fields.begin(), fields.end(), same);
        if (it == fields.end()) it = fields.insert(fields.end(), key);
        it->records.push_back(r);
    }
    return fields;
}

void Report::Add(std::size_t offset, const std::string& what)
{
    char at[24];
    std::snprintf(at, sizeof at, "0x%04zX ", offset);
    lines.push_back(at + what);
}

}  // namespace kxview
