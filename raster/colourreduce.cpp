// ConvertToXBit: pixel classification into an 8-bit index image (with the
// blank-row counts and the ribbon-colour plane of colour printing), and the
// exact-match reduction to one bit.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "core/trace.h"
#include "raster/dither_internal.h"

namespace kx {

namespace {

using detail::ReduceSettings;

constexpr int kWhite = 255;

// Everything the classification of one pixel needs, prepared once: the
// component sums of the three fixed table entries, the ribbon colour and its
// tolerance, and the class of every grey level (steps that depend on the
// grey level alone).
struct Classifier {
    int sum0 = -1, sum1 = -1, sum255 = -1;
    bool ribbon = false;  // colour printing with a ribbon setting below 7
    int k = 255;          // ribbon class
    int kr = 0, kg = 0, kb = 0;
    long tol2 = 0;  // squared tolerance
    BYTE byLevel[kMaxGreyLevel + 1] = {};
    BYTE bySum[detail::kMaxWeightedSum + 1] = {};
    // By component sum R + G + B: the class of the fixed table entry with
    // that sum (the first of entries 0, 1, 255 wins), or -1.
    short fixedBySum[3 * 255 + 1];

    // table: the colour table classified against (null: none).
    Classifier(const RGBQUAD* table, const ReduceSettings& s, int pass, bool colourPrint,
               int tolerance)
    {
        if (table) {
            auto sum = [&](int i) {
                return table[i].rgbRed + table[i].rgbGreen + table[i].rgbBlue;
            };
            sum0 = sum(0);
            sum1 = sum(1);
            sum255 = sum(255);
        }
        if (colourPrint && s.wFarbband < 7) {
            ribbon = true;
            k = RibbonColourIndex(s.wFarbband);
            if (table) {
                kr = table[k].rgbRed;
                kg = table[k].rgbGreen;
                kb = table[k].rgbBlue;
            } else {
                kr = kg = kb = 255;
            }
            // trunc(distance) < tol is distance^2 < tol^2 for a whole tol.
            tol2 = long(tolerance) * tolerance;
        }
        const int P = colourPrint ? 1 : 0;
        const int t = s.threshold;
        for (int L = 0; L <= kMaxGreyLevel; ++L) {
            int c;
            if (s.wGrafikFilter == FILTER_SCHWARZWEISS) {
                c = L < 250 ? P : kWhite;
            } else {
                int K = s.contrast;
                const int m = std::max(t / 3, K);
                int Lp;
                if (L < 255 - K) {
                    if (255 - m - L < K) K /= 2;
                    Lp = L - K;
                } else {
                    if (255 - L < K) K /= 2;
                    Lp = L + K;
                }
                Lp = std::clamp(Lp, 0, 255);
                if (s.DitherMode() && pass == 0)
                    c = std::min(Lp + (colourPrint ? 9 : 1), 255);
                else
                    c = Lp < t ? P : kWhite;
            }
            byLevel[L] = BYTE(c);
        }
        for (int S = 0; S <= detail::kMaxWeightedSum; ++S) bySum[S] = byLevel[(4 * S) / 41];
        std::fill(std::begin(fixedBySum), std::end(fixedBySum), short(-1));
        if (sum255 >= 0) fixedBySum[sum255] = 255;
        if (sum1 >= 0) fixedBySum[sum1] = 1;
        if (sum0 >= 0) fixedBySum[sum0] = 0;
    }

    int Classify(int r, int g, int b) const
    {
        const int sum = r + g + b;
        if (sum == sum0) return 0;
        if (sum == sum1) return 1;
        if (sum == sum255) return 255;
        if (ribbon) {
            const long dr = r - kr, dg = g - kg, db = b - kb;
            if (dr * dr + dg * dg + db * db < tol2) return k;
        }
        return bySum[detail::WeightedSum(r, g, b)];
    }
};

// Reads picture row y as classes (and, when asked, grey levels).
class ClassRowReader {
public:
    ClassRowReader(const Bitmap& bmp, const Classifier& cl) : m_bmp(bmp), m_cl(cl)
    {
        if (bmp.Bpp <= 8) {
            for (int i = 0; i < 256; ++i) {
                const RGBQUAD& q = bmp.Palette[i];
                m_byIndex[i] = BYTE(cl.Classify(q.rgbRed, q.rgbGreen, q.rgbBlue));
                m_greyByIndex[i] = short(GreyLevel(q.rgbRed, q.rgbGreen, q.rgbBlue));
            }
        }
    }

