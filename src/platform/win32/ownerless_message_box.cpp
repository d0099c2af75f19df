#include "platform/ownerless_message_box.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace platform {
namespace {

class SystemMessageBox : public IMessageBox {
 public:
  int Show(const std::string& text, const std::string& caption, unsigned flags) override {
    return MessageBoxW(nullptr, win32::Widen(text).c_str(), win32::Widen(caption).c_str(), flags);
  }
};

}  // namespace

IMessageBox& OwnerlessMessageBox() {
  static SystemMessageBox box;
  return box;
}

}  // namespace platform
