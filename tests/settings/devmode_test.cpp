// The private devmode: defaults, the host's devmode requests, the search for
// the user's saved record and the merge into the public devmode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "printer_fixture.h"
#include "settings/devmode.h"
#include "settings/devmodeops.h"
#include "settings/forms.h"

namespace {

using namespace kxtest;

// ------------------------------------------------------------ defaults

TEST(DevmodeDefaults, EveryDefaultAtItsOffset)
{
    Bytes buf(sizeof(KX_DEVMODE), 0xAB);
    OEMDMPARAM p{};
    p.pOEMDMOut = buf.data();
    p.cbBufSize = KX_DEVMODE_SIZE;
    ASSERT_EQ(kx::hrOEMDevMode(OEMDM_DEFAULT, &p), S_OK);
    EXPECT_EQ(p.cbBufSize, 4620u);
    const BYTE* b = buf.data();
    EXPECT_EQ(U32(b, 0), 4620u);
    EXPECT_EQ(std::memcmp(b + 4, "KXDM", 4), 0);
    EXPECT_EQ(U32(b, 8), 0x6602u);

    struct Field {
        std::size_t off;
        int width;
        DWORD value;
    };
    const Field fields[] = {
        {12, 4, 0},      {24, 2, 1},     {28, 4, 0},     {32, 4, 20},    {40, 2, 1},
        {44, 2, 500},    {48, 2, 20},    {50, 2, 0},     {100, 2, 100},  {104, 2, 100},
        {108, 2, 100},   {124, 4, 0},    {158, 2, 1},    {160, 2, 30},   {162, 2, 1},
        {172, 4, 100},   {176, 4, 0},    {180, 2, 100},  {186, 2, 50},   {202, 2, 128},
        {208, 2, 2},     {220, 2, 2},    {222, 2, 5},    {224, 2, 90},   {252, 2, 8},
        {256, 2, 7},     {258, 2, 5},    {260, 2, 10},   {270, 2, 0},    {272, 4, 120},
        {276, 2, 10},    {280, 2, 100},  {1928, 2, 0},   {1976, 2, 0},   {1994, 2, 0},
        {2000, 4, 25},   {2004, 4, 110}, {2008, 4, 0},   {2012, 2, 1},   {2016, 4, 200},
        {2024, 4, 1200}, {2028, 2, 0},   {2030, 2, 0},   {2032, 4, 0},   {2040, 4, 1},
        {2044, 4, 1},    {2048, 4, 0},   {2072, 4, 0},   {2084, 4, 500}, {2088, 4, 1},
        {2092, 4, 100},  {2096, 4, 1},   {2104, 4, 100}, {2112, 4, 1},   {2116, 4, 50},
    };
    for (const Field& f : fields)
        EXPECT_EQ(f.width == 2 ? U16(b, f.off) : U32(b, f.off), f.value) << "offset " << f.off;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(U16(b, 56 + 2 * i), 1) << "wKopieProSeite " << i;
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(U16(b, 1368 + 2 * i), 100) << "wZoomX " << i;
        EXPECT_EQ(U16(b, 1384 + 2 * i), 100) << "wZoomY " << i;
        EXPECT_EQ(U16(b, 2216 + 2 * i), 100) << "wFontID " << i;
        EXPECT_EQ(U16(b, 2776 + 2 * i), 0) << "wZoomX2 " << i;
        EXPECT_EQ(U16(b, 3336 + 2 * i), 0) << "wFontID2 " << i;
    }
    EXPECT_EQ(WideAt(b, 308, 32), u"1");
    EXPECT_EQ(U16(b, 312), 0);  // the rest of szPrintOrder is cleared
    EXPECT_EQ(WideAt(b, 1348, 2), u"\u00A7");
    EXPECT_EQ(std::memcmp(b + 1986, "Device", 7), 0);  // six characters and the terminator
    for (std::size_t off :
         {372u, 616u, 738u, 860u, 1104u, 1226u, 1400u, 2232u, 3880u, 4082u, 4284u})
        EXPECT_EQ(U16(b, off), 0) << "string at " << off;
    for (std::size_t off : {26u, 42u, 228u, 250u, 294u, 1930u, 2120u, 4618u})
        EXPECT_EQ(b[off], 0) << "reserved byte " << off;

