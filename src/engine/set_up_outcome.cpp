#include "engine/set_up_outcome.h"

namespace engine {

ServerRefused::ServerRefused(Reason reason, const std::string& address)
    : std::runtime_error("server refused: " + address), reason_(reason), address_(address) {}

}  // namespace engine
