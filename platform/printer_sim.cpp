// Simulated backend: printers, drivers, forms, jobs and the spooler.
//
// Printers and drivers live in the HKLM hive where Windows keeps them (see
// sim.h); jobs live in <state>/jobs.reg under "<printer key>\<job id>"; the
// bytes of a document are appended to the spool file.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "platform/sim_internal.h"

namespace kx::plat {

using namespace sim::detail;

namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kPrintersKey = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
constexpr std::u16string_view kDriversKey =
    u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3";
constexpr std::u16string_view kFormsKey = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Forms";
constexpr std::u16string_view kDriverDir = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3";
constexpr std::u16string_view kEnvironment = u"Windows x64";

constexpr std::uint32_t kAttributeShared = 0x8;
constexpr std::uint32_t kAttributeNetwork = 0x10;
constexpr std::uint32_t kAttributeLocal = 0x40;
constexpr std::uint32_t kJobStatusSpooling = 0x8;
constexpr std::uint32_t kJobStatusPrinted = 0x80;

struct PrinterObj : SimObject {
    static constexpr std::uint32_t kMagic = 0x4B585052u;  // "KXPR"
    std::u16string name;                                  // as the spooler knows it
    std::u16string keyName;                               // its key below Printers
    bool inDoc = false;
    bool inPage = false;
    std::uint32_t jobId = 0;
    std::uint32_t pages = 0;
    int spoolFd = -1;
};

HandlePool<PrinterObj>& Printers()
{
    // Never destroyed: handles may still be used while the process exits.
    static auto* pool = new HandlePool<PrinterObj>;
    return *pool;
}

// "\\server\name" is kept as ",,server,name", as Windows names connections.
std::u16string KeyNameOf(std::u16string_view printerName)
{
    std::u16string r(printerName);
    for (char16_t& c : r)
        if (c == u'\\') c = u',';
    return r;
}

std::u16string Join(std::u16string_view a, std::u16string_view b)
{
    std::u16string r(a);
    r.push_back(u'\\');
    r.append(b);
    return r;
}

std::u16string PrinterKey(std::u16string_view keyName)
{
    return Join(kPrintersKey, keyName);
}

bool IsServerName(std::u16string_view name)
{
    return name.size() > 2 && name[0] == u'\\' && name[1] == u'\\';
}

// "\\server\name" -> server and name.
void SplitServerName(std::u16string_view full, std::u16string* server, std::u16string* name)
{
    std::u16string_view rest = full.substr(2);
    std::size_t slash = rest.find(u'\\');
    *server = std::u16string(rest.substr(0, slash));
    *name = slash == std::u16string_view::npos ? std::u16string()
                                               : std::u16string(rest.substr(slash + 1));
}

// A driver file as the registry keeps it: relative to the driver directory
// when it lies there, and back.
std::u16string DriverFileToRegistry(std::u16string_view path)
{
    if (path.size() > kDriverDir.size() + 1 && path[kDriverDir.size()] == u'\\' &&
        EqualNoCase(path.substr(0, kDriverDir.size()), kDriverDir))
        return std::u16string(path.substr(kDriverDir.size() + 1));
    return std::u16string(path);
}

std::u16string DriverFileFromRegistry(std::u16string_view value)
{
    if (value.empty() || value.find(u'\\') != std::u16string_view::npos)
        return std::u16string(value);
    return Join(kDriverDir, value);
}

std::u16string VersionText(std::uint64_t v)
{
    std::string s = std::to_string(v >> 48) + "." + std::to_string((v >> 32) & 0xFFFF) + "." +
                    std::to_string((v >> 16) & 0xFFFF) + "." + std::to_string(v & 0xFFFF);
    return FromUtf8(s);
}

std::uint64_t ParseVersion(std::u16string_view text)
{
    std::uint64_t parts[4] = {0, 0, 0, 0};
    int i = 0;
    for (char16_t c : text) {
        if (c == u'.') {
            if (++i == 4) break;
        } else if (c >= u'0' && c <= u'9') {
            parts[i] = (parts[i] * 10 + (c - u'0')) & 0xFFFF;
        }
    }
    return parts[0] << 48 | parts[1] << 32 | parts[2] << 16 | parts[3];
}

std::string MultiSz(std::initializer_list<std::u16string_view> items)
{
    std::u16string all;
    for (std::u16string_view s : items) {
        if (s.empty()) continue;
        all.append(s);
        all.push_back(u'\0');
    }
    all.push_back(u'\0');
    return std::string(reinterpret_cast<const char*>(all.data()), all.size() * 2);
}

// ---- forms

struct BuiltinForm {
    const char16_t* name;
    std::int32_t cx, cy;
};
// The forms every Windows spooler knows, in its order, so that a form's
// position plus one is its DMPAPER number up to "Envelope Invite" (47); the
// two reserved numbers 48 and 49 have no form, so the later ones are off by
// two.
constexpr BuiltinForm kBuiltinForms[] = {
    {u"Letter", 215900, 279400},
    {u"Letter Small", 215900, 279400},
    {u"Tabloid", 279400, 431800},
    {u"Ledger", 431800, 279400},
    {u"Legal", 215900, 355600},
    {u"Statement", 139700, 215900},
    {u"Executive", 184150, 266700},
    {u"A3", 297000, 420000},
    {u"A4", 210000, 297000},
    {u"A4 Small", 210000, 297000},
    {u"A5", 148000, 210000},
    {u"B4 (JIS)", 257000, 364000},
    {u"B5 (JIS)", 182000, 257000},
    {u"Folio", 215900, 330200},
    {u"Quarto", 215000, 275000},
    {u"10x14", 254000, 355600},
    {u"11x17", 279400, 431800},
    {u"Note", 215900, 279400},
    {u"Envelope #9", 98425, 225425},
    {u"Envelope #10", 104775, 241300},
    {u"Envelope #11", 114300, 263525},
    {u"Envelope #12", 120650, 279400},
    {u"Envelope #14", 127000, 292100},
    {u"C size sheet", 431800, 558800},
    {u"D size sheet", 558800, 863600},
    {u"E size sheet", 863600, 1117600},
    {u"Envelope DL", 110000, 220000},
    {u"Envelope C5", 162000, 229000},
    {u"Envelope C3", 324000, 458000},
    {u"Envelope C4", 229000, 324000},
    {u"Envelope C6", 114000, 162000},
    {u"Envelope C65", 114000, 229000},
    {u"Envelope B4", 250000, 353000},
    {u"Envelope B5", 176000, 250000},
    {u"Envelope B6", 176000, 125000},
    {u"Envelope", 110000, 230000},
    {u"Envelope Monarch", 98425, 190500},
    {u"6 3/4 Envelope", 92075, 165100},
    {u"US Std Fanfold", 377825, 279400},
    {u"German Std Fanfold", 215900, 304800},
    {u"German Legal Fanfold", 215900, 330200},
    {u"B4 (ISO)", 250000, 353000},
    {u"Japanese Postcard", 100000, 148000},
    {u"9x11", 228600, 279400},
    {u"10x11", 254000, 279400},
    {u"15x11", 381000, 279400},
    {u"Envelope Invite", 220000, 220000},
    {u"Letter Extra", 241300, 304800},
    {u"Legal Extra", 241300, 381000},
    {u"Tabloid Extra", 304800, 457200},
    {u"A4 Extra", 235458, 322326},
    {u"Letter Transverse", 215900, 279400},
    {u"A4 Transverse", 210000, 297000},
    {u"Letter Extra Transverse", 241300, 304800},
    {u"Super A", 227000, 356000},
    {u"Super B", 305000, 487000},
    {u"Letter Plus", 215900, 322326},
    {u"A4 Plus", 210000, 330000},
    {u"A5 Transverse", 148000, 210000},
    {u"B5 (JIS) Transverse", 182000, 257000},
    {u"A3 Extra", 322000, 445000},
    {u"A5 Extra", 174000, 235000},
    {u"B5 (ISO) Extra", 201000, 276000},
    {u"A2", 420000, 594000},
    {u"A3 Transverse", 297000, 420000},
    {u"A3 Extra Transverse", 322000, 445000},
    {u"Japanese Double Postcard", 200000, 148000},
    {u"A6", 105000, 148000},
};

bool IsBuiltinForm(std::u16string_view name)
{
    for (const BuiltinForm& f : kBuiltinForms)
        if (EqualNoCase(f.name, name)) return true;
    return false;
}

// A user form as Windows keeps it: eight 32-bit numbers (size, imageable
// area, index, flags).
std::string FormRecord(const FormInfo& form, std::uint32_t index)
{
    std::int32_t v[8] = {form.cx,
                         form.cy,
                         form.left,
                         form.top,
                         form.right,
                         form.bottom,
                         static_cast<std::int32_t>(index),
                         static_cast<std::int32_t>(form.flags)};
    return std::string(reinterpret_cast<const char*>(v), sizeof(v));
}

// ---- jobs

std::u16string JobKey(std::u16string_view keyName, std::uint32_t id)
{
    return Join(keyName, FromUtf8(std::to_string(id)));
}

std::uint32_t NextJobId(RegTree& jobs, std::u16string_view keyName)
{
    RegKey& root = jobs.Create(u"");
    std::uint32_t id = root.GetDword(u"NextJobId", 1);
    if (id == 0) id = 1;
    while (jobs.Find(JobKey(keyName, id))) ++id;
    root.SetDword(u"NextJobId", id + 1);
    return id;
}

void StoreJob(RegKey& key, const JobInfo& job)
{
    key.SetSz(u"Printer", job.printerName);
    key.SetSz(u"Machine", job.machineName);
    key.SetSz(u"User", job.userName);
    key.SetSz(u"Document", job.document);
    key.SetSz(u"Datatype", job.dataType);
    key.SetDword(u"Status", job.status);
    key.SetDword(u"Priority", job.priority);
    key.SetDword(u"Position", job.position);
    key.SetDword(u"TotalPages", job.totalPages);
    key.SetDword(u"PagesPrinted", job.pagesPrinted);
    key.SetSz(u"Submitted", FromUtf8(FormatTime(job.submitted)));
}

SystemTime UtcNow()
{
    std::uint64_t ft;
    if (std::optional<SystemTime> fixed = FixedNow()) {
        ft = LocalTimeToFileTime(*fixed);
    } else {
        struct timespec ts {};
        ::clock_gettime(CLOCK_REALTIME, &ts);
        ft =
            static_cast<std::uint64_t>((ts.tv_sec + 11644473600LL) * 10000000LL + ts.tv_nsec / 100);
    }
    time_t secs = static_cast<time_t>(static_cast<std::int64_t>(ft / 10000000) - 11644473600LL);
    struct tm tm {};
    ::gmtime_r(&secs, &tm);
    SystemTime t;
    t.wYear = static_cast<std::uint16_t>(tm.tm_year + 1900);
    t.wMonth = static_cast<std::uint16_t>(tm.tm_mon + 1);
    t.wDayOfWeek = static_cast<std::uint16_t>(tm.tm_wday);
    t.wDay = static_cast<std::uint16_t>(tm.tm_mday);
    t.wHour = static_cast<std::uint16_t>(tm.tm_hour);
    t.wMinute = static_cast<std::uint16_t>(tm.tm_min);
    t.wSecond = static_cast<std::uint16_t>(tm.tm_sec);
    t.wMilliseconds = static_cast<std::uint16_t>(ft / 10000 % 1000);
    return t;
}

std::string SpoolPath(const PrinterObj& p)
{
    std::string configured = sim::Current().spoolFile;
    if (!configured.empty()) return configured;
    std::string name = ToUtf8(p.keyName);
    for (char& c : name)
        if (c == '/') c = '_';
    return StateDir() + "/spool/" + name + ".spl";
}

bool EndDoc(PrinterObj* p)
{
    if (p->spoolFd >= 0) ::close(p->spoolFd);
    p->spoolFd = -1;
    p->inDoc = p->inPage = false;
    std::uint32_t pages = p->pages;
    JobsFile().Update([&](RegTree& jobs) {
        RegKey* key = jobs.Find(JobKey(p->keyName, p->jobId));
        if (!key) return false;
        key->SetDword(u"Status", kJobStatusPrinted);
        key->SetDword(u"TotalPages", pages);
        key->SetDword(u"PagesPrinted", pages);
        return true;
    });
    return true;
}

}  // namespace