    // Label size, marker and model block are not a default's business.
    for (std::size_t off = 16; off < 24; ++off) EXPECT_EQ(b[off], 0xAB) << off;
    for (std::size_t off = 112; off < 124; ++off) EXPECT_EQ(b[off], 0xAB) << off;
    for (std::size_t off = 1936; off < 1964; ++off) EXPECT_EQ(b[off], 0xAB) << off;
}

TEST(DevmodeDefaults, ADefaultRecordIsNotGenuineUntilMarked)
{
    KX_DEVMODE dm{};
    kx::SetDevmodeDefaults(&dm);
    EXPECT_FALSE(HasValidMarker(dm));
    SetPassword(&dm, DEVMODE_PASSWORT);
    EXPECT_TRUE(HasValidMarker(dm));
    SetPassword(&dm, DEVMODE_PASSWORT_ALT);
    EXPECT_TRUE(HasValidMarker(dm));
    // The marker counts anywhere within the six characters, and only there.
    WCHAR shifted[6] = {u'#', 0, 0, 0, 0, 0};
    std::memcpy(shifted + 1, DEVMODE_PASSWORT, 5 * sizeof(WCHAR));
    EXPECT_TRUE(HasValidMarker(shifted, 6));
    EXPECT_FALSE(HasValidMarker(shifted, 5));
    WCHAR cut[6] = {};
    std::memcpy(cut, DEVMODE_PASSWORT, 4 * sizeof(WCHAR));
    EXPECT_FALSE(HasValidMarker(cut, 6));
}

// ------------------------------------------------------------ requests

TEST(DevModeRequests, BadParametersFail)
{
    kx::plat::SetLastError(0);
    EXPECT_EQ(kx::hrOEMDevMode(OEMDM_SIZE, nullptr), E_FAIL);
    EXPECT_EQ(kx::plat::GetLastError(), 87u);
    OEMDMPARAM p{};
    for (DWORD mode : {0u, 5u}) {
        kx::plat::SetLastError(0);
        EXPECT_EQ(kx::hrOEMDevMode(mode, &p), E_FAIL) << mode;
        EXPECT_EQ(kx::plat::GetLastError(), 87u);
    }
    EXPECT_EQ(kx::hrOEMDevMode(OEMDM_DEFAULT, &p), E_FAIL);
    // A buffer declared too small for the record is not written.
    Bytes small(100, 0xEE);
    p.pOEMDMOut = small.data();
    p.cbBufSize = 100;
    EXPECT_EQ(kx::hrOEMDevMode(OEMDM_DEFAULT, &p), E_FAIL);
    EXPECT_EQ(small, Bytes(100, 0xEE));

    KX_DEVMODE in{}, out{};
    DEVMODEW pub{};
    OEMDMPARAM m{};
    m.pOEMDMIn = &in;
    m.pOEMDMOut = &out;
    EXPECT_EQ(kx::hrOEMDevMode(OEMDM_MERGE, &m), E_FAIL);  // no public output
    m.pPublicDMOut = &pub;
    m.pOEMDMIn = nullptr;
    EXPECT_EQ(kx::hrOEMDevMode(OEMDM_MERGE, &m), E_FAIL);
    // A conversion without its records has nothing to do.
    OEMDMPARAM c{};
    EXPECT_EQ(kx::hrOEMDevMode(OEMDM_CONVERT, &c), S_OK);
}

TEST(DevModeRequests, SizeIsTheRecordEvenWithAPublicDevmode)
{
    DEVMODEW pub{};
    pub.dmSize = sizeof(DEVMODEW);
    pub.dmDriverExtra = 9000;
    OEMDMPARAM p{};
    p.pPublicDMIn = &pub;
    p.pPublicDMOut = &pub;
    ASSERT_EQ(kx::hrOEMDevMode(OEMDM_SIZE, &p), S_OK);
    EXPECT_EQ(p.cbBufSize, 4620u);
    pub.dmDriverExtra = 10;
    p.pPublicDMIn = nullptr;
    ASSERT_EQ(kx::hrOEMDevMode(OEMDM_SIZE, &p), S_OK);
    EXPECT_EQ(p.cbBufSize, 4620u);
}

// ------------------------------------------------------------ the saved record

using ReadDevmodeTest = PrinterTest;

