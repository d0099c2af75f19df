#pragma once
// The texts the progress window shows, each with the values it names.
#include <string>

namespace app::texts {

// The hint before the first stage is reported.
inline constexpr const char* kStarting = "正在更新……";
// The error text of a run that failed without saying why.
inline constexpr const char* kUnknownError = "未知错误。";

std::string Waiting();
std::string Connecting(const std::string& serverUrl);
std::string Checking(const std::string& appName);
std::string Updating(const std::string& appName);
std::string Current(const std::string& appName);
std::string Finished(const std::string& appName);
std::string Failed(const std::string& serverUrl, const std::string& appName);
std::string Refused(const std::string& appName);

}  // namespace app::texts
