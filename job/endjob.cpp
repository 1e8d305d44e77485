// The job end (CMDID_END_JOB): the deferred print start, the reset of
// user-defined command characters, the backup of the print file with its
// CSV journal, the memory-card transfer, and the freeing of every per-job
// structure.
//
// Decisions of this module:
//   - The print file is closed before the backup moves or copies it (an
//     open file cannot be moved), and before the memory-card copy reads it.
//   - Backup folders: the interface's backup path, else
//     "C:\logfiles-backup\"; below it a folder per period chosen by
//     dwBackupFormat (0 "MM", 1 "MM-YYYY", 2 "YYYY-MM", 3 "DD-MM-YYYY",
//     4 "YYYY-MM-DD", any other value no period folder); below that a
//     folder named after the printer, the part after the last backslash of
//     a server printer's name, with / : * ? < | " replaced by "_".
//   - dwBackupFormat also chooses the journal's date form (0-2 "DD.MM.YYYY",
//     3-4 "YYYY/MM/DD", 5 "MM/DD/YYYY"): the settings have one format
//     choice for the backup, not two.
//   - The backup needs 4 GiB free on the backup volume.
//   - Journal lines are quoted fields each followed by ";" and end in
//     "\r\n".
//   - The trace file is closed after the job's blocks are freed and the
//     counters traced, so that the file shows whether the job left a block
//     behind.
//   - The memory card's copy of the print file is "<print file>-card.prn";
//     the M record names the card file with ".prn", the MA record without.
#include <string>

#include "core/jobcontext.h"
#include "core/jobheap.h"
#include "core/record.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "job/jobsteps.h"
#include "job/jobstream.h"
#include "job/printstart.h"
#include "objects/objectlist.h"
#include "platform/platform.h"
#include "raster/bandcapture.h"
#include "raster/bitmap.h"
#include "settings/models.h"

