// A driver interface that takes every spooler write and counts its bytes,
// for programs that drive the encoders without a host: the benchmarks and
// the fuzz targets. Everything else answers E_NOTIMPL.
#pragma once

#include <cstddef>

#include "platform/unidrv.h"

namespace kxtest {

class SpoolSink : public IPrintOemDriverUni {
public:
    // readEveryByte: read each written byte, so that a sanitizer sees the
    // whole buffer the plug-in hands over (the fuzz targets).
    explicit SpoolSink(bool readEveryByte = false) : readEveryByte_(readEveryByte) {}

    std::size_t bytes = 0;

    HRESULT KX_STDCALL QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG KX_STDCALL AddRef() override { return 1; }
    ULONG KX_STDCALL Release() override { return 1; }
    HRESULT KX_STDCALL DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL DrvWriteSpoolBuf(PDEVOBJ, PVOID p, DWORD cb, DWORD* written) override
    {
        if (readEveryByte_) {
            volatile BYTE sum = 0;
            for (DWORD i = 0; i < cb; ++i) sum = static_cast<BYTE>(sum + static_cast<BYTE*>(p)[i]);
        }
        bytes += cb;
        if (written) *written = cb;
        return S_OK;
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
    HRESULT KX_STDCALL DrvWriteAbortBuf(PDEVOBJ, PVOID, DWORD, DWORD) override { return S_OK; }

private:
    bool readEveryByte_;
};

}  // namespace kxtest
