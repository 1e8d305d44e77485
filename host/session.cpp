#include "host/session.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "host/driveruni.h"
#include "host/gdi.h"
#include "host/image.h"
#include "host/jsonnode.h"
#include "host/module.h"
#include "host/text.h"
#include "platform/platform.h"

namespace kxhost {

namespace fs = std::filesystem;
namespace plat = kx::plat;

namespace {

using PFN_DllGetClassObject = HRESULT(KX_STDCALL*)(REFCLSID, REFIID, void**);
using PFN_DllCanUnloadNow = HRESULT(KX_STDCALL*)();

// The driver host's interface version and the size of its DRVENABLEDATA.
constexpr DWORD kOemInterfaceVersion = 0x10000;
// Optional methods the driver host asks about.
constexpr const char* kOptionalMethods[] = {
    "CommandCallback", "Compression",     "DownloadCharGlyph", "DownloadFontHeader",
    "FilterGraphics",  "HalftonePattern", "ImageProcessing",   "MemoryUsage",
    "OutputCharStr",   "SendFontCmd",     "TextOutAsBitmap",   "TTDownloadMethod",
    "TTYGetInfo",      "WritePrinter"};
// Bands per page the plug-in keeps track of.
constexpr int kMaxBandsPerPage = 150;
// The longest line the line path takes: its run-length record must fit the
// plug-in's line buffer.
constexpr std::size_t kMaxLineBytes = 380;
constexpr int kDefaultBandHeight = 256;
// GDI surface formats.
constexpr ULONG BMF_1BPP = 1, BMF_8BPP = 3, BMF_24BPP = 4;
constexpr ULONG DT_RASPRINTER = 2;

// The files under the folders where a run may write, with size and time.
std::map<fs::path, std::pair<std::uintmax_t, fs::file_time_type>> Snapshot(
    const std::vector<fs::path>& folders)
{
    std::map<fs::path, std::pair<std::uintmax_t, fs::file_time_type>> files;
    std::error_code ec;
    for (const fs::path& root : folders) {
        if (root.empty() || !fs::is_directory(root, ec)) continue;
        for (auto it = fs::recursive_directory_iterator(root, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_regular_file(ec)) continue;
            files[it->path()] = {it->file_size(ec), it->last_write_time(ec)};
        }
    }
    return files;
}

class Session {
public:
    Session(const Job& job, const RunOptions& options, RunReport& report)
        : job_(job), options_(options), r_(report), gdi_(GdiHost::Get())
    {
        gdi_.ResetRecords();
    }
    ~Session();

    void Run();

private:
    // Results: a failure is recorded and stops the job.
    bool Check(const std::string& what, HRESULT hr, std::optional<HRESULT> expect = {});
    void Fail(int exitCode, const std::string& message);
    void Log(const std::string& line)
    {
        if (options_.logCalls) r_.calls.push_back(line);
    }

    void LoadImages();
    const Image& ImageOf(const fs::path& p) { return *images_.at(p); }
    void CheckImages();

    bool LoadPlugin();
    bool Handshake();
    bool PrepareDevmodes();
    bool EnableDevice();
    void Teardown();

    bool CommandCallback(std::uint32_t id, std::vector<DWORD> params, const std::string& where,
                         std::optional<HRESULT> expect = {});
    bool StartDoc(DWORD jobId, const std::u16string& document, std::optional<HRESULT> expect = {});
    // afterBand runs after each band with the number of bands handed over
    // so far and the rows (columns) they reach; false stops the bands.
    using AfterBand = std::function<bool(unsigned bands, int reached)>;
    bool Bands(const Image& img, int bits, int bandHeight, bool blankBands, bool landscape,
               const std::string& where, std::optional<std::pair<int, int>> only = {},
               std::optional<HRESULT> expect = {}, const AfterBand& afterBand = {});
    bool Lines(const Image& img, const std::string& where, std::optional<HRESULT> expect = {});
    bool FilterGraphics(std::vector<std::uint8_t> line, const std::string& where,
                        std::optional<HRESULT> expect = {});
    bool Text(const TextItem& item, std::optional<BOOL> expect = {}, POINTL origin = {0, 0});
    std::string FontOf(const TextItem& item) const;
    std::string HandedBackReason(const TextItem& item) const;
    bool DisableDevice(const std::string& where, std::optional<HRESULT> expect = {});

    void RunPages();
    void RunEvents();

    int SurfaceBits() const;
    int BandHeight(int pageValue) const;

    const Job& job_;
    const RunOptions& options_;
    RunReport& r_;
    GdiHost& gdi_;

