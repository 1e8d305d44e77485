// Printer fields. The cases are rows of data/prnobject.json (settings and
// drawn texts in, the page's field objects out, explained there); this file
// runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "core/pageparts.h"
#include "core/regvalues.h"
#include "host/records.h"
#include "objects/kvbb.h"
#include "objects/prnobject.h"
#include "support/testdevice.h"

namespace {

using kxtest::TestDevice;
using nlohmann::json;

struct Page {
    TestDevice device;
    KVBBBuffer kv{};
    Bildanteile ba{};
    BYTE barcodes[BARCODE_DEVMODE_SIZE]{};

    Page()
    {
        device.op.pKVBBBuffer = &kv;
        device.op.pBarcodeDevmode = barcodes;
        device.op.pBildanteile = &ba;
        device.iface().dwExtendedProtocol = 1;
        device.devmode.FixedData.wMasterUnit = 300;
        device.devmode.FixedData.dwHeadWidthByte = 104;
        device.data.dwLabelWidth = 600;
        device.data.dwLabelLength = 300;
    }
    ~Page()
    {
        for (PrnObject* p = device.data.pObjectList; p;) {
            PrnObject* next = p->pNext;
            delete[] p->pszSendData;
            delete p;
            p = next;
        }
    }

    // Job words by name: print data, document data, interface, colour state.
    void Job(const json& words)
    {
        DruckDaten& d = device.data;
        DocDaten& doc = device.doc;
        const std::map<std::string, std::function<void(long long)>> kSet = {
            {"dwExtendedProtocol", [&](long long v) { device.iface().dwExtendedProtocol = v; }},
            {"bSH3", [&](long long v) { device.settings.bSH3 = v; }},
            {"dwFields", [&](long long v) { d.dwFields = v; }},
            {"dwFieldsColour", [&](long long v) { d.dwFieldsColour = v; }},
            {"bLandscape_CC", [&](long long v) { d.bLandscape_CC = v; }},
            {"dwLabelWidth", [&](long long v) { d.dwLabelWidth = v; }},
            {"dwLabelLength", [&](long long v) { d.dwLabelLength = v; }},
            {"dwWinkel_CC", [&](long long v) { d.dwWinkel_CC = v; }},
            {"dwRotation_CC", [&](long long v) { d.dwRotation_CC = v; }},
            {"nRightMargin", [&](long long v) { d.nRightMargin = v; }},
            {"bCorrectXPos", [&](long long v) { d.bCorrectXPos = v; }},
            {"dwDocFeatures", [&](long long v) { d.dwDocFeatures = v; }},
            {"wSeitennummer", [&](long long v) { d.wSeitennummer = v; }},
            {"bRecallText", [&](long long v) { d.bRecallText = v; }},
            {"bRecallDirekt", [&](long long v) { d.bRecallDirekt = v; }},
            {"scale", [&](long long v) { d.bSkalierung = 1, d.dSkalierung = d.dSkalierungH = v; }},
            {"dwRotate", [&](long long v) { doc.dwRotate = v; }},
            {"dwFusspunkt", [&](long long v) { doc.dwFusspunkt = v; }},
            {"dwInvers", [&](long long v) { doc.dwInvers = v; }},
            {"dwDirectWO_AM_BM", [&](long long v) { doc.dwDirectWO_AM_BM = v; }},
            {"dwFarbmodus", [&](long long v) { kv.dwFarbmodus = v; }},
            {"dwPaletteColours", [&](long long v) { kv.dwPaletteColours = v; }},
            {"ulTextColor", [&](long long v) { kv.ulTextColor = v; }},
            {"lastCommandX", [&](long long v) { kv.ptlLastCommandPos.x = v; }},
            {"lastCommandY", [&](long long v) { kv.ptlLastCommandPos.y = v; }},
            {"dwScanZaehler", [&](long long v) { d.dwScanZaehler = v; }},
            {"dwAusstattung", [&](long long v) { d.dwAusstattung = v; }},
        };
        for (const auto& [name, value] : words.items()) {
            auto it = kSet.find(name);
            ASSERT_NE(it, kSet.end()) << name;
            it->second(value.get<long long>());
        }
    }

    // 2-D barcode settings: [offset, value, bytes (2 unless 4)] rows.
    void Settings2D(const json& rows)
    {
        BYTE* p2D = barcodes + kx::reg::kBarCodes1DSize;
        for (const json& r : rows) {
            const int bytes = r.size() > 2 ? r[2].get<int>() : 2;
            for (int i = 0; i < bytes; ++i)
                p2D[r.at(0).get<int>() + i] =
                    static_cast<BYTE>(r.at(1).get<long long>() >> (8 * i));
        }
    }

