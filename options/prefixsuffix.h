// The prefix/suffix file: user-defined command lines inserted into the
// stream at five fixed points of the job.
#pragma once

#include "plugin/oempdev.h"

namespace kx {

// The sections of the prefix/suffix file, by the point of the job where
// they are sent.
constexpr DWORD PS_POST_DEVICE = 1;      // job start, after the device parameters
constexpr DWORD PS_POST_DOCUMENT = 2;    // first page, after the document set-up
constexpr DWORD PS_POST_DATA = 3;        // page end, after the page's objects
constexpr DWORD PS_PRE_PRINTSTART = 4;   // page end, before the print start
constexpr DWORD PS_POST_PRINTSTART = 5;  // document end, after the print start

// Sends the command lines of one section, each between the start and end
// characters. S_OK when the file does not exist; otherwise the result of the
// last write. Callers run it only when the interface's prefix/suffix switch
// is on.
HRESULT ReadPrefixSuffix(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, DWORD dwSection);

}  // namespace kx
