#include "plugin/devstate.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/jobcontext.h"
#include "core/trace.h"
#include "job/jobstream.h"
#include "objects/textout.h"
#include "platform/engine.h"
#include "platform/platform.h"
#include "plugin/guard.h"
#include "settings/devmodeops.h"

namespace kx {

namespace {

// The last non-zero job id that OEMStartDoc saw: the host calls DrvStartDoc
// again with id 0 for later documents of the same job.
DWORD gLastJobId = 0;

constexpr ULONG kHookedIndices[3] = {INDEX_DrvTextOut, INDEX_DrvEscape, INDEX_DrvStartDoc};

PFN FindHostEntry(const DRVENABLEDATA* pded, ULONG index)
{
    if (!pded || !pded->pdrvfn) return nullptr;
    for (ULONG i = 0; i < pded->c; ++i)
        if (pded->pdrvfn[i].iFunc == index) return pded->pdrvfn[i].pfn;
    return nullptr;
}

}  // namespace

DWORD LastJobId()
{
    return gLastJobId;
}

BOOL OEMEnablePDEV(OEM_PDEV* pOemPDev, PDEVOBJ pdevobj, PWSTR pPrinterName, GDIINFO* pGdiInfo,
                   ULONG cjDevInfo, DEVINFO* pDevInfo, DRVENABLEDATA* pded)
{
    Trace(
        u"UNI(enable):  OEMEnablePDEV() Start - pGdiInfo->cBitsPixel: %d, pDriverName: %s, "
        u"ulNumColors: %d \r\n",
        pGdiInfo ? pGdiInfo->cBitsPixel : 0, pPrinterName, pGdiInfo ? pGdiInfo->ulNumColors : 0);
    std::memset(pOemPDev, 0, sizeof(*pOemPDev));

    if (pGdiInfo && pGdiInfo->ulNumColors > 2) {
        DEVINFO copy{};
        std::size_t n = pDevInfo ? std::min<std::size_t>(cjDevInfo, sizeof(DEVINFO)) : 0;
        if (n) std::memcpy(&copy, pDevInfo, n);
        const KX_DEVMODE* priv = GetKxDevmode(pdevobj);
        if (priv) {
            if (priv->wBMPverwenden == 1) copy.cFonts = 0;  // print everything as bitmap
            Trace(u"UNI(enable):  OEMEnablePDEV() ForceColor: %d \r\n", priv->wDruckmodus);
        }
        pOemPDev->cPalColors = 256;
        if (pGdiInfo->cBitsPixel == 24) {
            copy.iDitherFormat |= 5;
            copy.flGraphicsCaps |= GCAPS_FONT_RASTERIZER;
            HPALETTE hpal = engine::EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
            copy.hpalDefault = hpal;
            pOemPDev->hPalette = hpal;
            Trace(u"UNI(enable):  OEMEnablePDEV() erzeuge Palette PAL_BGR \r\n");
        }
        if (cjDevInfo && pDevInfo) std::memcpy(pDevInfo, &copy, n);
    } else {
        pOemPDev->cPalColors = 2;
    }

    pOemPDev->pfnUnidrvTextOut =
        reinterpret_cast<PFN_DrvTextOut>(FindHostEntry(pded, kHookedIndices[0]));
    pOemPDev->pfnUnidrvEscape =
        reinterpret_cast<PFN_DrvEscape>(FindHostEntry(pded, kHookedIndices[1]));
    pOemPDev->pfnUnidrvStartDoc =
        reinterpret_cast<PFN_DrvStartDoc>(FindHostEntry(pded, kHookedIndices[2]));
    return TRUE;
}

OEM_PDEV* EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, GDIINFO* pGdiInfo, ULONG cjDevInfo,
                     DEVINFO* pDevInfo, DRVENABLEDATA* pded)
{
    OEM_PDEV* pOemPDev = new (std::nothrow) OEM_PDEV;
    if (!pOemPDev) {
        Trace(u"ERROR UNI(enable):  EnablePDEV() kein Speicher fuer OEM_PDEV \r\n");
        return nullptr;
    }
    if (!OEMEnablePDEV(pOemPDev, pdevobj, pPrinterName, pGdiInfo, cjDevInfo, pDevInfo, pded)) {
        delete pOemPDev;
        return nullptr;
    }
    return pOemPDev;
}

