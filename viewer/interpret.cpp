#include "viewer/interpret.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "viewer/pcx.h"

namespace kxview {
namespace {

constexpr int kDefaultDpi = 300;
// The resolutions a printer of this kind has, in the order preferred when the
// graphics fit several of them equally.
constexpr int kResolutions[] = {300, 203, 600, 406, 152};
// A label size the stream does not give: 100 x 150 mm, a common shipping
// label, widened or lengthened to hold every graphic of the label.
constexpr long kDefaultWidth = 10000;
constexpr long kDefaultLength = 15000;
// A line record longer than the widest label (in bytes) is cut there.
constexpr std::size_t kMaxLineBytes = kMaxLabelDots / 8;

std::string Hundredths(long v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f mm", double(v) / 100.0);
    return text;
}

// The number at the start of a parameter field, before its "-" filling: at
// most nine digits, with a leading sign when `sign` allows one.
bool Number(std::string_view text, long& value, bool sign = false)
{
    bool negative = false;
    if (sign && !text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    std::size_t digits = 0;
    long v = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        if (digits == 9) return false;
        v = v * 10 + (text[digits] - '0');
        ++digits;
    }
    if (digits == 0) return false;
    value = negative ? -v : v;
    return true;
}

// What the printer keeps from one label to the next until a record changes it.
struct Settings {
    long width = 0;  // hundredths of a mm, 0 while no record gave it
    long length = 0;
    int lanes = 1;
    long laneStep = 0;  // lane width and gap, hundredths
    int align = 0;      // 0 left, 1 centre, 2 right
    int copies = 1;
    bool inverse = false;
    bool mirror = false;
    bool halfTurn = false;  // FCDN 1
    int turnSteps = 0;      // FCDND: quarter turns
    long offsetX = 0, offsetY = 0;
};

// Something drawn on the label once its size is known (at its print start).
struct Item {
    std::size_t offset = 0;
    bool picture = false;
    // A picture: its file, header and bottom-left corner (hundredths).
    std::string_view file;
    PcxPicture pcx;
    long y = 0, x = 0;
    // A row of dots: its row from the top, the head byte it starts at, the
    // bytes with a set bit for a black dot.
    long row = 0;
    long headByte = 0;
    std::vector<std::uint8_t> bytes;
};

// Run-length data of an ESC "A" line: 0xC0 | n and a value for a run of n,
// any other byte for itself.
std::vector<std::uint8_t> DecodeLine(std::string_view data, std::size_t offset, Report& report)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (b < 0xC0) {
            out.push_back(b);
        } else if (i + 1 < data.size()) {
            out.insert(out.end(), b & 0x3Fu, static_cast<unsigned char>(data[++i]));
        } else {
            report.Add(offset, "line data ends inside a run: its last byte is left out");
        }
        if (out.size() > kMaxLineBytes) {
            report.Add(offset,
                       "line longer than " + std::to_string(kMaxLineBytes) + " bytes: cut there");
            out.resize(kMaxLineBytes);
            break;
        }
    }
    return out;
}

// The resolution from the graphics: a writer gives a picture's X as its width
// in dots turned into hundredths (rounded to a tenth of a millimetre), so the
// resolution at which most pictures' widths give their X is the stream's.
// Pictures placed beside others (pages, lanes, columns) have a larger X and
// simply do not count.
int InferDpi(const std::vector<Record>& records, std::string_view stream)
{
    int best = 0, bestCount = 0;
    for (int dpi : kResolutions) {
        int count = 0;
        for (const Record& r : records) {
            if (r.code != "AX" || r.offset + 19 > stream.size()) continue;
            long x = 0;
            if (!Number(stream.substr(r.offset + 12, 6), x)) continue;
            PcxPicture p;
            std::string problem;
            if (!ReadPcxHeader(r.payload, p, problem)) continue;
            if (std::lround(p.width * 254.0 / dpi) * 10 == x) ++count;
        }
        if (count > bestCount) {
            best = dpi;
            bestCount = count;
        }
    }
    return best;
}

class Printer {
public:
    Printer(std::string_view stream, const ViewOptions& options, Report& report, int dpi)
        : stream_(stream), options_(options), report_(report), dpi_(dpi)
    {}

    void Take(const Record& r);
    // The stream ended: a label that has content but no print start yet is
    // drawn all the same (the printer would keep it waiting).
    void Finish(std::size_t end);

