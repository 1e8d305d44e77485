// OEM_PDEV: the plug-in's state for one device context, from EnablePDEV to
// DisablePDEV. The per-job structures hang off pOp while a job runs.
#pragma once

#include "core/jobdata.h"
#include "platform/unidrv.h"
#include "core/devmode.h"

struct OEM_PDEV {
    PFN_DrvTextOut pfnUnidrvTextOut;  // the host's own entries, from its DRVENABLEDATA
    PFN_DrvEscape pfnUnidrvEscape;
    PFN_DrvStartDoc pfnUnidrvStartDoc;
    HPALETTE hPalette;  // PAL_BGR palette of 24-bit surfaces
    DWORD cPalColors;   // 256 or 2 colour-table entries of the page bitmap
    DWORD dwJobId;
    KX_POP* pOp;
    HANDLE hOpHeap;
    WORD iNewZaehler;     // live worker objects
    WORD iHAllocZaehler;  // heap blocks held by the job
};

// Typed access to what the host hands over with every call.
inline OEM_PDEV* GetOemPDev(const DEVOBJ* pdevobj)
{
    return pdevobj ? static_cast<OEM_PDEV*>(pdevobj->pdevOEM) : nullptr;
}
inline KX_DEVMODE* GetKxDevmode(const DEVOBJ* pdevobj)
{
    return pdevobj ? static_cast<KX_DEVMODE*>(pdevobj->pOEMDM) : nullptr;
}
