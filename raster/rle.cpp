#include "raster/rle.h"

#include <algorithm>
#include <cstring>

namespace kx {

namespace {

// Length of the run of *p within [p, limit): at least 1. A run is widened
// eight bytes at a time, since white page rows are long runs; a single byte
// costs one comparison.
inline std::size_t RunAt(const BYTE* p, const BYTE* limit)
{
    const BYTE v = *p;
    const BYTE* q = p + 1;
    if (q < limit && *q == v) {
        ++q;
        std::uint64_t pattern;
        std::memset(&pattern, v, sizeof(pattern));
        while (limit - q >= 8) {
            std::uint64_t word;
            std::memcpy(&word, q, sizeof(word));
            if (word != pattern) break;
            q += 8;
        }
        while (q < limit && *q == v) ++q;
    }
    return static_cast<std::size_t>(q - p);
}

}  // namespace

namespace {

// The coder; Checked compares against the end of out before every code,
// the unchecked form runs when out holds the worst case.
template <bool Checked>
std::size_t Encode(const BYTE* p, const BYTE* const end, BYTE* const out, BYTE* const oend)
{
    BYTE* o = out;
    while (p < end) {
        const BYTE v = *p;
        if (p + 1 == end || p[1] != v) {
            // A single byte: the common case in text and pictures.
            if (v < 0xC0) {
                if (Checked && o == oend) break;
                *o++ = v;
            } else {
                if (Checked && oend - o < 2) break;
                *o++ = 0xC1;
                *o++ = v;
            }
            ++p;
            continue;
        }
        const BYTE* limit =
            p + std::min<std::size_t>(kMaxRunLength, static_cast<std::size_t>(end - p));
        const std::size_t n = RunAt(p, limit);
        if (Checked && oend - o < 2) break;
        *o++ = static_cast<BYTE>(0xC0 | n);
        *o++ = v;
        p += n;
    }
    return static_cast<std::size_t>(o - out);
}

}  // namespace

std::size_t EncodeRunLength(std::span<const BYTE> in, std::span<BYTE> out)
{
    const BYTE* p = in.data();
    if (out.size() >= RunLengthWorstCase(in.size()))
        return Encode<false>(p, p + in.size(), out.data(), out.data() + out.size());
    return Encode<true>(p, p + in.size(), out.data(), out.data() + out.size());
}

std::size_t RunLengthSize(std::span<const BYTE> in)
{
    const BYTE* p = in.data();
    const BYTE* const end = p + in.size();
    std::size_t size = 0;
    while (p < end) {
        const BYTE* limit =
            p + std::min<std::size_t>(kMaxRunLength, static_cast<std::size_t>(end - p));
        std::size_t n = RunAt(p, limit);
        size += (n == 1 && *p < 0xC0) ? 1 : 2;
        p += n;
    }
    return size;
}

std::size_t DecodeRunLength(std::span<const BYTE> in, std::span<BYTE> out)
{
    std::size_t i = 0, o = 0;
    while (i < in.size() && o < out.size()) {
        BYTE b = in[i++];
        if (b >= 0xC0) {
            if (i >= in.size()) break;
            BYTE v = in[i++];
            std::size_t n = std::min<std::size_t>(b & 0x3F, out.size() - o);
            std::memset(out.data() + o, v, n);
            o += n;
        } else {
            out[o++] = b;
        }
    }
    return o;
}

}  // namespace kx
