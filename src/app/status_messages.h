#pragma once
// The two messages by which the update worker reports to the window, and the
// error text block that travels with status 0.
#include <cstdint>
#include <memory>
#include <string_view>

namespace app {

// WM_USER + 101 and WM_USER + 102.
inline constexpr unsigned kUpdateStatusMessage = 0x0400 + 101;
inline constexpr unsigned kUpdateProgressMessage = 0x0400 + 102;

// Status codes carried by kUpdateStatusMessage.
enum class Status : int {
  Failed = 0,
  Connecting = 1,
  Checking = 2,
  Updating = 3,
  Current = 4,
  // The server a web page named is not used (engine::ServerRefused); carries
  // a text like Failed.
  Refused = 5,
  Waiting = 6,  // another updater is running
  Finished = 9,
};

// A zero-terminated heap copy of text; whoever receives status 0 or 5 owns it and
// releases it with FreeStatusText (or by adopting it into a StatusText).
char* NewStatusText(std::string_view text);
void FreeStatusText(char* text) noexcept;

struct StatusTextDeleter {
  void operator()(char* p) const noexcept { FreeStatusText(p); }
};
using StatusText = std::unique_ptr<char[], StatusTextDeleter>;

// How the worker reports: posted, never waited for, safe from any thread.
class IStatusSink {
 public:
  virtual ~IStatusSink() = default;
  virtual void PostStatus(Status status) = 0;
  // Status 0 with a copy of the text.
  virtual void PostError(std::string_view text) = 0;
  // Status 5 with a copy of the text.
  virtual void PostRefusal(std::string_view text) = 0;
  virtual void PostProgress(std::int32_t done, std::int32_t total) = 0;
};

}  // namespace app
