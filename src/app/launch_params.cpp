#include "app/launch_params.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "base/base64.h"
#include "base/text.h"
#include "engine/server_address.h"
#include "platform/codepage.h"

namespace app {
namespace {

// The lines of text, where a line ends at CR, LF or the pair CR LF.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

// The UTF-8 forms of the bidirectional formatting characters: U+200E,
// U+200F, U+202A..U+202E and U+2066..U+2069.
bool EndsWithBidiFormat(std::string_view text) {
  if (text.size() < 3) return false;
  const auto b = [&](size_t k) { return static_cast<unsigned char>(text[text.size() - 3 + k]); };
  if (b(0) != 0xE2) return false;
  if (b(1) == 0x80) return b(2) == 0x8E || b(2) == 0x8F || (b(2) >= 0xAA && b(2) <= 0xAE);
  return b(1) == 0x81 && b(2) >= 0xA6 && b(2) <= 0xA9;
}

}  // namespace

std::string OutsideValue(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || u < 0x20 || u == 0x7F) continue;
    out += c;
    // Checked after every byte, so that removing one cannot join the bytes
    // around it into another.
    if (EndsWithBidiFormat(out)) out.resize(out.size() - 3);
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

bool StartsWithReg(const Arguments& args) { return !args.empty() && args[0] == "REG"; }

bool IsUrlForm(const Arguments& args) {
  const std::string_view scheme = kUrlScheme;
  return !args.empty() && base::SameTextAscii(std::string_view(args[0]).substr(0, scheme.size()), scheme);
}

bool IsPositionalForm(const Arguments& args) { return args.size() >= kPositionalCount && !IsUrlForm(args); }

bool IsRegistrationStart(const Arguments& args) {
  return args.size() < kPositionalCount && StartsWithReg(args);
}

std::string UrlKeyValue(std::string_view url, std::string_view key) {
  std::string text;
  text.reserve(url.size());
  for (char c : url) {
    if (c == '?' || c == '&') {
      text += "\r\n";
    } else {
      text += c;
    }
  }
  for (std::string_view line : SplitLines(text)) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (base::SameTextAscii(line.substr(0, eq), key)) return std::string(line.substr(eq + 1));
  }
  return {};
}

std::string UserIdOfUid(std::string_view decoded) {
  if (decoded.size() <= 3) return {};
  // The decoded bytes are 8-bit text in the system code page.
  return platform::AnsiToUtf8(decoded.substr(3, 20));
}

std::string FormatWorkDate(int year, int month, int day) {
  std::array<char, 32> buf{};
  std::snprintf(buf.data(), buf.size(), "%04d%02d%02d", year, month, day);
  return buf.data();
}

std::string TodayWorkDate() {
  std::time_t now = std::time(nullptr);
  // Read once on the window thread before any other thread exists.
  const std::tm* local = std::localtime(&now);
  if (local == nullptr) return FormatWorkDate(1970, 1, 1);
  return FormatWorkDate(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday);
}

std::optional<PortLookup> ReadParams(const Arguments& args, const std::string& workDate, LaunchParams& params) {
  if (args.empty()) return std::nullopt;
  if (IsPositionalForm(args)) {
    std::string* fields[] = {&params.appName, &params.userId,   &params.userId2,    &params.appCode,
                             &params.workDate, &params.extra1,  &params.extra2,     &params.extra3,
                             &params.extra4,   &params.serverUrl, &params.serverPort, &params.clientExe};
    for (size_t k = 0; k < kPositionalCount; ++k) *fields[k] = base::Trimmed(args[k]);
    return std::nullopt;
  }
  // URL form: only the first argument counts, whatever else the caller's
  // quoting split off it.
  const std::string& url = args[0];
  params.appName = kClientApplication;
  const std::string userId = OutsideValue(UserIdOfUid(base::DecodeBase64(UrlKeyValue(url, "UID"))));
  params.userId = userId;
  params.userId2 = userId;
  params.appCode = kClientApplication;
  params.workDate = workDate;
  params.extra1 = " ";
  params.extra2 = " ";
  params.extra3 = " ";
  params.extra4 = " ";
  params.serverUrl = OutsideValue(UrlKeyValue(url, "url"));
  const std::string port = engine::UrlPort(params.serverUrl);
  params.serverPort = port;
  // The engine refuses such an address before any request: no port of it
  // reaches the client program either.
  if (!engine::IsClearWebAddress(params.serverUrl)) params.serverPort.clear();
  params.clientExe.clear();
  return PortLookup{params.serverUrl, port};
}

}  // namespace app
