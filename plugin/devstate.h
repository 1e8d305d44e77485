// The per-device state (EnablePDEV ... DisablePDEV) and the three GDI hooks
// the plug-in installs: text out, escape and start document.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Creates the device state; null when it cannot be created or set up.
OEM_PDEV* EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, GDIINFO* pGdiInfo, ULONG cjDevInfo,
                     DEVINFO* pDevInfo, DRVENABLEDATA* pded);
// Fills a fresh device state: colours, palette, device fonts, host entries.
BOOL OEMEnablePDEV(OEM_PDEV* pOemPDev, PDEVOBJ pdevobj, PWSTR pPrinterName, GDIINFO* pGdiInfo,
                   ULONG cjDevInfo, DEVINFO* pDevInfo, DRVENABLEDATA* pded);
// Frees the device state; a job still open is ended first (and marked as
// broken off in the user's registry).
HRESULT OEMDisablePDEV(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);

// The hooks of the DDI table.
BOOL KX_STDCALL OEMStartDoc(SURFOBJ* pso, PWSTR pwszDocName, DWORD dwJobId);
BOOL KX_STDCALL OEMTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco,
                           RECTL* prclExtra, RECTL* prclOpaque, BRUSHOBJ* pboFore,
                           BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);
ULONG KX_STDCALL OEMEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut,
                           PVOID pvOut);

// The last non-zero job id seen by OEMStartDoc.
DWORD LastJobId();

}  // namespace kx
