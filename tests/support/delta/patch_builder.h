#pragma once
// Patches written by hand for tests of the applier: the header and the
// three streams from given triples and bytes, any field overridable.
#include <zlib.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "delta/patch_format.h"

namespace testing_support {

inline std::string Deflated(const std::string& bytes) {
  uLongf length = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(length, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(bytes.data()),
                static_cast<uLong>(bytes.size()), 9) != Z_OK) {
    throw std::runtime_error("compress2 failed");
  }
  out.resize(length);
  return out;
}

struct PatchParts {
  std::uint64_t oldSize = 0;
  std::uint64_t newSize = 0;
  std::vector<delta::ControlTriple> triples;
  std::string diff;   // uncompressed
  std::string extra;  // uncompressed

  std::string ControlBytes() const {
    std::string out;
    for (const auto& t : triples) out += delta::EncodeTriple(t);
    return out;
  }
  // The patch from already compressed streams.
  std::string Assemble(const std::string& control, const std::string& diffZ, const std::string& extraZ) const {
    delta::PatchHeader header{oldSize, newSize, control.size(), diffZ.size(), extraZ.size()};
    return delta::EncodeHeader(header) + control + diffZ + extraZ;
  }
  std::string Bytes() const { return Assemble(Deflated(ControlBytes()), Deflated(diff), Deflated(extra)); }
};

}  // namespace testing_support