// The record that ReadDevmodeSettings gives, or nullopt-like tag -1 on failure.
LONG ReadTag(HANDLE h, int* rc = nullptr)
{
    KX_DEVMODE out{};
    out.lXOffset = -1;
    int r = kx::ReadDevmodeSettings(h, &out, nullptr);
    if (rc) *rc = r;
    return out.lXOffset;
}

TEST_F(ReadDevmodeTest, TheUserRecordAtTheEndWinsOverTheMachineRecord)
{
    SetMachineRecord(ToBytes(SavedRecord(2)));
    SetDevModes2(UserDevmode(ToBytes(SavedRecord(1))));
    KX_DEVMODE out{};
    WCHAR name[260] = {};
    ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, name), 5);
    EXPECT_EQ(out.lXOffset, 1);
    EXPECT_EQ(std::u16string(name), kPrinter);
    EXPECT_EQ(kx::ReadDevmodeSettings(hPrinter, nullptr, nullptr), 4);
}

TEST_F(ReadDevmodeTest, AnIncompleteUserRecordFallsBackToTheMachineRecord)
{
    SetMachineRecord(ToBytes(SavedRecord(2)));
    struct Case {
        const char* what;
        void (*spoil)(KX_DEVMODE&);
    };
    const Case cases[] = {
        {"paper size", [](KX_DEVMODE& d) { d.dmPaperSize = 0; }},
        {"paper length", [](KX_DEVMODE& d) { d.dmPaperLength = 0; }},
        {"paper width", [](KX_DEVMODE& d) { d.dmPaperWidth = 0; }},
        {"marker", [](KX_DEVMODE& d) { SetPassword(&d, u"Kx7d"); }},
        // No GPD to fill the model block from.
        {"master unit", [](KX_DEVMODE& d) { d.FixedData.wMasterUnit = 0; }},
    };
    for (const Case& c : cases) {
        KX_DEVMODE user = SavedRecord(1);
        c.spoil(user);
        SetDevModes2(UserDevmode(ToBytes(user)));
        EXPECT_EQ(ReadTag(hPrinter), 2) << c.what;
    }
    KX_DEVMODE alt = SavedRecord(1);
    SetPassword(&alt, DEVMODE_PASSWORT_ALT);
    SetDevModes2(UserDevmode(ToBytes(alt)));
    EXPECT_EQ(ReadTag(hPrinter), 1) << "alternative marker";
}

TEST_F(ReadDevmodeTest, AMissingModelBlockIsTakenFromTheGpd)
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
    EXPECT_NE(out.FixedData.wPrintHeadWidth, 0);
}

// Records of the older layouts sit closer to the end of the DEVMODE. They
// are found by their marker; one whose body is current is used as it is,
// one of an older generation goes to the converter, which does not know it.
class OlderLayoutTest : public PrinterTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(OlderLayoutTest, FoundByItsMarkerAtTheEnd)
{
    const std::size_t size = GetParam();
    WriteGpd();  // the shortest layout lacks wPrintHeadWidth
    SetMachineRecord(ToBytes(SavedRecord(2)));
    Bytes record = ToBytes(SavedRecord(1));
    record.resize(size);
    SetDevModes2(UserDevmode(record));
    KX_DEVMODE out{};
    ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5);
    EXPECT_EQ(out.lXOffset, 1);
    EXPECT_EQ(out.wFontID[0], 0) << "nothing beyond the old record is taken";
    EXPECT_EQ(out.dwSize, 4620u);
}

TEST_P(OlderLayoutTest, AnOlderGenerationIsRefusedAndTheMachineRecordUsed)
{
    SetMachineRecord(ToBytes(SavedRecord(2)));
    KX_DEVMODE old = SavedRecord(1);
    old.wVersion = 0x6202;
    old.w9999 = 0;
    Bytes record = ToBytes(old);
    record.resize(GetParam());
    SetDevModes2(UserDevmode(record));
    EXPECT_EQ(ReadTag(hPrinter), 2);
}

INSTANTIATE_TEST_SUITE_P(Sizes, OlderLayoutTest, ::testing::Values(2216u, 2008u, 1952u));

