// Interface parameters: the printer parameter record from the registry, and
// the job-start step with its recall detection, multi-page and
// clear-memory commands, device parameters and prefix section 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/format.h"
#include "core/output.h"
#include "diag/logfile.h"
#include "options/deviceparam.h"
#include "options/prefixsuffix.h"
#include "settings/registry.h"
#include "support/device.h"

namespace {

using kxtest::BytesEqual;
using kxtest::SimSandbox;
using kxtest::TestDevice;
namespace plat = kx::plat;

constexpr char16_t kPrinter[] = u"KX Test Printer";

class InterfaceParam : public kxtest::PrintFileTest {
protected:
    HANDLE hPrinter = nullptr;
    std::u16string userKey = kx::UserRegKey(kPrinter);

    void SetUp() override
    {
        plat::sim::PrinterSetup printer;
        printer.name = kPrinter;
        printer.driverName = u"KX 4-203";
        plat::sim::AddPrinter(printer);
        ASSERT_EQ(plat::OpenPrinter(kPrinter, &hPrinter), 0u);
        device.devobj.hPrinter = hPrinter;
        kx::BuildRegistryKeys(kPrinter, device.files.szRegKey, device.files.szHLMRegKey);
        kx::Copy(device.files.szPlugInVersion, sizeof(device.files.szPlugInVersion),
                 "2.66.0.0 - 0612.2026.0514");
        OpenPrintFile();
        device.iface().dwPrnFileComment = 2;
    }
    void TearDown() override { plat::ClosePrinter(hPrinter); }

