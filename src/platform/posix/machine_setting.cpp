#include "platform/machine_setting.h"

namespace platform {

// The native build has no machine-wide settings.
std::optional<std::uint32_t> ReadMachineNumber(const std::string&, const std::string&) { return std::nullopt; }

}  // namespace platform
