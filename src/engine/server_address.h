#pragma once
// Host and port of an update server address, and the name of the client
// configuration file kept per server. Each routine records what it was given
// and what it found in the trace file.
#include <stdexcept>
#include <string>
#include <string_view>

namespace engine {

// An address whose host or port would make the configuration file name a
// path, a stream or a device.
class BadServerAddress : public std::runtime_error {
 public:
  explicit BadServerAddress(const std::string& address);
};

std::string TextBefore(std::string_view text, char c);  // empty when c is absent
std::string TextAfter(std::string_view text, char c);   // whole text when c is absent

class TraceFile;

std::string UrlHost(const std::string& address, const TraceFile& trace);
std::string UrlPort(const std::string& address, const TraceFile& trace);
// host + "_" + port + "_" + "AutoUpdateIniC.xml"; raises BadServerAddress
// (after tracing host and port) when that is no plain file name.
std::string ConfigFileName(const std::string& address, const TraceFile& trace);
// The same test, without tracing.
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
