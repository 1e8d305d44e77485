// The device parameter senders. The cases are rows of data/deviceparam.json
// (settings in, records out, explained there); this file runs them and keeps
// what a row cannot say: the split print file, failing writes, missing
// structures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "core/output.h"
#include "host/records.h"
#include "options/deviceparam.h"
#include "support/device.h"

namespace {

using kxtest::BytesEqual;
using kxtest::SimSandbox;
using kxtest::TestDevice;
using nlohmann::json;

// Hex strings ("0x1100") become numbers, everywhere in the value.
json Numbers(json v)
{
    if (v.is_string() && v.get<std::string>().starts_with("0x"))
        return std::stoll(v.get<std::string>(), nullptr, 16);
    if (v.is_structured())
        for (auto& item : v) item = Numbers(item);
    return v;
}

// Feature words by group; the index is the group's place in the list.
void Features(const json& groups, DWORD (&words)[MAX_FEATURES])
{
    static const char* const kGroups[] = {"Interface", "Print",      "Photocell", "Dispenser",
                                          "Cutter",    "Scanner",    "KRM",       "Bellmark",
                                          "KRMC",      "Applicator", "Shiftoptim"};
    for (const auto& [name, value] : groups.items()) {
        auto it = std::find(std::begin(kGroups), std::end(kGroups), name);
        ASSERT_NE(it, std::end(kGroups)) << name;
        words[it - std::begin(kGroups)] = value.get<DWORD>();
    }
}

void JobWords(const json& words, TestDevice& d)
{
    const std::pair<const char*, DWORD*> kWords[] = {
        {"dwAusstattung", &d.data.dwAusstattung},
        {"dwOptionen2", &d.data.dwOptionen2},
        {"dwModulTyp", &d.data.dwModulTyp},
        {"bMultiPage", &d.data.bMultiPage},
        {"bKeineGerParam", &d.data.bKeineGerParam},
        {"bKeineBellmarkParam", &d.data.bKeineBellmarkParam},
        {"dwDocFeatures", &d.data.dwDocFeatures},
        {"dwPage", &d.data.dwPage},
        {"dwDeviceOptionFlags", &d.settings.dwDeviceOptionFlags},
    };
    for (const auto& [name, value] : words.items()) {
        auto it = std::find_if(std::begin(kWords), std::end(kWords),
                               [&](const auto& w) { return name == w.first; });
        ASSERT_NE(it, std::end(kWords)) << name;
        *it->second = value.get<DWORD>();
    }
}

// A device with its print file C:\out\job.prn open, on the first page.
struct Job {
    SimSandbox sandbox;
    TestDevice device;

