#include "app/user_notices.h"

#include "app/user_texts.h"
#include "engine/server_address.h"
#include "engine/update_engine.h"
#include "platform/message_box.h"

namespace app {
namespace {

std::string SetUpFailureText(const engine::SetUpFailure& failure) {
  switch (failure.kind) {
    case engine::SetUpFailure::Kind::UnsignedManifest:
      return texts::UnsignedManifest(failure.file, failure.detail);
    case engine::SetUpFailure::Kind::StaleManifest:
      return texts::StaleManifest(failure.file, failure.detail);
    case engine::SetUpFailure::Kind::UnusableAddress:
      return texts::UnusableServerAddress(failure.detail);
    case engine::SetUpFailure::Kind::Error:
      break;
  }
  return failure.detail;
}

}  // namespace

bool UserNotices::ApprovesFirstUse(const std::string& serverAddress) {
  const unsigned flags = platform::MbYesNo | platform::MbIconQuestion | platform::MbDefaultButton2;
  const std::string text = texts::FirstUseQuestion(engine::ServerDisplayName(serverAddress));
  return messageBox_.Show(text, texts::kUpdaterCaption, flags) == platform::IdYes;
}

void UserNotices::PackageNotDownloaded(const std::string& url, const std::string& error) {
  messageBox_.Show(texts::PackageNotDownloaded(url, error), texts::kInformationCaption,
                   platform::MbOk | platform::MbIconInformation);
}

void UserNotices::ModuleNotInstalled(const std::string& module, const std::string& failure) {
  messageBox_.Show(texts::ModuleNotInstalled(module, failure), texts::kUpdaterCaption,
                   platform::MbOk | platform::MbIconError);
}

void UserNotices::DatabaseEngineSetupNotRun() {
  messageBox_.Show(texts::DatabaseEngineSetupNotRun(), texts::kUpdaterCaption, platform::MbOk);
}

void UserNotices::ShortcutNameInvalid(const std::string& title) {
  messageBox_.Show(texts::ShortcutNameInvalid(title), texts::kUpdaterCaption, platform::MbOk);
}

void UserNotices::ShortcutNotCreated(const std::string& error) {
  messageBox_.Show(error, texts::kUpdaterCaption, platform::MbOk);
}

void UserNotices::UnsupportedCompression() {
  messageBox_.Show(texts::kUnsupportedCompression, texts::kZipErrorCaption, platform::MbOk);
}

void UserNotices::SetUpFailed(const engine::SetUpFailure& failure) {
  messageBox_.Show(SetUpFailureText(failure), texts::kUpdaterCaption, platform::MbOk);
}

}  // namespace app
