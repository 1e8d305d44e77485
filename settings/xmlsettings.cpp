// The XML settings reader families. Each reader runs its lookups in the order
// of its table: a lookup without rewind resumes at the line in which the one
// before it found its root, and names are matched as substrings, so the
// order of the lookups is part of the file format.
#include "settings/xmlsettings.h"

#include <cstdlib>
#include <iterator>

#include "core/format.h"
#include "core/trace.h"
#include "core/units.h"
#include "platform/platform.h"
#include "settings/featuregroups.h"

namespace kx {

namespace {

constexpr bool kRewind = true;
constexpr bool kResume = false;

// The lookups of one reader run under one root. It remembers how far the
// lookups came so that the reader can report whether its root was there.
class Lookup {
public:
    Lookup(OEM_PDEV* ctx, const WCHAR* root) : ctx_(ctx), root_(root) {}

    void SetRoot(const WCHAR* root) { root_ = root; }

    // Looks up a value; true when it was found. pwElement null: the value
    // stands on the section's line.
    bool Get(const WCHAR* pwSection, const WCHAR* pwElement, bool bRewind)
    {
        int r = ReadXML(ctx_, root_, pwSection, pwElement, value_, bRewind ? TRUE : FALSE);
        if (r == XML_FOUND || r == XML_NO_SECTION || r == XML_NO_ELEMENT)
            rootFound_ = true;
        else if (r == XML_NO_ROOT)
            rootMissing_ = true;
        else
            other_ = r;
        return r == XML_FOUND;
    }

    // The element's number, or `missing` when it is not there. Passing the
    // field's current value as `missing` leaves the field unchanged.
    std::int32_t Num(const WCHAR* pwSection, const WCHAR* pwElement, bool bRewind,
                     std::int64_t missing)
    {
        if (Get(pwSection, pwElement, bRewind)) return XmlToInt(value_);
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(missing));
    }

    // A switch: when the element is there its value 1 sets the bit and any
    // other value clears it; a missing element leaves the bit unchanged.
    DWORD Flag(const WCHAR* pwSection, const WCHAR* pwElement, bool bRewind, DWORD dwFlags,
               DWORD dwBit)
    {
        if (!Get(pwSection, pwElement, bRewind)) return dwFlags;
        return XmlToInt(value_) == 1 ? (dwFlags | dwBit) : (dwFlags & ~dwBit);
    }

    // A text into a field of cch characters (with the terminator); a missing
    // element leaves the field unchanged.
    void Text(const WCHAR* pwSection, const WCHAR* pwElement, bool bRewind, WCHAR* pszField,
              std::size_t cch)
    {
        // Texts (names, labels) are cut to their field; the paths come in
        // through ReadPath, which refuses a cut one.
        if (Get(pwSection, pwElement, bRewind)) (void)Copy(pszField, cch, value_);
    }

    const WCHAR* Value() const { return value_; }

