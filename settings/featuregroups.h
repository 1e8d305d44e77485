// The feature list of a printer: MAX_FEATURES words, one per group of the
// printer's equipment, each bit one capability. The settings file names the
// groups and their bits; this table is the one list of those names, read by
// the XML reader and by kxrender's job files.
#pragma once

#include <span>

#include "core/printerparam.h"
#include "platform/kxtypes.h"

namespace kx {

struct FeatureBit {
    const char16_t* pwElement;  // the element's name in the group's section
    DWORD dwBit;
    bool bSetWhenMissing = false;  // set when the group is there without this element
};

struct FeatureGroup {
    int index;  // word of the feature list
    const char16_t* pwSection;
    std::span<const FeatureBit> bits;  // the first bit tells whether the group is there
};

namespace feature_bits {
inline constexpr FeatureBit kInterface[] = {
    {u"Compression", FEATURE_INTERFACE_COMPRESSION},
    {u"Extended_Prot", FEATURE_INTERFACE_EXTENDED_PROT},
    {u"Queue_Job", FEATURE_INTERFACE_QUEUE_JOB},
    {u"Jobname", FEATURE_INTERFACE_JOBNAME},
    {u"Codepage", FEATURE_INTERFACE_CODEPAGE},
    {u"Clear_Print_Mem", FEATURE_INTERFACE_CLEAR_PRINT_MEM},
    {u"ContLabel", FEATURE_INTERFACE_CONTLABEL},
    {u"Userdef_SOHETB", FEATURE_INTERFACE_USERDEF_SOHETB},
    // The one bit that a group which is there has even without its
    // element: only an explicit value other than 1 clears it.
    {u"Extended_Codepage", FEATURE_INTERFACE_EXTENDED_CODEPAGE, true},
    {u"BM_Jobname", FEATURE_INTERFACE_BM_JOBNAME},
};
inline constexpr FeatureBit kPrint[] = {
    {u"Y_Offset", FEATURE_PRINT_Y_OFFSET},
    {u"X_Offset", FEATURE_PRINT_X_OFFSET},
    {u"Tearoff_Offset", FEATURE_PRINT_TEAROFF_OFFSET},
    {u"Contrast", FEATURE_PRINT_CONTRAST},
    {u"Speed", FEATURE_PRINT_SPEED},
    {u"Speed_10_Step", FEATURE_PRINT_SPEED_10_STEP},
    {u"Labelchange", FEATURE_PRINT_LABELCHANGE},
};
inline constexpr FeatureBit kPhotocell[] = {
    {u"Type", FEATURE_PHOTOCELL_TYPE},
    {u"Ribbon_Control", FEATURE_PHOTOCELL_RIBBON_CONTROL},
    {u"Sensibility", FEATURE_PHOTOCELL_SENSIBILITY},
    {u"Scanposition", FEATURE_PHOTOCELL_SCANPOSITION},
    {u"Ribbon_Cont_2", FEATURE_PHOTOCELL_RIBBON_CONT_2},
    {u"Normal_2", FEATURE_PHOTOCELL_NORMAL_2},
    {u"Ultrasonic", FEATURE_PHOTOCELL_ULTRASONIC},
    {u"Reflexion", FEATURE_PHOTOCELL_REFLEXION},
    {u"Ribbon_Save", FEATURE_PHOTOCELL_RIBBON_SAVE},
};
inline constexpr FeatureBit kDispenser[] = {
    {u"On", FEATURE_DISPENSER_ON},
    {u"IO_Static", FEATURE_DISPENSER_IO_STATIC},
    {u"IO_Dynamic", FEATURE_DISPENSER_IO_DYNAMIC},
    {u"Photocell", FEATURE_DISPENSER_PHOTOCELL},
    {u"Continous", FEATURE_DISPENSER_CONTINOUS},
    {u"Separate_Offset", FEATURE_DISPENSER_SEPARATE_OFFSET},
    {u"No_Offset", FEATURE_DISPENSER_NO_OFFSET},
    {u"No_Level", FEATURE_DISPENSER_NO_LEVEL},
};
inline constexpr FeatureBit kCutter[] = {
    {u"Mode", FEATURE_CUTTER_MODE},           {u"Double_Cut", FEATURE_CUTTER_DOUBLE_CUT},
    {u"Cut_Width", FEATURE_CUTTER_CUT_WIDTH}, {u"Separate_Offset", FEATURE_CUTTER_SEPARATE_OFFSET},
    {u"Control", FEATURE_CUTTER_CONTROL},
};
inline constexpr FeatureBit kScanner[] = {
    {u"Mode", FEATURE_SCANNER_MODE},
    {u"Ports_2", FEATURE_SCANNER_PORTS_2},
};
inline constexpr FeatureBit kKRM[] = {
    {u"ServicePnt", FEATURE_KRM_SERVICEPNT},
    {u"Backspeed", FEATURE_KRM_BACKSPEED},
    {u"Mode", FEATURE_KRM_MODE},
    {u"Condition", FEATURE_KRM_CONDITION},
    {u"Cycle", FEATURE_KRM_CYCLE},
    {u"Offset", FEATURE_KRM_OFFSET},
    {u"Ribbonspeed", FEATURE_KRM_RIBBONSPEED},
    {u"Printposition", FEATURE_KRM_PRINTPOSITION},
};
inline constexpr FeatureBit kKRMC[] = {
    {u"IO_Static", FEATURE_KRMC_IO_STATIC}, {u"IO_Dynamic", FEATURE_KRMC_IO_DYNAMIC},
    {u"Continous", FEATURE_KRMC_CONTINOUS}, {u"Offset", FEATURE_KRMC_OFFSET},
    {u"Cycle", FEATURE_KRMC_CYCLE},
};
inline constexpr FeatureBit kApplicator[] = {
    {u"Mode", FEATURE_APPLICATOR_MODE},
};
inline constexpr FeatureBit kShiftoptim[] = {
    {u"Mode", FEATURE_SHIFTOPTIM_MODE},     {u"RCorrection", FEATURE_SHIFTOPTIM_RCORRECTION},
    {u"XShift", FEATURE_SHIFTOPTIM_XSHIFT}, {u"YShift", FEATURE_SHIFTOPTIM_YSHIFT},
    {u"Lanes", FEATURE_SHIFTOPTIM_LANES},   {u"RShift", FEATURE_SHIFTOPTIM_RSHIFT},
};
}  // namespace feature_bits

// The groups in the order the reader looks for them. Sections are found as
// substrings: "KRM" must stand before "KRMC" in the file, or the KRM group
// reads the KRMC section.
inline constexpr FeatureGroup kFeatureGroups[] = {
    {FEATURE_INTERFACE, u"Interface", feature_bits::kInterface},
    {FEATURE_PRINT, u"Print", feature_bits::kPrint},
    {FEATURE_PHOTOCELL, u"Photocell", feature_bits::kPhotocell},
    {FEATURE_DISPENSER, u"Dispenser", feature_bits::kDispenser},
    {FEATURE_CUTTER, u"Cutter", feature_bits::kCutter},
    {FEATURE_SCANNER, u"Scanner", feature_bits::kScanner},
    {FEATURE_KRM, u"KRM", feature_bits::kKRM},
    {FEATURE_KRMC, u"KRMC", feature_bits::kKRMC},
    {FEATURE_APPLICATOR, u"Applicator", feature_bits::kApplicator},
    {FEATURE_SHIFTOPTIM, u"Shiftoptim", feature_bits::kShiftoptim},
};

}  // namespace kx
