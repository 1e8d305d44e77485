// Label layout: the commands that tell the printer the label's geometry and
// material before a page's content (length, gap, width, alignment, columns,
// copies, offsets, speed, contrast, label type, material, rotation and
// mirroring), and the scaling of the page onto the label.
#pragma once

#include "core/oempdev.h"
#include "settings/models.h"

namespace kx {

// The print flags of the second supported-features word (FEATURE_PRINT).
constexpr DWORD PRINTFLAG_OFFSET_Y = 0x1;
constexpr DWORD PRINTFLAG_OFFSET_X = 0x2;
constexpr DWORD PRINTFLAG_CONTRAST = 0x8;
constexpr DWORD PRINTFLAG_SPEED = 0x10;

// Label length, gap (or the older EE record), width, alignment, columns,
// copies, offsets, speed and contrast. E_INVALIDARG without pDruckDaten,
// pTreiberstrukturen or the private devmode. Returns the result of its last
// step; a failed write stops it.
HRESULT SendLabelSize(PDEVOBJ pdevobj, IPrintOemDriverUni* pIPrintOemDriverUni);

// The label settings of a settings record other than the job's own (the
// automatic import of a document settings file): the older label record or
// the gap, alignment, columns, offsets, speed and contrast, taken from
// pKX_Devmode whatever page the job is on. Length, width and copies stay
// those of the job's page. E_INVALIDARG without pDruckDaten,
// pTreiberstrukturen or the record, and when the printer keeps the label
// parameters itself (dwSendEtiParam).
HRESULT SendLabelSettings(PDEVOBJ pdevobj, IPrintOemDriverUni* pIPrintOemDriverUni,
                          const KX_DEVMODE* pKX_Devmode);

// Label type and material; only when the plug-in sends the label parameters
// itself (dwSendEtiParam 0), else E_INVALIDARG.
HRESULT SendMaterial(PDEVOBJ pdevobj, IPrintOemDriverUni* pIPrintOemDriverUni,
                     const KX_DEVMODE* pKX_Devmode);

// Rotation, mirroring and rotation in quarter turns, as far as the model has
// them.
HRESULT SendRotateMirror(PDEVOBJ pdevobj, IPrintOemDriverUni* pIPrintOemDriverUni,
                         const KX_DEVMODE* pKX_Devmode);

// The job's scaling factors (job start): dSkalierung and dSkalierungH from
// the scaling percentage and, for several pages or rows on one label, from
// what fits the print head; bSkalierung when they differ from 1.0. With fit
// to page both stay 1.0 here: the page start scales each page to the label.
// pPublicDM may be null.
void SetSkalierung(DruckDaten* pDruckDaten, const KX_DEVMODE& kxDevmode, const DEVMODEW* pPublicDM);

// The page's label size (page start): with fit to page the factors that take
// the page onto the private devmode's label size; then, when the job scales,
// the unscaled size is kept and dwLabelLength/dwLabelWidth become the scaled
// ones (the page end restores them).
void SetSkalierungSeite(DruckDaten* pDruckDaten, const KX_DEVMODE& kxDevmode,
                        const DEVMODEW* pPublicDM);

}  // namespace kx
