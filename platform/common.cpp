// Parts of the platform layer that both backends share.
#include "platform/platform.h"

namespace kx::plat {

namespace {
constexpr std::uint32_t kErrorInvalidData = 13;
}

bool RegGetDword(Hive hive, std::u16string_view subKey, std::u16string_view name,
                 std::uint32_t* value)
{
    std::uint32_t type = 0;
    std::uint32_t v = 0;
    std::uint32_t cb = sizeof(v);
    std::uint32_t rc = RegGetValue(hive, subKey, name, &type, &v, &cb);
    if (rc == 0 && cb != sizeof(v)) rc = kErrorInvalidData;
    if (rc == 234) rc = kErrorInvalidData;  // longer than a DWORD
    if (rc != 0) {
        SetLastError(rc);
        return false;
    }
    if (value) *value = v;
    return true;
}

std::uint32_t RegSetDword(Hive hive, std::u16string_view subKey, std::u16string_view name,
                          std::uint32_t value)
{
    return RegSetValue(hive, subKey, name, kRegDword, &value, sizeof(value));
}

}  // namespace kx::plat
