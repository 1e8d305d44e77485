// Band capture with arbitrary band headers and sizes, portrait and landscape.
//
// Input: 12 bytes of device setup (orientation, paper length and width,
// resolution, the model's largest page, colour printing), then bands of 20
// header bytes each (width, height, bit count, image size, callback id, blank
// flag). A band's bits (as many as its image size, below 256 KiB) repeat the
// input that follows its header. The model's page is kept to at most 1023
// dots a side so that a page buffer stays below 4 MiB.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/sim.h"
#include "raster/bandcapture.h"
#include "support/testdevice.h"

namespace {

struct Reader {
    const std::uint8_t* p;
    std::size_t n;
    std::uint32_t U32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t(U8()) << (8 * i);
        return v;
    }
    std::uint16_t U16() { return static_cast<std::uint16_t>(U8() | (U8() << 8)); }
    std::uint8_t U8()
    {
        if (!n) return 0;
        --n;
        return *p++;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool clockFixed = [] {
        // Out-of-memory paths wait; with a fixed clock the wait only advances it.
        kx::plat::sim::SetClock(kx::plat::SystemTime{2026, 12, 6, 5, 0, 0, 0, 0});
        return true;
    }();
    (void)clockFixed;

    Reader in{data, size};
    kxtest::TestDevice t(false);
    t.WithRaster(0, 0, 0);
    t.pdev.pOp = &t.op;
    t.op.pDruckDaten = &t.data;
    DEVMODEW& pub = t.publicDM;
    KX_DEVMODE& dm = t.devmode;
    OEM_PDEV& pdev = t.pdev;
    DruckDaten& dd = t.data;
    Bildverarbeitung& bv = t.bv;
    RGBQUAD* table = t.tables[0];
    RGBQUAD* saved = t.tables[1];
    DEVOBJ& devobj = t.devobj;

    pub.dmOrientation = static_cast<SHORT>(in.U8() % 3);
    pub.dmPaperLength = static_cast<SHORT>(in.U16());
    pub.dmPaperWidth = static_cast<SHORT>(in.U16());
    dm.FixedData.wMasterUnit = in.U16();
    dm.FixedData.lMaxSizeX = in.U16() & 0x3FF;
    dm.FixedData.lMaxSizeY = in.U16() & 0x3FF;
    const std::uint8_t flags = in.U8();
    if (flags & 1) dd.dwDocFeatures |= DOC_FEATURE_COLORPRINT;
    if (flags & 2) bv.prgbqSaved = saved;

    bv.prgbq = (flags & 4) ? nullptr : table;
    devobj.pPublicDM = (flags & 8) ? nullptr : &pub;

    for (int band = 0; band < 40 && in.n >= 20; ++band) {
        BITMAPINFOHEADER h{};
        h.biSize = sizeof(h);
        h.biWidth = static_cast<LONG>(in.U32());
        h.biHeight = static_cast<LONG>(in.U32());
        h.biBitCount = in.U16();
        h.biPlanes = 1;
        // The host hands over as many bits as the header's image size says.
        h.biSizeImage = in.U32() & 0x3FFFF;
        IPPARAMS ip{};
        ip.dwSize = sizeof(ip);
        const std::uint8_t callback = in.U8();
        ip.bBlankBand = in.U8() & 1;
        in.U32();  // reserved for later header fields
        std::vector<BYTE> bits(h.biSizeImage ? h.biSizeImage : 1);
        for (std::size_t i = 0; i < bits.size(); i += in.n ? in.n : bits.size()) {
            if (in.n)
                std::memcpy(&bits[i], in.p, std::min(in.n, bits.size() - i));
            else
                std::memset(bits.data(), 0x5A, bits.size());
        }
        kx::CaptureBand(&devobj, bits.data(), &h, nullptr, callback % 8, &ip);
        if ((bv.pBufStart == nullptr) != (bv.dwBufSize == 0)) __builtin_trap();
        if (bv.dwBufSize > kx::MaxPageBufferSize(dm.FixedData)) __builtin_trap();
    }
    kx::vFreeBuffer(&pdev);
    if (pdev.iHAllocZaehler != 0) __builtin_trap();
    return 0;
}
