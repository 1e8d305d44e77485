// The object list output as data: each row of data/objectlist.json builds a
// page's field objects and text table, sends the list and compares the exact
// bytes, then frees the list. Strings in the data hold one character per
// byte (SOH is "\u0001", ETB "\u0017", 0xFC "\u00fc").
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "core/pageparts.h"
#include "objects/objectlist.h"
#include "objects/prnobject.h"
#include "platform/sim.h"
#include "support/device.h"

namespace {

using kxtest::BytesEqual;
using nlohmann::json;

json Data()
{
    return json::parse(
        std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" / "objectlist.json"));
}

std::string Bytes(const json& v)
{
    std::string out;
    for (char16_t c : kx::Utf8ToUtf16(v.get<std::string>())) out += static_cast<char>(c);
    return out;
}

template <std::size_t N>
void SetWide(WCHAR (&field)[N], const json& v)
{
    ASSERT_EQ(kx::Copy(field, N, kx::Utf8ToUtf16(v.get<std::string>())), S_OK);
}

// Sets up the device from a row: settings, text table, objects. Returns the
// number of blocks the objects hold (each object and each text).
int Build(kxtest::TestDevice& dev, const json& row)
{
    const json set = row.value("set", json::object());
    KX_DEVMODE& dm = dev.devmode;
    DruckDaten& d = dev.data;
    d.cStart = '\x01';
    d.cEnd = '\x17';
    dm.FixedData.wMasterUnit = set.value("masterUnit", 300);
    dm.dwFlags = set.value("flags", 0u);
    dm.dwWinkel = set.value("winkel", 0);
    dm.wMehrereReihen = set.value("rows", 0);
    dm.wMehrereSeitenAbstand = set.value("gap", 0);
    dm.wMehrereSeitenAusrichtung = set.value("ausrichtung", 0);
    dev.publicDM.dmOrientation = static_cast<SHORT>(set.value("orientation", 1));
    d.dwLabelWidth = set.value("labelWidth", 0u);
    d.dwLabelLength = set.value("labelLength", 0u);
    d.dSkalierungH = set.value("scaleY", 1.0);
    d.bSkalierung = set.contains("scaleY");
    d.dwFields = set.value("fields", 0u);
    SetWide(dm.szIdentSign, set.value("sign", "\u00a7"));
    SetWide(dm.szTime, set.value("time", "=CL(0;0;1)<HH:MI:SS>"));
    SetWide(dm.szDate, set.value("date", "=CL(0;0;1)<DD.MO.YYYY>"));
    SetWide(dm.szNumString, set.value("num", "=CN(0;0;4;+1;1)0000"));
    SetWide(dm.szUserString, set.value("user", "U"));

    if (!row.contains("table") || !row["table"].is_null()) dev.op.pBildanteile = &dev.ba;
    int e = 0;
    for (const json& t : row.value("table", json::array())) {
        Bildanteile& ba = dev.ba;
        SetWide(ba.szAMSatzText[e], t.value("text", ""));
        ba.wAMSatzBildTeil[e] = t.value("part", 0);
        ba.lAMSatzTextYPos[e] = t.value("y", 0);
        ba.lAMSatzTextYPosKorr[e] = t.value("yKorr", 0);
        ba.lAMSatzTextFontID[e] = t.value("font", 0u);
        ++e;
    }
    dev.ba.iAnzahlAMSaetze = e;

    int blocks = 0;
    PrnObject** tail = &d.pObjectList;
    for (const json& o : row["objects"]) {
        auto* obj = new PrnObject{nullptr, nullptr, 0};
        ++blocks;
        if (!o.is_null()) {
            const std::string text = Bytes(o);
            obj->pszSendData = new char[text.size() + 1];
            std::memcpy(obj->pszSendData, text.c_str(), text.size() + 1);
            ++blocks;
        }
        *tail = obj;
        tail = &obj->pNext;
    }
    return blocks;
}

bool FailAllocation()
{
    return true;
}

TEST(ObjectList, SendsTheCorrectedFieldsAndFreesThem)
{
    const json data = Data();
    for (const json& row : data.at("send")) {
        SCOPED_TRACE(row.at("name").get<std::string>());
        auto dev = std::make_unique<kxtest::TestDevice>();
        const int blocks = Build(*dev, row);
        if (row.value("allocFails", false)) kx::plat::sim::SetHeapFaultHook(&FailAllocation);
        const HRESULT hr = kx::SendObjectList(&dev->pdev, dev->dev(), &dev->uni);
        kx::plat::sim::SetHeapFaultHook(nullptr);
        EXPECT_EQ(hr, row.value("fail", false) ? E_FAIL : S_OK);

        std::string expected;
        for (const json& part : row.at("expect")) expected += Bytes(part);
        EXPECT_TRUE(BytesEqual(expected, dev->uni.spool));
        if (row.contains("fieldsAfter")) {
            EXPECT_EQ(dev->data.dwFields, row["fieldsAfter"]);
        }
        if (row.contains("rowCopies")) {
            EXPECT_EQ(dev->data.dwReihenKopien, row["rowCopies"]);
        }

        dev->pdev.iNewZaehler = static_cast<WORD>(blocks);
        kx::DeletePrnObject(&dev->pdev);
        EXPECT_EQ(dev->pdev.iNewZaehler, 0);
        EXPECT_EQ(dev->data.pObjectList, nullptr);
    }
}

TEST(ObjectList, ReplaceHelpers)
{
    const json data = Data();
    for (const json& row : data.at("replace")) {
        SCOPED_TRACE(row.dump());
        const json& want = row.at("expect");
        if (row.contains("size")) {
            const std::size_t size = row["size"];
            char* out = kx::ReplaceStringWithStringA_New(
                Bytes(row["text"]).c_str(), Bytes(row["search"]).c_str(),
                Bytes(row["replace"]).c_str(), size, new char[size]);
            ASSERT_EQ(out == nullptr, want.is_null());
            if (out) {
                EXPECT_EQ(std::string(out), Bytes(want));
            }
            delete[] out;
        } else {
            WCHAR* out = kx::ReplaceStringWithString_New(
                kx::Utf8ToUtf16(row["text"].get<std::string>()).c_str(),
                kx::Utf8ToUtf16(row["replace"].get<std::string>()).c_str());
            ASSERT_EQ(out == nullptr, want.is_null());
            if (out) {
                EXPECT_EQ(kx::Utf16ToUtf8(out), want.get<std::string>());
            }
            delete[] out;
        }
    }
}

}  // namespace
