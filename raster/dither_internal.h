// Shared pieces of the colour-reduction code: the settings as read once from
// the private devmode, and fast row readers that turn any supported pixel
// depth into grey levels.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "raster/bitmap.h"
#include "raster/dither.h"

namespace kx::detail {

// The settings of colour reduction, read once per operation.
struct ReduceSettings {
    WORD wDruckmodus = 0;
    WORD wGrafikFilter = 0;
    WORD wPhotoFilter = 0;
    int threshold = 0;   // wEmpfindlichkeit
    int contrast = 0;    // wBrightnessContrast (K)
    int brightness = 0;  // dwBrightnessAll, 0 outside -50..50
    int curve = 0;       // dwBrightnessCurve, 0 outside -50..50
    WORD wFarbband = 0;
    DWORD customColour = 0;    // dwRGBColorOwn1
    int tolerance = 0;         // dwColorTolerance, or its square root above 999
    WORD correction = 0;       // wColorChannel: colour correction mode 0..4
    int captureRange = 0;      // wHorizontalCorrGap
    WORD fringe = 0;           // wColorSeam: 0 off, 1 grey, 2 colour and grey
    bool optimisation = true;  // wNoColorOptimization == 0
    bool colourPrint = false;  // DOC_FEATURE_COLORPRINT in the job flags

    bool ThresholdMode() const { return wDruckmodus == 1 && wGrafikFilter <= 1; }
    bool DitherMode() const { return (wDruckmodus >= 1 && wGrafikFilter >= 2) || wDruckmodus == 2; }
};

// Reads the settings from the devmode and the job flags (missing structures
// leave the defaults above).
ReduceSettings ReadSettings(PDEVOBJ pdevobj);

// Error diffusion runs its middle stretch with SSE2 vectors where the
// processor has them; true forces the plain version (tests compare both).
extern bool gScalarDiffusion;

// Threads of error diffusion: 0 runs one; n > 0 runs exactly n (the
// threads are started and joined within the call); -n runs the rows of n
// threads taking turns on the calling thread, each row as close behind the
// row above as the threads may come (tests: a fixed order of the meeting
// that threads leave to chance).
extern int gDiffusionThreads;

// The reductions of page end to one bit (a threshold or dithering mode,
// then the exact match) run in one pass over the page where the layout
// allows; false forces the two plain operations (tests compare both).
extern bool gFusedReduction;

// Packs one row of dots, eight to a byte, most significant bit first:
// dot x is white (1) when bit 0 of v[x] is set. The bits beyond width in the
// last byte are white; the bytes after it are not written.
void PackRow(const BYTE* v, int width, BYTE* dst);

// Packs the dots of an ordered matrix: dot x is white when g[x] >= thr[x %
// 16] (thr repeats with a period that divides 16).
void PackOrderedRow(const BYTE* g, const BYTE* thr, int width, BYTE* dst);

// The page record of the device, or null.
Bildverarbeitung* PageRecordOf(PDEVOBJ pdevobj);

// Weighted sum S = 3R + 6G + floor(3B / 2) (0..2677); the grey level is
// 4S / 41. Tables over S fold the grey level into one lookup.
constexpr int kMaxWeightedSum = 3 * 255 + 6 * 255 + (3 * 255) / 2;
inline int WeightedSum(int r, int g, int b)
{
    return 3 * r + 6 * g + ((3 * b) >> 1);
}

// Maps every pixel of a picture row through a table over grey levels
// (0..kMaxGreyLevel) into bytes. For 24 bits the table is widened once over
// the weighted sum; palette depths map each table entry once.
class GreyRowReader {
public:
    // table: kMaxGreyLevel + 1 entries.
    GreyRowReader(const Bitmap& bmp, const BYTE* table) : m_bmp(bmp)
    {
        if (bmp.Bpp == 24) {
            for (int s = 0; s <= kMaxWeightedSum; ++s) m_bySum[s] = table[(4 * s) / 41];
        } else if (bmp.Bpp <= 8) {
            for (int i = 0; i < 256; ++i) {
                const RGBQUAD& q = bmp.Palette[i];
                m_byIndex[i] = table[GreyLevel(q.rgbRed, q.rgbGreen, q.rgbBlue)];
            }
        }
        std::memcpy(m_byLevel, table, sizeof(m_byLevel));
    }

    // Storage row r (0 = bottom) into out[0 .. Width-1].
    void StorageRow(int r, BYTE* out) const
    {
        const Bitmap& b = m_bmp;
        const BYTE* p = b.Data + std::size_t(r) * b.ScanLineSize;
        const int w = b.Width;
        switch (b.Bpp) {
            case 24:
                for (int x = 0; x < w; ++x, p += 3) out[x] = m_bySum[WeightedSum(p[2], p[1], p[0])];
                break;
            case 8:
                for (int x = 0; x < w; ++x) out[x] = m_byIndex[p[x]];
                break;
            case 4:
                for (int x = 0; x < w; ++x)
                    out[x] = m_byIndex[(x & 1) ? (p[x >> 1] & 0x0F) : (p[x >> 1] >> 4)];
                break;
            case 1:
                for (int x = 0; x < w; ++x) out[x] = m_byIndex[(p[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            default: {
                const int y = b.Height - 1 - r;
                for (int x = 0; x < w; ++x) {
                    DWORD c = b.GetPixelColor(x, y);
                    out[x] = m_byLevel[GreyLevel(RedOf(c), GreenOf(c), BlueOf(c))];
                }
                break;
            }
        }
    }

private:
    const Bitmap& m_bmp;
    BYTE m_bySum[kMaxWeightedSum + 1] = {};
    BYTE m_byIndex[256] = {};
    BYTE m_byLevel[kMaxGreyLevel + 1] = {};
};

}  // namespace kx::detail
