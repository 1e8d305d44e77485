// Page end's reductions to one bit in one pass (ClassifyToOneBit,
// DitherToOneBit) against the plain operations they stand for, and error
// diffusion on several threads against one: the rows of
// data/reductions.txt.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "raster/dither_internal.h"
#include "raster_fixture.h"

using kx::Bitmap;
using namespace kxtest;

namespace {

struct Row {
    WORD mode, filter, photo, threshold, contrast;
    int brightness, curve, width, height, bpp;
    std::string content;
};

DWORD ContentAt(const Row& r, Lcg& rnd, int x, int y)
{
    static const DWORD kFixed[] = {0x000000, 0x010101, 0x000003, 0x000102,
                                   0xFFFFFF, 0xFFFFFE, 0x808080};
    const DWORD noise = rnd() & 0xFFFFFF;
    const DWORD grey = Grey(int(rnd() % 256));
    if (r.content == "noise") return noise;
    if (r.content == "grey") return grey;
    if (r.content == "flat") return Grey(100);
    if (r.content == "fixed") return kFixed[rnd() % 7];
    if (r.content == "margin")
        return y < r.height / 3 || y >= r.height - r.height / 3 ? 0xFFFFFF : noise;
    (void)x;
    return 0xFFFFFF;
}

std::unique_ptr<Bitmap> MakePage(BitmapDevice& d, const Row& r, std::uint32_t seed)
{
    auto b = std::make_unique<Bitmap>(d.oem(), r.width, r.height, r.bpp);
    if (r.bpp == 8) b->SetPalette(d.tables[0]);
    Lcg rnd(seed);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            const DWORD c = ContentAt(r, rnd, x, y);
            if (r.bpp == 8)
                b->SetPixelIndex(x, y, kx::RedOf(c));  // the grey table: index = grey
            else
                b->SetPixelColor(x, y, c);
        }
    return b;
}

// What a reduction leaves: its result, the flag, the page and the record's
// bit count.
std::string Outcome(BitmapDevice& d, const Row& r, std::uint32_t seed, bool fused, int threads)
{
    kx::detail::gFusedReduction = fused;
    kx::detail::gDiffusionThreads = threads;
    d.page.bmInfoHeader.biBitCount = 24;
    auto page = MakePage(d, r, seed);
    BOOL found = 7;
    const bool threshold = r.mode == kx::DRUCKMODUS_GRAFIK && r.filter <= kx::FILTER_SCHWELLE;
    const DWORD result =
        threshold ? page->ClassifyToOneBit(d.dev(), &found) : page->DitherToOneBit(d.dev(), &found);
    kx::detail::gFusedReduction = true;
    kx::detail::gDiffusionThreads = 0;
    std::ostringstream out;
    out << "result " << result << " found " << found << " bits " << page->Bpp << " colours "
        << page->Colors << " row " << page->ScanLineSize << " size " << page->DataSize << " record "
        << d.page.bmInfoHeader.biBitCount << " table";
    for (int i = 0; i < 3; ++i)
        out << ' ' << int(page->Palette[i].rgbRed) << ',' << int(page->Palette[i].rgbBlue);
    out << " header " << page->BMPInfoHeader.biBitCount << ' ' << page->BMPInfoHeader.biSizeImage
        << " data";
    for (DWORD i = 0; i < page->DataSize; ++i) out << ' ' << int(page->Data[i]);
    return out.str();
}

}  // namespace

TEST(Reduction, OnePassAndThreadsGiveThePlainPage)
{
    const auto rows = DataRows("reductions.txt");
    EXPECT_EQ(rows.size(), 55u);
    std::uint32_t seed = 1;
    for (const std::string& line : rows) {
        SCOPED_TRACE(line);
        std::istringstream in(line);
        Row r;
        ASSERT_TRUE(in >> r.mode >> r.filter >> r.photo >> r.threshold >> r.contrast >>
                    r.brightness >> r.curve >> r.width >> r.height >> r.bpp >> r.content);
        BitmapDevice d;
        d.Mode(r.mode, r.filter, r.threshold);
        d.devmode.wPhotoFilter = r.photo;
        d.devmode.wBrightnessContrast = r.contrast;
        d.devmode.dwBrightnessAll = DWORD(r.brightness);
        d.devmode.dwBrightnessCurve = DWORD(r.curve);
        ++seed;
        const std::string plain = Outcome(d, r, seed, false, 1);
        // A flat page is refused by both and left as it was.
        EXPECT_EQ(plain.rfind(r.content == "flat" ? "result 0 found 7 bits " : "result ", 0), 0u)
            << plain.substr(0, 60);
        EXPECT_EQ(Outcome(d, r, seed, true, 1), plain);
        if (r.mode == kx::DRUCKMODUS_PHOTO) {
            // Negative: the rows of that many threads taking turns, each as
            // close behind the row above as threads may come.
            for (int threads : {-2, -3, 2, 3}) {
                EXPECT_EQ(Outcome(d, r, seed, true, threads), plain) << threads << " threads";
            }
            EXPECT_EQ(Outcome(d, r, seed, false, -2), plain) << "two threads, 8 bits";
        }
    }
}
