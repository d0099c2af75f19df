#include "engine/server_address.h"

#include "engine/paths.h"
#include "engine/trace_file.h"

namespace engine {
namespace {

constexpr std::string_view kScheme = "http://";

// The address less its first "http://" (any case) and everything from the
// first "/" after it; nullopt-like empty flag when there is no "http://".
bool AuthorityOf(const std::string& address, std::string& authority) {
  size_t p = FindIgnoringCase(address, kScheme);
  if (p == std::string::npos) return false;
  std::string rest = address.substr(0, p) + address.substr(p + kScheme.size());
  size_t slash = rest.find('/');
  authority = slash == std::string::npos ? rest : rest.substr(0, slash);
  return true;
}

}  // namespace

std::string TextBefore(std::string_view text, char c) {
  size_t p = text.find(c);
  return p == std::string_view::npos ? std::string() : std::string(text.substr(0, p));
}

std::string TextAfter(std::string_view text, char c) {
  size_t p = text.find(c);
  return p == std::string_view::npos ? std::string(text) : std::string(text.substr(p + 1));
}

std::string GetUrlHost(const std::string& address) {
  DebugLog("取IP-url", address);
  std::string host = address;
  std::string authority;
  if (AuthorityOf(address, authority)) {
    host = authority.find(':') == std::string::npos ? authority : TextBefore(authority, ':');
  }
  DebugLog("取IP", host);
  return host;
}

std::string GetUrlPort(const std::string& address) {
  DebugLog("取端口-url", address);
  std::string port;
  std::string authority;
  if (AuthorityOf(address, authority) && authority.find(':') != std::string::npos) {
    port = TextAfter(authority, ':');
  }
  DebugLog("取端口", port);
  return port;
}

std::string ClientConfigName(const std::string& address) {
  const std::string host = GetUrlHost(address);
  const std::string port = GetUrlPort(address);
  DebugLog("host", host);
  DebugLog("port", port);
  return host + "_" + port + "_" + "AutoUpdateIniC.xml";
}

}  // namespace engine