// ------------------------------------------------------------ printers

std::uint32_t OpenPrinter(std::u16string_view printerName, Handle* phPrinter)
{
    if (!phPrinter) return kErrInvalidParameter;
    std::u16string keyName = KeyNameOf(printerName);
    if (keyName.empty()) return kErrInvalidPrinterName;
    RegTree hklm = HiveFile(Hive::LocalMachine).Read();
    const RegKey* key = hklm.Find(PrinterKey(keyName));
    if (!key || !key->Find(u"Name")) return kErrInvalidPrinterName;
    PrinterObj* p = Printers().Get();
    p->name = key->GetSz(u"Name");
    p->keyName = key->path.substr(key->path.rfind(u'\\') + 1);  // as first spelt
    *phPrinter = p;
    return 0;
}

void ClosePrinter(Handle hPrinter)
{
    PrinterObj* p = FromHandle<PrinterObj>(hPrinter);
    if (!p) {
        SetLastError(kErrInvalidHandle);
        return;
    }
    if (p->inDoc) EndDoc(p);
    Printers().Put(p);
}

std::uint32_t GetPrinterData(Handle hPrinter, std::u16string_view name, std::uint32_t* type,
                             void* data, std::uint32_t cbData, std::uint32_t* cbNeeded)
{
    return GetPrinterDataEx(hPrinter, u"PrinterDriverData", name, type, data, cbData, cbNeeded);
}

