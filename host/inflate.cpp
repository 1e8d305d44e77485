#include "host/inflate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace kxhost {

namespace {

constexpr int kMaxBits = 15;
constexpr int kFastBits = 9;

[[noreturn]] void Fail(const std::string& what)
{
    throw InflateError(what);
}

// A canonical Huffman code. Codes of up to kFastBits bits are found with one
// look-up of the next input bits (least significant first); longer ones are
// decoded a bit at a time from the counts of codes of each length.
struct Huffman {
    // symbol << 4 | length, or 0 when the code is longer than kFastBits.
    std::array<std::uint16_t, 1 << kFastBits> fast{};
    std::array<std::uint16_t, kMaxBits + 1> count{};
    std::array<std::uint16_t, 320> symbol{};

    // Codes where some bit patterns stay unused are accepted only as zlib
    // accepts them: a single literal/length or distance code of one bit. No
    // codes at all are accepted too; any use of them is an invalid code.
    void Build(const std::uint8_t* lengths, int n, const char* what, bool mustBeComplete = false)
    {
        count.fill(0);
        fast.fill(0);
        for (int i = 0; i < n; ++i) ++count[lengths[i]];
        if (count[0] == n) return;
        int left = 1, longest = 0;
        for (int len = 1; len <= kMaxBits; ++len) {
            left = (left << 1) - count[len];
            if (left < 0) Fail(std::string("over-subscribed ") + what + " code");
            if (count[len]) longest = len;
        }
        if (left > 0 && (mustBeComplete || longest != 1))
            Fail(std::string("incomplete ") + what + " code");

        std::array<std::uint16_t, kMaxBits + 2> offset{}, next{};
        unsigned code = 0;
        for (int len = 1; len <= kMaxBits; ++len) {
            offset[len + 1] = static_cast<std::uint16_t>(offset[len] + count[len]);
            next[len] = static_cast<std::uint16_t>(code);
            code = (code + count[len]) << 1;
        }
        for (int i = 0; i < n; ++i) {
            int len = lengths[i];
            if (len == 0) continue;
            symbol[offset[len]++] = static_cast<std::uint16_t>(i);
            unsigned c = next[len]++;
            if (len > kFastBits) continue;
            unsigned reversed = 0;
            for (int b = 0; b < len; ++b) reversed |= ((c >> b) & 1u) << (len - 1 - b);
            for (unsigned at = reversed; at < fast.size(); at += 1u << len)
                fast[at] = static_cast<std::uint16_t>(i << 4 | len);
        }
    }
};

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

class Inflater {
public:
    Inflater(const std::uint8_t* data, std::size_t size, std::size_t limit)
        : in_(data), size_(size), limit_(limit)
    {}

    std::vector<std::uint8_t> Run()
    {
        unsigned cmf = Bits(8), flg = Bits(8);
        if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7)
            Fail("not a deflate stream (compression method byte " + std::to_string(cmf) + ")");
        if ((cmf << 8 | flg) % 31 != 0) Fail("bad zlib header check");
        if (flg & 0x20) Fail("the stream needs a preset dictionary");

        bool last;
        do {
            last = Bits(1);
            switch (Bits(2)) {
                case 0:
                    Stored();
                    break;
                case 1:
                    if (!fixedBuilt_) BuildFixed();
                    Codes(fixedLit_, fixedDist_);
                    break;
                case 2:
                    Dynamic();
                    Codes(lit_, dist_);
                    break;
                default:
                    Fail("invalid block type 3");
            }
        } while (!last);

        Align();
        std::uint32_t expected = 0;
        for (int i = 0; i < 4; ++i) expected = expected << 8 | Bits(8);
        out_.resize(n_);
        if (Adler32(out_.data(), out_.size()) != expected) Fail("bad Adler-32 checksum");
        return std::move(out_);
    }

private:
    void Refill()
    {
        while (bitCount_ <= 56 && pos_ < size_) {
            bits_ |= static_cast<std::uint64_t>(in_[pos_++]) << bitCount_;
            bitCount_ += 8;
        }
    }

    unsigned Bits(int n)
    {
        if (bitCount_ < n) {
            Refill();
            if (bitCount_ < n) Fail("the stream is cut off");
        }
        auto v = static_cast<unsigned>(bits_ & ((1u << n) - 1));
        bits_ >>= n;
        bitCount_ -= n;
        return v;
    }

    void Align()
    {
        bits_ >>= bitCount_ & 7;
        bitCount_ &= ~7;
    }

