// The command font interpreter as data: each row of data/cmdinterp.json
// fills a page's command list (texts with positions and colour classes),
// sets the job's values, sends the commands and compares the exact bytes,
// the job-end switches and, where given, the information log and the
// entries handed to the automatic import. Strings in the data hold one
// character per byte.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "diag/logfile.h"
#include "objects/cmdinterp.h"
#include "objects/kvbb.h"
#include "support/device.h"

namespace {

using nlohmann::json;

std::vector<std::string> g_imported;

HRESULT RecordImport(PDEVOBJ, IPrintOemDriverUni*, const char* pszEntry)
{
    g_imported.emplace_back(pszEntry);
    return S_OK;
}

std::string Bytes(const json& v)
{
    std::string out;
    for (char16_t c : kx::Utf8ToUtf16(v.get<std::string>())) out += static_cast<char>(c);
    return out;
}

// Job values a row may set, by name.
void Set(kxtest::TestDevice& dev, const json& set)
{
    KX_DEVMODE& dm = dev.devmode;
    DruckDaten& d = dev.data;
    dm.FixedData.wMasterUnit = set.value("masterUnit", 300);
    d.dwLabelWidth = set.value("labelWidth", 600u);    // 5080 hundredths
    d.dwLabelLength = set.value("labelLength", 300u);  // 2540 hundredths
    dm.dwFlags = set.value("flags", 0u);
    dm.wKurzbefehlKorrektur = set.value("korrektur", 0);
    dm.wLayoutDrehung = set.value("layoutDrehung", 0);
    dm.dwDrehung = set.value("drehung", 0);
    dm.wMehrereSeiten = set.value("seiten", 0);
    dm.wMehrereSeitenAbstand = set.value("abstand", 0);
    dm.wMehrereSeitenAusrichtung = set.value("ausrichtung", 0);
    dm.wMehrereReihen = set.value("reihen", 0);
    dm.wFarbband = set.value("farbband", 0);
    dm.wChangeColorRibbon = set.value("changeRibbon", 0);
    dev.publicDM.dmColor = set.value("dmColor", 1);
    d.bLandscape_CC = set.value("landscape", 0u);
    d.dwWinkel_CC = set.value("winkel", 0u);
    d.dwRotation_CC = set.value("rotation", 0u);
    d.wSeitennummer = set.value("page", 0);
    d.dwFields = set.value("fields", 0u);
    d.bSkalierung = set.contains("scaleX");
    d.dSkalierung = set.value("scaleX", 1.0);
    d.dSkalierungH = set.value("scaleY", 1.0);
    // The rows' positions are hundredths of a millimetre, as in the
    // extended protocol.
    dev.iface().dwExtendedProtocol = set.value("extended", 1u);
    dev.iface().bLogFileEnable = set.value("readable", 0u);
    dev.iface().dwDebugFile = set.value("debugFile", 0u);
}

// Each command as the collection leaves it: its text and two zero bytes,
// its position and colour class.
void Fill(KVBBBuffer& kv, const json& commands)
{
    for (const json& c : commands) {
        const std::string text = Bytes(c.at(0));
        std::memcpy(kv.pszCommand + kv.nCmdSize, text.data(), text.size());
        kv.nCmdSize += static_cast<DWORD>(text.size()) + 2;
        kv.ptlCommandPos[kv.nCommands] = {c.at(1).get<LONG>(), c.at(2).get<LONG>()};
        kv.wCommandColor[kv.nCommands] = c.size() > 3 ? c.at(3).get<WORD>() : 0;
        ++kv.nCommands;
    }
}

TEST(CommandInterpreter, SendsThePageCommands)
{
    const json data = json::parse(
        std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" / "cmdinterp.json"));
    for (const json& row : data.at("rows")) {
        SCOPED_TRACE(row.at("name").get<std::string>());
        kxtest::SimSandbox sandbox;
        auto dev = std::make_unique<kxtest::TestDevice>();
        auto zeichen = std::make_unique<BYTE[]>(ZEICHENBUFFER_SIZE);
        auto kv = std::make_unique<KVBBBuffer>();
        kx::AttachTextAreas(kv.get(), zeichen.get());
        dev->op.pKVBBBuffer = kv.get();
        Set(*dev, row.value("set", json::object()));
        Fill(*kv, row.at("commands"));
        const bool withLog = row.contains("log");
        if (withLog) {
            ASSERT_TRUE(kx::plat::CreateDirectory(u"C:\\out"));
            dev->SetPrnFileName(u"C:\\out\\job");
            ASSERT_TRUE(kx::OpenJobLogFile(&dev->pdev, nullptr, 1));
        }
        g_imported.clear();

        EXPECT_EQ(kx::SendCommands(dev->dev(), &dev->uni, &RecordImport), S_OK);

        std::string expected;
        for (const json& part : row.at("expect")) expected += Bytes(part);
        EXPECT_TRUE(kxtest::BytesEqual(expected, dev->uni.spool));
        EXPECT_EQ(kv->nCommands, 0u);
        EXPECT_EQ(kv->nCmdSize, 0u);
        EXPECT_EQ(g_imported, row.value("import", std::vector<std::string>{}));
        const std::map<std::string, DWORD> after = {
            {"fields", dev->data.dwFields},    {"bSingleCut", dev->doc.bSingleCut},
            {"bFormFeed", dev->doc.bFormFeed}, {"bEndFormFeed", dev->doc.bEndFormFeed},
            {"bEndCut", dev->data.bEndCut},    {"dwNo_FBC", dev->doc.dwNo_FBC},
        };
        const json want = row.value("after", json::object());
        for (const auto& [name, value] : want.items())
            EXPECT_EQ(after.at(name), value.get<DWORD>()) << name;
        if (withLog) {
            kx::CloseJobLogFile(&dev->pdev);
            EXPECT_EQ(kxtest::SimSandbox::ReadHostFile(sandbox.HostPath(u"C:\\out\\job.log")),
                      Bytes(row["log"]));
        }
    }
}

}  // namespace
