#pragma once
#include "platform/message_box.h"

namespace platform {

// The system message box without an owner window (MessageBoxW with a null
// owner). Natively the text goes to stderr and the answer is IdOk for an OK
// box, IdNo for a Yes/No question.
IMessageBox& OwnerlessMessageBox();

}  // namespace platform
