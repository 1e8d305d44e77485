// Printer fields: one PrnObject per field of the page, holding the field's
// complete KXPL text, kept in drawing order in pDruckDaten->pObjectList.
//
// DrawGlyphs is what every font handler calls with a run of text, its
// position in dots and its description: it records the text in the page's
// text table, composes the field records (extended protocol: AM/BM/AC in
// hundredths of a millimetre; standard protocol: AB/B in dots) and appends
// the object. The page end sends and frees the list (objects/objectlist.h).
#pragma once

#include "core/oempdev.h"
#include "objects/kvbb.h"

struct PrnObject {
    PrnObject* pNext;
    char* pszSendData;  // the field's KXPL text, zero-terminated, owned
    DWORD dwColor;      // 1: printed with the colour ribbon
};

namespace kx {

// Fields a standard-protocol page can hold (two-digit field numbers).
constexpr DWORD kMaxStandardFields = 99;

// Creates the field for pszText (bytes in the ANSI code page, or UTF-8 with
// bSH3) drawn at pt (dots) and appends it to the page's list. bPrevColor:
// the field takes the previous text colour (a collection finished late);
// bPhantom: a phantom field (a variable field drawn twice). FALSE only when
// the device state or a job record is missing, or for a code page above 7.
BOOL DrawGlyphs(OEM_PDEV* pOemPDev, const char* pszText, POINTL pt,
                const FieldDescription* pDescription, KX_DEVMODE* pKX_Devmode, BOOL bPrevColor,
                BOOL bPhantom);

// The field object for the inputs of DrawGlyphs, or null (no position, a
// missing record, no memory). Counts the object in iNewZaehler.
PrnObject* CreatePrnObject(OEM_PDEV* pOemPDev, const char* pszText, POINTL pt,
                           const FieldDescription* pDescription, KX_DEVMODE* pKX_Devmode,
                           BOOL bPrevColor, BOOL bPhantom);

// Appends pObject at the tail of the list at *ppHead.
void AddPrnObject(PrnObject** ppHead, PrnObject* pObject);

// The object type of a field (printer font 1/2, vector 4/6, barcode id).
// Clears *pdwInvers when it made a vector field inverse.
WORD GetPrnObjectType(const FieldDescription* pDescription, DWORD* pdwInvers);

// The printer position of a position in dots: mirrored across the label
// (or head) width, turned on a rotated page, in hundredths of a millimetre
// in the extended protocol, never negative.
void GetPrintObjectPos(OEM_PDEV* pOemPDev, POINTL pt, POINTL* pOut, KX_DEVMODE* pKX_Devmode);

// The printer position of a position in dots, keeping its sign: on a
// rotated page (bRotated) x and y trade places; with bScale the page's
// scaling applies first. {0, 0} when a record is missing.
POINTL PrinterPosition(OEM_PDEV* pOemPDev, POINTL pt, KX_DEVMODE* pKX_Devmode, bool bRotated,
                       bool bScale);

// Dots to hundredths and tenths of a millimetre, rounded half away from
// zero; a master unit of 0 counts as 300 (traced).
LONG MasterUnitToMm100Round(LONG value, DWORD dwMasterUnit);
LONG MasterUnitToMm10Round(LONG value, DWORD dwMasterUnit);

}  // namespace kx
