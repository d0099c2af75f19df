#pragma once
// Host and port of an update server address, and the name of the client
// configuration file kept per server. Each routine records what it was given
// and what it found in the trace file.
#include <string>
#include <string_view>

namespace engine {

std::string TextBefore(std::string_view text, char c);  // empty when c is absent
std::string TextAfter(std::string_view text, char c);   // whole text when c is absent

std::string GetUrlHost(const std::string& address);
std::string GetUrlPort(const std::string& address);
// host + "_" + port + "_" + "AutoUpdateIniC.xml"
std::string ClientConfigName(const std::string& address);

}  // namespace engine
