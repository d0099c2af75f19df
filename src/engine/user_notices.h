#pragma once
// What the engine must tell or ask the user while it runs, as data: the
// application decides how each is shown. Each call returns only when the
// user has seen it, so a notice stays in its place among the downloads and
// installs around it.
//
// Failures reach the engine's callers in one of two ways: as a typed outcome
// (SetUpFailure, the bool of Install and CheckForUpdates) where the run goes
// on, or as an exception where it cannot. Nothing in the engine shows a
// message itself.
#include <string>

namespace engine {

class IUserNotices {
 public:
  virtual ~IUserNotices() = default;
  // A web page named a server this machine has never used; true to use it.
  virtual bool ApprovesFirstUse(const std::string& serverAddress) = 0;
  // A package could not be fetched from `url`; `error` says why.
  virtual void PackageNotDownloaded(const std::string& url, const std::string& error) = 0;
  // A package came but could not be put in place; the old files stay.
  virtual void ModuleNotInstalled(const std::string& module, const std::string& failure) = 0;
  // The database engine's setup files changed after unpacking, or could not
  // be held: its setup program is not run.
  virtual void DatabaseEngineSetupNotRun() = 0;
  // The desktop shortcut's title from the configuration is no usable name.
  virtual void ShortcutNameInvalid(const std::string& title) = 0;
  // The shell could not create the desktop shortcut.
  virtual void ShortcutNotCreated(const std::string& error) = 0;
  // An entry of a package is compressed in a way this updater cannot unpack.
  virtual void UnsupportedCompression() = 0;
};

}  // namespace engine
