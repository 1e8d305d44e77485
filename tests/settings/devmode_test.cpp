// The private devmode: defaults, the host's requests, the search for the
// user's saved record, the conversion cache and the merge.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include <nlohmann/json.hpp>

#include "host/records.h"

#include "platform/sim.h"
#include "printer_fixture.h"
#include "settings/devmodeops.h"

namespace {

using namespace kxtest;
using nlohmann::json;

// The rows of data/devmode.json.
json Data()
{
    return json::parse(
        std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" / "devmode.json"));
}

TEST(DevModeRequests, DefaultsAtTheirOffsets)
{
    Bytes buf(sizeof(KX_DEVMODE), 0xAB);
    OEMDMPARAM p{};
    p.pOEMDMOut = buf.data();
    ASSERT_EQ(kx::hrOEMDevMode(OEMDM_DEFAULT, &p), S_OK);
    EXPECT_EQ(p.cbBufSize, 4620u);
    const BYTE* b = buf.data();
    const json file = Data();
    for (const json& f : file["defaults"]) {
        const DWORD want =
            f[2].is_string() ? std::stoul(f[2].get<std::string>(), nullptr, 16) : f[2].get<DWORD>();
        EXPECT_EQ(Get(b, f[0], f[1]), want) << "offset " << f[0];
    }
    // Label size, marker and model block are not a default's business.
    for (std::size_t off : file["defaults_untouched"]) EXPECT_EQ(b[off], 0xAB) << off;
}

TEST(DevModeRequests, SizeAndBadParameters)
{
    DEVMODEW pub{};
    pub.dmDriverExtra = 9000;  // a public devmode does not change our size
    OEMDMPARAM p{};
    p.pPublicDMIn = &pub;
    ASSERT_EQ(kx::hrOEMDevMode(OEMDM_SIZE, &p), S_OK);
    EXPECT_EQ(p.cbBufSize, 4620u);

    EXPECT_EQ(kx::hrOEMDevMode(OEMDM_SIZE, nullptr), E_FAIL);
    EXPECT_EQ(kx::plat::GetLastError(), 87u);
    kx::plat::SetLastError(0);
    EXPECT_EQ(kx::hrOEMDevMode(5, &p), E_FAIL);
    EXPECT_EQ(kx::plat::GetLastError(), 87u);
    OEMDMPARAM empty{};
    EXPECT_EQ(kx::hrOEMDevMode(OEMDM_DEFAULT, &empty), E_FAIL);
    EXPECT_EQ(kx::hrOEMDevMode(OEMDM_MERGE, &empty), E_FAIL);
    EXPECT_EQ(kx::hrOEMDevMode(OEMDM_CONVERT, &empty), S_OK);
    Bytes small(100, 0xEE);  // declared too small: not written
    empty.pOEMDMOut = small.data();
    empty.cbBufSize = 100;
    EXPECT_EQ(kx::hrOEMDevMode(OEMDM_DEFAULT, &empty), E_FAIL);
    EXPECT_EQ(small, Bytes(100, 0xEE));
}

// ------------------------------------------------------------ the saved record

class ReadDevmodeTest : public PrinterTest {
protected:
    void SetUp() override
    {
        PrinterTest::SetUp();
        SetMachineRecord(ToBytes(SavedRecord(2)));
    }
    // The tag of the record read, -1 when none.
    LONG Tag()
    {
        KX_DEVMODE out{};
        out.lXOffset = -1;
        kx::ReadDevmodeSettings(hPrinter, &out, nullptr);
        return out.lXOffset;
    }
    void DropDevModes2()
    {
        ASSERT_EQ(
            kx::plat::RegDeleteValue(kx::plat::Hive::CurrentUser, kx::reg::kDevModes2Key, kPrinter),
            0u);
    }
    void WriteGpd()  // 104 bytes of head at 203 dpi
    {
        std::string text = "*MaxSize: PAIR(832, 20000)\r\n*OEMCustomData: \"104 203\"\r\n";
        HANDLE h =
            kx::plat::CreateFile(kGpdPath, kx::plat::kGenericWrite, 0, kx::plat::kCreateAlways);
        std::uint32_t n = 0;
        kx::plat::WriteFile(h, text.data(), static_cast<std::uint32_t>(text.size()), &n);
        kx::plat::CloseHandle(h);
    }
};

TEST_F(ReadDevmodeTest, TheUsersRecordWinsUnlessIncomplete)
{
    SetDevModes2(UserDevmode(ToBytes(SavedRecord(1))));
    KX_DEVMODE out{};
    WCHAR name[260] = {};
    ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, name), 5);
    EXPECT_EQ(out.lXOffset, 1);
    EXPECT_EQ(std::u16string(name), kPrinter);
    EXPECT_EQ(kx::ReadDevmodeSettings(hPrinter, nullptr, nullptr), 4);

