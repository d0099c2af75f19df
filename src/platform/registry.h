#pragma once
#include <optional>
#include <string>

namespace platform {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine };

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // Opens or creates the key with full access and writes a string value
  // ("" names the default value). Returns false, writing nothing, when the key
  // cannot be opened or created; raises OsError when the write is refused.
  virtual bool WriteString(RegistryRoot root, const std::string& key, const std::string& name,
                           const std::string& data) = 0;
  // A string value (the strings of a multi-string value one per line), or
  // nullopt when the key or value is missing or holds no text.
  virtual std::optional<std::string> ReadString(RegistryRoot root, const std::string& key,
                                                const std::string& name) = 0;
};

}  // namespace platform
