// Device state and the GDI hooks: what EnablePDEV sets up, how the hooks pass
// calls on to the driver host, and how DisablePDEV treats an open job.
#include <gtest/gtest.h>

#include <cstring>

#include "job/jobstream.h"
#include "plugin/devstate.h"
#include "plugin/intrface.h"
#include "support/device.h"
#include "support/jobsetup.h"

// The engine calls, served from this test program's exports as the host
// program serves them.
namespace {
int gPalettesCreated = 0;
int gPalettesDeleted = 0;
ULONG gLastPaletteMode = 0;
int gPaletteObject = 0;
}  // namespace

extern "C" __attribute__((visibility("default"))) HPALETTE EngCreatePalette(ULONG iMode, ULONG,
                                                                            ULONG*, FLONG, FLONG,
                                                                            FLONG)
{
    ++gPalettesCreated;
    gLastPaletteMode = iMode;
    return &gPaletteObject;
}

extern "C" __attribute__((visibility("default"))) BOOL EngDeletePalette(HPALETTE hpal)
{
    if (hpal == &gPaletteObject) ++gPalettesDeleted;
    return TRUE;
}

namespace {

using kxtest::SimSandbox;
using kxtest::TestDevice;

// The host's own entries, recorded.
int gHostStartDocCalls = 0;
DWORD gHostStartDocJobId = 0;
int gHostTextOutCalls = 0;
BOOL KX_STDCALL HostStartDoc(SURFOBJ*, PWSTR, DWORD dwJobId)
{
    ++gHostStartDocCalls;
    gHostStartDocJobId = dwJobId;
    return TRUE;
}
BOOL KX_STDCALL HostTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
                            BRUSHOBJ*, POINTL*, MIX)
{
    ++gHostTextOutCalls;
    return TRUE;
}
ULONG KX_STDCALL HostEscape(SURFOBJ*, ULONG iEsc, ULONG, PVOID, ULONG, PVOID)
{
    return iEsc + 1;
}

struct HostTable {
    DRVFN fns[4] = {{INDEX_DrvStartDoc, reinterpret_cast<PFN>(&HostStartDoc)},
                    {7, nullptr},
                    {INDEX_DrvTextOut, reinterpret_cast<PFN>(&HostTextOut)},
                    {INDEX_DrvEscape, reinterpret_cast<PFN>(&HostEscape)}};
    DRVENABLEDATA ded{0x30100, 4, fns};
};

struct Surface {
    GDIINFO gdi{};
    DEVINFO devinfo{};
    HostTable host;
};

TEST(EnablePDEV, TrueColourSurfaceGetsAPaletteAndRasterizerCaps)
{
    TestDevice d(false);
    Surface s;
    s.gdi.ulNumColors = 0xFFFFFFFF;
    s.gdi.cBitsPixel = 24;
    s.devinfo.cFonts = 12;
    s.devinfo.iDitherFormat = 0x10;
    int before = gPalettesCreated;
    OEM_PDEV* p = kx::EnablePDEV(d.dev(), const_cast<char16_t*>(u"KX Test"), &s.gdi,
                                 sizeof(DEVINFO), &s.devinfo, &s.host.ded);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(gPalettesCreated, before + 1);
    EXPECT_EQ(gLastPaletteMode, PAL_BGR);
    EXPECT_EQ(p->hPalette, &gPaletteObject);
    EXPECT_EQ(s.devinfo.hpalDefault, &gPaletteObject);
    EXPECT_EQ(s.devinfo.iDitherFormat, 0x15u);
    EXPECT_EQ(s.devinfo.flGraphicsCaps, GCAPS_FONT_RASTERIZER);
    EXPECT_EQ(s.devinfo.cFonts, 12u);
    EXPECT_EQ(p->cPalColors, 256u);
    EXPECT_EQ(p->pOp, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(p->pfnUnidrvStartDoc),
              reinterpret_cast<void*>(&HostStartDoc));
    EXPECT_EQ(reinterpret_cast<void*>(p->pfnUnidrvTextOut), reinterpret_cast<void*>(&HostTextOut));
    EXPECT_EQ(reinterpret_cast<void*>(p->pfnUnidrvEscape), reinterpret_cast<void*>(&HostEscape));

    d.devobj.pdevOEM = p;
    int deleted = gPalettesDeleted;
    EXPECT_EQ(kx::OEMDisablePDEV(d.dev(), &d.uni), S_OK);
    EXPECT_EQ(gPalettesDeleted, deleted + 1);
    EXPECT_EQ(d.devobj.pdevOEM, nullptr);
}

