#include "platform/ownerless_message_box.h"

#include <cstdio>

namespace platform {
namespace {

class StderrMessageBox : public IMessageBox {
 public:
  int Show(const std::string& text, const std::string& caption, unsigned flags) override {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    return (flags & 0x0F) == MbYesNo ? IdNo : IdOk;
  }
};

}  // namespace

IMessageBox& OwnerlessMessageBox() {
  static StderrMessageBox box;
  return box;
}

}  // namespace platform
