#pragma once
// The engine's notices as message boxes, worded by the text catalogue; each
// box is modal and shown on the calling (the worker's) thread.
#include <string>

#include "engine/user_notices.h"

namespace platform {
class IMessageBox;
}
namespace engine {
struct SetUpFailure;
}

namespace app {

class UserNotices : public engine::IUserNotices {
 public:
  explicit UserNotices(platform::IMessageBox& messageBox) : messageBox_(messageBox) {}

  bool ApprovesFirstUse(const std::string& serverAddress) override;
  void PackageNotDownloaded(const std::string& url, const std::string& error) override;
  void ModuleNotInstalled(const std::string& module, const std::string& failure) override;
  void DatabaseEngineSetupNotRun() override;
  void ShortcutNameInvalid(const std::string& title) override;
  void ShortcutNotCreated(const std::string& error) override;
  void UnsupportedCompression() override;
  // The run goes on after it, with what set-up gathered.
  void SetUpFailed(const engine::SetUpFailure& failure);

 private:
  platform::IMessageBox& messageBox_;
};

}  // namespace app
