// Bitmap: construction, headers, saving, pixel access and geometry.
#include "raster/bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "core/jobcontext.h"
#include "core/jobheap.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "raster/bandcapture.h"

namespace kx {

namespace {

// The largest pixel block a Bitmap takes: DataSize is a DWORD and the BMP
// file size (DataSize plus headers and table) must fit one too. Anything
// larger is refused like a failed allocation.
constexpr std::uint64_t kMaxDataSize = 0xFFFFFFFFull - 54 - 1024;

bool SupportedBpp(int bpp)
{
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

std::uint64_t ScanLineBytes(int bpp, int width)
{
    return ((std::uint64_t(bpp) * std::uint64_t(width) + 31) / 32) * 4;
}

Bildverarbeitung* PageRecord(OEM_PDEV* pOemPDev)
{
    return JobContext(pOemPDev).PageImage();
}

// Rounds half away from zero into 16 bits, as every dimension of the raster
// code is rounded: truncate into 16 bits, then step up (or down) by one.
WORD RoundU16(float x)
{
    if (!std::isfinite(x)) return 0;
    double t = std::clamp(double(x), -9.0e18, 9.0e18);
    auto w = static_cast<std::uint16_t>(static_cast<std::int64_t>(t));
    if (x > 0) {
        if (x >= w + 0.5) return WORD(w + 1);
    } else if (w - 0.5 >= x) {
        return WORD(w - 1);
    }
    return w;
}

void PutU16(BYTE* p, unsigned v)
{
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
}
void PutU32(BYTE* p, DWORD v)
{
    for (int i = 0; i < 4; ++i) p[i] = BYTE(v >> (8 * i));
}

// 5-6-5 components widened to eight bits by repeating their top bits, so
// that 0xFFFF reads as white.
DWORD Colour565(unsigned v)
{
    unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return RGBColour(BYTE((r << 3) | (r >> 2)), BYTE((g << 2) | (g >> 4)),
                     BYTE((b << 3) | (b >> 2)));
}

}  // namespace

Bitmap::Bitmap(OEM_PDEV* pOemPDev, int iWidth, int iHeight, int iBpp, const BYTE* source,
               int Format)
    : m_pOemPDev(pOemPDev)
{
    widthM1 = iWidth - 1;
    heightM1 = iHeight - 1;
    DataSize = 0;
    if (m_pOemPDev) ++m_pOemPDev->iNewZaehler;

    Bildverarbeitung* rec = PageRecord(pOemPDev);
    if (iWidth < 1 || iHeight < 1) {
        Trace(u"ERROR UNI(Bitmap):  Bitmap() Ende - falsche Bitmapdaten - W: %d, H: %d \r\n",
              iWidth, iHeight);
        return;
    }
    if (!rec) {
        Trace(u"ERROR UNI(Bitmap):  Bitmap() Ende - pBildverarbeitung = NULL \r\n");
        return;
    }
    // Only the depths of a DIB are built; any other depth would have no
    // defined row layout (and a colour table larger than Palette).
    std::uint64_t sls = ScanLineBytes(iBpp, iWidth);
    if (!SupportedBpp(iBpp) || sls * std::uint64_t(iHeight) > kMaxDataSize) {
        Trace(
            u"ERROR UNI(Bitmap):  Bitmap() Ende - falsche Bitmapdaten - W: %d, H: %d, Bpp: %d \r\n",
            iWidth, iHeight, iBpp);
        return;
    }

    Width = iWidth;
    Height = iHeight;
    Bpp = iBpp;
    ScanLineSize = DWORD(sls);
    DataSize = DWORD(sls * std::uint64_t(iHeight));
    InitHeader();
    InitInfo(BMP_INFO_HEADER_TYPE);

    if (Format == BM_TAKE_PAGE) {
        if (source && source == rec->pBufStart && rec->dwBufSize >= DataSize) {
            TakePage(pOemPDev);
            return;
        }
        Format = BM_FLIP;
    }

    Data = static_cast<BYTE*>(plat::HeapAlloc(DataSize, false));
    if (!Data) {
        Trace(u"ERROR UNI(Bitmap):  Bitmap() HeapAlloc Buffer ERROR \r\n");
        DataSize = 0;
        return;
    }
    ++iHAllocZaehlerUNI;
    std::memset(Data, 0xFF, DataSize);
    std::memset(Palette, 0xFF, sizeof(Palette));

    if (!source) {
        Trace(u"UNI(Bitmap):  Bitmap() leeres Bitmap erzeugt - W: %d, H: %d, Bpp: %d \r\n", Width,
              Height, Bpp);
        return;
    }
    DWORD n = std::min(DataSize, rec->dwBufSize);
    if (Format != BM_FLIP) {
        Trace(u"UNI(Bitmap):  Bitmap() erstelle 1:1 Kopie \r\n");
        std::memcpy(Data, source, n);
        return;
    }
    // The page buffer holds the picture's top row first: turn it over. A
    // short buffer gives only its whole rows, turned within that height.
    DWORD rows = DWORD(Height);
    if (rec->dwBufSize < DataSize) {
        rows = rec->dwBufSize / ScanLineSize;
        Trace(u"UNI(Bitmap):  Bitmap() Höhe korrigiert: %d \r\n", rows);
    }
    for (DWORD r = 0; r < rows; ++r) {
        std::uint64_t from = std::uint64_t(r) * ScanLineSize;
        std::uint64_t to = std::uint64_t(rows - 1 - r) * ScanLineSize;
        if (from + ScanLineSize > n || to + ScanLineSize > n) {
            Trace(u"ERROR UNI(Bitmap):  Bitmap() memcpy_s ERROR %d \r\n", r);
            break;
        }
        std::memcpy(Data + to, source + from, ScanLineSize);
    }
}

// The page buffer becomes the pixel block: its rows, top row first, are
// swapped end for end in place, which is the turn BM_FLIP makes while
// copying. Bytes of the block behind DataSize are not part of the picture.
void Bitmap::TakePage(OEM_PDEV* pOemPDev)
{
    Data = TakePageBuffer(pOemPDev);
    ++iHAllocZaehlerUNI;
    std::memset(Palette, 0xFF, sizeof(Palette));
    for (int top = 0, bottom = Height - 1; top < bottom; ++top, --bottom) {
        BYTE* a = Data + std::size_t(top) * ScanLineSize;
        BYTE* b = Data + std::size_t(bottom) * ScanLineSize;
        std::swap_ranges(a, a + ScanLineSize, b);
    }
}

Bitmap::~Bitmap()
{
    Trace(u"UNI(Bitmap):  Bitmap::~Bitmap() Objekt löschen \r\n");
    FreeData();
    if (m_pOemPDev) --m_pOemPDev->iNewZaehler;
}

void Bitmap::FreeData()
{
    if (!Data) return;
    plat::HeapFree(Data);
    Data = nullptr;
    --iHAllocZaehlerUNI;
}

Bitmap& Bitmap::operator=(const Bitmap& other)
{
    if (this == &other) return *this;
    BYTE* block = nullptr;
    if (other.Data && other.DataSize > 0) {
        block = static_cast<BYTE*>(plat::HeapAlloc(other.DataSize, false));
        if (!block) {
            // Keep this bitmap whole rather than half taken over.
            Trace(u"ERROR UNI(Bitmap):  Bitmap::operator=() HeapAlloc Buffer ERROR \r\n");
            return *this;
        }
        ++iHAllocZaehlerUNI;
        std::memcpy(block, other.Data, other.DataSize);
    }
    BMPHeader = other.BMPHeader;
    BMPInfoHeader = other.BMPInfoHeader;
    InitInfo(BMP_INFO_HEADER_TYPE);
    if (Bpp < 16) std::memcpy(Palette, other.Palette, sizeof(Palette));
    FreeData();
    Data = block;
    if (!Data) DataSize = 0;
    return *this;
}

void Bitmap::TakeOver(Bitmap& other)
{
    BMPHeader = other.BMPHeader;
    BMPInfoHeader = other.BMPInfoHeader;
    InitInfo(BMP_INFO_HEADER_TYPE);
    if (Bpp < 16) std::memcpy(Palette, other.Palette, sizeof(Palette));
    FreeData();
    Data = other.Data;
    other.Data = nullptr;
    other.DataSize = 0;
}

void Bitmap::InitHeader()
{
    BMPHeader = {};
    BMPHeader.bfType = 0x4D42;
    BMPHeader.bfOffBits = 54;
    if (Bpp < 16) BMPHeader.bfOffBits += 4u << Bpp;
    BMPHeader.bfSize = BMPHeader.bfOffBits + DataSize;

    BMPInfoHeader = {};
    BMPInfoHeader.biSize = 40;
    BMPInfoHeader.biWidth = Width;
    BMPInfoHeader.biHeight = Height;
    BMPInfoHeader.biPlanes = 1;
    BMPInfoHeader.biBitCount = WORD(Bpp);
    BMPInfoHeader.biSizeImage = DataSize;
}

void Bitmap::InitInfo(int /*HeaderType*/)
{
    const BITMAPINFOHEADER& ih = BMPInfoHeader;
    if (ih.biSizeImage == 0) {
        DWORD palette = ih.biBitCount < 16 ? (4u << ih.biBitCount) : 0;
        BMPInfoHeader.biSizeImage = BMPHeader.bfSize - 54 - palette;
    }
    DataSize = ih.biSizeImage;
    Width = ih.biWidth;
    Height = ih.biHeight;
    Bpp = ih.biBitCount;
    ScanLineSize = DWORD(ScanLineBytes(Bpp, Width));
    widthM1 = Width - 1;
    heightM1 = Height - 1;
    switch (Bpp) {
        case 1:
            Colors = 2;
            break;
        case 4:
            Colors = 16;
            break;
        case 8:
            Colors = 256;
            break;
        case 16:
        case 24:
        case 32:
            Colors = 0;
            break;
        default:
            break;
    }
}

int Bitmap::Save(std::u16string_view path) const
{
    Trace(u"UNI(Bitmap):  Bitmap::Save() Start  \r\n");
    if (!Data || DataSize == 0) return BMP_SAVE_NO_FILE;
    plat::Handle h = plat::CreateFile(path, plat::kGenericWrite, 0, plat::kCreateAlways);
    if (h == plat::kInvalidHandle) {
        Trace(u"ERROR UNI(Bitmap):  Bitmap::Save() %s ERROR %d \r\n", path, plat::GetLastError());
        return BMP_SAVE_NO_FILE;
    }
    // The two headers, written field by field (little-endian on every build).
    BYTE head[54];
    PutU16(head + 0, BMPHeader.bfType);
    PutU32(head + 2, BMPHeader.bfSize);
    PutU16(head + 6, BMPHeader.bfReserved1);
    PutU16(head + 8, BMPHeader.bfReserved2);
    PutU32(head + 10, BMPHeader.bfOffBits);
    PutU32(head + 14, BMPInfoHeader.biSize);
    PutU32(head + 18, DWORD(BMPInfoHeader.biWidth));
    PutU32(head + 22, DWORD(BMPInfoHeader.biHeight));
    PutU16(head + 26, BMPInfoHeader.biPlanes);
    PutU16(head + 28, BMPInfoHeader.biBitCount);
    PutU32(head + 30, BMPInfoHeader.biCompression);
    PutU32(head + 34, BMPInfoHeader.biSizeImage);
    PutU32(head + 38, DWORD(BMPInfoHeader.biXPelsPerMeter));
    PutU32(head + 42, DWORD(BMPInfoHeader.biYPelsPerMeter));
    PutU32(head + 46, BMPInfoHeader.biClrUsed);
    PutU32(head + 50, BMPInfoHeader.biClrImportant);

    DWORD paletteBytes = 0;
    if (Bpp < 16 && BMPHeader.bfOffBits > 54)
        paletteBytes = std::min<DWORD>(BMPHeader.bfOffBits - 54, sizeof(Palette));

    int result = BMP_SAVE_OK;
    auto put = [&](const void* p, DWORD n) {
        std::uint32_t written = 0;
        if (result == BMP_SAVE_OK && (!plat::WriteFile(h, p, n, &written) || written != n))
            result = BMP_SAVE_WRITE_ERROR;
    };
    put(head, sizeof(head));
    if (paletteBytes) put(Palette, paletteBytes);
    put(Data, DataSize);
    plat::CloseHandle(h);
    if (result != BMP_SAVE_OK)
        Trace(u"ERROR UNI(Bitmap):  Bitmap::Save() %s WriteFile ERROR %d \r\n", path,
              plat::GetLastError());
    return result;
}

BOOL Bitmap::SetPalette(const RGBQUAD* entries)
{
    if (Bpp > 8 || !entries) return FALSE;
    std::memcpy(Palette, entries, sizeof(RGBQUAD) * std::clamp(Colors, 0, 256));
    return TRUE;
}

LONG Bitmap::SetPaletteColor(int index, DWORD colour)
{
    if (Bpp > 8 || index < 0 || index >= Colors || index > 255) return -1;
    RGBQUAD& q = Palette[index];
    LONG previous = LONG(RGBColour(q.rgbRed, q.rgbGreen, q.rgbBlue));
    q.rgbRed = RedOf(colour);
    q.rgbGreen = GreenOf(colour);
    q.rgbBlue = BlueOf(colour);
    return previous;
}

DWORD Bitmap::GetPixelColor(int x, int y) const
{
    if (!Data) return 0;
    if (x < 0 || y < 0 || x >= Width || y >= Height) return 0xFFFFFFFFu;
    const BYTE* row = Row(y);
    switch (Bpp) {
        case 1:
        case 4:
        case 8: {
            const RGBQUAD& q = Palette[GetPixelIndex(x, y)];
            return RGBColour(q.rgbRed, q.rgbGreen, q.rgbBlue);
        }
        case 16:
            return Colour565(row[2 * x] | (row[2 * x + 1] << 8));
        case 24:
            return RGBColour(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        case 32:
            return RGBColour(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
        default:
            return 0xFFFFFFFFu;
    }
}

void Bitmap::SetPixelColor(int x, int y, DWORD colour)
{
    if (!Data || x < 0 || y < 0 || x >= Width || y >= Height) return;
    BYTE* row = Row(y);
    BYTE r = RedOf(colour), g = GreenOf(colour), b = BlueOf(colour);
    switch (Bpp) {
        case 16: {
            unsigned v = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
            row[2 * x] = BYTE(v);
            row[2 * x + 1] = BYTE(v >> 8);
            break;
        }
        case 24:
        case 32: {
            // The fourth byte of a 32-bit pixel is left as it is.
            BYTE* p = row + x * (Bpp / 8);
            p[0] = b;
            p[1] = g;
            p[2] = r;
            break;
        }
        default:
            break;
    }
}

int Bitmap::GetPixelIndex(int x, int y) const
{
    if (!Data || x < 0 || y < 0 || x >= Width || y >= Height) return -1;
    const BYTE* row = Row(y);
    switch (Bpp) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case 4:
            return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        case 8:
            return row[x];
        default:
            return -1;
    }
}

void Bitmap::SetPixelIndex(int x, int y, int index)
{
    if (!Data || Bpp > 8 || index < 0 || index >= Colors) return;
    if (x < 0 || y < 0 || x >= Width || y >= Height) return;
    BYTE* row = Row(y);
    switch (Bpp) {
        case 1: {
            BYTE mask = BYTE(0x80 >> (x & 7));
            row[x >> 3] = index ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask);
            break;
        }
        case 4: {
            BYTE& b = row[x >> 1];
            b = (x & 1) ? BYTE((b & 0xF0) | index) : BYTE((b & 0x0F) | (index << 4));
            break;
        }
        case 8:
            row[x] = BYTE(index);
            break;
        default:
            break;
    }
}

// ------------------------------------------------------------ geometry

namespace {

// Copies one pixel between two bitmaps of the same depth: the whole pixel
// for byte-sized depths (for 32 bits only blue, green and red, as the colour
// functions do), the index for palette depths below eight bits.
struct PixelMover {
    int bytes;  // 0 for 1 and 4 bits
    int bpp;
    explicit PixelMover(int depth) : bytes(depth >= 8 ? depth / 8 : 0), bpp(depth) {}
    int copyBytes() const { return bytes == 4 ? 3 : bytes; }
};

// Transposes an 8 x 8 matrix of bits held row by row, row 0 in the most
// significant byte and column 0 in each byte's most significant bit.
std::uint64_t TransposeBits8x8(std::uint64_t x)
{
    x = (x & 0xAA55AA55AA55AA55ull) | ((x & 0x00AA00AA00AA00AAull) << 7) |
        ((x >> 7) & 0x00AA00AA00AA00AAull);
    x = (x & 0xCCCC3333CCCC3333ull) | ((x & 0x0000CCCC0000CCCCull) << 14) |
        ((x >> 14) & 0x0000CCCC0000CCCCull);
    x = (x & 0xF0F0F0F00F0F0F0Full) | ((x & 0x00000000F0F0F0F0ull) << 28) |
        ((x >> 28) & 0x00000000F0F0F0F0ull);
    return x;
}

}  // namespace

BOOL Bitmap::Rotate90(OEM_PDEV* pOemPDev)
{
    if (!Data || DataSize == 0) return TRUE;
    Bitmap turned(pOemPDev, Height, Width, Bpp);
    if (turned.DataSize == 0) return FALSE;
    std::memcpy(turned.Palette, Palette, sizeof(Palette));

    // Destination pixel (y', x) takes source pixel (x, Height - 1 - y'),
    // i.e. destination row x is source column x read from the bottom up.
    // Source row Height - 1 - y' is storage row y'.
    PixelMover mv(Bpp);
    if (mv.bytes > 0) {
        // Tiles keep both the strided reads and the writes in the cache.
        auto turn = [&](auto bytesTag, auto copyTag) {
            constexpr int B = decltype(bytesTag)::value;
            constexpr int N = decltype(copyTag)::value;
            constexpr int kTile = 64;
            for (int x0 = 0; x0 < Width; x0 += kTile) {
                const int x1 = std::min(Width, x0 + kTile);
                for (int y0 = 0; y0 < Height; y0 += kTile) {
                    const int y1 = std::min(Height, y0 + kTile);
                    for (int x = x0; x < x1; ++x) {
                        BYTE* dst = turned.Row(x) + std::size_t(y0) * B;
                        const BYTE* src =
                            Data + std::size_t(y0) * ScanLineSize + std::size_t(x) * B;
                        for (int yp = y0; yp < y1; ++yp, dst += B, src += ScanLineSize)
                            for (int k = 0; k < N; ++k) dst[k] = src[k];
                    }
                }
            }
        };
        using std::integral_constant;
        switch (mv.bytes) {
            case 1:
                turn(integral_constant<int, 1>{}, integral_constant<int, 1>{});
                break;
            case 2:
                turn(integral_constant<int, 2>{}, integral_constant<int, 2>{});
                break;
            case 3:
                turn(integral_constant<int, 3>{}, integral_constant<int, 3>{});
                break;
            default:
                turn(integral_constant<int, 4>{}, integral_constant<int, 3>{});
                break;
        }
    } else if (Bpp == 1) {
        // Storage row y' of the source is destination column y': eight
        // source rows by one byte form an 8 x 8 block of dots that is
        // transposed at once. Rows beyond the picture read as white, which
        // is what the destination's padding bits hold.
        const int bytesPerRow = (Width + 7) / 8;
        for (int yp0 = 0; yp0 < Height; yp0 += 8) {
            const int rows = std::min(8, Height - yp0);
            const std::size_t at = std::size_t(yp0) >> 3;
            for (int bx = 0; bx < bytesPerRow; ++bx) {
                std::uint64_t block = 0;
                for (int i = 0; i < 8; ++i) {
                    const BYTE b = i < rows ? Data[std::size_t(yp0 + i) * ScanLineSize + bx] : 0xFF;
                    block = (block << 8) | b;
                }
                if (block == ~std::uint64_t(0)) continue;  // all white already
                block = TransposeBits8x8(block);
                const int cols = std::min(8, Width - 8 * bx);
                for (int k = 0; k < cols; ++k)
                    turned.Row(8 * bx + k)[at] = BYTE(block >> (8 * (7 - k)));
            }
        }
    } else {
        for (int x = 0; x < Width; ++x)
            for (int yp = 0; yp < Height; ++yp)
                turned.SetPixelIndex(yp, x, GetPixelIndex(x, Height - 1 - yp));
    }
    TakeOver(turned);
    return TRUE;
}

BOOL Bitmap::Rotate(OEM_PDEV* pOemPDev, float angle)
{
    if (!Data || DataSize == 0) return TRUE;
    // An angle that is not a finite number turns nothing (the resampling
    // sizes would have no value).
    if (!std::isfinite(angle)) {
        Trace(u"ERROR UNI(Bitmap):  Bitmap::Rotate() ungültiger Winkel \r\n");
        return TRUE;
    }
    // Whole turns come off first. Repeated subtraction of 360 and fmod give
    // the same (exact) result; fmod also ends for huge angles. A multiple of
    // 360 is left as 360, as the subtraction leaves it.
    if (angle > 360.0f) {
        angle = std::fmod(angle, 360.0f);
        if (angle == 0.0f) angle = 360.0f;
    }
    if (angle == 0.0f || angle == 360.0f) return TRUE;

    int quarters = 0;
    if (angle == 90.0f) {
        quarters = 1;
        angle = 0.0f;
    } else if (angle == 180.0f) {
        quarters = 2;
        angle = 0.0f;
    } else if (angle == 270.0f) {
        quarters = 3;
        angle = 0.0f;
    } else if (angle > 90.0f && angle < 180.0f) {
        quarters = 1;
        angle -= 90.0f;
    } else if (angle > 180.0f && angle < 270.0f) {
        quarters = 2;
        angle -= 180.0f;
    } else if (angle > 270.0f && angle < 360.0f) {
        quarters = 3;
        angle -= 270.0f;
    }
    for (int i = 0; i < quarters; ++i)
        if (!Rotate90(pOemPDev)) return FALSE;
    if (angle == 0.0f) return TRUE;

    // The rest is turned by resampling, in single precision as the printer
    // driver always did (the results are pinned by tests).
    const float a = angle;
    const float xr = a * 3.1415927f / 180.0f;
    const float sn = std::sin(xr);
    const float cs = std::cos(xr);
    const float t = sn / cs;
    const float W1 = float(Width) * std::fabs(cs);
    const float W2 = float(Height) * std::fabs(sn);
    const float H1 = float(Width) * std::fabs(sn);
    const float H2 = float(Height) * std::fabs(cs);
    const int newWidth = RoundU16(W1 + W2);
    const int newHeight = RoundU16(H1 + H2);

    Bitmap turned(pOemPDev, newWidth, newHeight, Bpp);
    if (turned.DataSize == 0) return FALSE;
    std::memcpy(turned.Palette, Palette, sizeof(Palette));

    // 1 / cs, written as t * sn + cs.
    const float divisor = t * sn + cs;
    PixelMover mv(Bpp);
    const int n = mv.copyBytes();
    for (int y = 0; y < newHeight; ++y) {
        const int Y = y + 1;
        const float yt = float(Y) * t;
        BYTE* dst = turned.Row(y);
        for (int x = 0; x < newWidth; ++x) {
            const int X = x + 1;
            const float base = float(X) + yt - W2;
            const float sx = float((double(base) - 0.5) / double(divisor));
            const float sy = (float(Y) - sx * sn) / cs - 1.0f;
            if (!(sx >= 0.0f && sx < float(Width) && sy >= 0.0f && sy < float(Height))) continue;
            const int ix = int(sx), iy = int(sy);
            if (ix >= Width || iy >= Height) continue;
            if (mv.bytes > 0)
                std::memcpy(dst + std::size_t(x) * mv.bytes, Row(iy) + std::size_t(ix) * mv.bytes,
                            n);
            else
                turned.SetPixelIndex(x, y, GetPixelIndex(ix, iy));
        }
    }
    TakeOver(turned);
    return TRUE;
}

BOOL Bitmap::ResizeBilinear(OEM_PDEV* pOemPDev, int iNewWidth, int iNewHeight,
                            BOOL bKeepRatioByWidth, BOOL bKeepRatioByHeight)
{
    if (!Data || DataSize == 0) return TRUE;
    if (iNewWidth < 2 || iNewHeight < 2) return TRUE;

    // The kept ratio is computed in single precision. A bitmap of one row or
    // column has no ratio to keep: its result would be infinite or NaN, and
    // then nothing happens.
    if (bKeepRatioByWidth == 1) {
        float step = float(Width - 1) / float(iNewWidth - 1);
        float h = float(Height - 1) / step;
        if (!std::isfinite(h) || h < 1.0f || h > 2.0e9f) return TRUE;
        iNewHeight = int(h);
    } else if (bKeepRatioByHeight == 1) {
        float step = float(Height - 1) / float(iNewHeight - 1);
        float w = float(Width - 1) / step;
        if (!std::isfinite(w) || w < 1.0f || w > 2.0e9f) return TRUE;
        iNewWidth = int(w);
    }

    Bitmap scaled(pOemPDev, iNewWidth, iNewHeight, Bpp);
    if (scaled.DataSize == 0) return FALSE;
    std::memcpy(scaled.Palette, Palette, sizeof(Palette));

    const double rx = double(Width) / iNewWidth;
    const double ry = double(Height) / iNewHeight;
    const int B = Bpp / 8;
    if (B > 0) {
        // Per destination column: the two source byte offsets and the weight.
        struct Col {
            std::size_t o0, o1;
            double dx;
        };
        std::vector<Col> cols(static_cast<std::size_t>(iNewWidth));
        for (int i = 0; i < iNewWidth; ++i) {
            double fx = i * rx;
            int x0 = std::min(int(fx), Width - 1);
            double dx = fx - x0;
            int x1 = x0 == Width - 1 ? x0 : x0 + 1;
            cols[std::size_t(i)] = {std::size_t(x0) * B, std::size_t(x1) * B, dx};
        }
        // Rows in storage order, as the pixels lie in memory.
        for (int j = 0; j < iNewHeight; ++j) {
            double fy = j * ry;
            int y0 = std::min(int(fy), Height - 1);
            double dy = fy - y0;
            int y1 = y0 == Height - 1 ? y0 : y0 + 1;
            const BYTE* r0 = Data + std::size_t(y0) * ScanLineSize;
            const BYTE* r1 = Data + std::size_t(y1) * ScanLineSize;
            BYTE* out = scaled.Data + std::size_t(j) * scaled.ScanLineSize;
            for (int i = 0; i < iNewWidth; ++i) {
                const Col& c = cols[std::size_t(i)];
                const double dx = c.dx;
                for (int k = 0; k < B; ++k) {
                    double p00 = r0[c.o0 + k], p10 = r0[c.o1 + k];
                    double p01 = r1[c.o0 + k], p11 = r1[c.o1 + k];
                    double v =
                        (p00 * (1 - dx) + p10 * dx) * (1 - dy) + (p11 * dx + p01 * (1 - dx)) * dy;
                    out[std::size_t(i) * B + k] = BYTE(int(v));
                }
            }
        }
    }
    TakeOver(scaled);
    return TRUE;
}

BOOL Bitmap::CheckInhalt() const
{
    if (Data && Height > 0 && ScanLineSize > 0) {
        // Every byte counts, padding included; the order of the walk does not
        // change the answer, so whole words of 0x00 or 0xFF are taken at once.
        const std::size_t total = std::size_t(Height) * ScanLineSize;
        std::size_t iSchwarz = 0, iWeiss = 0;
        auto bytes = [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i) {
                if (Data[i] == 0x00) {
                    ++iSchwarz;
                } else if (Data[i] == 0xFF) {
                    ++iWeiss;
                } else {
                    return true;
                }
            }
            return iSchwarz > 1 && iWeiss > 1;
        };
        std::size_t i = 0;
        for (; i + 8 <= total; i += 8) {
            std::uint64_t w;
            std::memcpy(&w, Data + i, 8);
            if (w == 0) {
                iSchwarz += 8;
            } else if (w == ~std::uint64_t(0)) {
                iWeiss += 8;
            } else if (bytes(i, i + 8)) {
                return TRUE;
            }
            if (iSchwarz > 1 && iWeiss > 1) return TRUE;
        }
        if (bytes(i, total)) return TRUE;
    }
    Trace(u"UNI(Bitmap):  Bitmap::CheckInhalt() kein Bildinhalt \r\n");
    return FALSE;
}

}  // namespace kx
