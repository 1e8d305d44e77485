// Command-font text from arbitrary bytes, through collection and
// interpretation. Any document can carry such text, and the interpreter
// parses it into records, so none of it may be trusted.
//
// The first 24 bytes choose the devmode and job values (short-command
// correction, turn flag and angle, base rotation, pages and rows side by
// side, layout rotation, command-font flags, auto-correction, protocol,
// rotated page, scaling, colour) and a place in the 2-D barcode settings.
// The rest, cut at each "|", is a series of runs: each run's first five
// bytes give x, y (16 bits each) and a control byte (bit 0: another class
// of text follows, which finishes the command; bits 1-3: the text colour;
// bit 4: the page ends here and a new one starts), the rest is its text
// (one character per byte). A run whose text starts with "#2D" writes its
// bytes into the 2-D settings instead.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/pageparts.h"
#include "core/regvalues.h"
#include "objects/cmdfont.h"
#include "objects/cmdinterp.h"
#include "objects/kvbb.h"
#include "objects/prnobject.h"
#include "support/device.h"
#include "support/testdevice.h"

namespace {

HRESULT NoImport(PDEVOBJ, IPrintOemDriverUni*, const char* pszEntry)
{
    kxtest::Require(pszEntry != nullptr && std::strlen(pszEntry) < 4000);
    return S_OK;
}

struct Run {
    LONG x = 0;
    LONG y = 0;
    std::uint8_t control = 0;
    std::string text;
};

std::vector<Run> Runs(const std::uint8_t* data, std::size_t size)
{
    std::vector<Run> runs;
    std::size_t i = 0;
    while (i < size) {
        std::size_t end = i;
        while (end < size && data[end] != '|') ++end;
        Run r;
        if (end - i >= 5) {
            r.x = static_cast<std::int16_t>(data[i] | (data[i + 1] << 8));
            r.y = static_cast<std::int16_t>(data[i + 2] | (data[i + 3] << 8));
            r.control = data[i + 4];
            r.text.assign(reinterpret_cast<const char*>(data + i + 5), end - i - 5);
        } else {
            r.text.assign(reinterpret_cast<const char*>(data + i), end - i);
        }
        runs.push_back(std::move(r));
        i = end + 1;
    }
    return runs;
}

void FreeObjects(DruckDaten& d)
{
    for (PrnObject* p = d.pObjectList; p;) {
        PrnObject* next = p->pNext;
        delete[] p->pszSendData;
        delete p;
        p = next;
    }
    d.pObjectList = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t kHeader = 24;
    if (size < kHeader) return 0;
    static bool once = (kxtest::ScratchSimulation("fuzz_command"), true);
    (void)once;
    const std::uint8_t* h = data;

    auto dev = std::make_unique<kxtest::TestDevice>();
    auto zeichen = std::make_unique<BYTE[]>(ZEICHENBUFFER_SIZE);
    auto kv = std::make_unique<KVBBBuffer>();
    auto ba = std::make_unique<Bildanteile>();
    std::vector<BYTE> barcodes(kx::reg::kBarCodes1DSize + kx::reg::kBarCodes2DSize, 0);
    kx::AttachTextAreas(kv.get(), zeichen.get());
    dev->op.pKVBBBuffer = kv.get();
    dev->op.pBildanteile = ba.get();
    dev->op.pBarcodeDevmode = barcodes.data();

    KX_DEVMODE& dm = dev->devmode;
    DruckDaten& d = dev->data;
    dm.FixedData.wMasterUnit = h[0] & 1 ? 203 : 300;
    dm.FixedData.dwHeadWidthByte = 104;
    dm.wKurzbefehlKorrektur = h[1] & 1;
    if (h[1] & 2) dm.dwFlags |= PDMFLAG_DREHEN;
    if (h[1] & 4) dm.dwFlags |= PDMFLAG_BARCODE_AUTOCORR;
    dm.dwWinkel = (h[1] >> 3) % 4 * 90;
    dm.dwDrehung = h[2] % 5;
    dm.wBarcodeDP = h[2] >> 4;
    dm.wMehrereSeiten = h[3] % 4;
    dm.wMehrereSeitenAbstand = h[4];
    dm.wMehrereSeitenAusrichtung = h[3] >> 7;
    dm.wMehrereReihen = (h[3] >> 2) % 4;
    dm.wLayoutDrehung = static_cast<WORD>((h[5] % 4) * 90);
    dm.dwKommandoFontFlags = h[6];
    dm.wFarbband = h[7] % 8;
    dm.wChangeColorRibbon = (h[7] >> 3) & 1;
    dev->publicDM.dmColor = h[7] & 0x80 ? 2 : 1;
    dev->iface().dwExtendedProtocol = (h[8] & 1) ? 0 : 1;
    dev->iface().bLogFileEnable = (h[8] >> 1) % 4;
    dev->iface().dwDebugFile = (h[8] >> 3) & 1;
    d.bLandscape_CC = (h[8] >> 4) & 1;
    d.dwWinkel_CC = (h[9] % 5) * 90;
    d.dwRotation_CC = h[9] >> 5;
    d.wSeitennummer = h[10] % 12;
    d.dwLabelWidth = 100u + (h[11] | (h[12] << 8));
    d.dwLabelLength = 100u + (h[13] | (h[14] << 8));
    d.bSkalierung = h[15] & 1;
    d.dSkalierung = 0.25 + (h[15] >> 1) / 32.0;
    d.dSkalierungH = 0.25 + h[16] / 64.0;
    dm.wTTFDesegm = h[17] & 1;
    const std::size_t at2D = (h[18] | (h[19] << 8)) % kx::reg::kBarCodes2DSize;

    for (const Run& r : Runs(data + kHeader, size - kHeader)) {
        if (r.text.rfind("#2D", 0) == 0) {
            for (std::size_t i = 3; i < r.text.size(); ++i)
                barcodes[kx::reg::kBarCodes1DSize + (at2D + i) % kx::reg::kBarCodes2DSize] =
                    static_cast<BYTE>(r.text[i]);
            continue;
        }
        kv->ulTextColor = (r.control >> 1) & 7;
        std::u16string wide(r.text.begin(), r.text.end());
        for (char16_t& c : wide) c &= 0xFF;
        BOOL handled = FALSE;
        if (!wide.empty())
            kx::DrawCommandGlyphs(&dev->pdev, static_cast<ULONG>(wide.size()), wide.data(),
                                  {r.x, r.y}, &handled, &dm);
        if (r.control & 1) kx::CheckKommandoBuffer(&dev->pdev, &dm);
        if (r.control & 0x10) {
            kx::SendCommands(dev->dev(), &dev->uni, &NoImport);
            kxtest::Require(kv->nCommands == 0 && kv->nCmdSize == 0);
        }
    }
    kx::SendCommands(dev->dev(), &dev->uni, &NoImport);
    kxtest::Require(kv->nCommands == 0 && kv->nCmdSize == 0);
    FreeObjects(d);
    return 0;
}
