// Shared set-up of the XML settings tests: a sandboxed drive C, a device
// state that serves as the readers' context, and settings files written
// byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "core/format.h"
#include "settings/xmlsettings.h"
#include "support/device.h"
#include "support/harness.h"

namespace kxtest {

class XmlTest : public ::testing::Test {
protected:
    static constexpr const char16_t* kPath = u"C:\\xml\\settings.xml";

    SimSandbox sandbox;
    TestDevice device;

    OEM_PDEV* ctx() { return &device.pdev; }

    void TearDown() override { kx::CloseXML(); }

    // Writes a file on the simulated drives (folders created as needed).
    void Write(std::u16string_view path, std::string_view bytes)
    {
        std::filesystem::path host(sandbox.HostPath(path));
        std::filesystem::create_directories(host.parent_path());
        std::ofstream out(host, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // Writes the settings file and opens it for the lookups.
    void Open(std::string_view bytes)
    {
        Write(kPath, bytes);
        ASSERT_EQ(kx::OpenXML(kPath), kx::XML_FOUND);
    }

    // ReadXML into a fresh value buffer; the value is kept in `value`.
    int Read(const char16_t* root, const char16_t* item1, const char16_t* item2, bool rewind = true)
    {
        value[0] = 0;
        return kx::ReadXML(ctx(), root, item1, item2, value, rewind ? TRUE : FALSE);
    }

    WCHAR value[kx::XML_VALUE_CHARS] = {};
};

// The example settings file of the repository.
inline std::string ExampleSettings()
{
    std::filesystem::path root;
    if (const char* env = std::getenv("KX_SOURCE_DIR"); env && *env)
        root = env;
    else
        root = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
    return SimSandbox::ReadHostFile((root / "examples/settings/printer-settings.xml").string());
}

}  // namespace kxtest