    // 5 when the root was found, 6 when it was not, else the code of the
    // failed open (0) or of the missing context (1).
    int Result() const
    {
        if (rootFound_) return XML_FOUND;
        if (rootMissing_) return XML_NO_ROOT;
        return other_;
    }

private:
    OEM_PDEV* ctx_;
    const WCHAR* root_;
    WCHAR value_[XML_VALUE_CHARS] = {};
    bool rootFound_ = false;
    bool rootMissing_ = false;
    int other_ = XML_NO_CONTEXT;
};

// a / b rounded half away from zero (a >= 0, b > 0).
std::uint64_t RoundDiv(std::uint64_t a, std::uint64_t b)
{
    return (2 * a + b) / (2 * b);
}

// ------------------------------------------------------------ features

// ------------------------------------------------------------ data transmission

// A path element: kept only when it names an existing file or directory.
void ReadPath(Lookup& r, const WCHAR* pwSection, const WCHAR* pwElement, WCHAR* pszPath)
{
    pszPath[0] = 0;
    if (!r.Get(pwSection, pwElement, kResume)) return;
    if (r.Value()[0] != 0 && plat::PathFileExists(r.Value())) {
        if (SUCCEEDED(Copy(pszPath, PRN_PATH_CHARS, r.Value()))) return;
        pszPath[0] = 0;
    }
    Trace(
        u"ERROR UNI(XMLSettings):  GetDataTransmissionParamFromXML() %s <%s> nicht vorhanden "
        u"\r\n",
        pwElement, r.Value());
}

// ------------------------------------------------------------ fonts

// "Ident_Sign": its first character, except the characters that the
// placeholders themselves use; "§" when there is none.
void ReadIdentSign(Lookup& r, KX_DEVMODE* pdm)
{
    WCHAR c = 0;
    if (r.Get(u"Variables", u"Ident_Sign", kResume)) c = r.Value()[0];
    if (c == 0 || c == u'@' || c == u'!' || c == u'#') c = u'\u00A7';
    pdm->szIdentSign[0] = c;
    pdm->szIdentSign[1] = 0;
}

// One font slot of either table; pszSuffix is "" for slots 0..7 and "_2"
// for slots 8..15 (numbered from 0 again).
struct FontSlot {
    WCHAR* pszWindowsFontName;
    WORD wPrinterFont;
    WORD wZoomX;
    WORD wZoomY;
    WORD wFontID;
    WCHAR* pszInstalledName;
};

void ReadFontSlot(Lookup& r, int i, const char16_t* pszSuffix, FontSlot& slot)
{
    WCHAR name[64];
    auto element = [&](const char16_t* base) {
        // The element names are short constants; a cut one finds no element.
        (void)Format(name, u"%s_%d%s", base, i, pszSuffix);
        return name;
    };
    constexpr std::size_t kNameChars = 33;
    r.Text(u"Unicode", element(u"Original_FontName"), kRewind, slot.pszWindowsFontName, kNameChars);
    slot.wPrinterFont =
        static_cast<WORD>(r.Num(u"Unicode", element(u"PrinterFont"), kRewind, slot.wPrinterFont));
    slot.wZoomX = static_cast<WORD>(r.Num(u"Unicode", element(u"ZoomX"), kRewind, 100));
    slot.wZoomY = static_cast<WORD>(r.Num(u"Unicode", element(u"ZoomY"), kRewind, 100));
    slot.wFontID = static_cast<WORD>(r.Num(u"Unicode", element(u"FontID"), kRewind, 100));
    // A missing installed name leaves the slot's name as it was.
    r.Text(u"Unicode", element(u"Installed_Name"), kRewind, slot.pszInstalledName, kNameChars);
}

}  // namespace

// ------------------------------------------------------------ features

int GetFeaturesFromXML(OEM_PDEV* ctx, ULONG* pulSize, DWORD* pFeatures)
{
    if (!ctx || !pFeatures) return XML_NO_CONTEXT;
    for (int i = 0; i < MAX_FEATURES; ++i) pFeatures[i] = 0;
    Lookup r(ctx, u"Features");
    for (const FeatureGroup& group : kFeatureGroups) {
        // Without the group's first element the printer has none of it.
        if (!r.Get(group.pwSection, group.bits[0].pwElement, kRewind)) continue;
        DWORD dwWord = XmlToInt(r.Value()) == 1 ? group.bits[0].dwBit : 0;
        for (std::size_t b = 1; b < group.bits.size(); ++b) {
            const FeatureBit& bit = group.bits[b];
            if (r.Get(group.pwSection, bit.pwElement, kResume)) {
                if (XmlToInt(r.Value()) == 1) dwWord |= bit.dwBit;
            } else if (bit.bSetWhenMissing) {
                dwWord |= bit.dwBit;
            }
        }
        pFeatures[group.index] = dwWord;
        Trace(u"UNI(XMLSettings):  GetFeaturesFromXML() %s: 0x%x \r\n", group.pwSection, dwWord);
    }
    if (pulSize) *pulSize = FEATURE_LIST_SIZE;
    return r.Result();
}

// ------------------------------------------------------------ data transmission

