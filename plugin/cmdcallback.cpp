#include "plugin/cmdcallback.h"

#include <iterator>

#include "core/jobcontext.h"
#include "core/trace.h"
#include "job/jobstream.h"
#include "job/labelgeometry.h"

namespace kx {

namespace {

// The callback's name in the trace: the shared table's name up to the colour
// ids; the unnamed ids 23 to 29 trace as a blank, the memory-card ids and
// unknown ids as "NULL". Built in place: the trace of a call must not need
// the heap, which may be what is failing.
struct CallbackLabel {
    char16_t text[32] = u"NULL";
};
CallbackLabel CallbackName(DWORD id)
{
    CallbackLabel label;
    if (id > CMDID_LEFT_MODULE && id < CMDID_RESOLUTION) {
        label.text[0] = u' ';
        label.text[1] = 0;
    } else if (id <= CMDID_SEND_BLUE) {
        for (const CommandCallbackName& n : kCommandCallbackNames) {
            if (n.id != id) continue;
            std::size_t i = 0;
            for (; n.name[i] && i + 1 < std::size(label.text); ++i) label.text[i] = n.name[i];
            label.text[i] = 0;
        }
    }
    return label;
}

// The parameters of one callback. Parameters beyond dwCount read as 0: the
// GPD always passes what a command needs, but a short list must not crash.
struct CallbackParams {
    DWORD dwCount;
    const DWORD* pdwParams;

