#include "engine/manifest_signature.h"

#include "engine/ecdsa_signature.h"
#include "platform/crypto.h"
#include "platform/registry.h"

namespace engine {

std::optional<PublisherKeys> ConfiguredPublisherKeys(platform::IRegistry& registry) {
  const std::optional<std::string> text =
      registry.ReadString(platform::RegistryRoot::LocalMachine, kPublisherKeysKey, kPublisherKeysValue);
  if (!text || text->find_first_not_of(" \t\r\n") == std::string::npos) return std::nullopt;
  return ParsePublisherKeys(*text);
}

std::string SignatureProblem(const PublisherKeys& keys, std::string_view manifest, std::string_view signature) {
  if (keys.keys.empty()) return "本机配置的发布者公钥无效";
  const std::string raw = RawP256Signature(signature);
  if (raw.empty()) return "签名文件缺失或无法读取";
  for (const std::string& point : keys.keys) {
    if (platform::VerifyP256Signature(point, manifest, raw)) return {};
  }
  return kSignatureMismatch;
}

}  // namespace engine
