#pragma once
// Host and port of an update server address, and the name of the client
// configuration file kept per server.
#include <stdexcept>
#include <string>
#include <string_view>

namespace engine {

// An address whose host or port would make the configuration file name a
// path, a stream or a device.
class BadServerAddress : public std::runtime_error {
 public:
  explicit BadServerAddress(const std::string& address);
  const std::string& address() const { return address_; }

 private:
  std::string address_;
};

std::string TextBefore(std::string_view text, char c);  // empty when c is absent
std::string TextAfter(std::string_view text, char c);   // whole text when c is absent

std::string UrlHost(const std::string& address);
std::string UrlPort(const std::string& address);
// host + "_" + port + "_" + "AutoUpdateIniC.xml"; raises BadServerAddress
// when that is no plain file name.
std::string ConfigFileName(const std::string& address);
// Whether ConfigFileName takes the address.
bool IsUsableServerAddress(const std::string& address);
// Whether an address a web page gave may be used at all: empty (no server
// named), or "http://host[:port][/path]" (scheme in any letter case) or a
// bare host, where the host is ASCII letters, digits, "-", "_" and "." (an
// international name arrives as punycode) and the port a number from 1 to
// 65535. Anything an HTTP client might read as another host than the one
// shown ("@", "%", "\\", foreign letters) is refused.
bool IsClearWebAddress(std::string_view address);
// host + "_" + port, as the configuration file of the server is named: how
// the machine keeps what it knows of each server. Nothing is traced.
std::string ServerKey(const std::string& address);
// How the user is shown a server: the host that is contacted, and ":" and
// port when there is one. Text up to an "@" in the authority names a user,
// not the host, for an HTTP client.
std::string ServerDisplayName(const std::string& address);

}  // namespace engine
