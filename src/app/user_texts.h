#pragma once
// Every sentence the user reads about a run, in one place, with the values
// each one inserts. The texts are what users and their support staff know:
// they stay exactly as they are.
#include <string>

namespace app::texts {

// The progress window's hints.
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

// Message boxes.
// Captions of the run's message boxes.
inline constexpr const char* kUpdaterCaption = "AutoUpdate";
inline constexpr const char* kInformationCaption = "Information";
inline constexpr const char* kZipErrorCaption = "Zip Error";

// The first use of a server a web page named, as a yes/no question.
std::string FirstUseQuestion(const std::string& serverName);
// Why a web page's server address is refused, and that the user refused one.
std::string UnclearWebAddress(const std::string& address);
std::string DeclinedServer(const std::string& serverName);
// A manifest without a trusted signature, and one whose age rules it out.
// An address that would make the client configuration's name a path.
std::string UnusableServerAddress(const std::string& address);
std::string UnsignedManifest(const std::string& file, const std::string& problem);
std::string StaleManifest(const std::string& file, const std::string& problem);
std::string PackageNotDownloaded(const std::string& url, const std::string& error);
std::string ModuleNotInstalled(const std::string& module, const std::string& failure);
std::string DatabaseEngineSetupNotRun();
inline constexpr const char* kUnsupportedCompression = "Unknown Compression Method";
std::string ShortcutNameInvalid(const std::string& title);

}  // namespace app::texts
