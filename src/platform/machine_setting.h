#pragma once
// Numbers an administrator sets for every user of the machine.
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// A REG_DWORD value under HKEY_LOCAL_MACHINE, in the 32-bit registry view
// the product sees; nullopt when the key or value is missing, of another
// type or size, or in a build without a registry.
std::optional<std::uint32_t> ReadMachineNumber(const std::string& key, const std::string& name);

}  // namespace platform
