// Win32 backend: last error, time, identity, code pages, version resources,
// heap blocks and the engine calls.
#include <cwchar>
#include <vector>

#include "platform/backend.h"
#include "platform/codepages.h"
#include "platform/win32_internal.h"

namespace kx::plat {

using namespace win32;

namespace {

SystemTime FromSystemTime(const SYSTEMTIME& s)
{
    SystemTime t;
    t.wYear = s.wYear;
    t.wMonth = s.wMonth;
    t.wDayOfWeek = s.wDayOfWeek;
    t.wDay = s.wDay;
    t.wHour = s.wHour;
    t.wMinute = s.wMinute;
    t.wSecond = s.wSecond;
    t.wMilliseconds = s.wMilliseconds;
    return t;
}

}  // namespace

// ------------------------------------------------------------ last error

std::uint32_t GetLastError()
{
    return ::GetLastError();
}
void SetLastError(std::uint32_t code)
{
    ::SetLastError(code);
}

// ------------------------------------------------------------ time

SystemTime GetLocalTime()
{
    SYSTEMTIME s;
    ::GetLocalTime(&s);
    return FromSystemTime(s);
}

bool FileTimeToLocalTime(std::uint64_t fileTime, SystemTime* local)
{
    if (!local) return Fail(ERROR_INVALID_PARAMETER);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(fileTime);
    ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    SYSTEMTIME utc, loc;
    // The time zone's rules for that date, not today's daylight saving.
    if (!::FileTimeToSystemTime(&ft, &utc) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &loc))
        return false;
    *local = FromSystemTime(loc);
    return true;
}

void Sleep(std::uint32_t milliseconds)
{
    ::Sleep(milliseconds);
}
std::uint64_t GetTickCount64()
{
    return ::GetTickCount64();
}

// ------------------------------------------------------------ identity

std::u16string GetUserName()
{
    wchar_t buf[257];  // UNLEN + 1
    DWORD n = 257;
    if (!::GetUserNameW(buf, &n)) return {};
    return U(buf);
}

std::u16string GetComputerName()
{
    wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(buf, &n)) return {};
    return U(buf, n);
}

std::uint16_t GetNativeProcessorArchitecture()
{
    SYSTEM_INFO si;
    ::GetNativeSystemInfo(&si);
    return si.wProcessorArchitecture;
}

// ------------------------------------------------------------ code pages

std::uint32_t GetACP()
{
    return ::GetACP();
}
std::uint32_t GetOEMCP()
{
    return ::GetOEMCP();
}

