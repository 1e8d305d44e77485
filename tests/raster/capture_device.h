// A test device with the raster members of a job: the page image record
// with its colour tables, the band parts, the page heap, the line buffer.
#pragma once

#include <string>
#include <vector>

#include "raster/bandcapture.h"
#include "support/device.h"

namespace kxtest {

struct RasterDevice : TestDevice {
    Bildverarbeitung bv{};
    Bildanteile ba{};
    RGBQUAD table[256]{};
    RGBQUAD saved[256]{};
    BYTE graphBuf[GRAPHBUF_SIZE]{};

    RasterDevice()
    {
        op.pBildverarbeitung = &bv;
        op.pBildanteile = &ba;
        op.hBufferHeap = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x1000));
        op.pGraphBuf = graphBuf;
        bv.prgbq = table;
        // 254 dots per inch: one dot is a tenth of a millimetre, so sizes in
        // the records can be read off directly.
        devmode.FixedData.wMasterUnit = 254;
        devmode.FixedData.lMaxSizeX = 1000;
        devmode.FixedData.lMaxSizeY = 2000;
        devmode.FixedData.wPrintHeadWidth = 1040;
        devmode.FixedData.dwHeadWidthByte = 130;
    }
    ~RasterDevice() { kx::vFreeBuffer(&pdev); }

    std::string Page() const
    {
        return bv.pBufStart ? std::string(reinterpret_cast<const char*>(bv.pBufStart), bv.dwBufSize)
                            : std::string();
    }
};

inline BITMAPINFOHEADER BandHeader(LONG width, LONG height, WORD bits, DWORD sizeImage)
{
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biSizeImage = sizeImage;
    return h;
}

inline std::string Bytes(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

}  // namespace kxtest