    std::vector<Label> labels;

private:
    void Command(const Record& r);
    void Picture(const Record& r);
    void Row(const Record& r, long row, long headByte, std::vector<std::uint8_t> bytes);
    void Print(std::size_t offset);
    Geometry LabelGeometry(std::size_t offset);
    void Draw(Label& label, std::size_t offset);

    std::string_view stream_;
    const ViewOptions& options_;
    Report& report_;
    int dpi_;
    Settings settings_;
    int pageCopies_ = 0;  // FBBE: copies of this page of a common print start
    long lineRow_ = 0;    // the row the next ESC "A" line goes to
    std::vector<Record> records_;
    std::vector<Item> items_;
    bool toldSize_ = false, toldHead_ = false, toldStore_ = false;
};

void Printer::Take(const Record& r)
{
    if (records_.empty() && (r.kind == RecordKind::LineEnd || r.kind == RecordKind::Comment))
        return;  // line ends between labels belong to no label
    records_.push_back(r);
    switch (r.kind) {
        case RecordKind::Command:
            Command(r);
            break;
        case RecordKind::Graphic:
            Picture(r);
            break;
        case RecordKind::Line: {
            long row = 0, byte = 0;
            Number(std::string_view(r.param).substr(0, 4), row);
            Number(std::string_view(r.param).substr(4, 3), byte);
            Row(r, row, byte, std::vector<std::uint8_t>(r.payload.begin(), r.payload.end()));
            break;
        }
        case RecordKind::LineRle: {
            long byte = 0;
            Number(r.param, byte);
            Row(r, lineRow_, byte, DecodeLine(r.payload, r.offset, report_));
            ++lineRow_;
            break;
        }
        case RecordKind::LineFeed: {
            long rows = 0;
            Number(r.param, rows);
            lineRow_ = std::min<long>(lineRow_ + rows, 1'000'000);
            break;
        }
        case RecordKind::LineAbort:
            // The end of the line graphics: lines that follow start at the top.
            lineRow_ = 0;
            break;
        case RecordKind::Store:
            if (!toldStore_)
                report_.Add(r.offset, "memory-card file " + r.param + " stored, not printed");
            toldStore_ = true;
            break;
        case RecordKind::Broken:
            report_.Add(r.offset, "broken record: " + r.param);
            if (r.code == "AX") Picture(r);  // draw what arrived of it
            break;
        case RecordKind::Text:
            report_.Add(r.offset, std::to_string(r.length) + " bytes outside any record ignored");
            break;
        case RecordKind::Field:
            // Standard protocol label record: gap and length in whole mm.
            if (r.code == "EE" && r.param.size() >= 6) {
                long mm = 0;
                if (Number(std::string_view(r.param).substr(r.param.size() - 4), mm))
                    settings_.length = mm * 100;
            }
            break;
        default:
            break;
    }
}

void Printer::Command(const Record& r)
{
    const std::string& c = r.code;
    long v = 0;
    const bool number = Number(r.param, v, c == "FCCD" || c == "FCCE");
    if (c == "FBC") {
        Print(r.offset);
        return;
    }
    if (c == "FBG") {
        // A page of a common print start: each page is a label of its own;
        // the print start after the last page prints them all.
        const bool hasContent =
            std::any_of(records_.begin(), records_.end() - 1, [](const Record& x) {
                return x.kind == RecordKind::Graphic || x.kind == RecordKind::Field ||
                       x.kind == RecordKind::Line || x.kind == RecordKind::LineRle;
            });
        if (hasContent) {
            const Record keep = records_.back();
            records_.pop_back();
            Print(r.offset);
            records_.push_back(keep);
        }
        return;
    }
    if (!number) return;  // records of the printer's devices carry no picture
    if (c == "FCCL")
        settings_.length = v;
    else if (c == "FCCO")
        settings_.width = v;
    else if (c == "FCCHA")
        settings_.lanes = int(std::clamp(v, 1L, 9L));
    else if (c == "FCCHB")
        settings_.laneStep = v * 10;
    else if (c == "FCCJ")
        settings_.align = int(std::min(v, 2L));
    else if (c == "FBBA")
        settings_.copies = int(v);
    else if (c == "FBBE")
        pageCopies_ = int(v);
    else if (c == "FCDH")
        settings_.inverse = v == 1;
    else if (c == "FCDO")
        settings_.mirror = v == 1;
    else if (c == "FCDN")
        settings_.halfTurn = v == 1;
    else if (c == "FCDND")
        settings_.turnSteps = int(v % 4);
    else if (c == "FCCD")
        settings_.offsetY = v * 10;
    else if (c == "FCCE")
        settings_.offsetX = v * 10;
}

