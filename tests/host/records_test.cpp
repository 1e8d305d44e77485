// The job's named values land at the binary places the plug-in reads: every
// case of data/records.json applies its values to a record and reads the
// record back at offsets written out by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/regvalues.h"
#include "host/records.h"

namespace {

using nlohmann::json;

template <class T>
json At(const std::vector<std::uint8_t>& r, std::size_t offset)
{
    T v;
    std::memcpy(&v, r.data() + offset, sizeof(v));
    return v;
}

// The value at offset as the kind reads it.
json Read(const std::vector<std::uint8_t>& r, std::size_t offset, const std::string& kind)
{
    if (kind == "u8") return r[offset];
    if (kind == "u16") return At<std::uint16_t>(r, offset);
    if (kind == "i16") return At<std::int16_t>(r, offset);
    if (kind == "u32") return At<std::uint32_t>(r, offset);
    if (kind == "i32") return At<std::int32_t>(r, offset);
    if (kind == "ascii") return std::string(reinterpret_cast<const char*>(&r[offset]));
    std::u16string s;  // wide
    for (std::size_t i = offset; At<std::uint16_t>(r, i) != 0; i += 2)
        s.push_back(At<std::uint16_t>(r, i).get<char16_t>());
    std::string utf8;
    for (char16_t c : s) {  // the texts here lie below U+0800
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

TEST(Records, NamedValuesAtTheirPlaces)
{
    std::ifstream in(std::string(KX_SOURCE_DIR) + "/tests/host/data/records.json");
    const json table = json::parse(in);
    for (const json& c : table.at("cases")) {
        const std::string record = c.at("record");
        SCOPED_TRACE(record + ": " + c.at("set").dump().substr(0, 120));
        const std::size_t size = record == "devmode"          ? sizeof(KX_DEVMODE)
                                 : record == "interface"      ? sizeof(PRN_INTERFACE)
                                 : record == "features"       ? sizeof(DWORD) * MAX_FEATURES
                                 : record == "public_devmode" ? sizeof(DEVMODEW)
                                 : record == "barcodes"
                                     ? kx::reg::kBarCodes1DSize + kx::reg::kBarCodes2DSize
                                     : sizeof(DEVMODE_FTKN);
        std::vector<std::uint8_t> r(size, 0);
        for (const json& b : c.value("before", json::array())) {
            const std::uint32_t v = b[2];
            std::memcpy(&r[b[0]], &v, b[1] == "u16" ? 2 : 4);
        }
        for (const json& values : c.at("set")) {
            void* p = r.data();
            if (record == "devmode")
                kxhost::ApplyDevmode(values, record, static_cast<KX_DEVMODE*>(p));
            if (record == "interface")
                kxhost::ApplyInterface(values, record, static_cast<PRN_INTERFACE*>(p));
            if (record == "features")
                kxhost::ApplyFeatures(values, record, *static_cast<DWORD(*)[MAX_FEATURES]>(p));
            if (record == "public_devmode")
                kxhost::ApplyPublicDevmode(values, record, static_cast<DEVMODEW*>(p));
            if (record == "ftkn") kxhost::ApplyFtkn(values, record, static_cast<DEVMODE_FTKN*>(p));
            if (record == "barcodes")  // the 1-D part, then the 2-D part
                kxhost::ApplyBarcodeSettings(values, record, r.data(),
                                             r.data() + kx::reg::kBarCodes1DSize);
        }
        for (const json& e : c.at("expect")) {
            const std::size_t offset = e[0];
            if (e[1] == "zero") {
                for (std::size_t i = offset; i < e[2].get<std::size_t>(); ++i)
                    EXPECT_EQ(r[i], 0) << i;
            } else {
                EXPECT_EQ(Read(r, offset, e[1]), e[2]) << "at " << offset;
            }
        }
    }
}

}  // namespace