    std::vector<std::string> Objects() const
    {
        std::vector<std::string> texts;
        for (const PrnObject* p = device.data.pObjectList; p; p = p->pNext)
            texts.emplace_back(p->pszSendData);
        return texts;
    }
};

FieldDescription Description(const json& j)
{
    FieldDescription desc{};
    desc.wFontClass = j.contains("bc") ? kFontClassBarcode : j.value("class", kFontClassPrinter);
    desc.wId = j.value("bc", j.value("id", 3));
    desc.dwRotation = j.value("rot", 0);
    desc.dwFlags = j.value("flags", 0);
    desc.cx = j.value("cx", 1);
    desc.cy = j.value("cy", 1);
    desc.dwExtra = j.value("extra", 0);
    desc.wThick = j.value("thick", 0);
    desc.wThin = j.value("thin", 0);
    desc.wHeight = j.value("height", 0);
    desc.wRatio = j.value("ratio", 0);
    desc.wPruefziffer = j.value("check", 0);
    desc.wKlarschrift = j.value("klar", 0);
    return desc;
}

POINTL Point(const json& j)
{
    return {j.at(0).get<LONG>(), j.at(1).get<LONG>()};
}

TEST(PrnObject, Rows)
{
    const auto path = std::filesystem::path(__FILE__).parent_path() / "data" / "prnobject.json";
    const json file = json::parse(std::ifstream(path));
    for (const json& row : file.at("rows")) {
        SCOPED_TRACE(row.at("name").get<std::string>());
        Page page;
        kxhost::ApplyDevmode(row.value("devmode", json::object()), "devmode", &page.device.devmode);
        page.Job(row.value("job", json::object()));
        page.Settings2D(row.value("bc2d", json::array()));
        if (row.contains("print_pos")) {
            POINTL out{};
            kx::GetPrintObjectPos(&page.device.pdev, Point(row["print_pos"].at("pt")), &out,
                                  &page.device.devmode);
            EXPECT_EQ(out.x, row["print_pos"].at("expect").at(0).get<LONG>());
            EXPECT_EQ(out.y, row["print_pos"].at("expect").at(1).get<LONG>());
        }
        for (const json& f : row.value("fields", json::array())) {
            page.Job(f.value("job", json::object()));
            page.Settings2D(f.value("bc2d", json::array()));
            const FieldDescription desc = Description(f.value("desc", json::object()));
            const std::string text = f.at("text");
            EXPECT_EQ(kx::DrawGlyphs(&page.device.pdev, text.c_str(),
                                     Point(f.value("pt", json::array({100, 50}))), &desc,
                                     &page.device.devmode, f.value("prev", false),
                                     f.value("phantom", false)),
                      f.value("ok", true) ? TRUE : FALSE)
                << text;
        }
        if (row.contains("objects")) {
            EXPECT_EQ(page.Objects(), row["objects"].get<std::vector<std::string>>());
        }
        const std::map<std::string, long long> kCounters = {
            {"dwFields", page.device.data.dwFields},
            {"dwFieldsColour", page.device.data.dwFieldsColour},
            {"iNewZaehler", page.device.pdev.iNewZaehler},
            {"dwScanZaehler", page.device.data.dwScanZaehler},
        };
        const json counters = row.value("counters", json::object());
        for (const auto& [name, value] : counters.items())
            EXPECT_EQ(kCounters.at(name), value.get<long long>()) << name;
        if (row.contains("table")) {
            EXPECT_EQ(page.ba.iAnzahlAMSaetze, row["table"].size());
            for (std::size_t i = 0; i < row["table"].size(); ++i)
                EXPECT_EQ(std::u16string(page.ba.szAMSatzText[i]),
                          kx::Utf8ToUtf16(row["table"][i].get<std::string>()));
        }
    }
}

TEST(PrnObject, MasterUnitRoundingAndZero)
{
    EXPECT_EQ(kx::MasterUnitToMm100Round(15, 600), 64);  // 63.5
    EXPECT_EQ(kx::MasterUnitToMm100Round(-15, 600), -64);
    EXPECT_EQ(kx::MasterUnitToMm10Round(100, 203), 125);  // 125.12
    EXPECT_EQ(kx::MasterUnitToMm100Round(300, 0), 2540);  // 0 counts as 300
}

}  // namespace
