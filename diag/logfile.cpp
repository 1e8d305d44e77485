#include "diag/logfile.h"

#include <cstring>
#include <initializer_list>
#include <iterator>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "core/regvalues.h"
#include "core/trace.h"
#include "diag/prnfile.h"
#include "platform/platform.h"

using kx::FmtArgs;
using kx::FormatString;

namespace {

constexpr std::size_t kTextBytes = CLogFile::kLineBytes - 3;  // room for "\r\n" and the NUL

// A wide text field of a packed record (copied byte-wise: the record need
// not be aligned), up to its first NUL.
std::u16string Text(const void* field, std::size_t cch)
{
    std::u16string r(cch, u'\0');
    std::memcpy(r.data(), field, cch * sizeof(WCHAR));
    r.resize(kx::Length(r.data(), cch));
    return r;
}

std::u16string F(const char16_t* fmt, FmtArgs args)
{
    return FormatString(fmt, args);
}

const char16_t* OnOff(DWORD v)
{
    return v ? u"on" : u"off";
}

// The names of the bits set in dwValue, e.g. " ROTATED MIRRORED".
struct BitName {
    DWORD dwBit;
    const char16_t* pwszName;
};
std::u16string BitNames(DWORD dwValue, std::span<const BitName> names)
{
    std::u16string r;
    for (const BitName& b : names)
        if (dwValue & b.dwBit) {
            r += u' ';
            r += b.pwszName;
        }
    return r;
}

constexpr BitName kDevmodeFlagNames[] = {
    {PDMFLAG_ROTATED, u"ROTATED"},
    {PDMFLAG_MIRRORED, u"MIRRORED"},
    {PDMFLAG_MULTICOL, u"MULTICOL"},
    {PDMFLAG_MULTICOL_OLD, u"MULTICOL_OLD"},
    {PDMFLAG_NO_SPLIT_CORRECTION, u"NO_SPLIT_CORRECTION"},
    {PDMFLAG_FONTSPLITCORR, u"FONTSPLITCORR"},
    {PDMFLAG_OBJECTLIST_0x200, u"OBJECTLIST"},
    {PDMFLAG_BARCODE_DESEGMENT, u"BARCODE_DESEGMENT"},
    {PDMFLAG_BARCODE_AUTOCORR, u"BARCODE_AUTOCORR"},
    {PDMFLAG_BARCODE_FNC1_ENDE, u"BARCODE_FNC1_ENDE"},
    {PDMFLAG_JOBDRUCK, u"JOBDRUCK"},
    {PDMFLAG_JOBDRUCK_SORTIERT, u"JOBDRUCK_SORTIERT"},
    {PDMFLAG_KOPIEN_MANUELL, u"KOPIEN_MANUELL"},
    {PDMFLAG_INVERS, u"INVERS"},
    {PDMFLAG_DREHEN, u"DREHEN"},
    {PDMFLAG_BARCODE_LINEEND, u"BARCODE_LINEEND"},
    {PDMFLAG_LANDSCAPE_DISABLE, u"LANDSCAPE_DISABLE"},
    {PDMFLAG_BARCODE_DESEGMENT_IGNORE, u"BARCODE_DESEGMENT_IGNORE"},
    {PDMFLAG_ENABLE_USERFORM, u"ENABLE_USERFORM"},
};
// PRINTER_STATUS_... bits that the log names.
constexpr BitName kPrinterStatusNames[] = {
    {0x200, u"BUSY"},     {0x2, u"ERROR"},      {0x80, u"OFFLINE"},
    {0x400, u"PRINTING"}, {0x2000, u"WAITING"},
};
// PRINTER_DRIVER_PACKAGE_AWARE and PRINTER_DRIVER_SANDBOX_ENABLED.
constexpr BitName kDriverAttributeNames[] = {{0x1, u"PACKAGE_AWARE"}, {0x4, u"SANDBOX_ENABLED"}};

std::u16string Hex(DWORD v, std::u16string_view names = {})
{
    return F(u"0x%x", {v}) + std::u16string(names);
}

std::u16string Version4(std::uint64_t v)
{
    return F(u"%u.%u.%u.%u", {unsigned(v >> 48), unsigned((v >> 32) & 0xFFFF),
                              unsigned((v >> 16) & 0xFFFF), unsigned(v & 0xFFFF)});
}

template <class T>
T Read(const BYTE* p, std::size_t offset)
{
    T v;
    std::memcpy(&v, p + offset, sizeof(T));
    return v;
}

}  // namespace

CLogFile::CLogFile()
    : m_hFile(INVALID_HANDLE_VALUE), m_bInitialized(0), m_dwMaxSize(0), m_dwLastError(0)
{
    m_wcFileName[0] = 0;
}

CLogFile::~CLogFile()
{
    Close();
}

