#include "core/jobcontext.h"

#include "core/trace.h"

namespace kx {

JobContext::JobContext(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
    : m_pdevobj(pdevobj), m_pUniDrv(pUniDrv), m_pdev(GetOemPDev(pdevobj))
{}

JobContext::JobContext(OEM_PDEV* pOemPDev)
    : m_pdevobj(nullptr), m_pUniDrv(nullptr), m_pdev(pOemPDev)
{}

KX_POP* JobContext::Job() const
{
    OEM_PDEV* p = Device();
    return p ? p->pOp : nullptr;
}

TreiberPfadDatei* JobContext::Files() const
{
    KX_POP* op = Job();
    return op ? op->pTreiberPfadDatei : nullptr;
}

Treiberstrukturen* JobContext::Settings() const
{
    KX_POP* op = Job();
    return op ? op->pTreiberstrukturen : nullptr;
}

PRN_INTERFACE* JobContext::Interface() const
{
    Treiberstrukturen* t = Settings();
    return t ? &t->prnInterface : nullptr;
}

DruckDaten* JobContext::Data() const
{
    KX_POP* op = Job();
    return op ? op->pDruckDaten : nullptr;
}

DocDaten* JobContext::Doc() const
{
    KX_POP* op = Job();
    return op ? op->pDocDaten : nullptr;
}

Bildverarbeitung* JobContext::PageImage() const
{
    KX_POP* op = Job();
    return op ? op->pBildverarbeitung : nullptr;
}

bool JobContext::Has(unsigned needs) const
{
    const KX_POP* op = Job();
    const KX_DEVMODE* pKX = Devmode();
    const struct {
        unsigned need;
        bool present;
    } checks[] = {
        {kNeedDevice, Device() != nullptr},
        {kNeedDevmode, pKX != nullptr},
        {kNeedJob, op != nullptr},
        {kNeedFiles, op && op->pTreiberPfadDatei},
        {kNeedSettings, op && op->pTreiberstrukturen},
        {kNeedData, op && op->pDruckDaten},
        {kNeedDoc, op && op->pDocDaten},
        {kNeedPageImage, op && op->pBildverarbeitung},
        {kNeedPageHeap, op && op->hBufferHeap},
        {kNeedResolution, pKX && pKX->FixedData.wMasterUnit != 0},
    };
    for (const auto& c : checks)
        if ((needs & c.need) && !c.present) return false;
    return true;
}

bool JobContext::Require(unsigned needs, const char16_t* traceFmt, FmtArgs args, HRESULT hrMissing)
{
    if (!Ok()) return false;
    if (Has(needs)) return true;
    if (traceFmt && trace::IsOpen()) trace::WriteWide(traceFmt, args);
    Keep(hrMissing);
    return false;
}

bool JobContext::CommentsOn() const
{
    const PRN_INTERFACE* pi = Interface();
    return pi && ::CommentsOn(*pi);
}

char JobContext::StartChar() const
{
    const DruckDaten* d = Data();
    return d ? d->cStart : '^';
}

char JobContext::EndChar() const
{
    const DruckDaten* d = Data();
    return d ? d->cEnd : '_';
}

}  // namespace kx
