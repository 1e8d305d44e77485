#include "host/jobfile.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/regvalues.h"
#include "host/jsonnode.h"
#include "host/records.h"
#include "platform/platform.h"
#include "settings/cmdids.h"
#include "settings/devmodeconv.h"

namespace kxhost {

namespace fs = std::filesystem;
using nlohmann::json;

// ------------------------------------------------------------ names

namespace {

// The plug-in's HRESULT values by name, with what a message says of them.
struct NamedResult {
    const char* name;
    HRESULT hr;
    const char* meaning;
};
constexpr NamedResult kResults[] = {
    {"S_OK", S_OK, "success"},
    {"S_FALSE", S_FALSE, "false"},
    {"E_NOTIMPL", E_NOTIMPL, "not implemented"},
    {"E_NOINTERFACE", E_NOINTERFACE, "no such interface"},
    {"E_POINTER", E_POINTER, "invalid pointer"},
    {"E_FAIL", E_FAIL, "unspecified failure"},
    {"E_OUTOFMEMORY", E_OUTOFMEMORY, "out of memory"},
    {"E_INVALIDARG", E_INVALIDARG, "invalid argument"},
    {"CLASS_E_NOAGGREGATION", CLASS_E_NOAGGREGATION, "no aggregation"},
    {"CLASS_E_CLASSNOTAVAILABLE", CLASS_E_CLASSNOTAVAILABLE, "class not available"},
    {"STRSAFE_E_INSUFFICIENT_BUFFER", STRSAFE_E_INSUFFICIENT_BUFFER, "buffer too small"},
};

// Job files name a callback with or without the "CMDID_" of the plug-in's
// names; messages name it without.
constexpr std::string_view kCmdIdPrefix = "CMDID_";

}  // namespace

std::optional<std::uint32_t> CallbackId(const std::string& name)
{
    std::string_view bare = name;
    if (bare.starts_with(kCmdIdPrefix)) bare.remove_prefix(kCmdIdPrefix.size());
    for (const kx::CommandCallbackName& c : kx::kCommandCallbackNames)
        if (std::string_view(c.name).substr(kCmdIdPrefix.size()) == bare) return c.id;
    return std::nullopt;
}

std::string CallbackName(std::uint32_t id)
{
    for (const kx::CommandCallbackName& c : kx::kCommandCallbackNames)
        if (c.id == id) return std::string(c.name + kCmdIdPrefix.size());
    return "callback " + std::to_string(id);
}

bool IsCallbackId(std::uint32_t id)
{
    return kx::IsCommandCallbackId(id);
}

std::string HResultName(std::int32_t hr)
{
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%08X", static_cast<std::uint32_t>(hr));
    for (const NamedResult& r : kResults)
        if (r.hr == hr)
            return SUCCEEDED(r.hr) ? std::string(r.name)
                                   : std::string(hex) + " (" + r.meaning + ")";
    return hex;
}

std::optional<std::int32_t> HResultFromName(const std::string& name)
{
    for (const NamedResult& r : kResults)
        if (name == r.name) return r.hr;
    return std::nullopt;
}

// ------------------------------------------------------------ reading

namespace {

// An HRESULT by name ("E_FAIL") or number ("0x80004005").
std::int32_t HResultValue(const Node& n)
{
    if (n.IsString()) {
        if (auto hr = HResultFromName(n.Str())) return *hr;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(n.Int(INT32_MIN, UINT32_MAX)));
}

fs::path FilePath(const Node& n, const fs::path& dir)
{
    fs::path p = fs::u8path(n.Str());
    if (p.empty()) n.Fail("must name a file");
    return p.is_absolute() ? p : dir / p;
}

void NeedFile(const Node& n, const fs::path& p)
{
    std::error_code ec;
    if (!fs::is_regular_file(p, ec)) n.Fail("no such file: " + p.string());
}

int Bits(const Node& n)
{
    int bits = static_cast<int>(n.Int(1, 24));
    if (bits != 1 && bits != 8 && bits != 24)
        n.Fail("must be 1, 8 or 24 bits per pixel (got " + n.Show() + ")");
    return bits;
}

Colour ColourValue(const Node& n)
{
    std::string s = n.Str();
    unsigned r = 0, g = 0, b = 0;
    char tail = 0;
    if (s.size() != 7 || s[0] != '#' ||
        std::sscanf(s.c_str() + 1, "%2x%2x%2x%c", &r, &g, &b, &tail) != 3)
        n.Fail("must be a colour \"#RRGGBB\" (got " + n.Show() + ")");
    return (b << 16) | (g << 8) | r;
}

// A rectangle [left, top, right, bottom] in dots.
std::array<std::int32_t, 4> RectValue(const Node& n)
{
    std::vector<Node> r = n.Items();
    if (r.size() != 4) n.Fail("must be [left, top, right, bottom]");
    std::array<std::int32_t, 4> rect{};
    for (int i = 0; i < 4; ++i) rect[i] = static_cast<std::int32_t>(r[i].Int(-100000, 100000));
    return rect;
}

// The direction flags of the string object: "none", or one name or a list
// of "horizontal", "vertical", "reversed".
std::uint32_t AccelValue(const Node& n)
{
    std::vector<Node> names;
    if (n.IsString())
        names.push_back(n);
    else
        names = n.Items();
    std::uint32_t flags = 0;
    for (const Node& item : names) {
        std::string s = item.Str();
        if (s == "none" && names.size() == 1) return 0;
        std::uint32_t bit = s == "horizontal" ? kAccelHorizontal
                            : s == "vertical" ? kAccelVertical
                            : s == "reversed" ? kAccelReversed
                                              : 0;
        if (!bit)
            item.Fail(
                "must be \"horizontal\", \"vertical\" or \"reversed\" (or \"none\" "
                "alone; got " +
                item.Show() + ")");
        flags |= bit;
    }
    return flags;
}

TextItem ReadText(const Node& n, bool inPage)
{
    // A replayed call has no bands to follow: after_band belongs to pages.
    if (inPage)
        n.ExpectObject({"text",         "font",        "device_font", "x",          "y",
                        "height",       "width",       "advance",     "positions",  "direction",
                        "bold",         "italic",      "weight",      "colour",     "color",
                        "solid_colour", "solid_color", "opaque",      "background", "accel",
                        "enum_batch",   "after_band"});
    else
        n.ExpectObject({"text",         "font",        "device_font", "x",          "y",
                        "height",       "width",       "advance",     "positions",  "direction",
                        "bold",         "italic",      "weight",      "colour",     "color",
                        "solid_colour", "solid_color", "opaque",      "background", "accel",
                        "enum_batch"});
    TextItem t;
    t.where = n.where();
    t.text = n.Need("text").WStr();
    if (t.text.empty()) n.Need("text").Fail("must not be empty");
    if (t.text.size() > 4096) n.Need("text").Fail("is longer than 4096 characters");
    if (auto f = n.Get("font")) t.face = f->WStr();
    if (t.face.size() > 31) n.Need("font").Fail("is longer than a face name (31 characters)");
    if (auto f = n.Get("device_font")) t.deviceFont = static_cast<std::uint32_t>(f->Int(1, 65535));
    if (t.face.empty() && t.deviceFont == 0)
        n.Fail("needs a \"font\" (TrueType face) or a \"device_font\" (index)");
    t.x = static_cast<std::int32_t>(n.Need("x").Int(-100000, 100000));
    t.y = static_cast<std::int32_t>(n.Need("y").Int(-100000, 100000));
    t.height = static_cast<std::int32_t>(n.Need("height").Int(1, 10000));
    if (auto w = n.Get("width")) t.width = static_cast<std::int32_t>(w->Int(1, 10000));
    if (auto a = n.Get("advance")) t.advance = static_cast<std::int32_t>(a->Int(-10000, 10000));
    if (auto p = n.Get("positions")) {
        if (t.advance) p->Fail("give either \"advance\" or \"positions\", not both");
        for (const Node& item : p->Items()) {
            std::vector<Node> xy = item.Items();
            if (xy.size() != 2) item.Fail("must be a pair [x, y]");
            t.positions.emplace_back(static_cast<std::int32_t>(xy[0].Int(-100000, 100000)),
                                     static_cast<std::int32_t>(xy[1].Int(-100000, 100000)));
        }
        if (t.positions.size() != t.text.size())
            p->Fail("has " + std::to_string(t.positions.size()) + " positions for " +
                    std::to_string(t.text.size()) + " characters");
    }
    if (auto d = n.Get("direction")) {
        t.direction = static_cast<std::int32_t>(d->Int(0, 270));
        if (t.direction % 90) d->Fail("must be 0, 90, 180 or 270");
    }
    if (auto b = n.Get("bold")) t.bold = b->Bool();
    if (auto i = n.Get("italic")) t.italic = i->Bool();
    if (auto w = n.Get("weight")) t.weight = static_cast<std::int32_t>(w->Int(1, 1000));
    if (auto c = n.Get("colour")) t.colour = ColourValue(*c);
    if (auto c = n.Get("color")) t.colour = ColourValue(*c);
    for (const char* key : {"solid_colour", "solid_color"}) {
        auto c = n.Get(key);
        if (!c) continue;
        if (n.Get("colour") || n.Get("color"))
            c->Fail("give either a colour or the brush's solid colour, not both");
        t.solidColour = static_cast<std::uint32_t>(c->Int(0, UINT32_MAX));
    }
    if (auto o = n.Get("opaque")) t.opaque = RectValue(*o);
    if (auto b = n.Get("background")) t.background = RectValue(*b);
    if (auto a = n.Get("accel")) t.accel = AccelValue(*a);
    // Text in the command font reaches the plug-in, as from the driver host,
    // with positions only by enumeration; "enum_batch": 0 hands them over as
    // one array instead.
    if (auto e = n.Get("enum_batch"))
        t.enumBatch = static_cast<std::uint32_t>(e->Int(0, 4096));
    else if (t.face == u"KXPL Command LP")
        t.enumBatch = 4096;
    if (auto b = n.Get("after_band"))
        t.afterBand = static_cast<std::uint32_t>(b->Int(0, 150));  // a page's most bands
    return t;
}

void ReadRaster(const Node& n, RasterOptions* r)
{
    if (auto b = n.Get("bits")) r->bits = Bits(*b);
    if (auto h = n.Get("band_height")) r->bandHeight = static_cast<int>(h->Int(1, 65535));
    if (auto b = n.Get("blank_bands")) r->blankBands = b->Bool();
}

JobPage ReadPage(const Node& n, const fs::path& dir)
{
    n.ExpectObject({"image", "bits", "band_height", "blank_bands", "text"});
    JobPage p;
    p.where = n.where();
    if (auto i = n.Get("image")) {
        p.image = FilePath(*i, dir);
        NeedFile(*i, p.image);
    }
    ReadRaster(n, &p.raster);
    if (auto t = n.Get("text"))
        for (const Node& item : t->Items()) {
            p.text.push_back(ReadText(item, true));
            if (p.text.back().afterBand && p.image.empty())
                item.Need("after_band").Fail("needs the page's \"image\": it follows its bands");
        }
    if (p.image.empty() && p.text.empty()) n.Fail("a page needs an \"image\" or \"text\"");
    return p;
}

SpoolFault ReadFault(const Node& n, std::initializer_list<std::string_view> keys)
{
    n.ExpectObject(keys);
    SpoolFault f;
    f.write = static_cast<std::uint64_t>(n.Need("write").Int(1, INT32_MAX));
    if (auto c = n.Get("count")) f.count = static_cast<std::uint32_t>(c->Int(0, INT32_MAX));
    if (auto e = n.Get("error")) f.error = static_cast<std::uint32_t>(e->Int(0, UINT32_MAX));
    if (auto h = n.Get("hresult")) {
        f.hresult = HResultValue(*h);
        if (f.hresult >= 0) h->Fail("a failed write needs a failure code");
    }
    return f;
}

std::uint32_t CallbackValue(const Node& n)
{
    if (n.IsString()) {
        std::string name = n.Str();
        if (auto id = CallbackId(name)) return *id;
        std::string known;
        for (const kx::CommandCallbackName& c : kx::kCommandCallbackNames)
            known += (known.empty() ? "" : ", ") + CallbackName(c.id);
        n.Fail("unknown callback \"" + name + "\" (known: " + known + ")");
    }
    auto id = static_cast<std::uint32_t>(n.Int(0, UINT32_MAX));
    if (!IsCallbackId(id))
        n.Fail(n.Show() + " is not a callback id of the printer description (1 to 37, 50, 51)");
    return id;
}

JobEvent ReadEvent(const Node& n, const fs::path& dir)
{
    n.ExpectObject();
    JobEvent e;
    e.where = n.where();
    std::string call = n.Need("call").Str();
    auto expect = [&] {
        if (auto x = n.Get("expect")) e.expect = HResultValue(*x);
    };
    if (call == "StartDoc") {
        n.ExpectObject({"call", "job_id", "document", "expect"});
        e.kind = EventKind::StartDoc;
        if (auto j = n.Get("job_id")) e.jobId = static_cast<std::uint32_t>(j->Int(0, UINT32_MAX));
        if (auto d = n.Get("document")) e.document = d->WStr();
        expect();
    } else if (call == "CommandCallback") {
        n.ExpectObject({"call", "id", "params", "expect"});
        e.kind = EventKind::CommandCallback;
        e.callbackId = CallbackValue(n.Need("id"));
        if (auto p = n.Get("params")) {
            std::vector<Node> items = p->Items();
            if (items.size() > 16) p->Fail("has more than 16 parameters");
            for (const Node& item : items)
                e.params.push_back(static_cast<std::uint32_t>(item.Int(INT32_MIN, UINT32_MAX)));
        }
        expect();
    } else if (call == "ImageProcessing" || call == "Lines") {
        n.ExpectObject(
            {"call", "image", "bits", "band_height", "blank_bands", "band", "landscape", "expect"});
        e.kind = call == "Lines" ? EventKind::Lines : EventKind::ImageProcessing;
        e.image = FilePath(n.Need("image"), dir);
        NeedFile(n.Need("image"), e.image);
        ReadRaster(n, &e.raster);
        if (auto b = n.Get("band")) {
            std::vector<Node> r = b->Items();
            if (r.size() != 2) b->Fail("must be [first row, rows]");
            e.band = {static_cast<std::int32_t>(r[0].Int(0, 1000000)),
                      static_cast<std::int32_t>(r[1].Int(1, 1000000))};
        }
        if (auto l = n.Get("landscape")) e.landscape = l->Bool();
        expect();
    } else if (call == "FilterGraphics") {
        n.ExpectObject({"call", "data", "expect"});
        e.kind = EventKind::FilterGraphics;
        e.line = n.Need("data").Bytes();
        expect();
    } else if (call == "TextOut") {
        e.kind = EventKind::TextOut;
        json item = n.json();
        item.erase("call");
        std::optional<std::int32_t> want;
        if (auto x = n.Get("expect")) want = static_cast<std::int32_t>(x->Bool());
        item.erase("expect");
        e.text = ReadText(Node(item, n.where()), false);
        e.expect = want;
    } else if (call == "Escape") {
        n.ExpectObject({"call", "escape", "expect"});
        e.kind = EventKind::Escape;
        e.escape = static_cast<std::uint32_t>(n.Need("escape").Int(0, UINT32_MAX));
        expect();
    } else if (call == "DisablePDEV") {
        n.ExpectObject({"call", "expect"});
        e.kind = EventKind::DisablePDEV;
        expect();
    } else if (call == "Fault") {
        e.kind = EventKind::Fault;
        e.fault = ReadFault(n, {"call", "write", "count", "error", "hresult"});
    } else {
        n.Need("call").Fail("unknown call \"" + call +
                            "\" (known: StartDoc, CommandCallback, ImageProcessing, Lines, "
                            "FilterGraphics, TextOut, Escape, DisablePDEV, Fault)");
    }
    return e;
}

void ReadRegistry(const Node& n, std::vector<RawValue>* out)
{
    for (const auto& [name, v] : n.Members()) {
        RawValue r;
        r.name = name;
        if (v.IsNumber()) {
            r.type = kx::plat::kRegDword;
            auto d = static_cast<std::uint32_t>(v.Int(INT32_MIN, UINT32_MAX));
            r.data.resize(4);
            std::memcpy(r.data.data(), &d, 4);
        } else if (v.IsString()) {
            r.type = kx::plat::kRegSz;
            std::u16string s = v.WStr();
            s.push_back(0);
            r.data.resize(s.size() * 2);
            std::memcpy(r.data.data(), s.data(), r.data.size());
        } else {
            v.ExpectObject({"dword", "sz", "expand_sz", "multi_sz", "hex"});
            auto members = v.Members();
            if (members.size() != 1)
                v.Fail("must hold exactly one of dword, sz, expand_sz, multi_sz, hex");
            const auto& [kind, value] = members[0];
            if (kind == "dword") {
                r.type = kx::plat::kRegDword;
                auto d = static_cast<std::uint32_t>(value.Int(INT32_MIN, UINT32_MAX));
                r.data.resize(4);
                std::memcpy(r.data.data(), &d, 4);
            } else if (kind == "hex") {
                r.type = kx::plat::kRegBinary;
                r.data = value.Bytes();
            } else {
                std::u16string s;
                if (kind == "multi_sz") {
                    r.type = kx::plat::kRegMultiSz;
                    for (const Node& item : value.Items()) {
                        s += item.WStr();
                        s.push_back(0);
                    }
                } else {
                    r.type = kind == "sz" ? kx::plat::kRegSz : kx::plat::kRegExpandSz;
                    s = value.WStr();
                }
                s.push_back(0);
                r.data.resize(s.size() * 2);
                std::memcpy(r.data.data(), s.data(), r.data.size());
            }
        }
        out->push_back(std::move(r));
    }
}

// The clock as "YYYY-MM-DD hh:mm:ss[.mmm]" ("T" between date and time is
// taken as well).
std::string ClockValue(const Node& n)
{
    std::string s = n.Str();
    if (s.size() > 10 && s[10] == 'T') s[10] = ' ';
    int y, mo, d, h, mi, sec;
    char tail[8] = {};
    int got =
        std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%7s", &y, &mo, &d, &h, &mi, &sec, tail);
    bool ok = got >= 6 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h >= 0 && h < 24 && mi >= 0 &&
              mi < 60 && sec >= 0 && sec < 60 && y >= 1601 && y <= 9999;
    if (got == 7) {
        unsigned ms = 0;
        char extra = 0;
        ok = ok && std::sscanf(tail, ".%3u%c", &ms, &extra) == 1;
    }
    if (!ok) n.Fail("must be a local time \"YYYY-MM-DD hh:mm:ss\" (got " + n.Show() + ")");
    return s;
}

// The printer: its name, model, description files and the store of its
// settings.
void ReadPrinter(const Node& root, const fs::path& dir, Job& job)
{
    Node printer = root.Need("printer");
    printer.ExpectObject({"name", "model", "gpd", "settings", "provider", "port", "xml_devmode",
                          "settings_store", "store_devmode", "driver_version"});
    job.printerName = printer.Need("name").WStr();
    if (job.printerName.empty() || job.printerName.size() > 200)
        printer.Need("name").Fail("must be a printer name of 1 to 200 characters");
    if (job.printerName.rfind(u"\\\\", 0) == 0 &&
        job.printerName.find(u'\\', 2) == std::u16string::npos)
        printer.Need("name").Fail("a server printer is named \"\\\\\\\\server\\\\name\"");
    job.model = printer.Need("model").WStr();
    if (job.model.empty() || job.model.size() > 39)
        printer.Need("model").Fail("must be a model name of 1 to 39 characters");
    if (auto g = printer.Get("gpd")) {
        job.gpd = FilePath(*g, dir);
        NeedFile(*g, job.gpd);
    }
    if (auto s = printer.Get("settings")) {
        job.settings = FilePath(*s, dir);
        NeedFile(*s, job.settings);
    }
    job.provider = printer.Get("provider") ? printer.Need("provider").WStr() : u"Orvane";
    job.port = printer.Get("port") ? printer.Need("port").WStr() : u"USB001:";
    if (auto x = printer.Get("xml_devmode")) job.xmlDevmode = x->Bool();
    if (job.xmlDevmode && job.settings.empty())
        printer.Need("xml_devmode").Fail("needs a \"settings\" file");
    job.settingsStore = "both";
    if (auto s = printer.Get("settings_store")) {
        job.settingsStore = s->Str();
        if (job.settingsStore != "both" && job.settingsStore != "user" &&
            job.settingsStore != "machine")
            s->Fail("must be \"both\", \"user\" or \"machine\"");
    }
    if (auto s = printer.Get("store_devmode")) job.storeDevmode = s->Bool();
    if (auto v = printer.Get("driver_version")) {
        unsigned a = 0, b = 0, c = 0, d = 0;
        char tail = 0;
        std::string text = v->Str();
        if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 65535 ||
            b > 65535 || c > 65535 || d > 65535)
            v->Fail("must be a version \"a.b.c.d\" (got " + v->Show() + ")");
        job.driverVersion = std::array<std::uint16_t, 4>{
            static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b),
            static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(d)};
    }
}

