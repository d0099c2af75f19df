#include "platform/message_box.h"

#include <windows.h>

#include <memory>

#include "platform/win32/wide.h"

namespace platform::win32 {
namespace {

// Owner-less, so that a worker thread can show one while the window thread
// goes on.
class Win32MessageBox : public IMessageBox {
 public:
  int Show(const std::string& text, const std::string& caption, unsigned flags) override {
    return MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), flags);
  }
};

}  // namespace

std::unique_ptr<IMessageBox> CreateMessageBox() { return std::make_unique<Win32MessageBox>(); }

}  // namespace platform::win32