    void Row(int y, BYTE* cls, short* grey) const
    {
        const Bitmap& b = m_bmp;
        const BYTE* p = b.Row(y);
        const int w = b.Width;
        if (b.Bpp == 24) {
            if (m_cl.ribbon) {
                for (int x = 0; x < w; ++x, p += 3) cls[x] = BYTE(m_cl.Classify(p[2], p[1], p[0]));
            } else {
                // Without a ribbon colour: the fixed entries by their sums,
                // everything else by its weighted sum, without branches.
                const BYTE* bySum = m_cl.bySum;
                const short* fixed = m_cl.fixedBySum;
                for (int x = 0; x < w; ++x, p += 3) {
                    const int b0 = p[0], g0 = p[1], r0 = p[2];
                    const int f = fixed[r0 + g0 + b0];
                    const int c = bySum[3 * r0 + 6 * g0 + ((3 * b0) >> 1)];
                    cls[x] = BYTE(f >= 0 ? f : c);
                }
            }
            if (grey) {
                p = b.Row(y);
                for (int x = 0; x < w; ++x, p += 3) grey[x] = short(GreyLevel(p[2], p[1], p[0]));
            }
        } else if (b.Bpp == 8) {
            for (int x = 0; x < w; ++x) cls[x] = m_byIndex[p[x]];
            if (grey)
                for (int x = 0; x < w; ++x) grey[x] = m_greyByIndex[p[x]];
        } else if (b.Bpp < 8) {
            for (int x = 0; x < w; ++x) {
                const int i = b.GetPixelIndex(x, y);
                cls[x] = m_byIndex[i];
                if (grey) grey[x] = m_greyByIndex[i];
            }
        } else {
            for (int x = 0; x < w; ++x) {
                const DWORD c = b.GetPixelColor(x, y);
                cls[x] = BYTE(m_cl.Classify(RedOf(c), GreenOf(c), BlueOf(c)));
                if (grey) grey[x] = short(GreyLevel(RedOf(c), GreenOf(c), BlueOf(c)));
            }
        }
    }

private:
    const Bitmap& m_bmp;
    const Classifier& m_cl;
    BYTE m_byIndex[256] = {};
    short m_greyByIndex[256] = {};
};

// Colour-fringe correction of colour printing.
//
// Where a ribbon-colour area meets paper or black, the renderer's smoothing
// leaves mixed pixels that match neither the ribbon colour nor black; left
// alone they print as a black (or dithered) seam round every colour area.
// The rules below re-class such pixels from their neighbours. Terms:
//   colour     the ribbon-colour class k;
//   dark       a grey level below half the ribbon colour's own grey level:
//              darker than any mixture of the ribbon colour with paper, so
//              a real black detail;
//   candidate  neither colour nor white (class 255) nor dark: a mixture.
// Left neighbours and the rows above are taken as already corrected, the
// right neighbour as classified. The rows above are kept in three line
// buffers, the current row in a fourth, each Width + 4 bytes with two white
// columns on either side.
//
// Colour correction (wColorChannel):
//   0 "Nur Farbe"        no correction.
//   1 "Horizontale"      looking back along the row up to the capture range
//                        (wHorizontalCorrGap pixels of gap) for the previous
//                        colour pixel: the candidates between two colour
//                        pixels become black when their grey level is below
//                        221, else colour.
//   4 "Horizontale erw." as 1, and a gap of at most two pixels is taken
//                        whole: its white or black pixels follow the same
//                        221 rule (a white dot inside colour becomes
//                        colour, a dark dot stays black).
//   2 "Vertikale"        a candidate right below a colour pixel becomes
//                        colour when its grey level is above 70.
//   3 "Vertikale erw."   as 2, and the colour may also lie diagonally above,
//                        or up to three rows above with only candidates in
//                        between.
// Colour fringe (wColorSeam), after the correction:
//   1 "Nur Grau entfernen"        (only while colour optimisation is on) a
//                                 candidate that still touches colour on the
//                                 left, right or above becomes white.
//   2 "Farbe und Grau entfernen"  rule 1 (again only with optimisation on),
//                                 and a colour pixel with no colour on its
//                                 left, right or above, a lone dot, is
//                                 removed: black when one of those
//                                 neighbours is dark, else white.
// With correction 0 and fringe 0 every class stays as classified.
class FringeCorrector {
public:
    FringeCorrector(const ReduceSettings& s, int k, DWORD ribbonColour, int width)
        : m_mode(s.correction),
          m_seam(s.fringe),
          m_optimise(s.optimisation),
          m_k(k),
          m_range(s.captureRange),
          m_width(width)
    {
        m_darkLimit =
            GreyLevel(RedOf(ribbonColour), GreenOf(ribbonColour), BlueOf(ribbonColour)) / 2;
        for (auto& b : m_buf) b.assign(std::size_t(width) + 4, BYTE(kWhite));
        m_greyUp.assign(std::size_t(width) + 4, short(255));
    }

