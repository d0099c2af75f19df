#pragma once
// Why a patch was refused or could not be applied. A refused patch has
// written nothing the caller may keep: its output is to be thrown away.
#include <stdexcept>
#include <string>

namespace delta {

enum class PatchFault {
  BadHeader,     // no patch of this format, or sizes that do not add up
  WrongBase,     // the base file is not as long as the patch expects
  BadStream,     // a stream is no zlib stream, or a control triple says nothing
  Truncated,     // a stream ends before the patch is done
  OutOfRange,    // a control triple reads or seeks outside the base file
  TooLong,       // a control triple writes beyond the declared new size
  TrailingData,  // a stream holds more than the patch uses
  ReadFailed,    // the base or the patch could not be read
  WriteFailed,   // the output could not be written
};

class PatchError : public std::runtime_error {
 public:
  PatchError(PatchFault fault, const std::string& what) : std::runtime_error(what), fault_(fault) {}
  PatchFault fault() const { return fault_; }

 private:
  PatchFault fault_;
};

}  // namespace delta