TEST_F(ReadDevmodeTest, ACurrentRecordOfAnOldVersionPassesTheConverter)
{
    KX_DEVMODE user = SavedRecord(1);
    user.wVersion = 0x5202;
    user.cutter_dwMode = 7;
    user.dispenser_dwMode = 7;
    SetDevModes2(UserDevmode(ToBytes(user)));
    KX_DEVMODE out{};
    ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5);
    EXPECT_EQ(out.lXOffset, 1);
    EXPECT_EQ(out.cutter_dwMode, 6u);
    EXPECT_EQ(out.dispenser_dwMode, 0);
}

// Without a marker at the end, every start from byte 1001 to 1200 is tried.
TEST_F(ReadDevmodeTest, TheByteScanCoversStarts1001To1200)
{
    SetMachineRecord(ToBytes(SavedRecord(2)));
    for (std::size_t start : {1000u, 1001u, 1100u, 1200u, 1203u}) {
        Bytes blob(start, 0x5A);
        Bytes record = ToBytes(SavedRecord(1));
        blob.insert(blob.end(), record.begin(), record.end());
        blob.resize(blob.size() + 100, 0x5A);  // the end misses the record
        Put16(blob.data(), offsetof(DEVMODEW, dmSize), sizeof(DEVMODEW));
        Put16(blob.data(), offsetof(DEVMODEW, dmDriverExtra),
              static_cast<WORD>(blob.size() - sizeof(DEVMODEW)));
        SetDevModes2(blob);
        bool inWindow = start >= 1001 && start <= 1200;
        EXPECT_EQ(ReadTag(hPrinter), inWindow ? 1 : 2) << "start " << start;
    }
}

TEST_F(ReadDevmodeTest, DevModePerUserIsReadWhenDevModes2IsMissing)
{
    SetMachineRecord(ToBytes(SavedRecord(2)));
    SetDevModePerUser(UserDevmode(ToBytes(SavedRecord(1))));
    EXPECT_EQ(ReadTag(hPrinter), 1);
    // That key knows only the current size at the end: no older layouts, no scan.
    Bytes old = ToBytes(SavedRecord(1));
    old.resize(2216);
    SetDevModePerUser(UserDevmode(old));
    EXPECT_EQ(ReadTag(hPrinter), 2);
    Bytes scan(1100, 0x5A);
    Bytes record = ToBytes(SavedRecord(1));
    scan.insert(scan.end(), record.begin(), record.end());
    scan.resize(scan.size() + 100, 0x5A);
    Put16(scan.data(), offsetof(DEVMODEW, dmSize), sizeof(DEVMODEW));
    Put16(scan.data(), offsetof(DEVMODEW, dmDriverExtra),
          static_cast<WORD>(scan.size() - sizeof(DEVMODEW)));
    SetDevModePerUser(scan);
    EXPECT_EQ(ReadTag(hPrinter), 2);
    // DevModes2, when present, wins.
    SetDevModes2(scan);
    EXPECT_EQ(ReadTag(hPrinter), 1);
}

TEST_F(ReadDevmodeTest, NothingStoredLeavesTheOutputAlone)
{
    KX_DEVMODE out{};
    std::memset(&out, 0xCD, sizeof(out));
    const Bytes before = ToBytes(out);
    WCHAR name[260] = {};
    EXPECT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, name), 0);
    EXPECT_EQ(ToBytes(out), before);
    EXPECT_EQ(std::u16string(name), kPrinter);
    EXPECT_EQ(kx::ReadDevmodeSettings(hPrinter, nullptr, nullptr), 0);
    // A user record that cannot be used and no machine record: failure too.
    KX_DEVMODE user = SavedRecord(1);
    user.dmPaperSize = 0;
    SetDevModes2(UserDevmode(ToBytes(user)));
    EXPECT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 0);
    EXPECT_EQ(ToBytes(out), before);
    EXPECT_EQ(kx::ReadDevmodeSettings(nullptr, &out, nullptr), 0);
}

