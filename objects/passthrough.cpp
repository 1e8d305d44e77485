#include "objects/passthrough.h"

#include <string_view>

#include "core/format.h"
#include "core/jobcontext.h"
#include "core/jobheap.h"
#include "core/output.h"
#include "core/trace.h"
#include "platform/platform.h"

namespace kx {

namespace {

// A file read whole into a counted heap block.
struct FileBytes {
    BYTE* pData = nullptr;
    DWORD cbData = 0;
};

// Reads the file at path. A size that cannot be told counts as cbUnknown;
// the bytes read may be fewer than the size. The block has room for two
// more bytes and ends in a NUL after the data.
bool ReadWholeFile(OEM_PDEV* pdev, std::u16string_view path, DWORD cbUnknown, FileBytes* out)
{
    HANDLE h = plat::CreateFile(path, plat::kGenericRead, plat::kShareRead | plat::kShareWrite,
                                plat::kOpenExisting);
    if (!IsValidHandle(h)) {
        Trace(u"ERROR UNI(PassThrough):  Open failed on: %s, Error = %u \r\n", path,
              plat::GetLastError());
        return false;
    }
    std::uint64_t size = 0;
    DWORD cbSize = cbUnknown;
    if (plat::GetFileSize(h, &size) && size < 0xFFFFFFF0u)
        cbSize = static_cast<DWORD>(size);
    else
        Trace(u"UNI(PassThrough):  GetFileSize failed on: %s - %u Bytes angenommen \r\n", path,
              cbUnknown);
    auto* p = static_cast<BYTE*>(CreateJobBuffer(pdev, cbSize + 2, u"PassThrough"));
    if (!p) {
        plat::CloseHandle(h);
        return false;
    }
    DWORD done = 0;
    while (done < cbSize) {
        std::uint32_t got = 0;
        if (!plat::ReadFile(h, p + done, cbSize - done, &got)) {
            Trace(u"ERROR UNI(PassThrough):  ReadFile failed on: %s, Error = %u \r\n", path,
                  plat::GetLastError());
            break;
        }
        if (got == 0) break;
        done += got;
    }
    plat::CloseHandle(h);
    p[done] = 0;
    out->pData = p;
    out->cbData = done;
    return true;
}

}  // namespace

BOOL SendFileContentToPrinter(PDEVOBJ pdevobj, OEM_PDEV* pdev, IPrintOemDriverUni* pUniDrv)
{
    const PRN_INTERFACE* settings = JobContext(pdev).Interface();
    if (!settings) return FALSE;
    const PRN_INTERFACE& pi = *settings;
    std::u16string_view path(pi.wcExternalFilePath, Length(pi.wcExternalFilePath, PRN_PATH_CHARS));
    if (path.size() < 5) {
        Trace(u"UNI(PassThrough):  SendFileContentToPrinter() kein Dateiname |%s| \r\n", path);
        return TRUE;
    }
    FileBytes file;
    if (!ReadWholeFile(pdev, path, kExternalFileDefaultSize, &file)) return FALSE;
    // The data goes out as read, embedded NUL bytes included: the NUL behind
    // it only ends the block for the trace.
    HRESULT hr = file.cbData ? SendData(pdevobj, pUniDrv, file.pData, file.cbData) : S_OK;
    Trace(
        u"UNI(PassThrough):  SendFileContentToPrinter() %u Bytes von %s gesendet, hResult: "
        u"0x%x \r\n",
        file.cbData, path, hr);
    FreeJobBlock(pdev, file.pData);
    return SUCCEEDED(hr) ? TRUE : FALSE;
}

BOOL SendPrnFileToPrinter(OEM_PDEV* pdev, const WCHAR* pszFileName, const WCHAR* pwPrinterName)
{
    if (!pszFileName || !pwPrinterName) return FALSE;
    std::u16string_view name(pszFileName);
    plat::Handle hPrinter = nullptr;
    std::uint32_t err = plat::OpenPrinter(pwPrinterName, &hPrinter);
    if (err != 0) {
        Trace(u"ERROR UNI(PassThrough):  SendPrnFileToPrinter(OpenPrinter) failed: Error = %u \r\n",
              err);
        return FALSE;
    }
    FileBytes file;
    if (!ReadWholeFile(pdev, name, 0, &file)) {
        plat::ClosePrinter(hPrinter);
        return FALSE;
    }

    // Every call that was started is ended, so that the spooler document is
    // closed even when the data could not be written.
    bool written = false;
    std::uint32_t jobId = 0;
    if (!plat::StartDocPrinter(hPrinter, u"Reloaded Print-File", u"RAW", &jobId)) {
        Trace(
            u"ERROR UNI(PassThrough):  SendPrnFileToPrinter(StartDocPrinter) failed: Error = "
            u"%u \r\n",
            plat::GetLastError());
    } else {
        if (!plat::StartPagePrinter(hPrinter)) {
            Trace(
                u"ERROR UNI(PassThrough):  SendPrnFileToPrinter(StartPagePrinter) failed: Error "
                u"= %u \r\n",
                plat::GetLastError());
        } else {
            std::uint32_t cbWritten = 0;
            if (!plat::WritePrinter(hPrinter, file.pData, file.cbData, &cbWritten))
                Trace(
                    u"ERROR UNI(PassThrough):  SendPrnFileToPrinter(WritePrinter) failed: Error "
                    u"= %u \r\n",
                    plat::GetLastError());
            written = cbWritten == file.cbData;
            if (!plat::EndPagePrinter(hPrinter))
                Trace(
                    u"ERROR UNI(PassThrough):  SendPrnFileToPrinter(EndPagePrinter) failed: "
                    u"Error = %u \r\n",
                    plat::GetLastError());
        }
        if (!plat::EndDocPrinter(hPrinter))
            Trace(
                u"ERROR UNI(PassThrough):  SendPrnFileToPrinter(EndDocPrinter) failed: Error = "
                u"%u \r\n",
                plat::GetLastError());
    }
    plat::ClosePrinter(hPrinter);
    Trace(u"UNI(PassThrough):  SendPrnFileToPrinter() %s - %u Bytes, Job %u, bRetval: %d \r\n",
          name, file.cbData, jobId, written ? 1 : 0);
    FreeJobBlock(pdev, file.pData);
    return written ? TRUE : FALSE;
}

}  // namespace kx
