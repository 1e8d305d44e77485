// Dispatch of the driver host's command callbacks: a table from command id
// to handler. The job, document and page boundaries go to the job stream,
// copies, paper size, form feed and line feed to the label geometry
// (job/labelgeometry.h); orientation, cursor moves, module side and
// memory-card switching are single values of the job kept here.
#pragma once

#include "core/oempdev.h"
#include "settings/cmdids.h"

namespace kx {

HRESULT CommandCallbackOEM(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams,
                           INT* piResult, IPrintOemDriverUni* pUniDrv);

}  // namespace kx