TEST_F(ReadDevmodeTest, TheLegacyCutterIntervalMovesUpTo500)
{
    struct Case {
        WORD legacy, expectLegacy, expectNew;
    };
    for (Case c : {Case{500, 0, 500}, Case{1, 0, 1}, Case{501, 501, 77}, Case{0, 0, 77}}) {
        KX_DEVMODE machine = SavedRecord(2);
        machine.wLegacyCutterInterval = c.legacy;
        machine.cutter_wInterval = 77;
        SetMachineRecord(ToBytes(machine));
        KX_DEVMODE out{};
        ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5);
        EXPECT_EQ(U16(&out, 1976), c.expectLegacy) << c.legacy;
        EXPECT_EQ(U16(&out, 2030), c.expectNew) << c.legacy;
    }
    // The user's record is treated alike.
    KX_DEVMODE user = SavedRecord(1);
    user.wLegacyCutterInterval = 340;
    SetDevModes2(UserDevmode(ToBytes(user)));
    KX_DEVMODE out{};
    ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5);
    EXPECT_EQ(out.cutter_wInterval, 340);
    EXPECT_EQ(out.wLegacyCutterInterval, 0);
}

TEST_F(ReadDevmodeTest, TruncatedAndOversizedBlobs)
{
    SetMachineRecord(ToBytes(SavedRecord(2)));
    // Shorter than the public part, or too short to be asked at all.
    SetDevModes2(Bytes(60, 0x11));
    EXPECT_EQ(ReadTag(hPrinter), 2);
    SetDevModes2(Bytes(3, 0x11));
    EXPECT_EQ(ReadTag(hPrinter), 2);
    // A DEVMODE that claims more private data than the blob holds, with the
    // record cut off at the end.
    Bytes blob = UserDevmode(ToBytes(SavedRecord(1)));
    Put16(blob.data(), offsetof(DEVMODEW, dmDriverExtra), 0xFFFF);
    SetDevModes2(blob);
    EXPECT_EQ(ReadTag(hPrinter), 2);
    // The record's last bytes missing: what is there is taken.
    blob = UserDevmode(ToBytes(SavedRecord(1)));
    blob.resize(blob.size() - 10);
    SetDevModes2(blob);
    KX_DEVMODE cut{};
    ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &cut, nullptr), 5);
    EXPECT_EQ(cut.lXOffset, 1);
    Bytes expectedCut = ToBytes(SavedRecord(1));
    std::fill(expectedCut.end() - 10, expectedCut.end(), 0);
    EXPECT_EQ(ToBytes(cut), expectedCut);

    ASSERT_EQ(
        kx::plat::RegDeleteValue(kx::plat::Hive::CurrentUser, kx::reg::kDevModes2Key, kPrinter),
        0u);
    // A machine record longer than ours: the first 4620 bytes count.
    Bytes longer = ToBytes(SavedRecord(3));
    longer.resize(6000, 0xEE);
    SetMachineRecord(longer);
    KX_DEVMODE out{};
    ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5);
    EXPECT_EQ(ToBytes(out), ToBytes(SavedRecord(3)));
    // A short one fills the beginning, the rest is zero.
    Bytes shorter = ToBytes(SavedRecord(4));
    shorter.resize(100);
    SetMachineRecord(shorter);
    ASSERT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 5);
    Bytes expected = shorter;
    expected.resize(sizeof(KX_DEVMODE), 0);
    EXPECT_EQ(ToBytes(out), expected);
    // An older machine record is refused.
    KX_DEVMODE old = SavedRecord(5);
    old.wVersion = 0x4102;
    old.w9999 = 0;
    SetMachineRecord(ToBytes(old));
    EXPECT_EQ(kx::ReadDevmodeSettings(hPrinter, &out, nullptr), 0);
    EXPECT_EQ(out.lXOffset, 4);
}

// ------------------------------------------------------------ conversion

using ConvertTest = PrinterTest;

KX_DEVMODE FreshOutput()
{
    KX_DEVMODE dm{};
    dm.dwSize = KX_DEVMODE_SIZE;
    dm.dwSignature = KX_SIGNATURE;
    dm.dwVersion = KX_DEVMODE_VERSION;
    return dm;
}