    int Decode(const Huffman& h)
    {
        if (bitCount_ < kMaxBits) Refill();
        std::uint16_t e = h.fast[bits_ & ((1u << kFastBits) - 1)];
        if (int len = e & 15) {
            if (len > bitCount_) Fail("the stream is cut off");
            bits_ >>= len;
            bitCount_ -= len;
            return e >> 4;
        }
        int code = 0, first = 0, index = 0;
        for (int len = 1; len <= kMaxBits; ++len) {
            code |= static_cast<int>(Bits(1));
            int count = h.count[len];
            if (code - first < count) return h.symbol[index + (code - first)];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        Fail("invalid Huffman code");
    }

    // Makes room for n more output bytes, growing the buffer no further
    // than the limit.
    std::uint8_t* Room(std::size_t n)
    {
        if (n > limit_ - n_)
            Fail("the stream holds more than the " + std::to_string(limit_) + " bytes expected");
        if (n_ + n > out_.size())
            out_.resize(
                std::min(limit_, std::max({out_.size() * 2, n_ + n, std::size_t{1} << 16})));
        std::uint8_t* p = out_.data() + n_;
        n_ += n;
        return p;
    }

    void Stored()
    {
        Align();
        unsigned len = Bits(16), nlen = Bits(16);
        if (len != (~nlen & 0xFFFF)) Fail("stored block length does not match its complement");
        std::uint8_t* dst = Room(len);
        for (; len && bitCount_ >= 8; --len) *dst++ = static_cast<std::uint8_t>(Bits(8));
        if (len > size_ - pos_) Fail("the stream is cut off");
        std::memcpy(dst, in_ + pos_, len);
        pos_ += len;
    }

    void BuildFixed()
    {
        std::uint8_t lengths[288];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        fixedLit_.Build(lengths, 288, "literal/length");
        // All 32 five-bit patterns, the two unused ones give invalid codes.
        std::fill(lengths, lengths + 32, 5);
        fixedDist_.Build(lengths, 32, "distance");
        fixedBuilt_ = true;
    }

    void Dynamic()
    {
        static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                    11, 4,  12, 3, 13, 2, 14, 1, 15};
        int nlit = static_cast<int>(Bits(5)) + 257;
        int ndist = static_cast<int>(Bits(5)) + 1;
        int ncode = static_cast<int>(Bits(4)) + 4;
        if (nlit > 286 || ndist > 30) Fail("too many length or distance codes");
        std::uint8_t lengths[286 + 30] = {};
        for (int i = 0; i < ncode; ++i) lengths[kOrder[i]] = static_cast<std::uint8_t>(Bits(3));
        Huffman lencode;
        lencode.Build(lengths, 19, "code length", true);

        std::fill(lengths, lengths + 19, 0);
        for (int i = 0; i < nlit + ndist;) {
            int sym = Decode(lencode);
            if (sym < 16) {
                lengths[i++] = static_cast<std::uint8_t>(sym);
                continue;
            }
            std::uint8_t value = 0;
            int repeat;
            if (sym == 16) {
                if (i == 0) Fail("a repeated length with no length before it");
                value = lengths[i - 1];
                repeat = 3 + static_cast<int>(Bits(2));
            } else if (sym == 17) {
                repeat = 3 + static_cast<int>(Bits(3));
            } else {
                repeat = 11 + static_cast<int>(Bits(7));
            }
            if (i + repeat > nlit + ndist) Fail("code lengths run past their count");
            std::fill(lengths + i, lengths + i + repeat, value);
            i += repeat;
        }
        if (lengths[256] == 0) Fail("no end-of-block code");
        lit_.Build(lengths, nlit, "literal/length");
        dist_.Build(lengths + nlit, ndist, "distance");
    }

    void Codes(const Huffman& lit, const Huffman& dist)
    {
        for (;;) {
            int sym = Decode(lit);
            if (sym < 256) {
                *Room(1) = static_cast<std::uint8_t>(sym);
                continue;
            }
            if (sym == 256) return;
            sym -= 257;
            if (sym >= 29) Fail("invalid length code");
            std::size_t len = kLengthBase[sym] + Bits(kLengthExtra[sym]);
            int dsym = Decode(dist);
            if (dsym >= 30) Fail("invalid distance code");
            std::size_t distance = kDistBase[dsym] + Bits(kDistExtra[dsym]);
            if (distance > n_) Fail("a distance reaches back before the start of the data");
            std::uint8_t* dst = Room(len);
            const std::uint8_t* src = dst - distance;
            // An overlapping copy repeats the last distance bytes: copy them in
            // doubling runs.
            for (std::size_t run = distance; len > run; run *= 2) {
                std::memcpy(dst, src, run);
                dst += run;
                len -= run;
            }
            std::memcpy(dst, src, len);
        }
    }

    const std::uint8_t* in_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::uint64_t bits_ = 0;
    int bitCount_ = 0;

    std::size_t limit_;
    std::vector<std::uint8_t> out_;
    std::size_t n_ = 0;

    Huffman lit_, dist_, fixedLit_, fixedDist_;
    bool fixedBuilt_ = false;
};

}  // namespace

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t a = 1, b = 0;
    while (size) {
        // 5552 bytes is the most that can be summed before b overflows.
        std::size_t n = std::min<std::size_t>(size, 5552);
        size -= n;
        for (; n; --n) {
            a += *data++;
            b += a;
        }
        a %= 65521;
        b %= 65521;
    }
    return b << 16 | a;
}

std::vector<std::uint8_t> ZlibInflate(const std::uint8_t* data, std::size_t size, std::size_t limit)
{
    return Inflater(data, size, limit).Run();
}

}  // namespace kxhost
