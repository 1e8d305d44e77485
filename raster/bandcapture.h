// Band capture: the raster the driver host renders, collected into one page
// buffer (ImageProcessing), and the line path of the graphics filter.
#pragma once

#include "platform/unidrv.h"

namespace kx {

HRESULT CaptureBand(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                    PBYTE pColorTable, DWORD dwCallbackID, PIPPARAMS pIPParams);
HRESULT FilterGraphicsLine(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen);

}  // namespace kx
