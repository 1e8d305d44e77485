#include <dlfcn.h>

#include "host/module.h"

namespace kxhost {

namespace {

class PosixModule final : public Module {
public:
    explicit PosixModule(void* handle) : handle_(handle) {}
    ~PosixModule() override { ::dlclose(handle_); }
    void* Symbol(const char* name) const override { return ::dlsym(handle_, name); }

private:
    void* handle_;
};

}  // namespace

std::unique_ptr<Module> LoadModule(const std::filesystem::path& path, std::string* error)
{
    // A bare file name would be searched on the library path; the host
    // always means the file it names.
    std::filesystem::path full = path.has_parent_path() ? path : std::filesystem::path(".") / path;
    void* handle = ::dlopen(full.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* why = ::dlerror();
        if (error) *error = why ? why : "dlopen failed";
        return nullptr;
    }
    return std::make_unique<PosixModule>(handle);
}

const char* PluginFileName()
{
    return "KXDRVUNI-266.so";
}

std::filesystem::path ProgramDir()
{
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

}  // namespace kxhost
