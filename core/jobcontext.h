// One view of the job for the step that runs now.
//
// The host hands every call a device object; the plug-in's records hang off
// it: the device state (OEM_PDEV), the private devmode and, while a job runs,
// the per-job records under OEM_PDEV::pOp. A step builds one JobContext from
// the device object, says once which records it needs (Require) and then
// reads them through the typed accessors below instead of walking the
// pointers itself.
//
// The context also carries the step's one sticky error, the way RecordWriter
// does for its records: the first failure is kept, later failures do not
// replace it, and a step asks Ok() before it does work that makes sense only
// after everything so far went well. A missing record is such a failure: its
// trace line is written once, by the Require call that found it missing, and
// later Require calls of the same step stay silent.
#pragma once

#include "core/format.h"
#include "core/oempdev.h"

namespace kx {

// The records a step can ask for.
enum JobNeed : unsigned {
    kNeedDevice = 0x1,        // OEM_PDEV
    kNeedDevmode = 0x2,       // the private devmode
    kNeedJob = 0x4,           // pOp, the per-job root
    kNeedFiles = 0x8,         // pTreiberPfadDatei
    kNeedSettings = 0x10,     // pTreiberstrukturen
    kNeedData = 0x20,         // pDruckDaten
    kNeedDoc = 0x40,          // pDocDaten
    kNeedPageImage = 0x80,    // pBildverarbeitung
    kNeedPageHeap = 0x100,    // hBufferHeap
    kNeedResolution = 0x200,  // a non-zero FixedData.wMasterUnit
};

class JobContext {
public:
    explicit JobContext(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv = nullptr);
    // A context of the device state alone, for work that is handed only the
    // OEM_PDEV: it has no devmode and writes nothing.
    explicit JobContext(OEM_PDEV* pOemPDev);
    JobContext(const JobContext&) = delete;
    JobContext& operator=(const JobContext&) = delete;

    // True when every record of needs exists. The first time a step finds
    // one missing, traceFmt is traced with args (each caller keeps its own
    // wording) and hrMissing becomes the sticky error. Once the step has
    // failed, Require answers false without tracing again.
    bool Require(unsigned needs, const char16_t* traceFmt, FmtArgs args = {},
                 HRESULT hrMissing = E_FAIL);
    // The same test without trace or error.
    bool Has(unsigned needs) const;

    PDEVOBJ DevObj() const { return m_pdevobj; }
    IPrintOemDriverUni* UniDrv() const { return m_pUniDrv; }
    HANDLE Printer() const { return m_pdevobj ? m_pdevobj->hPrinter : nullptr; }
    const DEVMODEW* PublicDevmode() const { return m_pdevobj ? m_pdevobj->pPublicDM : nullptr; }

    // The records, each null while missing. They are read from the device
    // object on every call, so a context built before the job start created
    // them sees them as soon as they exist.
    OEM_PDEV* Device() const { return m_pdev; }
    KX_DEVMODE* Devmode() const { return GetKxDevmode(m_pdevobj); }
    KX_POP* Job() const;
    TreiberPfadDatei* Files() const;
    Treiberstrukturen* Settings() const;
    PRN_INTERFACE* Interface() const;
    DruckDaten* Data() const;
    DocDaten* Doc() const;
    Bildverarbeitung* PageImage() const;

    // Comment lines of the job are on: a print file with comments, or a
    // backup (false without the interface settings).
    bool CommentsOn() const;
    // The job's start and end characters ("^" and "_" without print data).
    char StartChar() const;
    char EndChar() const;

    // The sticky error.
    HRESULT Result() const { return m_hr; }
    bool Ok() const { return SUCCEEDED(m_hr); }
    // Keeps hr when it is the step's first failure; returns hr either way,
    // so a call can be wrapped: hr = ctx.Keep(Send(...)).
    HRESULT Keep(HRESULT hr)
    {
        if (FAILED(hr) && SUCCEEDED(m_hr)) m_hr = hr;
        return hr;
    }

private:
    PDEVOBJ m_pdevobj;
    IPrintOemDriverUni* m_pUniDrv;
    OEM_PDEV* m_pdev;
    HRESULT m_hr = S_OK;
};

}  // namespace kx
