#pragma once
// Recording stand-ins for the OS interfaces, for tests of the engine and shell.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/message_box.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/shell_link.h"

namespace testing_support {

class RecordingMessageBox : public platform::IMessageBox {
 public:
  struct Shown {
    std::string text, caption;
    unsigned flags;
  };
  int Show(const std::string& text, const std::string& caption, unsigned flags) override {
    std::lock_guard lock(mutex_);
    shown.push_back({text, caption, flags});
    return answer;
  }
  std::vector<Shown> shown;
  int answer = platform::IdOk;

 private:
  std::mutex mutex_;
};

class RecordingProcesses : public platform::IProcessLauncher {
 public:
  struct Started {
    std::string program, commandLine;
    int showMode;
    bool waited;
    std::string currentFolder;
  };
  bool Start(const std::string& program, const std::string& commandLine, int showMode) override {
    started.push_back({program, commandLine, showMode, false, {}});
    if (onStart) onStart(commandLine);
    return startSucceeds;
  }
  using platform::IProcessLauncher::RunAndWait;
  std::uint32_t RunAndWait(const std::string& program, const std::string& commandLine, int showMode,
                           const std::string& currentFolder) override {
    started.push_back({program, commandLine, showMode, true, currentFolder});
    if (onStart) onStart(commandLine);
    return exitCode;
  }
  std::vector<Started> started;
  bool startSucceeds = true;
  std::uint32_t exitCode = 0;
  // Runs for every start, e.g. to make a started program write a file.
  std::function<void(const std::string&)> onStart;
};

class FakeRegistry : public platform::IRegistry {
 public:
  using Key = std::tuple<platform::RegistryRoot, std::string, std::string>;
  bool WriteString(platform::RegistryRoot root, const std::string& key, const std::string& name,
                   const std::string& data) override {
    writes.push_back({root, key, name, data});
    if (refuseKeys) return false;
    values[{root, key, name}] = data;
    return true;
  }
  std::optional<std::string> ReadString(platform::RegistryRoot root, const std::string& key,
                                        const std::string& name) override {
    auto it = values.find({root, key, name});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  std::optional<std::string> ReadString64(platform::RegistryRoot root, const std::string& key,
                                          const std::string& name) override {
    auto it = values64.find({root, key, name});
    if (it == values64.end()) return std::nullopt;
    return it->second;
  }
  struct Write {
    platform::RegistryRoot root;
    std::string key, name, data;
  };
  std::vector<Write> writes;
  std::map<Key, std::string> values;
  std::map<Key, std::string> values64;  // the 64-bit view, which ReadString64 reads
  bool refuseKeys = false;  // every key fails to open
};

class FakeShell : public platform::IShell {
 public:
  std::string DesktopDirectory() override { return desktop; }
  void CreateLink(const std::string& linkPath, const std::string& target,
                  const std::string& workingDirectory) override {
    links.push_back({linkPath, target, workingDirectory});
  }
  struct Link {
    std::string path, target, workingDirectory;
  };
  std::string desktop = "C:\\Users\\user\\Desktop";
  std::vector<Link> links;
};

}  // namespace testing_support