// The settings records. Each is checked now on a scratch record, so that a
// bad value fails before anything runs, and kept as JSON to be applied when
// the printer is installed.
void ReadSettingsRecords(const Node& root, Job& job)
{
    if (auto n = root.Get("interface")) {
        PRN_INTERFACE scratch{};
        ApplyInterface(n->json(), n->where(), &scratch);
        job.interface = n->json();
    }
    if (auto n = root.Get("features")) {
        DWORD scratch[MAX_FEATURES] = {};
        ApplyFeatures(n->json(), n->where(), scratch);
        job.features = n->json();
    }
    if (auto n = root.Get("printer_options")) {
        std::vector<Node> items = n->Items();
        if (items.size() > 14) n->Fail("has more than the block's 14 words");
        for (const Node& item : items)
            job.printerOptions.push_back(static_cast<std::uint16_t>(item.Int(0, 65535)));
    }
    if (auto n = root.Get("barcodes_1d")) {
        job.barcodes1D = n->Bytes();
        if (job.barcodes1D->size() > kx::reg::kBarCodes1DSize)
            n->Fail("is longer than the record's " + std::to_string(kx::reg::kBarCodes1DSize) +
                    " bytes");
    }
    if (auto n = root.Get("barcodes_2d")) {
        job.barcodes2D = n->Bytes();
        if (job.barcodes2D->size() > kx::reg::kBarCodes2DSize)
            n->Fail("is longer than the record's " + std::to_string(kx::reg::kBarCodes2DSize) +
                    " bytes");
    }
    if (auto n = root.Get("barcode_settings")) {
        BYTE scratch1D[kx::reg::kBarCodes1DSize] = {}, scratch2D[kx::reg::kBarCodes2DSize] = {};
        ApplyBarcodeSettings(n->json(), n->where(), scratch1D, scratch2D);
        job.barcodeSettings = n->json();
    }
    if (auto n = root.Get("document_settings")) {
        // Five slots of 260 characters, each path with its terminator.
        constexpr std::size_t kFiles = 5, kMaxChars = 259;
        if (!n->IsArray()) n->Fail("must be an array of up to 5 paths");
        std::vector<Node> items = n->Items();
        if (items.size() > kFiles) n->Fail("has more than 5 paths");
        for (const Node& item : items) {
            std::u16string path = item.WStr();
            if (path.size() > kMaxChars)
                item.Fail("is longer than " + std::to_string(kMaxChars) + " characters");
            job.documentSettings.push_back(std::move(path));
        }
    }
    if (auto n = root.Get("devmode")) {
        KX_DEVMODE scratch{};
        ApplyDevmode(n->json(), n->where(), &scratch);
        job.devmode = n->json();
    }
    job.devmodeMarker = "current";
    if (auto n = root.Get("devmode_marker")) {
        job.devmodeMarker = n->Str();
        if (job.devmodeMarker != "current" && job.devmodeMarker != "alternative" &&
            job.devmodeMarker != "none")
            n->Fail("must be \"current\", \"alternative\" or \"none\"");
    }
    if (auto n = root.Get("devmode_layout")) {
        job.devmodeLayout = n->Str();
        if (kx::DevmodeGenerationFromName(job.devmodeLayout) == kx::DevmodeGeneration::None)
            n->Fail(
                "must be \"2.3.3\", \"2.4.0\", \"2.4.1\", \"2.4.2\", \"2.5.2\", \"2.6.0\", "
                "\"2.6.2\" or \"current\"");
        if (!job.storeDevmode) n->Fail("needs the saved devmodes (printer.store_devmode)");
        // The job's own devmode goes without a marker, so that the plug-in
        // reads the saved one: another marker would keep the saved one unread.
        if (root.Get("devmode_marker") && job.devmodeMarker != "none")
            n->Fail("leaves the job's devmode without a marker: devmode_marker must be \"none\"");
        job.devmodeMarker = "none";
    }
    if (auto n = root.Get("devmode_ftkn")) {
        DEVMODE_FTKN scratch{};
        ApplyFtkn(n->json(), n->where(), &scratch);
        job.devmodeFtkn = n->json();
    }
    if (auto n = root.Get("public_devmode")) {
        DEVMODEW scratch{};
        ApplyPublicDevmode(n->json(), n->where(), &scratch);
        job.publicDevmode = n->json();
    }
}

