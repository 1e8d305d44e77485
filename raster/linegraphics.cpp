// The line path of the graphics filter: when the page does not go through
// band capture, the host hands over one 1-bit raster line at a time and each
// line is sent at once.
//
//   bCompress 1  run-length line record, built in the 768-byte pGraphBuf:
//                0x1B 'A' 0x01, X offset (bytes, LE16), length (LE16), data
//   otherwise    D record: "%cD%04u%03d%03u" (start character, line number,
//                X offset in bytes, byte count), the line, the end character
//
// Lines whose record cannot be expressed are skipped with a trace instead of
// sending something the printer would misread:
//   - a run-length record longer than pGraphBuf (possible from 381 bytes of
//     line on) is built in a buffer of its own and sent whole; only a coding
//     beyond the 16-bit length field (lines of more than 32767 bytes) is
//     skipped;
//   - a D record whose line number exceeds 9999, or whose offset or count
//     lies outside 0..999, does not fit the fixed 12-character header and is
//     skipped.
#include <algorithm>
#include <cstring>

#include "core/format.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "core/output.h"
#include "raster/bandcapture.h"
#include "raster/rle.h"

namespace kx {

namespace {

constexpr std::size_t kLineHeader = 7;
constexpr std::size_t kMaxRleLength = 0xFFFF;

void PutLe16(BYTE* p, std::uint32_t v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

void PutLineHeader(BYTE* p, LONG lXOffset, std::size_t rleLength)
{
    p[0] = 0x1B;
    p[1] = 'A';
    p[2] = 0x01;
    PutLe16(p + 3, static_cast<std::uint32_t>(lXOffset));
    PutLe16(p + 5, static_cast<std::uint32_t>(rleLength));
}

HRESULT SendRleLine(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, BYTE* pGraphBuf,
                    std::span<const BYTE> line, LONG lXOffset)
{
    const std::size_t room = GRAPHBUF_SIZE - kLineHeader;
    std::size_t rleLength;
    if (RunLengthWorstCase(line.size()) <= room || (rleLength = RunLengthSize(line)) <= room) {
        rleLength = EncodeRunLength(line, {pGraphBuf + kLineHeader, room});
        PutLineHeader(pGraphBuf, lXOffset, rleLength);
        return SendData(kChannelRaster, pdevobj, pUniDrv, pGraphBuf,
                        static_cast<DWORD>(kLineHeader + rleLength));
    }
    if (rleLength > kMaxRleLength) {
        Trace(
            u"ERROR UNI(FilterGraphics):  FilterGraphics() Zeile mit %u Bytes RLE-Daten zu lang, "
            u"nicht gesendet \r\n",
            rleLength);
        return E_FAIL;
    }
    Trace(
        u"UNI(FilterGraphics):  FilterGraphics() %u Bytes RLE-Daten passen nicht in pGraphBuf, "
        u"eigener Puffer \r\n",
        rleLength);
    auto* p = static_cast<BYTE*>(plat::HeapAlloc(kLineHeader + rleLength, false));
    if (!p) return E_FAIL;
    EncodeRunLength(line, {p + kLineHeader, rleLength});
    PutLineHeader(p, lXOffset, rleLength);
    HRESULT hr =
        SendData(kChannelRaster, pdevobj, pUniDrv, p, static_cast<DWORD>(kLineHeader + rleLength));
    plat::HeapFree(p);
    return hr;
}

HRESULT SendRawLine(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const DruckDaten& d,
                    std::span<const BYTE> line, LONG lXOffset)
{
    if (d.dwLine > 9999 || lXOffset < 0 || lXOffset > 999 || line.size() > 999) {
        Trace(
            u"ERROR UNI(FilterGraphics):  FilterGraphics() D-Satz passt nicht - dwLine: %u, "
            u"Offset: %d, dwLen: %u, nicht gesendet \r\n",
            d.dwLine, lXOffset, line.size());
        return S_OK;
    }
    char header[32];
    if (FAILED(Format(header, "%cD%04u%03d%03u", d.cStart, d.dwLine, lXOffset,
                      static_cast<DWORD>(line.size())))) {
        Trace(u"ERROR UNI(FilterGraphics):  StringCchPrintfA() failed\r\n");
        return E_FAIL;
    }
    HRESULT hr = SendData(kChannelRaster, pdevobj, pUniDrv, header,
                          static_cast<DWORD>(Length(header, sizeof(header))));
    if (SUCCEEDED(hr))
        hr = SendData(kChannelRaster, pdevobj, pUniDrv, line.data(),
                      static_cast<DWORD>(line.size()));
    if (SUCCEEDED(hr)) hr = SendData(kChannelRaster, pdevobj, pUniDrv, &d.cEnd, 1);
    return hr;
}

}  // namespace

HRESULT FilterGraphicsLine(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, PBYTE pBuf, DWORD dwLen)
{
    OEM_PDEV* pOemPDev = GetOemPDev(pdevobj);
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op) {
        Trace(u"ERROR UNI(FilterGraphics):  FilterGraphics() ERROR pOemPDev->pOp = NULL \r\n");
        return E_FAIL;
    }
    DruckDaten* d = op->pDruckDaten;
    if (!d) {
        Trace(u"ERROR UNI(FilterGraphics):  FilterGraphics() ERROR pDruckDaten = NULL \r\n");
        return E_FAIL;
    }
    if (!op->pGraphBuf) {
        Trace(
            u"ERROR UNI(FilterGraphics):  FilterGraphics() pGraphBuf = NULL, ist "
            u"DOC_FEATURE_QUALITY aktiv? \r\n");
        return E_FAIL;
    }
    if (!pBuf && dwLen) return E_FAIL;

    ++d->dwLine;
    std::memset(op->pGraphBuf, 0, GRAPHBUF_SIZE);
    // The X offset in bytes; the 32-bit fields are added without overflow.
    const auto lXOffset =
        static_cast<LONG>(static_cast<std::int64_t>(d->nLeftMargin) + d->lCursorX / 8);
    std::span<const BYTE> line(pBuf, dwLen);

    HRESULT hr = d->bCompress == 1 ? SendRleLine(pdevobj, pUniDrv, op->pGraphBuf, line, lXOffset)
                                   : SendRawLine(pdevobj, pUniDrv, *d, line, lXOffset);
    d->lCursorX = d->nCursorOriginX;
    return FAILED(hr) ? E_FAIL : S_OK;
}

}  // namespace kx