DWORD CLogFile::Initialize(HANDLE hPrinter, const WCHAR* pwszPrnFileName,
                           PRN_INTERFACE* pPrnInterface)
{
    if (IsInitialized()) return 1;
    m_dwMaxSize = kMaxSize;
    m_wcFileName[0] = 0;
    if (pwszPrnFileName && pwszPrnFileName[0]) {
        // A name cut to the buffer would open some other file: no log then.
        if (FAILED(kx::Copy(
                m_wcFileName, KX_MAX_PATH,
                std::u16string_view(pwszPrnFileName, kx::Length(pwszPrnFileName, KX_MAX_PATH)))) ||
            FAILED(kx::Cat(m_wcFileName, KX_MAX_PATH, u".log"))) {
            Trace(u"ERROR LIB(LogFile):  Initialize() Dateiname zu lang: %s \r\n", m_wcFileName);
            m_wcFileName[0] = 0;
        }
    } else {
        // A name that GetPrnFileName gives only as its refusal (no
        // directory, full disk) is not used: the job writes no log then.
        DWORD bRetval = 0;
        const WCHAR* pwszName =
            kx::GetPrnFileName(hPrinter, u".log", nullptr, 0, pPrnInterface, &bRetval);
        if (bRetval == 1 && FAILED(kx::Copy(m_wcFileName, KX_MAX_PATH, pwszName))) {
            Trace(u"ERROR LIB(LogFile):  Initialize() Dateiname zu lang: %s \r\n", pwszName);
            m_wcFileName[0] = 0;
        }
    }
    std::u16string_view name(m_wcFileName, kx::Length(m_wcFileName, KX_MAX_PATH));
    if (name.size() > 4) {
        m_hFile = kx::plat::CreateFile(name, kx::plat::kGenericWrite, kx::plat::kShareWrite,
                                       kx::plat::kOpenAlways);
        if (m_hFile == kx::plat::kInvalidHandle) {
            m_dwLastError = kx::plat::GetLastError();
            Trace(u"ERROR LIB(LogFile):  CreateFile(CLogFile) failed. Error = %u - %s \r\n",
                  m_dwLastError, name);
            m_hFile = INVALID_HANDLE_VALUE;
        }
    } else {
        Trace(u"ERROR LIB(LogFile):  Initialize() kein Dateiname - |%s| \r\n", name);
    }
    if (IsValidHandle(m_hFile)) {
        std::uint64_t size = 0;
        if (!kx::plat::GetFileSize(m_hFile, &size)) {
            m_dwLastError = kx::plat::GetLastError();
            Trace(u"ERROR LIB(LogFile):  Initialize() GetFileSize Error = %u \r\n", m_dwLastError);
            Close();
        } else if (size >= m_dwMaxSize) {
            // The platform has no SetEndOfFile: the file is opened afresh
            // as an empty one, which leaves the file pointer at its start.
            Trace(
                u"LIB(LogFile):  Initialize() dwFileSize: %u >= m_dwMaxSize: %u - leere Datei \r\n",
                size, m_dwMaxSize);
            kx::plat::CloseHandle(m_hFile);
            m_hFile = kx::plat::CreateFile(name, kx::plat::kGenericWrite, kx::plat::kShareWrite,
                                           kx::plat::kCreateAlways);
            if (m_hFile == kx::plat::kInvalidHandle) {
                m_dwLastError = kx::plat::GetLastError();
                Trace(u"ERROR LIB(LogFile):  CreateFile(CLogFile) failed. Error = %u - %s \r\n",
                      m_dwLastError, name);
                m_hFile = INVALID_HANDLE_VALUE;
            }
        } else {
            kx::plat::SetFilePointer(m_hFile, 0, kx::plat::kFileEnd, nullptr);
        }
    }
    if (IsValidHandle(m_hFile)) m_bInitialized = 1;
    Trace(u"LIB(LogFile):  Initialize() %s - m_bInitialized: %u \r\n", name, m_bInitialized);
    return 1;
}

void CLogFile::Close()
{
    if (IsValidHandle(m_hFile)) kx::plat::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    m_bInitialized = 0;
}

void CLogFile::WriteLine(const WCHAR* pwszText, const char* pszText, DWORD bLineEnd)
{
    if (!IsValidHandle(m_hFile)) return;
    std::string line;
    if (pwszText) {
        line = kx::plat::WideToMultiByte(
            kx::plat::kCpAcp, std::u16string_view(pwszText, kx::Length(pwszText, kTextBytes)));
    } else if (pszText) {
        line.assign(pszText, kx::Length(pszText, kTextBytes));
    }
    if (line.size() > kTextBytes) line.resize(kTextBytes);
    if (bLineEnd == 1) line += "\r\n";
    if (line.empty()) return;
    std::uint32_t written = 0;
    if (!kx::plat::WriteFile(m_hFile, line.data(), static_cast<std::uint32_t>(line.size()),
                             &written)) {
        m_dwLastError = kx::plat::GetLastError();
        Trace(u"ERROR LIB(LogFile):  WriteLine() WriteFile Error = %u\r\n", m_dwLastError);
    }
}

void CLogFile::VWrite(const WCHAR* pwszFormat, FmtArgs args)
{
    if (!IsInitialized() || !pwszFormat) return;
    WCHAR line[kFormatChars];
    // A longer line is cut: the log is a report for reading, and a cut line
    // still says what it was about.
    (void)kx::VFormat(line, kFormatChars, pwszFormat, args);
    WriteLine(line, nullptr, 1);
}