int GetDataTransmissionParamFromXML(OEM_PDEV* ctx, PRN_INTERFACE* pRecord)
{
    if (!ctx || !pRecord) return XML_NO_CONTEXT;
    PRN_INTERFACE& p = *pRecord;
    Lookup r(ctx, u"DataTransmission");

    const WCHAR* s = u"<Backup>";
    p.bEnableBackup = r.Num(s, u"EnableBackup", kRewind, 0);
    p.bEnableCSV = r.Num(s, u"EnableCSV", kResume, 0);
    p.dwBackupFormat = r.Num(s, u"BackupFormat", kResume, 0);
    p.dwBackupPathCombine = r.Num(s, u"BackupPathCombine", kResume, 0);
    p.dwBackupCSVKopf = r.Num(s, u"BackupCSVKopf", kResume, 0);
    ReadPath(r, s, u"BackupFilePath", p.wcBackupFilePath);

    s = u"<Protocol>";
    p.bCompress = r.Num(s, u"Compression", kRewind, 1);
    p.dwExtendedProtocol = r.Num(s, u"ExtendedProtocol", kResume, 1);
    p.dwClearPrintMemory = r.Num(s, u"ClearPrintMemory", kResume, 0);
    p.dwSohEtb = r.Num(s, u"SohEtb", kRewind, 0);
    p.dwOwnSoh = r.Num(s, u"OwnSoh", kResume, 0);
    p.dwOwnEtb = r.Num(s, u"OwnEtb", kResume, 0);
    p.dwEtbSohAutomatik = r.Num(s, u"EtbSohAutomatik", kResume, 0);
    p.dwDatenspeicher = r.Num(s, u"DataMemory", kResume, 4);
    p.dwQueueJob = r.Num(s, u"QueueJob", kResume, 0);
    p.dwPrinterTime = r.Num(s, u"PrinterTime", kResume, 0);

    s = u"<Files>";
    p.dwPrnFileComment = r.Num(s, u"PrnFileComment", kRewind, 0);
    p.bLogFileEnable = r.Num(s, u"LogFileEnable", kResume, 0);
    p.bLogFileTimeStamp = r.Num(s, u"LogFileTimeStamp", kResume, 1);
    p.dwLogFilesCount = r.Num(s, u"LogFilesCount", kResume, 50);
    p.dwDebugFile = r.Num(s, u"DebugFile", kResume, 0);
    ReadPath(r, s, u"LogFilePath", p.wcLogFilePath);
    p.wPreviewFile = static_cast<WORD>(r.Num(s, u"PreviewFile", kResume, 0));
    p.wPreviewWidth = static_cast<WORD>(r.Num(s, u"PreviewWidth", kResume, 500));
    p.wPreviewHeight = static_cast<WORD>(r.Num(s, u"PreviewHeight", kResume, 400));
    p.wPreviewRatio = static_cast<WORD>(r.Num(s, u"PreviewRatio", kResume, 0));

    s = u"<Parameter>";
    p.dwSendGerParam = r.Num(s, u"TransmitParameter", kRewind, 0);
    p.dwSendEtiParam = r.Num(s, u"TransmitLabelParameter", kResume, 0);
    p.dwPrefixSuffix = r.Num(s, u"PrefixSuffix", kRewind, 0);
    ReadPath(r, s, u"PreSufFilePath", p.wcPreSufFilePath);
    p.dwExternalFile = r.Num(s, u"UseExternalFile", kResume, 0);
    ReadPath(r, s, u"ExternalFilePath", p.wcExternalFilePath);
    p.dwSendJobName = r.Num(s, u"SendJobName", kResume, 0);
    p.bSendPrintStart = r.Num(s, u"SendPrintStart", kResume, 0);
    p.dwLangMode = r.Num(s, u"Lang_Mode", kResume, p.dwLangMode);
    p.dwSprache = r.Num(s, u"Language", kResume, p.dwSprache);

    Trace(
        u"UNI(XMLSettings):  GetDataTransmissionParamFromXML() bCompress: %u, dwSohEtb: %u, "
        u"dwPrnFileComment: %u, bLogFileEnable: %u, dwDebugFile: %u \r\n",
        p.bCompress, p.dwSohEtb, p.dwPrnFileComment, p.bLogFileEnable, p.dwDebugFile);
    return r.Result();
}

// ------------------------------------------------------------ device settings