    const json file = Data();
    for (const json& c : file["user_records"]) {
        KX_DEVMODE user = SavedRecord(1);
        kxhost::ApplyDevmode(c[1], "user", &user);
        SetDevModes2(UserDevmode(ToBytes(user)));
        EXPECT_EQ(Tag(), c[2]) << c[0];
    }
}

TEST_F(ReadDevmodeTest, AMissingModelBlockComesFromTheGpd)
{
    WriteGpd();
    KX_DEVMODE user = SavedRecord(1);
    user.FixedData = KX_FIXEDDATA{};
    SetDevModes2(UserDevmode(ToBytes(user)));
    KX_DEVMODE out{};
    ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5);
    EXPECT_EQ(out.lXOffset, 1);
    EXPECT_EQ(out.FixedData.wMasterUnit, 203);
    EXPECT_EQ(out.FixedData.dwHeadWidthByte, 104u);
}

// Records of the older layouts sit closer to the end. They are found by their
// marker; a current body is used as it is (nothing beyond the old size is
// taken), a body marked older (here 2.6.2, by its marker) is converted.
TEST_F(ReadDevmodeTest, OlderLayoutSizesAtTheEnd)
{
    WriteGpd();  // the shortest layout ends before wPrintHeadWidth
    for (std::size_t size : {2216u, 2008u, 1952u}) {
        Bytes record = ToBytes(SavedRecord(1));
        record.resize(size);
        SetDevModes2(UserDevmode(record));
        KX_DEVMODE out{};
        ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5) << size;
        EXPECT_EQ(out.lXOffset, 1) << size;
        EXPECT_EQ(out.wFontID[0], 0) << size;

        KX_DEVMODE old = SavedRecord(1);
        old.wVersion = 0x6202;
        old.w9999 = 0;
        record = ToBytes(old);
        record.resize(size);
        SetDevModes2(UserDevmode(record));
        EXPECT_EQ(Tag(), 1) << size;
    }
    // DevModePerUser knows only the current size.
    DropDevModes2();
    Bytes record = ToBytes(SavedRecord(1));
    record.resize(2216);
    SetValue(kx::plat::Hive::CurrentUser, kx::reg::kDevModePerUserKey, kPrinter,
             UserDevmode(record));
    EXPECT_EQ(Tag(), 2);
}

TEST_F(ReadDevmodeTest, TheByteScanCoversStarts1001To1200)
{
    for (std::size_t start : {1000u, 1001u, 1200u, 1201u}) {
        Bytes blob = UserDevmode(ToBytes(SavedRecord(1)), start - 220, 100);
        SetDevModes2(blob);
        EXPECT_EQ(Tag(), start >= 1001 && start <= 1200 ? 1 : 2) << start;
        // DevModePerUser is only looked at the end.
        DropDevModes2();
        SetValue(kx::plat::Hive::CurrentUser, kx::reg::kDevModePerUserKey, kPrinter, blob);
        EXPECT_EQ(Tag(), 2) << start;
    }
    SetValue(kx::plat::Hive::CurrentUser, kx::reg::kDevModePerUserKey, kPrinter,
             UserDevmode(ToBytes(SavedRecord(3))));
    EXPECT_EQ(Tag(), 3);
}

TEST_F(ReadDevmodeTest, TheLegacyCutterIntervalMovesUpTo500)
{
    for (WORD legacy : {0, 1, 500, 501}) {
        KX_DEVMODE machine = SavedRecord(2);
        machine.wLegacyCutterInterval = legacy;
        machine.cutter_wInterval = 77;
        SetMachineRecord(ToBytes(machine));
        KX_DEVMODE out{};
        ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5);
        bool moved = legacy >= 1 && legacy <= 500;
        EXPECT_EQ(Get(&out, 1976, 2), moved ? 0u : legacy) << legacy;
        EXPECT_EQ(Get(&out, 2030, 2), moved ? legacy : 77u) << legacy;
    }
}

