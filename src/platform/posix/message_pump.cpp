#include "platform/message_pump.h"

namespace platform {

// A native process has no window message queue.
void PumpThreadMessages() {}

}  // namespace platform
