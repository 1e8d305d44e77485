#include "viewer/fields.h"

#include "viewer/fielddesc.h"

namespace kxview {
namespace {

// What cannot be drawn: a frame of 20 x 8 mm at the field's anchor, turned
// with the field, with the field number inside.
void Outline(const FieldDescription& f, Label& label)
{
    const Geometry& g = label.geometry;
    Ink box;
    if (!box.Resize(g.Dots(2000), g.Dots(800))) return;
    for (int x = 0; x < box.width; ++x) box.Set(x, 0), box.Set(x, box.height - 1);
    for (int y = 0; y < box.height; ++y) box.Set(0, y), box.Set(box.width - 1, y);
    Ink note;
    std::string ignored;
    if (DrawPlain(f.number, box.height / 3, note, &ignored))
        for (int y = 0; y < note.height; ++y)
            for (int x = 0; x < note.width; ++x)
                if (note.At(x, y)) box.Set(box.height / 4 + x, (box.height - note.height) / 2 + y);
    box.ax = box.ay = 0;
    (void)Blit(box, label.canvas, f.x, f.y, f.rotation, false);
}

}  // namespace

void DrawFields(Label& label, Report& report)
{
    for (const FieldDescription& f : ReadFieldDescriptions(label, report)) {
        // Phantom fields hold data for other fields and print nothing; an
        // empty contents record prints nothing either.
        if (f.kind == FieldKind::Unknown || f.phantom || f.text.empty()) continue;
        Ink ink;
        std::string why;
        const bool text = f.kind == FieldKind::Text;
        const bool ok = text ? DrawText(f, label.geometry, ink, &why)
                             : DrawBarcode(f, label.geometry, ink, &why);
        const std::string what = text ? "text" : "barcode " + std::to_string(f.type);
        if (ok) {
            if (!Blit(ink, label.canvas, f.x, f.y, f.rotation, f.white))
                report.Add(f.offset, "field " + f.number + ": " + what +
                                         " reaches beyond the label and is cut");
            if (!why.empty()) report.Add(f.offset, "field " + f.number + ": " + why);
        } else {
            Outline(f, label);
            report.Add(f.offset, "field " + f.number + ": " + what + " not drawn: " + why);
        }
    }
}

std::vector<FieldPlacement> PlaceFields(const Label& label)
{
    Report ignored;
    std::vector<FieldPlacement> out;
    for (const FieldDescription& f : ReadFieldDescriptions(label, ignored)) {
        FieldPlacement p;
        p.number = f.number;
        p.kind = f.kind == FieldKind::Text      ? "text"
                 : f.kind == FieldKind::Barcode ? "barcode"
                                                : "unknown";
        p.type = f.type;
        p.x = f.x;
        p.y = f.y;
        p.rotation = f.rotation;
        p.phantom = f.phantom;
        p.data = f.text;
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace kxview