// Registry values the job finds in place.
void ReadRegistrySection(const Node& root, Job& job)
{
    auto n = root.Get("registry");
    if (!n) return;
    n->ExpectObject({"user", "machine"});
    if (auto u = n->Get("user")) ReadRegistry(*u, &job.userValues);
    if (auto m = n->Get("machine")) ReadRegistry(*m, &job.machineValues);
}

// Files and directories the job finds on the drives: a path ending in a
// separator is a directory; a file is given as text, hex bytes or a copy of
// a file beside the job.
void ReadDriveFiles(const Node& root, const fs::path& dir, Job& job)
{
    auto n = root.Get("files");
    if (!n) return;
    for (const auto& [path, v] : n->Members()) {
        if (path.size() < 3 || path[1] != ':' || (path[2] != '\\' && path[2] != '/'))
            v.Fail("must be a Windows path with a drive letter (\"C:\\\\...\")");
        if (path.back() == '\\' || path.back() == '/') {
            job.directories.push_back(path);
            continue;
        }
        if (v.IsString()) {
            std::string s = v.Str();
            job.files[path] = std::vector<std::uint8_t>(s.begin(), s.end());
            continue;
        }
        v.ExpectObject({"text", "hex", "copy"});
        if (auto t = v.Get("text")) {
            std::string s = t->Str();
            job.files[path] = std::vector<std::uint8_t>(s.begin(), s.end());
        } else if (auto h = v.Get("hex")) {
            job.files[path] = h->Bytes();
        } else {
            Node c = v.Need("copy");
            fs::path from = FilePath(c, dir);
            NeedFile(c, from);
            std::ifstream in(from, std::ios::binary);
            job.files[path] = std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                                        std::istreambuf_iterator<char>());
        }
    }
}

