#include "platform/machine_setting.h"

#include <windows.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace platform {

std::optional<std::uint32_t> ReadMachineNumber(const std::string& key, const std::string& name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(key).c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &raw) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  const win32::RegistryKey owner(raw);
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExW(owner.get(), win32::Widen(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value) {
    return std::nullopt;
  }
  return value;
}

}  // namespace platform