void CLogFile::WriteTimeStamp()
{
    kx::plat::SystemTime t = kx::plat::GetLocalTime();
    Write(u"Date: %02u.%02u.%02u Time: %02u:%02u:%02u,%03u", t.wDay, t.wMonth, t.wYear, t.wHour,
          t.wMinute, t.wSecond, t.wMilliseconds);
}

void CLogFile::WriteHeading(const WCHAR* pwszHeading, const WCHAR* pwszLabel)
{
    std::u16string heading = pwszHeading;
    if (pwszLabel) heading.append(pwszLabel, kx::Length(pwszLabel, KX_MAX_PATH));
    heading += u") at: ";
    WriteLine(heading.c_str(), nullptr, 0);
    WriteTimeStamp();
}

void CLogFile::Item(std::u16string_view name, std::u16string_view value)
{
    Write(u"\t %-18s = %s", name, value);
}

void CLogFile::Group(std::u16string_view title)
{
    Write(u"  [%s]", title);
}

// ------------------------------------------------------------ public devmode

void CLogFile::WritePublicDevMode(const WCHAR* pwszLabel, const DEVMODEW* pdm)
{
    if (!IsInitialized()) return;
    WriteHeading(u"\r\nPublic DEVMODE (application) (", pwszLabel);
    if (!pdm) {
        Write(u"\t (none)");
        return;
    }
    // Fields beyond dmSize are not there at all; the others are "valid"
    // when dmFields names them.
    const std::size_t cbSize = pdm->dmSize;
    const DWORD dwFields = pdm->dmFields;
    auto state = [&](DWORD dwBit) { return (dwFields & dwBit) ? u"valid" : u"not used"; };
    auto present = [&](std::size_t offset, std::size_t size) { return offset + size <= cbSize; };
    auto field = [&](const char16_t* name, std::size_t offset, std::size_t size, DWORD dwBit,
                     const std::u16string& value) {
        if (!present(offset, size)) {
            Write(u"%-17s= not present", name);
        } else {
            Write(u"%-17s= %s - %s", name, value, state(dwBit));
        }
    };
#define KX_DM(f) offsetof(DEVMODEW, f), sizeof(DEVMODEW::f)
    Write(u"  DeviceName     = %s", Text(pdm->dmDeviceName, CCHDEVICENAME));
    Write(u"%-17s= 0x%x", u"SpecVersion", pdm->dmSpecVersion);
    Write(u"%-17s= 0x%x", u"DriverVersion", pdm->dmDriverVersion);
    Write(u"%-17s= %u", u"Size", pdm->dmSize);
    Write(u"%-17s= %u", u"DriverExtra", pdm->dmDriverExtra);
    Write(u"%-17s= 0x%x", u"Fields", dwFields);
    field(u"Orientation", KX_DM(dmOrientation), DM_ORIENTATION,
          F(u"%d (%s)", {pdm->dmOrientation,
                         pdm->dmOrientation == DMORIENT_LANDSCAPE ? u"landscape" : u"portrait"}));
    field(u"PaperSize", KX_DM(dmPaperSize), DM_PAPERSIZE, F(u"%d", {pdm->dmPaperSize}));
    if (present(KX_DM(dmPaperLength)))
        Write(u"PaperLength      = %d 1/10 mm - %s", pdm->dmPaperLength, state(DM_PAPERLENGTH));
    field(u"PaperWidth", KX_DM(dmPaperWidth), DM_PAPERWIDTH, F(u"%d 1/10 mm", {pdm->dmPaperWidth}));
    field(u"Scale", KX_DM(dmScale), DM_SCALE, F(u"%d %%", {pdm->dmScale}));
    if (present(KX_DM(dmCopies)))
        Write(u"Copies           = %d - %s", pdm->dmCopies, state(DM_COPIES));
    field(u"DefaultSource", KX_DM(dmDefaultSource), 0x200, F(u"%d", {pdm->dmDefaultSource}));
    field(u"PrintQuality", KX_DM(dmPrintQuality), 0x400, F(u"%d", {pdm->dmPrintQuality}));
    field(u"Color", KX_DM(dmColor), DM_COLOR,
          F(u"%d (%s)", {pdm->dmColor, pdm->dmColor == DMCOLOR_COLOR ? u"colour" : u"monochrome"}));
    field(u"Duplex", KX_DM(dmDuplex), 0x1000, F(u"%d", {pdm->dmDuplex}));
    field(u"YResolution", KX_DM(dmYResolution), 0x2000, F(u"%d dpi", {pdm->dmYResolution}));
    field(u"TTOption", KX_DM(dmTTOption), 0x4000, F(u"%d", {pdm->dmTTOption}));
    field(u"Collate", KX_DM(dmCollate), DM_COLLATE,
          F(u"%d (%s)", {pdm->dmCollate, pdm->dmCollate == 1 ? u"collated" : u"not collated"}));
    field(u"FormName", KX_DM(dmFormName), 0x10000, Text(pdm->dmFormName, CCHFORMNAME));
    field(u"Nup", KX_DM(dmNup), 0x40, F(u"%u", {pdm->dmNup}));
    field(u"ICMMethod", KX_DM(dmICMMethod), 0x800000, F(u"%u", {pdm->dmICMMethod}));
    field(u"ICMIntent", KX_DM(dmICMIntent), 0x1000000, F(u"%u", {pdm->dmICMIntent}));
    field(u"MediaType", KX_DM(dmMediaType), 0x2000000, F(u"%u", {pdm->dmMediaType}));
    field(u"DitherType", KX_DM(dmDitherType), 0x4000000, F(u"%u", {pdm->dmDitherType}));
#undef KX_DM
}

