#include "win32_module.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace kxwine {
namespace {

const wchar_t* Wide(const std::u16string& s)
{
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::u16string FromWide(const wchar_t* s, std::size_t n)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}

// A string value of the version resource, "" when missing.
std::u16string QueryString(const void* block, const wchar_t* subBlock)
{
    void* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(block, subBlock, &value, &chars) || value == nullptr) return {};
    auto* text = static_cast<const wchar_t*>(value);
    std::size_t n = 0;
    while (n < chars && text[n] != L'\0') ++n;
    return FromWide(text, n);
}

}  // namespace

std::u16string ProgramDirectory()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            std::u16string path = FromWide(buffer.data(), n);
            return path.substr(0, path.find_last_of(u"\\/") + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::u16string FromAnsi(const char* text)
{
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, text, -1, buffer.data(), n);
    return FromWide(buffer.data(), static_cast<std::size_t>(n - 1));
}

void* OpenModule(const std::u16string& path)
{
    return LoadLibraryW(Wide(path));
}

void* FindExport(void* module, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

bool CloseModule(void* module)
{
    return FreeLibrary(static_cast<HMODULE>(module)) != FALSE;
}

std::uint32_t LastError()
{
    return GetLastError();
}

FileVersion ReadFileVersion(const std::u16string& path)
{
    FileVersion result;
    DWORD handle = 0;
    result.resourceSize = GetFileVersionInfoSizeW(Wide(path), &handle);
    if (result.resourceSize == 0) return result;
    std::vector<BYTE> block(result.resourceSize);
    if (!GetFileVersionInfoW(Wide(path), 0, result.resourceSize, block.data())) return result;

    void* value = nullptr;
    UINT size = 0;
    if (VerQueryValueW(block.data(), L"\\", &value, &size) && size >= sizeof(VS_FIXEDFILEINFO)) {
        auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
        result.fileVersionMS = info->dwFileVersionMS;
        result.fileVersionLS = info->dwFileVersionLS;
        result.productVersionMS = info->dwProductVersionMS;
        result.productVersionLS = info->dwProductVersionLS;
        result.fileType = info->dwFileType;
    }
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &size) && size >= 4) {
        auto* translation = static_cast<const WORD*>(value);
        wchar_t prefix[64];
        std::swprintf(prefix, sizeof prefix / sizeof prefix[0], L"\\StringFileInfo\\%04x%04x\\",
                      translation[0], translation[1]);
        std::wstring base = prefix;
        result.fileDescription = QueryString(block.data(), (base + L"FileDescription").c_str());
        result.fileVersionText = QueryString(block.data(), (base + L"FileVersion").c_str());
    }
    return result;
}

}  // namespace kxwine