std::uint32_t GetPrinterDataEx(Handle hPrinter, std::u16string_view key, std::u16string_view name,
                               std::uint32_t* type, void* data, std::uint32_t cbData,
                               std::uint32_t* cbNeeded)
{
    PrinterObj* p = FromHandle<PrinterObj>(hPrinter);
    if (!p) return kErrInvalidHandle;
    if (!cbNeeded || NormalizeKeyPath(key).empty()) return kErrInvalidParameter;
    RegTree hklm = HiveFile(Hive::LocalMachine).Read();
    const RegKey* k = hklm.Find(Join(PrinterKey(p->keyName), key));
    const RegValue* v = k ? k->Find(name) : nullptr;
    if (!v) return kErrFileNotFound;
    std::uint32_t size = static_cast<std::uint32_t>(v->data.size());
    *cbNeeded = size;
    if (type) *type = v->type;
    if (cbData < size) return kErrMoreData;
    if (size) {
        if (!data) return kErrInvalidParameter;
        std::memcpy(data, v->data.data(), size);
    }
    return 0;
}

std::uint32_t SetPrinterDataEx(Handle hPrinter, std::u16string_view key, std::u16string_view name,
                               std::uint32_t type, const void* data, std::uint32_t cbData)
{
    PrinterObj* p = FromHandle<PrinterObj>(hPrinter);
    if (!p) return kErrInvalidHandle;
    if (NormalizeKeyPath(key).empty() || (cbData && !data)) return kErrInvalidParameter;
    std::string bytes =
        cbData ? std::string(static_cast<const char*>(data), cbData) : std::string();
    std::u16string path = Join(PrinterKey(p->keyName), key);
    return HiveFile(Hive::LocalMachine).Update([&](RegTree& hklm) {
        hklm.Create(path).Set(name, type, std::move(bytes));
        return true;
    });
}

