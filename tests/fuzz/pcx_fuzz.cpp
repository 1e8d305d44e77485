// The run-length coder, the PCX graphics records, the D records and the line
// records of the graphics filter with arbitrary images and settings.
//
// Input: 16 bytes of settings (image width and height, resolution, label
// flags and layout, offsets, comments), then the image's bytes, repeated to
// fill the image. Every coding is decoded again and must give its input
// back.
#include <cstdint>
#include <cstring>
#include <vector>

#include "raster/bandcapture.h"
#include "raster/pcx.h"
#include "raster/rle.h"
#include "support/testdevice.h"

namespace {

void CheckRoundTrip(const std::uint8_t* data, std::size_t size)
{
    std::vector<BYTE> coded(kx::RunLengthWorstCase(size));
    const std::size_t n = kx::EncodeRunLength({data, size}, coded);
    if (n != kx::RunLengthSize({data, size}) || n > coded.size()) __builtin_trap();
    std::vector<BYTE> back(size + 1);
    if (kx::DecodeRunLength({coded.data(), n}, back) != size) __builtin_trap();
    if (size && std::memcmp(back.data(), data, size) != 0) __builtin_trap();
    // Decoding arbitrary bytes never writes beyond its output.
    std::vector<BYTE> out(size / 2 + 1);
    kx::DecodeRunLength({data, size}, out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckRoundTrip(data, size);
    if (size < 16) return 0;

    const std::uint8_t* s = data;
    const int width = 1 + ((s[0] | (s[1] << 8)) % 1200);
    const int height = 1 + ((s[2] | (s[3] << 8)) % 400);
    kxtest::TestDevice t;
    t.WithRaster(0, 0, 0);
    DEVMODEW& pub = t.publicDM;
    KX_DEVMODE& dm = t.devmode;
    DruckDaten& dd = t.data;
    Treiberstrukturen& ts = t.settings;
    Bildverarbeitung& bv = t.bv;
    kxtest::FakeDriverUni& sink = t.uni;
    sink.keep = false;
    sink.readEveryByte = true;
    DEVOBJ& devobj = t.devobj;

    dm.FixedData.wMasterUnit = static_cast<WORD>(s[4] % 4 == 0 ? 0 : 150 + s[4]);
    dm.FixedData.wPrintHeadWidth = static_cast<WORD>(s[5] * 8);
    dm.FixedData.dwHeadWidthByte = s[5];
    dm.FixedData.dwDocFeatures = (s[6] & 1) ? DOC_FEATURE_UTF8 : 0;
    dm.dwFlags = ((s[6] & 2) ? PDMFLAG_DREHEN : 0) | ((s[6] & 4) ? PDMFLAG_MULTICOL : 0) |
                 ((s[6] & 8) ? kx::PDMFLAG_DREHEN_O_FORMAT : 0);
    dm.wMehrereSeiten = s[7] % 4;
    dm.wMehrereReihen = (s[7] >> 2) % 4;
    dm.wMehrereSeitenAusrichtung = (s[7] >> 4) & 1;
    dm.wMehrereSeitenAbstand = s[8];
    dm.sMultiColNumber = s[9] % 5;
    dm.dwMultiLabelWidth = static_cast<WORD>(s[9] * 7);
    dm.dwLabelType = (s[6] & 16) ? 2 : 0;
    dm.wBelegOffset = s[10];
    dm.wFarbband = s[10] % 9;
    dm.dwWinkel = (s[6] & 32) ? 90 : 0;
    pub.dmPaperWidth = static_cast<SHORT>(s[11] * 8);
    pub.dmPaperLength = static_cast<SHORT>(s[11] * 5);
    dd.cStart = '^';
    dd.cEnd = '_';
    dd.bCompress = s[12] & 1;
    dd.bLandscape_CC = (s[12] >> 1) & 1;
    dd.dwWinkel_CC = ((s[12] >> 2) & 3) * 90;
    dd.dwDocFeatures = DOC_FEATURE_QUALITY | ((s[12] & 16) ? DOC_FEATURE_COLORPRINT : 0);
    dd.iBitmapOffset = static_cast<std::int8_t>(s[13]) * 1000;
    dd.iBitmapOffsetLinks = static_cast<std::int8_t>(s[14]) * 1000;
    dd.wSeitennummer = s[13] % 4;
    dd.dwLabelWidth = s[14] * 10u;
    dd.dwLabelLength = s[15] * 10u;
    dd.nLeftMargin = static_cast<std::int8_t>(s[15]) * 8;
    ts.prnInterface.dwPrnFileComment = s[15] % 4;
    bv.bmInfoHeader.biBitCount = (s[12] & 32) ? 24 : 1;
    bv.bmInfoHeader.biWidth = width;

    // The image: bottom-up one-bit rows, filled from the input.
    const DWORD sl = ((DWORD(width) + 31) / 32) * 4;
    std::vector<BYTE> image(std::size_t(sl) * height);
    const std::uint8_t* px = data + 16;
    const std::size_t npx = size - 16;
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = npx ? px[i % npx] : 0xFF;
    const kx::MonoImage mono{image.data(), width, height, sl, nullptr, 0, 1};

    const BOOL colour = (s[12] >> 6) & 1;
    const WORD end = kx::SendPCX(&devobj, &sink, mono, colour);
    if (end > height) __builtin_trap();
    kx::SendDSatz(&devobj, &sink, mono, colour);

    // The same bytes as lines of the graphics filter, both forms.
    for (DWORD c : {0u, 1u}) {
        dd.bCompress = c;
        dd.dwLine = 9990;
        for (int row = 0; row < 12 && row < height; ++row)
            kx::FilterGraphicsLine(&devobj, &sink, image.data() + std::size_t(row) * sl, sl);
        kx::FilterGraphicsLine(&devobj, &sink, const_cast<BYTE*>(data), static_cast<DWORD>(size));
    }
    return 0;
}
