// The driver host's helper interface, IPrintOemDriverUni, as the plug-in
// receives it in PublishDriverInterface: DrvWriteSpoolBuf appends to the
// printer stream, DrvWriteAbortBuf sends the abort sequence. Spooler writes
// can be made to fail (the n-th write, with a last error such as 63, print
// cancelled) to replay what a spooler does to a job.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/jobfile.h"
#include "platform/unidrv.h"

namespace kxhost {

class DriverUni final : public IPrintOemDriverUni {
public:
    struct Abort {
        std::uint64_t offset;  // where in the stream it went
        std::string bytes;
        DWORD wait;
    };

    std::string stream;        // everything the printer receives, in order
    std::uint64_t writes = 0;  // DrvWriteSpoolBuf calls with data
    std::uint64_t failedWrites = 0;
    std::vector<Abort> aborts;

    // Arms a failing write. write counts all DrvWriteSpoolBuf calls of the
    // run, the first being 1.
    void AddFault(const SpoolFault& fault) { faults_.push_back(fault); }
    ULONG References() const { return refs_; }

    HRESULT KX_STDCALL QueryInterface(REFIID riid, void** ppv) override;
    ULONG KX_STDCALL AddRef() override { return ++refs_; }
    ULONG KX_STDCALL Release() override { return refs_ ? --refs_ : 0; }

    HRESULT KX_STDCALL DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override;
    HRESULT KX_STDCALL DrvWriteSpoolBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                        DWORD* pdwResult) override;
    HRESULT KX_STDCALL DrvXMoveTo(PDEVOBJ, INT, DWORD, INT*) override;
    HRESULT KX_STDCALL DrvYMoveTo(PDEVOBJ, INT, DWORD, INT*) override;
    HRESULT KX_STDCALL DrvGetStandardVariable(PDEVOBJ, DWORD, PVOID, DWORD, PDWORD) override;
    HRESULT KX_STDCALL DrvGetGPDData(PDEVOBJ, DWORD, PVOID, PVOID, DWORD, PDWORD) override;
    HRESULT KX_STDCALL DrvUniTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*,
                                     BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX) override;
    HRESULT KX_STDCALL DrvWriteAbortBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                        DWORD dwWait) override;

private:
    const SpoolFault* FaultFor(std::uint64_t write) const;
    ULONG refs_ = 1;  // the host's own reference
    std::vector<SpoolFault> faults_;
};

}  // namespace kxhost