// The machine around the job: clock, user, computer, document and system
// names, with their defaults.
void ReadEnvironment(const Node& root, const fs::path& file, Job& job)
{
    if (auto env = root.Get("environment")) {
        env->ExpectObject({"clock", "user", "computer", "document", "job_id", "os_name",
                           "os_version", "windows_build"});
        if (auto c = env->Get("clock")) job.clock = ClockValue(*c);
        if (auto u = env->Get("user")) job.user = u->WStr();
        if (auto c = env->Get("computer")) job.computer = c->WStr();
        if (auto d = env->Get("document")) job.document = d->WStr();
        if (auto j = env->Get("job_id"))
            job.jobId = static_cast<std::uint32_t>(j->Int(0, UINT32_MAX));
        if (auto o = env->Get("os_name")) job.osName = o->WStr();
        if (auto o = env->Get("os_version")) job.osVersion = o->WStr();
        if (auto b = env->Get("windows_build"))
            job.windowsBuild = static_cast<std::uint32_t>(b->Int(1, 65535));
    }
    if (job.document.empty()) job.document = Utf16(file.filename().string());
    if (job.osName.empty()) job.osName = u"Windows 10 Pro";
    if (job.osVersion.empty()) job.osVersion = u"22H2";
}

// How the host renders: raster path, surface depth, bands, device fonts.
void ReadRender(const Node& root, Job& job)
{
    auto r = root.Get("render");
    if (!r) return;
    r->ExpectObject(
        {"path", "bits", "band_height", "ip_callback_id", "line_y_moves", "device_fonts"});
    if (auto p = r->Get("path")) {
        std::string s = p->Str();
        if (s == "auto")
            job.path = RasterPath::Auto;
        else if (s == "image")
            job.path = RasterPath::Image;
        else if (s == "lines")
            job.path = RasterPath::Lines;
        else
            p->Fail("must be \"auto\", \"image\" or \"lines\"");
    }
    if (auto b = r->Get("bits")) job.surfaceBits = Bits(*b);
    if (auto h = r->Get("band_height")) job.bandHeight = static_cast<int>(h->Int(1, 65535));
    if (auto c = r->Get("ip_callback_id"))
        job.ipCallbackId = static_cast<std::uint32_t>(c->Int(0, UINT32_MAX));
    if (auto y = r->Get("line_y_moves")) {
        std::string s = y->Str();
        if (s != "relative" && s != "absolute") y->Fail("must be \"relative\" or \"absolute\"");
        job.lineYAbsolute = s == "absolute";
    }
    if (auto d = r->Get("device_fonts"))
        job.deviceFonts = static_cast<std::uint32_t>(d->Int(0, 1000));
}