// ------------------------------------------------------------ private devmode

void CLogFile::WritePrivateDevMode(const WCHAR* pwszLabel, const KX_DEVMODE* pdm)
{
    if (!IsInitialized()) return;
    WriteHeading(u"\r\nPrivate DEVMODE (", pwszLabel);
    if (!pdm) {
        Write(u"\t (none)");
        return;
    }
    const KX_DEVMODE& dm = *pdm;
    auto u = [](unsigned v) { return F(u"%u", {v}); };
    auto d = [](long v) { return F(u"%d", {v}); };
    auto mm10 = [](long v) { return F(u"%d 1/10 mm", {v}); };
    auto text = [](const void* field, std::size_t bytes) { return Text(field, bytes / 2); };

    Item(u"Size", u(dm.dwSize));
    Item(u"Signature", Hex(dm.dwSignature, dm.dwSignature == KX_SIGNATURE ? u" KXDM" : u""));
    Item(u"Version", Hex(dm.dwVersion));
    Item(u"Layout", F(u"0x%x, 0x%x", {unsigned(dm.wVersion), unsigned(dm.w9999)}));
    Item(u"Marker", HasValidMarker(dm) ? u"valid" : u"not valid");
    Item(u"Flags", Hex(dm.dwFlags, BitNames(dm.dwFlags, kDevmodeFlagNames)));

    Group(u"Layout at the printer");
    Item(u"PaperSize", u(dm.dmPaperSize));
    Item(u"PaperLength", mm10(dm.dmPaperLength));
    Item(u"PaperWidth", mm10(dm.dmPaperWidth));
    Item(u"Orientation",
         F(u"%d (%s)", {dm.dmOrientation,
                        dm.dmOrientation == DMORIENT_LANDSCAPE ? u"landscape" : u"portrait"}));
    Item(u"LabelType", u(dm.dwLabelType));
    Item(u"Gap", mm10(long(dm.dwGap)));
    Item(u"Material", F(u"%u of %u", {unsigned(dm.dwMaterial), unsigned(dm.wMaxMaterial)}));
    Item(u"Columns", u(dm.sMultiColNumber));
    Item(u"ColumnWidth", mm10(dm.dwMultiLabelWidth));
    Item(u"ColumnGap", mm10(dm.dwMultiGapWidth));
    Item(u"Alignment", u(dm.dwAusrichtung));
    Item(u"XOffset", d(dm.lXOffset));
    Item(u"YOffset", d(dm.lYOffset));
    Item(u"TearOffOffset", u(dm.TearOffOffset));
    Item(u"Endless", u(dm.wInfinite));

    Group(u"Layout in the driver");
    Item(u"Correction", u(dm.wCorrection));
    Item(u"Angle", F(u"%u degrees", {unsigned(dm.dwWinkel)}));
    Item(u"Rotate90Steps", u(dm.wRotate90Steps));
    Item(u"LayoutRotation", u(dm.wLayoutDrehung));
    Item(u"Scaling", F(u"%u %%", {unsigned(dm.wSkalierung)}));
    Item(u"FitToPage", OnOff(dm.wFitToPage));
    Item(u"PagesPerLabel", u(dm.wMehrereSeiten));
    Item(u"PagesGap", u(dm.wMehrereSeitenAbstand));
    Item(u"PagesAlignment", u(dm.wMehrereSeitenAusrichtung));
    Item(u"PagesRows", u(dm.wMehrereReihen));
    Item(u"CommonPrintStart", OnOff(dm.wManuellesMultipage));

    Group(u"Copies");
    Item(u"Copies", u(dm.wAnzahlKopien));
    Item(u"AutoCollate", OnOff(dm.wAutoCollate));
    std::u16string perPage;
    for (std::size_t i = 0; i < std::size(dm.wKopieProSeite); ++i)
        perPage += F(i ? u" %u" : u"%u", {unsigned(dm.wKopieProSeite[i])});
    Item(u"CopiesPerPage", perPage);
    Item(u"PrintOrder", text(dm.szPrintOrder, sizeof(dm.szPrintOrder)));

    Group(u"Parameters");
    Item(u"Contrast", F(u"%u %%", {unsigned(dm.dwContrast)}));
    Item(u"Speed", u(dm.dwSpeed));
    Item(u"SpeedPrintModule", u(dm.dwSpeed_Lumet_c));
    Item(u"ScanPosition", u(dm.wScanPosition));
    Item(u"LabelChange", u(dm.wLabelChange));
    Item(u"PWM", u(dm.PWMwertLS));
    Item(u"CutterModeOld", u(dm.wCutterMode));
    Item(u"DispenserMode", u(dm.dispenser_dwMode));
    Item(u"CutterMode", u(dm.cutter_dwMode));
    Item(u"CutterInterval",
         F(u"%u / %u", {unsigned(dm.cutter_dwInterval), unsigned(dm.cutter_wInterval)}));
    Item(u"CutterOffset", d(dm.cutter_lOffset));
    Item(u"CutterControl", u(dm.cutter_wControlMode));
    Item(u"ScannerMode", u(dm.scanner_dwMode));
    Item(u"ScannerOffset", d(dm.scanner_dwOffset));
    Item(u"ApplicatorMode", u(dm.applicator_dwMode));
    Item(u"Options",
         F(u"%u %u %u %u %u %u %u %u %u %u %u %u %u",
           {dm.dwOption2000, dm.dwOption2004, dm.dwOption2024, dm.dwOption2040, dm.dwOption2044,
            dm.dwOption2084, dm.dwOption2088, dm.dwOption2092, dm.dwOption2096, dm.dwOption2104,
            dm.dwOption2112, dm.dwOption2116, unsigned(dm.wLegacyCutterInterval)}));

    Group(u"Quality");
    Item(u"PrintMode", u(dm.wDruckmodus));
    Item(u"GraphicsFilter", u(dm.wGrafikFilter));
    Item(u"PhotoFilter", u(dm.wPhotoFilter));
    Item(u"Intensity", u(dm.wEmpfindlichkeit));
    Item(u"BrightnessContrast", u(dm.wBrightnessContrast));
    Item(u"Brightness", F(u"%u, curve %u", {dm.dwBrightnessAll, dm.dwBrightnessCurve}));

    Group(u"Colour printing");
    Item(u"Ribbon", u(dm.wFarbband));
    Item(u"ColourContrast", F(u"%u %%", {unsigned(dm.wColorContrast)}));
    Item(u"NoOptimisation", OnOff(dm.wNoColorOptimization));
    Item(u"CorrectionGap", u(dm.wHorizontalCorrGap));
    Item(u"OwnColour", F(u"0x%06X", {dm.dwRGBColorOwn1}));
    Item(u"ColourSeam", u(dm.wColorSeam));
    Item(u"ColourChannel", u(dm.wColorChannel));
    Item(u"ColourTolerance", u(dm.dwColorTolerance));
    Item(u"RibbonChange", u(dm.wChangeColorRibbon));
    Item(u"SplitPrintFile", OnOff(dm.wSplitPrnFile));
    Item(u"ColourFields", F(u"%u, %u", {dm.dwColorField1, dm.dwColorField2}));

    Group(u"Fonts");
    Item(u"Codepage", u(dm.wCodepage));
    Item(u"TrueTypeOff", OnOff(dm.wTTFverwenden));
    Item(u"BitmapFontsOff", OnOff(dm.wBMPverwenden));
    Item(u"TrueTypeInverse", OnOff(dm.wTTFInvers));
    Item(u"BitmapInverse", OnOff(dm.wBMPInvers));
    Item(u"TrueTypeDesegm", OnOff(dm.wTTFDesegm));
    Item(u"ReportConversion", OnOff(dm.wCrystalActive));
    Item(u"BitmapFontZoom",
         F(u"%u x %u, spacing %u", {unsigned(dm.wBitmapFontZoom), unsigned(dm.wBitmapFontZoomY),
                                    unsigned(dm.wBitmapFontAbstand)}));
    Item(u"FontSlots", u(dm.wAnzahlFonts));
    unsigned nSlots = dm.wAnzahlFonts < 16 ? dm.wAnzahlFonts : 16;
    for (unsigned i = 0; i < nSlots; ++i) {
        bool first = i < 8;
        unsigned k = first ? i : i - 8;
        std::u16string windowsName =
            first ? text(dm.szWindowsFontName[k], sizeof(dm.szWindowsFontName[k]))
                  : text(dm.szWindowsFontName2[k], sizeof(dm.szWindowsFontName2[k]));
        std::u16string installedName =
            first ? text(dm.szInstalledName[k], sizeof(dm.szInstalledName[k]))
                  : text(dm.szInstalledName2[k], sizeof(dm.szInstalledName2[k]));
        unsigned font = first ? dm.wPrinterFont[k] : dm.wPrinterFont2[k];
        unsigned zoomX = first ? dm.wZoomX[k] : dm.wZoomX2[k];
        unsigned zoomY = first ? dm.wZoomY[k] : dm.wZoomY2[k];
        unsigned id = first ? dm.wFontID[k] : dm.wFontID2[k];
        Item(F(u"Font %u", {i}), F(u"%s -> %u (%s), zoom %u/%u %%, id %u",
                                   {windowsName, font, installedName, zoomX, zoomY, id}));
    }

    Group(u"Barcodes and command font");
    Item(u"CommandFontFlags", Hex(dm.dwKommandoFontFlags));
    Item(u"BarcodeModule", u(dm.wBarcodeDP));
    Item(u"BarcodeRotation", u(dm.dwDrehung));
    Item(u"ShortCommandCorr", u(dm.wKurzbefehlKorrektur));

    Group(u"Extended");
    Item(u"NumberStyle", u(dm.wSpecNumStyle));
    Item(u"IdentSign", text(dm.szIdentSign, sizeof(dm.szIdentSign)));
    Item(u"Time", text(dm.szTime, sizeof(dm.szTime)));
    Item(u"Date", text(dm.szDate, sizeof(dm.szDate)));
    Item(u"Number", text(dm.szNumString, sizeof(dm.szNumString)));
    Item(u"ExtNumber", text(dm.szExtNumString, sizeof(dm.szExtNumString)));
    Item(u"Link", text(dm.szLinkString, sizeof(dm.szLinkString)));
    Item(u"Aux1", F(u"%s (direct %u)",
                    {text(dm.szAux1String, sizeof(dm.szAux1String)), dm.dwAux1UseDirect}));
    Item(u"Aux2", F(u"%s (direct %u)",
                    {text(dm.szAux2String, sizeof(dm.szAux2String)), dm.dwAux2UseDirect}));
    Item(u"User", text(dm.szUserString, sizeof(dm.szUserString)));
    Item(u"DocumentOffset",
         F(u"%u, h1 font %u", {unsigned(dm.wBelegOffset), unsigned(dm.wBelegFontH1)}));

    Group(u"Memory card");
    Item(u"MemoryCard", u(dm.wMemCard));
    Item(u"Recall", u(dm.wMemCard_Recall));
    Item(u"Directory", Text(dm.szMemCardVerz, sizeof(dm.szMemCardVerz) / 2));
    Item(u"Device",
         FormatString(
             u"%s", {std::string_view(dm.szDevice, kx::Length(dm.szDevice, sizeof(dm.szDevice)))}));

    Group(u"Model");
    const KX_FIXEDDATA& fd = dm.FixedData;
    Item(u"HeadWidthBytes", u(fd.dwHeadWidthByte));
    Item(u"MasterUnit", F(u"%u dpi", {unsigned(fd.wMasterUnit)}));
    Item(u"ClearWidth", u(fd.wDurchlassbreite));
    Item(u"MaxSize", F(u"%u x %u dots", {fd.lMaxSizeX, fd.lMaxSizeY}));
    Item(u"Quality", OnOff(fd.bQuality));
    Item(u"DocFeatures", Hex(fd.dwDocFeatures));
    Item(u"PrintableWidth", F(u"%u dots", {unsigned(fd.wMaxPrintableWidth)}));
    Item(u"PrintHeadWidth", mm10(fd.wPrintHeadWidth));
}

