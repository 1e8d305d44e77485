// Shared test helpers: a sandboxed simulated Windows and a stand-in for the
// driver host's helper interface.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim.h"
#include "platform/unidrv.h"

namespace kxtest {

// A fresh state and root folder per test, a fixed clock, removed afterwards.
class SimSandbox {
public:
    SimSandbox();
    ~SimSandbox();
    const std::string& dir() const { return dir_; }
    // Host path of a Windows path ("C:\x" -> <root>/c/x).
    std::string HostPath(std::u16string_view windowsPath) const;
    // Whole content of a host file ("" when missing).
    static std::string ReadHostFile(const std::string& path);
    static bool HostFileExists(const std::string& path);

private:
    std::string dir_;
};

// IPrintOemDriverUni as the driver host provides it: DrvWriteSpoolBuf
// collects the spooler stream, DrvWriteAbortBuf records the abort sequence.
class FakeDriverUni : public IPrintOemDriverUni {
public:
    std::string spool;              // everything written to the spooler
    std::vector<std::string> aborts;  // abort buffers
    std::vector<DWORD> abortWaits;
    int writeCalls = 0;
    bool failWrites = false;       // DrvWriteSpoolBuf answers E_FAIL
    HRESULT abortResult = S_OK;
    ULONG refs = 1;

    HRESULT KX_STDCALL QueryInterface(REFIID riid, void** ppv) override;
    ULONG KX_STDCALL AddRef() override { return ++refs; }
    ULONG KX_STDCALL Release() override { return --refs; }
    HRESULT KX_STDCALL DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL DrvWriteSpoolBuf(PDEVOBJ, PVOID pBuffer, DWORD cbSize,
                                        DWORD* pdwResult) override;
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
    HRESULT KX_STDCALL DrvWriteAbortBuf(PDEVOBJ, PVOID pBuffer, DWORD cbSize,
                                        DWORD dwWait) override;
};

// Printable form of bytes for failure messages, and a hex dump around the
// first difference of two byte strings.
std::string Escape(const std::string& bytes);
::testing::AssertionResult BytesEqual(const std::string& expected, const std::string& actual);

}  // namespace kxtest
