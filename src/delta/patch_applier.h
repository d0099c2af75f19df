#pragma once
// Applying a binary patch: the base is read piece by piece through seeks,
// never whole, and the result is written to the output as it comes, so
// memory stays at a few fixed buffers whatever the files' sizes.
#include <cstdint>

#include "zip/stream.h"

namespace delta {

// Writes the patched file to `output` from its current position; returns
// its length. PatchError when the patch is malformed or hostile, was made
// for a base of another length, or a read or write fails; the output is then
// incomplete and is to be thrown away. The caller checks the result's
// SHA-256: a patch applied to the wrong base of the right length gives
// wrong bytes, not an error.
std::uint64_t ApplyPatch(zip::Stream& base, zip::Stream& patch, zip::Stream& output);

}  // namespace delta
