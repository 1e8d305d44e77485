// The page-level steps of the job stream as data: data/steps.json holds one
// case per behaviour, each a setting and the steps it runs, with the bytes
// the spooler and the print file must receive. A case starts from the
// stream fixture (300 dpi, 104 mm head, a label of 100 x 50 mm, page 1, the
// print file open), applies its group's setup and its own, then runs its
// calls in order; a call may change settings before it runs.
//
// Settings use kxrender's names (interface, devmode, public_devmode, see
// docs/job-format.md) and, for the job's own records, the field names below;
// speed_lumetra stores the print module's option block with that speed flag.
// Strings stand for bytes one character each (Latin-1). For the automatic
// import, drive_files are written onto the simulated drives (text),
// doc_settings stores the paths as the user's "XMLDocSetFiles" (as many
// slots of 260 characters as paths are given), gpd names the printer's GPD,
// and an AutoImport call hands its entry to the import.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "core/printeroptions.h"
#include "core/regvalues.h"
#include "host/jsonnode.h"
#include "host/records.h"
#include "job/autoimport.h"
#include "job/jobstream.h"
#include "job/labellayout.h"
#include "job/printstart.h"
#include "platform/sim.h"
#include "streamfixture.h"

namespace {

using nlohmann::json;

std::string Bytes(const json& text)
{
    std::string out;
    const std::string s = text.get<std::string>();
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {  // two-byte UTF-8 of a code point below 256
            out += static_cast<char>(((c & 0x03) << 6) | (s[++i] & 0x3F));
        }
    }
    return out;
}

// Fields of the job's records by name.
using Setter = std::function<void(kxtest::TestDevice&, const json&)>;
template <class Record, class T>
Setter Field(Record kxtest::TestDevice::*part, T Record::*member)
{
    return [=](kxtest::TestDevice& d, const json& v) { (d.*part).*member = v.get<T>(); };
}
const std::map<std::string, Setter>& Fields()
{
    using kxtest::TestDevice;
    static const std::map<std::string, Setter> fields = {
        {"dwPage", Field(&TestDevice::data, &DruckDaten::dwPage)},
        {"dwCopies", Field(&TestDevice::data, &DruckDaten::dwCopies)},
        {"dwDocFeatures", Field(&TestDevice::data, &DruckDaten::dwDocFeatures)},
        {"dwSendEtiParam", Field(&TestDevice::data, &DruckDaten::dwSendEtiParam)},
        {"dwSendGerParam", Field(&TestDevice::data, &DruckDaten::dwSendGerParam)},
        {"bMultiPage", Field(&TestDevice::data, &DruckDaten::bMultiPage)},
        {"bSkalierung", Field(&TestDevice::data, &DruckDaten::bSkalierung)},
        {"bLandscape_CC", Field(&TestDevice::data, &DruckDaten::bLandscape_CC)},
        {"dwWinkel_CC", Field(&TestDevice::data, &DruckDaten::dwWinkel_CC)},
        {"dwLabelLength", Field(&TestDevice::data, &DruckDaten::dwLabelLength)},
        {"dwLabelWidth", Field(&TestDevice::data, &DruckDaten::dwLabelWidth)},
        {"wSeitennummer", Field(&TestDevice::data, &DruckDaten::wSeitennummer)},
        {"bSingleCut", Field(&TestDevice::doc, &DocDaten::bSingleCut)},
        {"bFormFeed", Field(&TestDevice::doc, &DocDaten::bFormFeed)},
        {"dwNo_FBC", Field(&TestDevice::doc, &DocDaten::dwNo_FBC)},
        {"wCodepageSenden", Field(&TestDevice::devmode, &KX_DEVMODE::wCodepageSenden)},
        {"dwDeviceOptionFlags",
         Field(&TestDevice::settings, &Treiberstrukturen::dwDeviceOptionFlags)},
        {"szJobName",
         [](TestDevice& d, const json& v) {
             kx::Copy(d.data.szJobName, sizeof(d.data.szJobName), v.get<std::string>().c_str());
         }},
        {"dwFeature",  // {"word": value, ...}
         [](TestDevice& d, const json& v) {
             for (const auto& [word, value] : v.items())
                 d.settings.dwFeature[std::stoi(word)] = value.get<DWORD>();
         }},
    };
    return fields;
}

void SetSpeedLumetra(kxtest::TestDevice& d, WORD speed)
{
    PRINTER_OPTIONS options{};
    options.wSpeedLumetra = speed;
    ASSERT_EQ(kx::plat::RegSetValue(kx::plat::Hive::CurrentUser, d.files.szRegKey,
                                    kx::reg::kPrinterOptions, kx::plat::kRegBinary, &options,
                                    sizeof(options)),
              0u);
}

void WriteDriveFile(const std::u16string& path, const std::string& text)
{
    kx::plat::CreateDirectory(path.substr(0, path.rfind(u'\\')));
    const kx::plat::Handle h =
        kx::plat::CreateFile(path, kx::plat::kGenericWrite, 0, kx::plat::kCreateAlways);
    ASSERT_NE(h, kx::plat::kInvalidHandle);
    std::uint32_t written = 0;
    EXPECT_TRUE(
        kx::plat::WriteFile(h, text.data(), static_cast<std::uint32_t>(text.size()), &written));
    kx::plat::CloseHandle(h);
}

