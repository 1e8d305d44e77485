#include "host/records.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <iterator>
#include <span>
#include <type_traits>

#include "host/jsonnode.h"
#include "settings/featuregroups.h"
#include "settings/models.h"

namespace kxhost {

static_assert(std::endian::native == std::endian::little,
              "records are written with the host's byte order");

namespace {

// One named field of a packed record: numbers (scalars or arrays) and
// 16-bit or 8-bit strings (single or arrays of strings).
struct Field {
    enum Kind { Number, Wide, Ansi };
    const char* name;
    std::size_t offset;
    Kind kind;
    std::size_t elemSize;  // bytes of one number or character
    bool isSigned;
    std::size_t count;  // numbers of an array / strings of a string array
    std::size_t chars;  // characters per string, terminator included
};

template <class T>
constexpr Field MakeField(const char* name, std::size_t offset)
{
    using E = std::remove_all_extents_t<T>;
    if constexpr (std::is_same_v<E, WCHAR> || std::is_same_v<E, char>) {
        constexpr Field::Kind kind = std::is_same_v<E, WCHAR> ? Field::Wide : Field::Ansi;
        if constexpr (std::rank_v<T> == 2)
            return {name, offset, kind, sizeof(E), false, std::extent_v<T, 0>, std::extent_v<T, 1>};
        else
            return {name, offset, kind, sizeof(E), false, 1, std::extent_v<T, 0>};
    } else {
        static_assert(std::is_integral_v<E>);
        return {name,
                offset,
                Field::Number,
                sizeof(E),
                std::is_signed_v<E>,
                std::rank_v<T> == 0 ? 1 : std::extent_v<T, 0>,
                0};
    }
}

#define KX_FIELD(Record, f) MakeField<decltype(Record::f)>(#f, offsetof(Record, f))
#define DM(f) KX_FIELD(KX_DEVMODE, f)
#define FD(f)                             \
    MakeField<decltype(KX_FIXEDDATA::f)>( \
        "FixedData." #f, offsetof(KX_DEVMODE, FixedData) + offsetof(KX_FIXEDDATA, f))

const Field kDevmodeFields[] = {
    DM(dwSize),
    DM(dwSignature),
    DM(dwVersion),
    DM(dwFlags),
    DM(dmPaperSize),
    DM(dmPaperLength),
    DM(dmPaperWidth),
    DM(dmOrientation),
    DM(dwLabelType),
    DM(dwGap),
    DM(dwMaterial),
    DM(wMaxMaterial),
    DM(sMultiColNumber),
    DM(dwMultiLabelWidth),
    DM(wCorrection),
    DM(dwMultiGapWidth),
    DM(wVersion),
    DM(dwAusrichtung),
    DM(wAltGroesse),
    DM(wKopieProSeite),
    DM(wSpecNumStyle),
    DM(dwAux1UseDirect),
    DM(dwAux2UseDirect),
    DM(lXOffset),
    DM(lYOffset),
    DM(dwContrast),
    DM(dwSpeed),
    DM(dwSpeed_Lumet_c),
    DM(wMemCard),
    DM(szPassword),
    DM(dwKommandoFontFlags),
    DM(wBarcodeDP),
    DM(wMemCard_Recall),
    DM(dwDrehung),
    DM(wAutoCollate),
    DM(wRotate90Steps),
    DM(wCodepage),
    DM(wTTFverwenden),
    DM(wBMPverwenden),
    DM(wTTFInvers),
    DM(wBMPInvers),
    DM(wTTFDesegm),
    DM(wCrystalActive),
    DM(wAnzahlKopien),
    DM(wFitToPage),
    DM(wBitmapFontZoom),
    DM(wBitmapFontAbstand),
    DM(wBitmapFontZoomY),
    DM(wKurzbefehlKorrektur),
    DM(wFarbband),
    DM(dwColorField1),
    DM(dwColorField2),
    DM(wColorContrast),
    DM(wNoColorOptimization),
    DM(wHorizontalCorrGap),
    DM(dwRGBColorOwn1),
    DM(wColorSeam),
    DM(wColorChannel),
    DM(wBrightnessContrast),
    DM(wEmpfindlichkeit),
    DM(dwWinkel),
    DM(wSplitPrnFile),
    DM(wGrafikFilter),
    DM(dwBrightnessAll),
    DM(dwBrightnessCurve),
    DM(wDruckmodus),
    DM(wPhotoFilter),
    DM(dwColorTolerance),
    DM(wChangeColorRibbon),
    DM(wCutterMode),
    DM(wReserved256),
    DM(wBelegOffset),
    DM(wBelegFontH1),
    DM(wEtikettenLSEnable),
    DM(PWMwertLS),
    DM(wLayoutDrehung),
    DM(w9999),
    DM(TearOffOffset),
    DM(wScanPosition),
    DM(wLabelChange),
    DM(wSkalierung),
    DM(wInfinite),
    DM(wMehrereSeiten),
    DM(wMehrereSeitenAbstand),
    DM(wMehrereSeitenAusrichtung),
    DM(wMehrereReihen),
    DM(wManuellesMultipage),
    DM(szMemCardRecallKennung),
    DM(szPrintOrder),
    DM(szTime),
    DM(szNumString),
    DM(szExtNumString),
    DM(szLinkString),
    DM(szAux1String),
    DM(szAux2String),
    DM(szIdentSign),
    DM(wPrinterFont),
    DM(wZoomX),
    DM(wZoomY),
    DM(szWindowsFontName),
    DM(wAnzahlFonts),
    FD(dwHeadWidthByte),
    FD(wMasterUnit),
    FD(wDurchlassbreite),
    FD(lMaxSizeX),
    FD(lMaxSizeY),
    FD(bQuality),
    FD(dwDocFeatures),
    FD(wMaxPrintableWidth),
    FD(wPrintHeadWidth),
    DM(wLegacyCutterInterval),
    DM(szDevice),
    DM(dispenser_dwMode),
    DM(dispenser_dwPhotocellLevel),
    DM(dwOption2000),
    DM(dispenser_lOffset),
    DM(dwOption2004),
    DM(dispenser_dwStartDelay),
    DM(cutter_dwMode),
    DM(cutter_dwInterval),
    DM(cutter_wIntervalReset),
    DM(cutter_lOffset),
    DM(cutter_lDoubleCut),
    DM(dwOption2024),
    DM(cutter_lCutWidth),
    DM(cutter_wControlMode),
    DM(cutter_wInterval),
    DM(scanner_dwMode),
    DM(scanner_dwPort),
    DM(dwOption2040),
    DM(scanner_dwNoReads),
    DM(dwOption2044),
    DM(scanner_dwFeedLabels),
    DM(scanner_dwOffset),
    DM(scanner_dwLength),
    DM(scanner_dwScanMode),
    DM(scanner_dwDelay),
    DM(scanner_dwTimeout),
    DM(applicator_dwMode),
    DM(applicator_dwApplicationMode),
    DM(applicator_dwDelayAirOn),
    DM(dwOption2084),
    DM(applicator_dwDelayAirOff),
    DM(dwOption2088),
    DM(applicator_dwVacuumControl),
    DM(dwOption2092),
    DM(applicator_dwBlowTime),
    DM(dwOption2096),
    DM(applicator_dwWaitPosition),
    DM(applicator_dwEnrolTime),
    DM(dwOption2104),
    DM(applicator_dwCleaningTime),
    DM(applicator_dwTimeoutHub),
    DM(dwOption2112),
    DM(applicator_dwPressureControl),
    DM(dwOption2116),
    DM(applicator_dwPressureTime),
    DM(applicator_dwVacuumDelay),
    DM(cutter_lAltOffset),
    DM(cutter_bAltOffset),
    DM(krm_dwServicePosition),
    DM(krm_dwBackSpeed),
    DM(krm_dwMode),
    DM(krm_dwCycle),
    DM(krm_dwPrintPosition),
    DM(krm_dwOffset),
    DM(krm_dwRibbonSpeed),
    DM(krmc_dwMode),
    DM(krmc_dwOffset),
    DM(krmc_dwOffsetZusatz),
    DM(krmc_dwCycle),
    DM(bellmark_dwSendMask),
    DM(bellmark_dwFirstLabelOffset),
    DM(bellmark_dwGap),
    DM(bellmark_dwLanes),
    DM(bellmark_dwWASRow),
    DM(bellmark_dwWASHost),
    DM(bellmark_dwWASOffset),
    DM(wFontID),
    DM(szInstalledName),
    DM(wPrinterFont2),
    DM(wZoomX2),
    DM(wZoomY2),
    DM(szWindowsFontName2),
    DM(wFontID2),
    DM(szInstalledName2),
    DM(szUserString),
    DM(szDate),
    DM(szMemCardVerz),
};

#define FT(f) KX_FIELD(DEVMODE_FTKN, f)
const Field kFtknFields[] = {FT(dwPrioritaet),  FT(wDruckmodus),  FT(wFarbband), FT(wFarbmodus),
                             FT(dwDocFeatures), FT(wPapierModus), FT(wCollate)};

// The interface settings by the element names of the "DataTransmission"
// settings, and the few switches the settings file does not carry by their
// field names.
struct InterfaceField {
    const char* name;
    Field field;
};
#define PI(xml, f)                      \
    InterfaceField                      \
    {                                   \
        xml, KX_FIELD(PRN_INTERFACE, f) \
    }
const InterfaceField kInterfaceFields[] = {
    PI("Compression", bCompress),
    PI("ExtendedProtocol", dwExtendedProtocol),
    PI("TransmitParameter", dwSendGerParam),
    PI("ClearPrintMemory", dwClearPrintMemory),
    PI("SohEtb", dwSohEtb),
    PI("PrnFileComment", dwPrnFileComment),
    PI("LogFileEnable", bLogFileEnable),
    PI("DebugFile", dwDebugFile),
    PI("QueueJob", dwQueueJob),
    PI("LogFileTimeStamp", bLogFileTimeStamp),
    PI("LogFilesCount", dwLogFilesCount),
    PI("TransmitLabelParameter", dwSendEtiParam),
    PI("OwnSoh", dwOwnSoh),
    PI("OwnEtb", dwOwnEtb),
    PI("EtbSohAutomatik", dwEtbSohAutomatik),
    PI("PrefixSuffix", dwPrefixSuffix),
    PI("DataMemory", dwDatenspeicher),
    PI("UseExternalFile", dwExternalFile),
    PI("LogFilePath", wcLogFilePath),
    PI("PreSufFilePath", wcPreSufFilePath),
    PI("ExternalFilePath", wcExternalFilePath),
    PI("SendJobName", dwSendJobName),
    PI("SendPrintStart", bSendPrintStart),
    PI("EnableBackup", bEnableBackup),
    PI("EnableCSV", bEnableCSV),
    PI("BackupFormat", dwBackupFormat),
    PI("BackupFilePath", wcBackupFilePath),
    PI("BackupPathCombine", dwBackupPathCombine),
    PI("BackupCSVKopf", dwBackupCSVKopf),
    PI("Language", dwSprache),
    PI("Lang_Mode", dwLangMode),
    PI("PrinterTime", dwPrinterTime),
    PI("PreviewFile", wPreviewFile),
    PI("PreviewWidth", wPreviewWidth),
    PI("PreviewHeight", wPreviewHeight),
    PI("PreviewRatio", wPreviewRatio),
    PI("dwJobIdent", dwJobIdent),
    PI("dwTrennseite", dwTrennseite),
    PI("bLeereSeiten", bLeereSeiten),
    PI("dwDebugImage", dwDebugImage),
    PI("dwQueueJob2", dwQueueJob2),
};

struct Bit {
    const char* name;
    DWORD bit;
};
#define FLAG(f) \
    Bit         \
    {           \
#f, f   \
    }
constexpr Bit kDevmodeFlags[] = {
    FLAG(PDMFLAG_ROTATED),
    FLAG(PDMFLAG_MIRRORED),
    FLAG(PDMFLAG_MULTICOL),
    FLAG(PDMFLAG_MULTICOL_OLD),
    FLAG(PDMFLAG_NO_SPLIT_CORRECTION),
    FLAG(PDMFLAG_FONTSPLITCORR),
    FLAG(PDMFLAG_OBJECTLIST_0x200),
    FLAG(PDMFLAG_BARCODE_DESEGMENT),
    FLAG(PDMFLAG_BARCODE_AUTOCORR),
    FLAG(PDMFLAG_BARCODE_FNC1_ENDE),
    FLAG(PDMFLAG_JOBDRUCK),
    FLAG(PDMFLAG_JOBDRUCK_SORTIERT),
    FLAG(PDMFLAG_KOPIEN_MANUELL),
    FLAG(PDMFLAG_INVERS),
    FLAG(PDMFLAG_DREHEN),
    FLAG(PDMFLAG_BARCODE_LINEEND),
    FLAG(PDMFLAG_LANDSCAPE_DISABLE),
    FLAG(PDMFLAG_BARCODE_DESEGMENT_IGNORE),
    FLAG(PDMFLAG_ENABLE_USERFORM),
};
constexpr Bit kDocFeatureFlags[] = {
    FLAG(DOC_FEATURE_ROTATE),     FLAG(DOC_FEATURE_MIRROR),  FLAG(DOC_FEATURE_ROTATE_STEPS),
    FLAG(DOC_FEATURE_COLORPRINT), FLAG(DOC_FEATURE_QUALITY),
};

std::string Names(std::span<const Bit> bits)
{
    std::string s;
    for (const Bit& b : bits) s += (s.empty() ? "" : ", ") + std::string(b.name);
    return s;
}

// A flags word: a number, or an array of flag names and numbers OR-ed.
std::int64_t FlagsValue(const Node& n, std::span<const Bit> names, std::int64_t hi)
{
    if (!n.IsArray()) return n.Int(0, hi);
    std::int64_t value = 0;
    for (const Node& item : n.Items()) {
        if (!item.IsString() || std::isdigit(static_cast<unsigned char>(item.Str()[0]))) {
            value |= item.Int(0, hi);
            continue;
        }
        std::string name = item.Str();
        auto it = std::find_if(names.begin(), names.end(), [&](const Bit& b) {
            std::string_view full(b.name);
            return full == name || full.substr(full.find('_') + 1) == name;
        });
        if (it == names.end())
            item.Fail("unknown flag \"" + name + "\" (known: " + Names(names) + ")");
        value |= it->bit;
    }
    return value;
}

void PutNumber(BYTE* base, const Field& f, std::size_t index, std::int64_t value)
{
    std::uint64_t u = static_cast<std::uint64_t>(value);
    std::memcpy(base + f.offset + index * f.elemSize, &u, f.elemSize);
}

std::int64_t NumberValue(const Node& n, const Field& f, std::span<const Bit> flagNames)
{
    int bits = static_cast<int>(f.elemSize * 8);
    std::int64_t lo = f.isSigned ? -(std::int64_t{1} << (bits - 1)) : 0;
    std::int64_t hi =
        f.isSigned ? (std::int64_t{1} << (bits - 1)) - 1 : (std::int64_t{1} << bits) - 1;
    if (!flagNames.empty()) return FlagsValue(n, flagNames, hi);
    return n.Int(lo, hi);
}

void PutString(BYTE* base, const Field& f, std::size_t index, const Node& n)
{
    BYTE* dst = base + f.offset + index * f.chars * f.elemSize;
    std::memset(dst, 0, f.chars * f.elemSize);
    if (f.kind == Field::Wide) {
        std::u16string s = n.WStr();
        if (s.size() >= f.chars)
            n.Fail("is longer than the field's " + std::to_string(f.chars - 1) + " characters");
        std::memcpy(dst, s.data(), s.size() * sizeof(char16_t));
    } else {
        std::string s = n.Str();
        for (unsigned char c : s)
            if (c >= 0x80) n.Fail("must be plain ASCII text");
        if (s.size() >= f.chars)
            n.Fail("is longer than the field's " + std::to_string(f.chars - 1) + " characters");
        std::memcpy(dst, s.data(), s.size());
    }
}

// Sets one field from its JSON value: a scalar, or an array filling the
// field's elements from the first (the rest keep their values).
void PutField(BYTE* base, const Field& f, const Node& n, std::span<const Bit> flagNames = {})
{
    bool isStringField = f.kind != Field::Number;
    if (f.count == 1) {
        if (isStringField)
            PutString(base, f, 0, n);
        else
            PutNumber(base, f, 0, NumberValue(n, f, flagNames));
        return;
    }
    std::vector<Node> items = n.Items();
    if (items.size() > f.count)
        n.Fail("has " + std::to_string(items.size()) + " entries, the field holds " +
               std::to_string(f.count));
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (isStringField)
            PutString(base, f, i, items[i]);
        else
            PutNumber(base, f, i, NumberValue(items[i], f, flagNames));
    }
}

template <std::size_t N>
const Field* FindField(const Field (&fields)[N], std::string_view name)
{
    for (const Field& f : fields)
        if (name == f.name) return &f;
    return nullptr;
}

template <std::size_t N>
std::string FieldNames(const Field (&fields)[N])
{
    std::string s;
    for (const Field& f : fields) s += (s.empty() ? "" : ", ") + std::string(f.name);
    return s;
}

}  // namespace

void ApplyInterface(const nlohmann::json& values, const std::string& where, PRN_INTERFACE* rec)
{
    Node root(values, where);
    for (const auto& [key, n] : root.Members()) {
        const std::string& name = key;
        auto it = std::find_if(std::begin(kInterfaceFields), std::end(kInterfaceFields),
                               [&](const InterfaceField& f) { return name == f.name; });
        if (it == std::end(kInterfaceFields)) {
            std::string known;
            for (const InterfaceField& f : kInterfaceFields)
                known += (known.empty() ? "" : ", ") + std::string(f.name);
            n.Fail("not an interface setting (known: " + known + ")");
        }
        const Field& f = it->field;
        BYTE* base = reinterpret_cast<BYTE*>(rec);
        if (f.kind == Field::Number && f.elemSize == 4) {
            // The interface words are written as unsigned or signed numbers
            // alike (a user-defined start character, a language code).
            PutNumber(base, f, 0, n.Int(INT32_MIN, UINT32_MAX));
        } else {
            PutField(base, f, n);
        }
    }
}

void ApplyFeatures(const nlohmann::json& values, const std::string& where,
                   DWORD (&features)[MAX_FEATURES])
{
    Node root(values, where);
    for (const auto& [groupName, group] : root.Members()) {
        const std::u16string name = Utf16(groupName);
        auto g = std::find_if(std::begin(kx::kFeatureGroups), std::end(kx::kFeatureGroups),
                              [&](const kx::FeatureGroup& fg) { return name == fg.pwSection; });
        if (g == std::end(kx::kFeatureGroups)) {
            std::string known;
            for (const kx::FeatureGroup& fg : kx::kFeatureGroups)
                known += (known.empty() ? "" : ", ") + Utf8(fg.pwSection);
            group.Fail("not a feature group (known: " + known + ")");
        }
        for (const auto& [element, n] : group.Members()) {
            const std::u16string elementName = Utf16(element);
            auto b = std::find_if(g->bits.begin(), g->bits.end(), [&](const kx::FeatureBit& bit) {
                return elementName == bit.pwElement;
            });
            if (b == g->bits.end()) {
                std::string known;
                for (const kx::FeatureBit& bit : g->bits)
                    known += (known.empty() ? "" : ", ") + Utf8(bit.pwElement);
                n.Fail("not an element of " + groupName + " (known: " + known + ")");
            }
            if (n.Bool())
                features[g->index] |= b->dwBit;
            else
                features[g->index] &= ~b->dwBit;
        }
    }
}

void ApplyDevmode(const nlohmann::json& values, const std::string& where, KX_DEVMODE* dm)
{
    Node root(values, where);
    BYTE* base = reinterpret_cast<BYTE*>(dm);
    auto put = [&](const std::string& name, const Node& n) {
        const Field* f = FindField(kDevmodeFields, name);
        if (!f) n.Fail("not a KX_DEVMODE field (known: " + FieldNames(kDevmodeFields) + ")");
        std::span<const Bit> flags;
        if (name == "dwFlags") flags = kDevmodeFlags;
        if (name == "FixedData.dwDocFeatures") flags = kDocFeatureFlags;
        PutField(base, *f, n, flags);
    };
    for (const auto& [key, n] : root.Members()) {
        if (key == "FixedData" && n.IsObject()) {
            for (const auto& [sub, sn] : n.Members()) put("FixedData." + sub, sn);
            continue;
        }
        put(key, n);
    }
}

void ApplyFtkn(const nlohmann::json& values, const std::string& where, DEVMODE_FTKN* ftkn)
{
    Node root(values, where);
    for (const auto& [key, n] : root.Members()) {
        const Field* f = FindField(kFtknFields, key);
        if (!f) n.Fail("not a DevmodeFtkn field (known: " + FieldNames(kFtknFields) + ")");
        PutField(reinterpret_cast<BYTE*>(ftkn), *f, n,
                 key == "dwDocFeatures" ? std::span<const Bit>(kDocFeatureFlags)
                                        : std::span<const Bit>());
    }
}

namespace {

constexpr DWORD kDmDefaultSource = 0x200;
constexpr DWORD kDmPrintQuality = 0x400;
constexpr DWORD kDmDuplex = 0x1000;
constexpr DWORD kDmYResolution = 0x2000;
constexpr DWORD kDmTTOption = 0x4000;
constexpr DWORD kDmFormName = 0x10000;

struct PublicField {
    Field field;
    DWORD dmBit;
};
#define PD(f, bit)                 \
    PublicField                    \
    {                              \
        KX_FIELD(DEVMODEW, f), bit \
    }
const PublicField kPublicFields[] = {
    PD(dmOrientation, DM_ORIENTATION),
    PD(dmPaperSize, DM_PAPERSIZE),
    PD(dmPaperLength, DM_PAPERLENGTH),
    PD(dmPaperWidth, DM_PAPERWIDTH),
    PD(dmScale, DM_SCALE),
    PD(dmCopies, DM_COPIES),
    PD(dmDefaultSource, kDmDefaultSource),
    PD(dmPrintQuality, kDmPrintQuality),
    PD(dmColor, DM_COLOR),
    PD(dmDuplex, kDmDuplex),
    PD(dmYResolution, kDmYResolution),
    PD(dmTTOption, kDmTTOption),
    PD(dmCollate, DM_COLLATE),
    PD(dmFormName, kDmFormName),
    PD(dmDeviceName, 0),
    PD(dmFields, 0),
};

}  // namespace

void ApplyPublicDevmode(const nlohmann::json& values, const std::string& where, DEVMODEW* dm)
{
    Node root(values, where);
    BYTE* base = reinterpret_cast<BYTE*>(dm);
    for (const auto& [key, n] : root.Members()) {
        const std::string& name = key;
        auto it = std::find_if(std::begin(kPublicFields), std::end(kPublicFields),
                               [&](const PublicField& p) { return name == p.field.name; });
        if (it == std::end(kPublicFields)) {
            std::string known;
            for (const PublicField& p : kPublicFields)
                known += (known.empty() ? "" : ", ") + std::string(p.field.name);
            n.Fail("not a public devmode field (known: " + known + ")");
        }
        if (key == "dmOrientation" && n.IsString()) {
            std::string s = n.Str();
            if (s != "portrait" && s != "landscape")
                n.Fail("must be 1, 2, \"portrait\" or \"landscape\"");
            dm->dmOrientation = s == "portrait" ? DMORIENT_PORTRAIT : DMORIENT_LANDSCAPE;
        } else if (key == "dmFields") {
            PutNumber(base, it->field, 0, n.Int(0, UINT32_MAX));
        } else {
            PutField(base, it->field, n);
        }
        dm->dmFields |= it->dmBit;
    }
}

bool NamesField(const nlohmann::json& values, const char* field)
{
    return values.is_object() && values.contains(field) && !values[field].is_null();
}

}  // namespace kxhost