bool GetPrinterInfo(Handle hPrinter, PrinterInfo* info)
{
    PrinterObj* p = FromHandle<PrinterObj>(hPrinter);
    if (!p) return Fail(kErrInvalidHandle);
    if (!info) return Fail(kErrInvalidParameter);
    RegTree hklm = HiveFile(Hive::LocalMachine).Read();
    const RegKey* key = hklm.Find(PrinterKey(p->keyName));
    if (!key) return Fail(kErrInvalidPrinterName);
    PrinterInfo r;
    r.printerName = key->GetSz(u"Name");
    if (IsServerName(r.printerName)) {
        std::u16string server, name;
        SplitServerName(r.printerName, &server, &name);
        r.serverName = u"\\\\" + server;
    }
    r.shareName = key->GetSz(u"Share Name");
    r.portName = key->GetSz(u"Port");
    r.driverName = key->GetSz(u"Printer Driver");
    r.comment = key->GetSz(u"Description");
    r.location = key->GetSz(u"Location");
    r.dataType = key->GetSz(u"Datatype");
    r.attributes = key->GetDword(u"Attributes");
    r.priority = key->GetDword(u"Priority", 1);
    r.status = key->GetDword(u"Status");
    r.cJobs = static_cast<std::uint32_t>(JobsFile().Read().Children(p->keyName).size());
    *info = std::move(r);
    return true;
}

