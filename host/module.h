// Loading the plug-in module the way the driver host does: by path, and
// reaching it only through its exported entry points. One implementation per
// platform: dlopen on Linux (module_posix.cpp), LoadLibrary on Windows
// (module_win32.cpp).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace kxhost {

class Module {
public:
    virtual ~Module() = default;
    // The address of an exported function, null when the module lacks it.
    virtual void* Symbol(const char* name) const = 0;
};

// Loads a module; null with *error set when it cannot be loaded.
std::unique_ptr<Module> LoadModule(const std::filesystem::path& path, std::string* error);

// File name of the plug-in module on this platform ("KXDRVUNI-266.so").
const char* PluginFileName();

// The folder of the running program (empty when it cannot be told).
std::filesystem::path ProgramDir();

}  // namespace kxhost
