// The one stand-in for the driver host's helper interface IPrintOemDriverUni,
// shared by the tests, the fuzz targets, the benchmarks and the Wine loader
// test (header only, no test framework): DrvWriteSpoolBuf collects or counts
// the spooler stream, DrvWriteAbortBuf records the abort sequence, and the
// references the plug-in holds are counted.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/unidrv.h"

namespace kxtest {

class FakeDriverUni : public IPrintOemDriverUni {
public:
    std::string spool;                // everything written to the spooler (when keep)
    std::size_t bytes = 0;            // bytes written
    std::vector<std::string> aborts;  // abort buffers
    std::vector<DWORD> abortWaits;
    int writeCalls = 0;
    bool keep = true;            // false: count the bytes only (benchmarks)
    bool readEveryByte = false;  // read each byte, so that a sanitizer sees the buffer
    bool failWrites = false;     // DrvWriteSpoolBuf answers E_FAIL
    HRESULT abortResult = S_OK;
    ULONG refs = 1;

    HRESULT KX_STDCALL QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualGUID(riid, IID_IPrintOemDriverUni) || IsEqualGUID(riid, IID_IUnknown)) {
            *ppv = static_cast<IPrintOemDriverUni*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG KX_STDCALL AddRef() override { return ++refs; }
    ULONG KX_STDCALL Release() override { return --refs; }
    HRESULT KX_STDCALL DrvWriteSpoolBuf(PDEVOBJ, PVOID pBuffer, DWORD cbSize,
                                        DWORD* pdwResult) override
    {
        ++writeCalls;
        if (failWrites) {
            if (pdwResult) *pdwResult = 0;
            return E_FAIL;
        }
        const char* p = static_cast<const char*>(pBuffer);
        if (readEveryByte) {
            volatile char sum = 0;
            for (DWORD i = 0; i < cbSize; ++i) sum = static_cast<char>(sum + p[i]);
        }
        if (keep) spool.append(p, cbSize);
        bytes += cbSize;
        if (pdwResult) *pdwResult = cbSize;
        return S_OK;
    }
    HRESULT KX_STDCALL DrvWriteAbortBuf(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD dwWait) override
    {
        aborts.emplace_back(static_cast<const char*>(pBuffer), cbSize);
        abortWaits.push_back(dwWait);
        return abortResult;
    }
    HRESULT KX_STDCALL DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL DrvXMoveTo(PDEVOBJ, INT, DWORD, INT*) override { return E_NOTIMPL; }
    HRESULT KX_STDCALL DrvYMoveTo(PDEVOBJ, INT, DWORD, INT*) override { return E_NOTIMPL; }
    HRESULT KX_STDCALL DrvGetStandardVariable(PDEVOBJ, DWORD, PVOID, DWORD, PDWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL DrvGetGPDData(PDEVOBJ, DWORD, PVOID, PVOID, DWORD, PDWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL DrvUniTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*,
                                     BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX) override
    {
        return E_NOTIMPL;
    }
};

}  // namespace kxtest
