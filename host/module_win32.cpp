#include <windows.h>

#include "host/module.h"

namespace kxhost {

namespace {

class Win32Module final : public Module {
public:
    explicit Win32Module(HMODULE handle) : handle_(handle) {}
    ~Win32Module() override { ::FreeLibrary(handle_); }
    void* Symbol(const char* name) const override
    {
        return reinterpret_cast<void*>(::GetProcAddress(handle_, name));
    }

private:
    HMODULE handle_;
};

}  // namespace

std::unique_ptr<Module> LoadModule(const std::filesystem::path& path, std::string* error)
{
    HMODULE handle = ::LoadLibraryW(std::filesystem::absolute(path).wstring().c_str());
    if (!handle) {
        if (error) *error = "LoadLibrary failed, error " + std::to_string(::GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32Module>(handle);
}

const char* PluginFileName()
{
    return "KXDRVUNI-266.dll";
}

std::filesystem::path ProgramDir()
{
    wchar_t buf[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::filesystem::path(buf).parent_path();
}

}  // namespace kxhost