TEST_F(ConvertTest, TheOutputReceivesTheSavedRecordThroughTheCache)
{
    SetMachineRecord(ToBytes(SavedRecord(2)));
    KX_DEVMODE in = FreshOutput(), out = FreshOutput();
    OEMDMPARAM p{};
    p.hPrinter = hPrinter;
    p.pOEMDMIn = &in;
    p.pOEMDMOut = &out;
    ASSERT_EQ(kx::hrOEMDevMode(OEMDM_CONVERT, &p), S_OK);
    EXPECT_EQ(out.lXOffset, 2);
    EXPECT_EQ(out.dwVersion, 0x6602u);

    // Same handle: the cache answers, the store is not read again.
    SetMachineRecord(ToBytes(SavedRecord(3)));
    out = FreshOutput();
    EXPECT_TRUE(kx::ConvertOEMDevmode(hPrinter, &in, &out));
    EXPECT_EQ(out.lXOffset, 2);
    // Another handle, or a reset, reads again.
    HANDLE second = nullptr;
    ASSERT_EQ(kx::plat::OpenPrinter(kPrinter, &second), 0u);
    EXPECT_TRUE(kx::ConvertOEMDevmode(second, &in, &out));
    EXPECT_EQ(out.lXOffset, 3);
    kx::plat::ClosePrinter(second);
    SetMachineRecord(ToBytes(SavedRecord(4)));
    kx::ResetDevmodeCache();
    EXPECT_TRUE(kx::ConvertOEMDevmode(hPrinter, &in, &out));
    EXPECT_EQ(out.lXOffset, 4);
}

TEST_F(ConvertTest, AFailedReadLeavesTheOutputEachTime)
{
    KX_DEVMODE in = FreshOutput();
    for (int round = 0; round < 2; ++round) {
        KX_DEVMODE out = FreshOutput();
        out.lXOffset = 7;
        out.dwVersion = 0x1234;
        EXPECT_TRUE(kx::ConvertOEMDevmode(hPrinter, &in, &out)) << round;
        EXPECT_EQ(out.lXOffset, 7) << round;
        EXPECT_EQ(out.dwVersion, 0x6602u) << round;
    }
}

TEST_F(ConvertTest, AForeignSignatureIsIgnoredButTheHeaderWritten)
{
    SetMachineRecord(ToBytes(SavedRecord(2)));
    KX_DEVMODE in = FreshOutput(), out = FreshOutput();
    in.dwSignature = 0x12345678;
    out.lXOffset = 9;
    out.dwSize = 12;
    EXPECT_TRUE(kx::ConvertOEMDevmode(hPrinter, &in, &out));
    EXPECT_EQ(out.lXOffset, 9);
    EXPECT_EQ(out.dwSize, 4620u);
    EXPECT_FALSE(kx::ConvertOEMDevmode(hPrinter, nullptr, &out));
    EXPECT_FALSE(kx::ConvertOEMDevmode(hPrinter, &in, nullptr));
}

TEST_F(ConvertTest, AStoredSizeBeyondTheRecordCopiesOneRecord)
{
    KX_DEVMODE saved = SavedRecord(2);
    saved.dwSize = 60000;
    SetMachineRecord(ToBytes(saved));
    Bytes in(sizeof(KX_DEVMODE)), out(sizeof(KX_DEVMODE));  // exactly one record each
    KX_DEVMODE header = FreshOutput();
    header.dwSize = 60000;
    std::memcpy(in.data(), &header, sizeof(header));
    std::memcpy(out.data(), &header, sizeof(header));
    EXPECT_TRUE(kx::ConvertOEMDevmode(hPrinter, reinterpret_cast<KX_DEVMODE*>(in.data()),
                                      reinterpret_cast<KX_DEVMODE*>(out.data())));
    EXPECT_EQ(U32(out.data(), offsetof(KX_DEVMODE, lXOffset)), 2u);
    EXPECT_EQ(U32(out.data(), 0), 4620u);
}

// ------------------------------------------------------------ merge

class MergeTest : public PrinterTest {
protected:
    KX_DEVMODE privIn = FreshOutput();
    KX_DEVMODE privOut = FreshOutput();
    DEVMODEW pubIn{};
    DEVMODEW pubOut{};
    int labelForm = 0;  // paper size number of the form "Label 100x150"

