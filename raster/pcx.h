// The graphics record of a page: the one-bit page bitmap sent to the printer
// as PCX images placed on the label ("AX" records, bCompress 1), or as raw
// line records (D records, otherwise).
//
// Page end calls SendPCX or SendDSatz below with the one-bit page's rows as
// the Bitmap keeps them (MonoImage), so that they can be driven without a
// Bitmap; Bitmap::SendPCX and Bitmap::SendDSatz forward to them.
//
// Choices of this module:
//   - A bitmap of other than one bit per pixel, or wider or taller than the
//     PCX header's 16-bit fields (65535), is not sent (traced, result 0).
//   - Positions are computed in 64 bits and written as their formats give
//     them ("%06d", "%07u"): a value wider than its field lengthens the
//     record, as for every command record; nothing wraps silently.
//   - The header's colours are the bitmap's first 16; a bitmap whose first
//     two colours are equal (a page captured in one bit keeps an all-white
//     table) or that has none gets black (0) and white (1) instead.
//   - The rows cut at the top are taken off pcxYMax whenever the bitmap has
//     a row with dots, so that the header always describes exactly the rows
//     that follow it (also when only the last row holds dots).
//   - The devmode fields that place the graphic: wMehrereReihen (columns
//     of pages on one label, repeated per column), wMehrereSeitenAbstand
//     (the gap between pages), wMehrereSeitenAusrichtung (page order),
//     wBelegOffset (receipt offset), wChangeColorRibbon (ribbon swap), and
//     sMultiColNumber, dwMultiLabelWidth and dwMultiGapWidth (the lanes).
//     The lane offset applies only to models with the newer multi-lane
//     handling, bit 0x20000 of the model's feature word
//     FixedData.dwDocFeatures.
//   - The rotated-label comment names pages per label when wMehrereSeiten is
//     above 0, else rows per label when wMehrereReihen is above 0, else
//     nothing. Comments end with "\r\n"; with comments off nothing follows a
//     command.
//   - The sender works inside the caller's JobContext: a failed write
//     becomes the step's sticky error, and a step that has already failed
//     sends no graphic.
//   - Label size, comment, ribbon and receipt commands go to both print files
//     of the split mode; the AX record, its PCX data and the line breaks
//     between parts go with the plane they belong to. D records go through
//     the raster channel (first print file only), as all writes of the
//     bitmap do.
//   - A job that the spooler reported cancelled (bPrintCancelled) gets no
//     further graphic, not even the label commands; a cancellation noticed
//     while sending stops at the next part.
//   - In the D form, a left margin that would be negative (paper wider than
//     the head) is 0, a label width that would be negative is written as 0,
//     and the column form of the width multiplies that width. A row whose
//     row number exceeds 9999, or whose offset or byte count exceeds 999,
//     does not fit the fixed 12-character header and is not sent (traced).
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "core/jobcontext.h"
#include "core/oempdev.h"
#include "raster/bitmap.h"
#include "raster/round16.h"

namespace kx {

constexpr DWORD PDMFLAG_DREHEN_O_FORMAT = 0x100000;  // turned without changing the format

// Inner blank stretches of at least this many rows split the graphic.
constexpr int kMinGapRows = 21;
constexpr int kMaxGaps = 50;
constexpr std::size_t kPcxHeaderSize = 128;

// A one-bit image as Bitmap keeps it: bottom-up rows of ScanLineSize bytes
// (at least ((Width + 31) / 32) * 4), a set bit is white.
struct MonoImage {
    const BYTE* pData = nullptr;
    int Width = 0;
    int Height = 0;
    DWORD ScanLineSize = 0;
    const RGBQUAD* pPalette = nullptr;  // first colours go into the PCX header; may be null
    int Colors = 0;
    int Bpp = 1;
};

// The blank rows at the top and bottom and the inner gaps of a top-down
// image: how SendToPrinter cuts it into parts.
struct PcxGap {
    int iStart = 0;  // first blank row
    int iCount = 0;  // blank rows
};
struct PcxParts {
    int wLeereZeilenStart = 0;  // blank rows from the top
    int wLeereZeilenEnde = 0;   // blank rows from the bottom (counted over all rows)
    int nGaps = 0;
    PcxGap gaps[kMaxGaps];
};

class PCX {
public:
    // Width x Height pixels from bottom-up rows (dwSrcStride bytes apart; 0:
    // SLSize), turned to top row first. The first colours of pPalette go into
    // the header (see above). Allocation failure leaves
    // DataSize 0.
    PCX(WORD wWidth, WORD wHeight, const BYTE* pBits, const RGBQUAD* pPalette = nullptr,
        int iColors = 0, DWORD dwSrcStride = 0);
    virtual ~PCX();
    PCX(const PCX&) = delete;
    PCX& operator=(const PCX&) = delete;