    bool Active() const { return m_mode != 0 || m_seam != 0; }

    // Corrects one row of classes in place (grey: its grey levels).
    void Row(BYTE* cls, const short* grey)
    {
        BYTE* cur = m_buf[3].data() + 2;
        std::memcpy(cur, cls, std::size_t(m_width));
        const BYTE* up1 = m_buf[0].data() + 2;
        const BYTE* up2 = m_buf[1].data() + 2;
        const BYTE* up3 = m_buf[2].data() + 2;
        auto colour = [&](int c) { return c == m_k; };
        auto dark = [&](int x) { return grey[x] < m_darkLimit; };
        auto candidate = [&](int x) { return !colour(cur[x]) && cur[x] != kWhite && !dark(x); };
        auto reclass221 = [&](int x) { cur[x] = BYTE(grey[x] < 221 ? 1 : m_k); };

        if (m_mode == 1 || m_mode == 4) {
            int last = -1;
            for (int x = 0; x < m_width; ++x) {
                if (!colour(cls[x])) continue;
                const int gap = x - last - 1;
                if (last >= 0 && gap >= 1 && gap <= m_range) {
                    for (int i = last + 1; i < x; ++i) {
                        if (candidate(i) || (m_mode == 4 && gap <= 2)) reclass221(i);
                    }
                }
                last = x;
            }
        } else if (m_mode == 2 || m_mode == 3) {
            for (int x = 0; x < m_width; ++x) {
                if (!candidate(x) || grey[x] <= 70) continue;
                bool above = colour(up1[x]);
                if (m_mode == 3 && !above) {
                    above = colour(up1[x - 1]) || colour(up1[x + 1]);
                    const bool mixed1 = up1[x] != kWhite && !colour(up1[x]);
                    const bool mixed2 = up2[x] != kWhite && !colour(up2[x]);
                    if (!above && mixed1) above = colour(up2[x]) || (mixed2 && colour(up3[x]));
                }
                if (above) cur[x] = BYTE(m_k);
            }
        }

        if (m_seam >= 1 && m_optimise) {
            for (int x = 0; x < m_width; ++x) {
                if (!candidate(x)) continue;
                if (colour(cur[x - 1]) || colour(cur[x + 1]) || colour(up1[x])) cur[x] = kWhite;
            }
        }
        if (m_seam == 2) {
            const short* gUp = m_greyUp.data() + 2;
            for (int x = 0; x < m_width; ++x) {
                if (!colour(cur[x])) continue;
                if (colour(cur[x - 1]) || colour(cur[x + 1]) || colour(up1[x])) continue;
                const bool darkNeighbour = (x > 0 && dark(x - 1)) ||
                                           (x + 1 < m_width && dark(x + 1)) || gUp[x] < m_darkLimit;
                cur[x] = BYTE(darkNeighbour ? 1 : kWhite);
            }
        }

        std::memcpy(cls, cur, std::size_t(m_width));
        // The corrected row moves up; the oldest buffer becomes the next row.
        std::rotate(m_buf.begin(), m_buf.begin() + 3, m_buf.end());
        std::copy(grey, grey + m_width, m_greyUp.begin() + 2);
    }

private:
    WORD m_mode, m_seam;
    bool m_optimise;
    int m_k, m_range, m_width;
    int m_darkLimit = 0;
    // 0..2: the corrected rows above (nearest first); 3: the current row.
    std::array<std::vector<BYTE>, 4> m_buf;
    std::vector<short> m_greyUp;  // grey levels of the row above
};

// The blank rows at the top (before the first row with content) and at the
// bottom (after the last one), from a flag per picture row.
void CountBlankRows(const std::vector<char>& blankRow, DWORD& top, DWORD& bottom)
{
    bool seenContent = false;
    for (const char blank : blankRow) {
        if (blank) {
            if (!seenContent) ++top;
            ++bottom;
        } else {
            seenContent = true;
            bottom = 0;
        }
    }
}

// The one-bit threshold as steps over the weighted sum: a dot bit that is
// clear below one sum and set from it on (the usual case: a rising table),
// and the fixed table entries by their component sums.
struct SumSteps {
    int whiteFrom = 0, blankFrom = 0;  // the first sums with the bit set
    int nFixed = 0;
    int fixedSum[3] = {};
    BYTE fixedDot[3] = {};