    void Job(const std::u16string& document, DWORD totalPages = 3)
    {
        plat::JobInfo job;
        job.jobId = 7;
        job.document = document;
        job.totalPages = totalPages;
        plat::sim::SetJob(kPrinter, job);
        device.pdev.dwJobId = 7;
    }
    void PutUser(const char16_t* name, const void* data, DWORD cb, DWORD type = plat::kRegBinary)
    {
        ASSERT_EQ(plat::RegSetValue(plat::Hive::CurrentUser, userKey, name, type, data, cb), 0u);
    }
    void PutMachine(const char16_t* name, const void* data, DWORD cb)
    {
        ASSERT_EQ(plat::SetPrinterDataEx(hPrinter, u"PrinterDriverData", name, plat::kRegBinary,
                                         data, cb),
                  0u);
    }
    void UserVersion(const char16_t* version)
    {
        PutUser(u"DriverVersion", version, static_cast<DWORD>((kx::Length(version) + 1) * 2),
                plat::kRegSz);
    }
};

TEST_F(InterfaceParam, RecordFromTheUserWhenTheVersionMatches)
{
    device.settings.dwFeature[FEATURE_INTERFACE] = 1;
    device.settings.dwFeature[FEATURE_PHOTOCELL] = 1;
    device.settings.dwFeature[FEATURE_SHIFTOPTIM] = 1;
    PHOTOCELL_PARAM user{}, machine{};
    user.dwPhotocellType = 4;
    machine.dwPhotocellType = 2;
    PutUser(u"PhotocellParam", &user, sizeof(user));
    PutMachine(u"PhotocellParam", &machine, sizeof(machine));
    // Only 12 of 28 bytes per machine (an older layout), a longer interface record per user.
    const LONG shift[3] = {-1, 20, 30};
    PutMachine(u"ShiftOptimParam", shift, sizeof(shift));
    std::vector<BYTE> iface(PRN_INTERFACE_SIZE + 10, 0);
    iface[28] = 3;
    PutUser(u"PrinterInterface", iface.data(), static_cast<DWORD>(iface.size()));
    UserVersion(u"Version 2.66.0.0");

    PRINTER_PARAM pp;
    std::memset(&pp, 0xAB, sizeof(pp));
    EXPECT_TRUE(kx::GetPrinterParam(&device.pdev, hPrinter, &pp));
    EXPECT_EQ(device.settings.bVersionIdentisch, 1u);
    EXPECT_EQ(pp.dwSize, PRINTER_PARAM_SIZE);
    EXPECT_EQ(pp.dwFeatures[FEATURE_PHOTOCELL], 1u);
    EXPECT_EQ(pp.photocellParam.dwPhotocellType, 4);
    EXPECT_EQ(pp.prnInterface.dwPrnFileComment, 3u);
    EXPECT_EQ(pp.shiftOptimParam.lRCorrection, -1);  // per machine: no user value
    EXPECT_EQ(pp.shiftOptimParam.lYShift, 30);
    EXPECT_EQ(pp.shiftOptimParam.lLanes, 0);  // the rest of the record stays zero
    EXPECT_EQ(pp.reserved2292[0], 0);

    // Another version: the printer's data wins (which has no interface record).
    UserVersion(u"2.65.0.0");
    EXPECT_FALSE(kx::GetPrinterParam(&device.pdev, hPrinter, &pp));
    EXPECT_EQ(device.settings.bVersionIdentisch, 0u);
    EXPECT_EQ(pp.photocellParam.dwPhotocellType, 2);
    EXPECT_EQ(pp.prnInterface.dwPrnFileComment, 0u);
}

TEST_F(InterfaceParam, RecordReadsOnlyWhatTheFeaturesEnable)
{
    PHOTOCELL_PARAM pc{};
    pc.dwPhotocellType = 4;
    PutMachine(u"PhotocellParam", &pc, sizeof(pc));
    PRINTER_PARAM pp{};
    EXPECT_TRUE(kx::GetPrinterParam(&device.pdev, hPrinter, &pp));
    EXPECT_EQ(pp.photocellParam.dwPhotocellType, 0);
    // Enabled but missing: the group is dropped, nothing of it will be sent.
    device.settings.dwFeature[FEATURE_SHIFTOPTIM] = 1;
    EXPECT_FALSE(kx::GetPrinterParam(&device.pdev, hPrinter, &pp));
    EXPECT_EQ(pp.dwFeatures[FEATURE_SHIFTOPTIM], 0u);
    EXPECT_FALSE(kx::GetPrinterParam(nullptr, hPrinter, &pp));
    EXPECT_FALSE(kx::GetPrinterParam(&device.pdev, hPrinter, nullptr));
}

// A recall job's stream is the golden job options-recall; here the skip of
// the bellmark parameters, the multi-page label and the devmode's marker.
TEST_F(InterfaceParam, RecallDetection)
{
    Job(u"Recall of CF card file");
    EXPECT_EQ(kx::SendParam(device.dev(), &device.uni, nullptr), S_OK);
    EXPECT_EQ(device.data.bKeineBellmarkParam, 1u);
    device.data.bMultiPage = 1;
    EXPECT_EQ(kx::SendParam(device.dev(), &device.uni, &device.devmode), S_OK);
    EXPECT_EQ(device.uni.writeCalls, 0);

    // With the devmode its marker counts; an empty one recognises nothing.
    TestDevice marked, unmarked;
    kx::Copy(marked.devmode.szMemCardRecallKennung, 61, u"#MC#");
    for (TestDevice* d : {&marked, &unmarked}) {
        d->devobj.hPrinter = hPrinter;
        d->pdev.dwJobId = 7;
    }
    Job(u"label #MC# 12");
    EXPECT_EQ(kx::SendParam(marked.dev(), &marked.uni, &marked.devmode), S_OK);
    EXPECT_EQ(marked.data.bRecallDirekt, 1u);
    Job(u"recall.prn");
    EXPECT_EQ(kx::SendParam(unmarked.dev(), &unmarked.uni, &unmarked.devmode), S_OK);
    EXPECT_EQ(unmarked.data.bRecallDirekt, 0u);
}

// The records of the job start (clear memory, device parameters, prefix
// section 1) are the golden job options-jobstart; here the job's names.
TEST_F(InterfaceParam, TheFirstCallOnlyReadsTheJob)
{
    device.iface().dwClearPrintMemory = 1;
    Job(u"Microsoft Word - Shipping.docx", 4);
    EXPECT_EQ(kx::SendParam(device.dev(), &device.uni, nullptr), S_OK);
    EXPECT_EQ(device.uni.writeCalls, 0);
    EXPECT_STREQ(device.data.szJobName, "Microsoft Word - Shipping");
    EXPECT_EQ(std::u16string(device.files.wcKurzName), u"Shipping");
    EXPECT_EQ(device.files.dwTotalPages, 4u);
}

TEST_F(InterfaceParam, MultiPageAndLeftToThePrinter)
{
    Job(u"labels.lbl");
    device.iface().dwPrnFileComment = 1;
    device.data.bMultiPage = 1;
    device.data.bManuellesMultipage = 1;
    device.iface().dwClearPrintMemory = 1;
    EXPECT_EQ(kx::SendParam(device.dev(), &device.uni, &device.devmode), S_OK);
    EXPECT_EQ(device.uni.spool, "^FBF---r_");
    EXPECT_EQ(PrintFile(), "^FBF---r_\t\t\t\t // MultiPage (manuell)\r\n");
    EXPECT_STREQ(device.data.szJobName, "labels");

    // A broken job being continued sends no multi-page command; the device
    // parameters left to the printer send nothing at all.
    TestDevice other;
    other.devobj.hPrinter = hPrinter;
    other.settings.bDisablePDEV = 1;
    other.data.bMultiPage = 1;
    EXPECT_EQ(kx::SendParam(other.dev(), &other.uni, &other.devmode), S_OK);
    other.settings.bDisablePDEV = 0;
    other.data.dwSendGerParam = 1;
    EXPECT_EQ(kx::SendParam(other.dev(), &other.uni, &other.devmode), S_OK);
    EXPECT_EQ(other.uni.writeCalls, 0);

    TestDevice idle(false);
    EXPECT_EQ(kx::SendParam(idle.dev(), &idle.uni, &idle.devmode), E_FAIL);
}

TEST_F(InterfaceParam, TheLogTellsTheJobThePrefixFileAndFailures)
{
    ASSERT_TRUE(kx::OpenJobLogFile(&device.pdev, hPrinter, 1));
    device.iface().dwPrefixSuffix = 1;
    kx::Copy(device.iface().wcPreSufFilePath, PRN_PATH_CHARS, u"C:\\missing.txt");
    device.settings.dwFeature[FEATURE_PHOTOCELL] = FEATURE_PHOTOCELL_TYPE;
    const PHOTOCELL_PARAM pc{};
    PutMachine(u"PhotocellParam", &pc, sizeof(pc));
    device.uni.failWrites = true;
    Job(u"Pallet 12.lbl", 2);
    EXPECT_EQ(kx::SendParam(device.dev(), &device.uni, &device.devmode), E_FAIL);
    device.uni.failWrites = false;
    device.data.dwPage = 1;
    PRINTER_PARAM pp{};
    EXPECT_TRUE(kx::SendPrinterParam(device.dev(), &device.uni, &pp));
    EXPECT_EQ(kx::ReadPrefixSuffix(device.dev(), &device.uni, 2), S_OK);
    kx::CloseJobLogFile(&device.pdev);
    const std::string log = SimSandbox::ReadHostFile(sandbox.HostPath(u"C:\\out\\job.log"));
    for (const char* line :
         {"Job Information[JOB_INFO_2]\r\n", "\t Document Name      = Pallet 12.lbl\r\n",
          "\t Pages              = 2 (?)\r\n", "\t JobId              = 7\r\n",
          "SendPrinterParam() FEATURE_PHOTOCELL Error\r\n", "\r\n SendPrinterParam Error \r\n",
          "keine Prefix/Suffix Datei [C:\\missing.txt]\r\n", "PrinterParameter (SendPrinterParam"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

}  // namespace
