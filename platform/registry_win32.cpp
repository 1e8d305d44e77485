// Win32 backend: the registry through the shell's light-weight registry API.
#include "platform/win32_internal.h"

namespace kx::plat {

using namespace win32;

std::uint32_t RegGetValue(Hive hive, std::u16string_view subKey, std::u16string_view name,
                          std::uint32_t* type, void* data, std::uint32_t* cbData)
{
    if (data && !cbData) return ERROR_INVALID_PARAMETER;
    DWORD t = 0;
    DWORD cb = cbData ? *cbData : 0;
    LSTATUS rc = ::SHGetValueW(RootKey(hive), W(subKey).c_str(), W(name).c_str(), &t, data,
                               cbData ? &cb : nullptr);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        if (cbData) *cbData = cb;
        if (type) *type = t;
    }
    return static_cast<std::uint32_t>(rc);
}

std::uint32_t RegSetValue(Hive hive, std::u16string_view subKey, std::u16string_view name,
                          std::uint32_t type, const void* data, std::uint32_t cbData)
{
    if (cbData && !data) return ERROR_INVALID_PARAMETER;
    return static_cast<std::uint32_t>(
        ::SHSetValueW(RootKey(hive), W(subKey).c_str(), W(name).c_str(), type, data, cbData));
}

std::uint32_t RegDeleteValue(Hive hive, std::u16string_view subKey, std::u16string_view name)
{
    return static_cast<std::uint32_t>(
        ::SHDeleteValueW(RootKey(hive), W(subKey).c_str(), W(name).c_str()));
}

std::uint32_t RegDeleteTree(Hive hive, std::u16string_view subKey)
{
    // An empty path would empty the whole hive.
    if (subKey.find_first_not_of(u'\\') == std::u16string_view::npos)
        return ERROR_INVALID_PARAMETER;
    return static_cast<std::uint32_t>(::SHDeleteKeyW(RootKey(hive), W(subKey).c_str()));
}

}  // namespace kx::plat
