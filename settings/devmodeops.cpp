#include "settings/devmodeops.h"

#include "diag/trace.h"
#include "settings/devmode.h"

namespace kx {

namespace {

// The conversion cache: one record, the printer handle it was read for and a
// marker. Process-wide and unguarded; it serves one printer at a time.
KX_DEVMODE gKX_DevmodeCache;
HANDLE gKX_HandleGespeichert = INVALID_HANDLE_VALUE;
BOOL gKX_DevmodeGespeichert = FALSE;

}  // namespace

// The devmode operations are not written yet.
HRESULT hrOEMDevMode(DWORD dwMode, POEMDMPARAM)
{
    Trace(u"ERROR UNI(devmodeUNI):  hrOEMDevMode() dwMode: %u noch nicht vorhanden \r\n", dwMode);
    return E_NOTIMPL;
}

void ResetDevmodeCache()
{
    gKX_DevmodeGespeichert = FALSE;
    gKX_HandleGespeichert = INVALID_HANDLE_VALUE;
    (void)gKX_DevmodeCache;
}

}  // namespace kx
