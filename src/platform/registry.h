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
  // The same, read from the view 64-bit programs see, where some system
  // values live only (ReadString reads the 32-bit view). On 32-bit Windows
  // the two views are one.
  virtual std::optional<std::string> ReadString64(RegistryRoot root, const std::string& key,
                                                  const std::string& name) = 0;
};

}  // namespace platform
