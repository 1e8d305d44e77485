#include "raster/rle.h"

#include <algorithm>
#include <cstring>

namespace kx {

namespace {

// Length of the run of *p within [p, limit): at least 1. Compares eight bytes
// at a time while the run lasts, since white page rows are long runs.
inline std::size_t RunAt(const BYTE* p, const BYTE* limit)
{
    const BYTE v = *p;
    const BYTE* q = p + 1;
    if (limit - q >= 8) {
        std::uint64_t pattern;
        std::memset(&pattern, v, sizeof(pattern));
        while (limit - q >= 8) {
            std::uint64_t word;
            std::memcpy(&word, q, sizeof(word));
            if (word != pattern) break;
            q += 8;
        }
    }
    while (q < limit && *q == v) ++q;
    return static_cast<std::size_t>(q - p);
}

}  // namespace

std::size_t EncodeRunLength(std::span<const BYTE> in, std::span<BYTE> out)
{
    const BYTE* p = in.data();
    const BYTE* const end = p + in.size();
    BYTE* o = out.data();
    BYTE* const oend = o + out.size();
    while (p < end) {
        const BYTE* limit =
            p + std::min<std::size_t>(kMaxRunLength, static_cast<std::size_t>(end - p));
        std::size_t n = RunAt(p, limit);
        BYTE v = *p;
        if (n == 1 && v < 0xC0) {
            if (o == oend) break;
            *o++ = v;
        } else {
            if (oend - o < 2) break;
            *o++ = static_cast<BYTE>(0xC0 | n);
            *o++ = v;
        }
        p += n;
    }
    return static_cast<std::size_t>(o - out.data());
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
