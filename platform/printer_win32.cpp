// Win32 backend: the spooler.
#include <vector>

#include "platform/win32_internal.h"

namespace kx::plat {

using namespace win32;

namespace {

// Calls query(buffer, size, &needed) until the buffer is large enough.
template <class Query>
bool QueryBuffer(std::vector<BYTE>* buf, Query query)
{
    DWORD needed = 0;
    buf->assign(256, 0);
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (query(buf->data(), static_cast<DWORD>(buf->size()), &needed)) return true;
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buf->size()) return false;
        buf->assign(needed, 0);
    }
    return false;
}

SystemTime FromSystemTime(const SYSTEMTIME& s)
{
    SystemTime t;
    t.wYear = s.wYear;
    t.wMonth = s.wMonth;
    t.wDayOfWeek = s.wDayOfWeek;
    t.wDay = s.wDay;
    t.wHour = s.wHour;
    t.wMinute = s.wMinute;
    t.wSecond = s.wSecond;
    t.wMilliseconds = s.wMilliseconds;
    return t;
}

}  // namespace

std::uint32_t OpenPrinter(std::u16string_view printerName, Handle* phPrinter)
{
    if (!phPrinter) return ERROR_INVALID_PARAMETER;
    // An empty name would open the print server instead of a printer.
    if (printerName.empty()) return ERROR_INVALID_PRINTER_NAME;
    std::wstring name = W(printerName);
    HANDLE h = nullptr;
    if (!::OpenPrinterW(name.data(), &h, nullptr)) return ::GetLastError();
    *phPrinter = h;
    return 0;
}

void ClosePrinter(Handle hPrinter)
{
    ::ClosePrinter(hPrinter);
}

std::uint32_t GetPrinterData(Handle hPrinter, std::u16string_view name, std::uint32_t* type,
                             void* data, std::uint32_t cbData, std::uint32_t* cbNeeded)
{
    if (!cbNeeded) return ERROR_INVALID_PARAMETER;
    std::wstring n = W(name);
    DWORD t = 0, needed = 0;
    DWORD rc =
        ::GetPrinterDataW(hPrinter, n.data(), &t, static_cast<LPBYTE>(data), cbData, &needed);
    *cbNeeded = needed;
    if (type) *type = t;
    return rc;
}

std::uint32_t GetPrinterDataEx(Handle hPrinter, std::u16string_view key, std::u16string_view name,
                               std::uint32_t* type, void* data, std::uint32_t cbData,
                               std::uint32_t* cbNeeded)
{
    if (!cbNeeded || key.empty()) return ERROR_INVALID_PARAMETER;
    DWORD t = 0, needed = 0;
    DWORD rc = ::GetPrinterDataExW(hPrinter, W(key).c_str(), W(name).c_str(), &t,
                                   static_cast<LPBYTE>(data), cbData, &needed);
    *cbNeeded = needed;
    if (type) *type = t;
    return rc;
}

std::uint32_t SetPrinterDataEx(Handle hPrinter, std::u16string_view key, std::u16string_view name,
                               std::uint32_t type, const void* data, std::uint32_t cbData)
{
    if (key.empty() || (cbData && !data)) return ERROR_INVALID_PARAMETER;
    return ::SetPrinterDataExW(hPrinter, W(key).c_str(), W(name).c_str(), type,
                               static_cast<LPBYTE>(const_cast<void*>(data)), cbData);
}

bool GetPrinterInfo(Handle hPrinter, PrinterInfo* info)
{
    if (!info) return Fail(ERROR_INVALID_PARAMETER);
    std::vector<BYTE> buf;
    if (!QueryBuffer(&buf, [&](BYTE* p, DWORD cb, DWORD* needed) {
            return ::GetPrinterW(hPrinter, 2, p, cb, needed) != FALSE;
        }))
        return false;
    const auto* pi = reinterpret_cast<const PRINTER_INFO_2W*>(buf.data());
    PrinterInfo r;
    r.serverName = U(pi->pServerName);
    r.printerName = U(pi->pPrinterName);
    r.shareName = U(pi->pShareName);
    r.portName = U(pi->pPortName);
    r.driverName = U(pi->pDriverName);
    r.comment = U(pi->pComment);
    r.location = U(pi->pLocation);
    r.dataType = U(pi->pDatatype);
    r.attributes = pi->Attributes;
    r.priority = pi->Priority;
    r.status = pi->Status;
    r.cJobs = pi->cJobs;
    *info = std::move(r);
    return true;
}