// ------------------------------------------------------------ barcodes

void CLogFile::WriteBarcodeSettings(const WCHAR* pwszLabel, const BYTE* p)
{
    if (!IsInitialized()) return;
    WriteHeading(u"\r\nBarcode Settings (", pwszLabel);
    if (!p) {
        Write(u"\t (none)");
        return;
    }
    // 1-D: sixteen records of 28 bytes (codes with a fixed ratio), then
    // fifteen of 24 bytes; each starts with the code's id, its mode (1
    // automatic), rotation and manual height. Records never set are skipped.
    Group(u"1-D");
    std::size_t at = 0;
    for (int i = 0; i < 31; ++i) {
        std::size_t cb = i < 16 ? 28 : 24;
        DWORD dwId = Read<DWORD>(p, at);
        if (dwId != 0)
            Item(F(u"Code %u", {dwId}),
                 F(u"%s, rotation %u, height %u",
                   {Read<DWORD>(p, at + 4) == 1 ? u"automatic" : u"manual",
                    unsigned(Read<WORD>(p, at + 8)), unsigned(Read<WORD>(p, at + 10))}));
        at += cb;
    }
    // 2-D: each code's automatic switch (non-zero: automatic) at its place.
    Group(u"2-D");
    const BYTE* p2 = p + kx::reg::kBarCodes1DSize;
    struct Code2D {
        const char16_t* pwszName;
        std::size_t offset;
        bool bWord;
    };
    static constexpr Code2D kCodes[] = {
        {u"Code 56", 4, false},      {u"Code 58", 32, false},         {u"Code 55", 60, false},
        {u"PDF417", 88, false},      {u"MaxiCode", 116, false},       {u"Aztec", 130, true},
        {u"DataMatrix", 136, false}, {u"CODABLOCK", 160, false},      {u"GS1 DataBar", 184, false},
        {u"QR Code", 208, false},    {u"GS1 DataMatrix", 236, false},
    };
    for (const Code2D& c : kCodes) {
        DWORD dwAuto = c.bWord ? Read<WORD>(p2, c.offset) : Read<DWORD>(p2, c.offset);
        Item(c.pwszName, dwAuto ? u"automatic" : u"manual");
    }
}