void SetDocSettings(kxtest::TestDevice& d, const json& paths)
{
    std::vector<char16_t> value(paths.size() * 260);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::u16string p = kxhost::Utf16(paths[i].get<std::string>());
        std::copy(p.begin(), p.end(), value.begin() + static_cast<std::ptrdiff_t>(i * 260));
    }
    ASSERT_EQ(kx::plat::RegSetValue(kx::plat::Hive::CurrentUser, d.files.szRegKey,
                                    kx::reg::kXMLDocSetFiles, kx::plat::kRegBinary, value.data(),
                                    static_cast<std::uint32_t>(value.size() * 2)),
              0u);
}

void Apply(kxtest::TestDevice& d, const json& setup)
{
    for (const auto& [key, value] : setup.items()) {
        if (key == "interface")
            kxhost::ApplyInterface(value, key, &d.iface());
        else if (key == "devmode")
            kxhost::ApplyDevmode(value, key, &d.devmode);
        else if (key == "public_devmode")
            kxhost::ApplyPublicDevmode(value, key, &d.publicDM);
        else if (key == "comments")
            d.iface().dwPrnFileComment = value.get<bool>() ? 1 : 2;
        else if (key == "valid_marker")
            SetValidMarker(&d.devmode);
        else if (key == "no_printer")  // no driver to ask for its provider
            d.devobj.hPrinter = nullptr;
        else if (key == "speed_lumetra")  // the print module's option block in the registry
            SetSpeedLumetra(d, value.get<WORD>());
        else if (key == "drive_files")
            for (const auto& [path, text] : value.items())
                WriteDriveFile(kxhost::Utf16(path), text.get<std::string>());
        else if (key == "doc_settings")
            SetDocSettings(d, value);
        else if (key == "gpd")
            kx::Copy(d.files.wcGPD_DateiKomplett, KX_MAX_PATH,
                     kxhost::Utf16(value.get<std::string>()).c_str());
        else if (key != "step" && key != "result" && key != "entry")
            Fields().at(key)(d, value);
    }
}

HRESULT RunStep(kxtest::TestDevice& d, const std::string& step, const json& call)
{
    if (step == "AutoImport")
        return kx::AutoImport(d.dev(), &d.uni, call.at("entry").get<std::string>().c_str());
    if (step == "SendLabelSize") return kx::SendLabelSize(d.dev(), &d.uni);
    if (step == "SendMaterial") return kx::SendMaterial(d.dev(), &d.uni, &d.devmode);
    if (step == "SendRotateMirror") return kx::SendRotateMirror(d.dev(), &d.uni, &d.devmode);
    if (step == "StartPage") return kx::StartPage(d.dev(), &d.uni);
    if (step == "SendStartPrint") return kx::SendStartPrint(d.dev(), &d.uni);
    if (step == "SendTrennseite") return kx::SendTrennseite(d.dev(), &d.uni);
    ADD_FAILURE() << "no step " << step;
    return E_FAIL;
}

struct Case {
    std::string name;
    json setup, body;
};
void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<Case> Cases()
{
    std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "data" / "steps.json");
    std::vector<Case> cases;
    for (const json& group : json::parse(in))
        for (const json& c : group.at("cases"))
            cases.push_back(
                {group.at("group").get<std::string>() + "_" + c.at("name").get<std::string>(),
                 group.value("setup", json::object()), c});
    return cases;
}

class Steps : public kxtest::StreamTest, public ::testing::WithParamInterface<Case> {
protected:
    // The separator page names the provider of the printer's driver.
    void SetUp() override
    {
        StreamTest::SetUp();
        kx::plat::sim::DriverSetup driver;
        driver.name = u"KX 4 Driver";
        driver.provider = u"Orvane Etiketten";
        kx::plat::sim::AddDriver(driver);
        kx::plat::sim::PrinterSetup printer;
        printer.name = u"KX Test Printer";
        printer.driverName = driver.name;
        kx::plat::sim::AddPrinter(printer);
        ASSERT_EQ(kx::plat::OpenPrinter(printer.name, &hPrinter), 0u);
        device.devobj.hPrinter = hPrinter;
    }
    void TearDown() override { kx::plat::ClosePrinter(hPrinter); }
    HANDLE hPrinter = nullptr;
};

TEST_P(Steps, SendTheirRecords)
{
    const json& c = GetParam().body;
    Apply(device, GetParam().setup);
    Apply(device, c.value("setup", json::object()));
    for (const json& call : c.at("calls")) {
        Apply(device, call);
        const std::string step = call.at("step").get<std::string>();
        const HRESULT expected = call.value("result", "S_OK") == "S_OK" ? S_OK : E_INVALIDARG;
        EXPECT_EQ(RunStep(device, step, call), expected) << step;
    }
    if (c.contains("spool")) {
        EXPECT_TRUE(kxtest::BytesEqual(Bytes(c["spool"]), Spool()));
    }
    for (const json& part : c.value("spool_has", json::array()))
        EXPECT_NE(Spool().find(Bytes(part)), std::string::npos) << Bytes(part);
    if (c.contains("print_file") || c.contains("print_file_has")) {
        const std::string file = PrintFile();
        if (c.contains("print_file")) {
            EXPECT_TRUE(kxtest::BytesEqual(Bytes(c["print_file"]), file));
        }
        for (const json& line : c.value("print_file_has", json::array()))
            EXPECT_NE(file.find(Bytes(line)), std::string::npos) << Bytes(line);
    }
}

INSTANTIATE_TEST_SUITE_P(Data, Steps, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