bool GetPrinterDriver(Handle hPrinter, DriverInfo* info)
{
    if (!info) return Fail(ERROR_INVALID_PARAMETER);
    std::vector<BYTE> buf;
    if (!QueryBuffer(&buf, [&](BYTE* p, DWORD cb, DWORD* needed) {
            return ::GetPrinterDriverW(hPrinter, nullptr, 6, p, cb, needed) != FALSE;
        }))
        return false;
    const auto* di = reinterpret_cast<const DRIVER_INFO_6W*>(buf.data());
    DriverInfo r;
    r.name = U(di->pName);
    r.environment = U(di->pEnvironment);
    r.driverPath = U(di->pDriverPath);
    r.dataFile = U(di->pDataFile);
    r.configFile = U(di->pConfigFile);
    r.helpFile = U(di->pHelpFile);
    r.defaultDataType = U(di->pDefaultDataType);
    r.mfgName = U(di->pszMfgName);
    r.provider = U(di->pszProvider);
    r.version = di->cVersion;
    r.driverVersion = di->dwlDriverVersion;
    // The attributes exist only from level 8 on; a spooler without it leaves 0.
    std::vector<BYTE> buf8;
    if (QueryBuffer(&buf8, [&](BYTE* p, DWORD cb, DWORD* needed) {
            return ::GetPrinterDriverW(hPrinter, nullptr, 8, p, cb, needed) != FALSE;
        }))
        r.printerDriverAttributes =
            reinterpret_cast<const DRIVER_INFO_8W*>(buf8.data())->dwPrinterDriverAttributes;
    *info = std::move(r);
    return true;
}

bool GetJob(Handle hPrinter, std::uint32_t jobId, JobInfo* info)
{
    if (!info) return Fail(ERROR_INVALID_PARAMETER);
    std::vector<BYTE> buf;
    JobInfo r;
    if (QueryBuffer(&buf, [&](BYTE* p, DWORD cb, DWORD* needed) {
            return ::GetJobW(hPrinter, jobId, 2, p, cb, needed) != FALSE;
        })) {
        const auto* ji = reinterpret_cast<const JOB_INFO_2W*>(buf.data());
        r.jobId = ji->JobId;
        r.printerName = U(ji->pPrinterName);
        r.machineName = U(ji->pMachineName);
        r.userName = U(ji->pUserName);
        r.document = U(ji->pDocument);
        r.dataType = U(ji->pDatatype);
        r.status = ji->Status;
        r.priority = ji->Priority;
        r.position = ji->Position;
        r.totalPages = ji->TotalPages;
        r.pagesPrinted = ji->PagesPrinted;
        r.submitted = FromSystemTime(ji->Submitted);
    } else {
        // Level 2 needs more rights than a user may have on a shared queue.
        if (!QueryBuffer(&buf, [&](BYTE* p, DWORD cb, DWORD* needed) {
                return ::GetJobW(hPrinter, jobId, 1, p, cb, needed) != FALSE;
            }))
            return false;
        const auto* ji = reinterpret_cast<const JOB_INFO_1W*>(buf.data());
        r.jobId = ji->JobId;
        r.printerName = U(ji->pPrinterName);
        r.machineName = U(ji->pMachineName);
        r.userName = U(ji->pUserName);
        r.document = U(ji->pDocument);
        r.dataType = U(ji->pDatatype);
        r.status = ji->Status;
        r.priority = ji->Priority;
        r.position = ji->Position;
        r.totalPages = ji->TotalPages;
        r.pagesPrinted = ji->PagesPrinted;
        r.submitted = FromSystemTime(ji->Submitted);
    }
    *info = std::move(r);
    return true;
}

bool EnumForms(Handle hPrinter, std::vector<FormInfo>* forms)
{
    if (!forms) return Fail(ERROR_INVALID_PARAMETER);
    forms->clear();
    std::vector<BYTE> buf;
    DWORD count = 0;
    if (!QueryBuffer(&buf, [&](BYTE* p, DWORD cb, DWORD* needed) {
            return ::EnumFormsW(hPrinter, 1, p, cb, needed, &count) != FALSE;
        }))
        return false;
    const auto* fi = reinterpret_cast<const FORM_INFO_1W*>(buf.data());
    for (DWORD i = 0; i < count; ++i) {
        FormInfo f;
        f.flags = fi[i].Flags;
        f.name = U(fi[i].pName);
        f.cx = fi[i].Size.cx;
        f.cy = fi[i].Size.cy;
        f.left = fi[i].ImageableArea.left;
        f.top = fi[i].ImageableArea.top;
        f.right = fi[i].ImageableArea.right;
        f.bottom = fi[i].ImageableArea.bottom;
        forms->push_back(std::move(f));
    }
    return true;
}

bool StartDocPrinter(Handle hPrinter, std::u16string_view docName, std::u16string_view dataType,
                     std::uint32_t* jobId)
{
    std::wstring doc = W(docName), type = W(dataType);
    DOC_INFO_1W di{};
    di.pDocName = doc.data();
    di.pOutputFile = nullptr;
    di.pDatatype = type.empty() ? nullptr : type.data();
    DWORD id = ::StartDocPrinterW(hPrinter, 1, reinterpret_cast<LPBYTE>(&di));
    if (id == 0) return false;
    if (jobId) *jobId = id;
    return true;
}

bool StartPagePrinter(Handle hPrinter)
{
    return ::StartPagePrinter(hPrinter) != FALSE;
}

bool WritePrinter(Handle hPrinter, const void* data, std::uint32_t cbData, std::uint32_t* cbWritten)
{
    DWORD written = 0;
    BOOL ok = ::WritePrinter(hPrinter, const_cast<void*>(data), cbData, &written);
    if (cbWritten) *cbWritten = written;
    return ok != FALSE;
}

bool EndPagePrinter(Handle hPrinter)
{
    return ::EndPagePrinter(hPrinter) != FALSE;
}
bool EndDocPrinter(Handle hPrinter)
{
    return ::EndDocPrinter(hPrinter) != FALSE;
}

}  // namespace kx::plat