std::u16string MultiByteToWide(std::uint32_t codePage, std::string_view text)
{
    // The symbol code page the same way as the simulation (see codepages.h).
    if (codePage == kCpSymbol) return DecodeCodePage(kCpSymbol, text);
    if (text.empty()) {
        CPINFO info;
        if (!::GetCPInfo(codePage, &info)) ::SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    int len = static_cast<int>(text.size());
    int n = ::MultiByteToWideChar(codePage, 0, text.data(), len, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    n = ::MultiByteToWideChar(codePage, 0, text.data(), len, out.data(), n);
    if (n <= 0) return {};
    return U(out.data(), static_cast<std::size_t>(n));
}

std::string WideToMultiByte(std::uint32_t codePage, std::u16string_view text, bool* usedDefault)
{
    if (usedDefault) *usedDefault = false;
    if (codePage == kCpSymbol) return EncodeCodePage(kCpSymbol, text, usedDefault);
    if (text.empty()) {
        CPINFO info;
        if (!::GetCPInfo(codePage, &info)) ::SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    // UTF-8 takes neither flags nor a default character; every other code
    // page gives "?" for what it lacks instead of a look-alike.
    bool utf8 = codePage == CP_UTF8;
    DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL used = FALSE;
    BOOL* pUsed = utf8 ? nullptr : &used;
    auto* src = reinterpret_cast<const wchar_t*>(text.data());
    int len = static_cast<int>(text.size());
    int n = ::WideCharToMultiByte(codePage, flags, src, len, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    n = ::WideCharToMultiByte(codePage, flags, src, len, out.data(), n, nullptr, pUsed);
    if (n <= 0) return {};
    out.resize(static_cast<std::size_t>(n));
    if (usedDefault) *usedDefault = used != FALSE;
    return out;
}

// ------------------------------------------------------------ versions

bool GetFileVersionInfo(std::u16string_view path, VersionInfo* info)
{
    if (!info) return Fail(ERROR_INVALID_PARAMETER);
    std::wstring file = W(path);
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0) return false;
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return false;
    void* p = nullptr;
    UINT len = 0;
    if (!::VerQueryValueW(block.data(), L"\\", &p, &len) || len < sizeof(VS_FIXEDFILEINFO))
        return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
    const auto* ffi = static_cast<const VS_FIXEDFILEINFO*>(p);
    VersionInfo r;
    r.fileVersion[0] = HIWORD(ffi->dwFileVersionMS);
    r.fileVersion[1] = LOWORD(ffi->dwFileVersionMS);
    r.fileVersion[2] = HIWORD(ffi->dwFileVersionLS);
    r.fileVersion[3] = LOWORD(ffi->dwFileVersionLS);
    r.productVersion[0] = HIWORD(ffi->dwProductVersionMS);
    r.productVersion[1] = LOWORD(ffi->dwProductVersionMS);
    r.productVersion[2] = HIWORD(ffi->dwProductVersionLS);
    r.productVersion[3] = LOWORD(ffi->dwProductVersionLS);

    // The first string table: the one the translation list names first, else
    // the usual English ones.
    std::vector<std::wstring> tables;
    if (::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &p, &len) && len >= 4) {
        const auto* lang = static_cast<const WORD*>(p);
        wchar_t name[16];
        std::swprintf(name, 16, L"%04x%04x", lang[0], lang[1]);
        tables.push_back(name);
    }
    tables.push_back(L"040904b0");
    tables.push_back(L"040904e4");
    auto text = [&](const std::wstring& table, const wchar_t* key, std::u16string* out) {
        std::wstring query = L"\\StringFileInfo\\" + table + L"\\" + key;
        void* value = nullptr;
        UINT chars = 0;
        if (::VerQueryValueW(block.data(), query.c_str(), &value, &chars) && chars > 0) {
            *out = U(static_cast<const wchar_t*>(value));
            return true;
        }
        return false;
    };
    for (const std::wstring& table : tables) {
        bool any = text(table, L"ProductName", &r.productName);
        any |= text(table, L"FileDescription", &r.fileDescription);
        any |= text(table, L"CompanyName", &r.companyName);
        any |= text(table, L"FileVersion", &r.fileVersionText);
        if (any) break;
    }
    *info = std::move(r);
    return true;
}

// ------------------------------------------------------------ heap blocks

namespace backend {

void* RawAlloc(std::size_t size, bool zero)
{
    return ::HeapAlloc(::GetProcessHeap(), zero ? HEAP_ZERO_MEMORY : 0, size);
}

std::size_t RawFree(void* p)
{
    HANDLE heap = ::GetProcessHeap();
    SIZE_T size = ::HeapSize(heap, 0, p);
    ::HeapFree(heap, 0, p);
    return size == static_cast<SIZE_T>(-1) ? 0 : size;
}

}  // namespace backend

// ------------------------------------------------------------ engine calls

// The module that serves the engine calls: gdi32 where it has them (the
// system's support of user-mode printer drivers), else the host that stands
// in for the spooler and exports them itself (Wine's gdi32 has none of the
// Eng calls). Every call comes from that one module: a palette made by the
// host's EngCreatePalette must be read by the host's GetPaletteEntries, not
// by gdi32's, which knows nothing of it.
static HMODULE EngineModule()
{
    static const HMODULE module = [] {
        HMODULE gdi = ::GetModuleHandleW(L"gdi32.dll");
        if (gdi && ::GetProcAddress(gdi, "EngCreatePalette")) return gdi;
        return ::GetModuleHandleW(nullptr);
    }();
    return module;
}

void* ResolveEngineCall(const char* name)
{
    if (!name) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(EngineModule(), name));
}

}  // namespace kx::plat
