// The device parameter senders: the exact records in the spooler stream and
// the print file, their gating by equipment, features and option bits, the
// mode adjustments, and the dialog bits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options/deviceparam.h"
#include "core/output.h"
#include "support/device.h"

namespace {

using kxtest::BytesEqual;
using kxtest::SimSandbox;
using kxtest::TestDevice;

// One command: the record, and its comment line without "\r\n".
struct Cmd {
    std::string record;
    std::string comment;
};

class DeviceParam : public ::testing::Test {
protected:
    SimSandbox sandbox;
    TestDevice device;
    KX_DEVMODE& dm = device.devmode;
    DruckDaten& data = device.data;
    Treiberstrukturen& ts = device.settings;

    void SetUp() override
    {
        ASSERT_TRUE(kx::plat::CreateDirectory(u"C:\\out"));
        device.SetPrnFileName(u"C:\\out\\job");
        ASSERT_TRUE(kx::OpenPrnFile(0, &device.pdev, FALSE));
        data.dwPage = 1;
        Comments(false);
    }
    void Comments(bool on) { device.iface().dwPrnFileComment = on ? 1 : 2; }
    std::string File(const char16_t* name = u"C:\\out\\job.prn")
    {
        device.CloseFiles();
        return SimSandbox::ReadHostFile(sandbox.HostPath(name));
    }
    // Spooler: the records back to back; print file: each record with its
    // comment line, or with a bare "\r\n" when comments are off.
    void Expect(const std::vector<Cmd>& cmds, bool comments = false)
    {
        std::string spool, file;
        for (const Cmd& c : cmds) {
            spool += c.record;
            file += c.record + (comments ? c.comment : "") + "\r\n";
        }
        EXPECT_TRUE(BytesEqual(spool, device.uni.spool));
        EXPECT_TRUE(BytesEqual(file, File()));
    }
    void Cutter(DWORD mode, DWORD control = 1)
    {
        data.dwAusstattung = P_OPTIONS_CUTTER | P_OPTIONS_CUTTER_MODE;
        ts.dwFeature[FEATURE_CUTTER] = 0x1F;
        dm.cutter_dwMode = mode;
        dm.cutter_wControlMode = static_cast<WORD>(control);
        dm.cutter_dwInterval = 3;
        dm.cutter_lOffset = 25;
        dm.cutter_lDoubleCut = 12;
        dm.cutter_lCutWidth = 25;
    }
    BOOL Devmode() { return kx::SendDevmodePrinterParam(device.dev(), &device.uni, &dm); }
};

TEST_F(DeviceParam, CutterModeFourWithCommentsInThePrintFileOnly)
{
    Comments(true);
    Cutter(4);
    dm.cutter_wIntervalReset = 1;
    EXPECT_TRUE(Devmode());
    Expect({{"^FCDD--r4-------_", "\t// Cuttermode  4 "},
            {"^FBBDA-r--------_", "\t// Cutter Intervall Reset 1 "},
            {"^FBBD--r0003----_", "\t// Cutter Intervall  3 "},
            {"^FCSCA-r+025----_", "\t// Cutteroffset  25 "},
            {"^FCSCB-r+012----_", "\t// Doublecut 12 "},
            {"^FCSCC-r003-----_", "\t// Cutwidth 3 "},
            {"^FCSCD-r1-------_", "\t// Cutter Control-Flag 1 "}},
           true);
    EXPECT_EQ(ts.dwDialogeEnable, DIALOG_CUTTER);
}

struct CutterCase {
    const char* name;
    DWORD mode, control, devopt, multipage;
    std::vector<std::string> records;
};

class CutterModes : public DeviceParam, public ::testing::WithParamInterface<CutterCase> {};

TEST_P(CutterModes, SendsTheAdjustedMode)
{
    const CutterCase& c = GetParam();
    Cutter(c.mode, c.control);
    ts.dwDeviceOptionFlags = c.devopt;
    data.bMultiPage = c.multipage;
    EXPECT_TRUE(Devmode());
    std::vector<Cmd> cmds;
    for (const std::string& r : c.records) cmds.push_back({r, ""});
    Expect(cmds);
    EXPECT_EQ(ts.dwDialogeEnable, DIALOG_CUTTER);  // mode 8 too
}

const std::string kOffset = "^FCSCA-r+025----_";
const std::string kDouble = "^FCSCB-r+012----_";
const std::string kWidth = "^FCSCC-r003-----_";
INSTANTIATE_TEST_SUITE_P(
    Table, CutterModes,
    ::testing::Values(
        CutterCase{"interval_with_control",
                   4,
                   1,
                   0,
                   0,
                   {"^FCDD--r4-------_", "^FBBD--r0003----_", kOffset, kDouble, kWidth,
                    "^FCSCD-r1-------_"}},
        CutterCase{"interval_without_control_becomes_5",
                   4,
                   0,
                   0,
                   0,
                   {"^FCDD--r5-------_", "^FBBD--r0003----_", kOffset, kDouble, kWidth,
                    "^FCSCD-r0-------_"}},
        CutterCase{"interval_5",
                   5,
                   1,
                   0,
                   0,
                   {"^FCDD--r5-------_", "^FBBD--r0003----_", kOffset, kDouble, kWidth,
                    "^FCSCD-r1-------_"}},
        CutterCase{"six_without_combination_forced_to_0_keeps_offset",
                   6,
                   1,
                   0,
                   0,
                   {"^FCDD--r0-------_", kOffset}},
        CutterCase{"six_with_combination",
                   6,
                   1,
                   0x40000,
                   0,
                   {"^FCDD--r6-------_", kOffset, kDouble, kWidth, "^FCSCD-r1-------_"}},
        CutterCase{"seven_becomes_6",
                   7,
                   1,
                   0,
                   0,
                   {"^FCDD--r6-------_", kOffset, kDouble, kWidth, "^FCSCD-r1-------_"}},
        CutterCase{"seven_multipage_becomes_6",
                   7,
                   1,
                   0,
                   1,
                   {"^FCDD--r6-------_", kOffset, kDouble, kWidth, "^FCSCD-r1-------_"}},
        CutterCase{"four_multipage_stays_4",
                   4,
                   0,
                   0,
                   1,
                   {"^FCDD--r4-------_", "^FBBD--r0003----_", kOffset, kDouble, kWidth,
                    "^FCSCD-r0-------_"}},
        CutterCase{"eight_printer_setting_sends_nothing", 8, 1, 0, 0, {}},
        CutterCase{"zero_sends_the_mode_only", 0, 1, 0, 0, {"^FCDD--r0-------_"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceParam, CutterSignedFieldsAndWidthRounding)
{
    Cutter(1);
    dm.cutter_lOffset = -25;
    dm.cutter_lDoubleCut = -5;
    const struct {
        LONG width;
        const char* field;
    } widths[] = {{25, "003"}, {-25, "-03"}, {24, "002"}, {-24, "-02"}, {1200, "120"}, {-4, "000"}};
    for (const auto& w : widths) {
        device.uni.spool.clear();
        dm.cutter_lCutWidth = w.width;
        EXPECT_TRUE(Devmode());
        EXPECT_TRUE(BytesEqual(std::string("^FCDD--r1-------_^FCSCA-r+-25----_^FCSCB-r+-05----_") +
                                   "^FCSCC-r" + w.field + "-----_^FCSCD-r1-------_",
                               device.uni.spool))
            << w.width;
    }
}

TEST_F(DeviceParam, CutterOffsetFormsAndEquipment)
{
    Cutter(1);
    ts.dwFeature[FEATURE_CUTTER] = FEATURE_CUTTER_MODE;  // common offset record only
    dm.cutter_bAltOffset = 1;
    dm.cutter_lAltOffset = 40;
    EXPECT_TRUE(Devmode());
    EXPECT_EQ(device.uni.spool, "^FCDD--r1-------_^FCCC--r+040----_");

    // Without the mode equipment the mode is forced to 0 and no dialog bit is set.
    device.uni.spool.clear();
    ts.dwDialogeEnable = 0;
    data.dwAusstattung = P_OPTIONS_CUTTER;
    EXPECT_TRUE(Devmode());
    EXPECT_EQ(device.uni.spool, "^FCDD--r0-------_");
    EXPECT_EQ(ts.dwDialogeEnable, 0u);

    // Mode "none" sends nothing at all.
    device.uni.spool.clear();
    kx::CUTTER_PARAM none = kx::CutterParam(dm);
    none.dwMode = 0xFFFFFFFF;
    EXPECT_EQ(kx::SendCutterParam(device.dev(), &device.uni, &none), S_OK);
    EXPECT_EQ(device.uni.spool, "");
}

TEST_F(DeviceParam, DispenserModesAndTheActiveCutter)
{
    Comments(true);
    data.dwAusstattung = P_OPTIONS_DISPENSER;
    ts.dwFeature[FEATURE_DISPENSER] = FEATURE_DISPENSER_SEPARATE_OFFSET;
    dm.dispenser_dwMode = 2;
    dm.dispenser_dwPhotocellLevel = 30;
    dm.dispenser_lOffset = 10;
    dm.dispenser_dwStartDelay = 110;
    EXPECT_TRUE(Devmode());
    Expect({{"^FCDC--r2-------_", "\t// Dispenser Mode2 "},
            {"^FCCF--r+30-----_", "\t// Dispenser PhotocellLevel30 "},
            {"^FCSDA-r+010----_", "\t// Dispenser extra Offset10 "},
            {"^FCSDD-r110-----_", "\t// Dispenser Start signal delay110 "}},
           true);
    EXPECT_EQ(ts.dwDialogeEnable, DIALOG_DISPENSER);
}

TEST_F(DeviceParam, DispenserGatingAndPrinterSetting)
{
    data.dwAusstattung = P_OPTIONS_DISPENSER | P_OPTIONS_CUTTER | P_OPTIONS_CUTTER_MODE;
    dm.cutter_dwMode = 1;
    dm.cutter_lOffset = 200;
    dm.dispenser_dwMode = 3;
    dm.dispenser_lOffset = 10;
    dm.dispenser_dwStartDelay = 110;
    // An active cutter turns the dispenser off unless the two work together.
    EXPECT_TRUE(Devmode());
    EXPECT_EQ(device.uni.spool, "^FCDD--r1-------_^FCCC--r+200----_^FCDC--r0-------_");

    device.uni.spool.clear();
    ts.dwDeviceOptionFlags = DEVOPTFLAG_CUTTER_DISPENSER;
    ts.dwFeature[FEATURE_DISPENSER] = FEATURE_DISPENSER_NO_LEVEL;
    EXPECT_TRUE(Devmode());
    EXPECT_EQ(device.uni.spool,
              "^FCDD--r1-------_^FCCC--r+200----_^FCDC--r3-------_^FCCC--r+010----_"
              "^FCSDD-r110-----_");

    // Mode 7 keeps the printer's setting: nothing, but the dialog bit.
    device.uni.spool.clear();
    data.dwAusstattung = P_OPTIONS_DISPENSER;
    ts.dwDialogeEnable = 0;
    dm.dispenser_dwMode = 7;
    EXPECT_TRUE(Devmode());
    EXPECT_EQ(device.uni.spool, "");
    EXPECT_EQ(ts.dwDialogeEnable, DIALOG_DISPENSER);
}

TEST_F(DeviceParam, ScannerBothFormsAndItsComments)
{
    Comments(true);
    data.dwAusstattung = P_OPTIONS_SCANNER | P_OPTIONS_SCANNER_MODE;
    dm.scanner_dwMode = 4;  // counts as 1
    dm.scanner_dwPort = 2;
    dm.scanner_dwNoReads = 3;
    dm.scanner_dwFeedLabels = 0;  // read as 1
    dm.scanner_dwOffset = 125;
    dm.scanner_dwLength = 300;
    dm.scanner_dwScanMode = 1;
    dm.scanner_dwDelay = 50;
    dm.scanner_dwTimeout = 2000;
    EXPECT_TRUE(Devmode());
    Expect({{"^FCDM--r1220----_", "\t// ScannerMode 1"},
            {"^FCDMA-r0125----_", "\t// Scan offset12.5 mm"},
            {"^FCDMB-r0300----_", "\t// Scan lenght30.0 mm"},
            {"^FCDMC-r1-------_", "\t// Scan mode1 "},
            {"^FCDMD-r0050----_", "\t// Scan delay50 ms \n"},
            {"^FCDME-r2000----_", "\t// Scan timeout2000 "}},
           true);
    EXPECT_EQ(ts.dwDialogeEnable, DIALOG_SCANNER);
}

TEST_F(DeviceParam, ScannerShortFormModeEquipmentAndPrinterSetting)
{
    data.dwAusstattung = P_OPTIONS_SCANNER | P_OPTIONS_SCANNER_MODE;
    dm.scanner_dwMode = 2;
    dm.scanner_dwPort = 1;
    dm.scanner_dwNoReads = 0;  // the second form
    dm.scanner_dwFeedLabels = 2;
    EXPECT_TRUE(Devmode());
    EXPECT_EQ(device.uni.spool.substr(0, 17), "^FCDM--r21-1----_");
    EXPECT_EQ(device.uni.spool.size(), 6 * 17u);

    // Without the mode equipment the mode digit is 0 and nothing follows.
    device.uni.spool.clear();
    data.dwAusstattung = P_OPTIONS_SCANNER;
    EXPECT_TRUE(Devmode());
    EXPECT_EQ(device.uni.spool, "^FCDM--r01-1----_");

    device.uni.spool.clear();
    dm.scanner_dwMode = 5;
    EXPECT_TRUE(Devmode());
    EXPECT_EQ(device.uni.spool, "");
    EXPECT_EQ(ts.dwDialogeEnable, DIALOG_SCANNER);
}

TEST_F(DeviceParam, ApplicatorAllThirteenOrNone)
{
    data.dwAusstattung = P_OPTIONS_APPLICATOR;
    dm.applicator_dwMode = 1;
    dm.applicator_dwApplicationMode = 2;
    dm.applicator_dwDelayAirOn = 0;
    dm.applicator_dwDelayAirOff = 500;
    dm.applicator_dwVacuumControl = 1;
    dm.applicator_dwBlowTime = 100;
    dm.applicator_dwWaitPosition = 1;
    dm.applicator_dwEnrolTime = 20;
    dm.applicator_dwCleaningTime = 100;
    dm.applicator_dwTimeoutHub = 3000;
    dm.applicator_dwPressureControl = 1;
    dm.applicator_dwPressureTime = 50;
    dm.applicator_dwVacuumDelay = 7;
    EXPECT_TRUE(Devmode());
    EXPECT_TRUE(
        BytesEqual("^FCPA--r1-------_^FCPB--r2-------_^FCPC--r0000----_^FCPD--r0500----_"
                   "^FCPE--r1-------_^FCPF--r0100----_^FCPG--r1-------_^FCPH--r0020----_"
                   "^FCPK--r0100----_^FCPL--r3000----_^FCPM--r1-------_^FCPN--r0050----_"
                   "^FCPO--r0007----_",
                   device.uni.spool));

    device.uni.spool.clear();
    dm.applicator_dwMode = 4;
    EXPECT_TRUE(Devmode());
    EXPECT_EQ(device.uni.spool, "");
    EXPECT_EQ(ts.dwDialogeEnable, DIALOG_APPLICATOR);
}

TEST_F(DeviceParam, PrintModulesShortAndExtendedForms)
{
    ts.dwFeature[FEATURE_KRM] = 0x3D9;
    ts.dwFeature[FEATURE_KRMC] = FEATURE_KRMC_OFFSET | FEATURE_KRMC_CYCLE;
    dm.krm_dwServicePosition = 12;
    dm.krm_dwBackSpeed = 5;
    dm.krm_dwMode = 2;
    dm.krm_dwCycle = 3;
    dm.krm_dwPrintPosition = 1500;
    dm.krm_dwOffset = 125;
    dm.krm_dwRibbonSpeed = 80;
    dm.krmc_dwMode = 1;
    dm.krmc_dwOffset = 200;
    dm.krmc_dwOffsetZusatz = 1;
    dm.krmc_dwCycle = 4;
    const std::string krmi =
        "^FCADD-r0120----_^FCADG-r005-----_^FCADH-r2-------_^FCADI-r03------_"
        "^FCADK-r01500---_";
    const std::string krmc = "^FCDC--r1-------_^FCADLAr00200--1_^FCADI-r04------_";

    // Without the print-module family: KRM-i in the short offset form, then KRM-c.
    data.dwOptionen2 = P_OPTIONS_KRMI | P_OPTIONS_KRMC;
    EXPECT_TRUE(Devmode());
    EXPECT_TRUE(BytesEqual(krmi + "^FCADL-r0125----_^FCADM-r080-----_" + krmc, device.uni.spool));
    EXPECT_EQ(ts.dwDialogeEnable, DIALOG_KRM | DIALOG_KRMC);

    // The family: the module type picks one, in the extended form.
    device.uni.spool.clear();
    data.dwOptionen2 |= P_OPTIONS_LUMETRA;
    data.dwModulTyp = 1;
    EXPECT_TRUE(Devmode());
    EXPECT_TRUE(
        BytesEqual(krmi + "^FCADLAr00125--0_^FCADM-r080-----_^FCADO-r0-------_", device.uni.spool));
    device.uni.spool.clear();
    data.dwModulTyp = 0;
    EXPECT_TRUE(Devmode());
    EXPECT_TRUE(BytesEqual(krmc + "^FCADO-r1-------_", device.uni.spool));

    // A recall job skips KRM-i.
    device.uni.spool.clear();
    data.dwModulTyp = 1;
    data.bKeineGerParam = 1;
    EXPECT_TRUE(Devmode());
    EXPECT_EQ(device.uni.spool, "");
}

TEST_F(DeviceParam, BellmarkWithAndWithoutItsMask)
{
    Comments(true);
    data.dwOptionen2 = P_OPTIONS_BELLMARK;
    ts.dwFeature[FEATURE_BELLMARK] = 0x2070;
    dm.bellmark_dwSendMask = BMFLAG_REQUIRED;
    dm.bellmark_dwFirstLabelOffset = 15;
    dm.bellmark_dwGap = 3;
    dm.bellmark_dwLanes = 4;
    dm.bellmark_dwWASRow = 1;
    dm.bellmark_dwWASHost = 2;
    dm.bellmark_dwWASOffset = 3;
    EXPECT_TRUE(Devmode());
    Expect({{"^FCNB--r000150--_", "\t// First Label Offset 15 "},
            {"^FCCM--r00030---_", "\t// Gap 30 "},
            {"^FCNA--r04------_", "\t// Lanes 4 "},
            {"^FCNWMRr001-----_", "\t// WAS row 1 "},
            {"^FCNWMDr0002----_", "\t// WAS host 2 "},
            {"^FCNWMOr0003----_", "\t// WAS offset 3 "}},
           true);
}

TEST_F(DeviceParam, BellmarkMaskVariants)
{
    data.dwOptionen2 = P_OPTIONS_BELLMARK;
    ts.dwFeature[FEATURE_BELLMARK] = 0x70;
    dm.bellmark_dwGap = 3;
    dm.bellmark_dwLanes = 4;
    const struct {
        DWORD mask;
        DWORD skip;
        const char* spool;
    } cases[] = {
        {0x11, 0, "^FCNB--r000000--_^FCCM--r00030---_^FCNA--r04------_"},
        {0x13, 0, "^FCCM--r00030---_^FCNA--r04------_"},  // first label offset: exactly 0x11
        {0x10, 0, ""},
        {0x01, 0, ""},
        {0x00, 0, ""},
        {0x11, 1, ""},  // recall job
    };
    for (const auto& c : cases) {
        device.uni.spool.clear();
        dm.bellmark_dwSendMask = c.mask;
        data.bKeineBellmarkParam = c.skip;
        EXPECT_TRUE(Devmode());
        EXPECT_EQ(device.uni.spool, c.spool) << c.mask;
    }
}

TEST_F(DeviceParam, PhotocellShiftOptimisationAndPwm)
{
    Comments(true);
    PRINTER_PARAM pp{};
    pp.dwFeatures[FEATURE_PHOTOCELL] = FEATURE_PHOTOCELL_TYPE | FEATURE_PHOTOCELL_RIBBON_CONTROL;
    pp.dwFeatures[FEATURE_SHIFTOPTIM] = FEATURE_SHIFTOPTIM_MODE;
    pp.photocellParam.dwPhotocellType = 3;
    pp.photocellParam.dwRibbonControl = 2;
    pp.photocellParam.wRibbonSave = 2;
    pp.shiftOptimParam = {-12, 35, -7, 2, 0, 0, 0};
    ts.dwDeviceOptionFlags = DEVOPTFLAG_RIBBON_SAVE;
    dm.wEtikettenLSEnable = 1;
    dm.PWMwertLS = 7;
    EXPECT_TRUE(kx::SendPrinterParam(device.dev(), &device.uni, &pp));
    Expect({{"^FCDE--r3-------_", "\t// Photocell Type  3 "},
            {"^FCDB--r11------_", "\t// Ribbon-Control On - Strong "},
            {"^FCDJ--r1-------_", "\t// Ribbon Save on "},
            {"^FCDRFCr-0012---_", "\t// R correction  -12 "},
            {"^FCDRSXr+00035--_", "\t// X Shift  3.5 "},
            {"^FCDRSYr-00007--_", "\t// Y Shift  -0.7 "},
            {"^FCDRSRr000002--_", "\t// lanes  2 "},
            {"^FCDRSZr+00000--_", "\t// R Shift  0.0 "},
            {"^FCDEB-r007-----_", "\t// PWM 7 "}},
           true);
    EXPECT_EQ(ts.dwDialogeEnable, DIALOG_PHOTOCELL | DIALOG_SHIFTOPTIM);
}

TEST_F(DeviceParam, RibbonControlDigitsAndLimits)
{
    PRINTER_PARAM pp{};
    const struct {
        DWORD features, docFeatures;
        LONG r;
        const char* spool;
    } cases[] = {
        {0x2, 0, 0, "^FCDB--r00------_"},      {0x2, 0, 1, "^FCDB--r10------_"},
        {0x2, 0, 2, "^FCDB--r11------_"},      {0x2, 0, 3, ""},
        {0x10, 0, 1, "^FCDB--r11------_"},     {0x10, 0, 2, ""},
        {0x2, 0x8000, 2, "^FCDB--r00------_"}, {0x2, 0, -1, ""},
    };
    for (const auto& c : cases) {
        device.uni.spool.clear();
        pp.dwFeatures[FEATURE_PHOTOCELL] = c.features;
        data.dwDocFeatures = c.docFeatures;
        pp.photocellParam.dwRibbonControl = c.r;
        EXPECT_EQ(kx::SendPhotocellParam(device.dev(), &device.uni, &pp), S_OK);
        EXPECT_EQ(device.uni.spool, c.spool) << c.features << " " << c.r;
    }
}

TEST_F(DeviceParam, PrinterParamOnlyOnTheFirstPageAndNotWhenToldSo)
{
    PRINTER_PARAM pp{};
    pp.dwFeatures[FEATURE_SHIFTOPTIM] = 1;
    pp.shiftOptimParam.bNichtSenden = 1;
    EXPECT_TRUE(kx::SendPrinterParam(device.dev(), &device.uni, &pp));
    EXPECT_EQ(device.uni.spool, "");
    EXPECT_EQ(ts.dwDialogeEnable, 0u);

    pp.shiftOptimParam.bNichtSenden = 0;
    data.dwPage = 2;
    EXPECT_TRUE(kx::SendPrinterParam(device.dev(), &device.uni, &pp));
    EXPECT_EQ(device.uni.spool, "");
}

TEST_F(DeviceParam, DeviceSettingsByFeature)
{
    Comments(true);
    ts.dwFeature[FEATURE_PHOTOCELL] = FEATURE_PHOTOCELL_SCANPOSITION;
    ts.dwFeature[FEATURE_PRINT] = FEATURE_PRINT_LABELCHANGE | FEATURE_PRINT_TEAROFF_OFFSET;
    dm.wScanPosition = 10;
    dm.wLabelChange = 3;
    dm.TearOffOffset = 0xFFCE;  // -50 as the settings file stores it
    EXPECT_EQ(kx::SendDeviceSettingsParam(device.dev(), &device.uni, &dm), S_OK);
    Expect({{"^FCDEA-r10------_", "\t// Label Scanposition 10 %"},
            {"^FCSDFCr1-------_", "\t// Label change1 "},
            {"^FCCG--r+-50----_", "\t// TearOff Offset-5.0 mm "}},
           true);
}

TEST_F(DeviceParam, DeviceSettingsNeedTheirFeatures)
{
    dm.wScanPosition = 10;
    dm.TearOffOffset = 120;
    EXPECT_EQ(kx::SendDeviceSettingsParam(device.dev(), &device.uni, &dm), S_OK);
    EXPECT_EQ(device.uni.spool, "");
    ts.dwFeature[FEATURE_PRINT] = FEATURE_PRINT_TEAROFF_OFFSET;
    EXPECT_EQ(kx::SendDeviceSettingsParam(device.dev(), &device.uni, &dm), S_OK);
    Expect({{"^FCCG--r+120----_", ""}});
}

TEST_F(DeviceParam, SplitPrintFileTakesTheRecordsInTheSecondFile)
{
    device.CloseFiles();
    dm.wSplitPrnFile = 1;
    ASSERT_TRUE(kx::OpenPrnFile(1, &device.pdev, FALSE));
    Comments(true);
    data.dwAusstattung = P_OPTIONS_CUTTER;
    EXPECT_TRUE(Devmode());
    EXPECT_EQ(device.uni.spool, "^FCDD--r0-------_");
    EXPECT_EQ(File(u"C:\\out\\job_col.prn"), "^FCDD--r0-------_");
    EXPECT_EQ(File(u"C:\\out\\job_bw.prn"), "\t// Cuttermode  0 \r\n");
}

TEST_F(DeviceParam, AFailedWriteStopsItsSenderOnly)
{
    Cutter(1);
    data.dwAusstattung |= P_OPTIONS_SCANNER;
    device.uni.failWrites = true;
    EXPECT_FALSE(Devmode());
    EXPECT_EQ(device.uni.writeCalls, 2);  // the first record of each sender
    EXPECT_EQ(ts.dwDialogeEnable, DIALOG_CUTTER | DIALOG_SCANNER);
}

TEST_F(DeviceParam, MissingJobStructuresOrRecords)
{
    TestDevice idle(false);
    kx::CUTTER_PARAM c{};
    EXPECT_FALSE(kx::SendDevmodePrinterParam(idle.dev(), &idle.uni, &idle.devmode));
    EXPECT_FALSE(kx::SendPrinterParam(idle.dev(), &idle.uni, nullptr));
    EXPECT_EQ(kx::SendDeviceSettingsParam(idle.dev(), &idle.uni, &idle.devmode), E_FAIL);
    EXPECT_EQ(kx::SendCutterParam(idle.dev(), &idle.uni, &c), E_FAIL);
    EXPECT_EQ(kx::SendCutterParam(device.dev(), &device.uni, nullptr), E_FAIL);
    EXPECT_FALSE(kx::SendDevmodePrinterParam(device.dev(), &device.uni, nullptr));
    EXPECT_EQ(kx::SendBellmarkParam(nullptr, &device.uni, nullptr), E_FAIL);
    EXPECT_EQ(idle.uni.writeCalls + device.uni.writeCalls, 0);
}

}  // namespace
