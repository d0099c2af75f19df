#pragma once
// The system's internet client for the HTTP fetch.
#include <memory>

#include "platform/internet_client.h"

namespace platform {

// WinInet on Windows. Builds without a system internet client raise OsError.
std::unique_ptr<platform::IInternetClient> CreateInternetClient();

}  // namespace platform