    DWORD operator[](DWORD i) const { return (pdwParams && i < dwCount) ? pdwParams[i] : 0; }
};

using Handler = HRESULT (*)(JobContext& ctx, const CallbackParams& params, INT* piResult);

void SetResult(INT* piResult, DWORD v)
{
    if (piResult) *piResult = static_cast<INT>(v);
}

// ---------------------------------------------------------------- job stream

template <HRESULT (*Run)(PDEVOBJ, IPrintOemDriverUni*)>
HRESULT Boundary(JobContext& ctx, const CallbackParams&, INT*)
{
    return Run(ctx.DevObj(), ctx.UniDrv());
}

// A boundary handler with the worker count raised around it.
template <HRESULT (*Run)(PDEVOBJ, IPrintOemDriverUni*)>
HRESULT Counted(JobContext& ctx, const CallbackParams&, INT*)
{
    OEM_PDEV* p = ctx.Device();
    if (p) ++p->iNewZaehler;
    HRESULT hr = Run(ctx.DevObj(), ctx.UniDrv());
    if (p) --p->iNewZaehler;
    return hr;
}

// The job end, then the counters that show whether it left anything behind.
HRESULT EndOfJob(JobContext& ctx, const CallbackParams& params, INT* piResult)
{
    HRESULT hr = Counted<EndJob>(ctx, params, piResult);
    const OEM_PDEV* p = ctx.Device();
    Trace(
        u"UNI(CommandCallback):  CommandCallbackOEM(CMDID_END_JOB) iHAllocZaehler: %d, "
        u"iNewZaehler: %d \r\n",
        p ? p->iHAllocZaehler : 0, p ? p->iNewZaehler : 0);
    return hr;
}

// ---------------------------------------------------------------- values of the job

HRESULT Copies(JobContext& ctx, const CallbackParams& params, INT*)
{
    SetCopies(ctx.DevObj(), params[0]);
    return S_OK;
}

HRESULT Portrait(JobContext& ctx, const CallbackParams&, INT*)
{
    if (DruckDaten* d = ctx.Data()) d->bLandscape_CC = 0;
    return S_OK;
}

HRESULT Landscape(JobContext& ctx, const CallbackParams&, INT*)
{
    if (DruckDaten* d = ctx.Data()) {
        d->bLandscape_CC = 1;
        Trace(u"UNI(CommandCallback):  CommandCallback(CMDID_LANDSCAPE) bLandscape_CC = TRUE \r\n");
    }
    return S_OK;
}

// A vertical move; the line path feeds the paper by it.
template <bool Relative>
HRESULT MoveY(JobContext& ctx, const CallbackParams& params, INT* piResult)
{
    SetResult(piResult, params[0]);
    DruckDaten* d = ctx.Data();
    if (!d) return S_OK;
    if (Relative)
        d->lCursorY += static_cast<LONG>(params[0]);
    else
        d->lCursorY = static_cast<LONG>(params[0]);
    if (d->bCompress) return SendLineFeed(ctx.DevObj(), ctx.UniDrv(), params[0]);
    return S_OK;
}

HRESULT MoveX(JobContext& ctx, const CallbackParams& params, INT* piResult)
{
    SetResult(piResult, params[0]);
    if (DruckDaten* d = ctx.Data()) d->lCursorX = static_cast<LONG>(params[0]);
    return S_OK;
}

HRESULT CarriageReturn(JobContext& ctx, const CallbackParams&, INT*)
{
    if (DruckDaten* d = ctx.Data()) d->lCursorX = 0;
    return S_OK;
}

HRESULT FormFeedRecord(JobContext& ctx, const CallbackParams&, INT*)
{
    return FormFeed(ctx.DevObj(), ctx.UniDrv());
}

HRESULT PaperSizeNamed(JobContext& ctx, const CallbackParams& params, INT*)
{
    Trace(u"UNI(CommandCallback):  CommandCallback(CMDID_PAPERSIZE) \r\n");
    PaperSize(ctx.DevObj(), params.dwCount, params.pdwParams);
    return S_OK;
}

HRESULT PaperSizeCustom(JobContext& ctx, const CallbackParams& params, INT*)
{
    PaperSize(ctx.DevObj(), params.dwCount, params.pdwParams);
    return S_OK;
}

// The left module places labels at the head's start.
template <DWORD Value>
HRESULT CorrectXPos(JobContext& ctx, const CallbackParams&, INT*)
{
    if (DruckDaten* d = ctx.Data()) d->bCorrectXPos = Value;
    return S_OK;
}

// The resolution comes from the model data; the callback only reports it.
HRESULT Resolution(JobContext&, const CallbackParams& params, INT*)
{
    if (params[0])
        Trace(u"UNI(CommandCallback):  CommandCallback(CMDID_RESOLUTION) %d DPI \r\n", params[0]);
    return S_OK;
}

template <DWORD Value>
HRESULT MemoryCard(JobContext& ctx, const CallbackParams&, INT*)
{
    if (DruckDaten* d = ctx.Data()) d->bMemCard = Value;
    return S_OK;
}

struct Command {
    DWORD id;
    Handler handler;
};

constexpr Command kCommands[] = {
    {CMDID_START_JOB, Counted<StartJob>},
    {CMDID_START_DOC, Counted<StartDoc>},
    {CMDID_START_PAGE, Boundary<StartPage>},
    {CMDID_END_PAGE, Boundary<EndPage>},
    {CMDID_END_DOC, Counted<EndDoc>},
    {CMDID_END_JOB, EndOfJob},
    {CMDID_COPIES, Copies},
    {CMDID_PORTRAIT, Portrait},
    {CMDID_LANDSCAPE, Landscape},
    {CMDID_YMOVE_ABS, MoveY<false>},
    {CMDID_YMOVE_RELDOWN, MoveY<true>},
    {CMDID_XMOVE_ABS, MoveX},
    {CMDID_CR, CarriageReturn},
    {CMDID_FF, FormFeedRecord},
    {CMDID_PAPERSIZE, PaperSizeNamed},
    {CMDID_CUSTOM_PAPERSIZE, PaperSizeCustom},
    {CMDID_RIGHT_MODULE, CorrectXPos<0>},
    {CMDID_LEFT_MODULE, CorrectXPos<1>},
    {CMDID_RESOLUTION, Resolution},
    {CMDID_MEMCARD_OFF, MemoryCard<0>},
    {CMDID_MEMCARD_ON, MemoryCard<1>},
};

}  // namespace

HRESULT CommandCallbackOEM(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams,
                           INT* piResult, IPrintOemDriverUni* pUniDrv)
{
    if (piResult) *piResult = 0;
    Trace(u"UNI(CommandCallback):  CommandCallbackOEM(%s) entry.\r\n",
          CallbackName(dwCallbackID).text);
    Trace(u"UNI(CommandCallback):          dwCount      = %d\r\n", dwCount);
    for (DWORD i = 0; pdwParams && i < dwCount && i < 3; ++i)
        Trace(u"UNI(CommandCallback):          pdwParams(%d) = %d\r\n", i, pdwParams[i]);
    if (!pdevobj) Trace(u"UNI(CommandCallback):  CommandCallbackOEM() pDevObj = NULL \r\n");

    JobContext ctx(pdevobj, pUniDrv);
    const CallbackParams params{dwCount, pdwParams};
    for (const Command& c : kCommands)
        if (c.id == dwCallbackID) return c.handler(ctx, params, piResult);
    Trace(u"UNI(CommandCallback):  dwCallbackID %u not supported.\r\n", dwCallbackID);
    return E_FAIL;
}

}  // namespace kx
