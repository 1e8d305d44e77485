// The text hook with arbitrary text: one whole job through the COM interface
// as the driver host drives it (DllGetClassObject, CreateInstance,
// EnableDriver, EnablePDEV, the hooked DrvStartDoc, the job, page and
// document callbacks), with private devmode values and a series of
// DrvTextOut calls taken from the input. Text comes from any application
// into the spooler process, so nothing of it may be trusted.
//
// The string, font and brush objects are those of kxrender (host/text.h):
// the glyph positions are served by STROBJ_bEnumPositionsOnly in batches,
// the metrics by FONTOBJ_pifi, from this program's exports (host/gdi.cpp).
//
// Input (a byte reader; missing bytes read as 0):
//   settings   codepage (0..20), switches, dwLabelType, dwFlags, page
//              counts, user fonts, identifier, model features, colours,
//              the interface's protocol and text log, surface bits
//   texts      up to 24 text calls until the input ends; each picks a face
//              (table or raw), device font index, position, size, the text
//              (raw UTF-16, a table text, a long run, or both), batch size,
//              flAccel and flFontType bits, colours, opaque rectangle; it
//              may drop arguments, start a new page, or move the glyphs and
//              rectangles to the edges of the coordinate range
//
// libFuzzer build (clang, KX_LIBFUZZER and KX_SANITIZE on): inputs of
// several thousand glyphs need -max_len of about 20000.
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/format.h"
#include "core/jobheap.h"
#include "host/gdi.h"
#include "host/text.h"
#include "platform/platform.h"
#include "platform/sim.h"
#include "settings/cmdids.h"
#include "support/jobsetup.h"

KX_EXPORT HRESULT KX_STDCALL DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
KX_EXPORT HRESULT KX_STDCALL DllCanUnloadNow();

