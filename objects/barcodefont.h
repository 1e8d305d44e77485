// Barcode fonts: text drawn in one of the driver's barcode fonts is the data
// of a barcode the printer draws itself.
//
// GetBarcodeFontID recognises the font by its face name and fills a barcode
// description from the printer's barcode settings; BarcodeTextOut walks the
// glyph runs of a call; DrawBarcodeGlyphs makes the field at once or, with
// desegmentation on, collects the pieces of a barcode drawn in several calls
// until CheckBarcodeBuffer sends them as one field.
#pragma once

#include <string>
#include <string_view>

#include "core/oempdev.h"
#include "objects/kvbb.h"

namespace kx {

// What the face and the barcode settings say about one barcode font.
struct BarcodeDescription {
    WORD wBarcodeId;
    WORD wMode;     // 1 automatic: sizes follow the drawn text; else manual
    WORD wDrehung;  // quarter turns added in manual mode
    WORD wHeight;   // manual height, 1/100 mm
    WORD wV1Dick;   // wide part of the bar ratio
    WORD wV2Duenn;  // narrow part
    WORD wModule;   // module size (EAN/UPC size number in manual mode)
    WORD wPruefziffer;
    WORD wKlarschrift;
    WORD wRatio;
    WORD wBarcodeZoom;
    WORD wHeightMultiplicator;  // tenths
    WORD wReserved[4];
};
static_assert(sizeof(BarcodeDescription) == 32);

constexpr WORD kBarcodeModeAutomatic = 1;

// The barcode font id of the font's face (30 to 63, or a ratio variant such
// as 301), or 0 when it is none or its code is not supported by the printer.
// *pDesc is filled from the barcode settings (pOp->pBarcodeDevmode).
int GetBarcodeFontID(FONTOBJ* pfo, BarcodeDescription* pDesc, OEM_PDEV* pOemPDev);

// The same for a face name and the barcode settings (1-D part then 2-D part,
// 1124 bytes); the recognition itself.
int BarcodeFontIdOfFace(std::u16string_view face, const BYTE* pBarcodeSettings,
                        BarcodeDescription* pDesc);

// The field description of a barcode run of iHeight dots across and iWidth
// dots per character. 1, or 0 for an unknown barcode id.
int GetBarcodeDescription(FieldDescription* pField, const BarcodeDescription* pDesc,
                          DWORD dwRotation, int iHeight, int iWidth, DWORD dwMasterUnit);

// All glyph runs of one text call in a barcode font. *pbDuplicate becomes 1
// when the text was the same barcode drawn a second time.
BOOL BarcodeTextOut(OEM_PDEV* pOemPDev, STROBJ* pstro, BarcodeDescription* pDesc,
                    const WCHAR* pwszFace, BOOL* pbDuplicate, KX_DEVMODE* pKX_Devmode, int iFontId);

// One run of cGlyphs units drawn at pt.
BOOL DrawBarcodeGlyphs(OEM_PDEV* pOemPDev, ULONG cGlyphs, const WCHAR* pwszText, POINTL pt,
                       const BarcodeDescription* pDesc, DWORD dwRotation, int iHeight, int iWidth,
                       DWORD dwFlags, const WCHAR* pwszFace, BOOL* pbDuplicate,
                       KX_DEVMODE* pKX_Devmode);

// Sends the collected barcode as one field and empties the collection.
void CheckBarcodeBuffer(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode);

// The chain field of text: the devmode's chain-field template (szLinkString)
// with the text before and after the link placeholder put in.
std::string Kettenfeld_new(std::string_view text, const KX_DEVMODE& dm, std::string_view link);

// The link placeholder "<" sign "link>" in the ANSI code page.
std::string LinkPlaceholder(const KX_DEVMODE& dm);

// Replaces the control-character mnemonics of barcode data (">+CR", ">~GS",
// ...) by their characters; the result holds at most 3999 bytes.
std::string BarcodeSonderzeichenErsetzen(std::string_view text);

// Each UTF-16 unit of text becomes its low byte.
std::string ConvertWideToSmall(std::u16string_view text);

}  // namespace kx