bool GetPrinterDriver(Handle hPrinter, DriverInfo* info)
{
    PrinterObj* p = FromHandle<PrinterObj>(hPrinter);
    if (!p) return Fail(kErrInvalidHandle);
    if (!info) return Fail(kErrInvalidParameter);
    RegTree hklm = HiveFile(Hive::LocalMachine).Read();
    const RegKey* printer = hklm.Find(PrinterKey(p->keyName));
    if (!printer) return Fail(kErrInvalidPrinterName);
    std::u16string driverName = printer->GetSz(u"Printer Driver");
    const RegKey* key = driverName.empty() ? nullptr : hklm.Find(Join(kDriversKey, driverName));
    if (!key) return Fail(kErrUnknownPrinterDriver);
    DriverInfo r;
    r.name = NormalizeKeyPath(key->path).substr(NormalizeKeyPath(kDriversKey).size() + 1);
    r.environment = kEnvironment;
    r.driverPath = DriverFileFromRegistry(key->GetSz(u"Driver"));
    r.dataFile = DriverFileFromRegistry(key->GetSz(u"Data File"));
    r.configFile = DriverFileFromRegistry(key->GetSz(u"Configuration File"));
    r.helpFile = DriverFileFromRegistry(key->GetSz(u"Help File"));
    r.defaultDataType = key->GetSz(u"Datatype");
    r.mfgName = key->GetSz(u"Manufacturer");
    r.provider = key->GetSz(u"Provider");
    r.version = key->GetDword(u"Version", 3);
    r.driverVersion = ParseVersion(key->GetSz(u"DriverVersion"));
    r.printerDriverAttributes = key->GetDword(u"PrinterDriverAttributes");
    *info = std::move(r);
    return true;
}

bool GetJob(Handle hPrinter, std::uint32_t jobId, JobInfo* info)
{
    PrinterObj* p = FromHandle<PrinterObj>(hPrinter);
    if (!p) return Fail(kErrInvalidHandle);
    if (!info) return Fail(kErrInvalidParameter);
    RegTree jobs = JobsFile().Read();
    const RegKey* key = jobs.Find(JobKey(p->keyName, jobId));
    if (!key) return Fail(kErrInvalidParameter);
    JobInfo r;
    r.jobId = jobId;
    r.printerName = key->GetSz(u"Printer");
    if (r.printerName.empty()) r.printerName = p->name;
    r.machineName = key->GetSz(u"Machine");
    r.userName = key->GetSz(u"User");
    r.document = key->GetSz(u"Document");
    r.dataType = key->GetSz(u"Datatype");
    r.status = key->GetDword(u"Status");
    r.priority = key->GetDword(u"Priority");
    r.position = key->GetDword(u"Position");
    r.totalPages = key->GetDword(u"TotalPages");
    r.pagesPrinted = key->GetDword(u"PagesPrinted");
    if (auto t = ParseTime(ToUtf8(key->GetSz(u"Submitted")))) r.submitted = *t;
    *info = std::move(r);
    return true;
}