namespace {

struct Reader {
    const std::uint8_t* p;
    std::size_t n;
    std::uint8_t U8()
    {
        if (!n) return 0;
        --n;
        return *p++;
    }
    std::uint16_t U16() { return static_cast<std::uint16_t>(U8() | (U8() << 8)); }
    std::uint32_t U32() { return U16() | (std::uint32_t(U16()) << 16); }
    std::int32_t S32() { return static_cast<std::int32_t>(U32()); }
    // Values at and around the edges are more likely than raw ones.
    std::int32_t Coord()
    {
        static constexpr std::int32_t kEdges[] = {
            0,       1,       -1,          100,         -100,     32767, -32768, 65536,
            INT_MAX, INT_MIN, INT_MAX / 2, INT_MIN / 2, 10000000, 832,   1200,   -5000};
        std::uint8_t sel = U8();
        if (sel < 16) return kEdges[sel];
        if (sel < 128) return static_cast<std::int8_t>(U8()) * 16 + sel;
        return S32();
    }
    std::u16string Units(std::size_t count)
    {
        std::u16string s(count, u'\0');
        for (auto& c : s) c = static_cast<char16_t>(U16());
        return s;
    }
};

// Faces: the vector and command fonts, barcode fonts, ordinary Windows fonts
// and the user fonts the settings below may name.
constexpr const char16_t* kFaces[] = {u"Swiss 721 LP",
                                      u"Swiss 721 Bold LP",
                                      u"Swiss 721 Light Italic",
                                      u"Helvetica Bold",
                                      u"Helvetica",
                                      u"Helvetica-Bold Oblique",
                                      u"KXPL Command LP",
                                      u"KX RFID",
                                      u"Monospace 821 ZPL",
                                      u"OCR-B",
                                      u"Arial",
                                      u"Times New Roman",
                                      u"Tahoma",
                                      u"KX Code 128",
                                      u"Code 128 LP",
                                      u"KX EAN 13",
                                      u"KX Code 39 2:1",
                                      u"KX Code 2/5 interleaved 3:1",
                                      u"KX GS1 128",
                                      u"KX PZN-Code 2:1",
                                      u"KX Code 128 B",
                                      u"User Font",
                                      u"User Font Italic",
                                      u"User Font Kursiv",
                                      u"",
                                      u"Swiss 721 LP Italiques",
                                      u"Font2 Slot",
                                      u"Helvetica Fett Cursiva"};
constexpr std::size_t kFaceCount = sizeof(kFaces) / sizeof(kFaces[0]);

// Texts: the heading markers of document labels, placeholders and records of
// the command font, barcode contents and the recall identifier.
constexpr const char16_t* kTexts[] = {u"<h1>",
                                      u"</h1>",
                                      u"Label 42",
                                      u"<@1>",
                                      u"<#NUM>",
                                      u"<!ROTATE>",
                                      u"AM[1234]",
                                      u"BM[]",
                                      u"=SC(1;2)",
                                      u"[=NA:5]",
                                      u">+CR>+LF",
                                      u"~1",
                                      u"1234567890128",
                                      u"ABC-123/x",
                                      u"#MC#name",
                                      u" ",
                                      u"\u00E4\u00F6\u00FC\u00DF",
                                      u"\uFFFE\uFFFF",
                                      u"\xD800",
                                      u"\xDC00X",
                                      u"\U0001F600"};
constexpr std::size_t kTextCount = sizeof(kTexts) / sizeof(kTexts[0]);

// kxrender's text objects take the values its job files allow (host/jobfile.cpp);
// the edges of the coordinate range are applied to the finished objects.
constexpr std::int32_t kPlace = 100000;

std::int32_t Within(std::int32_t v, std::int32_t limit)
{
    return v < -limit ? -limit : v > limit ? limit : v;
}

// Two's complement addition, for positions pushed past the edges.
LONG Wrapped(LONG a, std::int32_t b)
{
    return static_cast<LONG>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::u16string Face(Reader& in, std::uint8_t sel)
{
    if (sel < kFaceCount) return kFaces[sel];
    return in.Units(in.U8() % 40);  // any name, longer than the 32 units the plug-in keeps
}

struct Args {
    std::uint8_t drop = 0;  // arguments passed as null: bit i is argument i
    std::uint16_t accelXor = 0;
    std::uint16_t fontTypeXor = 0;
    std::uint32_t opaqueColour = 0x00FFFFFF;
    bool dropOpaqueRect = false;
    bool edges = false;  // the opaque rectangle below replaces the given one
    RECTL opaque{};
} gArgs;
PFN_DrvTextOut gHook = nullptr;
bool gDropped = false;

// Sits between kxrender's text call and the plug-in's hook: changes the
// accelerator and font-type bits and drops the arguments the input asks for.
BOOL KX_STDCALL Forward(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                        RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                        MIX mix)
{
    pstro->flAccel ^= gArgs.accelXor;
    pfo->flFontType ^= gArgs.fontTypeXor;
    pboOpaque->iSolidColor = gArgs.opaqueColour;
    if (gArgs.edges && prclOpaque) *prclOpaque = gArgs.opaque;
    const std::uint8_t d = gArgs.drop;
    gDropped = (d & ~0x10) != 0;  // all but the extra rectangle are required
    return gHook((d & 0x01) ? nullptr : pso, (d & 0x02) ? nullptr : pstro,
                 (d & 0x04) ? nullptr : pfo, (d & 0x08) ? nullptr : pco,
                 (d & 0x10) ? nullptr : prclExtra, gArgs.dropOpaqueRect ? nullptr : prclOpaque,
                 (d & 0x20) ? nullptr : pboFore, (d & 0x40) ? nullptr : pboOpaque,
                 (d & 0x80) ? nullptr : pptlOrg, mix);
}

void Settings(Reader& in, kxtest::TestDevice& d, kxtest::JobPrinter& printer, int* surfaceBits,
              bool* landscape)
{
    KX_DEVMODE& dm = d.devmode;
    dm.wCodepage = static_cast<WORD>(in.U8() % 21);
    const std::uint8_t sw = in.U8();
    dm.wCrystalActive = sw & 0x01;
    dm.wTTFDesegm = (sw >> 1) & 1;
    dm.wBMPverwenden = (sw >> 2) & 1;
    dm.wTTFverwenden = (sw >> 3) & 1;  // 0: vector fonts on
    dm.wCodepageSenden = (sw >> 4) & 1;
    if (sw & 0x20) dm.szPassword[0] = u'?';  // a record that is not genuine
    *landscape = sw & 0x40;
    dm.dmOrientation = *landscape ? 2 : 1;
    dm.dwLabelType = in.U8() % 4;
    dm.wBelegFontH1 = in.U8();
    dm.dwFlags = in.U32();
    dm.wMehrereSeiten = in.U8() % 12;
    dm.wMehrereReihen = in.U8() % 12;
    dm.wAnzahlFonts = in.U8();
    dm.szIdentSign[0] = static_cast<WCHAR>(in.U16());
    // User font names in the 16 slots of szWindowsFontName and szWindowsFontName2.
    const std::uint16_t slots = in.U16();
    for (int i = 0; i < 16; ++i) {
        if (!(slots & (1u << i))) continue;
        std::u16string name = Face(in, in.U8());
        WCHAR* slot = i < 8 ? dm.szWindowsFontName[i] : dm.szWindowsFontName2[i - 8];
        kx::Copy(slot, 33, name.substr(0, 32));
    }
    if (in.U8() & 1) kx::Copy(dm.szMemCardRecallKennung, 61, u"#MC#");
    dm.FixedData.dwDocFeatures = in.U32();
    dm.wDruckmodus = in.U8() % 4;
    dm.wFarbband = in.U8() % 9;
    dm.dwColorTolerance = in.U16();

    PRN_INTERFACE pi = kxtest::QuietInterface();
    const std::uint8_t iface = in.U8();
    pi.dwExtendedProtocol = iface & 1;
    pi.bLogFileEnable = (iface >> 1) & 1;  // the text log
    kx::Copy(pi.wcLogFilePath, PRN_PATH_CHARS, u"C:\\out\\");
    printer.SetInterface(pi);
    static constexpr int kBits[] = {1, 8, 24, 24};
    *surfaceBits = kBits[(iface >> 2) & 3];
}

kxhost::TextItem Text(Reader& in, int index)
{
    kxhost::TextItem t;
    t.where = "text " + std::to_string(index);
    const std::uint8_t font = in.U8();
    t.face = Face(in, font & 0x3F);
    if (font & 0x40) t.deviceFont = in.U8();  // 1-based; 0 and large ones too
    const std::uint8_t style = in.U8();
    t.bold = style & 0x01;
    t.italic = style & 0x02;
    t.weight = (style & 0x04) ? 700 : 400;
    t.direction = ((style >> 3) & 3) * 90;
    const bool explicitPositions = style & 0x20;
    if (style & 0x40) t.advance = Within(in.Coord(), 10000);
    const bool opaque = style & 0x80;
    t.x = Within(in.Coord(), kPlace);
    t.y = Within(in.Coord(), kPlace);
    t.height = 1 + in.U16() % 10000;
    t.width = in.U16() % 10001;

    const std::uint8_t kind = in.U8();
    const std::uint8_t pick = in.U8();
    switch (kind & 3) {
        case 0:
            t.text = in.Units(in.U16() % 4096);
            break;
        case 1:
            t.text = kTexts[pick % kTextCount];
            break;
        case 2: {  // a long run of one unit, up to 8191 glyphs
            const std::size_t count = in.U16() % 8192;
            t.text.assign(count, static_cast<char16_t>(in.U16()));
            break;
        }
        default:
            t.text = kTexts[pick % kTextCount];
            t.text += in.Units(in.U8());
            break;
    }
    if (explicitPositions) {
        t.positions.resize(t.text.size());
        std::int32_t x = t.x, y = t.y;
        for (auto& p : t.positions) {
            p = {x, y};
            x = Within(x + static_cast<std::int8_t>(in.U8()), kPlace);
            y = Within(y + static_cast<std::int8_t>(in.U8()), kPlace);
        }
    }
    t.enumBatch = in.U16() % 600;
    t.colour = in.U32();
    if (opaque) {
        t.opaque.emplace();
        for (auto& v : *t.opaque) v = Within(in.Coord(), kPlace);
    }
    return t;
}

void Run(Reader& in)
{
    static kxtest::JobPrinter* printer = [] {
        kxtest::ScratchSimulation("kxfuzz-textout");
        // Jobs start and end at a fixed time, so that runs repeat.
        kx::plat::sim::SetClock(kx::plat::SystemTime{2026, 12, 1, 7, 9, 30, 0, 0});
        kx::plat::CreateDirectory(u"C:\\out");
        return new kxtest::JobPrinter(u"Fuzz label.txt", 1);
    }();
    // The text log is appended to by every job that keeps one; a fresh one
    // each time keeps the runs alike and the disk small.
    kx::plat::DeleteFile(u"C:\\out\\KX Test Printer.log");
    kxhost::GdiHost& gdi = kxhost::GdiHost::Get();
    gdi.ResetRecords();
    const int uniBlocks = kx::iHAllocZaehlerUNI;
    const int uniObjects = kx::iNewZaehlerUNI;
    const std::int64_t heapBlocks = kx::plat::GetHeapStats().liveBlocks;

    kxtest::TestDevice d(false);
    kxtest::PrepareForJob(d, *printer);
    d.uni.keep = false;
    int surfaceBits = 24;
    bool landscape = false;
    Settings(in, d, *printer, &surfaceBits, &landscape);
    d.publicDM.dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    d.devobj.pdevOEM = nullptr;  // the plug-in's EnablePDEV makes the device state

    IClassFactory* factory = nullptr;
    kxtest::Require(DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory,
                                      reinterpret_cast<void**>(&factory)) == S_OK);
    IPrintOemUni* uni = nullptr;
    factory->CreateInstance(nullptr, IID_IPrintOemUni, reinterpret_cast<void**>(&uni));
    factory->Release();
    kxtest::Require(uni != nullptr);
    uni->PublishDriverInterface(&d.uni);
    DRVENABLEDATA hooks{};
    kxtest::Require(uni->EnableDriver(0x10000, sizeof(hooks), &hooks) == S_OK);
    PFN_DrvStartDoc startDoc = nullptr;
    for (ULONG i = 0; i < hooks.c; ++i) {
        if (hooks.pdrvfn[i].iFunc == INDEX_DrvTextOut)
            gHook = reinterpret_cast<PFN_DrvTextOut>(hooks.pdrvfn[i].pfn);
        if (hooks.pdrvfn[i].iFunc == INDEX_DrvStartDoc)
            startDoc = reinterpret_cast<PFN_DrvStartDoc>(hooks.pdrvfn[i].pfn);
    }
    kxtest::Require(gHook && startDoc);

    // The surface as kxrender sets it up for a 300 dpi model (host/session.cpp).
    kxhost::Surface surface;
    surface.bits = surfaceBits;
    surface.dpi = 300;
    surface.page = {0, 0, 1181, 591};
    surface.so.dhpdev = d.dev();
    surface.so.sizlBitmap = {surface.page.right, surface.page.bottom};
    surface.so.iBitmapFormat = surfaceBits == 1 ? 1 : surfaceBits == 8 ? 3 : 4;  // BMF_*
    GDIINFO gdiInfo{};
    gdiInfo.cBitsPixel = static_cast<ULONG>(surfaceBits);
    gdiInfo.ulNumColors = surfaceBits == 1 ? 2 : surfaceBits == 8 ? 256 : 0xFFFFFFFF;
    gdiInfo.ulHorzRes = 1181;
    gdiInfo.ulVertRes = 591;
    gdiInfo.ulLogPixelsX = gdiInfo.ulLogPixelsY = 300;
    DEVINFO devInfo{};
    devInfo.cFonts = 21;
    devInfo.iDitherFormat = surface.so.iBitmapFormat;
    WCHAR name[] = u"KX Test Printer";
    PDEVOEM pdevOEM = nullptr;
    uni->EnablePDEV(d.dev(), name, 0, nullptr, sizeof(gdiInfo), &gdiInfo, sizeof(devInfo), &devInfo,
                    gdi.HostDdi(), &pdevOEM);
    d.devobj.pdevOEM = pdevOEM;
    if (pdevOEM) {
        startDoc(&surface.so, nullptr, kxtest::kJobId);
        auto cmd = [&](DWORD id, std::vector<DWORD> params = {}) {
            INT result = 0;
            uni->CommandCallback(d.dev(), id, static_cast<DWORD>(params.size()),
                                 params.empty() ? nullptr : params.data(), &result);
        };
        cmd(kx::CMDID_START_JOB);
        cmd(kx::CMDID_START_DOC);
        cmd(landscape ? kx::CMDID_LANDSCAPE : kx::CMDID_PORTRAIT);
        cmd(kx::CMDID_CUSTOM_PAPERSIZE, {591, 1181, 0});
        cmd(kx::CMDID_COPIES, {1});
        cmd(kx::CMDID_START_PAGE);
        ULONG uniq = 1;
        for (int i = 0; i < 24 && in.n; ++i) {
            const std::uint8_t call = in.U8();
            gArgs.drop = (call & 0x07) == 0x07 ? in.U8() : 0;  // rarely: null arguments
            gArgs.dropOpaqueRect = call & 0x08;
            if (call & 0x10) {
                gArgs.accelXor = in.U16();
                gArgs.fontTypeXor = in.U16();
            } else {
                gArgs.accelXor = gArgs.fontTypeXor = 0;
            }
            gArgs.opaqueColour = (call & 0x20) ? in.U32() : 0x00FFFFFF;
            if (call & 0x40) {  // the text goes on the next page
                cmd(kx::CMDID_END_PAGE);
                cmd(kx::CMDID_START_PAGE);
            }
            kxhost::TextCall text(Text(in, i), surface, uniq++);
            gArgs.edges = call & 0x80;
            if (gArgs.edges) {
                // Every glyph moved by the same amount, past the edges of the
                // range if so; the background box and opaque rectangle anywhere.
                const std::int32_t dx = in.Coord(), dy = in.Coord();
                for (GLYPHPOS& g : const_cast<std::vector<GLYPHPOS>&>(text.Glyphs()))
                    g.ptl = {Wrapped(g.ptl.x, dx), Wrapped(g.ptl.y, dy)};
                RECTL& box = const_cast<STROBJ&>(text.String()).rclBkGround;
                box = {in.Coord(), in.Coord(), in.Coord(), in.Coord()};
                gArgs.opaque = {in.Coord(), in.Coord(), in.Coord(), in.Coord()};
            }
            const BOOL ok = text.Draw(&Forward);
            // With every argument there, the call is taken or handed back
            // (the host's DrvTextOut answers TRUE); only missing ones refuse.
            if (!gDropped) kxtest::Require(ok == TRUE);
        }
        cmd(kx::CMDID_END_PAGE);
        cmd(kx::CMDID_END_DOC);
        cmd(kx::CMDID_END_JOB);
        uni->DisablePDEV(d.dev());
        kxtest::Require(d.devobj.pdevOEM == nullptr);
    }
    uni->DisableDriver();
    kxtest::Require(uni->Release() == 0);

    // Everything given back: references, objects, blocks, palettes; and the
    // plug-in asked the engine only about objects it was handed.
    kxtest::Require(d.uni.refs == 1);
    kxtest::Require(DllCanUnloadNow() == S_OK);
    kxtest::Require(kx::iHAllocZaehlerUNI == uniBlocks);
    kxtest::Require(kx::iNewZaehlerUNI == uniObjects);
    kxtest::Require(kx::plat::GetHeapStats().liveBlocks == heapBlocks);
    kxtest::Require(gdi.LivePalettes() == 0);
    kxtest::Require(gdi.problems.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    Run(in);
    return 0;
}
