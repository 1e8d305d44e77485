// Document and page start: the separator page at document start, and the
// per-label commands that precede each page's content.
#include "diag/trace.h"
#include "job/jobstream.h"

namespace kx {

HRESULT StartDoc(PDEVOBJ, IPrintOemDriverUni*)
{
    Trace(u"ERROR UNI(CC-Klassen):  %s() noch nicht vorhanden - E_NOTIMPL \r\n", u"StartDoc");
    return E_NOTIMPL;
}

HRESULT StartPage(PDEVOBJ, IPrintOemDriverUni*)
{
    Trace(u"ERROR UNI(CC-Klassen):  %s() noch nicht vorhanden - E_NOTIMPL \r\n", u"StartPage");
    return E_NOTIMPL;
}

}  // namespace kx
