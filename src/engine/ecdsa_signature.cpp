#include "engine/ecdsa_signature.h"

#include "base/der.h"

namespace engine {
namespace {

constexpr size_t kSize = 32;

// A non-negative integer's big-endian bytes, left-padded to 32; false when
// it is negative, empty or too large.
bool AppendPadded(std::string_view integer, std::string& out) {
  if (integer.empty() || (static_cast<unsigned char>(integer[0]) & 0x80)) return false;
  while (integer.size() > 1 && integer[0] == 0) integer.remove_prefix(1);
  if (integer.size() > kSize) return false;
  out.append(kSize - integer.size(), '\0');
  out.append(integer);
  return true;
}

}  // namespace

std::string RawP256Signature(std::string_view der) {
  const auto sequence = base::der::ReadWhole(der, base::der::kSequence);
  if (!sequence) return {};
  std::string_view fields = *sequence;
  const auto r = base::der::Read(fields, base::der::kInteger);
  const auto s = base::der::Read(fields, base::der::kInteger);
  std::string raw;
  if (!r || !s || !fields.empty() || !AppendPadded(*r, raw) || !AppendPadded(*s, raw)) return {};
  return raw;
}

}  // namespace engine
