#pragma once
// The system's internet client for the HTTP fetch.
#include <chrono>
#include <memory>

#include "platform/internet_client.h"

namespace platform {

// WinInet on Windows. A call that makes no progress for stallLimit (opening
// a URL, reading a body) fails with kErrorInternetTimeout instead of waiting
// on. Builds without a system internet client raise OsError.
std::unique_ptr<platform::IInternetClient> CreateInternetClient(std::chrono::milliseconds stallLimit);

}  // namespace platform
