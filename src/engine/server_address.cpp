#include "engine/server_address.h"

#include "base/text.h"
#include "engine/paths.h"
#include "platform/file_names.h"

namespace engine {
namespace {

constexpr std::string_view kScheme = "http://";
constexpr std::string_view kConfigSuffix = "AutoUpdateIniC.xml";

// The address less its first "http://" (any case) and everything from the
// first "/" after it; false when there is no "http://".
bool AuthorityOf(const std::string& address, std::string& authority) {
  size_t p = base::FindTextAscii(address, kScheme);
  if (p == std::string::npos) return false;
  std::string rest = address.substr(0, p) + address.substr(p + kScheme.size());
  size_t slash = rest.find('/');
  authority = slash == std::string::npos ? rest : rest.substr(0, slash);
  return true;
}

std::string HostOf(const std::string& address) {
  std::string authority;
  if (!AuthorityOf(address, authority)) return address;
  return authority.find(':') == std::string::npos ? authority : TextBefore(authority, ':');
}

std::string PortOf(const std::string& address) {
  std::string authority;
  if (AuthorityOf(address, authority) && authority.find(':') != std::string::npos) {
    return TextAfter(authority, ':');
  }
  return {};
}

std::string ConfigNameOf(const std::string& host, const std::string& port) {
  return host + "_" + port + "_" + std::string(kConfigSuffix);
}

// Host and port become part of a file name in the program folder: neither
// may make it a path, a stream or a device.
bool IsUsableAsFileName(const std::string& host, const std::string& port) {
  return (host.empty() || platform::IsPlainName(host)) && (port.empty() || platform::IsPlainName(port)) &&
         platform::IsPlainName(ConfigNameOf(host, port));
}

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.';
}

bool IsClearHost(std::string_view host) {
  if (host.empty() || host.front() == '.' || host.find("..") != std::string_view::npos) return false;
  for (char c : host) {
    if (!IsHostCharacter(c)) return false;
  }
  return true;
}

bool IsPortNumber(std::string_view port) {
  if (port.empty() || port.size() > 5) return false;
  unsigned value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value >= 1 && value <= 65535;
}

}  // namespace

BadServerAddress::BadServerAddress(const std::string& address)
    : std::runtime_error("unusable server address: " + address), address_(address) {}

std::string TextBefore(std::string_view text, char c) {
  size_t p = text.find(c);
  return p == std::string_view::npos ? std::string() : std::string(text.substr(0, p));
}

std::string TextAfter(std::string_view text, char c) {
  size_t p = text.find(c);
  return p == std::string_view::npos ? std::string(text) : std::string(text.substr(p + 1));
}

std::string UrlHost(const std::string& address) { return HostOf(address); }

std::string UrlPort(const std::string& address) { return PortOf(address); }

std::string ConfigFileName(const std::string& address) {
  const std::string host = HostOf(address);
  const std::string port = PortOf(address);
  if (!IsUsableAsFileName(host, port)) throw BadServerAddress(address);
  return ConfigNameOf(host, port);
}

std::string ServerKey(const std::string& address) { return HostOf(address) + "_" + PortOf(address); }

std::string ServerDisplayName(const std::string& address) {
  std::string authority;
  if (!AuthorityOf(address, authority)) return address;
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  return authority;
}

bool IsClearWebAddress(std::string_view address) {
  if (address.empty()) return true;
  // Without a scheme only a bare host, as the configuration file name reads it.
  if (!base::SameTextAscii(address.substr(0, kScheme.size()), kScheme)) return IsClearHost(address);
  std::string_view authority = address.substr(kScheme.size());
  authority = authority.substr(0, authority.find('/'));
  const size_t colon = authority.find(':');
  if (colon == std::string_view::npos) return IsClearHost(authority);
  return IsClearHost(authority.substr(0, colon)) && IsPortNumber(authority.substr(colon + 1));
}

bool IsUsableServerAddress(const std::string& address) {
  return IsUsableAsFileName(HostOf(address), PortOf(address));
}

}  // namespace engine
