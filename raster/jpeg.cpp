// Baseline JPEG writer and the preview export.
#include "raster/jpeg.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <string>

#include "core/trace.h"
#include "platform/platform.h"

namespace kx {

namespace {

// ------------------------------------------------------------ fixed tables

// Example quantisation tables of the JPEG standard (Annex K.1, K.2), in
// natural (row-major) order.
constexpr BYTE kLumQuant[64] = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
constexpr BYTE kChromQuant[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                  24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Natural index of each zig-zag position.
constexpr BYTE kZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                              12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                              35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                              58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The standard Huffman tables (Annex K.3 to K.6): code counts per length
// 1..16, then the symbols.
constexpr BYTE kDcLumBits[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr BYTE kDcChromBits[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr BYTE kDcValues[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr BYTE kAcLumBits[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr BYTE kAcLumValues[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
    0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
    0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
    0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
    0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
    0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
    0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
    0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
    0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
    0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
constexpr BYTE kAcChromBits[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr BYTE kAcChromValues[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
    0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
    0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
    0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
    0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
    0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
    0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
    0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
    0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
    0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

// The separable scale factors of the floating-point DCT.
constexpr double kAanScale[8] = {1.0, 1.387039845, 1.306562965, 1.175875602,
                                 1.0, 0.785694958, 0.541196100, 0.275899379};

constexpr std::size_t kHeaderBytes = 611;
constexpr std::size_t kBytesPerBlock = 1248;  // three components, 416 bytes each
// Coefficients are kept within the baseline categories (AC up to 10 bits,
// DC differences up to 11).
constexpr int kMaxCoefficient = 1023;

struct Huffman {
    unsigned short code[256] = {};
    BYTE size[256] = {};
    Huffman(const BYTE* bits, const BYTE* values)
    {
        unsigned c = 0;
        int k = 0;
        for (int len = 1; len <= 16; ++len) {
            for (int i = 0; i < bits[len - 1]; ++i, ++k) {
                code[values[k]] = static_cast<unsigned short>(c++);
                size[values[k]] = BYTE(len);
            }
            c <<= 1;
        }
    }
};

// The entropy coder's output: bytes with 0xFF stuffing, passed to the sink
// in chunks.
class BitWriter {
public:
    BitWriter(JpegWrite write, void* ctx) : m_write(write), m_ctx(ctx) {}

    void Bytes(const BYTE* p, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i) Byte(p[i]);
    }
    void Byte(BYTE b)
    {
        m_buf[m_n++] = b;
        if (m_n == sizeof(m_buf)) Flush();
    }
    void Word(unsigned w)
    {
        Byte(BYTE(w >> 8));
        Byte(BYTE(w));
    }
    // Appends the low n bits of v, most significant first.
    void Bits(unsigned v, int n)
    {
        m_acc = (m_acc << n) | (v & ((1u << n) - 1));
        m_bits += n;
        while (m_bits >= 8) {
            const BYTE b = BYTE(m_acc >> (m_bits - 8));
            m_bits -= 8;
            Byte(b);
            if (b == 0xFF) Byte(0x00);
        }
    }
    // The unfinished byte is completed with ones.
    void PadWithOnes()
    {
        if (m_bits > 0) Bits(0x7F, 8 - m_bits);
    }
    bool Flush()
    {
        if (m_n && m_ok) m_ok = m_write(m_ctx, m_buf, m_n);
        m_n = 0;
        return m_ok;
    }
    bool Ok() const { return m_ok; }

private:
    JpegWrite m_write;
    void* m_ctx;
    BYTE m_buf[65536];
    std::size_t m_n = 0;
    std::uint64_t m_acc = 0;
    int m_bits = 0;
    bool m_ok = true;
};

// Forward DCT of one block in place (the Arai-Agui-Nakajima factorisation;
// its output is scaled by the factors above, which the divisors undo).
void ForwardDct(float* d)
{
    for (int pass = 0; pass < 2; ++pass) {
        const int step = pass == 0 ? 1 : 8;  // along a row, then down a column
        const int next = pass == 0 ? 8 : 1;  // to the next row / column
        for (int line = 0; line < 8; ++line) {
            float* p = d + line * next;
            const float t0 = p[0 * step] + p[7 * step], t7 = p[0 * step] - p[7 * step];
            const float t1 = p[1 * step] + p[6 * step], t6 = p[1 * step] - p[6 * step];
            const float t2 = p[2 * step] + p[5 * step], t5 = p[2 * step] - p[5 * step];
            const float t3 = p[3 * step] + p[4 * step], t4 = p[3 * step] - p[4 * step];

            float t10 = t0 + t3, t13 = t0 - t3, t11 = t1 + t2, t12 = t1 - t2;
            p[0 * step] = t10 + t11;
            p[4 * step] = t10 - t11;
            const float z1 = (t12 + t13) * 0.707106781f;
            p[2 * step] = t13 + z1;
            p[6 * step] = t13 - z1;

            t10 = t4 + t5;
            t11 = t5 + t6;
            t12 = t6 + t7;
            const float z5 = (t10 - t12) * 0.382683433f;
            const float z2 = 0.541196100f * t10 + z5;
            const float z4 = 1.306562965f * t12 + z5;
            const float z3 = t11 * 0.707106781f;
            const float z11 = t7 + z3, z13 = t7 - z3;
            p[5 * step] = z13 + z2;
            p[3 * step] = z13 - z2;
            p[1 * step] = z11 + z4;
            p[7 * step] = z11 - z4;
        }
    }
}

class Encoder {
public:
    Encoder(JpegWrite write, void* ctx)
        : m_out(write, ctx),
          m_dcLum(kDcLumBits, kDcValues),
          m_dcChrom(kDcChromBits, kDcValues),
          m_acLum(kAcLumBits, kAcLumValues),
          m_acChrom(kAcChromBits, kAcChromValues)
    {
        for (int i = 0; i < 64; ++i) {
            m_qLum[i] = BYTE(std::max(1, (25 * kLumQuant[i] + 50) / 100));
            m_qChrom[i] = BYTE(std::max(1, (25 * kChromQuant[i] + 50) / 100));
            const double f = kAanScale[i / 8] * kAanScale[i % 8] * 8.0;
            m_divLum[i] = float(1.0 / (m_qLum[i] * f));
            m_divChrom[i] = float(1.0 / (m_qChrom[i] * f));
        }
        // Colour conversion (JFIF): Y with the level shift of 128.
        for (int v = 0; v < 256; ++v) {
            m_yR[v] = 0.299f * v;
            m_yG[v] = 0.587f * v;
            m_yB[v] = 0.114f * v - 128.0f;
            m_cbR[v] = -0.168736f * v;
            m_cbG[v] = -0.331264f * v;
            m_cbB[v] = 0.5f * v;
            m_crR[v] = 0.5f * v;
            m_crG[v] = -0.418688f * v;
            m_crB[v] = -0.081312f * v;
        }
    }

    bool Run(const BYTE* row0, int width, int height, std::ptrdiff_t stride)
    {
        Headers(width, height);
        int prevY = 0, prevCb = 0, prevCr = 0;
        float y[64], cb[64], cr[64];
        for (int by = 0; by < height && m_out.Ok(); by += 8) {
            for (int bx = 0; bx < width; bx += 8) {
                for (int r = 0; r < 8; ++r) {
                    const int sy = std::min(by + r, height - 1);
                    const BYTE* line = row0 + stride * sy;
                    for (int c = 0; c < 8; ++c) {
                        const BYTE* p = line + 3 * std::min(bx + c, width - 1);
                        const int B = p[0], G = p[1], R = p[2];
                        y[r * 8 + c] = m_yR[R] + m_yG[G] + m_yB[B];
                        cb[r * 8 + c] = m_cbR[R] + m_cbG[G] + m_cbB[B];
                        cr[r * 8 + c] = m_crR[R] + m_crG[G] + m_crB[B];
                    }
                }
                Block(y, m_divLum, prevY, m_dcLum, m_acLum);
                Block(cb, m_divChrom, prevCb, m_dcChrom, m_acChrom);
                Block(cr, m_divChrom, prevCr, m_dcChrom, m_acChrom);
            }
        }
        m_out.PadWithOnes();
        m_out.Word(0xFFD9);
        return m_out.Flush();
    }

private:
    void Headers(int width, int height)
    {
        m_out.Word(0xFFD8);
        // APP0: JFIF 1.1, no units, density 1 x 1, no thumbnail.
        static constexpr BYTE app0[] = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0,
                                        1,    1,    0, 0,  1,   0,   1,   0,   0};
        m_out.Bytes(app0, sizeof(app0));
        m_out.Word(0xFFDB);
        m_out.Word(132);
        m_out.Byte(0);
        for (int i = 0; i < 64; ++i) m_out.Byte(m_qLum[kZigZag[i]]);
        m_out.Byte(1);
        for (int i = 0; i < 64; ++i) m_out.Byte(m_qChrom[kZigZag[i]]);
        m_out.Word(0xFFC0);
        m_out.Word(17);
        m_out.Byte(8);
        m_out.Word(unsigned(height));
        m_out.Word(unsigned(width));
        m_out.Byte(3);
        static constexpr BYTE comps[] = {1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1};
        m_out.Bytes(comps, sizeof(comps));
        m_out.Word(0xFFC4);
        m_out.Word(418);
        auto table = [&](BYTE id, const BYTE* bits, const BYTE* values, int n) {
            m_out.Byte(id);
            m_out.Bytes(bits, 16);
            m_out.Bytes(values, std::size_t(n));
        };
        table(0x00, kDcLumBits, kDcValues, 12);
        table(0x10, kAcLumBits, kAcLumValues, 162);
        table(0x01, kDcChromBits, kDcValues, 12);
        table(0x11, kAcChromBits, kAcChromValues, 162);
        static constexpr BYTE sos[] = {0xFF, 0xDA, 0, 12, 3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0};
        m_out.Bytes(sos, sizeof(sos));
    }

    // Quantised coefficients round half away from zero.
    static int Quantise(float v)
    {
        const int q = v >= 0 ? int(v + 0.5f) : -int(0.5f - v);
        return std::clamp(q, -kMaxCoefficient, kMaxCoefficient);
    }

    // Category (bit length) and the value bits of a coefficient.
    void Value(int v, int& category, unsigned& bits)
    {
        const unsigned a = unsigned(v < 0 ? -v : v);
        category = int(std::bit_width(a));
        bits = v < 0 ? unsigned(v - 1) : unsigned(v);
    }

    void Block(float* data, const float* div, int& prevDc, const Huffman& dc, const Huffman& ac)
    {
        ForwardDct(data);
        int q[64];
        for (int i = 0; i < 64; ++i) q[i] = Quantise(data[kZigZag[i]] * div[kZigZag[i]]);

        int category;
        unsigned bits;
        Value(q[0] - prevDc, category, bits);
        prevDc = q[0];
        m_out.Bits(dc.code[category], dc.size[category]);
        if (category) m_out.Bits(bits, category);

        int run = 0;
        for (int i = 1; i < 64; ++i) {
            if (q[i] == 0) {
                ++run;
                continue;
            }
            while (run > 15) {
                m_out.Bits(ac.code[0xF0], ac.size[0xF0]);
                run -= 16;
            }
            Value(q[i], category, bits);
            const int symbol = (run << 4) | category;
            m_out.Bits(ac.code[symbol], ac.size[symbol]);
            m_out.Bits(bits, category);
            run = 0;
        }
        if (run > 0) m_out.Bits(ac.code[0x00], ac.size[0x00]);
    }

    BitWriter m_out;
    Huffman m_dcLum, m_dcChrom, m_acLum, m_acChrom;
    BYTE m_qLum[64], m_qChrom[64];
    float m_divLum[64], m_divChrom[64];
    float m_yR[256], m_yG[256], m_yB[256];
    float m_cbR[256], m_cbG[256], m_cbB[256];
    float m_crR[256], m_crG[256], m_crB[256];
};

void ExitMessage(const char16_t* text)
{
    Trace(u"UNI(JPG):  exitmessage() ERROR: %s \r\n", text);
}

std::uint32_t U32(const BYTE* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (DWORD(p[3]) << 24);
}
std::uint16_t U16(const BYTE* p)
{
    return std::uint16_t(p[0] | (p[1] << 8));
}

// The largest BMP file the preview reads into memory.
constexpr std::uint64_t kMaxBmpFile = 1ull << 30;

}  // namespace

std::size_t JpegMaxSize(int width, int height)
{
    if (width < 1 || height < 1) return kHeaderBytes;
    const std::size_t blocks = ((std::size_t(width) + 7) / 8) * ((std::size_t(height) + 7) / 8);
    return kHeaderBytes + blocks * kBytesPerBlock;
}

bool EncodeJpeg(const BYTE* row0, int width, int height, std::ptrdiff_t stride, JpegWrite write,
                void* ctx)
{
    if (!row0 || !write || width < 1 || height < 1 || width > 65535 || height > 65535) return false;
    // The coder holds its 64 KiB output buffer and tables: off the stack.
    auto enc = std::make_unique<Encoder>(write, ctx);
    return enc->Run(row0, width, height, stride);
}

std::vector<BYTE> EncodeJpeg(const BYTE* row0, int width, int height, std::ptrdiff_t stride)
{
    std::vector<BYTE> out;
    auto append = [](void* ctx, const BYTE* p, std::size_t n) {
        auto* v = static_cast<std::vector<BYTE>*>(ctx);
        v->insert(v->end(), p, p + n);
        return true;
    };
    if (!EncodeJpeg(row0, width, height, stride, append, &out)) out.clear();
    return out;
}

BmpCheck CheckBmp24(const BYTE* file, std::size_t size, BmpView* view)
{
    if (!file || size < 54 || file[0] != 'B' || file[1] != 'M') return BmpCheck::Invalid;
    const DWORD offBits = U32(file + 10);
    const DWORD infoSize = U32(file + 14);
    const std::int32_t width = std::int32_t(U32(file + 18));
    const std::int32_t height = std::int32_t(U32(file + 22));
    const WORD bitCount = U16(file + 28);
    const DWORD compression = U32(file + 30);
    if (infoSize < 40) return BmpCheck::Invalid;
    if (bitCount != 24 || compression != 0) return BmpCheck::NotTrueColour;
    if (width < 1 || width > 65535 || height == 0 || height < -65535 || height > 65535)
        return BmpCheck::Invalid;
    const int rows = height < 0 ? -height : height;
    const std::uint64_t stride = ((24ull * std::uint64_t(width) + 31) / 32) * 4;
    if (offBits < 54 || std::uint64_t(offBits) + stride * std::uint64_t(rows) > size)
        return BmpCheck::Invalid;
    if (view) {
        view->width = width;
        view->height = rows;
        const BYTE* pixels = file + offBits;
        if (height > 0) {  // bottom-up: the top row is the last one stored
            view->row0 = pixels + stride * std::uint64_t(rows - 1);
            view->stride = -std::ptrdiff_t(stride);
        } else {
            view->row0 = pixels;
            view->stride = std::ptrdiff_t(stride);
        }
    }
    return BmpCheck::Ok;
}

BOOL SaveJpgFile(std::u16string_view bmpPath, std::u16string_view jpgPath)
{
    Trace(u"UNI(JPG):  SaveJpgFile() Start \r\n");
    // load_bitmap: the whole file into memory.
    plat::Handle in =
        plat::CreateFile(bmpPath, plat::kGenericRead, plat::kShareRead, plat::kOpenExisting);
    if (in == plat::kInvalidHandle) {
        ExitMessage(u"Cannot open bitmap file.File not found ?");
        return FALSE;
    }
    std::uint64_t size = 0;
    std::vector<BYTE> file;
    bool read = plat::GetFileSize(in, &size);
    if (read && size >= 54 && size <= kMaxBmpFile) {
        try {
            file.resize(std::size_t(size));
        } catch (...) {
            plat::CloseHandle(in);
            ExitMessage(u"Not enough memory for the bitmap image.");
            return FALSE;
        }
        std::uint32_t got = 0;
        read = plat::ReadFile(in, file.data(), std::uint32_t(size), &got) && got == size;
    } else if (read && size > kMaxBmpFile) {
        plat::CloseHandle(in);
        ExitMessage(u"Not enough memory for the bitmap image.");
        return FALSE;
    }
    plat::CloseHandle(in);

    BmpView view;
    const BmpCheck check = read ? CheckBmp24(file.data(), file.size(), &view) : BmpCheck::Invalid;
    if (check == BmpCheck::NotTrueColour) {
        ExitMessage(u"Need a truecolor BMP to encode.");
        return FALSE;
    }
    // Headers or sizes that do not fit the file are refused too (the pixels
    // would lie beyond what was read), with a message of their own.
    if (check != BmpCheck::Ok) {
        ExitMessage(u"Invalid bitmap file.");
        return FALSE;
    }

    plat::Handle out = plat::CreateFile(jpgPath, plat::kGenericWrite, 0, plat::kCreateAlways);
    if (out == plat::kInvalidHandle) {
        Trace(u"ERROR UNI(JPG):  SaveJpgFile() %s ERROR %d \r\n", jpgPath, plat::GetLastError());
        return FALSE;
    }
    auto toFile = [](void* ctx, const BYTE* p, std::size_t n) {
        std::uint32_t written = 0;
        return plat::WriteFile(static_cast<plat::Handle>(ctx), p, std::uint32_t(n), &written) &&
               written == n;
    };
    const bool ok = EncodeJpeg(view.row0, view.width, view.height, view.stride, toFile, out);
    plat::CloseHandle(out);
    if (!ok) {
        Trace(u"ERROR UNI(JPG):  SaveJpgFile() WriteFile ERROR %d \r\n", plat::GetLastError());
        plat::DeleteFile(jpgPath);
        return FALSE;
    }
    Trace(u"UNI(JPG):  SaveJpgFile() Ende \r\n");
    return TRUE;
}

BOOL SavePreview(OEM_PDEV* pOemPDev, const Bitmap& page, int iWidth, int iHeight, BOOL bKeepRatio,
                 std::u16string_view prnFileBase, BOOL bJpeg)
{
    if (!page.Data || page.DataSize == 0) return FALSE;
    Bitmap preview(pOemPDev, 1, 1, page.Bpp);
    if (preview.DataSize == 0) return FALSE;
    preview = page;
    if (preview.DataSize != page.DataSize) return FALSE;
    if (!preview.ResizeBilinear(pOemPDev, iWidth, iHeight, bKeepRatio ? TRUE : FALSE, FALSE))
        return FALSE;

    std::u16string bmp(prnFileBase);
    bmp += u"-Resize.bmp";
    if (preview.Save(bmp) != BMP_SAVE_OK) return FALSE;
    if (!bJpeg) return TRUE;
    std::u16string jpg(prnFileBase);
    jpg += u"-Resize.jpg";
    // The intermediate BMP goes whether or not the JPEG could be written.
    const BOOL ok = SaveJpgFile(bmp, jpg);
    plat::DeleteFile(bmp);
    return ok;
}

}  // namespace kx
