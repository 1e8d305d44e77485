// The label's geometry and copies as the host's command callbacks report
// them, and the two short records those callbacks write. Each does nothing
// (and answers S_OK) outside a job, when there is no print data to keep the
// values in.
#pragma once

#include "core/oempdev.h"

namespace kx {

// The job's copies. Collated copies are made by re-sending the print file
// at the document end, so the printer gets one; manual copies of the
// devmode win over both.
void SetCopies(PDEVOBJ pdevobj, DWORD dwCopies);

// Stores the label size of a (custom) paper size callback: length and width
// in dots (params 0 and 1), rotation, the cursor origin (param 2, when
// given) and the margins against the print head.
void PaperSize(PDEVOBJ pdevobj, DWORD dwCount, const DWORD* pdwParams);

// The form feed record, then its comment or line ending, through the
// callback's channel. A failed record write is the result, and nothing
// follows it.
HRESULT FormFeed(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);

// ESC "B" 0 and the feed as a 16-bit little-endian number (line path only;
// the image path sends nothing and answers S_OK).
HRESULT SendLineFeed(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, DWORD dwFeed);

}  // namespace kx
