// The information log: a readable report of each job beside its print file
// (which settings were used, printer and driver versions, the job's sections
// as they pass, the printed texts, and the errors a user can act on).
//
// The file is narrow text in the ANSI code page, lines end in "\r\n". It is
// appended to job after job until it reaches 512000 bytes; the next job then
// starts it afresh. No failure of the log changes the job: a log that cannot
// be opened or written is traced (prefix "LIB(LogFile):  ") and skipped, and
// every write to a log that is not open does nothing.
#pragma once

#include <string>

#include "core/format.h"
#include "platform/unidrv.h"
#include "core/oempdev.h"
#include "core/printerparam.h"

class CLogFile {
public:
    static constexpr DWORD kMaxSize = 512000;
    static constexpr std::size_t kLineBytes = 780;    // WriteLine's buffer
    static constexpr std::size_t kFormatChars = 255;  // the formatted line

    CLogFile();
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Opens "<pwszPrnFileName>.log", or, when the print-file name is empty,
    // the name GetPrnFileName gives for ".log" (untidied; no file when it
    // refuses a name). A file of kMaxSize bytes or more is emptied, a
    // smaller one appended to. Always returns 1; IsInitialized() tells
    // whether the file is open. Does nothing when already initialised.
    DWORD Initialize(HANDLE hPrinter, const WCHAR* pwszPrnFileName, PRN_INTERFACE* pPrnInterface);
    // Closes the file; later writes do nothing.
    void Close();

    bool IsInitialized() const { return m_bInitialized == 1; }
    // The log's path (empty before Initialize found one).
    const WCHAR* FileName() const { return m_wcFileName; }

    // The primitive under all writers: the wide text converted to the ANSI
    // code page, or else the narrow text as it stands (at most 777 bytes),
    // then "\r\n" when bLineEnd is 1.
    void WriteLine(const WCHAR* pwszText, const char* pszText = nullptr, DWORD bLineEnd = 1);

    // One printf-style line (formatted into 255 characters, longer lines are
    // cut) followed by "\r\n"; nothing unless initialised.
    template <class... A>
    void Write(const WCHAR* pwszFormat, const A&... args)
    {
        if (!IsInitialized()) return;
        VWrite(pwszFormat, {kx::FmtArg(args)...});
    }
    void VWrite(const WCHAR* pwszFormat, kx::FmtArgs args);

    // "Date: DD.MM.YYYY Time: hh:mm:ss,mmm" of the local time, and "\r\n".
    void WriteTimeStamp();

    // Sections: a heading with the caller's label (for example
    // "\r\nPrivate DEVMODE (StartJob) at: " and the time stamp), then one
    // line per setting as "\t <name padded> = <value>". A null record
    // writes the heading and "\t (none)".
    void WritePublicDevMode(const WCHAR* pwszLabel, const DEVMODEW* pDevmode);
    void WritePrivateDevMode(const WCHAR* pwszLabel, const KX_DEVMODE* pDevmode);
    // pBarcodeDevmode: the job's barcode settings (BARCODE_DEVMODE_SIZE
    // bytes: the 1-D records, then the 2-D part).
    void WriteBarcodeSettings(const WCHAR* pwszLabel, const BYTE* pBarcodeDevmode);
    // PRINTER_INFO_2 and DRIVER_INFO_8 of the printer.
    void WritePrinterInfos(const WCHAR* pwszLabel, HANDLE hPrinter);
    void WriteDriverInfos(const WCHAR* pwszLabel, HANDLE hPrinter);
    // The printer parameter record of the device-parameter sending: the
    // model's feature words (MAX_FEATURES), the photocell and the shift
    // optimisation settings (each may be null).
    void WritePrinterParam(const WCHAR* pwszLabel, const DWORD* pdwFeatures,
                           const PHOTOCELL_PARAM* pPhotocell, const SHIFT_OPTIM_PARAM* pShiftOptim);
    void WriteInterfaceParam(const WCHAR* pwszLabel, const PRN_INTERFACE* pPrnInterface);

    HANDLE m_hFile;
    DWORD m_bInitialized;
    DWORD m_dwMaxSize;
    DWORD m_dwLastError;

private:
    void WriteHeading(const WCHAR* pwszHeading, const WCHAR* pwszLabel);
    void Item(std::u16string_view name, std::u16string_view value);
    void Group(std::u16string_view title);

    WCHAR m_wcFileName[KX_MAX_PATH];
};

namespace kx {

// The job's log, when the job keeps one and it is open; else null.
CLogFile* GetJobLogFile(const OEM_PDEV* pOemPDev);

// Job start: with bLogFileEnable 1 (any other value keeps no log), creates
// the job's log object in pTreiberPfadDatei->pLogFile and initialises it
// beside the print file wcPrnFileName. True when the log is open. An object
// already there is kept (and initialised when it was not).
bool OpenJobLogFile(OEM_PDEV* pOemPDev, HANDLE hPrinter, DWORD bLogFileEnable);

// Document or job end: closes the job's log and deletes the object.
void CloseJobLogFile(OEM_PDEV* pOemPDev);

// A formatted line into the job's log; nothing when the job keeps none.
template <class... A>
void WriteJobLog(const OEM_PDEV* pOemPDev, const WCHAR* pwszFormat, const A&... args)
{
    if (CLogFile* pLog = GetJobLogFile(pOemPDev)) pLog->Write(pwszFormat, args...);
}

}  // namespace kx