    // Sends the image: label commands when turned, the ribbon, then one AX
    // record per part and column. Returns wLeereZeilenEnde, 0 when nothing
    // could be sent for missing structures.
    WORD SendToPrinter(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, BOOL bColourPlane);
    WORD SendToPrinter(JobContext& ctx, BOOL bColourPlane);
    // One AX record for rows iOffset .. iHeightOffset - 1 at (wY, wX).
    HRESULT SendPCXDataToPrinter(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, int iOffset,
                                 int iHeightOffset, std::int64_t wY, std::int64_t wX,
                                 BOOL bColourPlane);
    HRESULT SendPCXDataToPrinter(JobContext& ctx, int iOffset, int iHeightOffset, std::int64_t wY,
                                 std::int64_t wX, BOOL bColourPlane);
    static WORD Round(double value) { return Round16(value); }

    // The parts plan of the image (pure).
    PcxParts PlanParts() const;
    // Codes rows iOffset .. iHeightOffset - 1 into out (at least
    // EncodedWorstCase of the row count) and returns the bytes written.
    std::size_t EncodeRows(int iOffset, int iHeightOffset, std::span<BYTE> out) const;
    std::size_t EncodedWorstCase(int iRows) const;
    bool IsBlankRow(int iRow) const;
    const BYTE* Row(int iRow) const { return Data + std::size_t(iRow) * SLSize; }

    void SetYMin(WORD v) { PutWord(6, v); }
    void SetYMax(WORD v) { PutWord(10, v); }
    WORD YMin() const { return GetWord(6); }
    WORD YMax() const { return GetWord(10); }
    WORD XMax() const { return GetWord(8); }

    BYTE* Data = nullptr;  // rows, top row first
    BYTE Palette[256][3] = {};
    int BitsPerPixel = 1;
    int Planes = 1;
    DWORD DataSize = 0;
    DWORD SLSize = 0;
    WORD Width = 0;
    WORD Height = 0;
    BYTE PCXHeader[kPcxHeaderSize] = {};

private:
    // Label length and width of a turned label, then the ribbon.
    HRESULT SendLabelCommands(JobContext& ctx, std::int64_t wY, std::int64_t wX, BOOL bColourPlane);
    // Every part of the graphic between its inner gaps, once.
    HRESULT SendParts(JobContext& ctx, const PcxParts& plan, std::int64_t wY, std::int64_t wX,
                      BOOL bColourPlane);
    // Rows first .. last (top-down) with the header fitted to them.
    HRESULT SendPart(JobContext& ctx, int first, int last, std::int64_t wY, std::int64_t wX,
                     BOOL bColourPlane);
    // The record's X: wX moved by the bitmap offset, onto the last lane, and
    // to the page's or column's place on a label of several.
    std::int64_t PlaceOnLabel(const JobContext& ctx, std::int64_t wX) const;
    void PutWord(std::size_t offset, WORD v);
    WORD GetWord(std::size_t offset) const;
};

// Entry points of page end. The forms with a device object run in a
// context of their own; the page end passes its own context, so that a
// failed send becomes its sticky error.
WORD SendPCX(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const MonoImage& image,
             BOOL bColourPlane);
WORD SendPCX(JobContext& ctx, const MonoImage& image, BOOL bColourPlane);
DWORD SendDSatz(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const MonoImage& image,
                BOOL bColourPlane);
DWORD SendDSatz(JobContext& ctx, const MonoImage& image, BOOL bColourPlane);

// The PCX copy of the output channel: bColourPlane marks colour-plane bytes
// (split mode: second print file), bBothFiles sends them into both files;
// a cancelled spooler job sets bPrintCancelled.
HRESULT SendeDaten(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const void* pData, DWORD cbData,
                   BOOL bColourPlane, BOOL bBothFiles);

// The D record of one row (exposed for tests): header, inverted dots, end
// character and line ends, or an empty string for a white row or one that
// does not fit the header. iLinkerRand is the left margin in bytes.
std::string DSatzRow(char cStart, char cEnd, int iRowNumber, std::span<const BYTE> row,
                     int iLinkerRand, bool bComments);

}  // namespace kx