int GetShiftoptimFromXML(OEM_PDEV* ctx, SHIFT_OPTIM_PARAM* pRecord)
{
    if (!ctx || !pRecord) return XML_NO_CONTEXT;
    *pRecord = SHIFT_OPTIM_PARAM{};
    Lookup r(ctx, u"DeviceSettings");
    const WCHAR* s = u"<Shiftopt";
    pRecord->lRCorrection = r.Num(s, u"RCorrection", kRewind, -1);
    pRecord->lXShift = r.Num(s, u"XShift", kResume, 0);
    pRecord->lYShift = r.Num(s, u"YShift", kResume, 0);
    pRecord->lLanes = r.Num(s, u"Lanes", kResume, 1);
    pRecord->lRShift = r.Num(s, u"RShift", kResume, 0);
    return r.Result();
}

int GetPhotocellFromXML(OEM_PDEV* ctx, PHOTOCELL_PARAM* pRecord)
{
    if (!ctx || !pRecord) return XML_NO_CONTEXT;
    *pRecord = PHOTOCELL_PARAM{};
    Lookup r(ctx, u"DeviceSettings");
    const WCHAR* s = u"<Photocell";
    pRecord->dwPhotocellType = r.Num(s, u"PhotocellType", kRewind, 0);
    pRecord->dwRibbonControl = r.Num(s, u"RibbonControl", kResume, 1);
    pRecord->wRibbonSave =
        static_cast<WORD>(r.Num(s, u"RibbonSave", kRewind, pRecord->wRibbonSave));
    return r.Result();
}

// ------------------------------------------------------------ devmode readers

int GetMaterialMulticolFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode)
{
    if (!ctx || !pKX_Devmode) return XML_NO_CONTEXT;
    KX_DEVMODE& dm = *pKX_Devmode;
    Lookup r(ctx, u"MaterialMulticol");

    const WCHAR* s = u"MatDlg";
    dm.dwLabelType = r.Num(s, u"LabelType", kRewind, dm.dwLabelType);
    dm.dwGap = r.Num(s, u"Gap", kResume, dm.dwGap);
    dm.dwMaterial = static_cast<WORD>(r.Num(s, u"MatSelect", kResume, dm.dwMaterial));
    dm.wMaxMaterial = static_cast<WORD>(r.Num(s, u"MaxMaterial", kResume, dm.wMaxMaterial));
    dm.wBelegOffset = static_cast<WORD>(r.Num(s, u"DocumentOffset", kResume, 5));
    dm.wBelegFontH1 = static_cast<WORD>(r.Num(s, u"DocumentFontH1", kResume, 10));

    s = u"Multicol";
    dm.dwFlags = r.Flag(s, u"Mode", kRewind, dm.dwFlags, PDMFLAG_MULTICOL);
    dm.dwMultiLabelWidth =
        static_cast<WORD>(r.Num(s, u"MultiLabelWidth", kResume, dm.dwMultiLabelWidth));
    dm.dwMultiGapWidth = static_cast<WORD>(r.Num(s, u"MultiGapWidth", kResume, dm.dwMultiGapWidth));
    dm.sMultiColNumber =
        static_cast<WORD>(r.Num(s, u"MultiColNumber", kResume, dm.sMultiColNumber));
    return r.Result();
}

int GetPrintParameterFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode)
{
    if (!ctx || !pKX_Devmode) return XML_NO_CONTEXT;
    KX_DEVMODE& dm = *pKX_Devmode;
    // The print parameters have their own root in newer files; older files
    // keep them in the layout root. Whichever root was tried last serves
    // all further lookups, even when neither has a "Contrast".
    Lookup r(ctx, u"PrintParameter");
    const WCHAR* s = u"Print";
    bool found = r.Get(s, u"Contrast", kRewind);
    if (!found) {
        r.SetRoot(u"LayoutSize");
        found = r.Get(s, u"Contrast", kRewind);
    }
    dm.dwContrast = static_cast<WORD>(found ? XmlToInt(r.Value()) : 100);
    dm.dwSpeed = static_cast<WORD>(r.Num(s, u"Speed", kResume, 100));
    dm.lYOffset = r.Num(s, u"YOffset", kResume, 0);
    dm.lXOffset = r.Num(s, u"XOffset", kResume, 0);
    dm.dwSpeed_Lumet_c = static_cast<WORD>(r.Num(s, u"dwSpeed_Lumet_c", kResume, 100));
    dm.wMemCard = static_cast<WORD>(r.Num(s, u"MemCard", kResume, 0));
    // The tear-off offset keeps only the low 16 bits of the number.
    if (r.Get(s, u"TearOffOffset", kRewind))
        dm.TearOffOffset = static_cast<WORD>(XmlToInt(r.Value()));
    dm.wScanPosition = static_cast<WORD>(r.Num(s, u"ScanPosition", kRewind, dm.wScanPosition));
    dm.wLabelChange = static_cast<WORD>(r.Num(s, u"LabelChange", kResume, dm.wLabelChange));
    Trace(u"UNI(XMLSettings):  GetPrintParameterFromXML() dwContrast: %u, dwSpeed: %u \r\n",
          dm.dwContrast, dm.dwSpeed);
    return r.Result();
}

int GetLayoutSizeFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode)
{
    if (!ctx || !pKX_Devmode) return XML_NO_CONTEXT;
    KX_DEVMODE& dm = *pKX_Devmode;
    Lookup r(ctx, u"LayoutSize");

    const WCHAR* s = u"Layout";
    dm.dwFlags = r.Flag(s, u"Rotate", kRewind, dm.dwFlags, PDMFLAG_ROTATED);
    dm.dwFlags = r.Flag(s, u"Mirror", kResume, dm.dwFlags, PDMFLAG_MIRRORED);
    dm.dwAusrichtung = static_cast<WORD>(r.Num(s, u"Alignment", kResume, dm.dwAusrichtung));
    dm.dmOrientation = static_cast<SHORT>(r.Num(s, u"Orientation", kResume, dm.dmOrientation));
    dm.dwFlags = r.Flag(s, u"RotateAny", kResume, dm.dwFlags, PDMFLAG_DREHEN);
    dm.dwWinkel = static_cast<WORD>(r.Num(s, u"RotateValue", kResume, dm.dwWinkel));
    dm.dwFlags = r.Flag(s, u"Inverse", kResume, dm.dwFlags, PDMFLAG_INVERS);
    dm.wSkalierung = static_cast<WORD>(r.Num(s, u"Scaling", kResume, 100));
    dm.wFitToPage = static_cast<WORD>(r.Num(s, u"FitToPage", kResume, dm.wFitToPage));
    dm.wMehrereSeiten = static_cast<WORD>(r.Num(s, u"DrvMultipage", kResume, dm.wMehrereSeiten));
    dm.wMehrereSeitenAbstand =
        static_cast<WORD>(r.Num(s, u"DrvMultipageGap", kResume, dm.wMehrereSeitenAbstand));
    dm.wMehrereSeitenAusrichtung =
        static_cast<WORD>(r.Num(s, u"DrvMultipageAlign", kResume, dm.wMehrereSeitenAusrichtung));
    dm.wMehrereReihen = static_cast<WORD>(r.Num(s, u"DrvMultirow", kResume, dm.wMehrereReihen));
    dm.wRotate90Steps = static_cast<WORD>(r.Num(s, u"Rotate90Steps", kResume, dm.wRotate90Steps));

    s = u"Size";
    dm.dmPaperSize = r.Num(s, u"PaperSize", kRewind, 0);
    dm.dmPaperLength = static_cast<SHORT>(r.Num(s, u"PaperLength", kResume, 50));
    dm.dmPaperWidth = static_cast<SHORT>(r.Num(s, u"PaperWidth", kResume, 1085));
    // The correction mode is kept as a magnitude: -15 and 15 are one mode.
    if (r.Get(s, u"Correction", kResume))
        dm.wCorrection = static_cast<WORD>(std::llabs(XmlToInt(r.Value())));
    dm.dwFlags = r.Flag(s, u"W2010", kResume, dm.dwFlags, PDMFLAG_LANDSCAPE_DISABLE);
    dm.dwFlags = r.Flag(s, u"EnableUserForm", kResume, dm.dwFlags, PDMFLAG_ENABLE_USERFORM);
    dm.wAutoCollate = static_cast<WORD>(r.Num(s, u"AutoCollate", kResume, dm.wAutoCollate));
    dm.dwFlags = r.Flag(s, u"CopiesMode", kResume, dm.dwFlags, PDMFLAG_KOPIEN_MANUELL);
    dm.wAnzahlKopien = static_cast<WORD>(r.Num(s, u"NumCopies", kResume, 1));
    dm.wManuellesMultipage = static_cast<WORD>(r.Num(s, u"CommonPrintstart", kResume, 0));
    dm.wInfinite = static_cast<WORD>(r.Num(s, u"Infinite", kResume, dm.wInfinite));
    Trace(
        u"UNI(XMLSettings):  GetLayoutSizeFromXML() dmPaperSize: %u, dmPaperLength: %d, "
        u"dmPaperWidth: %d, dwFlags: 0x%x \r\n",
        dm.dmPaperSize, dm.dmPaperLength, dm.dmPaperWidth, dm.dwFlags);
    return r.Result();
}

int GetColorPrintFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode)
{
    if (!ctx || !pKX_Devmode) return XML_NO_CONTEXT;
    KX_DEVMODE& dm = *pKX_Devmode;
    Lookup r(ctx, u"ColorPrint");
    dm.wColorContrast = static_cast<WORD>(r.Num(u"ColorContrast", nullptr, kRewind, 100));
    dm.wFarbband = static_cast<WORD>(r.Num(u"ColorRibbon", nullptr, kResume, dm.wFarbband));
    dm.dwRGBColorOwn1 = r.Num(u"RGBColorOwn1", nullptr, kResume, dm.dwRGBColorOwn1);
    dm.wColorSeam = static_cast<WORD>(r.Num(u"ColorSeam", nullptr, kResume, dm.wColorSeam));
    dm.wColorChannel =
        static_cast<WORD>(r.Num(u"ColorChannel", nullptr, kResume, dm.wColorChannel));
    dm.dwColorTolerance = static_cast<WORD>(r.Num(u"ColorTolerance", nullptr, kResume, 90));
    dm.wNoColorOptimization =
        static_cast<WORD>(r.Num(u"NoColorOptimization", nullptr, kResume, dm.wNoColorOptimization));
    dm.wHorizontalCorrGap = static_cast<WORD>(r.Num(u"HorizontalCorrGap", nullptr, kResume, 50));
    dm.wChangeColorRibbon =
        static_cast<WORD>(r.Num(u"ChangeColorRibbon", nullptr, kRewind, dm.wChangeColorRibbon));
    return r.Result();
}

int GetPrintjobFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode)
{
    if (!ctx || !pKX_Devmode) return XML_NO_CONTEXT;
    KX_DEVMODE& dm = *pKX_Devmode;
    Lookup r(ctx, u"Printjob");
    dm.dwFlags = r.Flag(u"Mode", nullptr, kRewind, dm.dwFlags, PDMFLAG_JOBDRUCK);
    dm.dwFlags = r.Flag(u"Collate", nullptr, kResume, dm.dwFlags, PDMFLAG_JOBDRUCK_SORTIERT);
    // "S1" is part of "S10": the pages stand in ascending order in the file.
    for (int i = 0; i < 10; ++i) {
        WCHAR name[8];
        (void)Format(name, u"S%d", i + 1);  // i is below 10: always fits
        dm.wKopieProSeite[i] =
            static_cast<WORD>(r.Num(u"KopieProSeite", name, kResume, dm.wKopieProSeite[i]));
    }
    r.Text(u"PrintOrder", nullptr, kResume, dm.szPrintOrder, std::size(dm.szPrintOrder));
    return r.Result();
}

int GetPrintQualitySettingsFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode)
{
    if (!ctx || !pKX_Devmode) return XML_NO_CONTEXT;
    KX_DEVMODE& dm = *pKX_Devmode;
    Lookup r(ctx, u"PrintQuality");
    dm.wDruckmodus = static_cast<WORD>(r.Num(u"PrintMode", nullptr, kRewind, dm.wDruckmodus));
    dm.wGrafikFilter =
        static_cast<WORD>(r.Num(u"GrafikFilter", nullptr, kResume, dm.wGrafikFilter));
    dm.wPhotoFilter = static_cast<WORD>(r.Num(u"PhotoFilter", nullptr, kResume, dm.wPhotoFilter));
    dm.wEmpfindlichkeit = static_cast<WORD>(r.Num(u"Intensity", nullptr, kResume, 128));
    dm.dwBrightnessAll = r.Num(u"Brightness_all", nullptr, kResume, dm.dwBrightnessAll);
    dm.dwBrightnessCurve = r.Num(u"Brightness_curve", nullptr, kResume, dm.dwBrightnessCurve);
    dm.wBrightnessContrast =
        static_cast<WORD>(r.Num(u"Brightness_Contrast", nullptr, kResume, dm.wBrightnessContrast));
    return r.Result();
}

BOOL GetFixedPrinterSettingsFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode)
{
    if (!ctx || !pKX_Devmode) return FALSE;
    KX_FIXEDDATA fd = pKX_Devmode->FixedData;
    Lookup r(ctx, u"Printer");
    bool bHeadWidth = r.Get(u"HeadWidthByte", nullptr, kRewind);
    if (bHeadWidth) fd.dwHeadWidthByte = XmlToInt(r.Value());
    fd.wMasterUnit = static_cast<WORD>(r.Num(u"MasterUnit", nullptr, kResume, kDefaultMasterUnit));
    if (fd.wMasterUnit == 0) fd.wMasterUnit = kDefaultMasterUnit;
    // The maximum sizes keep only the low 16 bits of the number.
    if (r.Get(u"MaxSizeX", nullptr, kResume)) fd.lMaxSizeX = static_cast<WORD>(XmlToInt(r.Value()));
    if (r.Get(u"MaxSizeY", nullptr, kResume)) fd.lMaxSizeY = static_cast<WORD>(XmlToInt(r.Value()));

    // Head width in 1/10 mm, printable width in dots, clear width in 1/10 mm.
    fd.wPrintHeadWidth =
        static_cast<WORD>(RoundDiv(std::uint64_t{fd.dwHeadWidthByte} * 8 * 254, fd.wMasterUnit));
    fd.wMaxPrintableWidth =
        static_cast<WORD>(RoundDiv(std::uint64_t{fd.wPrintHeadWidth} * fd.wMasterUnit, 254));
    fd.wDurchlassbreite =
        static_cast<WORD>(RoundDiv(std::uint64_t{fd.lMaxSizeX} * 254, fd.wMasterUnit));
    pKX_Devmode->FixedData = fd;

    Trace(
        u"UNI(XMLSettings):  GetFixedPrinterSettingsFromXML() dwHeadWidthByte: %u, "
        u"wMasterUnit: %u, lMaxSizeX: %u, lMaxSizeY: %u, wPrintHeadWidth: %u, "
        u"wMaxPrintableWidth: %u, wDurchlassbreite: %u \r\n",
        fd.dwHeadWidthByte, fd.wMasterUnit, fd.lMaxSizeX, fd.lMaxSizeY, fd.wPrintHeadWidth,
        fd.wMaxPrintableWidth, fd.wDurchlassbreite);
    return bHeadWidth ? TRUE : FALSE;
}