    void SetUp() override
    {
        PrinterTest::SetUp();
        InitDevmodes();
        KX_DEVMODE saved = SavedRecord(2);
        saved.dmOrientation = 2;
        SetMachineRecord(ToBytes(saved));
        kx::plat::FormInfo form;
        form.name = u"Label 100x150";
        form.cx = 100000;
        form.cy = 150000;
        kx::plat::sim::AddForm(form);
        std::vector<kx::plat::FormInfo> forms;
        ASSERT_TRUE(kx::plat::EnumForms(hPrinter, &forms));
        for (std::size_t i = 0; i < forms.size(); ++i)
            if (forms[i].name == form.name) labelForm = static_cast<int>(i + 1);
        ASSERT_GT(labelForm, 0);
    }
    // Both public devmodes ask for A4 in portrait.
    void InitDevmodes()
    {
        privIn = FreshOutput();
        privOut = FreshOutput();
        for (DEVMODEW* d : {&pubIn, &pubOut}) {
            *d = DEVMODEW{};
            d->dmSize = sizeof(DEVMODEW);
            d->dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COLLATE;
            d->dmOrientation = 1;
            d->dmPaperSize = 9;  // A4
            d->dmPaperLength = 2970;
            d->dmPaperWidth = 2100;
            d->dmScale = 50;
            d->dmColor = 7;
        }
    }
    static DEVMODE_FTKN Tokens(WORD prioritaet, WORD papierModus, WORD collate)
    {
        DEVMODE_FTKN f{};
        f.dwPrioritaet = prioritaet;
        f.wPapierModus = papierModus;
        f.wCollate = collate;
        return f;
    }
    void SetFtkn(const DEVMODE_FTKN& f)
    {
        Bytes b(sizeof(f));
        std::memcpy(b.data(), &f, sizeof(f));
        SetUserValue(UserKey(), kx::reg::kDevmodeFtkn, b);
    }
    HRESULT Merge()
    {
        OEMDMPARAM p{};
        p.hPrinter = hPrinter;
        p.pPublicDMIn = &pubIn;
        p.pPublicDMOut = &pubOut;
        p.pOEMDMIn = &privIn;
        p.pOEMDMOut = &privOut;
        p.cbBufSize = KX_DEVMODE_SIZE;
        return kx::hrOEMDevMode(OEMDM_MERGE, &p);
    }
};

TEST_F(MergeTest, Priority1TheLabelOfThePrivateRecordWins)
{
    SetFtkn(Tokens(1, 0, 0));
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_EQ(privOut.lXOffset, 2);
    EXPECT_EQ(pubOut.dmOrientation, 2);
    EXPECT_EQ(pubOut.dmPaperSize, 256);
    EXPECT_EQ(pubOut.dmPaperLength, 1500);
    EXPECT_EQ(pubOut.dmPaperWidth, 1000);
    EXPECT_EQ(pubOut.dmFields & 0xF,
              DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH);
    EXPECT_EQ(pubOut.dmScale, 100);
}

TEST_F(MergeTest, Priority2TheFormOfThePrivateLabelWins)
{
    SetFtkn(Tokens(2, 0, 0));
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_EQ(privOut.dmPaperSize, static_cast<DWORD>(labelForm));
    EXPECT_EQ(pubOut.dmPaperSize, labelForm);
    EXPECT_EQ(pubOut.dmPaperLength, 2970) << "only the number is taken";
    EXPECT_TRUE(pubOut.dmFields & DM_PAPERSIZE);
    EXPECT_TRUE(pubOut.dmFields & DM_SCALE);
    EXPECT_EQ(pubOut.dmScale, 100);
}

TEST_F(MergeTest, APublicFormBeyondTheStandardSizes)
{
    pubOut.dmPaperSize = 300;
    pubOut.dmPaperLength = 1500;
    pubOut.dmPaperWidth = 1000;
    pubOut.dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_EQ(pubOut.dmPaperSize, labelForm);
    EXPECT_EQ(pubOut.dmFields & (DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH), DM_PAPERSIZE);
    EXPECT_EQ(pubOut.dmScale, 100);

    SetFtkn(Tokens(0, 256, 0));
    pubOut.dmPaperSize = 300;
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_EQ(pubOut.dmPaperSize, 256);
    // Without a size there is nothing to look up.
    pubOut.dmPaperSize = 300;
    pubOut.dmPaperWidth = 0;
    pubOut.dmFields |= DM_PAPERWIDTH;
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_EQ(pubOut.dmPaperSize, 300);
    EXPECT_TRUE(pubOut.dmFields & DM_PAPERWIDTH);
}

