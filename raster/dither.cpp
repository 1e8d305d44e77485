// Dithering: brightness, contrast and curve correction, then ordered
// dithering or error diffusion into an 8-bit black-and-white page; the colour
// tables of the page record.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <memory>
#include <new>
#include <thread>

#include "core/jobcontext.h"
#include "core/jobheap.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "raster/dither_internal.h"
#include "settings/models.h"

namespace kx {

// ------------------------------------------------------------ colour tables

namespace {

void SetEntry(RGBQUAD* t, int i, BYTE r, BYTE g, BYTE b)
{
    t[i].rgbRed = r;
    t[i].rgbGreen = g;
    t[i].rgbBlue = b;
    t[i].rgbReserved = 0;
}

// The ribbon colours of the settings wFarbband 1 to 5, as 0x00BBGGRR. Black
// (0 and 7) and the custom colour (6) are not in the table.
constexpr DWORD kRibbonColours[] = {0x3641EF, 0x00F2FF, 0x5AB200, 0xDB9F00, 0x2894F7};
constexpr WORD kFirstRibbon = 1;
constexpr WORD kLastRibbon = 5;
constexpr WORD kCustomRibbon = 6;

// Entries 0..8 shared by the two colour-printing tables: black and the
// ribbon colours in the order of their class indexes (entry 8 is the custom
// colour's slot, light grey until job start patches the custom colour in).
void SetRibbonEntries(RGBQUAD* t)
{
    SetEntry(t, 1, 0, 0, 0);
    for (WORD w = kFirstRibbon; w <= kLastRibbon; ++w) {
        const DWORD c = kRibbonColours[w - kFirstRibbon];
        SetEntry(t, RibbonColourIndex(w), RedOf(c), GreenOf(c), BlueOf(c));
    }
    SetEntry(t, 7, 0, 0, 0);
    SetEntry(t, 8, 245, 245, 245);
}

}  // namespace

void FillGreyPalette(RGBQUAD* table)
{
    if (!table) return;
    for (int i = 0; i < 256; ++i) SetEntry(table, i, BYTE(i), BYTE(i), BYTE(i));
}

void FillColorPalette_250Grey(RGBQUAD* table)
{
    if (!table) return;
    SetEntry(table, 0, 253, 253, 253);
    SetRibbonEntries(table);
    for (int i = 9; i < 255; ++i) SetEntry(table, i, BYTE(i - 8), BYTE(i - 8), BYTE(i - 8));
    SetEntry(table, 255, 255, 255, 255);
}

void FillColorPalette_6Colors(RGBQUAD* table)
{
    if (!table) return;
    SetEntry(table, 0, 0, 0, 0);
    SetRibbonEntries(table);
    for (int i = 9; i < 255; ++i) SetEntry(table, i, 253, 253, 253);
    SetEntry(table, 255, 255, 255, 255);
}

int RibbonColourIndex(WORD wFarbband)
{
    switch (wFarbband) {
        case 0:
            return 1;
        case 1:
            return 2;
        case 2:
            return 3;
        case 3:
            return 4;
        case 4:
            return 5;
        case 5:
            return 6;
        case 6:
            return 8;
        default:
            return 255;
    }
}

DWORD RibbonColourValue(WORD wFarbband, DWORD dwCustomColour)
{
    if (wFarbband >= kFirstRibbon && wFarbband <= kLastRibbon)
        return kRibbonColours[wFarbband - kFirstRibbon];
    if (wFarbband == kCustomRibbon) return dwCustomColour & 0xFFFFFF;
    return 0x000000;
}

// ------------------------------------------------------------ matrices

const BYTE kClusteredA4[4][4] = {
    {63, 61, 53, 40}, {57, 48, 36, 20}, {45, 32, 24, 13}, {28, 16, 9, 5}};

const BYTE kBayerB4[4][4] = {
    {16, 208, 64, 255}, {144, 80, 192, 128}, {48, 240, 32, 224}, {176, 112, 160, 96}};

const BYTE kClusteredA8[8][8] = {
    {39, 43, 41, 35, 29, 25, 27, 33}, {57, 59, 61, 47, 11, 9, 7, 21},
    {55, 63, 62, 45, 13, 3, 5, 23},   {49, 53, 51, 37, 19, 15, 17, 31},
    {26, 22, 24, 30, 36, 40, 38, 32}, {8, 6, 4, 18, 54, 56, 58, 44},
    {10, 1, 2, 20, 52, 62, 60, 42},   {16, 12, 14, 28, 46, 50, 48, 34}};

const BYTE kBayerB8[8][8] = {{1, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                             {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                             {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                             {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

namespace {

// A16: M1 = [0]; M(2n) from M(n) by quadrants 4M, 4M + 3 (top right),
// 4M + 2 (bottom left), 4M + 1 (bottom right); the single 0 becomes 1.
struct A16Table {
    BYTE v[16][16];
    constexpr A16Table() : v{}
    {
        int m[16][16] = {};
        for (int n = 1; n < 16; n *= 2) {
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j) {
                    int b = 4 * m[i][j];
                    m[i][j + n] = b + 3;
                    m[i + n][j] = b + 2;
                    m[i + n][j + n] = b + 1;
                    m[i][j] = b;
                }
            }
        }
        for (int i = 0; i < 16; ++i)
            for (int j = 0; j < 16; ++j) v[i][j] = BYTE(m[i][j] == 0 ? 1 : m[i][j]);
    }
};
constexpr A16Table kA16{};

}  // namespace

const BYTE (&kClusteredA16)[16][16] = kA16.v;
static_assert(kA16.v[0][0] == 1 && kA16.v[0][1] == 192 && kA16.v[0][15] == 255 &&
              kA16.v[1][0] == 128 && kA16.v[1][15] == 127);

// ------------------------------------------------------------ engines

namespace {

// The columns over which an ordered threshold pattern is laid out once.
constexpr int kOrderedSpan = 64;

// Ordered dithering of rows delivered by fill(r, buf). A value is printed
// (0) when it is below the matrix threshold; comparing g / 4 with T is the
// same as comparing g with 4 T, so each row gets one threshold pattern,
// which put(y, g, thr) applies to the row's values g: thr repeats the
// pattern over 64 columns (every period divides 16), each threshold at most
// 255. False for a filter without a matrix.
template <class Fill, class Put>
bool ClusteredRows(WORD wFilter, Fill&& fill, int height, BYTE* buf, Put&& put)
{
    int period = 4;
    switch (wFilter) {
        case FILTER_CLUSTERED4:
        case FILTER_BAYER4:
            period = 4;
            break;
        case FILTER_CLUSTERED8:
        case FILTER_BAYER8:
            period = 8;
            break;
        case FILTER_CLUSTERED16:
            period = 16;
            break;
        default:
            return false;
    }
    BYTE thr[kOrderedSpan];
    for (int y = 0; y < height; ++y) {
        for (int i = 0; i < kOrderedSpan; ++i) {
            const int x = i % period;
            switch (wFilter) {
                case FILTER_CLUSTERED4:
                    thr[i] = BYTE(4 * kClusteredA4[x][y % 4]);
                    break;
                case FILTER_CLUSTERED8:
                    thr[i] = BYTE(4 * kClusteredA8[x][y % 8]);
                    break;
                case FILTER_CLUSTERED16:
                    thr[i] = kClusteredA16[y % 16][x];
                    break;
                case FILTER_BAYER4:
                    thr[i] = kBayerB4[x][y % 4];
                    break;
                case FILTER_BAYER8:
                    thr[i] = BYTE(4 * kBayerB8[x][y % 8]);
                    break;
            }
        }
        put(y, static_cast<const BYTE*>(fill(y, buf)), static_cast<const BYTE*>(thr));
    }
    return true;
}

// Ordered dots straight from the 24-bit pixels, eight at a time. A matrix
// threshold T on the tone of a weighted sum is a threshold on the sum
// itself when the sums whose tone reaches T are exactly those from one sum
// on: true of every T for a rising tone table, and of some T for any other.
class OrderedSums {
public:
    explicit OrderedSums(const BYTE* bySum) : m_bySum(bySum)
    {
        // T is no step when a sum's tone lies below T while an earlier
        // sum's reaches it: the thresholds in (tone, highest tone before]
        // are marked (a difference array over T). The step of the others is
        // the first sum at which the highest tone so far reaches T.
        int marks[257] = {};
        int highest = -1;
        std::fill(std::begin(m_below), std::end(m_below), short(detail::kMaxWeightedSum));
        for (int S = 0; S <= detail::kMaxWeightedSum; ++S) {
            const int v = bySum[S];
            if (highest > v) {
                ++marks[v + 1];
                --marks[highest + 1];
            }
            for (int T = highest + 1; T <= v; ++T) m_below[T] = short(S - 1);
            highest = std::max(highest, v);
        }
        for (int T = 0, open = 0; T < 256; ++T) {
            open += marks[T];
            if (open > 0) m_below[T] = kNoStep;
        }
    }

    // The dot bytes of a 24-bit row under the thresholds thr (repeating
    // every 16 columns or less), written to dst: the columns eight at a time
    // where every threshold is a step, the rest (at least the last pixel,
    // which the vectors would read past) by their tones into g. In place:
    // each dot byte lies before every pixel still to be read.
    void Row(const BYTE* p, int width, const BYTE* thr, BYTE* g, BYTE* dst) const
    {
        int x = 0;
#if KX_ROWS_SSE2
        // Lane i holds the pixel 7 - i of eight: the lane thresholds of the
        // even and the odd eight columns of sixteen.
        alignas(16) short below[2][8];
        bool steps = true;
        for (int i = 0; i < 16; ++i) {
            below[i / 8][7 - i % 8] = m_below[thr[i]];
            steps = steps && m_below[thr[i]] != kNoStep;
        }
        if (steps) {
            const __m128i b0 = _mm_load_si128(reinterpret_cast<const __m128i*>(below[0]));
            const __m128i b1 = _mm_load_si128(reinterpret_cast<const __m128i*>(below[1]));
            for (; x + 9 <= width; x += 8) {
                const __m128i S = detail::WeightedSums8(p + 3 * std::size_t(x), true);
                const __m128i white = _mm_cmpgt_epi16(S, (x & 8) ? b1 : b0);
                dst[x >> 3] = BYTE(_mm_movemask_epi8(_mm_packs_epi16(white, white)));
            }
        }
#endif
        for (int i = x; i < width; ++i) {
            const BYTE* q = p + 3 * std::size_t(i);
            g[i] = m_bySum[detail::WeightedSum(q[2], q[1], q[0])];
        }
        detail::PackOrderedRow(g + x, thr + (x & 15), width - x, dst + (x >> 3));
    }

private:
    static constexpr short kNoStep = -2;
    const BYTE* m_bySum;
    // By threshold: the highest sum whose tone lies below it (-1: every
    // sum's tone reaches it), or kNoStep.
    short m_below[256];
};

// The 8-bit dots of an ordered pattern: 0 below the threshold, else 255.
void PutOrderedBytes(const BYTE* g, const BYTE* thr, int width, BYTE* out)
{
    for (int x = 0; x < width; ++x) out[x] = g[x] < thr[x % kOrderedSpan] ? 0 : 255;
}

// One error-diffusion kernel: the weights and the edge tests of each
// neighbour, exactly as the printer driver has always spread its errors.
struct Tap {
    int j;  // column offset
    int w;  // weight
};
struct Kernel {
    int wRight, dRight;  // x + 1, only when x < W - 1
    int wX2, dX2;        // x + 2, only when x < W - lim2 (wX2 0: none)
    int lim2;
    // Next row: tap j only when x + p*j >= 0 and x + q*j < W - c.
    int nNext, dNext, pNext, qNext, cNext;
    Tap next[7];
    int nAfter, dAfter, pAfter, qAfter, cAfter;
    Tap after[5];
    bool noLastRow;  // nothing at all is spread from the last row
};

constexpr Kernel kKernels[6] = {
    // 0 Floyd
    {7, 16, 0, 1, 0, 3, 16, 3, 3, 1, {{-1, 3}, {0, 5}, {1, 1}}, 0, 1, 0, 0, 0, {}, true},
    // 1 Sierra
    {5,
     32,
     3,
     32,
     7,
     5,
     32,
     3,
     3,
     0,
     {{-2, 2}, {-1, 4}, {0, 5}, {1, 4}, {2, 2}},
     3,
     32,
     1,
     1,
     3,
     {{-1, 2}, {0, 3}, {1, 2}},
     false},
    // 2 Burkes
    {8,
     32,
     4,
     32,
     7,
     5,
     32,
     1,
     1,
     6,
     {{-2, 2}, {-1, 4}, {0, 8}, {1, 4}, {2, 2}},
     0,
     1,
     0,
     0,
     0,
     {},
     false},
    // 3 Jarvis
    {7,
     48,
     5,
     48,
     7,
     5,
     48,
     1,
     1,
     6,
     {{-2, 3}, {-1, 5}, {0, 7}, {1, 5}, {2, 3}},
     5,
     48,
     1,
     1,
     6,
     {{-2, 1}, {-1, 3}, {0, 5}, {1, 3}, {2, 1}},
     false},
    // 4 Sierra Mod.
    {6,
     32,
     4,
     38,
     7,
     7,
     44,
     3,
     3,
     0,
     {{-3, 2}, {-2, 3}, {-1, 4}, {0, 5}, {1, 4}, {2, 3}, {3, 2}},
     5,
     54,
     1,
     3,
     0,
     {{-2, 2}, {-1, 3}, {0, 4}, {1, 3}, {2, 2}},
     false},
    // 5 Stucki
    {8,
     42,
     4,
     42,
     2,
     5,
     42,
     1,
     1,
     3,
     {{-2, 2}, {-1, 4}, {0, 8}, {1, 4}, {2, 2}},
     5,
     42,
     1,
     1,
     6,
     {{-2, 1}, {-1, 2}, {0, 4}, {1, 2}, {2, 1}},
     false},
};

// Columns [lo, hi) in which a tap's test holds.
struct Range {
    int lo, hi;
};
Range TapRange(int j, int p, int q, int c, int width)
{
    return {std::max(0, -p * j), std::min(width, width - c - q * j)};
}

inline void AddClamped(BYTE& cell, int d)
{
    const int n = cell + d;
    cell = BYTE(n < 0 ? 0 : (n > 255 ? 255 : n));
}

// Error per grey value: v when v < 128, else v - 255; each neighbour gets
// trunc(e * w / D).
struct Deltas {
    short right[256], x2[256], next[7][256], after[5][256];
    explicit Deltas(const Kernel& k)
    {
        for (int v = 0; v < 256; ++v) {
            const int e = v < 128 ? v : v - 255;
            right[v] = short(e * k.wRight / k.dRight);
            x2[v] = short(e * k.wX2 / k.dX2);
            for (int t = 0; t < k.nNext; ++t) next[t][v] = short(e * k.next[t].w / k.dNext);
            for (int t = 0; t < k.nAfter; ++t) after[t][v] = short(e * k.after[t].w / k.dAfter);
        }
    }
};

// Spreads the error of the pixel at column x with every edge test.
template <int F>
inline void SpreadGuarded(const Deltas& dl, int v, int x, int width, bool hasNext, bool hasAfter,
                          BYTE* cur, BYTE* nxt, BYTE* aft)
{
    constexpr Kernel K = kKernels[F];
    if (x < width - 1) AddClamped(cur[x + 1], dl.right[v]);
    if (K.wX2 && x < width - K.lim2) AddClamped(cur[x + 2], dl.x2[v]);
    if (hasNext) {
        for (int t = 0; t < K.nNext; ++t) {
            const int j = K.next[t].j;
            if (x + K.pNext * j >= 0 && x + K.qNext * j < width - K.cNext)
                AddClamped(nxt[x + j], dl.next[t][v]);
        }
    }
    if (hasAfter) {
        for (int t = 0; t < K.nAfter; ++t) {
            const int j = K.after[t].j;
            if (x + K.pAfter * j >= 0 && x + K.qAfter * j < width - K.cAfter)
                AddClamped(aft[x + j], dl.after[t][v]);
        }
    }
}

inline int Clamp255(int n)
{
    return std::min(std::max(n, 0), 255);
}

// The middle stretch [x0, x1) of a row in which every neighbour passes its
// test. The cells that still receive error from the pixels ahead are carried
// in registers (the current row's next two cells and a window over each
// lower row) and go back to memory once no later pixel of the row reaches
// them: the same additions in the same order as SpreadGuarded, without
// reloading every cell for every pixel. Reads may reach one cell beyond the
// row's end; the row buffers carry margins for that.
template <int F>
void DiffuseInterior(const Deltas& dl, BYTE* cur, BYTE* nxt, BYTE* aft, BYTE* out, int x0, int x1)
{
    constexpr Kernel K = kKernels[F];
    constexpr int NN = K.nNext;
    constexpr int NA = K.nAfter;
    constexpr int jn0 = K.next[0].j;
    constexpr int ja0 = NA ? K.after[0].j : 0;
    int nw[NN];
    int aw[NA ? NA : 1];
    for (int t = 0; t < NN; ++t) nw[t] = nxt[x0 + jn0 + t];
    for (int t = 0; t < NA; ++t) aw[t] = aft[x0 + ja0 + t];
    int c0 = cur[x0], c1 = cur[x0 + 1];
    for (int x = x0; x < x1; ++x) {
        const int v = c0;
        out[x] = BYTE(v < 128 ? 0 : 255);
        c1 = Clamp255(c1 + dl.right[v]);
        int c2 = cur[x + 2];
        if constexpr (K.wX2 != 0) c2 = Clamp255(c2 + dl.x2[v]);
#pragma GCC unroll 8
        for (int t = 0; t < NN; ++t) nw[t] = Clamp255(nw[t] + dl.next[t][v]);
        nxt[x + jn0] = BYTE(nw[0]);
#pragma GCC unroll 8
        for (int t = 0; t + 1 < NN; ++t) nw[t] = nw[t + 1];
        nw[NN - 1] = nxt[x + jn0 + NN];
        if constexpr (NA > 0) {
#pragma GCC unroll 8
            for (int t = 0; t < NA; ++t) aw[t] = Clamp255(aw[t] + dl.after[t][v]);
            aft[x + ja0] = BYTE(aw[0]);
#pragma GCC unroll 8
            for (int t = 0; t + 1 < NA; ++t) aw[t] = aw[t + 1];
            aw[NA - 1] = aft[x + ja0 + NA];
        }
        c0 = c1;
        c1 = c2;
    }
    cur[x1] = BYTE(c0);
    cur[x1 + 1] = BYTE(c1);
    for (int t = 0; t + 1 < NN; ++t) nxt[x1 + jn0 + t] = BYTE(nw[t]);
    for (int t = 0; t + 1 < NA; ++t) aft[x1 + ja0 + t] = BYTE(aw[t]);
}

#if KX_ROWS_SSE2
// The same middle stretch with each lower row's window held in one vector of
// eight 16-bit lanes: one addition and one clamp per row and pixel, the
// window moving on by one lane per pixel. The current row (whose next value
// is the next pixel) stays scalar, off the vectors' latency.
struct VectorDeltas {
    __m128i next[256];
    __m128i after[256];
    VectorDeltas(const Kernel& k, const Deltas& dl)
    {
        for (int v = 0; v < 256; ++v) {
            alignas(16) short n[8] = {}, a[8] = {};
            for (int t = 0; t < k.nNext; ++t) n[t] = dl.next[t][v];
            for (int t = 0; t < k.nAfter; ++t) a[t] = dl.after[t][v];
            next[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(n));
            after[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(a));
        }
    }
};

template <int N>
inline __m128i LoadWindow(const BYTE* p)
{
    alignas(16) short w[8] = {};
    for (int t = 0; t < N; ++t) w[t] = p[t];
    return _mm_load_si128(reinterpret_cast<const __m128i*>(w));
}
template <int N>
inline void StoreWindow(__m128i v, BYTE* p)
{
    alignas(16) short w[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(w), v);
    for (int t = 0; t < N; ++t) p[t] = BYTE(w[t]);
}

template <int F>
void DiffuseInteriorVec(const Deltas& dl, const VectorDeltas& vd, BYTE* cur, BYTE* nxt, BYTE* aft,
                        BYTE* out, int x0, int x1)
{
    constexpr Kernel K = kKernels[F];
    constexpr int NN = K.nNext;
    constexpr int NA = K.nAfter;
    constexpr int jn0 = K.next[0].j;
    constexpr int ja0 = NA ? K.after[0].j : 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi16(255);
    __m128i wn = LoadWindow<NN>(nxt + x0 + jn0);
    __m128i wa = LoadWindow<NA>(aft + x0 + ja0);
    int c0 = cur[x0], c1 = cur[x0 + 1];
    for (int x = x0; x < x1; ++x) {
        const int v = c0;
        out[x] = BYTE(v < 128 ? 0 : 255);
        c1 = Clamp255(c1 + dl.right[v]);
        int c2 = cur[x + 2];
        if constexpr (K.wX2 != 0) c2 = Clamp255(c2 + dl.x2[v]);
        wn = _mm_min_epi16(_mm_max_epi16(_mm_add_epi16(wn, vd.next[v]), zero), top);
        nxt[x + jn0] = BYTE(_mm_cvtsi128_si32(wn));
        wn = _mm_insert_epi16(_mm_srli_si128(wn, 2), nxt[x + jn0 + NN], NN - 1);
        if constexpr (NA > 0) {
            wa = _mm_min_epi16(_mm_max_epi16(_mm_add_epi16(wa, vd.after[v]), zero), top);
            aft[x + ja0] = BYTE(_mm_cvtsi128_si32(wa));
            wa = _mm_insert_epi16(_mm_srli_si128(wa, 2), aft[x + ja0 + NA], NA - 1);
        }
        c0 = c1;
        c1 = c2;
    }
    cur[x1] = BYTE(c0);
    cur[x1 + 1] = BYTE(c1);
    StoreWindow<NN - 1>(wn, nxt + x1 + jn0);
    if constexpr (NA > 0) StoreWindow<NA - 1>(wa, aft + x1 + ja0);
}

// Stucki's middle stretch: both lower rows' windows (five cells each) in one
// vector of bytes, interleaved: lane 2t holds the next row's cell t, lane
// 2t + 1 the cell below it in the row after. A clamped addition of a delta d
// is a saturated addition of max(d, 0) followed by a saturated subtraction of
// max(-d, 0): one of the two is zero, so each cell gets exactly the plain
// path's clamp(cell + d), in the same order. The window moves on by one pair
// a pixel, and the column entering it goes in as one word, so the window's
// own chain of dependences is four short operations long.
struct StuckiDeltas {
    __m128i up[256];    // max(d, 0) of every tap
    __m128i down[256];  // max(-d, 0)
    explicit StuckiDeltas(const Deltas& dl)
    {
        for (int v = 0; v < 256; ++v) {
            alignas(16) BYTE u[16] = {}, d[16] = {};
            for (int t = 0; t < 5; ++t) {
                const int n = dl.next[t][v], a = dl.after[t][v];
                u[2 * t] = BYTE(std::max(n, 0));
                d[2 * t] = BYTE(std::max(-n, 0));
                u[2 * t + 1] = BYTE(std::max(a, 0));
                d[2 * t + 1] = BYTE(std::max(-a, 0));
            }
            up[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(u));
            down[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(d));
        }
    }
};

// The current row's own chain (each pixel's value waits for the error of
// the one before) is the loop's critical path: its clamp is a test that is
// rarely taken rather than two selects on that path.
inline int ClampRare(int n)
{
    if (__builtin_expect(unsigned(n) > 255u, 0)) return n < 0 ? 0 : 255;
    return n;
}

// Bytes of 128 and more become 255, the others 0, sixteen at a time.
void ThresholdBytes(BYTE* p, std::ptrdiff_t n)
{
    const __m128i zero = _mm_setzero_si128();
    std::ptrdiff_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm_cmpgt_epi8(zero, v));
    }
    for (; i < n; ++i) p[i] = p[i] < 128 ? 0 : 255;
}

void DiffuseInteriorStucki(const Deltas& dl, const StuckiDeltas& sd, BYTE* cur, BYTE* nxt,
                           BYTE* aft, BYTE* out, int x0, int x1)
{
    static_assert(kKernels[5].nNext == 5 && kKernels[5].nAfter == 5 &&
                  kKernels[5].next[0].j == -2 && kKernels[5].after[0].j == -2);
    alignas(16) BYTE window[16] = {};
    for (int t = 0; t < 5; ++t) {
        window[2 * t] = nxt[x0 - 2 + t];
        window[2 * t + 1] = aft[x0 - 2 + t];
    }
    __m128i w = _mm_load_si128(reinterpret_cast<const __m128i*>(window));
    int c0 = cur[x0], c1 = cur[x0 + 1];
    // One counter runs up to zero against pointers set at the stretch's
    // end, so the loop keeps a single index. A pixel's dot is its byte
    // here and becomes 0 or 255 in one pass afterwards.
    BYTE* const o = out + x1;
    const BYTE* const ahead = cur + x1 + 2;
    BYTE* const n = nxt + x1 - 2;
    BYTE* const a = aft + x1 - 2;
    for (std::ptrdiff_t i = std::ptrdiff_t(x0) - x1; i < 0; ++i) {
        // v stays a 32-bit value: the load below then needs no widening
        // of the index, which would add a cycle to every pixel's chain.
        const unsigned v = unsigned(c0);
        o[i] = BYTE(v);
        c0 = ClampRare(c1 + dl.right[v]);
        c1 = ClampRare(ahead[i] + dl.x2[v]);
        w = _mm_subs_epu8(_mm_adds_epu8(w, sd.up[v]), sd.down[v]);
        const unsigned done = unsigned(_mm_cvtsi128_si32(w));  // the pair two columns back
        n[i] = BYTE(done);
        a[i] = BYTE(done >> 8);
        w = _mm_srli_si128(w, 2);
        w = _mm_insert_epi16(w, n[i + 5] | a[i + 5] << 8, 4);
    }
    ThresholdBytes(out + x0, x1 - x0);
    cur[x1] = BYTE(c0);
    cur[x1 + 1] = BYTE(c1);
    _mm_store_si128(reinterpret_cast<__m128i*>(window), w);
    for (int t = 0; t < 4; ++t) {
        nxt[x1 - 2 + t] = window[2 * t];
        aft[x1 - 2 + t] = window[2 * t + 1];
    }
}
#endif

// Where the engines put their dots (0 and 255 a byte): Row(y, t) is the
// row that thread t writes for storage row y, Done(y, t) follows once it is
// complete.
struct ByteRows {  // straight into an 8-bit image
    BYTE* dst;
    std::size_t stride;
    BYTE* Row(int y, int) const { return dst + std::size_t(y) * stride; }
    void Done(int, int) const {}
};
struct PackedRows {  // through a row of each thread into a one-bit image
    BYTE* dst;
    std::size_t stride;
    int width;
    BYTE* scratch;  // one row of each thread, pitch bytes apart
    std::size_t pitch;
    BYTE* Row(int, int t) const { return scratch + std::size_t(t) * pitch; }
    void Done(int y, int t) const
    {
        BYTE* d = dst + std::size_t(y) * stride;
        detail::PackRow(Row(y, t), width, d);
        const std::size_t used = (std::size_t(width) + 7) / 8;
        std::memset(d + used, 0xFF, stride - used);
    }
};

// One kernel's diffusion over a page: the tables and the column ranges,
// shared read-only by every thread.
template <int F>
class Diffusion {
public:
    static constexpr Kernel K = kKernels[F];

    Diffusion(int width, int height, long errLimit, bool vectors)
        : m_dl(K), m_width(width), m_height(height)
    {
#if KX_ROWS_SSE2
        if (vectors && F == 5)
            m_sd.reset(new (std::nothrow) StuckiDeltas(m_dl));
        else if (vectors)
            m_vd.reset(new (std::nothrow) VectorDeltas(K, m_dl));
#else
        (void)vectors;
#endif
        // The columns in which every neighbour of a full row passes its test.
        int lo = 0, hi = int(std::min<long>(width - 1, errLimit));
        if (K.wX2) hi = std::min(hi, width - K.lim2);
        for (int t = 0; t < K.nNext; ++t) {
            const Range rg = TapRange(K.next[t].j, K.pNext, K.qNext, K.cNext, width);
            lo = std::max(lo, rg.lo);
            hi = std::min(hi, rg.hi);
        }
        for (int t = 0; t < K.nAfter; ++t) {
            const Range rg = TapRange(K.after[t].j, K.pAfter, K.qAfter, K.cAfter, width);
            lo = std::max(lo, rg.lo);
            hi = std::min(hi, rg.hi);
        }
        m_fastLo = std::min(lo, width);
        m_fastHi = std::clamp(hi, m_fastLo, width);
        m_spreadEnd = int(std::clamp<long>(errLimit, 0, width));
    }

    // Pixels [a, b) of storage row y: cur is the row, nxt and aft the two
    // below it, out the row's dots.
    void Span(int y, int a, int b, BYTE* cur, BYTE* nxt, BYTE* aft, BYTE* out) const
    {
        const bool hasNext = y < m_height - 1;
        const bool hasAfter = y < m_height - 2;
        const bool spread = !(K.noLastRow && !hasNext);
        const bool full = hasNext && (hasAfter || K.nAfter == 0);
        int x = a;
        auto guarded = [&](int end) {
            for (; x < end; ++x) {
                const int v = cur[x];
                out[x] = v < 128 ? 0 : 255;
                if (spread && x < m_spreadEnd)
                    SpreadGuarded<F>(m_dl, v, x, m_width, hasNext, hasAfter, cur, nxt, aft);
            }
        };
        if (full && spread && m_fastHi > m_fastLo) {
            guarded(std::min(b, m_fastLo));
            const int end = std::min(b, m_fastHi);
            if (x < end) {
#if KX_ROWS_SSE2
                if (m_sd)
                    DiffuseInteriorStucki(m_dl, *m_sd, cur, nxt, aft, out, x, end);
                else if (m_vd)
                    DiffuseInteriorVec<F>(m_dl, *m_vd, cur, nxt, aft, out, x, end);
                else
#endif
                    DiffuseInterior<F>(m_dl, cur, nxt, aft, out, x, end);
                x = end;
            }
        }
        guarded(b);
    }

private:
    const Deltas m_dl;
#if KX_ROWS_SSE2
    std::unique_ptr<VectorDeltas> m_vd;
    std::unique_ptr<StuckiDeltas> m_sd;
#endif
    int m_width, m_height;
    int m_fastLo = 0, m_fastHi = 0, m_spreadEnd = 0;
};

// Rows in a wavefront. A pixel's error reaches rn columns to either side in
// the next row, ra in the row after and two to its right in its own row
// (Stucki: rn = ra = 2). A cell of the next row is final once the row above
// has done the pixel rn columns to its right, a cell of the row after once
// it has done the one ra to its right. A span [x, b) of a row touches its
// own cells up to b + 1 (the middle stretch reads two ahead and writes its
// registers back up to there) and the next row's up to b + rn (the window
// reads one ahead of the kernel). So the span may run once the row above
// has done b - 1 + max(rn + 2, rn + ra + 1) (Stucki: b + 4), that is with
// the lag below behind the published progress of the row above, or to the
// end once that row is complete. Every cell then gets its additions in the
// order of the rows, and the dots are those of one thread.
constexpr int Reach(const Tap* taps, int n)
{
    int r = 0;
    for (int i = 0; i < n; ++i) r = std::max(r, taps[i].j < 0 ? -taps[i].j : taps[i].j);
    return r;
}
template <int F>
constexpr int LagOf()
{
    constexpr Kernel K = kKernels[F];
    constexpr int rn = Reach(K.next, K.nNext), ra = Reach(K.after, K.nAfter);
    return std::max(rn + 2, rn + ra + 1);
}
static_assert(LagOf<5>() == 5, "Stucki's rows run five pixels apart");
// Beyond the lag, a row keeps kGap pixels behind the row above, so that the
// two threads do not write the same cache lines back and forth; it works in
// spans of kSpanPixels (published when done) and waits rather than do a
// span shorter than kMinSpan (but the row's end).
constexpr int kGap = 192;
constexpr int kSpanPixels = 256;
constexpr int kMinSpan = 64;
constexpr int kMaxThreads = 16;

// Sizes of the work block: R row buffers with margins for the engines'
// reads one cell past the row, and the scratch rows of the sink.
constexpr int kMargin = 8;

int DiffusionThreads()
{
    if (detail::gDiffusionThreads != 0)
        return std::clamp(detail::gDiffusionThreads, -kMaxThreads, kMaxThreads);
    // One thread unless asked for more: on a shared two-core machine a
    // second thread that loses its core holds up the first (the rows wait
    // for each other), and the two together ran slower than one.
    return 1;
}

// Rows delivered by fill(r, buf) into buf (width bytes), visited in storage
// order, each left to right, the dots going to sink. The rows that can still
// receive error live in row buffers of their own; row y's buffer is filled
// when row y - 2 starts. False when the row buffers cannot be allocated.
template <int F, class Fill, class Sink>
bool DiffuseRowsK(Fill&& fill, int width, int height, long errLimit, const Sink& sink, int threads)
{
    const Diffusion<F> run(width, height, errLimit, !detail::gScalarDiffusion);
    const std::size_t pitch = std::size_t(width) + 2 * kMargin;
    // With T threads, rows y - T + 1 .. y are in work and reach down to
    // y + 2: T + 2 buffers.
    const bool interleaved = threads < 0;
    int T = std::max(1, std::min(std::abs(threads), height));
    std::unique_ptr<BYTE[]> work(new (std::nothrow) BYTE[std::size_t(T + 2) * pitch]());
    // Each row's progress on a cache line of its own.
    struct alignas(64) Progress {
        std::atomic<int> done{0};
    };
    std::unique_ptr<Progress[]> progress;
    if (T > 1) progress.reset(new (std::nothrow) Progress[std::size_t(height)]);
    if (T > 1 && (!work || !progress)) {
        // Not enough memory for the wavefront: one thread.
        T = 1;
        work.reset(new (std::nothrow) BYTE[3 * pitch]());
    }
    if (!work) return false;
    const int R = T + 2;
    auto rowBuf = [&](int r) { return work.get() + kMargin + std::size_t(r % R) * pitch; };
    for (int r = 0; r < 2 && r < height; ++r) fill(r, rowBuf(r));

    // A worker does rows t, t + size, ...; Step does the next span of its
    // row if the row above lets it (false when it must wait or is through).
    constexpr int kLag = LagOf<F>();
    struct Worker {
        int t, y, x;
        bool filled;  // row y + 2 is in its buffer
    };
    auto step = [&](Worker& w, int size) {
        if (w.y >= height) return false;
        if (!w.filled && w.y + 2 < height) fill(w.y + 2, rowBuf(w.y + 2));
        w.filled = true;
        int end = width;
        if (size > 1) {
            end = std::min(width, w.x + kSpanPixels);
            if (w.y > 0) {
                const int done =
                    progress[std::size_t(w.y - 1)].done.load(std::memory_order_acquire);
                const int limit = done >= width ? width : done - kLag - (interleaved ? 0 : kGap);
                if (limit < std::min(width, w.x + kMinSpan)) return false;
                end = std::min(end, limit);
            }
        }
        run.Span(w.y, w.x, end, rowBuf(w.y), rowBuf(w.y + 1), rowBuf(w.y + 2), sink.Row(w.y, w.t));
        w.x = end;
        if (size > 1) progress[std::size_t(w.y)].done.store(end, std::memory_order_release);
        if (end == width) {
            sink.Done(w.y, w.t);
            w.y += size;
            w.x = 0;
            w.filled = false;
        }
        return true;
    };

    if (interleaved) {
        // Tests: the workers take turns on this thread, each row running up
        // to the lag behind the row above as it stands after its last span.
        Worker ws[kMaxThreads];
        for (int t = 0; t < T; ++t) ws[t] = {t, t, 0, false};
        for (bool busy = true; busy;) {
            busy = false;
            for (int t = 0; t < T; ++t) busy = (step(ws[t], T) || ws[t].y < height) || busy;
        }
        return true;
    }
    std::atomic<int> team{0};
    auto worker = [&](int t) {
        int size;
        while ((size = team.load(std::memory_order_acquire)) == 0) std::this_thread::yield();
        Worker w{t, t, 0, false};
        for (int spins = 0; w.y < height;) {
            if (step(w, size)) {
                spins = 0;
            } else if (++spins >= 64) {
                std::this_thread::yield();
            }
        }
    };

    // Helper threads wait for the size of the team: the ones that could be
    // started. A failure to start one leaves fewer (at the least this one).
    std::thread helpers[kMaxThreads - 1];
    int started = 0;
    for (int t = 1; t < T; ++t) {
        try {
            helpers[t - 1] = std::thread(worker, t);
        } catch (...) {
            break;
        }
        ++started;
    }
    team.store(started + 1, std::memory_order_release);
    worker(0);
    for (int t = 0; t < started; ++t) helpers[t].join();
    return true;
}

template <class Fill, class Sink>
bool DiffuseRows(WORD wPhotoFilter, Fill&& fill, int width, int height, long errLimit,
                 const Sink& sink, int threads)
{
    switch (wPhotoFilter) {
        case PHOTO_FLOYD:
            return DiffuseRowsK<0>(fill, width, height, errLimit, sink, threads);
        case PHOTO_SIERRA:
            return DiffuseRowsK<1>(fill, width, height, errLimit, sink, threads);
        case PHOTO_BURKES:
            return DiffuseRowsK<2>(fill, width, height, errLimit, sink, threads);
        case PHOTO_JARVIS:
            return DiffuseRowsK<3>(fill, width, height, errLimit, sink, threads);
        case PHOTO_SIERRA_MOD:
            return DiffuseRowsK<4>(fill, width, height, errLimit, sink, threads);
        default:
            return DiffuseRowsK<5>(fill, width, height, errLimit, sink, threads);
    }
}

std::size_t Stride8(int width)
{
    return (std::size_t(width) + 3) & ~std::size_t(3);
}

// The first byte of each pixel of a 24-bit grey row.
struct FirstBytes {
    const BYTE* src;
    std::size_t stride;
    int width;
    const BYTE* operator()(int r, BYTE* buf) const
    {
        const BYTE* p = src + std::size_t(r) * stride;
        for (int x = 0; x < width; ++x) buf[x] = p[3 * std::size_t(x)];
        return buf;
    }
};

bool EngineArgsOk(const BYTE* src, BYTE* dst, int width, int height, std::size_t stride)
{
    if (!src || !dst) {
        Trace(u"ERROR UNI(Bitmap):  sourceData - destinationData ERROR \r\n");
        return false;
    }
    return width > 0 && height > 0 && stride >= 3 * std::size_t(width);
}

}  // namespace

BOOL ProcessClusteredDither(WORD wFilter, const BYTE* src, BYTE* dst, int width, int height,
                            std::size_t srcStride)
{
    if (!EngineArgsOk(src, dst, width, height, srcStride)) return FALSE;
    if (wFilter < FILTER_CLUSTERED4 || wFilter > FILTER_BAYER8) return FALSE;
    std::vector<BYTE> buf(static_cast<std::size_t>(width));
    const std::size_t stride8 = Stride8(width);
    ClusteredRows(wFilter, FirstBytes{src, srcStride, width}, height, buf.data(),
                  [&](int y, const BYTE* g, const BYTE* thr) {
                      PutOrderedBytes(g, thr, width, dst + std::size_t(y) * stride8);
                  });
    return TRUE;
}

BOOL ProcessFilter(WORD wPhotoFilter, const BYTE* src, BYTE* dst, int width, int height,
                   std::size_t srcStride)
{
    if (!EngineArgsOk(src, dst, width, height, srcStride)) return FALSE;
    if (wPhotoFilter > PHOTO_STUCKI) return FALSE;
    FirstBytes rows{src, srcStride, width};
    return DiffuseRows(
               wPhotoFilter, [&](int r, BYTE* buf) { rows(r, buf); }, width, height,
               long(srcStride) - 3, ByteRows{dst, Stride8(width)}, DiffusionThreads())
               ? TRUE
               : FALSE;
}

// ------------------------------------------------------------ Dithering

namespace {

// The value of each grey level after contrast, brightness and curve.
void BuildToneTable(const detail::ReduceSettings& s, BYTE* table)
{
    const int b = s.brightness, k = s.curve, K = s.contrast, t = s.threshold;
    const int m = std::max(t / 3, K);
    auto brightnessRule = [b](int v) {
        v = std::clamp(v, 0, 255);
        if (b < 0 && v >= b + 249) v = 255;
        if (b > 0 && v <= b + 4) v = 0;
        return v;
    };
    auto ends = [](int v) { return v < 8 ? 0 : (v >= 248 ? 255 : v); };
    for (int L = 0; L <= kMaxGreyLevel; ++L) {
        int v = L;
        if (K > 0) {
            if (L >= 255 - m) {
                v = (255 - L < K) ? L + K / 2 : L + K;
            } else {
                v = ((255 - m) - L < K) ? L - K / 2 : L - K;
            }
            v = std::clamp(v, 1, 255);
        }
        v = ends(brightnessRule(v + b));
        if (k != 0) {
            // The curve lifts (or lowers) the mid-tones: the distance to the
            // nearer end, measured against the threshold, scaled by k. After
            // it the value is clamped and snapped by the brightness rule
            // again (the brightness itself is not added a second time), and
            // the ends are snapped again.
            const int tp = t == 0 ? 1 : t;
            const int dist = v <= tp ? v : 255 - v;
            v = ends(brightnessRule(v + k * dist / tp));
        }
        table[L] = BYTE(v);
    }
}

}  // namespace

namespace {

// Content: the corrected values are not all equal. Only the pixels of the
// picture count, not the row padding (which would read as white and make
// every flat page look like content). A 24-bit row of pixels all equal to
// the page's first pixel reads as its value without being mapped.
bool HasContent(const Bitmap& bmp, const detail::GreyRowReader& reader, BYTE* row)
{
    reader.StorageRow(0, row);
    const BYTE first = row[0];
    const std::size_t rowBytes = 3 * std::size_t(bmp.Width);
    for (int r = 0; r < bmp.Height; ++r) {
        const BYTE* p = bmp.Data + std::size_t(r) * bmp.ScanLineSize;
        if (bmp.Bpp == 24 && std::memcmp(p, bmp.Data, 3) == 0 &&
            std::memcmp(p, p + 3, rowBytes - 3) == 0)
            continue;
        reader.StorageRow(r, row);
        if (std::any_of(row, row + bmp.Width, [&](BYTE v) { return v != first; })) return true;
    }
    return false;
}

// The dithering mode of the settings: an ordered filter (a filter beyond
// the last matrix counts as "Clustered x4", as page end corrects it), or
// error diffusion (0: neither).
WORD OrderedFilter(const detail::ReduceSettings& s)
{
    if (s.wDruckmodus != DRUCKMODUS_GRAFIK || s.wGrafikFilter < FILTER_CLUSTERED4) return 0;
    return s.wGrafikFilter > FILTER_BAYER8 ? WORD(FILTER_CLUSTERED4) : s.wGrafikFilter;
}

long DiffusionLimit(int width)
{
    // No error is spread from the columns at or beyond the 24-bit row size
    // less three.
    return long(((24 * std::int64_t(width) + 31) / 32) * 4) - 3;
}

}  // namespace

BOOL Bitmap::Dithering(PDEVOBJ pdevobj)
{
    Trace(u"UNI(Bitmap):  Bitmap::Dithering() Start \r\n");
    if (!Data || DataSize == 0 || Width < 1 || Height < 1) return FALSE;
    const detail::ReduceSettings s = detail::ReadSettings(pdevobj);

    BYTE tone[kMaxGreyLevel + 1];
    BuildToneTable(s, tone);
    const detail::GreyRowReader reader(*this, tone);
    std::vector<BYTE> row(static_cast<std::size_t>(Width));
    if (!HasContent(*this, reader, row.data())) {
        Trace(u"UNI(Bitmap):  Bitmap::Dithering() kein Bildinhalt vorhanden \r\n");
        return FALSE;
    }

    // The 8-bit target. The grey picture that the engines read is made one
    // row at a time from the page itself (the same values a 24-bit grey copy
    // of the page would hold), so the page is never held twice. From eight
    // bits up the target is the page's own block: each 8-bit row lies at or
    // before its source row and behind every row still to be read (the
    // engines read a row before they write it, and at most two rows ahead),
    // so the rows are replaced in place.
    const std::size_t stride8 = Stride8(Width);
    const bool inPlace = Bpp >= 8;
    BYTE* target = Data;
    if (!inPlace) {
        const std::size_t size = stride8 * (std::size_t(Height) + 1);
        target = size > 0xFFFFFFFFull ? nullptr : static_cast<BYTE*>(plat::HeapAlloc(size, false));
        if (!target) {
            Trace(
                u"ERROR UNI(Bitmap):  Dithering() Error - das Bitmap hat noch 24 Bit, ist also "
                u"unbrauchbar.  \r\n");
            return FALSE;
        }
        ++iHAllocZaehlerUNI;
        std::memset(target + std::size_t(Height) * stride8, 0, stride8);  // the spare row
    }

    auto fill = [&](int r, BYTE* buf) {
        reader.StorageRow(r, buf);
        return static_cast<const BYTE*>(buf);
    };
    if (const WORD filter = OrderedFilter(s)) {
        ClusteredRows(filter, fill, Height, row.data(), [&](int y, const BYTE* g, const BYTE* thr) {
            PutOrderedBytes(g, thr, Width, target + std::size_t(y) * stride8);
        });
    } else if (s.wDruckmodus == DRUCKMODUS_PHOTO) {
        // An unknown photo filter falls back to the default kernel, Stucki.
        if (!DiffuseRows(s.wPhotoFilter, fill, Width, Height, DiffusionLimit(Width),
                         ByteRows{target, stride8}, DiffusionThreads())) {
            // Out of memory before the first row: the page is unchanged.
            if (!inPlace) {
                plat::HeapFree(target);
                --iHAllocZaehlerUNI;
            }
            return FALSE;
        }
    } else {
        // Not a dithering mode: the corrected grey values are kept as they are.
        for (int r = 0; r < Height; ++r) reader.StorageRow(r, target + r * stride8);
    }

    // Row padding is zero (written last: in place it held source pixels).
    for (int r = 0; r < Height; ++r)
        std::memset(target + r * stride8 + Width, 0, stride8 - std::size_t(Width));
    if (!inPlace) {
        FreeData();
        Data = target;
    }
    Bpp = 8;
    ScanLineSize = DWORD(stride8);
    DataSize = DWORD(stride8 * std::size_t(Height));
    Colors = 256;
    FillGreyPalette(Palette);
    InitHeader();
    if (Bildverarbeitung* rec = detail::PageRecordOf(pdevobj)) rec->bmInfoHeader.biBitCount = 8;
    Trace(u"UNI(Bitmap):  Bitmap::Dithering() Ende \r\n");
    return TRUE;
}

BOOL Bitmap::DitherToOneBit(PDEVOBJ pdevobj, BOOL* pbColourFound)
{
    const detail::ReduceSettings s = detail::ReadSettings(pdevobj);
    const WORD filter = OrderedFilter(s);
    if (!detail::gFusedReduction || Bpp < 8 || (!filter && s.wDruckmodus != DRUCKMODUS_PHOTO)) {
        if (!Dithering(pdevobj)) return FALSE;
        ConvertToXBit(1, nullptr, FALSE, pdevobj, pbColourFound);
        return TRUE;
    }

    // As Dithering, but each row of dots goes straight to its one-bit row
    // in the page's own block (which lies before every row still to be
    // read), as ConvertToXBit(1) would make it of the 8-bit page: a dot of
    // 0 prints, 255 is white.
    Trace(u"UNI(Bitmap):  Bitmap::Dithering() Start \r\n");
    if (!Data || DataSize == 0 || Width < 1 || Height < 1) return FALSE;
    BYTE tone[kMaxGreyLevel + 1];
    BuildToneTable(s, tone);
    const detail::GreyRowReader reader(*this, tone, true);
    std::vector<BYTE> row(static_cast<std::size_t>(Width));
    if (!HasContent(*this, reader, row.data())) {
        Trace(u"UNI(Bitmap):  Bitmap::Dithering() kein Bildinhalt vorhanden \r\n");
        return FALSE;
    }
    auto fill = [&](int r, BYTE* buf) {
        reader.StorageRow(r, buf);
        return static_cast<const BYTE*>(buf);
    };
    const std::size_t sls1 = ((std::size_t(Width) + 31) / 32) * 4;
    const std::size_t used = (std::size_t(Width) + 7) / 8;
    if (filter && Bpp == 24) {
        // The rows are read by the dots themselves, not filled first.
        const OrderedSums sums(reader.BySum());
        auto none = [](int, BYTE* buf) { return static_cast<const BYTE*>(buf); };
        ClusteredRows(filter, none, Height, row.data(), [&](int y, const BYTE*, const BYTE* thr) {
            BYTE* d = Data + std::size_t(y) * sls1;
            sums.Row(Data + std::size_t(y) * ScanLineSize, Width, thr, row.data(), d);
            std::memset(d + used, 0xFF, sls1 - used);
        });
    } else if (filter) {
        ClusteredRows(filter, fill, Height, row.data(), [&](int y, const BYTE* g, const BYTE* thr) {
            BYTE* d = Data + std::size_t(y) * sls1;
            detail::PackOrderedRow(g, thr, Width, d);
            std::memset(d + used, 0xFF, sls1 - used);
        });
    } else {
        int threads = DiffusionThreads();
        const std::size_t pitch = (std::size_t(Width) + 15) & ~std::size_t(15);
        std::unique_ptr<BYTE[]> scratch(new (std::nothrow)
                                            BYTE[std::size_t(std::abs(threads)) * pitch]);
        if (!scratch && threads > 1) {
            threads = 1;
            scratch.reset(new (std::nothrow) BYTE[pitch]);
        }
        if (!scratch || !DiffuseRows(s.wPhotoFilter, fill, Width, Height, DiffusionLimit(Width),
                                     PackedRows{Data, sls1, Width, scratch.get(), pitch}, threads))
            return FALSE;  // out of memory before the first row: the page is unchanged
    }
    if (Bildverarbeitung* rec = detail::PageRecordOf(pdevobj)) rec->bmInfoHeader.biBitCount = 8;
    Trace(u"UNI(Bitmap):  Bitmap::Dithering() Ende \r\n");

    if (pbColourFound) *pbColourFound = TRUE;
    Trace(u"UNI(Bitmap):  ConvertToXBit() Farbwerte R: %d, G: %d, B: %d \r\n", 0, 0, 0);
    SetOneBitLayout(0x000000);
    return TRUE;
}

// ------------------------------------------------------------ settings

namespace {

// Each byte with its bits in the opposite order.
struct ReversedBits {
    BYTE v[256];
    constexpr ReversedBits() : v{}
    {
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
            v[i] = BYTE(r);
        }
    }
};
constexpr ReversedBits kReversed{};
constexpr const BYTE (&kReversedBits)[256] = kReversed.v;

}  // namespace

namespace detail {

bool gScalarDiffusion = false;
int gDiffusionThreads = 0;
bool gFusedReduction = true;

namespace {

// Packs a row eight dots a byte, most significant bit first, bits beyond the
// width white: whiteMask16(x) gives the white dots x .. x + 15 as a byte mask
// (bit i for dot x + i, vector rows only), white(x) the one dot x.
template <class Mask16, class White>
void PackDots(int width, BYTE* dst, [[maybe_unused]] Mask16&& whiteMask16, White&& white)
{
    int x = 0;
#if KX_ROWS_SSE2
    // The gathered bits run least significant first and are turned round.
    for (; x + 16 <= width; x += 16) {
        const unsigned m = whiteMask16(x);
        dst[x >> 3] = kReversedBits[m & 0xFF];
        dst[(x >> 3) + 1] = kReversedBits[m >> 8];
    }
#endif
    for (; x < width; x += 8) {
        unsigned bits = 0;
        const int n = std::min(8, width - x);
        for (int i = 0; i < n; ++i) bits |= unsigned(white(x + i)) << (7 - i);
        dst[x >> 3] = BYTE(bits | (0xFFu >> n));
    }
}

}  // namespace

void PackRow(const BYTE* v, int width, BYTE* dst)
{
    PackDots(
        width, dst,
        [v]([[maybe_unused]] int x) {
#if KX_ROWS_SSE2
            // Bit 0 of each byte moved to bit 7, sixteen dots gathered at once.
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + x));
            return unsigned(_mm_movemask_epi8(_mm_slli_epi16(b, 7)));
#else
            return 0u;
#endif
        },
        [v](int x) { return (v[x] & 1) != 0; });
}