// Other surfaces: a palette for 24 bits only; a bitmap-only devmode hides
// the device fonts unless the surface has two colours, which leaves DEVINFO
// alone; a DEVINFO shorter than hpalDefault is written back only so far.
TEST(EnablePDEV, OtherSurfacesAndShortDevinfo)
{
    struct Case {
        ULONG colours, bits, devinfoSize;
        WORD bitmapOnly;
        ULONG fonts, caps;
    } const cases[] = {
        {256, 8, sizeof(DEVINFO), 1, 0, 0},
        {2, 1, sizeof(DEVINFO), 1, 12, 0},
        {16, 24, offsetof(DEVINFO, hpalDefault), 0, 12, GCAPS_FONT_RASTERIZER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colours);
        TestDevice d(false);
        d.devmode.wBMPverwenden = c.bitmapOnly;
        Surface s;
        s.gdi.ulNumColors = c.colours;
        s.gdi.cBitsPixel = c.bits;
        s.devinfo.cFonts = 12;
        s.devinfo.hpalDefault = reinterpret_cast<HPALETTE>(0x1234);
        const int created = gPalettesCreated;
        OEM_PDEV* p = kx::EnablePDEV(d.dev(), nullptr, &s.gdi, c.devinfoSize, &s.devinfo,
                                     c.colours == 256 ? &s.host.ded : nullptr);
        ASSERT_NE(p, nullptr);
        // Only a 24-bit surface gets a palette (here not handed back).
        EXPECT_EQ(gPalettesCreated, created + (c.bits == 24));
        EXPECT_EQ(p->hPalette != nullptr, c.bits == 24);
        EXPECT_EQ(s.devinfo.hpalDefault, reinterpret_cast<HPALETTE>(0x1234));
        EXPECT_EQ(s.devinfo.cFonts, c.fonts);
        EXPECT_EQ(s.devinfo.flGraphicsCaps, c.caps);
        EXPECT_EQ(p->cPalColors, c.colours == 2 ? 2u : 256u);
        delete p;
    }
}

TEST(Hooks, StartDocRemembersTheLastJobId)
{
    TestDevice d(false);
    d.pdev.pfnUnidrvStartDoc = &HostStartDoc;
    SURFOBJ so{};
    so.dhpdev = d.dev();
    EXPECT_TRUE(kx::OEMStartDoc(&so, nullptr, 17));
    EXPECT_EQ(d.pdev.dwJobId, 17u);
    EXPECT_EQ(kx::LastJobId(), 17u);
    d.pdev.dwJobId = 0;
    EXPECT_TRUE(kx::OEMStartDoc(&so, nullptr, 0));
    EXPECT_EQ(d.pdev.dwJobId, 17u);
    EXPECT_EQ(gHostStartDocJobId, 0u);  // the host gets the arguments as received
    SURFOBJ none{};
    EXPECT_FALSE(kx::OEMStartDoc(&none, nullptr, 5));
    EXPECT_FALSE(kx::OEMStartDoc(nullptr, nullptr, 5));
    EXPECT_EQ(kx::LastJobId(), 17u);
}

TEST(Hooks, TextOutChecksItsArgumentsAndHandsTextBack)
{
    TestDevice d(false);
    d.pdev.pfnUnidrvTextOut = &HostTextOut;
    SURFOBJ so{};
    so.dhpdev = d.dev();
    STROBJ str{};
    FONTOBJ font{};
    CLIPOBJ clip{};
    BRUSHOBJ fore{}, opaque{};
    POINTL org{};
    int calls = gHostTextOutCalls;
    EXPECT_TRUE(kx::OEMTextOut(&so, &str, &font, &clip, nullptr, nullptr, &fore, &opaque, &org, 0));
    EXPECT_EQ(gHostTextOutCalls, calls + 1);
    EXPECT_FALSE(
        kx::OEMTextOut(&so, &str, &font, nullptr, nullptr, nullptr, &fore, &opaque, &org, 0));
    EXPECT_FALSE(
        kx::OEMTextOut(&so, &str, &font, &clip, nullptr, nullptr, &fore, &opaque, nullptr, 0));
    EXPECT_EQ(gHostTextOutCalls, calls + 1);
}

TEST(Hooks, EscapeGoesToTheHost)
{
    TestDevice d(false);
    SURFOBJ so{};
    so.dhpdev = d.dev();
    EXPECT_EQ(kx::OEMEscape(&so, 41, 0, nullptr, 0, nullptr), 0u);  // no host entry
    d.pdev.pfnUnidrvEscape = &HostEscape;
    EXPECT_EQ(kx::OEMEscape(&so, 41, 0, nullptr, 0, nullptr), 42u);
}

TEST(DisablePDEV, OpenJobIsEndedAndFreed)
{
    SimSandbox sandbox;
    kxtest::JobPrinter printer;
    printer.SetInterface(kxtest::QuietInterface());
    TestDevice d(false);
    kxtest::PrepareForJob(d, printer);
    OEM_PDEV* p = new OEM_PDEV{};
    p->dwJobId = kxtest::kJobId;
    d.devobj.pdevOEM = p;
    ASSERT_EQ(kx::StartJob(d.dev(), &d.uni), S_OK);
    ASSERT_NE(p->pOp, nullptr);
    EXPECT_EQ(kx::OEMDisablePDEV(d.dev(), &d.uni), S_OK);
    // (Its marker for the next job: the host's
    // JobStream.BrokenJobIsContinuedByTheNextRun.) The job end freed the
    // job, so the device state went as well.
    EXPECT_EQ(d.devobj.pdevOEM, nullptr);
    EXPECT_EQ(kx::OEMDisablePDEV(d.dev(), &d.uni), S_OK);  // no state left: nothing to do
}

}  // namespace
