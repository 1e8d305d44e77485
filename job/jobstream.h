// The job-stream handlers that the command callbacks dispatch to at the job,
// document and page boundaries.
#pragma once

#include "platform/unidrv.h"

namespace kx {

HRESULT StartJob(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);
HRESULT StartDoc(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);
HRESULT StartPage(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);
HRESULT EndPage(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);
HRESULT EndDoc(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);
HRESULT EndJob(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);

}  // namespace kx