    // False when a bit of bySum is not such a step (the plain loop runs).
    bool Make(const BYTE* bySum, const BYTE* fixed)
    {
        auto stepOf = [&](BYTE bit) {
            int from = detail::kMaxWeightedSum + 1;
            while (from > 0 && (bySum[from - 1] & bit)) --from;
            for (int S = 0; S < from; ++S)
                if (bySum[S] & bit) return -1;
            return from;
        };
        whiteFrom = stepOf(1);
        blankFrom = stepOf(2);
        for (int sum = 0; sum <= 3 * 255; ++sum) {
            if (fixed[sum] == 0x03) continue;
            fixedSum[nFixed] = sum;
            fixedDot[nFixed++] = BYTE(fixed[sum] >> 4);
        }
        return whiteFrom >= 0 && blankFrom >= 0;
    }
};

#if KX_ROWS_SSE2
// Eight pixels at a time in 16-bit lanes, the same integer formulas as the
// plain loop (the last pixel of a row is left to the plain loop), the mask's
// bits coming out as the dot byte. Writes the dot
// bytes of the columns done and returns the first column not done (a
// multiple of 8); clears bit 1 of all when a pixel done is not blank.
int ClassifyRowSse2(const BYTE* p, int width, const SumSteps& st, BYTE* dst, BYTE& all)
{
    const __m128i whiteBelow = _mm_set1_epi16(short(st.whiteFrom - 1));
    const __m128i blankBelow = _mm_set1_epi16(short(st.blankFrom - 1));
    __m128i fixedSum[3], fixedWhite[3], fixedBlank[3];
    for (int i = 0; i < st.nFixed; ++i) {
        fixedSum[i] = _mm_set1_epi16(short(st.fixedSum[i]));
        fixedWhite[i] = _mm_set1_epi16(short((st.fixedDot[i] & 1) ? -1 : 0));
        fixedBlank[i] = _mm_set1_epi16(short((st.fixedDot[i] & 2) ? -1 : 0));
    }
    __m128i allBlank = _mm_set1_epi16(-1);
    int x = 0;
    for (; x + 9 <= width; x += 8) {
        __m128i sum;
        const __m128i S = detail::WeightedSums8(p + 3 * std::size_t(x), true, &sum);
        __m128i white = _mm_cmpgt_epi16(S, whiteBelow);
        __m128i blank = _mm_cmpgt_epi16(S, blankBelow);
        for (int i = 0; i < st.nFixed; ++i) {
            const __m128i eq = _mm_cmpeq_epi16(sum, fixedSum[i]);
            white = _mm_or_si128(_mm_andnot_si128(eq, white), _mm_and_si128(eq, fixedWhite[i]));
            blank = _mm_or_si128(_mm_andnot_si128(eq, blank), _mm_and_si128(eq, fixedBlank[i]));
        }
        allBlank = _mm_and_si128(allBlank, blank);
        dst[x >> 3] = BYTE(_mm_movemask_epi8(_mm_packs_epi16(white, white)));
    }
    if (_mm_movemask_epi8(allBlank) != 0xFFFF) all &= BYTE(~2);
    return x;
}
#endif

}  // namespace

void Bitmap::SetOneBitLayout(DWORD target0)
{
    Bpp = 1;
    Colors = 2;
    ScanLineSize = DWORD(((std::int64_t(Width) + 31) / 32) * 4);
    DataSize = ScanLineSize * DWORD(Height);
    std::memset(Palette, 0xFF, sizeof(Palette));
    SetPaletteColor(0, target0);
    SetPaletteColor(1, 0xFFFFFF);
    InitHeader();
}

DWORD Bitmap::ClassifyToOneBit(PDEVOBJ pdevobj, BOOL* pbColourFound)
{
    const ReduceSettings s = detail::ReadSettings(pdevobj);
    if (!detail::gFusedReduction || Bpp != 24 || !Data || DataSize == 0 || s.colourPrint ||
        !s.ThresholdMode()) {
        const DWORD result = ConvertToXBit(8, nullptr, FALSE, pdevobj, pbColourFound);
        ConvertToXBit(1, nullptr, FALSE, pdevobj, pbColourFound);
        return result;
    }
    if (pbColourFound) *pbColourFound = TRUE;

    // The classes against the page's table (white without one), as
    // ConvertToXBit(8) gives them, and straight on what ConvertToXBit(1)
    // makes of each class: bit 0 set for a white dot (the class's table
    // entry is not black), bit 1 for class 255 (a row of them is blank).
    RGBQUAD table[256];
    const Bildverarbeitung* rec = detail::PageRecordOf(pdevobj);
    if (rec && rec->prgbq)
        std::memcpy(table, rec->prgbq, sizeof(table));
    else
        std::memset(table, 0xFF, sizeof(table));
    ReduceSettings plain = s;
    plain.wFarbband = 0;
    const auto cl = std::make_unique<Classifier>(table, plain, 0, false, 0);
    BYTE dot[256];
    for (int c = 0; c < 256; ++c) {
        const RGBQUAD& q = table[c];
        dot[c] =
            BYTE((RGBColour(q.rgbRed, q.rgbGreen, q.rgbBlue) != 0 ? 1 : 0) | (c == kWhite ? 2 : 0));
    }
    // By weighted sum: the dot of the grey class. By component sum: 0x03
    // keeps that dot; a fixed table entry's class replaces it (its dot in
    // the high nibble, the low nibble 0 clears the grey class's).
    BYTE bySum[detail::kMaxWeightedSum + 1];
    for (int S = 0; S <= detail::kMaxWeightedSum; ++S) bySum[S] = dot[cl->bySum[S]];
    BYTE fixed[3 * 255 + 1];
    for (int sum = 0; sum <= 3 * 255; ++sum) {
        const int f = cl->fixedBySum[sum];
        fixed[sum] = f >= 0 ? BYTE(dot[f] << 4) : BYTE(0x03);
    }

    // Storage rows ascending, in place: a row is read whole before its one
    // bit row is written, which lies before every row still to be read.
    const DWORD sls1 = DWORD(((std::int64_t(Width) + 31) / 32) * 4);
    const std::size_t used = (std::size_t(Width) + 7) / 8;
    std::vector<BYTE> v(static_cast<std::size_t>(Width));
    std::vector<char> blankRow(static_cast<std::size_t>(Height));
    // A rising table runs eight pixels at a time, the rest of the row (and
    // any other table) in the plain loop.
    SumSteps steps;
    const bool vectors = KX_ROWS_SSE2 && steps.Make(bySum, fixed);
    for (int r = 0; r < Height; ++r) {
        const BYTE* row = Data + std::size_t(r) * ScanLineSize;
        BYTE* dst = Data + std::size_t(r) * sls1;
        BYTE all = 0xFF;
        int x0 = 0;
#if KX_ROWS_SSE2
        if (vectors) x0 = ClassifyRowSse2(row, Width, steps, dst, all);
#endif
        const BYTE* p = row + 3 * std::size_t(x0);
        for (int x = x0; x < Width; ++x, p += 3) {
            const unsigned b0 = p[0], g0 = p[1], r0 = p[2];
            const unsigned f = fixed[r0 + g0 + b0];
            const BYTE d = BYTE((bySum[3 * r0 + 6 * g0 + ((3 * b0) >> 1)] & f) | (f >> 4));
            v[std::size_t(x)] = d;
            all &= d;
        }
        blankRow[std::size_t(Height - 1 - r)] = (all & 2) != 0;
        detail::PackRow(v.data() + x0, Width - x0, dst + (x0 >> 3));
        std::memset(dst + used, 0xFF, sls1 - used);
    }
    DWORD dwLeereZeilen = 0, dwLeereZeilenEnde = 0;
    CountBlankRows(blankRow, dwLeereZeilen, dwLeereZeilenEnde);
    Trace(u"UNI(Bitmap):  ConvertToXBit() dwLeereZeilen: %d - am Anfang \r\n", dwLeereZeilen);
    Trace(u"UNI(Bitmap):  ConvertToXBit() dwLeereZeilenEnde: %d - am Ende \r\n", dwLeereZeilenEnde);
    Trace(u"UNI(Bitmap):  ConvertToXBit() Farbwerte R: %d, G: %d, B: %d \r\n", 0, 0, 0);
    SetOneBitLayout(0x000000);
    return (dwLeereZeilen & 0xFFFF) | (dwLeereZeilenEnde << 16);
}

DWORD Bitmap::ConvertToXBit(int NewBpp, Bitmap* pColourBitmap, BOOL bColourPlane, PDEVOBJ pdevobj,
                            BOOL* pbColourFound)
{
    if (pbColourFound) *pbColourFound = TRUE;
    if (Bpp == NewBpp) return 1;
    // Only eight and one bit are targets; any other depth changes nothing.
    if (!Data || DataSize == 0 || (NewBpp != 8 && NewBpp != 1)) return NewBpp == 8 ? 0 : 1;

    const ReduceSettings s = detail::ReadSettings(pdevobj);
    Bildverarbeitung* rec = detail::PageRecordOf(pdevobj);
    OEM_PDEV* pdev = GetOemPDev(pdevobj);

    if (NewBpp == 1) {
        // Target 0 is black, or the ribbon colour for the colour plane.
        DWORD target0 = 0x000000;
        if (s.colourPrint && bColourPlane == 1)
            target0 = RibbonColourValue(s.wFarbband, s.customColour);
        Trace(u"UNI(Bitmap):  ConvertToXBit() Farbwerte R: %d, G: %d, B: %d \r\n", RedOf(target0),
              GreenOf(target0), BlueOf(target0));
        // From eight bits and more every new row fits where its old row lay,
        // ahead of anything still to be read: the conversion then runs in
        // place, storage rows in ascending order, each row read before it is
        // written. Smaller depths go through a second bitmap.
        const bool inPlace = Bpp >= 8;
        const DWORD sls1 = DWORD(((std::int64_t(Width) + 31) / 32) * 4);
        std::unique_ptr<Bitmap> neu;
        BYTE* out = Data;
        if (!inPlace) {
            neu = std::make_unique<Bitmap>(pdev, Width, Height, 1);
            if (neu->DataSize == 0) {
                Trace(u"ERROR UNI(Bitmap):  ConvertToXBit() Allocation Bitmap1 ERROR \r\n");
                return 1;
            }
            out = neu->Data;
        }
        BYTE match[256] = {};
        if (Bpp <= 8) {
            for (int i = 0; i < 256; ++i) {
                const RGBQUAD& q = Palette[i];
                match[i] = RGBColour(q.rgbRed, q.rgbGreen, q.rgbBlue) == target0;
            }
        }
        // A match flag per pixel (a set flag clears the pixel's bit: index
        // 0), eight flags to a byte. The flags beyond the row stay clear, so
        // the padding bits stay white.
        std::vector<BYTE> hit(static_cast<std::size_t>(Width) + 8, 0);
        const BYTE t0r = RedOf(target0), t0g = GreenOf(target0), t0b = BlueOf(target0);
        const std::size_t used = (std::size_t(Width) + 7) / 8;
        for (int r = 0; r < Height; ++r) {
            const BYTE* src = Data + std::size_t(r) * ScanLineSize;
            BYTE* dst = out + std::size_t(r) * sls1;
            BYTE* h = hit.data();
            if (Bpp == 8) {
                // Straight from the table: each byte is written after its
                // eight pixels are read.
                int x0 = 0;
                for (; x0 + 8 <= Width; x0 += 8) {
                    const BYTE* f = src + x0;
                    const unsigned bits = (match[f[0]] << 7) | (match[f[1]] << 6) |
                                          (match[f[2]] << 5) | (match[f[3]] << 4) |
                                          (match[f[4]] << 3) | (match[f[5]] << 2) |
                                          (match[f[6]] << 1) | match[f[7]];
                    dst[x0 >> 3] = BYTE(~bits);
                }
                if (x0 < Width) {
                    unsigned bits = 0;
                    for (int x = x0; x < Width; ++x)
                        bits |= unsigned(match[src[x]]) << (7 - (x - x0));
                    dst[x0 >> 3] = BYTE(~bits);
                }
            } else {
                const int y = Height - 1 - r;
                switch (Bpp) {
                    case 24:
                        for (int x = 0; x < Width; ++x, src += 3)
                            h[x] = (src[0] == t0b) & (src[1] == t0g) & (src[2] == t0r);
                        break;
                    case 1:
                    case 4:
                        for (int x = 0; x < Width; ++x) h[x] = match[GetPixelIndex(x, y)];
                        break;
                    default:
                        for (int x = 0; x < Width; ++x) h[x] = GetPixelColor(x, y) == target0;
                        break;
                }
                for (int x0 = 0; x0 < Width; x0 += 8) {
                    const BYTE* f = h + x0;
                    const unsigned bits = (f[0] << 7) | (f[1] << 6) | (f[2] << 5) | (f[3] << 4) |
                                          (f[4] << 3) | (f[5] << 2) | (f[6] << 1) | f[7];
                    dst[x0 >> 3] = BYTE(~bits);
                }
            }
            std::memset(dst + used, 0xFF, sls1 - used);
        }
        if (inPlace) {
            SetOneBitLayout(target0);
        } else {
            neu->SetPaletteColor(0, target0);
            neu->SetPaletteColor(1, 0xFFFFFF);
            TakeOver(*neu);
        }
        return 1;
    }

    // ---- 8 bits: classification.
    DWORD dwLeereZeilen = 0, dwLeereZeilenEnde = 0, dwFarbpixel = 0;
    const RGBQUAD* pageTable = rec ? rec->prgbq : nullptr;
    const RGBQUAD* table = (s.colourPrint && rec && rec->prgbqSaved) ? rec->prgbqSaved : pageTable;
    RGBQUAD newPalette[256];
    if (table)
        std::memcpy(newPalette, table, sizeof(newPalette));
    else
        std::memset(newPalette, 0xFF, sizeof(newPalette));

    // Without colour printing each pixel's class depends on the pixel alone;
    // from 16 bits up the classes then go in place (as in the reduction to
    // one bit above), storage rows ascending. Colour printing corrects rows
    // from the rows above and works top to bottom into a second bitmap.
    const bool inPlace = !s.colourPrint && Bpp >= 16;
    const DWORD sls8 = DWORD(((std::int64_t(Width) * 8 + 31) / 32) * 4);
    std::unique_ptr<Bitmap> neu;
    if (!inPlace) {
        neu = std::make_unique<Bitmap>(pdev, Width, Height, 8);
        if (neu->DataSize == 0) {
            Trace(u"ERROR UNI(Bitmap):  ConvertToXBit() Allocation Bitmap8 ERROR \r\n");
            return 0;
        }
        std::memcpy(neu->Palette, newPalette, sizeof(newPalette));
    }
    // Picture row y of the result.
    auto outRow = [&](int y) {
        return inPlace ? Data + std::size_t(Height - 1 - y) * sls8 : neu->Row(y);
    };

    // A ribbon-colour bitmap must be an 8-bit bitmap of the page's size;
    // any other is left alone.
    Bitmap* colourBmp = pColourBitmap;
    if (colourBmp && (colourBmp->Bpp != 8 || colourBmp->Width != Width ||
                      colourBmp->Height != Height || !colourBmp->Data)) {
        Trace(u"ERROR UNI(Bitmap):  ConvertToXBit() Farb-Bitmap passt nicht \r\n");
        colourBmp = nullptr;
    }

    const bool simple = !s.colourPrint && !s.ThresholdMode();
    const std::size_t pad = sls8 - std::size_t(Width);
    if (!s.colourPrint) {
        // Classified against the page's own table in the other modes (rows
        // all count as blank), against the new table in the threshold modes.
        ReduceSettings plain = s;
        plain.wFarbband = 0;
        const Classifier cl(simple ? pageTable : newPalette, plain, 0, false, 0);
        const ClassRowReader reader(*this, cl);
        std::vector<char> blankRow(static_cast<std::size_t>(Height), 1);
        for (int r = 0; r < Height; ++r) {
            const int y = Height - 1 - r;  // storage order: bottom row first
            BYTE* out = outRow(y);
            if (simple && !pageTable) {
                std::memset(out, 0, std::size_t(Width));
            } else {
                reader.Row(y, out, nullptr);
            }
            if (!simple) {
                BYTE all = 0xFF;
                for (int x = 0; x < Width; ++x) all &= out[x];
                blankRow[std::size_t(y)] = all == 0xFF;
            }
            if (pad) std::memset(out + Width, 0xFF, pad);
        }
        CountBlankRows(blankRow, dwLeereZeilen, dwLeereZeilenEnde);
    } else {
        const Classifier cl(newPalette, s, 0, true, s.tolerance);
        const ClassRowReader reader(*this, cl);
        // The ribbon colour counts as a class of its own only for a real
        // ribbon colour (1..6); with ribbon 0 the "ribbon" is black itself
        // and stays in this bitmap.
        const bool ribbon = s.wFarbband >= 1 && s.wFarbband <= 6;
        const int k = RibbonColourIndex(s.wFarbband);
        const RGBQUAD& kq = newPalette[k & 0xFF];
        FringeCorrector fringe(s, k, RGBColour(kq.rgbRed, kq.rgbGreen, kq.rgbBlue), Width);
        const bool correct = ribbon && fringe.Active();
        std::vector<BYTE> cls(static_cast<std::size_t>(Width));
        std::vector<short> grey(correct ? std::size_t(Width) : 0);
        bool seenContent = false;
        for (int y = 0; y < Height; ++y) {
            BYTE* out = outRow(y);
            reader.Row(y, cls.data(), correct ? grey.data() : nullptr);
            if (correct) fringe.Row(cls.data(), grey.data());
            BYTE* colourOut = colourBmp && ribbon ? colourBmp->Row(y) : nullptr;
            bool blank = true;
            for (int x = 0; x < Width; ++x) {
                int c = cls[std::size_t(x)];
                const bool isRibbon = ribbon && c == k;
                if (colourOut) colourOut[x] = BYTE(isRibbon ? k : kWhite);
                if (isRibbon) {
                    ++dwFarbpixel;
                    c = kWhite;
                }
                out[x] = BYTE(c);
                if (c < kWhite) blank = false;
            }
            if (blank) {
                if (!seenContent) ++dwLeereZeilen;
                ++dwLeereZeilenEnde;
            } else {
                seenContent = true;
                dwLeereZeilenEnde = 0;
            }
        }
    }
    Trace(u"UNI(Bitmap):  ConvertToXBit() dwLeereZeilen: %d - am Anfang \r\n", dwLeereZeilen);
    Trace(u"UNI(Bitmap):  ConvertToXBit() dwLeereZeilenEnde: %d - am Ende \r\n", dwLeereZeilenEnde);

    if (s.colourPrint) {
        if (rec) rec->dwFarbpixel = dwFarbpixel;
        if (dwFarbpixel == 0) {
            Trace(u"UNI(Bitmap):  ConvertToXBit() keine Farbe gefunden \r\n");
            if (pbColourFound) *pbColourFound = FALSE;
        }
    }
    if (inPlace) {
        Bpp = 8;
        Colors = 256;
        ScanLineSize = sls8;
        DataSize = sls8 * DWORD(Height);
        std::memcpy(Palette, newPalette, sizeof(Palette));
        InitHeader();
    } else {
        TakeOver(*neu);
    }
    return (dwLeereZeilen & 0xFFFF) | (dwLeereZeilenEnde << 16);
}

}  // namespace kx