TEST_F(ReadDevmodeTest, TruncatedOversizedAndMissingBlobs)
{
    SetDevModes2(Bytes(60, 0x11));  // shorter than a public devmode
    EXPECT_EQ(Tag(), 2);
    Bytes blob = UserDevmode(ToBytes(SavedRecord(1)));
    Put16(blob, offsetof(DEVMODEW, dmDriverExtra), 0xFFFF);  // claims more than it holds
    SetDevModes2(blob);
    EXPECT_EQ(Tag(), 2);
    blob = UserDevmode(ToBytes(SavedRecord(1)));
    blob.resize(blob.size() - 10);  // the record's tail cut off: the rest counts
    SetDevModes2(blob);
    KX_DEVMODE out{};
    ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5);
    Bytes expected = ToBytes(SavedRecord(1));
    std::fill(expected.end() - 10, expected.end(), 0);
    EXPECT_EQ(ToBytes(out), expected);
    DropDevModes2();

    Bytes longer = ToBytes(SavedRecord(3));  // a longer printer record: one record of it
    longer.resize(6000, 0xEE);
    SetMachineRecord(longer);
    ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5);
    EXPECT_EQ(ToBytes(out), ToBytes(SavedRecord(3)));
    KX_DEVMODE old = SavedRecord(4);  // an older printer record is converted
    old.wVersion = 0x4102;
    old.w9999 = 0;
    SetMachineRecord(ToBytes(old));
    EXPECT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5);
    EXPECT_EQ(out.lXOffset, 4);
    ASSERT_EQ(kx::plat::RegDeleteValue(kx::plat::Hive::LocalMachine,
                                       u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\"
                                       u"Label KX4\\PrinterDriverData",
                                       kx::reg::kPrivateDevmode),
              0u);
    EXPECT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 0);
    EXPECT_EQ(kx::ReadDevmodeSettings(hPrinter, nullptr, nullptr), 0);
    EXPECT_EQ(out.lXOffset, 4);
}

// ------------------------------------------------------------ conversion

KX_DEVMODE Header()
{
    KX_DEVMODE dm{};
    dm.dwSize = KX_DEVMODE_SIZE;
    dm.dwSignature = KX_SIGNATURE;
    return dm;
}

using ConvertTest = PrinterTest;

TEST_F(ConvertTest, TheCacheServesOneHandleUntilReset)
{
    SetMachineRecord(ToBytes(SavedRecord(2)));
    KX_DEVMODE in = Header(), out = Header();
    EXPECT_TRUE(kx::ConvertOEMDevmode(hPrinter, &in, &out));
    EXPECT_EQ(out.lXOffset, 2);
    EXPECT_EQ(out.dwVersion, 0x6602u);
    SetMachineRecord(ToBytes(SavedRecord(3)));
    EXPECT_TRUE(kx::ConvertOEMDevmode(hPrinter, &in, &out));
    EXPECT_EQ(out.lXOffset, 2);
    kx::ResetDevmodeCache();
    EXPECT_TRUE(kx::ConvertOEMDevmode(hPrinter, &in, &out));
    EXPECT_EQ(out.lXOffset, 3);
    // A foreign signature: the output keeps its record and gets our header.
    in.dwSignature = 0x12345678;
    out.lXOffset = 9;
    out.dwSize = 12;
    EXPECT_TRUE(kx::ConvertOEMDevmode(hPrinter, &in, &out));
    EXPECT_EQ(out.lXOffset, 9);
    EXPECT_EQ(out.dwSize, 4620u);
    EXPECT_FALSE(kx::ConvertOEMDevmode(hPrinter, nullptr, &out));
}

TEST_F(ConvertTest, AFailedReadLeavesTheOutputEveryTime)
{
    KX_DEVMODE in = Header();
    for (int round = 0; round < 2; ++round) {
        KX_DEVMODE out = Header();
        out.lXOffset = 7;
        EXPECT_TRUE(kx::ConvertOEMDevmode(hPrinter, &in, &out));
        EXPECT_EQ(out.lXOffset, 7) << round;
    }
}

