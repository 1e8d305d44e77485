// The barcode settings of a printer: the registry values "BarCodes1D" (824
// bytes) and "BarCodes2D" (300 bytes), written by the settings user
// interface and read into the job's pBarcodeDevmode (the 1-D part, then the
// 2-D part). All values are little-endian.
//
// 1-D part: one record per barcode font id, at a fixed place. Sixteen
// records of 28 bytes for the codes with a fixed bar ratio, in the order of
// kRatioRecordIds, then fifteen of 24 bytes in the order of kPlainRecordIds.
// The place decides which code a record belongs to; its id field is what
// the settings interface wrote there.
//
//   offset  size  value
//    0      u32   barcode font id (0: the record was never written)
//    4      u32   mode: 1 automatic (sizes follow the drawn text), else manual
//    8      u16   wDrehung: rotation added in manual mode, quarter turns
//   10      u16   manual height, 1/100 mm
//   12      u8    wide bar part (wV1Dick), codes without a fixed ratio
//   13      u8    narrow bar part (wV2Duenn), dots, codes without a fixed ratio
//   14      u8    module size: the size number of the EAN/UPC family (manual)
//   15      u8    check digit mode 0 to 3 (1 and 3: the digit is printed)
//   16      u8    human-readable line: 1 on
//   17      u8    ratio value, passed to the printer when 1 to 6
//   18      u8    zoom (wBarcodeZoom), manual mode
//   19      u8    height multiplier (wHeightMultiplicator), tenths
//   20      u8    support switch: 1 the printer has this code
//   21..    -     reserved, 0 (the 28-byte records: bytes 21 to 27)
//
// Decisions: the further values follow the four given ones in one layout
// for both record sizes, as single bytes (bar widths, sizes and switches all
// stay below 256), so one reader serves every code. A record never written
// (id 0) reads as the defaults a fresh settings interface shows: automatic,
// zoom 1, height multiplier 1.0, human-readable line on, check digit mode 0,
// not supported - a code that needs the support switch prints as graphics
// until the settings say the printer has it.
//
// 2-D part (offsets from its start): see the k2D... constants below. Each
// code has an automatic switch (non-zero: automatic), followed by its
// manual settings. Offset 0 holds the support mask of the 2-D codes: bit
// (id - 50) for the ids 50 to 61 (decided here: the 2-D records carry no
// support switch of their own). A 2-D part never written (all bytes 0)
// counts as automatic for every code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/regvalues.h"
#include "platform/kxtypes.h"

