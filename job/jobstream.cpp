// The job start, page end and job end are not written yet: each answers
// E_NOTIMPL, so that the driver host sees the job fail instead of printing a
// label without its frame. The document and page start live in docpage.cpp.
#include "job/jobstream.h"

#include "diag/trace.h"

namespace kx {

namespace {

HRESULT NotYet(const char16_t* name)
{
    Trace(u"ERROR UNI(CC-Klassen):  %s() noch nicht vorhanden - E_NOTIMPL \r\n", name);
    return E_NOTIMPL;
}

}  // namespace

HRESULT StartJob(PDEVOBJ, IPrintOemDriverUni*)
{
    return NotYet(u"StartJob");
}
HRESULT EndPage(PDEVOBJ, IPrintOemDriverUni*)
{
    return NotYet(u"EndPage");
}
HRESULT EndDoc(PDEVOBJ, IPrintOemDriverUni*)
{
    return NotYet(u"EndDoc");
}
HRESULT EndJob(PDEVOBJ, IPrintOemDriverUni*)
{
    return NotYet(u"EndJob");
}

}  // namespace kx
