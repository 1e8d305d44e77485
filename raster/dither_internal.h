// Shared pieces of the colour-reduction code: the settings as read once from
// the private devmode, and fast row readers that turn any supported pixel
// depth into grey levels.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define KX_ROWS_SSE2 1
#else
#define KX_ROWS_SSE2 0
#endif

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

#if KX_ROWS_SSE2
// The weighted sums of the eight 24-bit pixels at q in 16-bit lanes (the
// same integer formula as WeightedSum), and their component sums R + G + B
// when asked. With lastFirst the eighth pixel sits in lane 0, so that a
// compare mask packed to bytes gives the dot byte with the first pixel in
// the top bit; without it the first pixel sits in lane 0. Pixels are loaded
// four bytes at a time, so the byte after the eighth pixel must be readable.
inline __m128i WeightedSums8(const BYTE* q, bool lastFirst, __m128i* componentSums = nullptr)
{
    auto px = [q](int i) {
        std::uint32_t u;
        std::memcpy(&u, q + 3 * i, 4);
        return int(u);
    };
    const __m128i a = lastFirst ? _mm_setr_epi32(px(7), px(6), px(5), px(4))
                                : _mm_setr_epi32(px(0), px(1), px(2), px(3));
    const __m128i b = lastFirst ? _mm_setr_epi32(px(3), px(2), px(1), px(0))
                                : _mm_setr_epi32(px(4), px(5), px(6), px(7));
    const __m128i ff = _mm_set1_epi32(0xFF);
    auto channel = [&](int shift) {
        return _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(a, shift), ff),
                               _mm_and_si128(_mm_srli_epi32(b, shift), ff));
    };
    const __m128i B = channel(0), G = channel(8), R = channel(16);
    const __m128i rg = _mm_add_epi16(R, _mm_add_epi16(G, G));
    if (componentSums) *componentSums = _mm_add_epi16(_mm_add_epi16(R, G), B);
    return _mm_add_epi16(_mm_add_epi16(rg, _mm_add_epi16(rg, rg)),
                         _mm_srli_epi16(_mm_add_epi16(B, _mm_add_epi16(B, B)), 1));
}
#endif

// The grey level 4S / 41 of a weighted sum S as a multiplication in 16-bit
// lanes: the high half of S * 51151, shifted by 3 more (S * 51151 / 2^19 is
// less than 1/41 above 4S / 41, so the floors agree; checked for every S).
constexpr int kGreyMul = 51151, kGreyShift = 3;
constexpr bool GreyMulExact()
{
    for (int S = 0; S <= kMaxWeightedSum; ++S)
        if (((S * kGreyMul) >> (16 + kGreyShift)) != (4 * S) / 41) return false;
    return true;
}
static_assert(GreyMulExact());

// Maps every pixel of a picture row through a table over grey levels
// (0..kMaxGreyLevel) into bytes. For 24 bits the table is widened once over
// the weighted sum; palette depths map each table entry once.
class GreyRowReader {
public:
    // table: kMaxGreyLevel + 1 entries. vectors: a 24-bit row runs eight
    // pixels at a time where the table has the form below (the plain lookup
    // stays as the reference the fast path is compared with).
    GreyRowReader(const Bitmap& bmp, const BYTE* table, bool vectors = false) : m_bmp(bmp)
    {
        if (bmp.Bpp == 24) {
            for (int s = 0; s <= kMaxWeightedSum; ++s) m_bySum[s] = table[(4 * s) / 41];
            m_vectors = vectors && KX_ROWS_SSE2 && m_tone.Make(table);
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
            case 24: {
                int x = 0;
#if KX_ROWS_SSE2
                if (m_vectors) x = VectorRow24(p, w, out);
#endif
                for (p += 3 * std::size_t(x); x < w; ++x, p += 3)
                    out[x] = m_bySum[WeightedSum(p[2], p[1], p[0])];
                break;
            }
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

    // The tone of every weighted sum (24 bits only).
    const BYTE* BySum() const
    {
        return m_bySum;
    }

private:
    // A tone table of the form 0 below grey level lo, 255 from hi on, and
    // L + offset in between: what brightness alone makes of the levels.
    struct LinearTone {
        int lo = 0, hi = 0, offset = 0;
        bool Make(const BYTE* table)
        {
            constexpr int n = kMaxGreyLevel + 1;
            lo = 0;
            while (lo < n && table[lo] == 0) ++lo;
            hi = n;
            while (hi > 0 && table[hi - 1] == 255) --hi;
            offset = lo < n ? table[lo] - lo : 0;
            for (int L = 0; L < n; ++L) {
                const int v = L >= hi ? 255 : (L < lo ? 0 : L + offset);
                if (v != table[L]) return false;
            }
            return true;
        }
    };

#if KX_ROWS_SSE2
    // The tones of the columns [0, x) of a 24-bit row; returns x, a multiple
    // of 8 that leaves the last pixel to the plain loop.
    int VectorRow24(const BYTE* p, int width, BYTE* out) const
    {
        const __m128i mul = _mm_set1_epi16(short(kGreyMul));
        const __m128i loBelow = _mm_set1_epi16(short(m_tone.lo - 1));
        const __m128i hiBelow = _mm_set1_epi16(short(m_tone.hi - 1));
        const __m128i offset = _mm_set1_epi16(short(m_tone.offset));
        const __m128i top = _mm_set1_epi16(255);
        int x = 0;
        for (; x + 9 <= width; x += 8) {
            const __m128i S = WeightedSums8(p + 3 * std::size_t(x), false);
            const __m128i L = _mm_srli_epi16(_mm_mulhi_epu16(S, mul), kGreyShift);
            const __m128i high = _mm_cmpgt_epi16(L, hiBelow);
            __m128i v = _mm_and_si128(_mm_cmpgt_epi16(L, loBelow), _mm_add_epi16(L, offset));
            v = _mm_or_si128(_mm_andnot_si128(high, v), _mm_and_si128(high, top));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(v, v));
        }
        return x;
    }
#endif

    const Bitmap& m_bmp;
    LinearTone m_tone;
    bool m_vectors = false;
    BYTE m_bySum[kMaxWeightedSum + 1] = {};
    BYTE m_byIndex[256] = {};
    BYTE m_byLevel[kMaxGreyLevel + 1] = {};
};

}  // namespace kx::detail
