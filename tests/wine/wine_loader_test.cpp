// Loads the plug-in module the way the driver host does (LoadLibrary, the two
// exports) and runs the COM contract of tests/support/com_contract.h across
// the real module boundary, then reads the module's version resource. Prints
// one PASS or FAIL line per check and exits non-zero when any check failed.
//
//   wine_loader_test.exe [path of KXDRVUNI-266.dll]
// Without an argument the module next to the program is loaded.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/com_contract.h"
#include "tests/wine/check.h"
#include "win32_module.h"

namespace {

using kxcheck::Check;

void CheckVersionResource(const std::u16string& path)
{
    const kxwine::FileVersion v = kxwine::ReadFileVersion(path);
    if (!Check(v.resourceSize > 0, "version resource present")) return;
    const std::uint32_t ms = (KX_VERSION_MAJOR << 16) | KX_VERSION_MINOR;
    const std::uint32_t ls = (KX_VERSION_PATCH << 16) | KX_VERSION_TWEAK;
    Check(v.fileVersionMS == ms && v.fileVersionLS == ls, "  ... file version of the project");
    Check(v.productVersionMS == ms && v.productVersionLS == ls,
          "  ... product version of the project");
    Check(v.fileType == 2 /* VFT_DLL */, "  ... file type DLL");
    Check(v.fileDescription == u"Label printer render plug-in", "  ... file description");
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", KX_VERSION_MAJOR, KX_VERSION_MINOR,
                  KX_VERSION_PATCH, KX_VERSION_TWEAK);
    Check(v.fileVersionText == std::u16string(text, text + std::strlen(text)),
          std::string("  ... file version text ") + text);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::u16string path =
        argc > 1 ? kxwine::FromAnsi(argv[1]) : kxwine::ProgramDirectory() + u"KXDRVUNI-266.dll";
    void* module = kxwine::OpenModule(path);
    if (!Check(module != nullptr, "LoadLibraryW", "error " + std::to_string(kxwine::LastError())))
        return kxcheck::Finish();
    auto getClassObject = reinterpret_cast<kxtest::PFN_DllGetClassObject>(
        kxwine::FindExport(module, "DllGetClassObject"));
    auto canUnloadNow = reinterpret_cast<kxtest::PFN_DllCanUnloadNow>(
        kxwine::FindExport(module, "DllCanUnloadNow"));
    Check(kxwine::FindExport(module, "DllMain") == nullptr, "DllMain is not exported");
    if (Check(getClassObject && canUnloadNow, "GetProcAddress of both entry points"))
        kxtest::CheckComContract(getClassObject, canUnloadNow);
    Check(kxwine::CloseModule(module), "FreeLibrary");
    CheckVersionResource(path);
    return kxcheck::Finish();
}