    std::map<fs::path, std::unique_ptr<Image>> images_;
    std::map<std::string, bool> implemented_;
    std::unique_ptr<Module> module_;
    PFN_DllCanUnloadNow canUnload_ = nullptr;
    IPrintOemUni* uni_ = nullptr;
    DriverUni helper_;
    DRVENABLEDATA hooks_{};
    PFN_DrvTextOut textOut_ = nullptr;
    PFN_DrvEscape escape_ = nullptr;
    PFN_DrvStartDoc startDoc_ = nullptr;
    bool driverEnabled_ = false;

    Installation inst_;
    JobSettings settings_;
    plat::Handle hPrinter_ = nullptr;
    std::optional<SpoolerJob> spoolerJob_;  // the queue's job the plug-in renders in
    std::vector<std::uint8_t> privateIn_, privateOut_;
    DEVMODEW publicIn_{}, publicOut_{};

    DEVOBJ devobj_{};
    std::u16string printerName_;
    GDIINFO gdiInfo_{};
    DEVINFO devInfo_{};
    Surface surface_;
    bool deviceEnabled_ = false;
    bool jobOpen_ = false;  // between a START_JOB that succeeded and END_JOB
    std::string disabledAt_;
    ULONG fontUniq_ = 1;
    bool stopped_ = false;
    bool tornDown_ = false;
};

Session::~Session()
{
    Teardown();
}

void Session::Fail(int exitCode, const std::string& message)
{
    r_.errors.push_back(message);
    if (r_.exitCode == kExitOk) r_.exitCode = exitCode;
    if (exitCode != kExitJob || !job_.continueOnError) stopped_ = true;
}

bool Session::Check(const std::string& what, HRESULT hr, std::optional<HRESULT> expect)
{
    Log(what + " -> " + HResultName(hr));
    if (expect) {
        if (hr == *expect) return true;
        Fail(kExitJob,
             what + " answered " + HResultName(hr) + ", expected " + HResultName(*expect));
        return false;
    }
    if (SUCCEEDED(hr)) return true;
    Fail(kExitJob, what + " failed: " + HResultName(hr));
    return false;
}

// ------------------------------------------------------------ before the plug-in

void Session::LoadImages()
{
    auto load = [&](const fs::path& p, const std::string& where) {
        if (p.empty() || images_.count(p)) return;
        try {
            images_[p] = std::make_unique<Image>(LoadImage(p));
        } catch (const ImageError& e) {
            throw JobError(where + ".image: " + e.what());
        }
    };
    for (const JobPage& p : job_.pages) load(p.image, p.where);
    if (job_.events)
        for (const JobEvent& e : *job_.events) load(e.image, e.where);
}

// Every page image must fit the model, either way round, as the plug-in's
// band capture requires.
void Session::CheckImages()
{
    const PrinterModel& m = settings_.model;
    auto check = [&](const fs::path& p, const std::string& where) {
        if (p.empty()) return;
        const Image& img = ImageOf(p);
        auto w = static_cast<std::uint32_t>(img.width), h = static_cast<std::uint32_t>(img.height);
        if ((w <= m.maxX && h <= m.maxY) || (w <= m.maxY && h <= m.maxX)) return;
        throw JobError(where + ".image: " + std::to_string(w) + " x " + std::to_string(h) +
                       " dots is larger than the model accepts (" + std::to_string(m.maxX) + " x " +
                       std::to_string(m.maxY) + " dots, either way round)");
    };
    for (const JobPage& p : job_.pages) {
        check(p.image, p.where);
        if (p.image.empty()) continue;
        const Image& img = ImageOf(p.image);
        if (!settings_.model.imagePath) {
            for (const TextItem& t : p.text)
                if (t.afterBand)
                    throw JobError(t.where +
                                   ".after_band: the page goes the line path, which has no bands");
            if (p.raster.bits && p.raster.bits != 1)
                throw JobError(p.where + ".bits: the line path delivers one-bit lines only");
            if ((img.width + 7) / 8 > static_cast<int>(kMaxLineBytes))
                throw JobError(p.where + ".image: lines of " + std::to_string((img.width + 7) / 8) +
                               " bytes are longer than the line path takes (" +
                               std::to_string(kMaxLineBytes) + ")");
            continue;
        }
        bool landscape = publicIn_.dmOrientation == DMORIENT_LANDSCAPE;
        int span = landscape ? img.width : img.height;
        int band = BandHeight(p.raster.bandHeight);
        int count = (span + band - 1) / band;
        if (count > kMaxBandsPerPage)
            throw JobError(p.where + ": " + std::to_string(count) + " bands of " +
                           std::to_string(band) + (landscape ? " columns" : " rows") +
                           " are more than the " + std::to_string(kMaxBandsPerPage) +
                           " a page can have; raise band_height");
        for (const TextItem& t : p.text)
            if (t.afterBand && *t.afterBand > static_cast<std::uint32_t>(count))
                throw JobError(t.where + ".after_band: the page has " + std::to_string(count) +
                               (count == 1 ? " band" : " bands") + " (got " +
                               std::to_string(*t.afterBand) + ")");
    }
    if (job_.events)
        for (const JobEvent& e : *job_.events) check(e.image, e.where);
}

int Session::SurfaceBits() const
{
    if (job_.surfaceBits) return job_.surfaceBits;
    if (!settings_.model.imagePath) return 1;
    for (const JobPage& p : job_.pages)
        if (p.raster.bits) return p.raster.bits;
    return 24;
}

int Session::BandHeight(int pageValue) const
{
    if (pageValue) return pageValue;
    return job_.bandHeight ? job_.bandHeight : kDefaultBandHeight;
}

// ------------------------------------------------------------ loading

bool Session::LoadPlugin()
{
    std::string error;
    module_ = LoadModule(options_.plugin, &error);
    if (!module_) {
        Fail(kExitModule,
             "cannot load the plug-in module " + options_.plugin.string() + ": " + error);
        return false;
    }
    auto getClassObject =
        reinterpret_cast<PFN_DllGetClassObject>(module_->Symbol("DllGetClassObject"));
    canUnload_ = reinterpret_cast<PFN_DllCanUnloadNow>(module_->Symbol("DllCanUnloadNow"));
    if (!getClassObject || !canUnload_) {
        Fail(kExitModule,
             "the plug-in module does not export DllGetClassObject and DllCanUnloadNow");
        return false;
    }
    IClassFactory* factory = nullptr;
    HRESULT hr =
        getClassObject(CLSID_OEMRENDER, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    Log("DllGetClassObject -> " + HResultName(hr));
    if (FAILED(hr) || !factory) {
        Fail(kExitModule, "DllGetClassObject failed: " + HResultName(hr));
        return false;
    }
    hr = factory->CreateInstance(nullptr, IID_IPrintOemUni, reinterpret_cast<void**>(&uni_));
    Log("IClassFactory::CreateInstance -> " + HResultName(hr));
    factory->Release();
    if (FAILED(hr) || !uni_) {
        uni_ = nullptr;
        Fail(kExitModule, "IClassFactory::CreateInstance failed: " + HResultName(hr));
        return false;
    }
    return true;
}

bool Session::Handshake()
{
    DWORD value = 0, needed = 0;
    if (!Check("GetInfo(OEMGI_GETSIGNATURE)",
               uni_->GetInfo(OEMGI_GETSIGNATURE, &value, sizeof(value), &needed)))
        return false;
    r_.signature.assign(reinterpret_cast<const char*>(&value), 4);
    if (!Check("GetInfo(OEMGI_GETVERSION)",
               uni_->GetInfo(OEMGI_GETVERSION, &value, sizeof(value), &needed)))
        return false;
    r_.version = value;
    if (!Check("PublishDriverInterface", uni_->PublishDriverInterface(&helper_))) return false;

    for (const char* name : kOptionalMethods) {
        std::string copy = name;
        HRESULT hr = uni_->GetImplementedMethod(copy.data());
        Log(std::string("GetImplementedMethod(") + name + ") -> " + HResultName(hr));
        implemented_[name] = hr == S_OK;
    }

    if (!Check("EnableDriver", uni_->EnableDriver(kOemInterfaceVersion, sizeof(hooks_), &hooks_)))
        return false;
    driverEnabled_ = true;
    for (ULONG i = 0; hooks_.pdrvfn && i < hooks_.c; ++i) {
        const DRVFN& f = hooks_.pdrvfn[i];
        if (f.iFunc == INDEX_DrvTextOut) textOut_ = reinterpret_cast<PFN_DrvTextOut>(f.pfn);
        if (f.iFunc == INDEX_DrvEscape) escape_ = reinterpret_cast<PFN_DrvEscape>(f.pfn);
        if (f.iFunc == INDEX_DrvStartDoc) startDoc_ = reinterpret_cast<PFN_DrvStartDoc>(f.pfn);
    }
    if (!textOut_ || !startDoc_ || !escape_) {
        Fail(kExitJob, "EnableDriver did not hook DrvTextOut, DrvEscape and DrvStartDoc");
        return false;
    }
    return true;
}

bool Session::PrepareDevmodes()
{
    OEMDMPARAM p{};
    p.cbSize = sizeof(p);
    p.hPrinter = hPrinter_;
    if (!Check("DevMode(OEMDM_SIZE)", uni_->DevMode(OEMDM_SIZE, &p))) return false;
    if (p.cbBufSize < sizeof(KX_DEVMODE) || p.cbBufSize > 0x100000) {
        Fail(kExitJob, "DevMode(OEMDM_SIZE) asked for " + std::to_string(p.cbBufSize) +
                           " bytes; the private devmode has " + std::to_string(sizeof(KX_DEVMODE)));
        return false;
    }
    std::vector<std::uint8_t> defaults(p.cbBufSize, 0);
    p.pOEMDMOut = defaults.data();
    if (!Check("DevMode(OEMDM_DEFAULT)", uni_->DevMode(OEMDM_DEFAULT, &p))) return false;
    KX_DEVMODE def;
    std::memcpy(&def, defaults.data(), sizeof(def));

    // What the settings user interface would have stored for this printer.
    std::optional<std::pair<int, int>> firstPage;
    for (const JobPage& page : job_.pages)
        if (!page.image.empty()) {
            firstPage = std::pair{ImageOf(page.image).width, ImageOf(page.image).height};
            break;
        }
    if (job_.events)
        for (const JobEvent& e : *job_.events)
            if (!firstPage && !e.image.empty())
                firstPage = std::pair{ImageOf(e.image).width, ImageOf(e.image).height};
    settings_ = BuildSettings(job_, inst_, def, firstPage);
    r_.model = settings_.model;
    r_.devmodeLayout = StoreSettings(job_, settings_, hPrinter_);
    r_.settingsWritten = true;

    publicIn_ = settings_.publicDevmode;
    publicOut_ = publicIn_;
    privateIn_.assign(p.cbBufSize, 0);
    std::memcpy(privateIn_.data(), &settings_.devmode, sizeof(KX_DEVMODE));
    privateOut_ = privateIn_;
    CheckImages();

    OEMDMPARAM m{};
    m.cbSize = sizeof(m);
    m.hPrinter = hPrinter_;
    m.pPublicDMIn = &publicIn_;
    m.pPublicDMOut = &publicOut_;
    m.pOEMDMIn = privateIn_.data();
    m.pOEMDMOut = privateOut_.data();
    m.cbBufSize = p.cbBufSize;
    return Check("DevMode(OEMDM_MERGE)", uni_->DevMode(OEMDM_MERGE, &m));
}

bool Session::EnableDevice()
{
    r_.surfaceBits = SurfaceBits();
    const int dpi = settings_.model.dpi;
    const LONG width = DotsFromTenths(publicOut_.dmPaperWidth, dpi);
    const LONG length = DotsFromTenths(publicOut_.dmPaperLength, dpi);
    const bool landscape = publicOut_.dmOrientation == DMORIENT_LANDSCAPE;

    devobj_.dwSize = sizeof(DEVOBJ);
    devobj_.hEngine = &surface_;
    devobj_.hPrinter = hPrinter_;
    devobj_.pPublicDM = &publicOut_;
    devobj_.pOEMDM = privateOut_.data();

    gdiInfo_.ulVersion = 0x5000;
    gdiInfo_.ulTechnology = DT_RASPRINTER;
    gdiInfo_.ulHorzSize =
        static_cast<ULONG>(landscape ? publicOut_.dmPaperLength : publicOut_.dmPaperWidth) / 10;
    gdiInfo_.ulVertSize =
        static_cast<ULONG>(landscape ? publicOut_.dmPaperWidth : publicOut_.dmPaperLength) / 10;
    gdiInfo_.ulHorzRes = static_cast<ULONG>(landscape ? length : width);
    gdiInfo_.ulVertRes = static_cast<ULONG>(landscape ? width : length);
    gdiInfo_.cBitsPixel = static_cast<ULONG>(r_.surfaceBits);
    gdiInfo_.cPlanes = 1;
    gdiInfo_.ulNumColors = r_.surfaceBits == 1 ? 2 : r_.surfaceBits == 8 ? 256 : 0xFFFFFFFFu;
    gdiInfo_.ulLogPixelsX = gdiInfo_.ulLogPixelsY = static_cast<ULONG>(dpi);
    gdiInfo_.ulAspectX = gdiInfo_.ulAspectY = static_cast<ULONG>(dpi);
    gdiInfo_.ulDevicePelsDPI = static_cast<ULONG>(dpi);
    gdiInfo_.szlPhysSize = {static_cast<LONG>(gdiInfo_.ulHorzRes),
                            static_cast<LONG>(gdiInfo_.ulVertRes)};
    devInfo_.cFonts = job_.deviceFonts;
    devInfo_.iDitherFormat = r_.surfaceBits == 1   ? BMF_1BPP
                             : r_.surfaceBits == 8 ? BMF_8BPP
                                                   : BMF_24BPP;

    surface_.bits = r_.surfaceBits;
    surface_.dpi = dpi;
    surface_.page = {0, 0, static_cast<LONG>(gdiInfo_.ulHorzRes),
                     static_cast<LONG>(gdiInfo_.ulVertRes)};
    surface_.so.dhpdev = &devobj_;
    surface_.so.sizlBitmap = {surface_.page.right, surface_.page.bottom};
    surface_.so.iBitmapFormat = devInfo_.iDitherFormat;

    printerName_ = job_.printerName;
    PDEVOEM pdevOEM = nullptr;
    if (!Check("EnablePDEV",
               uni_->EnablePDEV(&devobj_, printerName_.data(), 0, nullptr, sizeof(gdiInfo_),
                                &gdiInfo_, sizeof(devInfo_), &devInfo_, gdi_.HostDdi(), &pdevOEM)))
        return false;
    if (!pdevOEM) {
        Fail(kExitJob, "EnablePDEV created no device state");
        return false;
    }
    devobj_.pdevOEM = pdevOEM;
    deviceEnabled_ = true;
    return true;
}

void Session::Teardown()
{
    if (tornDown_) return;
    tornDown_ = true;
    if (deviceEnabled_) DisableDevice("DisablePDEV");
    if (uni_) {
        if (driverEnabled_) Check("DisableDriver", uni_->DisableDriver());
        driverEnabled_ = false;
        ULONG left = uni_->Release();
        Log("Release -> " + std::to_string(left));
        if (left != 0)
            r_.warnings.push_back("the plug-in object still has " + std::to_string(left) +
                                  " references after its last Release");
        uni_ = nullptr;
    }
    if (canUnload_) {
        HRESULT hr = canUnload_();
        Log("DllCanUnloadNow -> " + HResultName(hr));
        if (hr != S_OK) r_.warnings.push_back("DllCanUnloadNow answers " + HResultName(hr));
        canUnload_ = nullptr;
    }
    if (helper_.References() != 1)
        r_.warnings.push_back("the plug-in still holds " +
                              std::to_string(helper_.References() - 1) +
                              " references to the helper interface");
    if (gdi_.LivePalettes())
        r_.warnings.push_back(std::to_string(gdi_.LivePalettes()) + " palette(s) not deleted");
    for (const std::string& p : gdi_.problems) r_.warnings.push_back(p);
    gdi_.problems.clear();
    if (hPrinter_) plat::ClosePrinter(hPrinter_);
    hPrinter_ = nullptr;
    r_.output = helper_.stream;
    r_.spoolWrites = helper_.writes;
    r_.failedWrites = helper_.failedWrites;
    r_.aborts = helper_.aborts.size();
}

// ------------------------------------------------------------ calls

bool Session::CommandCallback(std::uint32_t id, std::vector<DWORD> params, const std::string& where,
                              std::optional<HRESULT> expect)
{
    INT result = 0;
    std::string what = CallbackName(id);
    if (!params.empty()) {
        what += "(";
        for (std::size_t i = 0; i < params.size(); ++i)
            what += (i ? ", " : "") + std::to_string(params[i]);
        what += ")";
    }
    if (!where.empty()) what = where + ": " + what;
    HRESULT hr = uni_->CommandCallback(&devobj_, id, static_cast<DWORD>(params.size()),
                                       params.empty() ? nullptr : params.data(), &result);
    if (id == 1 && SUCCEEDED(hr)) jobOpen_ = true;
    if (id == 6) jobOpen_ = false;
    if (id == 3 && SUCCEEDED(hr)) ++r_.pagesStarted;
    if (id == 4 && SUCCEEDED(hr)) ++r_.pagesEnded;
    return Check(what, hr, expect);
}

bool Session::StartDoc(DWORD jobId, const std::u16string& document, std::optional<HRESULT> expect)
{
    std::u16string doc = document;
    BOOL ok = startDoc_(&surface_.so, doc.data(), jobId);
    std::string what = "DrvStartDoc(job " + std::to_string(jobId) + ")";
    Log(what + " -> " + (ok ? "TRUE" : "FALSE"));
    if (expect) {
        if ((ok ? 1 : 0) == *expect) return true;
        Fail(kExitJob, what + " answered " + (ok ? "TRUE" : "FALSE"));
        return false;
    }
    if (!ok) Fail(kExitJob, what + " failed (the plug-in's OEMStartDoc answered FALSE)");
    return ok;
}

bool Session::Bands(const Image& img, int bits, int bandHeight, bool blankBands, bool landscape,
                    const std::string& where, std::optional<std::pair<int, int>> only,
                    std::optional<HRESULT> expect, const AfterBand& afterBand)
{
    unsigned handed = 0;
    const int span = landscape ? img.width : img.height;
    const int dpi = settings_.model.dpi;
    // The band's colour table as the driver host passes it.
    std::vector<RGBQUAD> table;
    if (bits == 1) table = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    if (bits == 8)
        for (int i = 0; i < 256; ++i)
            table.push_back({static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0});

    int first = only ? only->first : 0;
    int end = only ? std::min(span, only->first + only->second) : span;
    int index = first / std::max(1, bandHeight);
    for (int at = first; at < end; at += bandHeight, ++index) {
        int size = std::min(bandHeight, end - at);
        int x0 = landscape ? at : 0, y0 = landscape ? 0 : at;
        int w = landscape ? size : img.width, h = landscape ? img.height : size;
        std::vector<std::uint8_t> band = DibBand(img, x0, y0, w, h, bits);
        BITMAPINFOHEADER hdr{};
        hdr.biSize = sizeof(hdr);
        hdr.biWidth = w;
        hdr.biHeight = h;
        hdr.biPlanes = 1;
        hdr.biBitCount = static_cast<WORD>(bits);
        hdr.biCompression = BI_RGB;
        hdr.biSizeImage = static_cast<DWORD>(band.size());
        hdr.biXPelsPerMeter = hdr.biYPelsPerMeter = static_cast<LONG>((dpi * 10000 + 127) / 254);
        hdr.biClrUsed = static_cast<DWORD>(table.size());
        IPPARAMS ip{};
        ip.dwSize = sizeof(ip);
        ip.ptOffset = {x0, y0};
        ip.bBanding = span > bandHeight;
        ip.bBlankBand = blankBands && IsBlankBand(band);
        PBYTE result = nullptr;
        HRESULT hr =
            uni_->ImageProcessing(&devobj_, band.data(), &hdr,
                                  table.empty() ? nullptr : reinterpret_cast<PBYTE>(table.data()),
                                  job_.ipCallbackId, &ip, &result);
        ++r_.bands;
        if (ip.bBlankBand) ++r_.blankBands;
        std::string what = where + ": ImageProcessing band " + std::to_string(index) + " (" +
                           (landscape ? "columns " : "rows ") + std::to_string(at) + "-" +
                           std::to_string(at + size - 1) + (ip.bBlankBand ? ", blank" : "") + ")";
        if (!Check(what, hr, expect)) return false;
        if (SUCCEEDED(hr) && !result)
            r_.warnings.push_back(what + " handed the band back to the host");
        if (afterBand && !afterBand(++handed, at + size)) return false;
    }
    return true;
}

bool Session::FilterGraphics(std::vector<std::uint8_t> line, const std::string& where,
                             std::optional<HRESULT> expect)
{
    HRESULT hr = uni_->FilterGraphics(&devobj_, line.empty() ? nullptr : line.data(),
                                      static_cast<DWORD>(line.size()));
    ++r_.lines;
    return Check(where + ": FilterGraphics (" + std::to_string(line.size()) + " bytes)", hr,
                 expect);
}

// The line path: blank rows are skipped by moving down, each printed row
// is trimmed of white at both ends and sent from its first black byte.
bool Session::Lines(const Image& img, const std::string& where, std::optional<HRESULT> expect)
{
    int cursorY = 0;
    for (int y = 0; y < img.height; ++y) {
        std::vector<std::uint8_t> line = PrinterLine(img, y);
        auto firstInk =
            std::find_if(line.begin(), line.end(), [](std::uint8_t b) { return b != 0; });
        if (firstInk == line.end()) continue;
        auto lastInk =
            std::find_if(line.rbegin(), line.rend(), [](std::uint8_t b) { return b != 0; });
        auto first = static_cast<std::size_t>(firstInk - line.begin());
        auto last = line.size() - 1 - static_cast<std::size_t>(lastInk - line.rbegin());
        std::string at = where + " row " + std::to_string(y);
        if (job_.lineYAbsolute) {
            if (y != cursorY && !CommandCallback(10, {static_cast<DWORD>(y)}, at)) return false;
        } else if (y > cursorY) {
            if (!CommandCallback(12, {static_cast<DWORD>(y - cursorY)}, at)) return false;
        }
        if (!CommandCallback(13, {static_cast<DWORD>(first * 8)}, at)) return false;
        if (!FilterGraphics({line.begin() + first, line.begin() + last + 1}, at, expect))
            return false;
        cursorY = y + 1;  // the printer advances one line per line record
    }
    return true;
}

// The font of a text item as the summary names it.
std::string Session::FontOf(const TextItem& item) const
{
    if (item.deviceFont)
        return "device font " + std::to_string(item.deviceFont) +
               (item.face.empty() ? "" : " \"" + Utf8(item.face) + "\"");
    return "TrueType face \"" + Utf8(item.face) + "\"";
}

// Why a text came back, as far as the host can tell: the plug-in does not
// say, so the reason is read from the item's font and the devmode switches
// that send a whole font class to the raster.
std::string Session::HandedBackReason(const TextItem& item) const
{
    // Outside a job the plug-in has no per-job records and hands back all.
    if (!jobOpen_) return "outside a job";
    KX_DEVMODE dm{};
    std::memcpy(&dm, privateOut_.data(), std::min(privateOut_.size(), sizeof(dm)));
    if (item.deviceFont) {
        if (dm.wBMPverwenden)
            return "device fonts are drawn as graphics (wBMPverwenden " +
                   std::to_string(dm.wBMPverwenden) + ")";
        return "not taken as a printer font field";
    }
    if (!HasValidMarker(dm)) return "the devmode has no valid marker";
    if (dm.wTTFverwenden)
        return "vector fonts are off (wTTFverwenden " + std::to_string(dm.wTTFverwenden) +
               ") and it is no barcode font the printer has";
    return "a Windows face, a vector font not taken, or a barcode font the barcode settings do not "
           "mark as supported";
}

bool Session::Text(const TextItem& item, std::optional<BOOL> expect, POINTL origin)
{
    TextCall call(item, surface_, fontUniq_++, origin);
    gdi_.currentText = item.where;
    std::size_t before = gdi_.handedBack.size();
    BOOL ok = call.Draw(textOut_);
    gdi_.currentText.clear();
    ++r_.texts;
    bool handedBack = gdi_.handedBack.size() > before;
    std::string named = item.where + ": \"" + Utf8(item.text) + "\" (" + FontOf(item);
    if (handedBack) {
        ++r_.textsHandedBack;
        r_.handedBack.push_back(named + ": " + HandedBackReason(item) + ")");
    } else if (ok) {
        ++r_.textsTaken;
        r_.taken.push_back(named + ")");
    }
    std::string what = item.where + ": TextOut \"" + Utf8(item.text) + "\"";
    if (origin.x || origin.y)
        what += " (band origin " + std::to_string(origin.x) + "," + std::to_string(origin.y) + ")";
    Log(what + " -> " + (ok ? "TRUE" : "FALSE") + (handedBack ? " (handed back)" : ""));
    if (expect) {
        if ((ok ? 1 : 0) == *expect) return true;
        Fail(kExitJob, what + " answered " + (ok ? "TRUE" : "FALSE"));
        return false;
    }
    if (!ok) Fail(kExitJob, what + " failed (OEMTextOut answered FALSE)");
    return ok;
}

bool Session::DisableDevice(const std::string& where, std::optional<HRESULT> expect)
{
    deviceEnabled_ = false;
    jobOpen_ = false;
    disabledAt_ = where;
    HRESULT hr = uni_->DisablePDEV(&devobj_);
    return Check(where, hr, expect);
}

// ------------------------------------------------------------ the job

void Session::RunPages()
{
    const int dpi = settings_.model.dpi;
    const bool landscape = publicOut_.dmOrientation == DMORIENT_LANDSCAPE;
    // With on_error "continue" the job goes on after a failed call, to show
    // everything the plug-in is handed.
    auto go = [&](bool ok) { return ok || job_.continueOnError; };
    if (!go(StartDoc(spoolerJob_->Map(job_.jobId), job_.document))) return;
    if (!go(CommandCallback(1, {}, ""))) return;
    if (!go(CommandCallback(2, {}, ""))) return;
    if (!go(CommandCallback(landscape ? 9 : 8, {}, ""))) return;
    if (!go(CommandCallback(20,
                            {static_cast<DWORD>(DotsFromTenths(publicOut_.dmPaperLength, dpi)),
                             static_cast<DWORD>(DotsFromTenths(publicOut_.dmPaperWidth, dpi)), 0},
                            "")))
        return;
    if (!go(CommandCallback(7, {static_cast<DWORD>(std::max<SHORT>(1, publicOut_.dmCopies))}, "")))
        return;
    for (const JobPage& page : job_.pages) {
        if (!go(CommandCallback(3, {}, page.where))) return;
        // Texts placed between the bands go as the driver host draws into a
        // band: after the bands before it, relative to where the band begins.
        // A text without a place goes before the first band, in page
        // coordinates, as on a page the host renders in one piece.
        auto textsAfter = [&](unsigned bands, int reached) {
            POINTL origin = landscape ? POINTL{reached, 0} : POINTL{0, reached};
            for (const TextItem& t : page.text)
                if (t.afterBand.value_or(0) == bands && !go(Text(t, {}, origin))) return false;
            return true;
        };
        if (!textsAfter(0, 0)) return;
        if (!page.image.empty()) {
            const Image& img = ImageOf(page.image);
            bool ok = settings_.model.imagePath
                          ? Bands(img, page.raster.bits ? page.raster.bits : r_.surfaceBits,
                                  BandHeight(page.raster.bandHeight), page.raster.blankBands,
                                  landscape, page.where, {}, {}, textsAfter)
                          : Lines(img, page.where);
            if (!go(ok) || stopped_) return;
        }
        if (!go(CommandCallback(4, {}, page.where))) return;
    }
    if (!go(CommandCallback(5, {}, ""))) return;
    CommandCallback(6, {}, "");
}

void Session::RunEvents()
{
    for (const JobEvent& e : *job_.events) {
        if (stopped_) return;
        if (!deviceEnabled_ && e.kind != EventKind::Fault) {
            Fail(kExitJob, e.where + ": the device was disabled by " + disabledAt_);
            return;
        }
        switch (e.kind) {
            case EventKind::StartDoc:
                StartDoc(spoolerJob_->Map(e.jobId), e.document, e.expect);
                break;
            case EventKind::CommandCallback:
                CommandCallback(e.callbackId, e.params, e.where, e.expect);
                break;
            case EventKind::ImageProcessing: {
                const Image& img = ImageOf(e.image);
                int bits = e.raster.bits ? e.raster.bits : r_.surfaceBits;
                Bands(img, bits, BandHeight(e.raster.bandHeight), e.raster.blankBands, e.landscape,
                      e.where, e.band, e.expect);
                break;
            }
            case EventKind::Lines:
                Lines(ImageOf(e.image), e.where, e.expect);
                break;
            case EventKind::FilterGraphics:
                FilterGraphics(e.line, e.where, e.expect);
                break;
            case EventKind::TextOut:
                Text(*e.text, e.expect ? std::optional<BOOL>(*e.expect) : std::nullopt);
                break;
            case EventKind::Escape: {
                ULONG r = escape_(&surface_.so, e.escape, 0, nullptr, 0, nullptr);
                Log(e.where + ": DrvEscape(" + std::to_string(e.escape) + ") -> " +
                    std::to_string(r));
                break;
            }
            case EventKind::DisablePDEV:
                DisableDevice(e.where + ": DisablePDEV", e.expect);
                break;
            case EventKind::Fault: {
                SpoolFault f = e.fault;
                f.write += helper_.writes;  // counted from the next write
                helper_.AddFault(f);
                Log(e.where + ": spooler write " + std::to_string(f.write) +
                    " will fail with error " + std::to_string(f.error));
                break;
            }
        }
    }
}

void Session::Run()
{
    for (const SpoolFault& f : job_.faults) helper_.AddFault(f);
    LoadImages();
    std::uint32_t pages = static_cast<std::uint32_t>(job_.pages.size());
    if (job_.events)
        pages = static_cast<std::uint32_t>(
            std::count_if(job_.events->begin(), job_.events->end(), [](const JobEvent& e) {
                return e.kind == EventKind::CommandCallback && e.callbackId == 3;
            }));
    r_.pagesInJob = pages;
    inst_ = InstallPrinter(job_, pages);
    const std::vector<fs::path> watched = WatchedFolders(job_);
    auto before = Snapshot(watched);

    if (std::uint32_t rc = plat::OpenPrinter(job_.printerName, &hPrinter_); rc != 0)
        throw JobError("printer.name: cannot open the printer (error " + std::to_string(rc) + ")");
    spoolerJob_.emplace(job_);
    if (!LoadPlugin()) return;
    if (!Handshake()) return;
    if (!PrepareDevmodes()) return;
    // The settings decide the raster path and with it the methods the job needs.
    for (const char* m :
         {"CommandCallback", settings_.model.imagePath ? "ImageProcessing" : "FilterGraphics"}) {
        if (!implemented_[m]) {
            Fail(kExitJob,
                 std::string("the plug-in does not implement ") + m + ", which this job needs");
            return;
        }
    }
    if (!EnableDevice()) return;
    if (job_.events)
        RunEvents();
    else
        RunPages();
    Teardown();

    const fs::path driverDir = HostPath(inst_.driverDir);
    for (const auto& [path, stamp] : Snapshot(watched)) {
        if (path.parent_path() == driverDir) continue;  // the installation itself
        auto it = before.find(path);
        if (it != before.end() && it->second == stamp) continue;
        r_.files.push_back({WindowsName(path), stamp.first});
    }
}

}  // namespace

RunReport RunJob(const Job& job, const RunOptions& options)
{
    RunReport report;
    try {
        ConfigureEnvironment(job, options.env);
        Session session(job, options, report);
        session.Run();
    } catch (const JobError& e) {
        report.errors.insert(report.errors.begin(), e.what());
        report.exitCode = kExitJobFile;
    } catch (const std::exception& e) {
        // Out of memory or a file system failure of the host itself.
        report.errors.insert(report.errors.begin(), std::string("the run failed: ") + e.what());
        report.exitCode = kExitJob;
    }
    return report;
}

}  // namespace kxhost
