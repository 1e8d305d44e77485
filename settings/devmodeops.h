// The devmode requests of the driver host and the process-wide conversion
// cache that DisablePDEV resets.
#pragma once

#include "platform/unidrv.h"

namespace kx {

HRESULT hrOEMDevMode(DWORD dwMode, POEMDMPARAM pOemDMParam);

// Forgets the record cached for the last printer handle.
void ResetDevmodeCache();

}  // namespace kx