void Printer::Picture(const Record& r)
{
    // "AX", "000", Y and X (six digits each), "1": read from the stream so
    // that a record whose picture is cut short keeps its position too.
    Item item;
    item.offset = r.offset;
    item.picture = true;
    if (r.offset + 19 > stream_.size() || !Number(stream_.substr(r.offset + 6, 6), item.y) ||
        !Number(stream_.substr(r.offset + 12, 6), item.x)) {
        report_.Add(r.offset, "graphics record without its position");
        return;
    }
    std::string problem;
    if (!ReadPcxHeader(r.payload, item.pcx, problem)) {
        report_.Add(r.offset, "graphic not drawn: " + problem);
        return;
    }
    item.file = r.payload;
    items_.push_back(std::move(item));
}

void Printer::Row(const Record& r, long row, long headByte, std::vector<std::uint8_t> bytes)
{
    if (!toldHead_ && options_.headMm <= 0) {
        report_.Add(r.offset,
                    "line records count from the print head's edge, whose width is not in the "
                    "stream: taken as the label's width (--head MM sets it)");
        toldHead_ = true;
    }
    Item item;
    item.offset = r.offset;
    item.row = row;
    item.headByte = headByte;
    item.bytes = std::move(bytes);
    items_.push_back(std::move(item));
}

Geometry Printer::LabelGeometry(std::size_t offset)
{
    Geometry g;
    g.dpi = dpi_;
    g.sizeFromStream = settings_.width > 0 && settings_.length > 0;
    g.widthHundredths = settings_.width > 0 ? settings_.width : std::lround(options_.widthMm * 100);
    g.lengthHundredths =
        settings_.length > 0 ? settings_.length : std::lround(options_.lengthMm * 100);
    if (g.widthHundredths <= 0 || g.lengthHundredths <= 0) {
        // Neither the stream nor the command line: the default, grown so that
        // every graphic of the label is on it.
        long wide = kDefaultWidth, full = kDefaultLength;
        for (const Item& i : items_) {
            if (!i.picture) continue;
            wide = std::max(wide, i.x);
            full = std::max(full, i.y);
        }
        if (g.widthHundredths <= 0) g.widthHundredths = wide;
        if (g.lengthHundredths <= 0) g.lengthHundredths = full;
        if (!toldSize_)
            report_.Add(offset, "label size not in the stream: " + Hundredths(g.widthHundredths) +
                                    " wide, " + Hundredths(g.lengthHundredths) +
                                    " long assumed (--width and --length set it)");
        toldSize_ = true;
    }
    // Lanes of multi-column material lie side by side on one canvas; X is
    // measured from the right edge of the rightmost lane.
    if (settings_.lanes > 1 && settings_.laneStep > 0)
        g.widthHundredths += (settings_.lanes - 1) * settings_.laneStep;
    g.offsetXHundredths = settings_.offsetX;
    g.offsetYHundredths = settings_.offsetY;
    return g;
}

void Printer::Print(std::size_t offset)
{
    Label label;
    label.geometry = LabelGeometry(offset);
    label.firstOffset = records_.empty() ? offset : records_.front().offset;
    label.copies = pageCopies_ > 0 ? pageCopies_ : settings_.copies;
    label.inverse = settings_.inverse;
    label.mirror = settings_.mirror;
    label.quarterTurns = ((settings_.halfTurn ? 2 : 0) + settings_.turnSteps) % 4;
    Draw(label, offset);
    label.fields = GroupFields(records_);
    labels.push_back(std::move(label));
    records_.clear();
    items_.clear();
    pageCopies_ = 0;
    lineRow_ = 0;
}