void PackOrderedRow(const BYTE* g, const BYTE* thr, int width, BYTE* dst)
{
    PackDots(
        width, dst,
        [g, thr]([[maybe_unused]] int x) {
#if KX_ROWS_SSE2
            // White where max(g, thr) == g, that is g >= thr, as unsigned bytes.
            const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(thr));
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + x));
            return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, t), v)));
#else
            return 0u;
#endif
        },
        [g, thr](int x) { return g[x] >= thr[x % 16]; });
}

Bildverarbeitung* PageRecordOf(PDEVOBJ pdevobj)
{
    return JobContext(pdevobj).PageImage();
}

ReduceSettings ReadSettings(PDEVOBJ pdevobj)
{
    ReduceSettings s;
    if (const KX_DEVMODE* dm = GetKxDevmode(pdevobj)) {
        auto within50 = [](DWORD v) {
            const int i = int(v);
            return i < -50 || i > 50 ? 0 : i;
        };
        s.wDruckmodus = dm->wDruckmodus;
        s.wGrafikFilter = dm->wGrafikFilter;
        s.wPhotoFilter = dm->wPhotoFilter;
        s.threshold = dm->wEmpfindlichkeit;
        s.contrast = dm->wBrightnessContrast;
        s.brightness = within50(dm->dwBrightnessAll);
        s.curve = within50(dm->dwBrightnessCurve);
        s.wFarbband = dm->wFarbband;
        s.customColour = dm->dwRGBColorOwn1;
        const int tol = dm->dwColorTolerance;
        s.tolerance = tol > 999 ? int(std::sqrt(double(tol))) : tol;
        s.correction = dm->wColorChannel;
        s.captureRange = dm->wHorizontalCorrGap;
        s.fringe = dm->wColorSeam;
        s.optimisation = dm->wNoColorOptimization == 0;
    }
    if (const DruckDaten* d = JobContext(pdevobj).Data())
        s.colourPrint = (d->dwDocFeatures & DOC_FEATURE_COLORPRINT) != 0;
    return s;
}

}  // namespace detail

}  // namespace kx
