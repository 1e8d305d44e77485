#include "host/driveruni.h"

#include "platform/platform.h"

namespace kxhost {

HRESULT DriverUni::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    if (IsEqualGUID(riid, IID_IPrintOemDriverUni) || IsEqualGUID(riid, IID_IUnknown)) {
        *ppv = static_cast<IPrintOemDriverUni*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

const SpoolFault* DriverUni::FaultFor(std::uint64_t write) const
{
    for (const SpoolFault& f : faults_) {
        if (write < f.write) continue;
        if (f.count == 0 || write < f.write + f.count) return &f;
    }
    return nullptr;
}

HRESULT DriverUni::DrvWriteSpoolBuf(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD* pdwResult)
{
    if (pdwResult) *pdwResult = 0;
    if (!pBuffer && cbSize) return E_POINTER;
    ++writes;
    if (const SpoolFault* f = FaultFor(writes)) {
        ++failedWrites;
        // The spooler's reason stays behind as the thread's last error.
        kx::plat::SetLastError(f->error);
        return f->hresult;
    }
    stream.append(static_cast<const char*>(pBuffer), cbSize);
    if (pdwResult) *pdwResult = cbSize;
    return S_OK;
}

HRESULT DriverUni::DrvWriteAbortBuf(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD dwWait)
{
    if (!pBuffer && cbSize) return E_POINTER;
    // The abort sequence goes to the printer past the spooler's job data.
    aborts.push_back(
        {stream.size(), std::string(static_cast<const char*>(pBuffer), cbSize), dwWait});
    stream.append(static_cast<const char*>(pBuffer), cbSize);
    return S_OK;
}

// The other helpers are not part of what the plug-in uses.
HRESULT DriverUni::DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD)
{
    return E_NOTIMPL;
}
HRESULT DriverUni::DrvXMoveTo(PDEVOBJ, INT, DWORD, INT*)
{
    return E_NOTIMPL;
}
HRESULT DriverUni::DrvYMoveTo(PDEVOBJ, INT, DWORD, INT*)
{
    return E_NOTIMPL;
}
HRESULT DriverUni::DrvGetStandardVariable(PDEVOBJ, DWORD, PVOID, DWORD, PDWORD)
{
    return E_NOTIMPL;
}
HRESULT DriverUni::DrvGetGPDData(PDEVOBJ, DWORD, PVOID, PVOID, DWORD, PDWORD)
{
    return E_NOTIMPL;
}
HRESULT DriverUni::DrvUniTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
                                 BRUSHOBJ*, POINTL*, MIX)
{
    return E_NOTIMPL;
}

}  // namespace kxhost