TEST_F(MergeTest, AUserPaperSizeTakesTheApplicationsSize)
{
    pubOut.dmPaperSize = 256;
    pubIn.dmOrientation = 2;
    pubIn.dmPaperLength = 777;
    pubIn.dmPaperWidth = 555;
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_EQ(pubOut.dmOrientation, 2);
    EXPECT_EQ(pubOut.dmPaperLength, 777);
    EXPECT_EQ(pubOut.dmPaperWidth, 555);
    EXPECT_EQ(pubOut.dmFields & 0xF,
              DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH);
}

TEST_F(MergeTest, AStandardSizeFollowsAChangedApplicationSize)
{
    // The application changed the size but kept the number: the form of the
    // new size replaces the number in both devmodes.
    pubIn.dmPaperLength = 1501;
    pubIn.dmPaperWidth = 1000;
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_EQ(pubOut.dmPaperSize, labelForm);
    EXPECT_EQ(pubOut.dmPaperLength, 1501);
    EXPECT_EQ(pubOut.dmPaperWidth, 1000);
    EXPECT_EQ(privOut.dmPaperSize, static_cast<DWORD>(labelForm));
    EXPECT_EQ(pubOut.dmScale, 100);

    // Same size: only the "always user size" mode looks the form up.
    InitDevmodes();
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_EQ(pubOut.dmPaperSize, 9);
    SetFtkn(Tokens(0, 256, 0));
    pubIn.dmPaperLength = pubOut.dmPaperLength = 1500;
    pubIn.dmPaperWidth = pubOut.dmPaperWidth = 1000;
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_EQ(pubOut.dmPaperSize, labelForm);

    // No paper size: untouched.
    pubOut.dmPaperSize = 0;
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_EQ(pubOut.dmPaperSize, 0);
}

TEST_F(MergeTest, Collate2SwitchesWindowsCollationOff)
{
    SetFtkn(Tokens(0, 0, 1));
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_TRUE(pubOut.dmFields & DM_COLLATE);
    SetFtkn(Tokens(0, 0, 2));
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_FALSE(pubOut.dmFields & DM_COLLATE);
}

TEST_F(MergeTest, ColourFollowsThePrintModeAndTheColourFeature)
{
    struct Case {
        DWORD features;
        WORD druckmodus, farbband, farbmodus;
        SHORT expected;
    };
    const Case cases[] = {
        {0, 0, 0, 0, DMCOLOR_MONOCHROME},
        {0, 2, 0, 0, DMCOLOR_COLOR},
        {0, 0, 3, 1, DMCOLOR_MONOCHROME},  // without the feature the ribbon does not count
        {0x800, 0, 0, 1, DMCOLOR_MONOCHROME},
        {0x800, 2, 0, 0, 7},  // colour model with colour chosen: left to the application
        {0x800, 0, 3, 1, DMCOLOR_COLOR},
        {0x800, 2, 0, 1, DMCOLOR_COLOR},
    };
    for (const Case& c : cases) {
        DEVMODE_FTKN f{};
        f.dwDocFeatures = c.features;
        f.wDruckmodus = c.druckmodus;
        f.wFarbband = c.farbband;
        f.wFarbmodus = c.farbmodus;
        SetFtkn(f);
        pubOut.dmColor = 7;
        ASSERT_EQ(Merge(), S_OK);
        EXPECT_EQ(pubOut.dmColor, c.expected)
            << "features " << c.features << " druckmodus " << c.druckmodus << " farbband "
            << c.farbband << " farbmodus " << c.farbmodus;
    }
}

TEST_F(MergeTest, TheFeatureTokensComeFromTheMachineWhenTheUserHasNone)
{
    DEVMODE_FTKN f{};
    f.dwPrioritaet = 1;
    f.wCollate = 2;
    Bytes b(sizeof(f));
    std::memcpy(b.data(), &f, sizeof(f));
    SetPrinterData(kx::reg::kDevmodeFtkn, b);
    DEVMODE_FTKN read{};
    read.wFarbband = 9;
    EXPECT_TRUE(kx::ReadDevmodeFtknSettings(hPrinter, kPrinter, &read));
    EXPECT_EQ(read.dwPrioritaet, 1);
    EXPECT_EQ(read.wCollate, 2);
    EXPECT_EQ(read.wFarbband, 0);
    ASSERT_EQ(Merge(), S_OK);
    EXPECT_EQ(pubOut.dmPaperLength, 1500);
    EXPECT_FALSE(pubOut.dmFields & DM_COLLATE);
}

}  // namespace
