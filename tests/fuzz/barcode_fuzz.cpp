// Barcode data and settings from arbitrary bytes: the mnemonics, the chain
// field, the face table and the field records of a barcode.
//
// The first 16 bytes choose the devmode flags, the scanner mode, the
// protocol, the barcode id and the description's values; the rest, cut at
// each "|", is the barcode text, the chain-field template, a face name and
// bytes written into the barcode settings at a place the header chooses.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/pageparts.h"
#include "core/regvalues.h"
#include "objects/barcodefont.h"
#include "objects/kvbb.h"
#include "objects/prnobject.h"
#include "support/testdevice.h"

namespace {

constexpr WORD kIds[] = {30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 46, 47,
                         48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 101};
constexpr DWORD kFlags[] = {PDMFLAG_BARCODE_DESEGMENT,        PDMFLAG_BARCODE_AUTOCORR,
                            PDMFLAG_BARCODE_FNC1_ENDE,        PDMFLAG_BARCODE_LINEEND,
                            PDMFLAG_BARCODE_DESEGMENT_IGNORE, PDMFLAG_DREHEN};

std::u16string Widen(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

void FreeObjects(DruckDaten& d)
{
    for (PrnObject* p = d.pObjectList; p;) {
        PrnObject* next = p->pNext;
        kxtest::Require(p->pszSendData == nullptr || std::strlen(p->pszSendData) < (1u << 20));
        delete[] p->pszSendData;
        delete p;
        p = next;
    }
    d.pObjectList = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t kHeader = 16;
    if (size < kHeader) return 0;
    std::vector<std::string> parts(1);
    for (std::size_t i = kHeader; i < size; ++i) {
        if (data[i] == '|')
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    parts.resize(std::max<std::size_t>(parts.size(), 4));
    const std::string& text = parts[0];

    std::vector<BYTE> settings(kx::reg::kBarCodes1DSize + kx::reg::kBarCodes2DSize, 0);
    const std::size_t at = (data[14] | (data[15] << 8)) % settings.size();
    for (std::size_t i = 0; i < parts[3].size(); ++i)
        settings[(at + i) % settings.size()] = static_cast<BYTE>(parts[3][i]);

    static bool once = (kxtest::ScratchSimulation("fuzz_barcode"), true);
    (void)once;
    kxtest::TestDevice device;
    KVBBBuffer kv{};
    Bildanteile ba{};
    std::vector<BYTE> areas(ZEICHENBUFFER_SIZE, 0);
    kx::AttachTextAreas(&kv, areas.data());
    device.op.pKVBBBuffer = &kv;
    device.op.pBildanteile = &ba;
    device.op.pBarcodeDevmode = settings.data();
    KX_DEVMODE& dm = device.devmode;
    for (std::size_t i = 0; i < std::size(kFlags); ++i)
        if (data[0] & (1u << i)) dm.dwFlags |= kFlags[i];
    dm.scanner_dwMode = data[1] % 6;
    dm.dwWinkel = (data[1] >> 4) % 4 * 90;
    dm.FixedData.wMasterUnit = data[2] & 1 ? 300 : 203;
    dm.FixedData.dwHeadWidthByte = 104;
    const std::u16string link = Widen(parts[1]).substr(0, 100);
    std::copy(link.begin(), link.end(), dm.szLinkString);
    device.iface().dwExtendedProtocol = (data[2] >> 1) & 1;
    device.data.dwLabelWidth = 800;
    device.data.dwLabelLength = 600;
    device.data.bLandscape_CC = (data[2] >> 2) & 1;

    // The pure text functions.
    const std::string replaced = kx::BarcodeSonderzeichenErsetzen(text);
    kxtest::Require(replaced.size() < 4000);
    kx::Kettenfeld_new(text, dm, kx::LinkPlaceholder(dm));

    // The face table over the settings.
    kx::BarcodeDescription bdesc{};
    kx::BarcodeFontIdOfFace(Widen(parts[2]), settings.data(), &bdesc);

    // A description as the font side builds it, then the field records.
    bdesc.wBarcodeId = kIds[data[3] % std::size(kIds)];
    bdesc.wMode = data[4] & 1;
    bdesc.wDrehung = data[4] >> 1;
    bdesc.wHeight = static_cast<WORD>(data[5] * 40);
    bdesc.wV1Dick = data[6] % 8;
    bdesc.wV2Duenn = data[6] >> 5;
    bdesc.wModule = data[7];
    bdesc.wPruefziffer = data[8] % 6;
    bdesc.wKlarschrift = data[8] >> 6;
    bdesc.wRatio = data[9] % 9;
    bdesc.wBarcodeZoom = data[9] >> 4;
    bdesc.wHeightMultiplicator = data[10];
    FieldDescription field{};
    const int iHeight = (data[11] << 4) - 64;
    const int iWidth = (data[12] << 3) - 32;
    if (kx::GetBarcodeDescription(&field, &bdesc, data[13] % 4, iHeight, iWidth,
                                  dm.FixedData.wMasterUnit)) {
        if (data[13] & 0x10) field.dwFlags |= kFieldInverse;
        device.doc.dwFusspunkt = data[13] >> 5;
        kx::DrawGlyphs(&device.pdev, text.c_str(), {data[11] + 1, data[12] + 1}, &field, &dm, FALSE,
                       FALSE);
    }
    FreeObjects(device.data);
    return 0;
}