// ------------------------------------------------------------ printer and driver

void CLogFile::WritePrinterInfos(const WCHAR* pwszLabel, HANDLE hPrinter)
{
    if (!IsInitialized()) return;
    WriteHeading(u"\r\nPrinter Information[PRINTER_INFO_2] (", pwszLabel);
    kx::plat::PrinterInfo pi;
    if (!kx::plat::GetPrinterInfo(hPrinter, &pi)) {
        DWORD dwError = kx::plat::GetLastError();
        Trace(u"ERROR LIB(LogFile):  WritePrinterInfos() GetPrinter Error = %u \r\n", dwError);
        Write(u"\t GetPrinter Error = %u", dwError);
        return;
    }
    Write(u"\t ServerName         = %s", pi.serverName);
    Write(u"\t PrinterName        = %s", pi.printerName);
    Write(u"\t ShareName          = %s", pi.shareName);
    Write(u"\t PortName           = %s", pi.portName);
    Write(u"\t DriverName         = %s", pi.driverName);
    Write(u"\t Comment            = %s", pi.comment);
    Write(u"\t Location           = %s", pi.location);
    Write(u"\t Attributes         = 0x%x", pi.attributes);
    Write(u"\t Priority           = %d", pi.priority);
    Write(u"\t Jobs               = %d", pi.cJobs);
    Write(u"\t Status             = 0x%x%s", pi.status, BitNames(pi.status, kPrinterStatusNames));
}

