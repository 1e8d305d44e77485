// Internals of the Win32 backend, shared by its *_win32.cpp files.
//
// The platform functions carry the names of the Win32 functions they stand
// for, which the system headers define as macros (CreateFile -> CreateFileW);
// those macros are removed before platform.h is read, and the backend calls
// the wide functions by their full names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The system headers below need windows.h first.
#include <shlobj.h>
#include <shlwapi.h>
#include <winspool.h>

#include <string>
#include <string_view>

#undef RegGetValue
#undef RegSetValue
#undef RegDeleteValue
#undef RegDeleteTree
#undef OpenPrinter
#undef GetPrinterData
#undef GetPrinterDataEx
#undef SetPrinterDataEx
#undef GetPrinterDriver
#undef GetJob
#undef SetJob
#undef EnumForms
#undef AddForm
#undef StartDocPrinter
#undef CreateFile
#undef CopyFile
#undef MoveFile
#undef DeleteFile
#undef CreateDirectory
#undef RemoveDirectory
#undef PathFileExists
#undef GetDiskFreeSpace
#undef GetModuleFileName
#undef GetUserName
#undef GetComputerName
#undef GetFileVersionInfo

#include "platform/platform.h"

namespace kx::plat::win32 {

// char16_t and wchar_t are both UTF-16 code units on Windows.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

// A NUL-terminated copy for the system calls.
inline std::wstring W(std::u16string_view s)
{
    return std::wstring(reinterpret_cast<const wchar_t*>(s.data()), s.size());
}

inline std::u16string U(const wchar_t* s)
{
    return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}

inline std::u16string U(const wchar_t* s, std::size_t n)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}

inline HKEY RootKey(Hive hive)
{
    return hive == Hive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// Sets the last error and returns false (for "return Fail(code);").
inline bool Fail(DWORD code)
{
    ::SetLastError(code);
    return false;
}

}  // namespace kx::plat::win32
