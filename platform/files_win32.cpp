// Win32 backend: files, directories, folders and the module's own name.
#include <vector>

#include "platform/win32_internal.h"

namespace kx::plat {

using namespace win32;

namespace {

std::uint64_t FromFileTime(const FILETIME& ft)
{
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

}  // namespace

Handle CreateFile(std::u16string_view path, std::uint32_t access, std::uint32_t share,
                  std::uint32_t disposition)
{
    return ::CreateFileW(W(path).c_str(), access, share, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool ReadFile(Handle h, void* data, std::uint32_t cbData, std::uint32_t* cbRead)
{
    DWORD n = 0;
    BOOL ok = ::ReadFile(h, data, cbData, &n, nullptr);
    if (cbRead) *cbRead = n;
    return ok != FALSE;
}

bool WriteFile(Handle h, const void* data, std::uint32_t cbData, std::uint32_t* cbWritten)
{
    DWORD n = 0;
    BOOL ok = ::WriteFile(h, data, cbData, &n, nullptr);
    if (cbWritten) *cbWritten = n;
    return ok != FALSE;
}

bool SetFilePointer(Handle h, std::int64_t distance, std::uint32_t method,
                    std::uint64_t* newPosition)
{
    LARGE_INTEGER move, pos;
    move.QuadPart = distance;
    if (!::SetFilePointerEx(h, move, &pos, method)) return false;
    if (newPosition) *newPosition = static_cast<std::uint64_t>(pos.QuadPart);
    return true;
}

bool GetFileSize(Handle h, std::uint64_t* size)
{
    if (!size) return Fail(ERROR_INVALID_PARAMETER);
    LARGE_INTEGER s;
    if (!::GetFileSizeEx(h, &s)) return false;
    *size = static_cast<std::uint64_t>(s.QuadPart);
    return true;
}

bool GetFileTime(Handle h, std::uint64_t* lastWriteTime)
{
    if (!lastWriteTime) return Fail(ERROR_INVALID_PARAMETER);
    FILETIME ft;
    if (!::GetFileTime(h, nullptr, nullptr, &ft)) return false;
    *lastWriteTime = FromFileTime(ft);
    return true;
}

bool CloseHandle(Handle h)
{
    return ::CloseHandle(h) != FALSE;
}

bool CopyFile(std::u16string_view from, std::u16string_view to, bool failIfExists)
{
    return ::CopyFileW(W(from).c_str(), W(to).c_str(), failIfExists) != FALSE;
}

bool MoveFile(std::u16string_view from, std::u16string_view to)
{
    return ::MoveFileW(W(from).c_str(), W(to).c_str()) != FALSE;
}

bool DeleteFile(std::u16string_view path)
{
    return ::DeleteFileW(W(path).c_str()) != FALSE;
}

bool CreateDirectory(std::u16string_view path)
{
    return ::CreateDirectoryW(W(path).c_str(), nullptr) != FALSE;
}

bool RemoveDirectory(std::u16string_view path)
{
    return ::RemoveDirectoryW(W(path).c_str()) != FALSE;
}

bool PathFileExists(std::u16string_view path)
{
    return ::PathFileExistsW(W(path).c_str()) != FALSE;
}

bool IsDirectory(std::u16string_view path)
{
    DWORD attributes = ::GetFileAttributesW(W(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Fail(ERROR_DIRECTORY);
    return true;
}

bool FindFiles(std::u16string_view pattern, std::vector<FindData>* found)
{
    if (!found) return Fail(ERROR_INVALID_PARAMETER);
    found->clear();
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW(W(pattern).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    do {
        std::u16string name = U(fd.cFileName);
        if (name == u"." || name == u"..") continue;
        FindData f;
        f.name = std::move(name);
        f.isDirectory = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        f.size = f.isDirectory
                     ? 0
                     : (static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
        f.lastWriteTime = FromFileTime(fd.ftLastWriteTime);
        found->push_back(std::move(f));
    } while (::FindNextFileW(h, &fd));
    DWORD rc = ::GetLastError();
    ::FindClose(h);
    if (rc != ERROR_NO_MORE_FILES) return Fail(rc);
    if (found->empty()) return Fail(ERROR_FILE_NOT_FOUND);
    return true;
}

bool GetDiskFreeSpace(std::u16string_view path, std::uint64_t* freeBytes)
{
    if (!freeBytes) return Fail(ERROR_INVALID_PARAMETER);
    ULARGE_INTEGER available;
    std::wstring p = W(path);
    if (!::GetDiskFreeSpaceExW(p.empty() ? nullptr : p.c_str(), &available, nullptr, nullptr))
        return false;
    *freeBytes = available.QuadPart;
    return true;
}

std::u16string GetFolderPath(Folder folder)
{
    wchar_t buf[MAX_PATH + 1] = {};
    if (folder == Folder::Temp) {
        DWORD n = ::GetTempPathW(MAX_PATH + 1, buf);
        if (n == 0 || n > MAX_PATH) return {};
        std::u16string r = U(buf, n);
        if (r.size() > 3 && r.back() == u'\\') r.pop_back();  // "C:\" keeps its backslash
        return r;
    }
    int csidl = 0;
    switch (folder) {
        case Folder::Windows:
            csidl = CSIDL_WINDOWS;
            break;
        case Folder::System:
            csidl = CSIDL_SYSTEM;
            break;
        case Folder::CommonAppData:
            csidl = CSIDL_COMMON_APPDATA;
            break;
        case Folder::LocalAppData:
            csidl = CSIDL_LOCAL_APPDATA;
            break;
        case Folder::AppData:
            csidl = CSIDL_APPDATA;
            break;
        case Folder::Personal:
            csidl = CSIDL_PERSONAL;
            break;
        case Folder::Profile:
            csidl = CSIDL_PROFILE;
            break;
        default:
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return {};
    }
    HRESULT hr = ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf);
    if (FAILED(hr)) {
        ::SetLastError(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr)
                                                              : ERROR_PATH_NOT_FOUND);
        return {};
    }
    return U(buf);
}

std::u16string GetModuleFileName()
{
    // The module that holds this code: the plug-in DLL, not the host.
    static const char marker = 0;
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&marker), &module))
        return {};
    std::vector<wchar_t> buf(MAX_PATH);
    while (true) {
        DWORD n = ::GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return U(buf.data(), n);
        if (buf.size() >= 32768) return {};
        buf.resize(buf.size() * 2);
    }
}

}  // namespace kx::plat
