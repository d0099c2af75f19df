#include "engine/publisher_keys.h"

#include "base/base64.h"
#include "base/der.h"

namespace engine {
namespace {

constexpr std::string_view kBegin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view kEnd = "-----END PUBLIC KEY-----";
// The object identifiers of an EC public key (1.2.840.10045.2.1) and of the
// P-256 curve (1.2.840.10045.3.1.7), as DER contents.
constexpr std::string_view kEcPublicKey = "\x2A\x86\x48\xCE\x3D\x02\x01";
constexpr std::string_view kP256 = "\x2A\x86\x48\xCE\x3D\x03\x01\x07";
constexpr size_t kCoordinate = 32;

void Add(PublisherKeys& keys, std::string_view base64) {
  std::string point = P256PointOf(base::DecodeBase64(base64));
  if (point.empty()) {
    ++keys.refused;
  } else {
    keys.keys.push_back(std::move(point));
  }
}

// Whitespace-separated words of text outside PEM blocks: one-line keys.
void AddWords(PublisherKeys& keys, std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    const size_t begin = text.find_first_not_of(" \t\r\n", start);
    if (begin == std::string_view::npos) return;
    const size_t end = std::min(text.find_first_of(" \t\r\n", begin), text.size());
    Add(keys, text.substr(begin, end - begin));
    start = end;
  }
}

}  // namespace

std::string P256PointOf(std::string_view subjectPublicKeyInfo) {
  const auto info = base::der::ReadWhole(subjectPublicKeyInfo, base::der::kSequence);
  if (!info) return {};
  std::string_view fields = *info;
  const auto algorithm = base::der::Read(fields, base::der::kSequence);
  const auto bits = base::der::Read(fields, base::der::kBitString);
  if (!algorithm || !bits || !fields.empty()) return {};
  std::string_view ids = *algorithm;
  const auto type = base::der::Read(ids, base::der::kObjectId);
  const auto curve = base::der::Read(ids, base::der::kObjectId);
  if (type != kEcPublicKey || curve != kP256 || !ids.empty()) return {};
  // No unused bits, then the uncompressed point: 04, X, Y.
  if (bits->size() != 2 + 2 * kCoordinate || (*bits)[0] != 0 || (*bits)[1] != 4) return {};
  return std::string(bits->substr(2));
}

PublisherKeys ParsePublisherKeys(std::string_view text) {
  PublisherKeys keys;
  size_t pos = 0;
  for (;;) {
    const size_t begin = text.find(kBegin, pos);
    AddWords(keys, text.substr(pos, begin == std::string_view::npos ? std::string_view::npos : begin - pos));
    if (begin == std::string_view::npos) return keys;
    const size_t body = begin + kBegin.size();
    const size_t end = text.find(kEnd, body);
    if (end == std::string_view::npos) {
      ++keys.refused;  // a block that never ends
      return keys;
    }
    Add(keys, text.substr(body, end - body));
    pos = end + kEnd.size();
  }
}

}  // namespace engine
