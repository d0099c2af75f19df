#pragma once
// Lets the calling thread's window messages through during long work on that
// thread (the archive component yields while it unpacks).

namespace platform {

// Removes and dispatches every pending message of the calling thread's queue;
// a quit message is posted again and ends the pump. Nothing natively.
void PumpThreadMessages();

}  // namespace platform
