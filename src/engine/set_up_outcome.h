#pragma once
// What the engine's set-up reports besides success: a refusal, thrown, after
// which the run ends; or a failure, returned, after which the run goes on
// with what set-up gathered. Both are data: the application words them.
#include <stdexcept>
#include <string>

namespace engine {

// Set-up's refusal of a server a web page named: its address is not clear
// (see IsClearWebAddress), or the user declined it. Nothing has been
// fetched, and the address must not be handed on to the client program.
class ServerRefused : public std::runtime_error {
 public:
  enum class Reason { UnclearAddress, Declined };
  ServerRefused(Reason reason, const std::string& address);
  Reason reason() const { return reason_; }
  const std::string& address() const { return address_; }

 private:
  Reason reason_;
  std::string address_;
};

// Why set-up stopped short; the engine keeps what it gathered before.
struct SetUpFailure {
  enum class Kind {
    Error,             // detail: the error's own text
    UnsignedManifest,  // detail: why no trusted signature holds
    StaleManifest,     // detail: why its age rules it out
    UnusableAddress,   // detail: the address (see BadServerAddress)
  };
  Kind kind;
  std::string detail;
  std::string file;  // the manifest's name, for the manifest kinds
};

}  // namespace engine