void Printer::Draw(Label& label, std::size_t offset)
{
    const Geometry& g = label.geometry;
    long long w = std::max(1, g.WidthDots()), h = std::max(1, g.LengthDots());
    if (w > kMaxLabelDots || h > kMaxLabelDots || w * h > kMaxLabelArea) {
        report_.Add(offset, "label of " + std::to_string(w) + " x " + std::to_string(h) +
                                " dots cut to " + std::to_string(kMaxLabelDots) +
                                " dots a side and " + std::to_string(kMaxLabelArea) + " dots");
        w = std::min<long long>(w, kMaxLabelDots);
        h = std::min<long long>({h, kMaxLabelDots, kMaxLabelArea / w});
    }
    label.canvas = Canvas(int(w), int(h));
    Canvas& canvas = label.canvas;
    // The label lies on the head by its alignment; the line records count
    // bytes from the head's far edge (the writers put the head's spare width
    // in front of a left-aligned label).
    const int headDots =
        options_.headMm > 0 ? g.Dots(std::lround(options_.headMm * 100)) : g.WidthDots();
    const int spare = headDots - g.WidthDots();
    const int margin = settings_.align == 2 ? 0 : settings_.align == 1 ? spare / 2 : spare;
    int rowsOutside = 0;
    for (const Item& item : items_) {
        if (!item.picture) {
            const long long left = item.headByte * 8LL - margin;
            if (item.row >= canvas.height) ++rowsOutside;
            for (std::size_t i = 0; i < item.bytes.size(); ++i)
                for (int bit = 0; bit < 8; ++bit)
                    if ((item.bytes[i] >> (7 - bit)) & 1) {
                        const long long x = left + static_cast<long long>(i) * 8 + bit;
                        if (x >= 0 && x < canvas.width && item.row < canvas.height)
                            canvas.Set(int(x), int(item.row));
                    }
            continue;
        }
        const int left = g.XFromRight(item.x);
        const int top = g.YFromTop(item.y) - item.pcx.height;
        if (left < 0 || top < 0 || left + item.pcx.width > canvas.width ||
            top + item.pcx.height > canvas.height)
            report_.Add(item.offset, "graphic of " + std::to_string(item.pcx.width) + " x " +
                                         std::to_string(item.pcx.height) + " dots at Y " +
                                         Hundredths(item.y) + ", X " + Hundredths(item.x) +
                                         " reaches beyond the label: cut at its edge");
        std::string problem;
        const bool whole = DecodePcxRows(
            item.file, item.pcx,
            [&](int y, const std::uint8_t* dots) {
                for (int x = 0; x < item.pcx.width; ++x)
                    if (dots[x]) canvas.Set(left + x, top + y);
            },
            problem);
        if (!whole) report_.Add(item.offset, "graphic drawn in part: " + problem);
    }
    if (rowsOutside > 0)
        report_.Add(offset, std::to_string(rowsOutside) + " line rows beyond the label's end");
}

void Printer::Finish(std::size_t end)
{
    const bool content = !items_.empty() || !GroupFields(records_).empty();
    if (!content) return;
    report_.Add(end, "label without a print start (FBC) at the end of the stream: drawn anyway");
    Print(end);
}

void Turn(Canvas& c)
{
    Canvas t(c.height, c.width);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (c.At(x, y)) t.Set(c.height - 1 - y, x);
    c = std::move(t);
}

}  // namespace

std::vector<Label> Interpret(std::string_view stream, const ViewOptions& options, Report& report)
{
    const std::vector<Record> records = ReadRecords(stream);
    int dpi = options.dpi;
    if (dpi <= 0) dpi = InferDpi(records, stream);
    if (dpi <= 0) {
        dpi = kDefaultDpi;
        report.Add(0, "resolution not found in the stream: 300 dpi assumed (--dpi sets it)");
    }
    Printer printer(stream, options, report, dpi);
    for (const Record& r : records) printer.Take(r);
    printer.Finish(stream.size());
    return std::move(printer.labels);
}

void FinishLabel(Label& label)
{
    Canvas& c = label.canvas;
    // The printer turns the finished picture clockwise; a quarter turn
    // exchanges the picture's width and length.
    for (int i = 0; i < label.quarterTurns % 4; ++i) Turn(c);
    if (label.mirror)
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width / 2; ++x) {
                const bool a = c.At(x, y), b = c.At(c.width - 1 - x, y);
                c.Set(x, y, b);
                c.Set(c.width - 1 - x, y, a);
            }
    if (label.inverse)
        for (auto& dot : c.dots) dot ^= 1;
}

}  // namespace kxview