namespace kx {

namespace {

constexpr std::uint64_t kBackupMinFreeBytes = 4ull << 30;
constexpr DWORD kMemCardDefaultSize = 204800;

std::u16string PrnBase(const TreiberPfadDatei* f)
{
    return std::u16string(f->wcPrnFileName, Length(f->wcPrnFileName, KX_MAX_PATH));
}

std::string Narrow(std::u16string_view s)
{
    return plat::WideToMultiByte(plat::kCpAcp, s);
}

// Creates every missing folder of a path that ends in a backslash.
bool MakeDirectories(const std::u16string& dir)
{
    for (std::size_t pos = dir.find(u'\\', 3); pos != std::u16string::npos;
         pos = dir.find(u'\\', pos + 1)) {
        std::u16string part = dir.substr(0, pos);
        if (!plat::IsDirectory(part) && !plat::CreateDirectory(part)) {
            Trace(u"ERROR UNI(CC-Klassen):  EndJob() CreateDirectory %s ERROR %u \r\n", part,
                  plat::GetLastError());
            return false;
        }
    }
    return true;
}

std::u16string BackupPrinterFolder(std::u16string_view printer)
{
    std::size_t slash = printer.find_last_of(u'\\');
    std::u16string name(slash == std::u16string_view::npos ? printer : printer.substr(slash + 1));
    for (char16_t& c : name)
        if (std::u16string_view(u"/:*?<|\"").find(c) != std::u16string_view::npos) c = u'_';
    return name;
}

std::u16string PeriodFolder(DWORD format, const plat::SystemTime& t)
{
    switch (format) {
        case 0:
            return FormatString(u"%02u\\", {t.wMonth});
        case 1:
            return FormatString(u"%02u-%04u\\", {t.wMonth, t.wYear});
        case 2:
            return FormatString(u"%04u-%02u\\", {t.wYear, t.wMonth});
        case 3:
            return FormatString(u"%02u-%02u-%04u\\", {t.wDay, t.wMonth, t.wYear});
        case 4:
            return FormatString(u"%04u-%02u-%02u\\", {t.wYear, t.wMonth, t.wDay});
        default:
            return {};
    }
}

std::string JournalDate(DWORD format, const plat::SystemTime& t)
{
    if (format == 3 || format == 4)
        return FormatString("%04u/%02u/%02u", {t.wYear, t.wMonth, t.wDay});
    if (format == 5) return FormatString("%02u/%02u/%04u", {t.wMonth, t.wDay, t.wYear});
    return FormatString("%02u.%02u.%04u", {t.wDay, t.wMonth, t.wYear});
}

std::string JournalLine(std::initializer_list<std::string> fields)
{
    std::string line;
    for (const std::string& f : fields) line += "\"" + f + "\";";
    return line + "\r\n";
}

// The backup copy of the print file (moved, or copied when the print file
// stays), and its line in the printer's CSV journal.
void Backup(const JobContext& ctx)
{
    const PRN_INTERFACE& pi = *ctx.Interface();
    TreiberPfadDatei* f = ctx.Files();
    const plat::SystemTime now = plat::GetLocalTime();
    std::u16string dir(pi.wcBackupFilePath, Length(pi.wcBackupFilePath, PRN_PATH_CHARS));
    if (dir.empty()) dir = u"C:\\logfiles-backup\\";
    if (dir.back() != u'\\') dir += u'\\';
    std::u16string printerDir = dir + PeriodFolder(pi.dwBackupFormat, now) +
                                BackupPrinterFolder(std::u16string_view(
                                    f->wcPrinterName, Length(f->wcPrinterName, KX_MAX_PATH)));
    if (!MakeDirectories(printerDir + u"\\")) return;

    const std::u16string source = PrnBase(f) + u".prn";
    std::size_t slash = source.find_last_of(u'\\');
    const std::u16string target =
        printerDir + u"\\" + (slash == std::u16string::npos ? source : source.substr(slash + 1));
    std::uint64_t freeBytes = 0;
    if (!plat::GetDiskFreeSpace(printerDir, &freeBytes)) {
        Trace(u"ERROR UNI(CC-Klassen):  EndJob() GetDiskFreeSpace %s ERROR %u \r\n", printerDir,
              plat::GetLastError());
        return;
    }
    if (freeBytes < kBackupMinFreeBytes) {
        Trace(u"ERROR UNI(CC-Klassen):  EndJob() zu wenig Platz fuer die Sicherung: %u MB \r\n",
              static_cast<DWORD>(freeBytes >> 20));
        return;
    }
    Trace(u"UNI(CC-Klassen):  EndJob() mind. 4 GB frei \n");
    bool done = pi.dwPrnFileComment <= 1 ? plat::MoveFile(source, target)
                                         : plat::CopyFile(source, target, false);
    if (!done)
        Trace(u"ERROR UNI(CC-Klassen):  EndJob() Sicherung %s -> %s ERROR %u \r\n", source, target,
              plat::GetLastError());

    if (pi.bEnableCSV != 1) return;
    const std::u16string journal = printerDir + u".csv";
    const bool isNew = !plat::PathFileExists(journal);
    std::string text;
    if (isNew && pi.dwBackupCSVKopf == 1)
        text = JournalLine({"Date", "Time", "Server", "Port", "Printer", "Copies", "Job Name",
                            "Number Pages", "prn File Name"});
    plat::PrinterInfo printer;
    if (!plat::GetPrinterInfo(ctx.Printer(), &printer))
        Trace(u"ERROR UNI(CC-Klassen):  EndJob() GetPrinter ERROR %u \r\n", plat::GetLastError());
    const DEVMODEW* pub = ctx.PublicDevmode();
    text += JournalLine({JournalDate(pi.dwBackupFormat, now),
                         FormatString("%02u:%02u:%02u", {now.wHour, now.wMinute, now.wSecond}),
                         Narrow(printer.serverName), Narrow(printer.portName),
                         Narrow(printer.printerName), FormatString("%d", {pub ? pub->dmCopies : 1}),
                         ctx.Data()->szJobName, FormatString("%u", {ctx.Data()->dwPage}),
                         Narrow(target)});
    HANDLE h = plat::CreateFile(journal, plat::kGenericWrite, plat::kShareRead, plat::kOpenAlways);
    if (!IsValidHandle(h)) {
        Trace(u"ERROR UNI(CC-Klassen):  EndJob() CSV %s ERROR %u \r\n", journal,
              plat::GetLastError());
        return;
    }
    std::uint32_t written = 0;
    plat::SetFilePointer(h, 0, plat::kFileEnd, nullptr);
    if (!plat::WriteFile(h, text.data(), static_cast<std::uint32_t>(text.size()), &written))
        Trace(u"ERROR UNI(CC-Klassen):  EndJob() CSV schreiben ERROR %u \r\n",
              plat::GetLastError());
    plat::CloseHandle(h);
}

// The print file goes to the printer's memory card: a store record with
// the file's size, then the file's bytes, sent to the spooler now that the
// card output is over.
void MemoryCard(const JobContext& ctx)
{
    DruckDaten* d = ctx.Data();
    TreiberPfadDatei* f = ctx.Files();
    d->bMemCard = 0;  // from here on the data reaches the spooler
    const std::u16string prn = PrnBase(f) + u".prn";
    const std::u16string copy = PrnBase(f) + u"-card.prn";
    if (!plat::CopyFile(prn, copy, false)) {
        Trace(u"ERROR UNI(CC-Klassen):  EndJob() CopyFile %s ERROR %u \r\n", prn,
              plat::GetLastError());
        return;
    }
    HANDLE h = plat::CreateFile(copy, plat::kGenericRead, plat::kShareRead, plat::kOpenExisting);
    if (!IsValidHandle(h)) {
        Trace(u"UNI(CC-Klassen):  EndJob(ERROR) %d - CreateFile - Can not open File \r\n",
              plat::GetLastError());
        plat::DeleteFile(copy);
        return;
    }
    std::uint64_t size = 0;
    DWORD cbSize = plat::GetFileSize(h, &size) && size < 0xFFFFFFF0u ? static_cast<DWORD>(size)
                                                                     : kMemCardDefaultSize;
    auto* bytes = static_cast<BYTE*>(CreateJobBuffer(ctx.Device(), cbSize + 1, u"MemCard"));
    DWORD got = 0;
    while (bytes && got < cbSize) {
        std::uint32_t n = 0;
        if (!plat::ReadFile(h, bytes + got, cbSize - got, &n) || n == 0) break;
        got += n;
    }
    plat::CloseHandle(h);

    std::string record;
    if (d->dwDocFeatures & DOC_FEATURE_UTF8)
        record = FormatString(
            "%cM%s%s*%d%c",
            {d->cStart, d->szMemCardDir, std::string(d->szMemCardFile) + ".prn", got, d->cEnd});
    else
        record = FormatString("%cMA:\\%s*%d%c", {d->cStart, d->szMemCardFile, got, d->cEnd});
    HRESULT hr =
        SendData(ctx.DevObj(), ctx.UniDrv(), record.data(), static_cast<DWORD>(record.size()));
    if (SUCCEEDED(hr) && bytes && got) hr = SendData(ctx.DevObj(), ctx.UniDrv(), bytes, got);
    if (FAILED(hr))
        Trace(u"ERROR UNI(CC-Klassen):  EndJob() Speicherkarte senden ERROR 0x%x \r\n", hr);
    FreeJobBlock(ctx.Device(), bytes);
    plat::DeleteFile(copy);
    if (!d->bKeepPrnFile) plat::DeleteFile(prn);
}

void CloseHandleOf(HANDLE* h)
{
    if (IsValidHandle(*h)) plat::CloseHandle(*h);
    *h = INVALID_HANDLE_VALUE;
}

// Every per-job structure goes, each counted down; a missing one is traced
// so that a broken job start shows.
void FreeJob(const JobContext& ctx)
{
    OEM_PDEV* p = ctx.Device();
    KX_POP* op = ctx.Job();
    if (op->pDruckDaten && op->pDruckDaten->pObjectList) {
        Trace(u"UNI(CC-Klassen):  EndJob() ERROR pObjectList ist noch aktiv \r\n");
        DeletePrnObject(p);
        op->pDruckDaten->pObjectList = nullptr;
    }
    if (op->pBildverarbeitung) vFreeBuffer(p);
    if (op->pTreiberPfadDatei) {
        TreiberPfadDatei* f = op->pTreiberPfadDatei;
        CloseHandleOf(&f->hPrnFile);
        CloseHandleOf(&f->hPrnFile2);
        CloseHandleOf(&f->hRecallFile);
        CloseJobLog(p);
    }
    struct Member {
        void** block;
        const char16_t* name;
    } const members[] = {
        {reinterpret_cast<void**>(&op->pTreiberstrukturen), u"pTreiberstrukturen"},
        {reinterpret_cast<void**>(&op->pDruckDaten), u"pDruckDaten"},
        {reinterpret_cast<void**>(&op->pDocDaten), u"pDocDaten"},
        {reinterpret_cast<void**>(&op->pBildanteile), u"pBildanteile"},
        {reinterpret_cast<void**>(&op->pKVBBBuffer), u"pKVBBBuffer"},
        {reinterpret_cast<void**>(&op->pGraphBuf), nullptr},  // the line path's only
        {reinterpret_cast<void**>(&op->pBildverarbeitung), u"pBildverarbeitung"},
        {reinterpret_cast<void**>(&op->pRGBBuffer), u"pRGBBuffer"},
        {reinterpret_cast<void**>(&op->pZeichenBuffer), u"pZeichenBuffer"},
        {reinterpret_cast<void**>(&op->pTreiberPfadDatei), u"pTreiberPfadDatei"},
        {reinterpret_cast<void**>(&op->pBarcodeDevmode), u"pBarcodeDevmode"}};
    for (const Member& m : members) {
        if (!*m.block) {
            if (m.name) Trace(u"ERROR UNI(CC-Klassen):  EndJob() %s = NULL \r\n", m.name);
            continue;
        }
        FreeJobBlock(p, *m.block);
        *m.block = nullptr;
    }
    FreeJobBlock(p, op);
    p->pOp = nullptr;
    p->hOpHeap = nullptr;
}

// The job's last records: the print start that no page or document end
// sent, and the reset of user-defined command characters.
void CloseStream(const JobContext& ctx)
{
    DruckDaten* d = ctx.Data();
    const DWORD noFBC = ctx.Doc() ? ctx.Doc()->dwNo_FBC : 0;
    RecordWriter w(ctx.DevObj(), ctx.UniDrv());
    w.Comment("\t// END_JOB ", TimeOfDay().c_str());

    if (!d->bPrintStarted && !d->bPrintCancelled) {
        if (noFBC) {
            w.Comment(d->bRecallDirekt ? "\t// Recall of memory card file "
                                       : "\t// Attention: FBC disabled ");
        } else {
            Trace(
                u"UNI(CC-Klassen):  EndJob() ERROR - SendStartPrint() wurde in EndDoc bzw. "
                u"EndPage nicht aufgerufen \r\n");
            if (SUCCEEDED(SendStartPrint(ctx.DevObj(), ctx.UniDrv())))
                w.Comment("\t// Attention: Print start in END_JOB ");
        }
    }
    if ((ctx.Settings()->dwFeature[0] & 0x80) && ctx.Interface()->dwEtbSohAutomatik == 1)
        w.Separate("\t\t\t// Userdefined Start/Stop ", "Reset", {}, RecordWriter::kBuffer,
                   "KXPLStartStop----", {});
}

// The job's files: the print file is complete and closed before it is
// moved or copied; the backup, the log's closing lines and the memory card.
void CloseFiles(const JobContext& ctx)
{
    TreiberPfadDatei* f = ctx.Files();
    const PRN_INTERFACE& pi = *ctx.Interface();
    const DruckDaten* d = ctx.Data();
    OEM_PDEV* p = ctx.Device();
    CloseHandleOf(&f->hPrnFile);
    if (ctx.Devmode()->wSplitPrnFile == 1) CloseHandleOf(&f->hPrnFile2);
    CloseHandleOf(&f->hRecallFile);
    if (pi.bEnableBackup == 1 && f->wcPrnFileName[0]) Backup(ctx);

    if (ctx.Settings()->bLogFileEnable) {
        JobLog(p, "END_JOB");
        JobLog(p, "\r\n [END_JOB]");
        // The application's settings as the job ends.
        if (CLogFile* log = GetJobLogFile(p)) log->WritePublicDevMode(u"END_JOB", ctx.PublicDevmode());
        JobLogF(p, "Pages: %d", d->dwPage);
        if (ctx.Devmode()->wManuellesMultipage && d->dwPage > kMaxMultiPages)
            JobLog(p, "ERROR 71 - too much pages. Disable option 'Common printstart'");
        CloseJobLog(p);
    }
    if (d->bMemCard && f->wcPrnFileName[0]) MemoryCard(ctx);
}

}  // namespace

HRESULT EndJob(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    JobContext ctx(pdevobj, pUniDrv);
    OEM_PDEV* p = ctx.Device();
    if (!pdevobj || !p) return E_FAIL;
    if (!ctx.Require(kNeedJob, u"ERROR UNI(CC-Klassen):  EndJob() pOp = NULL \r\n")) return S_OK;
    const Treiberstrukturen* t = ctx.Settings();
    // Whatever fails in the steps before (memory running out among them),
    // the job's blocks are freed: the device state is the only way to them.
    try {
        if (t && t->bDisablePDEV) {
            Trace(
                u"ERROR UNI(CC-Klassen):  EndJob() bDisablePDEV - pTreiberstrukturen sind noch "
                u"aktiv \r\n");
        } else if (ctx.Has(kNeedData | kNeedSettings | kNeedFiles | kNeedDevmode)) {
            CloseStream(ctx);
            CloseFiles(ctx);
        }
    } catch (...) {
        FreeJob(ctx);
        throw;
    }

    const bool debugFile = t && t->prnInterface.dwDebugFile >= 2;
    const DWORD page = ctx.Data() ? ctx.Data()->dwPage : 0;
    FreeJob(ctx);
    Trace(
        u"UNI(CC-Klassen):  EndJob(%d) Ende - pOemPDev->iNewZaehler: %d (1), "
        u"pOemPDev->iHAllocZaehler: %d \r\n",
        page, p->iNewZaehler, p->iHAllocZaehler);
    Trace(u"UNI(CC-Klassen):  EndJob() iHAllocZaehlerUNI: %d, iNewZaehlerUNI: %d \r\n",
          iHAllocZaehlerUNI, iNewZaehlerUNI);
    if (debugFile) trace::Close();
    return S_OK;
}

}  // namespace kx
