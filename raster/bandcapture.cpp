// The raster path is not written yet: bands are refused with E_NOTIMPL.
#include "raster/bandcapture.h"

#include "diag/trace.h"

namespace kx {

HRESULT CaptureBand(PDEVOBJ, PBYTE, PBITMAPINFOHEADER, PBYTE, DWORD, PIPPARAMS)
{
    Trace(u"ERROR UNI(BildVerarbeitung):  CaptureBand() noch nicht vorhanden - E_NOTIMPL \r\n");
    return E_NOTIMPL;
}

HRESULT FilterGraphicsLine(PDEVOBJ, PBYTE, DWORD)
{
    Trace(u"ERROR UNI(FilterGraphics):  FilterGraphicsLine() noch nicht vorhanden - E_NOTIMPL \r\n");
    return E_NOTIMPL;
}

}  // namespace kx