bool EnumForms(Handle hPrinter, std::vector<FormInfo>* forms)
{
    if (!FromHandle<PrinterObj>(hPrinter)) return Fail(kErrInvalidHandle);
    if (!forms) return Fail(kErrInvalidParameter);
    forms->clear();
    for (const BuiltinForm& f : kBuiltinForms) {
        FormInfo form;
        form.flags = 1;
        form.name = f.name;
        form.cx = form.right = f.cx;
        form.cy = form.bottom = f.cy;
        forms->push_back(std::move(form));
    }
    RegTree hklm = HiveFile(Hive::LocalMachine).Read();
    if (const RegKey* key = hklm.Find(kFormsKey)) {
        for (const RegValue& v : key->values) {
            std::int32_t rec[8];
            if (v.data.size() != sizeof(rec)) continue;
            std::memcpy(rec, v.data.data(), sizeof(rec));
            FormInfo form;
            form.name = v.name;
            form.cx = rec[0];
            form.cy = rec[1];
            form.left = rec[2];
            form.top = rec[3];
            form.right = rec[4];
            form.bottom = rec[5];
            form.flags = static_cast<std::uint32_t>(rec[7]);
            forms->push_back(std::move(form));
        }
    }
    return true;
}

// ------------------------------------------------------------ sending documents

bool StartDocPrinter(Handle hPrinter, std::u16string_view docName, std::u16string_view dataType,
                     std::uint32_t* jobId)
{
    PrinterObj* p = FromHandle<PrinterObj>(hPrinter);
    if (!p) return Fail(kErrInvalidHandle);
    if (p->inDoc) return Fail(kErrInvalidPrinterState);
    std::string path = SpoolPath(*p);
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return Fail(kErrAccessDenied);
    JobInfo job;
    job.printerName = p->name;
    job.machineName = u"\\\\" + GetComputerName();
    job.userName = GetUserName();
    job.document = docName;
    job.dataType = dataType.empty() ? u"RAW" : std::u16string(dataType);
    job.status = kJobStatusSpooling;
    job.priority = 1;
    job.submitted = UtcNow();
    std::uint32_t id = 0;
    std::uint32_t rc = JobsFile().Update([&](RegTree& jobs) {
        id = NextJobId(jobs, p->keyName);
        job.position = static_cast<std::uint32_t>(jobs.Children(p->keyName).size()) + 1;
        StoreJob(jobs.Create(JobKey(p->keyName, id)), job);
        return true;
    });
    if (rc) {
        ::close(fd);
        return Fail(rc);
    }
    p->spoolFd = fd;
    p->inDoc = true;
    p->inPage = false;
    p->jobId = id;
    p->pages = 0;
    if (jobId) *jobId = id;
    return true;
}

bool StartPagePrinter(Handle hPrinter)
{
    PrinterObj* p = FromHandle<PrinterObj>(hPrinter);
    if (!p) return Fail(kErrInvalidHandle);
    if (!p->inDoc) return Fail(kErrSplNoStartDoc);
    p->inPage = true;
    ++p->pages;
    return true;
}

bool WritePrinter(Handle hPrinter, const void* data, std::uint32_t cbData, std::uint32_t* cbWritten)
{
    if (cbWritten) *cbWritten = 0;
    PrinterObj* p = FromHandle<PrinterObj>(hPrinter);
    if (!p) return Fail(kErrInvalidHandle);
    if (!p->inDoc) return Fail(kErrSplNoStartDoc);
    if (cbData && !data) return Fail(kErrInvalidParameter);
    std::uint32_t done = 0;
    while (done < cbData) {
        ssize_t n = ::write(p->spoolFd, static_cast<const char*>(data) + done, cbData - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (cbWritten) *cbWritten = done;
            return Fail(errno == ENOSPC ? kErrDiskFull : kErrWriteFault);
        }
        done += static_cast<std::uint32_t>(n);
    }
    if (cbWritten) *cbWritten = done;
    return true;
}

bool EndPagePrinter(Handle hPrinter)
{
    PrinterObj* p = FromHandle<PrinterObj>(hPrinter);
    if (!p) return Fail(kErrInvalidHandle);
    if (!p->inDoc) return Fail(kErrSplNoStartDoc);
    p->inPage = false;
    return true;
}

bool EndDocPrinter(Handle hPrinter)
{
    PrinterObj* p = FromHandle<PrinterObj>(hPrinter);
    if (!p) return Fail(kErrInvalidHandle);
    if (!p->inDoc) return Fail(kErrSplNoStartDoc);
    return EndDoc(p);
}

// ------------------------------------------------------------ setting up