namespace kx::bc {

constexpr std::size_t kRatioRecordSize = 28;
constexpr std::size_t kPlainRecordSize = 24;
inline constexpr WORD kRatioRecordIds[16] = {30,  301, 302, 46,  461, 462, 31,  311,
                                             312, 41,  411, 412, 36,  60,  601, 602};
inline constexpr WORD kPlainRecordIds[15] = {32, 33, 34, 35, 38, 39, 37, 40,
                                             43, 44, 47, 48, 49, 62, 63};
static_assert(16 * kRatioRecordSize + 15 * kPlainRecordSize <= reg::kBarCodes1DSize);

// Places inside a 1-D record.
constexpr std::size_t k1DId = 0;
constexpr std::size_t k1DMode = 4;
constexpr std::size_t k1DDrehung = 8;
constexpr std::size_t k1DHeight = 10;
constexpr std::size_t k1DWide = 12;
constexpr std::size_t k1DNarrow = 13;
constexpr std::size_t k1DModule = 14;
constexpr std::size_t k1DCheckDigit = 15;
constexpr std::size_t k1DHumanReadable = 16;
constexpr std::size_t k1DRatio = 17;
constexpr std::size_t k1DZoom = 18;
constexpr std::size_t k1DHeightMult = 19;
constexpr std::size_t k1DSupported = 20;

constexpr DWORD kModeAutomatic = 1;

// The values of one 1-D record.
struct Settings1D {
    DWORD dwId = 0;
    DWORD dwMode = kModeAutomatic;
    WORD wDrehung = 0;
    WORD wHeight = 0;
    BYTE bWide = 0;
    BYTE bNarrow = 0;
    BYTE bModule = 0;
    BYTE bCheckDigit = 0;
    BYTE bHumanReadable = 1;
    BYTE bRatio = 0;
    BYTE bZoom = 1;
    BYTE bHeightMult = 10;
    BYTE bSupported = 0;
};

// The place of font id's record in the 1-D part, or -1 for an id without one.
int Record1DOffset(unsigned fontId);

// The record of font id from the 1-D part (824 bytes); the defaults above
// for a record never written or an id without one.
Settings1D Read1D(const BYTE* p1D, unsigned fontId);

// Writes the record of font id (with its id) into the 1-D part; false for an
// id without a record.
bool Write1D(BYTE* p1D, unsigned fontId, const Settings1D& s);

// 2-D part.
constexpr std::size_t k2DSupportMask = 0;  // u32, bit (id - 50)

// Interleaved 2 of 5 with bearer bar (ITF): types 56 (2:1), 58 (3:1) and 55
// (5:2), each a block at its base. Values are u16 after the u32 switch.
constexpr std::size_t k2DItf56 = 4;
constexpr std::size_t k2DItf58 = 32;
constexpr std::size_t k2DItf55 = 60;
constexpr std::size_t kItfRotation = 4;     // quarter turns added
constexpr std::size_t kItfHeight = 6;       // 1/100 mm
constexpr std::size_t kItfNarrow = 8;       // narrow bar, dots
constexpr std::size_t kItfCheckDigit = 10;  // check digit mode 0 to 3
constexpr std::size_t kItfHumanReadable = 12;
constexpr std::size_t kItfLast = 14;  // the set's last value (print density)
constexpr std::size_t kItfBT = 16;    // bearer type
constexpr std::size_t kItfBW = 18;    // bearer width
constexpr std::size_t kItfQZ = 20;    // quiet zone

// PDF417: u32 switch, then u16 values.
constexpr std::size_t k2DPdf417 = 88;
constexpr std::size_t kPdfRotation = 92;
constexpr std::size_t kPdfModule = 94;      // module width
constexpr std::size_t kPdfRowHeight = 96;   // row height in modules
constexpr std::size_t kPdfColumns = 98;     // 0 automatic
constexpr std::size_t kPdfRows = 100;       // 0 automatic
constexpr std::size_t kPdfSecurity = 102;   // security level 0 to 8
constexpr std::size_t kPdfCodeWords = 104;  // 0 automatic
constexpr std::size_t kPdfTruncated = 106;  // 1 truncated symbol
constexpr std::size_t kPdfMaxHeight = 108;  // maximum height, 0 none

// MaxiCode: u32 switch, then u16 values.
constexpr std::size_t k2DMaxi = 116;
constexpr std::size_t kMaxiRotation = 120;
constexpr std::size_t kMaxiSymbolNumber = 122;
constexpr std::size_t kMaxiSymbols = 124;
constexpr std::size_t kMaxiMode = 126;  // written as mode + 2
constexpr std::size_t kMaxiLast = 128;

// Aztec: a u16 switch; its settings lie at the end of the part.
constexpr std::size_t k2DAztecSwitch = 130;
constexpr std::size_t kAztecModule = 266;     // u16
constexpr std::size_t kAztecFormat = 268;     // u16 symbol size, 0 automatic
constexpr std::size_t kAztecErrorCorr = 272;  // u32 error correction percent
constexpr std::size_t kAztecMenu = 276;       // u16 menu symbol / reader init

// DataMatrix and GS1 DataMatrix: u32 switch; u16 module size, size index
// (0 to 30, the size table of the field records), two option settings.
constexpr std::size_t k2DDataMatrix = 136;
constexpr std::size_t k2DGs1DataMatrix = 236;
constexpr std::size_t kDmModule = 6;
constexpr std::size_t kDmSize = 8;
constexpr std::size_t kDmOption1 = 10;
constexpr std::size_t kDmOption2 = 12;

// CODABLOCK F and GS1 DataBar: u32 switch, u16 rotation, six u16 values in
// the order the field record writes them.
constexpr std::size_t k2DCodablock = 160;
constexpr std::size_t k2DGs1DataBar = 184;
constexpr std::size_t kBlockRotation = 4;
constexpr std::size_t kBlockValues = 6;  // six u16 values from here

// QR Code: u32 switch; u16 rotation, u16 module size, u16 mode setting (0 N,
// 1 A, 2 B, 3 K), u16 version, u32 mask, u16 error correction setting (0 L,
// 1 M, 2 Q, else H), u16 last value.
constexpr std::size_t k2DQr = 208;
constexpr std::size_t kQrRotation = 212;
constexpr std::size_t kQrModule = 214;
constexpr std::size_t kQrMode = 216;
constexpr std::size_t kQrVersion = 218;
constexpr std::size_t kQrMask = 220;
constexpr std::size_t kQrErrorCorr = 224;
constexpr std::size_t kQrLast = 228;

// Little-endian reads and writes inside a part; 0 for a place outside size.
WORD Get16(const BYTE* p, std::size_t size, std::size_t at);
DWORD Get32(const BYTE* p, std::size_t size, std::size_t at);
void Put16(BYTE* p, std::size_t size, std::size_t at, WORD v);
void Put32(BYTE* p, std::size_t size, std::size_t at, DWORD v);

// Where the automatic switch of 2-D barcode id lies in the 2-D part (the
// block's start for the ITF types); 0 for the 1-D codes.
std::size_t Switch2DOf(unsigned id);

// Whether the 2-D part holds any non-zero byte.
bool Written2D(const BYTE* p2D);
// Whether the 2-D code whose switch lies at switchAt (u16 for Aztec, u32
// otherwise) is automatic: its switch is non-zero, or the part was never
// written.
bool Automatic2D(const BYTE* p2D, std::size_t switchAt);
// Whether the 2-D support mask has barcode id (50 to 61).
bool Supported2D(const BYTE* p2D, unsigned id);

}  // namespace kx::bc