TEST_F(ConvertTest, AStoredSizeBeyondTheRecordCopiesOneRecord)
{
    KX_DEVMODE saved = SavedRecord(2);
    saved.dwSize = 60000;
    SetMachineRecord(ToBytes(saved));
    KX_DEVMODE in = Header();
    in.dwSize = 60000;
    auto out = std::make_unique<KX_DEVMODE>(in);  // exactly one record for the sanitizer
    EXPECT_TRUE(kx::ConvertOEMDevmode(hPrinter, &in, out.get()));
    EXPECT_EQ(out->lXOffset, 2);
}

// ------------------------------------------------------------ merge

// The sequences of data/devmode.json.
TEST_F(PrinterTest, MergeSequences)
{
    const json file = Data();
    KX_DEVMODE saved = SavedRecord(2);
    saved.dmOrientation = 2;
    SetMachineRecord(ToBytes(saved));
    const int labelForm = AddForm(u"Label 100x150", 100000, 150000);
    // The form's number in place of its name.
    std::function<json(json)> resolve = [&](json v) {
        if (v == "label_form") return json(labelForm);
        if (v.is_structured())
            for (auto& item : v) item = resolve(item);
        return v;
    };
    for (const json& sequence : file["sequences"]) {
        SCOPED_TRACE(sequence["name"].get<std::string>());
        KX_DEVMODE privIn = Header(), privOut = Header();
        DEVMODEW pubIn{}, pubOut{};
        for (DEVMODEW* d : {&pubIn, &pubOut})  // A4 in portrait
            kxhost::ApplyPublicDevmode({{"dmOrientation", 1},
                                        {"dmPaperSize", 9},
                                        {"dmPaperLength", 2970},
                                        {"dmPaperWidth", 2100},
                                        {"dmScale", 50},
                                        {"dmCollate", 0},
                                        {"dmFields", 0}},
                                       "start", d);
        pubIn.dmFields = pubOut.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COLLATE;
        // No feature tokens until a step stores some.
        kx::plat::RegDeleteValue(kx::plat::Hive::CurrentUser, UserKey(), kx::reg::kDevmodeFtkn);
        int stepNo = 0;
        for (const json& step : sequence["steps"]) {
            SCOPED_TRACE("step " + std::to_string(++stepNo));
            if (step.contains("ftkn")) {
                DEVMODE_FTKN f{};
                kxhost::ApplyFtkn(step["ftkn"], "ftkn", &f);
                SetUser(kx::reg::kDevmodeFtkn, ToBytes(f));
            }
            kxhost::ApplyPublicDevmode(step.value("public_in", json::object()), "in", &pubIn);
            kxhost::ApplyPublicDevmode(step.value("public_out", json::object()), "out", &pubOut);
            OEMDMPARAM p{};
            p.hPrinter = hPrinter;
            p.pPublicDMIn = &pubIn;
            p.pPublicDMOut = &pubOut;
            p.pOEMDMIn = &privIn;
            p.pOEMDMOut = &privOut;
            ASSERT_EQ(kx::hrOEMDevMode(OEMDM_MERGE, &p), S_OK);
            const json expect = resolve(step["expect"]);
            // Each expected field written into a copy must change nothing.
            const json pubWant = expect.value("public_out", json::object());
            const json privWant = expect.value("private_out", json::object());
            for (const auto& [name, value] : pubWant.items()) {
                DEVMODEW same = pubOut;
                kxhost::ApplyPublicDevmode({{name, value}}, "expect", &same);
                if (name != "dmFields") same.dmFields = pubOut.dmFields;
                EXPECT_EQ(0, std::memcmp(&same, &pubOut, sizeof same))
                    << name << " is not " << value;
            }
            for (const auto& [name, value] : privWant.items()) {
                KX_DEVMODE same = privOut;
                kxhost::ApplyDevmode({{name, value}}, "expect", &same);
                EXPECT_EQ(0, std::memcmp(&same, &privOut, sizeof same))
                    << name << " is not " << value;
            }
        }
    }
}

}  // namespace