HRESULT OEMDisablePDEV(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    OEM_PDEV* pOemPDev = GetOemPDev(pdevobj);
    if (!pOemPDev) return S_OK;

    JobContext ctx(pdevobj, pUniDrv);
    if (ctx.Has(kNeedSettings | kNeedFiles)) {
        // The job was broken off: end it here and leave a marker so that the
        // next job continues its page numbering.
        Trace(u"UNI(enable):  OEMDisablePDEV() ACHTUNG: pTreiberstrukturen ist noch aktiv \r\n");
        ++pOemPDev->iNewZaehler;
        const char16_t* key = ctx.Files()->szRegKey;
        std::uint32_t err = plat::RegSetDword(plat::Hive::CurrentUser, key, u"DAAbbruch", 1);
        if (err != 0) Trace(u"UNI(enable):  OEMDisablePDEV() HCU %s ERROR %d \r\n", key, err);
        ctx.Settings()->bDisablePDEV = 1;
        Trace(
            u"UNI(enable):  OEMDisablePDEV(END_JOB) ACHTUNG: Seitennummern sichern und Löschen "
            u"der Strukturen nachholen. Rufe END_DOC und END_JOB manuell auf. bDisablePDEV: %d "
            u"\r\n",
            ctx.Settings()->bDisablePDEV);
        // The job end runs even when the document end failed half-way, so
        // that the job's blocks are freed.
        Guarded<HRESULT>(u"OEMDisablePDEV(END_DOC)", E_OUTOFMEMORY, E_FAIL,
                         [&] { return EndDoc(pdevobj, pUniDrv); });
        Guarded<HRESULT>(u"OEMDisablePDEV(END_JOB)", E_OUTOFMEMORY, E_FAIL,
                         [&] { return EndJob(pdevobj, pUniDrv); });
        --pOemPDev->iNewZaehler;
        // The device state itself goes as well once the job end has freed the
        // job. If it could not, the state stays: freeing it would lose the
        // only way to the job's blocks.
        if (ctx.Has(kNeedJob)) return S_OK;
    }

    if (pOemPDev->hPalette) engine::EngDeletePalette(pOemPDev->hPalette);
    Trace(u"UNI(enable):  OEMDisablePDEV() loesche pOemPDev: 0x%x \r\n",
          static_cast<const void*>(pOemPDev));
    delete pOemPDev;
    pdevobj->pdevOEM = nullptr;
    ResetDevmodeCache();
    return S_OK;
}

BOOL KX_STDCALL OEMStartDoc(SURFOBJ* pso, PWSTR pwszDocName, DWORD dwJobId)
{
    return Guarded<BOOL>(u"OEMStartDoc", FALSE, [&]() -> BOOL {
        PDEVOBJ pdevobj = pso ? static_cast<PDEVOBJ>(pso->dhpdev) : nullptr;
        OEM_PDEV* pOemPDev = GetOemPDev(pdevobj);
        if (!pOemPDev) return FALSE;
        if (dwJobId != 0) {
            pOemPDev->dwJobId = dwJobId;
            gLastJobId = dwJobId;
        } else {
            pOemPDev->dwJobId = gLastJobId;
        }
        Trace(u"UNI(ddihook):  OEMStartDoc() dwJobId: %u, pOemPDev->dwJobId: %u \r\n", dwJobId,
              pOemPDev->dwJobId);
        if (!pOemPDev->pfnUnidrvStartDoc) return TRUE;  // nothing of the host's to run
        return pOemPDev->pfnUnidrvStartDoc(pso, pwszDocName, dwJobId);
    });
}

BOOL KX_STDCALL OEMTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco,
                           RECTL* prclExtra, RECTL* prclOpaque, BRUSHOBJ* pboFore,
                           BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix)
{
    // A failure inside the interception answers TRUE: the text is dropped,
    // the page goes on.
    return Guarded<BOOL>(u"OEMTextOut", TRUE, [&]() -> BOOL {
        struct {
            const void* p;
            const char16_t* name;
        } const required[] = {
            {pso, u"pso"},         {pstro, u"pstro"},         {pfo, u"pfo"},        {pco, u"pco"},
            {pboFore, u"pboFore"}, {pboOpaque, u"pboOpaque"}, {pptlOrg, u"pptlOrg"}};
        for (const auto& r : required) {
            if (!r.p) {
                Trace(u"UNI(ddihook):  OEMTextOut() Start %s == NULL  \r\n", r.name);
                return FALSE;
            }
        }
        TextOutResult result;
        try {
            result = InterceptTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore,
                                      pboOpaque, pptlOrg, mix);
        } catch (...) {
            Trace(u"UNI(ddihook):  OEMTextOut() TextOut() Exception  \r\n");
            throw;
        }
        if (result == TextOutResult::Taken) return TRUE;
        if (result == TextOutResult::Failed) return FALSE;
        // Text the plug-in does not take prints through the host's own text out.
        OEM_PDEV* pOemPDev = GetOemPDev(static_cast<PDEVOBJ>(pso->dhpdev));
        if (!pOemPDev || !pOemPDev->pfnUnidrvTextOut) return FALSE;
        return pOemPDev->pfnUnidrvTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore,
                                          pboOpaque, pptlOrg, mix);
    });
}

ULONG KX_STDCALL OEMEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut,
                           PVOID pvOut)
{
    return Guarded<ULONG>(u"OEMEscape", 0, [&]() -> ULONG {
        OEM_PDEV* pOemPDev = GetOemPDev(pso ? static_cast<PDEVOBJ>(pso->dhpdev) : nullptr);
        if (!pOemPDev || !pOemPDev->pfnUnidrvEscape) return 0;
        return pOemPDev->pfnUnidrvEscape(pso, iEsc, cjIn, pvIn, cjOut, pvOut);
    });
}

}  // namespace kx
