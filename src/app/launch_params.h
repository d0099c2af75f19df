#pragma once
// The launch parameters of one run and how they are read from the command
// line: twelve positional arguments, or one ZEPRA: URL given by a browser.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

struct LaunchParams {
  std::string appName;
  std::string userId;
  std::string userId2;
  std::string appCode;
  std::string workDate;
  std::string extra1;
  std::string extra2;
  std::string extra3;
  std::string extra4;
  std::string serverUrl;
  std::string serverPort;
  std::string clientExe;

  bool operator==(const LaunchParams&) const = default;
};

// Arguments of the process without the program name, as UTF-8 texts.
using Arguments = std::vector<std::string>;

// At least this many arguments select the positional form, unless the first
// is a ZEPRA: URL.
inline constexpr size_t kPositionalCount = 12;
// The client application this updater belongs to: the name of its URL
// protocol, and the application and code a URL-form start runs for.
inline constexpr const char* kClientApplication = "ZEPRA";
// How a URL of the protocol begins, in any letter case.
inline constexpr const char* kUrlScheme = "ZEPRA:";

// "REG" alone (or with fewer than twelve arguments) registers the URL protocol.
bool IsRegistrationStart(const Arguments& args);
// The first argument is exactly "REG": whatever the form, no update runs.
bool StartsWithReg(const Arguments& args);
// The first argument begins with "ZEPRA:": the URL form, however many
// arguments a browser's quoting made of it.
bool IsUrlForm(const Arguments& args);
// Twelve arguments or more, the first no URL: the client program's own start.
bool IsPositionalForm(const Arguments& args);

// The URL form's look-up of the server's port, for the caller's trace file.
struct PortLookup {
  std::string url;
  std::string port;
  bool operator==(const PortLookup&) const = default;
};

// Fills params from the arguments; the URL form also returns its port
// look-up. URL-form values come from outside: they are read through
// OutsideValue, and a server address that engine::IsClearWebAddress refuses
// gives no port. workDate is today's local date as "yyyymmdd". Registration
// is not done here; see IsRegistrationStart.
std::optional<PortLookup> ReadParams(const Arguments& args, const std::string& workDate, LaunchParams& params);

// What is kept of a value a web page gave: no quotes, control characters or
// bidirectional formatting characters (which could make the text shown differ
// from the text used), and no backslashes at the end (which could join the
// closing quote of the client's command line).
std::string OutsideValue(std::string_view text);

// The value of the first "name=value" line of a URL whose name equals key,
// ignoring ASCII letter case, after every "?" and "&" became a line break.
// Empty when there is no such line. Nothing is unescaped.
std::string UrlKeyValue(std::string_view url, std::string_view key);

// The user id carried in a decoded "UID": 20 characters from the fourth on.
std::string UserIdOfUid(std::string_view decoded);

// "yyyymmdd" for a calendar date, and today's local date in that form.
std::string FormatWorkDate(int year, int month, int day);
std::string TodayWorkDate();

}  // namespace app