// What the host calls: whole pages or single events, what to do when a call
// fails, and the faults to inject.
void ReadCalls(const Node& root, const fs::path& dir, Job& job)
{
    auto pages = root.Get("pages");
    auto events = root.Get("events");
    if (pages && events) events->Fail("give either \"pages\" or \"events\", not both");
    if (!pages && !events) root.Fail("missing key \"pages\" (or \"events\")");
    if (pages) {
        std::vector<Node> items = pages->Items();
        if (items.empty()) pages->Fail("must list at least one page");
        for (const Node& p : items) job.pages.push_back(ReadPage(p, dir));
    } else {
        job.events.emplace();
        for (const Node& e : events->Items()) job.events->push_back(ReadEvent(e, dir));
        if (job.events->empty()) events->Fail("must list at least one call");
    }
    if (auto o = root.Get("on_error")) {
        std::string s = o->Str();
        if (s != "stop" && s != "continue") o->Fail("must be \"stop\" or \"continue\"");
        job.continueOnError = s == "continue";
    }
    if (auto f = root.Get("faults"))
        for (const Node& item : f->Items())
            job.faults.push_back(ReadFault(item, {"write", "count", "error", "hresult"}));
}

}  // namespace

Job ParseJob(const std::string& text, const fs::path& file, const fs::path& dir)
{
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        throw JobError(std::string("not valid JSON: ") + e.what());
    }
    Job job;
    job.file = file;
    job.dir = dir;
    Node root(doc, "");
    root.ExpectObject({"printer",
                       "interface",
                       "features",
                       "printer_options",
                       "barcodes_1d",
                       "barcodes_2d",
                       "barcode_settings",
                       "document_settings",
                       "devmode",
                       "devmode_marker",
                       "devmode_layout",
                       "devmode_ftkn",
                       "public_devmode",
                       "registry",
                       "files",
                       "environment",
                       "render",
                       "pages",
                       "events",
                       "on_error",
                       "faults",
                       "comment"});
    ReadPrinter(root, dir, job);
    ReadSettingsRecords(root, job);
    ReadRegistrySection(root, job);
    ReadDriveFiles(root, dir, job);
    ReadEnvironment(root, file, job);
    ReadRender(root, job);
    ReadCalls(root, dir, job);
    return job;
}

Job LoadJob(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) throw JobError("cannot read the job file");
    std::ostringstream ss;
    ss << in.rdbuf();
    fs::path dir = file.parent_path();
    if (dir.empty()) dir = ".";
    return ParseJob(ss.str(), file, dir);
}

}  // namespace kxhost