void CLogFile::WriteDriverInfos(const WCHAR* pwszLabel, HANDLE hPrinter)
{
    if (!IsInitialized()) return;
    WriteHeading(u"\r\nDriver Information[DRIVER_INFO_8] (", pwszLabel);
    kx::plat::DriverInfo di;
    if (!kx::plat::GetPrinterDriver(hPrinter, &di)) {
        DWORD dwError = kx::plat::GetLastError();
        Trace(u"ERROR LIB(LogFile):  WriteDriverInfos() GetPrinterDriver Error = %u \r\n", dwError);
        Write(u"\t GetPrinterDriver Error = %u", dwError);
        return;
    }
    Write(u"\t Name               = %s", di.name);
    Write(u"\t Environment        = %s", di.environment);
    Write(u"\t DriverPath         = %s", di.driverPath);
    Write(u"\t DataFile           = %s", di.dataFile);
    Write(u"\t ConfigFile         = %s", di.configFile);
    Write(u"\t Manufacturer       = %s", di.mfgName);
    Write(u"\t Provider           = %s", di.provider);
    Write(u"\t DriverAttributes   = 0x%x%s", di.printerDriverAttributes,
          BitNames(di.printerDriverAttributes, kDriverAttributeNames));
    Write(u"\t DriverVersion      = %s", Version4(di.driverVersion));
}

// ------------------------------------------------------------ settings records

void CLogFile::WritePrinterParam(const WCHAR* pwszLabel, const DWORD* pdwFeatures,
                                 const PHOTOCELL_PARAM* pPhotocell,
                                 const SHIFT_OPTIM_PARAM* pShiftOptim)
{
    if (!IsInitialized()) return;
    WriteHeading(u"\r\nPrinterParameter (", pwszLabel);
    if (pdwFeatures) {
        Group(u"Features");
        static constexpr const char16_t* kGroups[MAX_FEATURES] = {
            u"Interface", u"Print",      u"Photocell",  u"Dispenser",
            u"Cutter",    u"Scanner",    u"KRM",        u"Reserved 7",
            u"KRMC",      u"Applicator", u"ShiftOptim", u"Reserved 11"};
        for (int i = 0; i < MAX_FEATURES; ++i) Item(kGroups[i], Hex(pdwFeatures[i]));
    }
    if (pPhotocell) {
        Group(u"Photocell");
        static constexpr const char16_t* kRibbon[] = {u"off", u"on, weak", u"on, strong"};
        LONG lRibbon = pPhotocell->dwRibbonControl;
        Item(u"PhotocellType", F(u"%d", {pPhotocell->dwPhotocellType}));
        Item(
            u"RibbonControl",
            F(u"%d (%s)", {lRibbon, lRibbon >= 0 && lRibbon <= 2 ? kRibbon[lRibbon] : u"unknown"}));
        WORD wSave = pPhotocell->wRibbonSave;
        Item(u"RibbonSave",
             F(u"%u (%s)", {unsigned(wSave), wSave == 2 ? u"on" : (wSave == 1 ? u"off" : u"-")}));
    }
    if (pShiftOptim) {
        Group(u"Shift optimisation");
        Item(u"RCorrection", F(u"%d", {pShiftOptim->lRCorrection}));
        Item(u"XShift", F(u"%d 1/10 mm", {pShiftOptim->lXShift}));
        Item(u"YShift", F(u"%d 1/10 mm", {pShiftOptim->lYShift}));
        Item(u"Lanes", F(u"%d", {pShiftOptim->lLanes}));
        Item(u"RShift", F(u"%d 1/10 mm", {pShiftOptim->lRShift}));
        Item(u"NotSent", OnOff(pShiftOptim->bNichtSenden));
    }
}