namespace sim {

void AddPrinter(const PrinterSetup& printer)
{
    std::u16string keyName = KeyNameOf(printer.name);
    std::u16string computer = GetComputerName();
    std::u16string server = computer, shortName = printer.name;
    bool remote = IsServerName(printer.name);
    if (remote) SplitServerName(printer.name, &server, &shortName);
    std::u16string unc = u"\\\\" + server + u"\\" +
                         (printer.shareName.empty() || remote ? shortName : printer.shareName);
    std::uint32_t attributes = remote ? kAttributeNetwork : kAttributeLocal;
    if (!printer.shareName.empty()) attributes |= kAttributeShared;
    HiveFile(Hive::LocalMachine).Update([&](RegTree& hklm) {
        RegKey& key = hklm.Create(PrinterKey(keyName));
        key.SetSz(u"Name", printer.name);
        key.SetSz(u"Share Name", printer.shareName);
        key.SetSz(u"Port", printer.portName);
        key.SetSz(u"Printer Driver", printer.driverName);
        key.SetSz(u"Description", printer.comment);
        key.SetSz(u"Location", printer.location);
        key.SetSz(u"Print Processor", u"winprint");
        key.SetSz(u"Datatype", u"RAW");
        key.SetSz(u"Parameters", u"");
        key.SetDword(u"Attributes", attributes);
        key.SetDword(u"Priority", 1);
        key.SetDword(u"Default Priority", 0);
        key.SetDword(u"Status", 0);
        hklm.Create(Join(PrinterKey(keyName), u"PrinterDriverData"));
        RegKey& ds = hklm.Create(Join(PrinterKey(keyName), u"DsSpooler"));
        ds.SetSz(u"printerName", shortName);
        ds.SetSz(u"serverName", server);
        ds.SetSz(u"shortServerName", server);
        ds.SetSz(u"uNCName", unc);
        ds.SetSz(u"driverName", printer.driverName);
        ds.Set(u"portName", kRegMultiSz, MultiSz({printer.portName}));
        ds.SetSz(u"printShareName", printer.shareName);
        ds.SetSz(u"location", printer.location);
        ds.SetSz(u"description", printer.comment);
        return true;
    });
}

void AddDriver(const DriverSetup& driver)
{
    HiveFile(Hive::LocalMachine).Update([&](RegTree& hklm) {
        RegKey& key = hklm.Create(Join(kDriversKey, driver.name));
        key.SetSz(u"Driver", DriverFileToRegistry(driver.driverPath));
        key.SetSz(u"Data File", DriverFileToRegistry(driver.dataFile));
        key.SetSz(u"Configuration File", DriverFileToRegistry(driver.configFile));
        key.SetSz(u"Help File", DriverFileToRegistry(driver.helpFile));
        key.SetSz(u"Datatype", u"");
        key.Set(u"Dependent Files", kRegMultiSz, MultiSz({}));
        key.SetDword(u"Version", 3);
        key.SetSz(u"Manufacturer", driver.mfgName);
        key.SetSz(u"Provider", driver.provider);
        key.SetSz(u"DriverVersion", VersionText(driver.driverVersion));
        return true;
    });
}

void AddForm(const FormInfo& form)
{
    if (form.name.empty() || IsBuiltinForm(form.name)) return;
    HiveFile(Hive::LocalMachine).Update([&](RegTree& hklm) {
        RegKey& key = hklm.Create(kFormsKey);
        std::uint32_t index = static_cast<std::uint32_t>(key.values.size()) + 1;
        if (const RegValue* old = key.Find(form.name); old && old->data.size() == 32)
            std::memcpy(&index, old->data.data() + 24, 4);
        key.Set(form.name, kRegBinary, FormRecord(form, index));
        return true;
    });
}

void SetJob(std::u16string_view printerName, const JobInfo& job)
{
    std::u16string keyName = KeyNameOf(printerName);
    JobsFile().Update([&](RegTree& jobs) {
        JobInfo j = job;
        if (j.printerName.empty()) j.printerName = printerName;
        std::uint32_t id = j.jobId ? j.jobId : NextJobId(jobs, keyName);
        StoreJob(jobs.Create(JobKey(keyName, id)), j);
        return true;
    });
}

}  // namespace sim

}  // namespace kx::plat
