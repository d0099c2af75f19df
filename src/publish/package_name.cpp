#include "publish/package_name.h"

#include "base/text.h"

namespace publish {
namespace {

constexpr size_t kContentDigits = 16;

std::string_view ValueOf(const AttributeList& attributes, std::string_view name) {
  for (const auto& [key, value] : attributes) {
    if (base::SameTextAscii(key, name)) return value;
  }
  return {};
}

}  // namespace

bool NeedsPlainName(std::string_view module, const AttributeList& attributes, std::string_view mainFile) {
  if (!mainFile.empty() && base::SameTextAscii(module, mainFile)) return true;
  if (ValueOf(attributes, "IsRegister") == "1") return true;
  return base::SameTextAscii(ValueOf(attributes, "SetupPath"), "#BDE");
}

std::string PlainPackageName(std::string_view module) { return std::string(module) + ".zip"; }

std::string ContentPackageName(std::string_view module, std::string_view sha256Hex) {
  return std::string(module) + "." + std::string(sha256Hex.substr(0, kContentDigits)) + ".zip";
}

std::string DeltaPackageName(std::string_view module, std::string_view fromSha256Hex, std::string_view sha256Hex) {
  return std::string(module) + "." + std::string(fromSha256Hex.substr(0, kContentDigits)) + "-" +
         std::string(sha256Hex.substr(0, kContentDigits)) + ".delta.zip";
}

}  // namespace publish
