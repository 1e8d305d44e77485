// The page's pending text collections (pOp->pKVBBBuffer) and the description
// of one printer field.
//
// A text run that starts a variable field is not turned into a field at
// once: it is collected, with the position and description of its first
// run, until a line jump, another font class or the page end finishes it.
// There is one collection per font class (printer font, vector font,
// barcode, command font); their text areas are parts of the job's character
// buffer (pZeichenBuffer), handed out at job start. The block also keeps the
// text colour of the page and the class of the text last handled.
#pragma once

#include <string_view>

#include "core/jobdata.h"
#include "platform/ddi.h"

// Font classes of a field description.
constexpr WORD kFontClassVector = 1;
constexpr WORD kFontClassPrinter = 2;
constexpr WORD kFontClassBarcode = 3;

// Flag bits of a field description.
constexpr DWORD kFieldInverse = 0x1;
constexpr DWORD kFieldCheckDigit = 0x8;
constexpr DWORD kFieldHumanReadable = 0x10;

// Classes of the text last handled (KVBBBuffer::dwCurrentFont).
constexpr DWORD kCurrentPrinterFont = 1;
constexpr DWORD kCurrentCommandFont = 2;
constexpr DWORD kCurrentVectorFont = 3;
constexpr DWORD kCurrentBarcodeFont = 4;
constexpr DWORD kCurrentGraphics = 5;

constexpr int kFaceNameChars = 33;  // 32 characters and the zero

// What a font handler found out about one field.
struct FieldDescription {
    WORD wFontClass;   // kFontClass...
    WORD wId;          // printer font id, vector font id or barcode id
    DWORD dwRotation;  // quarter turns 0 to 3
    DWORD dwFlags;     // kField...
    DWORD cx;          // character width, dots
    DWORD cy;          // character height, dots
    DWORD dwExtra;     // the fifth font parameter
    WCHAR szFontName[kFaceNameChars];
    WORD wThick;
    WORD wThin;
    WORD wHeight;  // barcode height, 1/100 mm
    WORD wRatio;
    WORD wPruefziffer;
    WORD wKlarschrift;
};

// Areas of the character buffer (pZeichenBuffer, ZEICHENBUFFER_SIZE bytes).
constexpr DWORD kBarcodeAreaOffset = 0;
constexpr DWORD kBarcodeAreaSize = 4000;
constexpr DWORD kVektorAreaOffset = 4000;
constexpr DWORD kVektorAreaSize = 1000;
constexpr DWORD kBitmapAreaOffset = 5000;
constexpr DWORD kBitmapAreaSize = 1000;
constexpr DWORD kKommandoAreaOffset = 6000;  // the command being collected
constexpr DWORD kKommandoAreaSize = 1000;
constexpr DWORD kCommandListOffset = 7000;  // the page's finished commands
constexpr DWORD kCommandListSize = 4000;
static_assert(kCommandListOffset + kCommandListSize <= ZEICHENBUFFER_SIZE);

// Commands a page can hold with their positions and colours. Each command
// takes at least four bytes of the list (two characters and two zeros), so
// a full list could hold more; the per-command arrays end the page's
// commands at this count (decided to fit the block of the collections).
constexpr DWORD kMaxCommands = 150;

// One collection: its text area, the bytes collected, where its first run
// was drawn (dots), the font id or class index it was drawn in, and the
// description its field will get.
struct TextCollection {
    char* pText;
    DWORD dwSize;
    POINTL ptPos;
    int iIndex;  // printer font id, vector index or barcode id
    FieldDescription desc;
};

// Colour mode of KVBBBuffer::dwFarbmodus that prints with several ribbons.
constexpr DWORD kFarbmodusMehrfarbig = 2;

struct KVBBBuffer {
    TextCollection kommando;  // dwKommandoSize is kommando.dwSize, and so on
    TextCollection vektor;
    TextCollection bitmap;
    TextCollection barcode;
    DWORD dwCurrentFont;  // kCurrent...; 0 before the first text
    DWORD bPhantom;       // the vector collection is a phantom field

    // Text colour: the index the last text was drawn in and the one before.
    ULONG ulTextColor;
    ULONG ulPrevTextColor;
    // Colour mode (1 grey, 2 multi-colour ribbon) and the ribbon palette
    // (256 RGBQUAD entries) with its size in colours, set at job start.
    DWORD dwFarbmodus;
    const RGBQUAD* pRibbonPalette;
    DWORD dwPaletteColours;

    // The last position of a command-font command (1/100 mm in the extended
    // protocol, else dots), where a field with pending one-shot values goes.
    POINTL ptlLastCommandPos;

    // The page's command list: finished commands one after the other in
    // pszCommand (kCommandListSize bytes of the character buffer), each
    // followed by two zero bytes; nCmdSize bytes used. Per command i its
    // printer position (1/100 mm in the extended protocol, else dots) and
    // the text colour it arrived in.
    char* pszCommand;
    DWORD nCmdSize;
    DWORD nCommands;
    POINTL ptlCommandPos[kMaxCommands];
    WORD wCommandColor[kMaxCommands];
};
static_assert(sizeof(KVBBBuffer) <= KVBBBUFFER_SIZE);

namespace kx {

// Points the collections of kv into the job's character buffer.
void AttachTextAreas(KVBBBuffer* kv, BYTE* pZeichenBuffer);

// Adds a run to a collection of dwAreaSize bytes: a run that starts a field
// first gives the collection its position, index and description. The
// bytes that fit are appended; the area keeps a terminating zero.
void CollectRun(TextCollection& coll, DWORD dwAreaSize, bool bStartsField, POINTL pt, int iIndex,
                const FieldDescription& desc, std::string_view run);

}  // namespace kx
