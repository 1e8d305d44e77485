// Reading the model data out of the printer's GPD file.
//
// The GPD is the driver host's printer description and the driver's data
// file. When a devmode record lacks the model block (head width, resolution,
// maximum sizes), the block is taken from four entries of the GPD text:
//   "*DevNumOfPlanes:"     present: the model can print graphics (quality)
//   "*MaxPrintableWidth:"  decimal, dots
//   "*MaxSize"             PAIR(x, y), dots
//   "*OEMCustomData"       "headWidthBytes masterUnit" (blanks or ';' between)
// Keywords are case-sensitive substrings of the whole text; the first
// occurrence counts.
#pragma once

#include <memory>

#include "core/devmode.h"
#include "core/oempdev.h"
#include "core/units.h"
#include "platform/kxtypes.h"

namespace kx {

// The largest GPD file that is read. A model description is a few hundred
// kilobytes at most; anything above 4 MiB is not a GPD of ours and is
// refused as unreadable rather than pulled into the spooler's memory.
constexpr DWORD kMaxGPDFileSize = 4u * 1024u * 1024u;

// Defaults for entries that are missing or not positive.
constexpr LONG kGPDDefaultMaxSizeX = 1370;
constexpr LONG kGPDDefaultMaxSizeY = 14173;
constexpr LONG kGPDDefaultHeadWidthByte = 160;
constexpr LONG kGPDDefaultMasterUnit = kDefaultMasterUnit;

// The GPD text lives on the process heap (counted by the heap statistics).
struct GPDTextFree {
    void operator()(char* p) const;
};
using GPDText = std::unique_ptr<char, GPDTextFree>;

// Reads the whole file as 8-bit text with a terminating NUL. NUL bytes inside
// the file become blanks, so that a stray NUL cannot hide the entries behind
// it. Null when the name is empty, the file cannot be opened, sized or read,
// is empty or larger than kMaxGPDFileSize, or memory runs out (each traced).
GPDText LoadGPDFile(const char16_t* pszGPDFile);

// Finds pszKeyword in pszText. TRUE when the keyword occurs; pwValueOut
// (cchValueOut characters, may be null) then receives its value as a wide
// string: from the first blank after the keyword (skipping further blanks) to
// the end of the line; a closing parenthesis ends the value and belongs to it,
// and a GPD comment ("*%") ends it too. A line end or the end of the text
// before any blank means the keyword has no value: TRUE with an empty value.
// A value longer than the buffer is cut. FALSE (and an empty value) when the
// keyword is missing or an argument is null.
BOOL GetAnyGPDValue(const char* pszText, const char* pszKeyword, char16_t* pwValueOut,
                    size_t cchValueOut);

// Two numbers of a GPD entry. A number that is missing or does not fit a
// LONG is 0.
struct GPD_PAIR {
    LONG x;
    LONG y;
};

// "*MaxSize: PAIR(x, y)". Uses pszText when given, else loads pszGPDFile.
// TRUE when the entry was found with both numbers and both parentheses.
BOOL GetGPDContentMaxSizePAIR(const char16_t* pszGPDFile, GPD_PAIR* pPair, const char* pszText);

// "*OEMCustomData: "160 300"": head width in bytes and master unit. Uses
// pszText when given, else loads pszGPDFile. TRUE when both numbers were
// found.
BOOL GetGPDContentOEMCustomDataPAIR(const char16_t* pszGPDFile, GPD_PAIR* pPair,
                                    const char* pszText);

// Fills the model block of pKX_Devmode from the GPD file and sets
// DOC_FEATURE_QUALITY in *pdwDocFeatures when the model prints graphics.
// Without readable text nothing changes. Always returns 1.
BOOL GetFixedPrinterSettingsFromGPD(OEM_PDEV* pdev, KX_DEVMODE* pKX_Devmode, DWORD* pdwDocFeatures,
                                    const char16_t* pszGPDFile);

}  // namespace kx
