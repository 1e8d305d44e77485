// The few Win32 calls the loader test makes, behind a header that does not
// pull in <windows.h>: the test itself sees only the plug-in's own interface
// declarations.
#pragma once

#include <cstdint>
#include <string>

namespace kxwine {

// The directory of the running program, with a trailing backslash.
std::u16string ProgramDirectory();
// A path given in the ANSI code page (a command-line argument).
std::u16string FromAnsi(const char* text);

// LoadLibraryW / GetProcAddress / FreeLibrary. Null or false on failure;
// LastError() tells why.
void* OpenModule(const std::u16string& path);
void* FindExport(void* module, const char* name);
bool CloseModule(void* module);
std::uint32_t LastError();

// The version resource of a file.
struct FileVersion {
    std::uint32_t resourceSize = 0;  // GetFileVersionInfoSizeW, 0 = none
    std::uint32_t fileVersionMS = 0, fileVersionLS = 0;
    std::uint32_t productVersionMS = 0, productVersionLS = 0;
    std::uint32_t fileType = 0;
    std::u16string fileDescription;  // from the first translation listed
    std::u16string fileVersionText;
};
FileVersion ReadFileVersion(const std::u16string& path);

}  // namespace kxwine