int GetFontSettingsFromXML(OEM_PDEV* ctx, KX_DEVMODE* pKX_Devmode)
{
    if (!ctx || !pKX_Devmode) return XML_NO_CONTEXT;
    KX_DEVMODE& dm = *pKX_Devmode;
    Lookup r(ctx, u"Fonts");

    // Slots 0..7, then the second table for slots 8..15. Every lookup of
    // the section starts at the top of the file: "ZoomX_1" is part of
    // "ZoomX_1_2", so the first table must stand before the second.
    for (int i = 0; i < 8; ++i) {
        FontSlot slot{dm.szWindowsFontName[i], dm.wPrinterFont[i], 0, 0, 0, dm.szInstalledName[i]};
        ReadFontSlot(r, i, u"", slot);
        dm.wPrinterFont[i] = slot.wPrinterFont;
        dm.wZoomX[i] = slot.wZoomX;
        dm.wZoomY[i] = slot.wZoomY;
        dm.wFontID[i] = slot.wFontID;
    }
    // The font count is looked up in the "Unicode" section like the slots
    // (since the element search runs on to the end of the root, it is also
    // found in a later section). The count in the record, read or kept,
    // decides whether the second table is read.
    dm.wAnzahlFonts =
        static_cast<WORD>(r.Num(u"Unicode", u"AnzahlFonts", kRewind, dm.wAnzahlFonts));
    if (dm.wAnzahlFonts > 8) {
        for (int i = 0; i < 8; ++i) {
            FontSlot slot{dm.szWindowsFontName2[i], dm.wPrinterFont2[i], 0, 0, 0,
                          dm.szInstalledName2[i]};
            ReadFontSlot(r, i, u"_2", slot);
            dm.wPrinterFont2[i] = slot.wPrinterFont;
            dm.wZoomX2[i] = slot.wZoomX;
            dm.wZoomY2[i] = slot.wZoomY;
            dm.wFontID2[i] = slot.wFontID;
        }
    }

    const WCHAR* s = u"Variables";
    dm.wSpecNumStyle = static_cast<WORD>(r.Num(s, u"SpecNumStyle", kResume, dm.wSpecNumStyle));
    dm.dwAux1UseDirect = r.Num(s, u"Aux1UseDirect", kResume, dm.dwAux1UseDirect);
    dm.dwAux2UseDirect = r.Num(s, u"Aux2UseDirect", kResume, dm.dwAux2UseDirect);
    // "NumString" is part of "ExtNumString": it stands first in the file.
    r.Text(s, u"TimeString", kResume, dm.szTime, std::size(dm.szTime));
    r.Text(s, u"NumString", kResume, dm.szNumString, std::size(dm.szNumString));
    r.Text(s, u"ExtNumString", kResume, dm.szExtNumString, std::size(dm.szExtNumString));
    r.Text(s, u"Aux1String", kResume, dm.szAux1String, std::size(dm.szAux1String));
    r.Text(s, u"Aux2String", kResume, dm.szAux2String, std::size(dm.szAux2String));
    r.Text(s, u"DateString", kResume, dm.szDate, std::size(dm.szDate));
    r.Text(s, u"UserString", kResume, dm.szUserString, std::size(dm.szUserString));
    r.Text(s, u"LinkString", kResume, dm.szLinkString, std::size(dm.szLinkString));
    ReadIdentSign(r, &dm);

    s = u"FontDlg";
    dm.wTTFInvers = static_cast<WORD>(r.Num(s, u"TTF_invers", kResume, dm.wTTFInvers));
    // The settings say whether the fonts are used; the record keeps the
    // opposite ("print as bitmap").
    if (r.Get(s, u"TTF_use", kResume)) dm.wTTFverwenden = XmlToInt(r.Value()) == 0 ? 1 : 0;
    dm.wTTFDesegm = static_cast<WORD>(r.Num(s, u"TTF_desegm", kResume, dm.wTTFDesegm));
    dm.wBMPInvers = static_cast<WORD>(r.Num(s, u"BMP_invers", kResume, dm.wBMPInvers));
    if (r.Get(s, u"BMP_use", kResume)) dm.wBMPverwenden = XmlToInt(r.Value()) == 0 ? 1 : 0;
    dm.wCrystalActive = static_cast<WORD>(r.Num(s, u"CRYSTAL_active", kResume, dm.wCrystalActive));
    // "BitmapFontZoom" is part of "BitmapFontZoomY": it stands first.
    dm.wBitmapFontZoom = static_cast<WORD>(r.Num(s, u"BitmapFontZoom", kResume, 1));
    dm.wBitmapFontZoomY = static_cast<WORD>(r.Num(s, u"BitmapFontZoomY", kResume, 1));
    dm.wBitmapFontAbstand = static_cast<WORD>(r.Num(s, u"BitmapFontDistance", kResume, 30));
    dm.wKurzbefehlKorrektur =
        static_cast<WORD>(r.Num(s, u"ShortCommandCorr", kResume, dm.wKurzbefehlKorrektur));
    dm.dwFlags = r.Flag(s, u"FontSplitCorr", kResume, dm.dwFlags, PDMFLAG_FONTSPLITCORR);
    return r.Result();
}

}  // namespace kx
