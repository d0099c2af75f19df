#pragma once
#include <string>

namespace platform {

// Button and icon flags and answers, with the system's values.
enum : unsigned {
  MbOk = 0x0,
  MbYesNo = 0x4,
  MbIconError = 0x10,
  MbIconQuestion = 0x20,
  MbIconInformation = 0x40,
  MbDefaultButton2 = 0x100
};
enum : int { IdOk = 1, IdYes = 6, IdNo = 7 };

// A modal message box. Shown from whichever thread calls it; returns the
// button the user pressed.
class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  virtual int Show(const std::string& text, const std::string& caption, unsigned flags) = 0;
};

}  // namespace platform
