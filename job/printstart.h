// The print start of a label and the separator page.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Copies of a multi-page label, the print-start record with its collation
// sign, the single cut and form feed that the page asked for, and the
// separator page of modes 1 and 2. Does nothing (S_OK) without the device
// state, the private devmode or the job's settings, print and document data.
// Returns the last write's result; a failed write stops it.
HRESULT SendStartPrint(PDEVOBJ pdevobj, IPrintOemDriverUni* pIPrintOemDriverUni);

// A separator page: a label of its own with the driver provider's name and,
// in modes 2 and 4, the word for separator page in the user's language.
// Does nothing (S_OK) without the job's structures or with the separator
// page switched off. Returns the result of its print-start record.
HRESULT SendTrennseite(PDEVOBJ pdevobj, IPrintOemDriverUni* pIPrintOemDriverUni);

}  // namespace kx