void CLogFile::WriteInterfaceParam(const WCHAR* pwszLabel, const PRN_INTERFACE* pi)
{
    if (!IsInitialized()) return;
    WriteHeading(u"\r\nInterfaceParameter (", pwszLabel);
    if (!pi) {
        Write(u"\t (none)");
        return;
    }
    auto u = [](DWORD v) { return F(u"%u", {v}); };
    auto path = [](const void* field) { return Text(field, PRN_PATH_CHARS); };
    static constexpr const char16_t* kLanguages[] = {u"German", u"English", u"Spanish", u"French"};

    Group(u"Data transmission");
    Item(u"Compression", u(pi->bCompress));
    Item(u"ExtendedProtocol", u(pi->dwExtendedProtocol));
    Item(u"TransmitParameter", u(pi->dwSendGerParam));
    Item(u"TransmitLabelParameter", u(pi->dwSendEtiParam));
    Item(u"JobIdent", u(pi->dwJobIdent));
    Item(u"SendJobName", u(pi->dwSendJobName));
    Item(u"ClearPrintMemory", u(pi->dwClearPrintMemory));
    Item(u"SohEtb", u(pi->dwSohEtb));
    Item(u"OwnSohEtb", F(u"0x%02X 0x%02X", {pi->dwOwnSoh, pi->dwOwnEtb}));
    Item(u"EtbSohAutomatik", u(pi->dwEtbSohAutomatik));
    Item(u"SeparatorPage", u(pi->dwTrennseite));
    Item(u"QueueJob", F(u"%u, %u", {pi->dwQueueJob, pi->dwQueueJob2}));
    Item(u"DataMemory", u(pi->dwDatenspeicher));
    Item(u"SendPrintStart", u(pi->bSendPrintStart));
    Item(u"EmptyPages", u(pi->bLeereSeiten));
    Item(u"PrinterTime", u(pi->dwPrinterTime));
    Item(u"Language",
         F(u"%u (%s)", {pi->dwSprache, pi->dwSprache < 4 ? kLanguages[pi->dwSprache] : u"other"}));
    Item(u"Lang_Mode", u(pi->dwLangMode));

    Group(u"Files");
    Item(u"PrnFileComment", u(pi->dwPrnFileComment));
    Item(u"LogFileEnable", u(pi->bLogFileEnable));
    Item(u"DebugFile", u(pi->dwDebugFile));
    Item(u"DebugImage", u(pi->dwDebugImage));
    Item(u"LogFileTimeStamp", u(pi->bLogFileTimeStamp));
    Item(u"LogFilesCount", u(pi->dwLogFilesCount));
    Item(u"LogFilePath", path(pi->wcLogFilePath));
    Item(u"PrefixSuffix", u(pi->dwPrefixSuffix));
    Item(u"PreSufFilePath", path(pi->wcPreSufFilePath));
    Item(u"UseExternalFile", u(pi->dwExternalFile));
    Item(u"ExternalFilePath", path(pi->wcExternalFilePath));

    Group(u"Backup");
    Item(u"EnableBackup", u(pi->bEnableBackup));
    Item(u"EnableCSV", u(pi->bEnableCSV));
    Item(u"BackupFormat", u(pi->dwBackupFormat));
    Item(u"BackupFilePath", path(pi->wcBackupFilePath));
    Item(u"BackupPathCombine", u(pi->dwBackupPathCombine));
    Item(u"BackupCSVKopf", u(pi->dwBackupCSVKopf));

    Group(u"Preview");
    Item(u"PreviewFile", u(pi->wPreviewFile));
    Item(u"PreviewSize",
         F(u"%u x %u, ratio %u", {unsigned(pi->wPreviewWidth), unsigned(pi->wPreviewHeight),
                                  unsigned(pi->wPreviewRatio)}));
}

// ------------------------------------------------------------ the job's log

namespace kx {

CLogFile* GetJobLogFile(const OEM_PDEV* pOemPDev)
{
    if (!pOemPDev || !pOemPDev->pOp || !pOemPDev->pOp->pTreiberPfadDatei) return nullptr;
    CLogFile* pLog = pOemPDev->pOp->pTreiberPfadDatei->pLogFile;
    return pLog && pLog->IsInitialized() ? pLog : nullptr;
}

bool OpenJobLogFile(OEM_PDEV* pOemPDev, HANDLE hPrinter, DWORD bLogFileEnable)
{
    if (bLogFileEnable != 1) return false;
    if (!pOemPDev || !pOemPDev->pOp || !pOemPDev->pOp->pTreiberPfadDatei) {
        Trace(u"ERROR LIB(LogFile):  OpenJobLogFile() pTreiberPfadDatei fehlt \r\n");
        return false;
    }
    TreiberPfadDatei* pFiles = pOemPDev->pOp->pTreiberPfadDatei;
    Treiberstrukturen* pSettings = pOemPDev->pOp->pTreiberstrukturen;
    if (!pFiles->pLogFile) {
        pFiles->pLogFile = new (std::nothrow) CLogFile;
        if (!pFiles->pLogFile) {
            Trace(u"ERROR LIB(LogFile):  OpenJobLogFile() kein Speicher \r\n");
            return false;
        }
    }
    pFiles->pLogFile->Initialize(hPrinter, pFiles->wcPrnFileName,
                                 pSettings ? &pSettings->prnInterface : nullptr);
    return pFiles->pLogFile->IsInitialized();
}

void CloseJobLogFile(OEM_PDEV* pOemPDev)
{
    if (!pOemPDev || !pOemPDev->pOp || !pOemPDev->pOp->pTreiberPfadDatei) return;
    TreiberPfadDatei* pFiles = pOemPDev->pOp->pTreiberPfadDatei;
    delete pFiles->pLogFile;  // closes the file
    pFiles->pLogFile = nullptr;
}

}  // namespace kx
