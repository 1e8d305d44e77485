#include "host/setup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "core/oempdev.h"
#include "core/regvalues.h"
#include "host/jsonnode.h"
#include "host/records.h"
#include "platform/platform.h"
#include "settings/devmodeconv.h"
#include "settings/gpd.h"
#include "settings/models.h"
#include "settings/registry.h"
#include "settings/xmlreader.h"
#include "settings/xmlsettings.h"

namespace kxhost {

namespace fs = std::filesystem;
namespace plat = kx::plat;

int DotsFromTenths(int tenths, int dpi)
{
    return static_cast<int>(std::lround(static_cast<double>(tenths) * dpi / 254.0));
}

int TenthsFromDots(int dots, int dpi)
{
    return static_cast<int>(std::lround(static_cast<double>(dots) * 254.0 / dpi));
}

namespace {

constexpr char16_t kDriverDir[] = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3";

// A file name made of the model name: the model tables recognise the model
// by the words of its GPD's bare name.
std::u16string FileNameOf(std::u16string_view model)
{
    std::u16string name(model);
    for (char16_t& c : name)
        if (c < 0x20 || std::u16string_view(u"<>:\"/\\|?*").find(c) != std::u16string_view::npos)
            c = u'_';
    return name;
}

void WriteDriveFile(std::u16string_view path, const std::vector<std::uint8_t>& bytes,
                    const std::string& what)
{
    // Create the folders on the way.
    for (std::size_t cut = path.find(u'\\', 3); cut != std::u16string_view::npos;
         cut = path.find(u'\\', cut + 1))
        plat::CreateDirectory(path.substr(0, cut));
    plat::Handle h = plat::CreateFile(path, plat::kGenericWrite, 0, plat::kCreateAlways);
    std::uint32_t written = 0;
    bool ok =
        h != plat::kInvalidHandle &&
        plat::WriteFile(h, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written) &&
        written == bytes.size();
    std::uint32_t err = plat::GetLastError();
    if (h != plat::kInvalidHandle) plat::CloseHandle(h);
    if (!ok)
        throw JobError(what + ": cannot write " + Utf8(path) + " (error " + std::to_string(err) +
                       ")");
}

std::vector<std::uint8_t> ReadHostFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    if (!in) throw JobError("cannot read " + p.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

Installation InstallPrinterFiles(const Job& job)
{
    Installation inst;
    inst.driverDir = kDriverDir;
    inst.pluginPath = inst.driverDir + u"\\KXDRVUNI-266.dll";
    std::u16string base = inst.driverDir + u"\\" + FileNameOf(job.model);
    inst.gpdPath = base + u".GPD";
    inst.xmlPath = base + u".XML";
    // Files of an earlier run of the same model must not stand in for
    // files this job does not give.
    plat::DeleteFile(inst.gpdPath);
    plat::DeleteFile(inst.xmlPath);
    if (!job.gpd.empty()) {
        WriteDriveFile(inst.gpdPath, ReadHostFile(job.gpd), "printer.gpd");
        inst.hasGpd = true;
    }
    if (!job.settings.empty()) {
        WriteDriveFile(inst.xmlPath, ReadHostFile(job.settings), "printer.settings");
        inst.hasXml = true;
    }
    for (const std::string& dir : job.directories) {
        std::u16string path = Utf16(dir);
        while (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) path.pop_back();
        for (std::size_t cut = path.find(u'\\', 3);; cut = path.find(u'\\', cut + 1)) {
            plat::CreateDirectory(path.substr(0, cut));
            if (cut == std::u16string::npos) break;
        }
        if (!plat::IsDirectory(path)) throw JobError("files: cannot create the folder " + dir);
    }
    for (const auto& [path, bytes] : job.files) WriteDriveFile(Utf16(path), bytes, "files." + path);
    return inst;
}

// ------------------------------------------------------------ settings

namespace {

// Whether the settings file has a "Printer" section with the model data.
bool ModelFromXml(OEM_PDEV* ctx, KX_DEVMODE* dm)
{
    KX_DEVMODE copy = *dm;
    if (!kx::GetFixedPrinterSettingsFromXML(ctx, &copy)) return false;
    dm->FixedData = copy.FixedData;
    return true;
}

void SetMarker(KX_DEVMODE* dm, const std::string& marker)
{
    WCHAR pw[KX_PASSWORD_CHARS] = {};
    if (marker == "current")
        std::memcpy(pw, DEVMODE_PASSWORT, sizeof(DEVMODE_PASSWORT));
    else if (marker == "alternative")
        std::memcpy(pw, DEVMODE_PASSWORT_ALT, sizeof(DEVMODE_PASSWORT_ALT));
    std::memcpy(dm->szPassword, pw, sizeof(pw));
}

// The saved devmode as the printer and the user keep it: the job's record
// with the marker, or with devmode_layout that record written in the
// generation's layout. *pNote then says what the plug-in's recognition finds
// in it (kxrender applies the same recognition to the stored bytes; it does
// not read the plug-in's trace).
std::vector<std::uint8_t> SavedRecord(const Job& job, const KX_DEVMODE& dm, std::string* pNote)
{
    KX_DEVMODE rec = dm;
    SetMarker(&rec, "current");
    const auto* p = reinterpret_cast<const std::uint8_t*>(&rec);
    const kx::DevmodeGeneration gen = kx::DevmodeGenerationFromName(job.devmodeLayout);
    if (job.devmodeLayout.empty() || gen == kx::DevmodeGeneration::Current) {
        if (!job.devmodeLayout.empty()) pNote->assign("current layout, 4620 bytes");
        return std::vector<std::uint8_t>(p, p + sizeof(rec));
    }
    std::vector<std::uint8_t> old = kx::WriteDevmodeLayout(rec, gen);
    KX_DEVMODE read{};  // as the plug-in finds it: the old bytes, zeros after
    std::memcpy(&read, old.data(), old.size());
    *pNote = job.devmodeLayout + " layout, " + std::to_string(old.size()) +
             " bytes, recognised as " +
             kx::DevmodeGenerationName(kx::RecogniseDevmodeGeneration(read));
    return old;
}

int FieldValue(const nlohmann::json& values, const char* field, int fallback)
{
    if (!NamesField(values, field)) return fallback;
    DEVMODEW scratch{};
    nlohmann::json one = {{field, values[field]}};
    ApplyPublicDevmode(one, "public_devmode", &scratch);
    if (std::string(field) == "dmPaperLength") return scratch.dmPaperLength;
    if (std::string(field) == "dmPaperWidth") return scratch.dmPaperWidth;
    return scratch.dmOrientation;
}

}  // namespace

JobSettings BuildSettings(const Job& job, const Installation& inst, const KX_DEVMODE& defaults,
                          std::optional<std::pair<int, int>> firstPage)
{
    JobSettings s;
    KX_DEVMODE& dm = s.devmode;
    dm = defaults;
    OEM_PDEV ctx{};

    // The settings file: interface, features, model data and, on request,
    // the devmode sections, as the settings user interface imports them.
    if (inst.hasXml && kx::OpenXML(inst.xmlPath) != kx::XML_FOUND)
        throw JobError("printer.settings: the settings file cannot be opened");
    kx::GetDataTransmissionParamFromXML(&ctx, &s.prnInterface);
    bool modelFromXml = false;
    if (inst.hasXml) {
        ULONG size = 0;
        kx::GetFeaturesFromXML(&ctx, &size, s.features);
        s.writeFeatures = true;
        modelFromXml = ModelFromXml(&ctx, &dm);
        if (job.xmlDevmode) {
            kx::GetMaterialMulticolFromXML(&ctx, &dm);
            kx::GetPrintParameterFromXML(&ctx, &dm);
            kx::GetLayoutSizeFromXML(&ctx, &dm);
            kx::GetColorPrintFromXML(&ctx, &dm);
            kx::GetPrintjobFromXML(&ctx, &dm);
            kx::GetPrintQualitySettingsFromXML(&ctx, &dm);
            kx::GetFontSettingsFromXML(&ctx, &dm);
        }
        kx::CloseXML();
    }
    DWORD gpdFeatures = 0;
    if (!modelFromXml && inst.hasGpd)
        kx::GetFixedPrinterSettingsFromGPD(&ctx, &dm, &gpdFeatures, inst.gpdPath.c_str());
    if (!job.interface.is_null()) ApplyInterface(job.interface, "interface", &s.prnInterface);
    if (!job.features.is_null()) {
        ApplyFeatures(job.features, "features", s.features);
        s.writeFeatures = true;
    }

    // The model: features from the model tables, the raster path from them
    // or from the printer description.
    s.model.docFeatures = kx::MatchModelRules(kx::DocFeatureRules(), job.model.c_str());
    bool quality = (s.model.docFeatures | gpdFeatures) & DOC_FEATURE_QUALITY;
    s.model.imagePath = job.path == RasterPath::Auto ? quality : job.path == RasterPath::Image;
    dm.FixedData.dwDocFeatures = s.model.docFeatures;
    dm.FixedData.bQuality = s.model.imagePath ? 1 : 0;
    // A record in the current layout, as the settings user interface saves it.
    dm.wVersion = static_cast<WORD>(KX_DEVMODE_VERSION);
    dm.w9999 = 0x9999;

    // The label size: the job's private values, else its public ones, else
    // the first page image.
    int jobOrientation = FieldValue(job.publicDevmode, "dmOrientation", DMORIENT_PORTRAIT);
    int dpi = dm.FixedData.wMasterUnit;
    auto fromImage = [&](bool length) -> int {
        if (!firstPage || dpi == 0) return 0;
        bool turned = jobOrientation == DMORIENT_LANDSCAPE;
        int dots = (length != turned) ? firstPage->second : firstPage->first;
        return TenthsFromDots(dots, dpi);
    };
    if (dm.dmPaperLength == 0)
        dm.dmPaperLength =
            static_cast<SHORT>(FieldValue(job.publicDevmode, "dmPaperLength", fromImage(true)));
    if (dm.dmPaperWidth == 0)
        dm.dmPaperWidth =
            static_cast<SHORT>(FieldValue(job.publicDevmode, "dmPaperWidth", fromImage(false)));
    if (dm.dmPaperSize == 0) dm.dmPaperSize = DMPAPER_USER;
    dm.dmOrientation = static_cast<SHORT>(jobOrientation);

    if (!job.devmode.is_null()) ApplyDevmode(job.devmode, "devmode", &dm);
    SetMarker(&dm, job.devmodeMarker);

    const KX_FIXEDDATA& fd = dm.FixedData;
    if (fd.wMasterUnit == 0 || fd.dwHeadWidthByte == 0 || fd.lMaxSizeX == 0 || fd.lMaxSizeY == 0)
        throw JobError("printer: no model data (head width " + std::to_string(fd.dwHeadWidthByte) +
                       " bytes, " + std::to_string(fd.wMasterUnit) + " dpi, largest page " +
                       std::to_string(fd.lMaxSizeX) + " x " + std::to_string(fd.lMaxSizeY) +
                       " dots): give a \"gpd\", a \"settings\" file with a Printer section, or "
                       "devmode.FixedData");
    s.model.dpi = fd.wMasterUnit;
    s.model.headDots = fd.dwHeadWidthByte * 8;
    s.model.maxX = fd.lMaxSizeX;
    s.model.maxY = fd.lMaxSizeY;
    if (dm.dmPaperLength <= 0 || dm.dmPaperWidth <= 0)
        throw JobError(
            "no label size: give devmode.dmPaperLength and dmPaperWidth (tenths of a "
            "millimetre), the same in public_devmode, or a page image");

    // The public devmode of the application, consistent with the private one.
    DEVMODEW& pub = s.publicDevmode;
    std::u16string name = job.printerName.substr(0, CCHDEVICENAME - 1);
    std::memcpy(pub.dmDeviceName, name.c_str(), name.size() * sizeof(char16_t));
    pub.dmSpecVersion = 0x0401;
    pub.dmDriverVersion = 0x0266;
    pub.dmSize = sizeof(DEVMODEW);
    pub.dmDriverExtra = static_cast<WORD>(KX_DEVMODE_SIZE);
    pub.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_SCALE |
                   DM_COPIES | DM_COLOR | DM_COLLATE;
    pub.dmOrientation = static_cast<SHORT>(jobOrientation);
    pub.dmPaperSize = DMPAPER_USER;
    pub.dmPaperLength = dm.dmPaperLength;
    pub.dmPaperWidth = dm.dmPaperWidth;
    pub.dmScale = 100;
    pub.dmCopies = 1;
    pub.dmPrintQuality = static_cast<SHORT>(dpi);
    pub.dmYResolution = static_cast<SHORT>(dpi);
    pub.dmColor = s.model.imagePath ? DMCOLOR_COLOR : DMCOLOR_MONOCHROME;
    pub.dmCollate = 0;
    if (!job.publicDevmode.is_null()) ApplyPublicDevmode(job.publicDevmode, "public_devmode", &pub);

    // The feature tokens the settings user interface keeps with the devmode.
    s.ftkn.wDruckmodus = dm.wDruckmodus;
    s.ftkn.wFarbband = dm.wFarbband;
    s.ftkn.dwDocFeatures = s.model.docFeatures;
    s.ftkn.wFarbmodus = (s.model.docFeatures & DOC_FEATURE_COLORPRINT) && dm.wDruckmodus ? 1 : 0;
    if (!job.devmodeFtkn.is_null()) ApplyFtkn(job.devmodeFtkn, "devmode_ftkn", &s.ftkn);
    return s;
}

// ------------------------------------------------------------ storing

namespace {

void Check(std::uint32_t rc, const std::u16string& what)
{
    if (rc != 0)
        throw JobError("cannot store " + Utf8(what) + " (error " + std::to_string(rc) + ")");
}

}  // namespace

std::string StoreSettings(const Job& job, const JobSettings& s, HANDLE hPrinter)
{
    const std::u16string userKey = kx::UserRegKey(job.printerName);
    const bool user = job.settingsStore != "machine";
    const bool machine = job.settingsStore != "user";
    auto put = [&](const char16_t* name, const void* data, std::size_t size, bool toUser,
                   bool toMachine) {
        auto cb = static_cast<std::uint32_t>(size);
        if (toUser)
            Check(plat::RegSetValue(plat::Hive::CurrentUser, userKey, name, plat::kRegBinary, data,
                                    cb),
                  name);
        else
            plat::RegDeleteValue(plat::Hive::CurrentUser, userKey, name);
        if (toMachine)
            Check(plat::SetPrinterDataEx(hPrinter, kx::reg::kPrinterDataKey, name, plat::kRegBinary,
                                         data, cb),
                  name);
        else
            plat::RegDeleteValue(plat::Hive::LocalMachine, kx::MachineRegKey(job.printerName),
                                 name);
    };

    put(kx::reg::kPrinterInterface, &s.prnInterface, sizeof(s.prnInterface), user, machine);
    std::uint16_t options[14] = {};
    std::copy(job.printerOptions.begin(), job.printerOptions.end(), options);
    put(kx::reg::kPrinterOptions, options, sizeof(options), user, machine);
    std::vector<std::uint8_t> bc1(kx::reg::kBarCodes1DSize), bc2(kx::reg::kBarCodes2DSize);
    if (job.barcodes1D) std::copy(job.barcodes1D->begin(), job.barcodes1D->end(), bc1.begin());
    if (job.barcodes2D) std::copy(job.barcodes2D->begin(), job.barcodes2D->end(), bc2.begin());
    if (!job.barcodeSettings.is_null())
        ApplyBarcodeSettings(job.barcodeSettings, "barcode_settings", bc1.data(), bc2.data());
    put(kx::reg::kBarCodes1D, bc1.data(), bc1.size(), user, machine);
    put(kx::reg::kBarCodes2D, bc2.data(), bc2.size(), user, machine);
    put(kx::reg::kDevmodeFtkn, &s.ftkn, sizeof(s.ftkn), user, machine);
    // The document settings files: five paths of 260 characters, the unused
    // slots empty; no value without any.
    std::vector<char16_t> docFiles(kx::reg::kXMLDocSetFilesChars);
    for (std::size_t i = 0; i < job.documentSettings.size(); ++i)
        std::copy(job.documentSettings[i].begin(), job.documentSettings[i].end(),
                  docFiles.begin() + static_cast<std::ptrdiff_t>(i * 260));
    const bool bDocFiles = !job.documentSettings.empty();
    put(kx::reg::kXMLDocSetFiles, docFiles.data(), docFiles.size() * sizeof(char16_t),
        bDocFiles && user, bDocFiles && machine);
    // The supported features are the printer's data only; without them the
    // plug-in reads the settings file.
    put(kx::reg::kSuppFeatures, s.features, sizeof(s.features), false, s.writeFeatures);
    Check(plat::SetPrinterDataEx(hPrinter, kx::reg::kPrinterDataKey, u"DriverName", plat::kRegSz,
                                 job.model.c_str(),
                                 static_cast<std::uint32_t>((job.model.size() + 1) * 2)),
          u"DriverName");

    // The saved devmodes: the printer's own and the user's whole DEVMODE
    // with the private record at its end.
    std::string layoutNote;
    if (job.storeDevmode) {
        std::vector<std::uint8_t> saved = SavedRecord(job, s.devmode, &layoutNote);
        put(kx::reg::kPrivateDevmode, saved.data(), saved.size(), false, true);
        std::vector<std::uint8_t> whole(sizeof(DEVMODEW) + saved.size());
        DEVMODEW pub = s.publicDevmode;
        pub.dmDriverExtra = static_cast<WORD>(saved.size());  // the record ends the DEVMODE
        std::memcpy(whole.data(), &pub, sizeof(DEVMODEW));
        std::memcpy(whole.data() + sizeof(DEVMODEW), saved.data(), saved.size());
        Check(plat::RegSetValue(plat::Hive::CurrentUser, kx::reg::kDevModes2Key, job.printerName,
                                plat::kRegBinary, whole.data(),
                                static_cast<std::uint32_t>(whole.size())),
              u"Printers\\DevModes2");
    } else {
        put(kx::reg::kPrivateDevmode, nullptr, 0, false, false);
        plat::RegDeleteValue(plat::Hive::CurrentUser, kx::reg::kDevModes2Key, job.printerName);
        plat::RegDeleteValue(plat::Hive::CurrentUser, kx::reg::kDevModePerUserKey, job.printerName);
    }

    // The job's raw values come last and win.
    for (const RawValue& v : job.userValues)
        Check(plat::RegSetValue(plat::Hive::CurrentUser, userKey, Utf16(v.name), v.type,
                                v.data.data(), static_cast<std::uint32_t>(v.data.size())),
              Utf16("registry.user." + v.name));
    for (const RawValue& v : job.machineValues)
        Check(plat::SetPrinterDataEx(hPrinter, kx::reg::kPrinterDataKey, Utf16(v.name), v.type,
                                     v.data.data(), static_cast<std::uint32_t>(v.data.size())),
              Utf16("registry.machine." + v.name));
    return layoutNote;
}

}  // namespace kxhost