    explicit Job(bool comments = false)
    {
        EXPECT_TRUE(kx::plat::CreateDirectory(u"C:\\out"));
        device.SetPrnFileName(u"C:\\out\\job");
        EXPECT_TRUE(kx::OpenPrnFile(0, &device.pdev, FALSE));
        device.data.dwPage = 1;
        device.iface().dwPrnFileComment = comments ? 1 : 2;
    }
    std::string File(const char16_t* name = u"C:\\out\\job.prn")
    {
        device.CloseFiles();
        return SimSandbox::ReadHostFile(sandbox.HostPath(name));
    }
    BOOL Devmode()
    {
        return kx::SendDevmodePrinterParam(device.dev(), &device.uni, &device.devmode);
    }
};

TEST(DeviceParam, Rows)
{
    const auto path = std::filesystem::path(__FILE__).parent_path() / "data" / "deviceparam.json";
    const json file = json::parse(std::ifstream(path));
    for (json row : file.at("rows")) {
        SCOPED_TRACE(row.at("name").get<std::string>());
        if (row.contains("base")) {
            json merged = file.at("bases").at(row["base"].get<std::string>());
            merged.merge_patch(row);
            row = merged;
        }
        row = Numbers(row);
        Job job(row.value("comments", false));
        TestDevice& d = job.device;
        JobWords(row.value("job", json::object()), d);
        Features(row.value("features", json::object()), d.settings.dwFeature);
        kxhost::ApplyDevmode(row.value("devmode", json::object()), "devmode", &d.devmode);

        const std::string call = row.value("call", "devmode");
        bool ok = false;
        if (call == "devmode") {
            ok = job.Devmode();
        } else if (call == "printer") {
            PRINTER_PARAM pp{};
            const json p = row.value("printer_param", json::object());
            Features(p.value("features", json::object()), pp.dwFeatures);
            const json cell = p.value("photocell", json::array({0, 0, 0}));
            pp.photocellParam.dwPhotocellType = cell[0];
            pp.photocellParam.dwRibbonControl = cell[1];
            pp.photocellParam.wRibbonSave = cell[2];
            LONG* shift = &pp.shiftOptimParam.lRCorrection;
            for (std::size_t i = 0; i < p.value("shift", json::array()).size(); ++i)
                shift[i] = p["shift"][i];
            ok = kx::SendPrinterParam(d.dev(), &d.uni, &pp);
        } else {
            ok = kx::SendDeviceSettingsParam(d.dev(), &d.uni, &d.devmode) == S_OK;
        }
        EXPECT_TRUE(ok);

        std::string spool, printFile;
        for (const json& r : row.at("records")) {
            const bool pair = r.is_array();
            spool += pair ? r[0].get<std::string>() : r.get<std::string>();
            printFile +=
                (pair ? r[0].get<std::string>() + r[1].get<std::string>() : r.get<std::string>()) +
                "\r\n";
        }
        EXPECT_TRUE(BytesEqual(spool, d.uni.spool));
        EXPECT_TRUE(BytesEqual(printFile, job.File()));
        if (row.contains("dialogs")) {
            EXPECT_EQ(d.settings.dwDialogeEnable, row["dialogs"].get<DWORD>());
        }
    }
}

TEST(DeviceParam, SplitPrintFileTakesTheRecordsInTheSecondFile)
{
    Job job(true);
    TestDevice& d = job.device;
    d.CloseFiles();
    d.devmode.wSplitPrnFile = 1;
    ASSERT_TRUE(kx::OpenPrnFile(1, &d.pdev, FALSE));
    d.data.dwAusstattung = P_OPTIONS_CUTTER;
    EXPECT_TRUE(job.Devmode());
    EXPECT_EQ(d.uni.spool, "^FCDD--r0-------_");
    EXPECT_EQ(job.File(u"C:\\out\\job_col.prn"), "^FCDD--r0-------_");
    EXPECT_EQ(job.File(u"C:\\out\\job_bw.prn"), "\t// Cuttermode  0 \r\n");
}

TEST(DeviceParam, AFailedWriteStopsItsSenderOnly)
{
    Job job;
    TestDevice& d = job.device;
    d.data.dwAusstattung = P_OPTIONS_CUTTER | P_OPTIONS_CUTTER_MODE | P_OPTIONS_SCANNER;
    d.settings.dwFeature[FEATURE_CUTTER] = 0x1F;
    d.devmode.cutter_dwMode = 1;
    d.uni.failWrites = true;
    EXPECT_FALSE(job.Devmode());
    EXPECT_EQ(d.uni.writeCalls, 2);  // the first record of each sender
    EXPECT_EQ(d.settings.dwDialogeEnable, DIALOG_CUTTER | DIALOG_SCANNER);
}

TEST(DeviceParam, MissingJobStructuresOrRecords)
{
    Job job;
    TestDevice& d = job.device;
    TestDevice idle(false);
    kx::CUTTER_PARAM c{};
    EXPECT_FALSE(kx::SendDevmodePrinterParam(idle.dev(), &idle.uni, &idle.devmode));
    EXPECT_FALSE(kx::SendPrinterParam(idle.dev(), &idle.uni, nullptr));
    EXPECT_EQ(kx::SendDeviceSettingsParam(idle.dev(), &idle.uni, &idle.devmode), E_FAIL);
    EXPECT_EQ(kx::SendCutterParam(idle.dev(), &idle.uni, &c), E_FAIL);
    EXPECT_EQ(kx::SendCutterParam(d.dev(), &d.uni, nullptr), E_FAIL);
    EXPECT_FALSE(kx::SendDevmodePrinterParam(d.dev(), &d.uni, nullptr));
    EXPECT_EQ(kx::SendBellmarkParam(nullptr, &d.uni, nullptr), E_FAIL);
    EXPECT_EQ(idle.uni.writeCalls + d.uni.writeCalls, 0);
}

}  // namespace
